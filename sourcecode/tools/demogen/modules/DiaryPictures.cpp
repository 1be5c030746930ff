// The diary's pictures: the leather cover, the two page backgrounds and their spine shadows, the
// fold shadow (dark at the fold, u 0, fading out across the flap), the close and score buttons,
// the two bookmarks, the mission and chapter-end headers, the score page's plate, the default
// picture of picture pages, the quest tick boxes and one section tab per scene. Sizes are powers
// of two, as pictures are padded to them when loaded; the book stretches its textures.
#include <cmath>
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"
#include "core/TextPainter.h"

namespace demogen {

namespace {

constexpr uint32_t kLeather = 0xFF4A2A18u, kPaper = 0xFFEFE3C6u, kInk = 0xFF3A2A18u, kGold = 0xFFDCA459u;
const char* const kSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

base::cl_Bitmap32 Canvas(int w, int h) {
  base::cl_Bitmap32 image;
  image.Create(w, h);  // transparent black
  return image;
}

// Text centred in the picture, in DejaVu Serif; false when the face is missing.
bool Label(base::cl_Bitmap32& image, const char* text, int size, uint32_t colour) {
  const cl_TextPainter serif(kSerif, size);
  if (!serif.IsOpen()) return false;
  serif.Draw(image, (image.Width() - serif.Width(text)) / 2, (image.Height() - serif.LineHeight()) / 2 + serif.Ascent(),
             text, colour);
  return true;
}

base::cl_Bitmap32 Cover() {
  base::cl_Bitmap32 image = Canvas(1024, 512);
  cl_Painter paint(image);
  paint.VerticalGradient(Mix(kLeather, 0xFF000000u, 0.1f), Mix(kLeather, 0xFF000000u, 0.35f));
  paint.Noise(6.0f, 0.08f);
  paint.Rect(8, 8, 1016, 12, kGold);
  paint.Rect(8, 500, 1016, 504, kGold);
  paint.Rect(508, 0, 516, 512, Mix(kLeather, 0xFF000000u, 0.5f));
  return image;
}

// A page: paper with a darker edge away from the spine and ruled lines.
base::cl_Bitmap32 Page(bool left) {
  base::cl_Bitmap32 image = Canvas(512, 512);
  cl_Painter paint(image);
  paint.VerticalGradient(kPaper, Mix(kPaper, 0xFFB09060u, 0.25f));
  paint.Noise(3.0f, 0.04f);
  for (int x = 0; x < 24; ++x) {
    const int column = left ? x : 511 - x;
    paint.Rect(column, 0, column + 1, 512, Mix(0x00000000u, 0x30301808u, 1.0f - x / 24.0f));
  }
  return image;
}

// The spine's shadow on a page, strongest at the spine.
base::cl_Bitmap32 SpineShadow(bool left) {
  base::cl_Bitmap32 image = Canvas(64, 512);
  cl_Painter paint(image);
  for (int x = 0; x < 64; ++x) {
    const float depth = std::pow(left ? x / 63.0f : 1.0f - x / 63.0f, 2.0f);
    paint.Rect(x, 0, x + 1, 512, static_cast<uint32_t>(depth * 160.0f) << 24 | 0x201008u);
  }
  return image;
}

base::cl_Bitmap32 FoldShadow() {
  base::cl_Bitmap32 image = Canvas(256, 256);
  cl_Painter paint(image);
  for (int x = 0; x < 256; ++x) {
    const float fade = 1.0f - x / 255.0f;
    paint.Rect(x, 0, x + 1, 256, static_cast<uint32_t>(fade * fade * 200.0f) << 24 | 0x100804u);
  }
  return image;
}

base::cl_Bitmap32 Button(int w, int h, uint32_t face, const char* mark) {
  base::cl_Bitmap32 image = Canvas(w, h);
  cl_Painter paint(image);
  paint.Disc(w / 2.0f, h / 2.0f, w / 2.0f - 1, face);
  paint.Ring(w / 2.0f, h / 2.0f, w / 2.0f - 2, 2, kGold);
  Label(image, mark, w / 2, kPaper);
  return image;
}

base::cl_Bitmap32 Bookmark(bool left) {
  base::cl_Bitmap32 image = Canvas(32, 64);
  cl_Painter paint(image);
  const int x0 = left ? 10 : 4;
  paint.Rect(x0, 0, x0 + 18, 52, 0xFFA01818u);
  for (int row = 0; row < 10; ++row) paint.Rect(x0 + row, 52 + row, x0 + 18 - row, 53 + row, 0xFFA01818u);
  return image;
}

// The score's ribbon hangs from the book's edge right of the pages (it is drawn from 13 pixels
// left of the page area's right edge): pressed, it opens the last page, where a press on a page's
// corner would turn that page instead. A gold mark on it tells it from the bookmark.
base::cl_Bitmap32 ScoreRibbon() {
  base::cl_Bitmap32 image = Canvas(32, 64);
  cl_Painter paint(image);
  const int x0 = 15;
  paint.Rect(x0, 0, x0 + 14, 52, 0xFFA01818u);
  for (int row = 0; row < 7; ++row) paint.Rect(x0 + row, 52 + row, x0 + 14 - row, 53 + row, 0xFFA01818u);
  paint.Disc(x0 + 7.0f, 40.0f, 3.5f, kGold);
  return image;
}

base::cl_Bitmap32 Header(uint32_t tint) {
  base::cl_Bitmap32 image = Canvas(256, 64);
  cl_Painter paint(image);
  paint.Rect(8, 8, 248, 56, Mix(tint, 0x00000000u, 0.2f));
  paint.Rect(8, 8, 248, 10, kGold);
  paint.Rect(8, 54, 248, 56, kGold);
  paint.Disc(16, 32, 6, kGold);
  paint.Disc(240, 32, 6, kGold);
  return image;
}

base::cl_Bitmap32 DefaultPicture() {
  base::cl_Bitmap32 image = Canvas(256, 256);
  cl_Painter paint(image);
  paint.VerticalGradient(0xFF2A3A58u, 0xFF7FB7D8u);
  paint.Disc(190, 70, 26, 0xFFF4E6B8u);
  paint.Rect(0, 200, 256, 256, 0xFF23303Fu);
  paint.Rect(60, 170, 200, 200, 0xFF3A2A18u);
  paint.Rect(120, 120, 128, 170, 0xFF3A2A18u);
  Label(image, "The night ferry", 18, kPaper);
  return image;
}

base::cl_Bitmap32 TickBox(bool checked) {
  base::cl_Bitmap32 image = Canvas(16, 16);
  cl_Painter paint(image);
  paint.Rect(1, 1, 15, 15, kInk);
  paint.Rect(3, 3, 13, 13, kPaper);
  if (checked)
    for (int i = 0; i < 8; ++i) paint.Disc(4.0f + i, i < 3 ? 8.0f + i : 10.0f - (i - 2) * 1.2f, 1.2f, 0xFF206020u);
  return image;
}

base::cl_Bitmap32 Tab(const char* caption, uint32_t face) {
  base::cl_Bitmap32 image = Canvas(64, 32);
  cl_Painter paint(image);
  paint.Rect(4, 2, 64, 30, face);
  paint.Rect(4, 2, 6, 30, kGold);
  Label(image, caption, 11, kPaper);
  return image;
}

}  // namespace

bool MakeDiaryPictures(cl_Output& out) {
  bool ok = out.WriteTga("gui/diary/diary_bg.tga", Cover(), false);
  ok = ok && out.WriteTga("gui/diary/diary_page_left.tga", Page(true), true);
  ok = ok && out.WriteTga("gui/diary/diary_page_right.tga", Page(false), true);
  ok = ok && out.WriteTga("gui/diary/diary_page_shadow_left.tga", SpineShadow(true), true);
  ok = ok && out.WriteTga("gui/diary/diary_page_shadow_right.tga", SpineShadow(false), true);
  ok = ok && out.WriteTga("gui/diary/diary_shadow_top.tga", FoldShadow(), true);
  ok = ok && out.WriteTga("gui/diary/diary_close.tga", Button(32, 32, 0xFF802020u, "x"), true);
  ok = ok && out.WriteTga("gui/diary/bm_score.tga", ScoreRibbon(), true);
  ok = ok && out.WriteTga("gui/diary/bookmark_left.tga", Bookmark(true), true);
  ok = ok && out.WriteTga("gui/diary/bookmark_right.tga", Bookmark(false), true);
  ok = ok && out.WriteTga("gui/diary/mission_header.tga", Header(0xFF6A4A28u), true);
  ok = ok && out.WriteTga("gui/diary/chapterend_header.tga", Header(0xFF28406Au), true);
  ok = ok && out.WriteTga("gui/diary/diary_score.tga", Header(0xFF2A5A2Au), true);
  ok = ok && out.WriteTga("gui/diary/diary_pic_default.tga", DefaultPicture(), true);
  ok = ok && out.WriteTga("gui/diary/quest_box.tga", TickBox(false), true);
  ok = ok && out.WriteTga("gui/diary/quest_box_checked.tga", TickBox(true), true);
  // The story's one section, the harbour (the picture keeps the name the savegames know it by).
  ok = ok && out.WriteTga("gui/diary/diary_tab_office.tga", Tab("Harbour", 0xFF6A2A28u), true);
  ok = ok && out.WriteTga("gui/diary/diary_tab_quay.tga", Tab("Quay", 0xFF28406Au), true);
  return ok;
}

}  // namespace demogen
