// The path pipeline of the navigation mesh: nearest nodes, obstacle weights, the graph search,
// then subdivision, line-of-sight smoothing (NavMeshSight.cpp) and obstacle avoidance on the
// point list.
#include <algorithm>
#include <cmath>

#include "base/system.h"
#include "graphics/mesh/Geometry.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/world/NavMesh.h"
#include "quillane/world/NavMeshGrid.h"

namespace quillane {

using V2 = base::tVector2<float>;

namespace {
constexpr float kMaxSearchCost = 1000000.0f;
constexpr float kObstaclePenalty = 1000.0f;
constexpr float kShortestWeightedEdge = 1e-6f;  // shorter graph edges get no obstacle weight
constexpr float kSubdivideStep = 10.0f;

V2 Floor(const tPoint& p) { return V2(p.x, p.z); }
base::Circle2 CircleOf(const tPoint& o) { return base::Circle2(V2(o.x, o.y), o.z); }
constexpr float kMaxCoordinate = 1.0e7f;  // beyond, 10-unit steps lose their precision

bool InRange(const tPoint& p) {
  return std::fabs(p.x) <= kMaxCoordinate && std::fabs(p.y) <= kMaxCoordinate && std::fabs(p.z) <= kMaxCoordinate;
}
}  // namespace

float cl_NavMesh::EdgeCost(cl_PathNode* from, cl_PathNode* to) {
  const float d = (to->position - from->position).length();
  for (int k = 0; k < from->neighbourCount; ++k) {
    if (from->neighbours[k] == to) return d * from->weights[k];
  }
  return d;
}

double cl_NavMesh::MaxPathPoints() const {
  if (!m_mesh) return 0.0;
  // Each leg between neighbouring nodes is at most the longest neighbour distance, the legs from
  // the start and to the goal about the floor's size at most; a point every 10 units on each.
  const double size = std::hypot(static_cast<double>(m_mesh->aabbMax.x) - m_mesh->aabbMin.x,
                                 static_cast<double>(m_mesh->aabbMax.z) - m_mesh->aabbMin.z);
  const double legs = static_cast<double>(m_nodes.size()) + 2.0;
  return legs * (1.0 + m_grid->maxNeighbourDistance / kSubdivideStep) + 3.0 * (1.0 + size / kSubdivideStep) + 4.0;
}

tPoint cl_NavMesh::ClampGoal(const tPoint& q) {
  if (IsInside(q)) return q;
  tPoint out;
  GetNearestBoundaryPoint(q, out);
  return out;
}

void cl_NavMesh::WriteWeights(const tPointList* obstacles) {
  if (!obstacles || obstacles->empty()) {
    if (m_plainWeights) return;  // as the last query left them
    std::fill(m_weightSlots.begin(), m_weightSlots.end(), 1.0f);
    m_costSlots = m_lengthSlots;
    m_plainWeights = true;
    return;
  }
  std::fill(m_weightSlots.begin(), m_weightSlots.end(), 1.0f);
  m_costSlots = m_lengthSlots;
  m_plainWeights = false;
  const float reach = m_grid->maxNeighbourDistance;
  for (const tPoint& o : *obstacles) {
    const base::Circle2 circle = CircleOf(o);
    // Only nodes within reach of the circle can have an edge through it.
    const float r = circle.radius + reach;
    m_grid->nodes.Visit(o.x - r, o.y - r, o.x + r, o.y + r, [&](int i) {
      cl_PathNode& n = m_nodes[i];
      for (int k = 0; k < n.neighbourCount; ++k) {
        const V2 a = Floor(n.position), b = Floor(n.neighbours[k]->position);
        const float length = (b - a).length();
        if (!(length >= kShortestWeightedEdge)) continue;
        float t0 = 0.0f, t1 = 0.0f;
        if (circle.IntersectRay(base::Ray2(a, (b - a).normal()), t0, t1) != 2) continue;
        if (std::min(t1, length) - std::max(t0, 0.0f) > 0.0f) {
          n.weights[k] += kObstaclePenalty / length;
          n.costs[k] = n.lengths[k] * n.weights[k];
        }
      }
      return false;
    });
  }
}

bool cl_NavMesh::FindPathNodes(const tPoint& p, const tPoint& q, tPointList& out, const tPointList* obstacles) {
  cl_PathNode* s = FindNearestNode(p);
  cl_PathNode* g = FindNearestNode(q);
  tPoint goal = q;
  if (obstacles) {
    for (const tPoint& o : *obstacles) {
      const base::Circle2 circle = CircleOf(o);
      if (!circle.Contains(Floor(goal))) continue;
      // From the very centre there is no direction to leave by: take +x.
      const V2 at = Floor(goal) == circle.centre ? circle.centre + V2(1, 0) : Floor(goal);
      const V2 moved = circle.Grown(1.0f).ClosestPoint(at);
      goal.x = moved.x;
      goal.z = moved.y;
    }
    // A goal moved out of an obstacle may now lie across a wall from the node nearest to where
    // it was; the search then ends at the node nearest to where the walk ends.
    if (g && (goal.x != q.x || goal.z != q.z)) g = FindNearestNode(ClampGoal(goal));
  }
  if (!s || !g) return false;
  out.clear();
  m_result.clear();
  if (s == g) {
    // Start and goal share a node: walk straight when nothing is in the way.
    const tPoint end = ClampGoal(goal);
    if (SegmentHitsBoundary(p, end)) return false;
    out.push_back(p);
    out.push_back(end);
    return true;
  }
  WriteWeights(obstacles);
  if (!Search(s, g, kMaxSearchCost)) return false;
  out.push_back(p);
  for (const cl_PathNode* n : m_result) out.push_back(n->position);
  out.push_back(ClampGoal(goal));
  return true;
}

bool cl_NavMesh::FindPath(const tPoint& start, const tPoint& goal, tPointList& out, const tPointList* obstacles) {
  if (!InRange(start) || !InRange(goal)) return false;
  if (obstacles) {
    for (const tPoint& o : *obstacles) {
      if (!InRange(o)) return false;
    }
  }
  tPointList tmp;
  if (!FindPathNodes(start, goal, tmp, obstacles)) return false;
  tmp.insert(tmp.begin(), start);
  // Counted before the points are made: memory stays bounded by the floor's size.
  double planned = 1.0;
  for (size_t i = 1; i < tmp.size(); ++i) planned += 1.0 + (tmp[i] - tmp[i - 1]).length() / kSubdivideStep;
  if (!(planned <= MaxPathPoints())) {
    base::sys::Output(
        "Warning: navigation mesh '%s': a path from (%.1f, %.1f) would hold %.0f points, more than the "
        "floor allows; the start lies far off the floor\n",
        m_name.c_str(), static_cast<double>(start.x), static_cast<double>(start.z), planned);
    return false;
  }
  SubdividePath(tmp);
  SmoothPath(tmp, obstacles);
  std::reverse(tmp.begin(), tmp.end());
  SubdividePath(tmp);
  SmoothPath(tmp, obstacles);
  std::reverse(tmp.begin(), tmp.end());
  if (obstacles) {
    SubdividePath(tmp);
    AvoidObstacles(tmp, *obstacles);
    SmoothPath(tmp, obstacles);
    std::reverse(tmp.begin(), tmp.end());
    SubdividePath(tmp);
    SmoothPath(tmp, obstacles);
    std::reverse(tmp.begin(), tmp.end());
  }
  out.swap(tmp);
  return true;
}

void cl_NavMesh::SubdividePath(tPointList& points) {
  if (points.size() < 2) return;
  tPointList out;
  out.reserve(points.size());
  out.push_back(points[0]);
  for (size_t i = 1; i < points.size(); ++i) {
    const tPoint a = points[i - 1], b = points[i];
    const float length = (b - a).length();
    if (length > kSubdivideStep) {
      // Counted in integers: a float sum of steps stops growing on very long segments.
      for (int k = 1; static_cast<float>(k) * kSubdivideStep < length; ++k)
        out.push_back(a + (b - a) * (static_cast<float>(k) * kSubdivideStep / length));
    }
    out.push_back(b);
  }
  points.swap(out);
}

bool cl_NavMesh::SegmentHitsObstacle(const tPoint& e, const tPoint& f, const tPointList& obstacles) {
  const base::Segment2 segment(Floor(e), Floor(f));
  for (const tPoint& o : obstacles) {
    if (CircleOf(o).DistanceToSegment(segment) < 0.0f) return true;
  }
  return false;
}

void cl_NavMesh::AvoidObstacles(tPointList& points, const tPointList& obstacles) {
  const size_t n = points.size();
  if (n < 3) return;  // no inner points
  std::vector<V2> d(n);
  for (size_t i = 1; i + 1 < n; ++i) {
    const V2 v = Floor(points[i + 1]) - Floor(points[i - 1]);
    d[i] = v.length() > 0.0f ? v.normal() : V2(0, 0);
  }
  d[0] = d[1];
  d[n - 1] = d[n - 2];
  for (const tPoint& o : obstacles) {
    const base::Circle2 circle = CircleOf(o);
    const base::Circle2 grown = circle.Grown(10.0f);
    for (size_t i = 1; i + 1 < n; ++i) {
      if (!circle.Contains(Floor(points[i]))) continue;
      // The nearer way out across the path, else the other side. A way out that leaves the floor
      // or loses sight of the points before and after is not taken: the point then stays (the
      // walker brushes the obstacle rather than a path running off the floor).
      const base::Ray2 ray(Floor(points[i]), d[i]);
      const V2 nearer = grown.ExitPointAcross(ray);
      V2 farther = nearer;
      const base::Ray2 across(ray.origin, V2(-ray.direction.y, ray.direction.x));
      float t1 = 0.0f, t2 = 0.0f;
      if (grown.IntersectRay(across, t1, t2) == 2) farther = across.PointAt(std::fabs(t1) < std::fabs(t2) ? t2 : t1);
      for (const V2& exit : {nearer, farther}) {
        const tPoint moved(exit.x, points[i].y, exit.y);
        if (!IsInside(moved) || SegmentHitsBoundary(points[i - 1], moved) || SegmentHitsBoundary(moved, points[i + 1]))
          continue;
        points[i] = moved;
        break;
      }
    }
  }
}

}  // namespace quillane
