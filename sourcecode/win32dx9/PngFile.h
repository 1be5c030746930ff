// Pictures written by name as PNG files: screenshots, the tools' and the play driver's shots,
// reviewed test pictures. Encoded in memory first, then written by base's one safe writer
// (cl_SafeFile): a failed write keeps the old picture, a link at a temporary name is not
// followed, and a named pipe or a device at the name is written through, never replaced.
#pragma once

#include <cstdint>

namespace gpu {
class Surface;
}

namespace win32dx9 {

// width × height pixels 0xAARRGGBB (top row first, rows pitch bytes apart) to path; keepAlpha
// false makes opaque RGB. False when the arguments are bad or the file is not written (logged
// with the cause).
bool SavePng(const char* path, uint32_t width, uint32_t height, const void* pixels, uint32_t pitch, bool keepAlpha);
// Locks an A8R8G8B8 or X8R8G8B8 surface read-only and writes it (its alpha only for A8R8G8B8).
bool SaveSurfacePng(gpu::Surface* surface, const char* path);

}  // namespace win32dx9
