// Decoder of the block formats the library writes: DXT1, DXT3, DXT5 and ATI2, one block or a
// whole level. Colour interpolants truncate ((2·c0 + c1)/3, (c0 + c1)/2) as the encoder's block
// error assumes; the alpha levels round as the alpha fit assumes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dds {

// One 8-byte DXT1 block to 16 RGBA pixels (row-major, 4 bytes each). In the three-colour mode
// (c0 ≤ c1) code 3 is transparent black, or opaque black when `opaque` is set (DXT1 without
// alpha).
void DecodeDXT1Block(const uint8_t* block, uint8_t* rgba, bool opaque = false);
// One 16-byte DXT3 block: explicit 4-bit alpha, then a four-colour block.
void DecodeDXT3Block(const uint8_t* block, uint8_t* rgba);
// One 16-byte DXT5 block: interpolated alpha, then a four-colour block.
void DecodeDXT5Block(const uint8_t* block, uint8_t* rgba);
// One 16-byte ATI2 block: the first alpha-style block is green, the second red; blue 0, alpha 255.
void DecodeATI2Block(const uint8_t* block, uint8_t* rgba);
// One 8-byte interpolated alpha-style block to 16 values (eight levels when a0 > a1, else six
// levels and the codes 6 = 0 and 7 = 255).
void DecodeAlphaBlock(const uint8_t* block, uint8_t* values);
// The colour half alone; `four_colour_only` is the DXT3/DXT5 rule that ignores the endpoint
// order.
void DecodeColorBlock(const uint8_t* block, uint8_t* rgba, bool four_colour_only, bool opaque);

// Bytes of one block of a texture format (0, 1 DXT1: 8; 2 DXT3, 3 and 24 DXT5, 29 ATI2: 16),
// 0 for formats that are not blocks.
int BlockBytes(int texture_format);

// Decodes a whole level of `width` × `height` pixels into `rgba` (width·height·4 bytes). Format
// 0 decodes opaque. Fails with a logged error when the format is not a block format or `size`
// is shorter than the level.
bool DecodeLevel(int texture_format, const uint8_t* data, size_t size, int width, int height,
                 uint8_t* rgba);

}  // namespace dds
