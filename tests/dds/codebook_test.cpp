// The vector-quantiser codebook and its nearest-codeword search: reduction rules, termination
// on awkward inputs, the k-d search against a brute-force scan, and tile mapping round trips.
#include "dds/block/Codebook.h"
#include "dds/block/CodebookSearch.h"
#include "dds/block/CodebookTree.h"
#include "dds/TextureCompressOptions.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

namespace {

std::vector<dds::u32> Components(const dds::Codebook& book) {
  return std::vector<dds::u32>(book.components.begin(), book.components.end());
}

}  // namespace

// No more distinct tiles than the target: each comes out once, unmerged.
TEST(CodebookBuild, FewDistinctTilesComeOutOnce) {
  std::vector<dds::u8> px;
  for (int i = 0; i < 200; ++i) {
    const int k = i % 20;
    px.insert(px.end(), {static_cast<dds::u8>(k * 12), static_cast<dds::u8>(255 - k), 7});
  }
  dds::Codebook book;
  ASSERT_EQ(dds::BuildCodebook(px.data(), book, 10, 20, 3, 1, 1, 32), dds::kOk);
  EXPECT_EQ(book.count, 20u);
  EXPECT_EQ(book.tile_width, 1u);
  EXPECT_EQ(book.channels, 3u);
  std::set<std::vector<dds::u32>> seen;
  for (dds::u32 k = 0; k < book.count; ++k)
    seen.insert({book.components[3 * k], book.components[3 * k + 1], book.components[3 * k + 2]});
  EXPECT_EQ(seen.size(), 20u);
}

TEST(CodebookTreeSteps, MergeKeepsTheWeightedMeanInTheFirstSlot) {
  dds::CodebookTree tree(1, 1);
  const dds::i32 a = 0, b = 10;
  dds::CodebookTree::Node* leaf = tree.Insert(nullptr, 3, &a);
  leaf = tree.Insert(leaf, 1, &b);
  tree.root = leaf;
  const auto pair = tree.CheapestPair(leaf);
  EXPECT_EQ(pair.i, 0);
  EXPECT_EQ(pair.j, 1);
  EXPECT_DOUBLE_EQ(pair.cost, 3.0 * 1.0 * 100.0 / 4.0);
  tree.MergePair(leaf, pair.i, pair.j);
  ASSERT_EQ(leaf->count, 1);
  EXPECT_EQ(leaf->slots[0].vector[0], 2);  // 10 / 4 truncated
  EXPECT_EQ(leaf->slots[0].weight, 4);
  EXPECT_EQ(tree.codewords, 1);
}

// The ninth distinct vector splits the leaf at the midpoint of its widest dimension; a value
// equal to the split value goes to the lower side.
TEST(CodebookTreeSteps, NinthCodewordSplitsAtTheMidpoint) {
  dds::CodebookTree tree(2, 1);
  for (dds::i32 k = 0; k < 9; ++k) {
    const dds::i32 v[2] = {k, k * 10};  // dimension 1 is the widest
    tree.root = tree.Insert(tree.root, 1, v);
  }
  ASSERT_FALSE(tree.root->leaf);
  EXPECT_EQ(tree.root->dimension, 1);
  EXPECT_EQ(tree.root->split, 35);
  EXPECT_EQ(tree.root->lower->count + tree.root->upper->count, 9);
  const dds::i32 at_split[2] = {100, 35};
  tree.root = tree.Insert(tree.root, 1, at_split);
  const auto* lower = tree.root->lower;
  EXPECT_EQ(lower->slots[lower->count - 1].vector[1], 35);
}

// The reduction ends on inputs where a round finds a single pair (one small leaf, target 1), on
// huge weights whose products pass 32 bits, and on wide codewords; the count never passes the
// target.
TEST(CodebookBuild, ReductionTerminatesAndMeetsTheTarget) {
  // Eight distinct values, target 1: one leaf, one record per round.
  std::vector<dds::u8> eight = {0, 30, 60, 90, 120, 150, 180, 210};
  dds::Codebook book;
  ASSERT_EQ(dds::BuildCodebook(eight.data(), book, 1, 8, 1, 1, 1, 1), dds::kOk);
  EXPECT_EQ(book.count, 1u);

  // A flat field of two million pixels and one odd pixel: weights of 2^21 against 1. The odd
  // pair must merge by the true cost, so the result lies near the heavy colour.
  std::vector<dds::u8> big(2048 * 1024, 100);
  big[5] = 200;
  big[6] = 0;
  ASSERT_EQ(dds::BuildCodebook(big.data(), book, 1024, 2048, 1, 1, 1, 2), dds::kOk);
  ASSERT_EQ(book.count, 2u);
  const std::vector<dds::u32> c = Components(book);
  EXPECT_TRUE((c[0] == 100 || c[1] == 100)) << c[0] << " " << c[1];

  // Random RGBA tiles of 2×2, many more than the target.
  std::mt19937 rng(7);
  std::vector<dds::u8> noise(64 * 64 * 4);
  for (dds::u8& v : noise) v = static_cast<dds::u8>(rng());
  ASSERT_EQ(dds::BuildCodebook(noise.data(), book, 64, 64, 4, 2, 2, 40), dds::kOk);
  EXPECT_LE(book.count, 40u);
  EXPECT_GE(book.count, 1u);
  EXPECT_EQ(book.components.size(), book.count * 16);

  EXPECT_EQ(dds::BuildCodebook(noise.data(), book, 0, 64, 4, 2, 2, 40), dds::kErrBadArg);
}

// The k-d search returns a nearest codeword for every query: checked against a full scan over
// random codebooks of several sizes (a single bucket up to many levels), ties by distance.
TEST(KdTreeSearch, AgreesWithBruteForce) {
  std::mt19937 rng(11);
  for (int count : {1, 8, 9, 50, 300}) {
    std::vector<dds::u8> bytes(static_cast<size_t>(count) * 3);
    for (dds::u8& v : bytes) v = static_cast<dds::u8>(rng() % 64 * 4);  // many equal values
    std::vector<dds::KdTree::Item> items(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) items[static_cast<size_t>(k)] = {static_cast<dds::u32>(k), &bytes[static_cast<size_t>(k) * 3]};
    dds::KdTree::Node* tree = dds::KdTree::Build(items.data(), count, 3);
    EXPECT_EQ(tree->bucket, count <= 8) << count;
    for (int q = 0; q < 500; ++q) {
      const dds::u8 query[3] = {static_cast<dds::u8>(rng()), static_cast<dds::u8>(rng()),
                                static_cast<dds::u8>(rng())};
      int best = 1 << 30;
      for (int k = 0; k < count; ++k) {
        int d = 0;
        for (int c = 0; c < 3; ++c) {
          const int e = query[c] - bytes[static_cast<size_t>(k) * 3 + c];
          d += e * e;
        }
        best = std::min(best, d);
      }
      const dds::KdTree::Item* found = dds::KdTree::Nearest(tree, query, 3);
      ASSERT_NE(found, nullptr);
      int d = 0;
      for (int c = 0; c < 3; ++c) d += (query[c] - found->vector[c]) * (query[c] - found->vector[c]);
      ASSERT_EQ(d, best) << count;
    }
    dds::KdTree::Destroy(tree);
  }
}

// Tiles map to their nearest codeword and decode back; a width that is not a whole number of
// tiles is padded by repeating the edge.
TEST(CodebookMapping, TilesRoundTripThroughTheCodebook) {
  // 5×4 single-channel image of 2×2 tiles, the last column a half tile.
  const int w = 5, h = 4;
  std::vector<dds::u8> image(static_cast<size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image[static_cast<size_t>(y * w + x)] = static_cast<dds::u8>((x / 2 + y / 2 * 3) * 20);
  dds::Codebook book;
  ASSERT_EQ(dds::BuildCodebook(image.data(), book, h, w, 1, 2, 2, 16), dds::kOk);
  EXPECT_EQ(book.count, 4u);  // whole tiles only
  dds::TileIndices indices;
  ASSERT_EQ(dds::MapTilesToCodebook(book, image.data(), indices, w, h), dds::kOk);
  EXPECT_EQ(indices.across, 3u);
  EXPECT_EQ(indices.down, 2u);
  ASSERT_EQ(indices.indices.size(), 6u);
  std::vector<dds::u8> decoded(6 * 4);
  ASSERT_EQ(dds::DecodeTiles(book, indices, decoded.data()), dds::kOk);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(decoded[static_cast<size_t>(y * 6 + x)], image[static_cast<size_t>(y * w + x)]) << x << "," << y;

  indices.indices[0] = 99;
  EXPECT_EQ(dds::DecodeTiles(book, indices, decoded.data()), dds::kErrBadArg);
}

TEST(CodebookMapping, PixelsToPaletteChecksTheCodebook) {
  dds::Codebook palette;
  palette.tile_height = palette.tile_width = 1;
  palette.channels = 3;
  palette.count = 2;
  for (dds::u32 v : {0u, 0u, 0u, 200u, 200u, 200u}) palette.components.append(v);
  dds::Codebook image;
  image.stamp = 42;
  image.tile_height = 1;
  image.tile_width = 2;
  image.channels = 3;
  image.count = 1;
  for (dds::u32 v : {10u, 20u, 30u, 150u, 190u, 250u}) image.components.append(v);
  dds::Codebook out;
  ASSERT_EQ(dds::MapPixelsToPalette(image, palette, out), dds::kOk);
  EXPECT_EQ(out.stamp, 42u);
  EXPECT_EQ(out.channels, 1u);
  ASSERT_EQ(out.components.size(), 2u);
  EXPECT_EQ(out.components[0], 0u);
  EXPECT_EQ(out.components[1], 1u);

  dds::Codebook tiles = palette;
  tiles.tile_width = 2;
  out = dds::Codebook{};
  EXPECT_EQ(dds::MapPixelsToPalette(image, tiles, out), -1);
  EXPECT_EQ(out.stamp, 0u);  // nothing written
  image.channels = 4;
  EXPECT_EQ(dds::MapPixelsToPalette(image, palette, out), -1);
  EXPECT_EQ(out.stamp, 42u);  // the five words, no indices
  EXPECT_TRUE(out.components.empty());
}
