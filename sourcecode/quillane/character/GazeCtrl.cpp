#include "quillane/character/GazeCtrl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/world/WorldServices.h"

namespace quillane {

namespace {
constexpr float kEyeRate = 8.0f;     // eye angles follow at this rate per second
constexpr float kHeadTurn = 2.0f;    // head yaw moves at most this much per second
constexpr float kWeightRate = 2.0f;  // gaze and look weights follow at this rate per second
constexpr float kHeroineFactor = 0.5f;  // the heroine draws the eye from twice as far
constexpr float kAimDrop = 15.0f;    // the eyes aim this far below the other's head position

// A missing clip leaves its scratch pose as a fresh one (identity at weight 1).
void Clear(base::cl_Pose& pose) {
  for (int i = 0; i < pose.GetNumBones(); ++i) pose[i] = base::cl_Pose::st_BonePose{};
}

// The session's answers; without a session: no dialogue.
bool IsDialogActive() { return WorldServices().IsDialogActive && WorldServices().IsDialogActive(); }
const char* DialogPartner() {
  const char* partner = WorldServices().GetDialogPartner ? WorldServices().GetDialogPartner() : nullptr;
  return partner ? partner : "";
}

bool IsHeroine(const i_FaceOwner* c) { return std::strcmp(c->GetName(), "Quillane") == 0; }

}  // namespace

cl_GazeCtrl::cl_GazeCtrl(i_FaceOwner* ownerCharacter) : owner(ownerCharacter) {
  cl_ActorDesc* actor = owner ? owner->GetActor() : nullptr;
  if (!actor) return;
  const base::tString<base::BaseString>& parent = actor->parent;
  m_posable = parent == "male" || parent == "female" || parent == "quillane";
  m_eyesLeft = actor->FindAnimation("eyes_left");
  m_eyesRight = actor->FindAnimation("eyes_right");
  m_eyesUp = actor->FindAnimation("eyes_up");
  m_eyesDown = actor->FindAnimation("eyes_down");
  m_lookLeft = actor->FindAnimation("look_left");
  m_lookRight = actor->FindAnimation("look_right");
  m_eyes = actor->FindSubset("eyes");
  m_looking = actor->FindSubset("looking");
  base::cl_Skeleton* skeleton = actor->GetSkeleton();
  const int n = skeleton ? skeleton->GetNumBones() : 0;
  m_p1.SetSize(n);
  m_p2.SetSize(n);
}

float cl_GazeCtrl::Angle2D(float a, float b) {
  const float length = std::sqrt(a * a + b * b);
  if (!(length > 0.0f)) return 0.0f;
  const float angle = std::acos(std::clamp(b / length, -1.0f, 1.0f));
  return a > 0.0f ? angle : -angle;
}

float cl_GazeCtrl::SideFraction(float aimAngle, float facingAngle) {
  float d = aimAngle - facingAngle;
  if (d > std::numbers::pi_v<float>) d -= 2.0f * std::numbers::pi_v<float>;
  if (d <= -std::numbers::pi_v<float>) d += 2.0f * std::numbers::pi_v<float>;
  const float yaw = -d / kSideAngle;
  if (std::fabs(yaw) > kMaxSide) return 0.0f;
  return std::clamp(yaw, -1.0f, 1.0f);
}

void cl_GazeCtrl::Update(float dt) {
  eyeYaw += kEyeRate * dt * (eyeYawTarget - eyeYaw);
  eyePitch += kEyeRate * dt * (eyePitchTarget - eyePitch);
  const float step = kHeadTurn * dt;
  const float d = headYawTarget - headYaw;
  headYaw = std::fabs(d) <= step ? headYawTarget : headYaw + (d > 0.0f ? step : -step);
  target = ChooseTarget();
  headWeight += kWeightRate * dt * (headWeightTarget - headWeight);
  eyeWeight += kWeightRate * dt * (eyeWeightTarget - eyeWeight);
}

i_FaceOwner* cl_GazeCtrl::ChooseTarget() {
  // Only the characters of the owner's own stage: a stage shown beside another never sees
  // the other's people.
  const i_StageWorld* stage = owner ? owner->GetStageWorld() : nullptr;
  if (!stage) return nullptr;
  if (!(targetName == "auto")) return stage->GetCharacter(targetName.c_str());

  if (IsDialogActive()) {
    const char* partner = DialogPartner();
    i_FaceOwner* candidate = nullptr;
    if (IsHeroine(owner))
      candidate = stage->GetCharacter(partner);
    else if (std::strcmp(owner->GetName(), partner) == 0)
      candidate = stage->GetCharacter("Quillane");
    if (candidate) return candidate;
  }

  // The nearest character in front of the head; the first in the stage's list on a tie.
  std::vector<i_FaceOwner*>& characters = m_candidates;
  characters.clear();
  stage->GetStageCharacters(characters);
  base::tVector3<float> facing = owner->GetHeadDirection();
  const float fl = std::sqrt(facing.x * facing.x + facing.y * facing.y + facing.z * facing.z);
  if (fl > 0.0f) facing *= 1.0f / fl;
  const base::tVector3<float> from = owner->GetGroundPosition();
  i_FaceOwner* best = nullptr;
  float bestDistance = 0.0f;
  for (i_FaceOwner* c : characters) {
    if (!c || c == owner) continue;
    const base::tVector3<float> d = c->GetGroundPosition() - from;
    if (d.x * facing.x + d.y * facing.y + d.z * facing.z < 0.0f) continue;
    float distance = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (IsHeroine(c)) distance *= kHeroineFactor;
    if (!best || distance < bestDistance) best = c, bestDistance = distance;
  }
  return best;
}

void cl_GazeCtrl::UpdatePose(base::cl_Pose& pose) {
  if (!m_posable || !owner) return;
  const base::tVector3<float> head = owner->GetHeadPosition();
  const base::tVector3<float> dir = owner->GetHeadDirection();
  if (target) {
    const base::tVector3<float> side{-dir.z, 0.0f, dir.x};
    const base::tVector3<float> aim = target->GetHeadPosition() - base::tVector3<float>{0.0f, kAimDrop, 0.0f} +
                                      side * offsetX + base::tVector3<float>{0.0f, offsetY, 0.0f};
    const base::tVector3<float> v = aim - head;
    eyeYawTarget = SideFraction(Angle2D(v.x, v.z), Angle2D(dir.x, dir.z));
    const float pitch = (Angle2D(std::sqrt(v.x * v.x + v.z * v.z), v.y) -
                         Angle2D(std::sqrt(dir.x * dir.x + dir.z * dir.z), dir.y)) /
                        std::numbers::pi_v<float> * 12.0f;
    eyePitchTarget = std::isfinite(pitch) ? std::clamp(pitch, -1.0f, 1.0f) : 0.0f;
  }

  // Without an "eyes" subset the eye turn has no bones to act on, so it is left out.
  if (eyeWeight > 0.0f && m_eyes) {
    Clear(m_p1);
    Clear(m_p2);
    if (base::cl_Animation* side = eyeYaw < 0.0f ? m_eyesLeft : m_eyesRight)
      side->_SetPose(&m_p1, std::fabs(eyeYaw) * 0.039f);
    if (base::cl_Animation* up = eyePitch < 0.0f ? m_eyesUp : m_eyesDown) up->_SetPose(&m_p2, 0.03f);
    m_p1.Add(&m_p2, m_eyes, std::fabs(eyePitch));
    pose.Blend(&m_p1, m_eyes, eyeWeight);
  }

  if (target) {
    const base::tVector3<float> to = target->GetHeadPosition() - head;
    const base::tVector3<float> spine = owner->GetSpineDirection();
    headYawTarget = SideFraction(Angle2D(to.x, to.z), Angle2D(spine.x, spine.z));
  }
  if (headWeight > 0.0f) {
    Clear(m_p1);
    if (base::cl_Animation* look = headYaw < 0.0f ? m_lookLeft : m_lookRight)
      look->_SetPose(&m_p1, std::fabs(headYaw));
    pose.Add(&m_p1, m_looking, headWeight);
  }
}

}  // namespace quillane
