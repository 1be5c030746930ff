// cl_CharacterViewerAnimCtrl: the character viewer's clip player. It holds the previewed actor,
// plays one clip at a time (idle, walk, once or looped), fades replaced clips out over the blend
// time, turns the figure while a turnaround clip plays, can move it by root motion, overlays the
// lip-sync test clip while G is held, drives the actor's facial controller, and draws the posed
// model or its skeleton as lines. Without an actor or a skeleton it does nothing.
#pragma once

#include <list>
#include <memory>

#include "base/String.h"
#include "base/math/Vector.h"
#include "graphics/mesh/Pose.h"

namespace base {
class cl_Animation;
class cl_Camera;
class cl_Skeleton;
}  // namespace base

namespace quillane {

class cl_ActorDesc;
class cl_FacialCtrl;

// A replaced clip still playing while it fades out.
struct st_FadeOut {
  base::cl_Animation* clip = nullptr;
  float time = 0.0f;     // the clip's own playing position
  float elapsed = 0.0f;  // seconds since the fade began
  float duration = 0.0f;
};

class cl_CharacterViewerAnimCtrl {
 public:
  // Play modes (ORDER VIEWERMODE).
  enum en_Mode : int { MODE_IDLE = 0, MODE_WALK = 1, MODE_ONCE = 2, MODE_LOOP = 3 };
  static constexpr float kLipsyncClockWrap = 6.25f;  // seconds
  static constexpr int kLipsyncBones[] = {9, 10, 11, 14, 15};

  cl_CharacterViewerAnimCtrl();
  ~cl_CharacterViewerAnimCtrl();
  cl_CharacterViewerAnimCtrl(const cl_CharacterViewerAnimCtrl&) = delete;
  cl_CharacterViewerAnimCtrl& operator=(const cl_CharacterViewerAnimCtrl&) = delete;

  // The actor and its place; a new facial controller when the actor has a "facials" subset.
  // Mode, clip, time and fade-outs stay (whoever destroys an actor record clears them first).
  void SetActor(cl_ActorDesc* actor, base::tVector3<float> position);
  // Starts a fade-out of the current clip when there is one and the blend time is at least 0.01.
  void PushFadeOut(float duration);
  void PlayIdle(bool fade);
  void PlayWalk();
  void PlayOnce(const char* name);  // a missing clip plays idle (the actor logs the miss)
  void PlayLoop(const char* name);
  // Advances the lip-sync clock, the fade-outs, root motion, turnarounds, the clip and the face.
  void Update(float dt);
  // The current pose into pose (sized by the caller to the skeleton); untouched without a clip.
  void ComputePose(base::cl_Pose& pose);
  void RenderModel(base::cl_Camera* camera);
  void RenderSkeleton(base::cl_Camera* camera);
  // Lip-sync from a phoneme text file, when the actor has a face.
  void StartLipsyncFromFile(const base::tString<base::BaseString>& path);

  // The process-wide lip-sync test clock, shared by every instance.
  static float GetLipsyncClock();
  static void SetLipsyncClock(float t);

  unsigned char m_applyRootMotion = 0;
  cl_ActorDesc* m_actor = nullptr;  // not owned
  base::tVector3<float> m_position;
  float m_yaw = 0.0f;
  int m_mode = MODE_IDLE;
  base::cl_Animation* m_clip = nullptr;  // not owned
  float m_time = 0.0f;
  float m_blendTime = 0.33f;
  std::list<std::unique_ptr<st_FadeOut>> m_fadeOuts;  // oldest first
  cl_FacialCtrl* m_facial = nullptr;                  // owned

 private:
  void Play(const char* name, int mode);
  base::cl_Skeleton* Skeleton() const;
  // The pose of the skeleton's size, computed and applied to the skeleton; null without one.
  base::cl_Skeleton* PoseSkeleton();
  void DrawBone(base::cl_Camera* camera, base::cl_Skeleton* skeleton, int bone, const base::tVector3<float>& from,
                int depth);

  // Kept so that a frame allocates nothing once the sizes are reached.
  base::cl_Pose m_pose;
  base::cl_Pose m_scratch;
};

}  // namespace quillane
