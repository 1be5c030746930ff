// The frame loop's common pass.
#include "base/app/FrameStep.h"

#include "base/app/Clock.h"
#include "base/app/Device.h"
#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"

namespace base {

void cl_FrameStep::Start() {
  m_last = static_cast<uint32_t>(sys::Ticks());
  m_acc = 0.0;
  m_dt = 0.0f;
}

void cl_FrameStep::Run(cl_System& system, i_InputDevice* input, i_GraphicsDevice* graphics) {
  // The difference of two 32-bit tick counts survives the counter's wrap.
  const uint32_t now = static_cast<uint32_t>(sys::Ticks());
  m_dt = static_cast<float>(static_cast<double>(now - m_last) / 1000.0);
  m_last = now;
  m_acc += m_dt;
  if (m_timeCap > 0.0 && m_acc > m_timeCap) m_acc = m_timeCap;
  const float time = GetTime();

  if (input) {
    input->Update(time, m_dt);
    system.BeginInputPoll(m_dt);  // the input came in over the step just measured
    ICMD cmd;
    while (input->PopCommand(cmd)) system.ProcessInput(cmd);
  }
  system.Update(time, m_dt);
  // The screen would show what it shows: nothing to draw or present.
  if (system.TakeFrameHold()) return;
  if (graphics && graphics->BeginFrame()) {
    system.Render();
    graphics->EndFrame();
    system.CountFrame();
    ++m_framesRendered;
    if (m_frameLimit > 0 && m_framesRendered >= m_frameLimit) system.SetQuit(true);
  }
}

}  // namespace base
