#include "dds/block/DxtDecoder.h"

#include "dds/Log.h"

#include <cstring>

namespace dds {
namespace {

int Read16(const uint8_t* p) { return p[0] | (p[1] << 8); }

void Expand565(int c, int out[3]) {
  const int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  out[0] = (r << 3) | (r >> 2);
  out[1] = (g << 2) | (g >> 4);
  out[2] = (b << 3) | (b >> 2);
}

}  // namespace

void DecodeColorBlock(const uint8_t* block, uint8_t* rgba, bool four_colour_only, bool opaque) {
  const int c0 = Read16(block), c1 = Read16(block + 2);
  int e0[3], e1[3];
  Expand565(c0, e0);
  Expand565(c1, e1);
  uint8_t palette[4][4];
  const bool four = four_colour_only || c0 > c1;
  for (int c = 0; c < 3; ++c) {
    palette[0][c] = static_cast<uint8_t>(e0[c]);
    palette[1][c] = static_cast<uint8_t>(e1[c]);
    if (four) {
      palette[2][c] = static_cast<uint8_t>((2 * e0[c] + e1[c]) / 3);
      palette[3][c] = static_cast<uint8_t>((e0[c] + 2 * e1[c]) / 3);
    } else {
      palette[2][c] = static_cast<uint8_t>((e0[c] + e1[c]) / 2);
      palette[3][c] = 0;
    }
  }
  palette[0][3] = palette[1][3] = palette[2][3] = 255;
  palette[3][3] = four || opaque ? 255 : 0;
  uint32_t bits = static_cast<uint32_t>(block[4]) | (static_cast<uint32_t>(block[5]) << 8) |
                  (static_cast<uint32_t>(block[6]) << 16) |
                  (static_cast<uint32_t>(block[7]) << 24);
  for (int p = 0; p < 16; ++p, bits >>= 2) std::memcpy(rgba + 4 * p, palette[bits & 3], 4);
}

void DecodeAlphaBlock(const uint8_t* block, uint8_t* values) {
  const int a0 = block[0], a1 = block[1];
  int palette[8] = {a0, a1};
  if (a0 > a1) {
    for (int j = 2; j < 8; ++j) palette[j] = ((8 - j) * a0 + (j - 1) * a1 + 3) / 7;
  } else {
    for (int j = 2; j < 6; ++j) palette[j] = ((6 - j) * a0 + (j - 1) * a1 + 2) / 5;
    palette[6] = 0;
    palette[7] = 255;
  }
  uint64_t bits = 0;
  for (int k = 0; k < 6; ++k) bits |= static_cast<uint64_t>(block[2 + k]) << (8 * k);
  for (int p = 0; p < 16; ++p, bits >>= 3) values[p] = static_cast<uint8_t>(palette[bits & 7]);
}

void DecodeDXT1Block(const uint8_t* block, uint8_t* rgba, bool opaque) {
  DecodeColorBlock(block, rgba, false, opaque);
}

void DecodeDXT3Block(const uint8_t* block, uint8_t* rgba) {
  DecodeColorBlock(block + 8, rgba, true, true);
  for (int p = 0; p < 16; ++p) {
    const int nibble = (block[p / 2] >> (4 * (p & 1))) & 15;
    rgba[4 * p + 3] = static_cast<uint8_t>(nibble * 17);
  }
}

void DecodeDXT5Block(const uint8_t* block, uint8_t* rgba) {
  DecodeColorBlock(block + 8, rgba, true, true);
  uint8_t alpha[16];
  DecodeAlphaBlock(block, alpha);
  for (int p = 0; p < 16; ++p) rgba[4 * p + 3] = alpha[p];
}

void DecodeATI2Block(const uint8_t* block, uint8_t* rgba) {
  uint8_t green[16], red[16];
  DecodeAlphaBlock(block, green);
  DecodeAlphaBlock(block + 8, red);
  for (int p = 0; p < 16; ++p) {
    rgba[4 * p] = red[p];
    rgba[4 * p + 1] = green[p];
    rgba[4 * p + 2] = 0;
    rgba[4 * p + 3] = 255;
  }
}

int BlockBytes(int texture_format) {
  switch (texture_format) {
    case 0:
    case 1:
      return 8;
    case 2:
    case 3:
    case 24:
    case 29:
      return 16;
    default:
      return 0;
  }
}

bool DecodeLevel(int texture_format, const uint8_t* data, size_t size, int width, int height,
                 uint8_t* rgba) {
  const int bytes = BlockBytes(texture_format);
  if (bytes == 0) {
    Log("ERROR: DXT decode: texture format %d is not a block format\n", texture_format);
    return false;
  }
  if (width < 1 || height < 1 || width > 65536 || height > 65536) {
    Log("ERROR: DXT decode: level size %d x %d out of range\n", width, height);
    return false;
  }
  const size_t bw = (static_cast<size_t>(width) + 3) / 4, bh = (static_cast<size_t>(height) + 3) / 4;
  const size_t need = bw * bh * static_cast<size_t>(bytes);
  if (data == nullptr || size < need) {
    Log("ERROR: DXT decode: level of %d x %d needs %zu bytes, got %zu\n", width, height, need,
        size);
    return false;
  }
  uint8_t pixels[64];
  for (size_t by = 0; by < bh; ++by)
    for (size_t bx = 0; bx < bw; ++bx) {
      const uint8_t* block = data + (by * bw + bx) * static_cast<size_t>(bytes);
      switch (texture_format) {
        case 0:
        case 1:
          DecodeDXT1Block(block, pixels, texture_format == 0);
          break;
        case 2:
          DecodeDXT3Block(block, pixels);
          break;
        case 29:
          DecodeATI2Block(block, pixels);
          break;
        default:
          DecodeDXT5Block(block, pixels);
          break;
      }
      for (size_t y = 0; y < 4; ++y) {
        const size_t py = by * 4 + y;
        if (py >= static_cast<size_t>(height)) break;
        for (size_t x = 0; x < 4; ++x) {
          const size_t px = bx * 4 + x;
          if (px >= static_cast<size_t>(width)) break;
          std::memcpy(rgba + (py * static_cast<size_t>(width) + px) * 4, pixels + (y * 4 + x) * 4, 4);
        }
      }
    }
  return true;
}

}  // namespace dds
