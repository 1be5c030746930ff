// The graphic resource kinds end to end: a resource list read by the resource manager makes
// TrueType and glyph-sheet fonts, images (compressed or not) and a strip, found by label and
// drawn; the label lookups leave empty elements for unknown labels. Also the flattening matrix.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "GraphicsFixture.h"
#include "base/math/Matrix4.h"
#include "base/resource/Resource.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/DXFont.h"
#include "graphics/font/TextureFont.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "platform/gpu/Device.h"

namespace gfxtest {
namespace {

namespace fs = std::filesystem;

// An uncompressed 32-bit TGA of one colour with a transparent first row and column.
void WriteTga(const fs::path& path, int w, int h, uint32_t colour) {
  unsigned char header[18] = {};
  header[2] = 2, header[12] = static_cast<unsigned char>(w), header[14] = static_cast<unsigned char>(h);
  header[16] = 32, header[17] = 0x28;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = x == 0 || y == 0 ? 0u : colour;
      out.write(reinterpret_cast<const char*>(&c), 4);
    }
}

class Resources : public GraphicsTest {};

TEST_F(Resources, ListMakesFontsImagesAndStripsFoundByLabel) {
  WriteTga(m_dir / "pic.tga", 40, 20, 0xFF2080FFu);
  for (int i = 0; i < 3; ++i) WriteTga(m_dir / ("anim_" + std::to_string(i) + ".tga"), 16, 16, 0xFF00FF00u);
  // A glyph sheet: marker at column 0, one 4-pixel glyph ('a').
  {
    std::ofstream out(m_dir / "sheet.tga", std::ios::binary);
    unsigned char header[18] = {};
    header[2] = 2, header[12] = 16, header[14] = 16, header[16] = 32, header[17] = 0x28;
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const bool on = y >= 1 && y < 9 && (x == 0 || (x >= 2 && x < 6));
        const uint32_t c = on ? 0xFFFFFFFFu : 0xFF000000u;  // opaque black is the colour key
        out.write(reinterpret_cast<const char*>(&c), 4);
      }
  }
  std::ofstream(m_dir / "res.xml") << R"(<Resources>
    <DXFont label="sys" file="DejaVu Sans" system="1" size="14"/>
    <TextureFont label="score" file="sheet.tga" spacing="1"/>
    <Image label="packed" file="pic.tga" compress="1"/>
    <Image label="plain" file="pic.tga"/>
    <Image label="absent" file="no_such.tga"/>
    <TextureStrip label="anim" file="anim_0.tga" playmode="1" useblur="0"/>
  </Resources>)";
  const fs::path previous = fs::current_path();
  fs::current_path(m_dir);
  base::sys::AddResources("res.xml");
  fs::current_path(previous);

  gfx::cl_Font* sys = gfx::FontExists("sys");
  ASSERT_NE(sys, nullptr);
  EXPECT_TRUE(static_cast<gfx::cl_DXFont*>(sys)->HasFontObject());
  auto* score = static_cast<gfx::cl_TextureFont*>(gfx::FontExists("score"));
  ASSERT_NE(score, nullptr);
  EXPECT_TRUE(score->IsValid());
  EXPECT_EQ(score->GetSheet().glyphCount, 1);
  EXPECT_EQ(score->GetTextWidth("aa"), 2 * (1 + 3));
  EXPECT_EQ(gfx::FontExists("nobody"), nullptr);

  gfx::cl_Image* packed = gfx::ImageExists("packed");
  gfx::cl_Image* plain = gfx::ImageExists("plain");
  ASSERT_NE(packed, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(gfx::ImageExists("absent"), nullptr);
  ASSERT_GT(packed->GetTileCount(), 0);
  ASSERT_NE(packed->GetTileTexture(0), nullptr);
  EXPECT_EQ(packed->GetTileTexture(0)->Format(), gpu::fmt::DXT5);
  EXPECT_EQ(plain->GetTileTexture(0)->Format(), gpu::fmt::A8R8G8B8);
  // The loader rounds the file up to powers of two; the images keep the picture's size.
  EXPECT_EQ(plain->GetWidth(), 40);
  EXPECT_EQ(packed->GetHeight(), 20);

  gfx::cl_TextureStrip* anim = base::tResourceType<gfx::cl_TextureStrip>::Get("anim");
  ASSERT_NE(anim, nullptr);
  EXPECT_EQ(anim->GetFrameCount(), 3);
  EXPECT_FALSE(anim->GetUseBlur());
  EXPECT_EQ(anim->GetPlayMode(), gfx::cl_TextureStrip::PLAY_LOOP);

  // The system font made current draws; the glyph-sheet font draws its one glyph.
  gfx::SetFont(sys);
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000u);
  gfx::Begin2D();
  gfx::DrawText(2, 2, "Hi", 0xFFFFFFFFu);
  int lit = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) lit += Pixel(x, y) != 0;
  EXPECT_GT(lit, 10);
  gfx::SetFont(score);
  gfx::DrawText(40, 30, "a", 0xFFFF0000u);
  EXPECT_TRUE(RgbNear(Pixel(41, 33), 0xFF0000u, 8));
  gfx::SetBlendNone();
  gfx::DrawImage(plain, 0, 30, 1.0f);
  EXPECT_TRUE(RgbNear(Pixel(5, 35), 0x2080FFu, 2));
  EndFrame();
}

TEST_F(Resources, FontsAndImagesDrawAgainAfterADeviceReset) {
  gfx::cl_DXFont font;
  font.SetSize(14.0f);
  font.CreateD3DFont("DejaVu Sans", true);
  gfx::cl_TextureFont sheetFont;
  base::cl_Bitmap32 sheet;
  sheet.Create(16, 16);
  for (int i = 0; i < sheet.NumPixels(); ++i) sheet.GetPixels()[i] = base::Color32();
  for (int y = 1; y < 9; ++y) *sheet.Pixel(0, y) = *sheet.Pixel(2, y) = *sheet.Pixel(3, y) = base::Color32(0xFFFFFFFFu);
  ASSERT_TRUE(sheetFont.BuildFromBitmap(sheet));
  ASSERT_TRUE(BeginFrame());
  Device()->SimulateDeviceLoss();
  EndFrame();
  EXPECT_FALSE(BeginFrame());  // the reset: every object here lives in the managed pool
  ASSERT_TRUE(gfx::IsDeviceOk());
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000u);
  gfx::Begin2D();
  font.DrawText(2, 2, "Hi", 0xFFFFFFFFu);
  sheetFont.DrawText(40, 30, "a", 0xFFFF0000u);
  int lit = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) lit += Pixel(x, y) != 0;
  EXPECT_GT(lit, 10);
  EXPECT_TRUE(RgbNear(Pixel(40, 33), 0xFF0000u, 8));
  EndFrame();
}

TEST(FlattenMatrix, MovesPointsOntoThePivotPlaneShiftedByTheirHeight) {
  base::Matrix4 m;
  gfx::MakeFlattenMatrix(m, 0.5f, -0.25f, base::tVector3<float>(1.0f, 2.0f, 3.0f));
  const base::tVector3<float> p = m * base::tVector3<float>(4.0f, 6.0f, 5.0f);  // 4 above the pivot
  EXPECT_FLOAT_EQ(p.y, 2.0f);
  EXPECT_FLOAT_EQ(p.x, 4.0f + 0.5f * 4.0f);
  EXPECT_FLOAT_EQ(p.z, 5.0f - 0.25f * 4.0f);
  const base::tVector3<float> onPlane = m * base::tVector3<float>(7.0f, 2.0f, -1.0f);
  EXPECT_FLOAT_EQ(onPlane.x, 7.0f);
  EXPECT_FLOAT_EQ(onPlane.z, -1.0f);
}

}  // namespace
}  // namespace gfxtest
