#include "quillane/minigames/bookshelf/BookShelf.h"

#include <cstdio>
#include <utility>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/core/GameState.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/screen/FontScope.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

constexpr const char* kArtFolder = "gui/minigames/bookshelf/";
constexpr int kMissingBook = 3;

bool BookMissingInGameState() {
  base::Variant* state = GetGameState();
  if (!state) return false;
  const base::Variant* flag =
      base::variant_get_attribute_by_path(*state, "Missions/Minigames/Bookshelf/BookMissing", false);
  return flag && flag->get_int() == 1;
}

}  // namespace

cl_BookshelfPanel::cl_BookshelfPanel() {
  m_Label = "BookshelfGame";
  for (int i = 0; i < kBooks; ++i) m_places[i] = i;
}

cl_BookshelfPanel::~cl_BookshelfPanel() = default;

i_Minigame* cl_BookshelfPanel::Create() { return new cl_BookshelfPanel; }

// ---- layout

base::tRectf cl_BookshelfPanel::PlaceRect(int place) {
  const base::tRectf viewport = GetGameViewportRect();
  const float s = GetGuiScale();
  const float left = viewport.min.x + (260.0f + 80.0f * static_cast<float>(place % kRowLength)) * s;
  const float top = viewport.min.y + (50.0f + 283.0f * static_cast<float>(place / kRowLength)) * s;
  return base::tRectf(left, top, left + 70.0f * s, top + 250.0f * s);
}

int cl_BookshelfPanel::PlaceAt(float x, float y) {
  for (int i = 0; i < kBooks; ++i) {
    const base::tRectf r = PlaceRect(i);
    if (r.min.x <= x && x < r.max.x && r.min.y <= y && y < r.max.y) return i;
  }
  return kNoPlace;
}

// ---- data file

bool cl_BookshelfPanel::Records(cl_MinigameDataFile& data) {
  const bool reading = data.IsReading();  // Finish closes the file
  data.Record(m_background);
  for (gfx::cl_Image& book : m_books) data.Record(book);
  if (data.Finish(*this)) return true;
  if (reading) {
    // Half-read art would show stray tiles; the game plays with empty pictures instead.
    m_background.CreateFromBitmap(nullptr, 0, 0, 0, 0, false, true);
    for (gfx::cl_Image& book : m_books) book.CreateFromBitmap(nullptr, 0, 0, 0, 0, false, true);
    m_PanicStrip.reset();
  }
  return false;
}

bool cl_BookshelfPanel::Compile(const char* dataFile) {
  base::sys::Output("Compile bookshelf Minigame\n");
  base::String path(kArtFolder);
  path += "bg_bookshelf.tga";
  if (!CompileImage(m_background, path.c_str()))
    base::sys::Output("Compile Bookshelf Minigame Error! Texture %s not exists!\n", path.c_str());
  for (int i = 0; i < kBooks; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "book_%d%d.tga", i / 10, i % 10);
    path = kArtFolder;
    path += name;
    if (!CompileImage(m_books[i], path.c_str()))
      base::sys::Output("Compile Bookshelf Minigame Error! Texture %s not exists!\n", path.c_str());
  }
  path = kArtFolder;
  path += "texturestrips/panicbutton";
  CompilePanicStrip(path.c_str());
  cl_MinigameDataFile data;
  return data.OpenWrite(dataFile) && Records(data);
}

// ---- play

bool cl_BookshelfPanel::Init(base::Variant*, bool) {
  if (!m_loaded) {
    cl_MinigameDataFile data;
    if (data.OpenRead(m_DataFile.c_str())) Records(data);
    m_loaded = true;
  }
  m_solved = false;
  m_justSolved = false;
  m_left = false;
  m_time = 0.0f;
  m_endTime = 0.0f;
  m_edge = EDGE_NONE;
  // A book still carried when the last play ended would otherwise be put back over a book of
  // the new shuffle, losing one and doubling another.
  m_carried = -1;
  m_sourcePlace = 0;
  m_pressPlace = kNoPlace;
  for (int i = 0; i < kBooks; ++i) m_places[i] = i;
  for (int i = 0; i < 100; ++i) {
    const int a = base::Random(kBooks), b = base::Random(kBooks);
    std::swap(m_places[a], m_places[b]);
  }
  m_bookMissing = BookMissingInGameState();
  ResetPanicTimer(static_cast<float>(Bookshelf_Panic_Timeout));
  return true;
}

void cl_BookshelfPanel::End() {
  SetGameCursor("gamecursor");
  m_time = 0.0f;
  m_endTime = 0.0f;
  m_solved = false;
  m_justSolved = false;
  m_left = false;
  m_edge = EDGE_NONE;
  if (m_carried >= 0) m_places[m_sourcePlace] = m_carried;
  m_carried = -1;
}

bool cl_BookshelfPanel::IsFinished() {
  return m_Finished || m_left || (m_solved && m_endTime > 0.0f && m_time >= m_endTime);
}

bool cl_BookshelfPanel::UpperRowInOrder() const {
  for (int i = 0; i < kRowLength; ++i)
    if (m_places[i] != i) return false;
  return true;
}

void cl_BookshelfPanel::Update(float dt) {
  i_Minigame::Update(dt);
  m_time += dt;
  if (m_solved && m_endTime == 0.0f) {
    if (m_justSolved && !m_bookMissing) {
      const int bonus = m_time <= 30.0f ? 30 : (m_time <= 90.0f ? 20 : 10);
      if (!m_Finished) RaiseSkill(bonus);
      m_endTime = m_time + PlayGameSound("sfx/safe_door_open.ogg", "SafeDoorOpen", 1.0f);
    } else {
      m_endTime = m_time + 2.0f;
    }
  }
  if (UpperRowInOrder()) {
    SetResult(true);
    m_solved = true;
    m_justSolved = true;
  }
}

bool cl_BookshelfPanel::ReleaseAt(int place, float x, float y) {
  const int pressed = std::exchange(m_pressPlace, kNoPlace);
  if (m_carried < 0 && pressed != kNoPlace && pressed != place) {
    // Pressed on a book and released elsewhere: the book goes where it was dragged, as two clicks
    // take it (back to its place when released on none, also in an edge zone); the release
    // picked up the book under it.
    PickUp(pressed, x, y);
    if (m_carried >= 0) PutDown(place);
    return false;
  }
  if (m_carried >= 0) {
    PutDown(place);
    return false;
  }
  if (m_edge != EDGE_NONE) {
    SetResult(false);
    m_left = true;
    return true;
  }
  if (place != kNoPlace) PickUp(place, x, y);
  return false;
}

void cl_BookshelfPanel::PickUp(int place, float x, float y) {
  m_carried = m_places[place];
  if (m_bookMissing && m_carried == kMissingBook) {
    m_carried = -1;
    return;
  }
  m_places[place] = -1;
  m_sourcePlace = place;
  const base::tRectf r = PlaceRect(place);
  m_grabOffset[0] = x - r.min.x;
  m_grabOffset[1] = y - r.min.y;
}

void cl_BookshelfPanel::PutDown(int place) {
  m_places[m_sourcePlace] = m_carried;
  if (place != kNoPlace) {
    std::swap(m_places[m_sourcePlace], m_places[place]);
    PlayGameSound("sfx/MG_Bookshelf_place.ogg", "BookshelfPlace", 1.0f);
  }
  m_carried = -1;
}

bool cl_BookshelfPanel::HandleInput(base::ICMD& cmd) {
  const base::tRectf viewport = GetGameViewportRect();
  if (!m_bookMissing && HitSkipButton(cmd, viewport.min.x, viewport.min.y, m_Scale)) return true;
  if (m_solved) {
    SetGameCursor("gamecursor");
    return true;
  }
  const float x = cmd.mouseX, y = cmd.mouseY;
  const int place = PlaceAt(x, y);
  const bool movable = place != kNoPlace && m_carried < 0 && !(m_bookMissing && m_places[place] == kMissingBook);
  SetGameCursor(movable ? "cursor_manipulate" : "gamecursor");
  switch (cmd.type) {
    case base::ICMD::MOUSE_MOVE:
      m_edge = EdgeZoneAt(cmd.mouseX);
      if (m_carried < 0 && m_edge == EDGE_LEFT) SetGameCursor("cursor_exit_left");
      if (m_carried < 0 && m_edge == EDGE_RIGHT) SetGameCursor("cursor_exit_right");
      return false;
    case base::ICMD::LEFT_DOWN:
      m_pressPlace = m_carried < 0 ? place : kNoPlace;
      return false;
    case base::ICMD::LEFT_UP: return ReleaseAt(place, x, y);
    case base::ICMD::KEY_RELEASED:
      if (cmd.key != base::key::Escape) return false;
      SetResult(false);
      m_left = true;
      return true;
    default: return false;
  }
}

// ---- play targets

bool cl_BookshelfPanel::GetPlayTarget(const char* name, float& x, float& y) {
  int n = 0;
  char rest = 0;
  int place = kNoPlace;
  if (name && std::sscanf(name, "place %d%c", &n, &rest) == 1 && n >= 0 && n < kBooks) place = n;
  if (name && std::sscanf(name, "book %d%c", &n, &rest) == 1)
    for (int i = 0; i < kBooks; ++i)
      if (m_places[i] == n) place = i;
  if (place == kNoPlace) return i_Minigame::GetPlayTarget(name, x, y);
  const base::tRectf r = PlaceRect(place);
  x = (r.min.x + r.max.x) * 0.5f, y = (r.min.y + r.max.y) * 0.5f;
  return IsOnWindow(x, y);
}

void cl_BookshelfPanel::Render(float, float) {
  const base::tRectf viewport = GetGameViewportRect();
  const float s = GetGuiScale();
  gfx::Begin2D();
  gfx::FillRect(0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()),
                static_cast<float>(base::sys::GetWindowHeight()), 0xFF000000u);
  gfx::SetBlendNone();  // the texture's colour again after the flat fill
  gfx::SetBlendAlpha(true);
  gfx::SetFilterLinear();
  if (m_background.GetTileCount() > 0) m_background.Draw(viewport.min.x, viewport.min.y, s);
  for (int i = 0; i < kBooks; ++i) {
    const int book = m_places[i];
    if (book < 0 || book >= kBooks || (m_bookMissing && book == kMissingBook)) continue;
    const base::tRectf r = PlaceRect(i);
    if (m_books[book].GetTileCount() > 0) m_books[book].Draw(r.min.x, r.min.y, s);
  }
  if (m_carried >= 0 && m_carried < kBooks) {
    // The picked book is framed, and so is the gap it left, until it is put down.
    const float x = base::sys::MouseX() - m_grabOffset[0], y = base::sys::MouseY() - m_grabOffset[1];
    const base::tRectf from = PlaceRect(m_sourcePlace);
    DrawFrame(from.min.x, from.min.y, from.max.x, from.max.y);
    if (m_books[m_carried].GetTileCount() > 0) m_books[m_carried].Draw(x, y, s);
    DrawFrame(x, y, x + from.max.x - from.min.x, y + from.max.y - from.min.y);
  }
  DrawInstruction(viewport);
  if (!m_bookMissing) DrawSkipButton(viewport.min.x, viewport.min.y, m_Scale);
  DrawExitHint(m_edge);
}

void cl_BookshelfPanel::DrawFrame(float left, float top, float right, float bottom) {
  // A dark line inside a light one, so that the mark shows on a pale book as on a dark gap.
  for (int i = 0; i < 3; ++i)
    gfx::DrawRect(static_cast<int>(left) - i, static_cast<int>(top) - i, static_cast<int>(right) + i,
                  static_cast<int>(bottom) + i, i == 0 ? 0xFF201810u : 0xFFFFF0C0u);
  gfx::SetBlendNone();  // the textures' own colours again after the flat lines
  gfx::SetBlendAlpha(true);
}

// What the shelf asks of the player, above the shelf: no box to click away, it stays in view.
void cl_BookshelfPanel::DrawInstruction(const base::tRectf& viewport) {
  cl_FontScope font(gfx::FontExists("tooltip"));
  base::tString<base::BaseUnicodeString> text;
  base::sys::Localize(
      "#booksh0_01 Put books 1 to 7 in the upper row, in order from the left; some of them stand below. Click a "
      "book to pick it up, then click the place it goes to.",
      text);
  // Centred on its middle, wrapped at 500 pixels: placed by the block's height, its top stays on
  // the shelf, off the band above.
  const float middle = viewport.min.y + 6.0f * GetGuiScale() + gfx::GetWrappedTextHeightW(text.c_str(), 500.0f) * 0.5f;
  DrawTextCentered((viewport.min.x + viewport.max.x) * 0.5f, middle, text.c_str(), 0xFFFFFFFFu, 0xFF191919u, false);
}

}  // namespace quillane
