// The blend, texture-stage, sampler and mode presets. Each writes its device states in the same
// order every time; the order is part of the contract (later presets rely on what earlier ones
// left, e.g. SetBlendAlpha(false) keeps the blend factors).
#include "base/math/Matrix4.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"
#include "platform/gpu/Device.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace gfx {

namespace {

using namespace gpu;

uint32_t g_factorColour = 0;

// The device, or null (the presets then do nothing).
Device* D() { return win32dx9::GetD3DDevice(); }
void RS(Device* d, uint32_t state, uint32_t value) { d->SetRenderState(state, value); }
void TSS(Device* d, uint32_t stage, uint32_t state, uint32_t value) { d->SetTextureStageState(stage, state, value); }
void SS(Device* d, uint32_t state, uint32_t value) { d->SetSamplerState(0, state, value); }

void AlphaOverTarget(Device* d) {
  RS(d, rs::AlphaBlendEnable, 1);
  RS(d, rs::SrcBlend, blend::SrcAlpha);
  RS(d, rs::DestBlend, blend::InvSrcAlpha);
}

// The shared body of SetBlendColor and SetFlatColor; modulate: times the vertex colour.
void FlatColour(uint32_t colour, bool modulate) {
  Device* d = D();
  if (!d) return;
  if ((colour >> 24) < 255) {
    AlphaOverTarget(d);
    TSS(d, 0, tss::AlphaOp, top::SelectArg1);
    TSS(d, 0, tss::AlphaArg1, ta::TFactor);
  } else {
    TSS(d, 0, tss::AlphaOp, top::Disable);
    RS(d, rs::AlphaBlendEnable, 0);
  }
  if (modulate) {
    TSS(d, 0, tss::ColorOp, top::Modulate);
    TSS(d, 0, tss::ColorArg1, ta::TFactor);
    TSS(d, 0, tss::ColorArg2, ta::Diffuse);
  } else {
    TSS(d, 0, tss::ColorOp, top::SelectArg1);
    TSS(d, 0, tss::ColorArg1, ta::TFactor);
  }
  TSS(d, 1, tss::ColorOp, top::Disable);
  TSS(d, 1, tss::AlphaOp, top::Disable);
  RS(d, rs::TextureFactor, colour);
}

// Target × (texture × the tint argument), plus the target.
void MultiplyTarget(uint32_t tint, uint32_t factor) {
  Device* d = D();
  if (!d) return;
  RS(d, rs::AlphaBlendEnable, 1);
  RS(d, rs::SrcBlend, blend::DestColor);
  RS(d, rs::DestBlend, blend::One);
  TSS(d, 0, tss::ColorOp, top::Modulate);
  TSS(d, 0, tss::ColorArg1, ta::Texture);
  TSS(d, 0, tss::ColorArg2, tint);
  TSS(d, 1, tss::ColorOp, top::Disable);
  RS(d, rs::TextureFactor, factor);
}

}  // namespace

// ---- Blend and texture-stage presets

void SetBlendNone() {
  Device* d = D();
  if (!d) return;
  RS(d, rs::AlphaBlendEnable, 0);
  TSS(d, 0, tss::ColorOp, top::SelectArg1);
  TSS(d, 0, tss::ColorArg1, ta::Texture);
  TSS(d, 1, tss::ColorOp, top::Disable);
  TSS(d, 1, tss::AlphaOp, top::Disable);
}

void SetBlendAlpha(bool useTextureAlpha) {
  Device* d = D();
  if (!d) return;
  RS(d, rs::AlphaBlendEnable, 1);
  if (useTextureAlpha) {
    RS(d, rs::SrcBlend, blend::SrcAlpha);
    RS(d, rs::DestBlend, blend::InvSrcAlpha);
    TSS(d, 0, tss::AlphaOp, top::SelectArg1);
    TSS(d, 0, tss::AlphaArg1, ta::Texture);
  } else {
    TSS(d, 0, tss::AlphaOp, top::Disable);
  }
}

void SetBlendAlphaTextureColor(uint8_t alpha, bool useTextureAlpha) {
  Device* d = D();
  if (!d) return;
  TSS(d, 0, tss::ColorOp, top::SelectArg1);
  TSS(d, 0, tss::ColorArg1, ta::Texture);
  if (useTextureAlpha) {
    TSS(d, 0, tss::AlphaOp, top::Modulate);
    TSS(d, 0, tss::AlphaArg1, ta::Texture);
    TSS(d, 0, tss::AlphaArg2, ta::TFactor);
  } else {
    TSS(d, 0, tss::AlphaOp, top::SelectArg1);
    TSS(d, 0, tss::AlphaArg1, ta::TFactor);
  }
  AlphaOverTarget(d);
  RS(d, rs::TextureFactor, static_cast<uint32_t>(alpha) << 24 | 0xFFFFFFu);
}

void SetBlendColor(uint32_t colour) { FlatColour(colour, false); }
void SetFlatColor(uint32_t colour) { FlatColour(colour, true); }

void SetBlendAdditiveColor(uint32_t colour) {
  Device* d = D();
  if (!d) return;
  RS(d, rs::AlphaBlendEnable, 1);
  RS(d, rs::SrcBlend, blend::One);
  RS(d, rs::DestBlend, blend::InvSrcColor);
  TSS(d, 0, tss::ColorOp, top::Modulate);
  TSS(d, 0, tss::ColorArg2, ta::Texture);
  TSS(d, 0, tss::ColorArg1, ta::TFactor);
  TSS(d, 1, tss::ColorOp, top::Disable);
  TSS(d, 1, tss::AlphaOp, top::Disable);
  RS(d, rs::TextureFactor, colour);
}

void SetBlendTextureFactor2X(uint32_t colour) {
  Device* d = D();
  if (!d) return;
  RS(d, rs::TextureFactor, colour);
  TSS(d, 0, tss::ColorOp, top::Modulate2X);
  TSS(d, 0, tss::ColorArg1, ta::Texture);
  TSS(d, 0, tss::ColorArg2, ta::TFactor);
}

void SetBlendMultiply(uint8_t grey) { MultiplyTarget(ta::TFactor, 0xFF000000u + grey * 0x010101u); }

// The factor stays opaque white: a stage alpha taken from it reads what SetBlendMultiply gives.
void SetBlendMultiplyVertexColor() { MultiplyTarget(ta::Diffuse, 0xFFFFFFFFu); }

void SetBlendInvMultiply() {
  Device* d = D();
  if (!d) return;
  RS(d, rs::AlphaBlendEnable, 1);
  RS(d, rs::SrcBlend, blend::Zero);
  RS(d, rs::DestBlend, blend::InvSrcColor);
  TSS(d, 0, tss::ColorOp, top::SelectArg1);
  TSS(d, 0, tss::ColorArg1, ta::Texture);
  TSS(d, 0, tss::ColorArg2, ta::TFactor);
  TSS(d, 1, tss::ColorOp, top::Disable);
}

void SetBlendMaskedColor(uint32_t colour) {
  Device* d = D();
  if (!d) return;
  RS(d, rs::TextureFactor, colour);
  AlphaOverTarget(d);
  TSS(d, 0, tss::ColorOp, top::SelectArg1);
  TSS(d, 0, tss::ColorArg1, ta::TFactor);
  TSS(d, 0, tss::AlphaOp, top::AddSigned2X);
  TSS(d, 0, tss::AlphaArg1, ta::Texture);
  TSS(d, 0, tss::AlphaArg2, ta::TFactor);
  TSS(d, 1, tss::ColorOp, top::SelectArg2);
  TSS(d, 1, tss::ColorArg1, ta::Current);
  TSS(d, 1, tss::ColorArg2, ta::Texture);
  TSS(d, 1, tss::AlphaOp, top::Modulate);
  TSS(d, 1, tss::AlphaArg1, ta::Current);
  TSS(d, 1, tss::AlphaArg2, ta::Texture);
  TSS(d, 2, tss::ColorOp, top::Disable);
  TSS(d, 2, tss::AlphaOp, top::Disable);
}

void SetTextureModulateDiffuse() {
  Device* d = D();
  if (!d) return;
  TSS(d, 0, tss::ColorOp, top::Modulate);
  TSS(d, 0, tss::ColorArg2, ta::Texture);
  TSS(d, 0, tss::ColorArg1, ta::Diffuse);
  TSS(d, 1, tss::ColorOp, top::Disable);
  TSS(d, 1, tss::AlphaOp, top::Disable);
}

void SetTextureTinted(cl_Texture* texture, uint32_t colour) {
  Device* d = D();
  if (!d) return;
  if (texture) texture->Bind(0);
  TSS(d, 0, tss::ColorOp, top::Modulate);
  TSS(d, 0, tss::ColorArg1, ta::Texture);
  TSS(d, 0, tss::ColorArg2, ta::TFactor);
  TSS(d, 1, tss::ColorOp, top::Disable);
  TSS(d, 0, tss::AlphaOp, top::Modulate);
  TSS(d, 0, tss::AlphaArg1, ta::Texture);
  TSS(d, 0, tss::AlphaArg2, ta::TFactor);
  TSS(d, 1, tss::AlphaOp, top::Disable);
  RS(d, rs::TextureFactor, colour);
  AlphaOverTarget(d);
}

void SetTextureFactor(uint32_t colour) {
  g_factorColour = colour;
  if (Device* d = D()) RS(d, rs::TextureFactor, colour);
}

uint32_t GetTextureFactor() { return g_factorColour; }

// ---- Single states and modes

void SetFilterPoint() {
  Device* d = D();
  if (!d) return;
  SS(d, ss::MinFilter, filter::Point);
  SS(d, ss::MagFilter, filter::Point);
  SS(d, ss::MipFilter, filter::None);
}

void SetFilterLinear() {
  Device* d = D();
  if (!d) return;
  SS(d, ss::MinFilter, filter::Linear);
  SS(d, ss::MagFilter, filter::Linear);
  SS(d, ss::MipFilter, filter::Linear);
}

void SetMipLodBias(float bias) {
  uint32_t bits = 0;
  static_assert(sizeof bits == sizeof bias);
  __builtin_memcpy(&bits, &bias, sizeof bits);
  if (Device* d = D()) SS(d, ss::MipMapLodBias, bits);
}

void SetCullNone(bool on, bool) {
  if (Device* d = D()) RS(d, rs::CullMode, on ? cull::None : cull::CCW);
}

void SetColorWriteMask(bool write) {
  if (Device* d = D()) RS(d, rs::ColorWriteEnable, write ? 0xFu : 0u);
}

void EnableZBuffer(bool enable) {
  if (Device* d = D()) RS(d, rs::ZEnable, enable ? 1u : 0u);
}

void EnableZWrite(bool enable) {
  if (Device* d = D()) RS(d, rs::ZWriteEnable, enable ? 1u : 0u);
}

void Begin2D() {
  Device* d = D();
  if (!d) return;
  RS(d, rs::ZEnable, 0);
  RS(d, rs::CullMode, cull::None);
  RS(d, rs::Lighting, 0);
  const Matrix identity = IdentityMatrix();
  d->SetTransform(ts::World, identity);
  d->SetTransform(ts::View, identity);
  d->SetTransform(ts::Projection, identity);
}

void Begin3D() {
  Device* d = D();
  if (!d) return;
  RS(d, rs::ZEnable, 1);
  RS(d, rs::CullMode, cull::CCW);
  RS(d, rs::Lighting, 1);
}

void ClearScreen(uint32_t colour) {
  Device* d = D();
  if (!d) return;
  d->Clear(0, nullptr, clear::Target | clear::ZBuffer, colour, 1.0f, 0);
  RS(d, rs::ZEnable, 0);
  RS(d, rs::CullMode, cull::None);
}

void ClearZBuffer() {
  if (Device* d = D()) d->Clear(0, nullptr, clear::ZBuffer, 0, 1.0f, 0);
}

void SetWorldMatrix(base::Matrix4 world) {
  Matrix m;
  __builtin_memcpy(m.m, world.m, sizeof m.m);
  if (Device* d = D()) d->SetTransform(ts::World, m);
}

void SetTexture(int stage, cl_Texture* texture) {
  if (texture) texture->Bind(static_cast<uint32_t>(stage));
}

}  // namespace gfx
