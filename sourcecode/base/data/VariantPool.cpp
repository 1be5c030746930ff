// The size-class pools behind Variant trees: a free list per class and thread, a shared list per
// class for what threads hand over, and chunks carved into blocks when both are empty.
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

constexpr std::size_t kGranule = 16;
constexpr int kClasses = static_cast<int>(kLargest / kGranule);
constexpr std::size_t kChunk = 32 * 1024;
// A thread holding more free blocks of one class than this hands them all to the shared list:
// a thread that only frees (trees built by a loader thread) must not strand them.
constexpr std::int32_t kKeepAtMost = 4096;

struct st_Block {
  st_Block* next;
};

// A singly linked list that knows its tail and length, so whole lists move in constant time.
struct st_List {
  st_Block* head = nullptr;
  st_Block* tail = nullptr;
  std::int32_t count = 0;

  void push(st_Block* b) {
    b->next = head;
    if (!head) tail = b;
    head = b;
    ++count;
  }
  void push_back(st_Block* b) {
    b->next = nullptr;
    if (tail)
      tail->next = b;
    else
      head = b;
    tail = b;
    ++count;
  }
  st_Block* pop() {
    st_Block* b = head;
    head = b->next;
    if (!head) tail = nullptr;
    --count;
    return b;
  }
  // Appends all of from (keeping both orders) and leaves from empty.
  void take_all(st_List& from) {
    if (!from.head) return;
    if (tail)
      tail->next = from.head;
    else
      head = from.head;
    tail = from.tail;
    count += from.count;
    from = st_List();
  }
};

constinit std::mutex g_lock;
constinit st_List g_shared[kClasses] = {};

struct cl_ThreadLists {
  st_List lists[kClasses] = {};
  bool closed = false;  // the thread is exiting: later releases go to the shared lists

  constexpr cl_ThreadLists() = default;
  ~cl_ThreadLists() {
    std::lock_guard<std::mutex> guard(g_lock);
    for (int c = 0; c < kClasses; ++c) g_shared[c].take_all(lists[c]);
    closed = true;
  }
};

thread_local constinit cl_ThreadLists t_lists;

inline int class_of(std::size_t n) { return n == 0 ? 0 : static_cast<int>((n - 1) / kGranule); }

// Refills an empty list: from the shared list when it holds blocks, else from a new chunk.
[[gnu::noinline]] void refill(st_List& list, int c) {
  {
    std::lock_guard<std::mutex> guard(g_lock);
    list.take_all(g_shared[c]);
  }
  if (list.head) return;
  const std::size_t size = static_cast<std::size_t>(c + 1) * kGranule;
  auto* chunk = static_cast<unsigned char*>(::operator new(kChunk));
  // Pushed from the end, so the blocks are handed out in address order.
  for (std::size_t at = (kChunk / size) * size; at >= size; at -= size) list.push(reinterpret_cast<st_Block*>(chunk + at - size));
}

[[gnu::noinline]] void hand_over(st_List& list, int c) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_shared[c].take_all(list);
}

}  // namespace

void* allocate(std::size_t n) {
  if (n > kLargest) return ::operator new(n);
  const int c = class_of(n);
  cl_ThreadLists& t = t_lists;
  if (t.closed) {
    // Thread-exit code building a tree: take one block from the shared list (or a chunk).
    st_List one;
    refill(one, c);
    st_Block* b = one.pop();
    if (one.head) hand_over(one, c);
    return b;
  }
  st_List& list = t.lists[c];
  if (!list.head) refill(list, c);
  st_Block* b = list.pop();
  // Freed blocks lie wherever the last tree put them: fetch the next one's link early.
  if (list.head) __builtin_prefetch(list.head);
  return b;
}

void release(void* p, std::size_t n) noexcept {
  if (!p) return;
  if (n > kLargest) {
    ::operator delete(p);
    return;
  }
  const int c = class_of(n);
  cl_ThreadLists& t = t_lists;
  if (t.closed) {
    st_List one;
    one.push(static_cast<st_Block*>(p));
    hand_over(one, c);
    return;
  }
  // First freed, first reused: a tree is freed in the order it was built, so the next tree is
  // laid out in the same ascending addresses, which the memory prefetcher follows.
  st_List& list = t.lists[c];
  list.push_back(static_cast<st_Block*>(p));
  if (list.count > kKeepAtMost) hand_over(list, c);
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
