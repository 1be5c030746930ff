// The shared-endpoint region encoder: a whole small level (at most 512 pixels) as one set of
// points with one colour endpoint pair (and for DXT5 one alpha pair), every 4×4 block then
// written with those endpoints and its own indices. Reached when `surface_flag_b` is set.
#pragma once

#include "dds/block/BlockState.h"
#include "dds/image/FloatImage.h"

namespace dds {

struct TextureCompressOptions;

// Largest level, in pixels, the encoder takes (its point arrays).
constexpr i64 kMaxRegionPixels = kMaxBlockPoints;

// The fields of a DDS surface descriptor the encoder reads and fills.
struct RegionSurface {
  u32 flags = 0;
  u32 height = 0;
  u32 width = 0;
  u32 linear_size = 0;
  const FloatImage* pixels = nullptr;  // source: the level
  u8* data = nullptr;                  // destination: the block data
  u32 pf_size = 0;
  u32 pf_flags = 0;                    // bit 0: alpha pixels
  u32 fourcc = 0;
  u32 bit_count = 0;
};

// Encodes `source` in texture format 0, 1, 2, 3 or 24 into `out` (⌈w/4⌉·⌈h/4⌉ blocks) and
// describes the result in `destination` (its FourCC left at the placeholder 0xFFFFFFFF).
// Returns 0; −100 (logged, nothing written) when width × height is above 512; −46 for another
// format or a missing level.
i32 CompressRegionShared(const CompressorContext& context, const RegionSurface& source,
                         RegionSurface& destination, u8* out, i32 texture_format, u32 linear_size);

// The block writer's way in: `level` as a source surface, the level's byte size as linear size.
i32 CompressLevelShared(const TextureCompressOptions& options, const FloatImage& level, u8* out,
                        i32 texture_format);

}  // namespace dds
