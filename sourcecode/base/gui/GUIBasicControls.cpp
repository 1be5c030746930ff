// Input logic of the clickable controls.
#include "base/gui/GUIBasicControls.h"

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"

namespace base {

namespace {

// The value toggled by check boxes and tree toggles: 0 becomes 1, anything else 0.
void Toggle(Variant& v) { v.set_int(v.get_int() == 0 ? 1 : 0); }
}  // namespace

// ---- cl_Button

cl_Button::cl_Button() { m_Flags = WF_CENTER_TEXT; }

cl_Button::~cl_Button() = default;

bool cl_Button::Init(StaticVariantIterator desc) {
  cl_Window::Init(desc);
  m_Pressed = false;
  return true;
}

void cl_Button::Activate() {
  Variant event;
  event.set_element("ButtonPressed");
  event.attribute("ctrl_label")->set_string(m_Label.c_str());
  ProcessEvent(event);
  if (HasFlag(WF_CLOSE_PANEL)) {
    if (cl_Panel* panel = GetPanel()) panel->Close();
  }
}

bool cl_Button::ProcessInput(ICMD& cmd) {
  if (HasFlag(WF_DISABLED)) return false;
  if (HitTest(cmd)) {
    if (cmd.type == ICMD::LEFT_DOWN) {
      m_Pressed = true;
      return true;
    }
    if (cmd.type == ICMD::LEFT_UP) {
      m_Pressed = false;
      Activate();
      return true;
    }
  } else if (cmd.type == ICMD::LEFT_UP) {
    m_Pressed = false;
  }
  if (HasFlag(WF_DEFAULT) && cmd.type == ICMD::KEY_PRESSED && cmd.key == base::key::Enter) {
    Activate();
    return true;
  }
  if (HasFlag(WF_CANCEL) && cmd.type == ICMD::KEY_PRESSED && cmd.key == base::key::Escape) {
    Activate();
    return true;
  }
  return cl_Window::ProcessInput(cmd);
}

void cl_CloseButton::Activate() {
  if (cl_Panel* panel = GetPanel()) panel->Close();
}

// ---- cl_CheckBox

cl_CheckBox::cl_CheckBox(Variant* bound) : m_pBound(bound ? bound : &m_Value) {
  m_Rect.w = 16;
  m_Rect.h = 16;
}

cl_CheckBox::~cl_CheckBox() = default;

bool cl_CheckBox::Init(StaticVariantIterator desc) {
  cl_Window::Init(desc);
  ReadDescriptionText(desc, "text", m_Text);
  return true;
}

bool cl_CheckBox::ProcessInput(ICMD& cmd) {
  if (cmd.type == ICMD::LEFT_DOWN && HitTest(cmd)) {
    m_Pressed = true;
    return true;
  }
  if (cmd.type == ICMD::LEFT_UP && m_Pressed) {
    m_Pressed = false;
    if (HitTest(cmd)) Toggle(*m_pBound);
    return true;
  }
  return false;
}

// ---- cl_RadioButton

bool cl_RadioButton::Init(StaticVariantIterator desc) {
  cl_Window::Init(desc);
  ReadDescriptionText(desc, "text", m_Text);
  m_Rect.w = 16;
  m_Rect.h = 16;
  return true;
}

void cl_RadioButton::StoreValue() {
  if (m_Parent) m_Parent->m_Value.set_string(m_Label.c_str());
}

bool cl_RadioButton::ProcessInput(ICMD& cmd) {
  if (cmd.type == ICMD::LEFT_DOWN && HitTest(cmd)) {
    m_Pressed = true;
    return true;
  }
  if (cmd.type != ICMD::LEFT_UP || !m_Pressed) return false;
  m_Pressed = false;
  if (!HitTest(cmd)) return false;
  // Every sibling is reset, whatever its class: the parent's children are one choice.
  if (m_Parent) {
    for (cl_Window* sibling : m_Parent->m_Children) sibling->m_Value.set_int(0);
  }
  m_Value.set_int(1);
  StoreValue();
  return true;
}

// ---- cl_TreeToggle

cl_TreeToggle::cl_TreeToggle() : m_pState(&m_Value) {
  m_Rect.w = 16;
  m_Rect.h = 16;
  m_Value.set_int(0);
}

bool cl_TreeToggle::IsOpen() const { return m_pState && m_pState->get_int() == 1; }

bool cl_TreeToggle::ProcessInput(ICMD& cmd) {
  if (cmd.type != ICMD::LEFT_DOWN || !HitTest(cmd)) return false;
  if (m_pState) Toggle(*m_pState);
  if (cl_Window* edit = GetOwnerEdit()) edit->SetFlag(WF_REBUILD, true);
  return true;
}

}  // namespace base
