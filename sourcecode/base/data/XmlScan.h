// Private to the XML readers: the element grammar and the scanning steps both parsers share, so
// that the Variant reader and the word reader accept exactly the same text. Every step stops at
// the text's NUL.
#pragma once

#include <cstring>
#include <new>

#include "base/data/StaticVariant.h"
#include "base/String.h"
#include "base/system.h"

namespace base::xml_scan {

// Names are interned for the life of the process: a longer one is refused as malformed rather
// than kept forever.
constexpr int kMaxNameLength = 1024;

// Runs read, turning a failed allocation into the readers' error line and a false result: a
// document too large for the memory left is bad input like any other, not a crash.
template <class Read>
bool guard_memory(const char* name, Read&& read) {
  try {
    return read();
  } catch (const std::bad_alloc&) {
    sys::Output("ERROR: xml-file '%s': out of memory\n", name ? name : "");
    return false;
  }
}

struct st_Error {
  const char* at = nullptr;    // where in the text
  const char* what = nullptr;  // static description
};

inline bool fail(st_Error& e, const char* at, const char* what) {
  if (!e.what) {
    e.at = at;
    e.what = what;
  }
  return false;
}

inline const char* skip_blanks(const char* p) {
  while (str::is_space(*p)) ++p;
  return p;
}

// element name -> [A-Za-z0-9_]*
inline const char* name_end(const char* p) {
  while (str::is_label_char(*p)) ++p;
  return p;
}

// attribute -> name-up-to-'=' '=' ... '"' value '"'
// p stands on the first character of the name; afterwards just past the closing quote.
struct st_Attribute {
  const char* name;
  int nameLength;
  const char* value;
  int valueLength;
};

inline bool scan_attribute(const char*& p, st_Attribute& a, st_Error& e) {
  const char* eq = std::strchr(p, '=');
  if (!eq) return fail(e, p, "attribute without '='");
  const char* open = std::strchr(p, '"');
  if (!open) return fail(e, p, "attribute value without opening quote");
  const char* close = std::strchr(open + 1, '"');
  if (!close) return fail(e, open, "attribute value without closing quote");
  if (eq - p > kMaxNameLength) return fail(e, p, "attribute name too long");
  a.name = p;
  a.nameLength = static_cast<int>(eq - p);
  a.value = open + 1;
  a.valueLength = static_cast<int>(close - open - 1);
  p = close + 1;
  return true;
}

// element -> '<' name (blanks attribute)* blanks ('/>' | '>' content)
// content -> (blanks (comment | closing-tag | element | '>' | text))*
// The grammar both readers walk. p stands anywhere before the element's '<'; afterwards just
// past the element. The reader is told the parts through:
//   bool open(const char* lt, const char* name, int length)   the tag's name
//   bool attribute(const st_Attribute& a)                        each attribute, in order
//   bool child(const char*& p, int depth)                     a nested element, p on its '<'
//   bool text(const char* p, int length)                      text between tags
// and says in gtEndsContent what a lone '>' in content means: the word reader ends the
// element's content there, the Variant reader refuses it.
template <class Reader>
bool element(const char*& p, int depth, Reader& reader, bool gtEndsContent, st_Error& e) {
  const char* lt = std::strchr(p, '<');
  if (!lt) return fail(e, p, "no element where one must start");
  if (depth >= kMaxTreeDepth) return fail(e, lt, "elements nested too deep");
  const char* name = lt + 1;
  p = name_end(name);
  if (p - name > kMaxNameLength) return fail(e, name, "element name too long");
  if (!reader.open(lt, name, static_cast<int>(p - name))) return false;

  for (;;) {
    p = skip_blanks(p);
    if (*p == '>') {
      ++p;
      break;
    }
    if (*p == '/') {
      if (p[1] != '>') return fail(e, p, "'/' in a tag not followed by '>'");
      p += 2;
      return true;
    }
    st_Attribute a;
    if (!scan_attribute(p, a, e) || !reader.attribute(a)) return false;
  }

  for (;;) {
    p = skip_blanks(p);
    if (*p == 0) return fail(e, lt, "element not closed before the end of the text");
    if (*p == '<') {
      if (p[1] == '!' && p[2] == '-' && p[3] == '-') {
        const char* end = std::strstr(p + 4, "-->");
        if (!end) return fail(e, p, "comment not closed");
        p = end + 3;
      } else if (p[1] == '/') {
        const char* end = std::strchr(p + 2, '>');
        if (!end) return fail(e, p, "closing tag without '>'");
        p = end + 1;
        return true;
      } else if (!reader.child(p, depth + 1)) {
        return false;
      }
    } else if (*p == '>') {
      if (!gtEndsContent) return fail(e, p, "'>' where element content is expected");
      ++p;
      return true;
    } else {
      const char* end = std::strchr(p, '<');
      if (!end) end = p + std::strlen(p);
      if (!reader.text(p, static_cast<int>(end - p))) return false;
      p = end;
    }
  }
}

// A value is a number when it begins like one and only blanks follow the number.
inline bool rest_blank(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (!str::is_space(*p)) return false;
  }
  return true;
}

inline bool number_value_slow(const char* v, int length, float& out) {
  str::en_NumberType kind;
  int n = 0;
  str::get_number_info(v, kind, n);
  if (kind != str::NT_NUMBER || n > length || !rest_blank(v + n, v + length)) return false;
  out = static_cast<float>(str::ascii_to_real(v));
  return true;
}

// Plain decimals ([+-]digits[.digits], at most 15 digits) are converted here: the digits form an
// exact double and so does the power of ten, so one division gives the correctly rounded double,
// the same value the text-to-double conversion gives. Everything else takes the general path.
inline bool number_value(const char* v, int length, float& out) {
  static const double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* q = v;
  const char* end = v + length;
  if (length == 0 || !(str::is_digit(*q) || *q == '+' || *q == '-')) return false;  // ".5" is text
  bool negative = false;
  if (q < end && (*q == '+' || *q == '-')) negative = *q++ == '-';
  if (q == end || !(str::is_digit(*q) || *q == '.')) return number_value_slow(v, length, out);
  unsigned long long mantissa = 0;
  int digits = 0;
  int fraction = 0;
  while (q < end && str::is_digit(*q)) {
    mantissa = mantissa * 10 + static_cast<unsigned>(*q++ - '0');
    ++digits;
  }
  if (q < end && *q == '.') {
    ++q;
    while (q < end && str::is_digit(*q)) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*q++ - '0');
      ++digits;
      ++fraction;
    }
  }
  if (digits == 0 || digits > 15 || (q < end && (*q == 'e' || *q == 'E'))) return number_value_slow(v, length, out);
  if (!rest_blank(q, end)) return false;
  double value = static_cast<double>(mantissa);
  if (fraction) value /= powers[fraction];
  out = static_cast<float>(negative ? -value : value);
  return true;
}

// Decodes &quot; &lt; &gt; &amp; &apos; from [p, p + n) into out (room for n characters); every
// other '&' is copied as it stands. Returns the decoded length.
inline int decode_entities(const char* p, int n, char* out) {
  static const struct {
    const char* text;
    int length;
    char c;
  } entities[] = {{"&quot;", 6, '"'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&amp;", 5, '&'}, {"&apos;", 6, '\''}};
  int o = 0;
  for (int i = 0; i < n;) {
    if (p[i] == '&') {
      bool done = false;
      for (const auto& e : entities) {
        if (i + e.length <= n && std::memcmp(p + i, e.text, static_cast<size_t>(e.length)) == 0) {
          out[o++] = e.c;
          i += e.length;
          done = true;
          break;
        }
      }
      if (done) continue;
    }
    out[o++] = p[i++];
  }
  return o;
}

inline bool has_entity(const char* p, int n) { return std::memchr(p, '&', static_cast<size_t>(n)) != nullptr; }

// Where the root starts: past the prolog (if any) and the comments before the root, which
// would otherwise be taken for the root itself. Null when a prolog is not closed.
inline const char* after_prolog(const char* text) {
  const char* p = text;
  if (const char* prolog = std::strstr(text, "<?xml")) {
    const char* end = std::strstr(prolog + 5, "?>");
    if (!end) return nullptr;
    p = end + 2;
  }
  for (;;) {
    p = skip_blanks(p);
    if (std::strncmp(p, "<!--", 4) != 0) return p;
    const char* end = std::strstr(p + 4, "-->");
    if (!end) return p;  // the element scanner reports the unclosed comment
    p = end + 3;
  }
}

// Line and column (from 1) of at within text, for messages.
inline void locate(const char* text, const char* at, int& line, int& column) {
  line = 1;
  column = 1;
  for (const char* p = text; p < at && *p; ++p) {
    if (*p == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

}  // namespace base::xml_scan
