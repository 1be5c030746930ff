// Error diffusion that cuts an 8-bit RGBA image to fewer bits per channel before a palette is
// built, spreading each pixel's rounding error over its right and lower neighbours.
#pragma once

#include "dds/CompressImage.h"

namespace dds {

// Keeps `alpha_bits`, `red_bits`, `green_bits`, `blue_bits` (1..8) of each channel, in place.
void DitherRGBA(Image& image, i32 alpha_bits, i32 red_bits, i32 green_bits, i32 blue_bits);

// The same for red, green and blue; the alpha bytes are left as they were.
void DitherRGB(Image& image, i32 red_bits, i32 green_bits, i32 blue_bits);

}  // namespace dds
