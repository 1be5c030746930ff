// Code generation compared as instruction listings: the shapes of the main constructs, label
// numbering and the layout of defaults, "paramcpy", body and "stop".
#include <gtest/gtest.h>

#include "codegen_support.h"

namespace {

using krxtest::CompileFixture;
using krxtest::Messages;

class CodegenListing : public CompileFixture {};

struct st_Case {
  const char* name;
  const char* source;
  const char* listing;
};

const st_Case kCases[] = {
    {"EmptyBody", "function void F() {}",
         "0000  paramcpy\n"
         "0001  stop\n"},
    {"LocalRead", "function int F(int a) { return a; }",
         "0000  paramcpy\n"
         "0001  line        1\n"
         "0004  func_init\n"
         "0005  push value  0\n"
         "0008  push var    0\n"
         "0011  return\n"
         "0012  stop\n"},
    {"IfElse", "function void F(int a) { if (a) G(1); else G(2); }",
         "0000  paramcpy\n"
         "0001  line        1\n"
         "0004  push value  0\n"
         "0007  push var    0\n"
         "0010  jump false  @37\n"
         "0016  func_init\n"
         "0017  push value  1\n"
         "0020  push value  \"G\"\n"
         "0026  push var    1\n"
         "0029  call\n"
         "0030  eoc\n"
         "0031  jump        @51\n"
         "0037  func_init\n"
         "0038  push value  2\n"
         "0041  push value  \"G\"\n"
         "0047  push var    1\n"
         "0050  call\n"
         "0051  stop\n"},
    {"While", "function void F(int a) { while (a) { a--; } }",
         "0000  paramcpy\n"
         "0001  line        1\n"
         "0004  push value  0\n"
         "0007  push var    0\n"
         "0010  jump false  @30\n"
         "0016  push value  0\n"
         "0019  push var    0\n"
         "0022  X--\n"
         "0023  eoc\n"
         "0024  jump        @4\n"
         "0030  stop\n"},
    {"ForWithEmptyParts", "function void F(int a) { for (;a;) a--; }",
         "0000  paramcpy\n"
         "0001  line        1\n"
         "0004  push value  0\n"
         "0007  push var    0\n"
         "0010  jump false  @30\n"
         "0016  push value  0\n"
         "0019  push var    0\n"
         "0022  X--\n"
         "0023  eoc\n"  // a body without braces clears its values each pass
         "0024  jump        @4\n"
         "0030  stop\n"},
    {"Switch", "function void F(int a) { switch (a) { case 3: G(3); case 1: G(1); break; case 2: G(2); } }",
         "0000  paramcpy\n"
         "0001  line        1\n"
         "0004  push value  0\n"
         "0007  push var    0\n"
         "0010  switch      3\n"
         "      case @51\n"
         "      case @74\n"
         "      case @34\n"
         "0028  jump        @91\n"
         "0034  data        3\n"
         "0037  func_init\n"
         "0038  push value  3\n"
         "0041  push value  \"G\"\n"
         "0047  push var    1\n"
         "0050  call\n"
         "0051  data        1\n"
         "0054  func_init\n"
         "0055  push value  1\n"
         "0058  push value  \"G\"\n"
         "0064  push var    1\n"
         "0067  call\n"
         "0068  jump        @91\n"
         "0074  data        2\n"
         "0077  func_init\n"
         "0078  push value  2\n"
         "0081  push value  \"G\"\n"
         "0087  push var    1\n"
         "0090  call\n"
         "0091  stop\n"},
    {"ShortCircuit", "function bool F(bool a, bool b) { return a && b || a; }",
         "0000  paramcpy\n"
         "0001  line        1\n"
         "0004  func_init\n"
         "0005  push value  0\n"
         "0008  push var    0\n"
         "0011  jump false (check) @24\n"
         "0017  push value  1\n"
         "0020  push var    0\n"
         "0023  &&\n"
         "0024  jump true (check) @37\n"
         "0030  push value  0\n"
         "0033  push var    0\n"
         "0036  ||\n"
         "0037  return\n"
         "0038  stop\n"},
    {"CallArgumentsAndQualified", "function void F() { other::G(1, 2); }",
         "0000  paramcpy\n"
         "0001  line        1\n"
         "0004  func_init\n"
         "0005  push value  1\n"
         "0008  push value  2\n"
         "0011  push value  \"other\"\n"
         "0017  push value  \"G\"\n"
         "0023  push var    3\n"
         "0026  call\n"
         "0027  stop\n"},
    {"IndexedAndGlobal", "int g[2]; function void F(int i) { g[i] = i; }",
         "0000  paramcpy\n"
         "0001  line        1\n"
         "0004  push value  0\n"
         "0007  push var    0\n"
         "0010  push value  \"g\"\n"
         "0016  push var    5\n"
         "0019  push value  0\n"
         "0022  push var    0\n"
         "0025  =\n"
         "0026  stop\n"},
    {"LocalArray", "function void F() { int a[3]; }",
         "0000  paramcpy\n"
         "0001  line        1\n"
         "0004  func_init\n"
         "0005  push value  0\n"
         "0008  push var    0\n"
         "0011  push value  3\n"
         "0014  push value  \"SetSize\"\n"
         "0020  push var    1\n"
         "0023  call\n"
         "0024  stop\n"},
    {"DefaultAndBodyLabels", "function bool F(bool a, bool b = true && false) { return a && b; }",
         "0000  push value  1\n"
         "0003  push var    0\n"
         "0006  push value  true\n"
         "0009  jump false (check) @19\n"
         "0015  push value  false\n"
         "0018  &&\n"
         "0019  =\n"
         "0020  paramcpy\n"
         "0021  line        1\n"
         "0024  func_init\n"
         "0025  push value  0\n"
         "0028  push var    0\n"
         "0031  jump false (check) @44\n"
         "0037  push value  1\n"
         "0040  push var    0\n"
         "0043  &&\n"
         "0044  return\n"
         "0045  stop\n"},
};

TEST_F(CodegenListing, MainConstructs) {
  for (const st_Case& c : kCases) {
    Messages().clear();
    ASSERT_TRUE(Compile(c.source)) << c.name << "\n" << AllMessages();
    EXPECT_EQ(ListingOf("F"), c.listing) << c.name;
  }
}

}  // namespace

namespace {

// Two statements on one line share one "line" instruction; a new line gets its own.
TEST_F(CodegenListing, LineInstructionsOnlyWhenTheLineChanges) {
  ASSERT_TRUE(Compile("function void F(int a) { a = 1; a = 2;\n a = 3; }")) << AllMessages();
  const std::string listing = ListingOf("F");
  size_t lines = 0;
  for (size_t at = listing.find("line"); at != std::string::npos; at = listing.find("line", at + 1)) ++lines;
  EXPECT_EQ(lines, 2u) << listing;
}

// Numbering restarts in every function and never crosses into a nested construct's labels.
TEST_F(CodegenListing, NestedConstructsLinkInEveryFunction) {
  ASSERT_TRUE(Compile("function void F(int a) { if (a) { while (a) { a--; } } }\n"
                      "function void G(int a) { if (a && a) { while (a || a) { a--; } } }"))
      << AllMessages();
  EXPECT_NE(ListingOf("F"), "(no function)");
  EXPECT_NE(ListingOf("G"), "(no function)");
}

TEST_F(CodegenListing, ConstantExpressionsAreEvaluatedAtCompileTime) {
  ASSERT_TRUE(Compile("function void F() { int a[2 + 3]; switch (1) { case 4 * 2: G(); } }")) << AllMessages();
  const std::string listing = ListingOf("F");
  EXPECT_NE(listing.find("push value  5\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("data        8\n"), std::string::npos) << listing;
}

TEST_F(CodegenListing, ParameterCountAndDefaults) {
  ASSERT_TRUE(Compile("function int F(int a, int b = 5) { return a + b; }\nfunction void H() { }")) << AllMessages();
  const KRX::Var* f = Module()->Find("F");
  ASSERT_TRUE(f && f->GetModule());
  EXPECT_EQ(f->GetModule()->GetParamCount(), 2);
  EXPECT_EQ(f->GetModule()->GetReturnType(), KRX::VT_INT);
  EXPECT_EQ(Module()->Find("H")->GetModule()->GetParamCount(), 0);
}

}  // namespace
