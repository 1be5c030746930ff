// The default skin's text and value controls: the string control with its caret and key repeat,
// the edit control's sunken frame, the slider and its handle, the scroll area's clipping and the
// image box that shows an image handed to it by a "SetImage" event.
#pragma once

#include "base/app/ICMD.h"
#include "base/gui/GUIEdit.h"

namespace gfx {
class cl_Image;
}

namespace win32dx9 {

// One line of text, 16 high and as wide as its text + 16, re-measured every frame; an editable
// line no wider than its field, its text clipped there and scrolled to the caret. A selected part
// of the text is drawn on grey. A key command while focused edits the bound text; a held key
// repeats after 0.75 s and then every 0.08 s.
// The repeat stops at a key release that reaches it or the GUI root, when the focus leaves it,
// or when it or a parent is hidden.
class cl_SystemStringCtrl : public base::cl_StringCtrl {
 public:
  static constexpr float kRepeatDelay = 0.75f;
  static constexpr float kRepeatInterval = 0.08f;
  static constexpr float kFieldInset = 4.0f;  // between an editable line's text and its field's right edge

  cl_SystemStringCtrl();  // w 0, h 16
  ~cl_SystemStringCtrl() override;
  void Render(float px, float py) override;
  void Update(float dt) override;  // key repeat only: no tooltip timing, no children
  bool ProcessInput(base::ICMD& cmd) override;
  // The caret index for a mouse x: 0 left of the control, else the first prefix whose width
  // reaches x, else the text's length.
  int GetCharIndexAt(int x) override;

  float m_RepeatTimer = 0;
  bool m_bKeyHeld = false;
  base::ICMD m_RepeatCmd;

 private:
  void ApplyKey(const base::ICMD& cmd);  // one edit of the bound text at the caret
  bool IsShown() const;                  // neither it nor a parent is hidden
  uint32_t m_releaseSerial = 0;          // the GUI root's key-release serial when the key went down
  float m_Scroll = 0;                    // pixels of an editable line's text left of its field
};

// A sunken white frame under the edit control's rows.
class cl_SystemEdit : public base::cl_Edit {
 public:
  void Render(float px, float py) override;
};

// A black-edged bar with its handle; nothing at all while disabled.
class cl_SystemSlider : public base::cl_Slider {
 public:
  void Render(float px, float py) override;
  uint32_t m_BarColor = 0xFF555555u;
};

class cl_SystemSliderHandle : public base::cl_SliderHandle {
 public:
  void Render(float px, float py) override;  // raised, with the dot texture in the middle
};

// Clips through the viewport: drawing stays in absolute window coordinates.
class cl_SystemScrollArea : public base::cl_ScrollArea {
 public:
  void SetClipRect(const base::st_ScreenRect* r) override;
};

// An image over a checkerboard inside a two-pixel black border, shrunk to fit but never enlarged.
class cl_SystemStaticImage : public base::cl_Window {
 public:
  void Render(float px, float py) override;
  // "SetImage": the image becomes the pointer in "ptr" (none: cleared); true. Others: false, not
  // passed on.
  bool ProcessEvent(const base::Variant& event) override;

  gfx::cl_Image* m_pImage = nullptr;  // not owned; the sender replaces it before freeing it
};

}  // namespace win32dx9
