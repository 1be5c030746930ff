#include "base/system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_first;
std::vector<std::string> g_second;
bool First(const char* text) { g_first.emplace_back(text); return true; }
bool Second(const char* text) { g_second.emplace_back(std::string("2:") + text); return true; }

TEST(SystemOutput, EveryCallbackGetsTheSameTextInOrder) {
  g_first.clear();
  g_second.clear();
  base::sys::AddOutputCallback(First);
  base::sys::AddOutputCallback(Second);
  base::sys::Output("value %d of %s\n", 42, "answer");
  base::sys::Output("%s", std::string(5000, 'x').c_str());
  base::sys::RemoveOutputCallback(First);
  base::sys::RemoveOutputCallback(Second);
  base::sys::Output("not seen\n");
  ASSERT_EQ(g_first.size(), 2u);
  EXPECT_EQ(g_first[0], "value 42 of answer\n");
  EXPECT_EQ(g_first[1].size(), 5000u);
  EXPECT_EQ(g_second[0], "2:value 42 of answer\n");
}

}  // namespace
