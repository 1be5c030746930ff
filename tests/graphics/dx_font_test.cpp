// The TrueType font over the installed DejaVu faces: the own line breaker on its own (a fixed
// character width), box alignments and wrapping drawn against goldens, the calculate-only sizes,
// the property Variant and the counted private-font registry.
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "GraphicsFixture.h"
#include "../base/test_support.h"
#include "graphics/font/DXFont.h"
#include "graphics/gfx.h"

namespace gfxtest {
namespace {

TEST(LineBreaker, BreaksAtBlanksAndLineFeedsAndStopsAtAnUnbreakableWord) {
  const auto width10 = [](char16_t) { return 10; };
  struct st_Case {
    const char16_t* text;
    int maxWidth;
    std::vector<int> starts;
  } cases[] = {
      {u"aa bb cc", 50, {0, 6}},            // "aa bb" fits exactly, the blank after it does not
      {u"aa bb cc", 30, {0, 3, 6}},
      {u"abcdefgh ij", 30, {0}},            // the first word is too wide: one line
      {u"a\n\nb", 100, {0, 2, 3}},          // two line feeds: an empty line between
      {u"a\n", 100, {0}},                   // a trailing line feed starts no line
      {u"aa bb", 0, {0}},                   // no width: one line
      {u"a b\ncccccc", 30, {0, 4}},         // the search never reaches back before a line feed
      {u"", 10, {0}},
  };
  for (const st_Case& c : cases) {
    const int length = static_cast<int>(std::char_traits<char16_t>::length(c.text));
    EXPECT_EQ(gfx::BreakTextLines(c.text, length, c.maxWidth, width10, u" "), c.starts)
        << std::string(c.text, c.text + length) << " / " << c.maxWidth;
  }
}

class DXFontDraw : public GraphicsTest {
 protected:
  std::unique_ptr<gfx::cl_DXFont> MakeFont(const char* face, int size, bool system = true) {
    auto font = std::make_unique<gfx::cl_DXFont>();
    font->SetSize(static_cast<float>(size));
    font->CreateD3DFont(face, system);
    return font;
  }
  // Leftmost and rightmost lit columns in rows y0 … y1 − 1 (−1 when nothing is lit).
  std::pair<int, int> LitColumns(int y0, int y1) {
    int lo = -1, hi = -1;
    for (int x = 0; x < kWidth; ++x)
      for (int y = y0; y < y1; ++y)
        if ((Pixel(x, y) & 0xFF) > 0x60) {
          if (lo < 0) lo = x;
          hi = x;
          break;
        }
    return {lo, hi};
  }
  int LitRows(int x0, int x1) {
    int rows = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = x0; x < x1; ++x)
        if ((Pixel(x, y) & 0xFF) > 0x60) {
          ++rows;
          break;
        }
    return rows;
  }
  void SetProperty(gfx::cl_Font& font, const char* name, const char* value) {
    base::Variant properties;
    properties.set_element("Properties");
    properties.attribute(name)->set_string(value);
    font.SetProperties(properties);
  }
};

TEST_F(DXFontDraw, BoxesAlignLeftRightAndCentre) {
  auto font = MakeFont("DejaVu Sans", 14);
  ASSERT_TRUE(font->HasFontObject());
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000u);
  gfx::Begin2D();
  font->DrawTextBoxW(0, 0, 64, 16, u"ab", 0xFFFFFFFFu);
  SetProperty(*font, "alignment", "Right");
  font->DrawTextBoxW(0, 16, 64, 16, u"ab", 0xFFFFFFFFu);
  SetProperty(*font, "alignment", "CENTER");
  font->DrawTextBoxW(0, 32, 64, 16, u"ab", 0xFFFFFFFFu);
  const auto left = LitColumns(0, 16), right = LitColumns(16, 32), centre = LitColumns(32, 48);
  EXPECT_LE(left.first, 2);
  EXPECT_GE(right.second, 60);
  EXPECT_NEAR((centre.first + centre.second) / 2.0, 32.0, 2.0);
  EXPECT_NEAR(right.second - right.first, left.second - left.first, 1);
  EXPECT_TRUE(MatchesGolden("dxfont_alignments"));
  EndFrame();
}

TEST_F(DXFontDraw, WordBreakAndTheOwnBreakerWrapTheSameWords) {
  auto font = MakeFont("DejaVu Serif", 12);
  ASSERT_TRUE(font->HasFontObject());
  const int oneLine = font->GetWrappedTextHeightW(u"ab cd", 0);  // width 0: no breaking
  const int twoWords = font->GetTextWidthW(u"ab cd");
  EXPECT_EQ(font->GetWrappedTextHeightW(u"ab cd", twoWords / 2 + 2), 2 * oneLine);
  SetProperty(*font, "custom_linefeed", "1");
  EXPECT_EQ(font->BreakLines(u"ab cd", twoWords / 2 + 2), (std::vector<int>{0, 3}));
  ASSERT_TRUE(BeginFrame());
  gfx::ClearScreen(0xFF000000u);
  gfx::Begin2D();
  font->DrawTextBoxW(2, 2, static_cast<float>(twoWords / 2 + 2), 40, u"ab cd", 0xFFFFFFFFu);
  SetProperty(*font, "custom_linefeed", "0");
  font->DrawTextBoxW(34, 2, static_cast<float>(twoWords / 2 + 2), 40, u"ab cd", 0xFFFFFFFFu);
  // Both halves show two lines of the same height.
  EXPECT_EQ(LitRows(0, 32), LitRows(32, 64));
  EXPECT_GT(LitRows(0, 32), oneLine);
  EXPECT_TRUE(MatchesGolden("dxfont_wrapped"));
  EndFrame();
}

TEST_F(DXFontDraw, CalcRectSizesAndWithoutAFontObjectZero) {
  auto font = MakeFont("DejaVu Sans", 16);
  ASSERT_TRUE(font->HasFontObject());
  const int w = font->GetTextWidthW(u"Hello");
  EXPECT_GT(w, 20);
  EXPECT_EQ(font->GetTextWidth("Hello"), w);
  EXPECT_EQ(font->GetTextWidthW(u"Hello\nHe"), w);  // the widest line
  EXPECT_EQ(font->GetWrappedTextHeightW(u"Hello", 0), 16);
  EXPECT_EQ(font->GetWrappedTextHeightW(u"Hello\nHe", 0), 32);
  const base::tVector2<float> size = font->GetTextSizeW(u"Hello");
  EXPECT_EQ(size.x, static_cast<float>(w));
  EXPECT_EQ(size.y, 16.0f);
  // A narrow text in UTF-8 (a typed label) measures as its characters; Latin-1 data as before.
  EXPECT_EQ(font->GetTextWidth("T\xC3\xBCr \xC3\x9F"), font->GetTextWidthW(u"T\u00FCr \u00DF"));
  EXPECT_EQ(font->GetTextWidth("T\xFCr"), font->GetTextWidthW(u"T\u00FCr"));
  gfx::cl_DXFont empty;  // no face: draws nothing and measures 0
  EXPECT_EQ(empty.GetTextWidthW(u"Hello"), 0);
  EXPECT_EQ(empty.GetTextSize("Hello").x, 0.0f);
}

TEST_F(DXFontDraw, PropertiesReadCaseInsensitivelyAndComeBackAsAnElement) {
  gfx::cl_DXFont font;
  SetProperty(font, "alignment", "CENTER");
  EXPECT_EQ(font.GetAlignment(), gfx::cl_DXFont::ALIGN_CENTER);
  SetProperty(font, "alignment", "middle");  // unknown: unchanged
  EXPECT_EQ(font.GetAlignment(), gfx::cl_DXFont::ALIGN_CENTER);
  SetProperty(font, "v_alignment", "Center");
  EXPECT_EQ(font.GetVAlignment(), gfx::cl_DXFont::ALIGN_CENTER);
  SetProperty(font, "v_alignment", "middle");  // unknown: the default
  EXPECT_EQ(font.GetVAlignment(), gfx::cl_DXFont::ALIGN_DEFAULT);
  SetProperty(font, "word_break", "0");
  SetProperty(font, "italic", "1");
  EXPECT_FALSE(font.GetWordBreak());
  EXPECT_TRUE(font.IsItalic());
  const base::Variant properties = font.GetProperties();
  base::tString<base::BaseString> text;
  int value = -1;
  ASSERT_TRUE(properties.get_attribute_string("alignment", text));
  EXPECT_EQ(text, "center");
  ASSERT_TRUE(properties.get_attribute_string("v_alignment", text));
  EXPECT_EQ(text, "default");
  ASSERT_TRUE(properties.get_attribute_int("word_break", value));
  EXPECT_EQ(value, 0);
}

TEST_F(DXFontDraw, PrivateFontFilesAreCountedByName) {
  namespace fs = std::filesystem;
  fs::create_directories(m_dir / "gui" / "Fonts");
  fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", m_dir / "gui" / "Fonts" / "dejavu serif.ttf");
  const fs::path previous = fs::current_path();
  fs::current_path(m_dir);
  const char* file = "gui\\fonts\\DejaVu Serif.ttf";
  {
    auto first = MakeFont("DejaVu Serif", 12, false);
    EXPECT_TRUE(first->HasFontObject());
    EXPECT_EQ(gfx::cl_DXFont::GetPrivateFontCount(file), 1);
    {
      auto second = MakeFont("DejaVu Serif", 20, false);
      EXPECT_EQ(gfx::cl_DXFont::GetPrivateFontCount(file), 2);
    }
    EXPECT_EQ(gfx::cl_DXFont::GetPrivateFontCount(file), 1);
  }
  EXPECT_EQ(gfx::cl_DXFont::GetPrivateFontCount(file), 0);
  testsupport::LogCapture log;
  auto missing = MakeFont("No Such Face", 12, false);  // not counted; the layer falls back
  EXPECT_EQ(gfx::cl_DXFont::GetPrivateFontCount("gui\\fonts\\No Such Face.ttf"), 0);
  EXPECT_TRUE(log.contains("not registered"));
  EXPECT_TRUE(missing->HasFontObject());
  fs::current_path(previous);
}

}  // namespace
}  // namespace gfxtest
