// The audiomix tool end to end: two generated files mixed into a WAV that sox measures.
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AudioFixture.h"
#include "support/ChildProcess.h"
#include "support/SpecialTargets.h"

using audiotest::AudioTest;
using audiotest::MakeOgg;
using audiotest::MakeWav;
using audiotest::Sine;

namespace {

// Runs args[0] with the rest as its arguments to its end; what it wrote to stdout and stderr.
// *exitCode: its exit code, -1 when it did not exit.
std::string RunTool(std::vector<std::string> args, int* exitCode = nullptr) {
  int status = 0;
  const std::string out = testsupport::Capture({.args = std::move(args)}, testsupport::en_Capture::Both, &status);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

// The number after label in sox's "stat" report; -1 when missing.
double StatValue(const std::string& report, const std::string& label) {
  const size_t at = report.find(label);
  if (at == std::string::npos) return -1.0;
  const size_t colon = report.find(':', at);
  return std::atof(report.c_str() + colon + 1);
}

class AudioMixTool : public AudioTest {};

TEST_F(AudioMixTool, TwoFilesMixToTheLongerLengthAndTheSummedLevel) {
  if (testsupport::FindProgram("sox").empty()) GTEST_SKIP() << "sox is not installed (scripts/install-deps.sh adds it)";
  // One second at amplitude 0.3 (WAV, 44.1 kHz) and two seconds at 0.2 (Ogg, 22.05 kHz, stereo).
  const std::string a = WriteFile("a.wav", MakeWav(44100, 1, 16, Sine(44100, 1, 1.0, 441.0, 0.3)));
  const std::string b = WriteFile("b.ogg", MakeOgg(22050, 2, Sine(22050, 2, 2.0, 441.0, 0.2)));
  const std::string out = m_folder + "/mix.wav";
  const std::string log = RunTool({QUILLANE_AUDIOMIX, a, b, "-o", out});
  ASSERT_NE(log.find("88200 frames"), std::string::npos) << log;

  const std::string stat = RunTool({"sox", out, "-n", "stat"});
  EXPECT_NEAR(StatValue(stat, "Length (seconds)"), 2.0, 0.001) << stat;
  // Both sines are in phase: the first second peaks at 0.5.
  EXPECT_NEAR(StatValue(stat, "Maximum amplitude"), 0.5, 0.02) << stat;
  // RMS over both seconds: sqrt((0.5^2 + 0.2^2) / 2 / 2).
  EXPECT_NEAR(StatValue(stat, "RMS     amplitude"), std::sqrt((0.25 + 0.04) / 4.0), 0.01) << stat;
  const std::string late = RunTool({"sox", out, "-n", "trim", "1.1", "0.8", "stat"});
  EXPECT_NEAR(StatValue(late, "Maximum amplitude"), 0.2, 0.01) << late;
}

TEST_F(AudioMixTool, ABrokenInputFailsTheRunWithItsName) {
  const std::string bad = WriteFile("bad.wav", std::vector<uint8_t>(64, 1));
  const std::string out = m_folder + "/never.wav";
  int exitCode = 0;
  const std::string log = RunTool({QUILLANE_AUDIOMIX, bad, "-o", out}, &exitCode);
  EXPECT_NE(log.find("ERROR: sound '" + bad + "'"), std::string::npos) << log;
  EXPECT_EQ(exitCode, 1) << log;
  EXPECT_FALSE(std::ifstream(out).good());
}

// The WAV goes through the safe writer: a named pipe at the output with a reader waiting gets the
// file and stays a pipe; a link at a temporary name leaves the file it points to as it was.
TEST_F(AudioMixTool, APipeAtTheOutputIsWrittenThroughAndALinkAtATemporaryNameIsNotFollowed) {
  const std::string in = WriteFile("in.wav", MakeWav(44100, 1, 16, Sine(44100, 1, 0.1, 441.0, 0.3)));
  const std::string pipe = m_folder + "/pipe.wav";
  testsupport::cl_PipeReader reader(pipe);
  ASSERT_TRUE(reader.IsOpen());
  int exitCode = -1;
  std::string log = RunTool({QUILLANE_AUDIOMIX, in, "-o", pipe}, &exitCode);
  EXPECT_EQ(exitCode, 0) << log;
  EXPECT_EQ(reader.Stop().compare(0, 4, "RIFF"), 0);
  EXPECT_EQ(testsupport::EntryKind(pipe), "pipe");

  const std::string out = m_folder + "/mix.wav", victim = m_folder + "/victim";
  std::ofstream(victim) << "kept";
  std::filesystem::create_symlink(victim, out + ".tmp");
  log = RunTool({QUILLANE_AUDIOMIX, in, "-o", out}, &exitCode);
  EXPECT_EQ(exitCode, 0) << log;
  std::ifstream kept(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
  EXPECT_EQ(testsupport::EntryKind(out), "file");
}

}  // namespace
