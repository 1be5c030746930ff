#include "base/data/Binary.h"
#include "base/text/Text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(Text, AppendingGrowsGeometrically) {
  base::Text t;
  std::vector<int> capacities;
  for (int i = 0; i < 100; ++i) {
    const int before = t.capacity();
    t += 'x';
    if (t.capacity() != before) capacities.push_back(t.capacity());
    ASSERT_EQ(t.size(), i + 1);
    ASSERT_EQ(t.c_str()[i + 1], 0);
  }
  EXPECT_EQ(capacities, (std::vector<int>{2, 6, 14, 30, 62, 126}));
  // print and insert go through the same growth.
  base::Text p("ab");
  p.print("%d", 123);
  p.insert("-", 2);
  EXPECT_STREQ(p.c_str(), "ab-123");
  EXPECT_GE(p.capacity(), p.size());
}

TEST(Text, SetReusesItsBufferAndNullClears) {
  base::Text t("hello world");
  const char* buffer = t.c_str();
  t.set("hi", 2);
  EXPECT_EQ(t.c_str(), buffer);
  EXPECT_STREQ(t.c_str(), "hi");
  EXPECT_EQ(t.capacity(), 11);
  t.set(t.c_str() + 1, 1);  // aliasing its own bytes
  EXPECT_STREQ(t.c_str(), "i");
  t.set(nullptr, 5);
  EXPECT_EQ(t.size(), 0);
  EXPECT_EQ(t.capacity(), 0);
  base::Text copy(base::Text("abc"));
  EXPECT_EQ(copy.capacity(), 3);
  base::String plain("xyz");
  plain = base::Text("moved");
  EXPECT_STREQ(plain.c_str(), "moved");
}

TEST(Binary, OwnershipAndAppending) {
  base::Binary a;
  base::Binary b;
  b.set(3, "abc");
  a += b;  // empty target: an exact copy
  ASSERT_EQ(a.size(), 3);
  EXPECT_EQ(std::memcmp(a.get_buffer(), "abc", 3), 0);
  EXPECT_NE(a.get_buffer(), b.get_buffer());
  base::Binary c;
  c.set(2, "xy");
  a += c;
  EXPECT_EQ(std::memcmp(a.get_buffer(), "abcxy", 5), 0);
  a += a;  // appending itself
  EXPECT_EQ(std::memcmp(a.get_buffer(), "abcxyabcxy", 10), 0);

  base::Binary target;
  target.set(1, "q");
  unsigned char* bytes = a.get_buffer();
  target.cut(a);
  EXPECT_EQ(target.get_buffer(), bytes);
  EXPECT_EQ(target.size(), 10);
  EXPECT_EQ(a.size(), 0);
  EXPECT_EQ(a.get_buffer(), nullptr);

  base::Binary copy(target);
  const base::Binary& itself = copy;
  copy = itself;
  EXPECT_EQ(copy.size(), 10);
  EXPECT_EQ(base::Binary(-4).size(), 0);
  EXPECT_EQ(base::Binary(0).get_buffer(), nullptr);
}

}  // namespace
