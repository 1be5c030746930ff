// What one image tile shows, cell by cell: each cell of 32 × 32 texels is wholly transparent,
// wholly opaque or mixed, counting the ring of texels that bilinear filtering reaches from the
// cell's pixels. Found once when the tile is made; drawing then leaves out the empty cells and may
// draw the opaque ones without blending. The cells are kept as a few rectangles: the runs of one
// kind along a row of cells, each joined with the runs below it that span the same columns.
#pragma once

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

  // From the tile's texels (0xAARRGGBB, texWidth × texHeight, rows of texWidth): the part
  // width × height (at most the texture's size) that drawing shows.
  void Classify(const uint32_t* texels, int texWidth, int texHeight, int width, int height);
  void Forget();  // unknown again: drawn whole
  bool IsKnown() const { return m_known; }
  // The opaque and mixed rectangles; none when every cell is empty.
  const std::vector<st_Rect>& GetRects() const { return m_rects; }

 private:
  bool m_known = false;
  std::vector<st_Rect> m_rects;
};

}  // namespace gfx
