// cl_SelectLightTypeDialog (layout "SelectLightType"): the first step of adding a light to the
// edited scene. The user picks one of four types in "LightTypeList"; "Ok" builds the light's
// "AddElement" {"category" "Lights"} and hands it on: the shadow types straight to the light
// placement tool, ambient and directional lights first to the file browser for their picture.
// The dialog itself adds nothing. The caller makes it modal over a visible opener.
#pragma once

#include "base/String.h"
#include "base/gui/GUI.h"

namespace quillane {

class cl_SelectLightTypeDialog : public base::cl_Panel {
 public:
  // A new dialog (not yet in a GUI) preselecting "ambient light" when proposedType is "ambient",
  // else "directional light"; opener is not owned and must outlive the dialog and its next step.
  static cl_SelectLightTypeDialog* Open(base::cl_Window* opener, const char* proposedType);
  static cl_SelectLightTypeDialog* Create(base::cl_Window* opener, const char* proposedType) {
    return Open(opener, proposedType);
  }
  cl_SelectLightTypeDialog(base::cl_Window* opener, const char* proposedType);

  // "SelectionChanged", "Ok" and "Cancel"; every event is consumed.
  bool ProcessEvent(const base::Variant& event) override;

  const base::tString<base::BaseString>& GetSelectedType() const { return m_selectedType; }

 private:
  void Accept();

  base::tString<base::BaseString> m_selectedType;
  base::cl_Window* m_opener;
};

}  // namespace quillane
