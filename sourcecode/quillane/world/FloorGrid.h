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
