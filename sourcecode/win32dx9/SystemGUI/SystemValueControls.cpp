// The skin's string control (caret, key repeat, caret hit test), edit frame, slider, scroll-area
// clipping and image box.
#include "win32dx9/SystemGUI/SystemValueControls.h"

#include <algorithm>
#include <cmath>

#include "base/system.h"
#include "base/text/Textsystem.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "win32dx9/SystemGUI/SystemControls.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace win32dx9 {

namespace {

inline int Px(float v) { return static_cast<int>(v); }

// Width of the first n characters of text in the current font; the empty text is 0 wide.
// The first n bytes of a value as drawn: UTF-8 (what the edit control writes), else Latin-1 from
// older data.
float PrefixWidth(const char* text, int n) {
  if (n <= 0) return 0;
  base::tString<base::BaseUnicodeString> wide;
  base::DecodeNarrowText(text, n, wide);
  return gfx::GetTextWidthW(wide.c_str());
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

// ---- cl_SystemStringCtrl

cl_SystemStringCtrl::cl_SystemStringCtrl() {
  m_Rect.w = 0;
  m_Rect.h = 16;
}

cl_SystemStringCtrl::~cl_SystemStringCtrl() = default;

void cl_SystemStringCtrl::Render(float px, float py) {
  const char* text = m_pBound ? m_pBound->get_string() : nullptr;
  if (!text) text = "";
  const int length = base::str::len(text);
  const float textWidth = PrefixWidth(text, length);
  const bool focused = base::g_pFocusWindow == this;
  // The value may have shrunk since the caret was placed: keep the caret inside the text.
  if (focused) base::g_CaretPos = std::clamp(base::g_CaretPos, 0, length);
  const float caret = focused ? PrefixWidth(text, base::g_CaretPos) : 0.0f;
  m_Rect.w = textWidth + 16;
  m_Rect.h = 16;
  // An editable line stays inside its field: a long text is clipped there and scrolled so the
  // caret shows (it ran out of the field and out of its dialog).
  const base::cl_Window* field = HasFlag(base::WF_EDITABLE) ? GetOwnerEdit() : nullptr;
  const float room = field ? std::max(0.0f, field->m_Rect.w - m_Rect.x - kFieldInset) : 0.0f;
  if (field) m_Rect.w = std::min(m_Rect.w, room);
  if (!field || !focused) {
    m_Scroll = 0;
  } else {
    m_Scroll = std::min({m_Scroll, std::max(0.0f, textWidth + kFieldInset - room), caret});  // nothing wasted
    m_Scroll = std::max({m_Scroll, caret + kFieldInset - room, 0.0f});                       // the caret in view
  }
  UpdateRect(px, py);
  RenderChildren(px, py);
  const base::st_ScreenRect& a = m_AbsRect;
  const bool clip = field && textWidth > room - kFieldInset;
  const gfx::st_Viewport saved = gfx::GetViewport();
  if (clip) {
    // Inside the clip already set (a scroll area's), which is put back afterwards.
    const base::st_ScreenRect& f = field->m_AbsRect;
    gfx::SetViewportRect(std::max(a.left, static_cast<float>(saved.x)), std::max(f.top, static_cast<float>(saved.y)),
                         std::min(a.left + room, static_cast<float>(saved.x + saved.width)),
                         std::min(f.bottom, static_cast<float>(saved.y + saved.height)), saved.zNear, saved.zFar);
  }
  const float x = a.left - m_Scroll;
  if (HasFlag(base::WF_SELECTED)) gfx::FillRect(a.left, a.top, a.right, a.bottom, s_SkinColors[SKIN_LIGHT]);
  if (focused && base::g_SelectionAnchor >= 0 && base::g_SelectionAnchor != base::g_CaretPos) {
    const float other = PrefixWidth(text, std::min(base::g_SelectionAnchor, length));
    gfx::FillRect(x + std::min(caret, other), a.top, x + std::max(caret, other), a.bottom, s_SkinColors[SKIN_LIGHT]);
  }
  gfx::DrawTextW(Px(x), Px(a.top), LocalizeCaption(base::tString<base::BaseString>(text)),
                 s_SkinColors[HasFlag(base::WF_DISABLED) ? SKIN_MID : SKIN_BLACK]);
  if (focused && std::fmod(base::g_CaretBlink, 1.0f) < 0.5f)
    gfx::FillRect(static_cast<float>(Px(x + caret)), a.top + 1, static_cast<float>(Px(x + caret) + 1), a.bottom - 1,
                  s_SkinColors[SKIN_BLACK]);
  if (clip) gfx::SetViewport(saved.x, saved.y, saved.width, saved.height, saved.zNear, saved.zFar);
}

void cl_SystemStringCtrl::ApplyKey(const base::ICMD& cmd) {
  base::tString<base::BaseString> text(m_pBound ? m_pBound->get_string() : nullptr);
  EditText(text, cmd, &base::g_CaretPos, &base::g_SelectionAnchor);
  if (m_pBound) m_pBound->set_string(text.c_str());
}

bool cl_SystemStringCtrl::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::KEY_RELEASED) m_bKeyHeld = false;
  // Enter and Escape pass on to the dialog's buttons.
  if (base::g_pFocusWindow == this && cmd.type == base::ICMD::KEY_PRESSED && !IsDialogKey(cmd)) {
    base::g_CaretBlink = 0;
    ApplyKey(cmd);
    m_RepeatTimer = kRepeatDelay;
    // A character typed without a key (an input method) has no release to end a repeat.
    m_bKeyHeld = cmd.key != 0 || cmd.scan != 0;
    m_RepeatCmd = cmd;
    m_releaseSerial = GetKeyReleaseSerial();
    return true;
  }
  return base::cl_StringCtrl::ProcessInput(cmd);
}

bool cl_SystemStringCtrl::IsShown() const {
  for (const base::cl_Window* w = this; w; w = w->GetParent()) {
    if (w->HasFlag(base::WF_HIDDEN)) return false;
  }
  return true;
}

void cl_SystemStringCtrl::Update(float dt) {
  if (!m_bKeyHeld) return;
  // A release consumed before it reached this control still ends the repeat, as does moving the
  // focus or hiding the control: otherwise the held edit would run on forever.
  if (m_releaseSerial != GetKeyReleaseSerial() || base::g_pFocusWindow != this || !IsShown()) {
    m_bKeyHeld = false;
    return;
  }
  m_RepeatTimer -= dt;
  if (m_RepeatTimer < 0) {
    m_RepeatTimer = kRepeatInterval;
    ApplyKey(m_RepeatCmd);
  }
}

int cl_SystemStringCtrl::GetCharIndexAt(int x) {
  const char* text = m_pBound ? m_pBound->get_string() : nullptr;
  if (!text) text = "";
  const int d = static_cast<int>(static_cast<float>(x) - m_AbsRect.left + m_Scroll);
  if (d < 0) return 0;
  const int length = base::str::len(text);
  for (int i = 1; i < length; ++i) {
    if (IsContinuation(text[i])) continue;  // the caret stands between characters
    if (d <= static_cast<int>(PrefixWidth(text, i))) return i;
  }
  return length;
}

// ---- edit, slider, scroll area

void cl_SystemEdit::Render(float px, float py) {
  UpdateRect(px, py);
  cl_SystemGUI::DrawBevelFrame(AbsRectOf(*this), s_SkinColors[SKIN_WHITE], true);
  base::cl_Edit::Render(px, py);
}

void cl_SystemSlider::Render(float px, float py) {
  if (HasFlag(base::WF_DISABLED)) return;
  UpdateRect(px, py);
  const base::st_ScreenRect& a = m_AbsRect;
  gfx::FillRect(a.left, a.top, a.right, a.bottom, s_SkinColors[SKIN_BLACK]);
  gfx::FillRect(a.left + 1, a.top + 1, a.right - 1, a.bottom - 1, m_BarColor);
  RenderChildren(px, py);
}

void cl_SystemSliderHandle::Render(float px, float py) {
  UpdateRect(px, py);
  cl_SystemGUI::DrawBevelFrame(AbsRectOf(*this), s_SkinColors[SKIN_LIGHT], false);
  const float cx = (m_AbsRect.left + m_AbsRect.right) * 0.5f, cy = (m_AbsRect.top + m_AbsRect.bottom) * 0.5f;
  DrawSkinTexture(SKIN_TEX_DOT, cx - 5, cy - 5);
}

void cl_SystemScrollArea::SetClipRect(const base::st_ScreenRect* r) {
  if (r) {
    gfx::SetViewportRect(r->left, r->top, r->right, r->bottom, 0.0f, 1.0f);
  } else {
    gfx::SetViewport(-1, -1, -1, -1, 0.0f, 1.0f);
  }
}

// ---- image box

void cl_SystemStaticImage::Render(float px, float py) {
  UpdateRect(px, py);
  const base::st_ScreenRect& a = m_AbsRect;
  gfx::FillRect(a.left - 2, a.top - 2, a.right + 2, a.bottom + 2, s_SkinColors[SKIN_BLACK]);
  gfx::SetBlendNone();
  gfx::SetFilterLinear();
  if (gfx::cl_Texture* checker = GetSkinTexture(SKIN_TEX_CHECKER)) gfx::DrawTextureAt(checker, a.left, a.top, 1.0f);
  gfx::SetBlendAlpha(true);
  if (!m_pImage) return;
  const int w = m_pImage->GetWidth(), h = m_pImage->GetHeight();
  if (w <= 0 || h <= 0) return;
  const float scale = std::min({1.0f, m_Rect.w / static_cast<float>(w), m_Rect.h / static_cast<float>(h)});
  gfx::DrawImage(m_pImage, a.left, a.top, scale);
}

bool cl_SystemStaticImage::ProcessEvent(const base::Variant& event) {
  const char* label = event.get_label();
  if (!label || base::str::compare(label, "SetImage") != 0) return false;
  const base::Variant* ptr = event.get_attribute("ptr");
  m_pImage = ptr ? static_cast<gfx::cl_Image*>(ptr->get_pointer()) : nullptr;
  return true;
}

}  // namespace win32dx9
