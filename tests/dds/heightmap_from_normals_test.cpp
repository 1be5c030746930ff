// Heights from normal maps: analytic surfaces recovered up to scale and offset, the inversion
// switches, degenerate normals, tiny and thin pictures, and the solver's working size.
#include "dds/normalmap/HeightFromNormals.h"
#include "normalmap_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace normalmap_test;

namespace {

// Normals of Bump over a w × h picture (slopes in pixel units, the surface spanning the
// picture); the heights go to `heights`.
dds::FloatImage BumpNormals(dds::u32 w, dds::u32 h, std::vector<double>& heights) {
  dds::FloatImage image(w, h);
  heights.clear();
  const double span = std::max(w, h);
  for (dds::u32 y = 0; y < h; ++y)
    for (dds::u32 x = 0; x < w; ++x) {
      const double e = 1e-4, u = x / span, v = y / span;
      const double a = (Bump(u + e, v) - Bump(u - e, v)) / (2 * e) / span;
      const double b = (Bump(u, v + e) - Bump(u, v - e)) / (2 * e) / span;
      double n[3];
      NormalOf(a, b, n);
      float* p = image.Pixel(x, y);
      for (int c = 0; c < 3; ++c) p[c] = float(n[c]);
      p[3] = 0.5f;
      heights.push_back(Bump(u, v));
    }
  return image;
}

std::vector<double> Grey(const dds::FloatImage& image) {
  std::vector<double> out;
  for (dds::u32 y = 0; y < image.height; ++y)
    for (dds::u32 x = 0; x < image.width; ++x) {
      const float* p = image.Pixel(x, y);
      EXPECT_EQ(p[0], p[1]);
      EXPECT_EQ(p[0], p[2]);
      EXPECT_EQ(p[3], 0.0f);
      out.push_back(p[0]);
    }
  return out;
}

}  // namespace

// Square, odd-sized and thin pictures all come back as the surface, scaled to 0..1.
TEST(HeightFromNormals, RecoversSmoothSurfaces) {
  const dds::u32 sizes[][2] = {{64, 64}, {100, 60}, {37, 90}, {256, 16}, {16, 200}};
  for (const auto& s : sizes) {
    std::vector<double> want;
    dds::FloatImage image = BumpNormals(s[0], s[1], want);
    ASSERT_EQ(dds::HeightFromNormals(image, false, false, false, 50, 1.0f), 0);
    const std::vector<double> got = Grey(image);
    EXPECT_GT(Correlation(want, got), 0.99) << s[0] << "x" << s[1];
    EXPECT_EQ(*std::min_element(got.begin(), got.end()), 0.0);
    EXPECT_EQ(*std::max_element(got.begin(), got.end()), 1.0);
  }
}

TEST(HeightFromNormals, InversionSwitches) {
  std::vector<double> want;
  const dds::FloatImage source = BumpNormals(32, 32, want);
  dds::FloatImage plain = source, flipped_z = source, flipped_xy = source;
  dds::HeightFromNormals(plain, false, false, false, 50, 1.0f);
  dds::HeightFromNormals(flipped_z, false, false, true, 50, 1.0f);
  // Negated R and G read with invert X and Y are the same normals.
  for (dds::u32 y = 0; y < 32; ++y)
    for (dds::u32 x = 0; x < 32; ++x) {
      flipped_xy.Pixel(x, y)[0] *= -1.0f;
      flipped_xy.Pixel(x, y)[1] *= -1.0f;
    }
  dds::HeightFromNormals(flipped_xy, true, true, false, 50, 1.0f);
  for (dds::u32 y = 0; y < 32; ++y)
    for (dds::u32 x = 0; x < 32; ++x) {
      EXPECT_FLOAT_EQ(flipped_z.Pixel(x, y)[0], 1.0f - plain.Pixel(x, y)[0]);
      EXPECT_EQ(flipped_xy.Pixel(x, y)[0], plain.Pixel(x, y)[0]);
    }
}

// Flat maps have no range to scale by, and normals along the surface or of no length have no
// slope to divide by: every output must still be a number in 0..1.
TEST(HeightFromNormals, DegenerateNormalsGiveFiniteHeights) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    dds::u32 w, h;
    float special[3];  // written at (1, 1) when the picture has it
  } cases[] = {
      {"flat", 8, 8, {0, 0, 1}},          {"1x1", 1, 1, {0.3f, 0.1f, 0.9f}},
      {"2x2", 2, 2, {0.6f, 0, 0.8f}},      {"1x7", 1, 7, {0, 0.6f, 0.8f}},
      {"z = 0", 8, 8, {1, 0, 0}},          {"zero length", 8, 8, {0, 0, 0}},
      {"tiny z", 8, 8, {1, 0, 1e-30f}},    {"NaN", 8, 8, {nan, 0, 1}},
      {"infinite", 8, 8, {inf, 0, 1}},
  };
  for (const Case& c : cases) {
    dds::FloatImage image(c.w, c.h);
    for (dds::u32 y = 0; y < c.h; ++y)
      for (dds::u32 x = 0; x < c.w; ++x) image.Pixel(x, y)[2] = 1.0f;
    const dds::u32 sx = c.w > 1 ? 1 : 0, sy = c.h > 1 ? 1 : 0;
    for (int k = 0; k < 3; ++k) image.Pixel(sx, sy)[k] = c.special[k];
    dds::HeightFromNormals(image, false, false, false, 50, 1.0f);
    for (dds::u32 y = 0; y < c.h; ++y)
      for (dds::u32 x = 0; x < c.w; ++x) {
        const float v = image.Pixel(x, y)[0];
        ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << c.what << " " << v;
      }
  }
  // Flat: 0 everywhere, 1 with invert Z.
  dds::FloatImage flat(4, 4);
  for (dds::u32 y = 0; y < 4; ++y)
    for (dds::u32 x = 0; x < 4; ++x) flat.Pixel(x, y)[2] = 1.0f;
  dds::FloatImage flat_z = flat;
  dds::HeightFromNormals(flat, false, false, false, 50, 1.0f);
  dds::HeightFromNormals(flat_z, false, false, true, 50, 1.0f);
  EXPECT_EQ(flat.Pixel(3, 3)[0], 0.0f);
  EXPECT_EQ(flat_z.Pixel(3, 3)[0], 1.0f);
}

// The working grid follows each side on its own: a 4096×16 map solves on 4097×17 points and
// coarsens along its length, not on a 4096² square.
TEST(HeightFromNormals, WorkingSizeFollowsEachSide) {
  dds::u32 w = 0, h = 0;
  dds::HeightWorkingSize(4096, 16, w, h);
  EXPECT_EQ(w, 4096u);
  EXPECT_EQ(h, 16u);
  dds::HeightWorkingSize(3, 5, w, h);
  EXPECT_EQ(w, 4u);
  EXPECT_EQ(h, 8u);

  dds::Multigrid grid;
  ASSERT_TRUE(grid.Init(4096, 16));
  ASSERT_EQ(grid.Levels(), 12);  // 4096 → 2 along, 16 → 2 across
  EXPECT_EQ(grid.Solution(0).cols, 4097u);
  EXPECT_EQ(grid.Solution(0).rows, 17u);
  EXPECT_EQ(grid.Solution(3).rows, 3u);
  EXPECT_EQ(grid.Solution(10).cols, 5u);
  EXPECT_EQ(grid.Solution(11).cols, 3u);
  EXPECT_EQ(grid.Solution(11).rows, 3u);
  EXPECT_FALSE(grid.Init(6, 8));

  ASSERT_TRUE(grid.Init(8, 8));  // square: 9, 5 and 3 points per side
  ASSERT_EQ(grid.Levels(), 3);
  EXPECT_EQ(grid.Solution(2).cols, 3u);

  // And the thin picture itself comes back as its surface.
  std::vector<double> want;
  dds::FloatImage image = BumpNormals(4096, 16, want);
  dds::HeightFromNormals(image, false, false, false, 50, 1.0f);
  EXPECT_GT(Correlation(want, Grey(image)), 0.99);
}

// The solver alone: a restricted constant is the constant inside and less at the edges, and a
// prolongated constant adds the constant everywhere.
TEST(HeightFromNormals, TransfersBetweenLevels) {
  dds::Multigrid grid;
  ASSERT_TRUE(grid.Init(4, 4));
  dds::Multigrid::Grid fine, coarse;
  fine.rows = fine.cols = 5;
  fine.v.resize(25);
  for (float& v : fine.v) v = 1.0f;
  coarse.rows = coarse.cols = 3;
  coarse.v.resize(9);
  dds::Multigrid::Restrict(fine, coarse);
  EXPECT_FLOAT_EQ(coarse.At(1, 1), 1.0f);
  EXPECT_FLOAT_EQ(coarse.At(0, 1), 0.75f);  // the row outside counts as 0
  EXPECT_FLOAT_EQ(coarse.At(0, 0), 0.5625f);
  for (float& v : coarse.v) v = 2.0f;
  dds::Multigrid::ProlongateAdd(coarse, fine);
  for (float v : fine.v) EXPECT_FLOAT_EQ(v, 3.0f);
}
