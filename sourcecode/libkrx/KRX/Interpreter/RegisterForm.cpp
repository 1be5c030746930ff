// Translation of whole functions into their register form (see RegisterForm.h).
//
// The translator walks the byte code in address order with the stack the code would have
// (entries that say where each value is, not the values). Values that only an operation reads
// stay off the stack; it is written for a native's marker and arguments, wherever control flow
// joins (so that every path reaches a jump target with everything on it), and, by the loop when
// something may look, below the marker of the call a frame waits in. Each operation that may
// hand over records the stack before its instruction. It walks twice: the first walk learns how
// each call's result is used, the second emits the operations with that.
#include "KRX/Interpreter/RegisterForm.h"

#include <vector>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/Interpreter/IntLoop.h"
#include "KRX/runtime/Types.h"
#include "KRX/runtime/Var.h"
#include "KRX/runtime/VarTable.h"

namespace KRX {

namespace {

constexpr uint8_t kNoOperand = 0xFF;

struct st_Instr {
  uint8_t op = 0;
  uint8_t operandType = kNoOperand;  // the operand's type code
  int32_t value = 0;                 // an int, position, float's bits, bool or text offset
  uint32_t length = 0;
};

// The instruction at pc; false when its operand runs past the code.
bool DecodeInstr(const uint8_t* code, uint32_t size, uint32_t pc, st_Instr& out) {
  out = st_Instr();
  out.op = code[pc];
  out.length = 1;
  if (out.op >= OP_FIRST_NO_OPERAND) return true;
  const int n = OperandLength(code + pc + 1, int(size - pc - 1));
  if (n <= 0) return false;
  const uint8_t type = code[pc + 1] & VF_TYPEMASK;
  const uint8_t* payload = code + pc + 2;
  switch (type) {
    case VT_INT: out.value = ReadIntPayload(payload, uint32_t(n - 1)); break;
    case VT_BOOL: out.value = payload[0] != 0; break;
    case VT_FLOAT:
    case VT_POSITION:
    case VT_CONSTSTRING: out.value = int32_t(ReadLE32(payload)); break;
    default: break;
  }
  out.operandType = type;
  out.length = 1 + uint32_t(n);
  return true;
}

bool IsArithmetic(uint8_t op) {
  return (op >= OP_MUL && op <= OP_ADD) || (op >= OP_SUB && op <= OP_SHIFT_RIGHT) || (op >= OP_BIT_AND && op <= OP_BIT_OR);
}
bool IsComparison(uint8_t op) { return op >= OP_LESS_EQUAL && op <= OP_NOT_EQUAL; }
bool IsConditionalJump(uint8_t op) { return op == OP_JUMP_TRUE || op == OP_JUMP_FALSE; }

// The operator a compound assignment applies (0 for "=").
uint8_t CompoundOperator(uint8_t op) {
  switch (op) {
    case OP_ASSIGN_MUL: return OP_MUL;
    case OP_ASSIGN_DIV: return OP_DIV;
    case OP_ASSIGN_MOD: return OP_MOD;
    case OP_ASSIGN_ADD: return OP_ADD;
    case OP_ASSIGN_SUB: return OP_SUB;
    case OP_ASSIGN_SHIFT_RIGHT: return OP_SHIFT_RIGHT;
    case OP_ASSIGN_SHIFT_LEFT: return OP_SHIFT_LEFT;
    case OP_ASSIGN_BIT_AND: return OP_BIT_AND;
    case OP_ASSIGN_BIT_XOR: return OP_BIT_XOR;
    case OP_ASSIGN_BIT_OR: return OP_BIT_OR;
    default: return 0;
  }
}

// The branch that jumps when "a cmp b" holds; ORDER CMP.
uint8_t BranchOp(uint8_t cmp, bool imm) { return uint8_t((imm ? RO_JLE_RI : RO_JLE_RR) + (cmp - OP_LESS_EQUAL)); }
// The operation computing "a op b" for an arithmetic or comparison opcode; imm: b is a value.
uint8_t ArithOp(uint8_t op, bool imm) {
  if (IsComparison(op)) return imm ? RO_CMP_RI : RO_CMP_RR;
  switch (op) {
    case OP_ADD: return imm ? RO_ADD_RI : RO_ADD_RR;
    case OP_SUB: return imm ? RO_SUB_RI : RO_SUB_RR;
    case OP_MUL: return imm ? RO_MUL_RI : RO_MUL_RR;
    default: return imm ? RO_ARITH_RI : RO_ARITH_RR;
  }
}
// The comparison that holds exactly when cmp does not (for ints).
uint8_t Inverse(uint8_t cmp) {
  switch (cmp) {
    case OP_LESS_EQUAL: return OP_GREATER;
    case OP_LESS: return OP_GREATER_EQUAL;
    case OP_GREATER_EQUAL: return OP_LESS;
    case OP_GREATER: return OP_LESS_EQUAL;
    case OP_EQUAL: return OP_NOT_EQUAL;
    default: return OP_EQUAL;
  }
}

class cl_Translator {
 public:
  // modes: what each call's result becomes, by call in order; filled (from the results'
  // consumers) when !modesKnown, used when modesKnown.
  cl_Translator(const uint8_t* code, uint32_t size, const BinCode& function, st_RegFunction& out,
                std::vector<uint8_t>& modes, bool modesKnown)
      : m_code(code), m_size(size), m_function(function), m_out(out), m_modes(modes), m_modesKnown(modesKnown) {}

  bool Translate();

 private:
  // A value of the stack: en_RegEntry, whether it is surely on the stack already or may be
  // (below the marker of a call, whose callee may have written it), and for a call's result the
  // call (which is told how it is used).
  struct st_Value {
    uint8_t kind = RE_REAL;
    bool real = false;
    int32_t value = 0;
    int32_t call = -1;
    uint32_t pc = 0;  // a name: the instruction that pushes it
    bool maybe = false;
  };
  // An int operand: a register, or the value itself.
  struct st_Operand {
    bool imm = false;
    int32_t value = 0;
  };

  bool Instruction(uint32_t pc, const st_Instr& in, uint32_t& next);
  bool PushValue(uint32_t pc, const st_Instr& in, uint32_t& next);
  bool Binary(uint32_t pc, uint8_t op, uint32_t& next);
  bool Unary(uint32_t pc, uint8_t op);
  bool Condition(uint32_t pc, const st_Instr& in);
  bool Assign(uint32_t pc, uint8_t op);
  bool Call(uint32_t pc);
  bool Return(uint32_t pc);
  void Eoc();

  // The register of stack position i.
  int32_t Reg(size_t i) const { return int32_t(m_out.slotCount + i); }
  // The int operand of v (a register or the value itself); false for anything else. Records
  // that a call's result is taken as an int.
  bool IntOperand(const st_Value& v, st_Operand& out);
  // The operand in a register: a value is first moved into the register of position i.
  int32_t InRegister(const st_Operand& o, size_t i, uint32_t pc);
  void Consumed(const st_Value& v, uint8_t mode) {
    if (v.call >= 0 && !m_modesKnown) m_modes[size_t(v.call)] = mode;
  }
  void Written(int32_t slot);
  // Values from position `from` up that may be on the stack are popped (theirs live elsewhere).
  void PopRealFrom(size_t from);
  bool Push(const st_Value& v);
  uint32_t Snapshot(size_t depth);
  uint32_t Snapshot() { return Snapshot(m_stack.size()); }
  st_RegOp& Emit(uint8_t op, uint32_t pc, uint32_t state);
  // Everything below depth written to the stack.
  void MaterializeBelow(size_t depth);
  // A jump from here to target, everything on the stack: the operation's target is resolved
  // now or when the translation reaches it.
  void JumpTo(uint32_t op, uint32_t target);
  bool ProvenInt(int32_t slot) const {
    return slot >= 0 && size_t(slot) < m_provenInt.size() && m_provenInt[size_t(slot)];
  }

  const uint8_t* m_code;
  uint32_t m_size;
  const BinCode& m_function;
  st_RegFunction& m_out;
  std::vector<uint8_t>& m_modes;
  bool m_modesKnown;

  std::vector<uint8_t> m_isStart, m_isTarget, m_provenInt, m_used, m_written;
  std::vector<int32_t> m_opAt;
  struct st_Fixup {
    uint32_t op;
    uint32_t target;
  };
  std::vector<st_Fixup> m_fixups;
  std::vector<st_Value> m_stack;
  bool m_reachable = true;
  int32_t m_calls = 0;
};

bool cl_Translator::Translate() {
  const int returnType = m_function.GetReturnType();
  // An "auto" function is taken for its ends without a value; a value it returns is left to the
  // byte code (which gives it the auto flag).
  if (m_size < 2 || m_code[0] != OP_PARAMCPY ||
      (returnType != VT_INT && returnType != VT_NIL && returnType != TYPE_AUTO))
    return false;
  // Slots: every parameter a plain int (so a call can store its arguments), the others whatever
  // they are; only plain int slots may be read or written by the code.
  const VarTable& vars = m_function.GetVarTable();
  const int params = m_function.GetParamCount();
  if (params > vars.GetCount() || vars.GetCount() >= kMaxRegisters) return false;
  m_provenInt.assign(size_t(vars.GetCount()), 0);
  for (int i = 0; i < vars.GetCount(); ++i) {
    const Var* slot = vars.GetVariable(i);
    if (i < params)
      m_provenInt[size_t(i)] = slot->GetTypeByte() == VT_UNINITPARAM && (slot->GetDeclaredTypeWord() & 0xFFu) == VT_INT;
    else
      m_provenInt[size_t(i)] = slot->GetTypeByte() == VT_INT;
    if (i < params && !m_provenInt[size_t(i)]) return false;
  }
  m_used.assign(size_t(vars.GetCount()), 0);
  m_written.assign(size_t(vars.GetCount()), 0);
  m_out.params = uint8_t(params);
  m_out.returnType = uint8_t(returnType);
  m_out.slotCount = uint16_t(vars.GetCount());

  // Instruction starts and jump targets; a jump must land on an instruction inside the code.
  m_isStart.assign(m_size + 1, 0);
  m_isTarget.assign(m_size + 1, 0);
  std::vector<uint32_t> jumps;
  for (uint32_t pc = 0; pc < m_size;) {
    st_Instr in;
    if (!DecodeInstr(m_code, m_size, pc, in)) return false;
    m_isStart[pc] = 1;
    if (in.op >= OP_JUMP && in.op <= OP_JUMP_FALSE_NOREMOVE) {
      if (in.operandType != VT_POSITION || in.value < 0 || uint32_t(in.value) >= m_size) return false;
      jumps.push_back(uint32_t(in.value));
    }
    pc += in.length;
  }
  for (uint32_t target : jumps) {
    if (!m_isStart[target]) return false;
    m_isTarget[target] = 1;
  }
  m_opAt.assign(m_size + 1, -1);

  for (uint32_t pc = 1; pc < m_size;) {
    st_Instr in;
    DecodeInstr(m_code, m_size, pc, in);
    if (m_isTarget[pc]) {
      // Paths join: all of them bring their values onto the stack, which the code after the
      // join never reads (statements leave what they push until an "eoc"), and may bring
      // different numbers of them. From here on positions count from the stack's height at
      // the join.
      if (m_reachable) MaterializeBelow(m_stack.size());
      m_stack.clear();
      m_reachable = true;
      m_opAt[pc] = int32_t(m_out.ops.size());
      Emit(RO_JOIN, pc, Snapshot());
      // A loop the plain interpreter runs whole (IntLoop.h) is left to it.
      st_IntLoop loop;
      if (in.op == OP_PUSH_VALUE && MatchIntLoop(m_code, m_size, pc, loop)) {
        Emit(RO_BAIL, pc, Snapshot());
        m_reachable = false;
        pc += in.length;
        continue;
      }
    }
    uint32_t next = pc + in.length;
    if (m_reachable && !Instruction(pc, in, next)) return false;
    pc = next;
  }
  if (m_reachable) Emit(RO_BAIL, m_size, Snapshot());  // ran past the end: the plain interpreter says so
  for (const st_Fixup& fix : m_fixups) {
    if (m_opAt[fix.target] < 0) return false;
    m_out.ops[fix.op].target = uint32_t(m_opAt[fix.target]) - fix.op;
  }
  if (m_out.slotCount + m_out.maxDepth > uint32_t(kMaxRegisters)) return false;
  for (size_t i = 0; i < m_used.size(); ++i) {
    if (m_used[i] || int(i) < params) m_out.intSlots.push_back(int32_t(i));
    if (m_used[i] && int(i) >= params) m_out.initial.push_back(st_RegInitial{int32_t(i), vars.GetVariable(int(i))->GetRawInt()});
    if (m_written[i]) m_out.writtenSlots.push_back(int32_t(i));
  }
  if (!m_modesKnown) m_modes.resize(size_t(m_calls), CR_DROP);  // unless something takes it
  return true;
}

// ---- the stack

bool cl_Translator::Push(const st_Value& v) {
  if (m_stack.size() >= size_t(kMaxRegisters)) return false;
  m_stack.push_back(v);
  if (m_stack.size() > m_out.maxDepth) m_out.maxDepth = uint32_t(m_stack.size());
  return true;
}

uint32_t cl_Translator::Snapshot(size_t depth) {
  // Operations in a row mostly see the same stack: the last state is reused when it is that.
  auto entry = [&](size_t i) {
    const st_Value& v = m_stack[i];
    return st_RegEntry{v.kind, v.value};
  };
  if (!m_out.states.empty()) {
    const st_RegState& last = m_out.states.back();
    bool same = last.depth == depth;
    for (size_t i = 0; same && i < depth; ++i) {
      const st_RegEntry& e = m_out.entries[last.first + i];
      const st_RegEntry now = entry(i);
      same = e.kind == now.kind && e.value == now.value;
    }
    if (same) return uint32_t(m_out.states.size() - 1);
  }
  st_RegState state;
  state.first = uint32_t(m_out.entries.size());
  state.depth = uint32_t(depth);
  for (size_t i = 0; i < depth; ++i) m_out.entries.push_back(entry(i));
  m_out.states.push_back(state);
  return uint32_t(m_out.states.size() - 1);
}

st_RegOp& cl_Translator::Emit(uint8_t op, uint32_t pc, uint32_t state) {
  st_RegOp o;
  o.op = op;
  o.pc = pc;
  o.state = state;
  m_out.ops.push_back(o);
  return m_out.ops.back();
}

void cl_Translator::MaterializeBelow(size_t depth) {
  size_t first = 0;
  while (first < depth && m_stack[first].real) ++first;
  if (first == depth) return;
  Emit(RO_MATERIALIZE, 0, Snapshot(depth));
  for (size_t i = first; i < depth; ++i) m_stack[i].real = true;
}

void cl_Translator::PopRealFrom(size_t from) {
  bool any = false;
  for (size_t i = from; i < m_stack.size(); ++i) {
    any = any || m_stack[i].real || m_stack[i].maybe;
    m_stack[i].real = false;
    m_stack[i].maybe = false;
  }
  if (any) Emit(RO_POP_REAL, 0, 0).d = int32_t(from);
}

void cl_Translator::JumpTo(uint32_t op, uint32_t target) {
  if (m_opAt[target] >= 0)
    m_out.ops[op].target = uint32_t(m_opAt[target]) - op;
  else
    m_fixups.push_back(st_Fixup{op, target});
}

void cl_Translator::Written(int32_t slot) {
  if (slot >= 0 && size_t(slot) < m_written.size()) m_written[size_t(slot)] = 1;
}

bool cl_Translator::IntOperand(const st_Value& v, st_Operand& out) {
  switch (v.kind) {
    case RE_IMM: out = st_Operand{true, v.value}; break;
    case RE_INT:
    case RE_SLOTREF: out = st_Operand{false, v.value}; break;  // a slot's register is its index
    default: return false;
  }
  Consumed(v, CR_INT);
  return true;
}

int32_t cl_Translator::InRegister(const st_Operand& o, size_t i, uint32_t pc) {
  if (!o.imm) return o.value;
  st_RegOp& move = Emit(RO_MOVE_I, pc, 0);
  move.d = Reg(i);
  move.b = o.value;
  return Reg(i);
}

// ---- instructions

bool cl_Translator::Instruction(uint32_t pc, const st_Instr& in, uint32_t& next) {
  switch (in.op) {
    case OP_LINE:
      if (in.operandType != VT_INT) return false;
      Emit(RO_LINE, pc, Snapshot()).d = in.value;
      return true;
    case OP_PUSH_VALUE: return PushValue(pc, in, next);
    case OP_JUMP: {
      // A for loop's step and its jump back ("i++" leaves a copy of i): one operation.
      const size_t depth = m_stack.size();
      const bool step = depth > 0 && !m_out.ops.empty() && m_out.ops.back().op == RO_POST_STEP &&
                        m_out.ops.back().a == Reg(depth - 1) && (depth == 1 || m_stack[depth - 2].real) &&
                        !m_stack.back().real && !m_stack.back().maybe;
      if (step) {
        st_RegOp& o = m_out.ops.back();
        o.op = RO_STEP_JUMP;
        o.pc = pc;
        o.state = Snapshot();
        m_stack.back().real = true;
      } else {
        MaterializeBelow(depth);
        Emit(RO_JUMP, pc, Snapshot());
      }
      m_reachable = false;
      JumpTo(uint32_t(m_out.ops.size() - 1), uint32_t(in.value));
      return true;
    }
    case OP_JUMP_TRUE:
    case OP_JUMP_FALSE: return Condition(pc, in);
    case OP_PRE_INC:
    case OP_PRE_DEC: {
      if (m_stack.empty() || m_stack.back().kind != RE_SLOTREF) return false;
      st_RegOp& o = Emit(RO_STEP, pc, 0);
      o.d = m_stack.back().value;
      o.b = in.op == OP_PRE_INC ? 1 : -1;
      Written(o.d);
      return true;
    }
    case OP_POST_INC:
    case OP_POST_DEC: {
      // The reference is replaced by a copy of its int, which is then stepped in place.
      if (m_stack.empty() || m_stack.back().kind != RE_SLOTREF) return false;
      const size_t top = m_stack.size() - 1;
      const int32_t slot = m_stack.back().value;
      PopRealFrom(top);
      st_RegOp& o = Emit(RO_POST_STEP, pc, 0);
      o.a = Reg(top);
      o.d = slot;
      o.b = in.op == OP_POST_INC ? 1 : -1;
      Written(slot);
      m_stack.back() = st_Value{RE_INT, false, Reg(top), -1, 0};
      return true;
    }
    case OP_NEG:
    case OP_NOT:
    case OP_UNARY_PLUS:
    case OP_UNARY_MINUS: return Unary(pc, in.op);
    case OP_INIT_FUNC: return Push(st_Value{RE_MARKER, false, int32_t(m_stack.size()), -1, 0});
    case OP_CALL: return Call(pc);
    case OP_RETURN: return Return(pc);
    case OP_EOC: Eoc(); return true;
    case OP_STOP:
      Emit(m_out.returnType != VT_INT ? RO_STOP : RO_BAIL, pc, Snapshot());  // an int function's "stop" fails
      m_reachable = false;
      return true;
    default:
      if (IsArithmetic(in.op) || IsComparison(in.op)) return Binary(pc, in.op, next);
      if (in.op >= OP_ASSIGN && in.op <= OP_ASSIGN_BIT_OR) return Assign(pc, in.op);
      return false;  // everything else stays with the plain interpreter
  }
}

bool cl_Translator::PushValue(uint32_t pc, const st_Instr& in, uint32_t& next) {
  st_Instr var;
  const bool varFollows = next < m_size && m_code[next] == OP_PUSH_VAR && !m_isTarget[next] &&
                          DecodeInstr(m_code, m_size, next, var) && var.operandType == VT_INT;
  if (in.operandType == VT_INT) {
    if (!varFollows) return Push(st_Value{RE_IMM, false, in.value, -1, 0});
    if (var.value != 0 || !ProvenInt(in.value)) return false;  // elements and other slots stay plain
    next += var.length;
    m_used[size_t(in.value)] = 1;
    return Push(st_Value{RE_SLOTREF, false, in.value, -1, 0});
  }
  if (in.operandType == VT_CONSTSTRING && varFollows) {
    // A callee's name: only a call right after it is run here (names of variables are not).
    const uint32_t call = next + var.length;
    if (var.value != PUSHVAR_NAMED || call >= m_size || m_code[call] != OP_CALL || m_isTarget[call]) return false;
    next = call;
    return Push(st_Value{RE_NAME, false, in.value, -1, pc});
  }
  if (varFollows) return false;
  if (in.operandType != VT_FLOAT && in.operandType != VT_BOOL && in.operandType != VT_CONSTSTRING) return false;
  st_RegConst c;
  c.type = in.operandType;
  c.bits = uint32_t(in.value);
  if (c.type == VT_BOOL) c.value.SetBool(in.value != 0);
  if (c.type == VT_FLOAT) DecodeOperand(m_code + pc + 1, int(m_size - pc - 1), nullptr, c.value);
  m_out.constants.push_back(c);
  return Push(st_Value{RE_CONST, false, int32_t(m_out.constants.size() - 1), -1, 0});
}

bool cl_Translator::Binary(uint32_t pc, uint8_t op, uint32_t& next) {
  if (m_stack.size() < 2) return false;
  const size_t left = m_stack.size() - 2;
  st_Operand a, b;
  if (!IntOperand(m_stack[left], a) || !IntOperand(m_stack[left + 1], b)) return false;
  st_Instr jump;
  const bool branch = IsComparison(op) && next < m_size && !m_isTarget[next] &&
                      DecodeInstr(m_code, m_size, next, jump) && IsConditionalJump(jump.op);
  if (branch) MaterializeBelow(left);  // both ways join elsewhere
  PopRealFrom(left);
  const uint32_t state = Snapshot();
  const int32_t ra = InRegister(a, left, pc);
  const uint32_t at = uint32_t(m_out.ops.size());
  if (branch) {
    // A comparison and the jump on its result: one branch.
    const uint8_t cmp = jump.op == OP_JUMP_TRUE ? op : Inverse(op);
    st_RegOp& o = Emit(BranchOp(cmp, b.imm), pc, state);
    o.a = ra;
    o.b = b.value;
    m_stack.resize(left);
    next += jump.length;
    JumpTo(at, uint32_t(jump.value));
    return true;
  }
  st_RegOp& o = Emit(ArithOp(op, b.imm), pc, state);
  o.sub = op;
  o.a = ra;
  o.b = b.value;
  o.d = Reg(left);
  m_stack.resize(left);
  return Push(st_Value{uint8_t(IsComparison(op) ? RE_BOOL : RE_INT), false, Reg(left), -1, 0});
}

bool cl_Translator::Unary(uint32_t pc, uint8_t op) {
  if (m_stack.empty()) return false;
  const size_t top = m_stack.size() - 1;
  const st_Value v = m_stack[top];
  if (op == OP_UNARY_PLUS && (v.kind == RE_IMM || v.kind == RE_INT || v.kind == RE_BOOL)) return true;
  st_Operand o;
  if (op == OP_NOT && v.kind == RE_BOOL)
    o = st_Operand{false, v.value};
  else if (!IntOperand(v, o))
    return false;
  PopRealFrom(top);
  const uint32_t state = Snapshot();
  const int32_t ra = InRegister(o, top, pc);
  const uint8_t kind = op == OP_NOT ? RO_NOT : op == OP_NEG ? RO_COMPLEMENT : op == OP_UNARY_MINUS ? RO_NEGATE : RO_MOVE_R;
  st_RegOp& e = Emit(kind, pc, state);
  e.a = ra;
  e.d = Reg(top);
  m_stack[top] = st_Value{uint8_t(op == OP_NOT ? RE_BOOL : RE_INT), false, Reg(top), -1, 0};
  return true;
}

bool cl_Translator::Condition(uint32_t pc, const st_Instr& in) {
  if (m_stack.empty()) return false;
  const size_t top = m_stack.size() - 1;
  const st_Value c = m_stack[top];
  MaterializeBelow(top);
  uint32_t at = uint32_t(m_out.ops.size());
  if (c.kind == RE_REAL) {
    Emit(RO_TEST_REAL, pc, Snapshot()).d = in.op == OP_JUMP_TRUE;
  } else {
    st_Operand o;
    if (c.kind == RE_BOOL)
      o = st_Operand{false, c.value};
    else if (!IntOperand(c, o))
      return false;
    PopRealFrom(top);
    const uint32_t state = Snapshot();
    const int32_t ra = InRegister(o, top, pc);
    at = uint32_t(m_out.ops.size());
    st_RegOp& e = Emit(RO_TEST, pc, state);
    e.a = ra;
    e.d = in.op == OP_JUMP_TRUE;
  }
  // A call's value as a condition stays on the stack: a native's bool is then taken as it is.
  Consumed(c, CR_REAL);
  m_stack.pop_back();
  JumpTo(at, uint32_t(in.value));
  return true;
}

bool cl_Translator::Assign(uint32_t pc, uint8_t op) {
  if (m_stack.size() < 2) return false;
  const size_t top = m_stack.size() - 1;
  const st_Value& dest = m_stack[top - 1];
  if (dest.kind != RE_SLOTREF) return false;
  st_Operand src;
  if (!IntOperand(m_stack[top], src)) return false;
  PopRealFrom(top);
  const uint32_t state = Snapshot();
  const uint8_t arith = CompoundOperator(op);
  st_RegOp& e = Emit(arith ? ArithOp(arith, src.imm) : uint8_t(src.imm ? RO_MOVE_I : RO_MOVE_R), pc, state);
  e.sub = arith;
  e.d = dest.value;
  if (arith) {
    e.a = dest.value;
    e.b = src.value;
  } else if (src.imm) {
    e.b = src.value;
  } else {
    e.a = src.value;
  }
  Written(dest.value);
  m_stack.pop_back();  // the destination's reference stays as the expression's value
  return true;
}

bool cl_Translator::Call(uint32_t pc) {
  if (m_stack.empty() || m_stack.back().kind != RE_NAME) return false;
  const st_Value name = m_stack.back();
  // The arguments lie between the nearest marker and the name.
  size_t marker = m_stack.size() - 1;
  while (marker > 0 && m_stack[marker - 1].kind != RE_MARKER) --marker;
  if (marker == 0) return false;
  --marker;
  st_RegCall call;
  call.nameOffset = name.value;
  call.pcAfter = pc + 1;
  call.marker = uint8_t(marker);
  call.resultReg = uint8_t(Reg(marker));
  call.argc = uint8_t(m_stack.size() - 2 - marker);
  call.intArgs = true;
  call.firstRef = uint16_t(m_out.refSlots.size());
  for (size_t i = marker + 1; i + 1 < m_stack.size(); ++i) {
    const st_Value& arg = m_stack[i];
    call.intArgs = call.intArgs && (arg.kind == RE_IMM || arg.kind == RE_INT || arg.kind == RE_SLOTREF);
    call.realArgs = call.realArgs || arg.kind == RE_REAL;
    if (arg.kind == RE_SLOTREF) m_out.refSlots.push_back(arg.value);
    Consumed(arg, CR_REAL);  // a call's value passed on stays on the stack, whatever it is
  }
  if (m_out.refSlots.size() > UINT16_MAX) return false;
  call.refCount = uint16_t(m_out.refSlots.size() - call.firstRef);
  const int32_t index = m_calls++;
  if (pc + 1 < m_size && m_code[pc + 1] == OP_EOC && !m_isTarget[pc + 1])
    call.result = CR_DISCARD;
  else if (m_modesKnown && size_t(index) < m_modes.size())
    call.result = m_modes[size_t(index)];
  else
    call.result = CR_INT;
  if (!m_modesKnown) m_modes.resize(size_t(m_calls), CR_DROP);  // unless something takes it
  m_out.calls.push_back(call);
  if (call.result == CR_DROP) MaterializeBelow(marker);  // it comes to lie below the new height
  m_stack.pop_back();  // the name is never on the stack
  st_RegOp& e = Emit(RO_CALL, name.pc, Snapshot());
  e.target = uint32_t(m_out.calls.size() - 1);
  if (call.result == CR_DROP) {
    m_stack.clear();
    Emit(RO_JOIN, pc + 1, Snapshot());
    return true;
  }
  // What lies below the marker may be on the stack after the call (it is written before anything
  // may look at it); the result takes the marker's place.
  m_stack.resize(marker);
  for (st_Value& v : m_stack) v.maybe = true;
  switch (call.result) {
    case CR_INT: return Push(st_Value{RE_INT, false, Reg(marker), index, 0});
    case CR_REAL: return Push(st_Value{RE_REAL, true, 0, index, 0});
    default: return Push(st_Value{RE_DEAD, true, 0, -1, 0});
  }
}

bool cl_Translator::Return(uint32_t pc) {
  // "return" takes the value above the nearest marker; other shapes are the plain interpreter's
  // to report.
  const size_t depth = m_stack.size();
  m_reachable = false;
  if (depth >= 1 && m_stack[depth - 1].kind == RE_MARKER) {
    Emit(m_out.returnType != VT_INT ? RO_RETURN_VOID : RO_BAIL, pc, Snapshot());
    return true;
  }
  st_Operand value;
  if (depth < 2 || m_stack[depth - 2].kind != RE_MARKER || m_out.returnType != VT_INT ||
      !IntOperand(m_stack[depth - 1], value)) {
    Emit(RO_BAIL, pc, Snapshot());
    return true;
  }
  st_RegOp& e = Emit(value.imm ? RO_RETURN_I : RO_RETURN_R, pc, Snapshot());
  e.a = value.value;
  e.b = value.value;
  return true;
}

void cl_Translator::Eoc() {
  // A call's value dropped here stays on the stack until then, whatever it is (a native's nil).
  for (const st_Value& v : m_stack) Consumed(v, CR_DROP);
  // Whatever may be on the stack goes, and it may be there even when none of it surely is.
  Emit(RO_CLEAR, 0, 0);
  m_stack.clear();
}

}  // namespace

bool TranslateFunction(const uint8_t* code, uint32_t size, const BinCode& function, st_RegFunction& out) {
  std::vector<uint8_t> modes;
  st_RegFunction first;
  if (!cl_Translator(code, size, function, first, modes, false).Translate()) return false;
  out = st_RegFunction();
  return cl_Translator(code, size, function, out, modes, true).Translate();
}

}  // namespace KRX
