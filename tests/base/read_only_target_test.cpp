// Files that cannot be replaced: a write-protected file, and a folder on a read-only file system
// (a read-only bind mount in a mount namespace of a child process's own). Tests run as root,
// where permission bits do not stop a write, so only the mount shows the system's own refusal.
// The line names the file and the cause the system gives, and the old contents stay.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "test_support.h"

namespace {

using testsupport::LogCapture;
using testsupport::TempDir;

base::Variant Tree() {
  base::Variant tree;
  tree.set_element("Scenes");
  tree.attribute("count")->set_int(2);
  return tree;
}

TEST(ReadOnlyTarget, WriteProtectedFileIsKeptAndTheCauseNamed) {
  TempDir dir;
  dir.write("scenes/scenes.xml", "<old/>");
  std::filesystem::permissions(dir.path("scenes/scenes.xml"), std::filesystem::perms::owner_read);
  LogCapture log;
  EXPECT_FALSE(base::xml::write_file(Tree(), dir.path("scenes/scenes.xml").c_str()));
  EXPECT_TRUE(log.contains("ERROR: xml-file '" + dir.path("scenes/scenes.xml") + "' cannot be created (" +
                           std::strerror(EACCES) + ")"))
      << log.text();
  EXPECT_EQ(dir.read("scenes/scenes.xml"), "<old/>");
}

// The child writes an existing and a new file in the folder it sees read-only.
TEST(ReadOnlyTarget, ReadOnlyFileSystemIsNamedForOldAndNewFiles) {
  TempDir dir, out;
  dir.write("data/scenes.xml", "<old/>");
  const std::string folder = dir.path("data");
  const int status = testsupport::RunWithReadOnlyFolder(folder, out.path("lines.txt"), [&](std::string& lines) {
    LogCapture log;
    const bool old = base::xml::write_file(Tree(), (folder + "/scenes.xml").c_str());
    const bool fresh = base::xml::write_file(Tree(), (folder + "/new.xml").c_str());
    lines = log.text();
    return !old && !fresh;
  });
  const std::string lines = out.read("lines.txt");
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == testsupport::kNoReadOnlyMount)
    GTEST_SKIP() << "no private read-only mount here: " << lines;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a write went through:\n" << lines;
  const std::string cause = std::string(" (") + std::strerror(EROFS) + ")";
  EXPECT_NE(lines.find("ERROR: xml-file '" + folder + "/scenes.xml' cannot be created" + cause), std::string::npos)
      << lines;
  EXPECT_NE(lines.find("ERROR: xml-file '" + folder + "/new.xml' cannot be created" + cause), std::string::npos)
      << lines;
  EXPECT_EQ(dir.read("data/scenes.xml"), "<old/>");
}

}  // namespace
