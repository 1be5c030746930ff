// The expression half of the code generator: value code in postfix order, short-circuit
// operators, variable references, calls, and constant expressions evaluated while compiling.
#include <string>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/compiler/Linker.h"
#include "KRX/Module.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/Types.h"

namespace KRX {

namespace {
// A constant expression may call script functions; one that never ends must not hang the compile.
constexpr int64_t kConstantStepBudget = 10'000'000;

// The operand child ("val" node) of an expression node with evaluation index index, or null.
SyntaxNode* FindOperand(const SyntaxNode* node, int index) {
  for (SyntaxNode* c = node->GetFirstChild(); c; c = c->GetNext())
    if (c->GetType() == OT_VAL && c->GetValue().GetType() == VT_INT && c->GetValue().GetRawInt() == index) return c;
  return nullptr;
}
}  // namespace

bool HiGrammar::AssembleExpression(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  const char* file = unit.m_fileName.c_str();
  // 1. The operands, by evaluation index. Nearly every node has at most two; more are found
  // again by their index below rather than gathered into a list each time.
  SyntaxNode* vals[2] = {nullptr, nullptr};
  int valCount = 0;
  while (SyntaxNode* found = FindOperand(node, valCount)) {
    if (valCount < 2) vals[valCount] = found;
    ++valCount;
  }
  // 2. "a && b" and "a || b" skip b when a decides.
  SyntaxNode* first = node->GetFirstChild();
  if (node->GetChildCount() == 3 && valCount == 2 && first &&
      (first->GetSubType() == OP_LOGICAL_AND || first->GetSubType() == OP_LOGICAL_OR)) {
    const bool isAnd = first->GetSubType() == OP_LOGICAL_AND;
    if (!AssembleExpression(vals[0], list, unit)) return false;
    const int n = ++m_labelCounter;
    const std::string label = (isAnd ? "and_" : "or_") + std::to_string(n) + "_out";
    EmitJump(list, isAnd ? OP_JUMP_FALSE_NOREMOVE : OP_JUMP_TRUE_NOREMOVE, label);
    if (!AssembleExpression(vals[1], list, unit)) return false;
    Emit(list, first->GetCommand());
    EmitLabel(list, label);
    return true;
  }
  // 3. Operands first, then the rest in order (postfix code).
  for (int index = 0; index < valCount; ++index)
    if (!AssembleExpression(index < 2 ? vals[index] : FindOperand(node, index), list, unit)) return false;
  for (SyntaxNode* c = node->GetFirstChild(); c; c = c->GetNext()) {
    const int type = c->GetType();
    const int subType = c->GetSubType();
    if (type == OT_VAL) continue;
    if (type == OT_EXP || type == OT_PARAMS) {
      if (!AssembleExpression(c, list, unit)) return false;
    } else if (subType == OS_LITERAL) {
      Emit(list, OP_PUSH_VALUE, c->GetValue());
    } else if (subType == OS_FUNC) {
      if (!Handle_FuncCall(c, list, unit)) return false;
    } else if (subType == OS_VAR) {
      if (!Handle_VarRef(c, list, unit)) return false;
    } else if (type == OT_BINARY || type == OT_PREFIX || type == OT_POSTFIX) {
      Emit(list, c->GetCommand());
    } else {
      ReportFileError(file, c->GetLine(), "Unable to assembly expression");
      return false;
    }
  }
  return true;
}

bool HiGrammar::Handle_Expression(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  SyntaxNode* group = EmitGroup(list, "expression");
  return AssembleExpression(node, group, unit);
}

bool HiGrammar::Handle_VarRef(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  const char* name = node->GetText();
  if (!name) name = "";
  SyntaxNode* moduleNode = SyntaxNode::FindModuleChild(node);
  const char* moduleName = moduleNode ? moduleNode->GetText() : nullptr;
  SyntaxNode* index = nullptr;
  for (SyntaxNode* c = node->GetFirstChild(); c; c = c->GetNext())
    if (c->GetType() == OT_EXP) {
      index = c;
      break;
    }
  int flags = 0;
  if (moduleName) flags |= PUSHVAR_MODULE | PUSHVAR_NAMED;
  if (index) flags |= PUSHVAR_INDEXED;
  int slot = -1;
  if (!moduleName) {
    slot = FindSlot(unit.m_module.get(), name);
    if (slot < 0) flags |= PUSHVAR_NAMED;
  }
  if (moduleName) Emit(list, OP_PUSH_VALUE, Var(moduleName), 1);
  if (index && !Handle_Expression(index, list, unit)) return false;
  if (flags & PUSHVAR_NAMED)
    Emit(list, OP_PUSH_VALUE, Var(name), 1);
  else
    Emit(list, OP_PUSH_VALUE, Var(slot), 1);
  Emit(list, OP_PUSH_VAR, Var(flags));
  return true;
}

bool HiGrammar::Handle_FuncCall(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  SyntaxNode* params = nullptr;
  for (SyntaxNode* c = node->GetFirstChild(); c; c = c->GetNext())
    if (c->GetType() == OT_PARAMS) {
      params = c;
      break;
    }
  if (!params) return false;
  const char* name = node->GetText();
  SyntaxNode* group = EmitGroup(list, std::string("funccall ") + (name ? name : ""));
  Emit(group, OP_INIT_FUNC);
  for (SyntaxNode* arg = params->GetFirstChild(); arg; arg = arg->GetNext())
    if (!Handle_Statement(arg, group, unit)) return false;
  if (!Handle_VarRef(node, group, unit)) return false;
  Emit(group, OP_CALL);
  return true;
}

bool HiGrammar::EvaluateConstant(SyntaxNode* node, CodeUnit& unit, Var& result) {
  const char* file = unit.m_fileName.c_str();
  const int line = node->GetLine();
  result = Var();
  CodeUnit temp;
  temp.m_fileName = unit.m_fileName;
  temp.m_moduleName = unit.m_moduleName;
  temp.m_module = new BinCode();
  BinCode* module = temp.m_module.get();
  // The expression's value is returned whatever its type.
  module->SetReturnType(TYPE_AUTO);
  // Run-time errors of the expression name the file and line it was written in.
  module->FindOrCreate("~file", VT_STRING)->SetString(unit.m_fileName.c_str());
  temp.m_asm = SyntaxNode::Make(OT_REM, 0, "Asm", -1);
  if (line > 0) Emit(temp.m_asm.get(), OP_LINE, Var(line));
  Emit(temp.m_asm.get(), OP_INIT_FUNC);
  CreateVocabulary(module);
  if (!AssembleExpression(node, temp.m_asm.get(), unit)) {
    ReportFileError(file, line, "Unable to parse expression");
    return false;
  }
  SyntaxNode::AppendChild(temp.m_asm.get(), MakeInstruction(OP_RETURN, OS_RETURN).get());
  Linker linker;
  if (!linker.Link(temp)) {
    ReportFileError(file, line, "Unable compile expression");
    return false;
  }
  tRefPtr<Thread> thread(new Thread());
  thread->SetStepBudget(kConstantStepBudget);
  const bool ok = thread->Call(ScriptSystem::GetModule(), module, false, nullptr, 0);
  if (!ok || thread->GetState() != Thread::STATE_FINISHED) {
    ReportFileError(file, line, "Unable to evaluate expression");
    return false;
  }
  result.AssignOwned(thread->GetReturnValue());
  return true;
}

}  // namespace KRX
