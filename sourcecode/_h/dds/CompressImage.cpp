#include "dds/CompressImage.h"

#include "dds/LevelPipeline.h"
#include "dds/Log.h"
#include "dds/TextureCompressOptions.h"

#include <new>

namespace dds {

i32 CompressImage(const Image& image, TextureCompressOptions& options, WriteCallback callback,
                  const i32* rect) {
  if (image.width < 1 || image.height < 1) return kErrEmptyImage;
  if (!callback) return kErrInputPointerZero;
  const u64 w = static_cast<u64>(image.width), h = static_cast<u64>(image.height);
  if (w > kMaxLevelSide || h > kMaxLevelSide || w * h > kMaxLevelPixels) {
    Log("ERROR: dds: a %llux%llu image is larger than the library handles\n",
        static_cast<unsigned long long>(w), static_cast<unsigned long long>(h));
    return kErrImageExceedsInternalSize;
  }
  if (image.pixels.size() != w * h) {
    Log("ERROR: dds: a %llux%llu image comes with %u pixels\n", static_cast<unsigned long long>(w),
        static_cast<unsigned long long>(h), image.pixels.size());
    return kErrBadArg;
  }
  try {
    tVector<MipLevel> levels(1);
    levels[0].width = static_cast<u32>(w);
    levels[0].height = static_cast<u32>(h);
    levels[0].pixels = image.pixels;
    levels[0].rgbe = image.rgbe;
    return CompressFloat(levels, options, callback, rect);
  } catch (const std::bad_alloc&) {
    Log("ERROR: dds: out of memory compressing a %llux%llu image\n",
        static_cast<unsigned long long>(w), static_cast<unsigned long long>(h));
    return kErrMemoryAllocationFailed;
  }
}

i32 CompressFloat(const tVector<MipLevel>& levels, TextureCompressOptions& options,
                  WriteCallback callback, const i32* rect) {
  tVector<FloatImage> floats;
  ToFloatPicture(levels, floats);
  return CompressPrepared(floats, options, callback, rect);
}

i32 CompressPrepared(const tVector<FloatImage>& levels, TextureCompressOptions& options,
                     WriteCallback callback, const i32* rect) {
  tVector<FloatImage> prepared;
  const i32 result = PrepareImage(levels, prepared, options, rect);
  if (result != kOk) return result;
  PipelineContext context(options);
  return CompressDriver(context, prepared, callback);
}

void SetEnginePathOptions(TextureCompressOptions& o, f32 target_width, f32 target_height,
                          bool mip_maps, bool compress, bool has_alpha, void* user_data) {
  o.normal_map_conversion = 0;
  o.normalmap_minz = 0;
  o.normalmap_scale = 1.0f;
  o.normalmap_filter = 1041;
  o.normalmap_cnv = 1010;
  o.normalmap_alpha = 1033;
  o.normalmap_bwrap = o.normalmap_binvertx = o.normalmap_binverty = o.normalmap_binvertz = 0;
  o.normalmap_bAddHeightMap = o.normalmap_bNormalMapSwapRGB = 0;
  o.quality = 71;
  o.resample_to_target = 1;
  o.target_width = target_width;
  o.target_height = target_height;
  o.user_data = user_data;
  o.mip_map_type = mip_maps ? 30 : 32;
  o.texture_format = compress ? (has_alpha ? 3 : 0) : 7;
}

}  // namespace dds
