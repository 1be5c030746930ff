#include "quillane/session/SessionServices.h"

#include "base/data/Variant.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/world/WorldServices.h"

namespace quillane {
namespace {

// Every entry asks GetSession() again: the world may call while no game runs. What a character
// asks of its stage, the stage answers itself.
const base::Variant* HotspotTable() {
  cl_Session* session = GetSession();
  return session && !session->GetHotspotTable().is_void() ? &session->GetHotspotTable() : nullptr;
}

bool HasDialogFunction(const char* character, const char* function) {
  return character && function && HasDialogScriptFunction(base::String(character), base::String(function));
}

base::Variant CallDialogFunction(const char* character, const char* function, const base::Variant&) {
  if (!character || !function) return {};
  return CallDialogScriptFunction(base::String(character), base::String(function));
}

// "CharacterTimer" of the character's dialog script; its result, read as a number, is the delay
// before the next call (a result that is none asks for none).
bool CallCharacterTimer(const char* character, float& delay) {
  if (!HasDialogFunction(character, "CharacterTimer")) return false;
  const base::Variant result = CallDialogFunction(character, "CharacterTimer", base::Variant());
  delay = result.is_number() ? result.get_float() : 0.0f;
  return true;
}

bool HasFunctionAtPath(const char* path) { return path && HasScriptFunction(base::String(path)); }

base::Variant CallFunctionAtPath(const char* path, const base::Variant&) {
  return path ? CallScriptFunctionByPath(base::String(path)) : base::Variant();
}

bool IsDialogActive() {
  cl_Session* session = GetSession();
  return session && session->GetDialogCtrl().IsActive();
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
  services.IsSkippingSequence = &cl_Session::IsSkippingSequence;
  services.CallSceneScript = &HasDialogFunction;
  services.CallHotspotScript = &CallDialogFunction;
  services.CallCharacterTimer = &CallCharacterTimer;
  services.HasScriptFunction = &HasFunctionAtPath;
  services.CallScriptFunctionByPath = &CallFunctionAtPath;
  services.IsDialogActive = &IsDialogActive;
  services.GetDialogPartner = &GetDialogPartner;
  services.GetActionName = &GetActionName;
  services.FinishAction = &FinishAction;
}

void RemoveSessionServices() {
  st_WorldServices& services = WorldServices();
  services.GetHotspotTable = nullptr;
  services.IsHotspotActive = nullptr;
  services.GetTooltipText = nullptr;
  services.IsPlayerFree = nullptr;
  services.IsSkippingSequence = nullptr;
  services.CallSceneScript = nullptr;
  services.CallHotspotScript = nullptr;
  services.CallCharacterTimer = nullptr;
  services.HasScriptFunction = nullptr;
  services.CallScriptFunctionByPath = nullptr;
  services.IsDialogActive = nullptr;
  services.GetDialogPartner = nullptr;
  services.GetActionName = nullptr;
  services.FinishAction = nullptr;
}

}  // namespace quillane
