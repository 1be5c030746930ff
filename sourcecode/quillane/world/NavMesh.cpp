// Loading, the graph and boundary build, and the floor queries of the navigation mesh. The path
// pipeline is in NavMeshPath.cpp, the debug views in NavMeshDebug.cpp.
#include "quillane/world/NavMesh.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/data/Variant.h"
#include "base/File.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/mesh/Geometry.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/world/NavMeshGrid.h"
#include "quillane/world/NavMeshDebug.h"

namespace quillane {

using base::cl_Mesh;
using V2 = base::tVector2<float>;

namespace {
constexpr float kMergeTolerance = 0.01f;

V2 Floor(const tPoint& p) { return V2(p.x, p.z); }
}  // namespace

cl_NavMesh* cl_NavMesh::Create() { return new cl_NavMesh; }

cl_NavMesh* cl_NavMesh::CreateFromFile(base::File* file) {
  cl_NavMesh* mesh = new cl_NavMesh;
  mesh->ReadMesh(file);
  return mesh;
}

cl_NavMesh::cl_NavMesh() : m_grid(new st_Grid) {}

cl_NavMesh::~cl_NavMesh() {
  ForgetDebugNavMesh(this);
  Clear();
}

void cl_NavMesh::Clear() {
  m_nodes.clear();
  m_neighbourSlots.clear();
  m_weightSlots.clear();
  m_lengthSlots.clear();
  m_costSlots.clear();
  m_plainWeights = true;
  m_boundaryPoints.clear();
  m_boundaryNormals.clear();
  m_mesh.reset();
  m_grid->edges.Clear();
  m_grid->nodes.Clear();
  m_grid->diagonal.Clear();
  m_grid->boundaryLinks.clear();
  m_grid->maxNeighbourDistance = 0.0f;
  m_name.clear();
}

// ---- loading

bool cl_NavMesh::Load(const char* scenePath, const base::Variant& description) {
  const base::Variant* file = description.get_attribute("file");
  const char* name = file ? file->get_string() : nullptr;
  if (!name || !*name) {
    base::sys::Output("ERROR: navigation mesh in '%s': attribute \"file\" missing\n", scenePath ? scenePath : "");
    return false;
  }
  base::tString<base::BaseString> path(scenePath ? scenePath : "");
  path += name;
  return LoadMesh(path.c_str());
}

bool cl_NavMesh::LoadMesh(const char* path) {
  Clear();
  base::RegisterMeshResourceType();  // the mesh loaders; registers once
  std::unique_ptr<cl_Mesh> mesh(new cl_Mesh);
  if (!base::tMultiFileFormatLoader<cl_Mesh>::LoadFileMultiFormat(path, mesh.get())) return false;
  m_mesh = std::move(mesh);
  BuildGraph();
  m_name = path ? path : "";
  return true;
}

void cl_NavMesh::WriteMesh(base::File* file) {
  if (m_mesh) {
    m_mesh->Write(file);
    return;
  }
  cl_Mesh empty;
  empty.Write(file);
}

void cl_NavMesh::ReadMesh(base::File* file) {
  Clear();
  m_mesh.reset(new cl_Mesh);
  m_mesh->Read(file);  // a damaged record logs its error and leaves the mesh empty
  if (file && file->has_error()) m_mesh->Clear();
  BuildGraph();
}

// ---- graph and boundary

void cl_NavMesh::BuildGraph() {
  cl_Mesh& mesh = *m_mesh;
  mesh.CalcConnectivity();
  const int unmerged = mesh.vertices.size();
  mesh.MergeVertices(kMergeTolerance);
  // Without a merge the connectivity is what the first pass found.
  if (mesh.vertices.size() != unmerged) mesh.CalcConnectivity();
  mesh.BuildEdgeList();
  mesh.CalcAABB();

  const int edgeCount = mesh.edges.size();
  m_nodes.assign(edgeCount, cl_PathNode());
  size_t slots = 0;
  for (int i = 0; i < edgeCount; ++i) {
    const cl_Mesh::st_Edge* e = mesh.edges[i];
    cl_PathNode& n = m_nodes[i];
    n.id = i + 1;
    n.element = e;
    n.position = e->centre;
    for (int f = 0; f < e->faces.size(); ++f) slots += e->faces[f]->edges.size() - 1;
  }
  // Slot arrays are sized before any node points into them.
  m_neighbourSlots.assign(slots, nullptr);
  m_weightSlots.assign(slots, 1.0f);
  m_lengthSlots.assign(slots, 0.0f);
  m_costSlots.assign(slots, 0.0f);
  size_t at = 0;
  float maxDistance = 0.0f;
  for (int i = 0; i < edgeCount; ++i) {
    const cl_Mesh::st_Edge* e = mesh.edges[i];
    cl_PathNode& n = m_nodes[i];
    n.neighbours = m_neighbourSlots.data() + at;
    n.weights = m_weightSlots.data() + at;
    n.lengths = m_lengthSlots.data() + at;
    n.costs = m_costSlots.data() + at;
    // A neighbour reached through two faces is listed twice.
    for (int f = 0; f < e->faces.size(); ++f) {
      const cl_Mesh::st_Face* face = e->faces[f];
      for (int k = 0; k < face->edges.size(); ++k) {
        if (face->edges[k] == e) continue;
        cl_PathNode* m = FindNodeForEdge(face->edges[k]);
        n.neighbours[n.neighbourCount] = m;
        n.lengths[n.neighbourCount] = (m->position - n.position).length();
        maxDistance = std::max(maxDistance, (Floor(m->position) - Floor(n.position)).length());
        ++n.neighbourCount;
        ++at;
      }
    }
  }

  std::vector<int> ends;  // the vertex indices of each boundary edge's A and B
  for (const cl_Mesh::st_Edge* e : mesh.edges) {
    if (e->faces.size() != 1) continue;
    ends.push_back(e->vertexA->index);
    ends.push_back(e->vertexB->index);
    const tPoint a = e->vertexA->position, b = e->vertexB->position;
    m_boundaryPoints.push_back(a);
    m_boundaryPoints.push_back(b);
    const tPoint mid = (a + b) * 0.5f;
    const tPoint d = (mid - e->faces[0]->centre).normal();
    const tPoint dir = (a - b).normal();
    const tPoint t = dir.cross(d).normal();
    tPoint n = dir.cross(t).normal();
    if (n.dot(d) < 0.0f) n = -n;
    m_boundaryNormals.push_back(n);
  }
  // Each end's link is another boundary edge at that vertex (of two on an ordinary outline).
  std::vector<std::array<int, 2>> atVertex(mesh.vertices.size(), {-1, -1});
  const auto valid = [&](int v) { return v >= 0 && v < static_cast<int>(atVertex.size()); };
  for (size_t k = 0; k < ends.size(); ++k) {
    if (!valid(ends[k])) continue;
    auto& meeting = atVertex[static_cast<size_t>(ends[k])];
    (meeting[0] < 0 ? meeting[0] : meeting[1]) = static_cast<int>(k / 2);
  }
  std::vector<int>& links = m_grid->boundaryLinks;
  links.assign(ends.size(), -1);
  for (size_t k = 0; k < ends.size(); ++k) {
    if (!valid(ends[k])) continue;
    const auto& meeting = atVertex[static_cast<size_t>(ends[k])];
    links[k] = meeting[0] == static_cast<int>(k / 2) ? meeting[1] : meeting[0];
  }
  m_costSlots = m_lengthSlots;  // all weights are 1
  m_plainWeights = true;
  m_grid->maxNeighbourDistance = maxDistance;
  BuildGrid();
}

cl_PathNode* cl_NavMesh::FindNodeForEdge(const void* edge) {
  if (!edge || !m_mesh) return nullptr;
  const int i = static_cast<const cl_Mesh::st_Edge*>(edge)->index;
  if (i < 0 || i >= static_cast<int>(m_nodes.size()) || m_nodes[i].element != edge) return nullptr;
  return &m_nodes[i];
}

void cl_NavMesh::BuildGrid() {
  const int edgeCount = static_cast<int>(m_boundaryNormals.size());
  std::vector<cl_FloorGrid::st_Box> boxes(edgeCount), diagonal(edgeCount);
  double lengthSum = 0.0;
  for (int i = 0; i < edgeCount; ++i) {
    const tPoint& a = m_boundaryPoints[2 * i];
    const tPoint& b = m_boundaryPoints[2 * i + 1];
    boxes[i] = {std::min(a.x, b.x), std::min(a.z, b.z), std::max(a.x, b.x), std::max(a.z, b.z)};
    const float wa = a.z - a.x, wb = b.z - b.x;
    // Widened so that rounding in the inside test's own arithmetic cannot miss a slab.
    const float slack = 1e-4f * (std::fabs(a.x) + std::fabs(a.z) + std::fabs(b.x) + std::fabs(b.z)) + 1e-4f;
    diagonal[i] = {std::min(wa, wb) - slack, 0.0f, std::max(wa, wb) + slack, 0.0f};
    const double len = (Floor(b) - Floor(a)).length();
    if (std::isfinite(len)) lengthSum += len;
  }
  const float cell = edgeCount > 0 ? static_cast<float>(lengthSum / edgeCount) : 1.0f;
  m_grid->edges.Build(boxes, cell);
  m_grid->diagonal.Build(diagonal, cell);

  std::vector<cl_FloorGrid::st_Box> points(m_nodes.size());
  for (size_t i = 0; i < m_nodes.size(); ++i) {
    const tPoint& p = m_nodes[i].position;
    points[i] = {p.x, p.z, p.x, p.z};
  }
  m_grid->nodes.Build(points, std::max(cell, m_grid->maxNeighbourDistance));
}

// ---- floor queries

bool cl_NavMesh::IsInside(const tPoint& p) {
  // Half-open rule: an edge counts when exactly one end lies strictly above the ray's line, so a
  // ray through a vertex counts it once.
  bool inside = false;
  const float w = p.z - p.x;
  m_grid->diagonal.Visit(w, 0.0f, w, 0.0f, [&](int i) {
    const tPoint& a = m_boundaryPoints[2 * i];
    const tPoint& b = m_boundaryPoints[2 * i + 1];
    const float sa = (a.z - p.z) - (a.x - p.x);
    const float sb = (b.z - p.z) - (b.x - p.x);
    if ((sa > 0.0f) == (sb > 0.0f)) return false;
    const float t = sa / (sa - sb);
    const float cx = a.x + (b.x - a.x) * t, cz = a.z + (b.z - a.z) * t;
    if ((cx - p.x) + (cz - p.z) > 0.0f) inside = !inside;
    return false;
  });
  return inside;
}

void cl_NavMesh::GetNearestBoundaryPoint(const tPoint& p, tPoint& out) {
  out = p;
  const int edgeCount = static_cast<int>(m_boundaryNormals.size());
  if (edgeCount == 0) return;
  const V2 q(p.x, p.z);
  float best = 1e8f;
  int bestEdge = -1;
  V2 bestPoint;
  auto consider = [&](int i) {
    const base::Segment2 s(Floor(m_boundaryPoints[2 * i]), Floor(m_boundaryPoints[2 * i + 1]));
    const V2 c = s.ClosestPoint(q);
    const float d = (c - q).length();
    // The first edge in list order wins a tie, as a scan in order would find it.
    if (d < best || (d == best && bestEdge >= 0 && i < bestEdge)) {
      best = d;
      bestEdge = i;
      bestPoint = c;
    }
  };
  m_grid->edges.VisitRings(q.x, q.y, consider, [&](float margin) { return bestEdge >= 0 && best < margin; });
  if (bestEdge >= 0) out = tPoint(bestPoint.x, p.y, bestPoint.y);
}

bool cl_NavMesh::SegmentHitsBoundary(const tPoint& p0, const tPoint& p1) { return FindBlockingEdge(p0, p1) >= 0; }

int cl_NavMesh::FindBlockingEdge(const tPoint& p0, const tPoint& p1) {
  // Edges met at a corner are judged after the walk: that costs two inside tests, and a crossing
  // further on mostly settles the segment first.
  constexpr int kHeldCorners = 8;
  int corners[kHeldCorners];
  int cornerCount = 0, found = -1;
  m_grid->edges.VisitAlong(p0.x, p0.z, p1.x, p1.z, [&](int i) {
    const en_Crossing c = EdgeCrossing(p0, p1, i);
    if (c == CROSSING_CORNER && cornerCount < kHeldCorners) {
      corners[cornerCount++] = i;
      return false;
    }
    if (c == CROSSING_NONE || (c == CROSSING_CORNER && !CornerBlocks(p0, p1, i))) return false;
    found = i;
    return true;
  });
  for (int k = 0; found < 0 && k < cornerCount; ++k) {
    if (CornerBlocks(p0, p1, corners[k])) found = corners[k];
  }
  return found;
}

bool cl_NavMesh::EdgeBlocksSegment(const tPoint& p0, const tPoint& p1, int i) {
  const en_Crossing c = EdgeCrossing(p0, p1, i);
  return c == CROSSING_PROPER || (c == CROSSING_CORNER && CornerBlocks(p0, p1, i));
}

cl_NavMesh::en_Crossing cl_NavMesh::EdgeCrossing(const tPoint& p0, const tPoint& p1, int i) const {
  // Proper crossings count; a segment ending on an edge does not (goals are put there).
  const tPoint& a = m_boundaryPoints[2 * i];
  const tPoint& b = m_boundaryPoints[2 * i + 1];
  const int sa = Orientation(p0, p1, a), sb = Orientation(p0, p1, b);
  if (sa == 0 || sb == 0) return CROSSING_CORNER;
  if (sa == sb) return CROSSING_NONE;
  const int s0 = Orientation(a, b, p0), s1 = Orientation(a, b, p1);
  return s0 != 0 && s1 != 0 && s0 != s1 ? CROSSING_PROPER : CROSSING_NONE;
}

bool cl_NavMesh::CornerBlocks(const tPoint& p0, const tPoint& p1, int i) {
  // Where a boundary corner lies inside the segment, the floor just before and after it decides.
  const tPoint& a = m_boundaryPoints[2 * i];
  const tPoint& b = m_boundaryPoints[2 * i + 1];
  return (Orientation(p0, p1, a) == 0 && CornerLeavesFloor(p0, p1, a)) ||
         (Orientation(p0, p1, b) == 0 && CornerLeavesFloor(p0, p1, b));
}

bool cl_NavMesh::CornerLeavesFloor(const tPoint& p0, const tPoint& p1, const tPoint& corner) {
  const double dx = static_cast<double>(p1.x) - p0.x, dz = static_cast<double>(p1.z) - p0.z;
  const double length2 = dx * dx + dz * dz;
  const double t = ((static_cast<double>(corner.x) - p0.x) * dx + (static_cast<double>(corner.z) - p0.z) * dz) / length2;
  if (!(t > 0.0 && t < 1.0)) return false;  // at or beyond an end
  const double length = std::sqrt(length2);
  // A step that float coordinates of this size can still tell apart, within the segment.
  const double step = std::min(1e-4 * (1.0 + std::fabs(corner.x) + std::fabs(corner.z)), 0.25 * length) / length;
  for (const double at : {t - step, t + step}) {
    const tPoint q(static_cast<float>(p0.x + dx * at), corner.y, static_cast<float>(p0.z + dz * at));
    if (!IsInside(q)) return true;
  }
  return false;
}

tPoint cl_NavMesh::AdjustPoint(const tPoint& a, const tPoint& b, float r) {
  if (!IsInside(b)) return a;
  tPoint p;
  GetNearestBoundaryPoint(b, p);
  if ((Floor(b) - Floor(p)).length() < r) {
    const V2 u = (Floor(a) - Floor(p)).normal();
    const V2 result = ((Floor(p) + u * r) + Floor(a)) * 0.5f;
    return tPoint(result.x, b.y, result.y);
  }
  return tPoint(b.x, b.y, b.z);
}

cl_PathNode* cl_NavMesh::FindNearestNode(const tPoint& p) {
  int best = -1;
  float bestDistance = 0.0f;
  // The first node in order wins a tie, as a scan in order would find it.
  m_grid->nodes.VisitRings(p.x, p.z, [&](int i) {
    const float d = (m_nodes[i].position - p).length();
    if (best < 0 || d < bestDistance || (d == bestDistance && i < best)) best = i, bestDistance = d;
  }, [&](float margin) { return best >= 0 && bestDistance < margin; });  // 3-D distance ≥ floor distance
  return best >= 0 ? &m_nodes[best] : nullptr;
}

tPoint cl_NavMesh::GetNearestNodePosition(const tPoint& p) {
  const cl_PathNode* n = FindNearestNode(p);
  return n ? n->position : tPoint(0, 0, 0);
}

tPoint cl_NavMesh::GetCenter() {
  if (!m_mesh || m_mesh->faces.size() == 0) return tPoint(0, 0, 0);
  const cl_Mesh::st_Face* f = m_mesh->faces[0];
  if (f->vertices.size() == 0) return tPoint(0, 0, 0);
  tPoint sum;
  for (int i = 0; i < f->vertices.size(); ++i) sum += f->vertices[i]->position;
  return sum * (1.0f / static_cast<float>(f->vertices.size()));
}

bool cl_NavMesh::PickRay(const tPoint& origin, const tPoint& direction, tPoint& hit) {
  if (!m_mesh) return false;
  return base::MeshPickNearest(hit, m_mesh.get(), base::Ray3(origin, direction));
}

bool cl_NavMesh::PickScreen(float sx, float sy, base::cl_Camera& camera, tPoint& out) {
  float best = 5000.0f;
  const V2 s(sx, sy);
  for (size_t i = 0; i < m_boundaryNormals.size(); ++i) {
    const tPoint& a = m_boundaryPoints[2 * i];
    const tPoint& b = m_boundaryPoints[2 * i + 1];
    if (camera.GetZDistance(a) > 0.0f || camera.GetZDistance(b) > 0.0f) continue;
    const tPoint a3 = camera.World2Screen(a), b3 = camera.World2Screen(b);
    const V2 sa(a3.x, a3.y), sb(b3.x, b3.y);
    const V2 c = base::Segment2(sa, sb).ClosestPoint(s);
    const float d = (c - s).length();
    if (d < best) {
      best = d;
      const float span = (sb - sa).length();
      // An edge seen end-on projects to a point: take its first end.
      const float f = span > 0.0f ? (c - sa).length() / span : 0.0f;
      out = a + (b - a) * f - m_boundaryNormals[i] * 5.0f;
    }
  }
  return true;
}

void cl_NavMesh::GetBounds(float bounds[6]) {
  if (!m_mesh) {
    std::fill(bounds, bounds + 6, 0.0f);
    return;
  }
  bounds[0] = m_mesh->aabbMin.x, bounds[1] = m_mesh->aabbMin.y, bounds[2] = m_mesh->aabbMin.z;
  bounds[3] = m_mesh->aabbMax.x, bounds[4] = m_mesh->aabbMax.y, bounds[5] = m_mesh->aabbMax.z;
}

void cl_NavMesh::GetVertexDistanceRange(const tPoint& p, float& zNear, float& zFar) {
  zNear = 1e30f;
  zFar = 0.0f;
  if (m_mesh) {
    for (const cl_Mesh::st_Vertex* v : m_mesh->vertices) {
      const float d = (v->position - p).length();
      zNear = std::min(zNear, d);
      zFar = std::max(zFar, d);
    }
  }
  if (zNear > zFar) zNear = zFar = 0.0f;  // no vertices
  zNear -= 200.0f;
  zFar += 200.0f;
  if (zNear < 0.1f) zNear = 0.1f;
}

float cl_NavMesh::PathLength(const tPointList& points) {
  float sum = 0.0f;
  for (size_t i = 1; i < points.size(); ++i) sum += (points[i] - points[i - 1]).length();
  return sum;
}

}  // namespace quillane
