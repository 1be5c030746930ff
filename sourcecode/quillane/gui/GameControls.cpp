// The game-styled text field, check box and slider.
#include "quillane/gui/GameControls.h"

#include <algorithm>
#include <cmath>

#include "base/app/KeyCode.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/screen/ScreenDraw.h"
#include "win32dx9/SystemGUI/SystemControls.h"

// The keys of a German keyboard, the blank included. Narrow literals are Latin-1 here.
const char* const kValidCharactersKey =
    "#ValidCharacters A1234567890\xDFqwertzuiop\xFC+asdfghjkl\xF6\xE4 #yxcvbnm,.-!\xA7$%&/()=?"
    "QWERTZUIOP\xDC*ASDFGHJKL\xD6\xC4'YXCVBNM;:_";

namespace {

constexpr uint32_t kTextColour = 0xFFFFFFFFu;
constexpr uint32_t kOutlineColour = 0xFF191919u;
constexpr float kTextInset = 4;
constexpr int kTrailingBlankWidth = 4;

using tWide = base::tString<base::BaseUnicodeString>;

float WideWidth(const tWide& text) { return text.empty() ? 0.0f : gfx::GetTextWidthW(text.c_str()); }

}  // namespace

// ---- cl_GameEdit

cl_GameEdit::cl_GameEdit() = default;

cl_GameEdit::~cl_GameEdit() = default;

bool cl_GameEdit::Init(base::StaticVariantIterator desc) { return cl_Window::Init(desc); }

void cl_GameEdit::GetValue(base::Variant& out) {
  out.set_string(base::str::convert_unicode_to_string(m_WideText).c_str());
}

void cl_GameEdit::SetText(const char16_t* text) {
  if (text) m_WideText = text;
}

void cl_GameEdit::SetFocus() {
  cl_Window::SetFocus();
  base::g_CaretPos = m_WideText.size();
}

void cl_GameEdit::HandleKey(const base::ICMD& cmd) {
  const int length = m_WideText.size();
  // The toolkit leaves -1 after a focus change, and the text may have shrunk since.
  int caret = std::clamp(base::g_CaretPos, 0, length);
  const tWide left = m_WideText.left(caret);
  const tWide right = m_WideText.mid(caret);
  base::ICMD translated = cmd;
  char16_t ch = translated.GetUnicodeChar();
  const uint8_t plain = cmd.GetKey();
  // Without text input the digit keys type digits whatever the layout table says; typed text is
  // the player's layout's own answer (on some layouts the top row types other signs).
  if (!cmd.typed && plain >= '0' && plain <= '9') ch = plain;
  if (plain == base::key::Enter) {
    base::g_CaretPos = caret;
    return;
  }
  bool done = true;
  switch (cmd.key) {
    case base::key::Backspace:
      if (caret > 0) {
        --caret;
        m_WideText = left.left(caret);
        m_WideText += right;
      } else {
        done = false;
      }
      break;
    case base::key::Left:
      if (caret > 0) --caret;
      else done = false;
      break;
    case base::key::Right:
      if (caret < length) ++caret;
      else done = false;
      break;
    case base::key::Delete:
      if (!right.empty()) {
        m_WideText = left;
        m_WideText += right.mid(1);
      } else {
        done = false;
      }
      break;
    default:
      done = false;
      break;
  }
  if (!done && ch != 0) {
    tWide valid;
    base::sys::Localize(kValidCharactersKey, valid);
    if (!WideStringContains(valid.c_str(), ch)) {
      // not a character of the set: nothing to say
    } else if (m_MaxLength != -1 && length >= m_MaxLength) {
      PlayErrorSound();
      m_FullShown = kFullShown;
    } else {
      m_WideText = left;
      m_WideText += ch;
      m_WideText += right;
      ++caret;
    }
  }
  base::g_CaretPos = caret;
}

bool cl_GameEdit::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::LEFT_UP && HitTest(cmd)) {
    SetFocus();
    return true;
  }
  if (cmd.type == base::ICMD::KEY_RELEASED) {
    m_bKeyHeld = false;
    return false;
  }
  if (cmd.type == base::ICMD::KEY_PRESSED && base::g_pFocusWindow == this) {
    base::g_CaretBlink = 0;
    HandleKey(cmd);
    m_RepeatTimer = kRepeatDelay;
    // A character typed without a key (an input method) has no release to end a repeat.
    m_bKeyHeld = cmd.key != 0 || cmd.scan != 0;
    m_HeldCmd = cmd;
    m_releaseSerial = win32dx9::GetKeyReleaseSerial();
    return true;
  }
  return false;
}

bool cl_GameEdit::IsShown() const {
  for (const base::cl_Window* w = this; w; w = w->GetParent()) {
    if (w->HasFlag(base::WF_HIDDEN)) return false;
  }
  return true;
}

void cl_GameEdit::Update(float dt) {
  m_FullShown = std::max(0.0f, m_FullShown - dt);
  if (!m_bKeyHeld) return;
  // A release taken by another window, a lost focus or a hidden field all end the repeat:
  // otherwise the field would go on typing for ever.
  if (m_releaseSerial != win32dx9::GetKeyReleaseSerial() || base::g_pFocusWindow != this || !IsShown()) {
    m_bKeyHeld = false;
    return;
  }
  m_RepeatTimer -= dt;
  if (m_RepeatTimer < 0) {
    m_RepeatTimer = kRepeatInterval;
    HandleKey(m_HeldCmd);
  }
}

int cl_GameEdit::CaretX(const tWide& text, float offset) const {
  int blanks = 0;
  while (blanks < text.size() && text[text.size() - 1 - blanks] == u' ') ++blanks;
  const tWide measured = blanks ? text.left(text.size() - blanks) : text;
  return static_cast<int>(WideWidth(measured) - 1 + m_AbsRect.left + offset) + kTrailingBlankWidth * blanks;
}

void cl_GameEdit::Render(float px, float py) {
  UpdateRect(px, py);
  const base::st_ScreenRect& a = m_AbsRect;
  if (m_FullShown > 0.0f) {
    gfx::DrawRect(static_cast<int>(a.left), static_cast<int>(a.top), static_cast<int>(a.right),
                  static_cast<int>(a.bottom), kFullColour);
  } else {
    DrawHighlightRect(a.left, a.top, a.right, a.bottom);
  }
  // Drop characters from the front until the rest fits, so the end of a long text stays in view.
  const float room = (a.right - a.left) - kTextInset;
  tWide visible = m_WideText;
  while (!visible.empty() && WideWidth(visible) > room) visible = visible.mid(1);
  gfx::DrawTextBoxOutlinedW(static_cast<float>(static_cast<int>(a.left + kTextInset)),
                            static_cast<float>(static_cast<int>(a.top)), room, a.bottom - a.top, visible.c_str(),
                            kTextColour, kOutlineColour);
  if (base::g_pFocusWindow != this) return;
  base::g_CaretPos = std::clamp(base::g_CaretPos, 0, m_WideText.size());
  const float caretX = static_cast<float>(CaretX(m_WideText.left(base::g_CaretPos), kTextInset));
  if (std::fmod(base::g_CaretBlink, 1.0f) < 0.5f) gfx::FillRect(caretX, a.top + 2, caretX + 1, a.bottom - 2, kAccentColour);
}

// ---- cl_QLCheckBox

bool cl_QLCheckBox::Init(base::StaticVariantIterator desc) {
  if (!desc) return true;
  return base::cl_CheckBox::Init(desc);
}

void cl_QLCheckBox::Render(float px, float py) {
  UpdateRect(px, py);
  const base::st_ScreenRect& a = m_AbsRect;
  DrawBevelBox(win32dx9::AbsRectOf(*this), 0xFFAAAAAAu, false);
  if (m_Pressed) gfx::FillRect(a.left + 3, a.top + 3, a.right - 3, a.bottom - 3, 0xFF555555u);
  if (m_pBound && m_pBound->get_int() != 0) win32dx9::DrawSkinTexture(win32dx9::SKIN_TEX_CHECK, a.left + 3, a.top + 3);
  gfx::DrawTextW(static_cast<int>(a.left + 20), static_cast<int>(a.top), win32dx9::LocalizeCaption(m_Text), 0xFF000000u);
}

// ---- cl_QLSlider, cl_QLSliderHandle

void cl_QLSlider::Render(float px, float py) {
  if (HasFlag(base::WF_DISABLED)) return;
  UpdateRect(px, py);
  RenderChildren(px, py);
}

void cl_QLSliderHandle::Render(float px, float py) {
  UpdateRect(px, py + 1);
  const base::st_ScreenRect& a = m_AbsRect;
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  if (gfx::cl_Texture* middle = gfx::TextureExists("scrollbar_02"))
    gfx::DrawTextureQuad(base::tRectf(a.left, a.top + 2, a.left + 16, a.bottom - 3), middle);
  if (gfx::cl_Image* top = gfx::ImageExists("scrollbar_01")) gfx::DrawImage(top, a.left + 1, a.top, 1.0f);
  if (gfx::cl_Image* bottom = gfx::ImageExists("scrollbar_03")) gfx::DrawImage(bottom, a.left + 1, a.bottom - 3, 1.0f);
}
