// The engine's own wide printf: UTF-16 output with UTF-16 "%s" arguments, independent of the
// platform's wchar_t. Numbers are formatted by the narrow printf and widened, so "%d", "%x",
// "%f" and "%g" read exactly as in narrow texts.
#include <cstdio>
#include <cstring>
#include <cstddef>
#include <cstdint>

#include "base/String.h"

namespace base::str {

namespace {

struct Sink {
  char16_t* out;
  int size;
  int count = 0;

  void put(char16_t c) {
    if (out && count < size - 1) out[count] = c;
    ++count;
  }
  void pad(int n, char16_t c) {
    for (int i = 0; i < n; ++i) put(c);
  }
  void finish() {
    if (out && size > 0) out[count < size - 1 ? count : size - 1] = 0;
  }
};

struct Conversion {
  char flags[8] = {};
  int flagCount = 0;
  bool left = false;
  int width = -1;
  int precision = -1;
  char length[3] = {};
  char conv = 0;

  void add_flag(char f) {
    if (flagCount < 7) flags[flagCount++] = f;
    if (f == '-') left = true;
  }
};

// Narrow printf of one numeric conversion, widened byte by byte into the sink.
template <class T>
void put_number(Sink& sink, const Conversion& cv, T value) {
  char fmt[48];
  int n = 0;
  fmt[n++] = '%';
  for (int i = 0; i < cv.flagCount; ++i) fmt[n++] = cv.flags[i];
  if (cv.width >= 0) n += std::snprintf(fmt + n, sizeof(fmt) - static_cast<size_t>(n), "%d", cv.width);
  if (cv.precision >= 0) n += std::snprintf(fmt + n, sizeof(fmt) - static_cast<size_t>(n), ".%d", cv.precision);
  for (int i = 0; cv.length[i]; ++i) fmt[n++] = cv.length[i];
  fmt[n++] = cv.conv;
  fmt[n] = 0;
  char stack[128];
  const int needed = std::snprintf(stack, sizeof(stack), fmt, value);
  if (needed < 0) return;
  const char* text = stack;
  char* heap = nullptr;
  if (needed >= static_cast<int>(sizeof(stack))) {
    heap = new char[static_cast<size_t>(needed) + 1];
    std::snprintf(heap, static_cast<size_t>(needed) + 1, fmt, value);
    text = heap;
  }
  for (int i = 0; i < needed; ++i) sink.put(static_cast<char16_t>(static_cast<unsigned char>(text[i])));
  delete[] heap;
}

// A text argument with width, precision (maximum units) and '-' justification.
template <class T>
void put_text(Sink& sink, const Conversion& cv, const T* text) {
  static const T nullText[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
  if (!text) text = nullText;
  int n = 0;
  while (text[n] && (cv.precision < 0 || n < cv.precision)) ++n;
  const int fill = cv.width > n ? cv.width - n : 0;
  if (!cv.left) sink.pad(fill, u' ');
  for (int i = 0; i < n; ++i) {
    if constexpr (sizeof(T) == 1) {
      sink.put(static_cast<char16_t>(static_cast<unsigned char>(text[i])));
    } else {
      sink.put(text[i]);
    }
  }
  if (cv.left) sink.pad(fill, u' ');
}

template <class F>
bool has(const char* set, F c) {
  if (c <= 0 || c > 127) return false;
  return std::strchr(set, static_cast<char>(c)) != nullptr;
}

template <class F>
int format(Sink& sink, const F* f, va_list args) {
  if (!f) {
    sink.finish();
    return 0;
  }
  while (*f) {
    if (*f != F('%')) {
      sink.put(static_cast<char16_t>(sizeof(F) == 1 ? static_cast<unsigned char>(*f) : *f));
      ++f;
      continue;
    }
    const F* start = f++;
    Conversion cv;
    while (has("-+ #0", *f)) cv.add_flag(static_cast<char>(*f++));
    if (*f == F('*')) {
      cv.width = va_arg(args, int);
      if (cv.width < 0) {
        cv.add_flag('-');
        cv.width = cv.width == INT32_MIN ? 0 : -cv.width;
      }
      ++f;
    } else {
      while (*f >= F('0') && *f <= F('9')) {
        cv.width = (cv.width < 0 ? 0 : cv.width) * 10 + (*f++ - F('0'));
        if (cv.width > 100000) cv.width = 100000;
      }
    }
    if (*f == F('.')) {
      ++f;
      cv.precision = 0;
      if (*f == F('*')) {
        cv.precision = va_arg(args, int);
        if (cv.precision < 0) cv.precision = -1;
        ++f;
      } else {
        while (*f >= F('0') && *f <= F('9')) {
          cv.precision = cv.precision * 10 + (*f++ - F('0'));
          if (cv.precision > 100000) cv.precision = 100000;
        }
      }
    }
    int ln = 0;
    while (has("hlLzjt", *f) && ln < 2) cv.length[ln++] = static_cast<char>(*f++);
    cv.length[ln] = 0;
    const bool narrowArg = cv.length[0] == 'h';
    const bool wideArg = cv.length[0] == 'l';
    char lm[3];
    std::memcpy(lm, cv.length, sizeof(lm));
    const F conv = *f;
    if (conv == 0) {
      // A format that ends inside a conversion is shown as written.
      for (const F* p = start; *p; ++p) sink.put(static_cast<char16_t>(*p));
      break;
    }
    ++f;
    cv.conv = static_cast<char>(conv);
    switch (static_cast<char>(conv)) {
      case 'd':
      case 'i':
        if (!std::strcmp(lm, "ll") || !std::strcmp(lm, "j")) {
          put_number(sink, cv, va_arg(args, long long));
        } else if (!std::strcmp(lm, "l") || !std::strcmp(lm, "z") || !std::strcmp(lm, "t")) {
          put_number(sink, cv, va_arg(args, long));
        } else {
          cv.length[0] = 0;
          put_number(sink, cv, !std::strcmp(lm, "hh") ? static_cast<int>(static_cast<signed char>(va_arg(args, int)))
                                 : !std::strcmp(lm, "h") ? static_cast<int>(static_cast<short>(va_arg(args, int)))
                                                         : va_arg(args, int));
        }
        break;
      case 'u':
      case 'o':
      case 'x':
      case 'X':
        if (!std::strcmp(lm, "ll") || !std::strcmp(lm, "j")) {
          put_number(sink, cv, va_arg(args, unsigned long long));
        } else if (!std::strcmp(lm, "l") || !std::strcmp(lm, "z") || !std::strcmp(lm, "t")) {
          put_number(sink, cv, va_arg(args, unsigned long));
        } else {
          cv.length[0] = 0;
          unsigned v = va_arg(args, unsigned);
          if (!std::strcmp(lm, "hh")) v = static_cast<unsigned char>(v);
          if (!std::strcmp(lm, "h")) v = static_cast<unsigned short>(v);
          put_number(sink, cv, v);
        }
        break;
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
        if (!std::strcmp(lm, "L")) {
          put_number(sink, cv, va_arg(args, long double));
        } else {
          cv.length[0] = 0;
          put_number(sink, cv, va_arg(args, double));
        }
        break;
      case 'p':
        cv.length[0] = 0;
        put_number(sink, cv, va_arg(args, void*));
        break;
      case 'c':
      case 'C': {
        const int v = va_arg(args, int);
        const char16_t unit = (conv == F('C') || narrowArg) ? static_cast<char16_t>(static_cast<unsigned char>(v))
                                                            : static_cast<char16_t>(v);
        const char16_t one[2] = {unit, 0};
        Conversion textCv = cv;
        textCv.precision = 1;
        if (unit == 0) {
          const int fill = cv.width > 1 ? cv.width - 1 : 0;
          if (!cv.left) sink.pad(fill, u' ');
          sink.put(0);
          if (cv.left) sink.pad(fill, u' ');
        } else {
          put_text(sink, textCv, one);
        }
        break;
      }
      case 's':
      case 'S':
        if ((conv == F('S') && !wideArg) || narrowArg) {
          put_text(sink, cv, va_arg(args, const char*));
        } else {
          put_text(sink, cv, va_arg(args, const char16_t*));
        }
        break;
      case '%':
        sink.put(u'%');
        break;
      default:
        // Unknown conversions (and "%n", which writes through a pointer) are shown as written.
        for (const F* p = start; p < f; ++p) sink.put(static_cast<char16_t>(*p));
        break;
    }
  }
  sink.finish();
  return sink.count;
}

}  // namespace

int vformat_wide(char16_t* out, int size, const char16_t* fmt, va_list args) {
  Sink sink{out, size > 0 ? size : 0};
  return format(sink, fmt, args);
}

int vformat_wide(char16_t* out, int size, const char* fmt, va_list args) {
  Sink sink{out, size > 0 ? size : 0};
  return format(sink, fmt, args);
}

int format_unicode(char16_t* out, int size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = vformat_wide(out, size, format, args);
  va_end(args);
  return n;
}

}  // namespace base::str
