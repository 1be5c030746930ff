// Palette quantisation of one level: Wu's variance-minimising box cuts over a 33³ colour grid, or
// the codebook path (1×1 tiles, optionally dithered first), each giving a palette of at most 16
// or 256 colours and the level's packed indices.
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

// A palette as the quantisers hand it out.
struct PaletteRecord {
  i32 channels = 3;    // 3 (R, G, B) or 4 (also A)
  i32 count = 0;       // colours in use
  u8 colours[256][4];  // R, G, B, A; A is 255 where the palette has three channels
};

// The level's pixels as bytes R, G, B, A (UnitToByte per channel), row by row.
void LevelToBytes(const FloatImage& level, tVector<u8>& rgba);

// Packs one index per pixel: one byte each for 256 colours; two per byte for 16 colours (first
// pixel in the low nibble, a row of odd width ending in a zero high nibble, every row starting on
// a new byte). PackedIndexBytes gives the size.
u32 PackedIndexBytes(u32 width, u32 height, i32 palette_size);
void PackIndices(const u32* indices, u32 width, u32 height, i32 palette_size, tVector<u8>& out);

// Wu's quantiser on red, green and blue into at most `palette_size` (16 or 256) colours; the
// packed indices go to `indices`. With `dither` set the level takes the dithered codebook path.
void QuantiseLevelWu(const FloatImage& level, i32 palette_size, PaletteRecord& palette,
                     bool dither, tVector<u8>& indices);

// The codebook path: the byte level (four channels with `with_alpha`, else three), optionally
// error-diffused first, reduced to at most `palette_size` colours; every pixel of that (dithered)
// level is then mapped to its nearest colour. Without dithering and with no more distinct colours
// than `palette_size`, the palette holds exactly the level's colours.
void QuantiseLevelTree(const FloatImage& level, i32 palette_size, PaletteRecord& palette,
                       bool dither, bool with_alpha, tVector<u8>& indices);

// Nearest palette entry of every pixel of `rgba` (R, G, B, plus A when the palette has four
// channels), optionally error-diffused first; one u32 per pixel.
void MapBytesToPalette(const u8* rgba, u32 width, u32 height, const PaletteRecord& palette,
                       bool dither, tVector<u32>& indices);

}  // namespace dds
