// The binary tree record: byte layout, name mapping, and rejection of corrupt records.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/File.h"
#include "base/data/StaticVariant.h"
#include "base/text/Vocable.h"
#include "base/data/Xml.h"
#include "test_support.h"

namespace {

using base::StaticVariant;

std::string u32(unsigned v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
std::string words(std::initializer_list<int> w) {
  std::string s;
  for (int v : w) s += u32(static_cast<unsigned>(v));
  return s;
}
unsigned id(const char* name) { return base::vocable::id_of(base::vocable::find_or_add(name)); }

std::string write(const StaticVariant& sv, const testsupport::TempDir& dir) {
  base::File f(dir.path("rec.bin").c_str(), base::File::STATUS_WRITE);
  EXPECT_TRUE(sv.Write(&f));
  EXPECT_TRUE(f.close());
  return dir.read("rec.bin");
}

bool read(StaticVariant& sv, const std::string& bytes, const testsupport::TempDir& dir) {
  dir.write("in.bin", bytes);
  base::File f(dir.path("in.bin").c_str(), base::File::STATUS_READ);
  return sv.Read(&f);
}

TEST(StaticVariantRecord, SingleElementIsByteExact) {
  testsupport::TempDir dir;
  StaticVariant sv;
  ASSERT_TRUE(base::xml::read_text(sv, "<a/>"));
  const std::string expected = u32(id("a")) + u32(1) + "a" + u32(0) + u32(28) + words({4, 7, int(id("a")), 0, 7, 0, 7});
  EXPECT_EQ(write(sv, dir), expected);
}

TEST(StaticVariantRecord, NamesListedOnceInIdOrderAndReadBack) {
  testsupport::TempDir dir;
  StaticVariant sv;
  ASSERT_TRUE(base::xml::read_text(sv, "<dup dup=\"1\"><dup x=\"s\"/>text</dup>"));
  const std::string bytes = write(sv, dir);
  // dup and x, each once, ascending ids.
  const unsigned a = std::min(id("dup"), id("x")), b = std::max(id("dup"), id("x"));
  const std::string na = a == id("dup") ? "dup" : "x", nb = a == id("dup") ? "x" : "dup";
  EXPECT_EQ(bytes.substr(0, 8 + na.size() + 8 + nb.size() + 4),
            u32(a) + u32(static_cast<unsigned>(na.size())) + na + u32(b) + u32(static_cast<unsigned>(nb.size())) + nb + u32(0));
  StaticVariant back;
  ASSERT_TRUE(read(back, bytes, dir));
  ASSERT_EQ(back.get_size(), sv.get_size());
  EXPECT_EQ(std::memcmp(back.get_words(), sv.get_words(), static_cast<size_t>(sv.get_size()) * 4), 0);
}

TEST(StaticVariantRecord, ForeignIdsAreMappedToLocalNames) {
  testsupport::TempDir dir;
  // Root "rec_foreign_root" with attribute "rec_foreign_attr" = 5.0, written by another process
  // whose ids were 1 and 2.
  const std::string bytes = u32(2) + u32(16) + "rec_foreign_root" + u32(1) + u32(16) + "rec_foreign_attr" + u32(0) +
                            u32(4 * 11) + words({4, 11, 2, 1, 10, 0, 11, 1, 2, 0x40a00000, 7});
  StaticVariant sv;
  ASSERT_TRUE(read(sv, bytes, dir));
  EXPECT_EQ(sv.get_label(), base::vocable::find("rec_foreign_root"));
  EXPECT_EQ(sv.get_attribute("rec_foreign_attr").get_float(), 5.0f);
}

TEST(StaticVariantRecord, EmptyAndNonElementRoots) {
  testsupport::TempDir dir;
  StaticVariant empty;
  EXPECT_EQ(write(empty, dir), u32(0) + u32(0));
  StaticVariant sv;
  ASSERT_TRUE(base::xml::read_text(sv, "<a/>"));
  ASSERT_TRUE(read(sv, u32(0) + u32(0), dir));  // an earlier tree is released
  EXPECT_EQ(sv.get_words(), nullptr);
  // A lone string node: empty name table, then its words.
  const std::string text = u32(0) + u32(12) + words({3, 2, 'h' | ('i' << 8)});
  ASSERT_TRUE(read(sv, text, dir));
  EXPECT_STREQ(sv.get_string(), "hi");
  EXPECT_EQ(write(sv, dir), text);
}

TEST(StaticVariantRecord, EmptyNameGetsANonZeroId) {
  testsupport::TempDir dir;
  StaticVariant sv;
  ASSERT_TRUE(base::xml::read_text(sv, "<><b/></>"));
  EXPECT_NE(sv.get_words()[2], 0);
  const std::string bytes = write(sv, dir);
  StaticVariant back;
  ASSERT_TRUE(read(back, bytes, dir));
  EXPECT_EQ(back.get_label(), base::vocable::find_or_add(""));
  EXPECT_EQ(back.get_element(0).get_label(), base::vocable::find("b"));
  // A null name word set by hand is written as the empty name too.
  sv.label_word() = 0;
  ASSERT_TRUE(read(back, write(sv, dir), dir));
  EXPECT_EQ(back.get_label(), base::vocable::find_or_add(""));
}

TEST(StaticVariantRecord, CorruptRecordsAreRejected) {
  testsupport::TempDir dir;
  const int a = static_cast<int>(id("a"));
  const std::string table = u32(a) + u32(1) + "a" + u32(0);
  const std::string good = table + u32(28) + words({4, 7, a, 0, 7, 0, 7});
  struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty file", ""},
      {"table cut", u32(a) + u32(5) + "ab"},
      {"no end of table", u32(a) + u32(1) + "a"},
      {"negative name length", u32(a) + u32(0xffffffffu) + u32(0)},
      {"chunk cut", table + u32(28) + words({4, 7, a})},
      {"negative chunk", table + u32(0xfffffff0u)},
      {"odd chunk", table + u32(29) + words({4, 7, a, 0, 7, 0, 7}) + "x"},
      {"unknown name", table + u32(28) + words({4, 7, a + 1000, 0, 7, 0, 7})},
      {"null name", table + u32(28) + words({4, 7, 0, 0, 7, 0, 7})},
      {"unknown kind", table + u32(4) + words({9})},
      {"size too big", table + u32(28) + words({4, 8, a, 0, 7, 0, 7})},
      {"size too small", table + u32(28) + words({4, 6, a, 0, 7, 0, 7})},
      {"negative count", table + u32(28) + words({4, 7, a, -1, 7, 0, 7})},
      {"attribute count past block", table + u32(28) + words({4, 7, a, 1000000, 7, 0, 7})},
      {"child table offset wrong", table + u32(32) + words({4, 8, a, 0, 7, 1, 8, 7})},
      {"child points at itself", table + u32(36) + words({4, 9, a, 0, 8, 1, 8, 1, 0})},
      {"child offset backwards", table + u32(36) + words({4, 9, a, 0, 8, 1, 8, 0, -7})},
      {"string length past block", table + u32(12) + words({3, 100, 0})},
      {"string not terminated", table + u32(12) + words({3, 4, 0x61616161})},
      {"element as attribute value", table + u32(4 * 16) + words({4, 16, a, 1, 15, 0, 16, a, 4, 7, a, 0, 7, 0, 7, 7})},
      {"trailing words", good.substr(0, table.size()) + u32(32) + words({4, 7, a, 0, 7, 0, 7, 0})},
  };
  for (const auto& c : cases) {
    testsupport::LogCapture log;
    StaticVariant sv;
    ASSERT_TRUE(base::xml::read_text(sv, "<old/>"));
    EXPECT_FALSE(read(sv, c.bytes, dir)) << c.what;
    EXPECT_EQ(sv.get_words(), nullptr) << c.what;
    EXPECT_EQ(sv.get_size(), 0) << c.what;
    if (!c.bytes.empty()) {
      ASSERT_EQ(log.get().size(), 1u) << c.what;
      EXPECT_NE(log.get()[0].find("ERROR: file '"), std::string::npos) << log.get()[0];
      EXPECT_NE(log.get()[0].find("in.bin"), std::string::npos) << log.get()[0];
      EXPECT_NE(log.get()[0].find("offset"), std::string::npos) << log.get()[0];
    }
  }
  StaticVariant sv;
  EXPECT_TRUE(read(sv, good, dir));
}

TEST(StaticVariantRecord, NestingPastTheLimitIsRejected) {
  testsupport::TempDir dir;
  const int a = static_cast<int>(id("a"));
  auto nested = [&](int depth) {
    // Builds depth elements each holding the next as its only child.
    std::vector<int> w;
    std::vector<int> starts;
    for (int i = 0; i < depth; ++i) {
      starts.push_back(static_cast<int>(w.size()));
      w.insert(w.end(), {4, 0, a, 0, 0, 0, 0});
    }
    for (int i = depth - 1; i >= 0; --i) {
      const int s = starts[static_cast<size_t>(i)];
      const bool leaf = i == depth - 1;
      const int body = static_cast<int>(w.size()) - s;  // header + child so far
      w[static_cast<size_t>(s) + 4] = body;
      w[static_cast<size_t>(s) + 5] = leaf ? 0 : 1;
      w[static_cast<size_t>(s) + 6] = body;
      if (!leaf) w.push_back(7);
      w[static_cast<size_t>(s) + 1] = static_cast<int>(w.size()) - s;
    }
    std::string bytes = u32(static_cast<unsigned>(a)) + u32(1) + "a" + u32(0) + u32(static_cast<unsigned>(w.size() * 4));
    for (int v : w) bytes += u32(static_cast<unsigned>(v));
    return bytes;
  };
  StaticVariant sv;
  EXPECT_TRUE(read(sv, nested(base::kMaxTreeDepth), dir));
  testsupport::LogCapture log;
  EXPECT_FALSE(read(sv, nested(base::kMaxTreeDepth + 1), dir));
  EXPECT_TRUE(log.contains("nested too deep"));
}

}  // namespace

namespace {

TEST(StaticVariantNames, CollectAndRemap) {
  StaticVariant sv;
  ASSERT_TRUE(base::xml::read_text(sv, "<names_root k=\"1\"><names_child k=\"2\" j=\"3\"/>text</names_root>"));
  std::set<const unsigned char*> set;
  sv.CollectVocableSet(set);
  const unsigned char* root = base::vocable::find("names_root");
  const unsigned char* child = base::vocable::find("names_child");
  const unsigned char* k = base::vocable::find("k");
  const unsigned char* j = base::vocable::find("j");
  EXPECT_EQ(set, (std::set<const unsigned char*>{root, child, k, j}));
  // Renaming through a map: every occurrence changes, values stay.
  const unsigned char* renamed = base::vocable::find_or_add("names_renamed");
  std::map<const unsigned char*, const unsigned char*> map{{root, root}, {child, renamed}, {k, j}, {j, k}};
  sv.RemapVocables(map);
  EXPECT_EQ(sv.get_element(0).get_label(), renamed);
  EXPECT_EQ(sv.get_attribute(j).get_float(), 1.0f);
  EXPECT_EQ(sv.get_element(0).get_attribute(k).get_float(), 3.0f);
  // Name walks and lookups on a string node read nothing beyond it.
  StaticVariant str;
  testsupport::TempDir dir;
  ASSERT_TRUE(read(str, u32(0) + u32(12) + words({3, 1, 'x'}), dir));
  std::set<const unsigned char*> none;
  str.CollectVocableSet(none);
  EXPECT_TRUE(none.empty());
  EXPECT_FALSE(str.get_element(root));
  EXPECT_FALSE(str.get_attribute(root));
}

}  // namespace
