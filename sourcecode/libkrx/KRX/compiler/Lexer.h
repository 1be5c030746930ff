// The first stage of the script compiler: turns the whole source text of one compile unit into a
// flat list of token nodes, matching keywords, type names, operators and punctuation against
// the operation table. Whether "+" or "-" is unary or binary, prefix or postfix, is decided here
// by what precedes the mark and by peeking at the token after it.
#pragma once

#include <memory>
#include <vector>

#include "KRX/ScriptSystem.h"
#include "KRX/compiler/SyntaxNode.h"

namespace KRX {

// The compile unit as the front end sees it: the driver's unit plus the token list, the syntax
// tree and the pool of texts that token values point into.
struct SyntaxUnit : CompileUnit {
  SyntaxNodePtr m_tokens;  // "rem" root; its children are the tokens in source order
  SyntaxNodePtr m_tree;    // "grammar" root built by the parser
  std::vector<std::unique_ptr<char[]>> m_textPool;

  // A NUL-terminated copy of n bytes of text that lives as long as the unit.
  const char* PoolText(const char* text, size_t n);
};

class Lexer {
 public:
  // Lexes unit.m_source into a new token list (replacing an older one); true when no error was
  // reported. After an error the list keeps the tokens made so far.
  static bool Run(SyntaxUnit& unit);

  // The longest run of operator marks whose kinds the lexer resolves by peeking ahead; a longer
  // run is a compile error instead of a deep recursion.
  static constexpr int kMaxOperatorRun = 256;
};

}  // namespace KRX
