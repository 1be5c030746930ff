// Waits of the sound tests for something that happens in real time (a device's mix, the stream
// threads): they wait for the event itself, and their guard only ends a test that hangs. The guard
// stretches with QUILLANE_TEST_TIME_SCALE (a factor of at least 1 a loaded machine's test run
// sets), so a busy machine makes such a test slower, never red.
#pragma once

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace audiotest {

// seconds chosen on a quiet machine, times the run's time scale.
inline std::chrono::milliseconds HangGuard(double seconds) {
  double scale = 1.0;
  if (const char* text = std::getenv("QUILLANE_TEST_TIME_SCALE")) {
    const double value = std::strtod(text, nullptr);
    if (std::isfinite(value) && value > 1.0) scale = value;
  }
  return std::chrono::milliseconds(static_cast<long long>(seconds * scale * 1000.0));
}

// Polls done every few milliseconds until it holds (true) or the guard has passed (false).
template <class Done>
bool WaitFor(Done&& done, double guardSeconds) {
  const auto end = std::chrono::steady_clock::now() + HangGuard(guardSeconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace audiotest
