// Small vector helpers of the game-wide kind: the engine's 2D turn (which mirrors at angle 0,
// and sprite drawing relies on that), normalising, the signed angle of a 2D heading and linear
// interpolation of points.
#pragma once

#include "base/math/Vector.h"

namespace base {

// (y·sin a − x·cos a, x·sin a + y·cos a): at a = 0 the result is (−x, y).
tVector2<float> RotateVec2(const tVector2<float>& v, float a);
// The vector scaled to length 1; the zero vector stays zero.
tVector2<float> NormalizeVec2(const tVector2<float>& v);
tVector3<float> NormalizeVec3(const tVector3<float>& v);
// acos(v.y / |v|), positive when v.x > 0, negative otherwise; 0 for the zero vector.
float Vec2Angle(const tVector2<float>& v);
// a + (b − a)·f per component.
tVector3<float> LerpVec3(const tVector3<float>& a, const tVector3<float>& b, float f);
// √(x² + y²).
float Vec2Length(const tVector2<float>& v);
// a when b < a, otherwise b.
float MaxFloat(float a, float b);
// Above π: −2π once; then at −π or below: +2π once. (−3π, 3π] lands in (−π, π].
void WrapAngle(float& angle);

}  // namespace base
