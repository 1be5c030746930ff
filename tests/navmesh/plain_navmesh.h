// The reference for cl_NavMesh's fast paths: the graph, the floor queries and the whole path
// pipeline written out plainly (linear scans over every edge and node, a fresh heap and weights
// for every search), from the same built mesh. The tests require equal results point for point.
#pragma once

#include <list>
#include <vector>

#include "graphics/mesh/Mesh.h"
#include "quillane/world/NavMesh.h"

namespace navtest {

class cl_PlainNavMesh {
 public:
  // mesh has been through the nav mesh's build (merged, edge list made).
  explicit cl_PlainNavMesh(const base::cl_Mesh& mesh);

  bool IsInside(const quillane::tPoint& p) const;
  quillane::tPoint NearestBoundaryPoint(const quillane::tPoint& p) const;
  bool SegmentHitsBoundary(const quillane::tPoint& p0, const quillane::tPoint& p1) const;
  bool FindPath(const quillane::tPoint& p, const quillane::tPoint& q, quillane::tPointList& out,
                const quillane::tPointList* obstacles);

  struct st_Node {
    const base::cl_Mesh::st_Edge* edge;
    quillane::tPoint position;
    std::vector<int> neighbours;
    std::vector<float> weights;
    int parent = -1;
    float cost = 0.0f;
  };
  std::vector<st_Node> nodes;
  quillane::tPointList boundary;  // A, B pairs
  quillane::tPointList normals;

 private:
  int NearestNode(const quillane::tPoint& p) const;
  float EdgeCost(int from, int to) const;
  bool Search(int s, int g, std::list<int>& result);
  void Smooth(quillane::tPointList& points, const quillane::tPointList* obstacles) const;
  void Avoid(quillane::tPointList& points, const quillane::tPointList& obstacles) const;
  quillane::tPoint Clamp(const quillane::tPoint& q) const;
};

}  // namespace navtest
