// The tile cells of images: which cells are empty, opaque or mixed (with the ring of texels that
// filtering reaches) and the rectangles they join into; and drawing with the shortcuts against
// drawing every tile whole, for the blend states the game draws images with, at several places
// and scales, uncompressed and DXT5: the same pixels.
#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "GraphicsFixture.h"
#include "base/data/Binary.h"
#include "graphics/TextureCompression.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/image/TileCells.h"
#include "support/HeadlessEngine.h"

namespace gfxtest {
namespace {

using Cells = gfx::cl_TileCells;

// The cells of a tile as an uncompressed DDS image of the texels (0xAARRGGBB, side × side).
Cells CellsOf(const std::vector<uint32_t>& texels, int side, int width, int height) {
  base::cl_Bitmap32 bitmap;
  bitmap.Create(side, side);
  for (int i = 0; i < side * side; ++i) bitmap.GetPixels()[i] = base::Color32(texels[size_t(i)]);
  base::Binary dds;
  Cells cells;
  if (gfx::CompressToDDS(dds, &bitmap, float(side), float(side), true, false, false))
    cells.ClassifyDds(dds.get_buffer(), size_t(dds.size()), width, height);
  return cells;
}

using tRect = std::tuple<int, int, int, int, int>;
tRect Key(const Cells::st_Rect& r) { return {r.x0, r.y0, r.x1, r.y1, int(r.kind)}; }

TEST(TileCells, EmptyOpaqueAndMixedCellsJoinIntoRectangles) {
  // 128 x 128 texels, 128 x 96 shown: opaque left of x = 40, one faint texel at (96, 32), the
  // rest transparent. That texel lies in the ring of the four cells around it.
  constexpr int kTex = 128;
  std::vector<uint32_t> texels(kTex * kTex, 0x00FFFFFFu);
  for (int y = 0; y < kTex; ++y)
    for (int x = 0; x < 40; ++x) texels[size_t(y * kTex + x)] = 0xFF336699u;
  texels[32 * kTex + 96] = 0x10FFFFFFu;
  Cells cells = CellsOf(texels, kTex, 128, 96);
  ASSERT_TRUE(cells.IsKnown());
  std::vector<tRect> rects;
  for (const Cells::st_Rect& r : cells.GetRects()) rects.push_back(Key(r));
  std::sort(rects.begin(), rects.end());
  const std::vector<tRect> expected = {
      {0, 0, 32, 96, Cells::OPAQUE},   // the opaque column of cells, all three rows
      {32, 0, 128, 64, Cells::MIXED},  // the opaque edge at x = 40, and the faint texel's ring
      {32, 64, 64, 96, Cells::MIXED},  // the opaque edge below; right of it nothing shows
  };
  EXPECT_EQ(rects, expected);

  // Nothing visible: no rectangle at all; a shown part smaller than a cell is one cell.
  std::vector<uint32_t> clear(64 * 64, 0x00000000u);
  cells = CellsOf(clear, 64, 64, 64);
  EXPECT_TRUE(cells.IsKnown());
  EXPECT_TRUE(cells.GetRects().empty());
  clear[3 * 64 + 5] = 0xFF000000u;
  cells = CellsOf(clear, 64, 20, 10);
  ASSERT_EQ(cells.GetRects().size(), 1u);
  EXPECT_EQ(Key(cells.GetRects()[0]), tRect(0, 0, 20, 10, Cells::MIXED));
  // Not a DDS image: unknown, so drawn whole.
  cells.ClassifyDds("DDS junk", 8, 64, 64);
  EXPECT_FALSE(cells.IsKnown());
}

// DXT blocks: a value between a block's two alpha ends neither hides nor covers for certain.
TEST(TileCells, CompressedAlphaCountsOnlyWhatEveryDecoderAgreesOn) {
  // A DXT5 image of 32 x 32 texels, 64 blocks of 16 bytes: all opaque but the first, whose
  // alpha ends and codes vary below.
  base::cl_Bitmap32 bitmap;
  bitmap.Create(32, 32);
  base::Binary dds;
  ASSERT_TRUE(gfx::CompressToDDS(dds, &bitmap, 32.0f, 32.0f, true, false, true));
  std::vector<uint8_t> bytes(dds.get_buffer(), dds.get_buffer() + dds.size());
  ASSERT_EQ(bytes.size(), 128u + 64u * 16u);
  auto kindWith = [&bytes](uint8_t a0, uint8_t a1, uint8_t code) {
    for (size_t b = 0; b < 64; ++b) {
      uint8_t* block = &bytes[128 + b * 16];
      block[0] = 255, block[1] = 255;  // every other block opaque
      for (int i = 2; i < 8; ++i) block[i] = 0;
    }
    uint8_t* first = &bytes[128];
    first[0] = a0, first[1] = a1;
    for (int i = 0; i < 16; ++i) {
      const uint64_t bits = uint64_t(code) << (3 * i);
      for (int k = 0; k < 6; ++k) first[2 + k] |= uint8_t(bits >> (8 * k));
    }
    Cells cells;
    cells.ClassifyDds(bytes.data(), bytes.size(), 32, 32);
    return cells.IsKnown() && cells.GetRects().size() == 1 ? int(cells.GetRects()[0].kind) : -1;
  };
  EXPECT_EQ(kindWith(255, 0, 0), Cells::OPAQUE);  // the first end, 255
  EXPECT_EQ(kindWith(255, 1, 2), Cells::MIXED);   // between 255 and 1: 218 or so
  EXPECT_EQ(kindWith(0, 255, 7), Cells::OPAQUE);  // six-value mode: code 7 is 255
  EXPECT_EQ(kindWith(9, 9, 4), Cells::MIXED);     // 9 whatever the code
  EXPECT_EQ(kindWith(0, 255, 6), Cells::MIXED);   // a transparent block among opaque ones
}

// A 100 x 80 picture: opaque left part, a transparent band with a faint dot, a half-transparent
// right part, and transparent bottom rows.
base::cl_Bitmap32 Layered() {
  base::cl_Bitmap32 bitmap;
  bitmap.Create(100, 80);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) {
      uint32_t p = 0x00FFFFFFu;
      if (y < 60) {
        if (x < 40) p = 0xFF000000u | uint32_t(x * 6) << 16 | uint32_t(y * 4) << 8 | 0x30u;
        if (x >= 70) p = 0xA0000000u | uint32_t(x * 2) << 8 | 0xC0u;
        if ((x - 55) * (x - 55) + (y - 20) * (y - 20) < 10) p = 0x80FF2010u;
      }
      *bitmap.Pixel(x, y) = base::Color32(p);
    }
  return bitmap;
}

class ImageShortcuts : public GraphicsTest {
 protected:
  // The frame after drawing the image over a coloured target, with the given states.
  std::vector<uint32_t> Draw(gfx::cl_Image& image, float x, float y, float scale, int states, bool shortcuts,
                             const base::tRectf* within = nullptr) {
    gfx::cl_Image::SetDrawShortcuts(shortcuts);
    std::vector<uint32_t> frame;
    if (!BeginFrame()) return frame;
    gfx::ClearScreen(0xFF405060u);
    gfx::Begin2D();
    gfx::SetBlendNone();
    gfx::SetFilterLinear();
    if (states == 0) gfx::SetBlendAlpha(true);                      // a layer at full alpha
    if (states == 1) gfx::SetBlendAlphaTextureColor(150, true);     // a fading layer, a strip's blur
    if (states == 2) gfx::SetBlendAlphaTextureColor(255, true);     // a strip frame at full alpha
    if (within)
      image.DrawWithin(x, y, scale, *within);
    else
      gfx::DrawImage(&image, x, y, scale);  // states 3: blending off
    m_draws = Device()->GetDrawCallCount();
    frame = testsupport::ReadBackBuffer(0, 0, kWidth, kHeight);
    EndFrame();
    gfx::cl_Image::SetDrawShortcuts(true);
    return frame;
  }
  uint32_t m_draws = 0;
};

TEST_F(ImageShortcuts, DrawTheSamePixelsAsWholeTiles) {
  const base::cl_Bitmap32 picture = Layered();
  for (bool compress : {false, true}) {
    gfx::cl_Image image;
    ASSERT_TRUE(image.CreateFromBitmap(&picture, 0, 0, 100, 80, compress, true));
    for (int i = 0; i < image.GetTileCount(); ++i) EXPECT_TRUE(image.GetTileCells(i).IsKnown());
    const float places[][3] = {{0, 0, 1.0f}, {-30, -20, 1.0f}, {-45, 3, 1.0f}, {7, -4, 0.6f}, {-20, -17, 1.7f}};
    for (int states = 0; states < 4; ++states)
      for (const auto& p : places) {
        const std::vector<uint32_t> whole = Draw(image, p[0], p[1], p[2], states, false);
        const std::vector<uint32_t> cut = Draw(image, p[0], p[1], p[2], states, true);
        ASSERT_EQ(whole.size(), size_t(kWidth * kHeight));
        ASSERT_EQ(cut.size(), whole.size());
        int differing = 0;
        for (size_t k = 0; k < whole.size(); ++k) differing += whole[k] != cut[k];
        EXPECT_EQ(differing, 0) << "compress " << compress << ", states " << states << ", at " << p[0] << ","
                                << p[1] << " scale " << p[2];
      }
  }
}

// Drawn within a rectangle, an image gives every pixel inside it as drawn whole and leaves the
// target a texel's width (at its scale) beyond it untouched; with and without the cells, over a
// tile seam and cut by the window's edge.
TEST_F(ImageShortcuts, DrawnWithinARectangleTheInsideIsAsDrawnWholeAndTheFarOutsideUntouched) {
  const base::cl_Bitmap32 picture = Layered();
  gfx::cl_Image image;
  ASSERT_TRUE(image.CreateFromBitmap(&picture, 0, 0, 100, 80, true, true));
  const base::tRectf rects[] = {{20.3f, 10.0f, 61.5f, 44.7f}, {-10.0f, -5.0f, 12.0f, 9.0f}};
  const float places[][3] = {{0, 0, 1.0f}, {-20, -17, 1.7f}, {7, -4, 0.6f}};
  for (int states : {0, 1, 3})
    for (const auto& p : places)
      for (const base::tRectf& r : rects)
        for (bool shortcuts : {false, true}) {
          const std::vector<uint32_t> whole = Draw(image, p[0], p[1], p[2], states, shortcuts);
          const std::vector<uint32_t> part = Draw(image, p[0], p[1], p[2], states, shortcuts, &r);
          ASSERT_EQ(part.size(), whole.size());
          const float margin = p[2] + 1.0f;
          int inside = 0, wrongInside = 0, wrongOutside = 0;
          for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
              const uint32_t got = part[size_t(y) * kWidth + x];
              if (x >= r.min.x && x + 1 <= r.max.x && y >= r.min.y && y + 1 <= r.max.y) {
                ++inside;
                wrongInside += got != whole[size_t(y) * kWidth + x];
              } else if (x + 1 < r.min.x - margin || x > r.max.x + margin || y + 1 < r.min.y - margin ||
                         y > r.max.y + margin) {
                wrongOutside += (got & 0xFFFFFFu) != 0x405060u;
              }
            }
          EXPECT_GT(inside, 0);
          EXPECT_EQ(wrongInside, 0) << "states " << states << " scale " << p[2] << " shortcuts " << shortcuts;
          EXPECT_EQ(wrongOutside, 0) << "states " << states << " scale " << p[2] << " shortcuts " << shortcuts;
        }
}

// A picture read from a file is padded to powers of two; its image keeps only the padded grid's
// tiles that show some of it, and each of those has its cells, classified over the picture.
TEST_F(ImageShortcuts, ImagesOfPaddedPicturesKeepACellListPerTile) {
  base::cl_Bitmap32 picture;
  picture.Create(40, 1030);
  for (int y = 0; y < 1030; ++y)
    for (int x = 0; x < 40; ++x)
      *picture.Pixel(x, y) = base::Color32(x < 20 ? 0xFF2060A0u : (y / 8) % 2 ? 0x00000000u : 0x90C04020u);
  const std::string file = WriteDdsFile("tall.dds", picture);
  ASSERT_FALSE(file.empty());
  gfx::cl_Image image;
  ASSERT_TRUE(image.Load(file.c_str()));
  EXPECT_EQ(image.GetHeight(), 1030);
  ASSERT_EQ(image.GetTileCount(), 2) << "the padded 2048 rows' third tile shows nothing of the picture";
  for (int i = 0; i < image.GetTileCount(); ++i) EXPECT_TRUE(image.GetTileCells(i).IsKnown()) << i;
  for (int states : {0, 2})
    for (float scale : {1.0f, 0.6f}) {
      const float y = scale == 1.0f ? -1000.0f : -600.0f;  // the seam between the rows on screen
      const std::vector<uint32_t> whole = Draw(image, 5, y, scale, states, false);
      ASSERT_EQ(whole.size(), size_t(kWidth * kHeight));
      EXPECT_EQ(Draw(image, 5, y, scale, states, true), whole) << "states " << states << " scale " << scale;
    }
}

TEST_F(ImageShortcuts, AWhollyTransparentTileIsNotDrawn) {
  // Two tiles side by side (63 and 32 texels wide): the left one half transparent, the right one
  // without a visible texel.
  base::cl_Bitmap32 picture;
  picture.Create(90, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 90; ++x) *picture.Pixel(x, y) = base::Color32(x < 60 ? 0x80808080u : 0x00000000u);
  gfx::cl_Image image;
  ASSERT_TRUE(image.CreateFromBitmap(&picture, 0, 0, 90, 30, false, true));
  ASSERT_EQ(image.GetTileCount(), 2);
  EXPECT_TRUE(image.GetTileCells(1).GetRects().empty());
  Draw(image, 0, 0, 1.0f, 0, false);
  const uint32_t whole = m_draws;
  Draw(image, 0, 0, 1.0f, 0, true);
  EXPECT_LT(m_draws, whole);
  // With blending off the transparent texels show, so every tile is drawn.
  Draw(image, 0, 0, 1.0f, 3, false);
  const uint32_t unblended = m_draws;
  Draw(image, 0, 0, 1.0f, 3, true);
  EXPECT_EQ(m_draws, unblended);
}

}  // namespace
}  // namespace gfxtest
