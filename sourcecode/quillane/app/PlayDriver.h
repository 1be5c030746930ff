// Runs the steps of a .play file against the running game, one frame at a time: at the start of
// each frame it carries out steps until one has to wait (for a state, for frames) or has put
// input into the platform's queue, which the frame then consumes. A failed step stops the run
// with the step, the reason and the last 20 log lines; the frame after the last step ends it.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/math/Limit.h"
#include "quillane/app/PlayScript.h"

namespace base {
class cl_System;
class cl_Window;
}  // namespace base
namespace win32dx9 {
class cl_Platform;
}
namespace platform::input {
class Queue;
}

class cl_PlayDriver {
 public:
  static constexpr int kShotWidth = 256;
  static constexpr int kShotHeight = 192;
  static constexpr size_t kLogLines = 20;

  // A host's check: true when it holds; why says what did not.
  using tCheck = std::function<bool(const std::string& argument, std::string* why)>;

  static constexpr size_t kLogLimit = 16u << 20;  // bytes of the whole log kept for the checks

  // goldenDir: where "shot" finds (or, when missing or with QUILLANE_UPDATE_GOLDEN=1, writes)
  // its pictures. The built-in checks (PlayChecks.h) are registered.
  cl_PlayDriver(std::vector<st_PlayStep> steps, std::string goldenDir);
  ~cl_PlayDriver();
  cl_PlayDriver(const cl_PlayDriver&) = delete;
  cl_PlayDriver& operator=(const cl_PlayDriver&) = delete;

  void AddCheck(const std::string& name, tCheck check) { m_checks[name] = std::move(check); }

  // The frame loop's hook: carries out steps until one waits; once every step is done (their
  // input consumed by a frame), the system's quit flag.
  void OnFrame(win32dx9::cl_Platform& platform, base::cl_System& system);
  // After the frame loop: steps left over fail the run ("the program ended before ...").
  void OnEnd();

  bool Finished() const { return m_next >= m_steps.size() && m_failure.empty(); }
  bool Failed() const { return !m_failure.empty(); }
  const std::string& GetFailure() const { return m_failure; }
  size_t GetNextStep() const { return m_next; }
  int GetFrames() const { return m_frames; }
  // The log since the driver was made (its first kLogLimit bytes).
  const std::string& GetLog() const { return m_fullLog; }

  // The window with that label among the open GUIs (the quit box first, then the session's, the
  // system and the game GUI); null when none is open.
  static base::cl_Window* FindOpenWindow(const std::string& label);
  // The window point a step aims at for kind "button" (a window with that label, where a scaled
  // panel shows it), "token" (a token of the bar), "character", "hotspot" or "diary" ("close":
  // its close button); false when nothing of that name is shown.
  static bool FindPoint(const std::string& kind, const std::string& name, int* x, int* y);
  // A window's rectangle where the screen shows it: the load/save and options panels draw all
  // they hold smaller in a window too small for them.
  static base::tRectf ShownRect(const base::cl_Window* window);
  // The last frame scaled to kShotWidth x kShotHeight (0xFFRRGGBB); empty without a device.
  static std::vector<uint32_t> GrabShot();
  // The part [x0, x1) x [y0, y1) of the last frame (clamped to it) scaled to width x height;
  // empty without a device or with nothing of the frame inside.
  static std::vector<uint32_t> GrabShot(int x0, int y0, int x1, int y1, int width, int height);
  // frame against the PNG at path: mean difference at most 3 per channel and at most 1 % of
  // pixels off by more than 24 in a channel. A missing picture is written (and passes).
  static bool CompareWithGolden(const std::vector<uint32_t>& frame, int width, int height, const std::string& path,
                                std::string* why);

 private:
  enum class en_Outcome { Next, Yield, Fail };
  en_Outcome RunStep(const st_PlayStep& step, win32dx9::cl_Platform& platform, std::string* why);
  en_Outcome DragToken(const st_PlayStep& step, platform::input::Queue& input, std::string* why);
  // "shot <name> <character>...": the frame around those characters' faces against its golden.
  en_Outcome FacesShot(const st_PlayStep& step, std::string* why);
  // "click game", "move game" and "wait game": the held mini-game's play targets and conditions.
  en_Outcome GameStep(const st_PlayStep& step, platform::input::Queue& input, std::string* why);
  // A move there, then a press and release of button (0 left, 1 right).
  void Click(platform::input::Queue& input, int x, int y, int button = 0);
  void MoveMouse(platform::input::Queue& input, float x, float y);
  void Fail(const st_PlayStep* step, const std::string& why, base::cl_System* system);
  // ---- the editors' steps (PlayEditorSteps.cpp)
  en_Outcome RunEditorStep(const st_PlayStep& step, platform::input::Queue& input, std::string* why);
  en_Outcome Drag(const st_PlayStep& step, platform::input::Queue& input);
  en_Outcome Type(const st_PlayStep& step, platform::input::Queue& input);
  en_Outcome ClickEntry(const st_PlayStep& step, platform::input::Queue& input, std::string* why);
  void PointerTo(platform::input::Queue& input, int x, int y);  // the cursor there at once

  static bool CaptureLog(const char* text);
  static bool SaveOrLoad(const st_PlayStep& step, std::string* why);  // the user's slot step.number

  std::vector<st_PlayStep> m_steps;
  std::string m_goldenDir;
  std::map<std::string, tCheck> m_checks;
  size_t m_next = 0;
  int m_waited = 0;  // frames spent in the current wait
  int m_frames = 0;
  uint32_t m_inputTime = 0;
  float m_dragX = 0.0f, m_dragY = 0.0f;  // where the dragged token was picked up
  int m_dragFrame = -1;                   // frames since the pick-up; -1 before it
  int m_dragSettled = 0;                  // frames the bar has been shown and still
  int m_stepFrame = 0;                    // frames a drag has run, characters a typing has sent
  std::string m_failure;
  std::deque<std::string> m_log;
  std::string m_partialLine;
  std::string m_fullLog;
};
