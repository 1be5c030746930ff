// A uniform grid over floor rectangles (x, z) that lists, per cell, the items whose box touches
// it: the nav mesh files its boundary edges and its graph nodes here so that point and segment
// queries look at a few items instead of all. Cells are packed into one index array.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace quillane {

class cl_FloorGrid {
 public:
  struct st_Box {
    float minX, minZ, maxX, maxZ;
  };

  // Files item i under every cell its box touches; cellSize is a hint (at most 512 × 512 cells).
  // Boxes with non-finite corners are kept in a list every query visits.
  void Build(const std::vector<st_Box>& boxes, float cellSize);
  void Clear();

  // Calls fn(item) once for every item filed in a cell the rectangle touches (an item may be
  // visited that does not touch the rectangle). Stops early when fn returns true; returns that.
  template <class Fn>
  bool Visit(float minX, float minZ, float maxX, float maxZ, Fn fn);
  // Calls fn(item) once for every item filed in a cell the segment from (x0, z0) to (x1, z1)
  // passes through or grazes (with a margin for rounding), column by column from (x0, z0)'s end, so
  // that items near it tend to come first. Stops early when fn returns true; returns that.
  template <class Fn>
  bool VisitAlong(float x0, float z0, float x1, float z1, Fn fn);
  // Cell coordinates of the rectangle's corners, clamped to the grid.
  void CellRange(float minX, float minZ, float maxX, float maxZ, int& x0, int& z0, int& x1, int& z1) const;
  // Visits the items in rings of cells around (x, z), each item once (unfiled ones first), until
  // done(margin) is true after a ring, margin being the floor distance from (x, z) beyond which
  // no item has been missed; or until every cell was visited. A non-finite point visits all.
  template <class Fn, class Done>
  void VisitRings(float x, float z, Fn fn, Done done);
  // Visits the items of one cell (no de-duplication across cells).
  template <class Fn>
  bool VisitCell(int cx, int cz, Fn fn);
  bool IsEmpty() const { return m_itemCount == 0; }
  int GetCellsX() const { return m_cellsX; }
  int GetCellsZ() const { return m_cellsZ; }
  float GetCellSize() const { return m_cellSize; }
  float GetOriginX() const { return m_originX; }
  float GetOriginZ() const { return m_originZ; }
  // A fresh stamp for de-duplicating visits: Seen(item) is true the second time within one stamp.
  void NewStamp();
  bool Seen(int item) {
    if (m_stamps[item] == m_stamp) return true;
    m_stamps[item] = m_stamp;
    return false;
  }
  const std::vector<int>& GetUnfiled() const { return m_unfiled; }

 private:
  int CellOf(float v, float origin, int count) const;

  float m_originX = 0.0f, m_originZ = 0.0f, m_cellSize = 1.0f;
  int m_cellsX = 0, m_cellsZ = 0;
  int m_itemCount = 0;
  std::vector<int> m_cellStart;  // m_cellsX · m_cellsZ + 1 offsets into m_items
  std::vector<int> m_items;
  std::vector<int> m_unfiled;  // items with non-finite boxes
  std::vector<uint32_t> m_stamps;
  uint32_t m_stamp = 0;
};

template <class Fn>
bool cl_FloorGrid::VisitCell(int cx, int cz, Fn fn) {
  const int c = cz * m_cellsX + cx;
  for (int k = m_cellStart[c]; k < m_cellStart[c + 1]; ++k) {
    if (fn(m_items[k])) return true;
  }
  return false;
}

template <class Fn>
bool cl_FloorGrid::Visit(float minX, float minZ, float maxX, float maxZ, Fn fn) {
  if (m_itemCount == 0) return false;
  NewStamp();
  for (int item : m_unfiled) {
    if (!Seen(item) && fn(item)) return true;
  }
  if (m_cellsX == 0) return false;
  int x0, z0, x1, z1;
  CellRange(minX, minZ, maxX, maxZ, x0, z0, x1, z1);
  for (int cz = z0; cz <= z1; ++cz) {
    for (int cx = x0; cx <= x1; ++cx) {
      const int c = cz * m_cellsX + cx;
      for (int k = m_cellStart[c]; k < m_cellStart[c + 1]; ++k) {
        const int item = m_items[k];
        if (!Seen(item) && fn(item)) return true;
      }
    }
  }
  return false;
}

template <class Fn>
bool cl_FloorGrid::VisitAlong(float x0, float z0, float x1, float z1, Fn fn) {
  if (!(std::isfinite(x0) && std::isfinite(z0) && std::isfinite(x1) && std::isfinite(z1)))
    return Visit(std::min(x0, x1), std::min(z0, z1), std::max(x0, x1), std::max(z0, z1), fn);
  if (m_itemCount == 0) return false;
  NewStamp();
  for (int item : m_unfiled) {
    if (!Seen(item) && fn(item)) return true;
  }
  if (m_cellsX == 0) return false;
  // Items are filed by their boxes' corners rounded to cells in float; the margin keeps every
  // cell such a rounding can reach.
  const double slack = 1e-5 * (std::fabs(x0) + std::fabs(z0) + std::fabs(x1) + std::fabs(z1) + m_cellSize);
  const double dx = static_cast<double>(x1) - x0, dz = static_cast<double>(z1) - z0;
  const int stepX = dx >= 0.0 ? 1 : -1, stepZ = dz >= 0.0 ? 1 : -1;
  const double zLo = std::min(z0, z1) - slack, zHi = std::max(z0, z1) + slack;
  const int firstX = CellOf(static_cast<float>(x0 - stepX * slack), m_originX, m_cellsX);
  const int lastX = CellOf(static_cast<float>(x1 + stepX * slack), m_originX, m_cellsX);
  for (int cx = firstX;; cx += stepX) {
    // The part of the segment over this column (border columns reach out to infinity, as
    // CellOf clamps); its z range, kept within the segment's.
    double a = cx == 0 ? -INFINITY : m_originX + static_cast<double>(cx) * m_cellSize - slack;
    double b = cx == m_cellsX - 1 ? INFINITY : m_originX + static_cast<double>(cx + 1) * m_cellSize + slack;
    double za = zLo, zb = zHi;
    if (dx != 0.0) {
      a = std::max(a, static_cast<double>(std::min(x0, x1)));
      b = std::min(b, static_cast<double>(std::max(x0, x1)));
      za = std::clamp(z0 + (a - x0) * (dz / dx), zLo, zHi);
      zb = std::clamp(z0 + (b - x0) * (dz / dx), zLo, zHi);
      if (za > zb) std::swap(za, zb);
      za -= slack, zb += slack;
    }
    int firstZ = CellOf(static_cast<float>(za), m_originZ, m_cellsZ);
    int lastZ = CellOf(static_cast<float>(zb), m_originZ, m_cellsZ);
    if (stepZ < 0) std::swap(firstZ, lastZ);
    for (int cz = firstZ;; cz += stepZ) {
      const int c = cz * m_cellsX + cx;
      for (int k = m_cellStart[c]; k < m_cellStart[c + 1]; ++k) {
        const int item = m_items[k];
        if (!Seen(item) && fn(item)) return true;
      }
      if (cz == lastZ) break;
    }
    if (cx == lastX) break;
  }
  return false;
}

template <class Fn, class Done>
void cl_FloorGrid::VisitRings(float x, float z, Fn fn, Done done) {
  NewStamp();
  for (int item : m_unfiled) {
    if (!Seen(item)) fn(item);
  }
  if (m_cellsX == 0) return;
  int cx, cz, unused0, unused1;
  CellRange(x, z, x, z, cx, cz, unused0, unused1);
  const bool finite = std::isfinite(x) && std::isfinite(z);
  const int maxRing = std::max(m_cellsX, m_cellsZ);
  for (int r = 0; r <= maxRing; ++r) {
    for (int gz = cz - r; gz <= cz + r; ++gz) {
      if (gz < 0 || gz >= m_cellsZ) continue;
      const bool fullRow = gz == cz - r || gz == cz + r;
      for (int gx = cx - r; gx <= cx + r; gx += (fullRow || r == 0) ? 1 : 2 * r) {
        if (gx < 0 || gx >= m_cellsX) continue;
        const int c = gz * m_cellsX + gx;
        for (int k = m_cellStart[c]; k < m_cellStart[c + 1]; ++k) {
          if (!Seen(m_items[k])) fn(m_items[k]);
        }
      }
    }
    if (!finite) continue;
    const float loX = m_originX + static_cast<float>(cx - r) * m_cellSize;
    const float hiX = m_originX + static_cast<float>(cx + r + 1) * m_cellSize;
    const float loZ = m_originZ + static_cast<float>(cz - r) * m_cellSize;
    const float hiZ = m_originZ + static_cast<float>(cz + r + 1) * m_cellSize;
    if (done(std::min(std::min(x - loX, hiX - x), std::min(z - loZ, hiZ - z)))) return;
  }
}

}  // namespace quillane
