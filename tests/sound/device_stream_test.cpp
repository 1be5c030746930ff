// Music through a real audio device (SDL's dummy driver mixes on its own thread at the device's
// pace). The game's thread holds the sound lock, as a long operation of the game's would, and the
// music plays on meanwhile: its stream is opened and decoded on threads that never take the sound
// lock. A busy machine makes the music reach its mark later, never not at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <mutex>

#include "../audio/SoundMaker.h"
#include "../base/test_support.h"
#include "sound/FModSoundSystem.h"
#include "support/TimeScale.h"

namespace {

constexpr int kRate = 22050;           // converted to the mix rate on the decode thread
constexpr double kMusicSeconds = 20.0;  // far more than is played before and under the lock
constexpr int kRingMs = 100;           // the stream's ring: a tenth of what is played under the lock
constexpr float kPlayedLocked = 1.0f;  // seconds of music played while the lock is held

TEST(DeviceStream, MusicPlaysOnFromItsRingRefilledWhileTheGameHoldsTheSoundLock) {
  testsupport::TempDir dir;
  const std::string music = dir.path("music.ogg");
  const std::vector<uint8_t> ogg = audiotest::MakeOgg(kRate, 1, audiotest::Sine(kRate, 1, kMusicSeconds, 250.0, 0.4));
  std::ofstream(music, std::ios::binary).write(reinterpret_cast<const char*>(ogg.data()), std::streamsize(ogg.size()));
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  {
    sfx::cl_FModSoundSystem sound;
    ASSERT_TRUE(sound.StartUp());
    ASSERT_EQ(sound.GetLibrary().DriverName(), "dummy");
    // Ten rings' worth played under the lock can only come from rings refilled meanwhile.
    ASSERT_TRUE(sound.GetLibrary().SetStreamBufferMs(kRingMs));
    sfx::st_ChannelParams params;
    sound.AddChannel("MUSIC", &params);
    ASSERT_EQ(sound.PlaySample(sfx::PLAY_STREAM, music.c_str(), "music", "MUSIC", nullptr, 0), 0.0f);
    // The game's frames until the device plays the music.
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
          sound.Update(0.01f);
          return sound.GetPlayPosition("music") > 0.0f;
        },
        30000));
    std::lock_guard<std::recursive_mutex> hold(sound.GetLock());
    const float start = sound.GetPlayPosition("music");
    EXPECT_TRUE(testsupport::WaitUntil([&] { return sound.GetPlayPosition("music") >= start + kPlayedLocked; }, 30000))
        << "the music stood at " << sound.GetPlayPosition("music") << " s of " << start + kPlayedLocked
        << " s while the game held the sound lock";
  }
  ::unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
