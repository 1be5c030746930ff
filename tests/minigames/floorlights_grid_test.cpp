// The floor-lights board without a session: its fixed terminals and its win rule on the demo's
// lamp board and on variants that light a floor lamp or cut the lower connector.
#include "grid_fixture.h"

namespace gridtest {
namespace {

using quillane::cl_FloorLightsPanel;

TEST_F(GridTest, TurningEveryTileOfTheLineLightsTheHangarLamp) {
  cl_LampBoard board;
  board.Build(Level("gui/minigames/floorlights/grid.xml"));
  EXPECT_FALSE(board.IsSolved());
  int column, row;
  board.GetTerminalCell(cl_FloorLightsPanel::LAMP_HANGAR, column, row);
  EXPECT_EQ(column, 2);
  EXPECT_EQ(row, 2);
  // Each tile of the line and the lower connector want one turn; the hangar's tile comes last.
  for (auto [c, r] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 2}, {1, 2}}) {
    TurnCell(board, c, r);
    EXPECT_FALSE(board.IsSolved()) << c << ", " << r;
  }
  TurnCell(board, 2, 2);
  EXPECT_TRUE(board.IsSolved());
  // The circuit from the feed is lit; the lower connector's own line end is not part of it.
  for (auto [c, r, lit] : {std::tuple{0, 0, true}, {1, 0, true}, {1, 1, true}, {1, 2, true}, {2, 2, true},
                           {0, 2, false}, {2, 0, false}})
    EXPECT_EQ(board.TileAtCell(c, r)->m_Lit, lit) << c << ", " << r;
}

TEST_F(GridTest, ALitFloorLampOrACutLowerConnectorLeavesTheBoardUnsolved) {
  // Rows of (texture, rotation); (2, 0) is the top floor lamp's cell.
  struct st_Case {
    const char* what;
    base::Variant grid;
    bool solved;
  } cases[] = {
      {"the circuit turns up into the top floor lamp", Level("gui/minigames/floorlights/grid_floorlamp.xml"), false},
      {"the same circuit with a corner there, closed, no up opening",
       Cells("", {{10, 1}, {10, 1}, {8, 3}, {6, 0}, {6, 0}, {10, 0}, {7, 0}, {6, 0}, {8, 1}}), true},
      {"the right floor lamp's tile opens toward its lamp",
       Cells("", {{10, 1}, {10, 1}, {8, 3}, {6, 0}, {6, 0}, {9, 3}, {7, 0}, {6, 0}, {8, 1}}), false},
      {"the lower connector without its down opening",
       Cells("", {{10, 1}, {10, 1}, {8, 3}, {6, 0}, {6, 0}, {10, 0}, {7, 2}, {6, 0}, {8, 1}}), false},
      {"no feed at the upper left", Cells("", {{8, 0}, {10, 1}, {8, 3}, {6, 0}, {6, 0}, {10, 0}, {7, 0}, {6, 0}, {8, 1}}),
       false},
  };
  for (st_Case& c : cases) {
    SCOPED_TRACE(c.what);
    cl_LampBoard board;
    board.Build(c.grid);
    EXPECT_EQ(board.IsSolved(), c.solved);
  }
}

}  // namespace
}  // namespace gridtest
