// The editor's status line: the outcome of the last save, compile, import or export, drawn at the
// foot of the window until the next piece of work (another outcome, another scene, a window
// opened), so a failure is seen where the work is done and not only in the log; a
// base::cl_ErrorCatcher hands it the cause the lower layers logged.
#pragma once

#include <string>

#include "base/ErrorCatcher.h"

namespace base {
class cl_GUI;
class cl_Window;
}

namespace quillane {

class cl_Scene;

struct st_EditorStatus {
  std::string text;
  bool failure = false;
  std::string about;  // what the line speaks of (an element, "<group>/<label>"); empty: the work
};

// Replaces the line; a failure is drawn in red. about names what the line speaks of, so that the
// line can go with it.
void ShowEditorStatus(const std::string& text, bool failure, const std::string& about = std::string());
// Clears the line when it speaks of about: what it says is no longer so once that is gone.
void ForgetEditorStatusAbout(const std::string& about);
void ClearEditorStatus();
const st_EditorStatus& GetEditorStatus();
// Once a frame with the editor's GUI: a window opened since the last call (a tool, a dialog, a
// game, the viewer; popup menus aside) begins new work, and a line shown before this frame goes.
// The outcome that came with it (the answer that ended a tool) stays.
void FollowEditorWindows(const base::cl_GUI& gui);
// The top of the band at the window's foot that the line takes: texts of windows stay above it.
float GetEditorStatusTop();
// The line in that band, fitted to the window's width by the middle of its longest word (a file
// name) giving way, then its end; not drawn while a shown window below windows (null: none)
// reaches into it or a mini-game panel is open, so it never covers another text. Nothing without
// a text.
void RenderEditorStatus(const base::cl_Window* windows);

// Writes the scene's project file; a failure ("what could not be saved") is logged and shown on
// the status line with the cause the writer named; a success ends such a failure still shown.
// False on failure.
bool StoreProjectFile(cl_Scene& scene, const char* what = "the change");

// Shows the cause errors caught (or fallback) as a failure.
void ShowFailure(const base::cl_ErrorCatcher& errors, const char* fallback);

}  // namespace quillane
