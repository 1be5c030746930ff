// Interpolated alpha blocks end to end: level fit, block fit, packing and decoding.
#include "dds/block/AlphaBlock.h"
#include "dds/block/BlockEncoder.h"
#include "dds/block/DxtDecoder.h"
#include "dds/TextureCompressOptions.h"
#include "dxt_corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using dxt_corpus::Rng;

dds::AlphaBlockState Alpha(const std::vector<float>& values, int quality = 71) {
  dds::AlphaBlockState s;
  s.count = static_cast<int>(values.size());
  s.quality = quality;
  std::copy(values.begin(), values.end(), s.values);
  return s;
}

// Squared error of the decoded block against the values, in 0..255 units.
double DecodedError(const dds::AlphaBlockState& s, uint8_t packed[8]) {
  int map[16];
  for (int p = 0; p < 16; ++p) map[p] = p < s.count ? p : -1;
  dds::PackAlphaBlock(s, map, packed);
  uint8_t decoded[16];
  dds::DecodeAlphaBlock(packed, decoded);
  double e = 0;
  for (int p = 0; p < s.count; ++p) {
    const double d = decoded[p] - s.values[p] * 255.0;
    e += d * d;
  }
  return e;
}

// The least error over every endpoint pair in both modes; the six-level codes for 0 and 255
// serve exact 0.0 and 1.0 only, as the encoder uses them.
double BruteForce(const dds::AlphaBlockState& s) {
  double best = 1e30;
  double target[16];
  for (int p = 0; p < s.count; ++p) target[p] = s.values[p] * 255.0;
  for (int a0 = 0; a0 < 256; ++a0)
    for (int a1 = 0; a1 < 256; ++a1) {
      uint8_t block[8] = {uint8_t(a0), uint8_t(a1), 0, 0, 0, 0, 0, 0};
      int palette[8];
      for (int k = 0; k < 8; ++k) {
        // Decode code k of this endpoint pair through the decoder: one pixel, code k.
        const uint64_t bits = static_cast<uint64_t>(k);
        for (int b = 0; b < 6; ++b) block[2 + b] = static_cast<uint8_t>(bits >> (8 * b));
        uint8_t out[16];
        dds::DecodeAlphaBlock(block, out);
        palette[k] = out[0];
      }
      // Six-level blocks give the codes for 0 and 255 to exact 0.0 and 1.0 only.
      const bool six = a0 <= a1;
      double e = 0;
      for (int p = 0; p < s.count && e < best; ++p) {
        double m = 1e30;
        for (int k = 0; k < 8; ++k) {
          if (six && k == 6 && s.values[p] != 0.0f) continue;
          if (six && k == 7 && s.values[p] != 1.0f) continue;
          m = std::min(m, (palette[k] - target[p]) * (palette[k] - target[p]));
        }
        e += m;
      }
      best = std::min(best, e);
    }
  return best;
}

TEST(DxtAlpha, LevelFitSampleRows) {
  const double half[16] = {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5,
                           0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
  int ends[2] = {-1, -1}, idx[16];
  EXPECT_DOUBLE_EQ(dds::FitAlphaLevels(8, 16, half, ends, idx), 16 * 0.25);
  EXPECT_EQ(ends[0], 128);
  EXPECT_EQ(ends[1], 128);
  EXPECT_EQ(idx[7], 0);
  ends[0] = ends[1] = -7;
  EXPECT_EQ(dds::FitAlphaLevels(6, 0, half, ends, idx), 0.0);
  EXPECT_EQ(ends[0], -7);  // nothing written for no values

  // Values clustered near both ends: the fitted ends stay inside 0..255 before rounding.
  const double split[8] = {0.0, 0.01, 0.02, 0.99, 1.0, 0.98, 0.0, 1.0};
  dds::FitAlphaLevels(8, 8, split, ends, idx);
  EXPECT_LE(std::max(ends[0], ends[1]), 255);
  EXPECT_GE(std::min(ends[0], ends[1]), 0);
}

TEST(DxtAlpha, FastFitSampleRows) {
  dds::AlphaBlockState s = Alpha({1.0f, 0.0f, 0.5f});
  dds::FastFitAlphaBlock(s);
  EXPECT_EQ(s.alpha0, 255);
  EXPECT_EQ(s.alpha1, 0);
  EXPECT_EQ(s.indices[0], 0);
  EXPECT_EQ(s.indices[1], 1);
  EXPECT_EQ(s.indices[2], 5);
}

TEST(DxtAlpha, SpecialCodesCoverExactZeroAndOneOnly) {
  // Exact 0 and 1 with values between: the six-level mode with both codes wins.
  dds::AlphaBlockState s =
      Alpha({0.0f, 1.0f, 0.4f, 0.45f, 0.5f, 0.55f, 0.6f, 0.0f, 1.0f, 0.42f, 0.0f, 1.0f});
  dds::FitAlphaBlock({}, s);
  EXPECT_EQ(s.level_count, 6);
  EXPECT_EQ(s.indices[0], 6);
  EXPECT_EQ(s.indices[1], 7);
  EXPECT_LT(s.indices[2], 6);
  uint8_t packed[8];
  EXPECT_LT(DecodedError(s, packed), 12 * 4.0);
  EXPECT_LE(packed[0], packed[1]) << "six levels are stored a0 <= a1";

  // 0.999 is not coded specially; only 0 and 1 together give every candidate a go, and an
  // all-0/1 block decodes exactly.
  s = Alpha({0.999f, 0.2f, 0.3f});
  dds::FitAlphaBlock({}, s);
  for (int i = 0; i < 3; ++i) EXPECT_LT(s.indices[i], 6);
  s = Alpha({0.0f, 1.0f, 1.0f, 0.0f});
  dds::FitAlphaBlock({}, s);
  EXPECT_EQ(DecodedError(s, packed), 0.0);
  // One value between 0 and 1 gives equal ends; the special codes must survive the packing.
  s = Alpha({0.0f, 0.5f, 1.0f, 0.5f});
  dds::FitAlphaBlock({}, s);
  EXPECT_LE(DecodedError(s, packed), 2 * 0.25 + 1e-9);
}

TEST(DxtAlpha, BlockFitIsWithinOnePercentOfTheBruteForceOptimum) {
  Rng rng(17);
  dxt_corpus::Image masks = dxt_corpus::Make("gradient", 32, 32, 4);
  dxt_corpus::AddAlpha(masks, "antialiased", 4);
  double sum_fit = 0, sum_best = 0, sum_fast = 0;
  for (int k = 0; k < 48; ++k) {
    std::vector<float> v(16);
    const int shape = k % 4;
    const float lo = static_cast<float>(rng.Unit()), hi = static_cast<float>(rng.Unit());
    for (int p = 0; p < 16; ++p) {
      float a = 0.0f;
      switch (shape) {
        case 0:  // noise
          a = static_cast<float>(rng.Int(256)) / 255.0f;
          break;
        case 1:  // soft ramp
          a = (lo + (hi - lo) * p / 15.0f);
          a = std::round(a * 255.0f) / 255.0f;
          break;
        case 2: {  // anti-aliased mask edges from the corpus
          const int b = k / 4;
          a = masks.At((b % 8) * 4 + p % 4, (b / 8) * 4 + p / 4)[3] / 255.0f;
          break;
        }
        default:  // mostly 0/1 with a few between
          a = p % 5 == 0 ? static_cast<float>(rng.Int(256)) / 255.0f : (rng.Int(2) ? 1.0f : 0.0f);
          break;
      }
      v[static_cast<size_t>(p)] = a;
    }
    dds::AlphaBlockState s = Alpha(v);
    dds::FitAlphaBlock({}, s);
    uint8_t packed[8];
    const double fit = DecodedError(s, packed);
    if (s.level_count == 8 && s.alpha0 != s.alpha1) {
      EXPECT_GT(packed[0], packed[1]) << "eight levels are stored a0 > a1";
    }
    const double best = BruteForce(s);
    EXPECT_LE(fit, best * 1.25 + 16.0) << "block " << k;

    dds::AlphaBlockState fast = Alpha(v, 68);
    dds::FitAlphaBlock({}, fast);
    sum_fast += DecodedError(fast, packed);
    sum_fit += fit;
    sum_best += best;
  }
  EXPECT_LE(sum_fit, sum_best * 1.01);
  EXPECT_LT(sum_fit, sum_fast);
}

TEST(DxtAlpha, AlphaChannelsOfDxt5AndAti2RoundTrip) {
  dxt_corpus::Image im = dxt_corpus::Make("noise", 16, 16, 2);
  dxt_corpus::AddAlpha(im, "mask", 2);
  dds::TextureCompressOptions o;
  const dds::CompressorContext context{&o};
  for (int b = 0; b < 16; ++b) {
    uint8_t rgba[64], block[16], out[64];
    dxt_corpus::Block(im, b % 4, b / 4, rgba);
    dds::EncodeBlockRGBA(context, rgba, 3, block);
    dds::DecodeDXT5Block(block, out);
    for (int p = 0; p < 16; ++p) EXPECT_EQ(out[4 * p + 3], rgba[4 * p + 3]) << "mask alpha exact";
    dds::EncodeBlockRGBA(context, rgba, 29, block);
    dds::DecodeATI2Block(block, out);
    for (int p = 0; p < 16; ++p) {
      EXPECT_NEAR(out[4 * p], rgba[4 * p], 4);
      EXPECT_NEAR(out[4 * p + 1], rgba[4 * p + 1], 4);
    }
  }
}

}  // namespace

namespace {

TEST(DxtAlpha, ExplicitAlphaAndTheGreenColourVariant) {
  dxt_corpus::Image im = dxt_corpus::Make("photo", 8, 8, 6);
  dxt_corpus::AddAlpha(im, "ramp", 6);
  dds::TextureCompressOptions o;
  const dds::CompressorContext context{&o};
  for (int b = 0; b < 4; ++b) {
    uint8_t rgba[64], block[16], out[64];
    dxt_corpus::Block(im, b % 2, b / 2, rgba);
    // DXT3: four bits of alpha, rounded to the nearest of 16 steps.
    ASSERT_TRUE(dds::EncodeBlockRGBA(context, rgba, 2, block));
    dds::DecodeDXT3Block(block, out);
    for (int p = 0; p < 16; ++p) EXPECT_NEAR(out[4 * p + 3], rgba[4 * p + 3], 9) << p;
    // Format 24 keeps green as the (grey) colour and red as the alpha.
    ASSERT_TRUE(dds::EncodeBlockRGBA(context, rgba, 24, block));
    dds::DecodeDXT5Block(block, out);
    for (int p = 0; p < 16; ++p) {
      EXPECT_NEAR(out[4 * p + 1], rgba[4 * p + 1], 12) << p;
      EXPECT_NEAR(out[4 * p + 3], rgba[4 * p], 6) << p;
    }
  }
  uint8_t rgba[64] = {}, block[16] = {};
  EXPECT_FALSE(dds::EncodeBlockRGBA(context, rgba, 7, block));
}

}  // namespace
