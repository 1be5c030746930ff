// The program applies the "Tweakables" of the configuration it starts with: a user config.xml
// whose tweak value is no number shows up as the settings' warning in the program's log.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/ProgramRun.h"

namespace {

namespace fs = std::filesystem;
using testprogram::ReadFile;

TEST(EntryRoutine, AppliesTheTweakablesOfTheStartConfiguration) {
  if (!fs::exists(testprogram::ProgramPath())) GTEST_SKIP() << "program not built";
  testprogram::TempDir dir("quillane_tweak");
  fs::create_directories(dir.path("user"));
  // The bundled configuration with one tweak value that is no number.
  std::string config = ReadFile(fs::path(QUILLANE_DATA_DIR) / "config.xml");
  const size_t value = config.find("Skip_Delay=\"") + std::strlen("Skip_Delay=\"");
  ASSERT_GT(value, std::strlen("Skip_Delay=\""));
  config.replace(value, config.find('"', value) - value, "soon");
  std::ofstream(dir.path("user/config.xml")) << config;
  const std::string log = dir.path("run.log");
  const int status = testprogram::RunProgram({"QUILLANE_HEADLESS=1", "QUILLANE_FRAMES=1"}, dir.path("user"), log);
  const std::string text = ReadFile(log);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
  EXPECT_NE(text.find("Warning: Tweakables: Skip_Delay='soon' is not a finite number"), std::string::npos) << text;
}

}  // namespace
