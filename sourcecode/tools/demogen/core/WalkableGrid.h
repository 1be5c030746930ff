// A scene floor's walkable cells: a grid whose lines run along the floor polygon's corners and
// the obstacles' edges, so the cut-outs are exact, with cells no wider than the floor's cell size.
// A cell is open when its middle lies inside the polygon, outside every obstacle, and on the
// scene image; only the largest connected patch is kept, so every open cell can be walked to.
// The nav-mesh writers turn each open cell into two triangles over shared corners.
#pragma once

#include <vector>

#include "core/SceneTables.h"

namespace demogen {

struct st_WalkableGrid {
  std::vector<float> xs, zs;  // cell borders, ascending
  std::vector<bool> open;     // cell (i, k) at k * (xs.size() - 1) + i

  int Columns() const { return static_cast<int>(xs.size()) - 1; }
  int Rows() const { return static_cast<int>(zs.size()) - 1; }
  bool Open(int i, int k) const { return open[static_cast<size_t>(k) * Columns() + i]; }
};

st_WalkableGrid BuildWalkableGrid(const st_DemoScene& scene, const st_SceneFloor& floor);

// Even-odd test of a floor point against a polygon of (x, z) points.
bool InsidePolygon(const std::vector<tV2>& polygon, const tV2& p);

}  // namespace demogen
