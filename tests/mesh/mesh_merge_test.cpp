#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "mesh_test_support.h"

namespace {

using base::cl_Mesh;
using meshtest::V2;
using meshtest::V3;

struct Vert {
  V3 position;
  V3 normal;
  V2 uv;
};

struct MergeCase {
  const char* name;
  std::vector<Vert> in;
  float epsilon;
  std::vector<V3> outPositions;  // in vertex order after the merge
};

TEST(MergeVertices, TolerancesAndSlotOrder) {
  const V3 up(0, 1, 0);
  const MergeCase cases[] = {
      {"0.5e-5 apart merges", {{V3(1, 1, 1), up, V2()}, {V3(1, 1, 1.000005f), up, V2()}}, 1e-5f, {V3(1, 1, 1)}},
      {"2e-5 apart stays", {{V3(1, 1, 1), up, V2()}, {V3(1, 1, 1.00002f), up, V2()}}, 1e-5f,
       {V3(1, 1, 1), V3(1, 1, 1.00002f)}},
      {"normals apart stay", {{V3(0, 0, 0), up, V2()}, {V3(0, 0, 0), V3(0, 1, 0.00002f), V2()}}, 1e-5f,
       {V3(0, 0, 0), V3(0, 0, 0)}},
      {"uvs apart stay", {{V3(0, 0, 0), up, V2()}, {V3(0, 0, 0), up, V2(0.00002f, 0)}}, 1e-5f,
       {V3(0, 0, 0), V3(0, 0, 0)}},
      {"vertices 1 and 3 of four coincide",
       {{V3(0, 0, 0), up, V2()}, {V3(1, 0, 0), up, V2()}, {V3(2, 0, 0), up, V2()}, {V3(1, 0, 0), up, V2()}},
       1e-5f, {V3(0, 0, 0), V3(1, 0, 0), V3(2, 0, 0)}},
      {"the last vertex takes the freed slot",
       {{V3(0, 0, 0), up, V2()},
        {V3(1, 0, 0), up, V2()},
        {V3(1, 0, 0), up, V2()},
        {V3(3, 0, 0), up, V2()},
        {V3(4, 0, 0), up, V2()}},
       1e-5f, {V3(0, 0, 0), V3(1, 0, 0), V3(4, 0, 0), V3(3, 0, 0)}},
      {"a moved last vertex is tested at once",
       {{V3(5, 0, 0), up, V2()}, {V3(5, 0, 0), up, V2()}, {V3(2, 0, 0), up, V2()}, {V3(5, 0, 0), up, V2()}},
       1e-5f, {V3(5, 0, 0), V3(2, 0, 0)}},
      {"closeness is not chained",
       {{V3(0, 0, 0), up, V2()}, {V3(0.6f, 0, 0), up, V2()}, {V3(1.2f, 0, 0), up, V2()}}, 1.0f,
       {V3(0, 0, 0), V3(1.2f, 0, 0)}},
      {"zero epsilon merges exact copies only",
       {{V3(0, 0, 0), up, V2()}, {V3(0, 0, 0), up, V2()}, {V3(0, 0, 1e-7f), up, V2()}}, 0.0f,
       {V3(0, 0, 0), V3(0, 0, 1e-7f)}},
  };
  for (const auto& c : cases) {
    for (int path = 0; path < 2; ++path) {
      SCOPED_TRACE(std::string(c.name) + (path ? " (all pairs)" : " (grid)"));
      cl_Mesh m;
      for (const auto& v : c.in) m.AddVertex(v.position, v.normal, v.uv);
      // A face over every vertex, so the renumbering shows in the corners.
      std::vector<cl_Mesh::st_Vertex*> corners(m.vertices.begin(), m.vertices.end());
      m.AddFace(corners.data(), static_cast<int>(corners.size()));
      if (path) {
        m.MergeVerticesAllPairs(c.epsilon);
      } else {
        m.MergeVertices(c.epsilon);
      }
      ASSERT_EQ(m.vertices.size(), static_cast<int>(c.outPositions.size()));
      for (int i = 0; i < m.vertices.size(); ++i) {
        EXPECT_EQ(m.vertices[i]->index, i);
        EXPECT_EQ(m.vertices[i]->position, c.outPositions[static_cast<size_t>(i)]) << i;
      }
      // Every corner kept its position (within epsilon) and names a live vertex.
      const auto* f = m.faces[0];
      for (int k = 0; k < f->vertices.size(); ++k) {
        const int idx = f->vertices[k]->index;
        ASSERT_GE(idx, 0);
        ASSERT_LT(idx, m.vertices.size());
        EXPECT_EQ(m.vertices[idx], f->vertices[k]);
        EXPECT_LE((f->vertices[k]->position - c.in[static_cast<size_t>(k)].position).length(), c.epsilon);
      }
    }
  }
}

// Random meshes with many exact and near copies: the grid path must give the same vertices in
// the same order and the same corner indices as the all-pairs reference.
TEST(MergeVertices, GridPathMatchesAllPairsOnRandomMeshes) {
  struct Setting {
    float epsilon;
    float grid;    // position quantum
    float jitter;  // noise added to some positions, around epsilon
  };
  const Setting settings[] = {{1e-5f, 0.25f, 1e-5f}, {0.3f, 0.2f, 0.1f}, {1e-5f, 100.0f, 2e-5f}, {0.05f, 0.01f, 0.0f}};
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const Setting& s = settings[seed % 4];
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> cellPick(-6, 6), small(0, 2), coin(0, 3);
    std::uniform_real_distribution<float> noise(-s.jitter, s.jitter);
    cl_Mesh a, b;
    const int n = 300 + static_cast<int>(seed) * 40;
    for (int i = 0; i < n; ++i) {
      V3 p(cellPick(rng) * s.grid, cellPick(rng) * s.grid, cellPick(rng) * s.grid);
      if (coin(rng) == 0) p += V3(noise(rng), noise(rng), noise(rng));
      const V3 nrm(0, small(rng) ? 1.0f : 0.0f, 1);
      const V2 uv(static_cast<float>(small(rng)) * 0.5f, 0);
      a.AddVertex(p, nrm, uv);
      b.AddVertex(p, nrm, uv);
    }
    std::uniform_int_distribution<int> pick(0, n - 1);
    for (int f = 0; f < n / 2; ++f) {
      const int i0 = pick(rng), i1 = pick(rng), i2 = pick(rng);
      a.AddTriangle(a.vertices[i0], a.vertices[i1], a.vertices[i2]);
      b.AddTriangle(b.vertices[i0], b.vertices[i1], b.vertices[i2]);
    }
    a.MergeVertices(s.epsilon);
    b.MergeVerticesAllPairs(s.epsilon);
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    EXPECT_LT(a.vertices.size(), n);  // the data did have copies
    for (int i = 0; i < a.vertices.size(); ++i) {
      ASSERT_EQ(a.vertices[i]->position, b.vertices[i]->position) << i;
      ASSERT_EQ(a.vertices[i]->normal, b.vertices[i]->normal) << i;
      ASSERT_EQ(a.vertices[i]->uv, b.vertices[i]->uv) << i;
      ASSERT_EQ(a.vertices[i]->index, i);
    }
    EXPECT_EQ(meshtest::CornerIndices(a), meshtest::CornerIndices(b));
  }
}

TEST(MergeVertices, PositionsTheGridCannotKeyTakeTheReferencePath) {
  cl_Mesh m;
  m.AddVertex(V3(3e38f, 0, 0), V3(), V2());
  m.AddVertex(V3(0, 0, 0), V3(), V2());
  m.AddVertex(V3(3e38f, 0, 0), V3(), V2());
  m.MergeVertices(1e-5f);
  ASSERT_EQ(m.vertices.size(), 2);
  EXPECT_EQ(m.vertices[1]->position, V3(0, 0, 0));
}

}  // namespace
