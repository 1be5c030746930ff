#include "base/FileTools.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "base/data/Binary.h"
#include "base/File.h"
#include "test_support.h"

namespace {

using testsupport::TempDir;
namespace fs = std::filesystem;

std::string S(const base::String& s) { return s.c_str(); }

TEST(FileToolsPaths, ExtensionAndPathPieces) {
  struct Case {
    const char* in;
    const char* ext;
    const char* stripped;
    const char* file;
    const char* folder;
  } cases[] = {
      {"Model.X", "x", "Model", "Model.X", ""},
      {"a.tar.gz", "tar.gz", "a.tar", "a.tar.gz", ""},
      {"README", "readme", "README", "README", ""},
      {"gui/fonts/x.ttf", "ttf", "gui/fonts/x", "x.ttf", "gui/fonts"},
      {"gui\\Fonts\\X.TTF", "ttf", "gui\\Fonts\\X", "X.TTF", "gui\\Fonts"},
      // The extension is taken from the file name, not from a dotted folder.
      {"data.v2/m.lwo", "lwo", "data.v2/m", "m.lwo", "data.v2"},
      {"./x.xml", "xml", "./x", "x.xml", "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(S(base::GetFileExtension(c.in)), c.ext);
    EXPECT_EQ(S(base::StripExtension(c.in)), c.stripped);
    EXPECT_EQ(S(base::StripPath(c.in)), c.file);
    EXPECT_EQ(S(base::ExtractLastFolder(c.in)), c.file);
    EXPECT_EQ(S(base::ExtractPath(c.in)), c.folder);
  }
  EXPECT_EQ(S(base::ExtractLastFolder("a/b/")), "");

  base::String n = "a.tar.gz";
  base::ReplaceFileExtension(n, "bak");
  EXPECT_EQ(S(n), "a.tar.bak");
  n = "noext";
  base::ReplaceFileExtension(n, "bak");
  EXPECT_EQ(S(n), "bak");
}

TEST(FileToolsLoad, WholeFilesRangesAndShortReads) {
  TempDir dir;
  dir.write("five.bin", "abcde");
  const std::string five = dir.path("five.bin");

  int size = -1;
  unsigned char* p = base::LoadFile(five.c_str(), size);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(p[5], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(p)), "abcde");
  delete[] p;
  EXPECT_EQ(base::LoadFile(dir.path("missing").c_str(), size), nullptr);
  EXPECT_EQ(size, 0);

  base::Binary b;
  ASSERT_TRUE(base::LoadFile(five.c_str(), b));
  EXPECT_EQ(b.size(), 5);
  ASSERT_TRUE(base::LoadFile(five.c_str(), 1, 3, b));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b.get_buffer()), 3), "bcd");
  // A range past the end is a failure, not a block of garbage.
  EXPECT_FALSE(base::LoadFile(five.c_str(), 3, 3, b));
  EXPECT_EQ(b.size(), 0);
  EXPECT_FALSE(base::LoadFile(five.c_str(), -1, 2, b));
  EXPECT_FALSE(base::LoadFile(dir.path("missing").c_str(), b));

  // Names resolve whatever the letter case.
  EXPECT_TRUE(base::FileExists(dir.path("FIVE.BIN").c_str()));
  EXPECT_FALSE(base::FileExists(dir.path("").c_str()));  // a folder is not a file
}

TEST(FileToolsSave, WritesThroughTemporaryAndReportsFailure) {
  TempDir dir;
  const std::string path = dir.path("out.bin");
  const unsigned char data[] = {1, 2, 3};
  ASSERT_TRUE(base::SaveFile(path.c_str(), data, 3));
  EXPECT_EQ(dir.read("out.bin"), std::string("\1\2\3", 3));
  EXPECT_FALSE(base::SaveFile(dir.path("no/such/folder/x.bin").c_str(), data, 3));
  // No temporary file is left beside the target.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(FileToolsTimes, CompareCopyAndProtection) {
  TempDir dir;
  dir.write("a", "1");
  dir.write("b", "2");
  const std::string a = dir.path("a"), b = dir.path("b");
  fs::last_write_time(a, fs::file_time_type::clock::now() - std::chrono::hours(2));
  EXPECT_EQ(base::FileTimeCompare(a.c_str(), b.c_str()), -1);
  EXPECT_EQ(base::FileTimeCompare(b.c_str(), a.c_str()), 1);
  EXPECT_EQ(base::FileTimeCompare(a.c_str(), dir.path("missing").c_str()), -2);
  ASSERT_TRUE(base::FileTimeCopy(b.c_str(), a.c_str()));
  EXPECT_EQ(base::FileTimeCompare(a.c_str(), b.c_str()), 0);

  base::SetFileWriteProtection(a.c_str(), true);
  EXPECT_EQ(fs::status(a).permissions() & fs::perms::owner_write, fs::perms::none);
  dir.write("sub/deep/c", "3");
  base::SetFileWriteProtection(dir.path("sub/deep/c").c_str(), true);
  base::SetFilesNormalRecursive(dir.path().c_str());
  EXPECT_NE(fs::status(a).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_NE(fs::status(dir.path("sub/deep/c")).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(FileToolsFolders, CopyMoveDeleteWithoutChangingTheWorkingFolder) {
  TempDir dir;
  const fs::path cwd = fs::current_path();
  dir.write("src/a.txt", "a");
  dir.write("src/Sub/b.txt", "b");
  dir.write("src/Sub/c.dat", "c");

  base::EagerMkdir(dir.path("made/x/y").c_str());
  EXPECT_TRUE(fs::is_directory(dir.path("made/x/y")));

  base::CopyFolderContent((dir.path("src") + "/").c_str(), (dir.path("copy") + "/").c_str(), "*.*");
  EXPECT_EQ(dir.read("copy/a.txt"), "a");
  EXPECT_EQ(dir.read("copy/Sub/b.txt"), "b");

  EXPECT_TRUE(base::ThoroughFileCopy(dir.path("src/a.txt").c_str(), dir.path("new/deep/a.txt").c_str(), true));
  EXPECT_EQ(dir.read("new/deep/a.txt"), "a");
  EXPECT_FALSE(base::ThoroughFileCopy(dir.path("src/Sub/b.txt").c_str(), dir.path("new/deep/a.txt").c_str(), true));
  EXPECT_EQ(dir.read("new/deep/a.txt"), "a");

  EXPECT_TRUE(base::MyMoveFile(dir.path("new/deep/a.txt").c_str(), dir.path("new/moved.txt").c_str()));
  EXPECT_FALSE(fs::exists(dir.path("new/deep/a.txt")));

  base::SetFileWriteProtection(dir.path("copy/Sub/b.txt").c_str(), true);
  base::DeleteFileContent(dir.path("copy").c_str());
  EXPECT_TRUE(fs::is_directory(dir.path("copy/Sub")));
  EXPECT_FALSE(fs::exists(dir.path("copy/Sub/b.txt")));

  base::DeleteContent(dir.path("src").c_str());
  EXPECT_TRUE(fs::is_directory(dir.path("src")));
  EXPECT_TRUE(fs::is_empty(dir.path("src")));
  base::Eradicate("ab", dir.path("copy").c_str());  // guard too short
  EXPECT_TRUE(fs::exists(dir.path("copy")));
  base::Eradicate("guard", dir.path("copy").c_str());
  EXPECT_FALSE(fs::exists(dir.path("copy")));
  base::DeleteContent("ab");  // a drive-like name does nothing
  EXPECT_EQ(fs::current_path(), cwd);
}

TEST(FileToolsLookup, RoundTripAndDamagedRecord) {
  TempDir dir;
  const std::string path = dir.path("lookup.bin");
  std::map<base::String, int> table{{"walk", 3}, {"idle", 1}, {"", -7}};
  {
    base::File f(path.c_str(), base::File::STATUS_WRITE);
    ASSERT_TRUE(base::WriteLookup(&f, table));
    ASSERT_TRUE(f.close());
  }
  std::map<base::String, int> back{{"old", 1}};
  {
    base::File f(path.c_str(), base::File::STATUS_READ);
    ASSERT_TRUE(base::ReadLookup(&f, back));
  }
  EXPECT_EQ(back, table);

  std::string bytes = dir.read("lookup.bin");
  dir.write("cut.bin", bytes.substr(0, bytes.size() - 2));
  base::File f(dir.path("cut.bin").c_str(), base::File::STATUS_READ);
  EXPECT_FALSE(base::ReadLookup(&f, back));
  EXPECT_TRUE(back.empty());  // not the entries read before the cut
}

}  // namespace
