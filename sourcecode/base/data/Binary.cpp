// base::Binary: the owned byte block and its file record.
#include "base/data/Binary.h"

#include <cstring>

#include "base/File.h"

namespace base {

Binary::Binary(int n) {
  if (n >= 1) set_size(n);
}

Binary::Binary(const Binary& other) { set(other.m_size, other.m_data); }

Binary::Binary(Binary&& other) noexcept : m_size(other.m_size), m_data(other.m_data) {
  other.m_size = 0;
  other.m_data = nullptr;
}

Binary& Binary::operator=(const Binary& other) {
  if (this != &other) set(other.m_size, other.m_data);
  return *this;
}

Binary& Binary::operator=(Binary&& other) noexcept {
  if (this != &other) cut(other);
  return *this;
}

Binary::~Binary() { delete[] m_data; }

void Binary::clear() {
  delete[] m_data;
  m_data = nullptr;
  m_size = 0;
}

void Binary::set_size(int n) {
  clear();
  if (n < 1) return;
  // Zeroed: a caller that fills only part of the block never hands on stale heap bytes.
  m_data = new unsigned char[static_cast<size_t>(n)]();
  m_size = n;
}

void Binary::set(int n, const void* p) {
  if (n < 1) {
    clear();
    return;
  }
  // Copy before releasing: p may point into this block.
  unsigned char* fresh = new unsigned char[static_cast<size_t>(n)];
  if (p) {
    std::memcpy(fresh, p, static_cast<size_t>(n));
  } else {
    std::memset(fresh, 0, static_cast<size_t>(n));
  }
  delete[] m_data;
  m_data = fresh;
  m_size = n;
}

void Binary::cut(Binary& other) {
  if (this == &other) return;
  delete[] m_data;
  m_data = other.m_data;
  m_size = other.m_size;
  other.m_data = nullptr;
  other.m_size = 0;
}

Binary& Binary::operator+=(const Binary& b) {
  if (b.m_size < 1) return *this;
  if (m_size < 1) {
    if (this != &b) set(b.m_size, b.m_data);
    return *this;
  }
  const int add = b.m_size;  // read before anything moves: b may be this
  if (add > 0x7fffffff - m_size) return *this;  // beyond what a 32-bit size can describe
  unsigned char* fresh = new unsigned char[static_cast<size_t>(m_size) + static_cast<size_t>(add)];
  std::memcpy(fresh, m_data, static_cast<size_t>(m_size));
  std::memcpy(fresh + m_size, b.m_data, static_cast<size_t>(add));
  delete[] m_data;
  m_data = fresh;
  m_size += add;
  return *this;
}

bool Binary::Write(File* file) const {
  if (!file) return false;
  const int n = m_size;
  if (!file->write(&n, 4)) return false;
  return n < 1 || file->write(m_data, n);
}

bool Binary::Read(File* file) {
  clear();
  int n = 0;
  if (!file || !file->read_length(n, 1, "byte block")) return false;
  if (n == 0) return true;
  unsigned char* fresh = new unsigned char[static_cast<size_t>(n)];
  if (!file->read(fresh, n)) {
    delete[] fresh;
    file->report_error("byte block of %d bytes is cut short at offset %d", n, file->get_current_position());
    return false;
  }
  m_data = fresh;
  m_size = n;
  return true;
}

}  // namespace base
