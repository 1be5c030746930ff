#include "graphics/TextureCompression.h"

#include "base/data/Binary.h"
#include "base/system.h"
#include "dds/CompressImage.h"
#include "dds/TextureCompressOptions.h"

namespace gfx {

namespace {

// Appends each piece the library produces to the Binary passed as user data.
dds::i32 DDSWriteCallback(const void* data, dds::u32 size, const dds::LevelInfo*, void* user) {
  base::Binary piece;
  piece.set(static_cast<int>(size), data);
  *static_cast<base::Binary*>(user) += piece;
  return 0;
}

}  // namespace

bool CompressToDDS(base::Binary& out, const base::cl_Bitmap32* bitmap, float width, float height, bool alpha,
                   bool mipMaps, bool compress) {
  out.clear();
  if (!bitmap || bitmap->IsEmpty()) {
    base::sys::Output("ERROR: CompressToDDS: no pixels to compress\n");
    return false;
  }
  dds::TextureCompressOptions options;
  dds::SetEnginePathOptions(options, width, height, mipMaps, compress, alpha, &out);

  dds::Image image;
  image.width = bitmap->Width();
  image.height = bitmap->Height();
  image.pixels.resize(static_cast<dds::u32>(bitmap->NumPixels()));
  const base::Color32* source = bitmap->GetPixels();
  for (int i = 0; i < bitmap->NumPixels(); ++i) {
    // The library takes red, green, blue, alpha in memory; the bitmap holds blue first.
    const base::Color32& c = source[i];
    image.pixels[static_cast<dds::u32>(i)] = static_cast<dds::u32>(c.r) | static_cast<dds::u32>(c.g) << 8 |
                                             static_cast<dds::u32>(c.b) << 16 | static_cast<dds::u32>(c.a) << 24;
  }
  const dds::i32 result = dds::CompressImage(image, options, DDSWriteCallback, nullptr);
  if (result != 0) base::sys::Output("ERROR: %s\n", dds::GetErrorString(result));
  if (compress) base::sys::Output("\n%d bytes.", out.size());
  return result == 0;
}

}  // namespace gfx
