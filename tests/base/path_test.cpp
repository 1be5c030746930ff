#include "platform/os/Path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace {

using testsupport::TempDir;

TEST(ResolvePath, ExactFirstThenCaseInsensitive) {
  TempDir dir;
  dir.write("Data/Scenes/Castle.dat", "x");
  const std::string root = dir.path();
  std::string out;
  EXPECT_TRUE(platform::os::ResolvePath((root + "/Data/Scenes/Castle.dat").c_str(), out));
  EXPECT_EQ(out, root + "/Data/Scenes/Castle.dat");
  EXPECT_TRUE(platform::os::ResolvePath((root + "\\data\\SCENES\\castle.DAT").c_str(), out));
  EXPECT_EQ(out, root + "/Data/Scenes/Castle.dat");
  // A missing tail keeps its spelling behind the resolved folders: a file about to be created.
  EXPECT_FALSE(platform::os::ResolvePath((root + "/data/scenes/New/x.dat").c_str(), out));
  EXPECT_EQ(out, root + "/Data/Scenes/New/x.dat");
  EXPECT_FALSE(platform::os::ResolvePath("", out));
}

TEST(ResolvePath, NamesDifferingOnlyInCaseResolveTheSameWayEachTime) {
  TempDir dir;
  dir.write("a.TXT", "1");
  dir.write("A.txt", "2");
  std::string first, second;
  EXPECT_TRUE(platform::os::ResolvePath((dir.path() + "/a.txt").c_str(), first));
  platform::os::ForgetFolderCache();
  EXPECT_TRUE(platform::os::ResolvePath((dir.path() + "/a.txt").c_str(), second));
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, dir.path() + "/A.txt");  // the first in byte order
}

TEST(ResolvePath, RelativePathsAndRenamedFolders) {
  TempDir dir;
  dir.write("Loca/English.xml", "x");
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  std::string out;
  EXPECT_TRUE(platform::os::ResolvePath("loca/english.XML", out));
  EXPECT_EQ(out, "Loca/English.xml");
  EXPECT_TRUE(platform::os::ResolvePath("./LOCA/../loca/english.xml", out));
  // A folder renamed after it was scanned is seen under its new name.
  std::filesystem::rename(dir.path("Loca/English.xml"), dir.path("Loca/ENGLISH2.xml"));
  EXPECT_TRUE(platform::os::ResolvePath("loca/english2.xml", out));
  EXPECT_EQ(out, "Loca/ENGLISH2.xml");
  std::filesystem::current_path(cwd);
}

}  // namespace
