// Wu's quantiser, the index packing and the error-diffusion dither on small hand-made levels.
#include "dds/image/Dither.h"
#include "dds/image/Quantize.h"
#include "ddsfile_util.h"

#include <gtest/gtest.h>

using ddsfile_test::Pack;

namespace {

dds::FloatImage FromBytes(const std::vector<uint32_t>& rgba, dds::u32 w, dds::u32 h) {
  dds::FloatImage level(w, h);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = 0; x < w; ++x)
      for (int c = 0; c < 4; ++c)
        level.Pixel(x, y)[c] = ((rgba[y * w + x] >> (8 * c)) & 255) / 255.0f;
  return level;
}

dds::Image ImageOf(int w, int h, uint32_t pixel) {
  dds::Image image;
  image.width = w;
  image.height = h;
  image.pixels.resize(static_cast<dds::u32>(w * h));
  for (dds::u32 i = 0; i < image.pixels.size(); ++i) image.pixels[i] = pixel;
  return image;
}

}  // namespace

TEST(QuantiseWu, SingleColourGivesOneEntryAndZeroIndices) {
  const dds::FloatImage level = ddsfile_test::Constant(5, 3, 0.2f, 0.4f, 0.6f, 1.0f);
  dds::PaletteRecord palette;
  dds::tVector<dds::u8> indices;
  dds::QuantiseLevelWu(level, 256, palette, false, indices);
  EXPECT_EQ(palette.count, 1);
  EXPECT_EQ(palette.colours[0][0], 51);
  EXPECT_EQ(palette.colours[0][1], 102);
  EXPECT_EQ(palette.colours[0][2], 153);
  ASSERT_EQ(indices.size(), 15u);
  for (dds::u8 i : indices) EXPECT_EQ(i, 0);
}

// Colours in distinct grid cells are all separated and keep their exact value; colours that
// differ only in their lowest three bits share one cell and so one (mean) colour.
TEST(QuantiseWu, CellsSeparateColoursAndMergeLowBits) {
  std::vector<uint32_t> px;
  for (int k = 0; k < 12; ++k) px.push_back(Pack(k * 20, 255 - k * 20, (k * 53) % 256 & ~7, 255));
  px.push_back(Pack(8, 16, 24, 255));
  px.push_back(Pack(15, 23, 31, 255));  // same cell as the one before
  dds::PaletteRecord palette;
  dds::tVector<dds::u8> indices;
  dds::QuantiseLevelWu(FromBytes(px, 14, 1), 256, palette, false, indices);
  EXPECT_EQ(palette.count, 13);
  for (int k = 0; k < 12; ++k) {
    const dds::u8* c = palette.colours[indices[static_cast<dds::u32>(k)]];
    EXPECT_EQ(Pack(c[0], c[1], c[2], 255), px[static_cast<size_t>(k)]) << k;
  }
  EXPECT_EQ(indices[12], indices[13]);
  const dds::u8* shared = palette.colours[indices[12]];
  EXPECT_EQ(shared[0], (8 + 15) / 2);
  EXPECT_EQ(shared[1], (16 + 23) / 2);
}

// With more colours than entries, every index stays below the count and the palette still
// tracks the image.
TEST(QuantiseWu, SixteenColoursOfAGradient) {
  const dds::Image image = ddsfile_test::MakeImage(32, 32, false);
  std::vector<uint32_t> px(image.pixels.begin(), image.pixels.end());
  dds::PaletteRecord palette;
  dds::tVector<dds::u8> indices;
  dds::QuantiseLevelWu(FromBytes(px, 32, 32), 16, palette, false, indices);
  EXPECT_EQ(palette.count, 16);
  ASSERT_EQ(indices.size(), 512u);
  double sum = 0;
  for (dds::u32 i = 0; i < 1024; ++i) {
    const dds::u8 nibble = (i & 1) ? indices[i / 2] >> 4 : indices[i / 2] & 15;
    for (int c = 0; c < 3; ++c) {
      const double d = double(palette.colours[nibble][c]) - double((px[i] >> (8 * c)) & 255);
      sum += d * d;
    }
  }
  EXPECT_LT(sum / (1024 * 3), 150.0);  // RMS error about 12 levels
}

TEST(QuantisePacking, SixteenColourRowsStartOnWholeBytes) {
  const uint32_t idx[6] = {1, 2, 3, 4, 5, 6};
  dds::tVector<dds::u8> out;
  dds::PackIndices(idx, 3, 2, 16, out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0], 0x21);
  EXPECT_EQ(out[1], 0x03);
  EXPECT_EQ(out[2], 0x54);
  EXPECT_EQ(out[3], 0x06);
  dds::PackIndices(idx, 1, 1, 16, out);
  EXPECT_EQ(out.size(), 1u);
  dds::PackIndices(idx, 3, 2, 256, out);
  EXPECT_EQ(out.size(), 6u);
}

TEST(Dither, KeptDepthsAndFlatValues) {
  // Eight bits kept: unchanged, whatever the pattern.
  dds::Image image = ddsfile_test::MakeImage(9, 7, true);
  const dds::Image before = image;
  dds::DitherRGBA(image, 8, 8, 8, 8);
  EXPECT_EQ(std::memcmp(image.pixels.data(), before.pixels.data(), 9 * 7 * 4), 0);

  // 128 is a multiple of the 4-bit step: no error to spread.
  image = ImageOf(6, 5, Pack(128, 128, 128, 77));
  dds::DitherRGB(image, 4, 4, 4);
  for (uint32_t p : image.pixels) EXPECT_EQ(p, Pack(128, 128, 128, 77));  // alpha untouched
}

// Error diffusion keeps the mean of a flat area that the kept depth cannot hold, and clears
// the dropped bits.
TEST(Dither, SpreadsErrorAndClearsLowBits) {
  dds::Image image = ImageOf(16, 16, Pack(100, 100, 100, 100));
  dds::DitherRGBA(image, 4, 4, 4, 4);
  double mean = 0;
  int raised = 0;
  for (uint32_t p : image.pixels) {
    raised += (p & 255) > 100;
    EXPECT_EQ(p & 0x0F0F0F0F, 0u);
    mean += p & 255;
  }
  mean /= 256;
  EXPECT_NEAR(mean, 100.0, 8.0);
  EXPECT_GT(raised, 0);  // a pattern of both neighbouring steps, not one flat value
  EXPECT_LT(raised, 256);

  // One column has no right neighbour: plain rounding.
  image = ImageOf(1, 4, Pack(100, 100, 100, 255));
  dds::DitherRGB(image, 4, 4, 4);
  for (uint32_t p : image.pixels) EXPECT_EQ(p, Pack(96, 96, 96, 255));
}
