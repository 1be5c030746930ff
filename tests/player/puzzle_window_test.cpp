// The Quay's two puzzles as a player meets them: the built program in a virtual X display, started
// from a savegame on the Quay and driven only by X events; the screen is read back from the X
// server. The savegame, and where the boards' cells and the mixer's wheel are, come from the game
// itself, run headless in this process first at the same window size.
//   - the pump house's mixer, scrolled to its far corner, shows its wheel for all fluids on the
//     painted panel, not over a black corner;
//   - the lamp board, turned as its help says, lights its line once the circuit closes, and the
//     lamp is mended.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "headless_road.h"
#include "support/DemoDataCopy.h"
#include "support/ProgramRun.h"
#include "x_session.h"

namespace playertest {
namespace {

namespace fs = std::filesystem;

// The games of the Office skipped on the way to the Quay; there the lamp's board and the pump
// house's panel are each opened (their help boxes read once), noted and left, and the game is
// saved with Quillane by the pumps. The mixer is noted scrolled to its upper left limit, where
// the pointer at the window's corner takes it.
constexpr const char* kQuayRoad =
    "wait state LoadingScreen 5\n"
    "wait scene Office 200\n"
    "wait idle 400\n"
    "click hotspot shelf\n"
    "wait minigame Bookshelf 100\n"
    "click skip\n"
    "wait idle 100\n"
    "click hotspot drawer\n"
    "wait idle 200\n"
    "click hotspot telegram\n"
    "wait idle 200\n"
    "drag token T1_Codebook T1_Telegram\n"
    "wait minigame Decoder 200\n"
    "click skip\n"
    "wait idle 100\n"
    "drag token T1_Ledger Odo\n"
    "wait idle 200\n"
    "drag token T1_Message Odo\n"
    "wait idle 200\n"
    "click hotspot door\n"
    "wait scene Quay 200\n"
    "wait idle 400\n"
    "check session trigger lamp\n"
    "wait minigame FloorLights 200\n"
    "click game tutorial\n"
    "click game tutorial\n"
    "wait game idle\n"
    "check note game cell 0 0\n"
    "check note game cell 1 0\n"
    "check note game cell 1 1\n"
    "check note game cell 2 1\n"
    "check note game cell 0 2\n"
    "check note game cell 1 2\n"
    "check note game cell 2 2\n"
    "click at 1020 384\n"
    "wait idle 300\n"
    "check session trigger pumps\n"
    "wait minigame Sabotage 300\n"
    "click game tutorial\n"
    "wait game idle\n"
    "move 5 5\n"
    "wait frames 30\n"
    "wait game idle\n"
    "check note game valve 7\n"
    "key Escape\n"
    "wait idle 300\n"
    "check note hotspot lamp\n"
    "check note hotspot pumps\n"
    "save 1\n";

// The configuration of every run: no intro, the skip buttons late, the scene scripts' lines with
// every spoken line.
const std::vector<std::pair<std::string, std::string>> kPuzzleConfig = {
    {"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""},
    {"Debug_ScriptWarningLevel=\"0\"", "Debug_ScriptWarningLevel=\"2\""},
};

class PuzzleWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_skip = WindowTestsUnavailable(s_failure);
    if (!s_skip.empty()) return;
    s_dir = std::make_unique<testprogram::TempDir>("quillane_puzzles");
    testsupport::CopyDemoData(QUILLANE_DATA_DIR, s_dir->path("data"));
    // The road skips the office games on its way: the skip buttons show at once there.
    const std::string road = s_dir->path("road");
    auto config = kPuzzleConfig;
    config.push_back({"<DevTools ShowIntroMovies=\"0\"/>", "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\"/>"});
    config.push_back({"<AutoFadeInterface", "<MinigamesPanicButton Value=\"1\"/><AutoFadeInterface"});
    testprogram::WriteUserConfig(road, config);
    const std::string failure = RunHeadlessRoad(kQuayRoad, s_dir->path("data"), road, s_points);
    if (!failure.empty()) ADD_FAILURE() << failure;
  }
  static void TearDownTestSuite() { s_dir.reset(); }

  void SetUp() override {
    if (!s_failure.empty()) FAIL() << s_failure;
    if (!s_skip.empty()) GTEST_SKIP() << s_skip;
  }

  static std::pair<int, int> Point(const std::string& what) { return NotedPoint(s_points, what); }

  // The program started from the headless run's savegame on the Quay, once its scene is shown.
  static bool StartOnTheQuay(cl_XSession& x, const std::string& user, const std::string& log) {
    auto config = kPuzzleConfig;
    config.push_back({"<DevTools ShowIntroMovies=\"0\"/>",
                      "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\" Savegame=\"slot001.sav\"/>"});
    testprogram::WriteUserConfig(user, config);
    fs::create_directories(user + "/Savegames");
    fs::copy_file(s_dir->path("road/Savegames/slot001.sav"), user + "/Savegames/slot001.sav",
                  fs::copy_options::overwrite_existing);
    if (!x.Start(user, log, kWindowWidth, kWindowHeight, "us")) return false;
    if (!testprogram::WaitForLog(log, "Quay: OnAlphaHack", kStartMs)) return false;
    Frames(1000);
    return true;
  }

  static std::unique_ptr<testprogram::TempDir> s_dir;
  static tPoints s_points;
  static std::string s_skip, s_failure;
};

std::unique_ptr<testprogram::TempDir> PuzzleWindow::s_dir;
tPoints PuzzleWindow::s_points;
std::string PuzzleWindow::s_skip, PuzzleWindow::s_failure;

// ---- colours on the screen

struct st_Rgb {
  int r, g, b;
};

bool Near(const st_Screen& screen, int x, int y, st_Rgb colour, int tolerance) {
  if (x < 0 || y < 0 || x >= screen.width || y >= screen.height) return false;
  const uint32_t p = screen.At(x, y);
  return std::abs(int((p >> 16) & 0xFF) - colour.r) <= tolerance && std::abs(int((p >> 8) & 0xFF) - colour.g) <= tolerance &&
         std::abs(int(p & 0xFF) - colour.b) <= tolerance;
}

std::string ColourAt(const st_Screen& screen, int x, int y) {
  if (x < 0 || y < 0 || x >= screen.width || y >= screen.height) return "outside the screen";
  char text[32];
  const uint32_t p = screen.At(x, y);
  std::snprintf(text, sizeof(text), "(%u, %u, %u)", (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  return text;
}

// The demo's art: the mixer's steel plate, its blue wheel, a tile's plate and a lit line.
constexpr st_Rgb kPanelSteel{76, 88, 98}, kWheelBlue{48, 112, 192}, kTilePlate{58, 63, 68}, kLitLine{255, 242, 160};

// ---- the tests

// The pump house's panel: the pointer at the window's upper left corner scrolls the view to the
// mixer's far corner, where its wheel for all fluids stands on the painted plate that carries it.
// Then the lamp's board, turned tile by tile as its help asks (the feed's line over to the middle
// column, down it and along to the harbour lamp, the lower left tile's line into the earth plug):
// nothing is lit until the last turn closes the circuit, which lights the line and mends the lamp.
TEST_F(PuzzleWindow, TheMixersWheelStandsOnItsPanelAndTheLampBoardBuiltAsItsHelpSaysLightsUp) {
  const std::string user = s_dir->path("window"), log = s_dir->path("window.log");
  cl_XSession x;
  ASSERT_TRUE(StartOnTheQuay(x, user, log)) << testprogram::ReadFile(log);

  const auto [pumpsX, pumpsY] = Point("hotspot pumps");
  x.Click(pumpsX, pumpsY);
  ASSERT_TRUE(testprogram::WaitForLog(log, "Says(Quillane,#quay0_3 ", 30000)) << testprogram::ReadFile(log);
  const auto [wheelX, wheelY] = Point("game valve 7");
  x.MoveTo(5, 5);
  const st_Screen mixer = x.GrabUntil([&](const st_Screen& s) { return Near(s, wheelX, wheelY - 26, kWheelBlue, 40); }, 60000);
  EXPECT_TRUE(Near(mixer, wheelX, wheelY - 26, kWheelBlue, 40)) << "no wheel at " << wheelX << "," << wheelY << ": "
                                                                 << ColourAt(mixer, wheelX, wheelY - 26);
  for (const auto& [dx, dy] : {std::pair{-100, 0}, std::pair{-100, 100}, std::pair{0, 60}})
    EXPECT_TRUE(Near(mixer, wheelX + dx, wheelY + dy, kPanelSteel, 16))
        << "no panel at " << wheelX + dx << "," << wheelY + dy << ": " << ColourAt(mixer, wheelX + dx, wheelY + dy);
  x.MoveTo(512, 384);
  Frames(300);
  x.Key("Escape");
  ASSERT_TRUE(testprogram::WaitForLog(log, "Says(Quillane,#quay0_8 ", 30000)) << testprogram::ReadFile(log);

  // Once her line about the pumps is over, the lamp: she walks up to it and says what she sees.
  Frames(4000);
  const auto [lampX, lampY] = Point("hotspot lamp");
  x.Click(lampX, lampY);
  ASSERT_TRUE(testprogram::WaitForLog(log, "Says(Quillane,#quay0_1)", 30000)) << testprogram::ReadFile(log);
  // The board comes up through the fade from black; it takes clicks once it is whole: the plates
  // of its tiles show, each in its cell. The pointer rests below it, away from the exits at the
  // window's edges.
  auto boardShows = [](const st_Screen& s) {
    for (const char* cell : {"game cell 0 0", "game cell 2 1", "game cell 1 2"}) {
      const auto [cx, cy] = Point(cell);
      if (!Near(s, cx - 40, cy - 40, kTilePlate, 10) || !Near(s, cx + 40, cy + 40, kTilePlate, 10)) return false;
    }
    return true;
  };
  constexpr int kBoardRestX = kWindowWidth / 2, kBoardRestY = kWindowHeight - 60;
  x.MoveTo(kBoardRestX, kBoardRestY);
  ASSERT_TRUE(boardShows(x.GrabUntil(boardShows))) << "no lamp board\n" << testprogram::ReadFile(log);
  Frames(1000);
  const auto [middleX, middleY] = Point("game cell 1 1");
  const char* const kTurns[] = {"game cell 0 0", "game cell 1 0", "game cell 1 1",
                                "game cell 0 2", "game cell 1 2", "game cell 2 2"};
  for (const char* cell : kTurns) {
    if (std::strcmp(cell, "game cell 2 2") == 0) {
      x.MoveTo(kBoardRestX, kBoardRestY);
      Frames(600);
      const st_Screen open = x.Grab();
      EXPECT_FALSE(Near(open, middleX, middleY, kLitLine, 40)) << "lit before the circuit closes";
    }
    const auto [cx, cy] = Point(cell);
    x.Click(cx, cy);  // lifts the tile
    Frames(250);
    x.Click(cx, cy);  // a second press where the first was turns it
    Frames(400);
  }
  x.MoveTo(kBoardRestX, kBoardRestY);
  const st_Screen lit = x.GrabUntil([&](const st_Screen& s) { return Near(s, middleX, middleY, kLitLine, 40); });
  EXPECT_TRUE(Near(lit, middleX, middleY, kLitLine, 40)) << "the closed circuit is not lit: "
                                                          << ColourAt(lit, middleX, middleY);
  // The "Success!" box goes with a click; the lamp is mended.
  Frames(1500);
  x.Click(kWindowWidth / 2, kWindowHeight / 2);
  EXPECT_TRUE(testprogram::WaitForLog(log, "Says(Quillane,#quay0_9 ", 60000)) << testprogram::ReadFile(log);
  x.Stop();
  EXPECT_EQ(testprogram::ReadFile(log).find("ERROR:"), std::string::npos) << testprogram::ReadFile(log);
}

}  // namespace
}  // namespace playertest
