// cl_SubtitleCtrl: timed subtitle lines under full-screen videos. One module, made at start-up
// after the video player, registered as the program's subtitle lines while it lives. The video
// controller queues the lines of each video entry; the script function
// "AddFullscreenVideoSubtitle" adds its own. Line times are seconds on the video's own clock, so
// the lines stay in step with the picture. Main thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "base/String.h"
#include "base/app/Module.h"
#include "quillane/video/SubtitleLines.h"

class cl_SubtitleCtrl : public base::cl_Module, public i_SubtitleLines {
 public:
  enum en_Kind : int {
    KIND_VIDEO = 1,  // absolute video times, drawn here; other kinds are relative to the clock
  };
  struct st_Line {
    float start = 0.0f, end = 0.0f, fade = 0.0f;
    uint32_t colour = 0xFFFFFFFFu;  // its alpha byte is replaced by the fade when drawn
    base::tString<base::BaseUnicodeString> text;
    int kind = KIND_VIDEO;
  };

  cl_SubtitleCtrl();            // becomes the program's subtitle control
  ~cl_SubtitleCtrl() override;  // and stops being it

  static cl_SubtitleCtrl* GetInstance();  // null when none exists

  // Nothing for a null key. The key is localised; kind 1 keeps the times, other kinds count
  // them from the clock.
  void AddLine(const char* key, float start, float end, float fade, uint32_t colour, int kind) override;
  // Kind 2 removes every line; any other kind removes the lines of that kind.
  void RemoveLines(int kind) override;

  // The video time is read, the clock advances; ended lines leave from the front (a line behind
  // a running one waits for it); an empty queue resets the clock.
  void Update(float time, float dt) override;
  // While a video plays: each video line in its span, faded in and out, over the bottom.
  void Render() override;

  const std::vector<st_Line>& GetLines() const { return m_lines; }
  float GetClock() const { return m_clock; }
  // The line's alpha byte at time t (its span assumed).
  static uint8_t FadeAlpha(const st_Line& line, float t);

 private:
  std::vector<st_Line> m_lines;
  float m_clock = 0.0f;
  float m_videoTime = 0.0f;
};
