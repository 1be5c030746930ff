// Clicks in a running game through the module tree: a press on the floor walks the player, one
// on an object runs its trigger; while a sequence runs a double click skips it, a single click on
// what started it leaves it alone, one on the floor aborts it and walks, one on someone else runs
// that one's trigger although a round waits in the background; a right click stops the player or
// cancels the sequence.
#include <gtest/gtest.h>

#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "session_input_fixture.h"

namespace quillane {
namespace {

class SessionInputClicks : public sessiontest::SessionInputTest {
 protected:
  // A left press; the system delivers its single click once the double-click time is over.
  void Click(base::tVector2<float> at) {
    Press(base::ICMD::LEFT_DOWN, at);
    Settle();
  }
  cl_GameActionQueue& Queue() { return m_session->GetActionQueue(); }
};

TEST_F(SessionInputClicks, APressOnTheFloorWalksThePlayerThere) {
  Press(base::ICMD::LEFT_DOWN, FloorPoint(0.0f, 100.0f));
  EXPECT_EQ(m_session->GetPickName(), "walk");
  EXPECT_EQ(m_player->state, cl_MovementCtrl::STATE_SPEEDING_UP);
  EXPECT_EQ(m_odo->state, cl_MovementCtrl::STATE_IDLE);


  // Without a player the walk is refused with one line.
  Settle();
  m_stage->SetPlayerCharacter(nullptr);
  Press(base::ICMD::LEFT_DOWN, FloorPoint(0.0f, 100.0f));
  EXPECT_NE(Log().find("ERROR: no player character set.\n"), std::string::npos);
}

TEST_F(SessionInputClicks, APressOnAnObjectRunsItsTriggerOnceTheQueueIsIdle) {
  Press(base::ICMD::LEFT_DOWN, HotspotPoint("shelf"));
  EXPECT_EQ(m_session->GetPickName(), "shelf");
  EXPECT_EQ(LinesAfter("input: "), std::vector<std::string>{"shelf"});
  EXPECT_EQ(m_player->state, cl_MovementCtrl::STATE_IDLE);

  // A click on a character while a scene change waits runs nothing.
  Queue().Abort();
  Settle();
  m_session->SetTransitPending(true);
  Press(base::ICMD::LEFT_DOWN, CharacterPoint("Odo"));
  EXPECT_EQ(m_session->GetPickName(), "Odo");
  m_session->SetTransitPending(false);
  EXPECT_EQ(LinesAfter("input: "), std::vector<std::string>{"shelf"});
  Settle();
  Press(base::ICMD::LEFT_DOWN, CharacterPoint("Odo"));
  EXPECT_EQ(LinesAfter("input: "), (std::vector<std::string>{"shelf", "Odo"}));
}

TEST_F(SessionInputClicks, ADoubleClickStartsTheSkip) {
  Press(base::ICMD::LEFT_DOWN, HotspotPoint("shelf"));
  AllowSkipAndCancel();
  ASSERT_TRUE(Queue().CanSkip());
  Press(base::ICMD::DOUBLE_CLICK, HotspotPoint("shelf"));
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_FADE_BEFORE_SKIPPING_SEQUENCE);
  // The log says so: the skipped lines are never shown (the window tests look for it).
  EXPECT_NE(Log().find("Session: a double click skips the running sequence\n"), std::string::npos);
  for (int i = 0; i < 20 && Queue().IsBusy(); ++i) Step();
  EXPECT_FALSE(Queue().IsBusy());
  EXPECT_EQ(LinesAfter("input: "), (std::vector<std::string>{"shelf", "shelf done"}));
}

TEST_F(SessionInputClicks, ASecondClickOnTheSameObjectKeepsTheSequenceOneOnTheFloorAbortsAndWalks) {
  Click(HotspotPoint("shelf"));
  ASSERT_TRUE(Queue().IsBusy());
  AllowSkipAndCancel();
  Click(HotspotPoint("shelf"));
  EXPECT_TRUE(Queue().IsBusy()) << "the same object aborted its own sequence";
  EXPECT_EQ(LinesAfter("input: "), std::vector<std::string>{"shelf"}) << "the trigger ran twice";

  // The press on the floor only picks; its single click aborts and walks.
  Press(base::ICMD::LEFT_DOWN, FloorPoint(0.0f, 100.0f));
  EXPECT_TRUE(Queue().IsBusy());
  EXPECT_EQ(m_player->state, cl_MovementCtrl::STATE_IDLE);
  Settle();
  EXPECT_FALSE(Queue().IsBusy());
  EXPECT_EQ(m_player->state, cl_MovementCtrl::STATE_SPEEDING_UP);
  EXPECT_EQ(LinesAfter("input: "), std::vector<std::string>{"shelf"}) << "the aborted script went on";
}

// Someone walking a round in the background waits between his steps; those waits are no part of
// the player's sequence, which a click on someone else still cancels, running that one's trigger.
TEST_F(SessionInputClicks, ARoundsWaitsInTheBackgroundLeaveTheSequenceCancellable) {
  m_session->CallSceneFunctionInBackground(base::String("Office"), base::String("Round"), base::Variant());
  ASSERT_EQ(Queue().GetBackgroundThreadCount(), 1);
  StartTrigger("shelf");
  Settle();  // the round's next waits begin meanwhile
  ASSERT_TRUE(Queue().IsBusy());
  Click(CharacterPoint("Odo"));
  EXPECT_EQ(LinesAfter("input: "), (std::vector<std::string>{"shelf", "Odo"})) << "the click on Odo was dropped";
  EXPECT_EQ(Queue().GetBackgroundThreadCount(), 1) << "the round ended with the sequence";
}

TEST_F(SessionInputClicks, ACutsceneSwallowsClicksWithoutWalking) {
  StartTrigger("shelf");
  Queue().SetCutscene(true);
  Queue().m_cancelAllowed = false;
  Click(FloorPoint(0.0f, 100.0f));
  EXPECT_TRUE(Queue().IsBusy());
  EXPECT_EQ(m_player->state, cl_MovementCtrl::STATE_IDLE);
}

TEST_F(SessionInputClicks, ARightClickStopsThePlayerOrCancelsTheSequence) {
  Press(base::ICMD::LEFT_DOWN, FloorPoint(0.0f, 100.0f));
  ASSERT_EQ(m_player->state, cl_MovementCtrl::STATE_SPEEDING_UP);
  Settle();
  Press(base::ICMD::RIGHT_DOWN, FloorPoint(0.0f, 100.0f));
  EXPECT_EQ(m_player->state, cl_MovementCtrl::STATE_BRAKING);

  StartTrigger("shelf");
  m_player->state = cl_MovementCtrl::STATE_SPEEDING_UP;
  Press(base::ICMD::RIGHT_DOWN, FloorPoint(0.0f, 100.0f));
  Step();  // the cancelled wait leaves the queue
  EXPECT_FALSE(Queue().IsBusy()) << "the cancellable sequence ran on";
  EXPECT_EQ(LinesAfter("input: "), std::vector<std::string>{"shelf"});
  EXPECT_EQ(m_player->state, cl_MovementCtrl::STATE_SPEEDING_UP) << "the cancelling click also stopped her";
}

}  // namespace
}  // namespace quillane
