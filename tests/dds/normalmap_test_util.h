// Helpers of the normal-map, height-map and sharpening tests: analytic height fields with their
// exact slopes, and a correlation measure.
#pragma once

#include "dds/image/FloatImage.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace normalmap_test {

// A smooth periodic height of a w × h tile, in 0..1, and its slopes per pixel.
struct WaveField {
  double w, h;
  double Height(double x, double y) const {
    return 0.5 + 0.2 * std::sin(2 * std::numbers::pi * x / w) + 0.15 * std::cos(2 * std::numbers::pi * y / h + 0.7) +
           0.1 * std::sin(2 * std::numbers::pi * (x / w + y / h));
  }
  double SlopeX(double x, double y) const {
    return 0.2 * 2 * std::numbers::pi / w * std::cos(2 * std::numbers::pi * x / w) +
           0.1 * 2 * std::numbers::pi / w * std::cos(2 * std::numbers::pi * (x / w + y / h));
  }
  double SlopeY(double x, double y) const {
    return -0.15 * 2 * std::numbers::pi / h * std::sin(2 * std::numbers::pi * y / h + 0.7) +
           0.1 * 2 * std::numbers::pi / h * std::cos(2 * std::numbers::pi * (x / w + y / h));
  }
};

// A non-periodic bump on a tilted sine, not confined to 0..1.
inline double Bump(double u, double v) {
  return 20.0 * std::exp(-((u - 0.4) * (u - 0.4) + (v - 0.55) * (v - 0.55)) * 8.0) +
         6.0 * std::sin(3.0 * u + 1.0) * std::cos(2.0 * v);
}

// A picture whose A channel holds `height(x, y)`; R, G, B hold `rgb`.
template <typename F>
dds::FloatImage HeightPicture(dds::u32 w, dds::u32 h, F height, float rgb = 0.0f) {
  dds::FloatImage image(w, h);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = 0; x < w; ++x) {
      float* p = image.Pixel(x, y);
      p[0] = p[1] = p[2] = rgb;
      p[3] = static_cast<float>(height(double(x), double(y)));
    }
  return image;
}

// The unit normal (−a, −b, 1)/|…| of slopes a, b.
inline void NormalOf(double a, double b, double n[3]) {
  const double k = 1.0 / std::sqrt(a * a + b * b + 1.0);
  n[0] = -a * k;
  n[1] = -b * k;
  n[2] = k;
}

// Pearson correlation of two equally long series.
inline double Correlation(const std::vector<double>& a, const std::vector<double>& b) {
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  const double n = double(a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    sa += a[i];
    sb += b[i];
    saa += a[i] * a[i];
    sbb += b[i] * b[i];
    sab += a[i] * b[i];
  }
  const double cov = sab / n - sa / n * sb / n;
  const double va = saa / n - sa / n * sa / n, vb = sbb / n - sb / n * sb / n;
  return cov / std::sqrt(va * vb);
}

}  // namespace normalmap_test
