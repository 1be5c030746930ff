// The toolkit's basic controls: the clickable ones here (buttons, check boxes, radio buttons, tree
// toggles), the dragged and scrolled ones (sliders, scroll areas, string controls) in
// GUIScrollControls.h, included below. They hold input logic and state; skins derive from them
// and draw.
#pragma once

#include "base/gui/GUI.h"
#include "base/gui/GUIScrollControls.h"

namespace base {

// Raises "ButtonPressed" with "ctrl_label" = its label when released over, or on Enter when it is
// a default button; with WF_CLOSE_PANEL it then closes its panel.
class cl_Button : public cl_Window {
 public:
  cl_Button();  // flags: WF_CENTER_TEXT only
  ~cl_Button() override;
  void Activate() override;
  // Disabled: takes nothing. A press over it arms it; a release over it activates it (wherever
  // the press was); Enter activates a default button; the rest goes to the plain window.
  bool ProcessInput(ICMD& cmd) override;
  bool Init(StaticVariantIterator desc) override;  // the common keys; not pressed

  bool m_Pressed = false;  // the left button went down over it and has not come up
};

// Closes its panel; raises no event.
class cl_CloseButton : public cl_Button {
 public:
  void Activate() override;
};

// Toggles the integer it is bound to (0 becomes 1, anything else 0) on a release over it that
// follows a press over it. Takes no hover and gives its children nothing.
class cl_CheckBox : public cl_Window {
 public:
  // Bound to bound (not owned), or to its own m_Value when null; 16 x 16.
  explicit cl_CheckBox(Variant* bound = nullptr);
  ~cl_CheckBox() override;
  bool ProcessInput(ICMD& cmd) override;
  bool Init(StaticVariantIterator desc) override;

  bool m_Pressed = false;
  Variant* m_pBound;  // not owned
};

// One choice among the children of its parent: choosing it sets every sibling's value to 0, its
// own to 1 and the parent's value to its label.
class cl_RadioButton : public cl_Window {
 public:
  bool ProcessInput(ICMD& cmd) override;
  bool Init(StaticVariantIterator desc) override;  // the common keys, then 16 x 16
  void StoreValue();  // the parent's value becomes this button's label

  bool m_Pressed = false;
  bool m_PublishPending = true;  // the skin publishes a preset choice at its first render
};

// Opens and closes a branch of an edit control's tree: a press over it toggles the bound state and
// asks the enclosing edit control to rebuild its rows.
class cl_TreeToggle : public cl_Window {
 public:
  cl_TreeToggle();  // 16 x 16, bound to its own m_Value = 0
  bool ProcessInput(ICMD& cmd) override;
  bool IsOpen() const;  // the bound state is exactly the integer 1

  Variant* m_pState;  // not owned
};

}  // namespace base
