// The XML writer's layout, its escaping, and its refusals and failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/data/StaticVariant.h"
#include "base/text/Text.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "test_support.h"

namespace {

using base::Variant;

std::string written(const Variant& v) {
  base::Text t;
  EXPECT_TRUE(base::xml::write_text(v, t));
  return t.c_str();
}

Variant read(const std::string& text) {
  Variant v;
  EXPECT_TRUE(base::xml::read_text(v, text.c_str())) << text;
  return v;
}

TEST(XmlWriter, Layout) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"<a x=\"1\" y=\"2\"><b/>t</a>", "<a x=\"1\" y=\"2\">\n\t<b/>\nt</a>\n"},
      {"<a x=\"1\" y=\"2\"/>", "<a x=\"1\" y=\"2\"/>\n"},
      {"<a x=\"1\" y=\"2\" z=\"s\"/>", "<a\n\tx=\"1\"\n\ty=\"2\"\n\tz=\"s\"/>\n"},
      {"<a><b x=\"1\" y=\"2\" z=\"3\"><c/></b></a>",
       "<a>\n\t<b\n\t\tx=\"1\"\n\t\ty=\"2\"\n\t\tz=\"3\">\n\t\t<c/>\n\t</b>\n</a>\n"},
      {"<label>some text</label>", "<label>some text</label>\n"},
      {"<a><b><c/></b><d/></a>", "<a>\n\t<b>\n\t\t<c/>\n\t</b>\n\t<d/>\n</a>\n"},
      {"<a f=\"0.1\" g=\"1234567\"/>", "<a f=\"0.1\" g=\"1.23457e+06\"/>\n"},
      {"<><x/></>", "<>\n\t<x/>\n</>\n"},
      {"<a><></></a>", "<a>\n\t<></>\n</a>\n"},  // not "</>", which would close a
  };
  for (const auto& c : cases) EXPECT_EQ(written(read(c.in)), c.out) << c.in;
}

TEST(XmlWriter, ValuesOfEveryKind) {
  Variant v;
  v.set_element("v");
  v.attribute("i")->set_int(-3);
  v.attribute("n")->set_nil();
  v.add_element("e");
  v[1].set_nil();
  v[2].set_double(2.5);
  EXPECT_EQ(written(v), "<v i=\"-3\" n=\"void\">\n\t<e/>\n<nil/>2.5</v>\n");
  // Read back: the void child is an element "nil", the number a text.
  Variant back = read(written(v));
  EXPECT_STREQ(back[1].get_label(), "nil");
  EXPECT_STREQ(back[2].get_string(), "2.5");
}

TEST(XmlWriter, AwkwardTextsReadBackUnchanged) {
  const char* texts[] = {"say \"hi\"", "a<b", "x &lt; y", "&amp;", "& alone", "> leading", "tail >", "a&quot;b&",
                         "it's", "<!-- not a comment -->", "</a>"};
  for (const char* t : texts) {
    Variant v;
    v.set_element("a");
    v.attribute("value")->set_string(t);
    v.add_element("pre");
    v[1].set_string(t);
    v.add_element("post");
    const std::string text = written(v);
    Variant back = read(text);
    EXPECT_STREQ(back.get_attribute("value")->get_string(), t) << text;
    ASSERT_EQ(back.size(), 3) << text;
    EXPECT_STREQ(back[1].get_string(), t) << text;
    base::StaticVariant sv;
    ASSERT_TRUE(base::xml::read_text(sv, text.c_str())) << text;
    EXPECT_STREQ(sv.get_attribute("value").get_string(), t) << text;
    EXPECT_STREQ(sv.get_element(1).get_string(), t) << text;
  }
  // Plain data is written exactly as it stands.
  Variant plain = read("<a v=\"R&D > 2\">Tom & Jerry > x</a>");
  EXPECT_EQ(written(plain), "<a v=\"R&D > 2\">Tom & Jerry > x</a>\n");
}

TEST(XmlWriter, TextBeforeAnElementKeepsItsBlanks) {
  const char* in = "<a>\n\t<b/>one <c/>two\n\t<d/>\n</a>";
  Variant v = read(in);
  ASSERT_EQ(v.size(), 5);
  const std::string once = written(v);
  Variant back = read(once);
  ASSERT_EQ(back.size(), 5);
  EXPECT_STREQ(back[1].get_string(), "one ");
  EXPECT_STREQ(back[3].get_string(), "two\n\t");
  EXPECT_EQ(written(back), once);
}

TEST(XmlWriter, AdjacentTextsStaySeparate) {
  Variant v = read("<a>one <!-- c -->&gt;two<!-- c -->3</a>");
  ASSERT_EQ(v.size(), 3);
  const std::string text = written(v);
  EXPECT_EQ(text, "<a>one <!---->&gt;two<!---->3</a>\n");
  Variant back = read(text);
  ASSERT_EQ(back.size(), 3);
  EXPECT_STREQ(back[1].get_string(), ">two");
}

TEST(XmlWriter, UnreadableNamesAreRefused) {
  testsupport::TempDir dir;
  Variant bad;
  bad.set_element("two words");
  Variant badAttr;
  badAttr.set_element("a");
  badAttr.attribute("k=v")->set_int(1);
  for (const Variant* v : {&bad, &badAttr}) {
    testsupport::LogCapture log;
    EXPECT_FALSE(base::xml::write_file(*v, dir.path("out.xml").c_str()));
    ASSERT_EQ(log.get().size(), 1u);
    EXPECT_NE(log.get()[0].find("ERROR: xml-file '"), std::string::npos) << log.get()[0];
    EXPECT_FALSE(std::filesystem::exists(dir.path("out.xml")));
  }
}

TEST(XmlWriter, WriteFileReportsFailureAndLeavesNoTemporary) {
  testsupport::TempDir dir;
  Variant v = read("<a x=\"1\"/>");
  ASSERT_TRUE(base::xml::write_file(v, dir.path("ok.xml").c_str()));
  EXPECT_EQ(dir.read("ok.xml"), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<a x=\"1\"/>\n");
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
  testsupport::LogCapture log;
  EXPECT_FALSE(base::xml::write_file(v, dir.path("no/such/folder/x.xml").c_str()));
  EXPECT_TRUE(log.contains("cannot be created"));
}

TEST(XmlWriter, LogGetsTheText) {
  testsupport::LogCapture log;
  base::xml::write_log(read("<a><b/></a>"));
  ASSERT_EQ(log.get().size(), 1u);
  EXPECT_EQ(log.get()[0], "<a>\n\t<b/>\n</a>\n");
}

}  // namespace

namespace {

TEST(XmlWriter, NestingPastTheReadersLimitIsRefused) {
  Variant root;
  root.set_element("n");
  Variant* node = &root;
  for (int i = 1; i < base::kMaxTreeDepth; ++i) node = &node->add_element("n");
  base::Text ok;
  EXPECT_TRUE(base::xml::write_text(root, ok));  // exactly as deep as the readers take
  Variant back;
  EXPECT_TRUE(base::xml::read_text(back, ok.c_str()));
  node->add_element("n");
  testsupport::TempDir dir;
  testsupport::LogCapture log;
  EXPECT_FALSE(base::xml::write_file(root, dir.path("deep.xml").c_str()));
  EXPECT_TRUE(log.contains("nested deeper"));
}

}  // namespace
