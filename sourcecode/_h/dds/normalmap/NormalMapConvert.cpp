#include "dds/normalmap/NormalMapConvert.h"

#include <cmath>
#include <new>

#include "dds/normalmap/HeightFromNormals.h"
#include "dds/LevelPipeline.h"
#include "dds/Log.h"
#include "dds/normalmap/NormalMapMaker.h"
#include "dds/PipelineHooks.h"
#include "dds/TextureCompressOptions.h"

namespace dds {

// ---- FloatPlane

bool FloatPlane::Allocate(u32 row_count, u32 columns) {
  Free();
  height = row_count;
  width = columns;
  if (row_count == 0 || columns == 0) return true;
  rows = new (std::nothrow) f32*[row_count]();
  if (rows == nullptr) {
    Free();
    return false;
  }
  for (u32 y = 0; y < row_count; ++y) {
    rows[y] = new (std::nothrow) f32[columns];
    if (rows[y] == nullptr) {
      Free();
      return false;
    }
  }
  return true;
}

void FloatPlane::Free() {
  if (rows != nullptr) {
    for (u32 y = 0; y < height; ++y) delete[] rows[y];
    delete[] rows;
  }
  rows = nullptr;
  height = 0;
  width = 0;
}

// ---- colour to height

namespace {

f32 Height(i32 conversion, const f32* px, f32 mean) {
  const f32 r = px[0], g = px[1], b = px[2];
  switch (conversion) {
    case kConvertAverage: return (r + g + b) / 3.0f;
    case kConvertAverageDeviation: return std::fabs((r + g + b) / 3.0f - mean);
    case kConvertRed: return r;
    case kConvertGreen: return g;
    case kConvertBlue: return b;
    case kConvertMax: {
      f32 m = r;
      if (g > m) m = g;
      if (b > m) m = b;
      return m;
    }
    case kConvertColorSpace: return 1.0f - (1.0f - r) * (1.0f - g) * (1.0f - b);
    default: return 0.0f;
  }
}

}  // namespace

i32 ColorToHeight(i32 conversion, FloatImage& picture) {
  const u32 w = picture.width, h = picture.height;
  if (static_cast<u64>(w) * h == 0 || picture.rows == nullptr) return kErrEmptyImage;
  const bool known = conversion >= kConvertAverage && conversion <= kConvertColorSpace;
  if (!known) Log("ERROR: dds: Unknown color conversion\n");
  f32 mean = 0.0f;
  if (conversion == kConvertAverageDeviation) {
    f32 sum = 0.0f;
    for (u32 y = 0; y < h; ++y) {
      const f32* px = picture.Row(y);
      for (u32 x = 0; x < w; ++x, px += 4) sum += (px[0] + px[1] + px[2]) / 3.0f;
    }
    mean = sum / static_cast<f32>(static_cast<f64>(w) * h);
  }
  // Every pixel is read before it is written, so the picture itself serves as the scratch.
  for (u32 y = 0; y < h; ++y) {
    f32* px = picture.Row(y);
    for (u32 x = 0; x < w; ++x, px += 4) {
      const f32 v = known ? Height(conversion, px, mean) : 0.0f;
      px[0] = px[1] = px[2] = 0.0f;
      px[3] = v;
    }
  }
  return kOk;
}

void RenormalizeNormals(FloatImage& picture) {
  for (u32 y = 0; y < picture.height && picture.rows != nullptr; ++y) {
    f32* px = picture.Row(y);
    for (u32 x = 0; x < picture.width; ++x, px += 4) {
      const f64 len2 = static_cast<f64>(px[0]) * px[0] + static_cast<f64>(px[1]) * px[1] +
                       static_cast<f64>(px[2]) * px[2];
      if (std::fabs(len2 - 1.0) <= 1e-12) continue;
      if (len2 < 1e-12 || !std::isfinite(len2)) {
        px[0] = px[1] = px[2] = 0.0f;
        continue;
      }
      const f64 len = std::sqrt(len2);
      for (int c = 0; c < 3; ++c) px[c] = static_cast<f32>(px[c] / len);
    }
  }
}

// ---- the conversion of one level

i32 ConvertImage(i32 kernel, i32 conversion, i32 alpha_mode, f32 scale, i32 /*min_z*/, u8 wrap,
                 u8 invert_x, u8 invert_y, u8 invert_z, u8 add_height_map, u8 swap_rb,
                 FloatImage& picture) {
  if (conversion < kConvertHeightInAlpha || conversion > kConvertHeightFromNormals) {
    Log("ERROR: dds: Unknown conversion %d\n", conversion);
    return kResultUnknownConversion;
  }
  const f32 x_scale = invert_x ? -scale : scale;
  const f32 y_scale = invert_y ? -scale : scale;
  const u32 w = picture.width, h = picture.height;
  const bool has_pixels = w != 0 && h != 0 && picture.rows != nullptr;

  if (conversion == kConvertRenormalize) {
    RenormalizeNormals(picture);
    return kOk;
  }
  if (conversion == kConvertHeightFromNormals)
    return HeightFromNormals(picture, invert_x != 0, invert_y != 0, invert_z != 0, 50, 1.0f);

  FloatPlane saved;
  if (alpha_mode == kAlphaKeep && has_pixels) {
    if (!saved.Allocate(h, w)) return kErrMemoryAllocationFailed;
    for (u32 y = 0; y < h; ++y)
      for (u32 x = 0; x < w; ++x) saved.rows[y][x] = picture.Pixel(x, y)[3];
  }
  if (conversion != kConvertHeightInAlpha) ColorToHeight(conversion, picture);

  {
    NormalMapMaker32F maker;
    ConvolutionKernel kx, ky;
    MakeDerivativeKernels(kernel, &kx, &ky);
    NVI_Image32F wrapped(&picture);
    const i32 result = maker.Setup(kx, ky, &wrapped, wrap != 0);
    if (result != kOk) return result;
    if (kernel == kKernelSobel)
      maker.MakeXYMap(&wrapped, x_scale, y_scale);
    else if (add_height_map)
      maker.MakeNormalMapAdd(&wrapped, x_scale, y_scale);
    else
      maker.MakeNormalMap(&wrapped, x_scale, y_scale);
  }

  if (has_pixels) {
    for (u32 y = 0; y < h; ++y) {
      f32* px = picture.Row(y);
      for (u32 x = 0; x < w; ++x, px += 4) {
        switch (alpha_mode) {
          case kAlphaKeep: px[3] = saved.rows[y][x]; break;
          case kAlphaZero: px[3] = 0.0f; break;
          case kAlphaOne: px[3] = 1.0f; break;
          default: break;
        }
        if (swap_rb) {
          const f32 t = px[0];
          px[0] = px[2];
          px[2] = t;
        }
      }
    }
  }
  return kOk;
}

// The level pipeline's hook: the options' normal-map fields, each switch reduced to 0 or 1.
i32 ConvertImage(PipelineContext&, const TextureCompressOptions& o, FloatImage& level) {
  return ConvertImage(o.normalmap_filter, o.normalmap_cnv, o.normalmap_alpha, o.normalmap_scale,
                      o.normalmap_minz, o.normalmap_bwrap != 0, o.normalmap_binvertx != 0,
                      o.normalmap_binverty != 0, o.normalmap_binvertz != 0,
                      o.normalmap_bAddHeightMap != 0, o.normalmap_bNormalMapSwapRGB != 0, level);
}

}  // namespace dds
