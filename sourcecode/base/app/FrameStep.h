// One pass of the frame loop, shared by every platform so that the program and the tests step
// time, input, update and drawing the same way. The platform keeps what is its own (window
// messages, sound, the sleep) around a call of Run per frame.
#pragma once

#include <cstdint>
#include <functional>

namespace base {

class cl_System;
class i_InputDevice;
class i_GraphicsDevice;

class cl_FrameStep {
 public:
  // The clock's current tick becomes the start of the first step; the accumulated time is 0.
  void Start();
  // Cap of the accumulated time in seconds (the game's loop: 1 s, kept there once reached);
  // 0 or less: none.
  void SetTimeCap(double seconds) { m_timeCap = seconds; }
  // Sets the quit flag once that many frames were drawn; 0 or less: no limit.
  void SetFrameLimit(int frames) { m_frameLimit = frames; }
  // Called by CallFrameHook with the number of frames drawn so far.
  void SetFrameHook(std::function<void(int frame)> hook) { m_frameHook = std::move(hook); }
  // The frame's first act, before the platform looks at its window messages.
  void CallFrameHook() {
    if (m_frameHook) m_frameHook(m_framesRendered);
  }
  // dt from the millisecond clock (wrap-safe) and the accumulated time, then the input device's
  // Update and its commands to ProcessInput (the system told first that they span dt), the
  // system's Update, and Render between the graphics device's BeginFrame and EndFrame (a frame
  // counted) unless a module held the frame during Update. Null devices are skipped.
  void Run(cl_System& system, i_InputDevice* input, i_GraphicsDevice* graphics);

  float GetTime() const { return static_cast<float>(m_acc); }  // the accumulated time
  float GetDt() const { return m_dt; }                         // the last step
  int GetFramesRendered() const { return m_framesRendered; }

 private:
  std::function<void(int)> m_frameHook;
  double m_timeCap = 1.0;
  double m_acc = 0.0;  // double between frames, so long runs without a cap keep their steps
  float m_dt = 0.0f;
  uint32_t m_last = 0;
  int m_frameLimit = 0;
  int m_framesRendered = 0;
};

}  // namespace base
