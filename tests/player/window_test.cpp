// The program as a player meets it: the built program in a virtual X display, driven only through
// X events and read back from the X server's screen. Where the buttons, Odo and his topic token
// are comes from the game itself, run headless first at the same window size (under CTest once for
// all, by the set-up test WindowRoads.Geometry); the program in the X display then gets nothing
// but the pointer and the keys.
//   - the drawn cursor stands where the pointer is, in the root menu and in the game;
//   - Options opened and saved without a change leave "Display" as it was;
//   - a savegame's name typed on a French keyboard comes back as typed, and one typed with letters
//     and digits that are developer keys too, with those keys off and on;
//   - the program opened under a resting pointer draws its cursor there before any move;
//   - a topic token pressed, dragged onto Odo and released is played;
//   - in an 800 x 600 window the diary, the load/save panel and the options, each drawn smaller
//     to fit, show their buttons inside the window, and the buttons answer there;
//   - Pell, clicked twice where he walks within one long frame of a busy machine, is greeted and
//     his nod told to the end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "platform/gpux/TextureLoad.h"
#include "quillane/savegame/SavegameImage.h"
#include "support/DemoDataCopy.h"
#include "support/ProgramRun.h"
#include "headless_road.h"
#include "x_session.h"

namespace playertest {
namespace {

namespace fs = std::filesystem;

// A screen larger than the window: its one display mode is not the running one.
constexpr int kScreenWidth = 1280, kScreenHeight = 1024;

// The configuration of every run: no intro, and the scene scripts' lines with every spoken line.
const std::vector<std::pair<std::string, std::string>> kConfig = {
    {"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""},
    {"Debug_ScriptWarningLevel=\"0\"", "Debug_ScriptWarningLevel=\"2\""},
};

// The bundled config.xml with kConfig (and more) applied, as userDir's config.xml.
void WriteConfig(const std::string& userDir, std::vector<std::pair<std::string, std::string>> more = {}) {
  more.insert(more.begin(), kConfig.begin(), kConfig.end());
  testprogram::WriteUserConfig(userDir, more);
}

// ---- where things are, from the game itself

// The root menu's Options and the options panel's Save; a new game in the Office with its opening
// skipped: Odo, the in-game menu's Save Game, the save panel's Save and the name box's Clear, a
// name typed and the save made; then Odo clicked, his topic token in the bar and Odo in the
// talk's close-up. Each "note" records the point a click step would aim at.
constexpr const char* kGeometryRun =
    "wait state RootMenu 300\n"
    "check note button options\n"
    "click button options\n"
    "wait frames 3\n"
    "check note button Ok\n"
    "key Escape\n"
    "wait frames 3\n"
    "click button newgame\n"
    "wait scene Office 300\n"
    "wait frames 5\n"
    "key Escape\n"
    "wait idle 300\n"
    "check note character Odo\n"
    "key Escape\n"
    "wait frames 3\n"
    "check note button savegame\n"
    "click button savegame\n"
    "wait frames 3\n"
    "check note button Save\n"
    "click button Save\n"
    "wait frames 3\n"
    "check note button Clear\n"
    "click button Clear\n"
    "wait frames 2\n"
    "key A\n"
    "key Enter\n"
    "wait frames 5\n"
    "click character Odo\n"
    "wait idle 100\n"
    "wait frames 20\n"
    "check note token T6_Ferry\n"
    "check note character Odo as talking Odo\n";

// The same in an 800 x 600 window, whose display mode the game's config names: the diary's close
// button and its tab at the book's left edge, the in-game menu's Save Game and Options, the save
// panel's Save and Exit (at its left edge), the name box's Clear, and the options' Save and Exit.
constexpr int kSmallWidth = 800, kSmallHeight = 600;
const std::pair<std::string, std::string> kSmallDisplay{"Width=\"1024\" Height=\"768\"",
                                                        "Width=\"800\" Height=\"600\""};
constexpr const char* kSmallGeometryRun =
    "wait state RootMenu 300\n"
    "click button newgame\n"
    "wait scene Office 300\n"
    "wait frames 5\n"
    "key Escape\n"
    "wait idle 300\n"
    "key J\n"
    "wait check session diary open\n"
    "wait frames 10\n"
    "check note diary close\n"
    "check note diary tab\n"
    "key Escape\n"
    "wait frames 10\n"
    "key Escape\n"
    "wait frames 3\n"
    "check note button savegame\n"
    "check note button options\n"
    "click button savegame\n"
    "wait frames 3\n"
    "check note button Save\n"
    "click button Save\n"
    "wait frames 3\n"
    "check note button Clear\n"
    "key Escape\n"
    "wait frames 3\n"
    "check note button Exit\n"
    "check note window LoadSavePanel as save panel\n"
    "key Escape\n"
    "wait frames 3\n"
    "key Escape\n"
    "wait frames 3\n"
    "click button options\n"
    "wait frames 3\n"
    "check note button Ok as options Ok\n"
    "check note button Cancel as options Exit\n"
    "check note window OptionsPanel as options panel\n";

// On the Quay from a new game (the pass given, the office door used), saved for the program in the
// X display, and Pell where the save leaves him on his round.
constexpr const char* kPellGeometryRun =
    "wait state LoadingScreen 5\n"
    "wait scene Office 300\n"
    "wait idle 400\n"
    "check session give T1_Pass\n"
    "check session trigger door\n"
    "wait scene Quay 300\n"
    "wait idle 400\n"
    "save 1\n"
    "check note character Pell as Pell at first\n";

// The set-up test of WindowInput's geometry, which CTest runs once for all its tests.
TEST(WindowRoads, Geometry) {
  const std::string skip = RoadSetUpSkipped("Geometry");
  if (!skip.empty()) GTEST_SKIP() << skip;
  testprogram::TempDir dir("quillane_window_road");
  testsupport::CopyDemoData(QUILLANE_DATA_DIR, dir.path("data"));
  WriteConfig(dir.path("geometry"));
  tPoints points;
  ASSERT_EQ(RunHeadlessRoad(kGeometryRun, dir.path("data"), dir.path("geometry"), points), "");
  ASSERT_TRUE(ShareRoad(SharedRoadFolder("Geometry"), points, std::string()));
}

class WindowInput : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_skip = WindowTestsUnavailable(s_failure);
    if (!s_skip.empty()) return;
    s_dir = std::make_unique<testprogram::TempDir>("quillane_window");
    testsupport::CopyDemoData(QUILLANE_DATA_DIR, s_dir->path("data"));
    const std::string shared = SharedRoadFolder("Geometry");
    if (!shared.empty()) {
      s_failure = ReadSharedRoad(shared, s_points, std::string());
      return;
    }
    WriteConfig(s_dir->path("geometry"));
    s_points = MeasureGeometry(kGeometryRun, s_dir->path("geometry"));
  }
  static void TearDownTestSuite() { s_dir.reset(); }

  void SetUp() override {
    if (!s_failure.empty()) FAIL() << s_failure;
    if (!s_skip.empty()) GTEST_SKIP() << s_skip;
  }

  // The point noted for "kind name"; a failure when the geometry run did not reach it.
  static std::pair<int, int> Point(const std::string& what) { return NotedPoint(s_points, what); }

  // The points a headless run of the steps in run notes, with the user folder userDir.
  static tPoints MeasureGeometry(const char* run, const std::string& userDir);

  static std::unique_ptr<testprogram::TempDir> s_dir;
  static tPoints s_points;
  static std::string s_skip, s_failure;
};

std::unique_ptr<testprogram::TempDir> WindowInput::s_dir;
tPoints WindowInput::s_points;
std::string WindowInput::s_skip, WindowInput::s_failure;

tPoints WindowInput::MeasureGeometry(const char* run, const std::string& userDir) {
  tPoints points;
  const std::string failure = RunHeadlessRoad(run, s_dir->path("data"), userDir, points);
  if (!failure.empty()) ADD_FAILURE() << failure;
  return points;
}

// ---- the drawn cursor

// A cursor picture and its hot spot (resources.xml).
struct st_Cursor {
  gpux::Image image;
  int hotX = 0, hotY = 0;
};

// The cursor picture with its hot spot at (x, y) on the screen: at least 90 % of its opaque
// pixels show there within a small tolerance.
bool CursorAt(const st_Screen& screen, const st_Cursor& picture, int x, int y) {
  constexpr int kTolerance = 48;
  const gpux::Image& cursor = picture.image;
  int opaque = 0, matching = 0;
  for (uint32_t j = 0; j < cursor.height; ++j)
    for (uint32_t i = 0; i < cursor.width; ++i) {
      const uint32_t c = cursor.pixels[size_t(j) * cursor.width + i];
      if ((c >> 24) < 250) continue;
      const int sx = x - picture.hotX + static_cast<int>(i), sy = y - picture.hotY + static_cast<int>(j);
      if (sx < 0 || sy < 0 || sx >= screen.width || sy >= screen.height) continue;
      ++opaque;
      const uint32_t s = screen.At(sx, sy);
      bool near = true;
      for (int shift : {16, 8, 0})
        near = near && std::abs(int((c >> shift) & 0xFF) - int((s >> shift) & 0xFF)) <= kTolerance;
      matching += near;
    }
  return opaque > 0 && matching * 10 >= opaque * 9;
}

st_Cursor CursorPicture(const char* name, int hotX, int hotY) {
  st_Cursor cursor;
  cursor.hotX = hotX, cursor.hotY = hotY;
  std::vector<uint8_t> bytes;
  const std::string path = std::string(QUILLANE_DATA_DIR) + "/gui/cursors/" + name + ".tga";
  EXPECT_TRUE(gpux::ReadWholeFile(path.c_str(), &bytes) &&
              gpux::DecodeImage(bytes.data(), bytes.size(), path.c_str(), &cursor.image))
      << path;
  return cursor;
}

// The "Display" element of a configuration file, as text.
std::string DisplayOf(const std::string& configFile) {
  base::Variant config;
  if (!base::xml::read_file(config, configFile.c_str())) return "unreadable " + configFile;
  const base::Variant* display = config.get_element("Display");
  if (!display) return "no Display in " + configFile;
  std::string text;
  for (int i = 0; i < display->attribute_cnt(); ++i) {
    base::tString<base::BaseString> value;
    display->attribute(i)->print_to(value);
    text += std::string(display->get_attribute_label(i)) + "=" + value.c_str() + " ";
  }
  return text;
}

// ---- the player's hands in the game

// The game just started with QuickLaunch: its opening skipped with Escape, the pointer resting on
// Odo (the keys go to the window under the pointer). False when the player never takes over.
bool TakeOver(cl_XSession& x, const std::string& log, std::pair<int, int> odo) {
  if (!testprogram::WaitForLog(log, "Office: OnEnterScene", kStartMs)) return false;
  x.MoveTo(odo.first, odo.second);
  Frames(300);
  x.Key("Escape");
  if (!testprogram::WaitForLog(log, "Office: the player takes over", kWaitMs)) return false;
  Frames(300);
  return true;
}

// The in-game menu's Save Game, the save panel's Save, the name box cleared and name typed: the
// name the savegame written carries, or what went wrong.
std::string SaveUnderTypedName(cl_XSession& x, const std::string& user, const std::string& name,
                               const tPoints& points) {
  x.Key("Escape");
  Frames(500);
  for (const char* button : {"button savegame", "button Save", "button Clear"}) {
    // Clear: the box offers the row's name; a new one is typed.
    const auto [bx, by] = points.at(button);
    x.Click(bx, by);
    Frames(500);
  }
  x.Type(name);
  x.Key("Return");
  const fs::path saves = fs::path(user) / "Savegames";
  std::string saved;
  for (int i = 0; i < 100 && saved.empty(); ++i) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(saves, ec))
      if (e.path().extension() == ".sav" && e.path().stem() != "tmp_save") saved = e.path().string();
    if (saved.empty()) Frames(50);
  }
  if (saved.empty()) return "no savegame";
  Frames(300);  // the file is renamed into place when whole
  quillane::st_SavegameImage image;
  if (!quillane::ReadSavegameFile(saved.c_str(), image)) return "an unreadable savegame";
  return base::str::convert_unicode_to_string(image.head.m_name).c_str();
}

// The root menu under the pointer: the drawn cursor follows it (not left at the window's corner);
// Options opened and saved without a change write a config.xml whose "Display" is the one the
// program started with, although the screen's one display mode is another.
TEST_F(WindowInput, TheCursorFollowsThePointerAndOptionsSavedUnchangedKeepTheDisplay) {
  const std::string user = s_dir->path("menu"), log = s_dir->path("menu.log");
  WriteConfig(user);
  const std::string config = user + "/config.xml";
  const std::string before = DisplayOf(config);
  cl_XSession x;
  ASSERT_TRUE(x.Start(user, log, kScreenWidth, kScreenHeight, "us")) << testprogram::ReadFile(log);
  ASSERT_TRUE(testprogram::WaitForLog(log, "GameFrame: state RootMenu", kStartMs)) << testprogram::ReadFile(log);
  const st_Cursor cursor = CursorPicture("gamecursor", 1, 1);
  for (const auto& [px, py] : {std::pair<int, int>{200, 300}, std::pair<int, int>{700, 520}}) {
    x.MoveTo(px, py);
    const st_Screen screen = x.GrabUntil([&](const st_Screen& s) { return CursorAt(s, cursor, px, py); });
    ASSERT_EQ(screen.width, kScreenWidth);
    EXPECT_TRUE(CursorAt(screen, cursor, px, py)) << "no cursor at " << px << "," << py;
    EXPECT_FALSE(CursorAt(screen, cursor, 0, 0)) << "a cursor at the window's corner";
  }

  const auto [ox, oy] = Point("button options");
  x.Click(ox, oy);
  Frames(600);
  const auto [sx, sy] = Point("button Ok");
  const fs::file_time_type written = fs::last_write_time(config);
  x.Click(sx, sy);
  for (int i = 0; i < 100 && fs::last_write_time(config) == written; ++i) Frames(50);
  EXPECT_NE(fs::last_write_time(config), written) << "the options were not saved\n" << testprogram::ReadFile(log);
  EXPECT_EQ(DisplayOf(config), before);
  x.Stop();
  EXPECT_EQ(testprogram::ReadFile(log).find("ERROR:"), std::string::npos) << testprogram::ReadFile(log);
}

// A new game in the Office, its opening skipped with Escape: the cursor follows the pointer in
// the game too; a savegame named on a French keyboard carries the name as typed (the German key
// table would have made "qzerty" of it); Odo clicked, his topic token pressed, dragged onto him
// and released is played.
TEST_F(WindowInput, AGameIsSavedUnderATypedNameAndATokenDraggedOntoOdoIsPlayed) {
  const std::string user = s_dir->path("game"), log = s_dir->path("game.log");
  WriteConfig(user, {{"<DevTools ShowIntroMovies=\"0\"/>", "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\"/>"}});
  cl_XSession x;
  ASSERT_TRUE(x.Start(user, log, kWindowWidth, kWindowHeight, "fr")) << testprogram::ReadFile(log);
  const auto [odoX, odoY] = Point("character Odo");
  ASSERT_TRUE(TakeOver(x, log, {odoX, odoY})) << testprogram::ReadFile(log);
  const st_Cursor talk = CursorPicture("talk_to", 16, 16);
  EXPECT_TRUE(CursorAt(x.GrabUntil([&](const st_Screen& s) { return CursorAt(s, talk, odoX, odoY); }), talk, odoX, odoY))
      << "no talk cursor over Odo";

  EXPECT_EQ(SaveUnderTypedName(x, user, "azerty", s_points), "azerty") << testprogram::ReadFile(log);

  x.Click(odoX, odoY);
  ASSERT_TRUE(testprogram::WaitForLog(log, "TokenBar in DialogMode", kWaitMs)) << testprogram::ReadFile(log);
  // The topic dragged onto Odo, who is seen close up.
  const bool played = x.DragTopicUntil(Point("token T6_Ferry"), Point("talking Odo"), log, "Says(Quillane,#odo0_1");
  EXPECT_TRUE(played) << testprogram::ReadFile(log);
  x.Stop();
  EXPECT_EQ(testprogram::ReadFile(log).find("ERROR:"), std::string::npos) << testprogram::ReadFile(log);
}

// The name box takes every key while it has the focus: the letters and digits that are developer
// keys (T turns Quillane, 1 to 3 step the world) are typed into the name, with the developer keys
// off as shipped and turned on in the user's config.xml.
TEST_F(WindowInput, ANameWithDeveloperKeysIsTypedWhateverTheKeysSetting) {
  const std::string name = "Quay with ticket 123";
  for (const char* keys : {"0", "1"}) {
    SCOPED_TRACE(std::string("Debug_KeysEnabled=") + keys);
    const std::string user = s_dir->path(std::string("typed") + keys), log = user + ".log";
    WriteConfig(user, {{"<DevTools ShowIntroMovies=\"0\"/>", "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\"/>"},
                       {"Debug_KeysEnabled=\"0\"", std::string("Debug_KeysEnabled=\"") + keys + "\""}});
    cl_XSession x;
    ASSERT_TRUE(x.Start(user, log, kWindowWidth, kWindowHeight, "us")) << testprogram::ReadFile(log);
    ASSERT_TRUE(TakeOver(x, log, Point("character Odo"))) << testprogram::ReadFile(log);
    EXPECT_EQ(SaveUnderTypedName(x, user, name, s_points), name) << testprogram::ReadFile(log);
    x.Stop();
  }
}

// The window opens under a pointer that never moves: the drawn cursor stands where the pointer
// is, not at the window's corner.
TEST_F(WindowInput, TheCursorStartsWhereThePointerRests) {
  const std::string user = s_dir->path("resting"), log = s_dir->path("resting.log");
  WriteConfig(user);
  cl_XSession x;
  ASSERT_TRUE(x.Start(user, log, kWindowWidth, kWindowHeight, "us")) << testprogram::ReadFile(log);
  constexpr int kStillX = 412, kStillY = 333;
  x.MoveTo(kStillX, kStillY);  // before the program's window opens
  ASSERT_TRUE(testprogram::WaitForLog(log, "GameFrame: state RootMenu", kStartMs)) << testprogram::ReadFile(log);
  const st_Cursor cursor = CursorPicture("gamecursor", 1, 1);
  // The cursor shows once the root menu is drawn; taken for the window's corner, never there.
  const st_Screen screen = x.GrabUntil([&](const st_Screen& s) { return CursorAt(s, cursor, kStillX, kStillY); });
  EXPECT_TRUE(CursorAt(screen, cursor, kStillX, kStillY)) << "no cursor at the resting pointer";
  EXPECT_FALSE(CursorAt(screen, cursor, 0, 0)) << "a cursor at the window's corner";
  x.Stop();
}

// An 800 x 600 window, which the diary (1024 x 640), the save panel (987 x 509) and the options
// (937 x 509) would overrun: each is drawn smaller to fit, its buttons lie inside the window and
// answer a click where they are drawn: the diary closes, a savegame is saved under the name typed,
// the options are saved.
TEST_F(WindowInput, InAnEightHundredWindowEveryPanelFitsAndItsButtonsAnswer) {
  const std::string user = s_dir->path("small"), log = s_dir->path("small.log");
  WriteConfig(s_dir->path("smallgeometry"), {kSmallDisplay});
  const tPoints points = MeasureGeometry(kSmallGeometryRun, s_dir->path("smallgeometry"));
  for (const char* what : {"diary close", "diary tab", "button savegame", "button options", "button Save",
                           "button Exit", "button Clear", "save panel top left", "save panel bottom right",
                           "options Ok", "options Exit", "options panel top left", "options panel bottom right"}) {
    const auto it = points.find(what);
    ASSERT_NE(it, points.end()) << "the headless run noted no " << what;
    const auto [px, py] = it->second;
    EXPECT_TRUE(px >= 0 && px < kSmallWidth && py >= 0 && py < kSmallHeight) << what << " at " << px << "," << py;
  }
  WriteConfig(user, {kSmallDisplay,
                     {"<DevTools ShowIntroMovies=\"0\"/>", "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\"/>"}});
  cl_XSession x;
  ASSERT_TRUE(x.Start(user, log, kSmallWidth, kSmallHeight, "us")) << testprogram::ReadFile(log);
  ASSERT_TRUE(TakeOver(x, log, {kSmallWidth / 2, kSmallHeight / 2})) << testprogram::ReadFile(log);

  // The diary's close button, a red disc, where the run noted it; a click on it closes the book.
  // Most of the disc round its middle is red: the middle itself carries a light cross, which only
  // a frame of the fade-in, blended, showed red.
  const auto [cx, cy] = points.at("diary close");
  const auto closeShown = [cx, cy](const st_Screen& s) {
    constexpr int kAround = 6;
    if (cx < kAround || cy < kAround || s.width <= cx + kAround || s.height <= cy + kAround) return false;
    int red = 0;
    for (int row = cy - kAround; row <= cy + kAround; ++row)
      for (int column = cx - kAround; column <= cx + kAround; ++column) {
        const uint32_t p = s.At(column, row);
        red += (p >> 16 & 0xFF) > 100 && (p >> 8 & 0xFF) < 80 && (p & 0xFF) < 80;
      }
    return 2 * red > (2 * kAround + 1) * (2 * kAround + 1);
  };
  // The book's light right-hand page gives way to the dark room when it is gone.
  constexpr int kPageX = kSmallWidth * 3 / 4, kPageY = kSmallHeight / 3;
  const auto bookGone = [&](const st_Screen& s) {
    return !closeShown(s) && s.width > kPageX && s.height > kPageY && (s.At(kPageX, kPageY) >> 16 & 0xFF) < 70;
  };
  x.Key("j");
  EXPECT_TRUE(closeShown(x.GrabUntil(closeShown))) << "no close button at " << cx << "," << cy << "\n"
                                                   << testprogram::ReadFile(log);
  // The book takes no input while it fades in: a click before it is whole finds nothing, so the
  // hand tries again.
  bool gone = false;
  for (int attempt = 0; attempt < 3 && !gone; ++attempt) {
    Frames(500);
    x.Click(cx, cy);
    Frames(300);
    x.MoveTo(20, 20);  // the pointer off the button, whose place the test looks at
    gone = bookGone(x.GrabUntil(bookGone, 5000));
  }
  EXPECT_TRUE(gone) << "the diary stayed open after clicks at " << cx << "," << cy;
  Frames(500);  // it takes no key while it fades out

  // The in-game menu's Save Game, the panel's Save, the name box's Clear, a name typed.
  EXPECT_EQ(SaveUnderTypedName(x, user, "Small window", points), "Small window") << testprogram::ReadFile(log);

  // The in-game menu's Options, and the options' Save: config.xml is written.
  x.Key("Escape");
  Frames(500);
  const auto [ox, oy] = points.at("button options");
  x.Click(ox, oy);
  Frames(600);
  const fs::path config = fs::path(user) / "config.xml";
  const fs::file_time_type written = fs::last_write_time(config);
  const auto [sx, sy] = points.at("options Ok");
  x.Click(sx, sy);
  for (int i = 0; i < 100 && fs::last_write_time(config) == written; ++i) Frames(50);
  EXPECT_NE(fs::last_write_time(config), written) << "the options were not saved\n" << testprogram::ReadFile(log);
  x.Stop();
  EXPECT_EQ(testprogram::ReadFile(log).find("ERROR:"), std::string::npos) << testprogram::ReadFile(log);
  // The panels' textures let go of their video memory before the graphics device goes.
  EXPECT_EQ(testprogram::ReadFile(log).find("default-pool objects live"), std::string::npos);
}

// Pell walks his round on the pier while Quillane talks to him. On a machine so busy that a frame
// lasts seconds, the hand comes up from the token bar to where he walks, clicks, and clicks again
// a moment later when nothing seems to happen, all within one frame (the program held meanwhile).
// Neither click is lost among the move's many motions, the two are not taken for a double click
// that skips the talk, and the talk reaches its last line, "He only nods. Not a man of many words."
TEST_F(WindowInput, PellClickedWhereHeWalksIsGreetedToTheLastLine) {
  const std::string geometry = s_dir->path("pellgeometry"), user = s_dir->path("pell"), log = s_dir->path("pell.log");
  const std::pair<std::string, std::string> quickLaunch{"<DevTools ShowIntroMovies=\"0\"/>",
                                                        "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\"/>"};
  WriteConfig(geometry, {quickLaunch});
  const tPoints points = MeasureGeometry(kPellGeometryRun, geometry);
  ASSERT_TRUE(points.count("Pell at first"));
  fs::create_directories(fs::path(user) / "Savegames");
  fs::copy_file(fs::path(geometry) / "Savegames/slot001.sav", fs::path(user) / "Savegames/slot001.sav");
  WriteConfig(user,
              {{quickLaunch.first, "<DevTools ShowIntroMovies=\"0\" QuickLaunch=\"game\" Savegame=\"slot001.sav\"/>"}});
  cl_XSession x;
  ASSERT_TRUE(x.Start(user, log, kWindowWidth, kWindowHeight, "us")) << testprogram::ReadFile(log);
  // The saved game shown: Pell is where the save left him, the hands take over at once.
  ASSERT_TRUE(x.LogShows(log, "Quay: OnAlphaHack", kProgramStartMs)) << testprogram::ReadFile(log);
  ASSERT_TRUE(x.LogShows(log, "GameFrame: state Session", kProgramStartMs)) << testprogram::ReadFile(log);
  x.Hold();
  const auto [fx, fy] = points.at("Pell at first");
  constexpr int kBarX = 60, kBarY = 740, kSteps = 150;  // a hand's move: a motion every few pixels
  for (int step = 1; step <= kSteps; ++step)
    x.MoveTo(kBarX + (fx - kBarX) * step / kSteps, kBarY + (fy - kBarY) * step / kSteps);
  x.Press();
  x.Release();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // two clicks by any clock
  x.Press();
  x.Release();
  x.Resume();
  // The walk up to him, the turn, two lines and the nod between them: about 2.5 s of the
  // program's own time on a quiet machine.
  constexpr int kGreetingMs = 30000;
  EXPECT_TRUE(x.LogShows(log, "Says(Quillane,#quay0_5", kGreetingMs)) << testprogram::ReadFile(log);
  x.Stop();
  const std::string text = testprogram::ReadFile(log);
  EXPECT_EQ(text.find("skips the running sequence"), std::string::npos) << text;
  EXPECT_EQ(text.find("ERROR:"), std::string::npos) << text;
}

}  // namespace
}  // namespace playertest
