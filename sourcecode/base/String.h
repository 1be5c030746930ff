// The engine's own strings: tString<BaseString> (8-bit names, paths, labels, messages) and
// tString<BaseUnicodeString> (16-bit UTF-16 text for display), plus the free character and number
// functions of base::str on which the engine's parsers are built. Included nearly everywhere:
// keep it free of heavy headers.
#pragma once

#include <cstdarg>

namespace base {

class File;

// Width tags: the tag only selects the character type.
struct BaseString {
  using char_type = char;
};
struct BaseUnicodeString {
  using char_type = char16_t;
};

// An owned, exactly sized, NUL-terminated text. Empty means a null text and length 0; every
// function here and in base::str reads a null text as the empty text. No spare capacity: each
// change reallocates (base::Text is the growable variant).
template <class B>
class tString : public B {
 public:
  using C = typename B::char_type;

  tString() = default;
  tString(const C* p);  // null gives empty
  tString(const tString& other);
  tString(tString&& other) noexcept;
  explicit tString(C c);  // one character, length 1 even for 0
  explicit tString(int v);    // "%d"
  explicit tString(float v);  // "%f", the whole text however long
  virtual ~tString();

  // Virtual operations; base::Text overrides all three to keep spare room.
  virtual void clear();                // release; text null, length 0
  virtual void set(const C* p, int n);  // exactly n characters from p (p may alias); null p reserves n
  virtual void _realloc(int n);         // resize to n keeping min(length, n); terminator at n

  tString& operator=(const C* p);
  tString& operator=(const tString& other);
  tString& operator=(tString&& other) noexcept;
  tString& operator+=(const tString& s);  // appending a string to itself doubles it
  tString& operator+=(const C* s);
  tString& operator+=(C c);

  // Appends the formatted text. A narrow format follows printf (narrow arguments); a wide format
  // follows base::str::vformat_wide (UTF-16 "%s"). The result is converted to the string's
  // width through Latin-1.
  __attribute__((format(printf, 2, 3))) void print(const char* fmt, ...);
  void print(const char16_t* fmt, ...);
  void vprint(const char* fmt, va_list args);
  void vprint(const char16_t* fmt, va_list args);

  bool operator==(const C* p) const;
  bool operator==(const tString& s) const;
  bool operator!=(const C* p) const { return !(*this == p); }
  bool operator!=(const tString& s) const { return !(*this == s); }
  bool operator<(const tString& s) const;  // the engine's map order: compare(a, b) < 0

  C& operator[](int i) { return m_text[i]; }           // no range check
  C operator[](int i) const { return m_text[i]; }      // no range check
  C back() const { return m_length ? m_text[m_length - 1] : C(0); }  // 0 when empty
  int size() const { return m_length; }
  bool empty() const { return m_length == 0; }
  operator C*() const { return m_text; }                // null when empty
  const C* c_str() const;                               // never null: "" when empty
  C* get_buffer(int i = 0) const { return m_text + i; }  // address of character i

  int find(const C* s, int start = 0) const;  // first position >= start of s; -1 for none or null s
  int find(C c, int start = 0) const;         // first position >= start holding c; -1 for none
  int find_last(C c) const;                   // -1 for none
  int find_string(const C* s) const;          // -1 for null/empty s, empty string or none
  tString mid(int start) const;               // from start to the end; empty when start >= length
  tString left(int count, int start = 0) const;  // whole copy unless start + count < length
  tString right(int n) const;                 // last n characters; whole copy when n >= length
  tString lower() const;                      // 'A'-'Z' to 'a'-'z' only
  tString replace(const C* a, const C* b) const;  // every a (left to right, no overlap) by b
  void insert(const C* s, int pos);           // before pos; pos >= length appends

  // File record: i32 length in characters, then the characters (2 bytes each when wide), no
  // terminator. Read rejects a negative length or one beyond the end of the file, logs
  // "ERROR: ..." with the file name, marks the file failed and leaves the string empty.
  bool Read(File* file);
  bool Write(File* file) const;
  bool Read(File& file) { return Read(&file); }
  bool Write(File& file) const { return Write(&file); }

  // Takes ownership of text (allocated with new[], length + 1 characters, terminated) in place
  // of the current buffer, without copying.
  void adopt_buffer(C* text, int length);

 protected:
  // Called after a buffer was moved in from elsewhere so a subclass can fix its bookkeeping.
  virtual void _adopted() {}

  C* m_text = nullptr;
  int m_length = 0;
};

using String = tString<BaseString>;
using UnicodeString = tString<BaseUnicodeString>;

tString<BaseString> operator+(const tString<BaseString>& a, const char* b);
tString<BaseString> operator+(const char* a, const tString<BaseString>& b);
tString<BaseUnicodeString> operator+(const tString<BaseUnicodeString>& a, const char16_t* b);
tString<BaseUnicodeString> operator+(const char16_t* a, const tString<BaseUnicodeString>& b);

extern template class tString<BaseString>;
extern template class tString<BaseUnicodeString>;

}  // namespace base

namespace base::str {

int len(const char* p);  // 0 for null
int len(const char16_t* p);

inline bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
inline bool is_space(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
inline bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_letter_ex(char c);  // letters and the Latin-1 umlauts and sharp s
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_label_char(char c) { return is_letter(c) || is_digit(c) || c == '_'; }
inline bool is_path_char(char c) { return is_label_char(c) || c == '.' || c == '/' || c == '\\'; }

const char* skip_spaces(const char* p);       // first non-space (the terminator at the latest)
const char* find_label_end(const char* p);    // first character that is not a label character
const char* find_char(const char* p, char c);  // first c, or the terminator
const char* find_string_end(const char* p);   // one past the terminator
const char* next_string_line(const char* p);  // just behind the next '\n', or the terminator
bool string_match(const char* text, const char* prefix);  // text begins with prefix
const char* find_next_match(const char* text, const char* pattern);  // null when none or text empty

// Windows-style file-name wildcards: '*' any run, '?' one character, letters compared without
// case; a pattern ending in ".*" also matches names without a dot ("*.*" matches everything).
bool wildcard_match(const char* name, const char* pattern);

enum en_NumberType { NT_NONE = 0, NT_NUMBER = 2 };
// Recognises [+-]digits[.digits][(e|E)[+-]digits] at p: length = characters consumed, kind 2 when
// the text has digits, a '.' or an exponent. False only for a null p.
bool get_number_info(const char* p, en_NumberType& kind, int& length);
int ascii_to_integer(const char* p);  // through the double value, truncated; 0 for none
double ascii_to_real(const char* p);  // 0.0 for none; "1e+006" and "1e+06" both read

int compare(const char* a, const char* b);  // -1/0/1, unsigned bytes, null reads as ""
int compare(const char16_t* a, const char16_t* b);
int compare_nocase(const char* a, const char* b);  // as compare with 'A'-'Z' folded to 'a'-'z'

tString<BaseUnicodeString> convert_string_to_unicode(const tString<BaseString>& s);  // Latin-1 widening
// Narrowing: units below 256 become the byte of the same code, others become '?'.
tString<BaseString> convert_unicode_to_string(const tString<BaseUnicodeString>& s);

// Wide printf into out (room for size units, terminator included): the format is narrow and is
// widened whole. Returns the length of the full result; a result >= size was cut to fit.
int format_unicode(char16_t* out, int size, const char* format, ...);
// The wide formatter behind tString<BaseUnicodeString>::print and format_unicode. Conversions as
// printf: %s and %ls take a UTF-16 text, %hs and %S a narrow one; %c a UTF-16 unit, %hc and %C a
// narrow character; numbers as printf. Writes at most size - 1 units and a terminator.
int vformat_wide(char16_t* out, int size, const char16_t* format, va_list args);
int vformat_wide(char16_t* out, int size, const char* format, va_list args);

}  // namespace base::str
