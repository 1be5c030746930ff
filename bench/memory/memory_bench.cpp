// CMemoryMgr against glibc malloc, mimalloc and jemalloc on small blocks in three release orders,
// a mixed-size load and two threads; ends with a table of the engine's ratio to each anchor.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "anchor_allocators.h"
#include "base/Memory.h"
#include "memory_workloads.h"

namespace {

struct MemoryMgr {
  static void* Alloc(std::size_t size) { return CMemoryMgr::Allocate(size, __FILE__, __LINE__); }
  static void Release(void* p, std::size_t) { CMemoryMgr::Free(p, __FILE__, __LINE__); }
};

struct GlibcMalloc {
  static void* Alloc(std::size_t size) { return std::malloc(size); }
  static void Release(void* p, std::size_t) { std::free(p); }
};

struct Mimalloc {
  static void* Alloc(std::size_t size) { return memory_bench::Mimalloc().m_alloc(size); }
  static void Release(void* p, std::size_t) { memory_bench::Mimalloc().m_free(p); }
};

struct Jemalloc {
  static void* Alloc(std::size_t size) { return memory_bench::Jemalloc().m_alloc(size); }
  static void Release(void* p, std::size_t) { memory_bench::Jemalloc().m_free(p); }
};

// Sized release spares jemalloc the size lookup.
struct JemallocSized {
  static void* Alloc(std::size_t size) { return memory_bench::Jemalloc().m_alloc(size); }
  static void Release(void* p, std::size_t size) { memory_bench::Jemalloc().m_sizedFree(p, size, 0); }
};

// Keeps every run's rate so that the ratio table can be printed at the end.
class cl_RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto it = run.counters.find("items_per_second");
      if (it != run.counters.end()) m_rates[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    const char* workloads[] = {"Lifo/1000",     "Fifo/1000", "Random/1000",
                               "Random/100000", "Mixed",     "Random/1000/threads:2"};
    const char* anchors[] = {"Mimalloc", "Jemalloc", "JemallocSized", "GlibcMalloc"};
    std::printf("\n| workload | MemoryMgr M/s |");
    for (const char* a : anchors) std::printf(" %s M/s | ratio |", a);
    std::printf("\n|---|---|");
    for (std::size_t i = 0; i < std::size(anchors); ++i) std::printf("---|---|");
    std::printf("\n");
    for (const char* w : workloads) {
      const double ours = Rate("MemoryMgr", w);
      if (ours <= 0) continue;
      std::printf("| %s | %.1f |", w, ours / 1e6);
      for (const char* a : anchors) {
        const double theirs = Rate(a, w);
        if (theirs > 0)
          std::printf(" %.1f | %.2f |", theirs / 1e6, ours / theirs);
        else
          std::printf(" – | – |");
      }
      std::printf("\n");
    }
  }

 private:
  // The median when the runs were repeated (--benchmark_repetitions), else the one run.
  double Rate(const std::string& allocator, const std::string& workload) const {
    auto it = m_rates.find(allocator + "/" + workload + "_median");
    if (it == m_rates.end()) it = m_rates.find(allocator + "/" + workload);
    return it == m_rates.end() ? 0.0 : it->second;
  }

  std::map<std::string, double> m_rates;
};

}  // namespace

int main(int argc, char** argv) {
  memory_bench::EnsureTlsForAnchors(argv);
  InitMemLog();
  const bool haveMimalloc = memory_bench::Mimalloc().m_alloc != nullptr;
  const bool haveJemalloc = memory_bench::Jemalloc().m_alloc != nullptr;
  MEMORY_BENCHMARKS(MemoryMgr);
  if (haveMimalloc) MEMORY_BENCHMARKS(Mimalloc);
  if (haveJemalloc) MEMORY_BENCHMARKS(Jemalloc);
  if (haveJemalloc && memory_bench::Jemalloc().m_sizedFree) MEMORY_BENCHMARKS(JemallocSized);
  MEMORY_BENCHMARKS(GlibcMalloc);
  MEMORY_THREAD_BENCHMARKS(MemoryMgr);
  if (haveMimalloc) MEMORY_THREAD_BENCHMARKS(Mimalloc);
  if (haveJemalloc) MEMORY_THREAD_BENCHMARKS(Jemalloc);
  if (haveJemalloc && memory_bench::Jemalloc().m_sizedFree) MEMORY_THREAD_BENCHMARKS(JemallocSized);
  MEMORY_THREAD_BENCHMARKS(GlibcMalloc);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cl_RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
