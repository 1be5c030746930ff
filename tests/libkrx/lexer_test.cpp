// What the golden dumps do not show: token lines, the clock values, re-runs over one unit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/String.h"
#include "parser_support.h"

using KRX::SyntaxNode;

namespace {

struct st_Token {
  std::string text;
  int line;
};

std::vector<st_Token> Lex(const char* source, bool* ok = nullptr, const char* file = "t.krx") {
  KRX::SyntaxUnit unit;
  unit.m_fileName = file;
  unit.m_moduleName = "t";
  unit.m_source = source;
  unit.m_lua = std::string(file).find(".lua") != std::string::npos;
  krxfront::CaptureOutput();
  bool result = KRX::Lexer::Run(unit);
  if (ok) *ok = result;
  std::vector<st_Token> tokens;
  for (const SyntaxNode* t = unit.m_tokens->GetFirstChild(); t; t = t->GetNext()) {
    KRX::Var v = t->GetValue();
    std::string text = t->GetSubType() == KRX::OS_LITERAL || t->GetSubType() == KRX::OS_VAR ? v.ToText().c_str()
                                                                                            : t->GetRowText();
    tokens.push_back({text, t->GetLine()});
  }
  return tokens;
}

// True when `text` has `shape`'s length, its separators where `shape` has them, and each digit
// no larger than `shape`'s digit at that place ("29:59:69" takes any hh:mm:ss).
bool HasShape(const std::string& text, const std::string& shape) {
  if (text.size() != shape.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool digit = shape[i] >= '0' && shape[i] <= '9';
    if (digit ? text[i] < '0' || text[i] > shape[i] : text[i] != shape[i]) return false;
  }
  return true;
}

TEST(Lexer, TokensCarryTheLineTheyStartOn) {
  auto tokens = Lex("a\n\"one\ntwo\nthree\" b\n\n  c // d\n/* e\n*/ f");
  ASSERT_EQ(5u, tokens.size());
  EXPECT_EQ(1, tokens[0].line);
  EXPECT_EQ("one\ntwo\nthree", tokens[1].text);
  EXPECT_EQ(2, tokens[1].line);
  EXPECT_EQ("b", tokens[2].text);
  EXPECT_EQ(4, tokens[2].line);
  EXPECT_EQ(6, tokens[3].line);
  EXPECT_EQ(8, tokens[4].line);
  tokens = Lex("a\n\"one\ntwo\" /*\n*/ f @LINENUMBER");
  ASSERT_EQ(4u, tokens.size());
  EXPECT_EQ(4, tokens[2].line);
  EXPECT_EQ("4", tokens[3].text);
}

TEST(Lexer, ClockValuesHaveTheirFixedShapes) {
  auto tokens = Lex("@TIME @DATE @VERSION @MODULE");
  ASSERT_EQ(4u, tokens.size());
  EXPECT_TRUE(HasShape(tokens[0].text, "29:59:69")) << tokens[0].text;
  EXPECT_TRUE(HasShape(tokens[1].text, "19/39/99")) << tokens[1].text;
  EXPECT_EQ("34", tokens[2].text);
  EXPECT_EQ("t", tokens[3].text);
}

TEST(Lexer, StopsAtTheFirstErrorKeepingEarlierTokens) {
  bool ok = true;
  auto tokens = Lex("a = 1;\nb = @NOPE; c", &ok);
  EXPECT_FALSE(ok);
  // The system value's token is still made before the scan stops.
  ASSERT_EQ(7u, tokens.size());
  EXPECT_EQ("NULL", tokens[6].text);
  EXPECT_EQ("t.krx(2) : unknown sys variable NOPE\n", krxfront::CapturedText());
}

// A quote or a block comment left open is an error that says so, not a brace the parser misses
// later on; a quote inside a comment is part of the comment.
TEST(Lexer, UnterminatedStringsAndCommentsAreNamed) {
  const struct {
    const char* source;
    size_t tokens;
    const char* message;
  } cases[] = {
      {"a \" b /* c", 1, "t.krx(1) : unterminated string (no closing '\"')\n"},
      {"a = 1;\nb /* c\n d", 5, "t.krx(3) : unterminated comment (no closing '*/')\n"},
      {"a /* \" */ b", 2, ""},
  };
  for (const auto& c : cases) {
    bool ok = true;
    auto tokens = Lex(c.source, &ok);
    EXPECT_EQ(ok, *c.message == 0) << c.source;
    EXPECT_EQ(tokens.size(), c.tokens) << c.source;
    EXPECT_EQ(krxfront::CapturedText(), c.message) << c.source;
  }
}

TEST(Lexer, QualifiedNameAfterAnOperatorIsAnOperand) {
  bool ok = false;
  auto tokens = Lex("x = Castle::Open() - Town::gate;", &ok);
  EXPECT_TRUE(ok) << krxfront::CapturedText();
  ASSERT_EQ(10u, tokens.size());
  EXPECT_EQ("=", tokens[1].text);
  EXPECT_EQ("-", tokens[6].text);
}

TEST(Lexer, ARunReplacesThePreviousTokenList) {
  KRX::SyntaxUnit unit;
  unit.m_fileName = "t.krx";
  unit.m_source = "a b c";
  ASSERT_TRUE(KRX::Lexer::Run(unit));
  KRX::SyntaxNodePtr first = unit.m_tokens;
  unit.m_source = "d";
  ASSERT_TRUE(KRX::Lexer::Run(unit));
  EXPECT_NE(first.get(), unit.m_tokens.get());
  EXPECT_EQ(1, unit.m_tokens->GetChildCount());
  // Values of the first list still point into the unit's pool.
  EXPECT_STREQ("a", first->GetFirstChild()->GetText());
}

}  // namespace
