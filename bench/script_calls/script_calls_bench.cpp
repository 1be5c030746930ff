// What a native call from a script costs: 1 million calls of a plain native bound with its
// signature (void (const char*, float)) and of a native that takes the call's interface and reads
// five arguments with the game's readers, both run through GameThread::Start from compiled KRX
// source; beside them Lua 5.4 calling C functions that read the same arguments with the
// luaL_check functions, and an empty loop on each side for the loop's own share.
// The counter per_call is the whole run's time divided by the calls ("85n" is 85 ns). At the end
// the program prints Lua's time over KRX's for each pair (above 1: KRX is faster).
#include <benchmark/benchmark.h>

#include <lua.hpp>

#include "../BenchRatios.h"

#include "KRX/ScriptSystem.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/ScriptLoader.h"
#include "KRX/runtime/function_adapter.h"
#include "base/data/Variant.h"
#include "quillane/script/GameThread.h"
#include "quillane/script/ScriptHost.h"

namespace {

constexpr int kCalls = 1000000;

// What the natives read goes here, so that nothing is optimised away.
float g_sink = 0.0f;

// ---- KRX side

void Walk(const char* name, float speed) { g_sink += speed + float(name ? name[0] : 0); }

void ReadFive(KRX::t_Interface& in) {
  const char* name = script::GetArgString(in, 1, "");
  const float f = script::GetArgFloat(in, 2, 0.0f);
  const int i = script::GetArgInt(in, 3, 0);
  const bool b = script::GetArgBool(in, 4, false);
  const char* target = script::GetArgString(in, 5, "");
  g_sink += f + float(i) + (b ? 1.0f : 0.0f) + float(name[0]) + float(target[0]);
}

const char* kKrxSource = R"(
function int plain() {
  int i;
  for (i = 0; i < 1000000; i++) {
    Walk("Odo", 1.5);
  }
  return i;
}
function int readers() {
  int i;
  for (i = 0; i < 1000000; i++) {
    ReadFive("Odo", 1.5, 2, true, "door");
  }
  return i;
}
function int empty() {
  int i;
  for (i = 0; i < 1000000; i++) {
  }
  return i;
}
)";

struct st_KrxWorld {
  st_KrxWorld() {
    KRX::ScriptSystem::Init();
    KRX::ScriptSystem::SetCallbacks([](const char*) {}, nullptr);
    KRX::RegisterFunction(KRX::ScriptSystem::GetModule(), "Walk", &Walk);
    KRX::RegisterFunction(KRX::ScriptSystem::GetModule(), "ReadFive", &ReadFive);
    KRX::CodeUnit unit;
    unit.m_fileName = "calls.krx";
    unit.m_moduleName = "calls";
    unit.m_source = kKrxSource;
    compiled = KRX::Compiler::Compile(unit, nullptr);
  }
  ~st_KrxWorld() { KRX::ScriptSystem::Shutdown(); }
  bool compiled = false;
};

void Report(benchmark::State& state) {
  state.counters["per_call"] =
      benchmark::Counter(double(kCalls), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void KrxBench(benchmark::State& state, const char* function) {
  st_KrxWorld world;
  if (!world.compiled) {
    state.SkipWithError("the source did not compile");
    return;
  }
  const base::Variant none;
  int result = 0;
  for (auto _ : state) {
    result = GameThread::Start("calls.krx", function, none).get_int();
    benchmark::DoNotOptimize(result);
  }
  if (result != kCalls) state.SkipWithError("wrong result");
  Report(state);
}

// ---- Lua side

int LuaWalk(lua_State* L) {
  const char* name = luaL_checkstring(L, 1);
  g_sink += float(luaL_checknumber(L, 2)) + float(name[0]);
  return 0;
}

int LuaReadFive(lua_State* L) {
  const char* name = luaL_checkstring(L, 1);
  const float f = float(luaL_checknumber(L, 2));
  const int i = int(luaL_checkinteger(L, 3));
  luaL_checktype(L, 4, LUA_TBOOLEAN);
  const bool b = lua_toboolean(L, 4) != 0;
  const char* target = luaL_checkstring(L, 5);
  g_sink += f + float(i) + (b ? 1.0f : 0.0f) + float(name[0]) + float(target[0]);
  return 0;
}

const char* kLuaSource = R"(
function plain() local i = 0 while i < 1000000 do Walk("Odo", 1.5) i = i + 1 end return i end
function readers() local i = 0 while i < 1000000 do ReadFive("Odo", 1.5, 2, true, "door") i = i + 1 end return i end
function empty() local i = 0 while i < 1000000 do i = i + 1 end return i end
)";

void LuaBench(benchmark::State& state, const char* function) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  lua_register(L, "Walk", &LuaWalk);
  lua_register(L, "ReadFive", &LuaReadFive);
  if (luaL_dostring(L, kLuaSource) != LUA_OK) {
    state.SkipWithError(lua_tostring(L, -1));
    lua_close(L);
    return;
  }
  long long result = 0;
  for (auto _ : state) {
    lua_getglobal(L, function);
    lua_call(L, 0, 1);
    result = lua_tointeger(L, -1);
    lua_pop(L, 1);
    benchmark::DoNotOptimize(result);
  }
  if (result != kCalls) state.SkipWithError("wrong result");
  Report(state);
  lua_close(L);
}

void BM_Krx_PlainNative(benchmark::State& s) { KrxBench(s, "plain"); }
void BM_Krx_InterfaceFiveReaders(benchmark::State& s) { KrxBench(s, "readers"); }
void BM_Krx_EmptyLoop(benchmark::State& s) { KrxBench(s, "empty"); }
void BM_Lua_PlainNative(benchmark::State& s) { LuaBench(s, "plain"); }
void BM_Lua_InterfaceFiveReaders(benchmark::State& s) { LuaBench(s, "readers"); }
void BM_Lua_EmptyLoop(benchmark::State& s) { LuaBench(s, "empty"); }

}  // namespace

BENCHMARK(BM_Krx_PlainNative)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_PlainNative)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Krx_InterfaceFiveReaders)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_InterfaceFiveReaders)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Krx_EmptyLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_EmptyLoop)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  return benchratios::RunWithRatios(argc, argv,
                                    {{"plain native (Lua 5.4 / KRX)", "BM_Krx_PlainNative", "BM_Lua_PlainNative"},
                                     {"interface and five readers (Lua 5.4 / KRX)", "BM_Krx_InterfaceFiveReaders",
                                      "BM_Lua_InterfaceFiveReaders"}});
}
