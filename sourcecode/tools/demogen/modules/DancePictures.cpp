// The dance game's pictures: the note and its glow, the goal ring the notes pass through, the
// score bar with its two fills and the mark of the needed score. The fills are square, since the
// band they are drawn as is as thick as the texture is wide; the bar's well lies where the game
// draws the fill (8 pixels below the bar's top, as thick as the fill).
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

constexpr int kNote = 48, kGoal = 96, kBarWidth = 256, kBarHeight = 16, kFill = 12;
constexpr uint32_t kInk = 0xFF1E1A2Eu, kBrass = 0xFFD8B060u, kWarm = 0xFFF0DCA0u;

base::cl_Bitmap32 Blank(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

// A round note head with a stem and a flag, on a pale disc so it reads over any stage.
base::cl_Bitmap32 Note() {
  base::cl_Bitmap32 image = Blank(kNote, kNote);
  cl_Painter paint(image);
  paint.Disc(24.0f, 24.0f, 22.0f, 0xC0F4ECD8u);
  paint.Ring(24.0f, 24.0f, 22.0f, 2.0f, kBrass);
  paint.Disc(20.0f, 31.0f, 7.0f, kInk);
  paint.Rect(25, 10, 28, 31, kInk);
  paint.Rect(28, 10, 34, 14, kInk);
  return image;
}

// A soft warm halo, brightest in the middle.
base::cl_Bitmap32 Glow() {
  base::cl_Bitmap32 image = Blank(kGoal, kGoal);
  cl_Painter paint(image);
  for (int r = 46; r > 0; r -= 2) {
    const float t = static_cast<float>(r) / 46.0f;
    paint.Disc(48.0f, 48.0f, static_cast<float>(r), Mix(0x30F0DCA0u, 0x40FFFFF0u, 1.0f - t));
  }
  return image;
}

// The ring a note must be touched in: a brass rim with a faint fill and a centre mark.
base::cl_Bitmap32 Goal() {
  base::cl_Bitmap32 image = Blank(kGoal, kGoal);
  cl_Painter paint(image);
  paint.Disc(48.0f, 48.0f, 44.0f, 0x30F0DCA0u);
  paint.Ring(48.0f, 48.0f, 44.0f, 4.0f, kBrass);
  paint.Ring(48.0f, 48.0f, 24.0f, 1.5f, 0x80D8B060u);
  paint.Disc(48.0f, 48.0f, 3.0f, kWarm);
  return image;
}

// A dark well with a brass frame, rows 2..13 free for the fill.
base::cl_Bitmap32 Bar() {
  base::cl_Bitmap32 image = Blank(kBarWidth, kBarHeight);
  cl_Painter paint(image);
  paint.Rect(0, 0, kBarWidth, kBarHeight, kBrass);
  paint.Rect(1, 2, kBarWidth - 1, kBarHeight - 2, 0xFF201810u);
  return image;
}

// Shaded across its columns: the band runs along the texture's rows, so its shading lies across
// the bar and its length repeats without seams.
base::cl_Bitmap32 Fill(uint32_t top, uint32_t bottom) {
  base::cl_Bitmap32 image = Blank(kFill, kFill);
  cl_Painter paint(image);
  for (int x = 0; x < kFill; ++x) paint.Rect(x, 0, x + 1, kFill, Mix(top, bottom, static_cast<float>(x) / (kFill - 1)));
  return image;
}

base::cl_Bitmap32 PartingLine() {
  base::cl_Bitmap32 image = Blank(3, kFill);
  cl_Painter paint(image);
  paint.Rect(0, 0, 3, kFill, 0xFFF8F8F8u);
  return image;
}

}  // namespace

bool MakeDancePictures(cl_Output& out) {
  const std::string dir = "gui/minigames/dance/";
  bool ok = true;
  ok = ok && out.WriteTga(dir + "partitur.tga", Note(), true);
  ok = ok && out.WriteTga(dir + "partitur_glow.tga", Glow(), true);
  ok = ok && out.WriteTga(dir + "goal.tga", Goal(), true);
  ok = ok && out.WriteTga(dir + "bar.tga", Bar(), true);
  ok = ok && out.WriteTga(dir + "fill.tga", Fill(0xFFE0A040u, 0xFF985820u), true);
  ok = ok && out.WriteTga(dir + "fill_green.tga", Fill(0xFF70D060u, 0xFF2C8030u), true);
  ok = ok && out.WriteTga(dir + "partingline.tga", PartingLine(), true);
  return ok;
}

}  // namespace demogen
