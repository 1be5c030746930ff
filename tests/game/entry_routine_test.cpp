// The program applies the "Tweakables" of the configuration it starts with: a user config.xml
// whose tweak value is no number shows up as the settings' warning in the program's log.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/DemoDataCopy.h"
#include "support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(EntryRoutine, AppliesTheTweakablesOfTheStartConfiguration) {
  const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "quillane";
  if (!fs::exists(program)) GTEST_SKIP() << "program not built";
  const fs::path dir = testsupport::MakeScratchFolder("quillane_tweak");
  fs::create_directories(dir / "user");
  // The bundled configuration with one tweak value that is no number.
  std::string config = ReadFile(fs::path(QUILLANE_DATA_DIR) / "config.xml");
  const size_t value = config.find("Skip_Delay=\"") + std::strlen("Skip_Delay=\"");
  ASSERT_GT(value, std::strlen("Skip_Delay=\""));
  config.replace(value, config.find('"', value) - value, "soon");
  std::ofstream(dir / "user" / "config.xml") << config;
  const fs::path log = dir / "run.log";
  // A copy: the program writes its caches into its data folder.
  testsupport::CopyDemoData(QUILLANE_DATA_DIR, dir / "data");
  const std::string command = "cd '" + (dir / "data").string() + "' && env QUILLANE_HEADLESS=1 QUILLANE_FRAMES=1 " +
                              "QUILLANE_USER_DIR='" + (dir / "user").string() + "' '" + program.string() + "' > '" +
                              log.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  const std::string text = ReadFile(log);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
  EXPECT_NE(text.find("Warning: Tweakables: Skip_Delay='soon' is not a finite number"), std::string::npos) << text;
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
