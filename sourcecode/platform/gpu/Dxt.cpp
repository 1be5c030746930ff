#include "platform/gpu/Dxt.h"

#include <cstring>

#include "platform/gpu/Types.h"

namespace gpu {
namespace {

uint32_t Expand565(uint16_t c, uint32_t rgb[3]) {
  const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  rgb[0] = (r << 3) | (r >> 2);
  rgb[1] = (g << 2) | (g >> 4);
  rgb[2] = (b << 3) | (b >> 2);
  return 0;
}

uint32_t Pack(uint32_t a, const uint32_t rgb[3]) { return a << 24 | rgb[0] << 16 | rgb[1] << 8 | rgb[2]; }

// The colour half of every DXT block; `fourColours` is forced for DXT3/5, which have no
// transparent colour mode.
void DecodeColours(const uint8_t* b, bool fourColours, uint32_t out[16]) {
  const uint16_t c0 = uint16_t(b[0] | b[1] << 8), c1 = uint16_t(b[2] | b[3] << 8);
  uint32_t p[4][3];
  Expand565(c0, p[0]);
  Expand565(c1, p[1]);
  uint32_t alpha[4] = {255, 255, 255, 255};
  if (fourColours || c0 > c1) {
    for (int k = 0; k < 3; ++k) {
      p[2][k] = (2 * p[0][k] + p[1][k] + 1) / 3;
      p[3][k] = (p[0][k] + 2 * p[1][k] + 1) / 3;
    }
  } else {
    for (int k = 0; k < 3; ++k) {
      p[2][k] = (p[0][k] + p[1][k] + 1) / 2;
      p[3][k] = 0;
    }
    alpha[3] = 0;
  }
  const uint32_t bits = uint32_t(b[4]) | uint32_t(b[5]) << 8 | uint32_t(b[6]) << 16 | uint32_t(b[7]) << 24;
  for (int i = 0; i < 16; ++i) {
    const uint32_t index = (bits >> (2 * i)) & 3;
    out[i] = Pack(alpha[index], p[index]);
  }
}

void ReplaceAlpha(uint32_t out[16], const uint8_t alpha[16]) {
  for (int i = 0; i < 16; ++i) out[i] = (out[i] & 0x00FFFFFFu) | uint32_t(alpha[i]) << 24;
}

}  // namespace

void DecodeDxtBlock(uint32_t format, const uint8_t* block, uint32_t out[16]) {
  uint8_t alpha[16];
  switch (format) {
    case fmt::DXT1: DecodeColours(block, false, out); return;
    case fmt::DXT3:
      for (int i = 0; i < 16; ++i) {
        const uint32_t nibble = (block[i / 2] >> ((i & 1) * 4)) & 15;
        alpha[i] = uint8_t(nibble * 17);
      }
      DecodeColours(block + 8, true, out);
      ReplaceAlpha(out, alpha);
      return;
    case fmt::DXT5: {
      const uint32_t a0 = block[0], a1 = block[1];
      uint32_t table[8] = {a0, a1};
      if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i) table[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
      } else {
        for (uint32_t i = 1; i < 5; ++i) table[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
        table[6] = 0;
        table[7] = 255;
      }
      uint64_t bits = 0;
      for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
      for (int i = 0; i < 16; ++i) alpha[i] = uint8_t(table[(bits >> (3 * i)) & 7]);
      DecodeColours(block + 8, true, out);
      ReplaceAlpha(out, alpha);
      return;
    }
    default: std::memset(out, 0, 16 * sizeof(uint32_t));
  }
}

bool DecodeDxt(uint32_t format, uint32_t width, uint32_t height, const uint8_t* blocks, size_t size,
               uint32_t* out) {
  if (!IsCompressed(format)) return false;
  const uint32_t bw = (width + 3) / 4, bh = (height + 3) / 4;
  const size_t blockSize = format == fmt::DXT1 ? 8 : 16;
  if (size < size_t(bw) * bh * blockSize) return false;
  uint32_t pixels[16];
  for (uint32_t by = 0; by < bh; ++by) {
    for (uint32_t bx = 0; bx < bw; ++bx) {
      DecodeDxtBlock(format, blocks + (size_t(by) * bw + bx) * blockSize, pixels);
      for (uint32_t y = 0; y < 4 && by * 4 + y < height; ++y)
        for (uint32_t x = 0; x < 4 && bx * 4 + x < width; ++x)
          out[size_t(by * 4 + y) * width + bx * 4 + x] = pixels[y * 4 + x];
    }
  }
  return true;
}

}  // namespace gpu
