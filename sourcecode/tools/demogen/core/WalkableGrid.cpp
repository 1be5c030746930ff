#include "core/WalkableGrid.h"

#include <algorithm>
#include <cmath>

namespace demogen {

namespace {

// The borders of one axis: the given lines, and even steps between them no wider than cell.
std::vector<float> Borders(std::vector<float> lines, float lo, float hi, float cell) {
  lines.push_back(lo), lines.push_back(hi);
  std::vector<float> kept;
  for (const float v : lines)
    if (v >= lo && v <= hi) kept.push_back(v);
  std::sort(kept.begin(), kept.end());
  // Lines a few centimetres apart are one: no sliver of a cell along an edge.
  kept.erase(std::unique(kept.begin(), kept.end(), [](float a, float b) { return std::fabs(a - b) < 5.0f; }),
             kept.end());
  kept.back() = hi;
  // Whole tens: the engine's boundary test truncates differences to whole units, so lines on
  // round numbers keep a path from slipping through a corner by a fraction.
  std::vector<float> out;
  for (size_t i = 0; i + 1 < kept.size(); ++i) {
    const int steps = std::max(1, static_cast<int>(std::ceil((kept[i + 1] - kept[i]) / cell)));
    for (int s = 0; s < steps; ++s)
      out.push_back(
          std::round((kept[i] + (kept[i + 1] - kept[i]) * static_cast<float>(s) / static_cast<float>(steps)) / 10.0f) *
          10.0f);
  }
  out.push_back(std::round(kept.back() / 10.0f) * 10.0f);
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace

bool InsidePolygon(const std::vector<tV2>& polygon, const tV2& p) {
  bool inside = false;
  for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const tV2 &a = polygon[i], &b = polygon[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) / (b.y - a.y) * (b.x - a.x)) inside = !inside;
  }
  return inside;
}

st_WalkableGrid BuildWalkableGrid(const st_DemoScene& scene, const st_SceneFloor& floor) {
  st_WalkableGrid grid;
  if (floor.outline.size() < 3) return grid;
  float x0 = floor.outline[0].x, x1 = x0, z0 = floor.outline[0].y, z1 = z0;
  std::vector<float> xLines, zLines;
  for (const tV2& p : floor.outline) {
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), z0 = std::min(z0, p.y), z1 = std::max(z1, p.y);
    xLines.push_back(p.x), zLines.push_back(p.y);
  }
  struct st_Footprint {
    float x0, z0, x1, z1;
  };
  std::vector<st_Footprint> blocked;
  // Each obstacle blocks the box round all its solids: a desk's drawers and lamp need no cells
  // of their own.
  for (const char* part : floor.obstacles) {
    tV3 lo, hi;
    if (!scene.PartBounds(part, lo, hi)) continue;
    const st_Footprint f{lo.x - floor.margin, lo.z - floor.margin, hi.x + floor.margin, hi.z + floor.margin};
    if (f.x1 <= x0 || f.x0 >= x1 || f.z1 <= z0 || f.z0 >= z1) continue;  // off this floor
    blocked.push_back(f);
    xLines.push_back(f.x0), xLines.push_back(f.x1), zLines.push_back(f.z0), zLines.push_back(f.z1);
  }
  grid.xs = Borders(xLines, x0, x1, floor.cell);
  grid.zs = Borders(zLines, z0, z1, floor.cell);
  const int columns = grid.Columns(), rows = grid.Rows();
  grid.open.assign(static_cast<size_t>(columns) * rows, false);

  const base::cl_Camera camera = DemoSceneCamera(scene);
  for (int k = 0; k < rows; ++k)
    for (int i = 0; i < columns; ++i) {
      const tV2 middle((grid.xs[i] + grid.xs[i + 1]) * 0.5f, (grid.zs[k] + grid.zs[k + 1]) * 0.5f);
      bool open = InsidePolygon(floor.outline, middle);
      for (const st_Footprint& f : blocked)
        if (middle.x > f.x0 && middle.x < f.x1 && middle.y > f.z0 && middle.y < f.z1) open = false;
      // A floor the camera does not show cannot be clicked and should not be walked.
      const tV2 seen = DemoSceneProject(scene, camera, tV3(middle.x, 0.0f, middle.y));
      if (camera.GetZDistance(tV3(middle.x, 0.0f, middle.y)) > 0.0f || seen.x < 8.0f || seen.y < 0.0f ||
          seen.x > static_cast<float>(scene.width) - 8.0f || seen.y > static_cast<float>(scene.height) - 8.0f)
        open = false;
      grid.open[static_cast<size_t>(k) * columns + i] = open;
    }

  // Keep the largest patch of cells joined by their sides.
  std::vector<int> patch(grid.open.size(), -1);
  int best = -1, bestSize = 0;
  for (size_t start = 0; start < grid.open.size(); ++start) {
    if (!grid.open[start] || patch[start] >= 0) continue;
    const int id = static_cast<int>(start);
    std::vector<size_t> stack = {start};
    patch[start] = id;
    int size = 0;
    while (!stack.empty()) {
      const size_t c = stack.back();
      stack.pop_back();
      ++size;
      const int i = static_cast<int>(c % columns), k = static_cast<int>(c / columns);
      for (const auto& [di, dk] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        const int ni = i + di, nk = k + dk;
        if (ni < 0 || nk < 0 || ni >= columns || nk >= rows) continue;
        const size_t n = static_cast<size_t>(nk) * columns + ni;
        if (grid.open[n] && patch[n] < 0) patch[n] = id, stack.push_back(n);
      }
    }
    if (size > bestSize) best = id, bestSize = size;
  }
  for (size_t c = 0; c < grid.open.size(); ++c) grid.open[c] = grid.open[c] && patch[c] == best;
  return grid;
}

}  // namespace demogen
