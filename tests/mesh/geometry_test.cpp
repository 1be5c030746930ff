#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/math/Random.h"
#include "graphics/mesh/Geometry.h"
#include "mesh_test_support.h"

namespace {

using meshtest::V2;
using meshtest::V3;

struct RayTriangleCase {
  const char* name;
  V3 origin;
  V3 direction;
  bool hit;
  float t, u, v;
};

TEST(RayTriangle, HitsMissesAndBarycentrics) {
  const base::Triangle3 tri = base::MakeTriangle(V3(0, 0, 0), V3(1, 0, 0), V3(0, 1, 0));
  const RayTriangleCase cases[] = {
      {"inside", V3(0.25f, 0.25f, 1), V3(0, 0, -1), true, 1, 0.25f, 0.25f},
      {"on the edge u+v=1", V3(0.5f, 0.5f, 1), V3(0, 0, -1), true, 1, 0.5f, 0.5f},
      {"just past the edge", V3(0.5f, 0.5001f, 1), V3(0, 0, -1), false, 0, 0, 0},
      {"left of a", V3(-0.1f, 0.5f, 1), V3(0, 0, -1), false, 0, 0, 0},
      {"below a", V3(0.5f, -0.1f, 1), V3(0, 0, -1), false, 0, 0, 0},
      {"on corner b", V3(1, 0, 2), V3(0, 0, -1), true, 2, 1, 0},
      {"in the plane, parallel", V3(0.2f, 0.2f, 0), V3(1, 0, 0), false, 0, 0, 0},
      {"above the plane, parallel", V3(0.2f, 0.2f, 1), V3(0, 1, 0), false, 0, 0, 0},
      {"behind the origin gives negative t", V3(0.25f, 0.25f, -1), V3(0, 0, -1), true, -1, 0.25f, 0.25f},
      {"unnormalised direction", V3(0.25f, 0.25f, 3), V3(0, 0, -7), true, 3, 0.25f, 0.25f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    float t = 0, u = 0, v = 0;
    const bool hit = base::IntersectRayTriangle(tri, base::Ray3(c.origin, c.direction), t, u, v);
    ASSERT_EQ(hit, c.hit);
    if (!hit) continue;
    EXPECT_FLOAT_EQ(t, c.t);
    EXPECT_FLOAT_EQ(u, c.u);
    EXPECT_FLOAT_EQ(v, c.v);
  }
  EXPECT_EQ(tri.Normal(), V3(0, 0, 1));
  EXPECT_EQ(base::MakeTriangle(V3(0, 0, 0), V3(2, 0, 0), V3(0, 3, 0)).Normal(), V3(0, 0, 6));
}

TEST(Segment2, ClosestPointClampsAndDistanceDoesNot) {
  const base::Segment2 s(V2(0, 0), V2(4, 0));
  EXPECT_FLOAT_EQ(s.Length(), 4);
  EXPECT_EQ(s.ClosestPoint(V2(2, 3)), V2(2, 0));
  EXPECT_EQ(s.ClosestPoint(V2(-5, 1)), V2(0, 0));
  EXPECT_EQ(s.ClosestPoint(V2(9, -1)), V2(4, 0));
  EXPECT_EQ(s.PointAtDistance(6), V2(6, 0));
  EXPECT_EQ(s.PointAtDistance(-1), V2(-1, 0));
}

TEST(Ray2, CrossingsParallelAndSegmentEnds) {
  const base::Ray2 r(V2(0, 0), V2(2, 0));
  EXPECT_EQ(r.direction, V2(1, 0));
  float t = 0, tOther = 0;
  ASSERT_TRUE(r.Intersect(base::Ray2(V2(3, -2), V2(0, 1)), t, tOther));
  EXPECT_FLOAT_EQ(t, 3);
  EXPECT_FLOAT_EQ(tOther, 2);
  EXPECT_FALSE(r.Intersect(base::Ray2(V2(0, 1), V2(-1, 0)), t, tOther));

  struct Case {
    const char* name;
    base::Segment2 segment;
    bool hit;
    V2 point;
  };
  const Case cases[] = {
      {"across", {V2(3, -1), V2(3, 1)}, true, V2(3, 0)},
      {"starts on the ray", {V2(3, 0), V2(3, 1)}, true, V2(3, 0)},
      {"ends on the ray", {V2(3, 1), V2(3, 0)}, false, V2()},
      {"behind the origin", {V2(-3, -1), V2(-3, 1)}, false, V2()},
      {"misses beside", {V2(3, 1), V2(3, 2)}, false, V2()},
      {"parallel", {V2(0, 1), V2(5, 1)}, false, V2()},
      {"zero length", {V2(3, 0), V2(3, 0)}, false, V2()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    V2 p;
    ASSERT_EQ(r.IntersectSegment(c.segment, p), c.hit);
    if (c.hit) {
      EXPECT_EQ(p, c.point);
    }
  }
}

TEST(Circle2, RadiusRimAndCrossings) {
  EXPECT_EQ(base::Circle2(V2(1, 1), -3).radius, 0);
  EXPECT_EQ(base::Circle2(V2(), 2).Grown(-5).radius, 0);
  EXPECT_EQ(base::Circle2(V2(), 2).Grown(0.5f).radius, 2.5f);

  const base::Circle2 c(V2(0, 0), 1);
  EXPECT_FALSE(c.Contains(V2(1, 0)));  // the rim is outside
  EXPECT_TRUE(c.Contains(V2(0.5f, 0.5f)));
  EXPECT_EQ(c.ClosestPoint(V2(0, 5)), V2(0, 1));
  EXPECT_EQ(c.ClosestPoint(V2(0, 0)), V2(0, 0));  // no direction from the centre
  EXPECT_FLOAT_EQ(c.DistanceToSegment({V2(-5, 2), V2(5, 2)}), 1);
  EXPECT_FLOAT_EQ(c.DistanceToSegment({V2(-5, 0), V2(5, 0)}), -1);

  float t1 = 0, t2 = 0;
  EXPECT_EQ(c.IntersectRay(base::Ray2(V2(-2, 1), V2(1, 0)), t1, t2), 1);  // tangent
  EXPECT_FLOAT_EQ(t1, 2);
  EXPECT_EQ(c.IntersectRay(base::Ray2(V2(-2, 0), V2(1, 0)), t1, t2), 2);
  EXPECT_FLOAT_EQ(t1, 1);
  EXPECT_FLOAT_EQ(t2, 3);
  EXPECT_EQ(c.IntersectRay(base::Ray2(V2(-2, 0.5f), V2(1, 0)), t1, t2), 2);
  EXPECT_FLOAT_EQ(t1, 2 - std::sqrt(0.75f));
  EXPECT_EQ(c.IntersectRay(base::Ray2(V2(-2, 2), V2(1, 0)), t1, t2), 0);
}

TEST(Circle2, ExitPointAcrossTakesTheNearerRimPoint) {
  const base::Circle2 c(V2(0, 0), 2);
  V2 p = c.ExitPointAcross(base::Ray2(V2(0.5f, 0), V2(0, 1)));
  EXPECT_FLOAT_EQ(p.x, 2);
  EXPECT_FLOAT_EQ(p.y, 0);
  p = c.ExitPointAcross(base::Ray2(V2(-0.5f, 0), V2(0, 1)));
  EXPECT_FLOAT_EQ(p.x, -2);
  // Outside, with the perpendicular missing the circle: the origin itself.
  EXPECT_EQ(c.ExitPointAcross(base::Ray2(V2(5, 5), V2(1, 0))), V2(5, 5));
}

base::Polygon2 Poly(std::initializer_list<V2> points) {
  base::Polygon2 p;
  p.points = points;
  return p;
}

TEST(Polygon2, MeasuresAndContainment) {
  const base::Polygon2 square = Poly({V2(0, 0), V2(2, 0), V2(2, 2), V2(0, 2)});
  EXPECT_TRUE(square.Contains(1, 1));
  EXPECT_FALSE(square.Contains(3, 1));
  EXPECT_FALSE(square.Contains(1, -1));
  EXPECT_FALSE(base::Polygon2().Contains(0, 0));
  // A concave outline: the notch is outside.
  const base::Polygon2 u = Poly({V2(0, 0), V2(3, 0), V2(3, 3), V2(2, 3), V2(2, 1), V2(1, 1), V2(1, 3), V2(0, 3)});
  EXPECT_TRUE(u.Contains(0.5f, 2));
  EXPECT_FALSE(u.Contains(1.5f, 2));

  EXPECT_FLOAT_EQ(square.Length(), 6);
  EXPECT_EQ(Poly({V2(1, 1)}).Length(), 0);
  EXPECT_EQ(square.GetCenter(), V2(1, 1));
  EXPECT_EQ(base::Polygon2().GetCenter(), V2());
  EXPECT_EQ(square.GetBounds().max, V2(2, 2));
  EXPECT_EQ(base::Polygon2().GetBounds().min, V2());

  const struct {
    float d;
    V2 expected;
  } walk[] = {{0, V2(0, 0)}, {-1, V2(0, 0)}, {1, V2(1, 0)}, {3, V2(2, 1)}, {6, V2(0, 2)}, {100, V2(0, 2)}};
  for (const auto& w : walk) {
    SCOPED_TRACE(w.d);
    EXPECT_EQ(square.PointAtDistance(w.d), w.expected);
  }
  EXPECT_EQ(Poly({V2(4, 5)}).PointAtDistance(1), V2(4, 5));

  base::Polygon2 moved = square;
  moved.Translate(V2(1, -1));
  EXPECT_EQ(moved.points[2], V2(3, 1));
}

TEST(Polygon2, RoughenInsertsMidpointsAndPushesThemSideways) {
  const base::Polygon2 line = Poly({V2(0, 0), V2(4, 0)});
  base::Polygon2 out;
  line.Roughen(out, 0);
  ASSERT_EQ(out.size(), 3);
  EXPECT_EQ(out.points[1], V2(2, 0));

  base::RandSeed(7);
  line.Roughen(out, 1);
  ASSERT_EQ(out.size(), 3);
  EXPECT_EQ(out.points[0], V2(0, 0));
  EXPECT_EQ(out.points[2], V2(4, 0));
  EXPECT_EQ(out.points[1].x, 2);  // perpendicular to the line only
  EXPECT_NE(out.points[1].y, 0);
  EXPECT_LE(std::fabs(out.points[1].y), 2.0f);  // at most half the neighbourhood's length

  line.Roughen(out, 0);
  const base::Polygon2 longer = Poly({V2(0, 0), V2(4, 0), V2(4, 4)});
  longer.Roughen(out, 0);
  EXPECT_EQ(out.size(), 5);
  Poly({V2(1, 1)}).Roughen(out, 1);
  EXPECT_EQ(out.size(), 1);
}

TEST(Polygon2, SmoothSubdividesAndAverages) {
  const V2 a(0, 0), b(3, 3), c(6, 0);
  const base::Polygon2 p = Poly({a, b, c});
  base::Polygon2 out;
  p.Smooth(out, 1);
  const V2 ab = (a + b) * 0.5f, bc = (b + c) * 0.5f;
  const V2 expected[] = {a, (a + ab + b) / 3.0f, (ab + b + bc) / 3.0f, (b + bc + c) / 3.0f, c};
  ASSERT_EQ(out.size(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_FLOAT_EQ(out.points[static_cast<size_t>(i)].x, expected[i].x) << i;
    EXPECT_FLOAT_EQ(out.points[static_cast<size_t>(i)].y, expected[i].y) << i;
  }
  p.Smooth(out, 3);
  EXPECT_EQ(out.size(), 17);
  EXPECT_EQ(out.points.front(), a);
  EXPECT_EQ(out.points.back(), c);
  base::Polygon2 same = p;
  same.Smooth(same, 2);  // in place
  EXPECT_EQ(same.size(), 9);
  Poly({a, b}).Smooth(out, 4);
  EXPECT_EQ(out.size(), 2);
}

TEST(PolygonRecord, RoundTripAndDamagedCounts) {
  const base::Polygon2 p = Poly({V2(1.5f, -2), V2(3, 4.25f)});
  const std::string bytes = meshtest::WriteToBytes([&](base::File* f) { EXPECT_TRUE(base::WritePolygon2(f, p)); });
  ASSERT_EQ(bytes.size(), 4u + 2 * 8);

  struct Case {
    const char* name;
    std::string bytes;
    bool ok;
    int points;
  };
  auto count = [](int n) { return std::string(reinterpret_cast<const char*>(&n), 4); };
  const Case cases[] = {
      {"written record", bytes, true, 2},
      {"zero points", count(0), true, 0},
      {"negative count", count(-5) + std::string(16, '\0'), true, 0},
      {"count beyond the bytes", count(3) + bytes.substr(4), false, 0},
      {"huge count", count(0x7fffffff), false, 0},
      {"count cut short", std::string("\x01\x00", 2), false, 0},
      {"empty", std::string(), false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::LogCapture log;
    base::File f;
    f.open_memory(c.bytes.data(), static_cast<int>(c.bytes.size()), "track.poly");
    base::Polygon2 q = Poly({V2(9, 9)});
    EXPECT_EQ(base::ReadPolygon2(&f, q), c.ok);
    EXPECT_EQ(q.size(), c.points);
    EXPECT_EQ(f.has_error(), !c.ok);
    if (!c.ok) {
      EXPECT_TRUE(log.contains("ERROR: "));
    }
  }
  base::File f;
  f.open_memory(bytes.data(), static_cast<int>(bytes.size()), "track.poly");
  base::Polygon2 q;
  ASSERT_TRUE(q.Read(&f));
  EXPECT_EQ(q.points, p.points);
}

}  // namespace
