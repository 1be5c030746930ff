// Reads arbitrary bytes as a texture-strip record, then plays and hit-tests what was read. No
// device exists, so drawing selects frames only.
#include <cstddef>
#include <cstdint>

#include "base/File.h"
#include "graphics/image/TextureStrip.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.strip")) return 0;
  gfx::cl_TextureStrip strip;
  strip.Read(&f);
  if (f.has_error() && strip.GetFrameCount() != 0) __builtin_trap();
  // Whatever speed and mode came in, playback and frame selection stay in range.
  for (int i = 0; i < 8; ++i) {
    strip.Update(0.1f);
    strip.DrawFrame(0.0f, 0.0f, strip.GetPosition(), 1.0f);
    if (strip.GetCurrentFrame() && (strip.GetFrameIndex() < 0 || strip.GetFrameIndex() >= strip.GetFrameCount()))
      __builtin_trap();
  }
  strip.IsInside(1.0f, 1.0f, 1.0f);
  return 0;
}
