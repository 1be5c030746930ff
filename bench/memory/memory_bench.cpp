// CMemoryMgr against glibc malloc on small blocks in three release orders and a mixed-size load.
#include <cstdlib>

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

}  // namespace

MEMORY_BENCHMARKS(MemoryMgr);
MEMORY_BENCHMARKS(GlibcMalloc);
MEMORY_THREAD_BENCHMARKS(MemoryMgr);
MEMORY_THREAD_BENCHMARKS(GlibcMalloc);

int main(int argc, char** argv) {
  InitMemLog();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
