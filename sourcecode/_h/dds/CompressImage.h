// The texture compression library's entry: one 8-bit RGBA image and an options record in, one
// complete DDS file (header and every mip level) out through a write callback.
#pragma once

#include "dds/file/DdsHeader.h"
#include "dds/image/FloatImage.h"

namespace dds {

struct TextureCompressOptions;

// The input image.
struct Image {
  i32 width = 0;
  i32 height = 0;
  tVector<u32> pixels;  // width·height entries, rows from the top; bytes R, G, B, A in memory
  u8 rgbe = 0;          // pixels are shared-exponent colour (R, G, B, exponent), alpha 1
};

// Compresses one image. `rect`, when given, is an inclusive {x0, y0, x1, y1} cut of the image.
// Returns 0, a negative code of the library (GetErrorString), or the first non-zero value a
// level callback returned. Every error found before the header leaves the callback unused. The
// options are written during the run (texture map type, renormalising, colour weights).
i32 CompressImage(const Image& image, TextureCompressOptions& options, WriteCallback callback,
                  const i32* rect);

// The inner entries, in calling order: 8-bit levels to float levels, then preparation and the
// driver.
i32 CompressFloat(const tVector<MipLevel>& levels, TextureCompressOptions& options,
                  WriteCallback callback, const i32* rect);
i32 CompressPrepared(const tVector<FloatImage>& levels, TextureCompressOptions& options,
                     WriteCallback callback, const i32* rect);

// The options of the engine's texture caching: quality 71, shrink to fit the target box,
// the full chain or one level, DXT5 with alpha, DXT1 without, A8R8G8B8 when not compressing.
void SetEnginePathOptions(TextureCompressOptions& options, f32 target_width, f32 target_height,
                          bool mip_maps, bool compress, bool has_alpha, void* user_data);

}  // namespace dds
