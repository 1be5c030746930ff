// The compression library's growable array and its fixed-width number names. Every container of
// the library (8-bit levels, float levels, lists) sits on tVector; its growth rule keeps a little
// headroom on growth and gives memory back when a vector shrinks to half its capacity or less.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace dds {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;
using f32 = float;
using f64 = double;

template <typename T>
class tVector {
 public:
  tVector() = default;
  explicit tVector(u32 size) { resize(size); }
  tVector(const tVector& other) { *this = other; }
  tVector(tVector&& other) noexcept { swap(other); }
  ~tVector() { clear(); }

  // Resizes to `size` and assigns element by element.
  tVector& operator=(const tVector& other) {
    if (this == &other) return *this;
    resize(other.m_size);
    for (u32 i = 0; i < m_size; ++i) m_buffer[i] = other.m_buffer[i];
    return *this;
  }
  tVector& operator=(tVector&& other) noexcept {
    if (this != &other) {
      clear();
      swap(other);
    }
    return *this;
  }

  // Sets the size to n. The buffer is reallocated when n exceeds the capacity or falls to half of
  // it or less; the new capacity is n + n/4 when there was a buffer before, else exactly n.
  // Resizing to 0 keeps the buffer. Removed elements are destroyed, new ones value-initialised
  // (zero for numbers and plain records).
  void resize(u32 n) {
    if (n != 0 && (n > m_capacity || n <= m_capacity / 2)) {
      const u32 capacity = m_capacity != 0 ? n + n / 4 : n;
      Reallocate(capacity, n < m_size ? n : m_size);
    }
    for (u32 i = m_size; i > n; --i) m_buffer[i - 1].~T();
    for (u32 i = m_size; i < n; ++i) new (&m_buffer[i]) T();
    m_size = n;
  }

  // Size and capacity 0, buffer freed.
  void clear() {
    for (u32 i = 0; i < m_size; ++i) m_buffer[i].~T();
    ::operator delete(m_buffer);
    m_buffer = nullptr;
    m_size = 0;
    m_capacity = 0;
  }

  // Grows by one element and stores the value there.
  void append(const T& value) {
    T copy(value);  // value may live inside this vector
    resize(m_size + 1);
    m_buffer[m_size - 1] = std::move(copy);
  }

  T& operator[](u32 index) {
    assert(index < m_size);
    assert(m_buffer != NULL);
    return m_buffer[index];
  }
  const T& operator[](u32 index) const {
    assert(index < m_size);
    assert(m_buffer != NULL);
    return m_buffer[index];
  }

  u32 size() const { return m_size; }
  u32 capacity() const { return m_capacity; }
  bool empty() const { return m_size == 0; }
  T* data() { return m_buffer; }
  const T* data() const { return m_buffer; }
  T* begin() { return m_buffer; }
  T* end() { return m_buffer + m_size; }
  const T* begin() const { return m_buffer; }
  const T* end() const { return m_buffer + m_size; }

  void swap(tVector& other) noexcept {
    std::swap(m_buffer, other.m_buffer);
    std::swap(m_size, other.m_size);
    std::swap(m_capacity, other.m_capacity);
  }

 private:
  // Moves the first `keep` elements into a new buffer of `capacity` elements and destroys the rest.
  void Reallocate(u32 capacity, u32 keep) {
    T* buffer = static_cast<T*>(::operator new(sizeof(T) * static_cast<std::size_t>(capacity)));
    for (u32 i = 0; i < keep; ++i) {
      new (&buffer[i]) T(std::move(m_buffer[i]));
      m_buffer[i].~T();
    }
    for (u32 i = keep; i < m_size; ++i) m_buffer[i].~T();
    ::operator delete(m_buffer);
    m_buffer = buffer;
    m_capacity = capacity;
    m_size = keep;
  }

  T* m_buffer = nullptr;
  u32 m_size = 0;
  u32 m_capacity = 0;
};

}  // namespace dds
