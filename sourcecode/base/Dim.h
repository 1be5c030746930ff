// The engine's dimension types in one include: vectors, the 4x4 transform and quaternions.
// Each is light; include the single header where only one is needed.
#pragma once

#include "base/math/Matrix4.h"
#include "base/math/Quaternion.h"
#include "base/math/Vector.h"
