#include "win32dx9/PngFile.h"

#include <vector>

#include "base/file/SafeFile.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/Png.h"

namespace win32dx9 {

bool SavePng(const char* path, uint32_t width, uint32_t height, const void* pixels, uint32_t pitch, bool keepAlpha) {
  // Encoded whole before the file is touched: a full disk never leaves half a picture in place.
  std::vector<uint8_t> png;
  if (!path || !gpu::EncodePng(width, height, pixels, pitch, keepAlpha, png)) return false;
  return base::SaveFileSafely(path, png.data(), png.size());
}

bool SaveSurfacePng(gpu::Surface* surface, const char* path) {
  gpu::SurfaceDesc desc;
  if (!surface || surface->GetDesc(&desc) != gpu::kOk ||
      (desc.format != gpu::fmt::A8R8G8B8 && desc.format != gpu::fmt::X8R8G8B8))
    return false;
  gpu::LockedRect locked;
  if (surface->LockRect(&locked, nullptr, gpu::lock::ReadOnly) != gpu::kOk) return false;
  const bool ok =
      SavePng(path, desc.width, desc.height, locked.bits, uint32_t(locked.pitch), desc.format == gpu::fmt::A8R8G8B8);
  surface->UnlockRect();
  return ok;
}

}  // namespace win32dx9
