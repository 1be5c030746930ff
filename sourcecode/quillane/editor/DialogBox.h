// cl_DialogBox: the editors' question box (layout "DialogBox"): a title, a text and two buttons
// whose texts the caller chooses. The pressed button reaches the listener as an event labelled
// with the title, so one listener tells several questions apart; the layout's buttons close the
// box. The caller makes it modal.
#pragma once

#include "base/String.h"
#include "base/gui/GUI.h"

namespace quillane {

class cl_DialogBox : public base::cl_Panel {
 public:
  // A new box (not yet in a GUI) with the title on "TitleBar", the text on "text" and the button
  // texts on "button0" and "button1"; listener is not owned and must outlive it.
  static cl_DialogBox* Open(base::cl_Window* listener, base::tString<base::BaseString> title,
                            base::tString<base::BaseString> text, base::tString<base::BaseString> button0,
                            base::tString<base::BaseString> button1);
  explicit cl_DialogBox(base::cl_Window* listener);  // loads "DialogBox"

  // A "ButtonPressed" with "ctrl_label" goes to the listener as <title> {ctrl_label}; the
  // listener's answer is the result. Other events: false.
  bool ProcessEvent(const base::Variant& event) override;

 protected:
  // The title on "TitleBar", the text on "text" (the box widened to it) and the button texts.
  void SetTexts(const base::tString<base::BaseString>& title, const base::tString<base::BaseString>& text,
                const base::tString<base::BaseString>& button0, const base::tString<base::BaseString>& button1);

 private:
  base::cl_Window* m_listener;
};

}  // namespace quillane
