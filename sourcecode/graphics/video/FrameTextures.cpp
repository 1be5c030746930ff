#include "graphics/video/FrameTextures.h"

#include "platform/gpu/Device.h"
#include "platform/gpux/VideoShaders.h"

namespace gfx {

namespace pv = platform::video;

namespace {

gpu::VertexDeclaration* g_declaration = nullptr;
gpu::PixelShader* g_colourShader = nullptr;
gpu::PixelShader* g_colourAlphaShader = nullptr;
// The textures beside the process-wide frame-buffer description, per set and plane.
gpu::Texture* g_textures[pv::kMaxFrameBufferSets][pv::kPlaneCount] = {};
uint32_t g_planeBytes[pv::kMaxFrameBufferSets][pv::kPlaneCount] = {};

struct st_VideoVertex {
  float x, y, z, rhw, u, v;
};
static_assert(sizeof(st_VideoVertex) == 24);

template <class T>
void ReleaseAndClear(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

int SetCount(const pv::st_FrameBuffersInfo& info) {
  return info.setCount < 0 ? 0 : info.setCount > pv::kMaxFrameBufferSets ? pv::kMaxFrameBufferSets : info.setCount;
}

bool IsChroma(int plane) { return plane == pv::kPlaneCr || plane == pv::kPlaneCb; }

}  // namespace

bool CreateVideoShaders(gpu::Device* device) {
  if (!device) return false;
  if (!g_declaration) {
    const gpu::VertexElement elements[] = {
        {0, 0, gpu::decl::Float4, 0, gpu::decl::UsagePositionT, 0},
        {0, 16, gpu::decl::Float2, 0, gpu::decl::UsageTexCoord, 0},
        gpu::decl::End,
    };
    if (gpu::Failed(device->CreateVertexDeclaration(elements, &g_declaration))) {
      g_declaration = nullptr;
      return false;
    }
  }
  // A shader that does not compile fails the whole set: drawing without it would show the raw
  // luma plane as if it were a picture.
  if ((!g_colourShader && gpu::Failed(device->CreatePixelShader(gpux::kVideoColourShader, &g_colourShader))) ||
      (!g_colourAlphaShader &&
       gpu::Failed(device->CreatePixelShader(gpux::kVideoColourAlphaShader, &g_colourAlphaShader)))) {
    FreeVideoShaders(device);
    return false;
  }
  return true;
}

void FreeVideoShaders(gpu::Device* device) {
  if (device) device->SetPixelShader(nullptr);
  ReleaseAndClear(g_declaration);
  ReleaseAndClear(g_colourShader);
  ReleaseAndClear(g_colourAlphaShader);
}

bool CreateFrameTextures(gpu::Device* device, pv::st_FrameBuffersInfo& info) {
  if (!device) return false;
  for (int set = 0; set < SetCount(info); ++set) {
    for (int p = 0; p < pv::kPlaneCount; ++p) {
      g_textures[set][p] = nullptr;
      pv::st_PlaneBuffer& plane = info.sets[set][p];
      if (!plane.wanted) continue;
      const uint32_t w = IsChroma(p) ? info.chromaWidth : info.yaWidth;
      const uint32_t h = IsChroma(p) ? info.chromaHeight : info.yaHeight;
      gpu::Texture* texture = nullptr;
      gpu::LockedRect locked{};
      // Dynamic: rows padded and spare rows below, so that the decoder can write into the memory.
      if (gpu::Failed(device->CreateTexture(w, h, 1, gpu::usage::Dynamic, gpu::fmt::A8, gpu::pool::Managed, &texture)) ||
          !texture || gpu::Failed(texture->LockRect(0, &locked, nullptr, 0))) {
        if (texture) texture->Release();
        FreeFrameTextures(device, info);
        return false;
      }
      g_textures[set][p] = texture;
      g_planeBytes[set][p] = w * h;
      plane.memory = static_cast<uint8_t*>(locked.bits);
      plane.pitch = locked.pitch;
      plane.rows = static_cast<int32_t>(h + gpu::kDynamicSpareRows);
      texture->UnlockRect(0);
    }
  }
  return true;
}

void FreeFrameTextures(gpu::Device*, pv::st_FrameBuffersInfo& info) {
  for (int set = 0; set < pv::kMaxFrameBufferSets; ++set)
    for (int p = 0; p < pv::kPlaneCount; ++p) {
      ReleaseAndClear(g_textures[set][p]);
      g_planeBytes[set][p] = 0;
      info.sets[set][p].memory = nullptr;
    }
}

void LockFrameTextures(pv::st_FrameBuffersInfo& info) {
  for (int set = 0; set < SetCount(info); ++set)
    for (int p = 0; p < pv::kPlaneCount; ++p) {
      gpu::Texture* texture = g_textures[set][p];
      if (!texture) continue;
      gpu::LockedRect locked{};
      const uint32_t flags = set == info.currentSet ? 0 : gpu::lock::ReadOnly;
      if (gpu::Succeeded(texture->LockRect(0, &locked, nullptr, flags))) {
        info.sets[set][p].memory = static_cast<uint8_t*>(locked.bits);
        info.sets[set][p].pitch = locked.pitch;
      }
    }
}

void UnlockFrameTextures(gpu::Device*, pv::st_FrameBuffersInfo& info) {
  for (int set = 0; set < SetCount(info); ++set)
    for (int p = 0; p < pv::kPlaneCount; ++p) {
      if (g_textures[set][p]) g_textures[set][p]->UnlockRect(0);
      info.sets[set][p].memory = nullptr;
    }
}

void MarkFrameSetWritten(const pv::st_FrameBuffersInfo& info, int set) {
  if (set < 0 || set >= SetCount(info)) return;
  for (gpu::Texture* texture : g_textures[set]) {
    gpu::LockedRect locked{};
    if (texture && gpu::Succeeded(texture->LockRect(0, &locked, nullptr, 0))) texture->UnlockRect(0);
  }
}

void DrawFrameTextures(gpu::Device* device, const pv::st_FrameBuffersInfo& info, float videoWidth,
                       float videoHeight, float x, float y, float scaleX, float scaleY, float alpha,
                       bool premultiplied) {
  if (!device || info.currentSet < 0 || info.currentSet >= SetCount(info)) return;
  gpu::Texture* const* textures = g_textures[info.currentSet];
  if (!textures[pv::kPlaneY] || !textures[pv::kPlaneCr] || !textures[pv::kPlaneCb]) return;
  const float k = premultiplied ? alpha : 1.0f;
  const float constant[4] = {k, k, k, alpha};
  device->SetPixelShaderConstantF(0, constant, 1);
  for (uint32_t s = 0; s < 4; ++s) {
    device->SetSamplerState(s, gpu::ss::MagFilter, gpu::filter::Linear);
    device->SetSamplerState(s, gpu::ss::MinFilter, gpu::filter::Linear);
    device->SetSamplerState(s, gpu::ss::AddressU, gpu::address::Clamp);
    device->SetSamplerState(s, gpu::ss::AddressV, gpu::address::Clamp);
    device->SetSamplerState(s, gpu::ss::AddressW, gpu::address::Clamp);
  }
  device->SetRenderState(gpu::rs::ZEnable, 0);
  device->SetRenderState(gpu::rs::ZWriteEnable, 0);
  device->SetRenderState(gpu::rs::CullMode, gpu::cull::None);
  device->SetTexture(0, textures[pv::kPlaneY]);
  device->SetTexture(1, textures[pv::kPlaneCr]);
  device->SetTexture(2, textures[pv::kPlaneCb]);
  const uint32_t sourceFactor = premultiplied ? gpu::blend::One : gpu::blend::SrcAlpha;
  const bool withAlpha = textures[pv::kPlaneA] != nullptr;
  if (withAlpha) device->SetTexture(3, textures[pv::kPlaneA]);
  device->SetPixelShader(withAlpha ? g_colourAlphaShader : g_colourShader);
  if (withAlpha || alpha < 0.999f) {
    device->SetRenderState(gpu::rs::AlphaBlendEnable, 1);
    device->SetRenderState(gpu::rs::SrcBlend, sourceFactor);
    device->SetRenderState(gpu::rs::DestBlend, gpu::blend::InvSrcAlpha);
  } else {
    device->SetRenderState(gpu::rs::AlphaBlendEnable, 0);
  }
  device->SetVertexDeclaration(g_declaration);
  // Pixel centres lie on whole coordinates: half a pixel up and left puts each texel centre on a
  // pixel centre, so a frame drawn 1:1 is sharp (the same pixels are covered).
  const float x0 = x - 0.5f, y0 = y - 0.5f;
  const float x1 = x0 + videoWidth * scaleX, y1 = y0 + videoHeight * scaleY;
  const st_VideoVertex quad[4] = {
      {x0, y0, 0.0f, 1.0f, 0.0f, 0.0f},
      {x1, y0, 0.0f, 1.0f, 1.0f, 0.0f},
      {x0, y1, 0.0f, 1.0f, 0.0f, 1.0f},
      {x1, y1, 0.0f, 1.0f, 1.0f, 1.0f},
  };
  device->DrawPrimitiveUP(gpu::prim::TriangleStrip, 2, quad, sizeof(st_VideoVertex));
  for (uint32_t s = 0; s < 4; ++s) device->SetTexture(s, nullptr);
  device->SetPixelShader(nullptr);
}

}  // namespace gfx
