// The options record's defaults, the error texts and the colour value conversions.
#include "dds/block/ColorPacking.h"
#include "dds/TextureCompressOptions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(DdsOptions, DefaultsSelectDxt1Quality71FullChainTriangleFilter) {
  const dds::TextureCompressOptions o;
  EXPECT_EQ(o.texture_format, 0);
  EXPECT_EQ(o.quality, 71);
  EXPECT_EQ(o.mip_map_type, 30);
  EXPECT_EQ(o.specified_mip_maps, 0);
  EXPECT_EQ(o.mip_filter_type, 2);
  EXPECT_FLOAT_EQ(o.axis_search_threshold, 400.0f);
  EXPECT_FLOAT_EQ(o.weight_g, 0.6094f);
  EXPECT_FLOAT_EQ(o.custom_filter[2][2], 11.0f);
  EXPECT_FLOAT_EQ(o.custom_filter[1][2], -2.0f);
  EXPECT_FLOAT_EQ(o.custom_filter[0][0], 0.0f);
  EXPECT_EQ(o.sharpening_passes[0], 0);
  EXPECT_EQ(o.sharpening_passes[16], 1);
  EXPECT_EQ(o.user_data, nullptr);
  // Fields a caller may forget are never garbage: no normal-map run by accident.
  EXPECT_EQ(o.normal_map_conversion, 0);
  EXPECT_EQ(o.normalmap_filter, 1041);
  EXPECT_FLOAT_EQ(o.user_fading_amounts[16], 0.0f);
}

TEST(DdsOptions, ErrorTextsArePaddedNamesAndGapsAreUndefined) {
  struct Row {
    int code;
    std::string name;
    size_t length;
  };
  const Row rows[] = {{0, "OK", 25},
                      {-2, "Can't Open Input File", 26},
                      {-14, "IMAGE_NOT_MULT4", 25},
                      {-60, "CHART_MAX_DISTORTION_EXCEEDED", 31},
                      {-98, "MEMORY_ALLOCATION_FAILED", 33},
                      {-100, "IMAGE_EXCEEDS_INTERNAL_SIZE", 30}};
  for (const Row& r : rows) {
    const std::string text = dds::GetErrorString(r.code);
    EXPECT_EQ(text, r.name + std::string(r.length - r.name.size(), ' ')) << r.code;
  }
  for (int code : {5, 1, -62, -69, -77, -87, -89, -101, -100000})
    EXPECT_STREQ(dds::GetErrorString(code), "ERROR NOT DEFINED") << code;
  for (int code = 0; code >= -100; --code) EXPECT_NE(dds::GetErrorString(code), nullptr);
}

TEST(DdsPacking, ByteAndBitFieldConversionsRoundAndClamp) {
  EXPECT_EQ(dds::UnitToByte(1.0f), 255);
  EXPECT_EQ(dds::UnitToByte(-0.1f), 0);
  EXPECT_EQ(dds::UnitToByte(0.998f), 254);
  EXPECT_EQ(dds::UnitToByte(1e30f), 255);
  EXPECT_EQ(dds::ClampUnsignedBits(1.0f, 5), 31);
  EXPECT_EQ(dds::ClampUnsignedBits(2.0f, 5), 31);
  EXPECT_EQ(dds::ClampSignedBits(-1.0f, 8), -127);
  EXPECT_EQ(dds::ClampSignedBits(-5.0f, 8), -127);
  EXPECT_EQ(dds::ClampSignedBits(0.5f, 8), 64);    // 63.5 rounds away from zero
  EXPECT_EQ(dds::ClampSignedBits(-0.5f, 8), -64);
  EXPECT_EQ(dds::ClampSigned8(1.0f), 127);
  EXPECT_FLOAT_EQ(dds::ByteToUnit(51), 0.2f);
}

TEST(DdsPacking, SharedExponentColourRoundTrips) {
  uint8_t rgbe[4];
  dds::EncodeRGBE(1.0f, 0.5f, 0.25f, rgbe);
  EXPECT_EQ(rgbe[3], 129);
  EXPECT_EQ(rgbe[0], 128);
  float r, g, b;
  dds::DecodeRGBE(rgbe, r, g, b);
  EXPECT_NEAR(r, 1.0f, 0.01f);
  EXPECT_NEAR(g, 0.5f, 0.01f);
  EXPECT_NEAR(b, 0.25f, 0.01f);
  const uint8_t black[4] = {200, 100, 50, 0};
  dds::DecodeRGBE(black, r, g, b);
  EXPECT_EQ(r + g + b, 0.0f);
  dds::EncodeRGBE(0.0f, 0.0f, 0.0f, rgbe);
  EXPECT_EQ(rgbe[0] | rgbe[1] | rgbe[2] | rgbe[3], 0);

  float se[4];
  dds::EncodeSharedExponent(3.0f, 1.5f, 0.0f, se);  // 3 = 0.75·2^2
  EXPECT_FLOAT_EQ(se[0], 0.75f);
  EXPECT_FLOAT_EQ(se[3], 130.0f / 255.0f);
  EXPECT_FLOAT_EQ(dds::SharedExponentOf(3.0f, 1.0f, 0.0f), 130.0f / 255.0f);
  EXPECT_EQ(dds::ExponentIndex4(3.0f, 0.0f, 0.0f), 10);
  EXPECT_EQ(dds::ExponentIndex4(1000.0f, 0.0f, 0.0f), 15);
  EXPECT_EQ(dds::ExponentIndex4(1e-5f, 0.0f, 0.0f), 0);
}

TEST(DdsPacking, CompressedLevelSizesAndWeightTypes) {
  EXPECT_EQ(dds::CompressedLevelSize(1, 1, 0), 8);
  EXPECT_EQ(dds::CompressedLevelSize(5, 3, 3), 32);
  EXPECT_EQ(dds::CompressedLevelSize(8, 8, 29), 64);
  EXPECT_EQ(dds::CompressedLevelSize(8, 8, 7), 0);

  dds::TextureCompressOptions o;
  o.weighttype = 1;
  dds::SetColorWeightsByType(o);
  EXPECT_EQ(o.weight_r + o.weight_g + o.weight_b, 3.0f);
  o.weighttype = 7;  // unknown types keep what the caller set
  dds::SetColorWeights(o, 2.0f, -1.0f, 0.5f);
  dds::SetColorWeightsByType(o);
  EXPECT_EQ(o.weight_r, 1.0f);
  EXPECT_EQ(o.weight_g, 0.0f);
  EXPECT_EQ(o.weight_b, 0.5f);
}

}  // namespace
