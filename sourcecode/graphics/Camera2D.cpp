// The 2D locator and the scrolling camera.
#include "graphics/Camera2D.h"

#include <cmath>

#include "base/math/VectorTools.h"
#include "base/system.h"

namespace base {

// ---- cl_Locator2D

tVector2<float> cl_Locator2D::GetRightDir() const { return RotateVec2(tVector2<float>(1.0f, 0.0f), m_direction); }

void cl_Locator2D::MoveRight(float d) { m_position += GetRightDir() * d; }

tVector2<float> cl_Locator2D::GetLookDir() const { return {std::sin(m_direction), std::cos(m_direction)}; }

void cl_Locator2D::MoveForward(float d) { m_position += GetLookDir() * d; }

void cl_Locator2D::TurnRight(float angle) {
  m_direction += angle;
  WrapAngle(m_direction);
}

void cl_Locator2D::LookAt(const tVector2<float>& point) { m_direction = Vec2Angle(point - m_position); }

// ---- cl_Camera2D

cl_Camera2D::cl_Camera2D()
    : m_viewport(0.0f, 0.0f, static_cast<float>(sys::GetWindowWidth()), static_cast<float>(sys::GetWindowHeight())) {}

tVector2<float> cl_Camera2D::World2Screen(const tVector2<float>& world) const {
  return m_viewport.min + m_center + (world - m_position) * m_zoom;
}

tVector2<float> cl_Camera2D::Screen2World(const tVector2<float>& screen) const {
  return m_position + (screen - m_viewport.min - m_center) / m_zoom;
}

void cl_Camera2D::Scroll(const tVector2<float>& delta) { m_position += delta / m_zoom; }

void cl_Camera2D::CenterOn(const tVector2<float>& world) {
  // The middle measured from the viewport's own corner, so that a viewport that does not start
  // at the screen's corner still shows the point in its middle.
  const tVector2<float> half = (m_viewport.max - m_viewport.min) * 0.5f;
  m_position = world - (half - m_center) / m_zoom;
}

void cl_Camera2D::ZoomOn(const Rect& world) {
  const tVector2<float> view = m_viewport.max - m_viewport.min;
  const tVector2<float> size = world.max - world.min;
  // A rectangle without width or height would ask for an endless zoom.
  float zoom = 0.0f;
  if (size.x > 0.0f) zoom = view.x / size.x;
  if (size.y > 0.0f && (zoom == 0.0f || view.y / size.y < zoom)) zoom = view.y / size.y;
  if (zoom > 0.0f && std::isfinite(zoom)) m_zoom = zoom;
  CenterOn((world.min + world.max) * 0.5f);
}

void cl_Camera2D::ClipAtBoundary() {
  const Rect& b = m_boundary;
  // The default boundary is empty; clipping against it would divide by zero.
  if (!(b.max.x > b.min.x) || !(b.max.y > b.min.y)) return;
  const tVector2<float> topLeft = Screen2World(m_viewport.min);
  const tVector2<float> bottomRight = Screen2World(m_viewport.max);
  if (b.min.x > topLeft.x) m_position.x += b.min.x - topLeft.x;
  if (b.min.y > topLeft.y) m_position.y += b.min.y - topLeft.y;
  if (b.max.x < bottomRight.x) m_position.x -= bottomRight.x - b.max.x;
  if (b.max.y < bottomRight.y) m_position.y -= bottomRight.y - b.max.y;
  const float width = m_viewport.max.x - m_viewport.min.x;
  const float height = m_viewport.max.y - m_viewport.min.y;
  if (width > (b.max.x - b.min.x) * m_zoom) m_zoom = width / (b.max.x - b.min.x);
  if (height > (b.max.y - b.min.y) * m_zoom) m_zoom = height / (b.max.y - b.min.y);
}

}  // namespace base
