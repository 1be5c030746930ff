#include "quillane/actor/MovementCtrl.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/math/Quaternion.h"
#include "base/math/VectorTools.h"
#include "base/system.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Geometry.h"
#include "graphics/mesh/Pose.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/actor/WalkSpeed.h"
#include "quillane/core/Event.h"
#include "quillane/world/WorldServices.h"

namespace quillane {

namespace {

float Wrapped(float angle) {
  base::WrapAngle(angle);
  return angle;
}

float FloorDistance(const tPoint& a, const tPoint& b) { return std::hypot(b.x - a.x, b.z - a.z); }

bool IsFinite(const tPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

}  // namespace

cl_MovementCtrl::~cl_MovementCtrl() { delete onDone; }

void cl_MovementCtrl::TakeOver(i_Event* next) {
  i_Event* previous = onDone;
  onDone = next;
  if (previous && previous != next) {
    previous->Execute();
    delete previous;
  }
}

void cl_MovementCtrl::Finish() {
  // Idle first: the callback may start the next walk on this very controller.
  state = STATE_IDLE;
  walkChannel.timer = 0.0f;
  i_Event* done = onDone;
  onDone = nullptr;
  if (done) {
    done->Execute();
    delete done;
  }
}

// ---- angles

void cl_MovementCtrl::AddAngle(float delta) {
  yaw = Wrapped(yaw + delta);
  targetYaw = Wrapped(targetYaw + delta);
}

void cl_MovementCtrl::StepAngle(float dt) {
  const float diff = targetYaw - yaw;
  const float step = std::min(std::fabs(diff), turnRate * dt);
  const float toward = diff >= 0.0f ? 1.0f : -1.0f;
  // Past half a turn the short way round is the other way.
  yaw = Wrapped(yaw + (std::fabs(diff) >= std::numbers::pi_v<float> ? -toward : toward) * step);
}

void cl_MovementCtrl::SetTargetYaw(float angle) { targetYaw = Wrapped(angle); }

base::Matrix4 cl_MovementCtrl::GetTransform() {
  base::Quaternion q;
  q.set_yaw_pitch_roll(yaw, 0.0f, 0.0f);
  locator.SetOrientation(q);
  base::Matrix4 scaling;
  scaling.scaling(scale, scale, scale);
  return scaling * locator.GetOrientationMatrix();
}

// ---- walking

void cl_MovementCtrl::WalkTo(const char* name, const tPoint& target, i_Event* onDone_) {
  turnRate = 2.0f * std::numbers::pi_v<float>;
  TakeOver(onDone_);
  if (!IsFinite(target)) {
    base::sys::Output("Warning: %s: walk target is not a number; the walk ends at once\n", name ? name : "");
    Finish();
    return;
  }
  tPointList obstacles;
  if (stageWorld) stageWorld->CollectObstacles(obstacles, name ? name : "");
  tPoint goal = target;
  if (!obstacles.empty()) AvoidObstacles(goal, obstacles);
  PlanPath(locator.GetPos(), tPoint(goal.x, 0.0f, goal.z), obstacles);
  if (state == STATE_IDLE) {
    walkChannel.timer = 0.0f;
    speedFraction = 0.0f;
    state = STATE_SPEEDING_UP;
  } else if (state != STATE_FULL_SPEED) {
    state = STATE_SPEEDING_UP;  // the fraction reached so far stays
  }
}

bool cl_MovementCtrl::PlanPath(const tPoint& from, const tPoint& to, const tPointList& obstacles) {
  tPointList path;
  if (!navMesh || !navMesh->FindPath(from, to, path, &obstacles)) {
    // An old path must not be resumed by a walk that found none.
    waypoints.clear();
    return false;
  }
  startPoint = from;
  waypoints = std::move(path);
  waypoints.insert(waypoints.begin(), from);
  return true;
}

void cl_MovementCtrl::AvoidObstacles(tPoint& target, const tPointList& obstacles) {
  base::tVector2<float> p(target.x, target.z);
  const tPoint& at = locator.GetPos();
  for (const tPoint& o : obstacles) {
    const base::tVector2<float> centre(o.x, o.y);
    const float radius = o.z;
    const base::tVector2<float> off = p - centre;
    const float d = off.length();
    if (!(d < radius)) continue;
    if (d >= 0.6f * radius) {
      p = centre + off * (radius / d);
      continue;
    }
    const base::tVector2<float> from(at.x, at.z);
    const base::Ray2 ray(from, (p - from).normal());
    float t1 = 0.0f, t2 = 0.0f;
    if (base::Circle2(centre, radius).IntersectRay(ray, t1, t2) >= 1) {
      p = ray.PointAt(t1);
    } else {
      base::sys::Output("WARNING: bad case of obstacle avoidance.\n");
    }
  }
  target.x = p.x;
  target.z = p.y;
}

float cl_MovementCtrl::GetRemainingPathLength(const tPoint& p) const {
  if (waypoints.empty()) return 0.0f;
  float length = FloorDistance(p, waypoints.front());
  for (size_t i = 1; i < waypoints.size(); ++i) length += FloorDistance(waypoints[i - 1], waypoints[i]);
  return length;
}

void cl_MovementCtrl::WalkFactors(float& speedMul, float& slide) const {
  const tPoint& at = locator.GetPos();
  const float walked = (at - startPoint).length() / 100.0f;
  const float remaining = GetRemainingPathLength(at) / 100.0f;
  const float total = walked + remaining;
  speedMul = EvaluateWalkSpeed(total);
  // The sliding correction fades in over the first 2 m and out over the last metre.
  float ramp = 1.0f;
  if (walked < 2.0f) ramp = walked * 0.5f;
  if (remaining < 1.0f && ramp > remaining) ramp = remaining;
  slide = 1.0f + (EvaluateWalkSliding(total) - 1.0f) * ramp;
}

void cl_MovementCtrl::FollowPath(float distance, float dt) {
  if (waypoints.empty()) return;
  while (distance > 0.0f) {
    tPoint at = locator.GetPos();
    while (waypoints.size() > 1 && FloorDistance(at, waypoints.front()) <= kWaypointReach)
      waypoints.erase(waypoints.begin());
    const tPoint w = waypoints.front();
    const float d = FloorDistance(at, w);
    // Facing for yaw h is (-sin h, -cos h) on the floor.
    const float heading = Wrapped(std::atan2(-(w.x - at.x), -(w.z - at.z)));
    float move;
    if (distance < d) {
      move = distance;
      distance = 0.0f;
      targetYaw = heading;
    } else if (waypoints.size() > 1) {
      move = d;
      distance -= d;
      if (d > 0.0f) targetYaw = heading;
    } else {
      move = d;
      distance = 0.0f;
    }
    if (move >= d) {
      // Land on the waypoint itself, not a rounding error away from it.
      at.x = w.x;
      at.z = w.z;
    } else {
      at.x -= move * std::sin(heading);
      at.z -= move * std::cos(heading);
    }
    locator.SetPos(at);
    StepAngle(dt);
  }
  GetTransform();
}

void cl_MovementCtrl::Update(i_AnimCharacter& character, float dt) {
  if (state == STATE_TURNING) {
    UpdateTurn(dt);
  } else if (state == STATE_SPEEDING_UP || state == STATE_FULL_SPEED || state == STATE_BRAKING) {
    UpdateWalk(character, dt);
  }
}

void cl_MovementCtrl::UpdateTurn(float dt) {
  // The last step is cut so that the turn ends at exactly its angle.
  const float t = std::min(dt / turnDuration, 1.0f - turnProgress);
  turnProgress += t;
  AddAngle(t * turnAngle);
  if (turnProgress >= 1.0f) Finish();
}

void cl_MovementCtrl::UpdateWalk(i_AnimCharacter& character, float dt) {
  if (state == STATE_BRAKING && !(speedFraction > 0.0f)) {
    // Stopped while standing (or turning): at rest at once.
    Finish();
    footsteps.step = 0;
    return;
  }
  const base::cl_Animation* clip = walkChannel.GetClip();
  const float length = walkChannel.GetClipLength();
  const float stride = clip ? (clip->repositioning * scale).length() : 0.0f;
  if (!(length > 0.0f) || !(stride > 0.0f)) {
    // Without a clip the walker could never move nor stop, and a script waiting on it would hang.
    base::sys::Output("Warning: %s cannot walk: %s; the walk ends at once\n", character.GetName(),
                      clip ? "its walk clip covers no distance" : "it has no walk clip");
    Finish();
    footsteps.step = 0;
    return;
  }
  float speedMul = 1.0f, slide = 1.0f;
  if (walkSpeedFactor == 1.0f) WalkFactors(speedMul, slide);
  const float step = dt * walkSpeedFactor * speedMul;
  float avg = speedFraction;
  if (state == STATE_SPEEDING_UP && speedFraction < 1.0f) {
    const float next = std::min(speedFraction + 3.0f * step, 1.0f);
    avg = (speedFraction + next) * 0.5f;
    speedFraction = next;
  }
  if (state == STATE_SPEEDING_UP && avg >= 1.0f) state = STATE_FULL_SPEED;
  const float brakeDistance = stride * 0.5f * speedFraction * kBrakeTime;
  if (brakeDistance > GetRemainingPathLength(locator.GetPos())) state = STATE_BRAKING;
  if (state == STATE_BRAKING) {
    const float next = std::max(speedFraction - step / kBrakeTime, 0.0f);
    avg = (speedFraction + next) * 0.5f;
    speedFraction = next;
    if (avg <= 0.0f) {
      Finish();
      footsteps.step = 0;
    }
  }
  const float advance = avg * step;
  FollowPath(stride * slide * advance / length, dt);
  walkChannel.Update(character, advance);
  const st_WorldServices& services = WorldServices();
  footsteps.Update(walkChannel, services.IsSkippingSequence && services.IsSkippingSequence());
}

// ---- turning in place

float cl_MovementCtrl::TurnBy(float angle, i_Event* onDone_) {
  float speed = turnSpeed;
  if (!(speed > 0.0f) || !std::isfinite(speed)) {
    base::sys::Output("Warning: turn speed %g is not usable; turning at speed 1.0\n", static_cast<double>(speed));
    speed = 1.0f;
  }
  const float f = std::clamp(std::fabs(angle) / (std::numbers::pi_v<float> * 0.5f), 0.0f, 1.0f);
  TakeOver(onDone_);
  state = STATE_TURNING;
  turnDuration = (0.75f + 0.25f * f) / speed;
  turnProgress = 0.0f;
  turnAngle = angle;
  base::sys::Output("Turn relative %.02f degrees\n", static_cast<double>(angle * 57.29578f));
  return turnDuration;
}

// ---- pose

void cl_MovementCtrl::ApplyMovementPose(i_AnimCharacter& character, base::cl_Pose& pose, base::cl_Pose& scratch) {
  if (state == STATE_TURNING) {
    const float d = turnDuration, e = turnProgress * d;
    // The clip fades in over the first quarter and out over the last 0.3 s.
    float w = 1.0f;
    if (e < 0.25f * d) {
      w = e / (0.25f * d);
    } else if (e > d - 0.3f) {
      w = (d - e) / 0.3f;
    }
    cl_ActorDesc* actor = character.GetActor();
    const base::cl_Animation* clip =
        actor ? (turnAngle >= 0.0f ? actor->GetTurnAroundCCW() : actor->GetTurnAroundCW()) : nullptr;
    if (!clip) return;
    const float a = std::min(std::fabs(turnAngle) / (2.0f * std::numbers::pi_v<float> / 3.0f), 1.0f) * w;
    scratch.SetSize(pose.GetNumBones());
    scratch.Set(clip, clip->length * turnProgress);
    scratch.SetWeights(a);
    pose.SetWeights(1.0f - a);
    pose.Blend(&pose, &scratch);
  } else if (state == STATE_SPEEDING_UP || state == STATE_FULL_SPEED || state == STATE_BRAKING) {
    walkChannel.bias = walkChannel.targetBias = std::min(speedFraction, 1.0f);
    walkChannel.ApplyOverlay(pose, scratch);
  }
}

}  // namespace quillane
