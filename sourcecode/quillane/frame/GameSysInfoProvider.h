// The game's part of the system information: the screen resolutions the configuration offers
// ("Options/Gfx/ScreenResolution/OutputFormat") become the allowed display modes.
#pragma once

#include "win32dx9/SysInfoProvider.h"

class cl_GameSysInfoProvider : public win32dx9::i_SysInfoProvider {
 public:
  // Each child with integer "width" and "height" adds two modes, format 22 then 21; children
  // missing either are skipped. Nothing without the element. Always true.
  bool Provide() override;
};
