// The play clock's mix file when it cannot be written: the built program, on a .play file, ends
// the run with exit code 1 and a line naming the file and the cause, on a full disk and on a pipe
// whose reader went away, instead of ending well over a cut recording or dying of SIGPIPE.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/HeadlessGpu.h"
#include "support/ProgramRun.h"
#include "support/TimeScale.h"

namespace recordingtest {
namespace {

namespace fs = std::filesystem;

class MixFile : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(testprogram::ProgramPath()) || !testsupport::HeadlessGpuAvailable())
      GTEST_SKIP() << "no program or no headless graphics device";
    testprogram::WriteUserConfig(m_user, {{"Width=\"1024\" Height=\"768\"", "Width=\"320\" Height=\"240\""}});
    std::ofstream(m_play) << "wait frames 3000\n";
  }
  std::vector<std::string> Environment(const std::string& mix) const {
    return {"QUILLANE_HEADLESS=1", "QUILLANE_INPUT=" + m_play, "QUILLANE_MIX_FILE=" + mix};
  }
  void ExpectFailedWith(int status, const std::string& line) const {
    const std::string log = testprogram::ReadFile(m_log);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1)
        << (WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status)) : "status " + std::to_string(status))
        << "\n" << log;
    EXPECT_NE(log.find(line), std::string::npos) << log;
  }

  testprogram::TempDir m_dir{"quillane_mixfile"};
  const std::string m_user = m_dir.path("user"), m_play = m_dir.path("long.play"), m_log = m_dir.path("run.log");
};

TEST_F(MixFile, AFullDiskEndsTheRunWithExitCodeOneAndTheCause) {
  const int status = testprogram::RunProgram(Environment("/dev/full"), m_user, m_log);
  ExpectFailedWith(status, "ERROR: mix file '/dev/full' not written: No space left on device");
}

TEST_F(MixFile, APipeWhoseReaderGoesAwayEndsTheRunWithExitCodeOneAndTheCause) {
  const std::string fifo = m_dir.path("mix.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // the program holds no reader
  ASSERT_GE(reader, 0);
  const pid_t pid = testprogram::StartProgram(Environment(fifo), m_user, m_log);
  ASSERT_GT(pid, 0);
  char bytes[4096];
  const bool heard = testsupport::WaitUntil([&] { return read(reader, bytes, sizeof bytes) > 0; }, 120000);
  close(reader);  // the pipe fills while nobody reads, so the program is still writing
  int status = 0;
  const bool ended = testsupport::WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 120000);
  if (!ended) testprogram::StopProgram(pid, &status);
  ASSERT_TRUE(heard) << "no mix came through the pipe\n" << testprogram::ReadFile(m_log);
  ASSERT_TRUE(ended) << "the program wrote on\n" << testprogram::ReadFile(m_log);
  ExpectFailedWith(status, "ERROR: mix file '" + fifo + "' not written: Broken pipe");
}

}  // namespace
}  // namespace recordingtest
