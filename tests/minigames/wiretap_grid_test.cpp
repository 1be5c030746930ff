// The wire-tap board without a session: grid files (sizes, terminals, bad values), tile turns and
// hit boxes, the circuit verdict on the demo's levels, and the presses that lift, turn and swap.
#include <algorithm>
#include <cmath>
#include <utility>

#include "grid_fixture.h"

namespace gridtest {
namespace {

using quillane::cl_WiretapPanel;
using tTile = cl_WiretapPanel::st_Tile;

TEST_F(GridTest, GridFileSizesAndTerminalsFollowTheDataElement) {
  struct st_Case {
    const char* data;
    int elements;
    int columns, rows;
    int inColumn, outRow, tapColumn;
  } cases[] = {
      {"<Data GridSize=\"2\"/>", 9, 3, 3, 0, 0, 0},
      {"<Data GridSize=\"4\" GridSize_X=\"5\"/>", 3, 5, 4, 0, 0, 0},
      {"<Data GridSize_X=\"4\" TelephoneInPos=\"7\" TelephoneOutPos=\"-2\" TelephoneTapPos=\"2\"/>", 12, 4, 3, 3, 0, 2},
      {"", 1, 3, 3, 0, 0, 0},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.data);
    std::string text = std::string("<Grid>") + c.data;
    for (int i = 0; i < c.elements; ++i) text += "<Element Texture=\"10\"/>";
    cl_WireBoard board;
    board.BuildGrid(Xml(text + "</Grid>"), "test");
    EXPECT_EQ(board.GetColumns(), c.columns);
    EXPECT_EQ(board.GetRows(), c.rows);
    int column, row;
    board.GetTerminalCell(0, column, row);
    EXPECT_EQ(column, c.inColumn);
    EXPECT_EQ(row, 0);
    board.GetTerminalCell(1, column, row);
    EXPECT_EQ(column, c.columns - 1);
    EXPECT_EQ(row, c.outRow);
    board.GetTerminalCell(2, column, row);
    EXPECT_EQ(column, c.tapColumn);
    EXPECT_EQ(row, c.rows - 1);
    // Cells fill row by row from the list; the rest are blank.
    for (int i = 0; i < c.columns * c.rows; ++i) {
      const tTile* tile = board.TileAtCell(i % c.columns, i / c.columns);
      ASSERT_NE(tile, nullptr);
      EXPECT_EQ(tile->m_TextureIndex, i < c.elements ? 10 : 6) << "cell " << i;
    }
    EXPECT_EQ(board.TileAtCell(c.columns, 0), nullptr);
  }
}

TEST_F(GridTest, BadGridFilesAreLoggedAndGiveASafeBoard) {
  struct st_Case {
    const char* text;
    const char* error;  // part of the "ERROR:" line; null: none expected
    int columns, rows;
    int firstTexture;
  } cases[] = {
      {"<Grid><Data GridSize=\"100000000\"/><Element Texture=\"7\"/></Grid>", "GridSize 100000000", 16, 16, 7},
      {"<Grid><Data GridSize_Y=\"2000000000\" GridSize_X=\"-5\"/><Element/></Grid>", "GridSize_Y", 3, 16, 6},
      {"<Grid><Element Texture=\"21\"/></Grid>", "Texture 21", 3, 3, 6},
      {"<Grid><Element Texture=\"-3\" Rotation=\"-1\"/></Grid>", "Texture -3", 3, 3, 6},
      {"<Grid><Element Texture=\"7\"/><Data GridSize=\"9\"/></Grid>", "after the first", 3, 3, 7},
      // No elements: the 3 x 3 blank board, whatever size the data asked for.
      {"<Grid><Data GridSize=\"7\"/></Grid>", nullptr, 3, 3, 6},
      {"<Grid/>", nullptr, 3, 3, 6},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.text);
    m_log->clear();
    cl_WireBoard board;
    board.BuildGrid(Xml(c.text), "grid.xml");
    EXPECT_EQ(board.GetColumns(), c.columns);
    EXPECT_EQ(board.GetRows(), c.rows);
    ASSERT_NE(board.TileAtCell(0, 0), nullptr);
    EXPECT_EQ(board.TileAtCell(0, 0)->m_TextureIndex, c.firstTexture);
    EXPECT_NE(board.TileAtCell(c.columns - 1, c.rows - 1), nullptr);
    EXPECT_FALSE(board.IsSolved());
    if (c.error) {
      EXPECT_EQ(m_log->count("ERROR: grid 'grid.xml'"), m_log->count("ERROR:")) << m_log->text();
      EXPECT_TRUE(m_log->contains(c.error)) << m_log->text();
    } else {
      EXPECT_FALSE(m_log->contains("ERROR:")) << m_log->text();
    }
  }
  // More entries than cells: the extra ones are refused, the board keeps its size.
  m_log->clear();
  std::string text = "<Grid>";
  for (int i = 0; i < 12; ++i) text += "<Element Texture=\"8\"/>";
  cl_WireBoard board;
  board.BuildGrid(Xml(text + "</Grid>"), "grid.xml");
  EXPECT_EQ(board.GetColumns() * board.GetRows(), 9);
  EXPECT_EQ(m_log->count("ERROR:"), 1) << m_log->text();
  // A level that is not there gives the blank board and a line naming it.
  m_log->clear();
  cl_WireBoard lost;
  lost.ReadGrid("gui/minigames/wiretap/no_such_level.xml");
  EXPECT_EQ(lost.GetColumns() * lost.GetRows(), 9);
  EXPECT_EQ(m_log->count("ERROR: grid 'gui/minigames/wiretap/no_such_level.xml': missing"), 1) << m_log->text();
}

TEST_F(GridTest, TurnsMoveEveryOpeningAQuarterCounterClockwise) {
  // Up -> left -> down -> right -> up, one place per turn, for every kind.
  const int up = cl_WiretapPanel::SIDE_UP, left = cl_WiretapPanel::SIDE_LEFT;
  const int down = cl_WiretapPanel::SIDE_DOWN, right = cl_WiretapPanel::SIDE_RIGHT;
  struct st_Case {
    int texture;
    int masks[5];  // at 0 to 4 turns
  } cases[] = {
      {6, {0, 0, 0, 0, 0}},
      {7, {down, right, up, left, down}},
      {8, {down | right, right | up, up | left, left | down, down | right}},
      {9, {up | left | right, left | down | up, down | right | left, right | up | down, up | left | right}},
      {10, {up | down, left | right, up | down, left | right, up | down}},
  };
  for (const st_Case& c : cases) {
    tTile tile(c.texture);
    for (int turns = 0; turns < 5; ++turns) {
      EXPECT_EQ(tile.m_Mask, c.masks[turns]) << "texture " << c.texture << ", " << turns << " turns";
      tile.Rotate(true);
    }
  }
  // From the file: the fifth turn of a corner wraps its angle to a quarter.
  cl_WireBoard board;
  board.BuildGrid(Cells("", {{8, 5}, {8, 4}, {8, 1000001}}), "test");
  EXPECT_EQ(board.TileAtCell(0, 0)->m_Mask, up | right);
  EXPECT_FLOAT_EQ(board.TileAtCell(0, 0)->m_Angle, tTile::s_QuarterTurn);
  EXPECT_FLOAT_EQ(board.TileAtCell(1, 0)->m_Angle, tTile::s_FullTurn);
  EXPECT_EQ(board.TileAtCell(2, 0)->m_Mask, up | right);
}

TEST_F(GridTest, HitBoxEdgesOnTheLeftAndTopAreOutside) {
  tTile tile(6);
  tile.m_AnchorX = 100.0f;
  tile.m_AnchorY = 200.0f;
  tile.m_HitOffsetX = 10.0f;
  EXPECT_FALSE(tile.Contains(110.0f, 250.0f, 128.0f, 1.0f));
  EXPECT_FALSE(tile.Contains(150.0f, 200.0f, 128.0f, 1.0f));
  EXPECT_TRUE(tile.Contains(110.5f, 200.5f, 128.0f, 1.0f));
  EXPECT_FALSE(tile.Contains(238.0f, 250.0f, 128.0f, 1.0f));
  EXPECT_TRUE(tile.Contains(237.9f, 327.9f, 128.0f, 1.0f));
  // A board drawn at half size: the box and its offset halve with it.
  EXPECT_FALSE(tile.Contains(105.0f, 220.0f, 64.0f, 0.5f));
  EXPECT_TRUE(tile.Contains(105.5f, 200.5f, 64.0f, 0.5f));
  EXPECT_FALSE(tile.Contains(169.0f, 220.0f, 64.0f, 0.5f));
}

// A scripted click on "cell c r" lands on that cell's tile at every board size: in an 800 x 600
// window the board is drawn at 800/1024 and the click must shrink with it.
TEST_F(GridTest, AScriptedClickOnACellHitsItsTileOnAShrunkenBoard) {
  for (const float scale : {1.0f, 800.0f / 1024.0f}) {
    SCOPED_TRACE(scale);
    cl_WireBoard board;
    board.BuildGrid(Level("gui/minigames/wiretap/grid1.xml"), "grid1.xml");
    board.SetBoardScale(scale);
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 3; ++column) {
        const std::string target = "cell " + std::to_string(column) + " " + std::to_string(row);
        float x = 0.0f, y = 0.0f;
        ASSERT_TRUE(board.GetPlayTarget(target.c_str(), x, y)) << target;
        EXPECT_EQ(board.TileAt(x, y, nullptr), board.TileAtCell(column, row)) << target;
      }
  }
}

// The demo's 3 x 3 board in its 512-pixel frame, with terminals 32 pixels deep above and below,
// keeps to the game's 1024 x 512 panel (centred, at the layout scale), and so to the 16:10 game
// area, in the large window and in the small one, where it shrinks with the panel; it is never
// drawn larger than laid out.
TEST(GridBoardPlace, TheBoardKeepsToThePanelInLargeAndSmallWindows) {
  for (const auto& [width, height] : {std::pair{1024, 768}, std::pair{800, 600}, std::pair{1920, 1080}}) {
    SCOPED_TRACE(width);
    const float layoutScale = width / 1024.0f;
    const auto place = quillane::cl_WiretapPanel::PlaceBoardIn(width, height, layoutScale, 512, 512);
    EXPECT_FLOAT_EQ(place.scale, std::min(1.0f, layoutScale));
    const float cell = 128.0f * place.scale, terminal = 32.0f * place.scale;
    const float panelTop = (height - 512.0f * layoutScale) / 2.0f, panelBottom = height - panelTop;
    EXPECT_GE(place.originY - terminal, panelTop);
    EXPECT_LE(place.originY + 3.0f * cell + terminal, panelBottom);
    EXPECT_FLOAT_EQ(place.gridBackY + 128.0f * place.scale, place.originY);  // the frame goes with the grid
    EXPECT_NEAR(place.originX + 1.5f * cell, width / 2.0f, 64.0f * place.scale + 1.0f);  // as the frame is drawn
  }
}

TEST_F(GridTest, DemoLevelsGiveTheirVerdictAndLightOnlyAClosedCircuit) {
  struct st_Case {
    const char* file;
    bool solved;
  } cases[] = {
      {"gui/minigames/wiretap/grid1.xml", false},
      {"gui/minigames/wiretap/grid_solved.xml", true},
      {"gui/minigames/wiretap/grid_swap.xml", false},
      {"gui/minigames/wiretap/grid_open.xml", false},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.file);
    cl_WireBoard board;
    board.BuildGrid(Level(c.file), c.file);
    EXPECT_EQ(board.IsSolved(), c.solved);
    int lit = 0;
    for (int r = 0; r < 3; ++r)
      for (int col = 0; col < 3; ++col) lit += board.TileAtCell(col, r)->m_Lit ? 1 : 0;
    EXPECT_EQ(lit, c.solved ? 4 : 0);
  }
  EXPECT_FALSE(m_log->contains("ERROR:")) << m_log->text();
}

TEST_F(GridTest, TheCircuitMustBeClosedAndReachEveryTerminal) {
  const std::string data = "<Data TelephoneInPos=\"1\" TelephoneOutPos=\"1\" TelephoneTapPos=\"1\"/>";
  struct st_Case {
    const char* what;
    base::Variant grid;
    bool needTap;
    bool solved;
  } cases[] = {
      {"In to Out closed, Tap not reached", Cells(data, {{6, 0}, {10, 0}, {6, 0}, {6, 0}, {8, 1}, {10, 1}, {6, 0}, {6, 0}, {6, 0}}),
       true, false},
      {"the same without Tap", Cells(data, {{6, 0}, {10, 0}, {6, 0}, {6, 0}, {8, 1}, {10, 1}, {6, 0}, {6, 0}, {6, 0}}),
       false, true},
      {"a T piece whose third line meets a blank",
       Cells(data, {{6, 0}, {10, 0}, {6, 0}, {6, 0}, {9, 0}, {10, 1}, {6, 0}, {10, 0}, {6, 0}}), false, false},
      {"a line pointing at the grid's edge where no terminal is",
       Cells(data, {{6, 0}, {10, 0}, {6, 0}, {10, 1}, {9, 0}, {10, 1}, {6, 0}, {6, 0}, {6, 0}}), false, false},
      {"In's tile without an up opening", Cells(data, {{6, 0}, {10, 1}, {6, 0}, {6, 0}, {6, 0}, {6, 0}, {6, 0}, {6, 0}, {6, 0}}),
       false, false},
  };
  for (st_Case& c : cases) {
    SCOPED_TRACE(c.what);
    cl_WireBoard board;
    board.BuildGrid(c.grid, "test");
    EXPECT_EQ(board.CheckSolved(c.needTap), c.solved);
  }
}

TEST_F(GridTest, ASecondPressNearTheFirstTurnsTheTileAndTheLastTurnSolvesTheJunction) {
  cl_WireBoard board;
  board.BuildGrid(Level("gui/minigames/wiretap/grid1.xml"), "grid1.xml");
  // The line down the middle column wants a turn of each straight piece and three of the T.
  TurnCell(board, 1, 0);
  TurnCell(board, 1, 1, 3);
  TurnCell(board, 1, 2);
  EXPECT_FALSE(board.IsSolved());
  PressCell(board, 2, 1);
  ASSERT_NE(board.GetPicked(), nullptr);
  EXPECT_EQ(board.GetPicked(), board.TileAtCell(2, 1));
  PressCell(board, 2, 1, 10.0f, -10.0f);  // within 10 px on both axes: a turn
  EXPECT_EQ(board.GetPicked(), nullptr);
  EXPECT_TRUE(board.IsSolved());
  EXPECT_EQ(board.TileAtCell(2, 1)->m_Mask, cl_WiretapPanel::SIDE_LEFT | cl_WiretapPanel::SIDE_RIGHT);
  // Solved: further presses lift nothing.
  PressCell(board, 0, 0);
  EXPECT_EQ(board.GetPicked(), nullptr);
}

TEST_F(GridTest, APressFartherAwaySwapsWithTheTileThereOrOnlyDropsTheTile) {
  cl_WireBoard board;
  board.BuildGrid(Level("gui/minigames/wiretap/grid_swap.xml"), "grid_swap.xml");
  const tTile* straight = board.TileAtCell(0, 1);
  const tTile* blank = board.TileAtCell(2, 1);
  // 11 px to the right is still the same tile: the press over no other tile only drops it.
  PressCell(board, 0, 1);
  PressCell(board, 0, 1, 11.0f, 0.0f);
  EXPECT_EQ(board.GetPicked(), nullptr);
  EXPECT_EQ(board.TileAtCell(0, 1), straight);
  EXPECT_EQ(straight->m_Mask, cl_WiretapPanel::SIDE_LEFT | cl_WiretapPanel::SIDE_RIGHT);
  // Outside every tile: dropped as well.
  PressCell(board, 0, 1);
  Press(board, 300.0f, 100.0f);
  EXPECT_EQ(board.GetPicked(), nullptr);
  EXPECT_EQ(board.TileAtCell(0, 1), straight);
  // Onto the blank: the two change places and the circuit closes.
  PressCell(board, 0, 1);
  PressCell(board, 2, 1);
  EXPECT_EQ(board.TileAtCell(2, 1), straight);
  EXPECT_EQ(board.TileAtCell(0, 1), blank);
  EXPECT_EQ(straight->m_Left, board.TileAtCell(1, 1));
  EXPECT_TRUE(board.IsSolved());
}

TEST_F(GridTest, AReleaseAtAScreenEdgeLeavesThePressDoesNot) {
  struct st_Case {
    float x;
    int type;
    int zone;
    bool leaves;
  } cases[] = {
      {17.0f, base::ICMD::LEFT_UP, 1, true},   {17.0f, base::ICMD::RIGHT_UP, 1, true},
      {17.0f, base::ICMD::LEFT_DOWN, 1, false}, {18.0f, base::ICMD::LEFT_UP, 0, false},
      {975.0f, base::ICMD::LEFT_UP, 2, true},   {974.0f, base::ICMD::RIGHT_UP, 0, false},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.x);
    cl_WireBoard board;
    board.BuildGrid(Level("gui/minigames/wiretap/grid1.xml"), "grid1.xml");
    const bool used = Send(board, c.type, c.x, 400.0f);
    EXPECT_EQ(board.GetExitZone(), c.zone);
    EXPECT_EQ(used, c.leaves);
    EXPECT_EQ(board.IsFinished(), c.leaves);
  }
}

TEST_F(GridTest, TheGameEndsOneSecondOfPlayAfterTheCircuitCloses) {
  cl_WireBoard board;
  board.BuildGrid(Level("gui/minigames/wiretap/grid_solved.xml"), "grid_solved.xml");
  ASSERT_TRUE(board.IsSolved());
  EXPECT_FALSE(board.IsFinished());
  board.Update(0.5f);
  EXPECT_FLOAT_EQ(board.m_EndTime, 1.5f);
  board.Update(0.5f);
  board.Update(0.5f);
  EXPECT_FALSE(board.IsFinished());  // exactly one second later: not yet
  board.Update(0.1f);
  EXPECT_TRUE(board.IsFinished());
  board.End();
  EXPECT_FLOAT_EQ(board.m_Time, 0.0f);
  EXPECT_FLOAT_EQ(board.m_EndTime, 0.0f);
  EXPECT_FALSE(board.IsSolved());
}

}  // namespace
}  // namespace gridtest
