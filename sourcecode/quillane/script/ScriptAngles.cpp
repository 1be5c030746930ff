// Angle conversions of the character script functions.
#include "quillane/script/ScriptAngles.h"

#include "base/math/VectorTools.h"

namespace script_bindings {

namespace {
constexpr float kDegreesToRadians = 0.01745329238474369f;
constexpr float kRadiansToDegrees = 57.295780181884766f;
}  // namespace

float DegreesToRadians(float degrees) { return degrees * kDegreesToRadians; }

float WrapRadians(float radians) {
  base::WrapAngle(radians);
  return radians;
}

float ScriptAngleToYaw(float degrees) { return WrapRadians(DegreesToRadians(degrees)); }

float SignedAngleDelta(const base::tVector2<float>& reference, const base::tVector2<float>& v) {
  return WrapRadians(base::Vec2Angle(v) - base::Vec2Angle(reference));
}

float FloorHeadingDegrees(const base::tVector3<float>& direction) {
  return SignedAngleDelta(base::tVector2<float>(0.0f, -1.0f), base::tVector2<float>(direction.x, direction.z)) *
         kRadiansToDegrees;
}

}  // namespace script_bindings
