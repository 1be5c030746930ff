// Stand-ins for the game-wide screen helpers until they land; removed then.
#include "quillane/gui/PendingScreenHelpers.h"

#include "graphics/draw/Draw.h"
#include "sound/Sfx.h"

void DrawHighlightRect(float x0, float y0, float x1, float y1) {
  gfx::DrawRect(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1), static_cast<int>(y1), 0xFFDCA459u);
}

void DrawRoundFrame(float, float, float, float, uint8_t) {}

void PlayClickSound() {}

void PlayMouseOverSound() {}
