// Text laid out on a book page: characters measured one by one in the font "diary" (with its own
// line feeds), lines broken at the last blank, or inside a word that is wider than the box, and a
// page that is full after as many lines as fit its height. The result carries explicit line
// feeds, so drawing it with the font's own line breaker gives the same lines. Main thread only.
#pragma once

#include <string>
#include <unordered_map>

#include "base/String.h"
#include "base/data/Variant.h"

namespace gfx {
class cl_Font;
}

// Character widths and the line height of the font "diary" with "custom_linefeed" = 1, cached
// per character. Without the font (a tool, a fuzz run) every character is kFallbackWidth wide
// and a line kFallbackLineHeight high, so that pages still break the same way everywhere.
class cl_PageTextMetrics {
 public:
  static constexpr int kFallbackWidth = 8;
  static constexpr int kFallbackLineHeight = 20;

  cl_PageTextMetrics();  // makes "diary" current with "custom_linefeed" = 1 when it exists
  ~cl_PageTextMetrics();  // the previous font and its properties again
  cl_PageTextMetrics(const cl_PageTextMetrics&) = delete;
  cl_PageTextMetrics& operator=(const cl_PageTextMetrics&) = delete;

  int CharWidth(char16_t c);
  int LineHeight() const { return m_lineHeight; }  // at least 1

 private:
  gfx::cl_Font* m_font = nullptr;
  gfx::cl_Font* m_previous = nullptr;  // the font current before
  base::Variant m_previousProperties;
  int m_lineHeight = kFallbackLineHeight;
  std::unordered_map<char16_t, int> m_widths;
};

struct st_PageLines {
  std::u16string text;  // the page's part, a line feed at each break
  int end = 0;          // one past the page's last character in the source
  int next = 0;         // where the next page begins (past a blank or line feed at the break)
  int lines = 0;        // lines used
};

// Lays out source from start into a box boxWidth wide holding maxLines lines (at least one). A
// line takes at least one character, so a page always moves on (next > start while text is left).
st_PageLines LayoutPageText(const std::u16string& source, int start, int boxWidth, int maxLines,
                            cl_PageTextMetrics& metrics);

// The entry's texts joined: "text0", then "text1" up to the number in "text_cnt" (absent: 0),
// each localised, a blank between two where neither brings one; texts that are missing, and a
// text key met before, are skipped. Quests and entries share this.
std::u16string JoinEntryTexts(const base::Variant& entry);

// The localised text of a text or text key, as a UTF-16 string.
std::u16string LocalizeKey(const char* key);
