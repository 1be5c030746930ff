// The two button menus: the main menu over the title screen (its buttons are handled by the root
// menu, its owner) and the in-game menu shown while a running game is paused (it handles its own
// buttons). Both are panels built in code, centred on their background picture, and find their
// sibling panels under the GUI root by label.
#pragma once

#include "base/gui/GUIBasicControls.h"
#include "quillane/gui/MainMenuButton.h"
#include "quillane/gui/MenuSession.h"

namespace base {
class cl_Module;
}
namespace gfx {
class cl_Image;
}

// Labelled "MainMenuPanel"; shown and enabled after construction. Its events go to the owner.
class cl_MainMenuPanel : public base::cl_Panel {
 public:
  explicit cl_MainMenuPanel(base::cl_Module* owner);
  // Shows or hides; showing enables "loadgame" only when there is a savegame.
  void Show(bool show) override;
  // Centres on the background picture; logo above, buttons, the version and legal lines.
  void Render(float px, float py) override;
  bool ProcessEvent(const base::Variant& event) override;  // the owner's answer; false without one

 private:
  gfx::cl_Image* m_pBackground = nullptr;  // "buttons_bg_main", looked up until found
  gfx::cl_Image* m_pLogo = nullptr;        // "logo"
  base::cl_Module* m_pOwner;               // not owned
};

// Labelled "IngameMenuPanel"; hidden and disabled after construction.
class cl_IngameMenuPanel : public base::cl_Panel {
 public:
  explicit cl_IngameMenuPanel(i_MenuSession* session);
  void Show(bool show) override;  // as the main menu's
  void Render(float px, float py) override;
  // While open it takes every command; Esc returns to the game (no click sound).
  bool ProcessInput(base::ICMD& cmd) override;
  // Its buttons, and the answers to its two questions ("MB_quit", "MB_mainmenu").
  bool ProcessEvent(const base::Variant& event) override;

 private:
  void Close() override;  // unpaused, hidden and disabled
  // Hides this panel and opens the sibling labelled label; false (nothing changed) without one.
  base::cl_Window* HandOver(const char* label);

  gfx::cl_Image* m_pBackground = nullptr;  // "buttons_bg_ingame"
  i_MenuSession* m_pSession;               // not owned
};
