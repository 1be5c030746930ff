// The full colour fit: a least-squares split of the block's distinct colours, ordered along an
// axis, into three or four consecutive groups, refined until the order stops changing, then
// quantised to 5:6:5; blocks of one colour take precomputed tables. Also the block error.
#include "dds/block/CodecPath.h"
#include "dds/block/ColorBlock.h"
#include "dds/block/SingleColorTables.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dds {
namespace {

using Vec3 = double[3];

double Clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// ---- axes and orders

// Principal axis by power iteration with repeated squaring of the scatter matrix.
void DominantAxis(int n, const Vec3* points, double axis[3]) {
  double m[3][3] = {};
  for (int i = 0; i < n; ++i)
    for (int r = 0; r < 3; ++r)
      for (int c = r; c < 3; ++c) m[r][c] += points[i][r] * points[i][c];
  m[1][0] = m[0][1];
  m[2][0] = m[0][2];
  m[2][1] = m[1][2];
  double prev[3][3];
  for (int round = 0; round < 3; ++round) {
    // Trace 3.5 keeps the largest eigenvalue above 1 and the 256th power in double range.
    const double s = 3.5 / (m[0][0] + m[1][1] + m[2][2]);
    for (auto& row : m)
      for (double& v : row) v *= s;
    for (int k = 0; k < 8; ++k) {
      std::memcpy(prev, m, sizeof m);
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
          m[r][c] = prev[r][0] * prev[0][c] + prev[r][1] * prev[1][c] + prev[r][2] * prev[2][c];
    }
  }
  int k;
  if (m[0][0] <= m[1][1])
    k = m[2][2] < m[1][1] ? 1 : 2;
  else
    k = m[2][2] < m[0][0] ? 0 : 2;
  const double len = std::sqrt(m[k][k]);
  for (int c = 0; c < 3; ++c) axis[c] = prev[c][k] / len;
}

// Direction between the first farthest pair of points.
void FarthestPairAxis(int n, const Vec3* points, double axis[3]) {
  double best = -1.0;
  int bi = 0, bj = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) {
      double d = 0.0;
      for (int c = 0; c < 3; ++c) d += (points[i][c] - points[j][c]) * (points[i][c] - points[j][c]);
      if (d > best) {
        best = d;
        bi = i;
        bj = j;
      }
    }
  const double len = std::sqrt(best);
  for (int c = 0; c < 3; ++c) axis[c] = len > 0.0 ? (points[bi][c] - points[bj][c]) / len : 0.0;
}

// Ascending by projection; tie rule 0 puts the lower point number first, rule 1 the higher.
void SortByProjection(int n, const Vec3* points, const double axis[3], int* order, int tie_rule) {
  double proj[kMaxBlockPoints];
  for (int i = 0; i < n; ++i) {
    proj[i] = points[i][0] * axis[0] + points[i][1] * axis[1] + points[i][2] * axis[2];
    order[i] = tie_rule == 0 ? i : n - 1 - i;
  }
  for (int i = 1; i < n; ++i) {  // stable insertion sort keeps the initial tie order
    const int v = order[i];
    int j = i;
    for (; j > 0 && proj[order[j - 1]] > proj[v]; --j) order[j] = order[j - 1];
    order[j] = v;
  }
}

bool IsSameOrder(int n, const int* a, const int* b) {
  bool same = true, reversed = true;
  for (int i = 0; i < n && (same || reversed); ++i) {
    same = same && a[i] == b[i];
    reversed = reversed && a[i] == b[n - 1 - i];
  }
  return same || reversed;
}

// ---- the least-squares split

struct SplitResult {
  double num = 0.0, den = 1.0;  // score as a fraction, compared by cross-multiplication
  double ends[6] = {};
  double axis[3] = {};
  int levels = 0;
};

// The result of an unclamped split from its winning state: the line's ends, axis and levels.
SplitResult SplitFromState(int n, double num, double den, double t1, double d, const double* sv, const int* b) {
  SplitResult best;
  best.num = num;
  best.den = den;
  const int b1 = b[0], b2 = b[1], b3 = b[2];
  const int m = b3 < n ? 3 : (b3 > b2 ? 2 : (b2 > b1 ? 1 : 0));
  for (int c = 0; c < 3; ++c) {
    best.axis[c] = sv[c];
    if (m == 0) {
      best.ends[c] = best.ends[3 + c] = 0.0;
    } else {
      best.ends[c] = -t1 * sv[c] / d;
      best.ends[3 + c] = (m - t1) * sv[c] / d;
    }
  }
  const int used = (b2 > b1) + (b3 > b2) + (n > b3);
  best.levels = used == 1 ? 1 : m;
  return best;
}

// Visits every split of `order` into consecutive levels 0..limit and keeps the one with the
// least squared error of its line fit; with `clamped`, the line's ends are held in the box.
// Only the score is worked out per split; the ends are derived once, for the winner.
template <bool kClamped>
SplitResult FitSplits(int limit, int n, const Vec3* sums, const double* freq, const int* order,
                      const double* lo, const double* hi) {
  struct State {
    double t1 = 0.0, d = 0.0;
    double s[3] = {0.0, 0.0, 0.0};
  };
  auto move_up = [&](State& st, int element, int from_level) {
    const double w = freq[element];
    st.d += w * ((2 * from_level + 1) - 2.0 * st.t1 - w);
    st.t1 += w;
    for (int c = 0; c < 3; ++c) st.s[c] += sums[element][c];
  };
  // Clamped ends of one channel and the channel's added error (before the division by m²).
  auto clamp_channel = [&](const State& st, int m, int c, double& end0, double& end1) {
    const double t2 = st.d + st.t1 * st.t1;
    const double a = m * m - 2.0 * m * st.t1 + t2;
    const double e0 = -st.t1 * st.s[c] / st.d;
    const double e1 = (m - st.t1) * st.s[c] / st.d;
    const double d0 = std::clamp(e0, lo[c], hi[c]) - e0;
    const double d1 = std::clamp(e1 + d0 * (t2 - m * st.t1) / t2, lo[c], hi[c]) - e1;
    const double d0b = std::clamp(e0 + d1 * (t2 - m * st.t1) / a, lo[c], hi[c]) - e0;
    end0 = e0 + d0b;
    end1 = e1 + d1;
    return a * d0b * d0b + 2.0 * (m * st.t1 - t2) * d0b * d1 + t2 * d1 * d1;
  };

  double best_num = 0.0, best_den = 1.0;
  State best_state;
  int best_b[3] = {n, n, n};
  auto consider = [&](const State& st, int b1, int b2, int b3) {
    const int m = b3 < n ? 3 : (b3 > b2 ? 2 : (b2 > b1 ? 1 : 0));
    double num, den;
    if (m == 0) {
      num = den = 0.0;  // the all-level-0 start: 0 over 0, replaced by the next state
    } else {
      num = -(st.s[0] * st.s[0] + st.s[1] * st.s[1] + st.s[2] * st.s[2]);
      den = st.d;
      if constexpr (kClamped) {
        // The clamped score can only add to the unclamped one (the constant part is the same),
        // so a split whose unclamped score already loses cannot win.
        if (num * best_den > best_num * den) return;
        double q = 0.0, e0, e1;
        for (int c = 0; c < 3; ++c) q += clamp_channel(st, m, c, e0, e1);
        num += st.d * q / (m * m);
      }
    }
    if (num * best_den <= best_num * den) {
      best_num = num;
      best_den = den;
      best_state = st;
      best_b[0] = b1;
      best_b[1] = b2;
      best_b[2] = b3;
    }
  };

  State s1;
  for (int b1 = n; b1 >= 1; --b1) {
    if (b1 < n) move_up(s1, order[b1], 0);
    State s2 = s1;
    for (int b2 = n; b2 >= b1; --b2) {
      if (b2 < n) move_up(s2, order[b2], 1);
      if (limit < 3) {
        consider(s2, b1, b2, n);
        continue;
      }
      State s3 = s2;
      for (int b3 = n; b3 >= b2; --b3) {
        if (b3 < n) move_up(s3, order[b3], 2);
        consider(s3, b1, b2, b3);
      }
    }
  }

  if constexpr (!kClamped)
    return SplitFromState(n, best_num, best_den, best_state.t1, best_state.d, best_state.s, best_b);
  SplitResult best;
  best.num = best_num;
  best.den = best_den;
  const State& st = best_state;
  const int b1 = best_b[0], b2 = best_b[1], b3 = best_b[2];
  const int m = b3 < n ? 3 : (b3 > b2 ? 2 : (b2 > b1 ? 1 : 0));
  for (int c = 0; c < 3; ++c) {
    best.axis[c] = st.s[c];
    if (m == 0) {
      best.ends[c] = best.ends[3 + c] = 0.0;
    } else if constexpr (kClamped) {
      clamp_channel(st, m, c, best.ends[c], best.ends[3 + c]);
    } else {
      best.ends[c] = -st.t1 * st.s[c] / st.d;
      best.ends[3 + c] = (m - st.t1) * st.s[c] / st.d;
    }
  }
  const int used = (b2 > b1) + (b3 > b2) + (n > b3);
  best.levels = used == 1 ? 1 : m;
  return best;
}

// The four-level split with SSE2: the inner loops of two neighbouring b2 run side by side in the
// two lanes (they move the same elements up, from different starting states), every lane doing
// the scalar code's operations in its order, so every score is the same number. The scores are
// then scanned in the scalar visiting order; a pair of states is looked at one by one only when
// one of them passes the "≤ best" test against the best of that moment, so each state meets the
// same best as in the scalar code and the same split wins.
SplitResult FitFourLevelsSse2(int n, const Vec3* sums, const double* freq, const int* order) {
  double best_num = 0.0, best_den = 0.0;  // the all-level-0 start state, 0 over 0
  int best_b[3] = {n, n, n};
  // Scores of one b2's inner loop, by b3 = n − k; padded for the pairwise scan.
  alignas(16) double num[2][kMaxBlockPoints + 2], den[2][kMaxBlockPoints + 2];

  auto scan = [&](const double* nums, const double* dens, int count, int b1, int b2, int first) {
    __m128d bn = _mm_set1_pd(best_num), bd = _mm_set1_pd(best_den);
    for (int k = first; k < count;) {
      const __m128d pass = _mm_cmple_pd(_mm_mul_pd(_mm_loadu_pd(nums + k), bd), _mm_mul_pd(bn, _mm_loadu_pd(dens + k)));
      int mask = _mm_movemask_pd(pass);
      if (k + 1 >= count) mask &= 1;
      if (mask == 0) {
        k += 2;
        continue;
      }
      if (!(mask & 1)) ++k;
      best_num = nums[k];
      best_den = dens[k];
      best_b[0] = b1;
      best_b[1] = b2;
      best_b[2] = n - k;
      bn = _mm_set1_pd(best_num);
      bd = _mm_set1_pd(best_den);
      ++k;
    }
  };

  const __m128d five = _mm_set1_pd(5.0), two = _mm_set1_pd(2.0), sign = _mm_set1_pd(-0.0);
  double s1t1 = 0.0, s1d = 0.0, s1s[3] = {0.0, 0.0, 0.0};
  auto move_up = [&](double& t1, double& d, double* sv, int element, int from_level) {
    const double w = freq[element];
    d += w * ((2 * from_level + 1) - 2.0 * t1 - w);
    t1 += w;
    for (int c = 0; c < 3; ++c) sv[c] += sums[element][c];
  };
  for (int b1 = n; b1 >= 1; --b1) {
    if (b1 < n) move_up(s1t1, s1d, s1s, order[b1], 0);
    double t1 = s1t1, d = s1d, sv[3] = {s1s[0], s1s[1], s1s[2]};  // s2 for the current b2
    for (int b2 = n; b2 >= b1; b2 -= 2) {
      // Lane 0: b2, lane 1: b2 − 1 (when that is still ≥ b1).
      if (b2 < n) move_up(t1, d, sv, order[b2], 1);
      const bool pair = b2 - 1 >= b1;
      double t1b = t1, db = d, svb[3] = {sv[0], sv[1], sv[2]};
      if (pair) move_up(t1b, db, svb, order[b2 - 1], 1);
      __m128d vt1 = _mm_set_pd(t1b, t1), vd = _mm_set_pd(db, d);
      __m128d vs[3];
      for (int c = 0; c < 3; ++c) vs[c] = _mm_set_pd(svb[c], sv[c]);
      const int count0 = n - b2 + 1, count1 = pair ? count0 + 1 : 0;
      for (int k = 0; k < (pair ? count1 : count0); ++k) {
        if (k > 0) {
          const int e = order[n - k];
          const __m128d w = _mm_set1_pd(freq[e]);
          vd = _mm_add_pd(vd, _mm_mul_pd(w, _mm_sub_pd(_mm_sub_pd(five, _mm_mul_pd(two, vt1)), w)));
          vt1 = _mm_add_pd(vt1, w);
          for (int c = 0; c < 3; ++c) vs[c] = _mm_add_pd(vs[c], _mm_set1_pd(sums[e][c]));
        }
        const __m128d q =
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(vs[0], vs[0]), _mm_mul_pd(vs[1], vs[1])), _mm_mul_pd(vs[2], vs[2]));
        const __m128d v = _mm_xor_pd(q, sign);
        _mm_storel_pd(&num[0][k], v);
        _mm_storeh_pd(&num[1][k], v);
        _mm_storel_pd(&den[0][k], vd);
        _mm_storeh_pd(&den[1][k], vd);
      }
      // The start state (every element on level 0) was taken as the first best above.
      scan(num[0], den[0], count0, b1, b2, b1 == n && b2 == n ? 1 : 0);
      if (pair) {
        scan(num[1], den[1], count1, b1, b2 - 1, 0);
        t1 = t1b;
        d = db;
        for (int c = 0; c < 3; ++c) sv[c] = svb[c];
      }
    }
  }

  // The winner's state, rebuilt by the scalar code's own steps.
  double t1 = 0.0, d = 0.0, sv[3] = {0.0, 0.0, 0.0};
  for (int b = n - 1; b >= best_b[0]; --b) move_up(t1, d, sv, order[b], 0);
  for (int b = n - 1; b >= best_b[1]; --b) move_up(t1, d, sv, order[b], 1);
  for (int b = n - 1; b >= best_b[2]; --b) move_up(t1, d, sv, order[b], 2);
  return SplitFromState(n, best_num, best_den, t1, d, sv, best_b);
}

SplitResult FitClusters(int limit, int n, const Vec3* sums, const double* freq, const int* order) {
  if (limit == 3 && !ScalarBlockCodec()) return FitFourLevelsSse2(n, sums, freq, order);
  return FitSplits<false>(limit, n, sums, freq, order, nullptr, nullptr);
}

SplitResult FitClustersClamped(int limit, int n, const Vec3* sums, const double* freq,
                               const int* order, const double* lo, const double* hi) {
  return FitSplits<true>(limit, n, sums, freq, order, lo, hi);
}

// ---- the cluster fit

struct Pass {
  SplitResult fit;
  bool fitted = false;
  int final_slot = 0;
};

struct Ring {
  int orders[16][kMaxBlockPoints];
  int h = 0;
  bool wrapped = false;

  bool Repeats(int n) const {
    for (int s = h - 1; s >= 0; --s)
      if (IsSameOrder(n, orders[h], orders[s])) return true;
    if (wrapped)
      for (int s = h + 1; s < 16; ++s)
        if (IsSameOrder(n, orders[h], orders[s])) return true;
    return false;
  }
};

// Fits, re-sorts along the fitted axis and stops when the order repeats or the budget ends.
template <bool kClamped>
void RunPass(Pass& pass, Ring& ring, int budget, bool farthest_first, int limit, int n,
             const Vec3* colours, const Vec3* sums, const double* freq, const double* lo,
             const double* hi, double axis[3], int* last_fitted, int pass_number) {
  bool first = true;
  for (;;) {
    if (first && farthest_first) {
      FarthestPairAxis(n, colours, axis);
    } else {
      pass.fit = kClamped ? FitClustersClamped(limit, n, sums, freq, ring.orders[ring.h], lo, hi)
                          : FitClusters(limit, n, sums, freq, ring.orders[ring.h]);
      pass.fitted = true;
      std::memcpy(axis, pass.fit.axis, sizeof(double) * 3);
      *last_fitted = pass_number;
    }
    first = false;
    ring.h = (ring.h + 1) % 16;
    if (ring.h == 0) ring.wrapped = true;
    SortByProjection(n, colours, axis, ring.orders[ring.h], 0);
    bool repeat = ring.Repeats(n);
    if (repeat && budget != 0) {
      SortByProjection(n, colours, axis, ring.orders[ring.h], 1);
      repeat = ring.Repeats(n);
    }
    if (repeat || budget == 0) break;
    --budget;
  }
  pass.final_slot = ring.h;
}

bool OutsideBox(const double ends[6], const double* lo, const double* hi) {
  for (int q = 0; q < 2; ++q)
    for (int c = 0; c < 3; ++c)
      if (ends[3 * q + c] < lo[c] || ends[3 * q + c] > hi[c]) return true;
  return false;
}

}  // namespace

void CompressDXTBlock(const CompressorContext& context, BlockState& block, int mode) {
  const int count = block.count;
  for (int i = 0; i < count; ++i)
    for (double& v : block.points[i]) v = Clamp01(v);
  block.weight_r = Clamp01(block.weight_r);
  block.weight_g = Clamp01(block.weight_g);
  block.weight_b = Clamp01(block.weight_b);
  if (count <= 0) return;
  if (block.color_policy == 1) block.color_mode = 4;

  const double w[3] = {block.weight_r, block.weight_g, block.weight_b};
  Vec3 x[kMaxBlockPoints];
  double sum[3] = {0.0, 0.0, 0.0};
  bool all_equal = true;
  for (int i = 0; i < count; ++i) {
    for (int c = 0; c < 3; ++c) {
      x[i][c] = block.points[i][c] * w[c];
      sum[c] += x[i][c];
      all_equal = all_equal && block.points[i][c] == block.points[0][c];
    }
  }
  int codes[6];
  auto store_codes = [&] {
    block.red0 = codes[0];
    block.green0 = codes[1];
    block.blue0 = codes[2];
    block.red1 = codes[3];
    block.green1 = codes[4];
    block.blue1 = codes[5];
  };
  auto single_color = [&] {
    int m = mode;
    EncodeSingleColor(block, m, count, &x[0][0], codes, block.indices);
    store_codes();
    block.color_mode = m;
  };
  if (all_equal) return single_color();

  double mean[3], lo[3], hi[3];
  for (int c = 0; c < 3; ++c) {
    mean[c] = sum[c] / count;
    lo[c] = -mean[c];
    hi[c] = w[c] - mean[c];
  }
  Vec3 centred[kMaxBlockPoints];
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) centred[i][c] = x[i][c] - mean[c];

  // Distinct weighted colours in order of first occurrence, with frequencies.
  Vec3 u[kMaxBlockPoints];
  double freq[kMaxBlockPoints];
  int of_point[kMaxBlockPoints];
  int n = 0;
  for (int i = 0; i < count; ++i) {
    int k = 0;
    while (k < n && !(u[k][0] == x[i][0] && u[k][1] == x[i][1] && u[k][2] == x[i][2])) ++k;
    if (k == n) {
      std::memcpy(u[n], x[i], sizeof(Vec3));
      freq[n] = 0.0;
      ++n;
    }
    freq[k] += 1.0;
    of_point[i] = k;
  }
  Vec3 sums[kMaxBlockPoints];
  for (int k = 0; k < n; ++k) {
    freq[k] /= count;
    for (int c = 0; c < 3; ++c) sums[k][c] = freq[k] * (u[k][c] - mean[c]);
  }
  if (n == 1) return single_color();

  int palette_of[kMaxBlockPoints];
  double ends[6];
  int color_mode;
  if (n == 2) {
    color_mode = block.color_policy == 1 ? 4 : 2;
    std::memcpy(ends, u[0], sizeof(Vec3));
    std::memcpy(ends + 3, u[1], sizeof(Vec3));
  } else {
    double axis[3];
    DominantAxis(count, centred, axis);
    Ring ring;
    SortByProjection(n, u, axis, ring.orders[0], 0);
    const int limit = mode - 1;
    Pass passes[2];
    int last_fitted = -1;
    RunPass<false>(passes[0], ring, 16, false, limit, n, u, sums, freq, lo, hi, axis,
                   &last_fitted, 0);
    RunPass<false>(passes[1], ring, 16, true, limit, n, u, sums, freq, lo, hi, axis,
                   &last_fitted, 1);
    Pass& chosen =
        last_fitted == 1 && passes[1].fit.num * passes[0].fit.den <=
                                passes[0].fit.num * passes[1].fit.den
            ? passes[1]
            : passes[0];
    if (OutsideBox(chosen.fit.ends, lo, hi)) {
      // The line overshoots the colour cube: refit with its ends held inside.
      std::memcpy(ring.orders[0], ring.orders[chosen.final_slot], sizeof(int) * n);
      ring.h = 0;
      ring.wrapped = false;
      Pass refit;
      int ignored = -1;
      RunPass<true>(refit, ring, 8, false, limit, n, u, sums, freq, lo, hi, axis, &ignored, 0);
      chosen.fit = refit.fit;
    }
    for (int q = 0; q < 2; ++q)
      for (int c = 0; c < 3; ++c) ends[3 * q + c] = chosen.fit.ends[3 * q + c] + mean[c];
    color_mode = block.color_policy == 1 ? 4 : chosen.fit.levels + 1;
  }
  QuantizeEndpoints(context, color_mode, mode, n, &u[0][0], freq, w, ends, codes, palette_of);
  block.color_mode = color_mode;
  store_codes();
  for (int i = 0; i < count; ++i) block.indices[i] = palette_of[of_point[i]];
}

double EncodeSingleColor(BlockState& block, int& mode, int count, const double* x,
                         int endpoints[6], int* indices) {
  const double w[3] = {block.weight_r, block.weight_g, block.weight_b};
  auto byte_of = [](double v) { return static_cast<int>(Clamp01(v) * 255.0 + 0.5); };

  // A mode-3 call must come back with three colours (its block may hold transparent pixels),
  // so only calls that allow four colours take the grey rows.
  bool grey = mode != 3;
  for (int i = 0; i < count && grey; ++i) {
    const int r = byte_of(block.points[i][0]);
    grey = r == byte_of(block.points[i][1]) && r == byte_of(block.points[i][2]);
  }
  if (grey) {
    const GreyRow& row = GreyTableRow(block.color_policy == 1, byte_of(block.points[0][0]));
    for (int k = 0; k < 6; ++k) endpoints[k] = row.v[k];
    mode = row.v[6];
    for (int i = 0; i < count; ++i) indices[i] = row.v[7];
    return 0.0;
  }

  constexpr int kBits[3] = {5, 6, 5};
  double totals[3] = {0.0, 0.0, 0.0};
  int chosen_value[3][3] = {};  // [rule][channel] 8-bit value of the winning entry, −1: none
  const int last_rule = mode - 2;
  for (int rule = 0; rule <= last_rule; ++rule) {
    for (int c = 0; c < 3; ++c) {
      if (w[c] == 0.0) {
        chosen_value[rule][c] = -1;
        continue;
      }
      const double v = x[c] * 255.0 / w[c];
      const int u = std::clamp(static_cast<int>(std::floor(v + 0.5)), 0, 255);
      auto valid = [&](int value) { return SingleColorTableEntry(value, c, rule).valid != 0; };
      int up = u;
      if (!(valid(u) && v <= u)) {
        up = std::min(u + 1, 255);
        while (!valid(up)) ++up;
      }
      int down = u;
      if (!(valid(u) && v >= u)) {
        down = std::max(u - 1, 0);
        while (!valid(down)) --down;
      }
      auto error_of = [&](int value) {
        double e = 0.0;
        for (int i = 0; i < count; ++i) {
          const double d = value * w[c] - x[3 * i + c] * 255.0;
          e += d * d;
        }
        return e;
      };
      const double eu = error_of(up), ed = error_of(down);
      const bool take_up = eu < ed || (eu == ed && (u & 1) != 0);
      chosen_value[rule][c] = take_up ? up : down;
      totals[rule] += take_up ? eu : ed;
    }
  }
  int rule;
  if (mode == 4 && block.color_policy == 1)
    rule = totals[2] < totals[0] ? 2 : 0;
  else if (mode == 4)
    rule = totals[0] <= totals[1] && totals[0] <= totals[2] ? 0 : (totals[1] <= totals[2] ? 1 : 2);
  else
    rule = totals[1] < totals[0] ? 1 : 0;
  for (int c = 0; c < 3; ++c) {
    const int value = chosen_value[rule][c];
    if (value < 0) {
      endpoints[c] = endpoints[3 + c] = 0;
      continue;
    }
    const SingleColorEntry& e = SingleColorTableEntry(value, c, rule);
    endpoints[c] = e.a >> (8 - kBits[c]);
    endpoints[3 + c] = e.b >> (8 - kBits[c]);
  }
  for (int i = 0; i < count; ++i) indices[i] = rule + 1;
  if (rule != 0) mode = rule + 2;
  return totals[rule];
}

namespace {

double ComputeBlockErrorScalar(BlockState& block) {
  if (block.count < 1) return 0.0;
  const int c0[3] = {(block.red0 << 3) | (block.red0 >> 2), (block.green0 << 2) | (block.green0 >> 4),
                     (block.blue0 << 3) | (block.blue0 >> 2)};
  const int c1[3] = {(block.red1 << 3) | (block.red1 >> 2), (block.green1 << 2) | (block.green1 >> 4),
                     (block.blue1 << 3) | (block.blue1 >> 2)};
  double palette[4][3];
  int entries = 4;
  for (int c = 0; c < 3; ++c) {
    palette[0][c] = c0[c];
    palette[1][c] = c1[c];
    if (block.color_mode == 3) {
      palette[2][c] = (c0[c] + c1[c]) / 2;
      palette[3][c] = 0.0;
    } else {
      palette[2][c] = (2 * c0[c] + c1[c]) / 3;
      palette[3][c] = (c0[c] + 2 * c1[c]) / 3;
    }
  }
  // The fourth three-colour code decodes transparent: an opaque point never takes it, whatever
  // the format, so images without alpha keep their black pixels opaque in every decoder.
  if (block.color_mode == 3) entries = 3;
  const double w[3] = {block.weight_r, block.weight_g, block.weight_b};
  double total = 0.0;
  for (int i = 0; i < block.count; ++i) {
    if (block.indices[i] == -1) continue;
    double x[3];
    for (int c = 0; c < 3; ++c) x[c] = block.points[i][c] * 255.0;
    int best = 0;
    double best_d = 0.0;
    for (int j = 0; j < entries; ++j) {
      double d = 0.0;
      for (int c = 0; c < 3; ++c) {
        const double e = (x[c] - palette[j][c]) * w[c];
        d += e * e;
      }
      if (j == 0 || d < best_d) {
        best = j;
        best_d = d;
      }
    }
    block.indices[i] = best;
    total += best_d;
  }
  return total;
}

// The same sums with the four palette entries in two SSE2 registers: every lane does the scalar
// code's operations in the scalar code's order, so every distance is the same number.
double ComputeBlockErrorSse2(BlockState& block) {
  if (block.count < 1) return 0.0;
  const int c0[3] = {(block.red0 << 3) | (block.red0 >> 2), (block.green0 << 2) | (block.green0 >> 4),
                     (block.blue0 << 3) | (block.blue0 >> 2)};
  const int c1[3] = {(block.red1 << 3) | (block.red1 >> 2), (block.green1 << 2) | (block.green1 >> 4),
                     (block.blue1 << 3) | (block.blue1 >> 2)};
  const bool three = block.color_mode == 3;
  __m128d pal01[3], pal23[3], w[3];
  const double weights[3] = {block.weight_r, block.weight_g, block.weight_b};
  for (int c = 0; c < 3; ++c) {
    const double p2 = three ? (c0[c] + c1[c]) / 2 : (2 * c0[c] + c1[c]) / 3;
    const double p3 = three ? 0.0 : (c0[c] + 2 * c1[c]) / 3;
    pal01[c] = _mm_set_pd(c1[c], c0[c]);
    pal23[c] = _mm_set_pd(p3, p2);
    w[c] = _mm_set1_pd(weights[c]);
  }
  const __m128d k255 = _mm_set1_pd(255.0);
  double total = 0.0;
  for (int i = 0; i < block.count; ++i) {
    if (block.indices[i] == -1) continue;
    __m128d d01 = _mm_setzero_pd(), d23 = _mm_setzero_pd();
    for (int c = 0; c < 3; ++c) {
      const __m128d x = _mm_mul_pd(_mm_set1_pd(block.points[i][c]), k255);
      const __m128d e01 = _mm_mul_pd(_mm_sub_pd(x, pal01[c]), w[c]);
      const __m128d e23 = _mm_mul_pd(_mm_sub_pd(x, pal23[c]), w[c]);
      d01 = _mm_add_pd(d01, _mm_mul_pd(e01, e01));
      d23 = _mm_add_pd(d23, _mm_mul_pd(e23, e23));
    }
    // The first entry holding the least distance is the one the scalar "<" scan keeps.
    if (three) d23 = _mm_unpacklo_pd(d23, d23);
    const __m128d m2 = _mm_min_pd(d01, d23);
    const __m128d m = _mm_min_sd(m2, _mm_unpackhi_pd(m2, m2));
    const __m128d all = _mm_unpacklo_pd(m, m);
    const int hits = _mm_movemask_pd(_mm_cmpeq_pd(d01, all)) | (_mm_movemask_pd(_mm_cmpeq_pd(d23, all)) << 2);
    block.indices[i] = __builtin_ctz(static_cast<unsigned>(hits));
    total += _mm_cvtsd_f64(m);
  }
  return total;
}

}  // namespace

double ComputeBlockError(BlockState& block) {
  return ScalarBlockCodec() ? ComputeBlockErrorScalar(block) : ComputeBlockErrorSse2(block);
}

}  // namespace dds
