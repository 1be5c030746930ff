#include "plain_navmesh.h"

#include <algorithm>
#include <cmath>

#include "graphics/mesh/Geometry.h"

namespace navtest {

using quillane::tPoint;
using quillane::tPointList;
using V2 = base::tVector2<float>;
using Mesh = base::cl_Mesh;
using quillane::cl_NavMesh;

namespace {
V2 Floor(const tPoint& p) { return V2(p.x, p.z); }
base::Circle2 CircleOf(const tPoint& o) { return base::Circle2(V2(o.x, o.y), o.z); }
int Orient(const tPoint& a, const tPoint& b, const tPoint& c) {
  const double v = (double(b.x) - a.x) * (double(c.z) - a.z) - (double(b.z) - a.z) * (double(c.x) - a.x);
  return (v > 0.0) - (v < 0.0);
}
}  // namespace

cl_PlainNavMesh::cl_PlainNavMesh(const Mesh& mesh) {
  for (const Mesh::st_Edge* e : mesh.edges) nodes.push_back(st_Node{e, e->centre, {}, {}});
  auto nodeFor = [&](const Mesh::st_Edge* e) {
    for (size_t i = 0; i < nodes.size(); ++i)
      if (nodes[i].edge == e) return static_cast<int>(i);
    return -1;
  };
  for (st_Node& n : nodes) {
    for (int f = 0; f < n.edge->faces.size(); ++f) {
      const Mesh::st_Face* face = n.edge->faces[f];
      for (int k = 0; k < face->edges.size(); ++k) {
        if (face->edges[k] != n.edge) n.neighbours.push_back(nodeFor(face->edges[k]));
      }
    }
    n.weights.assign(n.neighbours.size(), 1.0f);
  }
  for (const Mesh::st_Edge* e : mesh.edges) {
    if (e->faces.size() != 1) continue;
    const tPoint a = e->vertexA->position, b = e->vertexB->position;
    boundary.push_back(a);
    boundary.push_back(b);
    const tPoint d = ((a + b) * 0.5f - e->faces[0]->centre).normal();
    const tPoint dir = (a - b).normal();
    tPoint n = dir.cross(dir.cross(d).normal()).normal();
    if (n.dot(d) < 0.0f) n = -n;
    normals.push_back(n);
  }
}

bool cl_PlainNavMesh::IsInside(const tPoint& p) const {
  int count = 0;
  for (size_t i = 0; i < boundary.size(); i += 2) {
    const tPoint& a = boundary[i];
    const tPoint& b = boundary[i + 1];
    const float sa = (a.z - p.z) - (a.x - p.x), sb = (b.z - p.z) - (b.x - p.x);
    if ((sa > 0.0f) == (sb > 0.0f)) continue;
    const float t = sa / (sa - sb);
    if ((a.x + (b.x - a.x) * t - p.x) + (a.z + (b.z - a.z) * t - p.z) > 0.0f) ++count;
  }
  return count % 2 == 1;
}

tPoint cl_PlainNavMesh::NearestBoundaryPoint(const tPoint& p) const {
  float best = 1e8f;
  tPoint out = p;
  for (size_t i = 0; i < boundary.size(); i += 2) {
    const V2 c = base::Segment2(Floor(boundary[i]), Floor(boundary[i + 1])).ClosestPoint(Floor(p));
    const float d = (c - Floor(p)).length();
    if (d < best) {
      best = d;
      out = tPoint(c.x, p.y, c.y);
    }
  }
  return out;
}

bool cl_PlainNavMesh::SegmentHitsBoundary(const tPoint& p0, const tPoint& p1) const {
  for (size_t i = 0; i < boundary.size(); i += 2) {
    const int sa = Orient(p0, p1, boundary[i]), sb = Orient(p0, p1, boundary[i + 1]);
    if (sa == 0 || sb == 0) {
      for (const tPoint& c : {boundary[i], boundary[i + 1]}) {
        if (Orient(p0, p1, c) != 0) continue;
        const double dx = double(p1.x) - p0.x, dz = double(p1.z) - p0.z;
        const double t = ((double(c.x) - p0.x) * dx + (double(c.z) - p0.z) * dz) / (dx * dx + dz * dz);
        if (!(t > 0.0 && t < 1.0)) continue;
        const double len = std::sqrt(dx * dx + dz * dz);
        const double step = std::min(1e-4 * (1.0 + std::fabs(c.x) + std::fabs(c.z)), 0.25 * len) / len;
        for (const double at : {t - step, t + step}) {
          if (!IsInside(tPoint(float(p0.x + dx * at), c.y, float(p0.z + dz * at)))) return true;
        }
      }
      continue;
    }
    if (sa == sb) continue;
    const int s0 = Orient(boundary[i], boundary[i + 1], p0), s1 = Orient(boundary[i], boundary[i + 1], p1);
    if (s0 != 0 && s1 != 0 && s0 != s1) return true;
  }
  return false;
}

int cl_PlainNavMesh::NearestNode(const tPoint& p) const {
  int best = -1;
  float bestD = 0.0f;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const float d = (nodes[i].position - p).length();
    if (best < 0 || d < bestD) best = static_cast<int>(i), bestD = d;
  }
  return best;
}

float cl_PlainNavMesh::EdgeCost(int from, int to) const {
  const float d = (nodes[to].position - nodes[from].position).length();
  for (size_t k = 0; k < nodes[from].neighbours.size(); ++k)
    if (nodes[from].neighbours[k] == to) return d * nodes[from].weights[k];
  return d;
}

bool cl_PlainNavMesh::Search(int s, int g, std::list<int>& result) {
  struct E {
    float cost;
    int node;
  };
  std::vector<E> heap(1);
  auto push = [&](float c, int n) {
    heap.push_back(E{c, n});
    size_t i = heap.size() - 1;
    while (i > 1 && heap[i / 2].cost > heap[i].cost) std::swap(heap[i], heap[i / 2]), i /= 2;
  };
  auto pop = [&] {
    E top = heap[1];
    heap[1] = heap.back();
    heap.pop_back();
    size_t i = 1;
    for (;;) {
      size_t c = i;
      if (2 * i < heap.size() && heap[2 * i].cost < heap[c].cost) c = 2 * i;
      if (2 * i + 1 < heap.size() && heap[2 * i + 1].cost < heap[c].cost) c = 2 * i + 1;
      if (c == i) break;
      std::swap(heap[i], heap[c]);
      i = c;
    }
    return top;
  };
  bool found = false;
  nodes[s].parent = s;
  push(0.0f, s);
  for (int pops = 0; pops < 49999 && heap.size() > 1 && s != g; ++pops) {
    const E e = pop();
    if (e.node == g) {
      for (int n = g; n != s; n = nodes[n].parent) result.push_front(n);
      found = true;
      break;
    }
    for (int m : nodes[e.node].neighbours) {
      if (nodes[m].parent >= 0) continue;
      const float c = EdgeCost(e.node, m) + e.cost;
      if (c <= 1000000.0f) push(c, m), nodes[m].cost = c, nodes[m].parent = e.node;
    }
  }
  for (st_Node& n : nodes) n.parent = -1;
  return found;
}

tPoint cl_PlainNavMesh::Clamp(const tPoint& q) const { return IsInside(q) ? q : NearestBoundaryPoint(q); }

void cl_PlainNavMesh::Smooth(tPointList& points, const tPointList* obstacles) const {
  tPointList result;
  while (!points.empty()) {
    const tPoint e = points.back();
    points.pop_back();
    result.push_back(e);
    for (size_t f = 0; f < points.size(); ++f) {
      if (SegmentHitsBoundary(e, points[f])) continue;
      if (obstacles && cl_NavMesh::SegmentHitsObstacle(e, points[f], *obstacles)) continue;
      points.erase(points.begin() + f + 1, points.end());
      break;
    }
  }
  points = result;
}

void cl_PlainNavMesh::Avoid(tPointList& p, const tPointList& obstacles) const {
  const size_t n = p.size();
  if (n < 3) return;
  std::vector<V2> d(n);
  for (size_t i = 1; i + 1 < n; ++i) {
    const V2 v = Floor(p[i + 1]) - Floor(p[i - 1]);
    d[i] = v.length() > 0.0f ? v.normal() : V2(0, 0);
  }
  d[0] = d[1], d[n - 1] = d[n - 2];
  for (const tPoint& o : obstacles) {
    for (size_t i = 1; i + 1 < n; ++i) {
      if (!CircleOf(o).Contains(Floor(p[i]))) continue;
      // Nearer way out, else farther, across the path; one off the floor or out of sight of the
      // neighbours is not taken.
      const base::Circle2 grown = CircleOf(o).Grown(10.0f);
      const V2 dir = d[i].length() > 0.0f ? d[i].normal() : V2(0, 0);
      const base::Ray2 across(Floor(p[i]), V2(-dir.y, dir.x));
      std::vector<V2> exits{grown.ExitPointAcross(base::Ray2(Floor(p[i]), d[i]))};
      float t1 = 0, t2 = 0;
      if (grown.IntersectRay(across, t1, t2) == 2) exits.push_back(across.PointAt(std::fabs(t1) < std::fabs(t2) ? t2 : t1));
      for (const V2& x : exits) {
        const tPoint moved(x.x, p[i].y, x.y);
        if (IsInside(moved) && !SegmentHitsBoundary(p[i - 1], moved) && !SegmentHitsBoundary(moved, p[i + 1])) {
          p[i] = moved;
          break;
        }
      }
    }
  }
}

bool cl_PlainNavMesh::FindPath(const tPoint& p, const tPoint& q0, tPointList& out, const tPointList* obstacles) {
  auto finite = [](const tPoint& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); };
  if (!finite(p) || !finite(q0)) return false;
  if (obstacles)
    for (const tPoint& o : *obstacles)
      if (!finite(o)) return false;
  const int s = NearestNode(p);
  int g = NearestNode(q0);
  tPoint q = q0;
  if (obstacles) {
    for (const tPoint& o : *obstacles) {
      const base::Circle2 c = CircleOf(o);
      if (!c.Contains(Floor(q))) continue;
      const V2 at = Floor(q) == c.centre ? c.centre + V2(1, 0) : Floor(q);
      const V2 m = c.Grown(1.0f).ClosestPoint(at);
      q.x = m.x, q.z = m.y;
    }
  }
  // A goal moved by an obstacle is searched for where the walk ends.
  if (g >= 0 && (q.x != q0.x || q.z != q0.z)) g = NearestNode(Clamp(q));
  if (s < 0 || g < 0) return false;
  tPointList tmp;
  if (s == g) {
    const tPoint end = Clamp(q);
    if (SegmentHitsBoundary(p, end)) return false;
    tmp = {p, end};
  } else {
    for (st_Node& n : nodes) {
      for (size_t k = 0; k < n.neighbours.size(); ++k) {
        const V2 a = Floor(n.position), b = Floor(nodes[n.neighbours[k]].position);
        const float len = (b - a).length();
        float w = 1.0f;
        if (obstacles && len >= 1e-6f) {
          for (const tPoint& o : *obstacles) {
            float t0, t1;
            if (CircleOf(o).IntersectRay(base::Ray2(a, (b - a).normal()), t0, t1) == 2 &&
                std::min(t1, len) - std::max(t0, 0.0f) > 0.0f)
              w += 1000.0f / len;
          }
        }
        n.weights[k] = w;
      }
    }
    std::list<int> result;
    if (!Search(s, g, result)) return false;
    tmp.push_back(p);
    for (int n : result) tmp.push_back(nodes[n].position);
    tmp.push_back(Clamp(q));
  }
  tmp.insert(tmp.begin(), p);
  auto round = [&] {
    cl_NavMesh::SubdividePath(tmp);
    Smooth(tmp, obstacles);
    std::reverse(tmp.begin(), tmp.end());
  };
  round();
  round();
  if (obstacles) {
    cl_NavMesh::SubdividePath(tmp);
    Avoid(tmp, *obstacles);
    Smooth(tmp, obstacles);
    std::reverse(tmp.begin(), tmp.end());
    round();
  }
  out = tmp;
  return true;
}

}  // namespace navtest
