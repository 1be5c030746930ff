// Private to the memory manager's own files: the spin lock and the state the allocation path and
// the diagnostics layer share.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>

namespace base::memory_detail {

inline void CpuRelax() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// A test-and-test-and-set lock. It never allocates, so the allocator can take it; it yields after
// a short spin because the holder may be a preempted thread on a busy core.
class cl_SpinLock {
 public:
  void lock() noexcept {
    for (;;) {
      if (!m_locked.exchange(true, std::memory_order_acquire)) return;
      for (int spins = 0; m_locked.load(std::memory_order_relaxed); ++spins) {
        if (spins < 64)
          CpuRelax();
        else
          std::this_thread::yield();
      }
    }
  }
  void unlock() noexcept { m_locked.store(false, std::memory_order_release); }

 private:
  std::atomic<bool> m_locked{false};
};

// Logging switch, read on every allocation without a lock.
extern std::atomic<bool> g_logging;

// Statistics and pool hooks, both defined next to the code that owns the data.
void RecordAllocation(std::size_t size);
void RecordRelease(long long size);
void ResetStatistics();
void InitFastPool();
void FastPoolCounters(long long& inUse, long long& maxInUse);
// Call after g_logging changes: sends every request through the slow path while logging is on.
void UpdateSlowPath();

}  // namespace base::memory_detail
