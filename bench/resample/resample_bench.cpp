// Full mip chains (every level made directly from level 0) with our resampler against
// stb_image_resize on the same float RGBA data. Besides the time, each of our runs reports the
// RMSE against stb over interior pixels, leaving out a border where the two differ on purpose:
// we renormalise the kernel cut by the picture's edge, stb clamps the edge pixels.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "dds/image/Filters.h"
#include "dds/image/FloatImage.h"
#include "dds/image/Resample.h"

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>

namespace {

using dds::FloatImage;
using dds::u32;

// A smooth picture with detail and noise, so every filter has something to do.
const FloatImage& Source(u32 side) {
  static FloatImage images[2];
  FloatImage& image = images[side == 1024 ? 0 : 1];
  if (image.width == side) return image;
  image.Resize(side, side);
  std::mt19937 rng(side);
  std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
  for (u32 y = 0; y < side; ++y) {
    for (u32 x = 0; x < side; ++x) {
      float* p = image.Pixel(x, y);
      const float u = static_cast<float>(x) / side, v = static_cast<float>(y) / side;
      p[0] = 0.5f + 0.4f * std::sin(40.0f * u * v) + noise(rng);
      p[1] = 0.5f + 0.4f * std::cos(25.0f * u + 7.0f * v) + noise(rng);
      p[2] = u * v + noise(rng);
      p[3] = ((x / 16 + y / 16) % 2 ? 1.0f : 0.25f) + noise(rng);
    }
  }
  return image;
}

std::vector<float> Packed(const FloatImage& image) {
  std::vector<float> out(static_cast<size_t>(image.width) * image.height * 4);
  for (u32 y = 0; y < image.height; ++y) {
    std::memcpy(&out[static_cast<size_t>(y) * image.width * 4], image.Row(y), 16 * image.width);
  }
  return out;
}

struct Pairing {
  const char* ours;
  stbir_filter stb;
  bool comparable;  // stb has the same kernel
};

const Pairing kPairings[] = {
    {"triangle", STBIR_FILTER_TRIANGLE, true},
    {"cubic", STBIR_FILTER_CUBICBSPLINE, true},
    {"mitchell", STBIR_FILTER_MITCHELL, true},
    {"catrom", STBIR_FILTER_CATMULLROM, true},
    {"kaiser", STBIR_FILTER_TRIANGLE, false},  // stb has no Kaiser window; timed against triangle
};

void StbLevel(const std::vector<float>& top, u32 side, std::vector<float>& out, u32 w, u32 h,
              stbir_filter filter) {
  out.resize(static_cast<size_t>(w) * h * 4);
  stbir_resize_float_generic(top.data(), static_cast<int>(side), static_cast<int>(side), 0,
                             out.data(), static_cast<int>(w), static_cast<int>(h), 0, 4, -1, 0,
                             STBIR_EDGE_CLAMP, filter, STBIR_COLORSPACE_LINEAR, nullptr);
}

void OurChain(benchmark::State& state) {
  const Pairing& pairing = kPairings[state.range(0)];
  const u32 side = static_cast<u32>(state.range(1));
  const dds::FilterDesc& filter = *dds::FindFilterByName(pairing.ours);
  const u32 count = dds::FullChainCount(side, side);
  dds::tVector<FloatImage> levels;
  levels.resize(1);
  levels[0] = Source(side);
  for (auto _ : state) {
    dds::ResampleChain(levels, count, 1, filter, 0.0f, false);
    benchmark::DoNotOptimize(levels[count - 1].Row(0));
  }
  state.SetLabel(pairing.ours);
  if (!pairing.comparable) return;

  // Interior RMSE against stb, and the largest single difference.
  const std::vector<float> top = Packed(Source(side));
  const int border = static_cast<int>(std::ceil(filter.support)) + 1;
  double squares = 0.0, worst = 0.0;
  size_t n = 0;
  std::vector<float> ref;
  for (u32 i = 1; i < count; ++i) {
    const FloatImage& level = levels[i];
    StbLevel(top, side, ref, level.width, level.height, pairing.stb);
    for (int y = border; y < static_cast<int>(level.height) - border; ++y) {
      for (int x = border; x < static_cast<int>(level.width) - border; ++x) {
        for (int c = 0; c < 4; ++c) {
          const double d = level.Pixel(x, y)[c] - ref[(static_cast<size_t>(y) * level.width + x) * 4 + c];
          squares += d * d;
          worst = std::max(worst, std::fabs(d));
          ++n;
        }
      }
    }
  }
  state.counters["rmse"] = n ? std::sqrt(squares / n) : 0.0;
  state.counters["maxdiff"] = worst;
}

void StbChain(benchmark::State& state) {
  const Pairing& pairing = kPairings[state.range(0)];
  const u32 side = static_cast<u32>(state.range(1));
  const std::vector<float> top = Packed(Source(side));
  const u32 count = dds::FullChainCount(side, side);
  std::vector<std::vector<float>> levels(count);
  for (auto _ : state) {
    u32 w = side;
    for (u32 i = 1; i < count; ++i) {
      w /= 2;
      StbLevel(top, side, levels[i], w, w, pairing.stb);
    }
    benchmark::DoNotOptimize(levels[count - 1].data());
  }
  state.SetLabel(pairing.comparable ? pairing.ours : "triangle (for kaiser)");
}

void Arguments(benchmark::internal::Benchmark* b) {
  for (int f = 0; f < 5; ++f) {
    for (int side : {1024, 2048}) b->Args({f, side});
  }
  b->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

void StbArguments(benchmark::internal::Benchmark* b) {
  for (int f = 0; f < 4; ++f) {
    for (int side : {1024, 2048}) b->Args({f, side});
  }
  b->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

BENCHMARK(OurChain)->Apply(Arguments);
BENCHMARK(StbChain)->Apply(StbArguments);

}  // namespace

BENCHMARK_MAIN();
