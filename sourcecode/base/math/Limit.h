// tLimit<T>: a range given by its minimum and maximum (a rectangle for tVector2, an interval for a
// scalar), with the clamping of a point into it and its widening by a point.
#pragma once

#include "base/math/Vector.h"

namespace base {

namespace detail {
// Minimum first, so for an inverted range (min above max) the minimum wins.
template <class S>
constexpr S clamp_axis(S v, S lo, S hi) {
  if (v <= lo) return lo;
  if (v > hi) return hi;
  return v;
}
template <class S>
constexpr S limit_clamp(S v, S lo, S hi) { return clamp_axis(v, lo, hi); }
template <class S>
constexpr tVector2<S> limit_clamp(const tVector2<S>& p, const tVector2<S>& lo, const tVector2<S>& hi) {
  return {clamp_axis(p.x, lo.x, hi.x), clamp_axis(p.y, lo.y, hi.y)};
}
template <class S>
constexpr tVector3<S> limit_clamp(const tVector3<S>& p, const tVector3<S>& lo, const tVector3<S>& hi) {
  return {clamp_axis(p.x, lo.x, hi.x), clamp_axis(p.y, lo.y, hi.y), clamp_axis(p.z, lo.z, hi.z)};
}
template <class S>
constexpr void limit_extend(S& lo, S& hi, S v) {
  if (v < lo) lo = v;
  if (v > hi) hi = v;
}
template <class S>
constexpr void limit_extend(tVector2<S>& lo, tVector2<S>& hi, const tVector2<S>& p) {
  limit_extend(lo.x, hi.x, p.x);
  limit_extend(lo.y, hi.y, p.y);
}
template <class S>
constexpr void limit_extend(tVector3<S>& lo, tVector3<S>& hi, const tVector3<S>& p) {
  limit_extend(lo.x, hi.x, p.x);
  limit_extend(lo.y, hi.y, p.y);
  limit_extend(lo.z, hi.z, p.z);
}
}  // namespace detail

template <class T>
struct tLimit {
  T min{}, max{};

  constexpr tLimit() = default;
  constexpr tLimit(const T& lo, const T& hi) : min(lo), max(hi) {}
  // A rectangle from its corners (x1, y1) and (x2, y2).
  template <class S>
  constexpr tLimit(S x1, S y1, S x2, S y2) : min(x1, y1), max(x2, y2) {}

  // Per axis: at or below the minimum gives the minimum, above the maximum the maximum.
  constexpr T clamp(const T& p) const { return detail::limit_clamp(p, min, max); }
  // Widens the range so that it holds p.
  constexpr tLimit& extend(const T& p) {
    detail::limit_extend(min, max, p);
    return *this;
  }
  // max - min per axis.
  constexpr T extent() const { return max - min; }
};

using tRectf = tLimit<tVector2<float>>;

}  // namespace base
