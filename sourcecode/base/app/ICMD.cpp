// Characters of key commands: what the platform's text input typed, else the German keyboard
// layout's. GetChar works from the engine key code; GetUnicodeChar from the scan code (set 1) with
// the layout's own table and dead keys, standing in for a keyboard translation.
#include "base/app/ICMD.h"

#include "base/String.h"

namespace base {

uint8_t ICMD::GetKey() const {
  if (key >= 160 && key <= 169) return static_cast<uint8_t>('0' + (key - 160));
  return key;
}

char ICMD::GetChar() const {
  if (typed) {
    const bool printable = (text >= 0x20 && text < 0x7F) || (text >= 0xA0 && text < 0x100);
    return printable ? static_cast<char>(text) : 0;
  }
  const uint8_t k = GetKey();
  if (k == 9) return 0;
  const char c = static_cast<char>(k);
  if (modifiers & MOD_SHIFT) {
    if (k == 0xDF) return '?';
    if (str::is_letter(c)) return c;
    if (str::is_digit(c)) {
      static const char kShifted[10] = {'=', '!', '"', static_cast<char>(0xA7), '$', '%', '&', '/', '(', ')'};
      return kShifted[k - '0'];
    }
    return 0;
  }
  if (k == 0xC4) return static_cast<char>(0xE4);
  if (k == 0xD6) return static_cast<char>(0xF6);
  if (k == 0xDC) return static_cast<char>(0xFC);
  if (str::is_letter(c)) return static_cast<char>(k | 0x20);
  if (str::is_digit(c) || str::is_space(c)) return c;
  return 0;
}

namespace {

// Dead keys are marked with the high bit of the table entry: the entry's low bits are the
// combining accent's index in kAccents.
constexpr char16_t kDead = 0x8000;
constexpr char16_t kAccents[] = {0x0302, 0x0300, 0x0301};  // circumflex, grave, acute
constexpr char16_t kDeadCircumflex = kDead | 0;
constexpr char16_t kDeadGrave = kDead | 1;
constexpr char16_t kDeadAcute = kDead | 2;

struct st_Key {
  uint8_t scan;
  char16_t plain;
  char16_t shifted;
};

constexpr st_Key kGermanLayout[] = {
    {0x01, 27, 27},      {0x02, u'1', u'!'},  {0x03, u'2', u'"'},  {0x04, u'3', 0xA7},
    {0x05, u'4', u'$'},  {0x06, u'5', u'%'},  {0x07, u'6', u'&'},  {0x08, u'7', u'/'},
    {0x09, u'8', u'('},  {0x0A, u'9', u')'},  {0x0B, u'0', u'='},  {0x0C, 0xDF, u'?'},
    {0x0D, kDeadAcute, kDeadGrave},           {0x0E, 8, 8},        {0x0F, 9, 9},
    {0x10, u'q', u'Q'},  {0x11, u'w', u'W'},  {0x12, u'e', u'E'},  {0x13, u'r', u'R'},
    {0x14, u't', u'T'},  {0x15, u'z', u'Z'},  {0x16, u'u', u'U'},  {0x17, u'i', u'I'},
    {0x18, u'o', u'O'},  {0x19, u'p', u'P'},  {0x1A, 0xFC, 0xDC},  {0x1B, u'+', u'*'},
    {0x1C, 13, 13},      {0x1E, u'a', u'A'},  {0x1F, u's', u'S'},  {0x20, u'd', u'D'},
    {0x21, u'f', u'F'},  {0x22, u'g', u'G'},  {0x23, u'h', u'H'},  {0x24, u'j', u'J'},
    {0x25, u'k', u'K'},  {0x26, u'l', u'L'},  {0x27, 0xF6, 0xD6},  {0x28, 0xE4, 0xC4},
    {0x29, kDeadCircumflex, 0xB0},            {0x2B, u'#', u'\''}, {0x2C, u'y', u'Y'},
    {0x2D, u'x', u'X'},  {0x2E, u'c', u'C'},  {0x2F, u'v', u'V'},  {0x30, u'b', u'B'},
    {0x31, u'n', u'N'},  {0x32, u'm', u'M'},  {0x33, u',', u';'},  {0x34, u'.', u':'},
    {0x35, u'-', u'_'},  {0x39, u' ', u' '},  {0x56, u'<', u'>'},
};

// Precomposed forms of a base letter and a combining accent (Latin-1 and Latin Extended-A).
struct st_Composition {
  char16_t base;
  char16_t accent;
  char16_t composed;
};

constexpr st_Composition kCompositions[] = {
    {u'a', 0x0300, 0xE0}, {u'a', 0x0301, 0xE1}, {u'a', 0x0302, 0xE2}, {u'e', 0x0300, 0xE8},
    {u'e', 0x0301, 0xE9}, {u'e', 0x0302, 0xEA}, {u'i', 0x0300, 0xEC}, {u'i', 0x0301, 0xED},
    {u'i', 0x0302, 0xEE}, {u'o', 0x0300, 0xF2}, {u'o', 0x0301, 0xF3}, {u'o', 0x0302, 0xF4},
    {u'u', 0x0300, 0xF9}, {u'u', 0x0301, 0xFA}, {u'u', 0x0302, 0xFB}, {u'y', 0x0301, 0xFD},
    {u'A', 0x0300, 0xC0}, {u'A', 0x0301, 0xC1}, {u'A', 0x0302, 0xC2}, {u'E', 0x0300, 0xC8},
    {u'E', 0x0301, 0xC9}, {u'E', 0x0302, 0xCA}, {u'I', 0x0300, 0xCC}, {u'I', 0x0301, 0xCD},
    {u'I', 0x0302, 0xCE}, {u'O', 0x0300, 0xD2}, {u'O', 0x0301, 0xD3}, {u'O', 0x0302, 0xD4},
    {u'U', 0x0300, 0xD9}, {u'U', 0x0301, 0xDA}, {u'U', 0x0302, 0xDB}, {u'Y', 0x0301, 0xDD},
    {u'c', 0x0301, 0x107}, {u'C', 0x0301, 0x106}, {u'n', 0x0301, 0x144}, {u'N', 0x0301, 0x143},
    {u's', 0x0301, 0x15B}, {u'S', 0x0301, 0x15A}, {u'z', 0x0301, 0x17A}, {u'Z', 0x0301, 0x179},
    {u'c', 0x0302, 0x109}, {u'C', 0x0302, 0x108}, {u'g', 0x0302, 0x11D}, {u'G', 0x0302, 0x11C},
    {u'h', 0x0302, 0x125}, {u'H', 0x0302, 0x124}, {u'j', 0x0302, 0x135}, {u'J', 0x0302, 0x134},
    {u's', 0x0302, 0x15D}, {u'S', 0x0302, 0x15C}, {u'w', 0x0302, 0x175}, {u'W', 0x0302, 0x174},
    {u'y', 0x0302, 0x177}, {u'Y', 0x0302, 0x176},
    {u'a', 0x0308, 0xE4}, {u'o', 0x0308, 0xF6}, {u'u', 0x0308, 0xFC}, {u'e', 0x0308, 0xEB},
    {u'i', 0x0308, 0xEF}, {u'y', 0x0308, 0xFF}, {u'A', 0x0308, 0xC4}, {u'O', 0x0308, 0xD6},
    {u'U', 0x0308, 0xDC}, {u'E', 0x0308, 0xCB}, {u'I', 0x0308, 0xCF},
    {u'c', 0x0327, 0xE7}, {u'C', 0x0327, 0xC7},
    {u' ', 0x0302, u'^'}, {u' ', 0x0300, u'`'}, {u' ', 0x0301, 0xB4},
};

char16_t Compose(char16_t base, char16_t accent) {
  for (const st_Composition& c : kCompositions) {
    if (c.base == base && c.accent == accent) return c.composed;
  }
  return base;  // no precomposed form: the letter stays as it is
}

}  // namespace

char16_t ICMD::GetUnicodeChar() {
  if (typed) {
    // The layout composed dead keys already.
    accent = 0;
    return text;
  }
  char16_t ch = 0;
  for (const st_Key& k : kGermanLayout) {
    if (k.scan == scan) {
      ch = (modifiers & MOD_SHIFT) ? k.shifted : k.plain;
      break;
    }
  }
  if (ch == 0) return 0;
  if (ch & kDead) {
    accent = kAccents[ch & ~kDead];
    return 0;
  }
  const char16_t pending = accent;
  accent = 0;
  return pending ? Compose(ch, pending) : ch;
}

}  // namespace base
