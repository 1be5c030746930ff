// The engine's millisecond clock behind base::sys::Ticks and the frame loop. The real clock is the
// monotonic system clock; tests install a clock of their own so that frame steps, time slices
// and double-click windows are exact and no test waits for real time.
#pragma once

namespace base {

class i_Clock {
 public:
  virtual ~i_Clock() = default;
  virtual unsigned long Ticks() = 0;    // milliseconds since an arbitrary start; wraps at 2^32
  virtual void Sleep(unsigned ms) = 0;  // returns after about ms milliseconds
};

namespace sys {

// Installs clock (not owned) for Ticks, Sleep and the frame loop; null restores the real clock.
void SetClock(i_Clock* clock);
// Milliseconds as a 32-bit tick counter (the wrap-around is kept, callers subtract unsigned).
unsigned long Ticks();
// Blocks the calling thread for about ms milliseconds (the installed clock decides).
void Sleep(unsigned ms);

}  // namespace sys
}  // namespace base
