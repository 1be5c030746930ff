// cl_RotateButton: a round click target of the Decoder game that can ride on a turning knob:
// its position is the centre plus an arm turned by the share step / step count of a full turn.
// It draws nothing (the knob's picture shows the arrows). Main thread only.
#pragma once

#include "base/gui/GUI.h"

namespace quillane {

class cl_RotateButton : public base::cl_Window {
 public:
  cl_RotateButton() = default;
  ~cl_RotateButton() override = default;

  // centre and arm in window pixels; the position follows at once.
  void Place(float cx, float cy, float armX, float armY, float radius, float stepCount);
  void SetStep(float step) { m_Step = step; }
  // position := centre + arm turned by 2π · step / step count (the parent's origin unused).
  void UpdateRect(float px, float py) override;
  void Render(float px, float py) override { UpdateRect(px, py); }
  // Closer to the position than the radius.
  bool Hits(float x, float y) const;

  float m_Step = 0.0f;
  float m_StepCount = 1.0f;
  float m_Arm[2] = {0.0f, 0.0f};
  float m_Position[2] = {0.0f, 0.0f};
  float m_Center[2] = {0.0f, 0.0f};
  float m_Radius = 0.0f;
};

}  // namespace quillane
