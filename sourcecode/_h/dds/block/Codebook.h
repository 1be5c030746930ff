// The vector-quantiser codebook: an 8-bit image cut into tiles, every tile a vector of bytes, the
// set of distinct vectors reduced to a target count by merging the cheapest pairs. With 1×1 tiles
// the codebook is a palette. Mapping images onto a codebook is in CodebookSearch.h.
#pragma once

#include "dds/tVector.h"

namespace dds {

// A record of tiles: the codebook itself, or (with the same layout) an image or index record
// whose "tile" is the whole image and whose count is the number of images.
struct Codebook {
  u32 stamp = 0;        // calendar seconds when built, low 32 bits
  u32 tile_height = 0;
  u32 tile_width = 0;
  u32 channels = 0;     // bytes per pixel
  u32 count = 0;        // codewords
  tVector<u32> components;  // codeword after codeword, tile_height·tile_width·channels each
};

// Largest codeword dimension accepted (a 16×16 tile of four channels).
constexpr i32 kMaxCodewordDimension = 1024;

// Builds the codebook of at most `target` (at least 1) codewords for `pixels` (rows of
// width·channels bytes). Tiles are min(height, largest_tile_height) × min(width,
// largest_tile_width); rows and columns past the last whole tile are ignored. Returns 0, or −46
// (logged, codebook emptied) for sizes that are not positive or a dimension above the limit.
i32 BuildCodebook(const u8* pixels, Codebook& codebook, i32 height, i32 width, i32 channels,
                  i32 largest_tile_width, i32 largest_tile_height, i32 target);

}  // namespace dds
