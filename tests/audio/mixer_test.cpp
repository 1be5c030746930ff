// Samples played through the mixer in pull mode: level, pitch, volume, pan, pause, loops, voices.
#include <cmath>

#include "AudioFixture.h"

namespace pa = platform::audio;
using audiotest::AudioTest;
using audiotest::MakeOgg;
using audiotest::MakeWav;
using audiotest::Peak;
using audiotest::Rms;
using audiotest::Sine;
using audiotest::ZeroCrossings;

namespace {

struct SourceCase {
  const char* name;
  int rate;
  int bits;  // 0: Ogg
  int channels;
  double tolerance;  // of the RMS
};

class SineSource : public AudioTest, public ::testing::WithParamInterface<SourceCase> {};

// Every format and rate plays a 440 Hz sine of amplitude 0.5 at that level and pitch on both sides.
TEST_P(SineSource, PlaysAtLevelAndPitch) {
  const SourceCase& c = GetParam();
  const auto frames = Sine(c.rate, c.channels, 1.0, 440.0, 0.5);
  const auto bytes = c.bits ? MakeWav(c.rate, c.channels, c.bits, frames) : MakeOgg(c.rate, c.channels, frames);
  const pa::SampleId sample = LoadBytes(bytes);
  ASSERT_NE(sample, pa::SampleId::None) << m_lib.GetError();
  EXPECT_NEAR(m_lib.SampleLength(sample), 44100u, 2u);  // counted at the mix rate
  const int voice = m_lib.Play(pa::kAnyVoice, sample, false);
  ASSERT_GE(voice, 0);
  const auto out = Pull(44100);
  for (int channel = 0; channel < 2; ++channel) {
    EXPECT_NEAR(Rms(out, channel, 2000, 42000), 0.5 / std::sqrt(2.0), c.tolerance) << c.name;
    EXPECT_NEAR(ZeroCrossings(out, channel, 0, 44100), 880, 3) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, SineSource,
                         ::testing::Values(SourceCase{"wav16", 44100, 16, 1, 0.005},
                                           SourceCase{"wav8", 44100, 8, 1, 0.01},
                                           SourceCase{"wavfloat", 44100, 32, 2, 0.005},
                                           SourceCase{"wav22k", 22050, 16, 1, 0.01},
                                           SourceCase{"wav48k", 48000, 16, 2, 0.01},
                                           SourceCase{"ogg", 44100, 0, 2, 0.02},
                                           SourceCase{"ogg22k", 22050, 0, 1, 0.02}),
                         [](const auto& param) { return std::string(param.param.name); });

class Mixing : public AudioTest {
 protected:
  // A one-second mono 16-bit sine of amplitude 0.5 at 441 Hz (100 whole periods in a second).
  pa::SampleId LoadSine(uint32_t mode = pa::mode::TwoD, double seconds = 1.0, double hz = 441.0) {
    return LoadBytes(MakeWav(44100, 1, 16, Sine(44100, 1, seconds, hz, 0.5)), mode);
  }
};

TEST_F(Mixing, Volume128HalvesTheAmplitude) {
  const int voice = m_lib.Play(pa::kAnyVoice, LoadSine(), true);
  ASSERT_TRUE(m_lib.SetVolume(voice, 128));
  ASSERT_TRUE(m_lib.SetPaused(voice, false));
  const auto out = Pull(22050);
  EXPECT_NEAR(Peak(out, 0, 0, 22050) / 32768.0, 0.5 * 128 / 255, 0.002);
  EXPECT_EQ(m_lib.GetVolume(voice), 128);
}

TEST_F(Mixing, PanPlaysBothSidesAtFullLevelInTheCentre) {
  const pa::SampleId sample = LoadSine();
  struct Case { int pan; double left, right; };
  for (const Case c : {Case{0, 0.5, 0.0}, Case{128, 0.5, 0.5}, Case{255, 0.0, 0.5}, Case{64, 0.5, 0.25}}) {
    const int voice = m_lib.Play(pa::kAnyVoice, sample, true);
    m_lib.SetPan(voice, c.pan);
    m_lib.SetPaused(voice, false);
    const auto out = Pull(4410);
    EXPECT_NEAR(Peak(out, 0, 0, 4410) / 32768.0, c.left, 0.003) << "pan " << c.pan;
    EXPECT_NEAR(Peak(out, 1, 0, 4410) / 32768.0, c.right, 0.003) << "pan " << c.pan;
    m_lib.StopVoice(voice);
  }
}

TEST_F(Mixing, PauseAndResumeKeepThePosition) {
  const int voice = m_lib.Play(pa::kAnyVoice, LoadSine(), false);
  const auto first = Pull(1000);
  EXPECT_EQ(m_lib.CurrentPosition(voice), 1000u);
  m_lib.SetPaused(voice, true);
  const auto paused = Pull(5000);
  EXPECT_EQ(Peak(paused, 0, 0, 5000), 0);
  EXPECT_EQ(m_lib.CurrentPosition(voice), 1000u);
  EXPECT_TRUE(m_lib.IsPlaying(voice));
  m_lib.SetPaused(voice, false);
  const auto resumed = Pull(1000);
  // The first resumed frame continues the sine where it stopped.
  const double expected = 0.5 * std::sin(2.0 * M_PI * 441.0 * 1000 / 44100);
  EXPECT_NEAR(resumed[0] / 32768.0, expected, 0.001);
  EXPECT_EQ(m_lib.CurrentPosition(voice), 2000u);
}

TEST_F(Mixing, LoopingSampleWrapsWithoutADiscontinuity) {
  // 0.1 s holds 44 whole periods of 440 Hz: the end joins the start.
  const pa::SampleId sample = LoadSine(pa::mode::TwoD | pa::mode::Loop, 0.1, 440.0);
  ASSERT_EQ(m_lib.SampleLength(sample), 4410u);
  const int voice = m_lib.Play(pa::kAnyVoice, sample, false);
  const auto out = Pull(20000);
  int largestStep = 0;
  for (size_t i = 1; i < 20000; ++i) largestStep = std::max(largestStep, std::abs(out[i * 2] - out[i * 2 - 2]));
  // A sine of amplitude 0.5 at 440 Hz moves at most 2*pi*440/44100*0.5 of full scale per frame.
  EXPECT_LE(largestStep, static_cast<int>(32768 * 0.5 * 2 * M_PI * 440 / 44100) + 2);
  EXPECT_TRUE(m_lib.IsPlaying(voice));
  EXPECT_EQ(m_lib.CurrentPosition(voice), 20000u % 4410u);
  EXPECT_GT(Rms(out, 0, 15000, 20000), 0.3);
}

TEST_F(Mixing, ASampleEndsAndItsVoiceCanBeTakenAgain) {
  const pa::SampleId sample = LoadSine(pa::mode::TwoD, 0.05);
  const int voice = m_lib.Play(pa::kAnyVoice, sample, false);
  EXPECT_EQ(m_lib.BusyVoices(), 1);
  const auto out = Pull(4410);
  EXPECT_FALSE(m_lib.IsPlaying(voice));
  EXPECT_EQ(Peak(out, 0, 2300, 4410), 0);
  EXPECT_EQ(m_lib.BusyVoices(), 0);
  EXPECT_EQ(m_lib.CurrentSample(voice), sample);
}

TEST_F(Mixing, StopFreesTheVoiceAndItsHandleGoesStale) {
  const pa::SampleId sample = LoadSine();
  const int voice = m_lib.Play(pa::kAnyVoice, sample, false);
  Pull(100);
  ASSERT_TRUE(m_lib.StopVoice(voice));
  EXPECT_EQ(m_lib.BusyVoices(), 0);
  EXPECT_EQ(Peak(Pull(1000), 0, 0, 1000), 0);
  EXPECT_FALSE(m_lib.IsPlaying(voice));
  EXPECT_EQ(m_lib.GetError(), pa::kErrInvalidParam);
  // The voice goes to the next sound; the old handle cannot reach it.
  const int next = m_lib.Play(pa::kAnyVoice, sample, false);
  EXPECT_EQ(next & 0xFFF, voice & 0xFFF);
  EXPECT_NE(next, voice);
  EXPECT_FALSE(m_lib.StopVoice(voice));
  EXPECT_TRUE(m_lib.IsPlaying(next));
}

TEST_F(Mixing, TheThirtyThirdVoiceOfThirtyTwoFails) {
  const pa::SampleId sample = LoadSine();
  for (int i = 0; i < 32; ++i) ASSERT_GE(m_lib.Play(pa::kAnyVoice, sample, false), 0) << i;
  EXPECT_EQ(m_lib.BusyVoices(), 32);
  EXPECT_EQ(m_lib.Play(pa::kAnyVoice, sample, false), -1);
  EXPECT_EQ(m_lib.GetError(), pa::kErrNoFreeVoice);
  EXPECT_EQ(m_lib.BusyVoices(), 32);
  // 32 voices at 0.5 add far past full scale: limited below it, not wrapped.
  const auto out = Pull(1000);
  EXPECT_GT(Peak(out, 0, 0, 1000), int(0.95 * 32768));
  EXPECT_LT(Peak(out, 0, 0, 1000), 32767);
  for (size_t i = 0; i < 1000; ++i) {
    const double s = std::sin(2.0 * M_PI * 441.0 * i / 44100);
    if (std::abs(s) > 0.1) {
      ASSERT_EQ(out[i * 2] > 0, s > 0) << i;  // wrapping would flip the sign
    }
  }
}

TEST_F(Mixing, FreeingASampleStopsItsVoices) {
  const pa::SampleId sample = LoadSine();
  const int voice = m_lib.Play(pa::kAnyVoice, sample, false);
  Pull(10);
  EXPECT_EQ(m_lib.LiveSamples(), 1);
  ASSERT_TRUE(m_lib.FreeSample(sample));
  EXPECT_EQ(m_lib.LiveSamples(), 0);
  EXPECT_EQ(m_lib.BusyVoices(), 0);
  EXPECT_FALSE(m_lib.IsPlaying(voice));
  EXPECT_EQ(Peak(Pull(500), 0, 0, 500), 0);
  EXPECT_EQ(m_lib.Play(pa::kAnyVoice, sample, false), -1);
  EXPECT_EQ(m_lib.GetError(), pa::kErrInvalidParam);
}

TEST_F(Mixing, HardwareThreeDSamplesPlayAsMono) {
  // Left and right differ in the file; forced to mono they play the same on both sides.
  std::vector<float> frames = Sine(44100, 2, 0.2, 441.0, 0.4);
  for (size_t i = 1; i < frames.size(); i += 2) frames[i] = 0.0f;
  const pa::SampleId sample = LoadBytes(MakeWav(44100, 2, 16, frames), pa::mode::Hardware3DMono);
  m_lib.Play(pa::kAnyVoice, sample, false);
  const auto out = Pull(4410);
  for (size_t i = 0; i < 4410; ++i) ASSERT_EQ(out[i * 2], out[i * 2 + 1]) << i;
  EXPECT_NEAR(Peak(out, 0, 0, 4410) / 32768.0, 0.2, 0.003);
}

// Two voices whose sum just reaches full scale: the peaks are bent below it, not cut flat there
// (the samples around a peak still differ).
TEST_F(Mixing, ASumAtFullScaleIsBentBelowItNotCut) {
  const pa::SampleId sample = LoadSine();
  for (int v = 0; v < 2; ++v) m_lib.SetPaused(m_lib.Play(pa::kAnyVoice, sample, true), false);
  const auto out = Pull(4410);
  const int highest = Peak(out, 0, 0, 4410);
  int flat = 0;
  for (size_t i = 2; i < out.size(); i += 2) flat += out[i] == out[i - 2] && std::abs(int(out[i])) == highest;
  EXPECT_LT(highest, 32767);
  EXPECT_GT(highest, int(0.9 * 32768));
  EXPECT_LT(flat, 10) << "the peaks are cut flat";
}

TEST_F(Mixing, TheExternalVoiceMixesAtItsVolume) {
  pa::ExternalVoice* external = m_lib.External();
  ASSERT_NE(external, nullptr);
  const auto frames = Sine(44100, 2, 0.1, 441.0, 0.8);
  EXPECT_EQ(external->Write(frames.data(), 4410), 4410u);
  external->SetVolume(0.5f);
  const auto out = Pull(4410);
  EXPECT_NEAR(Peak(out, 0, 0, 4410) / 32768.0, 0.4, 0.002);
  EXPECT_NEAR(Peak(out, 1, 0, 4410) / 32768.0, 0.4, 0.002);
  EXPECT_EQ(external->Queued(), 0u);
  // A clear drops what is queued.
  external->Write(frames.data(), 4410);
  external->Clear();
  EXPECT_EQ(Peak(Pull(100), 0, 0, 100), 0);
}

TEST_F(Mixing, AnEchoRepeatsTheSoundAtTheSetDelay) {
  // A 10 ms burst, then silence; echo 50 % wet, no feedback, 200 ms on both sides.
  std::vector<float> burst = Sine(44100, 1, 0.5, 1000.0, 0.8);
  std::fill(burst.begin() + 441, burst.end(), 0.0f);
  const pa::SampleId sample = LoadBytes(MakeWav(44100, 1, 16, burst), pa::mode::TwoD | pa::mode::Effects);
  const int voice = m_lib.Play(pa::kAnyVoice, sample, true);
  const int echo = m_lib.EnableEffect(voice, pa::fx::Echo);
  ASSERT_GE(echo, 0);
  ASSERT_TRUE(m_lib.SetEcho(echo, 50.0f, 0.0f, 200.0f, 200.0f, 0));
  m_lib.SetPaused(voice, false);
  const auto out = Pull(22050);
  EXPECT_NEAR(Peak(out, 0, 0, 441) / 32768.0, 0.4, 0.01);            // the dry half
  EXPECT_EQ(Peak(out, 0, 600, 8800), 0);                             // nothing in between
  EXPECT_NEAR(Peak(out, 0, 8820, 8820 + 441) / 32768.0, 0.4, 0.01);  // the copy, 8820 frames later
  EXPECT_EQ(Peak(out, 0, 9400, 22050), 0);
}

TEST_F(Mixing, EffectsNeedASampleLoadedForThemAndUnheardTypesKeepTheirSettings) {
  const int plain = m_lib.Play(pa::kAnyVoice, LoadSine(), true);
  EXPECT_EQ(m_lib.EnableEffect(plain, pa::fx::Echo), -1);
  EXPECT_EQ(m_lib.GetError(), pa::kErrInvalidParam);

  const int voice = m_lib.Play(pa::kAnyVoice, LoadSine(pa::mode::TwoD | pa::mode::Effects), true);
  const int chorus = m_lib.EnableEffect(voice, pa::fx::Chorus);
  ASSERT_GE(chorus, 0);
  const float params[7] = {10, 20, 30, 1, 2, 3, 1};
  ASSERT_TRUE(m_lib.SetEffectParams(chorus, params, 7));
  EXPECT_FALSE(m_lib.SetEcho(chorus, 1, 1, 1, 1, 0));  // not an echo
  float back[pa::fx::kParamCount];
  ASSERT_TRUE(m_lib.GetEffectParams(chorus, back));
  EXPECT_EQ(back[2], 30.0f);
  // A stored-only effect changes nothing heard.
  m_lib.SetPaused(voice, false);
  EXPECT_NEAR(Peak(Pull(4410), 0, 0, 4410) / 32768.0, 0.5, 0.002);
  EXPECT_TRUE(m_lib.DisableEffects(voice));
  EXPECT_FALSE(m_lib.GetEffectParams(chorus, back));
}

TEST_F(Mixing, AParametricEqualiserLiftsItsBand) {
  const pa::SampleId sample =
      LoadBytes(MakeWav(44100, 1, 16, Sine(44100, 1, 0.5, 1000.0, 0.1)), pa::mode::TwoD | pa::mode::Effects);
  const int voice = m_lib.Play(pa::kAnyVoice, sample, true);
  const int eq = m_lib.EnableEffect(voice, pa::fx::ParamEq);
  ASSERT_TRUE(m_lib.SetParamEq(eq, 1000.0f, 12.0f, 12.0f));
  m_lib.SetPaused(voice, false);
  const auto out = Pull(22050);
  // +12 dB is four times the amplitude.
  EXPECT_NEAR(Rms(out, 0, 4410, 22050) / (0.1 / std::sqrt(2.0)), 3.98, 0.2);
}

TEST_F(Mixing, BadHandlesAndCallsBeforeInitAreRefused) {
  EXPECT_FALSE(m_lib.SetVolume(12345, 10));
  EXPECT_EQ(m_lib.GetError(), pa::kErrInvalidParam);
  EXPECT_EQ(m_lib.GetVolume(-1), 0);
  EXPECT_FALSE(m_lib.Init(44100, 32, 0));
  EXPECT_EQ(m_lib.GetError(), pa::kErrAlreadyInitialised);
  m_lib.Close();
  EXPECT_EQ(m_lib.Play(pa::kAnyVoice, pa::SampleId{1}, false), -1);
  EXPECT_EQ(m_lib.GetError(), pa::kErrNotInitialised);
  std::vector<int16_t> out(200, 7);
  m_lib.Mix(out.data(), 100);
  EXPECT_EQ(Peak(out, 0, 0, 100), 0);
  EXPECT_FALSE(m_lib.Init(44100, 0, 0));
  EXPECT_EQ(m_lib.GetError(), pa::kErrInvalidParam);
}

}  // namespace
