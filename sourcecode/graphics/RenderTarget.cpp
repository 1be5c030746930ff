#include "graphics/RenderTarget.h"

#include "base/system.h"
#include "graphics/Texture.h"
#include "platform/gpu/Device.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace gfx {

cl_RenderTarget::cl_RenderTarget() : m_texture(new cl_Texture) {}

cl_RenderTarget::~cl_RenderTarget() {
  if (m_depthStencil) m_depthStencil->Release();
  delete m_texture;
  if (m_surface) m_surface->Release();
}

bool cl_RenderTarget::CreateTexture(unsigned width, unsigned height) {
  m_width = static_cast<int>(width);
  m_height = static_cast<int>(height);
  m_texture->SetFormat(gpu::fmt::A8R8G8B8);
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!device) {
    base::sys::Output("ERROR: a render target needs a graphics device\n");
    return false;
  }
  gpu::Texture* texture = nullptr;
  const uint32_t result = device->CreateTexture(width, height, 1, gpu::usage::RenderTarget, gpu::fmt::A8R8G8B8,
                                                gpu::pool::Default, &texture);
  if (gpu::Failed(result) || !texture) {
    base::sys::Output("ERROR: render target %ux%u: %s\n", width, height, gpu::ErrorName(result));
    return false;
  }
  m_texture->AdoptD3DTexture(texture, width, height);
  // Unlike the device's own depth buffer this one is sized for the target; a failure only
  // leaves the target without depth testing.
  if (gpu::Failed(device->CreateDepthStencilSurface(width, height, gpu::fmt::D24S8, gpu::kMultisampleNone, 0, true,
                                                    &m_depthStencil)))
    m_depthStencil = nullptr;
  return gpu::Succeeded(texture->GetSurfaceLevel(0, &m_surface)) && m_surface;
}

}  // namespace gfx
