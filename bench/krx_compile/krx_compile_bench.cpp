// Compile time of generated scripts of 1k, 10k and 100k lines: the KRX compiler (front end, code
// generator, linker; the top-level code runs once and does nothing) against Lua 5.4's parser and
// code generator (luaL_loadbuffer) on the equivalent Lua text. The time per line must stay flat.
#include <benchmark/benchmark.h>

#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "KRX/compiler/HiGrammar.h"
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"

namespace {

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

// Compiles source once per iteration in a fresh script system.
void CompileEachIteration(benchmark::State& state, const std::string& source) {
  KRX::ScriptSystem::Init();
  for (auto _ : state) {
    KRX::CodeUnit unit;
    unit.m_fileName = "bench.krx";
    unit.m_moduleName = "bench";
    unit.m_source = source.c_str();
    if (!KRX::Compiler::Compile(unit, nullptr)) state.SkipWithError("compile failed");
  }
  KRX::ScriptSystem::Shutdown();
}

void BM_KrxCompile(benchmark::State& state) {
  const int lines = int(state.range(0));
  CompileEachIteration(state, KrxSource(lines));
  state.SetItemsProcessed(state.iterations() * lines);
  state.counters["ns_per_line"] =
      benchmark::Counter(double(lines), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_LuaLoad(benchmark::State& state) {
  const int lines = int(state.range(0));
  const std::string source = LuaSource(lines);
  for (auto _ : state) {
    lua_State* L = luaL_newstate();
    if (luaL_loadbuffer(L, source.data(), source.size(), "bench") != LUA_OK) state.SkipWithError("load failed");
    lua_close(L);
  }
  state.SetItemsProcessed(state.iterations() * lines);
  state.counters["ns_per_line"] =
      benchmark::Counter(double(lines), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
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
BENCHMARK(BM_LuaLoad)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
