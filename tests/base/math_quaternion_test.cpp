#include "base/math/Quaternion.h"

#include <gtest/gtest.h>
#include <numbers>

#include <cmath>
#include <random>

namespace {

using base::Matrix4;
using base::Quaternion;
using V3 = base::tVector3<float>;

void ExpectNear(const Quaternion& a, const Quaternion& b, float tol) {
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(a[i], b[i], tol) << "component " << i;
}

void ExpectNear(const Matrix4& a, const Matrix4& b, float tol) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

Quaternion RandomUnit(std::mt19937& rng) {
  std::normal_distribution<float> d;
  return Quaternion(d(rng), d(rng), d(rng), d(rng)).normal();
}

Quaternion AxisAngle(V3 axis, float angle) { return Quaternion().set_axis_angle(axis, angle); }

TEST(Quaternion, ProductMatchesMatrixProduct) {
  std::mt19937 rng(1);
  for (int n = 0; n < 200; ++n) {
    const Quaternion p = RandomUnit(rng), q = RandomUnit(rng);
    ExpectNear((p * q).get_matrix(), p.get_matrix() * q.get_matrix(), 2e-6f);
    const V3 v(1.5f, -2.0f, 0.25f);
    const V3 a = (p * q).rotate(v), b = q.rotate(p.rotate(v));
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
    const V3 c = p.get_matrix() * v;
    EXPECT_NEAR(p.rotate(v).x, c.x, 1e-5f);
    EXPECT_NEAR(p.rotate(v).z, c.z, 1e-5f);
  }
  EXPECT_EQ(Quaternion().get_matrix(), Matrix4());
}

TEST(Quaternion, AxisAngleAndConjugate) {
  ExpectNear(AxisAngle(V3(0, 1, 0), std::numbers::pi_v<float>), Quaternion(0, 1, 0, 0), 1e-7f);
  V3 axis;
  float angle = 0;
  EXPECT_TRUE(AxisAngle(V3(0, 0, 2), 1.0f).get_axis_angle(axis, angle));
  EXPECT_NEAR(angle, 1.0f, 1e-6f);
  EXPECT_NEAR(axis.z, 2 * std::sin(0.5f), 1e-6f);  // the axis stays unnormalised
  EXPECT_EQ(-Quaternion(1, 2, 3, 4), Quaternion(-1, -2, -3, 4));
}

TEST(Quaternion, SetMatrixGivesTheConjugateInEveryBranch) {
  // Positive trace, and half-turns about x, y and z for the three largest-diagonal branches.
  const Quaternion cases[] = {AxisAngle(V3(0.6f, 0, 0.8f), 0.7f), AxisAngle(V3(1, 0, 0), 3.0f),
                              AxisAngle(V3(0, 1, 0), 3.0f), AxisAngle(V3(0, 0, 1), 3.0f),
                              AxisAngle(V3(0.36f, 0.48f, 0.8f), 3.1f)};
  for (const Quaternion& q : cases) {
    Quaternion r;
    r.set_matrix(q.get_matrix());
    EXPECT_TRUE(r.is_equal(-q, 1e-5f)) << r.x << " " << r.y << " " << r.z << " " << r.w;
  }
  std::mt19937 rng(5);
  for (int n = 0; n < 100; ++n) {
    const Quaternion q = RandomUnit(rng);
    Quaternion r;
    r.set_matrix(q.get_matrix());
    EXPECT_TRUE(r.is_equal(-q, 1e-5f));
  }
}

TEST(Quaternion, SlerpEndPointsAndHalfway) {
  const Quaternion a = AxisAngle(V3(0, 0, 1), 0.2f), b = AxisAngle(V3(0, 0, 1), 1.4f);
  ExpectNear(a.slerp(b, 0), a, 1e-6f);
  ExpectNear(a.slerp(b, 1), b, 1e-6f);
  ExpectNear(a.slerp(b, 0.5f), AxisAngle(V3(0, 0, 1), 0.8f), 1e-6f);
  ExpectNear(a.slerp(b, 0.25f), AxisAngle(V3(0, 0, 1), 0.5f), 1e-6f);
  // The far representation of b is flipped to the near one.
  const Quaternion nb = b * -1.0f;
  ExpectNear(a.slerp(nb, 1), b, 1e-6f);
  ExpectNear(a.slerp(nb, 0.5f), AxisAngle(V3(0, 0, 1), 0.8f), 1e-6f);
  for (float t : {0.0f, 0.3f, 1.0f}) ExpectNear(a.slerp(a * -1.0f, t), a, 1e-6f);
  ExpectNear(a.slerp(a, 0.37f), a, 1e-7f);

  // Without the flip the long way round is taken: halfway lies beyond the start.
  ExpectNear(a.slerp_not_shortest(b, 0.5f), AxisAngle(V3(0, 0, 1), 0.8f), 1e-6f);
  ExpectNear(a.slerp_not_shortest(nb, 0), a, 1e-6f);
  ExpectNear(a.slerp_not_shortest(nb, 1), nb, 1e-6f);
  ExpectNear(a.slerp_not_shortest(nb, 0.5f), AxisAngle(V3(0, 0, 1), 0.8f - std::numbers::pi_v<float>), 1e-5f);
  // Exactly opposite: passes through the perpendicular quaternion and stays on the unit sphere.
  const Quaternion id, opp(0, 0, 0, -1);
  ExpectNear(id.slerp_not_shortest(opp, 0), id, 1e-7f);
  ExpectNear(id.slerp_not_shortest(opp, 1), Quaternion(0, 0, -1, 0), 1e-7f);
  EXPECT_NEAR(id.slerp_not_shortest(opp, 0.5f).magnitude(), 1.0f, 1e-6f);
}

TEST(Quaternion, SlerpStaysOnTheArc) {
  std::mt19937 rng(9);
  for (int n = 0; n < 100; ++n) {
    const Quaternion a = RandomUnit(rng), b = RandomUnit(rng);
    const Quaternion h = a.slerp(b, 0.5f);
    EXPECT_NEAR(h.magnitude(), 1.0f, 1e-5f);
    // Halfway is equally far from both ends (measured against the near representation of b).
    const float da = std::fabs(h.x * a.x + h.y * a.y + h.z * a.z + h.w * a.w);
    const float db = std::fabs(h.x * b.x + h.y * b.y + h.z * b.z + h.w * b.w);
    EXPECT_NEAR(da, db, 1e-5f);
  }
}

TEST(Quaternion, NormalDividesByTheLength) {
  EXPECT_EQ(Quaternion(0, 0, 0, 2).normal(), Quaternion(0, 0, 0, 1));
  const Quaternion tiny(0, 0, 0, 1e-3f);
  EXPECT_EQ(tiny.normal(), tiny);
  std::mt19937 rng(2);
  std::uniform_real_distribution<double> d(-3, 3);
  for (int n = 0; n < 100; ++n) {
    const double c[4] = {d(rng), d(rng), d(rng), d(rng)};
    const double len = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2] + c[3] * c[3]);
    const Quaternion q = Quaternion(float(c[0]), float(c[1]), float(c[2]), float(c[3])).normal();
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(q[i], c[i] / len, 1e-6);
    EXPECT_TRUE(q.is_unit());
  }
  const Quaternion unit(0, 0.6f, 0, 0.8f);
  ExpectNear(unit.normal(), unit, 1e-7f);
}

TEST(Quaternion, LnAndExpAreInverseAndMatchTheClosedForm) {
  // ln of a rotation by a about a unit axis is (axis · a/2, 0).
  const Quaternion l = AxisAngle(V3(0, 0.6f, 0.8f), 1.2f).ln();
  ExpectNear(l, Quaternion(0, 0.36f, 0.48f, 0), 1e-6f);

  std::mt19937 rng(4);
  for (int n = 0; n < 100; ++n) {
    Quaternion q = RandomUnit(rng);
    if (q.w < 0) q = q * -1.0f;
    ExpectNear(q.ln().exp(), q, 2e-6f);
  }
  // exp((v, 0)) = (v̂ sin|v|, cos|v|), computed in double; covers lengths below and above 1.
  std::uniform_real_distribution<double> d(-1.5, 1.5);
  for (int n = 0; n < 100; ++n) {
    const double v[3] = {d(rng), d(rng), d(rng)};
    const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    const Quaternion e = Quaternion(float(v[0]), float(v[1]), float(v[2]), 0).exp();
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(e[i], v[i] / len * std::sin(len), 1e-6);
    EXPECT_NEAR(e.w, std::cos(len), 1e-6);
  }
  // A unit vector part: the angle is 1 either way.
  const Quaternion u = Quaternion(0, 0, 1, 0).exp();
  ExpectNear(u, Quaternion(0, 0, std::sin(1.0f), std::cos(1.0f)), 1e-7f);
  ExpectNear(Quaternion(1e-5f, 0, 0, 0).exp(), Quaternion(1e-5f, 0, 0, 1), 1e-7f);
}

TEST(Quaternion, YawPitchRollOrder) {
  const float yaw = 0.7f, pitch = -0.4f, roll = 0.25f;
  const Matrix4 want = Matrix4().rotation(V3(0, 0, 1), roll) * Matrix4().rotation(V3(1, 0, 0), pitch) *
                       Matrix4().rotation(V3(0, 1, 0), yaw);
  ExpectNear(Quaternion().set_yaw_pitch_roll(yaw, pitch, roll).get_matrix(), want, 1e-6f);
  const Matrix4 xyz = Matrix4().rotation(V3(1, 0, 0), yaw) * Matrix4().rotation(V3(0, 1, 0), pitch) *
                      Matrix4().rotation(V3(0, 0, 1), roll);
  ExpectNear(Quaternion().set_rotate_xyz(yaw, pitch, roll).get_matrix(), xyz, 1e-6f);

  // Each single angle comes back negated.
  const V3 angles[] = {V3(1.2f, 0, 0), V3(0, -0.8f, 0), V3(0, 0, 2.5f), V3(-0.3f, 0, 0)};
  for (const V3& a : angles) {
    const V3 r = Quaternion().set_yaw_pitch_roll(a).get_yaw_pitch_roll();
    EXPECT_NEAR(r.x, -a.x, 1e-5f);
    EXPECT_NEAR(r.y, -a.y, 1e-5f);
    EXPECT_NEAR(r.z, -a.z, 1e-5f);
  }
}

TEST(Quaternion, IsEqualAcceptsTheNegatedQuaternion) {
  const Quaternion q(0.5f, 0.5f, 0.5f, 0.5f);
  EXPECT_TRUE(q.is_equal(q * -1.0f, 0));
  EXPECT_TRUE(q.is_equal(Quaternion(0.51f, 0.5f, 0.5f, 0.5f), 0.02f));
  EXPECT_FALSE(q.is_equal(Quaternion(-0.5f, 0.5f, 0.5f, 0.5f), 0.1f));
  EXPECT_TRUE(Quaternion(0, 0, 0.6f, 0.8f).is_unit());
  EXPECT_FALSE(Quaternion(0, 0, 0, 1.1f).is_unit());
}

}  // namespace
