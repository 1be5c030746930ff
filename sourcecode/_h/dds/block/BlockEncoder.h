// Packing of fitted blocks into the standard DXT byte layouts (endpoint order for the mode,
// equal endpoints, index words), and a one-call encoder of a 4×4 block of 8-bit RGBA.
#pragma once

#include "dds/block/BlockState.h"

#include <cstdint>

namespace dds {

// Writes the 8-byte colour block of a fitted BlockState. `map` gives for each of the 16 pixels
// (row-major) the index of its point, or −1 for a pixel left out (code 3). Four-colour blocks
// are written with c0 > c1, three-colour blocks with c0 ≤ c1.
void PackColorBlock(const BlockState& block, const int map[16], uint8_t* out);

// Writes the 8-byte interpolated alpha-style block of a fitted AlphaBlockState. `map` gives for
// each pixel the index of its value, or −1 for a pixel outside the level (index 0). Eight-level
// blocks are written with a0 > a1, six-level blocks with a0 ≤ a1.
void PackAlphaBlock(const AlphaBlockState& block, const int map[16], uint8_t* out);

// Writes the 8-byte explicit alpha of DXT3 from 16 alpha values in 0..1.
void PackExplicitAlpha(const float alpha[16], uint8_t* out);

// Encodes one full 4×4 block of 8-bit RGBA (row-major) in texture format 0 (DXT1), 1 (DXT1
// with one-bit alpha), 2 (DXT3), 3 (DXT5), 24 (DXT5 with green as colour and red as alpha) or
// 29 (ATI2), with the options' quality, weights and alpha threshold. Writes BlockBytes(format)
// bytes; returns false (writing nothing) for other formats.
bool EncodeBlockRGBA(const CompressorContext& context, const uint8_t* rgba, int texture_format,
                     uint8_t* out);

}  // namespace dds
