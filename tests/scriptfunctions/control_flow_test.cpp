// The control script functions that decide when a script goes on: sleeping, dialogues that take
// over the caller, the diary's wait, background functions, waiting for the token bar, and calls
// into other scene and character scripts. Run as the Office's scene-script sequence.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillane/diary/Diary.h"
#include "office_fixture.h"

namespace scriptfunctionstest {
namespace {

using Strings = std::vector<std::string>;

class ControlFlow : public OfficeTest {
 protected:
  void SetUp() override {
    OfficeTest::SetUp();
    if (IsSkipped()) return;
    Write("Scripts/Dialogs/Odo.lua",
          "function Startup()\n  Debugout(\"t: odo startup\")\nend\n"
          "function Ferry()\n  Debugout(\"t: odo ferry\")\nend\n"
          "function Hello()\n  Debugout(\"t: odo hello\")\nend\n");
  }
};

TEST_F(ControlFlow, SleepZeroStillWaitsForTheNextUpdate) {
  ASSERT_NO_FATAL_FAILURE(Load("function Nap()\n  Sleep(0)\n  Debugout(\"t: woke\")\nend\n"));
  quillane::cl_GameActionQueue& queue = m_session->GetActionQueue();
  queue.m_skipAllowed = queue.m_cancelAllowed = true;
  Call("Nap");
  EXPECT_TRUE(Said().empty());
  EXPECT_FALSE(queue.m_skipAllowed);
  EXPECT_FALSE(queue.m_cancelAllowed);
  // The queue's update finishes the action; the script list's next update resumes the script.
  Step(0.05f);
  Step(0.05f);
  EXPECT_EQ(Said(), Strings{"woke"});
}

TEST_F(ControlFlow, NothingRunsAfterStartDialog) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function OnTrigger_Odo()\n  Debugout(\"t: before\")\n  StartDialog(\"Odo\")\n  Debugout(\"t: after\")\nend\n"
      "function Topic()\n  StartDialog(\"Odo\", \"Ferry\")\nend\n"
      "function Ask()\n  if IsDialog() then\n    Debugout(\"t: in dialogue\")\n  else\n"
      "    Debugout(\"t: no dialogue\")\n  end\nend\n"
      "function Bye()\n  EndDialog()\nend\n"));
  Call("Ask");
  Call("OnTrigger_Odo");
  for (int i = 0; i < 5; ++i) Step(0.05f);
  EXPECT_EQ(Said(), (Strings{"no dialogue", "before", "odo startup"}));
  EXPECT_TRUE(m_session->GetDialogCtrl().m_bActive);
  EXPECT_EQ(m_session->GetDialogCtrl().GetPartner(), "Odo");
  m_session->RunSceneScript("Office", "Ask", base::Variant());
  m_session->RunSceneScript("Office", "Bye", base::Variant());
  EXPECT_FALSE(m_session->GetDialogCtrl().m_bActive);
  m_session->RunSceneScript("Office", "Topic", base::Variant());
  EXPECT_EQ(Said(), (Strings{"no dialogue", "before", "odo startup", "in dialogue", "odo ferry"}));
}

TEST_F(ControlFlow, TheDiaryHoldsTheScriptUnlessToldNotTo) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Read()\n  DiaryShow(true)\n  Debugout(\"t: read\")\nend\n"
      "function Glance()\n  DiaryShow(true, false, true)\n  Debugout(\"t: glanced\")\nend\n"
      "function Shut()\n  DiaryShow(false)\nend\n"));
  cl_Diary* diary = m_session->GetDiary();
  ASSERT_NE(diary, nullptr);
  Call("Glance");
  Step(0.05f);
  EXPECT_EQ(Said(), Strings{"glanced"});
  EXPECT_TRUE(diary->IsVisible());
  m_session->RunSceneScript("Office", "Shut", base::Variant());
  for (int i = 0; i < 30 && diary->IsVisible(); ++i) Step(0.1f);

  Call("Read");
  for (int i = 0; i < 10; ++i) Step(0.1f);
  EXPECT_EQ(Said(), Strings{"glanced"}) << "waiting for the diary";
  EXPECT_TRUE(diary->IsVisible());
  m_session->RunSceneScript("Office", "Shut", base::Variant());
  EXPECT_GE(StepUntilSaid(2), 0.0f);
  EXPECT_EQ(Said(), (Strings{"glanced", "read"}));
}

TEST_F(ControlFlow, ABackgroundFunctionDoesNotHoldUpTheCaller) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Pacing()\n  Sleep(1.0)\n  Debugout(\"t: paced\")\nend\n"
      "function Start()\n  RunInBackground(\"Pacing\")\n  Debugout(\"t: went on\")\nend\n"));
  Call("Start");
  EXPECT_EQ(Said(), Strings{"went on"});
  EXPECT_GE(StepUntilSaid(2, 0.1f, 30), 0.5f);
  EXPECT_EQ(Said(), (Strings{"went on", "paced"}));
}

TEST_F(ControlFlow, WaitForGUIGoesOnOnceTheTokenBarHasSettled) {
  ASSERT_NO_FATAL_FAILURE(Load("function Settle()\n  WaitForGUI()\n  Debugout(\"t: settled\")\nend\n"));
  Call("Settle");
  EXPECT_GE(StepUntilSaid(1, 0.1f, 20), 0.0f);
  EXPECT_EQ(Said(), Strings{"settled"});
  Step(0.1f);
  EXPECT_TRUE(m_session->GetActionQueue().IsIdle());
}

TEST_F(ControlFlow, CallsIntoOtherScenesAndCharacters) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Other()\n  Debugout(\"t: other\")\nend\n"
      "function Calls()\n  CallScene(\"Office\", \"Other\")\n  CallCharacter(\"Odo\", \"Hello\")\n"
      "  CallCharacter(\"Nobody\", \"Hello\")\n  Debugout(\"t: done\")\nend\n"));
  m_session->RunSceneScript("Office", "Calls", base::Variant());
  EXPECT_EQ(Said(), (Strings{"other", "odo hello", "done"}));
  EXPECT_TRUE(Logged("Dialogs/Nobody.lua")) << "the missing script is reported";
}

}  // namespace
}  // namespace scriptfunctionstest
