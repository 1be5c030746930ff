// Rotations for animation keys, locators and cameras. Same conventions as Matrix4: get_matrix
// is the row-vector rotation matrix, and p * q is the rotation p followed by q, so that
// get_matrix(p * q) == get_matrix(p) · get_matrix(q). Single-precision throughout.
#pragma once

#include "base/math/Matrix4.h"
#include "base/math/Vector.h"

namespace base {

class Quaternion {
 public:
  // Vector part x, y, z, then the scalar part w.
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;

  // The identity (0, 0, 0, 1).
  Quaternion() = default;
  Quaternion(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

  // Component i in the order x, y, z, w; no range check.
  float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
  float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }

  Quaternion& identity() { return *this = Quaternion(); }

  // Exact comparison of all four components.
  bool operator==(const Quaternion& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
  bool operator!=(const Quaternion& q) const { return !(*this == q); }
  // Component-wise sum, difference and scaling of all four components.
  Quaternion operator+(const Quaternion& q) const { return {x + q.x, y + q.y, z + q.z, w + q.w}; }
  Quaternion operator-(const Quaternion& q) const { return {x - q.x, y - q.y, z - q.z, w - q.w}; }
  Quaternion operator*(float s) const { return {x * s, y * s, z * s, w * s}; }
  // The conjugate (−x, −y, −z, w): the inverse rotation of a unit quaternion.
  Quaternion operator-() const { return {-x, -y, -z, w}; }
  // The rotation this followed by q.
  Quaternion operator*(const Quaternion& q) const;

  // (axis · sin(angle/2), cos(angle/2)); the axis is used as given, not normalised.
  Quaternion& set_axis_angle(const tVector3<float>& axis, float angle);
  // axis = (x, y, z) as stored, angle = 2·acos(w); always true.
  bool get_axis_angle(tVector3<float>& axis, float& angle) const;

  // The row-vector rotation matrix.
  Matrix4 get_matrix() const;
  void get_matrix(Matrix4& out) const { out = get_matrix(); }
  // From a rotation matrix; yields the inverse rotation (the conjugate of the quaternion whose
  // get_matrix it is), which turns a view matrix into the camera's orientation.
  Quaternion& set_matrix(const Matrix4& m);

  // Vector part; w is untouched.
  void set_v(const tVector3<float>& v) { x = v.x; y = v.y; z = v.z; }
  tVector3<float> get_v() const { return {x, y, z}; }

  // True when this and q, or this and −q (all four negated, the same rotation), agree per
  // component within tolerance.
  bool is_equal(const Quaternion& q, float tolerance) const;
  // x² + y² + z² + w², the squared length.
  float magnitude() const { return x * x + y * y + z * z + w * w; }
  // This divided by its length; returned unchanged when the squared length is within 1e-5 of 0.
  Quaternion normal() const;
  // True when the squared length lies strictly within 0.001 of 1.
  bool is_unit() const;

  // Spherical interpolation from this (t = 0) to q (t = 1) along the shorter arc.
  Quaternion slerp(const Quaternion& q, float t) const;
  // Spherical interpolation without flipping q to the shorter arc.
  Quaternion slerp_not_shortest(const Quaternion& q, float t) const;
  // Logarithm of a unit quaternion: (v̂ · angle/2, 0).
  Quaternion ln() const;
  // Exponential of a pure quaternion (v, ·): (v̂ · sin|v|, cos|v|).
  Quaternion exp() const;

  // v · get_matrix().
  tVector3<float> rotate(const tVector3<float>& v) const;

  // ypr = (yaw about y, pitch about x, roll about z), radians; as a transform roll first, then
  // pitch, then yaw.
  Quaternion& set_yaw_pitch_roll(const tVector3<float>& ypr);
  Quaternion& set_yaw_pitch_roll(float yaw, float pitch, float roll) {
    return set_yaw_pitch_roll(tVector3<float>(yaw, pitch, roll));
  }
  // The angles of a quaternion made by set_yaw_pitch_roll, each negated.
  tVector3<float> get_yaw_pitch_roll() const;
  // Rotation about x, then y, then z (radians).
  Quaternion& set_rotate_xyz(const tVector3<float>& angles);
  Quaternion& set_rotate_xyz(float ax, float ay, float az) { return set_rotate_xyz(tVector3<float>(ax, ay, az)); }
};

// Inline: poses turn every bone's key into a matrix each frame.
inline Matrix4 Quaternion::get_matrix() const {
  const float x2 = x + x, y2 = y + y, z2 = z + z;
  const float xx = x * x2, yy = y * y2, zz = z * z2;
  const float xy = x * y2, xz = x * z2, yz = y * z2;
  const float wx = w * x2, wy = w * y2, wz = w * z2;
  return Matrix4(1.0f - (yy + zz), xy + wz, xz - wy, 0.0f,
                 xy - wz, 1.0f - (xx + zz), yz + wx, 0.0f,
                 xz + wy, yz - wx, 1.0f - (xx + yy), 0.0f,
                 0.0f, 0.0f, 0.0f, 1.0f);
}

}  // namespace base
