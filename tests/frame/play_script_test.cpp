// The .play reader: every step kind, and bad lines named with file and line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "quillane/app/PlayScript.h"
#include "quillane/app/SplashScreen.h"

namespace {

bool Read(const std::string& text, std::vector<st_PlayStep>& steps, std::string* error) {
  return ReadPlayScript(text.data(), text.size(), "road.play", steps, error);
}

TEST(PlayScript, EveryStepKindIsRead) {
  std::vector<st_PlayStep> steps;
  std::string error;
  ASSERT_TRUE(
      Read("# the road\n\nwait state RootMenu 40\r\nwait state LoadingScreen\nwait frames 10  # one second\n"
           "key Escape\nkey q\nclick button Load Game\nclose\nshot intro_1 Odo Quillane\ncheck loadingbar 0.5 full\n"
           "wait scene Office 80\nwait idle\nwait idle 20\nexpect Missions/Minigames/Bookshelf/Win 1\n",
           steps, &error))
      << error;
  ASSERT_EQ(steps.size(), 13u);
  EXPECT_EQ(steps[0].kind, st_PlayStep::WAIT_STATE);
  EXPECT_EQ(steps[0].name, "RootMenu");
  EXPECT_EQ(steps[0].number, 40);
  EXPECT_EQ(steps[0].line, 3);
  EXPECT_EQ(steps[1].number, kDefaultWaitBudget);
  EXPECT_EQ(steps[2].kind, st_PlayStep::WAIT_FRAMES);
  EXPECT_EQ(steps[2].number, 10);
  EXPECT_EQ(steps[3].kind, st_PlayStep::KEY);
  EXPECT_EQ(steps[3].number, 0x01);
  EXPECT_EQ(steps[4].number, 0x10);
  EXPECT_EQ(steps[5].kind, st_PlayStep::CLICK_BUTTON);
  EXPECT_EQ(steps[5].name, "Load Game");
  EXPECT_EQ(steps[6].kind, st_PlayStep::CLOSE);
  EXPECT_EQ(steps[7].kind, st_PlayStep::SHOT);
  EXPECT_EQ(steps[7].name, "intro_1");
  EXPECT_EQ(steps[7].argument, "Odo Quillane");  // the characters whose faces it shows
  EXPECT_EQ(steps[8].kind, st_PlayStep::CHECK);
  EXPECT_EQ(steps[8].argument, "0.5 full");
  EXPECT_EQ(steps[8].text, "check loadingbar 0.5 full");
  EXPECT_EQ(steps[9].kind, st_PlayStep::WAIT_SCENE);
  EXPECT_EQ(steps[9].name, "Office");
  EXPECT_EQ(steps[9].number, 80);
  EXPECT_EQ(steps[10].kind, st_PlayStep::WAIT_IDLE);
  EXPECT_EQ(steps[10].number, kDefaultWaitBudget);
  EXPECT_EQ(steps[11].number, 20);
  EXPECT_EQ(steps[12].kind, st_PlayStep::EXPECT);
  EXPECT_EQ(steps[12].name, "Missions/Minigames/Bookshelf/Win");
  EXPECT_EQ(steps[12].argument, "1");
}

// The mini-game steps: a wait for a running game by its registered name, and the skip button;
// and a wait for a host's check, with its argument.
TEST(PlayScript, MinigameAndCheckWaitsAreRead) {
  std::vector<st_PlayStep> steps;
  std::string error;
  ASSERT_TRUE(Read("wait minigame Bookshelf\nclick skip\nwait minigame Dance 40\nwait check answered the lamp\n", steps,
                   &error))
      << error;
  ASSERT_EQ(steps.size(), 4u);
  EXPECT_EQ(steps[3].kind, st_PlayStep::WAIT_CHECK);
  EXPECT_EQ(steps[3].name, "answered");
  EXPECT_EQ(steps[3].argument, "the lamp");
  EXPECT_EQ(steps[3].number, kDefaultWaitBudget);
  EXPECT_EQ(steps[0].kind, st_PlayStep::WAIT_MINIGAME);
  EXPECT_EQ(steps[0].name, "Bookshelf");
  EXPECT_EQ(steps[0].number, kDefaultWaitBudget);
  EXPECT_EQ(steps[1].kind, st_PlayStep::CLICK_SKIP);
  EXPECT_EQ(steps[1].number, kDefaultWaitBudget);
  EXPECT_EQ(steps[2].number, 40);
}

// The mini-game steps name a target or condition of one or more words; a wait may end with its
// frame budget, which a target's last number never is.
TEST(PlayScript, GameStepsNameTargetsAndConditions) {
  std::vector<st_PlayStep> steps;
  std::string error;
  ASSERT_TRUE(Read("click game tutorial\nclick game cell 2  1\nmove game edge left\nwait game idle\n"
                   "wait game view mixer 120\nclick game station Exit\n",
                   steps, &error))
      << error;
  ASSERT_EQ(steps.size(), 6u);
  EXPECT_EQ(steps[0].kind, st_PlayStep::CLICK_GAME);
  EXPECT_EQ(steps[0].name, "tutorial");
  EXPECT_EQ(steps[1].name, "cell 2 1");
  EXPECT_EQ(steps[1].number, kDefaultWaitBudget);
  EXPECT_EQ(steps[2].kind, st_PlayStep::MOVE_GAME);
  EXPECT_EQ(steps[2].name, "edge left");
  EXPECT_EQ(steps[3].kind, st_PlayStep::WAIT_GAME);
  EXPECT_EQ(steps[3].name, "idle");
  EXPECT_EQ(steps[3].number, kDefaultWaitBudget);
  EXPECT_EQ(steps[4].name, "view mixer");
  EXPECT_EQ(steps[4].number, 120);
  EXPECT_EQ(steps[5].name, "station Exit");
}

// A click on the scene names its object, or a floor point within 100000 units.
TEST(PlayScript, ClicksOnTheSceneAreRead) {
  std::vector<st_PlayStep> steps;
  std::string error;
  ASSERT_TRUE(Read("click hotspot shelf\nclick character Odo\nclick floor -390.5 240\n", steps, &error)) << error;
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].kind, st_PlayStep::CLICK_HOTSPOT);
  EXPECT_EQ(steps[0].name, "shelf");
  EXPECT_EQ(steps[1].kind, st_PlayStep::CLICK_CHARACTER);
  EXPECT_EQ(steps[1].name, "Odo");
  EXPECT_EQ(steps[2].kind, st_PlayStep::CLICK_FLOOR);
  EXPECT_EQ(steps[2].floor[0], -390.5f);
  EXPECT_EQ(steps[2].floor[1], 240.0f);
}

constexpr const char* kClickError =
    "road.play:1: expected \"click button <label>\", \"click hotspot|character <name>\", \"click skip\", \"click "
    "game <target>\" or \"click floor <x> <z>\" (coordinates within 100000)";
constexpr const char* kWaitError =
    "expected \"wait state|scene|minigame <name> [frames]\", \"wait game <condition> [frames]\", \"wait check "
    "<name> [argument]\", \"wait idle [frames]\" or \"wait frames <n>\"";

TEST(PlayScript, BadLinesNameTheFileAndTheLine) {
  struct st_Case {
    const char* text;
    std::string error;
  };
  const st_Case cases[] = {
      {"jump\n", "road.play:1: unknown step \"jump\""},
      {"\nwait state\n", std::string("road.play:2: ") + kWaitError},
      {"wait idle now please\n", std::string("road.play:1: ") + kWaitError},
      {"wait minigame\n", std::string("road.play:1: ") + kWaitError},
      {"wait check\n", std::string("road.play:1: ") + kWaitError},
      {"wait minigame Dance 0\n", "road.play:1: the frame budget must be a number from 1 to 100000"},
      {"click skip now\n", kClickError},
      {"wait scene Quay 0\n", "road.play:1: the frame budget must be a number from 1 to 100000"},
      {"wait idle x\n", "road.play:1: the frame budget must be a number from 1 to 100000"},
      {"expect Missions/Skill\n", "road.play:1: expected \"expect <game-state path> <value>\""},
      {"wait state A 0\n", "road.play:1: the frame budget must be a number from 1 to 100000"},
      {"wait state A 100001\n", "road.play:1: the frame budget must be a number from 1 to 100000"},
      {"wait frames -3\n", "road.play:1: the frame count must be a number from 0 to 100000"},
      {"wait frames 99999999999999999999\n", "road.play:1: the frame count must be a number from 0 to 100000"},
      {"key Hyper\n", "road.play:1: expected \"key <name>\" with a known key name"},
      {"click Ok\n", kClickError},
      {"click hotspot\n", kClickError},
      {"click character Odo Mina\n", kClickError},
      {"click floor 1 nan\n", kClickError},
      {"click floor 1e9 0\n", kClickError},
      {"click floor 5 6 7\n", kClickError},
      {"close now\n", "road.play:1: \"close\" takes nothing"},
      {"shot ../../etc/x\n",
       "road.play:1: expected \"shot <name> [<character>...]\" with letters, digits, '_' or '-' in the name"},
      {"check\n", "road.play:1: expected \"check <name> [argument]\""},
      {"key Escape\x01\n", "road.play:1: control character in the line"},
      {"click game\n", "road.play:1: expected \"click game <target>\""},
      {"move game\n", "road.play:1: expected \"move game <target>\""},
      {"wait game\n", "road.play:1: expected \"wait game <condition> [frames]\""},
      {"wait game idle 0\n", "road.play:1: the frame budget must be a number from 1 to 100000"},
      {"move knob 1\n", "road.play:1: unknown step \"move\""},
  };
  for (const st_Case& c : cases) {
    std::vector<st_PlayStep> steps;
    std::string error;
    EXPECT_FALSE(Read(c.text, steps, &error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
  std::vector<st_PlayStep> steps;
  std::string error;
  EXPECT_FALSE(Read("close\n" + std::string(5000, 'x') + "\n", steps, &error));
  EXPECT_EQ(error, "road.play:2: line longer than 4096 characters");
  EXPECT_EQ(steps.size(), 1u) << "the steps before the bad line stay";
  EXPECT_FALSE(LoadPlayScript("/nonexistent/road.play", steps, &error));
  EXPECT_EQ(error, "/nonexistent/road.play: cannot be read");
  // Neither a folder nor a FIFO is a file of steps (the FIFO would block the start).
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("play_kinds_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder / "folder.play");
  ASSERT_EQ(mkfifo((folder / "fifo.play").c_str(), 0600), 0);
  for (const char* name : {"folder.play", "fifo.play"}) {
    const std::string path = (folder / name).string();
    EXPECT_FALSE(LoadPlayScript(path.c_str(), steps, &error));
    EXPECT_EQ(error, path + ": cannot be read");
  }
  std::filesystem::remove_all(folder);
}

TEST(SplashPath, BmpIsAppendedOnlyWithoutAnyDot) {
  EXPECT_EQ(cl_SplashScreen::BitmapPathFor("/app/loca/English/splash_screen"), "/app/loca/English/splash_screen.bmp");
  EXPECT_EQ(cl_SplashScreen::BitmapPathFor("/app.v2/loca/English/splash"), "/app.v2/loca/English/splash");
  EXPECT_EQ(cl_SplashScreen::BitmapPathFor("/app/splash.bmp"), "/app/splash.bmp");
}

}  // namespace
