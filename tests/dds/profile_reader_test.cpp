// Profiles: the defaults a load starts from, how lines are split and matched, the generated
// per-level names, hostile values, and a profile picked up by a compression run.
#include "dds/CompressImage.h"
#include "dds/file/Profile.h"
#include "dds/TextureCompressOptions.h"
#include "ddsfile_util.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace ddsfile_test;

namespace {

struct Loaded {
  dds::CompressContext context;
  dds::TextureCompressOptions options;
};

void Load(Loaded& l, const std::string& text) {
  l.context.Reset();
  dds::LoadProfileText(l.context, l.options, text.data(), text.size(), "test.profile");
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("ddsfile_") + std::to_string(::getpid()) + "_" + name))
      .string();
}

}  // namespace

TEST(DdsProfile, ResetGivesTheProfileDefaultsAndKeepsUserData) {
  Loaded l;
  int marker = 0;
  l.options.user_data = &marker;
  l.options.quality = 5;
  l.options.resample_to_target = 1;
  Load(l, "");
  EXPECT_EQ(l.options.user_data, &marker);
  EXPECT_EQ(l.options.quality, 71);
  EXPECT_EQ(l.options.resample_to_target, 0);
  EXPECT_FLOAT_EQ(l.options.normalmap_scale, 2.2f);
  EXPECT_EQ(l.options.normalmap_cnv, 1009);
  EXPECT_EQ(l.options.b_calc_luminance, 1);
  EXPECT_FLOAT_EQ(l.options.fade_to_color_g, 0.5f);
  EXPECT_FLOAT_EQ(l.options.user_fading_amounts[0], 1.0f);
  EXPECT_FLOAT_EQ(l.options.user_fading_amounts[1], 0.85f);
  EXPECT_FLOAT_EQ(l.options.user_fading_amounts[2], 0.7225f);
  EXPECT_NEAR(l.options.user_fading_amounts[16], 0.0742511f, 1e-6f);
  EXPECT_EQ(l.context.show_mipmapping, 1);
  EXPECT_STREQ(l.context.profile_name, "test.profile");

  // Setting only the fade amount leaves the stored factors as the reset computed them.
  Load(l, "g_fade_amount_f 0.5\n");
  EXPECT_FLOAT_EQ(l.options.fade_amount, 0.5f);
  EXPECT_FLOAT_EQ(l.options.user_fading_amounts[1], 0.85f);
}

TEST(DdsProfile, LinesSplitAtTheFirstBlank) {
  struct Case {
    const char* text;
    int quality;
  } cases[] = {
      {"g_quality 72\n", 72},      {"g_quality    68", 68}, {"g_quality\t72\n", 71},
      {"#g_quality 72\n", 71},     {"G_QUALITY 72\n", 71},   {"g_quality\n", 71},
      {"g_quality abc\n", 0},      {"g_quality 69\r\n", 69}, {"x y\ng_quality 70\n#\n", 70},
      {"g_quality -2147483649\n", INT_MIN},
  };
  for (const Case& k : cases) {
    Loaded l;
    Load(l, k.text);
    EXPECT_EQ(l.options.quality, k.quality) << k.text;
  }
}

TEST(DdsProfile, ValuesOfEveryKindAndBothFadingKeys) {
  Loaded l;
  Load(l,
       "g_texture_format 7\n"
       "g_b_binary_alpha 257\n"             // low byte of the number
       "g_binary_alpha_threshold_f 0.25\n"
       "g_filter_gamma 1e40\n"              // saturates instead of overflowing
       "g_outbias_a -0.5\n"
       "g_buserspecifiedfadingamounts 1\n"
       "g_clearcolor 255\n"
       "CustomFilter_41 7.5\n"
       "SharpeningPassMIP_16 3\n"
       "SharpeningPassMIP_17 9\n"
       "CustomFilter_55 9\n"
       "g_backgroundfilename  back ground.tga\n");
  const dds::TextureCompressOptions& o = l.options;
  EXPECT_EQ(o.texture_format, 7);
  EXPECT_EQ(o.b_binary_alpha, 1);
  EXPECT_FLOAT_EQ(o.binary_alpha_threshold, 0.25f);
  EXPECT_EQ(o.filter_gamma, FLT_MAX);
  EXPECT_FLOAT_EQ(o.outbias_a, -0.5f);
  EXPECT_EQ(o.user_specified_fading_amounts, 1);
  EXPECT_EQ(l.context.clear_color, 255);
  EXPECT_FLOAT_EQ(o.custom_filter[4][1], 7.5f);
  EXPECT_EQ(o.sharpening_passes[16], 3);
  EXPECT_STREQ(l.context.background_file_name, "back ground.tga\n");  // line end kept

  Load(l, "g_user_specified_fading_amounts 1\n");
  EXPECT_EQ(l.options.user_specified_fading_amounts, 1);
}

TEST(DdsProfile, BlendNamesFollowTheFadingSetReadSoFar) {
  Loaded l;
  Load(l, "g_user_fading_set 2\nBlend_Set_3_Blend_Mip_1 0.125\n");
  EXPECT_FLOAT_EQ(l.options.user_fading_amounts[1], 0.125f);
  Load(l, "Blend_Set_3_Blend_Mip_1 0.125\ng_user_fading_set 2\n");
  EXPECT_FLOAT_EQ(l.options.user_fading_amounts[1], 0.85f);
  Load(l, "Blend_Set_1_Blend_Mip_3 0.5\n");
  EXPECT_FLOAT_EQ(l.options.user_fading_amounts[3], 0.5f);
  // A set number with no set name: blend lines are ignored, not looked up out of range.
  Load(l, "g_user_fading_set 99\nBlend_Set_100_Blend_Mip_1 0.5\ng_user_fading_set -1\n"
          "Blend_Set_0_Blend_Mip_2 0.5\n");
  EXPECT_FLOAT_EQ(l.options.user_fading_amounts[1], 0.85f);
  EXPECT_FLOAT_EQ(l.options.user_fading_amounts[2], 0.7225f);
}

TEST(DdsProfile, LongLinesAreReadInPiecesAndStayBounded) {
  Loaded l;
  // A comment of 999 characters ends its piece; what follows on that line is a line of its own.
  std::string text = "#" + std::string(998, 'x') + "g_quality 73\n";
  Load(l, text);
  EXPECT_EQ(l.options.quality, 73);
  // A file name longer than the buffer is cut, not written past it.
  text = "g_backgroundfilename " + std::string(5000, 'n') + "\n";
  Load(l, text);
  EXPECT_EQ(std::string(l.context.background_file_name), std::string(999 - 21, 'n'));
  // NUL bytes end a line as they would for a C line reader.
  text = std::string("g_quality 6\0 7\n", 15);
  Load(l, text);
  EXPECT_EQ(l.options.quality, 6);
}

TEST(DdsProfile, MissingFileChangesNothing) {
  dds::CompressContext context;
  dds::TextureCompressOptions o;
  o.quality = 12;
  EXPECT_EQ(dds::LoadProfile(context, o, "/nonexistent/dir/none.profile"), dds::kErrCantOpenProfile);
  EXPECT_EQ(o.quality, 12);
}

// Sharpening passes per level are range-checked like the other options: 2^31 passes would run
// for ever.
TEST(DdsProfile, SharpeningPassesOutOfRangeAreRefused) {
  Loaded l;
  Load(l, "SharpeningPassMIP_3 2147483647\n");
  EXPECT_EQ(l.options.sharpening_passes[3], 2147483647);
  l.options.sharpen_method = 1;
  dds::Image image;
  image.width = image.height = 16;
  image.pixels.resize(256);
  for (dds::u32 i = 0; i < 256; ++i) image.pixels[i] = 0xFF808080u;
  auto ignore = [](const void*, dds::u32, const dds::LevelInfo*, void*) -> dds::i32 { return 0; };
  l.options.mip_map_type = 30;
  EXPECT_EQ(dds::CompressImage(image, l.options, ignore, nullptr), dds::kErrBadArg);
  l.options.sharpening_passes[3] = -1;
  EXPECT_EQ(dds::CompressImage(image, l.options, ignore, nullptr), dds::kErrBadArg);
  l.options.sharpening_passes[3] = 2;
  EXPECT_EQ(dds::CompressImage(image, l.options, ignore, nullptr), dds::kOk);
}

// A folder, a named pipe or a device is no profile (a folder would read as empty and pass for
// the defaults, a pipe would block, a device never end); nor is a file past the size cap.
TEST(DdsProfile, WhatIsNotAProfileFileFailsWithoutBlocking) {
  const std::string folder = TempPath("folder.profile"), pipe = TempPath("pipe.profile"),
                    huge = TempPath("huge.profile");
  std::filesystem::create_directories(folder);
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::ofstream(huge).close();
  std::filesystem::resize_file(huge, dds::kMaxProfileSize + 1);
  for (const std::string& path : {folder, pipe, std::string("/dev/zero"), huge}) {
    dds::CompressContext context;
    dds::TextureCompressOptions o;
    o.quality = 12;
    EXPECT_EQ(dds::LoadProfile(context, o, path.c_str()), dds::kErrCantOpenProfile) << path;
    EXPECT_EQ(o.quality, 12) << path;
  }
  std::filesystem::remove(folder);
  std::filesystem::remove(pipe);
  std::filesystem::remove(huge);
}

// A profile set as the library's path is read by every run before any resizing; the caller's
// user pointer still reaches the callback, and a missing profile fails the run before writing.
TEST(DdsProfile, ProfilePathSteersACompressionRun) {
  const std::string path = TempPath("steer.profile");
  {
    std::ofstream out(path);
    out << "# uncompressed, three levels\ng_texture_format 7\ng_specified_mip_maps 3\n";
  }
  dds::SetProfilePath(path.c_str());
  dds::TextureCompressOptions o;
  Capture c;
  const dds::i32 result = Compress(MakeImage(32, 32, false), o, c);
  dds::SetProfilePath(nullptr);
  std::remove(path.c_str());
  ASSERT_EQ(result, 0);
  EXPECT_EQ(c.LevelCalls(), 3);  // every call reached `c` through user_data
  EXPECT_EQ(c.calls[2].bytes.size(), 32u * 32u * 4u);

  dds::SetProfilePath("/nonexistent/dir/none.profile");
  Capture missing;
  EXPECT_EQ(Compress(MakeImage(32, 32, false), o, missing), dds::kErrCantOpenProfile);
  dds::SetProfilePath("");
  EXPECT_EQ(dds::GetProfilePath(), nullptr);
  EXPECT_TRUE(missing.calls.empty());
}
