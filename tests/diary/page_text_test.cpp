// Laying text out on pages with the fixed metric used when the font "diary" is missing (8 px a
// character, 20 px a line): breaks at blanks, words wider than the box broken inside, pages that
// always move on, and the joined texts of an entry.
#include <gtest/gtest.h>

#include <string>

#include "quillane/diary/PageText.h"

namespace {

// The page texts joined again, with the line feeds the layout inserted at its breaks removed and
// the blanks it broke at put back, must give the source.
std::u16string Paginate(const std::u16string& source, int lines, int& pages) {
  cl_PageTextMetrics metrics;
  std::u16string out;
  pages = 0;
  for (int start = 0; start < static_cast<int>(source.size()) && pages < 1000; ++pages) {
    const st_PageLines page = LayoutPageText(source, start, 300, lines, metrics);
    EXPECT_GT(page.next, start);
    EXPECT_LE(page.lines, lines);
    out += source.substr(static_cast<size_t>(start), static_cast<size_t>(page.next - start));
    start = page.next;
  }
  return out;
}

TEST(PageText, LinesBreakAtTheLastBlankAndWordsThatFitStayWhole) {
  cl_PageTextMetrics metrics;
  ASSERT_EQ(metrics.LineHeight(), cl_PageTextMetrics::kFallbackLineHeight);
  // 37 characters of 8 px fit 300 px.
  const std::u16string text = u"aaaaaaaaaa bbbbbbbbbb cccccccccc dddddddddd eeee";
  const st_PageLines page = LayoutPageText(text, 0, 300, 25, metrics);
  EXPECT_EQ(page.text, u"aaaaaaaaaa bbbbbbbbbb cccccccccc\ndddddddddd eeee");
  EXPECT_EQ(page.lines, 2);
  EXPECT_EQ(page.next, static_cast<int>(text.size()));
  // A line feed ends a line too; an empty line counts.
  EXPECT_EQ(LayoutPageText(u"one\n\ntwo", 0, 300, 25, metrics).lines, 3);
}

TEST(PageText, AWordWiderThanTheBoxIsBrokenInsideIt) {
  cl_PageTextMetrics metrics;
  const std::u16string word(100, u'x');
  const st_PageLines page = LayoutPageText(word, 0, 300, 25, metrics);
  EXPECT_EQ(page.text, std::u16string(37, u'x') + u"\n" + std::u16string(37, u'x') + u"\n" + std::u16string(26, u'x'));
  // A box narrower than one character still takes one character a line.
  const st_PageLines narrow = LayoutPageText(word, 0, 3, 2, metrics);
  EXPECT_EQ(narrow.next, 2);
}

TEST(PageText, LongTextsContinueFromTheBreakUntilTheyEnd) {
  std::u16string story;
  for (int i = 0; story.size() < 6000; ++i) story += (i % 7 == 6 ? u"supercalifragilisticexpialidocious-and-more-and-more " : u"word ");
  int pages = 0;
  EXPECT_EQ(Paginate(story, 25, pages), story);
  EXPECT_GT(pages, 5);
  const std::u16string unbroken(5000, u'y');
  EXPECT_EQ(Paginate(unbroken, 25, pages), unbroken);
  EXPECT_EQ(pages, (5000 + 925 - 1) / 925);  // 25 lines of 37
  EXPECT_EQ(Paginate(std::u16string(300, u'\n'), 25, pages), std::u16string(300, u'\n'));
}

TEST(PageText, EntryTextsJoinUpToTheCountThatExists) {
  base::Variant entry;
  entry.set_element("Text");
  entry.attribute("text0")->set_string("One ");
  entry.attribute("text2")->set_string("three");
  entry.attribute("text_cnt")->set_int(2);
  EXPECT_EQ(JoinEntryTexts(entry), u"One three");
  // A count far beyond the attributes reads no further than they go.
  entry.attribute("text_cnt")->set_int(1 << 30);
  EXPECT_EQ(JoinEntryTexts(entry), u"One three");
  entry.attribute("text_cnt")->set_int(-5);
  EXPECT_EQ(JoinEntryTexts(entry), u"One ");
}

}  // namespace
