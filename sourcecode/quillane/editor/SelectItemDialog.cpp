// The item selection dialog.
#include "quillane/editor/SelectItemDialog.h"

#include "base/data/Variant.h"
#include "base/system.h"

namespace quillane {

cl_SelectItemDialog* cl_SelectItemDialog::Open(base::cl_Window* opener, const char* category,
                                               const char* elementLabel) {
  auto* dialog = new cl_SelectItemDialog(opener, elementLabel);
  dialog->m_category = category;
  return dialog;
}

cl_SelectItemDialog::cl_SelectItemDialog(base::cl_Window* opener, const char* elementLabel)
    : m_elementLabel(elementLabel), m_opener(opener) {
  LoadFromFile("GUI.xml", "SelectItem");
  if (base::cl_Window* shown = FindByLabel("Selection")) shown->m_Value.set_string(m_selection.c_str());
}

bool cl_SelectItemDialog::ProcessEvent(const base::Variant& event) {
  const char* name = event.get_label();
  if (name && base::str::compare(name, "SelectionChanged") == 0) {
    base::cl_Window* items = FindByLabel("Items");
    m_selection = items ? items->GetSelectedLabel() : base::tString<base::BaseString>();
    if (!m_selection.empty())
      if (base::cl_Window* shown = FindByLabel("Selection")) shown->m_Value.set_string(m_selection.c_str());
    return true;
  }
  base::tString<base::BaseString> button;
  if (!name || base::str::compare(name, "ButtonPressed") != 0 || !event.get_attribute_string("ctrl_label", button))
    return true;
  if (button == "Ok") {
    base::Variant answer;
    answer.set_element("AddElement");
    answer.attribute("category")->set_string(m_category.c_str());
    base::Variant& node = answer.add_element("Node");
    node.attribute("label")->set_string(m_elementLabel.c_str());
    node.attribute("file")->set_string(m_selection.c_str());
    Close();
    if (m_opener) m_opener->ProcessEvent(answer);
  } else if (button == "Cancel") {
    Close();
  }
  return true;
}

}  // namespace quillane
