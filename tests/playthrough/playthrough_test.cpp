// The demo played through the program's entry routine, headless, on a copy of the demo data: a
// table of roads, each the steps of a .play file with the checks only the test can make, and the
// start-up log reaching a script-debugger front-end.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <sstream>
#include <cmath>
#include <string>
#include <thread>

#include "SavegameGenerator.h"
#include "aid_test_peer.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "platform/gpu/Device.h"
#include "playthrough_support.h"
#include "probe_game.h"
#include "quillane/app/PlayDriver.h"
#include "quillane/character/Character.h"
#include "quillane/character/FacialCtrl.h"
#include "quillane/character/LipsyncCtrl.h"
#include "quillane/diary/Diary.h"
#include "quillane/frame/CustomQuit.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/frame/LoadingScreen.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/menu/RootMenu.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/savegame/SavegameImage.h"
#include "quillane/scene/Scene.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/session/InventoryTokens.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/video/VideoController.h"
#include "scene_checks.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace playtest {
namespace {

// The last frame's pixels against the bar drawn alone on black with the progress bar's rule, at
// the place and value given: at most 1 % of the bar's pixels off by more than 24.
bool BarMatchesReference(const float rect[4], float value, std::string* why) {
  win32dx9::cl_DX9GraphicsDevice* graphics = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  std::vector<uint32_t> shown;
  uint32_t width = 0, height = 0;
  if (!graphics || graphics->GetDevice()->ReadScreen(&shown, &width, &height) != gpu::kOk) {
    *why = "the screen cannot be read";
    return false;
  }
  if (!graphics->BeginFrame()) {
    *why = "no frame for the reference";
    return false;
  }
  gfx::ClearScreen(0);
  gfx::Begin2D();
  DrawHBar(base::tRectf(rect[0], rect[1], rect[2], rect[3]), value, cl_LoadingScreen::kBarColour);
  std::vector<uint32_t> reference =
      testsupport::ReadBackBuffer(0, 0, static_cast<int>(width), static_cast<int>(height), false);
  reference.resize(shown.size());
  graphics->EndFrame();
  int far = 0, count = 0, lit = 0;
  for (int y = static_cast<int>(rect[1]); y < static_cast<int>(rect[1]) + 32; ++y)
    for (int x = static_cast<int>(rect[0]) - 16; x < static_cast<int>(rect[2]) + 16; ++x) {
      const uint32_t a = shown[size_t(y) * width + x], b = reference[size_t(y) * width + x];
      int worst = 0;
      for (int shift : {16, 8, 0}) worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
      far += worst > 24;
      lit += (b & 0xFFFFFF) != 0;
      ++count;
    }
  if (lit < count / 2 || far * 100 > count) {
    *why = std::to_string(far) + " of " + std::to_string(count) + " bar pixels differ from the reference (" +
           std::to_string(lit) + " lit)";
    return false;
  }
  return true;
}

// The bar where the loading screen's rule puts it for the 1024 x 768 window and the picture,
// at done ÷ total, drawn as the progress bar draws.
bool CheckLoadingBar(const std::string&, std::string* why) {
  cl_GameFrame* frame = GetGameFrame();
  cl_LoadingScreen* screen = frame ? frame->GetLoadingScreen() : nullptr;
  if (!screen || std::string(frame->GetStateName()) != "LoadingScreen") {
    *why = "the loading screen is not the state";
    return false;
  }
  float rect[4], value = -1.0f;
  if (!screen->GetLastBar(rect, &value) || !screen->GetImage()) {
    *why = "the last frame shows no bar or no picture";
    return false;
  }
  const float w = static_cast<float>(screen->GetImage()->GetWidth());
  const float h = static_cast<float>(screen->GetImage()->GetHeight());
  const float x = 512.0f - w * 0.5f, y = 384.0f - (h + 32.0f) * 0.5f;  // viewport 0,64 - 1024,704
  const float expected[4] = {x + 16.0f, y + h + 16.0f, x + w - 16.0f, y + h + 32.0f};
  for (int i = 0; i < 4; ++i)
    if (std::fabs(rect[i] - expected[i]) > 1e-3f) {
      *why = "bar edge " + std::to_string(i) + " at " + std::to_string(rect[i]) + ", expected " + std::to_string(expected[i]);
      return false;
    }
  const float done = screen->GetDone() / screen->GetTotal();
  if (std::fabs(value - done) > 1e-5f || value <= 0.0f || value >= 1.0f) {
    *why = "bar value " + std::to_string(value) + " for done/total " + std::to_string(done);
    return false;
  }
  return BarMatchesReference(rect, value, why);
}

bool CheckQuitBox(const std::string& argument, std::string* why) {
  cl_GameFrame* frame = GetGameFrame();
  cl_CustomQuitModule* quit = frame ? frame->GetQuitModule() : nullptr;
  const bool open = quit && quit->IsActive() && quit->GetMessageBox();
  if (open == (argument == "open")) return true;
  *why = std::string("the quit box is ") + (open ? "open" : "closed");
  return false;
}

// The root menu's state: "fade <value>", "theme pending|playing", "box open|closed",
// "credits playing|ended" (while they play, a button's event is refused), "quitting" (the answer
// "Ok" taken, the screen darkening), and "refresh" (a hidden main panel comes back on "Refresh").
bool CheckRootMenu(const std::string& argument, std::string* why) {
  cl_RootMenu* menu = cl_RootMenu::GetInstance();
  if (!menu || std::string(GetGameFrame()->GetStateName()) != "RootMenu") {
    *why = "the root menu is not the state";
    return false;
  }
  const std::string what = argument.substr(0, argument.find(' '));
  const std::string value = argument.find(' ') == std::string::npos ? "" : argument.substr(argument.find(' ') + 1);
  auto expect = [why](bool holds, const std::string& text) {
    if (!holds) *why = text;
    return holds;
  };
  if (what == "fade") {
    const float fade = menu->GetFader().m_value;
    return expect(std::fabs(fade - std::stof(value)) < 1e-3f, "the fade is at " + std::to_string(fade));
  }
  if (what == "theme") return expect(menu->IsThemePending() == (value == "pending"), "the theme is not " + value);
  if (what == "box") return expect((menu->GetQuitBox() != nullptr) == (value == "open"), "the quit box is not " + value);
  if (what == "credits") {
    if (!expect(menu->IsCreditsPlaying() == (value == "playing"), "the credits are not " + value)) return false;
    if (value != "playing") return true;
    base::Variant press;
    press.set_element("ButtonPressed");
    press.attribute("ctrl_label")->set_string("options");
    return expect(!menu->ProcessEvent(press), "a button's event was taken during the credits");
  }
  if (what == "quitting")
    return expect(menu->GetPendingCommand() == "quit" && menu->GetFader().m_state == cl_Fader::STATE_COVERING,
                  "the menu is not darkening towards the end");
  if (what == "refresh") {
    base::cl_Window* main = GetGameFrame()->GetGameGUI()->FindByLabel("MainMenuPanel");
    if (!expect(main != nullptr, "no main menu panel")) return false;
    main->Show(false);
    base::Variant refresh;
    refresh.set_element("Refresh");
    menu->ProcessEvent(refresh);
    return expect(!main->HasFlag(base::WF_HIDDEN) && !main->HasFlag(base::WF_DISABLED),
                  "\"Refresh\" left the main menu hidden");
  }
  *why = "unknown root menu check \"" + argument + "\"";
  return false;
}

// The running game: "bar <start> <end>" (the loading screen's progress range), "black" (the last
// frame is black but for the cursor) or "lit" (it is not), "trigger <object>" (what a click on a
// scene object runs), "dialogue open|closed", "diary open|closed" (shown and done fading in, or
// gone), "still" (the player stands), "video" (a full-screen video plays), "give <token>" (the
// player gets it, as a shortcut past the road), "leave mainmenu" (the game paused and the in-game
// menu's question "back to the main menu?" answered "Ok", as the menu does it).
bool CheckSession(const std::string& argument, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  cl_GameFrame* frame = GetGameFrame();
  std::istringstream words(argument);
  std::string what;
  words >> what;
  if (what == "bar") {
    float start = -1.0f, end = -1.0f;
    words >> start >> end;
    const cl_LoadingScreen* screen = frame ? frame->GetLoadingScreen() : nullptr;
    if (screen && screen->GetProgressStart() == start && screen->GetProgressEnd() == end) return true;
    *why = screen ? "the bar runs from " + std::to_string(screen->GetProgressStart()) + " to " +
                        std::to_string(screen->GetProgressEnd())
                  : "no loading screen";
    return false;
  }
  if (what == "black" || what == "lit") {
    // The mouse cursor may stand anywhere on a black frame.
    const std::vector<uint32_t> shot = cl_PlayDriver::GrabShot();
    const size_t lit = size_t(std::count_if(shot.begin(), shot.end(), [](uint32_t p) { return (p & 0xFFFFFFu) != 0; }));
    if (!shot.empty() && (lit * 100 <= shot.size()) == (what == "black")) return true;
    *why = "the last frame is not " + what + " (" + std::to_string(lit) + " pixels of the shot lit)";
    return false;
  }
  if (!session) {
    *why = "no game runs";
    return false;
  }
  if (what == "trigger") {
    // What a click on a scene object does: the player starts an interaction, its trigger runs.
    std::string object;
    words >> object;
    session->GetActionQueue().AllowSkipAndCancel();
    if (quillane::RunTrigger(base::String(object.c_str()))) return true;
    *why = "the scene has no trigger for " + object;
    return false;
  }
  if (what == "give") {
    std::string token;
    words >> token;
    quillane::AcquireTokenDirect(token.c_str());
    return true;
  }
  if (what == "diary") {
    std::string state;
    words >> state;
    const cl_Diary* diary = session->GetDiary();
    const bool open = diary && diary->IsVisible() && diary->GetFadeState() == cl_Diary::FADE_SHOWN;
    if (open == (state == "open") && (open || !diary || !diary->IsVisible())) return true;
    *why = "the diary is not " + state;
    return false;
  }
  if (what == "still") {
    const quillane::cl_Character* player = session->GetStage() ? session->GetStage()->GetPlayerCharacter() : nullptr;
    if (player && player->state == quillane::cl_MovementCtrl::STATE_IDLE) return true;
    *why = "the player still moves";
    return false;
  }
  if (what == "video") {
    const cl_VideoController* video = cl_VideoController::GetInstance();
    if (video && video->IsPlaying()) return true;
    *why = "no video plays";
    return false;
  }
  if (what == "dialogue") {
    std::string state;
    words >> state;
    if (session->GetDialogCtrl().IsActive() == (state == "open")) return true;
    *why = "the dialogue is not " + state;
    return false;
  }
  if (argument == "leave mainmenu") {
    base::cl_Window* menu = session->GetGameGUI()->FindByLabel("IngameMenuPanel");
    if (!menu) {
      *why = "the session has no in-game menu";
      return false;
    }
    session->SetPaused(true);
    base::Variant answer;
    answer.set_element("MB_mainmenu");
    answer.attribute("ctrl_label")->set_string("Ok");
    menu->ProcessEvent(answer);
    if (session->GetRequest() == "mainmenu" && session->GetFader().m_state == cl_Fader::STATE_COVERING) return true;
    *why = "the in-game menu did not ask to leave";
    return false;
  }
  *why = "unknown session check \"" + argument + "\"";
  return false;
}

// "<speaker>": a spoken line of that character is running and its lip-sync holds the mouth off
// its rest shape.
bool CheckSpeech(const std::string& speaker, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::st_GameAction* action = session ? session->GetActionQueue().GetFirstForegroundAction() : nullptr;
  if (!action || action->m_kind != "speak" || action->m_object != speaker.c_str()) {
    *why = "no line of " + speaker + " runs";
    return false;
  }
  quillane::cl_Character* character = session->GetStage() ? session->GetStage()->GetCharacter(speaker.c_str()) : nullptr;
  quillane::cl_LipsyncCtrl* lips = character && character->facial ? character->facial->lipsync : nullptr;
  if (!lips || !lips->IsActive()) {
    *why = speaker + "'s lips do not move";
    return false;
  }
  const int frame = lips->FindFrame();
  if (frame >= 0 && lips->GetTrack()[static_cast<size_t>(frame)].viseme != 0) return true;
  *why = speaker + "'s mouth is at rest";
  return false;
}

// "<scene> <function> ...": the scene script's own trace lines ("<scene>: <function>") for those
// functions, in that order and each once.
bool CheckCallbacks(const std::string& log, const std::string& argument, std::string* why) {
  std::istringstream words(argument);
  std::string scene, name;
  words >> scene;
  std::vector<std::string> expected, seen;
  while (words >> name) expected.push_back(name);
  std::istringstream lines(log);
  std::string line;
  const std::string prefix = scene + ": ";
  while (std::getline(lines, line))
    if (line.compare(0, prefix.size(), prefix) == 0 &&
        std::find(expected.begin(), expected.end(), line.substr(prefix.size())) != expected.end())
      seen.push_back(line.substr(prefix.size()));
  if (seen == expected) return true;
  *why = "the " + scene + " script's callbacks ran as:";
  for (const std::string& s : seen) *why += " " + s;
  return false;
}

// "<slot> saved": the user's savegame parses, and its side file holds the same "Missions" and
// "Inventory". "<slot> loaded": the running game is in the saved scene with the saved "Missions"
// (but the game time) and "Inventory", and the player stands within 5 units of the saved place.
bool SameElements(const base::Variant& one, const base::Variant& other, const char* what, std::string* why) {
  for (const char* element : {"Missions", "Inventory"}) {
    base::Variant a, b;
    if (one.get_element(element)) a.copy(*one.get_element(element));
    if (other.get_element(element)) b.copy(*other.get_element(element));
    for (base::Variant* tree : {&a, &b}) {
      if (tree->is_element() && tree->get_attribute("GameTime")) tree->attribute("GameTime")->set_float(0.0f);
      tree->number_to_text();  // a side file's numbers come back as the text it holds
    }
    if (!base::variant_equal(a, b)) {
      *why = std::string("the ") + element + " differ from " + what;
      return false;
    }
  }
  return true;
}

bool CheckSavegame(const std::string& argument, std::string* why) {
  std::istringstream words(argument);
  std::string slot, what;
  words >> slot >> what;
  const std::string path = std::string(base::sys::GetUserDataPath().c_str()) + "/Savegames/" + slot;
  quillane::st_SavegameImage image;
  if (!quillane::ReadSavegameFile((path + ".sav").c_str(), image)) {
    *why = "no readable " + path + ".sav";
    return false;
  }
  if (what == "saved") {
    base::Variant side;
    if (base::xml::read_file(side, (path + ".xml").c_str())) return SameElements(image.gameState, side, "the side file's", why);
    *why = "no side file beside " + path + ".sav";
    return false;
  }
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_Scene* scene = session ? session->GetScene() : nullptr;
  if (!scene || std::string(scene->GetName().c_str()) != image.sceneName.c_str()) {
    *why = std::string("the game is not in the saved scene ") + image.sceneName.c_str();
    return false;
  }
  if (!SameElements(*session->GetGameState(), image.gameState, "the saved ones", why)) return false;
  const quillane::cl_Character* player = session->GetStage()->GetPlayerCharacter();
  for (const quillane::st_SavegameCharacter& c : image.characters) {
    if (!player || c.name != player->name) continue;
    const base::tVector3<float>& p = player->locator.GetPos();
    const float d = std::hypot(p.x - c.position[0], p.y - c.position[1], p.z - c.position[2]);
    if (d <= 5.0f) return true;
    *why = "the player stands " + std::to_string(d) + " units from the saved place";
    return false;
  }
  *why = "the saved player is not the game's player";
  return false;
}

// "probe start": the tests' probe game registered in the running session, its data file built
// and the game started as a script would; "probe ended": the manager holds no game again.
bool CheckProbe(const std::string& argument, std::string* why) {
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
}

// A road of the demo: its steps in a .play file beside this test, the edits of the bundled
// config.xml it runs with, and what its log must and must not hold at the end.
struct st_Road {
  const char* name;  // the test's name
  const char* file;  // the .play file
  std::vector<std::pair<std::string, std::string>> config;
  std::vector<std::string> logHas, logLacks;
  bool generatedSave = false;  // the user's "Savegames/slot001.sav" is a generated save in the Office
  int frameBudget = 1500;      // the whole road's frames at 0.1 s a frame
};

// A road shows in test lists by its file.
void PrintTo(const st_Road& road, std::ostream* out) { *out << road.file; }

using tEdit = std::pair<std::string, std::string>;
const tEdit kQuickLaunch{"<DevTools ShowIntroMovies=\"1\"/>", "<DevTools ShowIntroMovies=\"1\" QuickLaunch=\"game\"/>"};
const tEdit kKeysOff{"Debug_KeysEnabled=\"1\"", "Debug_KeysEnabled=\"0\""};
const tEdit kSideFile{"Savegame_WriteXML=\"0\"", "Savegame_WriteXML=\"1\""};
// The scene scripts' own lines reach the log, so the road can check what they did.
const tEdit kScriptLines{"Debug_ScriptWarningLevel=\"0\"", "Debug_ScriptWarningLevel=\"1\""};
// Each game the story starts counts as won at once (the demo plays them).
const tEdit kMinigamesOff{"<Debug NoMinigames=\"0\"/>", "<Debug NoMinigames=\"1\"/>"};
// The skip button shows after a tenth of a second.
const tEdit kSkipButton{"<AutoFadeInterface", "<MinigamesPanicButton Value=\"1\"/><AutoFadeInterface"};

const st_Road kRoads[] = {
    // The intro, the loading bar, the root menu and its roads, a new game played by keys and
    // clicks in the Office, and the quit boxes: the menu's own question cancelled, the window's
    // close ending the program. The shelf's game is real and skipped.
    {"TheStartUpRoadRunsFromTheIntroThroughTheRootMenuToItsExit",
     "mainroad.play",
     {kKeysOff, kSideFile, kScriptLines, kSkipButton},
     {"Quit cancelled", "Session: back to the main menu", "Quit confirmed"},
     {}},
    // QuickLaunch "game" into the Office and on to the Quay: the bar's two ranges, the black
    // first frame, the scene scripts' callbacks in order, the tokens' road to the door, a save and
    // its load on the Quay, and the way back to the menu. The Office's mini-games count as won.
    {"QuickLaunchGameEntersTheOfficeAndTheQuay",
     "quicklaunch.play",
     {kQuickLaunch,
      kMinigamesOff,
      kScriptLines,
      kSideFile,
      kKeysOff},
     {"campaign: Startup"},
     {}},
    // A game started in the Office is waited for by name and skipped with its button: a win.
    {"AMinigameIsWaitedForAndSkippedByItsButton",
     "minigame.play",
     {kQuickLaunch, kSkipButton, kKeysOff},
     {},
     {}},
    // Every game of the story started where the story starts it and skipped with its button
    // (Sabotage after its question), each a win; the story goes on to its end.
    {"EveryGameOfTheStoryIsSkippedOnTheWayToTheEnd",
     "games_skipped.play",
     {kQuickLaunch, kSkipButton, kKeysOff},
     {"Compile Wiretap Minigame",
      "Compile Sabotage Minigame",
      "Compile FloorLights Minigame",
      "Compile Dance Minigame"},
     {"Minigame Error"},
     false,
     2500},
    // Every game of the story won by clicks on what it shows, as a player would.
    {"EveryGameOfTheStoryIsWonOnTheWayToTheEnd",
     "games_won.play",
     {kQuickLaunch, kKeysOff},
     {},
     {"Minigame Error"},
     false,
     3000},
    // Every hotspot of the Office and the Quay has its caption and tooltip and answers a click: a
    // line, a mini-game (skipped) or another scene; the gangway's game leads to the game's end.
    {"EveryHotspotOfBothScenesIsCaptionedAndAnswersAClick",
     "hotspots.play",
     {kQuickLaunch, kSkipButton, kKeysOff},
     {},
     {"Minigame Error"}},
    // A save in the Office and its load from the Quay, with the side file written.
    {"ASaveLoadsBackFromAnotherScene", "savegame.play", {kQuickLaunch, kKeysOff, kSideFile}, {}, {}},
    // QuickLaunch with DevTools "Savegame" starts from that save instead of a new game.
    {"QuickLaunchStartsFromTheNamedSavegame",
     "quickload.play",
     {{"<DevTools ShowIntroMovies=\"1\"/>",
       "<DevTools ShowIntroMovies=\"1\" QuickLaunch=\"game\" Savegame=\"slot001.sav\"/>"},
      kKeysOff},
     {},
     {"campaign: Startup"},
     true},
};

class PlayThrough : public PlayTest {
 protected:
  // Runs the steps of the file with every check of this program; the run must end cleanly within
  // the frame budget and log no error. Returns the log.
  std::string Play(const std::string& file, int frameBudget = 1500) {
    std::vector<st_PlayStep> steps;
    std::string error;
    EXPECT_TRUE(LoadPlayScript(file.c_str(), steps, &error)) << error;
    cl_PlayDriver driver(std::move(steps), QUILLANE_TEST_DIR "/golden");
    driver.AddCheck("loadingbar", CheckLoadingBar);
    driver.AddCheck("quitbox", CheckQuitBox);
    driver.AddCheck("rootmenu", CheckRootMenu);
    driver.AddCheck("session", CheckSession);
    driver.AddCheck("probe", CheckProbe);
    driver.AddCheck("speech", CheckSpeech);
    driver.AddCheck("savegame", CheckSavegame);
    driver.AddCheck("picture", CheckPicture);
    driver.AddCheck("answered", [this](const std::string& argument, std::string* why) {
      return m_answers.Answered(argument, why);
    });
    driver.AddCheck("hotspots", [this](const std::string& argument, std::string* why) {
      return m_answers.Hotspots(argument, why);
    });
    driver.AddCheck("callbacks",
                    [this](const std::string& argument, std::string* why) { return CheckCallbacks(Log(), argument, why); });
    driver.AddCheck("log", [this](const std::string& argument, std::string* why) {
      if (Log().find(argument) != std::string::npos) return true;
      *why = "the log has no \"" + argument + "\"";
      return false;
    });
    st_StartOptions options = Options();
    options.driver = &driver;
    EXPECT_EQ(Run(options), 0);
    EXPECT_TRUE(driver.Finished()) << driver.GetFailure();
    EXPECT_LT(driver.GetFrames(), frameBudget);
    const std::string log = Log();
    EXPECT_EQ(log.find("ERROR:"), std::string::npos) << log;
    return log;
  }

  cl_AnswerLog m_answers;
};

class Roads : public PlayThrough, public ::testing::WithParamInterface<st_Road> {};

TEST_P(Roads, RunToTheirEnd) {
  const st_Road& road = GetParam();
  if (road.generatedSave) {
    savegen::st_Plan plan;
    plan.characters = {{"Quillane", "quillane", {0, 0, 0, 1}, {0.0f, 0.0f, 0.0f}}};
    std::filesystem::create_directories(m_dir / "user" / "Savegames");
    savegen::WriteFile((m_dir / "user" / "Savegames" / "slot001.sav").string(), savegen::Generate(plan).bytes);
  }
  WriteUserConfig(road.config);
  const std::string log = Play(std::string(QUILLANE_TEST_DIR "/") + road.file, road.frameBudget);
  for (const std::string& line : road.logHas) EXPECT_NE(log.find(line), std::string::npos) << line;
  for (const std::string& line : road.logLacks) EXPECT_EQ(log.find(line), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(PlayThrough, Roads, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<st_Road>& road) { return std::string(road.param.name); });

// With Debug_ConnectAID the start-up connects to a front-end on this machine and every log line
// from then on reaches its "LOGGER" channel.
TEST_F(PlayThrough, TheDebuggerFrontEndReceivesTheStartUpLog) {
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
