// A headless device for golden tests, and small helpers to draw and read pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gpu/Device.h"

namespace gputest {

// One screen-space vertex: position with rhw, colour, one texture coordinate set.
struct ScreenVertex {
  float x, y, z, rhw;
  uint32_t color;
  float u, v;
};
inline constexpr uint32_t kScreenFvf = gpu::fvf::XYZRHW | gpu::fvf::Diffuse | gpu::fvf::Tex1;

class GpuTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kSize = 32;

  void SetUp() override;
  void TearDown() override;

  // A quad from (x1, y1) to (x2, y2) in screen pixels, drawn as a triangle list.
  void DrawQuad(float x1, float y1, float x2, float y2, uint32_t color = 0xFFFFFFFF, float u1 = 0, float v1 = 0,
                float u2 = 1, float v2 = 1);
  // The current render target's pixels, 0xAARRGGBB, top row first.
  std::vector<uint32_t> ReadTarget();
  uint32_t Pixel(uint32_t x, uint32_t y);
  uint32_t targetWidth_ = 0;  // of the last ReadTarget
  // A managed A8R8G8B8 texture from pixels (one level unless `levels` says more; level data
  // beyond the first is filled by `fill` per level).
  gpu::Texture* MakeTexture(uint32_t w, uint32_t h, const std::vector<uint32_t>& pixels, uint32_t levels = 1);

  std::unique_ptr<gpu::System> system_;
  gpu::Device* device_ = nullptr;
  uint32_t width_ = kSize, height_ = kSize;
};

// Channel-wise comparison with a tolerance, printing both colours on failure.
::testing::AssertionResult ColorNear(uint32_t actual, uint32_t expected, int tolerance);

}  // namespace gputest
