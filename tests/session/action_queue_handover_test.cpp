// The script functions that hand the game to something larger, driven by Lua scripts: a video
// list waits for its whole list and gives 0.0, whatever the case of its extension; a single movie
// gives its length; without a video controller or a mini-game manager the script goes on at
// once instead of waiting for ever; Transit ends its script, clears the queue and queues the new
// scene's calls in order.
#include <gtest/gtest.h>

#include <fstream>

#include "KRX/runtime/Thread.h"
#include "action_queue_fixture.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/video/VideoController.h"

namespace queuetest {
namespace {

using quillane::cl_GameActionQueue;

const char* kOffice =
    "function ShowList()\n"
    "  local t = PlayFullscreenVideo(\"movie/Night.XML\")\n"
    "  Mark(t)\n"
    "end\n"
    "function ShowMovie()\n"
    "  local t = PlayFullscreenVideo(\"movie/credits.bik\")\n"
    "  Mark(t)\n"
    "end\n"
    "function Play()\n"
    "  StartMinigame(\"Bookshelf\")\n"
    "  Mark(\"back\")\n"
    "end\n"
    "function OnTrigger_door()\n"
    "  Mark(\"before\")\n"
    "  Transit(\"Quay\")\n"
    "  Mark(\"never\")\n"
    "end\n"
    "function OnTrigger_jetty()\n"
    "  Transit(\"Jetty\")\n"
    "end\n"
    "function OnTrigger_gangway()\n"
    "  Transit(\"Quay\", \"Arrive\")\n"
    "  Mark(\"never\")\n"
    "end\n"
    "function Preload()\n"
    "  LoadDialog(\"Dialogs/Odo.lua\")\n"
    "  LoadDialog(\"Mina\")\n"
    "  LoadActor(\"pell\")\n"
    "end\n"
    "function Loop()\n"
    "  while true do\n"
    "    Sleep(1)\n"
    "  end\n"
    "end\n";

class QueueHandover : public QueueTest {
 protected:
  void SetUp() override {
    QueueTest::SetUp();
    WriteScript("Scenes/Office.lua", kOffice);
  }
};

TEST_F(QueueHandover, AVideoListGivesZeroAndTheScriptWaitsForTheWholeList) {
  std::filesystem::create_directories(m_dir / "movie");
  std::ofstream(m_dir / "movie" / "Night.XML") << "<Videos><Entry Filename=\"movie/a.bik\"/>"
                                                  "<Entry Filename=\"movie/b.bik\"/></Videos>";
  cl_VideoController controller;
  ASSERT_NE(StartSceneScript("Scenes/Office.lua", "ShowList"), nullptr) << AllLines();
  EXPECT_EQ(controller.GetEntryCount(), 2u);  // read as a list, although its extension is upper case
  ASSERT_EQ(Queue().GetActionCount(), 1);
  EXPECT_EQ(Queue().GetFirstForegroundAction()->m_kind, "");
  // The clips do not exist, so each ends at once; the list ends at the third update.
  for (int i = 0; i < 2; ++i) {
    controller.Update(0.0f, 0.1f);
    Frame(0.1f);
    EXPECT_TRUE(Marks().empty()) << i;
  }
  controller.Update(0.0f, 0.1f);
  EXPECT_EQ(Queue().GetActionCount(), 0);
  Frame(0.1f);
  EXPECT_EQ(Marks(), std::vector<std::string>{"0"});
}

TEST_F(QueueHandover, AMovieGivesItsLengthAndTheScriptWaitsForItsEnd) {
  cl_VideoController controller;
  ASSERT_NE(StartSceneScript("Scenes/Office.lua", "ShowMovie"), nullptr) << AllLines();
  Frame(0.1f);
  EXPECT_TRUE(Marks().empty());
  controller.Update(0.0f, 0.1f);  // the player has stopped: the movie is over
  Frame(0.1f);
  EXPECT_EQ(Marks(), std::vector<std::string>{"-1"});  // no such clip here: its length is -1
}

TEST_F(QueueHandover, WithoutAVideoControllerTheScriptGoesOnAtOnce) {
  ASSERT_NE(StartSceneScript("Scenes/Office.lua", "ShowMovie"), nullptr) << AllLines();
  EXPECT_EQ(Queue().GetActionCount(), 0);
  Frame(0.1f);
  EXPECT_EQ(Marks(), std::vector<std::string>{"-1"});
  ASSERT_NE(StartSceneScript("Scenes/Office.lua", "ShowList"), nullptr);
  Frame(0.1f);
  EXPECT_EQ(Marks(), (std::vector<std::string>{"-1", "-1"}));
}

// No mini-game takes the event, so its wait ends at once; starting a mini-game still ends a
// running skip and takes the cancel permission away.
TEST_F(QueueHandover, AMiniGameNobodyStartsEndsItsWaitAtOnce) {
  Queue().AllowSkipAndCancel();
  Queue().m_state = cl_GameActionQueue::STATE_SKIPPING_SEQUENCE;
  GameThread* thread = StartSceneScript("Scenes/Office.lua", "Play");
  ASSERT_NE(thread, nullptr) << AllLines();
  EXPECT_EQ(Queue().m_state, cl_GameActionQueue::STATE_SEQUENCE_RUNNING);
  EXPECT_FALSE(Queue().m_cancelAllowed);
  EXPECT_FALSE(Queue().m_skipAllowed);
  EXPECT_EQ(Queue().GetActionCount(), 0);
  EXPECT_TRUE(LogHas("mini-game \"Bookshelf\" is not registered")) << AllLines();
  Frame(0.1f);
  EXPECT_EQ(Marks(), std::vector<std::string>{"back"});
}

// The loading functions queue work only for what is not loaded yet. Without a game frame a
// queued task is dropped with a message, which shows what was queued.
TEST_F(QueueHandover, LoadingFunctionsQueueOnlyWhatIsNotLoaded) {
  WriteScript("Dialogs/Odo.lua", "function Startup()\nend\n");
  ASSERT_TRUE(quillane::HasDialogScriptFunction("Odo", "Startup"));
  Lines().clear();
  StartSceneScript("Scenes/Office.lua", "Preload");
  int dropped = 0;
  for (const std::string& line : Lines()) dropped += line == "ERROR: AddLoadingTask: no game frame; the task is dropped\n";
  EXPECT_EQ(dropped, 2) << AllLines();  // Mina, and pell (no actor registry here)
}

// Transit ends the calling script at once, ends what else runs, and leaves the queue with the
// new scene's calls pending, in order (OnAlphaHack only where the scene has it), to run once no
// script runs and the session is shown.
TEST_F(QueueHandover, TransitEndsTheScriptAndQueuesTheNewScenesCalls) {
  WriteScript("Scenes/Quay.lua",
              "function OnEnterScene()\n"
              "  Sleep(0.5)\n"
              "  Mark(\"entered\")\n"
              "end\n"
              "function OnAlphaHack()\n"
              "  Mark(\"alpha\")\n"
              "end\n"
              "function Arrive()\n"
              "  Mark(\"arrived\")\n"
              "end\n");
  WriteScript("Scenes/Jetty.lua",
              "function OnEnterScene()\n"
              "  Mark(\"jetty\")\n"
              "end\n");
  for (const char* scene : {"Quay", "Jetty"}) {
    const std::filesystem::path project = m_dir / "Scenes" / scene / "ProjectFile.xml";
    std::filesystem::create_directories(project.parent_path());
    std::ofstream(project) << "<Project/>";
  }
  Debug_ScriptWarningLevel = 2;
  const struct {
    const char* trigger;
    std::vector<std::string> calls;
    std::vector<std::string> marks;
  } cases[] = {
      {"OnTrigger_door", {"Quay::OnEnterScene", "Quay::OnAlphaHack"}, {"before", "entered", "alpha"}},
      {"OnTrigger_gangway", {"Quay::OnEnterScene", "Quay::OnAlphaHack", "Quay::Arrive"}, {"entered", "alpha", "arrived"}},
      {"OnTrigger_jetty", {"Jetty::OnEnterScene"}, {"jetty"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trigger);
    Marks().clear();
    const KRX::tRefPtr<GameThread> pell(StartBackground("Scenes/Office.lua", "Loop"));
    ASSERT_NE(pell.get(), nullptr) << AllLines();
    Queue().AllowSkipAndCancel();
    Queue().m_state = cl_GameActionQueue::STATE_SKIPPING_SEQUENCE;
    EXPECT_EQ(StartSceneScript("Scenes/Office.lua", c.trigger), nullptr);
    EXPECT_FALSE(HasMark("never"));
    EXPECT_TRUE(m_session->IsTransitPending());
    EXPECT_EQ(pell->GetState(), KRX::Thread::STATE_FINISHED);
    EXPECT_EQ(Queue().GetActionCount(), 0);
    EXPECT_EQ(Queue().GetBackgroundThreadCount(), 0);
    EXPECT_EQ(Queue().m_sceneScript, nullptr);
    EXPECT_FALSE(Queue().m_skipAllowed);
    ASSERT_TRUE(Queue().HasPendingEvents());
    Lines().clear();
    // OnEnterScene waits half a second; the calls after it wait for it.
    for (int i = 0; i < 12 && Queue().HasPendingEvents(); ++i) Frame(0.1f);
    Frames(3, 0.1f);
    std::vector<std::string> calls;
    for (const std::string& line : Lines())
      if (line.starts_with("CALL: ")) calls.push_back(line.substr(6, line.find('\n') - 6));
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(Marks(), c.marks);
    EXPECT_FALSE(Queue().HasPendingEvents());
    EXPECT_FALSE(m_session->IsTransitPending());
  }
}

}  // namespace
}  // namespace queuetest
