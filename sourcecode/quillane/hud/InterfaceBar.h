// cl_InterfaceBar: the in-game strip along the bottom of the screen, a decorated band with three
// round buttons (in-game menu, load/save, diary) and the token bar on its left. With the option
// "Game/AutoFadeInterface/Value" non-zero (or absent) it fades away while the player does not use
// it and comes back when the mouse goes to the bottom of the screen. The session creates it under
// its GUI root; the buttons reach the session through InterfaceServices. Main thread only.
#pragma once

#include "base/gui/GUI.h"
#include "base/gui/GUIBasicControls.h"

class cl_TokenBar;

// A 32 × 32 button whose glow ("fluffy_glow") shows on hover, press and blink, with its tooltip
// (its wide text) above it.
class cl_InterfaceBarButtonHighlight : public base::cl_Button {
 public:
  // Label = the command; relative position (x, y).
  cl_InterfaceBarButtonHighlight(const char* label, float x, float y);

  void Render(float px, float py) override;
  void Update(float dt) override;  // the blink: one pulse a second
  // Mouse moves set the hover (a new hover plays the mouse-over sound); then the button's own.
  bool ProcessInput(base::ICMD& cmd) override;

  bool m_hovered = false;
  bool m_blink = false;
  float m_glowAlpha = 255.0f;
  float m_blinkPhase = 0.0f;  // radians
};

class cl_InterfaceBar : public base::cl_Panel {
 public:
  static constexpr float kIdleHideTime = 2.0f;  // seconds away from the bar before it fades
  static constexpr float kFadeSpeed = 4.0f;     // alpha units per second

  // The token bar (first child) and the three buttons placed on the interface bar rectangle;
  // shown at once when auto-fade is off, else hidden until used.
  cl_InterfaceBar();

  void Show(bool visible) override;  // the fade target; the hidden flag is not used
  // With a scene: from the window's left to its right, from the smaller of the window height
  // − 80 and the scene's height (the scene's height at exactly 1024 × 768 and 1280 × 1024) to
  // the bottom. Without one it stays.
  void UpdateRect(float px, float py) override;
  void Render(float px, float py) override;
  void Update(float dt) override;
  bool ProcessInput(base::ICMD& cmd) override;
  // "ButtonPressed" of the three buttons while fully shown; always false.
  bool ProcessEvent(const base::Variant& event) override;

  virtual void SetJournalBlink(bool blink);  // nothing without a journal button
  // The token bar follows the dialogue state (scene loads, dialogue start and stop).
  void SyncTokenBarMode();

  cl_TokenBar* GetTokenBar() const { return m_tokenBar; }
  float GetAlpha() const { return m_alpha; }
  float GetFadeTarget() const { return m_fadeTarget; }
  float GetIdleTime() const { return m_idleTime; }
  void RestartIdleTimer() { m_idleTime = 0.0f; }  // the bar stays a full idle time longer
  cl_InterfaceBarButtonHighlight* GetButton(const char* label) const;

  // True when "Game/AutoFadeInterface/Value" exists and is 0.
  static bool IsAutoFadeOff();

 private:
  // "IngameMenuPanel", "LoadSavePanel" or "OptionsPanel" shown in the GUI root.
  bool IsMenuOpen();
  void EnableButtons();

  float m_fadeTarget = 0.0f;
  float m_alpha = 0.0f;
  float m_idleTime = 0.0f;
  cl_InterfaceBarButtonHighlight* m_optionsButton = nullptr;   // children: owned by the list
  cl_InterfaceBarButtonHighlight* m_loadSaveButton = nullptr;
  cl_InterfaceBarButtonHighlight* m_journalButton = nullptr;
  cl_TokenBar* m_tokenBar = nullptr;
};
