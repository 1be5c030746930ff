// The colour part of a DXT block: the fits that choose a palette size, two 5:6:5 endpoints and
// an index per point, the block error that compares them, and the search that picks among them
// by quality. All operations work on the caller's BlockState and allocate nothing.
#pragma once

#include "dds/block/BlockState.h"

namespace dds {

// ---- search (by options.quality and block.color_policy)

// Leaves the best encoding found in `block` (color_mode, endpoints, indices).
void CompressColorBlock(const CompressorContext& context, BlockState& block);
// Quality 72: tries endpoint pairs along the principal axis; returns the best error reached.
double SearchAlongAxis(const CompressorContext& context, BlockState& block, double best_error);
// Mean of `count` points and the unit direction of the line that fits them best (or zero).
void FitPrincipalAxis(const double* points, int count, double centroid[3], double direction[3]);
// Tries one endpoint pair (three- then four-colour for DXT1); keeps it in `best` if it wins.
void TryEndpoints(const CompressorContext& context, BlockState& block, BlockState& best,
                  double& best_error, int red0, int green0, int blue0, int red1, int green1,
                  int blue1);

// ---- full fit

// What the full fit computes alike for both palette sizes of one block: the weighted points,
// the distinct colours with their weights, the principal axis, the order along it and the
// farthest pair's direction. Filled by the first CompressDXTBlock given it, read by the next
// ones, which must fit the same points with the same weights.
struct FullFitShared {
  bool ready = false;
  bool all_equal = false;
  int n = 0;  // distinct colours
  double x[kMaxBlockPoints][3];  // the points times the weights
  double mean[3], lo[3], hi[3];  // of x; the colour cube around the mean
  double u[kMaxBlockPoints][3];  // distinct colours of x, in order of first occurrence
  double freq[kMaxBlockPoints];  // their share of the points
  double sums[kMaxBlockPoints][3];  // freq · (u − mean)
  int of_point[kMaxBlockPoints];  // each point's distinct colour
  double axis[3], farthest[3];    // principal axis; direction of the farthest pair (n ≥ 3)
  int order[kMaxBlockPoints];     // the colours along the principal axis (n ≥ 3)
};

// Least-squares cluster fit in mode 4 (both palette sizes allowed) or 3 (three colours only).
// Clamps points and weights to 0..1 in place. `shared`, when given, carries the work both modes
// share from one call to the next on the same points.
void CompressDXTBlock(const CompressorContext& context, BlockState& block, int mode,
                      FullFitShared* shared = nullptr);
// Blocks of one colour; `mode` becomes the palette size used. Returns the error.
double EncodeSingleColor(BlockState& block, int& mode, int count, const double* weighted_points,
                         int endpoints[6], int* indices);
// Nearest palette index for every point not marked −1 (written to indices) and the summed
// weighted squared error in 0..255 units. Three-colour mode never uses the transparent code.
double ComputeBlockError(BlockState& block);

// ---- endpoint quantisation

// Continuous endpoints (weighted space) to 5:6:5 codes, palette size and an index per distinct
// colour; tries the placements of the fitted colours in the palette. Returns the error.
double QuantizeEndpoints(const CompressorContext& context, int& color_mode, int mode, int n,
                         const double* colours, const double* frequencies,
                         const double weights[3], const double endpoints[6], int codes[6],
                         int* indices);
// The 64-combination grid search around one endpoint pair for one palette size.
double FitColorEndpoints(int palette_size, int n, const double* colours,
                         const double* frequencies, const double weights[3],
                         const double endpoints[6], int codes[6], int* indices);

// ---- fast fits

// What both fast fits of one block compute alike (mean, principal axis, extent along it), so
// that a caller running both on the same points computes it once. state 0: not yet computed.
struct FastFitAxis {
  int state = 0;  // 0 not computed, 1 computed, 2 the fits fall back to one colour
  float mean[3] = {}, axis[3] = {};
  float qmin = 0.0f, qmax = 0.0f;
};

// Formats 0, 1, 2, 3, 24: FastFitThreeColor when mode is 3, else FastFitFourColor. `shared`, when
// given, carries the axis work from one call to the next on the same points.
void FastFitColorBlock(BlockState& block, int mode, FastFitAxis* shared = nullptr);
// Mode 3 runs FastFitThreeColor, any other FastFitFourColor.
void FastFitByMode(BlockState& block, int mode);
// Range fits along the power-iteration axis, snapped to 5:6:5.
void FastFitThreeColor(BlockState& block);
void FastFitFourColor(BlockState& block);
// Four-colour mode with both endpoints the first point's colour, every index 0.
void SingleColorFallback(BlockState& block);

}  // namespace dds
