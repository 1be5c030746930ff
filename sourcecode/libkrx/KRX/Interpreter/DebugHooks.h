// The points at which the interpreter and the scheduler hand control to an attached script
// debugger. The debugger installs its functions once; each may be null. They are called only
// while ScriptSystem has a debugger, and the thread hooks only for threads with the debug flag.
#pragma once

#include <string>

namespace KRX {

class Thread;
struct Frame;
namespace detail {
class function_adapter_base;
}

struct st_DebugHooks {
  void (*lineHook)(Thread& thread, Frame& frame) = nullptr;    // after each "line" instruction
  void (*returnHook)(Thread& thread, Frame& frame) = nullptr;  // before a frame is popped
  void (*runStarted)(Thread& thread) = nullptr;                // resets the endless-loop count
  void (*threadEnded)(Thread& thread) = nullptr;               // the run ended finished or dead
  void (*processMessages)() = nullptr;                         // first thing of each scheduler step
  // The native function being called (null once it returned).
  void (*nativeCall)(const detail::function_adapter_base* adapter) = nullptr;
  // Describes the current position for the " at c-call " suffix; false when it cannot.
  bool (*describePosition)(std::string& out) = nullptr;
  void (*assertFailed)() = nullptr;  // a script assertion failed: stop at the next line
};

// Installs the hooks (null removes them). The table must outlive its installation.
void SetDebugHooks(const st_DebugHooks* hooks);
// The installed hooks while a debugger is attached to the script system, else null.
const st_DebugHooks* GetActiveDebugHooks();

}  // namespace KRX
