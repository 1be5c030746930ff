// The root menu's credits road on a generated clip: the movie plays through the video
// controller, every GUI event is refused meanwhile, the controller gets the input first and a
// skip ends the credits, after which the menu takes its events again.
#include <filesystem>

#include "../video/VideoFixture.h"
#include "base/app/GameFrame.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "graphics/video/VideoFunctions.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/menu/RootMenu.h"
#include "quillane/video/VideoController.h"

namespace menutest {
namespace {

class cl_NoSessionFrame final : public base::i_GameFrame {
 public:
  base::i_GameSession* CreateSession() override { return nullptr; }
};

class RootMenuCredits : public videotest::VideoTest {
 protected:
  void SetUp() override {
    VideoTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_previousDir = std::filesystem::current_path();
    std::filesystem::current_path(m_dir);  // the application folder the movie is found in
    platform::video::st_ClipSettings clip;
    clip.width = clip.height = 16;
    clip.frames = 10;
    clip.soundCodec = "";
    std::filesystem::create_directories(m_dir / "movie");
    MakeClip("movie/credits.bik", clip);
    m_frame = new cl_NoSessionFrame;
    m_system->AddModule(m_frame);
    m_controller = new cl_VideoController;
    m_frame->AddState("VideoController", m_controller);
    m_gui = std::make_unique<cl_GameGUI>();
    m_menu = cl_RootMenu::Create(m_gui.get());
    m_frame->AddState("RootMenu", m_menu);
    m_frame->SetState("RootMenu");
    for (int i = 0; i < 12; ++i) Tick(100);  // past the start fade
  }
  void TearDown() override {
    if (!m_previousDir.empty()) std::filesystem::current_path(m_previousDir);
    VideoTest::TearDown();
    m_gui.reset();
  }
  void Tick(unsigned ms) {
    Step(ms);
    m_menu->Update(0.0f, static_cast<float>(ms) / 1000.0f);
  }
  bool Press(const char* label) {
    base::Variant event;
    event.set_element("ButtonPressed");
    event.attribute("ctrl_label")->set_string(label);
    return m_menu->ProcessEvent(event);
  }

  std::filesystem::path m_previousDir;
  cl_NoSessionFrame* m_frame = nullptr;        // owned by the root module
  cl_VideoController* m_controller = nullptr;  // owned by the frame
  cl_RootMenu* m_menu = nullptr;               // owned by the frame
  std::unique_ptr<cl_GameGUI> m_gui;
};

TEST_F(RootMenuCredits, CreditsPlayWithEventsRefusedUntilTheMovieEnds) {
  ASSERT_TRUE(Press("credits"));
  ASSERT_TRUE(m_menu->IsCreditsPlaying());
  Tick(40);
  EXPECT_TRUE(gfx::IsVideoPlaying());
  EXPECT_FALSE(Press("newgame"));  // refused: nothing darkens
  EXPECT_EQ(m_menu->GetFader().m_state, cl_Fader::STATE_UNCOVERED);
  for (int i = 0; i < 50 && m_menu->IsCreditsPlaying(); ++i) Tick(40);
  EXPECT_FALSE(m_menu->IsCreditsPlaying());
  EXPECT_TRUE(Press("newgame"));
  EXPECT_EQ(m_menu->GetFader().m_state, cl_Fader::STATE_COVERING);
}

TEST_F(RootMenuCredits, EscapeGoesToTheVideoFirstAndEndsTheCredits) {
  Press("credits");
  Tick(40);
  base::ICMD escape;
  escape.type = 1;  // released
  escape.key = base::key::Escape;
  m_menu->ProcessInput(escape);
  Tick(40);
  Tick(40);
  EXPECT_FALSE(m_menu->IsCreditsPlaying());
  EXPECT_FALSE(gfx::IsVideoPlaying());
}

}  // namespace
}  // namespace menutest
