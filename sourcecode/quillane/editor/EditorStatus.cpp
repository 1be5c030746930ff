// The editor status line.
#include "quillane/editor/EditorStatus.h"

#include <algorithm>

#include "base/gui/GUIBasicControls.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "quillane/minigames/Minigame.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF4040u;
constexpr uint32_t kOutline = 0xFF191919u;
constexpr float kMargin = 8.0f;
constexpr float kBand = 24.0f;     // pixels above the window's foot
constexpr float kTextDrop = 4.0f;  // the text below the band's top, its outline inside

struct st_State {
  st_EditorStatus status;
  int shown = 0;  // lines shown so far (a cleared one too)
  int failedStore = -1;  // the number of the line a failed project save showed
  // FollowEditorWindows' last look: the GUI's windows then, and the lines shown by then.
  int windows = -1;
  int shownThen = 0;
  gfx::cl_FittedText cut{&gfx::ShortenLongestWord};  // a long file name gives way, not the cause after it
};

st_State& State() {
  static st_State state;
  return state;
}

// The GUI's windows other than popup menus and those closing (they go at its next render), hidden
// ones too (a tool hides the panel it replaces).
int CountWindows(const base::cl_GUI& gui) {
  int n = 0;
  for (const base::cl_Window* w : gui.m_Children)
    n += w->IsAutoClose() || std::ranges::find(gui.GetCloseQueue(), w) != gui.GetCloseQueue().end() ? 0 : 1;
  return n;
}

// A shown window below parent that reaches into r. A scroll area's rows count as far as it shows
// them; a mini-game panel draws over the whole window, whatever its rectangle.
bool AnyShownWindowMeets(const base::cl_Window& parent, const base::st_ScreenRect& r) {
  for (const base::cl_Window* w : parent.m_Children) {
    if (w->HasFlag(base::WF_HIDDEN)) continue;
    const base::st_ScreenRect& a = w->m_AbsRect;
    if (dynamic_cast<const i_Minigame*>(w) ||
        (a.left < r.right && r.left < a.right && a.top < r.bottom && r.top < a.bottom))
      return true;
    if (!dynamic_cast<const base::cl_ScrollArea*>(w) && AnyShownWindowMeets(*w, r)) return true;
  }
  return false;
}

}  // namespace

void ShowEditorStatus(const std::string& text, bool failure, const std::string& about) {
  st_State& state = State();
  state.status.text = text;
  state.status.failure = failure;
  state.status.about = about;
  ++state.shown;
}

void ForgetEditorStatusAbout(const std::string& about) {
  if (!about.empty() && State().status.about == about) ClearEditorStatus();
}

void ClearEditorStatus() { ShowEditorStatus(std::string(), false); }

const st_EditorStatus& GetEditorStatus() { return State().status; }

void FollowEditorWindows(const base::cl_GUI& gui) {
  st_State& state = State();
  const int windows = CountWindows(gui);
  if (state.windows >= 0 && windows > state.windows && state.shown == state.shownThen) ClearEditorStatus();
  state.windows = windows;
  state.shownThen = state.shown;
}

float GetEditorStatusTop() { return static_cast<float>(base::sys::GetWindowHeight()) - kBand; }

void RenderEditorStatus(const base::cl_Window* windows) {
  st_State& state = State();
  if (state.status.text.empty()) return;
  const float room = static_cast<float>(base::sys::GetWindowWidth()) - 2.0f * kMargin;
  // Kept between frames: cutting a long line anew each frame measured it over and over.
  const std::string& shown = state.cut.Get(state.status.text.c_str(), room);
  const base::st_ScreenRect band{kMargin - 1.0f, GetEditorStatusTop(), kMargin + 1.0f + gfx::GetTextWidth(shown.c_str()),
                                 static_cast<float>(base::sys::GetWindowHeight())};
  if (windows && AnyShownWindowMeets(*windows, band)) return;
  gfx::DrawTextOutlined(static_cast<int>(kMargin), static_cast<int>(band.top + kTextDrop), shown.c_str(),
                        state.status.failure ? kRed : kWhite, kOutline);
}

bool StoreProjectFile(cl_Scene& scene, const char* what) {
  base::cl_ErrorCatcher errors;
  st_State& state = State();
  if (scene.SaveProjectFile()) {
    // The failure of an earlier save still shown is over (the file was mended); a warning about
    // the change just saved stays.
    if (state.failedStore == state.shown) ClearEditorStatus();
    return true;
  }
  // The cause first: the summary below would be the last error line.
  ShowFailure(errors,
              (std::string(scene.GetScenePath().c_str()) + "ProjectFile.xml: " + what + " could not be saved").c_str());
  state.failedStore = state.shown;
  base::sys::Output("ERROR: %sProjectFile.xml: %s could not be saved; the old file stays\n",
                    scene.GetScenePath().c_str(), what);
  return false;
}

void ShowFailure(const base::cl_ErrorCatcher& errors, const char* fallback) {
  ShowEditorStatus(errors.Cause(fallback), true);
}

}  // namespace quillane
