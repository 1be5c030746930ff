// The allocation path: the fast pool with its free stack, the heap path, MEMOBJECT and the global
// allocation operators. They live in one object file so that linking any of them links all.
#include "base/Memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "base/memory/MemoryState.h"
#include "base/system.h"

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
constexpr std::size_t kSlotSize = kPrefix + CMemoryMgr::kFastPayload;
constexpr std::size_t kPoolBytes = static_cast<std::size_t>(CMemoryMgr::kFastSlots) * kSlotSize;
static_assert(alignof(std::max_align_t) <= CMemoryMgr::kAlignment, "malloc alignment assumed <= 16");
static_assert(kSlotSize % CMemoryMgr::kAlignment == 0, "slots must keep payloads aligned");

// Static storage, zero until used: the pool costs no page until its slots are handed out.
alignas(64) constinit unsigned char g_pool[kPoolBytes] = {};
constinit std::int32_t g_freeStack[CMemoryMgr::kFastSlots] = {};
constinit std::int32_t g_freeCount = 0;  // 0 until InitMemLog: early blocks come from the heap
constinit std::int32_t g_fastInUse = 0;
constinit std::int32_t g_fastInUseMax = 0;
constinit bool g_poolFilled = false;
constinit cl_SpinLock g_poolLock;

std::int32_t& HeaderOf(void* payload) { return static_cast<std::int32_t*>(payload)[-1]; }

std::int32_t ClampedSize(std::size_t size) {
  return size > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(size);
}

// Each thread keeps a few free slot indices of its own, so that the common allocation and release
// take no lock: the lock is only taken to move a batch between a thread's cache and the shared
// stack. Order stays last-in, first-out per thread, and a batch taken from the shared stack hands
// out its top entry first, so fresh slots still walk down through the pool.
constexpr std::int32_t kCacheSlots = 256;
constexpr std::int32_t kBatch = 128;

struct cl_SlotCache {
  std::int32_t m_count = 0;
  bool m_closed = false;  // the thread is exiting: work on the shared stack directly
  std::int32_t m_slots[kCacheSlots] = {};

  constexpr cl_SlotCache() = default;
  ~cl_SlotCache();
};

thread_local constinit cl_SlotCache t_cache;

cl_SlotCache::~cl_SlotCache() {
  std::lock_guard<cl_SpinLock> guard(g_poolLock);
  std::memcpy(&g_freeStack[g_freeCount], m_slots, static_cast<std::size_t>(m_count) * sizeof(std::int32_t));
  g_freeCount += m_count;
  g_fastInUse -= m_count;
  m_count = 0;
  m_closed = true;  // releases made by later thread-exit code go straight to the shared stack
}

// Takes slots from the shared stack: one to hand out, and a batch below it into the cache.
bool TakeSlots(cl_SlotCache& cache, std::int32_t& index) {
  std::lock_guard<cl_SpinLock> guard(g_poolLock);
  if (g_freeCount == 0) return false;  // exhausted: the caller falls back to the heap
  const std::int32_t n = cache.m_closed ? 1 : std::min(kBatch, g_freeCount);
  g_freeCount -= n;
  std::memcpy(cache.m_slots, &g_freeStack[g_freeCount], static_cast<std::size_t>(n - 1) * sizeof(std::int32_t));
  cache.m_count = n - 1;
  index = g_freeStack[g_freeCount + n - 1];
  g_fastInUse += n;
  if (g_fastInUse > g_fastInUseMax) g_fastInUseMax = g_fastInUse;
  return true;
}

// Gives slots back to the shared stack: the older half of a full cache, or index itself for a
// thread that is exiting.
void ReturnSlots(cl_SlotCache& cache, std::int32_t index) {
  std::lock_guard<cl_SpinLock> guard(g_poolLock);
  if (cache.m_closed) {
    g_freeStack[g_freeCount++] = index;
    --g_fastInUse;
    return;
  }
  std::memcpy(&g_freeStack[g_freeCount], cache.m_slots, kBatch * sizeof(std::int32_t));
  g_freeCount += kBatch;
  g_fastInUse -= kBatch;
  std::memmove(cache.m_slots, cache.m_slots + kBatch, (kCacheSlots - kBatch) * sizeof(std::int32_t));
  cache.m_count -= kBatch;
  cache.m_slots[cache.m_count++] = index;
}

void* PopFastSlot(std::size_t size) {
  cl_SlotCache& cache = t_cache;
  std::int32_t index;
  if (cache.m_count > 0)
    index = cache.m_slots[--cache.m_count];
  else if (!TakeSlots(cache, index))
    return nullptr;
  unsigned char* slot = g_pool + static_cast<std::size_t>(index) * kSlotSize;
  unsigned char* payload = slot + kPrefix;
  slot[0] = 1;
  HeaderOf(payload) = -static_cast<std::int32_t>(size);
  POOL_UNPOISON(payload, size);
  return payload;
}

void PushFastSlot(void* p) {
  unsigned char* payload = static_cast<unsigned char*>(p);
  const std::size_t offset = static_cast<std::size_t>(payload - g_pool) - kPrefix;
  const auto index = static_cast<std::int32_t>(offset / kSlotSize);
  payload[-static_cast<std::ptrdiff_t>(kPrefix)] = 0;
  POOL_POISON(payload, CMemoryMgr::kFastPayload);
  cl_SlotCache& cache = t_cache;
  if (!cache.m_closed && cache.m_count < kCacheSlots)
    cache.m_slots[cache.m_count++] = index;
  else
    ReturnSlots(cache, index);
}

// Heap requests left before the test hook fails them; negative: no limit.
std::atomic<long long> g_heapLeft{-1};

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
  if (size > static_cast<std::size_t>(PTRDIFF_MAX) - kPrefix - slack || HeapRefused()) {
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

void* AllocateImpl(std::size_t size, std::size_t alignment, const char* file, int line) {
  void* p = nullptr;
  if (size <= CMemoryMgr::kFastPayload && alignment <= CMemoryMgr::kAlignment) p = PopFastSlot(size);
  if (!p) p = HeapAllocate(size, alignment, file, line);
  // Counted after success, so a failed request leaves the statistics as they were.
  if (p && g_logging.load(std::memory_order_relaxed)) RecordAllocation(size);
  return p;
}

}  // namespace

void InitFastPool() {
  std::lock_guard<cl_SpinLock> guard(g_poolLock);
  if (g_poolFilled) return;
  // The in-use bytes are still zero from static storage; writing them would touch all 12 MiB.
  for (std::int32_t i = 0; i < CMemoryMgr::kFastSlots; ++i) {
    g_freeStack[i] = i;
    POOL_POISON(g_pool + static_cast<std::size_t>(i) * kSlotSize + kPrefix, CMemoryMgr::kFastPayload);
  }
  g_freeCount = CMemoryMgr::kFastSlots;
  g_fastInUse = 0;
  g_fastInUseMax = 0;
  g_poolFilled = true;
}

void FastPoolCounters(long long& inUse, long long& maxInUse) {
  std::lock_guard<cl_SpinLock> guard(g_poolLock);
  inUse = g_fastInUse;
  maxInUse = g_fastInUseMax;
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
  if (g_logging.load(std::memory_order_relaxed)) {
    const long long header = HeaderOf(p);
    RecordRelease(header < 0 ? -header : header);
  }
  if (IsFastBlock(p))
    PushFastSlot(p);
  else
    HeapFree(p);
}

bool CMemoryMgr::IsFastBlock(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p) - reinterpret_cast<std::uintptr_t>(g_pool) < kPoolBytes;
}

void CMemoryMgr::FailHeapAfter(long long n) { g_heapLeft.store(n < 0 ? -1 : n, std::memory_order_relaxed); }

int CMemoryMgr::BlockHeader(const void* p) { return HeaderOf(const_cast<void*>(p)); }

int CMemoryMgr::FastFreeCount() {
  const cl_SlotCache& cache = t_cache;
  std::lock_guard<cl_SpinLock> guard(g_poolLock);
  return g_freeCount + cache.m_count;
}

// ---- MEMOBJECT ----

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

// ---- global allocation operators ----
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
