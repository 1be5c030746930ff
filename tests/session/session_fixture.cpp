#include "session_fixture.h"

#include <unistd.h>

#include <fstream>

#include "../support/HeadlessGpu.h"
#include "KRX/ScriptSystem.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/settings/TweakSettings.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace sessiontest {
namespace {

std::vector<std::string> g_log;

bool Capture(const char* text) {
  g_log.emplace_back(text);
  return true;
}
void Quiet(const char*) {}

}  // namespace

void SessionTest::SetUp() {
  if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  std::string pattern = (std::filesystem::temp_directory_path() / "quillane_session_XXXXXX").string();
  m_dir = mkdtemp(pattern.data());
  m_cwd = std::filesystem::current_path();
  std::filesystem::current_path(m_dir);
  g_log.clear();
  base::sys::AddOutputCallback(&Capture);
  base::sys::SetDebuggerOutput(&Quiet);
  // Script output reaches the log, so tests read what the scripts did.
  m_warningLevel = Debug_ScriptWarningLevel;
  Debug_ScriptWarningLevel = 1;
}

void SessionTest::TearDown() {
  if (m_system) m_system->ShutDown();
  m_system.reset();
  KRX::ScriptSystem::Shutdown();
  win32dx9::GraphicsServices() = win32dx9::st_GraphicsServices();
  win32dx9::PlatformServices().RegisterResourceTypes = nullptr;
  base::sys::RemoveOutputCallback(&Capture);
  base::sys::SetDebuggerOutput(nullptr);
  Debug_ScriptWarningLevel = m_warningLevel;
  if (!m_cwd.empty()) std::filesystem::current_path(m_cwd);
  if (!m_dir.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
}

void SessionTest::Write(const std::string& path, const std::string& text) {
  const std::filesystem::path file = m_dir / path;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

void SessionTest::StartFrame(const std::string& extraConfig) {
  base::sys::GetSystemInfo() = sysinfo::cl_SysInfo();
  m_system = std::make_unique<base::cl_System>();
  m_system->SetUserDataPath(m_dir.string().c_str());
  Write("config.xml", "<Config><Display Fullscreen=\"0\" Width=\"" + std::to_string(kWidth) + "\" Height=\"" +
                          std::to_string(kHeight) + "\"/><Localization Language=\"English\"/>" + extraConfig +
                          "</Config>");
  ASSERT_TRUE(m_system->LoadConfig("config.xml"));
  m_system->RegisterPlatform(win32dx9::CreatePlatform(gpu::Backend::Headless));
  gfx::RegisterGraphics();
  ASSERT_TRUE(m_system->StartUp());
  m_frame = cl_GameFrame::Create();
  m_system->AddModule(m_frame);
  ASSERT_TRUE(m_system->cl_Module::StartUp());
}

void SessionTest::Step(float dt) {
  m_time += dt;
  m_system->Update(m_time, dt);
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  ASSERT_TRUE(device->BeginFrame());
  m_system->Render();
  m_pixels.assign(static_cast<size_t>(kWidth) * kHeight, 0);
  if (device->LockBackBuffer()) {
    for (int row = 0; row < kHeight; ++row) {
      const auto* bits = reinterpret_cast<const uint32_t*>(static_cast<const unsigned char*>(device->GetLockedBits()) +
                                                           row * device->GetLockedPitch());
      for (int col = 0; col < kWidth; ++col) m_pixels[static_cast<size_t>(row) * kWidth + col] = bits[col] & 0xFFFFFFu;
    }
    device->UnlockBackBuffer();
  }
  device->EndFrame();
}

bool SessionTest::StepUntilState(const std::string& name, int limit) {
  for (int i = 0; i < limit && StateName() != name; ++i) Step();
  return StateName() == name;
}

uint32_t SessionTest::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || m_pixels.empty()) return 0xDEADBEEF;
  return m_pixels[static_cast<size_t>(y) * kWidth + x];
}

std::string SessionTest::StateName() const { return m_frame ? m_frame->GetStateName() : ""; }

std::string SessionTest::Log() const {
  std::string all;
  for (const std::string& line : g_log) all += line;
  return all;
}

std::vector<std::string> SessionTest::LinesAfter(const std::string& prefix) const {
  std::vector<std::string> lines;
  std::string all = Log();
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    const std::string line = all.substr(start, end - start);
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line.substr(prefix.size()));
    start = end + 1;
  }
  return lines;
}

}  // namespace sessiontest
