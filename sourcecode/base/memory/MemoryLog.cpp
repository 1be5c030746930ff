// The memory manager's diagnostics: statistics, the log of live blocks and their reports. Switched
// off in the running game; a debugging session turns it on with EnableMemLog.
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Memory.h"
#include "base/memory/MemoryState.h"
#include "base/system.h"

namespace base::memory_detail {

constinit std::atomic<bool> g_logging{false};

namespace {

constexpr int kLogEntries = 0x20000;

struct st_MemLogEntry {
  void* m_block;  // null: entry free
  const char* m_file;
  int m_line;
  int m_size;  // negative for a pool block, as in the header
  int m_repeat;
};

constinit cl_SpinLock g_statsLock;
constinit st_MemoryStatistics g_stats = {};

// The log. m_firstFree never passes a free entry and m_end bounds the used part, so registering
// and unregistering stay short while only a few blocks are logged.
constinit cl_SpinLock g_logLock;
constinit st_MemLogEntry g_log[kLogEntries] = {};
constinit int g_firstFree = 0;
constinit int g_end = 0;

void ClearLog() {
  // Entries past g_end were never used; leaving them alone keeps the 4 MiB table untouched.
  std::memset(g_log, 0, static_cast<std::size_t>(g_end) * sizeof g_log[0]);
  g_firstFree = 0;
  g_end = 0;
}

// Where the reports meant for the debugger go. base::sys::Output hands the text to the log
// callbacks first, so the reports reach log files too.
void DebuggerText(const char* text) { base::sys::DebuggerOutput(text); }

}  // namespace

void RecordAllocation(std::size_t size) {
  const long long bytes = static_cast<long long>(size);
  std::lock_guard<cl_SpinLock> guard(g_statsLock);
  g_stats.m_totalBlocks += 1;
  g_stats.m_bandwidth += bytes;
  if (++g_stats.m_blocks > g_stats.m_maxBlocks) g_stats.m_maxBlocks = g_stats.m_blocks;
  if (bytes > g_stats.m_largestBlock) g_stats.m_largestBlock = bytes;
  g_stats.m_memoryUsed += bytes;
  if (g_stats.m_memoryUsed > g_stats.m_maximumMemory) g_stats.m_maximumMemory = g_stats.m_memoryUsed;
}

void RecordRelease(long long size) {
  std::lock_guard<cl_SpinLock> guard(g_statsLock);
  g_stats.m_blocks -= 1;
  g_stats.m_memoryUsed -= size;
}

void ResetStatistics() {
  std::lock_guard<cl_SpinLock> guard(g_statsLock);
  g_stats = {};
}

}  // namespace base::memory_detail

using namespace base::memory_detail;

st_MemoryStatistics CMemoryMgr::GetStatistics() {
  st_MemoryStatistics result;
  {
    std::lock_guard<cl_SpinLock> guard(g_statsLock);
    result = g_stats;
  }
  FastPoolCounters(result.m_fastAlloc, result.m_maxFastAlloc);
  return result;
}

void InitMemLog() {
  InitFastPool();
  g_logging.store(false);
  UpdateSlowPath();
  ResetStatistics();
  std::lock_guard<cl_SpinLock> guard(g_logLock);
  ClearLog();
}

void ExitMemLog() {
  g_logging.store(false);
  UpdateSlowPath();
}

void EnableMemLog(bool on) {
  g_logging.store(on);
  UpdateSlowPath();
}

bool IsMemLogEnabled() { return g_logging.load(); }

void MemLogRegister(void* p, const char* file, int line, int size) {
  if (!g_logging.load(std::memory_order_relaxed)) return;
  {
    std::lock_guard<cl_SpinLock> guard(g_logLock);
    int i = g_firstFree;
    while (i < kLogEntries && g_log[i].m_block) ++i;
    if (i < kLogEntries) {
      g_log[i] = {p, file ? file : "unknown", line, size, 1};
      g_firstFree = i + 1;
      if (i >= g_end) g_end = i + 1;
      return;
    }
    g_firstFree = kLogEntries;
  }
  base::sys::Output("MemLog overflow\n");
}

void MemLogUnregister(void* p, const char*, int, int) {
  if (!g_logging.load(std::memory_order_relaxed) || !p) return;
  std::lock_guard<cl_SpinLock> guard(g_logLock);
  for (int i = 0; i < g_end; ++i) {
    if (g_log[i].m_block == p) {
      g_log[i].m_block = nullptr;
      if (i < g_firstFree) g_firstFree = i;
      return;
    }
  }
}

void FlushMemLog() {
  std::lock_guard<cl_SpinLock> guard(g_logLock);
  ClearLog();
}

void DumpMemLog() {
  if (!g_logging.load()) return;
  std::vector<st_MemLogEntry> live;
  {
    std::lock_guard<cl_SpinLock> guard(g_logLock);
    // Condense: the first entry of each file and line counts the later ones, which leave the log.
    // The last table position takes part in no comparison.
    struct Key {
      std::string_view file;
      int line;
      bool operator==(const Key&) const = default;
    };
    struct KeyHash {
      std::size_t operator()(const Key& k) const noexcept {
        return std::hash<std::string_view>()(k.file) * 31u + static_cast<std::size_t>(k.line);
      }
    };
    std::unordered_map<Key, int, KeyHash> first;
    const int compared = g_end < kLogEntries ? g_end : kLogEntries - 1;
    for (int i = 0; i < compared; ++i) {
      st_MemLogEntry& entry = g_log[i];
      if (!entry.m_block) continue;
      auto [it, inserted] = first.try_emplace(Key{entry.m_file, entry.m_line}, i);
      if (inserted) {
        entry.m_repeat = 1;
      } else {
        g_log[it->second].m_repeat += 1;
        entry.m_block = nullptr;
        if (i < g_firstFree) g_firstFree = i;
      }
    }
    for (int i = 0; i < g_end; ++i)
      if (g_log[i].m_block) live.push_back(g_log[i]);
  }
  for (const st_MemLogEntry& entry : live) {
    if (entry.m_size < 0)
      base::sys::Output("fast_alloc (%s: Z: %d) : %d bytes not freed, %dx allocateed\n", entry.m_file, entry.m_line,
                        -entry.m_size, entry.m_repeat);
    else
      base::sys::Output("sys_alloc (%s: Z: %d) : %d bytes not freed, %dx allocateed\n", entry.m_file, entry.m_line,
                        entry.m_size, entry.m_repeat);
  }
}

void DumpMemoryStatistics() {
  const st_MemoryStatistics s = CMemoryMgr::GetStatistics();
  DebuggerText("** Memory Statistics **\n");
  base::sys::Output("Blocks\t%lld", s.m_blocks);
  base::sys::Output("MaxBlocks\t%lld", s.m_maxBlocks);
  base::sys::Output("Largest Block\t%lld", s.m_largestBlock);
  base::sys::Output("Memory used\t%lld", s.m_memoryUsed);
  base::sys::Output("Maximum Memory\t%lld", s.m_maximumMemory);
  base::sys::Output("Total Blocks\t%lld", s.m_totalBlocks);
  base::sys::Output("Memory Bandwidth\t%lld", s.m_bandwidth);
  base::sys::Output("FastAlloc\t%lld", s.m_fastAlloc);
  base::sys::Output("Max. FastAllocBlocks\t%lld", s.m_maxFastAlloc);
  DebuggerText("***********************\n");
}
