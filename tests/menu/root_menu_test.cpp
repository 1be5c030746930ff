// The root menu the game frame makes, driven through its module interface on the headless
// platform, with a stand-in session: the start fade, the quit question and its two answers, the
// new-game and load-game roads up to the session's first loading task, the sibling panels,
// "Refresh" and the debug key; the demo's menu on the reviewed picture and on an 800 x 600 window.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "../support/EngineLogCapture.h"
#include "../support/GoldenImage.h"
#include "MenuFixture.h"
#include "base/app/GameFrame.h"
#include "base/app/KeyCode.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "base/text/Textsystem.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/frame/LoadingScreen.h"
#include "quillane/gui/Messagebox.h"
#include "quillane/menu/GameMenu.h"
#include "quillane/menu/RootMenu.h"
#include "quillane/settings/TweakSettings.h"

namespace menutest {
namespace {

std::vector<std::string> g_calls;  // what the stand-in session was asked to do

class cl_StandInSession : public base::i_GameSession {
 public:
  bool NewGame() override {
    g_calls.push_back("NewGame");
    return true;
  }
  bool LoadGame(const char* file) override {
    g_calls.push_back(std::string("LoadGame ") + file);
    return true;
  }
  bool SaveGame(const char*, base::tString<base::BaseUnicodeString>, const base::Variant*) override { return true; }
};

// The game frame, making stand-in sessions until the real one exists.
class cl_StandInFrame : public cl_GameFrame {
 public:
  base::i_GameSession* CreateSession() override {
    g_calls.push_back("CreateSession");
    return m_makeSessions ? new cl_StandInSession : nullptr;
  }
  bool m_makeSessions = true;
};

class RootMenuTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    if (IsSkipped()) return;
    g_calls.clear();
    // The frame's start-up without a road: its states and the root menu on its game GUI, which
    // the tests then use in place of the fixture's.
    base::variant_get_attribute_by_path(m_system->GetConfigTree(), "DevTools/QuickLaunch", true)->set_string("none");
    m_frame = std::make_unique<cl_StandInFrame>();
    ASSERT_TRUE(m_frame->StartUp());
    delete m_gui;
    m_gui = m_frame->GetGameGUI();
    m_gui->m_Rect = {0, 0, float(m_windowWidth), float(m_windowHeight)};
    m_menu = cl_RootMenu::GetInstance();
    ASSERT_NE(m_menu, nullptr);
    ASSERT_TRUE(m_frame->SwitchState("RootMenu"));
  }
  void TearDown() override {
    m_frame.reset();
    m_gui = nullptr;  // the frame's
    ResetTweakSettings();
    MenuTest::TearDown();
  }
  // Frames of 0.1 s, as the play-through clock runs: the root module's time (the mouse's rest),
  // then the menu.
  void Run(int frames) {
    for (int i = 0; i < frames; ++i) {
      m_system->Update(0, 0.1f);
      m_menu->Update(0, 0.1f);
    }
  }
  bool Press(const char* label) {
    base::Variant event;
    event.set_element("ButtonPressed");
    event.attribute("ctrl_label")->set_string(label);
    return m_menu->ProcessEvent(event);
  }
  base::ICMD Key(int key) { return Cmd(base::ICMD::KEY_PRESSED, 0, 0, key); }
  base::cl_Window* MainPanel() { return m_gui->FindByLabel("MainMenuPanel"); }
  // The demo's title picture, logo, menu plate and buttons, and its menu texts.
  void LoadDemoMenu() {
    const std::string data = QUILLANE_DATA_DIR;
    ASSERT_TRUE(std::filesystem::exists(data + "/gui/menu/buttons_bg_main.tga")) << "demo data not generated";
    std::string resources = "<Resources><Image label=\"bg_main\" file=\"" + data + "/gui/title_background.tga\"/>";
    for (const char* label : {"logo", "buttons_bg_main", "menubutton_default", "menubutton_disabled"}) {
      const std::string file = std::string(label) == "logo" ? "menu_logo" : label;
      resources += std::string("<Image label=\"") + label + "\" file=\"" + data + "/gui/menu/" + file + ".tga\"/>";
    }
    std::ofstream(m_dir / "demo.xml") << resources << "</Resources>";
    ASSERT_TRUE(base::sys::AddResources((m_dir / "demo.xml").string().c_str()));
    std::filesystem::copy_file(data + "/loca/menus_English.xml", m_dir / "loca" / "menus_English.xml");
    std::filesystem::copy_file(data + "/loca/quillane_English.xml", m_dir / "loca" / "quillane_English.xml");
    ASSERT_TRUE(base::GetTextsystem()->BuildLookup());
  }

  std::unique_ptr<cl_StandInFrame> m_frame;
  cl_RootMenu* m_menu = nullptr;  // a state of the frame
  int QueuedTasks() const { return m_frame->GetLoadingScreen()->GetQueueSize(); }
  void RunLoadingTasks() { m_frame->GetLoadingScreen()->Update(0, 0.1f); }
};

TEST_F(RootMenuTest, StartsBlackAndClearsOverOneSecondWithTheThemeOnTheFirstUpdate) {
  EXPECT_EQ(cl_RootMenu::GetInstance(), m_menu);
  EXPECT_EQ(m_menu->GetFader().m_value, 1.0f);
  EXPECT_TRUE(m_menu->IsThemePending());
  ASSERT_NE(MainPanel(), nullptr);
  Run(1);
  EXPECT_FALSE(m_menu->IsThemePending());
  Run(4);
  EXPECT_NEAR(m_menu->GetFader().m_value, 0.5f, 1e-4);
  Run(6);
  EXPECT_EQ(m_menu->GetFader().m_state, cl_Fader::STATE_UNCOVERED);
}

TEST_F(RootMenuTest, QuitAnsweredOkEndsTheProgramAfterHalfASecond) {
  Run(10);
  EXPECT_TRUE(Press("quit"));
  cl_Messagebox* box = m_menu->GetQuitBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(m_gui->GetModalWindows().front(), box);
  base::ICMD enter = Key(base::key::Enter);
  EXPECT_TRUE(m_menu->ProcessInput(enter));
  Run(1);
  EXPECT_EQ(m_menu->GetQuitBox(), nullptr);
  EXPECT_EQ(std::string(m_menu->GetPendingCommand().c_str()), "quit");
  EXPECT_EQ(m_menu->GetFader().m_state, cl_Fader::STATE_COVERING);
  EXPECT_FALSE(m_system->GetQuit());
  Run(4);
  EXPECT_FALSE(m_system->GetQuit());
  Run(2);
  EXPECT_TRUE(m_system->GetQuit());
}

TEST_F(RootMenuTest, QuitAnsweredCancelKeepsTheMenuRunning) {
  Run(10);
  Press("quit");
  base::ICMD esc = Key(base::key::Escape);
  m_menu->ProcessInput(esc);
  Run(10);
  EXPECT_EQ(m_menu->GetQuitBox(), nullptr);
  EXPECT_TRUE(m_menu->GetPendingCommand().empty());
  EXPECT_EQ(m_menu->GetFader().m_state, cl_Fader::STATE_UNCOVERED);
  EXPECT_FALSE(m_system->GetQuit());
  EXPECT_TRUE(m_gui->GetModalWindows().empty());
}

TEST_F(RootMenuTest, NewGameDarkensFromWhereTheStartFadeIsThenStartsASession) {
  Run(5);  // halfway through the start fade
  Press("newgame");
  EXPECT_EQ(m_menu->GetFader().m_state, cl_Fader::STATE_COVERING);
  EXPECT_NEAR(m_menu->GetFader().m_value, 0.5f, 1e-4);
  Run(4);
  EXPECT_TRUE(g_calls.empty());
  Run(1);  // black after 0.5 s: the session comes in the same update, its new game queued
  EXPECT_EQ(g_calls, (std::vector<std::string>{"CreateSession"}));
  EXPECT_EQ(QueuedTasks(), 1);
  EXPECT_STREQ(m_frame->GetStateName(), "Session");
  RunLoadingTasks();
  EXPECT_EQ(g_calls, (std::vector<std::string>{"CreateSession", "NewGame"}));
  EXPECT_EQ(m_menu->GetFader().m_value, 0.0f);
  EXPECT_TRUE(m_menu->IsThemePending());  // the theme plays again when the menu comes back
}

TEST_F(RootMenuTest, NewGameWithoutASessionLogsAndStaysInTheMenu) {
  m_frame->m_makeSessions = false;
  testsupport::LogCapture log;
  Press("newgame");
  Run(11);
  EXPECT_TRUE(log.contains("Warning: root menu: the game frame made no session"));
  EXPECT_EQ(m_menu->GetFader().m_value, 0.0f);
  EXPECT_EQ(QueuedTasks(), 0);
  EXPECT_STREQ(m_frame->GetStateName(), "RootMenu");
}

TEST_F(RootMenuTest, LoadGameEventLoadsTheFileInANewSessionAfterHalfASecond) {
  base::Variant bare;
  bare.set_element("LoadGame");
  EXPECT_FALSE(m_menu->ProcessEvent(bare));
  base::Variant load;
  load.set_element("LoadGame");
  load.attribute("file")->set_string("Savegames/slot001.sav");
  EXPECT_TRUE(m_menu->ProcessEvent(load));
  Run(6);
  EXPECT_EQ(QueuedTasks(), 1);
  RunLoadingTasks();
  EXPECT_EQ(g_calls, (std::vector<std::string>{"CreateSession", "LoadGame Savegames/slot001.sav"}));
}

TEST_F(RootMenuTest, SiblingPanelsOpenOnlyWhenTheyExistAndRefreshBringsTheMenuBack) {
  // Without the load/save and options panels the main menu stays as it was (the root menu's own
  // panels are taken away first).
  base::cl_GUI::DeleteFromTree(m_gui, m_gui->FindChild("LoadSavePanel"), false);
  base::cl_GUI::DeleteFromTree(m_gui, m_gui->FindChild("OptionsPanel"), false);
  for (const char* label : {"loadgame", "options"}) {
    EXPECT_TRUE(Press(label));
    EXPECT_FALSE(MainPanel()->HasFlag(base::WF_HIDDEN)) << label;
    EXPECT_FALSE(MainPanel()->HasFlag(base::WF_DISABLED)) << label;
  }
  auto* loadSave = new base::cl_Panel;
  loadSave->m_Label = "LoadSavePanel";
  loadSave->Show(false);
  m_gui->AddChild(loadSave);
  Press("loadgame");
  EXPECT_TRUE(MainPanel()->HasFlag(base::WF_HIDDEN));
  EXPECT_TRUE(MainPanel()->HasFlag(base::WF_DISABLED));
  EXPECT_FALSE(loadSave->HasFlag(base::WF_HIDDEN));
  base::Variant refresh;
  refresh.set_element("Refresh");
  EXPECT_FALSE(m_menu->ProcessEvent(refresh));
  EXPECT_FALSE(MainPanel()->HasFlag(base::WF_HIDDEN));
  EXPECT_FALSE(MainPanel()->HasFlag(base::WF_DISABLED));
}

TEST_F(RootMenuTest, CreditsWithoutTheMovieFileEndAtTheNextUpdate) {
  Run(10);
  EXPECT_TRUE(Press("credits"));
  EXPECT_TRUE(m_menu->IsCreditsPlaying());
  Run(1);
  EXPECT_FALSE(m_menu->IsCreditsPlaying());
  EXPECT_TRUE(Press("newgame")) << "the menu takes its buttons again";
  EXPECT_EQ(m_menu->GetFader().m_state, cl_Fader::STATE_COVERING);
}

TEST_F(RootMenuTest, F1StartsTheEditorOnlyWithTheDebugKeys) {
  testsupport::LogCapture log;
  base::ICMD f1 = Key(base::key::F1);
  EXPECT_FALSE(m_menu->ProcessInput(f1));
  Debug_KeysEnabled = true;
  EXPECT_TRUE(m_menu->ProcessInput(f1));
  EXPECT_EQ(log.count("GameFrame: this program has no editor"), 1);
}

TEST_F(RootMenuTest, EventsWithoutTheirAttributeAreNotHandled) {
  base::Variant bare;
  bare.set_element("ButtonPressed");
  EXPECT_FALSE(m_menu->ProcessEvent(bare));
  base::Variant other;
  other.set_element("Something");
  EXPECT_FALSE(m_menu->ProcessEvent(other));
}

// The menu's panels live on the menu's frames: a button the mouse rests on comes due for its
// tooltip (and a held key in a field repeats) with no one but the menu updating them.
TEST_F(RootMenuTest, APanelButtonTheMouseRestsOnComesDueForItsTooltip) {
  AddPicture("menubutton_default", 256, 32, 0x806040);
  LoadPictures();
  Run(10);
  RenderFrame();
  m_menu->Render();
  base::cl_Window* button = MainPanel()->FindByLabel("newgame");
  ASSERT_NE(button, nullptr);
  base::ICMD move = Cmd(base::ICMD::MOUSE_MOVE, int(button->m_AbsRect.left) + 4, int(button->m_AbsRect.top) + 4);
  m_system->ProcessInput(move);
  m_menu->ProcessInput(move);
  Run(2);
  EXPECT_FALSE(button->m_TooltipDue);
  Run(2);
  EXPECT_TRUE(button->m_TooltipDue);
}

TEST_F(RootMenuTest, MenuRendersTheTitleAndTheButtonsOverBlack) {
  AddPicture("bg_main", 1024, 1024, 0x102030);
  AddPicture("menubutton_default", 256, 32, 0x806040);
  LoadPictures();
  Run(10);
  RenderFrame();
  m_menu->Render();
  // The 16:10 viewport of a 1024 x 768 window starts 64 pixels down; black above it.
  EXPECT_EQ(Pixel(5, 30), 0x000000u);
  EXPECT_EQ(Pixel(5, 100), 0x102030u);
  base::cl_Window* button = MainPanel()->FindByLabel("newgame");
  EXPECT_EQ(Pixel(int(button->m_AbsRect.left) + 2, int(button->m_AbsRect.top) + 2), 0x806040u);
}

// Texts that could not be read (a configuration without a language) show every caption as its
// key: the menu says so on the screen.
TEST_F(RootMenuTest, TextsThatCannotBeReadAreToldOnTheScreen) {
  Run(10);
  auto notices = [&] {
    std::vector<gfx::st_DrawnText> texts;
    gfx::TraceDrawnText(&texts);
    RenderFrame();
    m_menu->Render();
    EndFrame();
    gfx::TraceDrawnText(nullptr);
    return std::count_if(texts.begin(), texts.end(), [](const gfx::st_DrawnText& t) {
      return t.text.find("texts cannot be read") != std::string::npos && t.left >= 0 && t.right <= kWidth;
    });
  };
  EXPECT_EQ(notices(), 0);
  base::sys::CleanupTextsystem();
  EXPECT_GT(notices(), 0) << "inside the window";
}

TEST_F(RootMenuTest, ShotOfTheMenuOnTheDemoDataMatchesTheReviewedPicture) {
  ASSERT_NO_FATAL_FAILURE(LoadDemoMenu());
  MainPanel()->Show(true);  // no savegame: "Load Game" disabled
  Run(10);
  RenderFrame();
  m_menu->Render();
  const std::vector<uint32_t> shot = QuarterShot();
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/root_menu.png", shot, kShotW,
                                            kShotH));
}

// The smallest display mode the options offer.
class RootMenuSmallWindowTest : public RootMenuTest {
 protected:
  RootMenuSmallWindowTest() { m_windowWidth = 800, m_windowHeight = 600; }
};

// On an 800 x 600 window the demo's main menu shows its logo whole above the plate, and its
// version line under the plate ends above the legal line at the window's bottom.
TEST_F(RootMenuSmallWindowTest, TheDemoMenusLogoAndVersionLineFitTheWindow) {
  ASSERT_NO_FATAL_FAILURE(LoadDemoMenu());
  MainPanel()->Show(true);
  Run(10);
  RenderFrame();
  m_menu->Render();
  EndFrame();
  const base::st_ScreenRect& panel = MainPanel()->m_AbsRect;
  gfx::cl_Image* logo = gfx::ImageExists("logo");
  gfx::cl_Image* plate = gfx::ImageExists("buttons_bg_main");
  ASSERT_TRUE(logo && plate);
  EXPECT_GE(panel.top - 0.55f * static_cast<float>(logo->GetHeight()), 0.0f) << "the logo is cut off at the top";
  const float versionTop = panel.top + static_cast<float>(plate->GetHeight()) + 10.0f;
  const float lineHeight = gfx::GetWrappedTextHeightW(u"V1.0.0", 400.0f);
  EXPECT_LE(versionTop + lineHeight, static_cast<float>(m_windowHeight) - 32.0f)
      << "the version line runs into the legal line";
}

}  // namespace
}  // namespace menutest
