#include "KRX/compiler/DeLua.h"

#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include "KRX/compiler/Lexer.h"

namespace KRX {

namespace {

using tTokens = TokenStream::tTokens;

// Prefixes that named no loaded module when a call used them; only grows during a run.
std::set<std::string>& IgnoredPrefixes() {
  static std::set<std::string> prefixes;
  return prefixes;
}

int SubType(const TokenStream& s, size_t i) { return s.GetRow(i).subType; }

// The index of the first row of that type and subtype (0 matches any), or -1.
int RowIndex(int type, int subType) {
  const t_Operation* row = FindOperation(type, subType, nullptr);
  return row ? OperationRowIndex(row) : -1;
}

// Token i with the row of type and subtype when there is one, else as it is.
TokenStream::st_Token Retyped(const TokenStream& s, size_t i, int type, int subType) {
  const int row = RowIndex(type, subType);
  return row < 0 ? s.GetToken(i) : s.WithRow(i, row);
}

// Appends a token of the row whose text is text (a keyword or a mark), valued text.
void AppendNamed(TokenStream& s, tTokens& out, const char* text, int line) {
  if (const t_Operation* row = FindOperation(0, 0, text)) out.push_back(s.Make(OperationRowIndex(row), text, line));
}

// Appends a token of the first row of type and subtype, valued text.
void AppendMade(TokenStream& s, tTokens& out, int type, int subType, const char* text, int line) {
  const int row = RowIndex(type, subType);
  if (row >= 0) out.push_back(s.Make(row, text, line));
}

void CopyRest(const TokenStream& s, size_t from, tTokens& out) {
  for (size_t i = from; i < s.GetCount(); ++i) out.push_back(s.GetToken(i));
}

// Pass 1: Lua words become the brace syntax's marks and keywords.
void RewriteWords(TokenStream& s, tTokens& out) {
  for (size_t i = 0; i < s.GetCount(); ++i) {
    const int subType = SubType(s, i);
    const std::string_view text = subType == OS_VAR || subType == OS_KEYWORD ? s.GetName(i) : std::string_view();
    if (text == "then" || text == "do") {
      out.push_back(Retyped(s, i, OT_SYS, OS_LBRACE));
    } else if (text == "end") {
      out.push_back(Retyped(s, i, OT_SYS, OS_RBRACE));
    } else if (text == "elseif") {
      const int line = s.GetLine(i);
      out.push_back(Retyped(s, i, OT_SYS, OS_RBRACE));
      AppendNamed(s, out, "else", line);
      AppendNamed(s, out, "if", line);
    } else if (text == "else") {
      const int line = s.GetLine(i);
      out.push_back(Retyped(s, i, OT_SYS, OS_RBRACE));
      AppendNamed(s, out, "else", line);
      AppendNamed(s, out, "{", line);
    } else if (text == "not") {
      out.push_back(Retyped(s, i, OT_PREFIX, 131));
    } else if (text == "or") {
      out.push_back(Retyped(s, i, OT_BINARY, 178));
    } else if (text == "and") {
      out.push_back(Retyped(s, i, OT_BINARY, 177));
    } else if (text == "local") {
      const t_Operation* type = FindOperation(0, 0, "auto");
      out.push_back(s.Make(type ? OperationRowIndex(type) : s.GetToken(i).row, "auto", s.GetLine(i)));
    } else if (text == "nil") {
      out.push_back(s.Make(kRowLiteral, nullptr, s.GetLine(i)));
    } else {
      out.push_back(s.GetToken(i));
    }
  }
}

// Pass 2: "function Name(a, b)" gets the declared types and the body's opening brace. A header
// without its parenthesis ends the pass.
void RewriteFunctionHeaders(TokenStream& s, tTokens& out) {
  const size_t n = s.GetCount();
  for (size_t i = 0; i < n; ++i) {
    const t_Operation& row = s.GetRow(i);
    if (row.subType != OS_KEYWORD || std::strcmp(row.text, "function") != 0) {
      out.push_back(s.GetToken(i));
      continue;
    }
    const int line = s.GetLine(i);
    out.push_back(s.GetToken(i));
    AppendNamed(s, out, "auto", line);
    // The parameters start three tokens on, counting the "auto" put in.
    size_t close = i + 2;
    while (close < n && SubType(s, close) != OS_RPAREN) ++close;
    if (close >= n) {
      CopyRest(s, i + 1, out);
      return;
    }
    out.push_back(s.GetToken(i + 1));
    for (size_t k = i + 2; k < close; ++k) {
      if (SubType(s, k) == OS_VAR) AppendNamed(s, out, "auto", s.GetLine(k));
      out.push_back(s.GetToken(k));
    }
    out.push_back(s.GetToken(close));
    AppendMade(s, out, 0, OS_LBRACE, "funcdecl", line);
    i = close;
  }
}

// Pass 3: "if c then" and "while c do" get parentheses around the condition. A condition without
// its brace ends the pass.
void RewriteConditions(TokenStream& s, tTokens& out) {
  const size_t n = s.GetCount();
  for (size_t i = 0; i < n; ++i) {
    const std::string_view word = SubType(s, i) == OS_KEYWORD ? s.GetName(i) : std::string_view();
    if (word != "if" && word != "while") {
      out.push_back(s.GetToken(i));
      continue;
    }
    const int line = s.GetLine(i);
    out.push_back(s.GetToken(i));
    AppendMade(s, out, OT_SYS, OS_LPAREN, "cond_begin", line);
    size_t brace = i + 1;
    while (brace < n && SubType(s, brace) != OS_LBRACE) ++brace;
    if (brace >= n) {
      CopyRest(s, i + 1, out);
      return;
    }
    for (size_t k = i + 1; k < brace; ++k) out.push_back(s.GetToken(k));
    AppendMade(s, out, OT_SYS, OS_RPAREN, "cond_end", line);
    i = brace - 1;
  }
}

// Pass 4: the prefixes of calls spelled "Module_Name(".
void RemoveFunctionPrefixes(TokenStream& s, tTokens& out, SyntaxUnit& unit) {
  const std::string& module = unit.m_moduleName;
  const size_t n = s.GetCount();
  for (size_t i = 0; i < n; ++i) {
    const std::string_view text = SubType(s, i) == OS_VAR ? s.GetName(i) : std::string_view();
    const size_t underscore = text.find('_');
    if (i + 1 >= n || SubType(s, i + 1) != OS_LPAREN || underscore == std::string_view::npos) {
      out.push_back(s.GetToken(i));
      continue;
    }
    const std::string prefix(text.substr(0, underscore));
    const std::string_view rest = text.substr(underscore + 1);
    const int line = s.GetLine(i);
    if (module.compare(0, prefix.size(), prefix) == 0 && module.size() >= prefix.size()) {
      out.push_back(s.Make(s.GetToken(i).row, unit.PoolText(rest.data(), rest.size()), line));
      continue;
    }
    std::set<std::string>& ignored = IgnoredPrefixes();
    if (ignored.count(module)) {
      ReportFileError(unit.m_fileName.c_str(), line,
                      "DeLua::_RemoveFunctionPrefixes - ERROR the function prefix '%s' was ignored on a module "
                      "before. Please fix the include order of the scripts and include '%s' earlier.",
                      module.c_str(), module.c_str());
      CopyRest(s, i, out);
      return;
    }
    if (ScriptSystem::IsModuleLoaded(prefix.c_str())) {
      out.push_back(s.Make(kRowModule, unit.PoolText(prefix.data(), prefix.size()), line));
      AppendMade(s, out, OT_ID, OS_VAR, unit.PoolText(rest.data(), rest.size()), line);
      continue;
    }
    if (ignored.insert(prefix).second) {
      if (ScriptSystem::OutputCallback output = ScriptSystem::GetOutputCallback()) {
        const std::string message =
            "DeLua::_RemoveFunctionPrefixes - NOTIFY: Ignoring the function prefix '" + prefix + "'";
        output(message.c_str());
      }
    }
    out.push_back(s.GetToken(i));
  }
}

}  // namespace

void DeLua::ResetIgnoredPrefixes() { IgnoredPrefixes().clear(); }

bool DeLua::Run(TokenStream& stream, SyntaxUnit& unit) {
  // Each pass reads the stream as the one before left it.
  for (int pass = 0; pass < 4; ++pass) {
    tTokens out;
    switch (pass) {
      case 0: RewriteWords(stream, out); break;
      case 1: RewriteFunctionHeaders(stream, out); break;
      case 2: RewriteConditions(stream, out); break;
      case 3: RemoveFunctionPrefixes(stream, out, unit); break;
    }
    stream.Replace(std::move(out));
  }
  return true;
}

}  // namespace KRX
