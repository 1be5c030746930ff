// Procedural RGBA images for the block codec's tests and benchmarks: smooth gradients, value
// noise, hard-edged shapes, text-like strokes, photograph-like textures, white noise and alpha
// masks; deterministic from a seed, so no binary fixtures are needed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace dxt_corpus {

struct Rng {
  uint64_t s;
  explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  int Int(int n) { return static_cast<int>(Unit() * n); }
};

struct Image {
  std::string name;
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // row-major, 4 bytes per pixel
  uint8_t* At(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
  const uint8_t* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

inline uint8_t ToByte(double v) {
  return static_cast<uint8_t>(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5);
}

// Smooth value noise on a lattice of `cell` pixels, with a lattice from the seed.
class ValueNoise {
 public:
  explicit ValueNoise(uint64_t seed) {
    Rng r(seed);
    for (double& v : lattice_) v = r.Unit();
  }
  double At(double x, double y) const {
    const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
    const double fx = Smooth(x - xi), fy = Smooth(y - yi);
    const double a = L(xi, yi), b = L(xi + 1, yi), c = L(xi, yi + 1), d = L(xi + 1, yi + 1);
    return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
  }
  double Fbm(double x, double y, int octaves) const {
    double sum = 0, amp = 0.5, norm = 0;
    for (int o = 0; o < octaves; ++o) {
      sum += amp * At(x, y);
      norm += amp;
      x *= 2.03;
      y *= 2.03;
      amp *= 0.5;
    }
    return sum / norm;
  }

 private:
  static double Smooth(double t) { return t * t * (3 - 2 * t); }
  double L(int x, int y) const { return lattice_[((x & 63) * 64 + (y & 63)) & 4095]; }
  double lattice_[4096];
};

inline Image Make(const std::string& kind, int w, int h, uint64_t seed) {
  Image im;
  im.name = kind;
  im.width = w;
  im.height = h;
  im.rgba.assign(static_cast<size_t>(w) * h * 4, 255);
  Rng rng(seed);
  ValueNoise n1(seed * 3 + 1), n2(seed * 3 + 2), n3(seed * 3 + 3);
  if (kind == "gradient") {
    const double a[3] = {rng.Unit(), rng.Unit(), rng.Unit()};
    const double b[3] = {rng.Unit(), rng.Unit(), rng.Unit()};
    const double c[3] = {rng.Unit(), rng.Unit(), rng.Unit()};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double u = static_cast<double>(x) / w, v = static_cast<double>(y) / h;
        for (int ch = 0; ch < 3; ++ch)
          im.At(x, y)[ch] = ToByte(a[ch] * (1 - u) + b[ch] * u + (c[ch] - 0.5) * v * 0.6 +
                                   (rng.Unit() - 0.5) * 0.01);
      }
  } else if (kind == "noise") {  // value-noise clouds in three channels
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double s = 1.0 / 24.0;
        im.At(x, y)[0] = ToByte(n1.Fbm(x * s, y * s, 5));
        im.At(x, y)[1] = ToByte(n2.Fbm(x * s, y * s, 5));
        im.At(x, y)[2] = ToByte(n3.Fbm(x * s, y * s, 5));
      }
  } else if (kind == "edges") {  // flat shapes with hard edges
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int ch = 0; ch < 3; ++ch) im.At(x, y)[ch] = 200;
    for (int s = 0; s < 60; ++s) {
      const int cx = rng.Int(w), cy = rng.Int(h), r = 3 + rng.Int(std::max(4, w / 6));
      const uint8_t col[3] = {static_cast<uint8_t>(rng.Int(256)), static_cast<uint8_t>(rng.Int(256)),
                              static_cast<uint8_t>(rng.Int(256))};
      const bool circle = rng.Int(2) == 0;
      for (int y = std::max(0, cy - r); y < std::min(h, cy + r); ++y)
        for (int x = std::max(0, cx - r); x < std::min(w, cx + r); ++x)
          if (!circle || (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r)
            for (int ch = 0; ch < 3; ++ch) im.At(x, y)[ch] = col[ch];
    }
  } else if (kind == "text") {  // dark anti-aliased strokes on paper
    std::vector<double> ink(static_cast<size_t>(w) * h, 0.0);
    for (int line = 8; line + 10 < h; line += 14)
      for (int x0 = 4; x0 + 8 < w; x0 += 7 + rng.Int(3)) {
        const int strokes = 1 + rng.Int(3);
        for (int s = 0; s < strokes; ++s) {
          const double ax = x0 + rng.Unit() * 6, ay = line + rng.Unit() * 10;
          const double bx = x0 + rng.Unit() * 6, by = line + rng.Unit() * 10;
          for (int y = line - 1; y < line + 12 && y < h; ++y)
            for (int x = x0 - 1; x < x0 + 8 && x < w; ++x) {
              const double dx = bx - ax, dy = by - ay;
              const double len2 = dx * dx + dy * dy + 1e-9;
              const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / len2, 0.0, 1.0);
              const double ex = x - (ax + t * dx), ey = y - (ay + t * dy);
              const double cov = std::clamp(1.6 - std::sqrt(ex * ex + ey * ey), 0.0, 1.0);
              double& v = ink[static_cast<size_t>(y) * w + x];
              v = std::max(v, cov);
            }
        }
      }
    const double paper[3] = {0.96, 0.94, 0.88}, pen[3] = {0.1, 0.12, 0.3 * rng.Unit()};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double k = ink[static_cast<size_t>(y) * w + x];
        for (int ch = 0; ch < 3; ++ch) im.At(x, y)[ch] = ToByte(paper[ch] * (1 - k) + pen[ch] * k);
      }
  } else if (kind == "photo") {  // marble/wood-like texture with fine grain and lighting
    const double hue = rng.Unit();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double f = n1.Fbm(x / 40.0, y / 40.0, 6);
        const double vein = 0.5 + 0.5 * std::sin((x + y * 0.3) / 9.0 + f * 12.0);
        const double grain = n2.Fbm(x / 2.5, y / 2.5, 2) - 0.5;
        const double light = 0.6 + 0.4 * n3.Fbm(x / 90.0, y / 90.0, 3);
        const double base[3] = {0.55 + 0.35 * std::cos(6.28 * hue), 0.45 + 0.2 * vein,
                                0.35 + 0.3 * std::sin(6.28 * hue)};
        for (int ch = 0; ch < 3; ++ch)
          im.At(x, y)[ch] = ToByte((base[ch] * (0.5 + 0.5 * vein) + grain * 0.12) * light);
      }
  } else if (kind == "white") {  // independent random pixels: the worst case
    for (size_t i = 0; i < im.rgba.size(); ++i)
      im.rgba[i] = (i & 3) == 3 ? 255 : static_cast<uint8_t>(rng.Int(256));
  }
  return im;
}

// Alpha variants: exact 0/255 masks, soft ramps and noisy alpha.
inline void AddAlpha(Image& im, const std::string& kind, uint64_t seed) {
  ValueNoise n(seed * 7 + 5);
  Rng rng(seed);
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) {
      double a = 1.0;
      if (kind == "mask") a = n.Fbm(x / 12.0, y / 12.0, 3) > 0.5 ? 1.0 : 0.0;
      if (kind == "ramp") a = n.Fbm(x / 30.0, y / 30.0, 4);
      if (kind == "noisy") a = rng.Unit();
      if (kind == "antialiased") a = std::clamp((n.Fbm(x / 12.0, y / 12.0, 3) - 0.5) * 8 + 0.5, 0.0, 1.0);
      im.At(x, y)[3] = ToByte(a);
    }
}

inline const std::vector<std::string>& Kinds() {
  static const std::vector<std::string> kinds = {"gradient", "noise", "edges",
                                                 "text",     "photo", "white"};
  return kinds;
}

// The 16 pixels of the block at block coordinates (bx, by), row-major.
inline void Block(const Image& im, int bx, int by, uint8_t out[64]) {
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 4; ++c) out[(y * 4 + x) * 4 + c] = im.At(bx * 4 + x, by * 4 + y)[c];
}

}  // namespace dxt_corpus
