// Position and orientation in the engine's right-handed world (cl_Locator: looks along −z with
// +y up in its own frame; moves and turns in it) and the perspective camera over a screen
// rectangle (cl_Camera: zoom and a movable projection centre; world points to screen pixels and
// pick rays back). Matrices are row-vector base::Matrix4s.
#pragma once

#include "base/math/Matrix4.h"
#include "base/math/Quaternion.h"
#include "base/math/Vector.h"

namespace base {

class cl_Locator {
 public:
  cl_Locator() = default;
  virtual ~cl_Locator() = default;
  cl_Locator(const cl_Locator&) = default;
  cl_Locator& operator=(const cl_Locator&) = default;

  // Rotation of the orientation, then translation to the position.
  Matrix4 GetOrientationMatrix() const;
  // Looking from the position along the orientation's −z with its +y up.
  Matrix4 GetViewMatrix() const;
  // Orientation toward target with the given up direction.
  void LookAt(const tVector3<float>& target, const tVector3<float>& up);
  void TurnRight(float angle);      // radians, about the world's y axis
  void TurnUp(float angle);         // about the world's x axis
  void TiltClockwise(float angle);  // about −z
  tVector3<float> GetLookDir() const;
  tVector3<float> GetUpDir() const;
  tVector3<float> GetRightDir() const;
  void MoveForward(float d);
  void MoveUp(float d);
  void MoveRight(float d);
  // The heading about y of the look direction (Vec2Angle of (−look.x, −look.z)).
  float GetYawAngle() const;
  // Keyboard flight of the editor's locator tool: W/S forward, D/A right, Q/Y up; steps of 4
  // while either Shift key is held, else 1 (not scaled by time).
  static void ProcessFlyKeys(cl_Locator& locator, float timeStep);

  const tVector3<float>& GetPos() const { return m_position; }
  void SetPos(const tVector3<float>& position) { m_position = position; }
  const Quaternion& GetOrientation() const { return m_orientation; }
  void SetOrientation(const Quaternion& orientation) { m_orientation = orientation; }

 protected:
  Quaternion m_orientation;  // (0, 0, 0, 1)
  tVector3<float> m_position;
};

class cl_Camera : public cl_Locator {
 public:
  // Rectangle (0, 0, window width, window height), projection centre (0, 0): callers set the
  // rectangle (which centres the projection) before use.
  cl_Camera();
  ~cl_Camera() override = default;
  cl_Camera(const cl_Camera&) = default;
  cl_Camera& operator=(const cl_Camera&) = default;

  // Stores the rectangle, centres the projection on it and takes its aspect.
  void SetViewportRect(float x1, float y1, float x2, float y2);
  void GetViewportRect(float& x1, float& y1, float& x2, float& y2) const;
  void SetViewportCenter(float cx, float cy) { m_centerX = cx, m_centerY = cy; }
  void GetViewportCenter(float& cx, float& cy) const { cx = m_centerX, cy = m_centerY; }
  void SetClippingRange(float zNear, float zFar) { m_near = zNear, m_far = zFar; }
  void GetClippingRange(float& zNear, float& zFar) const { zNear = m_near, zFar = m_far; }
  void SetFieldOfView(float radians) { m_fov = radians; }
  float GetFieldOfView() const { return m_fov; }
  void SetAspect(float aspect) { m_aspect = aspect; }
  float GetAspect() const { return m_aspect; }
  void SetZoom(float zoom) { m_zoom = zoom; }
  float GetZoom() const { return m_zoom; }

  // Recomputed on every call.
  const Matrix4& GetProjectionMatrix();
  // (screen x, screen y, depth) of a world point, with the projection as last computed.
  tVector3<float> World2Screen(const tVector3<float>& point) const;
  // z of the point in view space: negative in front of the camera.
  float GetZDistance(const tVector3<float>& point) const;
  // The ray through a screen pixel: starts on the near plane, points into the scene.
  void GetPickRay(const tVector2<float>& screen, tVector3<float>& origin, tVector3<float>& direction) const;

  // Zoom, projection and a shift so the view axis lands on the projection centre.
  void _CalcProjection();

 private:
  float m_x1, m_y1, m_x2, m_y2;  // the screen rectangle in pixels
  float m_centerX = 0.0f, m_centerY = 0.0f;
  float m_near = 50.0f;
  float m_far = 12000.0f;
  float m_fov = 0.7853982f;  // vertical, radians
  float m_aspect;
  float m_zoom = 1.0f;
  Matrix4 m_projection;
};

}  // namespace base
