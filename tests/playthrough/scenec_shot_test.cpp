// scenec --shot FILE at what is no regular file: a named pipe or a device is written through as a
// shell's ">" would, or refused with the cause and exit code 1, and stays what it was; a link at
// the temporary name leaves the file it points to untouched.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/ProgramRun.h"
#include "support/SpecialTargets.h"

namespace {

namespace fs = std::filesystem;

TEST(ScenecShot, APipeOrDeviceIsWrittenThroughOrRefusedAndALinkAtTheTemporaryNameIsNotFollowed) {
  testprogram::TempDir dir("quillane_scenec_shot");
  const fs::path data = dir.root() / "data", folder = data / "Scenes/Cove";
  fs::create_directories(folder);
  for (const char* file : {"navmesh.xml", "background.tga"})
    fs::copy_file(fs::path(QUILLANE_DATA_DIR) / "Scenes/Office" / file, folder / file);
  std::ofstream(folder / "ProjectFile.xml")
      << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Project name=\"Cove\" w=\"1024\" h=\"640\">\n"
         "<BackgroundElements><Layer x=\"0\" y=\"0\" w=\"1024\" h=\"640\" label=\"background\" "
         "file=\"background.tga\" use_background_pixels=\"0\"/></BackgroundElements>\n"
         "<NavMeshes><NavMesh label=\"default\" file=\"navmesh.xml\"/></NavMeshes>\n</Project>\n";
  int index = 0;
  for (const testsupport::st_PictureTargetCase& kind : testsupport::kPictureTargetCases) {
    SCOPED_TRACE(kind.name);
    const std::string shot = dir.path("shot" + std::to_string(index++) + ".png");
    testsupport::cl_PictureTarget target(kind, shot);
    if (!target.WhyNot().empty()) {
      std::printf("%s: left out, %s\n", kind.name, target.WhyNot().c_str());
      continue;
    }
    const std::string log = dir.path("scenec.log");
    const int status = testsupport::Run(
        {.args = {QUILLANE_SCENEC, "--shot", shot, "Cove"}, .folder = data.string(), .out = log, .err = log});
    const std::string text = testprogram::ReadFile(log);
    ASSERT_TRUE(WIFEXITED(status)) << text;
    EXPECT_EQ(WEXITSTATUS(status), kind.exitCode) << text;
    if (kind.says) {
      EXPECT_NE(text.find(kind.says), std::string::npos) << text;
    }
    EXPECT_EQ(target.Check(), "");
  }
}

}  // namespace
