// Loading scripts: the compile driver that runs the compiler stages over one unit and executes a
// file's top-level code once, the look-ups that load modules on demand (Require, LoadScript,
// Include, ModuleGet, ...) and the ".bincode" save and load of whole modules.
// Main thread only.
#pragma once

#include <cstdio>

#include "KRX/runtime/Var.h"

namespace KRX {

struct CodeUnit;
struct Frame;
class BinCode;
class Thread;

// The largest script source compiled (4 MiB); a larger one is refused as "too large". Compiling
// holds about 30 bytes per byte of script at its peak (the functions built included), so that a
// script at the cap costs the game about 120 MB more than it otherwise needs.
inline constexpr size_t kMaxScriptFileSize = size_t(4) << 20;

class Compiler {
 public:
  // Lexes, rewrites (Lua units), parses, generates and links unit, runs its top-level code once
  // and binds the module in the root under the unit's module name (when it has one). With a
  // context thread the code sees that thread's current frame's variables. False when a stage or
  // the top-level code fails; nothing is bound then.
  static bool Compile(CodeUnit& unit, Thread* context);
};

// True when the root already binds the module of path; otherwise LoadScript(path, report).
bool Require(const char* path, bool report);
// Compiles path (else "Scripts/" + path), or loads "Scripts/BinCode/<name>.bincode" when no
// source exists; a path holding ".bincode" is loaded as a module file. Reports "<path>(-1) :
// Unable to open file: <cause>" (not found: with report) when nothing can be read. A source that
// is refused before compiling (a folder, too large, a read error part-way: "read error at byte N:
// Input/output error", UTF-16, a NUL byte), that does not compile,
// or whose top-level code stops with an error is also named in the log at any warning level,
// once per file version and cause: "ERROR: script <file> cannot be read: <cause>; it is not
// loaded" ("does not compile: ...", "stopped in its top-level code: ..."), an unclosed
// parenthesis or Lua block named as such at the line where it began.
bool LoadScript(const char* path, bool report);
// True when the module of path defines functionName as a script function (loading it on demand).
bool HasFunction(const char* path, const char* functionName);
// LoadScript of name relative to the folder of the calling frame's file.
bool Include(const Frame* frame, const char* name);
// Every file matching pattern (relative to the calling frame's folder), each with LoadScript.
bool IncludeAll(const Frame* frame, const char* pattern);
bool IncludePattern(const char* pattern, const Frame* frame);
// The module bound under name, loading "<name>.bincode" on demand; null when none results.
BinCode* ModuleGet(const char* name);
bool UnloadModule(const char* name);
bool ReloadModule(const char* name);
// Compiles anew every module whose source file was written since it was compiled (a module read
// from a module file is left alone); one that no longer compiles is unbound, with its errors
// reported. The number of modules compiled anew.
int ReloadChangedModules();
// Compiles and runs text (no file, never bound) in the context of thread; the value its
// top-level code returned, or nil when compiling or running failed. A step budget other than -1
// bounds the run (Thread::SetStepBudget).
Var CompileText(const char* text, Thread* context, int64_t stepBudget = -1);
// Writes every module bound in the root to folder + name + ".bincode". False when one of them
// could not be written (each reported as "Unable to open file '<path>'" to the output callback).
bool ModuleSaveAll(const char* folder);
// Reads one module file (path, else "BinCode/<path>.bincode") and binds it in the root under
// its module name. No code runs. False (with a message for a damaged file) otherwise.
bool LoadBinCode(const char* path);

// Called whenever the set of bound modules changed (the debugger lists them).
void SetModulesChangedCallback(void (*callback)());
// Tests: asked first for each script source read by name, giving a stream the loader reads and
// closes (one whose reads fail part-way, as a failing disk's do), or null to read the file as
// usual. Null takes it away.
void SetSourceOpener(std::FILE* (*opener)(const char* path));

namespace detail {
// Installs the built-in functions, the "type_%s" constants and the script loader into a new
// root (called by ScriptSystem::Init).
void InitRootModule();
void NotifyModulesChanged();
}  // namespace detail

}  // namespace KRX
