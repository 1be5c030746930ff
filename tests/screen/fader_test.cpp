// The fader's timeline on simulated frames, and what it draws: the flat cover, the eased cover,
// nothing during the countdown, the title only from alpha 128, and the blender frame's pieces
// around the game viewport.
#include <gtest/gtest.h>

#include <string>

#include "ScreenFixture.h"
#include "graphics/gfx.h"
#include "quillane/screen/Fader.h"

namespace screentest {
namespace {

constexpr uint32_t kCover = 0x120D05u;

// Frames of dt until seconds have passed.
void Frames(cl_Fader& fader, float seconds, float dt = 0.0625f) {
  for (float t = 0.0f; t < seconds - 1e-4f; t += dt) fader.Update(dt);
}

TEST(FaderTimeline, CoverAtOnceThenUncoverOverASecond) {
  cl_Fader fader;
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_UNCOVERED);
  fader.Start(true, 0.0f, "", 0);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_COVERED);
  EXPECT_EQ(fader.m_value, 1.0f);
  fader.Start(false, 1.0f, "", 0);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_UNCOVERING);
  EXPECT_EQ(fader.m_value, 1.0f);  // the first frame is fully covered
  Frames(fader, 0.5f);
  EXPECT_NEAR(fader.m_value, 0.5f, 1e-4f);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_UNCOVERING);
  Frames(fader, 0.5f);
  EXPECT_EQ(fader.m_value, 0.0f);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_UNCOVERED);
}

TEST(FaderTimeline, LongFramesDoNotMoveAFadeAndFadesContinueFromTheirValue) {
  cl_Fader fader;
  fader.Start(true, 2.0f, "", 0);
  fader.Update(0.6f);
  EXPECT_EQ(fader.m_value, 0.0f);
  fader.Update(0.5f);  // 0.5 itself still counts
  EXPECT_FLOAT_EQ(fader.m_value, 0.25f);
  // Turning round half way runs back from where the cover is.
  fader.Start(false, 1.0f, "", 0);
  fader.Update(0.2f);
  EXPECT_FLOAT_EQ(fader.m_value, 0.05f);
  Frames(fader, 0.1f);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_UNCOVERED);
  // Covering ends in the covered state that owners wait for.
  fader.Start(true, 0.5f, "", 0);
  Frames(fader, 0.5f);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_COVERED);
  EXPECT_EQ(fader.m_value, 1.0f);
  fader.Update(0.1f);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_COVERED);
}

TEST(FaderTimeline, CountdownRunsFromFullAndEndsCovered) {
  cl_Fader fader;
  fader.Start(false, 3.0f, "title", 3);
  fader.FadeFromFull(0.5f);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_COUNTDOWN);
  EXPECT_EQ(fader.m_value, 1.0f);
  EXPECT_EQ(fader.m_flags, 0u);
  EXPECT_TRUE(fader.m_text.empty());
  Frames(fader, 0.25f);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_COUNTDOWN);
  Frames(fader, 0.25f);
  EXPECT_EQ(fader.m_state, cl_Fader::STATE_COVERED);
}

// ---- drawing

class FaderDrawing : public ScreenTest {
 protected:
  uint32_t CentrePixel() { return Pixel(WindowWidth() / 2 + 40, WindowHeight() / 4); }
};

TEST_F(FaderDrawing, FlatAndEasedCoversUseTheirAlpha) {
  cl_Fader fader;
  fader.Start(true, 1.0f, "", 0);
  Frames(fader, 0.25f);
  ASSERT_TRUE(BeginDrawing(0xFFFFFFFFu));
  fader.Render();
  EXPECT_TRUE(RgbNear(CentrePixel(), Over(kCover, kWhite, 63), 2));  // 0.25 × 255
  // With easing, the same linear value draws at 255 × SinToUnit(0.25), 37.
  fader.m_flags = cl_Fader::FLAG_EASED;
  gfx::ClearScreen(0xFFFFFFFFu);
  fader.Render();
  EXPECT_TRUE(RgbNear(CentrePixel(), Over(kCover, kWhite, 37), 2));
  EndFrame();
}

TEST_F(FaderDrawing, CountdownAndUncoveredDrawNothing) {
  cl_Fader fader;
  fader.FadeFromFull(1.0f);
  Frames(fader, 0.3f);
  ASSERT_TRUE(BeginDrawing(0xFFFFFFFFu));
  fader.Render();
  EXPECT_FALSE(AnyInk(ReadFrame(), 0, 0, WindowWidth(), WindowHeight(), kWhite));
  fader.Start(false, 0.0f, "", 0);
  fader.Render();
  EXPECT_FALSE(AnyInk(ReadFrame(), 0, 0, WindowWidth(), WindowHeight(), kWhite));
  EndFrame();
}

TEST_F(FaderDrawing, TitleAndBlenderFrameAppearOnlyFromCoverAlpha128) {
  WriteTga("upper_tile.tga", 8, 8, 0xFF804020u);
  AddResources(R"(<DXFont label="screen_blender" file="DejaVu Serif" system="1" size="20"/>
                  <Texture label="ScreenBlenderUpperTile" file="upper_tile.tga"/>)");
  cl_Fader fader;
  fader.Start(true, 1.0f, "Chapter One", 0);
  struct {
    float value;
    bool frame;  // the tile band, at alpha 128 and above
    bool text;   // the title, fading in from 128 (visible once well above it)
  } cases[] = {{0.5f, false, false}, {0.503f, true, false}, {0.75f, true, true}, {1.0f, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    fader.m_value = c.value;
    ASSERT_TRUE(BeginDrawing(0xFF000000u));
    fader.Render();
    const std::vector<uint32_t> frame = ReadFrame();
    const uint32_t cover = Over(kCover, 0, static_cast<int>(c.value * 255.0f));
    EXPECT_EQ(AnyInk(frame, 0, 49, WindowWidth(), 57, cover), c.frame);
    // The title is light on the dark cover, below the window's centre line.
    EXPECT_EQ(AnyInk(frame, 0, WindowHeight() / 2, WindowWidth(), WindowHeight(), cover), c.text);
    EXPECT_FALSE(AnyInk(frame, 0, 60, WindowWidth(), WindowHeight() / 2 - 2, cover));
    EndFrame();
  }
}

class BlenderFrame : public ScreenTest {
 protected:
  // Wider than 16:10, so the game viewport is (40, 0)–(360, 200).
  int WindowWidth() const override { return 400; }
};

TEST_F(BlenderFrame, PiecesSitAroundTheGameViewport) {
  struct {
    const char* label;
    uint32_t colour;
    int x, y;  // its top-left pixel
  } images[] = {
      {"ScreenBlenderLeftUpper", 0xFFFF0000u, 0, 0},        {"ScreenBlenderLeftLower", 0xFF00FF00u, 0, 168},
      {"ScreenBlenderRightLower", 0xFF0000FFu, 328, 168},   {"ScreenBlenderRightUpper", 0xFFFFFF00u, 328, 0},
      {"ScreenBlenderUpperDecorator", 0xFFFF00FFu, 184, 0}, {"ScreenBlenderLowerDecorator", 0xFF00FFFFu, 184, 168},
  };
  std::string list;
  for (const auto& i : images) {
    WriteTga(std::string("blender/") + i.label + ".tga", 32, 32, i.colour);
    list += std::string("<Image label=\"") + i.label + "\" file=\"blender/" + i.label + ".tga\"/>";
  }
  WriteTga("blender/upper_tile.tga", 8, 8, 0xFF804020u);
  WriteTga("blender/lower_tile.tga", 8, 8, 0xFF208040u);
  list += R"(<Texture label="ScreenBlenderUpperTile" file="blender/upper_tile.tga"/>)";
  list += R"(<Texture label="ScreenBlenderLowerTile" file="blender/lower_tile.tga"/>)";
  AddResources(list);

  cl_Fader fader;
  ASSERT_TRUE(BeginDrawing(0xFF000000u));
  fader.DrawBlenderFrame(255.0f);
  for (const auto& i : images) {
    EXPECT_TRUE(RgbNear(Pixel(i.x, i.y), i.colour & kWhite, 3)) << i.label;
    EXPECT_TRUE(RgbNear(Pixel(i.x + 31, i.y + 31), i.colour & kWhite, 3)) << i.label;
  }
  EXPECT_TRUE(RgbNear(Pixel(327, 10), 0, 2));  // nothing left of the right-hand corners
  // The tiles run from the left corner's width − 1 to the right corner, 8 pixels high.
  EXPECT_TRUE(RgbNear(Pixel(100, 49), 0x804020u, 3));
  EXPECT_TRUE(RgbNear(Pixel(100, 56), 0x804020u, 3));
  EXPECT_TRUE(RgbNear(Pixel(100, 57), 0, 2));
  EXPECT_TRUE(RgbNear(Pixel(100, 144), 0x208040u, 3));
  EXPECT_TRUE(RgbNear(Pixel(100, 151), 0x208040u, 3));
  EXPECT_TRUE(RgbNear(Pixel(100, 152), 0, 2));
  EXPECT_TRUE(RgbNear(Pixel(327, 52), 0x804020u, 3));
  EXPECT_TRUE(RgbNear(Pixel(328, 52), 0, 2));
  EXPECT_TRUE(RgbNear(Pixel(32, 52), 0x804020u, 3));
  EXPECT_TRUE(RgbNear(Pixel(30, 52), 0, 2));
  // At half alpha every piece is half over the black.
  gfx::ClearScreen(0xFF000000u);
  fader.DrawBlenderFrame(128.0f);
  EXPECT_TRUE(RgbNear(Pixel(5, 5), 0x800000u, 3));
  EndFrame();
}

TEST_F(BlenderFrame, MissingPiecesAreLeftOut) {
  WriteTga("upper_tile.tga", 8, 8, 0xFF804020u);
  AddResources(R"(<Texture label="ScreenBlenderUpperTile" file="upper_tile.tga"/>)");
  cl_Fader fader;
  ASSERT_TRUE(BeginDrawing(0xFF000000u));
  fader.DrawBlenderFrame(255.0f);
  // Without corners the tile spans the window's left edge to the viewport's right edge.
  const std::vector<uint32_t> frame = ReadFrame();
  EXPECT_TRUE(RgbNear(frame[52 * 400 + 0], 0x804020u, 3));
  EXPECT_TRUE(RgbNear(frame[52 * 400 + 359], 0x804020u, 3));
  EXPECT_FALSE(AnyInk(frame, 360, 0, 400, 200, 0));
  EXPECT_FALSE(AnyInk(frame, 0, 0, 400, 49, 0));
  EndFrame();
}

}  // namespace
}  // namespace screentest
