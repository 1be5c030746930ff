#include "quillane/showcase/ShowcaseSound.h"

#include "base/app/ICMD.h"
#include "sound/FModSoundSystem.h"
#include "sound/Sfx.h"

namespace {

constexpr const char* kTracks[] = {"msx/office.ogg", "msx/quay.ogg", "msx/theme_mainmenu.ogg",
                                   "msx/theme_traintravel.ogg"};
constexpr const char* kClick = "sfx/ui/click.ogg";
constexpr float kMusicVolume = 0.6f;

}  // namespace

cl_ShowcaseSound::cl_ShowcaseSound() { SetName("ShowcaseSound"); }

bool cl_ShowcaseSound::StartUp() {
  if (sfx::GetSoundSystem()) {
    for (const char* track : kTracks) sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, track, "MUSIC", kMusicVolume);
    sfx::SetStreamPlaylistTimes(sfx::PLAY_STREAM, 2.0f, 4.0f, "MUSIC");
  }
  return cl_Module::StartUp();
}

bool cl_ShowcaseSound::ShutDown() {
  if (sfx::GetSoundSystem()) sfx::ClearStreamPlaylist(sfx::PLAY_STREAM, "MUSIC", true, 1.0f);
  return cl_Module::ShutDown();
}

bool cl_ShowcaseSound::ProcessInput(base::ICMD& cmd) {
  const bool press = cmd.type == base::ICMD::LEFT_DOWN || cmd.type == base::ICMD::RIGHT_DOWN ||
                     cmd.type == base::ICMD::MIDDLE_DOWN;
  if (press && IsActive() && sfx::GetSoundSystem()) {
    sfx::PlaySound(sfx::PLAY_SAMPLE, kClick, "Showcase_Click", "GUI", sfx::st_PlayParams());
  }
  return false;
}
