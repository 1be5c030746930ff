#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/resource/ResourceMgr.h"
#include "mesh_test_support.h"

namespace {

using base::cl_Mesh;

// The element of an XML text written with single quotes for readability.
base::StaticVariant Element(const char* xml) {
  std::string text(xml);
  for (char& ch : text) {
    if (ch == '\'') ch = '"';
  }
  base::StaticVariant sv;
  EXPECT_TRUE(base::xml::read_text(sv, text.c_str()));
  return sv;
}

void AddRegions(cl_Mesh& m, int n) {
  for (int i = 0; i < n; ++i) m.FindOrAddRegion(("r" + std::to_string(i)).c_str());
}

// Which regions hold a material, as a string of 0/1, and the "n" attribute of each filled one.
std::string Filled(const cl_Mesh& m) {
  std::string s;
  for (const auto* r : m.regions) {
    if (!r->material.is_element()) {
      s += "-";
    } else {
      const char* n = base::get_string(r->material.get_attribute("n"));
      s += n ? n : "?";
    }
  }
  return s;
}

TEST(InitMaterials, RegionsInOrderResynchronisedByLabelAndIndex) {
  struct Case {
    const char* name;
    int regions;
    const char* xml;
    const char* filled;
    const char* error;  // expected log text, or null for none
  };
  const Case cases[] = {
      {"in order, one too many", 2,
       "<Mesh><Material n='a'/><Material n='b'/><Material n='c'/></Mesh>", "ab", "ERROR: invalid surfaceindex 2\n"},
      {"by label, then onwards", 5, "<Mesh><Material label='r3' n='a'/><Material n='b'/></Mesh>", "---ab", nullptr},
      {"by index, then onwards", 4, "<Mesh><Material n='a'/><Material index='2' n='b'/><Material n='c'/></Mesh>",
       "a-bc", nullptr},
      {"index wins over label", 4, "<Mesh><Material label='r1' index='3' n='a'/></Mesh>", "---a", nullptr},
      {"an unknown label keeps the count", 3, "<Mesh><Material n='a'/><Material label='nope' n='b'/></Mesh>", "ab-",
       nullptr},
      {"other children are skipped", 2, "<Mesh><Texture n='x'/><Material n='a'/></Mesh>", "a-", nullptr},
      {"negative index", 2, "<Mesh><Material index='-1' n='a'/><Material n='b'/></Mesh>", "b-",
       "ERROR: invalid surfaceindex -1\n"},
      {"no regions", 0, "<Mesh><Material n='a'/></Mesh>", "", "ERROR: invalid surfaceindex 0\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    cl_Mesh m;
    AddRegions(m, c.regions);
    testsupport::LogCapture log;
    EXPECT_TRUE(m.InitMaterials(Element(c.xml)));
    EXPECT_EQ(Filled(m), c.filled);
    if (c.error) {
      EXPECT_TRUE(log.contains(c.error));
    } else {
      EXPECT_FALSE(log.contains("ERROR"));
    }
  }
}

TEST(InitMaterials, CopiesTheWholeElement) {
  cl_Mesh m;
  AddRegions(m, 1);
  m.InitMaterials(Element("<Mesh><Material diffuse='1 0 0'><Texture file='a.tga'/></Material></Mesh>"));
  const base::Variant& mat = m.regions[0]->material;
  EXPECT_STREQ(mat.get_label(), "Material");
  EXPECT_STREQ(base::get_string(mat.get_attribute("diffuse")), "1 0 0");
  ASSERT_NE(mat.get_element("Texture"), nullptr);
}

TEST(ListMaterials, OneLabelledMaterialPerRegionAppended) {
  cl_Mesh m;
  AddRegions(m, 2);
  m.regions[1]->material.set_element("Surface");
  m.regions[1]->material.attribute("shine")->set_int(3);
  base::Variant out;
  out.set_element("Model");
  out.add_element("Keep");
  m.ListMaterials(out);
  ASSERT_EQ(out.size(), 3);
  EXPECT_STREQ(out[1].get_label(), "Material");
  EXPECT_STREQ(base::get_string(out[1].get_attribute("label")), "r0");
  EXPECT_STREQ(out[2].get_label(), "Surface");
  EXPECT_STREQ(base::get_string(out[2].get_attribute("label")), "r1");
  EXPECT_EQ(base::get_int(out[2].get_attribute("shine")), 3);
  EXPECT_FALSE(m.regions[0]->material.is_element());  // the regions are not touched
}

// A stand-in importer: a quad with one region, or a failure for names holding "broken".
bool LoadTestMesh(const char* file, cl_Mesh* mesh) {
  if (std::string(file).find("broken") != std::string::npos) return false;
  meshtest::BuildQuad(*mesh);
  mesh->FindOrAddRegion("body");
  mesh->label = file;
  return true;
}

struct LoaderRegistered {
  LoaderRegistered() { base::tMultiFileFormatLoader<cl_Mesh>::AddFileFormat("tstmesh", LoadTestMesh); }
};

TEST(MeshInit, ImportsThroughTheExtensionRegistry) {
  LoaderRegistered reg;
  struct Case {
    const char* name;
    const char* xml;
    bool ok;
    const char* log;
  };
  const Case cases[] = {
      {"registered extension", "<Mesh label='crate' file='gfx/crate.tstmesh'><Material n='m'/></Mesh>", true, nullptr},
      {"upper-case extension", "<Mesh label='crate' file='gfx/CRATE.TSTMESH'/>", true, nullptr},
      {"unknown extension", "<Mesh label='crate' file='gfx/crate.obj'/>", false,
       "ERROR: could not open file gfx/crate.obj for mesh or unknown file format'crate'\n"},
      {"importer fails, no label", "<Mesh file='gfx/broken.tstmesh'/>", false,
       "ERROR: could not open file gfx/broken.tstmesh for mesh or unknown file format'<unlabeled>'\n"},
      {"no file", "<Mesh label='x'/>", false, "unknown file format'x'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    cl_Mesh m;
    testsupport::LogCapture log;
    EXPECT_EQ(m.Init(Element(c.xml)), c.ok);
    if (c.log) {
      EXPECT_TRUE(log.contains(c.log));
    }
    if (c.ok) {
      EXPECT_EQ(m.vertices.size(), 4);
    }
  }
  cl_Mesh m;
  ASSERT_TRUE(m.Init(Element("<Mesh label='crate' file='gfx/crate.tstmesh'><Material n='m'/></Mesh>")));
  EXPECT_EQ(Filled(m), "m");
}

TEST(MeshResource, LoadedByTheManagerAndFoundByLabel) {
  LoaderRegistered reg;
  base::RegisterMeshResourceType();
  testsupport::TempDir dir;
  dir.write("resources.xml",
            "<Resources><Mesh label=\"crate\" file=\"a.tstmesh\"/><Mesh label=\"crate\" file=\"b.tstmesh\"/>"
            "<Mesh label=\"bad\" file=\"broken.tstmesh\"/></Resources>");
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  {
    base::cl_ResourceMgr mgr;
    ASSERT_NE(mgr.GetResourceType("Mesh"), nullptr);
    testsupport::LogCapture log;
    EXPECT_TRUE(mgr.AddResources("resources.xml"));
    cl_Mesh* crate = base::GetMesh("crate");
    ASSERT_NE(crate, nullptr);
    EXPECT_EQ(crate->label, "b.tstmesh");  // the second definition replaced the first
    EXPECT_EQ(base::GetMesh("bad"), nullptr);
    EXPECT_EQ(base::GetMesh("never"), nullptr);
    EXPECT_TRUE(log.contains("unknown file format'bad'"));
  }
  EXPECT_EQ(base::GetMesh("crate"), nullptr);  // the pool went with the manager's type
  std::filesystem::current_path(old);
}

}  // namespace
