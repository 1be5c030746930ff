// Translation of integer statements into their register form (see IntStatement.h).
#include "KRX/Interpreter/IntStatement.h"

#include <algorithm>

namespace KRX {

// ---- instruction readers

bool IntPushAt(const uint8_t* code, uint32_t size, uint32_t p, int32_t& value, uint32_t& length) {
  if (p >= size || size - p < 2 || code[p] != OP_PUSH_VALUE || (code[p + 1] & VF_TYPEMASK) != VT_INT) return false;
  const uint32_t n = 1u + (code[p + 1] >> 6);
  if (size - p - 2 < n) return false;
  const uint8_t* b = code + p + 2;
  value = ReadIntPayload(b, n);
  length = 2 + n;
  return true;
}

bool LocalReadAt(const uint8_t* code, uint32_t size, uint32_t p, int32_t& slot, uint32_t& length) {
  uint32_t n = 0;
  if (!IntPushAt(code, size, p, slot, n)) return false;
  if (size - p - n < 3 || code[p + n] != OP_PUSH_VAR || code[p + n + 1] != VT_INT || code[p + n + 2] != 0) return false;
  length = n + 3;
  return true;
}

bool LocalElementAt(const uint8_t* code, uint32_t size, uint32_t p, int32_t& arraySlot, uint32_t& length) {
  uint32_t n = 0;
  if (!IntPushAt(code, size, p, arraySlot, n)) return false;
  if (size - p - n < 3 || code[p + n] != OP_PUSH_VAR || code[p + n + 1] != VT_INT || code[p + n + 2] != PUSHVAR_INDEXED)
    return false;
  length = n + 3;
  return true;
}

// ---- statements

namespace {

// A statement longer than this is rare enough to leave to the byte code.
constexpr int kMaxNodes = 24;

struct st_Node {
  uint8_t kind;  // INTOP_LOCAL, INTOP_CONST, INTOP_ELEMENT or an operator's opcode
  int32_t value = 0;
  int left = -1;  // operand nodes (the index of an element is its left)
  int right = -1;
};

// Appends the postfix operations of node n; false when they would need more than kMaxIntDepth
// values at once. depth: values on the list before them.
bool Emit(const st_Node* nodes, int n, int depth, std::vector<st_IntOp>& ops) {
  if (depth + 1 > kMaxIntDepth) return false;
  const st_Node& node = nodes[n];
  if (node.left >= 0 && !Emit(nodes, node.left, depth, ops)) return false;
  if (node.right >= 0 && !Emit(nodes, node.right, depth + 1, ops)) return false;
  ops.push_back(st_IntOp{node.kind, node.value});
  return true;
}

// The operators a statement may hold (their opcodes), 0 for any other byte.
uint8_t BinaryOp(uint8_t op) {
  return op == OP_ADD || op == OP_SUB || op == OP_MUL || op == OP_DIV || op == OP_MOD ||
                 (op >= OP_SHIFT_LEFT && op <= OP_SHIFT_RIGHT) || (op >= OP_BIT_AND && op <= OP_BIT_OR)
             ? op
             : 0;
}

// The postfix expression list from pc up to the first instruction that is no int leaf or
// operator, as syntax trees: roots on stack, depth of them. The first leaf is noted in out.
struct st_Parse {
  st_Node nodes[kMaxNodes];
  int count = 0;
  int stack[kMaxNodes];
  int depth = 0;
  uint32_t pushes = 0;
  uint32_t end = 0;  // the position of the instruction that stopped the parse
};

bool ParseInts(const uint8_t* code, uint32_t size, uint32_t pc, st_Parse& parse, st_IntStatement& out) {
  uint32_t p = pc;
  while (p < size) {
    if (parse.count >= kMaxNodes) return false;
    int32_t value = 0;
    uint32_t length = 0;
    st_Node* nodes = parse.nodes;
    int* stack = parse.stack;
    int& depth = parse.depth;
    if (LocalElementAt(code, size, p, value, length)) {  // before the plain push it starts with
      if (depth < 1) return false;
      nodes[parse.count] = st_Node{INTOP_ELEMENT, value, stack[depth - 1], -1};
      stack[depth - 1] = parse.count++;
      ++parse.pushes;
    } else if (const bool local = LocalReadAt(code, size, p, value, length);
               local || IntPushAt(code, size, p, value, length)) {
      if (p == pc) {
        out.firstIsLocal = local;
        out.firstValue = value;
        out.firstLength = length;
      }
      nodes[parse.count] = st_Node{uint8_t(local ? INTOP_LOCAL : INTOP_CONST), value, -1, -1};
      stack[depth++] = parse.count++;
      ++parse.pushes;
    } else if (uint8_t op = BinaryOp(code[p]); op) {
      if (depth < 2) return false;
      nodes[parse.count] = st_Node{op, 0, stack[depth - 2], stack[depth - 1]};
      stack[--depth - 1] = parse.count++;
      length = 1;
    } else {
      parse.end = p;
      return true;
    }
    p += length;
  }
  return false;
}

}  // namespace

bool MatchIntStatement(const uint8_t* code, uint32_t size, uint32_t pc, st_IntStatement& out) {
  out = st_IntStatement();
  st_Parse parse;
  if (!ParseInts(code, size, pc, parse, out)) return false;
  const uint32_t p = parse.end;
  const uint8_t assign = code[p];
  if (assign != OP_ASSIGN && assign != OP_ASSIGN_ADD && assign != OP_ASSIGN_SUB && assign != OP_ASSIGN_MUL)
    return false;
  // Exactly a destination and a value, and the statement ends here.
  if (parse.depth != 2 || size - p < 2 || code[p + 1] != OP_EOC) return false;
  const st_Node& target = parse.nodes[parse.stack[0]];
  if (target.kind == INTOP_LOCAL) {
    out.ops.push_back(st_IntOp{INTOP_DEST_LOCAL, target.value});
  } else if (target.kind == INTOP_ELEMENT) {
    if (!Emit(parse.nodes, target.left, 0, out.ops)) return false;
    out.ops.push_back(st_IntOp{INTOP_DEST_ELEMENT, target.value});
  } else {
    return false;
  }
  if (!Emit(parse.nodes, parse.stack[1], 0, out.ops)) return false;
  out.assign = assign;
  out.pushes = parse.pushes;
  out.length = p + 2 - pc;
  return true;
}

bool MatchIntReturn(const uint8_t* code, uint32_t size, uint32_t pc, st_IntStatement& out) {
  out = st_IntStatement();
  if (pc >= size || code[pc] != OP_INIT_FUNC) return false;
  st_Parse parse;
  if (!ParseInts(code, size, pc + 1, parse, out)) return false;
  if (parse.depth != 1 || code[parse.end] != OP_RETURN) return false;
  if (!Emit(parse.nodes, parse.stack[0], 0, out.ops)) return false;
  out.assign = OP_RETURN;
  out.pushes = parse.pushes + 1;  // and the call marker
  out.length = parse.end + 1 - pc;
  return true;
}

bool MatchIntCondition(const uint8_t* code, uint32_t size, uint32_t pc, st_IntStatement& out, uint8_t& cmp) {
  out = st_IntStatement();
  st_Parse parse;
  if (!ParseInts(code, size, pc, parse, out)) return false;
  cmp = code[parse.end];
  if (parse.depth != 2 || cmp < OP_LESS_EQUAL || cmp > OP_NOT_EQUAL) return false;
  if (!Emit(parse.nodes, parse.stack[0], 0, out.ops) || !Emit(parse.nodes, parse.stack[1], 1, out.ops)) return false;
  out.pushes = parse.pushes;
  out.length = parse.end - pc;
  return true;
}

}  // namespace KRX
