// Programs a test starts end with it, however it ends: a test program killed outright (as a time
// limit or a crash ends one) leaves no game, headless or in a window, and no X server running,
// and the next test of the same scratch stem removes the scratch folder it could not.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/ProgramRun.h"

namespace {

namespace fs = std::filesystem;
using testprogram::ReadFile;

// Set: the test runs as the test program that is killed, and names the file of its report.
constexpr const char* kReportVariable = "QUILLANE_TEST_KILLED_REPORT";
constexpr int kStartMs = 120000;  // a program's start-up, generous for a loaded machine

// The start time of a running process, which tells a reused pid; empty once it ended.
std::string StartTime(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  const size_t name = stat.rfind(')');  // the name may hold spaces and parentheses
  if (name == std::string::npos) return "";
  std::istringstream fields(stat.substr(name + 1));
  std::string state, field;
  fields >> state;  // field 3
  if (state == "Z" || state == "X") return "";
  for (int i = 4; i <= 22; ++i) fields >> field;  // field 22: the start time
  return field;
}

// The test program that is killed: the game headless and in a window on an X server of its own,
// each running; then "<scratch folder> <pid>..." in the report, and it waits for its end.
void StartChildrenAndWait(const std::string& report) {
  testprogram::TempDir dir("quillane_end");
  testsupport::cl_XServer x;
  ASSERT_TRUE(x.Start(1024, 768));
  struct {
    const char* user;
    std::vector<std::string> env;
    const char* says;
  } runs[] = {{"headless", {"QUILLANE_HEADLESS=1"}, "Headless: no window"},
              {"window", testprogram::WindowEnvironment(x), "Main window opened"}};
  std::string line = dir.root().string() + " " + std::to_string(x.Pid());
  for (const auto& run : runs) {
    // Two user folders beside one data folder: the program allows one copy a user folder.
    testprogram::WriteUserConfig(dir.path(run.user), {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}});
    const std::string log = dir.path(std::string(run.user) + ".log");
    const pid_t pid = testprogram::StartProgram(run.env, dir.path(run.user), log);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(testprogram::WaitForLog(log, run.says, kStartMs)) << ReadFile(log);
    line += " " + std::to_string(pid);
  }
  std::ofstream(report + ".part") << line << "\n";
  fs::rename(report + ".part", report);
  for (;;) pause();
}

TEST(ProgramEnd, AKilledTestLeavesNoGameAndNoXServerRunning) {
  if (!fs::exists(testprogram::ProgramPath())) GTEST_SKIP() << "program not built";
  if (testsupport::FindProgram("Xvfb").empty()) GTEST_SKIP() << "Xvfb not installed";
  if (const char* report = std::getenv(kReportVariable)) return StartChildrenAndWait(report);

  testprogram::TempDir dir("quillane_end");
  const std::string report = dir.path("report"), log = dir.path("killed.log");
  const ::testing::TestInfo* self = ::testing::UnitTest::GetInstance()->current_test_info();
  const pid_t killed =
      testsupport::Start({.args = {fs::read_symlink("/proc/self/exe").string(),
                                   std::string("--gtest_filter=") + self->test_suite_name() + "." + self->name()},
                          .env = {std::string(kReportVariable) + "=" + report},
                          .out = log,
                          .err = log});
  ASSERT_GT(killed, 0);
  int status = 0;
  bool ended = false;
  testsupport::WaitUntil([&] { return (ended = waitpid(killed, &status, WNOHANG) == killed) || fs::exists(report); },
                         2 * kStartMs, 100);
  std::ifstream in(report);
  std::string folder;
  in >> folder;
  std::vector<std::pair<pid_t, std::string>> children;  // the X server, then the games
  for (pid_t pid; in >> pid;) children.emplace_back(pid, StartTime(pid));
  if (!ended) {
    kill(killed, SIGKILL);
    testsupport::Wait(killed);
  }
  ASSERT_EQ(children.size(), 3u) << ReadFile(log);
  for (const auto& [pid, start] : children) ASSERT_FALSE(start.empty()) << pid << " ended before the kill";

  auto left = [&] {
    std::string running;
    for (const auto& [pid, start] : children)
      if (StartTime(pid) == start) running += " " + std::to_string(pid);
    return running;
  };
  // They end within moments; the bound is only a last guard, generous for a starved machine.
  testsupport::WaitUntil([&] { return left().empty(); }, 60000, 20);
  const std::string running = left();
  EXPECT_EQ(running, "") << "still running " << testsupport::ScaledMs(60000) << " ms after their test was killed";
  // What the test started is ended here, so that a failure leaves no load behind.
  for (const auto& [pid, start] : children)
    if (StartTime(pid) == start) kill(pid, SIGKILL);

  EXPECT_TRUE(fs::exists(folder));
  testprogram::TempDir next("quillane_end");
  EXPECT_FALSE(fs::exists(folder)) << "the killed test's scratch folder is left";
}

}  // namespace
