// The interface bar: its buttons, the auto-fade, button enabling and drawing.
#include "quillane/hud/InterfaceBar.h"

#include <cmath>
#include <numbers>

#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/screen/ScreenLayout.h"

namespace {
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kOutline = 0xFF191919u;
constexpr float kButtonSize = 32.0f;
constexpr float kDecorWidth = 256.0f;   // "fluff_left" and "fluff_right"
constexpr float kDecorHeight = 128.0f;
constexpr float kMidStep = 32.0f;       // "fluff_mid"
constexpr float kMidRise = 14.0f;
constexpr float kTokenBarX = 80.0f, kTokenBarY = 16.0f, kWideTokenBarLift = 12.0f;

struct st_ButtonPlace {
  const char* label;
  float x, y;  // from (right − 256, bottom − 128) of the bar's band
  const char* tooltip;
};

// ORDER BARBUTTONS: options, load/save, journal.
constexpr st_ButtonPlace kButtons[] = {
    {"options", 177.0f, 68.0f, "#inter2_2572 Ingame Menu"},
    {"loadsave", 210.0f, 42.0f, "#inter2_2576 Load and Save Menu"},
    {"journal", 215.0f, 81.0f, "#inter2_2580 Diary"},
};

bool IsLabel(const char* label, const char* expected) { return label && base::str::compare(label, expected) == 0; }

bool PanelShown(base::cl_Window* root, const char* label) {
  base::cl_Window* panel = root ? root->FindByLabel(label) : nullptr;
  return panel && !panel->HasFlag(base::WF_HIDDEN);
}

void SetEnabled(base::cl_Window* w, bool enabled) {
  if (w) w->SetFlag(base::WF_DISABLED, !enabled);
}

}  // namespace

// ---- cl_InterfaceBarButtonHighlight

cl_InterfaceBarButtonHighlight::cl_InterfaceBarButtonHighlight(const char* label, float x, float y) {
  m_Label = label;
  m_Rect = {x, y, kButtonSize, kButtonSize};
}

void cl_InterfaceBarButtonHighlight::Update(float dt) {
  if (!m_blink) return;
  m_blinkPhase += dt * std::numbers::pi_v<float>;
  if (m_blinkPhase >= std::numbers::pi_v<float>) m_blinkPhase -= std::numbers::pi_v<float>;
  m_glowAlpha = 255.0f - std::sin(m_blinkPhase) * 255.0f;
}

bool cl_InterfaceBarButtonHighlight::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::MOUSE_MOVE) {
    const bool hovered = HitTest(cmd);
    if (hovered && !m_hovered) PlayMouseOverSound();
    m_hovered = hovered;
  }
  return base::cl_Button::ProcessInput(cmd);
}

void cl_InterfaceBarButtonHighlight::Render(float px, float py) {
  base::cl_Window::UpdateRect(px, py);
  const float mx = static_cast<float>(base::sys::MouseX()), my = static_cast<float>(base::sys::MouseY());
  const bool mouseOver = m_AbsRect.left <= mx && mx < m_AbsRect.right && m_AbsRect.top <= my && my < m_AbsRect.bottom;
  const bool disabled = HasFlag(base::WF_DISABLED);
  if (disabled)
    gfx::SetBlendInvMultiply();
  else if (m_Pressed || mouseOver)
    gfx::SetBlendMultiply(255);
  else if (m_blink)
    gfx::SetBlendMultiply(static_cast<uint8_t>(ClampFloat(m_glowAlpha, 0.0f, 255.0f)));
  else
    return;
  DrawPictureAt("fluffy_glow", m_AbsRect.left - 16.0f, m_AbsRect.top - 16.0f, 1.0f);
  if (m_Pressed) DrawPictureAt("fluffy_glow", m_AbsRect.left - 16.0f, m_AbsRect.top - 16.0f, 1.0f);
  if (!m_hovered || disabled || m_WideText.empty()) return;
  gfx::cl_Font* previous = gfx::GetFont();
  if (gfx::cl_Font* font = gfx::FontExists("tooltip")) gfx::SetFont(font);
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  DrawTextCentered((m_AbsRect.left + m_AbsRect.right) * 0.5f, m_AbsRect.top - 5.0f, m_WideText.c_str(), kWhite,
                   kOutline, true);
  if (previous) gfx::SetFont(previous);
}

// ---- cl_InterfaceBar

bool cl_InterfaceBar::IsAutoFadeOff() {
  const base::Variant* value = base::sys::GetOptionValue("Game/AutoFadeInterface/Value");
  if (!value) return false;
  const double v = value->is_string() ? base::str::ascii_to_real(value->get_string()) : value->get_double();
  return v == 0.0;
}

cl_InterfaceBar::cl_InterfaceBar() {
  m_Label = "InterfaceBar";
  const base::tRectf band = GetInterfaceBarRect();
  // The bar's own place is the origin: its children are placed in window pixels.
  m_Rect = {0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()), static_cast<float>(base::sys::GetWindowHeight())};
  m_AbsRect = {band.min.x, band.min.y, band.max.x, band.max.y};
  m_fadeTarget = m_alpha = IsAutoFadeOff() ? 1.0f : 0.0f;
  m_tokenBar = new cl_TokenBar;
  m_tokenBar->m_Label = "TokenBar";
  AddChild(m_tokenBar);
  const float x = band.max.x - kDecorWidth, y = band.max.y - kDecorHeight;
  cl_InterfaceBarButtonHighlight** slots[] = {&m_optionsButton, &m_loadSaveButton, &m_journalButton};
  for (int i = 0; i < 3; ++i) {
    auto* button = new cl_InterfaceBarButtonHighlight(kButtons[i].label, x + kButtons[i].x, y + kButtons[i].y);
    base::sys::Localize(kButtons[i].tooltip, button->m_WideText);
    button->UpdateRect(0.0f, 0.0f);  // input may come before the first drawing
    AddChild(button);
    *slots[i] = button;
  }
  const float lift = IsWideAspect() ? kWideTokenBarLift : 0.0f;
  m_tokenBar->m_Rect = {band.min.x + kTokenBarX, band.min.y + kTokenBarY - lift,
                        band.max.x - band.min.x - kTokenBarX - kDecorWidth, 64.0f};
  m_tokenBar->UpdateRect(0.0f, 0.0f);
}

cl_InterfaceBarButtonHighlight* cl_InterfaceBar::GetButton(const char* label) const {
  for (cl_InterfaceBarButtonHighlight* b : {m_optionsButton, m_loadSaveButton, m_journalButton})
    if (b && IsLabel(b->m_Label.c_str(), label)) return b;
  return nullptr;
}

void cl_InterfaceBar::Show(bool visible) { m_fadeTarget = visible ? 1.0f : 0.0f; }

void cl_InterfaceBar::SetJournalBlink(bool blink) {
  if (m_journalButton) m_journalButton->m_blink = blink;
}

void cl_InterfaceBar::SyncTokenBarMode() {
  if (m_tokenBar) m_tokenBar->SyncMode(false);
}

void cl_InterfaceBar::UpdateRect(float, float) {
  float sceneHeight = 0.0f;
  if (!hud::GetSceneHeight(sceneHeight)) return;
  const int w = base::sys::GetWindowWidth(), h = base::sys::GetWindowHeight();
  float top = MinFloat(static_cast<float>(h) - 80.0f, sceneHeight);
  // The art of these two sizes was made with the bar right under the scene.
  if ((w == 1024 && h == 768) || (w == 1280 && h == 1024)) top = sceneHeight;
  m_AbsRect = {0.0f, top, static_cast<float>(w), static_cast<float>(h)};
}

bool cl_InterfaceBar::IsMenuOpen() {
  base::cl_Window* root = GetGUI();
  return PanelShown(root, "IngameMenuPanel") || PanelShown(root, "LoadSavePanel") || PanelShown(root, "OptionsPanel");
}

void cl_InterfaceBar::EnableButtons() {
  base::cl_Window* buttons[] = {m_optionsButton, m_loadSaveButton, m_journalButton};
  bool enable[3] = {true, true, true};
  if (m_tokenBar && (m_tokenBar->IsDialogMode() || m_tokenBar->GetCarried())) {
    enable[0] = enable[1] = enable[2] = false;
  } else if (hud::IsDiaryVisible()) {
    enable[0] = enable[1] = false;
  } else if (IsMenuOpen()) {
    enable[0] = enable[1] = enable[2] = false;
  }
  for (int i = 0; i < 3; ++i) SetEnabled(buttons[i], enable[i]);
}

void cl_InterfaceBar::Update(float dt) {
  const bool tokensIdle = !m_tokenBar || m_tokenBar->IsIdle();
  const bool busy = hud::IsDialogActive() || hud::GetDialogPendingCount() > 0 || !tokensIdle;
  if (hud::IsCutscene()) {
    m_alpha = m_fadeTarget = tokensIdle ? 0.0f : 1.0f;
  } else if (IsAutoFadeOff()) {
    m_alpha = m_fadeTarget = 1.0f;
  } else {
    const base::tRectf band = GetInterfaceBarRect();
    const float mx = static_cast<float>(base::sys::MouseX()), my = static_cast<float>(base::sys::MouseY());
    const bool inside = band.min.x <= mx && mx < band.max.x && band.min.y <= my && my < band.max.y;
    if (busy) {
      m_idleTime = 0.0f;
      m_fadeTarget = 1.0f;
    } else if (inside) {
      m_idleTime = 0.0f;
    } else {
      m_idleTime += dt;
      if (m_idleTime > kIdleHideTime) m_fadeTarget = 0.0f;
    }
    m_alpha = ApproachFloat(m_fadeTarget, m_alpha, dt * kFadeSpeed);
  }
  if (m_tokenBar) {
    m_tokenBar->SetAlpha(m_alpha);
    m_tokenBar->Update(dt);
  }
  if (GetGUI()) EnableButtons();
  for (cl_InterfaceBarButtonHighlight* b : {m_optionsButton, m_loadSaveButton, m_journalButton})
    if (b) b->Update(dt);
}

bool cl_InterfaceBar::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::MOUSE_MOVE) {
    const float my = cmd.mouseY;
    // Wide windows keep the bar in the window's bottom band, far below a hidden bar's top.
    const bool trigger = IsWideScreen() ? my > static_cast<float>(base::sys::GetWindowHeight()) - 5.0f
                                        : my >= m_AbsRect.top;
    if (trigger && !IsMenuOpen()) Show(true);
  }
  if (m_fadeTarget == 1.0f && ProcessInputChildren(cmd)) return true;
  if (cmd.type == base::ICMD::KEY_PRESSED || cmd.type == 1) return false;
  return m_alpha > 0.0f && HitTest(cmd);  // the visible bar swallows clicks on itself
}

bool cl_InterfaceBar::ProcessEvent(const base::Variant& event) {
  if (m_fadeTarget != 1.0f || !IsLabel(event.get_label(), "ButtonPressed")) return false;
  const base::Variant* control = event.get_attribute("ctrl_label");
  const char* label = control ? control->get_string() : nullptr;
  const st_InterfaceServices& s = InterfaceServices();
  if (IsLabel(label, "options")) {
    if (s.OpenIngameMenu) s.OpenIngameMenu();
    Show(false);
  } else if (IsLabel(label, "loadsave")) {
    if (s.CaptureScreenshot) s.CaptureScreenshot();
    if (s.OpenLoadSavePanel) s.OpenLoadSavePanel();
    Show(false);
  } else if (IsLabel(label, "journal")) {
    if (s.OpenDiary) s.OpenDiary();
  }
  return false;
}

void cl_InterfaceBar::Render(float px, float py) {
  if (m_alpha == 0.0f) return;
  const base::tRectf band = GetInterfaceBarRect();
  if (IsWideAspect()) gfx::FillRect(band, static_cast<uint32_t>(m_alpha * 64.0f) << 24);
  gfx::SetBlendNone();
  if (m_alpha == 1.0f)
    gfx::SetBlendAlpha(true);
  else
    gfx::SetBlendAlphaTextureColor(static_cast<uint8_t>(ClampFloat(m_alpha, 0.0f, 1.0f) * 255.0f), true);
  const float right = band.max.x - kDecorWidth, top = band.max.y - kDecorHeight;
  DrawPictureAt("fluff_left", band.min.x, top, 1.0f);
  // The middle pieces start where the left piece ends, also on windows wider than the picture.
  for (float x = band.min.x + kDecorWidth; x <= right; x += kMidStep)
    DrawPictureAt("fluff_mid", x, band.max.y - kMidRise, 1.0f);
  DrawPictureAt("fluff_right", right, top, 1.0f);
  // The buttons first, then the tokens over them (a carried token goes anywhere).
  for (base::cl_Window* child : m_Children)
    if (child != m_tokenBar && !child->HasFlag(base::WF_HIDDEN)) child->Render(px, py);
  if (m_tokenBar) m_tokenBar->Render(px, py);
}
