// The editor status line.
#include "quillane/editor/EditorStatus.h"

#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF4040u;
constexpr uint32_t kOutline = 0xFF191919u;
constexpr float kMargin = 8.0f;

st_EditorStatus& Status() {
  static st_EditorStatus status;
  return status;
}

}  // namespace

void ShowEditorStatus(const std::string& text, bool failure) {
  Status().text = text;
  Status().failure = failure;
}

void ClearEditorStatus() { ShowEditorStatus(std::string(), false); }

const st_EditorStatus& GetEditorStatus() { return Status(); }

void RenderEditorStatus() {
  const st_EditorStatus& status = Status();
  if (status.text.empty()) return;
  const float room = static_cast<float>(base::sys::GetWindowWidth()) - 2.0f * kMargin;
  const std::string shown = gfx::ShortenText(status.text.c_str(), room);
  const int y = base::sys::GetWindowHeight() - 20;
  gfx::DrawTextOutlined(static_cast<int>(kMargin), y, shown.c_str(), status.failure ? kRed : kWhite, kOutline);
}

bool StoreProjectFile(cl_Scene& scene, const char* what) {
  base::cl_ErrorCatcher errors;
  if (scene.SaveProjectFile()) return true;
  // The cause first: the summary below would be the last error line.
  ShowFailure(errors,
              (std::string(scene.GetScenePath().c_str()) + "ProjectFile.xml: " + what + " could not be saved").c_str());
  base::sys::Output("ERROR: %sProjectFile.xml: %s could not be saved; the old file stays\n",
                    scene.GetScenePath().c_str(), what);
  return false;
}

void ShowFailure(const base::cl_ErrorCatcher& errors, const char* fallback) {
  ShowEditorStatus(errors.Cause(fallback), true);
}

}  // namespace quillane
