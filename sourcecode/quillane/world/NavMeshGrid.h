// Private to the nav mesh's sources: the grids it files its boundary and nodes in, and the
// orientation test that the segment tests and the smoothing's sight share to the last bit.
#pragma once

#include <vector>

#include "quillane/world/FloorGrid.h"
#include "quillane/world/NavMesh.h"

namespace quillane {

// Boundary edges filed by their floor box, graph nodes by their position, and boundary edges
// again by the range of z − x they span (the inside test's ray runs along (1, 1), on which z − x
// is constant).
struct cl_NavMesh::st_Grid {
  cl_FloorGrid edges;
  cl_FloorGrid nodes;
  cl_FloorGrid diagonal;
  float maxNeighbourDistance = 0.0f;  // longest floor distance between neighbours
  // Per boundary edge, another boundary edge at its A and at its B (-1 where none): the walls the
  // smoothing tries next to one that blocked its sight.
  std::vector<int> boundaryLinks;
};

// (u × v) on the floor for u = b − a, v = c − a given in double: its sign is the turn a → b → c.
inline double Turn(double ux, double uz, double vx, double vz) { return ux * vz - uz * vx; }

// Sign of the turn a → b → c in double: exact enough for float inputs of any size.
inline int Orientation(const tPoint& a, const tPoint& b, const tPoint& c) {
  const double v = Turn(static_cast<double>(b.x) - a.x, static_cast<double>(b.z) - a.z, static_cast<double>(c.x) - a.x,
                        static_cast<double>(c.z) - a.z);
  return (v > 0.0) - (v < 0.0);
}

}  // namespace quillane
