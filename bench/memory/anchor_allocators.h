// mimalloc and jemalloc, loaded at run time for the allocator benchmark. Both libraries export
// malloc and free; linked normally, the first one would serve every malloc of the process.
#pragma once

#include <cstddef>

namespace memory_bench {

struct st_AnchorFunctions {
  void* (*m_alloc)(std::size_t) = nullptr;
  void (*m_free)(void*) = nullptr;
  void (*m_sizedFree)(void*, std::size_t, int) = nullptr;  // jemalloc's sdallocx; null elsewhere
};

// Re-executes the program once with enough static TLS space for jemalloc, which cannot be loaded
// with dlopen otherwise. Call first thing in main; returns when no re-execution is needed.
void EnsureTlsForAnchors(char** argv);
// The anchors' entry points, or all null (with a note on stderr) when a library is missing.
const st_AnchorFunctions& Mimalloc();
const st_AnchorFunctions& Jemalloc();

}  // namespace memory_bench
