// The action queue's timed actions on a simulated clock, driven by Lua scripts through the real
// script system: sleeping no time and exactly no time left, the flag functions, waits ended by a
// completion event or a click, and what a finished action does for the script behind it.
#include <gtest/gtest.h>

#include "KRX/ScriptLoader.h"
#include "KRX/runtime/Thread.h"
#include "action_queue_fixture.h"

namespace queuetest {
namespace {

using quillane::cl_GameActionQueue;

TEST_F(QueueTest, SleepOfNoTimeEndsAtTheFirstFrameWithTime) {
  WriteScript("Scenes/Office.lua",
              "function Nap()\n"
              "  Mark(\"before\")\n"
              "  Sleep(0)\n"
              "  Mark(\"after\")\n"
              "end\n");
  GameThread* thread = StartSceneScript("Scenes/Office.lua", "Nap");
  ASSERT_NE(thread, nullptr) << AllLines();
  EXPECT_EQ(Marks(), std::vector<std::string>{"before"});
  ASSERT_NE(Queue().GetFirstForegroundAction(), nullptr);
  EXPECT_EQ(Queue().GetFirstForegroundAction()->m_kind, "sleep");
  EXPECT_EQ(thread->GetState(), KRX::Thread::STATE_PAUSED);
  // A frame of no time leaves 0 seconds, which is not yet below 0.
  Frame(0.0f);
  EXPECT_EQ(Queue().GetActionCount(), 1);
  // The first frame with time ends the action; the script goes on at the next thread update.
  Frame(0.05f);
  EXPECT_EQ(Queue().GetActionCount(), 0);
  EXPECT_FALSE(HasMark("after"));
  Frame(0.05f);
  EXPECT_EQ(Marks(), (std::vector<std::string>{"before", "after"}));
  // The thread list lets the ended thread go at its next update; its stop event then tells the
  // queue that the scene script is over.
  EXPECT_EQ(Queue().m_sceneScript, thread);
  Frame(0.05f);
  EXPECT_EQ(Queue().m_sceneScript, nullptr);
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_IDLE);
}

TEST_F(QueueTest, ATimeOfExactlyZeroWaitsOneMoreFrame) {
  WriteScript("Scenes/Office.lua",
              "function Nap()\n"
              "  Sleep(0.25)\n"
              "  Mark(\"after\")\n"
              "end\n");
  ASSERT_NE(StartSceneScript("Scenes/Office.lua", "Nap"), nullptr) << AllLines();
  Frames(2, 0.125f);  // exactly 0 left
  ASSERT_EQ(Queue().GetActionCount(), 1);
  EXPECT_EQ(Queue().GetFirstForegroundAction()->m_time, 0.0f);
  Frame(0.125f);
  EXPECT_EQ(Queue().GetActionCount(), 0);
  Frame(0.125f);
  EXPECT_TRUE(HasMark("after"));
}

TEST_F(QueueTest, OnlyTimedKindsCountDown) {
  WriteScript("Scenes/Office.lua",
              "function Kinds()\n"
              "  Wait(\"walk\", 0.5)\n"
              "end\n"
              "function Turn()\n"
              "  Wait(\"turn\", 0.5)\n"
              "  Mark(\"turned\")\n"
              "end\n");
  ASSERT_NE(StartSceneScript("Scenes/Office.lua", "Kinds"), nullptr) << AllLines();
  Frames(10, 0.1f);
  ASSERT_EQ(Queue().GetActionCount(), 1);
  EXPECT_EQ(Queue().GetFirstForegroundAction()->m_time, 0.5f);
  Queue().Clear();
  ASSERT_NE(StartSceneScript("Scenes/Office.lua", "Turn"), nullptr) << AllLines();
  EXPECT_EQ(FramesUntilMark("turned", 0.1f), 7);  // 5 frames to 0, the 6th below, the 7th runs on
}

// The flag functions through scripts: 1 or no argument sets, anything else clears; the cutscene
// pair sets and clears three flags; Sleep clears skip and cancel.
TEST_F(QueueTest, FlagFunctionsSetTheirFlagOnlyForOne) {
  struct st_Case {
    const char* call;
    bool cl_GameActionQueue::*flag;
    bool expected;
  };
  const st_Case cases[] = {
      {"LockPlayer()", &cl_GameActionQueue::m_playerLocked, true},
      {"LockPlayer(2)", &cl_GameActionQueue::m_playerLocked, false},
      {"LockPlayer(1)", &cl_GameActionQueue::m_playerLocked, true},
      {"LockPlayer(-1)", &cl_GameActionQueue::m_playerLocked, false},
      {"LockDialog()", &cl_GameActionQueue::m_dialogLocked, true},
      {"LockDialog(0)", &cl_GameActionQueue::m_dialogLocked, false},
      {"AllowSkip(1)", &cl_GameActionQueue::m_skipAllowed, true},
      {"AllowSkip(0)", &cl_GameActionQueue::m_skipAllowed, false},
      {"AllowCancel()", &cl_GameActionQueue::m_cancelAllowed, true},
      {"AllowCancel(3)", &cl_GameActionQueue::m_cancelAllowed, false},
      {"LockMovement(1)", &cl_GameActionQueue::m_movementLocked, true},
      {"LockMovement(\"yes\")", &cl_GameActionQueue::m_movementLocked, true},  // not a number: the default
      {"LockMovement(0)", &cl_GameActionQueue::m_movementLocked, false},
  };
  std::string source;
  for (size_t i = 0; i < std::size(cases); ++i)
    source += "function F" + std::to_string(i) + "()\n  " + cases[i].call + "\nend\n";
  source +=
      "function Cut()\n  BeginCutscene()\nend\n"
      "function Uncut()\n  EndCutscene()\nend\n"
      "function Nap()\n  Sleep(1)\nend\n"
      "function Stop()\n  StopSkip()\nend\n";
  WriteScript("flags.lua", source);
  for (size_t i = 0; i < std::size(cases); ++i) {
    StartSceneScript("flags.lua", ("F" + std::to_string(i)).c_str());
    EXPECT_EQ(Queue().*cases[i].flag, cases[i].expected) << cases[i].call;
  }
  EXPECT_EQ(AllLines(), "");  // the flag functions read their argument without a message

  StartSceneScript("flags.lua", "Cut");
  EXPECT_TRUE(Queue().m_inCutscene && Queue().m_playerLocked && Queue().m_dialogLocked);
  StartSceneScript("flags.lua", "Uncut");
  EXPECT_FALSE(Queue().m_inCutscene || Queue().m_playerLocked || Queue().m_dialogLocked);

  Queue().AllowSkipAndCancel();
  ASSERT_NE(StartSceneScript("flags.lua", "Nap"), nullptr);
  EXPECT_FALSE(Queue().m_skipAllowed);
  EXPECT_FALSE(Queue().m_cancelAllowed);
  EXPECT_EQ(Queue().GetFirstForegroundAction()->m_time, 1.0f);

  // StopSkip outside a skip only takes the permission away.
  Queue().m_skipAllowed = true;
  StartSceneScript("flags.lua", "Stop");
  EXPECT_FALSE(Queue().m_skipAllowed);
}

// A completion event ends its action once; a second execution, or one for an action that the
// queue no longer holds, does nothing.
TEST_F(QueueTest, CompletionEventsEndTheirActionOnce) {
  WriteScript("Scenes/Office.lua",
              "function Held()\n"
              "  Hold()\n"
              "  Mark(\"one\")\n"
              "  Hold()\n"
              "  Mark(\"two\")\n"
              "end\n");
  GameThread* thread = StartSceneScript("Scenes/Office.lua", "Held");
  ASSERT_NE(thread, nullptr) << AllLines();
  Frames(3, 0.1f);
  EXPECT_TRUE(Marks().empty());
  EXPECT_TRUE(Queue().IsBusy());
  ASSERT_EQ(HeldEvents().size(), 1u);
  HeldEvents()[0]->Execute();
  EXPECT_EQ(Queue().GetActionCount(), 0);
  Frame(0.1f);
  EXPECT_EQ(Marks(), std::vector<std::string>{"one"});
  ASSERT_EQ(HeldEvents().size(), 2u);
  // The first event again: its action is gone, and the new one is a different action.
  HeldEvents()[0]->Execute();
  EXPECT_EQ(Queue().GetActionCount(), 1);
  Frame(0.1f);
  EXPECT_EQ(Marks(), std::vector<std::string>{"one"});
  // Skipping the current action is for spoken lines and images only.
  EXPECT_FALSE(Queue().IsCurrentActionSkippable());
  HeldEvents()[1]->Execute();
  Frame(0.1f);
  EXPECT_EQ(Marks(), (std::vector<std::string>{"one", "two"}));
}

// A click finishes a spoken line early, unless the dialogue is locked.
TEST_F(QueueTest, AClickSkipsASpokenLineUnlessTheDialogueIsLocked) {
  WriteScript("Scenes/Office.lua",
              "function Talk()\n"
              "  LockDialog(1)\n"
              "  Wait(\"speak\", 5, \"Odo\")\n"
              "  Mark(\"first\")\n"
              "  LockDialog(0)\n"
              "  Wait(\"speak\", 5, \"Odo\")\n"
              "  Mark(\"second\")\n"
              "end\n");
  ASSERT_NE(StartSceneScript("Scenes/Office.lua", "Talk"), nullptr) << AllLines();
  EXPECT_FALSE(Queue().IsCurrentActionSkippable());
  EXPECT_EQ(FramesUntilMark("first", 0.1f), 52);
  EXPECT_TRUE(Queue().IsCurrentActionSkippable());
  Queue().SkipCurrentAction();
  EXPECT_EQ(Queue().GetActionCount(), 0);
  EXPECT_EQ(FramesUntilMark("second", 0.1f), 1);
}

// A wait on a thread that is not a game thread (here: a plain script thread) cannot be ended by
// the queue, so the function says so and does not wait.
TEST_F(QueueTest, SleepOnAPlainThreadReportsAndGoesOn) {
  WriteScript("plain.lua", "function Nap()\n  Sleep(1)\n  Mark(\"on\")\nend\n");
  ASSERT_TRUE(KRX::Require("plain.lua", true)) << AllLines();
  KRX::tRefPtr<KRX::Thread> thread(new KRX::Thread());
  thread->m_moduleName = "plain";
  thread->Start("Nap", false, nullptr, 0);
  EXPECT_EQ(thread->GetState(), KRX::Thread::STATE_FINISHED);
  EXPECT_TRUE(HasMark("on"));
  EXPECT_EQ(Queue().GetActionCount(), 0);
  EXPECT_TRUE(LogHas("ERROR: Sleep: only a game script thread can wait")) << AllLines();
}

}  // namespace
}  // namespace queuetest
