// Normal maps end to end: an analytic height field through the options record (or a profile)
// and the whole pipeline into a DDS file, read back by an independent parser and decoded, the
// normals compared with the analytic ones for every derivative kernel.
#include "dds/CompressImage.h"
#include "dds/block/DxtDecoder.h"
#include "dds/file/Profile.h"
#include "dds/TextureCompressOptions.h"
#include "ddsfile_reader.h"
#include "ddsfile_util.h"
#include "normalmap_test_util.h"

#include <gtest/gtest.h>
#include <numbers>

#include <cmath>
#include <cstring>
#include <string>

using namespace ddsfile_test;
using namespace normalmap_test;

namespace {

constexpr dds::u32 kSide = 128;
constexpr float kScale = 10.0f;

// Response of each kernel to a unit ramp, by hand from the weight tables: the plain kernels
// measure the slope itself, the normalised wider ones a multiple of it.
struct Kernel {
  int code;
  double gain_x, gain_y;
  bool two_component;
};
const Kernel kKernels[] = {
    {1040, 1.0, 1.0, false},
    {1041, 1.0, 1.0, false},
    {1042, 4.6285714 / 3.7285714, 5.1285714 / 3.9785714, false},
    {1043, 248.0 / 138.0, 248.0 / 138.0, false},
    {1044, 680.0 / 308.0, 680.0 / 308.0, false},
    {1045, 1.0, 1.0, true},
};

DdsFile RunPipeline(dds::TextureCompressOptions& o, const dds::FloatImage& level) {
  dds::tVector<dds::FloatImage> levels(1);
  levels[0] = level;
  Capture c;
  o.user_data = &c;
  EXPECT_EQ(dds::CompressPrepared(levels, o, CaptureCallback, nullptr), 0);
  DdsFile f;
  std::string why;
  EXPECT_TRUE(ParseDds(c.File(), f, why)) << why;
  return f;
}

void NormalMapOptions(dds::TextureCompressOptions& o, int kernel, int format) {
  o.normal_map_conversion = 1;
  o.normalmap_filter = kernel;
  o.normalmap_cnv = 1009;
  o.normalmap_scale = kScale;
  o.normalmap_bwrap = 1;  // the field is one period of a tile
  o.texture_format = format;
  o.mip_map_type = 30;
}

struct Errors {
  double max_component = 0.0, mean_angle_deg = 0.0;
};

// Compares decoded normals (x, y, z per pixel) of level 0 with the analytic normals.
template <typename Get>
Errors Compare(const Kernel& k, Get get) {
  const WaveField field{double(kSide), double(kSide)};
  Errors e;
  for (dds::u32 y = 0; y < kSide; ++y)
    for (dds::u32 x = 0; x < kSide; ++x) {
      double want[3];
      NormalOf(kScale * k.gain_x * field.SlopeX(x, y), kScale * k.gain_y * field.SlopeY(x, y), want);
      double got[3];
      get(x, y, got);
      const int channels = k.two_component ? 2 : 3;
      double dot = 0.0, len = 0.0;
      for (int c = 0; c < channels; ++c) {
        e.max_component = std::max(e.max_component, std::fabs(got[c] - want[c]));
        dot += got[c] * want[c];
        len += got[c] * got[c];
      }
      if (!k.two_component)
        e.mean_angle_deg += std::acos(std::min(1.0, dot / std::sqrt(len))) * 180.0 / std::numbers::pi;
    }
  e.mean_angle_deg /= double(kSide) * kSide;
  return e;
}

dds::FloatImage Field() {
  const WaveField field{double(kSide), double(kSide)};
  return HeightPicture(kSide, kSide, [&](double x, double y) { return field.Height(x, y); });
}

}  // namespace

// Float output keeps the signed components, so what is measured is the kernels' own accuracy.
TEST(NormalMapPipeline, FloatLevelsMatchTheAnalyticNormalsForEveryKernel) {
  for (const Kernel& k : kKernels) {
    dds::TextureCompressOptions o;
    NormalMapOptions(o, k.code, 18);
    const DdsFile f = RunPipeline(o, Field());
    ASSERT_EQ(f.levels.size(), 8u) << k.code;
    const std::vector<uint8_t>& level = f.levels[0];
    const Errors e = Compare(k, [&](dds::u32 x, dds::u32 y, double n[3]) {
      for (int c = 0; c < 3; ++c) {
        float v;
        std::memcpy(&v, &level[16 * (y * kSide + x) + 4 * c], 4);
        n[c] = v;
      }
      if (k.two_component) {
        EXPECT_EQ(n[2], 0.0);
      }
    });
    EXPECT_LT(e.max_component, 0.005) << k.code;
    if (!k.two_component) {
      EXPECT_LT(e.mean_angle_deg, 0.1) << k.code;
    }
  }
}

// Block-compressed: the decoded bytes map back by 2·v/255 − 1; block error is added.
TEST(NormalMapPipeline, DecodedDxtNormalsMatchTheAnalyticNormalsForEveryKernel) {
  for (int format : {0, 3}) {
    for (const Kernel& k : kKernels) {
      dds::TextureCompressOptions o;
      NormalMapOptions(o, k.code, format);
      o.mip_map_type = 32;  // level 0 is what is compared
      o.quality = 68;
      const DdsFile f = RunPipeline(o, Field());
      ASSERT_EQ(f.fourcc_text, format == 0 ? "DXT1" : "DXT5");
      std::vector<uint8_t> rgba(kSide * kSide * 4);
      ASSERT_TRUE(dds::DecodeLevel(format, f.levels[0].data(), f.levels[0].size(), kSide, kSide,
                                   rgba.data()));
      const Errors e = Compare(k, [&](dds::u32 x, dds::u32 y, double n[3]) {
        for (int c = 0; c < 3; ++c) n[c] = rgba[4 * (y * kSide + x) + c] / 255.0 * 2.0 - 1.0;
      });
      EXPECT_LT(e.max_component, 0.08) << k.code << " format " << format;
      if (!k.two_component) {
        EXPECT_LT(e.mean_angle_deg, 1.0) << k.code << " format " << format;
      }
    }
  }
}

// Every level of the chain down to 1×1 is a normal map too: finite and of unit length, however
// far the kernel reaches past the level's edges.
TEST(NormalMapPipeline, SmallestLevelsHoldUnitNormals) {
  for (const Kernel& k : kKernels) {
    if (k.two_component) continue;
    for (int wrap : {0, 1}) {
      dds::TextureCompressOptions o;
      NormalMapOptions(o, k.code, 18);
      o.normalmap_bwrap = static_cast<dds::u8>(wrap);
      const DdsFile f = RunPipeline(o, Field());
      ASSERT_EQ(f.levels.size(), 8u);
      for (size_t i = 0; i < f.levels.size(); ++i) {
        const std::vector<uint8_t>& level = f.levels[i];
        for (size_t p = 0; p + 16 <= level.size(); p += 16) {
          float n[4];
          std::memcpy(n, &level[p], 16);
          const double len = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
          ASSERT_NEAR(len, 1.0, 1e-5) << k.code << " level " << i << " wrap " << wrap;
          EXPECT_GT(n[2], 0.0f);
        }
      }
    }
  }
}

// The same conversion asked for by a profile, on an 8-bit grey picture whose colour is the
// height (code 1010): the normals of the decoded DXT5 file point the way the slopes say.
TEST(NormalMapPipeline, ProfileEnablesTheConversionOnColourHeights) {
  const char profile[] =
      "g_normal_map_conversion 1\n"
      "g_normalmap_filter 1041\n"
      "g_normalmap_cnv 1010\n"
      "g_normalmap_scale 10\n"
      "g_normalmap_bwrap 1\n"
      "g_texture_format 3\n";
  dds::CompressContext context;
  dds::TextureCompressOptions o;
  dds::LoadProfileText(context, o, profile, sizeof profile - 1, "normals");
  ASSERT_EQ(o.normal_map_conversion, 1);

  const WaveField field{double(kSide), double(kSide)};
  dds::Image image;
  image.width = image.height = int(kSide);
  image.pixels.resize(kSide * kSide);
  for (dds::u32 y = 0; y < kSide; ++y)
    for (dds::u32 x = 0; x < kSide; ++x) {
      const int g = int(field.Height(x, y) * 255.0 + 0.5);
      image.pixels[y * kSide + x] = Pack(g, g, g, 255);
    }
  Capture c;
  ASSERT_EQ(Compress(image, o, c), 0);
  DdsFile f;
  std::string why;
  ASSERT_TRUE(ParseDds(c.File(), f, why)) << why;
  ASSERT_EQ(f.fourcc_text, "DXT5");
  std::vector<uint8_t> rgba(kSide * kSide * 4);
  ASSERT_TRUE(dds::DecodeLevel(3, f.levels[0].data(), f.levels[0].size(), kSide, kSide, rgba.data()));
  // Bytes quantise the height to 1/255, which the derivative scales up: a looser bound.
  const Errors e = Compare(kKernels[1], [&](dds::u32 x, dds::u32 y, double n[3]) {
    for (int ch = 0; ch < 3; ++ch) n[ch] = rgba[4 * (y * kSide + x) + ch] / 255.0 * 2.0 - 1.0;
  });
  EXPECT_LT(e.mean_angle_deg, 1.5);
  // Alpha mode 1034 of the profile defaults leaves the height in A.
  EXPECT_NEAR(rgba[3] / 255.0, field.Height(0, 0), 0.03);
}

// Heights from a normal map through the options: code 1018 writes the grey height.
TEST(NormalMapPipeline, HeightFromNormalsThroughTheOptions) {
  dds::FloatImage normals(64, 64);
  std::vector<double> want, got;
  for (dds::u32 y = 0; y < 64; ++y)
    for (dds::u32 x = 0; x < 64; ++x) {
      const double e = 1e-4, u = x / 64.0, v = y / 64.0;
      const double a = (Bump(u + e, v) - Bump(u - e, v)) / (2 * e) / 64.0;
      const double b = (Bump(u, v + e) - Bump(u, v - e)) / (2 * e) / 64.0;
      double n[3];
      NormalOf(a, b, n);
      float* p = normals.Pixel(x, y);
      for (int c = 0; c < 3; ++c) p[c] = float(n[c] * 0.5 + 0.5);  // stored range, as a file holds it
      p[3] = 1.0f;
      want.push_back(Bump(u, v));
    }
  // The stored range is undone by the input mapping, as a caller reading a file would.
  dds::TextureCompressOptions o;
  o.inscale_r = o.inscale_g = o.inscale_b = 2.0f;
  o.inbias_r = o.inbias_g = o.inbias_b = -1.0f;
  o.normal_map_conversion = 1;
  o.normalmap_cnv = 1018;
  o.texture_format = 18;
  o.mip_map_type = 32;
  const DdsFile f = RunPipeline(o, normals);
  ASSERT_EQ(f.levels.size(), 1u);
  for (dds::u32 i = 0; i < 64 * 64; ++i) {
    float v;
    std::memcpy(&v, &f.levels[0][16 * i], 4);
    got.push_back(v);
  }
  EXPECT_GT(Correlation(want, got), 0.99);
}
