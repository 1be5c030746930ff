#include "dds/file/DdsWriter.h"

#include "dds/block/BlockWriter.h"
#include "dds/block/ColorPacking.h"
#include "dds/file/DdsHeader.h"
#include "dds/Log.h"
#include "dds/TextureCompressOptions.h"

#include <cstring>

namespace dds {
namespace {

u8* Put8(u8* p, int v) {
  *p = static_cast<u8>(v);
  return p + 1;
}
u8* Put16(u8* p, int v) {
  p[0] = static_cast<u8>(v);
  p[1] = static_cast<u8>(v >> 8);
  return p + 2;
}
u8* PutFloat(u8* p, f32 v) {
  u32 bits;
  std::memcpy(&bits, &v, 4);
  for (int k = 0; k < 4; ++k) p[k] = static_cast<u8>(bits >> (8 * k));
  return p + 4;
}
u8* PutHalf(u8* p, f32 v) { return Put16(p, FloatToHalf(v)); }

int U(f32 v, int bits) { return ClampUnsignedBits(v, bits); }
// Signed values are stored as two's complement in their field.
int S(f32 v, int bits) { return ClampSignedBits(v, bits) & ((1 << bits) - 1); }

// Writes one pixel of a non-block format; returns the position after it.
u8* PackPixel(const TextureCompressOptions& o, const f32* px, u8* p) {
  const f32 r = px[0], g = px[1], b = px[2], a = px[3];
  switch (o.texture_format) {
    case 4:
      return Put16(p, U(a, 4) << 12 | U(r, 4) << 8 | U(g, 4) << 4 | U(b, 4));
    case 5:
      return Put16(p, (a > o.binary_alpha_threshold ? 1 : 0) << 15 | U(r, 5) << 10 |
                          U(g, 5) << 5 | U(b, 5));
    case 6:
      return Put16(p, U(r, 5) << 11 | U(g, 6) << 5 | U(b, 5));
    case 7:
      if (o.rgbe_output) {
        u8 e[4];
        EncodeRGBE(r, g, b, e);
        p = Put8(p, e[2]);
        p = Put8(p, e[1]);
        p = Put8(p, e[0]);
        return Put8(p, e[3]);
      }
      p = Put8(p, U(b, 8));
      p = Put8(p, U(g, 8));
      p = Put8(p, U(r, 8));
      return Put8(p, U(a, 8));
    case 8:
      p = Put8(p, U(b, 8));
      p = Put8(p, U(g, 8));
      return Put8(p, U(r, 8));
    case 9:
      return Put16(p, U(r, 5) << 10 | U(g, 5) << 5 | U(b, 5));
    case 11:
    case 12:
      p = Put8(p, S(r, 8));
      return Put8(p, S(g, 8));
    case 13:
      return Put8(p, U(o.normalmap_cnv == 1010 ? (r + g + b) / 3.0f : a, 8));
    case 15:
      p = Put8(p, S(r, 8));
      p = Put8(p, S(g, 8));
      p = Put8(p, S(b, 8));
      return Put8(p, S(a, 8));
    case 16:
      p = Put8(p, U(LevelLuminance(o, px), 8));
      return Put8(p, U(a, 8));
    case 17:
      return PutFloat(p, r);
    case 18:
      p = PutFloat(p, r);
      p = PutFloat(p, g);
      p = PutFloat(p, b);
      return PutFloat(p, a);
    case 19:
      p = PutHalf(p, r);
      p = PutHalf(p, g);
      p = PutHalf(p, b);
      return PutHalf(p, a);
    case 20:
      return Put8(p, U(LevelLuminance(o, px), 8));
    case 23:
      return PutHalf(p, r);
    case 25:
      p = Put8(p, U(b, 8));
      p = Put8(p, U(g, 8));
      p = Put8(p, U(r, 8));
      return Put8(p, 0);
    case 26:
      p = Put16(p, S(r, 16));
      return Put16(p, S(g, 16));
    case 27:
      p = Put16(p, U(r, 16));
      return Put16(p, U(g, 16));
    case 28:
      p = PutHalf(p, r);
      return PutHalf(p, g);
    case kFormatL16:
      return Put16(p, U(LevelLuminance(o, px), 16));
    default:
      return p;
  }
}

}  // namespace

u16 FloatToHalf(f32 value) {
  u32 bits;
  std::memcpy(&bits, &value, 4);
  const u32 sign = (bits >> 16) & 0x8000;
  const i32 exponent = static_cast<i32>((bits >> 23) & 0xFF);
  u32 mantissa = bits & 0x7FFFFF;
  if (exponent == 0xFF) {
    if (mantissa == 0) return static_cast<u16>(sign | 0x7C00);
    return static_cast<u16>(sign | 0x7E00 | (mantissa >> 13));
  }
  const i32 e = exponent - 127 + 15;
  if (e >= 31) return static_cast<u16>(sign | 0x7C00);
  if (e <= 0) {
    if (e < -10) return static_cast<u16>(sign);
    mantissa |= 0x800000;
    return static_cast<u16>(sign | (mantissa >> (14 - e)));
  }
  return static_cast<u16>(sign | static_cast<u32>(e) << 10 | mantissa >> 13);
}

f32 LevelLuminance(const TextureCompressOptions& o, const f32* px) {
  if (o.b_calc_luminance) return 0.299f * px[0] + 0.587f * px[1] + 0.114f * px[2];
  return px[0];
}

i32 WriteLevel(const TextureCompressOptions& o, const FloatImage& level, i32 level_index,
               u8*& out, u32& size) {
  out = nullptr;
  size = 0;
  const i32 f = o.texture_format;
  if (!IsWritableFormat(f)) {
    Log("ERROR: dds: texture format %d cannot be written\n", f);
    return kErrUnsupportedFormat;
  }
  const i32 bytes = GetLevelSize(f, static_cast<i32>(level.width), static_cast<i32>(level.height),
                                 level_index);
  u8* buffer = new u8[static_cast<u32>(bytes)];
  if (IsBlockFormat(f)) {
    i32 result = kOk;
    switch (f) {
      case 0: result = CompressDXT1(o, level, buffer); break;
      case 1: result = CompressDXT1Alpha(o, level, buffer); break;
      case 2: result = CompressDXT3(o, level, buffer); break;
      case 3: result = CompressDXT5(o, level, buffer); break;
      case 24: result = CompressDXT5Alt(o, level, buffer); break;
      default: result = CompressATI2(o, level, buffer); break;
    }
    if (result != kOk) {
      delete[] buffer;
      return result;
    }
  } else {
    u8* p = buffer;
    for (u32 y = 0; y < level.height; ++y)
      for (u32 x = 0; x < level.width; ++x) p = PackPixel(o, level.Pixel(x, y), p);
  }
  out = buffer;
  size = static_cast<u32>(bytes);
  return kOk;
}

}  // namespace dds
