// Software decoding of DXT1/3/5 blocks, used where the GL driver has no S3TC and by tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gpu {

// Decodes one 4×4 block into 16 pixels 0xAARRGGBB, row by row. DXT1 blocks whose first colour is
// not above the second have a transparent fourth colour; other DXT1 blocks decode opaque.
void DecodeDxtBlock(uint32_t format, const uint8_t* block, uint32_t out[16]);

// Decodes a whole level of width × height pixels into `out` (width × height pixels, rows of
// `width`). False when `size` is smaller than the level's blocks or the format is not DXT.
bool DecodeDxt(uint32_t format, uint32_t width, uint32_t height, const uint8_t* blocks, size_t size,
               uint32_t* out);

}  // namespace gpu
