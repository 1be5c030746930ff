// Every .play file of the repository runs in the built program itself (QUILLANE_INPUT, headless,
// on a scratch copy of the demo data) to its end: exit code 0, no error in the log, the lines its
// road must leave. A file with a failing step ends the program with exit code 1. In this process:
// the tests' own probe mini-game (which only this program has) and the start-up log reaching a
// script-debugger front-end.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "SavegameGenerator.h"
#include "aid_test_peer.h"
#include "base/File.h"
#include "base/data/Xml.h"
#include "base/text/Text.h"
#include "playthrough_support.h"
#include "probe_game.h"
#include "quillane/app/PlayDriver.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/session/Session.h"
#include "support/HeadlessGpu.h"
#include "support/ProgramRun.h"

namespace playtest {
namespace {

namespace fs = std::filesystem;
using tEdits = std::vector<std::pair<std::string, std::string>>;

// The configurations the files are written for, as changes to the bundled config.xml.
// The editors' roads use the developer keys, which the bundled file leaves off.
const std::pair<std::string, std::string> kKeysOn{"Debug_KeysEnabled=\"0\"", "Debug_KeysEnabled=\"1\""};
const std::pair<std::string, std::string> kSideFiles{"Savegame_WriteXML=\"0\"", "Savegame_WriteXML=\"1\""};
const std::pair<std::string, std::string> kScriptLines{"Debug_ScriptWarningLevel=\"0\"",
                                                       "Debug_ScriptWarningLevel=\"1\""};
const std::pair<std::string, std::string> kQuickLaunch{"<DevTools ShowIntroMovies=\"1\"/>",
                                                       "<DevTools ShowIntroMovies=\"1\" QuickLaunch=\"game\"/>"};
// Each game the story starts counts as won at once (the demo plays them).
const std::pair<std::string, std::string> kGamesOff{"<Debug NoMinigames=\"0\"/>", "<Debug NoMinigames=\"1\"/>"};
const std::pair<std::string, std::string> kQuickSkip{"<AutoFadeInterface",
                                                     "<MinigamesPanicButton Value=\"1\"/><AutoFadeInterface"};

struct st_PlayFile {
  const char* file;  // in this folder
  tEdits config;
  std::vector<const char*> logged;     // lines the run must leave
  std::vector<const char*> notLogged;  // and must not
  bool fromSavegame = false;           // starts from a generated slot001 in the Office
  int frameBudget = 1500;              // the whole road's frames at 0.1 s a frame
  void (*checkData)(const fs::path& data) = nullptr;  // the data folder the road ran on, afterwards
  const char* name = nullptr;                          // the test's name when not the file's
};

void ExportedScenesAreWhatScenecCompiles(const fs::path& data);
void CompiledOfficeIsWhatScenecCompiles(const fs::path& data);
void PlacedOfficeIsTheStoredProject(const fs::path& data);

const st_PlayFile kPlayFiles[] = {
    // The intro, the loading bar, the root menu and its roads, a new game in the Office by keys
    // and clicks, the quit boxes. The shelf's game is real and skipped.
    {"mainroad.play",
     {kSideFiles, kScriptLines, kQuickSkip},
     {"Quit cancelled", "Session: back to the main menu", "Quit confirmed"},
     {}},
    // QuickLaunch into the Office and on to the Quay, the tokens' road to the door, a save and
    // its load on the Quay, shown as it was saved (the mini-games the road starts count as won).
    {"quicklaunch.play", {kQuickLaunch, kGamesOff, kScriptLines, kSideFiles}, {"campaign: Startup"}, {}},
    // Every game of the story started where the story starts it and skipped with its button
    // (Sabotage after its question), each a win; the story goes on to its end.
    {"games_skipped.play",
     {kQuickLaunch, kQuickSkip},
     {"Compile Wiretap Minigame",
      "Compile Sabotage Minigame",
      "Compile FloorLights Minigame",
      "Compile Dance Minigame"},
     {"Minigame Error"},
     false,
     2500},
    // The whole demo from the root menu to the credits, every game of the story won by clicks on
    // what it shows, as a player would (the two tile boards take six turns each), none skipped.
    {"games_won.play", {}, {}, {"Minigame Error"}, false, 4200},
    // The same in an 800 x 600 window, where Sabotage and the diary are drawn smaller to fit.
    {"games_won.play",
     {{"Width=\"1024\" Height=\"768\"", "Width=\"800\" Height=\"600\""}},
     {},
     {"Minigame Error"},
     false,
     4200,
     nullptr,
     "games_won_800"},
    // The office games left through their exits, each a loss that Quillane remarks on.
    {"games_left.play", {kQuickLaunch}, {}, {"Minigame Error"}, false, 1300},
    // Every hotspot of the Office and the Quay has its caption and tooltip and answers a click: a
    // line, a mini-game (skipped) or another scene; the gangway's game leads to the game's end.
    {"hotspots.play", {kQuickLaunch, kQuickSkip}, {}, {"Minigame Error"}, false, 2900},
    {"savegame.play", {kQuickLaunch, kSideFiles}, {}, {}},
    // Every spoken line's box over or beside its speaker and off every face, in the room and in
    // Odo's and Mina's close-ups, at both window sizes.
    {"talk.play", {kQuickLaunch}, {}, {}, false, 1000},
    {"talk.play",
     {kQuickLaunch, {"Width=\"1024\" Height=\"768\"", "Width=\"800\" Height=\"600\""}},
     {},
     {},
     false,
     1000,
     nullptr,
     "talk_800"},
    // The editor mode from the root menu in the 1024 x 640 game viewport: a scene added to the
    // list, a sort line dragged and kept, every listed scene exported.
    {"editor_mode.play",
     {{"Height=\"768\"", "Height=\"640\""}, kKeysOn},
     {"exporting Office", "scene complete."},
     {},
     false,
     400,
     ExportedScenesAreWhatScenecCompiles},
    // The train-travel and dance editors from the editor menu: a board made, saved, played and
    // won; a dance recorded and written.
    {"editor_levels.play",
     {{"<DevTools ShowIntroMovies=\"1\"/>", "<DevTools ShowIntroMovies=\"1\" QuickLaunch=\"editor\"/>"}, kKeysOn},
     {},
     {"Minigame Error"},
     false,
     600},
    // The scene editor on the Office: a picture added and cropped, a nav mesh added and removed,
    // two layers edited, the scene compiled as scenec compiles it and shown alike when reopened.
    {"editor_scene.play",
     {{"Height=\"768\"", "Height=\"640\""}, kKeysOn},
     {},
     {},
     false,
     400,
     CompiledOfficeIsWhatScenecCompiles},
    // The placement tools on the Office: a hotspot, a light and a locator path placed and named,
    // the test walk's exposure kept, the scene compiled as scenec compiles it.
    {"editor_tools.play",
     {{"Height=\"768\"", "Height=\"640\""}, kKeysOn},
     {},
     {},
     false,
     500,
     PlacedOfficeIsTheStoredProject},
    // The character viewer from the editor menu: a figure played, drawn as a skeleton and
    // lip-synced; a character set up from its folder and imported, another deleted.
    {"editor_viewer.play", {kKeysOn}, {}, {}, false, 600},
    {"quickload.play",
     {{"<DevTools ShowIntroMovies=\"1\"/>",
       "<DevTools ShowIntroMovies=\"1\" QuickLaunch=\"game\" Savegame=\"slot001.sav\"/>"}},
     {},
     {"campaign: Startup"},
     true},
};

// A compiled scene's bytes with its description record written out as XML text in its place:
// that record's name table carries the writing process's own name ids, so two processes write
// the same tree in different bytes. Empty when the file does not read.
std::string ComparableSceneFile(const fs::path& path) {
  base::File file;
  base::tString<base::BaseString> name;
  base::Variant description;
  if (!file.open(path.string().c_str(), base::File::STATUS_READ) || !name.Read(file) || !description.Read(&file))
    return {};
  const size_t end = static_cast<size_t>(file.get_current_position());
  file.close();
  base::Text text;
  if (!base::xml::write_text(description, text)) return {};
  const std::string bytes = testprogram::ReadFile(path);
  return bytes.substr(0, 4 + name.size()) + text.c_str() + bytes.substr(end);
}

// Each scene the editor exported equals what scenec compiles from the same project (the editor
// ran in the 1024 x 640 game viewport, which the compiled camera keeps); the number compared.
int CompareWithScenec(const fs::path& data) {
  int compared = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(data / "Scenes")) {
    if (e.path().extension() != ".dat") continue;
    const std::string name = e.path().stem().string();
    const fs::path edited = e.path().string() + ".editor";
    fs::rename(e.path(), edited);
    if (testsupport::Run({.args = {QUILLANE_SCENEC, name}, .folder = data.string(), .out = "/dev/null"}) != 0) {
      ADD_FAILURE() << name << ": scenec failed";
      continue;
    }
    const std::string ours = ComparableSceneFile(edited), theirs = ComparableSceneFile(e.path());
    const auto diff = std::mismatch(ours.begin(), ours.end(), theirs.begin(), theirs.end());
    EXPECT_TRUE(!ours.empty() && ours == theirs)
        << name << ": the editor's " << ours.size() << " bytes differ from scenec's " << theirs.size() << " at byte "
        << (diff.first - ours.begin());
    ++compared;
  }
  return compared;
}

void ExportedScenesAreWhatScenecCompiles(const fs::path& data) {
  EXPECT_EQ(CompareWithScenec(data), 3) << "Office, Quay and Stage";
}

// The project file an editor road leaves, against the one stored beside the road (made from the
// demo's Office: when demogen repaints it, the road's file is stored anew); then the compiled
// Office against scenec's.
void OfficeIsTheStoredProject(const fs::path& data, const char* stored) {
  const fs::path golden = fs::path(QUILLANE_TEST_DIR) / "golden" / stored;
  const std::string edited = testprogram::ReadFile(data / "Scenes/Office/ProjectFile.xml");
  if (std::getenv("QUILLANE_STORE_GOLDEN")) std::ofstream(golden, std::ios::binary) << edited;
  EXPECT_EQ(edited, testprogram::ReadFile(golden)) << "the road's ProjectFile.xml differs from " << golden;
  EXPECT_EQ(CompareWithScenec(data), 1) << "the Office alone";
}

void CompiledOfficeIsWhatScenecCompiles(const fs::path& data) {
  OfficeIsTheStoredProject(data, "editor_scene_ProjectFile.xml");
}

// The placement tools' road: the stored project and scenec's Office, the file read afresh written
// again to the byte, and the exposure the test walk raised.
void PlacedOfficeIsTheStoredProject(const fs::path& data) {
  OfficeIsTheStoredProject(data, "editor_tools_ProjectFile.xml");
  const fs::path project = data / "Scenes/Office/ProjectFile.xml";
  base::Variant fresh;
  base::Text text;
  ASSERT_TRUE(base::xml::read_file(fresh, project.string().c_str()));
  ASSERT_TRUE(base::xml::write_text(fresh, text));
  const std::string stored = testprogram::ReadFile(project);
  EXPECT_EQ(stored.substr(stored.find("<Project")), text.c_str());
  // The test walk's 20 frames of E and Up on the Office's 1.1.
  char exposure[32];
  std::snprintf(exposure, sizeof exposure, "exposure=\"%g\"", 1.1 * std::pow(0.99, -20.0));
  EXPECT_NE(stored.find(exposure), std::string::npos) << exposure;
}

// The test's name shows the file, not the record's bytes.
void PrintTo(const st_PlayFile& play, std::ostream* out) { *out << play.file; }

bool CanRun() { return fs::exists(testprogram::ProgramPath()) && testsupport::HeadlessGpuAvailable(); }

// The bundled config.xml with the edits, each of which must apply, as userDir's config.xml.
void WriteConfig(const std::string& userDir, const tEdits& edits) {
  std::string text = testprogram::ReadFile(fs::path(QUILLANE_DATA_DIR) / "config.xml");
  for (const auto& [from, to] : edits) {
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  }
  fs::create_directories(userDir);
  std::ofstream(fs::path(userDir) / "config.xml", std::ios::binary) << text;
}

// Runs the file in the program, headless; its exit code (-1 when it did not exit) and its log.
std::pair<int, std::string> RunPlayFile(const testprogram::TempDir& dir, const std::string& file) {
  const std::string log = dir.path("run.log");
  const int status = testprogram::RunProgram({"QUILLANE_HEADLESS=1", "QUILLANE_INPUT=" + file}, dir.path("user"), log);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testprogram::ReadFile(log)};
}

class PlayFile : public ::testing::TestWithParam<st_PlayFile> {};

TEST_P(PlayFile, RunsToItsEndInTheProgram) {
  if (!CanRun()) GTEST_SKIP() << "no program or no headless graphics device";
  const st_PlayFile& play = GetParam();
  testprogram::TempDir dir("quillane_play");
  ASSERT_NO_FATAL_FAILURE(WriteConfig(dir.path("user"), play.config));
  if (play.fromSavegame) {
    savegen::st_Plan plan;
    plan.characters = {{"Quillane", "quillane", {0, 0, 0, 1}, {0.0f, 0.0f, 0.0f}}};
    fs::create_directories(dir.path("user/Savegames"));
    savegen::WriteFile(dir.path("user/Savegames/slot001.sav"), savegen::Generate(plan).bytes);
  }
  const auto [code, log] = RunPlayFile(dir, std::string(QUILLANE_TEST_DIR "/") + play.file);
  EXPECT_EQ(code, 0) << log;
  EXPECT_EQ(log.find("ERROR:"), std::string::npos) << log;
  // Nothing of the graphics device's video memory outlives it.
  EXPECT_EQ(log.find("default-pool objects live"), std::string::npos) << log;
  for (const char* line : play.logged) EXPECT_NE(log.find(line), std::string::npos) << line;
  for (const char* line : play.notLogged) EXPECT_EQ(log.find(line), std::string::npos) << line;
  const char* ended = "Frame loop ended after ";
  const size_t at = log.find(ended);
  ASSERT_NE(at, std::string::npos) << log;
  EXPECT_LT(std::atoi(log.c_str() + at + std::strlen(ended)), play.frameBudget);
  if (play.checkData) play.checkData(dir.root() / "data");
}

INSTANTIATE_TEST_SUITE_P(Repository, PlayFile, ::testing::ValuesIn(kPlayFiles),
                         [](const ::testing::TestParamInfo<st_PlayFile>& param) {
                           if (param.param.name) return std::string(param.param.name);
                           const std::string name = param.param.file;
                           return name.substr(0, name.find('.'));
                         });

// A .play file anywhere in the repository is run above; a new one must join the table.
TEST(PlayFiles, EveryFileOfTheRepositoryIsRunAbove) {
  const fs::path root = fs::path(QUILLANE_TEST_DIR).parent_path().parent_path();
  std::set<std::string> run;
  for (const st_PlayFile& play : kPlayFiles) run.insert((fs::path(QUILLANE_TEST_DIR) / play.file).string());
  for (const char* top : {"tests", "fuzz", "data", "sourcecode", "scripts", "bench"}) {
    if (!fs::exists(root / top)) continue;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root / top)) {
      if (entry.is_regular_file() && entry.path().extension() == ".play") {
        EXPECT_TRUE(run.count(entry.path().string())) << entry.path() << " is not run";
      }
    }
  }
}

// The program's exit code tells how the file went: 1 at the first failing step (the later ones
// are not run), after a log line naming it.
TEST(PlayFiles, AFailingStepEndsTheProgramWithExitCodeOne) {
  if (!CanRun()) GTEST_SKIP() << "no program or no headless graphics device";
  testprogram::TempDir dir("quillane_playfail");
  ASSERT_NO_FATAL_FAILURE(WriteConfig(dir.path("user"), {{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""}}));
  std::ofstream(dir.path("fail.play")) << "wait state RootMenu 100\ncheck quitbox open\nclose\nclick button Ok\n";
  const auto [code, log] = RunPlayFile(dir, dir.path("fail.play"));
  EXPECT_EQ(code, 1) << log;
  EXPECT_NE(log.find("ERROR: play step 2 (line 2: \"check quitbox open\") failed"), std::string::npos) << log;
  EXPECT_EQ(log.find("Quit confirmed"), std::string::npos) << "a step after the failure ran";
}

// A savegame that does not load leaves the player where they were, with their music: in the game
// after the in-game menu's load (a box says so), in the root menu for a damaged file (the box
// again), and back in the root menu with its theme for a whole save of a scene this game does not
// have. The recorded mix's last two seconds must not be silent.
TEST(PlayFiles, ASavegameThatDoesNotLoadLeavesThePlayerWhereTheyWereWithTheirMusic) {
  if (!CanRun()) GTEST_SKIP() << "no program or no headless graphics device";
  const std::pair<std::string, std::string> noIntro{"ShowIntroMovies=\"1\"", "ShowIntroMovies=\"0\""};
  const char* menuLoad =
      "wait state RootMenu 300\n"
      "wait frames 12\n"
      "click button loadgame\n"
      "wait frames 5\n"
      "click button Load\n";
  struct st_Case {
    const char* name;
    tEdits config;
    bool cut;           // the save cut in half, else whole
    const char* scene;  // the saved scene
    std::string play;
  };
  const st_Case cases[] = {
      {"in the game",
       {kQuickLaunch},
       true,
       "Office",
       "wait scene Office 300\nwait frames 5\nkey Escape\nwait idle 300\nkey Escape\nwait frames 3\n"
       "click button loadgame\nwait frames 5\nclick button Load\nwait frames 3\nclick button Ok\n"
       "wait frames 3\nclick button Ok\nwait frames 3\nkey Escape\nwait frames 40\n"},
      {"damaged, from the root menu",
       {noIntro},
       true,
       "Office",
       std::string(menuLoad) + "wait frames 3\nclick button Ok\nwait frames 3\nkey Escape\nwait frames 40\n" +
           "check rootmenu fade 0\n"},
      {"of another game's scene, from the root menu",
       {noIntro},
       false,
       "Lighthouse",
       std::string(menuLoad) + "wait state LoadingScreen 20\nwait state RootMenu 100\nwait frames 40\n"},
  };
  for (const st_Case& run : cases) {
    SCOPED_TRACE(run.name);
    testprogram::TempDir dir("quillane_badload");
    ASSERT_NO_FATAL_FAILURE(WriteConfig(dir.path("user"), run.config));
    savegen::st_Plan plan;
    plan.scene = run.scene;
    std::vector<uint8_t> bytes = savegen::Generate(plan).bytes;
    if (run.cut) bytes.resize(bytes.size() / 2);
    fs::create_directories(dir.path("user/Savegames"));
    savegen::WriteFile(dir.path("user/Savegames/slot001.sav"), bytes);
    std::ofstream(dir.path("run.play")) << run.play;
    const std::string mix = dir.path("mix.raw");
    const int status = testprogram::RunProgram(
        {"QUILLANE_HEADLESS=1", "QUILLANE_INPUT=" + dir.path("run.play"), "QUILLANE_MIX_FILE=" + mix},
        dir.path("user"), dir.path("run.log"));
    const std::string log = testprogram::ReadFile(dir.path("run.log"));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log;
    EXPECT_NE(log.find(dir.path("user/Savegames/slot001.sav")), std::string::npos)
        << "the refusal names the file where it is\n" << log;
    // 16-bit stereo at 44.1 kHz: the last two seconds.
    const std::string samples = testprogram::ReadFile(mix);
    constexpr size_t kTail = 2 * 44100 * 4;
    ASSERT_GE(samples.size(), kTail);
    int loudest = 0;
    for (size_t at = samples.size() - kTail; at + 1 < samples.size(); at += 2) {
      int16_t sample = 0;
      std::memcpy(&sample, samples.data() + at, sizeof sample);
      loudest = std::max(loudest, std::abs(int(sample)));
    }
    EXPECT_GT(loudest, 1000) << "the last two seconds are silent";
  }
}

// ---- in this process

// With mini-games on and the skip button shown after a tenth of a second, the tests' probe game
// is started as a script would start one, waited for by name once its fade-in is over, and
// skipped with a click on its button; the skip counts as a win.
// scenec refuses what the editor's "Compile" refuses, with the cause and exit code 1, and leaves
// the old file: a project whose background picture is missing or cut short (with its reader's
// cause), a name without a project. Once the picture is there, the scene compiles, also under a
// name of 248 characters, at each detail level there is and at no other (which is said), and walks
// a character only for a number of seconds.
TEST(Scenec, RefusesAProjectWithoutItsPictureOrWithoutAProjectFile) {
  testprogram::TempDir dir("quillane_scenec");
  const fs::path data = dir.root(), folder = data / "Scenes/Cove";
  fs::create_directories(folder);
  fs::copy_file(fs::path(QUILLANE_DATA_DIR) / "Scenes/Office/navmesh.xml", folder / "navmesh.xml");
  std::ofstream(folder / "ProjectFile.xml")
      << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Project name=\"Cove\" w=\"1024\" h=\"640\">\n"
         "<BackgroundElements><Layer x=\"0\" y=\"0\" w=\"1024\" h=\"640\" label=\"background\" "
         "file=\"background.tga\" use_background_pixels=\"0\"/></BackgroundElements>\n"
         "<NavMeshes><NavMesh label=\"default\" file=\"navmesh.xml\"/></NavMeshes>\n</Project>\n";
  const std::string err = dir.path("err.txt");
  auto scenec = [&](const char* name, std::vector<std::string> options = {}) {
    options.insert(options.begin(), QUILLANE_SCENEC);
    options.push_back(name);
    const int status = testsupport::Run({.args = options, .folder = data.string(), .out = "/dev/null", .err = err});
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(scenec("Cove"), 1);
  EXPECT_NE(testprogram::ReadFile(err).find(
                "scenec: Scenes/Cove: not compiled: Scenes/Cove/background.tga cannot be read (is missing)"),
            std::string::npos)
      << testprogram::ReadFile(err);
  EXPECT_FALSE(fs::exists(data / "Scenes/Cove.dat"));
  EXPECT_EQ(scenec("Nope"), 1);
  EXPECT_NE(testprogram::ReadFile(err).find("scenec: Nope not compiled: Scenes/Nope/ProjectFile.xml is missing"),
            std::string::npos)
      << testprogram::ReadFile(err);
  EXPECT_FALSE(fs::exists(data / "Scenes/Nope.dat"));
  fs::copy_file(fs::path(QUILLANE_DATA_DIR) / "Scenes/Office/background.tga", folder / "background.tga");
  fs::resize_file(folder / "background.tga", 2000);
  EXPECT_EQ(scenec("Cove"), 1);
  EXPECT_NE(testprogram::ReadFile(err).find("scenec: Scenes/Cove: not compiled: Scenes/Cove/background.tga cannot be "
                                            "read (cut short: its 2000 bytes do not hold the picture its header "
                                            "describes)"),
            std::string::npos)
      << testprogram::ReadFile(err);
  fs::copy_file(fs::path(QUILLANE_DATA_DIR) / "Scenes/Office/background.tga", folder / "background.tga",
                fs::copy_options::overwrite_existing);
  EXPECT_EQ(scenec("Cove"), 0) << testprogram::ReadFile(err);
  EXPECT_TRUE(fs::exists(data / "Scenes/Cove.dat"));
  const std::string longName(248, 'c');
  fs::copy(folder, data / "Scenes" / longName, fs::copy_options::recursive);
  EXPECT_EQ(scenec(longName.c_str()), 0) << testprogram::ReadFile(err);
  EXPECT_TRUE(fs::exists(data / "Scenes" / (longName + ".dat")));
  // A detail level that does not exist is a wrong call, not a scene read at no level.
  for (const char* level : {"7", "-1", "one"}) {
    EXPECT_EQ(scenec("Cove", {"--lod", level}), 2) << level;
    EXPECT_NE(testprogram::ReadFile(err).find(std::string("scenec: --lod ") + level + ": no such detail level"),
              std::string::npos)
        << testprogram::ReadFile(err);
  }
  EXPECT_EQ(scenec("Cove", {"--lod", "2"}), 0);
  // So is a walk of no number of seconds, or of more than ten minutes; the line names the value.
  for (const char* seconds : {"nan", "-1", "inf", "1e308", "601"}) {
    EXPECT_EQ(scenec("Cove", {"--actor", "Quillane", "--walk", "Door", "--seconds", seconds}), 2) << seconds;
    EXPECT_NE(testprogram::ReadFile(err).find(std::string("scenec: --seconds '") + seconds + "' is no number"),
              std::string::npos)
        << testprogram::ReadFile(err);
  }
}

TEST_F(PlayTest, AMinigameIsWaitedForAndSkippedByItsButton) {
  WriteUserConfig({kQuickLaunch, kQuickSkip});
  const char* text =
      "wait state LoadingScreen 5\n"
      "wait scene Office 200\n"
      "wait idle 400\n"
      "check probe start\n"
      "wait minigame Probe 40\n"
      "click skip\n"
      "wait frames 25\n"
      "check probe ended\n"
      "expect Missions/Minigames/Probe/Win 1\n"
      "check session leave mainmenu\n"
      "wait state RootMenu 20\n";
  std::vector<st_PlayStep> steps;
  std::string error;
  ASSERT_TRUE(ReadPlayScript(text, std::strlen(text), "probe", steps, &error)) << error;
  cl_PlayDriver driver(std::move(steps), QUILLANE_TEST_DIR "/golden");
  // "probe start": the probe game registered in the running session, its data file built and the
  // game started as a script would; "probe ended": the manager holds no game again.
  driver.AddCheck("probe", [](const std::string& argument, std::string* why) {
    quillane::cl_Session* session = quillane::GetSession();
    quillane::cl_MinigameManager* games = session ? session->GetMinigameManager() : nullptr;
    if (!games) {
      *why = "no game runs";
      return false;
    }
    if (argument == "start") {
      games->Register("Probe", "probe.dat", &minigametest::cl_ProbeGame::Make);
      games->CompileMissing();
      if (games->Start("Probe", nullptr, false)) return true;
      *why = "the manager refused the probe game";
      return false;
    }
    if (argument == "ended" && !games->IsRunning()) return true;
    *why = games->IsRunning() ? "a mini-game still runs" : "unknown probe check " + argument;
    return false;
  });
  st_StartOptions options = Options();
  options.driver = &driver;
  EXPECT_EQ(Run(options), 0);
  EXPECT_TRUE(driver.Finished()) << driver.GetFailure();
  EXPECT_EQ(Log().find("ERROR:"), std::string::npos) << Log();
}

// What a modder's scripts meet in the game at the default warning level: Odo's dialog script
// keeps an idle remark on a timer, said three times in 15 s of play (it was said once, then not
// for a day); a dialog script without an "end" and a scene script with an unclosed parenthesis
// are named in the log with the line and the cause.
TEST_F(PlayTest, ATimedRemarkIsSaidEveryFewSecondsAndBrokenScriptsAreNamedWithTheirLineAndCause) {
  WriteUserConfig({kQuickLaunch});
  std::ofstream(m_dir / "data/Scripts/Dialogs/Odo.lua", std::ios::app)
      << "\nlocal remarks = 0\n"
         "function CharacterTimer()\n"
         "  Says(\"Odo\", \"#odo9_1 Quiet night.\", \"TIME\", 1)\n"
         "  remarks = remarks + 1\n"
         "  SetValue(\"Odo/Remarks\", remarks)\n"
         "  return 4\n"
         "end\n";
  std::ofstream(m_dir / "data/Scripts/Dialogs/Quillane.lua") << "function CharacterTimer()\n"
                                                                "  if GetValue(\"Bored\") == 1 then\n"
                                                                "    Says(\"Quillane\", \"Hm.\")\n"
                                                                "  return 4\n"
                                                                "end\n";
  std::ofstream(m_dir / "data/Scripts/Scenes/Quay.lua") << "function PrepareScene(\n"
                                                           "  AddCharacter(\"Quillane\", \"quillane\", \"entry\")\n"
                                                           "end\n";
  // Lines of a second, 4 s apart: said when the Office is shown, 5 s and 10 s later.
  const char* text =
      "wait state LoadingScreen 5\n"
      "wait scene Office 200\n"
      "wait frames 150\n"
      "expect Missions/Odo/Remarks 3\n"
      "wait idle 400\n"
      "check session give T1_Pass\n"
      "check session trigger door\n"
      "wait scene Quay 200\n"
      "check session leave mainmenu\n"
      "wait state RootMenu 20\n";
  std::vector<st_PlayStep> steps;
  std::string error;
  ASSERT_TRUE(ReadPlayScript(text, std::strlen(text), "modder", steps, &error)) << error;
  cl_PlayDriver driver(std::move(steps), QUILLANE_TEST_DIR "/golden");
  st_StartOptions options = Options();
  options.driver = &driver;
  EXPECT_EQ(Run(options), 0);
  EXPECT_TRUE(driver.Finished()) << driver.GetFailure();
  const std::string log = Log();
  const char* named[] = {
      "ERROR: script Scripts/Dialogs/Quillane.lua does not compile: Scripts/Dialogs/Quillane.lua(1) : missing 'end': "
      "the 'function' begun here is not closed",
      "ERROR: script Scripts/Scenes/Quay.lua does not compile: Scripts/Scenes/Quay.lua(1) : unclosed parenthesis: the "
      "'(' here has no ')'",
  };
  for (const char* line : named) {
    const size_t at = log.find(line);
    EXPECT_NE(at, std::string::npos) << line << "\n" << log;
    EXPECT_EQ(log.find(line, at + 1), std::string::npos) << "named once: " << line;
  }
}

// With Debug_ConnectAID the start-up connects to a front-end on this machine and every log line
// from then on reaches its "LOGGER" channel.
TEST_F(PlayTest, TheDebuggerFrontEndReceivesTheStartUpLog) {
  WriteUserConfig({{"Debug_ConnectAID=\"0\"", "Debug_ConnectAID=\"1\""}});
  aidtest::TestPeer peer;
  ASSERT_TRUE(peer.Open());
  std::atomic<bool> sawRunning{false};
  std::thread frontEnd([&] {
    if (!peer.ReceiveType(AID::kConnectRequest, 20000) || !peer.SendAccept()) return;
    for (int i = 0; i < 2000 && !sawRunning; ++i) {
      auto m = peer.ReceiveType(AID::kText, 20000);
      if (!m) return;
      const std::string payload(reinterpret_cast<const char*>(m->Payload()), m->PayloadLength());
      if (std::string(m->Name1()) == "LOGGER" && payload.find("Running application...") != std::string::npos)
        sawRunning = true;
    }
  });
  st_StartOptions options = Options();
  options.debuggerPort = peer.LinkPort();
  options.frameLimit = 3;
  EXPECT_EQ(Run(options), 0);
  frontEnd.join();
  EXPECT_TRUE(sawRunning) << Log();
}

}  // namespace
}  // namespace playtest
