#include "base/math/Matrix4.h"

#include "base/math/Quaternion.h"

#include <cmath>

namespace base {

Matrix4& Matrix4::identity() {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
  return *this;
}

Matrix4& Matrix4::scaling(const tVector3<float>& s) {
  identity();
  m[0] = s.x;
  m[5] = s.y;
  m[10] = s.z;
  return *this;
}

Matrix4& Matrix4::set_translation_component(const tVector3<float>& t) {
  m[12] = t.x;
  m[13] = t.y;
  m[14] = t.z;
  return *this;
}

Matrix4& Matrix4::translation(const tVector3<float>& t) {
  identity();
  return set_translation_component(t);
}

Matrix4& Matrix4::rotation(const Quaternion& q) {
  *this = q.get_matrix();
  return *this;
}

Matrix4& Matrix4::rotation(const tVector3<float>& axis, float angle) {
  Quaternion q;
  q.set_axis_angle(axis, angle);
  return rotation(q);
}

// Cofactor expansion over the 2x2 minors of rows 0-1 (s) and rows 2-3 (c): 12 minors instead
// of 16 3x3 determinants.
Matrix4 Matrix4::inverse() const {
  const float* a = m;
  const float s0 = a[0] * a[5] - a[4] * a[1];
  const float s1 = a[0] * a[6] - a[4] * a[2];
  const float s2 = a[0] * a[7] - a[4] * a[3];
  const float s3 = a[1] * a[6] - a[5] * a[2];
  const float s4 = a[1] * a[7] - a[5] * a[3];
  const float s5 = a[2] * a[7] - a[6] * a[3];
  const float c0 = a[8] * a[13] - a[12] * a[9];
  const float c1 = a[8] * a[14] - a[12] * a[10];
  const float c2 = a[8] * a[15] - a[12] * a[11];
  const float c3 = a[9] * a[14] - a[13] * a[10];
  const float c4 = a[9] * a[15] - a[13] * a[11];
  const float c5 = a[10] * a[15] - a[14] * a[11];

  const float det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (std::fabs(det) <= 1e-10f) return *this;
  const float k = 1.0f / det;

  Matrix4 r(Uninitialised);
  float* o = r.m;
  o[0] = (a[5] * c5 - a[6] * c4 + a[7] * c3) * k;
  o[1] = (-a[1] * c5 + a[2] * c4 - a[3] * c3) * k;
  o[2] = (a[13] * s5 - a[14] * s4 + a[15] * s3) * k;
  o[3] = (-a[9] * s5 + a[10] * s4 - a[11] * s3) * k;
  o[4] = (-a[4] * c5 + a[6] * c2 - a[7] * c1) * k;
  o[5] = (a[0] * c5 - a[2] * c2 + a[3] * c1) * k;
  o[6] = (-a[12] * s5 + a[14] * s2 - a[15] * s1) * k;
  o[7] = (a[8] * s5 - a[10] * s2 + a[11] * s1) * k;
  o[8] = (a[4] * c4 - a[5] * c2 + a[7] * c0) * k;
  o[9] = (-a[0] * c4 + a[1] * c2 - a[3] * c0) * k;
  o[10] = (a[12] * s4 - a[13] * s2 + a[15] * s0) * k;
  o[11] = (-a[8] * s4 + a[9] * s2 - a[11] * s0) * k;
  o[12] = (-a[4] * c3 + a[5] * c1 - a[6] * c0) * k;
  o[13] = (a[0] * c3 - a[1] * c1 + a[2] * c0) * k;
  o[14] = (-a[12] * s3 + a[13] * s1 - a[14] * s0) * k;
  o[15] = (a[8] * s3 - a[9] * s1 + a[10] * s0) * k;
  return r;
}

Matrix4 Matrix4::transpose() const {
  Matrix4 r(Uninitialised);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[j * 4 + i] = m[i * 4 + j];
  return r;
}

tVector3<float> Matrix4::operator*(const tVector3<float>& v) const {
  const float w = v.x * m[3] + v.y * m[7] + v.z * m[11] + m[15];
  return {(v.x * m[0] + v.y * m[4] + v.z * m[8] + m[12]) / w,
          (v.x * m[1] + v.y * m[5] + v.z * m[9] + m[13]) / w,
          (v.x * m[2] + v.y * m[6] + v.z * m[10] + m[14]) / w};
}

tVector3<float> Matrix4::transform_normal(const tVector3<float>& v) const {
  return {v.x * m[0] + v.y * m[4] + v.z * m[8],
          v.x * m[1] + v.y * m[5] + v.z * m[9],
          v.x * m[2] + v.y * m[6] + v.z * m[10]};
}

Matrix4& Matrix4::translate(const tVector3<float>& t) { return *this = *this * Matrix4().translation(t); }
Matrix4& Matrix4::scale(const tVector3<float>& s) { return *this = *this * Matrix4().scaling(s); }
Matrix4& Matrix4::rotate(const tVector3<float>& axis, float angle) {
  return *this = *this * Matrix4().rotation(axis, angle);
}
Matrix4& Matrix4::rotate(const Quaternion& q) { return *this = *this * q.get_matrix(); }

bool Matrix4::operator==(const Matrix4& b) const {
  for (int i = 0; i < 16; ++i)
    if (m[i] != b.m[i]) return false;
  return true;
}

// ---- projection builders

namespace {
Matrix4 Zero() {
  Matrix4 r;
  for (float& e : r.m) e = 0.0f;
  return r;
}
}  // namespace

Matrix4 MatrixOrthoRH(float left, float right, float bottom, float top, float zn, float zf) {
  Matrix4 r = Zero();
  r.m[0] = 2.0f / (right - left);
  r.m[5] = 2.0f / (top - bottom);
  r.m[10] = 1.0f / (zn - zf);
  r.m[14] = zn / (zn - zf);
  r.m[15] = 1.0f;
  return r;
}

Matrix4 MatrixOrthoLH(float left, float right, float bottom, float top, float zn, float zf) {
  Matrix4 r = Zero();
  r.m[0] = 2.0f / (right - left);
  r.m[5] = 2.0f / (top - bottom);
  r.m[10] = 1.0f / (zf - zn);
  r.m[14] = zn / (zn - zf);
  r.m[15] = 1.0f;
  return r;
}

Matrix4 MatrixPerspectiveRH(float w, float h, float zn, float zf) {
  Matrix4 r = Zero();
  r.m[0] = 2.0f * zn / w;
  r.m[5] = 2.0f * zn / h;
  r.m[10] = zf / (zn - zf);
  r.m[11] = -1.0f;
  r.m[14] = zn * zf / (zn - zf);
  return r;
}

Matrix4 MatrixPerspectiveFovRH(float fovy, float aspect, float zn, float zf) {
  const float ys = 1.0f / std::tan(fovy * 0.5f);
  Matrix4 r = Zero();
  r.m[0] = ys / aspect;
  r.m[5] = ys;
  r.m[10] = zf / (zn - zf);
  r.m[11] = -1.0f;
  r.m[14] = zn * zf / (zn - zf);
  return r;
}

Matrix4 MatrixPerspectiveFovLH(float fovy, float aspect, float zn, float zf) {
  const float ys = 1.0f / std::tan(fovy * 0.5f);
  Matrix4 r = Zero();
  r.m[0] = ys / aspect;
  r.m[5] = ys;
  r.m[10] = zf / (zf - zn);
  r.m[11] = 1.0f;
  r.m[14] = -zn * zf / (zf - zn);
  return r;
}

// ---- view builders

namespace {
Matrix4 ViewFromZ(const tVector3<float>& eye, const tVector3<float>& z, const tVector3<float>& up) {
  const tVector3<float> x = up.cross(z).normal();
  const tVector3<float> y = z.cross(x);
  Matrix4 r;
  r.m[0] = x.x; r.m[1] = y.x; r.m[2] = z.x; r.m[3] = 0.0f;
  r.m[4] = x.y; r.m[5] = y.y; r.m[6] = z.y; r.m[7] = 0.0f;
  r.m[8] = x.z; r.m[9] = y.z; r.m[10] = z.z; r.m[11] = 0.0f;
  r.m[12] = -x.dot(eye);
  r.m[13] = -y.dot(eye);
  r.m[14] = -z.dot(eye);
  r.m[15] = 1.0f;
  return r;
}
}  // namespace

Matrix4 MatrixLookAtRH(const tVector3<float>& eye, const tVector3<float>& at, const tVector3<float>& up) {
  return ViewFromZ(eye, (eye - at).normal(), up);
}
Matrix4 MatrixLookAtLH(const tVector3<float>& eye, const tVector3<float>& at, const tVector3<float>& up) {
  return ViewFromZ(eye, (at - eye).normal(), up);
}
Matrix4 MatrixLookRH(const tVector3<float>& eye, const tVector3<float>& dir, const tVector3<float>& up) {
  return ViewFromZ(eye, -dir.normal(), up);
}
Matrix4 MatrixLookLH(const tVector3<float>& eye, const tVector3<float>& dir, const tVector3<float>& up) {
  return ViewFromZ(eye, dir.normal(), up);
}

}  // namespace base
