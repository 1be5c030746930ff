#include "quillane/character/Character.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include "base/math/VectorTools.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/Texture.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/FacialCtrl.h"
#include "quillane/core/Event.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/world/WorldServices.h"

namespace quillane {

namespace {

constexpr float kRayHeight = 1000.0f;   // floor rays start this far above the character
constexpr float kMoveEpsilon = 0.0001f;  // smaller moves keep the height
constexpr float kHeadProbe = 20.0f;      // head and spine directions: this far along the bone's z

bool IsAction(const st_GameAction* action, const char* actionName) {
  const char* name = action && WorldServices().GetActionName ? WorldServices().GetActionName(action) : nullptr;
  return name && std::strcmp(name, actionName) == 0;
}

// Widens rect to the pixels of the floor square of half-side radius around at, seen through the
// camera (a pixel more each way, for rounding); false when a corner is not in front of the eye.
// In front of it, the drawn square lies within its corners' projected hull.
bool WidenBySpot(const base::cl_Camera& camera, const tPoint& at, float radius, base::tRectf& rect) {
  for (const float dx : {-radius, radius})
    for (const float dz : {-radius, radius}) {
      const tPoint corner = at + tPoint(dx, 0.0f, dz);
      if (!(camera.GetZDistance(corner) < 0.0f)) return false;
      const tPoint screen = camera.World2Screen(corner);
      rect.extend(base::tVector2<float>(screen.x - 1.0f, screen.y - 1.0f));
      rect.extend(base::tVector2<float>(screen.x + 1.0f, screen.y + 1.0f));
    }
  return true;
}

}  // namespace

bool cl_Character::s_debugDisplay = false;
cl_Character::tPoseTrace cl_Character::s_poseTrace = nullptr;

cl_Character::cl_Character() { properties.set_element("Properties"); }

cl_Character::~cl_Character() { Destroy(); }

void cl_Character::Destroy() {
  if (facial) facial->Release();
  delete facial;
  facial = nullptr;
  attachments.clear();
  // Whoever waits on this character's walk is gone with the stage: the callback is not run.
  delete onDone;
  onDone = nullptr;
  waypoints.clear();
  state = STATE_IDLE;
  actionState = ACTION_NONE;
  special.m_pAnimation = nullptr;
  special.done = 1;
  special.SetBoneCount(0);
  pendingAction = nullptr;
  actor = nullptr;
  pose.SetSize(0);
  m_scratch.SetSize(0);
}

// ---- set-up

void cl_Character::SetActor(cl_ActorDesc* actorDesc, i_NavMesh* mesh) {
  actor = actorDesc;
  base::cl_Skeleton* skeleton = actor ? actor->GetSkeleton() : nullptr;
  const int bones = skeleton ? skeleton->GetNumBones() : 0;
  pose.SetSize(bones);
  m_scratch.SetSize(bones);
  special.SetBoneCount(bones);
  if (facial) facial->Release();
  delete facial;
  facial = nullptr;
  if (actor && actor->FindSubset("facials")) facial = new cl_FacialCtrl(static_cast<i_FaceOwner*>(this));
  navMesh = mesh;
  actionState = ACTION_NONE;
  SetDefaultAnimation("walk", "walk");
  SetDefaultAnimation("idle", "idle");
  SetDefaultAnimation("talk", "talk");
  neutralChannel.crossFade = idleChannel.crossFade = talkChannel.crossFade = 1;
  idleChannel.bias = idleChannel.targetBias = 1.0f;
  turnSpeed = GetAnimationSpeed("turnaround_ccw");
}

void cl_Character::SetDefaultAnimation(const char* category, const char* animName, bool fade) {
  const std::string c = category ? category : "";
  if (c == "walk") {
    walkChannel.Play(*this, animName, fade);
  } else if (c == "talk") {
    talkChannel.Play(*this, animName, fade);
  } else if (c == "idle") {
    if (idleChannel.Play(*this, animName, fade)) idleChannel.RandomizeTimer();
  } else if (c == "neutral") {
    neutralChannel.Play(*this, animName, fade);
  } else {
    base::sys::Output("default animation category %s does not exist: try either 'idle' or 'walk'\n", c.c_str());
  }
}

void cl_Character::SetAnimationSpeed(const char* animName, float factor) {
  const base::tString<base::BaseString> key(animName ? animName : "");
  animSpeeds[key] = factor;
  if (key == "walk") walkSpeedFactor = factor;
}

float cl_Character::GetAnimationSpeed(const char* animName) const {
  const auto it = animSpeeds.find(base::tString<base::BaseString>(animName ? animName : ""));
  return it == animSpeeds.end() ? 1.0f : it->second;
}

bool cl_Character::FloorHeight(const tPoint& p, float& height) const {
  tPoint hit;
  if (!navMesh || !navMesh->PickRay(p + tPoint(0.0f, kRayHeight, 0.0f), tPoint(0.0f, -1.0f, 0.0f), hit)) return false;
  height = hit.y;
  return true;
}

void cl_Character::SetPosition(const base::cl_Locator& at, const tPoint& offset) {
  locator.SetOrientation(at.GetOrientation());
  locator.SetPos(at.GetPos());
  yaw = at.GetYawAngle();
  targetYaw = yaw;
  base::WrapAngle(targetYaw);
  if (offset.x != 0.0f || offset.y != 0.0f || offset.z != 0.0f) {
    locator.MoveForward(-offset.z);
    locator.MoveRight(-offset.x);
    locator.MoveUp(offset.y);
  }
  i_NavMesh* found = stageWorld ? stageWorld->FindNavMeshAt(locator.GetPos()) : nullptr;
  if (found && found != navMesh) {
    navMesh = found;
    if (Debug_ScriptWarningLevel > 1) base::sys::Output("%s has been beamed to other navmesh\n", name.c_str());
  }
  float height = 0.0f;
  if (FloorHeight(locator.GetPos(), height)) {
    tPoint p = locator.GetPos();
    p.y = height;
    locator.SetPos(p);
  }
}

void cl_Character::SetPosition(const tPoint& position, const tPoint& rotation) {
  base::cl_Locator at;
  at.SetPos(position);
  at.TurnUp(rotation.x);
  at.TurnRight(-rotation.y);
  at.TiltClockwise(-rotation.z);
  SetPosition(at);
}

// ---- actions and properties

void cl_Character::PlaySpecialAnimation(base::cl_Animation* clip, float speed, float blendIn, float blendOut) {
  actionState = ACTION_SPECIAL;
  special.Start(clip, speed, blendIn, blendOut);
}

void cl_Character::StartSpeaking(st_GameAction* action) {
  if (!(actionState == ACTION_SPECIAL && IsAction(pendingAction, "play_animation"))) pendingAction = action;
  if (!IsAction(action, "speak")) return;
  talkChannel.targetBias = 1.0f;
  talkChannel.biasSpeed = 1.0f;
  if (!(talkChannel.bias > 0.0f)) talkChannel.timer = 0.0f;  // the talk clip starts from its beginning
}

void cl_Character::StopSpeaking(const st_GameAction* line) {
  const bool speaking = IsAction(pendingAction, "speak");
  if (line && pendingAction != line && speaking) return;
  if (speaking || line) {
    StopLipsync();
    talkChannel.targetBias = 0.0f;
    talkChannel.biasSpeed = 1.0f;
  }
  if (!line || pendingAction == line) pendingAction = nullptr;
}

void cl_Character::StartLipsync(const base::Binary& data) {
  if (facial) facial->StartLipsync(data);
}
void cl_Character::StopLipsync() {
  if (facial) facial->StopLipsync();
}
void cl_Character::SetEyeTarget(const base::tString<base::BaseString>& target, float weight) {
  if (facial) facial->SetEyeTarget(target, weight);
}
void cl_Character::SetLookTarget(const base::tString<base::BaseString>& target, float weight) {
  if (facial) facial->SetLookTarget(target, weight);
}
void cl_Character::UpdateControllers(float dt) {
  if (facial) facial->Update(dt);
}

bool cl_Character::IsIgnored() const {
  int v = 0;
  return properties.get_attribute_int("ignore", v) && v == 1;
}
void cl_Character::SetIgnored(bool ignored) { properties.attribute("ignore")->set_int(ignored ? 1 : 0); }
bool cl_Character::HasAvoidance() const {
  int v = 1;
  properties.get_attribute_int("avoidance", v);
  return v == 1;
}
void cl_Character::SetAvoidance(bool avoidance) { properties.attribute("avoidance")->set_int(avoidance ? 1 : 0); }
void cl_Character::SetPropertyFloat(const char* property, float value) {
  if (base::Variant* v = properties.attribute(property)) v->set_float(value);
}
bool cl_Character::GetPropertyFloat(const char* property, float& out) const {
  return properties.get_attribute_float(property, out);
}
float cl_Character::GetAvoidanceRadius() const {
  return stageWorld ? stageWorld->GetAvoidanceRadius() : i_StageWorld::kDefaultAvoidanceRadius;
}

// ---- the frame

bool cl_Character::IsQuiet() const {
  if (actionState != ACTION_NONE || state != STATE_IDLE || talkChannel.bias > 0.0f) return false;
  st_WorldServices& world = WorldServices();
  if (!world.IsDialogActive || !world.IsDialogActive()) return true;
  const char* partner = world.GetDialogPartner ? world.GetDialogPartner() : nullptr;
  return !(name == "Quillane" || (partner && name == partner));
}

void cl_Character::Update(float dt) {
  const tPoint before = GetPosition();
  tPoint flat = before;
  flat.y = 0.0f;
  locator.SetPos(flat);

  if (FunStuff_Slapstick) {
    if (state != STATE_IDLE)
      dt *= 4.0f;
    else if (actionState != ACTION_NONE)
      dt *= 2.0f;
  }

  timerDelay -= dt;
  if (timerDelay < 0.0f) {
    float next = 0.0f;
    const en_TimerCall call = stageWorld ? stageWorld->CallCharacterTimer(name.c_str(), next) : en_TimerCall::NONE;
    if (call == en_TimerCall::RUNNING) {
      // Asked again next frame: the script's result sets the delay once it has ended.
      timerDelay = 0.0f;
    } else {
      timerDelay = call == en_TimerCall::DONE ? next : 0.0f;
      // No timer function, or one that asks for no further call: wait a day.
      if (!(timerDelay > 0.0f) || !std::isfinite(timerDelay)) timerDelay = kNoTimer;
    }
  }

  talkChannel.Update(*this, FunStuff_Slapstick ? dt * 1.4f : dt);
  idleChannel.Update(*this, dt * (actor ? actor->idleSpeed : 1.0f));

  const bool quiet = IsQuiet();
  if (quiet)
    quietTime += dt;
  else
    quietTime = 0.0f;
  if (quietTime > kQuietNeutral) {
    neutralChannel.targetBias = 0.0f;
    neutralChannel.biasSpeed = 1.0f;
  } else if (!quiet) {
    neutralChannel.targetBias = 1.0f;
    neutralChannel.biasSpeed = 1.5f;
  }
  if (neutralChannel.GetAnimName().size() > 0) neutralChannel.Update(*this, dt);

  StepAngle(dt);

  if (actionState == ACTION_SPECIAL && special.Advance(dt)) {
    actionState = ACTION_NONE;
    if (special.blendOut == 0.0f) idleChannel.timer = 0.0f;
    if (IsAction(pendingAction, "play_animation")) {
      if (WorldServices().FinishAction) WorldServices().FinishAction(pendingAction);
      pendingAction = nullptr;
    }
  }

  if (state != STATE_IDLE) cl_MovementCtrl::Update(*this, dt);

  // Back to the real height; a walker follows the floor, by at most the distance walked.
  tPoint p = GetPosition();
  p.y = before.y;
  const tPoint moved = p - before;
  if (std::sqrt(moved.x * moved.x + moved.y * moved.y + moved.z * moved.z) > kMoveEpsilon) {
    float height = 0.0f;
    if (FloorHeight(p, height)) {
      const float h = std::sqrt(moved.x * moved.x + moved.z * moved.z);
      p.y += std::clamp(height - p.y, -h, h);
    }
  }
  locator.SetPos(p);

  if (facial) facial->Update(dt);
}

void cl_Character::UpdatePose(base::cl_Pose& target) {
  base::cl_Skeleton* skeleton = actor ? actor->GetSkeleton() : nullptr;
  if (!skeleton) return;
  const int bones = skeleton->GetNumBones();
  m_scratch.SetSize(bones);
  target.SetSize(bones);
  auto trace = [&](const char* step) {
    if (s_poseTrace) s_poseTrace(step, target);
  };
  idleChannel.ApplyBase(target);
  trace("idle");
  if (neutralChannel.GetAnimName().size() > 0) {
    neutralChannel.ApplyOverlay(target, m_scratch);
    trace("neutral");
  }
  talkChannel.ApplyOverlay(target, m_scratch);
  trace("talk");
  if (actionState == ACTION_SPECIAL) {
    special.AffectPose(target);
    trace("special");
  }
  ApplyMovementPose(*this, target, m_scratch);
  trace("movement");
  target.SetWeights(1.0f);
  trace("weights");
  if (facial) {
    facial->ApplyPose(target);
    trace("face");
  }

  const float b = FunStuff_BigHeadMode;
  if (b != 1.0f) {
    const float wrist = 1.0f + (b - 1.0f) * 0.5f;
    const struct {
      const char* bone;
      float s;
    } scaled[] = {{"Game_Head", b}, {"Game_Wrist_r", wrist}, {"Game_Wrist_l", wrist}};
    for (const auto& e : scaled) {
      const int i = skeleton->GetBoneIndex(e.bone);
      if (i > 0 && i < target.GetNumBones()) target[i].scale = {e.s, e.s, e.s};
    }
    trace("bighead");
  }
}

// ---- drawing

base::Matrix4 cl_Character::ModelMatrix() { return cl_ActorDesc::DefaultOrientation() * GetTransform(); }

void cl_Character::Render(base::cl_Camera* camera) {
  if (!visible || hidden || !actor) return;
  if (s_debugDisplay) {
    const uint32_t blue = 0xFF0000FFu;
    const float r = GetAvoidanceRadius() * 0.5f;
    const tPoint c = GetPosition();
    auto corner = [&](float a) { return c + tPoint(std::sin(a) * r, 0.0f, std::cos(a) * r); };
    const tPoint a = corner(yaw), b = corner(yaw + 150.0f * std::numbers::pi_v<float> / 180.0f), d = corner(yaw + 210.0f * std::numbers::pi_v<float> / 180.0f);
    for (int k = 0; k < 32; ++k)
      gfx::DrawLine3D(corner(2.0f * std::numbers::pi_v<float> * static_cast<float>(k) / 32.0f),
                      corner(2.0f * std::numbers::pi_v<float> * static_cast<float>(k + 1) / 32.0f), blue);
    gfx::DrawLine3D(a, b, blue);
    gfx::DrawLine3D(b, d, blue);
    gfx::DrawLine3D(d, a, blue);
  }
  base::cl_Skeleton* skeleton = actor->GetSkeleton();
  if (skeleton) skeleton->SetPose(&pose);
  actor->RenderModel(GetTransform(), camera);
  if (facial) facial->Render(0);
  RenderAttachments(camera);
  PublishHeadSpineAndFace();
}

void cl_Character::PublishHeadSpineAndFace() {
  base::cl_Skeleton* skeleton = actor ? actor->GetSkeleton() : nullptr;
  if (!skeleton) return;
  const base::Matrix4 world = ModelMatrix();
  for (const char* boneName : {"Game_Head", "Game_Spine_C"}) {
    const base::cl_Bone* bone = skeleton->GetBone(boneName);
    if (!bone) continue;
    const tPoint zAxis(bone->absRotation.m[8], bone->absRotation.m[9], bone->absRotation.m[10]);
    const tPoint from = world * (bone->skinMatrix * bone->absPosition);
    const tPoint to = world * (bone->skinMatrix * (bone->absPosition + zAxis * kHeadProbe));
    tPoint dir = to - from;
    const float length = std::sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
    if (length > 0.0f) dir *= 1.0f / length;
    if (bone->name == "Game_Head") {
      headPosition = from;
      headDirection = dir;
    } else {
      spineDirection = dir;
    }
  }
  // Where the face is on show: a spoken line's box keeps off it.
  const base::cl_Bone* brow = skeleton->GetBone("Game_Brow_l");
  const base::cl_Bone* lip = skeleton->GetBone("Game_Lip_low");
  m_faceDrawn = brow && lip;
  if (!m_faceDrawn) return;
  m_drawnBrow = world * (brow->skinMatrix * brow->absPosition);
  m_drawnLip = world * (lip->skinMatrix * lip->absPosition);
}

bool cl_Character::GetDrawnFace(tPoint& brow, tPoint& lip) const {
  if (!m_faceDrawn) return false;
  brow = m_drawnBrow, lip = m_drawnLip;
  return true;
}

void cl_Character::RenderMirror(base::cl_Camera* camera) {
  if (!visible || hidden || !actor) return;
  if (base::cl_Skeleton* skeleton = actor->GetSkeleton()) skeleton->SetPose(&pose);
  base::Matrix4 mirror;
  mirror.scaling(1.0f, -1.0f, 1.0f);
  actor->RenderModel(GetTransform() * mirror, camera);
}

void cl_Character::RenderProjectedShadow(float a, float b, const tPoint& pivot, uint32_t colour,
                                         base::cl_Camera* camera) {
  if (!visible || hidden || !actor) return;
  if (base::cl_Skeleton* skeleton = actor->GetSkeleton()) skeleton->SetPose(&pose);
  base::Matrix4 flatten;
  gfx::MakeFlattenMatrix(flatten, a, b, pivot);
  const uint32_t oldFactor = gfx::GetTextureFactor();
  const bool oldConstant = gfx::IsModelConstantColor();
  gfx::SetTextureFactor(colour);
  gfx::SetModelConstantColor(true);
  gfx::SetCullNone(true, false);
  actor->RenderModel(GetTransform() * flatten, camera);
  gfx::SetCullNone(false, true);
  gfx::SetModelConstantColor(oldConstant);
  gfx::SetTextureFactor(oldFactor);
}

bool cl_Character::RenderBlobShadow(const base::cl_Camera* camera, base::tRectf* drawn) {
  base::cl_Skeleton* skeleton = actor ? actor->GetSkeleton() : nullptr;
  gfx::cl_Texture* blob = gfx::TextureExists("blobb");
  if (!visible || hidden || !skeleton || !blob) return true;
  gfx::SetTexture(0, blob);
  gfx::SetBlendAlpha(true);  // a soft spot: only its alpha darkens the floor
  // The spots overlap in one plane: with depth writes the later ones would fight the earlier.
  gfx::EnableZWrite(false);
  const base::Matrix4 world = ModelMatrix();
  bool bounded = true;
  const struct {
    const char* bone;
    float radius;
  } spots[] = {{"Game_Hip", 55.0f}, {"Game_Ankle_l", 38.0f}, {"Game_Ankle_r", 38.0f}};
  for (const auto& s : spots) {
    const base::cl_Bone* bone = skeleton->GetBone(s.bone);
    if (!bone) continue;
    // On the floor under the bone: a spot at the hip's own height would cut through the figure.
    tPoint at = world * (bone->skinMatrix * bone->absPosition);
    at.y = GetPosition().y;
    gfx::DrawQuad3D(at, tPoint(s.radius, 0.0f, 0.0f), tPoint(0.0f, 0.0f, s.radius));
    if (camera && drawn) bounded = bounded && WidenBySpot(*camera, at, s.radius, *drawn);
  }
  gfx::EnableZWrite(true);
  return bounded;
}

void cl_Character::RenderAttachments(base::cl_Camera* camera) {
  base::cl_Skeleton* skeleton = actor ? actor->GetSkeleton() : nullptr;
  for (const st_Attachment& a : attachments) {
    const base::cl_Bone* bone =
        skeleton && a.boneIndex >= 0 && a.boneIndex < skeleton->GetNumBones() ? skeleton->GetBoneByIndex(a.boneIndex)
                                                                               : nullptr;
    if (!bone) {
      base::sys::Output("ERROR: cl_Character::RenderAttachments(). Bone index %d not found\n", a.boneIndex);
      continue;
    }
    base::Matrix4 world;
    world.scaling(a.scale, a.scale, a.scale);
    world.translate(bone->absPosition);
    world = world * bone->absRotation * bone->skinMatrix * GetTransform();
    // RenderModel puts the figures' orientation in front itself.
    actor->RenderModel(world, camera);
  }
}

void cl_Character::RenderDebugInfo(base::tVector2<float>& cursor) {
  if (gfx::cl_Font* system = gfx::FontExists("system")) gfx::SetFont(system);
  idleChannel.DrawDebug(cursor, "Idle");
  neutralChannel.DrawDebug(cursor, "Neutral");
  talkChannel.DrawDebug(cursor, "Talk");
  if (facial) facial->DrawDebug(cursor);
}

}  // namespace quillane
