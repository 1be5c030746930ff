// The skinned frames, the progress bar and the text helpers drawn headless on solid skin pieces,
// each pixel compared with the value the drawing rules give.
#include <cmath>
#include <string>
#include <vector>

#include "ScreenFixture.h"
#include "base/data/Variant.h"
#include "graphics/Camera.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/screen/ScreenDraw.h"

namespace screentest {
namespace {

class SkinDrawing : public ScreenTest {
 protected:
  // A solid 32-bit texture under label, w × h, resource line appended to m_list.
  void Piece(const std::string& label, int w, int h, uint32_t colour) {
    WriteTga("skin/" + label + ".tga", w, h, colour);
    m_list += "<Texture label=\"" + label + "\" file=\"skin/" + label + ".tga\"/>";
  }
  std::string m_list;
};

// ---- progress bar

TEST_F(SkinDrawing, ProgressBarFillsTintedUpToTheValueAndDimsTheRest) {
  Piece("hbar_left", 16, 32, 0xFFFF0000u);
  Piece("hbar_right", 16, 32, 0xFF00FF00u);
  Piece("hbar_center", 32, 32, 0xFF0000FFu);
  Piece("hbar_filler", 32, 32, 0xFFFFFFFFu);
  AddResources(m_list);
  const uint32_t tint = 0xFF40C080u, dimmed = 0x103020u;
  const base::tRectf rect(20.0f, 10.0f, 120.0f, 90.0f);
  struct {
    float value;
    float fillEnd;  // (x0 + 1) + ((x1 − 1) − (x0 + 1)) × clamped value
  } cases[] = {{0.5f, 70.0f}, {1.5f, 119.0f}, {-1.0f, 21.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    ASSERT_TRUE(BeginDrawing(0xFF000000u));
    DrawHBar(rect, c.value, tint);
    EXPECT_TRUE(RgbNear(Pixel(10, 20), 0xFF0000u, 2));   // left cap at x0 − 16
    EXPECT_TRUE(RgbNear(Pixel(127, 20), 0x00FF00u, 2));  // right cap at x1
    EXPECT_TRUE(RgbNear(Pixel(60, 45), 0x000000u, 2));   // 32 high: the rectangle's bottom is not used
    for (int x = 22; x < 119; x += 8) {
      const float centre = static_cast<float>(x) + 0.5f;
      if (centre < c.fillEnd - 1.0f) {
        EXPECT_TRUE(RgbNear(Pixel(x, 20), tint & kWhite, 3)) << x;
      } else if (centre > c.fillEnd + 1.0f) {
        EXPECT_TRUE(RgbNear(Pixel(x, 20), dimmed, 3)) << x;
      }
    }
    EndFrame();
  }
}

// ---- dialog frame

TEST_F(SkinDrawing, DialogFrameCornersSitAtTheirOffsetsOverTheDarkenedBack) {
  const uint32_t ul = 0xFFFF0000u, ur = 0xFF00FF00u, ll = 0xFF0000FFu, lr = 0xFFFFFF00u;
  Piece("dialog_ul", 32, 32, ul);
  Piece("dialog_ur", 32, 32, ur);
  Piece("dialog_ll", 32, 32, ll);
  Piece("dialog_lr", 32, 32, lr);
  AddResources(m_list);
  const float x0 = 60, y0 = 40, x1 = 200, y1 = 160;
  struct {
    int x, y;
    uint32_t colour;
  } corners[] = {{60 - 2, 40 - 3, ul}, {200 - 31, 40 - 3, ur}, {60 - 2, 160 - 31, ll}, {200 - 31, 160 - 31, lr}};
  for (int alpha : {255, 128}) {
    SCOPED_TRACE(alpha);
    ASSERT_TRUE(BeginDrawing(0xFFFFFFFFu));
    DrawDialogFrame(x0, y0, x1, y1, 192, static_cast<uint8_t>(alpha));
    // The back: black at the smaller alpha over white.
    const uint32_t back = Over(0, kWhite, alpha < 192 ? alpha : 192);
    EXPECT_TRUE(RgbNear(Pixel(130, 100), back, 2));
    EXPECT_TRUE(RgbNear(Pixel(59, 100), kWhite, 2));  // outside the rectangle
    for (const auto& c : corners) {
      // Each piece's top-left pixel and its last one; inside the rectangle it covers the back,
      // outside it covers the white window.
      for (const int d : {0, 31}) {
        const int px = c.x + d, py = c.y + d;
        const bool inside = px >= 60 && px < 200 && py >= 40 && py < 160;
        EXPECT_TRUE(RgbNear(Pixel(px, py), Over(c.colour, inside ? back : kWhite, alpha), 3)) << px << "," << py;
      }
      EXPECT_TRUE(RgbNear(Pixel(c.x - 1, c.y + 10), c.x - 1 >= 60 && c.x - 1 < 200 ? back : kWhite, 3));
    }
    EndFrame();
  }
}

// ---- rounded frame

TEST_F(SkinDrawing, RoundFrameStretchesItsEdgesBetweenTheCorners) {
  struct {
    const char* label;
    uint32_t colour;
    int x, y;  // a pixel it must cover for the frame (40, 30)–(280, 170)
  } pieces[] = {
      {"frame_round_corner00", 0xFFFF0000u, 45, 35},   {"frame_round_corner10", 0xFF00FF00u, 275, 35},
      {"frame_round_corner11", 0xFF0000FFu, 275, 165}, {"frame_round_corner01", 0xFFFFFF00u, 45, 165},
      {"frame_round_edge_up", 0xFF00FFFFu, 160, 35},   {"frame_round_edge_down", 0xFFFF00FFu, 160, 165},
      {"frame_round_edge_left", 0xFF808000u, 45, 100}, {"frame_round_edge_right", 0xFF008080u, 275, 100},
      {"frame_round_center", 0xFF800080u, 160, 100},
  };
  for (const auto& p : pieces) Piece(p.label, 32, 32, p.colour);
  AddResources(m_list);
  ASSERT_TRUE(BeginDrawing(0xFF000000u));
  DrawRoundFrame(40, 30, 280, 170, 255);
  for (const auto& p : pieces) EXPECT_TRUE(RgbNear(Pixel(p.x, p.y), p.colour & kWhite, 3)) << p.label;
  // The edges end where the corners begin: 32 pixels in from each side.
  EXPECT_TRUE(RgbNear(Pixel(72, 35), 0x00FFFFu, 3));
  EXPECT_TRUE(RgbNear(Pixel(71, 35), 0xFF0000u, 3));
  EXPECT_TRUE(RgbNear(Pixel(247, 100), 0x800080u, 3));
  EXPECT_TRUE(RgbNear(Pixel(248, 100), 0x008080u, 3));
  EXPECT_TRUE(RgbNear(Pixel(39, 100), 0x000000u, 2));
  EXPECT_TRUE(RgbNear(Pixel(280, 100), 0x000000u, 2));
  EndFrame();
}

// ---- text

class TextDrawing : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    AddResources(R"(<DXFont label="game" file="DejaVu Sans" system="1" size="14"/>)");
    m_font = gfx::FontExists("game");
    ASSERT_NE(m_font, nullptr);
    gfx::SetFont(m_font);
  }
  bool AnyInk(int x0, int y0, int x1, int y1, uint32_t background) {
    return ScreenTest::AnyInk(m_frame, x0, y0, x1, y1, background);
  }
  std::vector<uint32_t> m_frame;
  gfx::cl_Font* m_font = nullptr;
};

TEST_F(TextDrawing, BubbleFadesInDuringTheThirdSecond) {
  const char16_t* text = u"Night ferry";
  const float w = gfx::GetTextWidthW(text), h = gfx::GetWrappedTextHeightW(text, 500.0f);
  ASSERT_GT(w, 10.0f);
  // Not above: the box (x − w/2 − 25, y − h/2 − 25) sized (w + 50, h + 50).
  const float x = 160, y = 100;
  const int boxX = static_cast<int>(x - w / 2 - 25), boxY = static_cast<int>(y - h / 2 - 25);
  struct {
    float time;
    int alpha;
  } cases[] = {{1.0f, 0}, {2.5f, 127}, {3.0f, 255}, {9.0f, 255}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.time);
    EXPECT_EQ(TextBubbleAlpha(c.time), c.alpha);
    ASSERT_TRUE(BeginDrawing(0xFFFFFFFFu));
    DrawTextBubble(x, y, text, 0xFF000000u, 0xFF000000u, c.time, false);
    const uint32_t back = Over(0, kWhite, c.alpha < 192 ? c.alpha : 192);
    EXPECT_TRUE(RgbNear(Pixel(boxX + 4, boxY + 4), back, 3));
    EXPECT_TRUE(RgbNear(Pixel(boxX - 3, boxY + 4), kWhite, 2));
    if (c.alpha == 0) {
      m_frame = ReadFrame();
      EXPECT_FALSE(AnyInk(0, 0, WindowWidth(), WindowHeight(), kWhite));
    }
    EndFrame();
  }
  // Far below 2 s the alpha stays at zero rather than wrapping round to a visible value.
  EXPECT_EQ(TextBubbleAlpha(0.0f), 0);
  EXPECT_EQ(TextBubbleAlpha(-1e30f), 0);
  EXPECT_EQ(TextBubbleAlpha(1.999f), 0);
}

// A caption over someone at the window's right edge (a character at the side of a scrolled
// scene): its framed box is pulled inside the window whole, not cut off there.
TEST_F(TextDrawing, ABubbleAtTheWindowsEdgeIsPulledInside) {
  const char16_t* text = u"Pell, a dock worker";
  const float w = gfx::GetTextWidthW(text), h = gfx::GetWrappedTextHeightW(text, 500.0f);
  const float boxW = w + 50, boxH = h + 50;
  ASSERT_LT(boxW, WindowWidth());
  ASSERT_TRUE(BeginDrawing(0xFFFFFFFFu));
  DrawTextBubble(WindowWidth() - 10.0f, WindowHeight() - 5.0f, text, 0xFF000000u, 0xFF000000u, 5.0f, false);
  const int left = static_cast<int>(WindowWidth() - boxW), top = static_cast<int>(WindowHeight() - boxH);
  const uint32_t back = Over(0, kWhite, 192);
  EXPECT_TRUE(RgbNear(Pixel(left + 4, top + 4), back, 3)) << "the box's top left corner is not in the window";
  EXPECT_TRUE(RgbNear(Pixel(left - 3, top + 4), kWhite, 2));
  EXPECT_TRUE(RgbNear(Pixel(left + 4, top - 3), kWhite, 2));
  EndFrame();
}

TEST_F(TextDrawing, CenteredTextAboveIsPulledInsideTheRightEdgeAndTheFontIsRestored) {
  const char16_t* text = u"Harbour office";
  const float w = gfx::GetTextWidthW(text), h = gfx::GetWrappedTextHeightW(text, 250.0f);
  base::tString<base::BaseString> before;
  gfx::GetFontProperties().get_attribute_string("alignment", before);
  ASSERT_TRUE(BeginDrawing(0xFFFFFFFFu));
  DrawTextCentered(315.0f, 120.0f, text, 0xFF000000u, 0xFF000000u, true);
  m_frame = ReadFrame();
  // Its box ends 5 pixels inside the window; its bottom is at y.
  const int left = static_cast<int>(320.0f - w - 5.0f);
  EXPECT_TRUE(AnyInk(left, static_cast<int>(120 - h), 315, 121, kWhite));
  EXPECT_FALSE(AnyInk(317, 0, 320, 200, kWhite));
  EXPECT_FALSE(AnyInk(0, 0, left - 2, 200, kWhite));
  EXPECT_FALSE(AnyInk(0, 122, 320, 200, kWhite));
  // A point past the left edge puts the box 5 pixels in.
  gfx::ClearScreen(0xFFFFFFFFu);
  DrawTextCentered(-40.0f, 60.0f, text, 0xFF000000u, 0xFF000000u, true);
  m_frame = ReadFrame();
  EXPECT_TRUE(AnyInk(5, 0, static_cast<int>(w) + 6, 61, kWhite));
  EXPECT_FALSE(AnyInk(0, 0, 3, 200, kWhite));
  // Not above, and no scene: centred on the point as it is.
  gfx::ClearScreen(0xFFFFFFFFu);
  DrawTextCentered(160.0f, 100.0f, text, 0xFF000000u, 0xFF000000u, false);
  m_frame = ReadFrame();
  EXPECT_TRUE(AnyInk(static_cast<int>(160 - w / 2), static_cast<int>(100 - h / 2), static_cast<int>(160 + w / 2) + 1,
                     static_cast<int>(100 + h / 2) + 1, kWhite));
  EXPECT_FALSE(AnyInk(0, 0, static_cast<int>(160 - w / 2) - 2, 200, kWhite));
  EndFrame();
  base::tString<base::BaseString> after;
  gfx::GetFontProperties().get_attribute_string("alignment", after);
  EXPECT_EQ(after, before);
  EXPECT_EQ(after, "left");
}

}  // namespace
}  // namespace screentest

namespace screentest {
namespace {

// ---- debug shapes in the world

class DebugShapes : public ScreenTest {
 protected:
  // A camera above and in front of the origin, looking down at it.
  void SetUpCamera() {
    m_camera.SetViewportRect(0.0f, 0.0f, static_cast<float>(WindowWidth()), static_cast<float>(WindowHeight()));
    m_camera.SetClippingRange(1.0f, 5000.0f);
    m_camera.SetFieldOfView(1.0f);
    m_camera.SetPos({0.0f, 300.0f, -400.0f});
    m_camera.LookAt({0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    gfx::SetCamera(&m_camera);
    m_camera.GetProjectionMatrix();
  }
  // Whether a lit pixel lies within 1 pixel of the world point's screen position.
  bool LitNear(const std::vector<uint32_t>& frame, const base::tVector3<float>& p) {
    const base::tVector3<float> s = m_camera.World2Screen(p);
    const int x = static_cast<int>(s.x), y = static_cast<int>(s.y);
    return AnyInk(frame, x - 1, y - 1, x + 2, y + 2, 0);
  }
  base::cl_Camera m_camera;
};

TEST_F(DebugShapes, CrossAndCircleAreDrawnAroundTheirCentre) {
  ASSERT_TRUE(BeginDrawing(0xFF000000u));
  gfx::Begin3D();
  SetUpCamera();
  DrawDebugCross3D(0.0f, 0.0f, 0.0f, 0xFFFFFFFFu);
  std::vector<uint32_t> frame = ReadFrame();
  EXPECT_TRUE(LitNear(frame, {20.0f, 0.0f, 0.0f}));
  EXPECT_TRUE(LitNear(frame, {-20.0f, 0.0f, 0.0f}));
  EXPECT_TRUE(LitNear(frame, {0.0f, 0.0f, 20.0f}));
  EXPECT_TRUE(LitNear(frame, {0.0f, 20.0f, 0.0f}));
  EXPECT_FALSE(LitNear(frame, {40.0f, 0.0f, 0.0f}));  // 25 to each side

  gfx::ClearScreen(0xFF000000u);
  gfx::Begin3D();
  SetUpCamera();
  DrawDebugCircle3D(0.0f, 0.0f, 0.0f, 100.0f, 0xFFFFFFFFu);
  frame = ReadFrame();
  for (float a = 0.0f; a < 6.28f; a += 0.7f)
    EXPECT_TRUE(LitNear(frame, {100.0f * std::cos(a), 0.0f, 100.0f * std::sin(a)})) << a;
  EXPECT_FALSE(LitNear(frame, {0.0f, 0.0f, 0.0f}));
  // Below one unit nothing; radii that are not numbers or absurdly large stay bounded.
  gfx::ClearScreen(0xFF000000u);
  DrawDebugCircle3D(0.0f, 0.0f, 0.0f, 0.9f, 0xFFFFFFFFu);
  DrawDebugCircle3D(0.0f, 0.0f, 0.0f, std::nanf(""), 0xFFFFFFFFu);
  EXPECT_FALSE(AnyInk(ReadFrame(), 0, 0, WindowWidth(), WindowHeight(), 0));
  DrawDebugCircle3D(0.0f, 0.0f, 0.0f, 1e30f, 0xFFFFFFFFu);
  EndFrame();
}

}  // namespace
}  // namespace screentest
