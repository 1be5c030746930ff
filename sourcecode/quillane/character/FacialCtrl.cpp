#include "quillane/character/FacialCtrl.h"

#include <cstdio>

#include "graphics/draw/Draw.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/EmoteCtrl.h"
#include "quillane/character/GazeCtrl.h"
#include "quillane/character/LipsyncCtrl.h"

namespace quillane {

cl_FacialCtrl::cl_FacialCtrl(i_FaceOwner* owner)
    : character(owner), actor(owner ? owner->GetActor() : nullptr) {
  Init();
}

cl_FacialCtrl::cl_FacialCtrl(cl_ActorDesc* actorDesc) : actor(actorDesc) { Init(); }

cl_FacialCtrl::~cl_FacialCtrl() { Release(); }

void cl_FacialCtrl::Init() {
  if (character) gaze = new cl_GazeCtrl(character);
  if (!actor) return;
  emotes = new cl_EmoteCtrl(actor);
  lipsync = new cl_LipsyncCtrl(actor);
  idleClip = actor->GetAnimation("eyes_idle");
  idleSubset = actor->FindSubset("eyes");
  base::cl_Skeleton* skeleton = actor->GetSkeleton();
  m_idlePose.SetSize(skeleton ? skeleton->GetNumBones() : 0);
}

void cl_FacialCtrl::Release() {
  delete gaze;
  delete emotes;
  delete lipsync;
  gaze = nullptr;
  emotes = nullptr;
  lipsync = nullptr;
}

void cl_FacialCtrl::Update(float dt) {
  if (gaze) gaze->Update(dt);
  if (emotes) emotes->Update(dt);
  if (lipsync) lipsync->Update(dt);
  if (idleClip) {
    idleTime += dt * kIdleEyeSpeed;
    if (idleTime >= idleClip->length) idleTime -= idleClip->length;
  }
}

void cl_FacialCtrl::ApplyPose(base::cl_Pose& pose) {
  if (lipsync) lipsync->ApplyPose(pose);
  if (gaze) gaze->UpdatePose(pose);
  if (emotes) emotes->ApplyPose(pose);
  if (idleClip && idleSubset) {
    idleClip->_SetPose(&m_idlePose, idleTime);
    pose.Add(&m_idlePose, idleSubset, 1.0f);
  }
}

void cl_FacialCtrl::Render(int) {}

void cl_FacialCtrl::PlayExpression(const base::tString<base::BaseString>& name, float weight, float fadeTime,
                                   float delay) {
  if (emotes) emotes->PlayEmote(name, weight, fadeTime, delay);
}

void cl_FacialCtrl::SetLookTarget(const base::tString<base::BaseString>& name, float weight) {
  if (!gaze) return;
  gaze->headWeightTarget = weight;
  gaze->targetName = name;
}

void cl_FacialCtrl::SetEyeTarget(const base::tString<base::BaseString>& name, float weight) {
  if (!gaze) return;
  gaze->eyeWeightTarget = weight;
  gaze->targetName = name;
}

void cl_FacialCtrl::SetGazeOffset(float x, float y) {
  if (!gaze) return;
  gaze->offsetX = x;
  gaze->offsetY = y;
}

void cl_FacialCtrl::StartLipsync(const base::Binary& data) {
  if (lipsync) lipsync->Start(data);
}

void cl_FacialCtrl::StartLipsyncFromFile(const base::tString<base::BaseString>& path) {
  if (lipsync) lipsync->StartFromFile(path.c_str());
}

void cl_FacialCtrl::StopLipsync() {
  if (lipsync) lipsync->Stop();
}

void cl_FacialCtrl::DrawDebug(base::tVector2<float>& cursor) {
  if (!gaze) return;
  char line[96];
  std::snprintf(line, sizeof line, "Gaze: %.02f/%.02f  Look: %.02f/%.02f", gaze->headWeight, gaze->headWeightTarget,
                gaze->eyeWeight, gaze->eyeWeightTarget);
  gfx::DrawTextOutlined(static_cast<int>(cursor.x), static_cast<int>(cursor.y), line, 0xFFFFFFFFu, 0xC8000000u);
  cursor.y += 16.0f;
}

}  // namespace quillane
