// The text helpers: everything goes through the current font.
#include <algorithm>

#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"

namespace gfx {

namespace {

std::vector<st_DrawnText>* s_trace = nullptr;

void Trace(float x, float y, base::tVector2<float> size, std::string text) {
  if (s_trace) s_trace->push_back({x, y, x + size.x, y + size.y, std::move(text)});
}

std::string Utf8(const char16_t* text) {
  std::string out;
  for (; *text; ++text) {
    const char32_t c = *text;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

void TraceDrawnText(std::vector<st_DrawnText>* trace) { s_trace = trace; }

void SetFont(cl_Font* font) {
  if (!font) {
    base::sys::Output("grSetFont(font=NULL)\n");
    return;
  }
  font->MakeCurrent();
}

cl_Font* GetFont() { return cl_Font::GetCurrent(); }

void SetFontProperties(const base::Variant& properties) {
  if (cl_Font* font = GetFont()) font->SetProperties(properties);
}

base::Variant GetFontProperties() {
  cl_Font* font = GetFont();
  return font ? font->GetProperties() : base::Variant();
}

void DrawText(int x, int y, const char* text, uint32_t colour) {
  cl_Font* font = GetFont();
  if (!font || !text) return;
  font->DrawText(static_cast<float>(x), static_cast<float>(y), text, colour);
  if (s_trace) Trace(static_cast<float>(x), static_cast<float>(y), font->GetTextSize(text), text);
}

void DrawTextW(int x, int y, const char16_t* text, uint32_t colour) {
  cl_Font* font = GetFont();
  if (!font || !text) return;
  font->DrawTextW(static_cast<float>(x), static_cast<float>(y), text, colour);
  if (s_trace) Trace(static_cast<float>(x), static_cast<float>(y), font->GetTextSizeW(text), Utf8(text));
}

namespace {

// The four outline passes one pixel off (right, left, down, up), then the text.
template <class Draw>
void Outlined(int x, int y, uint32_t colour, uint32_t outline, Draw draw) {
  draw(x + 1, y, outline);
  draw(x - 1, y, outline);
  draw(x, y + 1, outline);
  draw(x, y - 1, outline);
  draw(x, y, colour);
}

}  // namespace

void DrawTextOutlined(int x, int y, const char* text, uint32_t colour, uint32_t outline) {
  Outlined(x, y, colour, outline, [text](int px, int py, uint32_t c) { DrawText(px, py, text, c); });
}

void DrawTextOutlinedW(int x, int y, const char16_t* text, uint32_t colour, uint32_t outline) {
  Outlined(x, y, colour, outline, [text](int px, int py, uint32_t c) { DrawTextW(px, py, text, c); });
}

void DrawTextBoxW(float x, float y, float w, float h, const char16_t* text, uint32_t colour) {
  cl_Font* font = GetFont();
  if (!font || !text) return;
  font->DrawTextBoxW(x, y, w, h, text, colour);
  if (s_trace) Trace(x, y, base::tVector2<float>(w, h), Utf8(text));
}

void DrawTextBoxOutlinedW(float x, float y, float w, float h, const char16_t* text, uint32_t colour,
                          uint32_t outline) {
  const float fx = x, fy = y;
  Outlined(0, 0, colour, outline, [&](int dx, int dy, uint32_t c) {
    DrawTextBoxW(fx + static_cast<float>(dx), fy + static_cast<float>(dy), w, h, text, c);
  });
}

float GetTextWidth(const char* text) {
  cl_Font* font = GetFont();
  return font && text ? static_cast<float>(font->GetTextWidth(text)) : 0.0f;
}

float GetTextWidthW(const char16_t* text) {
  cl_Font* font = GetFont();
  return font && text ? static_cast<float>(font->GetTextWidthW(text)) : 0.0f;
}

float GetWrappedTextHeightW(const char16_t* text, float width) {
  cl_Font* font = GetFont();
  return font && text ? static_cast<float>(font->GetWrappedTextHeightW(text, static_cast<int>(width))) : 0.0f;
}

base::tVector2<float> GetTextSize(const char* text) {
  cl_Font* font = GetFont();
  return font && text ? font->GetTextSize(text) : base::tVector2<float>(0.0f, 0.0f);
}

std::string WrapText(const char* text, float width) {
  std::string out, line;
  if (!text) return out;
  auto flush = [&out, &line] {
    if (!out.empty()) out += '\n';
    out += line;
    line.clear();
  };
  for (const char* at = text; *at;) {
    if (*at == '\n') {
      flush();
      ++at;
      continue;
    }
    const char* end = at;
    while (*end && *end != ' ' && *end != '\n') ++end;
    std::string word(at, end);
    const std::string longer = line.empty() ? word : line + ' ' + word;
    if (!line.empty() && GetTextWidth(longer.c_str()) > width) {
      flush();
      line = word;
    } else {
      line = longer;
    }
    // A word wider than the whole width (a long path) is cut between characters.
    while (GetTextWidth(line.c_str()) > width) {
      size_t cut = line.size();
      do {
        do --cut;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80);
      } while (cut > 1 && GetTextWidth(line.substr(0, cut).c_str()) > width);
      if (cut == 0) break;
      const std::string rest = line.substr(cut);
      line.resize(cut);
      flush();
      line = rest;
    }
    at = *end == ' ' ? end + 1 : end;
  }
  flush();
  return out;
}

std::string ShortenText(const char* text, float width) {
  const std::string whole = text ? text : "";
  if (GetTextWidth(whole.c_str()) <= width) return whole;
  // Where each character starts: a cut never splits one. Prefixes grow no narrower as they
  // lengthen, so the longest that fits is found by halving; one character off at a time measured
  // the whole text again for each (a long label took seconds a frame).
  std::vector<size_t> starts;
  for (size_t i = 0; i < whole.size(); ++i)
    if ((static_cast<unsigned char>(whole[i]) & 0xC0) != 0x80) starts.push_back(i);
  size_t fits = 0, tooWide = starts.size();  // characters: none fit (at worst), all do not
  while (tooWide - fits > 1) {
    const size_t middle = fits + (tooWide - fits) / 2;
    if (GetTextWidth((whole.substr(0, starts[middle]) + "...").c_str()) <= width) fits = middle;
    else tooWide = middle;
  }
  return whole.substr(0, fits < starts.size() ? starts[fits] : 0) + "...";
}

const std::string& cl_ShortenedText::Get(const char* text, float width) {
  if (!text) text = "";
  const cl_Font* font = GetFont();
  if (!m_valid || width != m_width || font != m_font || m_text != text) {
    m_text = text;
    m_width = width;
    m_font = font;
    m_shown = ShortenText(text, width);
    m_valid = true;
  }
  return m_shown;
}

base::tVector2<float> KeepTextInWindow(float x, float y, const char* text) {
  const base::tVector2<float> size = GetTextSize(text);
  const float right = static_cast<float>(base::sys::GetWindowWidth());
  const float bottom = static_cast<float>(base::sys::GetWindowHeight());
  return {std::max(0.0f, std::min(x, right - size.x)), std::max(0.0f, std::min(y, bottom - size.y))};
}

base::tVector2<float> GetTextSizeW(const char16_t* text) {
  cl_Font* font = GetFont();
  return font && text ? font->GetTextSizeW(text) : base::tVector2<float>(0.0f, 0.0f);
}

}  // namespace gfx
