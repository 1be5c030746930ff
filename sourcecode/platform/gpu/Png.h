// Frames and surfaces written as PNG files, for screenshots of tests and tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gpu {

class Surface;

// Encodes width × height pixels 0xAARRGGBB (top row first, rows `pitch` bytes apart) as a PNG
// file's bytes into out. `keepAlpha` false makes opaque RGB. False (out empty) on bad arguments.
bool EncodePng(uint32_t width, uint32_t height, const void* pixels, uint32_t pitch, bool keepAlpha,
               std::vector<uint8_t>& out);
// Encodes and writes to `path` through "<path>.tmp" renamed into place, every write checked; the
// old file stays when anything fails. For tests and tools: the engine writes the bytes of
// EncodePng through base's crash-safe SaveFileSafely (temporary file, fsync, rename).
bool WritePng(const char* path, uint32_t width, uint32_t height, const void* pixels, uint32_t pitch, bool keepAlpha);

// Locks an A8R8G8B8 or X8R8G8B8 surface read-only and writes it.
bool SaveSurfacePng(Surface* surface, const char* path);

// How far two pictures of count pixels (0x??RRGGBB) are apart: the mean difference per red,
// green and blue channel, and how many pixels have a channel off by more than farDifference.
// The rule reviewed pictures are compared by.
struct PictureDifference {
  double mean = 0.0;
  size_t far = 0;
};
PictureDifference ComparePixels(const uint32_t* a, const uint32_t* b, size_t count, int farDifference);

}  // namespace gpu
