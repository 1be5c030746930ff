#include "base/text/Vocable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using base::vocable::find;
using base::vocable::find_or_add;

TEST(Vocable, FindNeverAddsAndInterningIsStable) {
  const int before = base::vocable::count();
  EXPECT_EQ(find("vocable_test_never_seen"), nullptr);
  EXPECT_EQ(base::vocable::count(), before);
  const unsigned char* v = find_or_add("vocable_test_never_seen");
  ASSERT_NE(v, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(v), "vocable_test_never_seen");
  EXPECT_EQ(find("vocable_test_never_seen"), v);
  EXPECT_EQ(find_or_add("vocable_test_never_seen"), v);
  EXPECT_EQ(base::vocable::count(), before + 1);
}

TEST(Vocable, PointerAndLengthFormsMatchTerminatedNames) {
  EXPECT_EQ(find_or_add("abc", 2), find_or_add("ab"));
  EXPECT_EQ(find_or_add("abc", 0), nullptr);
  EXPECT_EQ(find_or_add(nullptr, 3), nullptr);
  // Either side of the 32-character stack buffer of the original.
  for (int n : {31, 32, 33, 200}) {
    const std::string name(static_cast<size_t>(n), 'q');
    const std::string longer = name + "tail";
    EXPECT_EQ(find_or_add(longer.c_str(), n), find_or_add(name.c_str())) << n;
    EXPECT_EQ(base::vocable::length_of(find_or_add(name.c_str())), n);
  }
  // An embedded NUL ends the name, as a copied and terminated text would.
  EXPECT_EQ(find_or_add("ab\0cd", 5), find_or_add("ab"));
}

TEST(Vocable, CaseMattersAndIdsRoundTrip) {
  const unsigned char* upper = find_or_add("Label");
  const unsigned char* lower = find_or_add("label");
  EXPECT_NE(upper, lower);
  for (const unsigned char* v : {upper, lower, find_or_add("")}) {
    const unsigned id = base::vocable::id_of(v);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(base::vocable::from_id(id), v);
  }
  EXPECT_EQ(base::vocable::id_of(nullptr), 0u);
  EXPECT_EQ(base::vocable::from_id(0), nullptr);
  EXPECT_EQ(base::vocable::from_id(0xfffffff0u), nullptr);
  // The empty name is an ordinary name with a non-zero id, also when given by length 0.
  EXPECT_EQ(base::vocable::find_or_add_id("x", 0), base::vocable::id_of(find_or_add("")));
  EXPECT_EQ(base::vocable::find_or_add_id(nullptr, 0), 0u);
}

TEST(Vocable, ManyNamesStayValid) {
  std::vector<const unsigned char*> kept;
  for (int i = 0; i < 20000; ++i) kept.push_back(find_or_add(("vocable_many_" + std::to_string(i)).c_str()));
  for (int i = 0; i < 20000; ++i) {
    const std::string name = "vocable_many_" + std::to_string(i);
    ASSERT_EQ(find(name.c_str()), kept[static_cast<size_t>(i)]);
    ASSERT_STREQ(reinterpret_cast<const char*>(kept[static_cast<size_t>(i)]), name.c_str());
  }
}

}  // namespace
