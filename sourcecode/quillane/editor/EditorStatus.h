// The editor's status line: the outcome of the last save, compile, import or export, drawn at the
// foot of the window until the next one, so a failure is seen where the work is done and not only
// in the log; a base::cl_ErrorCatcher hands it the cause the lower layers logged.
#pragma once

#include <string>

#include "base/ErrorCatcher.h"

namespace quillane {

class cl_Scene;

struct st_EditorStatus {
  std::string text;
  bool failure = false;
};

// Replaces the line; a failure is drawn in red.
void ShowEditorStatus(const std::string& text, bool failure);
void ClearEditorStatus();
const st_EditorStatus& GetEditorStatus();
// The line at the window's foot, cut with "..." to the window's width. Nothing without a text.
void RenderEditorStatus();

// Writes the scene's project file; a failure ("what could not be saved") is logged and shown on
// the status line with the cause the writer named. False on failure.
bool StoreProjectFile(cl_Scene& scene, const char* what = "the change");

// Shows the cause errors caught (or fallback) as a failure.
void ShowFailure(const base::cl_ErrorCatcher& errors, const char* fallback);

}  // namespace quillane
