// Mapping images onto a codebook: the nearest codeword of every tile or pixel, found with a k-d
// tree over the codewords, and tiles rebuilt from their indices.
#pragma once

#include "dds/block/Codebook.h"

namespace dds {

// Nearest-codeword search over a codebook's vectors (components taken as bytes).
class KdTree {
 public:
  struct Item {
    u32 index = 0;            // codeword number
    const u8* vector = nullptr;
  };
  struct Node {
    bool bucket = true;
    Item* items = nullptr;  // bucket: `count` items
    i32 count = 0;
    i32 dimension = 0;      // split node
    u8 split = 0;
    Node* lower = nullptr;  // value ≤ split
    Node* upper = nullptr;
  };

  // Index of every item stays valid while the tree lives; `items` is reordered.
  static Node* Build(Item* items, i32 count, i32 dimension);
  // The nearest item to `query` (squared distance; the first met wins a tie); null for no items.
  static const Item* Nearest(const Node* tree, const u8* query, i32 dimension);
  static void Destroy(Node* node);
};

// Index record of MapTilesToCodebook.
struct TileIndices {
  u32 stamp = 0;
  u32 across = 0;
  u32 down = 0;
  tVector<u32> indices;  // rows of tiles from the top, left to right
};

// Maps every tile of an image (rows of width·channels bytes) to its nearest codeword. Tiles
// cover the image: partial tiles at the right and bottom edges repeat the last column and row.
// Returns 0, or −46 for an empty codebook or image.
i32 MapTilesToCodebook(const Codebook& codebook, const u8* image, TileIndices& out, i32 width,
                       i32 height);

// Maps every pixel of every image of `image` (a record of the codebook's layout: height, width,
// channels, image count, values) to its nearest palette entry. Writes {image stamp, height,
// width, 1, image count} and the indices. Returns 0, or −1 when the codebook's tiles are not 1×1
// or it has more than 256 entries (nothing written), or when the channel counts differ (only the
// five words written).
i32 MapPixelsToPalette(const Codebook& image, const Codebook& codebook, Codebook& out);

// Rebuilds the tiles of `indices` into `out`, across·tile width pixels wide and down·tile height
// rows high. Returns 0, or −46 for an index past the codebook or a short record.
i32 DecodeTiles(const Codebook& codebook, const TileIndices& indices, u8* out);

}  // namespace dds
