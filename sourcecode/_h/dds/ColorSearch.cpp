// Which colour fits run for a block, by quality and colour policy, and which result is kept;
// at quality 72 an exhaustive search over endpoint pairs along the principal axis follows.
#include "dds/ColorBlock.h"
#include "dds/TextureCompressOptions.h"

#include <cmath>
#include <cstring>

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

double SearchAlongAxis(const CompressorContext& context, BlockState& block, double best_error) {
  const int n = block.count;
  const double w[3] = {block.weight_r, block.weight_g, block.weight_b};
  double weighted[kMaxBlockPoints][3];
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) weighted[i][c] = block.points[i][c] * w[c];
  double centroid[3], d[3];
  FitPrincipalAxis(&weighted[0][0], n, centroid, d);

  BlockState& work = block;
  static thread_local BlockState best;  // 14 KB: too large to copy onto small thread stacks
  best = block;

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
    for (int i = 0; i <= 30 && best_error > 0.0; ++i) {
      int a_i, b_i;
      derive(i, a_i, b_i);
      for (int j = i + 1; j <= top_j && best_error > 0.0; ++j) {
        int a_j, b_j;
        derive(j, a_j, b_j);
        for (int d1 = -1; d1 <= 1; ++d1)
          for (int d2 = -1; d2 <= 1; ++d2)
            for (int d3 = -1; d3 <= 1; ++d3)
              for (int d4 = -1; d4 <= 1 && best_error > 0.0; ++d4) {
                int e0[3], e1[3];
                e0[drive] = i;
                e1[drive] = j;
                e0[o1] = a_i + d1;
                e0[o2] = b_i + d2;
                e1[o1] = a_j + d3;
                e1[o2] = b_j + d4;
                TryEndpoints(context, work, best, best_error, e0[0], e0[1], e0[2], e1[0], e1[1],
                             e1[2]);
              }
      }
    }
  }
  CopyResult(best, block);
  return best_error;
}

void CompressColorBlock(const CompressorContext& context, BlockState& block) {
  const int quality = block.quality;
  static thread_local Result saved;
  if (quality == 68) {
    if (block.color_policy == 0) {
      // Transparent pixels need the three-colour mode: a four-colour result would make them
      // opaque, so the four-colour fit is not a candidate here.
      FastFitColorBlock(block, 3);
      return;
    }
    FastFitColorBlock(block, 4);
    if (block.color_policy == 1) return;
    saved.Save(block);
    const double e1 = ComputeBlockError(block);
    FastFitColorBlock(block, 3);
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

  static thread_local Result states[4];  // S1 full 4, S2 full 3, S3 fast 3, S4 fast 4
  double errors[4] = {kNoError, kNoError, kNoError, kNoError};
  CompressDXTBlock(context, block, 4);
  errors[0] = ComputeBlockError(block);
  states[0].Save(block);
  CompressDXTBlock(context, block, 3);
  errors[1] = ComputeBlockError(block);
  states[1].Save(block);
  if (quality == 71 || quality == 72) {
    FastFitColorBlock(block, 3);
    errors[2] = ComputeBlockError(block);
    states[2].Save(block);
    FastFitColorBlock(block, 4);
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
