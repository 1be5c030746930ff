// Skipping sequences on a simulated clock: the double-click skip behind the fader with and without
// the visible fade, a script that stops the skip, Escape in a cutscene, and the sequences that
// never end (a cutscene never left, a script that loops), which the step bound ends with a warning.
#include <gtest/gtest.h>

#include "action_queue_fixture.h"
#include "quillane/settings/TweakSettings.h"

namespace queuetest {
namespace {

using quillane::cl_GameActionQueue;

const char* kScene =
    "function Talk()\n"
    "  Mark(\"start\")\n"
    "  Wait(\"speak\", 3, \"Odo\")\n"
    "  Mark(\"middle\")\n"
    "  Wait(\"speak\", 3, \"Quillane\")\n"
    "  Mark(\"end\")\n"
    "end\n"
    "function Stopping()\n"
    "  Wait(\"speak\", 3, \"Odo\")\n"
    "  StopSkip()\n"
    "  Mark(\"stopped\")\n"
    "  Wait(\"speak\", 3, \"Odo\")\n"
    "  Mark(\"end\")\n"
    "end\n"
    "function Cutscene()\n"
    "  BeginCutscene()\n"
    "  Wait(\"speak\", 2, \"Odo\")\n"
    "  Mark(\"a\")\n"
    "  Sleep(2)\n"
    "  EndCutscene()\n"
    "  Mark(\"b\")\n"
    "  Wait(\"speak\", 100, \"Odo\")\n"
    "  Mark(\"c\")\n"
    "end\n"
    "function Endless()\n"
    "  BeginCutscene()\n"
    "  while true do\n"
    "    Sleep(1)\n"
    "  end\n"
    "end\n"
    "function Forgotten()\n"
    "  BeginCutscene()\n"
    "  Sleep(1)\n"
    "  Mark(\"over\")\n"
    "end\n"
    "function Looping()\n"
    "  while true do\n"
    "    Wait(\"speak\", 1, \"Odo\")\n"
    "  end\n"
    "end\n";

class QueueSkip : public QueueTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    QueueTest::SetUp();
    WriteScript("Scenes/Office.lua", kScene);
  }
  // The player clicked an object whose script is function: the sequence may be skipped.
  GameThread* Interact(const char* function) {
    Queue().AllowSkipAndCancel();
    return StartSceneScript("Scenes/Office.lua", function);
  }
};

// The double-click skip waits Skip_Delay + 0.01 s for the fader, then runs the rest of the
// sequence inside one frame and leaves the screen clear; with Skip_UseFading off the fader counts
// the same time down unseen.
TEST_P(QueueSkip, DoubleClickSkipWaitsForTheFaderThenRunsTheRestAtOnce) {
  Skip_UseFading = GetParam();
  Skip_Delay = 0.2f;
  ASSERT_NE(Interact("Talk"), nullptr) << AllLines();
  ASSERT_TRUE(Queue().IsBusy());
  ASSERT_TRUE(Queue().CanSkip());
  Queue().StartSkip();
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_FADE_BEFORE_SKIPPING_SEQUENCE);
  cl_Fader& fader = m_session->GetFader();
  EXPECT_EQ(fader.m_state, GetParam() ? cl_Fader::STATE_COVERING : cl_Fader::STATE_COUNTDOWN);
  // 0.21 s of fading in frames of 0.05 s: covered during the fifth frame, seen by the sixth.
  Frames(5, 0.05f);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_COVERED);
  EXPECT_FALSE(HasMark("middle"));
  Frame(0.05f);
  EXPECT_EQ(Marks(), (std::vector<std::string>{"start", "middle", "end"}));
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_IDLE);
  EXPECT_EQ(Queue().m_sceneScript, nullptr);
  EXPECT_EQ(Queue().GetActionCount(), 0);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_UNCOVERED);
  EXPECT_EQ(fader.m_value, 0.0f);
  // Two lines of 3 s in steps of 0.1 s, and the steps for the thread to end and be let go.
  EXPECT_GE(Queue().GetLastSkipSteps(), 61);
  EXPECT_LE(Queue().GetLastSkipSteps(), 64);
}

INSTANTIATE_TEST_SUITE_P(Fading, QueueSkip, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "On" : "Off"; });

TEST_F(QueueSkip, AScriptThatStopsTheSkipPlaysOnNormally) {
  ASSERT_NE(Interact("Stopping"), nullptr) << AllLines();
  Queue().StartSkip();
  FramesUntilMark("stopped", 0.05f, 10);
  ASSERT_TRUE(HasMark("stopped"));
  EXPECT_FALSE(HasMark("end"));
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_SEQUENCE_RUNNING);
  EXPECT_FALSE(Queue().m_skipAllowed);
  EXPECT_EQ(m_session->GetFader().m_state, cl_Fader::STATE_UNCOVERED);
  EXPECT_EQ(Queue().GetActionCount(), 1);
  // The last line began in the skip's final step, which took 0.1 s off it, and the frame that ran
  // the skip took its own 0.05 s.
  EXPECT_NEAR(Queue().GetFirstForegroundAction()->m_time, 2.85f, 0.001f);
  EXPECT_EQ(FramesUntilMark("end", 0.1f), 30);
}

// Escape in a cutscene runs the steps until the script leaves it; the rest plays normally. The
// double-click skip is not offered in a cutscene (the player is locked).
TEST_F(QueueSkip, EscapeInACutsceneRunsUntilItsEnd) {
  ASSERT_NE(Interact("Cutscene"), nullptr) << AllLines();
  Queue().m_skipAllowed = true;
  EXPECT_FALSE(Queue().CanSkip());
  m_session->GetFader().Start(true, 1.0f, "", 0);
  Queue().SkipSequence();
  EXPECT_EQ(Marks(), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(Queue().m_inCutscene);
  EXPECT_EQ(Queue().GetLastSkipSteps(), 41);  // 2 s and 2 s, each finished below 0 and woken
  EXPECT_EQ(m_session->GetFader().m_state, cl_Fader::STATE_UNCOVERED);
  // The line after the cutscene began in the last step and plays on.
  ASSERT_NE(Queue().GetFirstForegroundAction(), nullptr);
  EXPECT_NEAR(Queue().GetFirstForegroundAction()->m_time, 99.9f, 0.001f);
  EXPECT_EQ(AllLines().find("Warning"), std::string::npos) << AllLines();
}

TEST_F(QueueSkip, ACutsceneThatIsNeverLeftStopsAfterAnHourWithAWarning) {
  ASSERT_NE(Interact("Endless"), nullptr) << AllLines();
  Queue().SkipSequence();
  EXPECT_EQ(Queue().GetLastSkipSteps(), cl_GameActionQueue::kMaxSkipSteps);
  EXPECT_TRUE(LogHas("Warning: skipping the sequence stopped after 36000 steps (a cutscene still running)"))
      << AllLines();
  EXPECT_TRUE(Queue().m_inCutscene);
  EXPECT_EQ(m_session->GetFader().m_state, cl_Fader::STATE_UNCOVERED);
}

// A script that ends without leaving its cutscene leaves nothing that could leave it: the skip
// ends with the script.
TEST_F(QueueSkip, ACutsceneWhoseScriptEndedStopsWithoutWarning) {
  ASSERT_NE(Interact("Forgotten"), nullptr) << AllLines();
  Queue().SkipSequence();
  EXPECT_TRUE(HasMark("over"));
  EXPECT_LE(Queue().GetLastSkipSteps(), 14);
  EXPECT_EQ(Queue().m_sceneScript, nullptr);
  EXPECT_EQ(AllLines().find("Warning"), std::string::npos) << AllLines();
}

TEST_F(QueueSkip, ASceneScriptThatNeverEndsStopsTheDoubleClickSkipWithAWarning) {
  ASSERT_NE(Interact("Looping"), nullptr) << AllLines();
  Queue().StartSkip();
  Frames(6, 0.05f);
  EXPECT_EQ(Queue().GetLastSkipSteps(), cl_GameActionQueue::kMaxSkipSteps);
  EXPECT_TRUE(LogHas("steps (a scene script still running)")) << AllLines();
  // The skip is over; the script plays on from where the bound left it.
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_SKIPPING_SEQUENCE);
  EXPECT_NE(Queue().m_sceneScript, nullptr);
}

}  // namespace
}  // namespace queuetest
