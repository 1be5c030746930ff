// Classifying a tile's cells by their texels' alpha and joining them into rectangles.
#include "graphics/image/TileCells.h"

#include <algorithm>

namespace gfx {

namespace {

struct st_Run {
  int x0, x1;  // cells, half-open
  cl_TileCells::en_Kind kind;
  int y0;      // the cell row the rectangle began on
};

}  // namespace

void cl_TileCells::Forget() {
  m_known = false;
  m_rects.clear();
}

void cl_TileCells::Classify(const uint32_t* texels, int texWidth, int texHeight, int width, int height) {
  Forget();
  width = std::min(width, texWidth), height = std::min(height, texHeight);
  if (!texels || width <= 0 || height <= 0) return;
  const int columns = (width + kCell - 1) / kCell, rows = (height + kCell - 1) / kCell;
  // A pixel of a cell samples at most half a texel past the cell's edge (bilinear, clamped to
  // the texture): one texel of ring on each side counts.
  auto kindOf = [&](int cx, int cy) {
    const int x0 = std::max(cx * kCell - 1, 0), x1 = std::min(std::min((cx + 1) * kCell, width) + 1, texWidth);
    const int y0 = std::max(cy * kCell - 1, 0), y1 = std::min(std::min((cy + 1) * kCell, height) + 1, texHeight);
    bool anyShown = false, allOpaque = true;
    for (int y = y0; y < y1; ++y) {
      const uint32_t* row = texels + static_cast<size_t>(y) * texWidth;
      for (int x = x0; x < x1; ++x) {
        const uint32_t alpha = row[x] >> 24;
        anyShown |= alpha != 0;
        allOpaque &= alpha == 255;
      }
    }
    return allOpaque ? OPAQUE : anyShown ? MIXED : EMPTY;
  };
  auto close = [&](const st_Run& run, int rowEnd) {
    m_rects.push_back({run.x0 * kCell, run.y0 * kCell, std::min(run.x1 * kCell, width),
                       std::min(rowEnd * kCell, height), run.kind});
  };
  std::vector<st_Run> open, next;
  std::vector<en_Kind> kinds(static_cast<size_t>(columns));
  for (int cy = 0; cy < rows; ++cy) {
    for (int cx = 0; cx < columns; ++cx) kinds[static_cast<size_t>(cx)] = kindOf(cx, cy);
    next.clear();
    for (int cx = 0; cx < columns;) {
      const en_Kind kind = kinds[static_cast<size_t>(cx)];
      int end = cx + 1;
      while (end < columns && kinds[static_cast<size_t>(end)] == kind) ++end;
      if (kind != EMPTY) {
        // The same run on the row above grows down; otherwise a rectangle starts here.
        auto above = std::find_if(open.begin(), open.end(), [&](const st_Run& r) {
          return r.x0 == cx && r.x1 == end && r.kind == kind;
        });
        if (above != open.end()) {
          next.push_back(*above);
          above->kind = EMPTY;  // taken
        } else {
          next.push_back({cx, end, kind, cy});
        }
      }
      cx = end;
    }
    for (const st_Run& run : open)
      if (run.kind != EMPTY) close(run, cy);
    open.swap(next);
  }
  for (const st_Run& run : open) close(run, rows);
  m_known = true;
}

}  // namespace gfx
