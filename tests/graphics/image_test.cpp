// Tiled images: the tiling rule, drawing against pixels computed here (tiles half off every
// screen edge, the last column's texture fraction, a window-size change), the bitmap loader's
// power-of-two padding, and the record: round trips with uncompressed and DXT5 tiles and
// damaged records.
#include <cstring>
#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "../base/test_support.h"
#include "base/File.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "platform/gpu/Device.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace gfxtest {
namespace {

TEST(ImageTiling, LengthsCutIntoPowerOfTwoTilesOnePixelShort) {
  struct st_Case {
    int length;
    std::vector<int> sizes, offsets;
  } cases[] = {
      {100, {63, 31, 32}, {0, 63, 94}},
      {40, {31, 32}, {0, 31}},
      {800, {511, 255, 31, 32}, {0, 511, 766, 797}},
      {1024, {1024}, {0}},
      {1025, {1023, 32}, {0, 1023}},
      {0, {}, {}},
      {15 * 1023 + 1024, std::vector<int>(15, 1023), {}},
  };
  cases[6].sizes.push_back(1024);
  for (int i = 0; i < 16; ++i) cases[6].offsets.push_back(i * 1023);
  for (const st_Case& c : cases) {
    gfx::st_TileAxis axis;
    ASSERT_TRUE(gfx::TileAxis(c.length, axis)) << c.length;
    EXPECT_EQ(std::vector<int>(axis.sizes, axis.sizes + axis.count), c.sizes) << c.length;
    EXPECT_EQ(std::vector<int>(axis.offsets, axis.offsets + axis.count), c.offsets) << c.length;
  }
  gfx::st_TileAxis axis;
  EXPECT_FALSE(gfx::TileAxis(15 * 1023 + 1025, axis));  // a seventeenth tile
  EXPECT_EQ(axis.count, 0);
}

// Pixel (x, y) of the test picture: red from x, green from y, opaque.
uint32_t Source(int x, int y) { return 0xFF000000u | uint32_t(x * 2) << 16 | uint32_t(y * 5) << 8 | 0x40u; }

base::cl_Bitmap32 Picture(int w, int h) {
  base::cl_Bitmap32 bitmap;
  bitmap.Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) *bitmap.Pixel(x, y) = base::Color32(Source(x, y));
  return bitmap;
}

class ImageDraw : public GraphicsTest {
 protected:
  // Draws the image at (dx, dy) and counts the pixels that differ from the picture by more than
  // the tolerance (outside it: from black); window: the part of the screen expected drawn.
  int Mismatches(gfx::cl_Image& image, int dx, int dy, int sourceW, int sourceH, int tolerance, int windowW = kWidth,
                 int windowH = kHeight) {
    if (!BeginFrame()) return -1;
    gfx::ClearScreen(0xFF000000u);
    gfx::Begin2D();
    gfx::SetBlendNone();
    gfx::SetFilterPoint();
    gfx::DrawImage(&image, static_cast<float>(dx), static_cast<float>(dy), 1.0f);
    int bad = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const int sx = x - dx, sy = y - dy;
        const bool inside = sx >= 0 && sy >= 0 && sx < sourceW && sy < sourceH && x < windowW && y < windowH;
        if (!RgbNear(Pixel(x, y), inside ? Source(sx, sy) : 0u, tolerance)) ++bad;
      }
    EndFrame();
    return bad;
  }
};

TEST_F(ImageDraw, TilesMatchThePictureWhereverTheyAreCut) {
  const base::cl_Bitmap32 picture = Picture(100, 40);
  gfx::cl_Image image;
  ASSERT_TRUE(image.CreateFromBitmap(&picture, 0, 0, 100, 40, false, true));
  ASSERT_EQ(image.GetTileCount(), 6);
  const int texWidths[3] = {64, 32, 32}, texHeights[2] = {32, 32};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) {
      gpu::Texture* tile = image.GetTileTexture(r * 3 + c);
      ASSERT_NE(tile, nullptr);
      EXPECT_EQ(tile->Width(), uint32_t(texWidths[c]));
      EXPECT_EQ(tile->Height(), uint32_t(texHeights[r]));
    }
  // Positions that put the last column (6 pixels of a 32-texel tile) and the last row (9 of 32)
  // on screen, and tiles half off the left, top, right and bottom edges.
  const int positions[][2] = {{-40, 5}, {-50, -20}, {30, 20}, {-13, 27}, {5, -31}};
  for (const auto& p : positions) EXPECT_EQ(Mismatches(image, p[0], p[1], 100, 40, 1), 0) << p[0] << "," << p[1];
}

// Unscaled at a whole pixel every pixel is its texel whatever the caller's filter; half a pixel
// off, the caller's bilinear filter blends neighbours. The caller's filter stays set.
TEST_F(ImageDraw, AnUnscaledImageIsItsTexelsAndKeepsTheCallersFilter) {
  const base::cl_Bitmap32 picture = Picture(100, 40);
  gfx::cl_Image image;
  ASSERT_TRUE(image.CreateFromBitmap(&picture, 0, 0, 100, 40, false, true));
  gpu::Device* device = win32dx9::GetD3DDevice();
  for (const float at : {3.0f, 3.5f}) {
    ASSERT_TRUE(BeginFrame());
    gfx::ClearScreen(0xFF000000u);
    gfx::Begin2D();
    gfx::SetBlendNone();
    gfx::SetFilterLinear();
    gfx::DrawImage(&image, at, 0.0f, 1.0f);
    EXPECT_EQ(device->GetSamplerState(0, gpu::ss::MinFilter), gpu::filter::Linear);
    EXPECT_EQ(device->GetSamplerState(0, gpu::ss::MagFilter), gpu::filter::Linear);
    const uint32_t shown = Pixel(20, 10) & 0xFFFFFFu, texel = Source(17, 10) & 0xFFFFFFu;
    if (at == 3.0f)
      EXPECT_EQ(shown, texel);
    else
      EXPECT_EQ(shown >> 16, ((Source(16, 10) >> 16 & 0xFF) + (texel >> 16) + 1) / 2);
    EndFrame();
  }
}

TEST_F(ImageDraw, DrawFollowsAWindowSizeChange) {
  const base::cl_Bitmap32 picture = Picture(100, 40);
  gfx::cl_Image image;
  ASSERT_TRUE(image.CreateFromBitmap(&picture, 0, 0, 100, 40, false, true));
  EXPECT_EQ(Mismatches(image, 0, 0, 100, 40, 1), 0);
  base::sys::SetWindowSize(32, 24);
  EXPECT_EQ(Mismatches(image, 0, 0, 100, 40, 1, 32, 24), 0);
  base::sys::SetWindowSize(kWidth, kHeight);
  EXPECT_EQ(Mismatches(image, 0, 0, 100, 40, 1), 0);
}

TEST_F(ImageDraw, EmptyAndOversizedRegionsHaveNoTiles) {
  testsupport::LogCapture log;
  const base::cl_Bitmap32 picture = Picture(8, 8);
  gfx::cl_Image image;
  EXPECT_TRUE(image.CreateFromBitmap(&picture, 0, 0, 0, 8, false, true));
  EXPECT_EQ(image.GetTileCount(), 0);
  EXPECT_EQ(Mismatches(image, 0, 0, 0, 0, 0), 0);
  EXPECT_FALSE(image.CreateFromBitmap(&picture, 0, 0, 20000, 8, false, true));
  EXPECT_EQ(image.GetTileCount(), 0);
  EXPECT_TRUE(log.contains("more than 16 tiles"));
}

TEST_F(ImageDraw, RecordRoundTripKeepsTilesUncompressedAndDxt5) {
  const base::cl_Bitmap32 picture = Picture(100, 40);
  for (bool compress : {false, true}) {
    gfx::cl_Image image;
    ASSERT_TRUE(image.CreateFromBitmap(&picture, 0, 0, 100, 40, compress, true));
    image.SetOffset(3.0f, -2.0f);
    const std::string file = Path(compress ? "dxt5.img" : "plain.img");
    {
      base::File out(file.c_str(), base::File::STATUS_WRITE);
      image.Write(&out);
    }
    base::File in(file.c_str(), base::File::STATUS_READ);
    gfx::cl_Image copy;
    copy.Read(&in);
    ASSERT_FALSE(in.has_error());
    EXPECT_EQ(in.get_remaining(), 0);
    ASSERT_EQ(copy.GetTileCount(), 6);
    EXPECT_EQ(copy.GetOffset()[0], 3.0f);
    EXPECT_EQ(copy.GetOffset()[1], -2.0f);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(copy.GetTileData(i).size(), image.GetTileData(i).size());
      ASSERT_NE(copy.GetTileTexture(i), nullptr);
      EXPECT_EQ(copy.GetTileTexture(i)->Format(), compress ? gpu::fmt::DXT5 : gpu::fmt::A8R8G8B8);
    }
    copy.SetOffset(0.0f, 0.0f);
    // DXT5 blocks smear the gradient a little; the uncompressed copy is exact.
    EXPECT_EQ(Mismatches(copy, 0, 0, 100, 40, compress ? 24 : 1), 0);
  }
}

TEST_F(ImageDraw, DamagedRecordsLeaveAnImageWithoutTiles) {
  const base::cl_Bitmap32 picture = Picture(40, 40);
  gfx::cl_Image image;
  ASSERT_TRUE(image.CreateFromBitmap(&picture, 0, 0, 40, 40, false, true));
  const std::string good = Path("good.img");
  {
    base::File out(good.c_str(), base::File::STATUS_WRITE);
    image.Write(&out);
  }
  const std::string record = ReadBytes(good);
  ASSERT_FALSE(record.empty());
  constexpr size_t kCols = 8 + 1 + 8 + 256, kTileCount = kCols + 8, kFirstTile = kTileCount + 4;
  auto patched = [&](size_t at, int value) {
    std::string r = record;
    std::memcpy(&r[at], &value, 4);
    return r;
  };
  std::string notDds = record;
  notDds[kFirstTile + 4] = 'X';  // the first tile's "DDS " signature
  struct st_Case {
    const char* what;
    std::string bytes;
    bool fails;
    int tiles;
  } cases[] = {
      {"seventeen columns", patched(kCols, 17), true, 0},
      {"tile count off", patched(kTileCount, 5), true, 0},
      {"tile count huge", patched(kTileCount, 0x7FFFFFFF), true, 0},
      {"tile length huge", patched(kFirstTile, 0x7FFFFFF0), true, 0},
      {"cut inside the grid", record.substr(0, 100), true, 0},
      {"cut inside a tile", record.substr(0, record.size() - 10), true, 0},
      {"a tile that is no DDS", notDds, false, 4},
  };
  for (const st_Case& c : cases) {
    testsupport::LogCapture log;
    base::File in;
    ASSERT_TRUE(in.open_memory(c.bytes.data(), static_cast<int>(c.bytes.size()), c.what));
    gfx::cl_Image copy;
    copy.Read(&in);
    EXPECT_EQ(in.has_error(), c.fails) << c.what;
    EXPECT_EQ(copy.GetTileCount(), c.tiles) << c.what;
    if (c.fails) {
      EXPECT_TRUE(log.contains("ERROR")) << c.what;
    }
    if (c.tiles > 0) {
      EXPECT_EQ(copy.GetTileTexture(0), nullptr) << c.what;
    }
    EXPECT_EQ(Mismatches(copy, 0, 0, 0, 0, 255), 0);  // drawing never faults
  }
}

// The loader pads a picture to powers of two; an image made from the file keeps the padded tiles
// but is the picture's own size, through its record too, and draws only the picture.
TEST_F(ImageDraw, ImagesFromPaddedPicturesKeepThePicturesOwnSize) {
  const base::cl_Bitmap32 picture = Picture(100, 40);
  const std::string file = WriteDdsFile("picture.dds", picture);
  ASSERT_FALSE(file.empty());
  base::cl_Bitmap32 loaded;
  ASSERT_TRUE(gfx::LoadBitmapD3DX(file.c_str(), &loaded));
  EXPECT_EQ(loaded.Width(), 128);
  EXPECT_EQ(loaded.Height(), 64);
  EXPECT_EQ(loaded.Point(99, 39).value(), Source(99, 39));
  EXPECT_EQ(loaded.Point(100, 0).value(), 0u);  // transparent black beyond the file's pixels
  EXPECT_EQ(loaded.Point(0, 40).value(), 0u);
  EXPECT_FALSE(gfx::LoadBitmapD3DX(Path("missing.tga").c_str(), &loaded));

  gfx::cl_Image image;
  EXPECT_FALSE(image.Load(Path("missing.tga").c_str()));
  ASSERT_TRUE(image.Load(file.c_str()));
  EXPECT_TRUE(image.IsBuilt());
  EXPECT_EQ(image.GetWidth(), 100);
  EXPECT_EQ(image.GetHeight(), 40);
  ASSERT_EQ(image.GetTileCount(), 1);
  EXPECT_EQ(image.GetTileTexture(0)->Width(), 128u) << "the padded texture";
  EXPECT_EQ(Mismatches(image, 7, 3, 100, 40, 1), 0);
  {
    base::File out(Path("loaded.img").c_str(), base::File::STATUS_WRITE);
    image.Write(&out);
  }
  base::File in(Path("loaded.img").c_str(), base::File::STATUS_READ);
  gfx::cl_Image copy;
  copy.Read(&in);
  EXPECT_EQ(copy.GetWidth(), 100);
  EXPECT_EQ(copy.GetHeight(), 40);
  EXPECT_EQ(Mismatches(copy, 0, 0, 100, 40, 1), 0);
  EXPECT_EQ(gfx::ImageExists("no image of this name"), nullptr);
}

}  // namespace
}  // namespace gfxtest
