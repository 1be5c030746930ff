// The KRX interpreter against Lua 5.4 on the same small programs, each with the debugger's line
// hook off (arg 0) and on (arg 1): recursive fib(24), calls alternating between two functions,
// 10-million-step integer loops (one with an if-else inside), string building and appending, 1
// million calls of a registered native, array reads and writes, a 1-million-element array filled
// and summed; and without hook
// 1,000 threads yielding 1,000 times each, and creating 10k/20k/40k threads in batches of 1,000
// (under the interpreter's cap on live threads).
// Each KRX program runs compiled from source text by the code generator (KrxSrc), which is what
// the game runs; the first five also hand-assembled with the test assembler (Krx). At the end the
// program prints each KRX / Lua ratio of CPU time per run (below 1: KRX is faster).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <lua.hpp>
#include <map>
#include <string>
#include <vector>

#include "../BenchRatios.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/runtime/Interface.h"
#include "KRX/ScriptLoader.h"
#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "krx_asm.h"

using namespace KRX;
using krxtest::Asm;

namespace {

constexpr int kLoopSteps = 10000000;
constexpr int kStrings = 100000;
constexpr int kNativeCalls = 1000000;
constexpr int kArraySteps = 1000000;
constexpr int kArraySize = 1000;

// ---- KRX side

long g_lines = 0;
void CountLine(Thread&, Frame&) { ++g_lines; }
int Add1(int i) { return i + 1; }

// for (i = 0; i < limit; i++) { body } with i in slot `i`.
void ForLoop(Asm& a, int i, int limit, const std::function<void(Asm&)>& body) {
  static int n = 0;
  const std::string top = "top" + std::to_string(n), end = "end" + std::to_string(n);
  ++n;
  a.Line(1).Local(i).Int(0).Op(OP_ASSIGN).Eoc();
  a.Label(top).Line(1).Local(i).Int(limit).Op(OP_LESS).JumpFalse(end);
  body(a);
  a.Line(1).Local(i).Op(OP_POST_INC).Eoc().Jump(top);
  a.Label(end);
}

// The same programs as source text. Loop bodies are braced: a brace-less body gets no "eoc",
// and its leftover values would fill the stack.
const char* kKrxSource = R"(
function int fib(int n) {
  if (n < 2) return n;
  return fib(n - 1) + fib(n - 2);
}
function int loop() {
  int sum = 0;
  int i;
  for (i = 0; i < 10000000; i++) {
    sum += i;
  }
  return sum;
}
function auto strings() {
  string s;
  int i;
  for (i = 0; i < 100000; i++) {
    s = "item" + i;
  }
  return s;
}
function int natives() {
  int n = 0;
  int i;
  for (i = 0; i < 1000000; i++) {
    n = Add1(n);
  }
  return n;
}
function int arrays() {
  int a[1000];
  int i;
  for (i = 0; i < 1000000; i++) {
    a[i % 1000] = a[(i + 1) % 1000] + 1;
  }
  return a[0];
}
function int inc1(int x) { return x + 1; }
function int inc2(int x) { return x + 2; }
function int alternate() {
  int n = 0;
  int i;
  for (i = 0; i < 1000000; i++) {
    n = inc1(n);
    n = inc2(n);
  }
  return n;
}
function int modloop() {
  int s = 0;
  int i;
  for (i = 0; i < 10000000; i++) {
    s = s + i % 7;
  }
  return s;
}
function string append() {
  string s = "";
  int i;
  for (i = 0; i < 100000; i++) {
    s = s + "x";
  }
  return s;
}
function int bigarray() {
  int a[1000000];
  int i;
  int s = 0;
  for (i = 0; i < 1000000; i++) {
    a[i] = i % 100;
  }
  for (i = 0; i < 1000000; i++) {
    s = s + a[i];
  }
  return s;
}
function int branchy() {
  int s = 0;
  int i;
  for (i = 0; i < 10000000; i++) {
    if (i % 3 == 0) {
      s += i;
    } else {
      s -= 1;
    }
  }
  return s;
}
function void yielder(thread self) {
  int i;
  for (i = 0; i < 1000; i++) {
    Sleep(0);
  }
}
function void empty(thread self) {
}
function void spawn(int n, int yielding) {
  int i;
  for (i = 0; i < n; i++) {
    if (yielding) {
      ThreadCreate(yielder);
    } else {
      ThreadCreate(empty);
    }
  }
}
)";

struct KrxWorld {
  BinCode* module = nullptr;
  st_DebugHooks hooks;
  int fakeDebugger = 0;

  KrxWorld() {
    ScriptSystem::Init();
    RegisterFunction(ScriptSystem::GetModule(), "Add1", &Add1);
    module = krxtest::MakeModule("bench");
    hooks.lineHook = &CountLine;
    SetDebugHooks(&hooks);
    StringPool* vocab = krxtest::Vocab(module);

    {  // fib(n): if (n < 2) return n; return fib(n - 1) + fib(n - 2);
      Asm a(vocab);
      a.ParamCpy().Line(1).Local(0).Int(2).Op(OP_LESS).JumpFalse("else");
      a.Line(1).FuncInit().Local(0).Return();
      a.Label("else").Line(2).FuncInit();
      a.FuncInit().Local(0).Int(1).Op(OP_SUB).Global("fib").Call();
      a.FuncInit().Local(0).Int(2).Op(OP_SUB).Global("fib").Call();
      a.Op(OP_ADD).Return().Stop();
      krxtest::AddFunction(module, "fib", a.Finish(), {{"n", VT_INT, true}}, VT_INT);
    }
    {  // loop(): int sum = 0; for (i...) sum += i; return sum;
      Asm a(vocab);
      a.ParamCpy().Line(1).Local(1).Int(0).Op(OP_ASSIGN).Eoc();
      ForLoop(a, 0, kLoopSteps, [](Asm& b) { b.Line(2).Local(1).Local(0).Op(OP_ASSIGN_ADD).Eoc(); });
      a.Line(3).FuncInit().Local(1).Return().Stop();
      krxtest::AddFunction(module, "loop", a.Finish(), {{"i", VT_INT}, {"sum", VT_INT}}, VT_INT);
    }
    {  // strings(): for (i...) s = "item" + i; return s;
      Asm a(vocab);
      a.ParamCpy();
      ForLoop(a, 0, kStrings, [](Asm& b) { b.Line(2).Local(1).Str("item").Local(0).Op(OP_ADD).Op(OP_ASSIGN).Eoc(); });
      a.Line(3).FuncInit().Local(1).Return().Stop();
      krxtest::AddFunction(module, "strings", a.Finish(), {{"i", VT_INT}, {"s", VT_STRING}}, TYPE_AUTO);
    }
    {  // natives(): for (i...) n = Add1(n); return n;
      Asm a(vocab);
      a.ParamCpy().Line(1).Local(1).Int(0).Op(OP_ASSIGN).Eoc();
      ForLoop(a, 0, kNativeCalls,
              [](Asm& b) { b.Line(2).Local(1).FuncInit().Local(1).Global("Add1").Call().Op(OP_ASSIGN).Eoc(); });
      a.Line(3).FuncInit().Local(1).Return().Stop();
      krxtest::AddFunction(module, "natives", a.Finish(), {{"i", VT_INT}, {"n", VT_INT}}, VT_INT);
    }
    {  // arrays(): for (i...) a[i % 1000] = a[(i + 1) % 1000] + 1; return a[0];
      Asm a(vocab);
      a.ParamCpy();
      ForLoop(a, 0, kArraySteps, [](Asm& b) {
        b.Line(2).Local(0).Int(kArraySize).Op(OP_MOD).Element(1);
        b.Local(0).Int(1).Op(OP_ADD).Int(kArraySize).Op(OP_MOD).Element(1).Int(1).Op(OP_ADD);
        b.Op(OP_ASSIGN).Eoc();
      });
      a.Line(3).FuncInit().Int(0).Element(1).Return().Stop();
      BinCode* fn = krxtest::AddFunction(module, "arrays", a.Finish(), {{"i", VT_INT}, {"arr", VT_INT}}, VT_INT);
      fn->GetVarTable().GetVariable(1)->SetArrayType(VT_INT);
      fn->GetVarTable().GetVariable(1)->SetSize(kArraySize);
    }
    CodeUnit unit;
    unit.m_fileName = "src.krx";
    unit.m_moduleName = "src";
    unit.m_source = kKrxSource;
    compiled = Compiler::Compile(unit, nullptr);
  }
  bool compiled = false;
  ~KrxWorld() {
    SetDebugHooks(nullptr);
    ScriptSystem::Shutdown();
  }
  void Hook(bool on) {
    if (on)
      ScriptSystem::AttachDebugger(reinterpret_cast<Debugger*>(&fakeDebugger), [](Debugger*, const char*) {});
    else
      ScriptSystem::DetachDebugger();
  }
  Var Run(const char* moduleName, const char* function, const Var* args, int n) {
    tRefPtr<Thread> thread(new Thread());
    thread->m_moduleName = moduleName;
    if (!thread->Start(function, false, args, n)) return Var();
    return thread->GetReturnValue();
  }
};

void KrxRun(benchmark::State& state, const char* module, const char* function, const Var* args, int n, int expect) {
  KrxWorld world;
  if (!world.compiled) {
    state.SkipWithError("the source did not compile");
    return;
  }
  world.Hook(state.range(0) != 0);
  int result = 0;
  for (auto _ : state) {
    Var v = world.Run(module, function, args, n);
    result = v.ToInt();
    benchmark::DoNotOptimize(result);
  }
  if (expect >= 0 && result != expect) state.SkipWithError("wrong result");
  state.counters["lines"] = double(g_lines);
  g_lines = 0;
}

void KrxBench(benchmark::State& state, const char* function, const Var* args, int n, int expect) {
  KrxRun(state, "bench", function, args, n, expect);
}
void KrxSrcBench(benchmark::State& state, const char* function, const Var* args, int n, int expect) {
  KrxRun(state, "src", function, args, n, expect);
}

// Thread-creation rows create their threads in batches of this many, each batch run to its end
// before the next: well under the interpreter's cap on live threads, so both sides do the same
// work instead of KRX measuring its refusal.
constexpr int kCreateBatch = 1000;
static_assert(kCreateBatch < int(ScriptSystem::kMaxThreads));

// spawn(batch, yielding) starts a batch of threads, then the scheduler steps until every one has
// ended; repeated until n threads have run. A batch that does not start whole is an error.
void KrxThreads(benchmark::State& state, int threads, bool yielding) {
  KrxWorld world;
  if (!world.compiled) {
    state.SkipWithError("the source did not compile");
    return;
  }
  for (auto _ : state) {
    for (int done = 0; done < threads; done += kCreateBatch) {
      const int batch = std::min(kCreateBatch, threads - done);
      const Var args[2] = {Var(batch), Var(yielding ? 1 : 0)};
      world.Run("src", "spawn", args, 2);
      if (ScriptSystem::GetThreads().size() != size_t(batch)) {
        state.SkipWithError("a batch of threads did not start whole");
        return;
      }
      int steps = 0;
      while (!ScriptSystem::GetThreads().empty()) {
        ThreadList::Update(0.1f);
        ++steps;
      }
      benchmark::DoNotOptimize(steps);
    }
  }
}

// ---- Lua side

long g_luaLines = 0;
void LuaLine(lua_State*, lua_Debug*) { ++g_luaLines; }
int LuaAdd1(lua_State* L) {
  lua_pushinteger(L, luaL_checkinteger(L, 1) + 1);
  return 1;
}

const char* kLuaSource = R"(
function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end
function loop() local sum = 0 for i = 0, 10000000 - 1 do sum = sum + i end return sum end
function loopwhile() local sum, i = 0, 0 while i < 10000000 do sum = sum + i i = i + 1 end return sum end
function strings() local s for i = 0, 100000 - 1 do s = "item" .. i end return s end
function natives() local n = 0 for i = 0, 1000000 - 1 do n = add1(n) end return n end
function arrays()
  local a = {} for i = 1, 1000 do a[i] = 0 end
  for i = 0, 1000000 - 1 do a[i % 1000 + 1] = a[(i + 1) % 1000 + 1] + 1 end
  return a[1]
end
function inc1(x) return x + 1 end
function inc2(x) return x + 2 end
function alternate() local n = 0 for i = 0, 1000000 - 1 do n = inc1(n) n = inc2(n) end return n end
function modloop() local s = 0 for i = 0, 10000000 - 1 do s = s + i % 7 end return s end
function append() local s = "" for i = 0, 100000 - 1 do s = s .. "x" end return s end
function bigarray()
  local a, s = {}, 0
  for i = 0, 1000000 - 1 do a[i + 1] = i % 100 end
  for i = 0, 1000000 - 1 do s = s + a[i + 1] end
  return s
end
function branchy()
  local s = 0
  for i = 0, 10000000 - 1 do if i % 3 == 0 then s = s + i else s = s - 1 end end
  return s
end
function yielder() for i = 1, 1000 do coroutine.yield() end end
function empty() end
-- The scheduler's counterpart: every coroutine resumed once per round until all have ended.
function spawn(n, yielding)
  local body = yielding ~= 0 and yielder or empty
  local cos = {}
  for i = 1, n do cos[i] = coroutine.create(body) end
  local alive = n
  while alive > 0 do
    alive = 0
    for i = 1, n do
      local co = cos[i]
      if coroutine.status(co) ~= "dead" then coroutine.resume(co) alive = alive + 1 end
    end
  end
  return 0
end
-- Thread creation as the KRX side does it: n coroutines in batches of batch, each run out.
function spawnbatches(n, batch)
  for done = 0, n - 1, batch do spawn(math.min(batch, n - done), 0) end
  return 0
end
)";

// The hook is on when the benchmark's argument is 1 (the thread programs have no hook argument).
void LuaBench(benchmark::State& state, const char* function, int arg, long long expect, int arg2 = -1) {
  const bool hook = state.range(0) == 1 && arg2 < 0;
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  lua_register(L, "add1", &LuaAdd1);
  if (luaL_dostring(L, kLuaSource) != LUA_OK) {
    state.SkipWithError(lua_tostring(L, -1));
    lua_close(L);
    return;
  }
  if (hook) lua_sethook(L, &LuaLine, LUA_MASKLINE, 0);
  long long result = 0;
  for (auto _ : state) {
    lua_getglobal(L, function);
    int n = 0;
    if (arg >= 0) {
      lua_pushinteger(L, arg);
      n = 1;
    }
    if (arg2 >= 0) {
      lua_pushinteger(L, arg2);
      ++n;
    }
    lua_call(L, n, 1);
    result = lua_isinteger(L, -1) ? lua_tointeger(L, -1) : 0;
    lua_pop(L, 1);
    benchmark::DoNotOptimize(result);
  }
  if (expect >= 0 && result != expect) state.SkipWithError("wrong result");
  state.counters["lines"] = double(g_luaLines);
  g_luaLines = 0;
  lua_close(L);
}

const Var kFibArg(24);
constexpr int kFib24 = 46368;

void BM_Krx_Fib24(benchmark::State& s) { KrxBench(s, "fib", &kFibArg, 1, kFib24); }
void BM_Lua_Fib24(benchmark::State& s) { LuaBench(s, "fib", 24, kFib24); }
void BM_Krx_IntLoop(benchmark::State& s) { KrxBench(s, "loop", nullptr, 0, int(49999995000000LL & 0xFFFFFFFF)); }
void BM_Lua_IntLoop(benchmark::State& s) { LuaBench(s, "loop", -1, 49999995000000LL); }
// The same loop as a while loop: the shape the KRX code has (compare, branch, add, increment).
void BM_Lua_IntLoopWhile(benchmark::State& s) { LuaBench(s, "loopwhile", -1, 49999995000000LL); }
void BM_Krx_Strings(benchmark::State& s) { KrxBench(s, "strings", nullptr, 0, -1); }
void BM_Lua_Strings(benchmark::State& s) { LuaBench(s, "strings", -1, -1); }
void BM_Krx_Natives(benchmark::State& s) { KrxBench(s, "natives", nullptr, 0, kNativeCalls); }
void BM_Lua_Natives(benchmark::State& s) { LuaBench(s, "natives", -1, kNativeCalls); }
void BM_Krx_Arrays(benchmark::State& s) { KrxBench(s, "arrays", nullptr, 0, -1); }
void BM_Lua_Arrays(benchmark::State& s) { LuaBench(s, "arrays", -1, -1); }

void BM_KrxSrc_Fib24(benchmark::State& s) { KrxSrcBench(s, "fib", &kFibArg, 1, kFib24); }
void BM_KrxSrc_IntLoop(benchmark::State& s) { KrxSrcBench(s, "loop", nullptr, 0, int(49999995000000LL & 0xFFFFFFFF)); }
void BM_KrxSrc_Strings(benchmark::State& s) { KrxSrcBench(s, "strings", nullptr, 0, -1); }
void BM_KrxSrc_Natives(benchmark::State& s) { KrxSrcBench(s, "natives", nullptr, 0, kNativeCalls); }
void BM_KrxSrc_Arrays(benchmark::State& s) { KrxSrcBench(s, "arrays", nullptr, 0, 1001); }

constexpr int kAlternate = 3000000;
constexpr int kModLoop = 29999994;  // sum of i % 7 for i below 10 million
constexpr int kBigArray = 49500000;
void BM_KrxSrc_Alternate(benchmark::State& s) { KrxSrcBench(s, "alternate", nullptr, 0, kAlternate); }
void BM_Lua_Alternate(benchmark::State& s) { LuaBench(s, "alternate", -1, kAlternate); }
void BM_KrxSrc_ModLoop(benchmark::State& s) { KrxSrcBench(s, "modloop", nullptr, 0, kModLoop); }
void BM_Lua_ModLoop(benchmark::State& s) { LuaBench(s, "modloop", -1, kModLoop); }
void BM_KrxSrc_Append(benchmark::State& s) { KrxSrcBench(s, "append", nullptr, 0, -1); }
void BM_Lua_Append(benchmark::State& s) { LuaBench(s, "append", -1, -1); }
void BM_KrxSrc_BigArray(benchmark::State& s) { KrxSrcBench(s, "bigarray", nullptr, 0, kBigArray); }
// A 10-million-step loop with an if-else in its body (the sums wrap differently: not compared).
void BM_KrxSrc_Branchy(benchmark::State& s) { KrxSrcBench(s, "branchy", nullptr, 0, -1); }
void BM_Lua_Branchy(benchmark::State& s) { LuaBench(s, "branchy", -1, -1); }
void BM_Lua_BigArray(benchmark::State& s) { LuaBench(s, "bigarray", -1, kBigArray); }
// 1,000 threads x 1,000 yields: a million switches (per_switch is the time of one).
void BM_KrxSrc_Switch(benchmark::State& s) {
  KrxThreads(s, 1000, true);
  s.counters["per_switch"] = benchmark::Counter(1e6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
void BM_Lua_Switch(benchmark::State& s) {
  LuaBench(s, "spawn", 1000, 0, 1);
  s.counters["per_switch"] = benchmark::Counter(1e6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
// Creating and ending n threads: the time per thread should stay flat as n grows.
void BM_KrxSrc_Create(benchmark::State& s) { KrxThreads(s, int(s.range(0)), false); }
void BM_Lua_Create(benchmark::State& s) { LuaBench(s, "spawnbatches", int(s.range(0)), 0, kCreateBatch); }

}  // namespace

BENCHMARK(BM_Krx_Fib24)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_Fib24)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_Fib24)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Krx_IntLoop)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_IntLoop)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_IntLoop)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_IntLoopWhile)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Krx_Strings)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_Strings)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_Strings)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Krx_Natives)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_Natives)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_Natives)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Krx_Arrays)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_Arrays)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_Arrays)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_KrxSrc_Alternate)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_Alternate)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_ModLoop)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_ModLoop)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_Append)->ArgName("hook")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_Append)->ArgName("hook")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_BigArray)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_BigArray)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_Branchy)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_Branchy)->ArgName("hook")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_Switch)->ArgName("hook")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_Switch)->ArgName("hook")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrxSrc_Create)
    ->ArgName("threads_in_batches_of_1000")
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lua_Create)
    ->ArgName("threads_in_batches_of_1000")
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond);

namespace {

// A console reporter that keeps each run's CPU time per iteration by its full name, so the
// program can print the KRX ÷ Lua ratio of every pair that ran.
class cl_Ratios : public benchratios::cl_FailureReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred && r.iterations > 0) m_times[r.benchmark_name()] = r.GetAdjustedCPUTime();
    cl_FailureReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    for (const auto& [name, krx] : m_times) {
      const std::string prefix = "BM_KrxSrc_";
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      const auto lua = m_times.find("BM_Lua_" + name.substr(prefix.size()));
      if (lua != m_times.end() && lua->second > 0.0)
        std::printf("%-28s KRX / Lua 5.4 = %.2f\n", name.substr(prefix.size()).c_str(), krx / lua->second);
    }
  }

 private:
  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  cl_Ratios reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return reporter.ExitStatus();
}
