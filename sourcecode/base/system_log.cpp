// Log fan-out behind base::sys::Output.
#include "base/system.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace base::sys {
namespace {

std::vector<bool (*)(const char*)>& Callbacks() {
  static std::vector<bool (*)(const char*)> callbacks;
  return callbacks;
}

void StderrOutput(const char* text) { std::fputs(text, stderr); }

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
  for (auto* fn : Callbacks()) fn(text);
  if (g_debuggerOutput) {
    g_debuggerOutput(text);
    g_debuggerOutput("\n");
  }
  std::free(text);
}

void AddOutputCallback(bool (*fn)(const char*)) { Callbacks().push_back(fn); }

void RemoveOutputCallback(bool (*fn)(const char*)) {
  auto& list = Callbacks();
  std::erase(list, fn);
}

void DebuggerOutput(const char* text) {
  if (g_debuggerOutput && text) g_debuggerOutput(text);
}

void SetDebuggerOutput(void (*fn)(const char*)) { g_debuggerOutput = fn ? fn : StderrOutput; }

}  // namespace base::sys
