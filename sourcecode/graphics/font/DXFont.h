// The TrueType font: text drawn and measured, wide and narrow, through the platform's FreeType
// font made from a face name and a cell height. A face that is not a system font comes from the
// private file "gui\fonts\" + face + ".ttf", registered for the process while any font uses it
// (counted by file name). Text boxes align left, right or centred and vertically centred, wrap
// at word boundaries through the font layer, or, with the custom line feed, through the line
// breaker below, which breaks only at blanks and draws line by line. Resource type "DXFont".
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/String.h"
#include "graphics/font/Font.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace gpux {
class Font;
}

namespace gfx {

// Where each line of text starts when it is broken to maxWidth: at line feeds (each one starts a
// line, trailing ones none) and, when a line grows past maxWidth, after the last break character
// of that line. A line that cannot be broken (its first word is too wide) ends the breaking; the
// rest of the text is the last line. maxWidth 0 gives one line.
std::vector<int> BreakTextLines(const char16_t* text, int length, int maxWidth,
                                const std::function<int(char16_t)>& charWidth, const char16_t* breakChars);

class cl_DXFont : public cl_Font, public win32dx9::i_ResetCriticalResource {
 public:
  enum en_Align { ALIGN_LEFT = 0, ALIGN_RIGHT = 1, ALIGN_DEFAULT = 2, ALIGN_CENTER = 4 };

  cl_DXFont();
  ~cl_DXFont() override;  // releases the font object and its private file registration

  // Base attributes, then "file" (the face) and "system" (1: an installed face); true.
  bool Init(base::StaticVariantIterator element) override;
  // Registers the private file unless system, then makes the font object (size, weight by
  // "fat", italic). A failure is logged; the font then draws nothing and measures 0.
  void CreateD3DFont(const char* face, bool system);
  void Refresh() override;

  void OnLost() override;
  void OnRestore() override;

  void DrawTextBoxW(float x, float y, float w, float h, const char16_t* text, uint32_t colour) override;
  void DrawTextW(float x, float y, const char16_t* text, uint32_t colour) override;
  void DrawTextBox(float x, float y, float w, float h, const char* text, uint32_t colour) override;
  void DrawText(float x, float y, const char* text, uint32_t colour) override;

  int GetTextWidthW(const char16_t* text) override;
  int GetTextWidth(const char* text) override;
  int GetWrappedTextHeightW(const char16_t* text, int width) override;
  int GetWrappedTextHeight(const char* text, int width) override;
  base::tVector2<float> GetTextSizeW(const char16_t* text) override;
  base::tVector2<float> GetTextSize(const char* text) override;

  // Base flags, then "alignment", "v_alignment", "word_break", "custom_linefeed".
  void SetProperties(const base::Variant& properties) override;
  base::Variant GetProperties() override;  // element "Properties" with the four attributes

  bool HasFontObject() const { return m_font != nullptr; }
  int GetAlignment() const { return m_align; }
  int GetVAlignment() const { return m_vAlign; }
  bool GetWordBreak() const { return m_wordBreak; }
  bool GetCustomLineFeed() const { return m_customLineFeed; }
  // Lines the own breaker makes of text for width (the count behind the wrapped height).
  std::vector<int> BreakLines(const char16_t* text, int width);

  // How many fonts hold the private file (0 when it is not registered).
  static int GetPrivateFontCount(const char* fileName);

 private:
  int CharWidth(char16_t c);
  int CharHeight(char16_t c);
  void DrawBox(float x, float y, float w, float h, const char16_t* text);
  void DrawBroken(int left, int top, int right, int bottom, const char16_t* text, uint32_t format);
  void ReleasePrivateFile();

  gpux::Font* m_font = nullptr;
  base::tString<base::BaseString> m_fileName;  // the registered private file, or empty
  int m_align = ALIGN_LEFT;
  int m_vAlign = ALIGN_DEFAULT;
  bool m_wordBreak = true;
  bool m_customLineFeed = false;
  base::tString<base::BaseUnicodeString> m_breakChars;
};

}  // namespace gfx
