// Reads arbitrary bytes as a tiled-image record. No device exists, so only the reader runs: a
// refused record must leave no tiles, and an accepted one a grid that matches its tiles.
#include <cstddef>
#include <cstdint>

#include "base/File.h"
#include "graphics/image/Image.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.img")) return 0;
  gfx::cl_Image image;
  image.Read(&f);
  if (f.has_error() && image.GetTileCount() != 0) __builtin_trap();
  if (!f.has_error()) {
    const gfx::st_TileAxis& c = image.GetColumns();
    const gfx::st_TileAxis& r = image.GetRows();
    if (c.count > gfx::st_TileAxis::kMax || r.count > gfx::st_TileAxis::kMax) __builtin_trap();
    if (image.GetTileCount() != c.count * r.count) __builtin_trap();
  }
  image.Draw(0.0f, 0.0f, 1.0f);  // without a device: nothing, but it must not fault
  return 0;
}
