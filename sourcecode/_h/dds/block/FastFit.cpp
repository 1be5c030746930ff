// Cheap range fits: the principal axis by power iteration, the points' extent along it, clipped
// to the colour cube and snapped to 5:6:5; and the min/max fit of an interpolated alpha block.
#include "dds/block/AlphaBlock.h"
#include "dds/block/CodecPath.h"
#include "dds/block/ColorBlock.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>

namespace dds {
namespace {

struct V3 {
  float x, y, z;
  float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Symmetric 3×3 matrix as its six distinct entries.
struct Sym {
  float xx, xy, xz, yy, yz, zz;
};

[[gnu::always_inline]] inline Sym Square(const Sym& m) {
  return {m.xx * m.xx + m.xy * m.xy + m.xz * m.xz, m.xx * m.xy + m.xy * m.yy + m.xz * m.yz,
          m.xx * m.xz + m.xy * m.yz + m.xz * m.zz, m.xy * m.xy + m.yy * m.yy + m.yz * m.yz,
          m.xy * m.xz + m.yy * m.yz + m.yz * m.zz, m.xz * m.xz + m.yz * m.yz + m.zz * m.zz};
}

// std::nearbyint in the default rounding mode (halves to even), without the library call that
// the x86-64 baseline needs for it.
inline int RoundHalfEven(float v) { return _mm_cvtss_si32(_mm_set_ss(v)); }

int Code(double v, int top) {
  return static_cast<int>(std::clamp(v, 0.0, 1.0) * top + 0.5);
}

// Palette-step maps: step along the segment from endpoint 0 → palette index.
constexpr int kThreeColorMap[3] = {0, 2, 1};
constexpr int kFourColorMap[4] = {0, 2, 3, 1};
constexpr int kAlphaMap[8] = {0, 2, 3, 4, 5, 6, 7, 1};

// Mean, principal axis (power iteration) and extent along it of the weighted points; false
// when the fit has to fall back to one colour.
bool FitAxis(int n, const V3* weighted, FastFitAxis& out) {
  V3 p[kMaxBlockPoints];
  V3 mean{0, 0, 0};
  for (int i = 0; i < n; ++i) mean = mean + weighted[i];
  mean = mean * (1.0f / static_cast<float>(n));
  Sym m{0, 0, 0, 0, 0, 0};
  for (int i = 0; i < n; ++i) {
    p[i] = weighted[i] - mean;
    m.xx += p[i].x * p[i].x;
    m.xy += p[i].x * p[i].y;
    m.xz += p[i].x * p[i].z;
    m.yy += p[i].y * p[i].y;
    m.yz += p[i].y * p[i].z;
    m.zz += p[i].z * p[i].z;
  }
  for (int round = 0; round < 9; ++round) {
    m = Square(Square(m));
    const float t = m.xx + m.yy + m.zz;
    if (t == 0.0f) return false;
    const float r = 1.0f / std::sqrt(t);
    const float s = r * 3.0f * r;
    m = {m.xx * s, m.xy * s, m.xz * s, m.yy * s, m.yz * s, m.zz * s};
  }
  int k = 0;
  float best = 0.0f;
  const float diag[3] = {m.xx, m.yy, m.zz};
  for (int i = 0; i < 3; ++i)
    if (diag[i] > best) {
      best = diag[i];
      k = i;
    }
  if (std::fabs(diag[k]) < 1.1920929e-7f) return false;
  const V3 columns[3] = {{m.xx, m.xy, m.xz}, {m.xy, m.yy, m.yz}, {m.xz, m.yz, m.zz}};
  const V3 axis = columns[k] * (1.0f / std::sqrt(diag[k]));
  const float s = Dot(axis, axis);
  if (s == 0.0f) return false;

  // Extent along the axis, held at the precision of τ + 128 as the comparison sees it.
  float qmin = 0.0f, qmax = 0.0f;
  for (int i = 0; i < n; ++i) {
    const float q = Dot(p[i], axis) / s + 128.0f;
    if (i == 0 || q < qmin) qmin = q;
    if (i == 0 || q > qmax) qmax = q;
  }
  out.mean[0] = mean.x;
  out.mean[1] = mean.y;
  out.mean[2] = mean.z;
  out.axis[0] = axis.x;
  out.axis[1] = axis.y;
  out.axis[2] = axis.z;
  out.qmin = qmin;
  out.qmax = qmax;
  return true;
}

void FastFitColor(BlockState& b, bool three, FastFitAxis* shared) {
  b.color_mode = three ? 3 : 4;
  const int n = b.count;
  if (n < 2) return SingleColorFallback(b);
  bool all_same = true;
  for (int i = 1; i < n && all_same; ++i)
    all_same = b.points[i][0] == b.points[i - 1][0] && b.points[i][1] == b.points[i - 1][1] &&
               b.points[i][2] == b.points[i - 1][2];
  if (all_same) return SingleColorFallback(b);

  const V3 w{static_cast<float>(b.weight_r), static_cast<float>(b.weight_g), static_cast<float>(b.weight_b)};
  V3 p[kMaxBlockPoints];
  for (int i = 0; i < n; ++i)
    p[i] = {static_cast<float>(b.points[i][0] * w.x), static_cast<float>(b.points[i][1] * w.y),
            static_cast<float>(b.points[i][2] * w.z)};

  if (three) {
    // Colours that drift by at most 1/256 per point count as one colour in this mode.
    bool close = true;
    for (int i = 1; i < n && close; ++i) {
      const V3 d = p[i] - p[i - 1];
      close = std::fabs(d.x) <= 0.00390625f && std::fabs(d.y) <= 0.00390625f && std::fabs(d.z) <= 0.00390625f;
    }
    if (close) return SingleColorFallback(b);
  }

  // Everything up to the extent along the axis is the same in both modes.
  FastFitAxis local;
  FastFitAxis& fit = shared ? *shared : local;
  if (fit.state == 0) fit.state = FitAxis(n, p, fit) ? 1 : 2;
  if (fit.state == 2) return SingleColorFallback(b);
  const V3 mean{fit.mean[0], fit.mean[1], fit.mean[2]};
  const V3 axis{fit.axis[0], fit.axis[1], fit.axis[2]};
  const float qmin = fit.qmin, qmax = fit.qmax;
  V3 a = mean + axis * (qmin - 128.0f);
  V3 e = mean + axis * (qmax - 128.0f);

  // Clip the segment to the weighted colour box, one bound at a time.
  for (int c = 0; c < 3; ++c) {
    for (int bound = 0; bound < 2; ++bound) {
      const float limit = bound == 0 ? 0.0f : w[c];
      const bool a_out = bound == 0 ? a[c] < limit : a[c] > limit;
      const bool e_out = bound == 0 ? e[c] < limit : e[c] > limit;
      if (a_out == e_out) continue;
      const float t = (limit - a[c]) / (e[c] - a[c]);
      const V3 hit = a + (e - a) * t;
      if (a_out)
        a = hit;
      else
        e = hit;
    }
  }

  // Snap to 5:6:5.
  const float top[3] = {31.0f, 63.0f, 31.0f};
  int ca[3], ce[3];
  // Nearly equal points can push the clipped ends to infinity and NaN; those snap to 0, never
  // reaching the int conversion.
  const auto unit = [](float x) { return x >= 0.0f ? (x <= 1.0f ? x : 1.0f) : 0.0f; };
  for (int c = 0; c < 3; ++c) {
    const float va = w[c] > 0.0f ? unit(a[c] / w[c]) * top[c] : 0.0f;
    const float ve = w[c] > 0.0f ? unit(e[c] / w[c]) * top[c] : 0.0f;
    ca[c] = RoundHalfEven(va);
    ce[c] = RoundHalfEven(ve);
    if (ca[c] == ce[c]) {
      ca[c] = static_cast<int>(std::floor(va));
      ce[c] = static_cast<int>(std::ceil(ve));
    }
  }
  const int pack_a = ca[0] * 2048 + ca[1] * 32 + ca[2];
  const int pack_e = ce[0] * 2048 + ce[1] * 32 + ce[2];
  const int* c0 = pack_e >= pack_a ? ce : ca;
  const int* c1 = pack_e >= pack_a ? ca : ce;
  const V3 u0{c0[0] / 31.0f, c0[1] / 63.0f, c0[2] / 31.0f};
  const V3 u1{c1[0] / 31.0f, c1[1] / 63.0f, c1[2] / 31.0f};
  b.red0 = static_cast<int>(u0.x * 31.0f + 0.5f);
  b.green0 = static_cast<int>(u0.y * 63.0f + 0.5f);
  b.blue0 = static_cast<int>(u0.z * 31.0f + 0.5f);
  b.red1 = static_cast<int>(u1.x * 31.0f + 0.5f);
  b.green1 = static_cast<int>(u1.y * 63.0f + 0.5f);
  b.blue1 = static_cast<int>(u1.z * 31.0f + 0.5f);
  const V3 e0{u0.x * w.x, u0.y * w.y, u0.z * w.z};
  const V3 e1{u1.x * w.x, u1.y * w.y, u1.z * w.z};

  const V3 d = e1 - e0;
  const float dd = Dot(d, d);
  if (dd == 0.0f) return SingleColorFallback(b);
  const float steps = three ? 2.0f : 3.0f;
  const int* map = three ? kThreeColorMap : kFourColorMap;
  int i = 0;
  if (!ScalarBlockCodec()) {
    // Four points at a time, each lane doing the scalar operations in their order.
    const __m128 e0x = _mm_set1_ps(e0.x), e0y = _mm_set1_ps(e0.y), e0z = _mm_set1_ps(e0.z);
    const __m128 dx = _mm_set1_ps(d.x), dy = _mm_set1_ps(d.y), dz = _mm_set1_ps(d.z);
    const __m128 vdd = _mm_set1_ps(dd), vsteps = _mm_set1_ps(steps);
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    for (; i + 4 <= n; i += 4) {
      const __m128 px = _mm_setr_ps(p[i].x, p[i + 1].x, p[i + 2].x, p[i + 3].x);
      const __m128 py = _mm_setr_ps(p[i].y, p[i + 1].y, p[i + 2].y, p[i + 3].y);
      const __m128 pz = _mm_setr_ps(p[i].z, p[i + 1].z, p[i + 2].z, p[i + 3].z);
      const __m128 dot =
          _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(px, e0x), dx), _mm_mul_ps(_mm_sub_ps(py, e0y), dy)),
                     _mm_mul_ps(_mm_sub_ps(pz, e0z), dz));
      // std::clamp's order: below 0 gives 0, above 1 gives 1, anything else itself.
      const __m128 t = _mm_min_ps(one, _mm_max_ps(zero, _mm_div_ps(dot, vdd)));
      alignas(16) int step[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(step), _mm_cvtps_epi32(_mm_mul_ps(t, vsteps)));
      for (int k = 0; k < 4; ++k) b.indices[i + k] = map[step[k]];
    }
  }
  for (; i < n; ++i) {
    const float t = std::clamp(Dot(p[i] - e0, d) / dd, 0.0f, 1.0f);
    const int step = RoundHalfEven(t * steps);
    b.indices[i] = map[step];
  }
}

}  // namespace

void SingleColorFallback(BlockState& b) {
  b.color_mode = 4;
  if (b.count < 1) {
    b.red0 = b.green0 = b.blue0 = b.red1 = b.green1 = b.blue1 = 0;
    return;
  }
  b.red0 = b.red1 = Code(b.points[0][0], 31);
  b.green0 = b.green1 = Code(b.points[0][1], 63);
  b.blue0 = b.blue1 = Code(b.points[0][2], 31);
  for (int i = 0; i < b.count; ++i) b.indices[i] = 0;
}

void FastFitThreeColor(BlockState& block) { FastFitColor(block, true, nullptr); }
void FastFitFourColor(BlockState& block) { FastFitColor(block, false, nullptr); }

void FastFitByMode(BlockState& block, int mode) {
  if (mode == 3)
    FastFitThreeColor(block);
  else
    FastFitFourColor(block);
}

void FastFitColorBlock(BlockState& block, int mode, FastFitAxis* shared) {
  switch (block.format) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 24: FastFitColor(block, mode == 3, shared); break;
    default:
      break;
  }
}

void FastFitAlphaBlock(AlphaBlockState& block) {
  const int n = block.count;
  if (n < 1) return;
  float lo = block.values[0], hi = block.values[0];
  for (int i = 1; i < n; ++i) {
    lo = std::min(lo, block.values[i]);
    hi = std::max(hi, block.values[i]);
  }
  block.alpha0 = std::clamp(RoundHalfEven(hi * 255.0f), 0, 255);
  block.alpha1 = std::clamp(RoundHalfEven(lo * 255.0f), 0, 255);
  if (block.alpha0 == block.alpha1) {
    for (int i = 0; i < n; ++i) block.indices[i] = 0;
    return;
  }
  for (int i = 0; i < n; ++i) {
    const float t = (block.values[i] - hi) / (lo - hi);
    const int step = std::clamp(static_cast<int>(t * 7.0f + 0.5f), 0, 7);
    block.indices[i] = kAlphaMap[step];
  }
}

}  // namespace dds
