// Private to the nav mesh's sources: the grids it files its boundary and nodes in.
#pragma once

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
};

}  // namespace quillane
