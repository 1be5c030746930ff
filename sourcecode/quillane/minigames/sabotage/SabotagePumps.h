// cl_SabotagePhase1: the Sabotage game's pump panel, the bottom-left quarter. Three pumps are set
// one after the other: each has three indicator rows of five colours, and each click on one of
// the three knobs advances two rows of the pump being worked on. A pump is set when all rows show
// green; its metal plate then closes, its gas reaches the grid's pipe, and the next pump's plate
// opens. The reset button restores the current pump's start colours. Owned and driven by
// cl_Sabotage. Main thread only.
#pragma once

#include "quillane/minigames/sabotage/ActionElement.h"

namespace base {
struct ICMD;
}

namespace quillane {

class cl_Sabotage;
class cl_SabotagePhase2;

class cl_SabotagePhase1 {
 public:
  static constexpr int kPumps = 3;
  static constexpr int kRows = 3;
  static constexpr int kGreen = 3;  // the colour every row must show

  // One pump: what its rows must show and show now, and per row the incoming box (left, the old
  // colour wiping out), the value box (centre) and a right box that is laid out only.
  struct st_Pump {
    int m_Target[kRows] = {kGreen, kGreen, kGreen};
    int m_Value[kRows] = {1, 1, 1};
    cl_ActionElement m_Boxes[kRows][3];
    float m_BoxWidth = 0.0f, m_BoxHeight = 0.0f;
    float m_ClickTimer = 0.0f;  // seconds to the second click sound; 0: none
  };

  cl_SabotagePhase1();

  // The first call only (later calls do nothing): knobs, plates, reset button and boxes placed at
  // the scale, the pumps at their start values, the first plate opening unless the pumps were set
  // in an earlier play ("Missions/Minigames/Sabotage/FirstSolved" = 1). True.
  bool Layout(float scale, cl_SabotagePhase2* grid, cl_Sabotage* game);
  // Runs the elements' steps, restores a reset pump once its plate has closed, and sets the
  // current pump when its rows all show green and nothing moves.
  void Update(float dt);
  // A left release on a knob or the reset button, the point taken relative to the origin; false
  // (declined) while something moves, once all pumps are set, and elsewhere.
  bool HandleInput(const base::ICMD& cmd, float originX, float originY, float scale);
  void Draw(float originX, float originY, float scale);

  // ---- read by the game, the play driver and the tests
  cl_ActionElement& GetResetButton() { return m_ResetButton; }
  const cl_ActionElement& GetKnob(int k) const { return m_Knobs[k]; }
  const cl_ActionElement& GetPlate(int p) const { return m_Plates[p]; }
  const st_Pump& GetPump(int p) const { return m_Pumps[p]; }
  int GetCurrent() const { return m_Current; }
  bool IsDone() const { return m_Done; }
  // Something moves, or has steps queued (also before the first update).
  bool IsAnimating() const;
  bool IsHovering() const { return m_Hover; }

  // The colour of a row value (1 red, 2 yellow, 3 green, 4 magenta, 5 cyan; white otherwise).
  static uint32_t ValueColour(int value);

 private:
  void AdvanceRow(int pump, int row);
  // The plate of pump p slides by dy (down opens it) with the metal-plate sound named slot.
  void SlidePlate(int p, float dy, int slot);
  void RestoreStartValues(int p);

  st_Pump m_Pumps[kPumps];
  int m_Current = 0;
  bool m_Done = false;
  bool m_Animating = false;
  bool m_ResetPending = false;
  int m_PlateTravel = 105;
  bool m_Hover = false;
  bool m_LaidOut = false;
  cl_ActionElement m_Knobs[3];
  cl_ActionElement m_Plates[kPumps];
  cl_ActionElement m_ResetButton;
  cl_SabotagePhase2* m_Grid = nullptr;  // not owned
  cl_Sabotage* m_Game = nullptr;        // not owned
};

}  // namespace quillane
