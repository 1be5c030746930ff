// Interpolated alpha blocks: an iterative least-squares fit of eight or six equally spaced
// levels held inside 0..1, and the five-candidate choice between the two modes.
#include "dds/block/AlphaBlock.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dds {
namespace {

struct LineFit {
  double e0, e1;  // clamped ends, centred
  double score;   // mean squared error less the constant mean of c²
};

// Least-squares line through (level, value) with its ends held in [lo, hi].
LineFit FitLine(double t1, double t2, double s, int m, double lo, double hi) {
  const double d = t2 - t1 * t1;
  const double a = m * m - 2.0 * m * t1 + t2;
  const double e0u = -t1 * s / d;
  const double e1u = (m - t1) * s / d;
  const double d0 = std::clamp(e0u, lo, hi) - e0u;
  const double d1 = std::clamp(e1u + d0 * (t2 - m * t1) / t2, lo, hi) - e1u;
  const double d0b = std::clamp(e0u + d1 * (t2 - m * t1) / a, lo, hi) - e0u;
  LineFit f;
  f.e0 = e0u + d0b;
  f.e1 = e1u + d1;
  f.score = (a * d0b * d0b + 2.0 * (m * t1 - t2) * d0b * d1 + t2 * d1 * d1) / (m * m) - s * s / d;
  return f;
}

// Decoded error of endpoints (a0, a1) with `levels` levels over all n values, each value taking
// its nearest level; in the six-level mode exact 0.0 and 1.0 may also take the codes 6 and 7.
// Stops early once the sum reaches `bound`.
double EndpointError(int levels, int a0, int a1, int n, const float* values, double bound,
                     int* indices) {
  int palette[8] = {a0, a1, 0, 0, 0, 0, 0, 255};
  for (int j = 2; j < levels; ++j)
    palette[j] = ((levels - j) * a0 + (j - 1) * a1 + (levels - 2) / 2) / (levels - 1);
  double total = 0.0;
  for (int i = 0; i < n; ++i) {
    const double target = values[i] * 255.0;
    const bool zero = values[i] == 0.0f, one = values[i] == 1.0f;
    int best = 0;
    double best_d = (palette[0] - target) * (palette[0] - target);
    for (int j = 1; j < levels; ++j) {
      const double d = (palette[j] - target) * (palette[j] - target);
      if (d < best_d) {
        best_d = d;
        best = j;
      }
    }
    if (levels == 6 && (zero || one)) {
      best_d = 0.0;  // exact 0 and 1 take their own codes
      best = zero ? 6 : 7;
    }
    if (indices) indices[i] = best;
    total += best_d;
    if (total >= bound) return total;
  }
  return total;
}

// The values of one block prepared for many error evaluations: targets in 0..255 units, the
// most extreme first (they exceed a bound soonest), and which are exact 0 or 1.
struct Targets {
  int n = 0;
  double t[kMaxBlockPoints];
  bool special[kMaxBlockPoints];

  Targets(int count, const float* values) : n(count) {
    int order[kMaxBlockPoints];
    for (int i = 0; i < n; ++i) order[i] = i;
    std::sort(order, order + n, [&](int a, int b) {
      return std::fabs(values[a] - 0.5f) > std::fabs(values[b] - 0.5f);
    });
    for (int k = 0; k < n; ++k) {
      const float v = values[order[k]];
      t[k] = v * 255.0;
      special[k] = v == 0.0f || v == 1.0f;
    }
  }
};

// EndpointError without the indices, over prepared targets.
double TargetError(int levels, int a0, int a1, const Targets& targets, double bound) {
  double palette[8];
  palette[0] = a0;
  palette[1] = a1;
  for (int j = 2; j < levels; ++j)
    palette[j] = ((levels - j) * a0 + (j - 1) * a1 + (levels - 2) / 2) / (levels - 1);
  double total = 0.0;
  for (int i = 0; i < targets.n; ++i) {
    if (levels == 6 && targets.special[i]) continue;
    const double t = targets.t[i];
    double best = (palette[0] - t) * (palette[0] - t);
    for (int j = 1; j < levels; ++j) best = std::min(best, (palette[j] - t) * (palette[j] - t));
    total += best;
    if (total >= bound) return total;
  }
  return total;
}

// Integer hill climb on the two endpoints, from coarse steps to single ones: the level fit
// works on continuous ends, rounds them at the end and can settle in a local optimum of its
// assignment, which leaves a little on the table.
double ClimbEndpoints(int levels, int& a0, int& a1, const Targets& targets, double error) {
  static const int kDirections[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1},
                                        {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
  for (int step = 16; step >= 1; step /= 2) {
    for (int round = 0; round < 64 && error > 0.0; ++round) {
      int best_a0 = a0, best_a1 = a1;
      for (const auto& dir : kDirections) {
        const int b0 = a0 + step * dir[0], b1 = a1 + step * dir[1];
        if (b0 < 0 || b0 > 255 || b1 < 0 || b1 > 255 || (levels == 8 && b0 == b1)) continue;
        const double e = TargetError(levels, b0, b1, targets, error);
        if (e < error) {
          error = e;
          best_a0 = b0;
          best_a1 = b1;
        }
      }
      if (best_a0 == a0 && best_a1 == a1) break;
      a0 = best_a0;
      a1 = best_a1;
    }
  }
  return error;
}

}  // namespace

double FitAlphaLevels(int levels, int n, const double* values, int endpoints[2], int* indices) {
  if (n <= 0) return 0.0;
  const int m = levels - 1;
  double mean = 0.0, lo_v = values[0], hi_v = values[0];
  for (int i = 0; i < n; ++i) {
    mean += values[i];
    lo_v = std::min(lo_v, values[i]);
    hi_v = std::max(hi_v, values[i]);
  }
  mean /= n;
  double c[kMaxBlockPoints];
  int level[kMaxBlockPoints];
  for (int i = 0; i < n; ++i) {
    c[i] = values[i] - mean;
    level[i] = 0;
  }
  double e0 = lo_v - mean, e1 = hi_v - mean;
  const double lo = -mean, hi = 1.0 - mean;

  for (int counter = 64;; --counter) {
    double theta[7];
    for (int j = 0; j < m; ++j) theta[j] = e0 + (j + 0.5) * (e1 - e0) / m;
    int per_level[8] = {};
    bool changed = false;
    for (int i = 0; i < n; ++i) {
      int j = 0;
      while (j < m && !(theta[j] > c[i])) ++j;
      changed = changed || j != level[i];
      level[i] = j;
      ++per_level[j];
    }
    int used = 0;
    for (int j = 0; j < levels; ++j) used += per_level[j] > 0;
    if (used <= 1) break;

    double t1 = 0.0, t2 = 0.0, s = 0.0;
    for (int i = 0; i < n; ++i) {
      t1 += level[i];
      t2 += level[i] * level[i];
      s += level[i] * c[i];
    }
    t1 /= n;
    t2 /= n;
    s /= n;
    const LineFit fit = FitLine(t1, t2, s, m, lo, hi);
    e0 = fit.e0;
    e1 = fit.e1;
    if (counter == 0) break;
    if (changed) continue;

    // Stable: try moving one boundary value to the neighbouring level.
    bool moved = false;
    for (int dir : {1, -1}) {
      for (int j = dir > 0 ? 0 : 1; dir > 0 ? j <= m - 1 : j <= m; ++j) {
        if (per_level[j] == 0 || !(per_level[j] > 1 || used > 2)) continue;
        int pick = -1;
        for (int i = 0; i < n; ++i) {
          if (level[i] != j) continue;
          if (pick < 0 || (dir > 0 ? c[i] > c[pick] : c[i] < c[pick])) pick = i;
        }
        const LineFit trial = FitLine(t1 + static_cast<double>(dir) / n,
                                      t2 + (2.0 * dir * j + 1.0) / n, s + dir * c[pick] / n, m,
                                      lo, hi);
        if (trial.score < fit.score) {
          e0 = trial.e0;
          e1 = trial.e1;
          moved = true;
          break;
        }
      }
      if (moved) break;
    }
    if (!moved) break;
  }

  const int a0 = std::clamp(static_cast<int>(std::floor((e0 + mean) * 255.0 + 0.5)), 0, 255);
  const int a1 = std::clamp(static_cast<int>(std::floor((e1 + mean) * 255.0 + 0.5)), 0, 255);
  endpoints[0] = a0;
  endpoints[1] = a1;
  int palette[8] = {a0, a1};
  for (int j = 2; j < levels; ++j)
    palette[j] = ((levels - j) * a0 + (j - 1) * a1 + (levels - 2) / 2) / (levels - 1);
  double error = 0.0;
  for (int i = 0; i < n; ++i) {
    const double target = values[i] * 255.0;
    int best = 0;
    for (int j = 1; j < levels; ++j)
      if (std::fabs(palette[j] - target) < std::fabs(palette[best] - target)) best = j;
    indices[i] = best;
    error += (palette[best] - target) * (palette[best] - target);
  }
  return error;
}

void FitAlphaBlock(const CompressorContext&, AlphaBlockState& block) {
  // Values outside 0..1 (a NaN from upstream arithmetic included) would reach integer
  // conversions; they are clamped, NaN to 0.
  for (int i = 0; i < std::clamp(block.count, 0, kMaxBlockPoints); ++i) {
    float& v = block.values[i];
    v = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
  }
  if (block.quality == 68) {
    // The fast fit's indices are eight-level ones; say so, whatever the record held before.
    block.level_count = 8;
    FastFitAlphaBlock(block);
    return;
  }
  const int n = std::clamp(block.count, 0, kMaxBlockPoints);
  struct Candidate {
    int levels;
    bool zero_special, one_special;
    int count = 0;
    double values[kMaxBlockPoints];
    int indices[kMaxBlockPoints];
    int ends[2] = {0, 0};
    double error = 0.0;
  };
  Candidate candidates[5];
  bool any_zero = false, any_one = false;
  for (int i = 0; i < n; ++i) {
    any_zero = any_zero || block.values[i] == 0.0f;
    any_one = any_one || block.values[i] == 1.0f;
  }
  const bool tried[5] = {true, true, any_zero, any_one, any_zero || any_one};
  const bool zero_special[5] = {false, false, true, false, true};
  const bool one_special[5] = {false, false, false, true, true};
  int best = -1;
  for (int k = 0; k < 5; ++k) {
    if (!tried[k]) continue;
    Candidate& cand = candidates[k];
    cand.levels = k == 0 ? 8 : 6;
    cand.zero_special = zero_special[k];
    cand.one_special = one_special[k];
    cand.count = 0;
    for (int i = 0; i < n; ++i) {
      const float v = block.values[i];
      if ((cand.zero_special && v == 0.0f) || (cand.one_special && v == 1.0f)) continue;
      cand.values[cand.count++] = v;
    }
    cand.ends[0] = cand.ends[1] = 0;
    cand.error = FitAlphaLevels(cand.levels, cand.count, cand.values, cand.ends, cand.indices);
    if (best < 0 || cand.error < candidates[best].error) best = k;
  }
  const Candidate& win = candidates[best];
  block.level_count = win.levels;
  block.alpha0 = win.ends[0];
  block.alpha1 = win.ends[1];
  int cursor = 0;
  for (int i = 0; i < n; ++i) {
    const float v = block.values[i];
    if (win.zero_special && v == 0.0f)
      block.indices[i] = 6;
    else if (win.one_special && v == 1.0f)
      block.indices[i] = 7;
    else
      block.indices[i] = win.indices[cursor++];
  }
  if (n == 0) return;

  // Polish: for each level count, integer endpoints climb from the best candidate and from the
  // value span (stretched to 0 or 255 at quality 72), judged by the decoded error; a result
  // replaces the candidates' one only when it is strictly better.
  const Targets targets(n, block.values);
  double current = 0.0;  // the decoded error of the result as it stands
  {
    const int k = block.level_count;
    int palette[8] = {block.alpha0, block.alpha1, 0, 0, 0, 0, 0, 255};
    for (int j = 2; j < k; ++j)
      palette[j] = ((k - j) * block.alpha0 + (j - 1) * block.alpha1 + (k - 2) / 2) / (k - 1);
    for (int i = 0; i < n; ++i) {
      const double d = palette[block.indices[i]] - block.values[i] * 255.0;
      current += d * d;
    }
  }
  // Seeds: the best fit of each level count, and the value range stretched to the ends.
  float lo = 1.0f, hi = 0.0f, lo_inner = 1.0f, hi_inner = 0.0f;
  for (int i = 0; i < n; ++i) {
    const float v = block.values[i];
    lo = std::min(lo, v);
    hi = std::max(hi, v);
    if (v != 0.0f && v != 1.0f) {
      lo_inner = std::min(lo_inner, v);
      hi_inner = std::max(hi_inner, v);
    }
  }
  auto to_byte = [](float v) { return static_cast<int>(v * 255.0f + 0.5f); };
  for (int levels : {8, 6}) {
    int pick = -1;
    for (int k = 0; k < 5; ++k)
      if (tried[k] && candidates[k].levels == levels &&
          (pick < 0 || candidates[k].error < candidates[pick].error))
        pick = k;
    const int span_lo = to_byte(levels == 6 && lo_inner <= hi_inner ? lo_inner : lo);
    const int span_hi = to_byte(levels == 6 && lo_inner <= hi_inner ? hi_inner : hi);
    const int seeds[4][2] = {{candidates[pick].ends[0], candidates[pick].ends[1]},
                             {span_lo, span_hi},
                             {0, span_hi},
                             {span_lo, 255}};
    // Qualities 69 to 71 polish from the first two seeds, quality 72 from all four.
    for (int k = 0; k < (block.quality >= 72 ? 4 : 2); ++k) {
      int a0 = seeds[k][0], a1 = seeds[k][1];
      if (levels == 8 && a0 == a1) continue;
      double e = TargetError(levels, a0, a1, targets, 1e300);
      e = ClimbEndpoints(levels, a0, a1, targets, e);
      if (e < current) {
        current = e;
        block.level_count = levels;
        block.alpha0 = a0;
        block.alpha1 = a1;
        EndpointError(levels, a0, a1, n, block.values, 1e300, block.indices);
      }
    }
  }
}

}  // namespace dds
