// Streams: opened by the update step, decoded into their buffer as they play, ended cleanly.
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "AudioFixture.h"
#include "support/TimeScale.h"

namespace pa = platform::audio;
using audiotest::AudioTest;
using audiotest::MakeOgg;
using audiotest::MakeWav;
using audiotest::Peak;
using audiotest::Rms;
using audiotest::Sine;
using audiotest::ZeroCrossings;

namespace {

class Streaming : public AudioTest {
 protected:
  // Pulls frames in 100 ms steps with an Update before each, as the engine's threads would.
  std::vector<int16_t> PullWithUpdates(size_t frames) {
    std::vector<int16_t> all;
    while (all.size() / 2 < frames) {
      m_lib.Update();
      const auto part = Pull(std::min<size_t>(4410, frames - all.size() / 2));
      all.insert(all.end(), part.begin(), part.end());
    }
    return all;
  }
  // Opens without blocking and runs the update that opens it.
  pa::StreamId OpenReady(const std::string& path, uint32_t mode = 0) {
    const pa::StreamId stream = m_lib.OpenStream(path.c_str(), pa::mode::NonBlocking | pa::mode::TwoD | mode);
    m_lib.Update();
    return stream;
  }
};

TEST_F(Streaming, ReportsOpeningUntilTheUpdateThenPlaysToItsEnd) {
  const std::string path = WriteFile("music.ogg", MakeOgg(44100, 2, Sine(44100, 2, 2.0, 300.0, 0.4)));
  // A 100 ms buffer: each update refills exactly what the 100 ms of mix between them took.
  ASSERT_TRUE(m_lib.SetStreamBufferMs(100));
  const pa::StreamId stream = m_lib.OpenStream(path.c_str(), pa::mode::NonBlocking | pa::mode::TwoD);
  ASSERT_NE(stream, pa::StreamId::None);
  EXPECT_EQ(m_lib.StreamOpenState(stream), pa::openstate::Opening);
  EXPECT_EQ(m_lib.StreamLengthMs(stream), 0u);
  EXPECT_EQ(m_lib.PlayStream(pa::kAnyVoice, stream), -1);  // not ready yet
  m_lib.Update();
  EXPECT_EQ(m_lib.StreamOpenState(stream), pa::openstate::Ready);
  EXPECT_EQ(m_lib.StreamLengthMs(stream), 2000u);
  const int voice = m_lib.PlayStream(pa::kAnyVoice, stream);
  ASSERT_GE(voice, 0);
  EXPECT_EQ(m_lib.CurrentSample(voice), pa::SampleId::None);
  const auto out = PullWithUpdates(44100 * 5 / 2);
  EXPECT_NEAR(Rms(out, 0, 1000, 88000), 0.4 / std::sqrt(2.0), 0.02);
  EXPECT_NEAR(ZeroCrossings(out, 1, 0, 88200), 1200, 4);
  EXPECT_EQ(Peak(out, 0, 88300, 110250), 0);
  EXPECT_FALSE(m_lib.IsPlaying(voice));
  EXPECT_EQ(m_lib.Underruns(), 0u);
  EXPECT_TRUE(m_lib.CloseStream(stream));
  EXPECT_EQ(m_lib.LiveStreams(), 0);
}

TEST_F(Streaming, TwentySecondsPlayWithoutAGapWhileAnotherThreadUpdates) {
  const std::string path = WriteFile("long.ogg", MakeOgg(44100, 2, Sine(44100, 2, 20.0, 250.0, 0.4)));
  const pa::StreamId stream = m_lib.OpenStream(path.c_str(), pa::mode::NonBlocking | pa::mode::TwoD);
  std::atomic<bool> stop{false};
  std::atomic<size_t> updates{0};
  std::thread updater([&] {
    while (!stop.load()) {
      m_lib.Update();
      ++updates;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  ASSERT_TRUE(testsupport::WaitUntil([&] { return m_lib.StreamOpenState(stream) != pa::openstate::Opening; }, 60000, 5));
  const int voice = m_lib.PlayStream(pa::kAnyVoice, stream);
  ASSERT_GE(voice, 0);

  // The mix is pulled while the other thread updates, 200 ms of sound once after each update seen
  // (twice real time at the updater's pace), so the 500 ms buffer must be refilled by the updates
  // while it is read. The pace follows the updates, never the wall clock, and a pull never makes
  // up for updates it missed: a busy machine makes the test slower, not red.
  std::vector<int16_t> all;
  size_t seen = updates.load();
  while (m_lib.IsPlaying(voice) && all.size() / 2 < 44100u * 22) {
    if (updates.load() == seen) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    seen = updates.load();
    const auto part = Pull(44100 / 5);
    all.insert(all.end(), part.begin(), part.end());
  }
  stop = true;
  updater.join();

  EXPECT_EQ(m_lib.Underruns(), 0u);
  EXPECT_FALSE(m_lib.IsPlaying(voice));
  ASSERT_GE(all.size() / 2, 44100u * 20);
  for (size_t block = 0; block + 2205 <= 44100u * 20 - 2205; block += 2205)
    ASSERT_GT(Rms(all, 0, block, block + 2205), 0.25) << "gap at frame " << block;
  EXPECT_NEAR(ZeroCrossings(all, 0, 0, 44100u * 20), 10000, 10);
}

// Mixed past its buffer with no update between, a stream runs dry: the update after names its file
// in one Warning, however many mixes found it empty, and it plays on once refilled. A paused
// stream and one that has played to its end are not dry.
TEST_F(Streaming, AStreamThatRunsDryIsReportedOnceWithItsFile) {
  const std::string path = WriteFile("dry.ogg", MakeOgg(44100, 2, Sine(44100, 2, 3.0, 300.0, 0.4)));
  ASSERT_TRUE(m_lib.SetStreamBufferMs(100));
  const pa::StreamId stream = OpenReady(path);
  const int voice = m_lib.PlayStream(pa::kAnyVoice, stream);
  const auto warnings = [] {
    std::vector<std::string> lines;
    for (const std::string& line : audiotest::LoggedLines())
      if (line.rfind("Warning:", 0) == 0) lines.push_back(line);
    return lines;
  };
  for (int i = 0; i < 10; ++i) Pull(2205);
  EXPECT_EQ(m_lib.Underruns(), 1u);
  EXPECT_TRUE(warnings().empty());  // the mixing side logs nothing
  m_lib.Update();
  ASSERT_EQ(warnings().size(), 1u);
  EXPECT_NE(warnings()[0].find("'" + path + "' ran dry"), std::string::npos) << warnings()[0];
  const auto after = PullWithUpdates(44100 / 2);
  EXPECT_GT(Rms(after, 0, 0, 44100 / 2), 0.25);

  ASSERT_TRUE(m_lib.SetPaused(voice, true));
  Pull(44100);
  ASSERT_TRUE(m_lib.SetPaused(voice, false));
  PullWithUpdates(44100 * 3);  // past its end
  m_lib.Update();
  EXPECT_FALSE(m_lib.IsPlaying(voice));
  EXPECT_EQ(m_lib.Underruns(), 1u);
  EXPECT_EQ(warnings().size(), 1u);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(Streaming, AFileThatCannotBeOpenedFailsInTheUpdate) {
  const std::string garbage = WriteFile("garbage.ogg", std::vector<uint8_t>(500, 0x33));
  const pa::StreamId missing = m_lib.OpenStream((m_folder + "/missing.ogg").c_str(), pa::mode::NonBlocking);
  const pa::StreamId broken = m_lib.OpenStream(garbage.c_str(), pa::mode::NonBlocking);
  EXPECT_EQ(m_lib.StreamOpenState(missing), pa::openstate::Opening);
  EXPECT_TRUE(Errors().empty());  // nothing is read before the update
  m_lib.Update();
  EXPECT_NE(m_lib.StreamOpenState(missing), pa::openstate::Ready);
  EXPECT_NE(m_lib.StreamOpenState(missing), pa::openstate::Opening);
  EXPECT_NE(m_lib.StreamOpenState(broken), pa::openstate::Ready);
  ASSERT_EQ(Errors().size(), 2u);
  EXPECT_EQ(m_lib.PlayStream(pa::kAnyVoice, broken), -1);
  // Opened at once (no non-blocking bit), the failure shows in the call.
  EXPECT_EQ(m_lib.OpenStream(garbage.c_str(), pa::mode::TwoD), pa::StreamId::None);
  EXPECT_EQ(m_lib.GetError(), pa::kErrFileFormat);
}

TEST_F(Streaming, AStreamThatBreaksMidwayEndsAsFinished) {
  // Noise makes the file large enough that the decoder is still well inside it when it breaks.
  auto frames = Sine(44100, 2, 10.0, 300.0, 0.3);
  uint32_t seed = 1;
  for (float& v : frames) v += static_cast<float>((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0f * 0.2f - 0.1f;
  const std::string path = WriteFile("broken.ogg", MakeOgg(44100, 2, frames));
  const pa::StreamId stream = OpenReady(path);
  ASSERT_EQ(m_lib.StreamOpenState(stream), pa::openstate::Ready);
  const int voice = m_lib.PlayStream(pa::kAnyVoice, stream);
  const auto before = PullWithUpdates(44100);
  // The file loses its second half under the stream's feet (a failing disk, a copy being replaced).
  std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
  const auto after = PullWithUpdates(44100 * 9);
  EXPECT_FALSE(m_lib.IsPlaying(voice));
  EXPECT_GT(Rms(before, 0, 0, 44100), 0.2);
  EXPECT_EQ(Peak(after, 0, 44100 * 7, 44100 * 9), 0);
  EXPECT_EQ(m_lib.Underruns(), 0u);
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_NE(Errors()[0].find("broken.ogg"), std::string::npos);
}

TEST_F(Streaming, ALoopingStreamStartsOverAndAStoppedOneRewinds) {
  // A 22,050 Hz WAV: converted as it streams, keeping its pitch.
  const std::string path = WriteFile("loop.wav", MakeWav(22050, 1, 16, Sine(22050, 1, 0.5, 400.0, 0.5)));
  const pa::StreamId stream = OpenReady(path, pa::mode::Loop);
  int voice = m_lib.PlayStream(pa::kAnyVoice, stream);
  auto out = PullWithUpdates(44100 * 2);
  EXPECT_TRUE(m_lib.IsPlaying(voice));
  EXPECT_GT(Rms(out, 0, 0, 88200), 0.34);
  EXPECT_NEAR(ZeroCrossings(out, 0, 0, 88200), 1600, 6);
  EXPECT_EQ(m_lib.Underruns(), 0u);

  ASSERT_TRUE(m_lib.StopStream(stream));
  EXPECT_FALSE(m_lib.IsPlaying(voice));
  EXPECT_EQ(m_lib.BusyVoices(), 0);
  m_lib.Update();
  voice = m_lib.PlayStream(pa::kAnyVoice, stream);
  out = Pull(100);
  EXPECT_EQ(out[0], 0);  // the sine starts again at phase 0
  EXPECT_GT(out[20], 0);
  EXPECT_TRUE(m_lib.CloseStream(stream));
  EXPECT_FALSE(m_lib.IsPlaying(voice));
  EXPECT_EQ(m_lib.LiveStreams(), 0);
}

}  // namespace
