// The fold of a turning page on a page area of 800 x 500 (spine at x 400), against values worked
// out by hand, and properties that must hold for any fold point: the flap is the mirror image of
// the uncovered part, the corner lands on the fold point, and the page stays bound at the spine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "quillane/diary/PageFold.h"

namespace {

using tPoint = cl_PageFold::tPoint;

cl_PageFold Area() {
  cl_PageFold fold;
  fold.SetArea({0, 0}, {800, 500}, 400);
  return fold;
}

::testing::AssertionResult Near(const tPoint& a, const tPoint& b, float eps = 1e-3f) {
  if (std::fabs(a.x - b.x) <= eps && std::fabs(a.y - b.y) <= eps) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ") is not (" << b.x << ", " << b.y << ")";
}

float TriangleArea(const tPoint* p) { return std::fabs((p[1] - p[0]).cross(p[2] - p[0])) * 0.5f; }

float Sum(const tPoint* list, uint32_t triangles) {
  float area = 0;
  for (uint32_t t = 0; t < triangles; ++t) area += TriangleArea(list + t * 3);
  return area;
}

// The book's loop: at most 20 rounds until the fold needs no correction.
int Settle(cl_PageFold& fold) {
  for (int round = 1; round <= cl_PageFold::kCorrectionRounds; ++round)
    if (fold.BuildFold(0.0f, true)) return round;
  return cl_PageFold::kCorrectionRounds + 1;
}

TEST(PageFold, FoldPointOnTheCornerFoldsNothing) {
  for (int corner = 0; corner < 4; ++corner) {
    cl_PageFold fold = Area();
    fold.m_activeCorner = corner;
    fold.m_foldPoint = fold.m_corners[corner];
    EXPECT_TRUE(fold.BuildFold(0.016f, true)) << corner;
    EXPECT_EQ(fold.m_triangleCount, 0u) << corner;
    EXPECT_EQ(fold.m_foldRatio, 0.0f) << corner;
  }
  cl_PageFold idle = Area();
  EXPECT_TRUE(idle.BuildFold(0.0f, true));
  EXPECT_EQ(idle.m_triangleCount, 0u);
}

// 100 px in on both axes: one triangle, the corner and the two fold ends 100 px along its edges.
TEST(PageFold, HundredPixelsInFoldsOneTriangle) {
  struct st_Case {
    int corner;
    tPoint fold, endA, endB;       // endA along the vertical edge, endB along the horizontal one
    tPoint uvCorner, uvA, uvB;     // natural coordinates of the corner's own page
  } cases[] = {
      {0, {100, 100}, {0, 100}, {100, 0}, {0, 0}, {0, 0.2f}, {0.25f, 0}},
      {1, {700, 100}, {800, 100}, {700, 0}, {1, 0}, {1, 0.2f}, {0.75f, 0}},
      {2, {700, 400}, {800, 400}, {700, 500}, {1, 1}, {1, 0.8f}, {0.75f, 1}},
      {3, {100, 400}, {0, 400}, {100, 500}, {0, 1}, {0, 0.8f}, {0.25f, 1}},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.corner);
    cl_PageFold fold = Area();
    fold.m_activeCorner = c.corner;
    fold.m_foldPoint = c.fold;
    EXPECT_TRUE(fold.BuildFold(0.0f, true));
    ASSERT_EQ(fold.m_triangleCount, 1u);
    EXPECT_NEAR(fold.m_foldRatio, std::sqrt(2.0f) * 100 / 800, 1e-5);
    // The corner first; the fold ends stay put on both sides, the corner goes to the fold point.
    EXPECT_TRUE(Near(fold.m_belowPos[0], fold.m_corners[c.corner]));
    EXPECT_TRUE(Near(fold.m_backPos[0], c.fold));
    EXPECT_TRUE(Near(fold.m_belowUV[0], c.uvCorner));
    EXPECT_TRUE(Near(fold.m_backUV[0], {1 - c.uvCorner.x, c.uvCorner.y}));
    for (int k = 1; k <= 2; ++k) {
      const tPoint p = fold.m_belowPos[k];
      const bool isA = std::fabs(p.x - c.endA.x) < 1e-3f && std::fabs(p.y - c.endA.y) < 1e-3f;
      EXPECT_TRUE(Near(p, isA ? c.endA : c.endB));
      EXPECT_TRUE(Near(fold.m_backPos[k], p));
      const tPoint uv = isA ? c.uvA : c.uvB;
      EXPECT_TRUE(Near(fold.m_belowUV[k], uv));
      EXPECT_TRUE(Near(fold.m_backUV[k], {1 - uv.x, uv.y}));
    }
    // Shadow: darkest (u 0) on the fold line, 1 at the corner.
    EXPECT_NEAR(fold.m_shadowUV[0].x, 1.0f, 1e-5);
    EXPECT_NEAR(fold.m_shadowUV[1].x, 0.0f, 1e-5);
  }
}

// A fold line parallel to an edge cuts a strip off the page: two triangles, nothing infinite. A
// strip along the top or bottom takes the spine's end with it, so the point must move.
TEST(PageFold, FoldParallelToAnEdgeCutsAStrip) {
  struct st_Case {
    int corner;
    tPoint offset;
    float area;
    bool attached;
  } cases[] = {
      {0, {100, 0}, 50 * 500, true},   {0, {0, 100}, 400 * 50, false}, {1, {-100, 0}, 50 * 500, true},
      {1, {0, 100}, 400 * 50, false},  {2, {-100, 0}, 50 * 500, true}, {2, {0, -100}, 400 * 50, false},
      {3, {100, 0}, 50 * 500, true},   {3, {0, -100}, 400 * 50, false},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.corner << " " << c.offset.x << "," << c.offset.y);
    cl_PageFold fold = Area();
    fold.m_activeCorner = c.corner;
    fold.m_foldPoint = fold.m_corners[c.corner] + c.offset;
    EXPECT_EQ(fold.BuildFold(0.0f, false), c.attached);
    ASSERT_EQ(fold.m_triangleCount, 2u);
    for (int k = 0; k < 6; ++k) {
      EXPECT_TRUE(std::isfinite(fold.m_backPos[k].x) && std::isfinite(fold.m_backPos[k].y));
      EXPECT_TRUE(std::isfinite(fold.m_shadowUV[k].x) && std::isfinite(fold.m_shadowUV[k].y));
    }
    EXPECT_NEAR(Sum(fold.m_belowPos, 2), c.area, 1e-2);
    EXPECT_NEAR(Sum(fold.m_backPos, 2), c.area, 1e-2);
  }
}

// Dragged past the spine and off the page, the point is pulled back until both spine ends stay
// on the unfolded side: the page does not come loose.
TEST(PageFold, PointBeyondTheSpineIsPulledBackAndStaysAttached) {
  const tPoint far[] = {{-300, 250}, {-50, -200}, {-50, 700}, {1200, 250}, {1000, -300}, {900, 800}};
  for (int corner = 0; corner < 4; ++corner)
    for (const tPoint& start : far) {
      SCOPED_TRACE(testing::Message() << corner << " from " << start.x << "," << start.y);
      cl_PageFold fold = Area();
      fold.m_activeCorner = corner;
      fold.m_foldPoint = start;
      EXPECT_LE(Settle(fold), cl_PageFold::kCorrectionRounds);
      const tPoint d = fold.m_foldPoint;
      EXPECT_LE((fold.m_corners[4] - d).length(), (fold.m_corners[4] - fold.m_corners[corner]).length() + 0.02f);
      EXPECT_LE((fold.m_corners[5] - d).length(), (fold.m_corners[5] - fold.m_corners[corner]).length() + 0.02f);
      // No fold vertex lies inside the spine.
      for (uint32_t k = 0; k < fold.m_triangleCount * 3; ++k) {
        const tPoint p = fold.m_belowPos[k];
        EXPECT_FALSE(std::fabs(p.x - 400) < 1e-3f && p.y > 0.5f && p.y < 499.5f) << p.x << "," << p.y;
      }
    }
}

TEST(PageFold, CornerUvFollowsTheCornerFrame) {
  struct st_Case {
    int corner;
    bool swap;
    tPoint expected;  // for (u, v) = (0.25, 0.75)
  } cases[] = {
      {0, false, {0.25f, 0.75f}}, {0, true, {0.25f, 0.75f}}, {1, false, {0.75f, 0.75f}}, {1, true, {0.75f, 0.75f}},
      {2, false, {0.75f, 0.25f}}, {2, true, {0.75f, 0.25f}}, {3, false, {0.25f, 0.25f}}, {3, true, {0.25f, 0.25f}},
      {-1, false, {0, 0}},        {-1, true, {0, 0}},
  };
  for (const st_Case& c : cases) {
    cl_PageFold fold = Area();
    fold.m_activeCorner = c.corner;
    EXPECT_TRUE(Near(fold.CornerUV(0.25f, 0.75f, c.swap), c.expected)) << c.corner << " " << c.swap;
  }
  // The corners whose frames turn: u and v trade places one way and not the other.
  cl_PageFold fold = Area();
  fold.m_activeCorner = 1;
  EXPECT_TRUE(Near(fold.CornerUV(0.1f, 0.3f, false), {0.3f, 0.9f}));
  EXPECT_TRUE(Near(fold.CornerUV(0.1f, 0.3f, true), {0.9f, 0.3f}));
  fold.m_activeCorner = 3;
  EXPECT_TRUE(Near(fold.CornerUV(0.1f, 0.3f, false), {0.7f, 0.1f}));
  EXPECT_TRUE(Near(fold.CornerUV(0.1f, 0.3f, true), {0.1f, 0.7f}));
}

TEST(PageFold, ClampKeepsTheMarginsOfTheTurnDirection) {
  struct st_Case {
    int corner, turnState;
    float x, expected;
  } cases[] = {
      {2, 0, -50, 0.1f}, {2, 0, 900, 795.0f}, {2, 1, 900, 799.9f}, {1, 3, 400, 400},
      {3, 0, -50, 5.0f}, {3, 1, -50, 0.1f},   {0, 2, 900, 799.9f}, {-1, 0, -50, -50},
  };
  for (const st_Case& c : cases) {
    cl_PageFold fold = Area();
    fold.m_activeCorner = c.corner;
    fold.m_turnState = c.turnState;
    fold.m_foldPoint = {c.x, 123};
    fold.ClampFoldPoint();
    EXPECT_FLOAT_EQ(fold.m_foldPoint.x, c.expected) << c.corner << " " << c.turnState << " " << c.x;
    EXPECT_EQ(fold.m_foldPoint.y, 123);
  }
}

// Reflects p in the perpendicular bisector of a and b, computed here independently.
tPoint Reflect(const tPoint& p, const tPoint& a, const tPoint& b) {
  const tPoint m = (a + b) * 0.5f, n = (b - a).normal();
  return p - n * (2.0f * (p - m).dot(n));
}

TEST(PageFold, FlapMirrorsTheUncoveredPartOnAGridOfFoldPoints) {
  int checked = 0;
  for (int corner = 0; corner < 4; ++corner)
    for (float x = -40; x <= 840; x += 40)
      for (float y = -60; y <= 560; y += 40) {
        cl_PageFold fold = Area();
        fold.m_activeCorner = corner;
        fold.m_foldPoint = {x, y};
        ASSERT_LE(Settle(fold), cl_PageFold::kCorrectionRounds) << corner << " " << x << "," << y;
        const tPoint k = fold.m_corners[corner], d = fold.m_foldPoint;
        if (fold.m_triangleCount == 0) continue;
        ++checked;
        const uint32_t n = fold.m_triangleCount;
        const float below = Sum(fold.m_belowPos, n), back = Sum(fold.m_backPos, n);
        ASSERT_NEAR(below, back, 1e-3f * std::max(1.0f, below)) << corner << " " << x << "," << y;
        EXPECT_TRUE(Near(fold.m_backPos[0], d, 2e-3f));
        const bool right = corner == 1 || corner == 2;
        for (uint32_t i = 0; i < n * 3; ++i) {
          const tPoint p = fold.m_belowPos[i];
          ASSERT_TRUE(Near(fold.m_backPos[i], Reflect(p, k, d), 2e-2f)) << corner << " " << x << "," << y;
          // Below: inside the turning page, at its natural coordinates; the back mirrored in u.
          EXPECT_GE(p.x, (right ? 400 : 0) - 1e-3f);
          EXPECT_LE(p.x, (right ? 800 : 400) + 1e-3f);
          EXPECT_TRUE(Near(fold.m_belowUV[i], {(p.x - (right ? 400 : 0)) / 400, p.y / 500}, 1e-4f));
          EXPECT_TRUE(Near(fold.m_backUV[i], {1 - fold.m_belowUV[i].x, fold.m_belowUV[i].y}, 1e-4f));
        }
      }
  EXPECT_GT(checked, 400);
}

TEST(PageFold, FoldRatioRunsFromZeroToAboutOne) {
  cl_PageFold fold = Area();
  fold.m_activeCorner = 2;
  float last = -1;
  for (float x = 800; x >= 0.1f; x -= 50) {
    fold.m_foldPoint = {std::max(x, 0.1f), 500};
    Settle(fold);
    EXPECT_GT(fold.m_foldRatio, last);
    last = fold.m_foldRatio;
  }
  EXPECT_NEAR(last, 1.0f, 0.07f);
}

}  // namespace
