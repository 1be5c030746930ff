// cl_FloorLightsPanel: the mini-game "FloorLights", a fixed 3 x 3 board of wire-tap tiles that
// the player rewires so that the power fed in at the upper left lights the hangar lamp while
// both lamps of the factory floor stay dark. Tiles, input, clock, bonus, sounds and exits are the
// wire-tap game's; the terminals, the win rule, the art and the data file are its own.
// Main thread only.
#pragma once

#include "quillane/minigames/wiretap/WireTap.h"

namespace quillane {

class cl_FloorLightsPanel : public cl_WiretapPanel {
 public:
  // Terminal indices beside the wire-tap ones (0 power feed, 1 second left connector, 2 lower
  // connector): the lamps, whose pictures share the indices.
  enum en_Lamp { LAMP_FLOOR_TOP = 15, LAMP_FLOOR_RIGHT = 16, LAMP_HANGAR = 17 };

  cl_FloorLightsPanel();
  ~cl_FloorLightsPanel() override;
  static i_Minigame* Create();

  using cl_WiretapPanel::Init;
  bool Init(base::Variant* mission, bool restart) override;
  bool Compile(const char* dataFile) override;
  // Solved when the circuit fed at the upper left is closed, includes the hangar lamp's tile with
  // its lamp opening and lights neither floor lamp; needTap is not used.
  bool CheckSolved(bool needTap) override;
  void DrawTerminals(float x, float y) override;

 protected:
  std::vector<gfx::cl_Image*> DataImages() override;
  void PlaceTerminals();  // the fixed terminal cells and picture positions of the 3 x 3 board

  gfx::cl_Image m_FloorSign;
  gfx::cl_Image m_HangarSign;
};

}  // namespace quillane
