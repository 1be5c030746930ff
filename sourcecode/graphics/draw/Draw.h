// The immediate drawing helpers: each draws one thing at once and flushes its recorder before it
// returns. Text through the current font, images, textures and strips at a position, textured
// bands, flat 2D shapes, world-space lines, triangles and lit quads, the planar flattening
// matrix, the screen grab into a bitmap and the mouse-cursor image. 2D coordinates are back-
// buffer pixels, origin top-left, y downward; colours 0xAARRGGBB. Main thread, inside a frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Imaging.h"
#include "base/data/Variant.h"
#include "base/math/Limit.h"
#include "base/math/Vector.h"

class Function2;

namespace base {
class Matrix4;
}

namespace gfx {

class cl_Font;
class cl_Image;
class cl_Texture;
class cl_TextureStrip;

// ---- text (nothing, 0 or (0, 0) without a current font or for a null string)
// The screen rectangle of one drawn text: a line's measured size, a box's given rectangle.
struct st_DrawnText {
  float left = 0, top = 0, right = 0, bottom = 0;
  std::string text;  // UTF-8
};
// While trace is set, every text drawn is appended to it (layout checks read where texts went);
// null stops the trace.
void TraceDrawnText(std::vector<st_DrawnText>* trace);
void SetFont(cl_Font* font);  // makes it current; null is logged and changes nothing
cl_Font* GetFont();
void SetFontProperties(const base::Variant& properties);
base::Variant GetFontProperties();  // nil without a font
void DrawText(int x, int y, const char* text, uint32_t colour);
void DrawTextW(int x, int y, const char16_t* text, uint32_t colour);
// Four copies one pixel off in the outline colour (right, left, down, up), then the text.
void DrawTextOutlined(int x, int y, const char* text, uint32_t colour, uint32_t outline);
void DrawTextOutlinedW(int x, int y, const char16_t* text, uint32_t colour, uint32_t outline);
void DrawTextBoxW(float x, float y, float w, float h, const char16_t* text, uint32_t colour);
void DrawTextBoxOutlinedW(float x, float y, float w, float h, const char16_t* text, uint32_t colour,
                          uint32_t outline);
float GetTextWidth(const char* text);
float GetTextWidthW(const char16_t* text);
float GetWrappedTextHeightW(const char16_t* text, float width);
base::tVector2<float> GetTextSize(const char* text);
// text broken at blanks into lines no wider than width; a word wider than width is cut between
// characters. Each cut is found by halving (ShortenText's way): about two measurements a line.
std::string WrapText(const char* text, float width);
// text as it is when it is no wider than width, else cut between characters and ended with "..."
// so that it is (as far as "..." alone allows). The cut is found by halving: a few measurements.
std::string ShortenText(const char* text, float width);
// text as it is when it is no wider than width, else with the middle of its longest word (a file
// name in a message) given up for "..." as far as needed, so that what follows that word (the
// cause) stays whole; ShortenText's cut when even its shortest form is too wide. By halving.
std::string ShortenLongestWord(const char* text, float width);
// A text fitted to a width (by ShortenText or WrapText) for a place that draws it every frame:
// fitted again only when the text, the width or the current font changes.
class cl_FittedText {
 public:
  explicit cl_FittedText(std::string (*fit)(const char* text, float width));
  const std::string& Get(const char* text, float width);

 private:
  std::string (*m_fit)(const char*, float);
  std::string m_text, m_shown;
  float m_width = 0.0f;
  const cl_Font* m_font = nullptr;
  bool m_valid = false;
};
class cl_ShortenedText : public cl_FittedText {
 public:
  cl_ShortenedText() : cl_FittedText(&ShortenText) {}
};
class cl_WrappedText : public cl_FittedText {
 public:
  cl_WrappedText() : cl_FittedText(&WrapText) {}
};
// (x, y) moved left and up just so far that text (every line measured) ends inside the window,
// never past its top-left corner: status texts keep their place where they fit.
base::tVector2<float> KeepTextInWindow(float x, float y, const char* text);
base::tVector2<float> GetTextSizeW(const char16_t* text);

// ---- images and textures (blend states are the caller's)
void DrawImage(cl_Image* image, float x, float y, float scale);  // a null image is logged
void DrawTextureAt(cl_Texture* texture, float x, float y, float scale);  // at (x, y) in pixels
void DrawTextureBlended(cl_Texture* texture, cl_Texture* second, float x, float y, float scale);
void DrawTextureRotated(cl_Texture* texture, float x, float y, float angle, float scale);
void DrawTextureStripFrame(cl_TextureStrip* strip, float x, float y, float position, float scale);
// The whole texture on the rectangle.
void DrawTextureQuad(const base::tRectf& rect, cl_Texture* texture);
// A band as wide as the texture from (x1, y1) to (x2, y2), repeating every texture height.
void DrawTextureRect(float x1, float y1, float x2, float y2, cl_Texture* texture);
// A band W × scale wide along the curve's points, joints along the mean direction; the texture
// repeats every H × scale. Nothing for fewer than two points.
void DrawTextureTiled(const Function2& curve, cl_Texture* texture, float scale);

// ---- flat 2D shapes in a colour (blended when its alpha is below 255)
// Covers the pixels x1 … x2 − 1 and y1 … y2 − 1.
void FillRect(float x1, float y1, float x2, float y2, uint32_t colour);
void FillRect(const base::tRectf& rect, uint32_t colour);
void DrawLine(float x1, float y1, float x2, float y2, uint32_t colour, float width);
void DrawLine(float x1, float y1, float x2, float y2, uint32_t colour);
void DrawRect(int x1, int y1, int x2, int y2, uint32_t colour);
// About one segment per pixel of radius, at most kMaxCircleSegments; nothing for a radius that
// is not a positive number.
inline constexpr int kMaxCircleSegments = 1024;
void DrawCircle(int cx, int cy, float radius, uint32_t colour);
struct st_Vertex2D {
  float x, y, u, v;
};
void DrawTriangle2D(const st_Vertex2D& a, const st_Vertex2D& b, const st_Vertex2D& c);  // states the caller's

// ---- world space
void DrawLine3D(const base::tVector3<float>& a, const base::tVector3<float>& b, uint32_t colour);
void DrawTriangle3D(const base::tVector3<float>& a, const base::tVector3<float>& b, const base::tVector3<float>& c,
                    uint32_t colour);
// A lit quad around centre c with half-edges a and b (world transform reset to identity).
void DrawQuad3D(const base::tVector3<float>& c, const base::tVector3<float>& a, const base::tVector3<float>& b);
// Moves points onto the horizontal plane through the pivot, x and z shifted by (a, b) times the
// height above it: planar shadows.
void MakeFlattenMatrix(base::Matrix4& out, float a, float b, const base::tVector3<float>& pivot);

// ---- models: DrawModel and DrawModelPart are in graphics/model/Model.h, beside the model they draw.

// ---- video: PlayVideoFullscreen, PauseVideo, StopVideo, IsVideoPlaying and GetVideoTime are in
// graphics/video/VideoFunctions.h, beside the player they forward to.

// ---- screen and cursor
// Samples the rectangle (x1, y1)–(x2, y2) of the back buffer (or of the last presented frame)
// into the bitmap's size, nearest pixel, alpha 255; source coordinates are kept on the surface.
void GrabScreen(base::cl_Bitmap32* bitmap, float x1, float y1, float x2, float y2, bool fromFrontBuffer);
// position: the cursor's new place (null: unchanged); texture: the new image (loaded; its pivot
// is the hot spot). Both null hide the cursor.
void SetCursor(const base::tVector2<float>* position, cl_Texture* texture);

}  // namespace gfx
