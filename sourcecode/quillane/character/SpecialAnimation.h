// st_SpecialAnimationCtrl: a character's one-shot clip ("wave", "pick up") laid over its body
// animation, with an optional lead-in or fade-in before and a hold or fade-out after.
// Main thread only.
#pragma once

#include "graphics/mesh/Pose.h"

namespace base {
class cl_Animation;
}

namespace quillane {

struct st_SpecialAnimationCtrl {
  // Starts clip. A speed that is not a positive number counts as 1.0 (logged), so the clip ends.
  // A negative blendIn is a lead-in; a negative blendOut holds the last frame that long.
  void Start(base::cl_Animation* clip, float playSpeed, float in, float out);
  // Advances the clock; true once, in the call that passes the clip's end (holds included).
  bool Advance(float dt);
  // Lays the clip over pose, blended by the lead-in, fade-in, hold or fade-out in progress.
  void AffectPose(base::cl_Pose& pose);
  // Sizes the scratch pose (the character's bone count), so posing allocates nothing.
  void SetBoneCount(int n) { m_scratch.SetSize(n); }

  base::cl_Animation* m_pAnimation = nullptr;
  unsigned char done = 1;
  float timer = 0.0f;
  float speed = 1.0f;
  float blendIn = 0.0f;
  float blendOut = 0.0f;

 private:
  // pose := the weighted blend of pose (weight 1 − w) and the clip at time (weight w).
  void BlendClip(base::cl_Pose& pose, float time, float w);
  base::cl_Pose m_scratch;
};

}  // namespace quillane
