// cl_SabotagePhase2: the Sabotage game's pipe grid, the bottom-right quarter: the wire-tap board
// (tiles, picking, turning, swapping, the clock and its Skill bonus) with three gas inlets on its
// left edge and three tanks on its top edge. Each pipe is joined when every opening reachable
// from its inlet meets its neighbour's, except left ends on the left edge and up ends on a tank
// column's top tile, and its tank is reached from below. A pipe that carries gas (from the pump
// panel) and is joined fills its column of the mixing panel. Never a mini-game of its own:
// cl_Sabotage lays it out, updates, draws and feeds it. Main thread only.
#pragma once

#include "quillane/minigames/sabotage/ActionElement.h"
#include "quillane/minigames/wiretap/WireTap.h"

namespace quillane {

class cl_Sabotage;
class cl_SabotagePhase3;

class cl_SabotagePhase2 : public cl_WiretapPanel {
 public:
  static constexpr int kPipes = 3;
  static constexpr int kCellSize = 159;  // at scale 1
  static constexpr int kMinColumns = 4, kMinRows = 3;

  cl_SabotagePhase2();
  ~cl_SabotagePhase2() override;

  // ---- cl_WiretapPanel
  using cl_WiretapPanel::HandleInput;
  using cl_WiretapPanel::Init;
  void Update(float dt) override;  // elements, then the board's clock and win handling, then the lights
  // Without restart the cell (0, 0) anchor from the grid scale; then the mission copy and the grid
  // file "gui/minigames/sabotage/" + the element's "Filename". False for a null element.
  bool Init(base::Variant* mission, bool restart) override;
  void UpdateCursor(bool overTile, float x, float y) override;  // only the hover mark
  bool CheckSolved(bool needTap) override;                      // the pipe check; true when all three are joined
  bool Restart() override;

  // ---- what the game and the pump panel call
  // The first call only: cells of 159 pixels at the scale, Init, the pipe elements, the pipe
  // check and, after an earlier play, gas in all pipes at once. False (logged) when the grid
  // file gives fewer than 4 columns or 3 rows; the next call tries again.
  bool Layout(base::Variant* mission, float scale, cl_Sabotage* game, cl_SabotagePhase3* mixer);
  // The board's input with the pointer taken relative to the origin; declined while an element
  // moves and once the grid is solved.
  bool HandleInput(const base::ICMD& cmd, float originX, float originY);
  void Draw(float originX, float originY, float scale);
  // Gas reaches pipe i: at once (the flag turns) or with its fill growing and its sound; the
  // third pipe marks the game's first solution and scrolls the view here.
  void FillPipe(int pipe, bool instant);
  // The textures of the grid's part of the data file, by the open file's mode: compiled from the
  // pictures when writing.
  void ArchiveTextures(cl_MinigameDataFile& file);
  void CompileTextures();

  // ---- read by the game, the play driver and the tests
  cl_ActionElement& GetLight(int i) { return m_Lights[i]; }
  const cl_ActionElement& GetFlag(int i) const { return m_Flags[i]; }
  const cl_ActionElement& GetPipeFill(int i) const { return m_PipeFills[i]; }
  bool HasGas(int pipe) const { return m_Gas[pipe]; }
  bool IsJoined(int pipe) const { return m_Joined[pipe]; }
  // A fill or flag moves, or has steps queued (also before the first update).
  bool IsAnimating() const;
  bool IsHovering() const { return m_Hover; }
  bool IsLaidOut() const { return m_LaidOut; }
  // The middle of pipe i's tank (0..2), above the board's top row over its column, from the
  // panel's origin; false for another index.
  bool TankMiddle(int pipe, float& x, float& y) const;

  // A pipe from the tile in row `row`, column 0 to the tile in row 0, column `column`.
  bool Connected(int row, int column);

 private:
  bool TracePipe(st_Tile* tile, const st_Tile* tank);
  bool IsTankColumn(int column) const;

  bool m_LaidOut = false;
  float m_GridScale = 1.0f;
  bool m_Gas[kPipes] = {};
  bool m_Joined[kPipes] = {};
  cl_ActionElement m_Flags[kPipes];
  cl_ActionElement m_FlagOverlays[kPipes];
  cl_ActionElement m_PipeFills[kPipes];
  cl_ActionElement m_Lights[kPipes];  // 1 and 2 are the alarm lights; 0 has no picture
  bool m_Animating = false;
  cl_SabotagePhase3* m_Mixer = nullptr;  // not owned
  cl_Sabotage* m_Game = nullptr;         // not owned
  bool m_Hover = false;
};

}  // namespace quillane
