#include "graphics/mesh/lwo/LwoStream.h"

#include <cstring>

#include "base/File.h"

namespace base {

cl_LwoStream::cl_LwoStream(const unsigned char* data, int size, int basePosition)
    : m_data(data), m_size(size < 0 ? 0 : size), m_base(basePosition) {}

cl_LwoStream::cl_LwoStream(File* file) : m_file(file) {}

int cl_LwoStream::Position() const { return m_file ? m_file->get_current_position() : m_base + m_pos; }

int cl_LwoStream::Remaining() const { return m_file ? m_file->get_remaining() : m_size - m_pos; }

bool cl_LwoStream::Read(void* out, int n) {
  if (m_failed) return false;
  if (n < 0 || n > Remaining()) {
    m_failed = true;
    return false;
  }
  if (m_file) {
    if (!m_file->read(out, n)) {
      m_failed = true;
      return false;
    }
  } else if (n > 0) {
    std::memcpy(out, m_data + m_pos, static_cast<size_t>(n));
    m_pos += n;
  }
  m_count += n;
  return true;
}

int cl_LwoStream::U1() {
  unsigned char b = 0;
  return Read(&b, 1) ? b : 0;
}

int cl_LwoStream::I1() { return static_cast<signed char>(U1()); }

int cl_LwoStream::U2() {
  unsigned char b[2] = {};
  return Read(b, 2) ? (b[0] << 8) | b[1] : 0;
}

int cl_LwoStream::I2() { return static_cast<short>(U2()); }

unsigned cl_LwoStream::U4() {
  unsigned char b[4] = {};
  if (!Read(b, 4)) return 0;
  return (unsigned{b[0]} << 24) | (unsigned{b[1]} << 16) | (unsigned{b[2]} << 8) | b[3];
}

int cl_LwoStream::I4() { return static_cast<int>(U4()); }

float cl_LwoStream::F4() {
  const unsigned bits = U4();
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

int cl_LwoStream::VX() {
  unsigned char b[2] = {};
  if (!Read(b, 2)) return 0;
  if (b[0] != 0xFF) return (b[0] << 8) | b[1];
  unsigned char rest[2] = {};
  if (!Read(rest, 2)) return 0;
  return (b[1] << 16) | (rest[0] << 8) | rest[1];
}

std::string cl_LwoStream::S0() {
  std::string s;
  if (m_failed) return s;
  if (!m_file) {
    if (m_pos >= m_size) {
      m_failed = true;
      return s;
    }
    const void* end = std::memchr(m_data + m_pos, 0, static_cast<size_t>(m_size - m_pos));
    if (!end) {
      m_failed = true;
      return s;
    }
    s.assign(reinterpret_cast<const char*>(m_data + m_pos), static_cast<const unsigned char*>(end) - (m_data + m_pos));
    const int n = static_cast<int>(s.size()) + 1;
    Skip(n);
    // The pad byte of a string that ends its chunk lies outside the chunk's size.
    if ((n & 1) && !AtEnd()) Skip(1);
    return s;
  }
  for (;;) {
    const int c = U1();
    if (m_failed) return std::string();
    if (c == 0) break;
    s.push_back(static_cast<char>(c));
  }
  if (((s.size() + 1) & 1) && !AtEnd()) U1();
  return m_failed ? std::string() : s;
}

bool cl_LwoStream::Raw(std::vector<unsigned char>& out, int n) {
  if (m_failed || n < 0 || n > Remaining()) {
    m_failed = true;
    return false;
  }
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(n));
  return Read(out.data() + at, n);
}

bool cl_LwoStream::Skip(int n) {
  if (m_failed) return false;
  if (n < 0 || n > Remaining()) {
    m_failed = true;
    return false;
  }
  if (m_file) {
    if (!m_file->set_current_position(m_file->get_current_position() + n)) {
      m_failed = true;
      return false;
    }
  } else {
    m_pos += n;
  }
  m_count += n;
  return true;
}

cl_LwoStream cl_LwoStream::Take(int n, std::vector<unsigned char>& buffer) {
  cl_LwoStream view;
  const int at = Position();
  if (m_failed || n < 0 || n > Remaining()) {
    m_failed = true;
    view.m_failed = true;
    view.m_base = at;
    return view;
  }
  if (m_file) {
    buffer.clear();
    if (!Raw(buffer, n)) {
      view.m_failed = true;
      return view;
    }
    return cl_LwoStream(buffer.data(), n, at);
  }
  view = cl_LwoStream(m_data + m_pos, n, at);
  Skip(n);
  return view;
}

cl_LwoStream cl_LwoStream::Sub(int n) {
  if (m_file) {
    m_failed = true;
    cl_LwoStream failed;
    failed.m_failed = true;
    return failed;
  }
  std::vector<unsigned char> unused;
  return Take(n, unused);
}

}  // namespace base
