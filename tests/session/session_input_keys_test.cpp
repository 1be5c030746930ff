// The session's keys through the module tree: the pause that swallows everything but Pause,
// Escape skipping a cutscene or opening the in-game menu (not while a token is carried), Print
// Screen under a message box, the developer keys only with Debug_KeysEnabled, and the hotspot
// and diary keys.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/app/KeyCode.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "quillane/diary/Diary.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/hud/Token.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Session.h"
#include "quillane/settings/TweakSettings.h"
#include "session_input_fixture.h"

namespace quillane {
namespace {

class SessionInputKeys : public sessiontest::SessionInputTest {
 protected:
  bool MenuShown() const {
    const base::cl_Window* menu = m_session->GetGameGUI()->FindByLabel("IngameMenuPanel");
    return menu && !menu->HasFlag(base::WF_HIDDEN);
  }
  int ScreenshotFiles() const {
    int files = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir, ec))
      files += entry.path().filename().string().rfind("quillane_", 0) == 0;
    return files;
  }
};

TEST_F(SessionInputKeys, PausedWithoutAPanelOnlyPauseResumes) {
  m_session->SetPaused(true);
  Key(base::key::Escape);
  Key('J');
  Press(base::ICMD::LEFT_DOWN, FloorPoint(0.0f, 100.0f));
  EXPECT_FALSE(MenuShown());
  EXPECT_FALSE(m_session->GetDiary()->IsVisible());
  EXPECT_EQ(m_player->state, cl_MovementCtrl::STATE_IDLE) << "the click walked while paused";
  EXPECT_TRUE(m_session->IsPaused());
  Key(base::key::Pause);
  EXPECT_FALSE(m_session->IsPaused());
  // Pause pauses again, and a panel opened meanwhile takes its input despite the pause.
  Key(base::key::Pause);
  EXPECT_TRUE(m_session->IsPaused());
  Key(base::key::Pause);
  Key(base::key::Escape);
  EXPECT_TRUE(MenuShown());
  EXPECT_TRUE(m_session->IsPaused());
}

TEST_F(SessionInputKeys, EscapeSkipsACutsceneAtOnce) {
  StartTrigger("shelf");
  m_session->GetActionQueue().SetCutscene(true);
  ASSERT_TRUE(m_session->GetActionQueue().IsBusy());
  Key(base::key::Escape);
  EXPECT_FALSE(MenuShown()) << "Escape in a cutscene opened the menu";
  EXPECT_EQ(LinesAfter("input: shelf"), (std::vector<std::string>{"", " done"})) << "the sequence was not run out";
  EXPECT_FALSE(m_session->GetActionQueue().IsBusy());
}

TEST_F(SessionInputKeys, EscapeAndJOpenNothingWhileATokenIsCarried) {
  cl_TokenBar* bar = m_session->GetTokenBar();
  ASSERT_NE(bar, nullptr);
  cl_Token* token = bar->AddToken(0.0f, 0.0f, "T1_Ledger", false);
  ASSERT_NE(token, nullptr);
  bar->SetCarried(token);
  ASSERT_TRUE(IsTokenHeld());
  Key(base::key::Escape);
  Key('J');
  EXPECT_FALSE(MenuShown());
  EXPECT_FALSE(m_session->GetDiary()->IsVisible());
  EXPECT_FALSE(m_session->IsPaused());

  bar->SetCarried(nullptr);
  EXPECT_FALSE(IsTokenHeld());
  Key('J');
  EXPECT_TRUE(m_session->GetDiary()->IsVisible());
  EXPECT_FALSE(m_session->IsInteractionAllowed()) << "the open diary leaves the player free";
  m_session->GetDiary()->Open(false, false, false, nullptr);
  for (int i = 0; i < 30 && m_session->GetDiary()->IsVisible(); ++i) Step();
  ASSERT_FALSE(m_session->GetDiary()->IsVisible());
  Key(base::key::Escape);
  EXPECT_TRUE(MenuShown());
  EXPECT_TRUE(m_session->IsPaused());
  EXPECT_TRUE(m_session->IsMenuOpen());
}

TEST_F(SessionInputKeys, PrintScreenUnderAMessageBoxDoesNothing) {
  cl_GameGUI* gui = m_session->GetGameGUI();
  auto* box = new base::cl_Panel();
  gui->AddChild(box);
  gui->AddModalWindow(box);
  Key(base::key::PrintScreen);
  EXPECT_EQ(m_session->GetScreenshotBanner(), 0.0f);
  EXPECT_EQ(ScreenshotFiles(), 0);

  gui->CloseWindow(box);
  Key(base::key::PrintScreen);
  EXPECT_EQ(m_session->GetScreenshotBanner(), 3.0f);
  EXPECT_EQ(ScreenshotFiles(), 1);
  // The banner shows for three seconds of frames.
  for (int i = 0; i < 29; ++i) Step();
  EXPECT_GT(m_session->GetScreenshotBanner(), 0.0f);
  Step(0.2f);
  EXPECT_LE(m_session->GetScreenshotBanner(), 0.0f);
  EXPECT_FALSE(m_session->IsPaused()) << "Print Screen went on to pause";
}

TEST_F(SessionInputKeys, DeveloperKeysAreInertWithoutDebugKeysEnabled) {
  Debug_KeysEnabled = false;
  const float factor = cl_Session::s_timeFactor;
  for (uint8_t key :
       {uint8_t('1'), uint8_t('2'), uint8_t('3'), uint8_t('T'), uint8_t(base::key::F1 + 1), uint8_t(base::key::F1 + 2),
        uint8_t(base::key::F1 + 3), uint8_t(base::key::F1 + 4), uint8_t(base::key::F1 + 5)})
    Key(key);
  EXPECT_EQ(m_session->GetForcedStep(), 0.0f);
  EXPECT_EQ(cl_Session::s_timeFactor, factor);
  EXPECT_FALSE(cl_Session::s_showFps);
  EXPECT_FALSE(cl_Session::s_stepMode);
  EXPECT_FALSE(m_session->GetActionQueue().m_showDebugList);
  EXPECT_EQ(m_player->state, cl_MovementCtrl::STATE_IDLE) << "'T' turned the heroine";

  Debug_KeysEnabled = true;
  Key('2');
  EXPECT_FLOAT_EQ(m_session->GetForcedStep(), 0.1f);
  Key('3');
  EXPECT_FLOAT_EQ(m_session->GetForcedStep(), 1.0f / 60.0f);
  Key('1');
  EXPECT_FLOAT_EQ(m_session->GetForcedStep(), 1.0f);
  Key(base::key::F1 + 1);
  EXPECT_TRUE(m_session->GetActionQueue().m_showDebugList);
  Key(base::key::F1 + 4);
  EXPECT_FLOAT_EQ(cl_Session::s_timeFactor, factor * 0.5f);
  Key(base::key::F1 + 5);
  Key(base::key::F1 + 5);
  EXPECT_FLOAT_EQ(cl_Session::s_timeFactor, factor * 2.0f);
  Key('T');
  EXPECT_EQ(m_player->state, cl_MovementCtrl::STATE_TURNING);
  // The switches are the process's: they are put back for the other tests.
  Key(base::key::F1 + 4);
  cl_Session::s_timeFactor = factor;
  // The forced step is spent by the next frame, which advances the game clock by one second.
  const float before = m_session->GetGameTime();
  Step();
  EXPECT_FLOAT_EQ(m_session->GetGameTime() - before, 1.0f);
  EXPECT_EQ(m_session->GetForcedStep(), 0.0f);
}

TEST_F(SessionInputKeys, SpaceTogglesTheHotspotDisplay) {
  const bool before = SceneDisplay().showHotspots;
  Key(base::key::Space);
  EXPECT_NE(SceneDisplay().showHotspots, before);
  Key(base::key::Space);
  EXPECT_EQ(SceneDisplay().showHotspots, before);
}

// With the developer's LOD switch on, '1' and '2' choose the medium and low levels and any other
// key the high one; the scene is loaded again only when the level changes.
class SessionInputLodKeys : public SessionInputKeys {
 protected:
  void SetUp() override {
    m_extraConfig =
        "<Debug LODEditMode=\"1\" NoMinigames=\"1\"/><Options><Gfx><SceneLOD Value=\"1\"/></Gfx></Options>";
    SessionInputKeys::SetUp();
  }
  float Option() const { return base::sys::GetOptionValue("Gfx/SceneLOD/Value")->get_float(); }
};

TEST_F(SessionInputLodKeys, TheLodKeysReloadTheSceneOnlyOnAChange) {
  const int loads = m_session->GetSceneLoadCount();
  Key('1');
  EXPECT_FLOAT_EQ(Option(), 0.5f);
  EXPECT_EQ(m_session->GetSceneLoadCount(), loads + 1);
  ASSERT_TRUE(StepUntilState("Session", 50));
  ASSERT_NE(m_session->GetScene(), nullptr);
  EXPECT_EQ(std::string(m_session->GetScene()->GetName().c_str()), "Office");
  Key('1');
  EXPECT_EQ(m_session->GetSceneLoadCount(), loads + 1) << "the same level loaded the scene again";
  Key('2');
  EXPECT_FLOAT_EQ(Option(), 0.0f);
  ASSERT_TRUE(StepUntilState("Session", 50));
  Key('J');  // any other key: the high level
  EXPECT_FLOAT_EQ(Option(), 1.0f);
  EXPECT_EQ(m_session->GetSceneLoadCount(), loads + 3);
}

}  // namespace
}  // namespace quillane
