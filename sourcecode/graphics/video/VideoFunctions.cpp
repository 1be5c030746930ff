#include "graphics/video/VideoFunctions.h"

#include "base/system.h"
#include "graphics/video/VideoPlayer.h"
#include "win32dx9/Platform.h"

namespace gfx {

float PlayVideoFullscreen(const base::tString<base::BaseString>& file, float volume) {
  cl_VideoPlayer* player = GetVideoPlayer();
  if (!player) return -1.0f;
  return player->Play(file.c_str(), win32dx9::GetMainWindow(), 0.0f, 0.0f,
                      static_cast<float>(base::sys::GetWindowWidth()),
                      static_cast<float>(base::sys::GetWindowHeight()), volume);
}

void PauseVideo(bool pause) {
  if (cl_VideoPlayer* player = GetVideoPlayer()) player->Pause(pause);
}

void StopVideo() {
  if (cl_VideoPlayer* player = GetVideoPlayer()) player->Stop();
}

bool IsVideoPlaying() {
  cl_VideoPlayer* player = GetVideoPlayer();
  return player && player->IsPlaying();
}

float GetVideoTime() {
  cl_VideoPlayer* player = GetVideoPlayer();
  return player ? player->GetTime() : -1.0f;
}

}  // namespace gfx
