// The dialogue control: the small state holder of a conversation between the player and one
// partner, whose content lives in the partner's dialogue script ("Dialogs/<partner>.lua"). It
// starts dialogue-script functions by composed names, counts the calls that have not come back,
// hands each started thread to the action queue, and ends the conversation by itself when only
// the end-chat token is left. One per session, never attached to the GUI root. Main thread only.
#pragma once

#include <memory>

#include "base/String.h"
#include "base/gui/GUI.h"
#include "quillane/core/Event.h"

class GameThread;

namespace quillane {

// What the control asks of the token bar; the token bar fills it in when it exists. Empty
// entries mean "no token bar": the automatic end-chat then never triggers.
struct st_DialogTokenBar {
  int (*GetTokenCount)() = nullptr;                          // tokens that stay in the bar
  void (*RemoveTokenAnimated)(const char* label) = nullptr;  // with its leave animation
};

class cl_DialogCtrl : public base::cl_Panel {
 public:
  cl_DialogCtrl();
  ~cl_DialogCtrl() override;

  // Begins or continues a dialogue with partner (null: empty) and calls function (null: "Startup").
  void Start(const char* partner, const char* function);
  void Stop();
  void CallScript(const base::String& function);
  void PlayTopic(const base::String& label);  // "Play_" + label
  // "ScriptIdle" (a call came back, maybe the automatic end-chat) and "ButtonPressed".
  bool ProcessEvent(const base::Variant& event) override;

  bool IsActive() const { return m_bActive || m_nPendingCalls > 0; }
  base::String GetPartner() const { return m_Partner; }

  static st_DialogTokenBar& TokenBar();  // the program's one hook table

  bool m_bActive = false;
  base::String m_Partner;
  base::String m_CurrentToken;  // the token glue writes it directly
  int m_nPendingCalls = 0;

 private:
  friend class cl_DialogCtrlCallbackEvent;
  // Script threads may end after the control is gone (the session ended): their events test it.
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// Delivers "ScriptIdle" to the control when a dialogue-script thread ends.
class cl_DialogCtrlCallbackEvent : public i_Event {
 public:
  explicit cl_DialogCtrlCallbackEvent(cl_DialogCtrl* ctrl);
  // The message to the control; then the queue forgets its dialogue-script thread when that is
  // the thread ending here (a later call may already have taken its place).
  void Execute() override;
  void SetThread(GameThread* thread) { m_thread = thread; }

 private:
  cl_DialogCtrl* m_ctrl;  // not owned
  std::shared_ptr<bool> m_ctrlAlive;
  base::Variant m_message;  // always "ScriptIdle"
  GameThread* m_thread = nullptr;  // compared only
};

}  // namespace quillane
