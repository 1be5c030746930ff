#include "KRX/runtime/Thread.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "KRX/BinCode.h"
#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/Interpreter/ScriptVM.h"
#include "KRX/Module.h"
#include "KRX/ScriptSystem.h"
#include "base/String.h"

namespace KRX {

namespace {
Thread::ScriptLoader g_loader = nullptr;
}  // namespace

void Thread::SetScriptLoader(ScriptLoader loader) { g_loader = loader; }

Thread::~Thread() {
  DeleteVarArray(m_args);
  m_args = nullptr;
  m_variables.clear();
  m_returnValue.Clear();
  for (int i = 0; i < kMaxFrames; ++i) {
    delete m_frames[i];
    m_frames[i] = nullptr;
    delete m_spare[i];
    m_spare[i] = nullptr;
  }
}

const char* Thread::GetModuleName() const {
  const Frame* frame = GetCurrentFrame();
  return frame ? GetSymbolText(frame->m_module.get(), "~m") : nullptr;
}

const char* Thread::GetFunctionName() const {
  const Frame* frame = GetCurrentFrame();
  return frame ? GetSymbolText(frame->m_function, "~f") : nullptr;
}

// ---- frames

st_FunctionCache& Thread::NewFunctionCache(BinCode* function, uint64_t epoch) {
  st_FunctionCache& e = FunctionCacheEntry(function);
  // The module that owns function: the nearest module with a "~m" name, else the function.
  BinCode* named = GetNamedModule(function);
  e = st_FunctionCache{function, epoch, named ? named : function, nullptr, nullptr, nullptr, nullptr};
  return e;
}

void Thread::DropSpare(int index) {
  delete m_spare[index];
  m_spare[index] = nullptr;
}

// ---- starting

bool Thread::LoadModule(const char* path) {
  base::String name;
  SplitPath(path, name);
  m_moduleName = name.c_str() ? name.c_str() : "";
  if (ScriptSystem::IsModuleLoaded(m_moduleName.c_str())) return true;
  return g_loader ? g_loader(path) : false;
}

namespace {
// True when module binds at least one script function (an empty script binds none).
bool HasScriptFunction(const BinCode* module) {
  for (const auto& [symbol, value] : module->GetSymbols())
    if (!symbol.empty() && symbol[0] != '~' && !value.IsArray() && value.GetModule()) return true;
  return false;
}
}  // namespace

bool Thread::Start(const char* name, bool wait, const Var* args, int argCount) {
  BinCode* root = ScriptSystem::GetRoot();
  const Var* moduleEntry = root ? root->Find(m_moduleName.c_str()) : nullptr;
  BinCode* module = moduleEntry && !moduleEntry->IsArray() ? moduleEntry->GetModule() : nullptr;
  const Var* entry = module ? module->Find(name) : nullptr;
  if (!entry) {
    // Named after the module's file when the thread has no report name of its own.
    const char* file = m_reportName.empty() && module ? GetSymbolText(module, "~file") : nullptr;
    ReportFileError(file ? file : m_reportName.c_str(), -1, "Unable to find function %s%s", name ? name : "",
                    module && !HasScriptFunction(module) ? " (the script defines no function)" : "");
    return false;
  }
  BinCode* function = entry->IsArray() ? nullptr : entry->GetModule();
  if (!function) {
    ReportFileError(m_reportName.c_str(), -1, "The symbol %s is not a script function", name ? name : "");
    return false;
  }
  m_debugFlag = ScriptSystem::GetDebugger() ? 1 : 0;
  bool ok = Call(ScriptSystem::GetModule(), function, wait, args, argCount);
  // A restarted thread may still be listed; AddThread lists it once, so it is stepped once a frame.
  if (m_state == STATE_WAITING || m_state == STATE_PAUSED) ScriptSystem::AddThread(this);
  return ok;
}

bool Thread::StartFunction(BinCode* function, const Var* args, int argCount) {
  if (!function) {
    ReportFileError(m_reportName.c_str(), -1, "Unable to find the function");
    return false;
  }
  // The owning module as the frames find it (remembered per function): each ThreadCreate starts
  // here, and the search up the parent links costs more than the rest of a start.
  const char* moduleName = GetSymbolText(FunctionCache(function, GetSymbolEpoch()).owner, "~m");
  m_moduleName = moduleName ? moduleName : "";
  m_debugFlag = ScriptSystem::GetDebugger() ? 1 : 0;
  bool ok = Call(ScriptSystem::GetModule(), function, true, args, argCount);
  ScriptSystem::AddThread(this);
  return ok;
}

bool Thread::Call(Module& root, BinCode* function, bool wait, const Var* args, int argCount) {
  (void)root;
  if (!function) return false;
  Frame* current = GetCurrentFrame();
  if (m_frameIndex < 0 || !current) {
    // A frame left at index 0 by an earlier run is replaced, not overwritten and lost.
    if (m_frames[0]) ReleaseFrame(0);
    m_frameIndex = 0;
    m_frames[0] = AcquireFrame(0, function);
    if (args && argCount > 0) {
      DeleteVarArray(m_args);
      m_args = NewVarArray(argCount);
      m_argCount = m_args ? argCount : 0;
      for (int i = 0; i < m_argCount; ++i) m_args[i].Assign(args[i]);
    }
  } else if (current->m_context) {
    if (m_frameIndex + 1 >= kMaxFrames) {
      RuntimeError(current, "Unable to call script function, because maximal call depth(%d) is reached", kMaxFrames);
      m_state = STATE_DEAD;
      return false;
    }
    ++m_frameIndex;
    m_frames[m_frameIndex] = AcquireFrame(m_frameIndex, function);
  } else {
    ReleaseFrame(m_frameIndex);
    m_frames[m_frameIndex] = AcquireFrame(m_frameIndex, function);
  }
  if (wait) {
    m_state = STATE_WAITING;
    m_returnValue.SetFloat(0.0f);
    m_returnValue.SetAuto(false);
    return true;
  }
  return Run();
}

bool Thread::Run() {
  if (m_state == STATE_DEAD) return false;
  const st_DebugHooks* hooks = m_debugFlag ? GetActiveDebugHooks() : nullptr;
  if (hooks && hooks->runStarted) hooks->runStarted(*this);
  // Every yield passes here: the script system's module is fetched once, not per access.
  Module& system = ScriptSystem::GetModule();
  Thread* saved = system.GetCurrentThread();
  system.SetCurrentThread(this);
  // A run without a budget of its own gets the yield guard's, counted by the same steps: a loop
  // that never yields ends with the budget's run-time error instead of hanging the program.
  const int64_t ownBudget = m_stepBudget;
  if (ownBudget < 0) {
    const int64_t guard = ScriptSystem::GetStepsWithoutYield();
    if (guard > 0) m_stepBudget = guard;
  }
  bool ok = ScriptVM::Execute(system, *this);
  if (ownBudget < 0) m_stepBudget = ownBudget;
  if (!ok || m_state == STATE_RUNNING) m_state = STATE_DEAD;
  hooks = m_debugFlag ? GetActiveDebugHooks() : nullptr;
  if (hooks && hooks->threadEnded && (m_state == STATE_FINISHED || m_state == STATE_DEAD)) hooks->threadEnded(*this);
  system.SetCurrentThread(saved);
  // What an ended thread holds goes now, or a reference to itself among it would keep it alive
  // for ever: the frames a run-time error left on the stack (a thread made by ThreadCreate has
  // itself as its first parameter), any value of it that names the thread itself (a finished
  // thread keeps the frames a native's return left in place), and its arguments. Each may hold
  // the last reference, so the thread keeps one of its own until the end, and nothing of it is
  // touched once that is dropped.
  if (m_state == STATE_FINISHED || m_state == STATE_DEAD) {
    tRefPtr<Thread> keep(GetRefCount() > 0 ? this : nullptr);
    if (m_state == STATE_DEAD) {
      for (int i = m_frameIndex; i >= 0 && i < kMaxFrames; --i)
        if (m_frames[i]) ReleaseFrame(i);
      m_frameIndex = -1;
    }
    DropSelfReferences();
    Var* args = m_args;
    m_args = nullptr;
    m_argCount = 0;
    DeleteVarArray(args);
  }
  return ok;
}

void Thread::DropSelfReferences() {
  for (int i = 0; i <= m_frameIndex && i < kMaxFrames; ++i) {
    Frame* frame = m_frames[i];
    if (!frame) continue;
    for (uint32_t s = 0; s < frame->m_stackCount; ++s)
      if (frame->m_stack[s].GetThreadObject() == this) frame->m_stack[s].Clear();
    for (int v = 0; v < frame->m_locals.GetCount(); ++v) {
      Var* local = frame->m_locals.GetVariable(v);
      if (local->GetThreadObject() == this) local->ClearOwned();
    }
  }
  for (auto it = m_variables.begin(); it != m_variables.end();) {
    if (it->second.GetThreadObject() == this)
      it = m_variables.erase(it);
    else
      ++it;
  }
}

// ---- suspension

void Thread::Pause() { m_state = STATE_PAUSED; }

void Thread::Return(const Var* value) {
  m_state = STATE_FINISHED;
  if (value)
    m_returnValue = Var(*value);  // Assign copies arrays element by element
  else
    m_returnValue = Var();
}

// ---- errors

void Thread::RuntimeError(const Frame* frame, const char* format, ...) {
  m_lastError.clear();
  if (!format || !*format) {
    m_errorFlag = 0;
    return;
  }
  m_errorFlag = 1;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::vector<char> text(size_t(n > 0 ? n : 0) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  char prefix[48];
  if (frame) {
    const char* file = GetFileName(frame->m_function);
    if (!file) file = "";
    std::snprintf(prefix, sizeof prefix, "(%d) : ", frame->m_line);
    m_lastError = file;
    m_lastError += prefix;
    ReportFileError(file, frame->m_line, "%s", text.data());
  } else {
    m_lastError = "c-call(---) : ";
    ReportFileError("c-call", -1, "%s", text.data());
  }
  m_lastError += text.data();
}

bool Thread::CopyFrames(const Thread& other) {
  if (other.m_frameIndex >= kMaxFrames) return false;
  for (int i = 0; i <= other.m_frameIndex; ++i) {
    const Frame* from = other.m_frames[i];
    if (!from || !from->m_function) return false;
    if (m_frames[i]) ReleaseFrame(i);
    Frame* frame = AcquireFrame(i, from->m_function);
    frame->m_locals.CopyTable(from->m_locals);
    frame->m_position = from->m_position;
    frame->m_module = from->m_module;
    frame->m_context = true;
    m_frames[i] = frame;
  }
  for (int i = other.m_frameIndex + 1; i < kMaxFrames; ++i)
    if (m_frames[i]) ReleaseFrame(i);
  m_frameIndex = other.m_frameIndex;
  return true;
}

}  // namespace KRX
