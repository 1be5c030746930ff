#include "GraphicsFixture.h"

#include <fstream>
#include <vector>

#include "base/system.h"
#include "../support/GoldenImage.h"
#include "../support/HeadlessGpu.h"
#include "graphics/Graphics.h"
#include "graphics/Texture.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace gfxtest {

bool HeadlessGpuAvailable() { return testsupport::HeadlessGpuAvailable(); }

::testing::AssertionResult RgbNear(uint32_t actual, uint32_t expected, int tolerance) {
  return testsupport::RgbNear(actual, expected, tolerance);
}

void GraphicsTest::SetUp() {
  if (!HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  std::string pattern = (std::filesystem::temp_directory_path() / "quillane_gfx_XXXXXX").string();
  m_dir = mkdtemp(pattern.data());
  base::sys::GetSystemInfo() = sysinfo::cl_SysInfo();
  m_system = std::make_unique<base::cl_System>();
  m_system->SetUserDataPath(m_dir.string().c_str());
  std::ofstream(m_dir / "config.xml") << "<Config><Display Fullscreen=\"0\" Width=\"" << kWidth << "\" Height=\""
                                      << kHeight << "\" " << DisplayAttributes()
                                      << "/><Localization Language=\"English\"/></Config>";
  ASSERT_TRUE(m_system->LoadConfig("config.xml"));
  m_system->RegisterPlatform(win32dx9::CreatePlatform(gpu::Backend::Headless));
  gfx::RegisterGraphics();
  gfx::cl_Texture::ResetLowResFlag();
  ASSERT_TRUE(m_system->StartUp());
}

void GraphicsTest::TearDown() {
  if (m_system) m_system->ShutDown();
  m_system.reset();
  win32dx9::GraphicsServices() = win32dx9::st_GraphicsServices();
  win32dx9::PlatformServices().RegisterResourceTypes = nullptr;
  gfx::cl_Texture::ResetLowResFlag();
  if (!m_dir.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
}

bool GraphicsTest::BeginFrame() { return win32dx9::cl_DX9GraphicsDevice::GetInstance()->BeginFrame(); }
void GraphicsTest::EndFrame() { win32dx9::cl_DX9GraphicsDevice::GetInstance()->EndFrame(); }
gpu::Device* GraphicsTest::Device() const { return win32dx9::GetD3DDevice(); }

uint32_t GraphicsTest::Pixel(int x, int y) { return BackBufferPixel(x, y); }

uint32_t BackBufferPixel(int x, int y) {
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  if (!device->LockBackBuffer()) return 0xDEADBEEF;
  const auto* row = static_cast<const unsigned char*>(device->GetLockedBits()) + y * device->GetLockedPitch();
  const uint32_t value = reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFFu;
  device->UnlockBackBuffer();
  return value;
}

::testing::AssertionResult GraphicsTest::MatchesGolden(const std::string& name) {
  std::vector<uint32_t> frame(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) frame[static_cast<size_t>(y) * kWidth + x] = Pixel(x, y);
  return testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/" + name + ".png", std::move(frame),
                                       kWidth, kHeight);
}

std::string GraphicsTest::ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

gfx::cl_Texture* GraphicsTest::SolidTexture(int w, int h, uint32_t colour) {
  base::cl_Bitmap32 bitmap;
  bitmap.Create(w, h);
  for (int i = 0; i < bitmap.NumPixels(); ++i) bitmap.GetPixels()[i] = base::Color32(colour);
  auto* texture = new gfx::cl_Texture;
  EXPECT_TRUE(texture->CreateFromBitmap(&bitmap, 0, 0));
  return texture;
}

}  // namespace gfxtest
