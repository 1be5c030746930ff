// The immediate drawing helpers on the headless device: exact coverage of a filled rectangle,
// the polyline band's point counts, the circle guard, the screen grab's sampling and clamping,
// the outlined text's five passes, the current-font rules of the text helpers, and images drawn
// the same with back-face culling left on.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "../base/test_support.h"
#include "base/math/Function2.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "support/CountingFont.h"
#include "graphics/Texture.h"
#include "win32dx9/DynamicBuffer.h"

namespace gfxtest {
namespace {

constexpr uint32_t kBlack = 0xFF000000u, kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u;

class DrawHelpers : public GraphicsTest {};

TEST_F(DrawHelpers, FillRectCoversExactlyItsPixelsOpaqueOrBlended) {
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(kBlack);
  gfx::Begin2D();
  gfx::FillRect(0, 0, 10, 10, kRed);
  gfx::FillRect(20, 20, 30, 30, 0x80FF0000u);
  for (int i = 0; i <= 10; ++i) {
    EXPECT_EQ(Pixel(i, 9), i < 10 ? 0xFF0000u : 0u) << i;
    EXPECT_EQ(Pixel(9, i), i < 10 ? 0xFF0000u : 0u) << i;
  }
  EXPECT_TRUE(RgbNear(Pixel(25, 25), 0x800000u, 2));  // half over black
  EXPECT_EQ(Pixel(30, 25), 0u);
  EndFrame();
}

TEST_F(DrawHelpers, OutlineAndCircleDrawAroundTheirPoints) {
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(kBlack);
  gfx::Begin2D();
  gfx::DrawRect(5, 5, 20, 15, kGreen);
  EXPECT_TRUE(RgbNear(Pixel(12, 5), 0x00FF00u, 130));
  EXPECT_EQ(Pixel(12, 10), 0u);  // the inside stays empty
  gfx::DrawCircle(40, 24, 10.0f, kRed);
  EXPECT_EQ(Pixel(40, 24), 0u);
  EXPECT_NE(Pixel(40, 34) | Pixel(40, 33) | Pixel(40, 35), 0u);
  EndFrame();
}

TEST_F(DrawHelpers, CircleWithoutAPositiveRadiusDrawsNothingAndTinyOnesStayCheap) {
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(kBlack);
  gfx::Begin2D();
  const int before = win32dx9::GetDrawCallCount();
  for (float radius : {0.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    gfx::DrawCircle(10, 10, radius, kRed);
  EXPECT_EQ(win32dx9::GetDrawCallCount(), before);
  gfx::DrawCircle(10, 10, 1e-6f, kRed);  // would be six million segments uncapped
  EXPECT_LE(win32dx9::GetDrawCallCount() - before, 2 * (gfx::kMaxCircleSegments + 1));
  EndFrame();
}

TEST_F(DrawHelpers, TiledBandNeedsTwoPointsAndDrawsOneQuadPerSegment) {
  gfx::cl_Texture* texture = SolidTexture(8, 8, 0xFFFFFFFFu);
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(kBlack);
  gfx::Begin2D();
  gfx::SetBlendNone();
  Function2 curve;
  curve.AddPoint(10, 20);
  const int before = win32dx9::GetDrawCallCount();
  gfx::DrawTextureTiled(curve, texture, 1.0f);
  EXPECT_EQ(win32dx9::GetDrawCallCount(), before);
  curve.AddPoint(50, 20);
  gfx::DrawTextureTiled(curve, texture, 1.0f);
  EXPECT_EQ(win32dx9::GetDrawCallCount(), before + 2);
  // A horizontal band 8 pixels wide centred on y = 20.
  EXPECT_EQ(Pixel(30, 20), 0xFFFFFFu);
  EXPECT_EQ(Pixel(30, 10), 0u);
  curve.AddPoint(50, 40);
  gfx::DrawTextureTiled(curve, texture, 1.0f);
  EXPECT_EQ(win32dx9::GetDrawCallCount(), before + 6);
  EndFrame();
  delete texture;
}

TEST_F(DrawHelpers, GrabScreenSamplesNearestAndStaysOnTheSurface) {
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(kBlack);
  gfx::Begin2D();
  for (int x = 0; x < kWidth; x += 2) gfx::FillRect(static_cast<float>(x), 0, static_cast<float>(x + 1), kHeight, kRed);
  base::cl_Bitmap32 half;
  half.Create(kWidth / 2, kHeight / 2);
  gfx::GrabScreen(&half, 0, 0, kWidth, kHeight, false);
  for (int i = 0; i < half.NumPixels(); ++i) ASSERT_EQ(half.GetPixels()[i].value(), 0xFFFF0000u) << i;
  // A rectangle reaching far past the surface repeats its edge instead of reading outside.
  base::cl_Bitmap32 wide;
  wide.Create(8, 8);
  gfx::GrabScreen(&wide, -1000, -1000, 5000, 5000, false);
  EXPECT_EQ(wide.GetPixels()[0].value(), 0xFFFF0000u);  // column 0 is red
  EXPECT_EQ(wide.GetPixels()[63].a, 255);
  EndFrame();
}

TEST_F(DrawHelpers, FrontBufferGrabReadsTheLastPresentedFrame) {
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(kGreen);
  EndFrame();
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(kBlack);
  base::cl_Bitmap32 shot;
  shot.Create(4, 4);
  gfx::GrabScreen(&shot, 0, 0, kWidth, kHeight, true);
  EXPECT_EQ(shot.GetPixels()[5].value(), 0xFF00FF00u);
  EndFrame();
}

// A font that only records what it is asked to draw.
class cl_SpyFont : public gfx::cl_Font {
 public:
  struct st_Call {
    float x, y;
    uint32_t colour;
  };
  void DrawText(float x, float y, const char*, uint32_t colour) override { calls.push_back({x, y, colour}); }
  void DrawTextBoxW(float x, float y, float, float, const char16_t*, uint32_t colour) override {
    calls.push_back({x, y, colour});
  }
  std::vector<st_Call> calls;
};

// A projected shadow leaves back-face culling on, and the stage draws its mask, stage and
// foreground layers next without a 2D mode: images (the layers' and strip frames' pictures) must
// draw the same with it. The recorder helpers take the caller's culling (Begin2D switches it off).
TEST_F(DrawHelpers, ImagesDrawTheSameWithBackFaceCullingOn) {
  base::cl_Bitmap32 picture;
  picture.Create(20, 12);
  for (int i = 0; i < picture.NumPixels(); ++i) picture.GetPixels()[i] = base::Color32(i % 3 ? 0xFF3080C0u : 0xFFC08030u);
  gfx::cl_Image image;
  ASSERT_TRUE(image.CreateFromBitmap(&picture, 0, 0, 20, 12, false, true));
  auto draw = [&](bool cullNone) {
    std::vector<uint32_t> frame;
    if (!BeginFrame()) return frame;
    gfx::ClearScreen(kBlack);
    gfx::Begin3D();
    gfx::SetCullNone(cullNone, false);
    EXPECT_EQ(Device()->GetRenderState(gpu::rs::CullMode), cullNone ? gpu::cull::None : gpu::cull::CCW);
    gfx::SetBlendNone();
    gfx::DrawImage(&image, 3, 4, 1.0f);
    gfx::DrawImage(&image, 30, 20, 1.5f);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) frame.push_back(Pixel(x, y));
    EndFrame();
    return frame;
  };
  const std::vector<uint32_t> off = draw(true), back = draw(false);
  ASSERT_EQ(off.size(), static_cast<size_t>(kWidth * kHeight));
  int drawn = 0;
  for (uint32_t p : off) drawn += p != 0;
  EXPECT_EQ(drawn, 20 * 12 + 30 * 18);
  EXPECT_TRUE(off == back);
}

TEST_F(DrawHelpers, OutlinedTextDrawsFourOutlinesThenTheText) {
  cl_SpyFont font;
  gfx::SetFont(&font);
  gfx::DrawTextOutlined(10, 20, "x", kRed, kBlack);
  gfx::DrawTextBoxOutlinedW(10, 20, 5, 5, u"x", kRed, kBlack);
  ASSERT_EQ(font.calls.size(), 10u);
  const float expected[5][2] = {{11, 20}, {9, 20}, {10, 21}, {10, 19}, {10, 20}};
  for (int pass = 0; pass < 2; ++pass)
    for (int i = 0; i < 5; ++i) {
      const cl_SpyFont::st_Call& call = font.calls[static_cast<size_t>(pass * 5 + i)];
      EXPECT_EQ(call.x, expected[i][0]);
      EXPECT_EQ(call.y, expected[i][1]);
      EXPECT_EQ(call.colour, i == 4 ? kRed : kBlack);
    }
}

TEST_F(DrawHelpers, TextHelpersFollowTheCurrentFont) {
  testsupport::LogCapture log;
  {
    cl_SpyFont font;
    gfx::SetFont(&font);
    gfx::SetFont(nullptr);  // logged, and the font stays current
    EXPECT_TRUE(log.contains("grSetFont(font=NULL)"));
    EXPECT_EQ(gfx::GetFont(), &font);
    // The base measures nothing.
    EXPECT_EQ(gfx::GetTextWidth("abc"), -1.0f);
    EXPECT_EQ(gfx::GetTextSizeW(u"abc").x, 0.0f);
    EXPECT_TRUE(gfx::GetFontProperties().is_void());
    EXPECT_EQ(gfx::GetTextWidth(nullptr), 0.0f);
    cl_SpyFont later;  // a new font leaves none current
    EXPECT_EQ(gfx::GetFont(), nullptr);
    gfx::SetFont(&later);
  }
  EXPECT_EQ(gfx::GetFont(), nullptr);  // a destroyed font is not left current
  gfx::DrawText(0, 0, "nothing to draw with", kRed);
  EXPECT_EQ(gfx::GetTextWidthW(u"abc"), 0.0f);
}

using testsupport::cl_CountingFont;

// A text fitted to a width, and what is shown.
struct st_Fit {
  const char* text;
  float width;
  const char* shown;
};

// A long text is cut in a few measurements, where one character off at a time measured a 16,000-
// character label 16,000 times a frame; the cut is the longest that fits, never inside a
// character; a kept cut is measured again only for a new text, width or font.
TEST_F(DrawHelpers, ALongTextIsCutInAFewMeasurementsAndTheCutIsKept) {
  cl_CountingFont font;
  gfx::SetFont(&font);
  const std::string label(16000, 'x');
  EXPECT_EQ(gfx::ShortenText(label.c_str(), 800.0f), std::string(97, 'x') + "...");
  EXPECT_LE(font.measured, 20);
  const st_Fit cases[] = {
      {"short", 40.0f, "short"},             // fits as it is
      {"abcdefgh", 48.0f, "abc..."},         // 3 characters and "..." fill 48 exactly
      {"abcdefgh", 47.0f, "ab..."},
      {"\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBCxx", 40.0f, "\xC3\xBC\xC3\xBC..."},  // two whole "u-umlaut"s
      {"abcdefgh", 10.0f, "..."},            // as far as "..." alone allows
  };
  for (const auto& c : cases) EXPECT_EQ(gfx::ShortenText(c.text, c.width), c.shown) << c.text << " in " << c.width;

  gfx::cl_ShortenedText kept;
  font.measured = 0;
  for (int frame = 0; frame < 100; ++frame) EXPECT_EQ(kept.Get(label.c_str(), 800.0f).size(), 100u);
  EXPECT_LE(font.measured, 20) << "measured once, not every frame";
  font.measured = 0;
  EXPECT_EQ(kept.Get(label.c_str(), 400.0f), std::string(47, 'x') + "...");
  EXPECT_GT(font.measured, 0) << "a new width is measured";
  font.measured = 0;
  EXPECT_EQ(kept.Get("short", 400.0f), "short");
  EXPECT_EQ(font.measured, 1);
  cl_CountingFont other;
  gfx::SetFont(&other);
  kept.Get("short", 400.0f);
  EXPECT_EQ(other.measured, 1) << "a new font is measured";
}

// A line too wide loses the middle of its longest word (a file name) first, so that what follows
// the word (the cause) stays whole, never inside a character; a word too short to give way, or a
// rest too wide even then, is cut at the end as ShortenText cuts.
TEST_F(DrawHelpers, ALongWordGivesWayInItsMiddleSoThatTheTextAfterItStaysWhole) {
  cl_CountingFont font;  // 8 pixels a character
  gfx::SetFont(&font);
  const st_Fit cases[] = {
      {"a bbbbbbbbbbbbbbbbbbbb c", 200.0f, "a bbbbbbbbbbbbbbbbbbbb c"},  // fits as it is
      {"a bbbbbbbbbbbbbbbbbbbb cause", 160.0f, "a bbbb...bbbbb cause"},  // 11 of the word go
      {"x \xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC y", 120.0f,
       "x \xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC...\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC y"},  // whole "u-umlaut"s
      {"aaaa bbbbbbbbbb cccc", 80.0f, "aaaa bb..."},  // no word long enough: the end goes
      {"bbbbbbbbbbbbbbbbbbbb and all the rest", 80.0f, "bbbbbbb..."},  // too wide even so: the end goes
  };
  for (const auto& c : cases)
    EXPECT_EQ(gfx::ShortenLongestWord(c.text, c.width), c.shown) << c.text << " in " << c.width;
}

// A long text is wrapped in about two measurements a line, where cutting a word wider than the
// line one character at a time measured a 16,000-character label for minutes; lines break at
// blanks, a long word between characters, never inside one; a kept wrap is measured again only
// for a new text, width or font.
TEST_F(DrawHelpers, ALongTextIsWrappedInAboutTwoMeasurementsALineAndTheWrapIsKept) {
  cl_CountingFont font;
  gfx::SetFont(&font);
  const std::string label(16000, 'x');
  const std::string wrapped = gfx::WrapText(label.c_str(), 780.0f);
  std::vector<std::string> lines;
  for (size_t at = 0, end; at <= wrapped.size(); at = end + 1) {
    end = std::min(wrapped.find('\n', at), wrapped.size());
    lines.push_back(wrapped.substr(at, end - at));
  }
  ASSERT_EQ(lines.size(), 165u);  // 97 characters of 8 pixels fill 776 of the 780
  for (size_t i = 0; i + 1 < lines.size(); ++i) ASSERT_EQ(lines[i], std::string(97, 'x')) << i;
  EXPECT_EQ(lines.back(), std::string(16000 - 164 * 97, 'x'));
  EXPECT_LE(font.measured, 2 * 165 + 40);

  struct {
    const char* text;
    float width;
    const char* wrapped;
  } cases[] = {
      {"one two three", 64.0f, "one two\nthree"},
      {"one two three", 200.0f, "one two three"},
      {"a\n\nb", 64.0f, "a\n\nb"},
      {"path/to/a/long/file.xml in a scene", 80.0f, "path/to/a/\nlong/file.\nxml in a\nscene"},
      {"ab \xC3\xBC\xC3\xBC\xC3\xBC", 16.0f, "ab\n\xC3\xBC\xC3\xBC\n\xC3\xBC"},  // two whole "u-umlaut"s a line
      {"abc", 4.0f, "a\nb\nc"},  // nothing fits: a character a line all the same
  };
  for (const auto& c : cases) EXPECT_EQ(gfx::WrapText(c.text, c.width), c.wrapped) << c.text << " in " << c.width;

  gfx::cl_WrappedText kept;
  font.measured = 0;
  EXPECT_EQ(kept.Get(label.c_str(), 780.0f), wrapped);
  const int first = font.measured;
  for (int frame = 0; frame < 100; ++frame) kept.Get(label.c_str(), 780.0f);
  EXPECT_EQ(font.measured, first) << "wrapped once, not every frame";
  kept.Get(label.c_str(), 400.0f);
  EXPECT_GT(font.measured, first) << "a new width is measured";
}

}  // namespace
}  // namespace gfxtest
