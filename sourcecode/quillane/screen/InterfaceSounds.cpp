#include "quillane/screen/InterfaceSounds.h"

#include <cstdio>
#include <initializer_list>

#include "graphics/video/VideoFunctions.h"
#include "sound/Sfx.h"

namespace {

int g_mouseOverCounter = 0;

void PlayInterfaceSound(const char* file, const char* name) {
  if (gfx::IsVideoPlaying()) return;  // the video has the sound to itself
  PlayInterfaceSample(file, name, "GUI", 1.0f, false);
}

}  // namespace

void PlayInterfaceSample(const char* file, const char* name, const char* channel, float volume, bool ignoreFx) {
  sfx::st_PlayParams params;
  params.volume = volume;
  params.pan = 1.0f;
  params.loop = false;
  params.ignoreFx = ignoreFx;
  sfx::PlaySound(sfx::PLAY_SAMPLE, file, name, channel, params);
}

void PlayClickSound() { PlayInterfaceSound("sfx/UI/UI_confirm.ogg", "buttonclick"); }

void PlayErrorSound() { PlayInterfaceSound("sfx/UI/UI_error.ogg", "error"); }

void PlayMouseOverSound() {
  if (gfx::IsVideoPlaying()) return;  // the counter waits too
  char name[32];
  std::snprintf(name, sizeof name, "mouseover_%i", g_mouseOverCounter);
  PlayInterfaceSound("sfx/UI/UI_mouseover.ogg", name);
  if (++g_mouseOverCounter > kMaxMouseOverCounter) g_mouseOverCounter = 0;
}

int GetMouseOverCounter() { return g_mouseOverCounter; }

void FadeOutAllSoundGroups() {
  // ORDER GROUPS: the channels in the order the game has always stopped them.
  for (const char* channel : {"MUSIC", "PLAYER", "SPEECH", "AMBIENT", "AMBIENT2"}) sfx::StopChannel(channel, 0.5f);
  sfx::SetPlaylistVolume(0, 0.0f);
}
