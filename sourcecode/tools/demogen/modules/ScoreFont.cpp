// The glyph sheet of the "score" font (gui/fonts/score.tga), laid out the way the glyph-sheet
// font reads it: per row a one-pixel marker column as tall as the row, then the row's
// characters left to right, each in a cell one transparent column apart. A cell's background
// has alpha 1 (invisible, but it keeps glyphs made of separate strokes, such as '"', in one
// run of columns). Glyphs are DejaVu Sans Bold through FreeType, gold with a darker foot.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

constexpr int kSheetWidth = 512, kSheetHeight = 256;
constexpr int kPixelSize = 19;
constexpr uint32_t kCellBackground = 0x01000000u;
constexpr uint32_t kMarker = 0xFFFFFFFFu;
const char* const kFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// The five rows, in the glyph-sheet font's order (Windows-1252 = Latin-1 for these).
const unsigned char* const kRows[] = {
    reinterpret_cast<const unsigned char*>("abcdefghijklmnopqrstuvwxyz\xE4\xF6\xFC"),
    reinterpret_cast<const unsigned char*>("ABCDEFGHIJKLMNOPQRSTUVWXYZ\xC4\xD6\xDC"),
    reinterpret_cast<const unsigned char*>("0123456789"),
    reinterpret_cast<const unsigned char*>(",.-;:_#'+*<>"),
    reinterpret_cast<const unsigned char*>("!\"\xA7$%&/()=?[]{}\\"),
};

}  // namespace

bool MakeScoreFont(cl_Output& out) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, kFace, 0, &face) != 0 ||
      FT_Set_Pixel_Sizes(face, 0, kPixelSize) != 0) {
    std::fprintf(stderr, "demogen: cannot open %s\n", kFace);
    if (library) FT_Done_FreeType(library);
    return false;
  }
  const int ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  const int rowHeight = ascent + static_cast<int>((-face->size->metrics.descender + 63) >> 6);
  base::cl_Bitmap32 sheet;
  sheet.Create(kSheetWidth, kSheetHeight);
  cl_Painter paint(sheet);
  paint.Fill(0);
  bool fits = true;
  int y = 1;
  for (const unsigned char* row : kRows) {
    for (int j = 0; j < rowHeight; ++j) *sheet.Pixel(0, y + j) = base::Color32(kMarker);
    int x = 2;
    for (const unsigned char* p = row; *p; ++p) {
      if (FT_Load_Char(face, *p, FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot g = face->glyph;
      const int advance = static_cast<int>((g->advance.x + 63) >> 6);
      // A glyph reaching left of its pen ('j') is moved right, or it would touch its neighbour
      // and the two would read as one glyph.
      const int lead = std::max(0, -g->bitmap_left);
      const int cell = std::max({advance + lead, lead + g->bitmap_left + static_cast<int>(g->bitmap.width), 2});
      if (x + cell >= kSheetWidth || y + rowHeight >= kSheetHeight) {
        fits = false;
        break;
      }
      paint.Rect(x, y, x + cell, y + rowHeight, kCellBackground);
      for (unsigned by = 0; by < g->bitmap.rows; ++by)
        for (unsigned bx = 0; bx < g->bitmap.width; ++bx) {
          const unsigned char coverage = g->bitmap.buffer[by * static_cast<unsigned>(g->bitmap.pitch) + bx];
          const int py = y + ascent - g->bitmap_top + static_cast<int>(by);
          const uint32_t colour = Mix(0xFFFFE07Au, 0xFFC07A18u, static_cast<float>(py - y) / rowHeight);
          if (coverage > 0) paint.Blend(x + lead + g->bitmap_left + static_cast<int>(bx), py, colour, coverage / 255.0f);
        }
      x += cell + 1;
    }
    y += rowHeight + 2;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  if (!fits) {
    std::fprintf(stderr, "demogen: the score glyphs do not fit a %d x %d sheet\n", kSheetWidth, kSheetHeight);
    return false;
  }
  return out.WriteTga("gui/fonts/score.tga", sheet, true);
}

}  // namespace demogen
