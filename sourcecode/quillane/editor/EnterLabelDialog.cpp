// The name-entry dialog.
#include "quillane/editor/EnterLabelDialog.h"

#include <utility>

#include "base/system.h"

namespace quillane {

cl_EnterLabelDialog* cl_EnterLabelDialog::Open(base::cl_Window* listener, base::Variant answer,
                                               base::tString<base::BaseString> text) {
  return new cl_EnterLabelDialog(listener, std::move(answer), std::move(text));
}

cl_EnterLabelDialog::cl_EnterLabelDialog(base::cl_Window* listener, base::Variant answer,
                                         base::tString<base::BaseString> text)
    : m_answer(std::move(answer)), m_text(std::move(text)), m_listener(listener) {
  LoadFromFile("GUI.xml", "EnterLabel");
  if (base::cl_Window* field = FindByLabel("Label")) {
    field->m_Value.set_string(m_text.c_str());
    field->SetFlag(base::WF_REBUILD, true);
  }
}

bool cl_EnterLabelDialog::ProcessEvent(const base::Variant& event) {
  const char* name = event.get_label();
  if (!name || base::str::compare(name, "ButtonPressed") != 0) return true;
  base::tString<base::BaseString> button;
  event.get_attribute_string("ctrl_label", button);
  if (button == "Ok") {
    const base::cl_Window* field = FindByLabel("Label");
    const char* typed = field ? field->m_Value.get_string() : nullptr;
    m_text = typed ? typed : "";
    if (m_text.empty()) return true;
    if (!m_answer.is_element()) m_answer.set_element("LabelEntered");  // a caller's nil answer
    m_answer.attribute("label")->set_string(m_text.c_str());
  } else if (button == "Cancel") {
    m_answer.set_element("Cancel");
  } else {
    return true;
  }
  // Closed before the answer goes out: the listener may open the next dialog in its place.
  Close();
  if (m_listener) m_listener->ProcessEvent(m_answer);
  return true;
}

}  // namespace quillane
