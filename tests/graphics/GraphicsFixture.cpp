#include "GraphicsFixture.h"

#include <fstream>
#include <vector>

#include "../support/GoldenImage.h"
#include "../support/HeadlessGpu.h"
#include "base/data/Binary.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/TextureCompression.h"

namespace gfxtest {

bool HeadlessGpuAvailable() { return testsupport::HeadlessGpuAvailable(); }

::testing::AssertionResult RgbNear(uint32_t actual, uint32_t expected, int tolerance) {
  return testsupport::RgbNear(actual, expected, tolerance);
}

void GraphicsTest::SetUp() {
  if (!HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  ASSERT_TRUE(m_engine.MakeFolder("gfx"));
  m_dir = m_engine.GetDir();
  gfx::cl_Texture::ResetLowResFlag();
  ASSERT_TRUE(m_engine.Start(kWidth, kHeight, DisplayAttributes()));
  m_system = m_engine.GetSystem();
}

void GraphicsTest::TearDown() {
  m_engine.Stop();
  m_system = nullptr;
  gfx::cl_Texture::ResetLowResFlag();
}

bool GraphicsTest::BeginFrame() { return win32dx9::cl_DX9GraphicsDevice::GetInstance()->BeginFrame(); }
void GraphicsTest::EndFrame() { win32dx9::cl_DX9GraphicsDevice::GetInstance()->EndFrame(); }
gpu::Device* GraphicsTest::Device() const { return win32dx9::GetD3DDevice(); }

uint32_t GraphicsTest::Pixel(int x, int y) { return BackBufferPixel(x, y); }

uint32_t BackBufferPixel(int x, int y) { return testsupport::BackBufferPixel(x, y); }

::testing::AssertionResult GraphicsTest::MatchesGolden(const std::string& name) {
  std::vector<uint32_t> frame = testsupport::ReadBackBuffer(0, 0, kWidth, kHeight);
  if (frame.empty()) frame.assign(static_cast<size_t>(kWidth) * kHeight, 0xDEADBEEFu);
  return testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/" + name + ".png", std::move(frame),
                                       kWidth, kHeight);
}

std::string GraphicsTest::ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string GraphicsTest::WriteDdsFile(const std::string& name, const base::cl_Bitmap32& picture) const {
  base::Binary dds;
  if (!gfx::CompressToDDS(dds, &picture, static_cast<float>(picture.Width()), static_cast<float>(picture.Height()),
                          true, false, false))
    return "";
  const std::string path = Path(name);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(dds.get_buffer()), dds.size());
  return out.good() ? path : "";
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
