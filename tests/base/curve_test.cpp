#include "base/math/Function2.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/data/Variant.h"
#include "test_support.h"

namespace {

using testsupport::LogCapture;
using testsupport::TempDir;

TEST(Function2, EvaluatesBetweenAndBeyondItsPoints) {
  Function2 f;
  EXPECT_EQ(f.Evaluate(3.0f), 0.0f);  // an empty curve reads no point
  f.AddPoint(0, 1);
  f.AddPoint(10, 3);
  f.AddPoint(20, 0);
  const float cases[][2] = {{-5, 1}, {0, 1}, {5, 2}, {10, 3}, {15, 1.5f}, {20, 0}, {25, 0}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(f.Evaluate(c[0]), c[1]) << c[0];

  LogCapture log;
  EXPECT_EQ(f.Evaluate(std::nanf("")), 0.0f);
  EXPECT_TRUE(log.contains("unknown error in Function2"));

  Function2 single;
  single.AddPoint(4, 7);
  EXPECT_EQ(single.Evaluate(-100), 7.0f);
  EXPECT_EQ(single.Evaluate(100), 7.0f);
}

TEST(Function2, LoadsLabelledCurvesFromXml) {
  TempDir dir;
  dir.write("walkspeed.xml", R"(<Curves>
    <Curve label="walk"><P x="0" y="0"/><P x="1" y="2"/><Q x="2"/><Point y="5" x="3"/></Curve>
    <Curve label="slide"><P x="0" y="9"/></Curve>
  </Curves>)");
  const base::String file = dir.path("walkspeed.xml").c_str();
  Function2 f;
  ASSERT_TRUE(f.Load(file, "walk"));
  EXPECT_EQ(f.GetNumPoints(), 3);  // the point without "y" is skipped
  EXPECT_FLOAT_EQ(f.Evaluate(2.0f), 3.5f);
  ASSERT_TRUE(f.Load(file, "walk"));
  EXPECT_EQ(f.GetNumPoints(), 6);  // points are appended

  LogCapture log;
  Function2 g;
  g.AddPoint(1, 1);
  EXPECT_FALSE(g.Load(file, "run"));
  EXPECT_TRUE(log.contains("Function2: could not find label run."));
  EXPECT_EQ(g.GetNumPoints(), 1);
  EXPECT_FALSE(g.Load(dir.path("missing.xml").c_str(), "walk"));

  base::Variant notElement;
  notElement.set_int(3);
  EXPECT_FALSE(g.ReadPoints(notElement));
}

}  // namespace
