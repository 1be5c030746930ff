#include "platform/gpux/Dds.h"

#include <cstring>

#include "platform/gpu/Log.h"
#include "platform/gpu/Types.h"

namespace gpux {
namespace {

// Header offsets from the file start (after the 4-byte signature come 124 header bytes).
enum : size_t {
  kHeaderSize = 4, kFlags = 8, kHeight = 12, kWidth = 16, kMipCount = 28, kPixelFormat = 76,
  kPfFlags = 80, kFourCC = 84, kBitCount = 88, kRMask = 92, kGMask = 96, kBMask = 100, kAMask = 104,
  kCaps2 = 112, kDataStart = 128
};
constexpr uint32_t kFlagMipCount = 0x20000;
constexpr uint32_t kPfAlphaPixels = 0x1, kPfAlpha = 0x2, kPfFourCC = 0x4, kPfRgb = 0x40;
constexpr uint32_t kCaps2Cubemap = 0x200, kCaps2Volume = 0x200000;
constexpr uint32_t kMaxSide = 16384;

uint32_t U32(const uint8_t* p, size_t at) {
  return uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
}

}  // namespace

bool IsDds(const void* data, size_t size) {
  return data && size >= 4 && std::memcmp(data, "DDS ", 4) == 0;
}

namespace {

// The header's format, size and level count; false (logged) when it is no DDS this reader takes.
bool ReadHeader(const uint8_t* p, size_t size, const char* name, uint32_t& format, uint32_t& width, uint32_t& height,
                uint32_t& levels) {
  if (!IsDds(p, size) || size < kDataStart) {
    gpu::Log("ERROR: dds '%s': not a DDS file or header truncated (%zu bytes)\n", name, size);
    return false;
  }
  if (U32(p, kHeaderSize) != 124 || U32(p, kPixelFormat) != 32) {
    gpu::Log("ERROR: dds '%s': header sizes %u/%u instead of 124/32\n", name, U32(p, kHeaderSize), U32(p, kPixelFormat));
    return false;
  }
  width = U32(p, kWidth), height = U32(p, kHeight);
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
    gpu::Log("ERROR: dds '%s': size %ux%u out of range\n", name, width, height);
    return false;
  }
  if (U32(p, kCaps2) & (kCaps2Cubemap | kCaps2Volume)) {
    gpu::Log("ERROR: dds '%s': cube and volume textures are not supported\n", name);
    return false;
  }
  const uint32_t pf = U32(p, kPfFlags);
  format = 0;
  if (pf & kPfFourCC) {
    const uint32_t fourcc = U32(p, kFourCC);
    if (fourcc == gpu::fmt::DXT1 || fourcc == gpu::fmt::DXT3 || fourcc == gpu::fmt::DXT5) format = fourcc;
  } else if ((pf & kPfRgb) && U32(p, kBitCount) == 32 && U32(p, kRMask) == 0xFF0000 && U32(p, kGMask) == 0xFF00 &&
             U32(p, kBMask) == 0xFF) {
    format = (pf & kPfAlphaPixels) && U32(p, kAMask) == 0xFF000000u ? gpu::fmt::A8R8G8B8 : gpu::fmt::X8R8G8B8;
  } else if ((pf & kPfAlpha) && U32(p, kBitCount) == 8 && U32(p, kAMask) == 0xFF) {
    format = gpu::fmt::A8;
  }
  if (!format) {
    gpu::Log("ERROR: dds '%s': unsupported pixel format (flags 0x%x, fourcc 0x%08x, %u bits)\n", name, pf,
             U32(p, kFourCC), U32(p, kBitCount));
    return false;
  }
  uint32_t chain = 1;
  for (uint32_t w = width, h = height; w > 1 || h > 1; w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) ++chain;
  levels = (U32(p, kFlags) & kFlagMipCount) ? U32(p, kMipCount) : 1;
  if (levels == 0) levels = 1;
  if (levels > chain) {
    gpu::Log("ERROR: dds '%s': %u mip levels for %ux%u (at most %u)\n", name, levels, width, height, chain);
    return false;
  }
  return true;
}

// The bytes of one level, or 0 when they would pass the end of the file (logged).
size_t LevelBytes(uint32_t format, uint32_t w, uint32_t h, size_t at, size_t size, uint32_t level, const char* name) {
  const size_t bytes = size_t(gpu::RowPitch(format, w)) * gpu::RowCount(format, h);
  if (bytes <= size - at) return bytes;
  gpu::Log("ERROR: dds '%s': level %u extends past end of file (offset %zu, %zu bytes, file %zu)\n", name, level, at,
           bytes, size);
  return 0;
}

}  // namespace

bool ReadDds(const void* data, size_t size, const char* name, DdsImage* out) {
  if (!name) name = "(memory)";
  const uint8_t* p = static_cast<const uint8_t*>(data);
  uint32_t format = 0, width = 0, height = 0, levels = 0;
  if (!ReadHeader(p, size, name, format, width, height, levels)) return false;
  DdsImage image;
  image.format = format;
  size_t at = kDataStart;
  uint32_t w = width, h = height;
  for (uint32_t i = 0; i < levels; ++i) {
    const size_t bytes = LevelBytes(format, w, h, at, size, i, name);
    if (!bytes) return false;
    image.levels.push_back({w, h, std::vector<uint8_t>(p + at, p + at + bytes)});
    at += bytes;
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  *out = std::move(image);
  return true;
}

bool ReadDdsTop(const void* data, size_t size, const char* name, DdsTop* out) {
  if (!name) name = "(memory)";
  const uint8_t* p = static_cast<const uint8_t*>(data);
  uint32_t format = 0, width = 0, height = 0, levels = 0;
  if (!ReadHeader(p, size, name, format, width, height, levels)) return false;
  const size_t bytes = LevelBytes(format, width, height, kDataStart, size, 0, name);
  if (!bytes) return false;
  *out = {format, width, height, p + kDataStart, bytes};
  return true;
}

}  // namespace gpux
