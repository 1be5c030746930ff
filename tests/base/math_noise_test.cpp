#include "base/math/Noise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

namespace {

using N = base::NoiseGenerator;

TEST(Noise, TableIsAPermutation) {
  const std::set<int> values(N::permutation(), N::permutation() + 256);
  EXPECT_EQ(values.size(), 256u);
  EXPECT_EQ(*values.begin(), 0);
  EXPECT_EQ(*values.rbegin(), 255);
}

TEST(Noise, ZeroOnLatticePoints) {
  for (int i = -300; i <= 300; i += 7) {
    const int j = 3 * i + 1, k = -i + 5;
    EXPECT_EQ(N::perlin(float(i)), 0.0f);
    EXPECT_EQ(N::perlin(float(i), float(j)), 0.0f);
    EXPECT_EQ(N::perlin(float(i), float(j), float(k)), 0.0f);
    EXPECT_EQ(N::perlind(i), 0.0);
    EXPECT_EQ(N::perlind(i, j), 0.0);
    EXPECT_EQ(N::perlind(i, j, k), 0.0);
    EXPECT_EQ(N::perlin_fpa(i * 4096), 0);
    EXPECT_EQ(N::perlin_fpa(i * 4096, j * 4096), 0);
    EXPECT_EQ(N::perlin_fpa(i * 4096, j * 4096, k * 4096), 0);
  }
}

TEST(Noise, PeriodicAt256OnEveryAxis) {
  std::mt19937 rng(8);
  std::uniform_real_distribution<double> d(-20, 20);
  for (int n = 0; n < 200; ++n) {
    // Quarter steps keep x + 256 exact in float.
    const double x = std::round(d(rng) * 4) / 4 + 0.25, y = std::round(d(rng) * 4096) / 4096;
    const double z = std::round(d(rng) * 4096) / 4096;
    EXPECT_EQ(N::perlind(x), N::perlind(x + 256));
    EXPECT_EQ(N::perlind(x, y), N::perlind(x, y - 256));
    EXPECT_EQ(N::perlind(x, y, z), N::perlind(x, y, z + 512));
    EXPECT_EQ(N::perlin(float(x)), N::perlin(float(x) + 256));
    EXPECT_EQ(N::perlin(float(x), 0.5f), N::perlin(float(x) - 256, 0.5f));
    EXPECT_EQ(N::perlin(float(x), 0.5f, 1.75f), N::perlin(float(x), 256.5f, 1.75f));
    const int fx = int(x * 4096), fy = int(y * 4096), fz = int(z * 4096), p = 256 * 4096;
    EXPECT_EQ(N::perlin_fpa(fx), N::perlin_fpa(fx + p));
    EXPECT_EQ(N::perlin_fpa(fx, fy), N::perlin_fpa(fx - p, fy + p));
    EXPECT_EQ(N::perlin_fpa(fx, fy, fz), N::perlin_fpa(fx, fy, fz - p));
  }
  // Negative coordinates fall in the cell below: −0.25 is cell −1 (that is 255) at 0.75.
  EXPECT_EQ(N::perlin(-0.25f), N::perlin(255.75f));
  EXPECT_EQ(N::perlin_fpa(-1024), N::perlin_fpa(255 * 4096 + 3072));
}

TEST(Noise, FloatDoubleAndFixedPointAgree) {
  std::mt19937 rng(6);
  std::uniform_real_distribution<double> d(-50, 50);
  double largest = 0;
  bool nonzero = false;
  for (int n = 0; n < 2000; ++n) {
    const double x = std::round(d(rng) * 4096) / 4096, y = std::round(d(rng) * 4096) / 4096;
    const double z = std::round(d(rng) * 4096) / 4096;
    const int fx = int(std::lround(x * 4096)), fy = int(std::lround(y * 4096)), fz = int(std::lround(z * 4096));
    const double n1 = N::perlind(x), n2 = N::perlind(x, y), n3 = N::perlind(x, y, z);
    EXPECT_NEAR(N::perlin(float(x)), n1, 1e-5);
    EXPECT_NEAR(N::perlin(float(x), float(y)), n2, 1e-5);
    EXPECT_NEAR(N::perlin(float(x), float(y), float(z)), n3, 1e-5);
    EXPECT_NEAR(N::perlin_fpa(fx) / 4096.0, n1, 6e-3);
    EXPECT_NEAR(N::perlin_fpa(fx, fy) / 4096.0, n2, 6e-3);
    EXPECT_NEAR(N::perlin_fpa(fx, fy, fz) / 4096.0, n3, 6e-3);
    largest = std::max({largest, std::fabs(n1), std::fabs(n2), std::fabs(n3)});
    nonzero = nonzero || n3 != 0;
  }
  EXPECT_TRUE(nonzero);
  EXPECT_LT(largest, 1.1);
}

TEST(Noise, HugeCoordinatesStayDefined) {
  EXPECT_TRUE(std::isfinite(N::perlin(1e30f, -1e30f, 3e9f)));
  EXPECT_TRUE(std::isfinite(N::perlind(-1e300)));
}

}  // namespace
