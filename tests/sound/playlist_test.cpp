// Music playlists driven through the sfx functions on the fake clock: when entries start again
// after they end, which playlists a name and kind select, and what clearing leaves playing.
#include <cmath>
#include <cstdlib>
#include <vector>

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

// Without gaps the next entry starts at the first frame after the end of the last, whichever of
// the quarter-second checks it falls between.
TEST_F(Playlists, WithoutGapsTheNextEntryStartsAtTheFirstFrameAfterTheEnd) {
  for (const char* file : {"a.wav", "b.wav"})
    ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_SAMPLE, WriteWav(file, 0.4).c_str(), "MUSIC", 1.0f));
  RunUntilRestart(5.0f);
  ASSERT_GT(m_end, 0.0f);
  ASSERT_GT(m_restart, 0.0f);
  EXPECT_LE(m_restart - m_end, 1e-4f);
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

// A stream list with one entry and no gaps is a tune that follows itself (the scenes' music): its
// runs join without a silent moment, until the list changes; then the run playing is its last.
TEST_F(Playlists, ALoneStreamWithoutGapsLoopsWithoutASeamUntilTheListChanges) {
  ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, WriteOgg("m.ogg", 0.5).c_str(), "MUSIC", 1.0f));
  ASSERT_TRUE(sfx::SetStreamPlaylistTimes(sfx::PLAY_STREAM, 0.0f, 0.0f, "MUSIC"));
  std::vector<int16_t> mix;
  for (int i = 0; i < 48; ++i) {  // three seconds: six runs
    m_system->UpdateLibrary();
    const auto part = Advance(kStep);
    mix.insert(mix.end(), part.begin(), part.end());
  }
  size_t start = 0;
  while (start * 2 < mix.size() && std::abs(mix[start * 2]) < 100) ++start;
  ASSERT_LT(start, size_t{44100});
  constexpr size_t kBlock = 44100 / 200;  // 5 ms
  for (size_t at = start; at + kBlock <= start + 44100 * 2; at += kBlock)
    ASSERT_GT(Rms(std::vector<int16_t>(mix.begin() + std::ptrdiff_t(at * 2), mix.begin() + std::ptrdiff_t((at + kBlock) * 2))),
              0.2)
        << "silent " << double(at - start) / 44100 << " s into the tune";
  EXPECT_TRUE(sfx::IsSoundPlaying(kSound));

  sfx::ClearAllPlaylists(false, 0.0f);  // the run playing plays to its end
  for (int i = 0; i < 24 && sfx::IsSoundPlaying(kSound); ++i) {
    m_system->UpdateLibrary();
    Advance(kStep);
  }
  EXPECT_FALSE(sfx::IsSoundPlaying(kSound));
}

// A scene that changes its looping tune (the entry removed and another added, or the same one at
// another volume) hears the run playing to its end, as after clearing, and then the list as it
// stands: within half a second of the mix's own time for a tune of a fifth of a second.
TEST_F(Playlists, AChangedEntryOfALoopingListIsHeardOnceTheRunPlayingEnds) {
  WriteOgg("a.ogg", 0.2);  // a sine at half of full scale
  WriteBytes("quiet.ogg", audiotest::MakeOgg(22050, 1, audiotest::Sine(22050, 1, 0.2, 441.0, 0.2)));
  const struct {
    const char* file;
    float volume;
  } changes[] = {{"quiet.ogg", 1.0f}, {"a.ogg", 0.4f}};  // both heard at 0.2 of full scale
  for (const auto& change : changes) {
    SCOPED_TRACE(std::string(change.file) + " at volume " + std::to_string(change.volume));
    sfx::ClearAllPlaylists(true, 0.0f);
    ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, "a.ogg", "MUSIC", 1.0f));
    std::vector<int16_t> mix;
    const auto play = [&](int steps) {
      for (int i = 0; i < steps; ++i) {
        m_system->UpdateLibrary();
        const auto part = Advance(kStep);
        mix.insert(mix.end(), part.begin(), part.end());
      }
    };
    play(21);  // a few runs of the loop, the change falling inside one
    sfx::RemoveStreamFromPlaylist(sfx::PLAY_STREAM, "a.ogg", "MUSIC");
    ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, change.file, "MUSIC", change.volume));
    const size_t changed = mix.size() / 2;
    play(32);  // two seconds
    // 5 ms blocks: the old tune is at 0.35 RMS, the new one at 0.14. From the first block of the
    // new level on, no block holds the old one.
    constexpr size_t kBlock = 44100 / 200;
    size_t heard = 0;
    for (size_t at = changed; at + kBlock <= mix.size() / 2; at += kBlock) {
      const double rms = Rms(
          std::vector<int16_t>(mix.begin() + std::ptrdiff_t(at * 2), mix.begin() + std::ptrdiff_t((at + kBlock) * 2)));
      if (rms > 0.25)
        heard = 0;
      else if (rms > 0.1 && heard == 0)
        heard = at;
    }
    ASSERT_GT(heard, 0u) << "the new entry was never heard alone";
    EXPECT_LE(double(heard - changed) / 44100, 0.5);
  }
}

// A music file that cannot be played, whatever is wrong with it, is told once in the log, not at
// each of the list's retries; told again only once a file of that name has played in between.
TEST_F(Playlists, AMusicFileThatCannotPlayIsToldOnceInTwentySecondsWhateverItsFault) {
  const std::vector<uint8_t> ogg = audiotest::MakeOgg(22050, 1, audiotest::Sine(22050, 1, 0.3, 441.0, 0.5));
  std::vector<uint8_t> damaged = ogg;
  damaged[damaged.size() / 2] ^= 0x55;
  const struct {
    const char* file;
    std::vector<uint8_t> bytes;
    bool present;
  } faults[] = {{"cut.ogg", {ogg.begin(), ogg.begin() + std::ptrdiff_t(ogg.size() / 2)}, true},
                {"damaged.ogg", damaged, true},
                {"empty.ogg", {}, true},
                {"missing.ogg", {}, false}};
  for (const auto& fault : faults) {
    if (fault.present) WriteBytes(fault.file, fault.bytes);
    ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, fault.file, fault.file, 1.0f));
  }
  for (int i = 0; i < 320; ++i) {  // twenty seconds
    m_system->UpdateLibrary();
    Advance(kStep);
  }
  for (const auto& fault : faults)
    EXPECT_EQ(m_log->count(std::string("ERROR: sound stream '") + fault.file + "'"), 1) << m_log->text();

  // Mended, it plays; broken again, it is told again, once.
  sfx::ClearAllPlaylists(true, 0.0f);
  WriteBytes("empty.ogg", ogg);
  ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, "empty.ogg", "MUSIC", 1.0f));
  ASSERT_TRUE(sfx::SetStreamPlaylistTimes(sfx::PLAY_STREAM, 0.5f, 0.5f, "MUSIC"));
  for (int i = 0; i < 16 && m_system->GetSoundSlot(kSound) < 0; ++i) {
    m_system->UpdateLibrary();
    Advance(kStep);
  }
  ASSERT_GE(m_system->GetSoundSlot(kSound), 0);
  WriteBytes("empty.ogg", {});
  for (int i = 0; i < 160; ++i) {
    m_system->UpdateLibrary();
    Advance(kStep);
  }
  EXPECT_EQ(m_log->count("ERROR: sound stream 'empty.ogg'"), 2) << m_log->text();
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

// Told once, not at every try: the file that appears later plays from the next check.
TEST_F(Playlists, AnEntryThatCannotPlayIsTriedAgainEveryQuarterSecond) {
  ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_SAMPLE, "late.wav", "MUSIC", 1.0f));
  for (int i = 0; i < 16; ++i) Advance(kStep);  // one second: checks at 0.0625, 0.3125, 0.5625, 0.8125
  EXPECT_EQ(m_log->count("Error at Sample_Load late.wav"), 1);
  EXPECT_FALSE(sfx::IsSoundPlaying("Playlist_MUSIC"));
  WriteWav("late.wav", 3.0);
  for (int i = 0; i < 4; ++i) Advance(kStep);  // the check at 1.0625
  EXPECT_TRUE(sfx::IsSoundPlaying("Playlist_MUSIC"));
}

}  // namespace
}  // namespace soundtest
