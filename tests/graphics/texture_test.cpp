// The texture resource end to end: files to device textures, the record written and read back
// (and drawn after its file is gone), damaged records, the low-resolution variant, the turned
// quad, bitmap-made textures, named lists, the "Texture" resource type and DDS compression.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "../base/test_support.h"
#include "GraphicsFixture.h"
#include "base/File.h"
#include "base/FileTools.h"
#include "base/data/Binary.h"
#include "base/system.h"
#include "graphics/NamedList.h"
#include "graphics/Texture.h"
#include "graphics/TextureCompression.h"
#include "graphics/gfx.h"
#include "platform/gpux/Dds.h"
#include "platform/gpux/TextureLoad.h"

namespace gfxtest {
namespace {

using gfx::cl_Texture;

// An 8 × 8 picture: left half red, right half blue (opaque).
base::cl_Bitmap24 Halves() {
  base::cl_Bitmap24 b;
  b.Create(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) *b.Pixel(x, y) = x < 4 ? base::Color24(255, 0, 0) : base::Color24(0, 0, 255);
  return b;
}

base::cl_Bitmap24 Solid(uint32_t rgb) {
  base::cl_Bitmap24 b;
  b.Create(8, 8);
  for (int i = 0; i < 64; ++i) b.GetPixels()[i] = base::Color24((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  return b;
}

class Textures : public GraphicsTest {
 protected:
  uint32_t DrawAndRead(cl_Texture& t, int x, int y) {
    EXPECT_TRUE(BeginFrame());
    gfx::ClearScreen(0xFF000000);
    gfx::SetBlendNone();
    gfx::SetFilterPoint();
    t.Draw(0, 0, 1.0f);
    const uint32_t value = Pixel(x, y);
    EndFrame();
    return value;
  }
};

TEST_F(Textures, RecordRoundTripDrawsAfterTheFileIsDeleted) {
  ASSERT_TRUE(Solid(0x30C050).SaveBMP(Path("pic.bmp").c_str()));
  {
    cl_Texture t;
    t.SetFile(Path("pic.bmp").c_str(), cl_Texture::kFormatA8R8G8B8);
    t.SetCenter(1.5f, 2.5f);
    base::File out(Path("tex.rec").c_str(), base::File::STATUS_WRITE);
    t.Write(&out);
    EXPECT_EQ(t.GetWidth(), 8u);
  }
  std::filesystem::remove(Path("pic.bmp"));
  base::File in(Path("tex.rec").c_str(), base::File::STATUS_READ);
  cl_Texture back;
  back.Read(&in);
  EXPECT_FALSE(in.has_error());
  EXPECT_EQ(in.get_remaining(), 0);
  EXPECT_EQ(back.GetStatus(), cl_Texture::FILE_VALID | cl_Texture::BINARY_VALID);
  EXPECT_EQ(back.GetFormat(), cl_Texture::kFormatFromFile);
  EXPECT_EQ(back.GetCenterX(), 1.5f);
  back.SetCenter(0, 0);
  EXPECT_TRUE(RgbNear(DrawAndRead(back, 3, 3), 0x30C050, 1));
}

TEST_F(Textures, RecordWithoutDataLoadsFromDiskAndDamagedRecordsAreRefused) {
  ASSERT_TRUE(Solid(0xFF0000).SaveBMP(Path("red.bmp").c_str()));
  cl_Texture written;
  written.SetFile(Path("red.bmp").c_str(), cl_Texture::kFormatA8R8G8B8);
  {
    base::File out(Path("full.rec").c_str(), base::File::STATUS_WRITE);
    written.Write(&out);
  }
  const std::string full = ReadBytes(Path("full.rec"));

  // Name set, data size 0: the image comes from the disk on first use.
  const std::string name = Path("red.bmp");
  std::string empty(4, 0);
  for (int i = 0; i < 4; ++i) empty[i] = static_cast<char>(name.size() >> (8 * i));
  empty += name + std::string(4, 0) + full.substr(full.size() - 20);
  base::File in;
  ASSERT_TRUE(in.open_memory(empty.data(), static_cast<int>(empty.size()), "empty.rec"));
  cl_Texture fromDisk;
  fromDisk.Read(&in);
  EXPECT_EQ(fromDisk.GetStatus(), cl_Texture::FILE_VALID);
  EXPECT_TRUE(RgbNear(DrawAndRead(fromDisk, 2, 2), 0xFF0000, 1));

  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string huge = full;
  huge[4 + name.size() + 3] = 0x7F;  // data size far past the end
  const Case cases[] = {
      {"cut in the data", full.substr(0, full.size() - 40)},
      {"cut in the size fields", full.substr(0, full.size() - 6)},
      {"data size past the end", huge},
      {"name length past the end", std::string("\xFF\xFF\x00\x00", 4) + "ab"},
  };
  for (const Case& c : cases) {
    testsupport::LogCapture log;
    base::File damaged;
    ASSERT_TRUE(damaged.open_memory(c.bytes.data(), static_cast<int>(c.bytes.size()), "bad.rec"));
    cl_Texture t;
    t.Read(&damaged);
    EXPECT_EQ(t.GetStatus(), 0u) << c.name;
    EXPECT_TRUE(t.GetFileName().empty()) << c.name;
    EXPECT_FALSE(t.Load()) << c.name;
    int errors = 0;
    for (const std::string& line : log.get()) errors += line.rfind("ERROR:", 0) == 0;
    EXPECT_EQ(errors, 1) << c.name;
  }
}

TEST_F(Textures, UndecodableDataIsLoggedWithTheName) {
  cl_Texture t;
  t.SetFile("junk.tga", cl_Texture::kFormatA8R8G8B8);
  base::Binary junk;
  junk.set(5, "abcde");
  t.SetFileData(junk);
  EXPECT_EQ(junk.size(), 0);
  testsupport::LogCapture log;
  EXPECT_FALSE(t.Load());
  EXPECT_TRUE(log.contains("ERROR: failed to load texture junk.tga from memory."));
  EXPECT_EQ(t.GetFileData().size(), 5);  // the bytes stay
}

TEST_F(Textures, FilesAreStretchedToPowerOfTwoTextures) {
  base::cl_Bitmap24 odd;
  odd.Create(6, 5);
  for (int i = 0; i < 30; ++i) odd.GetPixels()[i] = base::Color24(0x20, 0x90, 0xE0);
  ASSERT_TRUE(odd.SaveBMP(Path("odd.bmp").c_str()));
  cl_Texture t;
  t.SetFile(Path("odd.bmp").c_str(), cl_Texture::kFormatA8R8G8B8);
  ASSERT_TRUE(t.Load());
  EXPECT_EQ(t.GetWidth(), 8u);
  EXPECT_EQ(t.GetHeight(), 8u);
  EXPECT_GT(t.GetD3DTexture()->GetLevelCount(), 1u);  // the full chain
  // Resampled, not padded: the far corner has the picture's colour.
  EXPECT_TRUE(RgbNear(DrawAndRead(t, 7, 7), 0x2090E0, 2));
}

TEST_F(Textures, MissingFileClearsTheStatus) {
  cl_Texture t;
  t.SetFile(Path("none.tga").c_str(), cl_Texture::kFormatA8R8G8B8);
  EXPECT_FALSE(t.Load());
  EXPECT_EQ(t.GetStatus(), 0u);
  EXPECT_EQ(t.Bind(0), gpu::kOk);  // binds null
}

TEST_F(Textures, DrawRotatedMirrorsAtZeroAndTurnsCounterClockwise) {
  ASSERT_TRUE(Halves().SaveBMP(Path("halves.bmp").c_str()));
  cl_Texture t;
  t.SetFile(Path("halves.bmp").c_str(), cl_Texture::kFormatA8R8G8B8);
  ASSERT_TRUE(t.Load());
  t.SetCenterToMiddle();
  // The pivot lands at (20 + 4 − 0.5, 20 + 4 − 0.5); blue (the right half) is looked for three
  // pixels from it, at the angles 0, π/4 and π/2.
  struct Case {
    float angle;
    int blueX, blueY, redX, redY;
  };
  const Case cases[] = {
      {0.0f, 21, 23, 26, 23},            // mirrored: blue left of the pivot
      {0.7853982f, 21, 26, 26, 21},      // lower left
      {1.5707964f, 23, 26, 23, 21},      // below: on a screen with y down, counter-clockwise
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(BeginFrame());
    gfx::ClearScreen(0xFF000000);
    gfx::SetBlendNone();
    gfx::SetFilterPoint();
    t.DrawRotated(20, 20, c.angle, 1.0f);
    EXPECT_EQ(Pixel(c.blueX, c.blueY), 0x0000FFu) << c.angle;
    EXPECT_EQ(Pixel(c.redX, c.redY), 0xFF0000u) << c.angle;
    EndFrame();
  }
  // Plain Draw is not mirrored, and scale 2 places the pivot at twice the position.
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000);
  t.Draw(10, 10, 2.0f);  // pivot (4, 4) → top-left (12, 12), 16 pixels wide
  EXPECT_EQ(Pixel(13, 14), 0xFF0000u);
  EXPECT_EQ(Pixel(26, 14), 0x0000FFu);
  EXPECT_EQ(Pixel(11, 14), 0u);
  EndFrame();
}

TEST_F(Textures, CreateFromBitmapFillsOutsideTexelsWithZero) {
  base::cl_Bitmap32 bitmap;
  bitmap.Create(4, 4);
  for (int i = 0; i < 16; ++i) bitmap.GetPixels()[i] = base::Color32(0xFF112233u + static_cast<uint32_t>(i));
  cl_Texture t;
  ASSERT_TRUE(t.CreateFromBitmap(&bitmap, 2, 1, 4, 4));
  EXPECT_EQ(t.GetStatus(), static_cast<uint32_t>(cl_Texture::TEXTURE_VALID));
  std::unique_ptr<base::cl_Bitmap32> read(gfx::CreateBitmapFromTexture(t.GetD3DTexture()));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Pixel(0, 0)->value(), bitmap.Pixel(2, 1)->value());
  EXPECT_EQ(read->Pixel(1, 2)->value(), bitmap.Pixel(3, 3)->value());
  EXPECT_EQ(read->Pixel(2, 0)->value(), 0u);  // x 4: outside
  EXPECT_EQ(read->Pixel(0, 3)->value(), 0u);  // y 4: outside
  EXPECT_EQ(gfx::CreateBitmapFromTexture(nullptr), nullptr);
}

TEST_F(Textures, NamedListFindsTheFirstOfAName) {
  base::tNamedList<cl_Texture> list;
  cl_Texture* first = SolidTexture(2, 2, 0xFFFFFFFF);
  list.Add("a", first);
  list.Add("b", new cl_Texture);
  list.Add("a", new cl_Texture);
  EXPECT_EQ(list.Find("a"), first);
  EXPECT_EQ(list.Find("c"), nullptr);
  EXPECT_EQ(list.Count(), 3);

  ASSERT_TRUE(Solid(0x00FF00).SaveBMP(Path("g.bmp").c_str()));
  list.Get(1)->SetFile(Path("g.bmp").c_str(), cl_Texture::kFormatA8R8G8B8);
  {
    base::File out(Path("list.rec").c_str(), base::File::STATUS_WRITE);
    list.Write(&out);
  }
  base::tNamedList<cl_Texture> back;
  {
    base::File in(Path("list.rec").c_str(), base::File::STATUS_READ);
    ASSERT_TRUE(back.Read(&in));
  }
  EXPECT_EQ(back.Count(), 3);
  ASSERT_NE(back.Find("b"), nullptr);
  EXPECT_EQ(back.Find("b")->GetFileData().size(), list.Get(1)->GetFileData().size());

  std::string bytes = ReadBytes(Path("list.rec"));
  bytes.resize(bytes.size() - 10);
  base::File cut;
  ASSERT_TRUE(cut.open_memory(bytes.data(), static_cast<int>(bytes.size()), "cut.rec"));
  testsupport::LogCapture log;
  EXPECT_FALSE(back.Read(&cut));
  EXPECT_EQ(back.Count(), 0);
  EXPECT_TRUE(log.contains("ERROR:"));
}

TEST_F(Textures, ResourceListFilesTexturesByLabel) {
  ASSERT_TRUE(Solid(0x0000FF).SaveBMP(Path("blue.bmp").c_str()));
  std::ofstream(Path("res.xml")) << "<Resources><Texture label=\"blue\" file=\"" << Path("blue.bmp")
                                 << "\" x=\"4\" y=\"2\"/><Texture label=\"blue\" file=\"other.tga\"/></Resources>";
  testsupport::LogCapture log;
  base::sys::AddResources(Path("res.xml").c_str());
  cl_Texture* t = gfx::TextureExists("blue");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->GetCenterX(), 4.0f);
  EXPECT_EQ(std::string(t->GetFileName().c_str()), Path("blue.bmp"));  // the first definition stays
  EXPECT_EQ(gfx::TextureExists("nothing"), nullptr);
  EXPECT_TRUE(log.contains("blue"));
}

TEST_F(Textures, CompressToDdsWritesTheAskedFormatAndLevels) {
  base::cl_Bitmap32 bitmap;
  bitmap.Create(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) *bitmap.Pixel(x, y) = base::Color32(x * 16, y * 16, 128, (x + y) * 8);
  struct Case {
    bool alpha, mipMaps, compress;
    uint32_t format;
    size_t levels;
    int tolerance;
  };
  const Case cases[] = {
      {true, true, true, gpu::fmt::DXT5, 5, 32},
      {false, false, true, gpu::fmt::DXT1, 1, 32},
      {true, false, false, gpu::fmt::A8R8G8B8, 1, 0},
  };
  for (const Case& c : cases) {
    base::Binary out;
    testsupport::LogCapture log;
    ASSERT_TRUE(gfx::CompressToDDS(out, &bitmap, 16, 16, c.alpha, c.mipMaps, c.compress));
    EXPECT_EQ(log.contains(" bytes."), c.compress);
    gpux::DdsImage dds;
    ASSERT_TRUE(gpux::ReadDds(out.get_buffer(), static_cast<size_t>(out.size()), "t.dds", &dds));
    EXPECT_EQ(dds.format, c.format);
    EXPECT_EQ(dds.levels.size(), c.levels);
    gpux::Image image;
    ASSERT_TRUE(gpux::DecodeImage(out.get_buffer(), static_cast<size_t>(out.size()), "t.dds", &image));
    ASSERT_EQ(image.width, 16u);
    int worst = 0;
    for (int i = 0; i < 256; ++i) {
      const uint32_t want = bitmap.GetPixels()[i].value(), got = image.pixels[static_cast<size_t>(i)];
      for (int shift : {16, 8, 0}) worst = std::max(worst, std::abs(int((want >> shift) & 0xFF) - int((got >> shift) & 0xFF)));
      if (c.alpha) worst = std::max(worst, std::abs(int(want >> 24) - int(got >> 24)));
    }
    EXPECT_LE(worst, c.tolerance) << c.format;
  }
  base::Binary out;
  testsupport::LogCapture log;
  EXPECT_FALSE(gfx::CompressToDDS(out, nullptr, 16, 16, true, false, true));
}

class LowResTextures : public Textures {
 protected:
  std::string DisplayAttributes() const override { return "LowRes=\"1\""; }
};

TEST_F(LowResTextures, TheLowVariantIsUsedWhereItExists) {
  std::filesystem::create_directories(Path("art/low"));
  ASSERT_TRUE(Solid(0xFF0000).SaveBMP(Path("art/a.bmp").c_str()));
  ASSERT_TRUE(Solid(0xFF0000).SaveBMP(Path("art/b.bmp").c_str()));
  base::cl_Bitmap32 blue;
  blue = Solid(0x0000FF);
  base::Binary dds;
  ASSERT_TRUE(gfx::CompressToDDS(dds, &blue, 8, 8, false, false, false));
  ASSERT_TRUE(base::SaveFile(Path("art/low/a.dds").c_str(), dds.get_buffer(), dds.size()));

  cl_Texture a, b;
  a.SetFile(Path("art/a.bmp").c_str(), cl_Texture::kFormatA8R8G8B8);
  b.SetFile(Path("art/b.bmp").c_str(), cl_Texture::kFormatA8R8G8B8);
  EXPECT_TRUE(RgbNear(DrawAndRead(a, 2, 2), 0x0000FF, 1));
  EXPECT_EQ(std::string(a.GetFileName().c_str()), Path("art/low/a.dds"));
  EXPECT_TRUE(RgbNear(DrawAndRead(b, 2, 2), 0xFF0000, 1));
  EXPECT_EQ(std::string(b.GetFileName().c_str()), Path("art/b.bmp"));
}

}  // namespace
}  // namespace gfxtest
