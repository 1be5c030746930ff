// Sharpening and image filters run on a finished mip level: fifteen fixed 3×3 kernels, a 5×5
// kernel from the options, an unsharp mask and an edge-directed sharpener. All work in place.
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

struct TextureCompressOptions;

// Sharpening methods beside the fixed kernels 1..15.
enum : i32 {
  kSharpenUnsharp = 16,
  kSharpenXSharp = 17,
  kSharpenCustom = 19,
};

// A kernel of 5 rows of 5 (row-major; the fixed filters use the inner 3×3), its divisor and a
// bias in byte units (0..255): levels hold 0..1, so the bias is applied divided by 255.
struct ConvolutionFilterRecord {
  const char* name = "";
  f32 kernel[25] = {};
  f32 divisor = 1.0f;
  f32 bias = 0.0f;
};

struct UnsharpSettings {
  f32 radius = 5.0f;
  f32 amount = 0.5f;
  f32 threshold = 0.0f;
};

struct XSharpSettings {
  f32 strength = 1.0f;
  f32 threshold = 1.0f;
};

// Everything a run's filters need beside the method.
struct SharpenSettings {
  ConvolutionFilterRecord custom{"Custom 5x5 filter", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
                                 1.0f, 0.0f};
  UnsharpSettings unsharp;
  XSharpSettings xsharp;

  void SetCustomFilter(const f32 kernel[25], f32 divisor, f32 bias);
  void SetXSharpSettings(f32 strength, f32 threshold);
  void SetUnsharpSettings(f32 radius, f32 amount, f32 threshold);
  // All three from the options record.
  void FromOptions(const TextureCompressOptions& options);
};

// The fixed filter of a method 1..15, else null.
const ConvolutionFilterRecord* GetSharpenFilter(i32 method);

// Runs `method` once on `picture`; methods 0, 18, 20 and above (and negative ones) do nothing.
void ApplySharpenMethod(const SharpenSettings& settings, FloatImage& picture, i32 method);

// The convolution of a record: a centre-only kernel scales every pixel; otherwise the inner
// pixels (1 from the edge for 3×3, 2 for 5×5) take the weighted sum of their neighbours from
// before the pass, all four channels, unclamped; the edge pixels stay.
void ApplyConvolutionFilter(const ConvolutionFilterRecord& filter, FloatImage& picture);

// The Gaussian of an unsharp mask of `radius`, normalised to sum 1 (odd length, at least 1).
tVector<f32> UnsharpKernel(f32 radius);
// Sharpens every channel by `amount` times its difference from a Gaussian blur; differences
// with abs(2d) < threshold are left out.
void ApplyUnsharpMask(const UnsharpSettings& settings, FloatImage& picture);

// Moves each inner pixel's colour toward its darkest or brightest 3×3 neighbour, whichever is
// nearer in luminance, when that one is closer than the threshold; alpha stays.
void ApplyXSharp(const XSharpSettings& settings, FloatImage& picture);

}  // namespace dds
