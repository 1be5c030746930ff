// The first stage of the script compiler: turns the whole source text of one compile unit into
// tokens, matching keywords, type names, operators and punctuation against the operation table.
// Whether "+" or "-" is unary or binary, prefix or postfix, is decided here by what precedes the
// mark and by peeking at the token after it. TokenStream keeps the tokens compact (where each
// starts, its row) and makes token nodes from them on demand; Lexer::Run makes them all at once.
#pragma once

#include <cstdint>
#include <memory>
#include <deque>
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
class TokenStream {
 public:
  explicit TokenStream(SyntaxUnit& unit);
  ~TokenStream();
  TokenStream(const TokenStream&) = delete;
  TokenStream& operator=(const TokenStream&) = delete;

  // Scans the unit's whole source; true when no error was reported. After an error the tokens
  // scanned so far stay.
  bool Scan();

  size_t GetCount() const { return m_tokens.size(); }
  // The operation row of token i (i < GetCount()).
  const t_Operation& GetRow(size_t i) const { return g_Operations[m_tokens[i].row]; }
  // Gives token i the row of that index (the parser marks names before "(" as function names).
  void SetRow(size_t i, int rowIndex) { m_tokens[i].row = uint16_t(rowIndex); }
  // The line token i starts on.
  int GetLine(size_t i);
  // A new node for token i with its row, value and line, no links. Cheapest in source order.
  SyntaxNodePtr MakeNode(size_t i);

 private:
  struct st_Token {
    uint32_t offsetLow;  // 48-bit source offset: sources are not bounded to 4 GiB
    uint16_t offsetHigh;
    uint16_t row;
    size_t Offset() const { return size_t(offsetLow) | (size_t(offsetHigh) << 32); }
  };
  class cl_Scanner;

  std::unique_ptr<cl_Scanner> m_scanner;
  std::deque<st_Token> m_tokens;  // blocks, not one array: no copy, no unused half while it grows
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
