// The game's side of native script calls: the readers with which a native function takes its
// arguments (numbered from 1, never failing: a missing or mistyped argument gives the caller's
// default and, when asked, a message), the game's error report, and the calling thread a
// blocking function pauses. Main thread only.
#pragma once

#include "KRX/runtime/Interface.h"

namespace KRX {
class Thread;
}

namespace script {

// Argument k (1-based) when it is a number (int or float; a float is truncated). Otherwise def,
// after "wrong parameter %d - 'integer' expected." when report is set.
int GetArgInt(KRX::t_Interface& in, int k, int def, bool report = true);
// Argument k when it is a number, as a float. Otherwise def ("... 'float' expected.").
float GetArgFloat(KRX::t_Interface& in, int k, float def, bool report = true);
// Argument k when it is a bool (an int is refused). Otherwise def ("... 'boolean' expected.").
bool GetArgBool(KRX::t_Interface& in, int k, bool def, bool report = true);
// The text of argument k when it is a string or a label; the script value keeps owning it, so
// it lasts for the call. Otherwise def ("... 'string' expected.").
const char* GetArgString(KRX::t_Interface& in, int k, const char* def, bool report = true);

// Formats the message whole. With the script debugger present it goes to the script output with
// the "file(line) : " of the calling thread's current frame; without it, to the engine log as it is.
void ReportError(KRX::t_Interface& in, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The thread a blocking native function makes wait: the interface's thread, or, for a function
// whose adapter passes no interface (null in), the script system's current thread. Null outside
// a script call.
KRX::Thread* GetCallingThread(const KRX::t_Interface* in);

}  // namespace script
