// The start-up picture shown until the game frame exists: the screen cleared, the title
// background drawn opaque, the logo tinted and slowly turning over it, the harbour panorama
// ("title_wide") along the bottom, the looping lantern strip, a panel with a text box in each
// font ("game", "system", the glyph-sheet "score") and the game cursor. It takes the place of a
// plain clearing module at the front of the module tree, and draws what the media parts provide;
// what is missing is left out (the two title textures with one warning).
// With "DevTools/ShowIntroMovies" at 1 the intro movie plays over it first; any key stops it.
#pragma once

#include <cstdint>

#include "base/app/Module.h"

class cl_StartupShowcase final : public base::cl_Module {
 public:
  explicit cl_StartupShowcase(uint32_t clearColour = 0xFF1E3250u);
  void Update(float time, float dt) override;  // turns the logo, then updates the children
  void Render() override;                      // the picture, then the children
  bool ProcessInput(base::ICMD& cmd) override;  // a key stops the intro movie

 private:
  void RenderMedia();  // panorama, strip, text panel, cursor

  uint32_t m_clearColour;
  float m_angle;  // of the logo, radians
  bool m_warned = false;
  bool m_introChecked = false;  // the intro was started (or was not wanted) on the first update
};
