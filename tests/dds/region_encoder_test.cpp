// The shared-endpoint region encoder: a whole small level with one endpoint pair, checked by
// decoding the blocks it writes.
#include "dds/block/DxtDecoder.h"
#include "dds/block/RegionEncoder.h"
#include "ddsfile_util.h"

#include <gtest/gtest.h>

using namespace ddsfile_test;

namespace {

dds::u16 Word(const uint8_t* p) { return static_cast<dds::u16>(p[0] | p[1] << 8); }

// A two-tone level with a soft alpha ramp: one endpoint pair can carry it well.
dds::FloatImage TwoTone(dds::u32 w, dds::u32 h) {
  dds::FloatImage level(w, h);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = 0; x < w; ++x) {
      float* p = level.Pixel(x, y);
      const float t = float(x + y) / float(w + h);
      p[0] = 0.1f + 0.8f * t;
      p[1] = 0.2f + 0.6f * t;
      p[2] = 0.9f - 0.8f * t;
      p[3] = float(y) / float(h);
    }
  return level;
}

std::vector<uint8_t> ToBytes(const dds::FloatImage& level) {
  std::vector<uint8_t> out;
  for (dds::u32 y = 0; y < level.height; ++y)
    for (dds::u32 x = 0; x < level.width; ++x)
      for (int c = 0; c < 4; ++c) out.push_back(static_cast<uint8_t>(level.Pixel(x, y)[c] * 255 + 0.5f));
  return out;
}

}  // namespace

// 16×16 levels in every format the encoder writes decode close to the source, and all their
// blocks share one colour endpoint pair (and one alpha pair for DXT5).
TEST(RegionEncoder, SixteenSquareWritesSharedEndpointBlocks) {
  const dds::FloatImage level = TwoTone(16, 16);
  const std::vector<uint8_t> source = ToBytes(level);
  for (int format : {0, 1, 2, 3}) {
    dds::TextureCompressOptions o;
    const int block_bytes = dds::BlockBytes(format);
    std::vector<uint8_t> out(static_cast<size_t>(16 * block_bytes), 0xCD);
    ASSERT_EQ(dds::CompressLevelShared(o, level, out.data(), format), dds::kOk) << format;
    std::vector<uint8_t> decoded(16 * 16 * 4);
    ASSERT_TRUE(dds::DecodeLevel(format, out.data(), out.size(), 16, 16, decoded.data()));
    const int colour_at = block_bytes - 8;
    for (int b = 1; b < 16; ++b) {
      EXPECT_EQ(std::memcmp(&out[static_cast<size_t>(b * block_bytes + colour_at)], &out[static_cast<size_t>(colour_at)], 4), 0)
          << format << " block " << b;
      if (format == 3) {
        EXPECT_EQ(Word(&out[static_cast<size_t>(b * 16)]), Word(&out[0]));
      }
    }
    if (format == 1) {
      // One-bit alpha at the 0.5 threshold: the upper half of the rows is cut out.
      for (int p = 0; p < 256; ++p)
        ASSERT_EQ(decoded[static_cast<size_t>(p * 4 + 3)], p / 16 > 8 ? 255 : 0) << p;
      continue;
    }
    // Four colours on one line across a whole gradient: about 27 dB.
    EXPECT_GT(Psnr(source.data(), decoded.data(), 256, 0, 2), 25.0) << format;
    if (format == 2 || format == 3) {
      EXPECT_GT(Psnr(source.data(), decoded.data(), 256, 3, 3), 28.0);
    }
  }
}

TEST(RegionEncoder, LevelsAbove512PixelsAreRefused) {
  const dds::FloatImage level = TwoTone(32, 32);
  dds::TextureCompressOptions o;
  std::vector<uint8_t> out(64 * 8, 0xCD);
  EXPECT_EQ(dds::CompressLevelShared(o, level, out.data(), 0), dds::kErrImageExceedsInternalSize);
  for (uint8_t v : out) ASSERT_EQ(v, 0xCD);  // nothing written

  // Through the pipeline: refused before the header.
  dds::TextureCompressOptions p;
  p.surface_flag_b = 1;
  p.texture_format = 0;
  Capture c;
  EXPECT_EQ(Compress(MakeImage(32, 32, false), p, c), dds::kErrImageExceedsInternalSize);
  EXPECT_TRUE(c.calls.empty());
}

// A flat level fits two equal endpoints: DXT1 is written with endpoint 0 one above endpoint 1
// and every index 1, so it decodes to the flat colour.
TEST(RegionEncoder, EqualEndpointsUseEndpointOneForEveryPixel) {
  // 5:6:5 codes (16, 32, 16) widen to these bytes exactly.
  const dds::FloatImage level = Constant(8, 8, 132 / 255.0f, 130 / 255.0f, 132 / 255.0f, 1.0f);
  dds::TextureCompressOptions o;
  std::vector<uint8_t> out(4 * 8);
  ASSERT_EQ(dds::CompressLevelShared(o, level, out.data(), 0), dds::kOk);
  for (int b = 0; b < 4; ++b) {
    const uint8_t* block = &out[static_cast<size_t>(b * 8)];
    EXPECT_EQ(Word(block), Word(block + 2) + 1);
    EXPECT_EQ(block[4] | block[5] << 8 | block[6] << 16 | dds::u32{block[7]} << 24, 0x55555555u);
  }
}

// DXT1 with alpha: a transparent pixel takes code 3 of a three-colour block; the rest of the
// level keeps its colours.
TEST(RegionEncoder, TransparentPixelsTakeCodeThree) {
  dds::FloatImage level = TwoTone(8, 4);
  level.Pixel(5, 2)[3] = 0.0f;
  for (dds::u32 y = 0; y < 4; ++y)
    for (dds::u32 x = 0; x < 8; ++x)
      if (!(x == 5 && y == 2)) level.Pixel(x, y)[3] = 1.0f;
  dds::TextureCompressOptions o;
  std::vector<uint8_t> out(2 * 8);
  ASSERT_EQ(dds::CompressLevelShared(o, level, out.data(), 1), dds::kOk);
  const uint8_t* block = &out[8];
  EXPECT_LE(Word(block), Word(block + 2));  // three-colour order
  const dds::u32 bits = block[4] | block[5] << 8 | block[6] << 16 | dds::u32{block[7]} << 24;
  EXPECT_EQ((bits >> (2 * (2 * 4 + 1))) & 3, 3u);
  std::vector<uint8_t> decoded(8 * 4 * 4);
  ASSERT_TRUE(dds::DecodeLevel(1, out.data(), out.size(), 8, 4, decoded.data()));
  for (int p = 0; p < 32; ++p) EXPECT_EQ(decoded[static_cast<size_t>(p * 4 + 3)], p == 2 * 8 + 5 ? 0 : 255) << p;
}

// The whole road: a 16×16 image with mip levels through CompressImage, every level valid.
TEST(RegionEncoder, PipelineWritesEveryLevel) {
  dds::TextureCompressOptions o;
  o.surface_flag_b = 1;
  o.texture_format = 3;
  Capture c;
  ASSERT_EQ(Compress(MakeImage(16, 16, true), o, c), dds::kOk);
  DdsFile f;
  std::string why;
  ASSERT_TRUE(ParseDds(c.File(), f, why)) << why;
  EXPECT_EQ(f.levels.size(), 5u);
}
