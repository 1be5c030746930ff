// Which colour fits run for a block, by quality and colour policy, and which result is kept;
// at quality 72 an exhaustive search over endpoint pairs along the principal axis follows.
#include "dds/block/ColorBlock.h"
#include "dds/TextureCompressOptions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wmisleading-indentation"
#include <jama_eig.h>
#include <tnt_array1d.h>
#include <tnt_array2d.h>
#pragma GCC diagnostic pop

namespace dds {
namespace {

// The part of a block the fits change; saving it stands for copying the whole record.
struct Result {
  int color_mode;
  int codes[6];
  int indices[kMaxBlockPoints];

  void Save(const BlockState& b) {
    color_mode = b.color_mode;
    codes[0] = b.red0;
    codes[1] = b.green0;
    codes[2] = b.blue0;
    codes[3] = b.red1;
    codes[4] = b.green1;
    codes[5] = b.blue1;
    std::memcpy(indices, b.indices, sizeof(int) * static_cast<size_t>(b.count));
  }
  void Restore(BlockState& b) const {
    b.color_mode = color_mode;
    b.red0 = codes[0];
    b.green0 = codes[1];
    b.blue0 = codes[2];
    b.red1 = codes[3];
    b.green1 = codes[4];
    b.blue1 = codes[5];
    std::memcpy(b.indices, indices, sizeof(int) * static_cast<size_t>(b.count));
  }
};

void CopyResult(const BlockState& from, BlockState& to) {
  Result r;
  r.Save(from);
  to.count = from.count;
  r.Restore(to);
}

// ComputeBlockError that gives up once the sum reaches `bound` (the terms are never negative,
// so a sum that gets there cannot win); below the bound the result is the same number.
double BoundedBlockError(BlockState& block, double bound) {
  const int c0[3] = {(block.red0 << 3) | (block.red0 >> 2),
                     (block.green0 << 2) | (block.green0 >> 4),
                     (block.blue0 << 3) | (block.blue0 >> 2)};
  const int c1[3] = {(block.red1 << 3) | (block.red1 >> 2),
                     (block.green1 << 2) | (block.green1 >> 4),
                     (block.blue1 << 3) | (block.blue1 >> 2)};
  double palette[4][3];
  for (int c = 0; c < 3; ++c) {
    palette[0][c] = c0[c];
    palette[1][c] = c1[c];
    palette[2][c] = block.color_mode == 3 ? (c0[c] + c1[c]) / 2 : (2 * c0[c] + c1[c]) / 3;
    palette[3][c] = (c0[c] + 2 * c1[c]) / 3;
  }
  const int entries = block.color_mode == 3 ? 3 : 4;
  const double w[3] = {block.weight_r, block.weight_g, block.weight_b};
  double total = 0.0;
  for (int i = 0; i < block.count; ++i) {
    if (block.indices[i] == -1) continue;
    double best_d = 0.0;
    int best = 0;
    for (int j = 0; j < entries; ++j) {
      double d = 0.0;
      for (int c = 0; c < 3; ++c) {
        const double e = (block.points[i][c] * 255.0 - palette[j][c]) * w[c];
        d += e * e;
      }
      if (j == 0 || d < best_d) {
        best_d = d;
        best = j;
      }
    }
    block.indices[i] = best;
    total += best_d;
    if (total >= bound) return total;
  }
  return total;
}

// Integer part of a derived code; values far outside every code range become −1 (skipped).
int DerivedCode(float v) {
  if (!(v > -2.0f && v < 1000.0f)) return -1;
  return static_cast<int>(v);
}

constexpr float kNoError = 3.4028234663852886e38f;

}  // namespace

void FitPrincipalAxis(const double* points, int count, double centroid[3], double direction[3]) {
  for (int c = 0; c < 3; ++c) centroid[c] = direction[c] = 0.0;
  if (count < 1) return;
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) centroid[c] += points[3 * i + c];
  for (int c = 0; c < 3; ++c) centroid[c] *= 1.0 / count;
  double sxx = 0, syy = 0, szz = 0, sxy = 0, sxz = 0, syz = 0;
  for (int i = 0; i < count; ++i) {
    const double x = points[3 * i] - centroid[0];
    const double y = points[3 * i + 1] - centroid[1];
    const double z = points[3 * i + 2] - centroid[2];
    sxx += x * x;
    syy += y * y;
    szz += z * z;
    sxy += x * y;
    sxz += x * z;
    syz += y * z;
  }
  // The line of least squared distance is the eigenvector of the smallest eigenvalue of the
  // inertia matrix.
  TNT::Array2D<double> m(3, 3);
  m[0][0] = syy + szz;
  m[0][1] = -sxy;
  m[0][2] = -sxz;
  m[1][0] = -sxy;
  m[1][1] = sxx + szz;
  m[1][2] = -syz;
  m[2][0] = -sxz;
  m[2][1] = -syz;
  m[2][2] = sxx + syy;
  JAMA::Eigenvalue<double> eig(m);
  TNT::Array2D<double> v;
  TNT::Array1D<double> d;
  eig.getV(v);
  eig.getRealEigenvalues(d);
  int k = 0;
  for (int i = 1; i < 3; ++i)
    if (d[i] < d[k]) k = i;
  double len2 = 0.0;
  for (int c = 0; c < 3; ++c) {
    direction[c] = v[c][k];
    len2 += direction[c] * direction[c];
  }
  if (std::fabs(len2 - 1.0) >= 2.220446049250313e-16) {
    if (len2 < 4.930380657631324e-32) {
      for (int c = 0; c < 3; ++c) direction[c] = 0.0;
    } else {
      const double len = std::sqrt(len2);
      for (int c = 0; c < 3; ++c) direction[c] /= len;
    }
  }
}

void TryEndpoints(const CompressorContext&, BlockState& block, BlockState& best,
                  double& best_error, int red0, int green0, int blue0, int red1, int green1,
                  int blue1) {
  if (red0 < 0 || red0 > 31 || blue0 < 0 || blue0 > 31 || red1 < 0 || red1 > 31 || blue1 < 0 ||
      blue1 > 31 || green0 < 0 || green0 > 63 || green1 < 0 || green1 > 63)
    return;
  block.red0 = red0;
  block.green0 = green0;
  block.blue0 = blue0;
  block.red1 = red1;
  block.green1 = green1;
  block.blue1 = blue1;
  if (block.format == 0 || block.format == 1) {
    block.color_mode = 3;
    const double e = BoundedBlockError(block, best_error);
    if (e < best_error) {
      CopyResult(block, best);
      best_error = e;
    }
  }
  block.color_mode = 4;
  const double e = BoundedBlockError(block, best_error);
  if (e < best_error) {
    CopyResult(block, best);
    best_error = e;
  }
}

namespace {

// The axis search tries up to 2,480 endpoint pairs with 81 offsets each. It works from
// per-channel tables of squared, weighted distances: a point's distance to a palette entry is
// the sum of its red, green and blue terms, added in that order as ComputeBlockError adds them,
// so every error here is the same number TryEndpoints would get. Sums of non-negative terms
// only grow, which lets whole groups of candidates be skipped by a lower bound without changing
// the outcome.
class AxisSearch {
 public:
  AxisSearch(const BlockState& block, double best_error) : best_(best_error) {
    n_ = 0;
    for (int i = 0; i < block.count; ++i) {
      if (block.indices[i] == -1) continue;
      for (int c = 0; c < 3; ++c) x_[n_][c] = block.points[i][c] * 255.0;
      ++n_;
    }
    w_[0] = block.weight_r;
    w_[1] = block.weight_g;
    w_[2] = block.weight_b;
    try_three_ = block.format == 0 || block.format == 1;
  }

  double best() const { return best_; }
  bool improved() const { return improved_; }
  const int* codes() const { return codes_; }
  int mode() const { return mode_; }

  // Entries: 0 c0, 1 c1, 2 midpoint (three colours), 3 and 4 the thirds (four colours).
  void Table(int channel, int code0, int code1, double (*out)[5]) const {
    const int bits = channel == 1 ? 6 : 5;
    const int e0 = (code0 << (8 - bits)) | (code0 >> (2 * bits - 8));
    const int e1 = (code1 << (8 - bits)) | (code1 >> (2 * bits - 8));
    const double p[5] = {static_cast<double>(e0), static_cast<double>(e1),
                         static_cast<double>((e0 + e1) / 2),
                         static_cast<double>((2 * e0 + e1) / 3),
                         static_cast<double>((e0 + 2 * e1) / 3)};
    for (int i = 0; i < n_; ++i)
      for (int k = 0; k < 5; ++k) {
        const double e = (x_[i][channel] - p[k]) * w_[channel];
        out[i][k] = e * e;
      }
  }

  // Σ over points of the least entry of one table (or of two tables added): a lower bound of
  // every full error built on them.
  double Bound(const double (*a)[5], const double (*b)[5]) const {
    double total = 0.0;
    for (int i = 0; i < n_; ++i) {
      double m = b ? a[i][0] + b[i][0] : a[i][0];
      for (int k = 1; k < 5; ++k) m = std::min(m, b ? a[i][k] + b[i][k] : a[i][k]);
      total += m;
    }
    return total;
  }

  // Both modes of one endpoint pair, as TryEndpoints does; t[c] is channel c's table. The two
  // sums run side by side: each is exact as long as it stays below the best error, and only
  // then can it win, so the outcome is that of trying three colours first, then four.
  void Try(const double (*const t[3])[5], const int codes[6]) {
    const double (*r)[5] = t[0];
    const double (*g)[5] = t[1];
    const double (*b)[5] = t[2];
    double total3 = 0.0, total4 = 0.0;
    const double bound = best_;
    if (try_three_) {
      for (int i = 0; i < n_; ++i) {
        double d[5];
        for (int k = 0; k < 5; ++k) d[k] = r[i][k] + g[i][k] + b[i][k];
        total3 += std::min(std::min(d[0], d[1]), d[2]);
        total4 += std::min(std::min(d[0], d[1]), std::min(d[3], d[4]));
        if (total3 >= bound && total4 >= bound) return;
      }
      if (total3 < best_) Accept(total3, 3, codes);
    } else {
      for (int i = 0; i < n_; ++i) {
        const double d0 = r[i][0] + g[i][0] + b[i][0], d1 = r[i][1] + g[i][1] + b[i][1];
        const double d3 = r[i][3] + g[i][3] + b[i][3], d4 = r[i][4] + g[i][4] + b[i][4];
        total4 += std::min(std::min(d0, d1), std::min(d3, d4));
        if (total4 >= bound) return;
      }
    }
    if (total4 < best_) Accept(total4, 4, codes);
  }

 private:
  void Accept(double total, int mode, const int codes[6]) {
    best_ = total;
    improved_ = true;
    mode_ = mode;
    std::memcpy(codes_, codes, sizeof codes_);
  }

  double best_;
  bool improved_ = false;
  bool try_three_ = false;
  int n_ = 0;
  double x_[kMaxBlockPoints][3];
  double w_[3];
  int codes_[6] = {};
  int mode_ = 4;
};

}  // namespace

double SearchAlongAxis(const CompressorContext&, BlockState& block, double best_error) {
  const int n = block.count;
  const double w[3] = {block.weight_r, block.weight_g, block.weight_b};
  double weighted[kMaxBlockPoints][3];
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) weighted[i][c] = block.points[i][c] * w[c];
  double centroid[3], d[3];
  FitPrincipalAxis(&weighted[0][0], n, centroid, d);

  AxisSearch search(block, best_error);
  // Distance tables by channel and offset pair, sized for the block's points.
  std::vector<double> storage(static_cast<size_t>(3 * 9 * 5) * static_cast<size_t>(std::max(n, 1)));
  auto table = [&](int channel, int slot) {
    return reinterpret_cast<double(*)[5]>(&storage[static_cast<size_t>((channel * 9 + slot) * 5) *
                                                   static_cast<size_t>(std::max(n, 1))]);
  };

  constexpr int kBits[3] = {5, 6, 5};
  for (int drive = 0; drive < 3; ++drive) {
    if (d[drive] == 0.0) continue;
    if (d[drive] < 0.0)
      for (double& v : d) v = -v;
    const int o1 = drive == 0 ? 1 : 0;  // the two derived channels, in channel order
    const int o2 = drive == 2 ? 1 : 2;
    const int top_j = (1 << kBits[drive]) - 1;
    // Codes of the derived channels where the line crosses driving level `i`.
    auto derive = [&](int i, int& a, int& b) {
      const int bits = kBits[drive];
      const int level = (i << (8 - bits)) | (i >> (2 * bits - 8));
      const float product = static_cast<float>(level / 255.0 * w[drive]);
      const float t = static_cast<float>((product - centroid[drive]) / d[drive]);
      auto code = [&](int c) {
        if (w[c] == 0.0) return 0;
        const float p = static_cast<float>(t * d[c] + centroid[c]);
        return DerivedCode(static_cast<float>(p / w[c] * ((1 << kBits[c]) - 1)));
      };
      a = code(o1);
      b = code(o2);
    };
    auto in_range = [&](int c, int code) { return code >= 0 && code < (1 << kBits[c]); };
    for (int i = 0; i <= 30 && search.best() > 0.0; ++i) {
      int a_i, b_i;
      derive(i, a_i, b_i);
      for (int j = i + 1; j <= top_j && search.best() > 0.0; ++j) {
        int a_j, b_j;
        derive(j, a_j, b_j);
        double(*td)[5] = table(drive, 0);
        search.Table(drive, i, j, td);
        if (search.Bound(td, nullptr) >= search.best()) continue;
        // Offset pair (δ, δ') of a derived channel → table slot 3·(δ + 1) + (δ' + 1).
        bool valid[2][9];
        double bound1[9];
        for (int s = 0; s < 9; ++s) {
          const int dl = s / 3 - 1, dr = s % 3 - 1;
          valid[0][s] = in_range(o1, a_i + dl) && in_range(o1, a_j + dr);
          valid[1][s] = in_range(o2, b_i + dl) && in_range(o2, b_j + dr);
          if (valid[0][s]) {
            search.Table(o1, a_i + dl, a_j + dr, table(o1, s));
            bound1[s] = search.Bound(td, table(o1, s));
          }
          if (valid[1][s]) search.Table(o2, b_i + dl, b_j + dr, table(o2, s));
        }
        for (int d1 = -1; d1 <= 1; ++d1)
          for (int d2 = -1; d2 <= 1; ++d2)
            for (int d3 = -1; d3 <= 1; ++d3)
              for (int d4 = -1; d4 <= 1 && search.best() > 0.0; ++d4) {
                const int s1 = 3 * (d1 + 1) + (d3 + 1), s2 = 3 * (d2 + 1) + (d4 + 1);
                if (!valid[0][s1] || !valid[1][s2]) continue;
                if (bound1[s1] >= search.best()) continue;
                int codes[6];
                codes[drive] = i;
                codes[3 + drive] = j;
                codes[o1] = a_i + d1;
                codes[3 + o1] = a_j + d3;
                codes[o2] = b_i + d2;
                codes[3 + o2] = b_j + d4;
                const double(*const t[3])[5] = {
                    drive == 0 ? td : (o1 == 0 ? table(0, s1) : table(0, s2)),
                    drive == 1 ? td : (o1 == 1 ? table(1, s1) : table(1, s2)),
                    drive == 2 ? td : (o1 == 2 ? table(2, s1) : table(2, s2))};
                search.Try(t, codes);
              }
      }
    }
  }
  if (search.improved()) {
    const int* c = search.codes();
    block.red0 = c[0];
    block.green0 = c[1];
    block.blue0 = c[2];
    block.red1 = c[3];
    block.green1 = c[4];
    block.blue1 = c[5];
    block.color_mode = search.mode();
    ComputeBlockError(block);  // the indices that error was measured with
  }
  return search.best();
}

void CompressColorBlock(const CompressorContext& context, BlockState& block) {
  const int quality = block.quality;
  // Points outside 0..1 (a NaN or an infinity from upstream arithmetic included) would reach
  // integer conversions in the fits; the full fit clamps them anyway, so every fit does.
  block.count = std::clamp(block.count, 0, kMaxBlockPoints);
  for (int i = 0; i < block.count; ++i)
    for (double& v : block.points[i]) v = v > 0.0 ? (v < 1.0 ? v : 1.0) : 0.0;
  Result saved;
  if (quality == 68) {
    if (block.color_policy == 0) {
      // Transparent pixels need the three-colour mode: a four-colour result would make them
      // opaque, so the four-colour fit is not a candidate here.
      FastFitColorBlock(block, 3);
      return;
    }
    FastFitAxis shared;
    FastFitColorBlock(block, 4, &shared);
    if (block.color_policy == 1) return;
    saved.Save(block);
    const double e1 = ComputeBlockError(block);
    FastFitColorBlock(block, 3, &shared);
    const double e2 = ComputeBlockError(block);
    if (e2 > e1) saved.Restore(block);
    return;
  }
  if (block.color_policy == 1) {
    FastFitColorBlock(block, 4);
    if (quality == 69) return;
    saved.Save(block);
    const double e1 = ComputeBlockError(block);
    CompressDXTBlock(context, block, 4);
    const double e2 = ComputeBlockError(block);
    if (e2 > e1) saved.Restore(block);
    return;
  }
  if (block.color_policy == 0) {
    CompressDXTBlock(context, block, 3);
    if (quality == 69) return;
    const double e1 = ComputeBlockError(block);
    saved.Save(block);
    FastFitColorBlock(block, 3);
    const double e2 = ComputeBlockError(block);
    // A block with transparent pixels must stay in the three-colour mode.
    if (!(e2 < e1 && block.color_mode == 3)) saved.Restore(block);
    return;
  }

  Result states[4];  // S1 full 4, S2 full 3, S3 fast 3, S4 fast 4
  double errors[4] = {kNoError, kNoError, kNoError, kNoError};
  FullFitShared full;
  CompressDXTBlock(context, block, 4, &full);
  errors[0] = ComputeBlockError(block);
  states[0].Save(block);
  CompressDXTBlock(context, block, 3, &full);
  errors[1] = ComputeBlockError(block);
  states[1].Save(block);
  if (quality == 71 || quality == 72) {
    FastFitAxis shared;
    FastFitColorBlock(block, 3, &shared);
    errors[2] = ComputeBlockError(block);
    states[2].Save(block);
    FastFitColorBlock(block, 4, &shared);
    errors[3] = ComputeBlockError(block);
    states[3].Save(block);
  }
  int winner = -1;
  for (int s : {0, 1, 3, 2}) {
    bool wins = true;
    for (int o = 0; o < 4; ++o) wins = wins && !(errors[s] > errors[o]);
    if (wins) {
      winner = s;
      break;
    }
  }
  double best_error = 1e38;
  if (winner >= 0) {
    states[winner].Restore(block);
    best_error = static_cast<float>(errors[winner]);
  }
  const float threshold = context.options ? context.options->axis_search_threshold : 400.0f;
  if (quality == 72 && threshold < best_error)
    SearchAlongAxis(context, block, best_error);
}

}  // namespace dds
