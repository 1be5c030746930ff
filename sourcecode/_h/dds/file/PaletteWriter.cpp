#include "dds/file/PaletteWriter.h"

#include "dds/file/DdsHeader.h"
#include "dds/Log.h"
#include "dds/image/Quantize.h"
#include "dds/TextureCompressOptions.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace dds {
namespace {

bool KeepsAlpha(i32 f) { return f == 21 || f == 22; }

// The level's distinct colours in order of first appearance, when there are no more than
// `colours` of them: such a level needs no quantising and maps back exactly.
bool ExactPalette(const tVector<u8>& rgba, i32 colours, bool alpha, PaletteRecord& palette) {
  std::unordered_map<u32, i32> seen;
  palette.channels = alpha ? 4 : 3;
  palette.count = 0;
  std::memset(palette.colours, 0, sizeof(palette.colours));
  const u32 mask = alpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
  for (u32 i = 0; i + 3 < rgba.size(); i += 4) {
    const u32 key = (static_cast<u32>(rgba[i]) | static_cast<u32>(rgba[i + 1]) << 8 |
                     static_cast<u32>(rgba[i + 2]) << 16 | static_cast<u32>(rgba[i + 3]) << 24) &
                    mask;
    if (seen.count(key)) continue;
    if (palette.count == colours) return false;
    seen.emplace(key, palette.count);
    u8* entry = palette.colours[palette.count++];
    for (int c = 0; c < 4; ++c) entry[c] = rgba[i + static_cast<u32>(c)];
    if (!alpha) entry[3] = 255;
  }
  return palette.count > 0;
}

}  // namespace

i32 PaletteColours(i32 f) {
  if (f == 10 || f == 21) return 256;
  if (f == 14 || f == 22) return 16;
  return 0;
}

i32 WritePaletteLevel(TextureCompressOptions& o, const FloatImage& level, i32 level_index,
                      u8*& out, u32& size) {
  out = nullptr;
  size = 0;
  const i32 f = o.texture_format;
  const i32 colours = PaletteColours(f);
  if (colours == 0) {
    Log("ERROR: dds: texture format %d has no palette\n", f);
    return kErrUnsupportedFormat;
  }
  const bool alpha = KeepsAlpha(f);
  const u32 w = level.width, h = level.height;
  tVector<u8> rgba;
  LevelToBytes(level, rgba);

  tVector<u8> packed;
  bool have_indices = false;
  PaletteRecord palette;
  // A caller's palette needs at least one entry; without one the level is quantised rather
  // than mapped onto an empty (all-black) palette.
  const bool caller_palette = !o.b_palette && o.palette_size >= 1 && o.palette_size <= colours;
  if (level_index == 0 && !caller_palette) {
    if (ExactPalette(rgba, colours, alpha, palette)) {
      have_indices = false;  // mapped below, exactly
    } else if (alpha) {
      // Wu's cuts see only red, green and blue; alpha needs the codebook.
      QuantiseLevelTree(level, colours, palette, o.b_dither_mip0 != 0, true, packed);
      have_indices = true;
    } else {
      QuantiseLevelWu(level, colours, palette, o.b_dither_mip0 != 0, packed);
      have_indices = true;
    }
    for (i32 k = 0; k < 256; ++k) {
      for (int c = 0; c < 4; ++c) o.palette[k][c] = k < palette.count ? palette.colours[k][c] : 0;
      if (!alpha) o.palette[k][3] = 255;
    }
  } else if (level_index == 0 && !alpha) {
    for (i32 k = 0; k < 256; ++k) o.palette[k][3] = 255;
  }

  if (!have_indices || o.b_dither_color) {
    // Levels map onto the palette of level 0 as it stands in the options.
    palette.channels = alpha ? 4 : 3;
    palette.count = caller_palette ? o.palette_size : colours;
    std::memcpy(palette.colours, o.palette, sizeof(palette.colours));
    tVector<u32> index;
    MapBytesToPalette(rgba.data(), w, h, palette, o.b_dither_color != 0, index);
    PackIndices(index.data(), w, h, colours, packed);
  }

  const u32 palette_bytes = level_index == 0 ? static_cast<u32>(colours) * 4 : 0;
  const u32 bytes = static_cast<u32>(
      GetLevelSize(f, static_cast<i32>(w), static_cast<i32>(h), level_index));
  if (bytes != palette_bytes + packed.size()) {
    Log("ERROR: dds: palette level %d of %ux%u packs to %u bytes, not %u\n", level_index, w, h,
        palette_bytes + packed.size(), bytes);
    return kErrFail;
  }
  u8* buffer = new u8[bytes];
  for (u32 k = 0; k < palette_bytes / 4; ++k)
    for (int c = 0; c < 4; ++c) buffer[4 * k + static_cast<u32>(c)] = o.palette[k][c];
  std::memcpy(buffer + palette_bytes, packed.data(), packed.size());
  out = buffer;
  size = bytes;
  return kOk;
}

}  // namespace dds
