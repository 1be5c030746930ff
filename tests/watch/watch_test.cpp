// The watchdog (quillane-test-watch) and the tests' hang guards judge stillness, never speed:
//   - a test whose processes all stand still is ended, named as hung with where each stood, and
//     nothing it started outlives it (an orphan neither);
//   - an endless loop is ended at its processor-time budget;
//   - a test that shares its one processor with four busy loops runs to its end, however slowly;
//   - exit codes and deaths by signal pass through;
//   - QUILLANE_TEST_TIME_SCALE is read as one number by the guards, the watchdog and CTest's
//     limits, and no value of it keeps CTest from reading the tests;
//   - a guard inside a test gives up on a still wait and never on one whose child works.
#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/ScratchFolder.h"
#include "support/TimeScale.h"

namespace {

namespace fs = std::filesystem;

struct st_Outcome {
  int status = 0;
  std::string output;
};

// The watchdog run on `sh -c script` with the options given, its report in report (when not empty).
st_Outcome Watch(const std::vector<std::string>& options, const std::string& script, const std::string& report = {},
                 std::function<void()> prepare = {}) {
  testsupport::st_Command command;
  command.args = {QUILLANE_TEST_WATCH};
  command.args.insert(command.args.end(), options.begin(), options.end());
  command.args.insert(command.args.end(), {"/bin/sh", "-c", script});
  command.env = {"QUILLANE_TEST_KIND=unit", "QUILLANE_TEST_TIME_SCALE", "QUILLANE_TEST_WATCH_REPORT=" + report};
  command.prepare = std::move(prepare);
  st_Outcome outcome;
  outcome.output = testsupport::Capture(command, testsupport::en_Capture::Both, &outcome.status);
  return outcome;
}

std::string Read(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Runs(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

class TestWatch : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_dir.empty()); }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }

  fs::path m_dir = testsupport::MakeScratchFolder("quillane_watch");
};

TEST_F(TestWatch, AStillTestIsEndedAsHungAndNothingItStartedOutlivesIt) {
  // A child it waits for, and an orphan whose parent (a subshell) has ended: both sleep.
  const std::string child = Path("child"), orphan = Path("orphan");
  const st_Outcome outcome = Watch({"--still=2"}, "(sleep 1000 & echo $! > " + orphan + "); sleep 1000 & echo $! > " +
                                                      child + "; wait");
  ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
  EXPECT_EQ(WEXITSTATUS(outcome.status), 1) << outcome.output;
  EXPECT_NE(outcome.output.find("it hangs. Where it stood:"), std::string::npos) << outcome.output;
  EXPECT_NE(outcome.output.find("(sleep), state S"), std::string::npos) << outcome.output;
  for (const std::string& file : {child, orphan}) {
    const pid_t pid = std::atoi(Read(file).c_str());
    EXPECT_GT(pid, 0) << file;
    EXPECT_FALSE(Runs(pid)) << file << " still runs";
  }
}

TEST_F(TestWatch, AnEndlessLoopIsEndedAtItsProcessorBudget) {
  const st_Outcome outcome = Watch({"--budget=1"}, "while :; do :; done");
  ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
  EXPECT_EQ(WEXITSTATUS(outcome.status), 1);
  EXPECT_NE(outcome.output.find("past its budget of 1 s: it loops"), std::string::npos) << outcome.output;
}

// Four busy loops and the watched test on one processor: the test gets a fifth of it, or less with
// the rest of the machine busy too, and still runs to its end with a stillness window of 2 s.
TEST_F(TestWatch, ATestThatABusyMachineSlowsRunsToItsEnd) {
  cpu_set_t mine;
  ASSERT_EQ(sched_getaffinity(0, sizeof mine, &mine), 0);
  int processor = 0;
  while (!CPU_ISSET(processor, &mine)) ++processor;
  const auto pinned = [processor] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(processor, &one);
    sched_setaffinity(0, sizeof one, &one);
  };
  // Each loop a job of its own, as the watched test is (the kernel shares processors by session).
  const auto pinnedAlone = [pinned] {
    setsid();
    pinned();
  };
  std::vector<pid_t> loops;
  for (int i = 0; i < 4; ++i)
    loops.push_back(testsupport::Start({.args = {"/bin/sh", "-c", "while :; do :; done"}, .prepare = pinnedAlone}));
  const std::string report = Path("report");
  const st_Outcome outcome = Watch({"--still=2", "--budget=600"},
                                   "i=0; while [ $i -lt 400000 ]; do i=$((i+1)); done; exit 7", report, pinned);
  for (const pid_t loop : loops) testsupport::StopChild(loop, SIGKILL, 1000);
  ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
  EXPECT_EQ(WEXITSTATUS(outcome.status), 7) << outcome.output;
  // "wall cpu budget kind name": it ran slower than it worked.
  double wall = 0, cpu = 0;
  std::istringstream(Read(report)) >> wall >> cpu;
  EXPECT_GT(cpu, 0.0) << Read(report);
  EXPECT_GT(wall, cpu * 2) << Read(report);
}

TEST_F(TestWatch, ExitCodesAndDeathsBySignalPassThrough) {
  EXPECT_EQ(WEXITSTATUS(Watch({}, "exit 3").status), 3);
  const int status = Watch({}, "kill -SEGV $$").status;
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);
  EXPECT_EQ(WEXITSTATUS(Watch({"--still=0"}, "exit 0").status), 2) << "a limit of 0 s is no limit";
}

// The sanitizer build runs a few tests per process: the report names the batch as CTest does, and
// a watchdog that one of its tests runs names its own test.
TEST_F(TestWatch, ABatchIsReportedByItsNameAndItsTestsDoNotInheritIt) {
  const std::string report = Path("report");
  testsupport::st_Command command;
  command.args = {QUILLANE_TEST_WATCH, "/bin/sh", "-c", "echo \"inner=[$QUILLANE_TEST_NAME]\""};
  command.env = {"QUILLANE_TEST_KIND=unit", "QUILLANE_TEST_TIME_SCALE", "QUILLANE_TEST_WATCH_REPORT=" + report,
                 "QUILLANE_TEST_NAME=Suite.* (2 of 3)"};
  int status = -1;
  const std::string output = testsupport::Capture(command, testsupport::en_Capture::Out, &status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("inner=[]"), std::string::npos) << output;
  EXPECT_NE(Read(report).find(" unit Suite.* (2 of 3)\n"), std::string::npos) << Read(report);
}

// CTest reads this program's own tests with each value, and their limit is the watchdog's ceiling
// (and margin) times the scale the guards read.
TEST_F(TestWatch, EveryReaderTakesTheScaleAsOneNumberAndCTestReadsTheTestsWithAnyValue) {
  const std::string ctest = testsupport::FindProgram("ctest");
  if (ctest.empty()) GTEST_SKIP() << "no ctest";
  for (const char* value : {"0", "-1", "nan", "inf", "1e3", "1e30", "12345678901234567890", "2.5", "3x", ""}) {
    SCOPED_TRACE(value);
    const double scale = testsupport::AskedTimeScale(value);
    EXPECT_GE(scale, 1.0);
    EXPECT_LE(scale, testsupport::kMaxTimeScale);
    int status = 0;
    const std::string listing =
        testsupport::Capture({.args = {ctest, "--test-dir", QUILLANE_TEST_BINARY_DIR, "--show-only=json-v1"},
                              .env = {std::string("QUILLANE_TEST_TIME_SCALE=") + value}},
                             testsupport::en_Capture::Out, &status);
    EXPECT_EQ(status, 0) << listing;
    // A test of its own, or one of a batch's (the sanitizer build's): named in its command.
    EXPECT_NE(listing.find("TestWatch.ExitCodesAndDeathsBySignalPassThrough"), std::string::npos) << listing;
    const size_t timeout = listing.find("\"name\" : \"TIMEOUT\"");
    ASSERT_NE(timeout, std::string::npos) << listing;
    const size_t number = listing.find("\"value\" : ", timeout);
    ASSERT_NE(number, std::string::npos);
    EXPECT_DOUBLE_EQ(std::strtod(listing.c_str() + number + 10, nullptr), std::round(1800 * scale));
  }
}

TEST(HangGuard, AStillWaitEndsAndAWaitOnAWorkingChildDoesNot) {
  EXPECT_FALSE(testsupport::WaitUntil([] { return false; }, 1000));
  // A child that works for longer than the guard (some seconds of a shell's counting).
  const pid_t child =
      testsupport::Start({.args = {"/bin/sh", "-c", "i=0; while [ $i -lt 1500000 ]; do i=$((i+1)); done"}});
  ASSERT_GT(child, 0);
  int status = -1;
  EXPECT_TRUE(testsupport::WaitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, 1000));
  if (status == -1) testsupport::StopChild(child, SIGKILL, 1000);
}

}  // namespace
