// The built program in a virtual X display of its own (Xvfb), driven only as a player drives
// it: pointer and keys through the X server (xdotool), the keyboard layout set on the server
// (setxkbmap), and the screen read back from the server (xwd). Nothing reaches the program but X
// events.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/TimeScale.h"
#include "support/XServer.h"

namespace playertest {

constexpr int kWindowWidth = 1024, kWindowHeight = 768;  // the bundled "Display"
// Hang guards (testsupport::cl_HangGuard): a wait gives up only once the test, the X server and
// the program have stood still this long.
constexpr int kStartMs = 120000;  // the program's start-up in the X display
constexpr int kProgramStartMs = 60000;  // the same counted in the program's own time (ProgramMs)
// The last guard of a wait for what the program shows.
constexpr int kWaitMs = 120000;
// Where the pointer rests while the screen is read: away from what is compared.
constexpr int kRestX = 1000, kRestY = 740;

// What the X side needs from this machine; empty when all of it is there, else what is missing.
std::string MissingTools();

// The X screen as the server shows it: 0x00RRGGBB, top row first.
struct st_Screen {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

class cl_XSession {
 public:
  cl_XSession() = default;
  ~cl_XSession();  // stops the program and the X server when still running
  cl_XSession(const cl_XSession&) = delete;
  cl_XSession& operator=(const cl_XSession&) = delete;

  // Starts the program with the user folder userDir (in the scratch data beside it) on a fresh X
  // screen of width x height with the keyboard layout given (setxkbmap's name, e.g. "fr"); its
  // log goes to log. False when the X server does not come up within 20 s.
  bool Start(const std::string& userDir, const std::string& log, int width, int height, const std::string& layout);
  // The editor mode (QuickLaunch "editor", no intro) started with the user folder userDir on a
  // screen of width x height, "us" keys; false when it is not up within startMs.
  bool StartEditor(const std::string& userDir, const std::string& log, int width, int height, int startMs);
  // SIGTERM (to a held program after SIGCONT) and wait, then the X server ends; the program's exit status.
  int Stop();

  // ---- the player's hands
  void MoveTo(int x, int y);
  void Press();  // the left button
  void Release();
  void Click(int x, int y);
  void RightClick(int x, int y);
  void Key(const std::string& name);   // an X key name: Escape, Return, F1, ...
  void KeyDown(const std::string& name);  // held until KeyUp: Control_L over a drag
  void KeyUp(const std::string& name);
  void Type(const std::string& text);  // characters, each through the keys that type it here
  // The screen now; empty when it cannot be read.
  st_Screen Grab() const;
  // The first screen that `shows` accepts, grabbed again every few frames; once the program has
  // run programMs of its own time without it (or once the last guard, kWaitMs, passed), the last
  // one grabbed. A busy machine draws later, not differently.
  st_Screen GrabUntil(const std::function<bool(const st_Screen&)>& shows, int programMs = kWaitMs,
                      testsupport::st_Where where = {}) const;
  // Whether the log shows text before the program has run programMs of its own time (kWaitMs
  // the last guard): a wait that a busy machine stretches, never cuts short.
  bool LogShows(const std::string& log, const std::string& text, int programMs, testsupport::st_Where where = {}) const;
  // The same for the text's times-th line: a line said again, not its first time.
  bool LogShowsTimes(const std::string& log, const std::string& text, int times, int programMs,
                     testsupport::st_Where where = {}) const;
  // The first screen that stays `still` (each grab against the one before) while the program runs
  // forMs of its own time: a fade or a walk has ended. Counted in the program's time, a program
  // starved between two grabs does not pass for a still one. After kWaitMs the last one grabbed.
  st_Screen Settled(const std::function<bool(const st_Screen& before, const st_Screen& now)>& still, int forMs,
                    testsupport::st_Where where = {}) const;
  // How long the program has run: its main thread's processor time in milliseconds, which a busy
  // machine stretches over more wall time but never shortens; -1 once it has ended.
  long ProgramMs() const;

  // Drags the talk's topic at `topic` onto the partner at `partner` (pressed, moved in steps with
  // the button held, released) until the log shows `line`. The bar fades in and the topic pops in
  // first, so a press before they are there finds nothing: the hand tries three times.
  bool DragTopicUntil(std::pair<int, int> topic, std::pair<int, int> partner, const std::string& log,
                      const std::string& line);

  // ---- a frame as long as the test wants
  // Hold stops the program (SIGSTOP) in the frame it is in; what the hands do meanwhile reaches
  // it in the poll of one frame once Resume (SIGCONT) lets it go on, as on a machine so busy that
  // a frame lasts that long.
  void Hold();
  void Resume();

 private:
  bool X(const std::vector<std::string>& args) const;  // runs one X client of the server to its end

  testsupport::cl_XServer m_server;
  pid_t m_pid = -1;
  std::string m_dir;  // where the session keeps its shots
};

// Waits while the program of the running session runs ms of its own time (ProgramMs): a few of
// its frames however busy the machine, for what no log line tells. Its game time, stepped by the
// wall clock, moves on at least as far. kWaitMs is the last guard; without a running program it
// sleeps ms.
void Frames(int ms, testsupport::st_Where where = {});

}  // namespace playertest
