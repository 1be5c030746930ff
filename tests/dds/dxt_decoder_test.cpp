// The block decoder on hand-made blocks: palettes, the three-colour mode, index bit order and
// whole levels with partial edge blocks or short data.
#include "dds/block/DxtDecoder.h"
#include "dds/Log.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using DdsLogCapture = testsupport::tLogCapture<testsupport::tSinkLog<&dds::SetLogSink>>;

TEST(DxtDecoder, ColourPalettesTruncateAndThreeColourCodeThreeIsTransparent) {
  // c0 = pure red (0xF800) > c1 = pure blue (0x001F): four colours; indices 0,1,2,3 in the
  // lowest bits of the first pixels.
  const uint8_t four[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0};  // 0b11100100: 0,1,2,3
  uint8_t px[64];
  dds::DecodeDXT1Block(four, px);
  const uint8_t want_four[4][4] = {{255, 0, 0, 255}, {0, 0, 255, 255}, {170, 0, 85, 255},
                                   {85, 0, 170, 255}};
  for (int p = 0; p < 4; ++p)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(px[4 * p + c], want_four[p][c]) << p << "," << c;
  EXPECT_EQ(px[4 * 4], 255) << "pixel 4 has index 0";

  // Swapped endpoints: three colours, midpoint truncated, code 3 transparent black.
  const uint8_t three[8] = {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0};
  dds::DecodeDXT1Block(three, px);
  EXPECT_EQ(px[4 * 2 + 0], 127);
  EXPECT_EQ(px[4 * 2 + 2], 127);
  EXPECT_EQ(px[4 * 3 + 3], 0);
  dds::DecodeDXT1Block(three, px, true);
  EXPECT_EQ(px[4 * 3 + 3], 255) << "opaque DXT1";
  // DXT3/DXT5 colour halves ignore the endpoint order.
  dds::DecodeColorBlock(three, px, true, true);
  EXPECT_EQ(px[4 * 2 + 2], 170);
}

TEST(DxtDecoder, AlphaBlocksInBothModesAndExplicitAlpha) {
  uint8_t values[16];
  // Eight levels (a0 > a1), codes 0..7 in the first eight pixels: 3 bits each.
  uint64_t bits = 0;
  for (int p = 0; p < 8; ++p) bits |= static_cast<uint64_t>(p) << (3 * p);
  uint8_t eight[8] = {200, 10};
  for (int k = 0; k < 6; ++k) eight[2 + k] = static_cast<uint8_t>(bits >> (8 * k));
  dds::DecodeAlphaBlock(eight, values);
  const int want8[8] = {200, 10, (6 * 200 + 10 + 3) / 7, (5 * 200 + 2 * 10 + 3) / 7,
                        (4 * 200 + 3 * 10 + 3) / 7, (3 * 200 + 4 * 10 + 3) / 7,
                        (2 * 200 + 5 * 10 + 3) / 7, (200 + 6 * 10 + 3) / 7};
  for (int p = 0; p < 8; ++p) EXPECT_EQ(values[p], want8[p]) << p;
  uint8_t six[8] = {10, 200};
  for (int k = 0; k < 6; ++k) six[2 + k] = eight[2 + k];
  dds::DecodeAlphaBlock(six, values);
  EXPECT_EQ(values[2], (4 * 10 + 200 + 2) / 5);
  EXPECT_EQ(values[6], 0);
  EXPECT_EQ(values[7], 255);

  uint8_t dxt3[16] = {0x0F, 0xF0};  // pixel 0 nibble 15, pixel 1 nibble 0, pixel 2 nibble 15
  dxt3[8] = 0xFF;
  dxt3[9] = 0xFF;
  uint8_t px[64];
  dds::DecodeDXT3Block(dxt3, px);
  EXPECT_EQ(px[3], 255);
  EXPECT_EQ(px[7], 0);
  EXPECT_EQ(px[11], 0);
  EXPECT_EQ(px[15], 255);
}

TEST(DxtDecoder, Ati2StoresGreenFirstThenRed) {
  uint8_t block[16] = {40, 40, 0, 0, 0, 0, 0, 0, 200, 200};
  uint8_t px[64];
  dds::DecodeATI2Block(block, px);
  EXPECT_EQ(px[0], 200);
  EXPECT_EQ(px[1], 40);
  EXPECT_EQ(px[3], 255);
}

TEST(DxtDecoder, LevelsCropPartialBlocksAndRefuseShortData) {
  // A 5×3 DXT1 level: two blocks; the second block's pixels beyond column 4 are cropped.
  std::vector<uint8_t> data(16, 0);
  data[0] = 0x00;
  data[1] = 0xF8;  // block 0: red, every index 0
  data[8] = 0x1F;  // block 1: blue
  data[9] = 0x00;
  data[10] = 0x00;
  data[11] = 0x00;
  std::vector<uint8_t> rgba(5 * 3 * 4, 7);
  ASSERT_TRUE(dds::DecodeLevel(0, data.data(), data.size(), 5, 3, rgba.data()));
  EXPECT_EQ(rgba[(2 * 5 + 3) * 4 + 0], 255) << "pixel (3, 2) is red";
  EXPECT_EQ(rgba[(2 * 5 + 4) * 4 + 2], 255) << "pixel (4, 2) is blue";

  DdsLogCapture log;
  EXPECT_FALSE(dds::DecodeLevel(3, data.data(), data.size(), 5, 3, rgba.data()));
  EXPECT_FALSE(dds::DecodeLevel(7, data.data(), data.size(), 4, 4, rgba.data()));
  EXPECT_FALSE(dds::DecodeLevel(0, data.data(), data.size(), 0, 4, rgba.data()));
  EXPECT_TRUE(log.contains("ERROR: DXT decode: level of 5 x 3 needs 32 bytes, got 16")) << log.text();
  EXPECT_TRUE(log.contains("not a block format"));
}

}  // namespace
