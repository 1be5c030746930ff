#include "win32dx9/ClearScreen.h"

#include "platform/gpu/Device.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace win32dx9 {

void cl_ClearScreen::Render() {
  if (!IsActive()) return;
  if (gpu::Device* device = GetD3DDevice())
    device->Clear(0, nullptr, gpu::clear::Target | gpu::clear::ZBuffer, m_Color, 1.0f, 0);
  cl_Module::Render();
}

}  // namespace win32dx9
