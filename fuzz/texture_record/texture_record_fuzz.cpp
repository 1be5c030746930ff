// Reads arbitrary bytes as a texture record and as a named texture list. No device exists, so
// only the readers run: they must refuse damaged records without reading past the data.
#include <cstddef>
#include <cstdint>

#include "base/File.h"
#include "graphics/NamedList.h"
#include "graphics/Texture.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size)) return 0;
  {
    base::File f;
    if (!f.open_memory(data, static_cast<int>(size), "fuzz.rec")) return 0;
    gfx::cl_Texture texture;
    texture.Read(&f);
    // A refused record leaves nothing behind.
    if (f.has_error() && texture.GetStatus() != 0) __builtin_trap();
  }
  {
    base::File f;
    if (!f.open_memory(data, static_cast<int>(size), "fuzz.list")) return 0;
    base::tNamedList<gfx::cl_Texture> list;
    if (!list.Read(&f) && list.Count() != 0) __builtin_trap();
  }
  return 0;
}
