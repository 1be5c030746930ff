// The script parser as the compiler runs it, statement by statement with token nodes made as
// it reads on and dropped behind it, against the same parser over the whole token list: every
// input must give the same statements, the same messages and the same result. Input: brace-
// syntax source text (cut at the first NUL, as a loaded file would be by the compiler).
#include <cstddef>
#include <cstdint>
#include <string>

#include "KRX/ScriptSystem.h"
#include "KRX/compiler/Lexer.h"
#include "KRX/compiler/ScriptGrExp.h"

namespace {

// What the parsers report, kept for the comparison instead of flooding the log.
std::string g_messages;
void Capture(KRX::Debugger*, const char* text) { (g_messages += text) += '\n'; }
int g_sink;

struct st_Parse {
  bool ok = false;
  std::string statements;
  std::string messages;
};

KRX::SyntaxUnit& Unit(KRX::SyntaxUnit& unit, const char* source) {
  unit.m_fileName = "fuzz.krx";
  unit.m_moduleName = "fuzz";
  unit.m_source = source;
  return unit;
}

st_Parse ParseWhole(const char* source) {
  g_messages.clear();
  KRX::SyntaxUnit unit;
  st_Parse out;
  out.ok = KRX::Lexer::Run(Unit(unit, source)) && KRX::ScriptGrExp::Parse(unit);
  if (unit.m_tree) KRX::SyntaxNode::Dump(unit.m_tree->GetFirstChild(), out.statements, 0);
  out.messages = g_messages;
  return out;
}

st_Parse ParseByStatement(const char* source) {
  g_messages.clear();
  KRX::SyntaxUnit unit;
  KRX::TokenStream stream(Unit(unit, source));
  KRX::ScriptGrExp parser(unit);
  st_Parse out;
  if (stream.Scan() && parser.BeginStream(stream)) {
    for (;;) {
      const KRX::ScriptGrExp::en_Step step = parser.ParseNextStatement();
      KRX::SyntaxNode::Dump(unit.m_tree->GetFirstChild(), out.statements, 0);
      while (KRX::SyntaxNode* node = unit.m_tree->GetFirstChild()) KRX::SyntaxNode::Detach(node);
      if (step == KRX::ScriptGrExp::en_Step::FAILED) break;
      if (step == KRX::ScriptGrExp::en_Step::END) {
        out.ok = !parser.HasError();
        break;
      }
    }
  }
  out.messages = g_messages;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    KRX::ScriptSystem::Init();
    KRX::ScriptSystem::AttachDebugger(reinterpret_cast<KRX::Debugger*>(&g_sink), &Capture);
    return true;
  }();
  (void)ready;
  const std::string source(reinterpret_cast<const char*>(data), size);
  const st_Parse whole = ParseWhole(source.c_str());
  const st_Parse stream = ParseByStatement(source.c_str());
  // The clock values may tick between the two runs.
  const bool clock = source.find("@TIME") != std::string::npos || source.find("@DATE") != std::string::npos;
  if (whole.ok != stream.ok || whole.messages != stream.messages || (!clock && whole.statements != stream.statements))
    __builtin_trap();
  return 0;
}
