#include "KRX/compiler/DeLua.h"

#include <cstring>
#include <set>
#include <string>

#include "KRX/compiler/Lexer.h"

namespace KRX {

namespace {

// Prefixes that named no loaded module when a call used them; only grows during a run.
std::set<std::string>& IgnoredPrefixes() {
  static std::set<std::string> prefixes;
  return prefixes;
}

void SetRow(SyntaxNode* token, int type, int subType) {
  if (const t_Operation* row = FindOperation(type, subType, nullptr)) token->SetOperation(*row);
}

// Inserts a token made from text after `after`; returns it, or `after` when nothing could be
// inserted, so that the caller's walk always stays on a linked token.
SyntaxNode* InsertNamed(SyntaxNode* root, SyntaxNode* after, const char* text, int line) {
  SyntaxNodePtr token = SyntaxNode::MakeNamed(text, line);
  if (!token) return after;
  SyntaxNode::InsertAfter(root, after, token.get());
  return token->GetParent() == root ? token.get() : after;
}

// Pass 1: Lua words become the brace syntax's marks and keywords.
void RewriteWords(SyntaxNode* root) {
  for (SyntaxNode* token = root->GetFirstChild(); token; token = token->GetNext()) {
    if (token->GetSubType() != OS_VAR && token->GetSubType() != OS_KEYWORD) continue;
    const char* text = token->GetText();
    if (!text) continue;
    const int line = token->GetLine();
    if (!std::strcmp(text, "then") || !std::strcmp(text, "do")) {
      SetRow(token, OT_SYS, OS_LBRACE);
    } else if (!std::strcmp(text, "end")) {
      SetRow(token, OT_SYS, OS_RBRACE);
    } else if (!std::strcmp(text, "elseif")) {
      SetRow(token, OT_SYS, OS_RBRACE);
      SyntaxNode* elseToken = InsertNamed(root, token, "else", line);
      token = InsertNamed(root, elseToken, "if", line);
    } else if (!std::strcmp(text, "else")) {
      SetRow(token, OT_SYS, OS_RBRACE);
      SyntaxNode* elseToken = InsertNamed(root, token, "else", line);
      token = InsertNamed(root, elseToken, "{", line);
    } else if (!std::strcmp(text, "not")) {
      SetRow(token, OT_PREFIX, 131);
    } else if (!std::strcmp(text, "or")) {
      SetRow(token, OT_BINARY, 178);
    } else if (!std::strcmp(text, "and")) {
      SetRow(token, OT_BINARY, 177);
    } else if (!std::strcmp(text, "local")) {
      if (const t_Operation* row = FindOperation(0, 0, "auto")) token->SetOperation(*row);
      token->GetValue().SetString("auto");
    } else if (!std::strcmp(text, "nil")) {
      token->SetOperation(g_Operations[kRowLiteral]);
      token->GetValue() = Var();
    }
  }
}

// Pass 2: "function Name(a, b)" gets the declared types and the body's opening brace.
void RewriteFunctionHeaders(SyntaxNode* root) {
  for (SyntaxNode* token = root->GetFirstChild(); token; token = token->GetNext()) {
    if (token->GetSubType() != OS_KEYWORD || std::strcmp(token->GetRowText(), "function") != 0) continue;
    InsertNamed(root, token, "auto", token->GetLine());
    SyntaxNode* at = token;
    for (int i = 0; i < 3 && at; ++i) at = at->GetNext();
    if (!at) return;
    SyntaxNode* close = at;
    while (close && close->GetSubType() != OS_RPAREN) close = close->GetNext();
    if (!close) return;
    for (SyntaxNode* t = at; t != close; t = t->GetNext()) {
      if (t->GetSubType() != OS_VAR) continue;
      SyntaxNodePtr type = SyntaxNode::MakeNamed("auto", t->GetLine());
      SyntaxNode::InsertBefore(root, t, type.get());
    }
    SyntaxNodePtr brace = SyntaxNode::Make(0, OS_LBRACE, "funcdecl", token->GetLine());
    SyntaxNode::InsertAfter(root, close, brace.get());
    token = close;
  }
}

// Pass 3: "if c then" and "while c do" get parentheses around the condition.
void RewriteConditions(SyntaxNode* root) {
  for (SyntaxNode* token = root->GetFirstChild(); token; token = token->GetNext()) {
    if (token->GetSubType() != OS_KEYWORD) continue;
    if (!SyntaxNode::HasText(token, "if") && !SyntaxNode::HasText(token, "while")) continue;
    SyntaxNodePtr open = SyntaxNode::Make(OT_SYS, OS_LPAREN, "cond_begin", token->GetLine());
    SyntaxNode::InsertAfter(root, token, open.get());
    SyntaxNode* brace = open->GetNext();
    while (brace && brace->GetSubType() != OS_LBRACE) brace = brace->GetNext();
    if (!brace) return;
    SyntaxNodePtr close = SyntaxNode::Make(OT_SYS, OS_RPAREN, "cond_end", token->GetLine());
    SyntaxNode::InsertBefore(root, brace, close.get());
    token = close->GetPrev();
  }
}

}  // namespace

void DeLua::ResetIgnoredPrefixes() { IgnoredPrefixes().clear(); }

void DeLua::_RemoveFunctionPrefixes(SyntaxNode* root, const char* moduleName, const char* fileName) {
  if (!root) return;
  const std::string module = moduleName ? moduleName : "";
  for (SyntaxNode* token = root->GetFirstChild(); token; token = token->GetNext()) {
    if (token->GetSubType() != OS_VAR) continue;
    SyntaxNode* next = token->GetNext();
    if (!next || next->GetSubType() != OS_LPAREN) continue;
    const char* text = token->GetText();
    const char* underscore = text ? std::strchr(text, '_') : nullptr;
    if (!underscore) continue;
    const std::string prefix(text, size_t(underscore - text));
    const std::string rest(underscore + 1);
    if (module.compare(0, prefix.size(), prefix) == 0 && module.size() >= prefix.size()) {
      token->GetValue().SetString(rest.c_str());
      continue;
    }
    std::set<std::string>& ignored = IgnoredPrefixes();
    if (ignored.count(module)) {
      ReportFileError(fileName ? fileName : "", token->GetLine(),
                      "DeLua::_RemoveFunctionPrefixes - ERROR the function prefix '%s' was ignored on a module "
                      "before. Please fix the include order of the scripts and include '%s' earlier.",
                      module.c_str(), module.c_str());
      return;
    }
    if (ScriptSystem::IsModuleLoaded(prefix.c_str())) {
      token->SetOperation(g_Operations[kRowModule]);
      token->GetValue().SetString(prefix.c_str());
      SyntaxNodePtr name = SyntaxNode::Make(OT_ID, OS_VAR, rest.c_str(), token->GetLine());
      SyntaxNode::InsertAfter(root, token, name.get());
      token = name.get();
      continue;
    }
    if (ignored.insert(prefix).second) {
      if (ScriptSystem::OutputCallback output = ScriptSystem::GetOutputCallback()) {
        std::string message = "DeLua::_RemoveFunctionPrefixes - NOTIFY: Ignoring the function prefix '" + prefix + "'";
        output(message.c_str());
      }
    }
  }
}

bool DeLua::Run(SyntaxUnit& unit) {
  SyntaxNode* root = unit.m_tokens.get();
  if (!root) return true;
  RewriteWords(root);
  RewriteFunctionHeaders(root);
  RewriteConditions(root);
  _RemoveFunctionPrefixes(root, unit.m_moduleName.c_str(), unit.m_fileName.c_str());
  return true;
}

}  // namespace KRX
