// The demo Office on a new game: the objects its triggers use, the door shut until the pass, and
// the tooltips and cursors the new game's state brings.
#include <gtest/gtest.h>

#include <cstring>

#include "office_fixture.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/scene/Layer.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/ScriptCalls.h"

namespace scriptfunctionstest {
namespace {

class DemoTriggers : public OfficeTest {
 protected:
  void SetUp() override {
    OfficeTest::SetUp();
    if (IsSkipped()) return;
    // The shared script the session loads at its start: the triggers walk up through it.
    CopyDemoScript("MainInclude.lua");
    ASSERT_NO_FATAL_FAILURE(Load("", false));
    CopyDemoScript("Scenes/Office.lua");
    CopyDemoScript("initialgamestate.xml");
    Write("Scripts/Dialogs/Odo.lua", "function Startup()\n  Debugout(\"t: odo startup\")\nend\n");
    Write("Scripts/campaign.lua", "function Startup()\nend\n");
    ASSERT_TRUE(m_session->NewGame());
    m_session->LoadScene("Office");
    ASSERT_TRUE(StepUntilState("Session", 200));
  }

  static base::tString<base::BaseUnicodeString> Localized(const char* key) {
    base::tString<base::BaseUnicodeString> text;
    base::sys::Localize(key, text);
    return text;
  }

  // Runs the object's trigger and lets the scene script finish (Quillane walks up to the thing
  // first), or stop at a mini-game it starts.
  void Trigger(const char* name) {
    ASSERT_TRUE(quillane::RunTrigger(name)) << name;
    for (int i = 0; i < 200 && !m_session->GetActionQueue().IsIdle() && !m_session->GetMinigameManager()->IsRunning();
         ++i)
      Step(0.1f);
  }
};

TEST_F(DemoTriggers, TheDoorAnswersThatItStaysShutUntilThePass) {
  for (const char* name : {"shelf", "drawer", "telegram", "junction", "door"})
    EXPECT_TRUE(quillane::IsHotspotActive(name)) << name;
  // Without it Quillane walks up and says why.
  ASSERT_TRUE(quillane::RunTrigger("door"));
  bool spoken = false;
  for (int i = 0; i < 200 && !spoken; ++i) {
    Step(0.1f);
    const quillane::st_GameAction* action = m_session->GetActionQueue().GetFirstForegroundAction();
    spoken = action && action->m_kind == "speak" && action->m_object == "Quillane";
  }
  EXPECT_TRUE(spoken);
  for (int i = 0; i < 200 && !m_session->GetActionQueue().IsIdle(); ++i) Step(0.1f);
  EXPECT_EQ(m_session->GetScene()->GetName(), "Office");
}

TEST_F(DemoTriggers, ObjectsAndOdoRunTheirTriggers) {
  Trigger("drawer");
  EXPECT_FALSE(quillane::IsHotspotActive("drawer")) << "emptied";
  Trigger("telegram");
  EXPECT_FALSE(quillane::IsHotspotActive("telegram"));
  Trigger("junction");
  EXPECT_TRUE(m_session->GetActionQueue().IsIdle()) << "the tap was answered";
  Trigger("shelf");
  quillane::cl_MinigameManager* games = m_session->GetMinigameManager();
  ASSERT_TRUE(games->IsRunning()) << "the shelf's game is played";
  games->End();  // given up: Quillane says so, and the script goes on without the ledger
  bool remarked = false;
  for (int i = 0; i < 200 && !m_session->GetActionQueue().IsIdle(); ++i) {
    const quillane::st_GameAction* action = m_session->GetActionQueue().GetFirstForegroundAction();
    remarked = remarked || (action && action->m_kind == "speak" && std::strncmp(action->m_text.c_str(), "#offic0_20", 10) == 0);
    Step(0.1f);
  }
  EXPECT_TRUE(m_session->GetActionQueue().IsIdle());
  EXPECT_TRUE(remarked) << "a game given up gets a line";

  Trigger("Odo");
  EXPECT_TRUE(m_session->GetDialogCtrl().m_bActive);
  EXPECT_EQ(m_session->GetDialogCtrl().GetPartner(), "Odo");
  EXPECT_EQ(Said(), std::vector<std::string>{"odo startup"});
  EXPECT_FALSE(Logged("ERROR: script function")) << "every function the triggers use exists";
}

TEST_F(DemoTriggers, TheNewGameNamesTooltipsAndCursorPictures) {
  base::tString<base::BaseUnicodeString> text;
  bool elaborate = false;
  ASSERT_TRUE(quillane::GetTooltipText("shelf", text, 0.5f, elaborate));
  EXPECT_FALSE(elaborate);
  EXPECT_EQ(text, Localized("#demo0_300 Shelf"));
  ASSERT_TRUE(quillane::GetTooltipText("shelf", text, 2.5f, elaborate));
  EXPECT_TRUE(elaborate);
  EXPECT_EQ(text, Localized("#demo0_310 The shelf with the harbour ledgers"));
  for (const char* label : {"pick_up", "talk_to", "gamecursor", "cursor_disable"}) {
    base::String file;
    ASSERT_TRUE(quillane::GetCursorImage(label, file)) << label;
    EXPECT_TRUE(fs::exists(fs::path(QUILLANE_DATA_DIR) / file.c_str())) << file.c_str();
  }
}

// A savegame restored on the Quay runs the scene's preparation, not its entering: the harbour lamp,
// dark until its wiring is mended, must come back dark, not as the scene's project draws it.
TEST_F(DemoTriggers, ARestoredQuayKeepsTheLampDarkUntilItIsMended) {
  fs::copy(fs::path(QUILLANE_DATA_DIR) / "Scenes" / "Quay", m_dir / "Scenes" / "Quay", fs::copy_options::recursive);
  CopyDemoScript("Scenes/Quay.lua");
  Write("Scripts/Dialogs/Pell.lua", "function Startup()\nend\n");
  m_session->LoadScene("Quay");
  ASSERT_TRUE(StepUntilState("Session", 200));
  auto lamp = [this]() -> const quillane::cl_Layer* {
    quillane::cl_Scene* scene = m_session->GetScene();
    return scene ? scene->FindLayer("lamp_glow") : nullptr;
  };
  ASSERT_NE(lamp(), nullptr);

  fs::create_directories(m_dir / "Savegames");
  const std::string slot = (m_dir / "Savegames" / "slot001.sav").string();
  ASSERT_TRUE(m_session->SaveGame(slot.c_str(), u"", nullptr));
  ASSERT_TRUE(m_session->LoadGame(slot.c_str()));
  ASSERT_TRUE(StepUntilState("Session", 200));
  Step(0.1f);
  ASSERT_NE(lamp(), nullptr);
  EXPECT_EQ(lamp()->m_alpha, 0.0f);
}

}  // namespace
}  // namespace scriptfunctionstest
