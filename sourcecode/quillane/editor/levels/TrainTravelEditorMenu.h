// The train-travel editor's panels: the three popup menus and the play options (one class told
// apart by its layout) and the station options. They only fill their controls; every command
// goes to the editor's HandleMenuEvent.
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"

namespace quillane {

class cl_TrainTravelEditor;
struct st_TrainNode;

// The three popup menus and the play options panel, told apart by their layout.
class cl_TrainTravelEditorMenu : public base::cl_Panel {
 public:
  // Loads layout from "GUI.xml"; for "TrainTravelPlayOptions" fills the controls from options.
  cl_TrainTravelEditorMenu(cl_TrainTravelEditor* editor, base::String layout, base::Variant options);
  // Escape, a right press and a left press outside close it as a cancel (nothing reaches the
  // editor); the rest goes to its controls. True for what it took.
  bool ProcessInput(base::ICMD& cmd) override;
  // Hands the event to the editor; closes when the editor handled it or this is a popup. False.
  bool ProcessEvent(const base::Variant& event) override;
  bool ClosesAfterEvent() const { return m_CloseAfterEvent; }

 private:
  cl_TrainTravelEditor* m_Editor;  // not owned
  bool m_CloseAfterEvent = false;
};

// One station's values: name, distances, role and flags.
class cl_TrainTravelNodeOptions : public base::cl_Panel {
 public:
  cl_TrainTravelNodeOptions(cl_TrainTravelEditor* editor, st_TrainNode& node);
  bool ProcessEvent(const base::Variant& event) override;  // to the editor; false

 private:
  cl_TrainTravelEditor* m_Editor;  // not owned
};

// The integer value of the control labelled label below panel; 0 when absent.
int ControlInt(base::cl_Window* panel, const char* label);

}  // namespace quillane
