#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "base/resource/MultiFileFormatLoader.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/lwo/LwoImport.h"
#include "lwo_test_support.h"

namespace {

using namespace lwotest;
using base::cl_Mesh;
using V2 = base::tVector2<float>;
using V3 = base::tVector3<float>;

void ExpectNear(const V2& a, const V2& b) {
  EXPECT_NEAR(a.x, b.x, 1e-6f);
  EXPECT_NEAR(a.y, b.y, 1e-6f);
}

void ExpectNear(const V3& a, const V3& b) {
  EXPECT_NEAR(a.x, b.x, 1e-5f);
  EXPECT_NEAR(a.y, b.y, 1e-5f);
  EXPECT_NEAR(a.z, b.z, 1e-5f);
}

std::vector<int> Corners(const cl_Mesh::st_Face& f) {
  std::vector<int> out;
  for (int i = 0; i < f.vertices.size(); ++i) out.push_back(f.vertices[i]->index);
  return out;
}

class LwoImport : public ::testing::Test {
 protected:
  bool Import(const std::string& bytes, cl_Mesh& mesh, const char* name = "object.lwo") {
    m_dir.write(name, bytes);
    return base::MeshLoadLWO(m_dir.path(name).c_str(), &mesh);
  }
  testsupport::TempDir m_dir;
};

TEST_F(LwoImport, FirstLayerMirroredInXWithReversedWinding) {
  cl_Mesh m;
  ASSERT_TRUE(Import(FullObject(), m));
  EXPECT_EQ(m.vertexUsage, cl_Mesh::VERTEX_SHARED);

  // Only the first layer's five points and three polygons.
  ASSERT_EQ(m.vertices.size(), 5);
  ASSERT_EQ(m.faces.size(), 3);
  ExpectNear(m.vertices[0]->position, V3(-1, 2, 3));
  ExpectNear(m.vertices[4]->position, V3(-5, 5, 5));
  EXPECT_EQ(Corners(*m.faces[0]), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(Corners(*m.faces[2]), (std::vector<int>{1, 2, 3, 4}));

  // Corner normals with X negated: the Metal quad is not smoothed (angle 0).
  ASSERT_EQ(m.faces[2]->cornerNormals.size(), 4);
  const float len = std::sqrt(44.0f);
  for (int i = 0; i < 4; ++i) ExpectNear(m.faces[2]->cornerNormals[i], V3(2 / len, -2 / len, 6 / len));
  ExpectNear(m.faces[0]->cornerNormals[0], V3(0, 0, 1));
}

TEST_F(LwoImport, UvsFromTextureMapsFlippedInV) {
  cl_Mesh m;
  ASSERT_TRUE(Import(FullObject(), m));
  // Point uvs: (0.25, 0.75) becomes (0.25, 0.25); a point without one keeps (0, 0); a weight
  // map is never taken for a uv.
  ExpectNear(m.vertices[0]->uv, V2(0.25f, 0.25f));
  ExpectNear(m.vertices[1]->uv, V2(1, 0.5f));
  ExpectNear(m.vertices[3]->uv, V2(0, 0));

  // Polygon 1 over points 0, 2, 3 is reversed to 3, 2, 0: the corner at point 0 takes its own
  // per-polygon uv although a weight entry comes first; the shared vertex keeps its uv.
  const cl_Mesh::st_Face& f1 = *m.faces[1];
  ASSERT_EQ(f1.cornerUVs.size(), 3);
  ExpectNear(f1.cornerUVs[2], V2(0.5f, 0.75f));
  ExpectNear(f1.cornerUVs[1], V2(1, 0));
  ExpectNear(f1.vertices[2]->uv, V2(0.25f, 0.25f));
  // Polygon 0's corner at point 1 has only a weight entry: the point's uv.
  ExpectNear(m.faces[0]->cornerUVs[1], V2(1, 0.5f));
}

TEST_F(LwoImport, OneRegionPerSurfaceIncludingDefaults) {
  cl_Mesh m;
  ASSERT_TRUE(Import(FullObject(), m));
  ASSERT_EQ(m.regions.size(), 3);
  const char* labels[3] = {"Wood", "Metal", "Rope"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(m.regions[i]->label.c_str(), labels[i]);
    EXPECT_EQ(m.regions[i]->index, i);
  }
  EXPECT_EQ(m.faces[0]->region, m.regions[0]);
  EXPECT_EQ(m.faces[1]->region, m.regions[2]);
  EXPECT_EQ(m.faces[2]->region, m.regions[1]);
}

TEST_F(LwoImport, OlderFormAndOtherPolygonTypesImportAsFaces) {
  cl_Mesh old;
  ASSERT_TRUE(Import(OldObject(), old));
  EXPECT_EQ(old.faces.size(), 3);
  EXPECT_EQ(old.regions.size(), 2);

  IffWriter w;
  w.Chunk("FORM").Id("LWO2");
  Tags(w, {"Default"});
  Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}});
  w.Chunk("POLS").Id("PTCH").U2(4).VX(0).VX(1).VX(3).VX(2).End();
  w.Chunk("POLS").Id("CURV").U2(2).VX(0).VX(1).End();
  cl_Mesh patch;
  ASSERT_TRUE(Import(w.End().bytes(), patch));
  ASSERT_EQ(patch.faces.size(), 2);
  EXPECT_EQ(Corners(*patch.faces[0]), (std::vector<int>{2, 3, 1, 0}));
  EXPECT_EQ(Corners(*patch.faces[1]), (std::vector<int>{1, 0}));
}

TEST_F(LwoImport, RegisteredForTheExtensionInAnyCase) {
  base::RegisterMeshResourceType();
  m_dir.write("PIER.LWO", FullObject());
  cl_Mesh m;
  ASSERT_TRUE(base::tMultiFileFormatLoader<cl_Mesh>::LoadFileMultiFormat(m_dir.path("PIER.LWO").c_str(), &m));
  EXPECT_EQ(m.faces.size(), 3);

  // A damaged file fails the load and leaves the mesh empty.
  testsupport::LogCapture log;
  cl_Mesh bad;
  EXPECT_FALSE(Import(FullObject().substr(0, 120), bad));
  EXPECT_EQ(bad.regions.size(), 0);
  EXPECT_EQ(bad.vertices.size(), 0);
  EXPECT_TRUE(log.contains("ERROR: LightWave object"));
}

// A polygon without vertices stays the face of its number: the faces after it keep their
// numbers and their surfaces.
TEST_F(LwoImport, PolygonWithoutVerticesKeepsTheFaceNumbersAndSurfaces) {
  IffWriter w;
  w.Chunk("FORM").Id("LWO2");
  Tags(w, {"Hull", "Deck"});
  Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  Faces(w, {{0, 1, 2}, {}, {2, 1, 0}});
  PolygonTags(w, "SURF", {{0, 0}, {1, 0}, {2, 1}});
  testsupport::LogCapture log;
  cl_Mesh m;
  ASSERT_TRUE(Import(w.End().bytes(), m));
  ASSERT_EQ(m.faces.size(), 3);
  EXPECT_EQ(m.faces[1]->vertices.size(), 0);
  EXPECT_EQ(m.faces[2]->index, 2);
  EXPECT_EQ(Corners(*m.faces[2]), (std::vector<int>{0, 1, 2}));
  ASSERT_TRUE(m.faces[2]->region);
  EXPECT_STREQ(m.faces[2]->region->label.c_str(), "Deck");
  EXPECT_STREQ(m.faces[1]->region->label.c_str(), "Hull");
  EXPECT_TRUE(log.contains("1 polygons without vertices"));
}

}  // namespace

namespace {

// The demo's pier, written by demogen into the data folder at build time: the flat deck Pell walks
// on, a nav mesh of triangles in two surfaces, its x mirrored back into the scene's place.
TEST(LwoDemoData, PierImportsAsAFlatDeckOfTwoSurfaces) {
  const std::string path = std::string(QUILLANE_DATA_DIR) + "/Scenes/Quay/pier.lwo";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "the demo data has not been generated: " << path;
  testsupport::LogCapture log;
  cl_Mesh m;
  ASSERT_TRUE(base::MeshLoadLWO(path.c_str(), &m));
  EXPECT_TRUE(log.get().empty());
  ASSERT_EQ(m.regions.size(), 2);
  EXPECT_STREQ(m.regions[0]->label.c_str(), "Planks");
  EXPECT_STREQ(m.regions[1]->label.c_str(), "Beams");
  ASSERT_GE(m.faces.size(), 2);
  double area = 0.0;
  for (const auto* f : m.faces) {
    ASSERT_EQ(f->vertices.size(), 3);
    EXPECT_EQ(f->cornerUVs.size(), 3);
    const V3 a = f->vertices[0]->position, b = f->vertices[1]->position, c = f->vertices[2]->position;
    for (const V3& p : {a, b, c}) {
      EXPECT_EQ(p.y, 0.0f);
      EXPECT_GT(p.x, 250.0f);  // out on the water right of the quay's middle
      EXPECT_LT(p.z, -150.0f);
    }
    area += std::fabs((b.x - a.x) * (c.z - a.z) - (c.x - a.x) * (b.z - a.z)) * 0.5;
  }
  EXPECT_NEAR(area, 70.0 * 340.0, 1.0);  // the deck's walkable 70 x 340 cm
}

}  // namespace
