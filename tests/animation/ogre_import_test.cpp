#include <gtest/gtest.h>

#include <functional>

#include "animation_test_support.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "graphics/mesh/Mesh.h"

namespace {

using namespace animtest;
using base::cl_Mesh;

// Two submeshes of one material, a third of another; vertices with gaps that must carry over.
const char* kMesh = R"(<mesh>
  <sharedgeometry vertexcount='1'><vertexbuffer positions='true'><vertex><position x='9' y='9' z='9'/></vertex></vertexbuffer></sharedgeometry>
  <submeshes>
    <submesh material='skin' usesharedvertices='false'>
      <faces count='2'><face v1='0' v2='1' v3='2'/><face v1='2' v2='1' v3='0'/></faces>
      <geometry vertexcount='3'>
        <vertexbuffer positions='true' normals='true'>
          <vertex><position x='0' y='0' z='0'/><texcoord u='0.5' v='0.25'/></vertex>
          <vertex><position x='1' y='0' z='0'/><normal x='0' y='1' z='0'/></vertex>
          <vertex><position x='1' y='1'/></vertex>
        </vertexbuffer>
      </geometry>
      <boneassignments>
        <vertexboneassignment vertexindex='0' boneindex='1' weight='0.75'/>
        <vertexboneassignment vertexindex='0' boneindex='300' weight='0.25'/>
      </boneassignments>
    </submesh>
    <submesh material='cloth'>
      <geometry vertexcount='3'><vertexbuffer>
        <vertex><position x='0' y='0' z='2'/></vertex><vertex><position x='1' y='0' z='2'/></vertex>
        <vertex><position x='0' y='1' z='2'/></vertex>
      </vertexbuffer></geometry>
      <faces count='1'><face v1='0' v2='1' v3='2'/></faces>
    </submesh>
    <submesh material='skin'>
      <geometry vertexcount='3'><vertexbuffer>
        <vertex><position x='5' y='0' z='0'/></vertex><vertex/><vertex/>
      </vertexbuffer></geometry>
      <faces count='1'><face v1='0' v2='1' v3='2'/></faces>
    </submesh>
    <submesh><faces count='1'><face v1='0' v2='1' v3='2'/></faces></submesh>
  </submeshes>
  <skeletonlink name='hero.skeleton'/>
</mesh>)";

TEST(OgreMeshImport, SubmeshesRegionsAndCarriedValues) {
  testsupport::TempDir dir;
  dir.write("hero.mesh.xml", Quoted(kMesh));
  base::RegisterSkeletonResourceType();
  cl_Mesh m;
  testsupport::LogCapture log;
  // The Ogre double extension finds the "xml" importer.
  ASSERT_TRUE(base::tMultiFileFormatLoader<cl_Mesh>::LoadFileMultiFormat(dir.path("hero.mesh.xml").c_str(), &m));
  EXPECT_TRUE(log.get().empty());
  EXPECT_EQ(m.vertexUsage, cl_Mesh::VERTEX_MERGED);
  ASSERT_EQ(m.vertices.size(), 9);  // the shared geometry is not read
  ASSERT_EQ(m.faces.size(), 4);
  ASSERT_EQ(m.regions.size(), 2);
  EXPECT_EQ(m.faces[0]->region, m.regions[0]);
  EXPECT_EQ(m.faces[2]->region, m.regions[1]);
  EXPECT_EQ(m.faces[3]->region, m.regions[0]);  // same material, same region
  EXPECT_EQ(m.faces[1]->vertices[0], m.vertices[2]);

  const auto* v0 = m.vertices[0];
  ExpectNear(v0->normal, V3(0, 0, 0));  // the first vertex has no normal to inherit
  EXPECT_FLOAT_EQ(v0->uv.x, 0.5f);
  ExpectNear(m.vertices[1]->normal, V3(0, 1, 0));
  EXPECT_FLOAT_EQ(m.vertices[1]->uv.y, 0.25f);   // carried from the vertex before
  ExpectNear(m.vertices[2]->position, V3(1, 1, 0));  // z carried
  ExpectNear(m.vertices[8]->position, V3(5, 0, 0));  // empty vertices repeat the last one
  ASSERT_EQ(v0->boneIndices.size(), 2);
  EXPECT_EQ(v0->boneIndices[0], 1);
  EXPECT_EQ(v0->boneIndices[1], 44);  // bone numbers are bytes: 300 − 256
  EXPECT_FLOAT_EQ(v0->boneWeights[0], 0.75f);
}

TEST(OgreMeshImport, ReferencesOutsideTheSubmeshAreSkippedWithOneLine) {
  struct Case {
    const char* name;
    const char* submesh;
    int faces;
    int vertices;
    const char* message;  // null: no log line
  };
  const Case cases[] = {
      {"corner past the vertices",
       "<geometry vertexcount='3'><vertexbuffer><vertex/><vertex/><vertex/></vertexbuffer></geometry>"
       "<faces count='3'><face v1='0' v2='1' v3='3'/><face v1='-1' v2='1' v3='2'/><face v1='0' v2='1' v3='2'/></faces>",
       1, 3, "skipped 2 faces and 0 bone assignments"},
      {"faces without geometry", "<faces count='1'><face v1='0' v2='1' v3='2'/></faces>", 0, 0, "skipped 1 faces"},
      {"geometry without a vertex buffer",
       "<geometry vertexcount='3'/><faces count='1'><face v1='0' v2='1' v3='2'/></faces>"
       "<boneassignments><vertexboneassignment vertexindex='0' boneindex='0' weight='1'/></boneassignments>",
       0, 0, "skipped 1 faces and 1 bone assignments"},
      {"assignment past the vertices",
       "<geometry vertexcount='1'><vertexbuffer><vertex/></vertexbuffer></geometry>"
       "<boneassignments><vertexboneassignment vertexindex='1' boneindex='0' weight='1'/>"
       "<vertexboneassignment vertexindex='0' boneindex='0'/></boneassignments>",
       0, 1, "skipped 0 faces and 2 bone assignments"},
      {"more vertices declared than given",
       "<geometry vertexcount='1000000000'><vertexbuffer><vertex/><vertex/><vertex/></vertexbuffer></geometry>"
       "<faces count='1000000000'><face v1='0' v2='1' v3='2'/></faces>",
       1, 3, "declares 1000000000 vertices"},
      {"a face lacking a corner is no fault", "<geometry vertexcount='3'><vertexbuffer><vertex/><vertex/><vertex/>"
       "</vertexbuffer></geometry><faces count='1'><face v1='0' v2='1'/></faces>", 0, 3, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempDir dir;
    dir.write("m.xml", Quoted(std::string("<mesh><submeshes><submesh material='a'>") + c.submesh +
                              "</submesh></submeshes></mesh>"));
    cl_Mesh m;
    testsupport::LogCapture log;
    EXPECT_TRUE(base::MeshLoadOgreXML(dir.path("m.xml").c_str(), &m));
    EXPECT_EQ(m.faces.size(), c.faces);
    EXPECT_EQ(m.vertices.size(), c.vertices);
    if (c.message) {
      ASSERT_EQ(log.get().size(), 1u);
      EXPECT_TRUE(log.contains(c.message)) << log.get()[0];
      EXPECT_TRUE(log.contains("ERROR: " + dir.path("m.xml"))) << log.get()[0];
    } else {
      EXPECT_TRUE(log.get().empty());
    }
  }

  testsupport::TempDir dir;
  dir.write("empty.xml", "<mesh/>");
  cl_Mesh empty;
  EXPECT_TRUE(base::MeshLoadOgreXML(dir.path("empty.xml").c_str(), &empty));
  EXPECT_EQ(empty.vertexUsage, cl_Mesh::VERTEX_MERGED);
  testsupport::LogCapture log;
  EXPECT_FALSE(base::MeshLoadOgreXML(dir.path("missing.xml").c_str(), &empty));
  dir.write("bad.xml", "<mesh><submeshes>");
  EXPECT_FALSE(base::MeshLoadOgreXML(dir.path("bad.xml").c_str(), &empty));
  EXPECT_TRUE(log.contains("ERROR"));
}

// Numbers that are not finite would reach every bounding box and pose: the file is refused with
// the element that holds one.
TEST(OgreMeshImport, NumbersThatAreNotFiniteRefuseTheFile) {
  const char* const kGood = "<position x='0' y='0' z='0'/><normal x='0' y='1' z='0'/><texcoord u='0' v='0'/>";
  const struct {
    const char* vertex;
    const char* weight;
    const char* message;
  } cases[] = {
      {"<position x='1e39' y='0' z='0'/>", "1", "submesh 0 vertex 1: \"position\" holds a number that is not finite"},
      {"<position x='0' y='0' z='-1e999'/>", "1", "vertex 1: \"position\""},
      {"<normal x='0' y='inf' z='0'/>", "1", "vertex 1: \"normal\""},
      {"<texcoord u='0' v='NaN'/>", "1", "vertex 1: \"texcoord\""},
      {"", "Infinity", "submesh 0 bone assignment 0: \"weight\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    testsupport::TempDir dir;
    dir.write("m.xml", Quoted(std::string("<mesh><submeshes><submesh material='a'><geometry vertexcount='2'>"
                                          "<vertexbuffer><vertex>") +
                              kGood + "</vertex><vertex>" + c.vertex + "</vertex></vertexbuffer></geometry>" +
                              "<boneassignments><vertexboneassignment vertexindex='0' boneindex='0' weight='" +
                              c.weight + "'/></boneassignments></submesh></submeshes></mesh>"));
    cl_Mesh m;
    testsupport::LogCapture log;
    EXPECT_FALSE(base::MeshLoadOgreXML(dir.path("m.xml").c_str(), &m));
    ASSERT_EQ(log.get().size(), 1u);
    EXPECT_TRUE(log.contains("ERROR: " + dir.path("m.xml") + ": ")) << log.get()[0];
    EXPECT_TRUE(log.contains(c.message)) << log.get()[0];
  }
  // Text that is no number at all still reads as 0, and large finite numbers are taken.
  testsupport::TempDir dir;
  dir.write("m.xml", Quoted("<mesh><submeshes><submesh material='a'><geometry vertexcount='1'><vertexbuffer><vertex>"
                            "<position x='big' y='3e38' z='-1e-40'/></vertex></vertexbuffer></geometry></submesh>"
                            "</submeshes></mesh>"));
  cl_Mesh m;
  testsupport::LogCapture log;
  ASSERT_TRUE(base::MeshLoadOgreXML(dir.path("m.xml").c_str(), &m));
  EXPECT_TRUE(log.get().empty());
  ASSERT_EQ(m.vertices.size(), 1);
  EXPECT_EQ(m.vertices[0]->position.x, 0.0f);
  EXPECT_EQ(m.vertices[0]->position.y, 3e38f);
}

const std::string kBones = Bone(0, "root", "x='1' y='0' z='0'", "1.5707964") + Bone(1, "arm") + Bone(2, "hand");
const std::string kHierarchy = Parent("arm", "root") + Parent("hand", "arm");

TEST(OgreSkeletonImport, BonesHierarchyBindingAndClips) {
  const std::string clips = "<animations>" +
                            Clip("walk", Track("root", kKey0 + kKey1) + Track("arm", kKey0 + kKey1) +
                                             Track("hand", kKey0 + kKey1)) +
                            Clip("walk", Track("root", kKey0) + Track("arm", kKey0) + Track("hand", kKey0), "5") +
                            "<animation name='nolength'><tracks/></animation></animations>";
  testsupport::TempDir dir;
  dir.write("hero.skeleton.xml", SkeletonXml(kBones, kHierarchy, clips));
  base::RegisterSkeletonResourceType();
  cl_Skeleton s;
  testsupport::LogCapture log;
  ASSERT_TRUE(
      base::tMultiFileFormatLoader<cl_Skeleton>::LoadFileMultiFormat(dir.path("hero.skeleton.xml").c_str(), &s));
  EXPECT_TRUE(log.get().empty());
  ASSERT_EQ(s.size(), 3);
  EXPECT_EQ(s[1].parent, 0);
  EXPECT_EQ(s[0].children, std::vector<int>{1});
  EXPECT_EQ(s[2].parent, 1);
  // The child's binding point is its offset carried through the root's rotation.
  Matrix4 rz;
  rz.rotation(V3(0, 0, 1), 1.5707964f);
  ExpectNear(s[1].absPosition, V3(1, 0, 0) + rz * V3(1, 0, 0));
  ExpectMatrixNear(s[1].absRotation, s[0].absRotation);
  ExpectMatrixNear(s[0].absRotation, rz);

  ASSERT_EQ(s.animations.size(), 1u);
  const cl_Animation* walk = s.GetAnimation("walk");
  ASSERT_NE(walk, nullptr);
  EXPECT_FLOAT_EQ(walk->length, 1.0f);  // the first of two clips of one name stays
  const Key& k1 = walk->tracks[2]->keys[1];
  ExpectNear(k1.translation, V3(0, 0, 4));
  ExpectNear(k1.scale, V3(2, 2, 2));
  ExpectNear(walk->tracks[2]->keys[0].scale, V3(1, 1, 1));  // no scale element
  Quaternion expected;
  expected.set_axis_angle(V3(0, 1, 0), 1.5707964f);
  ExpectSameRotation(k1.rotation, expected);
  EXPECT_EQ(walk->tracks[1]->name, "arm");
}

TEST(OgreSkeletonImport, GapsInBoneIdsAndDefaultedKeyParts) {
  const std::string key = "<keyframe time='0.5'><translate x='1' y='2'/><rotate angle='1'><axis x='1'/></rotate></keyframe>";
  std::string tracks;
  for (int i = 0; i < 6; ++i) tracks += Track("b", key);
  testsupport::TempDir dir;
  dir.write("s.xml", SkeletonXml(Bone(0, "a") + Bone(1, "b") + Bone(5, "f"), Parent("b", "a"),
                                 "<animations>" + Clip("c", tracks) + "</animations>"));
  cl_Skeleton s;
  ASSERT_TRUE(base::SkeletonLoadOgreXML(dir.path("s.xml").c_str(), &s));
  ASSERT_EQ(s.size(), 6);
  for (int i = 2; i < 5; ++i) {
    EXPECT_TRUE(s[i].name.empty());
    EXPECT_EQ(s[i].parent, -1);
    EXPECT_EQ(s[i].rotation, Matrix4());
  }
  const Key& k = s.GetAnimation("c")->tracks[0]->keys[0];
  EXPECT_FLOAT_EQ(k.time, 0.5f);
  ExpectNear(k.translation, V3(0, 0, 0));  // incomplete parts stay neutral
  EXPECT_EQ(k.rotation, Quaternion());

  dir.write("plain.xml", SkeletonXml(Bone(0, "a"), "", ""));
  cl_Skeleton plain;
  EXPECT_TRUE(base::SkeletonLoadOgreXML(dir.path("plain.xml").c_str(), &plain));
  EXPECT_TRUE(plain.animations.empty());
}

TEST(OgreSkeletonImport, IncompleteFilesFailAndUnsampleableClipsAreDropped) {
  const std::string three = Track("root", kKey0 + kKey1) + Track("arm", kKey0 + kKey1) + Track("hand", kKey0 + kKey1);
  struct Case {
    const char* name;
    std::string xml;
    bool ok;
    const char* message;
  };
  const Case cases[] = {
      {"no bones", Quoted("<skeleton><bonehierarchy/></skeleton>"), false, "no \"bones\""},
      {"no hierarchy", Quoted("<skeleton><bones>" + kBones + "</bones></skeleton>"), false, "no \"bonehierarchy\""},
      {"unknown parent", SkeletonXml(kBones, Parent("arm", "nobody"), ""), false, "unknown parent 'nobody'"},
      {"unknown bone", SkeletonXml(kBones, Parent("nobody", "root"), ""), false, "unknown bone 'nobody'"},
      {"second parent", SkeletonXml(kBones, kHierarchy + Parent("hand", "root"), ""), false, "second parent"},
      {"cycle", SkeletonXml(kBones, Parent("arm", "hand") + Parent("hand", "arm"), ""), false, "cycle"},
      {"own parent", SkeletonXml(kBones, Parent("arm", "arm"), ""), false, "parent 1"},
      {"negative id", SkeletonXml(Bone(-1, "a"), "", ""), false, "bone id -1"},
      {"huge id", SkeletonXml(Bone(1000000, "a"), "", ""), false, "bone id 1000000"},
      {"bone without position", SkeletonXml("<bone id='0' name='a'><rotation angle='0'><axis x='1' y='0' z='0'/></rotation></bone>", "", ""), false, "bone 0 lacks"},
      {"rotation without axis", SkeletonXml("<bone id='0' name='a'><position x='0' y='0' z='0'/><rotation angle='0'/></bone>", "", ""), false, "bone 0 lacks"},
      {"clip without tracks", SkeletonXml(kBones, kHierarchy, "<animations><animation name='a' length='1'/></animations>"), false, "no \"tracks\""},
      {"track without keyframes", SkeletonXml(kBones, kHierarchy, "<animations>" + Clip("a", "<track bone='root'/>") + "</animations>"), false, "no \"keyframes\""},
      {"key without translate", SkeletonXml(kBones, kHierarchy, "<animations>" + Clip("a", Track("root", "<keyframe time='0'><rotate angle='0'><axis x='1' y='0' z='0'/></rotate></keyframe>")) + "</animations>"), false, "key 0 lacks"},
      {"angle without axis", SkeletonXml(kBones, kHierarchy, "<animations>" + Clip("a", Track("root", "<keyframe time='0'><translate x='0' y='0' z='0'/><rotate angle='1'/></keyframe>")) + "</animations>"), false, "key 0 lacks"},
      {"fewer tracks than bones", SkeletonXml(kBones, kHierarchy, "<animations>" + Clip("a", Track("root", kKey0)) + Clip("b", three) + "</animations>"), true, "'a' dropped: 1 tracks for 3 bones"},
      {"key counts differ", SkeletonXml(kBones, kHierarchy, "<animations>" + Clip("a", Track("root", kKey0) + Track("arm", kKey0 + kKey1) + Track("hand", kKey0)) + Clip("b", three) + "</animations>"), true, "'a' dropped: track 1 has 2 keys"},
      {"bone at infinity", SkeletonXml(Bone(0, "a", "x='1e39' y='0' z='0'"), "", ""), false, "bone 0: \"position\" holds a number that is not finite"},
      {"angle spelled nan", SkeletonXml(Bone(0, "a", "x='0' y='0' z='0'", "nan"), "", ""), false, "bone 0: \"rotation\" holds"},
      {"key time spelled inf", SkeletonXml(kBones, kHierarchy, "<animations>" + Clip("a", Track("root", "<keyframe time='-inf'><translate x='0' y='0' z='0'/><rotate angle='0'><axis x='1' y='0' z='0'/></rotate></keyframe>")) + "</animations>"), false, "animation 'a' track 0 key 0: \"keyframe\" holds"},
      {"clip length past the float range", SkeletonXml(kBones, kHierarchy, "<animations>" + Clip("a", three, "1e300") + "</animations>"), false, "animation 'a': \"animation\" holds"},
      {"no keys", SkeletonXml(kBones, kHierarchy, "<animations>" + Clip("a", Track("root", "") + Track("arm", "") + Track("hand", "")) + Clip("b", three) + "</animations>"), true, "'a' dropped: no keys"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempDir dir;
    dir.write("s.xml", c.xml);
    cl_Skeleton s;
    testsupport::LogCapture log;
    EXPECT_EQ(base::SkeletonLoadOgreXML(dir.path("s.xml").c_str(), &s), c.ok);
    ASSERT_EQ(log.get().size(), 1u);
    EXPECT_TRUE(log.contains("ERROR: " + dir.path("s.xml") + ": ")) << log.get()[0];
    EXPECT_TRUE(log.contains(c.message)) << log.get()[0];
    if (c.ok) {
      EXPECT_EQ(s.GetAnimation("a"), nullptr);
      EXPECT_NE(s.GetAnimation("b"), nullptr);
    }
  }
}

}  // namespace
