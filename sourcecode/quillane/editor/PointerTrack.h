// st_PointerTrack: the pointer's way between input commands, read from the positions they carry.
// The input device's move records repeat the poll's last relative motion of the other axis, so
// summing their relative words counts that axis twice; the positions count every pixel once.
#pragma once

#include "base/app/ICMD.h"
#include "base/math/Vector.h"

namespace quillane {

struct st_PointerTrack {
  // The way from the last pointer command (move or button) to this one, and the mark moves
  // along; (0, 0) for commands without a pointer position (keys).
  base::tVector2<float> Follow(const base::ICMD& cmd) {
    if (cmd.type < base::ICMD::MOUSE_MOVE || cmd.type > base::ICMD::MIDDLE_UP) return {0.0f, 0.0f};
    const base::tVector2<float> way(static_cast<float>(cmd.mouseX - x), static_cast<float>(cmd.mouseY - y));
    x = cmd.mouseX, y = cmd.mouseY;
    return way;
  }

  int x = 0, y = 0;  // the pointer at the last pointer command
};

}  // namespace quillane
