// The full colour fit: a least-squares split of the block's distinct colours, ordered along an
// axis, into three or four consecutive groups, refined until the order stops changing, then
// quantised to 5:6:5; blocks of one colour take precomputed tables. Also the block error.
#include "dds/block/CodecPath.h"
#include "dds/block/ColorBlock.h"
#include "dds/block/SimdKernels.h"
#include "dds/block/SingleColorTables.h"

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
  if (const st_BlockKernels* kernels = BlockKernels()) return kernels->dominant_axis(n, points, axis);
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
  if (const st_BlockKernels* kernels = BlockKernels()) return kernels->farthest_pair_axis(n, points, axis);
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
// Returns false when no projections tie, so that the other tie rule gives the same order (the
// scalar sort does not tell, and returns true).
bool SortByProjection(int n, const Vec3* points, const double axis[3], int* order, int tie_rule) {
  if (const st_BlockKernels* kernels = BlockKernels()) {
    const int ties = kernels->order_by_projection(n, points, axis, order, tie_rule);
    if (ties >= 0) return ties != 0;
  }
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
  return true;
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

// A state of the split search: the level-weighted sum t1, the level variance d and the weighted
// colour sum s of the elements moved up so far.
struct st_SplitState {
  double t1, d;
  double s[3];
};

// One element moved up from `from_level`: the scalar search's step, used wherever a state must
// come out as that search computes it.
[[gnu::always_inline]] inline void MoveUp(st_SplitState& st, const Vec3* sums, const double* freq, int element,
                                          int from_level) {
  const double w = freq[element];
  st.d += w * ((2 * from_level + 1) - 2.0 * st.t1 - w);
  st.t1 += w;
  for (int c = 0; c < 3; ++c) st.s[c] += sums[element][c];
}

// Visits every split of `order` into consecutive levels 0..limit and keeps the one with the
// least squared error of its line fit; with `clamped`, the line's ends are held in the box.
// Only the score is worked out per split; the ends are derived once, for the winner.
template <bool kClamped>
SplitResult FitSplits(int limit, int n, const Vec3* sums, const double* freq, const int* order,
                      const double* lo, const double* hi) {
  using State = st_SplitState;  // value-initialised states start at zero
  auto move_up = [&](State& st, int element, int from_level) { MoveUp(st, sums, freq, element, from_level); };
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
  State best_state = {};
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

  State s1 = {};
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
    } else {
      clamp_channel(st, m, c, best.ends[c], best.ends[3 + c]);
    }
  }
  const int used = (b2 > b1) + (b3 > b2) + (n > b3);
  best.levels = used == 1 ? 1 : m;
  return best;
}

// The unclamped split search with the vector kernels. The scalar search keeps the split with
// the highest ratio q/d, comparing by cross-multiplication in its visiting order (b1, then b2,
// then b3 descending), a later split winning a tie. Splits further than kNearRatio below the
// best ratio lose every such comparison against any split near the best, so replaying only the
// splits near the best, in that order and with those comparisons, keeps the same split; the
// kernel names a superset of them from estimates, and their exact scores come from the scalar
// search's own steps.
bool FitClustersVector(const st_BlockKernels& kernels, int limit, int n, const Vec3* sums, const double* freq,
                       const int* order, SplitResult& result) {
  if (n > kMaxSplitColours) return false;
  st_SplitSums tables;
  {
    double w = 0.0, sv[3] = {0.0, 0.0, 0.0};
    for (int b = n; b >= 0; --b) {
      if (b < n) {
        w += freq[order[b]];
        for (int c = 0; c < 3; ++c) sv[c] += sums[order[b]][c];
      }
      tables.w[b] = static_cast<float>(w);
      for (int c = 0; c < 3; ++c) tables.s[c][b] = static_cast<float>(sv[c]);
    }
    for (int b = n + 1; b <= n + kSplitPad; ++b) {
      tables.w[b] = 0.0f;
      for (int c = 0; c < 3; ++c) tables.s[c][b] = 0.0f;
    }
  }
  constexpr int kCapacity = 64;
  st_SplitIndex near[kCapacity];
  const int count = kernels.split_near(limit, n, tables, near, kCapacity);
  if (count <= 0) return false;
  // Exact scores, as the scalar search reaches each split: elements move up from level 0, then
  // 1, then 2, each time from the last element down to the boundary.
  st_SplitState states[kCapacity];
  double qs[kCapacity], best_ratio = 0.0;
  for (int i = 0; i < count; ++i) {
    st_SplitState& st = states[i];
    st = st_SplitState();
    const int bounds[3] = {near[i].b1, near[i].b2, near[i].b3};
    for (int level = 0; level < 3; ++level)
      for (int b = n - 1; b >= bounds[level]; --b) MoveUp(st, sums, freq, order[b], level);
    qs[i] = st.s[0] * st.s[0] + st.s[1] * st.s[1] + st.s[2] * st.s[2];
    best_ratio = std::max(best_ratio, qs[i] / st.d);
  }
  if (!(best_ratio > 0.0 && best_ratio < 1e300)) return false;
  // The splits near the best, in the visiting order.
  int kept[kCapacity], kept_count = 0;
  auto before = [&](int a, int b) {
    const st_SplitIndex &x = near[a], &y = near[b];
    return x.b1 != y.b1 ? x.b1 > y.b1 : (x.b2 != y.b2 ? x.b2 > y.b2 : x.b3 > y.b3);
  };
  for (int i = 0; i < count; ++i) {
    if (!(qs[i] >= states[i].d * (best_ratio * kNearRatio))) continue;
    int at = kept_count++;
    for (; at > 0 && before(i, kept[at - 1]); --at) kept[at] = kept[at - 1];
    kept[at] = i;
  }
  // The search starts on every element at level 0, scored 0 over 0, which the first split beats.
  double best_num = 0.0, best_den = 0.0;
  int winner = -1;
  for (int k = 0; k < kept_count; ++k) {
    const int i = kept[k];
    const double num = -qs[i];
    if (num * best_den <= best_num * states[i].d) {
      best_num = num;
      best_den = states[i].d;
      winner = i;
    }
  }
  if (winner < 0) return false;
  const int b[3] = {near[winner].b1, near[winner].b2, near[winner].b3};
  const st_SplitState& st = states[winner];
  result = SplitFromState(n, best_num, best_den, st.t1, st.d, st.s, b);
  return true;
}

SplitResult FitClusters(int limit, int n, const Vec3* sums, const double* freq, const int* order) {
  SplitResult result;
  if (const st_BlockKernels* kernels = BlockKernels())
    if (FitClustersVector(*kernels, limit, n, sums, freq, order, result)) return result;
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
    if (!(first && farthest_first)) {  // a farthest-first pass starts on the axis it is given
      pass.fit = kClamped ? FitClustersClamped(limit, n, sums, freq, ring.orders[ring.h], lo, hi)
                          : FitClusters(limit, n, sums, freq, ring.orders[ring.h]);
      pass.fitted = true;
      std::memcpy(axis, pass.fit.axis, sizeof(double) * 3);
      *last_fitted = pass_number;
    }
    first = false;
    ring.h = (ring.h + 1) % 16;
    if (ring.h == 0) ring.wrapped = true;
    const bool ties = SortByProjection(n, colours, axis, ring.orders[ring.h], 0);
    bool repeat = ring.Repeats(n);
    if (repeat && budget != 0 && ties) {
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

namespace {

// The part of the full fit that depends on the points and weights only.
void PrepareFullFit(const BlockState& block, FullFitShared& s) {
  s.ready = true;
  const int count = block.count;
  const double w[3] = {block.weight_r, block.weight_g, block.weight_b};
  double sum[3] = {0.0, 0.0, 0.0};
  s.all_equal = true;
  for (int i = 0; i < count; ++i) {
    for (int c = 0; c < 3; ++c) {
      s.x[i][c] = block.points[i][c] * w[c];
      sum[c] += s.x[i][c];
      s.all_equal = s.all_equal && block.points[i][c] == block.points[0][c];
    }
  }
  if (s.all_equal) return;
  for (int c = 0; c < 3; ++c) {
    s.mean[c] = sum[c] / count;
    s.lo[c] = -s.mean[c];
    s.hi[c] = w[c] - s.mean[c];
  }
  // Distinct weighted colours in order of first occurrence, with frequencies.
  int n = 0;
  if (const st_BlockKernels* kernels = BlockKernels()) {
    n = kernels->distinct_colours(count, s.x, s.u, s.freq, s.of_point);
  } else {
    for (int i = 0; i < count; ++i) {
      const Vec3& x = s.x[i];
      int k = 0;
      while (k < n && !(s.u[k][0] == x[0] && s.u[k][1] == x[1] && s.u[k][2] == x[2])) ++k;
      if (k == n) {
        std::memcpy(s.u[n], x, sizeof(Vec3));
        s.freq[n] = 0.0;
        ++n;
      }
      s.freq[k] += 1.0;
      s.of_point[i] = k;
    }
  }
  s.n = n;
  for (int k = 0; k < n; ++k) {
    s.freq[k] /= count;
    for (int c = 0; c < 3; ++c) s.sums[k][c] = s.freq[k] * (s.u[k][c] - s.mean[c]);
  }
  if (n < 3) return;
  Vec3 centred[kMaxBlockPoints];
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) centred[i][c] = s.x[i][c] - s.mean[c];
  DominantAxis(count, centred, s.axis);
  SortByProjection(n, s.u, s.axis, s.order, 0);
  FarthestPairAxis(n, s.u, s.farthest);
}

}  // namespace

void CompressDXTBlock(const CompressorContext& context, BlockState& block, int mode, FullFitShared* shared) {
  const int count = block.count;
  for (int i = 0; i < count; ++i)
    for (double& v : block.points[i]) v = Clamp01(v);
  block.weight_r = Clamp01(block.weight_r);
  block.weight_g = Clamp01(block.weight_g);
  block.weight_b = Clamp01(block.weight_b);
  if (count <= 0) return;
  if (block.color_policy == 1) block.color_mode = 4;

  FullFitShared local;
  FullFitShared& s = shared ? *shared : local;
  if (!s.ready) PrepareFullFit(block, s);
  const double w[3] = {block.weight_r, block.weight_g, block.weight_b};
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
    EncodeSingleColor(block, m, count, &s.x[0][0], codes, block.indices);
    store_codes();
    block.color_mode = m;
  };
  if (s.all_equal || s.n == 1) return single_color();
  const int n = s.n;
  const Vec3* u = s.u;
  const double* freq = s.freq;
  const Vec3* sums = s.sums;
  const double *mean = s.mean, *lo = s.lo, *hi = s.hi;

  int palette_of[kMaxBlockPoints];
  double ends[6];
  int color_mode;
  if (n == 2) {
    color_mode = block.color_policy == 1 ? 4 : 2;
    std::memcpy(ends, u[0], sizeof(Vec3));
    std::memcpy(ends + 3, u[1], sizeof(Vec3));
  } else {
    double axis[3];
    std::memcpy(axis, s.axis, sizeof axis);
    Ring ring;
    std::memcpy(ring.orders[0], s.order, sizeof(int) * n);
    const int limit = mode - 1;
    Pass passes[2];
    int last_fitted = -1;
    RunPass<false>(passes[0], ring, 16, false, limit, n, u, sums, freq, lo, hi, axis,
                   &last_fitted, 0);
    std::memcpy(axis, s.farthest, sizeof axis);
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
  for (int i = 0; i < count; ++i) block.indices[i] = palette_of[s.of_point[i]];
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

}  // namespace

double ComputeBlockError(BlockState& block) {
  const st_BlockKernels* kernels = BlockKernels();
  return kernels ? kernels->block_error(block) : ComputeBlockErrorScalar(block);
}

}  // namespace dds
