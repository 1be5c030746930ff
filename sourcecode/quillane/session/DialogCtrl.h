// The dialogue control: the small state holder of a conversation between the player and one
// partner, whose content lives in the partner's dialogue script ("Dialogs/<partner>.lua"). It
// starts dialogue-script functions by composed names, counts the calls that have not come back,
// hands each started thread to the action queue, and ends the conversation by itself when only
// the end-chat token is left. One per session, never attached to the GUI root. Main thread only.
#pragma once

#include "base/String.h"
#include "base/gui/GUI.h"
#include "quillane/frame/Event.h"

namespace quillane {

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

  bool m_bActive = false;
  base::String m_Partner;
  base::String m_CurrentToken;  // the token glue writes it directly
  int m_nPendingCalls = 0;
};

// Delivers "ScriptIdle" to the control when a dialogue-script thread ends.
class cl_DialogCtrlCallbackEvent : public i_Event {
 public:
  explicit cl_DialogCtrlCallbackEvent(cl_DialogCtrl* ctrl);
  void Execute() override;

 private:
  cl_DialogCtrl* m_ctrl;  // not owned
  base::Variant m_message;  // always "ScriptIdle"
};

}  // namespace quillane
