// The viewer's clip player.
#include "quillane/editor/ViewerAnimCtrl.h"

#include <numbers>

#include "base/math/Matrix4.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/model/Model.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/FacialCtrl.h"

namespace quillane {

namespace {

// One clock for every viewer: the overlay stays in step however many controls exist.
float g_lipsyncClock = 0.0f;

constexpr float kTurnPerPlay = 2.0f * std::numbers::pi_v<float> / 3.0f;  // 120° per turnaround
constexpr float kModelScale = 2.0f;
constexpr float kCrossHalf = 3.0f;
constexpr uint32_t kRootCross = 0xFFFFFFFFu;
constexpr uint32_t kChildCross = 0xFFFF0000u;
constexpr uint32_t kBoneLine = 0xFFFFFF00u;

void DrawCross(const base::tVector3<float>& centre, uint32_t colour) {
  const base::tVector3<float> axes[] = {{kCrossHalf, 0, 0}, {0, kCrossHalf, 0}, {0, 0, kCrossHalf}};
  for (const base::tVector3<float>& a : axes) gfx::DrawLine3D(centre - a, centre + a, colour);
}

bool NameIs(const base::cl_Animation* clip, const char* name) { return clip->name == name; }

}  // namespace

float cl_CharacterViewerAnimCtrl::GetLipsyncClock() { return g_lipsyncClock; }
void cl_CharacterViewerAnimCtrl::SetLipsyncClock(float t) { g_lipsyncClock = t; }

cl_CharacterViewerAnimCtrl::cl_CharacterViewerAnimCtrl() = default;

cl_CharacterViewerAnimCtrl::~cl_CharacterViewerAnimCtrl() { delete m_facial; }

base::cl_Skeleton* cl_CharacterViewerAnimCtrl::Skeleton() const { return m_actor ? m_actor->GetSkeleton() : nullptr; }

void cl_CharacterViewerAnimCtrl::SetActor(cl_ActorDesc* actor, base::tVector3<float> position) {
  m_actor = actor;
  m_position = position;
  delete m_facial;
  m_facial = nullptr;
  if (actor && actor->FindSubset("facials")) m_facial = new cl_FacialCtrl(actor);
}

void cl_CharacterViewerAnimCtrl::PushFadeOut(float duration) {
  if (!m_clip || m_blendTime < 0.01f) return;
  m_fadeOuts.push_back(std::make_unique<st_FadeOut>(st_FadeOut{m_clip, m_time, 0.0f, duration}));
}

void cl_CharacterViewerAnimCtrl::PlayIdle(bool fade) {
  if (!m_actor) return;
  if (fade) PushFadeOut(m_blendTime);
  m_mode = MODE_IDLE;
  m_clip = m_actor->GetIdleAnimation();
  m_time = 0.0f;
}

void cl_CharacterViewerAnimCtrl::PlayWalk() {
  if (!m_actor) return;
  PushFadeOut(m_blendTime);
  m_mode = MODE_WALK;
  m_clip = m_actor->GetWalkAnimation();
  m_time = 0.0f;
}

void cl_CharacterViewerAnimCtrl::Play(const char* name, int mode) {
  if (!m_actor) return;
  PushFadeOut(m_blendTime);
  m_mode = mode;
  m_clip = m_actor->GetAnimation(name);
  m_time = 0.0f;
}

void cl_CharacterViewerAnimCtrl::PlayOnce(const char* name) { Play(name, MODE_ONCE); }
void cl_CharacterViewerAnimCtrl::PlayLoop(const char* name) { Play(name, MODE_LOOP); }

void cl_CharacterViewerAnimCtrl::Update(float dt) {
  g_lipsyncClock += dt;
  if (g_lipsyncClock > kLipsyncClockWrap) g_lipsyncClock -= kLipsyncClockWrap;

  for (auto it = m_fadeOuts.begin(); it != m_fadeOuts.end();) {
    st_FadeOut& f = **it;
    f.elapsed += dt;
    f.time += dt;
    if (f.clip->length <= f.time) f.time -= f.clip->length;
    it = f.duration <= f.elapsed ? m_fadeOuts.erase(it) : std::next(it);
  }
  if (!m_actor) return;

  if (m_applyRootMotion && m_clip) m_position -= m_clip->repositioning * (2.0f * dt);
  if (m_mode == MODE_IDLE) m_clip = m_actor->GetIdleAnimation();
  if (m_mode == MODE_WALK) m_clip = m_actor->GetWalkAnimation();

  if (m_clip && m_clip->length > 0.0f) {
    if (NameIs(m_clip, "turnaround_cw")) m_yaw -= dt / m_clip->length * kTurnPerPlay;
    if (NameIs(m_clip, "turnaround_ccw")) m_yaw += dt / m_clip->length * kTurnPerPlay;
  }
  m_time += dt;
  if (m_clip && m_clip->length <= m_time) {
    m_time -= m_clip->length;
    if (m_mode == MODE_ONCE) {
      m_mode = MODE_IDLE;
      m_clip = m_actor->GetIdleAnimation();
      m_time = 0.0f;
    }
  }
  if (m_facial) m_facial->Update(dt);
}

void cl_CharacterViewerAnimCtrl::ComputePose(base::cl_Pose& pose) {
  base::cl_Skeleton* skeleton = Skeleton();
  if (!m_clip || !skeleton) return;
  const int n = skeleton->GetNumBones();
  pose.Set(m_clip, m_time);
  for (const auto& f : m_fadeOuts) {
    m_scratch.SetSize(n);
    m_scratch.Set(f->clip, f->time);
    const float t = f->duration > 0.0f ? f->elapsed / f->duration : 1.0f;
    // Fading from the old clip (t = 0) to what the pose holds so far (t = 1).
    pose.Blend(&m_scratch, &pose, t);
  }
  pose.SetWeights(1.0f);

  if (base::sys::KeyState('G')) {
    if (base::cl_Animation* clip = m_actor->FindAnimation("female_lipsynch_dummy")) {
      base::cl_SkeletonSubset subset;
      for (int bone : kLipsyncBones)
        if (bone < n) subset.Set(bone, 1.0f);
      m_scratch.SetSize(n);
      m_scratch.Set(clip, g_lipsyncClock);
      pose.Blend(&m_scratch, &subset, 1.0f);
    }
  }
  if (m_facial) m_facial->ApplyPose(pose);
}

base::cl_Skeleton* cl_CharacterViewerAnimCtrl::PoseSkeleton() {
  base::cl_Skeleton* skeleton = Skeleton();
  if (!skeleton) return nullptr;
  m_pose.SetSize(skeleton->GetNumBones());
  ComputePose(m_pose);
  skeleton->SetPose(&m_pose);
  return skeleton;
}

void cl_CharacterViewerAnimCtrl::RenderModel(base::cl_Camera* camera) {
  if (!PoseSkeleton()) return;
  base::cl_Locator locator;
  locator.SetPos(m_position);
  locator.TurnRight(m_yaw);
  const base::Matrix4 place = locator.GetOrientationMatrix();
  base::Matrix4 world;
  world.scaling(kModelScale, kModelScale, kModelScale);
  gfx::SetFilterLinear();
  m_actor->RenderModel(world * place, camera);
  if (gfx::cl_Model* axis = gfx::ModelExists("axis")) gfx::DrawModel(axis, place);
}

void cl_CharacterViewerAnimCtrl::RenderSkeleton(base::cl_Camera* camera) {
  base::cl_Skeleton* skeleton = PoseSkeleton();
  if (!skeleton) return;
  for (int i = 0; i < skeleton->GetNumBones(); ++i)
    if ((*skeleton)[i].parent == -1) DrawBone(camera, skeleton, i, {0, 0, 0}, 0);
}

void cl_CharacterViewerAnimCtrl::DrawBone(base::cl_Camera* camera, base::cl_Skeleton* skeleton, int index,
                                          const base::tVector3<float>& from, int depth) {
  const base::cl_Bone& bone = (*skeleton)[index];
  const base::tVector3<float> p = bone.skinMatrix * bone.absPosition;
  if (depth <= 1) DrawCross({p.x, 0.0f, p.z}, depth == 0 ? kRootCross : kChildCross);
  gfx::DrawLine3D(from, p, kBoneLine);
  // The record's hierarchy check bounds the depth, so the recursion ends.
  for (int child : bone.children)
    if (child >= 0 && child < skeleton->GetNumBones()) DrawBone(camera, skeleton, child, p, depth + 1);
}

void cl_CharacterViewerAnimCtrl::StartLipsyncFromFile(const base::tString<base::BaseString>& path) {
  if (m_facial) m_facial->StartLipsyncFromFile(path);
}

}  // namespace quillane
