// The test process's own threads, counted from /proc/self/task. A joined thread leaves that list
// a moment after its join returned (later on a loaded machine), so counts are read once they
// settle, never at one instant.
#pragma once

#include <dirent.h>

#include <chrono>
#include <thread>

#include "support/TimeScale.h"

namespace testsupport {

inline int ThreadCountNow() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++n;
    closedir(d);
  }
  return n;
}

// The count once it equals expected, or the count at the end of a guard of 30 s (scaled) when it
// never does.
inline int ThreadCountReaching(int expected, st_Where where = {}) {
  int n = 0;
  WaitUntil([&] { return (n = ThreadCountNow()) == expected; }, 30000, 5, where);
  return n;
}

// The count once it has stayed the same for 50 ms: threads that earlier work joined are gone.
inline int SettledThreadCount() {
  int n = ThreadCountNow();
  for (int same = 0; same < 10;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const int next = ThreadCountNow();
    same = next == n ? same + 1 : 0;
    n = next;
  }
  return n;
}

}  // namespace testsupport
