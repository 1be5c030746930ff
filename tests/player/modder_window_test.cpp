// The modder's road through the real window: the program in editor mode in a virtual X display,
// driven by X events only; what the editors write is read back from disk.
//   - the README's "Making a scene" followed word for word: the user's configuration made as it
//     says, a scene made from a new folder gets a picture through the crop tool, a nav mesh, a
//     hotspot, an ambient light and a locator (their names typed over the proposals), Quillane is
//     lit in its test walk, the scene is compiled, and a new game started from the root menu
//     enters it through the campaign script, where the scene's script places her, lit, and the
//     hotspot calls its trigger;
//   - of two lights of one type, the one removed leaves the other in the project file;
//   - a scene whose picture is missing is named so when it opens, and Compile refuses it with the
//     cause on the screen, writing nothing.
// Where the editors' controls are comes from data/GUI.xml: the panel's and the manager's rows
// are 20 pixels high from y 78, their buttons sit below the lists.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "support/DemoDataCopy.h"
#include "support/ProgramRun.h"
#include "x_session.h"

namespace playertest {
namespace {

namespace fs = std::filesystem;

constexpr int kWriteMs = kWaitMs;  // an editor's answer written to disk
constexpr int kAfterActMs = 400;   // a few frames for what no file or log line tells

// The editor menu opens at the pointer; its entries are 21 pixels high.
constexpr int kMenuX = 600, kMenuY = 300, kEntryDX = 20, kEntryH = 21;
constexpr int kManagerEntry = 0;
// Rows of the manager's and the panel's lists (the panel's groups stay closed while added to).
constexpr int kRowX = 60, kFirstRowY = 78, kRowH = 20;
constexpr int kManagerAddX = 40, kManagerAddY = 352, kManagerEditX = 193, kManagerEditY = 352;
constexpr int kPanelAddX = 39, kPanelAddY = 385, kPanelRemoveX = 111, kPanelRemoveY = 385;
constexpr int kCompileX = 55, kCompileY = 441;
constexpr int kBackgroundRow = 1, kNavMeshRow = 6, kLightsRow = 7, kLocatorsRow = 8, kHotSpotsRow = 9;
constexpr int kTreeToggleX = 29;  // the "+" before a group's name
// The dialogs: the first row of "New scene" and of the file lists, their Ok buttons.
constexpr int kNewSceneRowX = 392, kNewSceneRowY = 179, kNewSceneOkX = 389, kNewSceneOkY = 385;
constexpr int kImageRowX = 300, kImageRowY = 129, kImageOkX = 531, kImageOkY = 437;
constexpr int kSelectRowX = 420, kSelectRowY = 179, kSelectOkX = 389, kSelectOkY = 409;
constexpr int kLightTypeRowX = 420, kLightTypeFirstY = 239, kLightTypeOkX = 389, kLightTypeOkY = 335;
constexpr int kAmbientType = 0, kBlobShadowType = 3;
constexpr int kTestX = 181, kTestY = 413;        // the panel's "Test"
constexpr int kNewGameX = 512, kNewGameY = 276;  // the root menu's "New Game"
// Two floor points of the scene (the Office's floor), and where the pointer rests while the screen
// is compared: above the floor, on no hotspot.
constexpr int kFloorAX = 300, kFloorAY = 600, kFloorBX = 700, kFloorBY = 560;
constexpr int kLookX = 900, kLookY = 120;
constexpr int kFigurePixels = 1500;  // a good part of a standing figure's pixels
// A box a little larger than the standing figure (about 80 x 170 pixels here): her breathing and
// turning stay inside it, a walk of the settling time leaves it, a fade fills the screen.
constexpr int kFigureBoxW = 120, kFigureBoxH = 220;
constexpr int kWalkSettleMs = 1500;  // the program's time the room stays still before a walk is measured
constexpr int kManagerTitleX = 230, kManagerTitleY = 50;
constexpr int kStatusTop = kWindowHeight - 24;       // the editor's status line
constexpr int kStatusTextPixels = 50;                // a few letters of it
constexpr int kPanelTreeX = 130, kPanelTreeY = 340;  // (nearly) white inside the panel's tree
// Where each dialog's title bar is bare.
constexpr int kListDialogTitleX = 640, kListDialogTitleY = 150;  // "New scene" and "Select"
constexpr int kImageTitleX = 760, kImageTitleY = 100;
constexpr int kLightTypeTitleX = 640, kLightTypeTitleY = 210;
constexpr int kNameTitleX = 640, kNameTitleY = 270;  // ambient, directional light, directional shadow, blobb shadow

constexpr const char* kScene = "Cove";  // sorts first in the manager's list of the demo's scenes

// A file the program writes: a hang guard, which a busy machine never reaches.
bool WaitFor(const std::function<bool()>& done, int timeoutMs, testsupport::st_Where where = {}) {
  return testsupport::WaitUntil(done, timeoutMs, 50, where);
}

int Channel(uint32_t p, int shift) { return int((p >> shift) & 0xFF); }

// The largest difference of two pixels in a channel.
int Difference(uint32_t p, uint32_t q) {
  int difference = 0;
  for (int shift : {16, 8, 0}) difference = std::max(difference, std::abs(Channel(p, shift) - Channel(q, shift)));
  return difference;
}

// Of the pixels that differ clearly between two screens (by more than 24 in a channel), how many,
// and how many of those are near black on either screen.
struct st_Change {
  int changed = 0, black = 0;
};
st_Change Compare(const st_Screen& a, const st_Screen& b) {
  st_Change change;
  if (a.width != b.width || a.height != b.height) return change;
  auto brightest = [](uint32_t p) { return std::max({Channel(p, 16), Channel(p, 8), Channel(p, 0)}); };
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    if (Difference(a.pixels[i], b.pixels[i]) <= 24) continue;
    ++change.changed;
    if (std::min(brightest(a.pixels[i]), brightest(b.pixels[i])) < 16) ++change.black;
  }
  return change;
}

// Whether the pixels that differ between two screens by more than a trace fit in a standing
// figure's box: someone breathing or turning where she stands, no walk and no fade.
bool OnlyAFigureMoves(const st_Screen& a, const st_Screen& b) {
  if (a.width != b.width || a.height != b.height) return false;
  int left = a.width, top = a.height, right = -1, bottom = -1;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      if (Difference(a.At(x, y), b.At(x, y)) <= 2) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  return right < left || (right - left < kFigureBoxW && bottom - top < kFigureBoxH);
}

// The red pixels of the editor's status line, at the window's foot, where a failure is shown.
int RedStatusPixels(const st_Screen& screen) {
  int red = 0;
  for (int y = kStatusTop; y < screen.height; ++y)
    for (int x = 0; x < screen.width; ++x) {
      const uint32_t p = screen.At(x, y);
      red += ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) < 120 && (p & 0xFF) < 120 ? 1 : 0;
    }
  return red;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class ModderWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = MissingTools();
    if (!missing.empty()) {
      if (std::getenv("CI")) FAIL() << "missing here: " << missing;
      GTEST_SKIP() << "missing here: " << missing << " (scripts/install-deps.sh installs them)";
    }
    if (!fs::exists(testprogram::ProgramPath()) ||
        !fs::exists(fs::path(QUILLANE_DATA_DIR) / "Scenes/Office/navmesh.xml"))
      GTEST_SKIP() << "no program or no demo data";
    m_dir = std::make_unique<testprogram::TempDir>("quillane_modder");
    m_data = m_dir->path("data");
    testsupport::CopyDemoData(QUILLANE_DATA_DIR, m_data);
    // The modder's new folder: a picture and a nav mesh with its camera, copied in.
    m_folder = fs::path(m_data) / "Scenes" / kScene;
    fs::create_directories(m_folder);
    for (const char* file : {"background.tga", "navmesh.xml"})
      fs::copy_file(fs::path(m_data) / "Scenes/Office" / file, m_folder / file);
    m_project = m_folder / "ProjectFile.xml";
  }

  void StartEditor() {
    m_log = m_dir->path("editor.log");
    ASSERT_TRUE(m_x.StartEditor(m_dir->path("user"), m_log, kWindowWidth, kWindowHeight, kStartMs))
        << testprogram::ReadFile(m_log);
    Rest();
  }

  void Rest() {
    m_x.MoveTo(kRestX, kRestY);
    Frames(kAfterActMs);
  }
  void ClickAndSettle(int x, int y) {
    m_x.Click(x, y);
    Frames(kAfterActMs);
  }
  void Row(int row, int x = kRowX) { ClickAndSettle(x, kFirstRowY + row * kRowH); }

  // Waits until the screen's pixel at (x, y) is shown as `shows` accepts it; false after the
  // generous bound. Dialogs and tools open a frame or more after the click that asks for them.
  bool Await(int x, int y, const std::function<bool(uint32_t)>& shows) {
    Rest();
    const st_Screen screen = m_x.GrabUntil([&](const st_Screen& s) { return s.width > x && shows(s.At(x, y)); });
    return screen.width > x && shows(screen.At(x, y));
  }
  // A dialog's title bar is black where its caption does not reach.
  bool AwaitDialog(int titleX, int titleY) {
    return Await(titleX, titleY, [](uint32_t p) { return p == 0; });
  }
  // The panel's tree reaches below the manager's list; a placement tool hides the panel.
  bool AwaitPanel(bool shown) {
    return Await(kPanelTreeX, kPanelTreeY, [shown](uint32_t p) { return ((p & 0xF0F0F0u) == 0xF0F0F0u) == shown; });
  }

  // "Scene manager", "Add", the new folder chosen, and "Edit" on it: the panel opens on the scene.
  void AddAndEditTheScene() {
    const uint32_t empty = m_x.Grab().At(kMenuX + kEntryDX, kMenuY + kEntryH / 2);
    m_x.RightClick(kMenuX, kMenuY);
    ASSERT_TRUE(Await(kMenuX + kEntryDX, kMenuY + kEntryH / 2, [&](uint32_t p) { return p != empty; })) << "no menu";
    ClickAndSettle(kMenuX + kEntryDX, kMenuY + kManagerEntry * kEntryH + kEntryH / 2);
    ASSERT_TRUE(AwaitDialog(kManagerTitleX, kManagerTitleY)) << "no scene manager";
    ClickAndSettle(kManagerAddX, kManagerAddY);
    ASSERT_TRUE(AwaitDialog(kListDialogTitleX, kListDialogTitleY)) << "no \"New scene\" dialog";
    ClickAndSettle(kNewSceneRowX, kNewSceneRowY);
    ClickAndSettle(kNewSceneOkX, kNewSceneOkY);
    const fs::path list = fs::path(m_data) / "scenes/scenes.xml";
    ASSERT_TRUE(WaitFor([&] { return Read(list).find("label=\"Cove\"") != std::string::npos; }, kWriteMs))
        << Read(list);
    Row(0);  // the new scene sorts first
    ClickAndSettle(kManagerEditX, kManagerEditY);
    ASSERT_TRUE(AwaitPanel(true)) << "no scene editor panel";
  }

  // The group's "Add": a light of the type in the list's row, placed on the floor at (x, y).
  void AddLight(int typeRow, int x, int y) {
    Row(kLightsRow);
    ClickAndSettle(kPanelAddX, kPanelAddY);
    ASSERT_TRUE(AwaitDialog(kLightTypeTitleX, kLightTypeTitleY)) << "no light types";
    ClickAndSettle(kLightTypeRowX, kLightTypeFirstY + typeRow * kRowH);
    ClickAndSettle(kLightTypeOkX, kLightTypeOkY);
    ASSERT_TRUE(AwaitPanel(false)) << "no light tool";
    ClickAndSettle(x, y);
    m_x.Key("Return");
  }

  // Quillane walks from where she stands to the floor point (x, y). Of the screen's pixels her
  // move changes, the share that is near black: nearly all of them for a figure no light reaches,
  // a few (her blob shadow, dark edges) for a lit one.
  double BlackShareOfAWalk(cl_XSession& x, int toX, int toY) {
    x.MoveTo(kLookX, kLookY);
    // A walk or a fade (which changes every pixel a little) has ended: what changes stays inside
    // her box. Each grab is held against the first of the still stretch, not the one before: on a
    // busy machine two grabs lie seconds of the game's time apart, over which her breathing changes
    // more pixels than a step does between two quick grabs, though never outside her box.
    st_Screen rest;
    const st_Screen before = x.Settled(
        [&](const st_Screen&, const st_Screen& now) {
          if (!rest.pixels.empty() && OnlyAFigureMoves(rest, now)) return true;
          rest = now;
          return false;
        },
        kWalkSettleMs);
    x.Click(toX, toY);
    x.MoveTo(kLookX, kLookY);
    const st_Screen after = x.GrabUntil([&](const st_Screen& s) { return Compare(before, s).changed > kFigurePixels; });
    const st_Change change = Compare(before, after);
    EXPECT_GT(change.changed, kFigurePixels) << "she did not move";
    return change.changed > 0 ? double(change.black) / change.changed : 1.0;
  }

  // The name typed over the name dialog's proposal, which comes selected (with retyped: after a
  // first try, all of it selected again with Ctrl+A), then Enter.
  void Name(const std::string& name, bool retyped = false) {
    ASSERT_TRUE(AwaitDialog(kNameTitleX, kNameTitleY)) << "no name dialog";
    if (retyped) {
      m_x.Type("first try");
      m_x.Key("ctrl+a");
    }
    m_x.Type(name);
    m_x.Key("Return");
  }

  // The scene as the modder left it: the picture and the nav mesh already in its project.
  void WriteProject() {
    std::ofstream(m_project) << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                "<Project name=\"Cove\" w=\"1024\" h=\"640\">\n"
                                "<BackgroundElements><Layer x=\"0\" y=\"0\" w=\"1024\" h=\"640\" label=\"background\" "
                                "file=\"background.tga\" use_background_pixels=\"0\"/></BackgroundElements>\n"
                                "<NavMeshes><NavMesh label=\"default\" file=\"navmesh.xml\"/></NavMeshes>\n"
                                "</Project>\n";
  }

  std::string Read(const fs::path& file) const { return testprogram::ReadFile(file); }
  bool ProjectHas(const std::string& text, int count = 1) const { return Count(Read(m_project), text) == count; }

  std::unique_ptr<testprogram::TempDir> m_dir;
  std::string m_data, m_log;
  fs::path m_folder, m_project;
  cl_XSession m_x;
};

TEST_F(ModderWindow, ASceneFromANewFolderIsEditedCompiledAndEnteredFromTheGame) {
  // The user's configuration as the README makes it: the shipped file copied with the developer
  // keys on, the script lines in the log, and (for the editors) QuickLaunch "editor".
  const std::string user = m_dir->path("user");
  const std::vector<std::pair<std::string, std::string>> readme = {
      {"Debug_KeysEnabled=\"0\"", "Debug_KeysEnabled=\"1\""},
      {"Debug_ScriptWarningLevel=\"0\"", "Debug_ScriptWarningLevel=\"1\""}};
  std::vector<std::pair<std::string, std::string>> editor = readme;
  editor.emplace_back("<DevTools ShowIntroMovies=\"1\"/>", "<DevTools ShowIntroMovies=\"1\" QuickLaunch=\"editor\"/>");
  testprogram::WriteUserConfig(user, editor);
  m_log = m_dir->path("editor.log");
  ASSERT_TRUE(m_x.Start(user, m_log, kWindowWidth, kWindowHeight, "us")) << testprogram::ReadFile(m_log);
  ASSERT_TRUE(testprogram::WaitForLog(m_log, "GameFrame: state Editor", kStartMs)) << testprogram::ReadFile(m_log);
  Rest();
  ASSERT_NO_FATAL_FAILURE(AddAndEditTheScene());

  // The picture: chosen in the file browser, taken whole by the crop tool.
  Row(kBackgroundRow);
  ClickAndSettle(kPanelAddX, kPanelAddY);
  ASSERT_TRUE(AwaitDialog(kImageTitleX, kImageTitleY)) << "no file browser";
  ClickAndSettle(kImageRowX, kImageRowY);
  ClickAndSettle(kImageOkX, kImageOkY);
  ASSERT_TRUE(AwaitPanel(false)) << "no crop tool";
  m_x.Key("Return");
  ASSERT_TRUE(WaitFor([&] { return ProjectHas("file=\"background.tga\""); }, kWriteMs)) << Read(m_project);

  // The nav mesh, which gives the placement tools their camera.
  Row(kNavMeshRow);
  ASSERT_TRUE(AwaitPanel(true));
  ClickAndSettle(kPanelAddX, kPanelAddY);
  ASSERT_TRUE(AwaitDialog(kListDialogTitleX, kListDialogTitleY)) << "no nav mesh list";
  ClickAndSettle(kSelectRowX, kSelectRowY);
  ClickAndSettle(kSelectOkX, kSelectOkY);
  ASSERT_TRUE(WaitFor([&] { return ProjectHas("file=\"navmesh.xml\""); }, kWriteMs)) << Read(m_project);

  // A hotspot of four corners, named.
  ASSERT_TRUE(AwaitPanel(true));
  Row(kHotSpotsRow);
  ClickAndSettle(kPanelAddX, kPanelAddY);
  ASSERT_TRUE(AwaitPanel(false)) << "no hotspot tool";
  for (const auto& [x, y] : {std::pair{500, 300}, {620, 300}, {620, 420}, {500, 420}}) ClickAndSettle(x, y);
  m_x.Key("Return");
  ASSERT_NO_FATAL_FAILURE(Name("chest"));
  ASSERT_TRUE(WaitFor([&] { return ProjectHas("<HotSpot label=\"chest\">"); }, kWriteMs)) << Read(m_project);
  EXPECT_EQ(Count(Read(m_project), "<Point "), 4);

  // The ambient light the room needs, without a picture: it lights in its own colour.
  ASSERT_TRUE(AwaitPanel(true));
  Row(kLightsRow);
  ClickAndSettle(kPanelAddX, kPanelAddY);
  ASSERT_TRUE(AwaitDialog(kLightTypeTitleX, kLightTypeTitleY)) << "no light types";
  ClickAndSettle(kLightTypeRowX, kLightTypeFirstY + kAmbientType * kRowH);
  ClickAndSettle(kLightTypeOkX, kLightTypeOkY);
  ASSERT_TRUE(AwaitDialog(kImageTitleX, kImageTitleY)) << "no picture for the light";
  ClickAndSettle(kImageOkX, kImageOkY);
  ASSERT_TRUE(WaitFor([&] { return ProjectHas("type=\"ambient\""); }, kWriteMs)) << Read(m_project);

  // A locator picked on the floor and named.
  ASSERT_TRUE(AwaitPanel(true));
  Row(kLocatorsRow);
  ClickAndSettle(kPanelAddX, kPanelAddY);
  ASSERT_TRUE(AwaitPanel(false)) << "no locator tool";
  ClickAndSettle(450, 620);
  m_x.Key("Return");
  ASSERT_NO_FATAL_FAILURE(Name("entry", true));
  ASSERT_TRUE(WaitFor([&] { return ProjectHas("label=\"entry\""); }, kWriteMs)) << Read(m_project);

  // The test walk: Quillane walks to two floor points, lit.
  ASSERT_TRUE(AwaitPanel(true));
  ClickAndSettle(kTestX, kTestY);
  ASSERT_TRUE(AwaitPanel(false)) << "no test walk";
  m_x.Click(kFloorAX, kFloorAY);
  EXPECT_LT(BlackShareOfAWalk(m_x, kFloorBX, kFloorBY), 0.5) << "Quillane is black in the test walk";
  m_x.Key("Escape");
  ASSERT_TRUE(AwaitPanel(true)) << "the test walk did not end";

  const fs::path compiled = fs::path(m_data) / "Scenes/Cove.dat";
  ClickAndSettle(kCompileX, kCompileY);
  ASSERT_TRUE(WaitFor([&] { return fs::exists(compiled) && fs::file_size(compiled) > 0; }, kWriteMs));
  Frames(kAfterActMs);  // the writer's rename is its last step; give it a frame before stopping
  m_x.Stop();
  const std::string project = Read(m_project);
  EXPECT_EQ(Count(project, "<Layer"), 1) << project;
  EXPECT_GE(fs::last_write_time(compiled), fs::last_write_time(m_project)) << "the compiled scene is older";
  EXPECT_EQ(testprogram::ReadFile(m_log).find("ERROR:"), std::string::npos) << testprogram::ReadFile(m_log);
  for (const auto& entry : fs::directory_iterator(fs::path(m_data) / "Scenes"))
    EXPECT_EQ(entry.path().filename().string().find("Cove.dat.tmp"), std::string::npos) << "a writer's leftover";

  // What the editors leave to the modder: the scene's script placing the player, the hotspot's
  // entry and trigger, and the campaign's first scene.
  std::ofstream(fs::path(m_data) / "Scripts/Scenes/Cove.lua")
      << "function OnLoadScene()\n  Debugout(\"Cove: OnLoadScene\")\nend\n"
         "function PrepareScene()\n"
         "  Debugout(\"Cove: PrepareScene\")\n"
         "  AddCharacter(\"Quillane\", \"quillane\", \"entry\")\n"
         "  SetPlayerCharacter(\"Quillane\")\n"
         "end\n"
         "function OnTrigger_chest()\n  Debugout(\"Cove: the chest\")\nend\n";
  const fs::path hotspots = fs::path(m_data) / "Scripts/hotspots.xml";
  std::string table = Read(hotspots);
  table.insert(table.find("</Hotspots>"), "<Hotspot label=\"chest\" display_name=\"Chest\" type=\"game\"/>\n");
  std::ofstream(hotspots) << table;
  const fs::path campaign = fs::path(m_data) / "Scripts/campaign.lua";
  std::string startup = Read(campaign);
  ASSERT_NE(startup.find("Transit(\"Office\")"), std::string::npos) << startup;
  startup.replace(startup.find("Transit(\"Office\")"), 17, "Transit(\"Cove\")");
  std::ofstream(campaign) << startup;

  // The game as the README's configuration starts it: the intro skipped, "New Game" in the root
  // menu, the campaign into the new scene, whose script places Quillane; she is lit, and the
  // hotspot runs its trigger.
  testprogram::WriteUserConfig(user, readme);
  const std::string game = m_dir->path("game.log");
  cl_XSession play;
  ASSERT_TRUE(play.Start(user, game, kWindowWidth, kWindowHeight, "us")) << testprogram::ReadFile(game);
  ASSERT_TRUE(WaitFor(
      [&] {
        play.Key("Escape");
        return play.LogShows(game, "GameFrame: state RootMenu", 1000);  // an Escape a second of its time
      },
      kStartMs))
      << testprogram::ReadFile(game);
  Frames(1500);  // the menu's fade from black
  play.Click(kNewGameX, kNewGameY);
  ASSERT_TRUE(testprogram::WaitForLog(game, "Cove: PrepareScene", kStartMs)) << testprogram::ReadFile(game);
  const size_t prepared = testprogram::ReadFile(game).find("Cove: PrepareScene");
  ASSERT_TRUE(WaitFor(
      [&] { return testprogram::ReadFile(game).find("GameFrame: state Session", prepared) != std::string::npos; },
      kStartMs))
      << "the loading screen did not end\n"
      << testprogram::ReadFile(game);
  EXPECT_LT(BlackShareOfAWalk(play, kFloorBX, kFloorBY), 0.5) << "Quillane is black in the game";
  play.Click(560, 360);
  EXPECT_TRUE(testprogram::WaitForLog(game, "Cove: the chest", kWriteMs)) << testprogram::ReadFile(game);
  play.Stop();
  const std::string text = testprogram::ReadFile(game);
  EXPECT_NE(text.find("Cove: OnLoadScene"), std::string::npos) << text;
  EXPECT_EQ(text.find("ERROR:"), std::string::npos) << text;
  EXPECT_EQ(text.find(" was not compiled from "), std::string::npos) << text;
}

TEST_F(ModderWindow, OfTwoLightsOfOneTypeTheOneRemovedLeavesTheOther) {
  WriteProject();
  ASSERT_NO_FATAL_FAILURE(StartEditor());
  ASSERT_NO_FATAL_FAILURE(AddAndEditTheScene());
  ASSERT_NO_FATAL_FAILURE(AddLight(kBlobShadowType, 600, 600));
  ASSERT_TRUE(WaitFor([&] { return ProjectHas("type=\"blobbshadow\""); }, kWriteMs)) << Read(m_project);
  ASSERT_TRUE(AwaitPanel(true));
  ASSERT_NO_FATAL_FAILURE(AddLight(kBlobShadowType, 400, 560));
  ASSERT_TRUE(WaitFor([&] { return ProjectHas("type=\"blobbshadow\"", 2); }, kWriteMs)) << Read(m_project);
  ASSERT_TRUE(AwaitPanel(true));

  // The group opened, its first light selected and removed.
  Row(kLightsRow, kTreeToggleX);
  Row(kLightsRow + 1);
  ClickAndSettle(kPanelRemoveX, kPanelRemoveY);
  ASSERT_TRUE(WaitFor([&] { return ProjectHas("type=\"blobbshadow\"", 1); }, kWriteMs)) << Read(m_project);
  m_x.Stop();
  const std::string project = Read(m_project);
  EXPECT_EQ(Count(project, "label=\"blobbshadow2\""), 1) << project;
  EXPECT_EQ(Count(project, "label=\"blobbshadow\""), 0) << project;
  EXPECT_EQ(testprogram::ReadFile(m_log).find("ERROR:"), std::string::npos) << testprogram::ReadFile(m_log);
}

TEST_F(ModderWindow, ASceneWhosePictureIsMissingIsNotCompiledAndTheScreenSaysWhy) {
  WriteProject();
  fs::remove(m_folder / "background.tga");
  ASSERT_NO_FATAL_FAILURE(StartEditor());
  ASSERT_NO_FATAL_FAILURE(AddAndEditTheScene());
  ASSERT_TRUE(testprogram::WaitForLog(m_log, "picture 'Scenes/Cove/background.tga' is missing", kWriteMs));
  const st_Screen opened = m_x.GrabUntil([](const st_Screen& s) { return RedStatusPixels(s) > kStatusTextPixels; });
  EXPECT_GT(RedStatusPixels(opened), kStatusTextPixels) << "the missing picture is not named on opening";

  ClickAndSettle(kCompileX, kCompileY);
  EXPECT_TRUE(testprogram::WaitForLog(
      m_log, "ERROR: Scenes/Cove: not compiled: Scenes/Cove/background.tga cannot be read (is missing)", kWriteMs))
      << testprogram::ReadFile(m_log);
  // The refusal replaces the line shown on opening, in red.
  const st_Screen refused = m_x.GrabUntil([&](const st_Screen& s) {
    return RedStatusPixels(s) > kStatusTextPixels && Compare(opened, s).changed > kStatusTextPixels;
  });
  EXPECT_GT(RedStatusPixels(refused), kStatusTextPixels);
  EXPECT_GT(Compare(opened, refused).changed, kStatusTextPixels);
  m_x.Stop();
  EXPECT_FALSE(fs::exists(fs::path(m_data) / "Scenes/Cove.dat"));
}

}  // namespace
}  // namespace playertest
