// The wire-tap game's play: start and restart, the pointer's picks, turns and swaps, the screen-
// edge exits, the play clock with its time bonus, the fizzle of a lit circuit and the result.
#include "quillane/minigames/wiretap/WireTap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "base/app/ICMD.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

constexpr float kEndDelay = 1.0f;  // play-clock seconds between the closed circuit and the end

void PlayFizzle() { PlayGameSound("sfx/MG_Wiretap_fizzle.ogg", "WiretapFizzle", 0.5f); }

}  // namespace

cl_WiretapPanel::cl_WiretapPanel() {
  m_Label = "WiretapGame";
  const float w = static_cast<float>(base::sys::GetWindowWidth()) / 2.0f;
  const float h = static_cast<float>(base::sys::GetWindowHeight()) / 2.0f;
  m_Tutorials.emplace_back(
      "#wiret0_01 I have to patch my earphone into the telephone line. It is plugged into the maintenance "
      "connector already, but the line between the incoming and the outgoing telephone must keep working.",
      w, h, 400, 4, "Start", 10.0f);
  m_Tutorials.emplace_back(
      "#wiret0_02 Rearrange the tiles so that the incoming line is joined to both outgoing lines in one closed "
      "circuit without loose ends. Every tile may be swapped and turned.",
      w, h, 400, 4, "Start", 10.0f);
  m_Tutorials.emplace_back(
      "#wiret0_03 A left click selects a tile for swapping, the next left click selects the second tile. A left "
      "double click turns a tile by 90 degrees clockwise.",
      w, h, 400, 4, "Start", 10.0f);
  m_Tutorials.emplace_back("#wiret0_04 Success!", w, h, 400, 4, "Win", 10.0f);
}

cl_WiretapPanel::~cl_WiretapPanel() = default;

i_Minigame* cl_WiretapPanel::Create() { return new cl_WiretapPanel(); }

void cl_WiretapPanel::PlaceBoard() {
  const st_BoardPlace place = PlaceBoardIn(base::sys::GetWindowWidth(), base::sys::GetWindowHeight(), m_Scale,
                                           m_GridBack.GetWidth(), m_GridBack.GetHeight());
  m_BoardScale = place.scale;
  m_GridBackX = place.gridBackX, m_GridBackY = place.gridBackY;
  m_OriginX = place.originX, m_OriginY = place.originY;
}

cl_WiretapPanel::st_BoardPlace cl_WiretapPanel::PlaceBoardIn(int64_t windowWidth, int64_t windowHeight,
                                                             float layoutScale, int gridBackWidth, int gridBackHeight) {
  st_BoardPlace place;
  // Never larger than laid out; a window narrower than the layout shrinks the board with the
  // panel behind it.
  place.scale = std::isfinite(layoutScale) ? std::clamp(layoutScale, 0.1f, 1.0f) : 1.0f;
  // Whole pixels, as the integer halving of the window and picture sizes gives them (in 64 bits:
  // the sizes come from the data file).
  const auto scaled = [&place](int size) {
    return static_cast<int64_t>(std::lround(static_cast<float>(size) * place.scale));
  };
  place.gridBackX = static_cast<float>((windowWidth - scaled(gridBackWidth)) / 2);
  // Across, the frame is centred. Down, the grid is: it lies 128 pixels below the frame's top
  // and reaches its bottom edge, so a centred frame would push the devices below the grid (the
  // tap, the lower connector) out of the game's panel into the black band under it.
  place.originY = static_cast<float>((windowHeight - scaled(gridBackHeight - 128)) / 2);
  place.gridBackY = place.originY - std::round(128.0f * place.scale);
  place.originX = std::round(place.gridBackX + 128.0f * place.scale);
  return place;
}

bool cl_WiretapPanel::StartBoard(base::Variant* mission, bool restart, const char* failure) {
  if (!restart) {
    if (!ReadDataFile()) {
      base::sys::Output("%s\n", failure);
      return false;
    }
    PlaceBoard();
  }
  if (mission && mission != &m_MissionElement) m_MissionElement.copy(*mission);
  m_Picked = nullptr;
  m_Solved = m_Exit = false;
  m_PanelY = (static_cast<float>(base::sys::GetWindowHeight()) - m_Scale * m_Back.GetHeight()) * 0.5f;
  ResetPanicTimer(static_cast<float>(Wiretap_Panic_Timeout));
  return true;
}

bool cl_WiretapPanel::Init(base::Variant* mission, bool restart) {
  if (!StartBoard(mission, restart, "Wiretap Minigame Error! Cannot read Textures!")) return false;
  base::tString<base::BaseString> path = "gui/minigames/wiretap/";
  base::tString<base::BaseString> file;
  if (mission) mission->get_attribute_string("Filename", file);
  path += file;
  TriggerTutorial("Missions/Minigames/Wiretap", "Start", true);
  return ReadGrid(path);
}

bool cl_WiretapPanel::Restart() {
  m_Exit = m_Solved = false;
  return Init(&m_MissionElement, true);
}

void cl_WiretapPanel::End() {
  if (m_Finished) m_Solved = true;  // skipped: counts as won
  SetResult(m_Solved);
  m_Solved = m_Exit = false;
  m_Time = m_EndTime = 0.0f;
  m_ExitZone = 0;
  SetGameCursor("gamecursor");
}

bool cl_WiretapPanel::IsFinished() {
  if (m_Finished || m_Exit) return true;
  return m_Solved && m_EndTime > 0.0f && m_Time > m_EndTime;
}

// ---- Input

void cl_WiretapPanel::PlayClick() { PlayGameSound("sfx/MG_Wiretap_click.ogg", "WiretapClick", 1.0f); }

bool cl_WiretapPanel::HandleInput(base::ICMD& cmd) {
  if (HitSkipButton(cmd, 0.0f, m_PanelY, m_Scale)) return true;
  if (HandleTutorialInput(cmd)) return true;
  const float x = cmd.mouseX, y = cmd.mouseY;
  st_Tile* hover = TileAt(x, y, nullptr);
  UpdateCursor(hover || m_Picked, x, y);
  if (m_Solved) return false;
  if (m_ExitZone != 0) {
    if (cmd.type == base::ICMD::LEFT_UP || cmd.type == base::ICMD::RIGHT_UP) {
      m_Exit = true;
      return true;
    }
    return false;
  }
  if (cmd.type != base::ICMD::LEFT_DOWN) return false;
  if (m_Picked) {
    // The second press: near the first it turns the lifted tile, elsewhere it drops the tile
    // onto the one under the pointer.
    if (HasMovedFromPress(x, y)) {
      if (st_Tile* target = TileAt(x, y, m_Picked)) {
        st_Tile* picked = m_Picked;
        m_Picked = nullptr;
        SwapTiles(picked, target);
        LinkNeighbours();
        PlayClick();
      }
    } else {
      m_Picked->Rotate(false);
      PlayClick();
    }
    m_Solved = CheckSolved(true);
    m_Picked = nullptr;
    m_PressX = m_PressY = m_GrabX = m_GrabY = 0.0f;
    PlaceTiles();
    return false;
  }
  if (hover) {
    m_Picked = hover;
    m_PressX = x;
    m_PressY = y;
    m_GrabX = x - hover->m_AnchorX;
    m_GrabY = y - hover->m_AnchorY;
  }
  return false;
}

void cl_WiretapPanel::UpdateCursor(bool overTile, float x, float /*y*/) {
  if (m_Solved) {
    SetGameCursor("gamecursor");
    return;
  }
  SetGameCursor(overTile ? "cursor_manipulate" : "gamecursor");
  m_ExitZone = EdgeZoneAt(static_cast<int>(x));
  if (m_ExitZone == EDGE_LEFT) SetGameCursor("cursor_exit_left");
  if (m_ExitZone == EDGE_RIGHT) SetGameCursor("cursor_exit_right");
}

// ---- play targets

bool cl_WiretapPanel::GetPlayTarget(const char* name, float& x, float& y) {
  int column = 0, row = 0;
  char rest = 0;
  if (name && std::sscanf(name, "cell %d %d%c", &column, &row, &rest) == 2)
    return CellMiddle(column, row, x, y) && IsOnWindow(x, y);
  return i_Minigame::GetPlayTarget(name, x, y);
}

bool cl_WiretapPanel::IsPlayCondition(const char* name) { return i_Minigame::IsPlayCondition(name) && !IsTurning(); }

// ---- The clock

void cl_WiretapPanel::Update(float dt) {
  i_Minigame::Update(dt);
  if (UpdateTutorial(dt)) return;  // the clock stands while a tutorial shows
  m_Time += dt;
  if (m_Solved && m_EndTime == 0.0f) {
    TriggerTutorial("", "Win", false);
    m_EndTime = m_Time + kEndDelay;
    const int bonus = m_Time <= 30.0f ? 30 : m_Time <= 60.0f ? 20 : 10;
    if (!m_SkipVisible) RaiseSkill(bonus);
  }
  bool anyLit = false;
  for (const auto& row : m_Grid)
    for (const auto& cell : row) anyLit = anyLit || (cell && cell->m_Lit);
  if (!anyLit) {
    st_Tile::s_FlickerValue = 0.0f;
    st_Tile::s_FizzleClock = 0.0f;
    return;
  }
  if (st_Tile::s_FizzleClock == 0.0f) {
    st_Tile::s_FlickerValue = 2.5f;
    PlayFizzle();
  }
  st_Tile::s_FizzleClock += dt;
  if (st_Tile::s_FizzleClock < st_Tile::s_FlickerWindow) {
    st_Tile::s_FlickerValue += 0.11f;
  } else if (base::Random(1000) > 990) {
    // Now and then the line crackles again.
    st_Tile::s_FlickerValue = 550.0f;
    st_Tile::s_FizzleClock = 0.5f;
    PlayFizzle();
  }
}

}  // namespace quillane
