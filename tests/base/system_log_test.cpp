#include "base/system.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TimeScale.h"

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
// unguarded list's storage under the walk) and holds the walk until that thread has either added
// them (the list changed under the walk) or sleeps waiting for a lock, which after announcing its
// adds can only be the list's. Which of the two happens does not depend on how fast either runs.
std::atomic<pid_t> g_adder{0};
std::atomic<bool> g_walkStarted{false}, g_adding{false}, g_addsDone{false};
bool g_addedDuringWalk = false, g_adderWaited = false;
std::vector<std::string> g_inner;

// Whether thread tid sleeps in the kernel's futex wait, which is how a taken lock is waited for.
bool SleepsOnALock(pid_t tid) {
  std::ifstream syscall("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long number = -1;
  return syscall >> number && number == SYS_futex;
}

bool Filler(const char*) { return true; }
bool Inner(const char* text) {
  g_inner.emplace_back(text);
  return true;
}
bool Walker(const char* text) {
  if (std::string(text) != "walk\n") return true;
  base::sys::Output("from inside a callback\n");  // its own line does not wait for itself
  g_walkStarted = true;
  testsupport::WaitUntil(
      [] {
        g_addedDuringWalk = g_addsDone;
        g_adderWaited = !g_addedDuringWalk && g_adding && SleepsOnALock(g_adder);
        return g_addedDuringWalk || g_adderWaited;
      },
      60000, 1);
  return true;
}

TEST(SystemOutput, CallbacksAddedFromAnotherThreadWaitForTheLineBeingHandedOut) {
  g_inner.clear();
  base::sys::AddOutputCallback(Inner);
  base::sys::AddOutputCallback(Walker);
  std::thread adder([] {
    g_adder = gettid();
    while (!g_walkStarted) std::this_thread::yield();  // no lock of its own before the adds
    g_adding = true;
    for (int i = 0; i < 64; ++i) base::sys::AddOutputCallback(Filler);
    g_addsDone = true;
  });
  base::sys::Output("walk\n");
  adder.join();
  base::sys::RemoveOutputCallback(Walker);
  base::sys::RemoveOutputCallback(Filler);
  base::sys::RemoveOutputCallback(Inner);
  EXPECT_FALSE(g_addedDuringWalk) << "the list changed under a walk";
  EXPECT_TRUE(g_adderWaited || g_addedDuringWalk) << "the adding thread neither added nor waited for the walk";
  EXPECT_EQ(g_inner, (std::vector<std::string>{"walk\n", "from inside a callback\n"}));
}

}  // namespace
