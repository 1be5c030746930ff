// The game's calls on the one video player (the intro, the credits): full-screen play, pause,
// stop and the time that subtitles follow; they belong with the immediate drawing helpers of
// graphics/draw/Draw.h. Without a player they do nothing and return false or -1.0.
#pragma once

#include "base/String.h"

namespace gfx {

// The length in seconds, or -1.0 without a player or for a file that cannot be played.
float PlayVideoFullscreen(const base::tString<base::BaseString>& file, float volume);
void PauseVideo(bool pause);
void StopVideo();
bool IsVideoPlaying();
float GetVideoTime();

}  // namespace gfx
