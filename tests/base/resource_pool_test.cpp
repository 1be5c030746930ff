#include <gtest/gtest.h>

#include "base/resource/Resource.h"
#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "resource_support.h"

namespace {

using testsupport::cl_Blob;
using testsupport::LogCapture;
using testsupport::WorkTree;
using BlobType = base::tResourceType<cl_Blob>;

base::StaticVariant Element(const char* xml) {
  base::StaticVariant out;
  EXPECT_TRUE(base::xml::read_text(out, xml));
  return out;
}

TEST(ResourcePool, CreateLoadLookupAndClear) {
  WorkTree tree;
  tree.write("a.txt", "alpha");
  tree.write("b.txt", "beta");
  {
    BlobType type;
    base::i_Resource* loose = type.Create(nullptr);
    EXPECT_EQ(BlobType::Get("loose"), nullptr);
    delete loose;

    ASSERT_TRUE(type.Load(Element(R"(<Blob label="bg_a" file="a.txt"/>)")));
    ASSERT_TRUE(type.Load(Element(R"(<Blob label="bg_b" file="B.TXT"/>)")));
    ASSERT_NE(BlobType::Get("bg_a"), nullptr);
    EXPECT_EQ(std::string(BlobType::Get("bg_a")->m_bytes.c_str()), "alpha");
    EXPECT_EQ(std::string(BlobType::Get("bg_b")->m_bytes.c_str()), "beta");
    EXPECT_EQ(BlobType::Get("never"), nullptr);
    EXPECT_EQ(BlobType::Get(nullptr), nullptr);

    // A failed Init files nothing.
    EXPECT_FALSE(type.Load(Element(R"(<Blob label="bad" file="missing.txt"/>)")));
    EXPECT_EQ(BlobType::Get("bad"), nullptr);

    // A user's counted handle keeps the resource alive after Clear; the pool forgets it.
    base::smart_ptr<cl_Blob, cl_Blob*> held(BlobType::Get("bg_a"));
    type.Clear();
    EXPECT_EQ(BlobType::Get("bg_a"), nullptr);
    EXPECT_EQ(BlobType::Get("bg_b"), nullptr);
    ASSERT_NE(held.get(), nullptr);
    EXPECT_EQ(std::string(held->m_bytes.c_str()), "alpha");
    EXPECT_EQ(cl_Blob::s_live, 1);
  }
  EXPECT_EQ(cl_Blob::s_live, 0);
}

TEST(ResourcePool, MissingAndDuplicateLabelsAreLoggedAndSkipped) {
  WorkTree tree;
  tree.write("a.txt", "first");
  tree.write("b.txt", "second");
  LogCapture log;
  BlobType unique;
  EXPECT_FALSE(unique.Load(Element(R"(<Blob file="a.txt"/>)")));
  EXPECT_TRUE(log.contains("ERROR: resource of type Blob has no \"label\""));

  ASSERT_TRUE(unique.Load(Element(R"(<Blob label="x" file="a.txt"/>)")));
  EXPECT_FALSE(unique.Load(Element(R"(<Blob label="x" file="b.txt"/>)")));
  EXPECT_TRUE(log.contains("ERROR: resource x of type Blob is defined twice"));
  EXPECT_EQ(std::string(BlobType::Get("x")->m_bytes.c_str()), "first");

  // Kinds that replace (meshes, skeletons) take the second load.
  BlobType replacing(true);
  ASSERT_TRUE(replacing.Load(Element(R"(<Blob label="x" file="b.txt"/>)")));
  EXPECT_EQ(std::string(BlobType::Get("x")->m_bytes.c_str()), "second");
  // A numeric label is read back as written.
  ASSERT_TRUE(unique.Load(Element(R"(<Blob label="2" file="a.txt"/>)")));
  EXPECT_NE(BlobType::Get("2"), nullptr);
  replacing.Clear();
}

}  // namespace

#include "base/resource/MultiFileFormatLoader.h"

namespace {

struct Shape {
  std::string loadedBy;
};
bool LoadXml(const char*, Shape* s) { return s->loadedBy = "xml", true; }
bool LoadLwo(const char*, Shape* s) { return s->loadedBy = "lwo", true; }
bool LoadMeshXml(const char*, Shape* s) { return s->loadedBy = "mesh.xml", true; }

TEST(MultiFileFormatLoader, PicksTheLoaderByExtension) {
  using Loader = base::tMultiFileFormatLoader<Shape>;
  Loader::RemoveAll();
  Loader::AddFileFormat("xml", LoadXml);
  Loader::AddFileFormat("LWO", LoadLwo);
  Shape s;
  struct Case {
    const char* file;
    const char* by;
  } cases[] = {{"robot.XML", "xml"}, {"models/robot.mesh.xml", "xml"}, {"data.v2/robot.lwo", "lwo"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(Loader::LoadFileMultiFormat(c.file, &s)) << c.file;
    EXPECT_EQ(s.loadedBy, c.by) << c.file;
  }
  Loader::AddFileFormat("mesh.xml", LoadMeshXml);  // the full extension wins
  ASSERT_TRUE(Loader::LoadFileMultiFormat("robot.mesh.xml", &s));
  EXPECT_EQ(s.loadedBy, "mesh.xml");
  LogCapture log;
  EXPECT_FALSE(Loader::LoadFileMultiFormat("robot.obj", &s));
  EXPECT_TRUE(log.contains("ERROR: robot.obj: no loader for this file format"));
  Loader::RemoveAll();
}

}  // namespace
