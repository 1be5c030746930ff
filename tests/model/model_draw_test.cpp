// Models drawn on the headless device: material states read back, the skinned draw against a
// coverage mask skinned on the CPU, the lit draw against a reviewed image, the texture override
// and a missing effect.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "../graphics/GraphicsFixture.h"
#include "base/Imaging.h"
#include "base/math/Matrix4.h"
#include "graphics/Camera.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Skeleton.h"
#include "model_test_support.h"
#include "platform/gpux/TextureLoad.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/PngFile.h"

namespace {

using namespace modeltest;
using gfx::cl_Model;
namespace rs = gpu::rs;

class ModelDraw : public gfxtest::GraphicsTest {
 protected:
  void SetUp() override {
    gfxtest::GraphicsTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_oldDir = std::filesystem::current_path();
    // The effect is found as the game finds it: "Shader\Skinning.fx" below the data folder.
    std::filesystem::current_path(QUILLANE_DATA_DIR);
    cl_Model::ReleaseSkinShader();
  }
  void TearDown() override {
    cl_Model::ReleaseSkinShader();
    gfx::DisableLighting();
    gfx::SetModelConstantColor(false);
    gfx::SetModelTextureOverride(nullptr);
    if (!m_oldDir.empty()) std::filesystem::current_path(m_oldDir);
    gfxtest::GraphicsTest::TearDown();
  }

  // A 30-bone chain bent by its skin matrices: bone b turns about z by b × 0.05 around its
  // own base, scaled to fill the frame.
  void Pose(base::cl_Skeleton& skeleton) {
    skeleton.Create(30);
    for (int b = 0; b < 30; ++b) {
      base::Matrix4 toBase, turn, back;
      toBase.translation(0, -static_cast<float>(b), 0);
      turn.rotation(base::tVector3<float>(0, 0, 1), b * 0.05f);
      back.translation(0, static_cast<float>(b), 0);
      skeleton[b].skinMatrix = toBase * turn * back;
    }
  }

  base::cl_Camera Camera() {
    base::cl_Camera camera;
    camera.SetViewportRect(0, 0, kWidth, kHeight);
    camera.SetClippingRange(1.0f, 500.0f);
    camera.SetPos({-4, 15, 48});
    camera.LookAt({-4, 15, 0}, {0, 1, 0});
    camera.GetProjectionMatrix();
    return camera;
  }

  std::filesystem::path m_oldDir;
};

TEST_F(ModelDraw, ApplyMaterialSetsTheStatesItNames) {
  ASSERT_TRUE(BeginFrame());
  gpu::Device* d = Device();
  base::tNamedList<gfx::cl_Texture> own;
  own.Add("skin", SolidTexture(4, 4, 0xFF00FF00));

  gfx::ApplyMaterial(Material("lambert", 1, "skin"), &own);
  EXPECT_EQ(d->GetRenderState(rs::AlphaBlendEnable), 1u);
  EXPECT_EQ(d->GetTextureStageState(0, gpu::tss::ColorOp), gpu::top::Modulate);
  EXPECT_EQ(d->GetTexture(0), own.Find("skin")->GetD3DTexture());
  EXPECT_EQ(d->GetRenderState(rs::CullMode), gpu::cull::None);

  // An unknown texture leaves the bound one; "alpha" 2 is not blended.
  gfx::ApplyMaterial(Material("lambert", 2, "nowhere"), &own);
  EXPECT_EQ(d->GetRenderState(rs::CullMode), gpu::cull::None);  // models are drawn without culling
  EXPECT_EQ(d->GetTexture(0), own.Find("skin")->GetD3DTexture());
  EXPECT_EQ(d->GetTextureStageState(0, gpu::tss::AlphaOp), gpu::top::Disable);

  base::Variant colour;
  colour.set_element("Material");
  colour.attribute("shader")->set_string("diffusecolor");
  colour.attribute("r")->set_int(128);
  gfx::ApplyMaterial(colour, nullptr);
  EXPECT_EQ(d->GetRenderState(rs::TextureFactor), 0xFF80FFFFu);
  EXPECT_EQ(d->GetRenderState(rs::AlphaBlendEnable), 0u);

  // Lower-case label and a material without "shader" change nothing.
  base::Variant lower = Material("color", 0);
  lower.set_element("material");
  lower.attribute("shader")->set_string("color");
  gfx::ApplyMaterial(lower, nullptr);
  base::Variant bare;
  bare.set_element("Material");
  gfx::ApplyMaterial(bare, nullptr);
  EXPECT_EQ(d->GetRenderState(rs::TextureFactor), 0xFF80FFFFu);
  gfx::ApplyMaterial(Material("color", 0), nullptr);
  EXPECT_EQ(d->GetRenderState(rs::TextureFactor), 0xFFFF0000u);
  gfx::ApplyMaterial(Material("anything", 0), nullptr);
  EXPECT_EQ(d->GetRenderState(rs::TextureFactor), 0xFFFFFFFFu);
  EndFrame();
}

// Skins the chain's triangles on the CPU with the palette maths of the effect and rasterises
// them at integer pixel positions, where the device's pixel centres lie.
std::vector<uint8_t> CpuCoverage(const cl_Model& model, base::cl_Skeleton& skeleton, const base::Matrix4& world,
                                 base::cl_Camera& camera, int width, int height) {
  std::vector<uint8_t> mask(static_cast<size_t>(width * height), 0);
  const uint8_t* bytes = model.GetVertexBuffer().GetSystemCopy();
  const uint16_t* idx = model.GetIndexBuffer().GetSystemCopy();
  for (const auto& p : model.GetPartitions()) {
    auto screen = [&](int i) {
      const uint8_t* v = bytes + idx[i] * 48;
      float f[6];
      std::memcpy(f, v, 24);
      const float w[4] = {f[3], f[4], f[5], 1.0f - f[3] - f[4] - f[5]};
      base::tVector3<float> out(0, 0, 0);
      for (int k = 0; k < 4; ++k) {
        const base::Matrix4 m = skeleton[p.palette[v[24 + k]]].skinMatrix * world;
        const base::tVector3<float> q = m * base::tVector3<float>(f[0], f[1], f[2]);
        out = out + q * w[k];
      }
      return camera.World2Screen(out);
    };
    for (int t = 0; t < p.primitiveCount; ++t) {
      const int i = p.startIndex + t * 3;
      const base::tVector3<float> a = screen(i), b = screen(i + 1), c = screen(i + 2);
      auto edge = [](const base::tVector3<float>& u, const base::tVector3<float>& v, float x, float y) {
        return (v.x - u.x) * (y - u.y) - (v.y - u.y) * (x - u.x);
      };
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const float px = static_cast<float>(x), py = static_cast<float>(y);
          const float e0 = edge(a, b, px, py), e1 = edge(b, c, px, py), e2 = edge(c, a, px, py);
          if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0)) mask[static_cast<size_t>(y * width + x)] = 1;
        }
      }
    }
  }
  return mask;
}

TEST_F(ModelDraw, ConstantColourSkinnedDrawCoversTheCpuSkinnedMask) {
  cl_Mesh mesh;
  BuildChain(mesh, 30, 26);
  cl_Model model;
  ASSERT_TRUE(model.BuildIndexArrays(mesh));
  model.GetTextures().Add("skin", SolidTexture(4, 4, 0xFFFFFFFF));
  base::cl_Skeleton skeleton;
  Pose(skeleton);
  base::cl_Camera camera = Camera();
  // Begin3D culls back faces, and the mirrored chain shows its back: the draw must not cull.
  base::Matrix4 plain, mirrored;
  plain.scaling(4, 1, 4);
  mirrored.scaling(-4, 1, 4);
  for (const base::Matrix4& world : {plain, mirrored}) {
    ASSERT_TRUE(BeginFrame());
    gfx::ClearScreen(0xFF000000);
    gfx::Begin3D();
    gfx::SetCamera(&camera);
    gfx::SetModelConstantColor(true);
    gfx::SetTextureFactor(0xFFFFFFFF);
    const int before = gfx::GetFrameTriangleCount();
    const int drawn = gfx::DrawModelPart(&model, &skeleton, world, &camera);
    EXPECT_EQ(Device()->GetRenderState(rs::CullMode), gpu::cull::None);
    ASSERT_FALSE(cl_Model::SkinShaderFailed());
    // The alpha partition is drawn twice.
    int total = 0, alpha = 0;
    for (int i = 0; i < static_cast<int>(model.GetPartitions().size()); ++i) {
      total += model.GetPartitions()[static_cast<size_t>(i)].primitiveCount;
      if (i >= model.GetOpaquePartitionCount()) alpha += model.GetPartitions()[static_cast<size_t>(i)].primitiveCount;
    }
    EXPECT_EQ(drawn, total + alpha);
    EXPECT_EQ(gfx::GetFrameTriangleCount() - before, drawn);

    const std::vector<uint8_t> want = CpuCoverage(model, skeleton, world, camera, kWidth, kHeight);
    int both = 0, either = 0, hard = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const bool g = (Pixel(x, y) & 0xFFFFFF) > 0x404040, c = want[static_cast<size_t>(y * kWidth + x)] != 0;
        both += g && c;
        either += g || c;
        if (g == c) continue;
        // Pixels on the outline may go either way.
        bool edge = false;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < kWidth && ny < kHeight && want[static_cast<size_t>(ny * kWidth + nx)] != c) edge = true;
          }
        hard += !edge;
      }
    }
    EndFrame();
    ASSERT_GT(either, 100);
    EXPECT_GE(static_cast<double>(both + (either - both - hard)) / either, 0.99) << both << " of " << either;
  }
}

// The lit "Skinned" draw: a directional and a point light over a textured chain whose last
// segments are a half-transparent alpha region.
TEST_F(ModelDraw, LitSkinnedDrawMatchesTheReviewedImage) {
  cl_Mesh mesh;
  BuildChain(mesh, 30, 4);  // the alpha region needs two palettes
  cl_Model model;
  ASSERT_TRUE(model.BuildIndexArrays(mesh));
  base::cl_Bitmap32 bitmap;
  bitmap.Create(4, 4);
  for (int i = 0; i < bitmap.NumPixels(); ++i) bitmap.GetPixels()[i] = base::Color32(i % 2 ? 0x40FF8040u : 0xFFFFC080u);
  auto* texture = new gfx::cl_Texture;
  ASSERT_TRUE(texture->CreateFromBitmap(&bitmap, 0, 0));
  model.GetTextures().Add("skin", texture);
  base::cl_Skeleton skeleton;
  Pose(skeleton);
  base::cl_Camera camera = Camera();
  base::Matrix4 world;
  world.scaling(4, 1, 4);

  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF203040);
  gfx::Begin3D();
  gfx::SetCamera(&camera);
  gfx::EnableLighting(0xFF303030);
  gfx::SetDirectionalLight({-1, -0.5f, -1}, 0xFFC0C0C0);
  gfx::SetPointLight({-10, 10, 10}, 40.0f, 0xFF8080FF);
  gfx::SetDiffuseCoefficient(1.0f);
  ASSERT_EQ(model.GetPartitions().size() - model.GetOpaquePartitionCount(), 2u);
  EXPECT_GT(gfx::DrawModelPart(&model, &skeleton, world, &camera), 0);
  const std::string actual = Path("lit.png");
  ASSERT_TRUE(win32dx9::SaveSurfacePng(win32dx9::cl_DX9GraphicsDevice::GetInstance()->GetBackBuffer(), actual.c_str()));
  EndFrame();

  const std::string golden = std::string(QUILLANE_TEST_DIR) + "/data/skinned_lit.png";
  if (std::getenv("QUILLANE_UPDATE_GOLDEN")) std::filesystem::copy_file(actual, golden, std::filesystem::copy_options::overwrite_existing);
  auto load = [&](const std::string& path) {
    gpu::Texture* t = nullptr;
    EXPECT_EQ(gpux::CreateTextureFromFileEx(Device(), path.c_str(), gpux::kDefault, gpux::kDefault, 1, 0,
                                            gpu::fmt::A8R8G8B8, gpu::pool::Managed, gpux::filter::None,
                                            gpux::filter::None, 0, nullptr, &t),
              gpu::kOk)
        << path;
    std::unique_ptr<base::cl_Bitmap32> b(t ? gfx::CreateBitmapFromTexture(t) : nullptr);
    if (t) t->Release();
    return b;
  };
  std::unique_ptr<base::cl_Bitmap32> want = load(golden), got = load(actual);
  ASSERT_TRUE(want && got);
  ASSERT_EQ(want->NumPixels(), got->NumPixels());
  int off = 0;
  for (int i = 0; i < want->NumPixels(); ++i) {
    if (!gfxtest::RgbNear(static_cast<uint32_t>(got->GetPixels()[i]), static_cast<uint32_t>(want->GetPixels()[i]), 12)) ++off;
  }
  EXPECT_LE(off, want->NumPixels() / 100) << "pixels off the reviewed image";
}

TEST_F(ModelDraw, TextureOverrideReplacesEveryNamedTexture) {
  cl_Mesh mesh;
  BuildChain(mesh, 30);
  cl_Model model;
  ASSERT_TRUE(model.BuildIndexArrays(mesh));
  model.GetTextures().Add("skin", SolidTexture(4, 4, 0xFF0000FF));
  std::unique_ptr<gfx::cl_Texture> red(SolidTexture(4, 4, 0xFFFF0000));
  base::cl_Skeleton skeleton;
  Pose(skeleton);
  base::cl_Camera camera = Camera();
  base::Matrix4 world;
  world.scaling(4, 1, 4);
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000);
  gfx::Begin3D();
  gfx::SetCamera(&camera);
  gfx::EnableLighting(0xFFFFFFFF);
  gfx::SetDiffuseCoefficient(0.0f);
  gfx::SetModelTextureOverride(red.get());
  gfx::DrawModelPart(&model, &skeleton, world, &camera);
  int reddish = 0, bluish = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t p = Pixel(x, y);
      reddish += ((p >> 16) & 0xFF) > 0x80 && (p & 0xFF) < 0x40;
      bluish += (p & 0xFF) > 0x80;
    }
  EndFrame();
  EXPECT_GT(reddish, 50);
  EXPECT_EQ(bluish, 0);
}

TEST_F(ModelDraw, MissingEffectIsLoggedOnceAndDrawsNothing) {
  cl_Mesh mesh;
  BuildChain(mesh, 4);
  cl_Model model;
  ASSERT_TRUE(model.BuildIndexArrays(mesh));
  base::cl_Skeleton skeleton;
  Pose(skeleton);
  base::cl_Camera camera = Camera();
  std::filesystem::current_path(m_dir);  // no Shader folder here
  ASSERT_TRUE(BeginFrame());
  testsupport::LogCapture log;
  EXPECT_EQ(model.DrawSkinned(base::Matrix4(), &skeleton, &camera), 0);
  EXPECT_EQ(model.DrawSkinned(base::Matrix4(), &skeleton, &camera), 0);
  EXPECT_TRUE(cl_Model::SkinShaderFailed());
  int lines = 0;
  for (const auto& l : log.get()) lines += l.find("skinning effect") != std::string::npos;
  EXPECT_EQ(lines, 1);
  // After a reset the effect is tried again.
  std::filesystem::current_path(QUILLANE_DATA_DIR);
  cl_Model::ReleaseSkinShader();
  EXPECT_GT(model.DrawSkinned(base::Matrix4(), &skeleton, &camera), 0);
  // A skeleton without the palette's bones is refused.
  base::cl_Skeleton small;
  small.Create(2);
  EXPECT_EQ(model.DrawSkinned(base::Matrix4(), &small, &camera), 0);
  EXPECT_TRUE(log.contains("the skeleton has 2"));
  EndFrame();
}

}  // namespace
