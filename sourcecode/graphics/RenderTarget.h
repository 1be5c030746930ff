// An off-screen colour target (A8R8G8B8) with a depth-stencil surface of its own, whose colour
// buffer is an ordinary texture: what is drawn into it (gfx::SetRenderTarget) can then be drawn
// as a texture, alpha included. It holds default-pool memory and does not take part in device
// resets itself: its owner deletes it on loss and makes a new one after.
#pragma once

#include "base/memory/Identity.h"

namespace gpu {
class Surface;
}

namespace gfx {

class cl_Texture;

class cl_RenderTarget : public base::tIdentity<cl_RenderTarget> {
 public:
  cl_RenderTarget();  // a texture object without storage
  ~cl_RenderTarget() override;
  cl_RenderTarget(const cl_RenderTarget&) = delete;
  cl_RenderTarget& operator=(const cl_RenderTarget&) = delete;

  // Makes the target texture and the depth surface; false (one log line) when the device
  // refuses, and the target stays unusable.
  bool CreateTexture(unsigned width, unsigned height);
  gpu::Surface* GetRenderTarget() const { return m_surface; }
  gpu::Surface* GetDepthStencil() const { return m_depthStencil; }
  cl_Texture* GetTexture() const { return m_texture; }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }

 private:
  cl_Texture* m_texture;
  gpu::Surface* m_surface = nullptr;  // level 0 of the texture
  gpu::Surface* m_depthStencil = nullptr;
  int m_width = 0;
  int m_height = 0;
};

}  // namespace gfx
