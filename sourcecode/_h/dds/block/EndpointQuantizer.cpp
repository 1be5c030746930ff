// Continuous endpoints to 5:6:5: a search over the grid values just below and above every
// endpoint coordinate, repeated for other placements of the fitted colours in the palette.
#include "dds/block/CodecPath.h"
#include "dds/block/ColorBlock.h"
#include "dds/block/SimdKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

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

// One channel's term of a colour's distance to a palette entry: f·(u − p)².
double Term(const double* colours, const double* frequencies, const double pal[3][4][4], int i, int c, int k, int j) {
  const double d = colours[3 * i + c] - pal[c][k][j];
  return frequencies[i] * d * d;
}

// The scalar grid totals (the reference the kernels match): totals[kr + 4·kg + 16·kb] sums, over
// the colours, the least over the entries of (red + green) + blue.
void GridTotals(int n, int entries, const double* colours, const double* frequencies, const double pal[3][4][4],
                double totals[64]) {
  // Distance tables, packed for the actual colour count: dist(c, k, i, j).
  std::vector<double> dist(static_cast<size_t>(3 * 4 * n * 4)), rg(static_cast<size_t>(16 * n * 4));
  auto at = [n](int c, int k, int i) { return static_cast<size_t>(((c * 4 + k) * n + i) * 4); };
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 4; ++k)
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < 4; ++j) dist[at(c, k, i) + static_cast<size_t>(j)] = Term(colours, frequencies, pal, i, c, k, j);
  // Red plus green once per pair of combinations; each of the 64 totals then adds blue.
  for (int kr = 0; kr < 4; ++kr)
    for (int kg = 0; kg < 4; ++kg) {
      double* out = &rg[static_cast<size_t>((kr * 4 + kg) * n * 4)];
      const double* dr = &dist[at(0, kr, 0)];
      const double* dg = &dist[at(1, kg, 0)];
      for (int x = 0; x < n * 4; ++x) out[x] = dr[x] + dg[x];
    }
  for (int z = 0; z < 64; ++z) {
    const int kr = z & 3, kg = (z >> 2) & 3, kb = z >> 4;
    const double* a = &rg[static_cast<size_t>((kr * 4 + kg) * n * 4)];
    const double* b = &dist[at(2, kb, 0)];
    double total = 0.0;
    if (entries == 4) {
      for (int i = 0; i < n; ++i, a += 4, b += 4) {
        const double m01 = std::min(a[0] + b[0], a[1] + b[1]);
        const double m23 = std::min(a[2] + b[2], a[3] + b[3]);
        total += std::min(m01, m23);
      }
    } else {
      for (int i = 0; i < n; ++i, a += 4, b += 4) total += std::min(std::min(a[0] + b[0], a[1] + b[1]), a[2] + b[2]);
    }
    totals[z] = total;
  }
}

// The total of one combination z = kr + 4·kg + 16·kb, added as GridTotals adds it.
double GridTotal(int n, int entries, const double* colours, const double* frequencies, const double pal[3][4][4], int z) {
  const int k[3] = {z & 3, (z >> 2) & 3, z >> 4};
  double total = 0.0;
  for (int i = 0; i < n; ++i) {
    double e[4];
    for (int j = 0; j < entries; ++j)
      e[j] = (Term(colours, frequencies, pal, i, 0, k[0], j) + Term(colours, frequencies, pal, i, 1, k[1], j)) +
             Term(colours, frequencies, pal, i, 2, k[2], j);
    total += entries == 4 ? std::min(std::min(e[0], e[1]), std::min(e[2], e[3])) : std::min(std::min(e[0], e[1]), e[2]);
  }
  return total;
}

// The grid's first least total, as the scalar scan finds it, from the kernel's estimates: only
// the combinations it names can hold the least exact total, so only those are added up exactly.
// −1 when the estimates are not finite.
int BestOfNear(const st_BlockKernels& kernels, int n, int entries, const double* colours, const double* frequencies,
               const double pal[3][4][4]) {
  int near[64];
  const int count = kernels.endpoint_near(n, entries, colours, frequencies, pal, near);
  if (count <= 1) return count == 1 ? near[0] : -1;
  int best_z = -1;
  double best_total = 0.0;
  for (int i = 0; i < count; ++i) {
    const double total = GridTotal(n, entries, colours, frequencies, pal, near[i]);
    if (best_z < 0 || total < best_total) {
      best_z = near[i];
      best_total = total;
    }
  }
  return best_z;
}

// v·weight/255 for every byte v: the weights stay the same through a whole image, so the
// divisions are done once per weight rather than for every palette of every fit.
const double* ScaledBytes(int channel, double weight) {
  struct st_Scaled {
    uint64_t weight_bits = ~0ull;  // compared as bits: −0 and 0 scale differently
    double value[256];
  };
  thread_local st_Scaled cache[3];
  st_Scaled& c = cache[channel];
  uint64_t bits;
  std::memcpy(&bits, &weight, sizeof bits);
  if (c.weight_bits != bits || weight != weight) {
    c.weight_bits = bits;
    for (int v = 0; v < 256; ++v) c.value[v] = v * weight / 255.0;
  }
  return c.value;
}

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
  for (int c = 0; c < 3; ++c) {
    const double* scaled = ScaledBytes(c, weights[c]);
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
      for (int j = 0; j < 4; ++j) pal[c][k][j] = scaled[p[j]];
    }
  }

  int best_z = -1;
  const st_BlockKernels* kernels = BlockKernels();
  if (kernels) best_z = BestOfNear(*kernels, n, entries, colours, frequencies, pal);
  if (best_z < 0) {
    double totals[64];
    GridTotals(n, entries, colours, frequencies, pal, totals);
    best_z = 0;
    for (int z = 1; z < 64; ++z)
      if (totals[z] < totals[best_z]) best_z = z;
  }

  const int k[3] = {best_z & 3, (best_z >> 2) & 3, best_z >> 4};
  for (int c = 0; c < 3; ++c) {
    codes[c] = values[c][k[c]][0] >> (8 - kBits[c]);
    codes[3 + c] = values[c][k[c]][1] >> (8 - kBits[c]);
  }
  if (kernels) {
    const double* const chosen[3] = {pal[0][k[0]], pal[1][k[1]], pal[2][k[2]]};
    const double error = kernels->endpoint_indices(n, entries, colours, frequencies, chosen, indices);
    for (int i = n; i < kMaxBlockPoints; ++i) indices[i] = -1;
    return error;
  }
  double error = 0.0;
  for (int i = 0; i < n; ++i) {
    int best = 0;
    double best_d = 0.0;
    for (int j = 0; j < entries; ++j) {
      const double d = (Term(colours, frequencies, pal, i, 0, k[0], j) + Term(colours, frequencies, pal, i, 1, k[1], j)) +
                       Term(colours, frequencies, pal, i, 2, k[2], j);
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
