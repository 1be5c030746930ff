#include "quillane/session/SessionServices.h"

#include "KRX/runtime/VarVariant.h"
#include "base/data/Variant.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/GameActionQueue.h"
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

float DelayOf(const base::Variant& result) { return result.is_number() ? result.get_float() : 0.0f; }

// "CharacterTimer" of the character's dialog script, on a background thread of its own: a timer
// that speaks an idle remark waits for its line, and must not hold the player up meanwhile. Its
// result, read as a number, is the delay before the next call (a result that is none asks for
// none); it is known when the thread ends, which for a waiting call is later.
bool CallCharacterTimer(const char* character, float& delay, std::function<bool(float&)>* ended) {
  cl_Session* session = GetSession();
  base::String path;
  if (!session || !HasDialogFunction(character, "CharacterTimer") ||
      !GetDialogScriptPath(base::String(character), path))
    return false;
  auto* stop = new st_ScriptStopEvent();
  GameThread* thread = GameThread::CreateForFunction(path.c_str(), "CharacterTimer", stop);
  delay = 0.0f;
  if (!thread) return true;  // the script did not load; the event has run
  stop->m_thread = thread;
  session->GetActionQueue().AddBackgroundThread(thread);
  const KRX::tRefPtr<GameThread> hold(thread);
  base::Variant result;
  GameThread::Run(result, thread, "CharacterTimer", base::Variant());
  if (!GameThread::IsLive(thread) || !ended) {
    delay = DelayOf(result);
    return true;
  }
  // The reference keeps the ended thread, and with it its result, until the stage has asked.
  *ended = [hold](float& later) {
    if (GameThread::IsLive(hold.get())) return false;
    base::Variant value;
    KRX::VariantFromVar(hold->GetReturnValue(), value);
    later = DelayOf(value);
    return true;
  };
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
