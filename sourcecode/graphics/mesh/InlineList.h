// The two container shapes of the mesh records: tInlineList keeps its first N elements inside
// the owning record (a triangle's corners, a vertex's bones) so that typical faces and vertices
// allocate nothing more; tPointerArray is the growable pointer array of the mesh's own lists.
#pragma once

#include <cstring>
#include <type_traits>

namespace base {

// A list of trivially copyable values: elements 0..N-1 inline, the rest in an overflow array.
template <class T, int N>
class tInlineList {
  static_assert(std::is_trivially_copyable_v<T>, "inline lists hold plain values");

 public:
  tInlineList() = default;
  tInlineList(const tInlineList& other) { *this = other; }
  // Deep copy: the overflow array is never shared.
  tInlineList& operator=(const tInlineList& other) {
    if (this == &other) return *this;
    clear();
    reserve(other.count);
    for (int i = 0; i < other.count; ++i) push_back(other[i]);
    return *this;
  }
  ~tInlineList() { delete[] overflow; }

  int size() const { return count; }
  bool empty() const { return count == 0; }
  // Element i; i must be below size().
  T& operator[](int i) { return i < N ? inlineItems[i] : overflow[i - N]; }
  const T& operator[](int i) const { return i < N ? inlineItems[i] : overflow[i - N]; }

  // Appends; past the overflow capacity the array grows to the larger of twice its capacity and
  // what the new count needs.
  void push_back(const T& value) {
    reserve(count + 1);
    (*this)[count] = value;
    ++count;
  }
  // Makes room for n elements without changing the count.
  void reserve(int n) {
    const int needed = n - N;
    if (needed <= overflowCapacity) return;
    const int capacity = needed > 2 * overflowCapacity ? needed : 2 * overflowCapacity;
    T* grown = new T[static_cast<size_t>(capacity)]();
    const int used = count > N ? count - N : 0;
    if (used > 0) std::memcpy(static_cast<void*>(grown), overflow, sizeof(T) * static_cast<size_t>(used));
    delete[] overflow;
    overflow = grown;
    overflowCapacity = capacity;
  }
  // Empties the list and keeps the overflow array for reuse.
  void clear() { count = 0; }
  // Position of the first element equal to value, or -1.
  int find(const T& value) const {
    for (int i = 0; i < count; ++i) {
      if ((*this)[i] == value) return i;
    }
    return -1;
  }
  bool contains(const T& value) const { return find(value) >= 0; }
  // Appends unless an equal element is present.
  void push_back_unique(const T& value) {
    if (!contains(value)) push_back(value);
  }

  // Fields in record order (ORDER MESHRECORD: the mesh records keep this layout).
  int count = 0;
  int overflowCapacity = 0;
  T inlineItems[N]{};
  T* overflow = nullptr;
};

// A growable array of pointers. It does not own what they point to; the mesh does.
template <class T>
class tPointerArray {
 public:
  tPointerArray() = default;
  tPointerArray(const tPointerArray&) = delete;
  tPointerArray& operator=(const tPointerArray&) = delete;
  ~tPointerArray() { delete[] items; }

  int size() const { return count; }
  bool empty() const { return count == 0; }
  T*& operator[](int i) { return items[i]; }  // i below size()
  T* operator[](int i) const { return items[i]; }
  T* back() const { return items[count - 1]; }  // the array must not be empty

  // Appends; past the capacity it grows to the larger of twice the capacity and the new count.
  void push_back(T* p) {
    if (count + 1 > capacity) grow(count + 1);
    items[count++] = p;
  }
  // Makes room for n pointers without changing the count.
  void reserve(int n) {
    if (n > capacity) grow(n);
  }
  // Slot i takes the last pointer and the count drops by one (the order of the rest changes).
  void remove_swap_last(int i) {
    items[i] = items[count - 1];
    --count;
  }
  void resize_down(int n) {  // keeps the first n pointers (n at most size())
    count = n;
  }
  void clear() { count = 0; }  // forgets the pointers; the storage stays

  T** begin() { return items; }
  T** end() { return items + count; }
  T* const* begin() const { return items; }
  T* const* end() const { return items + count; }

  int count = 0;
  int capacity = 0;
  T** items = nullptr;

 private:
  void grow(int n) {
    const int grown = n > 2 * capacity ? n : 2 * capacity;
    T** fresh = new T*[static_cast<size_t>(grown)];
    if (count > 0) std::memcpy(static_cast<void*>(fresh), items, sizeof(T*) * static_cast<size_t>(count));
    delete[] items;
    items = fresh;
    capacity = grown;
  }
};

}  // namespace base
