// The title screen's pictures: a night harbour background (1024 × 1024, so it covers the
// largest default screen at scale 1) and the round logo (256 × 256 with alpha), drawn tinted and
// slowly turning over it.
#include <cmath>
#include <algorithm>
#include <cstdint>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

constexpr int kBackgroundSize = 1024;
constexpr int kLogoSize = 256;

// A fixed sequence for star positions, the same on every run.
class cl_Sequence {
 public:
  uint32_t Next() {
    m_state = m_state * 1664525u + 1013904223u;
    return m_state >> 8;
  }
  float Unit() { return static_cast<float>(Next() % 100000) / 100000.0f; }

 private:
  uint32_t m_state = 20261207u;
};

base::cl_Bitmap32 Background() {
  base::cl_Bitmap32 image;
  image.Create(kBackgroundSize, kBackgroundSize);
  cl_Painter paint(image);
  const int horizon = 600;
  paint.VerticalGradient(0xFF060B1Eu, 0xFF1C3552u);
  cl_Sequence random;
  for (int i = 0; i < 220; ++i) {
    const float x = random.Unit() * kBackgroundSize, y = random.Unit() * (horizon - 40);
    paint.Disc(x, y, 0.6f + random.Unit() * 1.1f, Mix(0x60FFFFFFu, 0xFFFFF4D0u, random.Unit()));
  }
  paint.Disc(760, 170, 90, 0x18F8E8B0u);  // halo
  paint.Disc(760, 170, 62, 0x30F8E8B0u);
  paint.Disc(760, 170, 46, 0xFFF4E6B8u);  // moon
  // Water: darker towards the viewer, with the moon's path of light.
  for (int y = horizon; y < kBackgroundSize; ++y) {
    const float t = static_cast<float>(y - horizon) / (kBackgroundSize - horizon);
    paint.Rect(0, y, kBackgroundSize, y + 1, Mix(0xFF14304Au, 0xFF050A16u, t));
    const float wobble = std::sin(y * 0.35f) * 18.0f * (1.0f + t * 3.0f);
    const float half = 20.0f + t * 120.0f;
    if ((y / 3) % 2 == 0)
      paint.Rect(static_cast<int>(760 - half + wobble), y, static_cast<int>(760 + half + wobble), y + 1, 0x50F8E8B0u);
  }
  // The quay and the ferry as silhouettes on the horizon.
  paint.Rect(0, horizon - 24, 420, horizon + 10, 0xFF03060Eu);
  paint.Rect(520, horizon - 40, 900, horizon + 4, 0xFF040811u);
  paint.Rect(600, horizon - 80, 780, horizon - 40, 0xFF040811u);
  paint.Rect(700, horizon - 130, 730, horizon - 80, 0xFF040811u);
  for (int i = 0; i < 6; ++i) paint.Rect(615 + i * 26, horizon - 68, 629 + i * 26, horizon - 56, 0xFFFFC870u);
  paint.Noise(90.0f, 0.12f);
  return image;
}

base::cl_Bitmap32 Logo() {
  base::cl_Bitmap32 image;
  image.Create(kLogoSize, kLogoSize);  // transparent black
  cl_Painter paint(image);
  const float c = kLogoSize / 2.0f;
  paint.Disc(c, c, 118, 0xC0101C30u);
  paint.Ring(c, c, 112, 8, 0xFFE8D9A8u);
  paint.Ring(c, c, 98, 3, 0xFFE8D9A8u);
  // A crescent: inside the moon, outside the disc that bites it.
  for (int y = 0; y < kLogoSize; ++y)
    for (int x = 0; x < kLogoSize; ++x) {
      const float inMoon = std::clamp(52.0f - std::hypot(x + 0.5f - (c - 10), y + 0.5f - (c - 22)) + 0.5f, 0.0f, 1.0f);
      const float inBite = std::clamp(46.0f - std::hypot(x + 0.5f - (c + 12), y + 0.5f - (c - 34)) + 0.5f, 0.0f, 1.0f);
      paint.Blend(x, y, 0xFFF4E6B8u, inMoon * (1.0f - inBite));
    }
  // Three waves under it; the lowest is the widest, so the picture has a clear bottom.
  for (int wave = 0; wave < 3; ++wave) {
    const float baseY = c + 42 + wave * 16, reach = 62.0f + wave * 8;
    for (float x = c - reach; x <= c + reach; x += 0.25f)
      paint.Disc(x, baseY + std::sin((x - c) * 0.11f + wave) * 5.0f, 2.6f, 0xFF7FB7D8u);
  }
  return image;
}

}  // namespace

bool MakeTitleScreen(cl_Output& out) {
  return out.WriteTga("gui/title_background.tga", Background(), false) && out.WriteTga("gui/logo.tga", Logo(), true);
}

}  // namespace demogen
