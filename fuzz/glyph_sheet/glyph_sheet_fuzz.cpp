// Random RGBA glyph sheets through the scan: the first two bytes give the sheet's width and
// height (1 to 256), the rest its pixels (zero-filled when short). Every glyph rectangle must
// lie on the sheet and the metrics must be finite.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/Imaging.h"
#include "graphics/font/TextureFont.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size) || size < 2) return 0;
  const int w = data[0] + 1, h = data[1] + 1;
  base::cl_Bitmap32 sheet;
  sheet.Create(w, h);
  const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
  std::memset(sheet.GetPixels(), 0, bytes);
  std::memcpy(sheet.GetPixels(), data + 2, std::min(bytes, size - 2));
  gfx::st_GlyphSheet result;
  gfx::ScanGlyphSheet(sheet, result);
  if (!std::isfinite(result.spaceWidth) || result.lineHeight < 1.0f || result.lineHeight > h) __builtin_trap();
  for (const float* g : result.glyphs)
    for (int i = 0; i < 4; ++i)
      if (!(g[i] >= 0.0f && g[i] <= 1.0f)) __builtin_trap();
  return 0;
}
