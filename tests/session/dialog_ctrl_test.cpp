// The dialogue control with dialogue scripts compiled and run by the script system: the calls it
// counts, the thread it hands to the action queue, the automatic end-chat when only the end-chat
// token is left, and a conversation that only its script ends.
#include "base/data/Variant.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/DialogCtrl.h"
#include "quillane/session/Session.h"
#include "stage_fixture.h"

namespace {

using quillane::cl_DialogCtrl;
using stagetest::Notes;

base::Variant Text(const char* text) {
  base::Variant v;
  v.set_string(text);
  return v;
}

int g_tokens = 0;
int g_pendingSeen = -100;  // the count when the end-chat test read the token bar
std::vector<std::string> g_removed;

class DialogCtrl : public stagetest::StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    g_tokens = 0;
    g_pendingSeen = -100;
    g_removed.clear();
    // After the session, which points the hooks at its own token bar.
    m_session = base::smart_ptr<quillane::cl_Session>(new quillane::cl_Session());
    quillane::st_DialogTokenBar& bar = cl_DialogCtrl::TokenBar();
    bar.GetTokenCount = [] {
      g_pendingSeen = quillane::GetSession()->GetDialogCtrl().m_nPendingCalls;
      return g_tokens;
    };
    bar.RemoveTokenAnimated = [](const char* label) { g_removed.emplace_back(label); };
    Write("Dialogs/Odo.lua",
          "function Startup()\n  Note(\"odo startup\")\nend\n"
          "function Play_T6_Ferry()\n  Note(\"ferry\")\nend\n"
          "function Play_T6_Wait()\n  Wait()\n  Note(\"waited\")\nend\n"
          "function Check_T6_EndChat()\n  Note(\"check\")\n  return 1\nend\n"
          "function Play_T6_EndChat()\n  Note(\"bye\")\nend\n");
    Write("Dialogs/Mina.lua",
          "function Startup()\n  Note(\"mina startup\")\nend\n"
          "function Check_T6_EndChat()\n  Note(\"check\")\n  return 0\nend\n"
          "function Play_T6_EndChat()\n  Note(\"bye\")\nend\n");
    Write("Dialogs/Pell.lua", "function Startup()\n  Note(\"pell startup\")\nend\n");
  }
  void TearDown() override {
    m_session = base::smart_ptr<quillane::cl_Session>();
    cl_DialogCtrl::TokenBar() = quillane::st_DialogTokenBar();
    StageTest::TearDown();
  }
  cl_DialogCtrl& Ctrl() { return m_session->GetDialogCtrl(); }
  quillane::cl_GameActionQueue& Queue() { return m_session->GetActionQueue(); }

  base::smart_ptr<quillane::cl_Session> m_session;
};

TEST_F(DialogCtrl, StartWithoutPartnerOrFunctionCallsStartupOfTheNamelessScript) {
  Write("Dialogs/.lua", "function Startup()\n  Note(\"nameless\")\nend\n");
  Ctrl().Start(nullptr, nullptr);
  EXPECT_EQ(NotesText(), "nameless");
  EXPECT_TRUE(Ctrl().m_bActive);
  EXPECT_EQ(Ctrl().GetPartner(), "");
  EXPECT_EQ(Ctrl().m_nPendingCalls, 0);
  EXPECT_FALSE(Ctrl().IsActive() && Ctrl().m_nPendingCalls > 0);
}

TEST_F(DialogCtrl, TopicReturningAtOnceLeavesTheCountAndNoThread) {
  Ctrl().Start("Odo", nullptr);
  Queue().m_skipAllowed = Queue().m_cancelAllowed = Queue().m_dialogLocked = true;
  g_tokens = 2;  // the topics are still in the bar: no end-chat
  Ctrl().PlayTopic("T6_Ferry");
  EXPECT_EQ(NotesText(), "odo startup,ferry");
  EXPECT_EQ(Ctrl().m_nPendingCalls, 0);
  EXPECT_EQ(Ctrl().m_CurrentToken, "T6_Ferry");
  EXPECT_EQ(Queue().m_dialogScript, nullptr);
  EXPECT_FALSE(Queue().m_skipAllowed || Queue().m_cancelAllowed || Queue().m_dialogLocked);
  // The token bar was read inside the call, while the count was one lower.
  EXPECT_EQ(g_pendingSeen, -1);
  EXPECT_TRUE(g_removed.empty());
}

TEST_F(DialogCtrl, LastTokenLeftEndsTheChatWhenTheScriptAgrees) {
  Ctrl().Start("Odo", nullptr);
  g_tokens = 1;
  Notes().clear();
  Ctrl().PlayTopic("T6_Ferry");
  EXPECT_EQ(NotesText(), "ferry,check,bye");
  EXPECT_EQ(g_removed, std::vector<std::string>{"T6_EndChat"});
  // The end-chat call is neither counted nor handed to the queue.
  EXPECT_EQ(Ctrl().m_nPendingCalls, 0);

  // A check that answers 0 ends nothing.
  Ctrl().Start("Mina", nullptr);
  g_removed.clear();
  Notes().clear();
  EXPECT_TRUE(Ctrl().ProcessEvent(Text("ScriptIdle")));
  EXPECT_EQ(NotesText(), "check");
  EXPECT_TRUE(g_removed.empty());

  // Without "Play_T6_EndChat" only the warning.
  Ctrl().Start("Pell", nullptr);
  m_log->clear();
  Notes().clear();
  EXPECT_TRUE(Ctrl().ProcessEvent(Text("ScriptIdle")));
  EXPECT_TRUE(Notes().empty());
  EXPECT_TRUE(m_log->contains("WARNING: automatic play of end chat token failed, Play_T6_EndChat missing!"));
}

TEST_F(DialogCtrl, WithAutoEndOffOnlyTheScriptEndsTheChat) {
  Dialog_AutoEnd = false;
  Ctrl().Start("Odo", nullptr);
  g_tokens = 1;
  Notes().clear();
  Ctrl().PlayTopic("T6_Ferry");
  EXPECT_EQ(NotesText(), "ferry");
  EXPECT_TRUE(Ctrl().m_bActive);
  // Not while the dialogue is stopped either, nor for other messages.
  Dialog_AutoEnd = true;
  Ctrl().Stop();
  EXPECT_FALSE(Ctrl().ProcessEvent(Text("ScriptIdle")));
  EXPECT_FALSE(Ctrl().ProcessEvent(Text("Other")));
  EXPECT_EQ(NotesText(), "ferry");
  EXPECT_EQ(Ctrl().GetPartner(), "Odo");
}

TEST_F(DialogCtrl, WaitingTopicKeepsTheDialogueRunningUntilItsThreadEnds) {
  Ctrl().Start("Odo", nullptr);
  g_tokens = 3;
  Ctrl().PlayTopic("T6_Wait");
  GameThread* first = static_cast<GameThread*>(Queue().m_dialogScript);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Ctrl().m_nPendingCalls, 1);
  Ctrl().PlayTopic("T6_Wait");
  GameThread* second = static_cast<GameThread*>(Queue().m_dialogScript);
  ASSERT_NE(second, nullptr);
  ASSERT_NE(second, first);
  EXPECT_EQ(Ctrl().m_nPendingCalls, 2);

  Ctrl().Stop();
  EXPECT_TRUE(Ctrl().IsActive());
  // The older topic ending does not make the queue forget the newer one, which still runs.
  GameThread::Release(first, nullptr);
  EXPECT_EQ(Ctrl().m_nPendingCalls, 1);
  EXPECT_EQ(Queue().m_dialogScript, second);
  EXPECT_TRUE(Ctrl().IsActive());
  GameThread::Release(second, nullptr);
  EXPECT_EQ(Ctrl().m_nPendingCalls, 0);
  EXPECT_EQ(Queue().m_dialogScript, nullptr);
  EXPECT_FALSE(Ctrl().IsActive());
}

TEST_F(DialogCtrl, ButtonWithALabelPlaysThatTopic) {
  Ctrl().Start("Odo", nullptr);
  g_tokens = 2;
  Notes().clear();
  base::Variant pressed;
  pressed.set_element("ButtonPressed");
  EXPECT_FALSE(Ctrl().ProcessEvent(pressed));  // no label: ignored
  pressed.attribute("ctrl_label")->set_string("T6_Ferry");
  EXPECT_FALSE(Ctrl().ProcessEvent(pressed));
  EXPECT_EQ(NotesText(), "ferry");
}

}  // namespace
