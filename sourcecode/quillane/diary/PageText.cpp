#include "quillane/diary/PageText.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "quillane/text/Localised.h"

cl_PageTextMetrics::cl_PageTextMetrics() {
  m_font = gfx::FontExists("diary");
  if (!m_font) return;
  m_previous = gfx::GetFont();
  if (m_previous) m_previousProperties = m_previous->GetProperties();
  gfx::SetFont(m_font);
  base::Variant properties = m_font->GetProperties();
  if (!properties.is_element()) properties.set_element("props");
  properties.attribute("custom_linefeed")->set_int(1);
  m_font->SetProperties(properties);
  const char16_t probe[] = u"A";
  const int height = m_font->GetWrappedTextHeightW(probe, 0);
  // A font that measures nothing (no font object) would put endless lines on a page.
  if (height > 0 && m_font->GetTextWidthW(probe) > 0) {
    m_lineHeight = height;
  } else {
    m_font = nullptr;
  }
}

cl_PageTextMetrics::~cl_PageTextMetrics() {
  if (!m_previous) return;
  if (m_previousProperties.is_element()) m_previous->SetProperties(m_previousProperties);
  gfx::SetFont(m_previous);
}

int cl_PageTextMetrics::CharWidth(char16_t c) {
  if (!m_font) return kFallbackWidth;
  auto found = m_widths.find(c);
  if (found != m_widths.end()) return found->second;
  const char16_t one[2] = {c, 0};
  const int width = std::max(0, m_font->GetTextWidthW(one));
  m_widths.emplace(c, width);
  return width;
}

st_PageLines LayoutPageText(const std::u16string& source, int start, int boxWidth, int maxLines,
                            cl_PageTextMetrics& metrics) {
  st_PageLines page;
  const int length = static_cast<int>(source.size());
  start = std::clamp(start, 0, length);
  maxLines = std::max(maxLines, 1);
  int lineStart = start, width = 0, lastBlank = -1;
  for (int i = start; i < length;) {
    const char16_t c = source[static_cast<size_t>(i)];
    int breakEnd = -1, nextStart = -1;
    if (c == u'\n') {
      breakEnd = i, nextStart = i + 1;
    } else {
      const int w = metrics.CharWidth(c);
      if (width + w > boxWidth && i > lineStart) {
        // At the last blank of the line; a line without one (a word wider than the box) breaks
        // in the word, so that the layout always moves on.
        if (lastBlank > lineStart) breakEnd = lastBlank, nextStart = lastBlank + 1;
        else breakEnd = i, nextStart = i;
      } else {
        if (c == u' ') lastBlank = i;
        width += w;
        ++i;
        continue;
      }
    }
    page.text.append(source, static_cast<size_t>(lineStart), static_cast<size_t>(breakEnd - lineStart));
    if (++page.lines >= maxLines) {
      page.end = breakEnd, page.next = nextStart;
      return page;
    }
    page.text += u'\n';
    lineStart = i = nextStart;
    width = 0, lastBlank = -1;
  }
  page.text.append(source, static_cast<size_t>(lineStart), std::u16string::npos);
  if (lineStart < length || page.lines == 0) ++page.lines;
  page.end = page.next = length;
  return page;
}

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\n' || c == u'\t'; }

}  // namespace

std::u16string JoinEntryTexts(const base::Variant& entry) {
  std::u16string joined;
  int count = 0;
  entry.get_attribute_int("text_cnt", count);
  // "textN" needs an attribute of its own, so a count beyond the attributes names nothing more.
  count = std::clamp(count, 0, entry.attribute_cnt());
  std::vector<std::string> keys;
  for (int n = 0; n <= count; ++n) {
    char name[24];
    std::snprintf(name, sizeof name, "text%d", n);
    base::tString<base::BaseString> key;
    if (!entry.get_attribute_string(name, key) || key.empty()) continue;
    // Savegames from before appending kept each sentence once may hold one several times.
    if (std::find(keys.begin(), keys.end(), key.c_str()) != keys.end()) continue;
    keys.emplace_back(key.c_str());
    const std::u16string text = LocalizeKey(key.c_str());
    // Sentences are written without the blank between them.
    if (!joined.empty() && !text.empty() && !IsBlank(joined.back()) && !IsBlank(text.front())) joined += u' ';
    joined += text;
  }
  return joined;
}

std::u16string LocalizeKey(const char* key) {
  const base::tString<base::BaseUnicodeString> text = Localised(key);
  return std::u16string(text.c_str(), static_cast<size_t>(text.size()));
}
