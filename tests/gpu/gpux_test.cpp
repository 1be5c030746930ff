// Image files to textures, the DDS reader, the skinning effect and the video shaders.
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#include "GpuFixture.h"
#include "platform/gpu/Log.h"
#include "platform/gpu/Png.h"
#include "platform/gpux/Dds.h"
#include "platform/gpux/Effect.h"
#include "platform/gpux/TextureLoad.h"
#include "platform/gpux/VideoShaders.h"
#include "support/LogCapture.h"

namespace gputest {
namespace {

using namespace gpu;

using LogCapture = testsupport::tLogCapture<testsupport::tSinkLog<&gpu::SetLogSink>>;

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A DDS file: header, then the given level bytes.
std::vector<uint8_t> MakeDds(uint32_t w, uint32_t h, uint32_t mips, uint32_t fourcc, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> b = {'D', 'D', 'S', ' '};
  Put32(b, 124);
  Put32(b, 0x1007 | (mips > 1 ? 0x20000 : 0));
  Put32(b, h), Put32(b, w), Put32(b, 0), Put32(b, 0), Put32(b, mips);
  for (int i = 0; i < 11; ++i) Put32(b, 0);
  Put32(b, 32);
  if (fourcc) {
    Put32(b, 0x4), Put32(b, fourcc);
    for (int i = 0; i < 5; ++i) Put32(b, 0);
  } else {  // A8R8G8B8
    Put32(b, 0x41), Put32(b, 0), Put32(b, 32), Put32(b, 0xFF0000), Put32(b, 0xFF00), Put32(b, 0xFF), Put32(b, 0xFF000000u);
  }
  Put32(b, 0x1000), Put32(b, 0), Put32(b, 0), Put32(b, 0), Put32(b, 0);
  EXPECT_EQ(b.size(), 128u);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

const uint8_t kRedBlueBlock[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};

TEST(DdsRead, LevelsAndFormats) {
  std::vector<uint8_t> levels;
  for (int i = 0; i < 5; ++i) levels.insert(levels.end(), kRedBlueBlock, kRedBlueBlock + 8);  // 8×4 (2 blocks), 4×2, 2×1, 1×1
  const auto file = MakeDds(8, 4, 4, fmt::DXT1, levels);
  gpux::DdsImage image;
  ASSERT_TRUE(gpux::ReadDds(file.data(), file.size(), "t.dds", &image));
  EXPECT_EQ(image.format, fmt::DXT1);
  ASSERT_EQ(image.levels.size(), 4u);
  EXPECT_EQ(image.levels[0].data.size(), 16u);
  EXPECT_EQ(image.levels[2].width, 2u);
  EXPECT_EQ(image.levels[3].height, 1u);
}

TEST(DdsRead, BadFilesAreRefusedWithALogLine) {
  LogCapture capture;
  std::vector<uint8_t> levels(16, 0);
  auto file = MakeDds(8, 4, 1, fmt::DXT1, levels);
  gpux::DdsImage image;
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"truncated level", std::vector<uint8_t>(file.begin(), file.end() - 1), "extends past end"},
      {"short header", std::vector<uint8_t>(file.begin(), file.begin() + 60), "header truncated"},
      {"too many levels", MakeDds(8, 4, 9, fmt::DXT1, levels), "mip levels"},
      {"unknown fourcc", MakeDds(8, 4, 1, 0x31495441, levels), "unsupported pixel format"},
      {"zero size", MakeDds(0, 4, 1, fmt::DXT1, levels), "out of range"},
  };
  for (const auto& c : cases) {
    capture.clear();
    EXPECT_FALSE(gpux::ReadDds(c.bytes.data(), c.bytes.size(), "bad.dds", &image)) << c.what;
    EXPECT_TRUE(capture.contains("ERROR: dds 'bad.dds'")) << c.what;
    EXPECT_TRUE(capture.contains(c.message)) << c.what << ": " << capture.text();
  }
}

// A 24-bit uncompressed TGA, bottom row first as the format stores it by default.
std::vector<uint8_t> MakeTga(uint32_t w, uint32_t h, const std::vector<uint32_t>& topFirst) {
  std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(w), 0, uint8_t(h), 0, 24, 0};
  for (uint32_t y = h; y-- > 0;)
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t c = topFirst[y * w + x];
      b.push_back(uint8_t(c)), b.push_back(uint8_t(c >> 8)), b.push_back(uint8_t(c >> 16));
    }
  return b;
}

class LoadTest : public GpuTest {
 protected:
  std::vector<uint32_t> Level(Texture* t, uint32_t level) {
    SurfaceDesc desc;
    t->GetLevelDesc(level, &desc);
    LockedRect locked;
    std::vector<uint32_t> out(size_t(desc.width) * desc.height);
    t->LockRect(level, &locked, nullptr, lock::ReadOnly);
    for (uint32_t y = 0; y < desc.height; ++y)
      std::memcpy(&out[size_t(y) * desc.width], static_cast<uint8_t*>(locked.bits) + size_t(y) * uint32_t(locked.pitch),
                  desc.width * 4);
    t->UnlockRect(level);
    return out;
  }
};

TEST_F(LoadTest, TgaSizesRoundUpOrStayAndPadWithTransparentBlack) {
  const std::vector<uint32_t> pixels = {0xFF102030, 0xFF405060, 0xFF708090, 0xFF000000, 0xFFFFFFFF, 0xFF0000FF};
  const auto file = MakeTga(3, 2, pixels);
  Texture* t = nullptr;
  gpux::ImageInfo info{};
  ASSERT_EQ(gpux::CreateTextureFromFileInMemoryEx(device_, file.data(), file.size(), gpux::kDefault, gpux::kDefault, 1, 0,
                                                  fmt::A8R8G8B8, pool::Scratch, gpux::filter::None, gpux::filter::None, 0,
                                                  &info, &t), kOk);
  EXPECT_EQ(info.width, 3u);
  EXPECT_EQ(info.imageFileFormat, uint32_t(gpux::kTga));
  EXPECT_EQ(info.format, fmt::X8R8G8B8);
  EXPECT_EQ(t->Width(), 4u);
  EXPECT_EQ(t->Height(), 2u);
  auto level = Level(t, 0);
  EXPECT_EQ(level[0], 0xFF102030u);
  EXPECT_EQ(level[2], 0xFF708090u);
  EXPECT_EQ(level[3], 0u);  // the margin
  EXPECT_EQ(level[4 + 2], 0xFF0000FFu);
  t->Release();
  // The file's own size, a full chain, and a colour key.
  ASSERT_EQ(gpux::CreateTextureFromFileInMemoryEx(device_, file.data(), file.size(), gpux::kDefaultNonPow2,
                                                  gpux::kDefaultNonPow2, 0, 0, fmt::A8R8G8B8, pool::Managed,
                                                  gpux::filter::Triangle, gpux::filter::Triangle, 0xFF000000, nullptr, &t),
            kOk);
  EXPECT_EQ(t->Width(), 3u);
  EXPECT_EQ(t->GetLevelCount(), 2u);  // 3×2, 1×1
  level = Level(t, 0);
  EXPECT_EQ(level[3], 0u);  // opaque black keyed out
  EXPECT_EQ(level[4], 0xFFFFFFFFu);
  t->Release();
}

TEST_F(LoadTest, PngKeepsAlphaAndMipLevelsAverage) {
  const std::vector<uint32_t> pixels = {0x80FF0000, 0x80FF0000, 0x8000FF00, 0x8000FF00,
                                        0x80FF0000, 0x80FF0000, 0x8000FF00, 0x8000FF00};
  const std::string path = testing::TempDir() + "gpux_load.png";
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodePng(4, 2, pixels.data(), 16, true, png));
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  Texture* t = nullptr;
  gpux::ImageInfo info{};
  ASSERT_EQ(gpux::CreateTextureFromFileEx(device_, path.c_str(), gpux::kDefault, gpux::kDefault, 0, 0, fmt::FromFile,
                                          pool::Managed, gpux::filter::Triangle, gpux::filter::Triangle, 0, &info, &t),
            kOk);
  EXPECT_EQ(info.imageFileFormat, uint32_t(gpux::kPng));
  EXPECT_EQ(t->Format(), fmt::A8R8G8B8);
  ASSERT_EQ(t->GetLevelCount(), 3u);  // 4×2, 2×1, 1×1
  EXPECT_EQ(Level(t, 0)[0], 0x80FF0000u);
  EXPECT_EQ(Level(t, 1)[1], 0x8000FF00u);
  EXPECT_TRUE(ColorNear(Level(t, 2)[0], 0x80808000u, 1));
  t->Release();
  std::remove(path.c_str());
}

TEST_F(LoadTest, DdsGoesInAsStoredOrDecodedOnRequest) {
  std::vector<uint8_t> levels;
  for (int i = 0; i < 3; ++i) levels.insert(levels.end(), kRedBlueBlock, kRedBlueBlock + 8);
  const auto file = MakeDds(4, 4, 3, fmt::DXT1, levels);
  Texture* t = nullptr;
  ASSERT_EQ(gpux::CreateTextureFromFileInMemoryEx(device_, file.data(), file.size(), gpux::kDefault, gpux::kDefault, 0, 0,
                                                  fmt::FromFile, pool::Managed, gpux::filter::Triangle,
                                                  gpux::filter::Triangle, 0, nullptr, &t),
            kOk);
  EXPECT_EQ(t->Format(), fmt::DXT1);
  EXPECT_EQ(t->GetLevelCount(), 3u);
  t->Release();
  ASSERT_EQ(gpux::CreateTextureFromFileInMemoryEx(device_, file.data(), file.size(), gpux::kDefault, gpux::kDefault, 1, 0,
                                                  fmt::A8R8G8B8, pool::Managed, gpux::filter::None, gpux::filter::None, 0,
                                                  nullptr, &t),
            kOk);
  EXPECT_EQ(t->Format(), fmt::A8R8G8B8);
  const auto level = Level(t, 0);
  EXPECT_EQ(level[0], 0xFFFF0000u);
  EXPECT_EQ(level[1], 0xFF0000FFu);
  t->Release();
  // An uncompressed DDS and the conversion the other way, into DXT5.
  std::vector<uint8_t> argb(16 * 4, 0x80);
  const auto plain = MakeDds(4, 4, 1, 0, argb);
  ASSERT_EQ(gpux::CreateTextureFromFileInMemoryEx(device_, plain.data(), plain.size(), gpux::kDefault, gpux::kDefault, 1,
                                                  0, fmt::DXT5, pool::Managed, gpux::filter::None, gpux::filter::None, 0,
                                                  nullptr, &t),
            kOk);
  EXPECT_EQ(t->Format(), fmt::DXT5);
  t->Release();
}

// The decoder reads zeros past the end of a TGA and calls it a picture: a file cut short,
// plain or run-length coded, is refused by name instead.
TEST(TgaDecode, FilesCutShortAreRefusedWithTheirName) {
  const std::vector<uint8_t> plain = MakeTga(4, 4, std::vector<uint32_t>(16, 0x336699u));
  std::vector<uint8_t> runs = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0};
  for (uint8_t b : {0x87, 1, 2, 3}) runs.push_back(b);  // 8 pixels of one colour
  runs.push_back(0x07);                                   // 8 pixels given one by one
  for (int i = 0; i < 8 * 3; ++i) runs.push_back(uint8_t(i));
  const std::vector<uint8_t>* const wholes[] = {&plain, &runs};
  for (const std::vector<uint8_t>* whole : wholes) {
    gpux::Image image;
    EXPECT_TRUE(gpux::DecodeImage(whole->data(), whole->size(), "whole.tga", &image));
    EXPECT_EQ(image.width * image.height, 16u);
    for (size_t cut : {whole->size() - 1, size_t(30), size_t(18)}) {
      LogCapture capture;
      EXPECT_FALSE(gpux::DecodeImage(whole->data(), cut, "cut.tga", &image)) << cut;
      EXPECT_TRUE(capture.contains("ERROR: image 'cut.tga': cut short")) << capture.text();
    }
  }
}

TEST_F(LoadTest, GarbageIsRefused) {
  LogCapture capture;
  const uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  Texture* t = reinterpret_cast<Texture*>(1);
  EXPECT_NE(gpux::CreateTextureFromFileInMemoryEx(device_, junk, sizeof junk, gpux::kDefault, gpux::kDefault, 0, 0,
                                                  fmt::FromFile, pool::Managed, gpux::filter::Triangle,
                                                  gpux::filter::Triangle, 0, nullptr, &t, "junk.tga"),
            kOk);
  EXPECT_EQ(t, nullptr);
  EXPECT_TRUE(capture.contains("ERROR: image 'junk.tga'")) << capture.text();
  capture.clear();
  EXPECT_NE(gpux::CreateTextureFromFileEx(device_, "/nonexistent/x.tga", gpux::kDefault, gpux::kDefault, 0, 0,
                                          fmt::FromFile, pool::Managed, 0, 0, 0, nullptr, &t),
            kOk);
  EXPECT_TRUE(capture.contains("cannot open"));
}

// ---- the skinning effect

struct SkinVertex {  // position, three weights, four bone indices, normal (stored negated), uv
  float x, y, z, w0, w1, w2;
  uint8_t bones[4];
  float nx, ny, nz, u, v;
};
static_assert(sizeof(SkinVertex) == 48);

class EffectTest : public GpuTest {
 protected:
  void SetUp() override {
    GpuTest::SetUp();
    if (!device_) return;
    std::string errors;
    const std::string path = std::string(QUILLANE_TEST_DIR) + "/../../data/Shader/Skinning.fx";
    ASSERT_EQ(gpux::Effect::CreateFromFile(device_, path.c_str(), &effect_, &errors), kOk) << errors;
    white_ = MakeTexture(1, 1, {0xFFFFFFFF});
    device_->Clear(0, nullptr, clear::Target | clear::ZBuffer, 0xFF000000, 1.0f, 0);
    device_->SetRenderState(rs::CullMode, cull::None);
  }
  void TearDown() override {
    if (effect_) effect_->Release();
    if (white_) white_->Release();
    GpuTest::TearDown();
  }
  // A quad over the left half of clip space, all weight on bone `bone` (through the implied 4th weight).
  void DrawQuad(uint8_t bone) {
    SkinVertex v[4];
    const float xy[4][2] = {{-1, 1}, {0, 1}, {-1, -1}, {0, -1}};
    for (int i = 0; i < 4; ++i)
      v[i] = {xy[i][0], xy[i][1], 0.5f, 0, 0, 0, {0, 0, 0, bone}, 0, 0, 1, 0, 0};  // normal (0,0,-1) stored negated
    uint32_t passes = 0;
    effect_->Begin(&passes, 0);
    ASSERT_EQ(passes, 1u);
    effect_->BeginPass(0);
    device_->SetFVF(0x111C);
    ASSERT_EQ(device_->DrawPrimitiveUP(prim::TriangleStrip, 2, v, sizeof(SkinVertex)), kOk);
    effect_->EndPass();
    effect_->End();
  }
  void Common() {
    const Matrix identity = IdentityMatrix();
    Matrix bones[2] = {identity, identity};
    bones[1].m[3][0] = 1.0f;  // bone 1 moves right by half the screen
    effect_->SetMatrixArray("BoneWorld", bones, 2);
    effect_->SetMatrix("ViewProjection", identity);
    effect_->SetFloat("NumBones", 4.0f);
    effect_->SetTexture("ColorTexture", white_);
    effect_->SetFloat("DiffuseCoeff", 1.0f);
  }
  gpux::Effect* effect_ = nullptr;
  Texture* white_ = nullptr;
};

TEST_F(EffectTest, HasBothTechniques) {
  EXPECT_EQ(effect_->SetTechnique("Skinned"), kOk);
  EXPECT_EQ(effect_->SetTechnique("CC_Skinned"), kOk);
  EXPECT_NE(effect_->SetTechnique("Other"), kOk);
}

TEST_F(EffectTest, ConstantColourFollowsBonePalette) {
  Common();
  effect_->SetTechnique("CC_Skinned");
  const float colour[3] = {1.0f, 0.5f, 0.0f};
  effect_->SetFloatArray("Color", colour, 3);
  effect_->SetInt("AlphaMode", 0);
  DrawQuad(1);
  EXPECT_EQ(Pixel(8, 16), 0xFF000000u);  // the left half stays empty
  EXPECT_TRUE(ColorNear(Pixel(24, 16), 0xFFFF8000, 1));
}

TEST_F(EffectTest, SkinnedLightsWithAmbientAndDirectionalLight) {
  Common();
  effect_->SetTechnique("Skinned");
  const float ambient[3] = {0.2f, 0.1f, 0.0f};
  effect_->SetFloatArray("Color", ambient, 3);
  effect_->SetInt("CurNumLights", 1);
  effect_->SetInt("NumLights", 1);
  const float direction[4] = {0, 0.6f, 0.8f, 0};  // N = (0,0,-1): N·L = 0.8
  const float lightColour[4] = {0.5f, 0.5f, 1.0f, 0};
  const float range = 0.0f;
  effect_->SetVectorArray("LightPosNrml", direction, 1);
  effect_->SetVectorArray("LightColor", lightColour, 1);
  effect_->SetFloatArray("LightRange", &range, 1);
  effect_->SetInt("AlphaMode", 0);
  DrawQuad(0);
  EXPECT_TRUE(ColorNear(Pixel(8, 16), 0xFF9980CC, 2));  // (0.2 + 0.4, 0.1 + 0.4, 0 + 0.8)
}

// ---- the video shaders

TEST_F(GpuTest, VideoShadersConvertLimitedRangeYuv) {
  const uint8_t planes[4] = {128, 128, 128, 64};  // Y, Cr, Cb, A
  Texture* textures[4] = {};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(device_->CreateTexture(2, 2, 1, 0, fmt::A8, pool::Managed, &textures[i]), kOk);
    LockedRect locked;
    textures[i]->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < 2; ++y) std::memset(static_cast<uint8_t*>(locked.bits) + y * locked.pitch, planes[i], 2);
    textures[i]->UnlockRect(0);
    device_->SetTexture(uint32_t(i), textures[i]);
  }
  PixelShader* colour = nullptr;
  PixelShader* colourAlpha = nullptr;
  ASSERT_EQ(device_->CreatePixelShader(gpux::kVideoColourShader, &colour), kOk);
  ASSERT_EQ(device_->CreatePixelShader(gpux::kVideoColourAlphaShader, &colourAlpha), kOk);
  const VertexElement elements[] = {{0, 0, decl::Float4, 0, decl::UsagePositionT, 0},
                                    {0, 16, decl::Float2, 0, decl::UsageTexCoord, 0}, decl::End};
  VertexDeclaration* declaration = nullptr;
  ASSERT_EQ(device_->CreateVertexDeclaration(elements, &declaration), kOk);
  const float quad[4][6] = {{0, 0, 0, 1, 0, 0}, {32, 0, 0, 1, 1, 0}, {0, 32, 0, 1, 0, 1}, {32, 32, 0, 1, 1, 1}};
  device_->SetRenderState(rs::ZEnable, 0);
  device_->SetRenderState(rs::CullMode, cull::None);
  device_->SetVertexDeclaration(declaration);
  device_->SetPixelShader(colour);
  const float one[4] = {1, 1, 1, 1};
  device_->SetPixelShaderConstantF(0, one, 1);
  device_->DrawPrimitiveUP(prim::TriangleStrip, 2, quad, 24);
  // Reference: the conversion written out for a plane value of 128/255.
  const float v = 128.0f / 255.0f;
  auto q = [](float c) { return uint32_t(std::lround(std::fmin(std::fmax(c, 0.0f), 1.0f) * 255.0f)); };
  const float r = v * 1.164123535f + v * 1.595794678f - 0.87065506f;
  const float g = v * 1.164123535f - v * 0.813476563f - v * 0.391448975f + 0.529705048f;
  const float b = v * 1.164123535f + v * 2.017822266f - 1.081668854f;
  EXPECT_TRUE(ColorNear(Pixel(10, 10), 0xFF000000u | q(r) << 16 | q(g) << 8 | q(b), 1));
  // With an alpha plane, premultiplied by a constant of 0.5, blended with source factor one.
  device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  device_->SetPixelShader(colourAlpha);
  const float half[4] = {0.5f, 0.5f, 0.5f, 0.5f};
  device_->SetPixelShaderConstantF(0, half, 1);
  device_->SetRenderState(rs::AlphaBlendEnable, 1);
  device_->SetRenderState(rs::SrcBlend, blend::One);
  device_->SetRenderState(rs::DestBlend, blend::InvSrcAlpha);
  device_->DrawPrimitiveUP(prim::TriangleStrip, 2, quad, 24);
  const float a = 64.0f / 255.0f * 0.5f;
  EXPECT_TRUE(ColorNear(Pixel(10, 10), 0xFF000000u | q(r * 0.5f) << 16 | q(g * 0.5f) << 8 | q(b * 0.5f), 1));
  (void)a;
  device_->SetPixelShader(nullptr);
  device_->SetVertexDeclaration(nullptr);
  for (int i = 0; i < 4; ++i) {
    device_->SetTexture(uint32_t(i), nullptr);
    textures[i]->Release();
  }
  declaration->Release();
  colour->Release();
  colourAlpha->Release();
}

TEST_F(GpuTest, BrokenPixelShaderIsRefusedAtCreation) {
  LogCapture capture;
  PixelShader* shader = nullptr;
  EXPECT_NE(device_->CreatePixelShader("void main() { outColor = undefinedThing; }", &shader), kOk);
  EXPECT_EQ(shader, nullptr);
  EXPECT_TRUE(capture.contains("ERROR: gpu: pixel shader"));
}

}  // namespace
}  // namespace gputest

namespace gputest {
namespace {

using namespace gpu;

class EffectPassTest : public EffectTest {};

TEST_F(EffectPassTest, TwoBonesBlendAndAlphaModesSplitTheTexels) {
  Common();
  effect_->SetTechnique("CC_Skinned");
  const float colour[3] = {1, 1, 1};
  effect_->SetFloatArray("Color", colour, 3);
  // Half the weight on each bone: the quad moves half of bone 1's shift.
  SkinVertex v[4];
  const float xy[4][2] = {{-1, 1}, {0, 1}, {-1, -1}, {0, -1}};
  for (int i = 0; i < 4; ++i) v[i] = {xy[i][0], xy[i][1], 0.5f, 0.5f, 0, 0, {0, 0, 0, 1}, 0, 0, 1, 0, 0};
  auto draw = [&](int alphaMode) {
    effect_->SetInt("AlphaMode", alphaMode);
    uint32_t passes = 0;
    effect_->Begin(&passes, 0);
    effect_->BeginPass(0);
    device_->SetFVF(0x111C);
    device_->DrawPrimitiveUP(prim::TriangleStrip, 2, v, sizeof(SkinVertex));
    effect_->EndPass();
    effect_->End();
  };
  draw(0);
  EXPECT_EQ(Pixel(4, 16), 0xFF000000u);   // x < -0.5 stays empty
  EXPECT_EQ(Pixel(20, 16), 0xFFFFFFFFu);  // covered: -0.5 .. 0.5
  // A half-transparent texture: the first alpha pass drops it, the second keeps it.
  Texture* glass = MakeTexture(1, 1, {0x40FFFFFF});
  effect_->SetTexture("ColorTexture", glass);
  device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
  draw(1);
  EXPECT_EQ(Pixel(20, 16), 0xFF000000u);
  draw(2);
  EXPECT_NE(Pixel(20, 16), 0xFF000000u);
  effect_->SetTexture("ColorTexture", nullptr);
  glass->Release();
}

}  // namespace
}  // namespace gputest
