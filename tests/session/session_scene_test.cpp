// Scene changes: the new stage, "OnLoadScene" at once and "PrepareScene" after the scene's load
// behind the loading screen (0 .. 1), the black first frame, and running scene-script functions.
#include <gtest/gtest.h>

#include "quillane/frame/GameFrame.h"
#include "quillane/frame/LoadingScreen.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"
#include "session_fixture.h"

namespace quillane {
namespace {

class SessionScene : public sessiontest::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped()) return;
    Write("Scripts/Scenes/Hall.lua",
          "function OnLoadScene()\n  Debugout(\"hall: OnLoadScene\")\nend\n"
          "function PrepareScene()\n  Debugout(\"hall: PrepareScene\")\nend\n"
          "function Answer(a, b)\n  return a + b\nend\n");
    Write("Scripts/Scenes/Empty.lua", "function Nothing()\nend\n");
    StartFrame();
    m_frame->NewSession();
    m_frame->RunSession();
    ASSERT_TRUE(StepUntilState("Session"));
    m_session = GetSession();
    ASSERT_NE(m_session, nullptr);
  }

  cl_Session* m_session = nullptr;
};

TEST_F(SessionScene, OnLoadSceneRunsAtOncePrepareSceneAfterTheLoad) {
  m_session->LoadScene("Hall");
  cl_Stage* stage = m_session->GetStage();
  ASSERT_NE(stage, nullptr);
  EXPECT_EQ(LinesAfter("hall: "), std::vector<std::string>{"OnLoadScene"});
  EXPECT_EQ(LinesAfter("CALL: "), std::vector<std::string>{"Hall::OnLoadScene"});
  EXPECT_EQ(StateName(), "LoadingScreen");
  EXPECT_EQ(m_frame->GetLoadingScreen()->GetProgressStart(), 0.0f);
  EXPECT_EQ(m_frame->GetLoadingScreen()->GetProgressEnd(), 1.0f);
  EXPECT_TRUE(cl_Session::IsSceneJustLoaded());
  EXPECT_EQ(m_session->GetBlackFrameCount(), 1);

  ASSERT_TRUE(StepUntilState("Session"));
  EXPECT_EQ(LinesAfter("hall: "), (std::vector<std::string>{"OnLoadScene", "PrepareScene"}));
  EXPECT_FALSE(cl_Session::IsSceneJustLoaded()) << "the frames since cleared it";

  // The frame on which the session came back was drawn black; that spent the count.
  EXPECT_EQ(m_session->GetBlackFrameCount(), 0);
  EXPECT_EQ(Pixel(512, 384), 0u);

  // The same scene again: a new stage, both functions again.
  m_session->LoadScene("Hall");
  EXPECT_NE(m_session->GetStage(), nullptr);
  ASSERT_TRUE(StepUntilState("Session"));
  EXPECT_EQ(LinesAfter("hall: "),
            (std::vector<std::string>{"OnLoadScene", "PrepareScene", "OnLoadScene", "PrepareScene"}));
}

// A second scene change before the loading screen ran the first one's tasks: the first stage is
// gone, so only the latest load's tasks run.
TEST_F(SessionScene, AReplacedLoadRunsNoneOfItsTasks) {
  m_session->LoadScene("Hall");
  m_session->LoadScene("Hall");
  ASSERT_TRUE(StepUntilState("Session"));
  EXPECT_EQ(LinesAfter("hall: "), (std::vector<std::string>{"OnLoadScene", "OnLoadScene", "PrepareScene"}));
  EXPECT_EQ(m_session->GetSceneLoadCount(), 2);
}

TEST_F(SessionScene, ScriptsWithoutTheFunctionsAreNotCalledAndNothingIsLoggedAtLevelZero) {
  Debug_ScriptWarningLevel = 0;
  m_session->LoadScene("Empty");
  ASSERT_TRUE(StepUntilState("Session"));
  EXPECT_TRUE(LinesAfter("CALL: ").empty());
  Debug_ScriptWarningLevel = 1;
  const size_t before = Log().size();
  m_session->LoadScene("Nowhere");  // a scene without a script is no error
  ASSERT_TRUE(StepUntilState("Session"));
  EXPECT_EQ(Log().find("Nowhere.lua", before), std::string::npos) << Log().substr(before);
  Debug_ScriptWarningLevel = 1;
  m_session->LoadScene("Hall");
  ASSERT_TRUE(StepUntilState("Session"));
  EXPECT_EQ(LinesAfter("CALL: "), std::vector<std::string>{"Hall::OnLoadScene"});
}

TEST_F(SessionScene, SceneScriptFunctionsAreFoundAndRunWithArguments) {
  EXPECT_TRUE(SceneScriptHasFunction("Hall", "Answer"));
  EXPECT_FALSE(SceneScriptHasFunction("Hall", "Question"));
  EXPECT_FALSE(SceneScriptHasFunction("Nowhere", "Answer"));
  base::Variant args;
  args.set_array(2);
  args[0].set_int(40);
  args[1].set_int(2);
  EXPECT_EQ(m_session->RunSceneScript("Hall", "Answer", args).get_int(), 42);
  EXPECT_TRUE(m_session->RunSceneScript("Nowhere", "Answer", args).is_void());
}

// A loading task made for a scene function runs it when the loading screen gets to it.
TEST_F(SessionScene, SceneScriptTaskCallsItsFunctionWhenRun) {
  static std::vector<std::string> calls;
  calls.clear();
  base::i_Task* task = MakeSceneScriptTask(
      [](const base::String& scene, const base::String& function) {
        calls.push_back(std::string(scene.c_str()) + "::" + function.c_str());
        return base::Variant();
      },
      "Quay", "PrepareScene");
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->m_weight, 1.0f);
  EXPECT_TRUE(calls.empty());
  task->Run();
  delete task;
  EXPECT_EQ(calls, std::vector<std::string>{"Quay::PrepareScene"});
}

}  // namespace
}  // namespace quillane
