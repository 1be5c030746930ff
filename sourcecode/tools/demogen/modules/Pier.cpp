// The quay's pier (Scenes/Quay/pier.lwo), the demo's one LightWave object and the nav mesh Pell
// walks on: the pier's walkable deck from the Quay's scene table, its cells as pairs of triangles
// over shared points, the outer row on each side tagged "Beams" and the rest "Planks", with a uv
// map over the deck. Flat at y = 0 in the scene's centimetres; LightWave's x runs the other way
// (the importer mirrors it back).
#include <cstring>
#include <string>
#include <vector>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/SceneTables.h"
#include "core/WalkableGrid.h"
#include "graphics/mesh/lwo/LwoWriter.h"

namespace demogen {

namespace {

std::string PierObject(const st_DemoScene& scene, const st_SceneFloor& floor) {
  const st_WalkableGrid grid = BuildWalkableGrid(scene, floor);
  const int columns = grid.Columns(), rows = grid.Rows();
  std::vector<base::st_LwoPoint3> points;
  std::vector<float> uvs;
  std::vector<std::vector<int>> polygons;
  std::vector<std::pair<int, int>> tags;
  std::vector<int> pointOf(static_cast<size_t>(columns + 1) * (rows + 1), -1);
  auto point = [&](int i, int k) {
    int& p = pointOf[static_cast<size_t>(k) * (columns + 1) + i];
    if (p < 0) {
      p = static_cast<int>(points.size());
      points.push_back({-grid.xs[i], 0.0f, grid.zs[k]});
      uvs.push_back(static_cast<float>(i) / static_cast<float>(columns));
      uvs.push_back(static_cast<float>(k) / static_cast<float>(rows));
    }
    return p;
  };
  for (int k = 0; k < rows; ++k)
    for (int i = 0; i < columns; ++i) {
      if (!grid.Open(i, k)) continue;
      const int a = point(i, k), b = point(i, k + 1), c = point(i + 1, k + 1), d = point(i + 1, k);
      const int tag = i == 0 || i == columns - 1 ? 1 : 0;
      for (const std::vector<int>& triangle : {std::vector<int>{a, b, c}, std::vector<int>{a, c, d}}) {
        tags.push_back({static_cast<int>(polygons.size()), tag});
        polygons.push_back(triangle);
      }
    }
  base::cl_LwoWriter w;
  w.Chunk("FORM").Id("LWO2");
  base::LwoWriteTags(w, {"Planks", "Beams"});
  w.Chunk("LAYR").U2(0).U2(0).F4s({0, 0, 0}).S0("pier").End();
  base::LwoWritePoints(w, points);
  w.Chunk("VMAP").Id("TXUV").U2(2).S0("uv");
  for (size_t i = 0; i < points.size(); ++i) w.VX(static_cast<int>(i)).F4(uvs[2 * i]).F4(uvs[2 * i + 1]);
  w.End();
  base::LwoWriteFaces(w, polygons);
  base::LwoWritePolygonTags(w, "SURF", tags);
  w.Chunk("SURF").S0("Planks").S0("").Sub("COLR").F4s({0.55f, 0.42f, 0.3f}).VX(0).End().End();
  w.Chunk("SURF").S0("Beams").S0("").Sub("COLR").F4s({0.3f, 0.22f, 0.16f}).VX(0).End().End();
  return w.End().bytes();
}

}  // namespace

bool MakePier(cl_Output& out) {
  for (const st_DemoScene& scene : DemoScenes())
    for (const st_SceneFloor& floor : scene.floors) {
      if (std::strcmp(floor.file, "pier.lwo") != 0) continue;
      const std::string bytes = PierObject(scene, floor);
      return out.WriteBytes(std::string("Scenes/") + scene.name + "/pier.lwo", bytes.data(), bytes.size());
    }
  return false;
}

}  // namespace demogen
