// The demo's nav-mesh files as demogen writes them: read through the Ogre importer despite their
// second root, the camera root beside the mesh, and the test module's copy of the office floor.
#include <gtest/gtest.h>

#include <string>

#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "navmesh_test_support.h"

namespace navtest {
namespace {

std::string DataFile(const char* name) { return std::string(QUILLANE_DATA_DIR) + "/" + name; }

TEST(DemoNavMeshes, MeshRootsLoadIntoFloorsOfSixtyToOneHundredTwentyTriangles) {
  for (const char* file : {"Scenes/Office/navmesh.xml", "Scenes/Quay/navmesh.xml", "Scenes/Stage/navmesh.xml",
                           "scenes/Jail/navmesh.xml"}) {
    SCOPED_TRACE(file);
    std::unique_ptr<cl_NavMesh> nav(cl_NavMesh::Create());
    ASSERT_TRUE(nav->LoadMesh(DataFile(file).c_str()));
    EXPECT_STREQ(nav->GetName(), DataFile(file).c_str());
    const cl_Mesh& mesh = *nav->GetMesh();
    EXPECT_GE(mesh.faces.size(), 60);
    EXPECT_LE(mesh.faces.size(), 120);
    EXPECT_EQ(static_cast<int>(nav->GetNodes().size()), mesh.edges.size());
    EXPECT_FALSE(nav->GetBoundaryPoints().empty());
    // The floor holes are walled by boundary: more boundary edges than the outer rectangle's.
    const st_Floor floor = FloorOf(mesh);
    const tPoint c = nav->GetCenter();
    EXPECT_TRUE(OnFloor(floor, c.x, c.z, 0.0));
    EXPECT_TRUE(nav->IsInside(c));
  }
}

TEST(DemoNavMeshes, CameraRootStandsBesideTheMesh) {
  for (const char* file : {"Scenes/Office/navmesh.xml", "Scenes/Quay/navmesh.xml", "Scenes/Stage/navmesh.xml"}) {
    SCOPED_TRACE(file);
    base::StaticVariant doc;
    ASSERT_TRUE(base::xml::read_multi_root_file(doc, DataFile(file).c_str(), "cameras"));
    const base::StaticVariantIterator root(doc.get_words());
    ASSERT_EQ(root.get_element_cnt(), 1);
    EXPECT_EQ(root.get_element(0).get_element_cnt(), 3);  // position, rotation, fov
  }
}

TEST(DemoNavMeshes, JailFloorIsTheOfficeFloor) {
  std::unique_ptr<cl_NavMesh> office(cl_NavMesh::Create()), jail(cl_NavMesh::Create());
  ASSERT_TRUE(office->LoadMesh(DataFile("Scenes/Office/navmesh.xml").c_str()));
  ASSERT_TRUE(jail->LoadMesh(DataFile("scenes/Jail/navmesh.xml").c_str()));
  EXPECT_EQ(office->GetBoundaryPoints(), jail->GetBoundaryPoints());
  EXPECT_EQ(office->GetNodes().size(), jail->GetNodes().size());
}

}  // namespace
}  // namespace navtest
