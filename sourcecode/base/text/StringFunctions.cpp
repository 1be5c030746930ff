// base::str: character classes, scanners over NUL-terminated text, number recognition,
// comparisons, wildcards and the Latin-1 width conversions.
#include <cstdlib>
#include <cstring>

#include "base/String.h"

namespace base::str {

int len(const char* p) { return p ? static_cast<int>(std::strlen(p)) : 0; }

int len(const char16_t* p) {
  if (!p) return 0;
  const char16_t* q = p;
  while (*q) ++q;
  return static_cast<int>(q - p);
}

bool is_letter_ex(char c) {
  if (is_letter(c)) return true;
  switch (static_cast<unsigned char>(c)) {
    case 196: case 228: case 214: case 246: case 220: case 252: case 223:
      return true;
    default:
      return false;
  }
}

const char* skip_spaces(const char* p) {
  if (!p) return p;
  while (*p && is_space(*p)) ++p;
  return p;
}

const char* find_label_end(const char* p) {
  if (!p) return p;
  while (*p && is_label_char(*p)) ++p;
  return p;
}

const char* find_char(const char* p, char c) {
  if (!p) return p;
  while (*p && *p != c) ++p;
  return p;
}

const char* find_string_end(const char* p) { return p ? p + std::strlen(p) + 1 : p; }

const char* next_string_line(const char* p) {
  if (!p) return p;
  const char* q = std::strchr(p, '\n');
  return q ? q + 1 : p + std::strlen(p);
}

bool string_match(const char* text, const char* prefix) {
  if (!prefix) return true;
  if (!text) text = "";
  while (*prefix) {
    if (*text != *prefix) return false;
    ++text;
    ++prefix;
  }
  return true;
}

const char* find_next_match(const char* text, const char* pattern) {
  if (!text || !*text) return nullptr;
  if (!pattern || !*pattern) return text;
  return std::strstr(text, pattern);
}

// ---- wildcards

namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool match_from(const char* n, const char* p) {
  // Iterative '*' matching with one backtrack point: linear in practice, no recursion depth.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*n) {
    if (*p == '*') {
      star = p++;
      resume = n;
    } else if (*p == '?' || (*p && fold(*p) == fold(*n))) {
      ++p;
      ++n;
    } else if (star) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == 0;
}

}  // namespace

bool wildcard_match(const char* name, const char* pattern) {
  if (!name) name = "";
  if (!pattern) pattern = "*.*";
  if (match_from(name, pattern)) return true;
  // A trailing ".*" may also match nothing at all, dot included: "*.*" lists "README" too.
  const int pl = len(pattern);
  if (pl >= 2 && pattern[pl - 2] == '.' && pattern[pl - 1] == '*' && !std::strchr(name, '.')) {
    char stack[256];
    if (pl - 2 < static_cast<int>(sizeof(stack))) {
      std::memcpy(stack, pattern, static_cast<size_t>(pl - 2));
      stack[pl - 2] = 0;
      return match_from(name, stack);
    }
  }
  return false;
}

// ---- numbers

bool get_number_info(const char* p, en_NumberType& kind, int& length) {
  kind = NT_NONE;
  length = 0;
  if (!p) return false;
  const char* q = p;
  if (!(is_digit(*q) || *q == '+' || *q == '-')) return true;
  if (*q == '+' || *q == '-') ++q;
  int part = 0;  // 0 integer, 1 fraction, 2 exponent
  int intDigits = 0;
  bool dot = false;
  bool exponent = false;
  for (;;) {
    const char c = *q;
    if (is_digit(c)) {
      if (part == 0) ++intDigits;
      ++q;
    } else if (c == '.' && part == 0) {
      part = 1;
      dot = true;
      ++q;
    } else if ((c == 'e' || c == 'E') && part < 2) {
      part = 2;
      exponent = true;
      ++q;
      if (*q == '+' || *q == '-') ++q;
    } else {
      break;
    }
  }
  length = static_cast<int>(q - p);
  if (dot || exponent || intDigits > 0) kind = NT_NUMBER;
  return true;
}

double ascii_to_real(const char* p) {
  en_NumberType kind;
  int length;
  if (!get_number_info(p, kind, length) || kind == NT_NONE) return 0.0;
  // Convert exactly the recognised characters; strtod alone would also take hex and "inf".
  char stack[64];
  char* text = length < static_cast<int>(sizeof(stack)) ? stack : new char[static_cast<size_t>(length) + 1];
  std::memcpy(text, p, static_cast<size_t>(length));
  text[length] = 0;
  const double v = std::strtod(text, nullptr);
  if (text != stack) delete[] text;
  return v;
}

int ascii_to_integer(const char* p) {
  const double v = ascii_to_real(p);
  // Clamp before truncating: converting an out-of-range double to int is undefined.
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

// ---- comparison and conversion

int compare(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a ? a : "");
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b ? b : "");
  while (*x && *x == *y) {
    ++x;
    ++y;
  }
  return *x < *y ? -1 : (*x > *y ? 1 : 0);
}

int compare(const char16_t* a, const char16_t* b) {
  static const char16_t empty[1] = {0};
  const char16_t* x = a ? a : empty;
  const char16_t* y = b ? b : empty;
  while (*x && *x == *y) {
    ++x;
    ++y;
  }
  return *x < *y ? -1 : (*x > *y ? 1 : 0);
}

int compare_nocase(const char* a, const char* b) {
  const char* x = a ? a : "";
  const char* y = b ? b : "";
  while (*x && fold(*x) == fold(*y)) {
    ++x;
    ++y;
  }
  const unsigned char cx = static_cast<unsigned char>(fold(*x));
  const unsigned char cy = static_cast<unsigned char>(fold(*y));
  return cx < cy ? -1 : (cx > cy ? 1 : 0);
}

tString<BaseUnicodeString> convert_string_to_unicode(const tString<BaseString>& s) {
  tString<BaseUnicodeString> out;
  const int n = s.size();
  if (n == 0) return out;
  out.set(nullptr, n);
  for (int i = 0; i < n; ++i) out[i] = static_cast<char16_t>(static_cast<unsigned char>(s[i]));
  return out;
}

tString<BaseString> convert_unicode_to_string(const tString<BaseUnicodeString>& s) {
  tString<BaseString> out;
  const int n = s.size();
  if (n == 0) return out;
  out.set(nullptr, n);
  for (int i = 0; i < n; ++i) {
    const char16_t c = s[i];
    out[i] = c < 256 ? static_cast<char>(static_cast<unsigned char>(c)) : '?';
  }
  return out;
}

}  // namespace base::str
