// The size-class pools behind Variant trees: per class and thread a stack of free blocks and the
// rest of a chunk to carve, and a shared store for what threads hand over.
#include "base/data/VariantPool.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QUILLANE_POOL_BYPASS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLANE_POOL_BYPASS 1
#endif
#endif

namespace base::variant_pool {

#ifdef QUILLANE_POOL_BYPASS

void* allocate(std::size_t n) { return ::operator new(n); }
void release(void* p, std::size_t) noexcept { ::operator delete(p); }

#else

namespace {

// Tree objects hold pointers, ints and doubles at most, so 8-byte steps serve them aligned and
// keep the commonest ones (handles, attribute records) from rounding up to the next 16.
constexpr std::size_t kGranule = 8;
constexpr int kClasses = static_cast<int>(kLargest / kGranule);
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::int32_t kFirstCapacity = 1024;
// A thread holding more free blocks of one class than this hands the whole stack to the shared
// store: a thread that only frees (trees built by a loader thread) must not strand them.
constexpr std::int32_t kKeepAtMost = 1 << 16;
constexpr int kSharedStacks = 64;

// The free blocks of one class as an array of their addresses. Taking and giving back a block
// touches only the array, never the block: reusing the blocks of a freed tree costs no cache
// miss until the new owner writes to them (a linked free list would read each one first).
struct st_Stack {
  void** items = nullptr;
  std::int32_t count = 0;
  std::int32_t capacity = 0;
};

// Blocks that found no room in any stack (memory ran out while freeing, or the thread exited),
// linked through their first word.
struct st_Block {
  st_Block* next;
};

constinit std::mutex g_lock;
constinit st_Stack g_shared[kClasses][kSharedStacks] = {};
constinit int g_sharedCount[kClasses] = {};
constinit st_Block* g_overflow[kClasses] = {};

inline std::size_t class_size(int c) { return static_cast<std::size_t>(c + 1) * kGranule; }
inline int class_of(std::size_t n) { return n == 0 ? 0 : static_cast<int>((n - 1) / kGranule); }

void push_overflow(void* p, int c) {
  std::lock_guard<std::mutex> guard(g_lock);
  auto* b = static_cast<st_Block*>(p);
  b->next = g_overflow[c];
  g_overflow[c] = b;
}

// A block of class c from the shared store, or null (takes the lock).
void* take_shared_block(int c) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (st_Block* b = g_overflow[c]) {
    g_overflow[c] = b->next;
    return b;
  }
  for (int i = g_sharedCount[c] - 1; i >= 0; --i) {
    st_Stack& s = g_shared[c][i];
    if (s.count) return s.items[--s.count];
  }
  return nullptr;
}

struct cl_ThreadPools {
  st_Stack stacks[kClasses] = {};
  unsigned char* next[kClasses] = {};  // the unused rest of the class's newest chunk
  unsigned char* end[kClasses] = {};
  bool closed = false;  // the thread is exiting: later requests go to the shared store

  constexpr cl_ThreadPools() = default;
  ~cl_ThreadPools() {
    for (int c = 0; c < kClasses; ++c) {
      st_Stack& s = stacks[c];
      {
        std::lock_guard<std::mutex> guard(g_lock);
        if (s.count && g_sharedCount[c] < kSharedStacks) {
          g_shared[c][g_sharedCount[c]++] = s;
          s = st_Stack();
        }
      }
      for (std::int32_t i = 0; i < s.count; ++i) push_overflow(s.items[i], c);
      ::operator delete(s.items);
      s = st_Stack();
      // The chunk's rest is carved up so it is not lost.
      for (; next[c] && next[c] + class_size(c) <= end[c]; next[c] += class_size(c)) push_overflow(next[c], c);
    }
    closed = true;
  }

  // Refills an empty stack of class c: a stack from the shared store, else a new chunk.
  [[gnu::noinline]] void* refill(int c) {
    st_Stack& s = stacks[c];
    {
      std::lock_guard<std::mutex> guard(g_lock);
      if (g_sharedCount[c] > 0) {
        ::operator delete(s.items);
        s = g_shared[c][--g_sharedCount[c]];
        g_shared[c][g_sharedCount[c]] = st_Stack();
      } else if (st_Block* b = g_overflow[c]) {
        g_overflow[c] = b->next;
        return b;
      }
    }
    if (s.count) return s.items[--s.count];
    auto* chunk = static_cast<unsigned char*>(::operator new(kChunk));
    next[c] = chunk + class_size(c);
    end[c] = chunk + kChunk;
    return chunk;
  }

  // Makes room in a full stack: hands it to the shared store when it is large, else grows it.
  [[gnu::noinline]] bool make_room(int c) {
    st_Stack& s = stacks[c];
    if (s.count >= kKeepAtMost) {
      std::lock_guard<std::mutex> guard(g_lock);
      if (g_sharedCount[c] < kSharedStacks) {
        g_shared[c][g_sharedCount[c]++] = s;
        s = st_Stack();
      }
    }
    if (s.count < s.capacity) return true;
    const std::int32_t capacity = s.capacity ? s.capacity * 2 : kFirstCapacity;
    auto* items = static_cast<void**>(::operator new(static_cast<std::size_t>(capacity) * sizeof(void*), std::nothrow));
    if (!items) return false;
    if (s.count) std::memcpy(items, s.items, static_cast<std::size_t>(s.count) * sizeof(void*));
    ::operator delete(s.items);
    s.items = items;
    s.capacity = capacity;
    return true;
  }
};

thread_local constinit cl_ThreadPools t_pools;

}  // namespace

void* allocate(std::size_t n) {
  if (n > kLargest) return ::operator new(n);
  const int c = class_of(n);
  cl_ThreadPools& t = t_pools;
  if (t.closed) {
    // Thread-exit code building a tree: the shared store, else the general heap (a block from
    // there joins the pool when it is freed, which is harmless).
    void* p = take_shared_block(c);
    return p ? p : ::operator new(class_size(c));
  }
  st_Stack& s = t.stacks[c];
  if (s.count) return s.items[--s.count];
  unsigned char* p = t.next[c];
  if (p && p + class_size(c) <= t.end[c]) {
    t.next[c] = p + class_size(c);
    return p;
  }
  return t.refill(c);
}

void release(void* p, std::size_t n) noexcept {
  if (!p) return;
  if (n > kLargest) {
    ::operator delete(p);
    return;
  }
  const int c = class_of(n);
  cl_ThreadPools& t = t_pools;
  st_Stack& s = t.stacks[c];
  if (t.closed || (s.count == s.capacity && !t.make_room(c))) {
    push_overflow(p, c);
    return;
  }
  s.items[s.count++] = p;
}

#endif

void cl_NodeText::set(const char* p, int n) {
  if (!p || n < 1) {
    clear();
    return;
  }
  const auto length = static_cast<std::size_t>(n);
  if (is_inline(n)) {
    // p may point into this text: moved before the old block goes.
    char text[kInline];
    std::memcpy(text, p, length);
    free_text();
    std::memcpy(m_bytes, text, length);
    m_bytes[length] = 0;
  } else {
    auto* text = static_cast<char*>(allocate(length + 1));
    std::memcpy(text, p, length);
    text[length] = 0;
    free_text();
    std::memcpy(m_bytes, &text, sizeof text);
  }
  m_length = n;
}

}  // namespace base::variant_pool
