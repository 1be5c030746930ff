// The TrueType font: creation with the private-file registry, box drawing, the own line breaker,
// measuring and the property Variant.
#include "graphics/font/DXFont.h"

#include <cmath>
#include <map>
#include <string>

#include "base/system.h"
#include "base/text/Textsystem.h"
#include "platform/gpux/Font.h"
#include "platform/os/Path.h"

namespace gfx {

namespace {

constexpr int kWeightNormal = 400, kWeightFat = 700;

// Private font files by name, with the number of fonts using each.
std::map<base::tString<base::BaseString>, int>& Registry() {
  static std::map<base::tString<base::BaseString>, int> registry;
  return registry;
}

int Length(const char16_t* text) { return static_cast<int>(std::char_traits<char16_t>::length(text)); }

// Narrow texts as the text system reads them: typed names and editor labels are UTF-8.
base::tString<base::BaseUnicodeString> Widen(const char* text) {
  base::tString<base::BaseUnicodeString> wide;
  base::DecodeNarrowText(text, base::str::len(text), wide);
  return wide;
}

bool IsBreakChar(char16_t c, const char16_t* breakChars) {
  for (const char16_t* p = breakChars; p && *p; ++p)
    if (*p == c) return true;
  return false;
}

}  // namespace

std::vector<int> BreakTextLines(const char16_t* text, int length, int maxWidth,
                                const std::function<int(char16_t)>& charWidth, const char16_t* breakChars) {
  std::vector<int> lines{0};
  if (!text || maxWidth == 0) return lines;
  int lineStart = 0, width = 0, pending = 0;
  for (int i = 0; i < length;) {
    const char16_t c = text[i];
    if (c == u'\n') {
      ++pending, ++i;
      continue;
    }
    if (pending > 0) {
      for (int k = pending - 1; k >= 0; --k) lines.push_back(i - k);
      lineStart = i, pending = 0, width = 0;
      continue;
    }
    width += charWidth(c);
    if (width <= maxWidth) {
      ++i;
      continue;
    }
    if (i == 0) break;
    // The search stays inside the current line: past a line feed it would find a blank of an
    // earlier line and walk backwards for ever.
    int j = i;
    while (j > lineStart && j > 0 && !IsBreakChar(text[j], breakChars)) --j;
    if (j == 0 || !IsBreakChar(text[j], breakChars)) break;
    const int next = j + 1;
    if (next <= lineStart) break;
    lines.push_back(next);
    lineStart = next, width = 0, i = next;
  }
  return lines;
}

// ---- Life cycle

cl_DXFont::cl_DXFont() : m_breakChars(u" ") {}

cl_DXFont::~cl_DXFont() {
  if (m_font) m_font->Release();
  m_font = nullptr;
  ReleasePrivateFile();
}

void cl_DXFont::ReleasePrivateFile() {
  auto found = Registry().find(m_fileName);
  if (m_fileName.empty() || found == Registry().end()) return;
  if (--found->second == 0) {
    std::string path;
    platform::os::ResolvePath(m_fileName.c_str(), path);
    gpux::RemoveFontResource(path.c_str());
    Registry().erase(found);
  }
  m_fileName.clear();
}

int cl_DXFont::GetPrivateFontCount(const char* fileName) {
  auto found = Registry().find(base::tString<base::BaseString>(fileName));
  return found == Registry().end() ? 0 : found->second;
}

bool cl_DXFont::Init(base::StaticVariantIterator element) {
  cl_Font::Init(element);
  m_changed = false;
  base::tString<base::BaseString> face;
  int system = 0;
  const bool hasFace = element.get_attribute_string("file", face);
  element.get_attribute_int("system", system);
  if (hasFace) CreateD3DFont(face.c_str(), system > 0);
  return true;
}

void cl_DXFont::CreateD3DFont(const char* face, bool system) {
  if (!face) return;
  if (!system) {
    ReleasePrivateFile();
    base::tString<base::BaseString> file = "gui\\fonts\\";
    file += face;
    file += ".ttf";
    auto found = Registry().find(file);
    if (found != Registry().end()) {
      ++found->second;
      m_fileName = file;
    } else {
      std::string path;
      // A file the font layer cannot register is not counted; the face then falls back.
      if (platform::os::ResolvePath(file.c_str(), path) && gpux::AddFontResource(path.c_str()) > 0) {
        Registry()[file] = 1;
        m_fileName = file;
      } else {
        base::sys::Output("Warning: DXFont '%s': private font file %s not registered; using a default face\n",
                          face, file.c_str());
      }
    }
  }
  if (m_font) m_font->Release();
  m_font = nullptr;
  const uint32_t result = gpux::Font::Create(win32dx9::GetD3DDevice(), m_size, 0, m_fat ? kWeightFat : kWeightNormal,
                                             1, m_italic, face, &m_font);
  if (gpu::Failed(result) || !m_font) {
    base::sys::Output("ERROR: DXFont '%s': the font object could not be made (size %d)\n", face, m_size);
    m_font = nullptr;
  }
}

void cl_DXFont::Refresh() {
  if (m_font) {
    gpux::FontDesc desc{};
    m_font->GetDesc(&desc);
  }
  m_changed = false;
}

void cl_DXFont::OnLost() {
  if (m_font) m_font->OnLostDevice();
}

void cl_DXFont::OnRestore() {
  if (m_font) m_font->OnResetDevice();
}

// ---- Drawing

int cl_DXFont::CharWidth(char16_t c) {
  if (!m_font) return 0;
  gpu::Rect rect{0, 0, 0, 0};
  m_font->DrawTextW(&c, 1, &rect, gpux::dt::CalcRect, 0xFFFFFFFFu);
  return rect.right - rect.left + 1;
}

int cl_DXFont::CharHeight(char16_t c) {
  if (!m_font) return 0;
  gpu::Rect rect{0, 0, 0, 0};
  m_font->DrawTextW(&c, 1, &rect, gpux::dt::CalcRect, 0xFFFFFFFFu);
  return rect.bottom - rect.top;
}

std::vector<int> cl_DXFont::BreakLines(const char16_t* text, int width) {
  if (!text) return {0};
  return BreakTextLines(text, Length(text), width, [this](char16_t c) { return CharWidth(c); },
                        m_breakChars.c_str());
}

void cl_DXFont::DrawBroken(int left, int top, int right, int bottom, const char16_t* text, uint32_t format) {
  const int lineHeight = text[0] ? CharHeight(text[0]) : 0;
  const std::vector<int> lines = BreakLines(text, right - left);
  const int count = static_cast<int>(lines.size());
  if (format & gpux::dt::VCenter) {
    const int up = ((count - 1) * lineHeight) / 2;
    top -= up, bottom -= up;
  }
  const int length = Length(text);
  for (int i = 0; i < count && m_font; ++i) {
    // The break character (or line feed) before the next line's start is not drawn.
    const int end = i + 1 < count ? lines[static_cast<size_t>(i) + 1] - 1 : length;
    const int start = lines[static_cast<size_t>(i)];
    gpu::Rect rect{left, top, right, bottom};
    if (end > start) m_font->DrawTextW(text + start, end - start, &rect, format, m_colour);
    top += lineHeight, bottom += lineHeight;
  }
}

void cl_DXFont::DrawBox(float x, float y, float w, float h, const char16_t* text) {
  const int left = static_cast<int>(x), top = static_cast<int>(y);
  const int right = static_cast<int>(x + w + 0.5f), bottom = static_cast<int>(y + h + 0.5f);
  uint32_t format = 0;
  if (std::sqrt(w * w + h * h) == 0.0f) {
    format = gpux::dt::NoClip;
  } else {
    if (!m_customLineFeed) format |= gpux::dt::WordBreak;
    if (m_vAlign == ALIGN_CENTER) format |= gpux::dt::VCenter;
  }
  if (m_align == ALIGN_RIGHT) format |= gpux::dt::Right;
  else if (m_align == ALIGN_CENTER) format |= gpux::dt::Center;
  if (m_customLineFeed && m_wordBreak && right - left > 0) {
    DrawBroken(left, top, right, bottom, text, format);
    return;
  }
  if (!m_font) return;
  gpu::Rect rect{left, top, right, bottom};
  m_font->DrawTextW(text, -1, &rect, format, m_colour);
}

void cl_DXFont::DrawTextBoxW(float x, float y, float w, float h, const char16_t* text, uint32_t colour) {
  if (!text) return;
  if (m_changed) Refresh();
  const uint32_t saved = m_colour;
  m_colour = colour;
  DrawBox(x, y, w, h, text);
  m_colour = saved;
}

void cl_DXFont::DrawTextW(float x, float y, const char16_t* text, uint32_t colour) {
  DrawTextBoxW(x, y, 0.0f, 0.0f, text, colour);
}

void cl_DXFont::DrawTextBox(float x, float y, float w, float h, const char* text, uint32_t colour) {
  if (!text) return;
  DrawTextBoxW(x, y, w, h, Widen(text).c_str(), colour);
}

void cl_DXFont::DrawText(float x, float y, const char* text, uint32_t colour) {
  DrawTextBox(x, y, 0.0f, 0.0f, text, colour);
}

// ---- Measuring

int cl_DXFont::GetTextWidthW(const char16_t* text) {
  if (!text || !m_font) return 0;
  if (m_customLineFeed) {
    int sum = 0;
    for (const char16_t* p = text; *p; ++p) sum += CharWidth(*p);
    return sum;
  }
  gpu::Rect rect{0, 0, 0, 0};
  m_font->DrawTextW(text, -1, &rect, gpux::dt::CalcRect, 0xFFFFFFFFu);
  return rect.right - rect.left + 1;
}

int cl_DXFont::GetTextWidth(const char* text) { return text ? GetTextWidthW(Widen(text).c_str()) : 0; }

int cl_DXFont::GetWrappedTextHeightW(const char16_t* text, int width) {
  if (!text || !m_font) return 0;
  if (m_customLineFeed) {
    const int lineHeight = text[0] ? CharHeight(text[0]) : 0;
    return lineHeight * static_cast<int>(BreakLines(text, width).size());
  }
  gpu::Rect rect{0, 0, width, 0};
  const uint32_t format = width < 1 ? gpux::dt::CalcRect : gpux::dt::CalcRect | gpux::dt::WordBreak;
  m_font->DrawTextW(text, -1, &rect, format, 0xFFFFFFFFu);
  return rect.bottom - rect.top;
}

int cl_DXFont::GetWrappedTextHeight(const char* text, int width) {
  return text ? GetWrappedTextHeightW(Widen(text).c_str(), width) : 0;
}

base::tVector2<float> cl_DXFont::GetTextSizeW(const char16_t* text) {
  if (!m_font || !text) return {0.0f, 0.0f};
  const int w = GetTextWidthW(text);
  return {static_cast<float>(w), static_cast<float>(GetWrappedTextHeightW(text, w))};
}

base::tVector2<float> cl_DXFont::GetTextSize(const char* text) {
  return text ? GetTextSizeW(Widen(text).c_str()) : base::tVector2<float>(0.0f, 0.0f);
}

// ---- Properties

void cl_DXFont::SetProperties(const base::Variant& properties) {
  cl_Font::SetProperties(properties);
  base::tString<base::BaseString> text;
  if (properties.get_attribute_string("alignment", text)) {
    text = text.lower();
    if (text == "left") m_align = ALIGN_LEFT;
    else if (text == "right") m_align = ALIGN_RIGHT;
    else if (text == "center") m_align = ALIGN_CENTER;
  }
  if (properties.get_attribute_string("v_alignment", text))
    m_vAlign = text.lower() == "center" ? ALIGN_CENTER : ALIGN_DEFAULT;
  if (properties.get_attribute_string("word_break", text)) m_wordBreak = std::atoi(text.c_str()) == 1;
  int value = 0;
  if (properties.get_attribute_int("custom_linefeed", value)) m_customLineFeed = value == 1;
}

base::Variant cl_DXFont::GetProperties() {
  base::Variant properties;
  properties.set_element("Properties");
  const char* align = m_align == ALIGN_LEFT ? "left" : m_align == ALIGN_RIGHT ? "right" : m_align == ALIGN_CENTER ? "center" : nullptr;
  if (align) properties.attribute("alignment")->set_string(align);
  properties.attribute("v_alignment")->set_string(m_vAlign == ALIGN_CENTER ? "center" : "default");
  properties.attribute("word_break")->set_int(m_wordBreak ? 1 : 0);
  properties.attribute("custom_linefeed")->set_int(m_customLineFeed ? 1 : 0);
  return properties;
}

}  // namespace gfx
