#include "core/Painter.h"

#include <algorithm>
#include <cmath>

#include "base/math/Noise.h"

namespace demogen {

uint32_t Mix(uint32_t a, uint32_t b, float t) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const float ca = static_cast<float>((a >> shift) & 0xFF), cb = static_cast<float>((b >> shift) & 0xFF);
    out |= static_cast<uint32_t>(std::lround(ca + (cb - ca) * t)) << shift;
  }
  return out;
}

void cl_Painter::Fill(uint32_t colour) {
  for (int i = 0; i < m_canvas.NumPixels(); ++i) m_canvas.GetPixels()[i] = base::Color32(colour);
}

void cl_Painter::VerticalGradient(uint32_t top, uint32_t bottom) {
  const int h = m_canvas.Height();
  for (int y = 0; y < h; ++y) {
    const base::Color32 c(Mix(top, bottom, h > 1 ? static_cast<float>(y) / (h - 1) : 0.0f));
    for (int x = 0; x < m_canvas.Width(); ++x) *m_canvas.Pixel(x, y) = c;
  }
}

void cl_Painter::Blend(int x, int y, uint32_t colour, float coverage) {
  if (x < 0 || y < 0 || x >= m_canvas.Width() || y >= m_canvas.Height() || coverage <= 0.0f) return;
  base::Color32& dst = *m_canvas.Pixel(x, y);
  const float a = std::min(coverage, 1.0f) * static_cast<float>(colour >> 24) / 255.0f;
  const base::Color32 src(colour);
  const float outA = a + dst.a / 255.0f * (1.0f - a);
  auto channel = [&](unsigned char s, unsigned char d) {
    if (outA <= 0.0f) return static_cast<unsigned char>(0);
    const float v = (s * a + d * (dst.a / 255.0f) * (1.0f - a)) / outA;
    return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0f, 255.0f)));
  };
  dst = base::Color32(channel(src.r, dst.r), channel(src.g, dst.g), channel(src.b, dst.b),
                      static_cast<unsigned char>(std::lround(outA * 255.0f)));
}

void cl_Painter::Disc(float cx, float cy, float radius, uint32_t colour) {
  for (int y = static_cast<int>(cy - radius - 1); y <= static_cast<int>(cy + radius + 1); ++y)
    for (int x = static_cast<int>(cx - radius - 1); x <= static_cast<int>(cx + radius + 1); ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
      Blend(x, y, colour, std::clamp(radius - d + 0.5f, 0.0f, 1.0f));
    }
}

void cl_Painter::Ring(float cx, float cy, float radius, float width, uint32_t colour) {
  const float outer = radius + width / 2, inner = radius - width / 2;
  for (int y = static_cast<int>(cy - outer - 1); y <= static_cast<int>(cy + outer + 1); ++y)
    for (int x = static_cast<int>(cx - outer - 1); x <= static_cast<int>(cx + outer + 1); ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
      const float coverage = std::min(std::clamp(outer - d + 0.5f, 0.0f, 1.0f), std::clamp(d - inner + 0.5f, 0.0f, 1.0f));
      Blend(x, y, colour, coverage);
    }
}

void cl_Painter::Rect(int x0, int y0, int x1, int y1, uint32_t colour) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) Blend(x, y, colour, 1.0f);
}

void cl_Painter::Noise(float scale, float amount) {
  for (int y = 0; y < m_canvas.Height(); ++y)
    for (int x = 0; x < m_canvas.Width(); ++x) {
      const float n = base::NoiseGenerator::perlin(x / scale, y / scale, 0.5f) * amount;
      base::Color32& c = *m_canvas.Pixel(x, y);
      for (int ch = 0; ch < 3; ++ch) c[ch] = static_cast<unsigned char>(std::clamp(c[ch] * (1.0f + n), 0.0f, 255.0f));
    }
}

}  // namespace demogen
