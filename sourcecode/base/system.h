// The engine's facade functions: logging now; options, paths, time and input arrive with the
// root module. Every engine subsystem reports through base::sys::Output.
#pragma once

namespace base::sys {

// printf-style; hands the formatted text to every output callback in registration order, then to
// the debugger output followed by a line end. Callers put their own line ends into the format.
void Output(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends fn to the process-wide callback list (no duplicate check; callable before the system exists).
void AddOutputCallback(bool (*fn)(const char*));
// Removes every registration of fn (tests register temporary sinks).
void RemoveOutputCallback(bool (*fn)(const char*));

// Writes text to the debugger output only (the callbacks do not see it), as it stands.
void DebuggerOutput(const char* text);

// Where text goes after the callbacks: stderr unless replaced; null restores stderr.
void SetDebuggerOutput(void (*fn)(const char*));

}  // namespace base::sys
