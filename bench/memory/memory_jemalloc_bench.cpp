// The allocator workloads on jemalloc, for comparison with bench_memory.
#include <jemalloc/jemalloc.h>

#include "memory_workloads.h"

namespace {

struct Jemalloc {
  static void* Alloc(std::size_t size) { return mallocx(size, 0); }
  static void Release(void* p, std::size_t) { dallocx(p, 0); }
};

// Sized release spares jemalloc the size lookup.
struct JemallocSized {
  static void* Alloc(std::size_t size) { return mallocx(size, 0); }
  static void Release(void* p, std::size_t size) { sdallocx(p, size, 0); }
};

}  // namespace

MEMORY_BENCHMARKS(Jemalloc);
MEMORY_BENCHMARKS(JemallocSized);
MEMORY_THREAD_BENCHMARKS(Jemalloc);
MEMORY_THREAD_BENCHMARKS(JemallocSized);

BENCHMARK_MAIN();
