// What one image tile shows, cell by cell: each cell of 32 × 32 texels is wholly transparent,
// wholly opaque or mixed, counting the ring of texels that bilinear filtering reaches from the
// cell's pixels. Found once when the tile is made, from its DDS bytes in 4 × 4 blocks (the ring
// then counts as the blocks around the cell, and a compressed alpha between two ends counts as
// neither 0 nor 255: a cell is called empty or opaque only when every decoder agrees). Drawing
// then leaves out the empty cells and may draw the opaque ones without blending. The cells are
// kept as a few rectangles: the runs of one kind along a row of cells, each joined with the runs
// below it that span the same columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gfx {

class cl_TileCells {
 public:
  static constexpr int kCell = 32;
  enum en_Kind : uint8_t { EMPTY, OPAQUE, MIXED };
  struct st_Rect {
    int x0, y0, x1, y1;  // texels of the tile, half-open
    en_Kind kind;
  };

  // From the tile's DDS file image (A8R8G8B8, X8R8G8B8, DXT1, DXT3 or DXT5; any other format,
  // bytes that are no DDS and a damaged image, logged, leave the cells unknown): the part
  // width × height that drawing shows.
  void ClassifyDds(const void* dds, size_t size, int width, int height);
  void Forget();  // unknown again: drawn whole
  bool IsKnown() const { return m_known; }
  // The opaque and mixed rectangles; none when every cell is empty.
  const std::vector<st_Rect>& GetRects() const { return m_rects; }

 private:
  // From the blocks' alpha bits (bit 0: some texel shows, bit 1: some texel lets the target
  // through), blocksWide × blocksHigh of them.
  void Classify(const std::vector<uint8_t>& blocks, int blocksWide, int blocksHigh, int width, int height);

  bool m_known = false;
  std::vector<st_Rect> m_rects;
};

}  // namespace gfx
