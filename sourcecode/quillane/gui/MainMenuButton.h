// The game's menu button: the main menu's, the in-game menu's and the option and load/save
// panels' rows of buttons share its pictures, sizes and text colours.
#pragma once

#include "base/gui/GUIBasicControls.h"

// A menu button of the game: 160 x 25, its picture and text colour by state.
class cl_MainMenuButton : public base::cl_Button {
 public:
  // Placed at (x + 1, y - 3), so a button given (57, 73) sits at (58, 70).
  cl_MainMenuButton(const char* label, const char* text, float x, float y, bool enabled);
  void Render(float px, float py) override;
  // The mouse-over sound when the pointer enters, then the button's own handling.
  bool ProcessInput(base::ICMD& cmd) override;
};

// Null when it cannot be allocated.
cl_MainMenuButton* CreateMainMenuButton(const char* label, const char* text, float x, float y, bool enabled);
