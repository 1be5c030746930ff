#include "KRX/compiler/Unclosed.h"

#include <cstring>
#include <vector>

#include "KRX/compiler/FrontEnd.h"
#include "KRX/compiler/Lexer.h"

namespace KRX {

namespace {

// One construct still open: a mark ("(", "[", "{") or a Lua block word.
struct st_Open {
  const char* what;
  int line;
  bool awaitsDo;  // "while" and "for" take their "do" along
};

bool IsMark(const char* what) { return what[1] == '\0'; }

// The word a Lua block is written with, or null.
const char* BlockWord(const SyntaxNode* token) {
  if (token->GetSubType() != OS_VAR && token->GetSubType() != OS_KEYWORD) return nullptr;
  const char* word = token->GetText() ? token->GetText() : token->GetRowText();
  if (!word) return nullptr;
  for (const char* block : {"function", "if", "while", "for", "do", "end"})
    if (std::strcmp(word, block) == 0) return block;
  return nullptr;
}

std::string At(const CompileUnit& unit, int line, const std::string& cause) {
  return unit.m_fileName + "(" + std::to_string(line) + ") : " + cause;
}

std::string NotClosed(const CompileUnit& unit, const st_Open& open) {
  if (!IsMark(open.what))
    return At(unit, open.line, std::string("missing 'end': the '") + open.what + "' begun here is not closed");
  const char* name = open.what[0] == '(' ? "parenthesis" : open.what[0] == '[' ? "bracket" : "brace";
  const char* close = open.what[0] == '(' ? ")" : open.what[0] == '[' ? "]" : "}";
  return At(unit, open.line, std::string("unclosed ") + name + ": the '" + open.what + "' here has no '" + close + "'");
}

std::string TooMany(const CompileUnit& unit, int line, const char* what) {
  return At(unit, line, std::string("one '") + what + "' too many: it closes nothing");
}

}  // namespace

bool IsPairingReport(const std::string& report) {
  // PAIRING: the parser's reports of a brace or parenthesis it found no partner for.
  for (const char* words : {"unable to find matching '}'", "unable to find closing ')'"})
    if (report.find(words) != std::string::npos) return true;
  return false;
}

std::string FindUnclosed(const CompileUnit& compiled) {
  SyntaxUnit unit;
  unit.m_fileName = compiled.m_fileName;
  unit.m_moduleName = compiled.m_moduleName;
  unit.m_source = compiled.m_source;
  unit.m_lua = IsLuaFileName(unit.m_fileName.c_str());
  ScriptSystem::st_OutputHold quiet;  // never released: the compile has said it all
  ScriptSystem::st_OutputHold* outer = ScriptSystem::GetOutputHold();
  ScriptSystem::SetOutputHold(&quiet);
  const bool lexed = unit.m_source && Lexer::Run(unit);
  ScriptSystem::SetOutputHold(outer);
  if (!lexed || !unit.m_tokens) return {};

  std::vector<st_Open> open;
  for (const SyntaxNode* token = unit.m_tokens->GetFirstChild(); token; token = token->GetNext()) {
    const int line = token->GetLine();
    const int kind = token->GetSubType();
    if (kind == OS_LPAREN || kind == OS_LBRACKET || kind == OS_LBRACE) {
      open.push_back({kind == OS_LPAREN ? "(" : kind == OS_LBRACKET ? "[" : "{", line, false});
    } else if (kind == OS_RPAREN || kind == OS_RBRACKET || kind == OS_RBRACE) {
      const char mark = kind == OS_RPAREN ? '(' : kind == OS_RBRACKET ? '[' : '{';
      if (!open.empty() && open.back().what[0] == mark) {
        open.pop_back();
        continue;
      }
      // Another mark still open inside is the one left unclosed; a block is not closed by a mark.
      if (!open.empty() && IsMark(open.back().what)) return NotClosed(compiled, open.back());
      return TooMany(compiled, line, kind == OS_RPAREN ? ")" : kind == OS_RBRACKET ? "]" : "}");
    } else if (const char* word = unit.m_lua ? BlockWord(token) : nullptr) {
      if (std::strcmp(word, "end") == 0) {
        if (open.empty()) return TooMany(compiled, line, "end");
        if (IsMark(open.back().what)) return NotClosed(compiled, open.back());
        open.pop_back();
      } else if (std::strcmp(word, "do") == 0 && !open.empty() && open.back().awaitsDo) {
        open.back().awaitsDo = false;
      } else {
        const bool loop = std::strcmp(word, "while") == 0 || std::strcmp(word, "for") == 0;
        open.push_back({word, line, loop});
      }
    }
  }
  return open.empty() ? std::string() : NotClosed(compiled, open.back());
}

}  // namespace KRX
