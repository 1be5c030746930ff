// cl_Fader covers the screen and uncovers it again over a given time, with a flat dark colour or
// the decorated screen-blender frame, optionally with a centred line of text (a chapter title).
// It doubles as a timer: owners read the state, and state 2 (covered) is the completed state they
// wait for; state 4 counts down without drawing. The session and the main menu each embed one.
// Main thread only.
#pragma once

#include <cstdint>

#include "base/String.h"

class cl_Fader {
 public:
  enum en_State : int {
    STATE_UNCOVERED = 0,   // idle, nothing drawn
    STATE_COVERING = 1,    // value rising to 1, then STATE_COVERED
    STATE_COVERED = 2,     // idle; also where the countdown ends
    STATE_UNCOVERING = 3,  // value falling to 0, then STATE_UNCOVERED
    STATE_COUNTDOWN = 4,   // value falling from 1 to 0 unseen, then STATE_COVERED
  };
  enum en_Flags : uint32_t {
    FLAG_BLENDER_FRAME = 1u,  // the dialog frame over the window instead of a flat fill
    FLAG_EASED = 2u,          // the cover value eased through SinToUnit before drawing
  };
  // Frames longer than this do not move a fade (a loading hitch would otherwise jump it).
  static constexpr float kMaxFrameTime = 0.5f;

  // cover: towards covered, else uncovered. A duration of 0 or less gets there at once; otherwise
  // the fade runs from the current value. Text (a text or text key) and flags are kept for drawing.
  void Start(bool cover, float duration, base::tString<base::BaseString> text, uint32_t flags);
  // The invisible countdown over duration, ending covered; text and flags cleared.
  void FadeFromFull(float duration);
  void Update(float dt);
  // The cover over the whole window, and the text while the cover's alpha is 128 or more.
  void Render();
  // The screen-blender frame around the game viewport at alpha (0..255): the six "ScreenBlender*"
  // images (a missing one is left out) and the two tile textures between them.
  void DrawBlenderFrame(float alpha);

  int m_state = STATE_UNCOVERED;
  uint32_t m_flags = 0;
  float m_value = 0.0f;  // 0 uncovered .. 1 covered
  float m_duration = 0.0f;
  base::tString<base::BaseString> m_text;
};
