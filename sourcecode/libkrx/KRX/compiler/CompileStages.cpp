#include "KRX/compiler/CompileStages.h"

#include <string>
#include <vector>

#include "KRX/compiler/DeLua.h"
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

// Runs work (returning bool) with the script system's output going to hold; an outer hold is
// restored afterwards.
template <class F>
bool Holding(ScriptSystem::st_OutputHold& hold, F&& work) {
  ScriptSystem::st_OutputHold* outer = ScriptSystem::GetOutputHold();
  ScriptSystem::SetOutputHold(&hold);
  const bool ok = work();
  ScriptSystem::SetOutputHold(outer);
  return ok;
}

void DropChildren(SyntaxNode* node) {
  while (SyntaxNode* child = node->GetFirstChild()) SyntaxNode::Detach(child);
}

bool BuildByStatement(CodeUnit& unit) {
  TokenStream stream(unit);
  if (!stream.Scan()) return false;
  if (unit.m_lua) DeLua::Run(stream, unit);
  ScriptGrExp parser(unit);
  if (!parser.BeginStream(stream)) return false;
  HiGrammar generator;
  generator.Begin(unit);
  Linker linker;
  linker.Begin(unit);
  // What generation says (its errors, the output of constant expressions it runs) and what the
  // layout says wait until the parse has reached the end: a parse error further down must stay
  // the only message, and a generation error must keep the linker quiet, as when each stage
  // went over the whole file before the next began.
  ScriptSystem::st_OutputHold generatorOutput, linkerOutput;
  bool generated = true;
  for (;;) {
    const ScriptGrExp::en_Step step = parser.ParseNextStatement();
    if (step == ScriptGrExp::en_Step::FAILED) return false;
    if (step == ScriptGrExp::en_Step::END) break;
    if (generated && !parser.HasError()) {
      generated = Holding(generatorOutput, [&] {
        for (SyntaxNode* node = unit.m_tree->GetFirstChild(); node; node = node->GetNext())
          if (!generator.Handle_Statement(node, unit.m_asm.get(), unit)) return false;
        return true;
      });
      if (generated)
        Holding(linkerOutput, [&] {
          for (SyntaxNode* node = unit.m_asm->GetFirstChild(); node; node = node->GetNext()) linker.Emit(unit, node);
          linker.Settle();  // the statement's jumps stay within it
          return true;
        });
      // The statement's code is laid out: its instruction nodes go.
      DropChildren(unit.m_asm.get());
    }
    // The statement's tree is done with once its code is generated.
    DropChildren(unit.m_tree.get());
  }
  if (parser.HasError()) return false;
  generatorOutput.Release();
  if (!generated) return false;
  linkerOutput.Release();
  return linker.Finish(unit);
}

}  // namespace

bool BuildUnitCode(CodeUnit& unit) {
  unit.m_lua = IsLuaFileName(unit.m_fileName.c_str());
  if (ScriptSystem::GetDumpSwitch()) return BuildWhole(unit);
  return BuildByStatement(unit);
}

}  // namespace KRX
