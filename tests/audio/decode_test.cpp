// Sound files from outside: good ones load the same from a file and from memory; broken ones fail
// with error 10 and one "ERROR:" line naming the file, and nothing is read past their bytes.
#include <cstring>

#include "AudioFixture.h"

namespace pa = platform::audio;
using audiotest::AudioTest;
using audiotest::MakeOgg;
using audiotest::MakeWav;
using audiotest::Sine;

namespace {

class Decoding : public AudioTest {};

void Patch32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

TEST_F(Decoding, AFileAndTheSameBytesInMemoryGiveTheSameSample) {
  const auto bytes = MakeOgg(44100, 2, Sine(44100, 2, 0.5, 300.0, 0.3));
  const std::string path = WriteFile("Tone.ogg", bytes);
  // The file layer resolves names without regard to letter case.
  const std::string other = path.substr(0, path.size() - 8) + "TONE.OGG";
  const pa::SampleId fromFile = m_lib.LoadSample(other.c_str(), pa::mode::TwoD, 0);
  const pa::SampleId fromMemory = LoadBytes(bytes);
  ASSERT_NE(fromFile, pa::SampleId::None);
  ASSERT_NE(fromMemory, pa::SampleId::None);
  EXPECT_EQ(m_lib.SampleLength(fromFile), m_lib.SampleLength(fromMemory));
  EXPECT_NEAR(m_lib.SampleLength(fromFile), 22050u, 1u);
  EXPECT_EQ(m_lib.LiveSamples(), 2);

  const int a = m_lib.Play(pa::kAnyVoice, fromFile, false);
  m_lib.SetPan(a, 0);
  const int b = m_lib.Play(pa::kAnyVoice, fromMemory, false);
  m_lib.SetPan(b, 255);
  const auto out = Pull(22050);
  for (size_t i = 0; i < 22050; ++i) ASSERT_EQ(out[i * 2], out[i * 2 + 1]) << i;
  EXPECT_TRUE(Errors().empty());
}

TEST_F(Decoding, AMissingFileFailsWithNineAndSaysSo) {
  EXPECT_EQ(m_lib.LoadSample((m_folder + "/nothing.wav").c_str(), pa::mode::TwoD, 0), pa::SampleId::None);
  EXPECT_EQ(m_lib.GetError(), pa::kErrFileNotFound);
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_NE(Errors()[0].find("nothing.wav"), std::string::npos);
}

struct BrokenCase {
  const char* name;
  void (*damage)(std::vector<uint8_t>& wav, std::vector<uint8_t>& ogg, std::vector<uint8_t>& out);
  const char* says;  // part of the log line
};

class BrokenFile : public AudioTest, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenFile, FailsWithTenAndOneErrorLine) {
  std::vector<uint8_t> wav = MakeWav(22050, 1, 16, Sine(22050, 1, 0.3, 500.0, 0.5));
  // Noise keeps the pages many, so damage in the middle lands among the audio pages.
  std::vector<float> noisy = Sine(22050, 1, 2.0, 500.0, 0.5);
  uint32_t seed = 7;
  for (float& v : noisy) v += static_cast<float>((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0f * 0.2f - 0.1f;
  std::vector<uint8_t> ogg = MakeOgg(22050, 1, noisy);
  std::vector<uint8_t> bytes;
  GetParam().damage(wav, ogg, bytes);
  const std::string path = WriteFile(std::string(GetParam().name) + ".snd", bytes);
  EXPECT_EQ(m_lib.LoadSample(path.c_str(), pa::mode::TwoD, 0), pa::SampleId::None);
  EXPECT_EQ(m_lib.GetError(), pa::kErrFileFormat);
  const auto errors = Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(GetParam().name), std::string::npos) << errors[0];
  EXPECT_NE(errors[0].find(GetParam().says), std::string::npos) << errors[0];
  // From memory the same bytes fail the same way, with the exact size handed over.
  std::vector<uint8_t> exact(bytes);
  EXPECT_EQ(LoadBytes(exact), pa::SampleId::None);
  EXPECT_EQ(m_lib.LiveSamples(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, BrokenFile,
    ::testing::Values(
        BrokenCase{"wav_data_past_end", [](auto& wav, auto&, auto& out) { out.assign(wav.begin(), wav.end() - 100); },
                   "runs past the end"},
        BrokenCase{"wav_fmt_past_end", [](auto& wav, auto&, auto& out) { out = wav; Patch32(out, 16, 0x7FFFFFF0); },
                   "runs past the end"},
        BrokenCase{"wav_no_channels", [](auto& wav, auto&, auto& out) { out = wav; out[22] = 0; out[23] = 0; },
                   "channel count 0"},
        BrokenCase{"wav_rate_zero", [](auto& wav, auto&, auto& out) { out = wav; Patch32(out, 24, 0); }, "rate 0"},
        BrokenCase{"wav_24_bits", [](auto& wav, auto&, auto& out) { out = wav; out[34] = 24; }, "unsupported"},
        BrokenCase{"wav_header_only", [](auto& wav, auto&, auto& out) { out.assign(wav.begin(), wav.begin() + 20); },
                   "fmt"},
        BrokenCase{"ogg_truncated", [](auto&, auto& ogg, auto& out) { out.assign(ogg.begin(), ogg.begin() + ogg.size() / 2); },
                   "truncated"},
        BrokenCase{"ogg_corrupt", [](auto&, auto& ogg, auto& out) {
                     out = ogg;
                     for (size_t i = out.size() / 3; i < out.size() / 3 + 64; ++i) out[i] ^= 0x5A;
                   }, "damaged page"},
        BrokenCase{"ogg_corrupt_middle", [](auto&, auto& ogg, auto& out) {
                     out = ogg;
                     for (size_t i = out.size() / 2; i < out.size() / 2 + 200; ++i) out[i] ^= 0x77;
                   }, "damaged page"},
        BrokenCase{"ogg_headers_only", [](auto&, auto& ogg, auto& out) { out.assign(ogg.begin(), ogg.begin() + 58); },
                   "Vorbis"},
        BrokenCase{"garbage", [](auto&, auto&, auto& out) { out.assign(300, 0xAB); }, "neither a WAV nor an Ogg"},
        BrokenCase{"tiny", [](auto&, auto&, auto& out) { out = {'O', 'g'}; }, "too short"}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
