#include "dds/LevelPipeline.h"

#include "dds/block/ColorPacking.h"
#include "dds/file/DdsWriter.h"
#include "dds/image/Filters.h"
#include "dds/Log.h"
#include "dds/file/PaletteWriter.h"
#include "dds/PipelineHooks.h"
#include "dds/file/Profile.h"
#include "dds/block/RegionEncoder.h"
#include "dds/image/Resample.h"
#include "dds/TextureCompressOptions.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace dds {
namespace {

constexpr u32 kNoPower = 0xFFFFFFFFu;

f32 RunGamma(const TextureCompressOptions& o) { return o.enable_filter_gamma ? o.filter_gamma : 0.0f; }

bool SizeFits(u64 w, u64 h) {
  return w >= 1 && h >= 1 && w <= kMaxLevelSide && h <= kMaxLevelSide && w * h <= kMaxLevelPixels;
}

// A float that becomes a side or a scale: finite and positive.
bool Positive(f32 v) { return std::isfinite(v) && v > 0.0f; }

// Resamples one level to a new size, through a scratch image.
void ResizeLevel(FloatImage& level, u32 width, u32 height, const FilterDesc& filter, f32 gamma,
                 bool modulate) {
  FloatImage out;
  ResampleImage(level, out, width, height, filter, gamma, modulate);
  level = static_cast<FloatImage&&>(out);
}

// Level 0 cut to an inclusive rectangle, clipped to the level.
i32 CutToRectangle(FloatImage& level, const i32* rect) {
  const i64 x0 = std::max<i64>(rect[0], 0), y0 = std::max<i64>(rect[1], 0);
  const i64 x1 = std::min<i64>(rect[2], i64{level.width} - 1);
  const i64 y1 = std::min<i64>(rect[3], i64{level.height} - 1);
  if (x1 < x0 || y1 < y0) {
    Log("ERROR: dds: rectangle (%d, %d)-(%d, %d) holds no pixel of the %ux%u image\n", rect[0],
        rect[1], rect[2], rect[3], level.width, level.height);
    return kErrBadArg;
  }
  FloatImage cut(static_cast<u32>(x1 - x0 + 1), static_cast<u32>(y1 - y0 + 1));
  for (u32 y = 0; y < cut.height; ++y)
    std::copy_n(level.Pixel(static_cast<u32>(x0), static_cast<u32>(y0) + y), 4 * cut.width,
                cut.Row(y));
  level = static_cast<FloatImage&&>(cut);
  return kOk;
}

// The new size of the power-of-two and size rules; false leaves the size alone.
bool RuleSize(const TextureCompressOptions& o, u32 w, u32 h, u32& nw, u32& nh) {
  nw = w;
  nh = h;
  switch (o.rescale_type) {
    case 1:
      if (IsPowerOfTwo(w) && IsPowerOfTwo(h)) return false;
      RescaleToNearestPowerOfTwo(w, h, nw, nh);
      break;
    case 2:
      RescaleToPowerOfTwo(w, h, nw, nh);
      break;
    case 3:
      RescaleToLowerPowerOfTwo(w, h, nw, nh);
      break;
    case 4:
      RescaleToSmallerPowerOfTwo(w, h, nw, nh);
      break;
    case 5: {
      const f32 limit = kMaxLevelSide + 1.0f;
      nw = o.rescale_width >= limit ? kMaxLevelSide + 1 : static_cast<u32>(o.rescale_width);
      nh = o.rescale_height >= limit ? kMaxLevelSide + 1 : static_cast<u32>(o.rescale_height);
      break;
    }
    case 6: {
      const f64 sw = static_cast<f64>(o.rescale_width) * w, sh = static_cast<f64>(o.rescale_height) * h;
      nw = sw >= kMaxLevelSide + 1.0 ? kMaxLevelSide + 1 : static_cast<u32>(sw);
      nh = sh >= kMaxLevelSide + 1.0 ? kMaxLevelSide + 1 : static_cast<u32>(sh);
      break;
    }
    default:
      return false;
  }
  return nw != w || nh != h;
}

bool FilterSettingOk(u8 override, f32 v) {
  return !override || v < 0.0f || (std::isfinite(v) && v > 0.0f && v <= 64.0f);
}

bool IsUnitRangeFormat(i32 f) {
  return (f >= 0 && f <= 10) || f == 13 || f == 14 || f == 16 || f == 20 || f == 21 || f == 22 ||
         f == 24 || f == 25 || f == 27 || f == 29;
}
bool IsSignedRangeFormat(i32 f) { return f == 11 || f == 12 || f == 15 || f == 26; }

f32 Wrap(f32 v, f32 lo, f32 hi) {
  if (!(v < lo || v > hi)) return v;
  f32 r = std::fmod(v - lo, hi - lo);
  if (r < 0.0f) r += hi - lo;
  return lo + r;
}

// Normalises one colour vector; `tiny` and `unit` are the tolerances of the format.
void Normalize(f32* n, f64 unit, f64 tiny) {
  const f64 len2 = static_cast<f64>(n[0]) * n[0] + static_cast<f64>(n[1]) * n[1] +
                   static_cast<f64>(n[2]) * n[2];
  if (std::fabs(len2 - 1.0) < unit) return;
  if (len2 < tiny) {
    n[0] = n[1] = n[2] = 0.0f;
    return;
  }
  const f64 len = std::sqrt(len2);
  for (int c = 0; c < 3; ++c) n[c] = static_cast<f32>(n[c] / len);
}

void Renormalize(i32 format, f32* px) {
  if (format == 24) {
    f32 n[3] = {2.0f * px[0] - 1.0f, 2.0f * px[1] - 1.0f, 2.0f * px[2] - 1.0f};
    if (n[0] == 0.0f && n[1] == 0.0f && n[2] == 0.0f) return;
    Normalize(n, 2.22e-16, 4.93e-32);
    for (int c = 0; c < 3; ++c) px[c] = (n[c] + 1.0f) * 0.5f;
  } else {
    Normalize(px, 1e-12, 1e-12);
  }
}

void AdjustInput(const TextureCompressOptions& o, FloatImage& level) {
  const f32 scale[4] = {o.inscale_r, o.inscale_g, o.inscale_b, o.inscale_a};
  const f32 bias[4] = {o.inbias_r, o.inbias_g, o.inbias_b, o.inbias_a};
  const bool do_scale = !(scale[0] == 1.0f && scale[1] == 1.0f && scale[2] == 1.0f && scale[3] == 1.0f);
  const bool do_bias = !(bias[0] == 0.0f && bias[1] == 0.0f && bias[2] == 0.0f && bias[3] == 0.0f);
  bool do_contrast = false;
  for (int c = 0; c < 4; ++c)
    do_contrast |= o.contrast_bias[c] != 0.0f || o.contrast_scale[c] != 1.0f;
  if (!do_scale && !do_bias && !do_contrast && !o.b_luminance) return;
  const f32* w = o.luminance_weights;
  for (u32 y = 0; y < level.height; ++y) {
    f32* px = level.Row(y);
    for (u32 x = 0; x < level.width; ++x, px += 4) {
      if (do_scale)
        for (int c = 0; c < 4; ++c) px[c] *= scale[c];
      if (do_bias)
        for (int c = 0; c < 4; ++c) px[c] += bias[c];
      if (do_contrast)
        for (int c = 0; c < 4; ++c)
          px[c] = ((px[c] + o.contrast_bias[c]) - 0.5f) * o.contrast_scale[c] + 0.5f;
      if (o.b_luminance) px[0] = px[1] = px[2] = px[0] * w[0] + px[1] * w[1] + px[2] * w[2] + px[3] * w[3];
    }
  }
}

}  // namespace

// ---- power-of-two rules

bool IsPowerOfTwo(u32 v) { return v != 0 && (v & (v - 1)) == 0; }

bool IsMultipleOf4(u32 v) { return v == 1 || v == 2 || (v != 0 && v % 4 == 0); }

namespace {
// The pair 2^k < v < 2^(k+1); false when there is none.
bool PowerPair(u32 v, u64& lower, u64& upper) {
  for (int k = 0; k <= 30; ++k) {
    lower = u64{1} << k;
    upper = lower << 1;
    if (lower < v && v < upper) return true;
  }
  return false;
}
}  // namespace

u32 NextPowerOfTwo(u32 v) {
  if (IsPowerOfTwo(v)) return v;
  u64 lo, hi;
  return PowerPair(v, lo, hi) ? static_cast<u32>(hi) : kNoPower;
}

u32 NearestPowerOfTwo(u32 v) {
  if (IsPowerOfTwo(v)) return v;
  u64 lo, hi;
  if (!PowerPair(v, lo, hi)) return kNoPower;
  return static_cast<u32>(v - lo < hi - v ? lo : hi);
}

u32 LowerPowerOfTwo(u32 v) {
  if (IsPowerOfTwo(v)) return v;
  u64 lo, hi;
  return PowerPair(v, lo, hi) ? static_cast<u32>(lo) : kNoPower;
}

namespace {
int ApplyRule(u32 (*rule)(u32), u32 w, u32 h, u32& out_w, u32& out_h) {
  out_w = IsPowerOfTwo(w) ? w : rule(w);
  out_h = IsPowerOfTwo(h) ? h : rule(h);
  return IsPowerOfTwo(w) && IsPowerOfTwo(h) ? 0 : 1;
}
u32 Smaller(u32 v) {
  if (v <= 1) return v;  // nothing below 1
  return LowerPowerOfTwo(IsPowerOfTwo(v) ? v - 1 : v);
}
}  // namespace

int RescaleToNearestPowerOfTwo(u32 w, u32 h, u32& ow, u32& oh) {
  return ApplyRule(NearestPowerOfTwo, w, h, ow, oh);
}
int RescaleToPowerOfTwo(u32 w, u32 h, u32& ow, u32& oh) { return ApplyRule(NextPowerOfTwo, w, h, ow, oh); }
int RescaleToLowerPowerOfTwo(u32 w, u32 h, u32& ow, u32& oh) {
  return ApplyRule(LowerPowerOfTwo, w, h, ow, oh);
}
int RescaleToSmallerPowerOfTwo(u32 w, u32 h, u32& ow, u32& oh) {
  ow = Smaller(w);
  oh = Smaller(h);
  return 1;
}

// ---- option checks

i32 CheckOptions(const TextureCompressOptions& o) {
  if (!IsWritableFormat(o.texture_format) && !IsPaletteFormat(o.texture_format)) {
    Log("ERROR: dds: texture format %d cannot be written\n", o.texture_format);
    return kErrUnsupportedFormat;
  }
  if (!GetFilterByIndex(o.rescale_filter) || !GetFilterByIndex(o.mip_filter_type))
    return kResultBadOption;
  if (!FilterSettingOk(o.override_filter_width, o.filter_width) ||
      !FilterSettingOk(o.override_filter_width, o.filter_blur)) {
    Log("ERROR: dds: filter width %g or blur %g is outside 0..64\n", o.filter_width, o.filter_blur);
    return kResultBadOption;
  }
  if (o.enable_filter_gamma && !(std::isfinite(o.filter_gamma) && o.filter_gamma >= 0.0f)) {
    Log("ERROR: dds: filter gamma %g is not a usable gamma\n", o.filter_gamma);
    return kErrBadArg;
  }
  if (o.specified_mip_maps < 0) {
    Log("ERROR: dds: %d mip-map levels asked for\n", o.specified_mip_maps);
    return kErrBadArg;
  }
  if (o.sharpen_method != 0) {
    for (int m = 0; m < 17; ++m) {
      if (o.sharpening_passes[m] < 0 || o.sharpening_passes[m] > kMaxSharpeningPasses) {
        Log("ERROR: dds: %d sharpening passes for level %d are outside 0..%d\n", o.sharpening_passes[m], m,
            kMaxSharpeningPasses);
        return kErrBadArg;
      }
    }
  }
  if (o.b_error_diffusion && (o.error_diffusion_width < 0 || o.error_diffusion_width > 9)) {
    Log("ERROR: dds: error diffusion width %d is outside 0..9\n", o.error_diffusion_width);
    return kErrBadArg;
  }
  if ((o.rescale_type == 5 || o.rescale_type == 6) &&
      !(Positive(o.rescale_width) && Positive(o.rescale_height))) {
    Log("ERROR: dds: rescale size %g x %g is not positive\n", o.rescale_width, o.rescale_height);
    return kErrBadArg;
  }
  if (o.clamp_size && !(Positive(o.clamp_width) && Positive(o.clamp_height) &&
                        o.clamp_width >= 1.0f && o.clamp_height >= 1.0f)) {
    Log("ERROR: dds: clamp size %g x %g is below one pixel\n", o.clamp_width, o.clamp_height);
    return kErrBadArg;
  }
  if (!o.clamp_size && o.resample_to_target &&
      !(Positive(o.target_width) && Positive(o.target_height) && o.target_width >= 1.0f &&
        o.target_height >= 1.0f)) {
    Log("ERROR: dds: target box %g x %g is below one pixel\n", o.target_width, o.target_height);
    return kErrBadArg;
  }
  return kOk;
}

// ---- PrepareImage

i32 PrepareImage(const tVector<FloatImage>& src, tVector<FloatImage>& dst,
                 TextureCompressOptions& o, const i32* rect) {
  if (src.size() == 0 || src[0].width < 1 || src[0].height < 1) return kErrEmptyImage;
  const i32 f = o.texture_format;
  if ((f == 0 || f == 1 || f == 2 || f == 3 || f == 24) && o.rescale_type == 0 &&
      !(IsMultipleOf4(src[0].width) && IsMultipleOf4(src[0].height))) {
    Log("ERROR: dds: a %ux%u image is not a multiple of 4 for a block format\n", src[0].width,
        src[0].height);
    return kErrImageNotMult4;
  }
  dst = src;
  if (rect) {
    const i32 result = CutToRectangle(dst[0], rect);
    if (result != kOk) return result;
    // Given lower levels show the same region at their own scale.
    for (u32 i = 1; i < dst.size(); ++i) {
      const int shift = i < 31 ? static_cast<int>(i) : 31;
      const i32 scaled[4] = {rect[0] >> shift, rect[1] >> shift, rect[2] >> shift, rect[3] >> shift};
      if (dst[i].width == 0 || dst[i].height == 0) continue;
      if (CutToRectangle(dst[i], scaled) != kOk) dst[i].Free();
    }
  }
  if (const char* path = GetProfilePath()) {
    std::unique_ptr<CompressContext> context(new CompressContext);
    context->Reset();
    const i32 result = LoadProfile(*context, o, path);
    if (result != kOk) return result;
  }
  const i32 checked = CheckOptions(o);
  if (checked != kOk) return checked;

  const f32 gamma = RunGamma(o);
  const FilterDesc& rescale = *GetFilterByIndex(o.rescale_filter);
  FloatImage& top = dst[0];

  u32 nw, nh;
  if (RuleSize(o, top.width, top.height, nw, nh)) {
    if (!SizeFits(nw, nh)) {
      Log("ERROR: dds: size rule %d gives %ux%u\n", o.rescale_type, nw, nh);
      return nw < 1 || nh < 1 ? kErrBadArg : kErrImageExceedsInternalSize;
    }
    ResizeLevel(top, nw, nh, rescale, gamma, false);
  }

  const i64 w = top.width, h = top.height;
  if (o.clamp_size) {
    const i64 cw = static_cast<i64>(std::min(o.clamp_width, 1e9f));
    const i64 ch = static_cast<i64>(std::min(o.clamp_height, 1e9f));
    if (w > cw || h > ch)
      ResizeLevel(top, static_cast<u32>(std::min(w, cw)), static_cast<u32>(std::min(h, ch)),
                  rescale, gamma, false);
  } else if (o.resample_to_target) {
    const i64 tw = static_cast<i64>(std::min(o.target_width, 1e9f));
    const i64 th = static_cast<i64>(std::min(o.target_height, 1e9f));
    if (w > tw || h > th) {
      f32 s = 1.0f;
      if (w > tw) s = static_cast<f32>(tw) / static_cast<f32>(w);
      if (h > th && static_cast<f32>(th) / static_cast<f32>(h) < s)
        s = static_cast<f32>(th) / static_cast<f32>(h);
      // A very flat image keeps at least one pixel on its short side.
      const u32 fw = std::max<u32>(1, static_cast<u32>(s * static_cast<f32>(w) + 0.5f));
      const u32 fh = std::max<u32>(1, static_cast<u32>(s * static_cast<f32>(h) + 0.5f));
      ResizeLevel(top, fw, fh, rescale, gamma, false);
    }
  }

  if (o.swap_rb || o.swap_rg) {
    for (u32 y = 0; y < top.height; ++y) {
      f32* px = top.Row(y);
      for (u32 x = 0; x < top.width; ++x, px += 4) {
        if (o.swap_rb) std::swap(px[0], px[2]);
        if (o.swap_rg) std::swap(px[0], px[1]);
      }
    }
  }

  for (u32 i = 1; i < dst.size(); ++i) {
    const u32 ew = std::max<u32>(1, dst[i - 1].width / 2);
    const u32 eh = std::max<u32>(1, dst[i - 1].height / 2);
    if (dst[i].width != ew || dst[i].height != eh) {
      if (dst[i].width == 0 || dst[i].height == 0) {
        // An empty level has nothing to resample: make it from the level above.
        ResizeLevel(dst[i] = dst[i - 1], ew, eh, rescale, gamma, false);
      } else {
        ResizeLevel(dst[i], ew, eh, rescale, gamma, false);
      }
    }
  }
  return kOk;
}

// ---- GenerateMipMaps

i32 GenerateMipMaps(PipelineContext& context, tVector<FloatImage>& levels, u32& width,
                    u32& height) {
  TextureCompressOptions& o = context.options;
  if (levels.size() == 0) return kErrEmptyImage;
  width = levels[0].width;
  height = levels[0].height;
  if (IsBlockFormat(o.texture_format) && !(IsMultipleOf4(width) && IsMultipleOf4(height))) {
    Log("ERROR: dds: a %ux%u level is not a multiple of 4 for a block format\n", width, height);
    return kErrImageNotMult4;
  }
  if (width < 1 || height < 1) return kErrEmptyImage;
  if (!SizeFits(width, height)) {
    Log("ERROR: dds: a %ux%u level is larger than the library handles\n", width, height);
    return kErrImageExceedsInternalSize;
  }
  const i32 checked = CheckOptions(o);
  if (checked != kOk) return checked;

  if (o.normal_map_conversion) {
    o.renormalize = 1;
    if (o.normalmap_filter == 1045 || o.normalmap_cnv < 1009 || o.normalmap_cnv > 1017)
      o.renormalize = 0;
  }
  for (FloatImage& level : levels) AdjustInput(o, level);
  SetColorWeightsByType(o);

  const u32 full = FullChainCount(width, height);
  switch (o.mip_map_type) {
    case 30: {
      // More levels than the chain has would only repeat 1×1 levels the header cannot state.
      const u32 n = o.specified_mip_maps == 0
                        ? full
                        : std::min<u32>(static_cast<u32>(o.specified_mip_maps), full);
      levels.resize(n);
      ResampleLevel(context, levels, 1);
      break;
    }
    case 32:
      levels.resize(1);
      break;
    case 33: {
      const u32 old = std::min(levels.size(), full);
      levels.resize(full);
      ResampleLevel(context, levels, old);
      break;
    }
    default:
      if (levels.size() > full) levels.resize(full);
      break;
  }
  // Every level the caller handed in must hold pixels before it is written.
  for (u32 i = 1; i < levels.size(); ++i)
    if (levels[i].width == 0 || levels[i].height == 0) ResampleLevel(context, levels, i);
  return PrepareSharpening(context, o);
}

void ResampleLevel(PipelineContext& context, tVector<FloatImage>& levels, u32 first) {
  const TextureCompressOptions& o = context.options;
  const FilterDesc* row = GetFilterByIndex(o.mip_filter_type);
  if (!row || levels.size() == 0) return;
  FilterDesc filter = *row;
  if (o.override_filter_width) {
    if (o.filter_width >= 0.0f) filter.support = o.filter_width;
    if (o.filter_blur >= 0.0f) filter.blur = o.filter_blur;
  }
  ResampleChain(levels, levels.size(), first, filter, RunGamma(o), o.b_filter_modulate != 0);
}

// ---- ProcessLevel

void ProcessLevel(PipelineContext& context, FloatImage& level, i32 level_index, f32 fade) {
  TextureCompressOptions& o = context.options;
  const i32 slot = std::clamp(level_index, 0, 16);
  if (o.sharpen_method != 0)
    for (i32 pass = 0; pass < o.sharpening_passes[slot]; ++pass) SharpenLevel(context, o, level);

  const u32 w = level.width, h = level.height;
  if (w == 0 || h == 0) return;
  const bool all = o.b_alpha_border || o.alpha_border_all;
  if (all || o.alpha_border_left || o.alpha_border_top || o.alpha_border_bottom || o.b_border) {
    const f32 border[3] = {o.border_color_r, o.border_color_g, o.border_color_b};
    for (u32 y = 0; y < h; ++y)
      for (u32 x = 0; x < w; ++x) {
        const bool left = x == 0, right = x == w - 1, top = y == 0, bottom = y == h - 1;
        const bool edge = left || right || top || bottom;
        f32* px = level.Pixel(x, y);
        if ((all && edge) || (o.alpha_border_left && left) || (o.alpha_border_top && top) ||
            (o.alpha_border_bottom && bottom))
          px[3] = 0.0f;
        if (o.b_border && edge)
          for (int c = 0; c < 3; ++c) px[c] = border[c];
      }
  }

  const i32 f = o.texture_format;
  const bool fade_colour = o.b_fade_color && o.fade_to_delay <= level_index;
  // Heights from normals (1018) are grey, not normals: renormalising would flatten them.
  const bool renormalize =
      o.renormalize || (o.normal_map_conversion && o.normalmap_filter >= 1040 &&
                        o.normalmap_filter <= 1044 && o.normalmap_cnv != 1018);
  const bool map_normals = o.normal_map_conversion && o.normalmap_cnv != 1018;
  const f32 outscale[4] = {o.outscale_r, o.outscale_g, o.outscale_b, o.outscale_a};
  const f32 outbias[4] = {o.outbias_r, o.outbias_g, o.outbias_b, o.outbias_a};
  const bool do_scale = !(outscale[0] == 1.0f && outscale[1] == 1.0f && outscale[2] == 1.0f && outscale[3] == 1.0f);
  const bool do_bias = !(outbias[0] == 0.0f && outbias[1] == 0.0f && outbias[2] == 0.0f && outbias[3] == 0.0f);
  const f32 fade_to[3] = {o.fade_to_color_r, o.fade_to_color_g, o.fade_to_color_b};
  f32 lo = 0.0f, hi = 1.0f;
  const bool unit = IsUnitRangeFormat(f);
  const bool ranged = unit || IsSignedRangeFormat(f);
  if (!unit) lo = -1.0f;

  for (u32 y = 0; y < h; ++y) {
    f32* px = level.Row(y);
    for (u32 x = 0; x < w; ++x, px += 4) {
      if (fade_colour) {
        if (f == 11 || f == 26) {
          px[0] *= fade;
          px[1] *= fade;
        } else {
          for (int c = 0; c < 3; ++c) px[c] = fade_to[c] * (1.0f - fade) + px[c] * fade;
        }
      }
      if (o.b_fade_alpha) px[3] = o.fade_to_alpha * (1.0f - fade) + px[3] * fade;
      if (o.b_binary_alpha) px[3] = px[3] > o.binary_alpha_threshold ? 1.0f : 0.0f;
      if (renormalize) Renormalize(f, px);
      if (o.b_premodulate)
        for (int c = 0; c < 3; ++c) px[c] *= px[3];
      if (map_normals) {
        if (unit)
          for (int c = 0; c < 3; ++c) px[c] = px[c] * 0.5f + 0.5f;
      } else {
        if (do_scale)
          for (int c = 0; c < 4; ++c) px[c] *= outscale[c];
        if (do_bias)
          for (int c = 0; c < 4; ++c) px[c] += outbias[c];
      }
      if (ranged)
        for (int c = 0; c < 4; ++c) {
          if (o.output_wrap) px[c] = Wrap(px[c], lo, hi);
          // NaN (from hostile scales or biases) becomes the low end, never a value to fit.
          px[c] = px[c] >= lo ? std::min(px[c], hi) : lo;
        }
    }
  }
}

// ---- CompressDriver

i32 CompressDriver(PipelineContext& context, tVector<FloatImage>& levels, WriteCallback callback) {
  TextureCompressOptions& o = context.options;
  o.texturemap_type = 0;
  i32 result = GenerateMipMaps(context, levels, context.width, context.height);
  if (result != kOk) return result;

  // The conversion runs before the header, so that its failure leaves nothing written.
  if (o.normal_map_conversion) {
    for (FloatImage& level : levels) {
      result = ConvertImage(context, o, level);
      if (result != kOk) return result;
    }
  }

  const i32 f = o.texture_format;
  // The region encoder takes small levels only; refuse before the header, not after it.
  if (o.surface_flag_b && IsBlockFormat(f) && f != 29 &&
      u64{context.width} * context.height > kMaxRegionPixels) {
    Log("ERROR: dds: a %ux%u level is larger than the region encoder's %lld pixels\n",
        context.width, context.height, static_cast<long long>(kMaxRegionPixels));
    return kErrImageExceedsInternalSize;
  }
  WriteDDSHeader(o, context.width, context.height, 0,
                 static_cast<u32>(GetLevelSize(f, static_cast<i32>(context.width),
                                               static_cast<i32>(context.height), 1)),
                 levels.size(), callback);

  f32 fade = 1.0f - o.fade_amount;
  for (u32 i = 0; i < levels.size(); ++i) {
    FloatImage& level = levels[i];
    if (o.user_specified_fading_amounts == 1) fade = o.user_fading_amounts[std::min<u32>(i, 16)];
    ProcessLevel(context, level, static_cast<i32>(i), fade);
    u8* buffer = nullptr;
    u32 size = 0;
    result = IsPaletteFormat(f) ? WritePaletteLevel(o, level, static_cast<i32>(i), buffer, size)
                                : WriteLevel(o, level, static_cast<i32>(i), buffer, size);
    if (result != kOk) {
      delete[] buffer;
      return result;
    }
    const LevelInfo info{i, level.width, level.height, 0, 1};
    result = callback(buffer, size, &info, o.user_data);
    delete[] buffer;
    if (result != 0) return result;
    fade = fade * (1.0f - o.fade_amount);
  }
  return kOk;
}

}  // namespace dds
