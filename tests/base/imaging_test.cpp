// CPU bitmaps: BMP files written byte-exact and read back, damaged BMP files refused, and the
// whole-image operations at their edges.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/File.h"
#include "base/Imaging.h"
#include "base/data/Array.h"
#include "base/math/VectorTools.h"
#include "test_support.h"

namespace {

using base::cl_Bitmap24;
using base::cl_Bitmap32;
using base::cl_Bitmap8;
using base::Color24;
using base::Color32;

cl_Bitmap24 Gradient24(int w, int h) {
  cl_Bitmap24 b;
  b.Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) *b.Pixel(x, y) = Color24(10 * x + 1, 20 * y + 2, x + y + 3);
  return b;
}

int U32At(const std::string& s, int at) {
  return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8 |
         static_cast<unsigned char>(s[at + 2]) << 16 | static_cast<unsigned char>(s[at + 3]) << 24;
}

TEST(BitmapFile, ThreeByTwoBmpIs78BytesWithFFPaddingAndReadsBack) {
  testsupport::TempDir dir;
  cl_Bitmap24 b = Gradient24(3, 2);
  ASSERT_TRUE(b.SaveBMP(dir.path("a.bmp").c_str()));
  const std::string bytes = dir.read("a.bmp");
  ASSERT_EQ(bytes.size(), 78u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(U32At(bytes, 2), 78);
  EXPECT_EQ(U32At(bytes, 10), 54);
  EXPECT_EQ(U32At(bytes, 38), 2953);
  // Bottom row first: pixel (0, 1) opens the rows; three 0xFF bytes close each row.
  EXPECT_EQ(static_cast<unsigned char>(bytes[54]), b.Pixel(0, 1)->b);
  EXPECT_EQ(static_cast<unsigned char>(bytes[56]), b.Pixel(0, 1)->r);
  for (int at : {63, 64, 65, 75, 76, 77}) EXPECT_EQ(static_cast<unsigned char>(bytes[at]), 0xFF) << at;

  cl_Bitmap24 back;
  ASSERT_TRUE(back.LoadBMP(dir.path("a.bmp").c_str()));
  ASSERT_EQ(back.Width(), 3);
  ASSERT_EQ(back.Height(), 2);
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(back.GetPixels()[i] == b.GetPixels()[i]) << i;

  cl_Bitmap32 with_alpha;
  ASSERT_TRUE(with_alpha.LoadBMP(dir.path("a.bmp").c_str()));
  EXPECT_EQ(with_alpha.Pixel(2, 1)->a, 255);
  EXPECT_EQ(with_alpha.Pixel(2, 1)->g, b.Pixel(2, 1)->g);
}

TEST(BitmapFile, EightBitFilesRoundTripAndJoinAsAlpha) {
  testsupport::TempDir dir;
  cl_Bitmap8 grey;
  grey.Create(5, 3);
  for (int i = 0; i < 15; ++i) grey.GetPixels()[i] = static_cast<unsigned char>(i * 17);
  ASSERT_TRUE(grey.SaveBMP(dir.path("g.bmp").c_str()));
  // Rows of 5 bytes padded to 8, plus the two closing zero bytes.
  EXPECT_EQ(dir.read("g.bmp").size(), static_cast<size_t>(8 * 3 + 1080));
  cl_Bitmap8 back;
  ASSERT_TRUE(back.LoadBMP(dir.path("g.bmp").c_str()));
  ASSERT_EQ(back.NumPixels(), 15);
  EXPECT_EQ(std::memcmp(back.GetPixels(), grey.GetPixels(), 15), 0);

  cl_Bitmap24 colour = Gradient24(5, 3);
  ASSERT_TRUE(colour.SaveBMP(dir.path("c.bmp").c_str()));
  cl_Bitmap32 joined;
  ASSERT_TRUE(joined.LoadBMP(dir.path("c.bmp").c_str(), dir.path("g.bmp").c_str()));
  EXPECT_EQ(joined.Pixel(4, 2)->a, 14 * 17);
  EXPECT_EQ(joined.Pixel(4, 2)->r, colour.Pixel(4, 2)->r);
}

// A valid 2 × 2 24-bit file to damage.
std::string ValidBmp() {
  testsupport::TempDir dir;
  Gradient24(2, 2).SaveBMP(dir.path("v.bmp").c_str());
  return dir.read("v.bmp");
}

void Put32(std::string& s, int at, int v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(static_cast<unsigned>(v) >> (8 * i));
}

TEST(BitmapFile, MalformedFilesGiveAnEmptyBitmapAndOneLine) {
  struct Case {
    const char* name;
    void (*damage)(std::string&);
  };
  const Case cases[] = {
      {"magic", [](std::string& s) { s[0] = 'X'; }},
      {"header size", [](std::string& s) { Put32(s, 14, 12); }},
      {"16 bits", [](std::string& s) { s[28] = 16; }},
      {"compressed", [](std::string& s) { Put32(s, 30, 1); }},
      {"pixel offset past end", [](std::string& s) { Put32(s, 10, 5000); }},
      {"pixel offset inside headers", [](std::string& s) { Put32(s, 10, 20); }},
      {"huge width", [](std::string& s) { Put32(s, 18, 0x7FFFFFFF); }},
      {"zero width", [](std::string& s) { Put32(s, 18, 0); }},
      {"most negative height", [](std::string& s) { Put32(s, 22, static_cast<int>(0x80000000u)); }},
      {"rows past end", [](std::string& s) { Put32(s, 22, 40); }},
      {"truncated", [](std::string& s) { s.resize(60); }},
      {"headers only", [](std::string& s) { s.resize(20); }},
  };
  for (const Case& c : cases) {
    std::string bytes = ValidBmp();
    c.damage(bytes);
    testsupport::LogCapture log;
    cl_Bitmap24 b = Gradient24(1, 1);
    EXPECT_FALSE(base::ReadBMP24(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()),
                                 "x.bmp", b))
        << c.name;
    EXPECT_TRUE(b.IsEmpty()) << c.name;
    ASSERT_EQ(log.get().size(), 1u) << c.name;
    EXPECT_EQ(log.get()[0].rfind("ERROR: bitmap 'x.bmp'", 0), 0u) << log.get()[0];
  }
  // An 8-bit reader refuses a 24-bit file rather than reading its colours as indices.
  const std::string bytes = ValidBmp();
  cl_Bitmap8 eight;
  EXPECT_FALSE(base::ReadBMP8(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()),
                              "x.bmp", eight));
}

TEST(BitmapFile, NegativeHeightIsReadTopDown) {
  std::string bytes = ValidBmp();
  Put32(bytes, 22, -2);
  cl_Bitmap24 b;
  ASSERT_TRUE(base::ReadBMP24(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()),
                              "t.bmp", b));
  const cl_Bitmap24 original = Gradient24(2, 2);
  // The first stored row is now the top one: what the bottom-up file held as row 1.
  EXPECT_TRUE(*b.Pixel(0, 0) == *original.Pixel(0, 1));
  EXPECT_TRUE(*b.Pixel(1, 1) == *original.Pixel(1, 0));
}

TEST(BitmapAccess, PointClampsAndPixelWrapsOnce) {
  cl_Bitmap24 b = Gradient24(4, 3);
  EXPECT_TRUE(b.Point(-1, 0) == Color24());
  EXPECT_TRUE(b.Point(4, 0) == Color24());
  EXPECT_EQ(b.Pixel(-1, 0), b.Pixel(3, 0));
  EXPECT_EQ(b.Pixel(0, -1), b.Pixel(0, 2));
  EXPECT_EQ(b.Pixel(5, 4), b.Pixel(1, 1));
  cl_Bitmap8 e;
  e.Create(4, 3);
  EXPECT_EQ(e[-1], e[2]);
}

TEST(BitmapOps, CropAndDifferencesMoveTheOrigin) {
  cl_Bitmap24 black;
  black.Create(10, 10);
  cl_Bitmap24 copy = black;
  copy.Crop();
  EXPECT_EQ(copy.Width(), 10);  // all black: unchanged
  *black.Pixel(5, 7) = Color24(1, 0, 0);
  cl_Bitmap24 cropped = black;
  cropped.Crop();
  EXPECT_EQ(cropped.Width(), 1);
  EXPECT_EQ(cropped.Height(), 1);
  EXPECT_EQ(cropped.OriginX(), 5);
  EXPECT_EQ(cropped.OriginY(), 7);

  cl_Bitmap24 other = black;
  *other.Pixel(2, 3) = Color24(9, 9, 9);
  *other.Pixel(6, 4) = Color24(9, 9, 9);
  other.DifferencesTo(black);
  EXPECT_EQ(other.Width(), 5);
  EXPECT_EQ(other.Height(), 2);
  EXPECT_EQ(other.OriginX(), 2);

  // The cut piece goes back to where it came from.
  cl_Bitmap32 canvas;
  canvas.Create(10, 10);
  cropped.DrawTo(canvas);
  EXPECT_EQ(canvas.Pixel(5, 7)->r, 1);
  EXPECT_EQ(canvas.Pixel(5, 7)->a, 0);  // the target's alpha stays
}

TEST(BitmapOps, SizesGammaAndColourArithmetic) {
  cl_Bitmap24 five = Gradient24(5, 5);
  cl_Bitmap24 half = five;
  half.MakeHalfsize();
  EXPECT_EQ(half.Width(), 2);
  EXPECT_EQ(half.Height(), 2);
  EXPECT_EQ(half.Pixel(1, 1)->r, (21 + 31 + 21 + 31) >> 2);
  cl_Bitmap24 thin = Gradient24(5, 1);
  thin.MakeHalfsize();
  EXPECT_TRUE(thin.IsEmpty());

  cl_Bitmap24 g = five;
  g.Gamma(0.0f);
  for (int i = 0; i < 25; ++i) EXPECT_TRUE(g.GetPixels()[i] == five.GetPixels()[i]);
  cl_Bitmap24 white;
  white.Create(1, 1);
  *white.Pixel(0, 0) = Color24(255, 255, 255);
  white.Gamma(1.0f);  // brightness 765/768: scaled by its square
  EXPECT_EQ(white.Pixel(0, 0)->r, static_cast<int>(255 * (765.0f / 768) * (765.0f / 768)));

  EXPECT_EQ((Color24(200, 0, 0) + Color24(100, 0, 0)).r, 44);

  cl_Bitmap8 m;
  m.Create(3, 5);
  m[1][2] = 7;
  m.RotateCW();
  EXPECT_EQ(m.Width(), 5);
  EXPECT_EQ(m.Height(), 3);
  EXPECT_EQ(*m.Pixel(1, 2), 7);
}

TEST(BitmapOps, MasksGradientsAndChannelProducts) {
  cl_Bitmap24 g;
  g.Create(4, 2);
  g.SmoothAlphaMask(0, 100, 200, 40);
  EXPECT_EQ(g.Pixel(0, 0)->r, 0);
  EXPECT_EQ(g.Pixel(1, 0)->g, 25);
  EXPECT_EQ(g.Pixel(0, 1)->b, 100);  // half way down: left 100, right 70
  EXPECT_EQ(g.Pixel(1, 1)->r, 92);
  EXPECT_EQ(g.Pixel(3, 1)->r, 77);

  cl_Bitmap24 c;
  c.Create(2, 2);
  for (int i = 0; i < 4; ++i) c.GetPixels()[i] = Color24(200, 100, 50);
  cl_Bitmap8 mask;
  mask.Create(4, 4);  // centred: offset (1, 1)
  *mask.Pixel(1, 1) = 255;
  *mask.Pixel(2, 1) = 64;
  *mask.Pixel(1, 2) = 0;
  *mask.Pixel(2, 2) = 200;
  c.Mult(mask);
  EXPECT_TRUE(*c.Pixel(0, 0) == Color24(199, 99, 49));
  EXPECT_TRUE(*c.Pixel(1, 0) == Color24(64, 64, 64));  // dark mask: flattened to its value
  EXPECT_TRUE(*c.Pixel(0, 1) == Color24(0, 0, 0));     // all black stays black
  EXPECT_TRUE(*c.Pixel(1, 1) == Color24(156, 78, 39));

  cl_Bitmap32 a, b;
  a.Create(1, 1), b.Create(1, 1);
  *a.Pixel(0, 0) = Color32(255, 128, 0, 255);
  *b.Pixel(0, 0) = Color32(128, 255, 255, 0);
  a *= b;
  EXPECT_EQ(a.Pixel(0, 0)->value(), Color32(128, 128, 0, 0).value());

  cl_Bitmap32 s;
  s.Create(1, 1);
  *s.Pixel(0, 0) = Color32(255, 0, 0, 77);
  s.Saturate(0.0f);  // all the way to the grey mean
  EXPECT_EQ(s.Pixel(0, 0)->r, 85);
  EXPECT_EQ(s.Pixel(0, 0)->g, 85);
  EXPECT_EQ(s.Pixel(0, 0)->a, 77);
}

TEST(BitmapOps, PalettesMiniaturesAndHalfTones) {
  cl_Bitmap8 indices;
  indices.Create(5, 4);
  for (int i = 0; i < 20; ++i) indices.GetPixels()[i] = static_cast<unsigned char>(i * 10);
  base::cl_Palette palette;
  palette[30] = Color24(1, 2, 3);
  cl_Bitmap24 coloured;
  coloured.Init(&indices, &palette);
  EXPECT_TRUE(*coloured.Pixel(3, 0) == Color24(1, 2, 3));
  EXPECT_TRUE(*coloured.Pixel(4, 0) == Color24());
  coloured.Init(&indices);
  EXPECT_TRUE(*coloured.Pixel(4, 0) == Color24(40, 40, 40));
  coloured.Init(nullptr);  // nothing happens
  EXPECT_EQ(coloured.Width(), 5);

  cl_Bitmap8 mini;
  mini.CreateMiniature(indices);
  ASSERT_EQ(mini.Width(), 2);
  ASSERT_EQ(mini.Height(), 2);
  EXPECT_EQ(*mini.Pixel(1, 1), (120 + 130 + 170 + 180) >> 2);
  indices.HalfTone();
  EXPECT_EQ(*indices.Pixel(4, 3), 95);
}

TEST(BitmapOps, RegionsAlphaAndConversions) {
  cl_Bitmap32 source;
  source.Create(4, 3);
  for (int i = 0; i < 12; ++i) source.GetPixels()[i] = Color32(i, 0, 0, 255);
  cl_Bitmap32 region;
  region.CreateFromRegion(source, 1, 2, 3, 4);  // rows wrap: 2, then 0
  ASSERT_EQ(region.Width(), 2);
  EXPECT_EQ(region.Pixel(0, 0)->r, 9);
  EXPECT_EQ(region.Pixel(1, 1)->r, 2);
  region.CreateFromRegion(source, 3, 0, 9, 1);  // past the right edge: cut, not read past
  EXPECT_EQ(region.Pixel(0, 0)->r, 3);
  EXPECT_EQ(region.Pixel(5, 0)->a, 0);

  cl_Bitmap24 colour = Gradient24(2, 2);
  cl_Bitmap32 saturated;
  saturated.CreateSaturated(&colour);
  EXPECT_EQ(saturated.Pixel(1, 1)->a, std::min(255, 11 + 22 + 5));
  EXPECT_EQ(saturated.GetOverallAlpha(), (6 + 17 + 27 + 38) / 4);
  cl_Bitmap24 back;
  back = saturated;
  EXPECT_TRUE(*back.Pixel(1, 0) == *colour.Pixel(1, 0));
  cl_Bitmap32 empty;
  EXPECT_EQ(empty.GetOverallAlpha(), 0);
}

TEST(IntListRecord, RoundTripsAndRefusesACountPastTheEnd) {
  testsupport::TempDir dir;
  {
    base::File out(dir.path("l.bin").c_str(), base::File::STATUS_WRITE);
    ASSERT_TRUE(base::tArray<int>::Write(&out, {5, -7, 9}));
  }
  base::File in(dir.path("l.bin").c_str(), base::File::STATUS_READ);
  std::vector<int> values{1};
  ASSERT_TRUE(base::tArray<int>::Read(&in, values));
  EXPECT_EQ(values, (std::vector<int>{5, -7, 9}));

  const int lie[] = {1000, 1};
  base::File damaged;
  ASSERT_TRUE(damaged.open_memory(lie, sizeof lie, "lie"));
  testsupport::LogCapture log;
  EXPECT_FALSE(base::tArray<int>::Read(&damaged, values));
  EXPECT_TRUE(values.empty());
  EXPECT_TRUE(log.contains("ERROR:"));
}

TEST(VectorTools, TurnMirrorsAtZeroAndAngleHasTheSignOfX) {
  const base::tVector2<float> v = base::RotateVec2({2.0f, 3.0f}, 0.0f);
  EXPECT_FLOAT_EQ(v.x, -2.0f);
  EXPECT_FLOAT_EQ(v.y, 3.0f);
  EXPECT_FLOAT_EQ(base::Vec2Angle({1.0f, 0.0f}), 1.5707964f);
  EXPECT_FLOAT_EQ(base::Vec2Angle({-1.0f, 0.0f}), -1.5707964f);
  EXPECT_EQ(base::Vec2Angle({0.0f, 0.0f}), 0.0f);
  EXPECT_TRUE(base::NormalizeVec3({0, 0, 0}) == base::tVector3<float>());
  EXPECT_FLOAT_EQ(base::LerpVec3({0, 0, 0}, {2, 4, 6}, 0.5f).y, 2.0f);
}

}  // namespace
