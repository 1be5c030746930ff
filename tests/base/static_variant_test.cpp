// The word layout of StaticVariant trees and the reads of the iterator, on trees made by the XML
// word reader.
#include "base/data/StaticVariant.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/text/Vocable.h"
#include "base/data/Xml.h"

namespace {

using base::StaticVariant;
using base::StaticVariantIterator;

StaticVariant parse(const char* text) {
  StaticVariant sv;
  EXPECT_TRUE(base::xml::read_text(sv, text)) << text;
  return sv;
}

std::vector<int> words(const StaticVariant& sv) { return {sv.get_words(), sv.get_words() + sv.get_size()}; }

int id(const char* name) { return static_cast<int>(base::vocable::id_of(base::vocable::find_or_add(name))); }

TEST(StaticVariantLayout, EmptyElementAndStringSizes) {
  StaticVariant a = parse("<a/>");
  EXPECT_EQ(words(a), (std::vector<int>{4, 7, id("a"), 0, 7, 0, 7}));
  // Strings: 3 + L/4 words, NUL-terminated, padding zeroed.
  struct {
    const char* text;
    int size;
  } cases[] = {{"<a s=\"\"/>", 3}, {"<a s=\"abc\"/>", 3}, {"<a s=\"abcd\"/>", 4}, {"<a s=\"abcdefgh\"/>", 5}};
  for (const auto& c : cases) {
    StaticVariant sv = parse(c.text);
    StaticVariantIterator s = sv.get_attribute("s");
    ASSERT_TRUE(s.is_string()) << c.text;
    EXPECT_EQ(s.size(), c.size) << c.text;
    EXPECT_EQ(sv.get_size(), 7 + 1 + c.size + 1) << c.text;
  }
}

TEST(StaticVariantLayout, ElementTablesPointAtEntriesAndChildren) {
  StaticVariant sv = parse("<r x=\"1\" s=\"hi\"><c/>text<d y=\"2\"/></r>");
  const int* w = sv.get_words();
  EXPECT_EQ(w[0], 4);
  EXPECT_EQ(w[1], sv.get_size());
  EXPECT_EQ(w[3], 2);
  EXPECT_EQ(w[5], 3);
  // x at 7 (name + float), s at 10 (name + 3-word string), children from 14.
  EXPECT_EQ(w[w[4]], 7);
  EXPECT_EQ(w[w[4] + 1], 10);
  EXPECT_EQ(w[w[6]], 14);
  EXPECT_EQ(w[w[6] + 1], 21);
  EXPECT_EQ(w[w[6] + 2], 25);  // "text" takes 4 words
  EXPECT_EQ(w[6] + 3, w[1]);
  EXPECT_STREQ(sv.get_element(1).get_string(), "text");
  EXPECT_EQ(sv.get_element(2).get_label(), base::vocable::find("d"));
  int bad;
  const char* why;
  EXPECT_TRUE(base::static_variant_validate(sv.get_words(), sv.get_size(), nullptr, nullptr, bad, why)) << why;
}

TEST(StaticVariantIterator, TypedAttributeReads) {
  StaticVariant sv = parse("<a f=\"2.9\" g=\"-2.9\" s=\"abc\" e=\"\"/>");
  int i = 99;
  float f = 0;
  base::String s;
  EXPECT_TRUE(sv.get_attribute_int("f", i));
  EXPECT_EQ(i, 2);
  EXPECT_TRUE(sv.get_attribute_int("g", i));
  EXPECT_EQ(i, -2);
  EXPECT_TRUE(sv.get_attribute_int("s", i));
  EXPECT_EQ(i, 0);
  EXPECT_TRUE(sv.get_attribute_float("g", f));
  EXPECT_FLOAT_EQ(f, -2.9f);
  EXPECT_TRUE(sv.get_attribute_string("f", s));
  EXPECT_STREQ(s.c_str(), "error: not a string");
  EXPECT_TRUE(sv.get_attribute_string("s", s));
  EXPECT_STREQ(s.c_str(), "abc");
  EXPECT_TRUE(sv.get_attribute_string("e", s));
  EXPECT_STREQ(s.c_str(), "");
  // Missing: false, output untouched; the text form never interns the name.
  i = 7;
  EXPECT_FALSE(sv.get_attribute_int("static_variant_test_missing", i));
  EXPECT_EQ(i, 7);
  EXPECT_EQ(base::vocable::find("static_variant_test_missing"), nullptr);
  // Scalars read through the wrong getter.
  EXPECT_EQ(sv.get_attribute("s").get_float(), 0.0f);
  EXPECT_STREQ(StaticVariantIterator().get_string(), "error: not a string");
  EXPECT_TRUE(StaticVariantIterator().is_nil());
  EXPECT_EQ(StaticVariantIterator().size(), 0);
}

TEST(StaticVariantIterator, ElementByLabelSkipsOthers) {
  StaticVariant sv = parse("<r><x/>t<y/><x n=\"1\"/><x n=\"2\"/></r>");
  EXPECT_EQ(sv.get_element("x", 1).get_attribute("n").get_int(), 1);
  EXPECT_EQ(sv.get_element("x", 2).get_attribute("n").get_int(), 2);
  EXPECT_FALSE(sv.get_element("x", 3));
  EXPECT_FALSE(sv.get_element("static_variant_no_such_label"));
  EXPECT_FALSE(sv.get_element(99));
  EXPECT_FALSE(sv.get_attribute(0));
}

TEST(StaticVariantCopy, SubtreeCopyIsSelfContained) {
  StaticVariant sv = parse("<r><keep a=\"1\"><c s=\"deep\"/></keep><other/></r>");
  StaticVariantIterator keep = sv.get_element("keep");
  StaticVariant copy;
  copy = keep;
  EXPECT_EQ(copy.get_size(), keep.get_node()[1]);
  EXPECT_EQ(std::memcmp(copy.get_words(), keep.get_node(), static_cast<size_t>(copy.get_size()) * 4), 0);
  base::String s;
  EXPECT_TRUE(copy.get_element("c").get_attribute_string("s", s));
  EXPECT_STREQ(s.c_str(), "deep");
  // Copying a node of its own block, and copies of the whole object.
  sv = sv.get_element("keep");
  EXPECT_EQ(words(sv), words(copy));
  StaticVariant moved(std::move(copy));
  EXPECT_EQ(copy.get_words(), nullptr);
  StaticVariant again(moved);
  EXPECT_EQ(words(again), words(sv));
}

}  // namespace
