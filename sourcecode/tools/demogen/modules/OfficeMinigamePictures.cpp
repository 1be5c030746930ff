// The art of the two office mini-games. Bookshelf: the shelf (1024 × 640, two rows of seven
// dark slots where the books stand, places 80 pixels apart from x 260, rows at y 50 and 333)
// and the fourteen books of 70 × 250, each its own colour with its number (1 to 14) on the
// spine. Decoder: the room behind the machine, the machine (1024 × 640, the two text windows at
// y 80 and 178 from x 133, the status dial at (512, 264), knob wells at y 440, label plates at
// y 546), the paper behind the letters, the front plate with the text windows cut out (it hides
// the letters sliding in and out), a knob with its two arrow marks and the status dial.
// Pictures that layouts centre are opaque to their edges, so their own size is their layout size.
#include <cstdio>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"
#include "core/TextPainter.h"

namespace demogen {

namespace {

const char* const kSerifBold = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";
constexpr uint32_t kWood = 0xFF6A4424u, kDarkWood = 0xFF3A2412u, kBrass = 0xFFB8953Au, kIron = 0xFF3C4048u;
constexpr uint32_t kPaperColour = 0xFFEDE2C4u;

base::cl_Bitmap32 Canvas(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

// ---- Bookshelf

base::cl_Bitmap32 Shelf() {
  base::cl_Bitmap32 image = Canvas(1024, 640);
  cl_Painter paint(image);
  paint.VerticalGradient(Mix(kWood, 0xFF000000u, 0.2f), Mix(kWood, 0xFF000000u, 0.45f));
  paint.Noise(5.0f, 0.06f);
  for (int row = 0; row < 2; ++row) {
    const int top = 50 + 283 * row;
    paint.Rect(250, top - 10, 810, top + 250, kDarkWood);                        // the shelf's back
    paint.Rect(240, top + 250, 820, top + 268, Mix(kWood, 0xFFFFFFFFu, 0.15f));  // the board
    for (int i = 0; i < 7; ++i) {
      const int left = 260 + 80 * i;
      paint.Rect(left, top, left + 70, top + 250, Mix(kDarkWood, 0xFF000000u, 0.35f));
    }
  }
  return image;
}

bool Book(cl_Output& out, int index) {
  base::cl_Bitmap32 image = Canvas(70, 250);
  cl_Painter paint(image);
  // Hues spread around the wheel, alternating light and dark so neighbours differ.
  const uint32_t hues[7] = {0xFFB03A2Eu, 0xFF2E6AB0u, 0xFF3A9A4Au, 0xFFB08A2Eu, 0xFF7A3AA0u, 0xFF2E9A9Au, 0xFFA05A2Eu};
  const uint32_t colour = index < 7 ? hues[index] : Mix(hues[index - 7], 0xFF101010u, 0.45f);
  paint.VerticalGradient(Mix(colour, 0xFFFFFFFFu, 0.15f), Mix(colour, 0xFF000000u, 0.25f));
  paint.Rect(0, 0, 4, 250, Mix(colour, 0xFF000000u, 0.4f));
  paint.Rect(66, 0, 70, 250, Mix(colour, 0xFF000000u, 0.4f));
  paint.Rect(6, 24, 64, 30, kBrass);
  paint.Rect(6, 220, 64, 226, kBrass);
  const cl_TextPainter serif(kSerifBold, 30);
  if (!serif.IsOpen()) return false;
  char number[12];
  std::snprintf(number, sizeof(number), "%d", index + 1);
  serif.Draw(image, (70 - serif.Width(number)) / 2, 110 + serif.Ascent() / 2, number, 0xFFF4ECD8u);
  char name[64];
  std::snprintf(name, sizeof(name), "gui/minigames/bookshelf/book_%d%d.tga", index / 10, index % 10);
  return out.WriteTga(name, image, true);
}

// ---- Decoder

constexpr int kLineTop[2] = {80, 178};
constexpr int kWindowLeft = 128, kWindowRight = 918, kWindowHeight = 40;

base::cl_Bitmap32 Room() {
  base::cl_Bitmap32 image = Canvas(1024, 640);
  cl_Painter paint(image);
  paint.VerticalGradient(0xFF2A3440u, 0xFF141A22u);
  paint.Noise(4.0f, 0.05f);
  return image;
}

base::cl_Bitmap32 Machine() {
  base::cl_Bitmap32 image = Canvas(1024, 640);
  cl_Painter paint(image);
  paint.Fill(0xFF1E1A16u);
  paint.Rect(60, 30, 964, 610, kIron);
  paint.Rect(66, 36, 958, 604, Mix(kIron, 0xFFFFFFFFu, 0.12f));
  paint.Disc(512, 264, 46, kBrass);
  paint.Disc(512, 264, 40, 0xFF101010u);
  for (int wheel = 0; wheel < 3; ++wheel) {
    const float cx = 277.0f + 235.0f * wheel;
    paint.Disc(cx, 440, 70, Mix(kIron, 0xFF000000u, 0.4f));
    paint.Rect(static_cast<int>(cx) - 56, 546, static_cast<int>(cx) + 56, 561, kDarkWood);
    for (int side : {-1, 1}) {  // the fixed arrow buttons left and right of the label
      const float ax = cx - 84.0f * side + (side < 0 ? 0.0f : 1.0f);
      paint.Disc(ax, 552, 14, kBrass);
      paint.Disc(ax, 552, 10, Mix(kBrass, 0xFF000000u, 0.3f));
    }
  }
  return image;
}

base::cl_Bitmap32 TextPaper() {
  base::cl_Bitmap32 image = Canvas(1024, 640);
  cl_Painter paint(image);
  for (int top : kLineTop)
    paint.Rect(kWindowLeft - 10, top - 12, kWindowRight + 10, top + kWindowHeight + 12, kPaperColour);
  return image;
}

base::cl_Bitmap32 FrontPlate() {
  base::cl_Bitmap32 image = Canvas(1024, 640);
  cl_Painter paint(image);
  paint.Rect(96, 44, 950, 236, kBrass);
  for (int top : kLineTop) {
    // Cut the window back to transparent.
    for (int y = top - 2; y < top + kWindowHeight; ++y)
      for (int x = kWindowLeft; x < kWindowRight; ++x) image.GetPixels()[y * image.Width() + x] = base::Color32();
  }
  return image;
}

base::cl_Bitmap32 Knob() {
  base::cl_Bitmap32 image = Canvas(128, 128);
  cl_Painter paint(image);
  paint.Disc(64, 64, 62, 0xFF202020u);
  paint.Disc(64, 64, 58, kBrass);
  paint.Disc(64, 64, 30, Mix(kBrass, 0xFF000000u, 0.35f));
  paint.Rect(61, 8, 67, 34, 0xFF202020u);  // the pointer
  // The arrow marks 50 pixels left and right of the centre, where the riding buttons sit.
  for (int side : {-1, 1})
    for (int i = 0; i < 10; ++i)
      paint.Rect(64 + side * 50 - side * i / 2, 60 - i / 2, 64 + side * 50 - side * i / 2 + 2, 68 + i / 2, 0xFF202020u);
  return image;
}

base::cl_Bitmap32 StatusDial() {
  base::cl_Bitmap32 image = Canvas(64, 64);
  cl_Painter paint(image);
  paint.Disc(32, 32, 30, 0xFFB02020u);
  for (int y = 32; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      base::Color32& p = image.GetPixels()[y * 64 + x];
      if (p.a != 0) p = base::Color32(0x20, 0xB0, 0x40, p.a);
    }
  paint.Ring(32, 32, 30, 2, 0xFF101010u);
  return image;
}

}  // namespace

bool MakeOfficeMinigamePictures(cl_Output& out) {
  bool ok = out.WriteTga("gui/minigames/bookshelf/bg_bookshelf.tga", Shelf(), true);
  for (int i = 0; i < 14; ++i) ok = Book(out, i) && ok;
  ok = out.WriteTga("gui/minigames/decoder/back.tga", Room(), true) && ok;
  ok = out.WriteTga("gui/minigames/decoder/machineback.tga", Machine(), true) && ok;
  ok = out.WriteTga("gui/minigames/decoder/textback.tga", TextPaper(), true) && ok;
  ok = out.WriteTga("gui/minigames/decoder/textfront.tga", FrontPlate(), true) && ok;
  ok = out.WriteTga("gui/minigames/decoder/knob.tga", Knob(), true) && ok;
  ok = out.WriteTga("gui/minigames/decoder/status.tga", StatusDial(), true) && ok;
  return ok;
}

}  // namespace demogen
