// The editor menu's launchers: the buttons that open a mini-game, a level editor or an editor
// tool as a window of the editor's GUI. Each is one row of a table in EditorLaunchers.cpp, so a
// new window only adds its row.
#pragma once

#include "quillane/minigames/MinigameManager.h"

namespace base {
class cl_GUI;
class cl_Window;
}

namespace quillane {

// How a launched game starts (ORDER LAUNCHINIT).
enum en_LaunchInit {
  LAUNCH_INIT,          // Init without a mission element
  LAUNCH_INIT_WIRETAP,  // Init with "Missions/Minigames/Wiretap" of a fresh game state, grid "grid1.xml"
  LAUNCH_NO_INIT,       // added as made (the train-travel editor)
};

// A game or level editor: the game's data file (MinigameRegistry's) is compiled when missing
// (through a temporary manager), then the window labelled windowLabel is closed when open, else
// made and opened.
struct st_GameLauncher {
  const char* button;       // the menu button's label
  const char* name;         // the name the game is registered under
  bool compilesData;        // false: the window needs no data file (the dance editor)
  cl_MinigameManager::tFactory factory;
  const char* windowLabel;  // the label of the game's window
  en_LaunchInit init;
  bool hidesStatus;         // the editor's show flags and last outcome go (they cover the game's own)
  bool (*unsaved)(base::cl_Window* window);  // the open window holds work not yet saved; null: never
};

// An editor tool window.
struct st_ToolLauncher {
  const char* button;
  const char* windowLabel;  // pressed while a window of this label is open: it closes; null: never
  bool needsScene;          // nothing happens without an open scene
  bool closesScene;         // the open scene is closed first
  base::cl_Window* (*factory)();
  bool init;                // Init with an empty description once added
};

// The row of a menu button; null when the button is no launcher.
const st_GameLauncher* FindGameLauncher(const char* button);
const st_ToolLauncher* FindToolLauncher(const char* button);
// The row of the first level editor open in gui with work not yet saved; null when none.
const st_GameLauncher* FindUnsavedWork(base::cl_GUI& gui);

}  // namespace quillane
