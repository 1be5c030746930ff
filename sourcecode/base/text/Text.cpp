// base::Text: the growable string.
#include "base/text/Text.h"

#include <cstring>

namespace base {

Text::Text(const char* p) : tString(p) { m_capacity = m_length; }

Text::Text(int v) : tString(v) { m_capacity = m_length; }

Text::Text(float v) : tString(v) { m_capacity = m_length; }

Text::Text(const tString<BaseString>& s) : tString(s) { m_capacity = m_length; }

Text::Text(const Text& other) : tString() { set(other.m_text, other.m_length); }

Text::Text(Text&& other) noexcept : tString(static_cast<tString&&>(other)) { m_capacity = m_length; }

Text& Text::operator=(const Text& other) {
  if (this != &other) set(other.m_text, other.m_length);
  return *this;
}

Text& Text::operator=(Text&& other) noexcept {
  tString::operator=(static_cast<tString&&>(other));
  return *this;
}

Text& Text::operator=(const char* p) {
  set(p, p ? static_cast<int>(std::strlen(p)) : 0);
  return *this;
}

Text& Text::operator=(const tString<BaseString>& s) {
  if (static_cast<const tString<BaseString>*>(this) != &s) set(s, s.size());
  return *this;
}

void Text::clear() {
  tString::clear();
  m_capacity = 0;
}

void Text::set(const char* p, int n) {
  if (!p || n <= 0) {
    clear();
    return;
  }
  if (n > m_capacity) {
    // Copy before releasing: p may point into this text.
    char* fresh = new char[static_cast<size_t>(n) + 1];
    std::memcpy(fresh, p, static_cast<size_t>(n));
    delete[] m_text;
    m_text = fresh;
    m_capacity = n;
  } else {
    std::memmove(m_text, p, static_cast<size_t>(n));
  }
  m_length = n;
  m_text[n] = 0;
}

void Text::_realloc(int n) {
  if (n < 0) n = 0;
  if (n > m_capacity) {
    const int capacity = n > 0x3fffffff ? 0x7fffffff - 1 : 2 * n;
    char* fresh = new char[static_cast<size_t>(capacity) + 1];
    if (m_length > 0) std::memcpy(fresh, m_text, static_cast<size_t>(m_length));
    delete[] m_text;
    m_text = fresh;
    m_capacity = capacity;
  }
  // The caller writes the new characters; zero them meanwhile so nothing reads stale bytes.
  if (m_text && n > m_length) std::memset(m_text + m_length, 0, static_cast<size_t>(n - m_length));
  m_length = n;
  if (m_text) m_text[n] = 0;
}

}  // namespace base
