// The demo's generated sounds as the sound library reads them, and the start-up showcase's
// playlist and click driven through its module.
#include <filesystem>

#include "SoundFixture.h"
#include "base/app/ICMD.h"
#include "quillane/showcase/ShowcaseSound.h"
#include "sound/PlaylistCtrl.h"
#include "sound/Sfx.h"

namespace soundtest {
namespace {

namespace fs = std::filesystem;

const fs::path kData = QUILLANE_DATA_DIR;

class DemoSounds : public SoundTest {
 protected:
  void SetUp() override {
    if (!fs::exists(kData / "msx/office.ogg")) GTEST_SKIP() << "no generated demo data (run demogen)";
    SoundTest::SetUp();
  }
};

TEST_F(DemoSounds, MusicTracksRunTwentyToFortySecondsAndEffectsLoad) {
  for (const char* track : {"msx/office.ogg", "msx/quay.ogg", "msx/theme_mainmenu.ogg", "msx/theme_traintravel.ogg"}) {
    const platform::audio::StreamId stream = Lib().OpenStream((kData / track).c_str(), 0);
    ASSERT_NE(stream, platform::audio::StreamId::None) << track;
    EXPECT_GE(Lib().StreamLengthMs(stream), 20000u) << track;
    EXPECT_LE(Lib().StreamLengthMs(stream), 40000u) << track;
    Lib().CloseStream(stream);
  }
  for (const char* effect : {"sfx/ui/click.ogg", "sfx/ui/UI_openmenu.ogg", "sfx/MG_Dance_won.ogg"}) {
    const platform::audio::SampleId sample = Lib().LoadSample((kData / effect).c_str(), platform::audio::mode::TwoD, 0);
    ASSERT_NE(sample, platform::audio::SampleId::None) << effect;
    EXPECT_GT(Lib().SampleLength(sample), 0u);
    Lib().FreeSample(sample);
  }
}

TEST_F(DemoSounds, TheShowcaseRunsTheMusicPlaylistAndClicksOnEveryPress) {
  fs::create_directories(m_dir.path("sfx/ui"));
  fs::copy_file(kData / "sfx/ui/click.ogg", m_dir.path("sfx/ui/click.ogg"));
  cl_ShowcaseSound showcase;
  ASSERT_TRUE(showcase.StartUp());
  const sfx::cl_Playlist* music = sfx::GetPlaylistCtrl()->GetPlaylist("MUSIC", sfx::PLAY_STREAM, false);
  ASSERT_NE(music, nullptr);
  EXPECT_EQ(music->GetEntryCount(), 4u);

  base::ICMD press;
  press.type = base::ICMD::LEFT_DOWN;
  EXPECT_FALSE(showcase.ProcessInput(press));  // others still see the press
  EXPECT_TRUE(sfx::IsSoundPlaying("Showcase_Click"));
  press.type = base::ICMD::MOUSE_MOVE;
  sfx::StopSound("Showcase_Click", 0.0f);
  m_system->Update(0.0f);
  showcase.ProcessInput(press);
  EXPECT_FALSE(sfx::IsSoundPlaying("Showcase_Click"));
  showcase.ShutDown();
  EXPECT_EQ(sfx::GetPlaylistCtrl()->GetPlaylistCount(), 0u);
}

}  // namespace
}  // namespace soundtest
