// Weighted pixel offsets (convolution kernels), the float image views the normal-map maker reads
// heights through, and the convolver that applies several kernels at one pixel of a bordered
// copy of a height image.
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

// One tap: column offset, row offset (positive = the following row), weight.
struct KernelElement {
  i32 x = 0;
  i32 y = 0;
  f32 weight = 0.0f;
};

// A list of taps. Copies copy the taps.
class ConvolutionKernel {
 public:
  ConvolutionKernel() = default;
  ConvolutionKernel(const ConvolutionKernel& other) { *this = other; }
  ConvolutionKernel& operator=(const ConvolutionKernel& other);

  // Replaces the taps by `count` copies from `elements`.
  void Set(i32 count, const KernelElement* elements);
  // No taps.
  void Clear() { m_elements.clear(); }
  // Smallest and largest column and row offsets over all taps. Logs and leaves the outputs
  // untouched (returning false) when there are no taps or an output is null.
  bool GetKernelExtents(i32* min_x, i32* max_x, i32* min_y, i32* max_y) const;

  i32 Count() const { return static_cast<i32>(m_elements.size()); }
  const KernelElement* Elements() const { return m_elements.data(); }
  KernelElement* Elements() { return m_elements.data(); }

 private:
  tVector<KernelElement> m_elements;
};

// Divides every weight of each list by the sum of the absolute weights of that list (a list
// whose weights are all 0 is left alone).
void NormalizeKernelWeights(KernelElement* x, i32 x_count, KernelElement* y, i32 y_count);

// A float picture with its size: either a view of a picture that belongs to somebody else, or
// storage of its own made by Initialize (freed by Release and the destructor).
class NVI_Image32F {
 public:
  NVI_Image32F() = default;
  // Views `picture` (no copy); its size is taken now.
  explicit NVI_Image32F(FloatImage* picture);
  NVI_Image32F(const NVI_Image32F&) = delete;
  NVI_Image32F& operator=(const NVI_Image32F&) = delete;
  virtual ~NVI_Image32F();

  // Owns a new picture of the given size (all channels 0). Returns 0; the storage stays null
  // for an empty size.
  virtual i32 Initialize(i32 width, i32 height);
  // Drops the storage (freed when owned) and the size. Returns 0.
  virtual i32 Release();

  FloatImage* Image() const { return m_image; }
  i32 Width() const { return m_width; }
  i32 Height() const { return m_height; }

 protected:
  FloatImage* m_image = nullptr;
  FloatImage* m_owned = nullptr;
  i32 m_width = 0;
  i32 m_height = 0;
};

// A copy of a source image enlarged by margins; every margin pixel holds the source pixel that
// the wrapped (tiled) or the clamped coordinates name. Source pixel (c, r) sits at
// (c − left, r − top).
class NVI_ImageBordered32F : public NVI_Image32F {
 public:
  // Takes the source's current pixels; `left` and `top` are 0 or less, `right` and `bottom` 0 or
  // more. Returns 0; an empty source leaves an empty bordered image.
  i32 Init(const NVI_Image32F* source, i32 left, i32 right, i32 top, i32 bottom, bool wrap);
  i32 Release() override;

  i32 Left() const { return m_left; }
  i32 Right() const { return m_right; }
  i32 Top() const { return m_top; }
  i32 Bottom() const { return m_bottom; }
  bool Wrap() const { return m_wrap; }

 private:
  i32 m_left = 0, m_right = 0, m_top = 0, m_bottom = 0;
  const NVI_Image32F* m_source = nullptr;
  bool m_wrap = false;
};

// Applies kernels to the A channel of a snapshot of a source image taken at Initialize, so
// writing into the source afterwards does not change what it reads.
class Convolver32F {
 public:
  Convolver32F() = default;
  Convolver32F(const Convolver32F&) = delete;
  Convolver32F& operator=(const Convolver32F&) = delete;
  ~Convolver32F() { Release(); }

  // Copies the kernels, takes the margins that cover every tap (always including offset 0) and
  // fills the bordered copy. Returns 0.
  i32 Initialize(const NVI_Image32F* source, const ConvolutionKernel* kernels, i32 count,
                 bool wrap);
  // results[k] = sum over kernel k's taps of weight × A at (column + x, row + y) of the
  // source, borders wrapped or clamped; for k < min(count, kernel count).
  void Convolve(i32 column, i32 row, f32* results, i32 count) const;
  i32 Release();

  const NVI_ImageBordered32F& Bordered() const { return m_bordered; }

 private:
  const NVI_Image32F* m_source = nullptr;
  NVI_ImageBordered32F m_bordered;
  tVector<ConvolutionKernel> m_kernels;
};

}  // namespace dds
