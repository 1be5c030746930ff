// Music playlists driven through the sfx functions on the fake clock: when entries start again
// after they end, which playlists a name and kind select, and what clearing leaves playing.
#include <cmath>

#include "SoundFixture.h"
#include "sound/PlaylistCtrl.h"
#include "sound/Sfx.h"

namespace soundtest {
namespace {

constexpr float kStep = 0.0625f;  // exact in binary, so the playlist's checks fall on the steps
constexpr const char* kSound = "Playlist_MUSIC";

class Playlists : public SoundTest {
 protected:
  // Runs the clock until the playlist's sound has ended and started again (or until limit);
  // the times of the first start, the end and the restart.
  void RunUntilRestart(float limit) {
    int slot = -1;
    for (float t = kStep; t < limit; t += kStep) {
      Advance(kStep);
      const int now = m_system->GetSoundSlot(kSound);
      if (slot < 0 && now >= 0) {
        slot = now;
        m_start = t;
      } else if (slot >= 0 && m_end < 0.0f && !Lib().IsPlaying(slot)) {
        m_end = t;
      }
      if (m_end >= 0.0f && now >= 0 && now != slot) {
        m_restart = t;
        return;
      }
    }
  }
  float m_start = -1.0f, m_end = -1.0f, m_restart = -1.0f;
};

TEST_F(Playlists, OneEntryWithoutGapsStartsAtOnceAndRestartsWithinAQuarterSecondOfItsEnd) {
  ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_SAMPLE, WriteWav("a.wav", 0.5).c_str(), "MUSIC", 1.0f));
  RunUntilRestart(5.0f);
  EXPECT_EQ(m_start, kStep);
  ASSERT_GT(m_end, 0.0f);
  ASSERT_GT(m_restart, 0.0f);
  EXPECT_LE(m_restart - m_end, 0.25f + kStep + 1e-4f);
}

TEST_F(Playlists, GapsOfFiveToTenSecondsStartTheNextEntryInThatWindowOnTheQuarterSecondChecks) {
  ASSERT_TRUE(sfx::SetStreamPlaylistTimes(sfx::PLAY_SAMPLE, 5.0f, 10.0f, "MUSIC"));
  ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_SAMPLE, WriteWav("a.wav", 0.5).c_str(), "MUSIC", 0.5f));
  RunUntilRestart(20.0f);
  ASSERT_GT(m_restart, 0.0f);
  EXPECT_GE(m_restart - m_end, 5.0f - 0.25f);
  EXPECT_LE(m_restart - m_end, 10.0f + 0.25f + kStep);
  const float checks = (m_restart - m_start) / 0.25f;
  EXPECT_NEAR(checks, std::round(checks), 1e-3f);
  EXPECT_EQ(Volume(kSound), 128);  // the entry's volume
}

TEST_F(Playlists, AStreamEntryPlaysOnceOpened) {
  ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, WriteOgg("m.ogg", 1.0).c_str(), "MUSIC", 1.0f));
  m_system->Update(kStep);
  EXPECT_TRUE(sfx::IsSoundPlaying(kSound));
  m_system->UpdateLibrary();
  m_system->Update(kStep);
  EXPECT_GE(m_system->GetSoundSlot(kSound), 0);
}

TEST_F(Playlists, NameAndKindSelectAPlaylistAndKindFourWithoutANameSelectsAll) {
  sfx::cl_PlaylistCtrl* ctrl = sfx::GetPlaylistCtrl();
  ASSERT_NE(ctrl, nullptr);
  sfx::cl_Playlist* streams = ctrl->GetPlaylist("MUSIC", 2, true);
  sfx::cl_Playlist* samples = ctrl->GetPlaylist("MUSIC", 0, true);
  EXPECT_NE(streams, samples);
  EXPECT_EQ(ctrl->GetPlaylist("MUSIC", 2, false), streams);
  EXPECT_EQ(ctrl->GetPlaylist("AMBIENT", 2, false), nullptr);
  EXPECT_EQ(ctrl->GetPlaylist(nullptr, 2, true)->GetSoundName(), "Playlist_");
  ctrl->GetPlaylist("MUSIC", 4, true);

  ctrl->ClearPlaylists("MUSIC", 4, false, 0.0f);
  EXPECT_EQ(ctrl->GetPlaylistCount(), 3u);
  EXPECT_EQ(ctrl->GetPlaylist("MUSIC", 2, false), streams);
  sfx::ClearStreamPlaylist(0, "MUSIC", false, 0.0f);
  EXPECT_EQ(ctrl->GetPlaylist("MUSIC", 0, false), nullptr);
  sfx::ClearAllPlaylists(false, 0.0f);
  EXPECT_EQ(ctrl->GetPlaylistCount(), 0u);

  EXPECT_FALSE(sfx::AddStreamToPlaylist(2, nullptr, "MUSIC", 1.0f));
  EXPECT_FALSE(sfx::AddStreamToPlaylist(2, "a.ogg", nullptr, 1.0f));
  sfx::AddStreamToPlaylist(2, "a.ogg", "MUSIC", 1.0f);
  sfx::AddStreamToPlaylist(2, "b.ogg", "MUSIC", 1.0f);
  sfx::AddStreamToPlaylist(2, "a.ogg", "MUSIC", 1.0f);
  sfx::RemoveStreamFromPlaylist(2, "a.ogg", "MUSIC");
  sfx::RemoveStreamFromPlaylist(2, "a.ogg", "NOWHERE");
  EXPECT_EQ(ctrl->GetPlaylist("MUSIC", 2, false)->GetEntryCount(), 1u);
}

TEST_F(Playlists, ClearingWithoutStopLeavesTheSoundPlayingAndWithStopFadesItOut) {
  const std::string file = WriteWav("a.wav", 3.0);
  ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_SAMPLE, file.c_str(), "MUSIC", 1.0f));
  Advance(kStep);
  ASSERT_TRUE(sfx::IsSoundPlaying(kSound));
  sfx::ClearAllPlaylists(false, 0.0f);
  Advance(kStep);
  EXPECT_TRUE(sfx::IsSoundPlaying(kSound));
  EXPECT_EQ(sfx::GetPlaylistCtrl()->GetPlaylistCount(), 0u);

  sfx::AddStreamToPlaylist(sfx::PLAY_SAMPLE, file.c_str(), "AMBIENT", 1.0f);
  Advance(kStep);
  ASSERT_TRUE(sfx::IsSoundPlaying("Playlist_AMBIENT"));
  sfx::ClearStreamPlaylist(sfx::PLAY_SAMPLE, "AMBIENT", true, 0.0f);
  Advance(kStep);
  EXPECT_FALSE(sfx::IsSoundPlaying("Playlist_AMBIENT"));
  EXPECT_TRUE(sfx::IsSoundPlaying(kSound));
}

// The scene scripts name their lists after the scene: such a list is music, heard on "MUSIC" (and
// turned down with it), not retried in silence; the log says so once.
TEST_F(Playlists, AListNamedAfterNoChannelPlaysOnTheMusicChannel) {
  ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_SAMPLE, WriteWav("a.wav", 3.0).c_str(), "office", 1.0f));
  for (int i = 0; i < 8; ++i) Advance(kStep);
  EXPECT_TRUE(sfx::IsSoundPlaying("Playlist_office"));
  EXPECT_GE(m_system->GetSoundSlot("Playlist_office"), 0);
  int warnings = 0;
  for (const std::string& line : m_log->get())
    warnings += line.find("Warning: playlist 'office' names no sound channel; it plays on MUSIC") != std::string::npos;
  EXPECT_EQ(warnings, 1);
  EXPECT_GT(Volume("Playlist_office"), 0);
  sfx::FadeChannelVolume("MUSIC", 0.0f, 0.0f);
  Advance(kStep);
  EXPECT_EQ(Volume("Playlist_office"), 0);
}

TEST_F(Playlists, AnEntryThatCannotPlayIsTriedAgainEveryQuarterSecond) {
  ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_SAMPLE, "missing.wav", "MUSIC", 1.0f));
  for (int i = 0; i < 16; ++i) Advance(kStep);  // one second: checks at 0.0625, 0.3125, 0.5625, 0.8125
  int tries = 0;
  for (const std::string& line : m_log->get())
    if (line.find("Error at Sample_Load missing.wav") != std::string::npos) ++tries;
  EXPECT_EQ(tries, 4);
}

}  // namespace
}  // namespace soundtest
