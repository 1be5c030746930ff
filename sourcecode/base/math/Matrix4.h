// The engine's 4x4 float transform in the row-vector convention of the old graphics API:
// v' = v · M, rows 0-2 are the images of the axes, row 3 the translation, and A · B applies A
// first. Builders for projection and view matrices sit beside it.
#pragma once

#include "base/math/Vector.h"

namespace base {

class Quaternion;

class Matrix4 {
 public:
  // Element (row r, column c) is m[r*4 + c].
  float m[16];

  // The identity.
  Matrix4() { identity(); }
  // The 16 elements in row-major order.
  Matrix4(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13,
          float m20, float m21, float m22, float m23, float m30, float m31, float m32, float m33)
      : m{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33} {}

  // Reference to m[row*4 + column]; no range check.
  float& operator()(int row, int column) { return m[row * 4 + column]; }
  float operator()(int row, int column) const { return m[row * 4 + column]; }

  // Sets the identity; returns *this.
  Matrix4& identity();
  // diag(s.x, s.y, s.z, 1), every other element 0.
  Matrix4& scaling(const tVector3<float>& s);
  Matrix4& scaling(float sx, float sy, float sz) { return scaling(tVector3<float>(sx, sy, sz)); }
  // m[12..14] = t; nothing else changes.
  Matrix4& set_translation_component(const tVector3<float>& t);
  // The identity with m[12..14] = t.
  Matrix4& translation(const tVector3<float>& t);
  Matrix4& translation(float tx, float ty, float tz) { return translation(tVector3<float>(tx, ty, tz)); }
  // q's rotation matrix.
  Matrix4& rotation(const Quaternion& q);
  // Rotation by angle (radians) about axis; the axis is used as given, not normalised.
  Matrix4& rotation(const tVector3<float>& axis, float angle);

  // The inverse; a matrix whose |determinant| is at most 1e-10 comes back unchanged.
  Matrix4 inverse() const;
  Matrix4 transpose() const;

  // this · b: as a transform, this first, then b.
  Matrix4 operator*(const Matrix4& b) const;
  // Point transform of the row vector (v, 1), divided by the resulting w.
  tVector3<float> operator*(const tVector3<float>& v) const;
  // Direction transform: the upper 3x3 only, no translation and no division.
  tVector3<float> transform_normal(const tVector3<float>& v) const;

  // this = this · translation(t), scaling(s), rotation(axis, angle) or rotation(q); return *this.
  Matrix4& translate(const tVector3<float>& t);
  Matrix4& scale(const tVector3<float>& s);
  Matrix4& rotate(const tVector3<float>& axis, float angle);
  Matrix4& rotate(const Quaternion& q);

  // Exact comparison of all 16 elements.
  bool operator==(const Matrix4& b) const;
  bool operator!=(const Matrix4& b) const { return !(*this == b); }

 private:
  // Leaves the elements unset, for results that write all 16.
  enum en_Uninitialised { Uninitialised };
  explicit Matrix4(en_Uninitialised) {}
};

// Projection builders with the element formulas of the old graphics API's utility functions
// of the same names; every element not set is 0. The ortho builders are centred (only the
// extents right − left and top − bottom enter).
Matrix4 MatrixOrthoRH(float left, float right, float bottom, float top, float zn, float zf);
Matrix4 MatrixOrthoLH(float left, float right, float bottom, float top, float zn, float zf);
Matrix4 MatrixPerspectiveRH(float w, float h, float zn, float zf);
Matrix4 MatrixPerspectiveFovRH(float fovy, float aspect, float zn, float zf);
Matrix4 MatrixPerspectiveFovLH(float fovy, float aspect, float zn, float zf);

// View matrices: the camera axes as columns, translation -dot(axis, eye). The z axis is
// normal(eye − at), normal(at − eye), −normal(dir) and normal(dir) respectively; an up vector
// parallel to z gives zero x and y axes.
Matrix4 MatrixLookAtRH(const tVector3<float>& eye, const tVector3<float>& at, const tVector3<float>& up);
Matrix4 MatrixLookAtLH(const tVector3<float>& eye, const tVector3<float>& at, const tVector3<float>& up);
Matrix4 MatrixLookRH(const tVector3<float>& eye, const tVector3<float>& dir, const tVector3<float>& up);
Matrix4 MatrixLookLH(const tVector3<float>& eye, const tVector3<float>& dir, const tVector3<float>& up);

// Out-parameter forms for callers written against the graphics API's style.
inline void MatrixPerspectiveFovRH(Matrix4& out, float fovy, float aspect, float zn, float zf) {
  out = MatrixPerspectiveFovRH(fovy, aspect, zn, zf);
}
inline void MatrixPerspectiveFovLH(Matrix4& out, float fovy, float aspect, float zn, float zf) {
  out = MatrixPerspectiveFovLH(fovy, aspect, zn, zf);
}
inline void MatrixLookAtRH(Matrix4& out, const tVector3<float>& eye, const tVector3<float>& at,
                           const tVector3<float>& up) {
  out = MatrixLookAtRH(eye, at, up);
}
inline void MatrixLookRH(Matrix4& out, const tVector3<float>& eye, const tVector3<float>& dir,
                         const tVector3<float>& up) {
  out = MatrixLookRH(eye, dir, up);
}

// Inline: the product is the hot path of skinning and scene transforms. Row i of the result is
// b's rows weighted by row i of this, so each row stays in one vector register.
inline Matrix4 Matrix4::operator*(const Matrix4& b) const {
  Matrix4 r(Uninitialised);
  for (int i = 0; i < 4; ++i) {
    const float a0 = m[i * 4], a1 = m[i * 4 + 1], a2 = m[i * 4 + 2], a3 = m[i * 4 + 3];
    for (int j = 0; j < 4; ++j) r.m[i * 4 + j] = a0 * b.m[j] + a1 * b.m[4 + j] + a2 * b.m[8 + j] + a3 * b.m[12 + j];
  }
  return r;
}

}  // namespace base
