// Variant trees to words and back, and the Variant's binary record.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/File.h"
#include "base/data/StaticVariant.h"
#include "base/text/Text.h"
#include "base/data/Variant.h"
#include "base/text/Vocable.h"
#include "base/data/Xml.h"
#include "test_support.h"

namespace {

using base::StaticVariant;
using base::Variant;

std::vector<int> words(const StaticVariant& sv) { return {sv.get_words(), sv.get_words() + sv.get_size()}; }

TEST(StaticVariantConvert, AtomsFromVariantValues) {
  int marker = 0;
  Variant v;
  StaticVariant sv;
  v.set_bool(true);
  sv = v;
  EXPECT_EQ(words(sv), (std::vector<int>{1, 1}));
  v.set_double(0.1);
  sv = v;
  ASSERT_TRUE(sv.is_float());
  EXPECT_EQ(sv.get_float(), 0.1f);
  for (int kind = 0; kind < 3; ++kind) {
    if (kind == 0) v.set_nil();
    if (kind == 1) v.set_pointer(&marker);
    if (kind == 2) v.set_array(2);  // arrays that are not elements
    sv = v;
    EXPECT_EQ(words(sv), (std::vector<int>{0})) << kind;
  }
  v.set_string("abcd");
  sv = v;
  EXPECT_EQ(sv.size(), 4);
  EXPECT_STREQ(sv.get_string(), "abcd");
}

TEST(StaticVariantConvert, ExpandThenRebuildGivesTheSameWords) {
  StaticVariant sv;
  ASSERT_TRUE(base::xml::read_text(sv, "<r a=\"1\" b=\"text\"><c x=\"-2.5\"/>mixed<d><e/></d></r>"));
  Variant v;
  sv.copy_to(v);
  EXPECT_STREQ(v.get_label(), "r");
  EXPECT_EQ(v.size(), 3);
  StaticVariant again;
  again = v;
  EXPECT_EQ(words(again), words(sv));
  // Nil and null iterators expand to void.
  base::StaticVariantIterator().copy_to(v);
  EXPECT_TRUE(v.is_void());
}

TEST(StaticVariantConvert, TooDeepTreeIsRefused) {
  Variant root;
  root.set_element("n");
  Variant* node = &root;
  for (int i = 0; i < base::kMaxTreeDepth + 5; ++i) node = &node->add_element("n");
  testsupport::LogCapture log;
  StaticVariant sv;
  ASSERT_TRUE(base::xml::read_text(sv, "<old/>"));
  sv = root;
  EXPECT_EQ(sv.get_words(), nullptr);
  EXPECT_TRUE(log.contains("nested deeper"));
  testsupport::TempDir dir;
  base::File f(dir.path("deep.bin").c_str(), base::File::STATUS_WRITE);
  EXPECT_FALSE(root.Write(&f));
}

TEST(VariantRecord, WriteThenReadGivesAnEqualTree) {
  testsupport::TempDir dir;
  Variant v;
  ASSERT_TRUE(base::xml::read_text(v, "<Save slot=\"3\"><Inventory><Token id=\"key\"/></Inventory>note</Save>"));
  {
    base::File f(dir.path("s.bin").c_str(), base::File::STATUS_WRITE);
    ASSERT_TRUE(v.Write(&f));
  }
  Variant back;
  base::File f(dir.path("s.bin").c_str(), base::File::STATUS_READ);
  ASSERT_TRUE(back.Read(&f));
  base::Text a, b;
  base::xml::write_text(v, a);
  base::xml::write_text(back, b);
  EXPECT_STREQ(a.c_str(), b.c_str());

  dir.write("bad.bin", std::string("\x01\x00\x00\x00", 4));
  testsupport::LogCapture log;
  base::File bad(dir.path("bad.bin").c_str(), base::File::STATUS_READ);
  EXPECT_FALSE(back.Read(&bad));
  EXPECT_TRUE(back.is_void());
  EXPECT_EQ(log.get().size(), 1u);
}

}  // namespace
