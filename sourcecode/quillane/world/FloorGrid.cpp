#include "quillane/world/FloorGrid.h"

#include <algorithm>
#include <cmath>

namespace quillane {

namespace {
constexpr int kMaxCellsPerAxis = 512;

bool Finite(const cl_FloorGrid::st_Box& b) {
  return std::isfinite(b.minX) && std::isfinite(b.minZ) && std::isfinite(b.maxX) && std::isfinite(b.maxZ);
}
}  // namespace

void cl_FloorGrid::Clear() {
  m_cellsX = m_cellsZ = 0;
  m_itemCount = 0;
  m_cellStart.clear();
  m_items.clear();
  m_unfiled.clear();
  m_stamps.clear();
}

int cl_FloorGrid::CellOf(float v, float origin, int count) const {
  const float c = (v - origin) / m_cellSize;
  // Compared as floats first: NaN and far-away values must not reach the int conversion.
  if (!(c >= 0.0f)) return 0;
  if (c >= static_cast<float>(count - 1)) return count - 1;
  return static_cast<int>(c);
}

void cl_FloorGrid::CellRange(float minX, float minZ, float maxX, float maxZ, int& x0, int& z0, int& x1, int& z1) const {
  x0 = CellOf(minX, m_originX, m_cellsX);
  z0 = CellOf(minZ, m_originZ, m_cellsZ);
  x1 = CellOf(maxX, m_originX, m_cellsX);
  z1 = CellOf(maxZ, m_originZ, m_cellsZ);
}

void cl_FloorGrid::NewStamp() {
  if (++m_stamp == 0) {
    std::fill(m_stamps.begin(), m_stamps.end(), 0u);
    m_stamp = 1;
  }
}

void cl_FloorGrid::Build(const std::vector<st_Box>& boxes, float cellSize) {
  Clear();
  m_itemCount = static_cast<int>(boxes.size());
  m_stamps.assign(boxes.size(), 0u);
  m_stamp = 0;
  float minX = INFINITY, minZ = INFINITY, maxX = -INFINITY, maxZ = -INFINITY;
  for (int i = 0; i < m_itemCount; ++i) {
    const st_Box& b = boxes[i];
    if (!Finite(b)) {
      m_unfiled.push_back(i);
      continue;
    }
    minX = std::min(minX, b.minX);
    minZ = std::min(minZ, b.minZ);
    maxX = std::max(maxX, b.maxX);
    maxZ = std::max(maxZ, b.maxZ);
  }
  if (!(minX <= maxX)) return;  // nothing filed
  const double extent = std::max(static_cast<double>(maxX) - minX, static_cast<double>(maxZ) - minZ);
  double size = std::isfinite(cellSize) && cellSize > 0.0f ? cellSize : 1.0;
  size = std::max(size, extent / kMaxCellsPerAxis);
  if (!(size > 0.0) || !std::isfinite(size)) size = 1.0;
  m_cellSize = static_cast<float>(size);
  m_originX = minX;
  m_originZ = minZ;
  m_cellsX = std::clamp(static_cast<int>((static_cast<double>(maxX) - minX) / size) + 1, 1, kMaxCellsPerAxis + 1);
  m_cellsZ = std::clamp(static_cast<int>((static_cast<double>(maxZ) - minZ) / size) + 1, 1, kMaxCellsPerAxis + 1);

  // Two passes: count per cell, then fill, so the cells are packed in one array.
  m_cellStart.assign(static_cast<size_t>(m_cellsX) * m_cellsZ + 1, 0);
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<int> fill;
    if (pass == 1) {
      for (size_t c = 1; c < m_cellStart.size(); ++c) m_cellStart[c] += m_cellStart[c - 1];
      m_items.resize(m_cellStart.back());
      fill.assign(m_cellStart.begin(), m_cellStart.end() - 1);
    }
    for (int i = 0; i < m_itemCount; ++i) {
      const st_Box& b = boxes[i];
      if (!Finite(b)) continue;
      int x0, z0, x1, z1;
      CellRange(b.minX, b.minZ, b.maxX, b.maxZ, x0, z0, x1, z1);
      for (int cz = z0; cz <= z1; ++cz) {
        for (int cx = x0; cx <= x1; ++cx) {
          const int c = cz * m_cellsX + cx;
          if (pass == 0)
            ++m_cellStart[c + 1];
          else
            m_items[fill[c]++] = i;
        }
      }
    }
  }
}

}  // namespace quillane
