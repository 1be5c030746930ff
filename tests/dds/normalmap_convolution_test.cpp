// The bordered copy the derivative kernels read: wrapped and clamped margins, kernels that
// reach past small levels, and the kernels' response to ramps.
#include "dds/image/ConvolutionKernel.h"
#include "dds/normalmap/NormalMapMaker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

dds::FloatImage Tens(dds::u32 w, dds::u32 h) {  // A = 10·row + column
  dds::FloatImage image(w, h);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = 0; x < w; ++x) image.Pixel(x, y)[3] = float(10 * y + x);
  return image;
}

float BorderedA(const dds::Convolver32F& c, int x, int y) {
  return c.Bordered().Image()->Pixel(dds::u32(x), dds::u32(y))[3];
}

}  // namespace

TEST(NormalMapConvolution, TwoTapMarginsWrapOrClampTheCorners) {
  dds::FloatImage tens = Tens(4, 4);
  dds::NVI_Image32F source(&tens);
  dds::ConvolutionKernel k[2];
  dds::MakeDerivativeKernels(dds::kKernel2Tap, &k[0], &k[1]);
  struct Case {
    bool wrap;
    float corners[4];  // (0,0), (5,0), (0,5), (5,5)
  } cases[] = {{true, {33, 30, 3, 0}}, {false, {0, 3, 30, 33}}};
  for (const Case& c : cases) {
    dds::Convolver32F conv;
    conv.Initialize(&source, k, 2, c.wrap);
    const dds::NVI_ImageBordered32F& b = conv.Bordered();
    EXPECT_EQ(b.Left(), -1);
    EXPECT_EQ(b.Right(), 1);
    EXPECT_EQ(b.Top(), -1);
    EXPECT_EQ(b.Bottom(), 1);
    ASSERT_EQ(b.Width(), 6);
    ASSERT_EQ(b.Height(), 6);
    EXPECT_EQ(BorderedA(conv, 0, 0), c.corners[0]);
    EXPECT_EQ(BorderedA(conv, 5, 0), c.corners[1]);
    EXPECT_EQ(BorderedA(conv, 0, 5), c.corners[2]);
    EXPECT_EQ(BorderedA(conv, 5, 5), c.corners[3]);
    EXPECT_EQ(BorderedA(conv, 2, 3), 21.0f);  // interior: source (1, 2)
  }
}

// Margins always include offset 0, so a kernel off to one side still gets a centred copy.
TEST(NormalMapConvolution, ExtentsOfALoneTap) {
  dds::ConvolutionKernel k;
  const dds::KernelElement e{-2, 3, 1.0f};
  k.Set(1, &e);
  int x0 = 9, x1 = 9, y0 = 9, y1 = 9;
  ASSERT_TRUE(k.GetKernelExtents(&x0, &x1, &y0, &y1));
  EXPECT_EQ(x0, -2);
  EXPECT_EQ(x1, -2);
  EXPECT_EQ(y0, 3);
  EXPECT_EQ(y1, 3);
  dds::FloatImage tens = Tens(4, 4);
  dds::NVI_Image32F source(&tens);
  dds::Convolver32F conv;
  conv.Initialize(&source, &k, 1, false);
  EXPECT_EQ(conv.Bordered().Left(), -2);
  EXPECT_EQ(conv.Bordered().Right(), 0);
  EXPECT_EQ(conv.Bordered().Top(), 0);
  EXPECT_EQ(conv.Bordered().Bottom(), 3);
  float r = 0.0f;
  conv.Convolve(3, 0, &r, 1);  // source (1, 3)
  EXPECT_EQ(r, 31.0f);

  dds::ConvolutionKernel empty;
  EXPECT_FALSE(empty.GetKernelExtents(&x0, &x1, &y0, &y1));
  EXPECT_EQ(x0, -2);  // untouched
}

// A 9×9 kernel on 1×1, 2×2 and 3×3 levels reaches past the level several times over: every
// bordered pixel must still hold the pixel its wrapped or clamped coordinates name.
TEST(NormalMapConvolution, KernelsWiderThanTheLevelReadDefinedPixels) {
  for (dds::u32 side : {1u, 2u, 3u}) {
    for (bool wrap : {false, true}) {
      dds::FloatImage tens = Tens(side, side);
      dds::NVI_Image32F source(&tens);
      dds::ConvolutionKernel k[2];
      dds::MakeDerivativeKernels(dds::kKernel9x9, &k[0], &k[1]);
      dds::Convolver32F conv;
      conv.Initialize(&source, k, 2, wrap);
      const dds::NVI_ImageBordered32F& b = conv.Bordered();
      ASSERT_EQ(b.Width(), int(side) + 8);
      const int n = int(side);
      for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
          int sx = x - 4, sy = y - 4;
          if (wrap) {
            sx = ((sx % n) + n) % n;
            sy = ((sy % n) + n) % n;
          } else {
            sx = std::clamp(sx, 0, n - 1);
            sy = std::clamp(sy, 0, n - 1);
          }
          ASSERT_EQ(BorderedA(conv, x, y), float(10 * sy + sx)) << side << " " << wrap;
        }
    }
  }
}

// Each kernel measures the slope along its own axis and nothing across it; the wide ones by a
// multiple that follows from their weight tables.
TEST(NormalMapConvolution, KernelsRespondToRampsAlongTheirAxisOnly) {
  struct Case {
    int code;
    float gain_x, gain_y;
  } cases[] = {{1040, 1.0f, 1.0f},
               {1041, 1.0f, 1.0f},
               {1042, 4.6285714f / 3.7285714f, 5.1285714f / 3.9785714f},
               {1043, 248.0f / 138.0f, 248.0f / 138.0f},
               {1044, 680.0f / 308.0f, 680.0f / 308.0f},
               {1045, 1.0f, 1.0f},
               {0, 1.0f, 1.0f},
               {1099, 1.0f, 1.0f}};
  for (const Case& c : cases) {
    dds::ConvolutionKernel k[2];
    dds::MakeDerivativeKernels(c.code, &k[0], &k[1]);
    for (int axis = 0; axis < 2; ++axis) {
      dds::FloatImage ramp(16, 16);
      for (dds::u32 y = 0; y < 16; ++y)
        for (dds::u32 x = 0; x < 16; ++x) ramp.Pixel(x, y)[3] = float(axis == 0 ? x : y);
      dds::NVI_Image32F source(&ramp);
      dds::Convolver32F conv;
      conv.Initialize(&source, k, 2, false);
      float d[2];
      conv.Convolve(8, 8, d, 2);
      EXPECT_NEAR(d[axis], axis == 0 ? c.gain_x : c.gain_y, 1e-5) << c.code;
      EXPECT_NEAR(d[1 - axis], 0.0f, 1e-5) << c.code;
    }
  }
}

TEST(NormalMapConvolution, MakerRefusesAMissingSource) {
  dds::NormalMapMaker32F maker;
  dds::ConvolutionKernel k[2];
  dds::MakeDerivativeKernels(1041, &k[0], &k[1]);
  EXPECT_EQ(maker.Setup(k[0], k[1], nullptr, false), dds::kResultConvolverInit);
  dds::NVI_Image32F empty;
  EXPECT_EQ(maker.Setup(k[0], k[1], &empty, false), dds::kResultConvolverInit);
  maker.MakeNormalMap(&empty, 1.0f, 1.0f);  // no convolver: nothing happens
}

// Writing normals into the source does not change the heights later pixels read.
TEST(NormalMapConvolution, MakerReadsASnapshotOfTheHeights) {
  dds::FloatImage picture(8, 1);
  for (dds::u32 x = 0; x < 8; ++x) {
    float* p = picture.Pixel(x, 0);
    p[0] = p[1] = p[2] = 5.0f;  // anything the maker reads from here would spoil the result
    p[3] = float(x);
  }
  dds::NVI_Image32F view(&picture);
  dds::ConvolutionKernel k[2];
  dds::MakeDerivativeKernels(1040, &k[0], &k[1]);
  dds::NormalMapMaker32F maker;
  ASSERT_EQ(maker.Setup(k[0], k[1], &view, false), 0);
  maker.MakeNormalMap(&view, 1.0f, 1.0f);
  for (dds::u32 x = 1; x < 7; ++x) {
    EXPECT_NEAR(picture.Pixel(x, 0)[0], -0.70710678f, 1e-6) << x;
    EXPECT_NEAR(picture.Pixel(x, 0)[2], 0.70710678f, 1e-6) << x;
  }
}
