// The game viewport, GUI scale and interface bar for the window shapes the game meets, and the
// small float helpers the fades rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "base/app/SystemRoot.h"
#include "quillane/screen/ScreenLayout.h"

namespace screentest {
namespace {

struct st_LayoutCase {
  int w, h;
  float viewport[4];
  float scale;
  float bar[4];
  bool wide;
};

class ScreenLayout : public ::testing::TestWithParam<st_LayoutCase> {
 protected:
  std::unique_ptr<base::cl_System> m_system = std::make_unique<base::cl_System>();
};

TEST_P(ScreenLayout, ViewportScaleAndBarFollowTheWindow) {
  const st_LayoutCase& c = GetParam();
  m_system->SetWindowSize(c.w, c.h);
  const base::tRectf v = GetGameViewportRect();
  EXPECT_FLOAT_EQ(v.min.x, c.viewport[0]);
  EXPECT_FLOAT_EQ(v.min.y, c.viewport[1]);
  EXPECT_FLOAT_EQ(v.max.x, c.viewport[2]);
  EXPECT_FLOAT_EQ(v.max.y, c.viewport[3]);
  EXPECT_FLOAT_EQ(GetGuiScale(), c.scale);
  const base::tRectf bar = GetInterfaceBarRect();
  EXPECT_FLOAT_EQ(bar.min.x, c.bar[0]);
  EXPECT_FLOAT_EQ(bar.min.y, c.bar[1]);
  EXPECT_FLOAT_EQ(bar.max.x, c.bar[2]);
  EXPECT_FLOAT_EQ(bar.max.y, c.bar[3]);
  EXPECT_EQ(IsWideAspect(), c.wide);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ScreenLayout,
    ::testing::Values(
        st_LayoutCase{1280, 800, {0, 0, 1280, 800}, 1.25f, {0, 720, 1280, 800}, true},
        // A 4:3 window keeps the bar at its bottom, over the lower black band, where the band
        // under the picture would leave the window.
        st_LayoutCase{1024, 768, {0, 64, 1024, 704}, 1.0f, {0, 688, 1024, 768}, false},
        st_LayoutCase{800, 600, {0, 50, 800, 550}, 0.78125f, {0, 520, 800, 600}, false},
        st_LayoutCase{1280, 1024, {0, 112, 1280, 912}, 1.25f, {0, 912, 1280, 992}, false},
        st_LayoutCase{1920, 1080, {96, 0, 1824, 1080}, 1.6875f, {96, 1000, 1824, 1080}, true},
        // A window not made yet or collapsed: the reference screen, never a zero scale.
        st_LayoutCase{-1, -1, {0, 0, 1024, 640}, 1.0f, {0, 560, 1024, 640}, true},
        st_LayoutCase{640, 0, {0, 0, 1024, 640}, 1.0f, {0, 560, 1024, 640}, true}));

TEST(ScreenLayoutWithoutSystem, NothingToMeasureLaysOutTheReferenceScreen) {
  const base::tRectf v = GetGameViewportRect();
  EXPECT_EQ(v.max.x - v.min.x, 1024.0f);
  EXPECT_EQ(GetGuiScale(), 1.0f);
  EXPECT_TRUE(IsWideAspect());
  EXPECT_EQ(GetReferenceScreenSize().x, 1024.0f);
  EXPECT_EQ(GetReferenceScreenSize().y, 640.0f);
}

TEST(FloatHelpers, ApproachNeverPassesTheTargetAndIgnoresNonPositiveSteps) {
  EXPECT_FLOAT_EQ(ApproachFloat(1.0f, 0.2f, 0.5f), 0.7f);
  EXPECT_EQ(ApproachFloat(1.0f, 0.7f, 0.5f), 1.0f);
  EXPECT_EQ(ApproachFloat(0.0f, 0.3f, 0.5f), 0.0f);
  EXPECT_FLOAT_EQ(ApproachFloat(0.0f, 0.9f, 0.25f), 0.65f);
  EXPECT_EQ(ApproachFloat(1.0f, 0.4f, 0.0f), 0.4f);
  EXPECT_EQ(ApproachFloat(1.0f, 0.4f, -1.0f), 0.4f);
  EXPECT_EQ(ApproachFloat(1.0f, 0.4f, std::nanf("")), 0.4f);
  EXPECT_EQ(ApproachFloat(1.0f, 0.4f, INFINITY), 1.0f);
}

TEST(FloatHelpers, SinToUnitEasesInsideZeroToOne) {
  EXPECT_EQ(SinToUnit(-3.0f), 0.0f);
  EXPECT_FLOAT_EQ(SinToUnit(0.5f), 0.5f);
  EXPECT_FLOAT_EQ(SinToUnit(1.0f), 1.0f);
  EXPECT_FLOAT_EQ(SinToUnit(7.0f), 1.0f);
  EXPECT_NEAR(SinToUnit(0.25f) * 255.0f, 37.3f, 0.1f);
  EXPECT_EQ(ClampFloat(5.0f, 0.0f, 2.0f), 2.0f);
  EXPECT_EQ(ClampFloat(-5.0f, 0.0f, 2.0f), 0.0f);
  const base::tVector2<float> c = RectCenter(MakeRect({2.0f, 4.0f}, {6.0f, 10.0f}));
  EXPECT_EQ(c.x, 4.0f);
  EXPECT_EQ(c.y, 7.0f);
}

}  // namespace
}  // namespace screentest
