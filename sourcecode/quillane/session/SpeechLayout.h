// The layout of a spoken line's bubble: the word wrap of the shown text and the placement of the
// box above the speaker, kept inside the window and the game viewport and off the faces on the
// screen. Nothing is kept between frames; the session's speech display computes it anew each
// frame. Main thread only.
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

  // A line laid out: its wrapped lines and their widths (pixels), its box (the text's rectangle;
  // the frame stands 16 pixels round it) and the side its lines align to (−1 left, +1 right,
  // else centred).
  struct st_Bubble {
    std::vector<tLine> lines;
    std::vector<int> widths;
    base::tRectf box;
    int side = 0;
  };

  // The bubble's box for lines of the widest width maxWidth (pixels) at the anchor (x, y): centred
  // above it, kept inside the window (w × h), moved 0.7 box widths to the side (−1 left, +1 right,
  // else none) and kept inside the viewport's left, right and top margins.
  static base::tRectf PlaceBox(float x, float y, int maxWidth, int lineCount, int side, float w, float h,
                               const base::tRectf& viewport);
  // Whether the box, with the frame 16 pixels round it and a gap of 8 more, covers none of the
  // faces (screen rectangles), and stands nearer the middle of faces[speaker] than of any other
  // (no such test for speaker −1).
  static bool IsClearOfFaces(const base::tRectf& box, const std::vector<base::tRectf>& faces, int speaker);
  // The box as it is when it is clear of the faces; else moved the least way to a place inside
  // the viewport's margins (its frame above the viewport's bottom) that is, or, where none is,
  // to one that covers no face wherever it stands; where there is none of those, as it is.
  static base::tRectf KeepOffFaces(const base::tRectf& box, const base::tRectf& viewport,
                                   const std::vector<base::tRectf>& faces, int speaker);
};

}  // namespace quillane
