// A bitmap font cut out of one picture, the glyph sheet: rows of glyphs, each row led by a
// one-pixel marker column whose height is the row's height; glyphs are runs of columns with a
// visible pixel in the row's band, given to the characters of five fixed Windows-1252 lists.
// Draws and measures narrow text only, as screen quads through a small dynamic vertex buffer of
// its own. Resource type "TextureFont". Main thread only.
#pragma once

#include <cstdint>

#include "base/Imaging.h"
#include "graphics/font/Font.h"

namespace gpu {
class Texture;
class VertexBuffer;
}  // namespace gpu

namespace gfx {

// What the scan of a glyph sheet finds: texture coordinates per byte value (left, top, right,
// bottom as fractions of the sheet), the mean glyph width and the tallest row.
struct st_GlyphSheet {
  float glyphs[256][4] = {};
  float spaceWidth = 0.0f;
  float lineHeight = 1.0f;
  int glyphCount = 0;
  int width = 256, height = 256;
};

// Scans a sheet whose transparent pixels have alpha 0. At most the five rows of the character
// lists are read; a glyph past the end of its row's list goes to byte 0 (never drawn). A sheet
// without glyphs gets a space width of a third of the line height.
void ScanGlyphSheet(const base::cl_Bitmap32& sheet, st_GlyphSheet& out);

class cl_TextureFont : public cl_Font {
 public:
  static constexpr int kBufferVertices = 300;  // 50 glyphs per draw call

  cl_TextureFont();
  ~cl_TextureFont() override;

  // "file" (the sheet) and "spacing"; white, size 1. True even when the sheet cannot be read.
  bool Init(base::StaticVariantIterator element) override;
  // The same from a Variant; false (nothing changed) without "file".
  bool Load(uint32_t reserved, const base::Variant& element) override;

  // Loads the sheet file (opaque black becomes transparent) and scans it. False, with the font
  // left invalid, when the file cannot be made into a texture.
  bool BuildFromSheet(const char* path);
  // The same from a bitmap already in memory (tests, tools).
  bool BuildFromBitmap(const base::cl_Bitmap32& sheet);

  // Pen starts at (x, y); a line feed returns to x truncated, one line height lower; a tab
  // advances 120 pixels, a blank the mean glyph width less 3. Colour restored afterwards.
  void DrawText(float x, float y, const char* text, uint32_t colour) override;
  int GetTextWidth(const char* text) override;                 // the widest line; 0 for null
  base::tVector2<float> GetTextSize(const char* text) override;  // (widest line, lines × line height)

  bool IsValid() const { return !m_invalid; }
  const st_GlyphSheet& GetSheet() const { return m_sheet; }
  // Draw calls made by the last DrawText (the batching test reads it).
  int GetLastDrawCalls() const { return m_lastDrawCalls; }

 private:
  bool Adopt(gpu::Texture* texture);  // scans the texture and makes the vertex buffer
  void ReadSettings(const char* file, int spacing);
  float GlyphAdvance(unsigned char c) const;

  bool m_invalid = true;
  gpu::Texture* m_sheetTexture = nullptr;
  gpu::VertexBuffer* m_vertexBuffer = nullptr;
  st_GlyphSheet m_sheet;
  int m_lastDrawCalls = 0;
};

}  // namespace gfx
