// The storage of Variant trees: datatypes, child handles, attribute records, their child lists
// and their texts come from size-class pools that grow a chunk at a time, so a tree of a million
// nodes is built and freed without a million trips through the general heap. Private to the
// Variant implementation and its readers.
//
// Every thread keeps its own free lists (no lock on the common path); a thread that frees more
// than it builds hands the surplus to a shared list, where other threads take it, and an exiting
// thread hands over all it holds. Chunks are kept for the life of the process: freed blocks are
// reused by the next trees. Sanitizer builds pass every request to the general heap, so each
// block stays visible to the checker.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

namespace base::variant_pool {

// Requests up to this size come from the pools; larger ones from the general heap.
constexpr std::size_t kLargest = 256;

// n bytes aligned to 8 (enough for every tree object); throws std::bad_alloc when no memory is
// left.
void* allocate(std::size_t n);
// Gives back a block from allocate(n), with the same n. Null p is ignored.
void release(void* p, std::size_t n) noexcept;

// Class-level operators for objects that live in trees; a class derives from this (it adds no
// size) and its new/delete go through the pools. Deletion through a virtual destructor passes
// the dynamic type's size, so derived classes share these.
struct st_Pooled {
  static void* operator new(std::size_t n) { return allocate(n); }
  static void operator delete(void* p, std::size_t n) noexcept { release(p, n); }
};

// An allocator for the child and attribute lists.
template <class T>
struct tAllocator {
  using value_type = T;
  tAllocator() = default;
  template <class U>
  tAllocator(const tAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(variant_pool::allocate(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { release(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const tAllocator<U>&) const noexcept { return true; }
};

// A Variant handle (or any T) placed in pool storage, and its end.
template <class T, class... Args>
T* create(Args&&... args) {
  void* p = allocate(sizeof(T));
  try {
    return new (p) T(std::forward<Args>(args)...);
  } catch (...) {
    release(p, sizeof(T));
    throw;
  }
}

template <class T>
void destroy(T* p) noexcept {
  if (!p) return;
  p->~T();
  release(p, sizeof(T));
}

// A label or string value of a tree node: up to 11 characters inside the object (most names
// fit), longer texts in a pool block; 16 bytes either way. Reads like tString: an empty text has
// a null buffer and length 0.
class cl_NodeText {
 public:
  cl_NodeText() = default;
  cl_NodeText(const char* p, int n) { set(p, n); }
  cl_NodeText(const cl_NodeText& other) { set(other.get_buffer(), other.m_length); }
  cl_NodeText& operator=(const cl_NodeText& other) {
    if (this != &other) set(other.get_buffer(), other.m_length);
    return *this;
  }
  ~cl_NodeText() { free_text(); }

  // Exactly n characters from p (which may point into this text), then a terminator; n < 1 or
  // null p gives the empty text.
  void set(const char* p, int n);
  void clear() {
    free_text();
    m_length = 0;
  }

  // Null when empty. Writable like tString's, for callers that fill the text in place.
  char* get_buffer() const {
    if (m_length == 0) return nullptr;
    return is_inline(m_length) ? const_cast<char*>(m_bytes) : heap_text();
  }
  const char* c_str() const { return m_length ? get_buffer() : ""; }
  int size() const { return m_length; }

 private:
  static constexpr int kInline = 12;  // characters and terminator kept inside the object
  static bool is_inline(int length) { return length < kInline; }

  // A long text's block address, kept in the first bytes (the object has no pointer member so
  // that it packs into 16 bytes).
  char* heap_text() const {
    char* p;
    std::memcpy(&p, m_bytes, sizeof p);
    return p;
  }
  void free_text() {
    if (!is_inline(m_length)) release(heap_text(), static_cast<std::size_t>(m_length) + 1);
  }

  char m_bytes[kInline];
  int m_length = 0;
};

}  // namespace base::variant_pool
