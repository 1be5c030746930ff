// cl_Token: one inventory item or dialogue topic in the token bar, a 64 × 64 window. It grows
// under the mouse, is picked up with a press, and either dragged with the button held and dropped
// on a target where the button is released, or, released where it was pressed, carried with the
// mouse and dropped with a second click; it shows a tooltip, and plays a queue of short animations
// (arrival, use, removal).
// What a drop does is the session's token rules' business (InterfaceServices). Main thread only.
//
// Token positions (m_Rect.x, m_Rect.y, the home and the drop point) are window pixels: a carried
// token follows the mouse anywhere on the screen, whatever the bar's place.
#pragma once

#include <cstdint>
#include <deque>

#include "base/String.h"
#include "base/gui/GUI.h"

namespace gfx {
class cl_Texture;
}

class cl_TokenBar;

// One queued animation: progress runs from 0 and the record ends when it exceeds 1.
struct st_TokenAnimation {
  int type = 0;
  float progress = 0.0f;
  float speed = 1.0f;  // the step of one frame is dt × speed
};

class cl_Token : public base::cl_Window {
 public:
  enum en_State : int {
    STATE_IDLE = 0,
    STATE_CARRIED = 1,    // follows the mouse
    STATE_ANIMATING = 2,  // plays its queue
    STATE_USED = 3,       // a use animation ended; the bar runs the action
    STATE_REMOVED = 4,    // a leave animation ended; the bar deletes it
  };
  // ORDER TOKENANIM: the animation types and what each does.
  enum en_Animation : int {
    ANIM_APPEAR = 0,        // fades in where it is, three times as fast
    ANIM_PULSE = 1,         // grows to twice its size and back
    ANIM_GLIDE_HOME = 2,    // eases to its home
    ANIM_SLIDE_HOME = 3,    // moves linearly to its home
    ANIM_SPARKLE = 4,       // "token_hilite" blinks over it
    ANIM_USE_GROW = 5,      // used: fades out while growing, then STATE_USED
    ANIM_USE = 6,           // used: fades out, then STATE_USED
    ANIM_FADE_IN_HOME = 7,  // fades in at home
    ANIM_FADE_OUT_HOME = 8, // fades out at home
    ANIM_DISSOLVE = 9,      // "token_dissolve" fades out at home
    ANIM_MARK_REMOVED = 10, // STATE_REMOVED
    ANIM_WAIT = 11,         // nothing drawn for a second
    ANIM_SHOW = 12,         // own alpha rises to 1
    ANIM_HIDE = 13,         // own alpha falls to 0
    ANIM_GLOW = 14,         // the glow fades in over it
    ANIM_POP_IN = 15,       // grows from nothing at twice the speed
    ANIM_TYPE_COUNT = 16,
  };
  static constexpr float kSize = 64.0f;
  static constexpr float kHighlightScale = 1.3f;
  static constexpr float kScaleSpeed = 2.0f;  // scale units per second
  // Pixels a press may move and still count as a click (the token stays carried) rather than a drag.
  static constexpr float kDragSlack = 4.0f;

  // Size 64 × 64; the picture "GUI/Tokens/" + (the definition's "file", else label + ".tga"), a
  // desaturated copy for the grey look. An unknown label is logged and still made; a missing
  // picture draws the texture "token".
  cl_Token(cl_TokenBar* bar, const char* label);
  ~cl_Token() override;

  void Render(float px, float py) override;
  void Update(float dt) override;
  bool ProcessInput(base::ICMD& cmd) override;
  void Activate() override;  // raises "ButtonPressed" with "ctrl_label" = its label
  // Positions are window pixels, whatever the parent's place.
  void UpdateRect(float px, float py) override;

  // Home = (x, y); an idle token moves there at once.
  void SetHome(float x, float y);
  void ReturnHome();  // position = home; the bar carries nothing
  void SetState(int state) { m_state = state; }
  void QueueAnimation(const st_TokenAnimation& animation);  // appended; the token animates
  st_TokenAnimation PopAnimation();  // the front record removed; a default record when none

  int GetState() const { return m_state; }
  bool IsAnimating() const { return m_state == STATE_ANIMATING; }
  const std::deque<st_TokenAnimation>& GetAnimations() const { return m_animations; }
  float GetHomeX() const { return m_homeX; }
  float GetHomeY() const { return m_homeY; }
  float GetScale() const { return m_scale; }
  float GetAlpha() const { return m_alpha; }
  void SetAlpha(float alpha) { m_alpha = alpha; }
  bool HasPicture() const { return m_picture != nullptr; }
  // Draws the token as the carried one: grey or in colour at its scale, full alpha.
  void DrawCarried(bool colour);
  void DrawTooltip(float x0, float y0, float x1);

  int m_order = 0;            // sort key among the bar's tokens
  bool m_interactive = true;  // may be picked up and highlighted
  bool m_tooltipOn = true;
  bool m_pressed = false;
  float m_hoverTime = 0.0f;
  float m_dropX = 0.0f, m_dropY = 0.0f;
  base::tString<base::BaseString> m_dropTarget;

 private:
  void StepFront(float dt);  // advances the front record; removes it when it ends
  void DrawFront();
  // The picture (grey or in colour; "token" without one) at (x, y) with the token's scale
  // about its centre, at alpha 0..1.
  void DrawPicture(float x, float y, float scale, float alpha, bool colour);
  void DrawGlow(float x, float y, float scale, float alpha);
  float EffectiveAlpha() const;
  bool AcceptsUse() const;  // interactive, enabled, and the bar takes input
  void PickUp(float mx, float my);  // carried from the mouse at (mx, my), with its sound
  // Dropped at (mx, my) on the bar's target token or what lies there: used when the rules accept
  // it, else home with the fail sound.
  void Drop(float mx, float my);

  cl_TokenBar* m_bar;  // not owned
  int m_state = STATE_IDLE;
  gfx::cl_Texture* m_picture = nullptr;  // owned
  gfx::cl_Texture* m_grey = nullptr;     // owned
  float m_homeX = 0.0f, m_homeY = 0.0f;
  bool m_grabbedByPress = false;  // carried since a press that has not been released yet
  float m_pressX = 0.0f, m_pressY = 0.0f;
  float m_alpha = 1.0f;
  float m_scale = 1.0f, m_targetScale = 1.0f;
  float m_scaleX = 1.0f, m_scaleY = 1.0f;  // the fade-at-home types draw unscaled
  std::deque<st_TokenAnimation> m_animations;
};
