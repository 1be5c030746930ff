// The spoken line's word wrap and the placement of its box, on a measure of fixed-width
// characters (ten pixels each and one of overhang, as the game's fonts add a pixel).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "quillane/session/SpeechLayout.h"

namespace {

using quillane::cl_SpeechLayout;
using tLine = cl_SpeechLayout::tLine;

float Fixed(const char16_t* text) {
  int n = 0;
  while (text[n]) ++n;
  return 1.0f + 10.0f * static_cast<float>(n);
}

std::vector<std::u16string> Wrap(const std::u16string& text, float width, bool plain) {
  std::vector<tLine> lines;
  cl_SpeechLayout::AddLine(lines, tLine(text.c_str()), width, &Fixed, plain);
  std::vector<std::u16string> out;
  for (const tLine& l : lines) out.emplace_back(l.c_str());
  return out;
}

TEST(SpeechLayoutWrap, BreaksAtTheLastBlankOnceTheRunPassesTheWidth) {
  const struct {
    const char16_t* text;
    float width;
    std::vector<std::u16string> lines;
  } cases[] = {
      // "aa bb" measures 51 at the second blank: the break drops that blank.
      {u"aa bb cc dd ee", 50.0f, {u"aa bb", u"cc dd", u"ee"}},
      // A word wider than the width stays whole; it breaks at the first blank after it.
      {u"aaaaaaaaaa bb", 50.0f, {u"aaaaaaaaaa", u"bb"}},
      {u"aaaaaaaaaaaaaaaa", 50.0f, {u"aaaaaaaaaaaaaaaa"}},
      // Blanks other than the break's stay, leading ones too; the last run is never measured.
      {u" aa  bbbbbbb", 50.0f, {u" aa ", u"bbbbbbb"}},
      {u"a b c", 0.0f, {u"a", u"b", u"c"}},
      {u"", 50.0f, {u""}},
  };
  for (const auto& c : cases) {
    for (bool plain : {true, false}) {
      std::u16string text(c.text);
      EXPECT_EQ(Wrap(text, c.width, plain), c.lines) << std::string(text.begin(), text.end()) << " plain " << plain;
    }
  }
}

// A measure where line feeds start a new line (the widest line counts), as the platform's fonts
// measure: the summed widths would be wrong, so such texts are measured run by run.
float Multiline(const char16_t* text) {
  int widest = 0, n = 0;
  for (const char16_t* p = text;; ++p) {
    if (*p == u'\n' || !*p) {
      widest = std::max(widest, n);
      n = 0;
      if (!*p) break;
    } else {
      ++n;
    }
  }
  return 1.0f + 10.0f * static_cast<float>(widest);
}

TEST(SpeechLayoutWrap, TextsWithLineFeedsKeepThePlainLines) {
  const std::u16string text = u"aaaa\naaaa bb cc\nd ee ff";
  std::vector<tLine> plain, incremental;
  cl_SpeechLayout::AddLine(plain, tLine(text.c_str()), 60.0f, &Multiline, true);
  cl_SpeechLayout::AddLine(incremental, tLine(text.c_str()), 60.0f, &Multiline, false);
  ASSERT_EQ(plain.size(), incremental.size());
  for (size_t i = 0; i < plain.size(); ++i) EXPECT_TRUE(plain[i] == incremental[i]) << i;
}

TEST(SpeechLayoutPlace, TheBoxStandsAboveTheAnchorAndKeepsOnScreen) {
  // 1024 × 768: the viewport is the 16:10 band from y 64 to 704.
  const base::tRectf viewport(0.0f, 64.0f, 1024.0f, 704.0f);
  const struct {
    const char* what;
    float x, y;
    int maxWidth, lines, side;
    base::tRectf box;
  } cases[] = {
      {"centred", 500, 400, 100, 1, 0, {440, 345, 560, 385}},
      {"odd width halves down", 500, 400, 101, 1, 0, {440, 345, 560, 385}},
      {"left of the partner", 500, 400, 100, 1, -1, {356, 345, 476, 385}},
      {"right of the partner", 500, 400, 100, 1, 1, {524, 345, 644, 385}},
      {"three lines", 500, 400, 100, 3, 0, {440, 315, 560, 415}},
      // Past the window's top, then under the viewport's top margin.
      {"at the top", 500, 20, 100, 1, 0, {440, 80, 560, 120}},
      // Wider than the window: right edge on the window's edge, then inside the side margins.
      {"too wide", 500, 400, 2000, 1, 0, {-1028, 345, 992, 385}},
      {"at the right edge", 1000, 400, 100, 1, 1, {872, 345, 992, 385}},
      {"at the left edge", 10, 400, 100, 1, -1, {32, 345, 152, 385}},
  };
  for (const auto& c : cases) {
    const base::tRectf box = cl_SpeechLayout::PlaceBox(c.x, c.y, c.maxWidth, c.lines, c.side, 1024, 768, viewport);
    EXPECT_FLOAT_EQ(box.min.x, c.box.min.x) << c.what;
    EXPECT_FLOAT_EQ(box.min.y, c.box.min.y) << c.what;
    EXPECT_FLOAT_EQ(box.max.x, c.box.max.x) << c.what;
    EXPECT_FLOAT_EQ(box.max.y, c.box.max.y) << c.what;
  }
}

// In an 800 x 600 window the box kept under the viewport's top came down over the speaker's face:
// it then stands beside the figure, away from the partner where there is room.
TEST(SpeechLayoutPlace, ABoxWithNoRoomAboveTheSpeakerStandsBesideTheFigure) {
  // 800 × 600: the viewport is the band from y 50 to 550. Two lines of 180 pixels: a 200 × 70 box.
  const base::tRectf viewport(0.0f, 50.0f, 800.0f, 550.0f);
  const struct {
    const char* what;
    float x, y;
    int side;
    base::tRectf figure, box;
  } cases[] = {
      {"room above", 330, 300, 1, {300, 300, 360, 500}, {370, 230, 570, 300}},
      {"no room above, right", 330, 100, 1, {300, 100, 360, 300}, {384, 116, 584, 186}},
      {"no room above, left", 330, 100, -1, {300, 100, 360, 300}, {76, 116, 276, 186}},
      {"nor on the right", 555, 100, 1, {535, 100, 580, 300}, {311, 116, 511, 186}},
      {"nor on either side", 400, 100, 0, {150, 100, 650, 300}, {300, 66, 500, 136}},
      {"head above the viewport", 330, 20, 0, {300, 20, 360, 300}, {384, 66, 584, 136}},
  };
  for (const auto& c : cases) {
    const base::tRectf box = cl_SpeechLayout::PlaceBox(c.x, c.y, 180, 2, c.side, 800, 600, viewport, &c.figure);
    EXPECT_FLOAT_EQ(box.min.x, c.box.min.x) << c.what;
    EXPECT_FLOAT_EQ(box.min.y, c.box.min.y) << c.what;
    EXPECT_FLOAT_EQ(box.max.x, c.box.max.x) << c.what;
    EXPECT_FLOAT_EQ(box.max.y, c.box.max.y) << c.what;
  }
}

}  // namespace
