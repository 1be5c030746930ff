#include "quillane/screen/ScreenDraw.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/math/Matrix4.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/screen/FontScope.h"
#include "quillane/screen/ScreenLayout.h"

namespace {

constexpr uint32_t kHighlightColour = 0xFFDCA459u;
constexpr float kBarHeight = 32.0f;
constexpr float kWrapWidth = 500.0f, kWrapWidthAbove = 250.0f;
constexpr float kEdgeGap = 5.0f;       // text kept this far inside the window
constexpr float kBubbleMargin = 25.0f; // frame around a bubble's text

void DrawPieceAt(const char* label, float x, float y) {
  if (gfx::cl_Texture* t = gfx::TextureExists(label)) gfx::DrawTextureAt(t, x, y, 1.0f);
}

void DrawPieceOver(const char* label, float x0, float y0, float x1, float y1) {
  if (gfx::cl_Texture* t = gfx::TextureExists(label)) gfx::DrawTextureQuad(base::tRectf(x0, y0, x1, y1), t);
}

uint32_t WithAlpha(uint32_t colour, uint8_t alpha) { return (colour & 0x00FFFFFFu) | static_cast<uint32_t>(alpha) << 24; }

struct st_TextBlock {
  float w, h;
};

st_TextBlock MeasureBlock(const char16_t* text, bool above) {
  const float limit = above ? kWrapWidthAbove : kWrapWidth;
  return {MinFloat(gfx::GetTextWidthW(text), limit), gfx::GetWrappedTextHeightW(text, limit)};
}

// Truncated towards zero; values beyond any window (and NaN) are pulled in first, since the
// conversion of such a float is undefined.
int TruncatePixel(float v) { return v == v ? static_cast<int>(ClampFloat(v, -1e8f, 1e8f)) : 0; }

float WindowWidth() { return static_cast<float>(base::sys::GetWindowWidth()); }
float WindowHeight() { return static_cast<float>(base::sys::GetWindowHeight()); }

// A caption over someone at the edge of a scrolled scene would run out of the window (the
// scene's span reaches past it): the box is pulled in whole.
void KeepInWindow(float& left, float& top, float w, float h) {
  left = ClampFloat(left, 0.0f, WindowWidth() - w);
  top = ClampFloat(top, 0.0f, WindowHeight() - h);
}

}  // namespace

void SetBlendForAlpha(uint8_t alpha) {
  gfx::SetBlendNone();
  if (alpha == 255)
    gfx::SetBlendAlpha(true);
  else
    gfx::SetBlendAlphaTextureColor(alpha, true);
}

void DrawPictureAt(const char* label, float x, float y, float scale) {
  if (gfx::cl_Texture* t = gfx::TextureExists(label))
    gfx::DrawTextureAt(t, x, y, scale);
  else if (gfx::cl_Image* image = gfx::ImageExists(label))
    gfx::DrawImage(image, x, y, scale);
}

bool GetSceneSpanForText(st_SceneSpan&) {
  // No session shows a scene yet; the session fills this in once it exists.
  return false;
}

void DrawHighlightRect(float x0, float y0, float x1, float y1) {
  gfx::DrawRect(TruncatePixel(x0), TruncatePixel(y0), TruncatePixel(x1), TruncatePixel(y1), kHighlightColour);
}

void DrawHBar(const base::tRectf& rect, float value, uint32_t colour) {
  const float v = value > 0.0f ? MinFloat(value, 1.0f) : 0.0f;  // NaN reads as empty
  const float x0 = rect.min.x, y0 = rect.min.y, x1 = rect.max.x;
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  DrawPieceAt("hbar_left", x0 - 16.0f, y0);
  DrawPieceAt("hbar_right", x1, y0);
  DrawPieceOver("hbar_center", x0, y0, x1, y0 + kBarHeight);

  const float fillEnd = (x0 + 1.0f) + ((x1 - 1.0f) - (x0 + 1.0f)) * v;
  gfx::cl_Texture* filler = gfx::TextureExists("hbar_filler");
  if (!filler) return;
  gfx::SetTextureTinted(filler, colour);
  gfx::SetBlendAlpha(true);
  gfx::DrawTextureQuad(base::tRectf(x0 + 1.0f, y0, fillEnd, y0 + kBarHeight), filler);
  auto quarter = [colour](int shift) { return static_cast<uint32_t>(((colour >> shift) & 0xFFu) * 0.25f) << shift; };
  const uint32_t dimmed = (colour & 0xFF000000u) | quarter(16) | quarter(8) | quarter(0);
  gfx::SetTextureTinted(filler, dimmed);
  gfx::DrawTextureQuad(base::tRectf(fillEnd, y0, x1, y0 + kBarHeight), filler);
}

void DrawDialogFrame(float x0, float y0, float x1, float y1, uint8_t backgroundAlpha, uint8_t alpha) {
  const uint8_t back = backgroundAlpha < alpha ? backgroundAlpha : alpha;
  gfx::FillRect(x0, y0, x1, y1, static_cast<uint32_t>(back) << 24);
  SetBlendForAlpha(alpha);
  DrawPieceAt("dialog_ul", x0 - 2.0f, y0 - 3.0f);
  DrawPieceAt("dialog_ur", x1 - 31.0f, y0 - 3.0f);
  DrawPieceAt("dialog_ll", x0 - 2.0f, y1 - 31.0f);
  DrawPieceAt("dialog_lr", x1 - 31.0f, y1 - 31.0f);
}

void DrawRoundFrame(float x0, float y0, float x1, float y1, uint8_t alpha) {
  const float c = kSkinCornerSize;
  gfx::SetFilterLinear();
  SetBlendForAlpha(alpha);
  DrawPieceAt("frame_round_corner00", x0, y0);
  DrawPieceAt("frame_round_corner10", x1 - c, y0);
  DrawPieceAt("frame_round_corner11", x1 - c, y1 - c);
  DrawPieceAt("frame_round_corner01", x0, y1 - c);
  DrawPieceOver("frame_round_edge_up", x0 + c, y0, x1 - c, y0 + c);
  DrawPieceOver("frame_round_edge_down", x0 + c, y1 - c, x1 - c, y1);
  DrawPieceOver("frame_round_edge_left", x0, y0 + c, x0 + c, y1 - c);
  DrawPieceOver("frame_round_edge_right", x1 - c, y0 + c, x1, y1 - c);
  DrawPieceOver("frame_round_center", x0 + c, y0 + c, x1 - c, y1 - c);
}

void DrawTextCentered(float x, float y, const char16_t* text, uint32_t textColour, uint32_t outlineColour, bool above) {
  if (!text) return;
  cl_CenteredFont centred;
  const st_TextBlock block = MeasureBlock(text, above);
  float left = x - block.w * 0.5f, top;
  if (!above) {
    top = y - block.h * 0.5f;
    st_SceneSpan scene;
    if (GetSceneSpanForText(scene)) {
      left = ClampFloat(left, -scene.offset, (scene.width - scene.offset) * scene.zoom - block.w);
    }
    KeepInWindow(left, top, block.w, block.h);
  } else {
    top = y - block.h;
    if (left + block.w > WindowWidth()) left = WindowWidth() - block.w - kEdgeGap;
    if (left < 0.0f) left = kEdgeGap;
  }
  gfx::DrawTextBoxOutlinedW(left, top, block.w, block.h, text, textColour, outlineColour);
}

base::tVector2<float> FigureCaptionCentre(const base::tRectf& figure, const char16_t* text, bool bubble) {
  const st_TextBlock block = text ? MeasureBlock(text, false) : st_TextBlock{0.0f, 0.0f};
  const float margin = bubble ? kBubbleMargin : 0.0f;
  const float w = block.w + 2.0f * margin, h = block.h + 2.0f * margin;
  const float above = figure.min.y - kEdgeGap - h;
  if (above >= 0.0f) return {(figure.min.x + figure.max.x) * 0.5f, above + h * 0.5f};
  // Beside the head, the block's top level with the head's top.
  const float y = std::max(figure.min.y, 0.0f) + h * 0.5f;
  const float right = figure.max.x + kEdgeGap;
  if (right + w <= WindowWidth()) return {right + w * 0.5f, y};
  return {figure.min.x - kEdgeGap - w * 0.5f, y};
}

uint8_t TextBubbleAlpha(float time) {
  // Before 2 s the product is negative; stored as a byte it would wrap to a visible alpha.
  const float a = 255.0f * MinFloat(time - 2.0f, 1.0f);
  return a > 0.0f ? static_cast<uint8_t>(a) : 0;
}

void DrawTextBubble(float x, float y, const char16_t* text, uint32_t textColour, uint32_t outlineColour, float time,
                    bool above) {
  if (!text) return;
  const uint8_t alpha = TextBubbleAlpha(time);
  cl_CenteredFont centred;
  const st_TextBlock block = MeasureBlock(text, above);
  const float boxW = block.w + 2.0f * kBubbleMargin, boxH = block.h + 2.0f * kBubbleMargin;
  float boxX = x - block.w * 0.5f - kBubbleMargin, boxY;
  if (above) {
    boxY = y - block.h - 2.0f * kBubbleMargin;
    if (boxX + boxW > WindowWidth()) boxX = WindowWidth() - boxW - kEdgeGap;
    if (boxX < 0.0f) boxX = kEdgeGap;
    boxY -= kEdgeGap;
  } else {
    boxY = y - block.h * 0.5f - kBubbleMargin;
    st_SceneSpan scene;
    if (GetSceneSpanForText(scene)) {
      boxX = ClampFloat(boxX, -scene.offset, scene.width * scene.zoom - boxW);
    }
    KeepInWindow(boxX, boxY, boxW, boxH);
  }
  DrawDialogFrame(boxX, boxY, boxX + boxW, boxY + boxH, 192, alpha);
  gfx::DrawTextBoxOutlinedW(boxX + kBubbleMargin, boxY + kBubbleMargin, block.w, block.h, text,
                            WithAlpha(textColour, alpha), WithAlpha(outlineColour, alpha));
}

void DrawDebugCross3D(float x, float y, float z, uint32_t colour) {
  gfx::SetWorldMatrix(base::Matrix4());
  const float h = 25.0f;
  gfx::DrawLine3D({x - h, y, z}, {x + h, y, z}, colour);
  gfx::DrawLine3D({x, y - h, z}, {x, y + h, z}, colour);
  gfx::DrawLine3D({x, y, z - h}, {x, y, z + h}, colour);
}

void DrawDebugCircle3D(float x, float y, float z, float radius, uint32_t colour) {
  if (!(radius >= 1.0f)) return;
  const int n = radius < static_cast<float>(gfx::kMaxCircleSegments) ? static_cast<int>(std::floor(radius))
                                                                      : gfx::kMaxCircleSegments;
  const float step = 2.0f * std::numbers::pi_v<float> / static_cast<float>(n);
  auto point = [&](int i) {
    const float a = step * static_cast<float>(i);
    return base::tVector3<float>(x + radius * std::cos(a), y, z + radius * std::sin(a));
  };
  for (int i = 0; i < n; ++i) gfx::DrawLine3D(point(i), point(i + 1), colour);
}
