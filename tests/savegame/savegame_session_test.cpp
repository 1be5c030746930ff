// A running session saved and loaded on the headless platform: the scene, the characters at
// their places with their attachments, the game state, the game time, the order of the
// restoring scripts, a scene script edited before a load, the side file, the thumbnails, damaged
// files and the screenshot names.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "../session/session_fixture.h"
#include "SavegameGenerator.h"
#include "base/File.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/savegame/SavegameImage.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"
#include "sound/FModSoundSystem.h"
#include "sound/Sfx.h"
#include "win32dx9/Services.h"

namespace fs = std::filesystem;

namespace quillane {
namespace {

class SavegameSession : public sessiontest::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped()) return;
    Write("characters/actors.xml",
          "<Characters><Character label=\"female\"/><Character label=\"male\"/>"
          "<Character label=\"quillane\" parent=\"female\"/><Character label=\"odo\" parent=\"male\"/>"
          "<Character label=\"pell\" parent=\"male\"/><Character label=\"mina\" parent=\"female\"/></Characters>");
    Write("Scripts/Scenes/Hall.lua",
          "function PrepareScene()\n  Debugout(\"order: PrepareScene\")\nend\n"
          "function OnAlphaHack()\n  Debugout(\"order: OnAlphaHack\")\nend\n");
    Write("Scenes/Hall/ProjectFile.xml", "<Project name=\"Hall\"/>");
    Write("Scripts/Dialogs/Odo.lua", "function PrepareCharacter()\n  Debugout(\"order: PrepareCharacter\")\nend\n");
    m_userPath = base::sys::GetUserDataPath();
    base::sys::SetUserDataPath(m_dir.string().c_str());
    m_writeXml = Savegame_WriteXML;
    m_readXml = Savegame_ReadXML;
    BeforeStart();
    StartFrame();
    m_session = StartSession();
    ASSERT_NE(m_session, nullptr);
    m_registry = std::make_unique<cl_ActorRegistry>();
    ASSERT_TRUE(m_registry->LoadActorList("characters/actors.xml"));
  }
  // What a fixture adds to the platform before the frame starts.
  virtual void BeforeStart() {}
  void TearDown() override {
    Savegame_WriteXML = m_writeXml;
    Savegame_ReadXML = m_readXml;
    base::sys::SetUserDataPath(m_userPath.c_str());
    SessionTest::TearDown();
    m_registry.reset();
  }

  // The Hall with Quillane (the player, carrying Odo) and Odo, and a game state worth keeping.
  void Populate() {
    m_session->LoadScene("Hall");
    ASSERT_TRUE(StepUntilState("Session"));
    cl_Stage* stage = m_session->GetStage();
    cl_Character* quillane = stage->CreateCharacter("Quillane", "quillane");
    cl_Character* odo = stage->CreateCharacter("Odo", "odo");
    ASSERT_TRUE(quillane && odo);
    base::cl_Locator at;
    at.SetPos(base::tVector3<float>(-200.0f, 0.0f, 150.0f));
    quillane->SetPosition(at);
    at.SetPos(base::tVector3<float>(12.5f, 0.0f, -40.25f));
    odo->SetPosition(at);
    quillane->properties.set_element("Properties");
    base::Variant& hat = quillane->properties.add_element("AttachedObject");
    hat.attribute("character")->set_string("Odo");
    hat.attribute("bone_index")->set_int(4);
    stage->SetPlayerCharacter(quillane);
    base::Variant& state = *m_session->GetGameState();
    state.set_element("GameState");
    base::Variant& missions = state.add_element("Missions");
    missions.attribute("GameTime")->set_float(0.0f);
    missions.attribute("OdoQuest")->set_int(12);  // a diary entry id under its script key
    base::Variant& token = state.add_element("Inventory").add_element("Items").add_element("Token");
    token.attribute("label")->set_string("ticket");
    token.attribute("cnt")->set_int(1);
    base::Variant& tip = state.add_element("Tooltips").add_element("Tooltip");
    tip.attribute("label")->set_string("door");
    tip.attribute("text")->set_string("#office_door");
    state.add_element("Scenes").add_element("Hall").add_element("Hotspots").attribute("drawer")->set_int(0);
    for (int i = 0; i < 7; ++i) Step();  // some game time
  }
  std::string Slot(const char* name) const { return (m_dir / "Savegames" / name).string(); }
  static std::string TreeBytes(const base::Variant& tree) {
    base::File out("tree.bin", base::File::STATUS_WRITE);
    tree.Write(&out);
    out.close();
    const std::vector<uint8_t> b = savegen::ReadFile("tree.bin");
    return std::string(b.begin(), b.end());
  }
  std::string StageBytes() const {
    {
      base::File out("stage.bin", base::File::STATUS_WRITE);
      m_session->GetStage()->WriteState(out);
      out.close();
    }
    const std::vector<uint8_t> b = savegen::ReadFile("stage.bin");
    return std::string(b.begin(), b.end());
  }

  std::unique_ptr<cl_ActorRegistry> m_registry;
  cl_Session* m_session = nullptr;
  std::string m_userPath;
  bool m_writeXml = false, m_readXml = false;
};

TEST_F(SavegameSession, ALoadBringsBackTheSavedGame) {
  Populate();
  fs::create_directories(m_dir / "Savegames");
  const float savedTime = m_session->GetGameTime();
  ASSERT_GT(savedTime, 0.0f);
  const base::Variant saved = *m_session->GetGameState();
  ASSERT_TRUE(m_session->SaveGame(Slot("slot001.sav").c_str(), base::tString<base::BaseUnicodeString>(), nullptr));

  // Play on elsewhere: another scene, no one on stage, a changed state.
  m_session->LoadScene("Cellar");
  ASSERT_TRUE(StepUntilState("Session"));
  m_session->GetGameState()->set_element("GameState");
  for (int i = 0; i < 5; ++i) Step();

  const size_t logBefore = Log().size();
  ASSERT_TRUE(m_session->LoadGame(Slot("slot001.sav").c_str()));
  ASSERT_TRUE(StepUntilState("Session"));
  for (int i = 0; i < 3; ++i) Step();
  cl_Stage* stage = m_session->GetStage();
  ASSERT_NE(stage, nullptr);
  ASSERT_NE(stage->GetScene(), nullptr);
  EXPECT_STREQ(stage->GetScene()->GetName().c_str(), "Hall");
  cl_Character* quillane = stage->GetCharacter("Quillane");
  cl_Character* odo = stage->GetCharacter("Odo");
  ASSERT_TRUE(quillane && odo);
  EXPECT_EQ(stage->GetPlayerCharacter(), quillane);
  EXPECT_FLOAT_EQ(quillane->locator.GetPos().x, -200.0f);
  EXPECT_FLOAT_EQ(odo->locator.GetPos().z, -40.25f);
  ASSERT_EQ(quillane->attachments.size(), 1u);
  EXPECT_STREQ(quillane->attachments.front().name.c_str(), "Odo");
  EXPECT_NEAR(m_session->GetGameTime(), savedTime, 0.35f);
  const base::Variant& state = *m_session->GetGameState();
  for (const char* path : {"Inventory/Items/Token", "Tooltips/Tooltip"}) {
    ASSERT_NE(state(path), nullptr) << path;
    EXPECT_EQ(TreeBytes(*state(path)), TreeBytes(*saved(path))) << path;
  }
  EXPECT_EQ(base::get_int(state("Missions")->get_attribute("OdoQuest")), 12);
  EXPECT_EQ(base::get_int(state("Scenes/Hall/Hotspots")->get_attribute("drawer")), 0);
  ASSERT_NE(state("Scenes/Hall/Hotspots")->get_attribute("drawer"), nullptr);
  std::vector<std::string> order;
  std::istringstream log(Log().substr(logBefore));
  for (std::string line; std::getline(log, line);)
    if (line.rfind("order: ", 0) == 0) order.push_back(line.substr(7));
  EXPECT_EQ(order, (std::vector<std::string>{"PrepareScene", "PrepareCharacter", "OnAlphaHack"}));

  // Saved again at once, and once more after another load: the game-state and stage sections
  // are the same bytes. (A diary that was never opened gains its root id at the first load, so
  // that element settles only from the second save on.)
  ASSERT_TRUE(m_session->SaveGame(Slot("slot002.sav").c_str(), u"", nullptr));
  ASSERT_TRUE(m_session->LoadGame(Slot("slot002.sav").c_str()));
  ASSERT_TRUE(StepUntilState("Session"));
  ASSERT_TRUE(m_session->SaveGame(Slot("slot003.sav").c_str(), u"", nullptr));
  st_SavegameImage images[3];
  for (int i = 0; i < 3; ++i) {
    const std::string slot = "slot00" + std::to_string(i + 1) + ".sav";
    ASSERT_TRUE(ReadSavegameFile(Slot(slot.c_str()).c_str(), images[i]));
    EXPECT_EQ(images[i].head.m_name.size(), 0);
    images[i].gameState.get_element("Missions")->attribute("GameTime")->set_float(0.0f);
    if (base::Variant* debug = images[i].gameState.get_element("Debug")) debug->set_element("Debug");
  }
  EXPECT_EQ(TreeBytes(images[1].gameState), TreeBytes(images[2].gameState));
  images[0].gameState.get_element("Diary")->set_element("Diary");
  images[1].gameState.get_element("Diary")->set_element("Diary");
  EXPECT_EQ(TreeBytes(images[0].gameState), TreeBytes(images[1].gameState));
  for (int i = 1; i < 3; ++i) {
    EXPECT_STREQ(images[0].sceneName.c_str(), images[i].sceneName.c_str());
    EXPECT_EQ(images[0].stageBlock, images[i].stageBlock);
  }
}

TEST_F(SavegameSession, DamagedFilesLeaveTheRunningGameAlone) {
  Populate();
  const std::string tree = TreeBytes(*m_session->GetGameState());
  const std::string stage = StageBytes();
  const cl_Stage* stagePointer = m_session->GetStage();
  const int loads = m_session->GetSceneLoadCount();
  const savegen::st_Savegame valid = savegen::Generate();
  for (const savegen::st_Damaged& damaged : savegen::DamagedCases(valid)) {
    SCOPED_TRACE(damaged.what);
    savegen::WriteFile("damaged.sav", damaged.bytes);
    EXPECT_FALSE(m_session->LoadGame("damaged.sav"));
  }
  EXPECT_FALSE(m_session->LoadGame("missing.sav"));
  EXPECT_EQ(StateName(), "Session");
  EXPECT_EQ(m_session->GetStage(), stagePointer);
  EXPECT_EQ(m_session->GetSceneLoadCount(), loads);
  EXPECT_EQ(TreeBytes(*m_session->GetGameState()), tree);
  EXPECT_EQ(StageBytes(), stage);
}

// A whole save of a scene the game no longer has (its project gone, a folder or a FIFO in its
// place) would strand the player in an empty scene: refused, naming the save and the scene.
TEST_F(SavegameSession, ASaveOfASceneTheGameLacksIsRefused) {
  Populate();
  ASSERT_TRUE(m_session->SaveGame("hall.sav", u"hall", nullptr));
  const cl_Stage* stagePointer = m_session->GetStage();
  const int loads = m_session->GetSceneLoadCount();
  const fs::path project = m_dir / "Scenes/Hall/ProjectFile.xml";
  for (const char* kind : {"missing", "folder", "fifo"}) {
    SCOPED_TRACE(kind);
    fs::remove_all(project);
    if (std::strcmp(kind, "folder") == 0) fs::create_directories(project);
    if (std::strcmp(kind, "fifo") == 0) {
      ASSERT_EQ(mkfifo(project.c_str(), 0600), 0);
    }
    const size_t before = Log().size();
    EXPECT_FALSE(m_session->LoadGame("hall.sav"));
    EXPECT_NE(Log().find("ERROR: savegame 'hall.sav': scene 'Hall'", before), std::string::npos);
  }
  EXPECT_EQ(StateName(), "Session");
  EXPECT_EQ(m_session->GetStage(), stagePointer);
  EXPECT_EQ(m_session->GetSceneLoadCount(), loads);
}

// The modder edits a scene script while the program runs: the next load, and the next new game,
// run what the file says now; a script left alone is not compiled again.
TEST_F(SavegameSession, ALoadAndANewGameReadAChangedSceneScriptAnew) {
  Populate();
  ASSERT_TRUE(m_session->SaveGame("hall.sav", u"hall", nullptr));
  const fs::path script = m_dir / "Scripts/Scenes/Hall.lua";
  auto edit = [&](const std::string& word) {
    const fs::file_time_type before = fs::last_write_time(script);
    Write("Scripts/Scenes/Hall.lua", "function PrepareScene()\n  Debugout(\"order: " + word + "\")\nend\n");
    fs::last_write_time(script, before + std::chrono::seconds(1));  // a coarse clock may not have ticked
  };
  edit("edited");
  ASSERT_TRUE(m_session->LoadGame("hall.sav"));
  ASSERT_TRUE(StepUntilState("Session"));
  auto said = [&](const std::string& word) {
    const std::vector<std::string> lines = LinesAfter("order: ");
    return std::count(lines.begin(), lines.end(), word);
  };
  EXPECT_EQ(said("edited"), 1);
  EXPECT_EQ(LinesAfter("Scripts: "), std::vector<std::string>{"1 changed script file read anew"});

  edit("edited again");
  ASSERT_TRUE(m_session->NewGame());
  m_session->LoadScene("Hall");
  ASSERT_TRUE(StepUntilState("Session"));
  EXPECT_EQ(said("edited again"), 1);
  EXPECT_EQ(LinesAfter("Scripts: ").size(), 2u) << "the dialog script was not changed";

  // Saved as UTF-16 between the save and its load: the room goes without its script, and the log
  // says why at the default warning level.
  Debug_ScriptWarningLevel = 0;  // the fixture's own level comes back after the test
  const fs::file_time_type before = fs::last_write_time(script);
  Write("Scripts/Scenes/Hall.lua", std::string("\xFF\xFE" "f\0u\0n\0", 8));
  fs::last_write_time(script, before + std::chrono::seconds(1));
  ASSERT_TRUE(m_session->LoadGame("hall.sav"));
  ASSERT_TRUE(StepUntilState("Session"));
  const std::string refused = "ERROR: script Scripts/Scenes/Hall.lua cannot be read: not UTF-8 (the text is UTF-16";
  const size_t at = Log().find(refused);
  EXPECT_NE(at, std::string::npos) << Log();
  EXPECT_EQ(Log().find(refused, at + 1), std::string::npos) << "once for this version of the file";
}

TEST_F(SavegameSession, TheSideFileFollowsItsSwitches) {
  Populate();
  Savegame_WriteXML = false;
  ASSERT_TRUE(m_session->SaveGame("off.sav", u"off", nullptr));
  EXPECT_FALSE(fs::exists("off.xml"));
  Savegame_WriteXML = true;
  ASSERT_TRUE(m_session->SaveGame("on.sav", u"on", nullptr));
  ASSERT_TRUE(fs::exists("on.xml"));
  base::Variant side;
  ASSERT_TRUE(base::xml::read_file(side, "on.xml"));
  EXPECT_EQ(base::get_int(side("Missions")->get_attribute("OdoQuest")), 12);

  // Edited by hand and read back on load.
  side("Missions")->attribute("OdoQuest")->set_int(99);
  ASSERT_TRUE(base::xml::write_file(side, "on.xml"));
  Savegame_ReadXML = true;
  ASSERT_TRUE(m_session->LoadGame("on.sav"));
  ASSERT_TRUE(StepUntilState("Session"));
  EXPECT_EQ(base::get_int((*m_session->GetGameState())("Missions")->get_attribute("OdoQuest")), 99);
}

TEST_F(SavegameSession, ThumbnailsComeFromTheCapturedPictureGreyFirst) {
  Populate();
  ASSERT_TRUE(m_session->SaveGame("before.sav", u"before", nullptr));
  st_SavegameImage image;
  ASSERT_TRUE(ReadSavegameFile("before.sav", image));
  EXPECT_TRUE(image.head.m_grey.IsEmpty() && image.head.m_colour.IsEmpty() && image.head.m_preview.IsEmpty());

  Step();
  m_session->CaptureScreenshot();
  const base::cl_Bitmap32& picture = m_session->GetGamePicture();
  ASSERT_EQ(picture.Width(), 512);
  ASSERT_TRUE(m_session->SaveGame("after.sav", u"after", nullptr));
  ASSERT_TRUE(ReadSavegameFile("after.sav", image));
  base::cl_Bitmap32 grey, colour;
  MakeSavegameThumbnails(picture, grey, colour);
  ASSERT_EQ(image.head.m_grey.Width(), 64);
  EXPECT_EQ(0, std::memcmp(image.head.m_grey.GetPixels(), grey.GetPixels(), 64 * 64 * 4));
  EXPECT_EQ(0, std::memcmp(image.head.m_colour.GetPixels(), colour.GetPixels(), 64 * 64 * 4));
  EXPECT_EQ(0, std::memcmp(image.head.m_preview.GetPixels(), picture.GetPixels(), 512 * 320 * 4));
}

// The platform makes the sound system; the test mixes nothing, so no device is opened.
void (*g_createSound)() = nullptr;
void CreatePulledSound() {
  g_createSound();
  if (sfx::cl_FModSoundSystem* sound = sfx::GetSoundSystem()) sound->SetOutput(platform::audio::Output::Pull);
}

class SavegameSessionSound : public SavegameSession {
 protected:
  void BeforeStart() override {
    sfx::RegisterSoundSystem();
    g_createSound = win32dx9::SoundServices().Create;
    win32dx9::SoundServices().Create = &CreatePulledSound;
  }
  void TearDown() override {
    SavegameSession::TearDown();
    win32dx9::SoundServices() = win32dx9::st_SoundServices();
  }
};

// The demo's Quay with its pumps mended, saved, and the save loaded on the Quay itself: the load
// fades the running game's sounds out while the scene it restores starts its own, and the pumps
// go on thumping once the fade is over, as they do when the save is loaded from the menu.
TEST_F(SavegameSessionSound, AQuaySavedWithThePumpsRunningAndLoadedOnTheQuayKeepsThem) {
  const fs::path data = QUILLANE_DATA_DIR;
  for (const char* file : {"Scripts/Scenes/Quay.lua", "Scenes/Quay/ProjectFile.xml", "sfx/pumps.ogg", "sfx/water.ogg"}) {
    fs::create_directories((m_dir / file).parent_path());
    fs::copy_file(data / file, m_dir / file, fs::copy_options::overwrite_existing);
  }
  base::Variant& state = *m_session->GetGameState();
  state.set_element("GameState");
  state.add_element("Missions").add_element("Minigames").add_element("Sabotage").attribute("Win")->set_int(1);
  m_session->LoadScene("Quay");
  ASSERT_TRUE(StepUntilState("Session"));
  ASSERT_TRUE(sfx::IsSoundPlaying("quay_pumps")) << Log();
  ASSERT_TRUE(m_session->SaveGame("quay.sav", u"quay", nullptr));

  ASSERT_TRUE(m_session->LoadGame("quay.sav"));
  ASSERT_TRUE(StepUntilState("Session"));
  for (int i = 0; i < 20; ++i) {  // well past the load's fade of the old game's sounds
    Step();
    sfx::Update(0.1f);  // the platform's loop updates the sounds after each frame
  }
  EXPECT_TRUE(sfx::IsSoundPlaying("quay_pumps"));
  EXPECT_TRUE(sfx::IsSoundPlaying("quay_water"));
}

TEST_F(SavegameSession, ScreenshotsGoOnPastAThousandAndNeverOverwrite) {
  const fs::path folder = m_dir / "Screenshots";
  fs::create_directories(folder);
  for (int i = 0; i < 1000; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "quillane_%03d.bmp", i);
    std::ofstream(folder / name) << i;
  }
  Step();
  ASSERT_TRUE(m_session->SaveScreenshot());
  ASSERT_TRUE(m_session->SaveScreenshot());
  EXPECT_TRUE(fs::exists(folder / "quillane_1000.bmp"));
  EXPECT_TRUE(fs::exists(folder / "quillane_1001.bmp"));
  EXPECT_GT(fs::file_size(folder / "quillane_1000.bmp"), 54u);
  std::ifstream first(folder / "quillane_000.bmp");
  std::string text;
  first >> text;
  EXPECT_EQ(text, "0");
}

// Screenshots that cannot be written (here the folder is a file, as good as a full disk) leave
// their numbers free: the next one written takes the number after the last one written.
TEST_F(SavegameSession, AFailedScreenshotLeavesItsNumberFree) {
  const fs::path folder = m_dir / "Screenshots";
  Step();
  ASSERT_TRUE(m_session->SaveScreenshot());
  std::vector<fs::path> written{fs::directory_iterator(folder), fs::directory_iterator()};
  ASSERT_EQ(written.size(), 1u);
  fs::rename(folder, m_dir / "kept");
  std::ofstream(folder) << "full";
  EXPECT_FALSE(m_session->SaveScreenshot());
  EXPECT_FALSE(m_session->SaveScreenshot());
  fs::remove(folder);
  fs::rename(m_dir / "kept", folder);
  ASSERT_TRUE(m_session->SaveScreenshot());
  // quillane_NNN.bmp: the number after the first picture's.
  const std::string first = written[0].filename().string();
  const int number = std::stoi(first.substr(9, first.size() - 13));
  char next[32];
  std::snprintf(next, sizeof(next), "quillane_%03d.bmp", number + 1);
  EXPECT_TRUE(fs::exists(folder / next)) << "after " << first;
}

}  // namespace
}  // namespace quillane
