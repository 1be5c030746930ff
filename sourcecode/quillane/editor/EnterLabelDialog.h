// cl_EnterLabelDialog: the small modal dialog (layout "EnterLabel") through which the editors ask
// for one line of text, as a rule the name of a new element. The caller hands it a ready answer;
// on "Ok" with a text the dialog sends that answer with "label" = the text to the listener, on
// "Cancel" a bare "Cancel", and closes. The caller makes it modal (base::cl_GUI::AddModalWindow).
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"

namespace quillane {

class cl_EnterLabelDialog : public base::cl_Panel {
 public:
  // A new dialog (not yet in a GUI) showing text in its field "Label"; listener is not owned and
  // must outlive it.
  static cl_EnterLabelDialog* Open(base::cl_Window* listener, base::Variant answer,
                                   base::tString<base::BaseString> text);
  cl_EnterLabelDialog(base::cl_Window* listener, base::Variant answer, base::tString<base::BaseString> text);

  // "Ok" with an empty field is ignored (the dialog stays open); every event is consumed.
  bool ProcessEvent(const base::Variant& event) override;

  const base::tString<base::BaseString>& GetText() const { return m_text; }

 private:
  base::Variant m_answer;
  base::tString<base::BaseString> m_text;
  base::cl_Window* m_listener;
};

}  // namespace quillane
