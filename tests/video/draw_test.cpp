// What the player draws, read back from the headless back buffer: the letterbox fit in both
// directions, frames at 1:1 against FFmpeg's own decode converted with BT.601 limited range, and
// the frame textures' shader and blending on planes filled by hand.
#include <algorithm>
#include <cmath>

#include "VideoFixture.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/video/FrameTextures.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace videotest {

namespace {

platform::video::st_ClipSettings Clip(int width, int height, int frames) {
  platform::video::st_ClipSettings s;
  s.width = width;
  s.height = height;
  s.frames = frames;
  s.soundCodec = "";
  s.quality = 2;
  return s;
}

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v * 255.0), 0L, 255L)); }

// BT.601 limited range, as the frame shader computes it.
uint32_t Bt601(double y, double cr, double cb) {
  const double r = y * 1.164123535 + cr * 1.595794678 - 0.87065506;
  const double g = y * 1.164123535 - cr * 0.813476563 - cb * 0.391448975 + 0.529705048;
  const double b = y * 1.164123535 + cb * 2.017822266 - 1.081668854;
  return static_cast<uint32_t>(ToByte(r)) << 16 | static_cast<uint32_t>(ToByte(g)) << 8 | ToByte(b);
}

// A chroma plane sampled bilinearly at the centre of luma pixel (x, y), edges clamped.
double ChromaAt(const std::vector<uint8_t>& plane, int cw, int ch, int x, int y) {
  const double u = (x + 0.5) / 2.0 - 0.5, v = (y + 0.5) / 2.0 - 0.5;
  const int u0 = static_cast<int>(std::floor(u)), v0 = static_cast<int>(std::floor(v));
  const double fu = u - u0, fv = v - v0;
  auto at = [&](int cx, int cy) {
    return plane[static_cast<size_t>(std::clamp(cy, 0, ch - 1)) * cw + std::clamp(cx, 0, cw - 1)] / 255.0;
  };
  return (at(u0, v0) * (1 - fu) + at(u0 + 1, v0) * fu) * (1 - fv) + (at(u0, v0 + 1) * (1 - fu) + at(u0 + 1, v0 + 1) * fu) * fv;
}

bool IsBlack(uint32_t rgb) { return (rgb & 0xFFFFFF) < 0x080808 && ((rgb >> 8) & 0xFF) < 8 && ((rgb >> 16) & 0xFF) < 8; }

}  // namespace

// ---- the fitted picture

class VideoDrawWide : public VideoTest {};  // a 4:3 window
class VideoDrawNarrowClip : public VideoTest {
 protected:
  int WindowWidth() const override { return 64; }
  int WindowHeight() const override { return 36; }  // 16:9
};

TEST_F(VideoDrawWide, WideClipInNarrowWindowGetsBarsAboveAndBelow) {
  m_player->Play(MakeClip("wide.bik", Clip(64, 36, 5)).c_str(), nullptr, 0, 0, 64, 48, 1.0f);
  Step(0);
  // w / h = 4/3 is narrower than 16/9: full width, height w / a, centred.
  const float a = 64.0f / 36.0f, d = (48.0f - 64.0f / a) * 0.5f;
  EXPECT_FLOAT_EQ(Codec()->PictureX(), 0.0f);
  EXPECT_FLOAT_EQ(Codec()->PictureY(), d);
  EXPECT_FLOAT_EQ(Codec()->PictureWidth(), 64.0f);
  EXPECT_FLOAT_EQ(Codec()->PictureHeight(), 64.0f / a);
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFFFFFFFFu);
  m_player->Render();
  for (int x : {0, 31, 63}) {
    EXPECT_TRUE(IsBlack(Pixel(x, 0))) << x;
    EXPECT_TRUE(IsBlack(Pixel(x, static_cast<int>(d) - 1))) << x;
    EXPECT_FALSE(IsBlack(Pixel(x, 24))) << x;
    EXPECT_TRUE(IsBlack(Pixel(x, static_cast<int>(d + 64.0f / a) + 1))) << x;
    EXPECT_TRUE(IsBlack(Pixel(x, 47))) << x;
  }
  EndFrame();
}

TEST_F(VideoDrawNarrowClip, NarrowClipInWideWindowGetsBarsLeftAndRight) {
  m_player->Play(MakeClip("narrow.bik", Clip(48, 36, 5)).c_str(), nullptr, 0, 0, 64, 36, 1.0f);
  Step(0);
  const float a = 48.0f / 36.0f, d = (64.0f - a * 36.0f) * 0.5f;
  EXPECT_FLOAT_EQ(Codec()->PictureX(), d);
  EXPECT_FLOAT_EQ(Codec()->PictureY(), 0.0f);
  EXPECT_FLOAT_EQ(Codec()->PictureWidth(), a * 36.0f);
  EXPECT_FLOAT_EQ(Codec()->PictureHeight(), 36.0f);
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFFFFFFFFu);
  m_player->Render();
  for (int y : {0, 18, 35}) {
    EXPECT_TRUE(IsBlack(Pixel(0, y))) << y;
    EXPECT_TRUE(IsBlack(Pixel(static_cast<int>(d) - 1, y))) << y;
    EXPECT_FALSE(IsBlack(Pixel(32, y))) << y;
    EXPECT_TRUE(IsBlack(Pixel(static_cast<int>(d + a * 36.0f) + 1, y))) << y;
    EXPECT_TRUE(IsBlack(Pixel(63, y))) << y;
  }
  EndFrame();
}

// Black only around the picture paints what black under the whole rectangle painted: every
// pixel, on fits whose picture edges fall between pixels.
TEST_F(VideoDrawWide, BarsAroundThePictureMatchBlackUnderTheWholeRectangle) {
  for (const auto& [clipWidth, clipHeight] : {std::pair{60, 36}, std::pair{44, 36}, std::pair{64, 27}}) {
    m_player->Play(MakeClip("fit.bik", Clip(clipWidth, clipHeight, 2)).c_str(), nullptr, 0, 0, 64, 48, 1.0f);
    Step(0);
    std::vector<uint32_t> shown[2];
    for (int way = 0; way < 2; ++way) {
      ASSERT_TRUE(BeginFrame());
      gfx::ClearScreen(0xFFFFFFFFu);
      if (way == 0) {
        m_player->Render();
      } else {
        gfx::FillRect(0.0f, 0.0f, 64.0f, 48.0f, 0xFF000000u);
        Codec()->Draw();
      }
      shown[way] = testsupport::ReadBackBuffer(0, 0, 64, 48);
      EndFrame();
    }
    ASSERT_EQ(shown[0].size(), 64u * 48u);
    EXPECT_EQ(shown[0], shown[1]) << clipWidth << " x " << clipHeight;
    m_player->Stop();
  }
}

// ---- frames against FFmpeg's decode

class VideoFrames : public VideoTest {
 protected:
  // Plays `frames` frames of a 64 × 48 clip and compares the drawn pixels of those that `check`
  // names with FFmpeg's own decode of the clip; returns the pictures decoded straight into the
  // frame textures and those copied into them.
  std::pair<uint32_t, uint32_t> PlayAndCompare(const std::string& path, int frames, bool (*check)(int)) {
    platform::video::cl_ReferenceDecoder reference;
    EXPECT_TRUE(reference.Open(path));
    EXPECT_GT(m_player->Play(path.c_str(), nullptr, 0, 0, 64, 48, 1.0f), 0.0f);
    for (int frame = 0; frame < frames; ++frame) {
      Step(frame == 0 ? 0 : 30);  // one frame per step
      platform::video::st_PlanarFrame expected;
      EXPECT_TRUE(reference.Next(&expected));
      if (!check(frame) || !BeginFrame()) continue;
      m_player->Render();
      int worst = 0;
      for (int y = 0; y < 48 && worst <= 3; ++y)
        for (int x = 0; x < 64 && worst <= 3; ++x) {
          const uint32_t want = Bt601(expected.y[static_cast<size_t>(y) * 64 + x] / 255.0,
                                      ChromaAt(expected.cr, 32, 24, x, y), ChromaAt(expected.cb, 32, 24, x, y));
          const uint32_t got = Pixel(x, y);
          for (int shift : {16, 8, 0})
            worst = std::max(worst, std::abs(static_cast<int>((want >> shift) & 0xFF) - static_cast<int>((got >> shift) & 0xFF)));
          EXPECT_LE(worst, 3) << "frame " << frame << " pixel " << x << "," << y << ": " << RgbNear(got, want, 3).message();
        }
      EndFrame();
    }
    uint32_t direct = 0, copied = 0;
    platform::video::GetPictureCounts(Codec()->Handle(), &direct, &copied);
    return {direct, copied};
  }
};

TEST_F(VideoFrames, FramesAtOneToOneMatchFfmpegDecodeThroughBt601) {
  // A key frame and a predicted one; every picture went straight into the frame textures.
  const auto [direct, copied] =
      PlayAndCompare(MakeClip("match.bik", Clip(64, 48, 12)), 8, [](int frame) { return frame == 0 || frame == 7; });
  EXPECT_EQ(direct, 8u);
  EXPECT_EQ(copied, 0u);
}

// Bidirectional frames come out of the decoder in another order than they went in, and it holds
// two pictures to predict from: every frame still shows, in display order.
TEST_F(VideoFrames, ClipsWithBidirectionalFramesShowEveryFrameInOrder) {
  platform::video::st_ClipSettings s = Clip(64, 48, 12);
  s.bFrames = 2;
  const auto [direct, copied] = PlayAndCompare(MakeClip("bframes.bik", s), 10, [](int) { return true; });
  EXPECT_EQ(direct + copied, 10u);
}

// ---- the frame textures on their own

class FrameTextures : public VideoTest {
 protected:
  // Planes of 4 × 4 (chroma 2 × 2) filled with one value each, drawn at (8, 8) scaled to 16 × 16.
  uint32_t DrawFlat(uint8_t y, uint8_t cr, uint8_t cb, float alpha, bool premultiplied, uint32_t background) {
    gpu::Device* device = win32dx9::GetD3DDevice();
    platform::video::st_FrameBuffersInfo info;
    info.setCount = 1;
    info.yaWidth = info.yaHeight = 4;
    info.chromaWidth = info.chromaHeight = 2;
    for (int p = 0; p < 3; ++p) info.sets[0][p].wanted = true;
    EXPECT_TRUE(gfx::CreateVideoShaders(device));
    EXPECT_TRUE(gfx::CreateFrameTextures(device, info));
    gfx::LockFrameTextures(info);
    const uint8_t values[3] = {y, cr, cb};
    for (int p = 0; p < 3; ++p) {
      const int rows = p == 0 ? 4 : 2, cols = rows;
      for (int r = 0; r < rows; ++r) std::fill_n(info.sets[0][p].memory + r * info.sets[0][p].pitch, cols, values[p]);
    }
    gfx::UnlockFrameTextures(device, info);
    EXPECT_EQ(info.sets[0][0].memory, nullptr);
    uint32_t result = 0xDEADBEEF;
    if (BeginFrame()) {
      gfx::ClearScreen(background);
      gfx::DrawFrameTextures(device, info, 4.0f, 4.0f, 8.0f, 8.0f, 4.0f, 4.0f, alpha, premultiplied);
      result = Pixel(16, 16);
      EndFrame();
    }
    gfx::FreeFrameTextures(device, info);
    gfx::FreeVideoShaders(device);
    return result;
  }
};

TEST_F(FrameTextures, ShaderConvertsAndBlendsByTheConstant) {
  // Mid-grey planes: 0.509 at exactly 0.5; 128/255 gives a hair more.
  EXPECT_NEAR(Bt601(0.5, 0.5, 0.5) >> 16, std::lround(0.509 * 255), 1);
  const uint32_t grey = Bt601(128 / 255.0, 128 / 255.0, 128 / 255.0);
  EXPECT_TRUE(RgbNear(DrawFlat(128, 128, 128, 1.0f, false, 0xFF000000u), grey, 2));
  // Opaque draws ignore the background; alpha 0.5 blends by source alpha; premultiplied scales
  // the colour by alpha and adds it to half the background.
  EXPECT_TRUE(RgbNear(DrawFlat(128, 128, 128, 1.0f, false, 0xFFFFFFFFu), grey, 2));
  const int g = static_cast<int>(grey & 0xFF);
  const int half = (g + 255 + 1) / 2;
  const uint32_t blended = static_cast<uint32_t>(half) * 0x010101u;
  EXPECT_TRUE(RgbNear(DrawFlat(128, 128, 128, 0.5f, false, 0xFFFFFFFFu), blended, 2));
  EXPECT_TRUE(RgbNear(DrawFlat(128, 128, 128, 0.5f, true, 0xFFFFFFFFu), blended, 2));
  // Saturated red: Y 81, Cr 240, Cb 90.
  EXPECT_TRUE(RgbNear(DrawFlat(81, 240, 90, 1.0f, false, 0xFF000000u), 0xFE0000u, 3));
}

}  // namespace videotest
