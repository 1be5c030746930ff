// Helpers of the nav-mesh tests: generated floors (grids with holes, islands, slivers, duplicate
// vertices, many-cornered faces), nav meshes built from them through the mesh record, and an
// independent double-precision judge of whether a path stays on the floor.
#pragma once

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/File.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/world/NavMesh.h"

namespace navtest {

using base::cl_Mesh;
using quillane::cl_NavMesh;
using quillane::tPoint;
using quillane::tPointList;
using V2 = base::tVector2<float>;
using V3 = base::tVector3<float>;

struct st_FloorSpec {
  int cellsX = 10, cellsZ = 10;
  float cell = 20.0f;
  V3 origin{0, 0, 0};
  std::set<std::pair<int, int>> holes;  // cells left out
  bool quads = false;                   // quads instead of two triangles per cell
  bool duplicateVertices = false;       // every face gets vertices of its own (merged at build)
};

// A floor of cells on the (x, z) plane.
inline void BuildFloor(cl_Mesh& m, const st_FloorSpec& s) {
  std::vector<cl_Mesh::st_Vertex*> grid;
  auto vertex = [&](int x, int z) {
    const V3 p = s.origin + V3(x * s.cell, 0.0f, z * s.cell);
    if (s.duplicateVertices) return m.AddVertex(p, V3(0, 1, 0), V2(0, 0));
    auto*& v = grid[z * (s.cellsX + 1) + x];
    if (!v) v = m.AddVertex(p, V3(0, 1, 0), V2(0, 0));
    return v;
  };
  grid.assign((s.cellsX + 1) * (s.cellsZ + 1), nullptr);
  for (int z = 0; z < s.cellsZ; ++z) {
    for (int x = 0; x < s.cellsX; ++x) {
      if (s.holes.count({x, z})) continue;
      if (s.quads) {
        cl_Mesh::st_Vertex* c[4] = {vertex(x, z), vertex(x + 1, z), vertex(x + 1, z + 1), vertex(x, z + 1)};
        m.AddFace(c, 4);
      } else {
        auto* a = vertex(x, z);
        auto* b = vertex(x + 1, z);
        auto* c = vertex(x + 1, z + 1);
        m.AddTriangle(a, b, c);
        auto* a2 = s.duplicateVertices ? vertex(x, z) : a;
        auto* c2 = s.duplicateVertices ? vertex(x + 1, z + 1) : c;
        m.AddTriangle(a2, c2, vertex(x, z + 1));
      }
    }
  }
}

// A regular polygon of `corners` corners as one face, centred at c.
inline void AddPolygonFace(cl_Mesh& m, V3 c, float radius, int corners) {
  std::vector<cl_Mesh::st_Vertex*> v;
  for (int i = 0; i < corners; ++i) {
    const float a = 6.2831853f * i / corners;
    v.push_back(m.AddVertex(c + V3(std::cos(a) * radius, 0, std::sin(a) * radius), V3(0, 1, 0), V2(0, 0)));
  }
  m.AddFace(v.data(), corners);
}

// The mesh's record bytes.
std::string MeshRecord(cl_Mesh& m);
// A nav mesh read from the record of m (the way a compiled scene holds it).
std::unique_ptr<cl_NavMesh> NavMeshFrom(cl_Mesh& m);
std::unique_ptr<cl_NavMesh> NavMeshFromBytes(const std::string& bytes);
// A nav mesh of a plain floor of cellsX × cellsZ cells of 20 units.
std::unique_ptr<cl_NavMesh> FloorNavMesh(int cellsX, int cellsZ);

// ---- independent judge, in double precision, from the mesh's faces
struct st_Floor {
  std::vector<std::vector<std::pair<double, double>>> faces;  // (x, z) corners
};
st_Floor FloorOf(const cl_Mesh& m);
// Inside some face, or within tolerance of a face's outline.
bool OnFloor(const st_Floor& floor, double x, double z, double tolerance);
// Every point of the segment sampled at most `step` apart lies on the floor.
bool SegmentOnFloor(const st_Floor& floor, const tPoint& a, const tPoint& b, double tolerance, double step = 0.5);

}  // namespace navtest
