#include "dds/TextureCompressOptions.h"

#include <array>
#include <cstring>

namespace dds {

TextureCompressOptions::TextureCompressOptions() {
  // Zero first so that nothing is left undefined; then the defaults that are not zero.
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  quality = 71;
  axis_search_threshold = 400.0f;
  weighttype = 0;
  weight_r = 0.3086f;
  weight_g = 0.6094f;
  weight_b = 0.082f;
  // The normal-map block gets the values the engine stores, so a caller that never touches it
  // does not run a conversion by accident.
  normal_map_conversion = 0;
  normalmap_minz = 0;
  normalmap_scale = 1.0f;
  normalmap_filter = 1041;
  normalmap_cnv = 1010;
  normalmap_alpha = 1033;
  rescale_filter = 4;
  rescale_width = rescale_height = 1.0f;
  clamp_width = clamp_height = 4096.0f;
  target_width = target_height = 4096.0f;
  mip_map_type = 30;
  specified_mip_maps = 0;
  mip_filter_type = 2;
  binary_alpha_threshold = 0.5f;
  fade_amount = 0.15f;
  custom_filter[2][2] = 11.0f;
  custom_filter[1][2] = custom_filter[3][2] = custom_filter[2][1] = custom_filter[2][3] = -2.0f;
  custom_filter_dev = 3.0f;
  unsharp_radius = 5.0f;
  unsharp_amount = 0.5f;
  xsharp_strength = 1.0f;
  xsharp_threshold = 1.0f;
  for (int m = 1; m < 17; ++m) sharpening_passes[m] = 1;
  error_diffusion_width = 1;
  filter_gamma = 2.2f;
  filter_blur = 1.0f;
  filter_width = 10.0f;
  outscale_r = outscale_g = outscale_b = outscale_a = 1.0f;
  inscale_r = inscale_g = inscale_b = inscale_a = 1.0f;
  luminance_weights[0] = 0.3086f;
  luminance_weights[1] = 0.6094f;
  luminance_weights[2] = 0.082f;
  luminance_weights[3] = 0.0f;
  for (float& s : contrast_scale) s = 1.0f;
  user_data = nullptr;
}

namespace {

struct ErrorName {
  int32_t code;
  const char* name;
  int length;  // the text is the name padded with blanks to this length
};

constexpr ErrorName kErrorNames[] = {
    {0, "OK", 25},
    {-1, "FAIL", 25},
    {-2, "Can't Open Input File", 26},
    {-3, "Can't Open Output File", 26},
    {-4, "BAD_OPTION", 25},
    {-5, "BAD_OUTPUT_DIRECTORY", 25},
    {-6, "CANT_DECOMPRESS_IMAGE", 25},
    {-7, "BAD_LIST_FILE", 25},
    {-8, "CANT_OPEN_LIST_FILE", 25},
    {-9, "BAD_LIST_FILE_CONTENTS", 25},
    {-10, "IMAGE_NOT_SQUARE", 25},
    {-11, "IMAGES_NOT_SAME_SIZE", 25},
    {-12, "UNKNOWN_CONVERSION", 25},
    {-13, "CANT_OPEN_PROFILE", 25},
    {-14, "IMAGE_NOT_MULT4", 25},
    {-15, "OUTPUT_FILE_IS_READ_ONLY", 25},
    {-16, "INPUT_POINTER_ZERO", 25},
    {-17, "DEPTH_IS_NOT_3_OR_4", 25},
    {-18, "IMAGE_NOT_POWER_2", 25},
    {-19, "CANT_MAKE_MATRIX", 25},
    {-20, "CANT_NORMALIZE", 25},
    {-21, "CANT_INVERT_MATRIX", 25},
    {-22, "CANT_MAKE_VECTOR", 25},
    {-23, "CANT_INITIALIZE_CONVOLVER", 27},
    {-24, "EMPTY_IMAGE", 25},
    {-25, "BAD_FLAGS", 25},
    {-26, "GBM_IO_ERR", 25},
    {-27, "TGA_IO_ERR", 25},
    {-28, "TGA_RLE_ERR", 25},
    {-29, "PNG_IO_ERR", 25},
    {-30, "CANT_CREATE_INDEX_BUFFER", 25},
    {-31, "CANT_CREATE_CUBE_MAP", 25},
    {-32, "BAD_FORMAT", 25},
    {-33, "CANT_CREATE_TEXTURE", 25},
    {-34, "UNKNOWN_FORMAT", 25},
    {-35, "CANT_CREATE_VERTEX_BUFFER", 27},
    {-36, "CANT_CREATE_PIXEL_SHADER", 25},
    {-37, "CANT_CREATE_VERTEX_DECL", 25},
    {-38, "NEED_4_PLANES_FOR_RGBE", 25},
    {-39, "PSD_IO_ERR", 25},
    {-40, "NO_FILENAME", 25},
    {-41, "CANT_DECOMPOSE_MATRIX", 25},
    {-42, "HDR_IO_ERR", 25},
    {-43, "RGBA_IO_ERR", 25},
    {-44, "READ_FAILED", 25},
    {-45, "WRITE_FAILED", 25},
    {-46, "BAD_ARG", 25},
    {-47, "CANT_LOCK", 25},
    {-48, "FAILED_UNLOCK", 25},
    {-49, "NOT_RING_LOOP", 25},
    {-50, "CHART_FOLDED", 25},
    {-51, "CHART_CANNOT_INVERT", 25},
    {-52, "CHART_BAD_PERIMETER", 25},
    {-53, "CHART_NO_DATA", 25},
    {-54, "CHART_CANT_OPTIMIZE", 25},
    {-55, "CHART_NO_POINTS_FOUND", 25},
    {-56, "CHART_ZERO_SIZE", 25},
    {-57, "CHART_NO_UNPINNED", 25},
    {-58, "CHART_OVERLAP", 25},
    {-59, "CHART_NO_FACES", 25},
    {-60, "CHART_MAX_DISTORTION_EXCEEDED", 31},
    {-61, "CHART_AVE_DISTORTION_EXCEEDED", 31},
    {-70, "CANT_CREATE_PRECONDITIONER", 28},
    {-71, "NO_CONVERGENCE", 26},
    {-72, "ZERO_DIAGONAL", 26},
    {-73, "ZERO_TRIANGLE_AREA", 26},
    {-74, "LINE_ON_PLANE", 26},
    {-75, "LINE_AND_PLANE_PARALLEL", 26},
    {-76, "CANT_COMPILE_EFFECT_FILE", 26},
    {-78, "CANT_UNLOCK_INDEX_BUFFER", 26},
    {-79, "CANT_CLONE_MESH", 26},
    {-80, "CANT_FIND_FILE", 26},
    {-81, "INVALID_FILENAME", 26},
    {-82, "CANT_SET_MATRIX", 26},
    {-83, "NEED_PIXEL_SHADER2", 26},
    {-84, "CANT_UNLOCK_TEXTURE", 26},
    {-85, "OUT_OF_MEMORY", 26},
    {-86, "TIFF_IO_ERR", 25},
    {-90, "FILE_BAD_INDEX", 26},
    {-91, "FILE_NOT_ENOUGH_INDICES", 26},
    {-92, "FILE_FORMAT_NOT_SUPPORTED", 26},
    {-93, "CANT_CREATE_EFFECT", 26},
    {-94, "NAN", 26},
    {-95, "SURFACE_IS_CUBE_MAP", 29},
    {-96, "SURFACE_IS_VOLUME_MAP", 29},
    {-97, "UNSUPPORTED_FORMAT", 27},
    {-98, "MEMORY_ALLOCATION_FAILED", 33},
    {-99, "CUBE_MAP_NEEDS_SIX_FACES", 27},
    {-100, "IMAGE_EXCEEDS_INTERNAL_SIZE", 30},
};

constexpr int kLongestText = 33;
using Text = std::array<char, kLongestText + 1>;

// Padded texts by -code, built at compile time; an empty text marks a code without one.
constexpr std::array<Text, 101> BuildTexts() {
  std::array<Text, 101> texts{};
  for (const ErrorName& e : kErrorNames) {
    Text& t = texts[static_cast<size_t>(-e.code)];
    int i = 0;
    for (; e.name[i] != '\0'; ++i) t[static_cast<size_t>(i)] = e.name[i];
    for (; i < e.length; ++i) t[static_cast<size_t>(i)] = ' ';
    t[static_cast<size_t>(i)] = '\0';
  }
  return texts;
}

constexpr std::array<Text, 101> kTexts = BuildTexts();

}  // namespace

const char* GetErrorString(int32_t code) {
  if (code > 0 || code < -100) return "ERROR NOT DEFINED";
  const Text& t = kTexts[static_cast<size_t>(-code)];
  return t[0] != '\0' ? t.data() : "ERROR NOT DEFINED";
}

}  // namespace dds
