// The program applies the "Tweakables", "Options" and "Display" of the configuration it starts
// with: a user config.xml whose tweak value is no number shows up as the settings' warning in the
// program's log, and an option or display value that is no finite number is read as its default,
// with a warning naming it.
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

// The bundled configuration with the value of the attribute that follows `after` replaced.
void ReplaceValue(std::string& config, const std::string& after, const char* value) {
  const size_t at = config.find(after);
  ASSERT_NE(at, std::string::npos) << after;
  const size_t from = config.find('"', at + after.size()) + 1;
  config.replace(from, config.find('"', from) - from, value);
}

TEST(EntryRoutine, AppliesTheTweakablesOptionsAndDisplayOfTheStartConfiguration) {
  if (!fs::exists(testprogram::ProgramPath())) GTEST_SKIP() << "program not built";
  testprogram::TempDir dir("quillane_tweak");
  fs::create_directories(dir.path("user"));
  std::string config = ReadFile(fs::path(QUILLANE_DATA_DIR) / "config.xml");
  ReplaceValue(config, "Skip_Delay", "soon");
  // The sound system and the gamma ramp would convert these to integers.
  ReplaceValue(config, "<MasterVolume Type=\"Slider\" display_name=\"#optio0_1004 Master volume\" Value", "nan");
  ReplaceValue(config, "<Gamma Type=\"Slider\" display_name=\"#optio0_1112 Brightness\" Value", "1e999");
  // The window's size and the display mode's rate: a NaN would be read as the lowest integer.
  ReplaceValue(config, "<Display Fullscreen=\"0\" Width", "nan");
  ReplaceValue(config, "RefreshRate", "-inf");
  std::ofstream(dir.path("user/config.xml")) << config;
  const std::string log = dir.path("run.log");
  const int status = testprogram::RunProgram({"QUILLANE_HEADLESS=1", "QUILLANE_FRAMES=1"}, dir.path("user"), log);
  const std::string text = ReadFile(log);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
  EXPECT_NE(text.find("Warning: Tweakables: Skip_Delay='soon' is not a finite number"), std::string::npos) << text;
  for (const char* warning : {"option Sfx/MasterVolume is 'nan', not a finite number; read as its default 1\n",
                              "option Gfx/Gamma is 'inf', not a finite number; read as its default 0.5\n"})
    EXPECT_NE(text.find(std::string("Warning: config.xml: ") + warning), std::string::npos) << warning << text;
  for (const char* warning : {"Display Width is 'nan', not a finite number; read as its default 1024\n",
                              "Display RefreshRate is '-inf', not a finite number; read as its default 60\n"})
    EXPECT_NE(text.find(std::string("Warning: config.xml: ") + warning), std::string::npos) << warning << text;
  EXPECT_NE(text.find("Display 1024x768"), std::string::npos) << text;
}

}  // namespace
