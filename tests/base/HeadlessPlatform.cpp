// The headless platform's devices and frame loop.
#include "base/app/HeadlessPlatform.h"

#include <algorithm>
#include <cstdint>

#include "base/app/Clock.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"

namespace base {

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
    : m_input(std::make_unique<cl_HeadlessInputDevice>()),
      m_graphics(std::make_unique<cl_HeadlessGraphicsDevice>()) {}

cl_HeadlessPlatform::~cl_HeadlessPlatform() { ShutDown(); }

bool cl_HeadlessPlatform::StartUp() {
  m_started = true;
  const Variant* localization = sys::GetConfig().get_element("Localization");
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
  if (m_frameHook) m_frameHook(m_framesRendered);
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
  unsigned long last = sys::Ticks();
  while (!m_system->GetQuit()) {
    if (!PumpMessages()) break;
    const unsigned long now = sys::Ticks();
    const float dt = static_cast<float>(static_cast<uint32_t>(now - last)) / 1000.0f;
    last = now;
    m_time += dt;
    m_input->Update(m_time, dt);
    ICMD cmd;
    while (m_input->PopCommand(cmd)) m_system->ProcessInput(cmd);
    m_system->Update(m_time, dt);
    if (m_graphics->BeginFrame()) {
      m_system->Render();
      m_graphics->EndFrame();
      m_system->CountFrame();
      ++m_framesRendered;
      if (m_frameLimit > 0 && m_framesRendered >= m_frameLimit) m_system->SetQuit(true);
    }
    sys::Sleep(1);
  }
}

}  // namespace base
