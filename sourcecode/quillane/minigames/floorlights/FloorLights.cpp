// The floor-lights game: the wire-tap board with six fixed terminals (power feed, two connectors
// that may end a line, three lamps), its own win rule, art and data file.
#include "quillane/minigames/floorlights/FloorLights.h"

#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"

namespace quillane {

namespace {

constexpr const char* kGridFile = "gui/minigames/floorlights/grid.xml";

// ORDER TERMINALS: the terminal indices with their cells (column, row) and the opening whose
// presence marks the tile, with the mark it gets.
struct st_Terminal {
  int index;
  int column, row;
  int side;
  int mark;
};
constexpr st_Terminal kTerminals[] = {
    {0, 0, 0, cl_WiretapPanel::SIDE_LEFT, cl_WiretapPanel::TERMINAL_LEFT},
    {1, 0, 1, cl_WiretapPanel::SIDE_LEFT, cl_WiretapPanel::TERMINAL_LEFT},
    {2, 0, 2, cl_WiretapPanel::SIDE_DOWN, cl_WiretapPanel::TERMINAL_TAP},
    {cl_FloorLightsPanel::LAMP_FLOOR_TOP, 2, 0, cl_WiretapPanel::SIDE_UP, cl_WiretapPanel::TERMINAL_IN},
    {cl_FloorLightsPanel::LAMP_FLOOR_RIGHT, 2, 1, cl_WiretapPanel::SIDE_RIGHT, cl_WiretapPanel::TERMINAL_OUT},
    {cl_FloorLightsPanel::LAMP_HANGAR, 2, 2, cl_WiretapPanel::SIDE_RIGHT, cl_WiretapPanel::TERMINAL_OUT},
};

// The terminal pictures (0 to 5 and 15 to 20) by texture index; null: none.
const char* TerminalFile(int index) {
  switch (index) {
    case 0:
    case 1: return "gui/minigames/FloorLights/leftin.tga";
    case 2: return "gui/minigames/FloorLights/lowerin.tga";
    case 3:
    case 4: return "gui/minigames/FloorLights/leftin_active.tga";
    case 5: return "gui/minigames/FloorLights/lowerin_active.tga";
    case 15: return "gui/minigames/FloorLights/upperin.tga";
    case 16:
    case 17: return "gui/minigames/FloorLights/rightin.tga";
    case 18: return "gui/minigames/FloorLights/upperin_active.tga";
    case 19:
    case 20: return "gui/minigames/FloorLights/rightin_active.tga";
    default: return nullptr;
  }
}

}  // namespace

cl_FloorLightsPanel::cl_FloorLightsPanel() {
  m_Tutorials.clear();
  const float w = static_cast<float>(base::sys::GetWindowWidth()) / 2.0f;
  const float h = static_cast<float>(base::sys::GetWindowHeight()) / 2.0f;
  m_Tutorials.emplace_back(
      "#floorl0_01 Hmm… I have to find a way to switch off the light on the factory floor but leave the light on "
      "in the hangar area.",
      w, h, 400, 4, "Start", 10.0f);
  m_Tutorials.emplace_back(
      "#floorl0_02 The power comes in at the upper left.[BR]Turn and swap the tiles until only the hangar lamp "
      "is lit.",
      w, h, 400, 4, "Start", 10.0f);
  m_Tutorials.emplace_back("#wiret0_04 Success!", w, h, 400, 4, "Win", 10.0f);
}

cl_FloorLightsPanel::~cl_FloorLightsPanel() = default;

i_Minigame* cl_FloorLightsPanel::Create() { return new cl_FloorLightsPanel(); }

bool cl_FloorLightsPanel::Init(base::Variant* mission, bool restart) {
  if (!StartBoard(mission, restart, "FloorLights Minigame Error! Cannot read Textures!")) return false;
  // The board is fixed: the mission's "Filename" names no other grid here.
  TriggerTutorial("Missions/Minigames/FloorLights", "Start", true);
  if (!ReadGrid(kGridFile)) return false;
  PlaceTerminals();
  m_Solved = CheckSolved(false);
  return true;
}

void cl_FloorLightsPanel::PlaceTerminals() {
  for (const st_Terminal& t : kTerminals) {
    m_TerminalCell[t.index][0] = static_cast<float>(t.column);
    m_TerminalCell[t.index][1] = static_cast<float>(t.row);
  }
  const float x0 = m_OriginX, y0 = m_OriginY, c = BoardCell();
  auto place = [this](int index, float x, float y) {
    m_TerminalPos[index][0] = x;
    m_TerminalPos[index][1] = y;
  };
  auto width = [this](int index) { return static_cast<float>(m_Textures[index].GetWidth()) * m_BoardScale; };
  place(0, x0 - width(0), y0);
  place(1, x0 - width(1), y0 + c);
  place(2, x0, y0 + 3.0f * c);
  place(LAMP_FLOOR_TOP, x0 + 2.0f * c, y0 - static_cast<float>(m_Textures[LAMP_FLOOR_TOP].GetHeight()) * m_BoardScale);
  place(LAMP_FLOOR_RIGHT, x0 + 3.0f * c, y0 + c);
  place(LAMP_HANGAR, x0 + 3.0f * c, y0 + 2.0f * c);
}

bool cl_FloorLightsPanel::CheckSolved(bool) {
  ClearMarks();
  st_Tile* tiles[kTextureCount] = {};
  for (const st_Terminal& t : kTerminals) {
    st_Tile* tile = TileAtCell(static_cast<int>(m_TerminalCell[t.index][0]), static_cast<int>(m_TerminalCell[t.index][1]));
    tiles[t.index] = tile;
    if (tile && (tile->m_Mask & t.side)) tile->m_Terminal = t.mark;
  }
  st_Tile* feed = tiles[0];
  st_Tile* lower = tiles[2];
  if (!feed || !(feed->m_Mask & SIDE_LEFT) || !lower || !(lower->m_Mask & SIDE_DOWN)) return false;
  const bool ok = feed->TraceCircuit();
  feed->m_Lit = ok;
  if (!ok) ClearLit();
  auto litToward = [&tiles](int index, int side) {
    const st_Tile* tile = tiles[index];
    return tile && tile->m_Lit && (tile->m_Mask & side);
  };
  return litToward(LAMP_HANGAR, SIDE_RIGHT) && !litToward(LAMP_FLOOR_TOP, SIDE_UP) &&
         !litToward(LAMP_FLOOR_RIGHT, SIDE_RIGHT);
}

void cl_FloorLightsPanel::DrawTerminals(float x, float y) {
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  // The second left connector shows the feed's picture (its own slot holds the same file).
  const int pictures[][2] = {{0, 0}, {0, 1}, {2, 2}, {LAMP_FLOOR_TOP, LAMP_FLOOR_TOP},
                             {LAMP_FLOOR_RIGHT, LAMP_FLOOR_RIGHT}, {LAMP_HANGAR, LAMP_HANGAR}};
  for (const auto& [picture, terminal] : pictures)
    gfx::DrawTextureAt(&m_Textures[picture], m_TerminalPos[terminal][0], m_TerminalPos[terminal][1], m_BoardScale);
  const float* top = m_TerminalPos[LAMP_FLOOR_TOP];
  const float* right = m_TerminalPos[LAMP_FLOOR_RIGHT];
  const float* hangar = m_TerminalPos[LAMP_HANGAR];
  const float s = m_BoardScale;
  gfx::DrawImage(&m_FloorSign, top[0] + 100.0f * s, top[1], s);
  gfx::DrawImage(&m_FloorSign, right[0] + 50.0f * s,
                 right[1] + (5.0f - static_cast<float>(m_FloorSign.GetHeight())) * s, s);
  gfx::DrawImage(&m_HangarSign, hangar[0] + 50.0f * s, hangar[1] + 110.0f * s, s);
  for (const st_Terminal& t : kTerminals) DrawLitTerminal(x, y, t.index);
}

// ---- The data file

bool cl_FloorLightsPanel::Compile(const char* dataFile) {
  base::sys::Output("Compile FloorLights Minigame\n");
  if (!CompileBoardImage(m_Back, "gui/minigames/wiretap/back.tga")) return false;
  if (!CompileBoardImage(m_GridBack, "gui/minigames/FloorLights/gridback.tga")) return false;
  CompileBoardImage(m_GridFront, "gui/minigames/wiretap/gridfront.tga");
  CompileBoardImage(m_Note, "gui/minigames/wiretap/note.tga");
  CompileBoardImage(m_FloorSign, "gui/minigames/FloorLights/floor_schild.tga");
  CompileBoardImage(m_HangarSign, "gui/minigames/FloorLights/hangar_schild.tga");
  CompileTileTextures();
  for (int i = 0; i < kTextureCount; ++i)
    if (const char* file = TerminalFile(i)) {
      m_Textures[i].SetFileA8R8G8B8(file);
      m_Textures[i].Load();
    }
  if (!CompilePanicStrip("gui/minigames/wiretap/texturestrips/panicbutton")) return false;
  return WriteDataFile(dataFile);
}

std::vector<gfx::cl_Image*> cl_FloorLightsPanel::DataImages() {
  return {&m_Back, &m_GridBack, &m_GridFront, &m_Note, &m_FloorSign, &m_HangarSign};
}

}  // namespace quillane
