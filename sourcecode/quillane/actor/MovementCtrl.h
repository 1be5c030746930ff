// cl_MovementCtrl: the walking and turning half of a character. It plans a path on the
// character's nav mesh around the other characters, walks it with a speed that ramps up and
// down, drives the walk channel so the feet match the ground speed, turns toward the path, turns
// in place with the turnaround clips, and plays the footsteps. A walk's or turn's completion
// callback (an i_Event) is taken over, executed once and deleted. Main thread only.
#pragma once

#include <numbers>

#include "base/math/Matrix4.h"
#include "graphics/Camera.h"
#include "quillane/actor/AnimChannel.h"
#include "quillane/actor/FootstepCtrl.h"
#include "quillane/world/NavMesh.h"
#include "quillane/world/StageWorld.h"

class i_Event;

namespace base {
class cl_Pose;
}

namespace quillane {

class cl_MovementCtrl {
 public:
  enum en_State { STATE_IDLE = 0, STATE_SPEEDING_UP = 1, STATE_FULL_SPEED = 2, STATE_BRAKING = 3, STATE_TURNING = 5 };
  static constexpr float kWaypointReach = 20.0f;  // closer waypoints count as reached
  static constexpr float kBrakeTime = 0.33f;      // step time from full speed to rest

  cl_MovementCtrl() = default;
  virtual ~cl_MovementCtrl();  // a pending callback is deleted unrun
  cl_MovementCtrl(const cl_MovementCtrl&) = delete;
  cl_MovementCtrl& operator=(const cl_MovementCtrl&) = delete;

  // Walks to target (y ignored) around the obstacles of the characters other than name. onDone
  // runs when the walker comes to rest; a callback still pending runs now.
  void WalkTo(const char* name, const tPoint& target, i_Event* done);
  void WalkTo(const char* name, const tPoint& target, i_Event* done, int) { WalkTo(name, target, done); }
  void WalkTo(const char* name, float x, float y, float z, i_Event* done, int) {
    WalkTo(name, tPoint(x, y, z), done);
  }
  void Stop() { state = STATE_BRAKING; }  // brakes from the current speed
  void Stop(i_AnimCharacter&) { Stop(); }
  // Turns in place by angle (radians, positive counter-clockwise); the turn's duration.
  float TurnBy(float angle, i_Event* done);
  // The facing turns toward angle at turnRate, frame by frame.
  void SetTargetYaw(float angle);
  void SetYaw(float angle) { SetTargetYaw(angle); }
  void SetPositionRaw(float x, float y, float z) { locator.SetPos(tPoint(x, y, z)); }
  // Runs and deletes the pending callback; idle, walk clip at its start.
  void Finish();
  // Facing yaw, then the position, with the uniform scale applied in model space.
  base::Matrix4 GetTransform();
  // Floor distance from p to the next waypoint plus the rest of the path; 0 without one.
  float GetRemainingPathLength(const tPoint& p) const;
  // The per-frame state machine: a turn in place, or one step of the walk.
  void Update(i_AnimCharacter& character, float dt);
  // Lays the turnaround clip (turning) or the walk channel (walking) over pose.
  void ApplyMovementPose(i_AnimCharacter& character, base::cl_Pose& pose, base::cl_Pose& scratch);

  // ---- steps of the above (public for the character and the tests)
  void AddAngle(float delta);  // to yaw and targetYaw, both wrapped
  void StepAngle(float dt);    // yaw toward targetYaw by at most turnRate × dt
  // A path from from to to on the nav mesh; on failure no waypoints are left.
  bool PlanPath(const tPoint& from, const tPoint& to, const tPointList& obstacles);
  // Moves target out of obstacle circles: to the rim from the outer 40 %, else to where the line
  // from the walker enters the circle.
  void AvoidObstacles(tPoint& target, const tPointList& obstacles);
  // The walk-speed curve's factor and the sliding correction for the walk in progress.
  void WalkFactors(float& speedMul, float& slide) const;
  void FollowPath(float distance, float dt);

  const tPoint& GetPosition() const { return locator.GetPos(); }

  float scale = 1.0f;
  tPoint startPoint;
  tPointList waypoints;  // front: the next target
  i_NavMesh* navMesh = nullptr;
  // The stage the character stands on (its obstacles, faces and floor); not owned; null for one
  // standing alone, who has nobody to walk around.
  const i_StageWorld* stageWorld = nullptr;
  float yaw = 0.0f, targetYaw = 0.0f;
  float turnRate = 2.0f * std::numbers::pi_v<float>;
  base::cl_Locator locator;
  cl_FootstepCtrl footsteps;
  cl_AnimChannel walkChannel;
  i_Event* onDone = nullptr;  // owned
  float turnProgress = 0.0f, turnAngle = 0.0f, turnDuration = 0.0f;
  int state = STATE_IDLE;
  float speedFraction = 0.0f;
  float walkSpeedFactor = 1.0f;
  float turnSpeed = 1.0f;

 private:
  // Replaces the callback; a different one still pending is run and deleted first, so whoever
  // waits on it goes on.
  void TakeOver(i_Event* next);
  void UpdateTurn(float dt);
  void UpdateWalk(i_AnimCharacter& character, float dt);
};

}  // namespace quillane
