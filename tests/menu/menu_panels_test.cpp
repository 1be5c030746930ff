// The main and in-game menu panels in the game GUI: their buttons, "loadgame" following the
// savegame folder, hover highlight and message boxes, the in-game menu's keys, questions and
// hand-over to sibling panels.
#include <fstream>

#include "MenuFixture.h"
#include "base/app/KeyCode.h"
#include "quillane/gui/Messagebox.h"
#include "quillane/menu/GameMenu.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/screen/Fader.h"

namespace menutest {
namespace {

// The session as the in-game menu sees it.
class cl_FakeSession : public i_MenuSession {
 public:
  void SetPaused(bool paused) override { m_paused = paused; }
  void SetPendingRequest(const char* request) override { m_request = request; }
  cl_Fader& GetFader() override { return m_fader; }
  bool m_paused = true;
  std::string m_request;
  cl_Fader m_fader;
};

// A sibling panel that records the string events it gets and whether it was shown by then.
class cl_FakePanel : public base::cl_Panel {
 public:
  explicit cl_FakePanel(const char* label) {
    m_Label = label;
    SetFlag(base::WF_DISABLED, true);
    Show(false);
  }
  bool ProcessEvent(const base::Variant& event) override {
    if (!event.is_string()) return base::cl_Panel::ProcessEvent(event);
    m_modes.push_back(std::string(event.get_string()) + (HasFlag(base::WF_HIDDEN) ? "/hidden" : "/shown"));
    return true;
  }
  bool Init(base::StaticVariantIterator desc) override {
    ++m_inits;
    return base::cl_Panel::Init(desc);
  }
  std::vector<std::string> m_modes;
  int m_inits = 0;
};

class MenuPanels : public MenuTest {
 protected:
  cl_IngameMenuPanel* OpenIngame() {
    auto* panel = new cl_IngameMenuPanel(&m_session);
    m_gui->AddChild(panel);
    // As the session opens it.
    panel->SetFlag(base::WF_DISABLED, false);
    panel->Show(true);
    RenderFrame();
    return panel;
  }
  base::Variant Pressed(const char* label) {
    base::Variant event;
    event.set_element("ButtonPressed");
    event.attribute("ctrl_label")->set_string(label);
    return event;
  }
  cl_FakeSession m_session;
};

TEST_F(MenuPanels, MainMenuHasItsFiveButtonsInPlace) {
  cl_MainMenuPanel panel(nullptr);
  const char* labels[] = {"newgame", "loadgame", "options", "credits", "quit"};
  ASSERT_EQ(panel.GetChildCount(), 5);
  for (int i = 0; i < 5; ++i) {
    base::cl_Window* button = panel.GetChild(i);
    EXPECT_EQ(std::string(button->m_Label.c_str()), labels[i]);
    EXPECT_EQ(button->m_Rect.x, 58);
    EXPECT_EQ(button->m_Rect.y, 70 + 58 * i);
    EXPECT_EQ(button->m_Rect.w, 160);
    EXPECT_EQ(button->m_Rect.h, 25);
  }
  EXPECT_FALSE(panel.HasFlag(base::WF_HIDDEN));
  EXPECT_EQ(std::string(panel.m_Label.c_str()), "MainMenuPanel");
}

TEST_F(MenuPanels, LoadGameIsEnabledOnlyWithASavegameInTheFolderStartUpMade) {
  cl_MainMenuPanel main(nullptr);
  cl_IngameMenuPanel ingame(&m_session);
  EXPECT_EQ(CountSavegames(), 0);
  for (base::cl_Window* panel : {static_cast<base::cl_Window*>(&main), static_cast<base::cl_Window*>(&ingame)}) {
    panel->Show(true);
    EXPECT_TRUE(panel->FindByLabel("loadgame")->HasFlag(base::WF_DISABLED));
  }
  // Start-up makes "Savegames", which the menus ask for.
  std::ofstream(m_dir / "Savegames" / "auto.sav") << "x";
  std::ofstream(m_dir / "Savegames" / "notes.txt") << "x";
  EXPECT_EQ(CountSavegames(), 1);
  for (base::cl_Window* panel : {static_cast<base::cl_Window*>(&main), static_cast<base::cl_Window*>(&ingame)}) {
    panel->Show(true);
    EXPECT_FALSE(panel->FindByLabel("loadgame")->HasFlag(base::WF_DISABLED));
  }
  EXPECT_EQ(std::string(cl_LoadSavePanel::GetSaveFolder().c_str()), m_dir.string() + "/Savegames/");
}

TEST_F(MenuPanels, NoButtonHighlightsWhileAMessageBoxIsOpen) {
  AddPicture("menubutton_default", 256, 32, 0x304050);
  AddPicture("menubutton_highlight", 256, 32, 0xC0C040);
  LoadPictures();
  auto* panel = new cl_MainMenuPanel(nullptr);
  m_gui->AddChild(panel);
  RenderFrame();
  base::cl_Window* button = panel->FindByLabel("newgame");
  const int x = int(button->m_AbsRect.left) + 3, y = int(button->m_AbsRect.top) + 3;
  Send(Cmd(base::ICMD::MOUSE_MOVE, x, y));
  RenderFrame();
  EXPECT_EQ(Pixel(x, y), 0xC0C040u);
  cl_Messagebox::Show("MB_OK", nullptr, "MB_test", nullptr, m_gui, nullptr);
  RenderFrame();
  EXPECT_EQ(Pixel(x, y), 0x304050u);
}

TEST_F(MenuPanels, EscapeReturnsToTheGameAndIsPassedOnWhileDisabled) {
  cl_IngameMenuPanel* panel = OpenIngame();
  EXPECT_TRUE(PressKey(base::key::Escape));
  EXPECT_FALSE(m_session.m_paused);
  EXPECT_TRUE(panel->HasFlag(base::WF_HIDDEN));
  EXPECT_TRUE(panel->HasFlag(base::WF_DISABLED));
  base::ICMD esc = Cmd(base::ICMD::KEY_PRESSED, 0, 0, base::key::Escape);
  EXPECT_FALSE(panel->ProcessInput(esc));
  // Open, it takes every command, also ones no button wants.
  panel->SetFlag(base::WF_DISABLED, false);
  panel->Show(true);
  base::ICMD other = Cmd(base::ICMD::KEY_PRESSED, 0, 0, 'A');
  EXPECT_TRUE(panel->ProcessInput(other));
}

TEST_F(MenuPanels, CancelToEitherQuestionKeepsTheGameAndOkEndsIt) {
  struct st_Case {
    const char* button;
    int key;
    const char* request;
  } cases[] = {{"quit", base::key::Escape, ""},
               {"mainmenu", base::key::Escape, ""},
               {"quit", base::key::Enter, "quit"},
               {"mainmenu", base::key::Enter, "mainmenu"}};
  for (const st_Case& c : cases) {
    m_session = cl_FakeSession();
    cl_IngameMenuPanel* panel = OpenIngame();
    ClickWindow(panel->FindByLabel(c.button));
    ASSERT_EQ(m_gui->GetModalWindows().size(), 1u) << c.button;
    PressKey(c.key);
    RenderFrame(0.1f);
    RenderFrame(0.1f);
    EXPECT_TRUE(m_gui->GetModalWindows().empty());
    EXPECT_EQ(m_session.m_request, c.request) << c.button;
    EXPECT_EQ(m_session.m_fader.m_state, *c.request ? cl_Fader::STATE_COVERING : cl_Fader::STATE_UNCOVERED);
    EXPECT_TRUE(m_session.m_paused);
    EXPECT_FALSE(panel->HasFlag(base::WF_HIDDEN));  // the menu as it was
    m_gui->RemoveChild(panel);
    delete panel;
  }
}

TEST_F(MenuPanels, HandOverSendsTheModeToTheSiblingPanel) {
  auto* loadSave = new cl_FakePanel("LoadSavePanel");
  auto* options = new cl_FakePanel("OptionsPanel");
  m_gui->AddChild(loadSave);
  m_gui->AddChild(options);
  for (const char* button : {"savegame", "options"}) {
    cl_IngameMenuPanel* panel = OpenIngame();
    panel->ProcessEvent(Pressed(button));
    EXPECT_TRUE(panel->HasFlag(base::WF_HIDDEN)) << button;
    EXPECT_TRUE(panel->HasFlag(base::WF_DISABLED)) << button;
    m_gui->RemoveChild(panel);
    delete panel;
  }
  // The load/save panel is shown before it hears its mode; the options panel after.
  EXPECT_EQ(loadSave->m_modes, std::vector<std::string>{"savegame/shown"});
  EXPECT_EQ(options->m_modes, std::vector<std::string>{"game/hidden"});
  EXPECT_EQ(options->m_inits, 1);
  EXPECT_FALSE(options->HasFlag(base::WF_HIDDEN | base::WF_DISABLED));
}

TEST_F(MenuPanels, HandOverWithoutTheSiblingLeavesTheMenuOpen) {
  cl_IngameMenuPanel* panel = OpenIngame();
  for (const char* button : {"loadgame", "savegame", "options"}) {
    EXPECT_TRUE(panel->ProcessEvent(Pressed(button)));
    EXPECT_FALSE(panel->HasFlag(base::WF_HIDDEN)) << button;
    EXPECT_FALSE(panel->HasFlag(base::WF_DISABLED)) << button;
  }
  base::Variant bare;
  bare.set_element("ButtonPressed");
  EXPECT_FALSE(panel->ProcessEvent(bare));
}

}  // namespace
}  // namespace menutest
