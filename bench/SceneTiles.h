// The GPU-layer anchor of the scene frame benchmarks: every tile of a scene's sky, background,
// stage and foreground pictures as one textured quad, placed as cl_Image::Draw places it, and
// drawn straight through the GPU layer with no scene code between.
#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "platform/gpu/Device.h"
#include "quillane/scene/Scene.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/FrameLock.h"

namespace benchtiles {

struct Vertex {
  float x, y, z, rhw;
  uint32_t colour;
  float u, v;
};
struct Quad {
  gpu::Texture* texture;
  Vertex v[4];
};

inline uint32_t Pow2(int n) {
  uint32_t p = 1;
  while (p < static_cast<uint32_t>(n)) p <<= 1;
  return p;
}

// The tiles of an image at (x, y) and scale, as cl_Image::Draw places them.
inline void AddTiles(std::vector<Quad>& out, gfx::cl_Image* image, float x, float y, float s) {
  const gfx::st_TileAxis& columns = image->GetColumns();
  const gfx::st_TileAxis& rows = image->GetRows();
  for (int r = 0; r < rows.count; ++r)
    for (int c = 0; c < columns.count; ++c) {
      const int index = columns.count * r + c;
      if (index >= image->GetTileCount()) return;
      int w = columns.sizes[c], h = rows.sizes[r];
      if (columns.offsets[c] + w > image->GetSourceWidth()) w = image->GetSourceWidth() - columns.offsets[c];
      if (rows.offsets[r] + h > image->GetSourceHeight()) h = image->GetSourceHeight() - rows.offsets[r];
      const float l = x - 0.5f + (static_cast<float>(columns.offsets[c]) + image->GetOffset()[0]) * s;
      const float t = y - 0.5f + (static_cast<float>(rows.offsets[r]) + image->GetOffset()[1]) * s;
      const float rr = l + static_cast<float>(w) * s, b = t + static_cast<float>(h) * s;
      const float u = static_cast<float>(w) / static_cast<float>(Pow2(columns.sizes[c]));
      const float v = static_cast<float>(h) / static_cast<float>(Pow2(rows.sizes[r]));
      out.push_back({image->GetTileTexture(index),
                     {{l, t, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                      {rr, t, 0.5f, 0.5f, 0xFFFFFFFF, u, 0},
                      {rr, b, 0.5f, 0.5f, 0xFFFFFFFF, u, v},
                      {l, b, 0.5f, 0.5f, 0xFFFFFFFF, 0, v}}});
    }
}

// Every picture tile of the scene as its layers draw it into a view whose corner is (x0, y0).
inline std::vector<Quad> SceneTiles(quillane::cl_Scene& scene, float x0 = 0.0f, float y0 = 0.0f) {
  const float s = scene.GetEffectiveZoom(), sx = scene.GetScroll()[0], sy = scene.GetScroll()[1];
  std::vector<Quad> quads;
  for (quillane::cl_HeavenLayer* sky : scene.HeavenElements) {
    if (!sky->GetImage()) continue;
    const float bx = x0 + std::trunc((sky->GetX() - sx) * s + 0.5f), by = y0 + (sky->GetY() - sy) * s;
    AddTiles(quads, sky->GetImage(), bx, by, s);
    AddTiles(quads, sky->GetImage(), bx - static_cast<float>(sky->GetImage()->GetWidth()) * s, by, s);
  }
  for (const auto* list : {&scene.BackgroundElements, &scene.StageElements, &scene.ForegroundElements})
    for (quillane::cl_Layer* layer : *list) {
      if (layer->GetImage())
        AddTiles(quads, layer->GetImage(), x0 + (layer->GetX() - sx) * s, y0 + (layer->GetY() - sy) * s, s);
      else if (layer->GetStrip() && layer->GetStrip()->GetFirstFrame())
        AddTiles(quads, layer->GetStrip()->GetFirstFrame(), x0 - sx * s, y0 - sy * s, s);
    }
  return quads;
}

// A timed frame: cleared to black in 2D mode, and ended only once the renderer has finished it.
inline void BeginFrame() {
  win32dx9::cl_DX9GraphicsDevice::GetInstance()->BeginFrame();
  gfx::ClearScreen(0xFF000000);
  gfx::Begin2D();
}
inline void EndFrame() {
  win32dx9::cl_DX9GraphicsDevice::GetInstance()->GetDevice()->EndScene();
  glFinish();
  gfx::UnlockFrame();
}

// The quads blended over the frame with linear filtering, one draw call each.
inline void DrawTiles(const std::vector<Quad>& quads) {
  gpu::Device* device = win32dx9::cl_DX9GraphicsDevice::GetInstance()->GetDevice();
  gfx::SetFilterLinear();
  gfx::SetBlendAlpha(true);
  device->SetFVF(gpu::fvf::XYZRHW | gpu::fvf::Diffuse | gpu::fvf::Tex1);
  for (const Quad& quad : quads) {
    device->SetTexture(0, quad.texture);
    device->DrawPrimitiveUP(gpu::prim::TriangleFan, 2, quad.v, sizeof(Vertex));
  }
}

// The anchor's timed loop: each iteration one frame of the quads alone.
inline void TimeTileFrames(benchmark::State& state, const std::vector<Quad>& quads) {
  for (auto _ : state) {
    BeginFrame();
    DrawTiles(quads);
    EndFrame();
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace benchtiles
