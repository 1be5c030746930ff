// KRX::ThreadList: the scheduler step over the script system's list of waiting and paused
// threads, called by the game once per frame with the frame time.
#pragma once

namespace KRX {

class ThreadList {
 public:
  // Lets the debugger handle its queued messages, then walks the list once: ended threads
  // (finished or dead) are dropped, waiting threads count their time down by dt and run once it
  // is below dt, running and paused threads are left alone. Threads appended during the walk are
  // visited in it. A nested call (from a native function) does nothing.
  static void Update(float dt);
};

}  // namespace KRX
