#include "VideoFixture.h"

#include <fstream>

#include "base/system.h"
#include "../support/HeadlessGpu.h"
#include "graphics/Graphics.h"
#include "graphics/video/VideoFunctions.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace videotest {

namespace {

std::vector<std::string> g_log;

bool KeepLine(const char* text) {
  g_log.emplace_back(text);
  return true;
}

}  // namespace

void PaintGradient(int index, uint32_t* pixels, int width, int height) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t r = static_cast<uint32_t>(40 + x * 160 / width);
      const uint32_t g = static_cast<uint32_t>(60 + y * 140 / height);
      const uint32_t b = static_cast<uint32_t>((80 + index * 9) % 200 + 20);
      pixels[y * width + x] = 0xFF000000u | r << 16 | g << 8 | b;
    }
}

void VideoTest::SetUp() {
  if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  ASSERT_TRUE(m_engine.MakeFolder("video"));
  m_dir = m_engine.GetDir();
  g_log.clear();
  base::sys::AddOutputCallback(KeepLine);
  base::sys::SetClock(&m_clock);
  ASSERT_TRUE(m_engine.Prepare(WindowWidth(), WindowHeight()));
  m_system = m_engine.GetSystem();
  m_player = new gfx::cl_VideoPlayer;
  m_system->AddModule(m_player);
  ASSERT_TRUE(m_engine.StartUp());
}

void VideoTest::TearDown() {
  m_engine.ShutDownRoot();
  m_system = nullptr;
  platform::video::SetSoundOutput(nullptr);
  base::sys::SetClock(nullptr);
  base::sys::RemoveOutputCallback(KeepLine);
  m_engine.Stop();
}

std::string VideoTest::MakeClip(const std::string& name, const platform::video::st_ClipSettings& settings,
                                const platform::video::PaintFrame& paint, const platform::video::MakeSound& sound) {
  const std::string path = Path(name);
  std::string error;
  const int w = settings.width, h = settings.height;
  const platform::video::PaintFrame painter =
      paint ? paint : [w, h](int index, uint32_t* pixels) { PaintGradient(index, pixels, w, h); };
  EXPECT_TRUE(platform::video::WriteClip(path, settings, painter, sound, &error)) << error;
  return path;
}

gfx::cl_BinkShaderCodecNoThread* VideoTest::Codec() const {
  return static_cast<gfx::cl_BinkShaderCodecNoThread*>(m_player->Codec());
}

void VideoTest::Step(unsigned ms) {
  m_clock.Advance(ms);
  m_player->Update(0.0f, static_cast<float>(ms) / 1000.0f);
}

bool VideoTest::LogHas(const std::string& text) const {
  for (const std::string& line : g_log)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

bool VideoTest::BeginFrame() { return win32dx9::cl_DX9GraphicsDevice::GetInstance()->BeginFrame(); }
void VideoTest::EndFrame() { win32dx9::cl_DX9GraphicsDevice::GetInstance()->EndFrame(); }

uint32_t VideoTest::Pixel(int x, int y) { return gfxtest::BackBufferPixel(x, y); }

}  // namespace videotest
