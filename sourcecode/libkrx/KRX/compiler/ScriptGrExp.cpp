#include "KRX/compiler/ScriptGrExp.h"

#include <algorithm>

#include "KRX/compiler/Lexer.h"

namespace KRX {

namespace {

bool Is(const SyntaxNode* node, int subType) { return node && node->GetSubType() == subType; }
bool HasText(const SyntaxNode* node, const char* text) { return SyntaxNode::HasText(node, text); }

// The text a message shows for a token: its name or keyword, else its written form.
const char* TextOf(const SyntaxNode* node) {
  if (!node) return "";
  if (const char* text = node->GetText()) return text;
  return node->GetRowText() ? node->GetRowText() : "";
}

SyntaxNode* Append(SyntaxNode* parent, const SyntaxNodePtr& node) {
  SyntaxNode::AppendChild(parent, node.get());
  return node.get();
}

// Appends a node of the given kind and text to parent; null (and nothing made) without parent.
// The text must outlive the tree (a literal or a row's text).
SyntaxNode* AppendNew(SyntaxNode* parent, int type, int subType, const char* text, int line) {
  if (!parent) return nullptr;
  return Append(parent, SyntaxNode::MakeLasting(type, subType, text, line));
}

// An exp node holding one literal: what an empty index or a left-out argument stands for.
SyntaxNodePtr MakeLiteralExp(const char* text, const Var& value, int line) {
  SyntaxNodePtr exp = SyntaxNode::MakeLasting(OT_EXP, 0, text, line);
  SyntaxNodePtr literal(new SyntaxNode(g_Operations[kRowLiteral], value));
  literal->SetLine(line);
  SyntaxNode::AppendChild(exp.get(), literal.get());
  return exp;
}

// Detaches the children from `from` through `to` (siblings, in order).
void DetachRange(SyntaxNode* from, SyntaxNode* to) {
  for (SyntaxNode* node = from; node;) {
    SyntaxNode* next = node->GetNext();
    const bool last = node == to;
    SyntaxNode::Detach(node);
    if (last) break;
    node = next;
  }
}

}  // namespace

// One level of nesting for the span of a parse function.
class ScriptGrExp::cl_Level {
 public:
  cl_Level(ScriptGrExp& parser, const SyntaxNode* at) : m_parser(parser), m_ok(parser.Enter(at)) {}
  ~cl_Level() { --m_parser.m_depth; }
  cl_Level(const cl_Level&) = delete;
  cl_Level& operator=(const cl_Level&) = delete;
  explicit operator bool() const { return m_ok; }

 private:
  ScriptGrExp& m_parser;
  bool m_ok;
};

bool ScriptGrExp::Enter(const SyntaxNode* at) {
  if (++m_depth <= kMaxDepth) return true;
  Error(at ? at->GetLine() : -1, "nesting too deep (more than %d levels)", kMaxDepth);
  return false;
}

// ---- errors

void ScriptGrExp::Error(int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  VError(line, format, args);
  va_end(args);
}

void ScriptGrExp::VError(int line, const char* format, va_list args) {
  if (!format || !*format || m_error) return;
  m_error = true;
  VReportFileError(m_unit.m_fileName.c_str(), line, format, args);
}

// ---- driver

bool ScriptGrExp::Parse(SyntaxUnit& unit) {
  ScriptGrExp parser(unit);
  return parser.Parse();
}

bool ScriptGrExp::Parse() {
  SyntaxNode* tokens = m_unit.m_tokens.get();
  if (!tokens) return false;
  m_unit.m_tree = SyntaxNode::Make(OT_REM, 0, "grammar", -1);
  if (!PrePass(tokens)) return false;
  for (SyntaxNode* token = tokens->GetFirstChild(); token;) {
    SyntaxNode* last = ParseStatement(token, nullptr, m_unit.m_tree.get());
    if (!last) return false;
    token = Next(last);
  }
  // A message reported where a caller could go on (a return without a valid value) still
  // fails the parse.
  return !m_error;
}

// ---- statement by statement

bool ScriptGrExp::BeginStream(TokenStream& stream) {
  m_stream = &stream;
  m_nextToken = 0;
  m_unit.m_tokens = SyntaxNode::Make(OT_REM, 0, nullptr, -1);
  m_unit.m_tree = SyntaxNode::Make(OT_REM, 0, "grammar", -1);
  // The pre-pass of Parse over the compact tokens, in the same order, so that the same first
  // error is found; qualifiers move under their names as the tokens are made (PullToken).
  const size_t count = stream.GetCount();
  for (size_t i = 0; i < count; ++i) {
    const t_Operation& row = stream.GetRow(i);
    if (row.subType == OS_MODULE) {
      if (i + 1 >= count || stream.GetRow(i + 1).type != OT_ID || stream.GetRow(i + 1).subType != OS_VAR) {
        Error(stream.GetLine(i), "unexpected module information found");
        return false;
      }
    } else if (row.subType == OS_LPAREN && i > 0 && stream.GetRow(i - 1).subType == OS_VAR) {
      stream.SetRow(i - 1, kRowFunc);
    }
  }
  return true;
}

ScriptGrExp::en_Step ScriptGrExp::ParseNextStatement() {
  SyntaxNode* tokens = m_unit.m_tokens.get();
  SyntaxNode* token = tokens ? tokens->GetFirstChild() : nullptr;
  if (!token) token = PullToken();
  if (!token) return en_Step::END;
  SyntaxNode* last = ParseStatement(token, nullptr, m_unit.m_tree.get());
  if (!last) return en_Step::FAILED;
  // The statement's tokens are done with; only those read ahead stay. A statement always ends
  // on a token of the list; were it not so, the same statement would be parsed forever.
  if (last->GetParent() != tokens) {
    Error(last->GetLine(), "Unable to parse expression");
    return en_Step::FAILED;
  }
  for (SyntaxNode* t = tokens->GetFirstChild(); t;) {
    SyntaxNode* next = t->GetNext();
    const bool done = t == last;
    SyntaxNode::Detach(t);
    if (done) break;
    t = next;
  }
  // Those made into nodes, read ahead or not, are not asked for again.
  if (m_stream) m_stream->DropBefore(m_nextToken);
  return en_Step::STATEMENT;
}

SyntaxNode* ScriptGrExp::PullToken() {
  if (!m_stream || m_nextToken >= m_stream->GetCount()) return nullptr;
  SyntaxNodePtr token = m_stream->MakeNode(m_nextToken++);
  if (token->GetSubType() == OS_MODULE && m_nextToken < m_stream->GetCount()) {
    SyntaxNodePtr name = m_stream->MakeNode(m_nextToken++);
    SyntaxNode::AppendChild(name.get(), token.get());
    token = name;
  }
  SyntaxNode::AppendChild(m_unit.m_tokens.get(), token.get());
  return token.get();
}

SyntaxNode* ScriptGrExp::Next(SyntaxNode* node) {
  SyntaxNode* next = node->GetNext();
  if (next || !m_stream || node->GetParent() != m_unit.m_tokens.get()) return next;
  return PullToken();
}

bool ScriptGrExp::PrePass(SyntaxNode* tokens) {
  for (SyntaxNode* token = tokens->GetFirstChild(); token;) {
    SyntaxNode* next = Next(token);
    if (token->GetSubType() == OS_MODULE) {
      if (!next || next->GetType() != OT_ID || next->GetSubType() != OS_VAR) {
        Error(token->GetLine(), "unexpected module information found");
        return false;
      }
      SyntaxNode::AppendChild(next, token);
    } else if (token->GetSubType() == OS_LPAREN && Is(token->GetPrev(), OS_VAR)) {
      token->GetPrev()->SetOperation(g_Operations[kRowFunc]);
    }
    token = next;
  }
  return true;
}

// ---- statements

SyntaxNode* ScriptGrExp::ParseStatement(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent) {
  if (!token || token == stop) return nullptr;
  cl_Level level(*this, token);
  if (!level) return nullptr;
  const int line = token->GetLine();
  const int subType = token->GetSubType();
  if (subType == OS_LBRACE) return ParseBlock(token, stop, parent);
  if (subType == OS_KEYWORD || subType == OS_FUNC) {
    if (HasText(token, "for")) {
      SyntaxNode* last = ParseFor(token, stop, parent);
      if (!last) Error(line, "Error while parsing for loop");
      return last;
    }
    if (HasText(token, "if")) {
      SyntaxNode* last = ParseIf(token, stop, parent);
      if (!last) Error(line, "Error while parsing if expression");
      return last;
    }
    if (HasText(token, "while")) return ParseWhile(token, stop, parent);
    if (HasText(token, "function")) return ParseFunction(token, stop, parent);
    if (HasText(token, "switch")) return ParseSwitch(token, stop, parent);
  }
  switch (subType) {
    case OS_SEMICOLON:
      return token;
    case OS_TYPENAME: {
      SyntaxNode* last = ParseDeclaration(token, stop, parent);
      if (!last) Error(line, "Error while parsing declaration");
      return last;
    }
    case OS_RETURN:
      return ParseReturn(token, stop, parent);
    case OS_BREAK:
    case OS_BREAKOUT:
    case OS_CONTINUE:
      if (parent) Append(parent, token->Clone(true));
      return token;
    default:
      break;
  }
  SyntaxNode* last = ParseExpression(token, stop, nullptr);
  if (!last) {
    Error(line, "Unable to parse expression");
    return nullptr;
  }
  if (parent && !ParseExpression(token, stop, parent)) return nullptr;
  return last;
}

// block -> "{" statement* "}"
SyntaxNode* ScriptGrExp::ParseBlock(SyntaxNode* brace, SyntaxNode* stop, SyntaxNode* parent) {
  SyntaxNode* chunk = AppendNew(parent, OT_CHUNK, 0, nullptr, brace->GetLine());
  SyntaxNode* match = nullptr;
  int count = 0;
  for (SyntaxNode* token = brace; token; token = Next(token)) {
    if (token == stop) {
      match = stop;
      break;
    }
    if (Is(token, OS_LBRACE)) ++count;
    if (Is(token, OS_RBRACE)) --count;
    if (count == 0) {
      match = token;
      break;
    }
  }
  if (!match) {
    Error(brace->GetLine(), "unable to find matching '}'");  // PAIRING
    return nullptr;
  }
  for (SyntaxNode* token = Next(brace); token != match;) {
    if (!token) return nullptr;
    SyntaxNode* last = ParseStatement(token, match, chunk);
    if (!last) return nullptr;
    if (last == match || Next(last) == match) break;
    token = Next(last);
  }
  return match;
}

// if -> "if" condition statement ["else" statement]
SyntaxNode* ScriptGrExp::ParseIf(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent) {
  if (!HasText(token, "if")) return nullptr;
  const int line = token->GetLine();
  SyntaxNode* ifChunk = AppendNew(parent, OT_CHUNK, 0, "if", line);
  SyntaxNode* condition = AppendNew(ifChunk, OT_CHUNK, 0, nullptr, line);
  SyntaxNode* thenChunk = AppendNew(ifChunk, OT_CHUNK, 0, nullptr, line);
  SyntaxNode* elseChunk = AppendNew(ifChunk, OT_CHUNK, 0, nullptr, line);
  SyntaxNode* last = ParseExpression(Next(token), stop, condition);
  if (!last || last == stop) return nullptr;
  last = ParseStatement(Next(last), stop, thenChunk);
  if (!last) return nullptr;
  SyntaxNode* next = Next(last);
  // Jumps and a bare "return" leave their ";" standing, so "if (c) break; else ..." meets it
  // before the "else".
  if (last != stop && Is(next, OS_SEMICOLON) && next != stop) {
    SyntaxNode* after = Next(next);
    if (after && after != stop && HasText(after, "else")) {
      last = next;
      next = after;
    }
  }
  if (last != stop && next && next != stop && HasText(next, "else"))
    last = ParseStatement(Next(next), stop, elseChunk);
  return last;
}

// while -> "while" condition statement
SyntaxNode* ScriptGrExp::ParseWhile(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent) {
  SyntaxNode* whileChunk = AppendNew(parent, OT_CHUNK, 0, "while", token->GetLine());
  SyntaxNode* condition = AppendNew(whileChunk, OT_CHUNK, 0, nullptr, token->GetLine());
  SyntaxNode* last = ParseExpression(Next(token), stop, condition);
  if (!last || last == stop) return nullptr;
  return ParseStatement(Next(last), stop, whileChunk);
}

// for -> "for" "(" [expression] ";" [expression] ";" [expression] ")" statement
SyntaxNode* ScriptGrExp::ParseFor(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent) {
  SyntaxNode* forChunk = AppendNew(parent, OT_CHUNK, 0, "for", token->GetLine());
  SyntaxNode* open = Next(token);
  if (!open || open == stop || !Is(open, OS_LPAREN)) {
    if (parent) Error(open ? open->GetLine() : token->GetLine(), "chunk bracket missing");
    return nullptr;
  }
  SyntaxNode* params = AppendNew(forChunk, OT_PARAMS, 0, nullptr, open->GetLine());
  SyntaxNode* close = nullptr;
  SyntaxNode* partStart = Next(open);
  int depth = 0;
  for (SyntaxNode* t = Next(open); t && t != stop; t = Next(t)) {
    bool delimiter = false;
    if (Is(t, OS_LPAREN)) {
      ++depth;
    } else if (Is(t, OS_RPAREN)) {
      if (depth == 0) {
        close = t;
        delimiter = true;
      } else
        --depth;
    } else if (Is(t, OS_SEMICOLON) && depth == 0) {
      delimiter = true;
    }
    if (!delimiter) continue;
    if (partStart != t) {
      SyntaxNode* last = ParseExpression(partStart, t, params);
      if (!last || (last != t && Next(last) != t)) {
        if (parent) Error(open->GetLine(), "invalid expression inside (...)");
        return nullptr;
      }
    } else if (close != t || (params && params->GetFirstChild())) {
      // An empty part keeps its place, so the parts after it keep their roles ("for (;c;)").
      AppendNew(params, OT_EXP, 0, "(...)", t->GetLine());
    }
    if (close) break;
    partStart = Next(t);
  }
  if (!close) return nullptr;
  return ParseStatement(Next(close), stop, forChunk);
}

namespace {
bool IsLabel(const SyntaxNode* token) {
  return Is(token, OS_KEYWORD) && (HasText(token, "case") || HasText(token, "default"));
}
}  // namespace

// switch -> "switch" "(" expression ")" "{" { ("case" expression | "default") ":" statement* } "}"
SyntaxNode* ScriptGrExp::ParseSwitch(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent) {
  if (!HasText(token, "switch")) return nullptr;
  SyntaxNode* switchChunk = AppendNew(parent, OT_CHUNK, 0, "switch", token->GetLine());
  SyntaxNode* open = Next(token);
  if (!open || open == stop || !Is(open, OS_LPAREN)) return nullptr;
  SyntaxNode* value = ParseExpression(Next(open), stop, switchChunk);
  if (!value || value == stop) return nullptr;
  SyntaxNode* close = Next(value);
  if (!close || close == stop || !Is(close, OS_RPAREN)) return nullptr;
  SyntaxNode* brace = Next(close);
  if (!brace || brace == stop || !Is(brace, OS_LBRACE)) return nullptr;

  // The statements of one case, from the token after its ":" up to the next label or brace.
  auto parseBody = [&](SyntaxNode* from, SyntaxNode* end, SyntaxNode* caseNode) {
    for (SyntaxNode* t = from; t != end;) {
      if (!t) return false;
      SyntaxNode* last = ParseStatement(t, end, caseNode);
      if (!last) return false;
      if (last == end) break;
      t = Next(last);
    }
    return true;
  };

  SyntaxNode* caseNode = nullptr;
  SyntaxNode* colon = nullptr;  // of the current case; null before the first label
  int depth = 1;
  for (SyntaxNode* t = Next(brace);; t = Next(t)) {
    if (!t || t == stop) return nullptr;
    if (depth == 1 && IsLabel(t)) {
      if (colon && !parseBody(Next(colon), t, caseNode)) {
        Error(t->GetLine(), "unexpected end of switch block");
        return nullptr;
      }
      if (!Next(t) || Next(t) == stop) {
        Error(t->GetLine(), "unexpected end of switch block");
        return nullptr;
      }
      const bool isCase = HasText(t, "case");
      SyntaxNode* label = AppendNew(switchChunk, 0, OS_KEYWORD, isCase ? "case" : "default", t->GetLine());
      SyntaxNode* after = t;
      if (isCase) {
        after = ParseExpression(Next(t), stop, label);
        if (!after) {
          Error(t->GetLine(), "unexpected to parse case constant");
          return nullptr;
        }
      }
      SyntaxNode* mark = after == stop ? nullptr : Next(after);
      if (!mark || mark == stop || !Is(mark, OS_KEYWORD) || !HasText(mark, ":")) {
        Error(t->GetLine(), "':' unexpected after case expression");
        return nullptr;
      }
      caseNode = label;
      colon = mark;
      t = mark;
      continue;
    }
    if (depth == 1 && !colon && !Is(t, OS_RBRACE)) {
      Error(t->GetLine(), "missing case expression");
      return nullptr;
    }
    if (Is(t, OS_LBRACE)) ++depth;
    if (Is(t, OS_RBRACE) && --depth == 0) {
      if (colon && !parseBody(Next(colon), t, caseNode)) {
        Error(colon->GetLine(), "unexpected end of switch block");
        return nullptr;
      }
      return t;
    }
  }
}

// function -> "function" [type] name "(" [declaration {"," declaration}] ")" statement
SyntaxNode* ScriptGrExp::ParseFunction(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent) {
  SyntaxNode* next = Next(token);
  if (!next || next == stop) {
    Error(next ? next->GetLine() : token->GetLine(),
          "Error while parsing 'function declaration' : function type is missing");
    return nullptr;
  }
  SyntaxNode* type = Is(next, OS_TYPENAME) ? next : nullptr;
  SyntaxNode* name = type ? Next(next) : next;
  if (!name || name == stop || name->GetType() != OT_ID) {
    Error(name ? name->GetLine() : next->GetLine(), "Error while parsing 'function declaration' : invalid function name");
    return nullptr;
  }
  // The name's text is copied: a token's value need not outlive the tree.
  SyntaxNode* funcdef =
      parent ? Append(parent, SyntaxNode::Make(OT_FUNCDEF, 0, TextOf(name), token->GetLine())) : nullptr;
  if (type) AppendNew(funcdef, OT_TYPE, 0, type->GetRowText(), token->GetLine());
  SyntaxNode* open = Next(name);
  if (!open || open == stop) {
    Error(open ? open->GetLine() : name->GetLine(), "Error while parsing 'function declaration' : uncomplete");
    return nullptr;
  }
  SyntaxNode* close = ParseParameters(funcdef, open, stop);
  if (!close) return nullptr;
  return ParseStatement(Next(close), stop, funcdef);
}

// parameters -> "(" [declaration {"," declaration}] ")"
SyntaxNode* ScriptGrExp::ParseParameters(SyntaxNode* target, SyntaxNode* open, SyntaxNode* stop) {
  if (!Is(open, OS_LPAREN)) {
    Error(open->GetLine(), "function parameters expected here");
    return nullptr;
  }
  SyntaxNode* params = AppendNew(target, OT_PARAMS, 0, "Func()", open->GetLine());
  SyntaxNode* partStart = Next(open);
  int depth = 0;
  for (SyntaxNode* t = Next(open); t && t != stop; t = Next(t)) {
    bool close = false;
    if (Is(t, OS_LPAREN)) {
      ++depth;
      continue;
    }
    if (Is(t, OS_RPAREN)) {
      if (depth > 0) {
        --depth;
        continue;
      }
      close = true;
    } else if (!Is(t, OS_COMMA) || depth > 0) {
      continue;
    }
    if (close && t == Next(open)) return t;  // "()": no parameter
    SyntaxNode* last = ParseDeclaration(partStart, t, params);
    if (!last || Next(last) != t) {
      Error(partStart ? partStart->GetLine() : open->GetLine(), "invalid parameter declaration");
      return nullptr;
    }
    if (close) return t;
    partStart = Next(t);
  }
  return nullptr;
}

// declaration -> type declarator {"," declarator};  declarator -> name ["[" [expression] "]"] [assign expression]
SyntaxNode* ScriptGrExp::ParseDeclaration(SyntaxNode* type, SyntaxNode* stop, SyntaxNode* parent) {
  if (!type || type == stop || !Is(type, OS_TYPENAME)) {
    Error(type ? type->GetLine() : -1, "'%s' is not a valid variable type.", TextOf(type));
    return nullptr;
  }
  SyntaxNode* lineToken = type;
  SyntaxNode* first = Next(type);
  for (;;) {
    SyntaxNode* newNode = AppendNew(parent, OT_NEW, 0, "", lineToken->GetLine());
    AppendNew(newNode, OT_TYPE, 0, type->GetRowText(), type->GetLine());
    SyntaxNode* variable = (first && first != stop) ? ParseVariable(first, stop, newNode) : nullptr;
    if (!variable) {
      Error(lineToken->GetLine(), "lvalue expected after type '%s'", TextOf(type));
      return nullptr;
    }
    SyntaxNode* end = variable;
    SyntaxNode* next = Next(variable);
    if (variable != stop && next && next != stop && Is(next, OS_ASSIGN)) {
      end = ParseExpression(first, stop, parent);
      if (!end) return nullptr;
    }
    SyntaxNode* comma = end == stop ? nullptr : Next(end);
    if (!comma || comma == stop || !Is(comma, OS_COMMA)) return end;
    lineToken = comma;
    first = Next(comma);
  }
}

// return -> "return" [expression]
SyntaxNode* ScriptGrExp::ParseReturn(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent) {
  SyntaxNode* node = AppendNew(parent, OT_SYS, OS_RETURN, nullptr, token->GetLine());
  SyntaxNode* last = ParseExpression(Next(token), stop, node);
  return last ? last : token;
}

// ---- expressions

SyntaxNode* ScriptGrExp::ParseExpression(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent) {
  if (token == stop) return token;
  if (!token) return nullptr;
  cl_Level level(*this, token);
  if (!level) return nullptr;
  SyntaxNode* end = FindExpressionEnd(token, stop);
  if (!end) return nullptr;
  if (parent) {
    // Parentheses are reduced one group at a time, not recursively; they count as levels all the same.
    int open = 0, deepest = 0;
    for (SyntaxNode* t = token;; t = Next(t)) {
      if (Is(t, OS_LPAREN)) deepest = std::max(deepest, ++open);
      if (Is(t, OS_RPAREN)) --open;
      if (t == end) break;
    }
    if (m_depth + deepest > kMaxDepth) {
      Error(token->GetLine(), "nesting too deep (more than %d levels)", kMaxDepth);
      return nullptr;
    }
    SyntaxNode* exp = Append(parent, SyntaxNode::MakeLasting(OT_EXP, 0, "(...)", token->GetLine()));
    for (SyntaxNode* t = token;; t = Next(t)) {
      SyntaxNode::AppendChild(exp, TakeToken(t).get());
      if (t == end) break;
    }
    if (!BuildExpression(exp)) return nullptr;
  }
  if (end != stop && Is(Next(end), OS_SEMICOLON)) return Next(end);
  return end;
}

// operand (postfix)* { binary operand (postfix)* }, each operand after prefix operators
SyntaxNode* ScriptGrExp::FindExpressionEnd(SyntaxNode* token, SyntaxNode* stop) {
  for (SyntaxNode* t = token;;) {
    while (t && t != stop && t->GetType() == OT_PREFIX) t = Next(t);
    if (!t || t == stop) return nullptr;
    SyntaxNode* end = nullptr;
    if (t->GetType() == OT_PARAMS) {
      end = t;
    } else if (Is(t, OS_FUNC)) {
      end = ParseCall(nullptr, t, stop);
    } else if (Is(t, OS_LITERAL)) {
      end = t;
    } else if (Is(t, OS_VAR)) {
      end = ParseVariable(t, stop, nullptr);
    } else if (Is(t, OS_LPAREN)) {
      int depth = 0;
      for (SyntaxNode* x = t; x && x != stop; x = Next(x)) {
        if (Is(x, OS_LPAREN)) ++depth;
        if (Is(x, OS_RPAREN) && --depth == 0) {
          end = x;
          break;
        }
      }
    }
    if (!end) return nullptr;
    if (end == stop || !Next(end) || Next(end) == stop) return end;
    while (Next(end) && Next(end) != stop && Next(end)->GetType() == OT_POSTFIX) end = Next(end);
    SyntaxNode* op = Next(end);
    if (!op || op == stop || op->GetType() != OT_BINARY) return end;
    t = Next(op);
    if (!t || t == stop) return nullptr;
  }
}

// variable -> name ["[" [expression] "]"]
SyntaxNode* ScriptGrExp::ParseVariable(SyntaxNode* token, SyntaxNode* stop, SyntaxNode* parent) {
  if (!token || token == stop || token->GetType() != OT_ID) return nullptr;
  SyntaxNode* copy = nullptr;
  if (parent) {
    SyntaxNode* lval = AppendNew(parent, OT_LVAL, 0, "", token->GetLine());
    copy = Append(lval, token->Clone(true));
  }
  SyntaxNode* open = Next(token);
  if (!open || open == stop || !Is(open, OS_LBRACKET)) return token;
  SyntaxNode* first = Next(open);
  SyntaxNode* last = first ? ParseExpression(first, stop, copy) : nullptr;
  if (last && Is(Next(last), OS_RBRACKET)) return Next(last);
  if (!last && Is(first, OS_RBRACKET)) {
    if (copy) Append(copy, MakeLiteralExp("(...)", Var(0), first->GetLine()));
    return first;
  }
  return nullptr;
}

SyntaxNodePtr ScriptGrExp::TakeToken(SyntaxNode* token) const {
  if (!m_reducing) return token->Clone(true);
  SyntaxNodePtr copy = token->Clone(false);
  while (SyntaxNode* child = token->GetFirstChild()) SyntaxNode::AppendChild(copy.get(), child);
  return copy;
}

SyntaxNode* ScriptGrExp::ParseCall(SyntaxNode* target, SyntaxNode* function, SyntaxNode* stop) {
  SyntaxNode* copy = target ? Append(target, TakeToken(function)) : nullptr;
  for (SyntaxNode* child = function->GetFirstChild(); child; child = child->GetNext())
    if (child->GetType() == OT_PARAMS) return function;
  return ParseParenList(copy, Next(function), stop, TextOf(function));
}

// arguments -> "(" [expression] {"," [expression]} ")"
SyntaxNode* ScriptGrExp::ParseParenList(SyntaxNode* target, SyntaxNode* open, SyntaxNode* stop, const char* name) {
  if (!open || open == stop || !Is(open, OS_LPAREN)) return nullptr;
  cl_Level level(*this, open);
  if (!level) return nullptr;
  SyntaxNode* params = AppendNew(target, OT_PARAMS, 0, "parambracket", open->GetLine());
  SyntaxNode* argStart = Next(open);
  SyntaxNode* close = nullptr;
  int number = 1;
  int depth = 0;
  for (SyntaxNode* t = Next(open); t; t = Next(t)) {
    if (Is(t, OS_RPAREN) && depth == 0) {
      close = t;
      break;
    }
    if (t == stop) break;
    if (Is(t, OS_LPAREN)) {
      ++depth;
    } else if (Is(t, OS_RPAREN)) {
      --depth;
    } else if (Is(t, OS_COMMA) && depth == 0) {
      if (argStart == t) {
        // A left-out argument: the callee keeps its parameter's default.
        Var ignore;
        ignore.SetIgnore();
        if (params) Append(params, MakeLiteralExp(nullptr, ignore, t->GetLine()));
      } else {
        SyntaxNode* last = ParseExpression(argStart, t, params);
        if (!last || Next(last) != t) {
          Error(argStart->GetLine(), "Unable to interpret the %d parameter of the parenthesis from %s.", number, name);
          return nullptr;
        }
      }
      ++number;
      argStart = Next(t);
    }
  }
  if (!close) {
    Error(open->GetLine(), "unable to find closing ')' for '('");  // PAIRING
    return nullptr;
  }
  if (argStart != close) {
    SyntaxNode* last = ParseExpression(argStart, close, params);
    if (!last || (last != close && Next(last) != close)) {
      Error(open->GetLine(), "invalid function parameter %d at function call", number);
      return nullptr;
    }
  }
  return close;
}

SyntaxNode* ScriptGrExp::_FindOperation(SyntaxNode* node) {
  SyntaxNode* best = nullptr;
  for (SyntaxNode* child = node ? node->GetFirstChild() : nullptr; child; child = child->GetNext()) {
    const int type = child->GetType();
    if (type < OT_SYS || type > OT_POSTFIX || child->GetPriority() < 0) continue;
    if (!best || child->GetPriority() > best->GetPriority() ||
        (child->GetPriority() == best->GetPriority() && child->IsLeftToRight()))
      best = child;
  }
  return best;
}

bool ScriptGrExp::BuildExpression(SyntaxNode* node) {
  cl_Level level(*this, node);
  if (!level) return false;
  // Every token range parsed from here on is detached once its node is built (TakeToken).
  const bool wasReducing = m_reducing;
  m_reducing = true;
  struct st_Restore {
    bool& flag;
    bool value;
    ~st_Restore() { flag = value; }
  } restore{m_reducing, wasReducing};
  // Groups and calls, innermost first: each becomes one node in place of its tokens. Every
  // ")" before the node just built has been replaced, so the next search starts there.
  for (SyntaxNode* resume = node->GetFirstChild();;) {
    SyntaxNode* close = resume;
    while (close && !Is(close, OS_RPAREN)) close = Next(close);
    if (!close) break;
    SyntaxNode* open = close->GetPrev();
    while (open && !Is(open, OS_LPAREN)) open = open->GetPrev();
    if (!open) {
      Error(close->GetLine(), "missing right parenthesis ')'");
      return false;
    }
    SyntaxNodePtr holder = SyntaxNode::MakeLasting(OT_REM, 0, nullptr, -1);
    SyntaxNode* from = open;
    if (Is(open->GetPrev(), OS_FUNC)) {
      from = open->GetPrev();
      if (!ParseCall(holder.get(), from, close)) return false;
    } else if (!ParseParenList(holder.get(), open, close, "(expression)")) {
      return false;
    }
    resume = holder->GetFirstChild();
    if (resume)
      SyntaxNode::InsertAfter(node, close, resume);
    else
      resume = Next(close);
    DetachRange(from, close);
  }
  // Indexes: the exp of the index goes under the name before "[".
  for (SyntaxNode* resume = node->GetFirstChild();;) {
    SyntaxNode* close = resume;
    while (close && !Is(close, OS_RBRACKET)) close = Next(close);
    if (!close) break;
    SyntaxNode* open = close->GetPrev();
    while (open && !Is(open, OS_LBRACKET)) open = open->GetPrev();
    if (!open) {
      Error(close->GetLine(), "missing left bracket '['");
      return false;
    }
    SyntaxNode* target = open->GetPrev();
    if (!target) {
      Error(open->GetLine(), "missing left value for '['..']'");
      return false;
    }
    SyntaxNodePtr holder = SyntaxNode::MakeLasting(OT_REM, 0, nullptr, -1);
    resume = Next(close);
    if (!ParseExpression(Next(open), close, holder.get())) return false;
    if (SyntaxNode* index = holder->GetFirstChild())
      SyntaxNode::AppendChild(target, index);
    else  // "a[]" indexes with 0
      SyntaxNode::AppendChild(target, MakeLiteralExp("(...)", Var(0), open->GetLine()).get());
    DetachRange(open, close);
  }
  SyntaxNode* root = _FindOperation(node);
  if (!root) return true;
  const int line = root->GetLine();
  auto makeVal = [line](int which) {
    SyntaxNodePtr val = SyntaxNode::MakeLasting(OT_VAL, 0, nullptr, line);
    val->SetValue(Var(which));
    return val;
  };
  switch (root->GetType()) {
    case OT_BINARY: {
      SyntaxNodePtr left = makeVal(0);
      SyntaxNodePtr right = makeVal(1);
      while (node->GetFirstChild() != root) SyntaxNode::AppendChild(left.get(), node->GetFirstChild());
      while (Next(root)) SyntaxNode::AppendChild(right.get(), Next(root));
      SyntaxNode::AppendChild(node, left.get());
      SyntaxNode::AppendChild(node, right.get());
      return BuildExpression(left.get()) && BuildExpression(right.get());
    }
    case OT_PREFIX: {
      SyntaxNodePtr operand = makeVal(0);
      while (Next(root)) SyntaxNode::AppendChild(operand.get(), Next(root));
      SyntaxNode::AppendChild(node, operand.get());
      return BuildExpression(operand.get());
    }
    case OT_POSTFIX: {
      SyntaxNodePtr operand = makeVal(0);
      while (node->GetFirstChild() != root) SyntaxNode::AppendChild(operand.get(), node->GetFirstChild());
      SyntaxNode::AppendChild(node, operand.get());
      return BuildExpression(operand.get());
    }
    default:
      Error(line, "unexpected operation found: %s", TextOf(root));
      return false;
  }
}

}  // namespace KRX
