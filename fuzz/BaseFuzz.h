// What every fuzz target over the base library does first: silence the log (bad input is
// reported on every run), forget interned names once random inputs have piled them up, and skip
// inputs too large to be worth the time.
#pragma once

#include <cstddef>

#include "base/text/Vocable.h"
#include "base/system.h"

namespace fuzzsupport {

inline void Quiet(const char*) {}

// False for an input the target should skip (larger than maxSize).
inline bool BeginBaseInput(size_t size, size_t maxSize = size_t{1} << 20) {
  static const bool quiet = (base::sys::SetDebuggerOutput(Quiet), true);
  (void)quiet;
  if (base::vocable::count() > 50000) base::vocable::clear_for_fuzzing();
  return size <= maxSize;
}

}  // namespace fuzzsupport
