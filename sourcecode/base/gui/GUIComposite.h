// The composite controls that lay out their own children: the title bar that drags its parent and
// may carry a close button, the sheet (a frame sized to its contents under an optional title bar),
// the popup menu that stacks its entries, the menu folder that opens a sub-menu on hover, and the
// tree control that shows one branch of an edit control's tree. Skins draw them.
#pragma once

#include "base/gui/GUIBasicControls.h"

namespace base {

// Drags the window it belongs to; a release inside raises the event named by its text.
class cl_TitleBar : public cl_DragableWindow {
 public:
  ~cl_TitleBar() override;
  // The close button takes its commands first; a drag step moves the parent. False unless the
  // close button took the command, so the command continues to the following siblings.
  bool ProcessInput(ICMD& cmd) override;
  // "close_button" = 1 creates the child "CloseButton"; then the common keys. Always true.
  bool Init(StaticVariantIterator desc) override;

  cl_Window* m_pCloseButton = nullptr;  // a child, or null
};

// A framed window: the child "Frame" at (0, 20) holds the description's sub-elements, the child
// "TitleBar" (only with a "text") sits above it. The size is computed once, in Init.
class cl_Sheet : public cl_Window {
 public:
  ~cl_Sheet() override;
  void Render(float px, float py) override;  // keeps title bar and frame fitted to the sheet
  bool Init(StaticVariantIterator desc) override;  // false for a description that is no element

  cl_Window* m_pFrame = nullptr;     // a child, or null when "Frame" is not registered
  cl_Window* m_pTitleBar = nullptr;  // a child, or null
};

// A popup: its entries stacked in order, all as wide as the widest (at least 80, even).
class cl_Menu : public cl_Window {
 public:
  ~cl_Menu() override;
  // Builds the entries (a "TitleBar" first when the description has a "text") and stacks them;
  // the flags become exactly WF_POPUP. False for a description that is no element.
  bool Init(StaticVariantIterator desc) override;
};

// Opens its sub-menu (the first child) while the mouse is over it, keeps it open while the mouse
// is over the sub-menu, and closes it on any command elsewhere.
class cl_MenuFolder : public cl_Window {
 public:
  ~cl_MenuFolder() override;
  bool ProcessInput(ICMD& cmd) override;
  // Reads only "text"; the hidden sub-menu "Menu" is built from the same description.
  bool Init(StaticVariantIterator desc) override;
};

// One branch of an edit control's tree: a toggle bound to the element's "_open" and a string row
// bound to its "value".
class cl_TreeCtrl : public cl_Window {
 public:
  cl_TreeCtrl();  // bound to its own m_Value
  ~cl_TreeCtrl() override;
  bool Init(StaticVariantIterator desc) override;  // creates the toggle and the row; always true
  // Draws the children, then takes the width of its own row (toggle and name): a closed branch's
  // rectangle is that row, so its middle is on its name.
  void Render(float px, float py) override;
  bool IsOpen();  // "_open" of the bound element (created when missing) is exactly the integer 1

  Variant* m_pBound;  // not owned
  cl_Window* m_pToggle = nullptr;  // a child, or null
  cl_Window* m_pString = nullptr;  // a child, or null
};

}  // namespace base
