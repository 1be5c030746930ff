#include "dds/file/DdsHeader.h"

#include "dds/TextureCompressOptions.h"

#include <cstring>

namespace dds {
namespace {

// Pixel-format flags of the descriptor.
constexpr u32 kPfAlphaPixels = 0x1;
constexpr u32 kPfAlpha = 0x2;
constexpr u32 kPfFourCC = 0x4;
constexpr u32 kPfPalette4 = 0x8;
constexpr u32 kPfPalette8 = 0x20;
constexpr u32 kPfRgb = 0x40;
constexpr u32 kPfLuminance = 0x20000;
constexpr u32 kPfBumpDuDv = 0x80000;

constexpr u32 FourCC(char a, char b, char c, char d) {
  return static_cast<u32>(static_cast<u8>(a)) | static_cast<u32>(static_cast<u8>(b)) << 8 |
         static_cast<u32>(static_cast<u8>(c)) << 16 | static_cast<u32>(static_cast<u8>(d)) << 24;
}

struct PixelFormat {
  u32 flags;
  u32 fourcc;
  u32 bit_count;
  u32 r_mask, g_mask, b_mask, a_mask;
  i32 bytes_per_pixel;  // 0 for block and palette formats
};

// ORDER FORMAT: one row per texture format value.
constexpr PixelFormat kFormats[kFormatCount] = {
    /* 0 */ {kPfFourCC, FourCC('D', 'X', 'T', '1'), 0, 0, 0, 0, 0, 0},
    /* 1 */ {kPfFourCC, FourCC('D', 'X', 'T', '1'), 0, 0, 0, 0, 0, 0},
    /* 2 */ {kPfFourCC, FourCC('D', 'X', 'T', '3'), 0, 0, 0, 0, 0, 0},
    /* 3 */ {kPfFourCC, FourCC('D', 'X', 'T', '5'), 0, 0, 0, 0, 0, 0},
    /* 4 */ {kPfRgb | kPfAlphaPixels, 0, 16, 0x0F00, 0x00F0, 0x000F, 0xF000, 2},
    /* 5 */ {kPfRgb | kPfAlphaPixels, 0, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, 2},
    /* 6 */ {kPfRgb, 0, 16, 0xF800, 0x07E0, 0x001F, 0, 2},
    /* 7 */ {kPfRgb | kPfAlphaPixels, 0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, 4},
    /* 8 */ {kPfRgb, 0, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 3},
    /* 9 */ {kPfRgb, 0, 16, 0x7C00, 0x03E0, 0x001F, 0, 2},
    /* 10 */ {kPfPalette8, 0, 8, 0, 0, 0, 0, 0},
    /* 11 */ {kPfBumpDuDv, 0, 16, 0x00FF, 0xFF00, 0, 0, 2},
    /* 12 */ {kPfFourCC, 117, 16, 0x00FF, 0xFF00, 0, 0, 2},
    /* 13 */ {kPfAlpha, 0, 8, 0, 0, 0, 0xFF, 1},
    /* 14 */ {kPfPalette4, 0, 4, 0, 0, 0, 0, 0},
    /* 15 */ {kPfFourCC, 63, 0, 0, 0, 0, 0, 4},
    /* 16 */ {kPfLuminance | kPfAlphaPixels, 0, 16, 0x00FF, 0, 0, 0xFF00, 2},
    /* 17 */ {kPfFourCC, 114, 0, 0, 0, 0, 0, 4},
    /* 18 */ {kPfFourCC, 116, 0, 0, 0, 0, 0, 16},
    /* 19 */ {kPfFourCC, 113, 0, 0, 0, 0, 0, 8},
    /* 20 */ {kPfLuminance, 0, 8, 0xFF, 0, 0, 0, 1},
    /* 21 */ {kPfPalette8, 0, 8, 0, 0, 0, 0, 0},
    /* 22 */ {kPfPalette4, 0, 4, 0, 0, 0, 0, 0},
    /* 23 */ {kPfFourCC, 111, 0, 0, 0, 0, 0, 2},
    /* 24 */ {kPfFourCC, FourCC('D', 'X', 'T', '5'), 0, 0, 0, 0, 0, 0},
    /* 25 */ {kPfRgb, 0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, 4},
    /* 26 */ {kPfBumpDuDv, 0, 32, 0x0000FFFF, 0xFFFF0000, 0, 0, 4},
    /* 27 */ {kPfRgb, 0, 32, 0x0000FFFF, 0xFFFF0000, 0, 0, 4},
    /* 28 */ {kPfFourCC, 112, 0, 0, 0, 0, 0, 4},
    /* 29 */ {kPfFourCC, FourCC('A', 'T', 'I', '2'), 0, 0, 0, 0, 0, 0},
    /* 30 */ {kPfLuminance, 0, 16, 0xFFFF, 0, 0, 0, 2},
};

void Put32(u8* p, u32 v) {
  p[0] = static_cast<u8>(v);
  p[1] = static_cast<u8>(v >> 8);
  p[2] = static_cast<u8>(v >> 16);
  p[3] = static_cast<u8>(v >> 24);
}

}  // namespace

bool IsBlockFormat(i32 f) { return f == 0 || f == 1 || f == 2 || f == 3 || f == 24 || f == 29; }

bool IsPaletteFormat(i32 f) { return f == 10 || f == 14 || f == 21 || f == 22; }

bool IsWritableFormat(i32 f) { return f >= 0 && f < kFormatCount && !IsPaletteFormat(f); }

i32 BytesPerPixel(i32 f) { return f >= 0 && f < kFormatCount ? kFormats[f].bytes_per_pixel : 0; }

i32 GetLevelSize(i32 f, i32 width, i32 height, i32 level) {
  if (f < 0 || f >= kFormatCount) return 0;
  const i64 w = width, h = height;
  i64 size = 0;
  switch (f) {
    case 0:
    case 1:
      size = ((w + 3) / 4) * ((h + 3) / 4) * 8;
      break;
    case 2:
    case 3:
    case 24:
    case 29:
      size = ((w + 3) / 4) * ((h + 3) / 4) * 16;
      break;
    case 10:
    case 21:
      size = w * h + (level == 0 ? 1024 : 0);
      break;
    case 14:
    case 22: {
      // Every row starts on a new byte, so an odd width ends its row in a half-used byte.
      const i64 n = (w + 1) / 2 * h;
      size = (n > 0 ? n : 1) + (level == 0 ? 64 : 0);
      break;
    }
    default:
      size = w * h * kFormats[f].bytes_per_pixel;
      break;
  }
  // Sizes are limited long before this by the pipeline's size check.
  return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<i32>(size);
}

void BuildDescriptor(const TextureCompressOptions& options, u32 width, u32 height, u32 depth,
                     u32 linear_size, u32 mip_count, u8 out[kDescriptorSize]) {
  std::memset(out, 0, kDescriptorSize);
  const bool mips = options.mip_map_type != 32;
  u32 flags = mips ? 0xA1007 : 0x81007;
  u32 caps = 0x1000;
  u32 caps2 = 0;
  if (mips) caps |= 0x400008;
  if (options.texturemap_type == 1) {
    caps2 |= 0xFE00;
    caps |= 0x8;
  } else if (options.texturemap_type == 2) {
    flags |= 0x800000;
    caps2 |= 0x200000;
  }
  Put32(out + 0, kDescriptorSize);
  Put32(out + 4, flags);
  Put32(out + 8, height);
  Put32(out + 12, width);
  Put32(out + 16, linear_size);
  Put32(out + 20, options.texturemap_type == 2 ? depth : 0);
  Put32(out + 24, mips ? mip_count : 0);
  Put32(out + 72, 32);
  const i32 f = options.texture_format;
  if (f >= 0 && f < kFormatCount) {
    const PixelFormat& pf = kFormats[f];
    Put32(out + 76, pf.flags);
    Put32(out + 80, pf.fourcc);
    Put32(out + 84, pf.bit_count);
    Put32(out + 88, pf.r_mask);
    Put32(out + 92, pf.g_mask);
    Put32(out + 96, pf.b_mask);
    Put32(out + 100, pf.a_mask);
  } else {
    Put32(out + 76, kPfFourCC);
  }
  Put32(out + 104, caps);
  Put32(out + 108, caps2);
}

i32 WriteDDSHeader(const TextureCompressOptions& options, u32 width, u32 height, u32 depth,
                   u32 linear_size, u32 mip_count, WriteCallback callback) {
  u8 magic[4];
  Put32(magic, kDdsMagic);
  callback(magic, 4, nullptr, options.user_data);
  u8 descriptor[kDescriptorSize];
  BuildDescriptor(options, width, height, depth, linear_size, mip_count, descriptor);
  return callback(descriptor, kDescriptorSize, nullptr, options.user_data);
}

}  // namespace dds
