// A root module started on the headless platform with the graphics library registered, inside
// a scratch user folder: tests draw between BeginFrame and EndFrame and read back-buffer pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "base/Imaging.h"
#include "base/app/SystemRoot.h"
#include "platform/gpu/Device.h"
#include "support/HeadlessEngine.h"

namespace gfx {
class cl_Texture;
}

namespace gfxtest {

class GraphicsTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 64, kHeight = 48;

  void SetUp() override;
  void TearDown() override;
  // Extra attributes of the "Display" element for the next SetUp (e.g. "LowRes=\"1\"").
  virtual std::string DisplayAttributes() const { return ""; }

  bool BeginFrame();
  void EndFrame();
  gpu::Device* Device() const;
  // Back-buffer pixel as 0x00RRGGBB (the back buffer has no alpha); inside a frame.
  uint32_t Pixel(int x, int y);
  // A texture of one colour (0xAARRGGBB) made from a bitmap; the caller deletes it.
  gfx::cl_Texture* SolidTexture(int w, int h, uint32_t colour);
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }
  // The whole file as bytes (empty when it cannot be read).
  static std::string ReadBytes(const std::string& path);
  // The picture as an uncompressed DDS file in the scratch folder; its path, empty when it could
  // not be written.
  std::string WriteDdsFile(const std::string& name, const base::cl_Bitmap32& picture) const;
  // The back buffer (inside a frame) against golden/<name>.png: mean difference at most 3 per
  // channel and at most 1 % of pixels off by more than 24. A missing golden, or
  // QUILLANE_UPDATE_GOLDEN=1, writes it instead (review it in git diff).
  ::testing::AssertionResult MatchesGolden(const std::string& name);

  testsupport::cl_HeadlessEngine m_engine;
  std::filesystem::path m_dir;          // the engine's scratch folder
  base::cl_System* m_system = nullptr;  // the engine's root module
};

bool HeadlessGpuAvailable();
// Channel-wise comparison of the red, green and blue bytes with a tolerance.
// Back-buffer pixel of the running device as 0x00RRGGBB; inside a frame.
uint32_t BackBufferPixel(int x, int y);
::testing::AssertionResult RgbNear(uint32_t actual, uint32_t expected, int tolerance);

}  // namespace gfxtest
