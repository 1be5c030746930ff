// The in-game interface inside a running game: a game started on the root menu's road shows the
// interface bar with the initial inventory's tokens, the player's token order travels through the
// game state, the dialogue switches the token bar, the bar's buttons open the panels, and the
// session's interface services live exactly as long as the session.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "base/Imaging.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "quillane/diary/Diary.h"
#include "quillane/diary/DiaryServices.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/hud/InterfaceBar.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/hud/Token.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Session.h"
#include "quillane/session/SessionInterface.h"
#include "quillane/session/Stage.h"
#include "session_fixture.h"
#include "support/GoldenImage.h"

namespace quillane {
namespace {

constexpr int kBandTop = 608;  // the bar with its decoration fits below
constexpr int kShotW = 1024 / 2, kShotH = (768 - kBandTop) / 2;  // the fixture's 1024 x 768 window

const char* const kTokens = R"(<Tokens>
  <DialogTokens>
    <Token label="T6_EndChat" display_name="Goodbye"/>
    <Token label="T6_Ferry" display_name="The ferry"/>
    <Token label="T6_Weather" display_name="The weather"/>
  </DialogTokens>
  <Items>
    <Token label="T1_Ledger" display_name="Ledger" file="ledger.bmp"/>
    <Token label="T1_Codebook" display_name="Code book"/>
    <Token label="T1_Telegram" display_name="Telegram" file="telegram.bmp"/>
    <Token label="T1_Pass" display_name="Pass"/>
  </Items>
</Tokens>)";

// The code book is held but not in the player's order, so it leads; the pass is not held.
const char* const kInitialState = R"(<GameState>
  <Missions Skill="0"/>
  <Inventory>
    <Items>
      <Token label="T1_Ledger"/>
      <Token label="T1_Codebook"/>
      <Token label="T1_Telegram"/>
    </Items>
    <DialogTokens><Token label="T6_Ferry"/><Token label="T6_Weather"/></DialogTokens>
  </Inventory>
  <TokenOrder><Token label="T1_Telegram"/><Token label="T1_Ledger"/></TokenOrder>
</GameState>)";

class SessionInterface : public sessiontest::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped()) return;
    Write("Scripts/MainInclude.lua", "\n");
    Write("Scripts/campaign.lua", "function Startup()\n  Transit(\"Office\")\nend\n");
    Write("Scenes/Office/ProjectFile.xml", "<Project name=\"Office\"/>");
    Write("scripts/initialgamestate.xml", kInitialState);
    Write("GUI/tokens/tokens.xml", kTokens);
    WritePicture("GUI/Tokens/ledger.bmp", 64, 64, base::Color24(220, 40, 40), true);
    WritePicture("GUI/Tokens/telegram.bmp", 64, 64, base::Color24(40, 200, 60), true);
    std::string resources = "<Resources>";
    for (const auto& [label, w, h, colour] : std::vector<std::tuple<const char*, int, int, base::Color24>>{
             {"token", 64, 64, base::Color24(128, 128, 192)},
             {"fluff_left", 256, 128, base::Color24(112, 80, 48)},
             {"fluff_mid", 32, 14, base::Color24(128, 96, 64)},
             {"fluff_right", 256, 128, base::Color24(112, 80, 48)},
             {"fluffy_glow", 64, 64, base::Color24(64, 64, 64)}}) {
      const std::string file = std::string("pictures/") + label + ".bmp";
      WritePicture(file, w, h, colour, false);
      resources += std::string("<Texture label=\"") + label + "\" file=\"" + (m_dir / file).string() + "\"/>";
    }
    Write("pictures.xml", resources + "</Resources>");
    StartFrame(
        "<DevTools QuickLaunch=\"game\"/><Debug NoMinigames=\"1\"/>"
        "<Options><Game><AutoFadeInterface Value=\"0\"/></Game></Options>");
    ASSERT_TRUE(base::sys::AddResources((m_dir / "pictures.xml").string().c_str()));
    ASSERT_TRUE(StepUntilState("Session", 100));
    m_session = GetSession();
    ASSERT_NE(m_session, nullptr);
    ASSERT_NE(m_session->GetTokenBar(), nullptr);
  }

  // A flat picture; framed ones get a white edge so neighbours stay apart in the shot.
  void WritePicture(const std::string& path, int w, int h, base::Color24 colour, bool framed) {
    base::cl_Bitmap24 picture;
    picture.Create(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        *picture.Pixel(x, y) =
            framed && (x < 4 || y < 4 || x >= w - 4 || y >= h - 4) ? base::Color24(255, 255, 255) : colour;
    Write(path, "");
    ASSERT_TRUE(picture.SaveBMP((m_dir / path).string().c_str()));
  }

  std::vector<std::string> BarLabels() const {
    std::vector<std::string> labels;
    cl_TokenBar* bar = m_session->GetTokenBar();
    for (int i = 0; i < bar->GetChildCount(); ++i)
      if (auto* token = dynamic_cast<cl_Token*>(bar->GetChild(i))) labels.emplace_back(token->m_Label.c_str());
    return labels;
  }

  // The bottom band of the last frame, every second pixel of every second row.
  std::vector<uint32_t> BandShot() const {
    std::vector<uint32_t> shot;
    for (int y = kBandTop; y < kHeight; y += 2)
      for (int x = 0; x < kWidth; x += 2) shot.push_back(Pixel(x, y));
    return shot;
  }

  cl_Session* m_session = nullptr;
};

TEST_F(SessionInterface, ANewGameShowsTheBarWithTheInitialInventoryInThePlayersOrder) {
  EXPECT_EQ(BarLabels(), (std::vector<std::string>{"T1_Codebook", "T1_Telegram", "T1_Ledger"}));
  cl_InterfaceBar* bar = m_session->GetInterfaceBar();
  EXPECT_EQ(bar->GetAlpha(), 1.0f) << "auto-fade is off";
  EXPECT_EQ(bar->GetParent(), static_cast<base::cl_Window*>(m_session->GetGameGUI()));
  for (int i = 0; i < 15; ++i) Step(0.1f);  // the new game's fade from black is over
  // The telegram's own picture inside its white frame, in the bar's band.
  const cl_Token* telegram = m_session->GetTokenBar()->FindToken("T1_Telegram");
  ASSERT_NE(telegram, nullptr);
  const base::st_ScreenRect& rect = telegram->m_AbsRect;
  EXPECT_TRUE(testsupport::RgbNear(Pixel(int(rect.left) + 32, int(rect.top) + 32), 0x28C83C, 40));
  EXPECT_GE(rect.top, kBandTop);
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/session_interface_bar.png",
                                            BandShot(), kShotW, kShotH));
}

TEST_F(SessionInterface, TheTokenOrderTravelsThroughTheGameState) {
  cl_TokenBar* bar = m_session->GetTokenBar();
  bar->AcquireTokenPopIn("T1_Pass");
  cl_TokenBarState* state = m_session->GetTokenBarState();
  ASSERT_NE(state, nullptr);
  base::Variant& game = *m_session->GetGameState();
  state->Write(game);
  std::vector<std::string> written;
  const base::Variant* order = game.get_element("TokenOrder");
  ASSERT_NE(order, nullptr);
  for (int i = 0; i < order->size(); ++i) {
    base::tString<base::BaseString> label;
    ASSERT_TRUE(order->child(i)->get_attribute_string("label", label));
    written.emplace_back(label.c_str());
  }
  EXPECT_EQ(written, (std::vector<std::string>{"T1_Telegram", "T1_Ledger", "T1_Pass"}));

  // The player's order changed and stored; a bar that forgot it reads it back and follows.
  bar->GetTokenOrder() = {"T1_Ledger", "T1_Telegram"};
  state->Write(game);
  bar->GetTokenOrder().clear();
  bar->RefreshTokens();
  ASSERT_EQ(BarLabels().size(), 3u);
  state->Read(game);
  EXPECT_EQ(BarLabels(), (std::vector<std::string>{"T1_Codebook", "T1_Ledger", "T1_Telegram"}));
}

TEST_F(SessionInterface, TheDialogueSwitchesTheTokenBarAndItsEndChatCountsTheBar) {
  cl_TokenBar* bar = m_session->GetTokenBar();
  m_session->GetDialogCtrl().Start("Odo", nullptr);
  EXPECT_TRUE(bar->IsDialogMode());
  // No token rules yet: the partner takes no topic, so only the end-chat token is offered.
  EXPECT_EQ(BarLabels(), std::vector<std::string>{"T6_EndChat"});
  ASSERT_NE(cl_DialogCtrl::TokenBar().GetTokenCount, nullptr);
  EXPECT_EQ(cl_DialogCtrl::TokenBar().GetTokenCount(), 1);
  m_session->GetDialogCtrl().Stop();
  EXPECT_FALSE(bar->IsDialogMode());
  EXPECT_EQ(BarLabels(), (std::vector<std::string>{"T1_Codebook", "T1_Telegram", "T1_Ledger"}));
  EXPECT_EQ(m_session->GetInterfaceBar()->GetIdleTime(), 0.0f);
}

// A topic whose script loses it at its very end leaves only the end-chat token, which ends the
// dialogue by itself while the lost token still fades out of the bar.
TEST_F(SessionInterface, ATopicLostAtTheEndOfItsScriptLetsTheEndChatCloseTheDialogue) {
  Write("Scripts/Dialogs/Odo.lua",
        "function Startup()\nend\n"
        "function Check_T6_Ferry()\n  return 1\nend\n"
        "function Play_T6_Ferry()\n  Debugout(\"odo: ferry\")\n  LooseToken(\"T6_Ferry\")\nend\n"
        "function Check_T6_EndChat()\n  return 1\nend\n"
        "function Play_T6_EndChat()\n  Debugout(\"odo: bye\")\n  EndDialog()\nend\n");
  cl_DialogCtrl& dialog = m_session->GetDialogCtrl();
  dialog.Start("Odo", nullptr);
  ASSERT_EQ(BarLabels(), (std::vector<std::string>{"T6_EndChat", "T6_Ferry"}));
  base::Variant click;  // what the topic's token raises
  click.set_element("ButtonPressed");
  click.attribute("ctrl_label")->set_string("T6_Ferry");
  dialog.ProcessEvent(click);
  EXPECT_EQ(LinesAfter("odo: "), (std::vector<std::string>{"ferry", "bye"}));
  EXPECT_FALSE(dialog.IsActive());
}

// The topic being played stays the current token while the bar asks the partner about the
// others, so a count without a label reads the played topic's.
TEST_F(SessionInterface, TheTopicBeingPlayedKeepsItsUseCountWhileTheBarChecksTheOthers) {
  Write("Scripts/Dialogs/Odo.lua",
        "function Startup()\nend\n"
        "function Check_T6_Ferry()\n  return 1\nend\n"
        "function Check_T6_Weather()\n  return 1\nend\n"
        "function Play_T6_Ferry()\n  UseToken()\n  Debugout(\"odo: \" .. TimesTokenBeenUsedOn())\nend\n");
  cl_DialogCtrl& dialog = m_session->GetDialogCtrl();
  dialog.Start("Odo", nullptr);
  ASSERT_EQ(BarLabels(), (std::vector<std::string>{"T6_EndChat", "T6_Ferry", "T6_Weather"}));
  dialog.PlayTopic("T6_Ferry");
  dialog.PlayTopic("T6_Ferry");
  EXPECT_EQ(LinesAfter("odo: "), (std::vector<std::string>{"1", "2"}));
}

TEST_F(SessionInterface, TheServicesAnswerFromTheGameAndTheBusyCursorReadsTheInterface) {
  const st_InterfaceServices& services = InterfaceServices();
  EXPECT_EQ(hud::GameState(), m_session->GetGameState());
  ASSERT_NE(services.GetTokenTable, nullptr);
  EXPECT_EQ(services.GetTokenTable(), &m_session->GetTokensTable());
  EXPECT_TRUE(hud::IsPlayerFree());
  EXPECT_FALSE(hud::HasForegroundAction());
  EXPECT_STREQ(hud::GetCurrentActionName(), "");
  float height = 0.0f;
  EXPECT_EQ(hud::GetSceneHeight(height), m_session->GetScene() != nullptr);
  EXPECT_NE(services.CanUseToken, nullptr) << "the session answers the token rules too";
  EXPECT_FALSE(m_session->IsBusyForCursor());

  st_GameAction* action = m_session->GetActionQueue().Add(nullptr);
  action->m_kind = "speak";
  EXPECT_FALSE(hud::IsPlayerFree());
  EXPECT_TRUE(hud::HasForegroundAction());
  EXPECT_STREQ(hud::GetCurrentActionName(), "speak");
  m_session->GetActionQueue().Clear();

  m_session->GetActionQueue().m_inCutscene = true;
  EXPECT_TRUE(hud::IsCutscene());
  EXPECT_FALSE(hud::IsPlayerFree());
  EXPECT_TRUE(m_session->IsBusyForCursor());
  m_session->GetActionQueue().m_inCutscene = false;

  ASSERT_NE(m_session->GetOverlayMgr()->CreateOverlay("image", "missing.tga", 0.0f, 1.0f, 0.0f, 0xFFFFFFFFu),
            nullptr);
  EXPECT_TRUE(m_session->IsBusyForCursor());
  // The overlays run with the world: a paused game keeps the picture up.
  m_session->SetPaused(true);
  Step(0.1f);
  Step(0.1f);
  EXPECT_EQ(m_session->GetOverlayMgr()->GetCount(), 1u);
  m_session->SetPaused(false);
  for (int i = 0; i < 12; ++i) Step(0.1f);
  EXPECT_EQ(m_session->GetOverlayMgr()->GetCount(), 0u);
  EXPECT_FALSE(m_session->IsBusyForCursor());
}

TEST_F(SessionInterface, TheBarsButtonsOpenThePanelsAndPauseTheGame) {
  base::cl_Window* gui = static_cast<base::cl_Window*>(m_session->GetGameGUI());
  auto* loadSave = dynamic_cast<cl_LoadSavePanel*>(gui->FindByLabel("LoadSavePanel"));
  ASSERT_NE(loadSave, nullptr);
  ASSERT_NE(InterfaceServices().OpenLoadSavePanel, nullptr);
  InterfaceServices().OpenLoadSavePanel();
  EXPECT_FALSE(loadSave->HasFlag(base::WF_HIDDEN));
  EXPECT_FALSE(loadSave->HasFlag(base::WF_DISABLED));
  EXPECT_EQ(loadSave->GetMode(), cl_LoadSavePanel::MODE_LOADSAVE);
  EXPECT_TRUE(m_session->IsPaused());
  EXPECT_EQ(m_session->GetInterfaceBar()->GetFadeTarget(), 0.0f);
  EXPECT_TRUE(m_session->IsMenuOpen());

  base::cl_Window* menu = gui->FindByLabel("IngameMenuPanel");
  ASSERT_NE(menu, nullptr);
  m_session->SetPaused(false);
  InterfaceServices().OpenIngameMenu();
  EXPECT_FALSE(menu->HasFlag(base::WF_HIDDEN));
  EXPECT_TRUE(m_session->IsPaused());
}

TEST_F(SessionInterface, AShownBarCoversThePictureAndSixteenPixelsAboveIt) {
  for (int i = 0; i < 3; ++i) Step(0.1f);  // the bar takes its place under the scene when drawn
  cl_Stage* stage = m_session->GetStage();
  ASSERT_TRUE(stage && stage->GetScene());
  base::Variant floor;  // a hotspot over the whole picture
  base::xml::read_text(floor,
      "<HotSpot label=\"floor\"><Point x=\"-10\" y=\"-10\"/><Point x=\"1100\" y=\"-10\"/>"
      "<Point x=\"1100\" y=\"700\"/><Point x=\"-10\" y=\"700\"/></HotSpot>");
  stage->GetScene()->AddElement("HotSpots", floor, true);
  const float top = m_session->GetInterfaceBar()->m_AbsRect.top;
  ASSERT_GT(top, 100.0f);
  base::String name;
  EXPECT_TRUE(stage->PickAt(5.0f, top - 17.0f, name));
  EXPECT_STREQ(name.c_str(), "floor");
  EXPECT_FALSE(stage->PickAt(5.0f, top - 15.0f, name));
}

TEST_F(SessionInterface, TheJournalButtonOpensTheSessionsDiaryWhichReachesTheBar) {
  cl_Diary* diary = m_session->GetDiary();
  ASSERT_NE(diary, nullptr);
  EXPECT_FALSE(InterfaceServices().IsDiaryVisible());
  ASSERT_NE(InterfaceServices().OpenDiary, nullptr);
  InterfaceServices().OpenDiary();
  EXPECT_TRUE(diary->IsVisible());
  EXPECT_TRUE(InterfaceServices().IsDiaryVisible());
  Step(0.1f);  // the first frame sets the book up; later ones draw it over the game
  Step(0.1f);
  // The diary asks the bar through its own table: blinking reaches a bar that exists.
  ASSERT_NE(DiaryServices().SetJournalBlink, nullptr);
  EXPECT_TRUE(DiaryServices().SetJournalBlink(true));
  EXPECT_EQ(DiaryServices().GetMissionValue("NoSuchValue"), 0);
  diary->Open(false, false, false, nullptr);
  for (int frame = 0; frame < 20 && diary->IsVisible(); ++frame) Step(0.1f);  // the book fades out
  EXPECT_FALSE(InterfaceServices().IsDiaryVisible());
}

TEST_F(SessionInterface, EndingTheSessionEmptiesTheInterfaceServices) {
  ASSERT_NE(InterfaceServices().GetGameState, nullptr);
  m_frame->EndSession();
  Step(0.1f);
  ASSERT_EQ(GetSession(), nullptr);
  // Every entry is a function pointer: an emptied table is all null.
  const st_InterfaceServices empty;
  EXPECT_EQ(std::memcmp(&InterfaceServices(), &empty, sizeof empty), 0);
  EXPECT_EQ(cl_DialogCtrl::TokenBar().GetTokenCount, nullptr);
  EXPECT_EQ(DiaryServices().SetJournalBlink, nullptr);
  EXPECT_EQ(hud::GameState(), nullptr);
  EXPECT_TRUE(hud::IsPlayerFree());
}

}  // namespace
}  // namespace quillane
