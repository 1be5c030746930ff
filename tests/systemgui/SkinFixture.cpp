#include "SkinFixture.h"

#include <fstream>

#include "../support/GoldenImage.h"
#include "../support/HeadlessGpu.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/DXFont.h"
#include "graphics/gfx.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace skintest {

base::ICMD Cmd(int type, int x, int y, int key) {
  base::ICMD c;
  c.type = static_cast<uint8_t>(type);
  c.mouseX = static_cast<uint16_t>(x);
  c.mouseY = static_cast<uint16_t>(y);
  c.key = static_cast<uint8_t>(key);
  return c;
}

void SkinTest::SetUp() {
  if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  std::string pattern = (std::filesystem::temp_directory_path() / "quillane_skin_XXXXXX").string();
  m_dir = mkdtemp(pattern.data());
  base::sys::GetSystemInfo() = sysinfo::cl_SysInfo();
  m_system = std::make_unique<base::cl_System>();
  m_system->SetUserDataPath(m_dir.string().c_str());
  std::ofstream(m_dir / "config.xml") << "<Config><Display Fullscreen=\"0\" Width=\"" << kWidth << "\" Height=\""
                                      << kHeight << "\"/><Localization Language=\"English\"/></Config>";
  ASSERT_TRUE(m_system->LoadConfig("config.xml"));
  m_system->RegisterPlatform(win32dx9::CreatePlatform(gpu::Backend::Headless));
  gfx::RegisterGraphics();
  ASSERT_TRUE(m_system->StartUp());
  m_font = std::make_unique<gfx::cl_DXFont>();
  m_font->SetSize(12.0f);
  m_font->CreateD3DFont("DejaVu Sans", true);
  gfx::SetFont(m_font.get());
  m_gui = new win32dx9::cl_SystemGUI;
  m_gui->m_Rect = {0, 0, float(kWidth), float(kHeight)};
  base::g_pGUI = m_gui;
  base::g_CaretBlink = 0;
}

void SkinTest::TearDown() {
  if (m_inFrame) EndFrame();
  delete m_gui;
  m_gui = nullptr;
  m_font.reset();
  if (m_system) m_system->ShutDown();
  m_system.reset();
  win32dx9::GraphicsServices() = win32dx9::st_GraphicsServices();
  win32dx9::PlatformServices().RegisterResourceTypes = nullptr;
  if (!m_dir.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
}

void SkinTest::RenderFrame() {
  if (m_inFrame) EndFrame();
  m_frame.clear();
  m_inFrame = win32dx9::cl_DX9GraphicsDevice::GetInstance()->BeginFrame();
  ASSERT_TRUE(m_inFrame);
  gfx::Begin2D();
  gfx::FillRect(0, 0, kWidth, kHeight, 0xFF203040u);
  gfx::SetBlendAlpha(true);
  m_gui->Render(0, 0);
}

void SkinTest::EndFrame() {
  win32dx9::cl_DX9GraphicsDevice::GetInstance()->EndFrame();
  m_inFrame = false;
}

uint32_t SkinTest::Pixel(int x, int y) {
  // Read the whole buffer once per frame: a lock per pixel would make the scans slow.
  if (m_frame.empty()) {
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    if (!device->LockBackBuffer()) return 0xDEADBEEF;
    m_frame.resize(static_cast<size_t>(kWidth) * kHeight);
    for (int row = 0; row < kHeight; ++row) {
      const auto* bits = reinterpret_cast<const uint32_t*>(static_cast<const unsigned char*>(device->GetLockedBits()) +
                                                           row * device->GetLockedPitch());
      for (int col = 0; col < kWidth; ++col) m_frame[static_cast<size_t>(row) * kWidth + col] = bits[col] & 0xFFFFFFu;
    }
    device->UnlockBackBuffer();
  }
  if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return 0xDEADBEEF;
  return m_frame[static_cast<size_t>(y) * kWidth + x];
}

::testing::AssertionResult SkinTest::MatchesGolden(const std::string& name) {
  Pixel(0, 0);
  return testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/" + name + ".png", m_frame, kWidth,
                                       kHeight);
}

}  // namespace skintest
