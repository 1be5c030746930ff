#include "dds/normalmap/NormalMapMaker.h"

#include <cmath>
#include <cstdlib>
#include <new>


namespace dds {
namespace {

i32 Sign(i32 v) { return (v > 0) - (v < 0); }

// Keeps the elements that have a weight list of their own; `y` may be built from `x`'s taps
// with column and row exchanged.
void Store(ConvolutionKernel* kernel, const tVector<KernelElement>& taps) {
  if (kernel != nullptr) kernel->Set(static_cast<i32>(taps.size()), taps.data());
}

tVector<KernelElement> Transposed(const tVector<KernelElement>& taps) {
  tVector<KernelElement> out = taps;
  for (KernelElement& e : out) {
    const i32 t = e.x;
    e.x = e.y;
    e.y = t;
  }
  return out;
}

void Normalize(tVector<KernelElement>& x, tVector<KernelElement>& y) {
  NormalizeKernelWeights(x.data(), static_cast<i32>(x.size()), y.data(),
                         static_cast<i32>(y.size()));
}

void TwoTap(tVector<KernelElement>& x, tVector<KernelElement>& y) {
  x.append({-1, 0, -0.5f});
  x.append({1, 0, 0.5f});
  y.append({0, 1, 0.5f});
  y.append({0, -1, -0.5f});
}

void ThreeByThree(tVector<KernelElement>& x, tVector<KernelElement>& y) {
  for (i32 r = -1; r <= 1; ++r) {
    x.append({-1, r, -1.0f / 6.0f});
    x.append({1, r, 1.0f / 6.0f});
  }
  y = Transposed(x);
}

// The 5×5 pair differs on the axis: two steps out weighs 0.125 across X but 0.25 across Y.
void FiveByFive(tVector<KernelElement>& x, tVector<KernelElement>& y) {
  const f32 near[3] = {0.5f, 5.0f / 14.0f, 0.1f};   // offset ±1 on the axis, by |cross offset|
  const f32 far_x[3] = {0.125f, 0.1f, 0.0625f};      // offset ±2 on the axis (X kernel)
  const f32 far_y[3] = {0.25f, 0.1f, 0.0625f};       // offset ±2 on the axis (Y kernel)
  for (i32 cross = -2; cross <= 2; ++cross)
    for (i32 along = -2; along <= 2; ++along) {
      if (along == 0) continue;
      const i32 a = std::abs(along), c = std::abs(cross);
      const f32 s = static_cast<f32>(Sign(along));
      x.append({along, cross, s * (a == 1 ? near[c] : far_x[c])});
      y.append({cross, along, s * (a == 1 ? near[c] : far_y[c])});
    }
  Normalize(x, y);
}

// Full n×n grids, zeros included: weight sign(along) · (n − |x| − |y|).
void Pyramid(i32 n, tVector<KernelElement>& x, tVector<KernelElement>& y) {
  const i32 half = n / 2;
  for (i32 r = -half; r <= half; ++r)
    for (i32 c = -half; c <= half; ++c) {
      const f32 w = static_cast<f32>(n - std::abs(c) - std::abs(r));
      x.append({c, r, static_cast<f32>(Sign(c)) * w});
      y.append({c, r, static_cast<f32>(Sign(r)) * w});
    }
  Normalize(x, y);
}

void Sobel(tVector<KernelElement>& x, tVector<KernelElement>& y) {
  for (i32 r = -1; r <= 1; ++r) {
    const f32 w = r == 0 ? 2.0f : 1.0f;
    x.append({-1, r, -w});
    x.append({1, r, w});
  }
  y = Transposed(x);
  Normalize(x, y);
}

}  // namespace

void MakeDerivativeKernels(i32 code, ConvolutionKernel* x, ConvolutionKernel* y) {
  tVector<KernelElement> kx, ky;
  switch (code) {
    case kKernel2Tap: TwoTap(kx, ky); break;
    case kKernel5x5: FiveByFive(kx, ky); break;
    case kKernel7x7: Pyramid(7, kx, ky); break;
    case kKernel9x9: Pyramid(9, kx, ky); break;
    case kKernelSobel: Sobel(kx, ky); break;
    default: ThreeByThree(kx, ky); break;
  }
  Store(x, kx);
  Store(y, ky);
}

// ---- NormalMapMaker32F

NormalMapMaker32F::~NormalMapMaker32F() { delete m_convolver; }

i32 NormalMapMaker32F::Setup(const ConvolutionKernel& x, const ConvolutionKernel& y,
                             const NVI_Image32F* source, bool wrap) {
  delete m_convolver;
  m_convolver = nullptr;
  m_source = nullptr;
  if (source == nullptr || source->Image() == nullptr) return kResultConvolverInit;
  m_convolver = new (std::nothrow) Convolver32F();
  if (m_convolver == nullptr) return kResultConvolverInit;
  m_source = source;
  const ConvolutionKernel pair[2] = {x, y};
  return m_convolver->Initialize(source, pair, 2, wrap);
}

void NormalMapMaker32F::MakeNormalMap(NVI_Image32F* out, f32 x_scale, f32 y_scale) const {
  Make(out, x_scale, y_scale, Form::kPlain);
}

void NormalMapMaker32F::MakeNormalMapAdd(NVI_Image32F* out, f32 x_scale, f32 y_scale) const {
  Make(out, x_scale, y_scale, Form::kAdd);
}

void NormalMapMaker32F::MakeXYMap(NVI_Image32F* out, f32 x_scale, f32 y_scale) const {
  Make(out, x_scale, y_scale, Form::kXY);
}

void NormalMapMaker32F::Make(NVI_Image32F* out, f32 x_scale, f32 y_scale, Form form) const {
  if (m_convolver == nullptr || out == nullptr || out->Image() == nullptr || m_source == nullptr ||
      m_source->Image() == nullptr || m_source->Image()->rows == nullptr)
    return;
  const i32 w = m_source->Width(), h = m_source->Height();
  if (out->Width() != w || out->Height() != h) {
    if (out->Initialize(w, h) < 0) return;
  }
  FloatImage* image = out->Image();
  if (image == nullptr || image->rows == nullptr) return;
  for (i32 r = 0; r < h; ++r) {
    f32* px = image->Row(static_cast<u32>(r));
    for (i32 c = 0; c < w; ++c, px += 4) {
      f32 d[2];
      m_convolver->Convolve(c, r, d, 2);
      const f32 a = d[0] * x_scale, b = d[1] * y_scale;
      const f64 n = 1.0 / std::sqrt(static_cast<f64>(a) * a + static_cast<f64>(b) * b + 1.0);
      f64 v[3] = {-a * n, -b * n, n};
      if (form == Form::kXY) {
        px[0] = static_cast<f32>(v[0]);
        px[1] = static_cast<f32>(v[1]);
        px[2] = 0.0f;
        continue;
      }
      if (form == Form::kAdd)
        for (int k = 0; k < 3; ++k) v[k] += px[k];
      const f64 len2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
      if (len2 < 4.930380657631324e-32) {
        v[0] = v[1] = v[2] = 0.0;
      } else if (std::fabs(len2 - 1.0) >= 2.220446049250313e-16) {
        const f64 len = std::sqrt(len2);
        for (f64& e : v) e /= len;
      }
      for (int k = 0; k < 3; ++k) px[k] = static_cast<f32>(v[k]);
    }
  }
}

}  // namespace dds
