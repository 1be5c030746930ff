// The pictures the program writes by name, QUILLANE_SCREENSHOT's and a .play file's "shot", at
// what is no regular file: a named pipe or a device is written through as a shell's ">" would, or
// refused with the cause and exit code 1, and stays what it was; a link at the temporary name
// leaves the file it points to untouched.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "support/ProgramRun.h"
#include "support/SpecialTargets.h"

namespace {

namespace fs = std::filesystem;

// Runs the program once per target case; run(caseFolder, target) starts it and gives its log.
void ForEachPictureTarget(const testprogram::TempDir& dir, const std::string& targetName,
                          const std::function<int(const fs::path& folder, const std::string& target)>& run) {
  int index = 0;
  for (const testsupport::st_PictureTargetCase& kind : testsupport::kPictureTargetCases) {
    SCOPED_TRACE(kind.name);
    const fs::path folder = dir.root() / ("case" + std::to_string(index++));
    fs::create_directories(folder / "golden");
    const std::string target = (folder / targetName).string();
    testsupport::cl_PictureTarget made(kind, target);
    if (!made.WhyNot().empty()) {
      std::printf("%s: left out, %s\n", kind.name, made.WhyNot().c_str());
      continue;
    }
    const int status = run(folder, target);
    const std::string log = testprogram::ReadFile(folder / "run.log");
    ASSERT_TRUE(WIFEXITED(status)) << log;
    EXPECT_EQ(WEXITSTATUS(status), kind.exitCode) << log;
    if (kind.says) {
      EXPECT_NE(log.find(kind.says), std::string::npos) << log;
    }
    EXPECT_EQ(made.Check(), "");
  }
}

TEST(ProgramPictures, TheScreenshotAtAPipeOrDeviceIsWrittenThroughOrRefusedNeverReplaced) {
  if (!fs::exists(testprogram::ProgramPath())) GTEST_SKIP() << "program not built";
  testprogram::TempDir dir("quillane_screenshot_target");
  testprogram::WriteUserConfig(dir.path("user"), {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}});
  ForEachPictureTarget(dir, "shot.png", [&](const fs::path& folder, const std::string& target) {
    return testprogram::RunProgram({"QUILLANE_HEADLESS=1", "QUILLANE_FRAMES=2", "QUILLANE_SCREENSHOT=" + target},
                                   dir.path("user"), (folder / "run.log").string());
  });
}

// The step writes the picture it compares with when asked to (QUILLANE_UPDATE_GOLDEN).
TEST(ProgramPictures, APlayShotAtAPipeOrDeviceIsWrittenThroughOrRefusedNeverReplaced) {
  if (!fs::exists(testprogram::ProgramPath())) GTEST_SKIP() << "program not built";
  testprogram::TempDir dir("quillane_play_shot_target");
  testprogram::WriteUserConfig(dir.path("user"), {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}});
  ForEachPictureTarget(dir, "golden/menu.png", [&](const fs::path& folder, const std::string&) {
    const std::string play = (folder / "road.play").string();
    std::ofstream(play) << "wait state RootMenu 100\nshot menu\n";
    return testprogram::RunProgram({"QUILLANE_HEADLESS=1", "QUILLANE_INPUT=" + play, "QUILLANE_UPDATE_GOLDEN=1"},
                                   dir.path("user"), (folder / "run.log").string());
  });
}

}  // namespace
