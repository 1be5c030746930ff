// The engine's one allocator. CMemoryMgr serves blocks of up to 64 KiB from a pool of size classes
// (no heap call for the engine's many small objects: Variant datatypes, strings, list nodes) and
// larger blocks from malloc. The global allocation operators, MEMOBJECT and tMemAllocator all end up here.
//
// Block layout on 64-bit. Every block carries a signed 32-bit header in the 4 bytes just in front of
// the caller's pointer: > 0 heap block of that many bytes, < 0 pool block of minus that many bytes,
// 0 a zero-byte block of either store. Every pointer handed out is 16-byte aligned (max_align_t),
// so the 4-byte header alone cannot sit in front of it; each block gets a 16-byte prefix instead:
//
//   pool slot:   [12 unused][header][payload of the class size]
//   heap block:  [malloc address, 8 bytes][4 unused][header][payload ...]
//
// Size classes: 32 bytes (requests of 0 to 32), then steps of 16 up to 128 and four steps per
// doubling up to 64 KiB. The pool is carved from 4 MiB chunks, each holding one class, taken from
// the heap as it grows, so it never runs out before the heap does; a request the pool cannot
// serve goes to the heap. A byte per 4 MiB of address space names each chunk's class, so Free tells
// pool from heap (and the class) by the address alone, never by the header: a zero-byte block goes
// back to its own store. A heap block records its malloc address, so over-aligned blocks share the
// same Free. Headers of blocks larger than 2 GiB hold INT32_MAX (only the statistics read them).
//
// Threads (the splash thread allocates while the main thread starts the engine, loaders run on
// workers): each thread keeps an array of free slots per size class and takes and returns batches
// of slots from and to the class's shared stack under a spin lock, so the common case takes no lock.
// Slot reuse is last-in, first-out per thread; a thread's cached slots go back to the shared stacks
// when it exits. The pool counters count slots out of the shared stacks (a thread's cached slots
// included). The statistics and the memory log have a lock of their own and cost nothing while
// logging is off, as it is in the running game.
//
// Sanitizer builds (QUILLANE_SANITIZE) keep the standard global operators, so AddressSanitizer sees
// every allocation of the program; CMemoryMgr still works and poisons the unused bytes of its slots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

// The nine counters in the order DumpMemoryStatistics reports them. The first seven move only while
// logging is on; the last two (the pool's) are always kept.
struct st_MemoryStatistics {
  long long m_blocks;          // blocks now allocated
  long long m_maxBlocks;       // most blocks allocated at once
  long long m_largestBlock;    // largest single request
  long long m_memoryUsed;      // bytes now allocated
  long long m_maximumMemory;   // most bytes allocated at once
  long long m_totalBlocks;     // allocations made in all
  long long m_bandwidth;       // bytes requested in all
  long long m_fastAlloc;       // pool slots out of the shared stacks
  long long m_maxFastAlloc;    // the most that ever were
};

class CMemoryMgr {
 public:
  static constexpr std::size_t kSmallPayload = 32;      // the smallest size class
  static constexpr std::size_t kFastPayload = 65536;    // largest request the pool serves
  static constexpr std::size_t kAlignment = 16;         // alignment of every block
  static constexpr std::size_t kChunkBytes = 4 << 20;  // the pool grows by this much

  // size usable bytes, 16-byte aligned; from the pool when size <= 64 KiB, else (or when no chunk
  // can be had) from the heap. Null (with an "ERROR:" log line) when neither can serve it.
  // file/line are tags.
  static void* Allocate(std::size_t size, const char* file, int line);
  // As Allocate, aligned to alignment (a power of two); alignments above 16 always use the heap.
  static void* AllocateAligned(std::size_t size, std::size_t alignment, const char* file, int line);
  // Returns a block of either kind to its store; null is ignored. No validation beyond that.
  static void Free(void* p, const char* file, int line);

  // True when p lies in the fast pool.
  static bool IsFastBlock(const void* p);
  // The block's header word (see the layout above).
  static int BlockHeader(const void* p);
  // Free slots of the smallest class, carved and free to this thread: its shared stack and this
  // thread's cache (0 before InitMemLog).
  static int FastFreeCount();
  // A snapshot of the counters.
  static st_MemoryStatistics GetStatistics();
  // For out-of-memory tests: n more requests are served (pool or heap, as the pool grows from the
  // heap too), then every one fails as if malloc had returned null (logged, null); a negative n
  // lifts the limit. All threads count.
  static void FailHeapAfter(long long n);
};

// Opens the pool (first call only: later calls must not hand out live slots again), resets
// the statistics, switches logging off and empties the memory log. Called first thing in main.
void InitMemLog();
// Switches logging off.
void ExitMemLog();
// Switches the statistics and the memory log on or off (diagnostics; off in the running game).
void EnableMemLog(bool on);
bool IsMemLogEnabled();
// While logging is on: stores the block in the first free log entry, or reports "MemLog overflow".
void MemLogRegister(void* p, const char* file, int line, int size);
// While logging is on: frees the first log entry for p.
void MemLogUnregister(void* p, const char* file, int line, int size);
// Frees every log entry, whatever the switch says.
void FlushMemLog();
// While logging is on: merges entries of the same file and line and reports each live one.
void DumpMemLog();
// Reports the nine counters.
void DumpMemoryStatistics();

// Base of engine objects whose allocations carry a source file and line: new ("file", line) T.
// The allocation operators return null on failure (the constructor then does not run).
class MEMOBJECT {
 public:
  static void* operator new(std::size_t size, const char* file, int line) noexcept;
  static void* operator new[](std::size_t size, const char* file, int line) noexcept;
  static void* operator new(std::size_t size) noexcept;  // tagged "unknown", -1
  static void* operator new[](std::size_t size) noexcept;
  static void* operator new(std::size_t, void* where) noexcept { return where; }
  static void operator delete(void* p, const char* file, int line) noexcept;
  static void operator delete[](void* p, const char* file, int line) noexcept;
  static void operator delete(void* p) noexcept;  // Free(p, "unknown", -1)
  static void operator delete[](void* p) noexcept;
  static void operator delete(void*, void*) noexcept {}

  MEMOBJECT() = default;
  MEMOBJECT(const MEMOBJECT&) = default;
  MEMOBJECT& operator=(const MEMOBJECT&) { return *this; }  // no data to copy
};

namespace base {

// Standard-container allocator over CMemoryMgr. Byte counts beyond 32 bits and heap failure throw
// std::bad_alloc.
template <class T>
class tMemAllocator {
 public:
  using value_type = T;

  tMemAllocator() noexcept = default;
  template <class U>
  tMemAllocator(const tMemAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    if (count > std::numeric_limits<std::uint32_t>::max() / sizeof(T)) throw std::bad_alloc();
    void* p = alignof(T) > CMemoryMgr::kAlignment
                  ? CMemoryMgr::AllocateAligned(count * sizeof(T), alignof(T), "unknown", -1)
                  : CMemoryMgr::Allocate(count * sizeof(T), "unknown", -1);
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) noexcept { CMemoryMgr::Free(p, "unknown", -1); }

  template <class U>
  bool operator==(const tMemAllocator<U>&) const noexcept { return true; }
};

}  // namespace base
