#include "ScreenFixture.h"

#include <fstream>

#include "base/system.h"
#include "graphics/gfx.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace screentest {

void ScreenTest::SetUp() {
  VideoTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  m_previousDir = std::filesystem::current_path();
  std::filesystem::current_path(m_dir);
}

void ScreenTest::TearDown() {
  if (!m_previousDir.empty()) std::filesystem::current_path(m_previousDir);
  VideoTest::TearDown();
}

void ScreenTest::WriteTga(const std::string& name, int w, int h, uint32_t colour) {
  unsigned char header[18] = {};
  header[2] = 2;
  header[12] = static_cast<unsigned char>(w), header[13] = static_cast<unsigned char>(w >> 8);
  header[14] = static_cast<unsigned char>(h), header[15] = static_cast<unsigned char>(h >> 8);
  header[16] = 32, header[17] = 0x28;
  const std::filesystem::path path = m_dir / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  for (int i = 0; i < w * h; ++i) out.write(reinterpret_cast<const char*>(&colour), 4);
}

void ScreenTest::AddResources(const std::string& children) {
  std::ofstream(m_dir / "test_resources.xml") << "<Resources>" << children << "</Resources>";
  ASSERT_TRUE(base::sys::AddResources("test_resources.xml"));
}

bool ScreenTest::BeginDrawing(uint32_t colour) {
  if (!BeginFrame()) return false;
  gfx::ClearScreen(colour);
  gfx::Begin2D();
  return true;
}

std::vector<uint32_t> ScreenTest::ReadFrame() {
  const int w = WindowWidth(), h = WindowHeight();
  std::vector<uint32_t> frame = testsupport::ReadBackBuffer(0, 0, w, h);
  if (frame.empty()) frame.assign(static_cast<size_t>(w) * h, 0xDEADBEEFu);
  return frame;
}

bool ScreenTest::AnyInk(const std::vector<uint32_t>& frame, int x0, int y0, int x1, int y1,
                        uint32_t background) const {
  const int w = WindowWidth(), h = WindowHeight();
  for (int y = y0 < 0 ? 0 : y0; y < y1 && y < h; ++y)
    for (int x = x0 < 0 ? 0 : x0; x < x1 && x < w; ++x)
      if (!RgbNear(frame[static_cast<size_t>(y) * w + x], background, 8)) return true;
  return false;
}

uint32_t Over(uint32_t a, uint32_t b, int alpha) {
  uint32_t out = 0;
  for (int shift : {16, 8, 0}) {
    const int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= static_cast<uint32_t>((ca * alpha + cb * (255 - alpha)) / 255) << shift;
  }
  return out;
}

}  // namespace screentest
