// The documents folder from the XDG user directories, and the single-instance lock.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/os/UserFolders.h"
#include "support/ProgramRun.h"

namespace {

using platform::os::InstanceLock;
using platform::os::ParseUserDirsDocuments;

std::string Parse(const std::string& text, const std::string& home = "/home/q") {
  return ParseUserDirsDocuments(text.data(), text.size(), home);
}

TEST(UserDirs, TheDocumentsLineIsReadWithHomeExpanded) {
  struct st_Case {
    const char* text;
    const char* expected;
  };
  const st_Case cases[] = {
      {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", "/home/q/Dokumente"},
      {"XDG_DOCUMENTS_DIR=\"/data/docs\"\r\n", "/data/docs"},
      {"  XDG_DOCUMENTS_DIR=\"$HOME\"", "/home/q"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/a b\"\nXDG_DOCUMENTS_DIR=\"$HOME/later\"\n", "/home/q/later"},  // the last wins
      {"XDG_DOCUMENTS_DIR=$HOME/unquoted\n", ""},
      {"XDG_DOCUMENTS_DIR=\"relative/path\"\n", ""},
      {"XDG_DOCUMENTS_DIR=\"$HOMEWARD/x\"\n", ""},
      {"XDG_DOCUMENTS_DIR=\"/open\n", ""},
      {"XDG_DOCUMENTS_DIRX=\"/x\"\n", ""},
      {"", ""},
  };
  for (const st_Case& c : cases) EXPECT_EQ(Parse(c.text), c.expected) << c.text;
  EXPECT_EQ(Parse("XDG_DOCUMENTS_DIR=\"$HOME/x\"", ""), "") << "no home to expand";
  EXPECT_EQ(Parse(std::string("XDG_DOCUMENTS_DIR=\"/a\tb\"")), "") << "control characters";
}

// The environment variable first, then the file under XDG_CONFIG_HOME, then ~/Documents.
TEST(UserDirs, TheDocumentsFolderFollowsTheEnvironmentThenTheFile) {
  testprogram::TempDir dir("quillane_userdirs");
  std::filesystem::create_directories(dir.path("config"));
  std::ofstream(dir.path("config/user-dirs.dirs")) << "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
  const char* keep[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR"};
  std::string saved[3];
  bool had[3];
  for (int i = 0; i < 3; ++i) {
    const char* v = std::getenv(keep[i]);
    had[i] = v != nullptr;
    saved[i] = v ? v : "";
  }
  setenv("HOME", dir.path("home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.path("config").c_str(), 1);
  setenv("XDG_DOCUMENTS_DIR", "/somewhere/docs", 1);
  EXPECT_EQ(platform::os::DocumentsFolder(), "/somewhere/docs");
  unsetenv("XDG_DOCUMENTS_DIR");
  EXPECT_EQ(platform::os::DocumentsFolder(), dir.path("home") + "/Papers");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(platform::os::DocumentsFolder(), dir.path("home") + "/Documents");
  for (int i = 0; i < 3; ++i) {
    if (had[i]) setenv(keep[i], saved[i].c_str(), 1);
    else unsetenv(keep[i]);
  }
}

// A second holder (another process) is refused while the first lives; the lock dies with it.
TEST(InstanceLockTest, AnotherProcessIsRefusedUntilTheHolderEnds) {
  testprogram::TempDir dir("quillane_lock");
  const std::string path = dir.path("Quillane.lock");
  InstanceLock lock;
  std::string error;
  ASSERT_EQ(lock.Acquire(path, &error), InstanceLock::Result::Acquired) << error;
  auto tryInChild = [&] {
    const pid_t pid = testsupport::ForkBound();
    if (pid == 0) {
      InstanceLock other;
      _exit(static_cast<int>(other.Acquire(path, nullptr)));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return static_cast<InstanceLock::Result>(WEXITSTATUS(status));
  };
  EXPECT_EQ(tryInChild(), InstanceLock::Result::HeldElsewhere);
  lock.Release();
  EXPECT_EQ(tryInChild(), InstanceLock::Result::Acquired);
  InstanceLock bad;
  EXPECT_EQ(bad.Acquire(dir.path("missing/folder/Quillane.lock"), &error), InstanceLock::Result::Failed);
  EXPECT_FALSE(error.empty());
}

}  // namespace
