// Integer statements in register form: "d = e;" and "d += e;" (also -=, *=) whose destination
// is a local or an element of a local array and whose value is built only from locals, int
// constants, elements of local arrays and + - * / % << >> and xor or; and "return e;" of such a value. The
// interpreter translates such a statement once, the first time it reaches it, into a short list
// of operations on plain ints, and runs that list as one step instead of a dispatch per
// instruction.
//
// Running the list changes nothing unless every operand turns out to be a plain int and every
// operation and the store would succeed; otherwise the caller runs the byte code itself, which
// then gives the results and errors of the plain instructions.
#pragma once

#include <cstdint>
#include <vector>

#include "KRX/ByteCode.h"
#include "KRX/runtime/VarTable.h"

namespace KRX {

enum en_IntOp : uint8_t {
  INTOP_LOCAL,         // push local slot `value` (followed, an int)
  INTOP_CONST,         // push `value`
  INTOP_ELEMENT,       // pop an index, push that element of local array `value`
  INTOP_DEST_LOCAL,    // the destination is local slot `value` itself
  INTOP_DEST_ELEMENT,  // pop an index: the destination is that element of local array `value`
  // Operators are their opcodes: OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_MOD, the shifts, the bit ones.
};

// a op b for OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_MOD, the shifts and the bit operators as the plain
// instructions give it for two ints (wrapping; shifts by b & 31, >> arithmetic); false where they
// would not give a plain int (division by zero, INT_MIN / -1).
__attribute__((always_inline)) inline bool PlainIntArith(uint8_t op, int32_t a, int32_t b, int32_t& r) {
  switch (op) {
    case OP_ADD: r = int32_t(uint32_t(a) + uint32_t(b)); return true;
    case OP_SUB: r = int32_t(uint32_t(a) - uint32_t(b)); return true;
    case OP_MUL: r = int32_t(uint32_t(a) * uint32_t(b)); return true;
    case OP_DIV:
      if (b == 0 || (a == INT32_MIN && b == -1)) return false;
      r = a / b;
      return true;
    case OP_MOD:
      if (b == 0) return false;
      r = b == -1 ? 0 : a % b;
      return true;
    case OP_SHIFT_LEFT: r = int32_t(uint32_t(a) << (b & 31)); return true;
    case OP_SHIFT_RIGHT: r = a >> (b & 31); return true;
    case OP_BIT_AND: r = a & b; return true;
    case OP_BIT_XOR: r = a ^ b; return true;
    case OP_BIT_OR: r = a | b; return true;
    default: return false;
  }
}

struct st_IntOp {
  uint8_t kind = 0;
  int32_t value = 0;
};

struct st_IntStatement {
  std::vector<st_IntOp> ops;  // the destination's operations, then the value's (postfix)
  uint8_t assign = 0;         // OP_ASSIGN, OP_ASSIGN_ADD, OP_ASSIGN_SUB, OP_ASSIGN_MUL; OP_RETURN
  uint32_t pushes = 0;        // the most values the byte code pushes on the way
  uint32_t length = 0;        // bytes of the statement from its first push to its "eoc" inclusive
  bool firstIsLocal = false;  // the first instruction: a local read (else an int constant push)
  int32_t firstValue = 0;     // its slot or constant
  uint32_t firstLength = 0;   // its bytes
};

// The deepest value list a statement may need; deeper statements are left to the byte code.
constexpr int kMaxIntDepth = 8;

// "func_init; e; return" at pc with e as the value of a statement: ops leave the returned int.
// length counts from the "func_init" to the "return" inclusive; pushes counts the marker too.
bool MatchIntReturn(const uint8_t* code, uint32_t size, uint32_t pc, st_IntStatement& out);

// "l r <cmp>" at pc with l and r int values as a statement's: ops leave l and r (in that order);
// cmp receives the comparison's opcode, length the bytes before it. A condition of a loop.
bool MatchIntCondition(const uint8_t* code, uint32_t size, uint32_t pc, st_IntStatement& out, uint8_t& cmp);

// Readers of the instruction shapes the code generator emits; each false when the code at p is
// not that shape or runs past size.
// An int constant push at p: its value and length.
bool IntPushAt(const uint8_t* code, uint32_t size, uint32_t p, int32_t& value, uint32_t& length);
// A local read ("push value k; push var 0") at p: its slot and length.
bool LocalReadAt(const uint8_t* code, uint32_t size, uint32_t p, int32_t& slot, uint32_t& length);
// "push value k; push var 4" at p (an element of local array k, the index pushed before it).
bool LocalElementAt(const uint8_t* code, uint32_t size, uint32_t p, int32_t& arraySlot, uint32_t& length);

// Translates the statement starting at pc (a push, not a "line"); false when the code there is
// no such statement. Reads only inside code[0, size).
bool MatchIntStatement(const uint8_t* code, uint32_t size, uint32_t pc, st_IntStatement& out);

// Runs ops on locals: the values they leave from stack[0] on, and the destination they name (if
// any); false when some operand is not a plain int or an operation would not be the plain one.
__attribute__((always_inline)) inline bool RunIntOps(const std::vector<st_IntOp>& ops, const VarTable& locals,
                                                     int32_t* stack, Var*& dest) {
  int sp = 0;
  for (const st_IntOp& op : ops) {
    switch (op.kind) {
      case INTOP_LOCAL: {
        const Var* v = locals.GetVariable(op.value);
        if (!v) return false;
        v = v->Deref();
        if ((v->GetTypeByte() & ~VF_AUTO) != VT_INT) return false;
        stack[sp++] = v->GetRawInt();
        break;
      }
      case INTOP_CONST: stack[sp++] = op.value; break;
      case INTOP_ELEMENT: {
        const Var* array = locals.GetVariable(op.value);
        const Var* v = array ? array->GetElement(stack[sp - 1]) : nullptr;
        if (!v) return false;
        v = v->Deref();
        if ((v->GetTypeByte() & ~VF_AUTO) != VT_INT) return false;
        stack[sp - 1] = v->GetRawInt();
        break;
      }
      case INTOP_DEST_LOCAL:
        dest = locals.GetVariable(op.value);
        if (!dest) return false;
        break;
      case INTOP_DEST_ELEMENT: {
        const Var* array = locals.GetVariable(op.value);
        dest = array ? array->GetElement(stack[--sp]) : nullptr;
        if (!dest) return false;
        break;
      }
      default: {
        const int32_t b = stack[--sp];
        if (!PlainIntArith(op.kind, stack[sp - 1], b, stack[sp - 1])) return false;
        break;
      }
    }
  }
  return true;
}

// Runs the statement on locals: true when it was stored; false when some operand is not a plain
// int or an operation or the store would not be the plain one (nothing has changed then).
__attribute__((always_inline)) inline bool RunIntStatement(const st_IntStatement& s, const VarTable& locals) {
  int32_t stack[kMaxIntDepth];
  Var* dest = nullptr;
  if (!RunIntOps(s.ops, locals, stack, dest)) return false;
  const int32_t value = stack[0];
  if (s.assign == OP_ASSIGN) {
    if (dest->GetTypeByte() != VT_INT) return false;  // auto, converting and array stores
    dest->SetInt(value);
    return true;
  }
  if ((dest->GetTypeByte() & ~VF_AUTO) != VT_INT) return false;
  const uint32_t a = uint32_t(dest->GetRawInt());
  const uint32_t r = s.assign == OP_ASSIGN_ADD   ? a + uint32_t(value)
                     : s.assign == OP_ASSIGN_SUB ? a - uint32_t(value)
                                                 : a * uint32_t(value);
  const bool wasAuto = dest->IsAuto();
  dest->SetInt(int32_t(r));
  dest->SetAuto(wasAuto);
  return true;
}

}  // namespace KRX
