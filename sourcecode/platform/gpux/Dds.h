// Reading DDS image files: DXT1/3/5, A8R8G8B8, X8R8G8B8 and A8, with their mip levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gpux {

struct DdsLevel {
  uint32_t width, height;
  std::vector<uint8_t> data;  // rows of pixels, or rows of 4×4 blocks
};

struct DdsImage {
  uint32_t format = 0;  // gpu::fmt code
  std::vector<DdsLevel> levels;
};

// True when the bytes start with the DDS signature.
bool IsDds(const void* data, size_t size);

// Parses a whole DDS file. On bad input logs one "ERROR: dds '<name>': ..." line and returns false.
bool ReadDds(const void* data, size_t size, const char* name, DdsImage* out);

// The top level of a DDS file where it lies (nothing copied): its format, size and bytes.
struct DdsTop {
  uint32_t format, width, height;
  const uint8_t* data;
  size_t size;
};
// The header checked as ReadDds checks it, and the top level's bytes; false (logged) as ReadDds.
bool ReadDdsTop(const void* data, size_t size, const char* name, DdsTop* out);

}  // namespace gpux
