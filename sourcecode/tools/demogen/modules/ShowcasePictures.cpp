// Pictures the start-up showcase draws besides the title screen: a harbour panorama 2048 × 512
// (wider than a texture may be, so the "Image" resource cuts it into tiles), eight numbered
// frames of a flickering lantern for a looping "TextureStrip", and the 32 × 32 game cursor.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

constexpr int kPanoramaWidth = 2048, kPanoramaHeight = 512;
constexpr int kLanternFrames = 8, kLanternWidth = 96, kLanternHeight = 128;
constexpr int kCursorSize = 32;

base::cl_Bitmap32 Panorama() {
  base::cl_Bitmap32 image;
  image.Create(kPanoramaWidth, kPanoramaHeight);
  cl_Painter paint(image);
  const int horizon = 330;
  paint.VerticalGradient(0xFF0A1230u, 0xFF3A4E78u);
  for (int i = 0; i < 400; ++i) {  // stars on a fixed pattern
    const float x = std::fmod(i * 733.13f, static_cast<float>(kPanoramaWidth));
    const float y = std::fmod(i * 97.71f, static_cast<float>(horizon - 60));
    paint.Disc(x, y, 0.7f + (i % 3) * 0.4f, 0xC0FFF6D8u);
  }
  for (int y = horizon; y < kPanoramaHeight; ++y)
    paint.Rect(0, y, kPanoramaWidth, y + 1, Mix(0xFF1A3552u, 0xFF060C18u, static_cast<float>(y - horizon) / 182.0f));
  // The town on the far shore: blocks of different heights with lit windows.
  for (int b = 0; b < 40; ++b) {
    const int x0 = b * 52, height = 30 + (b * 37) % 70;
    paint.Rect(x0, horizon - height, x0 + 46, horizon, 0xFF070B16u);
    for (int w = 0; w < 6; ++w)
      if ((b + w) % 3 == 0) paint.Rect(x0 + 6 + (w % 3) * 13, horizon - height + 8 + (w / 3) * 14, x0 + 12 + (w % 3) * 13,
                                       horizon - height + 14 + (w / 3) * 14, 0xFFFFD27Au);
  }
  // The ferry crossing the middle, with its reflection.
  paint.Rect(880, horizon - 36, 1240, horizon + 6, 0xFF03050Au);
  paint.Rect(960, horizon - 78, 1150, horizon - 36, 0xFF03050Au);
  paint.Rect(1090, horizon - 120, 1112, horizon - 78, 0xFF03050Au);
  for (int i = 0; i < 9; ++i) {
    paint.Rect(900 + i * 36, horizon - 26, 912 + i * 36, horizon - 16, 0xFFFFC870u);
    paint.Rect(900 + i * 36, horizon + 20 + (i % 2) * 4, 912 + i * 36, horizon + 24 + (i % 2) * 4, 0x60FFC870u);
  }
  paint.Noise(120.0f, 0.08f);
  return image;
}

base::cl_Bitmap32 LanternFrame(int frame) {
  base::cl_Bitmap32 image;
  image.Create(kLanternWidth, kLanternHeight);  // transparent black
  cl_Painter paint(image);
  const float flicker = 0.5f + 0.5f * std::sin(frame * (2.0f * std::numbers::pi_v<float>) / kLanternFrames);
  const float cx = kLanternWidth / 2.0f, cy = 70.0f;
  paint.Disc(cx, cy, 34.0f + flicker * 8.0f, Mix(0x30FFB040u, 0x60FFD070u, flicker));
  paint.Disc(cx, cy, 16.0f + flicker * 3.0f, Mix(0xA0FFC060u, 0xE0FFE8A0u, flicker));
  paint.Rect(static_cast<int>(cx) - 14, 44, static_cast<int>(cx) + 14, 48, 0xFF2A2018u);   // cap
  paint.Rect(static_cast<int>(cx) - 12, 96, static_cast<int>(cx) + 12, 100, 0xFF2A2018u);  // base
  paint.Rect(static_cast<int>(cx) - 12, 48, static_cast<int>(cx) - 10, 96, 0xFF2A2018u);
  paint.Rect(static_cast<int>(cx) + 10, 48, static_cast<int>(cx) + 12, 96, 0xFF2A2018u);
  paint.Ring(cx, 36.0f, 7.0f, 2.0f, 0xFF2A2018u);  // handle
  paint.Disc(cx, cy + 4.0f, 5.0f + flicker * 1.5f, 0xFFFFF4D0u);  // flame
  return image;
}

// An arrow pointing up-left with its tip at (1, 1): white with a dark rim.
base::cl_Bitmap32 Cursor() {
  base::cl_Bitmap32 image;
  image.Create(kCursorSize, kCursorSize);
  cl_Painter paint(image);
  auto inside = [](float x, float y, float grow) {
    // The arrow: left edge x = 1, diagonal x + y < 22, stem below the diagonal.
    const bool head = x >= 1 - grow && y >= 1 - grow && x - 1 <= (y - 1) * 0.75f + grow && x + y <= 24 + grow;
    const bool stem = x + 0.5f >= 8 - grow && x <= 13 + grow && y >= 14 - grow && y <= 28 + grow &&
                      (y - 14) >= (x - 8) * 0.6f - 2 - grow;
    return head || stem;
  };
  for (int y = 0; y < kCursorSize; ++y)
    for (int x = 0; x < kCursorSize; ++x) {
      const float px = x + 0.5f, py = y + 0.5f;
      if (inside(px, py, 0.0f)) paint.Blend(x, y, 0xFFFFFFFFu, 1.0f);
      else if (inside(px, py, 1.5f)) paint.Blend(x, y, 0xFF101828u, 1.0f);
    }
  return image;
}

}  // namespace

bool MakeShowcasePictures(cl_Output& out) {
  bool ok = out.WriteTga("gui/title_wide.tga", Panorama(), false);
  for (int i = 0; i < kLanternFrames && ok; ++i)
    ok = out.WriteTga("gui/strips/lantern/lantern_" + std::to_string(i) + ".tga", LanternFrame(i), true);
  return ok && out.WriteTga("gui/cursors/gamecursor.tga", Cursor(), true);
}

}  // namespace demogen
