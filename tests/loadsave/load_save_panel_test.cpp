// The load/save panel over heads written into a temporary user folder, driven through its
// events and input with a session that records what it is asked to do.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "../menu/MenuFixture.h"
#include "../support/EngineLogCapture.h"
#include "SavegameWriter.h"
#include "base/File.h"
#include "base/app/GameFrame.h"
#include "base/app/KeyCode.h"
#include "base/data/VariantTools.h"
#include "base/text/Textsystem.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/frame/LoadingScreen.h"
#include "quillane/gui/GameControls.h"
#include "quillane/gui/Messagebox.h"
#include "quillane/menu/GameMenu.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/menu/RootMenu.h"
#include "quillane/menu/SavegameField.h"
#include "quillane/savegame/SavegameImage.h"
#include "quillane/savegame/StageRecords.h"

namespace menutest {
namespace {

namespace fs = std::filesystem;
constexpr int kWheel = 11;

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; text && *text; ++text) out += static_cast<char>(*text);
  return out;
}

// Records every save and load; a save writes a real head unless told to fail.
class cl_RecordingSession : public base::i_GameSession {
 public:
  bool NewGame() override {
    m_calls.push_back("NewGame");
    return true;
  }
  bool LoadGame(const char* path) override {
    m_calls.push_back("LoadGame " + fs::path(path).filename().string());
    return m_loadWorks;
  }
  bool SaveGame(const char* path, base::tString<base::BaseUnicodeString> name, const base::Variant* header) override {
    const std::string file = fs::path(path).filename().string();
    m_calls.push_back("SaveGame " + file + " " + Narrow(name.c_str()));
    m_headers.emplace_back();
    if (header) m_headers.back().copy(*header);
    if (file != "tmp_save.sav") m_oldFileStoodWhileWriting = fs::exists(m_watch);
    if (!m_saveWorks) return false;
    if (m_writeWhole) {
      // A save of a real size, through the game's writer: its picture alone is 640 KB.
      quillane::st_SavegameImage image;
      image.head.m_name = name;
      image.head.m_preview.Create(512, 320);
      if (header) image.head.m_header.copy(*header);
      image.gameState.set_element("GameState");
      return quillane::WriteSavegameFile(path, image);
    }
    savetest::st_Head head;
    head.name = u"(current)";
    // Through the engine's file, as the game writes it.
    const std::vector<uint8_t> bytes = savetest::HeadBytes(head);
    base::File out(path, base::File::STATUS_WRITE);
    return out.write(bytes.data(), static_cast<int>(bytes.size())) && out.close();
  }
  float GetGameTime() const override { return 125.5f; }
  base::Variant* GetGameState() override { return &m_state; }
  void SetPaused(bool paused) override { m_calls.push_back(paused ? "Pause" : "Unpause"); }

  std::vector<std::string> m_calls;
  std::vector<base::Variant> m_headers;
  base::Variant m_state;
  bool m_saveWorks = true;
  bool m_writeWhole = false;  // saves through the game's writer
  bool m_loadWorks = true;
  fs::path m_watch;  // a file whose presence during a real save is noted
  bool m_oldFileStoodWhileWriting = false;
};

class LoadSavePanelTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    if (IsSkipped()) return;
    AddPicture("loadsave_perga", 256, 512, 0xC8B080);  // the demo's size
    AddPicture("scroll_up", 20, 20, 0x404040);
    AddPicture("scroll_down", 20, 20, 0x404040);
    LoadPictures();
    // The demo game's texts of the panel, in English.
    fs::copy_file(fs::path(QUILLANE_DATA_DIR) / "loca" / "loadsave_English.xml", m_dir / "loca" / "loadsave_English.xml");
    ASSERT_TRUE(base::cl_Textsystem::s_pActiveTextsystem && base::cl_Textsystem::s_pActiveTextsystem->BuildLookup());
    m_folder = m_dir / "Savegames";
  }
  void TearDown() override {
    m_panel = nullptr;
    MenuTest::TearDown();
  }

  void WriteHead(const std::string& file, const savetest::st_Head& head = savetest::st_Head()) {
    savetest::WriteFile((m_folder / file).string(), savetest::HeadBytes(head));
  }
  cl_LoadSavePanel* Open(const char* mode, base::i_GameSession* session) {
    m_panel = cl_LoadSavePanel::Create(m_gui, session);
    m_gui->AddChild(m_panel);
    m_panel->SetFlag(base::WF_DISABLED, false);
    m_panel->Show(true);
    base::Variant event;
    event.set_string(mode);
    EXPECT_TRUE(m_panel->ProcessEvent(event));
    return m_panel;
  }
  std::vector<std::string> RowNames() const {
    std::vector<std::string> names;
    for (const cl_SavegameField* row : m_panel->GetRows()) names.push_back(row->m_FileName.c_str());
    return names;
  }
  bool Press(const char* label) {
    base::Variant event;
    event.set_element("ButtonPressed");
    event.attribute("ctrl_label")->set_string(label);
    return m_panel->ProcessEvent(event);
  }
  // Lets the open boxes fade and answer.
  void Frames(int n = 12) {
    for (int i = 0; i < n; ++i) RenderFrame(0.1f);
    EndFrame();
  }
  // Answers the newest box with Enter, after the name was typed into it when given.
  void AnswerOk(const char16_t* name = nullptr) {
    cl_Messagebox* box = m_panel->GetOpenMessageBox();
    ASSERT_NE(box, nullptr);
    if (name) box->GetEdit()->SetText(name);
    Frames(3);
    PressKey(base::key::Enter);
    Frames();
  }

  fs::path m_folder;
  cl_LoadSavePanel* m_panel = nullptr;  // in the GUI root
};

TEST_F(LoadSavePanelTest, ListsManualSavesFromTheHighestDownThenAutoAndSkipsOddNames) {
  for (const char* file : {"slot001.sav", "auto.sav", "slot010.sav", "slot000.sav", "notes.sav", "slotx1.sav",
                           "tmp_save.sav"})
    WriteHead(file);
  Open("loadgame", nullptr);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"slot010", "slot001", "slot000", "auto"}));
  EXPECT_EQ(m_panel->GetSelected(), 0);
  EXPECT_EQ(fs::path(m_panel->MakeSlotName().c_str()).filename(), "slot011.sav");
  ASSERT_NE(m_panel->FindChild("Load"), nullptr);
  EXPECT_EQ(m_panel->FindChild("Save"), nullptr);
}

// A parchment as tall as its padded picture still ends the list above the row of buttons.
TEST_F(LoadSavePanelTest, TheListEndsAboveTheButtons) {
  Open("savegame", nullptr);
  float listBottom = 0.0f, buttonsTop = 1e9f;
  int buttons = 0;
  for (base::cl_Window* child : m_panel->m_Children) {
    if (dynamic_cast<cl_MainMenuButton*>(child)) {
      buttonsTop = std::min(buttonsTop, child->m_Rect.y);
      ++buttons;
    } else {
      listBottom = std::max(listBottom, child->m_Rect.y + child->m_Rect.h);
    }
  }
  EXPECT_GE(buttons, 2);
  EXPECT_GT(listBottom, cl_LoadSavePanel::kListTop + 6 * cl_LoadSavePanel::kRowPitch);  // six rows show
  EXPECT_LT(listBottom, buttonsTop);
}

TEST_F(LoadSavePanelTest, SlotNumbersReadAllDigitsAndStartAtOne) {
  Open("loadgame", nullptr);
  EXPECT_EQ(fs::path(m_panel->MakeSlotName().c_str()).filename(), "slot001.sav");
  WriteHead("auto.sav");
  m_panel->RefreshList();
  EXPECT_EQ(fs::path(m_panel->MakeSlotName().c_str()).filename(), "slot001.sav");
  WriteHead("slot999.sav");
  WriteHead("slot1000.sav");
  m_panel->RefreshList();
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"slot1000", "slot999", "auto"}));
  EXPECT_EQ(fs::path(m_panel->MakeSlotName().c_str()).filename(), "slot1001.sav");
}

TEST_F(LoadSavePanelTest, SaveModesPutTheCurrentGameFirstAsNewEntry) {
  WriteHead("slot001.sav");
  cl_RecordingSession session;
  session.m_state.set_element("State");
  base::Variant& missions = session.m_state.add_element("Missions");
  missions.attribute("CurrentMission")->set_int(3);
  missions.attribute("Wealth")->set_int(4);
  missions.add_element("Mission4").attribute("Started")->set_int(1);
  Open("savegame", &session);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"tmp_save", "slot001"}));
  EXPECT_EQ(session.m_calls, (std::vector<std::string>{"SaveGame tmp_save.sav New Entry"}));
  EXPECT_EQ(Narrow(m_panel->GetRows()[0]->m_DisplayName.c_str()), "New Entry");
  const base::Variant& header = session.m_headers.at(0);
  EXPECT_STREQ(header.get_label(), "SaveData");
  EXPECT_EQ(base::get_int(header.get_attribute("current_mission")), 3);
  EXPECT_EQ(base::get_int(header.get_attribute("mission4_started")), 1);
  EXPECT_EQ(base::get_int(header.get_attribute("wealth")), 4);
  EXPECT_EQ(base::get_int(header.get_attribute("maxskill")), 0);
  EXPECT_FLOAT_EQ(base::get_float(header.get_attribute("game_time")), 125.5f);
  EXPECT_TRUE(BuildSaveHeader(nullptr).is_void() || !BuildSaveHeader(nullptr).is_element());
}

TEST_F(LoadSavePanelTest, SavingOnNewEntryWritesTheNextSlotUnderTheEnteredName) {
  WriteHead("slot004.sav");
  cl_RecordingSession session;
  Open("savegame", &session);
  EXPECT_TRUE(Press("Save"));
  AnswerOk(u"Ferry");
  EXPECT_EQ(session.m_calls.at(1), "SaveGame slot005.sav Ferry");
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_FALSE(fs::exists(m_folder / "tmp_save.sav"));
  EXPECT_EQ(session.m_calls.back(), "Unpause");
}

TEST_F(LoadSavePanelTest, OverwriteWritesFirstAndDeletesTheOldFilesOnlyAfterSuccess) {
  WriteHead("slot004.sav");
  WriteHead("slot002.sav");
  savetest::WriteFile((m_folder / "slot004.xml").string(), {'<', '/', '>'});
  cl_RecordingSession session;
  session.m_watch = m_folder / "slot004.sav";
  session.m_saveWorks = false;
  Open("savegame", &session);
  m_panel->SetSelected(1);  // slot004
  Press("Save");
  AnswerOk(u"Again");
  testsupport::LogCapture log;
  AnswerOk();  // "Do you want to overwrite the existing save?"
  EXPECT_EQ(session.m_calls.back(), "SaveGame slot005.sav Again");
  EXPECT_TRUE(session.m_oldFileStoodWhileWriting);
  // The writer says what went wrong; the panel adds its box, not a second log line.
  EXPECT_EQ(log.count("ERROR: savegame"), 0) << log.text("\n");
  // The failed save keeps both old files, says so and leaves the panel open.
  EXPECT_TRUE(fs::exists(m_folder / "slot004.sav"));
  EXPECT_TRUE(fs::exists(m_folder / "slot004.xml"));
  EXPECT_FALSE(m_panel->HasFlag(base::WF_HIDDEN));
  ASSERT_NE(m_panel->GetOpenMessageBox(), nullptr);
  EXPECT_EQ(m_panel->GetOpenMessageBox()->GetType(), "MB_OK");
  AnswerOk();

  session.m_saveWorks = true;
  Press("Save");
  AnswerOk(u"Again");
  AnswerOk();
  EXPECT_TRUE(session.m_oldFileStoodWhileWriting);
  EXPECT_FALSE(fs::exists(m_folder / "slot004.sav"));
  EXPECT_FALSE(fs::exists(m_folder / "slot004.xml"));
  EXPECT_TRUE(fs::exists(m_folder / "slot002.sav"));
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
}

// The panel's automatic save is the session's: "auto" under its name, with the list header.
TEST_F(LoadSavePanelTest, TheAutosaveWritesAutoWithTheListHeaderForThePanelAndTheSession) {
  cl_RecordingSession session;
  session.m_state.set_element("GameState");
  base::variant_get_attribute_by_path(session.m_state, "Missions/Skill", true)->set_int(7);
  Open("savegame", &session);
  session.m_calls.clear();
  session.m_headers.clear();
  EXPECT_TRUE(m_panel->AutoSave());
  EXPECT_TRUE(WriteAutoSave(&session));
  EXPECT_FALSE(WriteAutoSave(nullptr));
  EXPECT_EQ(session.m_calls, (std::vector<std::string>{"SaveGame auto.sav Autosave", "SaveGame auto.sav Autosave"}));
  ASSERT_EQ(session.m_headers.size(), 2u);
  for (const base::Variant& header : session.m_headers) {
    int skill = 0;
    float time = 0.0f;
    EXPECT_TRUE(header.get_attribute_int("skill", skill));
    EXPECT_TRUE(header.get_attribute_float("game_time", time));
    EXPECT_EQ(skill, 7);
    EXPECT_EQ(time, 125.5f);
  }
}

TEST_F(LoadSavePanelTest, NoFreeSlotNameShowsABoxAndSavesNothing) {
  WriteHead("slot999999999.sav");
  cl_RecordingSession session;
  Open("savegame", &session);
  EXPECT_TRUE(m_panel->MakeSlotName().empty());
  Press("Save");
  AnswerOk(u"Full");
  EXPECT_EQ(session.m_calls, (std::vector<std::string>{"SaveGame tmp_save.sav New Entry"}));
  ASSERT_NE(m_panel->GetOpenMessageBox(), nullptr);
  EXPECT_EQ(m_panel->GetOpenMessageBox()->GetType(), "MB_OK");
  EXPECT_FALSE(m_panel->HasFlag(base::WF_HIDDEN));
}

TEST_F(LoadSavePanelTest, AFailedLoadInAGameShowsABoxAndKeepsThePanelOpen) {
  WriteHead("slot001.sav");
  cl_RecordingSession session;
  session.m_loadWorks = false;
  Open("loadgame", &session);
  m_panel->SetSelected(0);
  m_panel->LoadGame();
  EXPECT_EQ(session.m_calls.back(), "LoadGame slot001.sav");
  ASSERT_NE(m_panel->GetOpenMessageBox(), nullptr);
  EXPECT_EQ(m_panel->GetOpenMessageBox()->GetType(), "MB_OK");
  EXPECT_FALSE(m_panel->HasFlag(base::WF_HIDDEN));
  AnswerOk();
  EXPECT_EQ(m_panel->GetOpenMessageBox(), nullptr);

  session.m_loadWorks = true;
  m_panel->LoadGame();
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
}

TEST_F(LoadSavePanelTest, DeleteRemovesTheSaveAndItsSideFileAndRebuilds) {
  WriteHead("slot001.sav");
  WriteHead("slot002.sav");
  savetest::WriteFile((m_folder / "slot002.xml").string(), {'<', '/', '>'});
  Open("loadgame", nullptr);
  Press("Delete");
  AnswerOk();
  EXPECT_FALSE(fs::exists(m_folder / "slot002.sav"));
  EXPECT_FALSE(fs::exists(m_folder / "slot002.xml"));
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"slot001"}));
}

// Marks path immutable (or clears the mark): nobody may delete it, the owner and root included.
// False where the file system or the test's rights do not allow the mark.
bool SetImmutable(const fs::path& path, bool on) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  close(fd);
  return done;
}

// A save that stays (a read-only folder, a file the system protects) is named in the log with
// the cause, the player gets a box, and the list still shows it.
TEST_F(LoadSavePanelTest, ASaveThatCannotBeDeletedSaysSoAndStaysListed) {
  WriteHead("slot001.sav");
  if (!SetImmutable(m_folder / "slot001.sav", true)) GTEST_SKIP() << "no immutable files here";
  Open("loadgame", nullptr);
  Press("Delete");
  testsupport::LogCapture log;
  AnswerOk();
  SetImmutable(m_folder / "slot001.sav", false);
  EXPECT_TRUE(fs::exists(m_folder / "slot001.sav"));
  EXPECT_EQ(log.count("ERROR: savegame file '"), 1) << log.text("\n");
  EXPECT_EQ(log.count("slot001.sav' could not be deleted (Operation not permitted)"), 1) << log.text("\n");
  ASSERT_NE(m_panel->GetOpenMessageBox(), nullptr);
  EXPECT_EQ(m_panel->GetOpenMessageBox()->GetType(), "MB_OK");
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"slot001"}));
}

// The box of a failure says what failed and, on a line under it, why in a player's words, and is
// closed with "OK" (its button shows the OK picture, not the yes one): a save onto a full disk
// (the process's file size limit refuses the bytes as a full disk would), a removal the file
// system forbids, a load of a damaged savegame and of one gone since the list was made.
TEST_F(LoadSavePanelTest, AFailureBoxSaysWhyInThePlayersWordsAndClosesWithOk) {
  AddPicture("mb_yes_default", 128, 32, 0x00A000);
  AddPicture("mb_ok_default", 128, 32, 0x0000C0);
  LoadPictures();
  const struct {
    const char* what;
    const char* told;
  } cases[] = {
      {"save, disk full", "The game could not be saved.\nThe disk is full."},
      {"delete, forbidden",
       "The savegame could not be deleted.\nThere is no permission to write to the savegame folder."},
      {"load, damaged", "The game could not be loaded.\nThe savegame is damaged."},
      {"load, gone", "The game could not be loaded.\nThe savegame is no longer there."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(m_folder);
    fs::create_directories(m_folder);
    WriteHead("slot001.sav");
    cl_RecordingSession session;
    session.m_writeWhole = true;
    const std::string what = c.what;
    if (what == "save, disk full") {
      Open("savegame", &session);
      Press("Save");
      rlimit limit{}, small{};
      ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
      small = limit;
      small.rlim_cur = 64 * 1024;
      void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
      ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
      AnswerOk(u"Ferry");
      setrlimit(RLIMIT_FSIZE, &limit);
      std::signal(SIGXFSZ, previous);
    } else if (what == "delete, forbidden") {
      if (!SetImmutable(m_folder / "slot001.sav", true)) continue;  // no immutable files here
      Open("loadgame", nullptr);
      Press("Delete");
      AnswerOk();
      SetImmutable(m_folder / "slot001.sav", false);
    } else {
      Open("loadgame", nullptr);
      if (what == "load, gone") fs::remove(m_folder / "slot001.sav");
      m_panel->LoadGame();
    }
    cl_Messagebox* box = m_panel->GetOpenMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetType(), "MB_OK");
    EXPECT_EQ(Narrow(box->GetMessageText().c_str()), c.told);
    Frames(3);
    RenderFrame();
    const base::cl_Window* ok = box->FindByLabel("Ok");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(Pixel(static_cast<int>(ok->m_AbsRect.left) + 20, static_cast<int>(ok->m_AbsRect.top) + 10), 0x0000C0u);
    EndFrame();
    AnswerOk();
    m_gui->RemoveChild(m_panel);
    delete m_panel;
    m_panel = nullptr;
  }
}

// The current game's row ("New Entry") holds its header and picture in memory, and its scratch
// savegame goes at once: a save then needs room on the disk for itself alone, where the scratch
// file beside it made a disk with room for one save refuse the first.
TEST_F(LoadSavePanelTest, TheCurrentGameShowsFromMemoryWithNoScratchSaveOnTheDisk) {
  cl_RecordingSession session;
  session.m_writeWhole = true;
  Open("savegame", &session);
  EXPECT_EQ(session.m_calls.at(0), "SaveGame tmp_save.sav New Entry");
  EXPECT_FALSE(fs::exists(m_folder / "tmp_save.sav"));
  const cl_SavegameField* row = m_panel->GetRows().at(0);
  ASSERT_TRUE(row->m_bNewEntry);
  EXPECT_FLOAT_EQ(base::get_float(row->m_Header.get_attribute("game_time")), 125.5f);
  EXPECT_TRUE(m_panel->GetRows().at(0)->ReadPreview()) << "the picture is kept";
  Press("Save");
  AnswerOk(u"Ferry");
  EXPECT_EQ(session.m_calls.at(1), "SaveGame slot001.sav Ferry");
  std::vector<std::string> files;
  for (const fs::directory_entry& e : fs::directory_iterator(m_folder)) files.push_back(e.path().filename().string());
  EXPECT_EQ(files, (std::vector<std::string>{"slot001.sav"}));
}

TEST_F(LoadSavePanelTest, ExitRemovesAScratchSaveLeftBehindAndReturnsToTheMainMenu) {
  cl_RecordingSession session;
  Open("loadsavegame", &session);
  // A killed run's scratch files.
  savetest::WriteFile((m_folder / "tmp_save.sav").string(), {'x'});
  savetest::WriteFile((m_folder / "tmp_save.xml").string(), {'<', '/', '>'});
  EXPECT_FALSE(Press("Exit"));
  EXPECT_FALSE(fs::exists(m_folder / "tmp_save.sav"));
  EXPECT_FALSE(fs::exists(m_folder / "tmp_save.xml"));
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
  EXPECT_TRUE(m_panel->HasFlag(base::WF_DISABLED));
  EXPECT_EQ(session.m_calls.back(), "Unpause");
}

TEST_F(LoadSavePanelTest, KeysWheelAndPagesScrollByARowOnlyWithSevenRowsOrMore) {
  for (int i = 1; i <= 6; ++i) WriteHead("slot00" + std::to_string(i) + ".sav");
  Open("loadgame", nullptr);
  RenderFrame();
  const base::ICMD wheel0 = Cmd(kWheel, static_cast<int>(m_panel->GetScrollArea()->m_AbsRect.left) + 5,
                         static_cast<int>(m_panel->GetScrollArea()->m_AbsRect.top) + 5);
  EndFrame();
  base::ICMD wheel = wheel0;
  wheel.extra[2] = static_cast<uint16_t>(-120);
  wheel.extra[0] = 7;  // the poll's last x motion rides along on a wheel command
  Send(wheel);
  PressKey(base::key::PageDown);
  EXPECT_EQ(m_panel->GetScrollY(), 0.0f);
  EXPECT_EQ(m_panel->FindChild("scroll_down"), nullptr);

  WriteHead("slot007.sav");
  m_panel->Rebuild();
  RenderFrame();  // places the new scroll area
  EndFrame();
  EXPECT_NE(m_panel->FindChild("scroll_down"), nullptr);
  Send(wheel);
  EXPECT_EQ(m_panel->GetScrollY(), 65.0f);
  base::ICMD wheelUp = wheel;
  wheelUp.extra[2] = 120;
  wheelUp.extra[0] = static_cast<uint16_t>(-7);
  Send(wheelUp);
  EXPECT_EQ(m_panel->GetScrollY(), 0.0f);
  Send(wheel);
  PressKey(base::key::PageDown);
  EXPECT_EQ(m_panel->GetScrollY(), 130.0f);
  m_panel->Rebuild();
  for (int i = 0; i < 6; ++i) PressKey(base::key::Down);
  EXPECT_EQ(m_panel->GetSelected(), 6);
  EXPECT_EQ(m_panel->GetScrollY(), 65.0f);  // the seventh row came into view
  for (int i = 0; i < 6; ++i) PressKey(base::key::Up);
  EXPECT_EQ(m_panel->GetSelected(), 0);
  EXPECT_EQ(m_panel->GetScrollY(), 0.0f);
}

TEST_F(LoadSavePanelTest, DamagedHeadShowsTheFallbackRowAndLogsOnce) {
  WriteHead("slot001.sav");
  std::vector<uint8_t> cut = savetest::HeadBytes(savetest::st_Head());
  cut.resize(100);
  savetest::WriteFile((m_folder / "slot002.sav").string(), cut);
  testsupport::LogCapture log;
  Open("loadgame", nullptr);
  EXPECT_EQ(log.count("ERROR: "), 1) << log.text("\n");
  const cl_SavegameField* row = m_panel->GetRows().at(0);
  EXPECT_EQ(Narrow(row->m_DisplayName.c_str()), "slot002.sav");
  EXPECT_FALSE(row->m_bHasColour);
  EXPECT_EQ(Narrow(FormatSavegameInfo(SummariseSavegame(&row->m_Header)).c_str()), "Mission 0, Chapter 1, 0:00h");
  const cl_SavegameField* good = m_panel->GetRows().at(1);
  EXPECT_EQ(Narrow(good->m_DisplayName.c_str()), "Harbour at dusk");
  EXPECT_TRUE(good->m_bHasColour);
  EXPECT_EQ(Narrow(FormatSavegameInfo(SummariseSavegame(&good->m_Header)).c_str()), "Mission 3, Chapter 2, 1:05h");
}

TEST_F(LoadSavePanelTest, OnlyTheSelectedRowShowsItsColourThumbnail) {
  savetest::st_Head head;
  head.grey = 0xFF808080u;
  head.colour = 0xFF2080E0u;
  WriteHead("slot001.sav", head);
  WriteHead("slot002.sav", head);
  Open("loadgame", nullptr);
  RenderFrame();
  const base::st_ScreenRect first = m_panel->GetRows()[0]->m_AbsRect, second = m_panel->GetRows()[1]->m_AbsRect;
  EXPECT_EQ(Pixel(static_cast<int>(first.left) + 20, static_cast<int>(first.top) + 20), 0x2080E0u);
  EXPECT_EQ(Pixel(static_cast<int>(second.left) + 20, static_cast<int>(second.top) + 20), 0x808080u);
  EndFrame();
  // A press on the second row selects it.
  Click(second.left + 100, second.top + 30);
  RenderFrame();
  EXPECT_EQ(m_panel->GetSelected(), 1);
  EXPECT_EQ(Pixel(static_cast<int>(first.left) + 20, static_cast<int>(first.top) + 20), 0x808080u);
  EXPECT_EQ(Pixel(static_cast<int>(second.left) + 20, static_cast<int>(second.top) + 20), 0x2080E0u);
}

// The game frame with a recording session, so the root menu can start the session the load
// asks for and queue the load on the frame's loading screen.
class cl_LoadFrame : public cl_GameFrame {
 public:
  base::i_GameSession* CreateSession() override { return m_session = new cl_RecordingSession; }
  cl_RecordingSession* m_session = nullptr;  // owned by the frame
};

TEST_F(LoadSavePanelTest, LoadInTheTitleMenuHandsThePathToTheRootMenu) {
  // A whole savegame, since the panel reads it before the menu gives way: the Office, no one on
  // its stage.
  quillane::st_SavegameImage image;
  image.gameState.set_element("GameState");
  ASSERT_TRUE(quillane::WriteSavegameFile((m_folder / "slot003.sav").string().c_str(), image, [](base::File& file) {
    return quillane::WriteStageText(file, "Office") && quillane::WriteStageU32(file, 0) &&
           quillane::WriteStageText(file, "Quillane");
  }));
  // The frame's start-up without a road: its states and loading screen.
  base::variant_get_attribute_by_path(m_system->GetConfigTree(), "DevTools/QuickLaunch", true)->set_string("none");
  cl_LoadFrame frame;
  ASSERT_TRUE(frame.StartUp());
  base::g_pGUI = m_gui;
  cl_RootMenu* menu = cl_RootMenu::Create(m_gui);
  frame.AddState("TitleMenu", menu);
  frame.SetState("TitleMenu");
  Open("loadgame", nullptr);
  RenderFrame();
  EndFrame();
  EXPECT_TRUE(Press("Load"));
  EXPECT_TRUE(m_panel->HasFlag(base::WF_HIDDEN));
  for (int i = 0; i < 8; ++i) menu->Update(0, 0.1f);
  ASSERT_NE(frame.m_session, nullptr);
  EXPECT_TRUE(frame.m_session->m_calls.empty()) << "the load waits in the loading queue";
  ASSERT_EQ(frame.GetLoadingScreen()->GetQueueSize(), 1);
  frame.GetLoadingScreen()->Update(0, 0.1f);
  ASSERT_FALSE(frame.m_session->m_calls.empty());
  EXPECT_EQ(frame.m_session->m_calls.back(), "LoadGame slot003.sav");
}

}  // namespace
}  // namespace menutest
