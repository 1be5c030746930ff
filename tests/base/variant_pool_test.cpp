// Variant trees in their pools: texts on both sides of the inside/outside boundary, texts set
// from themselves, trees built on one thread and freed on another, and trees that outlive the
// thread that built them.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/text/Text.h"
#include "xml_test_dump.h"

using base::Variant;

namespace {

// A label, attribute name or value of n characters, each position telling its own place.
std::string name_of(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('a' + (i * 7 + n) % 26);
  return s;
}

// An element whose label, attribute names, attribute values and text child have every length
// from 1 to 40, so each crosses the point where texts move out of the node.
Variant tree_of_all_lengths(int salt) {
  Variant root;
  root.set_element("Root");
  for (int n = 1; n <= 40; ++n) {
    Variant& e = root.add_element(name_of(n).c_str());
    e.attribute(name_of(n + salt % 3).c_str())->set_string(name_of(n + 1).c_str());
    e.attribute("n")->set_int(n);
    e[e.size()].set_string(name_of(n * 2).c_str());
  }
  return root;
}

TEST(VariantPool, TextsOfEveryLengthSurviveCopiesAndTheXmlRoundTrip) {
  const Variant tree = tree_of_all_lengths(0);
  for (int n = 1; n <= 40; ++n) {
    const Variant& e = tree[n - 1];
    EXPECT_EQ(std::string(e.get_label()), name_of(n));
    EXPECT_EQ(std::string(e.get_attribute_label(0)), name_of(n));
    EXPECT_EQ(std::string(e.attribute(0)->get_string()), name_of(n + 1));
    EXPECT_EQ(e[0].size(), n * 2);
  }
  Variant copy(tree);
  EXPECT_EQ(xmltest::dump(copy), xmltest::dump(tree));

  base::Text text;
  ASSERT_TRUE(base::xml::write_text(tree, text));
  Variant back;
  ASSERT_TRUE(base::xml::read_text(back, text.c_str()));
  // The reader turns the int into a float; everything else reads back as written.
  EXPECT_EQ(std::string(back[39].get_label()), name_of(40));
  EXPECT_EQ(std::string(back[10].attribute(0)->get_string()), name_of(12));
  EXPECT_EQ(std::string(back[11][0].get_string()), name_of(24));
}

TEST(VariantPool, LabelsSetFromTheirOwnTextAndEmbeddedNuls) {
  for (int n : {1, 5, 11, 12, 13, 30}) {
    Variant e;
    e.set_element(name_of(n).c_str());
    const std::string tail = name_of(n).substr(1);
    e.set_label(e.get_label() + 1);  // reads from the text it replaces
    EXPECT_EQ(std::string(e.get_label() ? e.get_label() : ""), tail) << n;
  }
  Variant e;
  e.set_element("Label");
  e.set_label("");
  EXPECT_EQ(e.get_label(), nullptr);  // an empty label reads as null, as before

  const char bytes[] = "ab\0cd\0efghijklmnop";
  for (int n : {5, 11, 12, 18}) {
    Variant s;
    s.set_string(bytes, n);
    ASSERT_EQ(s.size(), n);
    EXPECT_EQ(std::string(s.get_string(), static_cast<size_t>(n)), std::string(bytes, static_cast<size_t>(n)));
    Variant copy(s);
    EXPECT_EQ(std::string(copy.get_string(), static_cast<size_t>(n)), std::string(bytes, static_cast<size_t>(n)));
  }
}

// A loader thread builds the trees and the main thread frees them (and the other way round):
// blocks move between the threads' pools, and every tree must read back whole.
TEST(VariantPool, TreesBuiltOnOneThreadAndFreedOnAnotherStayIntact) {
  const std::string expected = xmltest::dump(tree_of_all_lengths(0));
  // The first round frees more blocks of a kind than one thread keeps, so they pass through the
  // shared store.
  for (int round = 0; round < 6; ++round) {
    std::vector<Variant> trees(round == 0 ? 3000 : 300);
    std::thread builder([&] {
      for (Variant& t : trees) t = tree_of_all_lengths(0);
    });
    builder.join();
    for (const Variant& t : trees) ASSERT_EQ(xmltest::dump(t), expected);
    trees.clear();  // freed here, on the main thread

    for (int i = 0; i < 300; ++i) trees.push_back(tree_of_all_lengths(0));
    std::thread freer([&] { trees.clear(); });
    freer.join();
  }
  // What the exited threads handed back is reused here.
  std::vector<Variant> more(300);
  for (Variant& t : more) t = tree_of_all_lengths(0);
  for (const Variant& t : more) ASSERT_EQ(xmltest::dump(t), expected);
}

// A thread-local tree is freed when its thread ends, after the thread's own pools have closed.
TEST(VariantPool, TreesFreedAtThreadExitAndTreesThatOutliveTheirThread) {
  Variant kept;
  std::thread worker([&] {
    thread_local Variant local;
    local = tree_of_all_lengths(1);
    kept = tree_of_all_lengths(2);
  });
  worker.join();
  EXPECT_EQ(xmltest::dump(kept), xmltest::dump(tree_of_all_lengths(2)));
  kept.set_nil();
  Variant again = tree_of_all_lengths(1);
  EXPECT_EQ(again.size(), 40);
}

}  // namespace
