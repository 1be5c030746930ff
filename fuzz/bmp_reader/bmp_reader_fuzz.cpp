// Reads arbitrary bytes as a 24-bit and as an 8-bit BMP file: the readers must check every
// header field that decides where pixels lie and never read past the data.
#include <cstddef>
#include <cstdint>

#include "base/Imaging.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  base::cl_Bitmap24 colour;
  if (base::ReadBMP24(data, static_cast<int>(size), "fuzz.bmp", colour)) {
    // Touch every pixel, so a wrong size shows up under the sanitizer.
    unsigned sum = 0;
    for (int i = 0; i < colour.NumPixels(); ++i) sum += colour.GetPixels()[i].r;
    if (colour.IsEmpty() || sum == 0xFFFFFFFFu) __builtin_trap();
  } else if (!colour.IsEmpty()) {
    __builtin_trap();
  }
  base::cl_Bitmap8 indices;
  if (!base::ReadBMP8(data, static_cast<int>(size), "fuzz.bmp", indices) && !indices.IsEmpty()) __builtin_trap();
  return 0;
}
