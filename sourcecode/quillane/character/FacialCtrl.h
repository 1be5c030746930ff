// cl_FacialCtrl: everything that moves a character's face on top of its body animation: the
// gaze, the emotes, the lip-sync track and a looping idle clip for the eyes. A stage character
// owns one when its actor has a "facials" subset; the character viewer makes one from an actor
// alone (no gaze then). Main thread only.
#pragma once

#include "base/math/Vector.h"
#include "base/String.h"
#include "graphics/mesh/Pose.h"

namespace base {
class Binary;
class cl_Animation;
struct cl_SkeletonSubset;
}  // namespace base

namespace quillane {

class cl_ActorDesc;
class cl_EmoteCtrl;
class cl_GazeCtrl;
class cl_LipsyncCtrl;
class i_FaceOwner;

class cl_FacialCtrl {
 public:
  static constexpr float kIdleEyeSpeed = 1.6f;

  explicit cl_FacialCtrl(i_FaceOwner* character);  // the stage form, with gaze
  explicit cl_FacialCtrl(cl_ActorDesc* actor);     // the viewer form, without gaze
  ~cl_FacialCtrl();
  cl_FacialCtrl(const cl_FacialCtrl&) = delete;
  cl_FacialCtrl& operator=(const cl_FacialCtrl&) = delete;

  // Makes the parts that the character and actor allow.
  void Init();
  // Deletes the parts; the controller then does nothing.
  void Release();
  // Advances gaze, emotes, lip-sync and the idle eye clip.
  void Update(float dt);
  // Adds mouth, gaze, emotes and idle eyes to pose, in that order.
  void ApplyPose(base::cl_Pose& pose);
  // The face's own drawing step; nothing is drawn today.
  void Render(int pass);

  void PlayExpression(const base::tString<base::BaseString>& name, float weight, float fadeTime, float delay);
  void SetLookTarget(const base::tString<base::BaseString>& name, float weight);  // head ("Gaze")
  void SetEyeTarget(const base::tString<base::BaseString>& name, float weight);   // eyes ("Look")
  void SetGazeOffset(float x, float y);
  void StartLipsync(const base::Binary& data);
  void StartLipsyncFromFile(const base::tString<base::BaseString>& path);
  void StopLipsync();
  // One line of gaze and look weights at cursor, which then moves down a line.
  void DrawDebug(base::tVector2<float>& cursor);

  cl_GazeCtrl* gaze = nullptr;        // owned; null in the viewer form
  cl_EmoteCtrl* emotes = nullptr;     // owned
  cl_LipsyncCtrl* lipsync = nullptr;  // owned
  i_FaceOwner* character = nullptr;
  cl_ActorDesc* actor = nullptr;
  float idleTime = 0.0f;
  base::cl_Animation* idleClip = nullptr;
  base::cl_SkeletonSubset* idleSubset = nullptr;

 private:
  base::cl_Pose m_idlePose;  // kept so that posing allocates nothing per frame
};

}  // namespace quillane
