// Saving the options is crash-safe: a helper process saves "config.xml" in a loop and is killed
// at random moments; the file always reads back as one complete configuration.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "base/app/SystemRoot.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "support/ChildProcess.h"
#include "support/ScratchFolder.h"

namespace {

constexpr int kOptions = 3000;  // large enough that a write takes a while

TEST(OptionsSave, KilledWhileSavingLeavesTheOldOrTheNewCompleteFile) {
  const std::filesystem::path dir = testsupport::MakeScratchFolder("quillane_options");
  {
    std::ofstream config(dir / "config.xml");
    config << "<Config><Options><Game><Marker Type=\"CheckBox\" Value=\"0\"/>";
    for (int i = 0; i < kOptions; ++i) config << "<O" << i << " Type=\"Slider\" Value=\"0.5\"/>";
    config << "</Game></Options></Config>";
  }
  auto system = std::make_unique<base::cl_System>();
  system->SetUserDataPath(dir.string().c_str());
  ASSERT_TRUE(system->LoadConfig("config.xml"));
  ASSERT_TRUE(base::sys::SaveConfig("config.xml"));

  std::mt19937 random(47);
  for (int round = 0; round < 100; ++round) {
    const pid_t child = testsupport::ForkBound();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The marker and every value change together, so a mixed file would show.
      for (int n = 1;; ++n) {
        base::Variant* options = base::sys::GetOptions();
        base::variant_get_attribute_by_path(*options, "Game/Marker/Value", false)->set_int(n % 2);
        for (int i = 0; i < kOptions; ++i) {
          const std::string path = "Game/O" + std::to_string(i) + "/Value";
          base::variant_get_attribute_by_path(*options, path.c_str(), false)->set_float(n % 2 ? 1.0f : 0.5f);
        }
        base::sys::SaveConfig("config.xml");
      }
    }
    usleep(std::uniform_int_distribution<useconds_t>(0, 30000)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    base::Variant read;
    ASSERT_TRUE(base::xml::read_file(read, (dir / "config.xml").string().c_str())) << "round " << round;
    const base::Variant* game = base::variant_get_element_by_path(read, "Options/Game", false);
    ASSERT_NE(game, nullptr) << "round " << round;
    ASSERT_EQ(game->size(), kOptions + 1) << "round " << round;
    const int marker = base::get_int(game->child(0)->get_attribute("Value"));
    const float expected = marker ? 1.0f : 0.5f;
    for (int i = 1; i <= kOptions; ++i)
      ASSERT_EQ(base::get_float(game->child(i)->get_attribute("Value")), expected) << "round " << round;
  }
  system.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

}  // namespace
