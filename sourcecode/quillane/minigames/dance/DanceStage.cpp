// The dance's stage: its own scene with the dancer at "DanceStartPos" and the audience on the
// "Sit<n>" seats, the dancer's pose following the song and her steadiness, the audience's
// reactions, and the stage drawn through the passes every stage shares.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/character/ScenePasses.h"
#include "quillane/minigames/dance/DanceMinigame.h"
#include "quillane/scene/Scene.h"
#include "sound/Sfx.h"

namespace quillane {

namespace {

constexpr float kMaxDelay = 5.0f;
constexpr float kHoldBeforeEnd = 0.01f;  // the last frame of a finished dance is held from here
const char* const kStumble = "quillane_dance_stumble";
const char* const kStumbleSubset = "dance_stumble";

i_NavMesh* FirstNavMesh(const cl_Scene* scene) {
  return scene && !scene->NavMeshes.empty() ? scene->NavMeshes.front() : nullptr;
}

// "male" or "female" by the actor's parent; null for anyone else.
const char* Gender(cl_Character* character) {
  cl_ActorDesc* parent = character->actor ? character->actor->GetParent() : nullptr;
  if (!parent) return nullptr;
  if (parent->GetLabel() == "male") return "male";
  if (parent->GetLabel() == "female") return "female";
  return nullptr;
}

}  // namespace

// ---- the dancer and the audience

cl_DanceMinigame::cl_DanceCharacter::cl_DanceCharacter(cl_DanceMinigame* owner) : m_Owner(owner) {}

cl_DanceMinigame::cl_DanceCharacter::~cl_DanceCharacter() = default;

void cl_DanceMinigame::cl_DanceCharacter::PlayAnimation(const char* animName, float maxDelay, float startTime) {
  m_Previous = m_Current;
  m_PreviousClip = m_CurrentClip;
  m_PreviousTime = m_Time;
  m_Current = animName ? animName : "";
  m_CurrentClip = actor ? actor->GetAnimation(m_Current.c_str()) : nullptr;
  m_Blend = 1.0f;
  m_Time = startTime;
  m_Delay = maxDelay > 0.0f ? base::RandBetween(0.0f, maxDelay) : 0.0f;
}

void cl_DanceMinigame::cl_DanceCharacter::ResolveDanceClips() {
  if (m_DanceClipsResolved || !actor) return;
  m_DanceClipsResolved = true;
  m_DanceClip = actor->GetAnimation(m_Owner->GetAnimation().c_str());
  m_VariationClip = actor->GetAnimation(m_Owner->GetVariation().c_str());
  m_StumbleClip = actor->GetAnimation(kStumble);
}

float cl_DanceMinigame::cl_DanceCharacter::GetDanceLength() {
  ResolveDanceClips();
  if (!m_DanceClip || !m_VariationClip) return 0.0f;
  return m_DanceClip->length + m_VariationClip->length;
}

bool cl_DanceMinigame::cl_DanceCharacter::SampleDancePose(base::cl_Pose& target, float& weight) {
  weight = m_Owner->UpdateWeight();
  ResolveDanceClips();
  if (!m_DanceClip) return false;
  if (m_Time <= m_DanceClip->length) {
    target.Set(m_DanceClip, m_Time);
    return true;
  }
  if (!m_VariationClip) return false;
  const float into = m_Time - m_DanceClip->length;
  if (into > m_VariationClip->length) return false;
  target.Set(m_VariationClip, into);
  return true;
}

void cl_DanceMinigame::cl_DanceCharacter::Update(float dt) {
  m_Delay = std::clamp(m_Delay - dt, 0.0f, kMaxDelay);
  if (m_Delay == 0.0f) {
    m_Time += dt;
    m_Blend = std::clamp(m_Blend - dt, 0.0f, 1.0f);
  }
  if (m_CurrentClip && m_CurrentClip->length < m_Time) m_Time -= m_CurrentClip->length;
  if (mode == 2) {
    // The song is the dance's clock: a paused song holds her.
    m_Time = m_Owner->GetSongTime();
    m_StumbleTime += dt;
  } else {
    cl_Character::Update(dt);
  }
}

void cl_DanceMinigame::cl_DanceCharacter::UpdatePose(base::cl_Pose& target) {
  base::cl_Skeleton* skeleton = actor ? actor->GetSkeleton() : nullptr;
  if (!skeleton) return;
  const int bones = skeleton->GetNumBones();
  target.SetSize(bones);
  m_Other.SetSize(bones);
  if (mode == 2 && m_Blend == 0.0f) {
    float weight = 1.0f;
    if (SampleDancePose(target, weight)) {
      if (weight == 1.0f) m_StumbleTime = 0.0f;
      if (!m_StumbleClip) return;
      // The stumble mixed in by the unsteadiness, and once more over the bones it owns.
      m_Other.Set(m_StumbleClip, m_StumbleTime);
      m_Other.SetWeights(1.0f - weight);
      target.SetWeights(weight);
      target.Blend(&target, &m_Other);
      target.Blend(&m_Other, actor->FindSubset(kStumbleSubset), 1.0f - weight);
      target.SetWeights(1.0f);
      return;
    }
    // The dance is over: her last step held while she goes into her curtsy.
    m_Owner->m_TargetWeight = 0.0f;
    if (m_VariationClip) target.Set(m_VariationClip, m_VariationClip->length - kHoldBeforeEnd);
    PlayAnimation(m_Owner->GetFinishAnimation().c_str(), 0.0f, 0.0f);
    mode = 0;
    sfx::StopSound("dance_sound", 1.0f);
    // A result already shown (a skip) stays: deciding again would take the game back to a state
    // that never finishes. The level editor's recording lasts until its own end, past the dance's.
    if (m_Owner->GetState() != Result && m_Owner->GetState() != Recording) m_Owner->DecideResult();
    return;
  }
  if (!m_CurrentClip) return;
  target.Set(m_CurrentClip, m_Time);
  if (!m_PreviousClip || !(m_Blend > 0.0f)) {
    target.SetWeights(1.0f);
    return;
  }
  m_Other.Set(m_PreviousClip, m_PreviousTime);
  target.SetWeights(1.0f - m_Blend);
  m_Other.SetWeights(m_Blend);
  target.Blend(&target, &m_Other);
}

// ---- building the stage

cl_DanceMinigame::cl_DanceCharacter* cl_DanceMinigame::MakeCharacter(const char* name, const char* actorLabel,
                                                                     float scale) {
  cl_ActorRegistry* registry = GetActorRegistry();
  cl_ActorDesc* actorDesc = registry && actorLabel ? registry->FindActor(actorLabel) : nullptr;
  auto* character = new cl_DanceCharacter(this);
  character->name = name ? name : "";
  character->stageWorld = &m_World;
  character->SetActor(actorDesc, FirstNavMesh(m_Scene));
  character->scale = scale == -1.0f && m_Scene ? m_Scene->GetCharacterScale() : scale;
  return character;
}

void cl_DanceMinigame::BuildStage(const base::String& sceneName, const std::list<st_DanceViewer>& viewers) {
  ReleaseStage();
  m_Scene = new cl_Scene;
  // The compiled scene when there is one, else the editable project.
  if (!m_Scene->Load(sceneName.c_str())) {
    m_Scene->LoadProjectFile(sceneName.c_str());
    m_Scene->ReadFromVariant(true);
  }
  m_World.SetScene(m_Scene);
  cl_DanceCharacter* dancer = MakeCharacter("Quillane", m_DancerActor.c_str(), -1.0f);
  dancer->footsteps.SetStepSounds("sfx/step_dancefloor_female1.ogg", 0.15f, 0.25f, "sfx/step_dancefloor_female2.ogg",
                                  0.65f, 0.25f);
  m_DanceLength = dancer->GetDanceLength();
  base::sys::Output(" DanceLength %f\n", static_cast<double>(m_DanceLength));
  m_Characters.push_back(dancer);
  if (cl_SceneLocator* start = m_Scene->FindLocator("DanceStartPos"))
    dancer->SetPosition(start->locator.GetPos(), tPoint());
  dancer->PlayAnimation("idle", 0.0f, 0.0f);
  CreateAudience(viewers);
}

void cl_DanceMinigame::CreateAudience(const std::list<st_DanceViewer>& viewers) {
  int seat = 0;
  for (const st_DanceViewer& viewer : viewers) {
    char name[32];
    std::snprintf(name, sizeof(name), "Sit%d", seat++);
    cl_SceneLocator* at = m_Scene ? m_Scene->FindLocator(name) : nullptr;
    if (!at) break;  // no seat: this one and the rest stay away
    cl_DanceCharacter* character = MakeCharacter(viewer.m_Label.c_str(), viewer.m_Actor.c_str(), viewer.m_Scale);
    character->SetPosition(at->locator.GetPos(), tPoint());
    m_Characters.push_back(character);
  }
}

void cl_DanceMinigame::ReleaseStage() {
  for (cl_Character* character : m_Characters) delete character;
  m_Characters.clear();
  if (m_Scene) {
    m_Scene->Clear();
    delete m_Scene;
    m_Scene = nullptr;
  }
  m_World.SetScene(nullptr);
}

cl_DanceMinigame::cl_DanceCharacter* cl_DanceMinigame::GetDancer() const {
  return m_Characters.empty() ? nullptr : static_cast<cl_DanceCharacter*>(m_Characters.front());
}

// ---- the audience

void cl_DanceMinigame::AudienceReacts(const char* male, const char* female, float maxDelay, float startTime) {
  for (auto it = std::next(m_Characters.begin(), m_Characters.empty() ? 0 : 1); it != m_Characters.end(); ++it) {
    const char* gender = Gender(*it);
    if (!gender) continue;
    static_cast<cl_DanceCharacter*>(*it)->PlayAnimation(gender[0] == 'm' ? male : female, maxDelay, startTime);
  }
}

void cl_DanceMinigame::AudienceReactsToEnd(bool cheer, bool excited) {
  for (auto it = std::next(m_Characters.begin(), m_Characters.empty() ? 0 : 1); it != m_Characters.end(); ++it) {
    if (!(*it)->actor) continue;
    const char* gender = Gender(*it);
    const char* clip = "";  // anyone else: the actor's "idle"
    if (gender && gender[0] == 'm') {
      if (!cheer)
        clip = base::RandBetween(0, 6) > 2 ? "male_booh" : "male_idle_02";
      else
        clip = excited && base::RandBetween(0, 5) > 2 ? "male_applaud_excited" : "male_applaud";
    } else if (gender) {
      if (!cheer)
        clip = base::RandBetween(0, 5) > 2 ? "female_booh" : "female_idle_02";
      else
        clip = excited && base::RandBetween(0, 5) > 2 ? "female_applaude_excited" : "female_applaude";
    }
    static_cast<cl_DanceCharacter*>(*it)->PlayAnimation(clip, 1.5f, 1.0f);
  }
}

// ---- the frame and the drawing

void cl_DanceMinigame::UpdateStage(float dt) {
  if (!m_Scene) return;
  m_Scene->Update(dt);
  for (cl_Character* character : m_Characters) {
    character->Update(dt);
    character->UpdatePose(character->pose);
  }
}

void cl_DanceMinigame::RenderStage(const base::tRectf& rect) {
  if (!m_Scene) return;
  gfx::SetFilterLinear();
  st_ScenePasses passes;
  passes.navMesh = SceneDisplay().showNavMesh;
  RenderScenePasses(*m_Scene, m_Characters, rect, passes);
  gfx::SetViewport(0, 0, -1, -1, 0.0f, 1.0f);
}

}  // namespace quillane
