// The real clock and the clock switch of base::sys.
#include "base/app/Clock.h"

#include <chrono>
#include <cstdint>
#include <thread>

namespace base {
namespace {

class cl_RealClock final : public i_Clock {
 public:
  unsigned long Ticks() override {
    const auto since = std::chrono::steady_clock::now() - m_start;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return static_cast<unsigned long>(static_cast<uint32_t>(ms));
  }
  void Sleep(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

i_Clock& RealClock() {
  static cl_RealClock clock;
  return clock;
}

i_Clock* g_clock = nullptr;

i_Clock& Current() { return g_clock ? *g_clock : RealClock(); }

}  // namespace

namespace sys {

void SetClock(i_Clock* clock) { g_clock = clock; }
unsigned long Ticks() { return Current().Ticks(); }
void Sleep(unsigned ms) { Current().Sleep(ms); }

}  // namespace sys
}  // namespace base
