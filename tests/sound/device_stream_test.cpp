// Music through a real audio device: SDL's disk driver takes the mix at the device's own pace and
// writes it to a file. The game's thread holds the sound lock for two seconds, as a long operation
// of the game's would, and the music plays on without a gap and without a warning: its stream is
// decoded seconds ahead on a thread that takes neither the sound lock nor the library's.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>

#include "../audio/SoundMaker.h"
#include "../base/test_support.h"
#include "sound/FModSoundSystem.h"

namespace {

constexpr int kRate = 44100;
constexpr double kMusicSeconds = 5.0;
constexpr size_t kBlock = kRate / 50;  // 20 ms

// The game's frames (10 ms each, paced by the wall clock only so the device has time to play)
// until done holds; a minute of frames at the least, more on a slow machine.
void RunFrames(sfx::cl_FModSoundSystem& sound, const std::function<bool()>& done) {
  for (int i = 0; i < 6000 && !done(); ++i) {
    sound.Update(0.01f);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TEST(DeviceStream, MusicPlaysOnWithoutAGapWhileTheGameHoldsTheSoundLockForTwoSeconds) {
  testsupport::TempDir dir;
  const std::string music = dir.path("music.ogg"), mix = dir.path("mix.raw");
  const std::vector<uint8_t> ogg = audiotest::MakeOgg(kRate, 2, audiotest::Sine(kRate, 2, kMusicSeconds, 250.0, 0.4));
  std::ofstream(music, std::ios::binary).write(reinterpret_cast<const char*>(ogg.data()), std::streamsize(ogg.size()));
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", mix.c_str(), 1);
  testsupport::LogCapture log;
  {
    sfx::cl_FModSoundSystem sound;
    ASSERT_TRUE(sound.StartUp());
    ASSERT_EQ(sound.GetLibrary().DriverName(), "disk");
    sfx::st_ChannelParams params;
    sound.AddChannel("MUSIC", &params);
    ASSERT_EQ(sound.PlaySample(sfx::PLAY_STREAM, music.c_str(), "music", "MUSIC", nullptr, 0), 0.0f);
    RunFrames(sound, [&] { return sound.GetPlayPosition("music") >= 1.0f; });
    ASSERT_GE(sound.GetPlayPosition("music"), 1.0f);
    {
      std::lock_guard<std::recursive_mutex> hold(sound.GetLock());
      std::this_thread::sleep_for(std::chrono::seconds(2));
    }
    RunFrames(sound, [&] { return !sound.IsPlaying("music"); });
    EXPECT_FALSE(sound.IsPlaying("music"));
  }
  ::unsetenv("SDL_AUDIODRIVER");
  ::unsetenv("SDL_DISKAUDIOFILE");

  std::ifstream in(mix, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> left(bytes.size() / 4);
  for (size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], bytes.data() + i * 4, 2);
  size_t start = 0;
  while (start < left.size() && std::abs(left[start]) < 1000) ++start;
  const size_t end = start + static_cast<size_t>((kMusicSeconds - 0.1) * kRate);
  ASSERT_GE(left.size(), end) << "the recording ends before the music";
  for (size_t block = start; block + kBlock <= end; block += kBlock) {
    double sum = 0.0;
    for (size_t i = block; i < block + kBlock; ++i) sum += double(left[i]) * left[i];
    ASSERT_GT(std::sqrt(sum / kBlock) / 32768.0, 0.2) << "gap " << double(block - start) / kRate << " s into the music";
  }
  EXPECT_FALSE(log.contains("Warning:")) << log.text();
}

}  // namespace
