// The clock of scripted runs: every frame lasts exactly 0.1 s, whatever the machine's speed, so
// a run draws the same frames on a fast desk and on a loaded CI machine. Within a frame each
// reading of the clock on the main thread moves it on by a few milliseconds, so time-sliced work
// (the loading screen's 20 ms slices) still spreads over frames as it would in real time.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "base/app/Clock.h"

class cl_StepClock : public base::i_Clock {
 public:
  static constexpr uint32_t kFrameMs = 100;
  static constexpr uint32_t kReadMs = 7;  // per reading within a frame, kept below the next frame

  cl_StepClock() : m_mainThread(std::this_thread::get_id()) {}
  unsigned long Ticks() override;
  void Sleep(unsigned) override {}  // time moves with the frames only
  void NextFrame();                 // the frame loop's hook, once per frame
  uint32_t GetFrame() const { return m_frame.load(); }

 private:
  std::thread::id m_mainThread;
  std::atomic<uint32_t> m_frame{0};
  std::atomic<uint32_t> m_reads{0};
};
