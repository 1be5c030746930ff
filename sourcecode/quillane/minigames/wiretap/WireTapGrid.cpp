// The wire-tap board: tiles and their openings, the grid file, the neighbour links and the trace
// of the circuit. Shared by every grid game.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/data/Variant.h"
#include "base/system.h"
#include "quillane/minigames/wiretap/WireTap.h"

namespace quillane {

using tTile = cl_WiretapPanel::st_Tile;

// ---- Tiles

float tTile::s_QuarterTurn = std::numbers::pi_v<float> / 2.0f;
float tTile::s_FullTurn = 2.0f * std::numbers::pi_v<float>;
float tTile::s_FizzleClock = 0.0f;
float tTile::s_FlickerValue = 0.0f;
float tTile::s_FlickerWindow = 1.5f;

namespace {

// The openings of each tile kind at angle 0, from tile00 (blank) to tile04 (straight).
constexpr int kKindMasks[] = {
    0,                                                                      // blank
    cl_WiretapPanel::SIDE_DOWN,                                             // line end
    cl_WiretapPanel::SIDE_DOWN | cl_WiretapPanel::SIDE_RIGHT,               // corner
    cl_WiretapPanel::SIDE_UP | cl_WiretapPanel::SIDE_LEFT | cl_WiretapPanel::SIDE_RIGHT,  // T piece
    cl_WiretapPanel::SIDE_UP | cl_WiretapPanel::SIDE_DOWN,                  // straight
};

// A turn beyond the fourth repeats the angles from the first on (the fifth wraps to a quarter).
int ReduceTurns(int turns) { return turns > 4 ? (turns - 1) % 4 + 1 : turns; }

}  // namespace

tTile::st_Tile(int texture) {
  s_QuarterTurn = std::numbers::pi_v<float> / 2.0f;
  s_FullTurn = 2.0f * std::numbers::pi_v<float>;
  s_FizzleClock = 0.0f;
  s_FlickerValue = 0.0f;
  s_FlickerWindow = 1.5f;
  SetTexture(texture);
}

void tTile::SetTexture(int index) {
  m_TextureIndex = index;
  const bool isTile = index >= kFirstTilePicture && index <= kLastTilePicture;
  m_Mask = isTile ? kKindMasks[index - kFirstTilePicture] : 0;
}

void tTile::Rotate(bool snap) {
  m_Mask = ((m_Mask & 7) * 2) | (m_Mask >> 3);
  const float a = m_Angle + s_QuarterTurn;
  m_Angle = a;
  if (a > s_FullTurn) {
    // The animation keeps the distance it still has to go.
    const float d = a - m_ShownAngle;
    m_Angle = s_QuarterTurn;
    m_ShownAngle = s_QuarterTurn - d;
  }
  if (snap) m_ShownAngle = m_Angle;
}

bool tTile::Contains(float x, float y, float size, float scale) const {
  const float left = m_AnchorX + m_HitOffsetX * scale, top = m_AnchorY + m_HitOffsetY * scale;
  return left < x && x < left + size && top < y && y < top + size;
}

bool tTile::TraceCircuit() {
  m_Visited = true;
  bool result = true;
  struct st_Way {
    int side;
    tTile* neighbour;
    int facing;
    int terminal;
  };
  // ORDER TRACE: up, right, left, down.
  const st_Way ways[] = {
      {SIDE_UP, m_Up, SIDE_DOWN, TERMINAL_IN},
      {SIDE_RIGHT, m_Right, SIDE_LEFT, TERMINAL_OUT},
      {SIDE_LEFT, m_Left, SIDE_RIGHT, TERMINAL_LEFT},
      {SIDE_DOWN, m_Down, SIDE_UP, TERMINAL_TAP},
  };
  for (const st_Way& way : ways) {
    if (!(m_Mask & way.side)) continue;
    bool closed;
    if (way.neighbour && (way.neighbour->m_Mask & way.facing)) {
      if (way.neighbour->m_Visited) {
        closed = true;
      } else {
        way.neighbour->m_Lit = way.neighbour->TraceCircuit();
        closed = way.neighbour->m_Lit;
      }
    } else {
      closed = m_Terminal == way.terminal;
    }
    result = result && closed;  // every open side is followed, also after a failed one
  }
  return result;
}

// ---- The grid file

bool cl_WiretapPanel::ReadGrid(base::tString<base::BaseString> path) {
  base::Variant document;
  // A missing or damaged level still gives a board (an empty one), but never without a line.
  if (!ReadMinigameData(document, path.c_str()))
    base::sys::Output("ERROR: grid '%s': missing or not XML; the board is empty\n", path.c_str());
  return BuildGrid(document, path.c_str());
}

namespace {

// A grid side from the file: at least the minimum, cut (with a line) to what can be shown.
float GridSide(int value, const char* file, const char* name) {
  if (value > cl_WiretapPanel::kMaxGridSide) {
    base::sys::Output("ERROR: grid '%s': %s %d is larger than %d, cut to %d\n", file, name, value,
                      cl_WiretapPanel::kMaxGridSide, cl_WiretapPanel::kMaxGridSide);
    value = cl_WiretapPanel::kMaxGridSide;
  }
  return static_cast<float>(std::max(value, cl_WiretapPanel::kMinGridSide));
}

// A terminal position clamped to the grid, with a warning when the file placed it outside.
int TerminalPosition(int value, int count, const char* file, const char* name) {
  const int clamped = std::clamp(value, 0, count - 1);
  if (clamped != value)
    base::sys::Output("Warning: grid '%s': %s %d lies outside the grid, %d is used\n", file, name, value, clamped);
  return clamped;
}

}  // namespace

bool cl_WiretapPanel::BuildGrid(const base::Variant& document, const char* file) {
  if (!file) file = "";
  m_Picked = nullptr;
  m_Grid.clear();
  m_Columns = m_Rows = kMinGridSide;
  auto makeGrid = [this] {
    m_Grid.clear();
    m_Grid.resize(static_cast<size_t>(m_Rows));
    for (auto& row : m_Grid) row.resize(static_cast<size_t>(m_Columns));
  };
  makeGrid();
  int inPos = 0, outPos = 0, tapPos = 0;
  float offsetX = 0.0f, offsetY = 0.0f;
  int cursorRow = 0, cursorColumn = 0;
  bool first = true, full = false;

  base::tString<base::BaseString> label;
  for (int i = 0; i < document.size(); ++i) {
    const base::Variant& child = document[i];
    const char* name = child.get_label();
    if (!name) continue;
    label = name;
    if (label == "Data") {
      if (!first) {
        // Cells are already laid out for the earlier size: a new one cannot apply.
        base::sys::Output("ERROR: grid '%s': a \"Data\" element after the first \"Element\" is ignored\n", file);
        continue;
      }
      child.get_attribute_int("TelephoneInPos", inPos);
      child.get_attribute_int("TelephoneOutPos", outPos);
      child.get_attribute_int("TelephoneTapPos", tapPos);
      int g = 0, v = 0;
      child.get_attribute_int("GridSize", g);
      m_Columns = m_Rows = GridSide(g, file, "GridSize");
      if (child.get_attribute_int("GridSize_X", v)) m_Columns = GridSide(v, file, "GridSize_X");
      if (child.get_attribute_int("GridSize_Y", v)) m_Rows = GridSide(v, file, "GridSize_Y");
      if (child.get_attribute_int("Offset_X", v)) offsetX = static_cast<float>(v);
      if (child.get_attribute_int("Offset_Y", v)) offsetY = static_cast<float>(v);
    } else if (label == "Element") {
      if (first) {
        first = false;
        makeGrid();
        const int columns = GetColumns(), rows = GetRows();
        m_TerminalCell[TERMINAL_IN][0] = static_cast<float>(TerminalPosition(inPos, columns, file, "TelephoneInPos"));
        m_TerminalCell[TERMINAL_IN][1] = 0.0f;
        m_TerminalCell[TERMINAL_OUT][0] = static_cast<float>(columns - 1);
        m_TerminalCell[TERMINAL_OUT][1] = static_cast<float>(TerminalPosition(outPos, rows, file, "TelephoneOutPos"));
        m_TerminalCell[TERMINAL_TAP][0] = static_cast<float>(TerminalPosition(tapPos, columns, file, "TelephoneTapPos"));
        m_TerminalCell[TERMINAL_TAP][1] = static_cast<float>(rows - 1);
      }
      if (full) {
        base::sys::Output("ERROR: grid '%s': more \"Element\" entries than %d x %d cells; the rest are ignored\n",
                          file, GetColumns(), GetRows());
        break;
      }
      int texture = kFirstTilePicture, rotation = 0;
      child.get_attribute_int("Texture", texture);
      child.get_attribute_int("Rotation", rotation);
      if (texture < kFirstTilePicture || texture > kLastTilePicture) {
        base::sys::Output("ERROR: grid '%s': Texture %d of cell (%d, %d) is no tile (6 to 10); a blank is used\n", file,
                          texture, cursorColumn, cursorRow);
        texture = kFirstTilePicture;
      }
      if (rotation < 0)
        base::sys::Output("ERROR: grid '%s': Rotation %d of cell (%d, %d) is negative; the tile is not turned\n", file,
                          rotation, cursorColumn, cursorRow);
      auto tile = std::make_unique<st_Tile>(texture);
      tile->m_HitOffsetX = offsetX;
      tile->m_HitOffsetY = offsetY;
      for (int turn = ReduceTurns(rotation); turn > 0; --turn) tile->Rotate(true);
      m_Grid[static_cast<size_t>(cursorRow)][static_cast<size_t>(cursorColumn)] = std::move(tile);
      if (++cursorColumn >= GetColumns()) {
        cursorColumn = 0;
        full = ++cursorRow >= GetRows();
      }
    }
  }
  if (first) {
    // Without any "Element" the board stays the 3 x 3 one it was made as, whatever "Data" said.
    m_Columns = m_Rows = kMinGridSide;
  } else if (!full && (cursorRow > 0 || cursorColumn > 0)) {
    base::sys::Output("Warning: grid '%s': %d x %d cells but fewer \"Element\" entries; the rest are blank\n", file,
                      GetColumns(), GetRows());
  }
  for (auto& row : m_Grid)
    for (auto& cell : row)
      if (!cell) cell = std::make_unique<st_Tile>(kFirstTilePicture);
  PlaceWiretapTerminals();
  LinkNeighbours();
  PlaceTiles();
  m_Solved = CheckSolved(true);
  return true;
}

// ---- Grid operations

tTile* cl_WiretapPanel::TileAtCell(int column, int row) const {
  if (row < 0 || column < 0 || row >= static_cast<int>(m_Grid.size())) return nullptr;
  const auto& cells = m_Grid[static_cast<size_t>(row)];
  if (column >= static_cast<int>(cells.size())) return nullptr;
  return cells[static_cast<size_t>(column)].get();
}

void cl_WiretapPanel::GetTerminalCell(int index, int& column, int& row) const {
  column = row = -1;
  if (index < 0 || index >= kTextureCount) return;
  column = static_cast<int>(m_TerminalCell[index][0]);
  row = static_cast<int>(m_TerminalCell[index][1]);
}

tTile* cl_WiretapPanel::TileAt(float x, float y, const st_Tile* excluded) const {
  for (const auto& row : m_Grid)
    for (const auto& cell : row)
      if (cell && cell.get() != excluded && cell->Contains(x, y, BoardCell(), m_BoardScale)) return cell.get();
  return nullptr;
}

bool cl_WiretapPanel::FindTile(const st_Tile* tile, int& row, int& column) const {
  for (size_t r = 0; r < m_Grid.size(); ++r)
    for (size_t c = 0; c < m_Grid[r].size(); ++c)
      if (tile && m_Grid[r][c].get() == tile) {
        row = static_cast<int>(r);
        column = static_cast<int>(c);
        return true;
      }
  row = column = -1;
  return false;
}

bool cl_WiretapPanel::CellMiddle(int column, int row, float& x, float& y) const {
  const st_Tile* tile = TileAtCell(column, row);
  if (!tile) return false;
  // The cell as the board is drawn and hit: scaled with it in a window narrower than the layout.
  const float cell = BoardCell(), half = cell * 0.5f;
  x = std::trunc(m_OriginX + static_cast<float>(column) * cell) + tile->m_HitOffsetX * m_BoardScale + half;
  y = std::trunc(m_OriginY + static_cast<float>(row) * cell) + tile->m_HitOffsetY * m_BoardScale + half;
  return true;
}

bool cl_WiretapPanel::IsTurning() const {
  for (const auto& row : m_Grid)
    for (const auto& tile : row)
      if (tile && tile->m_ShownAngle != tile->m_Angle) return true;
  return false;
}

void cl_WiretapPanel::SwapTiles(st_Tile* a, st_Tile* b) {
  int ra, ca, rb, cb;
  if (!FindTile(a, ra, ca) || !FindTile(b, rb, cb)) return;
  std::swap(m_Grid[static_cast<size_t>(ra)][static_cast<size_t>(ca)],
            m_Grid[static_cast<size_t>(rb)][static_cast<size_t>(cb)]);
  PlaceTiles();
}

bool cl_WiretapPanel::LinkCell(int row, int column) {
  st_Tile* tile = TileAtCell(column, row);
  if (!tile) return false;
  tile->m_Up = TileAtCell(column, row - 1);
  tile->m_Down = TileAtCell(column, row + 1);
  tile->m_Left = TileAtCell(column - 1, row);
  tile->m_Right = TileAtCell(column + 1, row);
  return true;
}

void cl_WiretapPanel::LinkNeighbours() {
  for (int r = 0; r < static_cast<int>(m_Grid.size()); ++r)
    for (int c = 0; c < static_cast<int>(m_Grid[static_cast<size_t>(r)].size()); ++c) LinkCell(r, c);
}

void cl_WiretapPanel::ClearMarks() {
  for (auto& row : m_Grid)
    for (auto& cell : row)
      if (cell) {
        cell->m_Terminal = TERMINAL_NONE;
        cell->m_Lit = false;
        cell->m_Visited = false;
      }
}

void cl_WiretapPanel::ClearLit() {
  for (auto& row : m_Grid)
    for (auto& cell : row)
      if (cell) cell->m_Lit = false;
}

void cl_WiretapPanel::AnchorInCell(st_Tile& tile, size_t row, size_t column) const {
  // Whole pixels; truncated as floats, so no size read from a data file can overflow an int.
  tile.m_AnchorX = std::trunc(m_OriginX + static_cast<float>(column) * BoardCell());
  tile.m_AnchorY = std::trunc(m_OriginY + static_cast<float>(row) * BoardCell());
}

void cl_WiretapPanel::PlaceTiles() {
  for (size_t r = 0; r < m_Grid.size(); ++r)
    for (size_t c = 0; c < m_Grid[r].size(); ++c)
      if (st_Tile* tile = m_Grid[r][c].get(); tile && tile != m_Picked) AnchorInCell(*tile, r, c);
}

bool cl_WiretapPanel::HasMovedFromPress(float x, float y) const {
  return std::abs(x - m_PressX) > 10.0f || std::abs(y - m_PressY) > 10.0f;
}

void cl_WiretapPanel::PlaceWiretapTerminals() {
  const float cell = BoardCell();
  m_TerminalPos[TERMINAL_IN][0] = m_OriginX + m_TerminalCell[TERMINAL_IN][0] * cell;
  m_TerminalPos[TERMINAL_IN][1] = m_OriginY - static_cast<float>(m_Textures[TERMINAL_IN].GetHeight()) * m_BoardScale;
  m_TerminalPos[TERMINAL_OUT][0] = m_OriginX + m_Columns * cell;
  m_TerminalPos[TERMINAL_OUT][1] = m_OriginY + m_TerminalCell[TERMINAL_OUT][1] * cell;
  // Placed by the picture's width, not the cell size: the art is a cell wide.
  m_TerminalPos[TERMINAL_TAP][0] = m_OriginX + m_TerminalCell[TERMINAL_TAP][0] *
                                                   static_cast<float>(m_Textures[TERMINAL_TAP].GetWidth()) *
                                                   m_BoardScale;
  m_TerminalPos[TERMINAL_TAP][1] = m_OriginY + m_Rows * cell;
}

// ---- The circuit

bool cl_WiretapPanel::CheckSolved(bool needTap) {
  ClearMarks();
  auto terminalTile = [this](int index) {
    return TileAtCell(static_cast<int>(m_TerminalCell[index][0]), static_cast<int>(m_TerminalCell[index][1]));
  };
  st_Tile* in = terminalTile(TERMINAL_IN);
  if (!in || !(in->m_Mask & SIDE_UP)) return false;
  in->m_Terminal = TERMINAL_IN;
  st_Tile* out = terminalTile(TERMINAL_OUT);
  if (out && (out->m_Mask & SIDE_RIGHT)) out->m_Terminal = TERMINAL_OUT;
  st_Tile* tap = terminalTile(TERMINAL_TAP);
  if (tap && (tap->m_Mask & SIDE_DOWN)) tap->m_Terminal = TERMINAL_TAP;
  const bool ok = in->TraceCircuit();
  in->m_Lit = ok;
  if (!ok) ClearLit();
  const bool outReached = out && out->m_Lit && (out->m_Mask & SIDE_RIGHT);
  const bool tapReached = tap && tap->m_Lit && (tap->m_Mask & SIDE_DOWN);
  return outReached && (!needTap || tapReached);
}

}  // namespace quillane
