// Texture strips: the playback timeline at a fixed time step (loop wrap, play-once stop, run to
// a frame, jump, the random-pause cycle with a pause of 0), the cross-fade drawn against mixed
// colours, compiling frames to their visible boxes, loading numbered files, and the record.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "../base/test_support.h"
#include "base/File.h"
#include "base/data/Variant.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"

namespace gfxtest {
namespace {

// An uncompressed 32-bit TGA, top row first.
void WriteTga(const std::string& path, const base::cl_Bitmap32& image) {
  unsigned char header[18] = {};
  header[2] = 2;
  header[12] = static_cast<unsigned char>(image.Width()), header[13] = static_cast<unsigned char>(image.Width() >> 8);
  header[14] = static_cast<unsigned char>(image.Height()), header[15] = static_cast<unsigned char>(image.Height() >> 8);
  header[16] = 32, header[17] = 0x28;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(header, 1, sizeof header, f);
  std::fwrite(image.GetPixels(), 4, static_cast<size_t>(image.NumPixels()), f);
  std::fclose(f);
}

// A frame of w × h, transparent except the box (x0, y0)–(x1, y1) inclusive in colour.
base::cl_Bitmap32 Frame(int w, int h, int x0, int y0, int x1, int y1, uint32_t colour) {
  base::cl_Bitmap32 image;
  image.Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      *image.Pixel(x, y) = base::Color32(x >= x0 && x <= x1 && y >= y0 && y <= y1 ? colour : 0u);
  return image;
}

class Strips : public GraphicsTest {
 protected:
  // A strip of n solid 16 × 16 frames in the given colours, loaded from numbered TGA files.
  void LoadSolid(gfx::cl_TextureStrip& strip, const std::vector<uint32_t>& colours, int mode) {
    for (size_t i = 0; i < colours.size(); ++i)
      WriteTga(Path("solid_" + std::to_string(i) + ".tga"), Frame(16, 16, 0, 0, 15, 15, colours[i]));
    ASSERT_TRUE(strip.Load(Path("solid_0.tga").c_str(), mode, 0.1f, false));
    ASSERT_EQ(strip.GetFrameCount(), static_cast<int>(colours.size()));
  }
  void Run(gfx::cl_TextureStrip& strip, int updates, float dt = 0.02f) {
    for (int i = 0; i < updates; ++i) strip.Update(dt);
  }
  const std::vector<uint32_t> kFour = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
};

TEST_F(Strips, LoopWrapsPlayOnceStopsAndRunToStopsOnItsFrame) {
  gfx::cl_TextureStrip loop;
  LoadSolid(loop, kFour, gfx::cl_TextureStrip::PLAY_LOOP);
  loop.Update(1.0f);  // 0.1 frames per 1/50 s: five frames in a second, 5 wraps to 1
  EXPECT_FLOAT_EQ(loop.GetPosition(), 1.0f);
  loop.DrawFrame(0, 0, loop.GetPosition(), 1.0f);
  EXPECT_EQ(loop.GetFrameIndex(), 1);

  gfx::cl_TextureStrip once;
  LoadSolid(once, kFour, gfx::cl_TextureStrip::PLAY_ONCE);
  once.Update(0.8f);  // exactly 4: still playing
  EXPECT_TRUE(once.IsPlaying());
  once.Update(0.02f);
  EXPECT_FALSE(once.IsPlaying());
  once.DrawFrame(0, 0, once.GetPosition(), 1.0f);
  EXPECT_EQ(once.GetFrameIndex(), 3);  // the last frame stays
  once.DrawFrame(0, 0, -2.5f, 1.0f);   // a negative position shows the first frame
  EXPECT_EQ(once.GetCurrentFrame(), once.GetFrame(0));

  gfx::cl_TextureStrip runTo;
  LoadSolid(runTo, kFour, gfx::cl_TextureStrip::PLAY_ONCE);
  runTo.SetPlaying(false);
  runTo.SetPlaying(false, 2, false);
  Run(runTo, 40);
  EXPECT_FALSE(runTo.IsPlaying());
  EXPECT_EQ(runTo.GetPosition(), 2.0f);
  runTo.SetPlaying(false, 3, true);  // a jump moves at once and does not play
  EXPECT_EQ(runTo.GetPosition(), 3.0f);
  EXPECT_FALSE(runTo.IsPlaying());
}

TEST_F(Strips, RandomPauseOfZeroRestartsAfterEveryFadeOut) {
  gfx::cl_TextureStrip strip;
  LoadSolid(strip, kFour, gfx::cl_TextureStrip::PLAY_RANDOM_PAUSE);
  strip.SetPauseRange(0.0f, 0.0f);
  EXPECT_FALSE(strip.IsPlaying());
  int starts = 0, fadeOuts = 0;
  bool wasPlaying = false;
  int lastFade = strip.GetFadeState();
  for (int i = 0; i < 2000; ++i) {
    strip.Update(0.02f);
    if (strip.IsPlaying() && !wasPlaying) ++starts;
    if (strip.GetFadeState() == gfx::cl_TextureStrip::FADE_OUT && lastFade != gfx::cl_TextureStrip::FADE_OUT)
      ++fadeOuts;
    wasPlaying = strip.IsPlaying(), lastFade = strip.GetFadeState();
  }
  // One cycle: a second to fade in, 0.8 s to play, a second to fade out: 40 s hold about 14.
  EXPECT_GE(starts, 10);
  EXPECT_GE(fadeOuts, 10);
}

TEST_F(Strips, RandomPauseWaitsItsLengthHiddenBeforeFadingIn) {
  gfx::cl_TextureStrip strip;
  LoadSolid(strip, kFour, gfx::cl_TextureStrip::PLAY_RANDOM_PAUSE);
  strip.SetPauseRange(0.5f, 0.5f);
  strip.Update(0.02f);  // draws the first pause
  int hidden = 0;
  for (int i = 0; i < 100 && strip.GetFadeState() != gfx::cl_TextureStrip::FADE_IN; ++i, ++hidden) {
    EXPECT_EQ(strip.GetAlpha(), 0.0f);
    EXPECT_FALSE(strip.IsPlaying());
    strip.Update(0.02f);
  }
  EXPECT_NEAR(hidden, 25, 1);  // 0.5 s at 0.02 s a step
  for (int i = 0; i < 60 && !strip.IsPlaying(); ++i) strip.Update(0.02f);
  EXPECT_TRUE(strip.IsPlaying());  // plays once fully faded in
  EXPECT_EQ(strip.GetAlpha(), 255.0f);
}

TEST_F(Strips, CrossFadeMixesTheNextFrameAt63) {
  gfx::cl_TextureStrip strip;
  LoadSolid(strip, {0xFFFF0000u, 0xFF0000FFu, 0xFF00FF00u}, gfx::cl_TextureStrip::PLAY_ONCE);
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000u);
  gfx::Begin2D();
  strip.DrawFrame(0, 0, 1.25f, 1.0f);  // frame 1 (blue) at 191, opaque, then frame 2 (green) at 63
  EXPECT_TRUE(RgbNear(Pixel(8, 8), 0x00003F00u | (255 - 63), 3));
  strip.SetUseBlur(false);
  strip.DrawFrame(20, 0, 1.25f, 1.0f);
  EXPECT_TRUE(RgbNear(Pixel(28, 8), 0x0000FFu, 1));
  strip.SetFade(true);  // fading in from 0: drawn at the strip's alpha only
  strip.Update(0.5f);
  strip.DrawFrame(40, 0, 0.0f, 1.0f);
  EXPECT_TRUE(RgbNear(Pixel(48, 8), 0x7F0000u, 3));
  EndFrame();
}

TEST_F(Strips, CompileCutsFramesToTheirVisibleBoxesAndSkipsEmptyOnes) {
  WriteTga(Path("walk_0.tga"), Frame(32, 32, 2, 3, 9, 7, 0xFFFF0000u));
  WriteTga(Path("walk_1.tga"), Frame(32, 32, 5, 1, 12, 10, 0xFF00FF00u));
  WriteTga(Path("walk_2.tga"), Frame(32, 32, 0, 0, -1, -1, 0));  // nothing visible
  WriteTga(Path("walk_3.tga"), Frame(32, 32, 20, 4, 20, 6, 0xFF0000FFu));  // one column
  base::Variant description;
  description.set_element("Strip");
  description.attribute("name")->set_string("walk");
  description.attribute("path")->set_string((m_dir.string() + "/").c_str());
  testsupport::LogCapture log;
  gfx::cl_TextureStrip strip;
  strip.Compile(description, true);
  ASSERT_EQ(strip.GetFrameCount(), 3);
  EXPECT_FALSE(log.contains("ERROR:")) << "the strip ends at the first number missing";
  EXPECT_TRUE(log.contains("walk_2.tga. MinX: 32, MaxX: 1, MinY: 32, MaxY: 1"));
  EXPECT_TRUE(log.contains("walk_3.tga. MinX: 20, MaxX: 21"));
  const int boxes[3][4] = {{2, 3, 8, 5}, {5, 1, 8, 10}, {20, 4, 1, 3}};
  for (int i = 0; i < 3; ++i) {
    gfx::cl_Image* frame = strip.GetFrame(i);
    EXPECT_EQ(frame->GetOffset()[0], boxes[i][0]);
    EXPECT_EQ(frame->GetOffset()[1], boxes[i][1]);
    EXPECT_EQ(frame->GetSourceWidth(), boxes[i][2]);
    EXPECT_EQ(frame->GetSourceHeight(), boxes[i][3]);
  }
  const float* bounds = strip.GetBounds();
  EXPECT_EQ(bounds[0], 2.0f);
  EXPECT_EQ(bounds[1], 1.0f);
  EXPECT_EQ(bounds[2], 21.0f - 2.0f);
  EXPECT_EQ(bounds[3], 11.0f - 1.0f);
  EXPECT_TRUE(strip.IsInside(2.0f, 1.0f, 1.0f));
  EXPECT_TRUE(strip.IsInside(42.0f, 22.0f, 2.0f));
  EXPECT_FALSE(strip.IsInside(1.9f, 5.0f, 1.0f));
  // Drawn where the frame was: the red box at (2, 3) in screen space.
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000u);
  gfx::Begin2D();
  strip.SetUseBlur(false);
  strip.DrawFrame(10, 10, 0.0f, 1.0f);
  EXPECT_TRUE(RgbNear(Pixel(12, 13), 0xFF0000u, 2));
  EXPECT_EQ(Pixel(11, 13), 0u);
  EndFrame();
  // A frame that is there but damaged ends the strip with a line naming it.
  std::ofstream(Path("walk_4.tga"), std::ios::binary) << "not a picture";
  WriteTga(Path("walk_5.tga"), Frame(32, 32, 2, 3, 9, 7, 0xFFFF0000u));
  gfx::cl_TextureStrip cut;
  cut.Compile(description, true);
  EXPECT_EQ(cut.GetFrameCount(), 3);
  EXPECT_TRUE(log.contains("ERROR: strip frame '" + Path("walk_4.tga") + "' cannot be read")) << log.text();
}

TEST_F(Strips, RecordRoundTripAndDamagedRecords) {
  gfx::cl_TextureStrip strip;
  LoadSolid(strip, kFour, gfx::cl_TextureStrip::PLAY_LOOP);
  strip.SetUseBlur(false);
  const std::string file = Path("strip.rec");
  {
    base::File out(file.c_str(), base::File::STATUS_WRITE);
    strip.Write(&out);
  }
  {
    base::File in(file.c_str(), base::File::STATUS_READ);
    gfx::cl_TextureStrip copy;
    copy.Read(&in);
    ASSERT_FALSE(in.has_error());
    EXPECT_EQ(copy.GetFrameCount(), 4);
    EXPECT_EQ(copy.GetPlayMode(), gfx::cl_TextureStrip::PLAY_LOOP);
    EXPECT_TRUE(copy.GetUseBlur());  // a stored 0 is not honoured
    EXPECT_EQ(copy.GetBaseName(), strip.GetBaseName());
    EXPECT_EQ(copy.GetExtension(), "tga");
  }
  const std::string record = ReadBytes(file);
  ASSERT_FALSE(record.empty());
  const size_t nameLength = static_cast<size_t>(strip.GetBaseName().size());
  const size_t frameCount = 4 + nameLength + 4 + 3 + 4 + 16 + 12 + 1;
  auto patched = [&](size_t at, int value) {
    std::string r = record;
    std::memcpy(&r[at], &value, 4);
    return r;
  };
  const std::string cases[] = {patched(0, 1 << 30), patched(frameCount, 1 << 28), patched(frameCount, -1),
                               record.substr(0, frameCount + 200), record.substr(0, 10)};
  for (const std::string& bytes : cases) {
    testsupport::LogCapture log;
    base::File in;
    ASSERT_TRUE(in.open_memory(bytes.data(), static_cast<int>(bytes.size()), "strip record"));
    gfx::cl_TextureStrip copy;
    copy.Read(&in);
    EXPECT_TRUE(in.has_error());
    EXPECT_EQ(copy.GetFrameCount(), 0);
    EXPECT_TRUE(log.contains("ERROR"));
  }
}

TEST_F(Strips, NamesWithoutUnderscoreAndMissingFramesLoadEmpty) {
  gfx::cl_TextureStrip strip;
  ASSERT_TRUE(strip.Load("lonely.tga", 0, 0.1f, false));
  EXPECT_EQ(strip.GetFrameCount(), 0);
  EXPECT_EQ(strip.GetFrameFileName(0), "lonely.tga_0.tga");
  EXPECT_FALSE(strip.Load(nullptr, 0, 0.1f, false));
  ASSERT_TRUE(BeginFrame());
  strip.Draw(0, 0, 1.0f);  // nothing to draw, nothing selected
  EXPECT_EQ(strip.GetCurrentFrame(), nullptr);
  EndFrame();
}

}  // namespace
}  // namespace gfxtest
