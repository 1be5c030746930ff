// cl_SabotagePhase3: the Sabotage game's mixing desk, the top-right quarter. Three fluid columns
// stand in glass tubes; eight valve buttons change their amounts, and the player must set the
// critical amounts 12, 5 and 10. A column shows its level only while its pipe on the grid brings
// gas; a tube light blinks over each column at its critical amount. All three right sets off the
// alarm (the game is won) and a little over 2 s later the game ends. The exit sign leaves without
// a result. Owned and driven by cl_Sabotage; the grid reports the filled columns. Main thread only.
#pragma once

#include "base/String.h"
#include "quillane/minigames/sabotage/ActionElement.h"

namespace base {
struct ICMD;
}

namespace quillane {

class cl_Sabotage;

class cl_SabotagePhase3 {
 public:
  static constexpr int kColumns = 3;
  static constexpr int kButtons = 8;
  static constexpr int kAllColumns = -1;
  static constexpr float kAlarmTime = 2.0f;  // seconds of alarm before the game ends

  struct st_Column {
    int m_Amount = 0;
    cl_ActionElement m_Bar;  // the fluid, a band rising from its foot
    cl_ActionElement m_Cap;  // on top of the fluid
  };
  struct st_ValveButton {
    int m_Column = 0;  // 0..2, or kAllColumns
    int m_Delta = 0;   // per press; 0 empties the column
    cl_ActionElement m_ButtonElement;
    base::tString<base::BaseString> m_Sound;
  };

  cl_SabotagePhase3();

  // The first call only: buttons, bars, caps, exit sign and tube meters at the scale. True.
  bool Layout(float scale, cl_Sabotage* game);
  // Runs the steps (caps riding on their fluids), the tube lights and the alarm, which starts once
  // the three filled columns stand at their critical amounts and nothing moves.
  void Update(float dt);
  // A left release on the exit sign (the game ends without a result) or a valve button, the point
  // taken relative to the origin. Declined while something moves and once the mixture is right;
  // any other command is taken.
  bool HandleInput(const base::ICMD& cmd, float originX, float originY, float scale);
  void Draw(float originX, float originY, float scale);
  // The grid's report: column i receives gas (its level rises to its amount) or no longer does
  // (it empties in 1 s, the amount kept). Nothing when that is already so.
  void SetFilled(int column, bool filled);

  // The column's height in pixels for an amount: −20 empty to 20 full (190 at scale 1).
  float ColumnHeight(int amount) const;
  static int CriticalAmount(int column);

  // ---- read by the game, the play driver and the tests
  cl_ActionElement& GetTubeLight(int i) { return m_TubeLights[i]; }
  const st_Column& GetColumn(int i) const { return m_Columns[i]; }
  const st_ValveButton& GetButton(int i) const { return m_Buttons[i]; }
  const cl_ActionElement& GetExitSign() const { return m_ExitSign; }
  bool IsFilled(int i) const { return m_Filled[i]; }
  bool IsAlarm() const { return m_Alarm; }
  bool IsEnded() const { return m_Ended; }
  // Something moves, or has steps queued (also before the first update).
  bool IsAnimating() const;
  bool IsHovering() const { return m_Hover; }

 private:
  void SetLevel(int column);    // the bar rises or falls to the amount's height, with its sound
  bool IsMixtureRight() const;  // every amount critical and every column filled

  st_Column m_Columns[kColumns];
  st_ValveButton m_Buttons[kButtons];
  bool m_Animating = false;
  bool m_Filled[kColumns] = {};
  bool m_Alarm = false;
  bool m_Ended = false;
  float m_PanelScale = 1.0f;
  float m_AlarmTime = 0.0f;
  cl_ActionElement m_TubeLights[kColumns];
  cl_ActionElement m_TubeMeters[kColumns];
  cl_ActionElement m_ExitSign;
  cl_Sabotage* m_Game = nullptr;  // not owned
  bool m_Hover = false;
  bool m_LaidOut = false;
};

}  // namespace quillane
