// The graph and boundary built from a floor, the mesh record round trip, damaged records, and the
// floor queries against their plain linear versions.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "../base/test_support.h"
#include "graphics/Camera.h"
#include "navmesh_test_support.h"
#include "plain_navmesh.h"

namespace navtest {
namespace {

// The floors the query comparisons run on.
std::vector<std::pair<const char*, std::function<void(cl_Mesh&)>>> Floors() {
  return {
      {"holes",
       [](cl_Mesh& m) {
         st_FloorSpec s;
         s.holes = {{3, 3}, {3, 4}, {6, 2}, {7, 7}, {0, 9}};
         BuildFloor(m, s);
       }},
      {"islands",
       [](cl_Mesh& m) {
         st_FloorSpec s;
         s.cellsX = 4, s.cellsZ = 4;
         BuildFloor(m, s);
         s.origin = V3(200, 0, 30);
         BuildFloor(m, s);
       }},
      {"slivers",
       [](cl_Mesh& m) {
         st_FloorSpec s;
         s.cellsX = 40, s.cellsZ = 2, s.cell = 0.05f;
         BuildFloor(m, s);
       }},
      {"duplicates and quads",
       [](cl_Mesh& m) {
         st_FloorSpec s;
         s.duplicateVertices = true;
         s.quads = true;
         s.holes = {{5, 5}};
         BuildFloor(m, s);
       }},
      {"ten corners", [](cl_Mesh& m) { AddPolygonFace(m, V3(0, 0, 0), 50.0f, 10); }},
      {"far away",
       [](cl_Mesh& m) {
         st_FloorSpec s;
         s.origin = V3(1.0e6f, 5, -1.0e6f);
         s.holes = {{2, 2}};
         BuildFloor(m, s);
       }},
  };
}

TEST(NavMeshGraph, OneNodePerEdgeWithNeighboursFromTheAdjacentFaces) {
  cl_Mesh m;
  st_FloorSpec s;
  s.cellsX = 1, s.cellsZ = 1;
  BuildFloor(m, s);  // two triangles: four outer edges and a diagonal
  auto nav = NavMeshFrom(m);
  ASSERT_EQ(nav->GetNodes().size(), 5u);
  EXPECT_EQ(nav->GetBoundaryPoints().size(), 8u);
  for (const auto& n : nav->GetNodes()) {
    const auto* e = static_cast<const cl_Mesh::st_Edge*>(n.element);
    EXPECT_EQ(n.neighbourCount, 2 * e->faces.size()) << "node " << n.id;
    EXPECT_EQ(n.id, e->index + 1);
  }
}

TEST(NavMeshGraph, NeighbourReachedThroughTwoFacesIsListedTwice) {
  cl_Mesh m;
  auto* a = m.AddVertex(V3(0, 0, 0), V3(0, 1, 0), V2(0, 0));
  auto* b = m.AddVertex(V3(10, 0, 0), V3(0, 1, 0), V2(0, 0));
  auto* c = m.AddVertex(V3(0, 0, 10), V3(0, 1, 0), V2(0, 0));
  m.AddTriangle(a, b, c);
  m.AddTriangle(a, c, b);  // the same triangle again, wound the other way
  auto nav = NavMeshFrom(m);
  ASSERT_EQ(nav->GetNodes().size(), 3u);
  const auto& n = nav->GetNodes()[0];
  ASSERT_EQ(n.neighbourCount, 4);
  EXPECT_EQ(std::count(n.neighbours, n.neighbours + 4, n.neighbours[0]), 2);
  EXPECT_TRUE(nav->GetBoundaryPoints().empty());
}

TEST(NavMeshGraph, BoundaryNormalsPointOutOfTheFloor) {
  for (auto& [name, build] : Floors()) {
    cl_Mesh m;
    build(m);
    auto nav = NavMeshFrom(m);
    const st_Floor floor = FloorOf(*nav->GetMesh());
    const auto& pts = nav->GetBoundaryPoints();
    ASSERT_FALSE(pts.empty()) << name;
    for (size_t i = 0; i < nav->GetBoundaryNormals().size(); ++i) {
      const tPoint mid = (pts[2 * i] + pts[2 * i + 1]) * 0.5f;
      const tPoint n = nav->GetBoundaryNormals()[i];
      EXPECT_NEAR(n.length(), 1.0f, 1e-4f);
      const float step = std::string(name) == "slivers" ? 0.01f : 0.5f;
      EXPECT_TRUE(OnFloor(floor, mid.x - n.x * step, mid.z - n.z * step, 0.0)) << name << " edge " << i;
      EXPECT_FALSE(OnFloor(floor, mid.x + n.x * step, mid.z + n.z * step, 0.0)) << name << " edge " << i;
    }
  }
}

TEST(NavMeshGraph, WriteAndReadGiveTheSameGraphAndBoundary) {
  cl_Mesh m;
  st_FloorSpec s;
  s.holes = {{4, 4}};
  s.duplicateVertices = true;
  BuildFloor(m, s);
  auto first = NavMeshFrom(m);
  testsupport::TempDir dir;
  const std::string path = dir.path("nav.bin");
  {
    base::File f(path.c_str(), base::File::STATUS_WRITE);
    first->WriteMesh(&f);
  }
  auto second = NavMeshFromBytes(dir.read("nav.bin"));
  ASSERT_EQ(first->GetNodes().size(), second->GetNodes().size());
  for (size_t i = 0; i < first->GetNodes().size(); ++i) {
    const auto& a = first->GetNodes()[i];
    const auto& b = second->GetNodes()[i];
    EXPECT_EQ(a.position, b.position);
    ASSERT_EQ(a.neighbourCount, b.neighbourCount);
    for (int k = 0; k < a.neighbourCount; ++k) EXPECT_EQ(a.neighbours[k]->id, b.neighbours[k]->id);
  }
  EXPECT_EQ(first->GetBoundaryPoints(), second->GetBoundaryPoints());
  EXPECT_EQ(first->GetBoundaryNormals(), second->GetBoundaryNormals());
}

TEST(NavMeshGraph, DuplicateVerticesAreMergedIntoOneGraph) {
  cl_Mesh shared, split;
  st_FloorSpec s;
  BuildFloor(shared, s);
  s.duplicateVertices = true;
  BuildFloor(split, s);
  auto a = NavMeshFrom(shared);
  auto b = NavMeshFrom(split);
  EXPECT_EQ(a->GetNodes().size(), b->GetNodes().size());
  EXPECT_EQ(a->GetBoundaryPoints().size(), b->GetBoundaryPoints().size());
  EXPECT_EQ(b->GetBoundaryPoints().size(), 2u * 40u);
}

TEST(NavMeshRecord, DamagedRecordLeavesAnEmptyNavMeshAndOneError) {
  cl_Mesh m;
  BuildFloor(m, st_FloorSpec{});
  std::string bytes = MeshRecord(m);
  for (const std::string& damaged : {bytes.substr(0, bytes.size() / 2), std::string("\x05\x00\x00", 3)}) {
    testsupport::LogCapture log;
    auto nav = NavMeshFromBytes(damaged);
    int errors = 0;
    for (const auto& line : log.get()) errors += line.find("ERROR:") != std::string::npos;
    EXPECT_EQ(errors, 1);
    EXPECT_TRUE(nav->GetNodes().empty());
    EXPECT_EQ(nav->GetNearestNodePosition(tPoint(5, 0, 5)), tPoint(0, 0, 0));
    tPointList path{tPoint(1, 2, 3)};
    EXPECT_FALSE(nav->FindPath(tPoint(5, 0, 5), tPoint(50, 0, 50), path, nullptr));
    EXPECT_EQ(path.size(), 1u);
    EXPECT_FALSE(nav->IsInside(tPoint(5, 0, 5)));
  }
}

TEST(NavMeshQueries, GridAnswersEqualTheLinearScans) {
  std::mt19937 rng(7);
  for (auto& [name, build] : Floors()) {
    cl_Mesh m;
    build(m);
    auto nav = NavMeshFrom(m);
    const cl_PlainNavMesh plain(*nav->GetMesh());
    float b[6];
    nav->GetBounds(b);
    const float mx = (b[3] - b[0]) * 0.2f + 1.0f, mz = (b[5] - b[2]) * 0.2f + 1.0f;
    std::uniform_real_distribution<float> ux(b[0] - mx, b[3] + mx), uz(b[2] - mz, b[5] + mz);
    // Every other query on a lattice of half cells of the grid floors: segments along edges,
    // through corners and of no length, where the grid walk along a segment must miss nothing.
    std::uniform_int_distribution<int> lattice(-2, 22);
    const float stepX = (b[3] - b[0]) / 20.0f, stepZ = (b[5] - b[2]) / 20.0f;
    auto onLattice = [&](float y) { return tPoint(b[0] + stepX * lattice(rng), y, b[2] + stepZ * lattice(rng)); };
    for (int i = 0; i < 2000; ++i) {
      tPoint p(ux(rng), 3.0f, uz(rng)), q(ux(rng), 0.0f, uz(rng));
      if (i % 2) p = onLattice(3.0f), q = i % 10 == 1 ? p : onLattice(0.0f);
      ASSERT_EQ(nav->IsInside(p), plain.IsInside(p)) << name << " " << i;
      tPoint near;
      nav->GetNearestBoundaryPoint(p, near);
      ASSERT_EQ(near, plain.NearestBoundaryPoint(p)) << name << " " << i;
      ASSERT_EQ(nav->SegmentHitsBoundary(p, q), plain.SegmentHitsBoundary(p, q)) << name << " " << i;
    }
  }
}

TEST(NavMeshQueries, InsideTestAgreesWithTheFacesAndIgnoresHeight) {
  std::mt19937 rng(11);
  for (auto& [name, build] : Floors()) {
    cl_Mesh m;
    build(m);
    auto nav = NavMeshFrom(m);
    const st_Floor floor = FloorOf(*nav->GetMesh());
    float b[6];
    nav->GetBounds(b);
    std::uniform_real_distribution<float> ux(b[0] - 5, b[3] + 5), uz(b[2] - 5, b[5] + 5);
    int checked = 0;
    for (int i = 0; i < 2000; ++i) {
      const float x = ux(rng), z = uz(rng);
      const double margin = std::string(name) == "slivers" ? 1e-3 : 1e-2;
      // Points right at an edge may go either way.
      if (OnFloor(floor, x, z, 0.0) != OnFloor(floor, x, z, margin)) continue;
      ++checked;
      ASSERT_EQ(nav->IsInside(tPoint(x, -500.0f, z)), OnFloor(floor, x, z, 0.0)) << name << " " << x << "," << z;
    }
    EXPECT_GT(checked, 1500) << name;
  }
}

TEST(NavMeshQueries, RayThroughACornerCountsOnce) {
  cl_Mesh m;
  st_FloorSpec s;
  s.cellsX = 1, s.cellsZ = 1, s.cell = 10.0f;
  BuildFloor(m, s);
  auto nav = NavMeshFrom(m);
  // The ray along (1, 1) from the middle leaves exactly through the corner (10, 10).
  EXPECT_TRUE(nav->IsInside(tPoint(5, 0, 5)));
  EXPECT_TRUE(nav->IsInside(tPoint(2, 0, 2)));
  EXPECT_FALSE(nav->IsInside(tPoint(-2, 0, -2)));
}

TEST(NavMeshQueries, SegmentCrossingsAtAnyScaleAndTouchingEndsDoNotCount) {
  for (const V3 origin : {V3(0, 0, 0), V3(1.0e6f, 0, 1.0e6f), V3(-3.0e5f, 0, 2.0e5f)}) {
    cl_Mesh m;
    st_FloorSpec s;
    s.cellsX = 2, s.cellsZ = 2, s.cell = 64.0f, s.origin = origin;
    BuildFloor(m, s);
    auto nav = NavMeshFrom(m);
    const tPoint o(origin.x, 0, origin.z);
    // Short segments across the left edge (x = origin.x) are seen.
    EXPECT_TRUE(nav->SegmentHitsBoundary(o + tPoint(-0.25f, 0, 10), o + tPoint(0.25f, 0, 10.2f)));
    EXPECT_FALSE(nav->SegmentHitsBoundary(o + tPoint(0.25f, 0, 10), o + tPoint(0.75f, 0, 10.2f)));
    // Ends on an edge, or running along it, stay inside.
    EXPECT_FALSE(nav->SegmentHitsBoundary(o + tPoint(20, 0, 20), o + tPoint(0, 0, 20)));
    EXPECT_FALSE(nav->SegmentHitsBoundary(o + tPoint(0, 0, 10), o + tPoint(0, 0, 100)));
    // Long segments over the whole floor.
    EXPECT_TRUE(nav->SegmentHitsBoundary(o + tPoint(-500, 0, 64), o + tPoint(500, 0, 65)));
  }
}

TEST(NavMeshQueries, AdjustPointKeepsTargetsOffTheBoundary) {
  auto nav = FloorNavMesh(5, 5);
  const tPoint a(50, 1, 50);
  EXPECT_EQ(nav->AdjustPoint(a, tPoint(-10, 7, 50), 5.0f), a);  // outside: stays at a, with a's y
  EXPECT_EQ(nav->AdjustPoint(a, tPoint(40, 7, 40), 5.0f), tPoint(40, 7, 40));
  const tPoint moved = nav->AdjustPoint(a, tPoint(2, 7, 50), 5.0f);  // 2 from the edge x = 0
  EXPECT_FLOAT_EQ(moved.x, (5.0f + 50.0f) * 0.5f);
  EXPECT_FLOAT_EQ(moved.z, 50.0f);
  EXPECT_FLOAT_EQ(moved.y, 7.0f);
}

TEST(NavMeshQueries, CentreBoundsDistancesAndPicks) {
  auto nav = FloorNavMesh(5, 5);
  const tPoint c = nav->GetCenter();
  EXPECT_NEAR(c.x, 40.0f / 3.0f, 1e-4f);
  EXPECT_NEAR(c.z, 20.0f / 3.0f, 1e-4f);
  float b[6];
  nav->GetBounds(b);
  EXPECT_EQ(std::vector<float>(b, b + 6), (std::vector<float>{0, 0, 0, 100, 0, 100}));
  float zNear, zFar;
  nav->GetVertexDistanceRange(tPoint(50, 0, 50), zNear, zFar);
  EXPECT_FLOAT_EQ(zNear, 0.1f);
  EXPECT_NEAR(zFar, std::sqrt(5000.0f) + 200.0f, 1e-3f);
  nav->GetVertexDistanceRange(tPoint(40, 1000, 40), zNear, zFar);
  EXPECT_FLOAT_EQ(zNear, 1000.0f - 200.0f);

  tPoint hit;
  EXPECT_TRUE(nav->PickRay(tPoint(30, 100, 30), tPoint(0, -5, 0), hit));
  EXPECT_NEAR(hit.y, 0.0f, 1e-4f);
  EXPECT_NEAR(hit.x, 30.0f, 1e-4f);
  EXPECT_FALSE(nav->PickRay(tPoint(300, 100, 30), tPoint(0, -1, 0), hit));
  EXPECT_FALSE(cl_NavMesh().PickRay(tPoint(30, 100, 30), tPoint(0, -1, 0), hit));
}

TEST(NavMeshQueries, PickScreenTakesTheNearestBoundaryPointInsideTheFloor) {
  auto nav = FloorNavMesh(5, 5);
  base::cl_Camera camera;
  camera.SetViewportRect(0, 0, 1024, 640);
  camera.SetAspect(1024.0f / 640.0f);
  camera.SetPos(base::tVector3<float>(50, 300, 400));  // in front of the floor, above it
  camera.LookAt(base::tVector3<float>(50, 0, 50), base::tVector3<float>(0, 1, 0));
  camera.GetProjectionMatrix();
  // The screen point of the near edge's middle (50, 0, 100).
  const auto screen = camera.World2Screen(tPoint(50, 0, 100));
  tPoint out;
  EXPECT_TRUE(nav->PickScreen(screen.x, screen.y, camera, out));
  EXPECT_NEAR(out.x, 50.0f, 0.5f);
  EXPECT_NEAR(out.z, 95.0f, 0.5f);  // 5 units inside
}

}  // namespace
}  // namespace navtest
