// The text helpers: everything goes through the current font.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

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

namespace {

// Where each character of text starts, then text's end: a cut never splits a character.
std::vector<size_t> CharacterStarts(const std::string& text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  starts.push_back(text.size());
  return starts;
}

// The most characters from character first on (at most count) that, followed by tail, are no
// wider than width; 0 when not even one is. Pieces grow no narrower as they lengthen, so the
// answer is found by halving. With a guess (the length of the line before), it first steps out
// from there by doubling steps, so that lines of like width cost about two measurements each;
// one character off at a time measured the whole text again for each (a long label took
// seconds a frame).
size_t LongestFit(const std::string& text, const std::vector<size_t>& starts, size_t first, size_t count, size_t guess,
                  float width, const char* tail) {
  auto fits = [&](size_t n) {
    const std::string piece = text.substr(starts[first], starts[first + n] - starts[first]) + tail;
    return GetTextWidth(piece.c_str()) <= width;
  };
  size_t fit = 0, tooWide = count + 1;  // none fit (at worst); one more than all never does
  if (guess > 0) {
    guess = std::min(guess, count);
    if (fits(guess)) {
      fit = guess;
      for (size_t step = 1; fit < count && tooWide == count + 1; step *= 2) {
        const size_t next = std::min(fit + step, count);
        if (fits(next))
          fit = next;
        else
          tooWide = next;
      }
    } else {
      tooWide = guess;
      // The whole rest as the guess says nothing about where the cut lies: halve at once.
      for (size_t step = 1; guess < count && step < tooWide - fit; step *= 2) {
        if (fits(tooWide - step)) {
          fit = tooWide - step;
          break;
        }
        tooWide -= step;
      }
    }
  }
  while (tooWide - fit > 1) {
    const size_t middle = fit + (tooWide - fit) / 2;
    if (fits(middle))
      fit = middle;
    else
      tooWide = middle;
  }
  return fit;
}

// One paragraph (no line break in it) broken into lines no wider than width, appended to lines.
void WrapParagraph(const std::string& text, float width, std::vector<std::string>& lines) {
  const std::vector<size_t> starts = CharacterStarts(text);
  const size_t characters = starts.size() - 1;
  size_t first = 0, guess = characters;
  do {
    const size_t rest = characters - first;
    const size_t fit = LongestFit(text, starts, first, rest, guess, width, "");
    if (fit == rest) {
      lines.push_back(text.substr(starts[first]));
      break;
    }
    guess = std::max<size_t>(fit, 1);
    // Whole words: the line ends at the last blank the fitting piece reaches (the blank goes);
    // a word wider than the whole width (a long path) is cut between characters.
    size_t end = first + guess, next = end;
    if (fit > 0 && text[starts[end]] != ' ') {
      for (size_t at = end - 1; at > first; --at)
        if (text[starts[at]] == ' ') {
          end = at;
          break;
        }
    }
    if (text[starts[end]] == ' ') next = end + 1;
    lines.push_back(text.substr(starts[first], starts[end] - starts[first]));
    first = next;
  } while (first < characters);
}

}  // namespace

std::string WrapText(const char* text, float width) {
  std::vector<std::string> lines;
  if (!text) return {};
  for (const char* at = text;;) {
    const char* end = std::strchr(at, '\n');
    WrapParagraph(end ? std::string(at, end) : std::string(at), width, lines);
    if (!end) break;
    at = end + 1;
  }
  std::string out;
  for (const std::string& line : lines) {
    if (&line != &lines.front()) out += '\n';
    out += line;
  }
  return out;
}

std::string ShortenText(const char* text, float width) {
  const std::string whole = text ? text : "";
  if (GetTextWidth(whole.c_str()) <= width) return whole;
  const std::vector<size_t> starts = CharacterStarts(whole);
  // All characters and "..." are wider still than the whole text alone.
  const size_t fit = LongestFit(whole, starts, 0, starts.size() - 2, 0, width, "...");
  return whole.substr(0, starts[fit]) + "...";
}

std::string ShortenLongestWord(const char* text, float width) {
  const std::string whole = text ? text : "";
  if (GetTextWidth(whole.c_str()) <= width) return whole;
  const std::vector<size_t> starts = CharacterStarts(whole);
  size_t first = 0, length = 0;  // the longest run of characters without a blank
  for (size_t i = 0, run = 0; i + 1 < starts.size(); ++i) {
    run = whole[starts[i]] == ' ' ? 0 : run + 1;
    if (run > length) length = run, first = i + 1 - run;
  }
  constexpr size_t kKept = 4;  // characters at each end of the word, so that it is still known
  if (length <= 2 * kKept + 3) return ShortenText(whole.c_str(), width);
  const auto without = [&](size_t dropped) {
    const size_t head = (length - dropped) / 2, tail = length - dropped - head;
    return whole.substr(0, starts[first + head]) + "..." + whole.substr(starts[first + length - tail]);
  };
  size_t fits = length - 2 * kKept, tooWide = 0;  // the most that may go; none going was too wide
  if (GetTextWidth(without(fits).c_str()) > width) return ShortenText(whole.c_str(), width);
  while (fits - tooWide > 1) {
    const size_t middle = tooWide + (fits - tooWide) / 2;
    if (GetTextWidth(without(middle).c_str()) <= width)
      fits = middle;
    else
      tooWide = middle;
  }
  return without(fits);
}

cl_FittedText::cl_FittedText(std::string (*fit)(const char*, float)) : m_fit(fit) {}

const std::string& cl_FittedText::Get(const char* text, float width) {
  if (!text) text = "";
  const cl_Font* font = GetFont();
  if (!m_valid || width != m_width || font != m_font || m_text != text) {
    m_text = text;
    m_width = width;
    m_font = font;
    m_shown = m_fit(text, width);
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
