// The script functions that act on the action queue: its flags, the end of a skip, cutscenes,
// sleeping, background threads, and the waits for a mini-game or a full-screen video.
#include <cmath>

#include "KRX/ScriptSystem.h"
#include "base/FileTools.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/scene/Scene.h"
#include "quillane/script/GameThread.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/video/VideoController.h"

namespace quillane {
namespace {

cl_GameActionQueue* Queue() {
  cl_Session* session = GetSession();
  return session ? &session->GetActionQueue() : nullptr;
}

// 1 or no argument sets a flag; anything else clears it.
void SetFlag(KRX::t_Interface& in, bool cl_GameActionQueue::*flag) {
  if (cl_GameActionQueue* queue = Queue()) queue->*flag = script::GetArgInt(in, 1, 1, false) == 1;
}

// The thread a blocking function makes wait. Only game threads can be woken by the queue, so on
// any other (a module's top-level code) the function reports and does not wait.
GameThread* WaitingThread(KRX::t_Interface* in, const char* function) {
  GameThread* thread = dynamic_cast<GameThread*>(script::GetCallingThread(in));
  if (!thread) {
    if (in)
      script::ReportError(*in, "ERROR: %s: only a game script thread can wait; the call does not wait", function);
    else
      KRX::ReportError("ERROR: %s: only a game script thread can wait; the call does not wait", function);
  }
  return thread;
}

// An action of no kind for the caller and the completion event that ends it; null without a
// session or a game thread.
cl_GameActionCompletionEvent* AddEventAction(KRX::t_Interface& in, const char* function) {
  cl_GameActionQueue* queue = Queue();
  GameThread* thread = queue ? WaitingThread(&in, function) : nullptr;
  if (!thread) return nullptr;
  return new cl_GameActionCompletionEvent(queue->Add(thread));
}

// Nothing took the event: the action ends now, so that the script does not wait for ever.
void FinishNow(cl_GameActionCompletionEvent* event) {
  if (!event) return;
  event->Execute();
  delete event;
}

}  // namespace
}  // namespace quillane

namespace script_bindings {

using quillane::cl_GameActionQueue;

void LockPlayer(KRX::t_Interface& in) { quillane::SetFlag(in, &cl_GameActionQueue::m_playerLocked); }
void LockDialog(KRX::t_Interface& in) { quillane::SetFlag(in, &cl_GameActionQueue::m_dialogLocked); }
void AllowSkip(KRX::t_Interface& in) { quillane::SetFlag(in, &cl_GameActionQueue::m_skipAllowed); }
void AllowCancel(KRX::t_Interface& in) { quillane::SetFlag(in, &cl_GameActionQueue::m_cancelAllowed); }
void LockMovement(KRX::t_Interface& in) { quillane::SetFlag(in, &cl_GameActionQueue::m_movementLocked); }

void StopSkip() {
  if (cl_GameActionQueue* queue = quillane::Queue()) queue->EndSkip();
}

void BeginCutscene() {
  if (cl_GameActionQueue* queue = quillane::Queue()) queue->SetCutscene(true);
}

void EndCutscene() {
  if (cl_GameActionQueue* queue = quillane::Queue()) queue->SetCutscene(false);
}

void Sleep(float seconds) {
  cl_GameActionQueue* queue = quillane::Queue();
  if (!queue) return;
  GameThread* thread = quillane::WaitingThread(nullptr, "Sleep");
  if (!thread) return;
  queue->ForbidSkipAndCancel();
  quillane::st_GameAction* action = queue->Add(thread);
  action->m_kind = "sleep";
  // A time that is not a number would never run down.
  action->m_time = std::isfinite(seconds) ? seconds : 0.0f;
}

void RunInBackground(KRX::t_Interface& in) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_Scene* scene = session ? session->GetScene() : nullptr;
  if (!scene) return;
  const base::String sceneName = scene->GetName();
  const base::String function = script::GetArgString(in, 1, "default", true);
  KRX::ScriptSystem::CheckThreadRoom();
  session->CallSceneFunctionInBackground(sceneName, function, base::Variant());
}

void StartMinigame(KRX::t_Interface& in) {
  cl_GameActionQueue* queue = quillane::Queue();
  if (queue) {
    queue->ForbidCancel();
    queue->EndSkip();
  }
  const base::String name = script::GetArgString(in, 1, "default", true);
  quillane::cl_GameActionCompletionEvent* event = quillane::AddEventAction(in, "StartMinigame");
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_MinigameManager* minigames = session ? session->GetMinigameManager() : nullptr;
  // A running game holds the event and ends the wait when it is over. A refusal (an unknown game,
  // or mini-games switched off, which counts as won) ends the wait now.
  if (minigames && minigames->Start(name.c_str(), event, false)) return;
  quillane::FinishNow(event);
}

float PlayFullscreenVideo(KRX::t_Interface& in) {
  const base::String file = script::GetArgString(in, 1, "default", true);
  quillane::cl_GameActionCompletionEvent* event = quillane::AddEventAction(in, "PlayFullscreenVideo");
  cl_VideoController* controller = cl_VideoController::GetInstance();
  if (!controller) {
    quillane::FinishNow(event);
    return -1.0f;
  }
  // The controller runs the event when the video or the list has ended or was skipped.
  if (base::GetFileExtension(file) != "xml") return controller->PlayMovie(file.c_str(), event);
  if (controller->LoadVideoList(file.c_str(), event)) return 0.0f;
  quillane::FinishNow(event);  // refused, so not taken over
  return -1.0f;
}

}  // namespace script_bindings
