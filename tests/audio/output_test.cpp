// The mix played through an SDL audio device (SDL's dummy driver, so no sound card is needed):
// sounds run their course in real time on SDL's thread.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "AudioFixture.h"

namespace pa = platform::audio;
using audiotest::MakeWav;
using audiotest::Sine;

namespace {

TEST(SoundOutput, TheDummyDeviceMixesOnItsOwnThread) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  pa::SoundLibrary lib;
  ASSERT_TRUE(lib.Init(44100, 32, 0)) << lib.GetError();
  EXPECT_EQ(lib.DriverName(), "dummy");
  EXPECT_FALSE(lib.SetOutput(pa::Output::Pull));
  EXPECT_EQ(lib.GetError(), pa::kErrAlreadyInitialised);

  const auto bytes = MakeWav(44100, 1, 16, Sine(44100, 1, 0.2, 440.0, 0.5));
  const pa::SampleId sample =
      lib.LoadSample(bytes.data(), pa::mode::TwoD | pa::mode::FromMemory, static_cast<uint32_t>(bytes.size()));
  const int voice = lib.Play(pa::kAnyVoice, sample, false);
  ASSERT_GE(voice, 0);
  // The caller cannot pull while a device mixes.
  std::vector<int16_t> out(200, 1);
  lib.Mix(out.data(), 100);
  EXPECT_EQ(out[0], 0);

  const auto start = std::chrono::steady_clock::now();
  while (lib.IsPlaying(voice) && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_FALSE(lib.IsPlaying(voice));
  EXPECT_GT(took, 0.1);  // real time, not all at once
  EXPECT_EQ(lib.CurrentPosition(voice), 8820u);
  // Replacing and freeing while the callback runs (the mixer frees only what no mix still reads).
  for (int i = 0; i < 200; ++i) {
    const int v = lib.Play(pa::kAnyVoice, sample, false);
    lib.SetVolume(v, i % 256);
    if (i % 3 == 0) lib.StopVoice(v);
  }
  EXPECT_TRUE(lib.FreeSample(sample));
  lib.Close();
  EXPECT_FALSE(lib.IsInitialised());
  ::unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
