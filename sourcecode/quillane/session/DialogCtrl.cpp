#include "quillane/session/DialogCtrl.h"

namespace quillane {

cl_DialogCtrl::cl_DialogCtrl() = default;
cl_DialogCtrl::~cl_DialogCtrl() = default;

void cl_DialogCtrl::Start(const char* partner, const char*) {
  m_bActive = true;
  m_Partner = partner ? partner : "";
}
void cl_DialogCtrl::Stop() { m_bActive = false; }
void cl_DialogCtrl::CallScript(const base::String&) {}
void cl_DialogCtrl::PlayTopic(const base::String& label) { m_CurrentToken = label; }
bool cl_DialogCtrl::ProcessEvent(const base::Variant&) { return false; }

cl_DialogCtrlCallbackEvent::cl_DialogCtrlCallbackEvent(cl_DialogCtrl* ctrl) : m_ctrl(ctrl) {
  m_message.set_string("ScriptIdle");
}
void cl_DialogCtrlCallbackEvent::Execute() {
  if (m_ctrl) m_ctrl->ProcessEvent(m_message);
}

}  // namespace quillane
