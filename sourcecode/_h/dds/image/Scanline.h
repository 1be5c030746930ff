// One-row buffers of a typed element through which the resampler moves pixels: read from and
// written to pictures, filtered along x through weight tables, accumulated with a weight into a
// float row and converted back. Unsupported types or combinations do nothing.
#pragma once

#include "dds/tVector.h"

namespace dds {

class Pic;
struct ZoomContext;
struct WeightTable;

// Element types: bit 2 = four channels R, G, B, A; low bits = channel width. ORDER SCANTYPE
enum en_ScanlineType : i32 {
  SCAN_BYTE = 0,    // u8
  SCAN_SHORT = 1,   // i16
  SCAN_FLOAT = 2,   // f32, accumulator
  SCAN_COLOR = 4,   // the four-channel bit
  SCAN_BYTE4 = 4,   // 4 x u8
  SCAN_SHORT4 = 5,  // 4 x i16
  SCAN_FLOAT4 = 6,  // 4 x f32, accumulator
};

struct ScanlineBuffer {
  i32 type = -1;
  i32 length = 0;  // elements
  i32 tag = -1;    // source row held by a ring slot; -1 = empty
  void* data = nullptr;
};

// Bytes per element, 0 for an invalid type.
int scanline_element_size(i32 type);

// Records type and length and allocates zeroed elements.
void scanline_alloc(ZoomContext& ctx, ScanlineBuffer& buf, i32 type, i32 length);
void scanline_free(ZoomContext& ctx, ScanlineBuffer& buf);
// Zeroes an accumulator (types 2 and 6).
void scanline_zero(ZoomContext& ctx, ScanlineBuffer& buf);
// Reads `length` pixels of row y from column x0 (types 0, 4, 6).
void scanline_read(ZoomContext& ctx, Pic& pic, i32 x0, i32 y, ScanlineBuffer& buf);
// Writes `length` pixels to row y from column x0 (types 0, 4, 6).
void scanline_write(ZoomContext& ctx, Pic& pic, i32 x0, i32 y, const ScanlineBuffer& buf);
// dst[j] = sum of tables[j].weights[i - i0] * src[i] over [i0, i1), for each element of dst.
void scanline_filter(ZoomContext& ctx, int shift, const WeightTable* tables,
                     const ScanlineBuffer& src, ScanlineBuffer& dst);
// acc += weight * src, element by element; nothing for a weight of exactly 0.
void scanline_accum(ZoomContext& ctx, f64 weight, const ScanlineBuffer& src, ScanlineBuffer& acc);
// Converts the float accumulator into dst's type (0, 4, 6), rounding and clamping bytes.
void scanline_shift(ZoomContext& ctx, int shift, const ScanlineBuffer& acc, ScanlineBuffer& dst);

}  // namespace dds
