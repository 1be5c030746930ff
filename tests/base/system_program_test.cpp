// The program itself, started headless for a few frames in a scratch folder.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/DemoDataCopy.h"
#include "test_support.h"

namespace {

std::filesystem::path ProgramPath() {
  // The program is built into the same bin/ folder as the tests.
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "quillane";
}

struct RunResult {
  int exitCode;
  std::string log;
};

// env: more "NAME=value" entries, or a bare "NAME" that takes it out.
RunResult RunProgram(const testsupport::TempDir& dir, const std::string& cwd, const std::string& frames,
                     const std::vector<std::string>& env = {}) {
  const std::string log = dir.path("log.txt");
  std::vector<std::string> all = {"QUILLANE_FRAMES=" + frames, "QUILLANE_HEADLESS=1",
                                  "QUILLANE_USER_DIR=" + dir.path("user")};
  all.insert(all.end(), env.begin(), env.end());
  const int status = testsupport::Run({.args = {ProgramPath().string()}, .folder = cwd, .env = all, .out = log, .err = log});
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.read("log.txt")};
}

TEST(Program, RunsTheBundledDataForAFewFrames) {
  if (!std::filesystem::exists(ProgramPath())) GTEST_SKIP() << "program not built";
  testsupport::TempDir dir;
  // A copy: the program writes its caches into its data folder.
  testsupport::CopyDemoData(QUILLANE_DATA_DIR, dir.path("data"));
  RunResult r = RunProgram(dir, dir.path("data"), "3");
  EXPECT_EQ(r.exitCode, 0) << r.log;
  // The configuration is read once, and told of under the name it has: the log named a second,
  // "Config.xml", for the same file.
  const std::string read = "Configuration read from " + dir.path("data/config.xml") + "\n";
  const size_t first = r.log.find(read);
  EXPECT_NE(first, std::string::npos) << r.log;
  EXPECT_EQ(r.log.find(read, first + 1), std::string::npos) << r.log;
  EXPECT_EQ(r.log.find("/Config.xml"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("Frame loop ended after 3 frames"), std::string::npos) << r.log;
  // The user folder was made with its sub-folders.
  EXPECT_TRUE(std::filesystem::is_directory(dir.path("user/Savegames")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path("user/Screenshots")));
}

TEST(Program, BadOrMissingConfigurationIsLoggedNotFatal) {
  if (!std::filesystem::exists(ProgramPath())) GTEST_SKIP() << "program not built";
  testsupport::TempDir dir;
  std::filesystem::create_directories(dir.path("empty"));
  RunResult missing = RunProgram(dir, dir.path("empty"), "2");
  EXPECT_EQ(missing.exitCode, 0) << missing.log;
  EXPECT_NE(missing.log.find("Warning: no readable config.xml"), std::string::npos) << missing.log;

  dir.write("bad/config.xml", "<Config><Display Width=\"800\"");
  RunResult bad = RunProgram(dir, dir.path("bad"), "2");
  EXPECT_EQ(bad.exitCode, 0) << bad.log;
  EXPECT_NE(bad.log.find("ERROR:"), std::string::npos) << bad.log;
  EXPECT_NE(bad.log.find("Frame loop ended after 2 frames"), std::string::npos) << bad.log;
}

// A user folder where "Savegames" is a file is still the user's: its config.xml is read (the
// working folder has none here), and the log names what is wrong with it.
TEST(Program, AUserFolderWithoutItsSaveFolderIsStillReadAndNamed) {
  if (!std::filesystem::exists(ProgramPath())) GTEST_SKIP() << "program not built";
  testsupport::TempDir dir;
  std::filesystem::create_directories(dir.path("empty"));
  dir.write("user/Savegames", "not a folder");
  dir.write("user/config.xml", "<Config><Localization Language=\"German\"/></Config>");
  RunResult r = RunProgram(dir, dir.path("empty"), "2");
  EXPECT_EQ(r.exitCode, 0) << r.log;
  EXPECT_NE(r.log.find("Configuration read from " + dir.path("user/config.xml")), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("Language: German"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("Warning: user folder: " + dir.path("user/Savegames") + ": "), std::string::npos) << r.log;
  EXPECT_TRUE(std::filesystem::is_directory(dir.path("user/Screenshots")));
}

// Without a home the log says what is missing, not an empty folder name.
TEST(Program, NoHomeIsNamedInTheLog) {
  if (!std::filesystem::exists(ProgramPath())) GTEST_SKIP() << "program not built";
  testsupport::TempDir dir;
  std::filesystem::create_directories(dir.path("empty"));
  RunResult r = RunProgram(dir, dir.path("empty"), "2", {"QUILLANE_USER_DIR", "HOME", "XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME"});
  EXPECT_EQ(r.exitCode, 0) << r.log;
  EXPECT_NE(r.log.find("Warning: no user folder (neither QUILLANE_USER_DIR, XDG_DOCUMENTS_DIR nor HOME is set); "
                       "using the working folder"),
            std::string::npos)
      << r.log;
}

// A language that is a path ("..": the folder above "loca/") is refused with its value named:
// the language's archive is built in the default language's folder, not beside "loca/".
TEST(Program, ALanguageThatIsAPathIsRefused) {
  if (!std::filesystem::exists(ProgramPath())) GTEST_SKIP() << "program not built";
  testsupport::TempDir dir;
  dir.write("user/config.xml", "<Config><Localization Language=\"..\"/></Config>");
  dir.write("data/default_config.xml", "<Config><Localization Language=\"English\"/></Config>");
  dir.write("data/resources.xml",
            "<Resources><Archive label=\"Speech\" file=\"loca/speech.pak\" localize=\"1\">"
            "<Dir path=\"loca/speech\" extension=\"*.*\"/></Archive></Resources>");
  dir.write("data/loca/English/speech/Odo/hello.txt", "hello");
  RunResult r = RunProgram(dir, dir.path("data"), "2");
  EXPECT_EQ(r.exitCode, 0) << r.log;
  EXPECT_NE(r.log.find("Warning: config.xml: Language '..' "), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("Language: English"), std::string::npos) << r.log;
  EXPECT_FALSE(std::filesystem::exists(dir.path("data/speech.pak")));
  EXPECT_TRUE(std::filesystem::exists(dir.path("data/loca/English/speech.pak"))) << r.log;
}

}  // namespace
