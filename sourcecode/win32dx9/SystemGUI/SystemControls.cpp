// Drawing and size rules of the skin's button-like and frame-like controls. Text positions are
// truncated to whole pixels so glyphs land on the pixel grid.
#include "win32dx9/SystemGUI/SystemControls.h"

#include <algorithm>

#include "graphics/draw/Draw.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace win32dx9 {

namespace {

inline int Px(float v) { return static_cast<int>(v); }

uint32_t TextColour(const base::cl_Window& w) {
  return s_SkinColors[w.HasFlag(base::WF_DISABLED) ? SKIN_MID : SKIN_BLACK];
}

float CaptionWidth(const base::cl_Window& w) { return gfx::GetTextWidthW(LocalizeCaption(w.m_Text)); }

constexpr float kCheckCaptionLeft = 20;  // a check box's caption, from its left edge

}  // namespace

base::tRectf AbsRectOf(const base::cl_Window& w) {
  return base::tRectf(w.m_AbsRect.left, w.m_AbsRect.top, w.m_AbsRect.right, w.m_AbsRect.bottom);
}

// ---- buttons

bool cl_SystemButton::Init(base::StaticVariantIterator desc) {
  base::cl_Button::Init(desc);
  m_Rect.w = CaptionWidth(*this) + 20;
  m_Rect.h = 21;
  return true;
}

void cl_SystemButton::Render(float px, float py) {
  const uint32_t face = s_SkinColors[m_Pressed ? SKIN_DARK : SKIN_LIGHT];
  UpdateRect(px, py);
  const base::st_ScreenRect& a = m_AbsRect;
  if (HasFlag(base::WF_DEFAULT)) gfx::FillRect(a.left - 1, a.top - 1, a.right + 1, a.bottom + 1, s_SkinColors[SKIN_BLACK]);
  cl_SystemGUI::DrawBevelFrame(AbsRectOf(*this), face, false);
  const char16_t* text = LocalizeCaption(m_Text);
  const float tw = gfx::GetTextWidthW(text);
  const float x = HasFlag(base::WF_CENTER_TEXT) ? (a.left + a.right) * 0.5f - tw * 0.5f : a.left + 4;
  gfx::DrawTextW(Px(x), Px(a.top + 2), text, TextColour(*this));
}

bool cl_SystemMenuEntry::Init(base::StaticVariantIterator desc) {
  cl_SystemButton::Init(desc);
  SetFlag(base::WF_CLOSE_PANEL, true);
  SetFlag(base::WF_CENTER_TEXT, false);
  return true;
}

cl_SystemCloseButton::cl_SystemCloseButton() {
  m_Rect.w = 14;
  m_Rect.h = 14;
}

void cl_SystemCloseButton::Render(float px, float py) {
  const uint32_t face = s_SkinColors[m_Pressed ? SKIN_DARK : SKIN_LIGHT];
  UpdateRect(px, py);
  cl_SystemGUI::DrawBevelFrame(AbsRectOf(*this), face, false);
  DrawSkinTexture(SKIN_TEX_CHECK, m_AbsRect.left + 2, m_AbsRect.top + 2);
}

// ---- title bar

bool cl_SystemTitleBar::Init(base::StaticVariantIterator desc) {
  base::cl_TitleBar::Init(desc);
  m_Rect.w = CaptionWidth(*this) + 20;
  m_Rect.h = 22;
  return true;
}

void cl_SystemTitleBar::Render(float px, float py) {
  UpdateRect(px, py);
  if (m_pCloseButton && IsChild(m_pCloseButton)) {
    m_pCloseButton->m_Rect.x = m_Rect.w - 18;
    m_pCloseButton->m_Rect.y = 4;
  }
  cl_SystemGUI::DrawBevelFrame(AbsRectOf(*this), s_SkinColors[SKIN_BLACK], false);
  gfx::DrawTextW(Px(m_AbsRect.left + 4), Px(m_AbsRect.top + 3), LocalizeCaption(m_Text), s_SkinColors[SKIN_WHITE]);
  RenderChildren(px, py);
}

// ---- check box, radio, toggle

bool cl_SystemCheckBox::Init(base::StaticVariantIterator desc) {
  if (!base::cl_CheckBox::Init(desc)) return false;
  // The caption belongs to the control: a sheet sized to its controls keeps it inside.
  if (!m_Text.empty()) m_Rect.w = kCheckCaptionLeft + CaptionWidth(*this);
  return true;
}

void cl_SystemCheckBox::Render(float px, float py) {
  UpdateRect(px, py);
  const base::st_ScreenRect& a = m_AbsRect;
  // The box is square, as tall as the control; the caption stands right of it.
  const float right = std::min(a.right, a.left + (a.bottom - a.top));
  cl_SystemGUI::DrawBevelFrame(base::tRectf(a.left, a.top, right, a.bottom), s_SkinColors[SKIN_LIGHT], false);
  if (m_Pressed) gfx::FillRect(a.left + 3, a.top + 3, right - 3, a.bottom - 3, s_SkinColors[SKIN_DARK]);
  if (m_pBound && m_pBound->get_int() != 0) DrawSkinTexture(SKIN_TEX_CHECK, a.left + 3, a.top + 3);
  gfx::DrawTextW(Px(a.left + kCheckCaptionLeft), Px(a.top), LocalizeCaption(m_Text), s_SkinColors[SKIN_BLACK]);
}

void cl_SystemRadioButton::Render(float px, float py) {
  if (m_PublishPending) {
    if (m_Value.get_int() != 0) StoreValue();
    m_PublishPending = false;
  }
  UpdateRect(px, py);
  const float l = m_AbsRect.left, t = m_AbsRect.top;
  cl_SystemGUI::DrawBevelFrame(base::tRectf(l, t, l + 16, t + 16), s_SkinColors[SKIN_WHITE], true);
  if (m_Pressed) gfx::FillRect(l + 1, t + 1, l + 15, t + 15, s_SkinColors[SKIN_LIGHT]);
  if (m_Value.get_int() != 0) cl_SystemGUI::DrawBevelFrame(base::tRectf(l + 2, t + 2, l + 14, t + 14), 0xFF8080FFu, false);
  gfx::DrawTextW(Px(l + 20), Px(t), LocalizeCaption(m_Text), s_SkinColors[SKIN_BLACK]);
}

void cl_SystemTreeToggle::Render(float px, float py) {
  UpdateRect(px, py);
  const base::st_ScreenRect& a = m_AbsRect;
  gfx::FillRect(a.left + 2, a.top + 2, a.right - 2, a.bottom - 2, s_SkinColors[SKIN_WHITE]);
  gfx::FillRect(a.left + 3, a.top + 3, a.right - 3, a.bottom - 3, s_SkinColors[SKIN_LIGHT]);
  gfx::DrawText(Px(a.left + 5), Px(a.top), IsOpen() ? "-" : "+", s_SkinColors[SKIN_BLACK]);
}

// ---- menu folder

bool cl_SystemMenuFolder::Init(base::StaticVariantIterator desc) {
  base::cl_MenuFolder::Init(desc);
  m_Rect.w = CaptionWidth(*this) + 30;
  m_Rect.h = 21;
  return true;
}

void cl_SystemMenuFolder::Render(float px, float py) {
  UpdateRect(px, py);
  if (base::cl_Window* menu = GetChild(0)) {
    menu->m_Rect.x = m_Rect.w;
    menu->m_Rect.y = -22;
  }
  const base::st_ScreenRect& a = m_AbsRect;
  cl_SystemGUI::DrawBevelFrame(AbsRectOf(*this), s_SkinColors[SKIN_LIGHT], false);
  gfx::DrawTextW(Px(a.left + 4), Px(a.top + 2), LocalizeCaption(m_Text), s_SkinColors[SKIN_BLACK]);
  DrawSkinTexture(SKIN_TEX_FOLDERARROW, a.right - 14, a.top + 6);
  RenderChildren(px, py);
}

// ---- frames

void cl_SystemFrame::Render(float px, float py) {
  UpdateRect(px, py);
  cl_SystemGUI::DrawBevelFrame(AbsRectOf(*this), s_SkinColors[SKIN_LIGHT], false);
  RenderChildren(px, py);
}

void cl_SystemGroup::Render(float px, float py) {
  UpdateRect(px, py);
  const int l = Px(m_AbsRect.left), t = Px(m_AbsRect.top), r = Px(m_AbsRect.right), b = Px(m_AbsRect.bottom);
  gfx::DrawRect(l + 1, t + 8, r, b, s_SkinColors[SKIN_BLACK]);
  gfx::DrawRect(l, t + 7, r - 1, b - 1, s_SkinColors[SKIN_WHITE]);
  const char16_t* caption = LocalizeCaption(m_Text);
  const float tw = gfx::GetTextWidthW(caption);
  const float fl = m_AbsRect.left, ft = m_AbsRect.top;
  gfx::FillRect(fl + 8, ft, fl + 16 + tw, ft + 13, s_SkinColors[SKIN_LIGHT]);
  gfx::DrawTextW(Px(fl + 12), Px(ft), caption, s_SkinColors[SKIN_BLACK]);
  RenderChildren(px, py);
}

void cl_SystemStaticText::Render(float px, float py) {
  UpdateRect(px, py);
  base::tString<base::BaseUnicodeString> text(LocalizeCaption(m_Text));
  text += u" ";
  if (const char* value = m_Value.is_string() ? m_Value.get_string() : nullptr) {
    text += LocalizeCaption(base::tString<base::BaseString>(value));
  }
  gfx::DrawTextW(Px(m_AbsRect.left), Px(m_AbsRect.top), text.c_str(), s_SkinColors[SKIN_BLACK]);
}

}  // namespace win32dx9
