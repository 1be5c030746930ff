#include "shell_test_support.h"

#include <cstdlib>

#include "win32dx9/SysInfo.h"
#include "../support/HeadlessGpu.h"
#include "../support/ScratchFolder.h"

namespace shelltest {

bool HeadlessGpuAvailable() { return testsupport::HeadlessGpuAvailable(); }

void ShellTest::SetUp() {
  if (!HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  m_dir = testsupport::MakeScratchFolder("quillane_shell");
  sysinfo::cl_SysInfo& info = base::sys::GetSystemInfo();
  info = sysinfo::cl_SysInfo();
  m_system = std::make_unique<base::cl_System>();
  m_system->SetUserDataPath(m_dir.string().c_str());
  m_platform = win32dx9::CreatePlatform(gpu::Backend::Headless);
  m_system->RegisterPlatform(m_platform);
}

void ShellTest::TearDown() {
  if (m_system) m_system->ShutDown();
  m_system.reset();
  if (!m_dir.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
}

void ShellTest::Configure(const std::string& config) {
  std::ofstream(m_dir / "config.xml") << config;
  ASSERT_TRUE(m_system->LoadConfig("config.xml"));
}

void ShellTest::Start() { ASSERT_TRUE(m_system->StartUp()); }

std::string ShellTest::UserFile(const std::string& name) const {
  std::ifstream in(m_dir / name);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace shelltest
