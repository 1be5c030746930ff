// The one options record that steers every stage of the texture compression library, and the
// library's integer result codes with their texts.
#pragma once

#include <cstdint>

namespace dds {

// Result codes shared by every stage (0 is success).
enum : int32_t {
  kOk = 0,
  kErrFail = -1,
  kErrCantOpenProfile = -13,
  kErrImageNotMult4 = -14,
  kErrInputPointerZero = -16,
  kErrEmptyImage = -24,
  kErrBadArg = -46,
  kErrOutOfMemory = -85,
  kErrUnsupportedFormat = -97,
  kErrMemoryAllocationFailed = -98,
  kErrImageExceedsInternalSize = -100,
};

// Static text of a result code: the code's name padded with blanks; "ERROR NOT DEFINED" for
// codes without a text. Never null.
const char* GetErrorString(int32_t code);

// Plain record owned by the caller; the constructor fills every field with its default.
struct TextureCompressOptions {
  TextureCompressOptions();

  int32_t quality;                // block compressor quality: 68 fastest .. 72 exhaustive
  float axis_search_threshold;    // block error above which quality 72 runs the axis search
  int32_t weighttype;             // 0 luminance, 1 uniform, 2 (0.4, 0.4, 0.2) colour weights
  float weight_r, weight_g, weight_b;
  uint8_t normal_map_conversion;  // run the normal-map conversion on every level
  int32_t normalmap_minz;
  float normalmap_scale;
  int32_t normalmap_filter;
  int32_t normalmap_cnv;
  int32_t normalmap_alpha;
  uint8_t normalmap_bwrap, normalmap_binvertx, normalmap_binverty, normalmap_binvertz,
      normalmap_bAddHeightMap, normalmap_bNormalMapSwapRGB;
  uint8_t renormalize;
  int32_t rescale_type;           // 0 none .. 6 given scale
  int32_t rescale_filter;         // filter index of every resize before mip generation
  float rescale_width, rescale_height;
  uint8_t clamp_size;
  float clamp_width, clamp_height;
  uint8_t resample_to_target;     // shrink to fit the target box, keeping the aspect ratio
  float target_width, target_height;
  int32_t mip_map_type;           // 30 generate, 32 one level, 33 complete the chain
  int32_t specified_mip_maps;     // 0: full chain
  int32_t mip_filter_type;        // filter index of mip generation
  uint8_t b_binary_alpha;
  float binary_alpha_threshold;
  uint8_t b_alpha_border;
  uint8_t alpha_border_left, alpha_border_all, alpha_border_top, alpha_border_bottom;
  uint8_t b_border;
  float border_color_r, border_color_g, border_color_b, border_color_a;
  uint8_t b_fade_color, b_fade_alpha;
  float fade_to_color_r, fade_to_color_g, fade_to_color_b;
  float fade_to_alpha;
  int32_t fade_to_delay;
  float fade_amount;
  uint8_t user_specified_fading_amounts;
  float user_fading_amounts[17];
  float custom_filter[5][5];      // [row][column]
  float custom_filter_dev;
  float custom_filter_bias;
  float unsharp_radius, unsharp_amount, unsharp_threshold;
  float xsharp_strength, xsharp_threshold;
  int32_t sharpening_passes[17];
  int32_t sharpen_method;
  uint8_t b_error_diffusion;
  int32_t error_diffusion_width;
  uint8_t enable_filter_gamma;
  float filter_gamma;
  float filter_blur;
  uint8_t override_filter_width;
  float filter_width;
  int32_t texturemap_type;        // 0 plain, 1 cube, 2 volume
  int32_t texture_format;         // 0 DXT1, 1 DXT1 with alpha, 2 DXT3, 3 DXT5, ... 29 ATI2
  int32_t palette_size;
  uint8_t palette[256][4];
  uint8_t b_palette;
  float outscale_r, outscale_g, outscale_b, outscale_a;
  float outbias_r, outbias_g, outbias_b, outbias_a;
  float inscale_r, inscale_g, inscale_b, inscale_a;
  float inbias_r, inbias_g, inbias_b, inbias_a;
  uint8_t b_luminance;
  float luminance_weights[4];
  float contrast_bias[4];
  float contrast_scale[4];
  uint8_t output_wrap;
  uint8_t b_calc_luminance;
  uint8_t swap_rb, swap_rg;
  uint8_t surface_flag_a;         // four-colour DXT blocks only
  uint8_t rgbe_output;
  uint8_t surface_flag_b;         // whole levels to the shared-endpoint region encoder
  uint8_t b_dither_color, b_dither_mip0;
  uint8_t b_premodulate;
  uint8_t b_filter_modulate;
  void* user_data;                // handed unchanged to every callback call
};

}  // namespace dds
