// The inventory tokens in a running session on the Quay: counts in the game state, the token
// bar's part in acquiring and losing, and the check stages and actions of a drop, with the scene
// script, the dialogue scripts and "tokens.lua" compiled and run by the script system.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/hud/Token.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/session/InventoryTokens.h"
#include "quillane/session/Session.h"
#include "quillane/settings/TweakSettings.h"
#include "session_fixture.h"

namespace quillane {
namespace {

using tStrings = std::vector<std::string>;

constexpr const char* kTable =
    "<Tokens>\n"
    " <DialogTokens><Token label=\"T6_Ferry\"/><Token label=\"T6_EndChat\"/></DialogTokens>\n"
    " <Items><Token label=\"T1_Key\"/><Token label=\"T1_Coin\"/><Token label=\"T1_Map\"/><Token label=\"T1_Rope\"/>"
    "</Items>\n"
    "</Tokens>\n";

class Tokens : public sessiontest::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped()) return;
    std::ifstream project(std::string(QUILLANE_DATA_DIR) + "/Scenes/Quay/ProjectFile.xml", std::ios::binary);
    std::stringstream text;
    text << project.rdbuf();
    Write("Scenes/Quay/ProjectFile.xml", text.str());
    Write("GUI/tokens/tokens.xml", kTable);
  }

  // The session on the Quay with these scripts; each check and action says "t: <what>".
  void Start(const std::string& scene, const std::string& odo, const std::string& tokens) {
    Write("Scripts/Scenes/Quay.lua", scene);
    Write("Scripts/Dialogs/Odo.lua", odo);
    Write("Scripts/tokens.lua", tokens);
    StartFrame();
    m_session = StartSession();
    ASSERT_NE(m_session, nullptr);
    m_session->LoadScene("Quay");
    ASSERT_TRUE(StepUntilState("Session"));
    ASSERT_NE(m_session->GetScene(), nullptr);
    ASSERT_NE(m_session->GetTokenBar(), nullptr);
  }
  void StartPlain() { Start("", "", ""); }

  int Cnt(const char* label) {
    const base::Variant* entry = FindOrAddInventoryToken(label, false);
    int count = -1;
    if (entry) entry->get_attribute_int("cnt", count);
    return count;
  }
  bool InBar(const char* label) {
    for (const auto& shown : m_session->GetTokenBar()->GetShownLabels())
      if (shown == label) return true;
    return false;
  }
  tStrings Said() const { return LinesAfter("t: "); }
  bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
  void InDialogueWith(const char* partner) {
    m_session->GetDialogCtrl().m_bActive = true;
    m_session->GetDialogCtrl().m_Partner = partner;
  }

  cl_Session* m_session = nullptr;
};

// ---- counts

TEST_F(Tokens, ATopicStaysAtOneWhileAnItemCountsEachAcquisition) {
  ASSERT_NO_FATAL_FAILURE(StartPlain());
  AcquireTokenDirect("T6_Ferry");
  AcquireTokenAnimated("T6_Ferry", "Nobody", 2);
  AcquireTokenDirect("T1_Key");
  AcquireTokenAnimated("T1_Key", "lamp", 2);
  EXPECT_EQ(Cnt("T6_Ferry"), 1);
  EXPECT_EQ(Cnt("T1_Key"), 2);
  EXPECT_EQ(GetTokenCount("T1_Key"), 2);
  EXPECT_EQ(GetTokenCount("T1_Coin"), 0) << "known but not held";
  EXPECT_EQ(GetTokenCategory("T6_Ferry"), "DialogTokens");
  // The inventory mirrors the table's categories, one entry per token.
  const base::Variant* items = (*m_session->GetGameState())("Inventory/Items");
  ASSERT_NE(items, nullptr);
  EXPECT_EQ(items->size(), 1);
}

TEST_F(Tokens, LosingOneOfTwoKeepsOneButLeavesTheBarAndNothingHeldIsLeftAlone) {
  ASSERT_NO_FATAL_FAILURE(StartPlain());
  AcquireTokenDirect("T1_Key");
  AcquireTokenDirect("T1_Key");
  ASSERT_TRUE(InBar("T1_Key"));
  LoseTokenFromInventory("T1_Key", false);
  EXPECT_EQ(Cnt("T1_Key"), 1);
  EXPECT_FALSE(InBar("T1_Key"));
  EXPECT_EQ(m_session->GetTokenBar()->FindToken("T1_Key"), nullptr);

  LoseTokenFromInventory("T1_Key", false);
  LoseTokenFromInventory("T1_Key", false);
  EXPECT_EQ(Cnt("T1_Key"), 0) << "never below 0, and the entry stays";

  AcquireTokenDirect("T1_Coin");
  LoseTokenFromInventory("T1_Map", false);
  EXPECT_EQ(Cnt("T1_Map"), -1) << "no entry made for a token never held";
  EXPECT_TRUE(InBar("T1_Coin"));
}

TEST_F(Tokens, UnknownTokensAreReportedAndChangeNothing) {
  ASSERT_NO_FATAL_FAILURE(StartPlain());
  AcquireTokenDirect("T9_Ghost");
  LoseTokenFromInventory("T9_Ghost", true);
  EXPECT_EQ(GetTokenCount("T9_Ghost"), 0);
  EXPECT_EQ(GetTokenCategory("T9_Ghost"), "error");
  EXPECT_TRUE(Logged("ERROR: token T9_Ghost is unknown."));
  EXPECT_EQ(FindOrAddInventoryToken("T9_Ghost", true), nullptr);
  EXPECT_FALSE(InBar("T9_Ghost"));
}

TEST(TokenFlyIn, StartsAboveTheSourceShiftedPerMovingTokenAndStaysInsideTheInsetView) {
  const base::tRectf view(0.0f, 0.0f, 1024.0f, 768.0f);
  const base::tVector2<float> p(400.0f, 300.0f);
  const base::tVector2<float> none = GetTokenFlyInStart(p, 0, view), two = GetTokenFlyInStart(p, 2, view);
  EXPECT_EQ(none.x, 368.0f);
  EXPECT_EQ(none.y, 236.0f);
  EXPECT_EQ(two.x - none.x, 192.0f);
  EXPECT_EQ(two.y, none.y);
  // (0, 0) lands on the inset view's top-left corner; far right and low on its other corner.
  const base::tVector2<float> corner = GetTokenFlyInStart({0.0f, 0.0f}, 0, view);
  EXPECT_EQ(corner.x, 32.0f);
  EXPECT_EQ(corner.y, 32.0f);
  const base::tVector2<float> far = GetTokenFlyInStart({2000.0f, 2000.0f}, 3, view);
  EXPECT_EQ(far.x, 896.0f);
  EXPECT_EQ(far.y, 640.0f);
}

// ---- check stages

// Which stage decides a drop outside a dialogue, for a scene, a dialogue and a token script
// that each may or may not have their function.
TEST_F(Tokens, ChecksAskTheSceneThenTheDialogueScriptThenTokensLuaInEitherOrder) {
  ASSERT_NO_FATAL_FAILURE(Start(
      "function Check_T1_Key_On_lamp()\n  Debugout(\"t: scene key/lamp\")\n  return 1\nend\n"
      "function Check_T1_Coin_On_Odo()\n  Debugout(\"t: scene coin/Odo\")\n  return 0\nend\n",
      "function Check_T1_Coin()\n  Debugout(\"t: odo coin\")\n  return 1\nend\n"
      "function Check_T1_Map()\n  Debugout(\"t: odo map\")\n  return 1\nend\n",
      "function Check_T1_Rope_On_T1_Key()\n  Debugout(\"t: tokens rope/key\")\n  return 1\nend\n"));
  struct {
    const char* target;
    const char* token;
    bool accepted;
    tStrings said;
  } cases[] = {
      {"lamp", "T1_Key", true, {"scene key/lamp"}},
      // The scene refuses; the dialogue stage is reached only when the scene has no function, so
      // the scene's check runs again in the second stage.
      {"Odo", "T1_Coin", false, {"scene coin/Odo", "scene coin/Odo"}},
      {"Odo", "T1_Map", true, {"odo map"}},
      {"T1_Key", "T1_Rope", true, {"tokens rope/key"}},
      {"T1_Rope", "T1_Key", true, {"tokens rope/key"}},
      {"T1_Coin", "T1_Key", false, {}},
      {"lamp", "T1_Coin", false, {}},
  };
  for (const auto& c : cases) {
    const size_t before = Said().size();
    EXPECT_EQ(CheckTokenOnTarget(c.target, c.token), c.accepted) << c.token << " on " << c.target;
    const tStrings said = Said();
    EXPECT_EQ(tStrings(said.begin() + static_cast<long>(before), said.end()), c.said) << c.token << " on " << c.target;
  }
}

TEST_F(Tokens, OnlyTheResultOneAccepts) {
  ASSERT_NO_FATAL_FAILURE(Start("function Check_T1_Key_On_lamp()\n  return GetValue(\"answer\")\nend\n"
                                "function Check_T1_Map_On_lamp()\n  return true\nend\n"
                                "function Set(v)\n  SetValue(\"answer\", v)\nend\n",
                                "", ""));
  base::Variant args;
  for (const auto& [value, accepted] : {std::pair{0.0f, false}, {2.0f, false}, {1.0f, true}}) {
    args.set_array(1);
    args[0].set_float(value);
    m_session->RunSceneScript("Quay", "Set", args);
    EXPECT_EQ(CheckTokenOnTarget("lamp", "T1_Key"), accepted) << value;
  }
  args.set_array(1);
  m_session->RunSceneScript("Quay", "Set", args);  // nil
  EXPECT_FALSE(CheckTokenOnTarget("lamp", "T1_Key")) << "nil";
  EXPECT_TRUE(CheckTokenOnTarget("lamp", "T1_Map")) << "true counts 1";
}

// In a dialogue only the partner takes a token, and only one that his script's check or the
// scene's check for him accepts: a refused topic is refused at the drop, and so goes back.
TEST_F(Tokens, InADialogueOnlyThePartnerTakesTokensAndItsScriptDecidesWhatMayBeUsed) {
  ASSERT_NO_FATAL_FAILURE(Start("function Check_T1_Key_On_Odo()\n  return 1\nend\n",
                                "function Check_T6_Ferry()\n  return 1\nend\n"
                                "function Play_T6_Ferry()\n  Debugout(\"t: odo ferry\")\nend\n"
                                "function Check_T1_Coin()\n  return 0\nend\n", ""));
  AcquireTokenDirect("T6_Ferry");
  AcquireTokenDirect("T1_Key");
  AcquireTokenDirect("T1_Coin");
  EXPECT_TRUE(CanUseToken("T1_Key")) << "an item outside a dialogue";
  EXPECT_FALSE(CanUseToken("T6_Ferry")) << "a topic outside a dialogue";
  EXPECT_FALSE(CanUseToken("T1_Map")) << "not in the bar";
  InDialogueWith("Odo");
  EXPECT_TRUE(CheckTokenOnTarget("Odo", "T6_Ferry")) << "his check accepts the topic";
  EXPECT_FALSE(CheckTokenOnTarget("Odo", "T1_Coin")) << "his check refuses it";
  EXPECT_FALSE(CheckTokenOnTarget("Odo", "T1_Map")) << "no check for it anywhere";
  EXPECT_TRUE(CheckTokenOnTarget("Odo", "T1_Key")) << "the scene's check for Odo accepts it";
  EXPECT_FALSE(CheckTokenOnTarget("lamp", "T1_Key"));
  EXPECT_FALSE(CheckTokenOnTarget("odo", "T1_Key")) << "the partner's name exactly";
  EXPECT_TRUE(CanUseToken("T6_Ferry"));
  EXPECT_FALSE(CanUseToken("T1_Coin")) << "Odo's script refuses it";
  EXPECT_EQ(m_session->GetDialogCtrl().m_CurrentToken, "") << "checks leave the played topic current";
  // The accepted topic is played as the dialogue's "Play_" function, and is the current token.
  PlayTokenHandler("Odo", "T6_Ferry");
  EXPECT_EQ(Said(), tStrings{"odo ferry"});
  EXPECT_EQ(m_session->GetDialogCtrl().m_CurrentToken, "T6_Ferry");
  m_session->GetDialogCtrl().m_bActive = false;
}

TEST_F(Tokens, ACheckStageWithoutASceneOrForAnUnlistedTokenRefuses) {
  ASSERT_NO_FATAL_FAILURE(Start("function Check_T9_Ghost_On_lamp()\n  return 1\nend\n", "", ""));
  EXPECT_FALSE(CallTokenHandler("lamp", "T9_Ghost"));
  EXPECT_FALSE(CallSceneTokenHandler("lamp", "T9_Ghost"));
  EXPECT_FALSE(CallTokenScriptHandler("lamp", "T9_Ghost"));
  EXPECT_TRUE(Logged("T9_Ghost is not in token list."));
}

// ---- actions

TEST_F(Tokens, ADropRunsTheActionOfTheStageThatAccepted) {
  ASSERT_NO_FATAL_FAILURE(Start(
      "function Check_T1_Key_On_lamp()\n  return 1\nend\n"
      "function Play_T1_Key_On_lamp()\n  Debugout(\"t: scene plays key/lamp\")\nend\n"
      "function Play_T1_Map_On_Odo()\n  Debugout(\"t: scene plays map/Odo\")\nend\n",
      "function Check_T1_Map()\n  return 1\nend\n"
      "function Play_T1_Map()\n  Debugout(\"t: odo topic map\")\nend\n",
      "function Check_T1_Key_On_T1_Rope()\n  return 1\nend\n"
      "function Play_T1_Key_On_T1_Rope()\n  Debugout(\"t: tokens key/rope\")\n  Sleep(0.5)\n"
      "  Debugout(\"t: tokens done\")\nend\n"));
  PlayTokenHandler("lamp", "T1_Key");
  // Outside a dialogue the dialogue script's check leads to the scene's action for the character.
  PlayTokenHandler("Odo", "T1_Map");
  // Stored the other way round: the action is found the other way round too.
  PlayTokenHandler("T1_Key", "T1_Rope");
  EXPECT_EQ(Said(), (tStrings{"scene plays key/lamp", "scene plays map/Odo", "tokens key/rope"}));
  EXPECT_NE(m_session->GetActionQueue().m_sceneScript, nullptr) << "the token script waits as the scene script";
  for (int i = 0; i < 10; ++i) Step();
  EXPECT_EQ(Said().back(), "tokens done");
  EXPECT_EQ(m_session->GetActionQueue().m_sceneScript, nullptr);
}

// The whole drag through the token bar's input: a click picks the key up, the mouse carries it
// over the coin, a click drops it, and once the bar's use animation is over "tokens.lua" runs.
TEST_F(Tokens, AnItemDroppedOnAnotherInTheBarRunsTheTokenScript) {
  ASSERT_NO_FATAL_FAILURE(Start("", "",
                                "function Check_T1_Key_On_T1_Coin()\n  return 1\nend\n"
                                "function Play_T1_Key_On_T1_Coin()\n  Debugout(\"t: combined\")\n"
                                "  LooseToken(\"T1_Coin\")\nend\n"));
  AcquireTokenDirect("T1_Key");
  AcquireTokenDirect("T1_Coin");
  cl_TokenBar* bar = m_session->GetTokenBar();
  for (int i = 0; i < 50 && bar->IsAnimating(); ++i) Step();
  ASSERT_FALSE(bar->IsAnimating());
  auto centre = [bar](const char* label, int& x, int& y) {
    const cl_Token* token = bar->FindToken(label);
    ASSERT_NE(token, nullptr) << label;
    x = static_cast<int>(token->m_Rect.x + token->m_Rect.w * 0.5f);
    y = static_cast<int>(token->m_Rect.y + token->m_Rect.h * 0.5f);
  };
  auto send = [bar](int type, int x, int y) {
    bar->SetAlpha(1.0f);  // the interface bar is faded in while the mouse is on it
    base::ICMD cmd = frametest::Mouse(type, x, y);
    bar->ProcessInput(cmd);
  };
  int kx = 0, ky = 0, cx = 0, cy = 0;
  ASSERT_NO_FATAL_FAILURE(centre("T1_Key", kx, ky));
  ASSERT_NO_FATAL_FAILURE(centre("T1_Coin", cx, cy));
  send(base::ICMD::LEFT_DOWN, kx, ky);
  send(base::ICMD::LEFT_UP, kx, ky);
  ASSERT_EQ(bar->GetCarried(), bar->FindToken("T1_Key"));
  send(base::ICMD::MOUSE_MOVE, cx, cy);
  Step();
  send(base::ICMD::LEFT_DOWN, cx, cy);
  send(base::ICMD::LEFT_UP, cx, cy);
  EXPECT_EQ(bar->GetCarried(), nullptr) << "the drop was accepted";
  for (int i = 0; i < 50 && Said().empty(); ++i) Step();
  EXPECT_EQ(Said(), tStrings{"combined"});
  EXPECT_EQ(GetTokenCount("T1_Coin"), 0);
  EXPECT_EQ(GetTokenCount("T1_Key"), 1);
}

TEST_F(Tokens, AUseWritesTheAutomaticSavegameFirstWhenAsked) {
  ASSERT_NO_FATAL_FAILURE(Start("function Play_T1_Key_On_lamp()\n  Debugout(\"t: used\")\nend\n", "", ""));
  const std::string autoSave = cl_LoadSavePanel::GetSavegamePath("auto").c_str();
  std::filesystem::create_directories(std::filesystem::path(autoSave).parent_path());  // made at start-up
  PlayTokenHandler("lamp", "T1_Key");
  EXPECT_FALSE(std::filesystem::exists(autoSave)) << "off by default";
  AutoSave_OnUserAction = true;
  PlayTokenHandler("lamp", "T1_Key");
  AutoSave_OnUserAction = false;
  EXPECT_TRUE(std::filesystem::exists(autoSave)) << Log();
}

TEST_F(Tokens, GetDropTargetNameFindsTheBarsTokensAndNothingOffTheScene) {
  ASSERT_NO_FATAL_FAILURE(StartPlain());
  tTokenLabel name("stale");
  EXPECT_FALSE(GetDropTargetName(-500.0f, -500.0f, name));
  EXPECT_TRUE(name.empty());
  AcquireTokenDirect("T1_Key");
  cl_TokenBar* bar = m_session->GetTokenBar();
  cl_Token* token = bar->FindToken("T1_Key");
  ASSERT_NE(token, nullptr);
  bar->Layout();
  const float x = token->m_Rect.x + token->m_Rect.w * 0.5f, y = token->m_Rect.y + token->m_Rect.h * 0.5f;
  EXPECT_TRUE(GetDropTargetName(x, y, name));
  EXPECT_EQ(name, "T1_Key");
  // The session's services answer the bar with these rules.
  EXPECT_TRUE(hud::CanUseToken("T1_Key"));
  EXPECT_NE(hud::FindTokenDefinition("T1_Coin"), nullptr);
}

}  // namespace
}  // namespace quillane
