// The interpolated alpha encoding of DXT5 (and of each channel of an ATI2 block): the level fit,
// the five-candidate block fit with the special codes for exact 0 and 1, and the fast fit.
#pragma once

#include "dds/block/BlockState.h"

namespace dds {

// Fits two endpoints and a level (0..levels − 1) per value for 8 or 6 equally spaced levels.
// Writes endpoints (a0 at level 0, a1 at the last level) and indices; returns the summed squared
// error in 0..255 units. With n = 0 returns 0 and writes nothing.
double FitAlphaLevels(int levels, int n, const double* values, int endpoints[2], int* indices);

// Chooses eight or six levels, the endpoints and the indices (special codes 6 for 0.0 and 7 for
// 1.0 in the six-level mode). Quality 68 runs the fast fit instead.
void FitAlphaBlock(const CompressorContext& context, AlphaBlockState& block);

// Min/max endpoints (alpha0 ≥ alpha1) and the nearest of eight levels; leaves level_count.
void FastFitAlphaBlock(AlphaBlockState& block);

}  // namespace dds
