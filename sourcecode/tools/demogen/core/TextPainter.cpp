#include "core/TextPainter.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>

#include "core/Painter.h"

namespace demogen {

namespace {
int PixelAdvance(FT_GlyphSlot glyph) { return static_cast<int>((glyph->advance.x + 63) >> 6); }
}  // namespace

cl_TextPainter::cl_TextPainter(const char* fontFile, int pixelSize) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, fontFile, 0, &face) != 0 ||
      FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
    std::fprintf(stderr, "demogen: cannot open %s\n", fontFile);
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
    return;
  }
  m_library = library;
  m_face = face;
}

cl_TextPainter::~cl_TextPainter() {
  if (m_face) FT_Done_Face(m_face);
  if (m_library) FT_Done_FreeType(m_library);
}

int cl_TextPainter::Width(const char* text) const {
  int width = 0;
  for (const char* p = text; m_face && *p; ++p)
    if (FT_Load_Char(m_face, static_cast<unsigned char>(*p), FT_LOAD_DEFAULT) == 0) width += PixelAdvance(m_face->glyph);
  return width;
}

int cl_TextPainter::Ascent() const { return m_face ? static_cast<int>(m_face->size->metrics.ascender >> 6) : 0; }

int cl_TextPainter::LineHeight() const {
  return m_face ? Ascent() + static_cast<int>(-m_face->size->metrics.descender >> 6) : 0;
}

void cl_TextPainter::Draw(base::cl_Bitmap32& canvas, int x, int baseline, const char* text, uint32_t colour) const {
  cl_Painter paint(canvas);
  for (const char* p = text; m_face && *p; ++p) {
    if (FT_Load_Char(m_face, static_cast<unsigned char>(*p), FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = m_face->glyph;
    for (unsigned by = 0; by < g->bitmap.rows; ++by)
      for (unsigned bx = 0; bx < g->bitmap.width; ++bx) {
        const unsigned char coverage = g->bitmap.buffer[by * static_cast<unsigned>(g->bitmap.pitch) + bx];
        if (coverage > 0)
          paint.Blend(x + g->bitmap_left + static_cast<int>(bx), baseline - g->bitmap_top + static_cast<int>(by), colour,
                      coverage / 255.0f);
      }
    x += PixelAdvance(g);
  }
}

}  // namespace demogen
