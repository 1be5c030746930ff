// Load cycles through the loading screen, driven through the root module: what the screen shows
// for short and long loads and for a partial range, the switch on an empty queue, and a second
// StartLoading during a cycle (a savegame load asks twice) neither losing nor leaking events.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/app/Clock.h"
#include "base/system.h"
#include "frame_fixture.h"
#include "graphics/image/Image.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/frame/LoadingScreen.h"

namespace frametest {
namespace {

// Every reading of the clock moves it past the loading screen's slice: one task per update.
class cl_SlowClock : public base::i_Clock {
 public:
  unsigned long Ticks() override { return m_now += 25; }
  void Sleep(unsigned) override {}

 private:
  unsigned long m_now = 0;
};

class LoadingCycle : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    if (IsSkipped()) return;
    base::sys::SetClock(&m_clock);
    StartFrame();
  }
  void TearDown() override {
    FrameTest::TearDown();
    base::sys::SetClock(nullptr);
  }
  cl_LoadingScreen& Screen() { return *m_frame->GetLoadingScreen(); }
  void Queue(int count, float weight = 1.0f) {
    for (int i = 0; i < count; ++i) AddLoadingTask(new cl_CountingTask(&m_runs, weight));
  }
  int Count(const std::string& text) const {
    int n = 0;
    const std::string log = Log();
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  }

  cl_SlowClock m_clock;
  int m_runs = 0;
};

TEST_F(LoadingCycle, ATotalBelowTwoShowsABlackScreenAndATotalOfTwoTheBarUnderThePicture) {
  const std::string picture = std::string(QUILLANE_DATA_DIR) + "/gui/loading_screens/loading_main.tga";
  if (!std::filesystem::exists(picture)) GTEST_SKIP() << "no generated demo data (run demogen)";
  Screen().SetImage(picture.c_str());
  ASSERT_NE(Screen().GetImage(), nullptr);
  const int w = Screen().GetImage()->GetWidth(), h = Screen().GetImage()->GetHeight();

  StartLoading(base::tString<base::BaseString>("RootMenu"));
  Queue(1);
  float rect[4];
  Step();  // the task runs; the switch waits for the next update
  EXPECT_EQ(StateName(), "LoadingScreen");
  EXPECT_FALSE(Screen().GetLastBar(rect, nullptr)) << "one task shows no bar";
  EXPECT_EQ(Pixel(512, 384), 0u);
  EXPECT_EQ(Pixel(300, 650), 0u);
  Step();
  EXPECT_EQ(StateName(), "RootMenu");

  StartLoading(base::tString<base::BaseString>("RootMenu"));
  Queue(2);
  Step(0.1f);  // one task of two: the bar at half, under the centred picture
  ASSERT_EQ(StateName(), "LoadingScreen");
  float value = -1.0f;
  ASSERT_TRUE(Screen().GetLastBar(rect, &value));
  EXPECT_FLOAT_EQ(value, 0.5f);
  // 1024 x 768 holds a 1024 x 640 game viewport from y = 64; the picture and the bar form one
  // block of h + 32 pixels centred in it.
  const float x = 512.0f - w * 0.5f, y = 384.0f - (h + 32) * 0.5f;
  EXPECT_FLOAT_EQ(rect[0], x + 16.0f);
  EXPECT_FLOAT_EQ(rect[2], x + w - 16.0f);
  EXPECT_FLOAT_EQ(rect[1], y + h + 16.0f);
  EXPECT_FLOAT_EQ(rect[3], y + h + 32.0f);
  EXPECT_NE(Pixel(512, static_cast<int>(y) + h / 2), 0u) << "no picture";
  EXPECT_EQ(Pixel(static_cast<int>(x) - 4, static_cast<int>(y) + h / 2), 0u) << "the screen beside it is black";
  Step();
  Step();
  EXPECT_EQ(StateName(), "RootMenu");
  EXPECT_EQ(m_runs, 3);
}

TEST_F(LoadingCycle, WithoutAPictureTheBarStandsAboveTheViewportBottom) {
  StartLoading(base::tString<base::BaseString>("RootMenu"));
  Queue(3);
  Step();
  float rect[4];
  float value = 0.0f;
  ASSERT_TRUE(Screen().GetLastBar(rect, &value));
  EXPECT_FLOAT_EQ(rect[0], 512.0f - 256.0f);
  EXPECT_FLOAT_EQ(rect[2], 512.0f + 256.0f);
  EXPECT_FLOAT_EQ(rect[1], 704.0f - 128.0f - 8.0f);  // the viewport ends at y = 704
  EXPECT_FLOAT_EQ(value, 1.0f / 3.0f);
}

TEST_F(LoadingCycle, TheRangeFromZeroToAHalfNeverFillsPastHalf) {
  SetProgressRange(0.0f, 0.5f);
  StartLoading(base::tString<base::BaseString>("RootMenu"));
  Queue(10);
  float last = -1.0f;
  for (int frame = 0; frame < 10; ++frame) {
    Step();
    float rect[4], value = 0.0f;
    ASSERT_TRUE(Screen().GetLastBar(rect, &value));
    EXPECT_GT(value, last);
    EXPECT_LE(value, 0.5f);
    last = value;
  }
  EXPECT_FLOAT_EQ(last, 0.5f);
  Step();
  EXPECT_EQ(StateName(), "RootMenu");
}

TEST_F(LoadingCycle, AnEmptyQueueSwitchesOnTheFirstUpdate) {
  StartLoading(base::tString<base::BaseString>("RootMenu"));
  EXPECT_EQ(StateName(), "LoadingScreen");
  Step();
  EXPECT_EQ(StateName(), "RootMenu");
  EXPECT_NE(Log().find("GameFrame: state RootMenu"), std::string::npos);
}

// A savegame load starts a cycle towards "Session" and its scene change asks for the same
// target again after its task was queued: the pending event stays, the count goes on, and the
// target is switched to once.
TEST_F(LoadingCycle, ASecondRequestForTheSameTargetKeepsTheEventAndTheCount) {
  StartLoading(base::tString<base::BaseString>("RootMenu"));
  Queue(2);
  Step();
  EXPECT_FLOAT_EQ(Screen().GetDone(), 1.0f);
  StartLoading(base::tString<base::BaseString>("RootMenu"));
  EXPECT_STREQ(Screen().GetPendingTarget(), "RootMenu");
  EXPECT_FLOAT_EQ(Screen().GetDone(), 1.0f);
  EXPECT_FLOAT_EQ(Screen().GetTotal(), 2.0f);
  Queue(1);
  for (int frame = 0; frame < 5 && StateName() == "LoadingScreen"; ++frame) {
    Step();
    EXPECT_LE(Screen().GetDone(), Screen().GetTotal());
  }
  EXPECT_EQ(StateName(), "RootMenu");
  EXPECT_EQ(m_runs, 3);
  EXPECT_EQ(Count("GameFrame: state RootMenu"), 1);
}

// Another target replaces the pending event (which never runs) and counts what is still queued.
TEST_F(LoadingCycle, ANewTargetReplacesThePendingEventAndCountsTheQueuedTasks) {
  StartLoading(base::tString<base::BaseString>("Nowhere"));
  Queue(3, 2.0f);
  Step();
  EXPECT_FLOAT_EQ(Screen().GetDone(), 2.0f);
  StartLoading(base::tString<base::BaseString>("RootMenu"));
  EXPECT_STREQ(Screen().GetPendingTarget(), "RootMenu");
  EXPECT_FLOAT_EQ(Screen().GetDone(), 0.0f);
  EXPECT_FLOAT_EQ(Screen().GetTotal(), 4.0f);  // the two tasks still queued
  for (int frame = 0; frame < 5 && StateName() == "LoadingScreen"; ++frame) {
    Step();
    EXPECT_LE(Screen().GetDone(), Screen().GetTotal());
  }
  EXPECT_EQ(StateName(), "RootMenu");
  EXPECT_EQ(Log().find("Nowhere\""), std::string::npos) << Log();
}

TEST_F(LoadingCycle, WithoutAFrameStartLoadingOnlyLogsAndTasksAreDropped) {
  m_system->RemoveModule(m_frame);
  m_frame = nullptr;
  ASSERT_EQ(GetGameFrame(), nullptr);
  StartLoading(base::tString<base::BaseString>("RootMenu"));
  AddLoadingTask(new cl_CountingTask(&m_runs, 1.0f));
  EXPECT_NE(Log().find("StartLoading: Game frame does not exist.\n"), std::string::npos);
  EXPECT_NE(Log().find("ERROR: AddLoadingTask: no game frame; the task is dropped\n"), std::string::npos);
  EXPECT_EQ(m_runs, 0);
  // The frame emptied its services when it went: the rest answer as without a frame.
  EXPECT_FALSE(SwitchFrameState("RootMenu"));
  SetProgressRange(0.25f, 0.5f);
  SetLoadingPicture("gui/loading_screens/loading_main.tga");
  StartEditor();
}

}  // namespace
}  // namespace frametest
