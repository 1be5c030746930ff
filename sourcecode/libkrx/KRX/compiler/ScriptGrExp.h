// ScriptGrExp: the script compiler's parser. A hand-written recursive descent over the token
// list for statements; expressions are first measured by a small recogniser, then their tokens
// are copied into an "exp" node and split recursively at the operator that binds least.
// Most leaves of the tree are deep copies of tokens, so the token list stays intact apart
// from the pre-pass (module qualifiers move under their names, names before "(" become
// function names).
//
// Every parse function takes a first token, a stop token (nothing at or beyond it is consumed;
// null for none) and a parent (null: check the syntax only, build nothing), and returns the
// last token it consumed, or null on failure.
//
// The tree (kind = en_OpType, "text" = the value's text; token copies keep row and value):
//   root             rem "grammar": the top-level statements in source order
//   block            chunk "": its statements
//   expression       exp "(...)": one operand, or an operator followed by its operands
//   if               chunk "if": chunk[exp cond], chunk[then statement], chunk[else statement or empty]
//   while            chunk "while": chunk[exp cond], body statement
//   for              chunk "for": params "" [one exp per header part, empty when left out], body
//   switch           chunk "switch": exp value, then per label a kw node "case" [exp constant,
//                    statements...] or "default" [statements...]
//   function         funcdef "<name>": [type "<type>"], params "Func()" [declarations, each
//                    default as an exp after its new], body statement
//   declaration      new "": type "<type>", lval [name copy (+ exp child for an index)];
//                    an initialiser follows as an exp holding the whole assignment
//   return           sys/return node: [exp] ; break, breakout, continue: copies of their tokens
// Operators in an exp: binary = operator, val 0 [left], val 1 [right]; prefix = [children before
// it], operator, val 0; postfix = operator, val 0. Operands: literal copy (row "d"), name copy
// (row "var"; module qualifier child, index exp child), call (row "func"; qualifier child, last
// child params "parambracket" with one exp per argument; a left-out argument is an exp holding a
// literal of type ignore), group (params "parambracket", one exp per comma-separated part).
// Assignments are binary operators of subtype 5 whose command (230-240) tells which.
#pragma once

#include <cstdarg>

#include "KRX/compiler/SyntaxNode.h"

namespace KRX {

struct SyntaxUnit;
class SyntaxNode;
class TokenStream;
struct t_Operation;

class ScriptGrExp {
 public:
  // Parsing deeper than this (nested blocks, statements, groups, calls, indexes, parentheses and
  // the operator levels of one expression together) is a compile error, not a stack overflow.
  static constexpr int kMaxDepth = 400;

  explicit ScriptGrExp(SyntaxUnit& unit) : m_unit(unit) {}

  // Builds unit.m_tree from unit.m_tokens; false after the first error (the tree built so far
  // stays in the unit).
  bool Parse();
  // Convenience: ScriptGrExp(unit).Parse().
  static bool Parse(SyntaxUnit& unit);

  // ---- statement by statement
  // A parse that makes token nodes from stream as it reads on, so that unit.m_tokens holds only
  // the tokens not yet consumed. Starts new token and tree roots and runs Parse's pre-pass over
  // the whole stream; false (reported) on a qualifier without a name after it.
  bool BeginStream(TokenStream& stream);
  enum class en_Step { STATEMENT, END, FAILED };
  // Parses the next top-level statement into unit.m_tree (after what is there) and drops the
  // tokens it consumed. FAILED after a reported error; HasError() may also be true after a
  // STATEMENT (an error the parse could go on from), which fails the parse all the same.
  en_Step ParseNextStatement();

  // The root operation of an expression node: the operator child that binds least (greatest
  // priority; the later one among equals unless it groups right to left). Null when none.
  static SyntaxNode* _FindOperation(SyntaxNode* node);

  // Reports "file(line) : message" for the first error of the parse only.
  void Error(int line, const char* format, ...) __attribute__((format(printf, 3, 4)));
  bool HasError() const { return m_error; }

 private:
  SyntaxNode* ParseStatement(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent);
  SyntaxNode* ParseBlock(SyntaxNode* brace, SyntaxNode* stop, SyntaxNode* parent);
  SyntaxNode* ParseExpression(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent);
  SyntaxNode* FindExpressionEnd(SyntaxNode* token, SyntaxNode* stop);
  SyntaxNode* ParseVariable(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent);
  SyntaxNode* ParseCall(SyntaxNode* target, SyntaxNode* function, SyntaxNode* stop);
  SyntaxNode* ParseParenList(SyntaxNode* target, SyntaxNode* open, SyntaxNode* stop, const char* name);
  bool BuildExpression(SyntaxNode* node);
  SyntaxNode* ParseIf(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent);
  SyntaxNode* ParseWhile(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent);
  SyntaxNode* ParseFor(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent);
  SyntaxNode* ParseSwitch(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent);
  SyntaxNode* ParseFunction(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent);
  SyntaxNode* ParseParameters(SyntaxNode* target, SyntaxNode* open, SyntaxNode* stop);
  SyntaxNode* ParseDeclaration(SyntaxNode* type, SyntaxNode* stop, SyntaxNode* parent);
  SyntaxNode* ParseReturn(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent);

  bool PrePass(SyntaxNode* tokens);
  // The token or node after node; at the end of a streamed token list, the next token made.
  SyntaxNode* Next(SyntaxNode* node);
  SyntaxNode* PullToken();
  // Enters one nesting level; false (with the error reported) past kMaxDepth.
  bool Enter(const SyntaxNode* at);
  // A copy of token with its children for an expression node. While an expression is being
  // reduced its source tokens are discarded afterwards, so the children are moved, not copied:
  // deep copies at every level of nested groups would cost the square of their depth.
  SyntaxNodePtr TakeToken(SyntaxNode* token) const;
  void VError(int line, const char* format, va_list args);

  class cl_Level;

  SyntaxUnit& m_unit;
  bool m_error = false;
  int m_depth = 0;
  bool m_reducing = false;  // inside BuildExpression: see TakeToken
  TokenStream* m_stream = nullptr;  // set by BeginStream
  size_t m_nextToken = 0;           // the stream's next token to make
};

}  // namespace KRX
