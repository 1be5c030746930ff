#include "dds/image/Picture.h"

#include <cmath>
#include <cstring>

namespace dds {
namespace {

// c^p with the sign kept, so filter overshoot below 0 survives a gamma round trip instead of
// turning into NaN.
inline f32 SignedPow(f32 c, f64 p) {
  if (c >= 0.0f) return static_cast<f32>(std::pow(static_cast<f64>(c), p));
  return -static_cast<f32>(std::pow(-static_cast<f64>(c), p));
}

}  // namespace

void CFloat::OpenForWriting(u32 width, u32 height) {
  mode = MODE_WRITE;
  pixels.Resize(width, height);
}

void CFloat::LoadForReading(const FloatImage& image, f32 gamma) {
  mode = MODE_READ;
  if (gamma == 0.0f) {
    pixels.Assign(image);
    return;
  }
  pixels.Resize(image.width, image.height);
  const f64 p = 1.0 / gamma;
  for (u32 y = 0; y < image.height; ++y) {
    const f32* in = image.Row(y);
    f32* out = pixels.Row(y);
    for (u32 i = 0; i < 4 * image.width; ++i) out[i] = SignedPow(in[i], p);
  }
}

const FloatImage& CFloat::Result(f32 gamma) {
  if (gamma == 0.0f) return pixels;
  gamma_pixels.Resize(pixels.width, pixels.height);
  for (u32 y = 0; y < pixels.height; ++y) {
    const f32* in = pixels.Row(y);
    f32* out = gamma_pixels.Row(y);
    for (u32 i = 0; i < 4 * pixels.width; ++i) out[i] = SignedPow(in[i], gamma);
  }
  return gamma_pixels;
}

int CFloat::Open(const char*, const char* mode_text) {
  mode = (mode_text != nullptr && mode_text[0] == 'r') ? MODE_READ : MODE_WRITE;
  return 0;
}

void CFloat::Close() {
  if (mode == MODE_WRITE) pixels.Free();
}

void CFloat::Clear(u8 grey) { ClearColor(grey, grey, grey, grey); }

void CFloat::ClearColor(u8 r, u8 g, u8 b, u8 a) {
  const f32 c[4] = {r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
  for (u32 y = 0; y < pixels.height; ++y) {
    f32* row = pixels.Row(y);
    for (u32 x = 0; x < pixels.width; ++x) std::memcpy(row + 4 * x, c, sizeof c);
  }
}

void CFloat::GetBox(i32& x0, i32& y0, i32& nx, i32& ny) const {
  if (mode == MODE_READ) {
    x0 = 0;
    y0 = 0;
    nx = static_cast<i32>(pixels.width);
    ny = static_cast<i32>(pixels.height);
  } else {
    x0 = y0 = nx = ny = kUndefined;
  }
}

void CFloat::SetBox(i32 x0, i32 y0, i32 nx, i32 ny) {
  if (mode != MODE_WRITE) return;
  box[0] = x0;
  box[1] = y0;
  box[2] = nx;
  box[3] = ny;
}

bool CFloat::ClipRun(i32 y, i32& x0, i32& count, i32& skip) const {
  skip = 0;
  if (y < 0 || y >= static_cast<i32>(pixels.height) || count <= 0) return false;
  if (x0 < 0) {
    skip = -x0;
    count += x0;
    x0 = 0;
  }
  const i32 room = static_cast<i32>(pixels.width) - x0;
  if (count > room) count = room;
  return count > 0;
}

void CFloat::WriteRow(i32 y, i32 x0, i32 count, const f32* values) {
  i32 skip;
  if (!ClipRun(y, x0, count, skip)) return;
  f32* out = pixels.Pixel(static_cast<u32>(x0), static_cast<u32>(y));
  for (i32 i = 0; i < count; ++i, out += 4) out[0] = out[1] = out[2] = out[3] = values[skip + i];
}

void CFloat::WriteRow(i32 y, i32 x0, i32 count, const u8* values) {
  i32 skip;
  if (!ClipRun(y, x0, count, skip)) return;
  f32* out = pixels.Pixel(static_cast<u32>(x0), static_cast<u32>(y));
  for (i32 i = 0; i < count; ++i, out += 4) {
    out[0] = out[1] = out[2] = out[3] = values[skip + i] / 255.0f;
  }
}

void CFloat::WriteColorRow(i32 y, i32 x0, i32 count, const f32* rgba) {
  i32 skip;
  if (!ClipRun(y, x0, count, skip)) return;
  std::memcpy(pixels.Pixel(static_cast<u32>(x0), static_cast<u32>(y)), rgba + 4 * skip,
              16 * static_cast<std::size_t>(count));
}

void CFloat::WriteColorRow(i32 y, i32 x0, i32 count, const u8* rgba) {
  i32 skip;
  if (!ClipRun(y, x0, count, skip)) return;
  f32* out = pixels.Pixel(static_cast<u32>(x0), static_cast<u32>(y));
  const u8* in = rgba + 4 * skip;
  for (i32 i = 0; i < 4 * count; ++i) out[i] = in[i] / 255.0f;
}

void CFloat::ReadColorRow(i32 y, i32 x0, i32 count, f32* rgba) {
  const i32 wanted = count;
  i32 skip;
  if (!ClipRun(y, x0, count, skip)) {
    if (wanted > 0) std::memset(rgba, 0, 16 * static_cast<std::size_t>(wanted));
    return;
  }
  if (skip > 0) std::memset(rgba, 0, 16 * static_cast<std::size_t>(skip));
  std::memcpy(rgba + 4 * skip, pixels.Pixel(static_cast<u32>(x0), static_cast<u32>(y)),
              16 * static_cast<std::size_t>(count));
  const i32 tail = wanted - skip - count;
  if (tail > 0) std::memset(rgba + 4 * (skip + count), 0, 16 * static_cast<std::size_t>(tail));
}

const f32* CFloat::ColorRowPointer(i32 y, i32 x0, i32 count) const {
  if (y < 0 || y >= static_cast<i32>(pixels.height) || x0 < 0 || count <= 0 ||
      count > static_cast<i32>(pixels.width) - x0) {
    return nullptr;
  }
  return pixels.Pixel(static_cast<u32>(x0), static_cast<u32>(y));
}

}  // namespace dds
