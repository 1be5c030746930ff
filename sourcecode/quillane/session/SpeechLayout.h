// The layout of a spoken line's bubble: the word wrap of the shown text and the placement of the
// box above the speaker (beside, where there is no room above), kept inside the window and the
// game viewport. Nothing is kept between
// frames; the session's speech display computes it anew each frame. Main thread only.
#pragma once

#include <vector>

#include "base/String.h"
#include "base/math/Limit.h"

namespace quillane {

class cl_SpeechLayout {
 public:
  using tLine = base::tString<base::BaseUnicodeString>;
  using tMeasure = float (*)(const char16_t* text);  // a run's width in pixels

  // Appends the lines of text wrapped at blanks to width, measuring with the current font: a line
  // breaks at its last blank once the run from its start passes width; a word without a blank
  // before it in its line stays whole; the blank at a break is dropped, other blanks are kept.
  static void AddLine(std::vector<tLine>& lines, const tLine& text, float width);
  // The same lines with any measure. The run is measured once per character (plain) or summed
  // from glyph widths (incremental), which gives the same widths for fonts that measure a run as
  // a fixed overhang plus its characters' advances, as the game's fonts do; texts with line feeds
  // or surrogate pairs, where that does not hold, are always measured run by run.
  static void AddLine(std::vector<tLine>& lines, const tLine& text, float width, tMeasure measure, bool plain);
  // The reference for the incremental measure, which the speech display uses while it is set
  // (comparisons only).
  static bool s_plainRule;

  // The bubble's box for lines of the widest width maxWidth (pixels) at the anchor (x, y): centred
  // above it, kept inside the window (w × h), moved 0.7 box widths to the side (−1 left, +1 right,
  // else none) and kept inside the viewport's left, right and top margins. With the speaker's
  // figure (its rectangle on the screen): where keeping it on screen brought the box down and its
  // frame (16 pixels round it) then meets the figure, it stands beside the figure instead, the
  // frame's top level with the figure's (at least the viewport's top margin), on the side away
  // from the partner (right for side 0) inside the viewport's side margins, else on the other
  // side; where it fits on neither, it stays.
  static base::tRectf PlaceBox(float x, float y, int maxWidth, int lineCount, int side, float w, float h,
                               const base::tRectf& viewport, const base::tRectf* figure = nullptr);
};

}  // namespace quillane
