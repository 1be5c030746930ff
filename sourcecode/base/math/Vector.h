// 2D and 3D value vectors (tVector2<float>, tVector3<float>, integer variants for pixel sizes).
// Included nearly everywhere, so it pulls in no standard header: the square root is the
// compiler's builtin, which gcc and clang both provide.
#pragma once

namespace base {

namespace detail {
inline float vsqrt(float v) { return __builtin_sqrtf(v); }
inline double vsqrt(double v) { return __builtin_sqrt(v); }
inline long double vsqrt(long double v) { return __builtin_sqrtl(v); }
// Integer vectors measure their length in float.
template <typename T> inline float vsqrt(T v) { return __builtin_sqrtf(static_cast<float>(v)); }
}  // namespace detail

template <typename T>
struct tVector2 {
  T x{}, y{};

  constexpr tVector2() = default;
  constexpr tVector2(T x_, T y_) : x(x_), y(y_) {}
  // Converts between element types (int pixel sizes to float positions and back, truncating).
  template <typename U>
  constexpr explicit tVector2(const tVector2<U>& v) : x(static_cast<T>(v.x)), y(static_cast<T>(v.y)) {}

  // Component i in the order x, y; no range check.
  constexpr T& operator[](int i) { return i == 0 ? x : y; }
  constexpr T operator[](int i) const { return i == 0 ? x : y; }

  constexpr tVector2 operator-() const { return {-x, -y}; }
  constexpr tVector2& operator+=(const tVector2& v) { x += v.x; y += v.y; return *this; }
  constexpr tVector2& operator-=(const tVector2& v) { x -= v.x; y -= v.y; return *this; }
  constexpr tVector2& operator*=(T s) { x *= s; y *= s; return *this; }
  constexpr tVector2& operator/=(T s) { x /= s; y /= s; return *this; }

  friend constexpr tVector2 operator+(tVector2 a, const tVector2& b) { return a += b; }
  friend constexpr tVector2 operator-(tVector2 a, const tVector2& b) { return a -= b; }
  friend constexpr tVector2 operator*(tVector2 a, T s) { return a *= s; }
  friend constexpr tVector2 operator*(T s, tVector2 a) { return a *= s; }
  friend constexpr tVector2 operator/(tVector2 a, T s) { return a /= s; }
  friend constexpr bool operator==(const tVector2& a, const tVector2& b) { return a.x == b.x && a.y == b.y; }
  friend constexpr bool operator!=(const tVector2& a, const tVector2& b) { return !(a == b); }

  // x·v.x + y·v.y.
  constexpr T dot(const tVector2& v) const { return x * v.x + y * v.y; }
  // z of the 3D cross product: positive when v lies counter-clockwise of this.
  constexpr T cross(const tVector2& v) const { return x * v.y - y * v.x; }
  // Squared length (no root).
  constexpr T sqr_length() const { return x * x + y * y; }
  auto length() const { return detail::vsqrt(sqr_length()); }
  // This divided by its length; the zero vector when the length is 0 or less.
  tVector2 normal() const {
    const auto len = length();
    if (!(len > 0)) return tVector2();
    return tVector2(static_cast<T>(x / len), static_cast<T>(y / len));
  }
  // Normalises in place (zero stays zero); returns *this.
  tVector2& normalize() { return *this = normal(); }
};

template <typename T>
struct tVector3 {
  T x{}, y{}, z{};

  constexpr tVector3() = default;
  constexpr tVector3(T x_, T y_, T z_) : x(x_), y(y_), z(z_) {}
  template <typename U>
  constexpr explicit tVector3(const tVector3<U>& v)
      : x(static_cast<T>(v.x)), y(static_cast<T>(v.y)), z(static_cast<T>(v.z)) {}

  // Component i in the order x, y, z; no range check.
  constexpr T& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  constexpr T operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

  constexpr tVector3 operator-() const { return {-x, -y, -z}; }
  constexpr tVector3& operator+=(const tVector3& v) { x += v.x; y += v.y; z += v.z; return *this; }
  constexpr tVector3& operator-=(const tVector3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
  constexpr tVector3& operator*=(T s) { x *= s; y *= s; z *= s; return *this; }
  constexpr tVector3& operator/=(T s) { x /= s; y /= s; z /= s; return *this; }

  friend constexpr tVector3 operator+(tVector3 a, const tVector3& b) { return a += b; }
  friend constexpr tVector3 operator-(tVector3 a, const tVector3& b) { return a -= b; }
  friend constexpr tVector3 operator*(tVector3 a, T s) { return a *= s; }
  friend constexpr tVector3 operator*(T s, tVector3 a) { return a *= s; }
  friend constexpr tVector3 operator/(tVector3 a, T s) { return a /= s; }
  friend constexpr bool operator==(const tVector3& a, const tVector3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
  }
  friend constexpr bool operator!=(const tVector3& a, const tVector3& b) { return !(a == b); }

  constexpr T dot(const tVector3& v) const { return x * v.x + y * v.y + z * v.z; }
  // this × v = (y·v.z − z·v.y, z·v.x − x·v.z, x·v.y − y·v.x).
  constexpr tVector3 cross(const tVector3& v) const {
    return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
  }
  constexpr T sqr_length() const { return x * x + y * y + z * z; }
  auto length() const { return detail::vsqrt(sqr_length()); }
  // This divided by its length; the zero vector when the length is 0 or less.
  tVector3 normal() const {
    const auto len = length();
    if (!(len > 0)) return tVector3();
    return tVector3(static_cast<T>(x / len), static_cast<T>(y / len), static_cast<T>(z / len));
  }
  tVector3& normalize() { return *this = normal(); }
};

template <typename T> constexpr T dot(const tVector2<T>& a, const tVector2<T>& b) { return a.dot(b); }
template <typename T> constexpr T dot(const tVector3<T>& a, const tVector3<T>& b) { return a.dot(b); }
template <typename T> constexpr tVector3<T> cross(const tVector3<T>& a, const tVector3<T>& b) { return a.cross(b); }

using tVector2f = tVector2<float>;
using tVector3f = tVector3<float>;

}  // namespace base
