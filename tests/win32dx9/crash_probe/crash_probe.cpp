// crash_probe FAULT: installs the crash handler the way the program does, with the user data
// folder from QUILLANE_USER_DIR, and then fails as asked: null, divide, overflow, abort,
// illegal, breakpoint, thread (a null write on a second thread), default-name (a null write
// before the report is named "crash.log"), locals (a null write in a frame whose variables and
// whose caller's the report must show, with the globals; "locals-noglobals" without the globals).
// Returns 3 when the fault did not end it.
#include <cstdlib>
#include <cstring>
#include <thread>

#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "platform/os/CrashHandler.h"
#include "win32dx9/ExceptionHandler.h"
#include "win32dx9/Services.h"

// Each fault sits in a function of its own that the report must name; the sanitizers would
// catch some of them first, so they stay out of these.
#define PROBE_FAULT __attribute__((noinline, no_sanitize("address", "undefined")))

// Outside the unnamed namespace, so that neither is left out or folded away.
int g_probeCounter = 0;
const char* g_probeLabel = "ferry";
int g_probeSeries[3] = {5, 6, 7};

namespace {

volatile bool g_stop = false;
volatile int g_sink = 0;
int* volatile g_null = nullptr;

PROBE_FAULT void ProbeNullWrite() { *g_null = 1; }

PROBE_FAULT void ProbeDivide() {
  volatile int zero = 0;
  g_sink = 7 / zero;
}

PROBE_FAULT int ProbeRecurse(int depth) {
  volatile char pad[512];
  pad[0] = char(depth);
  if (g_stop) return 0;
  return ProbeRecurse(depth + 1) + pad[0];
}

PROBE_FAULT void ProbeAbort() { std::abort(); }

PROBE_FAULT void ProbeIllegal() { __builtin_trap(); }

PROBE_FAULT void ProbeBreakpoint() { asm volatile("int3"); }

PROBE_FAULT void ProbeThreadFault() { *g_null = 2; }

// Values the report must show: globals, a frame's parameters and locals, its caller's local.
struct st_ProbePoint {
  int x;
  float y;
};
st_ProbePoint g_probePoint = {12, 0.5f};

PROBE_FAULT void ProbeLocals(int depth, const char* label) {
  volatile int marker = 0x5EED1234;
  volatile double ratio = 2.5;
  g_probeCounter = depth + 40;
  g_probePoint.x += depth;
  g_sink = label[0] + int(ratio);
  if (marker == 0x5EED1234) *g_null = depth;
}

PROBE_FAULT void ProbeLocalsCaller() {
  volatile int outer = 77;
  ProbeLocals(3, "ferry");
  g_sink = outer;
}

}  // namespace

int main(int argc, char** argv) {
  const char* fault = argc > 1 ? argv[1] : "";
  base::cl_System system;
  if (const char* folder = std::getenv("QUILLANE_USER_DIR")) base::sys::SetUserDataPath(folder);
  win32dx9::RegisterExceptionHandler();
  const win32dx9::st_PlatformServices& services = win32dx9::PlatformServices();
  services.CrashHandlerStartUp();
  if (std::strcmp(fault, "default-name") == 0) {
    ProbeNullWrite();
    return 3;
  }
  services.CrashHandlerSetReportFile("crash.log");
  if (std::strcmp(fault, "locals-noglobals") == 0) win32dx9::GetExceptionHandler()->SetWriteGlobals(false);

  if (std::strcmp(fault, "null") == 0) ProbeNullWrite();
  if (std::strcmp(fault, "divide") == 0) ProbeDivide();
  if (std::strcmp(fault, "overflow") == 0) g_sink = ProbeRecurse(0);
  if (std::strcmp(fault, "abort") == 0) ProbeAbort();
  if (std::strcmp(fault, "illegal") == 0) ProbeIllegal();
  if (std::strcmp(fault, "breakpoint") == 0) ProbeBreakpoint();
  if (std::strncmp(fault, "locals", 6) == 0) ProbeLocalsCaller();
  if (std::strcmp(fault, "thread") == 0) {
    std::thread worker([] {
      platform::os::PrepareThreadCrashStack();
      ProbeThreadFault();
    });
    worker.join();
  }
  return 3;
}
