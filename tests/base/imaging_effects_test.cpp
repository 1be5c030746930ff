// The imaging effects: exact pixels for the deterministic ones (the savegame thumbnail's
// desaturate, crop and resample among them), bounds and sizes for the random ones from a seeded
// generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "base/imaging/BitmapEffects.h"
#include "base/math/Random.h"

namespace {

base::cl_Bitmap8Ex Grey(int w, int h, const std::vector<int>& values) {
  base::cl_Bitmap8Ex b;
  b.Create(w, h);
  for (int i = 0; i < w * h; ++i) b.GetPixels()[i] = static_cast<unsigned char>(values[i]);
  return b;
}

// A 4 × 4 colour bitmap whose pixel (x, y) has red x, green y.
base::cl_Bitmap32Ex Coordinates() {
  base::cl_Bitmap32Ex b;
  b.Create(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) *b.Pixel(x, y) = base::Color32(x, y, 9, 200);
  return b;
}

bool Between(int v, int a, int b) { return v >= std::min(a, b) && v <= std::max(a, b); }

TEST(BitmapEffects8, AddNoiseWithoutAmplitudeFillsBetweenTheOldPixels) {
  base::RandSeed(7);
  base::cl_Bitmap8Ex b = Grey(2, 2, {10, 200, 60, 120});
  b.AddNoise(1, 0);
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 3);
  auto v = [&](int x, int y) { return static_cast<int>(*b.Pixel(x, y)); };
  EXPECT_EQ(v(0, 0), 10);
  EXPECT_EQ(v(2, 0), 200);
  EXPECT_EQ(v(0, 2), 60);
  EXPECT_EQ(v(2, 2), 120);
  EXPECT_TRUE(Between(v(1, 0), 10, 200));
  EXPECT_TRUE(Between(v(0, 1), 10, 60));
  EXPECT_TRUE(Between(v(2, 1), 200, 120));
  EXPECT_TRUE(Between(v(1, 2), 60, 120));
  EXPECT_TRUE(Between(v(1, 1), 10, 120) || Between(v(1, 1), 60, 200));

  // The same seed repeats the result; noise keeps the size rule over several steps.
  base::RandSeed(7);
  base::cl_Bitmap8Ex again = Grey(2, 2, {10, 200, 60, 120});
  again.AddNoise(1, 0);
  EXPECT_TRUE(std::equal(b.GetPixels(), b.GetPixels() + 9, again.GetPixels()));
  again.AddNoise(2, 40);
  EXPECT_EQ(again.Width(), 9);
}

TEST(BitmapEffects8, AddDetailDoublesTheSizeWithCopiesOfOldPixels) {
  base::RandSeed(3);
  base::cl_Bitmap8Ex b = Grey(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  b.AddDetail(2);
  EXPECT_EQ(b.Width(), 9);  // 3 → 5 → 9
  EXPECT_EQ(b.Height(), 9);
  for (int i = 0; i < b.NumPixels(); ++i) EXPECT_TRUE(Between(b.GetPixels()[i], 1, 9));
  EXPECT_EQ(*b.Pixel(8, 8), 9);
  EXPECT_EQ(*b.Pixel(4, 4), 5);

  base::cl_Bitmap8Ex empty;
  empty.AddDetail(3);
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(BitmapEffects8, SaturatedDetailFoldsBackAboveWhite) {
  base::cl_Bitmap8Ex b = Grey(3, 1, {200, 128, 129});
  base::cl_Bitmap8 detail = Grey(2, 1, {255, 255});
  b.AddSaturated(&detail);
  EXPECT_EQ(*b.Pixel(0, 0), 175);  // 200 + 72 × 255 / 192 = 295 → 765 − 590
  EXPECT_EQ(*b.Pixel(1, 0), 128);  // not above 128
  EXPECT_EQ(*b.Pixel(2, 0), 129);  // outside the detail map: no detail

  base::cl_Bitmap8Ex m = Grey(2, 1, {128, 255});
  m *= Grey(1, 1, {128});
  EXPECT_EQ(*m.Pixel(0, 0), 64);
  EXPECT_EQ(*m.Pixel(1, 0), 0);  // outside the other bitmap
}

TEST(BitmapEffects8, BlursKeepAFlatImageFlat) {
  base::RandSeed(11);
  base::cl_Bitmap8Ex b = Grey(4, 3, std::vector<int>(12, 77));
  b.Blur();
  base::cl_Bitmap8 radius = Grey(2, 2, {0, 3, 2, 1});
  b.Blur(&radius);
  b.Blur(nullptr);
  for (int i = 0; i < b.NumPixels(); ++i) EXPECT_EQ(b.GetPixels()[i], 77);
}

TEST(BitmapEffects32, ThumbnailOperationsGiveExactPixels) {
  base::cl_Bitmap32Ex grey;
  grey.Create(1, 1);
  *grey.Pixel(0, 0) = base::Color32(10, 20, 31, 7);
  grey.Desaturate();
  EXPECT_EQ(*grey.Pixel(0, 0), base::Color32(20, 20, 20, 255));

  base::cl_Bitmap32Ex small = Coordinates();
  small.Resample(2, 2);
  ASSERT_EQ(small.Width(), 2);
  EXPECT_EQ(*small.Pixel(0, 0), base::Color32(0, 0, 9, 200));
  EXPECT_EQ(*small.Pixel(1, 0), base::Color32(2, 0, 9, 200));
  EXPECT_EQ(*small.Pixel(0, 1), base::Color32(0, 2, 9, 200));
  EXPECT_EQ(*small.Pixel(1, 1), base::Color32(2, 2, 9, 200));
  base::cl_Bitmap32Ex big = Coordinates();
  big.Resample(7, 3);  // enlarging never reads past the source
  EXPECT_EQ(*big.Pixel(6, 2), base::Color32(3, 2, 9, 200));
  big.Resample(0, 5);
  EXPECT_TRUE(big.IsEmpty());

  base::cl_Bitmap32Ex cut = Coordinates();
  cut.Crop(base::tLimit<base::tVector2<int>>(1, 1, 3, 3));
  ASSERT_EQ(cut.Width(), 2);
  ASSERT_EQ(cut.Height(), 2);
  EXPECT_EQ(*cut.Pixel(0, 0), base::Color32(1, 1, 9, 200));
  EXPECT_EQ(*cut.Pixel(1, 1), base::Color32(2, 2, 9, 200));
  base::cl_Bitmap32Ex over = Coordinates();
  over.Crop(base::tLimit<base::tVector2<int>>(3, -1, 5, 1));  // partly outside: zero there
  EXPECT_EQ(*over.Pixel(0, 1), base::Color32(3, 0, 9, 200));
  EXPECT_EQ(*over.Pixel(1, 1), base::Color32());
  EXPECT_EQ(*over.Pixel(0, 0), base::Color32());
}

TEST(BitmapEffects32, ContourMarksInsideEdgeAndOutside) {
  // A 3 × 3 block of 200 in a 5 × 5 mask of 0.
  std::vector<int> values(25, 0);
  for (int y = 1; y <= 3; ++y)
    for (int x = 1; x <= 3; ++x) values[y * 5 + x] = 200;
  const base::cl_Bitmap8 mask = Grey(5, 5, values);
  const base::Color32 inner(1, 1, 1), edge(2, 2, 2), outside(3, 3, 3);
  base::cl_Bitmap32Ex c;
  c.CreateContour(&mask, 100, inner, edge, outside);
  ASSERT_EQ(c.Width(), 5);
  const char* expected[] = {"ooooo", "oeeeo", "oeieo", "oeeeo", "ooooo"};
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      const base::Color32 want = expected[y][x] == 'i' ? inner : (expected[y][x] == 'e' ? edge : outside);
      EXPECT_EQ(*c.Pixel(x, y), want) << x << "," << y;
    }
  }
  // With a test of the value instead of a threshold: nothing is inside.
  c.CreateContour(&mask, [](unsigned char v) { return v == 1; }, inner, edge, outside);
  EXPECT_EQ(*c.Pixel(2, 2), outside);
  // A mask without an inner row is frame only.
  const base::cl_Bitmap8 thin = Grey(4, 2, std::vector<int>(8, 255));
  c.CreateContour(&thin, 1, inner, edge, outside);
  for (int i = 0; i < c.NumPixels(); ++i) EXPECT_EQ(c.GetPixels()[i], outside);
}

TEST(BitmapEffects32, ColorizeByMaskRange) {
  const base::cl_Bitmap8 mask = Grey(4, 1, {10, 20, 30, 40});
  base::cl_Bitmap32Ex b;
  b.Create(5, 1);  // the fifth pixel lies outside the mask: value 0
  b.Colorize(&mask, 0, 10, 0xFF0000FFul);
  EXPECT_EQ(b.Pixel(0, 0)->value(), 0xFF0000FFu);
  EXPECT_EQ(b.Pixel(4, 0)->value(), 0xFF0000FFu);
  EXPECT_EQ(b.Pixel(1, 0)->value(), 0u);
  b.Colorize(&mask, 20, 40, base::Color32(0, 0, 0, 255), base::Color32(200, 100, 50, 255));
  EXPECT_EQ(*b.Pixel(1, 0), base::Color32(0, 0, 0, 255));
  EXPECT_EQ(*b.Pixel(2, 0), base::Color32(100, 50, 25, 255));
  EXPECT_EQ(*b.Pixel(3, 0), base::Color32(200, 100, 50, 255));
  b.Colorize(&mask, 30, 30, base::Color32(9, 9, 9), base::Color32(200, 200, 200));  // lo = hi: colour 1
  EXPECT_EQ(*b.Pixel(2, 0), base::Color32(9, 9, 9));
}

TEST(BitmapEffects32, ReliefOfAFlatMapIsEvenGrey) {
  base::RandSeed(5);
  const base::cl_Bitmap8 height = Grey(3, 2, std::vector<int>(6, 90));
  base::cl_Bitmap32Ex r;
  r.CreateRelief(&height);
  ASSERT_EQ(r.Width(), 3);
  for (int i = 0; i < r.NumPixels(); ++i) EXPECT_EQ(r.GetPixels()[i], base::Color32(220, 220, 220, 255));
  // A rise to the right lights the slope: (b² − a²) over 255 grows the grey.
  const base::cl_Bitmap8 ramp = Grey(2, 1, {200, 255});
  r.CreateRelief(&ramp);
  EXPECT_EQ(r.Pixel(0, 0)->r, static_cast<unsigned char>(static_cast<int>((255 - 156) * 156 / 20.0 + 220.0)));
}

TEST(BitmapEffects1f, SmoothAndInflateAverageTheirNeighbours) {
  base::cl_Bitmap1fEx one;
  one.Create(1, 1);
  *one.Pixel(0, 0) = 5.0f;
  one.Smooth(1);
  EXPECT_EQ(*one.Pixel(0, 0), 5.0f);  // no neighbour: kept

  base::cl_Bitmap1fEx row;
  row.Create(3, 1);
  *row.Pixel(0, 0) = 0.0f, *row.Pixel(1, 0) = 3.0f, *row.Pixel(2, 0) = 6.0f;
  row.Smooth(1);
  EXPECT_EQ(*row.Pixel(0, 0), 3.0f);
  EXPECT_EQ(*row.Pixel(1, 0), 3.0f);
  EXPECT_EQ(*row.Pixel(2, 0), 3.0f);

  base::cl_Bitmap1fEx pair;
  pair.Create(2, 2);
  *pair.Pixel(0, 0) = 0.0f, *pair.Pixel(1, 0) = 4.0f, *pair.Pixel(0, 1) = 8.0f, *pair.Pixel(1, 1) = 12.0f;
  pair.SmoothInflate(1);
  ASSERT_EQ(pair.Width(), 3);
  ASSERT_EQ(pair.Height(), 3);
  // Inflated: rows 0 2 4 / 4 6 8 / 8 10 12; then 3 × 3 means within the bitmap.
  EXPECT_FLOAT_EQ(*pair.Pixel(1, 1), 6.0f);
  EXPECT_FLOAT_EQ(*pair.Pixel(0, 0), (0 + 2 + 4 + 6) / 4.0f);
  EXPECT_FLOAT_EQ(*pair.Pixel(2, 1), (2 + 4 + 6 + 8 + 10 + 12) / 6.0f);
  pair.SmoothInflate(2);
  EXPECT_EQ(pair.Width(), 9);  // 3 → 5 → 9
}

}  // namespace
