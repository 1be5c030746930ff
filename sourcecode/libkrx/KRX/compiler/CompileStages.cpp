#include "KRX/compiler/CompileStages.h"

#include <string>
#include <vector>

#include "KRX/compiler/FrontEnd.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/compiler/Linker.h"
#include "KRX/compiler/ScriptGrExp.h"

namespace KRX {

namespace {

// Every stage over the whole unit, each stage's dump written when the dump switch is on.
bool BuildWhole(CodeUnit& unit) {
  if (!RunFrontEnd(unit)) return false;
  HiGrammar generator;
  const bool generated = generator.Generate(unit);
  if (ScriptSystem::GetDumpSwitch() && unit.m_asm)
    SyntaxNode::DumpToFile(unit.m_asm.get(), StageDumpPath(unit.m_moduleName, "asm").c_str());
  if (!generated) return false;
  Linker linker;
  return linker.Link(unit);
}

// What code generation says (its errors, the output of constant expressions it runs) waits
// until the parse has reached the end: a parse error further down must stay the only message,
// as when the whole file was parsed before any code was generated.
class cl_GeneratorOutput {
 public:
  // Generates the top-level statements now in unit.m_tree, holding their output; false when
  // one failed (the rest of them is not generated).
  bool Generate(HiGrammar& generator, CodeUnit& unit) {
    ScriptSystem::st_OutputHold* outer = ScriptSystem::GetOutputHold();
    ScriptSystem::SetOutputHold(&m_hold);
    bool ok = true;
    for (SyntaxNode* node = unit.m_tree->GetFirstChild(); node && ok; node = node->GetNext())
      ok = generator.Handle_Statement(node, unit.m_asm.get(), unit);
    ScriptSystem::SetOutputHold(outer);
    return ok;
  }
  // Passes the held texts on in their order.
  void Release() { m_hold.Release(); }

 private:
  ScriptSystem::st_OutputHold m_hold;
};

bool BuildByStatement(CodeUnit& unit) {
  TokenStream stream(unit);
  if (!stream.Scan()) return false;
  ScriptGrExp parser(unit);
  if (!parser.BeginStream(stream)) return false;
  HiGrammar generator;
  generator.Begin(unit);
  cl_GeneratorOutput output;
  bool generated = true;
  for (;;) {
    const ScriptGrExp::en_Step step = parser.ParseNextStatement();
    if (step == ScriptGrExp::en_Step::FAILED) return false;
    if (step == ScriptGrExp::en_Step::END) break;
    if (generated && !parser.HasError()) generated = output.Generate(generator, unit);
    // The statement's tree is done with once its code is generated.
    while (SyntaxNode* node = unit.m_tree->GetFirstChild()) SyntaxNode::Detach(node);
  }
  if (parser.HasError()) return false;
  output.Release();
  if (!generated) return false;
  Linker linker;
  return linker.Link(unit);
}

}  // namespace

bool BuildUnitCode(CodeUnit& unit) {
  unit.m_lua = IsLuaFileName(unit.m_fileName.c_str());
  if (unit.m_lua || ScriptSystem::GetDumpSwitch()) return BuildWhole(unit);
  return BuildByStatement(unit);
}

}  // namespace KRX
