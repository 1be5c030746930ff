#include "quillane/minigames/decoder/RotateButton.h"

#include <cmath>
#include <numbers>

#include "base/math/VectorTools.h"

namespace quillane {

void cl_RotateButton::Place(float cx, float cy, float armX, float armY, float radius, float stepCount) {
  m_Center[0] = cx;
  m_Center[1] = cy;
  m_Arm[0] = armX;
  m_Arm[1] = armY;
  m_Radius = radius;
  m_StepCount = stepCount;
  UpdateRect(0.0f, 0.0f);
}

void cl_RotateButton::UpdateRect(float, float) {
  // A button without steps (no wheel) keeps its arm unturned.
  const float angle = m_StepCount != 0.0f ? 2.0f * std::numbers::pi_v<float> * m_Step / m_StepCount : 0.0f;
  const base::tVector2<float> arm = base::RotateVec2(base::tVector2<float>(m_Arm[0], m_Arm[1]), angle);
  m_Position[0] = m_Center[0] + arm.x;
  m_Position[1] = m_Center[1] + arm.y;
}

bool cl_RotateButton::Hits(float x, float y) const {
  const float dx = x - m_Position[0], dy = y - m_Position[1];
  return std::sqrt(dx * dx + dy * dy) < m_Radius;
}

}  // namespace quillane
