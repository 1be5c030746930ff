// Continuous endpoints to 5:6:5: a search over the grid values just below and above every
// endpoint coordinate, repeated for other placements of the fitted colours in the palette.
#include "dds/block/CodecPath.h"
#include "dds/block/ColorBlock.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dds {
namespace {

constexpr int kBits[3] = {5, 6, 5};

int Widen(int v8, int bits) {
  const int code = v8 >> (8 - bits);
  return (code << (8 - bits)) | (code >> (2 * bits - 8));
}

// A placement: e0' = m00·e0 + m01·e1, e1' = m10·e0 + m11·e1, fitted with `size` colours.
struct Placement {
  int from_mode;
  int size;
  double m00, m01, m10, m11;
};

constexpr Placement kPlacements[] = {
    {2, 3, 2.0, -1.0, 0.0, 1.0},  {2, 3, 1.0, 0.0, -1.0, 2.0},
    {2, 4, 1.0, 0.0, 0.0, 1.0},   {2, 4, 1.0, 0.0, -2.0, 3.0},  {2, 4, 3.0, -2.0, 0.0, 1.0},
    {2, 4, 2.0, -1.0, -1.0, 2.0}, {2, 4, 1.5, -0.5, 0.0, 1.0},  {2, 4, 1.0, 0.0, -0.5, 1.5},
    {3, 4, 1.5, -0.5, 0.0, 1.0},  {3, 4, 1.0, 0.0, -0.5, 1.5},
};

}  // namespace

double FitColorEndpoints(int palette_size, int n, const double* colours,
                         const double* frequencies, const double weights[3],
                         const double endpoints[6], int codes[6], int* indices) {
  const int entries = palette_size == 3 ? 3 : 4;
  // Per channel: the low and high grid value of each endpoint, as 8-bit values.
  int low[2][3], high[2][3];
  for (int q = 0; q < 2; ++q)
    for (int c = 0; c < 3; ++c) {
      const int step = 1 << (8 - kBits[c]);
      const double v = weights[c] == 0.0 ? 0.0 : endpoints[3 * q + c] / weights[c] * 255.0;
      const double fl = std::floor(v);
      int g = fl < 0.0 ? 0 : (fl >= 256.0 ? 256 - step : static_cast<int>(fl));
      g &= ~(step - 1);
      if (Widen(g, kBits[c]) > v && g - step >= 0) g -= step;
      low[q][c] = Widen(g, kBits[c]);
      high[q][c] = g + step < 256 ? Widen(g + step, kBits[c]) : low[q][c];
    }

  // Palettes in weighted space, per channel and combination k (bit 1: endpoint 0 high, bit 0:
  // endpoint 1 high).
  int values[3][4][2];
  double pal[3][4][4];
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 4; ++k) {
      const int c0 = (k & 2) ? high[0][c] : low[0][c];
      const int c1 = (k & 1) ? high[1][c] : low[1][c];
      values[c][k][0] = c0;
      values[c][k][1] = c1;
      int p[4] = {c0, c1, 0, 0};
      if (entries == 3) {
        p[2] = (c0 + c1) / 2;
      } else {
        p[2] = (2 * c0 + c1 + 1) / 3;
        p[3] = (c0 + 2 * c1 + 1) / 3;
      }
      for (int j = 0; j < 4; ++j) pal[c][k][j] = p[j] * weights[c] / 255.0;
    }

  // Distance tables, packed for the actual colour count: dist(c, k, i, j) = f_i·(u_ic − p_ckj)².
  static_assert(kMaxBlockPoints == 512, "tables sized for the block limit");
  double dist[3 * 4 * kMaxBlockPoints * 4];
  auto at = [n](int c, int k, int i) { return ((c * 4 + k) * n + i) * 4; };
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 4; ++k)
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < 4; ++j) {
          const double d = colours[3 * i + c] - pal[c][k][j];
          dist[at(c, k, i) + j] = frequencies[i] * d * d;
        }

  // Red plus green once per pair of combinations; each of the 64 totals then adds blue.
  double rg[16 * kMaxBlockPoints * 4];
  for (int kr = 0; kr < 4; ++kr)
    for (int kg = 0; kg < 4; ++kg) {
      double* out = rg + (kr * 4 + kg) * n * 4;
      const double* dr = dist + at(0, kr, 0);
      const double* dg = dist + at(1, kg, 0);
      for (int x = 0; x < n * 4; ++x) out[x] = dr[x] + dg[x];
    }
  int best_z = 0;
  double best_total = 0.0;
  double totals[64];
  if (!ScalarBlockCodec()) {
    // Blue's distances regrouped by colour and entry, the four combinations of blue side by side,
    // so that two totals take one SSE2 lane each; every lane adds and takes minima in the scalar
    // code's order, so every total is the same number.
    alignas(16) double blue[kMaxBlockPoints][4][4];
    for (int kb = 0; kb < 4; ++kb)
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < 4; ++j) blue[i][j][kb] = dist[at(2, kb, i) + j];
    for (int krg = 0; krg < 16; ++krg) {
      const double* a = rg + krg * n * 4;
      __m128d t01 = _mm_setzero_pd(), t23 = _mm_setzero_pd();
      for (int i = 0; i < n; ++i, a += 4) {
        __m128d e01[4], e23[4];
        for (int j = 0; j < 4; ++j) {
          const __m128d aj = _mm_set1_pd(a[j]);
          e01[j] = _mm_add_pd(aj, _mm_load_pd(&blue[i][j][0]));
          e23[j] = _mm_add_pd(aj, _mm_load_pd(&blue[i][j][2]));
        }
        // Distances are never negative zero or NaN, so _mm_min_pd picks what std::min picks.
        const __m128d m01 = _mm_min_pd(e01[0], e01[1]), n01 = _mm_min_pd(e23[0], e23[1]);
        const __m128d m23 = entries == 4 ? _mm_min_pd(e01[2], e01[3]) : e01[2];
        const __m128d n23 = entries == 4 ? _mm_min_pd(e23[2], e23[3]) : e23[2];
        t01 = _mm_add_pd(t01, _mm_min_pd(m01, m23));
        t23 = _mm_add_pd(t23, _mm_min_pd(n01, n23));
      }
      double lanes[4];
      _mm_storeu_pd(lanes, t01);
      _mm_storeu_pd(lanes + 2, t23);
      // rg holds red and green at kr·4 + kg; z counts kr + 4·kg + 16·kb.
      for (int kb = 0; kb < 4; ++kb) totals[krg / 4 + 4 * (krg % 4) + 16 * kb] = lanes[kb];
    }
  }
  for (int z = 0; z < 64; ++z) {
    if (!ScalarBlockCodec()) {
      if (z == 0 || totals[z] < best_total) {
        best_total = totals[z];
        best_z = z;
      }
      continue;
    }
    const int kr = z & 3, kg = (z >> 2) & 3, kb = z >> 4;
    const double* a = rg + (kr * 4 + kg) * n * 4;
    const double* b = dist + at(2, kb, 0);
    double total = 0.0;
    if (entries == 4) {
      for (int i = 0; i < n; ++i, a += 4, b += 4) {
        const double m01 = std::min(a[0] + b[0], a[1] + b[1]);
        const double m23 = std::min(a[2] + b[2], a[3] + b[3]);
        total += std::min(m01, m23);
      }
    } else {
      for (int i = 0; i < n; ++i, a += 4, b += 4)
        total += std::min(std::min(a[0] + b[0], a[1] + b[1]), a[2] + b[2]);
    }
    if (z == 0 || total < best_total) {
      best_total = total;
      best_z = z;
    }
  }

  const int k[3] = {best_z & 3, (best_z >> 2) & 3, best_z >> 4};
  for (int c = 0; c < 3; ++c) {
    codes[c] = values[c][k[c]][0] >> (8 - kBits[c]);
    codes[3 + c] = values[c][k[c]][1] >> (8 - kBits[c]);
  }
  double error = 0.0;
  for (int i = 0; i < n; ++i) {
    int best = 0;
    double best_d = 0.0;
    for (int j = 0; j < entries; ++j) {
      const double d =
          dist[at(0, k[0], i) + j] + dist[at(1, k[1], i) + j] + dist[at(2, k[2], i) + j];
      if (j == 0 || d < best_d) {
        best = j;
        best_d = d;
      }
    }
    indices[i] = best;
    error += best_d;
  }
  for (int i = n; i < kMaxBlockPoints; ++i) indices[i] = -1;
  return error;
}

double QuantizeEndpoints(const CompressorContext&, int& color_mode, int mode, int n,
                         const double* colours, const double* frequencies,
                         const double weights[3], const double endpoints[6], int codes[6],
                         int* indices) {
  int buffers[2][kMaxBlockPoints];
  int buffer_codes[2][6];
  int best = 0;
  int best_size = color_mode == 4 ? 4 : 3;
  double best_error = FitColorEndpoints(best_size, n, colours, frequencies, weights, endpoints,
                                        buffer_codes[0], buffers[0]);
  for (const Placement& p : kPlacements) {
    if (p.from_mode != color_mode) continue;
    if (p.size == 4 && mode != 4) continue;
    double moved[6];
    for (int c = 0; c < 3; ++c) {
      moved[c] = p.m00 * endpoints[c] + p.m01 * endpoints[3 + c];
      moved[3 + c] = p.m10 * endpoints[c] + p.m11 * endpoints[3 + c];
    }
    const int spare = 1 - best;
    const double error = FitColorEndpoints(p.size, n, colours, frequencies, weights, moved,
                                           buffer_codes[spare], buffers[spare]);
    if (error < best_error) {
      best_error = error;
      best = spare;
      best_size = p.size;
    }
  }
  color_mode = best_size;
  std::memcpy(codes, buffer_codes[best], sizeof(int) * 6);
  std::memcpy(indices, buffers[best], sizeof(int) * n);
  return best_error;
}

}  // namespace dds
