// The glyph-sheet font on sheets generated here: the scan (five rows of known widths, a sixth
// row ignored, an empty sheet), measuring, the pen's line feed back to the truncated start, the
// italic slant and the batching of 50 glyphs per draw call.
#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "base/Imaging.h"
#include "graphics/font/TextureFont.h"
#include "graphics/gfx.h"

namespace gfxtest {
namespace {

constexpr int kRowHeight = 8;

// A sheet with one marker column per row and white glyph blocks of the given widths, one
// transparent column apart; rows one line apart. Opaque black marks nothing.
base::cl_Bitmap32 MakeSheet(const std::vector<std::vector<int>>& rows, int width = 128, int height = 64) {
  base::cl_Bitmap32 sheet;
  sheet.Create(width, height);
  for (int i = 0; i < sheet.NumPixels(); ++i) sheet.GetPixels()[i] = base::Color32(0xFF000000u);
  int y = 1;
  for (const std::vector<int>& widths : rows) {
    for (int j = 0; j < kRowHeight; ++j) *sheet.Pixel(0, y + j) = base::Color32(0xFFFFFFFFu);
    int x = 2;
    for (int w : widths) {
      for (int j = 0; j < kRowHeight; ++j)
        for (int i = 0; i < w; ++i) *sheet.Pixel(x + i, y + j) = base::Color32(0xFFFFFFFFu);
      x += w + 1;
    }
    y += kRowHeight + 1;
  }
  return sheet;
}

// Glyph width in pixels from the table, as the font measures it.
int GlyphWidth(const gfx::st_GlyphSheet& sheet, unsigned char c) {
  return static_cast<int>((sheet.glyphs[c][2] - sheet.glyphs[c][0]) * sheet.width + 0.5f);
}

const std::vector<std::vector<int>> kFiveRows = {{3, 4, 5, 6}, {2, 2}, {5}, {1, 2}, {7}};

TEST(GlyphSheetScan, FiveRowsGiveTheirListsAndASixthIsIgnored) {
  struct st_Case {
    std::vector<std::vector<int>> rows;
    int glyphs;
  } cases[] = {{kFiveRows, 10}, {[] { auto r = kFiveRows; r.push_back({9, 9}); return r; }(), 10}};
  for (const st_Case& c : cases) {
    base::cl_Bitmap32 bitmap = MakeSheet(c.rows);
    for (int i = 0; i < bitmap.NumPixels(); ++i)  // the colour key, as loading applies it
      if (bitmap.GetPixels()[i].value() == 0xFF000000u) bitmap.GetPixels()[i] = base::Color32();
    gfx::st_GlyphSheet sheet;
    gfx::ScanGlyphSheet(bitmap, sheet);
    EXPECT_EQ(sheet.glyphCount, c.glyphs);
    EXPECT_EQ(sheet.lineHeight, kRowHeight);
    EXPECT_EQ(GlyphWidth(sheet, 'a'), 3);
    EXPECT_EQ(GlyphWidth(sheet, 'd'), 6);
    EXPECT_EQ(GlyphWidth(sheet, 'B'), 2);
    EXPECT_EQ(GlyphWidth(sheet, '0'), 5);
    EXPECT_EQ(GlyphWidth(sheet, '.'), 2);
    EXPECT_EQ(GlyphWidth(sheet, '!'), 7);
    EXPECT_EQ(GlyphWidth(sheet, 'e'), 0);
    EXPECT_FLOAT_EQ(sheet.spaceWidth, 37.0f / 10.0f);
    EXPECT_FLOAT_EQ(sheet.glyphs[static_cast<unsigned char>('a')][1], 1.0f / 64.0f);  // first row's top line
  }
  // A row with more glyphs than its list gives the extra ones to byte 0.
  base::cl_Bitmap32 numbers = MakeSheet({{1}, {1}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 4}});
  for (int i = 0; i < numbers.NumPixels(); ++i)
    if (numbers.GetPixels()[i].value() == 0xFF000000u) numbers.GetPixels()[i] = base::Color32();
  gfx::st_GlyphSheet sheet;
  gfx::ScanGlyphSheet(numbers, sheet);
  EXPECT_EQ(GlyphWidth(sheet, 0), 4);
}

TEST(GlyphSheetScan, EmptySheetHasNoGlyphsAndADefinedSpace) {
  base::cl_Bitmap32 empty;
  empty.Create(32, 32);
  for (int i = 0; i < empty.NumPixels(); ++i) empty.GetPixels()[i] = base::Color32();
  gfx::st_GlyphSheet sheet;
  gfx::ScanGlyphSheet(empty, sheet);
  EXPECT_EQ(sheet.glyphCount, 0);
  EXPECT_EQ(sheet.lineHeight, 1.0f);
  EXPECT_FLOAT_EQ(sheet.spaceWidth, 1.0f / 3.0f);
  gfx::ScanGlyphSheet(base::cl_Bitmap32(), sheet);
  EXPECT_EQ(sheet.glyphCount, 0);
}

class TextureFontDraw : public GraphicsTest {
 protected:
  bool Lit(int x, int y) { return (Pixel(x, y) & 0xFF0000u) > 0x800000u; }
};

TEST_F(TextureFontDraw, MeasuresAsThePenAdvances) {
  gfx::cl_TextureFont font;
  ASSERT_TRUE(font.BuildFromBitmap(MakeSheet(kFiveRows)));
  font.SetSpacing(1);
  // Advance = spacing + (glyph width − 1).
  EXPECT_EQ(font.GetTextWidth("ab"), (1 + 2) + (1 + 3));
  EXPECT_EQ(font.GetTextWidth("ab\nd"), 7);
  EXPECT_EQ(font.GetTextWidth("a\tb"), static_cast<int>(3 + 120 + 4));
  EXPECT_EQ(font.GetTextWidth("a b"), static_cast<int>(3 + (3.7f - 3.0f) + 4));
  EXPECT_EQ(font.GetTextWidth("\x01\x02\x1F"), 0);
  EXPECT_EQ(font.GetTextWidth(nullptr), 0);
  const base::tVector2<float> size = font.GetTextSize("ab\ncd");
  EXPECT_EQ(size.x, 11.0f);  // "cd" is the wider line
  EXPECT_EQ(size.y, 2.0f * kRowHeight);
  EXPECT_EQ(font.GetTextSize("").y, kRowHeight);
  EXPECT_EQ(font.GetTextWidthW(u"ab"), -1);  // wide text is not this kind's
}

TEST_F(TextureFontDraw, LineFeedReturnsToTheTruncatedStart) {
  gfx::cl_TextureFont font;
  ASSERT_TRUE(font.BuildFromBitmap(MakeSheet(kFiveRows)));
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000u);
  gfx::Begin2D();
  font.DrawText(10.7f, 20.0f, "ab\ncd", 0xFFFF0000u);
  // First line from 10.7: pixel 10 is left of it, pixel 11 inside 'a'.
  EXPECT_FALSE(Lit(10, 23));
  EXPECT_TRUE(Lit(11, 23));
  // Second line from x = 10, one line height lower.
  EXPECT_TRUE(Lit(10, 20 + kRowHeight + 3));
  EXPECT_FALSE(Lit(9, 20 + kRowHeight + 3));
  EXPECT_FALSE(Lit(10, 20 + 2 * kRowHeight + 1));
  EXPECT_EQ(font.GetColor(), 0xFFFFFFFFu);  // the colour is restored
  EndFrame();
}

TEST_F(TextureFontDraw, ItalicShiftsTheTopAndFiftyGlyphsFitOneCall) {
  gfx::cl_TextureFont font;
  ASSERT_TRUE(font.BuildFromBitmap(MakeSheet(kFiveRows)));
  font.SetItalic(true);
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000u);
  gfx::Begin2D();
  font.DrawText(20.0f, 10.0f, "d", 0xFFFF0000u);
  EXPECT_TRUE(Lit(24, 10));   // the top edge starts 4 pixels right
  EXPECT_FALSE(Lit(20, 10));
  EXPECT_TRUE(Lit(21, 17));   // the bottom edge does not move
  EXPECT_EQ(font.GetLastDrawCalls(), 1);
  font.DrawText(0.0f, 30.0f, std::string(50, 'a').c_str(), 0xFFFF0000u);
  EXPECT_EQ(font.GetLastDrawCalls(), 1);
  font.DrawText(0.0f, 30.0f, std::string(51, 'a').c_str(), 0xFFFF0000u);
  EXPECT_EQ(font.GetLastDrawCalls(), 2);
  EndFrame();
}

TEST_F(TextureFontDraw, MissingSheetLeavesAnInvalidFontThatStillMeasures) {
  gfx::cl_TextureFont font;
  EXPECT_FALSE(font.BuildFromSheet(Path("no_such_sheet.tga").c_str()));
  EXPECT_FALSE(font.IsValid());
  EXPECT_EQ(font.GetTextWidth("ab"), 0);  // empty table: spacing − 1 per glyph, truncated
  ASSERT_TRUE(BeginFrame());
  font.DrawText(0, 0, "ab", 0xFFFFFFFFu);
  EXPECT_EQ(font.GetLastDrawCalls(), 0);
  EndFrame();
}

}  // namespace
}  // namespace gfxtest
