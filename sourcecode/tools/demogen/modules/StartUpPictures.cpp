// The pictures of the start-up road: the splash screen of each language (a 24-bit BMP, 480 ×
// 300, the title and a "loading" line in the language), the loading screen's picture (512 ×
// 320 with alpha) and the cursors besides the game cursor: "no_cursor" (fully transparent, it
// hides the pointer), "cursor_disable", "talk_to" and "pick_up", 32 × 32 with alpha.
#include <cmath>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"
#include "core/TextPainter.h"

namespace demogen {

namespace {

constexpr int kSplashWidth = 480, kSplashHeight = 300;
constexpr int kLoadingWidth = 512, kLoadingHeight = 320;
constexpr int kCursorSize = 32;
const char* const kSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

struct st_Language {
  const char* name;
  const char* loading;  // ASCII only: the glyphs come straight from the byte values
};
const st_Language kLanguages[] = {{"English", "Loading ..."}, {"German", "Wird geladen ..."}};

// Draws text with its baseline at y, centred on cx, in DejaVu Serif of the given pixel size.
bool DrawCentredText(base::cl_Bitmap32& canvas, const char* text, float cx, int y, int size, uint32_t colour) {
  const cl_TextPainter painter(kSerif, size);
  if (!painter.IsOpen()) return false;
  painter.Draw(canvas, static_cast<int>(cx) - painter.Width(text) / 2, y, text, colour);
  return true;
}

// Night sky over dark water with the moon (its centre at moonX of the width), shared by the
// splash and the loading picture.
void PaintHarbourNight(cl_Painter& paint, int width, int height, float moonX) {
  const int horizon = height * 2 / 3;
  paint.VerticalGradient(0xFF07102Au, 0xFF23406Au);
  for (int y = horizon; y < height; ++y)
    paint.Rect(0, y, width, y + 1, Mix(0xFF14304Au, 0xFF040814u, static_cast<float>(y - horizon) / (height - horizon)));
  paint.Disc(width * moonX, height * 0.24f, height * 0.09f, 0xFFF4E6B8u);
  paint.Rect(width / 8, horizon - height / 14, width / 2, horizon + 2, 0xFF03060Eu);  // the ferry
  paint.Rect(width / 5, horizon - height / 7, width / 3, horizon - height / 14, 0xFF03060Eu);
  for (int i = 0; i < 5; ++i)
    paint.Rect(width / 8 + 12 + i * 22, horizon - height / 24 - 4, width / 8 + 20 + i * 22, horizon - height / 24,
               0xFFFFC870u);
}

bool Splash(cl_Output& out, const st_Language& language) {
  base::cl_Bitmap32 canvas;
  canvas.Create(kSplashWidth, kSplashHeight);
  cl_Painter paint(canvas);
  // The moon stands right of the title, clear of its last letters.
  PaintHarbourNight(paint, kSplashWidth, kSplashHeight, 0.93f);
  if (!DrawCentredText(canvas, "The Night Ferry", kSplashWidth * 0.5f, 90, 40, 0xFFF4E6B8u) ||
      !DrawCentredText(canvas, language.loading, kSplashWidth * 0.5f, kSplashHeight - 24, 16, 0xFFB8C8E0u))
    return false;
  base::cl_Bitmap24 bmp;
  bmp.Create(kSplashWidth, kSplashHeight);
  for (int y = 0; y < kSplashHeight; ++y)
    for (int x = 0; x < kSplashWidth; ++x) {
      const base::Color32& p = *canvas.Pixel(x, y);
      *bmp.Pixel(x, y) = base::Color24(p.r, p.g, p.b);
    }
  return out.WriteBmp(std::string("loca/") + language.name + "/splash_screen.bmp", bmp);
}

base::cl_Bitmap32 LoadingPicture() {
  base::cl_Bitmap32 image;
  image.Create(kLoadingWidth, kLoadingHeight);
  cl_Painter paint(image);
  PaintHarbourNight(paint, kLoadingWidth, kLoadingHeight, 0.78f);
  paint.Noise(60.0f, 0.06f);
  return image;
}

base::cl_Bitmap32 Cursor(int kind) {
  base::cl_Bitmap32 image;
  image.Create(kCursorSize, kCursorSize);  // transparent: "no_cursor" stays so
  cl_Painter paint(image);
  if (kind == 1) {  // cursor_disable: a barred circle
    paint.Ring(16, 16, 11, 3, 0xFFD03020u);
    for (float t = -8; t <= 8; t += 0.25f) paint.Disc(16 + t * 0.7071f, 16 - t * 0.7071f, 1.6f, 0xFFD03020u);
  } else if (kind == 2) {  // talk_to: a speech bubble
    paint.Disc(16, 13, 11, 0xFF101828u);
    paint.Disc(16, 13, 9.5f, 0xFFFFFFFFu);
    for (int i = 0; i < 6; ++i) paint.Disc(10.0f - i * 0.8f, 22.0f + i * 1.2f, 2.2f - i * 0.25f, 0xFFFFFFFFu);
    for (int i = 0; i < 3; ++i) paint.Disc(11.0f + i * 5.0f, 13, 1.4f, 0xFF101828u);
  } else if (kind == 3) {  // pick_up: an open hand, palm and four fingers
    paint.Disc(16, 20, 7, 0xFFF0D0B0u);
    for (int i = 0; i < 4; ++i) paint.Rect(9 + i * 4, 5 + (i % 3), 12 + i * 4, 18, 0xFFF0D0B0u);
  }
  return image;
}

}  // namespace

bool MakeStartUpPictures(cl_Output& out) {
  bool ok = true;
  for (const st_Language& language : kLanguages) ok = ok && Splash(out, language);
  ok = ok && out.WriteTga("gui/loading_screens/loading_main.tga", LoadingPicture(), false);
  const char* cursors[] = {"no_cursor", "cursor_disable", "talk_to", "pick_up"};
  for (int i = 0; i < 4 && ok; ++i)
    ok = out.WriteTga(std::string("gui/cursors/") + cursors[i] + ".tga", Cursor(i), true);
  return ok;
}

}  // namespace demogen
