#include "quillane/character/SpecialAnimation.h"

#include <cmath>

#include "base/system.h"
#include "graphics/mesh/Animation.h"

namespace quillane {

namespace {

float Finite(float v) { return std::isfinite(v) ? v : 0.0f; }

}  // namespace

void st_SpecialAnimationCtrl::Start(base::cl_Animation* clip, float playSpeed, float in, float out) {
  // A clip at speed 0 would never end, and the action waiting for it would never finish.
  if (!(playSpeed > 0.0f) || !std::isfinite(playSpeed)) {
    base::sys::Output("Warning: special animation %s: speed %g is not a positive number; playing at 1.0\n",
                      clip ? clip->name.c_str() : "(none)", static_cast<double>(playSpeed));
    playSpeed = 1.0f;
  }
  m_pAnimation = clip;
  done = 0;
  blendIn = Finite(in);
  blendOut = Finite(out);
  timer = blendIn < 0.0f ? blendIn : 0.0f;
  speed = playSpeed;
}

bool st_SpecialAnimationCtrl::Advance(float dt) {
  timer += dt;
  float end = (m_pAnimation ? m_pAnimation->length : 0.0f) / speed;
  if (blendOut < 0.0f) end += -blendOut;
  if (done || !(timer > end)) return false;
  done = 1;
  return true;
}

void st_SpecialAnimationCtrl::BlendClip(base::cl_Pose& pose, float time, float w) {
  w = std::fmin(std::fmax(w, 0.0f), 1.0f);
  if (m_scratch.GetNumBones() < pose.GetNumBones()) m_scratch.SetSize(pose.GetNumBones());
  m_pAnimation->_SetPose(&m_scratch, time);
  m_scratch.SetWeights(w);
  pose.SetWeights(1.0f - w);
  pose.Blend(&pose, &m_scratch);
}

void st_SpecialAnimationCtrl::AffectPose(base::cl_Pose& pose) {
  if (!m_pAnimation) {
    base::sys::Output("WARNING: void st_SpecialAnimationCtrl::AffectPose(cl_Pose& Pose); m_pAnimation==0;\n");
    return;
  }
  const float len = m_pAnimation->length / speed;
  if (blendIn < 0.0f && timer < 0.0f) {
    BlendClip(pose, 0.0f, 1.0f - timer / blendIn);  // lead-in
  } else if (blendIn > 0.0f && timer < blendIn) {
    BlendClip(pose, timer * speed, timer / blendIn);  // fade in
  } else if (blendOut < 0.0f && timer >= len) {
    // Just inside the clip: sampling wraps, so the length itself would show the first frame.
    const float last = std::nextafter(m_pAnimation->length, 0.0f);
    BlendClip(pose, last > 0.0f ? last : 0.0f, 1.0f - (timer - len) / -blendOut);  // hold the last frame
  } else if (blendOut > 0.0f && timer + blendOut > len) {
    BlendClip(pose, timer * speed, (len - timer) / blendOut);  // fade out
  } else {
    m_pAnimation->_SetPose(&pose, timer * speed);
  }
}

}  // namespace quillane
