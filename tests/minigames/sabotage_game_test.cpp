// The Sabotage game end to end: compiled from the demo pictures, started by the manager in a
// session, played by clicks through the module tree on the targets the game names (the play
// driver's road), with the result, the bonus and the first-solution mark read from the game
// state; the skip question; the scroll; damaged data and a board too small for the pipes.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../support/DemoResources.h"
#include "../support/GoldenImage.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "minigame_fixture.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/minigames/sabotage/Sabotage.h"
#include "quillane/minigames/sabotage/SabotageGrid.h"
#include "quillane/minigames/sabotage/SabotageMixer.h"
#include "quillane/minigames/sabotage/SabotagePumps.h"
#include "quillane/session/Session.h"
#include "sound/FModSoundSystem.h"
#include "sound/Sfx.h"

namespace sabotagetest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_Sabotage;

constexpr const char* kFirstSolved = "Missions/Minigames/Sabotage/FirstSolved";
constexpr const char* kWin = "Missions/Minigames/Sabotage/Win";

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SabotageGameTest : public minigametest::MinigameTest {
 protected:
  void SetUp() override {
    MinigameTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    const fs::path data = QUILLANE_DATA_DIR;
    if (!fs::exists(data / "gui/minigames/sabotage/tile00.tga"))
      GTEST_SKIP() << "no generated sabotage pictures (run demogen)";
    for (const char* folder : {"sabotage", "wiretap"})
      fs::copy(data / "gui/minigames" / folder, m_dir / "gui/minigames" / folder,
               fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    ASSERT_GT(testsupport::LoadDemoResources(
                  data, m_dir, {"gui/minigames/sabotage/", "gui/menu/mb_", "gui/skin/dialog_", "gui/cursors/"},
                  {"tooltip", "tutorial", "sabotage", "messagebox"}, "sabotage_resources.xml"),
              0);
    // A sound system that mixes only when asked, and the game's sounds in an "Sfx" archive of
    // their own, so the siren can be heard.
    m_sound = std::make_unique<sfx::cl_FModSoundSystem>();
    ASSERT_TRUE(m_sound->SetOutput(platform::audio::Output::Pull));
    ASSERT_TRUE(m_sound->StartUp());
    sfx::st_ChannelParams player;
    m_sound->AddChannel("PLAYER", &player);
    fs::create_directories(m_dir / "sfx");
    for (const auto& entry : fs::directory_iterator(data / "sfx")) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("MG_Sabotage_", 0) == 0 || name == "MG_Decoder_click.ogg" || name == "MG_Wiretap_click.ogg")
        fs::copy_file(entry.path(), m_dir / "sfx" / name);
    }
    std::ofstream(m_dir / "sabotage_sfx.xml")
        << "<Resources><Archive label=\"Sfx\" file=\"sfx.pak\" localize=\"0\"><Dir path=\"sfx\" extension=\"*.ogg\"/>"
           "</Archive></Resources>";
    ASSERT_TRUE(base::sys::AddResources((m_dir / "sabotage_sfx.xml").string().c_str()));
    SetState("Missions/Skill", 0);
    SetState("Missions/MaxSkill", 1000);
    m_logged = Log().size();
  }
  void TearDown() override {
    MinigameTest::TearDown();
    m_sound.reset();
  }
  std::string NewLog() { return Log().substr(m_logged); }

  cl_Sabotage* Game() {
    for (int i = 0; i < m_games->GetGameCount(); ++i)
      if (std::string(m_games->GetGameName(i)) == "Sabotage")
        return dynamic_cast<cl_Sabotage*>(m_games->GetInstance(i));
    return nullptr;
  }
  cl_Sabotage* Start(testsupport::st_EventCounts& counts) {
    m_games->CompileMissing();
    auto* event = new testsupport::cl_CountingEvent(counts);
    if (!m_games->Start("Sabotage", event, false)) {
      delete event;
      return nullptr;
    }
    return StepUntilRunning() ? Game() : nullptr;
  }
  void ClickAt(float x, float y) {
    Mouse(base::ICMD::MOUSE_MOVE, x, y);
    Mouse(base::ICMD::LEFT_DOWN, x, y);
    Mouse(base::ICMD::LEFT_UP, x, y);
    Step();
  }
  // A click on the game's target once it shows it, as the play driver clicks.
  bool Click(const char* target, int limit = 100) {
    for (int i = 0; i < limit; ++i) {
      float x = 0.0f, y = 0.0f;
      if (Game()->GetPlayTarget(target, x, y)) {
        ClickAt(x, y);
        return true;
      }
      Step();
    }
    return false;
  }
  bool WaitFor(const char* condition, int limit = 200) {
    for (int i = 0; i < limit; ++i) {
      if (Game()->IsPlayCondition(condition)) return true;
      Step();
    }
    return Game()->IsPlayCondition(condition);
  }
  void Play(std::initializer_list<const char*> targets) {
    for (const char* target : targets) {
      SCOPED_TRACE(target);
      ASSERT_TRUE(Click(target));
      ASSERT_TRUE(WaitFor("idle"));
    }
  }
  bool ClickSkip() {
    float x = 0.0f, y = 0.0f;
    if (!Game()->GetSkipButtonCentre(x, y)) return false;
    ClickAt(x, y);
    return true;
  }

  size_t m_logged = 0;
  std::unique_ptr<sfx::cl_FModSoundSystem> m_sound;
};

TEST_F(SabotageGameTest, TheScriptedWinSetsOffTheAlarmAndAFreshGameFindsThePumpsDone) {
  SetState(kWin, 0);
  cl_Sabotage* game = Start(m_counts[0]);
  ASSERT_NE(game, nullptr) << Log();
  EXPECT_EQ(game->GetScrollX(), 150.0f) << "the first view: the pump panel, 150 pixels in";
  EXPECT_TRUE(game->IsPlayCondition("view pumps"));
  ASSERT_TRUE(Click("tutorial"));
  ASSERT_TRUE(WaitFor("idle"));

  Play({"knob 1", "knob 2", "knob 3", "knob 1", "knob 1", "knob 2", "knob 2", "knob 3", "knob 1", "knob 2", "knob 2",
        "knob 2"});
  EXPECT_TRUE(game->GetPumps()->IsDone());
  EXPECT_EQ(GameStateInt(kFirstSolved), 1);
  ASSERT_TRUE(WaitFor("view grid"));
  ASSERT_TRUE(WaitFor("idle"));
  quillane::cl_SabotagePhase2* grid = game->GetGrid();
  for (int pipe = 0; pipe < 3; ++pipe) EXPECT_TRUE(grid->HasGas(pipe));
  EXPECT_FALSE(grid->IsJoined(2));
  // The board with the gas in its inlets, the third pipe not yet joined.
  EXPECT_TRUE(testsupport::MatchesGoldenPng(QUILLANE_TEST_DIR "/golden/sabotage_grid.png",
                                            minigametest::Shrink(m_pixels, kWidth, kHeight), kWidth / 4, kHeight / 4));

  ASSERT_TRUE(Click("cell 1 2"));
  ASSERT_TRUE(Click("cell 1 2"));
  ASSERT_TRUE(grid->IsSolved());
  const float clock = grid->GetTime();
  ASSERT_TRUE(WaitFor("view mixer"));
  ASSERT_TRUE(WaitFor("idle"));
  EXPECT_EQ(GameStateInt("Missions/Skill"), clock <= 30.0f ? 30 : clock <= 60.0f ? 20 : 10);
  for (int c = 0; c < 3; ++c) EXPECT_TRUE(game->GetMixer()->IsFilled(c));

  // The two valves for all columns lie left of the desk: the view is scrolled there at the
  // window's left edge, and back at its right edge.
  Mouse(base::ICMD::MOUSE_MOVE, 10.0f, 400.0f);
  for (int i = 0; i < 25; ++i) Step();
  Play({"valve 7", "valve 7"});
  Mouse(base::ICMD::MOUSE_MOVE, 1014.0f, 400.0f);
  for (int i = 0; i < 25; ++i) Step();
  Play({"valve 1", "valve 4", "valve 3", "valve 3", "valve 5"});
  EXPECT_EQ(GameStateInt(kWin), 0);
  ASSERT_TRUE(Click("valve 5"));
  int frames = 0;
  for (; frames < 50 && !game->GetMixer()->IsAlarm(); ++frames) Step();
  ASSERT_TRUE(game->GetMixer()->IsAlarm());
  EXPECT_TRUE(sfx::IsSoundPlaying("AlertSiren"));
  EXPECT_EQ(GameStateInt(kWin), 1);
  for (frames = 0; frames < 50 && !game->IsFinished(); ++frames) Step();
  EXPECT_GE(frames, 20) << "the game ends once the alarm has run for over 2 s";
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(m_counts[0].executed, 1);
  EXPECT_EQ(NewLog().find("ERROR:"), std::string::npos) << NewLog();

  // A new game object after the first solution: the pumps are done and the pipes carry gas at
  // once (the flags turned, the fills empty); the view still opens on the pumps. Escape leaves
  // without writing a result.
  m_games->Shutdown();
  SetState(kWin, 5);
  game = Start(m_counts[1]);
  ASSERT_NE(game, nullptr);
  EXPECT_TRUE(game->GetPumps()->IsDone());
  EXPECT_TRUE(game->IsPlayCondition("view pumps"));
  for (int pipe = 0; pipe < 3; ++pipe) {
    EXPECT_TRUE(game->GetGrid()->HasGas(pipe));
    EXPECT_FLOAT_EQ(game->GetGrid()->GetFlag(pipe).m_Rotation, 1.5707964f);
    EXPECT_EQ(game->GetGrid()->GetPipeFill(pipe).m_Width, 0.0f);
  }
  Key(base::key::Escape);
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(GameStateInt(kWin), 5);
}

TEST_F(SabotageGameTest, TheSkipQuestionTakesEveryInputAndOnlyOkWins) {
  SetQuickSkip(true);
  SetState(kWin, 0);
  cl_Sabotage* game = Start(m_counts[0]);
  ASSERT_NE(game, nullptr) << Log();
  Step();
  float x = 0.0f, y = 0.0f;
  ASSERT_TRUE(game->GetSkipButtonCentre(x, y));
  EXPECT_GT(x, 884.0f);
  EXPECT_LT(x, 964.0f) << "clear of the band at the window's edge that scrolls";
  ASSERT_TRUE(ClickSkip());
  EXPECT_EQ(game->GetSkipBox(), nullptr) << "the tutorial takes the click first";
  ASSERT_TRUE(Click("tutorial"));
  ASSERT_TRUE(WaitFor("idle"));

  ASSERT_TRUE(ClickSkip());
  ASSERT_NE(game->GetSkipBox(), nullptr);
  EXPECT_FALSE(game->IsPlayCondition("idle"));
  ASSERT_TRUE(Click("knob 1"));
  Step();
  EXPECT_FALSE(game->GetPumps()->IsAnimating()) << "the open box takes every input";
  Key(base::key::Escape);  // the box's Cancel, not the game's Escape
  for (int i = 0; i < 20 && game->GetSkipBox(); ++i) Step();
  EXPECT_EQ(game->GetSkipBox(), nullptr);
  EXPECT_FALSE(game->IsFinished());
  EXPECT_EQ(GameStateInt(kWin), 0);

  ASSERT_TRUE(ClickSkip());
  ASSERT_NE(game->GetSkipBox(), nullptr);
  for (int i = 0; i < 10; ++i) Step();  // the box fades in
  base::cl_Window* ok = m_session->GetGameGUI()->FindByLabel("Ok");
  ASSERT_NE(ok, nullptr);
  ClickAt((ok->m_AbsRect.left + ok->m_AbsRect.right) * 0.5f, (ok->m_AbsRect.top + ok->m_AbsRect.bottom) * 0.5f);
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(m_counts[0].executed, 1);
  EXPECT_EQ(GameStateInt(kWin), 1);

  // Shut down with the question open: the box goes unanswered with the game.
  game = Start(m_counts[1]);
  ASSERT_NE(game, nullptr);
  Step();
  ASSERT_TRUE(ClickSkip());
  ASSERT_NE(game->GetSkipBox(), nullptr);
  m_games->Shutdown();
  for (int i = 0; i < 3; ++i) Step();
  EXPECT_TRUE(m_session->GetGameGUI()->GetModalWindows().empty());
  EXPECT_EQ(m_counts[1].executed, 0);
}

TEST_F(SabotageGameTest, TheViewScrollsAtTheEdgesAndComesToRestAtTheMixer) {
  cl_Sabotage* game = Start(m_counts[0]);
  ASSERT_NE(game, nullptr) << Log();
  Mouse(base::ICMD::MOUSE_MOVE, 1020.0f, 400.0f);
  for (int i = 0; i < 3; ++i) Step();
  EXPECT_EQ(game->GetScrollX(), 150.0f) << "nothing scrolls while the tutorial shows";
  ASSERT_TRUE(Click("tutorial"));
  ASSERT_TRUE(WaitFor("idle"));
  Mouse(base::ICMD::MOUSE_MOVE, 1020.0f, 400.0f);
  const float from = game->GetScrollX();
  Step(), Step();
  EXPECT_FLOAT_EQ(game->GetScrollX(), from + 100.0f) << "500 pixels a second";
  for (int i = 0; i < 30; ++i) Step();
  float limits[4];
  game->GetScrollLimits(limits);
  EXPECT_EQ(game->GetScrollX(), limits[1]);

  // The automatic scroll to the mixer: the edges do nothing meanwhile, and it rests at the target
  // inside the vertical limits (at 1024 x 768 the viewport has a top margin) or at a limit. There
  // the three columns' levers and wheels lie clear of the bands that scroll, in an 800 x 600
  // window too (drawn smaller): a click on one turns it, the view stays.
  for (const auto& [width, height] : {std::pair{1024, 768}, std::pair{1280, 800}, std::pair{800, 600}}) {
    SCOPED_TRACE(width);
    base::sys::SetWindowSize(width, height);
    Mouse(base::ICMD::MOUSE_MOVE, 5.0f, 400.0f);
    game->ScrollTo(cl_Sabotage::VIEW_MIXER);
    for (int i = 0; i < 40 && !game->IsPlayCondition("idle"); ++i) Step();
    game->GetScrollLimits(limits);  // of the window the game has drawn itself into by now
    EXPECT_EQ(game->GetScrollX(), limits[1]);
    EXPECT_EQ(game->GetScrollY(), 0.0f);
    EXPECT_TRUE(game->IsPlayCondition("view mixer"));
    const float band = cl_Sabotage::kEdge * static_cast<float>(width) / game->GetPanelWindowWidth();
    for (const char* valve : {"valve 1", "valve 2", "valve 3", "valve 4", "valve 5", "valve 6"}) {
      float x = 0.0f, y = 0.0f;
      ASSERT_TRUE(game->GetPlayTarget(valve, x, y)) << valve;
      EXPECT_GT(x, band) << valve;
      EXPECT_LT(x, static_cast<float>(width) - band) << valve;
    }
    game->ScrollTo(cl_Sabotage::VIEW_GRID);
    Step();
  }
  base::sys::SetWindowSize(kWidth, kHeight);
}

// The game starts while the pointer rests in the middle of the window, and the pointer never
// moves: when the help has gone by itself the view stays where it began (a pointer read as the
// window's corner would scroll it to the empty top-left).
TEST_F(SabotageGameTest, AGameStartedUnderARestingPointerReadsItWhereItIs) {
  Mouse(base::ICMD::MOUSE_MOVE, 500.0f, 400.0f);
  Step();
  cl_Sabotage* game = Start(m_counts[0]);
  ASSERT_NE(game, nullptr) << Log();
  for (int i = 0; i < 600 && game->GetActiveTutorial(); ++i) Step();
  ASSERT_EQ(game->GetActiveTutorial(), nullptr) << "the help never went";
  const float x = game->GetScrollX(), y = game->GetScrollY();
  for (int i = 0; i < 10; ++i) Step();
  EXPECT_EQ(game->GetScrollX(), x);
  EXPECT_EQ(game->GetScrollY(), y);
}

TEST_F(SabotageGameTest, DamagedDataAndABoardTooSmallForThePipesStopTheStart) {
  m_games->CompileMissing();
  const fs::path compiled = m_dir / "gui/minigames/sabotage.dat";
  const std::string good = ReadBytes(compiled);
  ASSERT_GT(good.size(), 1000u) << Log();
  {
    cl_Sabotage again;
    ASSERT_TRUE(again.Compile("again.dat"));
    EXPECT_EQ(ReadBytes(m_dir / "again.dat"), good) << "the same pictures give the same file";
    EXPECT_FALSE(again.Compile("no/such/folder/sabotage.dat"));
    quillane::cl_MinigameDataFile part;
    ASSERT_TRUE(part.OpenMemory(good.data(), static_cast<int>(good.size() / 2), "sabotage.dat"));
    cl_Sabotage reader;
    EXPECT_FALSE(reader.ArchiveDataFile(part));
    EXPECT_NE(NewLog().find("ERROR: mini-game data file 'sabotage.dat'"), std::string::npos) << NewLog();
  }
  std::ofstream(m_dir / "gui/minigames/sabotage/grid.xml")
      << "<Grid><Data GridSize=\"3\"/><Element Texture=\"8\"/><Element Texture=\"8\"/><Element Texture=\"8\"/></Grid>";
  auto* event = new testsupport::cl_CountingEvent(m_counts[0]);
  EXPECT_FALSE(m_games->Start("Sabotage", event, false));
  delete event;
  EXPECT_NE(NewLog().find("ERROR: Sabotage grid gui/minigames/sabotage/grid.xml must be at least 4×3"),
            std::string::npos)
      << NewLog();
  std::ofstream(compiled, std::ios::binary | std::ios::trunc).write(good.data(), 300);
  event = new testsupport::cl_CountingEvent(m_counts[1]);
  EXPECT_FALSE(m_games->Start("Sabotage", event, false));
  delete event;
  EXPECT_NE(NewLog().find("Sabotage Minigame Error! Cannot read Textures!"), std::string::npos);
}

}  // namespace
}  // namespace sabotagetest
