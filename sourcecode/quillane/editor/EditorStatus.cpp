// The editor's status line and the catcher of the error lines it shows.
#include "quillane/editor/EditorStatus.h"

#include <cstring>
#include <mutex>

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

// Output may come from any thread: the catcher's state is guarded.
std::mutex g_catchMutex;
bool g_catching = false;
std::string g_firstError;

bool CatchError(const char* text) {
  static const char kPrefix[] = "ERROR: ";
  if (!text || std::strncmp(text, kPrefix, sizeof kPrefix - 1) != 0) return false;
  std::lock_guard<std::mutex> lock(g_catchMutex);
  if (!g_catching || !g_firstError.empty()) return false;
  g_firstError = text + sizeof kPrefix - 1;
  while (!g_firstError.empty() && (g_firstError.back() == '\n' || g_firstError.back() == '\r'))
    g_firstError.pop_back();
  return false;
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
  std::string shown = status.text;
  if (gfx::GetTextWidth(shown.c_str()) > room) {
    while (!shown.empty() && gfx::GetTextWidth((shown + "...").c_str()) > room) shown.pop_back();
    shown += "...";
  }
  const int y = base::sys::GetWindowHeight() - 20;
  gfx::DrawTextOutlined(static_cast<int>(kMargin), y, shown.c_str(), status.failure ? kRed : kWhite, kOutline);
}

bool StoreProjectFile(cl_Scene& scene, const char* what) {
  cl_ErrorCatcher errors;
  if (scene.SaveProjectFile()) return true;
  base::sys::Output("ERROR: %sProjectFile.xml: %s could not be saved; the old file stays\n",
                    scene.GetScenePath().c_str(), what);
  errors.ShowFailure((std::string(scene.GetScenePath().c_str()) + "ProjectFile.xml: " + what + " could not be saved").c_str());
  return false;
}

cl_ErrorCatcher::cl_ErrorCatcher() {
  std::lock_guard<std::mutex> lock(g_catchMutex);
  if (g_catching) return;
  g_catching = m_active = true;
  g_firstError.clear();
  base::sys::AddOutputCallback(CatchError);
}

cl_ErrorCatcher::~cl_ErrorCatcher() {
  if (!m_active) return;
  base::sys::RemoveOutputCallback(CatchError);
  std::lock_guard<std::mutex> lock(g_catchMutex);
  g_catching = false;
}

std::string cl_ErrorCatcher::First(const char* fallback) const {
  std::lock_guard<std::mutex> lock(g_catchMutex);
  if (m_active && !g_firstError.empty()) return g_firstError;
  return fallback ? fallback : "";
}

}  // namespace quillane
