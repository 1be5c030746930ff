// The level writer of the palette formats (10 and 21: 256 colours, 14 and 22: 16 colours; 21
// and 22 keep alpha in the palette).
//
// Stream layout: level 0's buffer is the palette followed by its indices, so the palette sits
// right after the descriptor and every level is one callback call of GetLevelSize bytes. The
// palette always has 256 or 16 entries of four bytes R, G, B, A (unused entries zero; A 255 for
// 10 and 14); lower levels hold indices only.
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

struct TextureCompressOptions;

// Colours of a palette format's palette (256 or 16); 0 for other formats.
i32 PaletteColours(i32 texture_format);

// Writes one level of a palette format into a new buffer (`out`, delete[]) of GetLevelSize bytes.
// Level 0 builds the palette (quantising the level when `b_palette` is set or `palette_size` is
// not 1..colours, else taking the first `palette_size` entries of `palette`) and stores it back
// into options.palette; every level maps to options.palette. Returns 0 or −97 for a format that
// has no palette.
i32 WritePaletteLevel(TextureCompressOptions& options, const FloatImage& level, i32 level_index,
                      u8*& out, u32& size);

}  // namespace dds
