#include "dds/block/RegionEncoder.h"

#include "dds/block/AlphaBlock.h"
#include "dds/block/BlockEncoder.h"
#include "dds/block/ColorBlock.h"
#include "dds/block/ColorPacking.h"
#include "dds/file/DdsHeader.h"
#include "dds/Log.h"
#include "dds/TextureCompressOptions.h"

#include <cmath>
#include <memory>
#include <vector>

namespace dds {
namespace {

struct Region {
  BlockState block;
  AlphaBlockState alpha;
};

// A vector of unit length, or zero when it has none; one already of unit length is left alone.
void Normalise(f32 v[3]) {
  const f64 squared = static_cast<f64>(v[0]) * v[0] + static_cast<f64>(v[1]) * v[1] +
                      static_cast<f64>(v[2]) * v[2];
  if (std::fabs(squared - 1.0) <= 1e-12) return;
  if (squared < 1e-12) {
    v[0] = v[1] = v[2] = 0.0f;
    return;
  }
  const f64 length = std::sqrt(squared);
  for (int c = 0; c < 3; ++c) v[c] = static_cast<f32>(v[c] / length);
}

// Weights for normal maps from the points' mean direction: largest component 0.5, middle 0.3,
// smallest 0.2.
void WeightsFromPoints(BlockState& block) {
  f64 s[3] = {0, 0, 0};
  for (i32 i = 0; i < block.count; ++i)
    for (int c = 0; c < 3; ++c) s[c] += 2.0 * block.points[i][c] - 1.0;
  const f64 length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
  f64 a[3] = {0, 0, 0};
  if (length > 0)
    for (int c = 0; c < 3; ++c) a[c] = std::fabs(s[c] / length);
  int largest = 0;
  if (a[1] > a[largest]) largest = 1;
  if (a[2] > a[largest]) largest = 2;
  const int o1 = largest == 0 ? 1 : 0;
  const int o2 = largest == 2 ? 1 : 2;
  f64 w[3];
  w[largest] = 0.5;
  w[o1] = a[o1] >= a[o2] ? 0.3 : 0.2;
  w[o2] = a[o1] >= a[o2] ? 0.2 : 0.3;
  block.weight_r = w[0];
  block.weight_g = w[1];
  block.weight_b = w[2];
}

}  // namespace

i32 CompressRegionShared(const CompressorContext& context, const RegionSurface& source,
                         RegionSurface& destination, u8* out, i32 f, u32 linear_size) {
  const i64 pixels = static_cast<i64>(source.height) * static_cast<i64>(source.width);
  if (pixels < 0 || pixels > kMaxRegionPixels) {
    Log("ERROR: dds: a %ux%u level is larger than the region encoder's %lld pixels\n",
        source.width, source.height, static_cast<long long>(kMaxRegionPixels));
    return kErrImageExceedsInternalSize;
  }
  if (!(f == 0 || f == 1 || f == 2 || f == 3 || f == 24) || !source.pixels || !out ||
      !context.options) {
    Log("ERROR: dds: the region encoder cannot write texture format %d\n", f);
    return kErrBadArg;
  }
  const TextureCompressOptions& o = *context.options;
  const FloatImage& level = *source.pixels;
  const i32 h = static_cast<i32>(source.height), w = static_cast<i32>(source.width);
  const i32 grid_h = std::max(h, 4), grid_w = std::max(w, 4);
  std::vector<i32> colour_of(static_cast<std::size_t>(grid_h) * grid_w, -1);
  std::vector<i32> alpha_of(colour_of.size(), -1);
  auto cell = [grid_w](i32 x, i32 y) { return static_cast<std::size_t>(y) * grid_w + x; };
  auto inside = [&](i32 x, i32 y) {
    return x < static_cast<i32>(level.width) && y < static_cast<i32>(level.height);
  };

  std::unique_ptr<Region> region(new Region);
  BlockState& block = region->block;
  AlphaBlockState& alpha = region->alpha;
  block.format = f;
  block.quality = o.quality;
  block.weight_r = o.weight_r;
  block.weight_g = o.weight_g;
  block.weight_b = o.weight_b;
  block.count = 0;
  // Both palette sizes unless a rule below narrows it; nothing carries over from an earlier level.
  block.color_policy = 2;

  for (i32 y = 0; y < h; ++y) {
    for (i32 x = 0; x < w; ++x) {
      if (!inside(x, y)) continue;
      const f32* p = level.Pixel(static_cast<u32>(x), static_cast<u32>(y));
      f32 c[4] = {p[0], p[1], p[2], p[3]};
      if (f == 1) {
        if (!(p[3] > o.binary_alpha_threshold)) {
          block.color_policy = 0;
          continue;
        }
      } else if (o.rgbe_output) {
        EncodeSharedExponent(p[0], p[1], p[2], c);
      } else if (f == 24) {
        Normalise(c);
        c[0] = c[2] = c[1];
      }
      f64* point = block.points[block.count];
      for (int k = 0; k < 3; ++k) point[k] = c[k];
      block.indices[block.count] = 0;
      colour_of[cell(x, y)] = block.count++;
    }
  }

  if (f == 3 || f == 24) {
    alpha.count = 0;
    alpha.quality = o.quality;
    for (i32 y = 0; y < h; ++y) {
      for (i32 x = 0; x < w; ++x) {
        if (!inside(x, y)) continue;
        const f32* p = level.Pixel(static_cast<u32>(x), static_cast<u32>(y));
        f32 value = p[3];
        if (o.rgbe_output) {
          value = SharedExponentOf(p[0], p[1], p[2]);
        } else if (f == 24) {
          f32 v[3] = {p[0], p[1], p[2]};
          Normalise(v);
          value = v[0];
        }
        alpha.values[alpha.count] = value;
        alpha_of[cell(x, y)] = alpha.count++;
      }
    }
    if (alpha.count > 0) {
      FitAlphaBlock(context, alpha);
    } else {
      alpha.alpha0 = alpha.alpha1 = 0;
    }
  }

  if (f == 2 || f == 3 || f == 24 || o.surface_flag_a) block.color_policy = 1;
  if (block.count > 0) {
    if (o.weighttype == 3) WeightsFromPoints(block);
    CompressColorBlock(context, block);
  } else {
    block.red0 = block.green0 = block.blue0 = block.red1 = block.green1 = block.blue1 = 0;
  }

  destination.flags = 0x81806;
  destination.height = source.height;
  destination.width = source.width;
  destination.linear_size = linear_size;
  destination.data = out;
  destination.pf_size = 32;
  destination.pf_flags = (source.pf_flags & 1) | 4;
  destination.fourcc = 0xFFFFFFFF;
  destination.bit_count = 0;

  u8* p = out;
  for (i32 by = 0; by < h; by += 4) {
    for (i32 bx = 0; bx < w; bx += 4) {
      int colour_map[16], alpha_map[16];
      for (int k = 0; k < 16; ++k) {
        const i32 x = bx + (k & 3), y = by + (k >> 2);
        const bool in_grid = x < grid_w && y < grid_h;
        colour_map[k] = in_grid ? colour_of[cell(x, y)] : -1;
        alpha_map[k] = in_grid ? alpha_of[cell(x, y)] : -1;
      }
      if (f == 2) {
        for (int row = 0; row < 4; ++row) {
          int word = 0;
          for (int k = 0; k < 4; ++k) {
            const i32 x = bx + k, y = by + row;
            int nibble = 0;
            if (x < w && y < h && inside(x, y)) {
              const f32* px = level.Pixel(static_cast<u32>(x), static_cast<u32>(y));
              nibble = o.rgbe_output ? ExponentIndex4(px[0], px[1], px[2])
                                     : ClampUnsignedBits(px[3], 4);
            }
            word |= nibble << (4 * k);
          }
          p[2 * row] = static_cast<u8>(word);
          p[2 * row + 1] = static_cast<u8>(word >> 8);
        }
        p += 8;
      } else if (f == 3 || f == 24) {
        PackAlphaBlock(alpha, alpha_map, p);
        p += 8;
      }
      PackColorBlock(block, colour_map, p);
      p += 8;
    }
  }
  return kOk;
}

i32 CompressLevelShared(const TextureCompressOptions& options, const FloatImage& level, u8* out,
                        i32 texture_format) {
  const CompressorContext context{&options};
  RegionSurface source;
  source.flags = 0x180E;
  source.height = level.height;
  source.width = level.width;
  source.pixels = &level;
  source.pf_size = 32;
  source.pf_flags = texture_format == 0 ? 0x40 : 0x41;
  RegionSurface destination;
  const i32 size = GetLevelSize(texture_format, static_cast<i32>(level.width),
                                static_cast<i32>(level.height), 1);
  return CompressRegionShared(context, source, destination, out, texture_format,
                              static_cast<u32>(size));
}

}  // namespace dds
