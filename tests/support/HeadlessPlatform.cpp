// The test platform's devices and frame loop.
#include "support/HeadlessPlatform.h"

#include <algorithm>

#include "base/app/Clock.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"

namespace testsupport {

using base::ICMD;
namespace sys = base::sys;

// ---- graphics

bool cl_HeadlessGraphicsDevice::StartUp() {
  if (m_failStartUp) return false;
  const int w = sys::GetWindowWidth();
  const int h = sys::GetWindowHeight();
  m_width = w > 0 ? w : 1024;
  m_height = h > 0 ? h : 768;
  m_started = true;
  return true;
}

bool cl_HeadlessGraphicsDevice::ShutDown() {
  m_started = false;
  m_inFrame = false;
  return true;
}

bool cl_HeadlessGraphicsDevice::BeginFrame() {
  if (!m_started || m_inFrame) return false;
  m_inFrame = true;
  return true;
}

void cl_HeadlessGraphicsDevice::EndFrame() {
  if (!m_inFrame) return;
  m_inFrame = false;
  ++m_framesPresented;
}

// ---- input

void cl_HeadlessInputDevice::Update(float time, float) {
  m_time = time;
  while (!m_scheduled.empty() && m_scheduled.front().time <= time) {
    m_ready.push_back(m_scheduled.front().cmd);
    m_scheduled.pop_front();
  }
}

bool cl_HeadlessInputDevice::PopCommand(ICMD& cmd) {
  if (m_ready.empty()) return false;
  cmd = m_ready.front();
  m_ready.pop_front();
  return true;
}

void cl_HeadlessInputDevice::Push(const ICMD& cmd) { m_ready.push_back(cmd); }

void cl_HeadlessInputDevice::PushAt(float time, const ICMD& cmd) {
  // After every command of the same or an earlier time, so a script keeps its order.
  auto at = std::upper_bound(m_scheduled.begin(), m_scheduled.end(), time,
                             [](float t, const st_Scheduled& s) { return t < s.time; });
  m_scheduled.insert(at, st_Scheduled{time, cmd});
}

void cl_HeadlessInputDevice::SetKeyDown(int key, bool down) {
  if (down) {
    m_keysDown.insert(key);
  } else {
    m_keysDown.erase(key);
  }
}

// ---- platform

cl_HeadlessPlatform::cl_HeadlessPlatform()
    : m_input(std::make_unique<cl_HeadlessInputDevice>()), m_graphics(std::make_unique<cl_HeadlessGraphicsDevice>()) {
  m_step.SetTimeCap(0.0);  // tests script input and count time over several seconds
}

cl_HeadlessPlatform::~cl_HeadlessPlatform() { ShutDown(); }

bool cl_HeadlessPlatform::StartUp() {
  m_started = true;
  const base::Variant* localization = sys::GetConfig().get_element("Localization");
  if (!localization || !sys::InitTextsystem(*localization)) sys::Output("ERROR: Cannot initialize Textsystem\n");
  sys::Output("Headless platform started (no window, input from a queue)\n");
  return true;
}

void cl_HeadlessPlatform::ShutDown() {
  if (!m_started) return;
  m_started = false;
  sys::CleanupTextsystem();
  m_input->ShutDown();
  m_graphics->ShutDown();
}

void cl_HeadlessPlatform::ResizeWindow(int, int, int w, int h) {
  m_clientWidth = w;
  m_clientHeight = h;
}

bool cl_HeadlessPlatform::PumpMessages() {
  m_step.CallFrameHook();
  if (m_closeRequested) {
    m_closeRequested = false;
    // The quit confirmation keeps the window open; without one the window closes.
    if (!sys::CustomQuit()) {
      m_system->SetQuit(true);
      return false;
    }
  }
  return true;
}

void cl_HeadlessPlatform::Run() {
  if (!m_system) return;
  m_step.Start();
  while (!m_system->GetQuit()) {
    if (!PumpMessages()) break;
    m_step.Run(*m_system, m_input.get(), m_graphics.get());
    sys::Sleep(1);
  }
}

}  // namespace testsupport
