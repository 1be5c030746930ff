// Sharpening and image filters on float levels, alone and through the level pipeline.
#include "dds/CompressImage.h"
#include "dds/block/DxtDecoder.h"
#include "dds/image/Sharpen.h"
#include "dds/TextureCompressOptions.h"
#include "ddsfile_reader.h"
#include "ddsfile_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace ddsfile_test;

namespace {

dds::FloatImage Noise(dds::u32 w, dds::u32 h, unsigned seed) {
  dds::FloatImage image(w, h);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = 0; x < w; ++x)
      for (int c = 0; c < 4; ++c) {
        seed = seed * 1664525u + 1013904223u;
        image.Pixel(x, y)[c] = float(seed >> 8) / float(1 << 24);
      }
  return image;
}

float MaxDifference(const dds::FloatImage& a, const dds::FloatImage& b) {
  float d = 0.0f;
  for (dds::u32 y = 0; y < a.height; ++y)
    for (dds::u32 i = 0; i < 4 * a.width; ++i) d = std::max(d, std::fabs(a.Row(y)[i] - b.Row(y)[i]));
  return d;
}

// A vertical step edge, 0.2 left of the middle and 0.8 right of it, alpha 1.
dds::FloatImage Edge(dds::u32 w, dds::u32 h) {
  dds::FloatImage image = Constant(w, h, 0.2f, 0.2f, 0.2f, 1.0f);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = w / 2; x < w; ++x)
      for (int c = 0; c < 3; ++c) image.Pixel(x, y)[c] = 0.8f;
  return image;
}

}  // namespace

// Smoothing and sharpening do not invent detail: a level of one colour stays that colour.
TEST(SharpenFilters, ConstantLevelStaysConstant) {
  dds::SharpenSettings settings;
  for (int method : {6, 7, 8, 9, 15, 16, 17, 19}) {
    for (float v : {0.0f, 0.3f, 0.77f, 1.0f, 3.5f}) {
      const dds::FloatImage before = Constant(9, 7, v, v, v, v);
      dds::FloatImage after = before;
      dds::ApplySharpenMethod(settings, after, method);
      EXPECT_LT(MaxDifference(before, after), 1e-5f * std::max(1.0f, v)) << method << " " << v;
    }
  }
  // Through the pipeline: a sharpened constant DXT1 file decodes to one colour.
  dds::TextureCompressOptions o;
  o.texture_format = 0;
  o.sharpen_method = 9;
  Capture c;
  o.user_data = &c;
  dds::tVector<dds::FloatImage> levels(1);
  levels[0] = Constant(16, 16, 0.4f, 0.6f, 0.2f, 1.0f);
  ASSERT_EQ(dds::CompressPrepared(levels, o, CaptureCallback, nullptr), 0);
  DdsFile f;
  std::string why;
  ASSERT_TRUE(ParseDds(c.File(), f, why)) << why;
  std::vector<uint8_t> rgba(16 * 16 * 4);
  ASSERT_TRUE(dds::DecodeLevel(0, f.levels[0].data(), f.levels[0].size(), 16, 16, rgba.data()));
  for (size_t i = 4; i < rgba.size(); ++i) ASSERT_EQ(rgba[i], rgba[i % 4]) << i;
}

// The fixed biases are byte amounts on levels of 0..1.
TEST(SharpenFilters, PointFiltersAndBiases) {
  dds::SharpenSettings settings;
  dds::FloatImage p = Constant(3, 3, 0.0f, 1.0f, 0.5f, 0.25f);
  dds::ApplySharpenMethod(settings, p, 1);  // Negative
  EXPECT_FLOAT_EQ(p.Pixel(0, 0)[0], 1.0f);
  EXPECT_FLOAT_EQ(p.Pixel(2, 2)[1], 0.0f);
  EXPECT_FLOAT_EQ(p.Pixel(1, 1)[3], 0.75f);  // alpha too
  dds::FloatImage light = Constant(2, 2, 0.95f, 0.0f, 0.0f, 1.0f);
  dds::ApplySharpenMethod(settings, light, 2);  // Lighter: no clamp
  EXPECT_FLOAT_EQ(light.Pixel(1, 1)[0], 0.95f + 32.0f / 255.0f);
  dds::FloatImage less = Constant(2, 2, 0.5f, 0.0f, 1.0f, 1.0f);
  dds::ApplySharpenMethod(settings, less, 5);  // Contrast Less: v/2 + 64/255
  EXPECT_FLOAT_EQ(less.Pixel(0, 1)[2], 0.5f + 64.0f / 255.0f);
  EXPECT_STREQ(dds::GetSharpenFilter(11)->name, "Countour");
  EXPECT_EQ(dds::GetSharpenFilter(16), nullptr);
}

// Kernels with neighbours leave the edge rows and columns alone (so pictures two wide are left
// entirely), and read the neighbours from before the pass.
TEST(SharpenFilters, NeighbourKernelsKeepEdgesAndReadTheOldPixels) {
  dds::SharpenSettings settings;
  for (int method = 6; method <= 15; ++method) {
    const dds::FloatImage narrow = Noise(2, 9, 7);
    dds::FloatImage n = narrow;
    dds::ApplySharpenMethod(settings, n, method);
    EXPECT_EQ(MaxDifference(narrow, n), 0.0f) << method;
  }
  const dds::FloatImage before = Noise(6, 5, 3);
  dds::FloatImage after = before;
  dds::ApplySharpenMethod(settings, after, 9);  // 9·centre − the 8 neighbours
  for (dds::u32 y = 0; y < 5; ++y)
    for (dds::u32 x = 0; x < 6; ++x)
      for (int c = 0; c < 4; ++c) {
        float want = before.Pixel(x, y)[c];
        if (x > 0 && y > 0 && x < 5 && y < 4) {
          want = 10.0f * before.Pixel(x, y)[c];
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) want -= before.Pixel(x + dx, y + dy)[c];
        }
        EXPECT_NEAR(after.Pixel(x, y)[c], want, 1e-5f) << x << "," << y;
      }
}

// The custom 5×5 kernel: its default is the identity; a wide box leaves two edge pixels and
// averages the rest.
TEST(SharpenFilters, CustomFiveByFive) {
  dds::SharpenSettings settings;
  const dds::FloatImage before = Noise(7, 6, 11);
  dds::FloatImage after = before;
  dds::ApplySharpenMethod(settings, after, dds::kSharpenCustom);
  EXPECT_EQ(MaxDifference(before, after), 0.0f);

  float box[25];
  for (float& k : box) k = 1.0f;
  settings.SetCustomFilter(box, 25.0f, 0.0f);
  dds::ApplySharpenMethod(settings, after, dds::kSharpenCustom);
  for (dds::u32 y = 0; y < 6; ++y)
    for (dds::u32 x = 0; x < 7; ++x) {
      float want = before.Pixel(x, y)[1];
      if (x >= 2 && y >= 2 && x < 5 && y < 4) {
        want = 0.0f;
        for (int dy = -2; dy <= 2; ++dy)
          for (int dx = -2; dx <= 2; ++dx) want += before.Pixel(x + dx, y + dy)[1] / 25.0f;
      }
      EXPECT_NEAR(after.Pixel(x, y)[1], want, 1e-5f) << x << "," << y;
    }
  // Smaller than the kernel: nothing to do. A divisor of 0 counts as 1.
  dds::FloatImage small = Noise(4, 4, 5), small_before = small;
  dds::ApplySharpenMethod(settings, small, dds::kSharpenCustom);
  EXPECT_EQ(MaxDifference(small, small_before), 0.0f);
  float centre[25] = {};
  centre[12] = 2.0f;
  settings.SetCustomFilter(centre, 0.0f, 0.0f);
  dds::ApplySharpenMethod(settings, small, dds::kSharpenCustom);
  EXPECT_FLOAT_EQ(small.Pixel(3, 3)[0], 2.0f * small_before.Pixel(3, 3)[0]);
}

TEST(SharpenFilters, UnsharpMask) {
  for (float radius : {0.0f, 1.0f, 5.0f, -2.5f, 40.0f}) {
    const dds::tVector<float> k = dds::UnsharpKernel(radius);
    ASSERT_EQ(k.size() % 2, 1u);
    double sum = 0.0;
    for (dds::u32 i = 0; i < k.size(); ++i) {
      sum += k[i];
      EXPECT_EQ(k[i], k[k.size() - 1 - i]);
    }
    EXPECT_NEAR(sum, 1.0, 1e-5) << radius;
  }

  // A step edge overshoots on both sides by the same amount; far from it nothing changes.
  dds::UnsharpSettings s;
  s.radius = 1.0f;
  s.amount = 1.0f;
  dds::FloatImage edge = Edge(32, 8);
  dds::ApplyUnsharpMask(s, edge);
  const float dark = edge.Pixel(15, 4)[0], bright = edge.Pixel(16, 4)[0];
  EXPECT_LT(dark, 0.2f - 0.05f);
  EXPECT_GT(bright, 0.8f + 0.05f);
  EXPECT_NEAR(0.2f - dark, bright - 0.8f, 1e-5f);
  EXPECT_NEAR(edge.Pixel(2, 4)[0], 0.2f, 1e-6f);
  EXPECT_NEAR(edge.Pixel(30, 4)[0], 0.8f, 1e-6f);
  EXPECT_NEAR(edge.Pixel(16, 4)[3], 1.0f, 1e-6f);

  // A threshold above twice every difference leaves the picture alone.
  s.threshold = 2.0f;
  const dds::FloatImage noise = Noise(12, 10, 1);
  dds::FloatImage n = noise;
  dds::ApplyUnsharpMask(s, n);
  EXPECT_EQ(MaxDifference(noise, n), 0.0f);
}

TEST(SharpenFilters, XSharpSnapsSoftEdgesToTheNearerSide) {
  dds::XSharpSettings s;  // strength 1, threshold 1
  dds::FloatImage ramp = Constant(5, 3, 0.0f, 0.0f, 0.0f, 0.5f);
  const float values[5] = {0.1f, 0.2f, 0.45f, 0.8f, 0.9f};
  for (dds::u32 y = 0; y < 3; ++y)
    for (dds::u32 x = 0; x < 5; ++x)
      for (int c = 0; c < 3; ++c) ramp.Pixel(x, y)[c] = values[x];
  dds::ApplyXSharp(s, ramp);
  EXPECT_FLOAT_EQ(ramp.Pixel(1, 1)[0], 0.1f);   // nearer the dark side
  EXPECT_FLOAT_EQ(ramp.Pixel(2, 1)[0], 0.2f);
  EXPECT_FLOAT_EQ(ramp.Pixel(3, 1)[0], 0.9f);   // nearer the bright side
  EXPECT_FLOAT_EQ(ramp.Pixel(3, 0)[0], 0.8f);   // edge rows stay
  EXPECT_FLOAT_EQ(ramp.Pixel(3, 1)[3], 0.5f);   // alpha stays

  // Pure white never pulls; a small threshold keeps the pixel.
  dds::FloatImage white = Constant(3, 3, 0.9f, 0.9f, 0.9f, 1.0f);
  for (int c = 0; c < 3; ++c) white.Pixel(2, 2)[c] = 1.0f;
  for (int c = 0; c < 3; ++c) white.Pixel(0, 0)[c] = 0.5f;
  dds::ApplyXSharp(s, white);
  EXPECT_FLOAT_EQ(white.Pixel(1, 1)[0], 0.9f);
  s.threshold = 0.01f;
  dds::FloatImage kept = ramp;
  dds::ApplyXSharp(s, kept);
  EXPECT_EQ(MaxDifference(kept, ramp), 0.0f);
}

// Methods without a filter do nothing; an unsharp radius that cannot be built is refused before
// anything is written.
TEST(SharpenFilters, UnknownMethodsAndBadRadius) {
  dds::SharpenSettings settings;
  const dds::FloatImage before = Noise(6, 6, 9);
  for (int method : {0, 18, 20, 99, -3}) {
    dds::FloatImage after = before;
    dds::ApplySharpenMethod(settings, after, method);
    EXPECT_EQ(MaxDifference(before, after), 0.0f) << method;
  }
  for (float radius : {std::numeric_limits<float>::quiet_NaN(), 1e9f}) {
    dds::TextureCompressOptions o;
    o.sharpen_method = dds::kSharpenUnsharp;
    o.unsharp_radius = radius;
    Capture c;
    o.user_data = &c;
    dds::tVector<dds::FloatImage> levels(1);
    levels[0] = Noise(8, 8, 2);
    EXPECT_EQ(dds::CompressPrepared(levels, o, CaptureCallback, nullptr), -4);
    EXPECT_TRUE(c.calls.empty());
  }
}
