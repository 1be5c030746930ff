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

#include "KRX/LittleEndian.h"

namespace KRX {

class Var;
class StringPool;

// The opcode list: X(enumerator, byte value, listing name), in value order. The enum, the name
// table and the interpreter's jump targets are all generated from it. A name of nullptr: the
// opcode has none ("(unknown en_Command)").
// ORDER OPCODE
#define KRX_OPCODE_LIST(X) \
  X(OP_LINE, 0, "line")                                                    \
  X(OP_DATA, 1, "data")                                                    \
  X(OP_PUSH_VALUE, 2, "push value")                                        \
  X(OP_PUSH_VAR, 3, "push var")                                            \
  X(OP_JUMP, 4, "jump")                                                    \
  X(OP_JUMP_TRUE, 5, "jump true")                                          \
  X(OP_JUMP_TRUE_NOREMOVE, 6, "jump true (check)")                         \
  X(OP_JUMP_FALSE, 7, "jump false")                                        \
  X(OP_JUMP_FALSE_NOREMOVE, 8, "jump false (check)")                       \
  X(OP_SWITCH, 9, "switch")                                                \
  X(OP_LABEL, 10, "label")                                                 \
  X(OP_LABEL_TAB, 11, "label_tab")                                         \
  X(OP_PRE_INC, 128, "++X")                                                \
  X(OP_PRE_DEC, 129, "--X")                                                \
  X(OP_NEG, 130, "neg") /* bitwise complement of an int */                 \
  X(OP_NOT, 131, "not")                                                    \
  X(OP_UNARY_PLUS, 132, "+X")                                              \
  X(OP_UNARY_MINUS, 133, "-X")                                             \
  X(OP_POST_INC, 144, "X++")                                               \
  X(OP_POST_DEC, 145, "X--")                                               \
  X(OP_MUL, 160, "*")                                                      \
  X(OP_DIV, 161, "/")                                                      \
  X(OP_MOD, 162, "%")                                                      \
  X(OP_ADD, 163, "+")                                                      \
  X(OP_CONCAT, 164, nullptr) /* the printable forms joined; has no name */ \
  X(OP_SUB, 165, "-")                                                      \
  X(OP_SHIFT_LEFT, 166, "<<")                                              \
  X(OP_SHIFT_RIGHT, 167, ">>")                                             \
  X(OP_LESS_EQUAL, 168, "<=")                                              \
  X(OP_LESS, 169, "<")                                                     \
  X(OP_GREATER_EQUAL, 170, ">=")                                           \
  X(OP_GREATER, 171, ">")                                                  \
  X(OP_EQUAL, 172, "==")                                                   \
  X(OP_NOT_EQUAL, 173, "!=")                                               \
  X(OP_BIT_AND, 174, "and")                                                \
  X(OP_BIT_XOR, 175, "xor")                                                \
  X(OP_BIT_OR, 176, "or")                                                  \
  X(OP_LOGICAL_AND, 177, "&&")                                             \
  X(OP_LOGICAL_OR, 178, "||")                                              \
  X(OP_INIT_FUNC, 224, "func_init")                                        \
  X(OP_CALL, 225, "call")                                                  \
  X(OP_RETURN, 226, "return")                                              \
  X(OP_EOC, 227, "eoc")                                                    \
  X(OP_GROUP, 228, "") /* grouping node of the compiler; never emitted */  \
  X(OP_STOP, 229, "stop")                                                  \
  X(OP_ASSIGN, 230, "=")                                                   \
  X(OP_ASSIGN_MUL, 231, "*=")                                              \
  X(OP_ASSIGN_DIV, 232, "/=")                                              \
  X(OP_ASSIGN_MOD, 233, "%=")                                              \
  X(OP_ASSIGN_ADD, 234, "+=")                                              \
  X(OP_ASSIGN_SUB, 235, "-=")                                              \
  X(OP_ASSIGN_SHIFT_RIGHT, 236, ">>=")                                     \
  X(OP_ASSIGN_SHIFT_LEFT, 237, "<<=")                                      \
  X(OP_ASSIGN_BIT_AND, 238, "&=")                                          \
  X(OP_ASSIGN_BIT_XOR, 239, "^=")                                          \
  X(OP_ASSIGN_BIT_OR, 240, "|=")                                           \
  X(OP_PARAMCPY, 241, "paramcpy")

enum en_Command : int {
#define KRX_OPCODE_ENUM(name, value, text) name = value,
  KRX_OPCODE_LIST(KRX_OPCODE_ENUM)
#undef KRX_OPCODE_ENUM
  OP_FIRST_NO_OPERAND = 128,  // opcodes from here on have no operand
  // Gaps the interpreter reports in their own words: unary operators that were never built, and
  // postfix codes that fail without a message.
  OP_FIRST_UNBUILT_UNARY = 134,
  OP_LAST_UNBUILT_UNARY = 143,
  OP_FIRST_SILENT_POSTFIX = 146,
  OP_LAST_SILENT_POSTFIX = 159,
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

// An int operand's payload: n (1 to 4) bytes at p, most significant first, sign-extended. The
// one reader of int operands, for DecodeOperand and the interpreter's decode table alike.
inline int32_t ReadIntPayload(const uint8_t* p, uint32_t n) {
  switch (n) {
    case 1: return int8_t(p[0]);
    case 2: return int16_t(uint16_t(p[0] << 8 | p[1]));
    case 3: return int32_t(uint32_t(p[0] << 24 | p[1] << 16 | p[2] << 8)) >> 8;
    default: return int32_t(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
  }
}

}  // namespace KRX
