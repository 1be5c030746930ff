#include <gtest/gtest.h>

#include "support/HeadlessPlatform.h"
#include "base/app/SystemRoot.h"
#include "base/TaskScheduler.h"
#include "system_test_support.h"
#include "test_support.h"

namespace {

using testsupport::FakeClock;
using testsupport::Journal;
using testsupport::Only;

// Takes ms of the (fake) clock when it runs and notes its name.
class StepTask : public base::i_Task {
 public:
  StepTask(Journal& j, std::string name, FakeClock& clock, unsigned ms, float weight = 1.0f)
      : m_journal(j), m_name(std::move(name)), m_clock(clock), m_ms(ms) {
    m_weight = weight;
  }
  ~StepTask() override { m_journal.push_back(m_name + ":deleted"); }
  void Run() override {
    m_journal.push_back(m_name);
    m_clock.Advance(m_ms);
    if (m_follow) m_follow();
  }
  std::function<void()> m_follow;

 private:
  Journal& m_journal;
  std::string m_name;
  FakeClock& m_clock;
  unsigned m_ms;
};

class LoadingScreen : public base::cl_TaskScheduler {
 public:
  void Render() override {}
};

std::vector<std::string> Runs(const Journal& j) {
  std::vector<std::string> out;
  for (const auto& e : j) {
    if (e.find(':') == std::string::npos) out.push_back(e);
  }
  return out;
}

TEST(TaskScheduler, RunsTasksInTwentyMillisecondSlicesThenTheCompletionTask) {
  FakeClock clock;
  Journal j;
  LoadingScreen s;
  s.SetCompletionTask(new StepTask(j, "done", clock, 0));
  for (int i = 0; i < 5; ++i) s.AddTask(new StepTask(j, "t" + std::to_string(i), clock, 8));
  EXPECT_FLOAT_EQ(s.GetTotal(), 5.0f);

  s.Update(0, 0);  // 8, 16, 24 ms: the third task overruns the slice and ends it
  EXPECT_EQ(Runs(j), (Journal{"t0", "t1", "t2"}));
  EXPECT_FLOAT_EQ(s.GetDone(), 3.0f);
  j.clear();
  s.Update(0, 0);  // the last two fit, and the queue ran empty within the slice
  EXPECT_EQ(Runs(j), (Journal{"t3", "t4", "done"}));
  EXPECT_EQ(j.back(), "done:deleted");
  EXPECT_FLOAT_EQ(s.GetDone(), 5.0f);

  testsupport::LogCapture log;
  s.Update(0, 0);
  EXPECT_TRUE(log.contains("warning: cl_TaskScheduler is idle\n"));
}

TEST(TaskScheduler, OneLongTaskPerUpdateAndCompletionOnTheNextWhenTheSliceIsUsedUp) {
  FakeClock clock;
  Journal j;
  LoadingScreen s;
  s.SetCompletionTask(new StepTask(j, "done", clock, 0));
  s.AddTask(new StepTask(j, "long", clock, 30));
  s.AddTask(new StepTask(j, "short", clock, 1));
  s.Update(0, 0);
  EXPECT_EQ(Runs(j), (Journal{"long"}));
  j.clear();
  s.AddTask(new StepTask(j, "last", clock, 25));
  s.Update(0, 0);
  EXPECT_EQ(Runs(j), (Journal{"short", "last"}));  // the slice ran out with the last task
  j.clear();
  s.Update(0, 0);
  EXPECT_EQ(Runs(j), (Journal{"done"}));
}

TEST(TaskScheduler, FractionalWeightsMoveTheProgress) {
  FakeClock clock;
  Journal j;
  LoadingScreen s;
  s.SetCompletionTask(new StepTask(j, "done", clock, 0));
  for (int i = 0; i < 3; ++i) s.AddTask(new StepTask(j, "half", clock, 0, 0.5f));
  s.AddTask(new StepTask(j, "quarter", clock, 0, 0.25f));
  s.Update(0, 0);
  EXPECT_FLOAT_EQ(s.GetTotal(), 1.75f);
  EXPECT_FLOAT_EQ(s.GetDone(), 1.75f);  // a truncated integer sum would have stayed at 0
}

TEST(TaskScheduler, TasksQueuedByATaskRunInTheSameSlice) {
  FakeClock clock;
  Journal j;
  LoadingScreen s;
  auto* first = new StepTask(j, "first", clock, 1);
  first->m_follow = [&] { s.AddTask(new StepTask(j, "queued", clock, 1, 2.0f)); };
  s.AddTask(first);
  s.Update(0, 0);
  EXPECT_EQ(Runs(j), (Journal{"first", "queued"}));
  EXPECT_FLOAT_EQ(s.GetTotal(), 3.0f);
  EXPECT_FLOAT_EQ(s.GetDone(), 3.0f);
}

TEST(TaskScheduler, UnrunTasksAndReplacedCompletionTasksAreDeleted) {
  FakeClock clock;
  Journal j;
  {
    LoadingScreen s;
    s.SetCompletionTask(new StepTask(j, "old", clock, 0));
    s.AddTask(new StepTask(j, "a", clock, 0));
    s.SetCompletionTask(new StepTask(j, "new", clock, 0));  // a new cycle: counters back to 0
    EXPECT_FLOAT_EQ(s.GetTotal(), 0.0f);
    s.AddTask(new StepTask(j, "b", clock, 0));
  }
  EXPECT_EQ(j, (Journal{"old:deleted", "a:deleted", "b:deleted", "new:deleted"}));
}

TEST(TaskScheduler, TheCompletionTaskMayStartTheNextCycle) {
  FakeClock clock;
  Journal j;
  LoadingScreen s;
  auto* done = new StepTask(j, "done", clock, 0);
  done->m_follow = [&] { s.SetCompletionTask(new StepTask(j, "next", clock, 0)); };
  s.SetCompletionTask(done);
  s.Update(0, 0);
  s.Update(0, 0);
  EXPECT_EQ(Runs(j), (Journal{"done", "next"}));
}

}  // namespace

namespace {

// A loading screen as a state of the frame, run by the root module on the headless platform:
// 12 ms tasks, 16 ms frames, and a completion task that switches to the loaded state.
TEST(TaskScheduler, LoadsOverSeveralFramesOfARunningSystem) {
  Journal j;
  FakeClock clock(16);
  base::cl_System system;
  auto* platform = new testsupport::cl_HeadlessPlatform;
  system.RegisterPlatform(platform);
  auto* frame = new base::cl_StateHandlerModule;
  auto* loading = new LoadingScreen;
  frame->AddState("LoadingScreen", loading);
  frame->AddState("Game", new testsupport::Recorder(j, "game"));
  system.AddModule(frame);
  auto* done = new StepTask(j, "switch", clock, 0);
  done->m_follow = [frame] { frame->SetState("Game"); };
  loading->SetCompletionTask(done);
  for (int i = 0; i < 7; ++i) loading->AddTask(new StepTask(j, "t" + std::to_string(i), clock, 12));
  frame->SetState("LoadingScreen");

  std::vector<float> progress;
  platform->SetFrameHook([&](int) { progress.push_back(loading->GetDone() / loading->GetTotal()); });
  platform->SetFrameLimit(6);
  ASSERT_TRUE(system.StartUp());
  system.Run();
  // Two 12 ms tasks per slice (the second overruns it): 7 tasks take 4 frames, the completion
  // task runs in the fourth, and the fifth and sixth frames update the game state.
  EXPECT_EQ(progress, (std::vector<float>{0.0f, 2 / 7.0f, 4 / 7.0f, 6 / 7.0f, 1.0f, 1.0f}));
  EXPECT_EQ(Runs(j).back(), "switch");
  EXPECT_EQ(Only(j, "Game:update").size(), 2u);
}

}  // namespace
