// Helpers of the DDS file, pipeline and profile tests: a write callback that records every call,
// generated images, and the PSNR of decoded levels.
#pragma once

#include "dds/CompressImage.h"
#include "dds/TextureCompressOptions.h"
#include "ddsfile_reader.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace ddsfile_test {

// Every callback call, in order.
struct Capture {
  struct Call {
    std::vector<uint8_t> bytes;
    bool has_info = false;
    dds::LevelInfo info{};
  };
  std::vector<Call> calls;
  int fail_at_level = -1;  // a level call with this index returns `fail_value`
  dds::i32 fail_value = 0;

  std::vector<uint8_t> File() const {
    std::vector<uint8_t> all;
    for (const Call& c : calls) all.insert(all.end(), c.bytes.begin(), c.bytes.end());
    return all;
  }
  int LevelCalls() const {
    int n = 0;
    for (const Call& c : calls) n += c.has_info;
    return n;
  }
};

inline dds::i32 CaptureCallback(const void* data, dds::u32 size, const dds::LevelInfo* info,
                                void* user) {
  Capture& c = *static_cast<Capture*>(user);
  Capture::Call call;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  call.bytes.assign(p, p + size);
  if (info) {
    call.has_info = true;
    call.info = *info;
  }
  c.calls.push_back(std::move(call));
  if (info && static_cast<int>(info->level) == c.fail_at_level) return c.fail_value;
  return 0;
}

inline uint32_t Pack(int r, int g, int b, int a) {
  return uint32_t(r & 255) | uint32_t(g & 255) << 8 | uint32_t(b & 255) << 16 | uint32_t(a & 255) << 24;
}

// A smooth, photo-like test image: gradients with a soft blob and a hard edge; alpha a ramp
// with a cut-out, or 255.
inline dds::Image MakeImage(int w, int h, bool alpha) {
  dds::Image image;
  image.width = w;
  image.height = h;
  image.pixels.resize(static_cast<dds::u32>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double u = (x + 0.5) / w, v = (y + 0.5) / h;
      const double blob = std::exp(-((u - 0.4) * (u - 0.4) + (v - 0.6) * (v - 0.6)) * 12.0);
      const int r = static_cast<int>(255 * (0.2 + 0.6 * u * (1 - blob) + 0.2 * blob));
      const int g = static_cast<int>(255 * (0.1 + 0.7 * v * (1 - 0.5 * blob)));
      const int b = u + v > 1.2 ? 200 : static_cast<int>(60 + 80 * blob);
      int a = 255;
      if (alpha) a = (u - 0.7) * (u - 0.7) + (v - 0.3) * (v - 0.3) < 0.02 ? 0 : static_cast<int>(255 * v);
      image.pixels[static_cast<dds::u32>(y * w + x)] = Pack(r, g, b, a);
    }
  return image;
}

// A float level of one colour.
inline dds::FloatImage Constant(dds::u32 w, dds::u32 h, float r, float g, float b, float a) {
  dds::FloatImage image(w, h);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = 0; x < w; ++x) {
      float* p = image.Pixel(x, y);
      p[0] = r;
      p[1] = g;
      p[2] = b;
      p[3] = a;
    }
  return image;
}

// PSNR in dB over the channels [first, last] of two RGBA byte images.
inline double Psnr(const uint8_t* a, const uint8_t* b, size_t pixels, int first, int last) {
  double sum = 0.0;
  for (size_t i = 0; i < pixels; ++i)
    for (int c = first; c <= last; ++c) {
      const double d = double(a[4 * i + c]) - double(b[4 * i + c]);
      sum += d * d;
    }
  const double mse = sum / (double(pixels) * (last - first + 1));
  return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Runs CompressImage and parses the result; `why` says what the reader rejected.
inline dds::i32 Compress(const dds::Image& image, dds::TextureCompressOptions& o, Capture& c,
                         const dds::i32* rect = nullptr) {
  o.user_data = &c;
  return dds::CompressImage(image, o, CaptureCallback, rect);
}

}  // namespace ddsfile_test
