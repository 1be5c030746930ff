// cl_SelectItemDialog (layout "SelectItem"): picks one entry of a list that the opener fills
// ("Items") and answers "AddElement" {category} with a "Node" {label, file = the entry} on "Ok";
// "Cancel" sends nothing. The scene editor adds navigation meshes through it. The caller fills
// the list and makes the dialog modal; it closes itself.
#pragma once

#include "base/String.h"
#include "base/gui/GUI.h"

namespace quillane {

class cl_SelectItemDialog : public base::cl_Panel {
 public:
  // A new dialog (not yet in a GUI) answering opener in category; opener is not owned and must
  // outlive it.
  static cl_SelectItemDialog* Open(base::cl_Window* opener, const char* category, const char* elementLabel);
  static cl_SelectItemDialog* Create(base::cl_Window* opener, const char* category, const char* elementLabel) {
    return Open(opener, category, elementLabel);
  }
  cl_SelectItemDialog(base::cl_Window* opener, const char* elementLabel);  // loads "SelectItem"

  // "SelectionChanged", "Ok" and "Cancel"; every event is consumed.
  bool ProcessEvent(const base::Variant& event) override;

  const base::tString<base::BaseString>& GetSelection() const { return m_selection; }

 private:
  base::tString<base::BaseString> m_selection;
  base::tString<base::BaseString> m_elementLabel;
  base::tString<base::BaseString> m_category;
  base::cl_Window* m_opener;
};

}  // namespace quillane
