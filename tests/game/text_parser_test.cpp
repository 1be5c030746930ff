// The display-text markup: the replacement table in one pass, inputs that only look like markup,
// long texts and surrogate pairs, and the parser at work inside the text system.
#include <gtest/gtest.h>

#include <string>

#include "base/system.h"
#include "base/text/Textsystem.h"
#include "quillane/text/QuillaneTextParser.h"

namespace {

std::u16string Parse(const std::u16string& input) {
  cl_QuillaneTextParser parser;
  base::UnicodeString out;
  EXPECT_TRUE(parser.Parse(input.c_str(), out));
  return std::u16string(out.c_str(), size_t(out.size()));
}

TEST(QuillaneTextParser, MarkupBecomesTheCharactersToShow) {
  const struct {
    const char16_t* input;
    const char16_t* output;
  } cases[] = {
      {u"", u""},
      {u"a[BR]b", u"a\nb"},
      {u"[T]x", u"    x"},
      {u"&amp;lt;", u"&lt;"},  // one pass: the result is not scanned again
      {u"&apos;&quot;", u"'\""},
      {u"&lt;b&gt;", u"<b>"},
      {u"&#xD;&#xA;", u"\n\n"},
      {u"[BR][BR][T]", u"\n\n    "},
      // Only the exact table entries count.
      {u"[br] [B] [BR [BR", u"[br] [B] [BR [BR"},
      {u"& &x; &nbsp; &#x41; &#xd;", u"& &x; &nbsp; &#x41; &#xd;"},
      {u"&", u"&"},
      {u"[", u"["},
      {u"&#x", u"&#x"},
      {u"&#xD", u"&#xD"},
      {u"a&amp", u"a&amp"},
      {u"&&amp;&", u"&&&"},
      {u"[[T]]", u"[    ]"},
      // Surrogate pairs and other units pass through unchanged.
      {u"\U0001F600[BR]\U0001F600", u"\U0001F600\n\U0001F600"},
      {u"\xD800[T]\xDC00", u"\xD800    \xDC00"},
  };
  for (const auto& c : cases) {
    const std::u16string input(c.input);
    EXPECT_EQ(Parse(input), std::u16string(c.output)) << std::string(input.begin(), input.end());
  }
}

TEST(QuillaneTextParser, ParseAppendsAndConvertMeasures) {
  cl_QuillaneTextParser parser;
  base::UnicodeString out(u"> ");
  EXPECT_TRUE(parser.Parse(u"a[BR]b", out));
  EXPECT_EQ(std::u16string(out.c_str()), u"> a\nb");
  EXPECT_TRUE(parser.Parse(nullptr, out));
  EXPECT_EQ(out.size(), 5);
  // Measuring writes nothing; writing stops at the output's length.
  base::UnicodeString small(u"xy");
  EXPECT_EQ(parser.Convert(u"[T]&amp;", small, false), 5);
  EXPECT_EQ(std::u16string(small.c_str()), u"xy");
  EXPECT_EQ(parser.Convert(u"[T]&amp;", small, true), 5);
  EXPECT_EQ(std::u16string(small.c_str()), u"  ");
}

TEST(QuillaneTextParser, AMegabyteOfTextConvertsWhole) {
  std::u16string input, expected;
  while (input.size() < (1u << 20)) {
    input += u"Line [BR]&amp;[T]x&#x";
    expected += u"Line \n&    x&#x";
  }
  EXPECT_EQ(Parse(input), expected);
}

// Installed into the text system, the parser treats every displayed text and goes with it.
TEST(QuillaneTextParser, TheTextSystemOwnsTheInstalledParser) {
  base::sys::TextsystemSetTextParser(new cl_QuillaneTextParser);
  base::UnicodeString out;
  base::sys::Localize("#nokey0_1 Ahoy[BR]&quot;Odo&quot;", out);
  EXPECT_EQ(std::u16string(out.c_str()), u"#nokey0_1 Ahoy\n\"Odo\"");
  base::sys::CleanupTextsystem();
  out.clear();
  base::sys::Localize("#nokey0_1 a[BR]b", out);
  EXPECT_EQ(std::u16string(out.c_str()), u"#nokey0_1 a[BR]b");
}

}  // namespace
