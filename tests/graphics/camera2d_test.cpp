// The 2D scrolling camera: conversions both ways, scrolling, centring, zooming on a rectangle
// and keeping the view inside its boundary; and the locator's heading.
#include <gtest/gtest.h>

#include <cmath>

#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/Camera2D.h"

namespace {

using V2 = base::tVector2<float>;
using Rect = base::cl_Camera2D::Rect;

void ExpectNear(const V2& got, const V2& want) {
  EXPECT_NEAR(got.x, want.x, 1e-4f);
  EXPECT_NEAR(got.y, want.y, 1e-4f);
}

base::cl_Camera2D MakeCamera(float x1, float y1, float x2, float y2) {
  base::cl_Camera2D camera;
  camera.SetViewportRect(Rect(x1, y1, x2, y2));
  return camera;
}

TEST(Camera2D, WorldAndScreenConvertBothWays) {
  base::cl_Camera2D camera = MakeCamera(0, 0, 800, 600);
  camera.SetPos(100, 50);
  ExpectNear(camera.World2Screen(V2(100, 50)), V2(0, 0));
  ExpectNear(camera.Screen2World(V2(0, 0)), V2(100, 50));
  // A viewport corner, a centre offset and a zoom all enter, and the inverse still holds.
  camera = MakeCamera(20, 10, 420, 310);
  camera.SetViewportCenter(V2(5, 7));
  camera.SetZoomFactor(2.5f);
  camera.SetPos(-3, 4);
  const V2 world(12.5f, -8.0f);
  const V2 screen = camera.World2Screen(world);
  ExpectNear(screen, V2(20 + 5 + 15.5f * 2.5f, 10 + 7 - 12.0f * 2.5f));
  ExpectNear(camera.Screen2World(screen), world);
}

TEST(Camera2D, ScrollMovesByScreenDistanceOverZoom) {
  base::cl_Camera2D camera = MakeCamera(0, 0, 800, 600);
  camera.SetZoomFactor(2.0f);
  camera.Scroll(V2(10, 0));
  ExpectNear(camera.GetPos(), V2(5, 0));
}

TEST(Camera2D, ZoomOnFitsTheRectangleAndCentresIt) {
  base::cl_Camera2D camera = MakeCamera(0, 0, 800, 600);
  camera.ZoomOn(Rect(100, 100, 500, 200));  // 400 × 100: ratios 2 and 6
  EXPECT_FLOAT_EQ(camera.GetZoomFactor(), 2.0f);
  ExpectNear(camera.World2Screen(V2(300, 150)), V2(400, 300));
  ExpectNear(camera.World2Screen(V2(100, 150)), V2(0, 300));

  // A line has no height: its width alone decides; a point leaves the zoom alone.
  camera.ZoomOn(Rect(0, 0, 200, 0));
  EXPECT_FLOAT_EQ(camera.GetZoomFactor(), 4.0f);
  camera.ZoomOn(Rect(7, 7, 7, 7));
  EXPECT_FLOAT_EQ(camera.GetZoomFactor(), 4.0f);
  ExpectNear(camera.World2Screen(V2(7, 7)), V2(400, 300));
}

TEST(Camera2D, CenterOnShowsThePointInTheViewportsMiddle) {
  // Also for a viewport that does not start at the screen's corner.
  base::cl_Camera2D camera = MakeCamera(200, 100, 600, 400);
  camera.SetZoomFactor(3.0f);
  camera.SetViewportCenter(V2(10, 20));
  camera.CenterOn(V2(-40, 75));
  ExpectNear(camera.World2Screen(V2(-40, 75)), V2(400, 250));
}

TEST(Camera2D, ClipAtBoundaryKeepsTheViewInsideAndFillsTheViewport) {
  base::cl_Camera2D camera = MakeCamera(0, 0, 800, 600);
  camera.SetBoundary(Rect(0, 0, 2000, 1000));
  camera.SetPos(-50, 900);  // left of and below the boundary
  camera.ClipAtBoundary();
  ExpectNear(camera.GetPos(), V2(0, 400));
  EXPECT_FLOAT_EQ(camera.GetZoomFactor(), 1.0f);

  // A boundary smaller than the view: the zoom rises so that the boundary fills the viewport.
  camera.SetBoundary(Rect(0, 0, 400, 200));
  camera.ClipAtBoundary();
  EXPECT_FLOAT_EQ(camera.GetZoomFactor(), 3.0f);  // 600 / 200 after 800 / 400

  // The default boundary is empty: nothing moves, nothing is divided by zero.
  base::cl_Camera2D fresh = MakeCamera(0, 0, 800, 600);
  fresh.SetPos(-5, -5);
  fresh.ClipAtBoundary();
  ExpectNear(fresh.GetPos(), V2(-5, -5));
  EXPECT_FLOAT_EQ(fresh.GetZoomFactor(), 1.0f);
}

TEST(Camera2D, DefaultsFollowTheWindowAndHeadingStartsAtZero) {
  base::cl_System system;
  base::sys::SetWindowSize(640, 480);
  base::cl_Camera2D camera;
  EXPECT_EQ(camera.GetViewportRect().max, V2(640, 480));
  EXPECT_EQ(camera.GetViewportRect().min, V2(0, 0));
  EXPECT_EQ(camera.GetDir(), 0.0f);
  EXPECT_EQ(camera.GetZoomFactor(), 1.0f);
  base::cl_Camera2D copy = camera;
  EXPECT_EQ(copy.GetViewportRect().max, V2(640, 480));
}

TEST(Locator2D, RightDirectionMoveAndLookAt) {
  base::cl_Locator2D locator;
  ExpectNear(locator.GetRightDir(), V2(-1, 0));  // the engine's turn mirrors at angle 0
  locator.SetDir(static_cast<float>(M_PI / 2));
  ExpectNear(locator.GetRightDir(), V2(0, 1));
  locator.MoveRight(3);
  ExpectNear(locator.GetPos(), V2(0, 3));
  locator.LookAt(V2(5, 3));  // straight along +x from (0, 3)
  EXPECT_NEAR(locator.GetDir(), static_cast<float>(M_PI / 2), 1e-5f);
  locator.LookAt(locator.GetPos());
  EXPECT_EQ(locator.GetDir(), 0.0f);
}

}  // namespace
