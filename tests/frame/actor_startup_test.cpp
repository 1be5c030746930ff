// The program's first start on a copy of the data without compiled characters imports the three
// resident actors behind the loading bar and leaves their compiled files; the second start reads
// them and imports nothing.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "support/ProgramRun.h"

namespace {

using testprogram::ProgramPath;
using testprogram::ReadFile;
using testprogram::TempDir;
namespace fs = std::filesystem;

TEST(ProgramActors, TheFirstStartCompilesTheResidentActorsAndTheSecondReadsThem) {
  if (!fs::exists(ProgramPath())) GTEST_SKIP() << "program not built";
  if (!fs::exists(fs::path(QUILLANE_DATA_DIR) / "characters/female/female_skeleton.xml"))
    GTEST_SKIP() << "no generated demo data";
  TempDir dir("quillane_actors");
  testsupport::CopyDemoData(QUILLANE_DATA_DIR, dir.path("data"));
  for (const auto& entry : fs::directory_iterator(dir.path("data/characters")))
    if (entry.path().extension() == ".dat") fs::remove(entry.path());
  testprogram::WriteUserConfig(dir.path("user"), {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}});
  auto run = [&](const char* name) {
    const std::string log = dir.path(name);
    const int status = testprogram::RunProgram({"QUILLANE_HEADLESS=1", "QUILLANE_FRAMES=30"}, dir.path("user"), log);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return ReadFile(log);
  };

  const std::string first = run("first.log");
  const size_t loading = first.find("GameFrame: state LoadingScreen");
  const size_t root = first.find("GameFrame: state RootMenu");
  ASSERT_NE(loading, std::string::npos) << first;
  ASSERT_NE(root, std::string::npos) << first;
  for (const char* label : {"male", "female", "quillane"}) {
    SCOPED_TRACE(label);
    const size_t at = first.find(std::string("Initializing character ") + label + ".");
    ASSERT_NE(at, std::string::npos) << first;
    EXPECT_GT(at, loading);
    EXPECT_LT(at, root);
    EXPECT_TRUE(fs::exists(dir.path(std::string("data/characters/") + label + ".dat")));
  }
  EXPECT_EQ(first.find("Initializing character odo."), std::string::npos);  // only the residents
  EXPECT_EQ(first.find("ERROR:"), std::string::npos) << first;

  const std::string second = run("second.log");
  EXPECT_NE(second.find("GameFrame: state RootMenu"), std::string::npos) << second;
  EXPECT_EQ(second.find("Initializing character"), std::string::npos) << second;
  EXPECT_EQ(second.find("ERROR:"), std::string::npos) << second;
}

}  // namespace
