// Angles between scripts and the world: scripts speak degrees, the world radians. Headings on the
// floor are measured against the reference (0, −1), so "straight in −z" is 0 degrees and the
// turn toward +x is negative.
#pragma once

#include "base/math/Vector.h"

namespace script_bindings {

// Degrees times the float of π/180 the game has always used, so turns land where they did.
float DegreesToRadians(float degrees);
// Into (−π, π]: above π loses 2π, then at −π or below gains 2π.
float WrapRadians(float radians);
// Degrees converted and wrapped.
float ScriptAngleToYaw(float degrees);
// Vec2Angle(v) − Vec2Angle(reference), brought into (−π, π] the same way.
float SignedAngleDelta(const base::tVector2<float>& reference, const base::tVector2<float>& v);
// The heading of a 3D direction's floor part (x, z) against (0, −1), in degrees.
float FloorHeadingDegrees(const base::tVector3<float>& direction);

}  // namespace script_bindings
