// Shared helpers of the resampler tests: random images, a zoom call over float pictures, and an
// independent double-precision separable convolution to compare against.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "dds/image/FloatImage.h"
#include "dds/image/Filters.h"
#include "dds/image/Picture.h"
#include "dds/image/Zoom.h"

namespace resample_test {

inline dds::FloatImage RandomImage(dds::u32 w, dds::u32 h, std::mt19937& rng) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  dds::FloatImage image(w, h);
  for (dds::u32 y = 0; y < h; ++y) {
    for (dds::u32 i = 0; i < 4 * w; ++i) image.Row(y)[i] = unit(rng);
  }
  return image;
}

inline dds::FloatImage ConstantImage(dds::u32 w, dds::u32 h, const float (&c)[4]) {
  dds::FloatImage image(w, h);
  for (dds::u32 y = 0; y < h; ++y) {
    for (dds::u32 x = 0; x < w; ++x) std::copy(c, c + 4, image.Pixel(x, y));
  }
  return image;
}

inline dds::ZoomContext PipelineContext(dds::i32 order = dds::PASS_CHOOSE) {
  dds::ZoomContext ctx;
  ctx.scanline_type = 2;
  ctx.coerce = 1;
  ctx.pass_order = order;
  ctx.trimzeros = 1;
  return ctx;
}

// Resamples all of `src` to w x h with `filter` on both axes.
inline dds::FloatImage Zoom(const dds::FloatImage& src, dds::u32 w, dds::u32 h,
                            const dds::FilterDesc& filter, dds::i32 order = dds::PASS_CHOOSE) {
  dds::CFloat in;
  in.LoadForReading(src, 0.0f);
  dds::CFloat out;
  out.OpenForWriting(w, h);
  dds::ZoomContext ctx = PipelineContext(order);
  dds::ZoomWindow b = dds::ZoomWindow::FromSize(0, 0, static_cast<dds::i32>(w), static_cast<dds::i32>(h));
  dds::zoom_opt(ctx, in, dds::ZoomWindow::FromSize(0, 0, static_cast<dds::i32>(src.width),
                                                    static_cast<dds::i32>(src.height)),
                out, b, filter, filter, 0, 0);
  return out.Pixels();
}

// Weights of one output sample along one axis, from the filter's definition: the kernel is
// stretched by the shrink factor, cut to the source and normalised to sum 1.
struct Tap {
  int index;
  double weight;
};

inline std::vector<std::vector<Tap>> ReferenceAxis(const dds::FilterDesc& f, int src, int dst) {
  const double s = static_cast<double>(dst) / src;
  const double stretch = std::max(1.0 / s, 1.0) * f.blur;
  const double reach = std::max(f.support * stretch, 0.5);
  std::vector<std::vector<Tap>> out(dst);
  // Rows flagged interpolating copy at scale 1, also the two windows (hamming, kaiser) whose
  // value at +-1 is not quite 0.
  if (src == dst && f.interpolating && f.blur == 1.0) {
    for (int k = 0; k < dst; ++k) out[k].push_back({k, 1.0});
    return out;
  }
  for (int k = 0; k < dst; ++k) {
    const double centre = (k + 0.5) / s;
    const int lo = std::clamp(static_cast<int>(std::floor(centre - reach + 0.5)), 0, src - 1);
    const int hi = std::min(static_cast<int>(std::floor(centre + reach + 0.5)), src);
    double sum = 0.0;
    for (int i = lo; i < hi; ++i) {
      const double w = dds::EvalFilter(f, (i + 0.5 - centre) / stretch);
      out[k].push_back({i, w});
      sum += w;
    }
    for (Tap& t : out[k]) t.weight /= sum;
  }
  return out;
}

inline std::vector<double> ReferenceZoom(const dds::FloatImage& src, int w, int h,
                                         const dds::FilterDesc& f) {
  const auto xs = ReferenceAxis(f, static_cast<int>(src.width), w);
  const auto ys = ReferenceAxis(f, static_cast<int>(src.height), h);
  std::vector<double> out(static_cast<size_t>(w) * h * 4, 0.0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double* o = &out[(static_cast<size_t>(y) * w + x) * 4];
      for (const Tap& ty : ys[y]) {
        for (const Tap& tx : xs[x]) {
          const float* p = src.Pixel(static_cast<dds::u32>(tx.index), static_cast<dds::u32>(ty.index));
          for (int c = 0; c < 4; ++c) o[c] += ty.weight * tx.weight * p[c];
        }
      }
    }
  }
  return out;
}

inline double MaxDifference(const dds::FloatImage& a, const dds::FloatImage& b) {
  if (a.width != b.width || a.height != b.height) return INFINITY;
  double worst = 0.0;
  for (dds::u32 y = 0; y < a.height; ++y) {
    for (dds::u32 i = 0; i < 4 * a.width; ++i) {
      worst = std::max(worst, static_cast<double>(std::fabs(a.Row(y)[i] - b.Row(y)[i])));
    }
  }
  return worst;
}

}  // namespace resample_test
