#include "base/file/FileFinder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "test_support.h"

namespace {

using testsupport::TempDir;

std::vector<std::string> Names(const base::Variant& v) {
  std::vector<std::string> out;
  for (int i = 0; i < v.size(); ++i) out.push_back(std::string(v[i].get_label()) + ":" + base::get_string(v[i].get_attribute("name")));
  return out;
}

TEST(FileFinder, StepsAheadAndReportsEntries) {
  base::cl_FileFinder finder;
  EXPECT_FALSE(finder.FindNextFileA());
  EXPECT_EQ(finder.GetFileName(), nullptr);
  EXPECT_EQ(finder.GetLength(), 0u);

  TempDir dir;
  dir.write("one.txt", "12345");
  ASSERT_TRUE(finder.FindFile((dir.path() + "/ONE.*").c_str()));
  EXPECT_EQ(std::string(finder.GetRoot()), dir.path());
  EXPECT_FALSE(finder.FindNextFileA());  // the only entry, and the last
  EXPECT_STREQ(finder.GetFileName(), "one.txt");
  EXPECT_EQ(finder.GetLength(), 5u);
  EXPECT_FALSE(finder.IsDirectory());
  EXPECT_EQ(std::string(finder.GetFilePath().c_str()), dir.path("one.txt"));
  EXPECT_FALSE(finder.FindFile((dir.path() + "/*.none").c_str()));
}

TEST(FileFinder, WindowsWildcardsAndFileLists) {
  TempDir dir;
  dir.write("Makefile", "");
  dir.write("b.TXT", "");
  dir.write("a.txt", "");
  dir.write("sub/c.txt", "");
  struct Case {
    const char* pattern;
    std::vector<std::string> names;
  } cases[] = {
      {"*.*", {"a.txt", "b.TXT", "Makefile"}},  // "*.*" takes names without a dot
      {"*.txt", {"a.txt", "b.TXT"}},
      {"?.txt", {"a.txt", "b.TXT"}},
      {"make*", {"Makefile"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    base::cl_FileFinder finder;
    base::list<base::String> out;
    finder.AddToFileList(out, (dir.path() + "/" + c.pattern).c_str(), false);
    std::vector<std::string> got;
    for (const auto& s : out) got.emplace_back(s.c_str());
    EXPECT_EQ(got, c.names);
  }
  base::cl_FileFinder finder;
  base::list<base::String> full;
  finder.AddToFileList(full, (dir.path() + "/a.*").c_str(), true);
  ASSERT_EQ(full.size(), 1u);
  EXPECT_EQ(std::string(full.front().c_str()), dir.path("a.txt"));
}

TEST(ListDirectory, FlatRecursiveSvnAndMissing) {
  TempDir dir;
  dir.write("loca/a.xml", "");
  dir.write("loca/b.txt", "");
  dir.write("loca/sub/c.xml", "");
  dir.write("loca/.svn/entries", "");
  const std::string loca = dir.path("loca");

  base::Variant out;
  base::ListDirectory(out, loca.c_str(), "*.xml", false);
  EXPECT_STREQ(out.get_label(), "Folder");
  EXPECT_EQ(std::string(base::get_string(out.get_attribute("path"))), loca + "/");
  ASSERT_EQ(Names(out), std::vector<std::string>{"File:a.xml"});
  EXPECT_EQ(std::string(base::get_string(out[0].get_attribute("path"))), loca + "/a.xml");

  base::ListDirectory(out, (loca + "/").c_str(), "*", true);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"Folder:.", "Folder:..", "Folder:.svn", "File:a.xml", "File:b.txt",
                                                  "Folder:sub"}));
  EXPECT_EQ(out[0].size(), 0);  // "." is listed, not descended
  EXPECT_EQ(out[2].size(), 0);  // ".svn" likewise
  const base::Variant& sub = out[5];
  EXPECT_EQ(std::string(base::get_string(sub.get_attribute("path"))), loca + "/sub");
  EXPECT_EQ(Names(sub), (std::vector<std::string>{"Folder:.", "Folder:..", "File:c.xml"}));
  EXPECT_EQ(std::string(base::get_string(sub[2].get_attribute("path"))), loca + "/sub/c.xml");

  base::ListDirectory(out, dir.path("missing").c_str(), "*", true);
  EXPECT_STREQ(out.get_label(), "Folder");
  EXPECT_EQ(out.size(), 0);
}

}  // namespace
