// A scene's walkable floor: a flat polygon mesh on the floor plane (x, z; y is height and never
// tested). cl_NavMesh builds a path graph (one node per mesh edge) and the mesh boundary from the
// geometry, and answers the floor questions of characters, picking and the debug views. Main
// thread only; one search at a time per nav mesh.
#pragma once

#include <memory>
#include <vector>

#include "base/math/Vector.h"
#include "base/String.h"
#include "quillane/world/PathFinder.h"

namespace base {
class cl_Camera;
class cl_Camera2D;
class cl_Mesh;
class File;
class Variant;
}  // namespace base

namespace quillane {

using tPoint = base::tVector3<float>;
// A path is a list of points (x, y, z); an obstacle list holds circles as (x, z, radius).
using tPointList = std::vector<tPoint>;

class i_NavMesh {
 public:
  virtual ~i_NavMesh() = default;
  // Reads the attribute "file" of the description; false when absent, else LoadMesh of the
  // file in scenePath (the scene's folder, "Scenes/<name>/").
  virtual bool Load(const char* scenePath, const base::Variant& description) = 0;
  // Loads the mesh through the loader of the file's extension and builds the graph.
  virtual bool LoadMesh(const char* path) = 0;
  // A walkable path from start towards goal around the obstacles (null for none). On failure
  // out is left as it was. A path with more points than the floor's size allows (from a start far
  // off the floor) is refused with a warning.
  virtual bool FindPath(const tPoint& start, const tPoint& goal, tPointList& out, const tPointList* obstacles) = 0;
  virtual void RenderDebug() = 0;  // filled mesh, wireframe and boundary in 3-D
  virtual tPoint GetNearestNodePosition(const tPoint& p) = 0;  // (0, 0, 0) without nodes
  // Target b kept at least r from the boundary, judged from a; a when b is outside.
  virtual tPoint AdjustPoint(const tPoint& a, const tPoint& b, float r) = 0;
  virtual bool IsInside(const tPoint& p) = 0;
  // Nearest point on the boundary, with p's height; p itself without a boundary.
  virtual void GetNearestBoundaryPoint(const tPoint& p, tPoint& out) = 0;
  // Line-of-sight smoothing in place; the list comes out reversed.
  virtual void SmoothPath(tPointList& points, const tPointList* obstacles) = 0;
  // True when the floor segment crosses a boundary edge or leaves the floor through a boundary
  // corner; a segment ending on the boundary does not cross it.
  virtual bool SegmentHitsBoundary(const tPoint& p0, const tPoint& p1) = 0;
  virtual tPoint GetCenter() = 0;  // centre of the first face; (0, 0, 0) without faces
  virtual bool PickRay(const tPoint& origin, const tPoint& direction, tPoint& hit) = 0;
  // The boundary point nearest on screen, 5 units inside the mesh. Always true.
  virtual bool PickScreen(float sx, float sy, base::cl_Camera& camera, tPoint& out) = 0;
  virtual void GetBounds(float bounds[6]) = 0;  // min x, y, z, max x, y, z
  // Smallest and largest vertex distance from p, widened by 200, near at least 0.1.
  virtual void GetVertexDistanceRange(const tPoint& p, float& zNear, float& zFar) = 0;
  virtual void RenderDebug2D(const base::cl_Camera2D& camera) = 0;  // graph and boundary from above
  virtual void WriteMesh(base::File* file) = 0;  // the mesh record
  // Replaces the mesh by the record; a damaged record leaves an empty nav mesh (logged).
  virtual void ReadMesh(base::File* file) = 0;
};

class cl_NavMesh final : public i_NavMesh, public tPathFinder<cl_PathNode> {
 public:
  static cl_NavMesh* Create();
  static cl_NavMesh* CreateFromFile(base::File* file);  // ReadMesh(file)

  cl_NavMesh();
  ~cl_NavMesh() override;

  bool Load(const char* scenePath, const base::Variant& description) override;
  bool LoadMesh(const char* path) override;
  bool FindPath(const tPoint& start, const tPoint& goal, tPointList& out, const tPointList* obstacles) override;
  void RenderDebug() override;
  tPoint GetNearestNodePosition(const tPoint& p) override;
  tPoint AdjustPoint(const tPoint& a, const tPoint& b, float r) override;
  bool IsInside(const tPoint& p) override;
  void GetNearestBoundaryPoint(const tPoint& p, tPoint& out) override;
  void SmoothPath(tPointList& points, const tPointList* obstacles) override;
  bool SegmentHitsBoundary(const tPoint& p0, const tPoint& p1) override;
  tPoint GetCenter() override;
  // The same point for the stage and the scene editor, which take it through an out parameter.
  void GetCenter(tPoint& out) { out = GetCenter(); }
  bool PickRay(const tPoint& origin, const tPoint& direction, tPoint& hit) override;
  bool PickScreen(float sx, float sy, base::cl_Camera& camera, tPoint& out) override;
  void GetBounds(float bounds[6]) override;
  void GetVertexDistanceRange(const tPoint& p, float& zNear, float& zFar) override;
  void RenderDebug2D(const base::cl_Camera2D& camera) override;
  void WriteMesh(base::File* file) override;
  void ReadMesh(base::File* file) override;

  // 3-D distance between the nodes × the weight stored for `to` in from's neighbours; the plain
  // distance when `to` is not a neighbour.
  float EdgeCost(cl_PathNode* from, cl_PathNode* to) override;

  // The node at the smallest 3-D distance (the first on ties); null without nodes.
  cl_PathNode* FindNearestNode(const tPoint& p);
  cl_PathNode* FindNodeForEdge(const void* edge);  // null when the edge has no node
  static float PathLength(const tPointList& points);  // sum of 3-D segment lengths
  // Crosses at the points and lines between them, yellow where a segment leaves the nav mesh
  // last drawn by RenderDebug (magenta when there is none).
  static void RenderPathDebug(const tPointList& points);

  // ---- path pipeline steps (public for the tests)
  // Nearest nodes, goal moved out of obstacles, neighbour weights, search, node positions.
  bool FindPathNodes(const tPoint& p, const tPoint& q, tPointList& out, const tPointList* obstacles);
  static void SubdividePath(tPointList& points);
  void AvoidObstacles(tPointList& points, const tPointList& obstacles);
  static bool SegmentHitsObstacle(const tPoint& e, const tPoint& f, const tPointList& obstacles);

  // ---- read access for the debug views and the tests
  const base::cl_Mesh* GetMesh() const { return m_mesh.get(); }
  const std::vector<cl_PathNode>& GetNodes() const { return m_nodes; }
  const tPointList& GetBoundaryPoints() const { return m_boundaryPoints; }  // A, B per edge
  const tPointList& GetBoundaryNormals() const { return m_boundaryNormals; }
  const char* GetName() const { return m_name.c_str(); }

 private:
  struct st_Grid;
  struct st_Sight;

  void Clear();
  void BuildGraph();
  void BuildGrid();
  void WriteWeights(const tPointList* obstacles);
  // The most points the first subdivision of a path found on this floor can give.
  double MaxPathPoints() const;
  // The goal as it ends a path: q inside the mesh, else its nearest boundary point.
  tPoint ClampGoal(const tPoint& q);
  enum en_Crossing { CROSSING_NONE, CROSSING_PROPER, CROSSING_CORNER };
  // How the floor segment meets boundary edge i: crossing it between the ends of both, not at all,
  // or with the edge's line through A or B (CornerBlocks decides that case).
  en_Crossing EdgeCrossing(const tPoint& p0, const tPoint& p1, int edge) const;
  // For a segment whose line passes through a corner of boundary edge i: true when the corner lies
  // inside the segment and the segment leaves the floor there.
  bool CornerBlocks(const tPoint& p0, const tPoint& p1, int edge);
  // True when boundary edge i blocks the floor segment: a proper crossing, or a corner case that
  // CornerBlocks finds leaving the floor.
  bool EdgeBlocksSegment(const tPoint& p0, const tPoint& p1, int edge);
  // A boundary edge that blocks the segment, looked for from p0's end outwards; -1 when none.
  int FindBlockingEdge(const tPoint& p0, const tPoint& p1);
  // For a boundary corner on the segment's line: true when it lies inside the segment and the
  // segment is off the floor just before or after it.
  bool CornerLeavesFloor(const tPoint& p0, const tPoint& p1, const tPoint& corner);

  base::tString<base::BaseString> m_name;
  std::vector<cl_PathNode> m_nodes;  // one per mesh edge, in edge order
  std::vector<cl_PathNode*> m_neighbourSlots;
  std::vector<float> m_weightSlots;
  std::vector<float> m_lengthSlots;
  std::vector<float> m_costSlots;  // length × weight
  bool m_plainWeights = true;      // every weight is 1 (no obstacle in the last query)
  tPointList m_boundaryPoints;
  tPointList m_boundaryNormals;
  std::unique_ptr<base::cl_Mesh> m_mesh;
  std::unique_ptr<st_Grid> m_grid;
};

}  // namespace quillane
