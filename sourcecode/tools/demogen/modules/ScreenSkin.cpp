// The game's screen skin: the progress bar's caps, trough and filler (white, tinted when drawn),
// the dialog frame's four brass corners, the nine pieces of the rounded frame, and the screen
// blender's six framing images and two tile bands. All 32-bit with alpha.
#include <cmath>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

constexpr uint32_t kBrass = 0xFFB08A3Cu, kBrassLight = 0xFFE8C878u, kBrassDark = 0xFF5A4418u;
constexpr uint32_t kPanel = 0xFF221A12u, kPanelEdge = 0xFF6A5030u;  // opaque: a panel hides what is behind it

base::cl_Bitmap32 Blank(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

// A horizontal bevel: light top, dark bottom, rounded at the given end (−1 left, 1 right, 0 none).
base::cl_Bitmap32 BarPiece(int w, int h, uint32_t top, uint32_t bottom, int roundEnd) {
  base::cl_Bitmap32 image = Blank(w, h);
  cl_Painter paint(image);
  for (int y = 2; y < h - 2; ++y) {
    const float t = static_cast<float>(y - 2) / static_cast<float>(h - 5);
    int x0 = 0, x1 = w;
    if (roundEnd != 0) {
      // A half disc of radius h/2 − 2 at the outer end.
      const float r = h * 0.5f - 2.0f, dy = y + 0.5f - h * 0.5f;
      const int inset = static_cast<int>(r - std::sqrt(std::fmax(0.0f, r * r - dy * dy)));
      if (roundEnd < 0) x0 = inset; else x1 = w - inset;
    }
    paint.Rect(x0, y, x1, y + 1, Mix(top, bottom, t));
  }
  return image;
}

// A dialog corner: an L of brass bars along the two outer sides with a rivet, rotated by the
// corner's quadrant (qx, qy: 0 left/top, 1 right/bottom).
base::cl_Bitmap32 DialogCorner(int qx, int qy) {
  base::cl_Bitmap32 image = Blank(32, 32);
  cl_Painter paint(image);
  const int ox = qx ? 32 - 6 : 0, oy = qy ? 32 - 6 : 0;
  paint.Rect(0, oy, 32, oy + 6, kBrass);
  paint.Rect(ox, 0, ox + 6, 32, kBrass);
  paint.Rect(0, oy + (qy ? 5 : 0), 32, oy + (qy ? 6 : 1), kBrassDark);
  paint.Rect(ox + (qx ? 5 : 0), 0, ox + (qx ? 6 : 1), 32, kBrassDark);
  paint.Disc(ox + 3.0f, oy + 3.0f, 4.5f, kBrassLight);
  paint.Disc(ox + 3.0f, oy + 3.0f, 2.0f, kBrassDark);
  return image;
}

// Rounded-frame pieces: the panel colour inside, a 3-pixel edge line along the outer sides;
// corners are quarter discs of radius 28 about the inner corner.
base::cl_Bitmap32 RoundPiece(int qx, int qy, bool cornerPiece, bool horizontalEdge) {
  base::cl_Bitmap32 image = Blank(32, 32);
  cl_Painter paint(image);
  if (cornerPiece) {
    const float cx = qx ? 0.0f : 32.0f, cy = qy ? 0.0f : 32.0f;
    paint.Disc(cx, cy, 29.0f, kPanelEdge);
    paint.Disc(cx, cy, 26.0f, kPanel);
  } else if (horizontalEdge) {
    // 3 transparent rows outside, the 3-row edge line, then the panel.
    paint.Rect(0, qy ? 0 : 6, 32, qy ? 26 : 32, kPanel);
    paint.Rect(0, qy ? 26 : 3, 32, qy ? 29 : 6, kPanelEdge);
  } else {
    paint.Rect(qx ? 0 : 6, 0, qx ? 26 : 32, 32, kPanel);
    paint.Rect(qx ? 26 : 3, 0, qx ? 29 : 6, 32, kPanelEdge);
  }
  return image;
}

base::cl_Bitmap32 Solid(int w, int h, uint32_t colour) {
  base::cl_Bitmap32 image = Blank(w, h);
  cl_Painter(image).Fill(colour);
  return image;
}

// A screen-blender corner: a dark wooden block with a brass moulding along the inner edges.
base::cl_Bitmap32 BlenderCorner(bool right, bool lower) {
  base::cl_Bitmap32 image = Blank(128, 64);
  cl_Painter paint(image);
  paint.Rect(0, 0, 128, 64, 0xFF2A1C10u);
  paint.Noise(18.0f, 0.12f);
  const int mx = right ? 0 : 120, my = lower ? 0 : 56;
  paint.Rect(mx, 0, mx + 8, 64, kBrass);
  paint.Rect(0, my, 128, my + 8, kBrass);
  paint.Disc(64.0f, 32.0f, 12.0f, kBrassDark);
  paint.Ring(64.0f, 32.0f, 12.0f, 2.0f, kBrassLight);
  return image;
}

// A decorator: a brass cartouche, transparent around it.
base::cl_Bitmap32 Decorator(bool lower) {
  base::cl_Bitmap32 image = Blank(256, 64);
  cl_Painter paint(image);
  const float cy = lower ? 40.0f : 24.0f;
  for (int i = 0; i < 5; ++i) paint.Disc(64.0f + i * 32.0f, cy, 14.0f, kBrass);
  paint.Rect(64, static_cast<int>(cy) - 14, 192, static_cast<int>(cy) + 14, kBrass);
  paint.Rect(72, static_cast<int>(cy) - 8, 184, static_cast<int>(cy) + 8, 0xFF2A1C10u);
  return image;
}

base::cl_Bitmap32 Tile() {
  base::cl_Bitmap32 image = Blank(8, 8);
  cl_Painter paint(image);
  paint.Rect(0, 0, 8, 8, kBrass);
  paint.Rect(0, 0, 8, 1, kBrassLight);
  paint.Rect(0, 7, 8, 8, kBrassDark);
  return image;
}

}  // namespace

bool MakeScreenSkin(cl_Output& out) {
  bool ok = out.WriteTga("gui/skin/hbar_left.tga", BarPiece(16, 32, kBrassLight, kBrassDark, -1), true) &&
            out.WriteTga("gui/skin/hbar_right.tga", BarPiece(16, 32, kBrassLight, kBrassDark, 1), true) &&
            out.WriteTga("gui/skin/hbar_center.tga", BarPiece(32, 32, 0xFF101010u, 0xFF303030u, 0), true) &&
            out.WriteTga("gui/skin/hbar_filler.tga", BarPiece(32, 32, 0xFFFFFFFFu, 0xFFA0A0A0u, 0), true);
  const char* dialog[4] = {"ul", "ur", "ll", "lr"};
  for (int i = 0; i < 4 && ok; ++i)
    ok = out.WriteTga(std::string("gui/skin/dialog_") + dialog[i] + ".tga", DialogCorner(i % 2, i / 2), true);
  struct {
    const char* name;
    int qx, qy;
    bool corner, horizontal;
  } round[] = {{"corner00", 0, 0, true, false},    {"corner10", 1, 0, true, false},  {"corner11", 1, 1, true, false},
               {"corner01", 0, 1, true, false},    {"edge_up", 0, 0, false, true},   {"edge_down", 0, 1, false, true},
               {"edge_left", 0, 0, false, false},  {"edge_right", 1, 0, false, false}};
  for (const auto& r : round)
    ok = ok && out.WriteTga(std::string("gui/skin/frame_round_") + r.name + ".tga",
                            RoundPiece(r.qx, r.qy, r.corner, r.horizontal), true);
  ok = ok && out.WriteTga("gui/skin/frame_round_center.tga", Solid(32, 32, kPanel), true);
  ok = ok && out.WriteTga("gui/screenblender/left_upper.tga", BlenderCorner(false, false), true) &&
       out.WriteTga("gui/screenblender/left_lower.tga", BlenderCorner(false, true), true) &&
       out.WriteTga("gui/screenblender/right_upper.tga", BlenderCorner(true, false), true) &&
       out.WriteTga("gui/screenblender/right_lower.tga", BlenderCorner(true, true), true) &&
       out.WriteTga("gui/screenblender/upper_decorator.tga", Decorator(false), true) &&
       out.WriteTga("gui/screenblender/lower_decorator.tga", Decorator(true), true) &&
       out.WriteTga("gui/screenblender/upper_tile.tga", Tile(), true) &&
       out.WriteTga("gui/screenblender/lower_tile.tga", Tile(), true);
  return ok;
}

}  // namespace demogen
