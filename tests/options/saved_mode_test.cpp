// The display mode chosen in the options reaches the next start: chosen and saved in a headless
// run, then the program started in a window under a virtual X server opens it at that size.
#include <sys/wait.h>

#include "OptionsFixture.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "support/DemoDataCopy.h"
#include "support/ProgramRun.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace optionstest {
namespace {

namespace fs = std::filesystem;

TEST_F(OptionsTest, ASavedResolutionIsTheWindowSizeAtTheNextStart) {
  // The bundled configuration, without the intro movie, on the modes the headless adapter offers.
  testprogram::WriteUserConfig(m_dir.string(), {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}});
  ASSERT_TRUE(m_system->LoadConfig("config.xml"));
  // What the game registers at start-up: the resolutions listed with the option, in both
  // back-buffer formats, narrowed to the adapter's modes.
  sysinfo::cl_SysInfo& info = base::sys::GetSystemInfo();
  info.m_AllowedModes.clear();
  base::Variant* listed =
      base::variant_get_element_by_path(*base::sys::GetOptions(), "Gfx/ScreenResolution/OutputFormat", false);
  ASSERT_NE(listed, nullptr);
  for (int i = 0; i < listed->size(); ++i) {
    int w = 0, h = 0;
    if (!(*listed)[i].get_attribute_int("width", w) || !(*listed)[i].get_attribute_int("height", h)) continue;
    info.AddFiltered({w, h, 22, -1});
    info.AddFiltered({w, h, 21, -1});
  }
  info.Rebuild();
  OpenPanel();
  const auto& modes = m_panel->GetResolutionList();
  int index = -1;
  for (size_t i = 0; i < modes.size(); ++i) {
    if (modes[i].width == 800 && modes[i].height == 600) index = static_cast<int>(i);
  }
  ASSERT_GE(index, 0) << "the headless adapter offers no 800 x 600";
  ASSERT_GT(modes.size(), 1u);
  m_panel->SelectTab(1);
  Row("Gfx/ScreenResolution")->m_Value.set_float(static_cast<float>(index) / static_cast<float>(modes.size() - 1));
  m_panel->ApplyImmediate();
  PressButton("Ok");
  ASSERT_EQ(m_gui->GetModalWindows().size(), 1u);  // the resolution needs a restart
  Answer(13);
  ASSERT_EQ(Display("Width"), "800");

  const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "quillane";
  if (!fs::exists(program)) GTEST_SKIP() << "program not built";
  if (testsupport::FindProgram("Xvfb").empty()) GTEST_SKIP() << "Xvfb not installed";
  const fs::path shot = m_dir / "window.png", log = m_dir / "window.log";
  // A copy: the program writes its caches into its data folder.
  testsupport::CopyDemoData(QUILLANE_DATA_DIR, m_dir / "data");
  testsupport::cl_XServer x;
  ASSERT_TRUE(x.Start(1280, 1024));
  testsupport::st_Command command{.args = {program.string()},
                                  .folder = (m_dir / "data").string(),
                                  .env = testprogram::WindowEnvironment(x),
                                  .out = log,
                                  .err = log};
  command.env.insert(command.env.end(), {"QUILLANE_FRAMES=3", "QUILLANE_USER_DIR=" + m_dir.string(),
                                         "QUILLANE_SCREENSHOT=" + shot.string()});
  const int status = testsupport::Run(command);
  const std::string text = testprogram::ReadFile(log);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
  EXPECT_NE(text.find("Main window opened (800x600)"), std::string::npos) << text;
  int w = 0, h = 0, channels = 0;
  unsigned char* pixels = stbi_load(shot.c_str(), &w, &h, &channels, 3);
  ASSERT_NE(pixels, nullptr) << text;
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  stbi_image_free(pixels);
}

}  // namespace
}  // namespace optionstest
