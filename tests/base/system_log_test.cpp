#include "base/system.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
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

// ---- the list guarded against other threads

// While a line is handed out, the callback lets another thread add callbacks (enough to move an
// unguarded list's storage under the walk) and waits for it, within a bound: a guarded list keeps
// that thread waiting until the walk is over. (Only an unguarded list can pass the bound unseen
// on a machine too slow to add within it; a guarded one never depends on it.)
std::mutex g_walkMutex;
std::condition_variable g_walkChanged;
bool g_walkStarted = false, g_addsDone = false;
std::atomic<bool> g_addedDuringWalk{false};
std::vector<std::string> g_inner;

bool Filler(const char*) { return true; }
bool Inner(const char* text) {
  g_inner.emplace_back(text);
  return true;
}
bool Walker(const char* text) {
  if (std::string(text) != "walk\n") return true;
  base::sys::Output("from inside a callback\n");  // its own line does not wait for itself
  std::unique_lock<std::mutex> lock(g_walkMutex);
  g_walkStarted = true;
  g_walkChanged.notify_all();
  g_walkChanged.wait_for(lock, std::chrono::milliseconds(300), [] { return g_addsDone; });
  g_addedDuringWalk = g_addsDone;
  return true;
}

TEST(SystemOutput, CallbacksAddedFromAnotherThreadWaitForTheLineBeingHandedOut) {
  g_inner.clear();
  base::sys::AddOutputCallback(Inner);
  base::sys::AddOutputCallback(Walker);
  std::thread adder([] {
    {
      std::unique_lock<std::mutex> lock(g_walkMutex);
      g_walkChanged.wait(lock, [] { return g_walkStarted; });
    }
    for (int i = 0; i < 64; ++i) base::sys::AddOutputCallback(Filler);
    std::lock_guard<std::mutex> lock(g_walkMutex);
    g_addsDone = true;
    g_walkChanged.notify_all();
  });
  base::sys::Output("walk\n");
  adder.join();
  base::sys::RemoveOutputCallback(Walker);
  base::sys::RemoveOutputCallback(Filler);
  base::sys::RemoveOutputCallback(Inner);
  EXPECT_FALSE(g_addedDuringWalk) << "the list changed under a walk";
  EXPECT_EQ(g_inner, (std::vector<std::string>{"walk\n", "from inside a callback\n"}));
}

}  // namespace
