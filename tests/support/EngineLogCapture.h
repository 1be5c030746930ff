// Captures of the engine's own outputs, for test programs that link base: the log behind
// base::sys::Output and the debugger output (which also sees every log line, then a line end).
#pragma once

#include "base/system.h"
#include "support/LogCapture.h"

namespace testsupport {

using LogCapture = tLogCapture<tCallbackListLog<&base::sys::AddOutputCallback, &base::sys::RemoveOutputCallback>>;
using DebuggerOutputCapture = tLogCapture<tSinkLog<&base::sys::SetDebuggerOutput>>;

}  // namespace testsupport
