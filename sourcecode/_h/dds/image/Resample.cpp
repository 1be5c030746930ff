#include "dds/image/Resample.h"

#include "dds/image/Picture.h"
#include "dds/image/Scanline.h"
#include "dds/image/Zoom.h"

namespace dds {
namespace {

void ResampleFrom(CFloat& source, const FloatImage& src, FloatImage& dst, u32 width, u32 height,
                  const FilterDesc& filter, f32 gamma, bool modulate) {
  CFloat out;
  out.OpenForWriting(width, height);
  ZoomContext ctx;
  ctx.scanline_type = SCAN_FLOAT;
  ctx.filter_modulate = modulate ? 1 : 0;
  ctx.coerce = 1;
  ctx.pass_order = PASS_CHOOSE;
  ctx.trimzeros = 1;
  ZoomWindow b = ZoomWindow::FromSize(0, 0, static_cast<i32>(width), static_cast<i32>(height));
  zoom_opt(ctx, source, ZoomWindow::FromSize(0, 0, static_cast<i32>(src.width),
                                             static_cast<i32>(src.height)),
           out, b, filter, filter, 0, 0);
  if (gamma == 0.0f) {
    dst = static_cast<FloatImage&&>(out.Pixels());
  } else {
    dst.Assign(out.Result(gamma));
  }
}

}  // namespace

void ResampleImage(const FloatImage& src, FloatImage& dst, u32 width, u32 height,
                   const FilterDesc& filter, f32 gamma, bool modulate) {
  if (src.width == 0 || src.height == 0 || width == 0 || height == 0) {
    dst.Free();
    return;
  }
  CFloat source;
  source.LoadForReading(src, gamma);
  ResampleFrom(source, src, dst, width, height, filter, gamma, modulate);
}

void ResampleChain(tVector<FloatImage>& levels, u32 count, u32 first, const FilterDesc& filter,
                   f32 gamma, bool modulate) {
  if (levels.size() == 0) return;
  levels.resize(count);
  if (count == 0) return;
  const FloatImage& top = levels[0];
  if (top.width == 0 || top.height == 0) return;
  CFloat source;
  source.LoadForReading(top, gamma);
  u32 w = top.width;
  u32 h = top.height;
  for (u32 i = 1; i < count; ++i) {
    w = w / 2 > 0 ? w / 2 : 1;
    h = h / 2 > 0 ? h / 2 : 1;
    if (i >= first) ResampleFrom(source, top, levels[i], w, h, filter, gamma, modulate);
  }
}

}  // namespace dds
