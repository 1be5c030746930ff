// cl_GameFrame: the game's top module, a state machine of modules of which only the current one
// is updated, drawn and given input ("RootMenu", "LoadingScreen", "VideoController", "Session",
// "Editor", "PathFinderTest"). It owns the GUI roots and the loading screen, decides at start-up
// how the game opens, and offers the operations through which the rest of the game changes
// state through the loading screen. There is one frame; GetGameFrame reaches it.
#pragma once

#include <memory>

#include "base/String.h"
#include "base/TaskScheduler.h"
#include "base/app/GameFrame.h"
#include "quillane/core/FrameServices.h"

namespace win32dx9 {
class cl_SystemGUI;
}

namespace quillane {
class cl_ActorRegistry;
}

class cl_GameGUI;
class cl_LoadingScreen;
class cl_CustomQuitModule;
class cl_RootMenu;
class cl_VideoController;

class cl_GameFrame : public base::i_GameFrame {
 public:
  static cl_GameFrame* Create();  // the frame; the entry routine adds it to the root module

  cl_GameFrame();  // becomes the process-wide frame; makes the GUI roots and the video controller
  // Clears it; the root menu, the video controller and the quit module go with it, before the
  // GUI roots their windows live in.
  ~cl_GameFrame() override;

  // Makes the system GUI the GUI root, adds "RootMenu" (on the game GUI) and "LoadingScreen",
  // then opens the game
  // the way "DevTools" asks (QuickLaunch "game", "editor", "testpathfinder") or by the normal
  // road (intro, loading screen, root menu); installs the display-text parser. Always true.
  bool StartUp() override;
  // The current state. A switch made elsewhere (the video controller's) is logged here.
  void Update(float time, float dt) override;
  base::i_GameSession* CreateSession() override;  // a new cl_Session

  // Switches to "Editor". The first call makes the editor (through the editor's services; without
  // them only a warning) and loads its resources.
  void StartEditor();
  // "Session" when a session exists, else "RootMenu".
  void LeaveEditor();
  bool IsEditorActive() const;  // the current state is the editor

  // The one-time automatic graphics configuration: with "Display/AutoConfig" = 1, the quality
  // options from the display memory, both configuration files written, the device reset.
  void InitGfxOptions();

  // Every state switch logs "GameFrame: state <name>" (and unknown names an error).
  bool SwitchState(const char* name);

  win32dx9::cl_SystemGUI* GetSystemGUI() const { return m_systemGUI.get(); }
  cl_GameGUI* GetGameGUI() const { return m_gameGUI.get(); }  // the menus' GUI root
  cl_LoadingScreen* GetLoadingScreen() const { return m_pLoadingScreen; }
  cl_VideoController* GetVideoController() const { return m_pVideoController; }
  // The installed quit confirmation (null before its loading task ran, or after a QuickLaunch).
  cl_CustomQuitModule* GetQuitModule() const { return m_quitModule.get(); }
  quillane::cl_ActorRegistry* GetActorRegistry() const { return m_actorRegistry.get(); }
  // Takes the quit module, installs it with the engine and keeps it until the frame goes.
  void InstallQuitModule(cl_CustomQuitModule* module);
  const char* GetStateName() const;  // the current state's name; "" when none

 private:
  void NormalStart(int introFlag);
  void QuickLaunch(const base::tString<base::BaseString>& mode);

  cl_LoadingScreen* m_pLoadingScreen = nullptr;  // a child module (the tree deletes it)
  cl_RootMenu* m_pRootMenu = nullptr;            // a state (the module tree owns it); null when none
  base::cl_Module* m_pEditor = nullptr;          // none until an editor exists
  cl_VideoController* m_pVideoController = nullptr;
  bool m_videoIsState = false;  // added as "VideoController": the module tree owns it then
  const base::cl_Module* m_loggedState = nullptr;  // the state the log last named
  std::unique_ptr<win32dx9::cl_SystemGUI> m_systemGUI;
  std::unique_ptr<cl_GameGUI> m_gameGUI;
  std::unique_ptr<cl_CustomQuitModule> m_quitModule;
  std::unique_ptr<quillane::cl_ActorRegistry> m_actorRegistry;  // made at start-up
};

// The frame, or null.
cl_GameFrame* GetGameFrame();

// The quality level InitGfxOptions picks for a display memory in MB: 0 up to 64, 0.5 up to 128, 1 above.
float GfxQualityFor(float displayMemoryMb);

// The start-up loading task that creates and installs the quit confirmation.
class Task_SetupCustomQuitModule : public base::i_Task {
 public:
  void Run() override;
};
