// Defaults, clears, the pixel-centre rule, culling and depth.
#include "GpuFixture.h"

namespace gputest {
namespace {

using namespace gpu;

TEST_F(GpuTest, StartsFromDocumentedDefaults) {
  EXPECT_EQ(device_->GetRenderState(rs::Lighting), 1u);
  EXPECT_EQ(device_->GetRenderState(rs::CullMode), cull::CCW);
  EXPECT_EQ(device_->GetRenderState(rs::SrcBlend), blend::One);
  EXPECT_EQ(device_->GetRenderState(rs::DestBlend), blend::Zero);
  EXPECT_EQ(device_->GetRenderState(rs::ZEnable), 1u);
  EXPECT_EQ(device_->GetTextureStageState(0, tss::ColorOp), top::Modulate);
  EXPECT_EQ(device_->GetTextureStageState(0, tss::ColorArg1), ta::Texture);
  EXPECT_EQ(device_->GetTextureStageState(0, tss::ColorArg2), ta::Current);
  EXPECT_EQ(device_->GetTextureStageState(0, tss::AlphaOp), top::SelectArg1);
  EXPECT_EQ(device_->GetTextureStageState(1, tss::ColorOp), top::Disable);
  EXPECT_EQ(device_->GetTextureStageState(1, tss::AlphaOp), top::Disable);
  EXPECT_EQ(device_->GetSamplerState(0, ss::AddressU), address::Wrap);
}

TEST_F(GpuTest, ClearFillsTarget) {
  device_->Clear(0, nullptr, clear::Target | clear::ZBuffer, 0xFF336699, 1.0f, 0);
  EXPECT_TRUE(ColorNear(Pixel(0, 0), 0xFF336699, 0));
  EXPECT_TRUE(ColorNear(Pixel(31, 31), 0xFF336699, 0));
}

TEST_F(GpuTest, FilledRectangleCoversPixelCentres) {
  device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  device_->SetRenderState(rs::Lighting, 0);
  device_->SetRenderState(rs::CullMode, cull::None);
  device_->SetRenderState(rs::ZEnable, 0);
  // A rectangle (0,0)-(10,10) as the engine draws it: corners moved by half a pixel.
  DrawQuad(-0.5f, -0.5f, 9.5f, 9.5f, 0xFFFF0000);
  const std::vector<uint32_t> p = ReadTarget();
  for (uint32_t y = 0; y < 12; ++y)
    for (uint32_t x = 0; x < 12; ++x) {
      const bool inside = x < 10 && y < 10;
      EXPECT_EQ(p[y * kSize + x], inside ? 0xFFFF0000u : 0xFF000000u) << x << "," << y;
    }
}

}  // namespace
}  // namespace gputest

namespace gputest {
namespace {

using namespace gpu;

TEST_F(GpuTest, AlphaTestDropsFragmentsBelowReference) {
  device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  device_->SetRenderState(rs::Lighting, 0);
  device_->SetRenderState(rs::ZEnable, 0);
  device_->SetTextureStageState(0, tss::ColorOp, top::SelectArg1);
  device_->SetTextureStageState(0, tss::ColorArg1, ta::Diffuse);
  device_->SetTextureStageState(0, tss::AlphaArg1, ta::Diffuse);
  device_->SetRenderState(rs::AlphaTestEnable, 1);
  device_->SetRenderState(rs::AlphaFunc, cmp::GreaterEqual);
  device_->SetRenderState(rs::AlphaRef, 0x80);
  DrawQuad(-0.5f, -0.5f, 7.5f, 7.5f, 0x7FFF0000);  // below: dropped
  DrawQuad(7.5f, -0.5f, 15.5f, 7.5f, 0x80FF0000);  // equal: kept
  EXPECT_EQ(Pixel(3, 3), 0xFF000000u);
  EXPECT_EQ(Pixel(11, 3), 0xFFFF0000u);
}

}  // namespace
}  // namespace gputest
