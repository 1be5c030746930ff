// Files that cannot be replaced: a write-protected file, and a folder on a read-only file system
// (a read-only bind mount in a mount namespace of a child process's own). Tests run as root,
// where permission bits do not stop a write, so only the mount shows the system's own refusal.
// The line names the file and the cause the system gives, and the old contents stay.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "support/ChildProcess.h"
#include "test_support.h"

namespace {

using testsupport::LogCapture;
using testsupport::TempDir;

constexpr int kNoNamespace = 77;

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

// The child mounts the folder read-only where only it sees the mount, writes an existing and a
// new file there and leaves its log lines in a file outside the folder.
TEST(ReadOnlyTarget, ReadOnlyFileSystemIsNamedForOldAndNewFiles) {
  TempDir dir, out;
  dir.write("data/scenes.xml", "<old/>");
  const std::string folder = dir.path("data");
  const std::string linesFile = out.path("lines.txt");
  const pid_t child = testsupport::ForkBound();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
      std::ofstream(linesFile) << std::strerror(errno);
      _exit(kNoNamespace);
    }
    LogCapture log;
    const bool old = base::xml::write_file(Tree(), (folder + "/scenes.xml").c_str());
    const bool fresh = base::xml::write_file(Tree(), (folder + "/new.xml").c_str());
    std::ofstream(linesFile) << log.text();
    _exit(old || fresh ? 1 : 0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string lines = out.read("lines.txt");
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kNoNamespace) GTEST_SKIP() << "no private read-only mount here: " << lines;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a write went through:\n" << lines;
  const std::string cause = std::string(" (") + std::strerror(EROFS) + ")";
  EXPECT_NE(lines.find("ERROR: xml-file '" + folder + "/scenes.xml' cannot be created" + cause), std::string::npos)
      << lines;
  EXPECT_NE(lines.find("ERROR: xml-file '" + folder + "/new.xml' cannot be created" + cause), std::string::npos)
      << lines;
  EXPECT_EQ(dir.read("data/scenes.xml"), "<old/>");
}

}  // namespace
