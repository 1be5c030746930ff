#include "quillane/screen/ScreenLayout.h"

#include <cmath>
#include <numbers>

#include "base/system.h"

namespace {

struct st_Window {
  double w, h;
};

// The window size. A window not yet made (-1) or collapsed lays out as the reference screen, so
// tools and tests without a window get the game's own layout, never a zero scale to divide by.
st_Window Window() {
  const int w = base::sys::GetWindowWidth(), h = base::sys::GetWindowHeight();
  if (w <= 0 || h <= 0) return {kReferenceScreenWidth, kReferenceScreenHeight};
  return {static_cast<double>(w), static_cast<double>(h)};
}

bool SameAspect(double a) { return std::fabs(kReferenceAspect - a) < kAspectTolerance; }

}  // namespace

base::tVector2<float> GetReferenceScreenSize() { return {kReferenceScreenWidth, kReferenceScreenHeight}; }

bool IsWideAspect() {
  const st_Window win = Window();
  const double a = win.w / win.h;
  return SameAspect(a) || a > kReferenceAspect;
}

bool IsWideScreen() {
  const st_Window win = Window();
  return win.w / win.h > 4.0 / 3.0;
}

base::tRectf GetGameViewportRect() {
  const st_Window win = Window();
  const double a = win.w / win.h;
  if (SameAspect(a)) return base::tRectf(0.0f, 0.0f, static_cast<float>(win.w), static_cast<float>(win.h));
  if (a < kReferenceAspect) {
    const double height = win.w / kReferenceAspect;
    const double y = (win.h - height) * 0.5;
    return base::tRectf(0.0f, static_cast<float>(y), static_cast<float>(win.w), static_cast<float>(y + height));
  }
  const double width = win.h * kReferenceAspect;
  const double x = (win.w - width) * 0.5;
  return base::tRectf(static_cast<float>(x), 0.0f, static_cast<float>(x + width), static_cast<float>(win.h));
}

float GetGuiScale() {
  const base::tRectf v = GetGameViewportRect();
  return (v.max.x - v.min.x) * 0.0009765625f;
}

base::tRectf GetInterfaceBarRect() {
  base::tRectf bar = GetGameViewportRect();
  const float h = static_cast<float>(Window().h);
  // A window too low for the band under the picture (a 4:3 one narrower than 1280: 1024 × 768,
  // 800 × 600) keeps it at its bottom: below the picture it would leave the window, and its
  // buttons with it.
  if (IsWideAspect() || bar.max.y + kInterfaceBarHeight > h) {
    bar.min.y = h - kInterfaceBarHeight;
    bar.max.y = h;
  } else {
    bar.min.y = bar.max.y;
    bar.max.y = bar.min.y + kInterfaceBarHeight;
  }
  return bar;
}

base::tRectf MakeRect(const base::tVector2<float>& p0, const base::tVector2<float>& p1) { return {p0, p1}; }

base::tVector2<float> RectCenter(const base::tRectf& r) {
  return {(r.min.x + r.max.x) * 0.5f, (r.min.y + r.max.y) * 0.5f};
}

float ClampFloat(float v, float lo, float hi) {
  if (v < lo) return lo;
  if (v > hi) return hi;
  return v;
}

float MinFloat(float a, float b) { return b < a ? b : a; }

float AbsFloat(float v) { return std::fabs(v); }

float ApproachFloat(float target, float value, float step) {
  if (!(step > 0.0f)) return value;
  if (value < target) return value + step >= target ? target : value + step;
  if (value > target) return value - step <= target ? target : value - step;
  return value;
}

float SinToUnit(float t) {
  const float c = ClampFloat(t, 0.0f, 1.0f);
  return std::sin((c - 0.5f) * std::numbers::pi_v<float>) * 0.5f + 0.5f;
}
