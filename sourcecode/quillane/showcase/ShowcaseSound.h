// The start-up picture's sound: the "MUSIC" playlist of the demo's music tracks with gaps of 2
// to 4 seconds, and a click from the "sfx/" effects on every mouse button press. A child of the
// start-up showcase; it does nothing when the program runs without a sound system.
#pragma once

#include "base/app/Module.h"

class cl_ShowcaseSound final : public base::cl_Module {
 public:
  cl_ShowcaseSound();
  bool StartUp() override;                      // sets up the playlist
  bool ShutDown() override;                     // clears it, letting the track fade
  bool ProcessInput(base::ICMD& cmd) override;  // a click on every press; never takes the input
};
