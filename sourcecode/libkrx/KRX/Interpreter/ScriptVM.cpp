// The byte-code interpreter. Execute is the whole loop in one function, so that the compiler
// keeps the code pointer, position and frame in registers; helpers above it are the cold or
// shared paths (stack growth, variable search, natives, errors).
//
// Code loaded from ".bincode" files is data: every instruction is decoded and checked against
// the code length once, the first time its position is reached, into a per-code decode table;
// switch tables and jump targets are checked when used ("corrupt byte code at %d"). Bad code
// ends its thread with a run-time error and never reads outside the blob.
#include "KRX/Interpreter/ScriptVM.h"

#include <array>
#include <cstring>
#include <exception>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/runtime/Builtins.h"
#include "KRX/runtime/Interface.h"
#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/Interpreter/ExecSupport.h"
#include "KRX/Interpreter/IntLoop.h"
#include "KRX/Interpreter/IntStatement.h"
#include "KRX/Module.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/Types.h"
#include "base/String.h"
#include "base/text/Text.h"

namespace KRX {

// ---- debugger hooks

namespace {
const st_DebugHooks* g_hooks = nullptr;
}

void SetDebugHooks(const st_DebugHooks* hooks) { g_hooks = hooks; }

const st_DebugHooks* GetActiveDebugHooks() { return g_hooks && ScriptSystem::GetDebugger() ? g_hooks : nullptr; }

using namespace vm;

// ---- value stack

namespace {
// Moves f's stack into a new block of capacity values (at least its count). The values move as
// they are (a Var holds no pointer to itself).
bool MoveStack(Frame* f, uint32_t capacity) {
  Var* block = NewVarArray(int(capacity));
  if (!block) return false;
  RelocateVars(block, f->m_stack, int(f->m_stackCount));
  if (f->m_stack) {
    for (uint32_t i = 0; i < f->m_stackCount; ++i) new (static_cast<void*>(f->m_stack + i)) Var();
    DeleteVarArray(f->m_stack);
  }
  f->m_stack = block;
  f->m_stackCapacity = capacity;
  return true;
}
}  // namespace

// Grows by half again plus five: a stack that keeps growing is copied a bounded number of times
// per value, not once per five pushes.
bool vm::GrowStack(Frame* f) {
  if (f->m_stackCount >= kMaxStack) return false;
  uint32_t capacity = f->m_stackCount + 5 + f->m_stackCount / 2;
  if (capacity > kMaxStack) capacity = kMaxStack;
  return MoveStack(f, capacity);
}

bool vm::ReserveStack(Frame* f, uint32_t n) {
  if (f->m_stackCapacity >= n) return true;
  if (n > kMaxStack) return false;
  // As GrowStack grows: a stack reserved for again and again is copied a bounded number of times.
  uint32_t capacity = f->m_stackCapacity + 5 + f->m_stackCapacity / 2;
  if (capacity < n) capacity = n;
  return MoveStack(f, capacity < kMaxStack ? capacity : kMaxStack);
}

namespace {

constexpr int kMaxTreeDepth = 256;

// The nearest call marker at or below index from; -1 when none.
__attribute__((always_inline)) inline int FindMarker(const Frame* f, int from) {
  for (int i = from; i >= 0; --i) {
    const Var& v = f->m_stack[i];
    // Only a reference needs following; the plain values are told apart by their type byte.
    if ((v.GetTypeByte() & ~VF_AUTO) == VT_STACKPOS || (v.IsReference() && v.IsStackPos())) return i;
  }
  return -1;
}

// "paramcpy" of a call whose arguments are all plain ints for plain int parameters, exactly as
// many as the callee has, between the call marker and the top `above` values (the callee's
// name, or none) of the caller's stack: the values are stored and the caller's stack popped to
// the marker, as "paramcpy" does. False, with nothing changed, for anything else ("paramcpy"
// then runs and decides).
__attribute__((always_inline)) inline bool CopyIntArguments(Frame* caller, Frame* f, int params, int above) {
  const int marker = int(caller->m_stackCount) - 1 - above - params;
  if (marker < 0 || params > f->m_locals.GetCount()) return false;
  const Var& m = caller->m_stack[marker];
  if ((m.GetTypeByte() & ~VF_AUTO) != VT_STACKPOS && !(m.IsReference() && m.IsStackPos())) return false;
  const Var* args = caller->m_stack + marker + 1;
  for (int i = 0; i < params; ++i) {
    const Var* slot = f->m_locals.GetVariable(i);
    if (slot->GetTypeByte() != VT_UNINITPARAM || (slot->GetDeclaredTypeWord() & 0xFFu) != VT_INT ||
        (args[i].Deref()->GetTypeByte() & ~VF_AUTO) != VT_INT)
      return false;
  }
  for (int i = 0; i < params; ++i) f->m_locals.GetVariable(i)->SetInt(args[i].Deref()->GetRawInt());
  PopTo(caller, uint32_t(marker));
  return true;
}

// ---- code and names

const Var* FindVocabularyVar(const BinCode* function) {
  for (int depth = 0; function && depth < kMaxTreeDepth; ++depth, function = GetParent(function))
    if (const Var* v = function->Find("~vocal"); v && v->GetVocabulary()) return v;
  return nullptr;
}

// ---- decode tables
// Each instruction is decoded and checked against the code length once, the first time the
// interpreter reaches its position; later passes read the table. A table belongs to one "~b"
// value and its bytes, and all tables are dropped when the symbol epoch changes (a module was
// added, removed or destroyed), so a table never outlives the code it describes.

// The interpreter's handlers: one per listed opcode in list order (KRX_OPCODE_LIST), the default
// for every other byte, then fused sequences and the table's own states. ORDER HANDLER: the jump
// targets in ScriptVM::Execute follow this order.
enum en_Handler : uint16_t {
#define KRX_OPCODE_HANDLER(name, value, text) H_##name,
  KRX_OPCODE_LIST(KRX_OPCODE_HANDLER)
#undef KRX_OPCODE_HANDLER
  H_DEFAULT,       // a byte that is no listed opcode
  H_FUSED_LOCAL,   // "push value k" + "push var 0": a local read
  H_FUSED_GLOBAL,  // "push value <text>" + "push var 1": a name read
  H_GENERIC,       // an instruction whose operand is decoded from the code when executed
  H_UNDECODED,     // not decoded yet
  H_CORRUPT,       // does not fit into the code
  H_END,           // the position just past the code
  H_COMPARE_JUMP,  // a comparison and the conditional jump on its result
  // Local-variable sequences (see MatchLocalSequence); each starts with a local read and falls
  // back to running that read alone, then the rest one instruction at a time.
  H_L_CMP_JUMP,  // local, local|int, comparison, conditional jump
  H_L_ASSIGN,    // local, local|int, =|+=|-=|*= [, eoc]
  H_L_BINOP,     // local, local|int, arithmetic or comparison: pushes the result
  H_L_POSTINC,   // local, X++|X-- [, jump]
  H_ELEMENT,     // "push value k" + "push var 4": an element of local array k, index on the stack
  H_L_READ,      // "line" + a local read that starts no longer sequence
  H_INIT_LOCAL,  // "func_init" + a local read (that starts no longer sequence) [+ "return"]
  H_L_ELEMENT,   // local, "push value k" + "push var 4": an element of local array k by a local index
  H_INIT_MARKS,  // ["line"] + one or two "func_init" (`sub` of them) that start no local read
  H_BINOP_STORE,  // * / % + - then "=" and "eoc": the result stored into the lvalue below
  H_INT_STORE,    // ["line"] + a whole integer statement in register form (st_IntStatement)
  H_INT_RETURN,   // ["line"] + "func_init; e; return" of an int function, e in register form
  H_INT_LOOP,     // a loop's condition that starts a whole loop in register form (st_IntLoop)
  H_SLEEP_CALL,   // ["line"] + "name(k)" with k an int or float constant: the built-in Sleep yields here
  H_COUNT
};

// The handler of each opcode byte.
constexpr std::array<uint16_t, 256> kOpHandler = [] {
  std::array<uint16_t, 256> table{};
  table.fill(H_DEFAULT);
#define KRX_OPCODE_HANDLER(name, value, text) table[value] = H_##name;
  KRX_OPCODE_LIST(KRX_OPCODE_HANDLER)
#undef KRX_OPCODE_HANDLER
  return table;
}();
constexpr int8_t kNoOperand = -1;

struct st_Decoded {
  uint16_t handler = H_UNDECODED;
  uint8_t op = 0;                   // the opcode byte
  int8_t operandType = kNoOperand;  // VT_INT, VT_POSITION or kNoOperand
  uint16_t length = 0;              // bytes of the instruction with its operand (and fused partner)
  uint16_t block = 0;               // H_INT_LOOP: the loop's index in st_CodeInfo::loops
  int32_t ival = 0;
  // Local sequences only: the operator, what follows it, the second operand and a jump target.
  uint8_t sub = 0;        // the operator's opcode
  uint8_t first = 0;      // bytes of the leading local read (the fallback runs it alone)
  // The second operand: 0 the int constant aux, 1 local slot aux, 2 an element of local array
  // aux indexed by local slot target (arithmetic and assignments only, which have no jump).
  uint8_t operandLocal = 0;
  uint8_t tail = 0;  // the fused follower: OP_EOC, OP_JUMP, OP_JUMP_TRUE, OP_JUMP_FALSE, OP_ASSIGN (+ eoc) or 0
  uint8_t lineLength = 0;  // bytes of a leading "line" (0: none); `first` counts them too
  int32_t line = 0;
  int32_t aux = 0;
  int32_t target = 0;
};

// The statement shapes the code generator emits for local int arithmetic, matched at pc (which
// holds a local read of d.ival). They run as one step while the operands are plain ints; any
// other value takes the instructions one at a time, so results and errors stay theirs.
bool MatchLocalSequence(const uint8_t* code, uint32_t size, uint32_t pc, st_Decoded& d) {
  int32_t slot = 0;
  uint32_t first = 0;
  if (!LocalReadAt(code, size, pc, slot, first)) return false;
  const uint32_t q = pc + first;
  int32_t arraySlot = 0;
  uint32_t elementLength = 0;
  if (LocalElementAt(code, size, q, arraySlot, elementLength)) {  // a[i]
    d.handler = H_L_ELEMENT;
    d.first = uint8_t(first);
    d.ival = slot;
    d.aux = arraySlot;
    d.tail = 0;
    d.length = uint16_t(first + elementLength);
    return true;
  }
  if (q < size && (code[q] == OP_POST_INC || code[q] == OP_POST_DEC)) {
    d.handler = H_L_POSTINC;
    d.sub = code[q];
    d.first = uint8_t(first);
    d.ival = slot;
    uint32_t length = first + 1;
    if (size - q - 1 >= 6 && code[q + 1] == OP_JUMP && code[q + 2] == VT_POSITION) {
      d.tail = OP_JUMP;
      d.target = int32_t(ReadLE32(code + q + 3));
      length += 6;
    }
    d.length = uint16_t(length);
    return true;
  }
  int32_t aux = 0;
  uint32_t second = 0;
  uint8_t operandLocal = 1;
  int32_t indexSlot = 0;
  if (!LocalReadAt(code, size, q, aux, second)) {
    if (!IntPushAt(code, size, q, aux, second)) return false;
    operandLocal = 0;
  } else if (LocalElementAt(code, size, q + second, arraySlot, elementLength)) {
    operandLocal = 2;  // a[j]: the index slot was read first
    indexSlot = aux;
    aux = arraySlot;
    second += elementLength;
  }
  const uint32_t r = q + second;
  if (r >= size) return false;
  const uint8_t op = code[r];
  uint16_t handler = 0;
  uint8_t tail = 0;
  int32_t target = 0;
  uint32_t end = r + 1;
  if (op >= OP_LESS_EQUAL && op <= OP_NOT_EQUAL && size - r >= 7 && operandLocal != 2 &&
      (code[r + 1] == OP_JUMP_TRUE || code[r + 1] == OP_JUMP_FALSE) && code[r + 2] == VT_POSITION) {
    handler = H_L_CMP_JUMP;
    tail = code[r + 1];
    target = int32_t(ReadLE32(code + r + 3));
    end = r + 7;
  } else if (op == OP_ASSIGN || op == OP_ASSIGN_ADD || op == OP_ASSIGN_SUB || op == OP_ASSIGN_MUL) {
    handler = H_L_ASSIGN;
    if (r + 1 < size && code[r + 1] == OP_EOC) {
      tail = OP_EOC;
      end = r + 2;
    }
  } else if ((op >= OP_MUL && op <= OP_ADD) || op == OP_SUB || (op >= OP_LESS_EQUAL && op <= OP_NOT_EQUAL)) {
    handler = H_L_BINOP;
    if (size - r >= 3 && code[r + 1] == OP_ASSIGN && code[r + 2] == OP_EOC) {  // "x = a op b;"
      tail = OP_ASSIGN;
      end = r + 3;
    }
  } else {
    return false;
  }
  d.handler = handler;
  d.sub = op;
  d.first = uint8_t(first);
  d.operandLocal = operandLocal;
  d.tail = tail;
  d.aux = aux;
  d.target = operandLocal == 2 ? indexSlot : target;
  d.ival = slot;
  d.length = uint16_t(end - pc);
  return true;
}

struct st_CodeInfo : st_CodeHead {
  std::vector<st_Decoded> decoded;
  std::vector<st_IntStatement> statements;  // by st_Decoded::aux of H_INT_STORE
  std::vector<st_IntLoop> loops;            // by st_Decoded::block of H_INT_LOOP
  // By st_Decoded::target of H_SLEEP_CALL: what its name found, valid as long as the table
  // (one symbol epoch) and that vocabulary.
  struct st_Callee {
    const StringPool* vocab = nullptr;
    const Var* callee = nullptr;
  };
  std::vector<st_Callee> callees;
  // What the name of an H_FUSED_GLOBAL found (by its aux - 1), and in which symbol epoch: the
  // code belongs to one function, so a position always names the same symbol for one epoch.
  struct st_Name {
    Var* var = nullptr;
    uint64_t epoch = 0;
  };
  std::vector<st_Name> names;
};

std::unordered_map<const Var*, st_CodeInfo> g_codeInfo;
uint64_t g_codeInfoEpoch = 0;

st_CodeInfo* CodeInfoFor(const Var* codeVar, const uint8_t* bytes, uint32_t size) {
  const uint64_t epoch = GetSymbolEpoch();
  if (g_codeInfoEpoch != epoch) {
    g_codeInfo.clear();
    g_codeInfoEpoch = epoch;
  }
  st_CodeInfo& info = g_codeInfo[codeVar];
  if (info.bytes != bytes || info.size != size || info.decoded.size() != size_t(size) + 1) {
    info.bytes = bytes;
    info.size = size;
    info.decoded.assign(size_t(size) + 1, st_Decoded());
    info.statements.clear();
    info.loops.clear();
    info.callees.clear();
    info.names.clear();
    info.regTried = false;
    info.regForm.reset();
    info.decoded[size].handler = H_END;
  }
  return &info;
}

// A "func_init" at p that does not start the local-read shape H_INIT_LOCAL takes.
bool PlainInitAt(const uint8_t* code, uint32_t size, uint32_t p) {
  if (p >= size || code[p] != OP_INIT_FUNC) return false;
  st_Decoded next;
  int32_t slot = 0;
  uint32_t readLength = 0;
  return MatchLocalSequence(code, size, p + 1, next) || !LocalReadAt(code, size, p + 1, slot, readLength);
}

// ---- a yield by the built-in Sleep
// "[line] func_init; push value k; push value <text>; push var 1; call": a statement calling a
// named function with one int or float constant. Whether the name is the built-in Sleep is known
// only when it runs; the seconds are kept as float bits in aux, the text's offset in ival.
bool MatchSleepCall(st_CodeInfo& info, uint32_t pc, const st_Decoded& at, st_Decoded& d) {
  const uint8_t* code = info.bytes;
  const uint32_t size = info.size;
  uint32_t p = pc;
  if (at.op == OP_LINE) p += at.length;
  if (p >= size || code[p] != OP_INIT_FUNC) return false;
  ++p;
  float seconds = 0.0f;
  int32_t k = 0;
  uint32_t n = 0;
  if (IntPushAt(code, size, p, k, n)) {
    seconds = float(k);
  } else {
    Var constant;
    if (p >= size || code[p] != OP_PUSH_VALUE) return false;
    const int m = DecodeOperand(code + p + 1, int(size - p - 1), nullptr, constant);
    if (m <= 0 || (constant.GetTypeByte() & ~VF_AUTO) != VT_FLOAT) return false;
    seconds = constant.ToFloat();
    n = 1 + uint32_t(m);
  }
  p += n;
  if (size - p < 10 || code[p] != OP_PUSH_VALUE || code[p + 1] != VT_CONSTSTRING || code[p + 6] != OP_PUSH_VAR ||
      code[p + 7] != VT_INT || code[p + 8] != PUSHVAR_NAMED || code[p + 9] != OP_CALL)
    return false;
  d.handler = H_SLEEP_CALL;
  d.op = at.op;
  d.operandType = kNoOperand;
  d.lineLength = at.op == OP_LINE ? uint8_t(at.length) : 0;
  d.line = at.op == OP_LINE ? at.ival : 0;
  d.ival = int32_t(ReadLE32(code + p + 2));
  std::memcpy(&d.aux, &seconds, sizeof seconds);
  d.target = int32_t(info.callees.size());
  info.callees.emplace_back();
  d.length = uint16_t(p + 10 - pc);
  return true;
}

// Decodes the instruction at pc into d (H_CORRUPT when it does not fit into the code).
// returnType: the declared return type of the function the code belongs to.
void DecodeAt(st_CodeInfo& info, uint32_t pc, int returnType, st_Decoded& d) {
  const uint8_t* code = info.bytes;
  const uint32_t size = info.size;
  d.handler = H_CORRUPT;
  const uint8_t op = code[pc];
  uint32_t length = 1;
  uint16_t handler = kOpHandler[op];
  d.operandType = kNoOperand;
  d.ival = 0;
  d.tail = 0;
  if (op < OP_FIRST_NO_OPERAND) {
    if (size - pc < 2) return;
    const uint8_t t = code[pc + 1];
    const uint8_t* p = code + pc + 2;
    if ((t & VF_TYPEMASK) == VT_INT) {
      const uint32_t n = 1u + (t >> 6);
      if (size - pc - 2 < n) return;
      d.ival = ReadIntPayload(p, n);
      d.operandType = VT_INT;
      length = 2 + n;
    } else if (t == VT_POSITION) {
      if (size - pc < 6) return;
      d.ival = int32_t(ReadLE32(p));
      d.operandType = VT_POSITION;
      length = 6;
    } else {
      const int n = OperandLength(code + pc + 1, int(size - pc - 1));
      if (n <= 0) return;
      handler = H_GENERIC;
      length = 1 + uint32_t(n);
    }
  }
  d.op = op;
  if ((op == OP_LINE && d.operandType == VT_INT) || op == OP_INIT_FUNC) {
    d.length = uint16_t(length);
    if (MatchSleepCall(info, pc, st_Decoded(d), d)) return;
  }
  if ((op == OP_LINE && d.operandType == VT_INT) || op == OP_PUSH_VALUE || op == OP_INIT_FUNC) {
    // A whole integer statement or return, after its line or from its first instruction, in
    // register form. Only an int function's returns: others would only ever take the fallback.
    const uint32_t lineLength = op == OP_LINE ? length : 0;
    st_IntStatement statement;
    st_Decoded local;  // "d op= local|int;" already takes one step
    const bool oneStep = MatchLocalSequence(code, size, pc + lineLength, local) && local.handler == H_L_ASSIGN &&
                         local.tail == OP_EOC;
    bool matched = false;
    if (pc + lineLength < size && code[pc + lineLength] == OP_INIT_FUNC) {
      matched = returnType == VT_INT && MatchIntReturn(code, size, pc + lineLength, statement);
      statement.firstLength = 1;  // the fallback runs the "func_init" alone
    } else if (!oneStep && pc + lineLength < size) {
      matched = MatchIntStatement(code, size, pc + lineLength, statement);
    }
    if (matched) {
      d.handler = statement.assign == OP_RETURN ? H_INT_RETURN : H_INT_STORE;
      d.op = code[pc + lineLength];
      d.line = op == OP_LINE ? d.ival : 0;
      d.lineLength = uint8_t(lineLength);
      d.first = uint8_t(lineLength + statement.firstLength);
      d.ival = statement.firstValue;
      d.operandLocal = statement.firstIsLocal ? 1 : 0;
      d.operandType = kNoOperand;
      d.length = uint16_t(lineLength + statement.length);
      d.aux = int32_t(info.statements.size());
      info.statements.push_back(std::move(statement));
      return;
    }
  }
  const bool pushVarFollows = op == OP_PUSH_VALUE && size - pc - length >= 3 && code[pc + length] == OP_PUSH_VAR &&
                              code[pc + length + 1] == VT_INT;
  if (pushVarFollows && d.operandType == VT_INT && code[pc + length + 2] == PUSHVAR_INDEXED) {
    d.first = uint8_t(length);  // the fallback runs the push alone
    handler = H_ELEMENT;
    length += 3;
  } else if (pushVarFollows && d.operandType == VT_INT && code[pc + length + 2] == 0) {
    handler = H_FUSED_LOCAL;
    length += 3;
  } else if (pushVarFollows && code[pc + 1] == VT_CONSTSTRING && code[pc + length + 2] == PUSHVAR_NAMED) {
    const uint8_t* p = code + pc + 2;
    handler = H_FUSED_GLOBAL;
    d.ival = int32_t(ReadLE32(p));
    d.aux = 0;  // no name remembered yet
    length += 3;
    if (pc + length < size && code[pc + length] == OP_CALL) {  // a call of the named function
      d.tail = OP_CALL;
      length += 1;
    }
  }
  if (op >= OP_ASSIGN && op <= OP_ASSIGN_BIT_OR && size - pc >= 2 && code[pc + 1] == OP_EOC) {
    d.tail = OP_EOC;  // an assignment statement's end
    length = 2;
  }
  if (((op >= OP_MUL && op <= OP_ADD) || op == OP_SUB) && size - pc >= 3 && code[pc + 1] == OP_ASSIGN &&
      code[pc + 2] == OP_EOC) {
    handler = H_BINOP_STORE;  // "x = a op b;"
    length = 3;
  }
  if (op >= OP_LESS_EQUAL && op <= OP_NOT_EQUAL && size - pc >= 7 &&
      (code[pc + 1] == OP_JUMP_TRUE || code[pc + 1] == OP_JUMP_FALSE) && code[pc + 2] == VT_POSITION) {
    const uint8_t* p = code + pc + 3;
    handler = H_COMPARE_JUMP;
    d.operandType = int8_t(code[pc + 1]);  // the jump's opcode
    d.ival = int32_t(ReadLE32(p));
    length = 7;
  }
  d.length = uint16_t(length);
  d.handler = handler;
  if (handler == H_FUSED_LOCAL) {
    MatchLocalSequence(code, size, pc, d);
  } else if (op == OP_INIT_FUNC) {
    st_Decoded next;
    int32_t slot = 0;
    uint32_t readLength = 0;
    if (!MatchLocalSequence(code, size, pc + 1, next) && LocalReadAt(code, size, pc + 1, slot, readLength)) {
      d.handler = H_INIT_LOCAL;
      d.ival = slot;
      d.first = uint8_t(readLength);
      d.length = uint16_t(1 + readLength);
      if (pc + 1 + readLength < size && code[pc + 1 + readLength] == OP_RETURN) {
        d.tail = OP_RETURN;
        d.length = uint16_t(d.length + 1);
      }
    } else if (PlainInitAt(code, size, pc + 1)) {  // a call's marker inside a return's
      d.handler = H_INIT_MARKS;
      d.sub = 2;
      d.length = 2;
    }
  } else if (op == OP_LINE && d.operandType == VT_INT && pc + length < size) {
    // A statement's "line" runs with the local sequence after it, while no hook may want it.
    st_Decoded next;
    int32_t slot = 0;
    uint32_t readLength = 0;
    if (!MatchLocalSequence(code, size, pc + length, next) &&
        LocalReadAt(code, size, pc + length, slot, readLength)) {
      next.handler = H_L_READ;
      next.ival = slot;
      next.first = uint8_t(readLength);
      next.length = uint16_t(readLength);
    }
    if (next.handler == H_UNDECODED && PlainInitAt(code, size, pc + length)) {
      next.handler = H_INIT_MARKS;
      next.sub = PlainInitAt(code, size, pc + length + 1) ? 2 : 1;
      next.first = 0;
      next.length = next.sub;
    }
    if (next.handler != H_UNDECODED) {
      next.op = code[pc + length];
      next.line = d.ival;
      next.lineLength = uint8_t(length);
      next.first = uint8_t(next.first + length);
      next.length = uint16_t(next.length + length);
      d = next;
    }
  }
  // A loop's condition (which the loop jumps back to without a line) that starts a whole loop in
  // register form; the instruction's own handler stays for when the loop cannot run as one.
  st_IntLoop loop;
  if (op == OP_PUSH_VALUE && info.loops.size() < UINT16_MAX && MatchIntLoop(code, size, pc, loop)) {
    loop.plainHandler = d.handler;
    d.handler = H_INT_LOOP;
    d.block = uint16_t(info.loops.size());
    info.loops.push_back(std::move(loop));
  }
}

}  // namespace

// Fills the frame's code cache, and the function's (st_FunctionCache) with it, so that the next
// frame of the function finds it there.
__attribute__((noinline)) bool vm::LoadCodeSlow(Frame* f) {
  const uint64_t epoch = GetSymbolEpoch();
  if (f->m_cacheEpoch != epoch || !f->m_decoded) {
    const Var* code = f->m_function ? f->m_function->Find("~b") : nullptr;
    int size = 0;
    if (!code || (!code->GetBinary(size) && size < 0)) return false;
    f->m_codeVar = code;
    f->m_vocabVar = FindVocabularyVar(f->m_function);
    f->m_decoded = nullptr;
    f->m_cacheEpoch = epoch;
  }
  int n = 0;
  const uint8_t* bytes = f->m_codeVar->GetBinary(n);
  const uint32_t size = bytes && n > 0 ? uint32_t(n) : 0;
  auto* info = static_cast<st_CodeInfo*>(f->m_decoded);
  if (!info || info->bytes != bytes || info->size != size) f->m_decoded = CodeInfoFor(f->m_codeVar, bytes, size);
  // The vocabulary is read again with the table: a table built anew may follow a new pool.
  f->m_vocab = f->m_vocabVar ? f->m_vocabVar->GetVocabulary() : nullptr;
  // A frame of the function owns the entry for this epoch when it has an owner for it.
  st_FunctionCache& e = FunctionCacheEntry(f->m_function);
  if (f->m_function && f->m_ownerEpoch == epoch) {
    e = st_FunctionCache{f->m_function, epoch, f->m_owner, f->m_codeVar, f->m_vocabVar, f->m_vocab, f->m_decoded};
  }
  return true;
}

namespace {
bool g_registerFormOn = true;
}  // namespace

const st_RegFunction* vm::TranslateFrameCode(Frame* f) {
  auto* info = static_cast<st_CodeInfo*>(f->m_decoded);
  if (!g_registerFormOn || !f->m_function) return nullptr;
  info->regTried = true;
  auto form = std::make_unique<st_RegFunction>();
  if (TranslateFunction(info->bytes, info->size, *f->m_function, *form)) info->regForm = std::move(form);
  return info->regForm.get();
}

const st_RegFunction* vm::FunctionRegisterForm(BinCode* function) {
  if (!g_registerFormOn) return nullptr;
  const Var* code = function->Find("~b");
  int size = 0;
  const uint8_t* bytes = code ? code->GetBinary(size) : nullptr;
  if (!bytes || size <= 0) return nullptr;
  st_CodeInfo* info = CodeInfoFor(code, bytes, uint32_t(size));
  if (!info->regTried) {
    info->regTried = true;
    auto form = std::make_unique<st_RegFunction>();
    if (TranslateFunction(bytes, uint32_t(size), *function, *form)) info->regForm = std::move(form);
  }
  return info->regForm.get();
}

void ScriptVM::SetRegisterForm(bool on) {
  g_registerFormOn = on;
  ++detail::g_symbolEpoch;  // every code cache is built anew, translations with them
}

bool ScriptVM::HasRegisterForm(BinCode* function) {
  tRefPtr<Thread> probe(new Thread());
  Frame* f = probe->AcquireFrame(0, function);
  probe->m_frames[0] = f;
  probe->m_frameIndex = 0;
  return LoadCode(f) && RegisterFormOf(f) != nullptr;
}

namespace {

// Results of bare-name searches, by function and name text; valid for one symbol epoch. The
// name is compared too, since a vocabulary may move and another text take its address.
struct st_NameCache {
  const BinCode* function = nullptr;
  const char* text = nullptr;
  uint64_t epoch = 0;
  Var* result = nullptr;
  std::string name;
};
st_NameCache g_nameCache[512];

// A module's or function's own entries ("~b" its code, "~vocal" its texts, "~m" its name) are
// no script's variables: code that reached them by name could overwrite the code it runs. The
// compiler never names them, so only damaged or hostile byte code meets this.
inline bool IsHiddenName(const char* name) { return name[0] == '~'; }

Var* SearchSymbols(const BinCode* root, const BinCode* function, const char* name) {
  if (IsHiddenName(name)) return nullptr;
  std::string_view key(name);
  for (int depth = 0; function && depth < kMaxTreeDepth; ++depth, function = GetParent(function))
    if (Var* v = function->Find(key)) return v;
  const Var* bind = root ? root->Find("~bind") : nullptr;
  const BinCode* natives = bind ? bind->GetModule() : nullptr;
  return natives ? natives->Find(key) : nullptr;
}

// The variable search for a bare name: thread variables, the function and its parents, the
// root's natives.
inline Var* FindVariable(Thread& thread, const BinCode* root, const BinCode* function, const char* name) {
  if (!thread.m_variables.empty()) {
    auto it = thread.m_variables.find(std::string_view(name));
    if (it != thread.m_variables.end()) return &it->second;
  }
  uint64_t epoch = GetSymbolEpoch();
  uintptr_t h = (reinterpret_cast<uintptr_t>(function) >> 4) * 31u + (reinterpret_cast<uintptr_t>(name) >> 1);
  st_NameCache& e = g_nameCache[(h ^ (h >> 9)) & 511u];
  if (e.epoch == epoch && e.function == function && e.text == name && std::strcmp(e.name.c_str(), name) == 0)
    return e.result;
  Var* v = SearchSymbols(root, function, name);
  if (v) {
    e.function = function;
    e.text = name;
    e.epoch = epoch;
    e.result = v;
    e.name = name;
  }
  return v;
}

// The same search for a vocabulary name (the fused global read), keyed by the function, its
// vocabulary and the text's offset: a vocabulary only ever appends, so while its blob stays where
// it is, an offset keeps naming the same text and no text compare is needed.
struct st_VocabNameCache {
  const BinCode* function = nullptr;
  const StringPool* pool = nullptr;
  const char* blob = nullptr;
  int32_t offset = -1;
  uint64_t epoch = 0;
  Var* result = nullptr;
};
st_VocabNameCache g_vocabNameCache[512];

}  // namespace

Var* vm::FindVocabularyName(Thread& thread, const BinCode* root, const BinCode* function, const StringPool* pool,
                            int32_t offset, const char* name) {
  if (!thread.m_variables.empty()) {
    auto it = thread.m_variables.find(std::string_view(name));
    if (it != thread.m_variables.end()) return &it->second;
  }
  const uint64_t epoch = GetSymbolEpoch();
  uintptr_t h = (reinterpret_cast<uintptr_t>(function) >> 4) * 31u + uint32_t(offset);
  st_VocabNameCache& e = g_vocabNameCache[(h ^ (h >> 9)) & 511u];
  const char* blob = pool->GetBlob();
  if (e.epoch == epoch && e.function == function && e.offset == offset && e.pool == pool && e.blob == blob)
    return e.result;
  Var* v = SearchSymbols(root, function, name);
  if (v) e = st_VocabNameCache{function, pool, blob, offset, epoch, v};
  return v;
}

namespace {

// Element index of local array arraySlot, the index a plain int in local indexSlot; null when
// any of it is not so (the unfused instructions then decide).
inline Var* LocalElement(const VarTable& locals, int32_t arraySlot, int32_t indexSlot) {
  const Var* index = locals.GetVariable(indexSlot);
  const Var* array = locals.GetVariable(arraySlot);
  if (!index || !array) return nullptr;
  index = index->Deref();
  if ((index->GetTypeByte() & ~VF_AUTO) != VT_INT) return nullptr;
  return array->GetElement(index->GetRawInt());
}

inline bool LooksLikeText(const Var& v) { return v.IsString() && !v.IsArray(); }

// The printable name of a value's declared type: keyword first ("auto" for auto variables).
const char* DeclaredTypeName(const Var& v) {
  if (v.GetType() == VT_UNINITPARAM) {
    uint32_t word = v.GetDeclaredTypeWord();
    return TypeNameFromCode((word & VF_AUTO) ? TYPE_AUTO : int(word & VF_TYPEMASK));
  }
  return TypeNameFromCode(v.IsAuto() ? TYPE_AUTO : v.GetType());
}

const char* PlainTypeName(const Var& v) { return GetTypeName(v.GetType()); }

// ---- native calls

}  // namespace

__attribute__((noinline)) bool vm::CallNative(detail::function_adapter_base* adapter, t_Interface& in, Var& result,
                                              std::string& error) {
  const st_DebugHooks* hooks = in.m_thread && in.m_thread->m_debugFlag ? GetActiveDebugHooks() : nullptr;
  if (hooks && hooks->nativeCall) hooks->nativeCall(adapter);
  const bool ok = CallAdapter(adapter, in, result, error);
  hooks = in.m_thread && in.m_thread->m_debugFlag ? GetActiveDebugHooks() : nullptr;
  if (hooks && hooks->nativeCall) hooks->nativeCall(nullptr);
  return ok;
}

namespace {

// RunIntStatement compiled on its own: inside Execute the compiler keeps its loop in memory and
// calls the element look-up, which costs more than the call made here.
__attribute__((noinline)) bool RunIntStatementApart(const st_IntStatement& s, const VarTable& locals) {
  return RunIntStatement(s, locals);
}

// The step budget: lines, jumps and calls; false once it is used up.
inline bool Step(Thread& thread) {
  if (thread.m_stepBudget < 0) return true;
  if (thread.m_stepBudget == 0) return false;
  --thread.m_stepBudget;
  return true;
}

// RunLoopAt's answers besides a position to go on from.
constexpr uint32_t kLoopCondition = UINT32_MAX;       // run the loop's condition as instructions
constexpr uint32_t kLoopStackFull = UINT32_MAX - 1;  // the value left on the stack has no room

// Runs the integer loop from its condition on, and leaves the step budget, the line and the
// value stack as the plain instructions would have. Out of line: the interpreter loop keeps its
// registers for the common handlers.
__attribute__((noinline)) uint32_t RunLoopAt(Thread& thread, Frame* f, const st_IntLoop& loop) {
  if (thread.m_debugFlag || f->m_stackCount + loop.pushes > kMaxStack) return kLoopCondition;
  if (loop.skips > 0) {
    --loop.skips;
    return kLoopCondition;
  }
  st_LoopRun run;
  run.line = f->m_line;
  const bool ran = RunIntLoop(loop, f->m_locals, thread.m_stepBudget, run);
  if (!ran || (run.iterations == 0 && run.end == LOOPEND_STATEMENT)) {
    // Operands of other types tend to stay so: the next tries come ever later, up to 64 passes
    // apart, until a try runs a whole iteration.
    loop.backoff = loop.backoff ? uint8_t(loop.backoff < 64 ? loop.backoff * 2 : 64) : 1;
    loop.skips = loop.backoff;
    if (!ran) return kLoopCondition;
  } else if (run.iterations > 0) {
    loop.backoff = 0;
  }
  if (run.end == LOOPEND_TOP && run.iterations == 0) return kLoopCondition;  // the budget's end is near
  const st_LoopResume* resume = run.end == LOOPEND_STATEMENT ? &loop.resumes[run.statement] : nullptr;
  if (thread.m_stepBudget >= 0)
    thread.m_stepBudget -= int64_t(run.steps) + (resume ? int64_t(resume->stepsBefore) : run.end == LOOPEND_EXIT ? 1 : 0);
  if (loop.branchy)
    f->m_line = run.line;
  else if (resume && resume->hasLine)
    f->m_line = resume->line;
  else if (run.iterations > 0 && loop.hasLine)
    f->m_line = loop.lastLine;
  // Every iteration runs an "eoc" before it ends; the for loop's step then pushes.
  const bool beforeFirstEoc = !resume || !resume->cleared;
  if (run.iterations > 0 || !beforeFirstEoc) PopTo(f, 0);
  if (run.iterations > 0 && beforeFirstEoc && loop.leavesCopy) {
    const Var* stepped = f->m_locals.GetVariable(loop.localSlots[loop.stepRegister])->Deref();
    Var* top = Push(f);
    if (!top) return kLoopStackFull;
    top->SetInt(run.copy);
    top->SetAuto(stepped->IsAuto());
  }
  if (run.end == LOOPEND_TOP) return kLoopCondition;
  return resume ? resume->pc : loop.end;
}

}  // namespace

// ---- the interpreter loop

bool ScriptVM::Execute(Module& root, Thread& thread) {
  thread.m_state = Thread::STATE_RUNNING;
  thread.m_returnValue.Reset();  // a waiting thread's seconds left
  Frame* f = thread.GetCurrentFrame();
  if (!f) {
    thread.RuntimeError(nullptr, "No code specified for executing");
    return false;
  }
  const BinCode* rootModule = root.GetRoot();
  const uint8_t* code = nullptr;
  uint32_t size = 0;
  const StringPool* vocab = nullptr;
  st_Decoded* decoded = nullptr;
  st_CodeInfo* info = nullptr;
  uint32_t pc = 0;
  Var scratch;   // the decoded operand when it is neither int nor position
  Var caseValue;  // a switch table's case constant
  // A native's error text, used at once: shared by every run, so that resuming a thread (every
  // yield) builds and frees no string.
  static std::string nativeError;
  Var nativeResult;  // outside the handlers: the threaded jumps may not leave a destructor's scope
  BinCode* calleeFunction = nullptr;  // a script call's function and name, for l_enter_callee
  Var* calleeName = nullptr;
  detail::function_adapter_base* nativeAdapter = nullptr;  // a native call, for l_call_native
  int nativeMarker = 0;
  uint32_t nativeEnd = 0;
  int32_t nativeArgCount = 0;
  const st_RegFunction* regForm = nullptr;  // for l_register_form

// Failing instructions: store the position, report through the thread, end the run.
#define VM_FAIL(...)                          \
  do {                                        \
    f->m_position = pc;                       \
    thread.RuntimeError(f, __VA_ARGS__);      \
    return false;                             \
  } while (0)
#define VM_FAIL_SILENT()                      \
  do {                                        \
    f->m_position = pc;                       \
    thread.RuntimeError(f, nullptr);          \
    return false;                             \
  } while (0)
#define VM_CORRUPT(at) VM_FAIL("corrupt byte code at %d", int(at))

  // The current instruction, filled by VM_NEXT.
  uint32_t at = 0;
  uint8_t op = 0;
  int operandType = kNoOperand;
  int32_t ival = 0;
  // Each handler ends by fetching and jumping to the next one itself ("threaded" dispatch): the
  // processor then predicts each handler's successor separately, not all through one jump.
  static const void* const kTargets[] = {
#define KRX_OPCODE_TARGET(name, value, text) &&l_##name,
      KRX_OPCODE_LIST(KRX_OPCODE_TARGET)
#undef KRX_OPCODE_TARGET
      &&l_default, &&l_FUSED_LOCAL, &&l_FUSED_GLOBAL, &&l_GENERIC, &&l_UNDECODED, &&l_CORRUPT, &&l_END,
      &&l_COMPARE_JUMP, &&l_L_CMP_JUMP, &&l_L_ASSIGN, &&l_L_BINOP, &&l_L_POSTINC, &&l_ELEMENT, &&l_L_READ,
      &&l_INIT_LOCAL, &&l_L_ELEMENT, &&l_INIT_MARKS, &&l_BINOP_STORE, &&l_INT_STORE,
      &&l_INT_RETURN, &&l_INT_LOOP, &&l_SLEEP_CALL,
  };
  static_assert(std::size(kTargets) == H_COUNT, "ORDER HANDLER: one jump target per handler");


// Fetches the instruction at pc from the decode table and jumps to its handler. The table has an
// entry for every position up to and including the code length (H_END), and every decoded
// length stays inside the code, so pc never leaves the table.
#define VM_NEXT()                         \
  do {                                    \
    at = pc;                              \
    const st_Decoded& next = decoded[pc]; \
    op = next.op;                         \
    operandType = next.operandType;       \
    ival = next.ival;                     \
    pc += next.length;                    \
    goto* kTargets[next.handler];         \
  } while (0)

load_code:
  if (!LoadCode(f)) VM_FAIL("No code specified for executing");
  info = static_cast<st_CodeInfo*>(f->m_decoded);
  code = info->bytes;
  size = info->size;
  decoded = info->decoded.data();
  vocab = f->m_vocab;
  pc = f->m_position;
  if (pc > size) pc = size;
  // A thread's first function in register form runs there from its entry.
  if (pc == 0 && !thread.m_debugFlag) {
    regForm = RegisterFormOf(f);
    if (regForm && StoreThreadArguments(thread, f, *regForm)) goto l_register_form;
  }
  VM_NEXT();
  {
      l_register_form:
        // f, its arguments stored, runs in register form until it or a callee hands over.
        switch (RunRegisterForm(root, thread, *regForm)) {
          case REGRUN_STOPPED: return true;
          case REGRUN_FAILED: return false;
          case REGRUN_PLAIN: break;
        }
        f = thread.GetCurrentFrame();
        goto load_code;

      l_UNDECODED:
        DecodeAt(*info, at, f->m_function->GetReturnType(), decoded[at]);
        pc = at;
        VM_NEXT();

      l_CORRUPT:
        pc = at;
        VM_CORRUPT(at);

      l_END:
        f->m_position = at;
        return true;  // ran past the end: Run makes the still-running thread dead

      l_COMPARE_JUMP: {
        // Two plain ints are compared and branched on at once; anything else takes the two
        // instructions one at a time.
        if (f->m_stackCount >= 2) {
          Var& leftSlot = f->m_stack[f->m_stackCount - 2];
          Var& rightSlot = f->m_stack[f->m_stackCount - 1];
          const Var& l = *leftSlot.Deref();
          const Var& r = *rightSlot.Deref();
          if ((l.GetTypeByte() & ~VF_AUTO) == VT_INT && (r.GetTypeByte() & ~VF_AUTO) == VT_INT) {
            const bool condition = CompareInts(op, l.GetRawInt(), r.GetRawInt());
            Drop(rightSlot);
            Drop(leftSlot);
            f->m_stackCount -= 2;
            if (operandType == OP_JUMP_TRUE ? condition : !condition) {
              if (ival == -1) VM_FAIL("fatal: unlinkt jump found to -1");
              if (ival < 0 || uint32_t(ival) > size) VM_CORRUPT(at + 1);
              if (!Step(thread)) VM_FAIL("Execution stopped: the step budget is used up");
              pc = uint32_t(ival);
            }
            VM_NEXT();
          }
        }
        pc = at + 1;
        goto* kTargets[kOpHandler[op]];
      }

      // ---- local sequences: one step while the operands are plain ints
      // Each guard that fails jumps to l_local_fallback, which runs the leading local read alone;
      // the instructions after it then run one at a time from their own decode entries.
#define VM_INT(v) (((v)->GetTypeByte() & ~VF_AUTO) == VT_INT)
      l_local_fallback:
        ival = decoded[at].ival;
        pc = at + decoded[at].first;
        goto l_FUSED_LOCAL;

      l_line_fallback:  // a hook may want the line, or the step budget ends there
        operandType = VT_INT;
        ival = decoded[at].line;
        pc = at + decoded[at].lineLength;
        goto l_OP_LINE;

// The leading "line" of a local sequence: set and counted here unless a hook or the budget's end
// needs the instruction itself.
#define VM_LINE_PREFIX(d)                                                           \
  if ((d).lineLength) {                                                             \
    if (thread.m_debugFlag || thread.m_stepBudget == 0) goto l_line_fallback;       \
    f->m_line = (d).line;                                                           \
    if (thread.m_stepBudget > 0) --thread.m_stepBudget;                             \
  }

// The second operand of a local sequence into b: a plain int, or the sequence falls back. An
// element operand pushes one value more than the others on the unfused path.
#define VM_SECOND_OPERAND(d, b)                                                                  \
  if ((d).operandLocal) {                                                                        \
    const Var* rv = (d).operandLocal == 1 ? f->m_locals.GetVariable((d).aux)                     \
                                          : LocalElement(f->m_locals, (d).aux, (d).target);      \
    if (!rv || ((d).operandLocal == 2 && f->m_stackCount + 3 > kMaxStack)) goto l_local_fallback; \
    rv = rv->Deref();                                                                            \
    if (!VM_INT(rv)) goto l_local_fallback;                                                      \
    b = rv->GetRawInt();                                                                         \
  }

      l_L_CMP_JUMP: {
        const st_Decoded& d = decoded[at];
        VM_LINE_PREFIX(d)
        const Var* lv = f->m_locals.GetVariable(ival);
        if (!lv) goto l_local_fallback;
        lv = lv->Deref();
        int32_t b = d.aux;
        VM_SECOND_OPERAND(d, b)
        if (!VM_INT(lv) || f->m_stackCount + 2 > kMaxStack) goto l_local_fallback;
        const bool condition = CompareInts(d.sub, lv->GetRawInt(), b);
        if (d.tail == OP_JUMP_TRUE ? condition : !condition) {
          if (d.target < 0 || uint32_t(d.target) > size || thread.m_stepBudget == 0) goto l_local_fallback;
          if (thread.m_stepBudget > 0) --thread.m_stepBudget;
          pc = uint32_t(d.target);
        }
        VM_NEXT();
      }

      l_L_ASSIGN: {
        const st_Decoded& d = decoded[at];
        VM_LINE_PREFIX(d)
        // As "=" and its kin: the store goes into the slot itself, the source is followed.
        Var* dest = f->m_locals.GetVariable(ival);
        if (!dest || f->m_stackCount + 2 > kMaxStack) goto l_local_fallback;
        int32_t b = d.aux;
        VM_SECOND_OPERAND(d, b)
        if (d.sub == OP_ASSIGN) {
          if (dest->GetTypeByte() != VT_INT) goto l_local_fallback;  // auto, converting and array stores
          dest->SetInt(b);
        } else {
          if (!VM_INT(dest)) goto l_local_fallback;
          const uint32_t a = uint32_t(dest->GetRawInt());
          const uint32_t r = d.sub == OP_ASSIGN_ADD ? a + uint32_t(b) : d.sub == OP_ASSIGN_SUB ? a - uint32_t(b) : a * uint32_t(b);
          const bool wasAuto = dest->IsAuto();
          dest->SetInt(int32_t(r));
          dest->SetAuto(wasAuto);
        }
        if (d.tail == OP_EOC) {
          PopTo(f, 0);
        } else {
          Var* top = Push(f);  // "=" leaves its target's reference for the statement's end
          if (!top) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(OP_PUSH_VALUE));
          top->SetReference(dest);
        }
        VM_NEXT();
      }

      l_L_BINOP: {
        const st_Decoded& d = decoded[at];
        VM_LINE_PREFIX(d)
        const Var* lv = f->m_locals.GetVariable(ival);
        if (!lv || f->m_stackCount + 2 > kMaxStack) goto l_local_fallback;
        lv = lv->Deref();
        int32_t b = d.aux;
        VM_SECOND_OPERAND(d, b)
        if (!VM_INT(lv)) goto l_local_fallback;
        const int32_t a = lv->GetRawInt();
        int32_t r = 0;
        const bool isBool = d.sub >= OP_LESS_EQUAL;
        if (isBool)
          r = CompareInts(d.sub, a, b);
        else if (!PlainIntArith(d.sub, a, b, r))
          goto l_local_fallback;
        if (d.tail == OP_ASSIGN) {
          // "=" and "eoc" follow: an int result goes straight into a plain int variable below.
          Var* dest = f->m_stackCount ? f->m_stack[f->m_stackCount - 1].GetReference() : nullptr;
          if (!isBool && dest && dest->GetTypeByte() == VT_INT) {
            dest->SetInt(r);
            PopTo(f, 0);
            VM_NEXT();
          }
          pc = at + d.length - 2;  // else they run on their own after the pushed result
        }
        Var* top = Push(f);
        if (!top) goto l_local_fallback;
        // The unfused left operand is a copy of the local, auto flag included, then set.
        top->SetInt(0);
        top->SetAuto(lv->IsAuto());
        if (isBool)
          top->SetBool(r != 0);
        else
          top->SetInt(r);
        VM_NEXT();
      }

      l_L_POSTINC: {
        const st_Decoded& d = decoded[at];
        VM_LINE_PREFIX(d)
        Var* lv = f->m_locals.GetVariable(ival);
        if (!lv || f->m_stackCount + 2 > kMaxStack) goto l_local_fallback;
        // The unfused X++ replaces the reference with the value and steps the target in place.
        Var* target = lv->Deref();
        if (!VM_INT(target)) goto l_local_fallback;
        if (d.tail == OP_JUMP) {
          if (d.target < 0 || uint32_t(d.target) > size || thread.m_stepBudget == 0) goto l_local_fallback;
        }
        Var* top = Push(f);
        if (!top) goto l_local_fallback;
        top->Assign(*target);
        target->SetInt(int32_t(uint32_t(target->GetRawInt()) + (d.sub == OP_POST_INC ? 1u : ~0u)));  // wraps as AddInt
        if (d.tail == OP_JUMP) {
          if (thread.m_stepBudget > 0) --thread.m_stepBudget;
          pc = uint32_t(d.target);
          // A loop's back edge to "i < n" (no line of its own, n a constant, i the variable just
          // stepped): the condition is decided here. Near the stack's limit, or when its jump
          // would use up the budget, the condition runs as itself.
          const st_Decoded& c = decoded[pc];
          if (c.handler == H_L_CMP_JUMP && c.lineLength == 0 && c.operandLocal == 0 && c.ival == ival &&
              f->m_stackCount + 2 <= kMaxStack) {
            const bool condition = CompareInts(c.sub, target->GetRawInt(), c.aux);
            if (c.tail == OP_JUMP_TRUE ? condition : !condition) {
              if (c.target >= 0 && uint32_t(c.target) <= size && thread.m_stepBudget != 0) {
                if (thread.m_stepBudget > 0) --thread.m_stepBudget;
                pc = uint32_t(c.target);
              }
            } else {
              pc += c.length;
            }
          }
        }
        VM_NEXT();
      }
      l_INIT_LOCAL: {
        // "func_init; push value k; push var 0" [; return]: a call's first argument or a returned
        // local. Anything unusual runs the instructions one at a time.
        Var* local = f->m_locals.GetVariable(ival);
        if (!local || f->m_stackCount + 2 > kMaxStack) {
          pc = at + 1;
          goto l_OP_INIT_FUNC;
        }
        Var* marker = Push(f);
        if (!marker) {
          pc = at + 1;
          VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(OP_INIT_FUNC));
        }
        marker->SetStackPos(int(f->m_stackCount - 1));
        Var* top = Push(f);
        if (!top) {
          pc = at + 1 + decoded[at].first;
          VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(OP_PUSH_VALUE));
        }
        top->SetReference(local);
        if (decoded[at].tail == OP_RETURN) {
          op = OP_RETURN;
          goto l_OP_RETURN;
        }
        VM_NEXT();
      }

      l_L_ELEMENT: {
        // "local j; push value k; push var 4": a reference to the element, as the element read
        // leaves it. An index that is no plain int, no array or an index out of range take the
        // instructions one at a time, which report it.
        const st_Decoded& d = decoded[at];
        VM_LINE_PREFIX(d)
        Var* element = LocalElement(f->m_locals, d.aux, ival);
        if (!element || f->m_stackCount + 2 > kMaxStack) goto l_local_fallback;
        Var* top = Push(f);
        if (!top) goto l_local_fallback;
        top->SetReference(element);
        VM_NEXT();
      }

      l_INIT_MARKS: {
        // Call markers ("func_init"), after the statement's line.
        const st_Decoded& d = decoded[at];
        VM_LINE_PREFIX(d)
        for (uint32_t k = 0; k < d.sub; ++k) {
          Var* marker = Push(f);
          if (!marker) {
            pc = at + d.lineLength + k + 1;
            VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(OP_INIT_FUNC));
          }
          marker->SetStackPos(int(f->m_stackCount - 1));
        }
        VM_NEXT();
      }

      l_BINOP_STORE: {
        // Two plain ints and a plain int variable below them: the result goes straight into the
        // variable and the statement ends. Anything else runs the three instructions one at a
        // time (the operator first), so results and errors stay theirs.
        if (f->m_stackCount >= 3) {
          Var* dest = f->m_stack[f->m_stackCount - 3].GetReference();
          const Var& l = *f->m_stack[f->m_stackCount - 2].Deref();
          const Var& r = *f->m_stack[f->m_stackCount - 1].Deref();
          if (dest && dest->GetTypeByte() == VT_INT && (l.GetTypeByte() & ~VF_AUTO) == VT_INT &&
              (r.GetTypeByte() & ~VF_AUTO) == VT_INT) {
            const int32_t a = l.GetRawInt(), b = r.GetRawInt();
            int32_t result;
            bool done = true;
            switch (op) {
              case OP_ADD: result = int32_t(uint32_t(a) + uint32_t(b)); break;
              case OP_SUB: result = int32_t(uint32_t(a) - uint32_t(b)); break;
              case OP_MUL: result = int32_t(uint32_t(a) * uint32_t(b)); break;
              case OP_DIV: done = b != 0 && b != -1; result = done ? a / b : 0; break;
              case OP_MOD: done = b != 0 && b != -1; result = done ? a % b : 0; break;
              default: done = false; result = 0; break;  // the concatenation
            }
            if (done) {
              dest->SetInt(result);
              PopTo(f, 0);
              VM_NEXT();
            }
          }
        }
        pc = at + 1;
        goto* kTargets[kOpHandler[op]];
      }

      l_L_READ: {
        const st_Decoded& d = decoded[at];
        VM_LINE_PREFIX(d)
        goto l_FUSED_LOCAL;  // pc is past the read; ival is its slot
      }

      l_INT_STORE: {
        // A whole integer statement as one step; anything unusual runs its first push alone and
        // the rest one instruction at a time, as the unfused local sequences do.
        const st_Decoded& d = decoded[at];
        VM_LINE_PREFIX(d)
        const st_IntStatement& statement = info->statements[uint32_t(d.aux)];
        if (f->m_stackCount + statement.pushes > kMaxStack || !RunIntStatementApart(statement, f->m_locals)) {
          if (d.operandLocal) goto l_local_fallback;
          op = OP_PUSH_VALUE;
          operandType = VT_INT;
          ival = d.ival;
          pc = at + d.first;
          goto l_OP_PUSH_VALUE;
        }
        PopTo(f, 0);
        VM_NEXT();
      }

      l_INT_RETURN: {
        // "return e;" of an int function called by a script function: the value goes straight
        // onto the caller's stack. Anything else runs the "func_init" alone and the rest one
        // instruction at a time.
        const st_Decoded& d = decoded[at];
        VM_LINE_PREFIX(d)
        const st_IntStatement& statement = info->statements[uint32_t(d.aux)];
        Frame* caller = thread.m_frameIndex > 0 ? thread.m_frames[thread.m_frameIndex - 1] : nullptr;
        int32_t values[kMaxIntDepth];
        Var* unused = nullptr;
        Var* slot = nullptr;
        if (caller && !caller->m_context && f->m_function->GetReturnType() == VT_INT &&
            f->m_stackCount + statement.pushes <= kMaxStack && RunIntOps(statement.ops, f->m_locals, values, unused))
          slot = Push(caller);
        if (!slot) {
          op = OP_INIT_FUNC;
          pc = at + d.first;
          goto l_OP_INIT_FUNC;
        }
        slot->SetInt(values[0]);
        op = OP_RETURN;
        pc = at + d.length;
        goto l_pop_frame;
      }

      l_INT_LOOP: {
        // A whole integer loop from its condition on; where it cannot run as one, its condition
        // runs as the local sequence it also is.
        const st_IntLoop& loop = info->loops[decoded[at].block];
        const uint32_t resumeAt = RunLoopAt(thread, f, loop);
        if (resumeAt == kLoopCondition) goto* kTargets[loop.plainHandler];
        if (resumeAt == kLoopStackFull) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(OP_PUSH_VALUE));
        pc = resumeAt;
        VM_NEXT();
      }
#undef VM_INT
#undef VM_LINE_PREFIX
#undef VM_SECOND_OPERAND

      l_ELEMENT: {
        // "push value k; push var 4": the index below becomes a reference to the element.
        if (f->m_stackCount > 0 && f->m_stackCount < kMaxStack) {
          const Var* array = f->m_locals.GetVariable(ival);
          Var& indexSlot = f->m_stack[f->m_stackCount - 1];
          if (array && array->IsArray()) {
            if (Var* element = array->GetElement(indexSlot.ToInt())) {
              indexSlot.SetReference(element);
              VM_NEXT();
            }
          }
        }
        // Missing index, no array, out of range: the two instructions report it.
        Var* top = Push(f);
        if (!top) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(op));
        top->SetInt(ival);
        pc = at + decoded[at].first;
        VM_NEXT();
      }

      l_GENERIC:
        // An int or position whose type byte carries flag bits comes here too: its value is the
        // handlers' ival as the decoded one would be.
        DecodeOperand(code + at + 1, int(size - at - 1), vocab, scratch);
        operandType = scratch.GetType();
        ival = scratch.GetRawInt();
        goto* kTargets[kOpHandler[op]];

      l_OP_LINE: {
        if (operandType != VT_INT) VM_FAIL("Int expected OP_LINE");
        f->m_line = ival;
        if (!Step(thread)) VM_FAIL("Execution stopped: the step budget is used up");
        if (thread.m_debugFlag) {
          if (const st_DebugHooks* hooks = GetActiveDebugHooks(); hooks && hooks->lineHook) {
            f->m_position = pc;
            Frame* before = f;
            hooks->lineHook(thread, *f);
            if (thread.m_state != Thread::STATE_RUNNING) return true;
            f = thread.GetCurrentFrame();
            if (!f) return true;
            pc = f->m_position;
            if (f != before || f->m_cacheEpoch != GetSymbolEpoch()) goto load_code;
            if (pc > size) pc = size;
          }
        }
        VM_NEXT();
      }

      l_OP_DATA:
      l_OP_GROUP:
        VM_NEXT();

      l_OP_PUSH_VALUE: {
        Var* top = Push(f);
        if (!top) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(op));
        if (operandType == VT_INT) {
          top->SetInt(ival);
        } else if (operandType == VT_POSITION) {
          top->SetPosition(ival);
        } else {
          top->Assign(scratch);
        }
        VM_NEXT();
      }

      l_FUSED_LOCAL: {
        // "push value k; push var 0": how every local is read.
        Var* local = f->m_locals.GetVariable(ival);
        if (!local) {
          const char* slotName = f->m_locals.GetName(ival);
          VM_FAIL("undefinied variable '%s' found", slotName ? slotName : "(unknown)");
        }
        Var* top = Push(f);
        if (!top) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(OP_PUSH_VALUE));
        top->SetReference(local);
        VM_NEXT();
      }

      l_FUSED_GLOBAL: {
        // "push value <text>; push var 1": how functions and globals are named. The text is the
        // vocabulary's, as the pushed constant would be.
        const char* name = vocab ? vocab->TextAt(ival) : nullptr;
        if (!name) {
          // No vocabulary (the constant would read "#<offset>") or an offset outside it: take
          // the instructions one at a time.
          pc = at;
          DecodeOperand(code + at + 1, int(size - at - 1), vocab, scratch);
          Var* top = Push(f);
          if (!top) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(OP_PUSH_VALUE));
          top->Assign(scratch);
          pc = at + 6;  // the push var follows
          VM_NEXT();
        }
        const bool callFollows = decoded[at].tail == OP_CALL;
        if (callFollows) pc = at + 9;  // failures stop before the call, as unfused
        // Thread variables come first and differ by thread: only the symbols' answer is kept.
        Var* var = nullptr;
        const int32_t remembered = decoded[at].aux;
        if (thread.m_variables.empty() && remembered > 0 &&
            info->names[uint32_t(remembered - 1)].epoch == GetSymbolEpoch()) {
          var = info->names[uint32_t(remembered - 1)].var;
        } else {
          var = FindVocabularyName(thread, rootModule, f->m_function, vocab, ival, name);
          if (!var) VM_FAIL("undefinied variable '%.250s' found", name);
          if (thread.m_variables.empty()) {
            if (remembered > 0) {
              info->names[uint32_t(remembered - 1)] = st_CodeInfo::st_Name{var, GetSymbolEpoch()};
            } else {
              info->names.push_back(st_CodeInfo::st_Name{var, GetSymbolEpoch()});
              decoded[at].aux = int32_t(info->names.size());
            }
          }
        }
        // A script function called by its name: entered at once, its name not pushed unless its
        // own "paramcpy" needs it (l_enter_callee). Anything unusual, or a hook, takes the call.
        if (callFollows && var->GetTypeByte() == VT_MODULE && var->GetModule() && !thread.m_debugFlag &&
            f->m_stackCount >= 1 && f->m_stackCount < f->m_stackCapacity && thread.m_stepBudget != 0 &&
            thread.m_frameIndex + 1 < Thread::kMaxFrames) {
          if (thread.m_stepBudget > 0) --thread.m_stepBudget;
          pc = at + 10;
          f->m_position = pc;
          calleeFunction = var->GetModule();
          calleeName = var;
          goto l_enter_callee;
        }
        // Likewise a native: its arguments are above the nearest call marker.
        if (callFollows && var->GetTypeByte() == VT_CFUNCTION && var->GetCFunction() && !thread.m_debugFlag &&
            f->m_stackCount >= 1 && f->m_stackCount < f->m_stackCapacity && thread.m_stepBudget != 0) {
          const int marker = FindMarker(f, int(f->m_stackCount) - 1);
          if (marker >= 0) {
            if (thread.m_stepBudget > 0) --thread.m_stepBudget;
            pc = at + 10;
            nativeAdapter = var->GetCFunction();
            nativeMarker = marker;
            nativeEnd = f->m_stackCount;
            nativeArgCount = int32_t(nativeEnd) - marker - 1;
            goto l_call_native;
          }
        }
        Var* top = Push(f);
        if (!top) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(OP_PUSH_VALUE));
        top->SetReference(var);
        if (callFollows) {
          pc = at + 10;
          op = OP_CALL;
          goto l_OP_CALL;
        }
        VM_NEXT();
      }

      l_OP_PUSH_VAR: {
        const int flags = operandType == VT_INT || operandType == VT_POSITION ? ival : scratch.ToInt();
        if (f->m_stackCount == 0) {
          if (flags & PUSHVAR_NAMED) VM_FAIL("missing variable name");
          VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(op));
        }
        int k = int(f->m_stackCount) - 1;
        Var* stack = f->m_stack;
        Var* var = nullptr;
        if (flags == 0) {
          // A local slot: the common case, kept short.
          const Var& top = stack[k];
          int slot = (top.GetTypeByte() & ~VF_AUTO) == VT_INT ? top.GetRawInt() : top.ToInt();
          var = f->m_locals.GetVariable(slot);
          if (!var) {
            const char* slotName = f->m_locals.GetName(slot);
            VM_FAIL("undefinied variable '%s' found", slotName ? slotName : "(unknown)");
          }
          stack[k].SetReference(var);
          VM_NEXT();
        }
        const char* name = nullptr;
        int slot = 0;
        if (flags & PUSHVAR_NAMED) {
          name = LooksLikeText(stack[k]) ? stack[k].GetString() : nullptr;
          if (!name) VM_FAIL("missing variable name");
        } else {
          slot = stack[k].ToInt();
        }
        int index = 0;
        if (flags & PUSHVAR_INDEXED) {
          if (--k < 0) VM_FAIL("missing array index");
          index = stack[k].ToInt();
        }
        const char* moduleName = nullptr;
        if (flags & PUSHVAR_MODULE) {
          if (--k < 0) VM_FAIL("missing module");
          moduleName = stack[k].IsArray() ? nullptr : stack[k].GetString();
          if (!moduleName) VM_FAIL("missing module name");
        }
        if (name && moduleName) {
          const Var* entry = rootModule ? rootModule->Find(moduleName) : nullptr;
          const BinCode* module = entry && !entry->IsArray() ? entry->GetModule() : nullptr;
          if (!module) VM_FAIL("module %s not found", moduleName);
          var = IsHiddenName(name) ? nullptr : module->Find(name);
        } else if (name) {
          var = FindVariable(thread, rootModule, f->m_function, name);
        } else {
          var = f->m_locals.GetVariable(slot);
        }
        if (!var) {
          if (name && moduleName) VM_FAIL("undefinied variable '%.125s::%.125s' found", moduleName, name);
          if (name) VM_FAIL("undefinied variable '%.250s' found", name);
          const char* slotName = f->m_locals.GetName(slot);
          VM_FAIL("undefinied variable '%s' found", slotName ? slotName : "(unknown)");
        }
        if (flags & PUSHVAR_INDEXED) {
          if (!var->IsArray()) VM_FAIL("trying to use an index [] with a non array");
          // Negative indexes are out of range like indexes past the end.
          var = var->GetElement(index);
          if (!var) VM_FAIL("index %d is out of range", index);
        }
        stack[k].SetReference(var);
        PopTo(f, uint32_t(k) + 1);
        VM_NEXT();
      }

      l_OP_JUMP:
      l_OP_JUMP_TRUE:
      l_OP_JUMP_TRUE_NOREMOVE:
      l_OP_JUMP_FALSE:
      l_OP_JUMP_FALSE_NOREMOVE: {
        bool take = true;
        if (op != OP_JUMP) {
          if (f->m_stackCount == 0) VM_FAIL("jump condition expected at OP_JUMP_TRUE");
          Var& top = f->m_stack[f->m_stackCount - 1];
          bool condition = false;
          const Var* c = top.Deref();
          if ((c->GetTypeByte() & ~VF_AUTO) == VT_BOOL)
            condition = c->GetRawInt() != 0;
          else
            c->GetBool(condition);
          if (op == OP_JUMP_TRUE || op == OP_JUMP_FALSE) {
            Drop(top);
            --f->m_stackCount;
          }
          take = (op == OP_JUMP_TRUE || op == OP_JUMP_TRUE_NOREMOVE) ? condition : !condition;
        }
        if (!take) VM_NEXT();
        if (operandType != VT_POSITION) VM_FAIL("programm counter expected at OP_JUMP");
        if (ival == -1) VM_FAIL("fatal: unlinkt jump found to -1");
        if (ival < 0 || uint32_t(ival) > size) VM_CORRUPT(at);
        if (!Step(thread)) VM_FAIL("Execution stopped: the step budget is used up");
        pc = uint32_t(ival);
        VM_NEXT();
      }

      l_OP_SWITCH: {
        const int count = operandType == VT_INT ? ival : scratch.ToInt();
        if (f->m_stackCount == 0) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(op));
        if (count < 0 || uint32_t(count) > (size - pc) / kSwitchEntrySize) VM_CORRUPT(at);
        const Var& value = *f->m_stack[f->m_stackCount - 1].Deref();
        const uint32_t table = pc;
        int lo = 0, hi = count;
        bool matched = false;
        while (hi - lo > 0) {
          int mid = lo + (hi - lo) / 2;
          const uint8_t* entry = code + table + uint32_t(mid) * kSwitchEntrySize;
          if (entry[0] != VT_POSITION) VM_CORRUPT(at);
          uint32_t target = ReadLE32(entry + 1);
          if (target >= size || code[target] != OP_DATA) VM_CORRUPT(at);
          int n = DecodeOperand(code + target + 1, int(size - target - 1), vocab, caseValue);
          if (n <= 0) VM_CORRUPT(target);
          if (Var::CompareLess(caseValue, value)) {
            if (lo == mid) break;
            lo = mid;
          } else if (Var::CompareLess(value, caseValue)) {
            if (hi == mid) break;
            hi = mid;
          } else {
            pc = target + 1 + uint32_t(n);
            matched = true;
            break;
          }
        }
        if (!matched) pc = table + uint32_t(count) * kSwitchEntrySize;
        VM_NEXT();
      }

      l_OP_LABEL:
        VM_FAIL("unexpected command found: OP_LABEL");

      l_OP_PRE_INC:
      l_OP_PRE_DEC: {
        if (f->m_stackCount == 0) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(op));
        Var& top = f->m_stack[f->m_stackCount - 1];
        Var* target = top.IsReference() ? top.GetReference() : nullptr;
        if (!target) {
          if (op == OP_PRE_INC) VM_FAIL("Fatal: Trying to increment a non lvalue");
          VM_FAIL("Fatal: Trying to decrement a non lvalue");
        }
        if (!target->Deref()->AddInt(op == OP_PRE_INC ? 1 : -1)) VM_FAIL_SILENT();
        VM_NEXT();
      }

      l_OP_NEG:
      l_OP_NOT:
      l_OP_UNARY_PLUS:
      l_OP_UNARY_MINUS: {
        if (f->m_stackCount == 0) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(op));
        Var& top = f->m_stack[f->m_stackCount - 1];
        if (top.IsReference()) {
          const Var* target = top.Deref();
          if (target != &top) top.Assign(*target);
        }
        bool ok = true;
        if (op == OP_NEG) {
          if ((top.GetTypeByte() & ~VF_AUTO) == VT_INT)
            top.SetInt(~top.GetRawInt());
          else
            ok = false;
        } else if (op == OP_NOT) {
          Var::OpNot(top);
        } else if (op == OP_UNARY_MINUS) {
          ok = Var::OpNegate(top);
        }
        if (!ok) VM_FAIL("Unable to execute unary operation '%s' on value '%s'", GetCommandName(op), top.ToText().c_str());
        VM_NEXT();
      }

      l_OP_POST_INC:
      l_OP_POST_DEC: {
        if (f->m_stackCount == 0) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(op));
        Var& top = f->m_stack[f->m_stackCount - 1];
        Var* target = top.IsReference() ? top.GetReference() : nullptr;
        if (!target) VM_FAIL("Fatal: Unable to execute %s on non lvalue", GetCommandName(op));
        target = target->Deref();
        top.Assign(*target);
        if (!target->AddInt(op == OP_POST_INC ? 1 : -1)) VM_FAIL_SILENT();
        VM_NEXT();
      }

      l_OP_MUL:
      l_OP_DIV:
      l_OP_MOD:
      l_OP_ADD:
      l_OP_CONCAT:
      l_OP_SUB:
      l_OP_SHIFT_LEFT:
      l_OP_SHIFT_RIGHT:
      l_OP_LESS_EQUAL:
      l_OP_LESS:
      l_OP_GREATER_EQUAL:
      l_OP_GREATER:
      l_OP_EQUAL:
      l_OP_NOT_EQUAL:
      l_OP_BIT_AND:
      l_OP_BIT_XOR:
      l_OP_BIT_OR:
      l_OP_LOGICAL_AND:
      l_OP_LOGICAL_OR: {
        if (f->m_stackCount < 2) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(op));
        Var& left = f->m_stack[f->m_stackCount - 2];
        Var& rightSlot = f->m_stack[f->m_stackCount - 1];
        // "s = s + tail" with s a string variable: appended in place, and the store that follows
        // is done with it (the stack is left as the store leaves it).
        if (op == OP_ADD && left.GetReference() && left.GetReference()->GetTypeByte() == VT_STRING &&
            decoded[pc].handler == H_OP_ASSIGN && f->m_stackCount >= 3 &&
            left.GetReference() == f->m_stack[f->m_stackCount - 3].GetReference() &&
            left.GetReference()->AppendInPlace(*rightSlot.Deref())) {
          Drop(rightSlot);
          Drop(left);
          f->m_stackCount -= 2;
          const st_Decoded& store = decoded[pc];
          at = pc;
          pc += store.length;
          if (store.tail == OP_EOC) PopTo(f, 0);
          VM_NEXT();
        }
        // A string variable + text: the result is built straight from the variable's text
        // rather than from a copy of it (the copy would take the reference's auto flag too).
        if (op == OP_ADD && left.IsReference() && left.GetReference() &&
            left.GetReference()->GetTypeByte() == VT_STRING &&
            Var::ConcatText(*left.GetReference(), *rightSlot.Deref(), left)) {
          Drop(rightSlot);
          --f->m_stackCount;
          VM_NEXT();
        }
        if (left.IsReference()) {
          const Var* target = left.Deref();
          if (target != &left) left.Assign(*target);
        }
        const Var& right = *rightSlot.Deref();
        bool ok;
        switch (op) {
          case OP_MUL: ok = Var::OpMul(right, left); break;
          case OP_DIV: ok = Var::OpDiv(right, left); break;
          case OP_MOD: ok = Var::OpMod(right, left); break;
          case OP_ADD: ok = Var::OpAdd(right, left); break;
          case OP_SUB: ok = Var::OpSub(right, left); break;
          case OP_SHIFT_LEFT: ok = Var::OpShiftLeft(right, left); break;
          case OP_SHIFT_RIGHT: ok = Var::OpShiftRight(right, left); break;
          case OP_LESS_EQUAL: ok = Var::OpLessEqual(right, left); break;
          case OP_LESS: ok = Var::OpLess(right, left); break;
          case OP_GREATER_EQUAL: ok = Var::OpGreaterEqual(right, left); break;
          case OP_GREATER: ok = Var::OpGreater(right, left); break;
          case OP_EQUAL: ok = Var::OpEqual(right, left); break;
          case OP_NOT_EQUAL: ok = Var::OpNotEqual(right, left); break;
          case OP_BIT_AND: ok = Var::OpBitAnd(right, left); break;
          case OP_BIT_XOR: ok = Var::OpBitXor(right, left); break;
          case OP_BIT_OR: ok = Var::OpBitOr(right, left); break;
          case OP_LOGICAL_AND: ok = Var::OpLogicalAnd(right, left); break;
          case OP_LOGICAL_OR: ok = Var::OpLogicalOr(right, left); break;
          default:  // OP_CONCAT: the printable forms joined, within the string cap
            left.SetAuto(false);
            ok = Var::OpConcat(right, left);
            break;
        }
        if (!ok)
          VM_FAIL("Unable to execute binary operation '%s' on value %s(%s) and %s(%s)", GetCommandName(op),
                  left.ToMessageText().c_str(), PlainTypeName(left), right.ToMessageText().c_str(),
                  PlainTypeName(right));
        Drop(rightSlot);
        --f->m_stackCount;
        VM_NEXT();
      }

      l_OP_INIT_FUNC: {
        Var* marker = Push(f);
        if (!marker) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(op));
        marker->SetStackPos(int(f->m_stackCount - 1));
        VM_NEXT();
      }

      l_OP_CALL: {
        if (f->m_stackCount < 2) VM_FAIL("fatal: to less arguments on stack at function call");
        Var& top = f->m_stack[f->m_stackCount - 1];
        if (top.IsReference() && !top.GetReference()) VM_FAIL("fatal: function is not defined");
        const Var& callee = *top.Deref();
        const int calleeType = callee.HasArrayFlag() ? -1 : callee.GetType();
        if (!Step(thread)) VM_FAIL("Execution stopped: the step budget is used up");
        if (calleeType == VT_MODULE) {
          BinCode* function = callee.GetModule();
          if (!function) VM_FAIL("fatal: function is not defined");
          if (thread.m_frameIndex + 1 >= Thread::kMaxFrames)
            VM_FAIL("Unable to call script function, because maximal call depth(%d) is reached", Thread::kMaxFrames);
          f->m_position = pc;
          calleeFunction = function;
          calleeName = nullptr;
          goto l_enter_callee;
        }
        if (calleeType != VT_CFUNCTION) VM_FAIL("trying to call a non function");
        const int marker = FindMarker(f, int(f->m_stackCount) - 2);
        if (marker < 0) VM_FAIL("asm code is corrupted - no beginning 'OP_INIT_FUNC' found before function call");
        if (int(f->m_stackCount) - 1 - marker < 1) VM_FAIL("stack corrupted before function call");
        nativeAdapter = callee.GetCFunction();
        if (!nativeAdapter) VM_FAIL("C-Function not found");
        nativeMarker = marker;
        nativeEnd = f->m_stackCount;
        nativeArgCount = int32_t(nativeEnd) - marker - 2;
        goto l_call_native;
      }

      l_call_native: {
        // nativeAdapter with the nativeArgCount values above nativeMarker on f's stack as its
        // arguments; what is above the marker up to nativeEnd goes, its result takes the
        // marker's place.
        const uint32_t marker = uint32_t(nativeMarker);
        t_Interface in;
        in.m_thread = &thread;
        in.m_argCount = nativeArgCount;
        in.m_args = f->m_stack + marker + 1;
        f->m_stackCount = marker + 1;
        f->m_position = pc;
        Var& result = nativeResult;
        if (!CallNative(nativeAdapter, in, result, nativeError)) {
          LeaveNative(f, marker, nativeEnd);
          thread.RuntimeError(f, "%s", nativeError.c_str());
          return false;
        }
        LeaveNative(f, marker, nativeEnd);
        f->m_stack[marker] = static_cast<Var&&>(result);
        if (thread.m_state != Thread::STATE_RUNNING) return true;
        // The native may have run other threads and loaded modules: the decode tables may be gone.
        if (f->m_cacheEpoch != GetSymbolEpoch()) goto load_code;
        VM_NEXT();
      }

      l_enter_callee: {
        // A frame for calleeFunction above f, which has stored its position; calleeName: the
        // symbol it was found by, when its reference is not on f's stack (there is room for it).
        Frame* caller = f;
        const int index = ++thread.m_frameIndex;
        thread.m_frames[index] = thread.AcquireFrame(index, calleeFunction);
        f = thread.m_frames[index];
        const bool loaded = LoadCode(f);
        if (loaded) {
          info = static_cast<st_CodeInfo*>(f->m_decoded);
          code = info->bytes;
          size = info->size;
          decoded = info->decoded.data();
          vocab = f->m_vocab;
          // The callee's "paramcpy" done here when it only has plain ints to copy; a function in
          // register form then runs there.
          const st_RegFunction* form = thread.m_debugFlag ? nullptr : RegisterFormOf(f);
          if (!thread.m_debugFlag && (form || decoded[0].handler == H_OP_PARAMCPY) &&
              CopyIntArguments(caller, f, calleeFunction->GetParamCount(), calleeName ? 0 : 1)) {
            if (form) {
              regForm = form;
              goto l_register_form;
            }
            pc = decoded[0].length;
            VM_NEXT();
          }
        }
        if (calleeName) caller->m_stack[caller->m_stackCount++].SetReference(calleeName);  // as the call left it
        if (!loaded) goto load_code;  // which reports it
        pc = 0;
        VM_NEXT();
      }

      l_OP_PARAMCPY: {
        BinCode* function = f->m_function;
        const Var* args = nullptr;
        int argCount = 0;
        Frame* caller = nullptr;
        int marker = -1;
        if (thread.m_frameIndex > 0 && !thread.m_frames[thread.m_frameIndex - 1]->m_context) {
          caller = thread.m_frames[thread.m_frameIndex - 1];
          marker = FindMarker(caller, int(caller->m_stackCount) - 2);
          if (marker < 0)
            VM_FAIL("ScriptVM::_FunctionCallScript - internal error: asm code is corrupted - no beginning "
                    "'OP_INIT_FUNC' found before function call");
          if (int(caller->m_stackCount) - 1 - marker < 1)
            VM_FAIL("ScriptVM::_FunctionCallScript - internal error: stack corrupted before function call");
          args = caller->m_stack + marker + 1;
          argCount = int(caller->m_stackCount) - marker - 2;
        } else {
          args = thread.m_args;
          argCount = thread.m_args ? thread.m_argCount : 0;
        }
        const int params = function->GetParamCount();
        bool ok = true;
        if (argCount > params) {
          const char* fname = GetFunctionName(function);
          VM_FAIL("Try to call the function '%s' which is defined with %d paramters with %d values.",
                  fname ? fname : "", params, argCount);
        }
        for (int i = 0; i < params && ok; ++i) {
          Var* slot = f->m_locals.GetVariable(i);
          if (!slot) {
            ok = false;
            break;
          }
          if (i < argCount) {
            // An int argument for a plain int parameter: what AssignTyped would store.
            const Var* arg = args[i].Deref();
            if (slot->GetTypeByte() == VT_UNINITPARAM && (slot->GetDeclaredTypeWord() & 0xFFu) == VT_INT &&
                (arg->GetTypeByte() & ~VF_AUTO) == VT_INT) {
              slot->SetInt(arg->GetRawInt());
              continue;
            }
            // The declared type word is only there before the store; its name is wanted on failure.
            const uint32_t declaredWord = slot->GetType() == VT_UNINITPARAM ? slot->GetDeclaredTypeWord() : 0;
            const bool wasParam = slot->GetType() == VT_UNINITPARAM;
            const int slotCode = slot->IsAuto() ? TYPE_AUTO : slot->GetType();
            if (!slot->AssignTyped(args[i])) {
              const char* slotType =
                  wasParam ? TypeNameFromCode((declaredWord & VF_AUTO) ? TYPE_AUTO : int(declaredWord & VF_TYPEMASK))
                           : TypeNameFromCode(slotCode);
              const char* fname = GetFunctionName(function);
              VM_FAIL("Unable to initialize the parameter %d of function call of '%s'. A parameter from the type "
                      "'%s' was expected, but it was found a value of the type '%s'",
                      i + 1, fname ? fname : "", slotType, DeclaredTypeName(*args[i].Deref()));
            }
          } else if (slot->GetType() == VT_UNINITPARAM) {
            const char* fname = GetFunctionName(function);
            VM_FAIL("Missing parameters at function call of '%s'. The parameter %d is missing.", fname ? fname : "",
                    i + 1);
          }
        }
        if (caller) PopTo(caller, uint32_t(marker));
        if (!ok) VM_FAIL_SILENT();
        VM_NEXT();
      }

      l_OP_RETURN:
      l_OP_STOP: {
        // An int function returning an int, right above its marker, to a script caller: the
        // value goes onto the caller's stack as the general return below would put it.
        if (op == OP_RETURN && f->m_stackCount >= 2 && thread.m_frameIndex > 0 && !thread.m_debugFlag &&
            f->m_function->GetReturnType() == VT_INT) {
          Frame* caller = thread.m_frames[thread.m_frameIndex - 1];
          const Var& value = *f->m_stack[f->m_stackCount - 1].Deref();
          const Var& marker = f->m_stack[f->m_stackCount - 2];
          if (!caller->m_context && (value.GetTypeByte() & ~VF_AUTO) == VT_INT &&
              ((marker.GetTypeByte() & ~VF_AUTO) == VT_STACKPOS || (marker.IsReference() && marker.IsStackPos()))) {
            if (Var* slot = Push(caller)) {
              slot->SetInt(value.GetRawInt());
              PopTo(f, f->m_stackCount - 2);
              goto l_pop_frame;
            }
          }
        }
        {  // the frame's returned value; the fused return joins below
          const int declared = f->m_function->GetReturnType();
          const bool untyped = declared == VT_NIL || declared == TYPE_AUTO;
          const bool firstFrame = thread.m_frameIndex == 0 || thread.m_frames[thread.m_frameIndex - 1]->m_context;
          if (op == OP_STOP) {
            if (!untyped) VM_FAIL("return: missing return value (%s)", GetTypeName(declared));
            thread.m_returnValue = Var();
          } else {
            const int marker = FindMarker(f, int(f->m_stackCount) - 1);
            if (marker < 0) VM_FAIL("asm code is corrupted - no beginning 'OP_INIT_FUNC' found before function call");
            const int values = int(f->m_stackCount) - marker - 1;
            if (values > 1) VM_FAIL("can only return one value on return");
            if (values == 0) {
              PopTo(f, uint32_t(marker));
              if (!untyped) {
                thread.m_returnValue = Var();
                thread.m_returnValue.SetType(declared);
                VM_FAIL("return: missing return value (%s)", GetTypeName(declared));
              }
            } else {
              const Var& r = *f->m_stack[marker + 1].Deref();
              if (firstFrame) {
                thread.m_returnValue = Var();
                thread.m_returnValue.SetType(declared);
                if (!thread.m_returnValue.AssignTyped(r)) {
                  thread.m_returnValue = Var();
                  if (declared == VT_NIL) VM_FAIL("void functions cannot return a value");
                  VM_FAIL("A %s function cannot return a %s value.", GetTypeName(declared), PlainTypeName(r));
                }
                if (thread.m_returnValue.IsConstString() && !thread.m_returnValue.IsReference())
                  thread.m_returnValue.MakeOwned();
              } else {
                Frame* caller = thread.m_frames[thread.m_frameIndex - 1];
                Var* slot = Push(caller);
                if (!slot) VM_FAIL("Fatal: Accessing stack outside range at '%s'", GetCommandName(op));
                const bool intResult = declared == VT_INT && (r.GetTypeByte() & ~VF_AUTO) == VT_INT;
                if (intResult)
                  slot->SetInt(r.GetRawInt());  // the common int result, as SetType and AssignTyped give it
                else
                  slot->SetType(declared);
                if (!intResult && !r.IsNil() && !slot->AssignTyped(r)) {
                  const char* from = PlainTypeName(r);
                  Drop(*slot);
                  --caller->m_stackCount;
                  thread.m_returnValue = Var();
                  VM_FAIL("return: cannot auto convert from %s to %s", from, GetTypeName(declared));
                }
              }
              PopTo(f, uint32_t(marker));
            }
          }
        }
      l_pop_frame:
        f->m_position = pc;
        if (thread.m_debugFlag) {
          if (const st_DebugHooks* hooks = GetActiveDebugHooks(); hooks && hooks->returnHook) hooks->returnHook(thread, *f);
        }
        thread.ReleaseFrame(thread.m_frameIndex);
        --thread.m_frameIndex;
        f = thread.GetCurrentFrame();
        if (thread.m_frameIndex < 0 || !f || f->m_context) {
          thread.m_state = Thread::STATE_FINISHED;
          return true;
        }
        goto load_code;
      }

      l_OP_EOC:
        PopTo(f, 0);
        VM_NEXT();

      l_OP_ASSIGN:
      l_OP_ASSIGN_MUL:
      l_OP_ASSIGN_DIV:
      l_OP_ASSIGN_MOD:
      l_OP_ASSIGN_ADD:
      l_OP_ASSIGN_SUB:
      l_OP_ASSIGN_SHIFT_RIGHT:
      l_OP_ASSIGN_SHIFT_LEFT:
      l_OP_ASSIGN_BIT_AND:
      l_OP_ASSIGN_BIT_XOR:
      l_OP_ASSIGN_BIT_OR: {
        const bool eocFollows = decoded[at].tail == OP_EOC;
        pc = at + 1;  // failures stop before the "eoc", as unfused
        if (f->m_stackCount < 2)
          VM_FAIL("ScriptVM::_DoAssign - InternalError: Missing paramters on assign(%s)", GetCommandName(op));
        Var& lvalue = f->m_stack[f->m_stackCount - 2];
        Var& sourceSlot = f->m_stack[f->m_stackCount - 1];
        Var* dest = lvalue.IsReference() ? lvalue.GetReference() : nullptr;
        if (!dest) VM_FAIL("Can only assign(%s) values to lvalues", GetCommandName(op));
        const Var& src = *sourceSlot.Deref();
        bool ok;
        switch (op) {
          case OP_ASSIGN:
            // An int into a plain int variable or element: what AssignTyped stores.
            if (dest->GetTypeByte() == VT_INT && (src.GetTypeByte() & ~VF_AUTO) == VT_INT) {
              dest->SetInt(src.GetRawInt());
              ok = true;
            } else if (dest->GetTypeByte() == VT_FLOAT && (src.GetTypeByte() & ~VF_AUTO) == VT_FLOAT) {
              dest->SetFloat(src.ToFloat());  // likewise a float into a plain float
              ok = true;
            } else if (&src == &sourceSlot && dest->TakeString(sourceSlot)) {
              ok = true;  // a string only the stack held moves into the variable
            } else {
              ok = dest->AssignTyped(src);
            }
            break;
          case OP_ASSIGN_MUL: ok = Var::OpMul(src, *dest); break;
          case OP_ASSIGN_DIV: ok = Var::OpDiv(src, *dest); break;
          case OP_ASSIGN_MOD: ok = Var::OpMod(src, *dest); break;
          case OP_ASSIGN_ADD: ok = (dest->GetTypeByte() == VT_STRING && dest->AppendInPlace(src)) || Var::OpAdd(src, *dest); break;
          case OP_ASSIGN_SUB: ok = Var::OpSub(src, *dest); break;
          case OP_ASSIGN_SHIFT_RIGHT: ok = Var::OpShiftRight(src, *dest); break;
          case OP_ASSIGN_SHIFT_LEFT: ok = Var::OpShiftLeft(src, *dest); break;
          case OP_ASSIGN_BIT_AND: ok = Var::OpBitAnd(src, *dest); break;
          case OP_ASSIGN_BIT_XOR: ok = Var::OpBitXor(src, *dest); break;
          default: ok = Var::OpBitOr(src, *dest); break;
        }
        if (!ok)
          VM_FAIL("Unable to assign(%s) the value %s(type %s) to a %s variable", GetCommandName(op),
                  src.ToText().c_str(), DeclaredTypeName(src), DeclaredTypeName(*dest));
        Drop(sourceSlot);
        --f->m_stackCount;
        if (eocFollows) {
          PopTo(f, 0);
          pc = at + 2;
        }
        VM_NEXT();
      }

      // ---- a yield by the built-in Sleep
      l_SLEEP_CALL: {
        // The line, the marker, the constant, the name and the call in one go while the name is
        // the built-in Sleep and nothing needs to see the instructions (a hook, the budget's end,
        // a stack that must grow); otherwise they run one at a time.
        // Thread variables may shadow the name: those threads take the instructions.
        static const detail::function_adapter_base* const kSleep = SleepAdapter();
        const st_Decoded& d = decoded[at];
        const int64_t steps = d.lineLength ? 2 : 1;  // the line and the call
        if (thread.m_debugFlag || (thread.m_stepBudget >= 0 && thread.m_stepBudget < steps) || !vocab ||
            f->m_stackCount + 3 > f->m_stackCapacity || !thread.m_variables.empty())
          goto l_sleep_fallback;
        st_CodeInfo::st_Callee& known = info->callees[size_t(d.target)];
        if (known.vocab != vocab || !known.callee) {
          const char* name = vocab->TextAt(ival);
          known.callee = name ? FindVocabularyName(thread, rootModule, f->m_function, vocab, ival, name) : nullptr;
          known.vocab = vocab;
        }
        const Var* callee = known.callee;
        if (!callee || callee->GetTypeByte() != VT_CFUNCTION || callee->GetCFunction() != kSleep)
          goto l_sleep_fallback;
        if (d.lineLength) f->m_line = d.line;
        if (thread.m_stepBudget > 0) thread.m_stepBudget -= steps;
        // The call's nil result stands where its marker was, as after the native call; the slots
        // above the count are nil already.
        ++f->m_stackCount;
        f->m_position = pc;
        float seconds;
        std::memcpy(&seconds, &d.aux, sizeof seconds);
        thread.Sleep(seconds);
        return true;
      }
      l_sleep_fallback:
        if (decoded[at].lineLength) goto l_line_fallback;
        pc = at + 1;
        op = OP_INIT_FUNC;
        goto l_OP_INIT_FUNC;

      l_OP_LABEL_TAB:  // the linker never writes it into code
      l_default:
        if (op >= OP_FIRST_UNBUILT_UNARY && op <= OP_LAST_UNBUILT_UNARY)
          VM_FAIL("Sorry, the unary operation %s is not implemented yet", GetCommandName(op));
        if (op >= OP_FIRST_SILENT_POSTFIX && op <= OP_LAST_SILENT_POSTFIX) VM_FAIL_SILENT();
        VM_FAIL("Unsupported or invalid operation: %d (%s)", int(op), GetCommandName(op));
  }
#undef VM_FAIL
#undef VM_FAIL_SILENT
#undef VM_CORRUPT
#undef VM_NEXT
}

}  // namespace KRX
