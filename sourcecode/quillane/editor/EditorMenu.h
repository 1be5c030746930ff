// cl_EditorMenu: the editor's right-click menu (layout "TestMenu" of "GUI.xml"), its entrance to
// everything else: the scene manager and scene editor, the batch exports, the mini-games and level
// editors, the pile-grid tool, the character viewer, a file self-test and quitting (asked first
// over a level editor's unsaved work). It closes on a press outside its controls, and its buttons
// close it through the layout's close flag.
#pragma once

#include "base/gui/GUI.h"

namespace quillane {

struct st_GameLauncher;
struct st_ToolLauncher;

class cl_EditorMenu : public base::cl_Panel {
 public:
  // Loads "TestMenu" from "GUI.xml"; the description is not read. False when the layout is missing.
  bool Init(base::StaticVariantIterator desc) override;
  // The controls first; Escape closes the menu (taken); a left or right press they do not take
  // closes it too and goes on (false: a right press opens the menu again where it was made).
  bool ProcessInput(base::ICMD& cmd) override;
  // "ButtonPressed" events act by their "ctrl_label"; every event is consumed.
  bool ProcessEvent(const base::Variant& event) override;

  // The text-file self-test of the "VideoPlayer" button: the narrow and the wide "Test" written to
  // file and read back in that order, then the file deleted. The bytes read back; -1 when the file
  // could not be written.
  static int RunStringFileTest(const char* file);

 private:
  void Launch(const st_GameLauncher& launcher);
  void Launch(const st_ToolLauncher& launcher);
  void ToggleSceneManager();
  // Ends the program; over a level editor's unsaved work it asks first.
  void Quit();
};

}  // namespace quillane
