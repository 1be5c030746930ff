// The character viewer's own small windows, drawn with the immediate drawing functions instead of
// the skinned controls: cl_SimpleWindow is one row of its lists (a folder with a "+"/"-" box, a
// clickable line, a header without frame, or a value bar with its number) and cl_SimpleScrollBar
// the thumb that scrolls its left column. A row's label is its text, so scripted clicks find it.
#pragma once

#include <cstdint>

#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "graphics/draw/Draw.h"

namespace quillane {

class cl_SimpleWindow : public base::cl_Window {
 public:
  // Style bits (ORDER ROWSTYLE).
  enum : uint32_t {
    STYLE_FOLDER_CLOSED = 1,  // "+" box
    STYLE_FOLDER_OPEN = 2,    // "-" box
    STYLE_NO_FRAME = 4,
    STYLE_VALUE = 8,  // a bar showing the event's float "value" between minimum and maximum
  };
  static constexpr float kHeight = 16.0f;

  // A row 16 pixels high at (x, y) relative to its parent; the value Variant is a copy of event.
  cl_SimpleWindow(const base::Variant& event, const char* label, const char* text, float x, float y, float width,
                  uint32_t style);
  // The same row made anew in place; the text's cut to the row is kept while text and width stay.
  void Set(const base::Variant& event, const char* label, const char* text, float x, float y, float width,
           uint32_t style);

  void Render(float px, float py) override;
  // A press hands the event (a value row first sets "value" from the mouse) to the parent; a drag
  // with the left button inside a value row does the same. The row may be deleted by its parent
  // while it hands the event on, so nothing of it is touched afterwards.
  bool ProcessInput(base::ICMD& cmd) override;

  uint32_t style = 0;
  float minimum = 0.0f;
  float maximum = 0.0f;

 private:
  void SetValueFromMouse(const base::ICMD& cmd);

  gfx::cl_ShortenedText m_shown;  // the text cut to the row
};

class cl_SimpleScrollBar : public base::cl_Window {
 public:
  // The thumb, only while the content does not fit.
  void Render(float px, float py) override;
  // A press inside starts a drag, a release ends it (and is passed on), a move while dragging
  // moves the position by dy / height. Nothing while the content fits.
  bool ProcessInput(base::ICMD& cmd) override;
  // (total − visible) × position while the content does not fit, else 0.
  float GetOffset() const;

  bool dragging = false;
  float visible = 0.0f;   // pixels of content that fit
  float total = 0.0f;     // pixels of the whole content
  float position = 0.0f;  // 0 start .. 1 end
};

}  // namespace quillane
