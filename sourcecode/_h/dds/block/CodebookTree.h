// The working tree of one codebook build: a k-d tree whose leaves hold up to eight codewords
// with their weights, reduced by pairwise-nearest merging until the target count is reached.
// Private to the codebook; exposed so its steps can be tested one by one.
#pragma once

#include "dds/block/Codebook.h"

namespace dds {

class CodebookTree {
 public:
  static constexpr i32 kLeafSlots = 8;

  struct Codeword {
    i64 weight = 0;   // tiles it stands for
    i32* vector = nullptr;
  };
  struct Node {
    bool leaf = true;
    // split node
    i32 dimension = 0;
    i32 split = 0;
    Node* lower = nullptr;  // v[dimension] ≤ split
    Node* upper = nullptr;
    // leaf
    i32 count = 0;
    Codeword slots[kLeafSlots];
    i32* maximum = nullptr;  // component-wise over every vector the leaf has held
    i32* minimum = nullptr;
  };
  // The cheapest pair of one leaf.
  struct PairRecord {
    f64 cost = 0;
    Node* leaf = nullptr;
    i32 i = 0, j = 0;
  };

  CodebookTree(i32 dimension, i32 target);
  ~CodebookTree();
  CodebookTree(const CodebookTree&) = delete;
  CodebookTree& operator=(const CodebookTree&) = delete;

  // Inserts every whole tile of the image with weight 1.
  void AddTiles(const u8* pixels, i32 height, i32 width, i32 channels, i32 tile_height,
                i32 tile_width);
  // Adds one vector of `weight` below `node` (null: a new leaf); returns the subtree's root.
  Node* Insert(Node* node, i64 weight, const i32* vector);
  // Splits a full leaf at the midpoint of its widest dimension (or merges it when flat).
  Node* SplitLeaf(Node* leaf);
  // Merges pairs until at most the target count of codewords is left; returns the root.
  Node* Reduce(Node* root);
  // Folds leaves of fewer than four codewords into their sibling subtrees.
  Node* Rebalance(Node* node);
  // Cheapest pair of slots of a leaf of at least two codewords (cost in double: it never wraps).
  PairRecord CheapestPair(Node* leaf) const;
  // Slot j into slot i as the weighted mean; later slots move down.
  void MergePair(Node* leaf, i32 i, i32 j);
  // Appends every codeword's vector, lower subtrees first, to `out`.
  void Emit(const Node* node, tVector<u32>& out) const;
  void Destroy(Node* node);

  Node* root = nullptr;
  i32 dimension;
  i32 target;
  i32 leaves = 0;
  i32 codewords = 0;

 private:
  Node* NewLeaf();
  void FreeCodeword(Codeword& c);
  void CollectPairs(Node* node, tVector<PairRecord>& out) const;
};

}  // namespace dds
