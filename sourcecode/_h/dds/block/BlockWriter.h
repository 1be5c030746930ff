// The per-level block loop of the DXT formats: cuts a float level into 4×4 blocks, gathers each
// block's pixels (with an optional margin of neighbours), fits the alpha and colour parts and
// packs them into the standard block layouts, one block after another.
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

struct TextureCompressOptions;

// Largest margin of error-diffusion gathering that still fits a block's point arrays:
// (4 + 2·9)² = 484 points.
constexpr i32 kMaxBlockMargin = 9;

// Writes every block of `level` in texture format 0, 1, 2, 3, 24 or 29 into `out`, which holds
// GetLevelSize(format, w, h, ·) bytes. Returns 0, or −46 for a format that is not a block format
// or a margin beyond kMaxBlockMargin (nothing written then).
i32 CompressLevelBlocks(const TextureCompressOptions& options, const FloatImage& level, u8* out,
                        i32 texture_format);

// The level compressors of the block formats 0, 1, 2, 3, 24 and 29, in that order.
i32 CompressDXT1(const TextureCompressOptions& options, const FloatImage& level, u8* out);
i32 CompressDXT1Alpha(const TextureCompressOptions& options, const FloatImage& level, u8* out);
i32 CompressDXT3(const TextureCompressOptions& options, const FloatImage& level, u8* out);
i32 CompressDXT5(const TextureCompressOptions& options, const FloatImage& level, u8* out);
i32 CompressDXT5Alt(const TextureCompressOptions& options, const FloatImage& level, u8* out);
i32 CompressATI2(const TextureCompressOptions& options, const FloatImage& level, u8* out);

}  // namespace dds
