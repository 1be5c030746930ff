// The perspective camera: world points to screen pixels and pick rays back through them, with a
// zoom and a shifted projection centre, and a point drawn through gfx::SetCamera landing on the
// pixel World2Screen names.
#include <cmath>

#include "GraphicsFixture.h"
#include "graphics/Camera.h"
#include "graphics/gfx.h"
#include "win32dx9/DynamicBuffer.h"

namespace gfxtest {
namespace {

using base::tVector2;
using base::tVector3;

base::cl_Camera ZoomedCamera() {
  base::cl_Camera camera;
  camera.SetViewportRect(0, 0, 64, 48);
  camera.SetViewportCenter(40, 20);
  camera.SetZoom(2.0f);
  camera.SetPos({0, 0, 100});
  camera.LookAt({0, 0, 0}, {0, 1, 0});
  camera.GetProjectionMatrix();
  return camera;
}

float DistanceToRay(const tVector3<float>& p, const tVector3<float>& origin, const tVector3<float>& direction) {
  const tVector3<float> to = p - origin;
  return (to - direction * to.dot(direction)).length();
}

TEST(Camera, PickRayThroughTheScreenPointOfAWorldPointHitsIt) {
  base::cl_Camera camera = ZoomedCamera();
  const tVector3<float> axis = camera.World2Screen({0, 0, 0});
  EXPECT_NEAR(axis.x, 40.0f, 1e-3f);  // the view axis lands on the projection centre
  EXPECT_NEAR(axis.y, 20.0f, 1e-3f);
  EXPECT_LT(camera.GetZDistance({0, 0, 0}), 0.0f);
  EXPECT_NEAR(camera.GetLookDir().z, -1.0f, 1e-5f);

  base::cl_Camera unzoomed = camera;
  unzoomed.SetZoom(1.0f);
  unzoomed.GetProjectionMatrix();
  for (const tVector3<float>& p : {tVector3<float>(10, 5, 0), tVector3<float>(-20, 8, -30), tVector3<float>(3, -9, 40)}) {
    const tVector3<float> s = camera.World2Screen(p);
    tVector3<float> origin, direction;
    camera.GetPickRay({s.x, s.y}, origin, direction);
    EXPECT_NEAR(direction.length(), 1.0f, 1e-5f);
    EXPECT_LT(DistanceToRay(p, origin, direction), 1e-2f) << p.x;
    EXPECT_GT((p - origin).dot(direction), 0.0f);  // in front of the ray's start
    // Zoom 2 puts the point twice as far from the centre.
    const tVector3<float> u = unzoomed.World2Screen(p);
    EXPECT_NEAR(s.x - 40.0f, 2.0f * (u.x - 40.0f), 1e-3f);
    EXPECT_NEAR(s.y - 20.0f, 2.0f * (u.y - 20.0f), 1e-3f);
  }
  // The ray starts on the near plane.
  tVector3<float> origin, direction;
  camera.GetPickRay({40, 20}, origin, direction);
  EXPECT_NEAR(origin.z, 50.0f, 1e-3f);
}

TEST(Camera, TurningAndMovingStayInTheLocatorsFrame) {
  base::cl_Locator locator;
  locator.TurnRight(1.5707964f);
  const tVector3<float> look = locator.GetLookDir();
  EXPECT_NEAR(look.x, 1.0f, 1e-5f);  // from −z, a right turn looks along +x
  EXPECT_NEAR(locator.GetYawAngle(), -1.5707964f, 1e-4f);
  locator.MoveForward(3);
  EXPECT_NEAR(locator.GetPos().x, 3.0f, 1e-5f);
  locator.MoveUp(2);
  EXPECT_NEAR(locator.GetPos().y, 2.0f, 1e-5f);
}

class CameraDrawing : public GraphicsTest {};

TEST_F(CameraDrawing, APointDrawnAtAWorldPositionLandsWhereWorld2ScreenSays) {
  base::cl_Camera camera = ZoomedCamera();
  const tVector3<float> p(10, 5, 0);
  const tVector3<float> s = camera.World2Screen(p);
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000);
  gfx::SetCamera(&camera);
  EXPECT_EQ(gfx::GetCamera(), &camera);
  gfx::SetWorldMatrix(base::Matrix4());
  gfx::DisableLighting();
  Device()->SetRenderState(gpu::rs::Lighting, 0);
  Device()->SetTexture(0, nullptr);
  Device()->SetTextureStageState(0, gpu::tss::ColorOp, gpu::top::SelectArg1);
  Device()->SetTextureStageState(0, gpu::tss::ColorArg1, gpu::ta::Diffuse);
  namespace rec = win32dx9::rec;
  rec::DiffAddTriangle();
  rec::DiffAddVertex(p.x - 1.5f, p.y - 1, 0, 0, 0, 0xFFFF0000);
  rec::DiffAddVertex(p.x + 1.5f, p.y - 1, 0, 0, 0, 0xFFFF0000);
  rec::DiffAddVertex(p.x, p.y + 2, 0, 0, 0, 0xFFFF0000);
  rec::DiffFlushTriangles();
  // The pixel under World2Screen's point is covered; its neighbours four pixels away are not.
  const int x = static_cast<int>(std::floor(s.x)), y = static_cast<int>(std::floor(s.y));
  EXPECT_EQ(Pixel(x, y), 0xFF0000u) << s.x << ", " << s.y;
  EXPECT_EQ(Pixel(x - 4, y), 0u);
  EXPECT_EQ(Pixel(x + 4, y), 0u);
  EXPECT_EQ(Pixel(x, y - 4), 0u);
  EXPECT_EQ(Pixel(x, y + 4), 0u);
  EndFrame();
  gfx::SetCamera(nullptr);
}

}  // namespace
}  // namespace gfxtest
