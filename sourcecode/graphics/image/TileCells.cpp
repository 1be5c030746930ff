// Classifying a tile's cells from the alpha of its DDS blocks and joining them into rectangles.
#include "graphics/image/TileCells.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/gpu/Types.h"
#include "platform/gpux/Dds.h"

namespace gfx {

namespace {

static_assert(std::endian::native == std::endian::little, "DXT blocks are read as little-endian words");

// Alpha bits of a block: some texel shows; some texel lets the target through.
constexpr uint8_t kShows = 1, kSeeThrough = 2;

uint8_t AlphaBits(uint32_t alpha) { return uint8_t((alpha > 0 ? kShows : 0) | (alpha < 255 ? kSeeThrough : 0)); }

uint32_t U16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

// A DXT1 block: four opaque colours, or three and a transparent black (code 3).
uint8_t Dxt1Bits(const uint8_t* block) {
  if (U16(block) > U16(block + 2)) return kShows;
  uint8_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= ((block[4 + i / 4] >> (2 * (i % 4))) & 3) == 3 ? kSeeThrough : kShows;
  return bits;
}

// A DXT3 block's explicit alpha: sixteen 4-bit values.
uint8_t Dxt3Bits(const uint8_t* block) {
  uint8_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= AlphaBits(((block[i / 2] >> (4 * (i % 2))) & 15) * 17);
  return bits;
}

// What one DXT5 alpha code gives. A value between the two ends counts as both showing and
// letting through: decoders round it differently, and it may land on 0 or 255.
uint8_t Dxt5CodeBits(uint32_t a0, uint32_t a1, uint32_t code) {
  if (code == 0) return AlphaBits(a0);
  if (code == 1) return AlphaBits(a1);
  if (a0 <= a1 && code >= 6) return AlphaBits(code == 6 ? 0 : 255);  // the six-value mode's ends
  return a0 == a1 ? AlphaBits(a0) : uint8_t(kShows | kSeeThrough);
}

// A DXT5 block's alpha: two ends and sixteen 3-bit codes.
uint8_t Dxt5Bits(const uint8_t* block) {
  uint64_t word;
  std::memcpy(&word, block, 8);
  const uint32_t a0 = uint32_t(word & 0xFF), a1 = uint32_t(word >> 8 & 0xFF);
  const uint64_t codes = word >> 16;
  // The usual wholly clear or wholly opaque block has one code sixteen times.
  constexpr uint64_t kEveryCode = 0x249249249249ull;  // 1 in each of the sixteen 3-bit places
  if (codes == (codes & 7) * kEveryCode) return Dxt5CodeBits(a0, a1, uint32_t(codes & 7));
  uint8_t bits = 0;
  for (int i = 0; i < 16 && bits != (kShows | kSeeThrough); ++i)
    bits |= Dxt5CodeBits(a0, a1, uint32_t(codes >> (3 * i) & 7));
  return bits;
}

// The blocks of A8R8G8B8 texels, a strip of four rows at a time: per block the OR and the AND
// of its alphas tell whether any shows and whether all cover.
void ArgbBlocks(const uint8_t* texels, uint32_t width, uint32_t height, std::vector<uint8_t>& blocks) {
  const uint32_t blocksWide = (width + 3) / 4;
  std::vector<uint8_t> any(blocksWide), all(blocksWide);
  for (uint32_t by = 0; by * 4 < height; ++by) {
    std::fill(any.begin(), any.end(), uint8_t(0));
    std::fill(all.begin(), all.end(), uint8_t(255));
    for (uint32_t y = by * 4; y < std::min(by * 4 + 4, height); ++y) {
      const uint8_t* row = texels + size_t(y) * width * 4 + 3;
      for (uint32_t x = 0; x < width; ++x) any[x / 4] |= row[x * 4], all[x / 4] &= row[x * 4];
    }
    for (uint32_t bx = 0; bx < blocksWide; ++bx)
      blocks[size_t(by) * blocksWide + bx] = uint8_t((any[bx] ? kShows : 0) | (all[bx] != 255 ? kSeeThrough : 0));
  }
}

struct st_Run {
  int x0, x1;  // cells, half-open
  cl_TileCells::en_Kind kind;
  int y0;      // the cell row the rectangle began on
};

}  // namespace

void cl_TileCells::Forget() {
  m_known = false;
  m_rects.clear();
}

void cl_TileCells::ClassifyDds(const void* dds, size_t size, int width, int height) {
  Forget();
  gpux::DdsTop top{};
  // Bytes of another image format leave the cells unknown without a word: the texture reads them.
  if (!gpux::IsDds(dds, size) || !gpux::ReadDdsTop(dds, size, "image tile", &top)) return;
  const int blocksWide = int((top.width + 3) / 4), blocksHigh = int((top.height + 3) / 4);
  std::vector<uint8_t> blocks(size_t(blocksWide) * blocksHigh);
  uint8_t (*blockBits)(const uint8_t*) = nullptr;
  switch (top.format) {
    case gpu::fmt::DXT1: blockBits = Dxt1Bits; break;
    case gpu::fmt::DXT3: blockBits = Dxt3Bits; break;
    case gpu::fmt::DXT5: blockBits = Dxt5Bits; break;
    case gpu::fmt::A8R8G8B8: ArgbBlocks(top.data, top.width, top.height, blocks); break;
    case gpu::fmt::X8R8G8B8: std::fill(blocks.begin(), blocks.end(), kShows); break;
    default: return;  // unknown: drawn whole
  }
  if (blockBits) {
    const size_t blockBytes = top.format == gpu::fmt::DXT1 ? 8 : 16;
    for (size_t b = 0; b < blocks.size(); ++b) blocks[b] = blockBits(top.data + b * blockBytes);
  }
  Classify(blocks, blocksWide, blocksHigh, std::min(width, int(top.width)), std::min(height, int(top.height)));
}

void cl_TileCells::Classify(const std::vector<uint8_t>& blocks, int blocksWide, int blocksHigh, int width, int height) {
  if (width <= 0 || height <= 0) return;
  const int texWidth = blocksWide * 4, texHeight = blocksHigh * 4;
  const int columns = (width + kCell - 1) / kCell, rows = (height + kCell - 1) / kCell;
  // A pixel of a cell samples at most half a texel past the cell's edge (bilinear, clamped to
  // the texture): the blocks holding one texel of ring on each side count.
  auto kindOf = [&](int cx, int cy) {
    const int x0 = std::max(cx * kCell - 1, 0) / 4,
              x1 = (std::min(std::min((cx + 1) * kCell, width) + 1, texWidth) - 1) / 4;
    const int y0 = std::max(cy * kCell - 1, 0) / 4,
              y1 = (std::min(std::min((cy + 1) * kCell, height) + 1, texHeight) - 1) / 4;
    uint8_t bits = 0;
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) bits |= blocks[size_t(y) * blocksWide + x];
    return !(bits & kShows) ? EMPTY : !(bits & kSeeThrough) ? OPAQUE : MIXED;
  };
  auto close = [&](const st_Run& run, int rowEnd) {
    m_rects.push_back({run.x0 * kCell, run.y0 * kCell, std::min(run.x1 * kCell, width),
                       std::min(rowEnd * kCell, height), run.kind});
  };
  std::vector<st_Run> open, next;
  std::vector<en_Kind> kinds(static_cast<size_t>(columns));
  for (int cy = 0; cy < rows; ++cy) {
    for (int cx = 0; cx < columns; ++cx) kinds[static_cast<size_t>(cx)] = kindOf(cx, cy);
    next.clear();
    for (int cx = 0; cx < columns;) {
      const en_Kind kind = kinds[static_cast<size_t>(cx)];
      int end = cx + 1;
      while (end < columns && kinds[static_cast<size_t>(end)] == kind) ++end;
      if (kind != EMPTY) {
        // The same run on the row above grows down; otherwise a rectangle starts here.
        auto above = std::find_if(open.begin(), open.end(), [&](const st_Run& r) {
          return r.x0 == cx && r.x1 == end && r.kind == kind;
        });
        if (above != open.end()) {
          next.push_back(*above);
          above->kind = EMPTY;  // taken
        } else {
          next.push_back({cx, end, kind, cy});
        }
      }
      cx = end;
    }
    for (const st_Run& run : open)
      if (run.kind != EMPTY) close(run, cy);
    open.swap(next);
  }
  for (const st_Run& run : open) close(run, rows);
  m_known = true;
}

}  // namespace gfx
