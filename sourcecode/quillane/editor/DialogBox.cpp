// The question box.
#include "quillane/editor/DialogBox.h"

#include "base/data/Variant.h"
#include "base/system.h"

namespace quillane {

cl_DialogBox* cl_DialogBox::Open(base::cl_Window* listener, base::tString<base::BaseString> title,
                                 base::tString<base::BaseString> text, base::tString<base::BaseString> button0,
                                 base::tString<base::BaseString> button1) {
  auto* box = new cl_DialogBox(listener);
  const struct {
    const char* label;
    const base::tString<base::BaseString>& text;
  } parts[] = {{"TitleBar", title}, {"text", text}, {"button0", button0}, {"button1", button1}};
  for (const auto& part : parts)
    if (base::cl_Window* w = box->FindByLabel(part.label)) w->m_Text = part.text;
  return box;
}

cl_DialogBox::cl_DialogBox(base::cl_Window* listener) : m_listener(listener) { LoadFromFile("GUI.xml", "DialogBox"); }

bool cl_DialogBox::ProcessEvent(const base::Variant& event) {
  const char* name = event.get_label();
  base::tString<base::BaseString> button;
  if (!name || base::str::compare(name, "ButtonPressed") != 0 || !event.get_attribute_string("ctrl_label", button))
    return false;
  const base::cl_Window* title = FindByLabel("TitleBar");
  base::Variant answer;
  answer.set_element(title ? title->m_Text.c_str() : "");
  answer.attribute("ctrl_label")->set_string(button.c_str());
  return m_listener && m_listener->ProcessEvent(answer);
}

}  // namespace quillane
