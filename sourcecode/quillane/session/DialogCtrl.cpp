// The dialogue control and its end notification.
#include "quillane/session/DialogCtrl.h"

#include <cstring>

#include "KRX/ScriptLoader.h"
#include "base/FileTools.h"
#include "base/system.h"
#include "quillane/hud/InterfaceBar.h"
#include "quillane/scene/Scene.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

constexpr const char* kEndChatToken = "T6_EndChat";

cl_GameActionQueue* SessionQueue() {
  cl_Session* session = GetSession();
  return session ? &session->GetActionQueue() : nullptr;
}

}  // namespace

cl_DialogCtrl::cl_DialogCtrl() = default;

cl_DialogCtrl::~cl_DialogCtrl() { *m_alive = false; }

st_DialogTokenBar& cl_DialogCtrl::TokenBar() {
  static st_DialogTokenBar tokenBar;
  return tokenBar;
}

void cl_DialogCtrl::Start(const char* partner, const char* function) {
  base::String path;
  if (!GetDialogScriptPath(base::String(partner ? partner : ""), path)) {
    base::sys::Output("ERROR: dialogue partner \"%s\" %s: there is no dialogue script of that name\n",
                      partner ? partner : "", base::PlainNameProblem(partner));
    return;
  }
  m_bActive = true;
  m_Partner = partner ? partner : "";
  if (cl_Session* session = GetSession()) session->SyncTokenBarMode();  // the partner's topics
  CallScript(function ? function : "Startup");
  while (GetChildCount() > 0) {
    cl_Window* child = GetChild(0);
    RemoveChild(child);
    delete child;
  }
}

void cl_DialogCtrl::Stop() {
  cl_Session* session = GetSession();
  if (session && session->GetInterfaceBar()) session->GetInterfaceBar()->RestartIdleTimer();
  if (session)
    if (cl_Scene* scene = session->GetScene()) scene->SetZoom(1.0f);
  m_bActive = false;
  if (session) session->SyncTokenBarMode();  // back to the player's tokens
}

void cl_DialogCtrl::CallScript(const base::String& function) {
  base::String path;
  GetDialogScriptPath(m_Partner, path);  // Start took only a partner whose script can be named
  KRX::Require(path.c_str(), true);      // a missing module is reported; the call below then ends at once
  cl_DialogCtrlCallbackEvent* event = new cl_DialogCtrlCallbackEvent(this);
  // Made first and run afterwards, so that the event knows the thread it reports the end of.
  // A function that returns at once ends its thread inside this block, and "ScriptIdle"
  // arrives before the count below goes up.
  GameThread* waiting = nullptr;
  if (GameThread* thread = GameThread::CreateForFunction(path.c_str(), function.c_str(), event)) {
    event->SetThread(thread);
    {
      const KRX::tRefPtr<GameThread> hold(thread);
      base::Variant ignored;
      GameThread::Run(ignored, thread, function.c_str(), base::Variant());
      const int state = thread->GetState();
      if (state == KRX::Thread::STATE_WAITING || state == KRX::Thread::STATE_PAUSED) waiting = thread;
    }
  }
  if (cl_GameActionQueue* queue = SessionQueue()) {
    // A call that already ended leaves an earlier topic still running in place.
    if (waiting) queue->m_dialogScript = waiting;
    queue->m_dialogLocked = false;
    queue->m_skipAllowed = false;
    queue->m_cancelAllowed = false;
  }
  ++m_nPendingCalls;
}

void cl_DialogCtrl::PlayTopic(const base::String& label) {
  while (GetChildCount() > 0) {
    cl_Window* child = GetChild(0);
    RemoveChild(child);
    delete child;
  }
  m_CurrentToken = label;
  base::String function("Play_");
  function += label;
  CallScript(function);
}

bool cl_DialogCtrl::ProcessEvent(const base::Variant& event) {
  if (event.is_string()) {
    const char* text = event.get_string();
    if (!text || std::strcmp(text, "ScriptIdle") != 0) return false;
    --m_nPendingCalls;
    const st_DialogTokenBar& bar = TokenBar();
    if (!m_bActive || !Dialog_AutoEnd || !bar.GetTokenCount || bar.GetTokenCount() != 1) return false;
    base::String play("Play_"), check("Check_");
    play += kEndChatToken;
    check += kEndChatToken;
    if (!HasDialogScriptFunction(m_Partner, play)) {
      base::sys::Output("WARNING: automatic play of end chat token failed, Play_T6_EndChat missing!\n");
      return true;
    }
    // The partner may be replaced by what the check runs: keep the name.
    const base::String partner = m_Partner;
    const base::Variant answer = CallDialogScriptFunction(partner, check);
    if (answer.is_number() && answer.get_int() == 1) {
      if (bar.RemoveTokenAnimated) bar.RemoveTokenAnimated(kEndChatToken);
      CallDialogScriptFunction(partner, play);
    }
    return true;
  }
  const char* label = event.get_label();
  if (label && std::strcmp(label, "ButtonPressed") == 0) {
    base::String topic;
    const base::Variant* attribute = event.get_attribute("ctrl_label");
    if (attribute && attribute->is_string() && event.get_attribute_string("ctrl_label", topic)) PlayTopic(topic);
  }
  return false;
}

cl_DialogCtrlCallbackEvent::cl_DialogCtrlCallbackEvent(cl_DialogCtrl* ctrl)
    : m_ctrl(ctrl), m_ctrlAlive(ctrl ? ctrl->m_alive : nullptr) {
  m_message.set_string("ScriptIdle");
}

void cl_DialogCtrlCallbackEvent::Execute() {
  if (m_ctrl && m_ctrlAlive && *m_ctrlAlive) m_ctrl->ProcessEvent(m_message);
  cl_GameActionQueue* queue = SessionQueue();
  if (queue && m_thread && queue->m_dialogScript == m_thread) queue->m_dialogScript = nullptr;
}

}  // namespace quillane
