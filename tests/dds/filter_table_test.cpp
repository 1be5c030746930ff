#include <gtest/gtest.h>
#include <numbers>

#include <cmath>
#include <string>

#include "dds/image/Filters.h"
#include "dds/Log.h"
#include "support/LogCapture.h"

namespace {

TEST(DdsFilters, LookupByNameAndIndexAgree) {
  for (int i = 0; i < dds::kFilterCount; ++i) {
    const dds::FilterDesc* row = dds::GetFilterByIndex(i);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(dds::FindFilterByName(row->name), row);
  }
  EXPECT_EQ(dds::FindFilterByName("point"), dds::GetFilterByIndex(0));
  EXPECT_EQ(dds::FindFilterByName("Cubic"), nullptr);
  EXPECT_EQ(dds::FindFilterByName("unknown"), nullptr);
}

using DdsLogCapture = testsupport::tLogCapture<testsupport::tSinkLog<&dds::SetLogSink>>;

TEST(DdsFilters, IndexOutsideTheTableIsRefused) {
  DdsLogCapture log;
  EXPECT_EQ(dds::GetFilterByIndex(14), nullptr);
  EXPECT_EQ(dds::GetFilterByIndex(-1), nullptr);
  EXPECT_TRUE(log.contains("ERROR: resampling filter 14"));
}

TEST(DdsFilters, ValuesAtTheDefiningPoints) {
  auto f = [](const char* name, double x) { return dds::EvalFilter(*dds::FindFilterByName(name), x); };
  EXPECT_EQ(f("sinc", 0.0), 1.0);
  EXPECT_DOUBLE_EQ(f("bessel", 0.0), std::numbers::pi / 4.0);
  EXPECT_EQ(f("box", -0.5), 1.0);
  EXPECT_EQ(f("box", 0.5), 0.0);
  EXPECT_DOUBLE_EQ(f("mitchell", 0.0), 8.0 / 9.0);
  EXPECT_DOUBLE_EQ(f("gaussian", 0.0), std::sqrt(2.0 / std::numbers::pi));
  EXPECT_DOUBLE_EQ(f("kaiser", 0.0), 1.0);
  EXPECT_EQ(f("kaiser", 1.5), 0.0);  // no NaN past the support of a widened row
  // Bessel J1 is odd, so the filter is even.
  EXPECT_DOUBLE_EQ(f("bessel", -1.3), f("bessel", 1.3));
  EXPECT_NEAR(dds::BesselI0(6.5), std::cyl_bessel_i(0.0, 6.5), 1e-4);
  EXPECT_NEAR(dds::BesselI0(1.0), std::cyl_bessel_i(0.0, 1.0), 1e-7);
}

// Rows flagged interpolating pass through the samples: 1 at 0, 0 at the other integers. The
// hamming and kaiser windows keep a small value at +-1 (0.08 and 1/I0(6.5)); their flag only lets
// a scale of 1 become an exact copy.
TEST(DdsFilters, InterpolatingRowsPassThroughTheSamples) {
  for (int i = 1; i < dds::kFilterCount; ++i) {
    const dds::FilterDesc& row = *dds::GetFilterByIndex(i);
    if (!row.interpolating) continue;
    SCOPED_TRACE(row.name);
    EXPECT_NEAR(dds::EvalFilter(row, 0.0), 1.0, 1e-12);
    if (std::string(row.name) == "hamming" || std::string(row.name) == "kaiser") continue;
    for (int k = 1; k <= static_cast<int>(row.support); ++k) {
      EXPECT_NEAR(dds::EvalFilter(row, k), 0.0, 1e-12);
      EXPECT_NEAR(dds::EvalFilter(row, -k), 0.0, 1e-12);
    }
  }
}

// The spline rows reproduce a constant: their integer translates sum to 1 everywhere, and they are
// continuous where their segments meet (a wrong coefficient breaks one or the other).
TEST(DdsFilters, SplineRowsFormAPartitionOfUnity) {
  for (const char* name : {"box", "triangle", "quadratic", "cubic", "catrom", "mitchell"}) {
    SCOPED_TRACE(name);
    const dds::FilterDesc& row = *dds::FindFilterByName(name);
    for (double x = -0.5; x < 0.5; x += 0.0625) {
      double sum = 0.0;
      for (int k = -3; k <= 3; ++k) sum += dds::EvalFilter(row, x + k);
      EXPECT_NEAR(sum, 1.0, 1e-12) << "at " << x;
    }
    if (std::string(name) == "box") continue;
    for (double edge : {-1.5, -1.0, -0.5, 0.0, 0.5, 1.0, 1.5, 2.0}) {
      EXPECT_NEAR(dds::EvalFilter(row, edge - 1e-9), dds::EvalFilter(row, edge + 1e-9), 1e-7)
          << "at " << edge;
    }
  }
}

}  // namespace
