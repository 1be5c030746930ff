#include "dds/block/BlockWriter.h"

#include "dds/block/AlphaBlock.h"
#include "dds/block/BlockEncoder.h"
#include "dds/block/ColorBlock.h"
#include "dds/block/ColorPacking.h"
#include "dds/file/DdsHeader.h"
#include "dds/Log.h"
#include "dds/block/RegionEncoder.h"
#include "dds/TextureCompressOptions.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace dds {
namespace {

// One block's gathered pixels, in row-major order over the block and its margin.
struct Gathered {
  i32 count = 0;
  f32 pixel[kMaxBlockPoints][4];  // after the shared-exponent replacement, if any
  f32 source[kMaxBlockPoints][4];  // as stored in the level
  i32 map[16];                      // inner pixel → gathered index, −1 outside the level
};

void Gather(const FloatImage& level, i32 bx, i32 by, i32 margin, bool rgbe_colour, Gathered& g) {
  g.count = 0;
  for (i32& m : g.map) m = -1;
  const i32 w = static_cast<i32>(level.width), h = static_cast<i32>(level.height);
  for (i32 y = by - margin; y < by + 4 + margin; ++y) {
    if (y < 0 || y >= h) continue;
    for (i32 x = bx - margin; x < bx + 4 + margin; ++x) {
      if (x < 0 || x >= w) continue;
      const f32* p = level.Pixel(static_cast<u32>(x), static_cast<u32>(y));
      f32* src = g.source[g.count];
      f32* dst = g.pixel[g.count];
      // The fits expect 0..1; a level written without the pipeline's clamp gets it here.
      for (int c = 0; c < 4; ++c) src[c] = dst[c] = p[c] >= 0.0f ? std::min(p[c], 1.0f) : 0.0f;
      if (rgbe_colour) EncodeSharedExponent(p[0], p[1], p[2], dst);
      if (x >= bx && x < bx + 4 && y >= by && y < by + 4) g.map[(y - by) * 4 + (x - bx)] = g.count;
      ++g.count;
    }
  }
}

// Alpha-style value of a gathered pixel for one channel.
f32 ChannelValue(const TextureCompressOptions& o, const Gathered& g, i32 i, int channel) {
  if (o.rgbe_output) return SharedExponentOf(g.source[i][0], g.source[i][1], g.source[i][2]);
  return g.pixel[i][channel];
}

// One 8-byte interpolated alpha-style block of one channel of the gathered pixels.
void EncodeAlphaChannelBlock(const TextureCompressOptions& o, const CompressorContext& context,
                             const Gathered& g, int channel, AlphaBlockState& alpha, u8* out) {
  alpha.count = g.count;
  alpha.quality = o.quality;
  for (i32 i = 0; i < g.count; ++i) alpha.values[i] = ChannelValue(o, g, i, channel);
  if (g.count > 0) {
    FitAlphaBlock(context, alpha);
  } else {
    alpha.alpha0 = alpha.alpha1 = 0;
  }
  PackAlphaBlock(alpha, g.map, out);
}

void WriteExplicitAlpha(const TextureCompressOptions& o, const Gathered& g, u8* out) {
  for (int row = 0; row < 4; ++row) {
    int word = 0;
    for (int x = 0; x < 4; ++x) {
      const i32 i = g.map[row * 4 + x];
      int nibble = 0;
      if (i >= 0) {
        const f32* s = g.source[i];
        nibble = o.rgbe_output ? ExponentIndex4(s[0], s[1], s[2]) : ClampUnsignedBits(s[3], 4);
      }
      word |= nibble << (4 * x);
    }
    out[2 * row] = static_cast<u8>(word);
    out[2 * row + 1] = static_cast<u8>(word >> 8);
  }
}

// Normal maps weigh the block's channels by the mean normal: the largest component 0.5, the
// middle 0.3, the smallest 0.2.
void NormalMapWeights(const Gathered& g, BlockState& block) {
  double sum[3] = {0, 0, 0};
  for (int p = 0; p < 16; ++p) {
    const i32 i = g.map[p];
    if (i < 0) continue;
    for (int c = 0; c < 3; ++c) sum[c] += 2.0 * g.pixel[i][c] - 1.0;
  }
  const double len = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
  double a[3] = {0, 0, 0};
  if (len > 0)
    for (int c = 0; c < 3; ++c) a[c] = std::fabs(sum[c] / len);
  int largest = 2;
  if (a[0] >= a[1] && a[0] >= a[2])
    largest = 0;
  else if (a[1] >= a[2])
    largest = 1;
  const int o1 = largest == 0 ? 1 : 0;
  const int o2 = largest == 2 ? 1 : 2;
  double w[3];
  w[largest] = 0.5;
  if (a[o1] >= a[o2]) {
    w[o1] = 0.3;
    w[o2] = 0.2;
  } else {
    w[o1] = 0.2;
    w[o2] = 0.3;
  }
  block.weight_r = w[0];
  block.weight_g = w[1];
  block.weight_b = w[2];
}

void EncodeColour(const TextureCompressOptions& o, const CompressorContext& context,
                  const FloatImage& level, const Gathered& g, i32 format, BlockState& block,
                  u8* out) {
  block.format = format;
  block.quality = o.quality;
  block.weight_r = o.weight_r;
  block.weight_g = o.weight_g;
  block.weight_b = o.weight_b;
  // Each block starts from its own policy, so one transparent block does not force the
  // three-colour mode on every later block of the level.
  block.color_policy = (format == 2 || format == 3 || format == 24 || o.surface_flag_a) ? 1 : 2;
  block.count = 0;
  i32 point_of[kMaxBlockPoints];
  for (i32 i = 0; i < g.count; ++i) {
    const f32* p = g.pixel[i];
    if (format == 1 && !(g.source[i][3] > o.binary_alpha_threshold)) {
      point_of[i] = -1;
      block.color_policy = 0;
      continue;
    }
    point_of[i] = block.count;
    double* point = block.points[block.count];
    for (int c = 0; c < 3; ++c) point[c] = format == 24 ? p[1] : p[c];
    block.indices[block.count] = 0;
    ++block.count;
  }
  int map[16];
  for (int k = 0; k < 16; ++k) map[k] = g.map[k] < 0 ? -1 : point_of[g.map[k]];

  if (o.weighttype == 3) NormalMapWeights(g, block);
  if (block.count > 0) CompressColorBlock(context, block);

  // A level narrower or lower than a block repeats its last column and row, so the whole block
  // decodes to pixels of the level.
  const i32 w = static_cast<i32>(level.width), h = static_cast<i32>(level.height);
  if (w < 4 || h < 4) {
    int full[16];
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const int sy = y < h ? y : h - 1;
        const int sx = x < w ? x : w - 1;
        full[y * 4 + x] = map[sy * 4 + sx];
      }
    PackColorBlock(block, full, out);
  } else {
    PackColorBlock(block, map, out);
  }
}

struct Scratch {
  Gathered gathered;
  BlockState block;
  AlphaBlockState alpha;
};

}  // namespace

i32 CompressLevelBlocks(const TextureCompressOptions& o, const FloatImage& level, u8* out,
                        i32 format) {
  if (!IsBlockFormat(format)) return kErrBadArg;
  // Two-channel blocks have no colour part for one shared endpoint pair.
  if (o.surface_flag_b && format != 29) return CompressLevelShared(o, level, out, format);
  const i32 margin = o.b_error_diffusion ? o.error_diffusion_width : 0;
  if (margin < 0 || margin > kMaxBlockMargin) {
    Log("ERROR: dds: error diffusion width %d is outside 0..%d\n", margin, kMaxBlockMargin);
    return kErrBadArg;
  }
  const CompressorContext context{&o};
  const bool rgbe_colour = o.rgbe_output && (format == 0 || format == 2 || format == 3 ||
                                             format == 24);
  // The records are large (several kB each); one set per level, off the stack.
  std::unique_ptr<Scratch> scratch(new Scratch);
  Gathered& g = scratch->gathered;
  const i32 w = static_cast<i32>(level.width), h = static_cast<i32>(level.height);
  u8* p = out;
  for (i32 by = 0; by < h; by += 4) {
    for (i32 bx = 0; bx < w; bx += 4) {
      Gather(level, bx, by, margin, rgbe_colour, g);
      u8* colour_out = p;
      if (format == 2) {
        WriteExplicitAlpha(o, g, p);
        colour_out = p + 8;
      } else if (format == 3 || format == 24) {
        EncodeAlphaChannelBlock(o, context, g, format == 3 ? 3 : 0, scratch->alpha, p);
        colour_out = p + 8;
      } else if (format == 29) {
        EncodeAlphaChannelBlock(o, context, g, 1, scratch->alpha, p);
        EncodeAlphaChannelBlock(o, context, g, 0, scratch->alpha, p + 8);
        p += 16;
        continue;
      }
      EncodeColour(o, context, level, g, format, scratch->block, colour_out);
      p = colour_out + 8;
    }
  }
  return kOk;
}

i32 CompressDXT1(const TextureCompressOptions& o, const FloatImage& level, u8* out) {
  return CompressLevelBlocks(o, level, out, 0);
}
i32 CompressDXT1Alpha(const TextureCompressOptions& o, const FloatImage& level, u8* out) {
  return CompressLevelBlocks(o, level, out, 1);
}
i32 CompressDXT3(const TextureCompressOptions& o, const FloatImage& level, u8* out) {
  return CompressLevelBlocks(o, level, out, 2);
}
i32 CompressDXT5(const TextureCompressOptions& o, const FloatImage& level, u8* out) {
  return CompressLevelBlocks(o, level, out, 3);
}
i32 CompressDXT5Alt(const TextureCompressOptions& o, const FloatImage& level, u8* out) {
  return CompressLevelBlocks(o, level, out, 24);
}
i32 CompressATI2(const TextureCompressOptions& o, const FloatImage& level, u8* out) {
  return CompressLevelBlocks(o, level, out, 29);
}

}  // namespace dds
