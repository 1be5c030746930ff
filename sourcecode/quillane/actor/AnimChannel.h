// cl_AnimChannel: one looping layer of a character's body animation: a clip with its own timer,
// a layer weight ("bias") that moves toward a target at a set speed, a 1/3 s cross-fade from the
// previous clip, and the choice of the next clip at every wrap. A clip is named directly ("walk")
// or by a script function (a name ending in "()") that the channel asks at every wrap.
// Main thread only.
#pragma once

#include "base/math/Vector.h"
#include "base/String.h"

namespace base {
class cl_Animation;
class cl_Pose;
}  // namespace base

namespace quillane {

class cl_ActorDesc;

// What the animation code needs of the character it animates.
class i_AnimCharacter {
 public:
  virtual ~i_AnimCharacter() = default;
  virtual cl_ActorDesc* GetActor() const = 0;  // null before an actor is set
  virtual const char* GetName() const = 0;     // the name its dialog script is filed under
};

class cl_AnimChannel {
 public:
  static constexpr float kFadeTime = 1.0f / 3.0f;  // seconds a cross-fade lasts

  cl_AnimChannel() = default;  // "idle", no clip
  ~cl_AnimChannel();
  cl_AnimChannel(const cl_AnimChannel&) = delete;
  cl_AnimChannel& operator=(const cl_AnimChannel&) = delete;

  // Plays name ("" for none; "f()" asks the script function f): true when a clip results. A
  // fade from the current clip starts when fade and crossFade are set and the channel has been
  // updated before. The timer is kept.
  bool Play(i_AnimCharacter& character, const char* name, bool fade);
  // Function mode: the clip the script function names (the current one when it names none).
  // Otherwise the current clip, which loops.
  base::cl_Animation* ChooseNext(i_AnimCharacter& character);
  // Advances the fade, the bias and the timer; at a wrap the next clip is chosen.
  void Update(i_AnimCharacter& character, float dt);

  // Samples the clip into pose (nothing without one), then lays the fading clip over it.
  void ApplyBase(base::cl_Pose& pose);
  // With a bias above 0 and a clip: pose := blend of pose and the clip by bias.
  void ApplyOverlay(base::cl_Pose& pose, base::cl_Pose& scratch);
  // While a fade runs (and the no-fade key is not held): the fading clip over pose by its weight.
  void ApplyBlendFrom(base::cl_Pose& pose);

  base::cl_Animation* GetClip() const { return clip; }
  float GetClipLength() const;  // 0 without a clip
  bool IsFading() const { return blendFromClip != nullptr; }
  const base::tString<base::BaseString>& GetAnimName() const { return animName; }
  void RandomizeTimer();  // timer := a random point of the clip
  // "Label: bias=… anim='…' timer=…" at position (and the fade's line); position moves down.
  void DrawDebug(base::tVector2<float>& position, const char* label);

  // Fields the owners set directly.
  unsigned char crossFade = 0;
  float timer = 0.0f;
  float speed = 1.0f;  // kept for the owners; the channel does not read it
  float bias = 0.0f;
  float targetBias = 0.0f;
  float biasSpeed = 1.0f;

 private:
  base::cl_Animation* blendFromClip = nullptr;
  float blendFromTimer = 0.0f;
  float blendFromWeight = 0.0f;
  base::tString<base::BaseString> animName{"idle"};
  base::tString<base::BaseString> request;
  base::cl_Animation* clip = nullptr;
  unsigned char isFunction = 0;
  unsigned char fresh = 1;
  // Scratch pose of the fade, kept instead of made per frame (same results).
  base::cl_Pose* m_fadePose = nullptr;

};

}  // namespace quillane
