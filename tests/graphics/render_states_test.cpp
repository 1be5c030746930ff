// The render-state presets drawn through the texture resource on the headless device and checked
// against the blend written out by hand; lights through the MODEL recorder; viewport, gamma and
// render-target switching.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "GraphicsFixture.h"
#include "graphics/RenderTarget.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/DynamicBuffer.h"

namespace gfxtest {
namespace {

using namespace gpu;

struct Rgb {
  float r, g, b;
};
struct Rgba {
  float r, g, b, a;
};
Rgba FromArgb(uint32_t c) {
  return {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f, (c >> 24) / 255.0f};
}
uint32_t ToRgb(Rgb c) {
  auto q = [](float v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
  return q(c.r) << 16 | q(c.g) << 8 | q(c.b);
}
Rgb Mul(Rgba a, Rgba b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
Rgb Over(Rgb src, float alpha, Rgba dst) {
  return {src.r * alpha + dst.r * (1 - alpha), src.g * alpha + dst.g * (1 - alpha), src.b * alpha + dst.b * (1 - alpha)};
}
Rgb AddInvSrcColor(Rgb s, Rgba d) { return {s.r + d.r * (1 - s.r), s.g + d.g * (1 - s.g), s.b + d.b * (1 - s.b)}; }

constexpr uint32_t kTexel = 0x80C86432;   // alpha 128, r 200, g 100, b 50
constexpr uint32_t kTexel2 = 0xC0306090;  // the second texture
constexpr uint32_t kTarget = 0xFF204080;  // the screen before the draw
constexpr uint32_t kColour = 0x90A0C060;  // the preset's colour argument

// The device's own start states, so that every case starts from the same place.
void Baseline(Device* d) {
  d->SetRenderState(rs::AlphaBlendEnable, 0);
  d->SetRenderState(rs::SrcBlend, blend::One);
  d->SetRenderState(rs::DestBlend, blend::Zero);
  d->SetTextureStageState(0, tss::ColorOp, top::Modulate);
  d->SetTextureStageState(0, tss::ColorArg1, ta::Texture);
  d->SetTextureStageState(0, tss::ColorArg2, ta::Current);
  d->SetTextureStageState(0, tss::AlphaOp, top::SelectArg1);
  d->SetTextureStageState(0, tss::AlphaArg1, ta::Texture);
  d->SetTextureStageState(0, tss::AlphaArg2, ta::Current);
  for (uint32_t stage : {1u, 2u}) {
    d->SetTextureStageState(stage, tss::ColorOp, top::Disable);
    d->SetTextureStageState(stage, tss::AlphaOp, top::Disable);
  }
}

class RenderStates : public GraphicsTest {};

TEST_F(RenderStates, EveryBlendPresetMatchesItsFormula) {
  std::unique_ptr<gfx::cl_Texture> tex(SolidTexture(8, 8, kTexel)), tex2(SolidTexture(8, 8, kTexel2));
  const Rgba t = FromArgb(kTexel), t2 = FromArgb(kTexel2), d = FromArgb(kTarget), c = FromArgb(kColour);
  constexpr uint32_t kMaskColour = 0x30A0C060;
  const Rgba m = FromArgb(kMaskColour);
  struct Case {
    const char* name;
    std::function<void()> preset;
    Rgb expected;
    bool blended = false;  // drawn with the second texture
  };
  const Case cases[] = {
      {"BlendNone", [] { gfx::SetBlendNone(); }, {t.r, t.g, t.b}},
      {"BlendAlpha(true)", [] { gfx::SetBlendAlpha(true); }, Over({t.r, t.g, t.b}, t.a, d)},
      // The factors of the additive preset stay: only the stage's alpha operation goes off.
      {"BlendAlpha(false) keeps the factors",
       [] {
         gfx::SetBlendAdditiveColor(kColour);
         gfx::SetBlendAlpha(false);
       },
       AddInvSrcColor(Mul(t, c), d)},
      {"BlendAlphaTextureColor(0x60, true)", [] { gfx::SetBlendAlphaTextureColor(0x60, true); },
       Over({t.r, t.g, t.b}, t.a * 0x60 / 255.0f, d)},
      {"BlendAlphaTextureColor(0x60, false)", [] { gfx::SetBlendAlphaTextureColor(0x60, false); },
       Over({t.r, t.g, t.b}, 0x60 / 255.0f, d)},
      {"BlendColor opaque", [] { gfx::SetBlendColor(0xFF50A0F0); }, {0x50 / 255.0f, 0xA0 / 255.0f, 0xF0 / 255.0f}},
      {"BlendColor alpha 254", [] { gfx::SetBlendColor(0xFE50A0F0); },
       Over({0x50 / 255.0f, 0xA0 / 255.0f, 0xF0 / 255.0f}, 254 / 255.0f, d)},
      {"FlatColor", [] { gfx::SetFlatColor(kColour); }, Over({c.r, c.g, c.b}, c.a, d)},
      {"BlendAdditiveColor", [] { gfx::SetBlendAdditiveColor(kColour); }, AddInvSrcColor(Mul(t, c), d)},
      {"BlendTextureFactor2X", [] { gfx::SetBlendTextureFactor2X(kColour); },
       {2 * t.r * c.r, 2 * t.g * c.g, 2 * t.b * c.b}},
      {"BlendMultiply", [] { gfx::SetBlendMultiply(0x80); },
       {t.r * 0x80 / 255.0f * d.r + d.r, t.g * 0x80 / 255.0f * d.g + d.g, t.b * 0x80 / 255.0f * d.b + d.b}},
      {"BlendInvMultiply", [] { gfx::SetBlendInvMultiply(); }, {d.r * (1 - t.r), d.g * (1 - t.g), d.b * (1 - t.b)}},
      {"TextureModulateDiffuse", [] { gfx::SetTextureModulateDiffuse(); }, {t.r, t.g, t.b}},
      {"TextureTinted", [&] { gfx::SetTextureTinted(tex.get(), kColour); }, Over(Mul(t, c), t.a * c.a, d)},
      // Stage 0: alpha (texture + colour − ½) × 2; stage 1: colour of the second texture, alpha
      // times its alpha.
      {"BlendMaskedColor", [] { gfx::SetBlendMaskedColor(kMaskColour); },
       Over({t2.r, t2.g, t2.b}, std::clamp((t.a + m.a - 0.5f) * 2, 0.0f, 1.0f) * t2.a, d), true},
  };
  for (const Case& k : cases) {
    ASSERT_TRUE(BeginFrame());
    gfx::ClearScreen(kTarget);
    Baseline(Device());
    k.preset();
    if (k.blended) {
      tex->DrawBlended(tex2.get(), 10, 10, 1.0f);
    } else {
      tex->Draw(10, 10, 1.0f);
    }
    EXPECT_TRUE(RgbNear(Pixel(13, 13), ToRgb(k.expected), 2)) << k.name;
    EXPECT_TRUE(RgbNear(Pixel(9, 9), kTarget, 0)) << k.name << ": the quad reaches past its texture";
    EndFrame();
  }
}

TEST_F(RenderStates, LightsReachTheModelRecorderAndANinthIsIgnored) {
  auto drawLitQuad = [&] {
    gpu::Device* d = Device();
    d->SetTexture(0, nullptr);
    d->SetTextureStageState(0, tss::ColorOp, top::SelectArg1);
    d->SetTextureStageState(0, tss::ColorArg1, ta::Diffuse);
    namespace rec = win32dx9::rec;
    rec::ModelAddQuad();
    rec::ModelAddVertex(-1, -1, 0.5f, 0, 0, 1, 0, 0);
    rec::ModelAddVertex(1, -1, 0.5f, 0, 0, 1, 1, 0);
    rec::ModelAddVertex(1, 1, 0.5f, 0, 0, 1, 1, 1);
    rec::ModelAddVertex(-1, 1, 0.5f, 0, 0, 1, 0, 1);
    rec::ModelFlush();
  };
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000);
  Baseline(Device());
  gfx::Begin2D();
  gfx::EnableLighting(0x00202020);
  gfx::SetDirectionalLight({0, 0, -3}, 0xFF808080);  // normalised before use
  drawLitQuad();
  EXPECT_TRUE(RgbNear(Pixel(32, 24), 0xA0A0A0, 2));  // ambient 0x20 + 0x80 × N·L (1)
  EXPECT_FLOAT_EQ(gfx::LightState.entries[0].vector.z, -1.0f);
  EXPECT_EQ(gfx::LightState.entries[0].range, 0.0f);

  gfx::DisableLighting();
  EXPECT_EQ(gfx::LightState.entryCount, 0);
  EXPECT_FALSE(Device()->GetLightEnable(0));
  EXPECT_EQ(gfx::GetDiffuseCoefficient(), 1.0f);
  gfx::EnableLighting(0x00202020);
  for (int i = 0; i < 8; ++i) gfx::SetDirectionalLight({0, 0, -1}, 0xFF101010);
  gfx::SetPointLight({0, 0, 1}, 100.0f, 0xFF404040);  // the ninth
  EXPECT_EQ(gfx::LightState.enabledCount, 8);
  EXPECT_EQ(gfx::LightState.entryCount, 8);
  gfx::ClearScreen(0xFF000000);
  gfx::Begin2D();
  Device()->SetRenderState(rs::Lighting, 1);
  drawLitQuad();
  EXPECT_TRUE(RgbNear(Pixel(32, 24), 0xA0A0A0, 2));  // 0x20 + 8 × 0x10
  gfx::DisableLighting();
  for (uint32_t i = 0; i < 8; ++i) EXPECT_FALSE(Device()->GetLightEnable(i)) << i;
  EndFrame();
}

TEST_F(RenderStates, ViewportDefaultsAndIsCutToTheBackBuffer) {
  ASSERT_TRUE(BeginFrame());
  gfx::SetViewport(-1, -1, -1, -1, 5.0f, 500.0f);
  const gfx::st_Viewport& v = gfx::GetViewport();
  EXPECT_EQ(v.x, 0);
  EXPECT_EQ(v.width, kWidth);
  EXPECT_EQ(v.height, kHeight);
  EXPECT_EQ(v.zFar, 500.0f);
  gpu::Viewport device{};
  Device()->GetViewport(&device);
  EXPECT_EQ(device.width, static_cast<uint32_t>(kWidth));
  EXPECT_EQ(device.maxZ, 1.0f);

  gfx::SetViewport(10, 5, 500, -1, 0, 1);
  Device()->GetViewport(&device);
  EXPECT_EQ(device.x, 10u);
  EXPECT_EQ(device.width, static_cast<uint32_t>(kWidth - 10));
  EXPECT_EQ(device.height, static_cast<uint32_t>(kHeight - 5));
  EndFrame();
}

TEST_F(RenderStates, GammaRampIsIdentityAtOneHalfAndSaturates) {
  gfx::SetGamma(0.5f);
  gpu::GammaRamp ramp{};
  Device()->GetGammaRamp(0, &ramp);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(ramp.red[i], i * 256) << i;
  EXPECT_EQ(ramp.blue[255], 255 * 256);
  // No ramp is made of a gamma that is no finite number: the one shown stays.
  for (float none : {std::nanf(""), std::numeric_limits<float>::infinity()}) {
    gfx::SetGamma(none);
    Device()->GetGammaRamp(0, &ramp);
    EXPECT_EQ(ramp.red[128], 128 * 256) << none;
  }
  for (float large : {300.0f, 3e38f}) {  // the second one's step is infinite
    gfx::SetGamma(large);
    Device()->GetGammaRamp(0, &ramp);
    EXPECT_EQ(ramp.green[0], 0) << large;
    EXPECT_EQ(ramp.green[1], 65535) << large;
    EXPECT_EQ(ramp.green[255], 65535) << large;
  }
  gfx::SetGamma(0.5f);
}

TEST_F(RenderStates, RenderTargetDrawnAsTextureKeepsItsAlpha) {
  std::unique_ptr<gfx::cl_RenderTarget> target(new gfx::cl_RenderTarget);
  ASSERT_TRUE(target->CreateTexture(16, 16));
  ASSERT_TRUE(BeginFrame());
  std::unique_ptr<gfx::cl_Texture> quad(SolidTexture(4, 4, 0xFFFFFFFF));
  Baseline(Device());
  quad->Draw(0, 0, 1.0f);
  EXPECT_EQ(win32dx9::GetDrawCallCount(), 2);
  ASSERT_TRUE(gfx::SetRenderTarget(target.get()));
  EXPECT_EQ(win32dx9::GetDrawCallCount(), 0);  // a target switch resets the recorders
  gfx::ClearScreen(0x80FF0000);
  ASSERT_TRUE(gfx::SetRenderTarget(nullptr));

  std::unique_ptr<base::cl_Bitmap32> read(gfx::CreateBitmapFromTexture(target->GetTexture()->GetD3DTexture()));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Pixel(5, 5)->a, 0x80);
  EXPECT_EQ(read->Pixel(5, 5)->r, 0xFF);

  gfx::ClearScreen(0xFF00FF00);
  Baseline(Device());
  gfx::SetBlendAlpha(true);
  target->GetTexture()->Draw(0, 0, 1.0f);
  EXPECT_TRUE(RgbNear(Pixel(8, 8), ToRgb(Over({1, 0, 0}, 0x80 / 255.0f, {0, 1, 0, 1})), 2));
  EndFrame();
  Device()->SetTexture(0, nullptr);
  target.reset();
}

TEST_F(RenderStates, RenderTargetSwitchIsRefusedWhileTheDeviceIsLost) {
  ASSERT_TRUE(BeginFrame());
  Device()->SimulateDeviceLoss();
  EndFrame();
  EXPECT_FALSE(gfx::IsDeviceOk());
  EXPECT_FALSE(gfx::SetRenderTarget(nullptr));
  EXPECT_FALSE(BeginFrame());  // resets the device
  EXPECT_TRUE(gfx::IsDeviceOk());
  EXPECT_TRUE(win32dx9::RecordersExist());
}

}  // namespace
}  // namespace gfxtest
