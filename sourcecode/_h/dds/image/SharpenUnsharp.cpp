// The unsharp mask: a separable Gaussian blur, then each channel pushed away from its blurred
// value. The blur reads the float values themselves, not their bytes: a byte table would cap
// values above 1 (shared-exponent and float levels) and shift a constant level that does not sit
// on a 1/255 step, so that the mask would change what a blur leaves alone.
#include <cmath>

#include "dds/image/Sharpen.h"

namespace dds {

tVector<f32> UnsharpKernel(f32 radius) {
  const f64 s = std::fabs(static_cast<f64>(radius)) + 1.0;
  const f64 reach = 2.0 * s;
  i32 n = 2 * static_cast<i32>(std::ceil(reach - 0.5)) + 1;
  if (n < 1) n = 1;
  const i32 c = n / 2;
  tVector<f32> k(static_cast<u32>(n));
  const f64 two_s2 = 2.0 * s * s;
  // Each tap is the mean of the bell over its pixel, taken in 50 steps.
  for (i32 i = c + 1; i < n; ++i) {
    f64 sum = 0.0;
    for (int j = 1; j <= 50; ++j) {
      const f64 x = (i - c - 0.5) + 0.02 * j;
      if (x <= reach) sum += std::exp(-x * x / two_s2);
    }
    k[static_cast<u32>(i)] = static_cast<f32>(sum / 50.0);
    k[static_cast<u32>(2 * c - i)] = k[static_cast<u32>(i)];
  }
  f64 centre = 0.0;
  for (int j = 0; j <= 50; ++j) {
    const f64 x = 0.5 + 0.02 * j;
    centre += std::exp(-x * x / two_s2);
  }
  k[static_cast<u32>(c)] = static_cast<f32>(centre / 51.0);
  f64 total = 0.0;
  for (f32 v : k) total += v;
  for (f32& v : k) v = static_cast<f32>(v / total);
  return k;
}

namespace {

// Blurs one line of `count` values `stride` floats apart, reading `in` and writing `out`.
void BlurLine(const tVector<f32>& k, const f32* in, f32* out, u32 count, u32 stride) {
  const i32 n = static_cast<i32>(k.size()), c = n / 2, len = static_cast<i32>(count);
  for (i32 p = 0; p < len; ++p) {
    f32 sum = 0.0f;
    if (p - c >= 0 && p + c < len) {
      for (i32 t = 0; t < n; ++t)
        sum += k[static_cast<u32>(t)] * in[static_cast<std::size_t>(p - c + t) * stride];
    } else {
      // Near the ends only the taps inside the line count, and they are renormalised.
      f32 weight = 0.0f;
      for (i32 t = 0; t < n; ++t) {
        const i32 q = p - c + t;
        if (q < 0 || q >= len) continue;
        sum += k[static_cast<u32>(t)] * in[static_cast<std::size_t>(q) * stride];
        weight += k[static_cast<u32>(t)];
      }
      sum = weight > 0.0f ? sum / weight : in[static_cast<std::size_t>(p) * stride];
    }
    out[static_cast<std::size_t>(p) * stride] = sum;
  }
}

}  // namespace

void ApplyUnsharpMask(const UnsharpSettings& settings, FloatImage& picture) {
  const u32 w = picture.width, h = picture.height;
  if (w == 0 || h == 0 || picture.rows == nullptr) return;
  const tVector<f32> k = UnsharpKernel(settings.radius);

  // Rows into `across`, then columns of `across` into `blurred`.
  FloatImage across(w, h), blurred(w, h);
  for (u32 y = 0; y < h; ++y)
    for (int ch = 0; ch < 4; ++ch) BlurLine(k, picture.Row(y) + ch, across.Row(y) + ch, w, 4);
  tVector<f32> column(h), column_out(h);
  for (u32 x = 0; x < w; ++x)
    for (int ch = 0; ch < 4; ++ch) {
      for (u32 y = 0; y < h; ++y) column[y] = across.Pixel(x, y)[ch];
      BlurLine(k, column.data(), column_out.data(), h, 1);
      for (u32 y = 0; y < h; ++y) blurred.Pixel(x, y)[ch] = column_out[y];
    }

  for (u32 y = 0; y < h; ++y) {
    f32* px = picture.Row(y);
    const f32* b = blurred.Row(y);
    for (u32 i = 0; i < 4 * w; ++i) {
      f32 d = px[i] - b[i];
      if (std::fabs(2.0f * d) < settings.threshold) d = 0.0f;
      px[i] += settings.amount * d;
    }
  }
}

}  // namespace dds
