#include "frame_fixture.h"

#include <fstream>

#include "../support/HeadlessGpu.h"
#include "base/system.h"
#include "quillane/frame/GameFrame.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace frametest {
namespace {

std::vector<std::string> g_log;

bool Capture(const char* text) {
  g_log.emplace_back(text);
  return true;
}
void Quiet(const char*) {}

}  // namespace

base::ICMD Mouse(int type, int x, int y) {
  base::ICMD c;
  c.type = static_cast<uint8_t>(type);
  c.mouseX = static_cast<uint16_t>(x);
  c.mouseY = static_cast<uint16_t>(y);
  return c;
}

void FrameTest::SetUp() {
  if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  ASSERT_TRUE(m_engine.MakeFolder("frame"));
  m_dir = m_engine.GetDir();
  g_log.clear();
  base::sys::AddOutputCallback(&Capture);
  base::sys::SetDebuggerOutput(&Quiet);
}

void FrameTest::StartFrame(const std::string& extraConfig) {
  ASSERT_TRUE(m_engine.Start(kWidth, kHeight, "", extraConfig));
  m_system = m_engine.GetSystem();
  m_frame = cl_GameFrame::Create();
  m_system->AddModule(m_frame);
  ASSERT_TRUE(m_system->cl_Module::StartUp());
}

void FrameTest::TearDown() {
  m_engine.Stop();
  m_system = nullptr;
  base::sys::RemoveOutputCallback(&Capture);
  base::sys::SetDebuggerOutput(nullptr);
}

void FrameTest::Input(base::ICMD cmd) { m_system->ProcessInput(cmd); }

void FrameTest::Step(float dt) {
  m_time += dt;
  m_system->Update(m_time, dt);
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  ASSERT_TRUE(device->BeginFrame());
  m_system->Render();
  m_pixels = testsupport::ReadBackBuffer(0, 0, kWidth, kHeight);
  if (m_pixels.empty()) m_pixels.assign(static_cast<size_t>(kWidth) * kHeight, 0);
  device->EndFrame();
}

uint32_t FrameTest::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || m_pixels.empty()) return 0xDEADBEEF;
  return m_pixels[static_cast<size_t>(y) * kWidth + x];
}

std::string FrameTest::Log() const {
  std::string all;
  for (const std::string& line : g_log) all += line;
  return all;
}

std::string FrameTest::StateName() const { return m_frame ? m_frame->GetStateName() : ""; }

}  // namespace frametest
