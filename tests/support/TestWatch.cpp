// quillane-test-watch: runs one test program as CTest's launcher and ends it only when it hangs,
// never because it is slow. The test and every process it starts (orphans included: the watchdog
// is their reaper) form one tree whose processor time is sampled; the test is ended when
//   - the tree neither ran nor waited to run (cl_Stillness) for five minutes: deadlocked, or
//     waiting for nothing;
//   - the tree used more processor time than its kind's budget: an endless loop;
//   - 25 minutes of wall time went by: whatever else never ends, well inside CI's time.
// A busy machine makes the test wait for a processor, which counts as work, and stretches its
// processor time little: none of these minds but the ceiling, set far above what any test needs
// on a machine several times overloaded. Before it ends
// the test, the watchdog says why and where each process of the tree stood (with gdb's backtraces
// where gdb is installed). QUILLANE_TEST_TIME_SCALE stretches every limit, the build's factor (the
// sanitizer build's slower steps) the budget.
//
//   quillane-test-watch [--still=S] [--budget=S] [--ceiling=S] PROGRAM [ARGS...]
//       runs PROGRAM and exits as it did, or with 1 when it was ended (the options replace the
//       limits, in seconds)
//   quillane-test-watch --ctest-limit
//       prints the time limit CTest sets: the ceiling and a margin, so that CTest never judges first
// Environment: QUILLANE_TEST_KIND (unit, road, window, build or fuzz: the budget; CTest sets it),
// QUILLANE_TEST_WATCH_REPORT (a file that gets a line "wall cpu budget kind name" for each test
// CTest runs), QUILLANE_TEST_NAME (the name a batch of tests gets in that report, else the test's
// filter), QUILLANE_TEST_TIME_SCALE.
#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/ProcessTree.h"
#include "support/TimeScale.h"

namespace {

using testsupport::st_TreeProcess;

// When a test is ended: after this long in which its tree stood still, after this much processor
// time, or after this much wall time.
struct st_Limits {
  double stillSeconds = 300;  // a working tree runs or waits to run in any stretch this long
  double budgetSeconds = 300;
  double ceilingSeconds = 1500;  // no test runs this long, even on a machine four times overloaded
};
// CTest's own limit comes this long after the ceiling: the watchdog says why first.
constexpr double kCTestMarginSeconds = 300;

// The limits of a test of kind: the processor seconds several times what the heaviest of its kind
// uses, so that only a loop reaches them. QUILLANE_TEST_TIME_SCALE stretches all three, the build's
// factor the budget.
st_Limits LimitsFor(const std::string& kind) {
  st_Limits limits;
  if (kind == "road" || kind == "window") limits.budgetSeconds = 1200;
  if (kind == "build") limits.budgetSeconds = 3600;  // the header check's compiler
  const double asked = testsupport::AskedTimeScale(std::getenv("QUILLANE_TEST_TIME_SCALE"));
  limits.stillSeconds *= asked;
  limits.ceilingSeconds *= asked;
  limits.budgetSeconds *= testsupport::TimeScale();
  return limits;
}

// The signal mask the watchdog started with, which the programs it starts get back.
sigset_t g_startMask;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// ---- the report when a test is ended

std::string ReadSmall(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "r")) {
    char buffer[512];
    const size_t n = std::fread(buffer, 1, sizeof buffer, f);
    text.assign(buffer, n);
    std::fclose(f);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  for (char& c : text)
    if (c == '\0') c = ' ';
  return text;
}

// Where a process stands: its command line, and per thread its state and the kernel function it
// waits in.
void DescribeProcess(const st_TreeProcess& p) {
  std::fprintf(stderr, "  process %d (%s), state %c, %.1f s of processor time: %s\n", int(p.pid), p.name.c_str(), p.state,
               p.cpuSeconds, ReadSmall("/proc/" + std::to_string(p.pid) + "/cmdline").c_str());
  const std::string tasks = "/proc/" + std::to_string(p.pid) + "/task";
  if (DIR* d = opendir(tasks.c_str())) {
    int shown = 0;
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      if (++shown > 64) break;
      const std::string task = tasks + "/" + e->d_name;
      const std::string stat = ReadSmall(task + "/stat");
      const size_t close = stat.rfind(')');
      const char state = close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
      std::fprintf(stderr, "    thread %s (%s) %c in %s\n", e->d_name, ReadSmall(task + "/comm").c_str(), state,
                   ReadSmall(task + "/wchan").c_str());
    }
    closedir(d);
  }
}

// gdb's backtraces of every thread of pid, when gdb is there; a gdb that does not finish is let go.
void Backtraces(pid_t pid) {
  const std::string gdb = testsupport::FindProgram("gdb");
  if (gdb.empty()) return;
  std::fprintf(stderr, "  backtraces of process %d:\n", int(pid));
  std::fflush(stderr);
  const pid_t child = fork();
  if (child == 0) {
    sigprocmask(SIG_SETMASK, &g_startMask, nullptr);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    const std::string id = std::to_string(pid);
    execl(gdb.c_str(), "gdb", "-batch", "-nx", "-p", id.c_str(), "-ex", "thread apply all bt 30", nullptr);
    _exit(127);
  }
  if (child < 0) return;
  for (int i = 0; i < 1200; ++i) {  // a minute
    if (waitpid(child, nullptr, WNOHANG) == child) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

// ---- running the test

struct st_Run {
  pid_t test = -1;
  int status = 0;
  bool ended = false;  // the test process has ended and been reaped
};

// Reaps every child that ended (the test, and orphans handed to this reaper).
void Reap(st_Run& run) {
  for (;;) {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, WNOHANG);
    if (pid <= 0) return;
    if (pid == run.test) {
      run.status = status;
      run.ended = true;
    }
  }
}

// SIGKILL to everything below the watchdog, until nothing is left.
void EndTree(st_Run& run) {
  for (int round = 0; round < 100; ++round) {
    const std::vector<st_TreeProcess> tree = testsupport::ProcessTree(getpid());
    if (tree.size() <= 1) break;
    for (size_t i = 1; i < tree.size(); ++i) kill(tree[i].pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Reap(run);
  }
  Reap(run);
}

std::string TestName(char** command) {
  // A batch of tests run in one process goes by the name CTest gives it.
  if (const char* name = std::getenv("QUILLANE_TEST_NAME"); name && *name) return name;
  for (char** arg = command + 1; *arg; ++arg)
    if (std::strncmp(*arg, "--gtest_filter=", 15) == 0) return *arg + 15;
  const char* slash = std::strrchr(command[0], '/');
  return slash ? slash + 1 : command[0];
}

void Report(const std::string& name, const std::string& kind, double wall, double cpu, double budget) {
  const char* file = std::getenv("QUILLANE_TEST_WATCH_REPORT");
  if (!file || !*file) return;
  if (FILE* f = std::fopen(file, "a")) {
    std::fprintf(f, "%.1f %.1f %.0f %s %s\n", wall, cpu, budget, kind.c_str(), name.c_str());
    std::fclose(f);
  }
}

// Why the test must be ended now, or empty.
std::string Verdict(testsupport::cl_Stillness& still, double cpu, double wall, const st_Limits& limits) {
  char why[256] = "";
  if (still.Still()) {
    std::snprintf(why, sizeof why, "it and its processes ran or waited to run %.2f s in the last %.0f s: it hangs",
                  still.WindowDemandSeconds(), limits.stillSeconds);
  } else if (cpu > limits.budgetSeconds) {
    std::snprintf(why, sizeof why, "it used %.0f s of processor time, past its budget of %.0f s: it loops", cpu,
                  limits.budgetSeconds);
  } else if (wall > limits.ceilingSeconds) {
    std::snprintf(why, sizeof why, "it still runs after %.0f s: it never ends", wall);
  }
  return why;
}

// Runs command under the limits; kind, when not empty, goes into the report.
int Watch(char** command, const st_Limits& limits, const std::string& kind) {
  const std::string name = TestName(command);
  unsetenv("QUILLANE_TEST_NAME");  // a watchdog the test itself runs names its own test
  // Orphans of the test (a server it started, a grandchild whose parent died) become this
  // process's children: their time is counted, and nothing outlives the test.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const pid_t self = getpid();
  // SIGCHLD is taken by sigtimedwait: the watchdog wakes the moment the test ends.
  sigset_t childEnded;
  sigemptyset(&childEnded);
  sigaddset(&childEnded, SIGCHLD);
  sigprocmask(SIG_BLOCK, &childEnded, &g_startMask);
  st_Run run;
  run.test = fork();
  if (run.test < 0) {
    std::fprintf(stderr, "test-watch: cannot start %s: %s\n", command[0], std::strerror(errno));
    return 1;
  }
  if (run.test == 0) {
    // Ends with the watchdog, when CTest ends that.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != self) _exit(127);
    // A session of its own: the kernel shares the processors out among sessions (autogroups), and
    // a test is a job of its own, as much as any program beside it; in CTest's session all tests
    // running at once shared one job's share.
    setsid();
    sigprocmask(SIG_SETMASK, &g_startMask, nullptr);
    execv(command[0], command);
    std::fprintf(stderr, "test-watch: cannot run %s: %s\n", command[0], std::strerror(errno));
    _exit(127);
  }

  const double start = Now();
  testsupport::cl_Stillness still(self, limits.stillSeconds);
  std::string verdict;
  double cpu = 0;
  while (!run.ended && verdict.empty()) {
    const timespec sample{1, 0};
    sigtimedwait(&childEnded, nullptr, &sample);
    Reap(run);
    if (run.ended) break;
    cpu = testsupport::TreeCpuSeconds(self);
    verdict = Verdict(still, cpu, Now() - start, limits);
  }

  if (!verdict.empty()) {
    std::fprintf(stderr, "\ntest-watch: %s ended after %.0f s (%.1f s of processor time): %s. Where it stood:\n",
                 name.c_str(), Now() - start, cpu, verdict.c_str());
    const std::vector<st_TreeProcess> tree = testsupport::ProcessTree(self);
    for (size_t i = 1; i < tree.size(); ++i) DescribeProcess(tree[i]);
    for (size_t i = 1; i < tree.size() && i <= 4; ++i)
      if (tree[i].state != 'Z') Backtraces(tree[i].pid);
    std::fflush(stderr);
    // An abort first: a fuzzer then writes the input it was working on, a sanitizer its stack.
    kill(run.test, SIGABRT);
    for (int i = 0; i < 200 && !run.ended; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      Reap(run);
    }
  }
  // Whatever the test left running ends with it.
  EndTree(run);
  const double wall = Now() - start;
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (!kind.empty()) Report(name, kind, wall, cpu, limits.budgetSeconds);
  if (!verdict.empty()) return 1;
  if (WIFEXITED(run.status)) return WEXITSTATUS(run.status);
  // Ended by a signal: end the same way, so that CTest names it as it would the test's own.
  const int signal = WTERMSIG(run.status);
  std::signal(signal, SIG_DFL);
  prctl(PR_SET_DUMPABLE, 0);  // no second core file
  raise(signal);
  return 128 + signal;
}

int Usage() {
  std::fprintf(stderr,
               "usage: quillane-test-watch [--still=S] [--budget=S] [--ceiling=S] PROGRAM [ARGS...]\n"
               "       quillane-test-watch --ctest-limit\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--ctest-limit") == 0) {
    const double asked = testsupport::AskedTimeScale(std::getenv("QUILLANE_TEST_TIME_SCALE"));
    std::printf("%.0f\n", (st_Limits{}.ceilingSeconds + kCTestMarginSeconds) * asked);
    return 0;
  }
  const char* kindText = std::getenv("QUILLANE_TEST_KIND");
  const std::string kind = kindText && *kindText ? kindText : "unit";
  st_Limits limits = LimitsFor(kind);
  int first = 1;
  for (; first < argc && argv[first][0] == '-'; ++first) {
    const char* arg = argv[first];
    const char* value = std::strchr(arg, '=');
    char* end = nullptr;
    const double seconds = value ? std::strtod(value + 1, &end) : 0;
    if (!value || end == value + 1 || *end != '\0' || !(seconds > 0)) return Usage();
    const std::string option(arg, value);
    if (option == "--still") {
      limits.stillSeconds = seconds;
    } else if (option == "--budget") {
      limits.budgetSeconds = seconds;
    } else if (option == "--ceiling") {
      limits.ceilingSeconds = seconds;
    } else {
      return Usage();
    }
  }
  if (first >= argc) return Usage();
  // Only what CTest runs as a test is reported, not its listing of a program's tests.
  return Watch(argv + first, limits, kindText ? kind : std::string());
}
