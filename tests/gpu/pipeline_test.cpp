// Depth test, culling, clipping, lighting and render targets through the transformed path.
#include <cmath>

#include "GpuFixture.h"

namespace gputest {
namespace {

using namespace gpu;

struct LitVertex {  // position, normal, one texture coordinate set
  float x, y, z, nx, ny, nz, u, v;
};
struct ColourVertex {  // position, colour, one texture coordinate set
  float x, y, z;
  uint32_t color;
  float u, v;
};
constexpr uint32_t kLitFvf = fvf::XYZ | fvf::Normal | fvf::Tex1;
constexpr uint32_t kColourFvf = fvf::XYZ | fvf::Diffuse | fvf::Tex1;

class PipelineTest : public GpuTest {
 protected:
  void SetUp() override {
    GpuTest::SetUp();
    if (device_) device_->Clear(0, nullptr, clear::Target | clear::ZBuffer, 0xFF000000, 1.0f, 0);
  }
  void Screen(float x1, float y1, float x2, float y2, float z, uint32_t colour) {
    const ScreenVertex v[4] = {{x1, y1, z, 1, colour, 0, 0}, {x2, y1, z, 1, colour, 0, 0},
                               {x1, y2, z, 1, colour, 0, 0}, {x2, y2, z, 1, colour, 0, 0}};
    device_->SetFVF(kScreenFvf);
    device_->DrawPrimitiveUP(prim::TriangleStrip, 2, v, sizeof(ScreenVertex));
  }
  void Untextured() {
    device_->SetRenderState(rs::Lighting, 0);
    device_->SetTextureStageState(0, tss::ColorOp, top::SelectArg1);
    device_->SetTextureStageState(0, tss::ColorArg1, ta::Diffuse);
    device_->SetTextureStageState(0, tss::AlphaArg1, ta::Diffuse);
  }
};

TEST_F(PipelineTest, DepthTestKeepsNearestAndHonoursWriteMask) {
  Untextured();
  device_->SetRenderState(rs::CullMode, cull::None);
  Screen(-0.5f, -0.5f, 15.5f, 15.5f, 0.2f, 0xFFFF0000);
  Screen(-0.5f, -0.5f, 31.5f, 31.5f, 0.8f, 0xFF00FF00);
  EXPECT_EQ(Pixel(4, 4), 0xFFFF0000u);
  EXPECT_EQ(Pixel(20, 20), 0xFF00FF00u);
  // Without depth writes the near quad leaves the depth buffer as it was.
  device_->Clear(0, nullptr, clear::Target | clear::ZBuffer, 0xFF000000, 1.0f, 0);
  device_->SetRenderState(rs::ZWriteEnable, 0);
  Screen(-0.5f, -0.5f, 15.5f, 15.5f, 0.2f, 0xFFFF0000);
  device_->SetRenderState(rs::ZWriteEnable, 1);
  Screen(-0.5f, -0.5f, 31.5f, 31.5f, 0.8f, 0xFF00FF00);
  EXPECT_EQ(Pixel(4, 4), 0xFF00FF00u);
  // With the depth test off the last draw wins.
  device_->SetRenderState(rs::ZEnable, 0);
  Screen(-0.5f, -0.5f, 31.5f, 31.5f, 0.9f, 0xFF0000FF);
  EXPECT_EQ(Pixel(4, 4), 0xFF0000FFu);
}

TEST_F(PipelineTest, CullingDropsCounterClockwiseFacesOnScreen) {
  Untextured();
  device_->SetRenderState(rs::ZEnable, 0);
  // Clockwise on screen (right, then down-left): drawn with the default culling.
  const ScreenVertex clockwise[3] = {{0, 0, 0.5f, 1, 0xFFFF0000, 0, 0}, {20, 0, 0.5f, 1, 0xFFFF0000, 0, 0},
                                     {0, 20, 0.5f, 1, 0xFFFF0000, 0, 0}};
  const ScreenVertex counter[3] = {clockwise[0], clockwise[2], clockwise[1]};
  device_->SetFVF(kScreenFvf);
  device_->DrawPrimitiveUP(prim::TriangleList, 1, clockwise, sizeof(ScreenVertex));
  EXPECT_EQ(Pixel(3, 3), 0xFFFF0000u);
  device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  device_->DrawPrimitiveUP(prim::TriangleList, 1, counter, sizeof(ScreenVertex));
  EXPECT_EQ(Pixel(3, 3), 0xFF000000u);
  device_->SetRenderState(rs::CullMode, cull::CW);
  device_->DrawPrimitiveUP(prim::TriangleList, 1, counter, sizeof(ScreenVertex));
  EXPECT_EQ(Pixel(3, 3), 0xFFFF0000u);
  device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  device_->DrawPrimitiveUP(prim::TriangleList, 1, clockwise, sizeof(ScreenVertex));
  EXPECT_EQ(Pixel(3, 3), 0xFF000000u);
  // The same rule holds for transformed triangles (clip space y points up).
  device_->SetRenderState(rs::CullMode, cull::CCW);
  const ColourVertex world[3] = {{-1, 1, 0.5f, 0xFF00FF00, 0, 0}, {1, 1, 0.5f, 0xFF00FF00, 0, 0},
                                 {-1, -1, 0.5f, 0xFF00FF00, 0, 0}};
  device_->SetFVF(kColourFvf);
  device_->DrawPrimitiveUP(prim::TriangleList, 1, world, sizeof(ColourVertex));
  EXPECT_EQ(Pixel(3, 3), 0xFF00FF00u);
}

TEST_F(PipelineTest, ClippedFloorHasNoCracksOrOverlaps) {
  // A tessellated floor seen in perspective reaches behind the camera and past every screen
  // edge. Drawn additively with one unit per triangle, every covered pixel must hold one unit.
  Untextured();
  device_->SetRenderState(rs::ZEnable, 0);
  device_->SetRenderState(rs::CullMode, cull::None);
  device_->SetRenderState(rs::AlphaBlendEnable, 1);
  device_->SetRenderState(rs::SrcBlend, blend::One);
  device_->SetRenderState(rs::DestBlend, blend::One);
  const float zn = 0.1f, zf = 100.0f;
  Matrix projection{};
  projection.m[0][0] = projection.m[1][1] = 1.0f;
  projection.m[2][2] = zf / (zf - zn);
  projection.m[2][3] = 1.0f;
  projection.m[3][2] = -zn * zf / (zf - zn);
  Matrix view = IdentityMatrix();
  view.m[3][1] = -1.0f;  // camera one unit above the floor
  device_->SetTransform(ts::Projection, projection);
  device_->SetTransform(ts::View, view);
  const int n = 9;
  std::vector<ColourVertex> v;
  auto at = [&](int i, int j) {
    return ColourVertex{-40.0f + 80.0f * float(i) / float(n - 1), 0.0f, -7.0f + 57.0f * float(j) / float(n - 1),
                        0xFF010101, 0, 0};
  };
  for (int j = 0; j + 1 < n; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      v.push_back(at(i, j)), v.push_back(at(i + 1, j)), v.push_back(at(i + 1, j + 1));
      v.push_back(at(i, j)), v.push_back(at(i + 1, j + 1)), v.push_back(at(i, j + 1));
    }
  device_->SetFVF(kColourFvf);
  device_->DrawPrimitiveUP(prim::TriangleList, uint32_t(v.size() / 3), v.data(), sizeof(ColourVertex));
  const std::vector<uint32_t> p = ReadTarget();
  for (uint32_t y = 0; y < kSize; ++y)
    for (uint32_t x = 0; x < kSize; ++x) {
      const uint32_t units = p[y * kSize + x] & 0xFF;
      ASSERT_LE(units, 1u) << "overlap at " << x << "," << y;
      if (y >= kSize / 2 + 2) {
        ASSERT_EQ(units, 1u) << "crack at " << x << "," << y;
      }
    }
}

class LightingTest : public PipelineTest {
 protected:
  // A quad filling the target in clip space (identity transforms) with one normal.
  void DrawLitQuad(float nx, float ny, float nz) {
    const LitVertex v[4] = {{-1, 1, 0.5f, nx, ny, nz, 0, 0}, {1, 1, 0.5f, nx, ny, nz, 1, 0},
                            {-1, -1, 0.5f, nx, ny, nz, 0, 1}, {1, -1, 0.5f, nx, ny, nz, 1, 1}};
    device_->SetRenderState(rs::CullMode, cull::None);
    device_->SetFVF(kLitFvf);
    device_->DrawPrimitiveUP(prim::TriangleStrip, 2, v, sizeof(LitVertex));
  }
  void SetMaterial() {
    Material m{};
    m.diffuse = {1, 1, 1, 1};
    m.ambient = {0.5f, 0.5f, 0.5f, 1};
    device_->SetMaterial(m);
  }
};

uint32_t Argb(float r, float g, float b) {
  auto q = [](float c) { return uint32_t(std::lround(std::fmin(std::fmax(c, 0.0f), 1.0f) * 255.0f)); };
  return 0xFF000000u | q(r) << 16 | q(g) << 8 | q(b);
}

TEST_F(LightingTest, DirectionalLightFollowsLambert) {
  SetMaterial();
  device_->SetRenderState(rs::Ambient, 0xFF332211);
  Light l{};
  l.type = light::Directional;
  l.diffuse = {0.5f, 0.25f, 1.0f, 0};
  l.direction = {0, 0, 1};  // shining into the screen
  l.range = 100000.0f;
  device_->SetLight(0, l);
  device_->LightEnable(0, true);
  DrawLitQuad(0, 0.6f, -0.8f);  // N·L = 0.8
  const float ar = 0x33 / 255.0f * 0.5f, ag = 0x22 / 255.0f * 0.5f, ab = 0x11 / 255.0f * 0.5f;
  EXPECT_TRUE(ColorNear(Pixel(16, 16), Argb(ar + 0.4f, ag + 0.2f, ab + 0.8f), 2));
  // Facing away from the light: ambient only.
  DrawLitQuad(0, 0, 1);
  EXPECT_TRUE(ColorNear(Pixel(16, 16), Argb(ar, ag, ab), 2));
  // Disabled: nothing but ambient either.
  device_->LightEnable(0, false);
  DrawLitQuad(0, 0.6f, -0.8f);
  EXPECT_TRUE(ColorNear(Pixel(16, 16), Argb(ar, ag, ab), 2));
}

TEST_F(LightingTest, PointLightHonoursRangeAndAttenuation) {
  SetMaterial();
  Light l{};
  l.type = light::Point;
  l.diffuse = {0.6f, 0.8f, 0.4f, 0};
  l.position = {0, 0, -1};  // 1.5 units in front of the quad's centre
  l.range = 10.0f;
  device_->SetLight(0, l);
  device_->LightEnable(0, true);
  DrawLitQuad(0, 0, -1);
  // Lighting is per vertex: every corner (±1, ±1, 0.5) lies d = √4.25 from the light and sees it
  // at N·L = 1.5 / d. All attenuation factors 0 means full strength within range.
  const float d = std::sqrt(4.25f), lambert = 1.5f / d;
  EXPECT_TRUE(ColorNear(Pixel(16, 16), Argb(0.6f * lambert, 0.8f * lambert, 0.4f * lambert), 2));
  l.attenuation1 = 1.0f;  // 1 / d
  device_->SetLight(0, l);
  DrawLitQuad(0, 0, -1);
  const float k = lambert / d;
  EXPECT_TRUE(ColorNear(Pixel(16, 16), Argb(0.6f * k, 0.8f * k, 0.4f * k), 2));
  l.range = 2.0f;  // the corners are out of reach
  device_->SetLight(0, l);
  DrawLitQuad(0, 0, -1);
  EXPECT_TRUE(ColorNear(Pixel(16, 16), 0xFF000000, 1));
}

TEST_F(LightingTest, EightLightsAddUp) {
  SetMaterial();
  for (uint32_t i = 0; i < kLights; ++i) {
    Light l{};
    l.type = light::Directional;
    l.diffuse = {0.1f, 0.05f, 0.0f, 0};
    l.direction = {0, 0, 1};
    device_->SetLight(i, l);
    device_->LightEnable(i, true);
  }
  DrawLitQuad(0, 0, -1);
  EXPECT_TRUE(ColorNear(Pixel(16, 16), Argb(0.8f, 0.4f, 0.0f), 2));
}

TEST_F(PipelineTest, RenderTargetRoundTripKeepsAlpha) {
  Texture* target = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 16, 1, usage::RenderTarget, fmt::A8R8G8B8, pool::Default, &target), kOk);
  Surface* surface = nullptr;
  Surface* back = nullptr;
  target->GetSurfaceLevel(0, &surface);
  device_->GetRenderTarget(0, &back);
  ASSERT_EQ(device_->SetRenderTarget(0, surface), kOk);
  Viewport vp;
  device_->GetViewport(&vp);
  EXPECT_EQ(vp.width, 16u);
  Untextured();
  device_->SetRenderState(rs::ZEnable, 0);
  device_->Clear(0, nullptr, clear::Target, 0x00000000, 1.0f, 0);
  Screen(-0.5f, -0.5f, 7.5f, 15.5f, 0.5f, 0x80FF0000);
  EXPECT_EQ(Pixel(2, 2), 0x80FF0000u);
  EXPECT_EQ(Pixel(12, 2), 0x00000000u);
  // Back to the screen, the target drawn as a texture with its alpha.
  ASSERT_EQ(device_->SetRenderTarget(0, back), kOk);
  device_->Clear(0, nullptr, clear::Target, 0xFF0000FF, 1.0f, 0);
  device_->SetTexture(0, target);
  device_->SetTextureStageState(0, tss::ColorArg1, ta::Texture);
  device_->SetTextureStageState(0, tss::AlphaArg1, ta::Texture);
  device_->SetRenderState(rs::AlphaBlendEnable, 1);
  device_->SetRenderState(rs::SrcBlend, blend::SrcAlpha);
  device_->SetRenderState(rs::DestBlend, blend::InvSrcAlpha);
  const ScreenVertex quad[4] = {{-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {15.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                                {-0.5f, 15.5f, 0.5f, 1, 0xFFFFFFFF, 0, 1}, {15.5f, 15.5f, 0.5f, 1, 0xFFFFFFFF, 1, 1}};
  device_->DrawPrimitiveUP(prim::TriangleStrip, 2, quad, sizeof(ScreenVertex));
  EXPECT_TRUE(ColorNear(Pixel(2, 2), 0xFF80007F, 1));   // half red over blue
  EXPECT_TRUE(ColorNear(Pixel(12, 2), 0xFF0000FF, 0));  // transparent part
  device_->SetTexture(0, nullptr);
  back->Release();
  surface->Release();
  target->Release();
}

TEST_F(PipelineTest, RenderTargetWithItsOwnDepthBuffer) {
  Texture* target = nullptr;
  Surface* depth = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 16, 1, usage::RenderTarget, fmt::A8R8G8B8, pool::Default, &target), kOk);
  ASSERT_EQ(device_->CreateDepthStencilSurface(16, 16, fmt::D24S8, kMultisampleNone, 0, true, &depth), kOk);
  Surface* surface = nullptr;
  Surface* again = nullptr;
  target->GetSurfaceLevel(0, &surface);
  target->GetSurfaceLevel(0, &again);
  EXPECT_EQ(surface, again);  // one surface object per level
  again->Release();
  Surface* back = nullptr;
  Surface* backDepth = nullptr;
  device_->GetRenderTarget(0, &back);
  device_->GetDepthStencilSurface(&backDepth);
  device_->SetRenderTarget(0, surface);
  device_->SetDepthStencilSurface(depth);
  Untextured();
  device_->SetRenderState(rs::CullMode, cull::None);
  device_->Clear(0, nullptr, clear::Target | clear::ZBuffer, 0xFF000000, 1.0f, 0);
  Screen(-0.5f, -0.5f, 15.5f, 15.5f, 0.3f, 0xFFFF0000);
  Screen(-0.5f, -0.5f, 15.5f, 15.5f, 0.6f, 0xFF00FF00);  // behind: rejected
  EXPECT_EQ(Pixel(8, 8), 0xFFFF0000u);
  device_->SetRenderTarget(0, back);
  device_->SetDepthStencilSurface(backDepth);
  EXPECT_EQ(Pixel(8, 8), 0xFF000000u);  // the screen was not touched
  back->Release();
  backDepth->Release();
  surface->Release();
  depth->Release();
  target->Release();
  EXPECT_NE(device_->CreateTexture(16, 16, 1, usage::RenderTarget, fmt::A8R8G8B8, pool::Managed, &target), kOk);
  EXPECT_NE(device_->CreateTexture(1 << 20, 16, 1, usage::RenderTarget, fmt::A8R8G8B8, pool::Default, &target), kOk);
}

TEST_F(PipelineTest, ViewportLimitsDrawingAndClearing) {
  Untextured();
  device_->SetRenderState(rs::ZEnable, 0);
  ASSERT_EQ(device_->SetViewport({8, 8, 8, 8, 0, 1}), kOk);
  device_->Clear(0, nullptr, clear::Target, 0xFF00FF00, 1.0f, 0);
  EXPECT_EQ(Pixel(7, 7), 0xFF000000u);
  EXPECT_EQ(Pixel(8, 8), 0xFF00FF00u);
  EXPECT_EQ(Pixel(16, 16), 0xFF000000u);
  // Screen coordinates stay absolute: a rectangle at (0,0)-(12,12) shows only inside the viewport.
  Screen(-0.5f, -0.5f, 11.5f, 11.5f, 0.5f, 0xFFFF0000);
  EXPECT_EQ(Pixel(9, 9), 0xFFFF0000u);
  EXPECT_EQ(Pixel(13, 13), 0xFF00FF00u);
  EXPECT_EQ(Pixel(4, 4), 0xFF000000u);
  EXPECT_NE(device_->SetViewport({30, 0, 8, 8, 0, 1}), kOk);  // larger than the target
}

}  // namespace
}  // namespace gputest
