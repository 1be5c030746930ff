#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "model_test_support.h"

namespace {

using namespace modeltest;
using gfx::cl_Model;

TEST(VertexFormat, TableOfSizesAndCodes) {
  gfx::st_VertexFormat skinned = gfx::st_VertexFormat::ForBuilding();
  skinned.AddPosition();
  skinned.AddSkinWeights(4);
  skinned.AddNormals(1);
  skinned.AddTexCoords(1);
  EXPECT_EQ(skinned.stride, 48u);
  EXPECT_EQ(skinned.GetFVF(), 0x111Cu);
  EXPECT_EQ(skinned.blendWeights, 0x24);

  gfx::st_VertexFormat wide = gfx::st_VertexFormat::ForBuilding();
  wide.AddPosition();
  wide.AddNormals(1);
  wide.AddTexCoords(2);
  wide.SetTexCoordSize(1, 3);
  EXPECT_EQ(wide.stride, 44u);
  EXPECT_EQ(wide.GetFVF(), 0x2u | 0x10u | 0x200u | (1u << 18));

  // Kind 0 keeps the layout but not the code.
  gfx::st_VertexFormat empty;
  empty.AddPosition();
  EXPECT_EQ(empty.stride, 12u);
  EXPECT_EQ(empty.GetFVF(), 0u);
}

TEST(VertexBufferRecord, EmptyRecordsAndKeptCopyRoundTrip) {
  gfx::cl_VertexBuffer vb;
  vb.Create(0, 32, 0x112, nullptr, true);
  EXPECT_EQ(vb.GetCount(), 0u);
  EXPECT_EQ(WriteToBytes([&](base::File* f) { vb.Write(f); }).size(), 12u);
  gfx::cl_IndexBuffer ib;
  EXPECT_EQ(WriteToBytes([&](base::File* f) { ib.Write(f); }).size(), 4u);

  float data[16];
  for (int i = 0; i < 16; ++i) data[i] = i * 0.5f;
  vb.Create(2, 32, 0x112, data, true);
  const std::string bytes = WriteToBytes([&](base::File* f) { EXPECT_TRUE(vb.Write(f)); });
  ASSERT_EQ(bytes.size(), 12u + 64u);
  gfx::cl_VertexBuffer back;
  base::File in;
  in.open_memory(bytes.data(), static_cast<int>(bytes.size()), "vb");
  ASSERT_TRUE(back.Read(&in));
  EXPECT_EQ(back.GetCount(), 2u);
  EXPECT_EQ(back.GetStride(), 32u);
  EXPECT_EQ(back.GetFVF(), 0x112u);
  // Without a device the read buffer keeps its bytes, so it writes the same record again.
  EXPECT_TRUE(WriteToBytes([&](base::File* f) { back.Write(f); }) == bytes);
}

TEST(ModelBuild, FanOrderStaticLayoutAndRegions) {
  cl_Mesh m;
  m.label = "quads";
  auto* a = m.AddVertex(V3(0, 0, 0), V3(0, 1, 0), V2(0, 0));
  auto* b = m.AddVertex(V3(1, 0, 0), V3(0, 1, 0), V2(1, 0));
  auto* c = m.AddVertex(V3(1, 0, 1), V3(0, 1, 0), V2(1, 1));
  auto* d = m.AddVertex(V3(0, 0, 1), V3(0, 1, 0), V2(0, 1));
  auto* e = m.AddVertex(V3(2, 0, 0), V3(0, 1, 0), V2(2, 0));
  base::cl_Mesh::st_Vertex* quad[4] = {a, b, c, d};
  m.AddFace(quad, 4)->region = m.FindOrAddRegion("floor");
  m.AddTriangle(b, e, c)->region = m.FindOrAddRegion("wall");
  m.AddTriangle(a, b, e);  // no region: counted, not drawn, slots zero
  cl_Model model;
  testsupport::LogCapture log;
  ASSERT_TRUE(model.BuildIndexArrays(m));
  EXPECT_FALSE(model.IsSkinned());
  EXPECT_TRUE(log.contains("Surface 0: 2 primitives"));
  EXPECT_TRUE(log.contains("Surface 1: 1 primitives"));
  const uint16_t* idx = model.GetIndexBuffer().GetSystemCopy();
  ASSERT_EQ(model.GetIndexBuffer().GetCount(), 12u);
  const std::vector<int> expected = {a->index, c->index, b->index, a->index, d->index, c->index,
                                     b->index, c->index, e->index, 0,        0,        0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(idx[i], expected[static_cast<size_t>(i)]) << i;
  ASSERT_EQ(model.GetPartitions().size(), 2u);
  EXPECT_EQ(model.GetPartitions()[1].startIndex, 6);
  EXPECT_EQ(model.GetVertexFormat().stride, 32u);
  EXPECT_EQ(model.GetVertexFormat().GetFVF(), 0x112u);
  float normal[3];
  std::memcpy(normal, model.GetVertexBuffer().GetSystemCopy() + 12, 12);
  EXPECT_EQ(normal[1], 1.0f);  // the static layout keeps the mesh normal
}

// Every triangle of every partition must find its vertices' bones at the positions its palette
// gives, whatever duplication the build did.
void ExpectPalettePositionsResolve(const cl_Model& model, const cl_Mesh& mesh) {
  const uint8_t* bytes = model.GetVertexBuffer().GetSystemCopy();
  const uint16_t* idx = model.GetIndexBuffer().GetSystemCopy();
  for (const auto& p : model.GetPartitions()) {
    for (int i = p.startIndex; i < p.startIndex + p.primitiveCount * 3; ++i) {
      const uint8_t* v = bytes + idx[i] * 48;
      float pos[3];
      std::memcpy(pos, v, 12);
      // The chain's vertex at height y hangs on bones y-1 and y.
      const int ring = static_cast<int>(pos[1] + 0.5f);
      std::set<int> want, got;
      if (ring > 0) want.insert(ring - 1);
      if (ring < 30) want.insert(ring);
      float w[3];
      std::memcpy(w, v + 12, 12);
      for (int k = 0; k < static_cast<int>(want.size()); ++k) {
        ASSERT_LT(v[24 + k], p.palette.size());
        got.insert(p.palette[v[24 + k]]);
      }
      EXPECT_EQ(got, want) << "index " << i;
    }
  }
  (void)mesh;
}

TEST(ModelBuild, ThirtyBoneChainPartitionsIntoPalettesOfAtMost25) {
  cl_Mesh m;
  BuildChain(m, 30, 26);
  cl_Model model;
  testsupport::LogCapture log;
  ASSERT_TRUE(model.BuildIndexArrays(m));
  EXPECT_TRUE(model.IsSkinned());
  EXPECT_EQ(model.GetVertexFormat().stride, 48u);
  EXPECT_EQ(model.GetVertexFormat().GetFVF(), 0x111Cu);
  const auto& parts = model.GetPartitions();
  ASSERT_GE(parts.size(), 3u);
  for (const auto& p : parts) EXPECT_LE(p.palette.size(), 25u);
  // Alpha partitions stand last.
  const int opaque = model.GetOpaquePartitionCount();
  for (int i = 0; i < static_cast<int>(parts.size()); ++i) {
    int alpha = 0;
    parts[static_cast<size_t>(i)].material.get_attribute_int("alpha", alpha);
    EXPECT_EQ(alpha != 0, i >= opaque) << i;
  }
  EXPECT_LT(opaque, static_cast<int>(parts.size()));
  // The logged partition count never rises from one range to the next.
  long last = 1 << 30;
  int ranges = 0;
  for (const auto& line : log.get()) {
    long range = 0, count = 0;
    if (std::sscanf(line.c_str(), "Range %ld, Partions: %ld", &range, &count) == 2) {
      EXPECT_LE(count, last) << line;
      last = count;
      ++ranges;
    }
  }
  EXPECT_EQ(ranges, 25);
  // Shared vertices between palettes are duplicated; every triangle still resolves its bones.
  EXPECT_GT(model.GetVertexBuffer().GetCount(), static_cast<uint32_t>(m.vertices.size()));
  ExpectPalettePositionsResolve(model, m);
  // The skinned layout stores the normal negated.
  const uint8_t* bytes = model.GetVertexBuffer().GetSystemCopy();
  for (const auto* v : m.vertices) {
    float n[3];
    std::memcpy(n, bytes + v->index * 48 + 28, 12);
    EXPECT_EQ(n[0], -v->normal.x);
    EXPECT_EQ(n[2], -v->normal.z);
  }
}

TEST(ModelBuild, SubsetGroupsMergeAndRegionsStayApart) {
  cl_Mesh m;
  BuildChain(m, 8, 4);
  cl_Model model;
  ASSERT_TRUE(model.BuildIndexArrays(m));
  ASSERT_EQ(model.GetPartitions().size(), 2u);
  EXPECT_EQ(model.GetOpaquePartitionCount(), 1);
  EXPECT_EQ(model.GetPartitions()[0].primitiveCount + model.GetPartitions()[1].primitiveCount, 8 * 4 * 2);
}

TEST(ModelBuild, RefusesMeshesItCannotHold) {
  struct Case {
    const char* name;
    void (*build)(cl_Mesh&);
    const char* message;
  };
  const Case cases[] = {
      {"empty", [](cl_Mesh&) {}, "no vertices"},
      {"points only",
       [](cl_Mesh& m) {
         auto* a = m.AddVertex(V3(0, 0, 0), V3(0, 1, 0), V2(0, 0));
         m.AddFace(&a, 1);
       },
       "no triangles"},
      {"unattached vertex",
       [](cl_Mesh& m) {
         BuildChain(m, 3);
         m.vertices[5]->boneIndices.clear();
         m.vertices[5]->boneWeights.clear();
       },
       "not attached to any bone"},
      {"26 bones on a vertex",
       [](cl_Mesh& m) {
         BuildChain(m, 3);
         for (int b = 0; b < 26; ++b) m.vertices[5]->boneIndices.push_back(static_cast<unsigned char>(40 + b));
       },
       "more than 25 bones"},
      {"face over 25 bones",
       [](cl_Mesh& m) {
         BuildChain(m, 3);
         for (int c = 0; c < 4; ++c) {
           auto* v = m.faces[0]->vertices[c];
           for (int b = 0; b < 7; ++b) v->boneIndices.push_back(static_cast<unsigned char>(50 + c * 7 + b));
         }
       },
       "more than the 25 of a palette"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cl_Mesh m;
    c.build(m);
    cl_Model model;
    testsupport::LogCapture log;
    EXPECT_FALSE(model.BuildIndexArrays(m));
    EXPECT_TRUE(log.contains(c.message));
    EXPECT_FALSE(model.IsBuilt());
    EXPECT_TRUE(model.GetPartitions().empty());
    EXPECT_EQ(model.GetVertexBuffer().GetCount(), 0u);
    // Nothing to write: refused with a line, not a half record.
    base::File* failed = nullptr;
    const std::string bytes = WriteToBytes([&](base::File* f) {
      EXPECT_FALSE(model.WriteRecord(f));
      failed = f;
    });
    (void)failed;
    EXPECT_TRUE(log.contains("without system copies"));
  }
}

TEST(ModelBuild, OverSixtyFiveThousandVerticesIsRefused) {
  cl_Mesh m;
  m.label = "big";
  for (int i = 0; i < 65537; ++i) m.AddVertex(V3(static_cast<float>(i), 0, 0), V3(0, 1, 0), V2(0, 0));
  m.AddTriangle(m.vertices[0], m.vertices[1], m.vertices[65536]);
  cl_Model model;
  testsupport::LogCapture log;
  EXPECT_FALSE(model.BuildIndexArrays(m));
  EXPECT_TRUE(log.contains("65537 vertices"));
}

TEST(ModelBuild, FindPaletteIndexComparesBytes) {
  EXPECT_EQ(cl_Model::FindPaletteIndex({7, 3, 9}, 9), 2);
  EXPECT_EQ(cl_Model::FindPaletteIndex({7, 3, 9}, 4), 0);
  EXPECT_EQ(cl_Model::FindPaletteIndex({}, 4), 0);
  EXPECT_EQ(cl_Model::FindPaletteIndex({7, 259}, 3), 1);
}

}  // namespace
