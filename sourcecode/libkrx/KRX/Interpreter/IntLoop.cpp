// Translation of whole integer loops into their register form, and the loop that runs them (see
// IntLoop.h).
#include "KRX/Interpreter/IntLoop.h"

#include <climits>
#include <cstdint>

#include "KRX/ByteCode.h"
#include "KRX/Interpreter/IntStatement.h"

namespace KRX {

namespace {

// The register file: locals, then constants, then the temporaries of the statements' value
// lists (one per list position, and one more for an element destination's index below them).
constexpr int kMaxLoopLocals = 16;
constexpr int kConstBase = kMaxLoopLocals;
constexpr int kMaxLoopConstants = 16;
constexpr int kTempBase = kConstBase + kMaxLoopConstants;
constexpr int kRegisters = kTempBase + kMaxIntDepth + 1;
constexpr int kMaxLoopArrays = 8;
// Bodies longer than this are rare enough to leave to the byte code.
constexpr size_t kMaxLoopOps = 256;
constexpr size_t kMaxLoopStatements = 64;

// "line n" with an int operand at p: its value and length.
bool LineAt(const uint8_t* code, uint32_t size, uint32_t p, int32_t& line, uint32_t& length) {
  if (p >= size || size - p < 2 || code[p] != OP_LINE || (code[p + 1] & VF_TYPEMASK) != VT_INT) return false;
  const uint32_t n = 1u + (code[p + 1] >> 6);
  if (size - p - 2 < n) return false;
  line = ReadIntPayload(code + p + 2, n);
  length = 2 + n;
  return true;
}

// The three-address operation of a statement's operator.
uint8_t ArithKind(uint8_t opcode) {
  switch (opcode) {
    case OP_ADD: return LOOP_ADD;
    case OP_SUB: return LOOP_SUB;
    case OP_MUL: return LOOP_MUL;
    case OP_DIV: return LOOP_DIV;
    case OP_MOD: return LOOP_MOD;
    case OP_SHIFT_LEFT: return LOOP_SHL;
    case OP_SHIFT_RIGHT: return LOOP_SHR;
    case OP_BIT_AND: return LOOP_AND;
    case OP_BIT_XOR: return LOOP_XOR;
    default: return LOOP_OR;
  }
}

class cl_LoopBuilder {
 public:
  explicit cl_LoopBuilder(st_IntLoop& loop) : m_loop(loop) {}

  bool Local(int32_t slot, uint8_t use, uint8_t& reg) {
    for (size_t k = 0; k < m_loop.localSlots.size(); ++k) {
      if (m_loop.localSlots[k] == slot) {
        m_loop.localUses[k] |= use;
        reg = uint8_t(k);
        return true;
      }
    }
    if (m_loop.localSlots.size() >= kMaxLoopLocals) return false;
    reg = uint8_t(m_loop.localSlots.size());
    m_loop.localSlots.push_back(slot);
    m_loop.localUses.push_back(use);
    return true;
  }
  bool Constant(int32_t value, uint8_t& reg) {
    for (size_t k = 0; k < m_loop.constants.size(); ++k) {
      if (m_loop.constants[k] == value) {
        reg = uint8_t(kConstBase + k);
        return true;
      }
    }
    if (m_loop.constants.size() >= kMaxLoopConstants) return false;
    reg = uint8_t(kConstBase + m_loop.constants.size());
    m_loop.constants.push_back(value);
    return true;
  }
  bool Array(int32_t slot, uint8_t& index) {
    for (size_t k = 0; k < m_loop.arraySlots.size(); ++k) {
      if (m_loop.arraySlots[k] == slot) {
        index = uint8_t(k);
        return true;
      }
    }
    if (m_loop.arraySlots.size() >= kMaxLoopArrays) return false;
    index = uint8_t(m_loop.arraySlots.size());
    m_loop.arraySlots.push_back(slot);
    return true;
  }
  bool Emit(uint8_t kind, uint8_t d, uint8_t a, uint8_t b, uint8_t array = 0) {
    if (m_loop.ops.size() >= kMaxLoopOps) return false;
    m_loop.ops.push_back(st_LoopOp{kind, d, a, b, array, m_statement, 0, 0});
    return true;
  }
  void SetStatement(size_t statement) { m_statement = uint8_t(statement); }

  // The postfix operations of a statement or condition as three-address ones, up to the store:
  // the registers of the values they leave on stack, depth of them, and the destination's.
  struct st_Values {
    uint8_t stack[kMaxIntDepth + 1];
    int depth = 0;
    bool destLocal = false;
    uint8_t dest = 0, destIndex = 0, destArray = 0;
  };
  bool Values(const st_IntStatement& s, st_Values& v) {
    uint8_t* stack = v.stack;
    int& depth = v.depth;
    for (const st_IntOp& op : s.ops) {
      uint8_t reg = 0;
      switch (op.kind) {
        case INTOP_LOCAL:
          if (depth > kMaxIntDepth || !Local(op.value, LOOPUSE_READ, reg)) return false;
          stack[depth++] = reg;
          break;
        case INTOP_CONST:
          if (depth > kMaxIntDepth || !Constant(op.value, reg)) return false;
          stack[depth++] = reg;
          break;
        case INTOP_ELEMENT: {
          uint8_t array = 0;
          if (depth < 1 || !Array(op.value, array)) return false;
          const uint8_t t = uint8_t(kTempBase + depth - 1);
          if (!Emit(LOOP_LOAD, t, stack[depth - 1], 0, array)) return false;
          stack[depth - 1] = t;
          break;
        }
        case INTOP_DEST_LOCAL:
          v.destLocal = true;
          if (!Local(op.value, s.assign == OP_ASSIGN ? LOOPUSE_ASSIGN : LOOPUSE_UPDATE, v.dest)) return false;
          break;
        case INTOP_DEST_ELEMENT:
          // The index stays where it is: the value's temporaries come above it.
          if (depth < 1 || !Array(op.value, v.destArray)) return false;
          v.destIndex = stack[depth - 1];
          break;
        default: {
          if (depth < 2) return false;
          const uint8_t t = uint8_t(kTempBase + depth - 2);
          if (!Emit(ArithKind(op.kind), t, stack[depth - 2], stack[depth - 1])) return false;
          stack[--depth - 1] = t;
          break;
        }
      }
    }
    return true;
  }

  // A statement: its values, then the store as the last operation.
  bool Statement(const st_IntStatement& s) {
    st_Values v;
    const size_t firstOp = m_loop.ops.size();
    if (!Values(s, v) || v.depth < 1) return false;
    const uint8_t value = v.stack[v.depth - 1];
    if (!v.destLocal) {
      const uint8_t kind = s.assign == OP_ASSIGN       ? LOOP_STORE
                           : s.assign == OP_ASSIGN_ADD ? LOOP_STORE_ADD
                           : s.assign == OP_ASSIGN_SUB ? LOOP_STORE_SUB
                                                       : LOOP_STORE_MUL;
      return Emit(kind, 0, v.destIndex, value, v.destArray);
    }
    if (s.assign == OP_ASSIGN) {
      // The last operation computed the value: it may store it itself.
      if (value >= kTempBase && m_loop.ops.size() > firstOp && m_loop.ops.back().d == value) {
        m_loop.ops.back().d = v.dest;
        return true;
      }
      return Emit(LOOP_MOVE, v.dest, value, 0);
    }
    const uint8_t kind = s.assign == OP_ASSIGN_ADD ? LOOP_ADD : s.assign == OP_ASSIGN_SUB ? LOOP_SUB : LOOP_MUL;
    return Emit(kind, v.dest, v.dest, value);
  }

  // The loop's condition: its values, then the exit.
  bool Condition(const st_IntStatement& s, uint8_t exitKind) {
    st_Values v;
    return Values(s, v) && v.depth == 2 && Emit(exitKind, 0, v.stack[0], v.stack[1]);
  }

 private:
  st_IntLoop& m_loop;
  uint8_t m_statement = 0;
};

// The exit operation of "a cmp b; jump true|false": the loop is left when the jump is taken.
uint8_t ExitKind(uint8_t cmp, bool leaveWhenTrue) {
  static constexpr uint8_t kNegated[6] = {LOOP_EXIT_GT, LOOP_EXIT_GE, LOOP_EXIT_LT,
                                          LOOP_EXIT_LE, LOOP_EXIT_NE, LOOP_EXIT_EQ};
  const int k = cmp - OP_LESS_EQUAL;
  return leaveWhenTrue ? uint8_t(LOOP_EXIT_LE + k) : kNegated[k];
}
// Likewise the branch of an "if" inside the body.
uint8_t BranchKind(uint8_t cmp, bool jumpWhenTrue) {
  return uint8_t(LOOP_BRANCH_LE + (ExitKind(cmp, jumpWhenTrue) - LOOP_EXIT_LE));
}

// The bytes of the instruction at q, 0 when it runs past size.
int InstructionLength(const uint8_t* code, uint32_t size, uint32_t q) {
  if (q >= size) return 0;
  if (code[q] >= OP_FIRST_NO_OPERAND) return 1;
  const int n = OperandLength(code + q + 1, int(size - q - 1));
  return n > 0 ? 1 + n : 0;
}

// What reaches a place in the body: whether an "eoc" ran since the iteration began, and the last
// line run (FLOW_NO: none yet), each FLOW_UNKNOWN where paths with different answers meet.
enum : uint8_t { FLOW_NO, FLOW_YES, FLOW_UNKNOWN };
struct st_Flow {
  bool reachable = false;
  uint8_t cleared = FLOW_NO;
  uint8_t lineKind = FLOW_NO;
  int32_t line = 0;
};
st_Flow Meet(const st_Flow& a, const st_Flow& b) {
  if (!a.reachable) return b;
  if (!b.reachable) return a;
  st_Flow m = a;
  if (a.cleared != b.cleared) m.cleared = FLOW_UNKNOWN;
  if (a.lineKind != b.lineKind || (a.lineKind == FLOW_YES && a.line != b.line)) m.lineKind = FLOW_UNKNOWN;
  return m;
}

}  // namespace

bool MatchIntLoop(const uint8_t* code, uint32_t size, uint32_t top, st_IntLoop& out) {
  out = st_IntLoop();
  cl_LoopBuilder builder(out);
  // The condition: int values, a comparison, "jump true|false" past the loop.
  st_IntStatement condition;
  uint8_t cmp = 0;
  if (!MatchIntCondition(code, size, top, condition, cmp)) return false;
  uint32_t p = top + condition.length;
  if (size - p < 7) return false;
  if ((code[p + 1] != OP_JUMP_TRUE && code[p + 1] != OP_JUMP_FALSE) || code[p + 2] != VT_POSITION) return false;
  const uint32_t end = ReadLE32(code + p + 3);
  const bool leaveWhenTrue = code[p + 1] == OP_JUMP_TRUE;
  p += 7;
  // The body ends with "jump top" right before end.
  if (end > size || end < p + 6) return false;
  const uint32_t back = end - 6;
  if (code[back] != OP_JUMP || code[back + 1] != VT_POSITION || ReadLE32(code + back + 2) != top) return false;
  builder.SetStatement(kConditionStatement);
  if (!builder.Condition(condition, ExitKind(cmp, leaveWhenTrue))) return false;
  // A condition of locals and constants alone is decided again by the closing jump.
  const size_t exitIndex = out.ops.size() - 1;
  const bool simpleCondition = exitIndex == 0;
  out.pushes = condition.pushes;
  int32_t slot = 0;

  // The body, in one pass: jumps inside it only go forward, so what reaches a place (whether the
  // stack was cleared since the iteration began, which line was the last) is known by the time
  // the pass gets there. Stops and the iteration's end must know both for certain.
  std::vector<std::pair<uint32_t, st_Flow>> incoming;  // jumps still ahead: target, state
  std::vector<std::pair<uint32_t, uint32_t>> starts;   // item position, its first operation
  std::vector<std::pair<size_t, uint32_t>> branches;   // operation, target position
  st_Flow flow;
  flow.reachable = true;
  uint32_t lines = 0, jumps = 0;
  auto arrive = [&](uint32_t at) {
    for (auto it = incoming.begin(); it != incoming.end();) {
      if (it->first == at) {
        flow = Meet(flow, it->second);
        it = incoming.erase(it);
      } else {
        ++it;
      }
    }
    starts.emplace_back(at, uint32_t(out.ops.size()));
  };
  // A place where the byte code may take over: the next statement number. Where its operations
  // can stop the loop, what reaches it must be the same on every path.
  size_t resumeOps = 0;
  bool resumeKnown = false;
  auto resume = [&](uint32_t at) {
    if (out.resumes.size() >= kMaxLoopStatements) return false;
    builder.SetStatement(out.resumes.size());
    out.resumes.push_back(st_LoopResume{at, lines, flow.line, flow.lineKind == FLOW_YES, flow.cleared == FLOW_YES});
    resumeOps = out.ops.size();
    resumeKnown = flow.cleared != FLOW_UNKNOWN;  // the line is only uncertain in bodies with jumps
    return true;
  };
  auto mayStopUnknown = [&] {
    for (size_t k = resumeOps; k < out.ops.size(); ++k) {
      const uint8_t kind = out.ops[k].kind;
      if (kind == LOOP_DIV || kind == LOOP_MOD || (kind >= LOOP_LOAD && kind <= LOOP_STORE_MUL)) return !resumeKnown;
    }
    return false;
  };
  // Lines between a jump and its target are not run when it is taken; the jump itself is a step.
  auto linesBetween = [&](uint32_t from, uint32_t to) {
    int32_t skipped = 0;
    for (uint32_t q = from; q < to;) {
      int32_t line = 0;
      uint32_t length = 0;
      if (LineAt(code, to, q, line, length)) {
        ++skipped;
        q += length;
      } else if (const int n = InstructionLength(code, to, q); n > 0) {
        q += uint32_t(n);
      } else {
        return -1;
      }
    }
    return skipped;
  };
  while (p < back) {
    arrive(p);
    if (!flow.reachable) return false;  // code no path runs
    int32_t line = 0;
    uint32_t length = 0;
    if (LineAt(code, back, p, line, length)) {
      ++lines;
      flow.line = line;
      flow.lineKind = FLOW_YES;
      if (!builder.Emit(LOOP_LINE, 0, 0, 0)) return false;  // dropped again when the body has no jumps
      out.ops.back().imm = line;
      p += length;
      continue;
    }
    if (code[p] == OP_EOC) {  // a block's end
      flow.cleared = FLOW_YES;
      ++p;
      continue;
    }
    if (out.leavesCopy) return false;
    if (code[p] == OP_JUMP) {  // past an "else"
      if (back - p < 6 || code[p + 1] != VT_POSITION) return false;
      const uint32_t target = ReadLE32(code + p + 2);
      const int32_t skipped = target > p && target <= back ? linesBetween(p + 6, target) : -1;
      if (skipped < 0) return false;
      branches.emplace_back(out.ops.size(), target);
      if (!builder.Emit(LOOP_JUMP, 0, 0, 0)) return false;
      out.ops.back().imm = 1 - skipped;
      incoming.emplace_back(target, flow);
      flow.reachable = false;
      ++jumps;
      p += 6;
      continue;
    }
    if (!resume(p)) return false;
    st_IntStatement statement;
    uint8_t branchCmp = 0;
    if (LocalReadAt(code, back, p, slot, length) && p + length < back &&
        (code[p + length] == OP_POST_INC || code[p + length] == OP_POST_DEC)) {
      // "i++;" or, right before the closing jump, the for loop's "i++".
      const int32_t delta = code[p + length] == OP_POST_INC ? 1 : -1;
      uint32_t q = p + length + 1;
      if (q < back && code[q] == OP_EOC) {
        ++q;
        flow.cleared = FLOW_YES;
      } else if (q == back) {
        out.leavesCopy = true;
        out.stepDelta = delta;
      } else {
        return false;
      }
      uint8_t reg = 0, one = 0;
      if (!builder.Local(slot, LOOPUSE_READ | LOOPUSE_STEP, reg) || !builder.Constant(delta, one)) return false;
      if (!builder.Emit(LOOP_ADD, reg, reg, one)) return false;
      out.stepRegister = reg;
      if (out.pushes < 1 + 2) out.pushes = 1 + 2;
      p = q;
    } else if (MatchIntStatement(code, back, p, statement)) {
      if (!builder.Statement(statement)) return false;
      if (out.pushes < statement.pushes + 2) out.pushes = statement.pushes + 2;
      flow.cleared = FLOW_YES;
      p += statement.length;
    } else if (MatchIntCondition(code, back, p, statement, branchCmp)) {
      // "if": the condition's jump skips forward inside the body.
      const uint32_t q = p + statement.length;
      if (back - q < 7 || (code[q + 1] != OP_JUMP_TRUE && code[q + 1] != OP_JUMP_FALSE) || code[q + 2] != VT_POSITION)
        return false;
      const uint32_t target = ReadLE32(code + q + 3);
      const int32_t skipped = target > q + 7 && target <= back ? linesBetween(q + 7, target) : -1;
      if (skipped < 0 || !builder.Condition(statement, BranchKind(branchCmp, code[q + 1] == OP_JUMP_TRUE))) return false;
      branches.emplace_back(out.ops.size() - 1, target);
      out.ops.back().imm = 1 - skipped;
      if (out.pushes < statement.pushes + 2) out.pushes = statement.pushes + 2;
      incoming.emplace_back(target, flow);
      ++jumps;
      p = q + 7;
    } else {
      return false;
    }
    if (mayStopUnknown()) return false;
  }
  arrive(back);
  // Every jump lands on a place the pass went through; every iteration ends with a cleared stack
  // and a known line.
  if (!incoming.empty() || !flow.reachable || flow.cleared != FLOW_YES) return false;
  if (out.resumes.empty()) return false;
  out.hasLine = flow.lineKind == FLOW_YES;
  out.lastLine = flow.line;
  out.branchy = jumps > 0;
  if (!out.branchy) {  // the lines' places are known: no need to note them as they run
    std::vector<st_LoopOp> kept;
    for (const st_LoopOp& op : out.ops)
      if (op.kind != LOOP_LINE) kept.push_back(op);
    out.ops.swap(kept);
  }
  bool toBack = false;
  for (const auto& [index, target] : branches) {
    uint32_t opIndex = UINT32_MAX;
    for (const auto& [position, first] : starts)
      if (position == target) opIndex = first;
    if (opIndex == UINT32_MAX) return false;
    out.ops[index].target = uint16_t(opIndex);
    toBack = toBack || target == back;
  }
  // The closing jump takes the condition along, and the step when it is the body's last operation
  // (and no jump inside the body goes past the step to the closing jump).
  const st_LoopOp exit = out.ops[exitIndex];
  st_LoopOp& last = out.ops.back();
  const uint8_t backKind = out.branchy        ? uint8_t(LOOP_BACK_COUNTED)
                           : simpleCondition ? uint8_t(LOOP_BACK_LE + (exit.kind - LOOP_EXIT_LE))
                                             : uint8_t(LOOP_BACK_AGAIN);
  if (!toBack && last.kind == LOOP_ADD && last.d == last.a && last.d == out.stepRegister && out.stepDelta != 0 &&
      last.b >= kConstBase && last.b < kTempBase && out.constants[last.b - kConstBase] == out.stepDelta) {
    last = st_LoopOp{backKind, last.d, exit.a, exit.b, 0, last.statement, last.target, out.stepDelta};
  } else if (!builder.Emit(backKind, 0, exit.a, exit.b)) {
    return false;
  }
  out.maxSteps = lines + jumps + 1;
  out.end = end;
  out.steps = lines + 1;
  return true;
}

bool RunIntLoop(const st_IntLoop& loop, const VarTable& locals, int64_t budget, st_LoopRun& run) {
  int32_t r[kRegisters];
  Var* vars[kMaxLoopLocals];
  const size_t localCount = loop.localSlots.size();
  for (size_t k = 0; k < localCount; ++k) {
    Var* slot = locals.GetVariable(loop.localSlots[k]);
    if (!slot) return false;
    const uint8_t use = loop.localUses[k];
    // As the single statements check: a store goes into the slot itself, a read follows it.
    if ((use & LOOPUSE_ASSIGN) && slot->GetTypeByte() != VT_INT) return false;
    if ((use & LOOPUSE_UPDATE) && (slot->GetTypeByte() & ~VF_AUTO) != VT_INT) return false;
    Var* v = slot->Deref();
    if ((v->GetTypeByte() & ~VF_AUTO) != VT_INT || v->GetCount() != 0) return false;
    for (size_t j = 0; j < k; ++j)
      if (vars[j] == v) return false;  // two names for one value: its register would go stale
    vars[k] = v;
    r[k] = v->GetRawInt();
  }
  for (size_t k = 0; k < loop.constants.size(); ++k) r[kConstBase + k] = loop.constants[k];
  Var* elements[kMaxLoopArrays];
  uint32_t counts[kMaxLoopArrays];
  for (size_t k = 0; k < loop.arraySlots.size(); ++k) {
    const Var* array = locals.GetVariable(loop.arraySlots[k]);
    const int count = array ? array->GetArraySize() : -1;
    if (count < 0) return false;
    elements[k] = count > 0 ? array->GetElement(0) : nullptr;
    counts[k] = uint32_t(count);
    // A local that is an element of the array would be read and written beside its register.
    const uintptr_t from = reinterpret_cast<uintptr_t>(elements[k]);
    for (size_t j = 0; j < localCount; ++j) {
      const uintptr_t at = reinterpret_cast<uintptr_t>(vars[j]);
      if (count > 0 && at >= from && at < from + sizeof(Var) * size_t(count)) return false;
    }
  }

  // Straight bodies take the same steps every iteration; a body with jumps counts them in used
  // (whole iterations) and adjust (the jumps of the current one), and starts an iteration only
  // while the most it can take is left.
  const uint64_t maxIterations =
      budget < 0 ? UINT64_MAX : loop.branchy ? (uint64_t(budget) >= loop.maxSteps ? 1 : 0) : uint64_t(budget) / loop.steps;
  const int64_t limit = budget < 0 ? INT64_MAX : budget - int64_t(loop.maxSteps);
  int64_t used = 0, adjust = 0;
  int32_t line = run.line;
  uint64_t k = 0;
  const st_LoopOp* const first = loop.ops.data();
  const st_LoopOp* op = first;
  run.end = LOOPEND_TOP;
  if (maxIterations > 0) {
    // Threaded: each operation jumps to the next one's code itself. ORDER LOOPOP
    static const void* const kCode[] = {
        &&l_add,     &&l_sub,     &&l_mul,     &&l_div,     &&l_mod,     &&l_shl,     &&l_shr,
        &&l_and,     &&l_xor,     &&l_or,      &&l_move,    &&l_load,
        &&l_store,   &&l_store_op, &&l_store_op, &&l_store_op, &&l_exit_le, &&l_exit_lt, &&l_exit_ge,
        &&l_exit_gt, &&l_exit_eq, &&l_exit_ne, &&l_back_le, &&l_back_lt, &&l_back_ge, &&l_back_gt,
        &&l_back_eq, &&l_back_ne, &&l_back_again, &&l_branch_le, &&l_branch_lt, &&l_branch_ge,
        &&l_branch_gt, &&l_branch_eq, &&l_branch_ne, &&l_jump, &&l_back_counted, &&l_line,
    };
    static_assert(sizeof(kCode) / sizeof(kCode[0]) == LOOP_KIND_COUNT, "ORDER LOOPOP: one label per operation");
#define LOOP_NEXT() goto* kCode[(++op)->kind]
#define LOOP_EXIT(cmp) \
  if (r[op->a] cmp r[op->b]) goto leave; \
  LOOP_NEXT();
#define LOOP_BACK(cmp)                                            \
  r[op->d] = int32_t(uint32_t(r[op->d]) + uint32_t(op->imm));     \
  if (++k >= maxIterations) goto done;                            \
  if (r[op->a] cmp r[op->b]) goto leave;                          \
  op = first + 1;                                                 \
  goto* kCode[op->kind];
    goto* kCode[op->kind];
  l_add:
    r[op->d] = int32_t(uint32_t(r[op->a]) + uint32_t(r[op->b]));
    LOOP_NEXT();
  l_sub:
    r[op->d] = int32_t(uint32_t(r[op->a]) - uint32_t(r[op->b]));
    LOOP_NEXT();
  l_mul:
    r[op->d] = int32_t(uint32_t(r[op->a]) * uint32_t(r[op->b]));
    LOOP_NEXT();
  l_div:
    if (r[op->b] == 0 || (r[op->a] == INT32_MIN && r[op->b] == -1)) goto stop;
    r[op->d] = r[op->a] / r[op->b];
    LOOP_NEXT();
  l_mod:
    if (r[op->b] == 0) goto stop;
    r[op->d] = r[op->b] == -1 ? 0 : r[op->a] % r[op->b];
    LOOP_NEXT();
  l_shl:
    r[op->d] = int32_t(uint32_t(r[op->a]) << (r[op->b] & 31));
    LOOP_NEXT();
  l_shr:
    r[op->d] = r[op->a] >> (r[op->b] & 31);
    LOOP_NEXT();
  l_and:
    r[op->d] = r[op->a] & r[op->b];
    LOOP_NEXT();
  l_xor:
    r[op->d] = r[op->a] ^ r[op->b];
    LOOP_NEXT();
  l_or:
    r[op->d] = r[op->a] | r[op->b];
    LOOP_NEXT();
  l_move:
    r[op->d] = r[op->a];
    LOOP_NEXT();
  l_load: {
    const uint32_t i = uint32_t(r[op->a]);
    if (i >= counts[op->array]) goto stop;
    const Var& e = elements[op->array][i];
    if ((e.GetTypeByte() & ~VF_AUTO) != VT_INT) goto stop;
    r[op->d] = e.GetRawInt();
    LOOP_NEXT();
  }
  l_store: {
    const uint32_t i = uint32_t(r[op->a]);
    if (i >= counts[op->array]) goto stop;
    Var& e = elements[op->array][i];
    if (e.GetTypeByte() != VT_INT) goto stop;  // auto and converting stores
    e.SetInt(r[op->b]);
    LOOP_NEXT();
  }
  l_store_op: {
    const uint32_t i = uint32_t(r[op->a]);
    if (i >= counts[op->array]) goto stop;
    Var& e = elements[op->array][i];
    if ((e.GetTypeByte() & ~VF_AUTO) != VT_INT) goto stop;
    const uint32_t x = uint32_t(e.GetRawInt()), y = uint32_t(r[op->b]);
    e.SetInt(int32_t(op->kind == LOOP_STORE_ADD ? x + y : op->kind == LOOP_STORE_SUB ? x - y : x * y));  // keeps auto
    LOOP_NEXT();
  }
  l_exit_le:
    LOOP_EXIT(<=)
  l_exit_lt:
    LOOP_EXIT(<)
  l_exit_ge:
    LOOP_EXIT(>=)
  l_exit_gt:
    LOOP_EXIT(>)
  l_exit_eq:
    LOOP_EXIT(==)
  l_exit_ne:
    LOOP_EXIT(!=)
  l_back_le:
    LOOP_BACK(<=)
  l_back_lt:
    LOOP_BACK(<)
  l_back_ge:
    LOOP_BACK(>=)
  l_back_gt:
    LOOP_BACK(>)
  l_back_eq:
    LOOP_BACK(==)
  l_back_ne:
    LOOP_BACK(!=)
  l_back_again:
    r[op->d] = int32_t(uint32_t(r[op->d]) + uint32_t(op->imm));
    if (++k >= maxIterations) goto done;
    op = first;
    goto* kCode[op->kind];
#define LOOP_BRANCH(cmp)                  \
  if (r[op->a] cmp r[op->b]) {            \
    adjust += op->imm;                    \
    op = first + op->target;              \
    goto* kCode[op->kind];                \
  }                                       \
  LOOP_NEXT();
  l_branch_le:
    LOOP_BRANCH(<=)
  l_branch_lt:
    LOOP_BRANCH(<)
  l_branch_ge:
    LOOP_BRANCH(>=)
  l_branch_gt:
    LOOP_BRANCH(>)
  l_branch_eq:
    LOOP_BRANCH(==)
  l_branch_ne:
    LOOP_BRANCH(!=)
#undef LOOP_BRANCH
  l_jump:
    adjust += op->imm;
    op = first + op->target;
    goto* kCode[op->kind];
  l_back_counted:
    r[op->d] = int32_t(uint32_t(r[op->d]) + uint32_t(op->imm));
    ++k;
    used += int64_t(loop.steps) + adjust;
    adjust = 0;
    if (used > limit) goto done;
    op = first;
    goto* kCode[op->kind];
  l_line:
    line = op->imm;
    LOOP_NEXT();
#undef LOOP_NEXT
#undef LOOP_EXIT
#undef LOOP_BACK
  stop:
    // In the condition: the next iteration is the byte code's from there.
    run.end = op->statement == kConditionStatement ? LOOPEND_TOP : LOOPEND_STATEMENT;
    run.statement = op->statement;
    goto done;
  leave:
    run.end = LOOPEND_EXIT;
  }
done:
  for (size_t j = 0; j < localCount; ++j)
    if (loop.localUses[j] & (LOOPUSE_ASSIGN | LOOPUSE_UPDATE | LOOPUSE_STEP)) vars[j]->SetInt(r[j]);  // keeps auto
  run.iterations = k;
  run.line = line;
  run.steps = loop.branchy ? uint64_t(used + adjust) : k * loop.steps;
  run.copy = int32_t(uint32_t(r[loop.stepRegister]) - uint32_t(loop.stepDelta));
  return true;
}

}  // namespace KRX
