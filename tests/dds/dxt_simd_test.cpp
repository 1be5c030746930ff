// The SSE2 block codec against the scalar code it was derived from, block by block, on the
// benchmark's images at every quality: the bytes are the same, or (where vector arithmetic
// rounds differently) the SSE2 block decodes with no more error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dds/TextureCompressOptions.h"
#include "dds/block/BlockEncoder.h"
#include "dds/block/CodecPath.h"
#include "dds/block/DxtDecoder.h"
#include "dxt_corpus.h"

namespace {

struct st_Block {
  uint8_t rgba[64];
};

// Every stride-th block of the benchmark's images (same kinds, sizes and seeds), the alpha
// images for DXT5.
std::vector<st_Block> BenchmarkBlocks(bool alpha, int stride) {
  std::vector<dxt_corpus::Image> images;
  if (alpha) {
    uint64_t seed = 200;
    for (const char* kind : {"mask", "ramp", "antialiased", "noisy"}) {
      images.push_back(dxt_corpus::Make("photo", 256, 256, seed));
      dxt_corpus::AddAlpha(images.back(), kind, seed++);
    }
  } else {
    uint64_t seed = 100;
    for (const std::string& kind : dxt_corpus::Kinds()) images.push_back(dxt_corpus::Make(kind, 256, 256, seed++));
  }
  std::vector<st_Block> blocks;
  int index = 0;
  for (const dxt_corpus::Image& im : images)
    for (int by = 0; by < im.height / 4; ++by)
      for (int bx = 0; bx < im.width / 4; ++bx, ++index)
        if (index % stride == 0) {
          blocks.emplace_back();
          dxt_corpus::Block(im, bx, by, blocks.back().rgba);
        }
  return blocks;
}

// Weighted squared error of an encoded block against its pixels (colour and alpha).
double DecodedError(const uint8_t* encoded, int format, const uint8_t* rgba, const dds::TextureCompressOptions& o) {
  uint8_t out[64];
  if (format == 0)
    dds::DecodeDXT1Block(encoded, out);
  else
    dds::DecodeDXT5Block(encoded, out);
  const double w[4] = {o.weight_r, o.weight_g, o.weight_b, 1.0};
  double e = 0.0;
  for (int i = 0; i < 64; ++i) {
    const double d = (static_cast<double>(out[i]) - rgba[i]) * w[i & 3];
    e += d * d;
  }
  return e;
}

// Sampling strides: every 23rd block, every 331st at quality 72 (the hashes below are for these);
// sanitizer builds, many times slower, take a seventh of that and skip the hashes.
#ifdef QUILLANE_SANITIZE
constexpr int kSlowdown = 7;
#else
constexpr int kSlowdown = 1;
#endif

class DxtSimd : public ::testing::Test {
 protected:
  void TearDown() override { dds::SetScalarBlockCodec(false); }
};

// Also checks an FNV-1a of every sampled block's bytes, per format, quality and weights, as the
// scalar code encoded them before the SSE2 paths existed: neither path may change a stored texture.
TEST_F(DxtSimd, SameBlocksAsTheScalarCodeOnTheBenchmarkImages) {
  struct st_Expected {
    int format, quality;
    bool uniform;
    uint64_t hash;
  };
  const st_Expected expected[] = {
      {0, 68, true, 0x12d6f5f3af13fc8eull}, {0, 68, false, 0x7ed340b2d11c1a70ull},
      {0, 69, true, 0x1425284327450731ull}, {0, 69, false, 0x15d6b826e3f97735ull},
      {0, 70, true, 0x1425284327450731ull}, {0, 70, false, 0x15d6b826e3f97735ull},
      {0, 71, true, 0x10cadc42fcf6ce7dull}, {0, 71, false, 0x992fb50c7a7aabd0ull},
      {0, 72, true, 0x4741ee3f650b98d0ull}, {0, 72, false, 0x3de3581c836e3218ull},
      {3, 68, true, 0x7beaa1730560755aull}, {3, 68, false, 0xbea38165ccaf8a6dull},
      {3, 69, true, 0xc0e49aa619089ab9ull}, {3, 69, false, 0xac702a7ff3a667aeull},
      {3, 70, true, 0x8e528905ec27ac59ull}, {3, 70, false, 0xa82ce63572675932ull},
      {3, 71, true, 0x8e528905ec27ac59ull}, {3, 71, false, 0xa82ce63572675932ull},
      {3, 72, true, 0x8f358dc2579efd83ull}, {3, 72, false, 0x33d97fb84c58f245ull},
  };
  for (int format : {0, 3}) {
    for (int quality = 68; quality <= 72; ++quality) {
      // The axis search of quality 72 costs about a hundred times the rest: fewer blocks there.
      const std::vector<st_Block> blocks = BenchmarkBlocks(format == 3, (quality == 72 ? 331 : 23) * kSlowdown);
      for (bool uniform : {true, false}) {
        SCOPED_TRACE("format " + std::to_string(format) + " quality " + std::to_string(quality) +
                     (uniform ? " uniform weights" : " default weights"));
        dds::TextureCompressOptions o;
        o.quality = quality;
        if (uniform) o.weight_r = o.weight_g = o.weight_b = 1.0f;
        const dds::CompressorContext context{&o};
        int differing = 0;
        uint64_t hashScalar = 1469598103934665603ull, hashFast = hashScalar;
        for (size_t b = 0; b < blocks.size(); ++b) {
          uint8_t scalar[16] = {}, fast[16] = {};
          dds::SetScalarBlockCodec(true);
          ASSERT_TRUE(dds::EncodeBlockRGBA(context, blocks[b].rgba, format, scalar));
          dds::SetScalarBlockCodec(false);
          ASSERT_TRUE(dds::EncodeBlockRGBA(context, blocks[b].rgba, format, fast));
          for (int k = 0; k < 16; ++k) {
            hashScalar = (hashScalar ^ scalar[k]) * 1099511628211ull;
            hashFast = (hashFast ^ fast[k]) * 1099511628211ull;
          }
          const size_t bytes = format == 0 ? 8 : 16;
          if (std::equal(scalar, scalar + bytes, fast)) continue;
          ++differing;
          EXPECT_LE(DecodedError(fast, format, blocks[b].rgba, o), DecodedError(scalar, format, blocks[b].rgba, o))
              << "block " << b;
        }
        // A different rounding may move a tie now and then, never a whole image.
        EXPECT_LE(differing * 100, static_cast<int>(blocks.size())) << differing << " of " << blocks.size();
        for (const st_Expected& e : expected) {
          if (kSlowdown == 1 && e.format == format && e.quality == quality && e.uniform == uniform) {
            EXPECT_EQ(hashScalar, e.hash);
            // Where no block differs, the SSE2 bytes are those recorded too.
            if (differing == 0) {
              EXPECT_EQ(hashFast, e.hash);
            }
          }
        }
      }
    }
  }
}

}  // namespace
