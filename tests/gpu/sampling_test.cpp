// Texture sampling: point and bilinear filtering, wrap and clamp addressing, mip selection.
#include <algorithm>

#include "GpuFixture.h"

namespace gputest {
namespace {

using namespace gpu;

class SamplingTest : public GpuTest {
 protected:
  void SetUp() override {
    GpuTest::SetUp();
    if (!device_) return;
    device_->SetRenderState(rs::Lighting, 0);
    device_->SetRenderState(rs::ZEnable, 0);
    device_->SetRenderState(rs::CullMode, cull::None);
    device_->SetTextureStageState(0, tss::ColorOp, top::SelectArg1);
    device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  }
};

// A 2×2 texture: black, white / white, black.
std::vector<uint32_t> Checker() { return {0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000}; }

TEST_F(SamplingTest, PointFilterKeepsTexelsSharp) {
  Texture* t = MakeTexture(2, 2, Checker());
  device_->SetTexture(0, t);
  device_->SetSamplerState(0, ss::MagFilter, filter::Point);
  DrawQuad(-0.5f, -0.5f, 15.5f, 15.5f);  // 16×16 pixels, 8 per texel
  EXPECT_EQ(Pixel(7, 0), 0xFF000000u);
  EXPECT_EQ(Pixel(8, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(0, 8), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(8, 8), 0xFF000000u);
  device_->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(SamplingTest, BilinearFilterBlendsNeighbours) {
  Texture* t = MakeTexture(2, 2, {0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF});  // black | white columns
  device_->SetTexture(0, t);
  device_->SetSamplerState(0, ss::MagFilter, filter::Linear);
  device_->SetSamplerState(0, ss::AddressU, address::Clamp);
  DrawQuad(-0.5f, -0.5f, 15.5f, 15.5f);
  // Pixel x samples u = (x + 0.5) / 16; texel centres at u = 0.25 and 0.75.
  for (uint32_t x : {2u, 5u, 8u, 11u}) {
    const float u = (float(x) + 0.5f) / 16.0f;
    const float w = std::clamp((u - 0.25f) / 0.5f, 0.0f, 1.0f);
    const uint32_t g = uint32_t(w * 255.0f + 0.5f);
    EXPECT_TRUE(ColorNear(Pixel(x, 3), 0xFF000000u | g << 16 | g << 8 | g, 2)) << x;
  }
  EXPECT_EQ(Pixel(0, 3), 0xFF000000u);   // clamped at the left edge
  EXPECT_EQ(Pixel(15, 3), 0xFFFFFFFFu);  // and at the right
  device_->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(SamplingTest, WrapRepeatsAndClampStretchesEdge) {
  Texture* t = MakeTexture(2, 2, Checker());
  device_->SetTexture(0, t);
  // u, v from 0 to 2 over 16 pixels: with wrap the checker repeats every 8 pixels.
  DrawQuad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFF, 0, 0, 2, 2);
  EXPECT_EQ(Pixel(1, 1), 0xFF000000u);
  EXPECT_EQ(Pixel(5, 1), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(9, 1), 0xFF000000u);
  EXPECT_EQ(Pixel(13, 1), 0xFFFFFFFFu);
  device_->SetSamplerState(0, ss::AddressU, address::Clamp);
  device_->SetSamplerState(0, ss::AddressV, address::Clamp);
  DrawQuad(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFF, 0, 0, 2, 2);
  EXPECT_EQ(Pixel(1, 1), 0xFF000000u);
  EXPECT_EQ(Pixel(5, 1), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(13, 1), 0xFFFFFFFFu);  // past u = 1 the last column repeats
  EXPECT_EQ(Pixel(13, 13), 0xFF000000u);
  device_->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(SamplingTest, MipFilterSelectsLevelBySize) {
  // Levels of 16, 8, 4, 2, 1 texels, each a colour of its own.
  const uint32_t colours[5] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF};
  Texture* t = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 16, 0, 0, fmt::A8R8G8B8, pool::Managed, &t), kOk);
  ASSERT_EQ(t->GetLevelCount(), 5u);
  for (uint32_t level = 0; level < 5; ++level) {
    SurfaceDesc desc;
    t->GetLevelDesc(level, &desc);
    LockedRect locked;
    ASSERT_EQ(t->LockRect(level, &locked, nullptr, 0), kOk);
    for (uint32_t y = 0; y < desc.height; ++y)
      for (uint32_t x = 0; x < desc.width; ++x)
        static_cast<uint32_t*>(locked.bits)[y * uint32_t(locked.pitch) / 4 + x] = colours[level];
    t->UnlockRect(level);
  }
  device_->SetTexture(0, t);
  device_->SetSamplerState(0, ss::MinFilter, filter::Point);
  device_->SetSamplerState(0, ss::MipFilter, filter::Point);
  DrawQuad(-0.5f, -0.5f, 3.5f, 3.5f);  // 16 texels onto 4 pixels: level 2
  EXPECT_EQ(Pixel(1, 1), colours[2]);
  DrawQuad(-0.5f, 7.5f, 7.5f, 15.5f);  // onto 8 pixels: level 1
  EXPECT_EQ(Pixel(3, 11), colours[1]);
  device_->SetSamplerState(0, ss::MipFilter, filter::None);  // no mipmapping: the top level
  DrawQuad(-0.5f, -0.5f, 3.5f, 3.5f);
  EXPECT_EQ(Pixel(1, 1), colours[0]);
  device_->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(SamplingTest, FormatsSampleAsTheirChannels) {
  // X8R8G8B8 samples opaque whatever its fourth byte; A8 samples black with its alpha.
  Texture* x8 = nullptr;
  Texture* a8 = nullptr;
  ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, fmt::X8R8G8B8, pool::Managed, &x8), kOk);
  ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, fmt::A8, pool::Managed, &a8), kOk);
  LockedRect locked;
  x8->LockRect(0, &locked, nullptr, 0);
  *static_cast<uint32_t*>(locked.bits) = 0x00336699;
  x8->UnlockRect(0);
  a8->LockRect(0, &locked, nullptr, 0);
  *static_cast<uint8_t*>(locked.bits) = 0x80;
  a8->UnlockRect(0);
  Texture* target = nullptr;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, usage::RenderTarget, fmt::A8R8G8B8, pool::Default, &target), kOk);
  Surface* surface = nullptr;
  target->GetSurfaceLevel(0, &surface);
  device_->SetRenderTarget(0, surface);
  device_->SetTexture(0, x8);
  DrawQuad(-0.5f, -0.5f, 3.5f, 3.5f);
  EXPECT_EQ(Pixel(1, 1), 0xFF336699u);
  device_->SetTexture(0, a8);
  DrawQuad(-0.5f, -0.5f, 3.5f, 3.5f);
  EXPECT_EQ(Pixel(1, 1), 0x80000000u);
  device_->SetTexture(0, nullptr);
  surface->Release();
  target->Release();
  x8->Release();
  a8->Release();
}

}  // namespace
}  // namespace gputest
