// Colour records and rectangles: byte layout handed to the device, channel arithmetic, clamping.

#include <gtest/gtest.h>

#include <cstring>

#include "base/math/Color.h"
#include "base/math/Limit.h"

TEST(Color, Color32IsTheDevicePackedValueInMemory) {
  const base::Color32 red(255, 0, 0);
  EXPECT_EQ(static_cast<unsigned long>(red), 0xFFFF0000ul);
  const base::Color32 c(1, 2, 3, 4);
  unsigned char bytes[4];
  std::memcpy(bytes, &c, 4);
  EXPECT_EQ(bytes[0], 3);
  EXPECT_EQ(bytes[1], 2);
  EXPECT_EQ(bytes[2], 1);
  EXPECT_EQ(bytes[3], 4);
  const base::Color32 packed(0x80102030ul);
  EXPECT_EQ(packed.a, 0x80);
  EXPECT_EQ(packed.r, 0x10);
  EXPECT_EQ(packed.b, 0x30);
  EXPECT_EQ(packed[1], 0x20);
  EXPECT_EQ(base::Color32().value(), 0u);
  base::Color32 assigned;
  assigned = 0x01020304ul;
  EXPECT_EQ(assigned.value(), 0x01020304u);
}

TEST(Color, ScalingAndBlending) {
  base::Color32 c(200, 100, 50, 128);
  c *= 0.5f;
  EXPECT_EQ(c.value(), base::Color32(100, 50, 25, 128).value());
  c *= 0.0f;
  EXPECT_EQ(c.value(), base::Color32(0, 0, 0, 128).value());
  const base::Color32 mid = base::Color32(0, 0, 0, 0).lerp(base::Color32(255, 100, 10, 200), 0.5f);
  EXPECT_EQ(mid.value(), base::Color32(127, 50, 5, 100).value());

  const base::Color24 g(0x00332211ul);  // COLORREF order
  EXPECT_EQ(g.r, 0x11);
  EXPECT_EQ(g.g, 0x22);
  EXPECT_EQ(g.b, 0x33);
  EXPECT_EQ(g[0], 0x33);
  EXPECT_TRUE(base::Color24(250, 0, 1) + base::Color24(10, 0, 0) == base::Color24(4, 0, 1));
  EXPECT_TRUE(base::Color24(0, 5, 0) - base::Color24(0, 6, 0) == base::Color24(0, 255, 0));
  EXPECT_TRUE(base::Color24(9, 9, 9) * 0.5f == base::Color24(4, 4, 4));
  EXPECT_TRUE(base::Color24(9, 9, 9) / 2.0f == base::Color24(4, 4, 4));
  EXPECT_TRUE(base::Color24() == base::Color24(0, 0, 0));
}

TEST(Limit, ClampTakesTheMinimumFirst) {
  const base::tLimit<base::tVector2<float>> box(0.0f, 0.0f, 10.0f, 10.0f);
  EXPECT_EQ(box.clamp({-5.0f, 20.0f}), base::tVector2<float>(0.0f, 10.0f));
  EXPECT_EQ(box.clamp({3.0f, 10.0f}), base::tVector2<float>(3.0f, 10.0f));
  const base::tLimit<base::tVector2<float>> inverted(10.0f, 10.0f, 0.0f, 0.0f);
  EXPECT_EQ(inverted.clamp({5.0f, 20.0f}), base::tVector2<float>(10.0f, 0.0f));  // 5 is at or below the minimum

  base::tLimit<base::tVector2<int>> grow(0, 0, 0, 0);
  grow.extend({-3, 4}).extend({2, -1});
  EXPECT_EQ(grow.min, base::tVector2<int>(-3, -1));
  EXPECT_EQ(grow.max, base::tVector2<int>(2, 4));
  EXPECT_EQ(grow.extent(), base::tVector2<int>(5, 5));
  const base::tLimit<float> range(20.0f, 5000.0f);
  EXPECT_EQ(range.clamp(1.0f), 20.0f);
}
