#include "dds/block/CodebookSearch.h"

#include "dds/Log.h"
#include "dds/TextureCompressOptions.h"

#include <algorithm>
#include <vector>

namespace dds {

// ---- k-d tree

namespace {

constexpr i32 kBucketSize = 9;  // buckets hold fewer items than this

struct Search {
  const u8* query;
  i32 dimension;
  i64 best_distance = 2147483647;
  const KdTree::Item* best = nullptr;
  std::vector<i32> lower, upper;
  bool done = false;
};

i64 Square(i64 v) { return v * v; }

// True when the ball of the best distance around the query lies inside the bounds.
bool BallInsideBounds(const Search& s) {
  for (i32 d = 0; d < s.dimension; ++d) {
    const i64 q = s.query[d];
    if (Square(q - s.lower[static_cast<std::size_t>(d)]) <= s.best_distance ||
        Square(q - s.upper[static_cast<std::size_t>(d)]) <= s.best_distance)
      return false;
  }
  return true;
}

// True when the bounds reach into the ball of the best distance.
bool BoundsOverlapBall(const Search& s) {
  i64 sum = 0;
  for (i32 d = 0; d < s.dimension; ++d) {
    const i64 q = s.query[d];
    if (q < s.lower[static_cast<std::size_t>(d)])
      sum += Square(q - s.lower[static_cast<std::size_t>(d)]);
    else if (q > s.upper[static_cast<std::size_t>(d)])
      sum += Square(q - s.upper[static_cast<std::size_t>(d)]);
    if (sum >= s.best_distance) return false;
  }
  return true;
}

void SearchNode(const KdTree::Node* node, Search& s) {
  if (s.done || !node) return;
  if (node->bucket) {
    for (i32 k = 0; k < node->count; ++k) {
      const u8* v = node->items[k].vector;
      i64 sum = 0;
      i32 d = 0;
      for (; d < s.dimension && sum < s.best_distance; ++d) sum += Square(s.query[d] - v[d]);
      if (d == s.dimension && sum < s.best_distance) {
        s.best_distance = sum;
        s.best = &node->items[k];
      }
    }
    if (BallInsideBounds(s)) s.done = true;
    return;
  }
  const std::size_t d = static_cast<std::size_t>(node->dimension);
  const i32 split = node->split;
  const bool above = s.query[d] > split;
  const KdTree::Node* near = above ? node->upper : node->lower;
  const KdTree::Node* far = above ? node->lower : node->upper;
  std::vector<i32>& near_bound = above ? s.lower : s.upper;
  std::vector<i32>& far_bound = above ? s.upper : s.lower;
  const i32 saved_near = near_bound[d];
  near_bound[d] = split;
  SearchNode(near, s);
  near_bound[d] = saved_near;
  if (s.done) return;
  const i32 saved_far = far_bound[d];
  far_bound[d] = split;
  if (BoundsOverlapBall(s)) SearchNode(far, s);
  far_bound[d] = saved_far;
}

}  // namespace

KdTree::Node* KdTree::Build(Item* items, i32 n, i32 dimension) {
  Node* node = new Node;
  node->items = items;
  node->count = n;
  if (n < kBucketSize) return node;
  i32 widest = 0, spread = -1;
  for (i32 d = 0; d < dimension; ++d) {
    i32 lo = 255, hi = 0;
    for (i32 k = 0; k < n; ++k) {
      lo = std::min<i32>(lo, items[k].vector[d]);
      hi = std::max<i32>(hi, items[k].vector[d]);
    }
    if (hi - lo > spread) {
      spread = hi - lo;
      widest = d;
    }
  }
  std::stable_sort(items, items + n,
                   [widest](const Item& a, const Item& b) { return a.vector[widest] < b.vector[widest]; });
  // Equal values stay on one side: move the split down past a run of them.
  i32 p = n / 2 + 1;
  while (p > 0 && items[p].vector[widest] == items[p - 1].vector[widest]) --p;
  const i32 s = p - 1;
  if (s < 0) return node;  // all equal on the widest dimension
  node->bucket = false;
  node->dimension = widest;
  node->split = items[s].vector[widest];
  node->items = nullptr;
  node->count = 0;
  node->lower = Build(items, s + 1, dimension);
  node->upper = Build(items + s + 1, n - s - 1, dimension);
  return node;
}

const KdTree::Item* KdTree::Nearest(const Node* tree, const u8* query, i32 dimension) {
  Search s;
  s.query = query;
  s.dimension = dimension;
  s.lower.assign(static_cast<std::size_t>(dimension), 0);
  s.upper.assign(static_cast<std::size_t>(dimension), 255);
  SearchNode(tree, s);
  return s.best;
}

void KdTree::Destroy(Node* node) {
  if (!node) return;
  Destroy(node->lower);
  Destroy(node->upper);
  delete node;
}

// ---- mapping

namespace {

// The codebook as bytes with one item per codeword, and the tree over them.
struct CodebookIndex {
  std::vector<u8> bytes;
  std::vector<KdTree::Item> items;
  KdTree::Node* tree = nullptr;
  i32 dimension = 0;

  explicit CodebookIndex(const Codebook& codebook) {
    dimension = static_cast<i32>(codebook.tile_height * codebook.tile_width * codebook.channels);
    const u32 count = dimension > 0 ? std::min(codebook.count, codebook.components.size() /
                                                                   static_cast<u32>(dimension))
                                    : 0;
    bytes.resize(static_cast<std::size_t>(count) * static_cast<std::size_t>(dimension));
    for (std::size_t k = 0; k < bytes.size(); ++k)
      bytes[k] = static_cast<u8>(codebook.components[static_cast<u32>(k)]);
    items.resize(count);
    for (u32 k = 0; k < count; ++k)
      items[k] = {k, bytes.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(dimension)};
    if (count > 0) tree = KdTree::Build(items.data(), static_cast<i32>(count), dimension);
  }
  ~CodebookIndex() { KdTree::Destroy(tree); }
  CodebookIndex(const CodebookIndex&) = delete;
  CodebookIndex& operator=(const CodebookIndex&) = delete;

  u32 Nearest(const u8* query) const {
    const KdTree::Item* item = KdTree::Nearest(tree, query, dimension);
    return item ? item->index : 0;
  }
};

}  // namespace

i32 MapTilesToCodebook(const Codebook& codebook, const u8* image, TileIndices& out, i32 width,
                       i32 height) {
  CodebookIndex index(codebook);
  if (!index.tree || !image || width <= 0 || height <= 0) {
    Log("ERROR: dds: tiles of a %dx%d image mapped onto a codebook of %u codewords\n", width,
        height, codebook.count);
    return kErrBadArg;
  }
  const i32 tw = static_cast<i32>(codebook.tile_width), th = static_cast<i32>(codebook.tile_height);
  const i32 channels = static_cast<i32>(codebook.channels);
  out.stamp = codebook.stamp;
  out.across = static_cast<u32>((width + tw - 1) / tw);
  out.down = static_cast<u32>((height + th - 1) / th);
  out.indices.resize(0);
  std::vector<u8> tile(static_cast<std::size_t>(index.dimension));
  const std::size_t row_bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
  for (u32 ty = 0; ty < out.down; ++ty) {
    for (u32 tx = 0; tx < out.across; ++tx) {
      u8* t = tile.data();
      for (i32 r = 0; r < th; ++r) {
        const i32 y = std::min(static_cast<i32>(ty) * th + r, height - 1);
        for (i32 c = 0; c < tw; ++c) {
          const i32 x = std::min(static_cast<i32>(tx) * tw + c, width - 1);
          const u8* px = image + static_cast<std::size_t>(y) * row_bytes +
                         static_cast<std::size_t>(x) * static_cast<std::size_t>(channels);
          for (i32 k = 0; k < channels; ++k) *t++ = px[k];
        }
      }
      out.indices.append(index.Nearest(tile.data()));
    }
  }
  return kOk;
}

i32 MapPixelsToPalette(const Codebook& image, const Codebook& codebook, Codebook& out) {
  if (codebook.tile_height != 1 || codebook.tile_width != 1 || codebook.count > 256) return -1;
  out = Codebook{};
  out.stamp = image.stamp;
  out.tile_height = image.tile_height;
  out.tile_width = image.tile_width;
  out.channels = 1;
  out.count = image.count;
  if (image.channels != codebook.channels || image.channels == 0) return -1;
  CodebookIndex index(codebook);
  if (!index.tree) return -1;
  const u64 pixels = static_cast<u64>(image.tile_height) * image.tile_width * image.count;
  const u32 channels = image.channels;
  if (pixels * channels > image.components.size()) {
    Log("ERROR: dds: image record of %llu pixels holds only %u values\n",
        static_cast<unsigned long long>(pixels), image.components.size());
    return kErrBadArg;
  }
  u8 query[256];
  if (channels > sizeof(query)) return -1;
  out.components.resize(static_cast<u32>(pixels));
  for (u64 p = 0; p < pixels; ++p) {
    for (u32 c = 0; c < channels; ++c)
      query[c] = static_cast<u8>(image.components[static_cast<u32>(p * channels + c)]);
    out.components[static_cast<u32>(p)] = index.Nearest(query);
  }
  return kOk;
}

i32 DecodeTiles(const Codebook& codebook, const TileIndices& indices, u8* out) {
  const u32 tw = codebook.tile_width, th = codebook.tile_height, channels = codebook.channels;
  const std::size_t dimension = static_cast<std::size_t>(tw) * th * channels;
  if (static_cast<u64>(indices.across) * indices.down > indices.indices.size()) return kErrBadArg;
  const std::size_t row_bytes = static_cast<std::size_t>(indices.across) * tw * channels;
  for (u32 ty = 0; ty < indices.down; ++ty) {
    for (u32 tx = 0; tx < indices.across; ++tx) {
      const u32 code = indices.indices[ty * indices.across + tx];
      if (code >= codebook.count || (static_cast<u64>(code) + 1) * dimension > codebook.components.size())
        return kErrBadArg;
      const u32* word = codebook.components.data() + code * dimension;
      for (u32 r = 0; r < th; ++r) {
        u8* dst = out + (static_cast<std::size_t>(ty) * th + r) * row_bytes +
                  static_cast<std::size_t>(tx) * tw * channels;
        for (u32 k = 0; k < tw * channels; ++k) dst[k] = static_cast<u8>(word[r * tw * channels + k]);
      }
    }
  }
  return kOk;
}

}  // namespace dds
