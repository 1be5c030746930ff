#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/FileTools.h"
#include "base/resource/ResourceMgr.h"
#include "graphics/mesh/Skeleton.h"
#include "model_test_support.h"

namespace {

using namespace modeltest;
using gfx::cl_Model;
namespace fs = std::filesystem;

std::string ChainRecord() {
  cl_Mesh m;
  BuildChain(m, 30, 26);
  cl_Model model;
  EXPECT_TRUE(model.BuildIndexArrays(m));
  return ModelBytes(model);
}

TEST(ModelRecord, RoundTripIsByteIdenticalAndMatchesTheStoredFile) {
  const std::string bytes = ChainRecord();
  cl_Model back;
  ASSERT_TRUE(ReadModel(bytes, back));
  EXPECT_TRUE(back.IsSkinned());
  EXPECT_EQ(back.GetPartitions().size(), 3u);
  EXPECT_TRUE(ModelBytes(back) == bytes);

  // The record layout is what stored caches and compiled characters hold: keep it stable.
  const std::string stored = std::string(QUILLANE_TEST_DIR) + "/data/chain.bmo";
  if (std::getenv("QUILLANE_UPDATE_GOLDEN")) std::ofstream(stored, std::ios::binary) << bytes;
  std::ifstream in(stored, std::ios::binary);
  ASSERT_TRUE(in) << stored;
  const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The material Variants order their word tables by the process's vocabulary, so the stored
  // file is compared field by field.
  cl_Model old;
  ASSERT_TRUE(ReadModel(kept, old));
  ASSERT_EQ(old.GetVertexBuffer().GetCount(), back.GetVertexBuffer().GetCount());
  EXPECT_EQ(0, std::memcmp(old.GetVertexBuffer().GetSystemCopy(), back.GetVertexBuffer().GetSystemCopy(),
                           old.GetVertexBuffer().GetCount() * 48));
  ASSERT_EQ(old.GetIndexBuffer().GetCount(), back.GetIndexBuffer().GetCount());
  EXPECT_EQ(0, std::memcmp(old.GetIndexBuffer().GetSystemCopy(), back.GetIndexBuffer().GetSystemCopy(),
                           old.GetIndexBuffer().GetCount() * 2));
  ASSERT_EQ(old.GetPartitions().size(), back.GetPartitions().size());
  for (size_t i = 0; i < old.GetPartitions().size(); ++i) {
    const auto &a = old.GetPartitions()[i], &b = back.GetPartitions()[i];
    EXPECT_EQ(a.startIndex, b.startIndex);
    EXPECT_EQ(a.primitiveCount, b.primitiveCount);
    EXPECT_EQ(a.palette, b.palette);
    base::tString<base::BaseString> ta, tb;
    a.material.get_attribute_string("texture", ta);
    b.material.get_attribute_string("texture", tb);
    EXPECT_STREQ(ta.c_str(), tb.c_str());
  }
  EXPECT_EQ(old.GetOpaquePartitionCount(), back.GetOpaquePartitionCount());
}

// Offsets of the chain record's fields, found from its own counts.
struct Layout {
  size_t vertexCount = 49, stride = 53, fvf = 57, indexCount, partitions, firstStart, firstCount, firstPalette;
};

Layout Locate(const std::string& b) {
  Layout l;
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
  };
  l.indexCount = 61 + size_t(u32(l.vertexCount)) * u32(l.stride);
  l.partitions = l.indexCount + 4 + size_t(u32(l.indexCount)) * 2;
  l.firstStart = l.partitions + 4;
  l.firstCount = l.firstStart + 4;
  // The first partition's material is a Variant record; the palette follows it.
  gfx::cl_Model probe;
  base::File f;
  f.open_memory(b.data(), static_cast<int>(b.size()), "probe");
  f.set_current_position(static_cast<int>(l.firstCount + 4));
  base::Variant v;
  v.Read(&f);
  l.firstPalette = static_cast<size_t>(f.get_current_position());
  return l;
}

TEST(ModelRecord, DamagedRecordsAreRefusedWithALogLine) {
  const std::string good = ChainRecord();
  const Layout l = Locate(good);
  auto put = [](std::string b, size_t at, int32_t value) {
    b.replace(at, 4, reinterpret_cast<const char*>(&value), 4);
    return b;
  };
  auto indexAt = [&](std::string b, size_t i, uint16_t value) {
    b.replace(l.indexCount + 4 + i * 2, 2, reinterpret_cast<const char*>(&value), 2);
    return b;
  };
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"header only", good.substr(0, 49)},
      {"skinned flag 7", [&] { std::string b = good; b[0] = 7; return b; }()},
      {"vertex count past the end", put(good, l.vertexCount, 0x10000000)},
      {"vertex count overflowing", put(good, l.vertexCount, 0x7FFFFFFF)},
      {"negative vertex count", put(good, l.vertexCount, -3)},
      {"stride not the FVF's", put(good, l.stride, 44)},
      {"FVF not the descriptor's", put(put(good, l.fvf, 0x112), l.stride, 32)},
      {"index count past the end", put(good, l.indexCount, 0x40000000)},
      {"index past the vertices", indexAt(good, 7, 0xFFFF)},
      {"partition count past the end", put(good, l.partitions, 100000)},
      {"partition start outside", put(good, l.firstStart, 1 << 20)},
      {"partition count outside", put(good, l.firstCount, 1 << 20)},
      {"negative partition start", put(good, l.firstStart, -1)},
      {"palette of 26", put(good, l.firstPalette, 26)},
      {"opaque count above the partitions", put(good, good.size() - 4, 9)},
      {"truncated in the partitions", good.substr(0, l.firstPalette + 6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cl_Model model;
    testsupport::LogCapture log;
    EXPECT_FALSE(ReadModel(c.bytes, model));
    EXPECT_TRUE(log.contains("ERROR"));
    EXPECT_FALSE(model.IsBuilt());
    EXPECT_TRUE(model.GetPartitions().empty());
    EXPECT_EQ(model.GetVertexBuffer().GetCount(), 0u);
  }
  // Every cut of the record is refused without reading past it.
  for (size_t n = 0; n < good.size(); n += 7) {
    cl_Model model;
    testsupport::LogCapture log;
    EXPECT_FALSE(ReadModel(good.substr(0, n), model)) << n;
  }
}

// A small Ogre mesh: one quad of two triangles on bones 0 and 1.
const char* kOgreMesh = R"(<mesh><submeshes><submesh material='body'>
  <faces count='2'><face v1='0' v2='1' v3='2'/><face v1='0' v2='2' v3='3'/></faces>
  <geometry vertexcount='4'><vertexbuffer positions='true' normals='true' texture_coords='1'>
    <vertex><position x='0' y='0' z='0'/><normal x='0' y='0' z='1'/><texcoord u='0' v='0'/></vertex>
    <vertex><position x='1' y='0' z='0'/><normal x='0' y='0' z='1'/><texcoord u='1' v='0'/></vertex>
    <vertex><position x='1' y='1' z='0'/><normal x='0' y='0' z='1'/><texcoord u='1' v='1'/></vertex>
    <vertex><position x='0' y='1' z='0'/><normal x='0' y='0' z='1'/><texcoord u='0' v='1'/></vertex>
  </vertexbuffer></geometry>
  <boneassignments>
    <vertexboneassignment vertexindex='0' boneindex='0' weight='1'/>
    <vertexboneassignment vertexindex='1' boneindex='0' weight='1'/>
    <vertexboneassignment vertexindex='2' boneindex='1' weight='1'/>
    <vertexboneassignment vertexindex='3' boneindex='1' weight='1'/>
  </boneassignments></submesh></submeshes></mesh>)";

std::string Quoted(std::string text) {
  for (char& ch : text) {
    if (ch == '\'') ch = '"';
  }
  return text;
}

bool InitModel(cl_Model& model, const std::string& xml) {
  base::StaticVariant element;
  EXPECT_TRUE(base::xml::read_text(element, Quoted(xml).c_str()));
  return model.Init(element);
}

TEST(ModelCache, BuiltOnceStampedReusedAndRebuiltWhenTheSourceChanges) {
  base::RegisterMeshResourceType();
  testsupport::TempDir dir;
  const std::string mesh = dir.path("quad.xml"), cache = dir.path("quad.bmo");
  dir.write("quad.xml", Quoted(kOgreMesh));
  const std::string element = "<Model label='quad' file='" + mesh +
                              "'><Material label='body' shader='lambert' texture='quad_tex'/></Model>";
  {
    cl_Model model;
    ASSERT_TRUE(InitModel(model, element));
    EXPECT_TRUE(model.IsSkinned());
    ASSERT_TRUE(fs::exists(cache));
    EXPECT_EQ(base::FileTimeCompare(cache.c_str(), mesh.c_str()), 0);
    ASSERT_EQ(model.GetPartitions().size(), 1u);
    base::tString<base::BaseString> texture;
    EXPECT_TRUE(model.GetPartitions()[0].material.get_attribute_string("texture", texture));
  }
  const std::string first = dir.read("quad.bmo");
  {
    // The cache is read: a damaged source no longer matters while its time is unchanged.
    cl_Model model;
    ASSERT_TRUE(InitModel(model, element));
    EXPECT_EQ(model.GetPartitions().size(), 1u);
  }
  // A changed source (its time moves) rebuilds the cache.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::string moved = Quoted(kOgreMesh);
  moved.replace(moved.find("x=\"1\" y=\"1\""), 11, "x=\"2\" y=\"2\"");
  dir.write("quad.xml", moved);
  fs::last_write_time(mesh, fs::last_write_time(mesh) + std::chrono::seconds(5));
  {
    cl_Model model;
    ASSERT_TRUE(InitModel(model, element));
  }
  EXPECT_TRUE(dir.read("quad.bmo") != first);
  EXPECT_EQ(base::FileTimeCompare(cache.c_str(), mesh.c_str()), 0);

  // Without its source the cache is used as it is.
  fs::remove(mesh);
  {
    cl_Model model;
    EXPECT_TRUE(InitModel(model, element));
    EXPECT_TRUE(model.IsSkinned());
  }
  // A damaged cache without its source fails; with a source it is rebuilt.
  dir.write("quad.bmo", "garbage");
  {
    cl_Model model;
    testsupport::LogCapture log;
    EXPECT_FALSE(InitModel(model, element));
  }
  dir.write("quad.xml", Quoted(kOgreMesh));
  // Same stamp as the damaged cache, so the cache is read (and found damaged) whichever second
  // the two writes fell in.
  ASSERT_TRUE(base::FileTimeCopy(mesh.c_str(), cache.c_str()));
  {
    cl_Model model;
    testsupport::LogCapture log;
    EXPECT_TRUE(InitModel(model, element));
    EXPECT_TRUE(log.contains("damaged"));
  }
  EXPECT_TRUE(dir.read("quad.bmo") == first);
}

TEST(ModelCache, ElementsWithoutLabelOrFileFail) {
  for (const char* xml : {"<Model file='x.xml'/>", "<Model label='x'/>"}) {
    cl_Model model;
    testsupport::LogCapture log;
    EXPECT_FALSE(InitModel(model, xml)) << xml;
    EXPECT_TRUE(log.contains("ERROR")) << xml;
  }
  cl_Model model;
  testsupport::LogCapture log;
  EXPECT_FALSE(InitModel(model, "<Model label='x' file='/nonexistent/x.xml'/>"));
  EXPECT_TRUE(log.contains("could not open file /nonexistent/x.xml for model"));
}

TEST(ModelPool, UnknownLabelIsNull) {
  EXPECT_EQ(gfx::GetModel("no such model"), nullptr);
  EXPECT_EQ(gfx::ModelExists("no such model"), nullptr);
}

}  // namespace
