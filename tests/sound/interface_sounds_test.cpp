// The interface's sounds on the "GUI" channel from the "Sfx" archive, the mouse-over names
// cycling through 21 values, and the fade of every game sound group with the playlists cleared.
#include <filesystem>

#include "SoundFixture.h"
#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/file/FileArchive.h"
#include "base/resource/Resource.h"
#include "quillane/screen/InterfaceSounds.h"
#include "sound/PlaylistCtrl.h"
#include "sound/Sfx.h"

namespace soundtest {
namespace {

class InterfaceSounds : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    MakeSfxArchive("sfx/UI", {"sfx/UI/UI_confirm.ogg", "sfx/UI/UI_error.ogg", "sfx/UI/UI_mouseover.ogg"});
    sfx::st_ChannelParams params;
    m_system->AddChannel("AMBIENT2", &params);
  }
};

TEST_F(InterfaceSounds, ClickAndErrorPlayFromTheArchiveOnTheGuiChannel) {
  PlayClickSound();
  PlayErrorSound();
  EXPECT_TRUE(sfx::IsSoundPlaying("buttonclick"));
  EXPECT_TRUE(sfx::IsSoundPlaying("error"));
  EXPECT_FALSE(m_log->contains("ERROR"));
  // The GUI channel's sounds go with it.
  sfx::StopChannel("GUI", 0.0f);
  m_system->Update(0.01f);
  EXPECT_FALSE(sfx::IsSoundPlaying("buttonclick"));
}

TEST_F(InterfaceSounds, TheTwentySecondMouseOverSoundReusesTheFirstName) {
  while (GetMouseOverCounter() != 0) PlayMouseOverSound();  // the counter lives as long as the program
  sfx::StopAll(0.0f);
  m_system->Update(0.01f);
  for (int i = 0; i < 21; ++i) PlayMouseOverSound();
  for (int i = 0; i <= 20; ++i) EXPECT_TRUE(sfx::IsSoundPlaying(("mouseover_" + std::to_string(i)).c_str())) << i;
  EXPECT_FALSE(sfx::IsSoundPlaying("mouseover_21"));
  EXPECT_EQ(GetMouseOverCounter(), 0);
  sfx::StopSound("mouseover_0", 0.0f);
  m_system->Update(0.01f);
  ASSERT_FALSE(sfx::IsSoundPlaying("mouseover_0"));
  PlayMouseOverSound();  // the 22nd
  EXPECT_TRUE(sfx::IsSoundPlaying("mouseover_0"));
  EXPECT_FALSE(sfx::IsSoundPlaying("mouseover_21"));
  EXPECT_EQ(GetMouseOverCounter(), 1);
}

TEST_F(InterfaceSounds, FadeOutAllSoundGroupsFadesTheGameChannelsAndClearsThePlaylists) {
  const char* groups[] = {"MUSIC", "PLAYER", "SPEECH", "AMBIENT", "AMBIENT2"};
  const std::string file = WriteWav("loop.wav", 3.0);
  for (const char* g : groups) ASSERT_GT(Play(file, g, g), 0.0f) << g;
  ASSERT_GT(Play(file, "menu", "GUI"), 0.0f);
  ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, WriteOgg("theme.ogg", 1.0).c_str(), "MUSIC", 1.0f));
  ASSERT_EQ(sfx::GetPlaylistCtrl()->GetPlaylistCount(), 1u);

  FadeOutAllSoundGroups();
  EXPECT_EQ(sfx::GetPlaylistCtrl()->GetPlaylistCount(), 0u);
  Advance(0.25f);
  for (const char* g : groups) {
    EXPECT_TRUE(sfx::IsSoundPlaying(g)) << g;  // fading over half a second
    EXPECT_LT(Volume(g), 255) << g;
    EXPECT_GT(Volume(g), 0) << g;
  }
  Advance(0.35f);
  for (const char* g : groups) EXPECT_FALSE(sfx::IsSoundPlaying(g)) << g;
  EXPECT_TRUE(sfx::IsSoundPlaying("menu"));
  EXPECT_EQ(Volume("menu"), 255);
}

}  // namespace
}  // namespace soundtest
