// The game's GUI root and its shared helpers.
#include "quillane/gui/GameGUI.h"

#include "quillane/gui/GameControls.h"

cl_GameGUI::cl_GameGUI() {
  Register<cl_QLSliderHandle>("SliderHandle");
  Register<cl_QLSlider>("Slider");
  Register<cl_GameEdit>("Edit");
  Register<cl_QLCheckBox>("CheckBox");
}

cl_GameGUI::~cl_GameGUI() = default;

void DrawBevelBox(const base::tRectf& rect, uint32_t face, bool sunken) {
  // The skin's frame is the same four fills in the same colours: one drawing for both looks.
  win32dx9::cl_SystemGUI::DrawBevelFrame(rect, face, sunken);
}

bool WideStringContains(const char16_t* text, char16_t c) {
  if (!text) return false;
  for (; *text; ++text) {
    if (*text == c) return true;
  }
  return false;
}
