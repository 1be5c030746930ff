// cl_FootstepCtrl: the two footstep sounds of every walk cycle. Each cycle draws the moments of
// both steps (a phase of the walk clip, jittered by ±5 % of the cycle) and their volumes (±0.15),
// then plays them on the sound "walk" of the channel "PLAYER" as the walk clip's timer passes them.
// Main thread only.
#pragma once

#include "base/String.h"
#include "sound/SoundTypes.h"

namespace quillane {

class cl_AnimChannel;

class cl_FootstepCtrl {
 public:
  // How a step reaches the sound layer; sfx::PlaySound unless a test records the calls.
  using tSoundPlayer = float (*)(int kind, const char* file, const char* sound, const char* channel,
                                 const sfx::st_PlayParams& params);
  static void SetSoundPlayer(tSoundPlayer player);  // null: sfx::PlaySound again

  struct st_Step {
    base::tString<base::BaseString> sound;  // the file; empty: the step is not heard
    float phase;                            // fraction of the cycle
    float volume;
  };

  // Sound, phase and volume of the first step, then of the second.
  void SetStepSounds(const char* sound1, float phase1, float level1, const char* sound2, float phase2,
                     float level2);
  // Plays the steps the walk clip's timer has passed this cycle; silent while a sequence is
  // skipped (the steps still count).
  void Update(const cl_AnimChannel& walkChannel, bool silent);

  int step = -1;  // -1 before the first cycle, 0 and 1: that step pending, 2: both played
  float time1 = 0.0f, time2 = 0.0f;  // seconds into the walk clip
  float volume1 = 0.0f, volume2 = 0.0f;
  st_Step steps[2] = {{"", 0.15f, 0.0f}, {"", 0.65f, 0.0f}};

 private:
  static void Play(const st_Step& entry, float volume);
};

}  // namespace quillane
