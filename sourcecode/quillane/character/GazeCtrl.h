// cl_GazeCtrl: where a character's eyes and head point. Each frame it picks another character of
// the stage to look at (a named one, the dialogue partner, or the nearest in front), turns the
// eyes toward that character's head and, by a script-set weight, the head as well. Works on the
// head and spine directions the characters publish when they are drawn. Main thread only.
#pragma once

#include <vector>

#include "base/math/Vector.h"
#include "base/String.h"
#include "graphics/mesh/Pose.h"
#include "quillane/actor/AnimChannel.h"
#include "quillane/world/StageWorld.h"

namespace base {
class cl_Animation;
struct cl_SkeletonSubset;
}  // namespace base

namespace quillane {

// What a stage character shows of itself to the faces of the others.
class i_FaceOwner : public i_AnimCharacter {
 public:
  // The ground position of the character's walker.
  virtual base::tVector3<float> GetGroundPosition() const = 0;
  // World-space head position and unit directions along the head and the upper spine, as last drawn.
  virtual base::tVector3<float> GetHeadPosition() const = 0;
  virtual base::tVector3<float> GetHeadDirection() const = 0;
  virtual base::tVector3<float> GetSpineDirection() const = 0;
  // The stage whose characters the gaze may meet; null: off any stage, the gaze meets nobody.
  virtual const i_StageWorld* GetStageWorld() const { return nullptr; }
};

class cl_GazeCtrl {
 public:
  static constexpr float kSideAngle = 1.0367256f;  // 59.4°: a yaw of 1.0
  static constexpr float kMaxSide = 0.8f;          // beyond this the eyes and head re-centre

  explicit cl_GazeCtrl(i_FaceOwner* owner);
  cl_GazeCtrl(const cl_GazeCtrl&) = delete;
  cl_GazeCtrl& operator=(const cl_GazeCtrl&) = delete;

  // Smooths the eye and head angles and weights toward their targets and picks the target.
  void Update(float dt);
  // The character to look at now, or null.
  i_FaceOwner* ChooseTarget();
  // Aims at the target and adds the eye and head turns to pose (only for figures derived from
  // the base actors, which carry the eye and look clips).
  void UpdatePose(base::cl_Pose& pose);

  // Angle of (a, b) against the b axis, negative for a <= 0; 0 for a zero vector.
  static float Angle2D(float a, float b);
  // A side turn of the aim against the facing, as a fraction of kSideAngle; 0 past kMaxSide.
  static float SideFraction(float aimAngle, float facingAngle);

  float headWeightTarget = 0.0f, headWeight = 0.0f;
  float eyeWeightTarget = 1.0f, eyeWeight = 1.0f;
  float eyeYawTarget = 0.0f, eyePitchTarget = 0.0f;
  float eyeYaw = 0.0f, eyePitch = 0.0f;
  float offsetX = 0.0f, offsetY = 0.0f;
  base::tString<base::BaseString> targetName{"auto"};
  float headYaw = 0.0f, headYawTarget = 0.0f;
  i_FaceOwner* owner = nullptr;
  i_FaceOwner* target = nullptr;

 private:
  bool m_posable = false;  // the actor derives from "male", "female" or "quillane"
  base::cl_Animation *m_eyesLeft = nullptr, *m_eyesRight = nullptr, *m_eyesUp = nullptr, *m_eyesDown = nullptr;
  base::cl_Animation *m_lookLeft = nullptr, *m_lookRight = nullptr;
  base::cl_SkeletonSubset *m_eyes = nullptr, *m_looking = nullptr;
  base::cl_Pose m_p1, m_p2;  // kept so that posing allocates nothing per frame
  std::vector<i_FaceOwner*> m_candidates;  // the stage's list, kept for the same reason
};

}  // namespace quillane
