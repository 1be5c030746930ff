// The scene music as a player hears it: the built program runs headless on the play clock of a
// .play file and writes the mix of each 0.1 s frame to a file (QUILLANE_MIX_FILE), so a recording
// holds the same samples on a busy machine as on an idle one and takes CPU time, not wall time.
// Started from a savegame in the Office or on the Quay (so no spoken line plays over it), the
// recording must hold the scene's Ogg file at the level the music volume option gives (0.6 of the
// file), found by correlation: a coarse match of the loudness envelopes, then a fine one of the
// samples, with no error or warning in the log. Neither these recordings nor one of a new game's
// opening, where lines are spoken over the music, holds a sample at full scale. Recorded for two
// and a half minutes each, the rooms' music loops without a gap and the Quay's water lies under
// it. One short recording goes through a real audio device instead (SDL's disk driver, at the
// wall clock's pace): the Office's music reaches it as it is.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "SavegameGenerator.h"
#include "platform/audio/Decoder.h"
#include "support/HeadlessGpu.h"
#include "support/ProgramRun.h"
#include "support/TimeScale.h"

namespace recordingtest {
namespace {

namespace fs = std::filesystem;

constexpr int kRate = 22050;          // the Ogg files' rate; the mix (44.1 kHz stereo) is halved to it
constexpr double kSeconds = 20.0;     // of the scene's music compared with its file
constexpr double kDeviceSeconds = 6.0;  // of it recorded through the device
constexpr int kBlock = kRate / 50;    // 20 ms loudness blocks for the coarse match
constexpr float kMusicVolume = 0.6f;  // "Sfx/MusicVolume" of the bundled config.xml, master 1
constexpr size_t kMixFrameBytes = 4;  // 16-bit stereo

// The scene's music file, mono, at kRate.
std::vector<float> DecodeMusic(const std::string& path) {
  std::vector<float> out;
  std::string problem;
  std::unique_ptr<platform::audio::Decoder> decoder =
      platform::audio::OpenDecoder(platform::audio::ByteSource::FromFile(std::fopen(path.c_str(), "rb")), problem);
  if (!decoder || decoder->Rate() != kRate) {
    ADD_FAILURE() << path << ": " << problem;
    return out;
  }
  std::vector<float> block(4096 * decoder->Channels());
  for (long n; (n = decoder->Read(block.data(), 4096)) > 0;)
    for (long i = 0; i < n; ++i) {
      float sum = 0.0f;
      for (uint32_t c = 0; c < decoder->Channels(); ++c) sum += block[size_t(i) * decoder->Channels() + c];
      out.push_back(sum / static_cast<float>(decoder->Channels()));
    }
  return out;
}

// The recorded mix from byte offset on: both channels averaged, pairs of frames averaged (a plain
// low-pass before halving the rate), scaled to -1..1.
std::vector<float> ReadMix(const std::string& path, size_t offset) {
  const std::string bytes = testprogram::ReadFile(path);
  std::vector<float> out;
  offset -= offset % (2 * kMixFrameBytes);
  for (size_t at = offset; at + 2 * kMixFrameBytes <= bytes.size(); at += 2 * kMixFrameBytes) {
    int sum = 0;
    for (size_t k = 0; k < 4; ++k) {
      int16_t v;
      std::memcpy(&v, bytes.data() + at + 2 * k, 2);
      sum += v;
    }
    out.push_back(static_cast<float>(sum) / (4.0f * 32768.0f));
  }
  return out;
}

std::vector<float> Envelope(const std::vector<float>& s) {
  std::vector<float> e(s.size() / kBlock);
  for (size_t b = 0; b < e.size(); ++b) {
    double sum = 0.0;
    for (int i = 0; i < kBlock; ++i) sum += double(s[b * kBlock + i]) * s[b * kBlock + i];
    e[b] = static_cast<float>(std::sqrt(sum / kBlock));
  }
  return e;
}

// Normalised correlation of a[0..n) with b[lag..lag+n).
double Correlation(const std::vector<float>& a, const std::vector<float>& b, size_t lag, size_t n,
                   double* gain = nullptr) {
  double ab = 0.0, aa = 0.0, bb = 0.0;
  for (size_t i = 0; i < n; ++i) {
    ab += double(a[i]) * b[lag + i];
    aa += double(a[i]) * a[i];
    bb += double(b[lag + i]) * b[lag + i];
  }
  if (gain) *gain = aa > 0.0 ? ab / aa : 0.0;
  return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

struct st_Match {
  double correlation = 0.0, gain = 0.0;
  size_t lag = 0;  // samples into the recording where the music's first sample lies
};

// Where in the recording the music lies, and how loud: the envelopes' best lag, then the samples'
// best lag within one block of it, over seconds of music.
st_Match FindMusic(const std::vector<float>& music, const std::vector<float>& mix, double seconds = kSeconds) {
  st_Match best;
  const size_t n = static_cast<size_t>(seconds * kRate);
  if (music.size() < n || mix.size() < n) return best;
  const std::vector<float> em = Envelope(music), er = Envelope(mix);
  const size_t blocks = n / kBlock;
  size_t coarse = 0;
  double top = -1.0;
  for (size_t lag = 0; lag + blocks <= er.size(); ++lag) {
    const double c = Correlation(em, er, lag, blocks);
    if (c > top) top = c, coarse = lag;
  }
  const size_t from = coarse * kBlock > size_t(kBlock) ? coarse * kBlock - kBlock : 0;
  for (size_t lag = from; lag <= coarse * kBlock + kBlock && lag + n <= mix.size(); ++lag) {
    double gain = 0.0;
    const double c = Correlation(music, mix, lag, n, &gain);
    if (c > best.correlation) best = {c, gain, lag};
  }
  return best;
}

// Runs the program with the user folder user on the play clock until the scene is shown and
// seconds more have been played, its mix written frame by frame to the file mix; the run's log in
// log. Drawn small: only the sound is looked at.
void RecordSteppedMix(const testprogram::TempDir& dir, const std::string& user, const std::string& scene,
                      double seconds, std::string* mix, std::string* log) {
  *mix = dir.path("mix.raw"), *log = dir.path("run.log");
  const std::string play = dir.path("record.play");
  std::ofstream(play) << "wait scene " << scene << " 900\nwait frames " << static_cast<int>(seconds * 10.0) << "\n";
  const int status =
      testprogram::RunProgram({"QUILLANE_HEADLESS=1", "QUILLANE_INPUT=" + play, "QUILLANE_MIX_FILE=" + *mix}, user, *log);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testprogram::ReadFile(*log);
}

// The user folder's config.xml for a recording: the bundled one with edits, on a small display.
void WriteRecordingConfig(const std::string& user, const char* devTools, const char* scriptWarnings) {
  testprogram::WriteUserConfig(user, {{"<DevTools ShowIntroMovies=\"1\"/>", devTools},
                                      {"Debug_ScriptWarningLevel=\"0\"", scriptWarnings},
                                      {"Width=\"1024\" Height=\"768\"", "Width=\"320\" Height=\"240\""}});
}

// The recorded samples from byte offset on that stand at full scale (either limit of 16 bits).
size_t FullScaleSamples(const std::string& path, size_t offset) {
  const std::string bytes = testprogram::ReadFile(path);
  size_t count = 0;
  for (size_t at = offset - offset % 2; at + 2 <= bytes.size(); at += 2) {
    int16_t v;
    std::memcpy(&v, bytes.data() + at, 2);
    count += v == 32767 || v == -32768;
  }
  return count;
}

struct st_Scene {
  const char* name;
  const char* music;
  std::vector<savegen::st_Character> characters;
};

void PrintTo(const st_Scene& scene, std::ostream* out) { *out << scene.name; }

// The longest run of silence in the mix (samples below -60 dB), in seconds.
double LongestSilence(const std::vector<float>& mix) {
  size_t run = 0, longest = 0;
  for (const float v : mix) {
    run = std::fabs(v) < 0.001f ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return static_cast<double>(longest) / kRate;
}

// Where the mix first stops being silent (the start of a 20 ms block above -60 dB), or its size.
size_t FirstSound(const std::vector<float>& mix) {
  const std::vector<float> levels = Envelope(mix);
  for (size_t b = 0; b < levels.size(); ++b)
    if (levels[b] >= 0.001f) return b * kBlock;
  return mix.size();
}

// Runs the program with the user folder user, its mix written by SDL's disk driver to mix as the
// device plays it, until the recording holds seconds of sound (and half a second more) after the
// log line loaded; *start is the recording's size at that line. The music starts some frames after
// the line, later on a busy machine, which waits longer for it.
void RecordDeviceMix(const std::string& user, const std::string& mix, const std::string& log, const std::string& loaded,
                     double seconds, size_t* start) {
  const pid_t pid =
      testprogram::StartProgram({"QUILLANE_HEADLESS=1", "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + mix}, user, log);
  ASSERT_GT(pid, 0);
  const bool reached = testprogram::WaitForLog(log, loaded, 120000);
  *start = reached && fs::exists(mix) ? fs::file_size(mix) : 0;
  const auto heard = [&] {
    const std::vector<float> recorded = ReadMix(mix, *start);
    return static_cast<double>(recorded.size() - FirstSound(recorded)) / kRate;
  };
  // The device takes the mix at the wall clock's pace, slower on a busy machine: the guard only
  // ends a run that hangs.
  const bool recorded = reached && testsupport::WaitUntil([&] { return heard() >= seconds + 0.5; }, 300000, 100);
  int status = 0;
  testprogram::StopProgram(pid, &status);
  ASSERT_TRUE(reached) << testprogram::ReadFile(log);
  ASSERT_TRUE(recorded) << "the device's recording stopped short of " << seconds + 0.5 << " s of sound\n"
                        << testprogram::ReadFile(log);
}

double Rms(const std::vector<float>& s, size_t from, size_t n) {
  double sum = 0.0;
  for (size_t i = from; i < from + n && i < s.size(); ++i) sum += double(s[i]) * s[i];
  return n > 0 ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

// The user folder of a start from a savegame in the scene.
std::string SceneUser(const st_Scene& scene, const testprogram::TempDir& dir) {
  const std::string user = dir.path("user");
  savegen::st_Plan plan;
  plan.scene = scene.name;
  plan.characters = scene.characters;
  fs::create_directories(user + "/Savegames");
  savegen::WriteFile(user + "/Savegames/scene.sav", savegen::Generate(plan).bytes);
  WriteRecordingConfig(user, "<DevTools ShowIntroMovies=\"1\" QuickLaunch=\"game\" Savegame=\"scene.sav\"/>",
                       "Debug_ScriptWarningLevel=\"1\"");
  return user;
}

bool CanRun(const char* music) {
  return fs::exists(testprogram::ProgramPath()) && testsupport::HeadlessGpuAvailable() &&
         fs::exists(fs::path(QUILLANE_DATA_DIR) / music);
}

class SceneMusic : public ::testing::TestWithParam<st_Scene> {
 protected:
  void SetUp() override {
    if (!CanRun(GetParam().music)) GTEST_SKIP() << "no program, no demo data or no headless graphics device";
  }

  // The scene's mix recorded for seconds after the scene is shown; none of it at full scale.
  void Record(double seconds) {
    ASSERT_NO_FATAL_FAILURE(
        RecordSteppedMix(m_dir, SceneUser(GetParam(), m_dir), GetParam().name, seconds, &m_mix, &m_log));
    EXPECT_EQ(FullScaleSamples(m_mix, 0), 0u);
  }

  testprogram::TempDir m_dir{"quillane_music"};
  std::string m_mix, m_log;
};

TEST_P(SceneMusic, TheRecordedMixHoldsTheScenesMusicAtTheMusicVolume) {
  ASSERT_NO_FATAL_FAILURE(Record(kSeconds + 2.0));
  const st_Match match =
      FindMusic(DecodeMusic(std::string(QUILLANE_DATA_DIR) + "/" + GetParam().music), ReadMix(m_mix, 0));
  EXPECT_GT(match.correlation, 0.9) << "the music is not what the recording holds (lag " << match.lag << ")";
  EXPECT_NEAR(match.gain, kMusicVolume, 0.08) << "correlation " << match.correlation;
  // The scene's script names its music's playlist so that it plays without a word in the log.
  for (const char* complaint : {"ERROR:", "Warning:"})
    EXPECT_EQ(testprogram::ReadFile(m_log).find(complaint), std::string::npos) << testprogram::ReadFile(m_log);
}

// Two and a half minutes in each room, five in all: the music loops several times and never
// falls silent, not even for 10 ms where a run of the tune joins the next, nothing reaches full
// scale, and on the Quay the water's loop lies under the music at the ambience level (0.35 in the
// script, 0.7 the option).
TEST_P(SceneMusic, TwoAndAHalfMinutesLoopWithoutAGapAndReachNoFullScale) {
  constexpr double kLong = 150.0;
  const st_Scene& scene = GetParam();
  ASSERT_NO_FATAL_FAILURE(Record(kLong + 2.0));
  std::vector<float> recorded = ReadMix(m_mix, 0);
  recorded.erase(recorded.begin(), recorded.begin() + static_cast<std::ptrdiff_t>(FirstSound(recorded)));
  ASSERT_GE(recorded.size(), static_cast<size_t>(kLong * kRate)) << "the music starts late";
  recorded.resize(static_cast<size_t>(kLong * kRate));
  const std::vector<float> music = DecodeMusic(std::string(QUILLANE_DATA_DIR) + "/" + scene.music);
  EXPECT_GT(recorded.size(), 3 * music.size()) << "the music is not heard looping";
  // The first second is the scene's fade in.
  EXPECT_LE(LongestSilence(std::vector<float>(recorded.begin() + kRate, recorded.end())), 0.01);
  if (std::string(scene.name) == "Quay") {
    // What the music does not explain is the water, at its level.
    const st_Match match = FindMusic(music, recorded);
    ASSERT_GT(match.correlation, 0.5);
    const size_t n = static_cast<size_t>(kSeconds * kRate);
    std::vector<float> rest(n);
    for (size_t i = 0; i < n; ++i) rest[i] = recorded[match.lag + i] - static_cast<float>(match.gain) * music[i];
    const std::vector<float> water = DecodeMusic(std::string(QUILLANE_DATA_DIR) + "/sfx/water.ogg");
    const double expected = 0.35 * 0.7 * Rms(water, 0, water.size());
    EXPECT_NEAR(Rms(rest, 0, n) / expected, 1.0, 0.5) << "the water's level is not under the music";
  }
  EXPECT_EQ(testprogram::ReadFile(m_log).find("ERROR:"), std::string::npos) << testprogram::ReadFile(m_log);
}

INSTANTIATE_TEST_SUITE_P(
    Demo, SceneMusic,
    ::testing::Values(st_Scene{"Office", "msx/office.ogg", {{"Quillane", "quillane"}, {"Odo", "odo"}}},
                      st_Scene{"Quay", "msx/quay.ogg", {{"Quillane", "quillane"}, {"Pell", "pell"}}}),
    [](const ::testing::TestParamInfo<st_Scene>& param) { return std::string(param.param.name); });

// A new game's opening in the Office: Odo and Quillane speak over the Office music at the bundled
// levels, and the recorded mix holds no sample at full scale.
TEST(SceneMix, SpeechOverTheMusicReachesNoFullScale) {
  if (!CanRun("msx/office.ogg")) GTEST_SKIP() << "no program, no demo data or no headless graphics device";
  testprogram::TempDir dir("quillane_mix");
  const std::string user = dir.path("user");
  WriteRecordingConfig(user, "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\"/>",
                       "Debug_ScriptWarningLevel=\"2\"");
  std::string mix, log;
  ASSERT_NO_FATAL_FAILURE(RecordSteppedMix(dir, user, "Office", kSeconds, &mix, &log));
  EXPECT_NE(testprogram::ReadFile(log).find("Says("), std::string::npos) << "no line was spoken";
  EXPECT_EQ(FullScaleSamples(mix, 0), 0u);
}

// The same music through a real audio device, recorded by SDL's disk driver as it plays: the
// Office's music reaches the device at the music volume, and the log holds no complaint but the
// one a device starved by a busy machine may give (a stream that ran dry; the stepped mix above
// judges the seams).
TEST(DeviceMix, TheScenesMusicReachesTheSoundDevice) {
#ifdef QUILLANE_SANITIZE
  GTEST_SKIP() << "the mix is not recorded in real time under a sanitizer";
#endif
  const st_Scene office{"Office", "msx/office.ogg", {{"Quillane", "quillane"}, {"Odo", "odo"}}};
  if (!CanRun(office.music)) GTEST_SKIP() << "no program, no demo data or no headless graphics device";
  testprogram::TempDir dir("quillane_device");
  const std::string mix = dir.path("mix.raw"), log = dir.path("run.log");
  size_t start = 0;
  ASSERT_NO_FATAL_FAILURE(
      RecordDeviceMix(SceneUser(office, dir), mix, log, "Office: OnLoadScene", kDeviceSeconds, &start));
  const st_Match match =
      FindMusic(DecodeMusic(std::string(QUILLANE_DATA_DIR) + "/" + office.music), ReadMix(mix, start), kDeviceSeconds);
  EXPECT_GT(match.correlation, 0.9) << "the music is not what the device got (lag " << match.lag << ")";
  EXPECT_NEAR(match.gain, kMusicVolume, 0.08) << "correlation " << match.correlation;
  EXPECT_EQ(FullScaleSamples(mix, start), 0u);
  std::istringstream lines(testprogram::ReadFile(log));
  for (std::string line; std::getline(lines, line);) {
    const bool complaint = line.find("ERROR:") != std::string::npos || line.find("Warning:") != std::string::npos;
    EXPECT_FALSE(complaint && line.find("' ran dry ") == std::string::npos) << line;
  }
}

}  // namespace
}  // namespace recordingtest
