// The block codec's vector kernels against the scalar code, with the run-time choice forced to
// each path the processor has: every block must come out byte for byte the same, on the
// benchmark's images at every quality and on blocks made to tie (repeated colours, mirror-image
// clusters, two colours, extremes), which is where an estimate-then-verify search could slip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dds/TextureCompressOptions.h"
#include "dds/block/BlockEncoder.h"
#include "dds/block/CodecPath.h"
#include "dds/block/ColorBlock.h"
#include "dxt_corpus.h"

namespace {

using dds::en_BlockCodecPath;

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

// Blocks whose fits meet ties: few colours repeated in patterns, clusters placed symmetrically
// about their mean, a colour and its mirror, pure extremes, one channel only.
std::vector<st_Block> TieBlocks() {
  std::vector<st_Block> blocks;
  dxt_corpus::Rng rng(7);
  auto add = [&](auto colour) {
    st_Block b;
    for (int p = 0; p < 16; ++p) {
      const uint32_t c = colour(p);
      for (int k = 0; k < 3; ++k) b.rgba[4 * p + k] = static_cast<uint8_t>(c >> (8 * k));
      b.rgba[4 * p + 3] = 255;
    }
    blocks.push_back(b);
  };
  for (int round = 0; round < 60; ++round) {
    uint32_t palette[4];
    for (uint32_t& c : palette) c = static_cast<uint32_t>(rng.Next() & 0xFFFFFF);
    const int colours = 2 + round % 3;
    add([&](int p) { return palette[p % colours]; });
    add([&](int p) { return palette[(p * 7 + round) % colours]; });
    // Mirror pairs about a grey centre: every split along the axis has a twin.
    const int mid = 64 + rng.Int(128), step = 1 + rng.Int(40);
    add([&](int p) {
      const int v = mid + ((p & 1) ? 1 : -1) * step * (1 + (p >> 2) % 2);
      const uint32_t g = static_cast<uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
      return g | g << 8 | g << 16;
    });
    add([&](int p) { return (p & 1) ? 0xFFFFFFu : 0u; });
    add([&](int p) { return static_cast<uint32_t>((p * 17 + round) & 255) << (8 * (round % 3)); });
    add([&](int p) { return p < 8 ? palette[0] : (palette[0] ^ (1u << (round % 24))); });
  }
  return blocks;
}

// Encodes every block on every path the processor runs; the bytes of every path must be the
// scalar path's. Returns an FNV-1a of the scalar bytes.
uint64_t EncodeOnEveryPath(const std::vector<st_Block>& blocks, int format, const dds::TextureCompressOptions& o) {
  const dds::CompressorContext context{&o};
  uint64_t hash = 1469598103934665603ull;
  const size_t bytes = format == 0 ? 8 : 16;
  for (size_t b = 0; b < blocks.size(); ++b) {
    uint8_t scalar[16] = {};
    EXPECT_TRUE(dds::SetBlockCodecPath(en_BlockCodecPath::kScalar));
    EXPECT_TRUE(dds::EncodeBlockRGBA(context, blocks[b].rgba, format, scalar));
    for (uint8_t byte : scalar) hash = (hash ^ byte) * 1099511628211ull;  // as recorded: all 16
    for (en_BlockCodecPath path : {en_BlockCodecPath::kSse41, en_BlockCodecPath::kAvx2}) {
      if (!dds::SetBlockCodecPath(path)) continue;
      uint8_t fast[16] = {};
      EXPECT_TRUE(dds::EncodeBlockRGBA(context, blocks[b].rgba, format, fast));
      if (!std::equal(scalar, scalar + bytes, fast)) {
        ADD_FAILURE() << dds::BlockCodecPathName(path) << " block " << b << " differs";
        return hash;
      }
    }
  }
  return hash;
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
  void TearDown() override { dds::SetBlockCodecPath(dds::FastestBlockCodecPath()); }
};

TEST_F(DxtSimd, EveryPathTheProcessorReportsCanBeChosen) {
  EXPECT_TRUE(dds::SetBlockCodecPath(en_BlockCodecPath::kScalar));
  EXPECT_EQ(dds::BlockCodecPath(), en_BlockCodecPath::kScalar);
  EXPECT_TRUE(dds::SetBlockCodecPath(dds::FastestBlockCodecPath()));
  EXPECT_EQ(dds::BlockCodecPath(), dds::FastestBlockCodecPath());
  // A path beyond the fastest is one the processor lacks: refused, the choice kept.
  if (dds::FastestBlockCodecPath() != en_BlockCodecPath::kAvx2) {
    EXPECT_FALSE(dds::SetBlockCodecPath(en_BlockCodecPath::kAvx2));
    EXPECT_EQ(dds::BlockCodecPath(), dds::FastestBlockCodecPath());
  }
}

// Also checks the scalar bytes against FNV-1a hashes recorded before the vector kernels existed:
// no path may change a stored texture.
TEST_F(DxtSimd, SameBlocksOnEveryPathOnTheBenchmarkImages) {
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
        const uint64_t hash = EncodeOnEveryPath(blocks, format, o);
        for (const st_Expected& e : expected)
          if (kSlowdown == 1 && e.format == format && e.quality == quality && e.uniform == uniform) {
            EXPECT_EQ(hash, e.hash);
          }
      }
    }
  }
}

TEST_F(DxtSimd, SameBlocksOnEveryPathWhereFitsTie) {
  const std::vector<st_Block> blocks = TieBlocks();
  for (int format : {0, 1, 3})
    for (int quality : {69, 71}) {
      SCOPED_TRACE("format " + std::to_string(format) + " quality " + std::to_string(quality));
      dds::TextureCompressOptions o;
      o.quality = quality;
      EncodeOnEveryPath(blocks, format, o);
    }
}

// The full fit on its own with more points than a block has, as the region encoder hands it:
// past the kernels' colour limit the vector paths fall back to the scalar search.
TEST_F(DxtSimd, SameFullFitOnEveryPathForLargePointSets) {
  dxt_corpus::Rng rng(11);
  for (int count : {17, 32, 33, 48, 64}) {
    dds::BlockState in;
    in.count = count;
    in.color_policy = 2;
    for (int i = 0; i < count; ++i) {
      // Few enough levels per channel that colours repeat.
      for (int c = 0; c < 3; ++c) in.points[i][c] = (rng.Int(12) * 21) / 255.0;
      in.indices[i] = 0;
    }
    for (int mode : {3, 4}) {
      SCOPED_TRACE(std::to_string(count) + " points, mode " + std::to_string(mode));
      dds::TextureCompressOptions o;
      const dds::CompressorContext context{&o};
      dds::BlockState scalar = in;
      ASSERT_TRUE(dds::SetBlockCodecPath(en_BlockCodecPath::kScalar));
      dds::CompressDXTBlock(context, scalar, mode);
      for (en_BlockCodecPath path : {en_BlockCodecPath::kSse41, en_BlockCodecPath::kAvx2}) {
        if (!dds::SetBlockCodecPath(path)) continue;
        dds::BlockState fast = in;
        dds::CompressDXTBlock(context, fast, mode);
        EXPECT_EQ(fast.color_mode, scalar.color_mode) << dds::BlockCodecPathName(path);
        const int codes[2][6] = {{scalar.red0, scalar.green0, scalar.blue0, scalar.red1, scalar.green1, scalar.blue1},
                                 {fast.red0, fast.green0, fast.blue0, fast.red1, fast.green1, fast.blue1}};
        EXPECT_TRUE(std::equal(codes[0], codes[0] + 6, codes[1])) << dds::BlockCodecPathName(path);
        EXPECT_TRUE(std::equal(scalar.indices, scalar.indices + count, fast.indices)) << dds::BlockCodecPathName(path);
      }
    }
  }
}

}  // namespace
