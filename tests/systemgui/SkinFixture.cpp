#include "SkinFixture.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "../support/HeadlessGpu.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/DXFont.h"
#include "graphics/gfx.h"
#include "platform/gpu/Png.h"
#include "platform/gpux/TextureLoad.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace skintest {

::testing::AssertionResult RgbNear(uint32_t actual, uint32_t expected, int tolerance) {
  for (int shift : {16, 8, 0}) {
    const int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
    if (std::abs(a - e) > tolerance)
      return ::testing::AssertionFailure() << std::hex << "0x" << (actual & 0xFFFFFF) << " is not within "
                                           << std::dec << tolerance << " of 0x" << std::hex << (expected & 0xFFFFFF);
  }
  return ::testing::AssertionSuccess();
}

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
  std::vector<uint32_t> frame(m_frame);
  for (uint32_t& p : frame) p |= 0xFF000000u;
  const std::string golden = std::string(QUILLANE_TEST_DIR) + "/golden/" + name + ".png";
  const char* update = std::getenv("QUILLANE_UPDATE_GOLDEN");
  if ((update && std::string(update) == "1") || !std::filesystem::exists(golden)) {
    std::filesystem::create_directories(std::filesystem::path(golden).parent_path());
    if (!gpu::WritePng(golden.c_str(), kWidth, kHeight, frame.data(), kWidth * 4, false))
      return ::testing::AssertionFailure() << "cannot write " << golden;
    return ::testing::AssertionSuccess() << "wrote " << golden;
  }
  std::vector<uint8_t> bytes;
  gpux::Image image;
  if (!gpux::ReadWholeFile(golden.c_str(), &bytes) ||
      !gpux::DecodeImage(bytes.data(), bytes.size(), golden.c_str(), &image) || image.width != uint32_t(kWidth) ||
      image.height != uint32_t(kHeight))
    return ::testing::AssertionFailure() << "unreadable golden " << golden;
  long sum = 0;
  int far = 0;
  for (size_t i = 0; i < frame.size(); ++i) {
    int worst = 0;
    for (int shift : {16, 8, 0}) {
      const int d = std::abs(int((frame[i] >> shift) & 0xFF) - int((image.pixels[i] >> shift) & 0xFF));
      sum += d;
      worst = std::max(worst, d);
    }
    if (worst > 24) ++far;
  }
  const double mean = double(sum) / (3.0 * double(frame.size()));
  if (mean > 3.0 || far * 100 > int(frame.size()))
    return ::testing::AssertionFailure() << name << ": mean difference " << mean << ", " << far << " pixels far off";
  return ::testing::AssertionSuccess();
}

}  // namespace skintest
