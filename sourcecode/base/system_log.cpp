// Log fan-out behind base::sys::Output.
#include "base/system.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace base::sys {
namespace {

// Output runs on any thread (the sound and loader threads log) while others add and remove
// callbacks. A walk holds the lock shared, so threads log side by side and a callback may log in
// turn; adding and removing wait for the walks under way, so the list never changes or moves
// under a walker and a removed callback is not called after its removal returns.
struct st_Callbacks {
  std::shared_mutex mutex;
  std::vector<bool (*)(const char*)> list;
};

st_Callbacks& Callbacks() {
  static st_Callbacks* callbacks = new st_Callbacks;  // never destroyed: static destructors log too
  return *callbacks;
}

// Walks under way on this thread: a callback's own line walks the list again without locking.
thread_local int t_walks = 0;

void CallCallbacks(const char* text) {
  st_Callbacks& callbacks = Callbacks();
  std::shared_lock<std::shared_mutex> lock(callbacks.mutex, std::defer_lock);
  if (t_walks == 0) lock.lock();
  struct st_Walk {
    st_Walk() { ++t_walks; }
    ~st_Walk() { --t_walks; }
  } walk;
  for (auto* fn : callbacks.list) fn(text);
}

// Output adds a line end after every line, and most lines carry their own: on a console the
// second one would leave an empty line after each.
std::atomic<bool> g_atLineStart{true};
void StderrOutput(const char* text) {
  if (text[0] == '\n' && text[1] == 0 && g_atLineStart) return;
  std::fputs(text, stderr);
  const size_t n = std::strlen(text);
  g_atLineStart = n > 0 && text[n - 1] == '\n';
}

void (*g_debuggerOutput)(const char*) = StderrOutput;

}  // namespace

void Output(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed < 0) {
    va_end(args);
    return;
  }
  // Exactly the needed length; std::vector would go through the engine allocator too, which is
  // fine, but a plain malloc keeps logging usable from inside the allocator's own reports.
  char* text = static_cast<char*>(std::malloc(static_cast<size_t>(needed) + 1));
  if (!text) {
    va_end(args);
    return;
  }
  std::vsnprintf(text, static_cast<size_t>(needed) + 1, format, args);
  va_end(args);
  CallCallbacks(text);
  if (g_debuggerOutput) {
    g_debuggerOutput(text);
    g_debuggerOutput("\n");
  }
  std::free(text);
}

void AddOutputCallback(bool (*fn)(const char*)) {
  std::unique_lock<std::shared_mutex> lock(Callbacks().mutex);
  Callbacks().list.push_back(fn);
}

void RemoveOutputCallback(bool (*fn)(const char*)) {
  std::unique_lock<std::shared_mutex> lock(Callbacks().mutex);
  std::erase(Callbacks().list, fn);
}

void DebuggerOutput(const char* text) {
  if (g_debuggerOutput && text) g_debuggerOutput(text);
}

void SetDebuggerOutput(void (*fn)(const char*)) { g_debuggerOutput = fn ? fn : StderrOutput; }

}  // namespace base::sys
