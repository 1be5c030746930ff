// Where the game's fixed 16:10 picture sits in a window of any shape: the game viewport, the GUI
// scale that menus multiply their reference coordinates by, and the 80-pixel interface bar. With
// them the small float and rectangle helpers that the game's drawing and fades share.
// Main thread only (the layout reads the window size through base::sys).
#pragma once

#include "base/math/Limit.h"
#include "base/math/Vector.h"

// The picture the game's art is laid out for, and its aspect (width ÷ height).
inline constexpr float kReferenceScreenWidth = 1024.0f;
inline constexpr float kReferenceScreenHeight = 640.0f;
inline constexpr double kReferenceAspect = 1.6;
// Aspects closer than this count as equal.
inline constexpr double kAspectTolerance = 1e-10;
inline constexpr float kInterfaceBarHeight = 80.0f;

// ---- screen layout (window size from base::sys; an empty window gives empty rectangles)
base::tVector2<float> GetReferenceScreenSize();  // (1024, 640)
// True when the window is 16:10 or wider.
bool IsWideAspect();
// True when the window is wider than 4:3.
bool IsWideScreen();
// The largest 16:10 rectangle centred in the window: bars above and below a taller window, left
// and right of a wider one.
base::tRectf GetGameViewportRect();
// The viewport's width ÷ 1024.
float GetGuiScale();
// 80 pixels high, as wide as the viewport: the window's bottom band when the window is wide or
// too low for the band below the viewport, else the band just below the viewport.
base::tRectf GetInterfaceBarRect();

// ---- rectangles and floats
base::tRectf MakeRect(const base::tVector2<float>& p0, const base::tVector2<float>& p1);  // (p0, p1)
base::tVector2<float> RectCenter(const base::tRectf& r);
float ClampFloat(float v, float lo, float hi);  // lo when v < lo, else hi when v > hi, else v
float MinFloat(float a, float b);
float AbsFloat(float v);
// value moved towards target by at most step (a step of 0 or less leaves it), never past it.
float ApproachFloat(float target, float value, float step);
// t clamped to [0, 1], then eased in and out: sin((t − 0.5)·π)·0.5 + 0.5.
float SinToUnit(float t);
