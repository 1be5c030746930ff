// Layers: fades, the scrolling sky, which pictures are compressed, pictures smaller than their
// rectangle, and whole scenes rendered headless against a composite the test computes from the
// same pictures (alpha over, a half-way fade, a hidden layer).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/resource/MultiFileFormatLoader.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/settings/TweakSettings.h"
#include "scene_test_support.h"
#include "support/EngineLogCapture.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace scenetest {
namespace {

using quillane::cl_Layer;
using quillane::cl_Scene;

class SceneLayers : public SceneTest {};

TEST_F(SceneLayers, FadeReachesItsTargetAfterItsDurationThenStops) {
  WriteTinyScene();
  cl_Scene scene;
  scene.LoadProjectFile("Tiny");
  scene.ReadFromVariant(true);
  cl_Layer* post = scene.FindLayer("post");
  ASSERT_NE(post, nullptr);
  post->m_alpha = 0.0f, post->m_targetAlpha = 1.0f, post->m_fadeDuration = 2.0f;
  for (int i = 0; i < 4; ++i) scene.Update(0.25f);
  EXPECT_FLOAT_EQ(post->m_alpha, 0.5f);
  EXPECT_EQ(post->m_fadeDuration, 2.0f);
  for (int i = 0; i < 4; ++i) scene.Update(0.25f);
  EXPECT_EQ(post->m_alpha, 1.0f);
  EXPECT_EQ(post->m_fadeDuration, -1.0f);
  scene.Update(1.0f);
  EXPECT_EQ(post->m_alpha, 1.0f);
  EXPECT_FLOAT_EQ(scene.GetClock(), 3.0f);
}

TEST_F(SceneLayers, SkyScrollsFiftyPixelsPerSecondPerStepAndWraps) {
  WriteTinyScene();
  cl_Scene scene;
  scene.LoadProjectFile("Tiny");
  scene.ReadFromVariant(true);
  scene.AddElement("HeavenElements", Xml(R"(<L label="sky" file="bg.tga" scroll="1" scroll_step="1"/>)"), true);
  quillane::cl_HeavenLayer* sky = scene.HeavenElements.front();
  ASSERT_TRUE(sky->IsScrolling());
  ASSERT_NE(sky->GetImage(), nullptr);
  sky->Update(1.0f);
  EXPECT_FLOAT_EQ(sky->GetScrollOffset(), 50.0f);
  sky->Update(0.5f);
  EXPECT_FLOAT_EQ(sky->GetScrollOffset(), 75.0f);  // beyond the 64-pixel image now
  sky->Update(0.5f);
  EXPECT_FLOAT_EQ(sky->GetScrollOffset(), 75.0f - 64.0f + 25.0f);
  sky->m_alpha = 0.0f;  // sky layers run no fades
  sky->m_fadeDuration = 1.0f;
  sky->Update(0.5f);
  EXPECT_EQ(sky->m_alpha, 0.0f);
}

// Whether the image's first tile is block-compressed (the tile's DDS pixel format).
bool Compressed(const gfx::cl_Image* image) {
  const base::Binary& tile = image->GetTileData(0);
  return tile.size() > 88 && std::memcmp(tile.get_buffer() + 84, "DXT", 3) == 0;
}

TEST_F(SceneLayers, BlurBackgroundAndLazyLayersAreNeverCompressed) {
  WriteTinyScene();
  cl_Scene scene;
  scene.LoadProjectFile("Tiny");
  scene.ReadFromVariant(true);
  scene.AddElement("StageElements", Xml(R"(<L label="blur" file="post.tga"/>)"), false);
  scene.AddElement("ForegroundElements", Xml(R"(<L label="front" file="post.tga"/>)"), false);
  scene.AddElement("BackgroundElements", Xml(R"(<L label="back2" file="post.tga"/>)"), false);
  scene.AddElement("SpecialFX", Xml(R"(<L label="lazyfx" file="post.tga"/>)"), true);
  EXPECT_FALSE(Compressed(scene.FindLayer("blur")->GetImage()));
  EXPECT_TRUE(Compressed(scene.FindLayer("front")->GetImage()));
  EXPECT_FALSE(Compressed(scene.FindLayer("back2")->GetImage()));
  EXPECT_FALSE(Compressed(scene.FindLayer("lazyfx")->GetImage()));
  scene.ReadFromVariant(false);
  EXPECT_TRUE(Compressed(scene.FindLayer("post")->GetImage()));
  EXPECT_FALSE(Compressed(scene.FindLayer("bg")->GetImage()));
  EXPECT_EQ(scene.FindLayer("flame")->GetYSort(), 15);  // a strip without "ysort": its box's bottom
}

TEST_F(SceneLayers, PictureSmallerThanItsRectangleKeepsNoImage) {
  WriteTinyScene();
  cl_Scene scene;
  scene.LoadProjectFile("Tiny");
  scene.ReadFromVariant(true);
  testsupport::LogCapture log;
  scene.AddElement("StageElements", Xml(R"(<L label="wide" file="post.tga" x="40" w="100" h="10"/>)"), true);
  scene.AddElement("StageElements", Xml(R"(<L label="huge" file="post.tga" x="-1e30" w="1e30" h="nan"/>)"), true);
  scene.AddElement("StageElements", Xml(R"(<L label="gone" file="missing.tga"/>)"), true);
  // A picture cut short decodes to something, but it is not the picture: it is refused.
  WriteBytes("Scenes/Tiny/short.tga", ReadBytes("Scenes/Tiny/bg.tga").substr(0, 1000));
  scene.AddElement("StageElements", Xml(R"(<L label="short" file="short.tga"/>)"), true);
  // A strip whose frames are not there.
  scene.AddElement("StageElements", Xml(R"(<L label="lamp" file="lamp.tst"/>)"), false);
  EXPECT_EQ(log.count("smaller than the layer's rectangle"), 1) << log.text("\n");
  EXPECT_TRUE(log.contains("ERROR: scene 'Tiny': picture 'Scenes/Tiny/post.tga' is smaller than the layer's rectangle"));
  EXPECT_TRUE(log.contains("ERROR: scene 'Tiny': picture 'Scenes/Tiny/missing.tga' is missing"));
  EXPECT_TRUE(log.contains("ERROR: scene 'Tiny': picture 'Scenes/Tiny/short.tga' cannot be read")) << log.text("\n");
  EXPECT_TRUE(log.contains("ERROR: texture strip 'Scenes/Tiny/TextureStrips/lamp/lamp': its first frame "
                           "'Scenes/Tiny/TextureStrips/lamp/lamp_0.tga' is missing"))
      << log.text("\n");
  for (const char* label : {"wide", "huge", "gone", "short"}) {
    ASSERT_NE(scene.FindLayer(label), nullptr) << label;
    EXPECT_EQ(scene.FindLayer(label)->GetImage(), nullptr) << label;
  }
  // "use_background_pixels": the colour from the background, the alpha its own.
  scene.ReadFromVariant(true);
  scene.AddElement("StageElements", Xml(R"(<L label="cut" file="post.tga" use_background_pixels="1"/>)"), true);
  const base::cl_Bitmap32& cut = scene.FindLayer("cut")->GetBitmap();
  const base::cl_Bitmap32& bg = scene.FindLayer("bg")->GetBitmap();
  EXPECT_EQ(cut.Point(22, 20).r, bg.Point(22, 20).r);
  EXPECT_EQ(cut.Point(22, 20).a, 255);
  EXPECT_EQ(cut.Point(2, 2).a, 0);
}

// ---- rendered scenes against a composite of the pictures

class SceneRender : public SceneTest {
 protected:
  static constexpr int kW = 1280, kH = 800;
  int WindowWidth() const override { return kW; }
  int WindowHeight() const override { return kH; }

  struct st_Frame {
    std::vector<float> rgb = std::vector<float>(static_cast<size_t>(kW) * kH * 3, 0.0f);
  };

  // Bilinear sample of the picture region's pixel (u, v), clamped to the region.
  static base::Color32 Sample(const base::cl_Bitmap32& p, int left, int top, int w, int h, float u, float v, float out[4]) {
    u = std::clamp(u, 0.0f, static_cast<float>(w - 1)), v = std::clamp(v, 0.0f, static_cast<float>(h - 1));
    const int x0 = static_cast<int>(u), y0 = static_cast<int>(v);
    const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
    const float fx = u - static_cast<float>(x0), fy = v - static_cast<float>(y0);
    const base::Color32 c[4] = {p.Point(left + x0, top + y0), p.Point(left + x1, top + y0), p.Point(left + x0, top + y1),
                                p.Point(left + x1, top + y1)};
    const float wgt[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    for (int k = 0; k < 4; ++k) out[k] = 0.0f;
    for (int i = 0; i < 4; ++i) {
      out[0] += wgt[i] * c[i].r, out[1] += wgt[i] * c[i].g, out[2] += wgt[i] * c[i].b, out[3] += wgt[i] * c[i].a;
    }
    return c[0];
  }

  // The layer's picture, alpha over the frame, at screen origin (ox, oy) and scale s.
  static void Over(st_Frame& f, const std::string& file, const cl_Layer& layer, float ox, float oy, float s, float alpha) {
    base::cl_Bitmap32 picture;
    ASSERT_TRUE(base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(file.c_str(), &picture)) << file;
    const int left = static_cast<int>(layer.GetX()), top = static_cast<int>(layer.GetY());
    const int w = static_cast<int>(layer.GetW()), h = static_cast<int>(layer.GetH());
    for (int y = 0; y < kH; ++y) {
      const float v = (static_cast<float>(y) + 0.5f - oy) / s - 0.5f;
      if (v < -0.5f || v > static_cast<float>(h) - 0.5f) continue;
      for (int x = 0; x < kW; ++x) {
        const float u = (static_cast<float>(x) + 0.5f - ox) / s - 0.5f;
        if (u < -0.5f || u > static_cast<float>(w) - 0.5f) continue;
        float c[4];
        Sample(picture, left, top, w, h, u, v, c);
        const float a = c[3] / 255.0f * alpha;
        float* d = &f.rgb[(static_cast<size_t>(y) * kW + x) * 3];
        for (int k = 0; k < 3; ++k) d[k] = d[k] * (1.0f - a) + c[k] * a;
      }
    }
  }

  static ::testing::AssertionResult Matches(const st_Frame& expected) {
    const std::vector<uint32_t> shown = testsupport::ReadBackBuffer(0, 0, kW, kH);
    if (shown.empty()) return ::testing::AssertionFailure() << "no back buffer";
    double sum = 0;
    int far = 0;
    for (int y = 0; y < kH; ++y) {
      const uint32_t* row = &shown[static_cast<size_t>(y) * kW];
      for (int x = 0; x < kW; ++x) {
        const float* e = &expected.rgb[(static_cast<size_t>(y) * kW + x) * 3];
        const int got[3] = {static_cast<int>((row[x] >> 16) & 0xFF), static_cast<int>((row[x] >> 8) & 0xFF),
                            static_cast<int>(row[x] & 0xFF)};
        int worst = 0;
        for (int k = 0; k < 3; ++k) {
          const int diff = std::abs(got[k] - static_cast<int>(std::lround(e[k])));
          sum += diff, worst = std::max(worst, diff);
        }
        far += worst > 24 ? 1 : 0;
      }
    }
    const double mean = sum / (3.0 * kW * kH);
    if (mean <= 3.0 && far <= kW * kH / 100) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "mean difference " << mean << ", " << far << " pixels off by more than 24";
  }

  void Render(cl_Scene& scene) {
    gfx::ClearScreen(0xFF000000);
    scene.UpdateViewFromCamera();
    gfx::Begin2D();
    scene.RenderBackgroundLayers(0, 0, kW, kH);
    for (cl_Layer* layer : scene.StageElements) layer->Render(0, 0, kW, kH);
    scene.RenderForegroundLayers(0, 0, kW, kH);
  }
};

TEST_F(SceneRender, OfficeMatchesTheCompositeWithAHalfFadeAndAHiddenLayer) {
  CopyDemoScene("Office");
  cl_Scene scene;
  scene.LoadProjectFile("Office");
  scene.ReadFromVariant(true);
  scene.RemoveElement("StageElements", "lamp");  // strips place their frames themselves
  cl_Layer* desk = scene.FindLayer("desk");
  cl_Layer* frame = scene.FindLayer("frame");
  desk->m_alpha = 0.5f;
  frame->m_alpha = 0.0f;
  auto* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  ASSERT_TRUE(device->BeginFrame());
  Render(scene);
  const float s = kW / 1024.0f;
  st_Frame expected;
  Over(expected, "Scenes/Office/background.tga", *scene.FindLayer("background"), 0, 0, s, 1.0f);
  Over(expected, "Scenes/Office/desk.tga", *desk, desk->GetX() * s, desk->GetY() * s, s, 0.5f);
  EXPECT_TRUE(Matches(expected));
  device->EndFrame();
}

TEST_F(SceneRender, QuayMatchesTheCompositeOfSkyBackgroundStageAndForeground) {
  CopyDemoScene("Quay");
  cl_Scene scene;
  scene.LoadProjectFile("Quay");
  scene.ReadFromVariant(true);
  scene.RemoveElement("StageElements", "waves");
  ASSERT_EQ(scene.GetScroll()[0], 256.0f);
  auto* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  ASSERT_TRUE(device->BeginFrame());
  Render(scene);
  const float s = kW / 1024.0f, sx = scene.GetScroll()[0];
  st_Frame expected;
  const float skyX = std::trunc((0.0f - sx) * s + 0.5f);
  Over(expected, "Scenes/Quay/sky.tga", *scene.FindLayer("sky"), skyX, 0, s, 1.0f);
  for (const char* label : {"background", "kiosk", "lamppost", "lamp_glow", "bollard"}) {
    const cl_Layer& layer = *scene.FindLayer(label);
    Over(expected, std::string("Scenes/Quay/") + label + ".tga", layer, (layer.GetX() - sx) * s, layer.GetY() * s, s, 1.0f);
  }
  EXPECT_TRUE(Matches(expected));
  device->EndFrame();
}

// The Quay's sky drifts and wraps round: drawn with the point where its end meets its start in
// the middle of the view, the step across that point is no larger than the sky's steps between
// neighbouring columns about it (a seam was a jump of some thirty times that).
TEST_F(SceneRender, TheQuaysDriftingSkyHasNoSeamWhereItWrapsRound) {
  CopyDemoScene("Quay");
  cl_Scene scene;
  scene.LoadProjectFile("Quay");
  scene.ReadFromVariant(true);
  quillane::cl_HeavenLayer* sky = scene.HeavenElements.front();
  ASSERT_TRUE(sky->IsScrolling());
  const float s = kW / 1024.0f, left = std::trunc((0.0f - scene.GetScroll()[0]) * s + 0.5f);
  constexpr int kSeam = kW / 2;
  sky->Update((kSeam - left) / (0.2f * 50.0f));  // scroll_step 0.2: the wrap point to kSeam
  ASSERT_NEAR(sky->GetScrollOffset() + left, kSeam, 0.01f);
  auto* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  ASSERT_TRUE(device->BeginFrame());
  gfx::ClearScreen(0xFF000000);
  scene.UpdateViewFromCamera();
  gfx::Begin2D();
  sky->Render(0, 0, kW, kH);
  const int rows = static_cast<int>(sky->GetH() * s) - 2;
  const std::vector<uint32_t> shown = testsupport::ReadBackBuffer(0, 0, kW, rows);
  device->EndFrame();
  ASSERT_EQ(shown.size(), static_cast<size_t>(kW) * rows);
  auto step = [&shown, rows](int x) {  // between columns x - 1 and x, summed over the rows
    double sum = 0;
    for (int y = 0; y < rows; ++y)
      for (int shift : {16, 8, 0})
        sum += std::abs(int((shown[size_t(y) * kW + x - 1] >> shift) & 0xFF) - int((shown[size_t(y) * kW + x] >> shift) & 0xFF));
    return sum;
  };
  double around = 0;
  for (int x = kSeam - 40; x <= kSeam + 40; ++x) around += x == kSeam ? 0.0 : step(x) / 80.0;
  EXPECT_LE(step(kSeam), 3.0 * around + rows) << "around the seam a step is " << around;
}

}  // namespace
}  // namespace scenetest
