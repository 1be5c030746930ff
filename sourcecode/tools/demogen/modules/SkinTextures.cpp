// The default skin's four small textures: the check mark (also the close button's glyph), the
// slider handle's grip dot, the checkerboard behind image previews and the menu-folder arrow.
#include <cmath>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

constexpr uint32_t kInk = 0xFF000000u;

base::cl_Bitmap32 Blank(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

// A tick of two strokes in a 10 x 10 box.
base::cl_Bitmap32 Check() {
  base::cl_Bitmap32 image = Blank(10, 10);
  cl_Painter paint(image);
  for (float t = 0; t <= 1.0f; t += 0.05f) {
    paint.Disc(1.5f + t * 2.5f, 5.0f + t * 3.0f, 1.1f, kInk);  // down to the tip
    paint.Disc(4.0f + t * 4.5f, 8.0f - t * 6.5f, 1.1f, kInk);  // up to the right
  }
  return image;
}

base::cl_Bitmap32 Dot() {
  base::cl_Bitmap32 image = Blank(10, 10);
  cl_Painter paint(image);
  paint.Disc(5, 5, 3.0f, 0xFF333333u);
  paint.Disc(4.4f, 4.4f, 1.2f, 0xFFDDDDDDu);
  return image;
}

// Opaque 8-pixel squares in two greys, as image viewers show transparency.
base::cl_Bitmap32 Checker() {
  base::cl_Bitmap32 image = Blank(64, 64);
  cl_Painter paint(image);
  for (int y = 0; y < 64; y += 8)
    for (int x = 0; x < 64; x += 8) paint.Rect(x, y, x + 8, y + 8, ((x + y) / 8) % 2 ? 0xFF9A9A9Au : 0xFFD0D0D0u);
  return image;
}

// A solid triangle pointing right in an 8 x 8 box.
base::cl_Bitmap32 FolderArrow() {
  base::cl_Bitmap32 image = Blank(8, 8);
  cl_Painter paint(image);
  for (int y = 0; y < 8; ++y) {
    const int reach = 4 - static_cast<int>(std::fabs(y + 0.5f - 4.0f));
    paint.Rect(2, y, 2 + reach + 1, y + 1, kInk);
  }
  return image;
}

}  // namespace

bool MakeSkinTextures(cl_Output& out) {
  return out.WriteTga("gui/skin/check.tga", Check(), true) && out.WriteTga("gui/skin/dot.tga", Dot(), true) &&
         out.WriteTga("gui/skin/checker.tga", Checker(), false) &&
         out.WriteTga("gui/skin/folderarrow.tga", FolderArrow(), true);
}

}  // namespace demogen
