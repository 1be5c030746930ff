// Presenting hands the drawn frame to the front buffer without copying it: the back buffer must
// still hold the shown frame wherever the next one does not draw, whoever reads it, and the screen
// read after a Present shows that Present's cursor and gamma ramp. With nothing copied, Present
// itself bounds the frames the software rasteriser has yet to draw.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <vector>

#include "GpuFixture.h"

namespace gputest {
namespace {

using namespace gpu;

TEST_F(GpuTest, TheBackBufferHoldsTheShownFrameWhereverTheNextDoesNotDraw) {
  device_->SetRenderState(rs::Lighting, 0);
  device_->SetTextureStageState(0, tss::ColorOp, top::SelectArg1);
  device_->SetTextureStageState(0, tss::ColorArg1, ta::Diffuse);
  device_->Clear(0, nullptr, clear::Target, 0xFFFF0000, 1.0f, 0);
  ASSERT_EQ(device_->Present(), kOk);
  DrawQuad(-0.5f, -0.5f, 3.5f, 3.5f, 0xFF00FF00);  // a frame that draws only a corner
  ASSERT_EQ(device_->Present(), kOk);
  ASSERT_EQ(device_->Present(), kOk);  // nothing drawn: the same frame again
  std::vector<uint32_t> screen;
  uint32_t w = 0, h = 0;
  ASSERT_EQ(device_->ReadScreen(&screen, &w, &h), kOk);
  EXPECT_EQ(screen[1 * w + 1], 0xFF00FF00u);
  EXPECT_EQ(screen[10 * w + 10], 0xFFFF0000u);
  // Locked (the screen grab's way) the back buffer shows it too.
  EXPECT_EQ(Pixel(1, 1), 0xFF00FF00u);
  EXPECT_EQ(Pixel(10, 10), 0xFFFF0000u);

  // Sampled into a texture of our own, after a frame that drew another corner.
  DrawQuad(19.5f, 19.5f, 23.5f, 23.5f, 0xFF0000FF);
  ASSERT_EQ(device_->Present(), kOk);
  Surface* back = nullptr;
  ASSERT_EQ(device_->GetBackBuffer(&back), kOk);
  Texture* copy = nullptr;
  ASSERT_EQ(device_->CreateTexture(kSize, kSize, 1, usage::RenderTarget, fmt::A8R8G8B8, pool::Default, &copy), kOk);
  Surface* copySurface = nullptr;
  copy->GetSurfaceLevel(0, &copySurface);
  ASSERT_EQ(device_->SetRenderTarget(0, copySurface), kOk);
  device_->SetTexture(0, back->GetContainer());
  device_->SetTextureStageState(0, tss::ColorArg1, ta::Texture);
  DrawQuad(-0.5f, -0.5f, kSize - 0.5f, kSize - 0.5f);
  EXPECT_EQ(Pixel(1, 1), 0xFF00FF00u);
  EXPECT_EQ(Pixel(21, 21), 0xFF0000FFu);
  EXPECT_EQ(Pixel(10, 10), 0xFFFF0000u);
  device_->SetTexture(0, nullptr);
  device_->SetRenderTarget(0, back);

  // A frame that clears all of it starts from its clear colour.
  device_->Clear(0, nullptr, clear::Target, 0xFF0000FF, 1.0f, 0);
  ASSERT_EQ(device_->Present(), kOk);
  ASSERT_EQ(device_->ReadScreen(&screen, &w, &h), kOk);
  EXPECT_EQ(screen[1 * w + 1], 0xFF0000FFu);
  copySurface->Release();
  copy->Release();
  back->Release();
}

TEST_F(GpuTest, TheScreenReadAfterAPresentShowsThatPresentsCursorAndRamp) {
  device_->Clear(0, nullptr, clear::Target, 0xFF808080, 1.0f, 0);
  Texture* red = MakeTexture(2, 2, {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000});
  Texture* blue = MakeTexture(2, 2, {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF});
  Surface* redLevel = nullptr;
  Surface* blueLevel = nullptr;
  red->GetSurfaceLevel(0, &redLevel);
  blue->GetSurfaceLevel(0, &blueLevel);
  ASSERT_EQ(device_->SetCursorProperties(0, 0, redLevel), kOk);
  device_->SetCursorPosition(10, 20, kCursorImmediateUpdate);
  device_->ShowCursor(true);
  ASSERT_EQ(device_->Present(), kOk);
  // Changed before the screen is read: the frame shown keeps what it was shown with.
  ASSERT_EQ(device_->SetCursorProperties(0, 0, blueLevel), kOk);
  device_->SetCursorPosition(4, 4, kCursorImmediateUpdate);
  std::vector<uint32_t> screen;
  uint32_t w = 0, h = 0;
  ASSERT_EQ(device_->ReadScreen(&screen, &w, &h), kOk);
  EXPECT_EQ(screen[20 * w + 10], 0xFFFF0000u);
  EXPECT_EQ(screen[4 * w + 4], 0xFF808080u);
  ASSERT_EQ(device_->Present(), kOk);
  GammaRamp dark;
  for (int i = 0; i < 256; ++i) dark.red[i] = dark.green[i] = dark.blue[i] = uint16_t(i * 128);
  device_->SetGammaRamp(0, 0, dark);
  ASSERT_EQ(device_->ReadScreen(&screen, &w, &h), kOk);
  EXPECT_EQ(screen[10 * w + 10], 0xFF808080u);
  EXPECT_EQ(screen[4 * w + 4], 0xFF0000FFu);
  // The next Present shows the ramp (the cursor, like a hardware one, stays outside it).
  ASSERT_EQ(device_->Present(), kOk);
  ASSERT_EQ(device_->ReadScreen(&screen, &w, &h), kOk);
  EXPECT_EQ(screen[10 * w + 10], 0xFF404040u);
  EXPECT_EQ(screen[4 * w + 4], 0xFF0000FFu);
  blueLevel->Release();
  redLevel->Release();
  blue->Release();
  red->Release();
}

// A target large enough that a frame of a few full-screen layers takes the rasteriser far longer
// to draw than the caller to make.
class FramesInFlight : public GpuTest {
 protected:
  void SetUp() override {
    width_ = 512, height_ = 384;
    GpuTest::SetUp();
  }
};

// Frames made faster than drawn piled up in the rasteriser's queue (64 of them, each holding its
// draw lists until drawn: over 100 MiB in the Office). A fence the test sets after each Present
// is signalled once all before it is drawn: at the Present after next at the latest, which
// returns only once the frame before it, the next, is drawn.
TEST_F(FramesInFlight, APresentReturnsOnlyOnceTheFrameBeforeItIsDrawn) {
  device_->SetRenderState(rs::Lighting, 0);
  device_->SetRenderState(rs::AlphaBlendEnable, 1);
  device_->SetRenderState(rs::SrcBlend, blend::SrcAlpha);
  device_->SetRenderState(rs::DestBlend, blend::InvSrcAlpha);
  device_->SetTextureStageState(0, tss::ColorOp, top::SelectArg1);
  device_->SetTextureStageState(0, tss::ColorArg1, ta::Diffuse);
  device_->SetTextureStageState(0, tss::AlphaOp, top::SelectArg1);
  device_->SetTextureStageState(0, tss::AlphaArg1, ta::Diffuse);
  std::vector<GLsync> presented;
  for (int frame = 0; frame < 6; ++frame) {
    device_->Clear(0, nullptr, clear::Target, 0xFF000000, 1.0f, 0);
    for (int layer = 0; layer < 6; ++layer)
      DrawQuad(-0.5f, -0.5f, float(width_) - 0.5f, float(height_) - 0.5f, 0x20FF8000);
    ASSERT_EQ(device_->Present(), kOk);
    if (frame >= 2) {
      GLint status = GL_UNSIGNALED;
      glGetSynciv(presented[size_t(frame) - 2], GL_SYNC_STATUS, 1, nullptr, &status);
      EXPECT_EQ(status, GL_SIGNALED) << "frame " << frame - 2 << " is not drawn after frame " << frame << "'s Present";
    }
    presented.push_back(glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0));
  }
  for (GLsync fence : presented) glDeleteSync(fence);
}

}  // namespace
}  // namespace gputest
