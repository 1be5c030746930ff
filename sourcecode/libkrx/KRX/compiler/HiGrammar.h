// HiGrammar: the script compiler's code generator. It walks the syntax tree of one compile unit
// (a file's top level or one function body) and builds an assembly list: instruction nodes
// (one opcode and an optional operand each), labels as instructions of their own, and groups
// that only shape the dump. The Linker turns the list into the unit's byte code.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "KRX/compiler/Lexer.h"

namespace KRX {

// A compile unit with its assembly lists.
struct CodeUnit : SyntaxUnit {
  SyntaxNodePtr m_defaults;  // "asm": parameter-default code of a function unit, may be null
  SyntaxNodePtr m_asm;       // "Asm": the body
  // Declarations of a file's top level become symbols of the file module, so that the file's
  // functions (which look up everything that is not their own slot by name) can see them.
  bool m_moduleLevel = false;
  // Why Compiler::Compile failed, for the loader's log line: the build's first report, or the
  // run-time error that ended the unit's top-level code (then m_built is set).
  std::string m_failure;
  bool m_built = false;
};

class HiGrammar {
 public:
  // Generates the unit into a new "Asm" root; the label counter starts at 0.
  bool Generate(CodeUnit& unit);
  // Generate without the statements: a new, empty "Asm" root and the label counter at 0, for
  // a caller that hands the statements to Handle_Statement one by one.
  void Begin(CodeUnit& unit);
  // The same without resetting the label counter (a function body after its defaults).
  bool GenerateBody(CodeUnit& unit);

  // ---- statements
  bool Handle_Statement(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  // A declaration; returns the declared slot or symbol, null on failure.
  Var* Handle_New(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit, bool isParameter);
  bool Handle_Assign(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_Chunk(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_If(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_Switch(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_For(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_While(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_Break(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_BreakOut(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_Continue(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_Return(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_FuncDef(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);

  // ---- expressions
  bool AssembleExpression(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);  // no group
  bool Handle_Expression(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);   // "expression" group
  bool Handle_VarRef(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  bool Handle_FuncCall(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit);
  // Runs the expression at compile time on a throw-away module and thread; result gets its value.
  bool EvaluateConstant(SyntaxNode* node, CodeUnit& unit, Var& result);

  // ---- instruction nodes
  static SyntaxNodePtr MakeInstruction(int opcode, int subType = 0);
  static SyntaxNode* Emit(SyntaxNode* list, int opcode, int subType = 0);
  static SyntaxNode* Emit(SyntaxNode* list, int opcode, const Var& operand, int subType = 0);
  // The same taking over a value made for it (a name's text is not copied twice).
  static SyntaxNode* Emit(SyntaxNode* list, int opcode, Var&& operand, int subType = 0);
  static SyntaxNode* EmitGroup(SyntaxNode* list, const std::string& text);
  // The same for a text that outlives the list (a literal): not copied.
  static SyntaxNode* EmitGroup(SyntaxNode* list, const char* lastingText);
  static SyntaxNode* EmitLabel(SyntaxNode* list, const std::string& name);
  static SyntaxNode* EmitJump(SyntaxNode* list, int opcode, const std::string& label);

  int GetLabelCounter() const { return m_labelCounter; }

 private:
  struct st_Case {
    int index = 0;
    std::string label;
    Var value;
  };
  bool Handle_Case(st_Case& entry, SyntaxNode* caseNode, SyntaxNode* list, CodeUnit& unit);
  bool Jump(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit, const std::string* target);

  int m_labelCounter = 0;
  std::deque<std::string> m_continueTargets;
  std::vector<std::string> m_breakTargets;
};

// The slot index of name in the module's variable table (the last slot of that name), or -1.
int FindSlot(const BinCode* module, const char* name);

}  // namespace KRX
