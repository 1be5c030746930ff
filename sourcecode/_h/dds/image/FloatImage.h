// Level records of the compression library: 8-bit levels as they come in (MipLevel) and float RGBA
// levels (FloatImage) that everything between input and output works on, with the chain builders.
#pragma once

#include "dds/tVector.h"

namespace dds {

// One 8-bit level: four bytes R, G, B, A per pixel (packed little-endian into a u32, R lowest),
// rows from the top. `rgbe` marks shared-exponent pixels (R, G, B, exponent).
struct MipLevel {
  u32 width = 0;
  u32 height = 0;
  tVector<u32> pixels;
  u8 rgbe = 0;
};

// One float level: `height` rows of `width` pixels, four f32 R, G, B, A each, every row its own
// allocation. Copying copies the pixels; an empty image has no rows.
struct FloatImage {
  f32** rows = nullptr;
  u32 height = 0;
  u32 width = 0;

  FloatImage() = default;
  FloatImage(u32 w, u32 h) { Resize(w, h); }
  FloatImage(const FloatImage& other) { Assign(other); }
  FloatImage(FloatImage&& other) noexcept;
  FloatImage& operator=(const FloatImage& other) {
    Assign(other);
    return *this;
  }
  FloatImage& operator=(FloatImage&& other) noexcept;
  ~FloatImage() { Free(); }

  // Stores both counts; rows are allocated only when both are non-zero. Expects an empty image.
  void Allocate(u32 height, u32 width);
  // Frees every row and the row array and zeroes all three fields.
  void Free();
  // Frees and reallocates only when the size differs; contents are unspecified after a change.
  void Resize(u32 width, u32 height);
  // Takes the other image's size and copies every pixel.
  void Assign(const FloatImage& other);

  f32* Row(u32 y) { return rows[y]; }
  const f32* Row(u32 y) const { return rows[y]; }
  // The four channels of pixel (x, y).
  f32* Pixel(u32 x, u32 y) { return rows[y] + 4 * static_cast<std::size_t>(x); }
  const f32* Pixel(u32 x, u32 y) const { return rows[y] + 4 * static_cast<std::size_t>(x); }
};

// Resizes `levels` to `count` (0: the full chain, floor(log2 max(w, h)) + 1, none for 0x0) and
// gives level i the size (max(1, w >> i), max(1, h >> i)) with a pixel vector of that many entries.
void BuildMipChain(tVector<MipLevel>& levels, u32 width, u32 height, u32 count);

// The same for float levels; a level is reallocated only when its size differs.
void BuildFloatChain(tVector<FloatImage>& levels, u32 width, u32 height, u32 count);

// Converts 8-bit levels to float levels of the same count and sizes: bytes / 255, or for `rgbe`
// levels the decoded shared-exponent colour with alpha 1. A level whose pixel vector is shorter
// than its size claims is logged and its missing pixels are left at 0.
void ToFloatPicture(const tVector<MipLevel>& levels, tVector<FloatImage>& out);

// Number of levels of a full chain for a top level of the given size (0 for an empty image).
u32 FullChainCount(u32 width, u32 height);

}  // namespace dds
