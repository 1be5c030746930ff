// Whole-image resizing on top of the resampler: the form the level pipeline uses for shrinking an
// input image and for making each mip level from level 0.
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

struct FilterDesc;

// Resamples all of `src` into a width x height `dst` with `filter` on both axes. A non-zero gamma
// g filters c^(1/g) and stores the result as c^g. `modulate` weights colour by alpha while rows
// are accumulated. An empty source or size leaves `dst` empty.
void ResampleImage(const FloatImage& src, FloatImage& dst, u32 width, u32 height,
                   const FilterDesc& filter, f32 gamma, bool modulate);

// Regenerates levels[first..] of a chain from level 0, each level directly from level 0 at
// (max(1, w >> i), max(1, h >> i)), resizing `levels` to `count` first.
void ResampleChain(tVector<FloatImage>& levels, u32 count, u32 first, const FilterDesc& filter,
                   f32 gamma, bool modulate);

}  // namespace dds
