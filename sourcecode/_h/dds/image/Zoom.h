// Separable two-pass resampler: maps a window of one picture onto a window of another through an
// axis-aligned scale and translation, with one reconstruction filter per axis. It picks the
// cheaper pass order, trims zero taps and can work in place when both windows lie in one picture.
#pragma once

#include "dds/image/Filters.h"
#include "dds/image/Picture.h"

namespace dds {

// Inclusive corners and sizes; x0 == kUndefined marks an undefined window.
struct ZoomWindow {
  i32 x0 = kUndefined, y0 = kUndefined, x1 = kUndefined, y1 = kUndefined;
  i32 nx = 0, ny = 0;

  static ZoomWindow FromSize(i32 x0, i32 y0, i32 nx, i32 ny) {
    ZoomWindow w;
    w.x0 = x0;
    w.y0 = y0;
    w.nx = nx;
    w.ny = ny;
    w.CornersFromSizes();
    return w;
  }
  void SizesFromCorners() {
    nx = x1 - x0 + 1;
    ny = y1 - y0 + 1;
  }
  void CornersFromSizes() {
    x1 = x0 + nx - 1;
    y1 = y0 + ny - 1;
  }
};

// Destination coordinate = s * source coordinate + t; u are the weight-table offsets.
struct ZoomMapping {
  f64 sx = 1, sy = 1, tx = 0, ty = 0, ux = 0, uy = 0;
};

// One axis's filter stretch: scale, support in source pixels, and most taps per table.
struct FilterScale {
  f64 scale = 1;
  f64 supp = 0.5;
  i32 wid = 1;
};

// Contributing source pixels [i0, i1) of one destination pixel, relative to the source window.
struct WeightTable {
  i32 i0 = 0;
  i32 i1 = 0;
  f64* weights = nullptr;
};

// Pass orders.
enum en_PassOrder : i32 { PASS_YX = 0, PASS_XY = 1, PASS_CHOOSE = kUndefined };

using ZoomTraceSink = void (*)(const char* text);

// Settings and counters of the resampler, owned by the caller.
struct ZoomContext {
  i32 trimmed_zeros = 0;   // total zero taps trimmed
  i32 total_taps = 0;      // total taps before trimming
  i32 most_trimmed = 0;    // most taps trimmed from one table
  i32 scanline_type = 2;   // row element type without the four-channel bit (see Scanline.h)
  u8 filter_modulate = 0;  // weight colour by alpha while accumulating
  i32 debug = 0;           // trace lines only above 1
  u8 coerce = 1;           // a filter may become "point" where that gives the same result
  i32 pass_order = PASS_CHOOSE;
  i32 trimzeros = 1;       // drop zero weights at the ends of the first axis's tables
  ZoomTraceSink trace = nullptr;  // null discards trace lines

  // Writes a trace line when `debug` > 1 and a sink is set.
  void Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// Resamples window `a` of `src` onto window `b` of `dst` (which may be the same picture). The
// destination window may be changed (sizes, clipping). Pictures with different channel counts,
// non-positive scales and windows empty after clipping give no output.
void zoom_opt(ZoomContext& ctx, Pic& src, ZoomWindow a, Pic& dst, ZoomWindow& b,
              const FilterDesc& xfilter, const FilterDesc& yfilter, int square, int intscale);

// ---- internal steps, exposed for tests

// Builds the table of one destination pixel whose centre lies at `centre` source pixels from the
// window start over a source run of `length` pixels. Every table sums to 1.
void make_weights(ZoomContext& ctx, i32 index, f64 centre, const FilterDesc& filter,
                  const FilterScale& fs, i32 length, i32 trimzeros, WeightTable& table);

// Fills `order` with the n destination rows in an order that lets the pass read each source row
// before it is overwritten when source and destination share a picture.
void row_order(f64 s, f64 t, f64 supp, i32 a_y0, i32 b_y0, i32 n, bool in_place, i32* order);

}  // namespace dds
