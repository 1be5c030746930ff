// The Sabotage pump panel: knobs, indicator rows, plates and the reset button.
#include "quillane/minigames/sabotage/SabotagePumps.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "base/app/ICMD.h"
#include "graphics/gfx.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/sabotage/Sabotage.h"
#include "quillane/minigames/sabotage/SabotageGrid.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

constexpr float kBoxWidth = 50.0f, kBoxHeight = 32.0f;
constexpr float kWipeTime = 1.0f;     // a row's colour change, and a plate's slide
constexpr float kSecondClick = 0.5f;  // the indicator's click sounds again after this
constexpr float kKnobPositions[3][2] = {{507.0f, 347.0f}, {658.0f, 450.0f}, {806.0f, 347.0f}};
constexpr float kPlatePositions[cl_SabotagePhase1::kPumps][2] = {{610.0f, 190.0f}, {662.0f, 190.0f}, {720.0f, 190.0f}};
constexpr float kColumnX[cl_SabotagePhase1::kPumps] = {612.0f, 668.0f, 724.0f};
constexpr float kFirstRowY = 197.0f;
constexpr float kOverlayX = 563.0f, kOverlayY = 168.0f;
constexpr int kStartValues[cl_SabotagePhase1::kPumps][cl_SabotagePhase1::kRows] = {{1, 1, 1}, {5, 4, 5}, {2, 4, 5}};
// The rows (0-based) that each knob advances, in this order.
constexpr int kKnobRows[3][2] = {{0, 1}, {1, 2}, {0, 2}};
constexpr int kLastValue = 5;

void PlayClickSound() { PlayGameSound("sfx/MG_Decoder_click.ogg", "DecoderClick", 1.0f); }

}  // namespace

cl_SabotagePhase1::cl_SabotagePhase1() = default;

uint32_t cl_SabotagePhase1::ValueColour(int value) {
  switch (value) {
    case 1: return 0x64FF0000u;
    case 2: return 0x64FFFF00u;
    case 3: return 0x6400FF00u;
    case 4: return 0x64FF00FFu;
    case 5: return 0x6400FFFFu;
    default: return 0xFFFFFFFFu;
  }
}

bool cl_SabotagePhase1::Layout(float scale, cl_SabotagePhase2* grid, cl_Sabotage* game) {
  if (m_LaidOut) return true;
  m_LaidOut = true;
  m_Done = cl_Sabotage::IsFirstSolved();
  m_Grid = grid;
  m_Game = game;
  m_PlateTravel = 105;
  for (int k = 0; k < 3; ++k)
    m_Knobs[k].SetTexture("phase1_knob", kKnobPositions[k][0] * scale, kKnobPositions[k][1] * scale, 0.0f);
  for (int p = 0; p < kPumps; ++p)
    m_Plates[p].SetImage("phase1_slot", kPlatePositions[p][0] * scale, kPlatePositions[p][1] * scale);
  if (!m_Done) SlidePlate(0, static_cast<float>(m_PlateTravel), 1);
  for (int p = 0; p < kPumps; ++p) {
    st_Pump& pump = m_Pumps[p];
    pump.m_BoxWidth = kBoxWidth * scale;
    pump.m_BoxHeight = kBoxHeight * scale;
    const float x = std::trunc(kColumnX[p] * scale);
    for (int k = 0; k < kRows; ++k) {
      const float y = std::trunc((kFirstRowY + kBoxHeight * static_cast<float>(k)) * scale);
      const float xs[3] = {x - pump.m_BoxWidth, x, x + pump.m_BoxWidth};
      for (int b = 0; b < 3; ++b) {
        cl_ActionElement& box = pump.m_Boxes[k][b];
        box.m_X = xs[b], box.m_Y = y;
        box.m_Width = pump.m_BoxWidth, box.m_Height = pump.m_BoxHeight;
        box.m_Colour = 0x00FFFFFFu;  // clear until the first update colours it
      }
      pump.m_Target[k] = kGreen;
    }
    RestoreStartValues(p);
  }
  m_Current = 0;
  return true;
}

void cl_SabotagePhase1::RestoreStartValues(int p) {
  for (int k = 0; k < kRows; ++k) m_Pumps[p].m_Value[k] = kStartValues[p][k];
}

void cl_SabotagePhase1::SlidePlate(int p, float dy, int slot) {
  m_Plates[p].AddTranslation(0.0f, dy, kWipeTime, false);
  char name[48];
  std::snprintf(name, sizeof(name), "MetalplateTranslationSlot%d", slot);
  PlayGameSound("sfx/MG_Sabotage_metalplate.ogg", name, 1.0f);
}

bool cl_SabotagePhase1::IsAnimating() const {
  if (m_Animating || m_ResetButton.IsAnimating()) return true;
  for (int p = 0; p < kPumps; ++p) {
    if (m_Knobs[p].IsAnimating() || m_Plates[p].IsAnimating()) return true;
    for (const auto& row : m_Pumps[p].m_Boxes)
      if (row[0].IsAnimating() || row[1].IsAnimating()) return true;
  }
  return false;
}

// ---- play

void cl_SabotagePhase1::Update(float dt) {
  m_Animating = false;
  for (int p = 0; p < kPumps; ++p) {
    st_Pump& pump = m_Pumps[p];
    m_Animating = m_Knobs[p].Update(dt) || m_Animating;
    m_Animating = m_Plates[p].Update(dt) || m_Animating;
    for (int k = 0; k < kRows; ++k) {
      cl_ActionElement& incoming = pump.m_Boxes[k][0];
      cl_ActionElement& value = pump.m_Boxes[k][1];
      // Both boxes run their steps this frame.
      const bool incomingMoves = incoming.Update(dt);
      const bool moving = value.Update(dt) || incomingMoves;
      m_Animating = m_Animating || moving;
      if (moving) continue;
      value.m_Width = pump.m_BoxWidth, value.m_Height = pump.m_BoxHeight;
      value.m_Colour = ValueColour(pump.m_Value[k]);
      incoming.m_Width = incoming.m_Height = 0.0f;
    }
    if (pump.m_ClickTimer > 0.0f) {
      pump.m_ClickTimer -= dt;
      if (pump.m_ClickTimer < 0.0f) {
        PlayClickSound();
        pump.m_ClickTimer = 0.0f;
      }
    }
  }
  m_Animating = m_ResetButton.Update(dt) || m_Animating;

  // Steps queued from here on count as moving at once, so input is not taken in between.
  if (!m_Animating && m_ResetPending) {
    RestoreStartValues(m_Current);
    SlidePlate(m_Current, static_cast<float>(m_PlateTravel), m_Current + 1);
    m_ResetPending = false;
    m_Animating = true;
  }
  if (m_Done || m_Animating) return;
  const st_Pump& pump = m_Pumps[m_Current];
  for (int k = 0; k < kRows; ++k)
    if (pump.m_Value[k] != pump.m_Target[k]) return;
  m_Animating = true;
  SlidePlate(m_Current, -static_cast<float>(m_PlateTravel), 1);
  if (m_Grid) m_Grid->FillPipe(m_Current, false);
  if (m_Current == kPumps - 1) {
    m_Done = true;
  } else {
    ++m_Current;
    SlidePlate(m_Current, static_cast<float>(m_PlateTravel), 2);
  }
}

void cl_SabotagePhase1::AdvanceRow(int p, int k) {
  st_Pump& pump = m_Pumps[p];
  const int old = pump.m_Value[k];
  pump.m_Value[k] = old >= kLastValue ? 1 : old + 1;
  cl_ActionElement& incoming = pump.m_Boxes[k][0];
  cl_ActionElement& value = pump.m_Boxes[k][1];
  // The old colour covers the value box from its right edge and shrinks away while the new one
  // grows from the left: a wipe.
  incoming.m_Colour = ValueColour(old);
  incoming.m_X = value.m_X + pump.m_BoxWidth;
  incoming.m_Y = value.m_Y;
  incoming.m_Width = -pump.m_BoxWidth;
  incoming.m_Height = pump.m_BoxHeight;
  incoming.AddScale(pump.m_BoxWidth, 0.0f, kWipeTime, false);
  value.m_Colour = ValueColour(pump.m_Value[k]);
  value.m_Width = 0.0f;
  value.AddScale(pump.m_BoxWidth, 0.0f, kWipeTime, false);
  PlayClickSound();
  pump.m_ClickTimer = kSecondClick;
}

bool cl_SabotagePhase1::HandleInput(const base::ICMD& cmd, float originX, float originY, float scale) {
  const float x = static_cast<float>(cmd.mouseX) - originX, y = static_cast<float>(cmd.mouseY) - originY;
  m_Hover = m_ResetButton.HitTest(x, y, scale);
  for (const cl_ActionElement& knob : m_Knobs) m_Hover = m_Hover || knob.HitTest(x, y, scale);
  if (m_Animating || m_Done) return false;
  st_Pump& pump = m_Pumps[m_Current];
  if (cmd.type == base::ICMD::KEY_RELEASED && cmd.key == 'F' && Debug_KeysEnabled)
    for (int k = 0; k < kRows; ++k) pump.m_Value[k] = pump.m_Target[k];
  if (cmd.type != base::ICMD::LEFT_UP) return false;
  if (m_ResetButton.HitTest(x, y, scale)) {
    SlidePlate(m_Current, -static_cast<float>(m_PlateTravel), m_Current + 1);
    m_ResetPending = true;
    m_ResetButton.AddStripRun(false);
    return true;
  }
  for (int k = 0; k < 3; ++k) {
    if (!m_Knobs[k].HitTest(x, y, scale)) continue;
    m_Knobs[k].AddRotation(-std::numbers::pi_v<float> / 2.0f, false);
    PlayGameSound("sfx/MG_Sabotage_click.ogg", "KnobRotation", 0.7f);
    for (int row : kKnobRows[k]) AdvanceRow(m_Current, row);
    return true;
  }
  return false;
}

void cl_SabotagePhase1::Draw(float originX, float originY, float scale) {
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  gfx::SetFilterLinear();
  cl_Sabotage::DrawLabelImage("phase1_bg", originX, originY, scale);
  for (st_Pump& pump : m_Pumps)
    for (auto& row : pump.m_Boxes) {
      row[1].Draw(originX, originY, scale);
      row[0].Draw(originX, originY, scale);
    }
  for (cl_ActionElement& plate : m_Plates) plate.Draw(originX, originY, scale);
  cl_Sabotage::DrawLabelImage("phase1_bg_overlay", originX + kOverlayX * scale, originY + kOverlayY * scale, scale);
  m_ResetButton.Draw(originX, originY, scale);
  for (cl_ActionElement& knob : m_Knobs) knob.Draw(originX, originY, scale);
}

}  // namespace quillane
