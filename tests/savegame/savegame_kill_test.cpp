// The kill test: a program saving one slot in a loop is killed at random moments; after each
// kill the slot must load as a complete save (the old one or the new one), and the temporary
// files the kills left behind are gone after the next save.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "SavegameGenerator.h"
#include "quillane/savegame/SavegameImage.h"
#include "support/ChildProcess.h"
#include "support/ScratchFolder.h"

namespace fs = std::filesystem;

namespace quillane {
namespace {

constexpr int kKills = 200;

pid_t StartWriter(const std::string& slot) { return testsupport::Start({.args = {QUILLANE_WRITER_LOOP, slot}}); }

TEST(SavegameKill, EveryKillLeavesACompleteSave) {
  const fs::path dir = testsupport::MakeScratchFolder("quillane_kill");
  const std::string slot = (dir / "slot001.sav").string();
  savegen::WriteFile(slot, savegen::Generate().bytes);

  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> delay(0, 12000);  // microseconds after the start
  int strays = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    const pid_t pid = StartWriter(slot);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own with " << WEXITSTATUS(status);
    st_SavegameImage image;
    ASSERT_TRUE(ReadSavegameFile(slot.c_str(), image)) << "after kill " << kill;
    const std::u16string name(image.head.m_name.c_str());
    ASSERT_TRUE(name == u"Office, before the ferry" || name.rfind(u"save ", 0) == 0) << "after kill " << kill;
  }
  for (const auto& entry : fs::directory_iterator(dir)) strays += entry.path().filename() != "slot001.sav";

  // The next save clears what the killed ones left.
  st_SavegameImage image;
  ASSERT_TRUE(ReadSavegameFile(slot.c_str(), image));
  ASSERT_TRUE(WriteSavegameFile(slot.c_str(), image));
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"slot001.sav"}) << strays << " strays before the save";
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quillane
