// The action queue and the script calls with a scene on the stage: background functions of the
// current scene, triggers found or missing, an aborted walk that stops its walker, a finished turn,
// actions deleted while characters still point at them, and a character's timer script.
#include <gtest/gtest.h>

#include <algorithm>

#include "KRX/runtime/Thread.h"
#include "action_queue_fixture.h"
#include "quillane/character/Character.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Stage.h"

namespace queuetest {
namespace {

using quillane::cl_Character;
using quillane::cl_GameActionQueue;

const char* kHall =
    "function OnEnterScene()\n"
    "  RunInBackground(\"Pace\")\n"
    "  Mark(\"entered\")\n"
    "end\n"
    "function Pace()\n"
    "  Sleep(1)\n"
    "  Mark(\"paced\")\n"
    "end\n"
    "function OnTrigger_door()\n"
    "  Wait(\"walk\", 0, \"Quillane\")\n"
    "  Mark(\"at the door\")\n"
    "end\n"
    "function Turn()\n"
    "  Wait(\"turn\", 0.2, \"Quillane\")\n"
    "end\n"
    "function Talk()\n"
    "  Wait(\"speak\", 5, \"Quillane\")\n"
    "end\n";

class QueueStage : public QueueTest {
 protected:
  void SetUp() override {
    QueueTest::SetUp();
    WriteScript("Scenes/Hall.lua", kHall);
    m_stage = ShowScene("Hall");
    ASSERT_NE(m_stage, nullptr);
    ASSERT_NE(m_stage->GetScene(), nullptr);
    m_quillane = new cl_Character;
    m_quillane->name = "Quillane";
    m_stage->AdoptCharacter(m_quillane);
  }

  quillane::cl_Stage* m_stage = nullptr;
  cl_Character* m_quillane = nullptr;  // owned by the stage
};

// RunInBackground starts a function of the current scene beside the calling script, which goes
// on at once; the new thread's waits are background actions.
TEST_F(QueueStage, RunInBackgroundStartsTheScenesFunctionBesideTheCaller) {
  GameThread* scene = StartSceneScript("Scenes/Hall.lua", "OnEnterScene");
  EXPECT_EQ(scene, nullptr);  // it did not wait for the background function
  EXPECT_EQ(Marks(), std::vector<std::string>{"entered"});
  EXPECT_EQ(Queue().GetBackgroundThreadCount(), 1);
  EXPECT_EQ(Queue().GetActionCount(), 1);
  EXPECT_FALSE(Queue().HasForegroundAction());
  EXPECT_EQ(FramesUntilMark("paced", 0.1f), 11);  // a second in tenths, then the frame it goes on
  Frame(0.1f);
  EXPECT_EQ(Queue().GetBackgroundThreadCount(), 0);
}

// A click on a scene object runs "OnTrigger_" + its name as the scene-script sequence; an object
// without one is logged with the scene's name.
TEST_F(QueueStage, TriggersRunAsTheSequenceOrAreLoggedAsMissing) {
  EXPECT_TRUE(quillane::RunTrigger("door"));
  EXPECT_NE(Queue().m_sceneScript, nullptr);
  EXPECT_TRUE(Queue().IsBusy());
  Lines().clear();
  EXPECT_FALSE(quillane::RunTrigger("window"));
  EXPECT_EQ(AllLines(), "No trigger for window in scene Hall.\n");
}

// Aborting a walk stops the walker and drops the walk's own completion event, so nothing wakes
// the ended script later; a walk the character makes for someone else keeps its event.
TEST_F(QueueStage, AbortOfAWalkStopsTheWalkerAndEndsItsScript) {
  Queue().AllowSkipAndCancel();
  ASSERT_TRUE(quillane::RunTrigger("door"));
  const KRX::tRefPtr<GameThread> walker(Queue().m_sceneScript);
  ASSERT_NE(walker.get(), nullptr);
  ASSERT_NE(m_quillane->onDone, nullptr);
  ASSERT_TRUE(Queue().CanCancel());
  Queue().Abort();
  EXPECT_EQ(m_quillane->onDone, nullptr);
  EXPECT_EQ(m_quillane->state, quillane::cl_MovementCtrl::STATE_BRAKING);
  EXPECT_EQ(walker->GetState(), KRX::Thread::STATE_FINISHED);
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_IDLE);
  Frames(3, 0.1f);
  EXPECT_FALSE(HasMark("at the door"));

  ASSERT_TRUE(quillane::RunTrigger("door"));
  i_Event* walkEvent = m_quillane->onDone;
  m_quillane->onDone = new quillane::st_ScriptStopEvent;  // the character walks on for another caller
  Queue().Abort();
  EXPECT_NE(m_quillane->onDone, nullptr);
  delete walkEvent;
}

TEST_F(QueueStage, AFinishedTurnLeavesTheCharacterFacingItsTarget) {
  m_quillane->yaw = 0.0f;
  m_quillane->targetYaw = 1.25f;
  ASSERT_NE(StartSceneScript("Scenes/Hall.lua", "Turn"), nullptr);
  Frames(3, 0.1f);
  EXPECT_EQ(Queue().GetActionCount(), 0);
  EXPECT_EQ(m_quillane->yaw, 1.25f);
}

// A character that points at its spoken line lets go of it whenever the queue deletes the
// action: by Clear, by a click that skips the line, or when the line has run out.
TEST_F(QueueStage, CharactersLetGoOfDeletedActions) {
  ASSERT_NE(StartSceneScript("Scenes/Hall.lua", "Talk"), nullptr);
  EXPECT_NE(m_quillane->pendingAction, nullptr);
  Queue().Clear();
  EXPECT_EQ(m_quillane->pendingAction, nullptr);

  ASSERT_NE(StartSceneScript("Scenes/Hall.lua", "Talk"), nullptr);
  Queue().SkipCurrentAction();
  EXPECT_EQ(m_quillane->pendingAction, nullptr);

  ASSERT_NE(StartSceneScript("Scenes/Hall.lua", "Talk"), nullptr);
  Frames(51, 0.1f);
  EXPECT_EQ(Queue().GetActionCount(), 0);
  EXPECT_EQ(m_quillane->pendingAction, nullptr);
}

// A character's dialog script may keep a timer: "CharacterTimer" runs at the character's first
// update and again once the delay it returned has run out; a delay of 0 asks for no further call,
// as does a character without the function.
TEST_F(QueueStage, ACharactersTimerScriptRunsAfterTheDelayItReturns) {
  WriteScript("Dialogs/Quillane.lua",
              "local calls = 0\n"
              "function CharacterTimer()\n"
              "  calls = calls + 1\n"
              "  Mark(\"timer\")\n"
              "  if calls < 2 then return 0.5 end\n"
              "  return 0\n"
              "end\n");
  auto* odo = new cl_Character;
  odo->name = "Odo";
  m_stage->AdoptCharacter(odo);
  auto timers = [] { return std::count(Marks().begin(), Marks().end(), "timer"); };
  m_quillane->Update(0.25f);
  odo->Update(0.25f);
  EXPECT_EQ(timers(), 1);
  EXPECT_EQ(m_quillane->timerDelay, 0.5f);
  EXPECT_EQ(odo->timerDelay, cl_Character::kNoTimer) << "no dialog script, no timer";
  m_quillane->Update(0.25f);
  m_quillane->Update(0.25f);
  EXPECT_EQ(timers(), 1) << "the delay has just run out";
  m_quillane->Update(0.25f);
  EXPECT_EQ(timers(), 2);
  EXPECT_EQ(m_quillane->timerDelay, cl_Character::kNoTimer);
}

// A timer that speaks waits for its line on a thread of its own, beside the player (its line is a
// background action); it is not called again while it waits, and once it has ended its result
// sets the next delay: with lines of a second and "return 4", three lines in 15 s. Its first wait
// was taken for its result (none), and the timer slept a day after its first line.
TEST_F(QueueStage, ATimerThatSpeaksRunsAgainOnceItsLineIsSaidAndTheDelayItReturnsIsOver) {
  WriteScript("Dialogs/Quillane.lua",
              "function CharacterTimer()\n"
              "  Mark(\"timer\")\n"
              "  Wait(\"speak\", 1, \"Quillane\")\n"
              "  Mark(\"said\")\n"
              "  return 4\n"
              "end\n");
  auto count = [](const char* mark) { return std::count(Marks().begin(), Marks().end(), mark); };
  for (int frame = 0; frame < 150; ++frame) {
    m_quillane->Update(0.1f);
    Frame(0.1f);
    if (frame == 5) {
      EXPECT_EQ(count("timer"), 1);
      EXPECT_EQ(count("said"), 0);
      EXPECT_EQ(Queue().GetBackgroundThreadCount(), 1);
      EXPECT_FALSE(Queue().IsBusy()) << "the player is not held up";
    }
  }
  EXPECT_EQ(count("timer"), 3);
  EXPECT_EQ(count("said"), 3);
  EXPECT_LE(m_quillane->timerDelay, 4.0f);
  Frames(2, 0.1f);
  EXPECT_EQ(Queue().GetBackgroundThreadCount(), 0) << "the ended timer's thread is let go";
}

}  // namespace
}  // namespace queuetest
