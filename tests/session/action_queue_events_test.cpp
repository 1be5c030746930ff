// The action queue's pending events, background threads, Abort and Clear, with Lua scripts run
// through the real script system: events wait for the scripts and for the session to be shown,
// background threads run beside the sequence, an aborted walk ends its script, and Clear ends
// everything and leaves the queue idle.
#include <gtest/gtest.h>

#include <functional>

#include "KRX/runtime/Thread.h"
#include "action_queue_fixture.h"
#include "base/app/GameFrame.h"

namespace queuetest {
namespace {

using quillane::cl_GameActionQueue;

// Records its name when run; optionally starts a scene script as it does.
class cl_MarkEvent : public i_Event {
 public:
  cl_MarkEvent(const char* name, std::function<void()> also = {}) : m_name(name), m_also(std::move(also)) {}
  void Execute() override {
    QueueTest::Marks().push_back(m_name);
    if (m_also) m_also();
  }

 private:
  const char* m_name;
  std::function<void()> m_also;
};

class cl_TestFrame final : public base::i_GameFrame {
 public:
  base::i_GameSession* CreateSession() override { return nullptr; }
};

const char* kQuay =
    "function Held()\n"
    "  Hold()\n"
    "  Mark(\"held\")\n"
    "end\n"
    "function Talk()\n"
    "  Wait(\"speak\", 0.5, \"Mina\")\n"
    "  Mark(\"talk\")\n"
    "end\n"
    "function Loop()\n"
    "  while true do\n"
    "    Sleep(1)\n"
    "    Mark(\"pell\")\n"
    "  end\n"
    "end\n"
    "function Once()\n"
    "  Sleep(0.2)\n"
    "  Mark(\"once\")\n"
    "end\n"
    "function Walk()\n"
    "  Wait(\"walk\", 0, \"Quillane\")\n"
    "  Mark(\"arrived\")\n"
    "end\n";

class QueueEvents : public QueueTest {
 protected:
  void SetUp() override {
    QueueTest::SetUp();
    WriteScript("Scenes/Quay.lua", kQuay);
  }
};

TEST_F(QueueEvents, PendingEventsRunOnlyOnceNoScriptRuns) {
  ASSERT_NE(StartSceneScript("Scenes/Quay.lua", "Held"), nullptr) << AllLines();
  m_session->SetTransitPending(true);
  Queue().AddPendingEvent(new cl_MarkEvent("first"));
  // The second event starts a scene script that waits: the third must wait for that one too.
  Queue().AddPendingEvent(new cl_MarkEvent("second", [this] { StartSceneScript("Scenes/Quay.lua", "Talk"); }));
  Queue().AddPendingEvent(new cl_MarkEvent("third"));
  Frames(3, 0.1f);
  EXPECT_TRUE(Marks().empty());
  EXPECT_TRUE(m_session->IsTransitPending());

  ASSERT_EQ(HeldEvents().size(), 1u);
  HeldEvents()[0]->Execute();
  Frame(0.1f);  // the script ends
  EXPECT_EQ(Marks(), std::vector<std::string>{"held"});
  Frame(0.1f);  // the thread list lets it go, the queue hears of it, the events run
  EXPECT_EQ(Marks(), (std::vector<std::string>{"held", "first", "second"}));
  EXPECT_TRUE(Queue().HasPendingEvents());
  EXPECT_TRUE(m_session->IsTransitPending());
  // 0.5 s of speech, a frame for the script to go on and one for the queue to hear of its end.
  EXPECT_EQ(FramesUntilMark("third", 0.1f), 8);
  EXPECT_EQ(Marks(), (std::vector<std::string>{"held", "first", "second", "talk", "third"}));
  EXPECT_FALSE(Queue().HasPendingEvents());
  EXPECT_FALSE(m_session->IsTransitPending());
}

// While another state of the game frame is shown (the loading screen after a scene change) the
// events wait, however idle the queue is.
TEST_F(QueueEvents, PendingEventsWaitWhileTheSessionIsNotShown) {
  cl_TestFrame frame;
  frame.AddState("LoadingScreen", new base::cl_Module);
  frame.AddState("Session", m_session);
  frame.SetState("LoadingScreen");
  m_session->SetTransitPending(true);
  Queue().AddPendingEvent(new cl_MarkEvent("entered"));
  Frames(3, 0.1f);
  EXPECT_TRUE(Marks().empty());
  EXPECT_TRUE(m_session->IsTransitPending());
  frame.SetState("Session");
  Frame(0.1f);
  EXPECT_EQ(Marks(), std::vector<std::string>{"entered"});
  EXPECT_FALSE(m_session->IsTransitPending());
  // The frame holds the session now; it goes with the frame's handle.
  frame.RemoveModule(m_session);
  m_session = nullptr;
}

// A background thread waits on actions of its own that neither keep the queue busy nor hold up
// the sequence; its end takes it off the list and leaves the sequence alone.
TEST_F(QueueEvents, BackgroundThreadsRunBesideTheSequence) {
  GameThread* pell = StartBackground("Scenes/Quay.lua", "Loop");
  ASSERT_NE(pell, nullptr) << AllLines();
  EXPECT_EQ(pell->GetName(), "Background");
  GameThread* once = StartBackground("Scenes/Quay.lua", "Once");
  ASSERT_NE(once, nullptr);
  EXPECT_EQ(Queue().GetBackgroundThreadCount(), 2);
  EXPECT_EQ(Queue().GetActionCount(), 2);
  EXPECT_FALSE(Queue().HasForegroundAction());
  EXPECT_FALSE(Queue().IsBusy());
  EXPECT_TRUE(Queue().IsIdle());

  Queue().AllowSkipAndCancel();
  GameThread* scene = StartSceneScript("Scenes/Quay.lua", "Talk");
  ASSERT_NE(scene, nullptr);
  EXPECT_TRUE(Queue().HasForegroundAction());
  EXPECT_EQ(Queue().GetFirstForegroundAction()->m_kind, "speak");
  EXPECT_EQ(FramesUntilMark("once", 0.1f), 4);
  Frame(0.1f);  // the ended thread is let go
  EXPECT_EQ(Queue().GetBackgroundThreadCount(), 1);
  EXPECT_EQ(Queue().m_sceneScript, scene);
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_SEQUENCE_RUNNING);
  EXPECT_EQ(FramesUntilMark("talk", 0.1f), 2);
  EXPECT_FALSE(HasMark("pell"));
  EXPECT_EQ(FramesUntilMark("pell", 0.1f), 4);  // frame 11: a second below 0, then on
}

// Abort cancels the current action: a walk's script is ended, not resumed, and the sequence is over.
TEST_F(QueueEvents, AbortEndsTheWalkingScript) {
  Queue().AllowSkipAndCancel();
  GameThread* walker = StartSceneScript("Scenes/Quay.lua", "Walk");
  ASSERT_NE(walker, nullptr) << AllLines();
  const KRX::tRefPtr<GameThread> hold(walker);
  ASSERT_TRUE(Queue().CanCancel());
  Queue().Abort();
  EXPECT_EQ(walker->GetState(), KRX::Thread::STATE_FINISHED);
  EXPECT_EQ(walker->GetOwnedEventCount(), 0);  // its stop event has run
  EXPECT_EQ(Queue().m_sceneScript, nullptr);
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_IDLE);
  // The cancelled action waits, done, for the next removal of finished actions.
  ASSERT_EQ(Queue().GetActionCount(), 1);
  EXPECT_TRUE(Queue().GetFirstForegroundAction()->IsDone());
  Frames(3, 0.1f);
  EXPECT_EQ(Queue().GetActionCount(), 0);
  EXPECT_FALSE(HasMark("arrived"));
}

// Clear ends the waiting scripts, deletes every action and ends the background threads; their
// stop events find the queue's lists already empty, and the queue is left idle. A completion event
// that comes afterwards finds nothing to complete.
TEST_F(QueueEvents, ClearEndsEverythingAndLeavesTheQueueIdle) {
  const KRX::tRefPtr<GameThread> pell(StartBackground("Scenes/Quay.lua", "Loop"));
  ASSERT_NE(pell.get(), nullptr) << AllLines();
  Queue().AllowSkipAndCancel();
  const KRX::tRefPtr<GameThread> scene(StartSceneScript("Scenes/Quay.lua", "Held"));
  ASSERT_NE(scene.get(), nullptr);
  ASSERT_EQ(Queue().GetActionCount(), 2);
  Queue().Clear();
  EXPECT_EQ(Queue().GetActionCount(), 0);
  EXPECT_EQ(Queue().GetBackgroundThreadCount(), 0);
  EXPECT_EQ(pell->GetState(), KRX::Thread::STATE_FINISHED);
  EXPECT_EQ(scene->GetState(), KRX::Thread::STATE_FINISHED);
  EXPECT_EQ(Queue().m_sceneScript, nullptr);
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_IDLE);
  ASSERT_EQ(HeldEvents().size(), 1u);
  HeldEvents()[0]->Execute();
  Frames(20, 0.1f);
  EXPECT_TRUE(Marks().empty());
  EXPECT_EQ(Queue().GetActionCount(), 0);
}

}  // namespace
}  // namespace queuetest
