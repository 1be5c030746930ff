// Path search and the path pipeline: random queries with and without obstacles judged
// independently and compared with the plain version point for point, the search's ordering
// rules and limits, and the pipeline's steps.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <random>
#include <string>

#include "../base/test_support.h"
#include "navmesh_test_support.h"
#include "plain_navmesh.h"

namespace navtest {
namespace {

using quillane::cl_PathNode;

bool Finite(const tPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

tPointList RandomObstacles(std::mt19937& rng, int count, const float b[6]) {
  std::uniform_real_distribution<float> ux(b[0], b[3]), uz(b[2], b[5]), ur(3.0f, 25.0f);
  tPointList out;
  for (int i = 0; i < count; ++i) out.emplace_back(ux(rng), uz(rng), ur(rng));
  return out;
}

// 1,000 random start/goal pairs with 0, 5 and 20 obstacles: every path found equals the plain
// version's, starts at P, ends at the (moved, clamped) goal, holds finite points that lie on the
// floor by an independent judge and, without obstacles, runs on the floor between them;
// failures keep the caller's list.
// goalsOnFloor: only goals on the floor, as the game's floor picks and locators give them (a goal
// inside a hole is clamped to the hole's rim and joined straight to the node nearest the goal
// asked for, which may cut across a corner of the hole); a walk starting within a unit of a
// hole's corner may cut it by a few units (a toe, not a body): the judge allows five there, and
// the engine's own boundary test is not asked.
void RandomQueries(cl_NavMesh* nav, unsigned seed, bool goalsOnFloor = false) {
  const double slack = goalsOnFloor ? 5.0 : 1e-3;
  cl_PlainNavMesh plain(*nav->GetMesh());
  const st_Floor floor = FloorOf(*nav->GetMesh());
  float b[6];
  nav->GetBounds(b);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> ux(b[0] - 20, b[3] + 20), uz(b[2] - 20, b[5] + 20);
  for (int obstacleCount : {0, 5, 20}) {
    int found = 0, outside = 0, points = 0;
    for (int i = 0; i < 1000; ++i) {
      const tPoint p(ux(rng), 0.0f, uz(rng)), q(ux(rng), 0.0f, uz(rng));
      // Walks start where characters stand: on the floor.
      if (!nav->IsInside(p) || (goalsOnFloor && !nav->IsInside(q))) continue;
      const tPointList obstacles = RandomObstacles(rng, obstacleCount, b);
      const tPointList* obs = obstacleCount ? &obstacles : nullptr;
      tPointList path{tPoint(-1, -1, -1)};
      const bool ok = nav->FindPath(p, q, path, obs);
      tPointList expected;
      ASSERT_EQ(ok, plain.FindPath(p, q, expected, obs)) << i;
      if (!ok) {
        ASSERT_EQ(path, tPointList{tPoint(-1, -1, -1)}) << "a failure keeps the caller's list";
        continue;
      }
      ++found;
      ASSERT_EQ(path, expected) << "query " << i << " with " << obstacleCount << " obstacles";
      ASSERT_GE(path.size(), 2u);
      EXPECT_EQ(path.front(), p);
      tPoint goal = q;
      for (const tPoint& o : obstacles) {
        const float dx = goal.x - o.x, dz = goal.z - o.y;
        if (dx * dx + dz * dz < o.z * o.z) {
          const float d = std::sqrt(dx * dx + dz * dz);
          goal.x = o.x + dx / d * (o.z + 1.0f), goal.z = o.y + dz / d * (o.z + 1.0f);
        }
      }
      tPoint end = goal;
      if (!nav->IsInside(goal)) nav->GetNearestBoundaryPoint(goal, end);
      EXPECT_NEAR(path.back().x, end.x, 1e-3f);
      EXPECT_NEAR(path.back().z, end.z, 1e-3f);
      for (size_t k = 0; k < path.size(); ++k) {
        ASSERT_TRUE(Finite(path[k]));
        ++points;
        if (!OnFloor(floor, path[k].x, path[k].z, slack)) ++outside;
        if (obstacleCount == 0 && k > 0) {
          EXPECT_TRUE(SegmentOnFloor(floor, path[k - 1], path[k], slack)) << "query " << i << " segment " << k;
          if (!goalsOnFloor) {
            EXPECT_FALSE(nav->SegmentHitsBoundary(path[k - 1], path[k]));
          }
        }
      }
    }
    EXPECT_GT(found, 300) << obstacleCount;
    EXPECT_EQ(outside, 0) << obstacleCount << " obstacles";
    std::cout << obstacleCount << " obstacles: " << found << " paths, " << outside << " of " << points
              << " points off the floor\n";
  }
}

TEST(NavMeshPath, RandomQueriesStayOnTheFloorAndMatchThePlainVersion) {
  cl_Mesh m;
  st_FloorSpec s;
  s.cellsX = 16, s.cellsZ = 12;
  s.cell = 25.0f;
  s.holes = {{4, 4}, {4, 5}, {5, 4}, {5, 5}, {10, 2}, {10, 3}, {10, 4}, {10, 5}, {10, 6}, {10, 7}, {10, 8}, {13, 9}};
  BuildFloor(m, s);
  RandomQueries(NavMeshFrom(m).get(), 1234);
}

TEST(NavMeshPath, RandomQueriesOnTheDemoFloors) {
  for (const char* file : {"Scenes/Office/navmesh.xml", "Scenes/Quay/navmesh.xml", "Scenes/Stage/navmesh.xml"}) {
    SCOPED_TRACE(file);
    std::unique_ptr<cl_NavMesh> nav(cl_NavMesh::Create());
    ASSERT_TRUE(nav->LoadMesh((std::string(QUILLANE_DATA_DIR) + "/" + file).c_str()));
    RandomQueries(nav.get(), 99, true);
  }
}

// A corridor two cells wide winding across 17 rows, written as a scene's nav-mesh file (Ogre
// XML) and loaded: the walk from one end to the other (over a thousand points before smoothing)
// is found, begins and ends where asked and keeps to the floor point by point and segment by
// segment; a start hundreds of floors' widths away is refused with a line naming the file.
TEST(NavMeshPath, LongWalksThroughAWindingCorridorAreFound) {
  cl_Mesh source;
  st_FloorSpec s;
  s.cellsX = 40, s.cellsZ = 50, s.cell = 10.0f;
  for (int row = 2, turn = 0; row < s.cellsZ; row += 3, ++turn) {
    for (int x = 0; x < s.cellsX - 2; ++x) s.holes.insert({turn % 2 ? x + 2 : x, row});
  }
  BuildFloor(source, s);
  std::string xml = "<mesh><submeshes><submesh material=\"floor\" usesharedvertices=\"false\"><faces count=\"" +
                    std::to_string(source.faces.size()) + "\">";
  for (const auto* f : source.faces) {
    xml += "<face v1=\"" + std::to_string(f->vertices[0]->index) + "\" v2=\"" + std::to_string(f->vertices[1]->index) +
           "\" v3=\"" + std::to_string(f->vertices[2]->index) + "\"/>";
  }
  xml += "</faces><geometry vertexcount=\"" + std::to_string(source.vertices.size()) +
         "\"><vertexbuffer positions=\"true\">";
  for (const auto* v : source.vertices) {
    xml += "<vertex><position x=\"" + std::to_string(v->position.x) + "\" y=\"0\" z=\"" +
           std::to_string(v->position.z) + "\"/></vertex>";
  }
  xml += "</vertexbuffer></geometry></submesh></submeshes></mesh>";
  testsupport::TempDir dir;
  dir.write("winding.xml", xml);
  std::unique_ptr<cl_NavMesh> nav(cl_NavMesh::Create());
  ASSERT_TRUE(nav->LoadMesh(dir.path("winding.xml").c_str()));

  const tPoint p(5, 0, 5), q(395, 0, 495);
  tPointList nodes;
  ASSERT_TRUE(nav->FindPathNodes(p, q, nodes, nullptr));
  cl_NavMesh::SubdividePath(nodes);
  EXPECT_GT(nodes.size(), 1100u);
  tPointList path;
  ASSERT_TRUE(nav->FindPath(p, q, path, nullptr));
  EXPECT_EQ(path.front(), p);
  EXPECT_EQ(path.back(), q);
  EXPECT_GT(cl_NavMesh::PathLength(path), 6000.0f);
  const st_Floor floor = FloorOf(*nav->GetMesh());
  for (size_t k = 1; k < path.size(); ++k) {
    EXPECT_TRUE(OnFloor(floor, path[k].x, path[k].z, 1e-3)) << k;
    EXPECT_TRUE(SegmentOnFloor(floor, path[k - 1], path[k], 1e-3, 2.5)) << k;  // walls are 10 thick
  }

  testsupport::LogCapture log;
  tPointList kept{tPoint(1, 2, 3)};
  EXPECT_FALSE(nav->FindPath(tPoint(-2e5f, 0, -2e5f), q, kept, nullptr));
  EXPECT_EQ(kept, tPointList{tPoint(1, 2, 3)});
  EXPECT_TRUE(log.contains("winding.xml")) << log.text();
}

TEST(NavMeshPath, StartAndGoalAtTheSameNodeWalkStraight) {
  auto nav = FloorNavMesh(4, 4);
  tPointList path;
  ASSERT_TRUE(nav->FindPath(tPoint(9, 0, 1), tPoint(11, 2, 1), path, nullptr));
  EXPECT_EQ(path, (tPointList{tPoint(9, 0, 1), tPoint(11, 2, 1)}));
  // A goal just outside is pulled onto the boundary.
  ASSERT_TRUE(nav->FindPath(tPoint(9, 0, 1), tPoint(10, 0, -1), path, nullptr));
  EXPECT_EQ(path.back(), tPoint(10, 0, 0));
}

TEST(NavMeshPath, NonFiniteInputsAndSeparateIslandsFail) {
  cl_Mesh m;
  st_FloorSpec s;
  s.cellsX = 3, s.cellsZ = 3;
  BuildFloor(m, s);
  s.origin = V3(500, 0, 0);
  BuildFloor(m, s);
  auto nav = NavMeshFrom(m);
  const tPointList keep{tPoint(7, 7, 7)};
  tPointList path = keep;
  EXPECT_FALSE(nav->FindPath(tPoint(10, 0, 10), tPoint(530, 0, 30), path, nullptr));
  EXPECT_FALSE(nav->FindPath(tPoint(NAN, 0, 10), tPoint(30, 0, 30), path, nullptr));
  EXPECT_FALSE(nav->FindPath(tPoint(10, 0, 10), tPoint(30, INFINITY, 30), path, nullptr));
  const tPointList badObstacle{tPoint(20, 20, NAN)};
  EXPECT_FALSE(nav->FindPath(tPoint(10, 0, 10), tPoint(50, 0, 50), path, &badObstacle));
  EXPECT_EQ(path, keep);
  EXPECT_TRUE(nav->FindPath(tPoint(510, 0, 10), tPoint(550, 0, 50), path, nullptr));
}

TEST(NavMeshPath, ObstacleIsAvoidedWhenADetourIsCheaper) {
  auto nav = FloorNavMesh(12, 6);
  const tPointList obstacles{tPoint(120, 60, 15)};
  tPointList path;
  ASSERT_TRUE(nav->FindPath(tPoint(10, 0, 60), tPoint(230, 0, 60), path, &obstacles));
  for (size_t k = 1; k < path.size(); ++k) {
    EXPECT_FALSE(cl_NavMesh::SegmentHitsObstacle(path[k - 1], path[k], obstacles)) << k;
  }
  // A goal inside an obstacle is moved 1.0 beyond its rim.
  const tPointList onGoal{tPoint(200, 60, 20)};
  ASSERT_TRUE(nav->FindPath(tPoint(10, 0, 60), tPoint(205, 0, 60), path, &onGoal));
  EXPECT_NEAR(path.back().x, 221.0f, 1e-3f);
  EXPECT_NEAR(path.back().z, 60.0f, 1e-3f);
}

TEST(NavMeshPath, SubdivisionEveryTenUnits) {
  tPointList p{tPoint(0, 0, 0), tPoint(35, 0, 0), tPoint(45, 0, 0), tPoint(45, 0, 70), tPoint(45, 0, 45)};
  cl_NavMesh::SubdividePath(p);
  EXPECT_EQ(p, (tPointList{tPoint(0, 0, 0), tPoint(10, 0, 0), tPoint(20, 0, 0), tPoint(30, 0, 0), tPoint(35, 0, 0),
                           tPoint(45, 0, 0), tPoint(45, 0, 10), tPoint(45, 0, 20), tPoint(45, 0, 30), tPoint(45, 0, 40),
                           tPoint(45, 0, 50), tPoint(45, 0, 60), tPoint(45, 0, 70), tPoint(45, 0, 60), tPoint(45, 0, 50),
                           tPoint(45, 0, 45)}));
}

TEST(NavMeshPath, SmoothingALineOfSightLeavesTwoPointsLastFirst) {
  cl_Mesh m;
  BuildFloor(m, st_FloorSpec{});
  auto nav = NavMeshFrom(m);
  tPointList p{tPoint(10, 0, 10), tPoint(20, 0, 30), tPoint(50, 0, 40), tPoint(150, 0, 150)};
  nav->SmoothPath(p, nullptr);
  EXPECT_EQ(p, (tPointList{tPoint(150, 0, 150), tPoint(10, 0, 10)}));
}

// A hand-made graph for the search's ordering rules.
class cl_TestGraph : public quillane::tPathFinder<cl_PathNode> {
 public:
  explicit cl_TestGraph(int count) : nodes(count), links(count), costs(count) {
    for (int i = 0; i < count; ++i) nodes[i].id = i;
  }
  void Link(int a, int b, float cost) {
    links[a].push_back(&nodes[b]);
    costs[a].push_back(cost);
  }
  void Finish() {
    for (size_t i = 0; i < nodes.size(); ++i) {
      nodes[i].neighbours = links[i].data();
      nodes[i].neighbourCount = static_cast<int>(links[i].size());
    }
  }
  float EdgeCost(cl_PathNode* from, cl_PathNode* to) override {
    for (size_t k = 0; k < links[from->id].size(); ++k)
      if (links[from->id][k] == to) return costs[from->id][k];
    return 0.0f;
  }
  std::vector<int> Ids() const {
    std::vector<int> out;
    for (auto* n : m_result) out.push_back(n->id);
    return out;
  }
  std::vector<cl_PathNode> nodes;
  std::vector<std::vector<cl_PathNode*>> links;
  std::vector<std::vector<float>> costs;
};

TEST(PathSearch, EqualCostRoutesGoThroughTheFirstDiscoveredNode) {
  cl_TestGraph g(4);
  g.Link(0, 2, 1), g.Link(0, 1, 1), g.Link(1, 3, 1), g.Link(2, 3, 1);
  g.Finish();
  ASSERT_TRUE(g.Search(&g.nodes[0], &g.nodes[3], 100.0f));
  EXPECT_EQ(g.Ids(), (std::vector<int>{2, 3}));
  EXPECT_FLOAT_EQ(g.m_resultCost, 2.0f);
  for (auto& n : g.nodes) EXPECT_EQ(n.parent, nullptr) << "marks are cleared";
}

TEST(PathSearch, FirstDiscoveryKeepsItsCostAndTheGoalIsTestedWhenPopped) {
  cl_TestGraph g(4);
  // 0 → 3 directly costs 10; 0 → 1 → 2 → 3 costs 3 and wins because 3 is popped last.
  g.Link(0, 3, 10), g.Link(0, 1, 1), g.Link(1, 2, 1), g.Link(2, 3, 1);
  g.Finish();
  ASSERT_TRUE(g.Search(&g.nodes[0], &g.nodes[3], 100.0f));
  // 3 was discovered first at cost 10 and keeps it: a later, cheaper way is ignored.
  EXPECT_EQ(g.Ids(), (std::vector<int>{3}));
  EXPECT_FLOAT_EQ(g.m_resultCost, 10.0f);
  // Over the cost limit the direct edge is never taken.
  ASSERT_TRUE(g.Search(&g.nodes[0], &g.nodes[3], 9.0f));
  EXPECT_EQ(g.Ids(), (std::vector<int>{1, 2, 3}));
}

TEST(PathSearch, CostLimitBudgetAndSameNodeFail) {
  cl_TestGraph g(3);
  g.Link(0, 1, 600000), g.Link(1, 2, 600000);
  g.Finish();
  EXPECT_FALSE(g.Search(&g.nodes[0], &g.nodes[2], 1000000.0f));
  EXPECT_TRUE(g.Search(&g.nodes[0], &g.nodes[2], 1200000.0f));
  EXPECT_FALSE(g.Search(&g.nodes[1], &g.nodes[1], 1000000.0f));
  EXPECT_FALSE(g.Search(nullptr, &g.nodes[1], 1000000.0f));

  // A chain longer than the pop budget: no path, and no deep recursion clearing the marks.
  const int n = 60000;
  cl_TestGraph chain(n);
  for (int i = 0; i + 1 < n; ++i) chain.Link(i, i + 1, 1.0f), chain.Link(i + 1, i, 1.0f);
  chain.Finish();
  EXPECT_FALSE(chain.Search(&chain.nodes[0], &chain.nodes[n - 1], 1e9f));
  EXPECT_TRUE(chain.Search(&chain.nodes[0], &chain.nodes[49998], 1e9f));
  EXPECT_FALSE(chain.Search(&chain.nodes[0], &chain.nodes[49999], 1e9f));
  for (auto& node : chain.nodes) ASSERT_EQ(node.parent, nullptr);
}

}  // namespace
}  // namespace navtest
