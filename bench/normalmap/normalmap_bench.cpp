// Heights from normal maps (50 sweeps per multigrid step, as the level pipeline runs it) at
// 512² and 1024², reporting how well the source surface comes back; normal-map generation per
// derivative kernel and the unsharp mask for scale.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "dds/image/FloatImage.h"
#include "dds/normalmap/HeightFromNormals.h"
#include "dds/normalmap/NormalMapConvert.h"
#include "dds/image/Sharpen.h"

namespace {

using dds::FloatImage;
using dds::u32;

double Surface(double u, double v) {
  return 20.0 * std::exp(-((u - 0.4) * (u - 0.4) + (v - 0.55) * (v - 0.55)) * 8.0) +
         6.0 * std::sin(3.0 * u + 1.0) * std::cos(2.0 * v) + 0.5 * std::sin(25.0 * u * v);
}

// Normals of Surface over a side × side picture; the heights go to `heights`.
FloatImage Normals(u32 side, std::vector<double>& heights) {
  FloatImage image(side, side);
  heights.assign(size_t{side} * side, 0.0);
  for (u32 y = 0; y < side; ++y)
    for (u32 x = 0; x < side; ++x) {
      const double e = 1e-4, u = double(x) / side, v = double(y) / side;
      const double a = (Surface(u + e, v) - Surface(u - e, v)) / (2 * e) / side;
      const double b = (Surface(u, v + e) - Surface(u, v - e)) / (2 * e) / side;
      const double n = 1.0 / std::sqrt(a * a + b * b + 1.0);
      float* p = image.Pixel(x, y);
      p[0] = float(-a * n);
      p[1] = float(-b * n);
      p[2] = float(n);
      p[3] = 1.0f;
      heights[size_t{y} * side + x] = Surface(u, v);
    }
  return image;
}

double Correlation(const std::vector<double>& a, const FloatImage& image) {
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  const double n = double(a.size());
  for (u32 y = 0; y < image.height; ++y)
    for (u32 x = 0; x < image.width; ++x) {
      const double p = a[size_t{y} * image.width + x], q = image.Pixel(x, y)[0];
      sa += p;
      sb += q;
      saa += p * p;
      sbb += q * q;
      sab += p * q;
    }
  return (sab / n - sa / n * sb / n) / std::sqrt((saa / n - sa * sa / n / n) * (sbb / n - sb * sb / n / n));
}

void BM_HeightFromNormals(benchmark::State& state) {
  const u32 side = u32(state.range(0));
  std::vector<double> heights;
  const FloatImage source = Normals(side, heights);
  FloatImage work;
  for (auto _ : state) {
    state.PauseTiming();
    work = source;
    state.ResumeTiming();
    dds::HeightFromNormals(work, false, false, false, 50, 1.0f);
    benchmark::DoNotOptimize(work.rows);
  }
  state.counters["correlation"] = Correlation(heights, work);
  state.counters["Mpixel/s"] =
      benchmark::Counter(double(side) * side / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HeightFromNormals)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_NormalMap(benchmark::State& state) {
  const int kernel = int(state.range(0));
  std::vector<double> heights;
  FloatImage source = Normals(512, heights);
  for (u32 y = 0; y < 512; ++y)
    for (u32 x = 0; x < 512; ++x) source.Pixel(x, y)[3] = float(heights[size_t{y} * 512 + x] / 30.0);
  FloatImage work;
  for (auto _ : state) {
    state.PauseTiming();
    work = source;
    state.ResumeTiming();
    dds::ConvertImage(kernel, 1009, 1034, 4.0f, 0, 1, 0, 0, 0, 0, 0, work);
    benchmark::DoNotOptimize(work.rows);
  }
}
BENCHMARK(BM_NormalMap)->DenseRange(1040, 1045)->Unit(benchmark::kMillisecond);

void BM_UnsharpMask(benchmark::State& state) {
  std::vector<double> heights;
  const FloatImage source = Normals(512, heights);
  dds::UnsharpSettings settings;
  settings.radius = float(state.range(0));
  FloatImage work;
  for (auto _ : state) {
    state.PauseTiming();
    work = source;
    state.ResumeTiming();
    dds::ApplyUnsharpMask(settings, work);
    benchmark::DoNotOptimize(work.rows);
  }
}
BENCHMARK(BM_UnsharpMask)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
