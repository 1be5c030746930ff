// The mix played through an SDL audio device (SDL's dummy driver, so no sound card is needed):
// sounds run their course in real time on SDL's thread.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "AudioFixture.h"
#include "support/ScratchFolder.h"
#include "support/TimeScale.h"

namespace pa = platform::audio;
using audiotest::MakeOgg;
using audiotest::MakeWav;
using audiotest::Sine;

namespace {

// A half-second Ogg tune written into folder; its path.
std::string WriteTune(const std::filesystem::path& folder) {
  const std::string path = (folder / "tune.ogg").string();
  const auto ogg = MakeOgg(22050, 1, Sine(22050, 1, 0.5, 400.0, 0.5));
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(ogg.data()), std::streamsize(ogg.size()));
  return path;
}

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
  const auto start = std::chrono::steady_clock::now();
  const int voice = lib.Play(pa::kAnyVoice, sample, false);
  ASSERT_GE(voice, 0);
  // The caller cannot pull while a device mixes.
  std::vector<int16_t> out(200, 1);
  lib.Mix(out.data(), 100);
  EXPECT_EQ(out[0], 0);

  EXPECT_TRUE(testsupport::WaitUntil([&] { return !lib.IsPlaying(voice); }, 60000));
  // At the device's pace, not all at once (less one device buffer): a busy machine makes it take
  // longer, never less.
  EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.1);
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

// Under a device the library's stream threads open and feed the streams: a looping stream plays
// on round after round, and streams opened, started over and closed while the threads decode and
// the callback mixes leave nothing behind, also when the library closes with streams still playing.
TEST(SoundOutput, TheStreamThreadsFeedStreamsWhileTheyAreStartedAndClosed) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::filesystem::path folder = testsupport::MakeScratchFolder("quillane_output");
  ASSERT_FALSE(folder.empty());
  const std::string path = WriteTune(folder);

  pa::SoundLibrary lib;
  ASSERT_TRUE(lib.Init(44100, 32, 0));
  const pa::StreamId loop = lib.OpenStream(path.c_str(), pa::mode::NonBlocking | pa::mode::Loop);
  EXPECT_EQ(lib.StreamLengthMs(loop), 0u);  // not before the caller has seen it ready
  ASSERT_TRUE(testsupport::WaitUntil([&] { return lib.StreamOpenState(loop) != pa::openstate::Opening; }, 60000));
  ASSERT_EQ(lib.StreamOpenState(loop), pa::openstate::Ready);
  EXPECT_EQ(lib.StreamLengthMs(loop), 500u);
  const int voice = lib.PlayStream(pa::kAnyVoice, loop);
  ASSERT_GE(voice, 0);
  // Three rounds of the loop (whether the mix ran dry meanwhile depends on how busy the machine
  // is; the pull tests judge that).
  EXPECT_TRUE(testsupport::WaitUntil([&] { return lib.CurrentPosition(voice) >= 44100u * 3 / 2; }, 60000));
  EXPECT_TRUE(lib.IsPlaying(voice));

  for (int i = 0; i < 60; ++i) {
    const pa::StreamId other = lib.OpenStream(path.c_str(), i % 2 ? pa::mode::NonBlocking : 0u);
    lib.Update();
    lib.PlayStream(pa::kAnyVoice, other);  // refused while it still opens
    lib.StopStream(i % 3 ? other : loop);
    lib.PlayStream(pa::kAnyVoice, loop);
    if (i % 4) lib.CloseStream(other);
  }
  EXPECT_EQ(lib.LiveStreams(), 1 + 15);
  lib.Close();
  EXPECT_EQ(lib.LiveStreams(), 0);
  ::unsetenv("SDL_AUDIODRIVER");
  std::filesystem::remove_all(folder);
}

// The stream threads' CPU time read by another thread while streams open and close and the library
// closes and opens again (a statistics line as the game shuts down): read under the library's lock,
// never from the threads Close lets go, and counting the threads that ended, so it never goes back.
TEST(SoundOutput, TheStreamThreadsCpuTimeIsReadWhileTheLibraryClosesAndNeverGoesBack) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::filesystem::path folder = testsupport::MakeScratchFolder("quillane_output");
  ASSERT_FALSE(folder.empty());
  const std::string path = WriteTune(folder);

  pa::SoundLibrary lib;
  std::atomic<bool> done{false};
  std::atomic<int> wentBack{0};
  std::thread reader([&] {
    for (double last = 0.0; !done;) {
      const double now = lib.DecodeCpuSeconds();
      if (now < last) ++wentBack;
      last = now;
    }
  });
  for (int round = 0; round < 8; ++round) {
    ASSERT_TRUE(lib.Init(44100, 8, 0));
    const pa::StreamId first = lib.OpenStream(path.c_str(), pa::mode::NonBlocking);
    const pa::StreamId second = lib.OpenStream(path.c_str(), pa::mode::NonBlocking | pa::mode::Loop);
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
          return lib.StreamOpenState(first) == pa::openstate::Ready &&
                 lib.StreamOpenState(second) == pa::openstate::Ready;
        },
        60000));
    lib.CloseStream(first);  // its thread ends while the other's runs on
    lib.Close();
  }
  done = true;
  reader.join();
  EXPECT_EQ(wentBack, 0);
  EXPECT_GT(lib.DecodeCpuSeconds(), 0.0);
  ::unsetenv("SDL_AUDIODRIVER");
  std::filesystem::remove_all(folder);
}

}  // namespace
