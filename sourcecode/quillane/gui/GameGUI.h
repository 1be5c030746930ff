// The GUI root the game runs under: the default skin with four of its controls swapped for the
// game-styled ones, so every "Slider", "SliderHandle", "Edit" or "CheckBox" a layout or the code
// asks for looks like the game. Also the small drawing and text helpers those controls share.
#pragma once

#include <cstdint>

#include "base/String.h"
#include "base/math/Limit.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

class cl_GameGUI : public win32dx9::cl_SystemGUI {
 public:
  // The skin's registrations, then "SliderHandle", "Slider", "Edit" and "CheckBox" replaced by
  // the game's controls (each name keeps one creator).
  cl_GameGUI();
  ~cl_GameGUI() override;
};

// Four nested fills: raised shows white top-left and black/dark bottom-right, sunken a dark band
// top-left and white/light bottom-right; the face is face.
void DrawBevelBox(const base::tRectf& rect, uint32_t face, bool sunken);

// True when c occurs in text before its terminator; false for a null or empty text.
bool WideStringContains(const char16_t* text, char16_t c);
