// The allocation path: the fast pool with its free stack, the heap path, MEMOBJECT and the global
// allocation operators. They live in one object file so that linking any of them links all.
#include "base/Memory.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

#include "base/memory/MemoryState.h"
#include "base/system.h"
#include "platform/os/Pages.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUILLANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLANE_ASAN 1
#endif
#endif
#ifdef QUILLANE_ASAN
#include <sanitizer/asan_interface.h>
#define POOL_POISON(p, n) __asan_poison_memory_region((p), (n))
#define POOL_UNPOISON(p, n) __asan_unpoison_memory_region((p), (n))
#else
#define POOL_POISON(p, n) ((void)(p), (void)(n))
#define POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace base::memory_detail {
namespace {

constexpr std::size_t kPrefix = CMemoryMgr::kAlignment;  // bytes in front of every payload
static_assert(alignof(std::max_align_t) <= CMemoryMgr::kAlignment, "malloc alignment assumed <= 16");

// ---- size classes
constexpr std::uint32_t kClassPayload[] = {32,    48,    64,    80,    96,    112,   128,   160,   192,   224,   256,
                                           320,   384,   448,   512,   640,   768,   896,   1024,  1280,  1536,  1792,
                                           2048,  2560,  3072,  3584,  4096,  5120,  6144,  7168,  8192,  10240, 12288,
                                           14336, 16384, 20480, 24576, 28672, 32768, 40960, 49152, 57344, 65536};
constexpr int kClasses = static_cast<int>(std::size(kClassPayload));
static_assert(kClassPayload[0] == CMemoryMgr::kSmallPayload && kClassPayload[kClasses - 1] == CMemoryMgr::kFastPayload);

constexpr std::size_t SlotBytes(int c) { return kPrefix + kClassPayload[c]; }

// A thread keeps up to this many free slots of a class (about 128 KiB, at least two), so that the
// usual working sets of a frame or a load never touch the shared stacks; it moves half as many at
// a time.
constexpr std::int32_t CacheLimit(int c) {
  const auto n = static_cast<std::int32_t>((128 << 10) / SlotBytes(c));
  return n > 2048 ? 2048 : n < 2 ? 2 : n;
}
constexpr std::int32_t BatchSlots(int c) { return CacheLimit(c) / 2; }

// Class of a request, by (size + 15) / 16.
struct st_ClassTable {
  std::uint8_t m_class[CMemoryMgr::kFastPayload / 16 + 1] = {};
  constexpr st_ClassTable() {
    int c = 0;
    for (std::size_t i = 0; i < std::size(m_class); ++i) {
      while (kClassPayload[c] < i * 16) ++c;
      m_class[i] = static_cast<std::uint8_t>(c);
    }
  }
};
constexpr st_ClassTable kClassOf;

std::int32_t& HeaderOf(void* payload) { return static_cast<std::int32_t*>(payload)[-1]; }

std::int32_t ClampedSize(std::size_t size) {
  return size > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(size);
}

// ---- chunks
// Each 4 MiB chunk holds slots of one class. One byte per 4 MiB of the 47-bit user address space
// names the class of the chunk there (class + 1; 0: not the pool), so Free learns both the store
// and the class from the address alone, without reading the block. The 32 MiB table is mapped with
// the first chunk, and only the pages for addresses in use are ever touched. In static storage a
// leak checker would read all of it at every exit, about 0.15 s per process.
constexpr int kChunkShift = 22;
static_assert(std::size_t{1} << kChunkShift == CMemoryMgr::kChunkBytes);
constexpr std::size_t kMapEntries = std::size_t{1} << (47 - kChunkShift);
// Plain bytes reached through atomic_ref; null until the first chunk.
constinit std::atomic<std::uint8_t*> g_chunkClass{nullptr};

// Chunks are never returned; the table keeps them reachable for leak checkers and caps the pool.
constexpr int kMaxChunks = 4096;  // 16 GiB
constinit unsigned char* g_chunks[kMaxChunks] = {};
constinit int g_chunkCount = 0;
constinit cl_SpinLock g_chunkLock;
constinit std::atomic<bool> g_poolOpen{false};  // set by InitMemLog: early blocks come from the heap

// Class of the chunk holding address, or -1 outside the pool.
inline int ChunkClass(const void* p) {
  const std::uintptr_t entry = reinterpret_cast<std::uintptr_t>(p) >> kChunkShift;
  // Relaxed: whoever frees a pool block got it after its chunk, and so the table, was published.
  std::uint8_t* const map = g_chunkClass.load(std::memory_order_relaxed);
  if (entry >= kMapEntries || !map) [[unlikely]] return -1;
  return std::atomic_ref<std::uint8_t>(map[entry]).load(std::memory_order_relaxed) - 1;
}

// A fresh chunk for class c from the heap; null when the heap or the chunk table is exhausted.
unsigned char* NewChunk(int c) {
  std::lock_guard<cl_SpinLock> guard(g_chunkLock);
  if (g_chunkCount == kMaxChunks) return nullptr;
  std::uint8_t* map = g_chunkClass.load(std::memory_order_relaxed);
  if (!map) {
    map = static_cast<std::uint8_t*>(platform::os::MapZeroedPages(kMapEntries));
    if (!map) return nullptr;
    g_chunkClass.store(map, std::memory_order_release);
  }
  auto* chunk = static_cast<unsigned char*>(std::aligned_alloc(CMemoryMgr::kChunkBytes, CMemoryMgr::kChunkBytes));
  if (!chunk) return nullptr;
  const std::uintptr_t entry = reinterpret_cast<std::uintptr_t>(chunk) >> kChunkShift;
  if (entry >= kMapEntries) {
    std::free(chunk);
    return nullptr;
  }
  g_chunks[g_chunkCount++] = chunk;
  POOL_POISON(chunk, CMemoryMgr::kChunkBytes);
  std::atomic_ref<std::uint8_t>(map[entry]).store(static_cast<std::uint8_t>(c + 1), std::memory_order_relaxed);
  return chunk;
}

// ---- shared stacks
// Each class keeps a stack of batches: arrays of free slots (payload addresses) that threads hand
// back whole. Emptied batches are kept for reuse. A batch holds up to BatchSlots(c) slots.
struct st_Batch {
  st_Batch* m_next;
  std::int32_t m_count;
  unsigned char* m_slots[1];  // BatchSlots(c) in truth
};

st_Batch* NewBatch(int c) {
  void* memory = std::malloc(sizeof(st_Batch) + sizeof(unsigned char*) * static_cast<std::size_t>(BatchSlots(c) - 1));
  return static_cast<st_Batch*>(memory);
}

struct alignas(64) st_SharedClass {
  cl_SpinLock m_lock;
  st_Batch* m_full = nullptr;   // batches holding free slots; only the top one may be partly filled
  st_Batch* m_spare = nullptr;  // empty batches
  std::int32_t m_freeSlots = 0;
  unsigned char* m_carve = nullptr;  // the next uncarved slot of the class's newest chunk
  unsigned char* m_carveEnd = nullptr;
};
constinit st_SharedClass g_shared[kClasses];

// Slots out of the shared stacks (in threads' caches or handed out), and the most there ever were.
constinit std::atomic<long long> g_fastInUse{0};
constinit std::atomic<long long> g_fastInUseMax{0};

void CountOut(long long n) {
  const long long now = g_fastInUse.fetch_add(n, std::memory_order_relaxed) + n;
  long long max = g_fastInUseMax.load(std::memory_order_relaxed);
  while (now > max && !g_fastInUseMax.compare_exchange_weak(max, now, std::memory_order_relaxed)) {
  }
}

// Hands n slots back to class c's shared stack as one batch. False (nothing moved) only when no
// batch can be had from the heap.
bool PushSlots(int c, unsigned char* const* slots, std::int32_t n) {
  st_SharedClass& shared = g_shared[c];
  std::lock_guard<cl_SpinLock> guard(shared.m_lock);
  st_Batch* batch = shared.m_full;
  if (!batch || batch->m_count + n > BatchSlots(c)) {
    batch = shared.m_spare;
    if (batch)
      shared.m_spare = batch->m_next;
    else if (!(batch = NewBatch(c)))
      return false;
    batch->m_count = 0;
    batch->m_next = shared.m_full;
    shared.m_full = batch;
  }
  std::memcpy(&batch->m_slots[batch->m_count], slots, static_cast<std::size_t>(n) * sizeof *slots);
  batch->m_count += n;
  shared.m_freeSlots += n;
  g_fastInUse.fetch_sub(n, std::memory_order_relaxed);
  return true;
}

// Fills out with up to max slots of class c: the top batch of the shared stack, else slots carved
// from the class's chunk (in address order, the lowest handed out first). Returns the count; 0
// when the pool cannot grow.
std::int32_t TakeSlots(int c, unsigned char** out, std::int32_t max) {
  st_SharedClass& shared = g_shared[c];
  std::int32_t n = 0;
  {
    std::lock_guard<cl_SpinLock> guard(shared.m_lock);
    if (st_Batch* batch = shared.m_full) {
      n = batch->m_count < max ? batch->m_count : max;
      batch->m_count -= n;
      std::memcpy(out, &batch->m_slots[batch->m_count], static_cast<std::size_t>(n) * sizeof *out);
      shared.m_freeSlots -= n;
      if (batch->m_count == 0) {
        shared.m_full = batch->m_next;
        batch->m_next = shared.m_spare;
        shared.m_spare = batch;
      }
    } else {
      const std::size_t bytes = SlotBytes(c);
      if (static_cast<std::size_t>(shared.m_carveEnd - shared.m_carve) < bytes) {
        unsigned char* chunk = NewChunk(c);
        if (!chunk) return 0;
        shared.m_carve = chunk;
        shared.m_carveEnd = chunk + CMemoryMgr::kChunkBytes;
      }
      const auto room = static_cast<std::int32_t>(static_cast<std::size_t>(shared.m_carveEnd - shared.m_carve) / bytes);
      n = max < room ? max : room;
      // Carving writes nothing into the slots: their pages stay untouched until handed out.
      for (std::int32_t i = n - 1; i >= 0; --i, shared.m_carve += bytes) {
        POOL_UNPOISON(shared.m_carve, kPrefix);  // prefixes stay addressable, payloads do not
        out[i] = shared.m_carve + kPrefix;
      }
    }
  }
  CountOut(n);
  return n;
}

// ---- thread caches
// A thread's free slots, an array per class (allocated on first use), so that taking one is an
// array pop that reads nothing of the slot itself. The cache is trivially destructible, so the
// allocation path reaches it without a guard; t_cacheOwner, touched only when a thread first takes
// slots, hands the slots back when the thread exits. After that the arrays are gone and every
// request of the exiting thread works on the shared stacks directly.
struct st_SlotCache {
  unsigned char** m_slots = nullptr;
  std::int32_t m_count = 0;
  std::int32_t m_capacity = 0;  // 0 until the array exists, and again once the thread exits
};

struct st_ThreadCache {
  st_SlotCache m_lists[kClasses];
  bool m_closed = false;
};
thread_local constinit st_ThreadCache t_cache;

struct cl_CacheOwner {
  bool m_armed = false;
  ~cl_CacheOwner();
};
thread_local constinit cl_CacheOwner t_cacheOwner;

cl_CacheOwner::~cl_CacheOwner() {
  t_cache.m_closed = true;
  for (int c = 0; c < kClasses; ++c) {
    st_SlotCache& list = t_cache.m_lists[c];
    for (std::int32_t done = 0; done < list.m_count;) {
      const std::int32_t n = std::min(list.m_count - done, BatchSlots(c));
      if (!PushSlots(c, list.m_slots + done, n)) break;  // no batch to be had: the slots stay lost
      done += n;
    }
    std::free(list.m_slots);
    list = {};
  }
}

// Makes class c's array for this thread; false for a thread that is exiting or when the heap
// refuses the array.
bool OpenList(int c) {
  st_SlotCache& list = t_cache.m_lists[c];
  if (t_cache.m_closed) return false;
  if (list.m_capacity > 0) return true;
  list.m_slots =
      static_cast<unsigned char**>(std::malloc(sizeof(unsigned char*) * static_cast<std::size_t>(CacheLimit(c))));
  if (!list.m_slots) return false;
  list.m_capacity = CacheLimit(c);
  t_cacheOwner.m_armed = true;  // registers the hand-back at thread exit
  return true;
}

void* HandOut(unsigned char* p, std::size_t size) {
  HeaderOf(p) = -static_cast<std::int32_t>(size);
  POOL_UNPOISON(p, size);
  return p;
}

[[gnu::noinline]] void* PopSlotSlow(int c, std::size_t size) {
  if (!g_poolOpen.load(std::memory_order_acquire)) return nullptr;
  if (!OpenList(c)) {
    unsigned char* p;
    return TakeSlots(c, &p, 1) == 1 ? HandOut(p, size) : nullptr;
  }
  st_SlotCache& list = t_cache.m_lists[c];
  list.m_count = TakeSlots(c, list.m_slots, BatchSlots(c));
  if (list.m_count == 0) return nullptr;
  return HandOut(list.m_slots[--list.m_count], size);
}

inline void* PopSlot(std::size_t size) {
  const int c = kClassOf.m_class[(size + 15) / 16];
  st_SlotCache& list = t_cache.m_lists[c];
  if (list.m_count == 0) [[unlikely]]
    return PopSlotSlow(c, size);
  return HandOut(list.m_slots[--list.m_count], size);
}

// A full list hands its older half back; an exiting thread hands each slot back on its own.
[[gnu::noinline]] void PushSlotSlow(int c, unsigned char* p) {
  if (OpenList(c)) {
    st_SlotCache& list = t_cache.m_lists[c];
    if (list.m_count == list.m_capacity) {
      const std::int32_t half = BatchSlots(c);
      if (PushSlots(c, list.m_slots, half)) {
        std::memmove(list.m_slots, list.m_slots + half,
                     static_cast<std::size_t>(list.m_count - half) * sizeof *list.m_slots);
        list.m_count -= half;
      }
    }
    if (list.m_count < list.m_capacity) {
      list.m_slots[list.m_count++] = p;
      return;
    }
  }
  PushSlots(c, &p, 1);  // when even this fails the slot is lost, never handed out twice
}

inline void PushSlot(int c, void* block) {
  auto* p = static_cast<unsigned char*>(block);
  POOL_POISON(p, kClassPayload[c]);
  __builtin_prefetch(p - 4, 1, 3);
  st_SlotCache& list = t_cache.m_lists[c];
  if (list.m_count == list.m_capacity) [[unlikely]]
    return PushSlotSlow(c, p);
  list.m_slots[list.m_count++] = p;
}

// Requests left before the test hook fails them; negative: no limit.
constinit std::atomic<long long> g_heapLeft{-1};
// Set while logging or the test limit is on: every request then takes the slow path.
constinit std::atomic<bool> g_slowPath{false};

// Counts one request against the limit; true when it must fail. Out of line: only tests set one.
[[gnu::noinline, gnu::cold]] bool HeapLimitReached() {
  long long left = g_heapLeft.load(std::memory_order_relaxed);
  while (left > 0 && !g_heapLeft.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
  }
  return left == 0;
}

inline bool HeapRefused() { return g_heapLeft.load(std::memory_order_relaxed) >= 0 && HeapLimitReached(); }

// malloc'd block with a 16-byte prefix: [malloc address][unused][header][payload].
void* HeapAllocate(std::size_t size, std::size_t alignment, const char* file, int line) {
  const std::size_t slack = alignment > kPrefix ? alignment - 1 : 0;
  if (size > static_cast<std::size_t>(PTRDIFF_MAX) - kPrefix - slack) {
    base::sys::Output("ERROR: out of memory: %zu bytes requested at %s(%d)\n", size, file ? file : "?", line);
    return nullptr;
  }
  void* raw = std::malloc(size + kPrefix + slack);
  if (!raw) {
    base::sys::Output("ERROR: out of memory: %zu bytes requested at %s(%d)\n", size, file ? file : "?", line);
    return nullptr;
  }
  auto address = reinterpret_cast<std::uintptr_t>(raw) + kPrefix;
  if (slack) address = (address + alignment - 1) & ~(static_cast<std::uintptr_t>(alignment) - 1);
  void* payload = reinterpret_cast<void*>(address);
  std::memcpy(static_cast<unsigned char*>(payload) - kPrefix, &raw, sizeof raw);
  HeaderOf(payload) = ClampedSize(size);
  return payload;
}

void HeapFree(void* payload) {
  void* raw;
  std::memcpy(&raw, static_cast<unsigned char*>(payload) - kPrefix, sizeof raw);
  std::free(raw);
}

// Requests the fast path does not finish: the test limit, an empty pool, the heap path, logging.
[[gnu::noinline]] void* AllocateSlow(std::size_t size, std::size_t alignment, const char* file, int line) {
  void* p = nullptr;
  if (HeapRefused()) {
    base::sys::Output("ERROR: out of memory: %zu bytes requested at %s(%d)\n", size, file ? file : "?", line);
    return nullptr;
  }
  if (size <= CMemoryMgr::kFastPayload && alignment <= CMemoryMgr::kAlignment) p = PopSlot(size);
  if (!p) p = HeapAllocate(size, alignment, file, line);
  // Counted after success, so a failed request leaves the statistics as they were.
  if (p && g_logging.load(std::memory_order_relaxed)) RecordAllocation(size);
  return p;
}

// The common case, a slot from this thread's cache, needs no stack frame: everything else is a
// tail call to AllocateSlow.
inline void* AllocateImpl(std::size_t size, std::size_t alignment, const char* file, int line) {
  if (size <= CMemoryMgr::kFastPayload && alignment <= CMemoryMgr::kAlignment &&
      !g_slowPath.load(std::memory_order_relaxed)) [[likely]] {
    st_SlotCache& list = t_cache.m_lists[kClassOf.m_class[(size + 15) / 16]];
    if (list.m_count > 0) [[likely]]
      return HandOut(list.m_slots[--list.m_count], size);
  }
  return AllocateSlow(size, alignment, file, line);
}

// Logging and heap blocks; out of line so that the common case needs no stack frame.
[[gnu::noinline]] void FreeSlow(void* p) {
  if (g_logging.load(std::memory_order_relaxed)) {
    const long long header = HeaderOf(p);
    RecordRelease(header < 0 ? -header : header);
  }
  const int c = ChunkClass(p);
  if (c >= 0)
    PushSlot(c, p);
  else
    HeapFree(p);
}

}  // namespace

void InitFastPool() { g_poolOpen.store(true, std::memory_order_release); }

void FastPoolCounters(long long& inUse, long long& maxInUse) {
  inUse = g_fastInUse.load(std::memory_order_relaxed);
  maxInUse = g_fastInUseMax.load(std::memory_order_relaxed);
}

void UpdateSlowPath() {
  g_slowPath.store(g_logging.load(std::memory_order_relaxed) || g_heapLeft.load(std::memory_order_relaxed) >= 0,
                   std::memory_order_relaxed);
}

}  // namespace base::memory_detail

using namespace base::memory_detail;

void* CMemoryMgr::Allocate(std::size_t size, const char* file, int line) {
  return AllocateImpl(size, kAlignment, file, line);
}

void* CMemoryMgr::AllocateAligned(std::size_t size, std::size_t alignment, const char* file, int line) {
  if (alignment == 0 || (alignment & (alignment - 1)) != 0) {
    base::sys::Output("ERROR: CMemoryMgr: alignment %zu is not a power of two (%s(%d))\n", alignment,
                      file ? file : "?", line);
    return nullptr;
  }
  return AllocateImpl(size, alignment, file, line);
}

void CMemoryMgr::Free(void* p, const char*, int) {
  if (!p) return;
  const int c = ChunkClass(p);
  if (c < 0 || g_logging.load(std::memory_order_relaxed)) [[unlikely]]
    return FreeSlow(p);
  PushSlot(c, p);
}

bool CMemoryMgr::IsFastBlock(const void* p) { return ChunkClass(p) >= 0; }

void CMemoryMgr::FailHeapAfter(long long n) {
  g_heapLeft.store(n < 0 ? -1 : n, std::memory_order_relaxed);
  UpdateSlowPath();
}

int CMemoryMgr::BlockHeader(const void* p) { return HeaderOf(const_cast<void*>(p)); }

int CMemoryMgr::FastFreeCount() {
  const st_SlotCache& list = t_cache.m_lists[0];
  st_SharedClass& shared = g_shared[0];
  std::lock_guard<cl_SpinLock> guard(shared.m_lock);
  return shared.m_freeSlots + (t_cache.m_closed ? 0 : list.m_count);
}

// ---- MEMOBJECT

void* MEMOBJECT::operator new(std::size_t size, const char* file, int line) noexcept {
  return CMemoryMgr::Allocate(size, file, line);
}
void* MEMOBJECT::operator new[](std::size_t size, const char* file, int line) noexcept {
  return CMemoryMgr::Allocate(size, file, line);
}
void* MEMOBJECT::operator new(std::size_t size) noexcept { return CMemoryMgr::Allocate(size, "unknown", -1); }
void* MEMOBJECT::operator new[](std::size_t size) noexcept { return CMemoryMgr::Allocate(size, "unknown", -1); }
void MEMOBJECT::operator delete(void* p, const char* file, int line) noexcept { CMemoryMgr::Free(p, file, line); }
void MEMOBJECT::operator delete[](void* p, const char* file, int line) noexcept { CMemoryMgr::Free(p, file, line); }
void MEMOBJECT::operator delete(void* p) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void MEMOBJECT::operator delete[](void* p) noexcept { CMemoryMgr::Free(p, "unknown", -1); }

// ---- global allocation operators
// Sanitizer builds keep the runtime's own, so that AddressSanitizer tracks every allocation.
#ifndef QUILLANE_SANITIZE

namespace {

void* NewOrThrow(std::size_t size, std::size_t alignment) {
  for (;;) {
    if (void* p = AllocateImpl(size, alignment, "unknown", -1)) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* NewOrNull(std::size_t size, std::size_t alignment) noexcept {
  try {
    return NewOrThrow(size, alignment);
  } catch (...) {
    return nullptr;
  }
}

std::size_t Align(std::align_val_t alignment) {
  const auto a = static_cast<std::size_t>(alignment);
  return a < CMemoryMgr::kAlignment ? CMemoryMgr::kAlignment : a;
}

}  // namespace

void* operator new(std::size_t size) { return NewOrThrow(size, CMemoryMgr::kAlignment); }
void* operator new[](std::size_t size) { return NewOrThrow(size, CMemoryMgr::kAlignment); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return NewOrNull(size, CMemoryMgr::kAlignment); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return NewOrNull(size, CMemoryMgr::kAlignment); }
void* operator new(std::size_t size, std::align_val_t a) { return NewOrThrow(size, Align(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return NewOrThrow(size, Align(a)); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept { return NewOrNull(size, Align(a)); }
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept { return NewOrNull(size, Align(a)); }

void operator delete(void* p) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete[](void* p) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete(void* p, std::size_t) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete[](void* p, std::size_t) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete(void* p, const std::nothrow_t&) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete(void* p, std::align_val_t) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete[](void* p, std::align_val_t) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { CMemoryMgr::Free(p, "unknown", -1); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { CMemoryMgr::Free(p, "unknown", -1); }

#endif  // QUILLANE_SANITIZE
