// The project description: groups added where missing, the lazy build under Editor_LazyCompile,
// light colours and vectors, locator areas, the camera from the nav mesh's "cameras" root and
// the clip range the root's near_z / far_z override.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "base/data/Xml.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"
#include "scene_test_support.h"
#include "support/EngineLogCapture.h"

namespace scenetest {
namespace {

using quillane::cl_Scene;

class SceneProject : public SceneTest {};

void WriteProject(const char* name, const std::string& xml) {
  std::filesystem::create_directories(std::string("Scenes/") + name);
  WriteBytes(std::string("Scenes/") + name + "/ProjectFile.xml", xml);
}

std::string ChildLabels(const base::Variant& root) {
  std::string out;
  for (int i = 0; i < root.size(); ++i) out += (out.empty() ? "" : ",") + std::string(root[i].get_label());
  return out;
}

TEST_F(SceneProject, MissingGroupsAreAddedAtTheEndInTableOrderAndSaved) {
  WriteProject("Partial", R"(<Project name="Partial" w="100" h="50"><Lights/><BackgroundElements/></Project>)");
  cl_Scene scene;
  EXPECT_TRUE(scene.LoadProjectFile("Partial"));
  EXPECT_EQ(ChildLabels(scene.GetSettings()),
            "Lights,BackgroundElements,HeavenElements,StageElements,ForegroundElements,SpecialFX,Objects3D,NavMeshes,"
            "Locators,HotSpots");
  EXPECT_TRUE(scene.SaveProjectFile());
  base::Variant saved;
  ASSERT_TRUE(base::xml::read_file(saved, "Scenes/Partial/ProjectFile.xml"));
  EXPECT_EQ(ChildLabels(saved), ChildLabels(scene.GetSettings()));

  cl_Scene fresh;  // no file: a fresh project with the ten groups
  EXPECT_TRUE(fresh.LoadProjectFile("Fresh"));
  EXPECT_STREQ(fresh.GetSettings().get_label(), "Project");
  EXPECT_EQ(base::get_string(fresh.GetSettings().get_attribute("name")), std::string("Fresh"));
  EXPECT_EQ(fresh.GetSettings().size(), 10);
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(quillane::IsSceneElementGroup(fresh.GetSettings()[i].get_label()));
  EXPECT_FALSE(quillane::IsSceneElementGroup("hotspots"));
  EXPECT_FALSE(quillane::IsSceneElementGroup(nullptr));
}

TEST_F(SceneProject, LazyBuildSkipsSkyForegroundEffectsAndStripsOnlyWithLazyCompile) {
  CopyDemoScene("Quay");
  struct st_Case {
    bool lazy, lazyCompile;
    const char* heaven;
    const char* stage;
    const char* foreground;
  };
  const st_Case cases[] = {
      {true, true, "", "kiosk,lamppost,lamp_glow", ""},
      {true, false, "sky", "kiosk,lamppost,lamp_glow,waves", "bollard"},
      {false, true, "sky", "kiosk,lamppost,lamp_glow,waves", "bollard"},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.lazy) + std::to_string(c.lazyCompile));
    Editor_LazyCompile = c.lazyCompile;
    cl_Scene scene;
    scene.LoadProjectFile("Quay");
    scene.ReadFromVariant(c.lazy);
    EXPECT_EQ(Labels(scene.HeavenElements), c.heaven);
    EXPECT_EQ(Labels(scene.BackgroundElements), "background");
    EXPECT_EQ(Labels(scene.StageElements), c.stage);
    EXPECT_EQ(Labels(scene.ForegroundElements), c.foreground);
  }
}

TEST_F(SceneProject, LightsLocatorsAndHotspotsFollowTheirElements) {
  WriteProject("Lit", R"(<Project name="Lit" w="100" h="50">
    <Lights exposure="1.3">
      <Light type="directional" nx="3" ny="0" nz="4" color_r="1" color_g="2" color_b="3"/>
      <Light type="point" nx="3" ny="0" nz="4" range="250" color_r="255" color_g="128" color_b="0" color_a="64"/>
      <Light type="Directional"/>
      <Light type="blobbshadow" nx="0" ny="0" nz="0"/>
      <Light type="projectionshadow" intensity="0.5"/>
    </Lights>
    <Locators><Locator label="Zone" x="5" y="6" z="7"><P x="1" y="9" z="2"/><P x="3" y="9" z="4"/><P x="5" y="9" z="6"/></Locator></Locators>
    <HotSpots><HotSpot label="box"><P x="1" y="2"/><P x="3"/></HotSpot></HotSpots>
  </Project>)");
  cl_Scene scene;
  scene.LoadProjectFile("Lit");
  scene.ReadFromVariant(false);
  EXPECT_FLOAT_EQ(scene.GetExposure(), 1.3f);
  ASSERT_EQ(scene.Lights.size(), 5u);
  auto light = [&](int i) { return *std::next(scene.Lights.begin(), i); };
  EXPECT_EQ(light(0)->kind, quillane::LIGHT_DIRECTIONAL);
  EXPECT_NEAR(light(0)->vector.x, 0.6f, 1e-6f);
  EXPECT_NEAR(light(0)->vector.z, 0.8f, 1e-6f);
  EXPECT_EQ(light(0)->colour, 0xFFFFFFFFu);  // no color_a: white
  EXPECT_EQ(light(1)->kind, quillane::LIGHT_POINT);
  EXPECT_EQ(light(1)->vector, base::tVector3<float>(3, 0, 4));  // a position stays as written
  EXPECT_EQ(light(1)->range, 250.0f);
  EXPECT_EQ(light(1)->colour, 0x40FF8000u);
  EXPECT_EQ(light(2)->kind, quillane::LIGHT_AMBIENT);  // words compare exactly
  EXPECT_EQ(light(3)->kind, quillane::LIGHT_BLOBSHADOW);
  EXPECT_EQ(light(3)->vector, base::tVector3<float>(0, 0, 0));  // a zero direction stays zero
  EXPECT_EQ(light(4)->kind, quillane::LIGHT_PROJECTIONSHADOW);
  EXPECT_EQ(light(4)->intensity, 0.5f);
  EXPECT_TRUE(light(0)->name.empty());
  EXPECT_EQ(light(0)->owner, &scene);
  ASSERT_EQ(scene.Locators.size(), 1u);
  const auto& area = scene.Locators.front()->areaPolygon.points;
  ASSERT_EQ(area.size(), 3u);
  EXPECT_EQ(area[2], base::tVector2<float>(5, 6));  // (x, z); y is dropped
  EXPECT_EQ(scene.Locators.front()->locator.GetPos(), base::tVector3<float>(5, 6, 7));
  ASSERT_EQ(scene.HotSpots.size(), 1u);
  EXPECT_EQ(scene.HotSpots.front()->outline.points[1], base::tVector2<float>(3, 0));
}

TEST_F(SceneProject, CameraComesFromTheFirstNavMeshAndTheRootClipRangeWins) {
  CopyDemoScene("Office");
  cl_Scene scene;
  scene.LoadProjectFile("Office");
  scene.ReadFromVariant(true);
  base::cl_Camera& camera = scene.GetCamera();
  EXPECT_EQ(camera.GetPos(), base::tVector3<float>(0, 300, 850));
  // 50 degrees across 1024 pixels of a 1024 x 640 image.
  EXPECT_NEAR(camera.GetFieldOfView(), 2.0f * std::atan(0.625f * std::tan(25.0f * 0.0174532924f)), 1e-6f);
  float zNear, zFar;
  camera.GetClippingRange(zNear, zFar);
  EXPECT_GT(zNear, 0.1f);  // the nav mesh's distance range, not the file's defaults
  EXPECT_LT(zFar, 10000.0f);
  EXPECT_EQ(scene.GetScroll()[0], 0.0f);

  scene.GetSettings().attribute("near_z")->set_float(12.5f);
  scene.GetSettings().attribute("far_z")->set_float(4321.0f);
  scene.ReadFromVariant(true);
  camera.GetClippingRange(zNear, zFar);
  EXPECT_EQ(zNear, 12.5f);
  EXPECT_EQ(zFar, 4321.0f);

  // A nav-mesh file whose "cameras" root is empty: a warning, the camera unchanged.
  WriteProject("Blind", R"(<Project name="Blind" w="1024" h="640"><NavMeshes><N file="floor.xml"/></NavMeshes></Project>)");
  WriteBytes("Scenes/Blind/floor.xml", ReadBytes("Scenes/Office/navmesh.xml").substr(0, ReadBytes("Scenes/Office/navmesh.xml").find("<cameras>")) +
                                           "<cameras>\n</cameras>\n");
  testsupport::LogCapture log;
  cl_Scene blind;
  blind.LoadProjectFile("Blind");
  blind.ReadFromVariant(false);
  EXPECT_TRUE(log.contains("WARNING: navmesh Scenes/Blind/floor.xml has no camera."));
  EXPECT_EQ(blind.GetCamera().GetPos(), base::tVector3<float>(0, 0, 0));
  EXPECT_EQ(blind.NavMeshes.size(), 1u);
}

// The game plays the compiled file when there is one: one not made from the project beside it
// hides that project, so the stage says so, whatever the files' times: a project put back from a
// backup is older than the compiled file, one merely touched is newer.
TEST_F(SceneProject, AStageWarnsOfACompiledSceneNotMadeFromTheProjectBesideIt) {
  namespace fs = std::filesystem;
  CopyDemoScene("Quay");
  const fs::path project = "Scenes/Quay/ProjectFile.xml";
  const std::string backup = ReadBytes(project);
  cl_Scene compiler;
  ASSERT_TRUE(compiler.LoadProjectFile("Quay"));
  compiler.GetSettings().attribute("character_scale")->set_float(1.25f);  // an edit, saved and compiled
  ASSERT_TRUE(compiler.SaveProjectFile());
  ASSERT_TRUE(compiler.Save());
  const auto compiled = fs::last_write_time("Scenes/Quay.dat");
  struct st_Case {
    const char* name;
    bool restored;  // the project before the edit, else as compiled
    int hours;      // the project's time against the compiled file's
    bool warned;
  };
  for (const st_Case& c : {st_Case{"as compiled, touched", false, 1, false}, st_Case{"as compiled", false, -1, false},
                           st_Case{"put back from a backup", true, -1, true}}) {
    SCOPED_TRACE(c.name);
    if (c.restored) WriteBytes(project, backup);
    fs::last_write_time(project, compiled + std::chrono::hours(c.hours));
    testsupport::LogCapture log;
    quillane::cl_Stage stage;
    stage.LoadScene("Quay");
    ASSERT_NE(stage.GetScene(), nullptr);
    EXPECT_EQ(log.count("Warning: Scenes/Quay.dat was not compiled from Scenes/Quay/ProjectFile.xml as it stands"),
              c.warned ? 1 : 0)
        << log.text("\n");
    EXPECT_EQ(cl_Scene::IsCompiledSceneStale("Quay"), c.warned);
  }
}

}  // namespace
}  // namespace scenetest
