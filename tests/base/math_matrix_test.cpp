#include "base/math/Matrix4.h"
#include "base/math/Quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using base::Matrix4;
using V3 = base::tVector3<float>;

void ExpectNear(const Matrix4& a, const Matrix4& b, float tol, const char* what) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << what << " element " << i;
}

void ExpectNear(const V3& a, const V3& b, float tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

Matrix4 Elements(std::initializer_list<std::pair<int, float>> set) {
  Matrix4 r;
  for (float& e : r.m) e = 0.0f;
  for (auto [i, v] : set) r.m[i] = v;
  return r;
}

TEST(Matrix4Builders, ProjectionElements) {
  const float pi = 3.14159265f;
  struct Case {
    const char* name;
    Matrix4 got, want;
  } cases[] = {
      {"OrthoRH", base::MatrixOrthoRH(-4, 4, -3, 3, 1, 11),
       Elements({{0, 0.25f}, {5, 1.0f / 3}, {10, -0.1f}, {14, -0.1f}, {15, 1}})},
      // Offsets of the extents do not move the centre.
      {"OrthoLH", base::MatrixOrthoLH(10, 18, 5, 11, 1, 11),
       Elements({{0, 0.25f}, {5, 1.0f / 3}, {10, 0.1f}, {14, -0.1f}, {15, 1}})},
      {"PerspectiveRH", base::MatrixPerspectiveRH(2, 1, 1, 101),
       Elements({{0, 1}, {5, 2}, {10, -1.01f}, {11, -1}, {14, -1.01f}})},
      {"PerspectiveFovRH", base::MatrixPerspectiveFovRH(pi / 2, 1, 1, 100),
       Elements({{0, 1}, {5, 1}, {10, -100.0f / 99}, {11, -1}, {14, -100.0f / 99}})},
      {"PerspectiveFovLH", base::MatrixPerspectiveFovLH(pi / 3, 2, 1, 100),
       Elements({{0, 0.5f * std::sqrt(3.0f)}, {5, std::sqrt(3.0f)}, {10, 100.0f / 99}, {11, 1}, {14, -100.0f / 99}})},
  };
  for (const Case& c : cases) ExpectNear(c.got, c.want, 1e-6f, c.name);
  // The field-of-view builder hits exact values at 90 degrees.
  const Matrix4 fov = base::MatrixPerspectiveFovRH(pi / 2, 1, 1, 100);
  EXPECT_EQ(fov.m[0], 1.0f);
  EXPECT_EQ(fov.m[5], 1.0f);
  EXPECT_EQ(fov.m[15], 0.0f);
}

TEST(Matrix4Builders, ProjectionsMapNearAndFarPlanesToDepthZeroAndOne) {
  const float zn = 2, zf = 50;
  // Right-handed cameras look down −z, left-handed ones down +z.
  struct Case {
    Matrix4 m;
    float sign;
  } cases[] = {{base::MatrixOrthoRH(-1, 1, -1, 1, zn, zf), -1},
               {base::MatrixOrthoLH(-1, 1, -1, 1, zn, zf), 1},
               {base::MatrixPerspectiveRH(1, 1, zn, zf), -1},
               {base::MatrixPerspectiveFovRH(1.0f, 1.5f, zn, zf), -1},
               {base::MatrixPerspectiveFovLH(1.0f, 1.5f, zn, zf), 1}};
  for (const Case& c : cases) {
    EXPECT_NEAR((c.m * V3(0, 0, c.sign * zn)).z, 0.0f, 1e-6f);
    EXPECT_NEAR((c.m * V3(0, 0, c.sign * zf)).z, 1.0f, 1e-5f);
  }
}

TEST(Matrix4Builders, ViewMatricesPutTheEyeAtTheOriginLookingAlongTheirAxis) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> d(-10, 10);
  for (int n = 0; n < 50; ++n) {
    const V3 eye(d(rng), d(rng), d(rng)), at(d(rng), d(rng), d(rng)), up(0, 1, 0);
    const float dist = (at - eye).length();
    const Matrix4 rh = base::MatrixLookAtRH(eye, at, up);
    const Matrix4 lh = base::MatrixLookAtLH(eye, at, up);
    ExpectNear(rh * eye, V3(0, 0, 0), 1e-4f);
    ExpectNear(rh * at, V3(0, 0, -dist), 1e-4f);
    ExpectNear(lh * at, V3(0, 0, dist), 1e-4f);
    // The rotation part is orthonormal.
    const Matrix4 r = rh * rh.transpose();
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(r(i, j), i == j ? 1.0f : 0.0f, 1e-5f);
    ExpectNear(base::MatrixLookRH(eye, at - eye, up), rh, 1e-5f, "LookRH");
    ExpectNear(base::MatrixLookLH(eye, at - eye, up), lh, 1e-5f, "LookLH");
  }
  // The plain case, pinned: a camera at z = 5 looking at the origin is a shift by −5.
  ExpectNear(base::MatrixLookAtRH(V3(0, 0, 5), V3(0, 0, 0), V3(0, 1, 0)), Matrix4().translation(0, 0, -5), 0,
             "LookAtRH");
}

TEST(Matrix4Builders, UpParallelToViewGivesZeroSideAxes) {
  const Matrix4 m = base::MatrixLookAtRH(V3(0, 5, 0), V3(0, 0, 0), V3(0, 1, 0));
  for (int i : {0, 4, 8, 1, 5, 9}) EXPECT_EQ(m.m[i], 0.0f) << i;
  EXPECT_EQ(m.m[6], 1.0f);
  EXPECT_EQ(m.m[14], -5.0f);
}

TEST(Matrix4Product, LeftOperandAppliesFirst) {
  const Matrix4 a = Matrix4().rotation(V3(0, 0, 1), 3.14159265f / 2);  // (1, 0, 0) → (0, 1, 0)
  const Matrix4 b = Matrix4().translation(10, 0, 0);
  ExpectNear((a * b) * V3(1, 0, 0), V3(10, 1, 0), 1e-6f);
  ExpectNear((b * a) * V3(1, 0, 0), V3(0, 11, 0), 1e-5f);
  ExpectNear(Matrix4().translation(1, 2, 3).translate(V3(4, 5, 6)) * V3(0, 0, 0), V3(5, 7, 9), 0);
  ExpectNear(Matrix4().scaling(2, 3, 4) * V3(1, 1, 1), V3(2, 3, 4), 0);
  ExpectNear(Matrix4().translation(1, 0, 0).scale(V3(2, 2, 2)) * V3(1, 0, 0), V3(4, 0, 0), 0);
  // Directions ignore the translation.
  ExpectNear(Matrix4().translation(5, 5, 5).transform_normal(V3(0, 1, 0)), V3(0, 1, 0), 0);
}

TEST(Matrix4Product, RotationMatchesRodriguesFormula) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> d(-1, 1);
  for (int n = 0; n < 50; ++n) {
    double k[3] = {d(rng), d(rng), d(rng)};
    const double len = std::sqrt(k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
    for (double& c : k) c /= len;
    const double angle = 3 * d(rng);
    const double v[3] = {d(rng), d(rng), d(rng)};
    // v cos a + (k × v) sin a + k (k·v)(1 − cos a)
    const double kv = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
    const double cx[3] = {k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2], k[0] * v[1] - k[1] * v[0]};
    double want[3];
    for (int i = 0; i < 3; ++i)
      want[i] = v[i] * std::cos(angle) + cx[i] * std::sin(angle) + k[i] * kv * (1 - std::cos(angle));
    const Matrix4 m = Matrix4().rotation(V3(float(k[0]), float(k[1]), float(k[2])), float(angle));
    ExpectNear(m * V3(float(v[0]), float(v[1]), float(v[2])), V3(float(want[0]), float(want[1]), float(want[2])),
               1e-5f);
  }
}

TEST(Matrix4Inverse, ProductWithInverseIsIdentity) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> d(-2, 2);
  for (int n = 0; n < 200; ++n) {
    Matrix4 m;
    if (n % 2 == 0) {
      // General matrices, kept away from singular by a strong diagonal.
      for (float& e : m.m) e = d(rng);
      for (int i = 0; i < 4; ++i) m(i, i) += 5.0f;
    } else {
      m = Matrix4().scaling(1 + std::fabs(d(rng)), 0.5f, 2) * Matrix4().rotation(V3(d(rng), d(rng), 1), d(rng)) *
          Matrix4().translation(d(rng) * 10, d(rng), d(rng));
    }
    const Matrix4 inv = m.inverse();
    ExpectNear(m * inv, Matrix4(), 2e-5f, "m * inv");
    ExpectNear(inv * m, Matrix4(), 2e-5f, "inv * m");
  }
  // A projection, which is far from affine.
  const Matrix4 p = base::MatrixPerspectiveFovRH(1.0f, 1.3f, 1, 100);
  ExpectNear(p * p.inverse(), Matrix4(), 1e-5f, "projection");
}

TEST(Matrix4Inverse, SingularMatrixComesBackUnchanged) {
  const Matrix4 flat = Matrix4().scaling(0, 1, 1);
  EXPECT_EQ(flat.inverse(), flat);
  Matrix4 rows;  // two equal rows
  rows(1, 0) = 1;
  rows(1, 1) = 0;
  rows(0, 0) = 1;
  EXPECT_EQ(rows.inverse(), rows);
}

TEST(Vectors, NormalLengthAndCross) {
  EXPECT_EQ(V3(0, 0, 0).normal(), V3(0, 0, 0));
  EXPECT_EQ(base::tVector2<float>(0, 0).normal(), base::tVector2<float>(0, 0));
  EXPECT_FLOAT_EQ(V3(3, 0, 4).normal().length(), 1.0f);
  EXPECT_FLOAT_EQ(base::tVector2<int>(3, 4).length(), 5.0f);
  EXPECT_EQ(base::cross(V3(1, 0, 0), V3(0, 1, 0)), V3(0, 0, 1));
  EXPECT_EQ(base::tVector2<float>(1, 0).cross(base::tVector2<float>(0, 1)), 1.0f);
  EXPECT_EQ(2.0f * V3(1, 2, 3) - V3(1, 1, 1) / 1.0f, V3(1, 3, 5));
}

}  // namespace
