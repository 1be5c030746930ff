#include "dds/file/Profile.h"

#include "dds/Log.h"
#include "dds/TextureCompressOptions.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

namespace dds {
namespace {

std::string g_profile_path;

// ---- number conversions: atoi/atof results without their undefined corners

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

const char* SkipSpace(const char* p, const char* end) {
  while (p < end && IsSpace(*p)) ++p;
  return p;
}

// Leading decimal integer, saturated to the i32 range; 0 when there is none.
i32 ParseInt(const char* p, const char* end) {
  p = SkipSpace(p, end);
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  i64 value = 0;
  while (p < end && *p >= '0' && *p <= '9') {
    value = value * 10 + (*p++ - '0');
    if (value > 0x80000000LL) value = 0x80000000LL;
  }
  if (negative) value = -value;
  if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
  return static_cast<i32>(value);
}

// Leading decimal number in the "C" locale's form, whatever locale the program runs in; values
// beyond the float range saturate, 0 when there is none.
f32 ParseFloat(const char* p, const char* end) {
  p = SkipSpace(p, end);
  if (p < end && *p == '+') ++p;
  double value = 0.0;
  const auto result = std::from_chars(p, end, value);
  if (result.ec == std::errc::result_out_of_range) {
    const bool negative = p < end && *p == '-';
    // Out of range is either huge or vanishingly small; the exponent's sign tells which.
    const char* e = p;
    while (e < end && *e != 'e' && *e != 'E') ++e;
    const bool tiny = e + 1 < end && e[1] == '-';
    value = tiny ? 0.0 : (negative ? -DBL_MAX : DBL_MAX);
  } else if (result.ec != std::errc()) {
    return 0.0f;
  }
  if (std::isfinite(value)) {
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
  }
  return static_cast<f32>(value);
}

// ---- the key table

enum class Kind : u8 { kFloat, kInt, kByte, kText };
enum class Where : u8 { kOptions, kContext };

struct Key {
  const char* name;
  Kind kind;
  Where where;
  std::size_t offset;
};

#define OPT(key, field, kind) {key, Kind::kind, Where::kOptions, offsetof(TextureCompressOptions, field)}
#define CTX(key, field, kind) {key, Kind::kind, Where::kContext, offsetof(CompressContext, field)}

// Tested in this order for every line; every match is applied.
const Key kKeys[] = {
    OPT("g_custom_filter_dev", custom_filter_dev, kFloat),
    OPT("g_custom_filter_bias", custom_filter_bias, kFloat),
    OPT("g_unsharp_radius", unsharp_radius, kFloat),
    OPT("g_unsharp_amount", unsharp_amount, kFloat),
    OPT("g_unsharp_threshold", unsharp_threshold, kFloat),
    OPT("g_xsharp_strength_f", xsharp_strength, kFloat),
    OPT("g_xsharp_threshold_f", xsharp_threshold, kFloat),
    OPT("g_quality", quality, kInt),
    OPT("g_b_error_diffusion", b_error_diffusion, kByte),
    OPT("g_error_diffusion_width", error_diffusion_width, kInt),
    OPT("g_user_specified_fading_amounts", user_specified_fading_amounts, kByte),
    OPT("g_texture_format", texture_format, kInt),
    OPT("g_weighttype", weighttype, kInt),
    OPT("g_texturemap_type", texturemap_type, kInt),
    OPT("g_mip_map_type", mip_map_type, kInt),
    OPT("g_specified_mip_maps", specified_mip_maps, kInt),
    OPT("g_b_binary_alpha", b_binary_alpha, kByte),
    OPT("g_b_premodulate", b_premodulate, kByte),
    OPT("g_b_filter_modulate", b_filter_modulate, kByte),
    OPT("g_b_alpha_border", b_alpha_border, kByte),
    OPT("g_b_border", b_border, kByte),
    OPT("g_border_color_r", border_color_r, kFloat),
    OPT("g_border_color_g", border_color_g, kFloat),
    OPT("g_border_color_b", border_color_b, kFloat),
    OPT("g_mip_filter_type", mip_filter_type, kInt),
    OPT("g_b_fade_color", b_fade_color, kByte),
    OPT("g_b_fade_alpha", b_fade_alpha, kByte),
    OPT("g_fade_to_color_r", fade_to_color_r, kFloat),
    OPT("g_fade_to_color_g", fade_to_color_g, kFloat),
    OPT("g_fade_to_color_b", fade_to_color_b, kFloat),
    OPT("g_fade_to_alpha_f", fade_to_alpha, kFloat),
    OPT("g_fade_to_delay", fade_to_delay, kInt),
    OPT("g_fade_amount_f", fade_amount, kFloat),
    OPT("g_binary_alpha_threshold_f", binary_alpha_threshold, kFloat),
    OPT("g_b_dither_color", b_dither_color, kByte),
    OPT("g_b_dither_mip0", b_dither_mip0, kByte),
    OPT("g_sharpen_method", sharpen_method, kInt),
    OPT("g_filter_gamma", filter_gamma, kFloat),
    OPT("g_enable_filter_gamma", enable_filter_gamma, kByte),
    OPT("g_filter_width", filter_width, kFloat),
    OPT("g_override_filter_width", override_filter_width, kByte),
    OPT("g_filter_blur", filter_blur, kFloat),
    OPT("g_normal_map_conversion", normal_map_conversion, kByte),
    OPT("g_normalmap_cnv", normalmap_cnv, kInt),
    OPT("g_normalmap_filter", normalmap_filter, kInt),
    OPT("g_normalmap_alpha", normalmap_alpha, kInt),
    OPT("g_normalmap_bwrap", normalmap_bwrap, kByte),
    OPT("g_normalmap_binvertx", normalmap_binvertx, kByte),
    OPT("g_normalmap_binverty", normalmap_binverty, kByte),
    OPT("g_normalmap_binvertz", normalmap_binvertz, kByte),
    OPT("g_normalmap_bAddHeightMap", normalmap_bAddHeightMap, kByte),
    OPT("g_normalmap_bNormalMapSwapRGB", normalmap_bNormalMapSwapRGB, kByte),
    OPT("g_normalmap_scale", normalmap_scale, kFloat),
    OPT("g_normalmap_minz", normalmap_minz, kInt),
    CTX("g_busebackgroundimage", use_background_image, kByte),
    CTX("g_backgroundfilename", background_file_name, kText),
    CTX("g_blightenable", light_enable, kByte),
    CTX("g_bshowdifferences", show_differences, kByte),
    CTX("g_bshowfiltering", show_filtering, kByte),
    CTX("g_bshowmipmapping", show_mipmapping, kByte),
    CTX("g_bshowanisotropic", show_anisotropic, kByte),
    CTX("g_clearcolor", clear_color, kInt),
    CTX("g_bviewdxt1", view_dxt1, kByte),
    CTX("g_bviewdxt2", view_dxt2, kByte),
    CTX("g_bviewdxt3", view_dxt3, kByte),
    CTX("g_bviewdxt5", view_dxt5, kByte),
    CTX("g_bviewa4r4g4b4", view_a4r4g4b4, kByte),
    CTX("g_bviewa1r5g5b5", view_a1r5g5b5, kByte),
    CTX("g_bviewr5g6b5", view_r5g6b5, kByte),
    CTX("g_bviewa8r8g8b8", view_a8r8g8b8, kByte),
    CTX("g_balphablending", alpha_blending, kByte),
    OPT("g_buserspecifiedfadingamounts", user_specified_fading_amounts, kByte),
    CTX("g_user_fading_set", user_fading_set, kInt),
    CTX("g_bpreviewdisablemipmaps", preview_disable_mipmaps, kByte),
    CTX("g_read_depth", read_depth, kInt),
    CTX("g_load_mip_maps", load_mip_maps, kByte),
    OPT("g_outscale_r", outscale_r, kFloat),
    OPT("g_outscale_g", outscale_g, kFloat),
    OPT("g_outscale_b", outscale_b, kFloat),
    OPT("g_outscale_a", outscale_a, kFloat),
    OPT("g_outbias_r", outbias_r, kFloat),
    OPT("g_outbias_g", outbias_g, kFloat),
    OPT("g_outbias_b", outbias_b, kFloat),
    OPT("g_outbias_a", outbias_a, kFloat),
    OPT("g_inscale_r", inscale_r, kFloat),
    OPT("g_inscale_g", inscale_g, kFloat),
    OPT("g_inscale_b", inscale_b, kFloat),
    OPT("g_inscale_a", inscale_a, kFloat),
    OPT("g_inbias_r", inbias_r, kFloat),
    OPT("g_inbias_g", inbias_g, kFloat),
    OPT("g_inbias_b", inbias_b, kFloat),
    OPT("g_inbias_a", inbias_a, kFloat),
    OPT("g_output_wrap", output_wrap, kByte),
    OPT("g_b_calc_luminance", b_calc_luminance, kByte),
};

#undef OPT
#undef CTX

bool NameIs(const char* name, std::size_t length, const char* key) {
  return std::strlen(key) == length && std::memcmp(name, key, length) == 0;
}

void Store(const Key& key, CompressContext& context, TextureCompressOptions& options,
           const char* value, const char* end) {
  u8* base = key.where == Where::kOptions ? reinterpret_cast<u8*>(&options)
                                          : reinterpret_cast<u8*>(&context);
  u8* target = base + key.offset;
  switch (key.kind) {
    case Kind::kFloat: {
      const f32 v = ParseFloat(value, end);
      std::memcpy(target, &v, sizeof v);
      break;
    }
    case Kind::kInt: {
      const i32 v = ParseInt(value, end);
      std::memcpy(target, &v, sizeof v);
      break;
    }
    case Kind::kByte:
      *target = static_cast<u8>(ParseInt(value, end) & 0xFF);
      break;
    case Kind::kText: {
      // The value as it stands, line end included, cut to the buffer.
      std::size_t n = static_cast<std::size_t>(end - value);
      if (n > kProfileTextSize - 1) n = kProfileTextSize - 1;
      std::memcpy(target, value, n);
      target[n] = 0;
      break;
    }
  }
}

void CopyText(char* dst, const char* src) {
  std::snprintf(dst, kProfileTextSize, "%s", src ? src : "");
}

}  // namespace

void CompressContext::Reset() {
  reserved = 0;
  read_depth = 3000;
  use_background_image = 0;
  background_file_name[0] = background_file_name[1] = background_file_name[2] = 0;
  show_differences = show_filtering = show_mipmapping = show_anisotropic = 0;
  clear_color = static_cast<i32>(static_cast<u32>(clear_color) & 0xFF000000u);
  view_dxt1 = view_dxt2 = view_dxt3 = view_dxt5 = 1;
  view_a4r4g4b4 = view_a1r5g5b5 = view_r5g6b5 = view_a8r8g8b8 = 1;
  alpha_blending = 0;
  reserved_flag = 0;
  view_value_a = 128;
  view_value_b = 6;
  preview_disable_mipmaps = 0;
  load_mip_maps = 0;
  user_fading_set = 0;
}

void ResetProfileOptions(CompressContext& context, TextureCompressOptions& options) {
  void* const user_data = options.user_data;
  options.~TextureCompressOptions();
  new (&options) TextureCompressOptions();
  options.user_data = user_data;

  TextureCompressOptions& o = options;
  o.quality = 71;
  o.weighttype = 0;
  o.normal_map_conversion = 0;
  o.normalmap_minz = 0;
  o.normalmap_scale = 2.2f;
  o.normalmap_filter = 1040;
  o.normalmap_cnv = 1009;
  o.normalmap_alpha = 1034;
  o.normalmap_bwrap = o.normalmap_binvertx = o.normalmap_binverty = o.normalmap_binvertz = 0;
  o.normalmap_bAddHeightMap = o.normalmap_bNormalMapSwapRGB = 0;
  o.mip_map_type = 30;
  o.specified_mip_maps = 0;
  o.mip_filter_type = 2;
  o.b_binary_alpha = 0;
  o.binary_alpha_threshold = 0.5f;
  o.b_alpha_border = o.b_border = 0;
  o.border_color_r = o.border_color_g = o.border_color_b = 0.0f;
  o.b_fade_color = o.b_fade_alpha = 0;
  o.fade_to_color_r = o.fade_to_color_g = o.fade_to_color_b = 0.5f;
  o.fade_to_alpha = 0.5f;
  o.fade_to_delay = 0;
  o.fade_amount = 0.15f;
  o.user_specified_fading_amounts = 0;
  o.custom_filter_dev = 3.0f;
  o.custom_filter_bias = 0.0f;
  o.unsharp_radius = 5.0f;
  o.unsharp_amount = 0.5f;
  o.unsharp_threshold = 0.0f;
  o.xsharp_strength = 1.0f;
  o.xsharp_threshold = 1.0f;
  o.sharpen_method = 0;
  o.b_error_diffusion = 0;
  o.error_diffusion_width = 1;
  o.enable_filter_gamma = 0;
  o.filter_gamma = 2.2f;
  o.filter_blur = 1.0f;
  o.override_filter_width = 0;
  o.filter_width = 10.0f;
  o.texturemap_type = 0;
  o.outscale_r = o.outscale_g = o.outscale_b = o.outscale_a = 1.0f;
  o.outbias_r = o.outbias_g = o.outbias_b = o.outbias_a = 0.0f;
  o.inscale_r = o.inscale_g = o.inscale_b = o.inscale_a = 1.0f;
  o.inbias_r = o.inbias_g = o.inbias_b = o.inbias_a = 0.0f;
  o.output_wrap = 0;
  o.b_calc_luminance = 1;
  o.b_dither_color = o.b_dither_mip0 = 0;
  o.b_premodulate = o.b_filter_modulate = 0;
  // Fade factors last, from the fade amount just stored, each rounded to single precision.
  f32 factor = 1.0f;
  for (f32& amount : o.user_fading_amounts) {
    amount = factor;
    factor = static_cast<f32>(factor * (1.0f - o.fade_amount));
  }

  CompressContext& c = context;
  c.read_depth = 3000;
  c.use_background_image = 0;
  c.background_file_name[0] = 0;
  c.light_enable = 0;
  c.show_differences = c.show_filtering = 0;
  c.show_mipmapping = c.show_anisotropic = 1;
  c.clear_color = 0;
  c.view_dxt1 = c.view_dxt2 = c.view_dxt3 = c.view_dxt5 = 1;
  c.view_a4r4g4b4 = c.view_a1r5g5b5 = c.view_r5g6b5 = c.view_a8r8g8b8 = 1;
  c.alpha_blending = 0;
  c.user_fading_set = 0;
  c.preview_disable_mipmaps = 0;
  c.load_mip_maps = 0;
  CopyText(c.profile_name, "<no profile loaded>");
}

void ApplyProfileLine(CompressContext& context, TextureCompressOptions& options, const char* line,
                      std::size_t length) {
  // A line is read as C text: it ends at a NUL byte.
  const void* nul = std::memchr(line, 0, length);
  if (nul) length = static_cast<std::size_t>(static_cast<const char*>(nul) - line);
  if (length == 0 || line[0] == '#') return;
  const char* end = line + length;
  const char* blank = static_cast<const char*>(std::memchr(line, ' ', length));
  if (!blank) return;
  const std::size_t name_length = static_cast<std::size_t>(blank - line);
  const char* value = blank + 1;
  while (value < end && *value == ' ') ++value;

  for (const Key& key : kKeys)
    if (NameIs(line, name_length, key.name)) Store(key, context, options, value, end);

  char name[64];
  if (context.user_fading_set >= 0 && context.user_fading_set <= 7) {
    for (int m = 0; m <= 16; ++m) {
      std::snprintf(name, sizeof name, "Blend_Set_%d_Blend_Mip_%d", context.user_fading_set + 1, m);
      if (NameIs(line, name_length, name)) options.user_fading_amounts[m] = ParseFloat(value, end);
    }
  }
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 5; ++c) {
      std::snprintf(name, sizeof name, "CustomFilter_%1d%1d", r, c);
      if (NameIs(line, name_length, name)) options.custom_filter[r][c] = ParseFloat(value, end);
    }
  for (int m = 0; m <= 16; ++m) {
    std::snprintf(name, sizeof name, "SharpeningPassMIP_%d", m);
    if (NameIs(line, name_length, name)) options.sharpening_passes[m] = ParseInt(value, end);
  }
}

void LoadProfileText(CompressContext& context, TextureCompressOptions& options, const char* text,
                     std::size_t size, const char* name) {
  ResetProfileOptions(context, options);
  // Pieces as a 1000-byte line reader yields them: through the line end, at most 999 bytes.
  constexpr std::size_t kPiece = 999;
  std::size_t pos = 0;
  while (pos < size) {
    std::size_t n = 0;
    while (pos + n < size && n < kPiece) {
      if (text[pos + n++] == '\n') break;
    }
    ApplyProfileLine(context, options, text + pos, n);
    pos += n;
  }
  if (context.user_fading_set < 0 || context.user_fading_set > 7)
    Log("Warning: dds: profile '%s': fading set index %d is outside 0..7; blend values ignored\n",
        name ? name : "", context.user_fading_set);
  CopyText(context.profile_name, name);
}

i32 LoadProfile(CompressContext& context, TextureCompressOptions& options, const char* path) {
  // Checked before the open: a named pipe would block it, a device would never end, and a
  // folder opens but reads as empty, which would pass for a profile of defaults.
  std::error_code ec;
  const std::filesystem::file_status status = path ? std::filesystem::status(path, ec) : std::filesystem::file_status{};
  if (path && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    Log("ERROR: dds: profile '%s': not a regular file\n", path);
    return kErrCantOpenProfile;
  }
  if (path && std::filesystem::is_regular_file(status) && std::filesystem::file_size(path, ec) > kMaxProfileSize) {
    Log("ERROR: dds: profile '%s': too large (at most %u bytes)\n", path, unsigned(kMaxProfileSize));
    return kErrCantOpenProfile;
  }
  std::FILE* file = path ? std::fopen(path, "r") : nullptr;
  if (!file) {
    Log("ERROR: dds: cannot open profile '%s'\n", path ? path : "");
    return kErrCantOpenProfile;
  }
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  LoadProfileText(context, options, text.data(), text.size(), path);
  return kOk;
}

void SetProfilePath(const char* path) { g_profile_path = path ? path : ""; }

const char* GetProfilePath() { return g_profile_path.empty() ? nullptr : g_profile_path.c_str(); }

}  // namespace dds
