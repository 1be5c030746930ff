#include "dds/image/Sharpen.h"

#include <cmath>

#include "dds/LevelPipeline.h"
#include "dds/Log.h"
#include "dds/PipelineHooks.h"
#include "dds/TextureCompressOptions.h"

namespace dds {
namespace {

// Inner 3×3 row by row, placed in the middle of the 5×5 record.
constexpr ConvolutionFilterRecord Fixed(const char* name, const f32 (&k)[9], f32 divisor,
                                        f32 bias) {
  ConvolutionFilterRecord r{};
  r.name = name;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) r.kernel[(y + 1) * 5 + x + 1] = k[y * 3 + x];
  r.divisor = divisor;
  r.bias = bias;
  return r;
}

const ConvolutionFilterRecord kFixedFilters[15] = {
    Fixed("Negative", {0, 0, 0, 0, -1, 0, 0, 0, 0}, 1, 255),
    Fixed("Lighter", {0, 0, 0, 0, 1, 0, 0, 0, 0}, 1, 32),
    Fixed("Darker", {0, 0, 0, 0, 1, 0, 0, 0, 0}, 1, -32),
    Fixed("Contrast More", {0, 0, 0, 0, 2, 0, 0, 0, 0}, 1, -128),
    Fixed("Contrast Less", {0, 0, 0, 0, 1, 0, 0, 0, 0}, 2, 64),
    Fixed("Smoothen", {1, 1, 1, 1, 5, 1, 1, 1, 1}, 13, 0),
    Fixed("__Sharpen", {-1, -1, -1, -1, 16, -1, -1, -1, -1}, 8, 0),
    Fixed("__Sharpen", {0, -2, 0, -2, 11, -2, 0, -2, 0}, 3, 0),
    Fixed("Sharpen Strong", {-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1, 0),
    Fixed("__Find Edges", {-1, -1, -1, -1, 8, -1, -1, -1, -1}, 1, 0),
    Fixed("Countour", {-1, -1, -1, -1, 8, -1, -1, -1, -1}, 1, 255),
    Fixed("Edge Detect", {1, 1, 1, 1, -7, 1, 1, 1, 1}, 1, 0),
    Fixed("Edge Detect Soft", {1, 1, 1, 1, -2, 1, 1, 1, 1}, 6, 0),
    Fixed("Emboss", {1, 1, -1, 1, 1, -1, 1, -1, -1}, 1, 0),
    Fixed("__Sharpen", {-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1, 0),
};

// Largest unsharp radius a run accepts: the kernel grows with it, and past this it would be
// wider than any level.
constexpr f32 kMaxUnsharpRadius = 1000.0f;

// Runs the kernel over the inner pixels (margin 1 or 2), reading the pixels from before the
// pass.
void Convolve(const ConvolutionFilterRecord& filter, FloatImage& picture, int margin, f32 divisor,
              f32 bias) {
  const u32 w = picture.width, h = picture.height;
  const u32 m = static_cast<u32>(margin);
  if (w <= 2 * m || h <= 2 * m) return;
  const FloatImage before(picture);
  for (u32 y = m; y < h - m; ++y) {
    f32* out = picture.Row(y);
    for (u32 x = m; x < w - m; ++x) {
      f32 sum[4] = {0.0f, 0.0f, 0.0f, 0.0f};
      for (int dy = -margin; dy <= margin; ++dy) {
        const f32* src = before.Row(y + dy);
        for (int dx = -margin; dx <= margin; ++dx) {
          const f32 k = filter.kernel[(dy + 2) * 5 + dx + 2];
          if (k == 0.0f) continue;
          const f32* p = src + 4 * (x + dx);
          for (int c = 0; c < 4; ++c) sum[c] += k * p[c];
        }
      }
      for (int c = 0; c < 4; ++c) out[4 * x + c] = sum[c] / divisor + bias;
    }
  }
}

}  // namespace

// ---- settings

void SharpenSettings::SetCustomFilter(const f32 kernel[25], f32 divisor, f32 bias) {
  for (int i = 0; i < 25; ++i) custom.kernel[i] = kernel[i];
  custom.divisor = divisor;
  custom.bias = bias;
}

void SharpenSettings::SetXSharpSettings(f32 strength, f32 threshold) {
  xsharp.strength = strength;
  xsharp.threshold = threshold;
}

void SharpenSettings::SetUnsharpSettings(f32 radius, f32 amount, f32 threshold) {
  unsharp.radius = radius;
  unsharp.amount = amount;
  unsharp.threshold = threshold;
}

void SharpenSettings::FromOptions(const TextureCompressOptions& o) {
  SetCustomFilter(&o.custom_filter[0][0], o.custom_filter_dev, o.custom_filter_bias);
  SetUnsharpSettings(o.unsharp_radius, o.unsharp_amount, o.unsharp_threshold);
  SetXSharpSettings(o.xsharp_strength, o.xsharp_threshold);
}

const ConvolutionFilterRecord* GetSharpenFilter(i32 method) {
  if (method < 1 || method > 15) return nullptr;
  return &kFixedFilters[method - 1];
}

// ---- convolution

void ApplyConvolutionFilter(const ConvolutionFilterRecord& filter, FloatImage& picture) {
  if (picture.rows == nullptr) return;
  const f32 divisor = filter.divisor == 0.0f ? 1.0f : filter.divisor;
  const f32 bias = filter.bias / 255.0f;
  bool outer = false, neighbours = false;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      if (filter.kernel[y * 5 + x] == 0.0f) continue;
      if (y == 0 || y == 4 || x == 0 || x == 4) outer = true;
      if (y != 2 || x != 2) neighbours = true;
    }
  if (outer) {
    Convolve(filter, picture, 2, divisor, bias);
    return;
  }
  if (neighbours) {
    Convolve(filter, picture, 1, divisor, bias);
    return;
  }
  const f32 centre = filter.kernel[12];
  if (centre == 1.0f && divisor == 1.0f && bias == 0.0f) return;
  for (u32 y = 0; y < picture.height; ++y) {
    f32* px = picture.Row(y);
    for (u32 i = 0; i < 4 * picture.width; ++i) px[i] = px[i] * centre / divisor + bias;
  }
}

// ---- xsharp

void ApplyXSharp(const XSharpSettings& settings, FloatImage& picture) {
  const u32 w = picture.width, h = picture.height;
  if (w < 3 || h < 3 || picture.rows == nullptr || settings.strength == 0.0f) return;
  const FloatImage before(picture);
  const auto luma = [](const f32* p) { return 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2]; };
  const f32 s = settings.strength, t = settings.threshold;
  for (u32 y = 1; y + 1 < h; ++y)
    for (u32 x = 1; x + 1 < w; ++x) {
      const f32* brightest = nullptr;
      const f32* darkest = nullptr;
      f32 hi = -1.0f, lo = 1000.0f;
      for (u32 ny = y - 1; ny <= y + 1; ++ny)
        for (u32 nx = x - 1; nx <= x + 1; ++nx) {
          const f32* p = before.Pixel(nx, ny);
          const f32 l = luma(p);
          if (l > hi) hi = l, brightest = p;
          if (l < lo) lo = l, darkest = p;
        }
      const f32* self = before.Pixel(x, y);
      const f32 l = luma(self);
      const f32* target = nullptr;
      if (l - lo <= hi - l) {
        if (l - lo < t) target = darkest;
      } else if (hi - l < t) {
        target = brightest;
      }
      // Pure white never pulls a pixel toward it.
      if (target != nullptr && luma(target) == 1.0f && target[0] == 1.0f && target[1] == 1.0f &&
          target[2] == 1.0f)
        target = nullptr;
      if (target == nullptr) continue;
      f32* out = picture.Pixel(x, y);
      for (int c = 0; c < 3; ++c) out[c] = s * target[c] + (1.0f - s) * self[c];
    }
}

// ---- dispatch

void ApplySharpenMethod(const SharpenSettings& settings, FloatImage& picture, i32 method) {
  if (const ConvolutionFilterRecord* fixed = GetSharpenFilter(method)) {
    ApplyConvolutionFilter(*fixed, picture);
    return;
  }
  switch (method) {
    case kSharpenUnsharp: ApplyUnsharpMask(settings.unsharp, picture); break;
    case kSharpenXSharp: ApplyXSharp(settings.xsharp, picture); break;
    case kSharpenCustom: ApplyConvolutionFilter(settings.custom, picture); break;
    default: break;
  }
}

// ---- the level pipeline's hooks

i32 PrepareSharpening(PipelineContext&, const TextureCompressOptions& o) {
  if (o.sharpen_method != kSharpenUnsharp) return kOk;
  const f32 r = std::fabs(o.unsharp_radius);
  if (!(r <= kMaxUnsharpRadius)) {
    Log("ERROR: dds: unsharp radius %g is out of range (at most %g)\n",
        static_cast<double>(o.unsharp_radius), static_cast<double>(kMaxUnsharpRadius));
    return kResultBadOption;
  }
  return kOk;
}

void SharpenLevel(PipelineContext&, const TextureCompressOptions& o, FloatImage& level) {
  SharpenSettings settings;
  settings.FromOptions(o);
  ApplySharpenMethod(settings, level, o.sharpen_method);
}

}  // namespace dds
