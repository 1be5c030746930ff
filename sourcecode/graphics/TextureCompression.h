// The engine's one entry into the texture compression library: a 32-bit bitmap to a complete DDS
// file image in memory (DXT5 with alpha or DXT1 without when compressing, A8R8G8B8 otherwise;
// shrunk to fit the target size; the full mip chain or one level). The bytes are later handed
// to the texture loader like a .dds file read from disk.
#pragma once

#include "base/Imaging.h"

namespace base {
class Binary;
}

namespace gfx {

// out is emptied, then receives the file. True only when the library reports success (a failure
// logs "ERROR: " and the library's text; out keeps what was written before it).
bool CompressToDDS(base::Binary& out, const base::cl_Bitmap32* bitmap, float width, float height, bool alpha,
                   bool mipMaps, bool compress);

}  // namespace gfx
