// The game's menu button: its pictures and text colours by state, and its mouse-over sound.
#include "quillane/gui/MainMenuButton.h"

#include <cmath>
#include <new>

#include "base/app/ICMD.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/screen/ScaledView.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;

bool WithinRect(const base::st_ScreenRect& r, float x, float y) {
  return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
}

}  // namespace

cl_MainMenuButton::cl_MainMenuButton(const char* label, const char* text, float x, float y, bool enabled) {
  m_Label = label;
  m_Text = text;
  m_Flags = base::WF_CENTER_TEXT;
  m_Pressed = false;
  m_Rect = {x + 1, y - 3, 160, 25};
  if (!enabled) SetFlag(base::WF_DISABLED, true);
}

cl_MainMenuButton* CreateMainMenuButton(const char* label, const char* text, float x, float y, bool enabled) {
  return new (std::nothrow) cl_MainMenuButton(label, text, x, y, enabled);
}

void cl_MainMenuButton::Render(float px, float py) {
  UpdateRect(px, py);
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  if (gfx::cl_Font* font = gfx::FontExists("game")) gfx::SetFont(font);
  const char16_t* text = win32dx9::LocalizeCaption(m_Text);
  const float textX = std::floor((m_AbsRect.left + m_AbsRect.right) * 0.5f - gfx::GetTextWidthW(text) * 0.5f);
  m_AbsRect.left = std::floor(m_AbsRect.left);
  m_AbsRect.top = std::floor(m_AbsRect.top);
  const char* image = "menubutton_default";
  uint32_t colour = 0xFFF0F0C8u;
  float textY = m_AbsRect.top + 1;
  base::cl_GUI* gui = GetGUI();
  const bool modalOpen = gui && !gui->GetModalWindows().empty();
  if (HasFlag(base::WF_DISABLED)) {
    image = "menubutton_disabled";
    colour = 0xFF969696u;
  } else if (m_Pressed) {
    image = "menubutton_pressed";
    colour = kWhite;
    textY = m_AbsRect.top + 2;
  } else if (const base::tVector2<float> mouse = cl_ScaledView::Mouse();
             !modalOpen && WithinRect(m_AbsRect, mouse.x, mouse.y)) {
    image = "menubutton_highlight";
    colour = 0xFFFFFFF0u;
  }
  if (gfx::cl_Image* picture = gfx::ImageExists(image)) gfx::DrawImage(picture, m_AbsRect.left, m_AbsRect.top, 1.0f);
  gfx::DrawTextW(static_cast<int>(textX), static_cast<int>(textY), text, colour);
}

bool cl_MainMenuButton::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::MOUSE_MOVE) {
    const bool inside = HitTest(cmd);
    if (inside && !m_Hovered) PlayMouseOverSound();
    m_Hovered = inside;
  }
  return base::cl_Button::ProcessInput(cmd);
}
