#include "dds/block/BlockEncoder.h"

#include "dds/block/AlphaBlock.h"
#include "dds/block/ColorBlock.h"
#include "dds/TextureCompressOptions.h"

#include <algorithm>

namespace dds {
namespace {

void Write16(uint8_t* p, int v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

void PackColorBlock(const BlockState& block, const int map[16], uint8_t* out) {
  int c0 = 0, c1 = 0;
  int mode = block.color_mode == 3 ? 3 : 4;
  int forced_index = -1;
  if (block.count > 0) {
    c0 = block.red0 * 2048 + block.green0 * 32 + block.blue0;
    c1 = block.red1 * 2048 + block.green1 * 32 + block.blue1;
  }
  if (c0 == c1) {
    if (block.format == 1) {
      // Three colours with c0 ≤ c1 keeps code 3 transparent; white is already c0 ≤ c1.
      if (c1 < 0xFFFF) ++c1;
      mode = 3;
      forced_index = 0;
    } else if (c0 < 0xFFFF) {
      ++c0;  // c0 > c1: four colours, every pixel on endpoint 1
      forced_index = 1;
    } else {
      --c1;  // white: c0 stays the colour, still c0 > c1
      forced_index = 0;
    }
  }
  int index[16];
  for (int p = 0; p < 16; ++p) {
    if (map[p] < 0)
      index[p] = 3;
    else
      index[p] = forced_index >= 0 ? forced_index : block.indices[map[p]];
  }
  const bool swap = mode == 4 ? c0 < c1 : c0 > c1;
  if (swap) {
    std::swap(c0, c1);
    for (int p = 0; p < 16; ++p) {
      if (map[p] < 0) continue;
      if (mode == 4)
        index[p] ^= 1;
      else if (index[p] < 2)
        index[p] ^= 1;
    }
  }
  Write16(out, c0);
  Write16(out + 2, c1);
  uint32_t bits = 0;
  for (int p = 15; p >= 0; --p) bits = (bits << 2) | static_cast<uint32_t>(index[p] & 3);
  for (int k = 0; k < 4; ++k) out[4 + k] = static_cast<uint8_t>(bits >> (8 * k));
}

void PackAlphaBlock(const AlphaBlockState& block, const int map[16], uint8_t* out) {
  int a0 = 0, a1 = 0;
  int levels = block.level_count == 6 ? 6 : 8;
  bool zero_indices = false;
  if (block.count > 0) {
    a0 = block.alpha0;
    a1 = block.alpha1;
  }
  if (a0 == a1) {
    ++a1;
    zero_indices = true;
    levels = 6;
  }
  int index[16];
  for (int p = 0; p < 16; ++p) {
    index[p] = map[p] < 0 ? 0 : block.indices[map[p]];
    // Equal ends put every level on one value; the six-level codes for 0 and 255 still hold.
    if (zero_indices && !(block.level_count == 6 && index[p] >= 6)) index[p] = 0;
  }
  const bool swap = levels == 8 ? a0 < a1 : a0 > a1;
  if (swap) {
    std::swap(a0, a1);
    for (int p = 0; p < 16; ++p) {
      if (map[p] < 0) continue;
      int& k = index[p];
      if (k < 2)
        k ^= 1;
      else if (levels == 8)
        k = 9 - k;
      else if (k < 6)
        k = 7 - k;
    }
  }
  out[0] = static_cast<uint8_t>(std::clamp(a0, 0, 255));
  out[1] = static_cast<uint8_t>(std::clamp(a1, 0, 255));
  uint64_t bits = 0;
  for (int p = 15; p >= 0; --p) bits = (bits << 3) | static_cast<uint64_t>(index[p] & 7);
  for (int k = 0; k < 6; ++k) out[2 + k] = static_cast<uint8_t>(bits >> (8 * k));
}

void PackExplicitAlpha(const float alpha[16], uint8_t* out) {
  for (int row = 0; row < 4; ++row) {
    int word = 0;
    for (int x = 0; x < 4; ++x) {
      const float v = alpha[row * 4 + x] * 15.0f + 0.5f;
      const int nibble = v >= 15.0f ? 15 : (v > 0.0f ? static_cast<int>(v) : 0);
      word |= nibble << (4 * x);
    }
    Write16(out + 2 * row, word);
  }
}

bool EncodeBlockRGBA(const CompressorContext& context, const uint8_t* rgba, int texture_format,
                     uint8_t* out) {
  const int f = texture_format;
  if (f != 0 && f != 1 && f != 2 && f != 3 && f != 24 && f != 29) return false;
  static const TextureCompressOptions kDefaults;
  const TextureCompressOptions& o = context.options ? *context.options : kDefaults;
  uint8_t* colour_out = out;
  int identity[16];
  for (int p = 0; p < 16; ++p) identity[p] = p;

  // Alpha part first, as in the file.
  if (f == 2) {
    float alpha[16];
    for (int p = 0; p < 16; ++p) alpha[p] = rgba[4 * p + 3] / 255.0f;
    PackExplicitAlpha(alpha, out);
    colour_out = out + 8;
  } else if (f == 3 || f == 24 || f == 29) {
    AlphaBlockState alpha;
    const int channels[2] = {f == 3 ? 3 : (f == 24 ? 0 : 1), 0};
    for (int k = 0; k < (f == 29 ? 2 : 1); ++k) {
      alpha.count = 16;
      alpha.quality = o.quality;
      for (int p = 0; p < 16; ++p) alpha.values[p] = rgba[4 * p + channels[k]] / 255.0f;
      FitAlphaBlock(context, alpha);
      PackAlphaBlock(alpha, identity, out + 8 * k);
    }
    if (f == 29) return true;
    colour_out = out + 8;
  }

  BlockState block;
  block.format = f;
  block.quality = o.quality;
  block.weight_r = o.weight_r;
  block.weight_g = o.weight_g;
  block.weight_b = o.weight_b;
  block.color_policy = (f == 2 || f == 3 || f == 24 || o.surface_flag_a) ? 1 : 2;
  block.count = 0;
  int map[16];
  for (int p = 0; p < 16; ++p) {
    const uint8_t* px = rgba + 4 * p;
    if (f == 1 && px[3] / 255.0f <= o.binary_alpha_threshold) {
      map[p] = -1;
      block.color_policy = 0;
      continue;
    }
    map[p] = block.count;
    double* point = block.points[block.count];
    for (int c = 0; c < 3; ++c) point[c] = (f == 24 ? px[1] : px[c]) / 255.0;
    block.indices[block.count] = 0;
    ++block.count;
  }
  if (block.count > 0) CompressColorBlock(context, block);
  PackColorBlock(block, map, colour_out);
  return true;
}

}  // namespace dds
