// The screen layout the scene reads: the game viewport (the largest 1.6-aspect rectangle centred
// in the window) and the GUI scale. Kept beside the scene until the game-wide screen helpers
// land; they compute the same numbers.
#pragma once

#include "base/math/Vector.h"

namespace quillane {
namespace scenescreen {

struct st_Rect {
  float x0, y0, x1, y1;
};

// The game viewport of the current window; (0, 0, 1024, 640) before a window exists.
st_Rect GameViewportRect();
// Viewport width / 1024.
float GuiScale();
// value moved towards target by at most step, never past it.
float Approach(float target, float value, float step);

}  // namespace scenescreen
}  // namespace quillane
