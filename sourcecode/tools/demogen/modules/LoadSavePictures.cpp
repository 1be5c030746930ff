// The load/save panel's pictures: the parchment behind the list, its ornament, the scroll
// arrows, the preview's four corners, the band under the preview with its centre piece, and the
// white score-bar filler that the panel tints per bar.
#include <cmath>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

constexpr uint32_t kInk = 0xFF5A4420u, kGold = 0xFFDCA459u;

base::cl_Bitmap32 Canvas(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

// 256 x 512 as loaded (pictures are padded to powers of two); the panel's list ends above its
// buttons, so only the top 408 rows are paper. The rows write their names in white and light
// grey, so the paper is an old, dark one.
base::cl_Bitmap32 Parchment() {
  constexpr int kPaper = 408;
  base::cl_Bitmap32 paper = Canvas(256, kPaper);
  cl_Painter paint(paper);
  paint.VerticalGradient(0xF04A3A26u, 0xF02E2216u);
  paint.Noise(4.0f, 0.06f);
  base::cl_Bitmap32 image = Canvas(256, 512);
  for (int y = 0; y < kPaper; ++y)
    for (int x = 0; x < 256; ++x) *image.Pixel(x, y) = *paper.Pixel(x, y);
  return image;
}

base::cl_Bitmap32 Ornament() {
  base::cl_Bitmap32 image = Canvas(256, 32);
  cl_Painter paint(image);
  paint.Rect(16, 14, 240, 18, kGold);
  paint.Disc(128, 16, 12, kGold);
  paint.Disc(128, 16, 6, kInk);
  paint.Disc(24, 16, 5, kGold);
  paint.Disc(232, 16, 5, kGold);
  return image;
}

// A triangle pointing up or down on a round plate.
base::cl_Bitmap32 Arrow(bool up) {
  base::cl_Bitmap32 image = Canvas(32, 32);
  cl_Painter paint(image);
  paint.Disc(16, 16, 15, 0xE0302418u);
  paint.Ring(16, 16, 14, 2, kGold);
  for (int row = 0; row < 10; ++row) {
    const int y = up ? 10 + row : 21 - row;
    paint.Rect(16 - row, y, 16 + row + 1, y + 1, 0xFFF0E0B0u);
  }
  return image;
}

// An L-shaped corner piece; the corner lies at (cx, cy) of the 64 x 64 picture.
base::cl_Bitmap32 Corner(bool right, bool bottom) {
  base::cl_Bitmap32 image = Canvas(64, 64);
  cl_Painter paint(image);
  const int x0 = right ? 32 : 4, y0 = bottom ? 56 : 4;
  paint.Rect(x0, y0, x0 + 28, y0 + 4, kGold);
  const int vx = right ? 56 : 4, vy = bottom ? 32 : 4;
  paint.Rect(vx, vy, vx + 4, vy + 28, kGold);
  paint.Disc(right ? 58.0f : 6.0f, bottom ? 58.0f : 6.0f, 5, kInk);
  return image;
}

// The band reaches below the score bars' full height (rows 22-121, beside the panel's buttons),
// so that a full bar stays in its slot.
base::cl_Bitmap32 Band() {
  constexpr int kHeight = 124;
  base::cl_Bitmap32 image = Canvas(512, kHeight);
  cl_Painter paint(image);
  paint.VerticalGradient(0xE0302418u, 0xE0181008u);
  paint.Rect(0, 0, 512, 2, kGold);
  paint.Rect(0, kHeight - 2, 512, kHeight, kGold);
  // The three bar slots the score bars fill (x 196-210, 249-263, 301-315).
  for (int x : {194, 247, 299}) paint.Rect(x, 20, x + 18, kHeight - 2, 0xFF0C0804u);
  return image;
}

base::cl_Bitmap32 Centre() {
  base::cl_Bitmap32 image = Canvas(512, 32);
  cl_Painter paint(image);
  paint.Rect(0, 13, 512, 17, kGold);
  paint.Disc(256, 15, 10, kGold);
  return image;
}

base::cl_Bitmap32 BarFiller() {
  base::cl_Bitmap32 image = Canvas(16, 128);
  cl_Painter paint(image);
  for (int x = 0; x < 16; ++x) {
    const float light = 0.75f + 0.25f * std::sin(static_cast<float>(x) / 15.0f * 3.14159f);
    paint.Rect(x, 0, x + 1, 128, Mix(0xFF808080u, 0xFFFFFFFFu, light));
  }
  return image;
}

}  // namespace

bool MakeLoadSavePictures(cl_Output& out) {
  bool ok = out.WriteTga("gui/loadsave/loadsave_perga.tga", Parchment(), true);
  ok = ok && out.WriteTga("gui/loadsave/deco_list.tga", Ornament(), true);
  ok = ok && out.WriteTga("gui/loadsave/scroll_up.tga", Arrow(true), true);
  ok = ok && out.WriteTga("gui/loadsave/scroll_down.tga", Arrow(false), true);
  // corner_01 lower left, 02 upper left, 03 upper right, 04 lower right, as the panel places them.
  ok = ok && out.WriteTga("gui/loadsave/corner_01.tga", Corner(false, true), true);
  ok = ok && out.WriteTga("gui/loadsave/corner_02.tga", Corner(false, false), true);
  ok = ok && out.WriteTga("gui/loadsave/corner_03.tga", Corner(true, false), true);
  ok = ok && out.WriteTga("gui/loadsave/corner_04.tga", Corner(true, true), true);
  ok = ok && out.WriteTga("gui/loadsave/load_save_bottom.tga", Band(), true);
  ok = ok && out.WriteTga("gui/loadsave/load_save_center.tga", Centre(), true);
  ok = ok && out.WriteTga("gui/loadsave/load_save_vbarfiller.tga", BarFiller(), true);
  return ok;
}

}  // namespace demogen
