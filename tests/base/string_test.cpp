#include "base/String.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using base::String;
using base::UnicodeString;

namespace {

std::string S(const String& s) { return s.c_str(); }
std::u16string U(const UnicodeString& s) { return s.c_str(); }

TEST(String, EmptyFormsAreNullAndEqual) {
  String fromNull(static_cast<const char*>(nullptr)), fromEmpty(""), made;
  for (const String* s : {&fromNull, &fromEmpty, &made}) {
    EXPECT_EQ(static_cast<char*>(*s), nullptr);
    EXPECT_EQ(s->size(), 0);
    EXPECT_TRUE(*s == "");
    EXPECT_TRUE(*s == made);
    EXPECT_EQ(s->back(), 0);
  }
  String x("abc");
  x.set("q", 0);
  EXPECT_EQ(static_cast<char*>(x), nullptr);
  x = "abc";
  x._realloc(0);
  EXPECT_EQ(static_cast<char*>(x), nullptr);
}

TEST(String, ConstructorsFormatNumbersAndCharacters) {
  EXPECT_EQ(S(String(-7)), "-7");
  EXPECT_EQ(S(String(1.5f)), "1.500000");
  // The whole text however long: no fixed-size buffer cuts a large value.
  EXPECT_EQ(S(String(1e30f)), "1000000015047466219876688855040.000000");
  String zero('\0');
  EXPECT_EQ(zero.size(), 1);
  EXPECT_EQ(S(String('x')), "x");
}

TEST(String, PrintAppends) {
  String s("a");
  s.print("%d", 5);
  EXPECT_EQ(S(s), "a5");
  s.print("%s", "");
  EXPECT_EQ(S(s), "a5");
  String big;
  big.print("%s|%0300d", "x", 1);
  EXPECT_EQ(big.size(), 302);
  EXPECT_EQ(big.back(), '1');
}

TEST(String, AppendingAndAssigningThemselves) {
  String s("ab");
  s += s;
  EXPECT_EQ(S(s), "abab");
  const String& itself = s;  // through a reference: the compiler would warn of a plain s = s
  s = itself;
  EXPECT_EQ(S(s), "abab");
  s += s.c_str() + 2;  // a piece of itself
  EXPECT_EQ(S(s), "ababab");
  s.set(s.c_str() + 1, 3);
  EXPECT_EQ(S(s), "bab");
  s.insert(s.c_str(), 1);
  EXPECT_EQ(S(s), "bbabab");
  String m(std::move(s));
  EXPECT_EQ(S(m), "bbabab");
  EXPECT_EQ(s.size(), 0);
}

TEST(String, SearchesAndPieces) {
  EXPECT_EQ(String("abc").find("bc", 0), 1);
  EXPECT_EQ(String("abc").find("bc", 2), -1);
  EXPECT_EQ(String("abc").find(static_cast<const char*>(nullptr), 0), -1);
  EXPECT_EQ(String("aab").find_string("ab"), 1);
  EXPECT_EQ(String("aab").find_string(""), -1);
  EXPECT_EQ(String().find_string("a"), -1);
  EXPECT_EQ(String("a/b/c").find('/', 2), 3);
  EXPECT_EQ(String("a/b/c").find('/', 9), -1);
  EXPECT_EQ(String("a/b/c").find_last('/'), 3);
  EXPECT_EQ(String().find_last('/'), -1);

  const String s("abcdef");
  EXPECT_EQ(S(s.left(3, 0)), "abc");
  EXPECT_EQ(S(s.left(3, 4)), "abcdef");
  EXPECT_EQ(S(s.left(3, 3)), "abcdef");  // start + count must stay below the length
  EXPECT_EQ(S(s.right(2)), "ef");
  EXPECT_EQ(S(s.right(6)), "abcdef");
  EXPECT_EQ(S(s.mid(4)), "ef");
  EXPECT_EQ(s.mid(6).size(), 0);
  EXPECT_EQ(S(String("AbZ\xC4_").lower()), "abz\xC4_");
}

TEST(String, ReplaceAndInsert) {
  struct Case {
    const char* text;
    const char* from;
    const char* to;
    const char* expected;
  } cases[] = {
      {"\nx\n", "\n", "|", "|x|"},
      {"aaa", "aa", "b", "ba"},
      {"abc", "b", nullptr, "ac"},
      {"abc", "", "z", "abc"},
      {"abc", nullptr, "z", "abc"},
      {"abc", "q", "z", "abc"},
      {"a\nb", "\n", "\r\n", "a\r\nb"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(S(String(c.text).replace(c.from, c.to)), c.expected) << c.text << " " << (c.from ? c.from : "null");
  }
  String s("ace");
  s.insert("b", 1);
  s.insert("d", 3);
  s.insert("f", 99);
  s.insert("", 0);
  EXPECT_EQ(S(s), "abcdef");
}

TEST(String, OrderingIsUnsignedBytewise) {
  std::map<String, int> m;
  m[String("b")] = 2;
  m[String("a")] = 1;
  m[String("\xE4")] = 4;  // above every ASCII character
  m[String("ab")] = 3;
  std::string order;
  for (auto& [k, v] : m) order += std::to_string(v);
  EXPECT_EQ(order, "1324");
  EXPECT_TRUE(String("abc") != "abd");
  EXPECT_TRUE("abc" == String("abc"));
  EXPECT_EQ(base::str::compare(nullptr, ""), 0);
  EXPECT_EQ(base::str::compare("a", nullptr), 1);
  EXPECT_EQ(base::str::compare("ab", "abc"), -1);
  EXPECT_EQ(base::str::compare_nocase("Config.XML", "config.xml"), 0);
  EXPECT_EQ(base::str::compare(u"b", u"ab"), 1);
  EXPECT_EQ(base::str::compare(static_cast<const char16_t*>(nullptr), u""), 0);
}

TEST(String, ConcatenationOperators) {
  EXPECT_EQ(S(String("a") + "b"), "ab");
  EXPECT_EQ(S("x" + String("y")), "xy");
  EXPECT_EQ(S(String("a") + nullptr), "a");
  EXPECT_EQ(U(UnicodeString(u"a") + u"\u00e9"), u"a\u00e9");
}

TEST(UnicodeString, SharesTheNarrowOperations) {
  UnicodeString w(u"Hello World");
  EXPECT_EQ(w.size(), 11);
  EXPECT_EQ(U(w.left(5, 0)), u"Hello");
  EXPECT_EQ(U(w.mid(6)), u"World");
  EXPECT_EQ(U(w.right(5)), u"World");
  EXPECT_EQ(w.find(u'W', 0), 6);
  EXPECT_EQ(*w.get_buffer(6), u'W');
  UnicodeString c(u'\u00df');
  EXPECT_EQ(c.size(), 1);
  w += c;
  EXPECT_EQ(U(w), u"Hello World\u00df");
  EXPECT_TRUE(UnicodeString(u"a") < UnicodeString(u"b"));
}

TEST(UnicodeString, Latin1Conversions) {
  const UnicodeString w = base::str::convert_string_to_unicode(String("A\xE4\xFF"));
  EXPECT_EQ(U(w), u"A\u00e4\u00ff");
  EXPECT_EQ(S(base::str::convert_unicode_to_string(w)), "A\xE4\xFF");
  EXPECT_EQ(S(base::str::convert_unicode_to_string(UnicodeString(u"a\u20acb"))), "a?b");
  EXPECT_EQ(base::str::convert_string_to_unicode(String()).size(), 0);
}

}  // namespace
