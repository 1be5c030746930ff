// The editor's status line: the outcome of the last save, compile, import or export, drawn at the
// foot of the window until the next one, so a failure is seen where the work is done and not only
// in the log. cl_ErrorCatcher hands the cause the lower layers logged to that line.
#pragma once

#include <string>

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

// Collects the first "ERROR: " line logged while it lives (the file and the cause the failing
// layer named), without its prefix. One at a time: an inner catcher while one is active sees nothing.
class cl_ErrorCatcher {
 public:
  cl_ErrorCatcher();
  ~cl_ErrorCatcher();
  cl_ErrorCatcher(const cl_ErrorCatcher&) = delete;
  cl_ErrorCatcher& operator=(const cl_ErrorCatcher&) = delete;

  // The first error line; fallback when none was logged.
  std::string First(const char* fallback) const;
  // Shows the first error (or fallback) as a failure.
  void ShowFailure(const char* fallback) const { ShowEditorStatus(First(fallback), true); }

 private:
  bool m_active = false;
};

}  // namespace quillane
