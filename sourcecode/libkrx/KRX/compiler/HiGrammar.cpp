#include "KRX/compiler/HiGrammar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/compiler/Linker.h"
#include "KRX/compiler/FrontEnd.h"
#include "KRX/runtime/Types.h"
#include "base/String.h"

namespace KRX {

namespace {

std::string Format(const char* format, int a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a);
  return buf;
}
std::string Format(const char* format, int a, int b) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

const char* TextOf(const SyntaxNode* node) {
  const char* text = node ? node->GetText() : nullptr;
  return text ? text : "";
}

SyntaxNode* FirstChildOfType(const SyntaxNode* node, int type) {
  for (SyntaxNode* c = node ? node->GetFirstChild() : nullptr; c; c = c->GetNext())
    if (c->GetType() == type) return c;
  return nullptr;
}

// The type code of a type keyword; "bound" is the keyword the lexer knows for "bind".
int TypeCodeOf(const char* keyword) {
  if (keyword && std::strcmp(keyword, "bound") == 0) return VT_CFUNCTION;
  return TypeCodeFromName(keyword);
}

}  // namespace

int FindSlot(const BinCode* module, const char* name) {
  if (!module || !name) return -1;
  const VarTable& table = module->GetVarTable();
  for (int i = table.GetCount() - 1; i >= 0; --i) {
    const char* slotName = table.GetName(i);
    if (slotName && std::strcmp(slotName, name) == 0) return i;
  }
  return -1;
}

// ---- instruction nodes

SyntaxNodePtr HiGrammar::MakeInstruction(int opcode, int subType) {
  t_Operation row;
  row.type = OT_NONE;
  row.subType = subType;
  row.command = opcode;
  row.text = GetCommandName(opcode);
  SyntaxNodePtr node(new SyntaxNode(row, Var()));
  node->SetLine(-1);
  return node;
}

SyntaxNode* HiGrammar::Emit(SyntaxNode* list, int opcode, int subType) {
  SyntaxNodePtr node = MakeInstruction(opcode, subType);
  SyntaxNode::AppendChild(list, node.get());
  return node.get();
}

SyntaxNode* HiGrammar::Emit(SyntaxNode* list, int opcode, const Var& operand, int subType) {
  SyntaxNode* node = Emit(list, opcode, subType);
  node->SetValue(operand);
  return node;
}

SyntaxNode* HiGrammar::Emit(SyntaxNode* list, int opcode, Var&& operand, int subType) {
  SyntaxNode* node = Emit(list, opcode, subType);
  node->GetValue() = std::move(operand);
  return node;
}

SyntaxNode* HiGrammar::EmitGroup(SyntaxNode* list, const std::string& text) {
  SyntaxNode* node = Emit(list, OP_GROUP);
  node->GetValue().SetString(text.c_str());
  return node;
}

SyntaxNode* HiGrammar::EmitGroup(SyntaxNode* list, const char* lastingText) {
  SyntaxNode* node = Emit(list, OP_GROUP);
  node->GetValue().SetConstString(lastingText);
  return node;
}

SyntaxNode* HiGrammar::EmitLabel(SyntaxNode* list, const std::string& name) {
  SyntaxNode* node = Emit(list, OP_LABEL);
  node->GetValue().SetLabel(name.c_str());
  return node;
}

SyntaxNode* HiGrammar::EmitJump(SyntaxNode* list, int opcode, const std::string& name) {
  SyntaxNode* node = Emit(list, opcode);
  node->GetValue().SetLabel(name.c_str());
  return node;
}

// ---- driver

bool HiGrammar::Generate(CodeUnit& unit) {
  m_labelCounter = 0;
  return GenerateBody(unit);
}

void HiGrammar::Begin(CodeUnit& unit) {
  m_labelCounter = 0;
  unit.m_asm = SyntaxNode::Make(OT_REM, 0, "Asm", -1);
}

bool HiGrammar::GenerateBody(CodeUnit& unit) {
  SyntaxNode* tree = unit.m_tree.get();
  if (!tree) return false;
  unit.m_asm = SyntaxNode::Make(OT_REM, 0, "Asm", -1);
  for (SyntaxNode* node = tree->GetFirstChild(); node; node = node->GetNext())
    if (!Handle_Statement(node, unit.m_asm.get(), unit)) return false;
  return true;
}

// ---- statements

bool HiGrammar::Handle_Statement(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  const char* file = unit.m_fileName.c_str();
  if (node->GetLine() < 1) {
    ReportFileError(file, -1, "Line informations missing");
    return false;
  }
  Emit(list, OP_LINE, Var(node->GetLine()));
  const int type = node->GetType();
  const int subType = node->GetSubType();
  if (type == OT_NEW) return Handle_New(node, list, unit, false) != nullptr;
  if (type == OT_ASSIGN) return Handle_Assign(node, list, unit);
  if (type == OT_CHUNK) {
    if (SyntaxNode::HasText(node, "if")) return Handle_If(node, list, unit);
    if (SyntaxNode::HasText(node, "for")) return Handle_For(node, list, unit);
    if (SyntaxNode::HasText(node, "while")) return Handle_While(node, list, unit);
    if (SyntaxNode::HasText(node, "switch")) return Handle_Switch(node, list, unit);
    return Handle_Chunk(node, list, unit);
  }
  if (subType == OS_FUNC) return Handle_FuncCall(node, list, unit);
  if (type == OT_EXP) return Handle_Expression(node, list, unit);
  if (type == OT_FUNCDEF) return Handle_FuncDef(node, list, unit);
  if (subType == OS_RETURN) return Handle_Return(node, list, unit);
  if (subType == OS_BREAK) return Handle_Break(node, list, unit);
  if (subType == OS_BREAKOUT) return Handle_BreakOut(node, list, unit);
  if (subType == OS_CONTINUE) return Handle_Continue(node, list, unit);
  if (type == OT_LVAL) {
    ReportFileError(file, node->GetLine(), "Unexpected lvalue found");
    return false;
  }
  ReportFileError(file, node->GetLine(), "unable to parse expression");
  return false;
}

Var* HiGrammar::Handle_New(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit, bool isParameter) {
  const char* file = unit.m_fileName.c_str();
  const int line = node->GetLine();
  SyntaxNode* typeNode = FirstChildOfType(node, OT_TYPE);
  SyntaxNode* lval = FirstChildOfType(node, OT_LVAL);
  if (!typeNode || !lval) {
    ReportFileError(file, line, "HiGrammar::Handle_New : Fatal - wrong format found");
    return nullptr;
  }
  SyntaxNode* id = FirstChildOfType(lval, OT_ID);
  if (!id) {
    ReportFileError(file, line, "HiGrammar::Handle_New : Fatal - wrong format found");
    return nullptr;
  }
  SyntaxNode* size = FirstChildOfType(id, OT_EXP);
  const char* keyword = TextOf(typeNode);
  const int code = TypeCodeOf(keyword);
  if (code < 0) {
    ReportFileError(file, line, "HiGrammar::Handle_New : Fatal - unknown vartype found '%s'", keyword);
    return nullptr;
  }
  const char* name = TextOf(id);
  BinCode* module = unit.m_module.get();
  const bool symbol = unit.m_moduleLevel && !isParameter;

  if (size) {
    Var n;
    if (!EvaluateConstant(size, unit, n)) return nullptr;
    if (n.IsNil() || (n.IsArray() && n.GetArraySize() > 0)) return nullptr;
    const int count = n.ToInt();
    Var* slot = nullptr;
    int index = -1;
    if (symbol) {
      slot = module->FindOrCreate(name, 0);
      slot->SetType(VT_NIL);
      slot->SetAuto(false);
    } else {
      slot = module->GetVarTable().AddVariable(name, VT_NIL, index);
    }
    if (!slot) return nullptr;
    if (isParameter) {
      uint32_t word = uint32_t(code & VF_TYPEMASK) | VF_ARRAY | (uint32_t(count) << 8);
      slot->SetUninitializedParam(word);
      return slot;
    }
    if (count > 0) {
      slot->SetArrayType(code);
      SyntaxNode* group = EmitGroup(list, "");
      Emit(group, OP_INIT_FUNC);
      if (symbol) {
        Emit(group, OP_PUSH_VALUE, Var(name), 1);
        Emit(group, OP_PUSH_VAR, Var(PUSHVAR_NAMED));
      } else {
        Emit(group, OP_PUSH_VALUE, Var(index), 1);
        Emit(group, OP_PUSH_VAR, Var(0));
      }
      Emit(group, OP_PUSH_VALUE, Var(count));
      Emit(group, OP_PUSH_VALUE, Var("SetSize"), 1);
      Emit(group, OP_PUSH_VAR, Var(PUSHVAR_NAMED));
      Emit(group, OP_CALL);
    }
    return slot;
  }
  if (SyntaxNode::FindModuleChild(id)) {
    ReportFileError(file, line, "HiGrammar::Handle_New : Module vars are not supported yet.");
    return nullptr;
  }
  // An earlier declaration of the name must agree in type.
  const Var* existing = nullptr;
  if (symbol) {
    existing = module->Find(name);
  } else {
    int slotIndex = FindSlot(module, name);
    existing = slotIndex >= 0 ? module->GetVarTable().GetVariable(slotIndex) : nullptr;
  }
  if (existing) {
    const bool agrees = code == TYPE_AUTO ? existing->IsAuto() : existing->GetType() == code;
    if (!agrees) {
      ReportFileError(file, line, "HiGrammar::Handle_New : double declaration of local variable %s with different types",
                      name);
      return nullptr;
    }
  }
  if (symbol) {
    Var* v = module->FindOrCreate(name, 0);
    if (!existing) v->SetType(code);
    return v;
  }
  int index = -1;
  Var* slot = module->GetVarTable().AddVariable(name, isParameter ? VT_NIL : code, index);
  if (!slot) {
    ReportFileError(file, line, "too many variables in one function");
    return nullptr;
  }
  if (isParameter) slot->SetUninitializedParam(uint32_t(code & VF_TYPEMASK));
  return slot;
}

bool HiGrammar::Handle_Assign(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  // The parser writes assignments as expressions; a kind-11 node is compiled target first, as
  // "=" expects the reference below the value.
  SyntaxNode* lval = FirstChildOfType(node, OT_LVAL);
  SyntaxNode* id = lval ? FirstChildOfType(lval, OT_ID) : nullptr;
  SyntaxNode* exp = FirstChildOfType(node, OT_EXP);
  if (!id || !exp) {
    ReportFileError(unit.m_fileName.c_str(), node->GetLine(), "HiGrammar::Handle_Assign : Fatal - wrong format found");
    return false;
  }
  if (!Handle_VarRef(id, list, unit)) return false;
  if (!Handle_Expression(exp, list, unit)) return false;
  Emit(list, OP_ASSIGN);
  return true;
}

bool HiGrammar::Handle_Chunk(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  SyntaxNode* group = EmitGroup(list, std::string("chunk ") + TextOf(node));
  for (SyntaxNode* child = node->GetFirstChild(); child; child = child->GetNext())
    if (!Handle_Statement(child, group, unit)) return false;
  Emit(group, OP_EOC);
  return true;
}

bool HiGrammar::Handle_If(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  SyntaxNode* cond = node->GetFirstChild();
  SyntaxNode* thenChunk = cond ? cond->GetNext() : nullptr;
  SyntaxNode* elseChunk = thenChunk ? thenChunk->GetNext() : nullptr;
  if (!cond || !thenChunk) return false;
  const int n = ++m_labelCounter;
  SyntaxNode* group = EmitGroup(list, Format("if_%d", n));
  for (SyntaxNode* child = cond->GetFirstChild(); child; child = child->GetNext())
    if (!Handle_Statement(child, group, unit)) return false;
  EmitJump(group, OP_JUMP_FALSE, Format("if_%d_false", n));
  if (!Handle_Statement(thenChunk, group, unit)) return false;
  if (!elseChunk || !elseChunk->GetFirstChild()) {
    EmitLabel(group, Format("if_%d_false", n));
    return true;
  }
  EmitJump(group, OP_JUMP, Format("if_%d_out", n));
  EmitLabel(group, Format("if_%d_false", n));
  if (!Handle_Statement(elseChunk->GetFirstChild(), group, unit)) return false;
  EmitLabel(group, Format("if_%d_out", n));
  return true;
}

bool HiGrammar::Handle_Switch(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  const char* file = unit.m_fileName.c_str();
  const int n = ++m_labelCounter;
  SyntaxNode* value = node->GetFirstChild();
  if (!value) {
    ReportFileError(file, node->GetLine(), "HiGrammar::Handle_Switch: Invalid node structure");
    return false;
  }
  SyntaxNode* defaultNode = nullptr;
  std::vector<SyntaxNode*> cases;
  for (SyntaxNode* child = value->GetNext(); child; child = child->GetNext()) {
    const bool isCase = SyntaxNode::HasText(child, "case");
    const bool isDefault = SyntaxNode::HasText(child, "default");
    if (child->GetSubType() != OS_KEYWORD || (!isCase && !isDefault)) {
      ReportFileError(file, child->GetLine(), "HiGrammar::Handle_Switch: Invalid node structure");
      return false;
    }
    if (isDefault) {
      if (defaultNode) {
        ReportFileError(file, child->GetLine(), "two default statement found");
        return false;
      }
      defaultNode = child;
    } else {
      cases.push_back(child);
    }
  }
  const int k = int(cases.size());
  if (k == 0 && !defaultNode) return true;
  const std::string out = Format("switch_%d_out", n);
  m_breakTargets.push_back(out);
  auto fail = [this]() {
    m_breakTargets.pop_back();
    return false;
  };
  if (!Handle_Expression(value, list, unit)) return fail();
  Emit(list, OP_SWITCH, Var(k));
  std::vector<SyntaxNode*> table;
  std::vector<st_Case> entries(static_cast<size_t>(k));
  for (int i = 0; i < k; ++i) {
    table.push_back(Emit(list, OP_LABEL_TAB));
    entries[size_t(i)].index = i;
    entries[size_t(i)].label = Format("case_%d_%d", n, i);
  }
  if (defaultNode) {
    for (SyntaxNode* child = defaultNode->GetFirstChild(); child; child = child->GetNext())
      if (!Handle_Statement(child, list, unit)) {
        ReportFileError(file, child->GetLine(), "unable to compile case code block");
        return fail();
      }
  }
  EmitJump(list, OP_JUMP, out);
  for (int i = 0; i < k; ++i) {
    if (!Handle_Case(entries[size_t(i)], cases[size_t(i)], list, unit)) return fail();
    for (int j = 0; j < i; ++j) {
      const Var& a = entries[size_t(i)].value;
      const Var& b = entries[size_t(j)].value;
      if (!Var::CompareLess(a, b) && !Var::CompareLess(b, a)) {
        ReportFileError(file, cases[size_t(i)]->GetLine(), "case value %s is defined twice", a.ToText().c_str());
        return fail();
      }
    }
  }
  std::vector<st_Case*> sorted;
  for (st_Case& e : entries) sorted.push_back(&e);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const st_Case* a, const st_Case* b) { return Var::CompareLess(a->value, b->value); });
  for (int i = 0; i < k; ++i) {
    Var label;
    label.SetLabel(sorted[size_t(i)]->label.c_str());
    table[size_t(i)]->SetValue(label);
  }
  EmitLabel(list, out);
  m_breakTargets.pop_back();
  return true;
}

bool HiGrammar::Handle_Case(st_Case& entry, SyntaxNode* caseNode, SyntaxNode* list, CodeUnit& unit) {
  const char* file = unit.m_fileName.c_str();
  SyntaxNode* value = caseNode->GetFirstChild();
  const int line = value ? value->GetLine() : caseNode->GetLine();
  if (!value || !EvaluateConstant(value, unit, entry.value)) {
    ReportFileError(file, line, "case value is not constant");
    return false;
  }
  if (entry.value.IsNil()) {
    ReportFileError(file, line, "case value is nil");
    return false;
  }
  EmitLabel(list, entry.label);
  Emit(list, OP_DATA, entry.value);
  for (SyntaxNode* child = value->GetNext(); child; child = child->GetNext())
    if (!Handle_Statement(child, list, unit)) {
      ReportFileError(file, child->GetLine(), "unable to compile case code block");
      return false;
    }
  return true;
}

bool HiGrammar::Handle_For(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  SyntaxNode* header = node->GetFirstChild();
  SyntaxNode* body = header ? header->GetNext() : nullptr;
  if (!header || !body) return false;
  // The parser gives every header part an exp, an empty one for a part left out.
  SyntaxNode* parts[3] = {nullptr, nullptr, nullptr};
  int i = 0;
  for (SyntaxNode* part = header->GetFirstChild(); part && i < 3; part = part->GetNext(), ++i)
    if (part->GetFirstChild()) parts[i] = part;
  const int n = ++m_labelCounter;
  const std::string head = Format("for_%d", n);
  const std::string cont = Format("for_%d_contine", n);
  const std::string out = Format("for_%d_out", n);
  m_continueTargets.push_back(cont);
  m_breakTargets.push_back(out);
  bool ok = [&]() {
    SyntaxNode* group = EmitGroup(list, head);
    if (parts[0] && !Handle_Expression(parts[0], group, unit)) return false;
    EmitLabel(group, head);
    if (parts[1]) {
      if (!Handle_Expression(parts[1], group, unit)) return false;
      EmitJump(group, OP_JUMP_FALSE, out);
    }
    if (!Handle_Statement(body, group, unit)) return false;
    // A body without braces has no block of its own to clear the value stack; without this
    // every pass would leave its statement's values behind until the stack runs out.
    const bool block = body->GetType() == OT_CHUNK && !SyntaxNode::HasText(body, "if") &&
                       !SyntaxNode::HasText(body, "for") && !SyntaxNode::HasText(body, "while") &&
                       !SyntaxNode::HasText(body, "switch");
    if (!block) Emit(group, OP_EOC);
    EmitLabel(group, cont);
    if (parts[2] && !Handle_Expression(parts[2], group, unit)) return false;
    EmitJump(group, OP_JUMP, head);
    EmitLabel(group, out);
    return true;
  }();
  m_continueTargets.pop_back();
  m_breakTargets.pop_back();
  return ok;
}

bool HiGrammar::Handle_While(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  SyntaxNode* cond = node->GetFirstChild();
  SyntaxNode* body = cond ? cond->GetNext() : nullptr;
  if (!body) return false;
  const int n = ++m_labelCounter;
  const std::string head = Format("while_%d", n);
  const std::string cont = Format("while_%d_contine", n);
  const std::string out = Format("while_%d_out", n);
  m_continueTargets.push_back(cont);
  m_breakTargets.push_back(out);
  bool ok = [&]() {
    SyntaxNode* group = EmitGroup(list, head);
    EmitLabel(group, head);
    for (SyntaxNode* child = cond->GetFirstChild(); child; child = child->GetNext())
      if (!Handle_Statement(child, group, unit)) return false;
    EmitJump(group, OP_JUMP_FALSE, out);
    if (!Handle_Chunk(body, group, unit)) return false;
    EmitLabel(group, cont);
    EmitJump(group, OP_JUMP, head);
    EmitLabel(group, out);
    return true;
  }();
  m_continueTargets.pop_back();
  m_breakTargets.pop_back();
  return ok;
}

bool HiGrammar::Jump(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit, const std::string* target) {
  if (!target) {
    ReportFileError(unit.m_fileName.c_str(), node->GetLine(), "unexpected continue");
    return false;
  }
  EmitJump(list, OP_JUMP, *target);
  return true;
}

bool HiGrammar::Handle_Break(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  return Jump(node, list, unit, m_breakTargets.empty() ? nullptr : &m_breakTargets.back());
}
bool HiGrammar::Handle_BreakOut(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  return Jump(node, list, unit, m_breakTargets.empty() ? nullptr : &m_breakTargets.front());
}
bool HiGrammar::Handle_Continue(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  return Jump(node, list, unit, m_continueTargets.empty() ? nullptr : &m_continueTargets.back());
}

bool HiGrammar::Handle_Return(SyntaxNode* node, SyntaxNode* list, CodeUnit& unit) {
  Emit(list, OP_INIT_FUNC);
  if (SyntaxNode* params = FirstChildOfType(node, OT_PARAMS)) {
    for (SyntaxNode* child = params->GetFirstChild(); child; child = child->GetNext())
      if (!Handle_Statement(child, list, unit)) return false;
  } else if (SyntaxNode* exp = FirstChildOfType(node, OT_EXP)) {
    if (!Handle_Expression(exp, list, unit)) return false;
  }
  Emit(list, OP_RETURN);
  return true;
}

bool HiGrammar::Handle_FuncDef(SyntaxNode* node, SyntaxNode*, CodeUnit& unit) {
  const char* name = TextOf(node);
  SyntaxNode* body = FirstChildOfType(node, OT_CHUNK);
  SyntaxNode* params = FirstChildOfType(node, OT_PARAMS);
  SyntaxNode* typeNode = FirstChildOfType(node, OT_TYPE);

  CodeUnit fn;
  fn.m_tree = body;
  fn.m_fileName = unit.m_fileName;
  fn.m_moduleName = unit.m_moduleName;
  fn.m_lua = unit.m_lua;
  fn.m_module = new BinCode();
  BinCode* module = fn.m_module.get();
  module->SetParent(unit.m_module.get());
  module->FindOrCreate("~f", VT_STRING)->SetString(name);

  int returnType = 0;
  if (typeNode) {
    returnType = TypeCodeOf(TextOf(typeNode));
    if (returnType < 0) {
      ReportFileError(unit.m_fileName.c_str(), node->GetLine(),
                      "HiGrammar::Handle_New : Fatal - unknown vartype found '%s'", TextOf(typeNode));
      return false;
    }
  }
  // One generator numbers the defaults and then the body, so their labels never collide in the
  // function's one label table.
  HiGrammar generator;
  if (params && params->GetFirstChild()) {
    int count = 0;
    for (SyntaxNode* child = params->GetFirstChild(); child; child = child->GetNext()) {
      if (!generator.Handle_New(child, nullptr, fn, true)) return false;
      ++count;
      SyntaxNode* next = child->GetNext();
      if (next && next->GetType() == OT_EXP) {
        if (!fn.m_defaults) fn.m_defaults = SyntaxNode::Make(OT_REM, 0, "asm", -1);
        if (!generator.Handle_Expression(next, fn.m_defaults.get(), fn)) return false;
        child = next;
      }
    }
    module->SetParamCount(count);
  }
  if (!generator.GenerateBody(fn)) return false;
  if (ScriptSystem::GetDumpSwitch())
    SyntaxNode::DumpToFile(fn.m_asm.get(), ("Temp\\" + unit.m_moduleName + "_" + name + "_asm.txt").c_str());
  Linker linker;
  if (!linker.Link(fn)) return false;
  module->SetReturnType(returnType);
  unit.m_module->FindOrCreate(name, VT_MODULE)->SetModule(module);
  return true;
}

}  // namespace KRX
