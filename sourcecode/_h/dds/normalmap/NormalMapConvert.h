// The normal-map conversion of one level: colour to height, normal maps from the height in A,
// renormalising, and heights from a normal map.
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

// Conversion codes.
enum : i32 {
  kConvertHeightInAlpha = 1009,  // A already holds the height
  kConvertAverage = 1010,        // (R + G + B) / 3
  kConvertAverageDeviation = 1011,
  kConvertRed = 1012,
  kConvertGreen = 1013,
  kConvertBlue = 1014,
  kConvertMax = 1015,
  kConvertColorSpace = 1016,     // 1 − (1 − R)(1 − G)(1 − B)
  kConvertRenormalize = 1017,
  kConvertHeightFromNormals = 1018,
};

// What A holds after a normal-map run.
enum : i32 {
  kAlphaKeep = 1033,    // the values A had on entry
  kAlphaHeight = 1034,  // the height (also every unknown mode)
  kAlphaZero = 1035,
  kAlphaOne = 1036,
};

// One f32 per pixel; every row its own allocation.
struct FloatPlane {
  f32** rows = nullptr;
  u32 height = 0;
  u32 width = 0;

  FloatPlane() = default;
  FloatPlane(const FloatPlane&) = delete;
  FloatPlane& operator=(const FloatPlane&) = delete;
  ~FloatPlane() { Free(); }
  // Stores both counts and allocates rows only when both are non-zero; values are unspecified.
  // False (and empty) when memory runs out.
  bool Allocate(u32 rows, u32 columns);
  void Free();
};

// Writes the code's height (1010..1016) into A and clears R, G, B. Returns 0, or −24 for a
// picture without pixels. An unknown code logs "Unknown color conversion" and zeroes the picture.
i32 ColorToHeight(i32 conversion, FloatImage& picture);

// Normalises (R, G, B) of every pixel: squared lengths within 1e-12 of 1 stay, those below
// 1e-12 become (0, 0, 0).
void RenormalizeNormals(FloatImage& picture);

// The conversion of one level in place. Returns 0, −12 for a conversion code outside
// 1009..1018 (logged, picture unchanged), −23 or −98. `min_z` is accepted and not used.
i32 ConvertImage(i32 kernel, i32 conversion, i32 alpha_mode, f32 scale, i32 min_z, u8 wrap,
                 u8 invert_x, u8 invert_y, u8 invert_z, u8 add_height_map, u8 swap_rb,
                 FloatImage& picture);

}  // namespace dds
