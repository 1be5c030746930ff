// The tile-grid games' pictures (and the mini-games' cursors): the wire-tap desk, switch board, frame and note, its three
// telephones and the five line tiles with their lit lines; the floor-lights board with its power
// feed, second connector, earth plug, lamps and signs. Tiles are one 128-pixel cell with their lines from the
// middle to the edges their openings name at angle 0 (line end: down; corner: down, right;
// T piece: up, left, right; straight: up, down), which the game turns with the openings.
// The floor-lights art shares the level file's folder on disk ("floorlights"); the game asks
// for "FloorLights/…", which the file layer finds whatever the letter case.
#include <cstdint>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"
#include "core/TextPainter.h"

namespace demogen {

namespace {

const char* const kFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int kCell = 128;
constexpr int kLineWidth = 14;
constexpr uint32_t kCopper = 0xFFB87333u;
constexpr uint32_t kLit = 0xFFFFF2A0u, kGlow = 0x70FFD040u;
constexpr uint32_t kBrass = 0xFFB08A3Cu, kBrassDark = 0xFF5A4418u;

enum en_Side { UP = 1, LEFT = 2, DOWN = 4, RIGHT = 8 };

base::cl_Bitmap32 Blank(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

// Lines from the cell's middle to each side in sides, with a hub; lit ones get a soft halo.
void PaintLines(base::cl_Bitmap32& image, int sides, uint32_t colour, bool glow) {
  cl_Painter paint(image);
  const int c = kCell / 2, h = kLineWidth / 2;
  const int pad = glow ? 8 : 0;
  const uint32_t fill = glow ? kGlow : colour;
  for (int pass = glow ? 0 : 1; pass < 2; ++pass) {
    const int p = pass == 0 ? pad : 0;
    const uint32_t col = pass == 0 ? fill : colour;
    if (sides & UP) paint.Rect(c - h - p, 0, c + h + p, c + h + p, col);
    if (sides & DOWN) paint.Rect(c - h - p, c - h - p, c + h + p, kCell, col);
    if (sides & LEFT) paint.Rect(0, c - h - p, c + h + p, c + h + p, col);
    if (sides & RIGHT) paint.Rect(c - h - p, c - h - p, kCell, c + h + p, col);
    if (sides) paint.Disc(c - 0.5f, c - 0.5f, h + 6.0f + p, col);
  }
}

// A tile: a bevelled dark plate with its copper lines.
base::cl_Bitmap32 Tile(int sides) {
  base::cl_Bitmap32 image = Blank(kCell, kCell);
  cl_Painter paint(image);
  paint.Rect(2, 2, kCell - 2, kCell - 2, 0xFF3A3F44u);
  paint.Rect(2, 2, kCell - 2, 5, 0xFF5C646Cu);
  paint.Rect(2, kCell - 5, kCell - 2, kCell - 2, 0xFF22262Au);
  paint.Noise(0.08f, 0.06f);
  PaintLines(image, sides, kCopper, false);
  return image;
}

base::cl_Bitmap32 LitLines(int sides) {
  base::cl_Bitmap32 image = Blank(kCell, kCell);
  PaintLines(image, sides, kLit, true);
  return image;
}

// A device at the board's edge: a cell long and kDepth deep, its line running from the device
// into the grid at the middle of the side that faces it (side: where the line goes). The game
// places these pictures by their texture's size, so the depth is a power of two, and the board
// with a device above and below stays on an 800 x 600 screen.
constexpr int kDepth = 32;

// The device's line from its body at (cx, cy) to the picture's edge on side, with a halo when lit.
void PaintFeedLine(cl_Painter& paint, const base::cl_Bitmap32& image, int side, float cx, float cy, bool lit) {
  const int h = kLineWidth / 2, w = image.Width(), ht = image.Height();
  const int mx = static_cast<int>(cx), my = static_cast<int>(cy);
  for (int pass = lit ? 0 : 1; pass < 2; ++pass) {
    const int p = pass == 0 ? 6 : 0;
    const uint32_t colour = pass == 0 ? kGlow : lit ? kLit : kCopper;
    if (side == DOWN) paint.Rect(mx - h - p, my, mx + h + p, ht, colour);
    if (side == UP) paint.Rect(mx - h - p, 0, mx + h + p, my, colour);
    if (side == RIGHT) paint.Rect(mx, my - h - p, w, my + h + p, colour);
    if (side == LEFT) paint.Rect(0, my - h - p, mx, my + h + p, colour);
  }
}

// A telephone box lying along the board's edge (the wire-tap's terminals, the power feed).
base::cl_Bitmap32 Terminal(int side, uint32_t body, bool lit) {
  const bool across = side == UP || side == DOWN;  // above or below the grid
  base::cl_Bitmap32 image = Blank(across ? kCell : kDepth, across ? kDepth : kCell);
  cl_Painter paint(image);
  const float mid = kCell * 0.5f, near = side == DOWN || side == RIGHT ? 14.0f : kDepth - 14.0f;
  const float cx = across ? mid : near, cy = across ? near : mid;
  PaintFeedLine(paint, image, side, cx, cy, lit);
  const int x = static_cast<int>(cx), y = static_cast<int>(cy), hw = across ? 24 : 12, hh = across ? 12 : 24;
  paint.Rect(x - hw, y - hh, x + hw, y + hh, body);
  paint.Rect(x - hw, y - hh, x + hw, y - hh + 3, lit ? kLit : kBrass);
  paint.Disc(cx, cy + 1.0f, 6.0f, lit ? kLit : kBrassDark);
  return image;
}

// A lamp of the quay on its line: a lantern in a brass ring, dark glass until the power reaches
// it. Above the board its picture is a cell wide and 64 deep, the lantern over the cell's middle
// (the game puts its sign right beside it); right of the board a cell square, the lantern near the
// far side, where its sign stands just above (the pier's) or just below (the harbour's).
base::cl_Bitmap32 Lamp(int side, bool lit) {
  const bool above = side == DOWN;
  base::cl_Bitmap32 image = Blank(kCell, above ? 64 : kCell);
  cl_Painter paint(image);
  const float cx = above ? kCell * 0.5f : 84.0f, cy = above ? 28.0f : kCell * 0.5f, r = above ? 20.0f : 26.0f;
  PaintFeedLine(paint, image, side, cx, cy, lit);
  if (lit) paint.Disc(cx, cy, r * 1.6f, 0x90FFE070u);
  paint.Disc(cx, cy, r, lit ? 0xFFFFF4B0u : 0xFF404040u);
  if (!lit) paint.Disc(cx - r * 0.3f, cy - r * 0.3f, r * 0.3f, 0xFF5A5A54u);  // a glint on the dark glass
  paint.Ring(cx, cy, r, 3.0f, kBrass);
  return image;
}

// The plug under the lower left tile that its line must point down into: the earth, with its sign
// and name on the board's edge beside it.
base::cl_Bitmap32 EarthPlug(bool lit) {
  base::cl_Bitmap32 image = Blank(2 * kCell, kDepth);  // a power of two: the texture keeps its size
  cl_Painter paint(image);
  const float cx = kCell * 0.5f, cy = kDepth - 14.0f;
  PaintFeedLine(paint, image, UP, cx, cy, lit);
  const int x = static_cast<int>(cx), y = static_cast<int>(cy);
  paint.Rect(x - 24, y - 12, x + 24, y + 12, 0xFF603020u);
  paint.Rect(x - 24, y - 12, x + 24, y - 9, lit ? kLit : kBrass);
  // The earth sign: a stem and three bars, each narrower than the one above.
  const uint32_t mark = lit ? kLit : 0xFFE8D8B0u;
  paint.Rect(x - 1, y - 7, x + 1, y, mark);
  for (int i = 0; i < 3; ++i) paint.Rect(x - 12 + 4 * i, y + 2 * i, x + 12 - 4 * i, y + 2 * i + 1, mark);
  const cl_TextPainter font(kFace, 12);
  if (font.IsOpen()) font.Draw(image, x + 30, y + 5, "EARTH", 0xFFF0E0C0u);
  return image;
}

// The board under the tiles. The game centres this picture in the window by its texture's size
// (a power of two) and puts the grid 128 pixels in from its corner.
constexpr int kBoardW = 512, kBoardH = 512;

base::cl_Bitmap32 GridBack(uint32_t plate, uint32_t slot, bool stripes) {
  base::cl_Bitmap32 image = Blank(kBoardW, kBoardH);
  cl_Painter paint(image);
  paint.Rect(96, 96, kBoardW, kBoardH, plate);
  if (stripes)
    for (int i = 0; i < 16; ++i) paint.Rect(96 + i * 26, 96, 96 + i * 26 + 13, 116, 0xFF202020u);
  paint.Noise(0.05f, 0.08f);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) paint.Rect(128 + c * kCell + 4, 128 + r * kCell + 4, 128 + (c + 1) * kCell - 4,
                                           128 + (r + 1) * kCell - 4, slot);
  return image;
}

// Over the tiles: a brass rim along the cells' top and left, screws at its corners.
base::cl_Bitmap32 GridFront() {
  base::cl_Bitmap32 image = Blank(kBoardW, kBoardH);
  cl_Painter paint(image);
  const int end = 128 + 3 * kCell;
  paint.Rect(120, 120, end, 128, kBrass);
  paint.Rect(120, 120, 128, end, kBrass);
  for (const auto& [x, y] : {std::pair{124, 124}, std::pair{end - 6, 124}, std::pair{124, end - 6}}) {
    paint.Disc(float(x), float(y), 6.0f, kBrassDark);
    paint.Ring(float(x), float(y), 6.0f, 1.5f, kBrass);
  }
  return image;
}

// The desk behind the board: half the layout's height, as the game centres it by its texture's
// size and places the skip button from its top (layout y 40), which a taller picture would push
// off the screen.
base::cl_Bitmap32 Desk() {
  base::cl_Bitmap32 image = Blank(1024, 512);
  cl_Painter paint(image);
  paint.VerticalGradient(0xFF2E2418u, 0xFF4A3826u);
  paint.Noise(0.02f, 0.12f);
  return image;
}

// The note with the help text: the game writes into it 48 pixels in and 75 short of its size,
// which the paper covers with a margin, for the longer translations too.
base::cl_Bitmap32 Note() {
  base::cl_Bitmap32 image = Blank(256, 256);
  cl_Painter paint(image);
  paint.Rect(26, 22, 246, 242, 0xFFF0E6C8u);
  paint.Noise(0.1f, 0.05f);
  paint.Disc(136, 36, 7, 0xFFB02020u);
  return image;
}

// A small enamel sign beside a lamp, on the left of a 128 x 32 picture.
base::cl_Bitmap32 Sign(const char* text) {
  base::cl_Bitmap32 image = Blank(128, 32);
  cl_Painter paint(image);
  paint.Rect(0, 4, 80, 28, 0xFF1E4A8Cu);
  paint.Rect(0, 4, 80, 6, 0xFFE0E0E0u);
  paint.Rect(0, 26, 80, 28, 0xFFE0E0E0u);
  const cl_TextPainter font(kFace, 12);
  if (font.IsOpen()) font.Draw(image, (80 - font.Width(text)) / 2, 21, text, 0xFFFFFFFFu);
  return image;
}

// The mini-games' cursors, 32 x 32: a four-way arrow over a tile, and an arrow out of the
// screen at either edge exit (direction -1 left, 1 right).
base::cl_Bitmap32 MoveCursor() {
  base::cl_Bitmap32 image = Blank(32, 32);
  cl_Painter paint(image);
  paint.Rect(14, 4, 18, 28, 0xFF000000u);
  paint.Rect(4, 14, 28, 18, 0xFF000000u);
  paint.Rect(15, 5, 17, 27, 0xFFFFFFFFu);
  paint.Rect(5, 15, 27, 17, 0xFFFFFFFFu);
  for (int i = 0; i < 5; ++i) {
    paint.Rect(16 - i, 4 + i, 16 + i, 5 + i, 0xFFFFFFFFu);
    paint.Rect(16 - i, 27 - i, 16 + i, 28 - i, 0xFFFFFFFFu);
    paint.Rect(4 + i, 16 - i, 5 + i, 16 + i, 0xFFFFFFFFu);
    paint.Rect(27 - i, 16 - i, 28 - i, 16 + i, 0xFFFFFFFFu);
  }
  return image;
}

base::cl_Bitmap32 ExitCursor(int direction) {
  base::cl_Bitmap32 image = Blank(32, 32);
  cl_Painter paint(image);
  paint.Rect(8, 13, 24, 19, 0xFFFFFFFFu);
  for (int i = 0; i < 10; ++i) {
    const int x = direction < 0 ? 2 + i : 29 - i;
    paint.Rect(x, 16 - i, x + 1, 16 + i, 0xFFFFFFFFu);
  }
  return image;
}

}  // namespace

bool MakeGridGamePictures(cl_Output& out) {
  const std::string wiretap = "gui/minigames/wiretap/", floor = "gui/minigames/floorlights/";
  bool ok = out.WriteTga(wiretap + "back.tga", Desk(), true);
  ok = out.WriteTga(wiretap + "gridback.tga", GridBack(0xFF2C3A34u, 0xFF18201Cu, false), true) && ok;
  ok = out.WriteTga(wiretap + "gridfront.tga", GridFront(), true) && ok;
  ok = out.WriteTga(wiretap + "note.tga", Note(), true) && ok;
  // In sits above the grid (its line goes down), Out right of it (line to the left), Tap below.
  const uint32_t phone = 0xFF202020u;
  ok = out.WriteTga(wiretap + "telephonein.tga", Terminal(DOWN, phone, false), true) && ok;
  ok = out.WriteTga(wiretap + "telephoneout.tga", Terminal(LEFT, phone, false), true) && ok;
  ok = out.WriteTga(wiretap + "telephonetap.tga", Terminal(UP, 0xFF404858u, false), true) && ok;
  ok = out.WriteTga(wiretap + "telephonein_active.tga", Terminal(DOWN, phone, true), true) && ok;
  ok = out.WriteTga(wiretap + "telephoneout_active.tga", Terminal(LEFT, phone, true), true) && ok;
  ok = out.WriteTga(wiretap + "telephonetap_active.tga", Terminal(UP, 0xFF404858u, true), true) && ok;
  const int kinds[] = {0, DOWN, DOWN | RIGHT, UP | LEFT | RIGHT, UP | DOWN};
  for (int i = 0; i < 5; ++i) {
    const std::string n = std::to_string(i);
    ok = out.WriteTga(wiretap + "tile0" + n + ".tga", Tile(kinds[i]), true) && ok;
    if (i > 0) ok = out.WriteTga(wiretap + "tile0" + n + "_active.tga", LitLines(kinds[i]), true) && ok;
  }

  ok = out.WriteTga(floor + "gridback.tga", GridBack(0xFF8A7A2Cu, 0xFF2A2820u, true), true) && ok;
  const uint32_t feed = 0xFF603020u;
  ok = out.WriteTga(floor + "leftin.tga", Terminal(RIGHT, feed, false), true) && ok;
  ok = out.WriteTga(floor + "leftin_active.tga", Terminal(RIGHT, feed, true), true) && ok;
  ok = out.WriteTga(floor + "lowerin.tga", EarthPlug(false), true) && ok;
  ok = out.WriteTga(floor + "lowerin_active.tga", EarthPlug(true), true) && ok;
  ok = out.WriteTga(floor + "upperin.tga", Lamp(DOWN, false), true) && ok;
  ok = out.WriteTga(floor + "upperin_active.tga", Lamp(DOWN, true), true) && ok;
  ok = out.WriteTga(floor + "rightin.tga", Lamp(LEFT, false), true) && ok;
  ok = out.WriteTga(floor + "rightin_active.tga", Lamp(LEFT, true), true) && ok;
  // The floor lamps are the pier's lights, whose line is broken; the hangar lamp is the harbour lamp.
  ok = out.WriteTga(floor + "floor_schild.tga", Sign("PIER"), true) && ok;
  ok = out.WriteTga(floor + "hangar_schild.tga", Sign("HARBOUR"), true) && ok;
  ok = out.WriteTga("gui/cursors/cursor_manipulate.tga", MoveCursor(), true) && ok;
  ok = out.WriteTga("gui/cursors/cursor_exit_left.tga", ExitCursor(-1), true) && ok;
  ok = out.WriteTga("gui/cursors/cursor_exit_right.tga", ExitCursor(1), true) && ok;
  return ok;
}

}  // namespace demogen
