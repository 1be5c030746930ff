#include <gtest/gtest.h>

#include <random>
#include <string>

#include "dds/image/Resample.h"
#include "resample_test_util.h"

namespace {

using dds::FloatImage;
using dds::i32;
using dds::u32;
using namespace resample_test;

const dds::FilterDesc& Filter(int i) { return *dds::GetFilterByIndex(i); }

TEST(DdsResample, ConstantImageStaysConstantUnderEveryFilter) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<u32> side(1, 40);
  const float colour[4] = {0.3f, 0.6f, 0.9f, 0.5f};
  for (int f = 0; f < dds::kFilterCount; ++f) {
    SCOPED_TRACE(Filter(f).name);
    for (int trial = 0; trial < 12; ++trial) {
      const u32 sw = side(rng), sh = side(rng), dw = side(rng), dh = side(rng);
      const FloatImage out = Zoom(ConstantImage(sw, sh, colour), dw, dh, Filter(f));
      ASSERT_EQ(out.width, dw);
      for (u32 y = 0; y < dh; ++y) {
        for (u32 x = 0; x < dw; ++x) {
          for (int c = 0; c < 4; ++c) {
            ASSERT_NEAR(out.Pixel(x, y)[c], colour[c], 2e-6)
                << sw << "x" << sh << " -> " << dw << "x" << dh << " at " << x << "," << y;
          }
        }
      }
    }
  }
}

TEST(DdsResample, ScaleOneWithAnInterpolatingFilterCopiesExactly) {
  std::mt19937 rng(5);
  const FloatImage src = RandomImage(23, 17, rng);
  for (int f = 0; f < dds::kFilterCount; ++f) {
    if (!Filter(f).interpolating) continue;
    SCOPED_TRACE(Filter(f).name);
    for (i32 order : {dds::PASS_XY, dds::PASS_YX, dds::PASS_CHOOSE}) {
      EXPECT_EQ(MaxDifference(Zoom(src, 23, 17, Filter(f), order), src), 0.0);
    }
  }
}

TEST(DdsResample, BoxHalvingIsTheTwoByTwoAverage) {
  std::mt19937 rng(7);
  const FloatImage src = RandomImage(38, 26, rng);
  const FloatImage out = Zoom(src, 19, 13, *dds::FindFilterByName("box"));
  for (u32 y = 0; y < 13; ++y) {
    for (u32 x = 0; x < 19; ++x) {
      for (int c = 0; c < 4; ++c) {
        const float mean = (src.Pixel(2 * x, 2 * y)[c] + src.Pixel(2 * x + 1, 2 * y)[c] +
                            src.Pixel(2 * x, 2 * y + 1)[c] + src.Pixel(2 * x + 1, 2 * y + 1)[c]) /
                           4.0f;
        ASSERT_NEAR(out.Pixel(x, y)[c], mean, 1e-6);
      }
    }
  }
}

TEST(DdsResample, AgreesWithADirectDoubleConvolution) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> side(1, 40);
  for (int f = 0; f < dds::kFilterCount; ++f) {
    const dds::FilterDesc& filter = Filter(f);
    SCOPED_TRACE(filter.name);
    for (int trial = 0; trial < 16; ++trial) {
      const int sw = side(rng), sh = side(rng), dw = side(rng), dh = side(rng);
      const FloatImage src = RandomImage(static_cast<u32>(sw), static_cast<u32>(sh), rng);
      const std::vector<double> ref = ReferenceZoom(src, dw, dh, filter);
      for (i32 order : {dds::PASS_XY, dds::PASS_YX}) {
        const FloatImage out = Zoom(src, static_cast<u32>(dw), static_cast<u32>(dh), filter, order);
        double worst = 0.0;
        for (int y = 0; y < dh; ++y) {
          for (int x = 0; x < dw; ++x) {
            for (int c = 0; c < 4; ++c) {
              const double r = ref[(static_cast<size_t>(y) * dw + x) * 4 + c];
              worst = std::max(worst, std::fabs(out.Pixel(x, y)[c] - r));
            }
          }
        }
        EXPECT_LT(worst, 1e-5) << sw << "x" << sh << " -> " << dw << "x" << dh
                               << (order == dds::PASS_XY ? " x first" : " y first");
      }
    }
  }
}

// The same zoom once into a separate picture and once inside the source picture itself.
struct InPlaceCase {
  const char* filter;
  i32 ax, ay, anx, any;  // source window
  i32 bx, by, bnx, bny;  // destination window
};

TEST(DdsResample, InPlaceEqualsOutOfPlace) {
  const InPlaceCase cases[] = {
      {"triangle", 0, 0, 32, 30, 0, 0, 16, 15},   // halving onto the top-left corner
      {"cubic", 0, 0, 32, 30, 5, 9, 16, 15},      // shrinking onto a lower window
      {"mitchell", 4, 6, 28, 24, 0, 0, 13, 11},   // shrinking upwards
      {"catrom", 0, 0, 32, 30, 0, 2, 32, 25},     // squeezing y only, downwards
      {"kaiser", 0, 10, 16, 10, 0, 0, 32, 30},    // enlarging from a lower strip
      {"gaussian", 3, 0, 14, 12, 0, 0, 32, 30},   // enlarging from the top
      {"quadratic", 8, 8, 16, 14, 4, 2, 27, 25},  // enlarging around the middle
      {"sinc", 0, 0, 32, 26, 0, 4, 32, 26},       // shifting down by whole rows
      {"bessel", 0, 5, 32, 25, 0, 0, 32, 25},     // shifting up
      {"box", 0, 0, 32, 30, 0, 0, 11, 7},         // odd factors
      {"point", 0, 0, 16, 15, 0, 0, 32, 30},      // sampled enlarge
      {"point", 0, 0, 32, 30, 2, 3, 16, 15},      // sampled shrink
  };
  std::mt19937 rng(99);
  const FloatImage image = RandomImage(32, 30, rng);
  for (const InPlaceCase& c : cases) {
    for (i32 order : {dds::PASS_XY, dds::PASS_YX}) {
      SCOPED_TRACE(std::string(c.filter) + (order == dds::PASS_XY ? " x first" : " y first") +
                   " dst y " + std::to_string(c.by));
      const dds::FilterDesc& f = *dds::FindFilterByName(c.filter);
      const dds::ZoomWindow a = dds::ZoomWindow::FromSize(c.ax, c.ay, c.anx, c.any);

      dds::CFloat src;
      src.LoadForReading(image, 0.0f);
      dds::CFloat dst;
      dst.LoadForReading(image, 0.0f);  // same starting pixels, a separate picture
      dds::ZoomContext ctx1 = PipelineContext(order);
      dds::ZoomWindow b1 = dds::ZoomWindow::FromSize(c.bx, c.by, c.bnx, c.bny);
      dds::zoom_opt(ctx1, src, a, dst, b1, f, f, 0, 0);

      dds::CFloat same;
      same.LoadForReading(image, 0.0f);
      dds::ZoomContext ctx2 = PipelineContext(order);
      dds::ZoomWindow b2 = dds::ZoomWindow::FromSize(c.bx, c.by, c.bnx, c.bny);
      dds::zoom_opt(ctx2, same, a, same, b2, f, f, 0, 0);

      EXPECT_EQ(MaxDifference(same.Pixels(), dst.Pixels()), 0.0);
      EXPECT_GT(MaxDifference(dst.Pixels(), image), 0.0);  // the zoom did something
    }
  }
}

TEST(DdsResample, DestinationPixelsTheSourceCannotReachAreLeftAlone) {
  const float one[4] = {1, 1, 1, 1};
  const FloatImage image = ConstantImage(4, 4, one);
  dds::CFloat src;
  src.LoadForReading(image, 0.0f);
  dds::CFloat dst;
  dst.OpenForWriting(12, 4);
  dst.Clear(0);
  // A source window three times wider than the picture: only its middle third exists.
  dds::ZoomContext ctx = PipelineContext();
  dds::ZoomWindow b = dds::ZoomWindow::FromSize(0, 0, 12, 4);
  const dds::FilterDesc& f = *dds::FindFilterByName("triangle");
  dds::zoom_opt(ctx, src, dds::ZoomWindow::FromSize(-4, 0, 12, 4), dst, b, f, f, 0, 0);
  EXPECT_EQ(b.x0, 4);
  EXPECT_EQ(b.nx, 4);
  for (u32 x = 0; x < 12; ++x) {
    EXPECT_EQ(dst.Pixels().Pixel(x, 2)[0], (x >= 4 && x < 8) ? 1.0f : 0.0f) << x;
  }
}

std::string g_trace;
void CaptureTrace(const char* text) { g_trace += text; }

TEST(DdsResample, PassOrderFollowsTheCostAndTiesGoYFirst) {
  std::mt19937 rng(3);
  const dds::FilterDesc& f = *dds::FindFilterByName("cubic");
  struct Case {
    u32 sw, sh, dw, dh;
    const char* pass;
  } cases[] = {
      {32, 32, 16, 16, "-yx"},  // equal costs
      {64, 8, 8, 8, "-xy"},     // shrinking x first leaves little for y
      {8, 64, 8, 8, "-yx"},
  };
  for (const Case& c : cases) {
    const FloatImage src = RandomImage(c.sw, c.sh, rng);
    dds::CFloat in;
    in.LoadForReading(src, 0.0f);
    dds::CFloat out;
    out.OpenForWriting(c.dw, c.dh);
    dds::ZoomContext ctx = PipelineContext();
    ctx.debug = 2;
    ctx.trace = CaptureTrace;
    g_trace.clear();
    dds::ZoomWindow b = dds::ZoomWindow::FromSize(0, 0, static_cast<i32>(c.dw), static_cast<i32>(c.dh));
    dds::zoom_opt(ctx, in, dds::ZoomWindow::FromSize(0, 0, static_cast<i32>(c.sw), static_cast<i32>(c.sh)),
                  out, b, f, f, 0, 0);
    EXPECT_NE(g_trace.find(c.pass), std::string::npos) << c.sw << "x" << c.sh;
    EXPECT_GT(ctx.total_taps, 0);
  }
}

TEST(DdsResample, ChainLevelsAreMadeFromLevelZero) {
  std::mt19937 rng(17);
  dds::tVector<FloatImage> levels;
  levels.resize(1);
  levels[0] = RandomImage(40, 12, rng);
  const dds::FilterDesc& f = *dds::FindFilterByName("mitchell");
  dds::ResampleChain(levels, dds::FullChainCount(40, 12), 1, f, 0.0f, false);
  ASSERT_EQ(levels.size(), 6u);
  const u32 sizes[6][2] = {{40, 12}, {20, 6}, {10, 3}, {5, 1}, {2, 1}, {1, 1}};
  for (u32 i = 1; i < 6; ++i) {
    ASSERT_EQ(levels[i].width, sizes[i][0]);
    ASSERT_EQ(levels[i].height, sizes[i][1]);
    EXPECT_EQ(MaxDifference(levels[i], Zoom(levels[0], sizes[i][0], sizes[i][1], f)), 0.0) << i;
  }

  // With a gamma the filter runs on c^(1/g); a constant stays put.
  const float grey[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  FloatImage out;
  dds::ResampleImage(ConstantImage(9, 7, grey), out, 4, 3, f, 2.2f, false);
  ASSERT_EQ(out.width, 4u);
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(out.Pixel(3, 2)[c], grey[c], 1e-5);
}

TEST(DdsResample, InPlaceEqualsOutOfPlaceForRandomWindows) {
  std::mt19937 rng(2024);
  const FloatImage image = RandomImage(24, 24, rng);
  std::uniform_int_distribution<int> filter(0, dds::kFilterCount - 1);
  std::uniform_int_distribution<int> pos(0, 23);
  // Any two row ranges of one picture, shrinking, enlarging or shifting, either pass order.
  int failures = 0;
  for (int trial = 0; trial < 3000 && failures < 5; ++trial) {
    int ay0 = pos(rng), ay1 = pos(rng), by0 = pos(rng), by1 = pos(rng);
    if (ay0 > ay1) std::swap(ay0, ay1);
    if (by0 > by1) std::swap(by0, by1);
    const int ax = pos(rng) % 4, bx = pos(rng) % 4;
    const dds::FilterDesc& f = Filter(filter(rng));
    const i32 order = trial % 2 ? dds::PASS_XY : dds::PASS_YX;
    const dds::ZoomWindow a = dds::ZoomWindow::FromSize(ax, ay0, 20, ay1 - ay0 + 1);
    dds::CFloat src;
    src.LoadForReading(image, 0.0f);
    dds::CFloat dst;
    dst.LoadForReading(image, 0.0f);
    dds::ZoomContext ctx1 = PipelineContext(order);
    dds::ZoomWindow b1 = dds::ZoomWindow::FromSize(bx, by0, 20, by1 - by0 + 1);
    dds::zoom_opt(ctx1, src, a, dst, b1, f, f, 0, 0);
    dds::CFloat same;
    same.LoadForReading(image, 0.0f);
    dds::ZoomContext ctx2 = PipelineContext(order);
    dds::ZoomWindow b2 = dds::ZoomWindow::FromSize(bx, by0, 20, by1 - by0 + 1);
    dds::zoom_opt(ctx2, same, a, same, b2, f, f, 0, 0);
    if (MaxDifference(same.Pixels(), dst.Pixels()) != 0.0) {
      ++failures;
      ADD_FAILURE() << f.name << " a.y " << ay0 << ".." << ay1 << " b.y " << by0 << ".." << by1
                    << (order == dds::PASS_XY ? " xy" : " yx");
    }
  }
}

// Windows partly or wholly outside the pictures, empty or reversed, destinations smaller than
// their windows: the resampler writes only inside the destination and never reads outside the
// source (the sanitizer build checks the memory side).
TEST(DdsResample, HostileWindowsStayInsideThePictures) {
  std::mt19937 rng(77);
  std::uniform_int_distribution<int> coord(-30, 40);
  std::uniform_int_distribution<int> size(1, 24);
  std::uniform_int_distribution<int> filter(0, dds::kFilterCount - 1);
  for (int trial = 0; trial < 400; ++trial) {
    const FloatImage image = RandomImage(static_cast<u32>(size(rng)), static_cast<u32>(size(rng)), rng);
    dds::CFloat src;
    src.LoadForReading(image, 0.0f);
    dds::CFloat dst;
    const u32 dw = static_cast<u32>(size(rng)), dh = static_cast<u32>(size(rng));
    const bool same = trial % 3 == 0;
    if (trial % 2) {
      dst.OpenForWriting(dw, dh);  // no window of its own: nothing clips the destination
    } else {
      dst.LoadForReading(RandomImage(dw, dh, rng), 0.0f);
    }
    dds::ZoomWindow a;
    a.x0 = coord(rng), a.y0 = coord(rng), a.x1 = coord(rng), a.y1 = coord(rng);
    dds::ZoomWindow b;
    b.x0 = coord(rng), b.y0 = coord(rng), b.x1 = coord(rng), b.y1 = coord(rng);
    if (trial % 7 == 0) b.x0 = dds::kUndefined;
    dds::ZoomContext ctx = PipelineContext(trial % 5 == 0 ? dds::PASS_XY : dds::PASS_CHOOSE);
    const dds::FilterDesc& f = Filter(filter(rng));
    dds::zoom_opt(ctx, src, a, same ? src : dst, b, f, f, trial % 4 == 1, trial % 4 == 2);
    for (u32 y = 0; y < dst.Pixels().height; ++y) {
      for (u32 i = 0; i < 4 * dst.Pixels().width; ++i) ASSERT_FALSE(std::isnan(dst.Pixels().Row(y)[i]));
    }
  }
}

}  // namespace
