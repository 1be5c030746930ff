// The Quay's two puzzles as a player meets them: the built program in a virtual X display, started
// from a savegame on the Quay and driven only by X events; the screen is read back from the X
// server. The savegame, and where the boards' cells and the mixer's wheel are, come from the game
// itself, run headless first at the same window size (under CTest once for all, by the set-up
// tests WindowRoads.Quay and WindowRoads.SmallQuay).
//   - the pump house's mixer, scrolled to its far corner, shows its wheel for all fluids on the
//     painted panel, not over a black corner;
//   - the lamp board, turned as its help says, lights its line once the circuit closes, and the
//     lamp is mended;
//   - in an 800 x 600 window the pump house's panel is drawn smaller: the tanks the pipes must
//     reach, the mixer's valves and its exit show where the game places them;
//   - right after Mina's first talk, Pell, clicked where he shows on his round, is greeted every
//     time, ten times in a row.
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
// the pointer at the window's corner takes it. After the save, Mina, her first talk's end-chat
// topic and Mina in the talk's close-up.
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
    "save 1\n"
    "check note character Mina\n"
    "click character Mina\n"
    "wait check session dialogue open\n"
    "wait idle 300\n"
    "check note token T6_EndChat\n"
    "check note character Mina as talking Mina\n";

// In an 800 x 600 window, from a new game given the pass: the reset button of the view the game
// opens on noted, the pumps set by their knobs, the grid
// noted where the view comes to rest on it (the tanks above it, the cell whose turn joins the
// third pipe), the mixer where the joined pipes take the view (its valves and exit), and the
// valve for all fluids at the left scroll limit; the game is left and saved by the pumps, which
// stay set.
constexpr const char* kSmallQuayRoad =
    "wait state LoadingScreen 5\n"
    "wait scene Office 200\n"
    "wait idle 400\n"
    "check session give T1_Pass\n"
    "check session trigger door\n"
    "wait scene Quay 200\n"
    "wait idle 400\n"
    "check session trigger pumps\n"
    "wait minigame Sabotage 300\n"
    "click game tutorial\n"
    "wait game idle\n"
    "check note game reset\n"
    "click game knob 1\nwait game idle\nclick game knob 2\nwait game idle\nclick game knob 3\nwait game idle\n"
    "click game knob 1\nwait game idle\nclick game knob 1\nwait game idle\nclick game knob 2\nwait game idle\n"
    "click game knob 2\nwait game idle\nclick game knob 3\nwait game idle\nclick game knob 1\nwait game idle\n"
    "click game knob 2\nwait game idle\nclick game knob 2\nwait game idle\nclick game knob 2\nwait game idle\n"
    "wait game view grid\n"
    "wait game idle\n"
    "check note game tank 1\n"
    "check note game tank 2\n"
    "check note game tank 3\n"
    "check note game cell 1 2\n"
    "click game cell 1 2\n"
    "click game cell 1 2\n"
    "wait game view mixer\n"
    "wait game idle\n"
    "check note game valve 1\n"
    "check note game valve 2\n"
    "check note game valve 3\n"
    "check note game valve 4\n"
    "check note game valve 5\n"
    "check note game valve 6\n"
    "check note game exit\n"
    "move 3 300\n"
    "wait frames 30\n"
    "wait game idle\n"
    "check note game valve 7\n"
    "key Escape\n"
    "wait idle 300\n"
    "check note hotspot pumps\n"
    "save 1\n";

using tConfig = std::vector<std::pair<std::string, std::string>>;

// The configuration of every run: no intro, the skip buttons late, the scene scripts' lines with
// every spoken line.
const tConfig kPuzzleConfig = {
    {"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""},
    {"Debug_ScriptWarningLevel=\"0\"", "Debug_ScriptWarningLevel=\"2\""},
};
const std::pair<std::string, std::string> kNarrowDisplay{"Width=\"1024\" Height=\"768\"",
                                                        "Width=\"800\" Height=\"600\""};
constexpr int kNarrowWidth = 800, kNarrowHeight = 600;

// Plays road headless in the data folder data with the user folder user, its window the bundled
// one or another display set by the extra configuration; empty when it ran to its end.
std::string PlayQuayRoad(const char* road, const tConfig& extra, const std::string& data, const std::string& user,
                         tPoints& points) {
  // The road skips the office games on its way: the skip buttons show at once there.
  tConfig config = kPuzzleConfig;
  config.insert(config.end(), extra.begin(), extra.end());
  config.push_back({"<DevTools ShowIntroMovies=\"0\"/>", "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\"/>"});
  config.push_back({"<AutoFadeInterface", "<MinigamesPanicButton Value=\"1\"/><AutoFadeInterface"});
  testprogram::WriteUserConfig(user, config);
  return RunHeadlessRoad(road, data, user, points);
}

// The set-up test of the suites starting from the road name, which CTest runs once for them all.
void ShareQuayRoad(const char* name, const char* road, const tConfig& extra) {
  const std::string skip = RoadSetUpSkipped(name);
  if (!skip.empty()) GTEST_SKIP() << skip;
  testprogram::TempDir dir("quillane_puzzle_road");
  testsupport::CopyDemoData(QUILLANE_DATA_DIR, dir.path("data"));
  tPoints points;
  ASSERT_EQ(PlayQuayRoad(road, extra, dir.path("data"), dir.path("road"), points), "");
  ASSERT_TRUE(ShareRoad(SharedRoadFolder(name), points, dir.path("road")));
}

TEST(WindowRoads, Quay) { ShareQuayRoad("Quay", kQuayRoad, {}); }
TEST(WindowRoads, SmallQuay) { ShareQuayRoad("SmallQuay", kSmallQuayRoad, {kNarrowDisplay}); }

// A suite of window tests started from where a headless run of its road left the game: the
// points it noted and its savegame on the Quay.
class QuayWindowSuite : public ::testing::Test {
 protected:
  struct st_Suite {
    std::unique_ptr<testprogram::TempDir> dir;
    tPoints points;
    std::string skip, failure;
  };

  // The road name's outcome, from its set-up test under CTest, else played here.
  static void RunRoad(st_Suite& suite, const char* name, const char* road, const tConfig& extra) {
    suite.skip = WindowTestsUnavailable(suite.failure);
    if (!suite.skip.empty()) return;
    suite.dir = std::make_unique<testprogram::TempDir>("quillane_puzzles");
    testsupport::CopyDemoData(QUILLANE_DATA_DIR, suite.dir->path("data"));
    const std::string user = suite.dir->path("road"), shared = SharedRoadFolder(name);
    // Kept for each test to fail with: a failure of the suite's set-up alone would let its tests
    // be counted as skipped.
    suite.failure = shared.empty() ? PlayQuayRoad(road, extra, suite.dir->path("data"), user, suite.points)
                                   : ReadSharedRoad(shared, suite.points, user);
  }

  static void Check(const st_Suite& suite) {
    if (!suite.failure.empty()) FAIL() << suite.failure;
    if (!suite.skip.empty()) GTEST_SKIP() << suite.skip;
  }

  // The program started from the road's savegame on the Quay in a window of width x height, once
  // its scene is shown.
  static bool StartOnTheQuay(const st_Suite& suite, cl_XSession& x, const std::string& user, const std::string& log,
                             const tConfig& extra, int width, int height) {
    tConfig config = kPuzzleConfig;
    config.insert(config.end(), extra.begin(), extra.end());
    config.push_back({"<DevTools ShowIntroMovies=\"0\"/>",
                      "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\" Savegame=\"slot001.sav\"/>"});
    testprogram::WriteUserConfig(user, config);
    fs::create_directories(user + "/Savegames");
    fs::copy_file(suite.dir->path("road/Savegames/slot001.sav"), user + "/Savegames/slot001.sav",
                  fs::copy_options::overwrite_existing);
    if (!x.Start(user, log, width, height, "us")) return false;
    if (!testprogram::WaitForLog(log, "Quay: OnAlphaHack", kStartMs)) return false;
    Frames(1000);
    return true;
  }
};

class PuzzleWindow : public QuayWindowSuite {
 protected:
  static void SetUpTestSuite() { RunRoad(s_suite, "Quay", kQuayRoad, {}); }
  static void TearDownTestSuite() { s_suite.dir.reset(); }
  void SetUp() override { Check(s_suite); }

  static std::pair<int, int> Point(const std::string& what) { return NotedPoint(s_suite.points, what); }
  static bool StartOnTheQuay(cl_XSession& x, const std::string& user, const std::string& log) {
    return QuayWindowSuite::StartOnTheQuay(s_suite, x, user, log, {}, kWindowWidth, kWindowHeight);
  }

  static st_Suite s_suite;
};

PuzzleWindow::st_Suite PuzzleWindow::s_suite;

class SmallPuzzleWindow : public QuayWindowSuite {
 protected:
  static void SetUpTestSuite() { RunRoad(s_suite, "SmallQuay", kSmallQuayRoad, {kNarrowDisplay}); }
  static void TearDownTestSuite() { s_suite.dir.reset(); }
  void SetUp() override { Check(s_suite); }

  static std::pair<int, int> Point(const std::string& what) { return NotedPoint(s_suite.points, what); }

  static st_Suite s_suite;
};

SmallPuzzleWindow::st_Suite SmallPuzzleWindow::s_suite;

// The people on the Quay, from the same road as the puzzles.
using QuayWindow = PuzzleWindow;

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

// The pixel at (x, y) shows on b as on a, but for a little.
bool Kept(const st_Screen& a, const st_Screen& b, int x, int y) {
  if (x < 0 || y < 0 || x >= a.width || y >= a.height) return false;
  const uint32_t p = a.At(x, y);
  return Near(b, x, y, {int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)}, 8);
}

std::string ColourAt(const st_Screen& screen, int x, int y) {
  if (x < 0 || y < 0 || x >= screen.width || y >= screen.height) return "outside the screen";
  char text[32];
  const uint32_t p = screen.At(x, y);
  std::snprintf(text, sizeof(text), "(%u, %u, %u)", (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  return text;
}

// The demo's art: the mixer's steel plate, its blue wheel, a tile's plate, and a tile's line unlit
// and lit; the grid's tanks and the mixer's exit sign.
constexpr st_Rgb kPanelSteel{76, 88, 98}, kWheelBlue{48, 112, 192}, kTilePlate{58, 63, 68};
constexpr st_Rgb kCopperLine{184, 115, 51}, kLitLine{255, 242, 160};
constexpr st_Rgb kTank{106, 116, 128}, kExitGreen{46, 170, 76}, kResetRed{192, 32, 32};

// Pixels of the valves' red (a wheel's rim, a lever's knob) within reach of (x, y).
int RedAround(const st_Screen& screen, int x, int y, int reach) {
  int red = 0;
  for (int row = y - reach; row <= y + reach; ++row)
    for (int column = x - reach; column <= x + reach; ++column)
      red += Near(screen, column, row, {196, 48, 32}, 40);
  return red;
}

// The line at (x, y) is lit: nearer the lit line's colour than the unlit one's. Its light flickers
// as it comes on, a step a frame, over the unlit line: at a slow program's few frames it stands at
// a little over half for as long as the board stays, and the "Success!" box holds it there.
bool Lit(const st_Screen& screen, int x, int y) {
  if (x < 0 || y < 0 || x >= screen.width || y >= screen.height) return false;
  const uint32_t p = screen.At(x, y);
  auto distance = [p](st_Rgb c) {
    const int r = int((p >> 16) & 0xFF) - c.r, g = int((p >> 8) & 0xFF) - c.g, b = int(p & 0xFF) - c.b;
    return r * r + g * g + b * b;
  };
  return distance(kLitLine) < distance(kCopperLine);
}

// ---- the tests

// The pump house's panel: the pointer at the window's upper left corner scrolls the view to the
// mixer's far corner, where its wheel for all fluids stands on the painted plate that carries it.
// Then the lamp's board, turned tile by tile as its help asks (the feed's line over to the middle
// column, down it and along to the harbour lamp, the lower left tile's line into the earth plug):
// nothing is lit until the last turn closes the circuit, which lights the line and mends the lamp.
TEST_F(PuzzleWindow, TheMixersWheelStandsOnItsPanelAndTheLampBoardBuiltAsItsHelpSaysLightsUp) {
  const std::string user = s_suite.dir->path("window"), log = s_suite.dir->path("window.log");
  cl_XSession x;
  ASSERT_TRUE(StartOnTheQuay(x, user, log)) << testprogram::ReadFile(log);

  const auto [pumpsX, pumpsY] = Point("hotspot pumps");
  x.Click(pumpsX, pumpsY);
  ASSERT_TRUE(testprogram::WaitForLog(log, "Says(Quillane,#quay0_3 ", kWaitMs)) << testprogram::ReadFile(log);
  const auto [wheelX, wheelY] = Point("game valve 7");
  x.MoveTo(5, 5);
  // The game opens and its view scrolls to its limit, where it rests: the wheel and the plate
  // around it keep their colours while the program runs on. Read on the way, the plate was still
  // moving under them.
  x.GrabUntil([&](const st_Screen& s) { return Near(s, wheelX, wheelY - 26, kWheelBlue, 40); });
  constexpr std::pair<int, int> kPlate[] = {{-100, 0}, {-100, 100}, {0, 60}};
  const st_Screen mixer = x.Settled(
      [&](const st_Screen& a, const st_Screen& b) {
        bool still = Kept(a, b, wheelX, wheelY - 26);
        for (const auto& [dx, dy] : kPlate) still = still && Kept(a, b, wheelX + dx, wheelY + dy);
        return still;
      },
      1000);
  EXPECT_TRUE(Near(mixer, wheelX, wheelY - 26, kWheelBlue, 40)) << "no wheel at " << wheelX << "," << wheelY << ": "
                                                                 << ColourAt(mixer, wheelX, wheelY - 26);
  for (const auto& [dx, dy] : kPlate)
    EXPECT_TRUE(Near(mixer, wheelX + dx, wheelY + dy, kPanelSteel, 16))
        << "no panel at " << wheelX + dx << "," << wheelY + dy << ": " << ColourAt(mixer, wheelX + dx, wheelY + dy);
  x.MoveTo(512, 384);
  Frames(300);
  x.Key("Escape");
  ASSERT_TRUE(testprogram::WaitForLog(log, "Says(Quillane,#quay0_8 ", kWaitMs)) << testprogram::ReadFile(log);

  // Once her line about the pumps is over, the lamp: she walks up to it and says what she sees.
  Frames(4000);
  const auto [lampX, lampY] = Point("hotspot lamp");
  x.Click(lampX, lampY);
  ASSERT_TRUE(testprogram::WaitForLog(log, "Says(Quillane,#quay0_1)", kWaitMs)) << testprogram::ReadFile(log);
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
  // Down the middle column the line runs from the feed's row to the harbour's; the "Success!" box
  // covers its middle once the circuit closes, not its bends above and below.
  const auto [middleX, middleY] = Point("game cell 1 1");
  const auto [upperX, upperY] = Point("game cell 1 0");
  const auto [lowerX, lowerY] = Point("game cell 1 2");
  const char* const kTurns[] = {"game cell 0 0", "game cell 1 0", "game cell 1 1",
                                "game cell 0 2", "game cell 1 2", "game cell 2 2"};
  for (const char* cell : kTurns) {
    if (std::strcmp(cell, "game cell 2 2") == 0) {
      x.MoveTo(kBoardRestX, kBoardRestY);
      Frames(600);
      const st_Screen open = x.Grab();
      EXPECT_FALSE(Lit(open, upperX, upperY) || Lit(open, middleX, middleY) || Lit(open, lowerX, lowerY))
          << "lit before the circuit closes";
    }
    const auto [cx, cy] = Point(cell);
    x.Click(cx, cy);  // lifts the tile
    Frames(250);
    x.Click(cx, cy);  // a second press where the first was turns it
    Frames(400);
  }
  x.MoveTo(kBoardRestX, kBoardRestY);
  auto lineLit = [&](const st_Screen& s) { return Lit(s, upperX, upperY) && Lit(s, lowerX, lowerY); };
  const st_Screen lit = x.GrabUntil(lineLit);
  EXPECT_TRUE(lineLit(lit)) << "the closed circuit is not lit: " << ColourAt(lit, upperX, upperY) << " and "
                            << ColourAt(lit, lowerX, lowerY) << "\n"
                            << testprogram::ReadFile(log);
  // The "Success!" box goes with a click; the lamp is mended.
  Frames(1500);
  x.Click(kWindowWidth / 2, kWindowHeight / 2);
  EXPECT_TRUE(testprogram::WaitForLog(log, "Says(Quillane,#quay0_9 ", kWaitMs)) << testprogram::ReadFile(log);
  x.Stop();
  EXPECT_EQ(testprogram::ReadFile(log).find("ERROR:"), std::string::npos) << testprogram::ReadFile(log);
}

// In an 800 x 600 window the pump house's panel is drawn smaller to fit, as the other games are:
// opened on the pumps (set on the headless road), the pointer at the window's right edge scrolls
// the view onto the grid, where the tanks the pipes must reach show above the board; a turn of the
// cell that joins the third pipe takes the view to the mixer, whose six valves and exit sign show;
// the pointer at the left edge brings the valve for all fluids into view.
TEST_F(SmallPuzzleWindow, ThePumpHousesTanksValvesAndExitShowInAnEightHundredWindow) {
  const std::string user = s_suite.dir->path("window"), log = s_suite.dir->path("window.log");
  cl_XSession x;
  ASSERT_TRUE(StartOnTheQuay(s_suite, x, user, log, {kNarrowDisplay}, kNarrowWidth, kNarrowHeight))
      << testprogram::ReadFile(log);
  const auto [pumpsX, pumpsY] = Point("hotspot pumps");
  x.Click(pumpsX, pumpsY);
  ASSERT_TRUE(testprogram::WaitForLog(log, "Says(Quillane,#quay0_3 ", kWaitMs)) << testprogram::ReadFile(log);

  // The game comes up on the pump panel (its red reset button, above its word); while the black
  // still falls over it, it takes no pointer.
  const auto [resetX, resetY] = Point("game reset");
  auto pumpsShow = [x0 = resetX, y0 = resetY - 12](const st_Screen& s) { return Near(s, x0, y0, kResetRed, 40); };
  ASSERT_TRUE(pumpsShow(x.GrabUntil(pumpsShow))) << "no pump panel\n" << testprogram::ReadFile(log);
  x.Settled([&](const st_Screen& a, const st_Screen& b) { return Kept(a, b, resetX, resetY - 12); }, 1000);
  // The view scrolls while the pointer stays at the edge, up to its limit, where it rests.
  x.MoveTo(kNarrowWidth - 4, kNarrowHeight / 2);
  const st_Screen grid = x.Settled(
      [](const st_Screen& a, const st_Screen& b) {
        bool still = true;
        for (const char* part : {"game tank 1", "game tank 2", "game tank 3", "game cell 1 2"}) {
          const auto [px, py] = Point(part);
          still = still && Kept(a, b, px, py) && Kept(a, b, px - 30, py + 30);
        }
        return still;
      },
      1500);
  for (const char* tank : {"game tank 1", "game tank 2", "game tank 3"}) {
    const auto [tx, ty] = Point(tank);
    EXPECT_TRUE(Near(grid, tx, ty, kTank, 12)) << "no " << tank << " at " << tx << "," << ty << ": "
                                               << ColourAt(grid, tx, ty);
  }

  const auto [cellX, cellY] = Point("game cell 1 2");
  x.Click(cellX, cellY);  // lifts the tile
  Frames(250);
  x.Click(cellX, cellY);  // turns it: the third pipe is joined, the view goes to the mixer
  const auto [exitX, exitY] = Point("game exit");
  // Left of the sign's word: its green.
  auto exitShows = [x0 = exitX - 30, y0 = exitY](const st_Screen& s) { return Near(s, x0, y0, kExitGreen, 30); };
  // Seen on its way, the view is read once it rests there.
  x.GrabUntil(exitShows);
  const st_Screen mixer =
      x.Settled([&](const st_Screen& a, const st_Screen& b) { return Kept(a, b, exitX - 30, exitY); }, 1000);
  EXPECT_TRUE(exitShows(mixer)) << "no exit sign at " << exitX << "," << exitY << ": " << ColourAt(mixer, exitX - 30, exitY)
                                << "\n" << testprogram::ReadFile(log);
  for (const char* valve : {"game valve 1", "game valve 2", "game valve 3", "game valve 4", "game valve 5", "game valve 6"}) {
    const auto [vx, vy] = Point(valve);
    EXPECT_GE(RedAround(mixer, vx, vy, 24), 10) << "no " << valve << " at " << vx << "," << vy;
  }

  x.MoveTo(3, kNarrowHeight / 2);
  const auto [wheelX, wheelY] = Point("game valve 7");
  // The wheel's blue rim, above its hub.
  auto wheelShows = [&](const st_Screen& s) { return Near(s, wheelX, wheelY - 20, kWheelBlue, 40); };
  const st_Screen corner = x.GrabUntil(wheelShows);
  EXPECT_TRUE(wheelShows(corner)) << "no valve for all fluids at " << wheelX << "," << wheelY << ": "
                                  << ColourAt(corner, wheelX, wheelY - 20);
  x.MoveTo(kNarrowWidth / 2, kNarrowHeight / 2);
  Frames(300);
  x.Key("Escape");
  ASSERT_TRUE(testprogram::WaitForLog(log, "Says(Quillane,#quay0_8 ", kWaitMs)) << testprogram::ReadFile(log);
  x.Stop();
  const std::string ended = testprogram::ReadFile(log);
  EXPECT_EQ(ended.find("ERROR:"), std::string::npos) << ended;
  EXPECT_EQ(ended.find("default-pool objects live"), std::string::npos) << ended;
}

// Where Pell shows: the middle of his dark green clothes, which nothing else on the Quay wears;
// (-1, -1) when too little of him shows.
std::pair<int, int> PellOnScreen(const st_Screen& screen) {
  long sumX = 0, sumY = 0, count = 0;
  for (int y = 0; y < screen.height; ++y)
    for (int x = 0; x < screen.width; ++x) {
      const uint32_t p = screen.At(x, y);
      const int r = int((p >> 16) & 0xFF), g = int((p >> 8) & 0xFF), b = int(p & 0xFF);
      if (g - r >= 16 && g - b >= 6 && g >= 20 && g <= 110) sumX += x, sumY += y, ++count;
    }
  if (count < 300) return {-1, -1};
  return {int(sumX / count), int(sumY / count)};
}

// Pell walks his round on the pier while Quillane talks to Mina. Right after the talk, clicked
// where he shows, he is greeted: Quillane walks up to him and says "Evening!". Ten times in a row,
// each click once the greeting before it is over, wherever he is on his round.
TEST_F(QuayWindow, PellClickedOnHisRoundRightAfterMinasTalkIsGreetedEveryTime) {
  const std::string user = s_suite.dir->path("pell"), log = s_suite.dir->path("pell.log");
  cl_XSession x;
  ASSERT_TRUE(StartOnTheQuay(x, user, log)) << testprogram::ReadFile(log);
  // The bar goes back to the player's tokens when the talk is over, as it went at the start.
  const std::string barBack = "TokenBar in DefaultMode";
  int barsBack = 0;
  const std::string before = testprogram::ReadFile(log);
  for (size_t at = before.find(barBack); at != std::string::npos; at = before.find(barBack, at + 1)) ++barsBack;
  const auto [minaX, minaY] = Point("character Mina");
  x.Click(minaX, minaY);
  ASSERT_TRUE(x.LogShows(log, "TokenBar in DialogMode", kWaitMs)) << testprogram::ReadFile(log);
  // The end-chat topic dragged onto Mina in the close-up.
  const bool ended = x.DragTopicUntil(Point("token T6_EndChat"), Point("talking Mina"), log, "Says(Quillane,#mina0_5");
  ASSERT_TRUE(ended) << testprogram::ReadFile(log);
  ASSERT_TRUE(x.LogShowsTimes(log, barBack, barsBack + 1, kWaitMs)) << testprogram::ReadFile(log);

  // The walk up to him, the turn and two lines with a nod between them: about 2.5 s of the
  // program's own time on a quiet machine.
  constexpr int kGreetingMs = 30000;
  constexpr int kClicks = 10;
  constexpr int kRestX = kWindowWidth / 2, kRestY = 80;  // in the sky, off him and off the bar
  // While a line is spoken the cursor is barred (a red sign); a click then only skips the line.
  // The player's arrow, white below and right of its tip, shows once the greeting is over.
  auto free = [](const st_Screen& s) {
    int white = 0;
    for (int row = kRestY; row < kRestY + 24; ++row)
      for (int column = kRestX; column < kRestX + 16; ++column) white += Near(s, column, row, {240, 240, 240}, 24);
    return white >= 40 && RedAround(s, kRestX, kRestY, 16) < 50;
  };
  for (int click = 1; click <= kClicks; ++click) {
    SCOPED_TRACE("click " + std::to_string(click));
    x.MoveTo(kRestX, kRestY);
    ASSERT_TRUE(free(x.GrabUntil(free))) << "the greeting before never ends\n" << testprogram::ReadFile(log);
    // Held, the screen shows where he is for as long as the hand needs to aim; the click reaches
    // the program in the frame after the one shown.
    x.Hold();
    const auto [px, py] = PellOnScreen(x.Grab());
    if (px >= 0) {
      x.MoveTo(px, py);
      x.Press();
      x.Release();
    }
    x.Resume();
    ASSERT_GE(px, 0) << "Pell does not show";
    ASSERT_TRUE(x.LogShowsTimes(log, "Says(Quillane,#quay0_4", click, kGreetingMs))
        << "no greeting for the click at " << px << "," << py << "\n"
        << testprogram::ReadFile(log);
    ASSERT_TRUE(x.LogShowsTimes(log, "Says(Quillane,#quay0_5", click, kGreetingMs)) << testprogram::ReadFile(log);
  }
  x.Stop();
  const std::string text = testprogram::ReadFile(log);
  EXPECT_EQ(text.find("ERROR:"), std::string::npos) << text;
  EXPECT_EQ(text.find("Quay: Quillane at the end of the pier"), std::string::npos) << text;
}

}  // namespace
}  // namespace playertest
