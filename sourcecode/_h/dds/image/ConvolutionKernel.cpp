#include "dds/image/ConvolutionKernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dds/Log.h"

namespace dds {

// ---- ConvolutionKernel

ConvolutionKernel& ConvolutionKernel::operator=(const ConvolutionKernel& other) {
  if (this != &other) Set(other.Count(), other.Elements());
  return *this;
}

void ConvolutionKernel::Set(i32 count, const KernelElement* elements) {
  if (count <= 0 || elements == nullptr) {
    m_elements.clear();
    return;
  }
  m_elements.resize(static_cast<u32>(count));
  for (i32 i = 0; i < count; ++i) m_elements[static_cast<u32>(i)] = elements[i];
}

bool ConvolutionKernel::GetKernelExtents(i32* min_x, i32* max_x, i32* min_y, i32* max_y) const {
  if (m_elements.empty()) {
    Log("ConvolutionKernel::GetKernelExtents() Kernel has no elements!\n");
    return false;
  }
  if (!min_x || !max_x || !min_y || !max_y) {
    Log("ConvolutionKernel::GetKernelExtents() Input pointer is null!\n");
    return false;
  }
  i32 x0 = m_elements[0].x, x1 = x0, y0 = m_elements[0].y, y1 = y0;
  for (const KernelElement& e : m_elements) {
    x0 = std::min(x0, e.x);
    x1 = std::max(x1, e.x);
    y0 = std::min(y0, e.y);
    y1 = std::max(y1, e.y);
  }
  *min_x = x0;
  *max_x = x1;
  *min_y = y0;
  *max_y = y1;
  return true;
}

void NormalizeKernelWeights(KernelElement* x, i32 x_count, KernelElement* y, i32 y_count) {
  const auto normalize = [](KernelElement* e, i32 n) {
    if (e == nullptr) return;
    f32 sum = 0.0f;
    for (i32 i = 0; i < n; ++i) sum += std::fabs(e[i].weight);
    if (sum == 0.0f) return;  // nothing to scale, and no division by zero
    for (i32 i = 0; i < n; ++i) e[i].weight /= sum;
  };
  normalize(x, x_count);
  normalize(y, y_count);
}

// ---- NVI_Image32F

NVI_Image32F::NVI_Image32F(FloatImage* picture) : m_image(picture) {
  if (picture != nullptr) {
    m_width = static_cast<i32>(picture->width);
    m_height = static_cast<i32>(picture->height);
  }
}

NVI_Image32F::~NVI_Image32F() { delete m_owned; }

i32 NVI_Image32F::Initialize(i32 width, i32 height) {
  delete m_owned;
  m_owned = nullptr;
  m_image = nullptr;
  m_width = std::max(width, 0);
  m_height = std::max(height, 0);
  if (m_width > 0 && m_height > 0) {
    m_owned = new (std::nothrow) FloatImage();
    if (m_owned != nullptr) m_owned->Allocate(static_cast<u32>(m_height), static_cast<u32>(m_width));
    m_image = m_owned;
  }
  return 0;
}

i32 NVI_Image32F::Release() {
  // Unlike a view, storage of our own is freed here rather than left behind.
  delete m_owned;
  m_owned = nullptr;
  m_image = nullptr;
  m_width = 0;
  m_height = 0;
  return 0;
}

// ---- NVI_ImageBordered32F

i32 NVI_ImageBordered32F::Release() {
  NVI_Image32F::Release();
  m_left = m_right = m_top = m_bottom = 0;
  m_source = nullptr;
  m_wrap = false;
  return 0;
}

namespace {

// Wrapped (tiled) or clamped coordinate into 0..n − 1; n > 0.
i32 SourceCoordinate(i32 v, i32 n, bool wrap) {
  if (wrap) {
    const i32 m = v % n;
    return m < 0 ? m + n : m;
  }
  return std::clamp(v, 0, n - 1);
}

}  // namespace

i32 NVI_ImageBordered32F::Init(const NVI_Image32F* source, i32 left, i32 right, i32 top,
                               i32 bottom, bool wrap) {
  Release();
  m_source = source;
  m_left = std::min(left, 0);
  m_right = std::max(right, 0);
  m_top = std::min(top, 0);
  m_bottom = std::max(bottom, 0);
  m_wrap = wrap;
  const FloatImage* src = source ? source->Image() : nullptr;
  if (src == nullptr || src->rows == nullptr) return 0;
  const i32 w = static_cast<i32>(src->width), h = static_cast<i32>(src->height);
  Initialize(w - m_left + m_right, h - m_top + m_bottom);
  if (m_image == nullptr || m_image->rows == nullptr) return 0;
  // Every pixel, margins included, is filled from the source coordinate it stands for; this
  // holds even when a kernel reaches further than the image is wide or high (small mips).
  for (i32 by = 0; by < m_height; ++by) {
    const f32* src_row = src->Row(static_cast<u32>(SourceCoordinate(by + m_top, h, wrap)));
    f32* dst = m_image->Row(static_cast<u32>(by));
    for (i32 bx = 0; bx < m_width; ++bx) {
      const i32 sx = SourceCoordinate(bx + m_left, w, wrap);
      std::memcpy(dst + 4 * bx, src_row + 4 * sx, 4 * sizeof(f32));
    }
  }
  return 0;
}

// ---- Convolver32F

i32 Convolver32F::Initialize(const NVI_Image32F* source, const ConvolutionKernel* kernels,
                             i32 count, bool wrap) {
  Release();
  m_source = source;
  i32 left = 0, right = 0, top = 0, bottom = 0;
  if (kernels != nullptr && count > 0) {
    m_kernels.resize(static_cast<u32>(count));
    for (i32 k = 0; k < count; ++k) {
      m_kernels[static_cast<u32>(k)] = kernels[k];
      i32 x0, x1, y0, y1;
      if (!kernels[k].GetKernelExtents(&x0, &x1, &y0, &y1)) continue;
      left = std::min(left, x0);
      right = std::max(right, x1);
      top = std::min(top, y0);
      bottom = std::max(bottom, y1);
    }
  }
  m_bordered.Init(source, left, right, top, bottom, wrap);
  return 0;
}

void Convolver32F::Convolve(i32 column, i32 row, f32* results, i32 count) const {
  const FloatImage* image = m_bordered.Image();
  const i32 n = std::min(count, static_cast<i32>(m_kernels.size()));
  for (i32 k = 0; k < n; ++k) {
    f32 sum = 0.0f;
    if (image != nullptr && image->rows != nullptr) {
      const ConvolutionKernel& kernel = m_kernels[static_cast<u32>(k)];
      const KernelElement* e = kernel.Elements();
      for (i32 t = 0; t < kernel.Count(); ++t, ++e) {
        const i32 bx = column + e->x - m_bordered.Left();
        const i32 by = row + e->y - m_bordered.Top();
        if (bx < 0 || by < 0 || bx >= m_bordered.Width() || by >= m_bordered.Height()) continue;
        sum += e->weight * image->Row(static_cast<u32>(by))[4 * bx + 3];
      }
    }
    results[k] = sum;
  }
}

i32 Convolver32F::Release() {
  m_kernels.clear();
  m_bordered.Release();
  m_source = nullptr;
  return 0;
}

}  // namespace dds
