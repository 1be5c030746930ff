// krx: loads a script (source or ".bincode") into a fresh script system, optionally saves the
// loaded modules, starts one function on a script thread and steps the thread list in 0.1 s
// steps until no thread is left (at most 60 simulated seconds, or --seconds). Every text that
// reaches the script output callback is printed on its own line on stdout.
//   krx [--save DIR] [--steps N] [--seconds N] FILE [FUNCTION]
// --steps sets how many steps a thread may run without yielding (0: no limit) before it is ended
// with a run-time error; the default ends an endless loop after some seconds. --seconds sets the
// simulated time after which the runner stops although threads still run.
// Exit status: 0 success, 1 loading, compiling or saving failed (or bad usage), 2 a thread ended
// with a run-time error, 3 the time ran out with threads still running (said on stderr). Errors
// of the save go to stderr.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <vector>
#include <string>

#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "base/ErrorCatcher.h"

namespace {

void PrintLine(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// While the modules are saved, what the script system reports is an error of the runner.
void PrintError(const char* text) {
  std::fputs(text, stderr);
  std::fputc('\n', stderr);
}

int Usage() {
  std::fprintf(stderr, "usage: krx [--save DIR] [--steps N] [--seconds N] FILE [FUNCTION]\n");
  return 1;
}

// True when one of the threads ended dead (a run-time error).
bool AnyDead(const std::list<KRX::tRefPtr<KRX::Thread>>& threads) {
  for (const auto& t : threads)
    if (t && t->GetState() == KRX::Thread::STATE_DEAD) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string saveDir;
  long long steps = KRX::ScriptSystem::kDefaultStepsWithoutYield;
  double seconds = 60.0;
  int arg = 1;
  for (; arg + 1 < argc && argv[arg][0] == '-' && argv[arg][1] == '-'; arg += 2) {
    if (std::strcmp(argv[arg], "--save") == 0) {
      saveDir = argv[arg + 1];
    } else if (std::strcmp(argv[arg], "--steps") == 0) {
      char* end = nullptr;
      steps = std::strtoll(argv[arg + 1], &end, 10);
      if (end == argv[arg + 1] || *end || steps < 0) return Usage();
    } else if (std::strcmp(argv[arg], "--seconds") == 0) {
      char* end = nullptr;
      seconds = std::strtod(argv[arg + 1], &end);
      // Past a day of simulated time the step count would not fit; no script test runs so long.
      if (end == argv[arg + 1] || *end || !(seconds >= 0.0 && seconds <= 86400.0)) return Usage();
    } else {
      return Usage();
    }
  }
  if (arg >= argc) return Usage();
  const char* file = argv[arg++];
  const char* function = arg < argc ? argv[arg] : nullptr;

  KRX::ScriptSystem::Init();
  KRX::ScriptSystem::SetCallbacks(PrintLine, nullptr);
  KRX::ScriptSystem::SetStepsWithoutYield(steps);
  int status = 0;
  KRX::tRefPtr<KRX::Thread> main;
  // What the library reports while the file loads is held: a script that does not compile or stops
  // in its top-level code is told by the loader's one ERROR line with the cause, which the
  // library's own lines would only repeat (on stdout and stderr). What the script printed is still
  // passed on, and so is all of it when no ERROR line told the failure (a missing file).
  KRX::ScriptSystem::st_OutputHold loading;
  KRX::ScriptSystem::SetOutputHold(&loading);
  base::cl_ErrorCatcher told;
  const bool loaded = KRX::Require(file, true);
  KRX::ScriptSystem::SetOutputHold(nullptr);
  if (!loaded && !told.Cause("").empty())
    std::erase_if(loading.texts, [](const auto& text) { return !text.callbackOnly; });
  loading.Release();
  if (!loaded) {
    status = 1;
  } else {
    if (!saveDir.empty()) {
      if (saveDir.back() != '/' && saveDir.back() != '\\') saveDir += '/';
      KRX::ScriptSystem::SetCallbacks(PrintError, nullptr);
      if (!KRX::ModuleSaveAll(saveDir.c_str())) status = 1;
      KRX::ScriptSystem::SetCallbacks(PrintLine, nullptr);
    }
    if (function && status == 0) {
      main = new KRX::Thread();
      main->LoadModule(file);
      if (!main->Start(function, true, nullptr, 0)) status = 1;
    }
  }
  const float step = 0.1f;
  const long capSteps = long(seconds * 10.0 + 0.5);  // scheduler steps of 0.1 s
  for (long i = 0; status == 0 && i < capSteps; ++i) {
    std::list<KRX::tRefPtr<KRX::Thread>> watched = KRX::ScriptSystem::GetThreads();
    if (watched.empty()) break;
    KRX::ThreadList::Update(step);
    if (AnyDead(watched)) status = 2;
  }
  // Threads that are still waiting or paused at the cap: the run did not finish.
  size_t running = 0;
  for (const auto& t : KRX::ScriptSystem::GetThreads())
    if (t && t->GetState() > KRX::Thread::STATE_FINISHED) ++running;
  if (status == 0 && running > 0) {
    std::fprintf(stderr, "krx: stopped after %g simulated seconds with %zu thread%s still running\n", seconds,
                 running, running == 1 ? "" : "s");
    status = 3;
  }
  main.reset();
  KRX::ScriptSystem::Shutdown();
  return status;
}
