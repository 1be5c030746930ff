// The interface bar under a GUI root: the auto-fade timeline, the show triggers on wide and
// narrow windows, the enabling of its buttons, clicks on the bar, its rectangle over a scene,
// the journal glow and what the buttons ask of the session.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>

#include "HudStandIns.h"
#include "base/app/ICMD.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "quillane/hud/InterfaceBar.h"
#include "quillane/hud/Token.h"
#include "quillane/hud/TokenBar.h"
#include "../base/test_support.h"

namespace hudtest {
namespace {

class InterfaceBarTest : public HudTest {
 protected:
  // The bar under a GUI root, with auto-fade as given ("" leaves the option out).
  void Make(const char* autoFade) {
    std::ofstream(m_dir.path("config.xml"))
        << "<Config><Options><Game><AutoFadeInterface" << (*autoFade ? " Value=\"" : "") << autoFade
        << (*autoFade ? "\"" : "") << "/></Game></Options></Config>";
    m_system->SetUserDataPath(m_dir.path("").c_str());
    ASSERT_TRUE(m_system->LoadConfig("config.xml"));
    m_gui = std::make_unique<base::cl_GUI>();
    m_bar = new cl_InterfaceBar;
    m_gui->AddChild(m_bar);
  }
  void Run(float seconds, float dt = 0.05f) {
    for (float t = 0.0f; t < seconds - 1e-4f; t += dt) m_bar->Update(dt);
  }
  base::cl_Window* AddPanel(const char* label, bool shown) {
    auto* panel = new base::cl_Panel;
    panel->m_Label = label;
    panel->SetFlag(base::WF_HIDDEN, !shown);
    m_gui->AddChild(panel);
    return panel;
  }
  bool Enabled(const char* label) { return !m_bar->GetButton(label)->HasFlag(base::WF_DISABLED); }

  testsupport::TempDir m_dir;
  std::unique_ptr<base::cl_GUI> m_gui;
  cl_InterfaceBar* m_bar = nullptr;
};

TEST_F(InterfaceBarTest, WithAutoFadeOffTheBarStaysButACutsceneHidesIt) {
  Make("0");
  EXPECT_EQ(m_bar->GetAlpha(), 1.0f);
  MoveMouse(500, 100);
  Run(5.0f);
  EXPECT_EQ(m_bar->GetAlpha(), 1.0f);
  Rules().cutscene = true;
  m_bar->Update(0.05f);
  EXPECT_EQ(m_bar->GetAlpha(), 0.0f);
  // A carried token keeps it up through the cutscene.
  Rules().gameState.set_element("GameState");
  m_bar->GetTokenBar()->SetCarried(m_bar->GetTokenBar()->AddToken(0, 0, "T1_Ledger", false));
  m_bar->Update(0.05f);
  EXPECT_EQ(m_bar->GetAlpha(), 1.0f);
}

TEST_F(InterfaceBarTest, WithAutoFadeOnItHidesTwoSecondsAfterThePointerLeaves) {
  Make("1");
  EXPECT_EQ(m_bar->GetAlpha(), 0.0f);
  Send(*m_bar, Cmd(base::ICMD::MOUSE_MOVE, 500, 700));  // into the bar's band
  EXPECT_EQ(m_bar->GetFadeTarget(), 1.0f);
  Run(0.25f);
  EXPECT_NEAR(m_bar->GetAlpha(), 1.0f, 1e-5f) << "fades in over a quarter second";
  MoveMouse(500, 100);
  Run(2.0f);
  EXPECT_EQ(m_bar->GetFadeTarget(), 1.0f);
  EXPECT_EQ(m_bar->GetAlpha(), 1.0f);
  Run(0.1f);
  EXPECT_EQ(m_bar->GetFadeTarget(), 0.0f);
  Run(0.1f);
  EXPECT_GT(m_bar->GetAlpha(), 0.0f);
  Run(0.2f);
  EXPECT_EQ(m_bar->GetAlpha(), 0.0f);
  // A running dialogue brings it back.
  Rules().dialog = true;
  Run(0.25f);
  EXPECT_NEAR(m_bar->GetAlpha(), 1.0f, 1e-5f);
}

TEST_F(InterfaceBarTest, TheShowTriggerIsTheBottomEdgeOnWideWindowsAndTheBarTopOnOthers) {
  m_system->SetWindowSize(1280, 720);
  Make("1");
  Send(*m_bar, Cmd(base::ICMD::MOUSE_MOVE, 600, 714));
  EXPECT_EQ(m_bar->GetFadeTarget(), 0.0f);
  Send(*m_bar, Cmd(base::ICMD::MOUSE_MOVE, 600, 716));
  EXPECT_EQ(m_bar->GetFadeTarget(), 1.0f);

  m_gui.reset();
  m_system->SetWindowSize(1024, 768);
  Make("1");
  Send(*m_bar, Cmd(base::ICMD::MOUSE_MOVE, 600, 687));
  EXPECT_EQ(m_bar->GetFadeTarget(), 0.0f);
  Send(*m_bar, Cmd(base::ICMD::MOUSE_MOVE, 600, 688));
  EXPECT_EQ(m_bar->GetFadeTarget(), 1.0f);
  // Not while a menu panel is open.
  m_bar->Show(false);
  AddPanel("IngameMenuPanel", true);
  Send(*m_bar, Cmd(base::ICMD::MOUSE_MOVE, 600, 760));
  EXPECT_EQ(m_bar->GetFadeTarget(), 0.0f);
}

TEST_F(InterfaceBarTest, ButtonsFollowTheDiaryTheOpenPanelsAndADraggedToken) {
  Make("0");
  m_bar->Update(0.01f);
  EXPECT_TRUE(Enabled("options") && Enabled("loadsave") && Enabled("journal"));
  Rules().diaryVisible = true;
  m_bar->Update(0.01f);
  EXPECT_FALSE(Enabled("options"));
  EXPECT_FALSE(Enabled("loadsave"));
  EXPECT_TRUE(Enabled("journal"));
  Rules().diaryVisible = false;
  base::cl_Window* options = AddPanel("OptionsPanel", true);
  m_bar->Update(0.01f);
  EXPECT_FALSE(Enabled("options") || Enabled("loadsave") || Enabled("journal"));
  options->SetFlag(base::WF_HIDDEN, true);
  m_bar->Update(0.01f);
  EXPECT_TRUE(Enabled("journal"));
  cl_TokenBar* tokens = m_bar->GetTokenBar();
  tokens->SetCarried(tokens->AddToken(0, 0, "T1_Ledger", false));
  m_bar->Update(0.01f);
  EXPECT_FALSE(Enabled("options") || Enabled("loadsave") || Enabled("journal"));
}

TEST_F(InterfaceBarTest, AClickOnTheShownBarIsConsumedAndTheButtonsCallTheSession) {
  Make("0");
  m_bar->Update(0.01f);
  EXPECT_TRUE(Send(*m_bar, Cmd(base::ICMD::LEFT_UP, 300, 740)));
  EXPECT_FALSE(Send(*m_bar, Cmd(base::ICMD::LEFT_UP, 300, 200)));
  EXPECT_FALSE(Send(*m_bar, Cmd(base::ICMD::KEY_PRESSED, 300, 740)));
  for (const char* label : {"journal", "loadsave", "options"}) {
    base::cl_Window* b = m_bar->GetButton(label);
    const int x = int(b->m_AbsRect.left + 16), y = int(b->m_AbsRect.top + 16);
    Send(*m_bar, Cmd(base::ICMD::MOUSE_MOVE, x, y));
    Send(*m_bar, Cmd(base::ICMD::LEFT_DOWN, x, y));
    Send(*m_bar, Cmd(base::ICMD::LEFT_UP, x, y));
    m_bar->Show(true);
  }
  EXPECT_EQ(Rules().calls, (std::vector<std::string>{"diary", "screenshot", "loadsave", "menu"}));
  // A hidden bar asks nothing.
  m_bar->Show(false);
  base::Variant pressed;
  pressed.set_element("ButtonPressed");
  pressed.attribute("ctrl_label")->set_string("journal");
  EXPECT_FALSE(m_bar->ProcessEvent(pressed));
  EXPECT_EQ(Rules().calls.size(), 4u);
}

struct st_RectCase {
  int w, h;
  float scene;
  float top;
};

class InterfaceBarRect : public InterfaceBarTest, public ::testing::WithParamInterface<st_RectCase> {};

TEST_P(InterfaceBarRect, OverASceneItStartsUnderTheSceneOrEightyAboveTheBottom) {
  const st_RectCase& c = GetParam();
  m_system->SetWindowSize(c.w, c.h);
  Make("0");
  Rules().sceneHeight = c.scene;
  m_bar->UpdateRect(0, 0);
  EXPECT_FLOAT_EQ(m_bar->m_AbsRect.top, c.top);
  EXPECT_FLOAT_EQ(m_bar->m_AbsRect.left, 0.0f);
  EXPECT_FLOAT_EQ(m_bar->m_AbsRect.right, float(c.w));
  EXPECT_FLOAT_EQ(m_bar->m_AbsRect.bottom, float(c.h));
}

INSTANTIATE_TEST_SUITE_P(Windows, InterfaceBarRect,
                         ::testing::Values(st_RectCase{1024, 768, 640, 640}, st_RectCase{1280, 1024, 800, 800},
                                           st_RectCase{1280, 960, 900, 880}, st_RectCase{1280, 960, 800, 800},
                                           st_RectCase{1280, 1024, 1000, 1000}));

TEST_F(InterfaceBarTest, WithoutASceneTheRectangleStaysTheInterfaceBand) {
  Make("0");
  m_bar->UpdateRect(0, 0);
  EXPECT_FLOAT_EQ(m_bar->m_AbsRect.top, 688.0f);
}

TEST_F(InterfaceBarTest, TheJournalGlowPulsesOnceASecond) {
  Make("0");
  m_bar->SetJournalBlink(true);
  cl_InterfaceBarButtonHighlight* journal = m_bar->GetButton("journal");
  Run(0.5f);
  EXPECT_NEAR(journal->m_glowAlpha, 0.0f, 1e-3f);
  Run(0.5f);
  EXPECT_NEAR(journal->m_glowAlpha, 255.0f, 1.0f);
  Run(0.25f);
  EXPECT_NEAR(journal->m_glowAlpha, 255.0f - std::sin(0.25f * 3.14159265f) * 255.0f, 1.0f);
}

}  // namespace
}  // namespace hudtest
