#include "KRX/ScriptLoader.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "KRX/BinCode.h"
#include "KRX/file/BinCodeFile.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/compiler/CompileStages.h"
#include "KRX/compiler/Unclosed.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/Types.h"
#include "base/File.h"
#include "base/file/FileFinder.h"
#include "base/system.h"
#include "base/String.h"
#include "platform/os/FileSystem.h"
#include "platform/os/Path.h"

namespace KRX {

namespace {

void (*g_modulesChanged)() = nullptr;
std::FILE* (*g_sourceOpener)(const char* path) = nullptr;

// The source file each module was last compiled from, with that file's write time then, so that
// a file changed since can be told from one that was not.
struct st_Source {
  std::string file;
  int64_t writeTime = 0;
};
std::map<std::string, st_Source, std::less<>> g_sources;

// What the build reported first: the error that stopped it.
std::string FirstReport(const ScriptSystem::st_OutputHold& said) {
  for (const ScriptSystem::st_OutputHold::st_Text& text : said.texts)
    if (!text.callbackOnly) return text.text.substr(0, text.text.find_last_not_of('\n') + 1);
  return {};
}

// The script library's own reports reach the game's log only at a raised script warning level;
// a script that is not loaded is named there at any level, once per file version and cause,
// however often the game asks it for a function. what: "cannot be read", "does not compile", ...
void LogNotLoaded(const std::string& file, int64_t writeTime, const char* what, const std::string& cause) {
  static std::map<std::string, std::string, std::less<>> logged;
  std::string key = std::to_string(writeTime) + '\n' + what + '\n' + cause;
  std::string& last = logged[file];
  if (last == key) return;
  last = std::move(key);
  base::sys::Output("ERROR: script %s %s%s%s; it is not loaded\n", file.c_str(), what, cause.empty() ? "" : ": ",
                    cause.c_str());
}

void LogNotLoaded(const std::string& file, int64_t writeTime, const CodeUnit& unit) {
  LogNotLoaded(file, writeTime, unit.m_built ? "stopped in its top-level code" : "does not compile", unit.m_failure);
}

std::string ModuleNameOf(const char* path) {
  base::String name;
  SplitPath(path, name);
  return name.c_str() ? name.c_str() : "";
}

// The folder of the calling frame's file, with its separator; empty when there is none.
std::string FolderOf(const Frame* frame) {
  const char* file = frame ? GetFileName(frame->m_function) : nullptr;
  if (!file) return std::string();
  const char* slash = nullptr;
  for (const char* p = file; *p; ++p)
    if (*p == '/' || *p == '\\') slash = p;
  return slash ? std::string(file, size_t(slash - file + 1)) : std::string();
}

enum class en_Source { READ, MISSING, REFUSED };

// A text in UTF-16 (as some editors save by default) has a byte order mark, or a NUL beside each
// character of plain text.
bool LooksLikeUtf16(const std::vector<char>& bytes) {
  if (bytes.size() < 2) return false;
  const auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
  return (b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF) || ((b0 == 0) != (b1 == 0));
}

// The whole file as text, NUL-terminated. MISSING when nothing can be opened under path;
// REFUSED (reported, and why in cause) for a folder, a named pipe or a device, a file over the
// size cap, text in UTF-16 and text with a NUL byte.
en_Source ReadSource(const char* path, std::vector<char>& out, std::string& cause) {
  platform::os::en_OpenError why = platform::os::OPEN_OK;
  std::FILE* f = g_sourceOpener ? g_sourceOpener(path) : nullptr;
  if (!f) f = platform::os::OpenResolved(path, "rb", &why);
  if (!f) {
    if (why != platform::os::OPEN_NOT_REGULAR) return en_Source::MISSING;
    cause = platform::os::IsFolder(path) ? "it is a folder, not a file" : "it is not a regular file";
    ReportFileError(path, -1, "Unable to open file: not a regular file");
    return en_Source::REFUSED;
  }
  out.clear();
  char buffer[65536];
  size_t n;
  errno = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    if (out.size() + n > kMaxScriptFileSize) {
      std::fclose(f);
      cause = "too large (more than " + std::to_string(kMaxScriptFileSize) +
              " bytes: compiling takes about 30 times a script's size in memory)";
      ReportFileError(path, -1, "Unable to open file: %s", cause.c_str());
      return en_Source::REFUSED;
    }
    out.insert(out.end(), buffer, buffer + n);
  }
  // A read that fails part-way (a failing disk) is no end of the text: the part read would
  // compile as a shorter script, or be blamed for what it lacks.
  const int readError = std::ferror(f) ? (errno ? errno : EIO) : 0;
  std::fclose(f);
  if (readError) {
    cause = "read error at byte " + std::to_string(out.size()) + ": " + std::strerror(readError);
    ReportFileError(path, -1, "Unable to read file: %s", cause.c_str());
    return en_Source::REFUSED;
  }
  if (LooksLikeUtf16(out)) {
    cause = "not UTF-8 (the text is UTF-16: save it as UTF-8)";
    ReportFileError(path, 1, "Unable to compile: not UTF-8 (the text is UTF-16)");
    return en_Source::REFUSED;
  }
  // The compiler reads up to the first NUL: a NUL inside would silently cut the script short.
  if (const void* nul = out.empty() ? nullptr : std::memchr(out.data(), 0, out.size())) {
    const size_t at = size_t(static_cast<const char*>(nul) - out.data());
    const int line = 1 + int(std::count(out.begin(), out.begin() + std::ptrdiff_t(at), '\n'));
    cause =
        std::string(path) + "(" + std::to_string(line) + ") : a NUL byte in the text (byte " + std::to_string(at) + ")";
    ReportFileError(path, line, "Unable to compile: a NUL byte in the source (offset %zu)", at);
    return en_Source::REFUSED;
  }
  out.push_back('\0');
  return en_Source::READ;
}

bool CanOpen(const char* path) { return platform::os::IsRegularFile(path); }

BinCode* ModuleOf(const Var* entry) {
  return entry && !entry->IsArray() ? entry->GetModule() : nullptr;
}

}  // namespace

void SetModulesChangedCallback(void (*callback)()) { g_modulesChanged = callback; }

void SetSourceOpener(std::FILE* (*opener)(const char* path)) { g_sourceOpener = opener; }

void detail::NotifyModulesChanged() {
  if (g_modulesChanged) g_modulesChanged();
}

// ---- the compile driver

bool Compiler::Compile(CodeUnit& unit, Thread* context) {
  BinCode* root = ScriptSystem::GetRoot();
  unit.m_module = new BinCode();
  BinCode* module = unit.m_module.get();
  module->SetParent(root);
  module->FindOrCreate("~m", VT_STRING)->SetString(unit.m_moduleName.c_str());
  module->FindOrCreate("~file", VT_STRING)->SetString(unit.m_fileName.c_str());
  CreateVocabulary(module);
  unit.m_moduleLevel = true;
  if (context) {
    if (const Frame* frame = context->GetCurrentFrame()) {
      module->GetVarTable().CopyTable(frame->m_locals);
      if (frame->m_function) {
        // The copy must not take the hidden entries that make a module what it is.
        for (const auto& [name, value] : frame->m_function->GetSymbols())
          if (name.empty() || name[0] != '~') module->FindOrCreate(name.c_str(), 0)->Assign(value);
      }
    }
  }
  // The build's words are held so that a failure can keep its cause for the loader's log line.
  ScriptSystem::st_OutputHold said;
  ScriptSystem::st_OutputHold* outer = ScriptSystem::GetOutputHold();
  ScriptSystem::SetOutputHold(&said);
  unit.m_built = BuildUnitCode(unit);
  ScriptSystem::SetOutputHold(outer);
  if (!unit.m_built) {
    // In the writer's words where a mark or a block is left open: the parser speaks of braces the
    // Lua rewrite made, or says nothing. Another report of the parser's may name what else it met.
    unit.m_failure = FirstReport(said);
    if (const std::string unclosed = FindUnclosed(unit); !unclosed.empty())
      unit.m_failure = unit.m_failure.empty() || IsPairingReport(unit.m_failure)
                           ? unclosed
                           : unclosed + " (" + unit.m_failure + ")";
  }
  said.Release();
  if (!unit.m_built) return false;
  if (module->Find("~b")) {
    tRefPtr<Thread> thread(new Thread());
    thread->m_reportName = unit.m_fileName;
    if (context) thread->CopyFrames(*context);
    thread->SetStepBudget(unit.m_stepBudget);
    module->SetReturnType(TYPE_AUTO);
    const bool ok = thread->Call(ScriptSystem::GetModule(), module, false, nullptr, 0);
    if (!ok || thread->GetState() == Thread::STATE_DEAD) {
      unit.m_failure = thread->m_lastError;
      // A writer used to Lua sets a global by assigning it; here a name is made by declaring it.
      if (unit.m_failure.find("undefinied variable") != std::string::npos)
        unit.m_failure += " (a name is made by declaring it first, \"local name = value\")";
      return false;
    }
    unit.m_result.AssignOwned(thread->GetReturnValue());
  }
  module->Erase("~b");
  if (!unit.m_moduleName.empty() && GetParent(module)) {
    GetParent(module)->FindOrCreate(unit.m_moduleName.c_str(), VT_MODULE)->SetModule(module);
    detail::NotifyModulesChanged();
  }
  return true;
}

// ---- look-ups and loading

bool Require(const char* path, bool report) {
  if (ScriptSystem::IsModuleLoaded(ModuleNameOf(path).c_str())) return true;
  return LoadScript(path, report);
}

bool LoadScript(const char* path, bool report) {
  if (!path) return false;
  if (std::strstr(path, ".bincode")) return LoadBinCode(path);
  std::string opened = path;
  std::vector<char> source;
  // The time before the read: a change made while reading is seen as one later.
  int64_t writeTime = 0;
  platform::os::GetWriteTime(opened.c_str(), writeTime);
  std::string refused;
  en_Source got = ReadSource(opened.c_str(), source, refused);
  if (got == en_Source::MISSING) {
    opened = std::string("Scripts/") + path;
    platform::os::GetWriteTime(opened.c_str(), writeTime);
    got = ReadSource(opened.c_str(), source, refused);
  }
  if (got == en_Source::REFUSED) {
    LogNotLoaded(opened, writeTime, "cannot be read", refused);
    return false;
  }
  if (got == en_Source::MISSING) {
    const std::string binPath = "Scripts/BinCode/" + ModuleNameOf(path) + ".bincode";
    if (CanOpen(binPath.c_str())) return LoadBinCode(binPath.c_str());
    if (report)
      ReportFileError(path, -1, "Unable to open file: not found (nor Scripts/%s, nor %s)", path, binPath.c_str());
    return false;
  }
  CodeUnit unit;
  unit.m_fileName = opened;
  unit.m_moduleName = ModuleNameOf(opened.c_str());
  unit.m_source = source.data();
  if (!Compiler::Compile(unit, nullptr)) {
    LogNotLoaded(opened, writeTime, unit);
    return false;
  }
  g_sources[unit.m_moduleName] = st_Source{opened, writeTime};
  return true;
}

bool HasFunction(const char* path, const char* functionName) {
  const Var* symbol = ScriptSystem::FindSymbol(path, functionName);
  const std::string name = ModuleNameOf(path);
  if (!symbol) symbol = ScriptSystem::FindSymbol(name.c_str(), functionName);
  if (!symbol && Require(path, true)) symbol = ScriptSystem::FindSymbol(name.c_str(), functionName);
  return ModuleOf(symbol) != nullptr;
}

bool Include(const Frame* frame, const char* name) {
  if (!name) return false;
  return LoadScript((FolderOf(frame) + name).c_str(), true);
}

bool IncludeAll(const Frame* frame, const char* pattern) {
  if (!pattern) return false;
  return IncludePattern((FolderOf(frame) + pattern).c_str(), frame);
}

bool IncludePattern(const char* pattern, const Frame* frame) {
  const char* file = frame ? GetFileName(frame->m_function) : nullptr;
  if (!file) file = "(unknown)";
  const int line = frame ? frame->m_line : -1;
  std::string folder;
  if (const char* slash = std::max(std::strrchr(pattern, '/'), std::strrchr(pattern, '\\')))
    folder.assign(pattern, size_t(slash - pattern + 1));
  std::vector<std::string> names;
  base::cl_FileFinder finder;
  if (finder.FindFile(pattern)) {
    bool more;
    do {
      more = finder.FindNextFileA();
      if (!finder.IsDirectory() && finder.GetFileName()) names.emplace_back(finder.GetFileName());
    } while (more);
  }
  if (names.empty()) {
    ReportFileError(file, line, "Unable to load file %s", pattern);
    return false;
  }
  // Directory order differs between file systems; name order makes loading repeatable.
  std::sort(names.begin(), names.end());
  bool ok = true;
  for (const std::string& name : names) {
    const std::string path = folder + name;
    if (!LoadScript(path.c_str(), true)) {
      ReportFileError(file, line, "Unable to load file %s", path.c_str());
      ok = false;
    }
  }
  return ok;
}

BinCode* ModuleGet(const char* name) {
  BinCode* root = ScriptSystem::GetRoot();
  if (!root || !name) return nullptr;
  if (!root->Find(name)) LoadBinCode(name);
  return ModuleOf(root->Find(name));
}

namespace {
// The root's entry of name, else of its module name; null unless it is a module.
const char* FindModuleKey(const char* name, std::string& key) {
  BinCode* root = ScriptSystem::GetRoot();
  if (!root || !name) return nullptr;
  key = name;
  if (!ModuleOf(root->Find(key.c_str()))) key = ModuleNameOf(name);
  return ModuleOf(root->Find(key.c_str())) ? key.c_str() : nullptr;
}
}  // namespace

bool UnloadModule(const char* name) {
  std::string key;
  if (!FindModuleKey(name, key)) return false;
  ScriptSystem::GetRoot()->Erase(key.c_str());
  detail::NotifyModulesChanged();
  return true;
}

bool ReloadModule(const char* name) {
  std::string key;
  if (!FindModuleKey(name, key)) return false;
  BinCode* root = ScriptSystem::GetRoot();
  const char* file = GetSymbolText(ModuleOf(root->Find(key.c_str())), "~file");
  if (!file) return false;
  const std::string path = file;
  root->Erase(key.c_str());
  const bool ok = Require(path.c_str(), true);
  if (!ok) detail::NotifyModulesChanged();
  return ok;
}

int ReloadChangedModules() {
  BinCode* root = ScriptSystem::GetRoot();
  if (!root) return 0;
  std::vector<std::string> changed;
  for (const auto& [name, entry] : root->GetSymbols()) {
    const BinCode* module = ModuleOf(&entry);
    const char* file = module ? GetSymbolText(module, "~file") : nullptr;
    const auto source = g_sources.find(name);
    // Modules read from module files, or compiled by an earlier script system, have no record.
    if (!file || source == g_sources.end() || source->second.file != file) continue;
    int64_t writeTime = 0;
    if (platform::os::GetWriteTime(file, writeTime) && writeTime != source->second.writeTime)
      changed.push_back(name);
  }
  int reloaded = 0;
  for (const std::string& name : changed) reloaded += ReloadModule(name.c_str()) ? 1 : 0;
  return reloaded;
}

Var CompileText(const char* text, Thread* context, int64_t stepBudget) {
  Var result;
  if (!text) return result;
  CodeUnit unit;
  unit.m_source = text;
  unit.m_stepBudget = stepBudget;
  if (Compiler::Compile(unit, context)) result.AssignOwned(unit.m_result);
  return result;
}

// ---- module files

bool ModuleSaveAll(const char* folder) {
  BinCode* root = ScriptSystem::GetRoot();
  if (!root) return true;
  const std::string base = folder ? folder : "";
  bool ok = true;
  for (const auto& [name, value] : root->GetSymbols()) {
    if (name.empty() || name[0] == '~') continue;
    BinCode* module = ModuleOf(&value);
    if (!module) continue;
    const std::string path = base + name + ".bincode";
    if (!WriteModuleFile(path.c_str(), module)) {
      char message[1200];
      std::snprintf(message, sizeof message, "Unable to open file '%.1100s'", path.c_str());
      if (ScriptSystem::OutputCallback out = ScriptSystem::GetOutputCallback()) out(message);
      ok = false;
    }
  }
  return ok;
}

bool LoadBinCode(const char* path) {
  BinCode* root = ScriptSystem::GetRoot();
  if (!root || !path) return false;
  std::string opened = path;
  if (!CanOpen(opened.c_str())) {
    opened = std::string("BinCode/") + path + ".bincode";
    if (!CanOpen(opened.c_str())) return false;
  }
  tRefPtr<BinCode> module = ReadModuleFile(opened.c_str());
  if (!module) return false;
  const char* name = GetModuleName(module.get());
  const std::string key = name ? name : "";
  module->SetParent(root);
  root->FindOrCreate(key.c_str(), VT_MODULE)->SetModule(module.get());
  detail::NotifyModulesChanged();
  return true;
}

}  // namespace KRX
