// KRX::ScriptSystem: the one global object of the script language. It owns the root module,
// the list of waiting and paused threads, the optional debugger and the callbacks through which
// the game receives script output and lends a sleep function. Every part of the language
// reports through Output, ReportError and ReportFileError. Main thread only.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "KRX/Module.h"

namespace base {
struct BaseString;
template <class B>
class tString;
}  // namespace base

namespace KRX {

class Debugger;
class Thread;

// The context of one compilation. The compiler stages derive from it and add their own fields
// (token list, syntax tree, assembly).
struct CompileUnit {
  tRefPtr<BinCode> m_module;  // the module being built
  std::string m_moduleName;
  std::string m_fileName;
  const char* m_source = nullptr;  // NUL-terminated, owned by the caller
  bool m_lua = false;              // Lua-like syntax: rewritten before parsing
  Var m_result;                    // what the top-level code returned
  int64_t m_stepBudget = -1;       // bounds the top-level run; -1 unbounded
};

class ScriptSystem {
 public:
  using OutputCallback = void (*)(const char* text);
  using SleepCallback = void (*)(int milliseconds);
  using LibraryInit = void (*)(Module& root);
  // How a debugger receives script output (it captures it while evaluating, else forwards it).
  using DebuggerOutput = void (*)(Debugger* debugger, const char* text);

  // A new root module holding the built-in functions and "type_%s" constants, no threads, no
  // libraries; debugger, callbacks and dump switch
  // cleared. Calling Init again shuts the previous state down first.
  static void Init();
  // Releases every listed thread, the libraries and the root module; destroys the debugger
  // (EnableDebugger) and detaches any other. A thread still running (a native of it shuts the
  // system down) ends dead when the native returns and keeps its frames until then.
  static void Shutdown();
  // Counts the shutdowns, so that a walk over the thread list can tell that its list is gone.
  static uint32_t GetGeneration();

  static Module& GetModule();
  static BinCode* GetRoot();  // null before Init
  static Thread* GetCurrentThread();
  static void SetCurrentThread(Thread* thread);

  static void SetCallbacks(OutputCallback output, SleepCallback sleep);
  static OutputCallback GetOutputCallback();
  static SleepCallback GetSleepCallback();

  // Appends a counted reference to the list of threads that wait or are paused, unless the
  // thread is listed already. Whoever takes a thread off the list clears its m_listed.
  static void AddThread(Thread* thread);
  static std::list<tRefPtr<Thread>>& GetThreads();
  // Listed threads at most: a script that starts threads without end would otherwise take all
  // memory. Natives that start a thread call CheckThreadRoom first; it throws (the calling
  // script's run-time error) when the list is full.
  static constexpr size_t kMaxThreads = 4096;
  static void CheckThreadRoom();

  static void AttachDebugger(Debugger* debugger, DebuggerOutput output);
  static void DetachDebugger();
  static Debugger* GetDebugger();

  // Steps (lines, jumps and calls) a thread may run between two yields: a run past it ends the
  // thread with a run-time error, so that an endless loop cannot hang the program. The default
  // is some seconds of script time; 0 switches the guard off. Init restores the default.
  static constexpr int64_t kDefaultStepsWithoutYield = int64_t(1) << 28;
  static void SetStepsWithoutYield(int64_t steps);
  static int64_t GetStepsWithoutYield() { return s_stepsWithoutYield; }  // read by every run

  static bool GetDumpSwitch();
  static void SetDumpSwitch(bool on);

  static void RegisterLibrary(const char* name, LibraryInit init);
  // Runs the named library's initialisation with the root module handle; false when unknown.
  static bool InitLibrary(const char* name);

  // The single exit of script text: to the debugger when one is attached; otherwise to the
  // standard error stream and then to the output callback. Null text is ignored.
  static void Output(const char* text);
  // Texts held back instead of being passed on, in their order: what went to Output and what
  // went to the output callback alone (GetOutputCallback hands out a collecting one meanwhile).
  // The compiler keeps what code generation says until the whole unit has parsed.
  struct st_OutputHold {
    struct st_Text {
      bool callbackOnly;
      std::string text;
    };
    std::vector<st_Text> texts;
    // Passes every text on the way it was given (call once the hold is no longer set).
    void Release();
  };
  // Sets the hold texts go to (null: none).
  static void SetOutputHold(st_OutputHold* hold);
  static st_OutputHold* GetOutputHold();

  // The root binds name (as given) to a module value (directly or through a reference).
  static bool IsModuleLoaded(const char* name);
  // The root's entry moduleName; with a symbolName, that module's entry of it. Null when
  // anything is missing or the module entry is not a module.
  static Var* FindSymbol(const char* moduleName, const char* symbolName);

 private:
  static inline int64_t s_stepsWithoutYield = kDefaultStepsWithoutYield;
};

// "%s(%d) : " with the current thread's current file and line ("" and -1 outside a frame),
// then the printf-formatted message, whole, to ScriptSystem::Output. Nothing for an empty format.
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same with an explicit file and line.
void ReportFileError(const char* file, int line, const char* format, ...) __attribute__((format(printf, 3, 4)));
void VReportFileError(const char* file, int line, const char* format, va_list args);

// The module name of a script path: the text after the last '/' or '\', cut at its first '.',
// "(memory)" when that is empty, lower-cased. A null path gives an empty name.
void SplitPath(const char* path, base::tString<base::BaseString>& name);

}  // namespace KRX
