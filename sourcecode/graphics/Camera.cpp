#include "graphics/Camera.h"

#include "base/app/KeyCode.h"
#include "base/math/VectorTools.h"
#include "base/system.h"

namespace base {

namespace {

Quaternion AxisAngle(const tVector3<float>& axis, float angle) {
  Quaternion q;
  q.set_axis_angle(axis, angle);
  return q;
}

}  // namespace

// ---- Locator

Matrix4 cl_Locator::GetOrientationMatrix() const {
  return m_orientation.get_matrix() * Matrix4().translation(m_position);
}

Matrix4 cl_Locator::GetViewMatrix() const {
  return MatrixLookRH(m_position, m_orientation.rotate({0.0f, 0.0f, -1.0f}), m_orientation.rotate({0.0f, 1.0f, 0.0f}));
}

void cl_Locator::LookAt(const tVector3<float>& target, const tVector3<float>& up) {
  m_orientation.set_matrix(MatrixLookAtRH(m_position, target, up));
}

void cl_Locator::TurnRight(float angle) { m_orientation = AxisAngle({0.0f, 1.0f, 0.0f}, -angle) * m_orientation; }
void cl_Locator::TurnUp(float angle) { m_orientation = AxisAngle({1.0f, 0.0f, 0.0f}, angle) * m_orientation; }
void cl_Locator::TiltClockwise(float angle) { m_orientation = AxisAngle({0.0f, 0.0f, -1.0f}, angle) * m_orientation; }

tVector3<float> cl_Locator::GetLookDir() const {
  const Matrix4 v = GetViewMatrix();
  return {-v(0, 2), -v(1, 2), -v(2, 2)};
}

tVector3<float> cl_Locator::GetUpDir() const {
  const Matrix4 v = GetViewMatrix();
  return {v(0, 1), v(1, 1), v(2, 1)};
}

tVector3<float> cl_Locator::GetRightDir() const {
  const Matrix4 v = GetViewMatrix();
  return {v(0, 0), v(1, 0), v(2, 0)};
}

void cl_Locator::MoveForward(float d) { m_position += GetLookDir() * d; }
void cl_Locator::MoveUp(float d) { m_position += GetUpDir() * d; }
void cl_Locator::MoveRight(float d) { m_position += GetRightDir() * d; }

float cl_Locator::GetYawAngle() const {
  const Matrix4 v = GetViewMatrix();
  return Vec2Angle({v(0, 2), v(2, 2)});
}

void cl_Locator::ProcessFlyKeys(cl_Locator& locator, float timeStep) {
  const bool fast = sys::KeyState(key::LeftShift) || sys::KeyState(key::RightShift);
  const float step = fast && timeStep != 0.0f ? 4.0f : 1.0f;
  if (sys::KeyState('W')) locator.MoveForward(step);
  if (sys::KeyState('S')) locator.MoveForward(-step);
  if (sys::KeyState('D')) locator.MoveRight(step);
  if (sys::KeyState('A')) locator.MoveRight(-step);
  if (sys::KeyState('Q')) locator.MoveUp(step);
  if (sys::KeyState('Y')) locator.MoveUp(-step);
}

// ---- Camera

cl_Camera::cl_Camera() {
  const float width = static_cast<float>(sys::GetWindowWidth()), height = static_cast<float>(sys::GetWindowHeight());
  m_x1 = 0.0f, m_y1 = 0.0f, m_x2 = width, m_y2 = height;
  m_aspect = height > 0.0f ? width / height : 1.0f;
}

void cl_Camera::SetViewportRect(float x1, float y1, float x2, float y2) {
  m_x1 = x1, m_y1 = y1, m_x2 = x2, m_y2 = y2;
  m_centerX = (x1 + x2) / 2.0f;
  m_centerY = (y1 + y2) / 2.0f;
  m_aspect = (x2 - x1) / (y2 - y1);
}

void cl_Camera::GetViewportRect(float& x1, float& y1, float& x2, float& y2) const {
  x1 = m_x1, y1 = m_y1, x2 = m_x2, y2 = m_y2;
}

void cl_Camera::_CalcProjection() {
  const float w2 = (m_x2 - m_x1) / 2.0f, h2 = (m_y2 - m_y1) / 2.0f;
  const float dx = m_centerX - (m_x1 + w2), dy = m_centerY - (m_y1 + h2);
  const Matrix4 s = Matrix4().scaling(m_zoom, m_zoom, 1.0f);
  const Matrix4 p = MatrixPerspectiveFovRH(m_fov, m_aspect, m_near, m_far);
  // Screen y grows downward, clip y upward: hence the minus.
  const Matrix4 t = Matrix4().translation(dx / w2, -dy / h2, 0.0f);
  m_projection = s * p * t;
}

const Matrix4& cl_Camera::GetProjectionMatrix() {
  _CalcProjection();
  return m_projection;
}

tVector3<float> cl_Camera::World2Screen(const tVector3<float>& point) const {
  const float w2 = (m_x2 - m_x1) / 2.0f, h2 = (m_y2 - m_y1) / 2.0f;
  const tVector3<float> q = m_projection * (GetViewMatrix() * point);
  return {m_x1 + w2 + w2 * q.x, m_y1 + h2 - h2 * q.y, q.z};
}

float cl_Camera::GetZDistance(const tVector3<float>& point) const { return (GetViewMatrix() * point).z; }

void cl_Camera::GetPickRay(const tVector2<float>& screen, tVector3<float>& origin, tVector3<float>& direction) const {
  const float w2 = (m_x2 - m_x1) / 2.0f, h2 = (m_y2 - m_y1) / 2.0f;
  const float a = -((screen.x - m_centerX) / w2 / m_projection(0, 0));
  const float b = (screen.y - m_centerY) / h2 / m_projection(1, 1);
  const tVector3<float> v = tVector3<float>(a, b, 1.0f).normal();
  const Matrix4 inv = GetViewMatrix().inverse();
  const tVector3<float> d = tVector3<float>(inv(0, 0), inv(0, 1), inv(0, 2)) * v.x +
                            tVector3<float>(inv(1, 0), inv(1, 1), inv(1, 2)) * v.y +
                            tVector3<float>(inv(2, 0), inv(2, 1), inv(2, 2)) * v.z;
  direction = -d.normal();
  origin = tVector3<float>(inv(3, 0), inv(3, 1), inv(3, 2)) + direction * m_near;
}

}  // namespace base
