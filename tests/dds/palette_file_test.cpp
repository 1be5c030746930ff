// Palette DDS files end to end: written through CompressImage, read back with a palette decoder
// of the test's own (palette right after the descriptor, then one index level per mip level).
#include "dds/file/PaletteWriter.h"
#include "ddsfile_util.h"

#include <gtest/gtest.h>

#include <set>

using namespace ddsfile_test;

namespace {

struct PaletteFile {
  uint32_t width = 0, height = 0, mip_count = 0, pf_flags = 0, bit_count = 0;
  std::vector<uint8_t> palette;               // entries of R, G, B, A
  std::vector<std::vector<uint8_t>> levels;   // decoded RGBA of each level
};

// Reads the layout a palette file must have: 1024 or 64 palette bytes after the descriptor, and
// each level's rows starting on a new byte (4-bit: low nibble first).
bool ReadPaletteFile(const std::vector<uint8_t>& data, PaletteFile& f, std::string& why) {
  if (data.size() < 128 || std::memcmp(data.data(), "DDS ", 4) != 0) return why = "no header", false;
  const uint8_t* d = data.data() + 4;
  f.height = Read32(d + 8);
  f.width = Read32(d + 12);
  f.mip_count = (Read32(d + 4) & 0x20000) ? Read32(d + 24) : 1;
  f.pf_flags = Read32(d + 76);
  f.bit_count = Read32(d + 84);
  const bool four = f.pf_flags == 0x8;
  if (!four && f.pf_flags != 0x20) return why = "not a palette format", false;
  if (f.bit_count != (four ? 4u : 8u)) return why = "bit count", false;
  // The linear size counts level 0's indices, not the palette.
  if (Read32(d + 16) != (four ? (f.width + 1) / 2 : f.width) * f.height) return why = "linear size", false;
  const size_t entries = four ? 16 : 256;
  size_t pos = 128;
  if (data.size() < pos + entries * 4) return why = "palette truncated", false;
  f.palette.assign(data.begin() + 128, data.begin() + static_cast<long>(128 + entries * 4));
  pos += entries * 4;
  uint32_t w = f.width, h = f.height;
  for (uint32_t level = 0; level < f.mip_count; ++level) {
    const size_t row = four ? (w + 1) / 2 : w;
    if (data.size() < pos + row * h) return why = "level truncated", false;
    std::vector<uint8_t> rgba(size_t{w} * h * 4);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t byte = data[pos + y * row + (four ? x / 2 : x)];
        const uint8_t index = four ? ((x & 1) ? byte >> 4 : byte & 15) : byte;
        std::memcpy(&rgba[(size_t{y} * w + x) * 4], &f.palette[size_t{index} * 4], 4);
      }
    f.levels.push_back(std::move(rgba));
    pos += row * h;
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  if (pos != data.size()) return why = "bytes after the last level", false;
  return true;
}

PaletteFile WriteAndRead(const dds::Image& image, dds::TextureCompressOptions& o, Capture& c) {
  PaletteFile f;
  EXPECT_EQ(Compress(image, o, c), dds::kOk);
  std::string why;
  EXPECT_TRUE(ReadPaletteFile(c.File(), f, why)) << why;
  return f;
}

const uint8_t* Bytes(const dds::Image& image) {
  return reinterpret_cast<const uint8_t*>(image.pixels.data());
}

}  // namespace

// Quantised 8- and 4-bit palettes of a smooth photo-like image stay close to it, with and
// without dithering, and every level is one callback call (level 0 carrying the palette).
TEST(PaletteFile, QuantisedLevelsDecodeCloseToTheImage) {
  struct Case {
    int format;
    bool dither;
    double min_psnr;  // level 0: RGB, or RGBA for the formats that keep alpha
  } cases[] = {
      {10, false, 36.0}, {10, true, 31.0}, {14, false, 25.0}, {14, true, 24.0},
      {21, false, 33.0}, {22, false, 22.0},
  };
  for (const Case& k : cases) {
    const bool alpha = k.format == 21 || k.format == 22;
    const dds::Image image = MakeImage(64, 64, alpha);
    dds::TextureCompressOptions o;
    o.texture_format = k.format;
    o.b_palette = 1;
    o.b_dither_mip0 = k.dither;
    Capture c;
    const PaletteFile f = WriteAndRead(image, o, c);
    ASSERT_EQ(f.levels.size(), 7u) << k.format;
    EXPECT_EQ(c.LevelCalls(), 7) << k.format;
    const size_t entries = dds::PaletteColours(k.format);
    EXPECT_EQ(c.calls[2].bytes.size(), entries * 4 + (k.format == 10 || k.format == 21 ? 4096 : 2048));
    const double psnr = Psnr(Bytes(image), f.levels[0].data(), 64 * 64, 0, alpha ? 3 : 2);
    EXPECT_GT(psnr, k.min_psnr) << k.format << " dither " << k.dither;
    // The palette handed back to the caller is the one in the file.
    for (size_t e = 0; e < entries; ++e)
      for (int ch = 0; ch < 4; ++ch) ASSERT_EQ(o.palette[e][ch], f.palette[e * 4 + ch]) << e;
  }
}

// An image of no more colours than the palette holds comes back exactly, alpha included for
// the formats that keep it; its lower levels use the same palette.
TEST(PaletteFile, FewColoursRoundTripExactly) {
  for (int format : {10, 21, 14, 22}) {
    const int colours = dds::PaletteColours(format);
    dds::Image image;
    image.width = image.height = 32;
    image.pixels.resize(32 * 32);
    for (int i = 0; i < 32 * 32; ++i) {
      const int k = (i * 7 + i / 32) % colours;  // every colour used, neighbours differ
      image.pixels[static_cast<dds::u32>(i)] =
          Pack(k * 37 % 256, k * 91 % 256, 255 - k, format == 21 || format == 22 ? k * 13 % 256 : 255);
    }
    dds::TextureCompressOptions o;
    o.texture_format = format;
    o.b_palette = 1;
    Capture c;
    const PaletteFile f = WriteAndRead(image, o, c);
    ASSERT_FALSE(f.levels.empty());
    EXPECT_EQ(std::memcmp(f.levels[0].data(), Bytes(image), 32 * 32 * 4), 0) << format;
    std::set<uint32_t> used;
    for (const auto& level : f.levels)
      for (size_t p = 0; p < level.size() / 4; ++p) used.insert(Read32(&level[p * 4]));
    EXPECT_LE(used.size(), static_cast<size_t>(colours));
  }
}

// Without quantising, the caller's palette is used: the first `palette_size` entries only.
TEST(PaletteFile, CallerPaletteMapsToItsNearestEntries) {
  dds::TextureCompressOptions o;
  o.texture_format = 10;
  o.palette_size = 2;
  o.palette[0][0] = o.palette[0][1] = o.palette[0][2] = 10;
  o.palette[1][0] = o.palette[1][1] = o.palette[1][2] = 240;
  o.palette[2][0] = o.palette[2][1] = o.palette[2][2] = 128;  // past palette_size: unused
  dds::Image image;
  image.width = 4;
  image.height = 4;
  image.pixels.resize(16);
  for (int i = 0; i < 16; ++i) image.pixels[static_cast<dds::u32>(i)] = Pack(i * 16, i * 16, i * 16, 255);
  o.mip_map_type = 32;
  Capture c;
  const PaletteFile f = WriteAndRead(image, o, c);
  ASSERT_EQ(f.levels.size(), 1u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(f.levels[0][i * 4], i * 16 < 125 ? 10 : 240) << i;
  EXPECT_EQ(o.palette[0][3], 255);  // opaque formats store alpha 255

  // No palette given (the defaults): the level is quantised, not mapped onto black.
  dds::TextureCompressOptions d;
  d.texture_format = 10;
  d.mip_map_type = 32;
  Capture c2;
  const PaletteFile g = WriteAndRead(image, d, c2);
  ASSERT_EQ(g.levels.size(), 1u);
  EXPECT_EQ(std::memcmp(g.levels[0].data(), Bytes(image), 16 * 4), 0);
}

// Odd widths in the 4-bit formats: rows start on whole bytes and the level sizes agree with
// what is streamed, down to 1×1.
TEST(PaletteFile, OddWidthsPackWholeRows) {
  dds::TextureCompressOptions o;
  o.texture_format = 14;
  o.b_palette = 1;
  o.rescale_type = 0;
  Capture c;
  const dds::Image image = MakeImage(12, 6, false);  // 12×6, 6×3, 3×1, 1×1
  const PaletteFile f = WriteAndRead(image, o, c);
  ASSERT_EQ(f.levels.size(), 4u);
  EXPECT_EQ(c.calls[2].bytes.size(), 64u + 36u);
  EXPECT_EQ(c.calls[3].bytes.size(), 9u);
  EXPECT_EQ(c.calls[4].bytes.size(), 2u);
  EXPECT_EQ(c.calls[4].bytes[1] >> 4, 0);  // a 3-wide row ends in a zero high nibble
  EXPECT_EQ(c.calls[5].bytes.size(), 1u);
}
