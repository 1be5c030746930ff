#include <gtest/gtest.h>

#include <cstring>

#include "dds/image/Scanline.h"
#include "dds/image/Zoom.h"

namespace {

using dds::ScanlineBuffer;

struct Line {
  dds::ZoomContext& ctx;
  ScanlineBuffer buf;
  Line(dds::ZoomContext& c, dds::i32 type, dds::i32 length) : ctx(c) {
    dds::scanline_alloc(ctx, buf, type, length);
  }
  ~Line() { dds::scanline_free(ctx, buf); }
  float* f() { return static_cast<float*>(buf.data); }
  dds::u8* b() { return static_cast<dds::u8*>(buf.data); }
};

TEST(DdsScanline, AccumulateSkipsZeroWeightsAndAlphaZeroUnderModulation) {
  dds::ZoomContext ctx;
  Line src(ctx, dds::SCAN_FLOAT4, 2);
  Line acc(ctx, dds::SCAN_FLOAT4, 2);
  const float pixels[8] = {0.5f, 0.25f, 1.0f, 0.0f, 0.5f, 0.5f, 0.5f, 0.5f};
  std::memcpy(src.f(), pixels, sizeof pixels);
  const float start[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::memcpy(acc.f(), start, sizeof start);

  dds::scanline_accum(ctx, 0.0, src.buf, acc.buf);
  EXPECT_EQ(std::memcmp(acc.f(), start, sizeof start), 0);

  ctx.filter_modulate = 1;
  dds::scanline_accum(ctx, 0.5, src.buf, acc.buf);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(acc.f()[c], start[c]);  // alpha 0 adds nothing
  EXPECT_FLOAT_EQ(acc.f()[4], 5.0f + 0.5f * 0.5f * 0.5f);      // colour weighted by alpha
  EXPECT_FLOAT_EQ(acc.f()[7], 8.0f + 0.5f * 0.5f);

  ctx.filter_modulate = 0;
  dds::scanline_accum(ctx, 2.0, src.buf, acc.buf);
  EXPECT_FLOAT_EQ(acc.f()[2], 3.0f + 2.0f);
}

TEST(DdsScanline, ConversionToBytesRoundsAndClamps) {
  dds::ZoomContext ctx;
  Line acc(ctx, dds::SCAN_FLOAT4, 2);
  Line out(ctx, dds::SCAN_BYTE4, 2);
  const float values[8] = {-0.4f, 255.6f, 127.5f, -3.0f, 0.49f, 1000.0f, 254.4f, 254.5f};
  std::memcpy(acc.f(), values, sizeof values);
  dds::scanline_shift(ctx, -8, acc.buf, out.buf);
  const dds::u8 expected[8] = {0, 255, 128, 0, 0, 255, 254, 255};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out.b()[i], expected[i]) << i;

  // Filtering float into bytes applies the same rounding per channel.
  Line src(ctx, dds::SCAN_FLOAT4, 2);
  std::memcpy(src.f(), values, sizeof values);
  double weights[2] = {0.5, 0.5};
  dds::WeightTable table{0, 2, weights};
  Line one(ctx, dds::SCAN_BYTE4, 1);
  dds::scanline_filter(ctx, 8, &table, src.buf, one.buf);
  EXPECT_EQ(one.b()[0], 0);    // (-0.4 + 0.49) / 2 + 0.5 -> 0
  EXPECT_EQ(one.b()[1], 255);  // clamped
}

TEST(DdsScanline, UnsupportedTypesLeaveTheBuffersAlone) {
  dds::ZoomContext ctx;
  ScanlineBuffer bad;
  dds::scanline_alloc(ctx, bad, 3, 4);
  EXPECT_EQ(bad.data, nullptr);
  dds::scanline_alloc(ctx, bad, 7, 4);
  EXPECT_EQ(bad.data, nullptr);

  Line bytes(ctx, dds::SCAN_BYTE, 4);
  bytes.b()[0] = 77;
  dds::scanline_zero(ctx, bytes.buf);  // only accumulators can be zeroed
  EXPECT_EQ(bytes.b()[0], 77);
  Line acc(ctx, dds::SCAN_FLOAT4, 4);
  dds::scanline_accum(ctx, 1.0, bytes.buf, acc.buf);  // one channel into four: refused
  EXPECT_EQ(acc.f()[0], 0.0f);
  double w[1] = {1.0};
  dds::WeightTable table{0, 1, w};
  dds::scanline_filter(ctx, 8, &table, acc.buf, bytes.buf);  // four floats to one byte
  EXPECT_EQ(bytes.b()[0], 77);
}

double Zero(double, const void*) { return 0.0; }

TEST(DdsWeights, TablesSumToOneAndAllZeroTablesBecomeOneTap) {
  dds::ZoomContext ctx;
  double weights[16];
  dds::WeightTable table;
  table.weights = weights;

  const dds::FilterDesc zero{"zero", Zero, 1.0, 1.0, 0, 0, 0, nullptr, nullptr, 0};
  dds::FilterScale fs{1.0, 1.0, 2};
  dds::make_weights(ctx, 0, 5.3, zero, fs, 10, 1, table);
  EXPECT_EQ(table.i1 - table.i0, 1);
  EXPECT_EQ(table.i0, 5);
  EXPECT_EQ(weights[0], 1.0);

  // Halving with a support-1 filter stretches it to 2 source pixels each side: 4 taps.
  const dds::FilterDesc& tri = *dds::FindFilterByName("triangle");
  dds::FilterScale half{2.0, 2.0, 4};
  dds::make_weights(ctx, 3, 7.0, tri, half, 20, 0, table);
  EXPECT_EQ(table.i0, 5);
  EXPECT_EQ(table.i1, 9);
  double sum = 0.0;
  for (int i = 0; i < table.i1 - table.i0; ++i) sum += weights[i];
  EXPECT_DOUBLE_EQ(sum, 1.0);

  // At the picture's edge the kernel is cut and renormalised; zero end taps are trimmed.
  dds::make_weights(ctx, 0, 0.25, tri, half, 20, 1, table);
  EXPECT_EQ(table.i0, 0);
  sum = 0.0;
  for (int i = 0; i < table.i1 - table.i0; ++i) {
    EXPECT_NE(weights[i], 0.0);
    sum += weights[i];
  }
  EXPECT_NEAR(sum, 1.0, 1e-15);
}

}  // namespace
