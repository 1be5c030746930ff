// Sounds made in the test (WAV written by hand, Ogg through libvorbisenc), a library opened in
// pull mode, the log captured, and measurements of the mixed output.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "SoundMaker.h"
#include "platform/audio/SoundLibrary.h"

namespace audiotest {

// One channel (0 left, 1 right) of interleaved 16-bit stereo, frames [from, to).
double Rms(const std::vector<int16_t>& stereo, int channel, size_t from, size_t to);  // full scale = 1
int ZeroCrossings(const std::vector<int16_t>& stereo, int channel, size_t from, size_t to);
int Peak(const std::vector<int16_t>& stereo, int channel, size_t from, size_t to);

class AudioTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes bytes to a file in the test's own folder; returns its path.
  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);
  // Loads bytes as a sample from memory with mode bits.
  platform::audio::SampleId LoadBytes(const std::vector<uint8_t>& bytes, uint32_t mode = platform::audio::mode::TwoD);
  // Pulls frames of mix.
  std::vector<int16_t> Pull(size_t frames);
  // Log lines that start with "ERROR:".
  std::vector<std::string> Errors() const;

  platform::audio::SoundLibrary m_lib;
  std::string m_folder;
};

// Every line the library logged since the last SetUp.
std::vector<std::string>& LoggedLines();

}  // namespace audiotest
