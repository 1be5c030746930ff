// KRX::Thread and KRX::Frame: one cooperative script execution context and its call frames.
// A thread runs on the program's main thread until it finishes, fails, sleeps or pauses; the
// scheduler (ThreadList) resumes waiting threads once per game frame.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "KRX/BinCode.h"  // frames hold counted module references
#include "KRX/runtime/RefObj.h"
#include "KRX/runtime/Var.h"
#include "KRX/runtime/VarTable.h"

namespace KRX {

class Module;
class StringPool;

// What a frame of a function needs before it runs, remembered by function for one symbol epoch
// (GetSymbolEpoch), so that no call searches the symbols: the owning module, and the code the
// interpreter loaded for it ("~b", "~vocal", the vocabulary, the decode table; null until then).
struct st_FunctionCache {
  const BinCode* function = nullptr;
  uint64_t epoch = 0;
  BinCode* owner = nullptr;
  const Var* codeVar = nullptr;
  const Var* vocabVar = nullptr;
  const StringPool* vocab = nullptr;
  void* decoded = nullptr;
};
// The entry function's cache would take; it may hold another function's (compare function).
inline st_FunctionCache& FunctionCacheEntry(const BinCode* function) {
  static st_FunctionCache s_entries[256];
  const uintptr_t h = reinterpret_cast<uintptr_t>(function) >> 4;
  return s_entries[(h ^ (h >> 8)) & 255u];
}

// One active call: the running function, its module, its local slots and its operand stack.
// Owned by the thread. A frame's storage outlives the call: the next call at the same depth
// reuses it for whatever function it runs.
struct Frame {
  Frame() = default;
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;
  ~Frame() { DeleteVarArray(m_stack); }

  int32_t m_line = -1;       // current source line, set by the "line" instruction
  uint32_t m_position = 0;   // byte offset of the next instruction in the function's code
  BinCode* m_function = nullptr;  // not counted: m_functionKeep keeps it alive
  tRefPtr<BinCode> m_module;      // the module that owns the function
  // The function's slot values; the names are read from the function's table.
  VarTable m_locals;
  Var* m_stack = nullptr;         // NewVarArray block of m_stackCapacity Vars
  uint32_t m_stackCount = 0;
  uint32_t m_stackCapacity = 0;
  // A copy of another thread's frame (CopyFrames): context for the debugger, never resumed.
  bool m_context = false;
  // Keeps m_function, and with it the slot names m_locals reads, alive while the frame holds
  // them (also while the frame waits for reuse, so that its caches below can be trusted).
  tRefPtr<BinCode> m_functionKeep;
  // The code of m_function as the interpreter last loaded it: its "~b" and "~vocal" entries,
  // the vocabulary and the decode table. Valid while the symbol epoch (GetSymbolEpoch) equals
  // m_cacheEpoch, so neither a call nor the return into the frame searches the symbols.
  uint64_t m_cacheEpoch = 0;
  const Var* m_codeVar = nullptr;
  const Var* m_vocabVar = nullptr;
  const StringPool* m_vocab = nullptr;
  void* m_decoded = nullptr;
  // The owning module of m_function as last looked up, valid for m_ownerEpoch.
  BinCode* m_owner = nullptr;
  uint64_t m_ownerEpoch = 0;
};

class Thread : public RefObj {
 public:
  enum en_State { STATE_DEAD = 0, STATE_FINISHED = 1, STATE_RUNNING = 2, STATE_WAITING = 3, STATE_PAUSED = 4 };
  static constexpr int kMaxFrames = 32;

  Thread() = default;
  // Releases the arguments, variables, return value and every frame still on the stack.
  ~Thread() override;

  int GetState() const { return m_state; }
  Var& GetReturnValue() { return m_returnValue; }
  // The frame at the frame index, or null when the index is outside 0..31 or the slot is empty.
  Frame* GetCurrentFrame() const {
    return (m_frameIndex >= 0 && m_frameIndex < kMaxFrames) ? m_frames[m_frameIndex] : nullptr;
  }
  const char* GetModuleName() const;    // "~m" of the current frame's module
  const char* GetFunctionName() const;  // "~f" of the current frame's function

  // ---- starting
  // Module name := the module name of path; true when the root binds that module already,
  // otherwise the result of the installed script loader (false without one).
  bool LoadModule(const char* path);
  // Runs (or, with wait, schedules) function name of the module named by m_moduleName. Reports
  // "Unable to find function %s" / "The symbol %s is not a script function" and fails when the
  // name does not lead to a script function. A waiting or paused thread joins the thread list.
  bool Start(const char* name, bool wait, const Var* args, int argCount);
  // Schedules function on this thread (its first instruction runs at the next scheduler step).
  bool StartFunction(BinCode* function, const Var* args, int argCount);
  // Frame 0 for function (arguments copied), or restarts the current frame with function; with
  // wait the thread waits 0.0 s, otherwise it runs at once and the run's result is returned.
  bool Call(Module& root, BinCode* function, bool wait, const Var* args, int argCount);
  // Runs the thread until it leaves the running state; false when it failed (it is then dead).
  bool Run();

  // ---- suspension, for native functions
  // Waiting with that many seconds left (a plain float return value). Inline: every yield.
  void Sleep(float seconds) {
    m_state = STATE_WAITING;
    m_returnValue.Reset();
    m_returnValue.SetFloat(seconds);
  }
  void Pause();               // paused until native code calls Sleep
  void Return(const Var* value);  // finished; the return value becomes a deep copy (or nil)

  // Records and reports a run-time error: "%s(%d) : " with the frame's file and line, or
  // "c-call(---) : " without a frame. A null or empty format clears the error flag only.
  void RuntimeError(const Frame* frame, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Copies the frames of other (positions, functions, modules, locals) as context frames and
  // makes their top the current frame; the next Call runs its function in a new frame above
  // them, and the thread finishes when that frame returns.
  bool CopyFrames(const Thread& other);

  // ---- budget (debugger evaluation)
  // Limits the next runs to n steps (lines, jumps and calls); -1 removes the limit (each run then
  // gets ScriptSystem::GetStepsWithoutYield). A run that exhausts its budget fails with a
  // run-time error, so endless loops cannot hang the caller.
  void SetStepBudget(int64_t steps) { m_stepBudget = steps; }
  int64_t GetStepBudget() const { return m_stepBudget; }

  // Clears every value of the thread's frames and variables that holds the thread itself (done
  // when it ends, so that such a value cannot keep it alive).
  void DropSelfReferences();

  // ---- frames (interpreter)
  // A frame for function at index (0..kMaxFrames-1): the one released there last, whatever it
  // ran, or a new one. Its slots take the function's values; no slot name is copied. Its code
  // cache is the function's (st_FunctionCache) when the interpreter loaded it in this epoch.
  // Inline: every script call comes here.
  __attribute__((always_inline)) Frame* AcquireFrame(int index, BinCode* function) {
    Frame* frame = m_spare[index];
    if (frame)
      m_spare[index] = nullptr;
    else
      frame = new Frame();
    const uint64_t epoch = GetSymbolEpoch();
    if (frame->m_function != function || frame->m_ownerEpoch != epoch || frame->m_cacheEpoch != epoch) {
      // Calls alternating between functions at one depth: the callee's code is known already.
      const st_FunctionCache* e = &FunctionCache(function, epoch);
      if (frame->m_functionKeep.get() != function) frame->m_functionKeep = function;
      frame->m_function = function;
      frame->m_owner = e->owner;
      frame->m_ownerEpoch = epoch;
      frame->m_cacheEpoch = e->decoded ? epoch : 0;  // else the interpreter loads the code
      frame->m_codeVar = e->codeVar;
      frame->m_vocabVar = e->vocabVar;
      frame->m_vocab = e->vocab;
      frame->m_decoded = e->decoded;
    }
    // Without memory for the slots the table stays empty, and the first access to one fails.
    (void)frame->m_locals.TakeLayout(function->GetVarTable());
    frame->m_module = frame->m_owner;
    frame->m_line = -1;
    frame->m_position = 0;
    frame->m_context = false;
    return frame;
  }
  // Takes the frame at index off the stack, releases what its values own and keeps its storage
  // for the next AcquireFrame there. Inline: every script return comes here.
  __attribute__((always_inline)) void ReleaseFrame(int index) {
    Frame* frame = m_frames[index];
    m_frames[index] = nullptr;
    if (!frame) return;
    // Stack slots go back to plain nils: a value pushed later takes no type or flag of an old one.
    for (uint32_t i = 0; i < frame->m_stackCount; ++i)
      if (frame->m_stack[i].GetTypeByte() != VT_NIL) frame->m_stack[i].Reset();
    frame->m_stackCount = 0;
    // Plain values stay: the next AcquireFrame at this depth overwrites every slot it uses.
    const int slots = frame->m_locals.GetCount();
    for (int i = 0; i < slots; ++i) frame->m_locals.GetVariable(i)->ClearOwned();
    frame->m_module.reset();
    // A frame put on the stack from outside (a loaded thread) may find one here already.
    if (m_spare[index]) DropSpare(index);
    m_spare[index] = frame;
  }

  // A loader through which LoadModule loads scripts that are not bound yet.
  using ScriptLoader = bool (*)(const char* path);
  static void SetScriptLoader(ScriptLoader loader);

  // The interpreter works on these directly. What every resume of a waiting thread reads comes
  // first, so that a scheduler step over many threads touches few cache lines of each.
  int32_t m_state = STATE_FINISHED;
  int32_t m_frameIndex = -1;
  uint8_t m_errorFlag = 0;
  uint8_t m_debugFlag = 0;
  int16_t m_assertCount = 0;
  int64_t m_stepBudget = -1;
  Var m_returnValue;
  Frame* m_frames[kMaxFrames] = {};
  std::map<std::string, Var, std::less<>> m_variables;
  int16_t m_assertFailures = 0;
  std::string m_moduleName;
  std::string m_reportName;
  std::string m_lastError;
  int32_t m_argCount = 0;
  Var* m_args = nullptr;  // NewVarArray block of owned argument copies
  // In the script system's thread list: set by ScriptSystem::AddThread, cleared where the list
  // drops the thread, so that starting a thread never searches the list.
  bool m_listed = false;

 private:
  // The st_FunctionCache entry of function for epoch, made anew: its owner found, its code not
  // loaded yet.
  static st_FunctionCache& NewFunctionCache(BinCode* function, uint64_t epoch);
  // The function's cache entry for epoch, made anew when the slot holds another's.
  static st_FunctionCache& FunctionCache(BinCode* function, uint64_t epoch) {
    st_FunctionCache& e = FunctionCacheEntry(function);
    return e.function == function && e.epoch == epoch ? e : NewFunctionCache(function, epoch);
  }
  void DropSpare(int index);  // deletes the spare frame at index

  Frame* m_spare[kMaxFrames] = {};  // per depth, the frame released there last
};

}  // namespace KRX
