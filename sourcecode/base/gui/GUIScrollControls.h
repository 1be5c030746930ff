// The dragged and scrolled controls: draggable windows (title bars, slider handles), sliders, the
// scroll area that shows a larger client window through a clipped viewport, and the string control
// (one line of text bound to a Variant, selectable as a list row, editable when focused).
// Included through GUIBasicControls.h.
#pragma once

#include "base/gui/GUI.h"

namespace base {

// Follows the mouse from a press over it until the next release anywhere, summing the movement
// for its owner to consume.
class cl_DragableWindow : public cl_Window {
 public:
  // One drag step: false on the ending release and for commands it does not use; true for the
  // press that starts a drag and for every mouse move during it (inside or outside).
  bool ProcessDrag(ICMD& cmd);

  bool m_Dragging = false;
  float m_LastX = 0, m_LastY = 0;  // mouse position at the last drag step
  float m_DragX = 0, m_DragY = 0;  // movement not yet consumed
};

// The handle of a slider (its parent). While the mouse is beyond an end of the slider the handle
// stays pinned there and the movement keeps summing; back over the slider, the sum is added and
// the position clamped. Its position along the slider is the slider's value.
class cl_SliderHandle : public cl_DragableWindow {
 public:
  cl_SliderHandle();  // 16 x 16 at (0, 0)
  bool ProcessInput(ICMD& cmd) override;
};

class cl_Slider : public cl_Window {
 public:
  // Creates the child "SliderHandle" as m_pHandle; reads nothing. Always true.
  bool Init(StaticVariantIterator desc) override;

  cl_Window* m_pHandle = nullptr;  // a child
};

// Shows its client window (the first child, "ClientWindow") scrolled by the offsets, clipped to the
// area, with a vertical slider when the content is taller than the area. The horizontal slider is
// kept disabled. Skins implement SetClipRect.
class cl_ScrollArea : public cl_Window {
 public:
  cl_ScrollArea();  // offsets 0; creates the client window
  void GetSelectedChildren(tWindowList& out) override;  // the client's
  void Render(float px, float py) override;
  // The sliders first (a drag step updates the offset), then the client: key commands and mouse
  // moves wherever the mouse is, buttons only over the area.
  bool ProcessInput(ICMD& cmd) override;
  // Creates the two "Slider" children, both disabled; ignores the description. Always true.
  bool Init(StaticVariantIterator desc) override;
  // Clips drawing to r (left, top, right, bottom); null switches clipping off.
  virtual void SetClipRect(const st_ScreenRect* r) = 0;

  cl_Window* m_pHSlider = nullptr;  // a child; null until Init, or once deleted
  cl_Window* m_pVSlider = nullptr;  // a child; null until Init
  cl_Window* m_pClient = nullptr;   // the first child; null once deleted
  float m_ContentW = 0, m_ContentH = 0;  // the client's bounding size, measured at each render
  float m_ScrollX = 0, m_ScrollY = 0;    // scroll offsets in pixels

 private:
  // A handler may close any window, a part of this area included: forget parts no longer listed.
  void ForgetLostParts();
};

// One line of text: the string of the Variant it is bound to. A press selects it as a row of the
// enclosing edit control (Ctrl toggles; without WF_MULTIPLE the other rows are cleared); an
// editable one takes the focus and places the caret. While focused, key commands edit the text.
class cl_StringCtrl : public cl_Window {
 public:
  cl_StringCtrl();  // bound to its own m_Value
  ~cl_StringCtrl() override;
  void Render(float px, float py) override;  // places its rectangle; draws nothing, no children
  bool ProcessInput(ICMD& cmd) override;
  // The caret index for a mouse x relative to the text's start; 0 here, skins measure.
  virtual int GetCharIndexAt(int x);

  // Enter and Escape: keys a text line leaves to its dialog's default and cancel buttons.
  static bool IsDialogKey(const ICMD& cmd);
  // Applies one key command to text and *caret: a character is inserted, Backspace and Delete
  // remove, Left and Right move; Enter and Escape do nothing. The caret is first clamped to
  // [0, length], so -1 (no caret placed yet) and a caret past a value that shrank are safe.
  // With anchor, the text between it and the caret is selected: a character replaces it,
  // Backspace and Delete remove it, Left and Right end it at its start or end; Ctrl+A selects
  // all. Any other edit ends the selection (*anchor = -1).
  static void EditText(tString<BaseString>& text, const ICMD& cmd, int* caret, int* anchor = nullptr);
  // Raises "SelectionChanged" with "ctrl_label" = the owner edit's label and "element_label" = own.
  void NotifySelectionChanged();

  Variant* m_pBound;  // not owned
};

}  // namespace base
