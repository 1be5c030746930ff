// The normal-map maker: derivative kernel pairs by code and the three ways of turning the two
// derivatives of a height (the A channel) into a normal.
#pragma once

#include "dds/image/ConvolutionKernel.h"

namespace dds {

constexpr i32 kResultConvolverInit = -23;  // "CANT_INITIALIZE_CONVOLVER"

// Derivative kernel codes.
enum : i32 {
  kKernel2Tap = 1040,
  kKernel3x3 = 1041,  // also every code outside 1040..1045
  kKernel5x5 = 1042,
  kKernel7x7 = 1043,
  kKernel9x9 = 1044,
  kKernelSobel = 1045,  // selects the two-component form
};

// Fills the X and Y derivative kernels of `code` (either may be null). Positive weights sit on
// positive column (X) or row (Y) offsets.
void MakeDerivativeKernels(i32 code, ConvolutionKernel* x, ConvolutionKernel* y);

// Owns one convolver over a snapshot of the height image.
class NormalMapMaker32F {
 public:
  NormalMapMaker32F() = default;
  NormalMapMaker32F(const NormalMapMaker32F&) = delete;
  NormalMapMaker32F& operator=(const NormalMapMaker32F&) = delete;
  virtual ~NormalMapMaker32F();

  // Replaces the convolver by one over `source` with the two kernels. Returns 0, or −23 when
  // there is no source image or the convolver cannot be made.
  i32 Setup(const ConvolutionKernel& x, const ConvolutionKernel& y, const NVI_Image32F* source,
            bool wrap);

  // Each visits every pixel and writes R, G, B of `out` (given the source's size first when
  // it differs); with a = dX·x_scale and b = dY·y_scale:
  // plain (−a, −b, 1) normalised;
  void MakeNormalMap(NVI_Image32F* out, f32 x_scale, f32 y_scale) const;
  // the plain normal added to the pixel's current R, G, B and normalised again;
  void MakeNormalMapAdd(NVI_Image32F* out, f32 x_scale, f32 y_scale) const;
  // the X and Y of the plain normal, B = 0, not normalised.
  void MakeXYMap(NVI_Image32F* out, f32 x_scale, f32 y_scale) const;

 private:
  enum class Form { kPlain, kAdd, kXY };
  void Make(NVI_Image32F* out, f32 x_scale, f32 y_scale, Form form) const;

  Convolver32F* m_convolver = nullptr;
  const NVI_Image32F* m_source = nullptr;
};

}  // namespace dds
