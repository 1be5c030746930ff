#include "dds/image/Dither.h"

#include <algorithm>
#include <vector>

namespace dds {
namespace {

// The working copy is 12-bit fixed point in 16-bit cells; sums wrap like the 16-bit arithmetic
// the error terms were tuned for.
i16 Wrap(i32 v) { return static_cast<i16>(static_cast<u16>(static_cast<u32>(v) & 0xFFFF)); }

i32 MaskFor(i32 bits) {
  bits = std::clamp(bits, 1, 8);
  return (1 << (12 - bits)) - 1;
}

// channels[c] is the number of bits kept for byte c of each pixel; 0 leaves the byte alone.
void Diffuse(Image& image, const i32 bits[4]) {
  const i32 w = image.width, h = image.height;
  if (w <= 0 || h <= 0) return;
  const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  if (image.pixels.size() < count) return;
  u8* bytes = reinterpret_cast<u8*>(image.pixels.data());
  std::vector<i16> work(count * 4);
  for (std::size_t i = 0; i < count * 4; ++i) work[i] = static_cast<i16>(bytes[i] * 16);

  i32 mask[4], half[4];
  for (int c = 0; c < 4; ++c) {
    mask[c] = MaskFor(bits[c]);
    half[c] = mask[c] / 2;
  }
  auto at = [&](i32 x, i32 y, int c) -> i16& {
    return work[(static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + x) * 4 + c];
  };
  for (i32 y = 0; y < h; ++y) {
    for (i32 x = 0; x < w; ++x) {
      const bool diffuse = y < h - 1 && x < w - 1;
      for (int c = 0; c < 4; ++c) {
        if (bits[c] == 0) continue;
        i16& v = at(x, y, c);
        const i32 q = (v + half[c]) & ~mask[c];
        const i32 e = v - q;
        v = Wrap(q);
        if (!diffuse) continue;
        i16& right = at(x + 1, y, c);
        right = Wrap(right + e / 2);
        i16& below = at(x, y + 1, c);
        below = Wrap(below + e / 4);
        if (x > 0) {
          i16& below_left = at(x - 1, y + 1, c);
          below_left = Wrap(below_left + e / 8);
        }
        if (x > 2) {
          i16& far_left = at(x - 3, y + 1, c);
          far_left = Wrap(far_left + e / 8);
        }
      }
    }
  }
  for (std::size_t i = 0; i < count * 4; ++i) {
    const int c = static_cast<int>(i & 3);
    if (bits[c] == 0) continue;
    const i32 v = std::clamp(work[i] >> 4, 0, 255);
    bytes[i] = static_cast<u8>(v & ~(mask[c] >> 4));
  }
}

}  // namespace

void DitherRGBA(Image& image, i32 alpha_bits, i32 red_bits, i32 green_bits, i32 blue_bits) {
  const i32 bits[4] = {std::clamp(red_bits, 1, 8), std::clamp(green_bits, 1, 8),
                       std::clamp(blue_bits, 1, 8), std::clamp(alpha_bits, 1, 8)};
  Diffuse(image, bits);
}

void DitherRGB(Image& image, i32 red_bits, i32 green_bits, i32 blue_bits) {
  const i32 bits[4] = {std::clamp(red_bits, 1, 8), std::clamp(green_bits, 1, 8),
                       std::clamp(blue_bits, 1, 8), 0};
  Diffuse(image, bits);
}

}  // namespace dds
