// Coordinates, picking and lookups: transforms, zooming, the view centre, the scene tables'
// points found again through WorldToScene, floor and hotspot picks, locator areas, and the
// lights a character gets at a point.
#include <gtest/gtest.h>

#include <cmath>

#include "base/Imaging.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "core/SceneTables.h"
#include "graphics/gfx.h"
#include "quillane/world/NavMesh.h"
#include "quillane/world/WorldServices.h"
#include "scene_test_support.h"
#include "support/EngineLogCapture.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace scenetest {
namespace {

using quillane::cl_Scene;
using V2 = base::tVector2<float>;
using V3 = base::tVector3<float>;

class SceneView : public SceneTest {};

// A scene of the given size without layers, its viewport the reference view.
void MakeBare(cl_Scene& scene, float w, float h) {
  scene.LoadProjectFile("Bare");
  scene.GetSettings().attribute("w")->set_float(w);
  scene.GetSettings().attribute("h")->set_float(h);
  scene.ReadFromVariant(false);
}

TEST_F(SceneView, TransformsAreInverseAndZoomFitsTheRectangle) {
  cl_Scene scene;
  MakeBare(scene, 2048, 640);
  EXPECT_EQ(scene.ScreenToScene(100, 50), V2(100, 50));  // zoom 1, scale 1, no scroll
  for (float zoom : {1.0f, 2.0f, 0.75f}) {
    scene.SetZoom(zoom);
    scene.SetScroll(137.0f, -20.0f);
    const V2 s = scene.SceneToScreen(300.5f, 211.25f);
    const V2 back = scene.ScreenToScene(s.x, s.y);
    EXPECT_NEAR(back.x, 300.5f, 1e-3f);
    EXPECT_NEAR(back.y, 211.25f, 1e-3f);
  }
  EXPECT_TRUE(scene.ZoomToRect(600, 100, 1112, 420));  // 512 x 320
  EXPECT_EQ(scene.GetZoom(), 2.0f);
  EXPECT_TRUE(scene.ZoomToRect(600, 100, 1624, 420));  // 1024 x 320: the smaller factor
  EXPECT_EQ(scene.GetZoom(), 1.0f);
  EXPECT_TRUE(scene.ZoomToRect(0, 0, 60, 50));  // near the left edge: x held at 0
  EXPECT_EQ(scene.GetScrollTarget()[0], 0.0f);
  EXPECT_TRUE(scene.ZoomToRect(0, 0, 100, 40));  // y is not held
  EXPECT_LT(scene.GetScrollTarget()[1], 0.0f);
  EXPECT_TRUE(scene.ZoomToRect(1900, 0, 2040, 100));
  EXPECT_FLOAT_EQ(scene.GetScrollTarget()[0], 2048.0f - 1024.0f / scene.GetZoom());

  const float zoom = scene.GetZoom();
  testsupport::LogCapture log;
  EXPECT_FALSE(scene.ZoomToRect(10, 10, 10, 300));
  EXPECT_FALSE(scene.ZoomToRect(10, 10, 300, 5));
  EXPECT_EQ(scene.GetZoom(), zoom);
  EXPECT_EQ(log.count("Warning: "), 2);
}

TEST_F(SceneView, ViewCentreFollowsScrollAtZoomOneAndTheTargetOtherwise) {
  cl_Scene exact;
  MakeBare(exact, 1024, 640);
  EXPECT_EQ(exact.GetScrollRange(), V2(0, 0));
  exact.UpdateViewFromCamera();
  float cx, cy;
  exact.GetCamera().GetViewportCenter(cx, cy);
  EXPECT_EQ(V2(cx, cy), V2(512, 320));

  cl_Scene wide;
  MakeBare(wide, 2048, 640);
  wide.SetScroll(512, 0);
  wide.UpdateViewFromCamera();
  wide.GetCamera().GetViewportCenter(cx, cy);
  EXPECT_EQ(V2(cx, cy), V2(512, 320));
  wide.SetScroll(0, 0);
  wide.UpdateViewFromCamera();
  wide.GetCamera().GetViewportCenter(cx, cy);
  EXPECT_EQ(V2(cx, cy), V2(1024, 320));
  // Zoom 2 with the target at the scene's centre less (256, 160).
  wide.ZoomToRect(1024 - 256, 320 - 160, 1024 + 256, 320 + 160);
  ASSERT_EQ(wide.GetZoom(), 2.0f);
  wide.UpdateViewFromCamera();
  wide.GetCamera().GetViewportCenter(cx, cy);
  EXPECT_EQ(V2(cx, cy), V2(512, 320));
  EXPECT_EQ(wide.GetCamera().GetZoom(), 2.0f);

  cl_Scene unnamed;
  EXPECT_STREQ(unnamed.GetScriptPath().c_str(), "Scenes/.lua");
}

// The painter and the engine see the world alike: each locator of the scene tables lands within
// a pixel of where the painter's projection puts it, stands on a nav mesh, and comes back from
// the screen onto the floor at the same place. The backgrounds carry no marker dots.
TEST_F(SceneView, TablePointsLandWhereThePainterPutsThemOnWalkableFloor) {
  for (const demogen::st_DemoScene& demo : demogen::DemoScenes()) {
    SCOPED_TRACE(demo.name);
    CopyDemoScene(demo.name);
    cl_Scene scene;
    scene.LoadProjectFile(demo.name);
    scene.ReadFromVariant(true);
    const base::cl_Camera painter = demogen::DemoSceneCamera(demo);
    for (const demogen::st_SceneLocator& locator : demo.locators) {
      SCOPED_TRACE(locator.label);
      const V3 p(locator.at.x, 0.0f, locator.at.y);
      const V2 at = scene.WorldToScene(p), painted = demogen::DemoSceneProject(demo, painter, p);
      EXPECT_NEAR(at.x, painted.x, 1.0f);
      EXPECT_NEAR(at.y, painted.y, 1.0f);
      ASSERT_NE(scene.FindNavMeshAt(p.x, p.y, p.z), nullptr);
      if (scene.FindNavMeshAt(p.x, p.y, p.z) != scene.NavMeshes.front()) continue;  // the floor pick asks the first
      const V2 screen = scene.SceneToScreen(at.x, at.y);
      V3 floor;
      ASSERT_TRUE(scene.PickFloorPoint(screen.x, screen.y, floor));
      EXPECT_NEAR(floor.x, p.x, 2.0f);
      EXPECT_NEAR(floor.z, p.z, 2.0f);
    }
    base::cl_Bitmap32 background;
    ASSERT_TRUE(base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(
        (std::string("Scenes/") + demo.name + "/background.tga").c_str(), &background));
    int magenta = 0;
    for (int y = 0; y < background.Height(); ++y)
      for (int x = 0; x < background.Width(); ++x) {
        const base::Color32 c = background.Point(x, y);
        magenta += c.a > 0 && c.r > 200 && c.g < 60 && c.b > 200;
      }
    EXPECT_EQ(magenta, 0);
  }
}

TEST_F(SceneView, FloorPicksMissAboveTheHorizonAndOffTheNavMesh) {
  CopyDemoScene("Office");
  cl_Scene scene;
  scene.LoadProjectFile("Office");
  scene.ReadFromVariant(true);
  V3 p;
  // Off the nav mesh but on the floor plane: the plane answers.
  base::tVector3<float> o, d;
  scene.GetCamera().GetPickRay(V2(512, 620), o, d);
  ASSERT_TRUE(scene.PickRay(512, 620, p)) << o.x << " " << o.y << " " << o.z << " / " << d.x << " " << d.y << " " << d.z;
  EXPECT_NEAR(p.y, 0.0f, 1e-3f);
  EXPECT_GT(p.z, 250.0f);
  // Levelled, the camera's top half sees the sky: no point, so a click there is ignored.
  scene.GetCamera().SetOrientation(base::Quaternion());  // level: the top half sees sky
  EXPECT_FALSE(scene.PickRay(512, 10, p));
  cl_Scene bare;
  MakeBare(bare, 1024, 640);
  bare.GetCamera().SetPos(V3(0, 100, 0));
  EXPECT_FALSE(bare.PickFloorPoint(512, 100, p));
  EXPECT_TRUE(bare.PickFloorPoint(512, 600, p));
  EXPECT_NEAR(p.y, 0.0f, 1e-3f);
}

TEST_F(SceneView, HotspotsLocatorsAndLayersAreFoundByNameAndPlace) {
  CopyDemoScene("Office");
  cl_Scene scene;
  scene.LoadProjectFile("Office");
  scene.ReadFromVariant(true);
  // The junction's outline is an L (the box and the line down the wall): its notch is outside.
  const demogen::st_DemoScene& office = demogen::DemoScenes().front();
  const base::cl_Camera painter = demogen::DemoSceneCamera(office);
  auto onWall = [&](float x, float y) { return demogen::DemoSceneProject(office, painter, V3(x, y, -250.0f)); };
  const V2 line = onWall(-75, 60), notch = onWall(-125, 60), box = onWall(-120, 160);
  ASSERT_NE(scene.PickHotspot(line.x, line.y), nullptr);
  EXPECT_EQ(scene.PickHotspot(line.x, line.y)->label, "junction");
  EXPECT_EQ(scene.PickHotspot(notch.x, notch.y), nullptr);
  EXPECT_EQ(scene.PickHotspot(box.x, box.y)->label, "junction");
  // An inactive hotspot is not picked.
  quillane::WorldServices().IsHotspotActive = [](const char* label) { return std::string(label) != "junction"; };
  EXPECT_EQ(scene.PickHotspot(line.x, line.y), nullptr);
  quillane::WorldServices().IsHotspotActive = nullptr;

  std::list<quillane::cl_SceneLocator*> at;
  scene.GetLocatorsAt(-300, -200, at);
  ASSERT_EQ(at.size(), 1u);
  EXPECT_EQ(at.front()->name, "Window");
  at.clear();
  scene.GetLocatorsAt(0, 0, at);
  EXPECT_TRUE(at.empty());
  // Two area points never make an area.
  scene.AddElement("Locators", Xml(R"(<L label="TwoPoint"><P x="-1000" z="-1000"/><P x="1000" z="1000"/></L>)"), true);
  scene.GetLocatorsAt(0, 0, at);
  EXPECT_TRUE(at.empty());
  EXPECT_NE(scene.FindLocator("TwoPoint"), nullptr);
  EXPECT_EQ(scene.FindLocator("twopoint"), nullptr);
  EXPECT_EQ(scene.FindLocator(nullptr), nullptr);

  scene.AddElement("HeavenElements", Xml(R"(<L label="desk" file="none.tga"/>)"), true);
  EXPECT_EQ(scene.FindLayer("desk"), scene.HeavenElements.front());  // sky before stage
  EXPECT_EQ(scene.FindSpecialFXLayer("blur"), scene.SpecialFX.front());
  EXPECT_EQ(scene.FindSpecialFXLayer("desk"), nullptr);
  EXPECT_EQ(scene.GetFirstBackgroundLayerImage(), scene.BackgroundElements.front()->GetImage());
  EXPECT_EQ(scene.FindNavMeshAt(0, 0, 200), scene.NavMeshes.front());
  EXPECT_EQ(scene.FindNavMeshAt(0, 0, 0), nullptr);  // under the desk: a hole in the floor
}

class SceneLights : public SceneTest {
 protected:
  int WindowWidth() const override { return 1024; }
  int WindowHeight() const override { return 640; }
};

TEST_F(SceneLights, CharactersAreLitByThePicturesAtTheirPlace) {
  CopyDemoScene("Office");
  cl_Scene scene;
  scene.LoadProjectFile("Office");
  scene.ReadFromVariant(true);
  // The light picture is warm and bright by the desk lamp and dimmer in the room's front corner.
  uint32_t previousRed = 256;
  for (const V3& p : {V3(60, 0, 30), V3(-200, 0, 150), V3(-330, 0, 300)}) {
    scene.SetupLightsAt(p);
    EXPECT_FLOAT_EQ(gfx::GetDiffuseCoefficient(), 1.1f);
    const uint32_t ambient = gfx::LightState.ambient;
    EXPECT_EQ(ambient >> 24, 0xFFu);
    EXPECT_LT((ambient >> 16) & 0xFF, previousRed);
    previousRed = (ambient >> 16) & 0xFF;
    // The key light in its own colour (no picture); the blob shadows set no light.
    ASSERT_EQ(gfx::LightState.entryCount, 1);
    EXPECT_EQ(gfx::LightState.entries[0].colour, 0xFF605A54u);
  }
  // Left of the image: the first column's colour, wherever left.
  scene.SetupLightsAt(V3(-5000, 0, 0));
  const uint32_t leftmost = gfx::LightState.ambient;
  scene.SetupLightsAt(V3(-9000, 0, 0));
  for (int shift : {16, 8, 0})
    EXPECT_NEAR(static_cast<int>((leftmost >> shift) & 0xFF),
                static_cast<int>((gfx::LightState.ambient >> shift) & 0xFF), 2);

  cl_Scene dark;
  MakeBare(dark, 1024, 640);
  dark.SetupLightsAt(V3(0, 0, 0));
  EXPECT_EQ(gfx::LightState.ambient, 0xFF3C3C3Cu);
  ASSERT_EQ(gfx::LightState.entryCount, 1);
  EXPECT_EQ(gfx::LightState.entries[0].colour, 0xFFB4A0A0u);
  EXPECT_FLOAT_EQ(gfx::GetDiffuseCoefficient(), 1.0f);

  // A light whose picture is missing: its own colour, nothing read outside an image.
  dark.AddElement("Lights", Xml(R"(<Light type="point" nx="1" ny="2" nz="3" range="50" file="none.tga" color_r="9" color_g="8" color_b="7" color_a="255"/>)"), false);
  dark.SetupLightsAt(V3(0, 0, 0));
  ASSERT_EQ(gfx::LightState.entryCount, 1);
  EXPECT_EQ(gfx::LightState.entries[0].colour, 0xFF090807u);
  EXPECT_EQ(gfx::LightState.entries[0].range, 50.0f);
}

using SceneDrawing = SceneLights;

uint32_t Pixel(int x, int y) { return testsupport::BackBufferPixel(x, y); }

TEST_F(SceneDrawing, HotspotOutlinesShowInTheEditorOnlyWhileThePlayerIsFree) {
  CopyDemoScene("Office");
  cl_Scene scene;
  scene.LoadProjectFile("Office");
  scene.ReadFromVariant(true);
  quillane::WorldServices().IsEditorActive = [] { return true; };
  auto* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  auto draw = [&] {
    EXPECT_TRUE(device->BeginFrame());
    gfx::ClearScreen(0xFF000000);
    gfx::Begin2D();
    scene.RenderHotspotCaptions(true, "");
  };
  // The junction's first corner gets a 4 x 4 marker in the outline colour.
  const V2 corner = scene.FindHotspot("junction")->outline.points[0];
  const V2 at = scene.SceneToScreen(corner.x, corner.y);
  const int cx = static_cast<int>(at.x), cy = static_cast<int>(at.y);
  draw();
  EXPECT_EQ(Pixel(cx, cy), 0u);  // neither the hotspot display nor a selection
  device->EndFrame();
  quillane::g_SelectedElementLabel = "junction";
  draw();
  EXPECT_EQ(Pixel(cx, cy), 0xC89696u);
  EXPECT_EQ(Pixel(50, 50), 0u);
  device->EndFrame();
  quillane::WorldServices().IsPlayerFree = [] { return false; };
  draw();
  EXPECT_EQ(Pixel(cx, cy), 0u);
  device->EndFrame();
  quillane::WorldServices() = quillane::st_WorldServices();
}

}  // namespace
}  // namespace scenetest
