// The conversion of one level: colour to height, the forms of the normal, alpha modes, swap,
// renormalising and the refused codes.
#include "dds/normalmap/NormalMapConvert.h"
#include "dds/PipelineHooks.h"
#include "dds/TextureCompressOptions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

dds::FloatImage OnePixel(float r, float g, float b, float a) {
  dds::FloatImage image(1, 1);
  float* p = image.Pixel(0, 0);
  p[0] = r;
  p[1] = g;
  p[2] = b;
  p[3] = a;
  return image;
}

// Runs a normal-map conversion with the usual switches off.
dds::i32 Convert(dds::FloatImage& picture, int conversion, int kernel = 1041, int alpha = 1034,
                 float scale = 1.0f, bool invert_x = false, bool add = false, bool swap = false) {
  return dds::ConvertImage(kernel, conversion, alpha, scale, 0, 0, invert_x, 0, 0, add, swap,
                           picture);
}

dds::FloatImage Ramp(dds::u32 w, dds::u32 h, float rgb) {  // height rises by 1 per column
  dds::FloatImage image(w, h);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = 0; x < w; ++x) {
      float* p = image.Pixel(x, y);
      p[0] = p[1] = p[2] = rgb;
      p[3] = float(x);
    }
  return image;
}

}  // namespace

TEST(NormalMapConvert, ColourToHeightRules) {
  struct Case {
    int code;
    float height;
  } cases[] = {{1010, (0.2f + 0.5f + 0.9f) / 3.0f}, {1012, 0.2f}, {1013, 0.5f}, {1014, 0.9f},
               {1015, 0.9f}, {1016, 1.0f - 0.8f * 0.5f * 0.1f}};
  for (const Case& c : cases) {
    dds::FloatImage p = OnePixel(0.2f, 0.5f, 0.9f, 0.3f);
    ASSERT_EQ(dds::ColorToHeight(c.code, p), 0);
    const float* px = p.Pixel(0, 0);
    EXPECT_EQ(px[0], 0.0f);
    EXPECT_EQ(px[1], 0.0f);
    EXPECT_EQ(px[2], 0.0f);
    EXPECT_NEAR(px[3], c.height, 1e-6f) << c.code;
  }
  // Deviation from the mean: a picture of one colour is flat at 0; two colours sit at ± half.
  dds::FloatImage two(2, 1);
  for (int i = 0; i < 2; ++i) {
    float* px = two.Pixel(i, 0);
    px[0] = px[1] = px[2] = i == 0 ? 0.2f : 0.6f;
  }
  dds::FloatImage one = two;
  one.Pixel(1, 0)[0] = one.Pixel(1, 0)[1] = one.Pixel(1, 0)[2] = 0.2f;
  ASSERT_EQ(dds::ColorToHeight(1011, one), 0);
  EXPECT_NEAR(one.Pixel(0, 0)[3], 0.0f, 1e-7f);
  EXPECT_NEAR(one.Pixel(1, 0)[3], 0.0f, 1e-7f);
  ASSERT_EQ(dds::ColorToHeight(1011, two), 0);
  EXPECT_NEAR(two.Pixel(0, 0)[3], 0.2f, 1e-6f);
  EXPECT_NEAR(two.Pixel(1, 0)[3], 0.2f, 1e-6f);

  dds::FloatImage empty;
  EXPECT_EQ(dds::ColorToHeight(1010, empty), dds::kErrEmptyImage);
}

TEST(NormalMapConvert, UnknownConversionLeavesThePictureAlone) {
  for (int code : {1008, 1019, 0}) {
    dds::FloatImage p = OnePixel(0.2f, 0.5f, 0.9f, 0.3f);
    EXPECT_EQ(Convert(p, code), dds::kResultUnknownConversion) << code;
    EXPECT_EQ(p.Pixel(0, 0)[0], 0.2f);
    EXPECT_EQ(p.Pixel(0, 0)[3], 0.3f);
  }
}

TEST(NormalMapConvert, FormsOfTheNormal) {
  // Constant height: straight up in the plain form, nothing in the two-component form.
  dds::FloatImage flat = Ramp(6, 6, 0.3f);
  for (dds::u32 y = 0; y < 6; ++y)
    for (dds::u32 x = 0; x < 6; ++x) flat.Pixel(x, y)[3] = 0.4f;
  dds::FloatImage xy = flat;
  ASSERT_EQ(Convert(flat, 1009), 0);
  ASSERT_EQ(Convert(xy, 1009, 1045), 0);
  for (dds::u32 y = 0; y < 6; ++y)
    for (dds::u32 x = 0; x < 6; ++x) {
      EXPECT_EQ(flat.Pixel(x, y)[0], 0.0f);
      EXPECT_EQ(flat.Pixel(x, y)[2], 1.0f);
      EXPECT_EQ(xy.Pixel(x, y)[0], 0.0f);
      EXPECT_EQ(xy.Pixel(x, y)[2], 0.0f);
    }

  // A ramp of slope 1 leans 45° against the slope; inverting X leans it the other way.
  for (bool invert : {false, true}) {
    dds::FloatImage ramp = Ramp(6, 3, 0.0f);
    ASSERT_EQ(Convert(ramp, 1009, 1040, 1034, 1.0f, invert), 0);
    const float* px = ramp.Pixel(3, 1);
    EXPECT_NEAR(px[0], invert ? 0.70710678f : -0.70710678f, 1e-6f);
    EXPECT_NEAR(px[1], 0.0f, 1e-6f);
    EXPECT_NEAR(px[2], 0.70710678f, 1e-6f);
    EXPECT_EQ(px[3], 3.0f);  // alpha mode 1034 keeps the height
  }

  // Adding to the existing colour: (0, 0, 1) + (−s, 0, s) normalised.
  dds::FloatImage add = Ramp(6, 3, 0.0f);
  for (dds::u32 y = 0; y < 3; ++y)
    for (dds::u32 x = 0; x < 6; ++x) add.Pixel(x, y)[2] = 1.0f;
  ASSERT_EQ(Convert(add, 1009, 1040, 1034, 1.0f, false, true), 0);
  const double s = std::sqrt(0.5), len = std::sqrt(s * s + (1 + s) * (1 + s));
  EXPECT_NEAR(add.Pixel(3, 1)[0], -s / len, 1e-6);
  EXPECT_NEAR(add.Pixel(3, 1)[2], (1 + s) / len, 1e-6);

  // With colour codes the colour is cleared first, so adding changes nothing.
  dds::FloatImage grey_plain = Ramp(6, 3, 0.0f), grey_add;
  for (dds::u32 y = 0; y < 3; ++y)
    for (dds::u32 x = 0; x < 6; ++x) {
      float* p = grey_plain.Pixel(x, y);
      p[0] = p[1] = p[2] = 0.1f * float(x * x);
    }
  grey_add = grey_plain;
  ASSERT_EQ(Convert(grey_plain, 1010), 0);
  ASSERT_EQ(Convert(grey_add, 1010, 1041, 1034, 1.0f, false, true), 0);
  for (dds::u32 x = 0; x < 6; ++x)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(grey_plain.Pixel(x, 1)[c], grey_add.Pixel(x, 1)[c]);
}

TEST(NormalMapConvert, AlphaModesAndSwap) {
  struct Case {
    int mode;
    float alpha;  // < 0: the height
  } cases[] = {{1033, 0.25f}, {1034, -1.0f}, {1035, 0.0f}, {1036, 1.0f}, {1040, -1.0f}};
  for (const Case& c : cases) {
    dds::FloatImage p = Ramp(4, 4, 0.9f);
    for (dds::u32 y = 0; y < 4; ++y)
      for (dds::u32 x = 0; x < 4; ++x) p.Pixel(x, y)[3] = 0.25f;  // alpha on entry
    ASSERT_EQ(Convert(p, 1012, 1041, c.mode), 0);
    EXPECT_EQ(p.Pixel(2, 2)[3], c.alpha < 0 ? 0.9f : c.alpha) << c.mode;  // 1012: height = R
  }
  dds::FloatImage plain = Ramp(6, 3, 0.0f), swapped = plain;
  ASSERT_EQ(Convert(plain, 1009, 1040), 0);
  ASSERT_EQ(Convert(swapped, 1009, 1040, 1034, 1.0f, false, false, true), 0);
  EXPECT_EQ(swapped.Pixel(3, 1)[0], plain.Pixel(3, 1)[2]);
  EXPECT_EQ(swapped.Pixel(3, 1)[2], plain.Pixel(3, 1)[0]);
  EXPECT_EQ(swapped.Pixel(3, 1)[1], plain.Pixel(3, 1)[1]);
}

TEST(NormalMapConvert, RenormalisingKeepsZeroAndAlpha) {
  dds::FloatImage p(3, 1);
  const float in[3][4] = {{0, 0, 0, 0.5f}, {0, 3, 4, 0.5f}, {0.6f, 0, 0.8f, 0.5f}};
  for (int i = 0; i < 3; ++i)
    for (int c = 0; c < 4; ++c) p.Pixel(i, 0)[c] = in[i][c];
  ASSERT_EQ(Convert(p, 1017), 0);
  EXPECT_EQ(p.Pixel(0, 0)[2], 0.0f);
  EXPECT_NEAR(p.Pixel(1, 0)[1], 0.6f, 1e-7f);
  EXPECT_NEAR(p.Pixel(1, 0)[2], 0.8f, 1e-7f);
  EXPECT_EQ(p.Pixel(2, 0)[0], 0.6f);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(p.Pixel(i, 0)[3], 0.5f);
}
