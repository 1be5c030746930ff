// The screen written as PNG: encoded in memory and replaced as a whole, so a full disk keeps the
// previous screenshot and says so.
#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <iterator>
#include <string>

#include "shell_test_support.h"
#include "win32dx9/ClearScreen.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace shelltest {
namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Log lines seen while alive.
std::vector<std::string> g_lines;
bool Collect(const char* text) {
  g_lines.emplace_back(text);
  return true;
}

class Screenshot : public ShellTest {};

TEST_F(Screenshot, FullDiskKeepsThePreviousImage) {
  StepClock clock(0, 16);
  Configure(kSmallDisplay);
  m_system->AddModule(new win32dx9::cl_ClearScreen(0xFF2060C0u));
  Start();
  m_platform->SetFrameLimit(1);
  m_system->Run();
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  ASSERT_NE(device, nullptr);

  const std::string path = (m_dir / "shot.png").string();
  ASSERT_TRUE(device->SaveScreenPng(path.c_str()));
  const std::string first = Read(path);
  ASSERT_GT(first.size(), 16u);
  EXPECT_EQ(first.substr(1, 3), "PNG");

  // No file of this process may grow past 16 bytes: writes fail as on a full disk.
  g_lines.clear();
  base::sys::AddOutputCallback(Collect);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  sighandler_t oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 16;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool written = device->SaveScreenPng(path.c_str());
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  base::sys::RemoveOutputCallback(Collect);

  EXPECT_FALSE(written);
  EXPECT_EQ(Read(path), first);
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_EQ(g_lines[0], "ERROR: file '" + path + "': not written, the previous contents are kept (File too large)\n");
}

}  // namespace
}  // namespace shelltest
