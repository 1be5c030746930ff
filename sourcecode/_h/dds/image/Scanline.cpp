#include "dds/image/Scanline.h"

#include <cstring>

#include "dds/image/Picture.h"
#include "dds/image/Zoom.h"

namespace dds {
namespace {

// One RGBA pixel as two lanes of two: the channels run in parallel with the same per-lane
// arithmetic (f32 widened to f64, rounded back to f32) as the scalar form.
using V2f = f32 __attribute__((vector_size(8)));
using V2d = f64 __attribute__((vector_size(16)));

struct Pixel4d {
  V2d lo, hi;
};

inline Pixel4d Widen(const f32* p) {
  V2f lo, hi;
  std::memcpy(&lo, p, sizeof lo);
  std::memcpy(&hi, p + 2, sizeof hi);
  return {__builtin_convertvector(lo, V2d), __builtin_convertvector(hi, V2d)};
}

inline void Store(f32* p, const Pixel4d& v) {
  const V2f lo = __builtin_convertvector(v.lo, V2f);
  const V2f hi = __builtin_convertvector(v.hi, V2f);
  std::memcpy(p, &lo, sizeof lo);
  std::memcpy(p + 2, &hi, sizeof hi);
}

// a + b * w per lane.
inline Pixel4d MulAdd(const Pixel4d& a, const Pixel4d& b, f64 w) {
  return {a.lo + b.lo * w, a.hi + b.hi * w};
}

void BadType(ZoomContext& ctx, const char* what, i32 type) {
  ctx.Trace("scanline_%s: bad scanline type: %d\n", what, type);
}

void BadCombination(ZoomContext& ctx, const char* what, i32 a, i32 b) {
  ctx.Trace("scanline_%s: bad type combination: %d & %d\n", what, a, b);
}

// Adds 0.5 and truncates toward zero, so sums below -0.5 land at or below 0 before clamping.
inline int RoundHalfUp(f64 v) { return static_cast<int>(v + 0.5); }

inline u8 ToByte(f64 v) {
  const int i = RoundHalfUp(v);
  return static_cast<u8>(i < 0 ? 0 : (i > 255 ? 255 : i));
}

inline i16 ToShort(f64 v) {
  if (v > 32767.0) return 32767;
  if (v < -32768.0) return -32768;
  return static_cast<i16>(RoundHalfUp(v));
}

// One-channel filter: sum in f64 per destination element.
template <typename S, typename D, D (*Convert)(f64)>
void FilterMono(const WeightTable* tables, const S* src, D* dst, i32 count) {
  for (i32 j = 0; j < count; ++j) {
    const WeightTable& t = tables[j];
    f64 sum = 0.0;
    for (i32 i = t.i0; i < t.i1; ++i) sum += t.weights[i - t.i0] * static_cast<f64>(src[i]);
    dst[j] = Convert(sum);
  }
}

template <typename S, typename D, D (*Convert)(f64)>
void FilterColor(const WeightTable* tables, const S* src, D* dst, i32 count) {
  for (i32 j = 0; j < count; ++j) {
    const WeightTable& t = tables[j];
    f64 sum[4] = {0.0, 0.0, 0.0, 0.0};
    const S* p = src + 4 * t.i0;
    for (i32 i = t.i0; i < t.i1; ++i, p += 4) {
      const f64 w = t.weights[i - t.i0];
      for (int c = 0; c < 4; ++c) sum[c] += w * static_cast<f64>(p[c]);
    }
    for (int c = 0; c < 4; ++c) dst[4 * j + c] = Convert(sum[c]);
  }
}

// Float to float keeps every partial sum in single precision.
void FilterFloat4(const WeightTable* tables, const f32* src, f32* dst, i32 count) {
  for (i32 j = 0; j < count; ++j) {
    const WeightTable& t = tables[j];
    f32 sum[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const f32* p = src + 4 * t.i0;
    const f64* w = t.weights;
    for (i32 n = t.i1 - t.i0; n > 0; --n, p += 4, ++w) Store(sum, MulAdd(Widen(sum), Widen(p), *w));
    std::memcpy(dst + 4 * j, sum, sizeof sum);
  }
}

}  // namespace

int scanline_element_size(i32 type) {
  switch (type) {
    case SCAN_BYTE: return 1;
    case SCAN_SHORT: return 2;
    case SCAN_FLOAT: return 4;
    case SCAN_BYTE4: return 4;
    case SCAN_SHORT4: return 8;
    case SCAN_FLOAT4: return 16;
    default: return 0;
  }
}

void scanline_alloc(ZoomContext& ctx, ScanlineBuffer& buf, i32 type, i32 length) {
  const int size = scanline_element_size(type);
  if (size == 0) {
    BadType(ctx, "alloc", type);
    return;
  }
  if (length < 0) length = 0;
  buf.type = type;
  buf.length = length;
  buf.tag = -1;
  const std::size_t bytes = static_cast<std::size_t>(size) * static_cast<std::size_t>(length);
  // Whole f32 units keep the float views of the buffer aligned.
  buf.data = new f32[(bytes + 3) / 4 + 1];
  std::memset(buf.data, 0, bytes);
}

void scanline_free(ZoomContext& ctx, ScanlineBuffer& buf) {
  if (scanline_element_size(buf.type) == 0) {
    BadType(ctx, "ZOOM_FREE", buf.type);
    return;
  }
  delete[] static_cast<f32*>(buf.data);
  buf.data = nullptr;
  buf.length = 0;
  buf.tag = -1;
}

void scanline_zero(ZoomContext& ctx, ScanlineBuffer& buf) {
  if (buf.type != SCAN_FLOAT && buf.type != SCAN_FLOAT4) {
    BadType(ctx, "zero", buf.type);
    return;
  }
  std::memset(buf.data, 0, static_cast<std::size_t>(scanline_element_size(buf.type)) * buf.length);
}

void scanline_read(ZoomContext& ctx, Pic& pic, i32 x0, i32 y, ScanlineBuffer& buf) {
  switch (buf.type) {
    case SCAN_BYTE: pic.ReadRow(y, x0, buf.length, static_cast<u8*>(buf.data)); break;
    case SCAN_BYTE4: pic.ReadColorRow(y, x0, buf.length, static_cast<u8*>(buf.data)); break;
    case SCAN_FLOAT4: pic.ReadColorRow(y, x0, buf.length, static_cast<f32*>(buf.data)); break;
    default: BadType(ctx, "read", buf.type);
  }
}

void scanline_write(ZoomContext& ctx, Pic& pic, i32 x0, i32 y, const ScanlineBuffer& buf) {
  switch (buf.type) {
    case SCAN_BYTE: pic.WriteRow(y, x0, buf.length, static_cast<const u8*>(buf.data)); break;
    case SCAN_BYTE4: pic.WriteColorRow(y, x0, buf.length, static_cast<const u8*>(buf.data)); break;
    case SCAN_FLOAT4: pic.WriteColorRow(y, x0, buf.length, static_cast<const f32*>(buf.data)); break;
    default: BadType(ctx, "write", buf.type);
  }
}

void scanline_filter(ZoomContext& ctx, int /*shift*/, const WeightTable* tables,
                     const ScanlineBuffer& src, ScanlineBuffer& dst) {
  const i32 n = dst.length;
  switch (src.type * 256 + dst.type) {
    case 0x001:
      FilterMono<u8, i16, ToShort>(tables, static_cast<const u8*>(src.data),
                                   static_cast<i16*>(dst.data), n);
      break;
    case 0x200:
      FilterMono<f32, u8, ToByte>(tables, static_cast<const f32*>(src.data),
                                  static_cast<u8*>(dst.data), n);
      break;
    case 0x404:
      FilterColor<u8, u8, ToByte>(tables, static_cast<const u8*>(src.data),
                                  static_cast<u8*>(dst.data), n);
      break;
    case 0x405:
      FilterColor<u8, i16, ToShort>(tables, static_cast<const u8*>(src.data),
                                    static_cast<i16*>(dst.data), n);
      break;
    case 0x604:
      FilterColor<f32, u8, ToByte>(tables, static_cast<const f32*>(src.data),
                                   static_cast<u8*>(dst.data), n);
      break;
    case 0x606:
      FilterFloat4(tables, static_cast<const f32*>(src.data), static_cast<f32*>(dst.data), n);
      break;
    default: BadCombination(ctx, "filter", src.type, dst.type);
  }
}

void scanline_accum(ZoomContext& ctx, f64 weight, const ScanlineBuffer& src, ScanlineBuffer& acc) {
  if (weight == 0.0) return;
  const bool color = (src.type & SCAN_COLOR) != 0;
  const i32 want = color ? SCAN_FLOAT4 : SCAN_FLOAT;
  if (acc.type != want || scanline_element_size(src.type) == 0 || src.type == SCAN_FLOAT) {
    BadCombination(ctx, "accum", src.type, acc.type);
    return;
  }
  const i32 n = (src.length < acc.length ? src.length : acc.length) * (color ? 4 : 1);
  f32* a = static_cast<f32*>(acc.data);
  const f32 wf = static_cast<f32>(weight);
  switch (src.type) {
    case SCAN_BYTE: {
      const u8* s = static_cast<const u8*>(src.data);
      for (i32 i = 0; i < n; ++i) a[i] += static_cast<f32>(s[i]) * wf;
      break;
    }
    case SCAN_SHORT:
    case SCAN_SHORT4: {
      const i16* s = static_cast<const i16*>(src.data);
      for (i32 i = 0; i < n; ++i) a[i] += static_cast<f32>(s[i]) * wf;
      break;
    }
    case SCAN_BYTE4: {
      const u8* s = static_cast<const u8*>(src.data);
      if (!ctx.filter_modulate) {
        for (i32 i = 0; i < n; ++i) a[i] += static_cast<f32>(s[i]) * wf;
      } else {
        // Alpha in bytes: colour is weighted by alpha as a fraction of full coverage.
        for (i32 i = 0; i < n; i += 4) {
          const f32 cover = wf * (static_cast<f32>(s[i + 3]) / 255.0f);
          a[i] += s[i] * cover;
          a[i + 1] += s[i + 1] * cover;
          a[i + 2] += s[i + 2] * cover;
          a[i + 3] += s[i + 3] * wf;
        }
      }
      break;
    }
    case SCAN_FLOAT4: {
      const f32* s = static_cast<const f32*>(src.data);
      if (!ctx.filter_modulate) {
        for (i32 i = 0; i < n; i += 4) Store(a + i, MulAdd(Widen(a + i), Widen(s + i), weight));
      } else {
        for (i32 i = 0; i < n; i += 4) {
          const f64 alpha = s[i + 3];
          a[i] = static_cast<f32>(a[i] + s[i] * weight * alpha);
          a[i + 1] = static_cast<f32>(a[i + 1] + s[i + 1] * weight * alpha);
          a[i + 2] = static_cast<f32>(a[i + 2] + s[i + 2] * weight * alpha);
          a[i + 3] = static_cast<f32>(a[i + 3] + alpha * weight);
        }
      }
      break;
    }
    default: BadCombination(ctx, "accum", src.type, acc.type);
  }
}

void scanline_shift(ZoomContext& ctx, int /*shift*/, const ScanlineBuffer& acc,
                    ScanlineBuffer& dst) {
  const i32 elements = acc.length < dst.length ? acc.length : dst.length;
  const f32* a = static_cast<const f32*>(acc.data);
  switch (dst.type) {
    case SCAN_BYTE:
      if (acc.type != SCAN_FLOAT) break;
      for (i32 i = 0; i < elements; ++i) static_cast<u8*>(dst.data)[i] = ToByte(a[i]);
      return;
    case SCAN_BYTE4:
      if (acc.type != SCAN_FLOAT4) break;
      for (i32 i = 0; i < 4 * elements; ++i) static_cast<u8*>(dst.data)[i] = ToByte(a[i]);
      return;
    case SCAN_FLOAT4:
      if (acc.type != SCAN_FLOAT4) break;
      std::memcpy(dst.data, a, 16 * static_cast<std::size_t>(elements));
      return;
    default: break;
  }
  BadCombination(ctx, "shift", acc.type, dst.type);
}

}  // namespace dds
