// KRX::Debugger: the remote script debugger. It stops script threads at breakpoints or after a
// step, answers the front-end's questions about stacks, locals, modules and byte code, evaluates
// expressions in a stopped thread's context and forwards script output. Every command and reply
// is one message on the link's "KRXDebugger" channel. Main thread only: the hooks run inside the
// interpreter, and while a thread is stopped the main thread stays in the stop loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "KRX/runtime/RefObj.h"

namespace AID {
class AIDNetwork;
class Message;
class MessageBuffer;
}  // namespace AID

namespace KRX {

class Thread;
namespace detail {
class function_adapter_base;
}

// Codes of commands and of the replies and reports the debugger sends. ORDER DEBUGCMD: the
// front-end speaks them.
enum en_DebugCommand : uint32_t {
  DBG_STATE = 1,
  DBG_STOP_REPORT = 3,
  DBG_RESUMED = 4,
  DBG_ENDED = 5,
  DBG_ATTACHED = 6,
  DBG_DETACH = 7,
  DBG_EVALUATE = 10,
  DBG_WATCH = 11,
  DBG_BREAK = 20,
  DBG_STEP_OVER = 21,
  DBG_STEP_OUT = 22,
  DBG_CONTINUE = 23,
  DBG_KILL = 24,
  DBG_LIST_BREAKPOINTS = 30,
  DBG_ADD_BREAKPOINT = 31,
  DBG_CLEAR_BREAKPOINTS = 32,
  DBG_REMOVE_BREAKPOINT = 33,
  DBG_END_THREAD = 35,
  DBG_POSITION = 36,
  DBG_THREADS = 37,
  DBG_THREAD_INFO = 38,
  DBG_OUTPUT = 41,
  DBG_BYTECODE = 50,
  DBG_VOCABLES = 51,
  DBG_MODULES = 52,
  DBG_RELOAD = 53,
  DBG_UNLOAD = 54,
  DBG_SYMBOLS = 55,
  DBG_CODE_INFO = 56,
  DBG_LOCALS = 57,
  DBG_CALLSTACK = 58,
};

struct Breakpoint {
  char module[128];  // NUL-terminated
  int32_t line;      // -1: every line of the module
};

class Debugger {
 public:
  enum en_Mode { MODE_RUN = 0, MODE_STEP_OVER = 1, MODE_BREAK = 2, MODE_STEP_OUT = 3 };
  // Lines one run of a thread may execute before the guard stops it.
  static constexpr int kEndlessLoopLines = 200000;
  // Steps (lines, jumps, calls) an evaluated expression may take.
  static constexpr int64_t kEvaluateBudget = 200000;
  static constexpr int kStopLoopSleepMs = 50;
  // Commands waiting beyond this are dropped: only one is handled per frame, and the network
  // must not be able to grow the queue without end.
  static constexpr size_t kMaxQueuedCommands = 1024;

  // Registers with link's "KRXDebugger" channel (null: no link, nothing is sent).
  explicit Debugger(AID::AIDNetwork* link);
  // Leaves the link's listeners, frees queued commands and releases the attached thread.
  virtual ~Debugger();
  Debugger(const Debugger&) = delete;
  Debugger& operator=(const Debugger&) = delete;

  // Clears the resume flag and files the debugger with the link again (replacing its record).
  virtual void Reregister();

  // ---- hooks, called by the interpreter for threads with the debug flag
  void LineHook(Thread& thread);
  // Before the returning function's frame is popped.
  void ReturnHook(Thread& thread);
  void ThreadRunBegins() { m_lineCounter = 0; }
  void ThreadEnded(Thread& thread);
  void SetCurrentNativeFunction(const detail::function_adapter_base* adapter);
  // The name "~bind" binds the current native function under; "(unknown)"; "" when none.
  std::string NativeFunctionName() const;
  // Script-system output: captured while evaluating, otherwise sent (41) and passed to the
  // game's output callback.
  void ForwardOutput(const char* text);
  // A failed script assertion: the thread stops at its next line.
  void OnAssertFailed() { m_mode = MODE_BREAK; }

  // ---- commands
  // Handles the oldest queued command; false when none was queued.
  bool ProcessOneCommand();
  // Between frames (no script runs): drops the references of threads detached since the last
  // call. A thread is detached from inside its own run, where its last reference must not go.
  void ReleaseDetachedThreads();
  // Handles one command payload (u32 code and its arguments).
  void ProcessCommand(AID::MessageBuffer& command);
  // The link's listener callback: type 0 resumes a stopped thread, type 2 queues a command.
  static bool MessageCallback(void* object, AID::AIDNetwork* link, const AID::Message* message);
  // Sends the module list (52); called whenever modules were bound or unbound.
  void SendModuleList();

  // ---- breakpoints
  // False when an equal breakpoint exists (a stored line -1 covers every line) or the module
  // name does not fit the record.
  bool AddBreakpoint(const char* module, int line);
  // Removes the first equal breakpoint; false when none.
  bool RemoveBreakpoint(const char* module, int line);
  void ClearBreakpoints() { m_breakpoints.clear(); }
  bool MatchesBreakpoint(const char* module, int line) const;
  const std::vector<Breakpoint>& GetBreakpoints() const { return m_breakpoints; }

  // The result text of evaluating expression in the attached thread's context (compile and
  // run errors replace it).
  std::string Evaluate(const char* expression);

  int GetMode() const { return m_mode; }
  Thread* GetAttachedThread() const { return m_attached.get(); }
  Thread* GetStoppedThread() const { return m_stopped; }
  size_t QueuedCommandCount() const { return m_commands.size(); }
  bool IsBusy() const { return m_busy; }

 private:
  void Stop(Thread& thread);
  void Resume() { m_resume = true; }
  void Detach();
  void Send(const AID::MessageBuffer& message);
  void SendCode(uint32_t code);
  void SendPosition();
  void SendEnded();
  bool CanStop() const;

  void DispatchFirst(uint32_t code, AID::MessageBuffer& in);
  void DispatchAttached(uint32_t code, AID::MessageBuffer& in);
  void ReplyState();
  void ReplyBreakpoints();
  void ReplyThreads();
  void ReplyThreadInfo();
  void ReplyByteCode(AID::MessageBuffer& in);
  void ReplyVocables(AID::MessageBuffer& in);
  void ReplySymbols(AID::MessageBuffer& in);
  void ReplyCodeInfo(AID::MessageBuffer& in);
  void ReplyLocals();
  void ReplyCallStack();

  AID::AIDNetwork* m_link = nullptr;
  uint32_t m_listenerId;
  std::vector<Breakpoint> m_breakpoints;
  std::deque<std::unique_ptr<AID::MessageBuffer>> m_commands;
  bool m_dropping = false;  // the queue overflowed and that was logged
  bool m_resume = false;
  bool m_kill = false;
  std::string m_stopFile;
  std::string m_stopModule;
  std::string m_stopFunction;
  int32_t m_stepDepth = -1;
  int32_t m_stopLine = -1;
  const detail::function_adapter_base* m_nativeFunction = nullptr;
  int32_t m_lineCounter = 0;
  Thread* m_stopped = nullptr;
  tRefPtr<Thread> m_attached;
  std::vector<tRefPtr<Thread>> m_detached;  // released by ReleaseDetachedThreads
  int32_t m_mode = MODE_RUN;
  bool m_busy = false;
  std::string m_captured;
};

// Creates (on) or destroys (off) the script system's debugger, registered with link (null: the
// process's link, AID::CreateNetwork), with its interpreter hooks and output path installed.
// Returns whether a debugger exists afterwards.
bool EnableDebugger(bool on, AID::AIDNetwork* link = nullptr);

}  // namespace KRX
