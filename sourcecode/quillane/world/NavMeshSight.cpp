// Line-of-sight smoothing of the navigation mesh's paths. From each end point the smoothing
// looks for the first point of the list it can see, so a long path tests a great many points
// that lie behind walls. Those are settled here by the walls already found: a point behind one is
// blocked, and so is every later point closer to it along the path than its clearance (its
// distance to the lines that bound the wall's shadow). Every answer is SegmentHitsBoundary's to
// the last bit; only the work to reach it is saved.
#include <algorithm>
#include <cmath>
#include <vector>

#include "quillane/world/NavMesh.h"
#include "quillane/world/NavMeshGrid.h"

namespace quillane {

namespace {
constexpr int kRecentWalls = 8;  // the wedges of a few nearby walls cover most directions
}  // namespace

// What the sight from one end point E knows: the last boundary edges found to block it, most
// recently useful first, with the parts of EdgeBlocksSegment(E, p, edge) that do not depend on p
// worked out once.
struct cl_NavMesh::st_Sight {
  struct st_Wall {
    int edge = -1;
    double ax = 0, az = 0, bx = 0, bz = 0;  // A − E, B − E
    double cornerX = 0, cornerZ = 0;        // A
    double abx = 0, abz = 0;                // B − A
    double invA = 0, invB = 0, invAB = 0;   // 1 / |A − E|, 1 / |B − E|, 1 / |B − A| (0: not yet)
    int sideOfE = 0;                        // Orientation(A, B, E)
  };
  enum en_Test { TEST_CLEAR, TEST_BLOCKED, TEST_CORNER };  // corner: the segment's line meets A or B

  cl_NavMesh& nav;
  tPoint e;
  double ex = 0, ez = 0;
  st_Wall walls[kRecentWalls];
  int order[kRecentWalls] = {};  // wall slots, most recently useful first
  int wallCount = 0;
  double margin = 0;  // rounding allowance taken off every clearance

  explicit st_Sight(cl_NavMesh& mesh) : nav(mesh) {}

  void From(const tPoint& end, double pathScale) {
    e = end;
    ex = end.x, ez = end.z;
    wallCount = 0;
    margin = 1e-9 * (1.0 + std::fabs(ex) + std::fabs(ez) + pathScale);
  }

  // True when the segment E → p crosses the boundary (SegmentHitsBoundary(E, p)). When a wall
  // settles it, clearance is how far p can move with that wall still blocking (else 0).
  bool Blocked(const tPoint& p, double& clearance) {
    clearance = 0.0;
    // Walls the segment passes exactly through a corner of are judged last: that costs two inside
    // tests, and another wall mostly settles the point first.
    int corners[kRecentWalls];
    int cornerCount = 0;
    const int known = wallCount;
    for (int k = 0; k < known; ++k) {
      const en_Test t = Test(walls[order[k]], p, clearance);
      if (t == TEST_BLOCKED) {
        std::rotate(order, order + k, order + k + 1);
        return true;
      }
      if (t == TEST_CORNER) corners[cornerCount++] = order[k];
      // The scan sweeps round E, so the wall that blocks next mostly adjoins the one that
      // blocked last: its neighbours along the boundary are tried before older walls.
      if (k == 0 && TryLinks(walls[order[0]].edge, p, clearance)) return true;
    }
    for (int k = 0; k < cornerCount; ++k) {
      clearance = 0.0;
      if (nav.CornerBlocks(e, p, walls[corners[k]].edge)) return true;
    }
    const int edge = nav.FindBlockingEdge(e, p);
    if (edge < 0) return false;
    st_Wall w;
    Remember(w, edge);
    if (Test(w, p, clearance) != TEST_BLOCKED) clearance = 0.0;
    Add(w);
    return true;
  }

  // A boundary edge next to `edge` that blocks p, taken into the walls.
  bool TryLinks(int edge, const tPoint& p, double& clearance) {
    const std::vector<int>& links = nav.m_grid->boundaryLinks;
    for (const int next : {links[2 * edge], links[2 * edge + 1]}) {
      if (next < 0 || Knows(next)) continue;
      st_Wall w;
      Remember(w, next);
      if (Test(w, p, clearance) != TEST_BLOCKED) continue;
      Add(w);
      return true;
    }
    return false;
  }

  bool Knows(int edge) const {
    for (int k = 0; k < wallCount; ++k) {
      if (walls[k].edge == edge) return true;
    }
    return false;
  }

  // The new wall goes first, in the slot of the least useful one when all are taken.
  void Add(const st_Wall& w) {
    if (wallCount < kRecentWalls) {
      order[wallCount] = wallCount;
      ++wallCount;
    }
    const int slot = order[wallCount - 1];
    walls[slot] = w;
    std::rotate(order, order + wallCount - 1, order + wallCount);
  }

  void Remember(st_Wall& w, int edge) const {
    const tPoint& a = nav.m_boundaryPoints[2 * edge];
    const tPoint& b = nav.m_boundaryPoints[2 * edge + 1];
    w.edge = edge;
    w.ax = a.x - ex, w.az = a.z - ez;
    w.bx = b.x - ex, w.bz = b.z - ez;
    w.cornerX = a.x, w.cornerZ = a.z;
    w.abx = static_cast<double>(b.x) - a.x, w.abz = static_cast<double>(b.z) - a.z;
    w.invA = 0.0;  // worked out when the wall first blocks
    w.sideOfE = Orientation(a, b, e);
  }

  // EdgeBlocksSegment(E, p, w.edge) with the same arithmetic, so the same signs; the corner case
  // is left to it.
  [[gnu::always_inline]] en_Test Test(st_Wall& w, const tPoint& p, double& clearance) const {
    const double px = static_cast<double>(p.x) - ex, pz = static_cast<double>(p.z) - ez;
    const double sa = Turn(px, pz, w.ax, w.az), sb = Turn(px, pz, w.bx, w.bz);
    if (sa == 0.0 || sb == 0.0) return TEST_CORNER;
    if ((sa > 0.0) == (sb > 0.0) || w.sideOfE == 0) return TEST_CLEAR;
    const double s1 = Turn(w.abx, w.abz, static_cast<double>(p.x) - w.cornerX, static_cast<double>(p.z) - w.cornerZ);
    if (s1 == 0.0 || (s1 > 0.0) == (w.sideOfE > 0)) return TEST_CLEAR;
    if (w.invA == 0.0) {
      w.invA = 1.0 / std::sqrt(w.ax * w.ax + w.az * w.az);
      w.invB = 1.0 / std::sqrt(w.bx * w.bx + w.bz * w.bz);
      w.invAB = 1.0 / std::sqrt(w.abx * w.abx + w.abz * w.abz);
    }
    // p keeps all three signs while it stays nearer than its distance to each line.
    clearance = std::min({std::fabs(sa) * w.invA, std::fabs(sb) * w.invB, std::fabs(s1) * w.invAB}) - margin;
    return TEST_BLOCKED;
  }
};

void cl_NavMesh::SmoothPath(tPointList& points, const tPointList* obstacles) {
  // Floor length of the path up to each point: a point within c of a blocked point along the path
  // lies within c of it.
  std::vector<double> along(points.size(), 0.0);
  for (size_t i = 1; i < points.size(); ++i) {
    const double dx = static_cast<double>(points[i].x) - points[i - 1].x;
    const double dz = static_cast<double>(points[i].z) - points[i - 1].z;
    along[i] = along[i - 1] + std::sqrt(dx * dx + dz * dz);
  }
  const double pathScale = points.empty() ? 0.0 : along.back();
  tPointList result;
  result.reserve(points.size());
  st_Sight sight(*this);
  while (!points.empty()) {
    const tPoint e = points.back();
    points.pop_back();
    result.push_back(e);
    sight.From(e, pathScale);
    for (size_t f = 0; f < points.size();) {
      double clearance = 0.0;
      if (sight.Blocked(points[f], clearance)) {
        const size_t blocked = f;
        do ++f;
        while (f < points.size() && along[f] - along[blocked] < clearance);
        continue;
      }
      if (obstacles && SegmentHitsObstacle(e, points[f], *obstacles)) {
        ++f;
        continue;
      }
      points.resize(f + 1);
      break;
    }
  }
  points.swap(result);
}

}  // namespace quillane
