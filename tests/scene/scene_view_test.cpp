// Coordinates, picking and lookups: transforms, zooming, the view centre, the painted
// reference points found again through WorldToScene, floor and hotspot picks, locator areas,
// and the lights a character gets at a point.
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

// The centre of the magenta dots near where the table says a reference point was painted.
bool FindMarker(const base::cl_Bitmap32& picture, V2 near, V2& found) {
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = static_cast<int>(near.y) - 6; y <= static_cast<int>(near.y) + 6; ++y)
    for (int x = static_cast<int>(near.x) - 6; x <= static_cast<int>(near.x) + 6; ++x) {
      const base::Color32 c = picture.Point(x, y);
      if (c.r == 255 && c.g == 0 && c.b == 255) sx += x + 0.5, sy += y + 0.5, ++n;
    }
  if (n == 0) return false;
  found = V2(static_cast<float>(sx / n), static_cast<float>(sy / n));
  return true;
}

TEST_F(SceneView, PaintedReferencePointsLandWithinAPixelThroughWorldToScene) {
  for (const demogen::st_DemoScene& demo : demogen::DemoScenes()) {
    SCOPED_TRACE(demo.name);
    CopyDemoScene(demo.name);
    cl_Scene scene;
    scene.LoadProjectFile(demo.name);
    scene.ReadFromVariant(true);
    base::cl_Bitmap32 background;
    ASSERT_TRUE(base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(
        (std::string("Scenes/") + demo.name + "/background.tga").c_str(), &background));
    for (const V3& p : demo.references) {
      const V2 at = scene.WorldToScene(p);
      V2 painted;
      ASSERT_TRUE(FindMarker(background, at, painted)) << p.x << "," << p.z;
      EXPECT_NEAR(at.x, painted.x, 1.0f);
      EXPECT_NEAR(at.y, painted.y, 1.0f);
      // Back from the screen onto the floor: the same world point (where the floor is walkable).
      if (!scene.FindNavMeshAt(p.x, p.y, p.z)) continue;
      const V2 screen = scene.SceneToScreen(at.x, at.y);
      V3 floor;
      ASSERT_TRUE(scene.PickFloorPoint(screen.x, screen.y, floor));
      EXPECT_NEAR(floor.x, p.x, 2.0f);
      EXPECT_NEAR(floor.z, p.z, 2.0f);
    }
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
  // The camera looks down 32 degrees and sees 20 degrees up: the top row sees the floor only
  // behind it. No point, so a click there is ignored.
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
  // The junction outline is an L: its notch is outside.
  ASSERT_NE(scene.PickHotspot(130, 200), nullptr);
  EXPECT_EQ(scene.PickHotspot(130, 200)->label, "junction");
  EXPECT_EQ(scene.PickHotspot(180, 200), nullptr);
  EXPECT_EQ(scene.PickHotspot(180, 130)->label, "junction");
  // An inactive hotspot is not picked.
  quillane::WorldServices().IsHotspotActive = [](const char* label) { return std::string(label) != "junction"; };
  EXPECT_EQ(scene.PickHotspot(130, 200), nullptr);
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
  // The ambient picture runs from warm (left) to cool (right).
  uint32_t previousRed = 256;
  for (const V3& p : {V3(-600, 0, 0), V3(0, 0, 0), V3(300, 0, 100)}) {
    scene.SetupLightsAt(p);
    EXPECT_FLOAT_EQ(gfx::GetDiffuseCoefficient(), 1.1f);
    const uint32_t ambient = gfx::LightState.ambient;
    EXPECT_EQ(ambient >> 24, 0xFFu);
    EXPECT_LT((ambient >> 16) & 0xFF, previousRed);
    previousRed = (ambient >> 16) & 0xFF;
    ASSERT_EQ(gfx::LightState.entryCount, 1);  // the directional light, in its own colour (no picture)
    EXPECT_EQ(gfx::LightState.entries[0].colour, 0xFFFFF0DCu);
  }
  // Left of the image: the first column's colour.
  scene.SetupLightsAt(V3(-5000, 0, 0));
  const uint32_t leftmost = gfx::LightState.ambient;
  for (int shift : {16, 8, 0}) EXPECT_NEAR(static_cast<int>((leftmost >> shift) & 0xFF), (0xFFFFD8A0u >> shift) & 0xFF, 2);

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
  // The junction's first corner (120, 120) gets a 4 x 4 marker in the outline colour.
  draw();
  EXPECT_EQ(Pixel(120, 120), 0u);  // neither the hotspot display nor a selection
  device->EndFrame();
  quillane::g_SelectedElementLabel = "junction";
  draw();
  EXPECT_EQ(Pixel(120, 120), 0xC89696u);
  EXPECT_EQ(Pixel(50, 50), 0u);
  device->EndFrame();
  quillane::WorldServices().IsPlayerFree = [] { return false; };
  draw();
  EXPECT_EQ(Pixel(120, 120), 0u);
  device->EndFrame();
  quillane::WorldServices() = quillane::st_WorldServices();
}

}  // namespace
}  // namespace scenetest
