// The demo's generated sounds as the sound library reads them.
#include <filesystem>

#include "SoundFixture.h"

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

}  // namespace
}  // namespace soundtest
