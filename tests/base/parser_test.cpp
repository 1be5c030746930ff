#include "base/file/LineParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/data/Binary.h"
#include "test_support.h"

namespace {

using testsupport::TempDir;

// Every line a `while (NextLine())` loop sees, as token lists joined by '|'.
template <class P>
std::vector<std::string> Lines(P& p) {
  std::vector<std::string> out;
  while (p.NextLine()) {
    std::string line;
    for (int i = 0; i < p.GetNumTokens(); ++i) line += (i ? "|" : "") + std::string(p.GetToken(i));
    out.push_back(line);
  }
  return out;
}

base::Binary Bytes(const std::string& s) {
  base::Binary b;
  b.set(static_cast<int>(s.size()), s.data());
  return b;
}

using V = std::vector<std::string>;

// Both readers must hand over the last line, whether or not the data ends with a line break.
TEST(LineParsers, EveryLineIsSeenWithAnyLineEnd) {
  struct Case {
    const char* name;
    std::string data;
    V file;    // what the file reader yields (it keeps empty lines)
    V memory;  // what the memory reader yields (it skips empty lines)
  } cases[] = {
      {"LF", "a\nb\n", {"a", "b"}, {"a", "b"}},
      {"CRLF", "phn 0 100 50 AA\r\nphn 100 200 80 m\r\n", {"phn|0|100|50|AA", "phn|100|200|80|m"},
       {"phn|0|100|50|AA", "phn|100|200|80|m"}},
      {"no final break", "a\nb", {"a", "b"}, {"a", "b"}},
      {"empty lines", "a\r\n\r\nb", {"a", "", "b"}, {"a", "b"}},
      {"CR only", "a\rb\r", {"a|b"}, {"a", "b"}},
      {"empty", "", {}, {}},
      {"separators", "a,,b\t c\n \t \n", {"a|b|c", ""}, {"a|b|c", ""}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    dir.write("l.txt", c.data);
    base::cl_FileParser fp(dir.path("l.txt").c_str());
    ASSERT_TRUE(fp.IsOpen());
    EXPECT_EQ(Lines(fp), c.file) << c.name;
    base::Binary b = Bytes(c.data);
    base::cl_BinaryParser bp(b);
    EXPECT_EQ(Lines(bp), c.memory) << c.name;
  }
}

TEST(LineParsers, OverLongLinesContinueInTheNextCall) {
  const std::string longLine(300, 'x');
  TempDir dir;
  dir.write("long.txt", longLine + "\nend\n");
  base::cl_FileParser fp(dir.path("long.txt").c_str());
  ASSERT_TRUE(fp.NextLine());
  EXPECT_EQ(std::string(fp.GetLine()).size(), 255u);
  ASSERT_TRUE(fp.NextLine());
  EXPECT_EQ(std::string(fp.GetLine()), std::string(45, 'x') + "\n");
  ASSERT_TRUE(fp.NextLine());
  EXPECT_EQ(fp.GetStringToken(0), "end");
  EXPECT_FALSE(fp.NextLine());

  base::Binary b = Bytes(longLine);
  base::cl_BinaryParser bp(b);
  ASSERT_TRUE(bp.NextLine());
  EXPECT_EQ(std::string(bp.GetLine()).size(), 256u);
  ASSERT_TRUE(bp.NextLine());
  EXPECT_EQ(std::string(bp.GetLine()).size(), 44u);
  EXPECT_FALSE(bp.NextLine());
}

TEST(LineParsers, TypedTokens) {
  base::Binary b = Bytes("phn 100 -200 50.5 a\n12abc abc 1e3 +7\n");
  base::cl_BinaryParser p(b);
  ASSERT_TRUE(p.NextLine());
  EXPECT_EQ(p.GetNumTokens(), 5);
  EXPECT_EQ(p.GetIntToken(1), 100);
  EXPECT_EQ(p.GetIntToken(2), -200);
  EXPECT_FLOAT_EQ(p.GetRealToken(3), 50.5f);
  EXPECT_EQ(p.GetToken(5), nullptr);
  EXPECT_EQ(p.GetToken(-1), nullptr);
  EXPECT_EQ(p.GetIntToken(5), 0);
  EXPECT_EQ(p.GetRealToken(5), 0.0f);
  EXPECT_EQ(p.GetStringToken(5).size(), 0);
  ASSERT_TRUE(p.NextLine());
  EXPECT_EQ(p.GetIntToken(0), 12);
  EXPECT_EQ(p.GetIntToken(1), 0);
  EXPECT_FLOAT_EQ(p.GetRealToken(2), 1000.0f);
  EXPECT_EQ(p.GetIntToken(3), 7);

  base::cl_FileParser closed;
  EXPECT_FALSE(closed.NextLine());
  EXPECT_EQ(closed.GetNumTokens(), 0);
  EXPECT_EQ(closed.GetToken(0), nullptr);
  EXPECT_EQ(closed.GetIntToken(0), 0);
  EXPECT_FALSE(closed.OpenFile("/no/such/file.lipsync"));
}

TEST(LineParsers, SeekLineAndRewind) {
  const std::string data = "header\nmaterial stone\n{\n}\nmaterial wood";
  TempDir dir;
  dir.write("Mat.txt", data);
  base::cl_FileParser fp((dir.path() + "\\MAT.TXT").c_str());  // resolved like every engine file
  ASSERT_TRUE(fp.IsOpen());
  ASSERT_TRUE(fp.SeekLine("material"));
  EXPECT_EQ(fp.GetStringToken(1), "stone");
  ASSERT_TRUE(fp.SeekLine("material"));  // the last line, without a line break
  EXPECT_EQ(fp.GetStringToken(1), "wood");
  EXPECT_FALSE(fp.SeekLine("material"));
  fp.Rewind();
  ASSERT_TRUE(fp.NextLine());
  EXPECT_EQ(fp.GetStringToken(0), "header");

  base::Binary b = Bytes(data);
  base::cl_BinaryParser bp(b);
  ASSERT_TRUE(bp.SeekLine("material"));
  ASSERT_TRUE(bp.SeekLine("material"));
  EXPECT_EQ(bp.GetStringToken(1), "wood");
  EXPECT_FALSE(bp.SeekLine("material"));
  bp.Rewind();
  ASSERT_TRUE(bp.NextLine());
  EXPECT_EQ(bp.GetStringToken(0), "header");
}

}  // namespace
