// Feeds arbitrary text through the script compiler's front end: lexer, Lua-syntax rewrite and
// parser, then dumps the token list and the syntax tree. Input: one byte choosing the syntax
// (odd: the Lua-like one), then the source text (cut at the first NUL, as a loaded file would
// be by the compiler).
#include <cstddef>
#include <cstdint>
#include <string>

#include "KRX/compiler/Lexer.h"
#include "KRX/compiler/FrontEnd.h"
#include "KRX/ScriptSystem.h"

namespace {

// Compile errors are expected by the thousand; the script system's output would flood the log.
void Discard(KRX::Debugger*, const char*) {}
int g_sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    KRX::ScriptSystem::Init();
    KRX::ScriptSystem::AttachDebugger(reinterpret_cast<KRX::Debugger*>(&g_sink), &Discard);
    return true;
  }();
  (void)ready;
  if (size < 1) return 0;
  std::string source(reinterpret_cast<const char*>(data + 1), size - 1);
  KRX::SyntaxUnit unit;
  unit.m_fileName = (data[0] & 1) ? "fuzz.lua" : "fuzz.krx";
  unit.m_moduleName = "fuzz";
  unit.m_source = source.c_str();
  KRX::RunFrontEnd(unit);
  std::string dump;
  KRX::SyntaxNode::Dump(unit.m_tokens.get(), dump, 0);
  KRX::SyntaxNode::Dump(unit.m_tree.get(), dump, 0);
  return 0;
}
