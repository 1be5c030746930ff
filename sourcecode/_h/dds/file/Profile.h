// Settings profiles: text files of "g_" keys that set the compression options and a few viewer
// settings. A library-wide profile path, when set, is read before every run resizes anything.
#pragma once

#include "dds/tVector.h"

#include <cstddef>

namespace dds {

struct TextureCompressOptions;

constexpr std::size_t kProfileTextSize = 1024;  // longest stored text, terminator included

// The profile reader's working context: the viewer settings a profile carries beside the
// options. The compression itself reads none of them.
struct CompressContext {
  u32 reserved = 0;
  i32 read_depth = 3000;
  u8 use_background_image = 0;
  char background_file_name[kProfileTextSize] = {};
  char profile_name[kProfileTextSize] = {};  // path of the profile read last
  u8 show_differences = 0, show_filtering = 0, show_mipmapping = 0, show_anisotropic = 0;
  i32 clear_color = 0;
  u8 light_enable = 0;
  u8 view_dxt1 = 1, view_dxt2 = 1, view_dxt3 = 1, view_dxt5 = 1;
  u8 view_a4r4g4b4 = 1, view_a1r5g5b5 = 1, view_r5g6b5 = 1, view_a8r8g8b8 = 1;
  u8 alpha_blending = 0;
  u8 reserved_flag = 0;
  i32 view_value_a = 128, view_value_b = 6;
  u8 preview_disable_mipmaps = 0;
  u8 load_mip_maps = 0;
  i32 user_fading_set = 0;  // 0..7: which "Blend_Set_N" names the per-level fade keys use

  // The values a context gets before every profile load.
  void Reset();
};

// Constructs `options` afresh and stores the profile defaults (and the context's viewer
// defaults); `user_data` survives, since it belongs to the caller's output, not to a profile.
void ResetProfileOptions(CompressContext& context, TextureCompressOptions& options);

// The largest profile file read (1 MiB; real ones are a few kilobytes).
inline constexpr unsigned long long kMaxProfileSize = 1u << 20;

// Reads the profile file at `path`: resets to the profile defaults, then applies every line.
// Returns 0, or −13 (nothing changed, logged) when the file cannot be opened, is not a regular
// file (a folder, a named pipe, a device) or is larger than kMaxProfileSize.
i32 LoadProfile(CompressContext& context, TextureCompressOptions& options, const char* path);

// The same on a profile already in memory (`name` is stored as the profile name).
void LoadProfileText(CompressContext& context, TextureCompressOptions& options, const char* text,
                     std::size_t size, const char* name);

// Applies one line (without the reset); lines of the file reach it in pieces of at most 999
// characters, their line end included.
void ApplyProfileLine(CompressContext& context, TextureCompressOptions& options, const char* line,
                      std::size_t length);

// The library-wide profile path; null or "" clears it. Empty at start.
void SetProfilePath(const char* path);
// The current path, or null when none is set.
const char* GetProfilePath();

}  // namespace dds
