#include "dds/image/Filters.h"

#include <math.h>  // j1, the Bessel function of the first kind of order 1
#include <numbers>

#include <cmath>
#include <cstring>

#include "dds/Log.h"

namespace dds {
namespace {

struct MitchellParams {
  f64 p0, p2, p3, q0, q1, q2, q3;
};

struct KaiserParams {
  f64 a;
  f64 inverse_i0a;
};

MitchellParams g_mitchell;
KaiserParams g_kaiser;
int g_row_count = 0;

f64 BoxFilter(f64 x, const void*) { return (x >= -0.5 && x < 0.5) ? 1.0 : 0.0; }

f64 TriangleFilter(f64 x, const void*) {
  if (x < 0.0) x = -x;
  return x < 1.0 ? 1.0 - x : 0.0;
}

f64 QuadraticFilter(f64 x, const void*) {
  if (x < -1.5) return 0.0;
  if (x < -0.5) return 0.5 * (x + 1.5) * (x + 1.5);
  if (x < 0.5) return 0.75 - x * x;
  if (x < 1.5) return 0.5 * (x - 1.5) * (x - 1.5);
  return 0.0;
}

f64 CubicFilter(f64 x, const void*) {
  if (x < -2.0) return 0.0;
  if (x < -1.0) return (x + 2.0) * (x + 2.0) * (x + 2.0) / 6.0;
  if (x < 0.0) return ((-6.0 - 3.0 * x) * x * x + 4.0) / 6.0;
  if (x < 1.0) return ((3.0 * x - 6.0) * x * x + 4.0) / 6.0;
  if (x < 2.0) return (2.0 - x) * (2.0 - x) * (2.0 - x) / 6.0;
  return 0.0;
}

f64 CatromFilter(f64 x, const void*) {
  if (x < -2.0) return 0.0;
  if (x < -1.0) return 0.5 * (((5.0 + x) * x + 8.0) * x + 4.0);
  if (x < 0.0) return 0.5 * ((-5.0 - 3.0 * x) * x * x + 2.0);
  if (x < 1.0) return 0.5 * ((3.0 * x - 5.0) * x * x + 2.0);
  if (x < 2.0) return 0.5 * (((5.0 - x) * x - 8.0) * x + 4.0);
  return 0.0;
}

void MitchellInit(void* params) {
  const f64 b = 1.0 / 3.0;
  const f64 c = 1.0 / 3.0;
  MitchellParams& m = *static_cast<MitchellParams*>(params);
  m.p0 = (6.0 - 2.0 * b) / 6.0;
  m.p2 = (-18.0 + 12.0 * b + 6.0 * c) / 6.0;
  m.p3 = (12.0 - 9.0 * b - 6.0 * c) / 6.0;
  m.q0 = (8.0 * b + 24.0 * c) / 6.0;
  m.q1 = (-12.0 * b - 48.0 * c) / 6.0;
  m.q2 = (6.0 * b + 30.0 * c) / 6.0;
  m.q3 = (-b - 6.0 * c) / 6.0;
}

f64 MitchellFilter(f64 x, const void* params) {
  const MitchellParams& m = *static_cast<const MitchellParams*>(params);
  if (x < -2.0) return 0.0;
  if (x < -1.0) return m.q0 - x * (m.q1 - x * (m.q2 - m.q3 * x));
  if (x < 0.0) return m.p0 + x * x * (m.p2 - m.p3 * x);
  if (x < 1.0) return m.p0 + x * x * (m.p2 + m.p3 * x);
  if (x < 2.0) return m.q0 + x * (m.q1 + x * (m.q2 + m.q3 * x));
  return 0.0;
}

f64 GaussianFilter(f64 x, const void*) { return std::exp(-2.0 * x * x) * std::sqrt(2.0 / std::numbers::pi); }

f64 SincFilter(f64 x, const void*) {
  if (x == 0.0) return 1.0;
  const f64 px = std::numbers::pi * x;
  return std::sin(px) / px;
}

f64 BesselFilter(f64 x, const void*) {
  if (x == 0.0) return std::numbers::pi / 4.0;
  return ::j1(std::numbers::pi * x) / (2.0 * x);
}

f64 HanningFilter(f64 x, const void*) { return 0.5 + 0.5 * std::cos(std::numbers::pi * x); }
f64 HammingFilter(f64 x, const void*) { return 0.54 + 0.46 * std::cos(std::numbers::pi * x); }
f64 BlackmanFilter(f64 x, const void*) {
  return 0.42 + 0.5 * std::cos(std::numbers::pi * x) + 0.08 * std::cos(2.0 * std::numbers::pi * x);
}

void KaiserInit(void* params) {
  KaiserParams& k = *static_cast<KaiserParams*>(params);
  k.a = 6.5;
  k.inverse_i0a = 1.0 / BesselI0(k.a);
}

// Outside [-1, 1] the square root has no real value; a widened support must not give NaN weights.
f64 KaiserFilter(f64 x, const void* params) {
  const KaiserParams& k = *static_cast<const KaiserParams*>(params);
  const f64 t = 1.0 - x * x;
  if (t < 0.0) return 0.0;
  return BesselI0(k.a * std::sqrt(t)) * k.inverse_i0a;
}

// ORDER FILTER
FilterDesc g_filters[kFilterCount] = {
    {"point", BoxFilter, 0.0, 1.0, 0, 1, 1, nullptr, nullptr, 0},
    {"box", BoxFilter, 0.5, 1.0, 0, 1, 1, nullptr, nullptr, 0},
    {"triangle", TriangleFilter, 1.0, 1.0, 0, 1, 1, nullptr, nullptr, 0},
    {"quadratic", QuadraticFilter, 1.5, 1.0, 0, 0, 1, nullptr, nullptr, 0},
    {"cubic", CubicFilter, 2.0, 1.0, 0, 0, 1, nullptr, nullptr, 0},
    {"catrom", CatromFilter, 2.0, 1.0, 0, 1, 0, nullptr, nullptr, 0},
    {"mitchell", MitchellFilter, 2.0, 1.0, 0, 0, 0, MitchellInit, &g_mitchell, 0},
    {"gaussian", GaussianFilter, 1.25, 1.0, 0, 0, 1, nullptr, nullptr, 0},
    {"sinc", SincFilter, 4.0, 1.0, 1, 1, 0, nullptr, nullptr, 0},
    {"bessel", BesselFilter, 3.2383, 1.0, 1, 0, 0, nullptr, nullptr, 0},
    {"hanning", HanningFilter, 1.0, 1.0, 0, 1, 1, nullptr, nullptr, 0},
    {"hamming", HammingFilter, 1.0, 1.0, 0, 1, 1, nullptr, nullptr, 0},
    {"blackman", BlackmanFilter, 1.0, 1.0, 0, 1, 1, nullptr, nullptr, 0},
    {"kaiser", KaiserFilter, 1.0, 1.0, 0, 1, 1, KaiserInit, &g_kaiser, 0},
};

}  // namespace

f64 BesselI0(f64 x) {
  const f64 q = x * x / 4.0;
  f64 sum = 1.0;
  f64 t = q;
  for (int k = 2; t > 1e-7; ++k) {
    sum += t;
    t *= q / (static_cast<f64>(k) * k);
  }
  return sum;
}

void InitFilterTable() {
  for (FilterDesc& row : g_filters) {
    if (row.init != nullptr) row.init(row.params);
  }
  g_row_count = kFilterCount;
}

const FilterDesc* FindFilterByName(const char* name) {
  if (g_row_count == 0) InitFilterTable();
  if (name == nullptr) return nullptr;
  for (int i = 0; i < g_row_count; ++i) {
    if (std::strcmp(g_filters[i].name, name) == 0) return &g_filters[i];
  }
  return nullptr;
}

const FilterDesc* GetFilterByIndex(int index) {
  if (g_row_count == 0) InitFilterTable();
  if (index < 0 || index >= g_row_count) {
    Log("ERROR: resampling filter %d does not exist (0..%d)\n", index, g_row_count - 1);
    return nullptr;
  }
  return &g_filters[index];
}

}  // namespace dds
