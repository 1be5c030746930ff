// The adapter: display modes and device creation for the chosen backend.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/Log.h"

namespace gpu {

struct System::Native {
  bool sdlVideo = false;
  ~Native() {
    if (sdlVideo) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
};

std::unique_ptr<System> System::Create(Backend backend) {
  std::unique_ptr<System> system(new System());
  system->backend_ = backend;
  system->native_ = std::make_unique<Native>();
  if (backend == Backend::Headless) {
    // Headless has no monitor: a fixed, deterministic list so that mode selection can be tested.
    static const uint32_t kSizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1280, 1024}, {1920, 1080}};
    for (auto& s : kSizes) system->modes_.push_back({s[0], s[1], 60, fmt::X8R8G8B8});
    system->desktop_ = {1024, 768, 60, fmt::X8R8G8B8};
    return system;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    Log("ERROR: gpu: SDL video: %s\n", SDL_GetError());
    return nullptr;
  }
  system->native_->sdlVideo = true;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0)
    system->desktop_ = {uint32_t(mode.w), uint32_t(mode.h), uint32_t(mode.refresh_rate), fmt::X8R8G8B8};
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
    DisplayMode m{uint32_t(mode.w), uint32_t(mode.h), uint32_t(mode.refresh_rate), fmt::X8R8G8B8};
    auto same = [&](const DisplayMode& o) {
      return o.width == m.width && o.height == m.height && o.refreshRate == m.refreshRate;
    };
    if (std::none_of(system->modes_.begin(), system->modes_.end(), same)) system->modes_.push_back(m);
  }
  std::sort(system->modes_.begin(), system->modes_.end(), [](const DisplayMode& a, const DisplayMode& b) {
    return a.width != b.width ? a.width < b.width : a.height != b.height ? a.height < b.height
                                                                         : a.refreshRate < b.refreshRate;
  });
  return system;
}

System::~System() = default;

Backend System::DefaultBackend() {
  const char* value = std::getenv("QUILLANE_HEADLESS");
  return value && *value && std::strcmp(value, "0") != 0 ? Backend::Headless : Backend::Window;
}

Result System::GetAdapterDisplayMode(DisplayMode* out) const {
  if (!out) return kErrInvalidCall;
  *out = desktop_;
  return kOk;
}

// Both 32-bit formats list the same modes: the display stores them alike.
uint32_t System::GetAdapterModeCount(uint32_t format) const {
  if (format != fmt::X8R8G8B8 && format != fmt::A8R8G8B8) return 0;
  return static_cast<uint32_t>(modes_.size());
}

Result System::EnumAdapterModes(uint32_t format, uint32_t index, DisplayMode* out) const {
  if (!out || index >= GetAdapterModeCount(format)) return kErrInvalidCall;
  *out = modes_[index];
  out->format = format;
  return kOk;
}

Result System::CheckDeviceMultiSampleType(uint32_t, bool, uint32_t type, uint32_t* qualityLevels) const {
  if (type == kMultisampleNone) {
    if (qualityLevels) *qualityLevels = 1;
    return kOk;
  }
  if (qualityLevels) *qualityLevels = 0;
  return kErrNotAvailable;
}

}  // namespace gpu
