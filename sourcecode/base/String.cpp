// tString for both widths: storage, editing, searching and the file record.
#include "base/String.h"

#include <cstdio>
#include <cstring>

#include "base/File.h"
#include "base/system.h"

namespace base {

namespace {

template <class C>
int text_length(const C* p) {
  if (!p) return 0;
  if constexpr (sizeof(C) == 1) {
    return static_cast<int>(std::strlen(p));
  } else {
    const C* q = p;
    while (*q) ++q;
    return static_cast<int>(q - p);
  }
}

template <class C>
void copy_chars(C* dst, const C* src, int n) {
  if (n > 0) std::memmove(dst, src, static_cast<size_t>(n) * sizeof(C));
}

}  // namespace

// ---- construction and storage

template <class B>
tString<B>::tString(const C* p) {
  set(p, text_length(p));
}

template <class B>
tString<B>::tString(const tString& other) {
  set(other.m_text, other.m_length);
}

template <class B>
tString<B>::tString(tString&& other) noexcept : m_text(other.m_text), m_length(other.m_length) {
  other.m_text = nullptr;
  other.m_length = 0;
  other._adopted();
}

template <class B>
tString<B>::tString(C c) {
  set(&c, 1);
}

template <class B>
tString<B>::tString(int v) {
  print("%d", v);
}

template <class B>
tString<B>::tString(float v) {
  print("%f", static_cast<double>(v));
}

template <class B>
tString<B>::~tString() {
  delete[] m_text;
}

template <class B>
void tString<B>::clear() {
  delete[] m_text;
  m_text = nullptr;
  m_length = 0;
}

template <class B>
void tString<B>::set(const C* p, int n) {
  if (n <= 0) {
    clear();
    return;
  }
  // Copy before releasing: p may point into this string.
  C* fresh = new C[static_cast<size_t>(n) + 1];
  if (p) {
    copy_chars(fresh, p, n);
  } else {
    std::memset(fresh, 0, static_cast<size_t>(n) * sizeof(C));
  }
  fresh[n] = 0;
  delete[] m_text;
  m_text = fresh;
  m_length = n;
}

template <class B>
void tString<B>::_realloc(int n) {
  if (n <= 0) {
    clear();
    return;
  }
  C* fresh = new C[static_cast<size_t>(n) + 1];
  const int keep = m_length < n ? m_length : n;
  copy_chars(fresh, m_text, keep);
  // The caller writes the characters between the old length and n; zero them meanwhile.
  if (n > keep) std::memset(fresh + keep, 0, static_cast<size_t>(n - keep) * sizeof(C));
  fresh[n] = 0;
  delete[] m_text;
  m_text = fresh;
  m_length = n;
}

template <class B>
void tString<B>::adopt_buffer(C* text, int length) {
  delete[] m_text;
  m_text = text;
  m_length = length;
  _adopted();
}

template <class B>
const typename tString<B>::C* tString<B>::c_str() const {
  static const C empty[1] = {0};
  return m_text ? m_text : empty;
}

// ---- assignment and appending

template <class B>
tString<B>& tString<B>::operator=(const C* p) {
  set(p, text_length(p));
  return *this;
}

template <class B>
tString<B>& tString<B>::operator=(const tString& other) {
  if (this != &other) set(other.m_text, other.m_length);
  return *this;
}

template <class B>
tString<B>& tString<B>::operator=(tString&& other) noexcept {
  if (this == &other) return *this;
  C* text = other.m_text;
  const int length = other.m_length;
  other.m_text = nullptr;
  other.m_length = 0;
  other._adopted();
  adopt_buffer(text, length);
  return *this;
}

template <class B>
tString<B>& tString<B>::operator+=(const tString& s) {
  const int add = s.m_length;
  if (add == 0) return *this;
  const int old = m_length;
  const bool self = (&s == this);
  _realloc(old + add);
  copy_chars(m_text + old, self ? m_text : s.m_text, add);
  return *this;
}

template <class B>
tString<B>& tString<B>::operator+=(const C* s) {
  const int add = text_length(s);
  if (add == 0) return *this;
  if (m_text && s >= m_text && s <= m_text + m_length) {
    // Appending a piece of ourselves: the buffer may move.
    tString copy(s);
    return *this += copy;
  }
  const int old = m_length;
  _realloc(old + add);
  copy_chars(m_text + old, s, add);
  return *this;
}

template <class B>
tString<B>& tString<B>::operator+=(C c) {
  const int old = m_length;
  _realloc(old + 1);
  m_text[old] = c;
  return *this;
}

template <class B>
void tString<B>::print(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  vprint(fmt, args);
  va_end(args);
}

template <class B>
void tString<B>::print(const char16_t* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  vprint(fmt, args);
  va_end(args);
}

namespace {

// Formats into dst (room for n + 1 characters); the two widths meet through Latin-1.
void format_into(char* dst, int n, const char* fmt, va_list args) {
  std::vsnprintf(dst, static_cast<size_t>(n) + 1, fmt, args);
}
void format_into(char16_t* dst, int n, const char16_t* fmt, va_list args) {
  str::vformat_wide(dst, n + 1, fmt, args);
}
void format_into(char16_t* dst, int n, const char* fmt, va_list args) {
  // printf rules (narrow arguments, as the format attribute checks), then widened.
  char* narrow = new char[static_cast<size_t>(n) + 1];
  std::vsnprintf(narrow, static_cast<size_t>(n) + 1, fmt, args);
  for (int i = 0; i <= n; ++i) dst[i] = static_cast<char16_t>(static_cast<unsigned char>(narrow[i]));
  delete[] narrow;
}
void format_into(char* dst, int n, const char16_t* fmt, va_list args) {
  char16_t* wide = new char16_t[static_cast<size_t>(n) + 1];
  str::vformat_wide(wide, n + 1, fmt, args);
  for (int i = 0; i <= n; ++i) dst[i] = wide[i] < 256 ? static_cast<char>(static_cast<unsigned char>(wide[i])) : '?';
  delete[] wide;
}
int measure(const char* fmt, va_list args) { return std::vsnprintf(nullptr, 0, fmt, args); }
int measure(const char16_t* fmt, va_list args) { return str::vformat_wide(nullptr, 0, fmt, args); }

}  // namespace

template <class B>
void tString<B>::vprint(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int needed = measure(fmt, copy);
  va_end(copy);
  if (needed <= 0) return;
  const int old = m_length;
  _realloc(old + needed);
  // The formatter writes its terminator at old + needed, inside the room _realloc made.
  format_into(m_text + old, needed, fmt, args);
}

template <class B>
void tString<B>::vprint(const char16_t* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int needed = measure(fmt, copy);
  va_end(copy);
  if (needed <= 0) return;
  const int old = m_length;
  _realloc(old + needed);
  format_into(m_text + old, needed, fmt, args);
}

// ---- comparison

template <class B>
bool tString<B>::operator==(const C* p) const {
  return str::compare(m_text, p) == 0;
}

template <class B>
bool tString<B>::operator==(const tString& s) const {
  return str::compare(m_text, s.m_text) == 0;
}

template <class B>
bool tString<B>::operator<(const tString& s) const {
  return str::compare(m_text, s.m_text) < 0;
}

// ---- searching and pieces

template <class B>
int tString<B>::find(const C* s, int start) const {
  if (!s) return -1;
  const int n = text_length(s);
  if (start < 0) start = 0;
  for (int i = start; i + n <= m_length; ++i) {
    if (std::memcmp(m_text + i, s, static_cast<size_t>(n) * sizeof(C)) == 0) return i;
  }
  return -1;
}

template <class B>
int tString<B>::find(C c, int start) const {
  if (start < 0) start = 0;
  for (int i = start; i < m_length; ++i) {
    if (m_text[i] == c) return i;
  }
  return -1;
}

template <class B>
int tString<B>::find_last(C c) const {
  for (int i = m_length - 1; i >= 0; --i) {
    if (m_text[i] == c) return i;
  }
  return -1;
}

template <class B>
int tString<B>::find_string(const C* s) const {
  if (!s || !*s || m_length == 0) return -1;
  return find(s, 0);
}

template <class B>
tString<B> tString<B>::mid(int start) const {
  tString out;
  if (start < 0) start = 0;
  if (start < m_length) out.set(m_text + start, m_length - start);
  return out;
}

template <class B>
tString<B> tString<B>::left(int count, int start) const {
  if (start >= 0 && count >= 0 && start + count < m_length) {
    tString out;
    out.set(m_text + start, count);
    return out;
  }
  return tString(*this);
}

template <class B>
tString<B> tString<B>::right(int n) const {
  if (n >= 0 && n < m_length) {
    tString out;
    out.set(m_text + m_length - n, n);
    return out;
  }
  return tString(*this);
}

template <class B>
tString<B> tString<B>::lower() const {
  tString out(*this);
  for (int i = 0; i < out.m_length; ++i) {
    if (out.m_text[i] >= C('A') && out.m_text[i] <= C('Z')) out.m_text[i] = C(out.m_text[i] + ('a' - 'A'));
  }
  return out;
}

template <class B>
tString<B> tString<B>::replace(const C* a, const C* b) const {
  const int na = text_length(a);
  if (na == 0) return tString(*this);
  const int nb = text_length(b);
  tString out;
  int from = 0;
  for (int at = find(a, 0); at >= 0; at = find(a, at + na)) {
    const int old = out.m_length;
    out._realloc(old + (at - from) + nb);
    copy_chars(out.m_text + old, m_text + from, at - from);
    copy_chars(out.m_text + old + (at - from), b, nb);
    from = at + na;
  }
  if (from == 0) return tString(*this);
  const int old = out.m_length;
  out._realloc(old + (m_length - from));
  copy_chars(out.m_text + old, m_text + from, m_length - from);
  return out;
}

template <class B>
void tString<B>::insert(const C* s, int pos) {
  const int n = text_length(s);
  if (n == 0) return;
  if (m_text && s >= m_text && s <= m_text + m_length) {
    tString copy(s);
    insert(copy.m_text, pos);
    return;
  }
  if (pos < 0) pos = 0;
  if (pos >= m_length) {
    *this += s;
    return;
  }
  const int old = m_length;
  _realloc(old + n);
  copy_chars(m_text + pos + n, m_text + pos, old - pos);
  copy_chars(m_text + pos, s, n);
}

// ---- file record

template <class B>
bool tString<B>::Read(File* file) {
  clear();
  int n = 0;
  const char* what = sizeof(C) == 1 ? "string" : "wide string";
  if (!file || !file->read_length(n, static_cast<int>(sizeof(C)), what)) return false;
  if (n == 0) return true;
  C* fresh = new C[static_cast<size_t>(n) + 1];
  if (!file->read(fresh, n * static_cast<int>(sizeof(C)))) {
    delete[] fresh;
    file->report_error("%s of %d characters is cut short at offset %d", what, n, file->get_current_position());
    return false;
  }
  fresh[n] = 0;
  adopt_buffer(fresh, n);
  return true;
}

template <class B>
bool tString<B>::Write(File* file) const {
  if (!file) return false;
  const int n = m_length;
  if (!file->write(&n, 4)) return false;
  return n == 0 || file->write(m_text, n * static_cast<int>(sizeof(C)));
}

template class tString<BaseString>;
template class tString<BaseUnicodeString>;

// ---- free operators

tString<BaseString> operator+(const tString<BaseString>& a, const char* b) {
  tString<BaseString> out(a);
  out += b;
  return out;
}

tString<BaseString> operator+(const char* a, const tString<BaseString>& b) {
  tString<BaseString> out(a);
  out += b;
  return out;
}

tString<BaseUnicodeString> operator+(const tString<BaseUnicodeString>& a, const char16_t* b) {
  tString<BaseUnicodeString> out(a);
  out += b;
  return out;
}

tString<BaseUnicodeString> operator+(const char16_t* a, const tString<BaseUnicodeString>& b) {
  tString<BaseUnicodeString> out(a);
  out += b;
  return out;
}

}  // namespace base
