// Scene-script sequences: a scene-script call becomes the action queue's scene script until it
// ends, a background call runs beside it, and Transit hands over to the next scene's calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "KRX/ScriptSystem.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "session_fixture.h"

namespace quillane {
namespace {

class SessionScripts : public sessiontest::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped()) return;
    // A scene the stage can load from its project description alone.
    std::ifstream project(std::string(QUILLANE_DATA_DIR) + "/Scenes/Quay/ProjectFile.xml", std::ios::binary);
    std::stringstream text;
    text << project.rdbuf();
    Write("Scenes/Quay/ProjectFile.xml", text.str());
    Write("Scripts/Scenes/Hall.lua",
          "function Wait()\n  Debugout(\"hall: waits\")\n  Sleep(0.5)\n  Debugout(\"hall: done\")\nend\n"
          "function Quick()\n  Debugout(\"hall: quick\")\nend\n"
          "function Go()\n  Transit(\"Quay\")\n  Debugout(\"hall: after Transit\")\nend\n"
          "function Astray()\n  Transit(\"Nowhere\")\n  Debugout(\"hall: still here\")\nend\n"
          "function Arrive()\n  Sleep(0.2)\n  ShowSceneSubtitle(\"The Hall\", 0.0, 2.0, 0.0)\nend\n");
    Write("Scripts/Scenes/Quay.lua",
          "function OnLoadScene()\n  Debugout(\"quay: OnLoadScene\")\nend\n"
          "function PrepareScene()\n  Debugout(\"quay: PrepareScene\")\nend\n"
          "function OnEnterScene()\n  Debugout(\"quay: OnEnterScene\")\n  RunInBackground(\"Loop\")\nend\n"
          "function OnAlphaHack()\n  Debugout(\"quay: OnAlphaHack\")\nend\n"
          "function Flood()\n  while true do\n    RunInBackground(\"Idle\")\n  end\nend\n"
          "function Idle()\n  Sleep(0.2)\nend\n"
          "function Loop()\n  local n = 0\n  while n < 100 do\n    n = n + 1\n    Debugout(\"loop: \" .. n)\n"
          "    Sleep(0.3)\n  end\nend\n");
    StartFrame();
    m_session = StartSession();
    ASSERT_NE(m_session, nullptr);
    m_session->LoadScene("Quay");
    ASSERT_TRUE(StepUntilState("Session"));
    ASSERT_NE(m_session->GetScene(), nullptr) << "the queue runs while a scene is shown";
  }

  cl_Session* m_session = nullptr;
};

TEST_F(SessionScripts, ASceneScriptCallIsTheQueuesSceneScriptUntilItEnds) {
  cl_GameActionQueue& queue = m_session->GetActionQueue();
  m_session->CallSceneScript("Hall", "Quick", base::Variant());
  EXPECT_EQ(queue.m_sceneScript, nullptr) << "it ended at once";
  m_session->CallSceneScript("Hall", "Wait", base::Variant());
  EXPECT_NE(queue.m_sceneScript, nullptr);
  EXPECT_FALSE(queue.IsIdle());
  m_session->CallSceneScript("Nowhere", "Wait", base::Variant());
  EXPECT_NE(queue.m_sceneScript, nullptr) << "a script that cannot load changes nothing";
  for (int i = 0; i < 8 && queue.m_sceneScript; ++i) Step();
  EXPECT_EQ(queue.m_sceneScript, nullptr);
  EXPECT_EQ(queue.m_state, cl_GameActionQueue::STATE_IDLE);
  EXPECT_EQ(LinesAfter("hall: "), (std::vector<std::string>{"quick", "waits", "done"}));
}

// An under-title made by the last line of a scene script belongs to the free moment that follows:
// it stays for its time, although the thread list drops the ended script only a frame later.
TEST_F(SessionScripts, AnUnderTitleMadeAtTheEndOfASceneScriptStaysForItsTime) {
  cl_OverlayMgr* overlays = m_session->GetOverlayMgr();
  ASSERT_NE(overlays, nullptr);
  m_session->CallSceneScript("Hall", "Arrive", base::Variant());
  for (int i = 0; i < 10 && overlays->GetCount() == 0; ++i) Step();
  ASSERT_EQ(overlays->GetCount(), 1u);
  for (int i = 0; i < 5; ++i) Step();
  EXPECT_EQ(overlays->GetCount(), 1u) << "ended at once";
  for (int i = 0; i < 20; ++i) Step();
  EXPECT_EQ(overlays->GetCount(), 0u);
}

// Transit from a running scene script: the script ends there, the next scene loads behind the
// loading screen, and once the queue is idle its "OnEnterScene" and "OnAlphaHack" run; the
// background loop that OnEnterScene starts keeps the queue idle and ends with the next Transit.
TEST_F(SessionScripts, TransitHandsOverToTheNextScenesCallsInOrder) {
  cl_GameActionQueue& queue = m_session->GetActionQueue();
  m_session->CallSceneScript("Hall", "Go", base::Variant());
  EXPECT_EQ(StateName(), "LoadingScreen");
  ASSERT_TRUE(StepUntilState("Session"));
  for (int i = 0; i < 3; ++i) Step();
  EXPECT_EQ(LinesAfter("quay: "), (std::vector<std::string>{"OnLoadScene", "PrepareScene", "OnLoadScene",
                                                             "PrepareScene", "OnEnterScene", "OnAlphaHack"}));
  EXPECT_TRUE(LinesAfter("hall: ").empty()) << "the script ended at Transit";
  EXPECT_TRUE(queue.IsIdle());
  EXPECT_FALSE(queue.HasForegroundAction()) << "the loop's sleep is a background action";
  for (int i = 0; i < 10; ++i) Step();
  auto highest = [this] {
    int most = 0;
    for (const std::string& n : LinesAfter("loop: ")) most = std::max(most, std::stoi(n));
    return most;
  };
  const int rounds = highest();
  EXPECT_GE(rounds, 3);
  m_session->CallSceneScript("Hall", "Go", base::Variant());
  ASSERT_TRUE(StepUntilState("Session"));
  for (int i = 0; i < 8; ++i) Step();
  // The new scene's OnEnterScene starts a loop of its own, from 1; the old one ended with the
  // Transit, so no round after its last is counted.
  EXPECT_EQ(highest(), rounds);
  EXPECT_GE(LinesAfter("loop: ").size(), size_t(rounds) + 1);
}

// A scene script that starts threads without end meets the cap as its own run-time error; the
// game goes on and the threads it started end in their time.
TEST_F(SessionScripts, AFloodOfBackgroundThreadsEndsTheFloodingScriptOnly) {
  m_session->CallSceneScript("Quay", "Flood", base::Variant());
  EXPECT_NE(Log().find("Quay.lua(16) : too many script threads"), std::string::npos) << Log();
  for (int i = 0; i < 5; ++i) Step();
  EXPECT_EQ(StateName(), "Session");
  EXPECT_LT(KRX::ScriptSystem::GetThreads().size(), 100u);
}

// A Transit into a scene the game does not have (no compiled file, its project missing, a folder
// or a FIFO) is refused with a line naming it: the scene stays, and so does the calling script.
TEST_F(SessionScripts, TransitIntoASceneTheGameLacksKeepsThePlayerWhereHeIs) {
  const cl_Scene* scene = m_session->GetScene();
  const int loads = m_session->GetSceneLoadCount();
  const std::filesystem::path project = m_dir / "Scenes/Nowhere/ProjectFile.xml";
  const struct {
    const char* kind;
    const char* problem;
  } cases[] = {{"missing", "is missing"},
               {"folder", "is a folder, not a file"},
               {"fifo", "is a FIFO, not a file"}};
  for (const auto& [kind, problem] : cases) {
    SCOPED_TRACE(kind);
    std::filesystem::remove_all(project);
    std::filesystem::create_directories(std::string(kind) == "folder" ? project : project.parent_path());
    if (std::string(kind) == "fifo") {
      ASSERT_EQ(mkfifo(project.c_str(), 0600), 0);
    }
    const size_t before = LinesAfter("hall: ").size();
    m_session->CallSceneScript("Hall", "Astray", base::Variant());
    for (int i = 0; i < 3; ++i) Step();
    EXPECT_EQ(StateName(), "Session");
    EXPECT_EQ(m_session->GetScene(), scene);
    EXPECT_EQ(m_session->GetSceneLoadCount(), loads);
    EXPECT_EQ(LinesAfter("hall: ").size(), before + 1) << "the caller goes on";
    EXPECT_EQ(LinesAfter(std::string("ERROR: Transit: scene 'Nowhere' does not exist: 'Scenes/Nowhere/ProjectFile.xml' ") +
                         problem + "; the game stays where it was")
                  .size(),
              1u)
        << Log();
  }
  EXPECT_EQ(LinesAfter("ERROR: Transit: scene 'Nowhere'").size(), 3u);
}

}  // namespace
}  // namespace quillane
