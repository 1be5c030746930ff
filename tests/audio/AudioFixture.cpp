#include "AudioFixture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/audio/Log.h"
#include "support/ScratchFolder.h"

namespace audiotest {
namespace {

void Capture(const char* text) { LoggedLines().emplace_back(text); }

}  // namespace

std::vector<std::string>& LoggedLines() {
  static std::vector<std::string> lines;
  return lines;
}

double Rms(const std::vector<int16_t>& stereo, int channel, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) {
    const double v = stereo[i * 2 + channel] / 32768.0;
    sum += v * v;
  }
  return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

int ZeroCrossings(const std::vector<int16_t>& stereo, int channel, size_t from, size_t to) {
  int crossings = 0;
  for (size_t i = from + 1; i < to; ++i) {
    const int a = stereo[(i - 1) * 2 + channel], b = stereo[i * 2 + channel];
    if ((a < 0 && b >= 0) || (a >= 0 && b < 0)) ++crossings;
  }
  return crossings;
}

int Peak(const std::vector<int16_t>& stereo, int channel, size_t from, size_t to) {
  int peak = 0;
  for (size_t i = from; i < to; ++i) peak = std::max(peak, std::abs(static_cast<int>(stereo[i * 2 + channel])));
  return peak;
}

void AudioTest::SetUp() {
  LoggedLines().clear();
  platform::audio::SetLogSink(Capture);
  m_folder = testsupport::MakeScratchFolder("quillane_audio").string();
  ASSERT_TRUE(m_lib.SetOutput(platform::audio::Output::Pull));
  ASSERT_TRUE(m_lib.Init(44100, 32, 0));
}

void AudioTest::TearDown() {
  m_lib.Close();
  platform::audio::SetLogSink(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(m_folder, ignored);
}

std::string AudioTest::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = m_folder + "/" + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

platform::audio::SampleId AudioTest::LoadBytes(const std::vector<uint8_t>& bytes, uint32_t mode) {
  return m_lib.LoadSample(bytes.data(), mode | platform::audio::mode::FromMemory,
                          static_cast<uint32_t>(bytes.size()), "test bytes");
}

std::vector<int16_t> AudioTest::Pull(size_t frames) {
  std::vector<int16_t> out(frames * 2);
  m_lib.Mix(out.data(), static_cast<uint32_t>(frames));
  return out;
}

std::vector<std::string> AudioTest::Errors() const {
  std::vector<std::string> errors;
  for (const std::string& line : LoggedLines())
    if (line.rfind("ERROR:", 0) == 0) errors.push_back(line);
  return errors;
}

}  // namespace audiotest
