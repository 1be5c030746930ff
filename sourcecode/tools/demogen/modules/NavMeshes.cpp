// The scenes' walkable floors written as "navmesh.xml": each open cell of the floor's walkable
// grid as two triangles over shared corners (so every inner edge joins two faces and no edge is
// degenerate), as an Ogre XML mesh followed by a second root "cameras" holding the scene camera.
// The path-finder test module's fixed "scenes/Jail/navmesh.xml" is a copy of the office's.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/SceneTables.h"
#include "core/WalkableGrid.h"

namespace demogen {

namespace {

std::string Num(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
  return buffer;
}

std::string NavMeshXml(const st_DemoScene& scene, const st_SceneFloor& floor) {
  const st_WalkableGrid grid = BuildWalkableGrid(scene, floor);
  const int columns = grid.Columns(), rows = grid.Rows();
  std::vector<int> vertexOf(static_cast<size_t>(columns + 1) * (rows + 1), -1);
  std::string vertices, faces;
  int vertexCount = 0, faceCount = 0;
  auto vertex = [&](int i, int k) {
    int& v = vertexOf[static_cast<size_t>(k) * (columns + 1) + i];
    if (v < 0) {
      v = vertexCount++;
      vertices += "        <vertex>\n          <position x=\"" + Num(grid.xs[i]) + "\" y=\"0\" z=\"" + Num(grid.zs[k]) +
                  "\"/>\n          <normal x=\"0\" y=\"1\" z=\"0\"/>\n          <texcoord u=\"" +
                  Num(static_cast<float>(i) / static_cast<float>(columns)) + "\" v=\"" +
                  Num(static_cast<float>(k) / static_cast<float>(rows)) + "\"/>\n        </vertex>\n";
    }
    return v;
  };
  auto face = [&](int a, int b, int c) {
    faces += "        <face v1=\"" + std::to_string(a) + "\" v2=\"" + std::to_string(b) + "\" v3=\"" +
             std::to_string(c) + "\"/>\n";
    ++faceCount;
  };
  for (int k = 0; k < rows; ++k)
    for (int i = 0; i < columns; ++i) {
      if (!grid.Open(i, k)) continue;
      const int a = vertex(i, k), b = vertex(i, k + 1), c = vertex(i + 1, k + 1), d = vertex(i + 1, k);
      face(a, b, c);
      face(a, c, d);
    }
  const st_SceneCamera& cam = scene.camera;
  std::string xml = "<mesh>\n  <submeshes>\n    <submesh material=\"navmesh\" usesharedvertices=\"false\">\n";
  xml += "      <faces count=\"" + std::to_string(faceCount) + "\">\n" + faces + "      </faces>\n";
  xml += "      <geometry vertexcount=\"" + std::to_string(vertexCount) + "\">\n";
  xml += "      <vertexbuffer positions=\"true\" normals=\"true\" texture_coords=\"1\">\n" + vertices;
  xml += "      </vertexbuffer>\n      </geometry>\n    </submesh>\n  </submeshes>\n</mesh>\n";
  xml += "<cameras>\n  <camera>\n";
  xml += "    <position x=\"" + Num(cam.position[0]) + "\" y=\"" + Num(cam.position[1]) + "\" z=\"" + Num(cam.position[2]) + "\"/>\n";
  xml += "    <rotation x=\"" + Num(cam.rotation[0]) + "\" y=\"" + Num(cam.rotation[1]) + "\" z=\"" + Num(cam.rotation[2]) + "\"/>\n";
  xml += "    <fov horizontal=\"" + Num(cam.fovHorizontal) + "\" vertical=\"" + Num(cam.fovVertical) + "\"/>\n";
  xml += "  </camera>\n</cameras>\n";
  return xml;
}

}  // namespace

bool MakeNavMeshes(cl_Output& out) {
  bool ok = true;
  for (const st_DemoScene& scene : DemoScenes())
    for (const st_SceneFloor& floor : scene.floors) {
      if (std::strcmp(floor.file, "navmesh.xml") != 0) continue;  // the pier is LightWave's (Pier.cpp)
      const std::string xml = NavMeshXml(scene, floor);
      ok &= out.WriteText(std::string("Scenes/") + scene.name + "/navmesh.xml", xml);
      if (std::string(scene.name) == "Office") ok &= out.WriteText("scenes/Jail/navmesh.xml", xml);
    }
  return ok;
}

}  // namespace demogen
