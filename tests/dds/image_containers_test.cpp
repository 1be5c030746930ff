#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "dds/image/FloatImage.h"
#include "dds/Log.h"
#include "dds/image/Picture.h"
#include "dds/tVector.h"
#include "support/LogCapture.h"

namespace {

using dds::u32;

TEST(DdsVector, GrowthKeepsHeadroomAndShrinkingToHalfGivesMemoryBack) {
  dds::tVector<u32> v;
  v.resize(8);  // first allocation: exactly n
  EXPECT_EQ(v.capacity(), 8u);
  const u32* buffer = v.data();
  v.resize(5);  // above half: same buffer
  EXPECT_EQ(v.capacity(), 8u);
  EXPECT_EQ(v.data(), buffer);
  v.resize(4);  // half: n + n/4
  EXPECT_EQ(v.capacity(), 5u);

  dds::tVector<u32> w(8);
  w.resize(3);
  EXPECT_EQ(w.capacity(), 3u);
  w.resize(9);  // growth past capacity with a buffer: 9 + 2
  EXPECT_EQ(w.capacity(), 11u);
  EXPECT_EQ(w.size(), 9u);
  const u32* kept = w.data();
  w.resize(0);  // size 0 keeps the buffer
  EXPECT_EQ(w.data(), kept);
  EXPECT_EQ(w.capacity(), 11u);
  w.clear();
  EXPECT_EQ(w.data(), nullptr);
  EXPECT_EQ(w.capacity(), 0u);
}

TEST(DdsVector, ContentsSurviveReallocationAndAppendZeroFills) {
  dds::tVector<u32> v;
  for (u32 i = 0; i < 100; ++i) v.append(i * 7);
  for (u32 i = 0; i < 100; ++i) ASSERT_EQ(v[i], i * 7);
  v.resize(10);
  v.resize(60);  // regrown elements are zero, the kept ones unchanged
  for (u32 i = 0; i < 10; ++i) EXPECT_EQ(v[i], i * 7);
  for (u32 i = 10; i < 60; ++i) EXPECT_EQ(v[i], 0u);
  v.append(v[3]);  // an element of the vector itself
  EXPECT_EQ(v[60], 21u);
}

TEST(DdsVector, VectorsOfImagesCopyDeeplyAndFreeRemovedImages) {
  dds::tVector<dds::FloatImage> a;
  a.resize(3);
  a[0].Resize(4, 2);
  a[0].Pixel(3, 1)[2] = 0.25f;
  a[2].Resize(1, 1);
  dds::tVector<dds::FloatImage> b;
  b = a;
  ASSERT_EQ(b.size(), 3u);
  EXPECT_NE(b[0].rows, a[0].rows);
  EXPECT_EQ(b[0].Pixel(3, 1)[2], 0.25f);
  EXPECT_EQ(b[1].rows, nullptr);
  a.resize(1);  // removed levels are freed (checked by the leak sanitizer)
  a.resize(40);  // new levels are empty, old ones moved intact
  EXPECT_EQ(a[0].Pixel(3, 1)[2], 0.25f);
  EXPECT_EQ(a[39].width, 0u);
}

TEST(DdsChains, LevelSizesHalveDownToOne) {
  dds::tVector<dds::MipLevel> levels;
  dds::BuildMipChain(levels, 5, 3, 0);
  ASSERT_EQ(levels.size(), 3u);
  EXPECT_EQ(levels[1].width, 2u);
  EXPECT_EQ(levels[1].height, 1u);
  EXPECT_EQ(levels[2].pixels.size(), 1u);
  dds::BuildMipChain(levels, 0, 0, 0);
  EXPECT_EQ(levels.size(), 0u);

  dds::tVector<dds::FloatImage> floats;
  dds::BuildFloatChain(floats, 16, 4, 0);
  ASSERT_EQ(floats.size(), 5u);
  EXPECT_EQ(floats[4].width, 1u);
  EXPECT_EQ(floats[4].height, 1u);
  dds::f32** rows = floats[1].rows;
  dds::BuildFloatChain(floats, 16, 4, 3);  // same sizes: rows kept
  EXPECT_EQ(floats[1].rows, rows);
  floats[0].Resize(2, 2);  // a different size reallocates
  EXPECT_EQ(floats[0].width, 2u);
}

using DdsLogCapture = testsupport::tLogCapture<testsupport::tSinkLog<&dds::SetLogSink>>;

TEST(DdsChains, ToFloatPictureDecodesBytesAndSharedExponents) {
  dds::tVector<dds::MipLevel> levels;
  dds::BuildMipChain(levels, 2, 1, 2);
  levels[0].pixels[0] = 0xFF8000FFu;  // R 255, G 0, B 128, A 255
  levels[0].pixels[1] = 0x00000033u;
  levels[1].rgbe = 1;
  levels[1].pixels[0] = 0x81204080u;  // E 129: scale 2/255
  dds::tVector<dds::FloatImage> out;
  dds::ToFloatPicture(levels, out);
  ASSERT_EQ(out.size(), 2u);
  const float* p = out[0].Pixel(0, 0);
  EXPECT_FLOAT_EQ(p[0], 1.0f);
  EXPECT_FLOAT_EQ(p[2], 128.0f / 255.0f);
  EXPECT_FLOAT_EQ(out[0].Pixel(1, 0)[0], 0.2f);
  const float* e = out[1].Pixel(0, 0);
  EXPECT_FLOAT_EQ(e[0], 128.0f * 2.0f / 255.0f);
  EXPECT_FLOAT_EQ(e[1], 64.0f * 2.0f / 255.0f);
  EXPECT_FLOAT_EQ(e[3], 1.0f);

  // A level that claims more pixels than it holds is reported, not over-read.
  levels[0].pixels.resize(1);
  {
    DdsLogCapture log;
    dds::ToFloatPicture(levels, out);
    EXPECT_TRUE(log.contains("ERROR: level 0"));
  }
  EXPECT_EQ(out[0].Pixel(1, 0)[0], 0.0f);
}

TEST(DdsPicture, WindowIsUndefinedUntilOpenedForReading) {
  dds::CFloat pic;
  dds::i32 box[4];
  pic.GetBox(box[0], box[1], box[2], box[3]);
  for (dds::i32 v : box) EXPECT_EQ(v, dds::kUndefined);
  pic.OpenForWriting(3, 2);
  pic.GetBox(box[0], box[1], box[2], box[3]);
  EXPECT_EQ(box[2], dds::kUndefined);
  dds::FloatImage image(5, 4);
  pic.LoadForReading(image, 0.0f);
  pic.GetBox(box[0], box[1], box[2], box[3]);
  EXPECT_EQ(box[2], 5);
  EXPECT_EQ(box[3], 4);
}

TEST(DdsPicture, GammaRoundTripsAndRowsOutsideTheImageAreIgnored) {
  dds::FloatImage image(2, 1);
  for (int i = 0; i < 8; ++i) image.Row(0)[i] = 0.5f;
  image.Row(0)[7] = -0.25f;  // overshoot of a negative-lobed filter
  dds::CFloat pic;
  pic.LoadForReading(image, 2.2f);
  EXPECT_NEAR(pic.Pixels().Row(0)[0], 0.7297, 1e-4);
  const dds::FloatImage& back = pic.Result(2.2f);
  EXPECT_NEAR(back.Row(0)[0], 0.5, 1e-6);
  EXPECT_NEAR(back.Row(0)[7], -0.25, 1e-6);
  EXPECT_FALSE(std::isnan(back.Row(0)[7]));

  // Writes past either end and reads of missing rows touch nothing outside the image.
  const float row[16] = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4};
  pic.WriteColorRow(0, -1, 4, row);
  EXPECT_EQ(pic.Pixels().Pixel(0, 0)[0], 2.0f);
  EXPECT_EQ(pic.Pixels().Pixel(1, 0)[0], 3.0f);
  pic.WriteColorRow(5, 0, 4, row);
  const dds::u8 bytes[4] = {255, 0, 51, 0};
  pic.WriteRow(0, 1, 4, bytes);
  EXPECT_EQ(pic.Pixels().Pixel(1, 0)[3], 1.0f);
  float out[16];
  pic.ReadColorRow(0, 1, 4, out);
  EXPECT_EQ(out[0], 1.0f);
  EXPECT_EQ(out[4], 0.0f);
  EXPECT_EQ(out[15], 0.0f);
}

}  // namespace
