// Frames encoded as PNG files' bytes, and the rule reviewed pictures are compared by. Files are
// written by name above the engine's base (win32dx9/PngFile.h), through its one safe writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gpu {

// Encodes width × height pixels 0xAARRGGBB (top row first, rows `pitch` bytes apart) as a PNG
// file's bytes into out. `keepAlpha` false makes opaque RGB. False (out empty) on bad arguments.
bool EncodePng(uint32_t width, uint32_t height, const void* pixels, uint32_t pitch, bool keepAlpha,
               std::vector<uint8_t>& out);
// How far two pictures of count pixels (0x??RRGGBB) are apart: the mean difference per red,
// green and blue channel, and how many pixels have a channel off by more than farDifference.
// The rule reviewed pictures are compared by.
struct PictureDifference {
  double mean = 0.0;
  size_t far = 0;
};
PictureDifference ComparePixels(const uint32_t* a, const uint32_t* b, size_t count, int farDifference);

}  // namespace gpu
