// The token, mission-value and view script functions, called from compiled scripts: token counts
// and uses by the calling dialogue script, values kept under "Missions", and the zoom onto
// hotspots and characters of the demo Office.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "quillane/scene/Scene.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/InventoryTokens.h"
#include "office_fixture.h"

namespace scriptfunctionstest {
namespace {

using tStrings = std::vector<std::string>;

// A session on the Quay (no figures needed) with a small token table.
class TokenScript : public sessiontest::SessionTest {
 protected:
  void Start(const std::string& odo) {
    std::ifstream project(std::string(QUILLANE_DATA_DIR) + "/Scenes/Quay/ProjectFile.xml", std::ios::binary);
    std::stringstream text;
    text << project.rdbuf();
    Write("Scenes/Quay/ProjectFile.xml", text.str());
    Write("GUI/tokens/tokens.xml",
          "<Tokens><DialogTokens><Token label=\"T6_Ferry\"/></DialogTokens>"
          "<Items><Token label=\"T1_Key\"/></Items></Tokens>");
    Write("Scripts/Dialogs/Odo.lua", odo);
    StartFrame();
    m_session = StartSession();
    ASSERT_NE(m_session, nullptr);
    m_session->LoadScene("Quay");
    ASSERT_TRUE(StepUntilState("Session"));
  }
  void Run(const char* function) { GameThread::Start("Dialogs/Odo.lua", function, base::Variant()); }
  tStrings Said() const { return LinesAfter("t: "); }
  bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

  quillane::cl_Session* m_session = nullptr;
};

TEST_F(TokenScript, AcquiredTokensAreCountedAndLostOnes) {
  ASSERT_NO_FATAL_FAILURE(Start(
      "function Go()\n"
      "  AcquireToken(\"T1_Key\", true, \"inventory\")\n"
      "  AcquireToken(\"T1_Key\")\n"
      "  Debugout(\"t: \", GotToken(\"T1_Key\"), GetTokenCnt(\"T1_Key\"), GotToken(\"T6_Ferry\"))\n"
      "  LooseToken(\"T1_Key\")\n"
      "  LooseToken(\"T1_Key\")\n"
      "  Debugout(\"t: \", GotToken(\"T1_Key\"), GetTokenCnt(\"T1_Key\"))\n"
      "  LooseToken(\"T9_Ghost\")\n"
      "end\n"));
  Run("Go");
  EXPECT_EQ(Said(), (tStrings{"120", "00"}));
  EXPECT_TRUE(Logged("Token T9_Ghost unknown."));
}

// Uses are counted on the token and per calling module; the module is the dialogue's, whatever
// the letter case the partner's name is asked in.
TEST_F(TokenScript, UseTokenCountsUsesPerCallerAndTheDefaultLabelComesFromThePlayFunction) {
  ASSERT_NO_FATAL_FAILURE(Start(
      "function Startup()\n  AcquireToken(\"T6_Ferry\", true, \"inventory\")\nend\n"
      "function Play_T6_Ferry()\n  UseToken()\nend\n"
      "function Ask()\n"
      "  Debugout(\"t: \", TimesTokenBeenUsedOn(\"T6_Ferry\", \"ODO\"), TimesTokenBeenUsedOn(\"T6_Ferry\", \"Mina\"),"
      " TimesTokenBeenUsedOn(\"T1_Key\", \"Odo\"))\n"
      "end\n"
      "function Plays()\n  UseToken()\nend\n"
      "function Use()\n  UseToken()\nend\n"));
  Run("Startup");
  Run("Play_T6_Ferry");
  Run("Play_T6_Ferry");
  Run("Ask");
  EXPECT_EQ(Said(), tStrings{"200"});
  const base::Variant* token = quillane::FindOrAddInventoryToken("T6_Ferry", false);
  ASSERT_NE(token, nullptr);
  int uses = 0;
  EXPECT_TRUE(token->get_attribute_int("use_cnt", uses));
  EXPECT_EQ(uses, 2);
  // Names that leave no label after the "Play_" part: the not-acquired error, nothing counted.
  Run("Plays");
  Run("Use");
  EXPECT_TRUE(Logged("Token  has not been acquired yet."));
  EXPECT_TRUE(token->get_attribute_int("use_cnt", uses));
  EXPECT_EQ(uses, 2);
}

TEST_F(TokenScript, TimesTokenBeenUsedOnDefaultsToTheTopicBeingPlayedAndThePartner) {
  ASSERT_NO_FATAL_FAILURE(Start(
      "function Startup()\n  AcquireToken(\"T6_Ferry\", true, \"inventory\")\nend\n"
      "function Play_T6_Ferry()\n  UseToken()\n  Debugout(\"t: \", TimesTokenBeenUsedOn())\nend\n"));
  Run("Startup");
  m_session->GetDialogCtrl().m_Partner = "Odo";
  m_session->GetDialogCtrl().m_CurrentToken = "T6_Ferry";
  Run("Play_T6_Ferry");
  EXPECT_EQ(Said(), tStrings{"1"});
}

TEST_F(TokenScript, ValuesAreKeptUnderMissionsAsFloatsTextsAndFlags) {
  ASSERT_NO_FATAL_FAILURE(Start(
      "function Go()\n"
      "  SetValue(\"Count\", 3)\n"
      "  SetValue(\"Office/Flag\", true)\n"
      "  SetValue(\"Name\", \"Odo\")\n"
      "  Debugout(\"t: \", TypeName(GetValue(\"Count\")), \" \", TypeName(GetValue(\"Office/Flag\")), \" \", TypeName(0.5))\n"
      "  if GetValue(\"Count\") == 3 then\n    Debugout(\"t: three\")\n  end\n"
      "  if GetValue(\"Office/Flag\") == 1 then\n    Debugout(\"t: one\")\n  end\n"
      "  Debugout(\"t: \", GetValue(\"Name\"))\n"
      "  Debugout(\"t: \", TypeName(GetValue(\"Never\")), \" \", TypeName(nil))\n"
      "  SetValue(\"Name\")\n"
      "  Debugout(\"t: \", TypeName(GetValue(\"Name\")))\n"
      "end\n"));
  Run("Go");
  const tStrings said = Said();
  ASSERT_EQ(said.size(), 6u) << Log();
  const std::string floatName = said[0].substr(said[0].rfind(' ') + 1);
  EXPECT_EQ(said[0], floatName + " " + floatName + " " + floatName) << "a number and a flag both read back as floats";
  EXPECT_EQ(said[1], "three");
  EXPECT_EQ(said[2], "one");
  EXPECT_EQ(said[3], "Odo");
  const std::string nilName = said[4].substr(said[4].rfind(' ') + 1);
  EXPECT_EQ(said[4], nilName + " " + nilName) << "a key never set reads as nil";
  EXPECT_EQ(said[5], nilName) << "a value set to nothing too";
  base::Variant& state = *m_session->GetGameState();
  const base::Variant* missions = state.get_element("Missions");
  ASSERT_NE(missions, nullptr);
  EXPECT_TRUE(missions->get_attribute("Count")->is_float());
  const base::Variant* flag = state("Missions/Office") ? state("Missions/Office")->get_attribute("Flag") : nullptr;
  ASSERT_NE(flag, nullptr);
  EXPECT_TRUE(flag->is_int());
  EXPECT_EQ(flag->get_int(), 1);
  EXPECT_EQ(missions->get_attribute("Never"), nullptr) << "reading creates nothing";
}

// ---- the view, on the Office

using ViewScript = OfficeTest;

TEST_F(ViewScript, ScenePositionsMapCharactersAndAnUnknownNameGivesMinusOne) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "function Where()\n"
      "  Debugout(\"t: \", ScenePosX(\"Nobody\"), \" \", ScenePosY(\"Nobody\"))\n"
      "  Debugout(\"t: \", ScenePosX(\"Odo\"), \" \", ScenePosY(\"Odo\"))\n"
      "end\n"));
  m_session->RunSceneScript("Office", "Where", base::Variant());
  const tStrings said = Said();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(std::stof(said[0]), -1.0f);
  EXPECT_EQ(std::stof(said[0].substr(said[0].find(' '))), -1.0f);
  EXPECT_TRUE(Logged("Character 'Nobody' does not exist."));
  const base::tVector2<float> odo = m_session->GetScene()->WorldToScene(Character("Odo")->GetPosition());
  EXPECT_NEAR(std::stof(said[1]), odo.x, 0.01f);
  EXPECT_NEAR(std::stof(said[1].substr(said[1].find(' '))), odo.y, 0.01f);
}

TEST_F(ViewScript, ZoomInWithFactorHalfFramesTheUpperHalfOfTheEnlargedCharacterRectangle) {
  ASSERT_NO_FATAL_FAILURE(Load("function Half()\n  ZoomIn(0.5, \"Odo\")\nend\n"
                               "function Out()\n  ZoomOut()\nend\n"));
  quillane::cl_Scene* scene = m_session->GetScene();
  // The expected frame, worked out beside the script's.
  const base::tRectf r = m_session->GetStage()->GetCharacterScreenRect(Character("Odo"));
  const base::tVector2<float> a = scene->ScreenToScene(r.min.x, r.min.y), b = scene->ScreenToScene(r.max.x, r.max.y);
  const float cx = (a.x + b.x) * 0.5f, cy = (a.y + b.y) * 0.5f;
  const float top = cy + (a.y - cy) * 1.2f, bottom = cy + (b.y - cy) * 1.2f;
  const float left = cx + (a.x - cx) * 1.2f, right = cx + (b.x - cx) * 1.2f;
  ASSERT_TRUE(scene->ZoomToRect(left, top, right, top + (bottom - top) * 0.5f));
  const float zoom = scene->GetZoom(), scrollX = scene->GetScrollTarget()[0], scrollY = scene->GetScrollTarget()[1];
  scene->SetZoom(1.0f);

  m_session->RunSceneScript("Office", "Half", base::Variant());
  EXPECT_NEAR(scene->GetZoom(), zoom, 1e-4f);
  EXPECT_NEAR(scene->GetScrollTarget()[0], scrollX, 0.01f);
  EXPECT_NEAR(scene->GetScrollTarget()[1], scrollY, 0.01f);
  EXPECT_GT(scene->GetZoom(), 1.0f);
  m_session->RunSceneScript("Office", "Out", base::Variant());
  EXPECT_EQ(scene->GetZoom(), 1.0f);
}

TEST_F(ViewScript, ZoomsThatWouldDivideByZeroAreReportedAndLeaveTheView) {
  ASSERT_NO_FATAL_FAILURE(Load("function Flat()\n  ZoomIn(0, \"Odo\")\nend\n"
                               "function Level()\n  ZoomOnCharacter(\"Odo\", 100, 100, 10)\nend\n"
                               "function Fine()\n  ZoomOnCharacter(\"Odo\", 20, 180, 0)\nend\n"));
  quillane::cl_Scene* scene = m_session->GetScene();
  scene->SetZoom(1.0f);
  m_session->RunSceneScript("Office", "Flat", base::Variant());
  m_session->RunSceneScript("Office", "Level", base::Variant());
  EXPECT_EQ(scene->GetZoom(), 1.0f);
  EXPECT_TRUE(Logged("ZoomIn: nothing to zoom to"));
  EXPECT_TRUE(Logged("ZoomOnCharacter: low and high must differ"));
  m_session->RunSceneScript("Office", "Fine", base::Variant());
  EXPECT_GT(scene->GetZoom(), 1.0f) << "a character's height frame zooms in";
}

}  // namespace
}  // namespace scriptfunctionstest
