// Compile time of generated scripts of 1k, 10k and 100k lines: the KRX compiler (front end, code
// generator, linker; the top-level code runs once and does nothing) against Lua 5.4's parser and
// code generator (luaL_loadbuffer) on the equivalent Lua text. The time per line must stay flat.
// The counter peak_per_line is the most heap memory the compile held at once above what was held
// before it, divided by the lines (this program counts every malloc, calloc, realloc and free).
// BM_KrxCompileTopLevel does the same for a script that is all top-level code, built but not run.
// BM_KrxCompileTable and BM_LuaLoadTable compile a table of 354,000 small Lua-style functions
// (15.5 MB, compiled directly: the loader takes no script over 4 MiB; Lua's text wraps every
// 100,000 of them in a function of their own, as Lua takes at most 131,071 functions in one):
// peak_per_source_byte is the most heap the compile held at once over the source's size, the
// memory a large script costs per byte.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstddef>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "../BenchRatios.h"
#include "KRX/BinCode.h"
#include "KRX/compiler/CompileStages.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"

// ---- heap accounting
// The program's own malloc family, passing on to glibc's, so that the peak counts what the C++
// runtime and Lua's allocator take alike.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {
// Counting is on only for the untimed measuring pass, so that it costs the timed runs nothing.
bool g_counting = false;
long long g_heapNow = 0;
long long g_heapPeak = 0;
inline void Took(void* p) {
  if (!p || !g_counting) return;
  g_heapNow += (long long)malloc_usable_size(p);
  if (g_heapNow > g_heapPeak) g_heapPeak = g_heapNow;
}
inline void Gave(void* p) {
  if (p && g_counting) g_heapNow -= (long long)malloc_usable_size(p);
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
  void* p = __libc_malloc(n);
  Took(p);
  return p;
}
void* calloc(size_t n, size_t size) {
  void* p = __libc_calloc(n, size);
  Took(p);
  return p;
}
void* realloc(void* old, size_t n) {
  Gave(old);
  void* p = __libc_realloc(old, n);
  Took(p ? p : (n ? old : nullptr));
  return p;
}
void free(void* p) {
  Gave(p);
  __libc_free(p);
}
}

namespace {

// Runs work once with counting on: the most heap bytes it held at once above what it began
// with (a block freed in it that was taken before counts as given back, so the start is 0).
template <class F>
long long PeakOf(F&& work) {
  g_heapNow = g_heapPeak = 0;
  g_counting = true;
  work();
  g_counting = false;
  return g_heapPeak;
}

// One function of ten lines per step: declarations, arithmetic, a loop, a branch and calls.
std::string KrxSource(int lines) {
  std::string s;
  for (int f = 0; f * 10 < lines; ++f) {
    const std::string n = std::to_string(f);
    s += "function int F" + n + "(int a, int b) {\n";
    s += "  int sum = 0;\n";
    s += "  int i;\n";
    s += "  for (i = 0; i < a; i++) {\n";
    s += "    sum = sum + i * b - (a % 7);\n";
    s += "  }\n";
    s += "  if (sum > 100 && b != 3) { sum = sum / 2; } else { sum = sum + 1; }\n";
    s += "  while (sum > 1000) { sum = sum - 999; }\n";
    s += "  return sum + Debugout(\"F" + n + "\", sum);\n";
    s += "}\n";
  }
  return s;
}

// Top-level code only, as a data script is written: declarations, assignments, branches and
// calls outside any function, three lines per step.
std::string KrxTopLevelSource(int lines) {
  std::string s = "int total = 0;\nstring name;\n";
  for (int i = 0; i * 3 < lines; ++i) {
    const std::string n = std::to_string(i);
    s += "total = total + " + n + " * 3 - (total % 11);\n";
    s += "if (total > 1000) { total = total / 2; } else { name = \"T" + n + "\"; }\n";
    s += "Debugout(name, total);\n";
  }
  return s;
}

std::string LuaSource(int lines) {
  std::string s;
  for (int f = 0; f * 10 < lines; ++f) {
    const std::string n = std::to_string(f);
    s += "function F" + n + "(a, b)\n";
    s += "  local sum = 0\n";
    s += "  local i\n";
    s += "  for i = 0, a - 1 do\n";
    s += "    sum = sum + i * b - (a % 7)\n";
    s += "  end\n";
    s += "  if sum > 100 and b ~= 3 then sum = sum // 2 else sum = sum + 1 end\n";
    s += "  while sum > 1000 do sum = sum - 999 end\n";
    s += "  return sum + print(\"F" + n + "\", sum)\n";
    s += "end\n";
  }
  return s;
}

// The table of small functions as a ".lua" script; for Lua itself (group) in functions of
// 100,000 each.
std::string TableSource(int functions, bool group = false) {
  std::string s;
  for (int f = 0; f < functions; ++f) {
    if (group && f % 100000 == 0) s += (f ? "end\nfunction G" : "function G") + std::to_string(f) + "()\n";
    s += "function F" + std::to_string(f) + "(a, b) return a * 3 + b end\n";
  }
  return group ? s + "end\n" : s;
}

// Compiles source once per iteration in a fresh script system; the peak heap above the start of
// one compile (the module it built included) in bytes. With run, as a loaded file is: bound and
// its top-level code run once; without, the code is only built.
long long CompileEachIteration(benchmark::State& state, const std::string& source, bool run = true,
                               const char* fileName = "bench.krx") {
  KRX::ScriptSystem::Init();
  auto compile = [&] {
    KRX::CodeUnit unit;
    unit.m_fileName = fileName;
    unit.m_moduleName = "bench";
    unit.m_source = source.c_str();
    bool ok;
    if (run) {
      ok = KRX::Compiler::Compile(unit, nullptr);
    } else {
      unit.m_module = new KRX::BinCode();
      unit.m_module->SetParent(KRX::ScriptSystem::GetRoot());
      KRX::CreateVocabulary(unit.m_module.get());
      unit.m_moduleLevel = true;
      ok = KRX::BuildUnitCode(unit);
    }
    if (!ok) state.SkipWithError("compile failed");
  };
  const long long peak = PeakOf(compile);
  for (auto _ : state) {
    compile();
    if (state.error_occurred()) break;
  }
  KRX::ScriptSystem::Shutdown();
  return peak;
}

void PerLineCounters(benchmark::State& state, int lines, long long peak) {
  state.SetItemsProcessed(state.iterations() * lines);
  state.counters["ns_per_line"] =
      benchmark::Counter(double(lines), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["peak_per_line"] = double(peak) / lines;
}

void BM_KrxCompile(benchmark::State& state) {
  const int lines = int(state.range(0));
  const long long peak = CompileEachIteration(state, KrxSource(lines));
  PerLineCounters(state, lines, peak);
}

// Built only: the top-level code of the generated script would call Debugout 100 k times.
void BM_KrxCompileTopLevel(benchmark::State& state) {
  const int lines = int(state.range(0));
  const long long peak = CompileEachIteration(state, KrxTopLevelSource(lines), false);
  PerLineCounters(state, lines, peak);
}

// Lua's parser and code generator over source once per iteration, in a fresh state; the peak
// heap of one load in bytes.
long long LoadEachIteration(benchmark::State& state, const std::string& source) {
  auto load = [&] {
    lua_State* L = luaL_newstate();
    if (luaL_loadbuffer(L, source.data(), source.size(), "bench") != LUA_OK) state.SkipWithError("load failed");
    lua_close(L);
  };
  const long long peak = PeakOf(load);
  for (auto _ : state) {
    load();
    if (state.error_occurred()) break;
  }
  return peak;
}

void BM_LuaLoad(benchmark::State& state) {
  const int lines = int(state.range(0));
  PerLineCounters(state, lines, LoadEachIteration(state, LuaSource(lines)));
}

void BM_KrxCompileTable(benchmark::State& state) {
  const std::string source = TableSource(int(state.range(0)));
  const long long peak = CompileEachIteration(state, source, true, "table.lua");
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["peak_per_source_byte"] = double(peak) / double(source.size());
}

void BM_LuaLoadTable(benchmark::State& state) {
  const std::string source = TableSource(int(state.range(0)), true);
  const long long peak = LoadEachIteration(state, source);
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["peak_per_source_byte"] = double(peak) / double(source.size());
}

// One statement of n nested groups, a few such per line count: the time per group should stay
// flat as n grows (each group is reduced once, its tokens moved rather than copied).
void BM_KrxNestedGroups(benchmark::State& state) {
  const int depth = int(state.range(0));
  std::string source = "int x = 0;\n";
  for (int i = 0; i < 20; ++i)
    source += "x = " + std::string(size_t(depth), '(') + "1" + std::string(size_t(depth), ')') + ";\n";
  CompileEachIteration(state, source);
  state.SetItemsProcessed(state.iterations() * 20 * depth);
}

BENCHMARK(BM_KrxNestedGroups)->Arg(40)->Arg(120)->Arg(360)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KrxCompile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxCompileTopLevel)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuaLoad)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxCompileTable)->Arg(354000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuaLoadTable)->Arg(354000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return benchratios::RunReportingFailures(argc, argv); }
