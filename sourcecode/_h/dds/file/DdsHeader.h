// The DDS file layout the library writes: the "DDS " magic, the 124-byte surface descriptor with
// its pixel format per texture format, and the byte size of every level.
#pragma once

#include "dds/tVector.h"

namespace dds {

struct TextureCompressOptions;
struct LevelInfo;

// Output of the library: called with each piece of the file in order. `info` is null for the
// magic and the descriptor. Returns 0 to go on; a non-zero value stops the run.
using WriteCallback = i32 (*)(const void* data, u32 size, const LevelInfo* info, void* user);

// Handed with every level (built on the stack for the call).
struct LevelInfo {
  u32 level;     // 0 = largest
  u32 width;
  u32 height;
  u32 reserved;  // always 0
  u32 surfaces;  // always 1
};

constexpr u32 kDdsMagic = 0x20534444;  // "DDS" and a blank, little-endian
constexpr u32 kDescriptorSize = 124;

// Texture formats with a special role.  ORDER FORMAT: the table in DdsHeader.cpp.
constexpr i32 kFormatCount = 31;  // values 0..30
constexpr i32 kFormatL16 = 30;

// DXT1, DXT1 with alpha, DXT3, DXT5, DXT5 with green as colour, ATI2.
bool IsBlockFormat(i32 texture_format);
// 8- and 4-bit palette formats (10, 14, 21, 22).
bool IsPaletteFormat(i32 texture_format);
// A format whose levels this library can write: 0..30 except the palette formats.
bool IsWritableFormat(i32 texture_format);
// Bytes one pixel takes in a level of a format that is not a block or palette format; 0 else.
i32 BytesPerPixel(i32 texture_format);

// Byte size of level `level` (w × h) of a format: block formats count 4×4 blocks, palette
// formats add their palette (1024 or 64 bytes) on level 0; formats past the table give 0.
i32 GetLevelSize(i32 texture_format, i32 width, i32 height, i32 level);

// Fills the 124 descriptor bytes for a top level of width × height, `mip_count` levels in all
// (1 and `mip_map_type` 32 write no mip-map count), depth and linear size as given.
void BuildDescriptor(const TextureCompressOptions& options, u32 width, u32 height, u32 depth,
                     u32 linear_size, u32 mip_count, u8 out[kDescriptorSize]);

// Sends the magic (its result ignored) and the descriptor through the callback; returns the
// second call's result.
i32 WriteDDSHeader(const TextureCompressOptions& options, u32 width, u32 height, u32 depth,
                   u32 linear_size, u32 mip_count, WriteCallback callback);

}  // namespace dds
