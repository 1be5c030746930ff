// The exact-size string against the growable Text and std::string: copies of short names and
// text built up piece by piece (where the exact-size growth turns quadratic).
#include <benchmark/benchmark.h>

#include <string>

#include "base/String.h"
#include "base/text/Text.h"

namespace {

void BM_CopyShortString(benchmark::State& state) {
  const base::String name("Scenes/castle_hall");
  for (auto _ : state) {
    base::String copy(name);
    benchmark::DoNotOptimize(copy.c_str());
  }
}
BENCHMARK(BM_CopyShortString);

void BM_CopyShortStdString(benchmark::State& state) {
  const std::string name("Scenes/castle_hall");
  for (auto _ : state) {
    std::string copy(name);
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(BM_CopyShortStdString);

template <class S>
void BM_BuildUp(benchmark::State& state) {
  const int pieces = static_cast<int>(state.range(0));
  for (auto _ : state) {
    S text;
    for (int i = 0; i < pieces; ++i) text += "<Node label=\"x\"/>\n";
    benchmark::DoNotOptimize(text.size());
  }
  state.SetBytesProcessed(state.iterations() * pieces * 18);
}
BENCHMARK_TEMPLATE(BM_BuildUp, base::String)->Arg(1000)->Arg(10000);
BENCHMARK_TEMPLATE(BM_BuildUp, base::Text)->Arg(1000)->Arg(10000);
BENCHMARK_TEMPLATE(BM_BuildUp, std::string)->Arg(1000)->Arg(10000);

void BM_WideFormat(benchmark::State& state) {
  for (auto _ : state) {
    base::UnicodeString row;
    row.print(u"%s %i, %s %i, %i:%i%i%s", u"Chapter", 3, u"Day", 12, 9, 0, 5, u"h");
    benchmark::DoNotOptimize(row.c_str());
  }
}
BENCHMARK(BM_WideFormat);

}  // namespace

BENCHMARK_MAIN();
