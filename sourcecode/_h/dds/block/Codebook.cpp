#include "dds/block/Codebook.h"

#include "dds/block/CodebookTree.h"
#include "dds/Log.h"
#include "dds/TextureCompressOptions.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace dds {

CodebookTree::CodebookTree(i32 dimension_, i32 target_)
    : dimension(dimension_), target(std::max(target_, 1)) {}

CodebookTree::~CodebookTree() { Destroy(root); }

CodebookTree::Node* CodebookTree::NewLeaf() {
  Node* leaf = new Node;
  leaf->maximum = new i32[static_cast<std::size_t>(dimension)];
  leaf->minimum = new i32[static_cast<std::size_t>(dimension)];
  ++leaves;
  return leaf;
}

void CodebookTree::FreeCodeword(Codeword& c) {
  delete[] c.vector;
  c.vector = nullptr;
  c.weight = 0;
}

void CodebookTree::Destroy(Node* node) {
  if (!node) return;
  if (node->leaf) {
    for (i32 k = 0; k < node->count; ++k) FreeCodeword(node->slots[k]);
    delete[] node->maximum;
    delete[] node->minimum;
    --leaves;
  } else {
    Destroy(node->lower);
    Destroy(node->upper);
  }
  delete node;
}

// ---- building

void CodebookTree::AddTiles(const u8* pixels, i32 height, i32 width, i32 channels,
                            i32 tile_height, i32 tile_width) {
  const std::size_t row_bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
  const i32 tile_row = tile_width * channels;
  std::vector<i32> vector(static_cast<std::size_t>(dimension));
  for (i32 band = 0; band < height / tile_height; ++band) {
    const u8* band_start = pixels + static_cast<std::size_t>(band) * tile_height * row_bytes;
    for (i32 tile = 0; tile < width / tile_width; ++tile) {
      i32* v = vector.data();
      for (i32 r = 0; r < tile_height; ++r) {
        const u8* src = band_start + r * row_bytes + static_cast<std::size_t>(tile) * tile_row;
        for (i32 k = 0; k < tile_row; ++k) *v++ = src[k];
      }
      root = Insert(root, 1, vector.data());
    }
  }
}

CodebookTree::Node* CodebookTree::Insert(Node* node, i64 weight, const i32* vector) {
  if (!node) node = NewLeaf();
  if (!node->leaf) {
    if (vector[node->dimension] <= node->split)
      node->lower = Insert(node->lower, weight, vector);
    else
      node->upper = Insert(node->upper, weight, vector);
    return node;
  }
  const std::size_t bytes = sizeof(i32) * static_cast<std::size_t>(dimension);
  for (i32 k = 0; k < node->count; ++k) {
    if (std::equal(vector, vector + dimension, node->slots[k].vector)) {
      node->slots[k].weight += weight;
      return node;
    }
  }
  if (node->count == kLeafSlots) {
    Node* split = SplitLeaf(node);
    return Insert(split, weight, vector);
  }
  Codeword& c = node->slots[node->count];
  c.weight = weight;
  c.vector = new i32[static_cast<std::size_t>(dimension)];
  std::copy(vector, vector + dimension, c.vector);
  if (node->count == 0) {
    std::memcpy(node->maximum, vector, bytes);
    std::memcpy(node->minimum, vector, bytes);
  } else {
    for (i32 d = 0; d < dimension; ++d) {
      node->maximum[d] = std::max(node->maximum[d], vector[d]);
      node->minimum[d] = std::min(node->minimum[d], vector[d]);
    }
  }
  ++node->count;
  ++codewords;
  return node;
}

CodebookTree::Node* CodebookTree::SplitLeaf(Node* leaf) {
  i32 widest = 0, range = -1;
  for (i32 d = 0; d < dimension; ++d) {
    const i32 r = leaf->maximum[d] - leaf->minimum[d];
    if (r > range) {
      range = r;
      widest = d;
    }
  }
  if (range <= 0) {
    // Every vector is the same: one codeword carries all the weight.
    for (i32 k = 1; k < leaf->count; ++k) {
      leaf->slots[0].weight += leaf->slots[k].weight;
      FreeCodeword(leaf->slots[k]);
      --codewords;
    }
    leaf->count = std::min(leaf->count, 1);
    return leaf;
  }
  Node* split = new Node;
  split->leaf = false;
  split->dimension = widest;
  split->split = (leaf->maximum[widest] + leaf->minimum[widest]) / 2;
  split->lower = NewLeaf();
  split->upper = NewLeaf();
  for (i32 k = 0; k < leaf->count; ++k) {
    Codeword& c = leaf->slots[k];
    Node* side = c.vector[widest] > split->split ? split->upper : split->lower;
    if (side->count == 0) {
      std::copy(c.vector, c.vector + dimension, side->maximum);
      std::copy(c.vector, c.vector + dimension, side->minimum);
    } else {
      for (i32 d = 0; d < dimension; ++d) {
        side->maximum[d] = std::max(side->maximum[d], c.vector[d]);
        side->minimum[d] = std::min(side->minimum[d], c.vector[d]);
      }
    }
    side->slots[side->count++] = c;
    c.vector = nullptr;
  }
  leaf->count = 0;
  Destroy(leaf);
  return split;
}

// ---- reduction

CodebookTree::Node* CodebookTree::Rebalance(Node* node) {
  if (!node || node->leaf) return node;
  Node* small = nullptr;
  Node* keep = nullptr;
  if (node->lower && node->lower->leaf && node->lower->count < 4) {
    small = node->lower;
    keep = node->upper;
  } else if (node->upper && node->upper->leaf && node->upper->count < 4) {
    small = node->upper;
    keep = node->lower;
  }
  if (small) {
    for (i32 k = 0; k < small->count; ++k) {
      Codeword& c = small->slots[k];
      --codewords;  // Insert counts it again unless it meets its twin
      keep = Insert(keep, c.weight, c.vector);
    }
    Destroy(small);
    delete node;
    return keep;
  }
  node->lower = Rebalance(node->lower);
  node->upper = Rebalance(node->upper);
  return node;
}

CodebookTree::PairRecord CodebookTree::CheapestPair(Node* leaf) const {
  PairRecord best;
  best.leaf = leaf;
  best.cost = 2147483647.0;
  bool found = false;
  for (i32 i = 0; i < leaf->count; ++i) {
    for (i32 j = i + 1; j < leaf->count; ++j) {
      const Codeword& a = leaf->slots[i];
      const Codeword& b = leaf->slots[j];
      f64 distance = 0;
      for (i32 d = 0; d < dimension; ++d) {
        const f64 delta = static_cast<f64>(a.vector[d]) - b.vector[d];
        distance += delta * delta;
      }
      const f64 wa = static_cast<f64>(a.weight), wb = static_cast<f64>(b.weight);
      const f64 cost = wa * wb * distance / (wa + wb);
      if (!found || cost < best.cost) {
        found = true;
        best.cost = cost;
        best.i = i;
        best.j = j;
      }
    }
  }
  return best;
}

void CodebookTree::MergePair(Node* leaf, i32 i, i32 j) {
  Codeword& a = leaf->slots[i];
  Codeword& b = leaf->slots[j];
  const i64 total = a.weight + b.weight;
  for (i32 d = 0; d < dimension; ++d)
    a.vector[d] = static_cast<i32>((a.weight * a.vector[d] + b.weight * b.vector[d]) / total);
  a.weight = total;
  FreeCodeword(b);
  for (i32 k = j; k + 1 < leaf->count; ++k) leaf->slots[k] = leaf->slots[k + 1];
  leaf->slots[leaf->count - 1] = Codeword{};
  --leaf->count;
  --codewords;
}

void CodebookTree::CollectPairs(Node* node, tVector<PairRecord>& out) const {
  if (!node) return;
  if (!node->leaf) {
    CollectPairs(node->lower, out);
    CollectPairs(node->upper, out);
    return;
  }
  if (node->count >= 2) out.append(CheapestPair(node));
}

CodebookTree::Node* CodebookTree::Reduce(Node* node) {
  tVector<PairRecord> records;
  while (codewords > target) {
    node = Rebalance(node);
    records.resize(0);
    CollectPairs(node, records);
    if (records.empty()) {
      // Only single-codeword leaves: the rebalance just folded one of them away, so the next
      // round has fewer leaves; a lone leaf cannot hold more codewords than the target of 1.
      if (!node || node->leaf) break;
      continue;
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const PairRecord& a, const PairRecord& b) { return a.cost < b.cost; });
    // Half the leaves per round keeps the merges spread; at least one pair keeps it moving.
    const i32 excess = codewords - target;
    const i32 k = std::max(1, std::min(static_cast<i32>(records.size() / 2), excess));
    for (i32 r = 0; r < k; ++r) MergePair(records[static_cast<u32>(r)].leaf,
                                          records[static_cast<u32>(r)].i,
                                          records[static_cast<u32>(r)].j);
  }
  return node;
}

void CodebookTree::Emit(const Node* node, tVector<u32>& out) const {
  if (!node) return;
  if (!node->leaf) {
    Emit(node->lower, out);
    Emit(node->upper, out);
    return;
  }
  for (i32 k = 0; k < node->count; ++k)
    for (i32 d = 0; d < dimension; ++d)
      out.append(static_cast<u32>(std::clamp(node->slots[k].vector[d], 0, 255)));
}

// ---- entry

i32 BuildCodebook(const u8* pixels, Codebook& codebook, i32 height, i32 width, i32 channels,
                  i32 largest_tile_width, i32 largest_tile_height, i32 target) {
  codebook = Codebook{};
  if (!pixels || height <= 0 || width <= 0 || channels <= 0 || largest_tile_width <= 0 ||
      largest_tile_height <= 0) {
    Log("ERROR: dds: codebook of a %dx%d image of %d channels with %dx%d tiles\n", width, height,
        channels, largest_tile_width, largest_tile_height);
    return kErrBadArg;
  }
  const i32 tile_height = std::min(height, largest_tile_height);
  const i32 tile_width = std::min(width, largest_tile_width);
  const i64 dimension = static_cast<i64>(tile_height) * tile_width * channels;
  if (dimension > kMaxCodewordDimension) {
    Log("ERROR: dds: codebook tiles of %lld values exceed %d\n",
        static_cast<long long>(dimension), kMaxCodewordDimension);
    return kErrBadArg;
  }
  CodebookTree tree(static_cast<i32>(dimension), target);
  tree.AddTiles(pixels, height, width, channels, tile_height, tile_width);
  tree.root = tree.Reduce(tree.root);
  codebook.stamp = static_cast<u32>(static_cast<u64>(std::time(nullptr)));
  codebook.tile_height = static_cast<u32>(tile_height);
  codebook.tile_width = static_cast<u32>(tile_width);
  codebook.channels = static_cast<u32>(channels);
  tree.Emit(tree.root, codebook.components);
  codebook.count = codebook.components.size() / static_cast<u32>(dimension);
  return kOk;
}

}  // namespace dds
