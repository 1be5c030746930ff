// The value operations the interpreter runs per instruction: int and float arithmetic through
// the operator functions, comparisons, copies onto a stack and typed stores.
#include <benchmark/benchmark.h>

#include <vector>

#include "KRX/runtime/Var.h"

namespace {

void BM_OpAddInt(benchmark::State& state) {
  KRX::Var acc(0), one(1);
  for (auto _ : state) {
    KRX::Var::OpAdd(one, acc);
    benchmark::DoNotOptimize(acc);
  }
}
BENCHMARK(BM_OpAddInt);

void BM_OpAddIntFloat(benchmark::State& state) {
  KRX::Var half(0.5f);
  for (auto _ : state) {
    KRX::Var acc(1);
    KRX::Var::OpAdd(half, acc);
    benchmark::DoNotOptimize(acc);
  }
}
BENCHMARK(BM_OpAddIntFloat);

void BM_OpLessInt(benchmark::State& state) {
  KRX::Var limit(1000);
  int i = 0;
  for (auto _ : state) {
    KRX::Var v(i++ & 2047);
    KRX::Var::OpLess(limit, v);
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_OpLessInt);

// The interpreter's "push value": a copy of the operand into a stack slot, then "eoc".
void BM_PushPopStack(benchmark::State& state) {
  std::vector<KRX::Var> stack(16);
  KRX::Var operands[4] = {KRX::Var(7), KRX::Var(2.5f), KRX::Var(true), KRX::Var()};
  operands[3].SetConstString("constant");
  for (auto _ : state) {
    for (int i = 0; i < 16; ++i) stack[i].Assign(operands[i & 3]);
    for (KRX::Var& v : stack) v.Clear();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 16);
}
BENCHMARK(BM_PushPopStack);

void BM_AssignTypedIntFromFloat(benchmark::State& state) {
  KRX::Var target;
  target.SetType(KRX::VT_INT);
  KRX::Var src(2.75f);
  for (auto _ : state) {
    target.AssignTyped(src);
    benchmark::DoNotOptimize(target);
  }
}
BENCHMARK(BM_AssignTypedIntFromFloat);

void BM_ConcatShortStrings(benchmark::State& state) {
  KRX::Var suffix("_suffix");
  for (auto _ : state) {
    KRX::Var s("prefix");
    KRX::Var::OpAdd(suffix, s);
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_ConcatShortStrings);

}  // namespace

BENCHMARK_MAIN();
