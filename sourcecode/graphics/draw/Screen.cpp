// The screen grab and the mouse-cursor image.
#include <algorithm>

#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "platform/gpu/Device.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace gfx {

namespace {

cl_Texture* g_cursor = nullptr;

// Nearest-pixel copy of the source rectangle into the bitmap; source positions are kept on the
// surface, so a rectangle reaching past it repeats the edge instead of reading outside.
void Sample(base::cl_Bitmap32* bitmap, const unsigned char* bits, int pitch, int surfaceW, int surfaceH, float x1,
            float y1, float x2, float y2) {
  const int w = bitmap->Width(), h = bitmap->Height();
  if (w < 1 || h < 1 || surfaceW < 1 || surfaceH < 1) return;
  const float sx = (x2 - x1) / static_cast<float>(w), sy = (y2 - y1) / static_cast<float>(h);
  for (int j = 0; j < h; ++j) {
    const int row = std::clamp(static_cast<int>(y1 + static_cast<float>(j) * sy), 0, surfaceH - 1);
    const unsigned char* line = bits + static_cast<size_t>(row) * static_cast<size_t>(pitch);
    base::Color32* target = bitmap->GetPixels() + static_cast<size_t>(j) * static_cast<size_t>(w);
    for (int i = 0; i < w; ++i) {
      const int column = std::clamp(static_cast<int>(x1 + static_cast<float>(i) * sx), 0, surfaceW - 1);
      const unsigned char* p = line + static_cast<size_t>(column) * 4;
      target[i] = base::Color32(p[2], p[1], p[0], 255);
    }
  }
}

}  // namespace

void GrabScreen(base::cl_Bitmap32* bitmap, float x1, float y1, float x2, float y2, bool fromFrontBuffer) {
  win32dx9::cl_DX9GraphicsDevice* graphics = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!bitmap || !graphics || !device) return;
  if (!fromFrontBuffer) {
    gpu::SurfaceDesc desc{};
    gpu::Surface* back = graphics->GetBackBuffer();
    if (!back || gpu::Failed(back->GetDesc(&desc)) || !graphics->LockBackBuffer()) return;
    Sample(bitmap, static_cast<const unsigned char*>(graphics->GetLockedBits()), graphics->GetLockedPitch(),
           static_cast<int>(desc.width), static_cast<int>(desc.height), x1, y1, x2, y2);
    graphics->UnlockBackBuffer();
    return;
  }
  const int w = base::sys::GetWindowWidth(), h = base::sys::GetWindowHeight();
  if (w < 1 || h < 1) return;
  gpu::Texture* texture = nullptr;
  if (gpu::Failed(device->CreateTexture(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, 0, gpu::fmt::A8R8G8B8,
                                        gpu::pool::SystemMem, &texture)))
    return;
  gpu::Surface* surface = nullptr;
  gpu::LockedRect locked{};
  if (gpu::Succeeded(texture->GetSurfaceLevel(0, &surface)) && gpu::Succeeded(device->GetFrontBufferData(0, surface)) &&
      gpu::Succeeded(surface->LockRect(&locked, nullptr, gpu::lock::ReadOnly))) {
    Sample(bitmap, static_cast<const unsigned char*>(locked.bits), locked.pitch, w, h, x1, y1, x2, y2);
    surface->UnlockRect();
  }
  if (surface) surface->Release();
  texture->Release();
}

void SetCursor(const base::tVector2<float>* position, cl_Texture* texture) {
  win32dx9::cl_DX9GraphicsDevice* graphics = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  if (!graphics) return;
  if (!position && !texture) {
    graphics->SetCursor(nullptr, 0.0f, 0.0f);
    g_cursor = nullptr;
    return;
  }
  if (position) graphics->SetCursorPosition(position->x, position->y);
  if (texture && texture != g_cursor) {
    texture->Load();
    graphics->SetCursor(texture->GetD3DTexture(), texture->GetCenterX(), texture->GetCenterY());
    g_cursor = texture;
  }
}

}  // namespace gfx
