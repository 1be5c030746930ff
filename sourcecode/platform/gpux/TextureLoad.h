// Image files to textures: TGA, BMP, PNG and JPEG through stb_image, DDS through our own reader,
// with the size, level, format and colour-key rules of the engine's loading calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gpu/Device.h"

namespace gpux {

// Size and level arguments.
inline constexpr uint32_t kDefault = 0xFFFFFFFFu;         // size: the file's, rounded up to powers of two;
                                                          // levels: the full chain
inline constexpr uint32_t kDefaultNonPow2 = 0xFFFFFFFEu;  // size: the file's as it is
inline constexpr uint32_t kFromFile = 0xFFFFFFFDu;        // size or levels as stored in the file

namespace filter {  // how an image is fitted to a texture size that differs from its own
inline constexpr uint32_t None = 1, Point = 2, Linear = 3, Triangle = 4, Box = 5;
inline constexpr uint32_t Mask = 0xFFFF;  // the mirror and dither bits above are accepted and ignored
}  // namespace filter

enum ImageFileFormat : uint32_t { kBmp = 0, kJpg = 1, kTga = 2, kPng = 3, kDds = 4 };

struct ImageInfo {
  uint32_t width, height, depth, mipLevels, format, resourceType, imageFileFormat;
};

// A decoded image: pixels 0xAARRGGBB, top row first.
struct Image {
  uint32_t width = 0, height = 0;
  bool hasAlpha = false;
  uint32_t fileFormat = kBmp;
  std::vector<uint32_t> pixels;
};

// Decodes any supported file (DDS included, decompressed). Bad data: one "ERROR: image '<name>': …"
// log line and false.
bool DecodeImage(const void* data, size_t size, const char* name, Image* out);

// Makes a texture from encoded file bytes.
// width/height: kDefault, kDefaultNonPow2, kFromFile or a size; when the texture size differs
// from the image, filter None puts the image at the top-left with transparent black around it,
// other filters resample. mipLevels: 0 or kDefault = full chain, kFromFile = as stored (1 for
// non-DDS files), n = at most n. format: gpu::fmt::FromFile keeps a DDS file's format (other
// files give A8R8G8B8 with alpha, X8R8G8B8 without). colorKey: non-zero turns pixels of exactly
// that colour into transparent black.
gpu::Result CreateTextureFromFileInMemoryEx(gpu::Device* device, const void* data, size_t size, uint32_t width,
                                            uint32_t height, uint32_t mipLevels, uint32_t usage, uint32_t format,
                                            uint32_t pool, uint32_t filter, uint32_t mipFilter, uint32_t colorKey,
                                            ImageInfo* info, gpu::Texture** out, const char* name = nullptr);

// The same from a file path ('\' is taken as '/').
gpu::Result CreateTextureFromFileEx(gpu::Device* device, const char* path, uint32_t width, uint32_t height,
                                    uint32_t mipLevels, uint32_t usage, uint32_t format, uint32_t pool,
                                    uint32_t filter, uint32_t mipFilter, uint32_t colorKey, ImageInfo* info,
                                    gpu::Texture** out);

// Reads a whole file; false (with a log line) when it cannot be read.
bool ReadWholeFile(const char* path, std::vector<uint8_t>* out);

}  // namespace gpux
