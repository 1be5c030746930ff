// Frames and surfaces written as PNG files, for screenshots of tests and tools.
#pragma once

#include <cstdint>

namespace gpu {

class Surface;

// Writes width × height pixels 0xAARRGGBB (top row first, rows `pitch` bytes apart) to `path`
// through a temporary file renamed into place. `keepAlpha` false writes opaque RGB.
bool WritePng(const char* path, uint32_t width, uint32_t height, const void* pixels, uint32_t pitch, bool keepAlpha);

// Locks an A8R8G8B8 or X8R8G8B8 surface read-only and writes it.
bool SaveSurfacePng(Surface* surface, const char* path);

}  // namespace gpu
