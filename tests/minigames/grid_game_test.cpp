// The wire-tap and floor-lights games end to end: compiled from the demo pictures, started by the
// manager in a session, won, left or skipped by input through the module tree, the result and
// the bonus read from the game state, and the board's frame compared with a stored picture.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "../support/GoldenImage.h"
#include "grid_game_fixture.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/floorlights/FloorLights.h"

namespace gridgametest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_WiretapPanel;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(GridGameTest, TheJunctionIsWonByTurningItsTiles) {
  SetState("Missions/Minigames/Wiretap/Filename", "grid1.xml");
  SetState("Missions/Skill", 5);
  m_games->CompileMissing();
  ASSERT_TRUE(fs::exists(m_dir / "gui/minigames/wiretap.dat")) << Log();
  testsupport::st_EventCounts& counts = m_counts[0];
  ASSERT_TRUE(StartGame("Wiretap", counts)) << Log();
  cl_WiretapPanel* board = Board("Wiretap");
  ASSERT_NE(board, nullptr);
  ASSERT_TRUE(DismissTutorials(*board));
  EXPECT_FALSE(board->IsSolved());
  Step();
  // The board as laid out by the art: terminals around a 3 x 3 grid of tiles, none lit.
  EXPECT_TRUE(testsupport::MatchesGoldenPng(QUILLANE_TEST_DIR "/golden/wiretap_grid1.png", minigametest::Shrink(m_pixels, kWidth, kHeight),
                                            kWidth / 4, kHeight / 4));

  TurnCell(*board, 1, 0);
  TurnCell(*board, 1, 1, 3);
  TurnCell(*board, 1, 2);
  EXPECT_FALSE(board->IsSolved());
  PressCell(*board, 2, 1);
  EXPECT_NE(board->GetPicked(), nullptr);
  PressCell(*board, 2, 1, 6.0f);
  EXPECT_TRUE(board->IsSolved());
  ASSERT_TRUE(DismissTutorials(*board));  // the "Win" box holds the clock
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(counts.executed, 1);
  EXPECT_EQ(GameStateInt("Missions/Minigames/Wiretap/Win"), 1);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 35);
  EXPECT_EQ(GameStateInt("Missions/Minigames/Wiretap/TutorialTriggerStart"), 1);
  EXPECT_EQ(NewLog().find("ERROR:"), std::string::npos) << NewLog();
}

// A click on a help box is the box's whole: a press aimed at the lamp board's last box as it
// fades away, handled in the frame after it went, picks up no tile; the release of a press the
// box took, coming after the box went, at the window's edge, does not leave the game. Once the
// box is well gone the board takes its clicks.
TEST_F(GridGameTest, AClickOnAHelpBoxNeverReachesTheBoard) {
  m_games->CompileMissing();
  ASSERT_TRUE(StartGame("FloorLights", m_counts[0]));
  cl_WiretapPanel* board = Board("FloorLights");
  ASSERT_NE(board, nullptr);
  auto holding = [&] {
    for (int i = 0; i < 100; ++i) {
      float x = 0.0f, y = 0.0f;
      if (board->GetPlayTarget("tutorial", x, y)) return true;
      Step();
    }
    return false;
  };
  const float x = board->GetOriginX() + 1.5f * board->GetCellSize(), y = board->GetOriginY() + 1.5f * board->GetCellSize();
  ASSERT_TRUE(holding());
  Mouse(base::ICMD::LEFT_DOWN, x, y);
  Mouse(base::ICMD::LEFT_UP, x, y);  // the first box goes; the second comes
  ASSERT_TRUE(holding());
  auto gone = [&] {
    for (int i = 0; i < 300 && board->GetActiveTutorial(); ++i) Step();
    return board->GetActiveTutorial() == nullptr;
  };
  ASSERT_TRUE(gone());  // by its own time
  Mouse(base::ICMD::LEFT_DOWN, x, y);
  Mouse(base::ICMD::LEFT_UP, x, y);
  EXPECT_EQ(board->GetPicked(), nullptr) << "the press aimed at the box picked up a tile";

  board->TriggerTutorial("", "Win", false);  // the "Success!" box, for the release
  ASSERT_TRUE(holding());
  Mouse(base::ICMD::MOUSE_MOVE, 5.0f, y);
  Mouse(base::ICMD::LEFT_DOWN, 5.0f, y);
  ASSERT_TRUE(gone());
  for (int i = 0; i < 10; ++i) Step();
  Mouse(base::ICMD::LEFT_UP, 5.0f, y);
  Step();
  EXPECT_FALSE(board->IsFinished()) << "the release of the box's press left the game";

  ASSERT_TRUE(board->IsPlayCondition("idle"));
  Mouse(base::ICMD::MOUSE_MOVE, x, y);
  Mouse(base::ICMD::LEFT_DOWN, x, y);
  EXPECT_NE(board->GetPicked(), nullptr);
}

TEST_F(GridGameTest, ALevelSolvedWhenReadGivesTheFullBonusAtTheFirstRunningClock) {
  SetState("Missions/Minigames/Wiretap/Filename", "grid_solved.xml");
  SetState("Missions/Minigames/Wiretap/TutorialTriggerStart", 1);  // seen before: no start boxes
  m_games->CompileMissing();
  testsupport::st_EventCounts& counts = m_counts[0];
  ASSERT_TRUE(StartGame("Wiretap", counts));
  cl_WiretapPanel* board = Board("Wiretap");
  ASSERT_NE(board, nullptr);
  EXPECT_TRUE(board->IsSolved());
  Step();
  EXPECT_EQ(GameStateInt("Missions/Skill"), 30);
  EXPECT_NE(board->GetActiveTutorial(), nullptr) << "the \"Win\" box is armed";
  ASSERT_TRUE(DismissTutorials(*board));
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(GameStateInt("Missions/Minigames/Wiretap/Win"), 1);
}

TEST_F(GridGameTest, LeavingThroughTheLeftEdgeLosesAndSkippingWins) {
  m_games->CompileMissing();
  // A release at the left edge: lost, no bonus.
  SetState("Missions/Minigames/Wiretap/Filename", "grid1.xml");
  ASSERT_TRUE(StartGame("Wiretap", m_counts[0]));
  ASSERT_TRUE(DismissTutorials(*Board("Wiretap")));
  Mouse(base::ICMD::LEFT_DOWN, 10.0f, 400.0f);
  Step();
  EXPECT_TRUE(m_games->IsRunning()) << "a press at the edge does nothing";
  Mouse(base::ICMD::LEFT_UP, 10.0f, 400.0f);
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(GameStateInt("Missions/Minigames/Wiretap/Win"), 0);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 0);

  // The skip button (shown at once with the option): won, no bonus; the instance is reused.
  SetQuickSkip(true);
  ASSERT_TRUE(StartGame("Wiretap", m_counts[1]));
  cl_WiretapPanel* board = Board("Wiretap");
  Step();
  Step();
  float x = 0.0f, y = 0.0f;
  ASSERT_TRUE(board->GetSkipButtonCentre(x, y));
  Mouse(base::ICMD::LEFT_UP, x, y);
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(m_counts[1].executed, 1);
  EXPECT_EQ(GameStateInt("Missions/Minigames/Wiretap/Win"), 1);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 0);
}

TEST_F(GridGameTest, TheLampBoardIsWonByTurningItsTiles) {
  m_games->CompileMissing();
  ASSERT_TRUE(fs::exists(m_dir / "gui/minigames/FloorLights.dat")) << Log();
  ASSERT_TRUE(StartGame("FloorLights", m_counts[0])) << Log();
  cl_WiretapPanel* board = Board("FloorLights");
  ASSERT_NE(board, nullptr);
  ASSERT_TRUE(DismissTutorials(*board));
  EXPECT_FALSE(board->IsSolved());
  for (auto [c, r] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 2}, {1, 2}}) TurnCell(*board, c, r);
  EXPECT_FALSE(board->IsSolved());
  TurnCell(*board, 2, 2);
  EXPECT_TRUE(board->IsSolved());
  // The circuit lit from the feed to the hangar lamp, the floor lamps dark, the tile's turn
  // drawn to its end (the "Win" box fading in over it).
  for (int i = 0; i < 5; ++i) Step();
  EXPECT_TRUE(testsupport::MatchesGoldenPng(QUILLANE_TEST_DIR "/golden/floorlights_solved.png",
                                            minigametest::Shrink(m_pixels, kWidth, kHeight), kWidth / 4, kHeight / 4));
  ASSERT_TRUE(DismissTutorials(*board));
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(GameStateInt("Missions/Minigames/FloorLights/Win"), 1);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 30);
  EXPECT_EQ(NewLog().find("ERROR:"), std::string::npos) << NewLog();
}

TEST_F(GridGameTest, CompiledDataFilesReadBackAndADamagedOneStopsTheStart) {
  m_games->CompileMissing();
  for (const char* file : {"wiretap.dat", "FloorLights.dat"}) {
    SCOPED_TRACE(file);
    const fs::path path = m_dir / "gui/minigames" / file;
    const std::string good = ReadBytes(path);
    ASSERT_GT(good.size(), 1000u);
    // The same sources give the same file; a fresh board reads every record back.
    auto again = std::string(file) == "wiretap.dat" ? std::unique_ptr<cl_WiretapPanel>(new cl_WiretapPanel())
                                                    : std::unique_ptr<cl_WiretapPanel>(new quillane::cl_FloorLightsPanel());
    ASSERT_TRUE(again->Compile("again.dat")) << Log();
    EXPECT_EQ(ReadBytes(m_dir / "again.dat"), good);
    EXPECT_EQ(again->GetTexture(8).GetWidth(), 128u);
    EXPECT_FLOAT_EQ(again->GetTexture(8).GetCenterX(), 64.0f);
    for (size_t cut : {good.size() / 3, good.size() - 1}) {
      quillane::cl_MinigameDataFile part;
      ASSERT_TRUE(part.OpenMemory(good.data(), static_cast<int>(cut), file));
      cl_WiretapPanel reader;
      const size_t logged = Log().size();
      EXPECT_FALSE(reader.ArchiveDataFile(part));
      EXPECT_NE(Log().find(std::string("ERROR: mini-game data file '") + file, logged), std::string::npos)
          << Log().substr(logged);
    }
  }
  // Cut on disk: the start is refused with the game's own line.
  const std::string good = ReadBytes(m_dir / "gui/minigames/wiretap.dat");
  std::ofstream(m_dir / "gui/minigames/wiretap.dat", std::ios::binary | std::ios::trunc).write(good.data(), 500);
  auto* event = new testsupport::cl_CountingEvent(m_counts[0]);
  EXPECT_FALSE(m_games->Start("Wiretap", event, false));
  delete event;
  EXPECT_NE(Log().find("Wiretap Minigame Error! Cannot read Textures!"), std::string::npos) << Log();
}

}  // namespace
}  // namespace gridgametest
