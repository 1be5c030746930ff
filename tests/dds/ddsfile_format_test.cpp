// DDS files as the library writes them, read back by an independent reader: header words,
// every writable level format, sample packing, and formats the library refuses.
#include "dds/CompressImage.h"
#include "dds/file/DdsHeader.h"
#include "dds/file/DdsWriter.h"
#include "dds/TextureCompressOptions.h"
#include "ddsfile_reader.h"
#include "ddsfile_util.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ddsfile_test;

namespace {

DdsFile WriteAndParse(const dds::Image& image, dds::TextureCompressOptions& o) {
  Capture c;
  EXPECT_EQ(Compress(image, o, c), 0) << "format " << o.texture_format;
  DdsFile f;
  std::string why;
  EXPECT_TRUE(ParseDds(c.File(), f, why)) << "format " << o.texture_format << ": " << why;
  return f;
}

// Runs one float level through the pipeline without mips; returns level 0's bytes.
std::vector<uint8_t> PackLevel(const dds::FloatImage& level, dds::TextureCompressOptions& o) {
  dds::tVector<dds::FloatImage> levels(1);
  levels[0] = level;
  Capture c;
  o.user_data = &c;
  o.mip_map_type = 32;
  EXPECT_EQ(dds::CompressPrepared(levels, o, CaptureCallback, nullptr), 0);
  if (c.calls.size() != 3) return {};
  return c.calls[2].bytes;
}

uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

}  // namespace

TEST(DdsFileHeader, EnginePathHeaderWords) {
  struct Case {
    int format;
    uint32_t linear_size;
    const char* fourcc;
  } cases[] = {{0, 32768, "DXT1"}, {3, 65536, "DXT5"}, {7, 262144, ""}};
  for (const Case& k : cases) {
    dds::TextureCompressOptions o;
    dds::SetEnginePathOptions(o, 256, 256, true, k.format != 7, k.format == 3, nullptr);
    const DdsFile f = WriteAndParse(MakeImage(256, 256, true), o);
    EXPECT_EQ(f.flags, 0xA1007u);
    EXPECT_EQ(f.linear_size, k.linear_size);
    EXPECT_EQ(f.mip_count, 9u);
    EXPECT_EQ(f.caps, 0x401008u);
    EXPECT_EQ(f.fourcc_text, k.fourcc);
    EXPECT_EQ(f.levels.size(), 9u);
    if (k.format == 7) {
      EXPECT_EQ(f.pf_flags, 0x41u);
      EXPECT_EQ(f.bit_count, 32u);
      EXPECT_EQ(f.masks[0], 0x00FF0000u);
      EXPECT_EQ(f.masks[3], 0xFF000000u);
    }
  }
}

TEST(DdsFileHeader, SingleLevelWritesNoMipCount) {
  dds::TextureCompressOptions o;
  o.mip_map_type = 32;
  const DdsFile f = WriteAndParse(MakeImage(64, 32, false), o);
  EXPECT_EQ(f.flags, 0x81007u);
  EXPECT_EQ(f.mip_count, 0u);
  EXPECT_EQ(f.caps, 0x1000u);
  EXPECT_EQ(f.levels.size(), 1u);
}

// The header states exactly the levels that follow it.
TEST(DdsFileHeader, MipCountMatchesTheLevelsWritten) {
  struct Case {
    int specified;
    int type;
    uint32_t levels;
  } cases[] = {{20, 30, 7}, {3, 30, 3}, {0, 30, 7}, {0, 33, 7}, {0, 31, 1}, {0, 99, 1}};
  for (const Case& k : cases) {
    dds::TextureCompressOptions o;
    o.texture_format = 7;
    o.specified_mip_maps = k.specified;
    o.mip_map_type = k.type;
    Capture c;
    ASSERT_EQ(Compress(MakeImage(64, 64, false), o, c), 0);
    DdsFile f;
    std::string why;
    ASSERT_TRUE(ParseDds(c.File(), f, why)) << why;
    EXPECT_EQ(f.mip_count, k.levels) << "specified " << k.specified << " type " << k.type;
    EXPECT_EQ(static_cast<uint32_t>(c.LevelCalls()), k.levels);
    if (k.specified == 3) {
      EXPECT_EQ(f.levels[2].size(), 16u * 16u * 4u);
    }
  }
}

// Every format the library writes yields a file the reader accepts, with the level sizes of
// the format's bytes per pixel.
TEST(DdsFileFormats, EveryWritableFormatReadsBack) {
  const int bytes_per_pixel[31] = {0, 0, 0, 0, 2, 2, 2, 4, 3, 2, 0, 2, 2, 1, 0, 4,
                                   2, 4, 16, 8, 1, 0, 0, 2, 0, 4, 4, 4, 4, 0, 2};
  for (int format = 0; format <= 30; ++format) {
    if (dds::IsPaletteFormat(format)) continue;
    dds::TextureCompressOptions o;
    o.texture_format = format;
    const DdsFile f = WriteAndParse(MakeImage(12, 8, true), o);
    ASSERT_EQ(f.levels.size(), 4u) << format;
    EXPECT_EQ(f.mip_count, 4u);
    if (bytes_per_pixel[format] != 0) {
      EXPECT_EQ(f.levels[0].size(), 12u * 8u * bytes_per_pixel[format]) << format;
      EXPECT_EQ(f.levels[3].size(), 1u * bytes_per_pixel[format]) << format;
    }
  }
}

TEST(DdsFileFormats, SmallBlockLevelsTakeOneBlock) {
  dds::TextureCompressOptions o;
  o.texture_format = 0;
  o.mip_map_type = 32;
  DdsFile f = WriteAndParse(MakeImage(1, 1, false), o);
  ASSERT_EQ(f.levels.size(), 1u);
  EXPECT_EQ(f.levels[0].size(), 8u);
  o = dds::TextureCompressOptions();
  o.texture_format = 3;
  f = WriteAndParse(MakeImage(2, 2, true), o);
  ASSERT_EQ(f.levels.size(), 2u);
  EXPECT_EQ(f.levels[0].size(), 16u);
  EXPECT_EQ(f.levels[1].size(), 16u);
}

// Values past the table are refused before any byte is written, so no caller can append a
// buffer the library never filled.
TEST(DdsFileFormats, FormatsWithoutAWriterAreRefusedBeforeWriting) {
  for (int format : {31, 255, -1}) {
    dds::TextureCompressOptions o;
    o.texture_format = format;
    Capture c;
    EXPECT_EQ(Compress(MakeImage(8, 8, false), o, c), dds::kErrUnsupportedFormat) << format;
    EXPECT_TRUE(c.calls.empty()) << format;
  }
}

TEST(DdsFilePacking, ChannelsClampRoundAndKeepTheirOrder) {
  dds::TextureCompressOptions o;
  // 8-bit channels clamp to 0..255; format 7 is B, G, R, A.
  o.texture_format = 7;
  std::vector<uint8_t> b = PackLevel(Constant(1, 1, -0.2f, 1.3f, 0.5f, 0.25f), o);
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(b[0], 128);
  EXPECT_EQ(b[1], 255);
  EXPECT_EQ(b[2], 0);
  EXPECT_EQ(b[3], 64);

  // Signed channels: −1 → −127, 1 → 127.
  o = dds::TextureCompressOptions();
  o.texture_format = 15;
  b = PackLevel(Constant(1, 1, -1.0f, 1.0f, 0.0f, -0.5f), o);
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(int8_t(b[0]), -127);
  EXPECT_EQ(int8_t(b[1]), 127);
  EXPECT_EQ(int8_t(b[2]), 0);
  EXPECT_EQ(int8_t(b[3]), -64);

  // Format 25 writes 0 in the fourth byte; format 8 has no row padding.
  o = dds::TextureCompressOptions();
  o.texture_format = 25;
  b = PackLevel(Constant(1, 1, 1.0f, 0.0f, 0.0f, 1.0f), o);
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(b[2], 255);
  EXPECT_EQ(b[3], 0);
  o = dds::TextureCompressOptions();
  o.texture_format = 8;
  EXPECT_EQ(PackLevel(Constant(3, 3, 0.0f, 0.0f, 1.0f, 1.0f), o).size(), 27u);
}

TEST(DdsFilePacking, OneBitAlphaFollowsTheThreshold) {
  for (float alpha : {0.5f, 0.51f}) {
    dds::TextureCompressOptions o;
    o.texture_format = 5;
    const std::vector<uint8_t> b = PackLevel(Constant(1, 1, 1.0f, 0.0f, 0.0f, alpha), o);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(U16(b, 0) >> 15, alpha > 0.5f ? 1 : 0);
    EXPECT_EQ((U16(b, 0) >> 10) & 31, 31);
  }
}

TEST(DdsFilePacking, LuminanceAndHalfFormats) {
  // 16-bit luminance: the weighted grey value over the whole 16-bit range.
  dds::TextureCompressOptions o;
  o.texture_format = dds::kFormatL16;
  o.b_calc_luminance = 1;
  std::vector<uint8_t> b = PackLevel(Constant(2, 1, 1.0f, 1.0f, 1.0f, 0.0f), o);
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(U16(b, 0), 0xFFFF);
  o = dds::TextureCompressOptions();
  o.texture_format = dds::kFormatL16;
  b = PackLevel(Constant(1, 1, 0.5f, 0.0f, 0.0f, 1.0f), o);
  EXPECT_EQ(U16(b, 0), 32768);  // red alone without b_calc_luminance

  // Half floats truncate; out-of-range values are not clamped for float formats.
  EXPECT_EQ(dds::FloatToHalf(1.0f), 0x3C00);
  EXPECT_EQ(dds::FloatToHalf(-2.0f), 0xC000);
  EXPECT_EQ(dds::FloatToHalf(65536.0f), 0x7C00);
  EXPECT_EQ(dds::FloatToHalf(1e-10f), 0x0000);
  EXPECT_EQ(dds::FloatToHalf(1.0009765625f * 0.999f), 0x3BFF);  // truncated, not rounded up
  EXPECT_EQ(dds::FloatToHalf(5.9604645e-8f), 0x0001);           // smallest subnormal
  EXPECT_EQ(dds::FloatToHalf(std::nanf("")) & 0x7C00, 0x7C00);
  EXPECT_NE(dds::FloatToHalf(std::nanf("")) & 0x03FF, 0);
  o = dds::TextureCompressOptions();
  o.texture_format = 19;
  b = PackLevel(Constant(1, 1, 2.0f, -1.0f, 0.5f, 1.0f), o);
  ASSERT_EQ(b.size(), 8u);
  EXPECT_EQ(U16(b, 0), 0x4000);
  EXPECT_EQ(U16(b, 2), 0xBC00);
  EXPECT_EQ(U16(b, 4), 0x3800);
}
