// Small deterministic painting on a 32-bit canvas for the generated pictures: gradients,
// anti-aliased discs and rings, rectangles and noise. Colours are 0xAARRGGBB; shapes blend over
// what is there (alpha included), so pictures with transparent surroundings can be built up.
#pragma once

#include <cstdint>

#include "base/Imaging.h"

namespace demogen {

class cl_Painter {
 public:
  explicit cl_Painter(base::cl_Bitmap32& canvas) : m_canvas(canvas) {}

  void Fill(uint32_t colour);
  void VerticalGradient(uint32_t top, uint32_t bottom);
  // Colour over the pixel with the given coverage (0..1).
  void Blend(int x, int y, uint32_t colour, float coverage);
  void Disc(float cx, float cy, float radius, uint32_t colour);
  void Ring(float cx, float cy, float radius, float width, uint32_t colour);
  void Rect(int x0, int y0, int x1, int y1, uint32_t colour);  // x1, y1 exclusive
  // Brightness wobble of ±amount (0..1) from Perlin noise at the given scale (fixed: same bytes
  // every run).
  void Noise(float scale, float amount);

 private:
  base::cl_Bitmap32& m_canvas;
};

// Linear mix of two packed colours, all four channels.
uint32_t Mix(uint32_t a, uint32_t b, float t);

}  // namespace demogen
