#include "dds/image/FloatImage.h"

#include <cmath>
#include <cstring>

#include "dds/Log.h"

namespace dds {

FloatImage::FloatImage(FloatImage&& other) noexcept
    : rows(other.rows), height(other.height), width(other.width) {
  other.rows = nullptr;
  other.height = 0;
  other.width = 0;
}

FloatImage& FloatImage::operator=(FloatImage&& other) noexcept {
  if (this != &other) {
    Free();
    rows = other.rows;
    height = other.height;
    width = other.width;
    other.rows = nullptr;
    other.height = 0;
    other.width = 0;
  }
  return *this;
}

void FloatImage::Allocate(u32 h, u32 w) {
  height = h;
  width = w;
  if (h == 0 || w == 0) return;
  rows = new f32*[h];
  for (u32 y = 0; y < h; ++y) rows[y] = new f32[4 * static_cast<std::size_t>(w)]();
}

void FloatImage::Free() {
  if (rows != nullptr) {
    for (u32 y = 0; y < height; ++y) delete[] rows[y];
    delete[] rows;
  }
  rows = nullptr;
  height = 0;
  width = 0;
}

void FloatImage::Resize(u32 w, u32 h) {
  if (w == width && h == height) return;
  Free();
  Allocate(h, w);
}

void FloatImage::Assign(const FloatImage& other) {
  if (this == &other) return;
  Resize(other.width, other.height);
  if (rows == nullptr) return;
  const std::size_t bytes = 16 * static_cast<std::size_t>(width);
  for (u32 y = 0; y < height; ++y) std::memcpy(rows[y], other.rows[y], bytes);
}

u32 FullChainCount(u32 width, u32 height) {
  u32 side = width > height ? width : height;
  u32 count = 0;
  while (side != 0) {
    ++count;
    side >>= 1;
  }
  return count;
}

void BuildMipChain(tVector<MipLevel>& levels, u32 width, u32 height, u32 count) {
  if (count == 0) count = FullChainCount(width, height);
  levels.resize(count);
  u32 w = width;
  u32 h = height;
  for (u32 i = 0; i < count; ++i) {
    levels[i].width = w;
    levels[i].height = h;
    levels[i].pixels.resize(w * h);
    w = w / 2 > 0 ? w / 2 : 1;
    h = h / 2 > 0 ? h / 2 : 1;
  }
}

void BuildFloatChain(tVector<FloatImage>& levels, u32 width, u32 height, u32 count) {
  if (count == 0) count = FullChainCount(width, height);
  levels.resize(count);
  u32 w = width;
  u32 h = height;
  for (u32 i = 0; i < count; ++i) {
    levels[i].Resize(w, h);
    w = w / 2 > 0 ? w / 2 : 1;
    h = h / 2 > 0 ? h / 2 : 1;
  }
}

namespace {

// Shared-exponent bytes: byte/255 * 2^(E - 128) per channel, E = 0 is black.
void DecodeSharedExponent(u32 pixel, f32* out) {
  const int e = static_cast<int>((pixel >> 24) & 0xFF);
  if (e == 0) {
    out[0] = out[1] = out[2] = 0.0f;
  } else {
    const double f = std::ldexp(1.0 / 255.0, e - 128);
    out[0] = static_cast<f32>((pixel & 0xFF) * f);
    out[1] = static_cast<f32>(((pixel >> 8) & 0xFF) * f);
    out[2] = static_cast<f32>(((pixel >> 16) & 0xFF) * f);
  }
  out[3] = 1.0f;
}

}  // namespace

void ToFloatPicture(const tVector<MipLevel>& levels, tVector<FloatImage>& out) {
  if (levels.size() == 0) {
    out.resize(0);
    return;
  }
  BuildFloatChain(out, levels[0].width, levels[0].height, levels.size());
  for (u32 i = 0; i < levels.size(); ++i) {
    const MipLevel& level = levels[i];
    FloatImage& image = out[i];
    // The chain's sizes are halvings of level 0; a level given with another size keeps its own.
    image.Resize(level.width, level.height);
    const u64 claimed = static_cast<u64>(level.width) * level.height;
    if (level.pixels.size() < claimed) {
      Log("ERROR: level %u claims %ux%u pixels but holds %u\n", i, level.width, level.height,
          level.pixels.size());
    }
    u32 n = 0;
    for (u32 y = 0; y < image.height; ++y) {
      f32* row = image.Row(y);
      for (u32 x = 0; x < image.width; ++x, ++n, row += 4) {
        if (n >= level.pixels.size()) {
          row[0] = row[1] = row[2] = row[3] = 0.0f;
          continue;
        }
        const u32 p = level.pixels[n];
        if (level.rgbe) {
          DecodeSharedExponent(p, row);
        } else {
          row[0] = static_cast<f32>(p & 0xFF) / 255.0f;
          row[1] = static_cast<f32>((p >> 8) & 0xFF) / 255.0f;
          row[2] = static_cast<f32>((p >> 16) & 0xFF) / 255.0f;
          row[3] = static_cast<f32>(p >> 24) / 255.0f;
        }
      }
    }
  }
}

}  // namespace dds
