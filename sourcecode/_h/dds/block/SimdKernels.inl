// The body of the block codec's vector kernels, compiled once per instruction set by the file
// that includes it, with that set's compiler flags. Everything here has internal linkage and
// calls no inline function of another header, so no instruction of one set can end up in code
// that the linker shares with processors that lack it. Floating-point contraction is off for
// these files: a fused multiply-add would round differently from the scalar code.
#include "dds/block/SimdKernels.h"

#include <immintrin.h>

namespace dds {
namespace {

// ---- the lanes: doubles for exact work, floats for estimates

#if defined(__AVX2__)
using VD = __m256d;
using VF = __m256;
constexpr int kLanes = 4, kFloatLanes = 8;
inline VD Set1(double v) { return _mm256_set1_pd(v); }
inline VD Bcast(const double* p) { return _mm256_broadcast_sd(p); }
inline VD Load(const double* p) { return _mm256_loadu_pd(p); }
inline void Store(double* p, VD v) { _mm256_storeu_pd(p, v); }
inline VD Add(VD a, VD b) { return _mm256_add_pd(a, b); }
inline VD Sub(VD a, VD b) { return _mm256_sub_pd(a, b); }
inline VD Mul(VD a, VD b) { return _mm256_mul_pd(a, b); }
inline void StoreAsFloat(float* p, VD v) { _mm_storeu_ps(p, _mm256_cvtpd_ps(v)); }
inline VD LessThan(VD a, VD b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
inline VD Equal(VD a, VD b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
inline VD And(VD a, VD b) { return _mm256_and_pd(a, b); }
inline VD Or(VD a, VD b) { return _mm256_or_pd(a, b); }
inline int MaskOf(VD a) { return _mm256_movemask_pd(a); }
inline VF Set1(float v) { return _mm256_set1_ps(v); }
inline VF Bcast(const float* p) { return _mm256_broadcast_ss(p); }
inline VF Load(const float* p) { return _mm256_loadu_ps(p); }
inline void Store(float* p, VF v) { _mm256_storeu_ps(p, v); }
inline VF Add(VF a, VF b) { return _mm256_add_ps(a, b); }
inline VF Sub(VF a, VF b) { return _mm256_sub_ps(a, b); }
inline VF Mul(VF a, VF b) { return _mm256_mul_ps(a, b); }
inline VF Div(VF a, VF b) { return _mm256_div_ps(a, b); }
inline VF Min(VF a, VF b) { return _mm256_min_ps(a, b); }
inline VF Max(VF a, VF b) { return _mm256_max_ps(a, b); }
inline int GeMask(VF a, VF b) { return _mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_GE_OQ)); }
inline VF Less(VF a, VF b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
inline VF Select(VF mask, VF a, VF b) { return _mm256_blendv_ps(b, a, mask); }
// Lanes 4·g + k hold four[k]: four values repeated across the groups of four lanes.
inline VF Repeat4(const float* four) { return _mm256_broadcast_ps(reinterpret_cast<const __m128*>(four)); }
// Lanes 4·g + k hold each[g]: one value per group of four lanes.
inline VF Spread4(const float* each) { return _mm256_set_m128(_mm_set1_ps(each[1]), _mm_set1_ps(each[0])); }
#elif defined(__SSE4_1__)
using VD = __m128d;
using VF = __m128;
constexpr int kLanes = 2, kFloatLanes = 4;
inline VD Set1(double v) { return _mm_set1_pd(v); }
inline VD Bcast(const double* p) { return _mm_load1_pd(p); }
inline VD Load(const double* p) { return _mm_loadu_pd(p); }
inline void Store(double* p, VD v) { _mm_storeu_pd(p, v); }
inline VD Add(VD a, VD b) { return _mm_add_pd(a, b); }
inline VD Sub(VD a, VD b) { return _mm_sub_pd(a, b); }
inline VD Mul(VD a, VD b) { return _mm_mul_pd(a, b); }
inline void StoreAsFloat(float* p, VD v) { _mm_storel_pi(reinterpret_cast<__m64*>(p), _mm_cvtpd_ps(v)); }
inline VD LessThan(VD a, VD b) { return _mm_cmplt_pd(a, b); }
inline VD Equal(VD a, VD b) { return _mm_cmpeq_pd(a, b); }
inline VD And(VD a, VD b) { return _mm_and_pd(a, b); }
inline VD Or(VD a, VD b) { return _mm_or_pd(a, b); }
inline int MaskOf(VD a) { return _mm_movemask_pd(a); }
inline VF Set1(float v) { return _mm_set1_ps(v); }
inline VF Bcast(const float* p) { return _mm_load1_ps(p); }
inline VF Load(const float* p) { return _mm_loadu_ps(p); }
inline void Store(float* p, VF v) { _mm_storeu_ps(p, v); }
inline VF Add(VF a, VF b) { return _mm_add_ps(a, b); }
inline VF Sub(VF a, VF b) { return _mm_sub_ps(a, b); }
inline VF Mul(VF a, VF b) { return _mm_mul_ps(a, b); }
inline VF Div(VF a, VF b) { return _mm_div_ps(a, b); }
inline VF Min(VF a, VF b) { return _mm_min_ps(a, b); }
inline VF Max(VF a, VF b) { return _mm_max_ps(a, b); }
inline int GeMask(VF a, VF b) { return _mm_movemask_ps(_mm_cmpge_ps(a, b)); }
inline VF Less(VF a, VF b) { return _mm_cmplt_ps(a, b); }
inline VF Select(VF mask, VF a, VF b) { return _mm_blendv_ps(b, a, mask); }
inline VF Repeat4(const float* four) { return _mm_loadu_ps(four); }
inline VF Spread4(const float* each) { return _mm_set1_ps(each[0]); }
#else
#error "the block kernels are compiled with -mavx2 or -msse4.1"
#endif

inline float MaxOf(float a, float b) { return a < b ? b : a; }

// ---- the split search

// Bounds of the single-precision error of q and d. Weights sum to 1, so t1 ≤ 3, Σ w·level² ≤ 9
// and a few roundings of 2^-24 leave d within 1e-5; each s[c] is at most three suffix sums of
// size m[c] or less, and q's roundings stay within 2e-5·Σ m[c]². The bounds leave ten times that.
constexpr float kQErrorScale = 2e-4f, kDError = 1e-4f;

// The boundaries after b1 as one list of pairs, (b2, b3) for limit 3 or b2 alone for limit 2,
// b2 descending: the pairs a b1 admits (b2 ≥ b1) are then a prefix of the list, and every lane
// of a group but the last holds a split. Per pair its share of t1 (Σ w·level), of Σ w·level²
// and of s.
class cl_SplitPairs {
 public:
  static constexpr int kMaxPairs = kMaxSplitColours * (kMaxSplitColours + 1) / 2 + kMaxSplitColours;

  void Build(int limit, int n, const st_SplitSums& t) {
    m_limit = limit;
    m_n = n;
    m_prefix[n + 1] = 0;
    int at = 0;
    for (int b2 = n; b2 >= 1; --b2) {
      if (limit < 3) {
        m_t1[at] = t.w[b2];
        m_t2[at] = 3.0f * t.w[b2];
        for (int c = 0; c < 3; ++c) m_s[c][at] = t.s[c][b2];
        m_prefix[b2] = ++at;
        continue;
      }
      // b3 = b2..n; lanes past n write beyond this b2's pairs, where the next b2's go.
      const VF w2 = Set1(t.w[b2]), w2x3 = Set1(3.0f * t.w[b2]), five = Set1(5.0f);
      for (int x = b2; x <= n; x += kFloatLanes) {
        const int to = at + (x - b2);
        const VF w3 = Load(&t.w[x]);
        Store(&m_t1[to], Add(w2, w3));
        Store(&m_t2[to], Add(w2x3, Mul(five, w3)));
        for (int c = 0; c < 3; ++c) Store(&m_s[c][to], Add(Set1(t.s[c][b2]), Load(&t.s[c][x])));
      }
      at += n - b2 + 1;
      m_prefix[b2] = at;
    }
  }
  // Pairs with b2 ≥ b1.
  int Count(int b1) const { return m_prefix[b1]; }
  st_SplitIndex Split(int b1, int pair) const {
    int b2 = m_n;
    while (m_prefix[b2] <= pair) --b2;
    if (m_limit < 3) return {b1, b2, m_n};
    return {b1, b2, b2 + (pair - m_prefix[b2 + 1])};
  }

  const float* T1() const { return m_t1; }
  const float* T2() const { return m_t2; }
  const float* S(int c) const { return m_s[c]; }

 private:
  int m_limit = 3, m_n = 0;
  int m_prefix[kMaxSplitColours + 2];
  alignas(32) float m_t1[kMaxPairs + kFloatLanes], m_t2[kMaxPairs + kFloatLanes];
  alignas(32) float m_s[3][kMaxPairs + kFloatLanes];
};

constexpr int MaxSplitRows() {
  int rows = 0;
  for (int b1 = 1; b1 < kMaxSplitColours; ++b1) {
    const int m = kMaxSplitColours - b1 + 1;
    rows += (m * (m + 1) / 2 + kFloatLanes - 1) / kFloatLanes;
  }
  return rows;
}

int SplitNear(int limit, int n, const st_SplitSums& t, st_SplitIndex* out, int capacity) {
  if (n > kMaxSplitColours) return -1;
  cl_SplitPairs pairs;
  pairs.Build(limit, n, t);
  float scale = 0.0f;
  for (int c = 0; c < 3; ++c) {
    float m = 0.0f;
    for (int b = 0; b <= n; ++b) m = MaxOf(m, t.s[c][b] < 0.0f ? -t.s[c][b] : t.s[c][b]);
    scale += m * m;
  }
  const VF q_error = Set1(kQErrorScale * scale), d_error = Set1(kDError);
  alignas(32) float iota[kFloatLanes];
  for (int k = 0; k < kFloatLanes; ++k) iota[k] = static_cast<float>(k);
  const VF lane = Load(iota);
  struct st_Row {
    VF q, d;  // q plus and d less their error bounds: the most each split may score
  };
  st_Row rows[MaxSplitRows()];
  int count = 0;
  VF best = Set1(0.0f);  // the least each split surely scores, at its best
  // b1 = n only admits every element on level 0, the search's start: no split.
  for (int b1 = n - 1; b1 >= 1; --b1) {
    const VF w1 = Set1(t.w[b1]), s0b = Set1(t.s[0][b1]), s1b = Set1(t.s[1][b1]), s2b = Set1(t.s[2][b1]);
    const int admitted = pairs.Count(b1);
    for (int p = 0; p < admitted; p += kFloatLanes) {
      const VF l1 = Add(w1, Load(pairs.T1() + p));
      const VF d = Sub(Add(w1, Load(pairs.T2() + p)), Mul(l1, l1));
      const VF s0 = Add(s0b, Load(pairs.S(0) + p));
      const VF s1 = Add(s1b, Load(pairs.S(1) + p));
      const VF s2 = Add(s2b, Load(pairs.S(2) + p));
      const VF q = Add(Add(Mul(s0, s0), Mul(s1, s1)), Mul(s2, s2));
      rows[count++] = {Add(q, q_error), Sub(d, d_error)};
      VF ratio = Div(Sub(q, q_error), Add(d, d_error));
      // Lanes past the admitted pairs hold no split of this b1.
      if (admitted - p < kFloatLanes) ratio = Select(Less(lane, Set1(static_cast<float>(admitted - p))), ratio, Set1(0.0f));
      best = Max(ratio, best);
    }
  }
  alignas(32) float lanes[kFloatLanes];
  Store(lanes, best);
  float highest = 0.0f;
  for (float v : lanes) highest = MaxOf(highest, v);
  // A little under the surely reached ratio, for the roundings of this division and the bar.
  const VF bar = Set1(static_cast<float>(highest * 0.999999 * kNearRatio));
  int row = 0, found = 0;
  for (int b1 = n - 1; b1 >= 1; --b1) {
    const int admitted = pairs.Count(b1);
    for (int p = 0; p < admitted; p += kFloatLanes) {
      const st_Row& r = rows[row++];
      int pass = GeMask(r.q, Mul(r.d, bar));
      if (admitted - p < kFloatLanes) pass &= (1 << (admitted - p)) - 1;
      for (; pass != 0; pass &= pass - 1) {
        if (found == capacity) return -1;
        out[found++] = pairs.Split(b1, p + __builtin_ctz(static_cast<unsigned>(pass)));
      }
    }
  }
  return found;
}

// ---- the endpoint grid

int EndpointNear(int n, int entries, const double* colours, const double* frequencies, const double pal[3][4][4],
                 int near[64]) {
  // Lanes count kg + 4·kb over 16 lanes; one running sum per kr and lane group.
  constexpr int kGroups = 16 / kFloatLanes;
  VF sum[4][kGroups];
  for (auto& byKr : sum)
    for (VF& s : byKr) s = Set1(0.0f);
  // The palette by channel and entry with the combinations side by side.
  alignas(32) double byCombination[3][4][4];
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 4; ++k)
      for (int j = 0; j < 4; ++j) byCombination[c][j][k] = pal[c][k][j];
  for (int i = 0; i < n; ++i) {
    // term[c][j][k]: channel c's term for entry j under combination k, as the scalar code
    // computes it, then rounded.
    alignas(32) float term[3][4][4];
    const VD f = Bcast(&frequencies[i]);
    for (int c = 0; c < 3; ++c) {
      const VD u = Bcast(&colours[3 * i + c]);
      for (int j = 0; j < 4; ++j)
        for (int v = 0; v < 4 / kLanes; ++v) {
          const VD d = Sub(u, Load(&byCombination[c][j][v * kLanes]));
          StoreAsFloat(&term[c][j][v * kLanes], Mul(Mul(f, d), d));
        }
    }
    VF gb[4][kGroups];  // green + blue by entry and lane
    for (int j = 0; j < 4; ++j)
      for (int g = 0; g < kGroups; ++g) gb[j][g] = Add(Repeat4(term[1][j]), Spread4(&term[2][j][g * kFloatLanes / 4]));
    for (int kr = 0; kr < 4; ++kr) {
      VF red[4];
      for (int j = 0; j < 4; ++j) red[j] = Bcast(&term[0][j][kr]);
      for (int g = 0; g < kGroups; ++g) {
        const VF m01 = Min(Add(red[0], gb[0][g]), Add(red[1], gb[1][g]));
        const VF e2 = Add(red[2], gb[2][g]);
        const VF m23 = entries == 4 ? Min(e2, Add(red[3], gb[3][g])) : e2;
        sum[kr][g] = Add(sum[kr][g], Min(m01, m23));
      }
    }
  }
  // Lane kg + 4·kb of sum[kr] holds the total of z = kr + 4·kg + 16·kb.
  VF lowest = sum[0][0];
  int usable = (1 << kFloatLanes) - 1;
  for (int kr = 0; kr < 4; ++kr)
    for (int g = 0; g < kGroups; ++g) {
      lowest = Min(lowest, sum[kr][g]);
      usable &= GeMask(sum[kr][g], Set1(0.0f)) & GeMask(Set1(1e30f), sum[kr][g]);
    }
  if (usable != (1 << kFloatLanes) - 1) return -1;
  alignas(32) float lanes[kFloatLanes];
  Store(lanes, lowest);
  float least = lanes[0];
  for (float v : lanes) least = v < least ? v : least;
  // Each term is the scalar code's rounded once, each sum adds a rounding: every total is within
  // (n + 8)·2^-23 of the exact one, relatively, and terms too small for a float's precision add
  // at most (n + 8)·1e-40. A total further above the lowest than both errors cannot be least.
  const double relative = (n + 8) * (1.0 / 8388608.0), absolute = (n + 8) * 1e-40;
  const double limit = (least + absolute) * (1.0 + relative) / (1.0 - relative) + absolute;
  // Rounded up to a float, so that the comparison below keeps every total up to the limit.
  float bar = static_cast<float>(limit);
  if (bar < limit) bar = __builtin_nextafterf(bar, 1e30f);
  uint64_t within = 0;  // bit z
  for (int kr = 0; kr < 4; ++kr)
    for (int g = 0; g < kGroups; ++g)
      for (int bits = GeMask(Set1(bar), sum[kr][g]); bits != 0; bits &= bits - 1)
        within |= 1ull << (kr + 4 * (g * kFloatLanes + __builtin_ctz(static_cast<unsigned>(bits))));
  int count = 0;
  for (; within != 0; within &= within - 1) near[count++] = __builtin_ctzll(within);
  return count;
}

double EndpointIndices(int n, int entries, const double* colours, const double* frequencies,
                       const double* const pal[3], int* indices) {
  constexpr int kVectors = 4 / kLanes;
  double error = 0.0;
  for (int i = 0; i < n; ++i) {
    const VD f = Bcast(&frequencies[i]);
    alignas(32) double d[4];
    for (int v = 0; v < kVectors; ++v) {
      VD term[3];
      for (int c = 0; c < 3; ++c) {
        const VD e = Sub(Bcast(&colours[3 * i + c]), Load(pal[c] + v * kLanes));
        term[c] = Mul(Mul(f, e), e);
      }
      Store(d + v * kLanes, Add(Add(term[0], term[1]), term[2]));
    }
    // The first entry holding the least distance, as the scalar "<" scan keeps it.
    int best = 0;
    for (int j = 1; j < entries; ++j) best = d[j] < d[best] ? j : best;
    indices[i] = best;
    error += d[best];
  }
  return error;
}

// ---- the block error

double BlockError(BlockState& block) {
  if (block.count < 1) return 0.0;
  const int c0[3] = {(block.red0 << 3) | (block.red0 >> 2), (block.green0 << 2) | (block.green0 >> 4),
                     (block.blue0 << 3) | (block.blue0 >> 2)};
  const int c1[3] = {(block.red1 << 3) | (block.red1 >> 2), (block.green1 << 2) | (block.green1 >> 4),
                     (block.blue1 << 3) | (block.blue1 >> 2)};
  const bool three = block.color_mode == 3;
  constexpr int kVectors = 4 / kLanes;
  const double weights[3] = {block.weight_r, block.weight_g, block.weight_b};
  VD pal[3][kVectors], w[3];
  for (int c = 0; c < 3; ++c) {
    // The fourth three-colour code decodes transparent: no opaque point takes it, so its lane
    // repeats the third entry, which then comes first.
    alignas(32) const double entry[4] = {static_cast<double>(c0[c]), static_cast<double>(c1[c]),
                                         static_cast<double>(three ? (c0[c] + c1[c]) / 2 : (2 * c0[c] + c1[c]) / 3),
                                         static_cast<double>(three ? (c0[c] + c1[c]) / 2 : (c0[c] + 2 * c1[c]) / 3)};
    for (int v = 0; v < kVectors; ++v) pal[c][v] = Load(entry + v * kLanes);
    w[c] = Set1(weights[c]);
  }
  const VD k255 = Set1(255.0);
  double total = 0.0;
  for (int i = 0; i < block.count; ++i) {
    if (block.indices[i] == -1) continue;
    alignas(32) double d[4];
    for (int v = 0; v < kVectors; ++v) {
      VD sum = Set1(0.0);
      for (int c = 0; c < 3; ++c) {
        const VD e = Mul(Sub(Mul(Bcast(&block.points[i][c]), k255), pal[c][v]), w[c]);
        sum = Add(sum, Mul(e, e));
      }
      Store(d + v * kLanes, sum);
    }
    // The first entry holding the least distance, as the scalar "<" scan keeps it.
    int best = 0;
    for (int j = 1; j < 4; ++j) best = d[j] < d[best] ? j : best;
    block.indices[i] = best;
    total += d[best];
  }
  return total;
}

// ---- the projection order

// Each point's place is the count of points projecting lower; where projections tie, that
// count repeats, and the places go again with the tie rule: among equals, the index that comes
// first under the rule goes first.
int OrderByProjection(int n, const double (*points)[3], const double axis[3], int* order, int tie_rule) {
  constexpr int kBits[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
  alignas(32) double proj[kMaxBlockPoints + kLanes];
  for (int i = 0; i < n; ++i) {
    proj[i] = points[i][0] * axis[0] + points[i][1] * axis[1] + points[i][2] * axis[2];
    if (proj[i] != proj[i]) return -1;
  }
  // Lanes past n compare false with everything.
  for (int i = n; i < n + kLanes; ++i) proj[i] = __builtin_nan("");
  int place[kMaxBlockPoints];
  uint64_t taken[kMaxBlockPoints / 64] = {};
  bool ties = false;
  for (int i = 0; i < n; ++i) {
    const VD p = Bcast(&proj[i]);
    int lower = 0;
    for (int j = 0; j < n; j += kLanes) lower += kBits[MaskOf(LessThan(Load(&proj[j]), p))];
    place[i] = lower;
    ties = ties || (taken[lower / 64] >> (lower % 64) & 1) != 0;
    taken[lower / 64] |= 1ull << (lower % 64);
  }
  if (ties) {
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        place[i] += proj[j] == proj[i] && (tie_rule == 0 ? j < i : j > i);
  }
  for (int i = 0; i < n; ++i) order[place[i]] = i;
  return ties ? 1 : 0;
}

// ---- the axes

// A 3×3 matrix as three rows of lanes (the fourth lane unused).
struct st_Rows {
  VD row[3][4 / kLanes];

  double At(int r, int c) const {
    alignas(32) double lanes[4];
    for (int v = 0; v < 4 / kLanes; ++v) Store(lanes + v * kLanes, row[r][v]);
    return lanes[c];
  }
};

void DominantAxis(int n, const double (*points)[3], double axis[3]) {
  constexpr int kVectors = 4 / kLanes;
  st_Rows m;
  for (auto& r : m.row)
    for (VD& v : r) v = Set1(0.0);
  // Each entry sums p[r]·p[c] over the points in order, as the scalar loop does.
  for (int i = 0; i < n; ++i) {
    alignas(32) const double p[4] = {points[i][0], points[i][1], points[i][2], 0.0};
    for (int r = 0; r < 3; ++r) {
      const VD pr = Bcast(&points[i][r]);
      for (int v = 0; v < kVectors; ++v) m.row[r][v] = Add(m.row[r][v], Mul(pr, Load(p + v * kLanes)));
    }
  }
  st_Rows prev = m;
  for (int round = 0; round < 3; ++round) {
    // Trace 3.5 keeps the largest eigenvalue above 1 and the 256th power in double range.
    const VD scale = Set1(3.5 / (m.At(0, 0) + m.At(1, 1) + m.At(2, 2)));
    for (auto& r : m.row)
      for (VD& v : r) v = Mul(v, scale);
    for (int k = 0; k < 8; ++k) {
      prev = m;
      alignas(32) double entries[3][4];
      for (int r = 0; r < 3; ++r)
        for (int v = 0; v < kVectors; ++v) Store(entries[r] + v * kLanes, prev.row[r][v]);
      // Row r of the square: prev[r][0]·row 0 + prev[r][1]·row 1 + prev[r][2]·row 2, in that order.
      for (int r = 0; r < 3; ++r) {
        const VD a = Bcast(&entries[r][0]), b = Bcast(&entries[r][1]), c = Bcast(&entries[r][2]);
        for (int v = 0; v < kVectors; ++v)
          m.row[r][v] = Add(Add(Mul(a, prev.row[0][v]), Mul(b, prev.row[1][v])), Mul(c, prev.row[2][v]));
      }
    }
  }
  int k;
  if (m.At(0, 0) <= m.At(1, 1))
    k = m.At(2, 2) < m.At(1, 1) ? 1 : 2;
  else
    k = m.At(2, 2) < m.At(0, 0) ? 0 : 2;
  const double len = __builtin_sqrt(m.At(k, k));
  for (int c = 0; c < 3; ++c) axis[c] = prev.At(c, k) / len;
}

void FarthestPairAxis(int n, const double (*points)[3], double axis[3]) {
  alignas(32) double x[3][kMaxBlockPoints + kLanes];
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) x[c][i] = points[i][c];
  double best = -1.0;
  int bi = 0, bj = 0;
  for (int i = 0; i < n; ++i) {
    const VD p0 = Bcast(&x[0][i]), p1 = Bcast(&x[1][i]), p2 = Bcast(&x[2][i]);
    for (int j = i; j < n; j += kLanes) {
      const VD e0 = Sub(p0, Load(&x[0][j])), e1 = Sub(p1, Load(&x[1][j])), e2 = Sub(p2, Load(&x[2][j]));
      const VD d = Add(Add(Mul(e0, e0), Mul(e1, e1)), Mul(e2, e2));
      int further = MaskOf(LessThan(Set1(best), d));
      if (n - j < kLanes) further &= (1 << (n - j)) - 1;
      if (further == 0) continue;
      // A pair beats the best only by more, in the scan order.
      alignas(32) double ds[kLanes];
      Store(ds, d);
      for (int lane = 0; lane < kLanes && j + lane < n; ++lane)
        if (ds[lane] > best) {
          best = ds[lane];
          bi = i;
          bj = j + lane;
        }
    }
  }
  const double len = __builtin_sqrt(best);
  for (int c = 0; c < 3; ++c) axis[c] = len > 0.0 ? (points[bi][c] - points[bj][c]) / len : 0.0;
}

int DistinctColours(int count, const double (*points)[3], double (*colours)[3], double* counts, int* of_point) {
  alignas(32) double u[3][kMaxBlockPoints + kLanes];
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const VD p0 = Bcast(&points[i][0]), p1 = Bcast(&points[i][1]), p2 = Bcast(&points[i][2]);
    int k = n;
    for (int j = 0; j < n; j += kLanes) {
      int same = MaskOf(And(And(Equal(Load(&u[0][j]), p0), Equal(Load(&u[1][j]), p1)), Equal(Load(&u[2][j]), p2)));
      if (n - j < kLanes) same &= (1 << (n - j)) - 1;
      if (same != 0) {
        k = j + __builtin_ctz(static_cast<unsigned>(same));
        break;
      }
    }
    if (k == n) {
      for (int c = 0; c < 3; ++c) u[c][n] = colours[n][c] = points[i][c];
      counts[n] = 0.0;
      ++n;
    }
    counts[k] += 1.0;
    of_point[i] = k;
  }
  return n;
}

const st_BlockKernels kKernels = {&SplitNear,    &EndpointNear,      &EndpointIndices, &BlockError,
                                  &OrderByProjection, &DominantAxis, &FarthestPairAxis, &DistinctColours};

}  // namespace
}  // namespace dds
