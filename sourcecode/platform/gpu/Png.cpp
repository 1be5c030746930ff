#include "platform/gpu/Png.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace gpu {

bool EncodePng(uint32_t width, uint32_t height, const void* pixels, uint32_t pitch, bool keepAlpha,
               std::vector<uint8_t>& out) {
  out.clear();
  if (!pixels || !width || !height || width > 0x7fff || height > 0x7fff) return false;
  const int channels = keepAlpha ? 4 : 3;
  std::vector<uint8_t> rgba(size_t(width) * height * size_t(channels));
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(pixels) + size_t(y) * pitch;
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* o = &rgba[(size_t(y) * width + x) * size_t(channels)];
      o[0] = row[x * 4 + 2], o[1] = row[x * 4 + 1], o[2] = row[x * 4];
      if (keepAlpha) o[3] = row[x * 4 + 3];
    }
  }
  const auto append = [](void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(context);
    bytes->insert(bytes->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  };
  if (!stbi_write_png_to_func(append, &out, int(width), int(height), channels, rgba.data(), int(width) * channels)) {
    out.clear();
    return false;
  }
  return true;
}

PictureDifference ComparePixels(const uint32_t* a, const uint32_t* b, size_t count, int farDifference) {
  PictureDifference result;
  if (count == 0) return result;
  uint64_t sum = 0;
  for (size_t i = 0; i < count; ++i) {
    int worst = 0;
    for (int shift : {16, 8, 0}) {
      const int d = std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF));
      sum += static_cast<uint64_t>(d);
      worst = std::max(worst, d);
    }
    if (worst > farDifference) ++result.far;
  }
  result.mean = double(sum) / (3.0 * double(count));
  return result;
}

}  // namespace gpu
