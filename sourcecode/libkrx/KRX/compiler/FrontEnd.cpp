#include "KRX/compiler/FrontEnd.h"

#include <cstring>

#include "KRX/compiler/DeLua.h"
#include "KRX/compiler/Lexer.h"
#include "KRX/compiler/ScriptGrExp.h"

namespace KRX {

bool IsLuaFileName(const char* fileName) { return fileName && std::strstr(fileName, ".lua") != nullptr; }

std::string StageDumpPath(const std::string& moduleName, const char* stage) {
  return "Temp\\" + moduleName + "_" + stage + ".txt";
}

namespace {
void DumpStage(const SyntaxUnit& unit, const SyntaxNode* root, const char* stage) {
  if (!ScriptSystem::GetDumpSwitch() || !root) return;
  // A dump that cannot be written is skipped: it is a debugging aid, not part of the compile.
  SyntaxNode::DumpToFile(root, StageDumpPath(unit.m_moduleName, stage).c_str());
}
}  // namespace

bool RunFrontEnd(SyntaxUnit& unit) {
  unit.m_lua = IsLuaFileName(unit.m_fileName.c_str());
  TokenStream stream(unit);
  bool ok = stream.Scan();
  unit.m_tokens = stream.MakeList();
  DumpStage(unit, unit.m_tokens.get(), "lex");
  if (!ok) return false;
  if (unit.m_lua) {
    DeLua::Run(stream, unit);
    unit.m_tokens = stream.MakeList();
    DumpStage(unit, unit.m_tokens.get(), "delua");
  }
  ok = ScriptGrExp::Parse(unit);
  DumpStage(unit, unit.m_tree.get(), "gra");
  return ok;
}

}  // namespace KRX
