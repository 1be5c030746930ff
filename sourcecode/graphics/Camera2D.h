// The 2D scrolling and zooming camera: cl_Locator2D is a point with a heading in a 2D world;
// cl_Camera2D adds a screen viewport, a zoom (screen pixels per world unit) and a boundary the
// view can be kept inside. World and screen axes point the same way (x right, y down); the view
// does not rotate.
#pragma once

#include "base/math/Limit.h"
#include "base/math/Vector.h"

namespace base {

class cl_Locator2D {
 public:
  cl_Locator2D() = default;
  virtual ~cl_Locator2D() = default;
  cl_Locator2D(const cl_Locator2D&) = default;
  cl_Locator2D& operator=(const cl_Locator2D&) = default;

  const tVector2<float>& GetPos() const { return m_position; }
  void SetPos(float x, float y) { m_position = tVector2<float>(x, y); }
  float GetDir() const { return m_direction; }  // radians
  void SetDir(float direction) { m_direction = direction; }
  // (1, 0) turned by the direction with the engine's 2D turn: (−cos dir, sin dir).
  tVector2<float> GetRightDir() const;
  void MoveRight(float d);  // position += d × GetRightDir()
  // The heading as a unit direction: (sin dir, cos dir).
  tVector2<float> GetLookDir() const;
  void MoveForward(float d);  // position += d × GetLookDir(); negative moves back
  void TurnRight(float angle);  // dir += angle, wrapped once into (−π, π]; negative turns left
  // Heading toward point: Vec2Angle of point − position (0 when they coincide).
  void LookAt(const tVector2<float>& point);

 protected:
  tVector2<float> m_position;
  float m_direction = 0.0f;
};

class cl_Camera2D : public cl_Locator2D {
 public:
  using Rect = tLimit<tVector2<float>>;

  // Viewport (0, 0, window width, window height), centre offset (0, 0), zoom 1, empty boundary.
  cl_Camera2D();
  ~cl_Camera2D() override = default;
  cl_Camera2D(const cl_Camera2D&) = default;
  cl_Camera2D& operator=(const cl_Camera2D&) = default;

  void SetZoomFactor(float zoom) { m_zoom = zoom; }
  float GetZoomFactor() const { return m_zoom; }
  void SetViewportRect(const Rect& rect) { m_viewport = rect; }
  const Rect& GetViewportRect() const { return m_viewport; }
  // An offset inside the viewport where the position appears.
  void SetViewportCenter(const tVector2<float>& center) { m_center = center; }
  const tVector2<float>& GetViewportCenter() const { return m_center; }
  // The world rectangle the view is kept inside by ClipAtBoundary (world units).
  void SetBoundary(const Rect& boundary) { m_boundary = boundary; }
  const Rect& GetBoundary() const { return m_boundary; }

  // (x1 + cx + (p.x − pos.x) × zoom, y1 + cy + (p.y − pos.y) × zoom).
  tVector2<float> World2Screen(const tVector2<float>& world) const;
  // The inverse of World2Screen.
  tVector2<float> Screen2World(const tVector2<float>& screen) const;
  // Moves the view by a screen distance: position += delta ÷ zoom.
  void Scroll(const tVector2<float>& delta);
  // Moves the view so that the world point appears at the viewport's middle.
  void CenterOn(const tVector2<float>& world);
  // The largest zoom at which the world rectangle fits the viewport, then centred on it. An axis
  // along which the rectangle has no extent does not limit the zoom; with none, the zoom stays.
  void ZoomOn(const Rect& world);
  // Shifts the view back inside the boundary (with the zoom it had), then raises the zoom until
  // the boundary fills the viewport's width and height. Nothing while the boundary has no width
  // or no height.
  void ClipAtBoundary();

 private:
  Rect m_viewport;
  tVector2<float> m_center;
  float m_zoom = 1.0f;
  Rect m_boundary;
};

}  // namespace base
