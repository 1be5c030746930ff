// The scenes' walkable floors (Scenes/<scene>/navmesh.xml): each scene's floor is a rectangle of
// square cells with cells left out for the props standing on it, written as an Ogre XML mesh of
// two triangles per cell, followed by a second root "cameras" holding the scene camera. The
// path-finder test module's fixed "scenes/Jail/navmesh.xml" is a copy of the office's.
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/SceneTables.h"

namespace demogen {

namespace {

struct st_SceneFloor {
  const char* file;
  float cell;                              // world units per cell
  float originX, originZ;                  // the floor's corner
  int cellsX, cellsZ;
  std::set<std::pair<int, int>> blocked;   // (x, z) cells under props
  const char* scene;                       // the scene table holding the camera
};

// Cells and props follow the scene sketches: the office desk and cabinet, the quay's kiosk and
// bollards, the stage's centre pillar.
const std::vector<st_SceneFloor>& Floors() {
  static const std::vector<st_SceneFloor> floors = {
      {"Scenes/Office/navmesh.xml", 100.0f, -400.0f, -250.0f, 8, 5, {{3, 2}, {4, 2}, {7, 0}}, "Office"},
      {"Scenes/Quay/navmesh.xml", 100.0f, -600.0f, -200.0f, 12, 4, {{2, 1}, {3, 1}, {8, 3}, {10, 0}}, "Quay"},
      {"Scenes/Stage/navmesh.xml", 100.0f, -350.0f, -250.0f, 7, 5, {{3, 2}}, "Stage"},
  };
  return floors;
}

std::string Num(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
  return buffer;
}

std::string NavMeshXml(const st_SceneFloor& f) {
  // Vertices are shared between the cells of the grid; a cell's triangles are wound alike.
  std::vector<int> vertexOf((f.cellsX + 1) * (f.cellsZ + 1), -1);
  std::string vertices, faces;
  int vertexCount = 0, faceCount = 0;
  auto vertex = [&](int x, int z) {
    int& v = vertexOf[z * (f.cellsX + 1) + x];
    if (v < 0) {
      v = vertexCount++;
      const float px = f.originX + static_cast<float>(x) * f.cell, pz = f.originZ + static_cast<float>(z) * f.cell;
      vertices += "        <vertex>\n          <position x=\"" + Num(px) + "\" y=\"0\" z=\"" + Num(pz) +
                  "\"/>\n          <normal x=\"0\" y=\"1\" z=\"0\"/>\n          <texcoord u=\"" +
                  Num(static_cast<float>(x) / static_cast<float>(f.cellsX)) + "\" v=\"" +
                  Num(static_cast<float>(z) / static_cast<float>(f.cellsZ)) + "\"/>\n        </vertex>\n";
    }
    return v;
  };
  auto face = [&](int a, int b, int c) {
    faces += "        <face v1=\"" + std::to_string(a) + "\" v2=\"" + std::to_string(b) + "\" v3=\"" + std::to_string(c) +
             "\"/>\n";
    ++faceCount;
  };
  for (int z = 0; z < f.cellsZ; ++z) {
    for (int x = 0; x < f.cellsX; ++x) {
      if (f.blocked.count({x, z})) continue;
      const int a = vertex(x, z), b = vertex(x, z + 1), c = vertex(x + 1, z + 1), d = vertex(x + 1, z);
      face(a, b, c);
      face(a, c, d);
    }
  }
  const st_SceneCamera* camera = nullptr;
  for (const st_DemoScene& scene : DemoScenes())
    if (std::string(scene.name) == f.scene) camera = &scene.camera;
  if (!camera) return {};
  const st_SceneCamera& cam = *camera;
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
  for (const st_SceneFloor& f : Floors()) {
    const std::string xml = NavMeshXml(f);
    ok &= out.WriteText(f.file, xml);
    if (std::string(f.file) == "Scenes/Office/navmesh.xml") ok &= out.WriteText("scenes/Jail/navmesh.xml", xml);
  }
  return ok;
}

}  // namespace demogen
