// Private to the XML readers: the element grammar and the scanning steps both parsers share, so
// that the Variant reader and the word reader accept exactly the same text. Every step stops at
// the text's NUL.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>

#include "base/data/StaticVariant.h"
#include "base/text/Vocable.h"
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

// Character classes of the scanning loops, one table look-up per character instead of a chain
// of comparisons.
enum en_CharClass : unsigned char {
  CC_BLANK = 1,       // ' ' '\t' '\r' '\n' (str::is_space)
  CC_LABEL = 2,       // [A-Za-z0-9_] (str::is_label_char)
  CC_ATTR_STOP = 4,   // '=' '"' NUL: where the scan of an attribute's name stops
  CC_QUOTE_STOP = 8,  // '"' NUL: the end of an attribute value
};

struct st_CharClasses {
  unsigned char c[256];
  constexpr st_CharClasses() : c() {
    c[static_cast<unsigned char>(' ')] = c[static_cast<unsigned char>('\t')] = CC_BLANK;
    c[static_cast<unsigned char>('\r')] = c[static_cast<unsigned char>('\n')] = CC_BLANK;
    for (int i = 0; i < 256; ++i) {
      const bool label = (i >= 'A' && i <= 'Z') || (i >= 'a' && i <= 'z') || (i >= '0' && i <= '9') || i == '_';
      if (label) c[i] |= CC_LABEL;
    }
    c[0] |= CC_ATTR_STOP | CC_QUOTE_STOP;
    c[static_cast<unsigned char>('=')] |= CC_ATTR_STOP;
    c[static_cast<unsigned char>('"')] |= CC_ATTR_STOP | CC_QUOTE_STOP;
  }
};
inline constexpr st_CharClasses kClasses;

inline bool has_class(char c, unsigned char classes) { return (kClasses.c[static_cast<unsigned char>(c)] & classes) != 0; }

// The name hash the readers compute while they scan a name, so that interning it needs no second
// pass over its characters.
inline uint32_t hash_step(uint32_t h, char c) { return (h ^ static_cast<unsigned char>(c)) * 0x01000193u; }
constexpr uint32_t kHashStart = 0x811c9dc5u;

inline const char* skip_blanks(const char* p) {
  while (has_class(*p, CC_BLANK)) ++p;
  return p;
}

// element name -> [A-Za-z0-9_]*
inline const char* name_end(const char* p, uint32_t& hash) {
  uint32_t h = kHashStart;
  for (; has_class(*p, CC_LABEL); ++p) h = hash_step(h, *p);
  hash = h;
  return p;
}

// Powers of ten that are exact doubles, for the number conversions below.
inline constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The usual attribute value, a plain decimal ([+-]digits[.digits], at most 15 digits) directly
// before the closing quote, converted while the quote is searched; v is the value's first
// character. Returns the closing quote, or null for any other value, which the caller then scans
// and converts the general way (number_value, which gives these values the same result).
inline const char* quoted_number(const char* v, float& out) {
  const char* q = v;
  if (!(str::is_digit(*q) || *q == '+' || *q == '-')) return nullptr;  // ".5" is text
  bool negative = false;
  if (*q == '+' || *q == '-') negative = *q++ == '-';
  unsigned long long mantissa = 0;
  int digits = 0;
  int fraction = 0;
  for (; str::is_digit(*q); ++q, ++digits) mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
  if (*q == '.') {
    for (++q; str::is_digit(*q); ++q, ++digits, ++fraction) mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
  }
  if (*q != '"' || digits == 0 || digits > 15) return nullptr;
  double value = static_cast<double>(mantissa);
  if (fraction) value /= kPowersOfTen[fraction];
  out = static_cast<float>(negative ? -value : value);
  return q;
}

// attribute -> name-up-to-'=' '=' ... '"' value '"'
// p stands on the first character of the name; afterwards just past the closing quote. The name
// runs to the first '=' and the value opens at the first '"', each searched from the name's start.
struct st_Attribute {
  const char* name;
  int nameLength;
  uint32_t nameHash;
  const char* value;
  int valueLength;
  bool numberKnown;  // number holds the value's conversion (else ask number_value)
  float number;
};

inline bool scan_attribute(const char*& p, st_Attribute& a, st_Error& e) {
  const char* q = p;
  uint32_t h = kHashStart;
  for (; !has_class(*q, CC_ATTR_STOP); ++q) h = hash_step(h, *q);
  const char* eq = nullptr;
  const char* open = nullptr;
  if (*q == '=') {
    eq = q;
    for (q = eq + 1; !has_class(*q, CC_QUOTE_STOP); ++q) {
    }
    if (*q == '"') open = q;
  } else if (*q == '"') {
    // A quote before the '=': the name still runs to the '=', wherever it is.
    open = q;
    eq = std::strchr(q, '=');
    if (eq) {
      for (const char* c = q; c < eq; ++c) h = hash_step(h, *c);
    }
  }
  if (!eq) return fail(e, p, "attribute without '='");
  if (!open) return fail(e, p, "attribute value without opening quote");
  const char* close = quoted_number(open + 1, a.number);
  a.numberKnown = close != nullptr;
  if (!close) {
    close = open + 1;
    while (!has_class(*close, CC_QUOTE_STOP)) ++close;
    if (*close != '"') return fail(e, open, "attribute value without closing quote");
  }
  if (eq - p > kMaxNameLength) return fail(e, p, "attribute name too long");
  a.name = p;
  a.nameLength = static_cast<int>(eq - p);
  a.nameHash = h;
  a.value = open + 1;
  a.valueLength = static_cast<int>(close - open - 1);
  p = close + 1;
  return true;
}

// The ids of the names one parse has met, by the hash computed while scanning: a document
// repeats a few dozen names many thousand times, and the interned-name table is only asked on a
// miss. Ids come out exactly as find_or_add_id gives them, in the same order. Lives for one parse
// only, so it never outlasts the table (which fuzz builds empty between inputs).
class cl_NameCache {
 public:
  unsigned id(const char* name, int length, uint32_t hash) {
    // Up to four neighbouring entries, so two names meeting in one entry do not evict each other.
    const uint32_t home = hash ^ (hash >> 13);
    st_Entry* free = nullptr;
    for (uint32_t k = 0; k < 4; ++k) {
      st_Entry& e = m_entries[(home + k) & (kEntries - 1)];
      if (!e.id) {
        free = &e;
        break;
      }
      if (e.hash == hash && e.length == length && same_text(e.text, name, length)) return e.id;
    }
    const unsigned id = vocable::find_or_add_id(name, length);
    const unsigned char* text = vocable::from_id(id);
    // A name cut short by a NUL is interned as the shorter name: not cached under the longer one.
    if (vocable::length_of(text) == length) *(free ? free : &m_entries[home & (kEntries - 1)]) = {hash, length, id, text};
    return id;
  }

 private:
  // Names are short: a plain loop beats the library call.
  static bool same_text(const unsigned char* a, const char* b, int n) {
    for (int i = 0; i < n; ++i)
      if (a[i] != static_cast<unsigned char>(b[i])) return false;
    return true;
  }

  static constexpr int kEntries = 256;
  struct st_Entry {
    uint32_t hash;
    int length;
    unsigned id;
    const unsigned char* text;
  };
  st_Entry m_entries[kEntries] = {};
};

// element -> '<' name (blanks attribute)* blanks ('/>' | '>' content)
// content -> (blanks (comment | closing-tag | element | '>' | text))*
// The grammar both readers walk. p stands anywhere before the element's '<'; afterwards just
// past the element. The reader is told the parts through:
//   bool open(const char* lt, const char* name, int length, uint32_t hash)   the tag's name
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
  uint32_t hash;
  p = name_end(name, hash);
  if (p - name > kMaxNameLength) return fail(e, name, "element name too long");
  if (!reader.open(lt, name, static_cast<int>(p - name), hash)) return false;

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
  if (fraction) value /= kPowersOfTen[fraction];
  out = static_cast<float>(negative ? -value : value);
  return true;
}

// The number an attribute's value reads as, if it does.
inline bool attribute_number(const st_Attribute& a, float& out) {
  if (a.numberKnown) {
    out = a.number;
    return true;
  }
  return number_value(a.value, a.valueLength, out);
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

// misc -> (blanks (comment | processing-instruction | doctype))* blanks
// What may stand between the prolog and the root element. p stands anywhere before the root;
// afterwards on the root's '<' (or the text's end). False when one of them is not closed.
inline bool skip_misc(const char*& p, st_Error& e) {
  for (;;) {
    p = skip_blanks(p);
    if (p[0] != '<') return true;
    const char* end = nullptr;
    if (p[1] == '!' && p[2] == '-' && p[3] == '-') {
      end = std::strstr(p + 4, "-->");
      if (!end) return fail(e, p, "comment not closed");
      p = end + 3;
    } else if (p[1] == '?') {
      end = std::strstr(p + 2, "?>");
      if (!end) return fail(e, p, "processing instruction without '?>'");
      p = end + 2;
    } else if (std::strncmp(p + 1, "!DOCTYPE", 8) == 0) {
      // The declaration may carry an internal subset in brackets, which holds '>' of its own.
      const char* q = p + 9;
      while (*q && *q != '>' && *q != '[') ++q;
      if (*q == '[') {
        q = std::strchr(q, ']');
        if (q) q = std::strchr(q, '>');
      }
      if (!q || !*q) return fail(e, p, "DOCTYPE not closed");
      p = q + 1;
    } else {
      return true;
    }
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
