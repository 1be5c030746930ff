// How a test waits for what arrives in its own time (a child's line, a thread's result, a
// datagram) without judging how fast it came. A guard passes only once the test's other threads
// and every process it started have neither run nor waited for a processor for its whole length
// (cl_Stillness): stuck, not slow. A busy machine stretches the wait; it never ends it. The watchdog that runs
// each test (tests/support/TestWatch.cpp) judges the same way, for the test as a whole.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "support/ProcessTree.h"

#ifndef QUILLANE_TEST_TIME_FACTOR
#define QUILLANE_TEST_TIME_FACTOR 1  // the build's own factor: the sanitizer build runs every step slower
#endif

namespace testsupport {

// The largest factor taken from QUILLANE_TEST_TIME_SCALE: past it a guard would outlast any run.
constexpr double kMaxTimeScale = 100;

// QUILLANE_TEST_TIME_SCALE read as every reader reads it (the tests' guards, the watchdog and
// CTest's limits through the watchdog): a finite number of at least 1, at most kMaxTimeScale;
// anything else (unset, empty, 0, negative, "nan", text after the number) is 1.
inline double AskedTimeScale(const char* text) {
  if (!text) return 1;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(value) || value < 1) return 1;
  return std::min(value, kMaxTimeScale);
}

// How many times longer than on an ordinary machine a step may take here: QUILLANE_TEST_TIME_SCALE
// (set by hand on a machine that is slow without being busy, such as one under an emulator) times
// the build's factor. The machine's load plays no part: the guards judge stillness, not speed.
inline double TimeScale() {
  static const double scale = AskedTimeScale(std::getenv("QUILLANE_TEST_TIME_SCALE")) * QUILLANE_TEST_TIME_FACTOR;
  return scale;
}

// A guard chosen on an ordinary machine, in milliseconds, stretched by TimeScale().
inline int ScaledMs(int ms) { return int(std::min(ms * TimeScale(), 2.0e9)); }

// Where a wait stands in a test: as a defaulted last argument it takes the caller's file and line,
// and helpers that wait pass on their own caller's.
struct st_Where {
  const char* file = __builtin_FILE();
  int line = __builtin_LINE();
};

// A hang guard of guardMs (scaled) over the test's own process tree: it passes once that long has
// gone by in which everything but the waiting thread stood still, and then says on standard error
// where the test stood.
class cl_HangGuard {
 public:
  explicit cl_HangGuard(int guardMs, st_Where where = {})
      : m_still(getpid(), ScaledMs(guardMs) / 1000.0), m_guardMs(guardMs), m_where(where) {}

  bool Passed() {
    if (!m_still.Still()) return false;
    std::fprintf(stderr,
                 "hang guard: the wait at %s:%d is still waiting, and the test's processes ran or waited to run %.2f s "
                 "in its last %d ms (%d ms times %.2f)\n",
                 m_where.file, m_where.line, m_still.WindowDemandSeconds(), ScaledMs(m_guardMs), m_guardMs, TimeScale());
    return true;
  }

 private:
  cl_Stillness m_still;
  int m_guardMs;
  st_Where m_where;
};

// Calls done every pollMs until it holds (true) or the hang guard of guardMs passed (false): a
// wait for an event that arrives in its own time, never a judge of how fast it came.
template <class Done>
bool WaitUntil(Done&& done, int guardMs, int pollMs = 10, st_Where where = {}) {
  cl_HangGuard guard(guardMs, where);
  for (;;) {
    if (done()) return true;
    if (guard.Passed()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
}

}  // namespace testsupport
