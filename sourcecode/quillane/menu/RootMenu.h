// cl_RootMenu: the module the player meets first, the game frame's state "RootMenu". It plays the
// menu theme, draws the title picture, the GUI root with the main menu (and its sibling panels), a
// notice when the texts could not be read, the screen fade and the cursor, and turns the main menu's buttons into actions: a new game, a
// saved game, the options, the credits movie, or the end of the program after a question. It is
// told "Refresh" when a game returns to the main menu. One exists at a time (GetInstance).
#pragma once

#include "base/String.h"
#include "base/TaskScheduler.h"
#include "base/app/GameFrame.h"
#include "base/app/Module.h"
#include "base/gui/GUI.h"
#include "quillane/screen/Fader.h"

namespace gfx {
class cl_Image;
}
class cl_Messagebox;

class cl_RootMenu : public base::cl_Module {
 public:
  // The window that takes the quit box's answer on the root menu's behalf.
  class cl_RootMenuEventWrapper : public base::cl_Window {
   public:
    bool ProcessEvent(const base::Variant& event) override;  // the owner's answer; false without one
    cl_RootMenu* m_pOwner = nullptr;  // set at the end of the owner's constructor
  };

  // Null when it cannot be allocated.
  static cl_RootMenu* Create(base::cl_Window* guiRoot);
  // Adds the main-menu panel to guiRoot and starts black, clearing over one second; the theme
  // starts at the first update.
  explicit cl_RootMenu(base::cl_Window* guiRoot);
  // The panels stay with the GUI root; a quit box still open goes.
  ~cl_RootMenu() override;

  static cl_RootMenu* GetInstance();  // null when none exists

  // The theme, the fade, a pending command once the screen is black, the GUI with its panels
  // and the quit box, and the credits movie.
  void Update(float time, float dt) override;
  void Render() override;
  // The credits movie first (while it plays), then the GUI root; F1 starts the editor when the
  // debug keys are on.
  bool ProcessInput(base::ICMD& cmd) override;
  // The main menu's buttons, the quit box's answer "MB_quit", "LoadGame" from the load/save panel
  // and "Refresh". Every event is refused while the credits play.
  bool ProcessEvent(const base::Variant& event) override;

  const cl_Fader& GetFader() const { return m_Fader; }
  const base::tString<base::BaseString>& GetPendingCommand() const { return m_PendingCommand; }
  cl_Messagebox* GetQuitBox() const { return m_pQuitBox; }
  bool IsThemePending() const { return m_bThemePending; }
  bool IsCreditsPlaying() const { return m_bCreditsPlaying; }

 private:
  // Hides the main menu and opens the sibling panel labelled label with mode; nothing at all
  // when that sibling does not exist.
  void OpenSibling(const char* label, const char* mode, bool init);
  // Uncovers the screen at once and makes and runs a new session; null (logged) when none came.
  base::i_GameSession* StartSession();

  gfx::cl_Image* m_pBackground = nullptr;  // "bg_main", looked up at the first render
  base::cl_Window* m_pGUIRoot;             // not owned
  cl_Fader m_Fader;
  base::tString<base::BaseString> m_PendingCommand;  // run once the fader has covered the screen
  base::tString<base::BaseString> m_SaveFile;
  cl_Messagebox* m_pQuitBox = nullptr;  // in the GUI root while open
  bool m_bThemePending = true;
  bool m_bCreditsPlaying = false;
  cl_RootMenuEventWrapper m_EventWrapper;
};

// A loading task calling session->NewGame().
base::i_Task* MakeSessionMethodTask(base::i_GameSession* session, bool (base::i_GameSession::*method)());
// A loading task calling session->LoadGame(file) with its own copy of the file name; when that
// fails, the session (a game session of the menus) goes back to the main menu at its next update.
base::i_Task* MakeLoadGameTask(base::i_GameSession* session, bool (base::i_GameSession::*method)(const char*),
                               base::tString<base::BaseString> file);
