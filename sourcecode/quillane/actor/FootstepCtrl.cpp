#include "quillane/actor/FootstepCtrl.h"

#include "base/math/Random.h"
#include "quillane/actor/AnimChannel.h"
#include "sound/Sfx.h"

namespace quillane {

namespace {

cl_FootstepCtrl::tSoundPlayer& Player() {
  static cl_FootstepCtrl::tSoundPlayer player = &sfx::PlaySound;
  return player;
}

// A draw in [0, range] from the engine's 15-bit generator.
float Jitter(float range) { return base::Random() * range; }

}  // namespace

void cl_FootstepCtrl::SetSoundPlayer(tSoundPlayer player) { Player() = player ? player : &sfx::PlaySound; }

void cl_FootstepCtrl::SetStepSounds(const char* sound1, float phase1, float level1, const char* sound2, float phase2,
                                    float level2) {
  steps[0] = {sound1, phase1, level1};
  steps[1] = {sound2, phase2, level2};
}

void cl_FootstepCtrl::Play(const st_Step& entry, float volume) {
  if (entry.sound.empty()) return;
  sfx::st_PlayParams params;
  params.volume = volume;
  params.pan = 1.0f;
  params.loop = false;
  params.ignoreFx = true;
  Player()(sfx::PLAY_SAMPLE, entry.sound.c_str(), "walk", "PLAYER", params);
}

void cl_FootstepCtrl::Update(const cl_AnimChannel& walkChannel, bool silent) {
  const float timer = walkChannel.timer, length = walkChannel.GetClipLength();
  // A new cycle once both steps sounded and the clip has wrapped.
  if (step == -1 || (step == 2 && time2 > timer)) {
    step = 0;
    time1 = (Jitter(0.1f) - 0.05f + steps[0].phase) * length;
    time2 = (Jitter(0.1f) - 0.05f + steps[1].phase) * length;
    volume1 = Jitter(0.3f) - 0.15f + steps[0].volume;
    volume2 = Jitter(0.3f) - 0.15f + steps[1].volume;
  }
  if (step == 0 && timer >= time1) {
    if (!silent) Play(steps[0], volume1);
    step = 1;
  } else if (step == 1 && timer > time2) {
    if (!silent) Play(steps[1], volume2);
    step = 2;
  }
}

}  // namespace quillane
