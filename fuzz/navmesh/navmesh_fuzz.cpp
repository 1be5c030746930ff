// Reads arbitrary bytes as a nav mesh's record, then runs the floor queries and path searches
// between points taken from the input's tail and from the mesh itself: nothing may read out of
// bounds, and a path found never holds a non-finite point.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/File.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/world/NavMesh.h"

#include "../BaseFuzz.h"

namespace {
using quillane::tPoint;

bool Finite(const tPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 32 * 1024)) return 0;
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.navmesh")) return 0;
  std::unique_ptr<quillane::cl_NavMesh> nav(quillane::cl_NavMesh::CreateFromFile(&f));

  // Query points: the last floats of the input, then mesh vertices.
  std::vector<tPoint> points;
  for (size_t at = size >= 96 ? size - 96 : 0; at + 12 <= size; at += 12) {
    float v[3];
    std::memcpy(v, data + at, sizeof v);
    points.emplace_back(v[0], v[1], v[2]);
  }
  const base::cl_Mesh* mesh = nav->GetMesh();
  for (int i = 0; mesh && i < mesh->vertices.size() && i < 8; ++i) points.push_back(mesh->vertices[i]->position);

  float b[6];
  nav->GetBounds(b);
  // Paths are subdivided every 10 units and smoothed in up to quadratic time: floors far larger
  // than a room's, or many long paths in one input, only time out.
  const bool walkable = nav->GetNodes().size() < 600 && std::fabs(b[3] - b[0]) < 1500.0f && std::fabs(b[5] - b[2]) < 1500.0f;
  quillane::tPointList obstacles;
  int paths = 0;
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    const tPoint& p = points[i];
    const tPoint& q = points[i + 1];
    tPoint out;
    nav->IsInside(p);
    nav->GetNearestBoundaryPoint(p, out);
    nav->SegmentHitsBoundary(p, q);
    nav->AdjustPoint(p, q, 3.0f);
    nav->GetNearestNodePosition(p);
    float zNear, zFar;
    nav->GetVertexDistanceRange(p, zNear, zFar);
    nav->PickRay(p, q, out);
    // Ends far off the floor make long paths of 10-unit steps, slow but not wrong.
    auto onFloor = [&](const tPoint& x) {
      return x.x >= b[0] - 100.0f && x.x <= b[3] + 100.0f && x.z >= b[2] - 100.0f && x.z <= b[5] + 100.0f &&
             x.y >= b[1] - 100.0f && x.y <= b[4] + 100.0f;
    };
    const bool near = onFloor(p) && onFloor(q);
    if (!walkable || !near || ++paths > 3) continue;
    quillane::tPointList path;
    if (nav->FindPath(p, q, path, obstacles.empty() ? nullptr : &obstacles)) {
      for (const tPoint& x : path) {
        if (!Finite(x)) __builtin_trap();
      }
    }
    // Obstacles are characters, tens of units across; a circle over the whole floor sends the
    // detour far outside it, and smoothing that long path only times out.
    if (std::isfinite(p.y) && std::fabs(p.y) < 100.0f) obstacles.emplace_back(p.x, p.z, std::fabs(p.y));
  }
  nav->GetCenter();
  return 0;
}
