// The debugger's life on the link, its interpreter hooks, the stop loop and breakpoints.
// The commands are in DebuggerCommands.cpp.
#include "KRX/debugger/Debugger.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "KRX/BinCode.h"
#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/function_adapter.h"
#include "base/system.h"
#include "libkrx/AID/AIDNetwork.h"
#include "libkrx/AID/MessageBuffer.h"

namespace KRX {

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

Debugger* Current() { return ScriptSystem::GetDebugger(); }

// ---- the interpreter's hook table, forwarding to the script system's debugger

void HookLine(Thread& thread, Frame&) {
  if (Debugger* d = Current()) d->LineHook(thread);
}
void HookReturn(Thread& thread, Frame&) {
  if (Debugger* d = Current()) d->ReturnHook(thread);
}
void HookRunStarted(Thread&) {
  if (Debugger* d = Current()) d->ThreadRunBegins();
}
void HookThreadEnded(Thread& thread) {
  if (Debugger* d = Current()) d->ThreadEnded(thread);
}
void HookProcessMessages() {
  if (Debugger* d = Current()) {
    d->ReleaseDetachedThreads();
    d->ProcessOneCommand();
  }
}
void HookNativeCall(const detail::function_adapter_base* adapter) {
  if (Debugger* d = Current()) d->SetCurrentNativeFunction(adapter);
}
bool HookDescribePosition(std::string& out) {
  Debugger* d = Current();
  if (!d) return false;
  out = d->NativeFunctionName();
  return !out.empty();
}
void HookAssertFailed() {
  if (Debugger* d = Current()) d->OnAssertFailed();
}
void OutputToDebugger(Debugger* debugger, const char* text) { debugger->ForwardOutput(text); }
void ModulesChanged() {
  if (Debugger* d = Current()) d->SendModuleList();
}

st_DebugHooks MakeHooks() {
  st_DebugHooks h;
  h.lineHook = &HookLine;
  h.returnHook = &HookReturn;
  h.runStarted = &HookRunStarted;
  h.threadEnded = &HookThreadEnded;
  h.processMessages = &HookProcessMessages;
  h.nativeCall = &HookNativeCall;
  h.describePosition = &HookDescribePosition;
  h.assertFailed = &HookAssertFailed;
  return h;
}
const st_DebugHooks g_hooks = MakeHooks();

std::unique_ptr<Debugger> g_debugger;

// The stop strings of a thread's current frame.
void Describe(const Thread& thread, std::string& file, std::string& module, std::string& function, int& line) {
  const Frame* frame = thread.GetCurrentFrame();
  const BinCode* code = frame ? frame->m_function : nullptr;
  file = OrEmpty(code ? GetFileName(code) : nullptr);
  module = OrEmpty(code ? GetModuleName(code) : nullptr);
  function = OrEmpty(code ? GetFunctionName(code) : nullptr);
  line = frame ? frame->m_line : -1;
}

}  // namespace

bool EnableDebugger(bool on, AID::AIDNetwork* link) {
  if (on && !g_debugger) {
    g_debugger = std::make_unique<Debugger>(link ? link : AID::CreateNetwork());
    ScriptSystem::AttachDebugger(g_debugger.get(), &OutputToDebugger);
    SetDebugHooks(&g_hooks);
    SetModulesChangedCallback(&ModulesChanged);
  } else if (!on && g_debugger) {
    SetModulesChangedCallback(nullptr);
    SetDebugHooks(nullptr);
    if (ScriptSystem::GetDebugger() == g_debugger.get()) ScriptSystem::DetachDebugger();
    g_debugger.reset();
  }
  return g_debugger != nullptr;
}

// ---- life on the link

Debugger::Debugger(AID::AIDNetwork* link) : m_link(link), m_listenerId(AID::kNoListener) {
  AID::SetDebuggerCallback(&Debugger::MessageCallback);
  if (m_link) m_listenerId = m_link->AddDebuggerListener(this);
}

Debugger::~Debugger() {
  // The link outlives the debugger; it must never call back into a freed one.
  if (m_link && m_listenerId != AID::kNoListener) m_link->RemoveListener(m_listenerId);
  m_breakpoints.clear();
  m_commands.clear();
  m_attached.reset();
  m_detached.clear();
}

void Debugger::Reregister() {
  m_resume = false;
  if (!m_link) return;
  // One record only: two would hand every command to the debugger twice.
  if (m_listenerId != AID::kNoListener) m_link->RemoveListener(m_listenerId);
  m_listenerId = m_link->AddDebuggerListener(this);
}

bool Debugger::MessageCallback(void* object, AID::AIDNetwork*, const AID::Message* message) {
  auto* debugger = static_cast<Debugger*>(object);
  if (!debugger || !message) return false;
  if (message->Type() == AID::kText) {
    if (debugger->m_stopped) debugger->Resume();
    return true;
  }
  if (message->Type() != AID::kAccept) return true;
  const size_t length = std::min<size_t>(message->PayloadLength(), message->Size() - AID::kHeaderSize);
  if (length < 4) return true;
  if (debugger->m_commands.size() >= kMaxQueuedCommands) {
    // One line per flood, not one per dropped command.
    if (!debugger->m_dropping)
      base::sys::Output("ERROR: script debugger: %zu commands waiting, further commands dropped\n", kMaxQueuedCommands);
    debugger->m_dropping = true;
    return true;
  }
  auto buffer = std::make_unique<AID::MessageBuffer>(length);
  std::memcpy(buffer->Data(), message->Payload(), length);
  debugger->m_commands.push_back(std::move(buffer));
  return true;
}

void Debugger::ReleaseDetachedThreads() { m_detached.clear(); }

bool Debugger::ProcessOneCommand() {
  if (m_commands.empty()) return false;
  std::unique_ptr<AID::MessageBuffer> command = std::move(m_commands.front());
  m_commands.pop_front();
  m_dropping = false;
  ProcessCommand(*command);
  return true;
}

void Debugger::Detach() {
  if (m_attached) m_detached.push_back(std::move(m_attached));
  m_attached.reset();
}

// ---- sending

void Debugger::Send(const AID::MessageBuffer& message) {
  if (!m_link || !m_link->IsConnected()) return;
  m_link->SendData(AID::kAccept, AID::kDebuggerChannel, AID::kDebuggerChannel, 0, 0, message.Data(),
                   static_cast<uint32_t>(message.Size()));
}

void Debugger::SendCode(uint32_t code) {
  AID::MessageBuffer out;
  out.WriteU32(code);
  Send(out);
}

void Debugger::SendPosition() {
  std::string text;
  if (Thread* thread = m_attached.get()) {
    std::string file, module, function;
    int line;
    Describe(*thread, file, module, function, line);
    text = "file:" + file + "\r\nmodule:" + module + "\r\nfunc:" + function;
  }
  AID::MessageBuffer out;
  out.WriteU32(DBG_POSITION);
  out.WriteString(text.c_str());
  Send(out);
}

void Debugger::SendEnded() {
  SendCode(DBG_ENDED);
  Detach();
  m_mode = MODE_RUN;
  SendPosition();
}

void Debugger::SendModuleList() {
  AID::MessageBuffer out;
  out.WriteU32(DBG_MODULES);
  if (BinCode* root = ScriptSystem::GetRoot()) {
    for (const auto& [name, value] : root->GetSymbols()) {
      if (value.IsArray() || !value.GetModule()) continue;
      out.WriteU8(1);
      out.WriteString(name.c_str());
    }
  }
  out.WriteU8(0);
  Send(out);
}

void Debugger::ForwardOutput(const char* text) {
  if (!text) return;
  if (m_busy) {
    m_captured = text;
    return;
  }
  AID::MessageBuffer out;
  out.WriteU32(DBG_OUTPUT);
  out.WriteString(text);
  Send(out);
  if (ScriptSystem::OutputCallback callback = ScriptSystem::GetOutputCallback()) callback(text);
}

// ---- hooks

void Debugger::LineHook(Thread& thread) {
  if (m_busy) return;
  if (++m_lineCounter > kEndlessLoopLines) {
    const Frame* frame = thread.GetCurrentFrame();
    const char* file = frame && frame->m_function ? GetFileName(frame->m_function) : nullptr;
    ReportFileError(OrEmpty(file), frame ? frame->m_line : -1,
                    "possible endless loop (%d script lines processed in one call)", kEndlessLoopLines);
    m_mode = MODE_BREAK;
    Detach();
    m_lineCounter = 0;
  }
  if (m_attached && m_attached.get() != &thread) return;
  // A thread that runs while another one is stopped (a reload's top-level code) does not stop
  // as well: the stop loop is not re-entered.
  if (m_stopped) return;
  bool stop = m_mode == MODE_BREAK || (m_mode == MODE_STEP_OVER && m_stepDepth >= thread.m_frameIndex);
  if (!stop && !m_breakpoints.empty()) {
    const Frame* frame = thread.GetCurrentFrame();
    const char* module = frame && frame->m_function ? GetModuleName(frame->m_function) : nullptr;
    stop = MatchesBreakpoint(OrEmpty(module), frame ? frame->m_line : -1);
  }
  if (stop) Stop(thread);
}

void Debugger::ReturnHook(Thread& thread) {
  if (m_busy || m_attached.get() != &thread) return;
  // The hook runs before the returning frame is popped; the caller's index is one below. The
  // outermost frame returns to nobody, so a step out of it never stops by itself.
  const int caller = thread.m_frameIndex - 1;
  if (caller < 0 || caller >= Thread::kMaxFrames || !thread.m_frames[caller] || thread.m_frames[caller]->m_context)
    return;
  if (m_mode == MODE_STEP_OVER && caller < m_stepDepth) m_stepDepth = caller;
  if (m_mode == MODE_STEP_OUT && caller < m_stepDepth) m_mode = MODE_BREAK;
}

void Debugger::ThreadEnded(Thread& thread) {
  if (m_busy) return;
  // The end of some other thread says nothing about the one being debugged.
  if (m_attached && m_attached.get() != &thread) return;
  SendEnded();
}

void Debugger::SetCurrentNativeFunction(const detail::function_adapter_base* adapter) {
  if (!m_busy) m_nativeFunction = adapter;
}

std::string Debugger::NativeFunctionName() const {
  if (!m_nativeFunction) return "";
  BinCode* root = ScriptSystem::GetRoot();
  const Var* bind = root ? root->Find("~bind") : nullptr;
  BinCode* binds = bind && !bind->IsArray() ? bind->GetModule() : nullptr;
  if (binds) {
    for (const auto& [name, value] : binds->GetSymbols()) {
      const Var* v = value.Deref();
      if (!v->IsArray() && v->GetType() == VT_CFUNCTION && v->GetCFunction() == m_nativeFunction) return name;
    }
  }
  return "(unknown)";
}

// ---- stop loop

bool Debugger::CanStop() const {
  return ScriptSystem::GetSleepCallback() && m_link && m_link->IsConnected();
}

void Debugger::Stop(Thread& thread) {
  if (!CanStop()) return;
  Describe(thread, m_stopFile, m_stopModule, m_stopFunction, m_stopLine);
  m_resume = false;
  m_kill = false;
  if (m_attached.get() != &thread) {
    Detach();
    m_attached = &thread;
    SendCode(DBG_ATTACHED);
  }
  if (!m_link->IsConnected()) return;
  SendPosition();
  AID::MessageBuffer report;
  report.WriteU32(DBG_STOP_REPORT);
  report.WriteString(m_stopFile.c_str());
  report.WriteString(m_stopFunction.c_str());
  report.WriteU32(uint32_t(m_stopLine));
  Send(report);
  // The thread may be released (detach, thread end) while stopped; it lives until it resumes.
  tRefPtr<Thread> keep(&thread);
  m_stopped = &thread;
  while (!m_resume) {
    m_link->ProcessMessages();
    ProcessOneCommand();
    ScriptSystem::SleepCallback sleep = ScriptSystem::GetSleepCallback();
    if (!sleep) break;
    sleep(kStopLoopSleepMs);
    if (!m_link->IsConnected() || thread.GetState() == Thread::STATE_FINISHED) break;
  }
  SendCode(DBG_RESUMED);
  if (m_kill) thread.m_state = Thread::STATE_FINISHED;
  m_stopped = nullptr;
}

// ---- breakpoints

namespace {
bool Equal(const Breakpoint& b, const char* module, int line) {
  return strcasecmp(b.module, module) == 0 && (b.line == -1 || b.line == line);
}
}  // namespace

bool Debugger::AddBreakpoint(const char* module, int line) {
  if (!module) return false;
  Breakpoint b{};
  const size_t n = std::strlen(module);
  if (n >= sizeof b.module) {
    base::sys::Output("ERROR: script debugger: breakpoint module name of %zu characters refused (at most %zu)\n", n,
                      sizeof b.module - 1);
    return false;
  }
  if (MatchesBreakpoint(module, line)) return false;
  std::memcpy(b.module, module, n + 1);
  b.line = line;
  m_breakpoints.push_back(b);
  return true;
}

bool Debugger::RemoveBreakpoint(const char* module, int line) {
  if (!module) return false;
  for (auto it = m_breakpoints.begin(); it != m_breakpoints.end(); ++it) {
    if (Equal(*it, module, line)) {
      m_breakpoints.erase(it);
      return true;
    }
  }
  return false;
}

bool Debugger::MatchesBreakpoint(const char* module, int line) const {
  if (!module) return false;
  for (const Breakpoint& b : m_breakpoints)
    if (Equal(b, module, line)) return true;
  return false;
}

}  // namespace KRX
