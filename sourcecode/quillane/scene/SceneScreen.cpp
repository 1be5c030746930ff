#include "quillane/scene/SceneScreen.h"

#include <cmath>

#include "base/system.h"

namespace quillane {
namespace scenescreen {

st_Rect GameViewportRect() {
  const double w = base::sys::GetWindowWidth(), h = base::sys::GetWindowHeight();
  if (w <= 0.0 || h <= 0.0) return {0.0f, 0.0f, 1024.0f, 640.0f};
  const double aspect = w / h;
  if (std::fabs(aspect - 1.6) < 1e-10) return {0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h)};
  if (aspect > 1.6) {
    const double x0 = (w - 1.6 * h) * 0.5;
    return {static_cast<float>(x0), 0.0f, static_cast<float>(x0 + 1.6 * h), static_cast<float>(h)};
  }
  const double y0 = (h - w / 1.6) * 0.5;
  return {0.0f, static_cast<float>(y0), static_cast<float>(w), static_cast<float>(y0 + w / 1.6)};
}

float GuiScale() {
  const st_Rect r = GameViewportRect();
  return (r.x1 - r.x0) / 1024.0f;
}

float Approach(float target, float value, float step) {
  if (value < target) return value + step >= target ? target : value + step;
  if (value > target) return value - step <= target ? target : value - step;
  return value;
}

}  // namespace scenescreen
}  // namespace quillane
