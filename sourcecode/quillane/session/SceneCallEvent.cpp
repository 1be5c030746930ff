// st_SceneCallEvent, and the script functions that hand the game over to loading: Transit,
// LoadActor and LoadDialog.
#include "quillane/session/SceneCallEvent.h"

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "base/system.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/core/FrameServices.h"
#include "quillane/scene/Scene.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/settings/TweakSettings.h"

namespace {

// Loads a dialogue script during the loading screen instead of at its first use.
class cl_DialogLoadTask : public base::i_Task {
 public:
  explicit cl_DialogLoadTask(const char* dialog) : m_dialog(dialog) {}
  void Run() override { quillane::HasDialogScriptFunction(m_dialog, "Startup"); }

 private:
  base::String m_dialog;
};

}  // namespace

namespace script_bindings {

void st_SceneCallEvent::Execute() {
  if (Debug_ScriptWarningLevel >= 2) base::sys::Output("CALL: %s::%s\n", m_scene.c_str(), m_function.c_str());
  if (quillane::cl_Session* session = quillane::GetSession())
    session->CallSceneScript(m_scene, m_function, base::Variant());
}

void Transit(KRX::t_Interface& in) {
  // Copied at once: the arguments belong to the calling thread, which ends below.
  const base::String scene = script::GetArgString(in, 1, "default", true);
  const char* functionArg = script::GetArgString(in, 2, nullptr, false);
  const bool hasFunction = functionArg != nullptr;
  const base::String function = hasFunction ? functionArg : "";
  // Into a scene the game does not have the player would be stranded: the caller goes on instead.
  if (!quillane::cl_Scene::Exists(scene.c_str())) {
    base::sys::Output("ERROR: Transit: scene '%s' does not exist: %s; the game stays where it was\n", scene.c_str(),
                      quillane::cl_Scene::MissingReason(scene.c_str()).c_str());
    return;
  }
  quillane::cl_Session* session = quillane::GetSession();
  if (session) session->SetTransitPending(true);
  if (session) session->GetActionQueue().EndSkip();
  // The calling script does not go on after the call.
  if (KRX::Thread* caller = script::GetCallingThread(&in)) caller->Return(nullptr);
  if (!session) return;
  quillane::cl_GameActionQueue& queue = session->GetActionQueue();
  queue.Abort();
  queue.m_state = quillane::cl_GameActionQueue::STATE_SEQUENCE_RUNNING;
  queue.Clear();
  session->LoadScene(scene);
  queue.AddPendingEvent(new st_SceneCallEvent(scene, "OnEnterScene"));
  if (quillane::SceneScriptHasFunction(scene, "OnAlphaHack")) queue.AddPendingEvent(new st_SceneCallEvent(scene, "OnAlphaHack"));
  if (hasFunction) queue.AddPendingEvent(new st_SceneCallEvent(scene, function));
}

void LoadActor(const char* label) {
  if (!label) return;
  // An unknown label is logged by the registry and queued all the same; the task reports again.
  quillane::cl_ActorRegistry* registry = quillane::GetActorRegistry();
  if (!registry || !registry->IsLoaded(label)) AddLoadingTask(quillane::cl_ActorLoadTask::Queue(label));
}

void LoadDialog(const char* name) {
  if (!name) return;
  base::String module;
  KRX::SplitPath(name, module);
  if (!KRX::ScriptSystem::IsModuleLoaded(module.c_str())) AddLoadingTask(new cl_DialogLoadTask(name));
}

}  // namespace script_bindings
