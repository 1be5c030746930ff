// base::tArray<T>: a fixed-size array sized once (count elements, freed with it), used where the
// engine needs a buffer that never grows, such as the system-memory side of the vertex recorders.
// tArray<int> also writes and reads the int list record (i32 count, then i32 values). tMatrix<T>
// lays a grid over one.
#pragma once

#include <vector>

namespace base {

class File;

template <class T>
class tArray {
 public:
  tArray() = default;
  explicit tArray(int count) { resize(count); }
  ~tArray() { delete[] m_data; }
  tArray(const tArray&) = delete;
  tArray& operator=(const tArray&) = delete;

  // count value-initialised elements (the old ones are freed); below 1 gives an empty array.
  void resize(int count) {
    delete[] m_data;
    m_data = count > 0 ? new T[static_cast<unsigned>(count)]() : nullptr;
    m_count = count > 0 ? count : 0;
  }
  void clear() { resize(0); }
  int size() const { return m_count; }
  bool is_valid(int index) const { return index >= 0 && index < m_count; }
  T& operator[](int index) { return m_data[index]; }  // no range check: callers test is_valid
  const T& operator[](int index) const { return m_data[index]; }
  T* data() { return m_data; }
  const T* data() const { return m_data; }

  // The int list record; the reader empties values first and fails (logged, file marked) on a
  // count that the rest of the file cannot hold.
  static bool Write(File* file, const std::vector<int>& values);
  static bool Read(File* file, std::vector<int>& values);

 private:
  int m_count = 0;
  T* m_data = nullptr;
};

// base::tMatrix<T>: a width x height grid of elements over one tArray, row by row (index =
// row * width + column), sized once like the array beneath it.
template <class T>
class tMatrix {
 public:
  // width x height value-initialised elements; either side below 1 gives an empty grid.
  void resize(int width, int height) {
    const bool empty = width < 1 || height < 1;
    m_width = empty ? 0 : width;
    m_height = empty ? 0 : height;
    m_cells.resize(m_width * m_height);
  }
  int width() const { return m_width; }
  int height() const { return m_height; }
  bool is_valid(int column, int row) const { return column >= 0 && column < m_width && row >= 0 && row < m_height; }
  // No range check: callers test is_valid.
  T& at(int column, int row) { return m_cells[row * m_width + column]; }
  const T& at(int column, int row) const { return m_cells[row * m_width + column]; }
  tArray<T>& cells() { return m_cells; }

 private:
  int m_width = 0;
  int m_height = 0;
  tArray<T> m_cells;
};

template <> bool tArray<int>::Write(File* file, const std::vector<int>& values);
template <> bool tArray<int>::Read(File* file, std::vector<int>& values);

}  // namespace base
