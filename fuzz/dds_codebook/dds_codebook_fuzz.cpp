// Any image, tile size and target: the codebook build must end, hold at most the target count,
// and every tile must map to a codeword that decodes back inside the codebook; the palette
// quantisers on the same pixels give indices inside their palettes. A hang shows as a libFuzzer
// timeout.
#include "dds/block/Codebook.h"
#include "dds/block/CodebookSearch.h"
#include "dds/Log.h"
#include "dds/image/Quantize.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
void Discard(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dds::SetLogSink(Discard);
  if (size < 5) return 0;
  const int channels = 1 + data[0] % 4;
  const int tile_w = 1 + data[1] % 4, tile_h = 1 + (data[1] >> 4) % 4;
  const int target = 1 + data[2];  // 1..256
  const int width = 1 + data[3] % 48;
  data += 4;
  size -= 4;
  const size_t row = static_cast<size_t>(width) * channels;
  const int height = static_cast<int>(size / row);
  if (height < 1) return 0;

  dds::Codebook book;
  if (dds::BuildCodebook(data, book, height, width, channels, tile_w, tile_h, target) != 0)
    return 0;
  const size_t dimension = size_t{book.tile_width} * book.tile_height * book.channels;
  if (book.count > static_cast<dds::u32>(target) || book.count == 0 ||
      book.components.size() != book.count * dimension)
    std::abort();

  dds::TileIndices indices;
  if (dds::MapTilesToCodebook(book, data, indices, width, height) != 0) std::abort();
  for (dds::u32 index : indices.indices)
    if (index >= book.count) std::abort();
  std::vector<uint8_t> decoded(size_t{indices.across} * book.tile_width * indices.down *
                               book.tile_height * book.channels);
  if (dds::DecodeTiles(book, indices, decoded.data()) != 0) std::abort();

  if (book.tile_width == 1 && book.tile_height == 1) {
    dds::Codebook image;
    image.tile_height = static_cast<dds::u32>(height);
    image.tile_width = static_cast<dds::u32>(width);
    image.channels = static_cast<dds::u32>(channels);
    image.count = 1;
    for (size_t k = 0; k < row * height; ++k) image.components.append(data[k]);
    dds::Codebook mapped;
    const int result = dds::MapPixelsToPalette(image, book, mapped);
    if (result == 0 && mapped.components.size() != static_cast<dds::u32>(width * height)) std::abort();
  }
  if (channels == 4) {
    dds::FloatImage level(static_cast<dds::u32>(width), static_cast<dds::u32>(height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width * 4; ++x) level.Row(static_cast<dds::u32>(y))[x] = data[y * row + x] / 255.0f;
    const int colours = (target & 1) ? 16 : 256;
    dds::PaletteRecord palette;
    dds::tVector<dds::u8> packed;
    if (target & 2)
      dds::QuantiseLevelTree(level, colours, palette, (target & 4) != 0, true, packed);
    else
      dds::QuantiseLevelWu(level, colours, palette, (target & 4) != 0, packed);
    if (palette.count < 1 || palette.count > colours) std::abort();
    if (packed.size() != dds::PackedIndexBytes(level.width, level.height, colours)) std::abort();
    for (dds::u8 b : packed) {
      const int high = colours == 16 ? b >> 4 : 0, low = colours == 16 ? b & 15 : b;
      if (low >= palette.count || (high >= palette.count && high != 0)) std::abort();
    }
  }
  return 0;
}
