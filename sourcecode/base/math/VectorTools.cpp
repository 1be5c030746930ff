#include "base/math/VectorTools.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace base {

tVector2<float> RotateVec2(const tVector2<float>& v, float a) {
  const float s = std::sin(a), c = std::cos(a);
  return {v.y * s - v.x * c, v.x * s + v.y * c};
}

tVector2<float> NormalizeVec2(const tVector2<float>& v) { return v.normal(); }
tVector3<float> NormalizeVec3(const tVector3<float>& v) { return v.normal(); }

float Vec2Angle(const tVector2<float>& v) {
  const float len = v.length();
  if (!(len > 0.0f)) return 0.0f;
  // Rounding can put the quotient a hair outside [-1, 1], where acos is NaN.
  const float a = std::acos(std::clamp(v.y / len, -1.0f, 1.0f));
  return v.x > 0.0f ? a : -a;
}

tVector3<float> LerpVec3(const tVector3<float>& a, const tVector3<float>& b, float f) { return a + (b - a) * f; }

float Vec2Length(const tVector2<float>& v) { return std::sqrt(v.x * v.x + v.y * v.y); }

float MaxFloat(float a, float b) { return b < a ? a : b; }

void WrapAngle(float& angle) {
  if (angle > std::numbers::pi_v<float>) angle -= 2.0f * std::numbers::pi_v<float>;
  if (angle <= -std::numbers::pi_v<float>) angle += 2.0f * std::numbers::pi_v<float>;
}

}  // namespace base
