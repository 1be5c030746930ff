// The level writer: packs one processed float level into the bytes of its texture format (the
// block formats through the block writer, every other format pixel by pixel, little-endian, with
// no row padding).
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

struct TextureCompressOptions;

// IEEE binary16 of a float with the mantissa truncated; too large gives infinity, below the
// smallest subnormal zero, NaN stays NaN.
u16 FloatToHalf(f32 value);

// Luminance of formats 16, 20 and 30: the weighted grey value when `b_calc_luminance` is set,
// else red.
f32 LevelLuminance(const TextureCompressOptions& options, const f32* pixel);

// Packs `level` (index `level_index`) in options.texture_format into a new buffer of
// GetLevelSize bytes, stored in `out` (owned by the caller, delete[]) with its size. Returns 0,
// −97 for a format this library does not write (palette formats, values past the table; `out`
// stays null), or the block writer's code.
i32 WriteLevel(const TextureCompressOptions& options, const FloatImage& level, i32 level_index,
               u8*& out, u32& size);

}  // namespace dds
