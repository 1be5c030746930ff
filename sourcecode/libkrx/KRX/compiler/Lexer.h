// The first stage of the script compiler: turns the whole source text of one compile unit into
// tokens, matching keywords, type names, operators and punctuation against the operation table.
// Whether "+" or "-" is unary or binary, prefix or postfix, is decided here by what precedes the
// mark and by peeking at the token after it. TokenStream keeps the tokens compact (where each
// starts, its row) and makes token nodes from them on demand; Lexer::Run makes them all at once.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "KRX/ScriptSystem.h"
#include "KRX/compiler/SyntaxNode.h"
#include "KRX/compiler/TextPool.h"

namespace KRX {

// The compile unit as the front end sees it: the driver's unit plus the token list, the syntax
// tree and the pool of texts that token values point into.
struct SyntaxUnit : CompileUnit {
  SyntaxNodePtr m_tokens;  // "rem" root; its children are the tokens in source order
  SyntaxNodePtr m_tree;    // "grammar" root built by the parser
  TextPool m_textPool;

  // A NUL-terminated copy of n bytes of text that lives as long as the unit (shared by equal texts).
  const char* PoolText(const char* text, size_t n) { return m_textPool.Intern(text, n); }
};

// The tokens of one unit's source, eight bytes each; a node for a token is made when asked for.
// The Lua rewrite (DeLua.h) edits them in this form: a token it makes or gives another value
// keeps that value and its line beside the stream.
class TokenStream {
 public:
  explicit TokenStream(SyntaxUnit& unit);
  ~TokenStream();
  TokenStream(const TokenStream&) = delete;
  TokenStream& operator=(const TokenStream&) = delete;

  // Scans the unit's whole source; true when no error was reported. After an error the tokens
  // scanned so far stay.
  bool Scan();

  size_t GetCount() const { return m_first + m_tokens.size(); }
  // The operation row of token i (m_first <= i < GetCount()).
  const t_Operation& GetRow(size_t i) const { return g_Operations[At(i).row]; }
  // Gives token i the row of that index (the parser marks names before "(" as function names).
  void SetRow(size_t i, int rowIndex) { m_tokens[i - m_first].row = uint16_t(rowIndex); }
  // The line token i starts on.
  int GetLine(size_t i);
  // The text the node of token i holds when it is a name or a word (a variable, a keyword, a made
  // token's text); empty for other tokens.
  std::string_view GetName(size_t i) const;
  // A new node for token i with its row, value and line, no links. Cheapest in source order.
  SyntaxNodePtr MakeNode(size_t i);
  // A "rem" root holding a node of every token, in order (the whole-file stages' token list).
  SyntaxNodePtr MakeList();
  // The tokens before i are not asked for again (a parse that made their nodes): they go, so
  // that a large script's tokens do not outlast their statements.
  void DropBefore(size_t i);

  // ---- edits of the Lua rewrite: it copies tokens, changed or not, into a new sequence
  struct st_Token {
    uint32_t offsetLow;   // source offset: 46 bits with the low bits of offsetHigh; a made token's index
    uint16_t offsetHigh;  // the two top bits: kMade, kNameValue
    uint16_t row;
  };
  using tTokens = std::deque<st_Token>;
  const st_Token& GetToken(size_t i) const { return At(i); }
  // Token i with the row of rowIndex, its value still the name it was scanned as ("then" made a
  // brace keeps the text "then").
  st_Token WithRow(size_t i, int rowIndex) const;
  // A token of the row of rowIndex on line whose value is a copy of text (nil for null text).
  // text must live as long as the unit: a literal or a text of its pool.
  st_Token Make(int rowIndex, const char* text, int line);
  // The rewritten sequence becomes the stream (read from its first token; none dropped yet).
  void Replace(tTokens&& tokens);

 private:
  const st_Token& At(size_t i) const { return m_tokens[i - m_first]; }

  // A token made or given another value: its value's text (null: nil) and its line.
  struct st_Made {
    const char* text;
    int line;
  };
  class cl_Scanner;

  std::unique_ptr<cl_Scanner> m_scanner;
  tTokens m_tokens;    // blocks, not one array: no copy, no unused half while it grows
  size_t m_first = 0;  // the index of m_tokens' first token: those before it were dropped
  // In the order of the tokens that hold them, so that they are dropped with those.
  std::deque<st_Made> m_made;
  size_t m_madeFirst = 0;
  // Where the line count stands: lines are counted forward from the last token asked about.
  size_t m_lineOffset = 0;
  int m_line = 1;
};

class Lexer {
 public:
  // Lexes unit.m_source into a new token list (replacing an older one) of a node per token; true
  // when no error was reported. After an error the list keeps the tokens made so far.
  static bool Run(SyntaxUnit& unit);

  // The longest run of operator marks whose kinds the lexer resolves by peeking ahead; a longer
  // run is a compile error instead of a deep recursion.
  static constexpr int kMaxOperatorRun = 256;
};

}  // namespace KRX
