// How much longer than on a quiet machine a test may wait here. A loaded or slow machine stretches
// every wait for a child, a message or a log line; the guards of those waits (and CTest's time
// limits) are multiplied by this factor, so that such a machine makes a test slower, never red,
// while a real hang still ends it.
#pragma once

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#ifndef QUILLANE_TEST_TIME_FACTOR
#define QUILLANE_TEST_TIME_FACTOR 1  // the build's own factor: the sanitizer build runs every step slower
#endif

namespace testsupport {

// The processes waiting for a processor per processor this test may run on, now: the larger of the
// 1- and 5-minute load averages over that count, at least 1 (also when the load cannot be read).
inline double LoadScale() {
  double minute = 0, fiveMinutes = 0;
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf %lf", &minute, &fiveMinutes) != 2) minute = fiveMinutes = 0;
    std::fclose(f);
  }
  cpu_set_t set;
  int cores = sched_getaffinity(0, sizeof(set), &set) == 0 ? CPU_COUNT(&set) : int(sysconf(_SC_NPROCESSORS_ONLN));
  cores = std::max(cores, 1);
  const double scale = std::max(minute, fiveMinutes) / cores;
  return std::isfinite(scale) ? std::max(scale, 1.0) : 1.0;
}

// The factor, fixed at its first use (the test's start): the larger of QUILLANE_TEST_TIME_SCALE
// (scripts/test.sh sets it from the load when its test stage starts; set it by hand on a machine
// that is slow without being loaded) and LoadScale(), times the build's factor.
inline double TimeScale() {
  static const double scale = [] {
    double asked = 1;
    if (const char* text = std::getenv("QUILLANE_TEST_TIME_SCALE")) {
      char* end = nullptr;
      const double value = std::strtod(text, &end);
      if (end != text && std::isfinite(value) && value > 1) asked = value;
    }
    return std::max(asked, LoadScale()) * QUILLANE_TEST_TIME_FACTOR;
  }();
  return scale;
}

// A guard chosen on a quiet machine, in milliseconds, stretched by TimeScale().
inline int ScaledMs(int ms) { return int(std::min(ms * TimeScale(), 2.0e9)); }

// Where a wait stands in a test: as a defaulted last argument it takes the caller's file and line,
// and helpers that wait pass on their own caller's.
struct st_Where {
  const char* file = __builtin_FILE();
  int line = __builtin_LINE();
};

// Calls done every pollMs until it holds (true) or the guard of guardMs (scaled) has passed (false):
// a wait for an event that arrives in its own time, never a judge of how fast it came. A guard
// that passes says on standard error where the test stood.
template <class Done>
bool WaitUntil(Done&& done, int guardMs, int pollMs = 10, st_Where where = {}) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ScaledMs(guardMs));
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) {
      if (done()) return true;
      std::fprintf(stderr, "hang guard: the wait at %s:%d is still waiting after %d ms (%d ms times %.2f)\n",
                   where.file, where.line, ScaledMs(guardMs), guardMs, TimeScale());
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
}

}  // namespace testsupport
