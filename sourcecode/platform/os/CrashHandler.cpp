// The crash signal handler. Everything after the signal arrives is async-signal-safe: the paths
// were copied at start-up, the maps text and the unwound frames go into buffers mapped at
// installation, the report is formatted by our own writer, and the symboliser is started with
// _Fork and execve.
#include "platform/os/CrashHandler.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/os/CrashDump.h"
#include "platform/os/CrashFile.h"
#include "platform/os/CrashReport.h"

extern char** environ;

namespace platform::os {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
// libunwind and the report writer need more than the system's minimum signal stack.
constexpr size_t kAltStackSize = 256 * 1024;

struct sigaction g_previous[kSignalCount];
bool g_installed = false;
char g_reportPath[PATH_MAX];
char g_dumpPath[PATH_MAX];
char g_symbolizer[PATH_MAX];
bool g_dumpWritten = false;
std::atomic<int> g_symbolizerSeconds{10};
std::atomic<int> g_reporting{0};
bool g_writeGlobals = true;

// The handler's working memory, mapped apart from the program's data so that the dump's copy of
// that data does not carry it.
struct st_Scratch {
  char maps[1 << 20];  // the maps text of a large program runs to a few hundred KiB
  CrashDumpFrame frames[kCrashMaxFrames];
  CrashFrameName names[kCrashMaxFrames];
};
st_Scratch* g_scratch = nullptr;

// ---- Alternate signal stacks

struct AltStack {
  void* memory = nullptr;
  ~AltStack() {
    if (!memory) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    munmap(memory, kAltStackSize);
  }
};
thread_local AltStack t_altStack;

// ---- The handler's steps

void RestorePrevious() {
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
}

size_t ReadMaps() {
  const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  size_t length = 0;
  char* maps = g_scratch->maps;
  while (length < sizeof g_scratch->maps) {
    const ssize_t n = read(fd, maps + length, sizeof g_scratch->maps - length);
    if (n <= 0) break;
    length += size_t(n);
  }
  close(fd);
  return length;
}

void SleepMs(long ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

// Starts the symboliser on the written report and waits for it, at most the set time.
void RunSymbolizer() {
  if (!g_symbolizer[0] || !g_reportPath[0]) return;
  const pid_t child = _Fork();
  if (child < 0) return;
  if (child == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    char* argv[] = {g_symbolizer, g_reportPath, g_dumpWritten ? g_dumpPath : nullptr, nullptr};
    execve(g_symbolizer, argv, environ);
    _exit(127);
  }
  const long limitMs = long(g_symbolizerSeconds.load()) * 1000;
  for (long waited = 0;; waited += 10) {
    int status = 0;
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child || (done < 0 && errno != EINTR)) return;
    if (waited >= limitMs) break;
    SleepMs(10);
  }
  kill(child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

void OnCrashSignal(int signal, siginfo_t* info, void* raw) {
  const int savedErrno = errno;
  // A second fault while the report is written goes to the handlers from before.
  RestorePrevious();
  int expected = 0;
  if (!g_reporting.compare_exchange_strong(expected, 1)) {
    // Another thread reports already and ends the process.
    for (;;) SleepMs(1000);
  }
  const ucontext_t* context = static_cast<const ucontext_t*>(raw);
  const size_t mapsLength = ReadMaps();
  const char* maps = g_scratch->maps;
  const int frameCount = WalkCrashStack(context, g_scratch->frames, g_scratch->names);

  // Both files go through a fresh name: nothing planted under the real names is opened.
  const int processId = getpid();
  // A file cut short (a full disk) is removed rather than put over a complete older one.
  CrashFile dump = OpenCrashFile(g_dumpPath, processId);
  if (dump.fd >= 0 && !WriteCrashDump(dump.fd, info, context, maps, mapsLength, g_scratch->frames, frameCount))
    FailCrashFile(dump, errno);
  g_dumpWritten = PlaceCrashFile(dump);
  ExplainCrashFile(dump, STDERR_FILENO);
  CrashFile report = OpenCrashFile(g_reportPath, processId);
  if (const int error = WriteCrashReport(report.fd, STDERR_FILENO, info, context, maps, mapsLength, g_scratch->frames,
                                         g_scratch->names, frameCount))
    FailCrashFile(report, error);
  const bool reportWritten = PlaceCrashFile(report);
  ExplainCrashFile(report, STDERR_FILENO);
  if (reportWritten) RunSymbolizer();

  // The process ends by its signal with the default action: pending until this handler
  // returns (the signal is blocked while it runs), then delivered.
  struct sigaction fallback;
  memset(&fallback, 0, sizeof fallback);
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), signal);
  errno = savedErrno;
}

bool CopyPath(char* to, const char* from) {
  const size_t length = from ? strlen(from) : 0;
  if (length >= PATH_MAX) return false;
  if (length) memcpy(to, from, length);
  to[length] = 0;
  return true;
}

}  // namespace

bool PrepareThreadCrashStack() {
  if (t_altStack.memory) return true;
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_size >= kAltStackSize)
    return true;  // someone gave this thread a large enough one already
  void* memory = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (memory == MAP_FAILED) return false;
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = kAltStackSize;
  if (sigaltstack(&stack, nullptr) != 0) {
    munmap(memory, kAltStackSize);
    return false;
  }
  t_altStack.memory = memory;
  return true;
}

bool InstallCrashHandler() {
  if (g_installed) return true;
  if (!g_scratch) {
    void* memory = mmap(nullptr, sizeof(st_Scratch), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    g_scratch = static_cast<st_Scratch*>(memory);
  }
  PrepareCrashDataRegions(g_writeGlobals);
  PrepareThreadCrashStack();
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_sigaction = OnCrashSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kSignalCount; ++i) {
    if (sigaction(kSignals[i], &action, &g_previous[i]) != 0) {
      for (int j = 0; j < i; ++j) sigaction(kSignals[j], &g_previous[j], nullptr);
      return false;
    }
  }
  g_reporting = 0;
  g_installed = true;
  return true;
}

void RemoveCrashHandler() {
  if (!g_installed) return;
  RestorePrevious();
  g_installed = false;
}

bool IsCrashHandlerInstalled() { return g_installed; }

bool SetCrashReportPath(const char* path) { return CopyPath(g_reportPath, path); }
bool SetCrashDumpPath(const char* path) { return CopyPath(g_dumpPath, path); }
bool SetCrashSymbolizer(const char* path) { return CopyPath(g_symbolizer, path); }
void SetCrashSymbolizerTimeout(int seconds) { g_symbolizerSeconds = seconds > 0 ? seconds : 0; }
void SetCrashWriteGlobals(bool write) {
  g_writeGlobals = write;
  PrepareCrashDataRegions(write);
}

std::string ProgramFilePath() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  return std::string(path, size_t(n));
}

std::string DefaultSymbolizerPath() {
  const std::string program = ProgramFilePath();
  const size_t slash = program.rfind('/');
  if (slash == std::string::npos) return std::string();
  const std::string path = program.substr(0, slash + 1) + "quillane-symbolize";
  return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

}  // namespace platform::os
