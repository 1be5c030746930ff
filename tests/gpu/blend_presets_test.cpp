// Every blend and texture-stage preset the engine uses, drawn into an A8R8G8B8 target and checked
// against the blend written out by hand for that preset.
#include <algorithm>
#include <cmath>
#include <functional>

#include "GpuFixture.h"

namespace gputest {
namespace {

using namespace gpu;

struct Rgba {
  float r, g, b, a;
};
Rgba FromArgb(uint32_t c) {
  return {float((c >> 16) & 0xFF) / 255.0f, float((c >> 8) & 0xFF) / 255.0f, float(c & 0xFF) / 255.0f,
          float(c >> 24) / 255.0f};
}
uint32_t ToArgb(Rgba c) {
  auto q = [](float v) { return uint32_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
  return q(c.a) << 24 | q(c.r) << 16 | q(c.g) << 8 | q(c.b);
}
Rgba Mul(Rgba a, Rgba b) { return {a.r * b.r, a.g * b.g, a.b * b.b, a.a * b.a}; }
Rgba Over(Rgba src, Rgba dst) {  // source alpha, inverse source alpha
  auto f = [&](float s, float d) { return s * src.a + d * (1 - src.a); };
  return {f(src.r, dst.r), f(src.g, dst.g), f(src.b, dst.b), f(src.a, dst.a)};
}
float Sat(float v) { return std::clamp(v, 0.0f, 1.0f); }

constexpr uint32_t kTexel = 0x80C86432;     // a 128, r 200, g 100, b 50
constexpr uint32_t kTexel2 = 0xC0306090;    // second texture
constexpr uint32_t kDiffuse = 0xC0FF8040;   // vertex colour
constexpr uint32_t kTarget = 0x40204080;    // what the target holds before the draw
constexpr uint32_t kColour = 0x90A0C060;    // the preset's colour argument
constexpr uint32_t kOpaque = 0xFF50A0F0;

struct Preset {
  const char* name;
  std::function<void(Device*)> apply;
  std::function<Rgba(Rgba tex, Rgba tex2, Rgba diffuse, Rgba dst)> expected;
};

void TSS(Device* d, uint32_t stage, uint32_t state, uint32_t value) { d->SetTextureStageState(stage, state, value); }
void RS(Device* d, uint32_t state, uint32_t value) { d->SetRenderState(state, value); }

std::vector<Preset> Presets() {
  const Rgba colour = FromArgb(kColour), opaque = FromArgb(kOpaque);
  return {
      {"BlendNone",
       [](Device* d) {
         RS(d, rs::AlphaBlendEnable, 0);
         TSS(d, 0, tss::ColorOp, top::SelectArg1), TSS(d, 0, tss::ColorArg1, ta::Texture);
         TSS(d, 1, tss::ColorOp, top::Disable), TSS(d, 1, tss::AlphaOp, top::Disable);
       },
       [](Rgba t, Rgba, Rgba, Rgba) { return t; }},
      {"BlendAlphaTexture",
       [](Device* d) {
         RS(d, rs::AlphaBlendEnable, 1), RS(d, rs::SrcBlend, blend::SrcAlpha), RS(d, rs::DestBlend, blend::InvSrcAlpha);
         TSS(d, 0, tss::AlphaOp, top::SelectArg1), TSS(d, 0, tss::AlphaArg1, ta::Texture);
       },
       [](Rgba t, Rgba, Rgba v, Rgba dst) { return Over({t.r * v.r, t.g * v.g, t.b * v.b, t.a}, dst); }},
      {"BlendAlphaNoTexture",
       [](Device* d) { RS(d, rs::AlphaBlendEnable, 1), TSS(d, 0, tss::AlphaOp, top::Disable); },
       // Blend factors stay one/zero; a disabled alpha operation passes the vertex alpha on.
       [](Rgba t, Rgba, Rgba v, Rgba) { return Rgba{t.r * v.r, t.g * v.g, t.b * v.b, v.a}; }},
      {"BlendAlphaTextureColorTextureAlpha",
       [](Device* d) {
         TSS(d, 0, tss::ColorOp, top::SelectArg1), TSS(d, 0, tss::ColorArg1, ta::Texture);
         TSS(d, 0, tss::AlphaOp, top::Modulate), TSS(d, 0, tss::AlphaArg1, ta::Texture), TSS(d, 0, tss::AlphaArg2, ta::TFactor);
         RS(d, rs::AlphaBlendEnable, 1), RS(d, rs::SrcBlend, blend::SrcAlpha), RS(d, rs::DestBlend, blend::InvSrcAlpha);
         RS(d, rs::TextureFactor, 0x60FFFFFF);
       },
       [](Rgba t, Rgba, Rgba, Rgba dst) { return Over({t.r, t.g, t.b, t.a * 0x60 / 255.0f}, dst); }},
      {"BlendAlphaTextureColorFactorAlpha",
       [](Device* d) {
         TSS(d, 0, tss::ColorOp, top::SelectArg1), TSS(d, 0, tss::ColorArg1, ta::Texture);
         TSS(d, 0, tss::AlphaOp, top::SelectArg1), TSS(d, 0, tss::AlphaArg1, ta::TFactor);
         RS(d, rs::AlphaBlendEnable, 1), RS(d, rs::SrcBlend, blend::SrcAlpha), RS(d, rs::DestBlend, blend::InvSrcAlpha);
         RS(d, rs::TextureFactor, 0x60FFFFFF);
       },
       [](Rgba t, Rgba, Rgba, Rgba dst) { return Over({t.r, t.g, t.b, 0x60 / 255.0f}, dst); }},
      {"BlendColorTranslucent",
       [](Device* d) {
         RS(d, rs::AlphaBlendEnable, 1), RS(d, rs::SrcBlend, blend::SrcAlpha), RS(d, rs::DestBlend, blend::InvSrcAlpha);
         TSS(d, 0, tss::AlphaOp, top::SelectArg1), TSS(d, 0, tss::AlphaArg1, ta::TFactor);
         TSS(d, 0, tss::ColorOp, top::SelectArg1), TSS(d, 0, tss::ColorArg1, ta::TFactor);
         TSS(d, 1, tss::ColorOp, top::Disable), TSS(d, 1, tss::AlphaOp, top::Disable);
         RS(d, rs::TextureFactor, kColour);
       },
       [colour](Rgba, Rgba, Rgba, Rgba dst) { return Over(colour, dst); }},
      {"BlendColorOpaque",
       [](Device* d) {
         TSS(d, 0, tss::AlphaOp, top::Disable), RS(d, rs::AlphaBlendEnable, 0);
         TSS(d, 0, tss::ColorOp, top::SelectArg1), TSS(d, 0, tss::ColorArg1, ta::TFactor);
         TSS(d, 1, tss::ColorOp, top::Disable), TSS(d, 1, tss::AlphaOp, top::Disable);
         RS(d, rs::TextureFactor, kOpaque);
       },
       [opaque](Rgba, Rgba, Rgba v, Rgba) { return Rgba{opaque.r, opaque.g, opaque.b, v.a}; }},
      {"FlatColor",
       [](Device* d) {
         RS(d, rs::AlphaBlendEnable, 1), RS(d, rs::SrcBlend, blend::SrcAlpha), RS(d, rs::DestBlend, blend::InvSrcAlpha);
         TSS(d, 0, tss::AlphaOp, top::SelectArg1), TSS(d, 0, tss::AlphaArg1, ta::TFactor);
         TSS(d, 0, tss::ColorOp, top::Modulate), TSS(d, 0, tss::ColorArg1, ta::TFactor), TSS(d, 0, tss::ColorArg2, ta::Diffuse);
         TSS(d, 1, tss::ColorOp, top::Disable), TSS(d, 1, tss::AlphaOp, top::Disable);
         RS(d, rs::TextureFactor, kColour);
       },
       [colour](Rgba, Rgba, Rgba v, Rgba dst) {
         return Over({colour.r * v.r, colour.g * v.g, colour.b * v.b, colour.a}, dst);
       }},
      {"BlendAdditiveColor",
       [](Device* d) {
         RS(d, rs::AlphaBlendEnable, 1), RS(d, rs::SrcBlend, blend::One), RS(d, rs::DestBlend, blend::InvSrcColor);
         TSS(d, 0, tss::ColorOp, top::Modulate), TSS(d, 0, tss::ColorArg2, ta::Texture), TSS(d, 0, tss::ColorArg1, ta::TFactor);
         TSS(d, 1, tss::ColorOp, top::Disable), TSS(d, 1, tss::AlphaOp, top::Disable);
         RS(d, rs::TextureFactor, kColour);
       },
       [colour](Rgba t, Rgba, Rgba, Rgba dst) {
         const Rgba s{t.r * colour.r, t.g * colour.g, t.b * colour.b, t.a};
         return Rgba{s.r + dst.r * (1 - s.r), s.g + dst.g * (1 - s.g), s.b + dst.b * (1 - s.b), s.a + dst.a * (1 - s.a)};
       }},
      {"BlendTextureFactor2X",
       [](Device* d) {
         RS(d, rs::TextureFactor, kColour);
         TSS(d, 0, tss::ColorOp, top::Modulate2X), TSS(d, 0, tss::ColorArg1, ta::Texture), TSS(d, 0, tss::ColorArg2, ta::TFactor);
       },
       [colour](Rgba t, Rgba, Rgba, Rgba) {
         return Rgba{Sat(2 * t.r * colour.r), Sat(2 * t.g * colour.g), Sat(2 * t.b * colour.b), t.a};
       }},
      {"BlendMultiply",
       [](Device* d) {
         RS(d, rs::AlphaBlendEnable, 1), RS(d, rs::SrcBlend, blend::DestColor), RS(d, rs::DestBlend, blend::One);
         TSS(d, 0, tss::ColorOp, top::Modulate), TSS(d, 0, tss::ColorArg1, ta::Texture), TSS(d, 0, tss::ColorArg2, ta::TFactor);
         TSS(d, 1, tss::ColorOp, top::Disable);
         RS(d, rs::TextureFactor, 0xFF000000u + 0x80u * 0x010101u);
       },
       [](Rgba t, Rgba, Rgba, Rgba dst) {
         const float g = 0x80 / 255.0f;
         const Rgba s{t.r * g, t.g * g, t.b * g, t.a};
         return Rgba{Sat(s.r * dst.r + dst.r), Sat(s.g * dst.g + dst.g), Sat(s.b * dst.b + dst.b), Sat(s.a * dst.a + dst.a)};
       }},
      {"BlendInvMultiply",
       [](Device* d) {
         RS(d, rs::AlphaBlendEnable, 1), RS(d, rs::SrcBlend, blend::Zero), RS(d, rs::DestBlend, blend::InvSrcColor);
         TSS(d, 0, tss::ColorOp, top::SelectArg1), TSS(d, 0, tss::ColorArg1, ta::Texture), TSS(d, 0, tss::ColorArg2, ta::TFactor);
         TSS(d, 1, tss::ColorOp, top::Disable);
       },
       [](Rgba t, Rgba, Rgba, Rgba dst) {
         return Rgba{dst.r * (1 - t.r), dst.g * (1 - t.g), dst.b * (1 - t.b), dst.a * (1 - t.a)};
       }},
      {"BlendMaskedColor",
       [](Device* d) {
         RS(d, rs::TextureFactor, kColour);
         RS(d, rs::AlphaBlendEnable, 1), RS(d, rs::SrcBlend, blend::SrcAlpha), RS(d, rs::DestBlend, blend::InvSrcAlpha);
         TSS(d, 0, tss::ColorOp, top::SelectArg1), TSS(d, 0, tss::ColorArg1, ta::TFactor);
         TSS(d, 0, tss::AlphaOp, top::AddSigned2X), TSS(d, 0, tss::AlphaArg1, ta::Texture), TSS(d, 0, tss::AlphaArg2, ta::TFactor);
         TSS(d, 1, tss::ColorOp, top::SelectArg2), TSS(d, 1, tss::ColorArg1, ta::Current), TSS(d, 1, tss::ColorArg2, ta::Texture);
         TSS(d, 1, tss::AlphaOp, top::Modulate), TSS(d, 1, tss::AlphaArg1, ta::Current), TSS(d, 1, tss::AlphaArg2, ta::Texture);
         TSS(d, 2, tss::ColorOp, top::Disable), TSS(d, 2, tss::AlphaOp, top::Disable);
       },
       [colour](Rgba t, Rgba t2, Rgba, Rgba dst) {
         const float a0 = Sat(2 * (t.a + colour.a - 0.5f));
         return Over({t2.r, t2.g, t2.b, a0 * t2.a}, dst);
       }},
      {"TextureModulateDiffuse",
       [](Device* d) {
         TSS(d, 0, tss::ColorOp, top::Modulate), TSS(d, 0, tss::ColorArg2, ta::Texture), TSS(d, 0, tss::ColorArg1, ta::Diffuse);
         TSS(d, 1, tss::ColorOp, top::Disable), TSS(d, 1, tss::AlphaOp, top::Disable);
       },
       [](Rgba t, Rgba, Rgba v, Rgba) { return Rgba{t.r * v.r, t.g * v.g, t.b * v.b, t.a}; }},
      {"TextureTinted",
       [](Device* d) {
         TSS(d, 0, tss::ColorOp, top::Modulate), TSS(d, 0, tss::ColorArg1, ta::Texture), TSS(d, 0, tss::ColorArg2, ta::TFactor);
         TSS(d, 1, tss::ColorOp, top::Disable);
         TSS(d, 0, tss::AlphaOp, top::Modulate), TSS(d, 0, tss::AlphaArg1, ta::Texture), TSS(d, 0, tss::AlphaArg2, ta::TFactor);
         TSS(d, 1, tss::AlphaOp, top::Disable);
         RS(d, rs::TextureFactor, kColour);
         RS(d, rs::AlphaBlendEnable, 1), RS(d, rs::SrcBlend, blend::SrcAlpha), RS(d, rs::DestBlend, blend::InvSrcAlpha);
       },
       [colour](Rgba t, Rgba, Rgba, Rgba dst) { return Over(Mul(t, colour), dst); }},
  };
}

class BlendPresetTest : public GpuTest {};

TEST_F(BlendPresetTest, EveryPresetMatchesItsBlendFormula) {
  Texture* target = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, usage::RenderTarget, fmt::A8R8G8B8, pool::Default, &target), kOk);
  Surface* surface = nullptr;
  target->GetSurfaceLevel(0, &surface);
  ASSERT_EQ(device_->SetRenderTarget(0, surface), kOk);
  Texture* tex = MakeTexture(2, 2, std::vector<uint32_t>(4, kTexel));
  Texture* tex2 = MakeTexture(2, 2, std::vector<uint32_t>(4, kTexel2));
  for (const Preset& preset : Presets()) {
    SCOPED_TRACE(preset.name);
    // The 2D mode the engine draws in, then the preset on top.
    for (uint32_t s = 0; s < 3; ++s) {
      TSS(device_, s, tss::ColorOp, s == 0 ? top::Modulate : top::Disable);
      TSS(device_, s, tss::ColorArg1, ta::Texture), TSS(device_, s, tss::ColorArg2, ta::Current);
      TSS(device_, s, tss::AlphaOp, s == 0 ? top::SelectArg1 : top::Disable);
      TSS(device_, s, tss::AlphaArg1, ta::Texture), TSS(device_, s, tss::AlphaArg2, ta::Current);
    }
    RS(device_, rs::AlphaBlendEnable, 0), RS(device_, rs::SrcBlend, blend::One), RS(device_, rs::DestBlend, blend::Zero);
    RS(device_, rs::Lighting, 0), RS(device_, rs::ZEnable, 0), RS(device_, rs::CullMode, cull::None);
    device_->SetTexture(0, tex);
    device_->SetTexture(1, tex2);
    device_->Clear(0, nullptr, clear::Target, kTarget, 1.0f, 0);
    preset.apply(device_);
    DrawQuad(-0.5f, -0.5f, 7.5f, 7.5f, kDiffuse);
    const uint32_t want = ToArgb(preset.expected(FromArgb(kTexel), FromArgb(kTexel2), FromArgb(kDiffuse), FromArgb(kTarget)));
    EXPECT_TRUE(ColorNear(Pixel(3, 4), want, 2));
  }
  device_->SetTexture(0, nullptr);
  device_->SetTexture(1, nullptr);
  tex->Release();
  tex2->Release();
  surface->Release();
  target->Release();
}

TEST_F(GpuTest, ColourWriteMaskKeepsTarget) {
  device_->Clear(0, nullptr, clear::Target, 0xFF102030, 1.0f, 0);
  RS(device_, rs::Lighting, 0), RS(device_, rs::ZEnable, 0);
  RS(device_, rs::ColorWriteEnable, 0);
  DrawQuad(-0.5f, -0.5f, 31.5f, 31.5f, 0xFFFFFFFF);
  EXPECT_EQ(Pixel(5, 5), 0xFF102030u);
}

}  // namespace
}  // namespace gputest
