// i_SubtitleLines: what the video controller needs of the subtitle control, which shows timed
// lines of text over a full-screen video. The control registers itself while it exists; without
// one, videos play without subtitles. Main thread only.
#pragma once

#include <cstdint>

class i_SubtitleLines {
 public:
  // Kinds of RemoveLines.
  enum en_RemoveKind : int { REMOVE_ALL = 2 };

  virtual ~i_SubtitleLines() = default;
  // Queues a line: text (or text key) shown from start to end in seconds of video time, faded
  // in and out over fade seconds, in colour 0xAARRGGBB; flags as the control defines them.
  virtual void AddLine(const char* text, float start, float end, float fade, uint32_t colour, int flags) = 0;
  virtual void RemoveLines(int kind) = 0;
};

// The registered subtitle control, or null.
i_SubtitleLines* GetSubtitleLines();
// Registers lines (null: none). The control calls it from its constructor and destructor.
void SetSubtitleLines(i_SubtitleLines* lines);
