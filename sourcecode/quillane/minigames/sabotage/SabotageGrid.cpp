// The Sabotage pipe grid: layout, the pipe check, gas in the pipes, input and drawing on the
// wire-tap board.
#include "quillane/minigames/sabotage/SabotageGrid.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/app/ICMD.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/sabotage/Sabotage.h"
#include "quillane/minigames/sabotage/SabotageMixer.h"

namespace quillane {

namespace {

constexpr const char* kGridFolder = "gui/minigames/sabotage/";
constexpr float kOriginX = 160.0f, kOriginY = 50.0f;  // cell (0, 0), at scale 1
// ORDER PIPES: pipe i runs from the tile in row kInletRows[i], column 0 to the tile in row 0,
// column kTankColumns[i].
constexpr int kInletRows[cl_SabotagePhase2::kPipes] = {0, 1, 2};
constexpr int kTankColumns[cl_SabotagePhase2::kPipes] = {0, 2, 3};
constexpr float kFlagPlaces[cl_SabotagePhase2::kPipes][2] = {{-40.0f, 105.0f}, {-40.0f, 258.0f}, {-40.0f, 419.0f}};
constexpr float kOverlayPlaces[cl_SabotagePhase2::kPipes][2] = {{20.0f, 160.0f}, {20.0f, 313.0f}, {20.0f, 474.0f}};
constexpr float kFillPlaces[cl_SabotagePhase2::kPipes][2] = {{54.0f, 176.0f}, {54.0f, 328.0f}, {54.0f, 490.0f}};
constexpr const char* kFluids[cl_SabotagePhase2::kPipes] = {"phase2_fluid1", "phase2_fluid2", "phase2_fluid3"};
constexpr float kFillHeight = 12.0f;
constexpr float kFillLength = 58.0f;  // how far gas fills an inlet, in 1 s
// The flag turns about this point, measured from its picture's right and bottom edges.
constexpr float kFlagPivotFromRight = 34.0f, kFlagPivotFromBottom = 63.0f;

// ORDER TEXTURES (with WireTapData.cpp): the grid's texture table; the terminal pictures are the
// wire-tap game's, the tiles and their lit forms (which look the same) the Sabotage game's.
constexpr const char* kTileFiles[] = {
    "gui/minigames/sabotage/tile00.tga", "gui/minigames/sabotage/tile01.tga", "gui/minigames/sabotage/tile02.tga",
    "gui/minigames/sabotage/tile03.tga", "gui/minigames/sabotage/tile04.tga",
};

}  // namespace

cl_SabotagePhase2::cl_SabotagePhase2() { m_CellSize = kCellSize; }

cl_SabotagePhase2::~cl_SabotagePhase2() = default;

// ---- the data file

void cl_SabotagePhase2::CompileTextures() {
  CompileTerminalTextures();
  for (int i = kFirstTilePicture; i <= kLastTilePicture + kLitOffset; ++i) {
    const int kind = i <= kLastTilePicture ? i - kFirstTilePicture : i - kLitOffset - kFirstTilePicture;
    CompileTexture(m_Textures[i], kTileFiles[kind]);
    // Textures are loaded at powers of two: a tile is painted a cell wide in the top-left corner
    // of its picture, and turns about the cell's middle.
    m_Textures[i].SetCenter(kCellSize * 0.5f, kCellSize * 0.5f);
  }
}

void cl_SabotagePhase2::ArchiveTextures(cl_MinigameDataFile& file) {
  for (gfx::cl_Texture& texture : m_Textures) file.Record(texture);
}

// ---- start and layout

bool cl_SabotagePhase2::Init(base::Variant* mission, bool restart) {
  if (!restart) {
    m_OriginX = kOriginX * m_GridScale;
    m_OriginY = kOriginY * m_GridScale;
  }
  if (!mission) return false;
  if (mission != &m_MissionElement) m_MissionElement.copy(*mission);
  m_Picked = nullptr;
  m_Solved = m_Exit = false;
  m_PanelY = 0.0f;
  base::tString<base::BaseString> path = kGridFolder, file;
  m_MissionElement.get_attribute_string("Filename", file);
  path += file;
  return ReadGrid(path);
}

bool cl_SabotagePhase2::Restart() {
  m_Exit = m_Solved = false;
  const bool ok = Init(&m_MissionElement, true);
  CheckSolved(false);
  return ok;
}

bool cl_SabotagePhase2::Layout(base::Variant* mission, float scale, cl_Sabotage* game, cl_SabotagePhase3* mixer) {
  if (m_LaidOut) return true;
  m_CellSize = static_cast<int>(kCellSize * scale);
  m_GridScale = scale;
  if (!Init(mission, false)) return false;
  // The pipes reach row 0 of column 3: a smaller board has no place for them.
  if (GetColumns() < kMinColumns || GetRows() < kMinRows) {
    base::tString<base::BaseString> file;
    m_MissionElement.get_attribute_string("Filename", file);
    base::sys::Output("ERROR: Sabotage grid %s%s must be at least 4×3 (it is %d×%d)\n", kGridFolder, file.c_str(),
                      GetColumns(), GetRows());
    return false;
  }
  m_Mixer = mixer;
  m_Game = game;
  m_LaidOut = true;
  for (int i = 0; i < kPipes; ++i) {
    cl_ActionElement& flag = m_Flags[i];
    flag.SetTexture("phase2_flag", kFlagPlaces[i][0] * scale, kFlagPlaces[i][1] * scale, 0.0f);
    if (flag.m_Texture)
      flag.m_Texture->SetCenter(static_cast<float>(flag.m_Texture->GetWidth()) - kFlagPivotFromRight,
                                static_cast<float>(flag.m_Texture->GetHeight()) - kFlagPivotFromBottom);
    m_FlagOverlays[i].SetImage("phase2_flag_overlay", kOverlayPlaces[i][0] * scale, kOverlayPlaces[i][1] * scale);
    m_PipeFills[i].SetTextureRect(kFluids[i], kFillPlaces[i][0] * scale, kFillPlaces[i][1] * scale, 0.0f,
                                  kFillHeight * scale);
    m_PipeFills[i].m_Quad = true;
  }
  CheckSolved(false);
  if (cl_Sabotage::IsFirstSolved())
    for (int i = 0; i < kPipes; ++i) FillPipe(i, true);
  return true;
}

// ---- the pipes

bool cl_SabotagePhase2::TankMiddle(int pipe, float& x, float& y) const {
  if (pipe < 0 || pipe >= kPipes) return false;
  x = m_OriginX + (static_cast<float>(kTankColumns[pipe]) + 0.5f) * BoardCell();
  y = m_OriginY * 0.5f;  // the band above the board
  return true;
}

bool cl_SabotagePhase2::IsTankColumn(int column) const {
  return std::find(std::begin(kTankColumns), std::end(kTankColumns), column) != std::end(kTankColumns);
}

// A depth-first walk from tile over every opening: each must meet its neighbour's facing opening,
// except a left end on the left edge and an up end on a tank column's top tile. The tank tile
// entered with its up opening is marked lit.
bool cl_SabotagePhase2::TracePipe(st_Tile* tile, const st_Tile* tank) {
  if (!tile) return false;
  tile->m_Visited = true;
  bool result = true;
  if (tile == tank && (tile->m_Mask & SIDE_UP)) tile->m_Lit = true;
  if (tile->m_Mask & SIDE_UP) {
    if (tile->m_Up && (tile->m_Up->m_Mask & SIDE_DOWN)) {
      result = tile->m_Up->m_Visited || TracePipe(tile->m_Up, tank);
    } else {
      int row = -1, column = -1;
      FindTile(tile, row, column);
      if (row != 0 || !IsTankColumn(column)) return false;
    }
  }
  if (tile->m_Mask & SIDE_RIGHT) {
    if (!tile->m_Right || !(tile->m_Right->m_Mask & SIDE_LEFT)) return false;
    result = (tile->m_Right->m_Visited || TracePipe(tile->m_Right, tank)) && result;
  }
  if (tile->m_Mask & SIDE_LEFT) {
    if (tile->m_Left && (tile->m_Left->m_Mask & SIDE_RIGHT))
      result = (tile->m_Left->m_Visited || TracePipe(tile->m_Left, tank)) && result;
    else
      result = result && !tile->m_Left;
  }
  if (tile->m_Mask & SIDE_DOWN) {
    if (!tile->m_Down || !(tile->m_Down->m_Mask & SIDE_UP)) return false;
    if (!tile->m_Down->m_Visited && !TracePipe(tile->m_Down, tank)) return false;
  }
  return result;
}

bool cl_SabotagePhase2::Connected(int row, int column) {
  ClearLit();
  ClearMarks();
  st_Tile* start = TileAtCell(0, row);
  const st_Tile* tank = TileAtCell(column, 0);
  if (!start || !(start->m_Mask & SIDE_LEFT) || !tank) return false;
  const bool ok = TracePipe(start, tank);
  return ok && tank->m_Lit;
}

bool cl_SabotagePhase2::CheckSolved(bool) {
  if (!m_LaidOut) return false;
  for (int i = 0; i < kPipes; ++i) m_Joined[i] = Connected(kInletRows[i], kTankColumns[i]);
  if (m_Mixer) {
    int flowing = 0;
    for (int i = 0; i < kPipes; ++i) {
      if (!m_Gas[i]) continue;
      m_Mixer->SetFilled(i, m_Joined[i]);
      if (m_Joined[i]) ++flowing;
    }
    if (flowing == kPipes && m_Game) m_Game->ScrollTo(cl_Sabotage::VIEW_MIXER);
  }
  // No tile of this board is ever shown lit.
  ClearLit();
  ClearMarks();
  return m_Joined[0] && m_Joined[1] && m_Joined[2];
}

void cl_SabotagePhase2::FillPipe(int pipe, bool instant) {
  if (pipe < 0 || pipe >= kPipes) return;
  const float quarter = std::numbers::pi_v<float> / 2.0f;
  if (instant) {
    m_Flags[pipe].m_Rotation += quarter;
  } else {
    // The flag turns here too, so a turned flag always means gas (it is drawn).
    m_Flags[pipe].AddRotation(quarter, false);
    m_PipeFills[pipe].AddScale(kFillLength * m_GridScale, 0.0f, 1.0f, false);
    PlayGameSound("sfx/MG_Sabotage_gasfill.ogg", "Phase2Gasfill", 1.0f);
    if (pipe == kPipes - 1) {
      cl_Sabotage::SetFirstSolved();
      if (m_Game) m_Game->ScrollTo(cl_Sabotage::VIEW_GRID);
    }
  }
  m_Gas[pipe] = true;
  CheckSolved(false);
}

bool cl_SabotagePhase2::IsAnimating() const {
  if (m_Animating) return true;
  for (int i = 0; i < kPipes; ++i)
    if (m_PipeFills[i].IsAnimating() || m_Flags[i].IsAnimating() || m_FlagOverlays[i].IsAnimating()) return true;
  return false;
}

// ---- play

void cl_SabotagePhase2::UpdateCursor(bool overTile, float, float) { m_Hover = overTile; }

bool cl_SabotagePhase2::HandleInput(const base::ICMD& cmd, float originX, float originY) {
  if (m_Animating || m_Solved) return false;
  base::ICMD local = cmd;
  // Whole pixels on the board; a point left of or above it lies on no tile.
  auto toBoard = [](uint16_t screen, float origin) {
    return static_cast<uint16_t>(std::clamp(std::trunc(static_cast<float>(screen) - origin), 0.0f, 65535.0f));
  };
  local.mouseX = toBoard(cmd.mouseX, originX);
  local.mouseY = toBoard(cmd.mouseY, originY);
  return cl_WiretapPanel::HandleInput(local);
}

void cl_SabotagePhase2::Update(float dt) {
  m_Animating = false;
  for (int i = 0; i < kPipes; ++i) {
    m_Animating = m_PipeFills[i].Update(dt) || m_Animating;
    m_Animating = m_Flags[i].Update(dt) || m_Animating;
    m_Animating = m_FlagOverlays[i].Update(dt) || m_Animating;
  }
  cl_WiretapPanel::Update(dt);
  for (cl_ActionElement& light : m_Lights) light.Update(dt);
}

void cl_SabotagePhase2::Draw(float originX, float originY, float scale) {
  gfx::SetFilterLinear();
  gfx::SetBlendNone();
  cl_Sabotage::DrawLabelImage("phase2_bg", originX, originY, scale);
  DrawTiles(originX, originY, scale);
  for (cl_ActionElement& fill : m_PipeFills) fill.Draw(originX, originY, scale);
  // The flags turn when gas arrives: on a later play, when the pipes fill at once, they are the
  // only sign of the gas.
  for (cl_ActionElement& flag : m_Flags) flag.Draw(originX, originY, scale);
  for (cl_ActionElement& overlay : m_FlagOverlays) overlay.Draw(originX, originY, scale);
  for (cl_ActionElement& light : m_Lights) light.Draw(originX, originY, scale);
}

}  // namespace quillane
