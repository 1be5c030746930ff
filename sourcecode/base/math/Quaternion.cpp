#include "base/math/Quaternion.h"

#include <cmath>
#include <numbers>

namespace base {

// The Hamilton product q·p: applying p's matrix then q's is the matrix of this product.
Quaternion Quaternion::operator*(const Quaternion& q) const {
  const Quaternion& p = *this;
  return {p.x * q.w - q.z * p.y + q.y * p.z + q.x * p.w,
          p.x * q.z + q.w * p.y - p.z * q.x + q.y * p.w,
          q.x * p.y - q.y * p.x + p.z * q.w + q.z * p.w,
          q.w * p.w - (q.y * p.y + q.x * p.x + p.z * q.z)};
}

Quaternion& Quaternion::set_axis_angle(const tVector3<float>& axis, float angle) {
  const float h = angle * -0.5f;
  const float s = -std::sin(h);
  x = axis.x * s;
  y = axis.y * s;
  z = axis.z * s;
  w = std::cos(h);
  return *this;
}

bool Quaternion::get_axis_angle(tVector3<float>& axis, float& angle) const {
  axis = get_v();
  angle = 2.0f * std::acos(w);
  return true;
}

// Works on the transposed (column-vector) matrix and negates the vector part at the end, so
// the result is the inverse of the rotation m performs on row vectors.
Quaternion& Quaternion::set_matrix(const Matrix4& m) {
  auto t = [&m](int r, int c) { return m.m[c * 4 + r]; };
  const float trace = t(0, 0) + t(1, 1) + t(2, 2);
  if (trace > 0.0f) {
    float s = std::sqrt(trace + 1.0f);
    w = s * 0.5f;
    s = 0.5f / s;
    x = (t(2, 1) - t(1, 2)) * s;
    y = (t(0, 2) - t(2, 0)) * s;
    z = (t(1, 0) - t(0, 1)) * s;
  } else {
    int i = 0;
    if (t(1, 1) > t(0, 0)) i = 1;
    if (t(2, 2) > t(i, i)) i = 2;
    const int j = (i + 1) % 3;
    const int k = (j + 1) % 3;
    float s = std::sqrt(t(i, i) - t(j, j) - t(k, k) + 1.0f);
    float q[3];
    q[i] = s * 0.5f;
    s = 0.5f / s;
    w = (t(k, j) - t(j, k)) * s;
    q[j] = (t(j, i) + t(i, j)) * s;
    q[k] = (t(k, i) + t(i, k)) * s;
    x = q[0];
    y = q[1];
    z = q[2];
  }
  x = -x;
  y = -y;
  z = -z;
  return *this;
}

bool Quaternion::is_equal(const Quaternion& q, float tolerance) const {
  bool negated = true, same = true;
  for (int i = 0; i < 4; ++i) {
    if (std::fabs((*this)[i] + q[i]) > tolerance) negated = false;
    if (std::fabs((*this)[i] - q[i]) > tolerance) same = false;
  }
  return negated || same;
}

// Divides by the length. (An older form divided by the squared length, which only agrees for
// unit quaternions and left every other input off the unit sphere.)
Quaternion Quaternion::normal() const {
  const float sq = magnitude();
  if (sq > -1e-5f && sq < 1e-5f) return *this;
  const float len = std::sqrt(sq);
  return {x / len, y / len, z / len, w / len};
}

bool Quaternion::is_unit() const {
  const float e = 0.001f;
  const float sq = magnitude();
  return 1.0f - e < sq && sq < 1.0f + e;
}

Quaternion Quaternion::slerp(const Quaternion& q, float t) const {
  float c = x * q.x + y * q.y + z * q.z + w * q.w;
  Quaternion to = q;
  if (c < 0.0f) {
    to = Quaternion(-q.x, -q.y, -q.z, -q.w);
    c = -c;
  }
  float s0, s1;
  if (1.0 - static_cast<double>(c) <= static_cast<double>(1e-10f)) {
    s0 = 1.0f - t;
    s1 = t;
  } else {
    const float theta = std::acos(c);
    const float st = std::sin(theta);
    s0 = std::sin((1.0f - t) * theta) / st;
    s1 = std::sin(t * theta) / st;
  }
  return *this * s0 + to * s1;
}

Quaternion Quaternion::slerp_not_shortest(const Quaternion& q, float t) const {
  const float c = x * q.x + y * q.y + z * q.z + w * q.w;
  if (1.0f + c > 1e-10f) {
    float s0, s1;
    if (1.0f - c <= 1e-10f) {
      s0 = 1.0f - t;
      s1 = t;
    } else {
      const float theta = std::acos(c);
      const float st = std::sin(theta);
      if (st < 1e-10f) {
        s0 = 1.0f - t;
        s1 = t;
      } else {
        s0 = std::sin((1.0f - t) * theta) / st;
        s1 = std::sin(t * theta) / st;
      }
    }
    return *this * s0 + q * s1;
  }
  // Nearly opposite: turn through a quaternion perpendicular to this one.
  const float half_pi = std::numbers::pi_v<float> / 2.0f;
  const float s0 = std::sin((1.0f - t) * half_pi);
  const float s1 = std::sin(t * half_pi);
  return {x * s0 - y * s1, y * s0 + x * s1, z * s0 - w * s1, w * s0 + z * s1};
}

// For w < 0 the vector part is negated while w keeps its sign; callers only feed it unit
// quaternions on the w >= 0 hemisphere, where this is the plain logarithm.
Quaternion Quaternion::ln() const {
  const Quaternion u = w < 0.0f ? Quaternion(-x, -y, -z, w) : *this;
  const float theta = std::acos(u.w);
  if (theta >= 1e-4f) {
    const float k = theta / std::sin(theta);
    return {u.x * k, u.y * k, u.z * k, 0.0f};
  }
  return {x, y, z, 0.0f};
}

// The angle is the length of the vector part. (An older form used the squared length, which
// only agrees when that length is 0 or 1, so exp(ln(q)) missed q.)
Quaternion Quaternion::exp() const {
  const float theta = std::sqrt(x * x + y * y + z * z);
  const float s = theta <= 1e-4f ? 1.0f : std::sin(theta) / theta;
  return {x * s, y * s, z * s, std::cos(theta)};
}

tVector3<float> Quaternion::rotate(const tVector3<float>& v) const {
  const float x2 = x + x, y2 = y + y, z2 = z + z;
  const float xx = x * x2, yy = y * y2, zz = z * z2;
  const float xy = x * y2, xz = x * z2, yz = y * z2;
  const float wx = w * x2, wy = w * y2, wz = w * z2;
  return {(1.0f - yy - zz) * v.x + (xy - wz) * v.y + (xz + wy) * v.z,
          (xy + wz) * v.x + (1.0f - xx - zz) * v.y + (yz - wx) * v.z,
          (xz - wy) * v.x + (yz + wx) * v.y + (1.0f - xx - yy) * v.z};
}

Quaternion& Quaternion::set_yaw_pitch_roll(const tVector3<float>& ypr) {
  set_axis_angle(tVector3<float>(0.0f, 1.0f, 0.0f), ypr.x);
  *this = Quaternion().set_axis_angle(tVector3<float>(1.0f, 0.0f, 0.0f), ypr.y) * *this;
  *this = Quaternion().set_axis_angle(tVector3<float>(0.0f, 0.0f, 1.0f), ypr.z) * *this;
  return *this;
}

tVector3<float> Quaternion::get_yaw_pitch_roll() const {
  const float yaw = -std::asin(-2.0f * (x * z - w * y));
  const float pitch = -std::atan2(2.0f * (x * w + y * z), w * w - x * x - y * y + z * z);
  const float roll = -std::atan2(2.0f * (x * y + w * z), w * w + x * x - y * y - z * z);
  return {yaw, pitch, roll};
}

Quaternion& Quaternion::set_rotate_xyz(const tVector3<float>& angles) {
  set_axis_angle(tVector3<float>(0.0f, 0.0f, 1.0f), angles.z);
  *this = Quaternion().set_axis_angle(tVector3<float>(0.0f, 1.0f, 0.0f), angles.y) * *this;
  *this = Quaternion().set_axis_angle(tVector3<float>(1.0f, 0.0f, 0.0f), angles.x) * *this;
  return *this;
}

}  // namespace base
