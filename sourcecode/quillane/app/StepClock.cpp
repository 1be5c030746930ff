// The fixed-step clock.
#include "quillane/app/StepClock.h"

#include <algorithm>

unsigned long cl_StepClock::Ticks() {
  const uint32_t base = m_frame.load() * kFrameMs;
  // Other threads (video decoding) read the frame's start: their reads must not change what the
  // main thread sees.
  if (std::this_thread::get_id() != m_mainThread) return base;
  const uint32_t reads = m_reads.fetch_add(1);
  return base + std::min<uint32_t>(reads * kReadMs, kFrameMs - 1);
}

void cl_StepClock::NextFrame() {
  m_frame.fetch_add(1);
  m_reads.store(0);
}
