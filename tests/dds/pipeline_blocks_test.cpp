// The per-level block loop: small and partial levels, transparent DXT1 blocks, equal endpoints,
// blocks that must not depend on their neighbours, and the gathering margin.
#include "dds/block/BlockWriter.h"
#include "dds/file/DdsHeader.h"
#include "dds/block/DxtDecoder.h"
#include "dds/TextureCompressOptions.h"
#include "ddsfile_util.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ddsfile_test;

namespace {

std::vector<uint8_t> Blocks(const dds::FloatImage& level, int format,
                            const dds::TextureCompressOptions& o = dds::TextureCompressOptions()) {
  std::vector<uint8_t> out(static_cast<size_t>(dds::GetLevelSize(
      format, static_cast<int>(level.width), static_cast<int>(level.height), 1)));
  EXPECT_EQ(dds::CompressLevelBlocks(o, level, out.data(), format), 0);
  return out;
}

uint32_t IndexWord(const uint8_t* colour_block) {
  return uint32_t{colour_block[4]} | uint32_t{colour_block[5]} << 8 |
         uint32_t{colour_block[6]} << 16 | uint32_t{colour_block[7]} << 24;
}
int Endpoint(const uint8_t* colour_block, int k) { return colour_block[2 * k] | colour_block[2 * k + 1] << 8; }

dds::FloatImage Noise(dds::u32 w, dds::u32 h, uint32_t seed) {
  dds::FloatImage image(w, h);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = 0; x < w; ++x)
      for (int c = 0; c < 4; ++c) {
        seed = seed * 1664525u + 1013904223u;
        // Smooth base with a little noise, so the blocks are not trivial.
        image.Pixel(x, y)[c] = 0.4f * (float(x) / w) + 0.5f * (float(y) / h) + 0.06f * float(seed >> 24) / 255.0f;
      }
  return image;
}

}  // namespace

TEST(DdsBlockWriter, OnePixelLevelRepeatsThatPixelOverTheBlock) {
  const std::vector<uint8_t> b = Blocks(Constant(1, 1, 0.8f, 0.3f, 0.1f, 1.0f), 0);
  ASSERT_EQ(b.size(), 8u);
  const uint32_t word = IndexWord(b.data());
  for (int p = 1; p < 16; ++p) EXPECT_EQ((word >> (2 * p)) & 3, word & 3) << p;
}

// A level at least one block wide but not a multiple of 4: pixels beyond it get code 3, and the
// pixels inside decode close to the source.
TEST(DdsBlockWriter, PartialEdgeBlocksDecodeInsideAndMarkOutside) {
  const dds::FloatImage level = Noise(6, 6, 7);
  const std::vector<uint8_t> b = Blocks(level, 0);
  ASSERT_EQ(b.size(), 4u * 8u);
  const uint32_t right = IndexWord(&b[8]);  // block x 4..7, y 0..3
  for (int y = 0; y < 4; ++y)
    for (int x = 2; x < 4; ++x) EXPECT_EQ((right >> (2 * (4 * y + x))) & 3, 3u);

  std::vector<uint8_t> decoded(6 * 6 * 4), source(6 * 6 * 4);
  ASSERT_TRUE(dds::DecodeLevel(0, b.data(), b.size(), 6, 6, decoded.data()));
  for (dds::u32 y = 0; y < 6; ++y)
    for (dds::u32 x = 0; x < 6; ++x)
      for (int c = 0; c < 4; ++c)
        source[4 * (y * 6 + x) + c] = static_cast<uint8_t>(level.Pixel(x, y)[c] * 255.0f + 0.5f);
  EXPECT_GT(Psnr(decoded.data(), source.data(), 36, 0, 2), 30.0);
}

TEST(DdsBlockWriter, TransparentDxt1BlockHasNoColours) {
  const std::vector<uint8_t> b = Blocks(Constant(4, 4, 0.9f, 0.9f, 0.9f, 0.5f), 1);
  EXPECT_EQ(Endpoint(b.data(), 0), 0);
  EXPECT_EQ(Endpoint(b.data(), 1), 1);
  EXPECT_EQ(IndexWord(b.data()), 0xFFFFFFFFu);
  uint8_t rgba[64];
  dds::DecodeDXT1Block(b.data(), rgba);
  for (int p = 0; p < 16; ++p) EXPECT_EQ(rgba[4 * p + 3], 0);
}

// One colour that 5:6:5 holds exactly: the fit lands on equal endpoints, which the four-colour
// formats must still write with c0 > c1 so the block decodes to that colour.
TEST(DdsBlockWriter, EqualEndpointsStillDecodeToTheColour) {
  for (int format : {0, 2, 3}) {
    const std::vector<uint8_t> b = Blocks(Constant(4, 4, 1.0f, 0.0f, 0.0f, 1.0f), format);
    const uint8_t* colour = b.data() + (format == 0 ? 0 : 8);
    EXPECT_GT(Endpoint(colour, 0), Endpoint(colour, 1)) << format;
    uint8_t rgba[64];
    if (format == 0) dds::DecodeDXT1Block(b.data(), rgba, true);
    if (format == 2) dds::DecodeDXT3Block(b.data(), rgba);
    if (format == 3) dds::DecodeDXT5Block(b.data(), rgba);
    for (int p = 0; p < 16; ++p) {
      EXPECT_EQ(rgba[4 * p], 255) << format;
      EXPECT_EQ(rgba[4 * p + 1], 0) << format;
      EXPECT_EQ(rgba[4 * p + 3], 255) << format;
    }
  }
}

// A block with transparent pixels must not push the blocks after it into the three-colour mode:
// every block encodes as it would alone.
TEST(DdsBlockWriter, BlocksDoNotInheritTheirNeighboursMode) {
  dds::FloatImage pair = Noise(8, 4, 3);
  dds::FloatImage alone(4, 4);
  for (dds::u32 y = 0; y < 4; ++y)
    for (dds::u32 x = 0; x < 8; ++x) {
      float* p = pair.Pixel(x, y);
      p[3] = x < 4 && y == 0 ? 0.0f : 1.0f;
      if (x >= 4)
        for (int c = 0; c < 4; ++c) alone.Pixel(x - 4, y)[c] = p[c];
    }
  const std::vector<uint8_t> both = Blocks(pair, 1);
  const std::vector<uint8_t> single = Blocks(alone, 1);
  EXPECT_EQ(std::vector<uint8_t>(both.begin() + 8, both.end()), single);
}

TEST(DdsBlockWriter, GatheringMarginKeepsTheLevelIntact) {
  const dds::FloatImage level = Noise(16, 16, 11);
  dds::TextureCompressOptions o;
  o.b_error_diffusion = 1;
  std::vector<uint8_t> source(16 * 16 * 4), decoded(16 * 16 * 4);
  for (dds::u32 y = 0; y < 16; ++y)
    for (dds::u32 x = 0; x < 16; ++x)
      for (int c = 0; c < 4; ++c)
        source[4 * (y * 16 + x) + c] = static_cast<uint8_t>(level.Pixel(x, y)[c] * 255.0f + 0.5f);
  // A wider margin fits each block to more of its surroundings, so its own pixels lose a little.
  const struct {
    int margin;
    double colour_db, alpha_db;
  } cases[] = {{0, 31.0, 42.0}, {1, 30.0, 38.0}, {dds::kMaxBlockMargin, 23.0, 30.0}};
  for (const auto& k : cases) {
    const int margin = k.margin;
    o.error_diffusion_width = margin;
    const std::vector<uint8_t> b = Blocks(level, 3, o);
    ASSERT_TRUE(dds::DecodeLevel(3, b.data(), b.size(), 16, 16, decoded.data()));
    EXPECT_GT(Psnr(decoded.data(), source.data(), 256, 0, 2), k.colour_db) << margin;
    EXPECT_GT(Psnr(decoded.data(), source.data(), 256, 3, 3), k.alpha_db) << margin;
  }
  o.error_diffusion_width = dds::kMaxBlockMargin + 1;
  std::vector<uint8_t> out(16 * 16);
  EXPECT_EQ(dds::CompressLevelBlocks(o, level, out.data(), 3), dds::kErrBadArg);
}
