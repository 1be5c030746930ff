// The main and in-game menu panels and their buttons.
#include "quillane/menu/GameMenu.h"

#include <cmath>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/app/Module.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/gui/Messagebox.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/screen/Fader.h"
#include "quillane/screen/InterfaceSounds.h"
#include "sound/Sfx.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kOutline = 0xFF191919u;
constexpr const char* kVersionLine = "    V1.0.0";

struct st_ButtonRow {
  const char* label;
  const char* text;
  float x, y;
};

constexpr st_ButtonRow kMainButtons[] = {
    {"newgame", "#gamem0_464 New Game", 57, 73},    {"loadgame", "#gamem0_468 Load Game", 57, 131},
    {"options", "#gamem0_472 Options", 57, 189},    {"credits", "#gamem0_476 Credits", 57, 247},
    {"quit", "#gamem0_480 Exit Game", 57, 305},
};

constexpr st_ButtonRow kIngameButtons[] = {
    {"backtogame", "#gamem0_672 Return to Game", 58, 40}, {"mainmenu", "#gamem0_676 Main Menu", 58, 95},
    {"loadgame", "#gamem0_680 Load Game", 58, 150},       {"savegame", "#gamem0_684 Save Game", 58, 205},
    {"options", "#gamem0_688 Options", 58, 260},          {"quit", "#gamem0_692 Exit Game", 58, 315},
};

bool IsLabel(const char* label, const char* expected) { return label && base::str::compare(label, expected) == 0; }

template <size_t N>
void AddButtons(base::cl_Window& panel, const st_ButtonRow (&rows)[N]) {
  for (const st_ButtonRow& row : rows) {
    if (cl_MainMenuButton* button = CreateMainMenuButton(row.label, row.text, row.x, row.y, true))
      panel.AddChild(button);
  }
}

// Both panels: the hidden flag, and "loadgame" usable only while there is something to load.
void ShowMenuPanel(base::cl_Window& panel, bool show) {
  panel.SetFlag(base::WF_HIDDEN, !show);
  base::cl_Window* load = panel.FindByLabel("loadgame");
  if (show && load) load->SetFlag(base::WF_DISABLED, CountSavegames() < 1);
}

// Both panels: size from the background picture once it exists, centred in the window while it
// is looked for; then the picture at the panel's top-left.
void RenderMenuBackground(base::cl_Window& panel, gfx::cl_Image*& background, const char* name, float px,
                          float py) {
  if (!background) {
    background = gfx::ImageExists(name);
    if (background) {
      panel.m_Rect.w = static_cast<float>(background->GetWidth());
      panel.m_Rect.h = static_cast<float>(background->GetHeight());
    }
    panel.m_Rect.x = (static_cast<float>(base::sys::GetWindowWidth()) - panel.m_Rect.w) * 0.5f;
    panel.m_Rect.y = (static_cast<float>(base::sys::GetWindowHeight()) - panel.m_Rect.h) * 0.5f;
  }
  panel.UpdateRect(px, py);
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  if (background) gfx::DrawImage(background, panel.m_AbsRect.left, panel.m_AbsRect.top, 1.0f);
}

// The text centred horizontally in the window at y, outlined.
void DrawCentredLine(const char16_t* text, float y) {
  const float x = (static_cast<float>(base::sys::GetWindowWidth()) - gfx::GetTextWidthW(text)) * 0.5f;
  gfx::DrawTextOutlinedW(static_cast<int>(x), static_cast<int>(y), text, kWhite, kOutline);
}

}  // namespace

// ---- cl_MainMenuPanel

cl_MainMenuPanel::cl_MainMenuPanel(base::cl_Module* owner) : m_pOwner(owner) {
  m_Label = "MainMenuPanel";
  AddButtons(*this, kMainButtons);
  Show(true);
}

void cl_MainMenuPanel::Show(bool show) { ShowMenuPanel(*this, show); }

void cl_MainMenuPanel::Render(float px, float py) {
  RenderMenuBackground(*this, m_pBackground, "buttons_bg_main", px, py);
  const base::st_ScreenRect& a = m_AbsRect;
  if (!m_pLogo) m_pLogo = gfx::ImageExists("logo");
  if (m_pLogo) {
    const float w = static_cast<float>(m_pLogo->GetWidth()), h = static_cast<float>(m_pLogo->GetHeight());
    gfx::DrawImage(m_pLogo, (a.left + a.right) * 0.5f - w * 0.5f, a.top - h * 0.55f, 1.0f);
  }
  RenderChildren(px, py);
  const float below = m_pBackground ? static_cast<float>(m_pBackground->GetHeight()) : 0.0f;
  const base::tString<base::BaseUnicodeString> version = base::str::convert_string_to_unicode(kVersionLine);
  DrawCentredLine(version.c_str(), a.top + below + 10);
  base::tString<base::BaseUnicodeString> legal;
  base::sys::Localize("#gamem0_175", legal);
  DrawCentredLine(legal.c_str(), static_cast<float>(base::sys::GetWindowHeight()) - 32);
}

bool cl_MainMenuPanel::ProcessEvent(const base::Variant& event) {
  return m_pOwner ? m_pOwner->ProcessEvent(event) : false;
}

// ---- cl_IngameMenuPanel

cl_IngameMenuPanel::cl_IngameMenuPanel(i_MenuSession* session) : m_pSession(session) {
  SetFlag(base::WF_DISABLED, true);
  Show(false);
  m_Label = "IngameMenuPanel";
  AddButtons(*this, kIngameButtons);
}

void cl_IngameMenuPanel::Show(bool show) { ShowMenuPanel(*this, show); }

void cl_IngameMenuPanel::Render(float px, float py) {
  if (HasFlag(base::WF_HIDDEN)) return;
  RenderMenuBackground(*this, m_pBackground, "buttons_bg_ingame", px, py);
  RenderChildren(px, py);
}

void cl_IngameMenuPanel::Close() {
  if (m_pSession) m_pSession->SetPaused(false);
  Show(false);
  SetFlag(base::WF_DISABLED, true);
}

bool cl_IngameMenuPanel::ProcessInput(base::ICMD& cmd) {
  if (HasFlag(base::WF_DISABLED)) return false;
  if (cmd.type == base::ICMD::KEY_PRESSED && cmd.key == base::key::Escape) {
    Close();
  } else {
    cl_Window::ProcessInput(cmd);
  }
  return true;
}

base::cl_Window* cl_IngameMenuPanel::HandOver(const char* label) {
  base::cl_GUI* gui = GetGUI();
  base::cl_Window* sibling = gui ? gui->FindChild(label) : nullptr;
  if (!sibling) return nullptr;
  SetFlag(base::WF_DISABLED, true);
  Show(false);
  return sibling;
}

bool cl_IngameMenuPanel::ProcessEvent(const base::Variant& event) {
  const char* name = event.get_label();
  if (IsLabel(name, "ButtonPressed")) {
    base::tString<base::BaseString> pressed;
    if (!event.get_attribute("ctrl_label")) return false;
    event.get_attribute_string("ctrl_label", pressed);
    PlayClickSound();
    if (pressed == "backtogame") {
      Close();
    } else if (pressed == "loadgame" || pressed == "savegame") {
      if (base::cl_Window* panel = HandOver("LoadSavePanel")) {
        panel->SetFlag(base::WF_DISABLED, false);
        panel->Show(true);
        base::Variant mode;
        mode.set_string(pressed.c_str());
        panel->ProcessEvent(mode);
      }
    } else if (pressed == "quit") {
      cl_Messagebox::Show("MB_YESNO",
                          "#gamem0_920 Do you really want to quit the game? Current progress will be lost.", "MB_quit",
                          nullptr, GetGUI(), this);
    } else if (pressed == "mainmenu") {
      cl_Messagebox::Show("MB_YESNO",
                          "#gamem0_936 Do you really want to go back to main menu? Current progress will be lost.",
                          "MB_mainmenu", nullptr, GetGUI(), this);
    } else if (pressed == "options") {
      if (base::cl_Window* panel = HandOver("OptionsPanel")) {
        panel->Init(base::StaticVariantIterator());
        base::Variant mode;
        mode.set_string("game");
        panel->ProcessEvent(mode);
        panel->SetFlag(base::WF_DISABLED, false);
        panel->Show(true);
      }
    }
    return true;
  }
  if (IsLabel(name, "MB_mainmenu") || IsLabel(name, "MB_quit")) {
    if (!event.get_attribute("ctrl_label")) return false;
    base::tString<base::BaseString> answer;
    event.get_attribute_string("ctrl_label", answer);
    if (answer == "Ok" && m_pSession) {
      m_pSession->SetPendingRequest(IsLabel(name, "MB_quit") ? "quit" : "mainmenu");
      m_pSession->GetFader().Start(true, 0.5f, "", 0);
      FadeOutAllSoundGroups();
      sfx::RemoveAllFx();
    }
    return true;
  }
  return false;
}
