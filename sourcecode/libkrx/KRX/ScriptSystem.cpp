#include "KRX/ScriptSystem.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "KRX/debugger/Debugger.h"
#include "KRX/ScriptLoader.h"
#include "KRX/runtime/Thread.h"
#include "base/String.h"

namespace KRX {

namespace {

struct st_State {
  bool dump = false;
  Module module;
  std::list<tRefPtr<Thread>> threads;
  Debugger* debugger = nullptr;
  ScriptSystem::DebuggerOutput debuggerOutput = nullptr;
  ScriptSystem::OutputCallback output = nullptr;
  ScriptSystem::SleepCallback sleep = nullptr;
  ScriptSystem::st_OutputHold* outputHold = nullptr;
  std::map<std::string, ScriptSystem::LibraryInit, std::less<>> libraries;
  uint32_t generation = 0;
};

__attribute__((always_inline)) inline st_State& State() {
  static st_State state;
  return state;
}

}  // namespace

void ScriptSystem::Init() {
  Shutdown();
  st_State& s = State();
  s.dump = false;
  s_stepsWithoutYield = kDefaultStepsWithoutYield;
  s.output = nullptr;
  s.sleep = nullptr;
  s.module.SetRoot(new BinCode());
  s.module.SetCurrentThread(nullptr);
  detail::InitRootModule();
}

void ScriptSystem::Shutdown() {
  st_State& s = State();
  ++s.generation;
  EnableDebugger(false);
  DetachDebugger();
  s.libraries.clear();
  std::list<tRefPtr<Thread>> threads;
  threads.swap(s.threads);
  // A waiting or paused thread may hold itself (ThreadCreate's first argument, a thread local):
  // its arguments, frames and variables go first, so that dropping the list frees it.
  for (tRefPtr<Thread>& t : threads) {
    Thread* thread = t.get();
    if (!thread) continue;
    thread->m_listed = false;
    const bool running = thread->m_state == Thread::STATE_RUNNING;
    thread->m_state = Thread::STATE_DEAD;
    // The interpreter still works in a running thread's frames; they go with the thread.
    if (running) continue;
    Var* args = thread->m_args;
    thread->m_args = nullptr;
    thread->m_argCount = 0;
    for (int i = thread->m_frameIndex; i >= 0 && i < Thread::kMaxFrames; --i) thread->ReleaseFrame(i);
    thread->m_frameIndex = -1;
    thread->m_variables.clear();
    thread->m_returnValue = Var();
    DeleteVarArray(args);
  }
  threads.clear();
  // A thread the game started outright is not listed, but cannot go on without the root either.
  if (Thread* current = s.module.GetCurrentThread(); current && current->m_state == Thread::STATE_RUNNING)
    current->m_state = Thread::STATE_DEAD;
  s.module.SetCurrentThread(nullptr);
  s.module.SetRoot(nullptr);
}

uint32_t ScriptSystem::GetGeneration() { return State().generation; }

Module& ScriptSystem::GetModule() { return State().module; }
BinCode* ScriptSystem::GetRoot() { return State().module.GetRoot(); }
Thread* ScriptSystem::GetCurrentThread() { return State().module.GetCurrentThread(); }
void ScriptSystem::SetCurrentThread(Thread* thread) { State().module.SetCurrentThread(thread); }

void ScriptSystem::SetCallbacks(OutputCallback output, SleepCallback sleep) {
  State().output = output;
  State().sleep = sleep;
}
ScriptSystem::OutputCallback ScriptSystem::GetOutputCallback() {
  if (State().outputHold) {
    return [](const char* text) {
      if (st_OutputHold* hold = State().outputHold) hold->texts.push_back({true, text ? text : ""});
    };
  }
  return State().output;
}
ScriptSystem::SleepCallback ScriptSystem::GetSleepCallback() { return State().sleep; }

void ScriptSystem::AddThread(Thread* thread) {
  if (!thread || thread->m_listed) return;
  thread->m_listed = true;
  State().threads.emplace_back(thread);
}
std::list<tRefPtr<Thread>>& ScriptSystem::GetThreads() { return State().threads; }
void ScriptSystem::CheckThreadRoom() {
  if (State().threads.size() < kMaxThreads) return;
  throw std::runtime_error("too many script threads: " + std::to_string(kMaxThreads) + " are running");
}

void ScriptSystem::AttachDebugger(Debugger* debugger, DebuggerOutput output) {
  State().debugger = debugger;
  State().debuggerOutput = debugger ? output : nullptr;
}
void ScriptSystem::DetachDebugger() { AttachDebugger(nullptr, nullptr); }
Debugger* ScriptSystem::GetDebugger() { return State().debugger; }

bool ScriptSystem::GetDumpSwitch() { return State().dump; }
void ScriptSystem::SetDumpSwitch(bool on) { State().dump = on; }

void ScriptSystem::RegisterLibrary(const char* name, LibraryInit init) {
  if (name && init) State().libraries[name] = init;
}

bool ScriptSystem::InitLibrary(const char* name) {
  if (!name) return false;
  auto& libraries = State().libraries;
  auto it = libraries.find(std::string_view(name));
  if (it == libraries.end()) return false;
  it->second(State().module);
  return true;
}

void ScriptSystem::SetStepsWithoutYield(int64_t steps) { s_stepsWithoutYield = steps > 0 ? steps : 0; }

void ScriptSystem::SetOutputHold(st_OutputHold* hold) { State().outputHold = hold; }
ScriptSystem::st_OutputHold* ScriptSystem::GetOutputHold() { return State().outputHold; }

void ScriptSystem::st_OutputHold::Release() {
  for (const st_Text& held : texts) {
    if (!held.callbackOnly)
      Output(held.text.c_str());
    else if (OutputCallback callback = GetOutputCallback())
      callback(held.text.c_str());
  }
  texts.clear();
}

void ScriptSystem::Output(const char* text) {
  if (!text) return;
  st_State& s = State();
  if (s.outputHold) {
    s.outputHold->texts.push_back({false, text});
    return;
  }
  if (s.debugger && s.debuggerOutput) {
    s.debuggerOutput(s.debugger, text);
    return;
  }
  std::fputs(text, stderr);
  // Messages come without their line end; on stderr each must stand on its own line.
  const size_t length = std::strlen(text);
  if (length == 0 || text[length - 1] != '\n') std::fputc('\n', stderr);
  if (s.output) s.output(text);
}

bool ScriptSystem::IsModuleLoaded(const char* name) {
  BinCode* root = GetRoot();
  const Var* entry = root ? root->Find(name) : nullptr;
  return entry && entry->GetModule();
}

Var* ScriptSystem::FindSymbol(const char* moduleName, const char* symbolName) {
  BinCode* root = GetRoot();
  Var* entry = root ? root->Find(moduleName) : nullptr;
  if (!entry || !symbolName) return entry;
  BinCode* module = entry->GetModule();
  return module ? module->Find(symbolName) : nullptr;
}

// ---- reporting

void VReportFileError(const char* file, int line, const char* format, va_list args) {
  if (!format || !*format) return;
  char prefix[64];
  std::string message(file ? file : "");
  std::snprintf(prefix, sizeof prefix, "(%d) : ", line);
  message += prefix;
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return;
  if (n < int(sizeof small)) {
    message += small;
  } else {
    std::vector<char> big(size_t(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    message.append(big.data(), size_t(n));
  }
  ScriptSystem::Output(message.c_str());
}

void ReportFileError(const char* file, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  VReportFileError(file, line, format, args);
  va_end(args);
}

void ReportError(const char* format, ...) {
  const char* file = "";
  int line = -1;
  if (const Thread* thread = ScriptSystem::GetCurrentThread()) {
    if (const Frame* frame = thread->GetCurrentFrame()) {
      const char* name = GetFileName(frame->m_function);
      file = name ? name : "";
      line = frame->m_line;
    }
  }
  va_list args;
  va_start(args, format);
  VReportFileError(file, line, format, args);
  va_end(args);
}

// ---- paths

void SplitPath(const char* path, base::String& name) {
  name.clear();
  if (!path) return;
  const char* start = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') start = p + 1;
  const char* end = start;
  while (*end && *end != '.') ++end;
  if (end == start) {
    name = "(memory)";
    return;
  }
  name.set(start, int(end - start));
  for (int i = 0; i < name.size(); ++i)
    if (name[i] >= 'A' && name[i] <= 'Z') name[i] = char(name[i] - 'A' + 'a');
}

}  // namespace KRX
