#include "quillane/session/SessionServices.h"

#include "base/data/Variant.h"
#include "quillane/character/Character.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/world/WorldServices.h"

namespace quillane {
namespace {

// Every entry asks GetSession() again: the world may call while no game runs, and the stage
// changes with every scene.
cl_Stage* Stage() {
  cl_Session* session = GetSession();
  return session ? session->GetStage() : nullptr;
}

const base::Variant* HotspotTable() {
  cl_Session* session = GetSession();
  return session && !session->GetHotspotTable().is_void() ? &session->GetHotspotTable() : nullptr;
}

void CollectObstacles(std::vector<base::tVector3<float>>& obstacles, const char* walker) {
  if (cl_Stage* stage = Stage()) stage->CollectObstacles(obstacles, walker);
}

bool HasDialogFunction(const char* character, const char* function) {
  return character && function && HasDialogScriptFunction(base::String(character), base::String(function));
}

base::Variant CallDialogFunction(const char* character, const char* function, const base::Variant&) {
  if (!character || !function) return {};
  return CallDialogScriptFunction(base::String(character), base::String(function));
}

bool HasFunctionAtPath(const char* path) { return path && HasScriptFunction(base::String(path)); }

base::Variant CallFunctionAtPath(const char* path, const base::Variant&) {
  return path ? CallScriptFunctionByPath(base::String(path)) : base::Variant();
}

bool HasStage() {
  cl_Stage* stage = Stage();
  return stage && stage->GetScene();
}

void GetStageCharacters(std::vector<i_FaceOwner*>& characters) {
  if (cl_Stage* stage = Stage())
    for (cl_Character* character : stage->GetCharacters()) characters.push_back(character);
}

i_FaceOwner* GetCharacter(const char* name) {
  cl_Stage* stage = Stage();
  return stage && name ? stage->GetCharacter(name) : nullptr;
}

bool IsDialogActive() {
  cl_Session* session = GetSession();
  return session && session->GetDialogCtrl().IsActive();
}

i_NavMesh* FindNavMeshAt(const base::tVector3<float>& position) {
  cl_Stage* stage = Stage();
  cl_Scene* scene = stage ? stage->GetScene() : nullptr;
  return scene ? scene->FindNavMeshAt(position.x, position.y, position.z) : nullptr;
}

float GetAvoidanceRadius() {
  cl_Stage* stage = Stage();
  return stage ? stage->GetAvoidanceRange() : 40.0f;
}

const char* GetActionName(const st_GameAction* action) { return action ? action->m_kind.c_str() : ""; }

// Only an action the queue still holds: a character may keep a pointer to one that is gone.
void FinishAction(st_GameAction* action) {
  cl_Session* session = GetSession();
  if (session && action && session->GetActionQueue().HoldsAction(action)) action->Finish();
}

}  // namespace

bool IsPlayerFree() {
  cl_Session* session = GetSession();
  return !session || session->IsInteractionAllowed();
}

const char* GetDialogPartner() {
  cl_Session* session = GetSession();
  return session ? session->GetDialogCtrl().m_Partner.c_str() : "";
}

void InstallSessionServices() {
  st_WorldServices& services = WorldServices();
  services.GetHotspotTable = &HotspotTable;
  services.IsHotspotActive = &IsHotspotActive;
  services.GetTooltipText = &GetTooltipText;
  services.IsPlayerFree = &IsPlayerFree;
  services.CollectObstacles = &CollectObstacles;
  services.IsSkippingSequence = &cl_Session::IsSkippingSequence;
  services.CallSceneScript = &HasDialogFunction;
  services.CallHotspotScript = &CallDialogFunction;
  services.HasScriptFunction = &HasFunctionAtPath;
  services.CallScriptFunctionByPath = &CallFunctionAtPath;
  services.HasStage = &HasStage;
  services.GetStageCharacters = &GetStageCharacters;
  services.GetCharacter = &GetCharacter;
  services.IsDialogActive = &IsDialogActive;
  services.GetDialogPartner = &GetDialogPartner;
  services.FindNavMeshAt = &FindNavMeshAt;
  services.GetAvoidanceRadius = &GetAvoidanceRadius;
  services.GetActionName = &GetActionName;
  services.FinishAction = &FinishAction;
}

void RemoveSessionServices() {
  st_WorldServices& services = WorldServices();
  services.GetHotspotTable = nullptr;
  services.IsHotspotActive = nullptr;
  services.GetTooltipText = nullptr;
  services.IsPlayerFree = nullptr;
  services.CollectObstacles = nullptr;
  services.IsSkippingSequence = nullptr;
  services.CallSceneScript = nullptr;
  services.CallHotspotScript = nullptr;
  services.HasScriptFunction = nullptr;
  services.CallScriptFunctionByPath = nullptr;
  services.HasStage = nullptr;
  services.GetStageCharacters = nullptr;
  services.GetCharacter = nullptr;
  services.IsDialogActive = nullptr;
  services.GetDialogPartner = nullptr;
  services.FindNavMeshAt = nullptr;
  services.GetAvoidanceRadius = nullptr;
  services.GetActionName = nullptr;
  services.FinishAction = nullptr;
}

}  // namespace quillane
