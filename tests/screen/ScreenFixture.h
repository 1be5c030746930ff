// The game's screen code on the video tests' headless root module (graphics, a video player and
// a stepped clock), run inside its scratch folder, which is also the application folder: skin
// pictures and resource lists are written there and loaded by label.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "../video/VideoFixture.h"

namespace screentest {

constexpr uint32_t kWhite = 0xFFFFFFu;

class ScreenTest : public videotest::VideoTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  int WindowWidth() const override { return 320; }
  int WindowHeight() const override { return 200; }

  // An uncompressed 32-bit TGA of one colour (0xAARRGGBB) in the scratch folder.
  void WriteTga(const std::string& name, int w, int h, uint32_t colour);
  // Loads a resource list whose children are given as XML text.
  void AddResources(const std::string& children);
  // Clears the back buffer to colour and sets up 2D drawing; false without a frame.
  bool BeginDrawing(uint32_t colour);
  // The whole back buffer as 0x00RRGGBB rows, read at once; inside a frame.
  std::vector<uint32_t> ReadFrame();
  // Whether a pixel of (x0, y0)–(x1, y1) of frame differs from background by more than 8.
  bool AnyInk(const std::vector<uint32_t>& frame, int x0, int y0, int x1, int y1, uint32_t background) const;

  std::filesystem::path m_previousDir;
};

// a over b at alpha (0..255), per channel, as the blending unit computes it.
uint32_t Over(uint32_t a, uint32_t b, int alpha);
using videotest::RgbNear;

}  // namespace screentest
