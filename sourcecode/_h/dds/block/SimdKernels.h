// The block codec's vector kernels, one table per instruction set. The two searches (the
// least-squares split and the endpoint grid) estimate every candidate's score in single
// precision, eight or four at a time, and name the few whose estimate comes near the best; the
// caller scores those exactly with the scalar code's own arithmetic and picks as the scalar
// search would. The estimates carry error bounds, so no candidate that could win is left out and
// the encoder writes the same bytes on every path. The block error is exact, lane by lane.
#pragma once

#include "dds/block/BlockState.h"

namespace dds {

// The split kernel serves blocks of up to this many distinct colours (a 4×4 block has 16): its
// rows stay on the stack, and a few thousand splits leave the near-ratio margin wide apart.
inline constexpr int kMaxSplitColours = 32;
// Zeros past the last entry of a suffix table, so that a group of lanes may run over its end.
inline constexpr int kSplitPad = 8;

// Suffix sums over the ordered colours, b = 0..n: w[b] = Σ freq of order[b..n−1], s[c][b] the
// same of the colours' weighted sums (colour minus mean, times freq), rounded to float.
struct st_SplitSums {
  float w[kMaxSplitColours + 1 + kSplitPad];
  float s[3][kMaxSplitColours + 1 + kSplitPad];
};

// A split of the ordered colours: [b1, b2) on level 1, [b2, b3) on level 2, [b3, n) on level 3.
struct st_SplitIndex {
  int b1, b2, b3;
};

// The splits worth an exact score are those whose ratio q/d comes this close to the best: far
// above the rounding of the scalar search's cross-multiplied comparisons (a few units of
// 2^-53), far below the gaps between the scores of different splits.
inline constexpr double kNearRatio = 1.0 - 1e-9;

struct st_BlockKernels {
  // Every split into levels 0..limit (2 or 3, b3 = n for 2) but the one with all on level 0
  // whose ratio q/d (q = |s|², d the variance of the levels) may reach kNearRatio times the
  // best ratio, appended to `out` in no particular order. Returns the count, or −1 for more
  // than kMaxSplitColours colours or more than `capacity` splits to name.
  int (*split_near)(int limit, int n, const st_SplitSums& sums, st_SplitIndex* out, int capacity);
  // The combinations z = kr + 4·kg + 16·kb of the endpoint grid whose total, Σ over colours of
  // the least over the first `entries` palette entries of red + green + blue (each channel's
  // term f·(u − pal[c][k][j])²), may be the least, ascending into `near`; found from
  // single-precision totals and their error bound. Returns the count, or −1 when a total is not
  // a finite number.
  int (*endpoint_near)(int n, int entries, const double* colours, const double* frequencies,
                       const double pal[3][4][4], int near[64]);
  // For one combination of the endpoint grid (pal[c]: channel c's four entries), each colour's
  // nearest entry among the first `entries` by (red + green) + blue of f·(u − pal[c][j])², the
  // first on a tie, into `indices`; returns those distances summed in colour order.
  double (*endpoint_indices)(int n, int entries, const double* colours, const double* frequencies,
                             const double* const pal[3], int* indices);
  // ComputeBlockError: nearest entry per point (−1 points skipped) and the summed error.
  double (*block_error)(BlockState& block);
  // The points' order by projection on the axis, ties by index (ascending for tie rule 0,
  // descending for 1): the stable sort's result. Returns 1 when projections tie, 0 when none
  // do (the order is then the same under either rule), −1 (order untouched) when a projection
  // is not a number.
  int (*order_by_projection)(int n, const double (*points)[3], const double axis[3], int* order, int tie_rule);
  // The scatter matrix of `n` centred points raised to the 2^24th power by repeated squaring
  // (rescaled to trace 3.5 before each 256th power) and its last square root's column of the
  // largest diagonal entry, normalised: the principal axis, as the scalar code computes it.
  void (*dominant_axis)(int n, const double (*points)[3], double axis[3]);
  // The direction between the first pair (i ≤ j, in that order) farthest apart.
  void (*farthest_pair_axis)(int n, const double (*points)[3], double axis[3]);
  // The distinct points in order of first occurrence into `colours`, how often each occurs
  // into `counts`, each point's distinct colour into `of_point`; returns their number.
  int (*distinct_colours)(int count, const double (*points)[3], double (*colours)[3], double* counts,
                          int* of_point);
};

const st_BlockKernels& Sse41BlockKernels();
const st_BlockKernels& Avx2BlockKernels();

}  // namespace dds
