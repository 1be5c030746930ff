// Frames and surfaces written as PNG files, for screenshots of tests and tools.
#pragma once

#include <cstdint>
#include <vector>

namespace gpu {

class Surface;

// Encodes width × height pixels 0xAARRGGBB (top row first, rows `pitch` bytes apart) as a PNG
// file's bytes into out. `keepAlpha` false makes opaque RGB. False (out empty) on bad arguments.
bool EncodePng(uint32_t width, uint32_t height, const void* pixels, uint32_t pitch, bool keepAlpha,
               std::vector<uint8_t>& out);
// Encodes and writes to `path` through a temporary file, fsynced and renamed into place; the old
// file stays when anything fails. (The engine writes through base's SaveFileSafely instead.)
bool WritePng(const char* path, uint32_t width, uint32_t height, const void* pixels, uint32_t pitch, bool keepAlpha);

// Locks an A8R8G8B8 or X8R8G8B8 surface read-only and writes it.
bool SaveSurfacePng(Surface* surface, const char* path);

}  // namespace gpu
