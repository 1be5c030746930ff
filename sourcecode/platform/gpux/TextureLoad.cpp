#include "platform/gpux/TextureLoad.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/gpu/Dxt.h"
#include "platform/gpu/Log.h"
#include "platform/gpux/Dds.h"

// The decoder's and the block compressor's implementations live in StbImage.cpp.
#include <stb/stb_image.h>
#include <stb/stb_dxt.h>

namespace gpux {
namespace {

using gpu::Result;

uint32_t NextPow2(uint32_t v) {
  uint32_t p = 1;
  while (p < v && p < 0x80000000u) p <<= 1;
  return p;
}

uint32_t FileFormatOf(const uint8_t* p, size_t size) {
  if (size >= 8 && std::memcmp(p, "\x89PNG", 4) == 0) return kPng;
  if (size >= 2 && p[0] == 'B' && p[1] == 'M') return kBmp;
  if (size >= 3 && p[0] == 0xFF && p[1] == 0xD8) return kJpg;
  return kTga;  // TGA has no signature
}

// Whether a TGA's pixel data is all there. The decoder reads zeros past the end of a file cut
// short and reports success, so a damaged picture would show half black without a word.
bool TgaIsWhole(const uint8_t* p, size_t size) {
  if (size < 18) return false;
  const unsigned type = p[2];
  const bool rle = type == 9 || type == 10 || type == 11;
  const unsigned bits = p[16];
  // Not a TGA these checks know (or some other format without a signature): the decoder judges.
  if ((!rle && type != 1 && type != 2 && type != 3) || p[1] > 1 ||
      (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32))
    return true;
  const size_t colourMap = p[1] ? size_t(p[5] | p[6] << 8) * ((size_t(p[7]) + 7) / 8) : 0;
  const size_t pixelBytes = (size_t(bits) + 7) / 8;
  const size_t pixels = size_t(p[12] | p[13] << 8) * size_t(p[14] | p[15] << 8);
  size_t at = 18 + size_t(p[0]) + colourMap;
  if (!rle) return at <= size && pixels * pixelBytes <= size - at;
  for (size_t done = 0; done < pixels;) {
    if (at >= size) return false;
    const uint8_t packet = p[at++];
    const size_t count = size_t(packet & 0x7F) + 1;
    at += packet & 0x80 ? pixelBytes : count * pixelBytes;
    if (at > size) return false;
    done += count;
  }
  return true;
}

uint32_t Channel(uint32_t c, int shift) { return (c >> shift) & 0xFF; }

// Bilinear sample at texel-space position (x, y) with clamped edges.
uint32_t SampleLinear(const Image& image, float x, float y) {
  x = std::clamp(x - 0.5f, 0.0f, float(image.width - 1));
  y = std::clamp(y - 0.5f, 0.0f, float(image.height - 1));
  const uint32_t x0 = uint32_t(x), y0 = uint32_t(y);
  const uint32_t x1 = std::min(x0 + 1, image.width - 1), y1 = std::min(y0 + 1, image.height - 1);
  const float fx = x - float(x0), fy = y - float(y0);
  const uint32_t* p = image.pixels.data();
  const uint32_t a = p[y0 * image.width + x0], b = p[y0 * image.width + x1], c = p[y1 * image.width + x0],
                 d = p[y1 * image.width + x1];
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const float top = float(Channel(a, shift)) * (1 - fx) + float(Channel(b, shift)) * fx;
    const float bottom = float(Channel(c, shift)) * (1 - fx) + float(Channel(d, shift)) * fx;
    out |= uint32_t(std::lround(top * (1 - fy) + bottom * fy)) << shift;
  }
  return out;
}

Image Fit(const Image& source, uint32_t width, uint32_t height, uint32_t filterMode) {
  Image out;
  out.width = width, out.height = height, out.hasAlpha = source.hasAlpha;
  out.pixels.assign(size_t(width) * height, 0);
  if (width == source.width && height == source.height) {
    out.pixels = source.pixels;
    return out;
  }
  const uint32_t mode = filterMode & filter::Mask;
  if (mode == filter::None) {
    // The image at the top-left; the margin stays transparent black.
    for (uint32_t y = 0; y < std::min(height, source.height); ++y)
      std::memcpy(&out.pixels[size_t(y) * width], &source.pixels[size_t(y) * source.width],
                  std::min(width, source.width) * 4);
    out.hasAlpha = true;
    return out;
  }
  const float sx = float(source.width) / float(width), sy = float(source.height) / float(height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const float fx = (float(x) + 0.5f) * sx, fy = (float(y) + 0.5f) * sy;
      out.pixels[size_t(y) * width + x] =
          mode == filter::Point ? source.pixels[std::min(uint32_t(fy), source.height - 1) * source.width +
                                                std::min(uint32_t(fx), source.width - 1)]
                                : SampleLinear(source, fx, fy);
    }
  return out;
}

// The next smaller level: each texel the mean of the (up to) four above it.
Image HalfSize(const Image& source) {
  Image out;
  out.width = std::max(1u, source.width / 2), out.height = std::max(1u, source.height / 2);
  out.hasAlpha = source.hasAlpha;
  out.pixels.resize(size_t(out.width) * out.height);
  for (uint32_t y = 0; y < out.height; ++y)
    for (uint32_t x = 0; x < out.width; ++x) {
      const uint32_t x0 = std::min(2 * x, source.width - 1), x1 = std::min(2 * x + 1, source.width - 1);
      const uint32_t y0 = std::min(2 * y, source.height - 1), y1 = std::min(2 * y + 1, source.height - 1);
      const uint32_t q[4] = {source.pixels[y0 * source.width + x0], source.pixels[y0 * source.width + x1],
                             source.pixels[y1 * source.width + x0], source.pixels[y1 * source.width + x1]};
      uint32_t v = 0;
      for (int shift = 0; shift < 32; shift += 8)
        v |= ((Channel(q[0], shift) + Channel(q[1], shift) + Channel(q[2], shift) + Channel(q[3], shift) + 2) / 4)
             << shift;
      out.pixels[size_t(y) * out.width + x] = v;
    }
  return out;
}

// Writes one level in the texture's format.
bool StoreLevel(gpu::Texture* texture, uint32_t level, const Image& image) {
  gpu::LockedRect locked;
  if (texture->LockRect(level, &locked, nullptr, 0) != gpu::kOk) return false;
  uint8_t* base = static_cast<uint8_t*>(locked.bits);
  const uint32_t format = texture->Format();
  if (format == gpu::fmt::A8R8G8B8 || format == gpu::fmt::X8R8G8B8) {
    for (uint32_t y = 0; y < image.height; ++y)
      std::memcpy(base + size_t(y) * uint32_t(locked.pitch), &image.pixels[size_t(y) * image.width], image.width * 4);
  } else if (format == gpu::fmt::A8) {
    for (uint32_t y = 0; y < image.height; ++y)
      for (uint32_t x = 0; x < image.width; ++x)
        base[size_t(y) * uint32_t(locked.pitch) + x] = uint8_t(image.pixels[size_t(y) * image.width + x] >> 24);
  } else {  // DXT1 or DXT5 through stb_dxt
    const bool alpha = format == gpu::fmt::DXT5;
    const size_t blockBytes = alpha ? 16 : 8;
    for (uint32_t by = 0; by < (image.height + 3) / 4; ++by)
      for (uint32_t bx = 0; bx < (image.width + 3) / 4; ++bx) {
        unsigned char rgba[64];
        for (uint32_t i = 0; i < 16; ++i) {
          const uint32_t x = std::min(bx * 4 + i % 4, image.width - 1), y = std::min(by * 4 + i / 4, image.height - 1);
          const uint32_t c = image.pixels[size_t(y) * image.width + x];
          rgba[i * 4] = uint8_t(c >> 16), rgba[i * 4 + 1] = uint8_t(c >> 8), rgba[i * 4 + 2] = uint8_t(c),
          rgba[i * 4 + 3] = uint8_t(c >> 24);
        }
        stb_compress_dxt_block(base + size_t(by) * uint32_t(locked.pitch) + bx * blockBytes, rgba, alpha ? 1 : 0,
                               STB_DXT_HIGHQUAL);
      }
  }
  texture->UnlockRect(level);
  return true;
}

}  // namespace

bool ReadWholeFile(const char* path, std::vector<uint8_t>* out) {
  if (!path || !out) return false;
  std::string name(path);
  std::replace(name.begin(), name.end(), '\\', '/');
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (!file) {
    gpu::Log("ERROR: image '%s': cannot open file\n", name.c_str());
    return false;
  }
  out->clear();
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) out->insert(out->end(), buffer, buffer + n);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  if (!ok) gpu::Log("ERROR: image '%s': read error\n", name.c_str());
  return ok;
}

bool DecodeImage(const void* data, size_t size, const char* name, Image* out) {
  if (!name) name = "(memory)";
  if (!data || !out || size == 0) {
    gpu::Log("ERROR: image '%s': no data\n", name);
    return false;
  }
  if (IsDds(data, size)) {
    DdsImage dds;
    if (!ReadDds(data, size, name, &dds)) return false;
    const DdsLevel& top = dds.levels[0];
    Image image;
    image.width = top.width, image.height = top.height, image.fileFormat = kDds;
    image.pixels.resize(size_t(top.width) * top.height);
    image.hasAlpha = dds.format != gpu::fmt::X8R8G8B8;
    if (gpu::IsCompressed(dds.format)) {
      gpu::DecodeDxt(dds.format, top.width, top.height, top.data.data(), top.data.size(), image.pixels.data());
    } else if (dds.format == gpu::fmt::A8) {
      for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint32_t(top.data[i]) << 24;
    } else {
      std::memcpy(image.pixels.data(), top.data.data(), image.pixels.size() * 4);
      if (dds.format == gpu::fmt::X8R8G8B8)
        for (uint32_t& p : image.pixels) p |= 0xFF000000u;
    }
    *out = std::move(image);
    return true;
  }
  if (size > size_t(0x7FFFFFFF)) {
    gpu::Log("ERROR: image '%s': file too large\n", name);
    return false;
  }
  if (FileFormatOf(static_cast<const uint8_t*>(data), size) == kTga &&
      !TgaIsWhole(static_cast<const uint8_t*>(data), size)) {
    gpu::Log("ERROR: image '%s': cut short: its %zu bytes do not hold the picture its header describes\n", name, size);
    return false;
  }
  int w = 0, h = 0, channels = 0;
  stbi_uc* rgba = stbi_load_from_memory(static_cast<const stbi_uc*>(data), int(size), &w, &h, &channels, 4);
  if (!rgba) {
    gpu::Log("ERROR: image '%s': cannot decode (%s)\n", name, stbi_failure_reason());
    return false;
  }
  Image image;
  image.width = uint32_t(w), image.height = uint32_t(h);
  image.hasAlpha = channels == 2 || channels == 4;
  image.fileFormat = FileFormatOf(static_cast<const uint8_t*>(data), size);
  image.pixels.resize(size_t(w) * size_t(h));
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    const stbi_uc* p = rgba + i * 4;
    image.pixels[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  }
  stbi_image_free(rgba);
  *out = std::move(image);
  return true;
}

Result CreateTextureFromFileInMemoryEx(gpu::Device* device, const void* data, size_t size, uint32_t width,
                                       uint32_t height, uint32_t mipLevels, uint32_t usage, uint32_t format,
                                       uint32_t pool, uint32_t filterMode, uint32_t, uint32_t colorKey,
                                       ImageInfo* info, gpu::Texture** out, const char* name) {
  if (!device || !out) return gpu::kErrInvalidCall;
  *out = nullptr;
  if (!name) name = "(memory)";
  // A DDS file whose stored levels fit as they are goes to the texture without decoding.
  DdsImage dds;
  const bool isDds = IsDds(data, size);
  if (isDds && !ReadDds(data, size, name, &dds)) return gpu::kErrInvalidCall;
  Image image;
  uint32_t fileWidth, fileHeight, fileFormat, fileLevels;
  if (isDds) {
    fileWidth = dds.levels[0].width, fileHeight = dds.levels[0].height;
    fileFormat = dds.format, fileLevels = uint32_t(dds.levels.size());
  } else {
    if (!DecodeImage(data, size, name, &image)) return gpu::kErrInvalidCall;
    fileWidth = image.width, fileHeight = image.height, fileLevels = 1;
    fileFormat = image.hasAlpha ? gpu::fmt::A8R8G8B8 : gpu::fmt::X8R8G8B8;
  }
  if (info) *info = {fileWidth, fileHeight, 1, fileLevels, fileFormat, gpu::resource::Texture, isDds ? uint32_t(kDds) : image.fileFormat};

  auto sizeFor = [](uint32_t wanted, uint32_t file) {
    return wanted == kDefault || wanted == 0 ? NextPow2(file) : wanted == kDefaultNonPow2 || wanted == kFromFile ? file : wanted;
  };
  const uint32_t w = sizeFor(width, fileWidth), h = sizeFor(height, fileHeight);
  const uint32_t target = format == gpu::fmt::FromFile ? fileFormat : format;
  uint32_t chain = 1;
  for (uint32_t a = w, b = h; a > 1 || b > 1; a = std::max(1u, a / 2), b = std::max(1u, b / 2)) ++chain;
  uint32_t levels = mipLevels == 0 || mipLevels == kDefault ? chain : mipLevels == kFromFile ? fileLevels : mipLevels;
  levels = std::min(levels, chain);

  if (isDds && target == dds.format && w == fileWidth && h == fileHeight && colorKey == 0 && levels <= fileLevels) {
    gpu::Texture* texture = nullptr;
    const Result r = device->CreateTexture(w, h, levels, usage, target, pool, &texture);
    if (r != gpu::kOk) return r;
    for (uint32_t i = 0; i < levels; ++i) {
      gpu::LockedRect locked;
      if (texture->LockRect(i, &locked, nullptr, 0) != gpu::kOk) continue;
      const DdsLevel& l = dds.levels[i];
      const uint32_t pitch = gpu::RowPitch(target, l.width);
      for (uint32_t row = 0; row < gpu::RowCount(target, l.height); ++row)
        std::memcpy(static_cast<uint8_t*>(locked.bits) + size_t(row) * uint32_t(locked.pitch), &l.data[size_t(row) * pitch], pitch);
      texture->UnlockRect(i);
    }
    *out = texture;
    return gpu::kOk;
  }
  if (isDds && !DecodeImage(data, size, name, &image)) return gpu::kErrInvalidCall;
  if (target == gpu::fmt::DXT3 || !(target == gpu::fmt::A8R8G8B8 || target == gpu::fmt::X8R8G8B8 ||
                                    target == gpu::fmt::A8 || target == gpu::fmt::DXT1 || target == gpu::fmt::DXT5)) {
    gpu::Log("ERROR: image '%s': cannot convert to format %u\n", name, target);
    return gpu::kErrInvalidCall;
  }
  if (colorKey)
    for (uint32_t& p : image.pixels)
      if (p == colorKey) p = 0;
  Image level = Fit(image, w, h, filterMode);
  gpu::Texture* texture = nullptr;
  const Result r = device->CreateTexture(w, h, levels, usage, target, pool, &texture);
  if (r != gpu::kOk) return r;
  for (uint32_t i = 0; i < levels; ++i) {
    if (i > 0) level = HalfSize(level);
    StoreLevel(texture, i, level);
  }
  *out = texture;
  return gpu::kOk;
}

Result CreateTextureFromFileEx(gpu::Device* device, const char* path, uint32_t width, uint32_t height,
                               uint32_t mipLevels, uint32_t usage, uint32_t format, uint32_t pool, uint32_t filterMode,
                               uint32_t mipFilter, uint32_t colorKey, ImageInfo* info, gpu::Texture** out) {
  if (out) *out = nullptr;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes)) return gpu::kErrNotAvailable;
  return CreateTextureFromFileInMemoryEx(device, bytes.data(), bytes.size(), width, height, mipLevels, usage, format,
                                         pool, filterMode, mipFilter, colorKey, info, out, path);
}

}  // namespace gpux
