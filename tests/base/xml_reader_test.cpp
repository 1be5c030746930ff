// The XML dialect as both readers take it: every case runs through the Variant reader and the word
// reader, and the word tree expanded with copy_to must equal the Variant tree.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/data/Binary.h"
#include "base/data/StaticVariant.h"
#include "base/text/Text.h"
#include "base/data/Variant.h"
#include "base/text/Vocable.h"
#include "base/data/Xml.h"
#include "test_support.h"
#include "xml_test_dump.h"

namespace {

using base::StaticVariant;
using base::Variant;

using xmltest::dump;

// Parses with both readers; both must agree on success and on the tree.
std::string parse_both(const char* text) {
  Variant v;
  StaticVariant sv;
  testsupport::LogCapture log;
  const bool okV = base::xml::read_text(v, text);
  const bool okS = base::xml::read_text(sv, text);
  EXPECT_EQ(okV, okS) << text;
  if (!okV) return "FAIL";
  Variant expanded;
  sv.copy_to(expanded);
  EXPECT_EQ(dump(expanded), dump(v)) << text;
  int bad;
  const char* why;
  EXPECT_TRUE(base::static_variant_validate(sv.get_words(), sv.get_size(), nullptr, nullptr, bad, why)) << why;
  return dump(v);
}

TEST(XmlReader, DialectCases) {
  const std::string f15 = std::to_string(1.5f), f7 = std::to_string(7.0f), f12 = std::to_string(12.0f);
  struct {
    const char* text;
    std::string tree;
  } cases[] = {
      {"<a x=\"1.5\" t=\"7  \" y=\"abc\" z=\"  7\" w=\"\"/>",
       "e(a)[x=f:" + f15 + ",t=f:" + f7 + ",y='abc',z='  7',w='']()"},
      {"<a n=\"12\"/>", "e(a)[n=f:" + f12 + "]()"},
      {"<a n=\"12px\"/>", "e(a)[n='12px']()"},
      {"<a n=\".5\"/>", "e(a)[n='.5']()"},
      {"<a> hello <b/> world </a>", "e(a)[]('hello ',e(b)[](),'world ')"},
      {"<a><!-- note --><b/></a>", "e(a)[](e(b)[]())"},
      // Comments before the root (with markup inside) are not the root.
      {"<?xml version=\"1.0\"?>\n<!-- <b/> --> <!-- x --><a/>", "e(a)[]()"},
      {"<!-- lead --><a><b/></a>", "e(a)[](e(b)[]())"},
      {"<a></b>", "e(a)[]()"},
      {"junk before <a/> and after", "e(a)[]()"},
      {"<a\n\tx = \"1\"\n/>", "e(a)[x =f:" + std::to_string(1.0f) + "]()"},
      {"<a><></></a>", "e(a)[](e()[]())"},
      {"<a s=\"&quot;q&quot; &lt;&gt; &amp;amp; &apos; &unknown; &\">x &lt; y &amp; z</a>",
       "e(a)[s='\"q\" <> &amp; ' &unknown; &']('x < y & z')"},
      // What may stand between the prolog and the root is skipped, never taken as the root.
      {"<?xml version=\"1.0\"?>\n<!-- note <b/> -->\n<a x=\"q\"/>", "e(a)[x='q']()"},
      {"<!-- one --><!-- two --> <?style href=\"x\"?>\n<a/>", "e(a)[]()"},
      {"<?xml version=\"1.0\"?><!DOCTYPE a>\n<a/>", "e(a)[]()"},
      {"<!DOCTYPE a [ <!ELEMENT a (b)> <!ENTITY e \"x\"> ]><a><b/></a>", "e(a)[](e(b)[]())"},
      // Failures.
      {"<!-- not closed <a/>", "FAIL"},
      {"<?pi not closed <a/>", "FAIL"},
      {"<!DOCTYPE a [ <a/>", "FAIL"},
      {"<a>text", "FAIL"},
      {"<a><b></a>", "FAIL"},
      {"<a x=1/>", "FAIL"},
      {"<a x=\"1/>", "FAIL"},
      {"<a x/>", "FAIL"},
      {"<a / >", "FAIL"},
      {"<a><!-- open </a>", "FAIL"},
      {"<a></a", "FAIL"},
      {"no element", "FAIL"},
      {"", "FAIL"},
      {"<?xml version=\"1.0\"", "FAIL"},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_both(c.text), c.tree) << c.text;
}

TEST(XmlReader, RulesWhereTheReadersDiffer) {
  // A repeated attribute: the Variant keeps the last value once, the words keep both (lookups
  // find the first).
  Variant v;
  StaticVariant sv;
  ASSERT_TRUE(base::xml::read_text(v, "<a k=\"x\" k=\"y\"/>"));
  ASSERT_TRUE(base::xml::read_text(sv, "<a k=\"x\" k=\"y\"/>"));
  EXPECT_EQ(v.attribute_cnt(), 1);
  EXPECT_STREQ(v.get_attribute("k")->get_string(), "y");
  EXPECT_EQ(sv.get_attribute_cnt(), 2);
  EXPECT_STREQ(sv.get_attribute("k").get_string(), "x");
  // '>' where content is expected: the word reader ends the element there.
  testsupport::LogCapture log;
  EXPECT_FALSE(base::xml::read_text(v, "<a>> text</a>"));
  ASSERT_TRUE(base::xml::read_text(sv, "<a><b>>text</a>"));
  EXPECT_EQ(sv.get_element_cnt(), 2);
  EXPECT_STREQ(sv.get_element(1).get_string(), "text");
}

TEST(XmlReader, ErrorsAreLoggedWithPlace) {
  testsupport::LogCapture log;
  Variant v;
  EXPECT_FALSE(base::xml::read_text(v, "<a>\n  <b x=\"1\">\n  <c/>", "scene.xml"));
  ASSERT_EQ(log.get().size(), 1u);
  EXPECT_EQ(log.get()[0], "ERROR: xml-file 'scene.xml': element not closed before the end of the text at line 2, column 3\n");
}

TEST(XmlReader, DenseMarkupNeverOverrunsTheWordBlock) {
  // Each "<a/>" is 4 characters and 8 words; "x<>>" is 4 characters and 12 words.
  for (const char* unit : {"<a/>", "x<>>", "<a =\"\"/>", "<>>"}) {
    std::string text = "<r>";
    for (int i = 0; i < 5000; ++i) text += unit;
    text += "</r>";
    StaticVariant sv;
    ASSERT_TRUE(base::xml::read_text(sv, text.c_str())) << unit;
    int bad;
    const char* why;
    EXPECT_TRUE(base::static_variant_validate(sv.get_words(), sv.get_size(), nullptr, nullptr, bad, why)) << unit;
  }
  // The bounded form refuses what does not fit instead of writing past the end.
  int words[16];
  int* cursor = words;
  const char* text = "<a><b/></a>";
  EXPECT_FALSE(base::xml_parse_static_variant(cursor, words + 14, text));  // needs 15
  cursor = words;
  const char* small = "<a/> rest";
  ASSERT_TRUE(base::xml_parse_static_variant(cursor, words + 16, small));
  EXPECT_EQ(cursor - words, 7);
  EXPECT_STREQ(small, " rest");
}

TEST(XmlReader, NestingIsBounded) {
  auto nested = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<n>";
    for (int i = 0; i < depth; ++i) s += "</n>";
    return s;
  };
  testsupport::LogCapture log;
  Variant v;
  StaticVariant sv;
  EXPECT_TRUE(base::xml::read_text(v, nested(base::kMaxTreeDepth).c_str()));
  EXPECT_TRUE(base::xml::read_text(sv, nested(base::kMaxTreeDepth).c_str()));
  EXPECT_FALSE(base::xml::read_text(v, nested(100000).c_str()));
  EXPECT_FALSE(base::xml::read_text(sv, nested(100000).c_str()));
  EXPECT_TRUE(log.contains("nested too deep"));
  EXPECT_EQ(sv.get_words(), nullptr);
}

TEST(XmlReader, PositionalParse) {
  base::String text("<x/><y a=\"1\"/>");
  Variant v;
  const int next = base::xml_parse_variant(text, v, 0);
  EXPECT_EQ(next, 4);
  EXPECT_EQ(base::xml_parse_variant(text, v, next), text.size());
  EXPECT_STREQ(v.get_label(), "y");
  EXPECT_EQ(base::xml_parse_variant(text, v, text.size()), -1);
  EXPECT_EQ(base::xml_parse_variant(text, v, 99), -1);
}

TEST(XmlFiles, PrologRootsAndMissingFiles) {
  testsupport::TempDir dir;
  dir.write("plain.xml", "<a x=\"1\"/>");
  dir.write("prolog.xml", "text <?xml version=\"1.0\"?><a x=\"2\"/>");
  dir.write("multi.xml", "<Other/>\n<Scene a=\"1\"/><Scene><Layer/></Scene>");
  dir.write("empty.xml", "");
  Variant v;
  StaticVariant sv;
  ASSERT_TRUE(base::xml::read_file(v, dir.path("plain.xml").c_str()));
  EXPECT_EQ(base::get_int(v.get_attribute("x")), 1);
  ASSERT_TRUE(base::xml::read_file(sv, dir.path("prolog.xml").c_str()));
  EXPECT_EQ(sv.get_attribute("x").get_int(), 2);
  ASSERT_TRUE(base::xml::read_multi_root_file(sv, dir.path("multi.xml").c_str(), "Scene"));
  EXPECT_EQ(sv.get_label(), base::vocable::find("Scene"));
  EXPECT_TRUE(sv.get_element("Layer"));
  base::Binary bytes;
  bytes.set(10, "<m k=\"v\"/>");
  ASSERT_TRUE(base::xml::read_binary(v, bytes, "member"));
  EXPECT_STREQ(v.get_label(), "m");

  testsupport::LogCapture log;
  EXPECT_FALSE(base::xml::read_file(v, dir.path("missing.xml").c_str()));
  EXPECT_TRUE(log.get().empty());  // the Variant form is silent: callers probe
  EXPECT_FALSE(base::xml::read_file(sv, dir.path("missing.xml").c_str()));
  ASSERT_EQ(log.get().size(), 1u);
  EXPECT_EQ(log.get()[0], "xml-file " + dir.path("missing.xml") + " not found.\n");
  EXPECT_FALSE(base::xml::read_file(v, dir.path("empty.xml").c_str()));
  EXPECT_FALSE(base::xml::read_multi_root_file(sv, dir.path("multi.xml").c_str(), "Nothing"));
}

}  // namespace

namespace {

// The reader converts plain decimals itself; every form must give the value of the general
// text-to-number conversion, narrowed to float.
TEST(XmlReader, NumbersMatchTheGeneralConversion) {
  const char* texts[] = {"0", "-0", "+4", "12", "-3.5", "0.1", "1.", "+.5", "-.25", "123456789012345", "1234567890123456789",
                         "0.000000000000000000001", "3.14159265358979", "16777217", "0.30000001192092896", "1e3",
                         "-2.5E-3", "1e", "7  ", "9\t\r\n"};
  for (const char* t : texts) {
    const std::string xml = std::string("<a v=\"") + t + "\"/>";
    base::Variant v;
    ASSERT_TRUE(base::xml::read_text(v, xml.c_str())) << t;
    ASSERT_TRUE(v.get_attribute("v")->is_float()) << t;
    const float expected = static_cast<float>(base::str::ascii_to_real(t));
    const float got = v.get_attribute("v")->get_float();
    EXPECT_EQ(std::memcmp(&got, &expected, 4), 0) << t << " " << got << " " << expected;
  }
  for (const char* t : {"-", "+", "-.", "1.2.3", "1x", "--1", "0x10", "inf", "nan"}) {
    const std::string xml = std::string("<a v=\"") + t + "\"/>";
    base::Variant v;
    ASSERT_TRUE(base::xml::read_text(v, xml.c_str())) << t;
    const bool number = v.get_attribute("v")->is_float();
    base::str::en_NumberType kind;
    int n;
    base::str::get_number_info(t, kind, n);
    EXPECT_EQ(number, kind == base::str::NT_NUMBER && t[n] == 0) << t;
  }
}

}  // namespace

namespace {

// A tag with very many attributes must not cost quadratic time in either reader or in copy_to
// (a quadratic scan of this one would run for minutes).
TEST(XmlReader, ManyAttributesStayLinear) {
  std::string text = "<a";
  for (int i = 0; i < 200000; ++i) text += " k" + std::to_string(i) + "=\"" + std::to_string(i % 7) + "\"";
  text += " k5=\"last\"/>";
  Variant v;
  ASSERT_TRUE(base::xml::read_text(v, text.c_str()));
  EXPECT_EQ(v.attribute_cnt(), 200000);
  EXPECT_STREQ(v.get_attribute("k5")->get_string(), "last");
  StaticVariant sv;
  ASSERT_TRUE(base::xml::read_text(sv, text.c_str()));
  EXPECT_EQ(sv.get_attribute_cnt(), 200001);
  Variant expanded;
  sv.copy_to(expanded);
  EXPECT_EQ(expanded.attribute_cnt(), 200000);
  EXPECT_STREQ(expanded.get_attribute("k5")->get_string(), "last");
}

}  // namespace
