// The byte code of KRX functions: opcodes (en_Command) and their names, the names of the
// compiler's parse-tree node kinds, and the compact operand encoding. An instruction is one
// opcode byte; an opcode below 128 is followed by exactly one operand.
// Operand encoding: first byte = type code (bits 0-5); for ints, bits 6-7 hold n and n + 1
// payload bytes follow, most significant first, sign-extended. bool: 1 byte; float, position and
// string(const) (a byte offset into the module's "~vocal" pool): 4 bytes little-endian; string:
// i16 length L and L bytes of NUL-terminated text; nil and ignore: no payload.
// ORDER OPCODE: the values are stored in ".bincode" files.
#pragma once

#include <cstdint>
#include <vector>

namespace KRX {

class Var;
class StringPool;

enum en_Command : int {
  OP_LINE = 0,
  OP_DATA = 1,
  OP_PUSH_VALUE = 2,
  OP_PUSH_VAR = 3,
  OP_JUMP = 4,
  OP_JUMP_TRUE = 5,
  OP_JUMP_TRUE_NOREMOVE = 6,
  OP_JUMP_FALSE = 7,
  OP_JUMP_FALSE_NOREMOVE = 8,
  OP_SWITCH = 9,
  OP_LABEL = 10,
  OP_LABEL_TAB = 11,
  OP_FIRST_NO_OPERAND = 128,
  OP_PRE_INC = 128,
  OP_PRE_DEC = 129,
  OP_NEG = 130,  // bitwise complement of an int
  OP_NOT = 131,
  OP_UNARY_PLUS = 132,
  OP_UNARY_MINUS = 133,
  OP_POST_INC = 144,
  OP_POST_DEC = 145,
  OP_MUL = 160,
  OP_DIV = 161,
  OP_MOD = 162,
  OP_ADD = 163,
  OP_CONCAT = 164,  // the printable forms joined; has no name
  OP_SUB = 165,
  OP_SHIFT_LEFT = 166,
  OP_SHIFT_RIGHT = 167,
  OP_LESS_EQUAL = 168,
  OP_LESS = 169,
  OP_GREATER_EQUAL = 170,
  OP_GREATER = 171,
  OP_EQUAL = 172,
  OP_NOT_EQUAL = 173,
  OP_BIT_AND = 174,
  OP_BIT_XOR = 175,
  OP_BIT_OR = 176,
  OP_LOGICAL_AND = 177,
  OP_LOGICAL_OR = 178,
  OP_INIT_FUNC = 224,
  OP_CALL = 225,
  OP_RETURN = 226,
  OP_EOC = 227,
  OP_GROUP = 228,  // grouping node of the compiler; never emitted
  OP_STOP = 229,
  OP_ASSIGN = 230,
  OP_ASSIGN_MUL = 231,
  OP_ASSIGN_DIV = 232,
  OP_ASSIGN_MOD = 233,
  OP_ASSIGN_ADD = 234,
  OP_ASSIGN_SUB = 235,
  OP_ASSIGN_SHIFT_RIGHT = 236,
  OP_ASSIGN_SHIFT_LEFT = 237,
  OP_ASSIGN_BIT_AND = 238,
  OP_ASSIGN_BIT_XOR = 239,
  OP_ASSIGN_BIT_OR = 240,
  OP_PARAMCPY = 241,
};

// Flag bits of the "push var" operand.
constexpr int PUSHVAR_NAMED = 1;
constexpr int PUSHVAR_MODULE = 2;
constexpr int PUSHVAR_INDEXED = 4;

// A switch-table entry is a position operand: type byte 0x05 and 4 bytes.
constexpr int kSwitchEntrySize = 5;

const char* GetCommandName(int command);  // "line", "push value", ...; "(unknown en_Command)"
const char* GetOpTypeName(int type);      // en_OpType: "id", "sys", ...; "(unknown en_OpType)"
const char* GetOpSubTypeName(int subType);  // en_OpSubType; "(unknown en_OpSubType)"

// Appends the operand form of v to code. Ints take 2 to 5 bytes; string(const) and string are
// interned into pool and written as string(const) (offset -1 without a pool). Other types
// (references, labels, arrays, ...) append a nil byte and return false.
bool EncodeOperand(const Var& v, StringPool* pool, std::vector<uint8_t>& code);

// Decodes the operand at bytes (avail bytes readable) into out; returns the bytes used, or 0
// when the operand runs past avail or is malformed (out is then nil). A string(const) points
// into pool (no text when the offset lies outside it); without a pool it becomes the string
// "#<offset>". Type codes the encoder never writes use one byte and give nil.
int DecodeOperand(const uint8_t* bytes, int avail, const StringPool* pool, Var& out);

// The byte length of the operand at bytes, or 0 when it runs past avail or is malformed.
int OperandLength(const uint8_t* bytes, int avail);

}  // namespace KRX
