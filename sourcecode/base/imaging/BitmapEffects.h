// Procedural image operations on the CPU bitmaps: blurs, fractal noise and detail, saturated
// detail, colouring through masks, contours, relief, resampling, cropping and float smoothing.
// Each class derives from its bitmap kind and adds no fields; the operations work in place (a
// new pixel buffer replaces the old one when the size changes). Several draw from the engine's
// global random generator (base::Random, base::RandBetween), so seed it to repeat a result.
// Pixels are walked row by row, top row first, and later pixels see the earlier changed ones.
#pragma once

#include <functional>

#include "base/Imaging.h"
#include "base/math/Limit.h"

namespace base {

class cl_Bitmap8Ex : public cl_Bitmap8 {
 public:
  // Each pixel: the mean of itself and up to 6 random neighbours within one step.
  void Blur();
  // Each pixel: the mean of itself and 2r random samples within ±r, r from the radius map
  // (tiled over this bitmap). Nothing without a radius map.
  void Blur(const cl_Bitmap8* radius);
  // Bright pixels (above 128) gain detail × (a − 128) / 192; results above 255 fold back
  // (765 − 2 × value, not below 0). The detail map repeats every 512 pixels.
  void AddSaturated(const cl_Bitmap8* detail);
  // Each pixel × other's at the same position (0 outside other) >> 8.
  cl_Bitmap8Ex& operator*=(const cl_Bitmap8& other);
  // steps fractal enlargements (w → 2w − 1) with random in-between values, each followed by
  // noise of ± amplitude / 2 (modulo 256); the amplitude halves after every step.
  void AddNoise(int steps, int amplitude);
  // steps fractal enlargements whose new pixels copy a random neighbour.
  void AddDetail(int steps);
};

class cl_Bitmap32Ex : public cl_Bitmap32 {
 public:
  // Each pixel: red, green, blue weighted 5 against up to 5 random neighbours; alpha 255.
  void Blur();
  // Red = green = blue = their mean; alpha 255.
  void Desaturate();
  // Pixels whose mask value (0 outside the mask) lies in lo … hi become colour.
  void Colorize(const cl_Bitmap8* mask, int lo, int hi, Color32 colour);
  // Pixels whose mask value m lies in lo … hi become colour1 blended toward colour2 by
  // (m − lo) / (hi − lo); with lo = hi they become colour1.
  void Colorize(const cl_Bitmap8* mask, int lo, int hi, Color32 colour1, Color32 colour2);
  // This becomes the mask's size: the one-pixel frame and the pixels outside (mask value below
  // threshold) take outside, inside pixels whose four side neighbours are inside take inner,
  // the other inside pixels edge.
  void CreateContour(const cl_Bitmap8* mask, int threshold, Color32 inner, Color32 edge, Color32 outside);
  // The same with "inside" decided by a test of the mask value.
  void CreateContour(const cl_Bitmap8* mask, const std::function<bool(unsigned char)>& inside, Color32 inner,
                     Color32 edge, Color32 outside);
  // This becomes the height map's size: a grey shading of each height against a random one of
  // its next two right-hand neighbours, around 220; alpha 255.
  void CreateRelief(const cl_Bitmap8* height);
  // Nearest sample to the new size (empty below 1 × 1).
  void Resample(int width, int height);
  // The rectangle's pixels ((max − min) in size, 0 outside this bitmap).
  void Crop(const tLimit<tVector2<int>>& rectangle);
};

class cl_Bitmap1fEx : public cl_Bitmap1f {
 public:
  // n passes; each pixel becomes the mean of its side neighbours inside the bitmap (a pixel
  // without any keeps its value).
  void Smooth(int n);
  // n steps; each enlarges w → 2w − 1 (new samples the mean of the old ones beside them), then
  // replaces every sample by the mean of the 3 × 3 samples around it that lie inside.
  void SmoothInflate(int n);
};

}  // namespace base
