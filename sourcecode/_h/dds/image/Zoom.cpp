#include "dds/image/Zoom.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "dds/image/Scanline.h"

namespace dds {

void ZoomContext::Trace(const char* format, ...) {
  if (debug <= 1 || trace == nullptr) return;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  trace(text);
}

namespace {

struct Axis {
  const FilterDesc* filter;
  FilterScale fs;
};

void TraceWindow(ZoomContext& ctx, const char* label, const ZoomWindow& w) {
  ctx.Trace("%s{%d,%d,%d,%d}%dx%d", label, w.x0, w.y0, w.x1, w.y1, w.nx, w.ny);
}

bool Intersect(ZoomWindow& w, i32 x0, i32 y0, i32 x1, i32 y1) {
  if (x0 > w.x0) w.x0 = x0;
  if (y0 > w.y0) w.y0 = y0;
  if (x1 < w.x1) w.x1 = x1;
  if (y1 < w.y1) w.y1 = y1;
  w.SizesFromCorners();
  return w.nx > 0 && w.ny > 0;
}

// Clips w to the picture's window unless the picture has none.
void ClipToPicture(const Pic& pic, ZoomWindow& w) {
  i32 x0, y0, nx, ny;
  pic.GetBox(x0, y0, nx, ny);
  if (x0 == kUndefined) return;
  Intersect(w, x0, y0, x0 + nx - 1, y0 + ny - 1);
}

bool NearInteger(f64 v) { return std::fabs(v - std::floor(v + 0.5)) < 1e-7; }

// Returns the row to use on one axis; an axis that samples exactly at source pixel centres
// becomes "point", which gives the same result without any arithmetic.
const FilterDesc* filter_simplify(ZoomContext& ctx, const char* label, int coerce,
                                  const FilterDesc* filter, FilterScale& fs, f64 s, f64 u) {
  if (!coerce) return filter;
  if (fs.supp > 0.5) {
    if (!filter->interpolating) return filter;
    if (!NearInteger(1.0 / fs.scale) || !NearInteger(1.0 / (fs.scale * s)) ||
        !NearInteger((u / s - 0.5) / fs.scale)) {
      return filter;
    }
  }
  ctx.Trace("coercing %sfilter=%s to point ", label, filter->name);
  fs.scale = 1.0;
  fs.supp = 0.5;
  fs.wid = 1;
  return FindFilterByName("point");
}

bool IsPoint(const FilterDesc* f) { return std::strcmp(f->name, "point") == 0; }

// Weight tables for every destination pixel of one axis, `stride` weights apiece.
struct TableSet {
  std::vector<WeightTable> tables;
  std::vector<f64> weights;

  void Build(ZoomContext& ctx, const Axis& axis, i32 count, f64 s, f64 u, i32 length, i32 trim) {
    const i32 stride = axis.fs.wid + 1;
    tables.assign(static_cast<std::size_t>(count), WeightTable{});
    weights.assign(static_cast<std::size_t>(count) * stride, 0.0);
    for (i32 k = 0; k < count; ++k) {
      WeightTable& t = tables[k];
      t.weights = weights.data() + static_cast<std::size_t>(k) * stride;
      make_weights(ctx, k, (k + u) / s, *axis.filter, axis.fs, length, trim, t);
    }
  }
};

// Ring of intermediate rows indexed by source row; slots are allocated on first use.
class RowRing {
 public:
  RowRing(ZoomContext& ctx, i32 slots, i32 type, i32 length)
      : m_ctx(ctx), m_slots(static_cast<std::size_t>(slots)), m_type(type), m_length(length) {}
  ~RowRing() {
    for (ScanlineBuffer& b : m_slots) {
      if (b.data != nullptr) scanline_free(m_ctx, b);
    }
  }
  // The slot for source row r; `fresh` tells whether it must be (re)filled.
  ScanlineBuffer& Slot(i32 r, bool& fresh) {
    ScanlineBuffer& b = m_slots[static_cast<std::size_t>(r) % m_slots.size()];
    if (b.data == nullptr) scanline_alloc(m_ctx, b, m_type, m_length);
    fresh = b.tag != r;
    b.tag = r;
    return b;
  }

 private:
  ZoomContext& m_ctx;
  std::vector<ScanlineBuffer> m_slots;
  i32 m_type;
  i32 m_length;
};

// One buffer owned for the length of a pass.
struct OwnedLine {
  ZoomContext& ctx;
  ScanlineBuffer buf;
  OwnedLine(ZoomContext& c, i32 type, i32 length) : ctx(c) { scanline_alloc(ctx, buf, type, length); }
  ~OwnedLine() {
    if (buf.data != nullptr) scanline_free(ctx, buf);
  }
};

struct PassSetup {
  ZoomContext& ctx;
  Pic& src;
  Pic& dst;
  const ZoomWindow& a;
  const ZoomWindow& b;
  const ZoomMapping& m;
  const Axis& x;
  const Axis& y;
  bool in_place;
  std::vector<i32> order;
  std::vector<u8> written;  // destination rows written so far, by absolute row

  void MarkWritten(i32 row) {
    if (row >= 0 && static_cast<std::size_t>(row) < written.size()) written[row] = 1;
  }
  void CheckRead(i32 row) {
    if (in_place && row >= 0 && static_cast<std::size_t>(row) < written.size() && written[row]) {
      ctx.Trace("in-place row %d read after it was written ", row);
    }
  }
};

// Source row a.y0 + r as a float row: straight from the picture's memory when it allows that
// (never in place, where the row may be overwritten while a copy is still needed), else read
// into `into`.
const ScanlineBuffer& SourceRow(PassSetup& p, i32 r, ScanlineBuffer& into, ScanlineBuffer& view) {
  p.CheckRead(p.a.y0 + r);
  if (!p.in_place && into.type == SCAN_FLOAT4) {
    if (const f32* row = p.src.ColorRowPointer(p.a.y0 + r, p.a.x0, p.a.nx)) {
      view.type = SCAN_FLOAT4;
      view.length = p.a.nx;
      view.data = const_cast<f32*>(row);
      return view;
    }
  }
  into.length = p.a.nx;
  scanline_read(p.ctx, p.src, p.a.x0, p.a.y0 + r, into);
  return into;
}

i32 RowType(const ZoomContext& ctx, const Pic& pic) {
  return ctx.scanline_type | (pic.ChannelCount() > 1 ? SCAN_COLOR : 0);
}

i32 RingSlots(const Axis& y, i32 rows) { return y.fs.wid + 1 < rows ? y.fs.wid + 1 : rows; }

void zoom_xy_pass(PassSetup& p) {
  ZoomContext& ctx = p.ctx;
  const i32 type = RowType(ctx, p.src);
  const i32 acc_type = SCAN_FLOAT | (type & SCAN_COLOR);
  OwnedLine row(ctx, type, p.a.nx > p.b.nx ? p.a.nx : p.b.nx);
  OwnedLine acc(ctx, acc_type, p.b.nx);
  if (row.buf.data == nullptr || acc.buf.data == nullptr) return;
  RowRing ring(ctx, RingSlots(p.y, p.a.ny), type, p.b.nx);
  TableSet xt;
  xt.Build(ctx, p.x, p.b.nx, p.m.sx, p.m.ux, p.a.nx, ctx.trimzeros);
  std::vector<f64> yw(static_cast<std::size_t>(p.y.fs.wid) + 1);

  for (const i32 k : p.order) {
    WeightTable yt;
    yt.weights = yw.data();
    make_weights(ctx, k, (k + p.m.uy) / p.m.sy, *p.y.filter, p.y.fs, p.a.ny, 0, yt);
    scanline_zero(ctx, acc.buf);
    for (i32 r = yt.i0; r < yt.i1; ++r) {
      bool fresh;
      ScanlineBuffer& slot = ring.Slot(r, fresh);
      if (fresh) {
        ScanlineBuffer view;
        scanline_filter(ctx, 8, xt.tables.data(), SourceRow(p, r, row.buf, view), slot);
      }
      scanline_accum(ctx, yt.weights[r - yt.i0], slot, acc.buf);
    }
    row.buf.length = p.b.nx;
    scanline_shift(ctx, -8, acc.buf, row.buf);
    scanline_write(ctx, p.dst, p.b.x0, p.b.y0 + k, row.buf);
    p.MarkWritten(p.b.y0 + k);
  }
}

void zoom_yx_pass(PassSetup& p) {
  ZoomContext& ctx = p.ctx;
  const i32 type = RowType(ctx, p.src);
  const i32 acc_type = SCAN_FLOAT | (type & SCAN_COLOR);
  OwnedLine row(ctx, type, p.b.nx);
  OwnedLine acc(ctx, acc_type, p.a.nx);
  if (row.buf.data == nullptr || acc.buf.data == nullptr) return;
  RowRing ring(ctx, RingSlots(p.y, p.a.ny), type, p.a.nx);
  TableSet xt;
  xt.Build(ctx, p.x, p.b.nx, p.m.sx, p.m.ux, p.a.nx, ctx.trimzeros);
  std::vector<f64> yw(static_cast<std::size_t>(p.y.fs.wid) + 1);
  // Rows the picture keeps in memory need no ring copy.
  const bool direct = !p.in_place && type == SCAN_FLOAT4 &&
                      p.src.ColorRowPointer(p.a.y0, p.a.x0, p.a.nx) != nullptr;

  for (const i32 k : p.order) {
    WeightTable yt;
    yt.weights = yw.data();
    make_weights(ctx, k, (k + p.m.uy) / p.m.sy, *p.y.filter, p.y.fs, p.a.ny, 0, yt);
    scanline_zero(ctx, acc.buf);
    for (i32 r = yt.i0; r < yt.i1; ++r) {
      if (direct) {
        if (const f32* data = p.src.ColorRowPointer(p.a.y0 + r, p.a.x0, p.a.nx)) {
          ScanlineBuffer view;
          view.type = SCAN_FLOAT4;
          view.length = p.a.nx;
          view.data = const_cast<f32*>(data);
          scanline_accum(ctx, yt.weights[r - yt.i0], view, acc.buf);
          continue;
        }
      }
      bool fresh;
      ScanlineBuffer& slot = ring.Slot(r, fresh);
      if (fresh) {
        p.CheckRead(p.a.y0 + r);
        scanline_read(ctx, p.src, p.a.x0, p.a.y0 + r, slot);
      }
      scanline_accum(ctx, yt.weights[r - yt.i0], slot, acc.buf);
    }
    scanline_filter(ctx, 8, xt.tables.data(), acc.buf, row.buf);
    scanline_write(ctx, p.dst, p.b.x0, p.b.y0 + k, row.buf);
    p.MarkWritten(p.b.y0 + k);
  }
}

i32 PickIndex(i32 k, f64 u, f64 s, i32 length) {
  i32 i = static_cast<i32>((k + u) / s);
  if (i < 0) i = 0;
  if (i >= length) i = length - 1;
  return i;
}

void zoom_point_pass(PassSetup& p) {
  ZoomContext& ctx = p.ctx;
  const bool color = p.src.ChannelCount() > 1;
  const i32 type = p.src.Kind() == PIC_FLOAT ? (color ? SCAN_FLOAT4 : SCAN_BYTE)
                                             : (color ? SCAN_BYTE4 : SCAN_BYTE);
  const int size = scanline_element_size(type);
  OwnedLine in(ctx, type, p.a.nx);
  OwnedLine out(ctx, type, p.b.nx);
  if (in.buf.data == nullptr || out.buf.data == nullptr) return;
  std::vector<i32> columns(static_cast<std::size_t>(p.b.nx));
  for (i32 k = 0; k < p.b.nx; ++k) columns[k] = PickIndex(k, p.m.ux, p.m.sx, p.a.nx);
  const u8* from = static_cast<const u8*>(in.buf.data);
  u8* to = static_cast<u8*>(out.buf.data);
  i32 held = -1;
  for (const i32 k : p.order) {
    const i32 r = PickIndex(k, p.m.uy, p.m.sy, p.a.ny);
    // In place the held row may have been overwritten since it was read.
    if (r != held || p.in_place) {
      p.CheckRead(p.a.y0 + r);
      scanline_read(ctx, p.src, p.a.x0, p.a.y0 + r, in.buf);
      held = r;
    }
    for (i32 j = 0; j < p.b.nx; ++j) {
      std::memcpy(to + static_cast<std::size_t>(j) * size,
                  from + static_cast<std::size_t>(columns[j]) * size, size);
    }
    scanline_write(ctx, p.dst, p.b.x0, p.b.y0 + k, out.buf);
    p.MarkWritten(p.b.y0 + k);
  }
}

bool Overlap(const ZoomWindow& a, const ZoomWindow& b) {
  return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

void zoom_window(ZoomContext& ctx, Pic& src, ZoomWindow a, Pic& dst, ZoomWindow& b,
                 ZoomMapping m, const FilterDesc& xfilter, const FilterDesc& yfilter) {
  if ((src.ChannelCount() == 1) != (dst.ChannelCount() == 1)) return;
  if (m.sx <= 0.0 || m.sy <= 0.0) return;

  Axis x{&xfilter, {}};
  Axis y{&yfilter, {}};
  x.fs.scale = (1.0 / m.sx > 1.0 ? 1.0 / m.sx : 1.0) * xfilter.blur;
  y.fs.scale = (1.0 / m.sy > 1.0 ? 1.0 / m.sy : 1.0) * yfilter.blur;
  x.fs.supp = xfilter.support * x.fs.scale > 0.5 ? xfilter.support * x.fs.scale : 0.5;
  y.fs.supp = yfilter.support * y.fs.scale > 0.5 ? yfilter.support * y.fs.scale : 0.5;
  x.fs.wid = static_cast<i32>(std::ceil(2.0 * x.fs.supp));
  y.fs.wid = static_cast<i32>(std::ceil(2.0 * y.fs.supp));
  ctx.Trace("X: filt=%s support=%g,  scale=%g scaledsupport=%g width=%d ", xfilter.name,
            xfilter.support, x.fs.scale, x.fs.supp, x.fs.wid);
  ctx.Trace("Y: filt=%s support=%g,  scale=%g scaledsupport=%g width=%d ", yfilter.name,
            yfilter.support, y.fs.scale, y.fs.supp, y.fs.wid);

  ClipToPicture(src, a);
  const ZoomWindow before = b;
  ClipToPicture(dst, b);

  // Destination pixels the source reaches at all.
  const f64 rx0 = std::ceil(m.sx * (a.x0 - x.fs.supp) + m.tx + 1e-7);
  const f64 rx1 = std::floor(m.sx * (a.x1 + x.fs.supp) + m.tx - 1e-7);
  const f64 ry0 = std::ceil(m.sy * (a.y0 - y.fs.supp) + m.ty + 1e-7);
  const f64 ry1 = std::floor(m.sy * (a.y1 + y.fs.supp) + m.ty - 1e-7);
  if (b.x0 < rx0 || b.x1 > rx1 || b.y0 < ry0 || b.y1 > ry1) {
    const auto clampi = [](f64 v) -> i32 {
      if (v < -2147483647.0) return -2147483647;
      if (v > 2147483647.0) return 2147483647;
      return static_cast<i32>(v);
    };
    Intersect(b, clampi(rx0), clampi(ry0), clampi(rx1), clampi(ry1));
  }
  if (before.x0 != b.x0 || before.y0 != b.y0 || before.x1 != b.x1 || before.y1 != b.y1) {
    ctx.Trace("    clipping odst=");
    TraceWindow(ctx, "", before);
    ctx.Trace(" to ");
    TraceWindow(ctx, "", b);
  }
  dst.SetBox(b.x0, b.y0, b.nx, b.ny);

  m.ux = b.x0 - (a.x0 - 0.5) * m.sx - m.tx;
  m.uy = b.y0 - (a.y0 - 0.5) * m.sy - m.ty;
  if (a.nx <= 0 || a.ny <= 0 || b.nx <= 0 || b.ny <= 0) return;

  x.filter = filter_simplify(ctx, "x", ctx.coerce, x.filter, x.fs, m.sx, m.ux);
  y.filter = filter_simplify(ctx, "y", ctx.coerce, y.filter, y.fs, m.sy, m.uy);
  ctx.Trace("X: filt=%s supp=%g  scale=%g scaledsupp=%g wid=%d ", x.filter->name,
            x.filter->support, x.fs.scale, x.fs.supp, x.fs.wid);
  ctx.Trace("Y: filt=%s supp=%g  scale=%g scaledsupp=%g wid=%d ", y.filter->name,
            y.filter->support, y.fs.scale, y.fs.supp, y.fs.wid);

  i32 order = ctx.pass_order;
  if (order == PASS_CHOOSE) {
    // Multiply-adds of each order; 64-bit so that large pictures cannot overflow the comparison.
    const i64 cost_xy = static_cast<i64>(b.nx) * (static_cast<i64>(a.ny) * x.fs.wid +
                                                   static_cast<i64>(b.ny) * y.fs.wid);
    const i64 cost_yx = static_cast<i64>(b.ny) * (static_cast<i64>(b.nx) * x.fs.wid +
                                                   static_cast<i64>(a.nx) * y.fs.wid);
    order = cost_xy < cost_yx ? PASS_XY : PASS_YX;
  }

  PassSetup p{ctx, src, dst, a, b, m, x, y, &src == &dst && Overlap(a, b), {}, {}};
  const i32 last_row = (a.y1 > b.y1 ? a.y1 : b.y1);
  if (last_row >= 0) p.written.assign(static_cast<std::size_t>(last_row) + 1, 0);
  p.order.resize(static_cast<std::size_t>(b.ny));

  if (IsPoint(x.filter) && IsPoint(y.filter)) {
    ctx.Trace("-map %g %g %g %g ", m.sx, m.sy, m.tx, m.ty);
    row_order(m.sy, m.ty, 0.5, a.y0, b.y0, b.ny, p.in_place, p.order.data());
    zoom_point_pass(p);
  } else if (order == PASS_XY) {
    ctx.Trace("-xy -map %g %g %g %g ", m.sx, m.sy, m.tx, m.ty);
    row_order(m.sy, m.ty, y.fs.supp, a.y0, b.y0, b.ny, p.in_place, p.order.data());
    zoom_xy_pass(p);
  } else {
    ctx.Trace("-yx -map %g %g %g %g ", m.sx, m.sy, m.tx, m.ty);
    row_order(m.sy, m.ty, y.fs.supp, a.y0, b.y0, b.ny, p.in_place, p.order.data());
    zoom_yx_pass(p);
  }
}

}  // namespace

void make_weights(ZoomContext& ctx, i32 index, f64 centre, const FilterDesc& filter,
                  const FilterScale& fs, i32 length, i32 trimzeros, WeightTable& table) {
  i32 i0 = static_cast<i32>(centre - fs.supp + 0.5);
  i32 i1 = static_cast<i32>(centre + fs.supp + 0.5);
  if (i0 > length - 1) i0 = length - 1;
  if (i0 < 0) i0 = 0;
  if (i1 > length) i1 = length;
  // Rounding can make the run one longer than the table holds; the buffer has one spare slot.
  if (i1 - i0 > fs.wid + 1) i1 = i0 + fs.wid + 1;
  const i32 first = i0;
  const i32 untrimmed = i1 > i0 ? i1 - i0 : 0;

  f64 sum = 0.0;
  for (i32 i = i0; i < i1; ++i) sum += EvalFilter(filter, (i + 0.5 - centre) / fs.scale);
  const f64 norm = (untrimmed == 0 || sum == 0.0) ? 1.0 : 1.0 / sum;
  ctx.Trace("    b=%d cen=%g scale=%g [%d..%d) sc=%g:  ", index, centre, fs.scale, i0, i1, norm);

  f64 stored = 0.0;
  i32 last_nonzero = i0 - 1;
  i32 start = i0;
  i32 n = 0;
  bool leading = trimzeros != 0;
  for (i32 i = i0; i < i1; ++i) {
    const f64 w = EvalFilter(filter, (i + 0.5 - centre) / fs.scale) * norm;
    if (leading && w == 0.0) {
      start = i + 1;
      continue;
    }
    leading = false;
    table.weights[n++] = w;
    stored += w;
    if (w != 0.0) last_nonzero = i;
  }
  ctx.total_taps += untrimmed;

  if (stored == 0.0) {
    i32 tap = (first + i1) >> 1;
    if (tap > length - 1) tap = length - 1;
    if (tap < 0) tap = 0;
    table.i0 = tap;
    table.i1 = tap + 1;
    table.weights[0] = 1.0;
    return;
  }
  table.i0 = start;
  table.i1 = trimzeros ? last_nonzero + 1 : i1;
  if (trimzeros) {
    const i32 trimmed = untrimmed - (table.i1 - table.i0);
    ctx.trimmed_zeros += trimmed;
    if (trimmed > ctx.most_trimmed) ctx.most_trimmed = trimmed;
  }
  if (stored != 1.0) {
    i32 at = static_cast<i32>(centre + 0.5);
    if (at < table.i0) at = table.i0;
    if (at > table.i1 - 1) at = table.i1 - 1;
    table.weights[at - table.i0] += 1.0 - stored;
  }
}

void row_order(f64 s, f64 t, f64 supp, i32 a_y0, i32 b_y0, i32 n, bool in_place, i32* order) {
  if (!in_place) {
    for (i32 k = 0; k < n; ++k) order[k] = k;
    return;
  }
  f64 split_f;
  if (s == 1.0) {
    split_f = a_y0 < b_y0 ? 0.0 : n;
  } else if (s > 1.0) {
    split_f = std::floor((s * supp + t - 0.5) / (1.0 - s) - b_y0 + 1.0);
  } else {
    split_f = std::ceil((s * supp + t) / (1.0 - s) - b_y0);
    const f64 uy = b_y0 - (a_y0 - 0.5) * s - t;
    if (split_f > -1e9 && split_f < 1e9) {
      const i32 split = static_cast<i32>(split_f);
      if (a_y0 + static_cast<i32>((split - 1 + uy) / s - supp + 0.5) >= b_y0 + split) split_f -= 1.0;
    }
  }
  if (split_f < 0.0) split_f = 0.0;
  if (split_f > n) split_f = n;
  const i32 split = static_cast<i32>(split_f);
  i32 j = 0;
  if (s < 1.0) {
    for (i32 k = split - 1; k >= 0; --k) order[j++] = k;
    for (i32 k = split; k < n; ++k) order[j++] = k;
  } else {
    for (i32 k = 0; k < split; ++k) order[j++] = k;
    for (i32 k = n - 1; k >= split; --k) order[j++] = k;
  }
}

void zoom_opt(ZoomContext& ctx, Pic& src, ZoomWindow a, Pic& dst, ZoomWindow& b,
              const FilterDesc& xfilter, const FilterDesc& yfilter, int square, int intscale) {
  if (b.x0 == kUndefined) {
    ctx.Trace("zoom_opt: undefined window for dest %s: ", dst.Name() ? dst.Name() : "");
    // Without a window of its own the destination takes the picture's whole window.
    i32 x0, y0, nx, ny;
    dst.GetBox(x0, y0, nx, ny);
    if (x0 == kUndefined) return;
    b = ZoomWindow::FromSize(x0, y0, nx, ny);
  }
  a.SizesFromCorners();
  b.SizesFromCorners();
  if (a.nx <= 0 || a.ny <= 0) return;

  ZoomMapping m;
  m.sx = static_cast<f64>(b.nx) / a.nx;
  m.sy = static_cast<f64>(b.ny) / a.ny;
  if (square) {
    if (m.sy < m.sx) {
      m.sx = m.sy;
      b.nx = static_cast<i32>(std::ceil(m.sy * a.nx));
    } else {
      m.sy = m.sx;
      b.ny = static_cast<i32>(std::ceil(m.sx * a.ny));
    }
  }
  if (intscale) {
    if (m.sx > 1.0) {
      m.sx = std::floor(m.sx);
      b.nx = static_cast<i32>(std::ceil(m.sx * a.nx));
    }
    if (m.sy > 1.0) {
      m.sy = std::floor(m.sy);
      b.ny = static_cast<i32>(std::ceil(m.sy * a.ny));
    }
  }
  b.CornersFromSizes();
  m.tx = (b.x0 - 0.5) - (a.x0 - 0.5) * m.sx;
  m.ty = (b.y0 - 0.5) - (a.y0 - 0.5) * m.sy;
  zoom_window(ctx, src, a, dst, b, m, xfilter, yfilter);
}

}  // namespace dds
