#include "quillane/actor/WalkSpeed.h"

#include <cmath>

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/math/Function2.h"
#include "base/system.h"

namespace quillane {

namespace {

Function2& SpeedCurve() {
  static Function2 curve;
  return curve;
}

Function2& SlidingCurve() {
  static Function2 curve;
  return curve;
}

// An empty curve evaluates to 0, which would stop every walker: neutral instead.
float EvaluateOrNeutral(const Function2& curve, float x) {
  return curve.GetNumPoints() > 0 ? curve.Evaluate(x) : 1.0f;
}

// A factor that is not a number, 0 or negative would stop the walker for ever: the whole curve
// gives way to the neutral factor.
// True when the curve had to go (it was logged then).
bool DropUnusableCurve(Function2& curve, const char* path, const char* label) {
  for (int i = 0; i < curve.GetNumPoints(); ++i) {
    const float y = curve.GetPoint(i).y;
    if (std::isfinite(y) && y > 0.0f) continue;
    base::sys::Output("Warning: %s: %s factor %g is not a positive number; walks use the neutral factor 1.0\n", path,
                      label, static_cast<double>(y));
    curve.Clear();
    return true;
  }
  return false;
}

}  // namespace

void LoadWalkSpeedCurves(const char* path) {
  ClearWalkSpeedCurves();
  // Read once for both curves, and without Function2::Load's own line per missing label.
  base::Variant root;
  bool speedDropped = false, slidingDropped = false;
  if (base::xml::read_file(root, path)) {
    if (base::Variant* c = base::variant_find_element_by_attribute_value(root, "label", "walkspeed"))
      SpeedCurve().ReadPoints(*c);
    if (base::Variant* c = base::variant_find_element_by_attribute_value(root, "label", "walksliding"))
      SlidingCurve().ReadPoints(*c);
    speedDropped = DropUnusableCurve(SpeedCurve(), path, "walkspeed");
    slidingDropped = DropUnusableCurve(SlidingCurve(), path, "walksliding");
  }
  const bool speed = speedDropped || SpeedCurve().GetNumPoints() > 0;
  const bool sliding = slidingDropped || SlidingCurve().GetNumPoints() > 0;
  if (!speed || !sliding)
    base::sys::Output("Warning: %s: no %s curve; walks use the neutral factor 1.0\n", path,
                      !speed && !sliding ? "walkspeed and walksliding" : (!speed ? "walkspeed" : "walksliding"));
}

void ClearWalkSpeedCurves() {
  SpeedCurve().Clear();
  SlidingCurve().Clear();
}

float EvaluateWalkSpeed(float total) { return EvaluateOrNeutral(SpeedCurve(), total); }
float EvaluateWalkSliding(float total) { return EvaluateOrNeutral(SlidingCurve(), total); }

}  // namespace quillane
