// Every compile error of the front end, one source per message: the exact "file(line) : text"
// line the script system receives, and that the stage reports failure.
#include <gtest/gtest.h>

#include <string>

#include "parser_support.h"

namespace {

struct st_ErrorCase {
  const char* file;
  std::string source;
  const char* expected;  // the whole output, without the line end the capture adds
};

std::string Repeat(const char* text, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

const st_ErrorCase kCases[] = {
    // lexer
    {"e.krx", "x = 1;\n$;", "e.krx(2) : Unexpected token found '$'"},
    // an operator with nothing it could apply to is refused where it stands
    {"e.krx", "y = $;", "e.krx(1) : Unexpected token found '='"},
    {"e.lua", "x = 10 // 2", "e.lua(1) : Unexpected token found '/'"},
    {"e.krx", "x = 1f;", "e.krx(1) : Unexpected token 'f' found after number '1'"},
    {"e.krx", "x = 1e5;", "e.krx(1) : Unexpected token 'e' found after number '1'"},
    {"e.krx", "x = 12ab;", "e.krx(1) : Unexpected token 'a' found after number '12'"},
    {"e.krx", "x = 0x1G;", "e.krx(1) : Unexpected token 'G' found after number '0x1'"},
    {"e.krx", "x = 0b102;", "e.krx(1) : Unexpected token '2' found after number '0b10'"},
    {"e.krx", "x = 1.2.3;", "e.krx(1) : Unexpected token '.' found after number '1.2'"},
    {"e.krx", "x = 1..2;", "e.krx(1) : Unexpected token '.' found after number '1.'"},
    // a malformed number met while peeking past an operator is still reported, once
    {"e.krx", "x = a -- 1x;", "e.krx(1) : Unexpected token 'x' found after number '1'"},
    {"e.krx", "\n\nx = @Line;", "e.krx(3) : unknown sys variable Line"},
    {"e.krx", "x = " + Repeat("- ", 300) + "1;", "e.krx(1) : too many operators in a row (more than 256)"},
    // "1 + ;": the "+" has no operand after it, so the lexer already refuses it
    {"e.krx", "x = 1 + ;", "e.krx(1) : Unexpected token found '+'"},
    // parser
    {"e.krx", "Foo:: 1;", "e.krx(1) : unexpected module information found"},
    {"e.krx", "for (;;)", "e.krx(1) : Error while parsing for loop"},
    {"e.krx", "for (i = 0; i < 3\n", "e.krx(1) : Error while parsing for loop"},
    {"e.krx", "x = 1;\nif", "e.krx(2) : Error while parsing if expression"},
    {"e.krx", "int a = (1;", "e.krx(1) : Error while parsing declaration"},
    {"e.krx", "x = (1;", "e.krx(1) : Unable to parse expression"},
    {"e.krx", "else x = 1;", "e.krx(1) : Unable to parse expression"},
    {"e.krx", "{\n x = 1;", "e.krx(1) : unable to find matching '}'"},
    {"e.krx", "f(1 2, 3);", "e.krx(1) : Unable to interpret the 1 parameter of the parenthesis from f."},
    {"e.krx", "x = (1 2, 3);", "e.krx(1) : Unable to interpret the 1 parameter of the parenthesis from (expression)."},
    {"e.krx", "f(1,\n 2;", "e.krx(1) : unable to find closing ')' for '('"},
    {"e.krx", "f(1,\n ]);", "e.krx(1) : invalid function parameter 2 at function call"},
    {"e.krx", "f(1, 2 3);", "e.krx(1) : invalid function parameter 2 at function call"},
    {"e.krx", "for x;", "e.krx(1) : chunk bracket missing"},
    {"e.krx", "for (\nx y; ;) {}", "e.krx(1) : invalid expression inside (...)"},
    {"e.krx", "switch (v) {\n case 1:\n while }", "e.krx(2) : unexpected end of switch block"},
    {"e.krx", "switch (v) {\n case 1: while\n case 2: }", "e.krx(3) : unexpected end of switch block"},
    {"e.krx", "switch (v) { case", "e.krx(1) : unexpected end of switch block"},
    {"e.krx", "switch (v) {\n case : }", "e.krx(2) : unexpected to parse case constant"},
    {"e.krx", "switch (v) {\n case 1 x = 2; }", "e.krx(2) : ':' unexpected after case expression"},
    {"e.krx", "switch (v) {\n x = 1; case 1: }", "e.krx(2) : missing case expression"},
    {"e.krx", "function",
     "e.krx(1) : Error while parsing 'function declaration' : function type is missing"},
    {"e.krx", "function int\n(a) {}", "e.krx(2) : Error while parsing 'function declaration' : invalid function name"},
    {"e.krx", "function f", "e.krx(1) : Error while parsing 'function declaration' : uncomplete"},
    {"e.krx", "function f\n{}", "e.krx(2) : function parameters expected here"},
    {"e.krx", "function f(int a,\n int b c) {}", "e.krx(2) : invalid parameter declaration"},
    {"e.krx", "function f(a) {}", "e.krx(1) : 'a' is not a valid variable type."},
    {"e.krx", "int a,\n;", "e.krx(1) : lvalue expected after type 'int'"},
    {"e.krx", "int;", "e.krx(1) : lvalue expected after type 'int'"},
    {"e.lua", "function M::f(a) end", "e.lua(1) : unexpected module information found"},
    // only the first parser error of a compile is shown
    {"e.krx", "f(1 2, 3);\nx = (;", "e.krx(1) : Unable to interpret the 1 parameter of the parenthesis from f."},
    // nesting is bounded with a message instead of exhausting the stack
    {"e.krx", Repeat("{", 1000) + Repeat("}", 1000), "e.krx(1) : nesting too deep (more than 400 levels)"},
    {"e.krx", "x = " + Repeat("f(", 1000) + "1" + Repeat(")", 1000) + ";",
     "e.krx(1) : nesting too deep (more than 400 levels)"},
    {"e.krx", "x = " + Repeat("a[", 1000) + "1" + Repeat("]", 1000) + ";",
     "e.krx(1) : nesting too deep (more than 400 levels)"},
    {"e.krx", Repeat("if (x) ", 1000) + "y = 1;", "e.krx(1) : nesting too deep (more than 400 levels)"},
    {"e.krx", "x = a" + Repeat(" + a", 1000) + ";", "e.krx(1) : nesting too deep (more than 400 levels)"},
    // parentheses count as levels too, however they are reduced
    {"e.krx", "x = " + Repeat("(", 500) + "1" + Repeat(")", 500) + ";",
     "e.krx(1) : nesting too deep (more than 400 levels)"},
    {"e.krx", "x = " + Repeat("(", 16000) + "1" + Repeat(")", 16000) + ";",
     "e.krx(1) : nesting too deep (more than 400 levels)"},
    {"e.krx", "x = f(" + Repeat("(", 450) + "1" + Repeat(")", 450) + ");",
     "e.krx(1) : nesting too deep (more than 400 levels)"},
};

TEST(FrontEndErrors, EachMessageIsReportedExactlyOnceAndFailsTheCompile) {
  KRX::ScriptSystem::Init();
  for (const st_ErrorCase& c : kCases) {
    SCOPED_TRACE(c.source.substr(0, 60));
    krxfront::st_FrontEnd result = krxfront::RunStages(c.file, c.source.c_str());
    EXPECT_FALSE(result.lexed && result.parsed);
    EXPECT_EQ(std::string(c.expected) + "\n", result.messages);
  }
  KRX::ScriptSystem::Shutdown();
}

TEST(FrontEndErrors, DeepButBoundedSourcesStillCompile) {
  KRX::ScriptSystem::Init();
  const std::string sources[] = {
      Repeat("{", 100) + Repeat("}", 100),
      "x = " + Repeat("(", 100) + "1" + Repeat(")", 100) + ";",
      "x = " + Repeat("(", 390) + "1" + Repeat(")", 390) + ";",
      "x = " + Repeat("f(", 100) + "1" + Repeat(")", 100) + ";",
      "x = a" + Repeat(" + a", 300) + ";",
      "x = " + Repeat("- ", 200) + "1;",
      "x = " + Repeat("-", 200) + "1;",  // every split into "--" and "-" is a candidate
  };
  for (const std::string& source : sources) {
    SCOPED_TRACE(source.substr(0, 60));
    krxfront::st_FrontEnd result = krxfront::RunStages("deep.krx", source.c_str());
    EXPECT_TRUE(result.lexed && result.parsed) << result.messages;
  }
  KRX::ScriptSystem::Shutdown();
}

}  // namespace
