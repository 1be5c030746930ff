// The built program on the bundled data: headless and in a real window under a virtual X server
// it runs the start-up road to the root menu; a second copy started with the same
// user folder ends at once with exit code 0 and says so while the first runs on.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/ProgramRun.h"

namespace {

using testprogram::ProgramPath;
using testprogram::ReadFile;
using testprogram::TempDir;

bool HasXvfb() { return !testsupport::FindProgram("Xvfb").empty(); }

struct st_Display {
  const char* name;
  bool window;       // on a real X display, where the program opens its SDL window
  const char* says;  // what its log says about the platform
};
const st_Display kDisplays[] = {
    {"headless", false, "Headless: no window"},
    {"window", true, "Main window opened (1024x768)"},
};

// The environment of a run on display: headless, or a client of x.
std::vector<std::string> DisplayEnvironment(const st_Display& display, const testsupport::cl_XServer& x) {
  return display.window ? testprogram::WindowEnvironment(x) : std::vector<std::string>{"QUILLANE_HEADLESS=1"};
}

TEST(Program, RunsTheStartUpRoadToTheRootMenuHeadlessAndInAWindow) {
  if (!std::filesystem::exists(ProgramPath())) GTEST_SKIP() << "program not built";
  TempDir dir("quillane_program");
  testprogram::WriteUserConfig(dir.path("user"), {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}});
  for (const st_Display& run : kDisplays) {
    SCOPED_TRACE(run.name);
    if (run.window && !HasXvfb()) {
      std::printf("Xvfb not installed: the window run is left out\n");
      continue;
    }
    const std::string shot = dir.path(std::string(run.name) + ".png");
    const std::string log = dir.path(std::string(run.name) + ".log");
    testsupport::cl_XServer x;
    if (run.window) {
      ASSERT_TRUE(x.Start(1280, 1024));
    }
    std::vector<std::string> env = DisplayEnvironment(run, x);
    env.insert(env.end(), {"QUILLANE_FRAMES=30", "QUILLANE_SCREENSHOT=" + shot});
    const int status = testprogram::RunProgram(env, dir.path("user"), log);
    const std::string text = ReadFile(log);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
    EXPECT_NE(text.find(run.says), std::string::npos) << text;
    EXPECT_NE(text.find("Frame loop ended after 30 frames"), std::string::npos) << text;
    // The normal road: loading screen, then the root menu, and the quit box is installed.
    const size_t loading = text.find("GameFrame: state LoadingScreen");
    const size_t root = text.find("GameFrame: state RootMenu");
    ASSERT_NE(loading, std::string::npos) << text;
    ASSERT_NE(root, std::string::npos) << text;
    EXPECT_LT(loading, root);
    EXPECT_NE(text.find("GameFrame: quit confirmation installed"), std::string::npos) << text;
    EXPECT_EQ(text.find("ERROR:"), std::string::npos) << text;

    int w = 0, h = 0, channels = 0;
    unsigned char* pixels = stbi_load(shot.c_str(), &w, &h, &channels, 3);
    ASSERT_NE(pixels, nullptr) << text;
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    // How far the root menu has faded in here depends on the machine's speed; the play-through
    // compares its picture on the stepped clock.
    stbi_image_free(pixels);
  }
}

// The first copy runs without a frame limit; the second, with the same user folder, must end
// at once with exit code 0 and one line that says why; the first then still runs and ends on
// SIGTERM with a normal shut-down.
TEST(Program, ASecondCopyEndsAtOnceWhileTheFirstRunsOn) {
  if (!std::filesystem::exists(ProgramPath())) GTEST_SKIP() << "program not built";
  TempDir dir("quillane_single");
  testprogram::WriteUserConfig(dir.path("user"), {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}});
  for (const st_Display& run : kDisplays) {
    SCOPED_TRACE(run.name);
    if (run.window && !HasXvfb()) continue;
    const std::string firstLog = dir.path(std::string(run.name) + "_first.log");
    testsupport::cl_XServer x;
    if (run.window) {
      ASSERT_TRUE(x.Start(1280, 1024));
    }
    const pid_t first = testprogram::StartProgram(DisplayEnvironment(run, x), dir.path("user"), firstLog);
    ASSERT_GT(first, 0);
    ASSERT_TRUE(testprogram::WaitForLog(firstLog, "GameFrame: state RootMenu", 60000)) << ReadFile(firstLog);

    const std::string secondLog = dir.path(std::string(run.name) + "_second.log");
    // Headless: an X server's start-up is not the program's. A copy that ran the game would run
    // on: the guard catches only that, however long a loaded machine takes to start a process.
    const int status =
        testsupport::WaitAtMost(testprogram::StartProgram({"QUILLANE_HEADLESS=1"}, dir.path("user"), secondLog), 15000);
    EXPECT_NE(status, -1) << "the second copy ran on";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(secondLog), "Quillane already runs with the user folder " + dir.path("user") + "; this copy ends\n");

    int firstStatus = 0;
    EXPECT_EQ(waitpid(first, &firstStatus, WNOHANG), 0) << "the first copy ended";
    testprogram::StopProgram(first, &firstStatus);
    EXPECT_NE(ReadFile(firstLog).find("Quillane finished"), std::string::npos) << ReadFile(firstLog);
  }
}

// QUILLANE_INPUT runs a .play file in the program itself, with the fixed-step clock.
TEST(Program, RunsAPlayFileFromTheEnvironment) {
  if (!std::filesystem::exists(ProgramPath())) GTEST_SKIP() << "program not built";
  TempDir dir("quillane_input");
  testprogram::WriteUserConfig(dir.path("user"), {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}});
  std::ofstream(dir.path("road.play")) << "wait state RootMenu 100\nclose\nclick button Ok\n";
  const std::string log = dir.path("run.log");
  const int status = testprogram::RunProgram({"QUILLANE_HEADLESS=1", "QUILLANE_INPUT=" + dir.path("road.play")},
                                             dir.path("user"), log);
  const std::string text = ReadFile(log);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
  EXPECT_NE(text.find("Quit confirmed"), std::string::npos) << text;

  std::ofstream(dir.path("bad.play")) << "wait state RootMenu\njump\n";
  const int bad =
      testprogram::RunProgram({"QUILLANE_HEADLESS=1", "QUILLANE_INPUT=" + dir.path("bad.play")}, dir.path("user"), log);
  EXPECT_TRUE(WIFEXITED(bad) && WEXITSTATUS(bad) == 1);
  EXPECT_NE(ReadFile(log).find("ERROR: " + dir.path("bad.play") + ":2: unknown step \"jump\""), std::string::npos)
      << ReadFile(log);
}

}  // namespace
