#include "base/String.h"

#include <gtest/gtest.h>

namespace str = base::str;

namespace {

TEST(StrNumbers, RecognisesNumberTexts) {
  struct Case {
    const char* text;
    str::en_NumberType kind;
    int length;
  } cases[] = {
      {"12abc", str::NT_NUMBER, 2},   {"+.5", str::NT_NUMBER, 3},  {"+x", str::NT_NONE, 1},
      {"x", str::NT_NONE, 0},         {"-", str::NT_NONE, 1},      {"1.5.3", str::NT_NUMBER, 3},
      {"1e+006", str::NT_NUMBER, 6},  {"2E-3x", str::NT_NUMBER, 4}, {"1e5e3", str::NT_NUMBER, 3},
      {"3.e", str::NT_NUMBER, 3},     {"", str::NT_NONE, 0},       {".5", str::NT_NONE, 0},
  };
  for (const Case& c : cases) {
    str::en_NumberType kind;
    int length = -1;
    EXPECT_TRUE(str::get_number_info(c.text, kind, length)) << c.text;
    EXPECT_EQ(kind, c.kind) << c.text;
    EXPECT_EQ(length, c.length) << c.text;
  }
  str::en_NumberType kind;
  int length;
  EXPECT_FALSE(str::get_number_info(nullptr, kind, length));
}

TEST(StrNumbers, ConvertsOnlyTheRecognisedPrefix) {
  EXPECT_EQ(str::ascii_to_integer("12abc"), 12);
  EXPECT_EQ(str::ascii_to_integer("-3.9"), -3);
  EXPECT_EQ(str::ascii_to_integer("1e3"), 1000);
  EXPECT_EQ(str::ascii_to_integer("0x10"), 0);  // not hexadecimal
  EXPECT_EQ(str::ascii_to_integer("1e20"), 2147483647);
  EXPECT_EQ(str::ascii_to_integer(nullptr), 0);
  EXPECT_EQ(str::ascii_to_integer("inf"), 0);
  // Both exponent spellings of "%g" texts: three digits from one runtime, two from another.
  EXPECT_DOUBLE_EQ(str::ascii_to_real("1.23457e+006"), 1.23457e6);
  EXPECT_DOUBLE_EQ(str::ascii_to_real("1.23457e+06"), 1.23457e6);
  EXPECT_DOUBLE_EQ(str::ascii_to_real("-2.5E-003,"), -0.0025);
  EXPECT_DOUBLE_EQ(str::ascii_to_real("nan"), 0.0);
  EXPECT_DOUBLE_EQ(str::ascii_to_real(std::string(100, '1').c_str()), 1.1111111111111111e99);
}

TEST(StrScan, CharacterClassesAndScanners) {
  EXPECT_TRUE(str::is_space('\r'));
  EXPECT_FALSE(str::is_space('\v'));
  EXPECT_TRUE(str::is_letter_ex('\xDF'));
  EXPECT_FALSE(str::is_letter_ex('\xE9'));
  EXPECT_FALSE(str::is_label_char('\xC4'));
  EXPECT_TRUE(str::is_path_char('\\'));
  const char* text = "  \t label_1.x\nnext";
  const char* p = str::skip_spaces(text);
  EXPECT_EQ(*p, 'l');
  EXPECT_EQ(*str::find_label_end(p), '.');
  EXPECT_EQ(str::next_string_line(text), text + 14);
  EXPECT_EQ(*str::next_string_line(text + 14), 0);
  EXPECT_EQ(*str::find_char(text, 'q'), 0);
  const char pair[] = "ab\0cd";
  EXPECT_STREQ(str::find_string_end(pair), "cd");
  EXPECT_TRUE(str::string_match("texture", "tex"));
  EXPECT_FALSE(str::string_match("t", "tex"));
  EXPECT_TRUE(str::string_match("t", ""));
  EXPECT_EQ(str::find_next_match("", "a"), nullptr);
  const char* hay = "abcabc";
  EXPECT_EQ(str::find_next_match(hay, "ca"), hay + 2);
  EXPECT_EQ(str::find_next_match(hay, ""), hay);
  EXPECT_EQ(str::len(static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(str::len(u"abc"), 3);
}

TEST(StrWildcard, MatchesLikeFileSearches) {
  struct Case {
    const char* name;
    const char* pattern;
    bool match;
  } cases[] = {
      {"README", "*.*", true},       {"a.xml", "*.*", true},        {".", "*.*", true},
      {"slot001.sav", "*.sav", true}, {"slot001.SAV", "*.sav", true}, {"slot001.savx", "*.sav", false},
      {"a.xml", "?.xml", true},      {"ab.xml", "?.xml", false},    {"abc", "a*c", true},
      {"abd", "a*c", false},         {"Config.xml", "config.*", true}, {"config", "config.*", true},
      {"", "*", true},               {"x", "", false},              {"aXbXc", "*X*X*", true},
      {"aaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*c", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(str::wildcard_match(c.name, c.pattern), c.match) << c.name << " ~ " << c.pattern;
  }
}

TEST(StrWideFormat, FormatsUtf16ArgumentsAndNumbers) {
  char16_t buf[128];
  const char16_t name[] = u"Level\u00e9";
  int n = str::format_unicode(buf, 128, "%s %i, %s %i, %i:%i%i%s", name, 3, u"Day", 12, 9, 0, 5, u"h");
  EXPECT_EQ(std::u16string(buf), u"Level\u00e9 3, Day 12, 9:05h");
  EXPECT_EQ(n, 23);
  str::format_unicode(buf, 128, "[%5s|%-4s|%.2s|%hs|%S|%c|%C]", u"ab", u"c", u"xyz", "nar", "row", u'\u20ac', 'q');
  EXPECT_EQ(std::u16string(buf), u"[   ab|c   |xy|nar|row|\u20ac|q]");
  str::format_unicode(buf, 128, "%05.1f %g %x %X %+d %lld %u %% %5.3d", 3.14159, 1e6, 255u, 255u, 4, -5ll, 7u, 42);
  EXPECT_EQ(std::u16string(buf), u"003.1 1e+06 ff FF +4 -5 7 %   042");
}

TEST(StrWideFormat, NeverCutsTheFormatAndReportsTheFullLength) {
  // A format far longer than any fixed widening buffer.
  std::string fmt(200, '-');
  fmt += "%d";
  char16_t buf[300];
  EXPECT_EQ(str::format_unicode(buf, 300, fmt.c_str(), 7), 201);
  EXPECT_EQ(buf[200], u'7');
  // A small destination gets what fits, terminated; the result tells the full length.
  char16_t small[5];
  EXPECT_EQ(str::format_unicode(small, 5, "%s-%d", u"abcdef", 1), 8);
  EXPECT_EQ(std::u16string(small), u"abcd");
  EXPECT_EQ(str::format_unicode(nullptr, 0, "%d", 12345), 5);
  // Unknown conversions and "%n" are shown, never executed.
  EXPECT_EQ(str::format_unicode(buf, 300, "a%nb%q"), 6);
  EXPECT_EQ(std::u16string(buf), u"a%nb%q");
  str::format_unicode(buf, 300, "%s", static_cast<const char16_t*>(nullptr));
  EXPECT_EQ(std::u16string(buf), u"(null)");
}

TEST(StrWideFormat, WideStringPrintAppends) {
  base::UnicodeString w(u"Slot ");
  w.print(u"%d: %s", 2, u"auto");
  EXPECT_EQ(std::u16string(w.c_str()), u"Slot 2: auto");
  w.print(u"%s", u"");
  EXPECT_EQ(w.size(), 12);
}

}  // namespace

namespace {

TEST(StrWideFormat, PrintAcrossWidthsConvertsLatin1) {
  base::UnicodeString w;
  w.print("%s=%d", "n\xE4me", 5);  // a narrow format on a wide string
  EXPECT_EQ(std::u16string(w.c_str()), u"n\u00e4me=5");
  base::String s;
  s.print(u"%s|%c", u"\u00e4\u20ac", u'x');  // a wide format on a narrow string
  EXPECT_STREQ(s.c_str(), "\xE4?|x");
}

}  // namespace
