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

// A face's rectangle and the box's frame (16 pixels round it) share a point.
bool Covers(const base::tRectf& box, const base::tRectf& face) {
  return box.min.x - 16.0f < face.max.x && face.min.x < box.max.x + 16.0f && box.min.y - 16.0f < face.max.y &&
         face.min.y < box.max.y + 16.0f;
}

float Distance(const base::tRectf& box, const base::tRectf& face) {
  const float x = (face.min.x + face.max.x) * 0.5f, y = (face.min.y + face.max.y) * 0.5f;
  const float dx = std::max({box.min.x - x, 0.0f, x - box.max.x}), dy = std::max({box.min.y - y, 0.0f, y - box.max.y});
  return dx * dx + dy * dy;
}

// A box above a head that keeping it on screen brings down over the faces (a talk's close-up, a
// head near the viewport's top in an 800 x 600 room) moves the least way to a place off every
// face, inside the viewport's margins and nearer its speaker's face than the other's; one clear
// of them stays; with no such place it stays too. The speaker is face 0.
TEST(SpeechLayoutPlace, TheBoxKeepsOffEveryFaceAndStandsNearestItsSpeaker) {
  const struct {
    const char* what;
    base::tRectf viewport;
    float x, y;
    int lines, side;
    std::vector<base::tRectf> faces;
    bool moves;
  } cases[] = {
      {"room, clear above the head", {0, 64, 1024, 704}, 300, 300, 2, -1, {{285, 320, 315, 350}, {600, 330, 630, 360}},
       false},
      {"close-up 1024, the partner speaks", {0, 64, 1024, 704}, 307, 139, 3, -1,
       {{270, 190, 360, 290}, {640, 240, 730, 320}}, true},
      {"close-up 1024, the player speaks", {0, 64, 1024, 704}, 690, 141, 2, 1,
       {{640, 240, 730, 320}, {270, 190, 360, 290}}, false},
      {"close-up 800, the partner speaks", {0, 50, 800, 550}, 240, 109, 4, -1,
       {{210, 150, 285, 235}, {505, 180, 575, 255}}, true},
      {"close-up 800, the player speaks", {0, 50, 800, 550}, 539, 110, 2, 1,
       {{505, 180, 575, 255}, {210, 150, 285, 235}}, false},
      {"room 800, no room above the head", {0, 50, 800, 550}, 295, 120, 4, 0,
       {{280, 165, 310, 195}, {200, 160, 230, 190}}, true},
      {"no place off the faces", {0, 50, 800, 550}, 400, 100, 2, 0, {{0, 0, 800, 600}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const base::tRectf placed = cl_SpeechLayout::PlaceBox(c.x, c.y, 200, c.lines, c.side, c.viewport.max.x,
                                                          c.viewport.max.y + c.viewport.min.y, c.viewport);
    const base::tRectf box = cl_SpeechLayout::KeepOffFaces(placed, c.viewport, c.faces, 0);
    const bool moved = box.min.x != placed.min.x || box.min.y != placed.min.y;
    EXPECT_EQ(moved, c.moves);
    EXPECT_FLOAT_EQ(box.max.x - box.min.x, placed.max.x - placed.min.x);
    EXPECT_FLOAT_EQ(box.max.y - box.min.y, placed.max.y - placed.min.y);
    if (c.faces.size() < 2) continue;
    for (const base::tRectf& face : c.faces) EXPECT_FALSE(Covers(box, face));
    EXPECT_LT(Distance(box, c.faces[0]), Distance(box, c.faces[1]));
    EXPECT_GE(box.min.x, c.viewport.min.x + 32.0f);
    EXPECT_LE(box.max.x, c.viewport.max.x - 32.0f);
    EXPECT_GE(box.min.y, c.viewport.min.y + 16.0f);
    EXPECT_LE(box.max.y + 16.0f, c.viewport.max.y);
  }
}

}  // namespace
