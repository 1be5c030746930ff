// The viewer's rows and scroll bar.
#include "quillane/editor/SimpleWindow.h"

#include <algorithm>
#include <cstdio>

#include "base/app/ICMD.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"

namespace quillane {

namespace {

constexpr uint32_t kFrame = 0xFF646464u;  // (100, 100, 100)
constexpr uint32_t kText = 0xFFC8C8C8u;   // (200, 200, 200)
constexpr uint32_t kBar = 0xFF000000u;
constexpr float kBoxWidth = 16.0f;
constexpr float kTextGap = 3.0f;  // between a row's frame and its text

int Trunc(float v) { return static_cast<int>(v); }

}  // namespace

// ---- cl_SimpleWindow

cl_SimpleWindow::cl_SimpleWindow(const base::Variant& event, const char* label, const char* text, float x, float y,
                                 float width, uint32_t rowStyle) {
  Set(event, label, text, x, y, width, rowStyle);
}

void cl_SimpleWindow::Set(const base::Variant& event, const char* label, const char* text, float x, float y,
                          float width, uint32_t rowStyle) {
  style = rowStyle;
  minimum = maximum = 0.0f;
  m_Rect = {x, y, width, kHeight};
  m_Label = label;
  m_Text = text;
  m_Value = event;
}

void cl_SimpleWindow::Render(float px, float py) {
  UpdateRect(px, py);
  const base::st_ScreenRect& r = m_AbsRect;
  if (!(style & STYLE_NO_FRAME)) gfx::DrawRect(Trunc(r.left), Trunc(r.top), Trunc(r.right), Trunc(r.bottom), kFrame);
  float textX = r.left + kTextGap;
  float right = r.right;  // where the text must end, left of the value's number
  if (style & (STYLE_FOLDER_CLOSED | STYLE_FOLDER_OPEN)) {
    gfx::DrawText(Trunc(r.left + kTextGap), Trunc(r.top), (style & STYLE_FOLDER_CLOSED) ? "+" : "-", kText);
    gfx::DrawLine(r.left + kBoxWidth, r.top, r.left + kBoxWidth, r.bottom, kFrame);
    textX += kBoxWidth;
  }
  if (style & STYLE_VALUE) {
    float v = 0.0f;
    m_Value.get_attribute_float("value", v);
    // A zero range (a clip of length 0) shows an empty bar rather than dividing by zero.
    const float range = maximum - minimum;
    const float f = range != 0.0f ? std::clamp((v - minimum) / range, 0.0f, 1.0f) : 0.0f;
    gfx::FillRect(r.left + 2.0f, r.top + 2.0f, r.left + 2.0f + (r.right - r.left - 4.0f) * f, r.bottom - 2.0f, kBar);
    char number[32];
    std::snprintf(number, sizeof number, "%.02f", static_cast<double>(v));
    right -= gfx::GetTextWidth(number);
    gfx::DrawText(Trunc(right), Trunc(r.top), number, kText);
  }
  // A long clip name is cut to the row: past it, it ran under the scroll bar.
  gfx::DrawText(Trunc(textX), Trunc(r.top), m_shown.Get(m_Text.c_str(), right - kTextGap - textX).c_str(), kText);
}

void cl_SimpleWindow::SetValueFromMouse(const base::ICMD& cmd) {
  const float width = m_AbsRect.right - m_AbsRect.left;
  const float f = width > 0.0f ? std::clamp((static_cast<float>(cmd.mouseX) - m_AbsRect.left) / width, 0.0f, 1.0f)
                               : 0.0f;
  m_Value.attribute("value")->set_float(minimum + f * (maximum - minimum));
}

bool cl_SimpleWindow::ProcessInput(base::ICMD& cmd) {
  const bool press = cmd.type == base::ICMD::LEFT_DOWN;
  const bool drag = cmd.type == base::ICMD::MOUSE_MOVE && (style & STYLE_VALUE) && base::sys::MouseButton(0);
  if (!(press || drag) || !HitTest(cmd)) return false;
  if (style & STYLE_VALUE) SetValueFromMouse(cmd);
  // The parent may delete this row while it handles the event (a folder rebuilds the rows).
  cl_Window* parent = m_Parent;
  const base::Variant event = m_Value;
  if (parent) parent->ProcessEvent(event);
  return true;
}

// ---- cl_SimpleScrollBar

float cl_SimpleScrollBar::GetOffset() const { return total > visible ? (total - visible) * position : 0.0f; }

void cl_SimpleScrollBar::Render(float px, float py) {
  UpdateRect(px, py);
  if (!(visible < total)) return;
  const float r = visible / total;
  const float h = m_Rect.h;
  const float y0 = m_AbsRect.top + (1.0f - r) * h * position;
  gfx::FillRect(m_AbsRect.left + 2.0f, y0, m_AbsRect.right - 2.0f, y0 + r * h, kFrame);
}

bool cl_SimpleScrollBar::ProcessInput(base::ICMD& cmd) {
  if (!(total > visible)) return false;
  switch (cmd.type) {
    case base::ICMD::LEFT_DOWN:
      if (!HitTest(cmd)) return false;
      dragging = true;
      return true;
    case base::ICMD::LEFT_UP:
      dragging = false;
      return false;  // the release still reaches the other windows
    case base::ICMD::MOUSE_MOVE: {
      if (!dragging || m_Rect.h <= 0.0f) return false;
      const float dy = static_cast<float>(static_cast<int16_t>(cmd.extra[1]));
      position = std::clamp(position + dy / m_Rect.h, 0.0f, 1.0f);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace quillane
