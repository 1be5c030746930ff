#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "base/math/Matrix4.h"
#include "mesh_test_support.h"

namespace {

using base::cl_Mesh;
using meshtest::V2;
using meshtest::V3;

struct Corner {
  V3 position;
  V3 normal;
  V2 uv;
  bool operator==(const Corner& o) const { return position == o.position && normal == o.normal && uv == o.uv; }
};

// Three triangles over a quad and a fan, one of them giving a shared position another uv, and a
// pentagon, each corner with its own vertex (split mode).
std::vector<std::vector<Corner>> SampleFaces() {
  const V3 p[] = {V3(0, 0, 0), V3(1, 0, 0), V3(1, 0, 1), V3(0, 0, 1), V3(2, 0, 0)};
  const V3 up(0, 1, 0), tilted(0, 0.8f, 0.6f);
  std::vector<std::vector<Corner>> faces = {
      {{p[0], up, V2(0, 0)}, {p[1], up, V2(1, 0)}, {p[2], up, V2(1, 1)}},
      {{p[0], up, V2(0, 0)}, {p[2], up, V2(1, 1)}, {p[3], up, V2(0, 1)}},
      {{p[1], tilted, V2(0.5f, 0)}, {p[4], tilted, V2(1, 0)}, {p[2], up, V2(1, 1)}},
  };
  std::vector<Corner> pentagon;
  for (int k = 0; k < 5; ++k) {
    const float a = static_cast<float>(k) * 1.2566f;
    pentagon.push_back({V3(5 + std::cos(a), 1, std::sin(a)), up, V2(0.1f * static_cast<float>(k), 0.5f)});
  }
  faces.push_back(pentagon);
  return faces;
}

void BuildSplit(cl_Mesh& m) {
  for (const auto& face : SampleFaces()) {
    std::vector<cl_Mesh::st_Vertex*> corners;
    for (const auto& c : face) corners.push_back(m.AddVertex(c.position, c.normal, c.uv));
    m.AddFace(corners.data(), static_cast<int>(corners.size()));
  }
}

// What each corner carries, read the way the mesh's mode stores it.
std::vector<std::vector<Corner>> CornerView(const cl_Mesh& m) {
  std::vector<std::vector<Corner>> out;
  for (const auto* f : m.faces) {
    std::vector<Corner> face;
    for (int i = 0; i < f->vertices.size(); ++i) {
      const auto* v = f->vertices[i];
      if (m.vertexUsage == cl_Mesh::VERTEX_SHARED) {
        EXPECT_EQ(v->normal, V3());
        EXPECT_EQ(v->uv, V2());
        face.push_back({v->position, f->cornerNormals[i], f->cornerUVs[i]});
      } else {
        EXPECT_EQ(f->cornerUVs.size(), 0);
        face.push_back({v->position, v->normal, v->uv});
      }
    }
    out.push_back(face);
  }
  return out;
}

TEST(VertexSharing, EveryModeChangeKeepsWhatEachCornerCarries) {
  const cl_Mesh::en_VertexUsage modes[] = {cl_Mesh::VERTEX_SPLIT, cl_Mesh::VERTEX_MERGED, cl_Mesh::VERTEX_SHARED};
  const int vertexCount[] = {14, 11, 10};  // distinct corners; distinct (position, normal, uv); positions
  for (auto from : modes) {
    for (auto to : modes) {
      SCOPED_TRACE(testing::Message() << "from " << from << " to " << to);
      cl_Mesh m;
      BuildSplit(m);
      m.SetVertexSharing(from);
      ASSERT_EQ(m.vertices.size(), vertexCount[from]);
      m.SetVertexSharing(to);
      EXPECT_EQ(m.vertexUsage, to);
      EXPECT_EQ(m.vertices.size(), vertexCount[to]);
      EXPECT_EQ(CornerView(m), SampleFaces());
      for (int i = 0; i < m.vertices.size(); ++i) EXPECT_EQ(m.vertices[i]->index, i);
    }
  }
}

TEST(VertexSharing, SplitFromMergedKeepsBonesAndTags) {
  cl_Mesh m;
  auto* a = m.AddVertex(V3(0, 0, 0), V3(0, 1, 0), V2(0.25f, 0.75f));
  auto* b = m.AddVertex(V3(1, 0, 0), V3(0, 1, 0), V2(1, 0));
  auto* c = m.AddVertex(V3(0, 0, 1), V3(0, 1, 0), V2(0, 1));
  auto* d = m.AddVertex(V3(1, 0, 1), V3(0, 1, 0), V2(1, 1));
  for (int k = 0; k < 6; ++k) a->AddBone(static_cast<unsigned char>(k), 0.1f * static_cast<float>(k));
  a->tag = 42;
  m.AddTriangle(a, b, c);
  m.AddTriangle(c, b, a);
  m.AddTriangle(a, d, b);
  m.vertexUsage = cl_Mesh::VERTEX_MERGED;
  m.SetVertexSharing(cl_Mesh::VERTEX_SPLIT);
  ASSERT_EQ(m.vertices.size(), 9);
  const auto* copy = m.faces[1]->vertices[2];
  ASSERT_NE(copy, a);
  EXPECT_EQ(copy->mark, 2);
  EXPECT_EQ(copy->tag, 42);
  EXPECT_EQ(copy->uv, V2(0.25f, 0.75f));
  ASSERT_EQ(copy->boneIndices.size(), 6);
  ASSERT_EQ(copy->boneWeights.size(), 6);
  EXPECT_EQ(copy->boneIndices[5], 5);
  EXPECT_FLOAT_EQ(copy->boneWeights[5], 0.5f);
  EXPECT_NE(copy->boneIndices.overflow, a->boneIndices.overflow);  // copied, not shared
}

TEST(VertexSharing, TheCurrentModeDoesNothing) {
  for (auto mode : {cl_Mesh::VERTEX_SPLIT, cl_Mesh::VERTEX_MERGED, cl_Mesh::VERTEX_SHARED}) {
    cl_Mesh m;
    meshtest::BuildQuad(m);
    m.AddVertex(V3(0, 0, 0), V3(0, 1, 0), V2(0, 0));  // a copy a merge would fold away
    m.vertexUsage = mode;
    m.SetVertexSharing(mode);
    EXPECT_EQ(m.vertices.size(), 5);
  }
  cl_Mesh m;
  meshtest::BuildQuad(m);
  m.SetVertexSharing(static_cast<cl_Mesh::en_VertexUsage>(7));
  EXPECT_EQ(m.vertexUsage, 7);
  EXPECT_EQ(m.vertices.size(), 4);
}

// Two faces at a right angle over the edge s0-s1, the first four times the area of the second,
// and a third touching the first in one vertex only.
struct Corner3 {
  cl_Mesh m;
  cl_Mesh::st_Vertex *s0, *s1, *a, *b, *c, *d;
  cl_Mesh::st_Face *fa, *fb, *fc;
  Corner3() {
    s0 = m.AddVertex(V3(0, 0, 0), V3(), V2());
    s1 = m.AddVertex(V3(2, 0, 0), V3(), V2());
    a = m.AddVertex(V3(0, 0, 2), V3(), V2());
    b = m.AddVertex(V3(0, 1, 0), V3(), V2());  // above s0: same x and z
    c = m.AddVertex(V3(-1, 0, 3), V3(), V2());
    d = m.AddVertex(V3(-1, 0, 2), V3(), V2());
    fa = m.AddTriangle(s0, a, s1);
    fb = m.AddTriangle(s0, s1, b);
    fc = m.AddTriangle(a, c, d);
  }
};

TEST(Connectivity, NeighboursCentresAndAreaWeightedNormals) {
  Corner3 t;
  t.fa->word2 = 9;
  t.m.CalcConnectivity();
  EXPECT_EQ(t.fa->word2, 0);
  EXPECT_TRUE(t.m.flags & cl_Mesh::FLAG_VERTEX_FACES);
  EXPECT_EQ(t.fa->normal, V3(0, 4, 0));  // twice the area, not normalised
  EXPECT_EQ(t.fb->normal, V3(0, 0, 2));
  EXPECT_FLOAT_EQ(t.fa->centre.x, 2.0f / 3);
  EXPECT_FLOAT_EQ(t.fa->centre.z, 2.0f / 3);
  ASSERT_EQ(t.fa->neighbours.size(), 1);
  EXPECT_EQ(t.fa->neighbours[0], t.fb);
  ASSERT_EQ(t.fb->neighbours.size(), 1);
  EXPECT_EQ(t.fc->neighbours.size(), 0);  // one shared vertex is not enough
  EXPECT_FLOAT_EQ(t.s0->normal.y, 2 / std::sqrt(5.0f));
  EXPECT_FLOAT_EQ(t.s0->normal.z, 1 / std::sqrt(5.0f));
  EXPECT_EQ(t.b->normal, V3(0, 0, 1));
  EXPECT_EQ(t.a->faces.size(), 2);
  for (const auto* v : t.m.vertices) EXPECT_EQ(v->mark, 0);
  // Marks left by a split and merge back do not make faces touching in one vertex neighbours.
  Corner3 again;
  again.m.SplitVertices();
  again.m.MergeVerticesAllPairs(1e-5f);
  ASSERT_EQ(again.m.vertices.size(), 6);
  again.m.CalcConnectivity();
  EXPECT_EQ(again.fc->neighbours.size(), 0);
  EXPECT_EQ(again.fa->neighbours.size(), 1);
  // A face using a vertex twice is listed twice, and counts twice.
  cl_Mesh m;
  auto* p = m.AddVertex(V3(0, 0, 0), V3(), V2());
  auto* q = m.AddVertex(V3(1, 0, 0), V3(), V2());
  auto* r = m.AddVertex(V3(0, 0, 1), V3(), V2());
  m.AddFace(std::vector<cl_Mesh::st_Vertex*>{p, r, q, p}.data(), 4);
  m.FindVertexFaces();
  EXPECT_EQ(p->faces.size(), 2);
}

TEST(EdgeList, EdgesAndBothWarnings) {
  Corner3 t;
  auto* twice = t.m.AddFace(std::vector<cl_Mesh::st_Vertex*>{t.c, t.c, t.d}.data(), 3);
  t.m.CalcConnectivity();
  testsupport::LogCapture log;
  t.m.BuildEdgeList();
  // fa: 3 edges; fb: s0-s1 again, s1-b, b-s0 refused (same x and z); fc: 3; twice: c-c refused,
  // c-d and d-c are fc's.
  EXPECT_EQ(t.m.edges.size(), 7);
  EXPECT_TRUE(log.contains(
      "Warning: mesh import detected invalid edge (0.00,1.00,0.00)\n(two vertices sharing XZ position)\n"));
  EXPECT_TRUE(log.contains("Warning: mesh import detected invalid edge (-1.00,0.00,3.00)\n(vertex occurred twice)\n"));
  EXPECT_EQ(t.fb->edges.size(), 2);
  EXPECT_EQ(twice->edges.size(), 1);  // c-d and d-c are one edge
  cl_Mesh::st_Edge* shared = t.m.AddOrFindEdge(t.s1, t.s0);
  EXPECT_EQ(shared->vertexA, t.s1);  // as the first face met it
  ASSERT_EQ(shared->faces.size(), 2);
  EXPECT_EQ(shared->centre, V3(1, 0, 0));
  EXPECT_FLOAT_EQ(shared->normal.y, 2 / std::sqrt(5.0f));
  for (int i = 0; i < t.m.edges.size(); ++i) EXPECT_EQ(t.m.edges[i]->index, i);
}

// Faces of three to five corners drawn at random from a small pool, so that faces share edges
// with several others and some use a vertex twice; edges and neighbours against plain scans
// (every corner pair looked up through AddOrFindEdge, every face pair counted corner by corner).
TEST(Connectivity, NeighboursAndEdgesEqualPlainScansOnRandomMeshes) {
  std::mt19937 rng(11);
  for (int round = 0; round < 20; ++round) {
    cl_Mesh m, plain;
    for (int i = 0; i < 30; ++i) {
      const V3 p(static_cast<float>(i % 6), 0.0f, static_cast<float>(i / 6));
      m.AddVertex(p, V3(0, 1, 0), V2());
      plain.AddVertex(p, V3(0, 1, 0), V2());
    }
    for (int f = 0; f < 80; ++f) {
      std::vector<int> corners(3 + rng() % 3);
      for (int& c : corners) c = static_cast<int>(rng() % 30);
      std::vector<cl_Mesh::st_Vertex*> a, b;
      for (int c : corners) a.push_back(m.vertices[c]), b.push_back(plain.vertices[c]);
      m.AddFace(a.data(), static_cast<int>(a.size()));
      plain.AddFace(b.data(), static_cast<int>(b.size()));
    }
    testsupport::LogCapture log;  // the refused corner pairs' warnings
    m.CalcConnectivity();
    m.BuildEdgeList();
    plain.FindVertexFaces();
    for (auto* f : plain.faces) {
      const int n = f->vertices.size();
      for (int i = 0; i < n; ++i) {
        auto* a = f->vertices[i];
        auto* b = f->vertices[(i + 1) % n];
        if (a == b || (a->position.x == b->position.x && a->position.z == b->position.z)) continue;
        auto* e = plain.AddOrFindEdge(a, b);
        e->faces.push_back_unique(f);
        f->edges.push_back_unique(e);
      }
    }
    ASSERT_EQ(m.edges.size(), plain.edges.size());
    for (int i = 0; i < m.edges.size(); ++i) {
      EXPECT_EQ(m.edges[i]->vertexA->index, plain.edges[i]->vertexA->index);
      EXPECT_EQ(m.edges[i]->vertexB->index, plain.edges[i]->vertexB->index);
      ASSERT_EQ(m.edges[i]->faces.size(), plain.edges[i]->faces.size());
      for (int k = 0; k < m.edges[i]->faces.size(); ++k)
        EXPECT_EQ(m.edges[i]->faces[k]->index, plain.edges[i]->faces[k]->index);
    }
    for (int i = 0; i < m.faces.size(); ++i) {
      const auto* f = plain.faces[i];
      std::vector<int> expected;
      for (int c = 0; c < f->vertices.size(); ++c) {
        const auto* v = f->vertices[c];
        for (int k = 0; k < v->faces.size(); ++k) {
          const auto* g = v->faces[k];
          int shared = 0;
          for (int d = 0; d < g->vertices.size(); ++d) shared += f->vertices.contains(g->vertices[d]);
          if (g != f && shared >= 2 && std::find(expected.begin(), expected.end(), g->index) == expected.end())
            expected.push_back(g->index);
        }
      }
      std::vector<int> found;
      for (int k = 0; k < m.faces[i]->neighbours.size(); ++k) found.push_back(m.faces[i]->neighbours[k]->index);
      EXPECT_EQ(found, expected) << "face " << i;
      EXPECT_EQ(m.faces[i]->word2, 0);
    }
  }
}

TEST(MeshTransforms, BoxScaleFlipAndMatrix) {
  cl_Mesh empty;
  empty.aabbMin = V3(1, 2, 3);
  empty.CalcAABB();
  EXPECT_EQ(empty.aabbMin, V3(1, 2, 3));
  EXPECT_EQ(empty.flags & cl_Mesh::FLAG_AABB, 0u);

  cl_Mesh m;
  auto* a = m.AddVertex(V3(0, 0, 0), V3(0, 0, 1), V2());
  auto* b = m.AddVertex(V3(3, 0, 0), V3(0, 0, 1), V2());
  auto* c = m.AddVertex(V3(0, 3, -1), V3(0, 0, 1), V2());
  auto* f = m.AddTriangle(a, b, c);
  m.CalcAABB();
  EXPECT_EQ(m.aabbMin, V3(0, 0, -1));
  EXPECT_EQ(m.aabbMax, V3(3, 3, 0));
  EXPECT_TRUE(m.flags & cl_Mesh::FLAG_AABB);

  m.CalcConnectivity();
  m.ScaleFaces(2);
  EXPECT_EQ(a->position, V3(-1, -1, 1.0f / 3));
  EXPECT_EQ(b->position, V3(5, -1, 1.0f / 3));

  f->cornerUVs.push_back(V2(1, 0));
  m.Flip();
  EXPECT_EQ(f->vertices[0], c);
  EXPECT_EQ(f->vertices[1], b);
  EXPECT_EQ(f->vertices[2], a);
  EXPECT_EQ(f->cornerUVs[0], V2(1, 0));

  base::Matrix4 move;
  move.translation(V3(0, 10, 0));
  const V3 normal = c->normal;
  m.TransformVertices(move);
  EXPECT_FLOAT_EQ(c->position.y, 15);
  EXPECT_EQ(c->normal, normal);
}

TEST(MeshPick, NearestHitOverFannedFaces) {
  cl_Mesh m;
  // A quad as one four-corner face at y = 0, and a triangle above its far corner at y = 1.
  auto* a = m.AddVertex(V3(0, 0, 0), V3(), V2());
  auto* b = m.AddVertex(V3(1, 0, 0), V3(), V2());
  auto* c = m.AddVertex(V3(1, 0, 1), V3(), V2());
  auto* d = m.AddVertex(V3(0, 0, 1), V3(), V2());
  m.AddFace(std::vector<cl_Mesh::st_Vertex*>{a, b, c, d}.data(), 4);
  m.AddTriangle(m.AddVertex(V3(0, 1, 0.5f), V3(), V2()), m.AddVertex(V3(0, 1, 1), V3(), V2()),
                m.AddVertex(V3(0.5f, 1, 1), V3(), V2()));
  struct Case {
    const char* name;
    V3 origin;
    V3 direction;
    bool hit;
    V3 point;
  };
  const Case cases[] = {
      {"first fan triangle", V3(0.75f, 5, 0.25f), V3(0, -1, 0), true, V3(0.75f, 0, 0.25f)},
      {"second fan triangle", V3(0.4f, 5, 0.6f), V3(0, -1, 0), true, V3(0.4f, 0, 0.6f)},
      {"the nearer of two", V3(0.1f, 5, 0.9f), V3(0, -1, 0), true, V3(0.1f, 1, 0.9f)},
      {"from below, the quad comes first", V3(0.1f, -2, 0.9f), V3(0, 1, 0), true, V3(0.1f, 0, 0.9f)},
      {"starting on the surface, t = 0", V3(0.5f, 0, 0.5f), V3(0, -1, 0), true, V3(0.5f, 0, 0.5f)},
      {"behind the ray", V3(0.5f, 3, 0.5f), V3(0, 1, 0), false, V3(0.5f, 2, 0.5f)},
      {"beside the mesh", V3(3, 5, 3), V3(0, -1, 0), false, V3(3, 6, 3)},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.name);
    V3 p(9, 9, 9);
    EXPECT_EQ(base::MeshPickNearest(p, &m, base::Ray3(t.origin, t.direction)), t.hit);
    EXPECT_FLOAT_EQ(p.x, t.point.x);
    EXPECT_FLOAT_EQ(p.y, t.point.y);
    EXPECT_FLOAT_EQ(p.z, t.point.z);
  }
}

TEST(MeshBuilding, RegionsAndEdgesAreFoundBeforeAdded) {
  cl_Mesh m;
  auto* r0 = m.FindOrAddRegion("hull");
  auto* r1 = m.FindOrAddRegion("Hull");
  EXPECT_NE(r0, r1);
  EXPECT_EQ(m.FindOrAddRegion("hull"), r0);
  EXPECT_EQ(r1->index, 1);
  EXPECT_EQ(r1->value1, 1);
  EXPECT_EQ(r1->value2, -1);
  EXPECT_EQ(m.FindRegion("sail"), nullptr);
  EXPECT_EQ(m.GetRegionByIndex(1), r1);
  r1->index = 5;
  EXPECT_EQ(m.GetRegionByIndex(5), r1);
  EXPECT_EQ(m.GetRegionByIndex(1), nullptr);

  meshtest::BuildQuad(m);
  auto* e = m.AddOrFindEdge(m.vertices[0], m.vertices[1]);
  EXPECT_EQ(m.AddOrFindEdge(m.vertices[1], m.vertices[0]), e);
  EXPECT_EQ(m.edges.size(), 1);
  // Lists grow past their inline part and keep their order.
  auto* v = m.vertices[0];
  for (int i = 0; i < 40; ++i) v->faces.push_back(m.faces[i % 2]);
  EXPECT_EQ(v->faces.size(), 40);
  EXPECT_EQ(v->faces.overflowCapacity, 32);
  EXPECT_EQ(v->faces[39], m.faces[1]);
  v->faces.clear();
  EXPECT_EQ(v->faces.overflowCapacity, 32);
}

}  // namespace
