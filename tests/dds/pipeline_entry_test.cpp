// The compression entry on the engine's road: the callback stream, the size checks, callback
// failures, decoded quality per block format, and every option error refused before writing.
#include "dds/CompressImage.h"
#include "dds/block/DxtDecoder.h"
#include "dds/LevelPipeline.h"
#include "dds/PipelineHooks.h"
#include "dds/TextureCompressOptions.h"
#include "ddsfile_reader.h"
#include "ddsfile_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

using namespace ddsfile_test;

TEST(DdsEntry, EnginePathStreamsMagicDescriptorAndNineLevels) {
  dds::TextureCompressOptions o;
  Capture c;
  dds::SetEnginePathOptions(o, 256.0f, 256.0f, true, true, true, &c);
  ASSERT_EQ(dds::CompressImage(MakeImage(256, 128, true), o, CaptureCallback, nullptr), 0);
  ASSERT_EQ(c.calls.size(), 11u);
  EXPECT_EQ(c.calls[0].bytes, (std::vector<uint8_t>{'D', 'D', 'S', ' '}));
  EXPECT_FALSE(c.calls[0].has_info);
  EXPECT_EQ(c.calls[1].bytes.size(), 124u);
  EXPECT_FALSE(c.calls[1].has_info);
  uint32_t w = 256, h = 128;
  for (uint32_t i = 0; i < 9; ++i) {
    const Capture::Call& call = c.calls[2 + i];
    ASSERT_TRUE(call.has_info);
    EXPECT_EQ(call.info.level, i);
    EXPECT_EQ(call.info.width, w);
    EXPECT_EQ(call.info.height, h);
    EXPECT_EQ(call.info.reserved, 0u);
    EXPECT_EQ(call.info.surfaces, 1u);
    EXPECT_EQ(call.bytes.size(), size_t{(w + 3) / 4} * ((h + 3) / 4) * 16);
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  DdsFile f;
  std::string why;
  EXPECT_TRUE(ParseDds(c.File(), f, why)) << why;
  EXPECT_EQ(f.fourcc_text, "DXT5");
}

TEST(DdsEntry, ShrinkToABlockUnfriendlySizeWritesNothing) {
  dds::TextureCompressOptions o;
  Capture c;
  dds::SetEnginePathOptions(o, 256.0f, 256.0f, true, true, false, &c);
  const dds::i32 result = dds::CompressImage(MakeImage(300, 200, false), o, CaptureCallback, nullptr);
  EXPECT_EQ(result, dds::kErrImageNotMult4);
  EXPECT_TRUE(c.calls.empty());
  EXPECT_STREQ(dds::GetErrorString(result), "IMAGE_NOT_MULT4          ");

  // Uncompressed, the same shrink goes through at 256×171.
  dds::SetEnginePathOptions(o, 256.0f, 256.0f, false, false, false, &c);
  ASSERT_EQ(dds::CompressImage(MakeImage(300, 200, false), o, CaptureCallback, nullptr), 0);
  DdsFile f;
  std::string why;
  ASSERT_TRUE(ParseDds(c.File(), f, why)) << why;
  EXPECT_EQ(f.width, 256u);
  EXPECT_EQ(f.height, 171u);
}

TEST(DdsEntry, UncompressedLevelIsBgraOfTheInput) {
  dds::TextureCompressOptions o;
  Capture c;
  dds::SetEnginePathOptions(o, 4096.0f, 4096.0f, false, false, true, &c);
  const dds::Image image = MakeImage(7, 5, true);
  ASSERT_EQ(dds::CompressImage(image, o, CaptureCallback, nullptr), 0);
  ASSERT_EQ(c.LevelCalls(), 1);
  const std::vector<uint8_t>& level = c.calls[2].bytes;
  ASSERT_EQ(level.size(), 7u * 5u * 4u);
  for (dds::u32 i = 0; i < image.pixels.size(); ++i) {
    const uint32_t p = image.pixels[i];
    EXPECT_EQ(level[4 * i + 0], (p >> 16) & 255);
    EXPECT_EQ(level[4 * i + 1], (p >> 8) & 255);
    EXPECT_EQ(level[4 * i + 2], p & 255);
    EXPECT_EQ(level[4 * i + 3], p >> 24);
  }
}

TEST(DdsEntry, LevelCallbackFailureStopsTheRunWithItsValue) {
  dds::TextureCompressOptions o;
  Capture c;
  c.fail_at_level = 2;
  c.fail_value = 7;
  dds::SetEnginePathOptions(o, 256.0f, 256.0f, true, true, false, &c);
  EXPECT_EQ(dds::CompressImage(MakeImage(64, 64, false), o, CaptureCallback, nullptr), 7);
  EXPECT_EQ(c.LevelCalls(), 3);
}

// Decoded with the library's decoder, each block format keeps the image recognisable; the
// thresholds sit a few dB under what the encoder reaches on this image.
TEST(DdsEntry, DecodedBlockFormatsStayAboveTheirPsnr) {
  struct Case {
    int format;
    double colour_db;  // over R, G, B (format 24: G; format 29: R and G)
    double alpha_db;   // 0: not checked
  } cases[] = {{0, 37.0, 0}, {1, 38.0, 0}, {2, 37.0, 32.0}, {3, 37.0, 60.0}, {24, 44.0, 0}, {29, 54.0, 0}};
  const dds::Image image = MakeImage(64, 64, true);
  std::vector<uint8_t> source(64 * 64 * 4);
  std::memcpy(source.data(), image.pixels.data(), source.size());
  for (const Case& k : cases) {
    dds::TextureCompressOptions o;
    o.texture_format = k.format;
    o.mip_map_type = 32;
    Capture c;
    ASSERT_EQ(Compress(image, o, c), 0);
    const std::vector<uint8_t>& level = c.calls[2].bytes;
    std::vector<uint8_t> decoded(64 * 64 * 4);
    ASSERT_TRUE(dds::DecodeLevel(k.format, level.data(), level.size(), 64, 64, decoded.data()));
    std::vector<uint8_t> expect = source;
    for (size_t i = 0; i < 64 * 64; ++i) {
      uint8_t* e = &expect[4 * i];
      if (k.format == 1 && e[3] <= 127) e[0] = e[1] = e[2] = e[3] = 0;  // cut-out decodes black
      if (k.format == 24) {  // green as colour, red as alpha
        decoded[4 * i] = decoded[4 * i + 1];
        e[0] = e[2] = e[1];
        decoded[4 * i + 2] = decoded[4 * i + 1];
      }
    }
    const int last = k.format == 29 ? 1 : 2;
    EXPECT_GT(Psnr(decoded.data(), expect.data(), 64 * 64, 0, last), k.colour_db) << k.format;
    if (k.alpha_db > 0) {
      EXPECT_GT(Psnr(decoded.data(), expect.data(), 64 * 64, 3, 3), k.alpha_db) << k.format;
    }
  }
}

// Every problem with the image or the options is found before the header: the callback never
// runs and the code names the problem.
TEST(DdsEntry, BadImagesAndOptionsAreRefusedBeforeWriting) {
  struct Case {
    const char* what;
    void (*change)(dds::Image&, dds::TextureCompressOptions&);
    dds::i32 code;
  } cases[] = {
      {"empty image", [](dds::Image& i, dds::TextureCompressOptions&) { i.width = 0; }, dds::kErrEmptyImage},
      {"negative height", [](dds::Image& i, dds::TextureCompressOptions&) { i.height = -4; }, dds::kErrEmptyImage},
      {"pixels missing", [](dds::Image& i, dds::TextureCompressOptions&) { i.pixels.resize(10); }, dds::kErrBadArg},
      {"too large", [](dds::Image& i, dds::TextureCompressOptions&) { i.width = 1 << 20; }, dds::kErrImageExceedsInternalSize},
      {"odd size", [](dds::Image& i, dds::TextureCompressOptions&) { i.width = 6; i.pixels.resize(6 * 8); }, dds::kErrImageNotMult4},
      {"rescale filter", [](dds::Image&, dds::TextureCompressOptions& o) { o.rescale_filter = 14; }, dds::kResultBadOption},
      {"mip filter", [](dds::Image&, dds::TextureCompressOptions& o) { o.mip_filter_type = -1; }, dds::kResultBadOption},
      {"filter width", [](dds::Image&, dds::TextureCompressOptions& o) { o.override_filter_width = 1; o.filter_width = 1e30f; }, dds::kResultBadOption},
      {"mip count", [](dds::Image&, dds::TextureCompressOptions& o) { o.specified_mip_maps = -1; }, dds::kErrBadArg},
      {"rescale size", [](dds::Image&, dds::TextureCompressOptions& o) { o.rescale_type = 5; o.rescale_width = 0.0f; }, dds::kErrBadArg},
      {"rescale NaN", [](dds::Image&, dds::TextureCompressOptions& o) { o.rescale_type = 6; o.rescale_height = std::nanf(""); }, dds::kErrBadArg},
      {"rescale huge", [](dds::Image&, dds::TextureCompressOptions& o) { o.rescale_type = 5; o.rescale_width = o.rescale_height = 1e12f; }, dds::kErrImageExceedsInternalSize},
      {"target box", [](dds::Image&, dds::TextureCompressOptions& o) { o.resample_to_target = 1; o.target_width = 0.0f; }, dds::kErrBadArg},
      {"clamp box", [](dds::Image&, dds::TextureCompressOptions& o) { o.clamp_size = 1; o.clamp_height = -3.0f; }, dds::kErrBadArg},
      {"gamma", [](dds::Image&, dds::TextureCompressOptions& o) { o.enable_filter_gamma = 1; o.filter_gamma = -1.0f; }, dds::kErrBadArg},
      {"margin", [](dds::Image&, dds::TextureCompressOptions& o) { o.b_error_diffusion = 1; o.error_diffusion_width = 10; }, dds::kErrBadArg},
      {"unsharp radius", [](dds::Image&, dds::TextureCompressOptions& o) { o.sharpen_method = 16; o.unsharp_radius = std::nanf(""); }, dds::kResultBadOption},
      {"conversion code", [](dds::Image&, dds::TextureCompressOptions& o) { o.normal_map_conversion = 1; o.normalmap_cnv = 1008; }, dds::kResultUnknownConversion},
      {"region encoder", [](dds::Image& i, dds::TextureCompressOptions& o) { o.surface_flag_b = 1; i = MakeImage(32, 32, false); }, dds::kErrImageExceedsInternalSize},
  };
  for (const Case& k : cases) {
    dds::Image image = MakeImage(8, 8, false);
    dds::TextureCompressOptions o;
    k.change(image, o);
    Capture c;
    EXPECT_EQ(Compress(image, o, c), k.code) << k.what;
    EXPECT_TRUE(c.calls.empty()) << k.what;
  }
}

// No field is left to whatever the memory held before: two records built over different
// garbage are byte for byte the same.
TEST(DdsEntry, OptionsConstructorSetsEveryField) {
  alignas(dds::TextureCompressOptions) unsigned char a[sizeof(dds::TextureCompressOptions)];
  alignas(dds::TextureCompressOptions) unsigned char b[sizeof(dds::TextureCompressOptions)];
  std::memset(a, 0xAB, sizeof a);
  std::memset(b, 0x00, sizeof b);
  auto* oa = new (a) dds::TextureCompressOptions();
  auto* ob = new (b) dds::TextureCompressOptions();
  EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
  EXPECT_EQ(oa->normal_map_conversion, 0);
  EXPECT_EQ(ob->user_data, nullptr);
  oa->~TextureCompressOptions();
  ob->~TextureCompressOptions();
}
