// The option rows, the tab drawing and the number texts.
#include "quillane/options/OptionRows.h"

#include <charconv>
#include <cmath>

#include "base/app/ICMD.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/text/Localised.h"
#include "win32dx9/SysInfo.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGreyText = 0xFF646464u;  // RGB (100, 100, 100): disabled rows
constexpr uint32_t kSliderOutline = 0xFF323232u;
constexpr uint32_t kDarkOutline = 0xFF191919u;
constexpr uint32_t kTabInactive = 0xFF8C8074u;  // RGB (140, 128, 116)

// Clamped before any float-to-int conversion: values come from files.
int ToIntClamped(float v, float lo, float hi) {
  if (!(v >= lo)) return static_cast<int>(lo);
  if (v > hi) return static_cast<int>(hi);
  return static_cast<int>(v);
}

std::string Format(float v, std::chars_format fmt) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, fmt, 6);
  if (r.ec != std::errc()) return "0";
  return std::string(buffer, r.ptr);
}

void DrawImageAt(const char* name, float x, float y) {
  if (gfx::cl_Image* image = gfx::ImageExists(name)) gfx::DrawImage(image, x, y, 1.0f);
}

float ImageWidth(const char* name) {
  gfx::cl_Image* image = gfx::ImageExists(name);
  return image ? static_cast<float>(image->GetWidth()) : 0.0f;
}

// Draws text with the current font's properties changed for the call, then restores them.
void DrawAlignedText(float x, float y, float w, float h, const char16_t* text, uint32_t colour, uint32_t outline,
                     const char* horizontal, const char* vertical) {
  const base::Variant saved = gfx::GetFontProperties();
  base::Variant properties;
  properties.set_element("p");
  properties.attribute("alignment")->set_string(horizontal);
  if (vertical) properties.attribute("v_alignment")->set_string(vertical);
  gfx::SetFontProperties(properties);
  gfx::DrawTextBoxOutlinedW(x, y, w, h, text, colour, outline);
  if (!saved.is_void()) gfx::SetFontProperties(saved);
}

}  // namespace

// ---- numbers

int IndexFromValue(float v, int n) {
  if (n <= 1) return 0;
  const float step = 1.0f / static_cast<float>(n - 1);
  const float half = step / 2;
  int i = 0;
  if (v > half) {
    // The running sum stays in single precision, so values between steps round as they always did.
    float s = 0;
    do {
      s += step;
      i += 1;
    } while (s + half < v && i < n - 1);
  }
  return i;
}

std::string FormatOptionG(float v) { return Format(v, std::chars_format::general); }

std::string FormatOptionF(float v) { return Format(v, std::chars_format::fixed); }

std::string FormatOptionD(int v) { return std::to_string(v); }

float ParseOptionNumber(const std::string& text) {
  float v = 0;
  const char* begin = text.c_str();
  while (*begin == ' ') ++begin;
  std::from_chars(begin, text.c_str() + text.size(), v);
  return v;
}

std::string OptionValueText(const base::Variant& v) {
  if (v.is_int()) return FormatOptionD(v.get_int());
  if (v.is_float() || v.is_double()) return FormatOptionG(v.get_float());
  const char* text = v.get_string();
  return text ? text : "";
}

// ---- tabs

void DrawOptionsTab(float x1, float y1, float x2, float y2, const std::u16string& name, bool selected) {
  const char* left = selected ? "options_header_left" : "options_header_left_disabled";
  const char* right = selected ? "options_header_right" : "options_header_right_disabled";
  const char* middle = selected ? "options_header_middle" : "options_header_middle_disabled";
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  if (gfx::ImageExists(left)) {
    DrawImageAt(left, x1, y1 - 2);
    x1 += ImageWidth(left) - 2;
  }
  if (gfx::ImageExists(right)) {
    const float w = ImageWidth(right);
    DrawImageAt(right, x2 - w, y1 - 2);
    x2 -= w - 2;
  }
  y1 -= 7;
  y2 -= 7;
  if (gfx::cl_Texture* texture = gfx::TextureExists(middle))
    gfx::DrawTextureQuad(base::tRectf(x1, y1, x2, y2), texture);
  DrawAlignedText(x1, y1, x2 - x1, y2 - y1, name.c_str(), selected ? kWhite : kTabInactive, kDarkOutline, "center",
                  "center");
}

// ---- cl_OptionsSlider

void cl_OptionsSlider::Setup(float x, float y, float w, float h, base::cl_Window* parent) {
  m_Rect = {x, y, w, h};
  m_Parent = parent;
  m_LastValue = 0;
  m_Value.set_float(0.0f);
  if (gfx::cl_Image* handle = gfx::ImageExists("options_slider_handle")) {
    m_HandleW = static_cast<float>(handle->GetWidth());
    m_HandleH = static_cast<float>(handle->GetHeight());
  }
  const float px = parent ? parent->m_AbsRect.left : 0.0f;
  const float py = parent ? parent->m_AbsRect.top : 0.0f;
  base::cl_Window::UpdateRect(px, py);
  m_LastLeft = m_AbsRect.left;
  m_HandleX = ClampHandleX(m_AbsRect.left);
  m_HandleY = m_AbsRect.top + 5;
  m_HandleX2 = m_HandleX + m_HandleW;
  m_HandleY2 = m_HandleY + m_HandleH;
  m_bDragging = false;
}

float cl_OptionsSlider::GetValue() const { return m_Value.get_float(); }

void cl_OptionsSlider::SetValue(float v) { m_Value.set_float(v); }

float cl_OptionsSlider::ClampHandleX(float x) const {
  if (x < m_AbsRect.left + 10) return m_AbsRect.left + 10;
  if (x > m_AbsRect.right - m_HandleW - 10) return m_AbsRect.right - m_HandleW - 10;
  return x;
}

float cl_OptionsSlider::ValueFromHandle() const {
  const float track = (m_AbsRect.right - m_AbsRect.left) - m_HandleW - 20;
  if (!(track > 0)) return 0.0f;
  return (m_HandleX - (m_AbsRect.left + 10)) / track;
}

// The inverse of ValueFromHandle, so pressing and releasing the handle keeps the value.
float cl_OptionsSlider::HandleXFromValue(float v) const {
  const float track = (m_AbsRect.right - m_AbsRect.left) - m_HandleW - 20;
  return ClampHandleX(m_AbsRect.left + 10 + v * (track > 0 ? track : 0));
}

void cl_OptionsSlider::UpdateRect(float px, float py) {
  base::cl_Window::UpdateRect(px, py);
  const float v = GetValue();
  if (v != m_LastValue || m_AbsRect.left != m_LastLeft) {
    m_LastValue = v;
    m_LastLeft = m_AbsRect.left;
    m_HandleX = HandleXFromValue(v);
  }
  m_HandleY = m_AbsRect.top + 5;
  m_HandleX2 = m_HandleX + m_HandleW;
  m_HandleY2 = m_HandleY + m_HandleH;
}

void cl_OptionsSlider::DragTo(float x) {
  m_HandleX = ClampHandleX(x);
  m_HandleX2 = m_HandleX + m_HandleW;
  m_HandleY2 = m_HandleY + m_HandleH;
  if (m_bImmediateUpdate) {
    SetValue(ValueFromHandle());
    m_LastValue = GetValue();
  }
}

// The nearest k / (steps - 1); a tie goes to the lower k. Computed, not searched: steps come from
// files and may be huge.
float cl_OptionsSlider::SnapToStep(float v) const {
  if (!IsStepped()) return v;
  const float last = m_Steps - 1;
  float clamped = v;
  if (!(clamped >= 0)) clamped = 0;
  if (clamped > 1) clamped = 1;
  const float k = std::ceil(clamped * last - 0.5f);
  return (k < 0 ? 0 : (k > last ? last : k)) / last;
}

bool cl_OptionsSlider::ProcessInput(base::ICMD& cmd) {
  if (HasFlag(base::WF_DISABLED) || HasFlag(base::WF_HIDDEN)) return false;
  const float mx = cmd.mouseX, my = cmd.mouseY;
  const base::st_ScreenRect& r = m_AbsRect;
  switch (cmd.type) {
    case base::ICMD::MOUSE_MOVE:
      if (m_bDragging && mx >= r.left && mx <= r.right) {
        DragTo(mx - 10);
        return true;
      }
      return false;
    case base::ICMD::LEFT_DOWN:
      if (mx >= m_HandleX && mx < m_HandleX2 && my >= m_HandleY && my < m_HandleY2) {
        m_bDragging = true;
        return true;
      }
      if (mx >= r.left && mx < r.right && my >= r.top && my < r.bottom) {
        if (!IsStepped()) {
          DragTo(mx - 10);
        } else {
          const float step = 1.0f / (m_Steps - 1);
          float v = GetValue();
          if (mx > m_HandleX2) v += step;
          else if (mx < m_HandleX) v -= step;
          SetValue(v < 0 ? 0.0f : (v > 1 ? 1.0f : v));
        }
        return true;
      }
      return false;
    case base::ICMD::LEFT_UP:
      if (!m_bDragging) return false;
      SetValue(ValueFromHandle());
      m_bDragging = false;
      if (IsStepped()) SetValue(SnapToStep(GetValue()));
      return true;
    default:
      return false;
  }
}

bool cl_OptionsSlider::GetValueText(std::u16string& out) const {
  const base::Variant* type = m_OutputFormat.get_attribute("type");
  const char* kind = type ? type->get_string() : nullptr;
  if (!kind) return false;
  const float v = m_bImmediateUpdate ? GetValue() : ValueFromHandle();
  const std::string k = kind;
  auto widen = [](const std::string& s) { return std::u16string(s.begin(), s.end()); };
  const auto* lists = dynamic_cast<const i_OptionLists*>(m_Parent);
  out.clear();
  if (k == "Percent") {
    out = widen(FormatOptionD(ToIntClamped(v * 100, -1e6f, 1e6f)) + " ") + Localised("#optio0_720 Percent").c_str();
  } else if (k == "Text") {
    const int i = ToIntClamped(m_Steps * v - 0.5f, -1, 1e6f);
    const int n = m_OutputFormat.size();
    if (i >= 0 && i < n) {
      const char* key = base::get_string(m_OutputFormat[i].get_attribute("value"));
      if (key) out = Localised(key).c_str();
    }
  } else if (k == "Resolution") {
    const sysinfo::st_DisplayMode* mode = lists ? lists->GetResolution(lists->ResolutionIndexFromValue(v)) : nullptr;
    if (mode) out = widen(FormatOptionD(mode->width) + "x" + FormatOptionD(mode->height));
  } else if (k == "RefreshRate") {
    // A mode whose rate the system does not tell reports 0: the screen's own rate, not "0 Hz".
    const int rate = lists ? lists->GetRefreshRate(lists->RefreshIndexFromValue(v)) : -1;
    if (rate > 0)
      out = widen(FormatOptionD(rate) + " Hz");
    else if (rate == 0)
      out = Localised("#optio0_721 Default").c_str();
  } else {
    out = widen(FormatOptionF(v));
  }
  return true;
}

void cl_OptionsSlider::Render(float px, float py) {
  if (HasFlag(base::WF_HIDDEN)) return;
  UpdateRect(px, py);
  const bool disabled = HasFlag(base::WF_DISABLED);
  auto name = [disabled](const char* base) { return std::string(base) + (disabled ? "_disabled" : ""); };
  float x1 = m_AbsRect.left, y1 = m_AbsRect.top, x2 = m_AbsRect.right, y2 = m_AbsRect.bottom;
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  const std::string left = name("options_slider_left"), right = name("options_slider_right");
  if (gfx::ImageExists(left.c_str())) {
    DrawImageAt(left.c_str(), x1, y1 - 3);
    x1 += ImageWidth(left.c_str());
  }
  if (gfx::ImageExists(right.c_str())) {
    DrawImageAt(right.c_str(), x2 - ImageWidth(right.c_str()), y1 - 3);
    x2 -= ImageWidth(right.c_str());
  }
  if (gfx::cl_Texture* middle = gfx::TextureExists(name("options_slider_middle").c_str()))
    gfx::DrawTextureQuad(base::tRectf(x1, y1 - 1, x2, y2 - 1), middle);
  DrawImageAt(name("options_slider_handle").c_str(), m_HandleX, m_HandleY);

  const uint32_t colour = disabled ? kGreyText : kWhite;
  const base::st_ScreenRect& a = m_AbsRect;
  const char16_t* label = win32dx9::LocalizeCaption(m_Text);
  const float textHeight = gfx::GetWrappedTextHeightW(label, a.right - a.left);
  gfx::DrawTextOutlinedW(static_cast<int>(a.left), static_cast<int>(a.top - textHeight), label, colour,
                         kSliderOutline);
  std::u16string valueText;
  if (GetValueText(valueText))
    DrawAlignedText(a.left, a.bottom, a.right - a.left, a.bottom - a.top, valueText.c_str(), colour, kSliderOutline,
                    "right", nullptr);
}

// ---- cl_OptionsCheckBox

cl_OptionsCheckBox::cl_OptionsCheckBox() {
  gfx::cl_Image* box = gfx::ImageExists("options_checkbox");
  m_Rect.w = box ? static_cast<float>(box->GetWidth()) : 0.0f;
  m_Rect.h = box ? static_cast<float>(box->GetHeight()) : 0.0f;
}

bool cl_OptionsCheckBox::ProcessInput(base::ICMD& cmd) {
  if (HasFlag(base::WF_DISABLED)) return true;
  if (cmd.type == base::ICMD::LEFT_DOWN && HitTest(cmd)) {
    m_Pressed = true;
    return true;
  }
  if (cmd.type == base::ICMD::LEFT_UP && m_Pressed) {
    m_Pressed = false;
    if (HitTest(cmd)) m_Value.set_int(m_Value.get_int() == 0 ? 1 : 0);
    return true;
  }
  return false;
}

void cl_OptionsCheckBox::Render(float px, float py) {
  if (HasFlag(base::WF_HIDDEN)) return;
  UpdateRect(px, py);
  const bool disabled = HasFlag(base::WF_DISABLED);
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  DrawImageAt(disabled ? "options_checkbox_disabled" : "options_checkbox", m_AbsRect.left, m_AbsRect.top);
  if (m_Value.get_int() != 0)
    DrawImageAt(disabled ? "options_checkbox_check_disabled" : "options_checkbox_check", m_AbsRect.left,
                m_AbsRect.top);
  gfx::DrawTextOutlinedW(static_cast<int>(m_AbsRect.left + 60), static_cast<int>(m_AbsRect.top),
                         win32dx9::LocalizeCaption(m_Text), disabled ? kGreyText : kWhite, kDarkOutline);
}
