// cl_Sabotage: the mini-game "Sabotage". The heroine stands at the master control panel of a
// poison-gas plant, a picture of 2 × 2 quarters larger than the screen that the player scrolls
// over: an empty corner, the pump panel, the pipe grid and the mixing desk. She sets the three
// pumps (gas flows into three pipes), joins each pipe to its tank on the grid, and doses the three
// fluids to the critical ratio, which sets off the alarm and wins. The game does the scrolling,
// the skip question, the data file, the cursor and the ending; its three phases do the play and
// keep their state for the object's life. In a window narrower than the panel's 1024-pixel layout
// the game plays in a larger window of its own, drawn smaller to fit: the views, edges and
// scroll limits are those of the layout's window. Main thread only.
#pragma once

#include <memory>

#include "quillane/minigames/Minigame.h"
#include "quillane/screen/ScaledView.h"

class cl_Messagebox;
namespace base {
class cl_GUI;
}

namespace quillane {

class cl_ActionElement;
class cl_MinigameDataFile;
class cl_SabotagePhase1;
class cl_SabotagePhase2;
class cl_SabotagePhase3;

class cl_Sabotage : public i_Minigame {
 public:
  // The views the phases scroll to by themselves.
  enum en_View { VIEW_GRID, VIEW_MIXER };
  static constexpr float kEdge = 50.0f;          // pixels at a window edge that scroll the view
  static constexpr float kScrollSpeed = 500.0f;  // pixels a second
  static constexpr float kFirstScrollX = 150.0f;

  cl_Sabotage();
  ~cl_Sabotage() override;  // an open skip question is closed without an answer
  static i_Minigame* Create();

  // ---- i_Minigame
  using i_Minigame::Init;
  // Reads the data file, measures the quarters, opens on the pump panel and lays the phases out
  // (each only the first time). False (logged) without the data file or with a grid file smaller
  // than 4 × 3.
  bool Init(base::Variant* mission, bool restart) override;
  void End() override;         // clears the exit and skip marks; closes an open skip question unanswered
  bool IsFinished() override;  // skipped, left, or the alarm has run out
  bool HandleInput(base::ICMD& cmd) override;
  // Writes the records from the pictures under "gui/minigames/sabotage/"; false (logged) when the
  // pictures are missing or the file cannot be written.
  bool Compile(const char* dataFile) override;
  void Update(float dt) override;
  void Render(float x, float y) override;
  // The skip question's answer: "Ok" counts as won and ends the game; true for that event.
  bool ProcessEvent(const base::Variant& event) override;
  // "knob 1".."knob 3", "reset", "cell <column> <row>", "tank 1".."tank 3" (where the pipes
  // must reach), "valve 1".."valve 8", "exit", "edge left|right|up|down", and the base's.
  bool GetPlayTarget(const char* name, float& x, float& y) override;
  // "idle": the base's, and no question, animation or automatic scroll; "view pumps|grid|mixer":
  // the quarter in the middle of the game viewport.
  bool IsPlayCondition(const char* name) override;
  // The base's, in the window's pixels.
  bool GetSkipButtonCentre(float& x, float& y) const override;

  // ---- what the phases call
  void SetExit() { m_Exit = true; }
  void ScrollTo(en_View view);  // the automatic scroll's target
  cl_SabotagePhase1* GetPumps() const { return m_Phase1.get(); }
  cl_SabotagePhase2* GetGrid() const { return m_Phase2.get(); }
  cl_SabotagePhase3* GetMixer() const { return m_Phase3.get(); }

  // The records of the data file in their order, by the open file's mode; false
  // (one "ERROR:" line) when the file does not fit or cannot be written.
  bool ArchiveDataFile(cl_MinigameDataFile& file);

  // The game state's "Missions/Minigames/Sabotage/FirstSolved": the pumps were set in an earlier
  // play. Not set and not written without a game.
  static bool IsFirstSolved();
  static void SetFirstSolved();
  // The image of that label at its top-left corner; nothing when it does not exist (Init has
  // logged it).
  static void DrawLabelImage(const char* label, float x, float y, float scale);

  // ---- read by the play driver and the tests
  float GetScrollX() const { return m_ScrollX; }
  float GetScrollY() const { return m_ScrollY; }
  float GetTargetX() const { return m_TargetX; }
  float GetTargetY() const { return m_TargetY; }
  float GetQuarterWidth() const { return m_QuarterWidth; }
  float GetQuarterHeight() const { return m_QuarterHeight; }
  const cl_Messagebox* GetSkipBox() const { return m_SkipBox; }
  // The scroll limits of the game viewport: lower and upper x, lower and upper y.
  void GetScrollLimits(float limits[4]) const;
  // The window the panel plays in, and its game viewport, in the panel's pixels: the real ones,
  // or in a window narrower than the layout the larger ones that are drawn smaller to fit.
  float GetPanelWindowWidth() const;
  float GetPanelWindowHeight() const;
  base::tRectf GetPanelViewport() const;
  const cl_ScaledView& GetView() const { return m_View; }

 private:
  // The scroll at (x, y): on each axis the lower limit when below it, else the upper one when
  // above it (a panel smaller than the view gives crossed limits; the view still stays on them).
  void SetScroll(float x, float y);
  void ScrollBy(float dx, float dy);
  bool OverSkipButton(float x, float y) const;
  void CloseSkipBox();  // without an answer
  void CheckLabels() const;
  void DrawViewportMask() const;
  // Whether the quarter drawn from (x, y), or a piece reaching up to reachLeft left of it, shows
  // in the game viewport.
  bool IsQuarterInView(float x, float y, float reachLeft) const;
  // The window point in the middle of a phase's element drawn from the origin; false when it lies
  // outside the window.
  bool ElementPoint(const cl_ActionElement& element, float originX, float originY, float& x, float& y) const;
  // A point of the panel's window moved to where the window shows it; false when it lies outside.
  bool PanelPointOnWindow(float& x, float& y) const;
  void FitView();  // the panel's window for the window's size now

  cl_ScaledView m_View;  // scaled: the panel is drawn into a texture of its window's size
  std::unique_ptr<cl_SabotagePhase1> m_Phase1;
  std::unique_ptr<cl_SabotagePhase2> m_Phase2;
  std::unique_ptr<cl_SabotagePhase3> m_Phase3;
  float m_ScrollX = 0.0f, m_ScrollY = 0.0f;
  float m_QuarterWidth = 0.0f, m_QuarterHeight = 0.0f;
  float m_MouseX = 0.0f, m_MouseY = 0.0f;
  float m_ScrollMargin = 0.0f;
  float m_DrawScale = 1.0f;
  bool m_Exit = false;
  float m_TargetX = 0.0f, m_TargetY = 0.0f;
  cl_Messagebox* m_SkipBox = nullptr;  // owned by m_SkipGUI
  base::cl_GUI* m_SkipGUI = nullptr;   // not owned
};

}  // namespace quillane
