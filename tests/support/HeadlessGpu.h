// Whether a headless graphics device can be made here (EGL on Mesa): the test programs that
// draw skip their drawing tests where it cannot.
#pragma once

#include <memory>

#include "platform/gpu/Device.h"

namespace testsupport {

inline bool HeadlessGpuAvailable() {
  static const bool available = [] {
    std::unique_ptr<gpu::System> system = gpu::System::Create(gpu::Backend::Headless);
    if (!system) return false;
    gpu::PresentParameters pp{};
    pp.backBufferWidth = 16;
    pp.backBufferHeight = 16;
    pp.windowed = true;
    gpu::Device* device = nullptr;
    if (system->CreateDevice(nullptr, 0, &pp, &device) != gpu::kOk || !device) return false;
    device->Release();
    return true;
  }();
  return available;
}

}  // namespace testsupport
