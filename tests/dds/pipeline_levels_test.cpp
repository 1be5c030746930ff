// The level pipeline's size rules and per-level processing, observed through the float levels
// written in format 18 (f32 R, G, B, A, unclamped), so values can be compared exactly.
#include "dds/CompressImage.h"
#include "dds/LevelPipeline.h"
#include "dds/TextureCompressOptions.h"
#include "ddsfile_reader.h"
#include "ddsfile_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace ddsfile_test;

namespace {

// Runs float levels through the pipeline; returns the parsed file.
DdsFile RunLevels(const dds::tVector<dds::FloatImage>& levels, dds::TextureCompressOptions& o,
            const dds::i32* rect = nullptr) {
  Capture c;
  o.user_data = &c;
  EXPECT_EQ(dds::CompressPrepared(levels, o, CaptureCallback, rect), 0);
  DdsFile f;
  std::string why;
  EXPECT_TRUE(ParseDds(c.File(), f, why)) << why;
  return f;
}

DdsFile RunOne(const dds::FloatImage& level, dds::TextureCompressOptions& o) {
  dds::tVector<dds::FloatImage> levels(1);
  levels[0] = level;
  return RunLevels(levels, o);
}

// Pixel (x, y) channel c of a format-18 level of width w.
float At(const std::vector<uint8_t>& level, uint32_t w, uint32_t x, uint32_t y, int c) {
  float v;
  std::memcpy(&v, &level[16 * (y * w + x) + 4 * c], 4);
  return v;
}

dds::FloatImage Gradient(dds::u32 w, dds::u32 h) {
  dds::FloatImage image(w, h);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = 0; x < w; ++x) {
      float* p = image.Pixel(x, y);
      p[0] = float(x) / w;
      p[1] = float(y) / h;
      p[2] = 0.5f;
      p[3] = 1.0f;
    }
  return image;
}

}  // namespace

TEST(DdsPipelineSizes, PowerOfTwoFunctions) {
  struct Case {
    uint32_t v, next, nearest, lower;
  } cases[] = {{1, 1, 1, 1},       {3, 4, 4, 2},       {6, 8, 8, 4},  // a tie goes up
               {300, 512, 256, 256}, {200, 256, 256, 128}, {0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
               {0x80000001u, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}};
  for (const Case& k : cases) {
    EXPECT_EQ(dds::NextPowerOfTwo(k.v), k.next) << k.v;
    EXPECT_EQ(dds::NearestPowerOfTwo(k.v), k.nearest) << k.v;
    EXPECT_EQ(dds::LowerPowerOfTwo(k.v), k.lower) << k.v;
  }
  EXPECT_TRUE(dds::IsMultipleOf4(2));
  EXPECT_FALSE(dds::IsMultipleOf4(0));
  EXPECT_FALSE(dds::IsMultipleOf4(6));
  uint32_t w, h;
  EXPECT_EQ(dds::RescaleToPowerOfTwo(64, 32, w, h), 0);
  EXPECT_EQ(dds::RescaleToSmallerPowerOfTwo(1, 256, w, h), 1);
  EXPECT_EQ(w, 1u);  // nothing below one pixel
  EXPECT_EQ(h, 128u);
}

TEST(DdsPipelineSizes, RulesClampsAndTargetBoxShapeLevelZero) {
  struct Case {
    const char* what;
    uint32_t w, h;
    void (*set)(dds::TextureCompressOptions&);
    uint32_t out_w, out_h;
  } cases[] = {
      {"nearest", 300, 200, [](dds::TextureCompressOptions& o) { o.rescale_type = 1; }, 256, 256},
      {"next", 300, 200, [](dds::TextureCompressOptions& o) { o.rescale_type = 2; }, 512, 256},
      {"lower", 300, 200, [](dds::TextureCompressOptions& o) { o.rescale_type = 3; }, 256, 128},
      {"smaller", 256, 256, [](dds::TextureCompressOptions& o) { o.rescale_type = 4; }, 128, 128},
      {"smaller 1x1", 1, 1, [](dds::TextureCompressOptions& o) { o.rescale_type = 4; }, 1, 1},
      {"given size", 30, 20, [](dds::TextureCompressOptions& o) { o.rescale_type = 5; o.rescale_width = 9.7f; o.rescale_height = 3.2f; }, 9, 3},
      {"given scale", 30, 20, [](dds::TextureCompressOptions& o) { o.rescale_type = 6; o.rescale_width = 0.5f; o.rescale_height = 2.0f; }, 15, 40},
      {"clamp", 300, 200, [](dds::TextureCompressOptions& o) { o.clamp_size = 1; o.clamp_width = 100; o.clamp_height = 400; }, 100, 200},
      {"target", 300, 200, [](dds::TextureCompressOptions& o) { o.resample_to_target = 1; o.target_width = o.target_height = 256; }, 256, 171},
      {"target tall", 100, 400, [](dds::TextureCompressOptions& o) { o.resample_to_target = 1; o.target_width = o.target_height = 200; }, 50, 200},
      {"target flat", 1000, 2, [](dds::TextureCompressOptions& o) { o.resample_to_target = 1; o.target_width = o.target_height = 10; }, 10, 1},
      {"inside target", 30, 20, [](dds::TextureCompressOptions& o) { o.resample_to_target = 1; o.target_width = o.target_height = 256; }, 30, 20},
  };
  for (const Case& k : cases) {
    dds::TextureCompressOptions o;
    o.texture_format = 18;
    o.mip_map_type = 32;
    k.set(o);
    const DdsFile f = RunOne(Constant(k.w, k.h, 0.25f, 0.5f, 0.75f, 1.0f), o);
    EXPECT_EQ(f.width, k.out_w) << k.what;
    EXPECT_EQ(f.height, k.out_h) << k.what;
    // Resampling keeps a constant image constant.
    if (!f.levels.empty()) {
      EXPECT_NEAR(At(f.levels[0], f.width, f.width - 1, f.height - 1, 1), 0.5f, 1e-5f) << k.what;
    }
  }
}

TEST(DdsPipelineSizes, RectangleCutsLevelZero) {
  dds::TextureCompressOptions o;
  o.texture_format = 18;
  o.mip_map_type = 32;
  const dds::i32 rect[4] = {2, 1, 5, 6};
  dds::tVector<dds::FloatImage> levels(1);
  levels[0] = Gradient(8, 8);
  const DdsFile f = RunLevels(levels, o, rect);
  ASSERT_EQ(f.width, 4u);
  ASSERT_EQ(f.height, 6u);
  EXPECT_FLOAT_EQ(At(f.levels[0], 4, 0, 0, 0), 2.0f / 8);
  EXPECT_FLOAT_EQ(At(f.levels[0], 4, 3, 5, 1), 6.0f / 8);

  // A given lower level is cut to the same region at its scale.
  o.mip_map_type = 31;
  levels.resize(2);
  levels[1] = Gradient(4, 4);
  const DdsFile two = RunLevels(levels, o, rect);
  ASSERT_EQ(two.levels.size(), 2u);
  EXPECT_EQ(two.levels[1].size(), 2u * 3u * 16u);
  // Its red runs over the cut columns 1..2 (0.25, 0.5), not from the uncut level's 0.
  EXPECT_GE(At(two.levels[1], 2, 0, 0, 0), 0.25f - 1e-6f);
  EXPECT_LE(At(two.levels[1], 2, 1, 0, 0), 0.5f + 1e-6f);

  Capture c;
  o.user_data = &c;
  const dds::i32 outside[4] = {20, 20, 30, 30};
  EXPECT_EQ(dds::CompressPrepared(levels, o, CaptureCallback, outside), dds::kErrBadArg);
  EXPECT_TRUE(c.calls.empty());
}

TEST(DdsPipelineLevels, FadesFollowTheDefaultAndUserFactors) {
  // Default factors 0.85, 0.7225, … start at level 0.
  dds::TextureCompressOptions o;
  o.texture_format = 18;
  o.b_fade_color = 1;
  o.fade_to_color_r = 1.0f;
  DdsFile f = RunOne(Constant(4, 4, 0.0f, 0.0f, 0.0f, 1.0f), o);
  ASSERT_EQ(f.levels.size(), 3u);
  EXPECT_NEAR(At(f.levels[0], 4, 0, 0, 0), 0.15f, 1e-6f);
  EXPECT_NEAR(At(f.levels[1], 2, 0, 0, 0), 1.0f - 0.7225f, 1e-6f);

  // User factors per level for alpha; a delay holds colour fades back.
  o = dds::TextureCompressOptions();
  o.texture_format = 18;
  o.b_fade_alpha = 1;
  o.fade_to_alpha = 0.0f;
  o.user_specified_fading_amounts = 1;
  o.user_fading_amounts[0] = 1.0f;
  o.user_fading_amounts[1] = 0.5f;
  o.user_fading_amounts[2] = 0.25f;
  o.b_fade_color = 1;
  o.fade_to_color_r = 1.0f;
  o.fade_to_delay = 2;
  f = RunOne(Constant(4, 4, 0.0f, 0.0f, 0.0f, 0.8f), o);
  EXPECT_NEAR(At(f.levels[0], 4, 1, 1, 3), 0.8f, 1e-6f);
  EXPECT_NEAR(At(f.levels[1], 2, 1, 1, 3), 0.4f, 1e-6f);
  EXPECT_NEAR(At(f.levels[2], 1, 0, 0, 3), 0.2f, 1e-6f);
  EXPECT_EQ(At(f.levels[1], 2, 0, 0, 0), 0.0f);
  EXPECT_NEAR(At(f.levels[2], 1, 0, 0, 0), 0.75f, 1e-6f);
}

TEST(DdsPipelineLevels, BordersBinaryAlphaAndPremodulation) {
  dds::TextureCompressOptions o;
  o.texture_format = 18;
  o.mip_map_type = 32;
  o.b_alpha_border = 1;
  o.b_border = 1;
  o.border_color_g = 1.0f;
  o.b_binary_alpha = 1;
  o.b_premodulate = 1;
  const DdsFile f = RunOne(Constant(4, 3, 0.5f, 0.5f, 0.5f, 0.6f), o);
  const auto& l = f.levels[0];
  EXPECT_EQ(At(l, 4, 0, 1, 3), 0.0f);  // edge: alpha 0, colour border green times alpha 0
  EXPECT_EQ(At(l, 4, 0, 1, 1), 0.0f);
  EXPECT_EQ(At(l, 4, 1, 1, 3), 1.0f);  // inside: 0.6 > 0.5 becomes 1
  EXPECT_EQ(At(l, 4, 1, 1, 0), 0.5f);
  EXPECT_EQ(At(l, 4, 2, 2, 3), 0.0f);  // bottom row
}

TEST(DdsPipelineLevels, RenormalisingAndOutputMapping) {
  dds::TextureCompressOptions o;
  o.texture_format = 18;
  o.mip_map_type = 32;
  o.renormalize = 1;
  DdsFile f = RunOne(Constant(2, 2, 3.0f, 0.0f, 4.0f, 1.0f), o);
  EXPECT_NEAR(At(f.levels[0], 2, 0, 0, 0), 0.6f, 1e-6f);
  EXPECT_NEAR(At(f.levels[0], 2, 0, 0, 2), 0.8f, 1e-6f);

  // Scale and bias, then wrap into 0..1 before the clamp of an 8-bit format.
  o = dds::TextureCompressOptions();
  o.texture_format = 7;
  o.mip_map_type = 32;
  o.outscale_r = 2.0f;
  o.outbias_g = 0.5f;
  o.output_wrap = 1;
  f = RunOne(Constant(1, 1, 0.3f, 0.75f, 0.2f, 1.0f), o);
  ASSERT_EQ(f.levels[0].size(), 4u);
  EXPECT_EQ(f.levels[0][2], 153);  // 0.6
  EXPECT_EQ(f.levels[0][1], 64);   // 1.25 wraps to 0.25

  // A NaN scale reaches no encoder: clamped formats take their low end.
  o.outscale_b = std::nanf("");
  f = RunOne(Constant(4, 4, 0.3f, 0.75f, 0.2f, 1.0f), o);
  EXPECT_EQ(f.levels[0][0], 0);
  o.texture_format = 0;
  f = RunOne(Constant(4, 4, 0.3f, 0.75f, 0.2f, 1.0f), o);
  EXPECT_EQ(f.levels[0].size(), 8u);
}

TEST(DdsPipelineLevels, InputAdjustmentsSwapsAndSharedExponentInput) {
  dds::TextureCompressOptions o;
  o.texture_format = 18;
  o.mip_map_type = 32;
  o.swap_rb = 1;
  o.inscale_g = 0.5f;
  o.inbias_a = -0.25f;
  DdsFile f = RunOne(Constant(1, 1, 0.1f, 0.8f, 0.9f, 1.0f), o);
  EXPECT_FLOAT_EQ(At(f.levels[0], 1, 0, 0, 0), 0.9f);
  EXPECT_FLOAT_EQ(At(f.levels[0], 1, 0, 0, 2), 0.1f);
  EXPECT_FLOAT_EQ(At(f.levels[0], 1, 0, 0, 1), 0.4f);
  EXPECT_FLOAT_EQ(At(f.levels[0], 1, 0, 0, 3), 0.75f);

  // Shared-exponent input: mantissa 128, exponent 129 is 128/255·2 per channel, alpha 1.
  dds::Image image;
  image.width = image.height = 1;
  image.pixels.resize(1);
  image.pixels[0] = Pack(128, 64, 0, 129);
  image.rgbe = 1;
  o = dds::TextureCompressOptions();
  o.texture_format = 18;
  o.mip_map_type = 32;
  Capture c;
  ASSERT_EQ(Compress(image, o, c), 0);
  ASSERT_EQ(c.calls.size(), 3u);
  EXPECT_NEAR(At(c.calls[2].bytes, 1, 0, 0, 0), 256.0f / 255.0f, 1e-6f);
  EXPECT_NEAR(At(c.calls[2].bytes, 1, 0, 0, 1), 128.0f / 255.0f, 1e-6f);
  EXPECT_EQ(At(c.calls[2].bytes, 1, 0, 0, 3), 1.0f);
}

TEST(DdsPipelineLevels, GivenLevelsAreKeptOrCompleted) {
  // Type 33 keeps the levels given and makes the rest; type 31 keeps them as they are.
  for (int type : {31, 33}) {
    dds::TextureCompressOptions o;
    o.texture_format = 18;
    o.mip_map_type = type;
    dds::tVector<dds::FloatImage> levels(2);
    levels[0] = Constant(8, 8, 0.0f, 0.0f, 0.0f, 1.0f);
    levels[1] = Constant(4, 4, 1.0f, 0.0f, 0.0f, 1.0f);
    const DdsFile f = RunLevels(levels, o);
    ASSERT_EQ(f.levels.size(), type == 33 ? 4u : 2u) << type;
    EXPECT_EQ(At(f.levels[1], 4, 0, 0, 0), 1.0f) << type;  // given level kept
    if (type == 33) {
      EXPECT_EQ(At(f.levels[3], 1, 0, 0, 0), 0.0f);  // made from level 0
    }
  }
}

// The longest chain the library makes has 17 levels, one per slot of the per-level tables; a
// longer side is refused instead of reading past them.
TEST(DdsPipelineLevels, LongestChainUsesTheLastPerLevelSlot) {
  dds::TextureCompressOptions o;
  o.texture_format = 18;
  o.b_fade_alpha = 1;
  o.fade_to_alpha = 0.0f;
  o.user_specified_fading_amounts = 1;
  for (float& a : o.user_fading_amounts) a = 1.0f;
  o.user_fading_amounts[16] = 0.5f;
  const DdsFile f = RunOne(Constant(65536, 1, 0.0f, 0.0f, 0.0f, 1.0f), o);
  ASSERT_EQ(f.levels.size(), 17u);
  EXPECT_NEAR(At(f.levels[15], 2, 1, 0, 3), 1.0f, 1e-5f);
  EXPECT_NEAR(At(f.levels[16], 1, 0, 0, 3), 0.5f, 1e-5f);

  dds::tVector<dds::FloatImage> levels(1);
  levels[0] = Constant(131072, 1, 0.0f, 0.0f, 0.0f, 1.0f);
  Capture c;
  o.user_data = &c;
  EXPECT_EQ(dds::CompressPrepared(levels, o, CaptureCallback, nullptr), dds::kErrImageExceedsInternalSize);
  EXPECT_TRUE(c.calls.empty());
}
